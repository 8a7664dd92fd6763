#include "aecore/templates/AETemplateSet.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "base/util/KZ_FileUtil.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

float Correlation(double ea, double eb, double d) {
  const float n = std::sqrt(static_cast<float>(ea * eb));
  return n <= 1e-5f ? 0.0f : static_cast<float>(d / n);
}

// A template's W-sample window from its pick on (pick - W/2 ...), or null when the
// template does not cover it.
const float* CentredWindow(const AETemplateRec& t, int w) {
  const int first = t.m_nPick - w / 2;
  if (first < 0 || first + w > static_cast<int>(t.m_pData.size())) return nullptr;
  return t.m_pData.data() + first;
}

}  // namespace

float AE_NormalizedCorrelation(const float* a, const float* b, int w) {
  double ea = 0, eb = 0, d = 0;
  for (int i = 0; i < w; ++i) {
    ea += static_cast<double>(a[i]) * a[i];
    eb += static_cast<double>(b[i]) * b[i];
    d += static_cast<double>(a[i]) * b[i];
  }
  return Correlation(ea, eb, d);
}

int CAETemplateSet::Add(std::unique_ptr<AETemplateRec> rec) {
  m_list.push_back(std::move(rec));
  return GetCount();
}

int CAETemplateSet::Match(const float* trace, int centre, int* shift, int* polarity,
                          float* amplitude, float* rise, float* score) const {
  *shift = 0;
  *polarity = 0;
  *amplitude = 0.0f;
  *rise = 0.0f;
  *score = 0.0f;
  if (m_list.empty()) return -1;
  const int W = m_nWindow, L = m_nLag;
  if (W <= 0 || L < 0 || centre - W / 2 - L < 0) return -1;
  // Energy of the trace's first window; every template slides it along from there.
  const float* first = trace + centre - W / 2 - L;
  double firstEnergy = 0;
  for (int i = 0; i < W; ++i) firstEnergy += static_cast<double>(first[i]) * first[i];
  float best = m_fThreshold;
  int result = -1;
  for (int j = 0; j < GetCount(); ++j) {
    const AETemplateRec& t = *m_list[j];
    const float* tw = CentredWindow(t, W);
    if (!tw) continue;  // too short to give a whole window around its pick
    double et = 0;
    for (int i = 0; i < W; ++i) et += static_cast<double>(tw[i]) * tw[i];
    double ex = firstEnergy;
    for (int lag = -L; lag <= L; ++lag) {
      const float* s = trace + centre - W / 2 + lag;
      if (lag > -L)
        ex += static_cast<double>(s[W - 1]) * s[W - 1] - static_cast<double>(s[-1]) * s[-1];
      double d = 0;
      for (int i = 0; i < W; ++i) d += static_cast<double>(s[i]) * tw[i];
      const float cc = Correlation(std::max(ex, 0.0), et, d);
      if (std::fabs(cc) > std::fabs(best)) {
        best = cc;
        *score = 10.0f;
        *shift = lag;
        *polarity = cc * t.m_fAmp < 0 ? -1 : 1;
        *amplitude = *polarity * t.m_fAmp;
        *rise = t.m_fRise;
        result = j;
      }
    }
  }
  return result;
}

int CAETemplateSet::BestMatch(const float* window, int* index, float* cc) const {
  *index = -1;
  *cc = 0.0f;
  for (int j = 0; j < GetCount(); ++j) {
    const AETemplateRec& t = *m_list[j];
    if (static_cast<int>(t.m_pData.size()) < m_nWindow) continue;
    const float c = AE_NormalizedCorrelation(window, t.m_pData.data(), m_nWindow);
    if (std::fabs(c) > std::fabs(*cc)) {
      *cc = c;
      *index = j;
    }
  }
  return GetCount();
}

int CAETemplateSet::CrossCorrelateAll(int remove, float threshold) {
  const int count = GetCount();
  std::vector<float> c(static_cast<std::size_t>(std::max(count, 1)), 0.0f);
  for (int j = 1; j < count; ++j) {
    const AETemplateRec& a = *m_list[j - 1];
    const AETemplateRec& b = *m_list[j];
    const int w = std::min<int>(
        {m_nWindow, static_cast<int>(a.m_pData.size()), static_cast<int>(b.m_pData.size())});
    c[j] = AE_NormalizedCorrelation(a.m_pData.data(), b.m_pData.data(), w);
  }
  int removed = 0;
  if (remove >= 1 && count >= 2) {
    for (int j = count - 1; j >= 1; --j) {
      if (c[j] > threshold) {
        m_list.erase(m_list.begin() + j);
        ++removed;
      }
    }
  }
  return removed;
}

int CAETemplateSet::Write(const std::string& path, bool append) const {
  const bool existed = KZ_FileExists(path.c_str()) != 0;
  plat::File f;
  if (!f.Open(path, append ? "at" : "wt")) return 0;
  bool ok = true;
  if (!existed || !append) {
    ok = f.Puts("!Template AE wveform with manually determined P-1st motion data\n") &&
         f.Puts("!numSamples, Samp. rate(MHz), indPick, S/N, Amp., Tr\n");
  }
  for (const auto& t : m_list) {
    ok = ok && f.Printf("%4d %d %d %.4f %.4f %.4f\n", t->m_nSamples, t->m_nRate, t->m_nPick,
                        t->m_fSN, t->m_fAmp, t->m_fRise) >= 0;
    for (float v : t->m_pData) ok = ok && f.Printf("%f \n", v) >= 0;
  }
  ok = ok && f.Flush();
  if (!ok) {
    plat::AfxMessageBox(path + ": the templates could not be written.", MB_ICONHAND);
    return 0;
  }
  return GetCount();
}

int CAETemplateSet::Read(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rt")) return 0;
  std::vector<std::string> lines;
  std::string line;
  while (f.ReadLine(line)) lines.push_back(line);
  std::vector<std::unique_ptr<AETemplateRec>> read;
  std::size_t i = 2;
  auto damaged = [&](const char* why) {
    plat::AfxMessageBox(plat::Format("%s: template %d %s; the templates are not loaded.",
                                     path.c_str(), static_cast<int>(read.size()) + 1, why),
                        MB_ICONHAND);
    return 0;
  };
  while (i < lines.size()) {
    auto t = std::make_unique<AETemplateRec>();
    int fields = plat::ScanC(lines[i].c_str(), "%d %d %d %f %f %f", &t->m_nSamples, &t->m_nRate,
                             &t->m_nPick, &t->m_fSN, &t->m_fAmp, &t->m_fRise);
    if (fields < 5) break;
    if (fields == 5) t->m_fRise = 0.0f;
    ++i;
    if (t->m_nSamples < 0 || t->m_nSamples > 1000000)
      return damaged("has an impossible sample count");
    t->m_pData.reserve(static_cast<std::size_t>(t->m_nSamples));
    while (static_cast<int>(t->m_pData.size()) < t->m_nSamples && i < lines.size()) {
      std::istringstream in(lines[i++]);
      in.imbue(std::locale::classic());
      float v;
      while (static_cast<int>(t->m_pData.size()) < t->m_nSamples && in >> v)
        t->m_pData.push_back(v);
    }
    if (static_cast<int>(t->m_pData.size()) < t->m_nSamples) return damaged("is cut short");
    read.push_back(std::move(t));
  }
  // A file without a single template (empty, comments only, a damaged first one) is
  // refused: replacing the set by nothing would lose it, and a later save the file.
  if (read.empty()) {
    plat::AfxMessageBox(path + " holds no template; the templates are not loaded.", MB_ICONHAND);
    return 0;
  }
  m_list = std::move(read);
  return GetCount();
}
