#include "aecore/document/AEPeak.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_Stati.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/File.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"

namespace {

constexpr int kHistBins = 26;
constexpr int kHistMaxTimes = 5000;

void SplitTime(double time, std::int32_t* sec, std::int32_t* usec) {
  // A file may hold any time: beyond the 32-bit seconds they are held at its ends.
  const double s = std::trunc(time);
  *sec = KZ_SaturateCast<std::int32_t>(s);
  *usec = std::isfinite(time) ? KZ_SaturateCast<std::int32_t>((time - s) * 1e6) : 0;
}

bool ReadI32(plat::File& f, std::int32_t* v) {
  unsigned char b[4];
  if (f.Read(b, 4) != 4) return false;
  *v = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
      static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
  return true;
}

void PutI32(unsigned char* p, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>(u >> (8 * k));
}

}  // namespace

int CAEPeak::Free() {
  m_pSec.clear();
  m_pUSec.clear();
  m_pLevel.clear();
  m_pFlag.clear();
  m_nCount = 0;
  return 1;
}

int CAEPeak::Alloc(int n) {
  Free();
  n = std::max(n, 0);
  m_pSec.assign(n, 0);
  m_pUSec.assign(n, 0);
  m_pLevel.assign(n, 0);
  m_pFlag.assign(n, 0);
  return 1;
}

void CAEPeak::SetEntry(int k, double time, std::uint8_t level, std::uint8_t flag) {
  SplitTime(time, &m_pSec[k], &m_pUSec[k]);
  m_pLevel[k] = level;
  m_pFlag[k] = flag;
}

double CAEPeak::GetTime(int i) const {
  if (m_nCount < 1) return 0.0;
  i = std::clamp(i, 0, m_nCount - 1);
  return m_pSec[i] + m_pUSec[i] * 1e-6;
}

int CAEPeak::FindUnordered(int i) const {
  if (i >= m_nCount) return 0;
  i = std::max(i, 0);
  double prev = GetTime(i - 1);
  for (int k = i; k < m_nCount; ++k) {
    double t = GetTime(k);
    if (t < prev) return k;
    prev = t;
  }
  return 0;
}

namespace {
// First k with time(k) < time(k - 1), starting from a previous time of 0; -1 when none.
int FirstBackwardStep(const CAEPeak& p) {
  double prev = 0.0;
  for (int k = 0; k < p.m_nCount; ++k) {
    double t = p.GetTime(k);
    if (t < prev) return k;
    prev = t;
  }
  return -1;
}
}  // namespace

int CAEPeak::RemoveLeadingUnordered() {
  int k = FirstBackwardStep(*this);
  if (k < 0) return 0;
  for (int i = k; i < m_nCount; ++i) {
    m_pSec[i - k] = m_pSec[i];
    m_pUSec[i - k] = m_pUSec[i];
    m_pLevel[i - k] = m_pLevel[i];
    m_pFlag[i - k] = m_pFlag[i];
  }
  m_nCount -= k;
  return k;
}

int CAEPeak::TruncateUnordered() {
  int k = FirstBackwardStep(*this);
  if (k < 0) return 0;
  int removed = m_nCount - k;
  m_nCount = k;
  return removed;
}

int CAEPeak::ShiftTime(int i, int dSec, int dUSec, int before) {
  if (before != 0) {
    int last = std::min(i, m_nCount - 1);
    for (int k = 0; k <= last; ++k) {
      m_pSec[k] += dSec;
      m_pUSec[k] += dUSec;
    }
    return i;
  }
  if (i >= m_nCount) return 0;
  for (int k = std::max(i, 0); k < m_nCount; ++k) {
    m_pSec[k] += dSec;
    m_pUSec[k] += dUSec;
  }
  return m_nCount - i;
}

int CAEPeak::RemoveRange(int i, int j) {
  int result = j + 1 - i;
  if (i < 0 || i > m_nCount) return result;
  if (i <= j + 1 && j + 1 < m_nCount) {
    int shift = j + 1 - i;
    for (int k = j + 1; k < m_nCount; ++k) {
      m_pSec[k - shift] = m_pSec[k];
      m_pUSec[k - shift] = m_pUSec[k];
      m_pLevel[k - shift] = m_pLevel[k];
      m_pFlag[k - shift] = m_pFlag[k];
    }
    m_nCount -= shift;
  } else if (j + 1 >= m_nCount) {
    m_nCount = i;
  }
  return result;
}

int CAEPeak::WindowStatistics(double t1, double t2, int cum[kLevelSlots], double* logN, double* bML,
                              double* relErr, double* aLSQ, double* bLSQ, double* bLSQErr,
                              double* logRate, double* releaseRate, double f, int* firstIndex,
                              int* n) const {
  return WindowStatisticsFrom(0, t1, t2, cum, logN, bML, relErr, aLSQ, bLSQ, bLSQErr, logRate,
                              releaseRate, f, firstIndex, n);
}

int CAEPeak::WindowStatisticsFrom(int from, double t1, double t2, int cum[kLevelSlots],
                                  double* logN, double* bML, double* relErr, double* aLSQ,
                                  double* bLSQ, double* bLSQErr, double* logRate,
                                  double* releaseRate, double f, int* firstIndex, int* n) const {
  std::fill(cum, cum + kLevelSlots, 0);
  int N = 0;
  double S = 0.0, E = 0.0;
  int first = m_nCount;
  for (int k = std::max(from, 0); k < m_nCount; ++k) {
    if (m_pFlag[k] != 0 && GetTime(k) >= t1) {
      first = k;
      break;
    }
  }
  for (int k = first; k < m_nCount; ++k) {
    if (m_pFlag[k] == 0) continue;
    double t = GetTime(k);
    if (t < t1) continue;
    if (t > t2) break;
    int L = m_pLevel[k];
    float M = static_cast<float>(0.25 * L);
    E += std::pow(10.0, f * M);
    // Levels above the last slot are counted in every slot, the last included.
    for (int s = 0; s <= std::min(L, kLevelSlots - 1); ++s) cum[s] += 1;
    N += 1;
    S += 0.25 * L + 0.125;
  }
  // An empty window reports zeros so that tables and plots stay finite.
  *logN = N > 0 ? static_cast<float>(std::log10(static_cast<double>(N))) : 0.0;
  *bML = N > 0 ? N / (std::log(10.0) * S) : 0.0;
  *relErr = N > 0 ? 1.0 / std::sqrt(static_cast<double>(N)) : 0.0;
  if (aLSQ) {
    double x[kLevelSlots], y[kLevelSlots];
    int np = 0;
    while (np < kLevelSlots && cum[np] >= 1) {
      x[np] = static_cast<float>(0.25 * np);
      y[np] = static_cast<float>(std::log10(static_cast<double>(cum[np])));
      ++np;
    }
    // Fewer than two levels define no line: a flat one without error.
    double siga = 0.0;
    *aLSQ = np > 0 ? y[0] : 0.0;
    *bLSQ = 0.0;
    *bLSQErr = 0.0;
    KZ_Stati::FitLine(x, y, np, nullptr, aLSQ, bLSQ, &siga, bLSQErr, nullptr, nullptr, nullptr);
    *bLSQ = -*bLSQ;
  }
  double span = t2 - t1;
  if (logRate) *logRate = (N > 0 && span > 0.0) ? std::log10(N / span) : 0.0;
  if (releaseRate) *releaseRate = span > 0.0 ? E / span : 0.0;
  if (firstIndex) *firstIndex = first;
  if (n) *n = N;
  return kLevelSlots;
}

int CAEPeak::IntervalHistogram(double t1, double t2, double logR[26], double logC[26],
                               int* nBins) const {
  std::vector<double> t;
  t.reserve(std::min(m_nCount, kHistMaxTimes));
  for (int k = 0; k < m_nCount && static_cast<int>(t.size()) < kHistMaxTimes; ++k) {
    if (m_pFlag[k] == 0) continue;
    double tk = GetTime(k);
    if (tk < t1) continue;
    if (tk > t2) break;
    t.push_back(tk);
  }
  int n = static_cast<int>(t.size());
  for (int i = n - 1; i >= 0; --i) t[i] = (t[i] - t[0]) * 1000.0;
  *nBins = kHistBins;
  double r[kHistBins];
  double C[kHistBins] = {};
  for (int k = 0; k < kHistBins; ++k) r[k] = std::pow(10.0, (k - 10) * 0.2);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      double d = t[j] - t[i];
      if (d > r[kHistBins - 1]) break;
      for (int k = 0; k < kHistBins; ++k)
        if (d < r[k]) C[k] += 1.0;
    }
  }
  // With fewer than two peaks there are no pairs: every bin is empty.
  double pairs = n > 1 ? static_cast<double>(n) * (n - 1) : 1.0;
  for (int k = 0; k < kHistBins; ++k) {
    logR[k] = std::log10(r[k]);
    logC[k] = std::log10(C[k] / pairs + 1e-10);
  }
  return n;
}

void CAEPeak::MovingWindowStatistics(int n, int step) {
  m_pRows.clear();
  m_nRows = 0;
  step = std::max(step, 1);
  m_pRows.resize(m_nCount / step + 10);
  if (m_nCount == 0) return;
  int cum[kLevelSlots];
  int rows = 0;
  // A window's first peak is the first flagged one at or after its start. No peak before
  // the previous window's first one qualifies for a start that is not earlier, so the
  // search resumes there; a start that goes back (an unordered list) searches from 0.
  int from = 0;
  double lastStart = 0.0;
  for (int i = 0; i < m_nCount; i += step) {
    AEPeakWindowRow& row = m_pRows[rows++];
    row.tStart = GetTime(i);
    row.tEnd = GetTime(i + n);
    row.tMiddle = GetTime(n / 2 + i);
    if (rows == 1 || !(row.tStart >= lastStart)) from = 0;
    lastStart = row.tStart;
    WindowStatisticsFrom(from, row.tStart, row.tEnd, cum, &row.logN, &row.bML, &row.relErr,
                         &row.aLSQ, &row.bLSQ, &row.bLSQErr, nullptr, nullptr, 0.0, &from, nullptr);
  }
  m_nRows = rows;
}

int CAEPeak::CountInWindow(double t1, double t2) const {
  int c = 0;
  for (int k = 0; k < m_nCount; ++k) {
    if (m_pFlag[k] == 0) continue;
    double t = GetTime(k);
    if (t > t2) break;
    if (t >= t1) ++c;
  }
  return c;
}

const AEPeakWindowRow* CAEPeak::FindWindowRow(double t) const {
  for (int i = 0; i < m_nRows; ++i)
    if (m_pRows[i].tStart <= t && t <= m_pRows[i].tEnd) return &m_pRows[i];
  return nullptr;
}

int CAEPeak::Save(const std::string& path, double t1, double t2) const {
  std::vector<int> idx;
  for (int k = 0; k < m_nCount; ++k) {
    double t = GetTime(k);
    if (m_pFlag[k] != 0 && t >= t1 && t <= t2) idx.push_back(k);
  }
  int n = static_cast<int>(idx.size());
  plat::File f;
  bool ok = true;
  if (KZ_HasSuffix(path, ".kv0")) {
    if (!f.Open(path, "wt")) return 0;
    std::tm tm{};
    if (auto lt = plat::LocalTime(m_tStart)) tm = *lt;
    ok &= f.Printf("KVDATA01 PEAK data from %s\n", KZ_GetFileName(m_strSource, 0).c_str()) >= 0;
    ok &= f.Printf("START_TIME: %04d/%02d/%02d %02d:%02d:%02d\n", tm.tm_year + 1900, tm.tm_mon + 1,
                   tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec) >= 0;
    ok &= f.Printf("SAMPLES %d\n", n) >= 0;
    ok &= f.Printf("Time(sec)    mag\n") >= 0;
    for (int k : idx)
      ok &= f.Printf("%013.6f %4.2f\n", GetTime(k),
                     static_cast<double>(static_cast<float>(0.25 * m_pLevel[k]))) >= 0;
  } else {
    if (!f.Open(path, "wb")) return 0;
    std::vector<unsigned char> buf(8 + 9 * static_cast<std::size_t>(n));
    std::memcpy(buf.data(), "PKF1", 4);
    PutI32(&buf[4], n);
    for (int r = 0; r < n; ++r) {
      unsigned char* p = &buf[8 + 9 * static_cast<std::size_t>(r)];
      p[0] = m_pLevel[idx[r]];
      PutI32(p + 1, m_pSec[idx[r]]);
      PutI32(p + 5, m_pUSec[idx[r]]);
    }
    ok &= f.Write(buf.data(), buf.size()) == buf.size();
  }
  ok &= f.Flush();
  f.Close();
  return ok ? 1 : 0;
}

int CAEPeak::Load(const std::string& path, int minLevel) {
  if (KZ_HasSuffix(path, "kv0")) return LoadText(path, minLevel);
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  long long length = f.GetLength();
  char magic[4] = {};
  bool pkf1 = f.Read(magic, 4) == 4 && std::memcmp(magic, "PKF1", 4) == 0;
  // Read into a fresh list so that a damaged file leaves the current one intact.
  CAEPeak fresh;
  if (pkf1) {
    std::int32_t n = 0;
    if (!ReadI32(f, &n) || n < 0 || 8 + 9LL * n > length) return 0;
    std::vector<unsigned char> buf(9 * static_cast<std::size_t>(n));
    if (f.Read(buf.data(), buf.size()) != buf.size()) return 0;
    fresh.Alloc(n);
    for (int r = 0; r < n; ++r) {
      const unsigned char* p = &buf[9 * static_cast<std::size_t>(r)];
      fresh.m_pLevel[r] = p[0];
      fresh.m_pSec[r] = static_cast<std::int32_t>(p[1] | p[2] << 8 | p[3] << 16 |
                                                  static_cast<std::uint32_t>(p[4]) << 24);
      fresh.m_pUSec[r] = static_cast<std::int32_t>(p[5] | p[6] << 8 | p[7] << 16 |
                                                   static_cast<std::uint32_t>(p[8]) << 24);
      fresh.m_pFlag[r] = 1;
    }
    fresh.m_nCount = n;
    fresh.m_nFirstRecord = 0;
  } else {
    // Older layout: an 8-byte header, then records of flag, level and a 48-bit count of
    // 10-microsecond ticks.
    long long n = length / 8 - 1;
    if (n < 0) n = 0;
    f.Seek(8, SEEK_SET);
    std::vector<unsigned char> buf(8 * static_cast<std::size_t>(n));
    n = static_cast<long long>(f.Read(buf.data(), buf.size()) / 8);
    fresh.Alloc(static_cast<int>(n));
    int count = 0;
    bool first = true;
    for (long long r = 0; r < n; ++r) {
      const unsigned char* p = &buf[8 * static_cast<std::size_t>(r)];
      if (static_cast<int>(p[1]) < minLevel) continue;
      double ticks = 0.0, scale = 1.0;
      for (int k = 0; k < 6; ++k, scale *= 256.0) ticks += p[2 + k] * scale;
      if (first) {
        fresh.m_nFirstRecord = static_cast<int>(r);
        first = false;
      }
      fresh.SetEntry(count++, ticks * 0.001 * 0.01, p[1], p[0]);
    }
    fresh.m_nCount = count;
  }
  m_pSec = std::move(fresh.m_pSec);
  m_pUSec = std::move(fresh.m_pUSec);
  m_pLevel = std::move(fresh.m_pLevel);
  m_pFlag = std::move(fresh.m_pFlag);
  m_nCount = fresh.m_nCount;
  m_nFirstRecord = fresh.m_nFirstRecord;
  m_strSource = path;
  m_nFileKind =
      (path.find("pk2") != std::string::npos || path.find("PK2") != std::string::npos) ? 2 : 1;
  return 1;
}

int CAEPeak::LoadText(const std::string& path, int /*minLevel*/) {
  plat::File f;
  if (!f.Open(path, "rt")) return 0;
  // Whole lines, however long: the first names the source file.
  std::string line;
  if (!f.ReadLine(line) || line.find("KVDATA01") == std::string::npos) return 0;
  f.ReadLine(line);  // START_TIME: the origin stays the document's
  int n = -1;
  if (!f.ReadLine(line) || plat::ScanC(line.c_str(), "SAMPLES %d", &n) != 1 || n < 0) return 0;
  f.ReadLine(line);
  // A SAMPLES count larger than the file could hold is not trusted for the allocation.
  n = static_cast<int>(std::clamp<long long>(n, 0, f.GetLength()));
  // Read into a fresh list so that a file without peaks leaves the current one intact.
  CAEPeak fresh;
  fresh.Alloc(n);
  int count = 0;
  while (count < n && f.ReadLine(line)) {
    double t = 0.0;
    float mag = 0.0f;
    if (plat::ScanC(line.c_str(), "%lf\t%f", &t, &mag) < 1) break;
    // The file carries magnitudes; levels are quarter units.
    const long level = KZ_SaturateCast<long>(std::round(4.0 * mag));
    fresh.SetEntry(count++, t, static_cast<std::uint8_t>(std::clamp<long>(level, 0, 255)), 1);
  }
  // Peaks promised and none read: this is not a peak list the program can use.
  if (n > 0 && count == 0) return 0;
  m_pSec = std::move(fresh.m_pSec);
  m_pUSec = std::move(fresh.m_pUSec);
  m_pLevel = std::move(fresh.m_pLevel);
  m_pFlag = std::move(fresh.m_pFlag);
  m_nCount = count;
  m_nFirstRecord = 0;
  m_strSource = path;
  return 1;
}
