#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "aecore/templates/TMContext.h"
#include "aecore/waveform/AEWaveSac.h"
#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_InetFile.h"
#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"

namespace {

constexpr int kStations = 6;

// Best coefficient and lag of one station, or false when a window of some lag would leave
// a trace.
bool BestLag(const KZ_WaveTrace& A, const KZ_WaveTrace& B, int nShift, int nWin, float nB,
             float* best, int* lag) {
  const int a0 = static_cast<int>(static_cast<float>(A.m_nPick) - nB);
  const int b0 = static_cast<int>(static_cast<float>(B.m_nPick) - nB);
  // Lags run from -nShift to nShift - 1; the later window start is at most nShift on.
  if (a0 < 0 || b0 < 0 || a0 + nShift + nWin > A.m_n || b0 + nShift + nWin > B.m_n) return false;
  *best = 0.0f;
  *lag = 0;
  for (int k = -nShift; k < nShift; ++k) {
    const float* a = A.m_pData.data() + a0 + (k < 0 ? -k : 0);
    const float* b = B.m_pData.data() + b0 + (k > 0 ? k : 0);
    double sab = 0.0, saa = 0.0, sbb = 0.0;
    for (int i = 0; i < nWin; ++i) {
      sab += static_cast<double>(a[i]) * b[i];
      saa += static_cast<double>(a[i]) * a[i];
      sbb += static_cast<double>(b[i]) * b[i];
    }
    const double norm = std::sqrt(saa * sbb);
    const float r = static_cast<float>(norm) <= 1e-5f ? 0.0f : static_cast<float>(sab / norm);
    if (r > *best) {
      *best = r;
      *lag = k;
    }
  }
  return true;
}

bool LoadFiltered(KZ_WaveDataSeg2& w, const std::string& path, const TMPars& p) {
  if (!w.Load(path, 1, 0, 0)) return false;
  if (p.m_fLowCorner < p.m_fHighCorner) w.Filter(p.m_fLowCorner, p.m_fHighCorner);
  return w.Count() > 0;
}

}  // namespace

float TMContext::CorrelateStationWindows(const KZ_WaveData& A, const KZ_WaveData& B,
                                         const TMPars& p, plat::File* report) {
  const KZ_WaveTrace* first = A.GetTrace(0);
  const float dt = first ? static_cast<float>(first->m_fInterval) : 0.0f;
  float best[kStations] = {};
  int lags[kStations] = {};
  int numSta = 0;
  if (dt > 0.0f) {
    const int nShift = static_cast<int>(p.m_fTimeShift / dt);
    const int nWin = static_cast<int>((p.m_fTimeBefore + p.m_fTimeAfter) / dt);
    const float nB = p.m_fTimeBefore / dt;
    // The stations both records have; a station whose windows leave a trace is left out.
    const int n = std::min({kStations, A.Count(), B.Count()});
    for (int s = 0; s < n && nWin > 0; ++s)
      if (BestLag(*A.GetTrace(s), *B.GetTrace(s), nShift, nWin, nB, &best[numSta], &lags[numSta]))
        ++numSta;
  }
  float mean = 0.0f, mx = 0.0f, mn = 0.0f, lag = 0.0f;
  if (numSta > 0) {
    for (int s = 1; s < numSta; ++s)  // ascending; the lags are only summed
      for (int r = s; r > 0 && best[r - 1] > best[r]; --r) std::swap(best[r - 1], best[r]);
    float sum = 0.0f;
    int lagSum = 0;
    for (int s = 0; s < numSta; ++s) {
      sum += best[s];
      lagSum += lags[s];
    }
    mean = sum / static_cast<float>(numSta);
    mx = best[numSta - 1];
    mn = best[0];
    lag = static_cast<float>(lagSum) / static_cast<float>(numSta);
  }
  if (report)
    report->Printf("CC_mean=%.4f, CC_max=%.4f, CC_min=%.4f, numSta=%d, Tshift=%.4f\n",
                   static_cast<double>(mean), static_cast<double>(mx), static_cast<double>(mn),
                   numSta, static_cast<double>(lag));
  return mean;
}

float TMContext::CorrelateEventFiles(const std::string& pathA, const std::string& pathB,
                                     const TMPars& p, plat::File* report) {
  KZ_WaveDataSeg2 a, b;
  if (!LoadFiltered(a, pathA, p) || !LoadFiltered(b, pathB, p)) return 0.0f;
  return CorrelateStationWindows(a, b, p, report);
}

int TMContext::CrossCorrelateTemplates(const std::string& folder, const TMPars& p) {
  const std::string reportPath = folder + "../CC_templates.txt";
  std::vector<std::string> names;
  for (const plat::FindData& fd : plat::FindFiles(folder + "T_*.*")) {
    if (static_cast<int>(names.size()) >= p.m_nMaxEvents) break;
    if (fd.isFolder || fd.name.empty() || fd.name[0] == '.') continue;
    names.push_back(fd.name);
  }
  const int n = static_cast<int>(names.size());
  plat::File report;
  if (report.Open(reportPath, "wt")) {
    auto d = [](float v) { return static_cast<double>(v); };
    report.Printf("Cross-Correlation of events waveforms in %s\n", folder.c_str());
    report.Printf(
        "Number of events=%d, Tshift=%.2f, Tb=%.2f, Ta=%.2f, Pb=%.2f, Pa=%.2f, fL=%.2f, fH=%.2f\n",
        n, d(p.m_fTimeShift), d(p.m_fTimeBefore), d(p.m_fTimeAfter), d(p.m_fTaperHead),
        d(p.m_fTaperTail), d(p.m_fLowCorner), d(p.m_fHighCorner));
    report.Printf("Waveform file path=\"%s\"\n", folder.c_str());
    for (const std::string& s : names) report.Printf("%s\n", s.c_str());
    // Every template is read and filtered once; a file that does not load leaves its pairs
    // without a coefficient line.
    std::vector<std::unique_ptr<KZ_WaveDataSeg2>> set;
    for (const std::string& s : names) {
      auto w = std::make_unique<KZ_WaveDataSeg2>();
      if (!LoadFiltered(*w, folder + s, p)) w.reset();
      set.push_back(std::move(w));
    }
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) {
        report.Printf("Events[%d, %d]\n", i, j);
        if (set[static_cast<std::size_t>(i)] && set[static_cast<std::size_t>(j)])
          CorrelateStationWindows(*set[static_cast<std::size_t>(i)],
                                  *set[static_cast<std::size_t>(j)], p, &report);
        report.Printf("\n");
      }
    report.Close();
  }
  ReadCCTemplates(reportPath, reportPath.substr(0, reportPath.size() - 3) + "lm3");
  return n;
}

int TMContext::ReadCCTemplates(const std::string& reportPath, const std::string& matrixPath) {
  KZ_InetFile holder;
  plat::File* f = holder.Open(reportPath, "rt");
  if (!f) return 0;
  // Lines of any length: the report lists the template files by their full paths.
  std::string line;
  if (!KZ_ReadDataLine(line, f)) return 0;
  int n = 0;
  if (KZ_ReadDataLine(line, f)) KZ_GetKeyInt(line.c_str(), "=", &n);
  if (n < 1) return 0;
  KZ_ReadDataLine(line, f);
  for (int i = 0; i < n; ++i) KZ_ReadDataLine(line, f);
  std::vector<float> m(static_cast<std::size_t>(n) * n, 0.0f);
  int i = -1, j = -1;
  while (KZ_ReadDataLine(line, f)) {
    if (const char* at = std::strstr(line.c_str(), "vents[")) {
      // A pair outside the matrix (a hand-edited report) takes no value.
      if (std::sscanf(at + 6, "%d,%d", &i, &j) != 2 || i < 0 || j < 0 || i >= n || j >= n)
        i = j = -1;
    }
    if (std::strstr(line.c_str(), "CC_mean") && i >= 0)
      m[static_cast<std::size_t>(i) * n + j] = KZ_GetKeyFloat(line.c_str(), "mean=", 0.0f);
  }
  holder.Close();
  if (matrixPath.empty()) return n;
  std::vector<std::uint8_t> out(28 + 2 * m.size(), 0);
  const std::uint16_t head[8] = {
      20, 37, 3, 8, static_cast<std::uint16_t>(n), static_cast<std::uint16_t>(n), 1, 0};
  for (int k = 0; k < 8; ++k) le::PutU16(out.data() + 2 * k, head[k]);
  for (int k = 0; k < 3; ++k) le::PutF32(out.data() + 16 + 4 * k, 1000.0f);
  for (std::size_t k = 0; k < m.size(); ++k)
    le::PutU16(out.data() + 28 + 2 * k, static_cast<std::uint16_t>(static_cast<std::int16_t>(
                                            std::trunc(static_cast<double>(m[k]) * 10000.0))));
  plat::File mf;
  if (!mf.Open(matrixPath, "wb")) return n;
  mf.Write(out.data(), out.size());
  return n;
}

int TMWriteStack(const std::string& path, const std::vector<const float*>& rows,
                 const std::vector<std::string>& labels, int first, int columns, float dt,
                 double julianDay) {
  std::vector<const char*> names;
  for (const std::string& l : labels) names.push_back(l.c_str());
  return WriteSACStack(path, rows.data(), names.data(), static_cast<int>(rows.size()), first,
                       columns, dt, julianDay);
}
