#include "base/series/KZ_TSdata.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "base/plot/KZ_Pal1C.h"
#include "base/plot/KZ_PolyPlot.h"
#include "base/types/KZ_TextParse.h"
#include "platform/CDC.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"

namespace {

// A channel on the chain of formulas being evaluated.
struct FormulaPath {
  int channel;
  const FormulaPath* up;
};

bool OnPath(const FormulaPath* p, int channel) {
  for (; p; p = p->up)
    if (p->channel == channel) return true;
  return false;
}

// Device coordinates are truncated toward zero; values beyond an int are held at its ends.
inline int Trunc(double v) {
  if (v > -2147483648.0 && v < 2147483647.0) return static_cast<int>(v);  // the usual case
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

// The curve of value(i) from sample `first` while the time stays within T seconds of t0.
// A sparse curve takes every point at least 50 units from the last one taken. A crowded
// one (several samples to a pixel column of the device) takes per column its first, lowest,
// highest and last sample in their order: the line through them inks the pixels the line
// through every sample does.
template <class Value>
void DrawCurve(const KZ_TSdata& ts, plat::CDC* dc, int x0, int y0, int w, int h, double T,
               int channel, double t0, int first, int penWidth, COLORREF colour, Value value) {
  if (!dc || channel < 0 || channel >= ts.m_nChannels || !(T > 0)) return;
  const KZ_TSchannel& ch = ts.m_pChannel[channel];
  const double lo = ch.fPlotMin, hi = ch.fPlotMax;
  const double xs = w / T;
  const double ys = hi != lo ? h / (hi - lo) : 0.0;
  const double vlo = std::min(lo, hi), vhi = std::max(lo, hi);
  auto X = [&](int i) { return Trunc((ts.m_pTime[i] * 0.001 - t0) * xs + x0); };
  auto Y = [&](double v) { return Trunc((std::clamp(v, vlo, vhi) - lo) * ys + y0); };
  const int begin = std::max(first, 0);
  int end = begin;
  while (end < ts.m_nSamples && !(ts.m_pTime[end] * 0.001 - t0 > T)) ++end;
  KZ_PolyPlot points;
  const plat::DcState& state = dc->State();
  auto column = [&](int x) { return state.LPtoDP(POINT{x, 0}).x; };
  const long columns = std::labs(static_cast<long>(column(x0 + w)) - column(x0)) + 1;
  if (end - begin < 4 * columns) {
    int lastX = -1000, lastY = 0;
    for (int i = begin; i < end; ++i) {
      const int x = X(i), y = Y(static_cast<double>(value(i)));
      if (x - lastX < 50 && std::abs(static_cast<long long>(y) - lastY) < 50) continue;
      points.AddPoint(x, y);
      lastX = x;
      lastY = y;
    }
  } else {
    KZ_ColumnThinner thin(dc, &points);
    for (int i = begin; i < end; ++i) thin.Add(X(i), Y(static_cast<double>(value(i))));
    thin.Finish();
  }
  points.Draw(dc, PS_SOLID, penWidth, colour, true, false);
}

// Calls use(value) with the value function of a chain. A channel without a formula (the
// usual case) is read inline, in the arithmetic ChainValue uses, so that the per-sample
// loops of the curves need no call per sample; longer chains go through ChainValue.
template <class Use>
void WithChainValue(const KZ_TSdata& ts, const KZ_TSdata::ValueChain& chain, Use&& use) {
  if (chain.terms.size() != 1 || !ts.m_ppData) {
    use([&](int i) { return ts.ChainValue(chain, i); });
    return;
  }
  const KZ_TSdata::ValueChain::Term& t = chain.terms[0];
  const KZ_TSchannel& ch = ts.m_pChannel[t.channel];
  const std::int32_t* raw = ts.m_ppData[t.channel];
  if (std::fabs(ch.dScale) < 1e-20) {
    use([raw](int i) { return static_cast<float>(raw[i]); });
    return;
  }
  const double scale = ch.dScale;
  const float offset = ch.fOffset, base = ch.fBase;
  if (t.relative)
    use([=](int i) { return static_cast<float>(raw[i] * scale + offset) - base; });
  else
    use([=](int i) { return static_cast<float>(raw[i] * scale + offset); });
}

}  // namespace

std::int32_t** KZ_AllocChannelArrays(int entries, int count) {
  if (entries < 0 || count < 0) return nullptr;
  auto arrays = new (std::nothrow) std::int32_t*[static_cast<std::size_t>(count) + 1]();
  if (!arrays) return nullptr;
  for (int c = 0; c < count; ++c) {
    arrays[c] = new (std::nothrow) std::int32_t[static_cast<std::size_t>(entries)]();
    if (!arrays[c]) {
      KZ_FreeChannelArrays(arrays, c);
      return nullptr;
    }
  }
  return arrays;
}

void KZ_FreeChannelArrays(std::int32_t** arrays, int count) {
  if (!arrays) return;
  for (int c = 0; c < count; ++c) delete[] arrays[c];
  delete[] arrays;
}

KZ_TSdata::~KZ_TSdata() { Free(); }

void KZ_TSdata::Free() {
  if (m_pFile) {
    m_pFile->Close();
    m_pFile.reset();
  }
  delete[] m_pTime;
  m_pTime = nullptr;
  if (m_bOwnChannels) delete[] m_pChannel;
  m_pChannel = nullptr;
  m_bOwnChannels = true;
  KZ_FreeChannelArrays(m_ppData, m_nChannels);
  m_ppData = nullptr;
  m_nSamples = 0;
}

void KZ_TSdata::Swap(KZ_TSdata& o) noexcept {
  std::swap(m_pTime, o.m_pTime);
  std::swap(m_ppData, o.m_ppData);
  std::swap(m_pChannel, o.m_pChannel);
  std::swap(m_nChannels, o.m_nChannels);
  std::swap(m_nSamples, o.m_nSamples);
  std::swap(m_nReserved, o.m_nReserved);
  std::swap(m_nViewFirst, o.m_nViewFirst);
  std::swap(m_nViewLast, o.m_nViewLast);
  std::swap(m_nCapacity, o.m_nCapacity);
  std::swap(m_nFlag, o.m_nFlag);
  std::swap(m_tStart, o.m_tStart);
  std::swap(m_strTitle, o.m_strTitle);
  std::swap(m_pFile, o.m_pFile);
  std::swap(m_bOwnChannels, o.m_bOwnChannels);
}

bool KZ_TSdata::Alloc(int channels, int capacity, bool startNow, KZ_TSchannel* records) {
  Free();
  if (channels < 0 || channels > 32767 || capacity < 0 || capacity > 2147483647 - 8) return false;
  m_nChannels = static_cast<std::int16_t>(channels);
  m_nCapacity = capacity;
  const std::size_t entries = static_cast<std::size_t>(capacity) + 8;
  m_pTime = new (std::nothrow) double[entries]();
  if (!m_pTime) return false;
  m_ppData = KZ_AllocChannelArrays(static_cast<int>(entries), channels);
  if (!m_ppData) {
    delete[] m_pTime;
    m_pTime = nullptr;
    m_nChannels = 0;
    return false;
  }
  if (records) {
    m_pChannel = records;
    m_bOwnChannels = false;
  } else {
    m_pChannel = new (std::nothrow) KZ_TSchannel[static_cast<std::size_t>(channels) + 4];
    if (!m_pChannel) {
      Free();
      m_nChannels = 0;
      return false;
    }
    for (int c = 0; c < channels; ++c)
      std::snprintf(m_pChannel[c].szName, sizeof(m_pChannel[c].szName), "Chn#%02d", c + 1);
  }
  m_pTime[0] = 0.0;
  m_pTime[1] = 1.0;
  SetDefaultColours();
  std::fill(std::begin(m_nReserved), std::end(m_nReserved), 0);
  m_nViewFirst = m_nViewLast = 0;
  if (startNow) m_tStart = static_cast<std::int64_t>(std::time(nullptr));
  return true;
}

bool KZ_TSdata::Realloc(int capacity) {
  if (capacity < 0 || capacity > 2147483647 - 2) return false;
  KZ_FreeChannelArrays(m_ppData, m_nChannels);
  m_ppData = nullptr;
  delete[] m_pTime;
  m_pTime = nullptr;
  m_nCapacity = capacity;
  m_nSamples = 0;
  const std::size_t entries = static_cast<std::size_t>(capacity) + 2;
  m_pTime = new (std::nothrow) double[entries]();
  m_ppData = m_pTime ? KZ_AllocChannelArrays(static_cast<int>(entries), m_nChannels) : nullptr;
  if (!m_pTime || !m_ppData) {
    Free();
    m_nChannels = 0;
    return false;
  }
  return true;
}

void KZ_TSdata::SetDefaultColours() {
  if (!m_pChannel) return;
  const int n = m_nChannels;
  KZ_Pal1C pal;
  pal.SetRange(0, n, 0, 360, 3);
  static constexpr COLORREF kFirstThree[3] = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 128, 0)};
  static constexpr std::pair<const char*, COLORREF> kNamedColours[] = {
      {"A.Stress", RGB(255, 0, 0)}, {"A.L", RGB(255, 0, 0)},      {"C.P.", RGB(125, 0, 0)},
      {"MPa", RGB(0, 0, 255)},      {"A.Strain", RGB(0, 125, 0)}, {"C.Strain", RGB(0, 64, 64)},
      {"AE#", RGB(255, 125, 0)}};
  for (int c = 0; c < n; ++c) {
    KZ_TSchannel& ch = m_pChannel[c];
    ch.crColour = n > 3 ? pal.ValueToColor(c, 1.0) : kFirstThree[c];
    // The name decides where it knows the quantity; the first match wins.
    for (const auto& [part, colour] : kNamedColours) {
      if (std::strstr(ch.szName, part)) {
        ch.crColour = colour;
        break;
      }
    }
  }
}

std::tm KZ_TSdata::StartTime() const {
  auto t = plat::LocalTime(m_tStart);
  return t ? *t : std::tm{};
}

float KZ_TSdata::Value(int channel, int sample, bool relative) const {
  return ValueOnPath(channel, sample, relative, nullptr);
}

float KZ_TSdata::ValueOnPath(int c, int i, bool relative, const void* pathPtr) const {
  if (c < 0 || c >= m_nChannels || i < 0 || !m_ppData) return 0.0f;
  const KZ_TSchannel& ch = m_pChannel[c];
  const std::int32_t raw = m_ppData[c][i];
  if (std::fabs(ch.dScale) < 1e-20) return static_cast<float>(raw);
  float v = static_cast<float>(raw * ch.dScale + ch.fOffset);
  if (relative) v -= ch.fBase;
  char name[sizeof(ch.szName) + 1];
  std::memcpy(name, ch.szName, sizeof(ch.szName));
  name[sizeof(ch.szName)] = '\0';
  const char* fun = std::strstr(name, "FUN=");
  if (!fun) return v;
  const float a = KZ_GetKeyFloat(fun, "=", 0.0f);
  int k = 0;
  KZ_GetKeyInt(name, "CHN(", &k);
  const auto* path = static_cast<const FormulaPath*>(pathPtr);
  const FormulaPath here{c, path};
  // Channel k must exist, must not be channel 1 and must not already be on the chain.
  if (k >= 2 && k <= m_nChannels && !OnPath(&here, k - 1))
    v += a * ValueOnPath(k - 1, i, true, &here);
  return v;
}

KZ_TSdata::ValueChain KZ_TSdata::ChainOf(int c, bool relative) const {
  // The walk of ValueOnPath, once: each channel with a formula adds a times the relative
  // value of channel k - 1, unless that channel is already on the chain.
  ValueChain chain;
  if (c < 0 || c >= m_nChannels || !m_ppData) return chain;
  std::vector<bool> onPath(static_cast<std::size_t>(m_nChannels), false);
  for (;;) {
    const KZ_TSchannel& ch = m_pChannel[c];
    chain.terms.push_back({c, 0.0f, relative});
    onPath[static_cast<std::size_t>(c)] = true;
    if (std::fabs(ch.dScale) < 1e-20) break;  // raw values, no formula
    char name[sizeof(ch.szName) + 1];
    std::memcpy(name, ch.szName, sizeof(ch.szName));
    name[sizeof(ch.szName)] = '\0';
    const char* fun = std::strstr(name, "FUN=");
    if (!fun) break;
    const float a = KZ_GetKeyFloat(fun, "=", 0.0f);
    int k = 0;
    KZ_GetKeyInt(name, "CHN(", &k);
    if (!(k >= 2 && k <= m_nChannels) || onPath[static_cast<std::size_t>(k - 1)]) break;
    chain.terms.back().factor = a;
    c = k - 1;
    relative = true;
  }
  return chain;
}

float KZ_TSdata::ChainValue(const ValueChain& chain, int i) const {
  if (chain.terms.empty() || i < 0 || !m_ppData) return 0.0f;
  // Innermost first, in the order and precision of the recursive reading.
  float v = 0.0f;
  for (std::size_t j = chain.terms.size(); j-- > 0;) {
    const ValueChain::Term& t = chain.terms[j];
    const KZ_TSchannel& ch = m_pChannel[t.channel];
    const std::int32_t raw = m_ppData[t.channel][i];
    if (std::fabs(ch.dScale) < 1e-20) {
      v = static_cast<float>(raw);
      continue;
    }
    float w = static_cast<float>(raw * ch.dScale + ch.fOffset);
    if (t.relative) w -= ch.fBase;
    if (j + 1 < chain.terms.size()) w += t.factor * v;
    v = w;
  }
  return v;
}

float KZ_TSdata::ValueAtTime(double ms, int channel, int* index) const {
  int i = 0;
  while (i < m_nSamples && !(m_pTime[i] >= ms)) ++i;
  if (index) *index = i;
  if (i >= m_nSamples) return 0.0f;
  return Value(channel, i, true);
}

int KZ_TSdata::ValuesAtTime(double ms, double* values, int* index) const {
  if (m_nSamples < 1) {
    if (index) *index = 0;
    return 0;
  }
  int i = 0;
  while (i < m_nSamples && !(m_pTime[i] >= ms)) ++i;
  i = std::min(i, m_nSamples - 1);
  if (index) *index = i;
  for (int c = 0; c < m_nChannels; ++c) values[c] = Value(c, i, true);
  return m_nChannels;
}

float KZ_TSdata::GetRange(int channel, float* max, float* min) const {
  float lo = 0.0f, hi = 0.0f;
  const ValueChain chain = ChainOf(channel, true);
  for (int i = 0; i < m_nSamples; ++i) {
    const float v = ChainValue(chain, i);
    if (i == 0 || v < lo) lo = v;
    if (i == 0 || v > hi) hi = v;
  }
  if (max) *max = hi;
  if (min) *min = lo;
  return hi - lo;
}

void KZ_TSdata::ThinSamples(int minStep, std::int16_t threshold) {
  const int n = m_nSamples;
  if (n < 1 || !m_pTime) return;
  const double tFirst = m_pTime[std::clamp(m_nViewFirst, 0, n - 1)];
  const double tLast = m_pTime[std::clamp(m_nViewLast, 0, n - 1)];
  int last = 0;
  for (int i = 1; i < n; ++i) {
    bool keep = std::trunc(m_pTime[i] - m_pTime[last]) >= minStep;
    for (int c = 0; !keep && c < m_nChannels; ++c) {
      const KZ_TSchannel& ch = m_pChannel[c];
      if (!ch.nPlot || std::strstr(ch.szName, "AE#")) continue;
      keep = std::fabs(Value(c, i, true) - Value(c, last, true)) > threshold;
    }
    if (!keep) continue;
    ++last;
    m_pTime[last] = m_pTime[i];
    for (int c = 0; c < m_nChannels; ++c) m_ppData[c][last] = m_ppData[c][i];
  }
  m_nSamples = last + 1;
  int first = 0;
  while (first < m_nSamples && !(m_pTime[first] >= tFirst)) ++first;
  int lastView = first;
  while (lastView < m_nSamples && !(m_pTime[lastView] >= tLast)) ++lastView;
  m_nViewFirst = first;
  m_nViewLast = std::min(lastView, m_nSamples - 1);
}

void KZ_TSdata::SmoothChannel(int n, int channel) {
  if (n < 0 || channel < 0 || channel >= m_nChannels || m_nSamples <= 2 * n) return;
  std::int32_t* s = m_ppData[channel];
  std::vector<std::int32_t> mean(static_cast<std::size_t>(m_nSamples));
  // Sums in 64 bits: 2n + 1 samples near the ends of the 32-bit range do not overflow.
  for (int j = n; j < m_nSamples - n; ++j) {
    std::int64_t sum = 0;
    for (int k = j - n; k <= j + n; ++k) sum += s[k];
    mean[j] = static_cast<std::int32_t>(sum / (2 * n + 1));
  }
  for (int j = n; j < m_nSamples - n; ++j) s[j] = mean[j];
}

void KZ_TSdata::SmoothAEChannels(int n) {
  for (int c = 0; c < m_nChannels; ++c)
    if (m_pChannel[c].nPlot && std::strstr(m_pChannel[c].szName, "AE#")) SmoothChannel(n, c);
}

void KZ_TSdata::DrawChannel(plat::CDC* dc, int x0, int y0, int w, int h, double T, int c, double t0,
                            int first, bool relative, int penWidth, COLORREF colour) const {
  if (c < 0 || c >= m_nChannels) return;
  const float r = relative && first >= 0 && first < m_nSamples ? Value(c, first, true) : 0.0f;
  const ValueChain chain = ChainOf(c, relative);
  WithChainValue(*this, chain, [&](auto value) {
    DrawCurve(*this, dc, x0, y0, w, h, T, c, t0, first, penWidth, colour,
              [&](int i) { return value(i) - r; });
  });
}

void KZ_TSdata::DrawChannelSum(plat::CDC* dc, const RECT& rect, double T, int c1, double a, int c2,
                               double b, double t0, int first, bool relative, int penWidth,
                               COLORREF colour) const {
  if (c1 < 0 || c1 >= m_nChannels || c2 < 0 || c2 >= m_nChannels) return;
  const bool ref = relative && first >= 0 && first < m_nSamples;
  const float r1 = ref ? Value(c1, first, true) : 0.0f, r2 = ref ? Value(c2, first, true) : 0.0f;
  const ValueChain chain1 = ChainOf(c1, relative), chain2 = ChainOf(c2, relative);
  WithChainValue(*this, chain1, [&](auto value1) {
    WithChainValue(*this, chain2, [&](auto value2) {
      DrawCurve(*this, dc, rect.left, rect.bottom, rect.right - rect.left,
                rect.top - rect.bottom, T, c1, t0, first, penWidth, colour, [&](int i) {
                  return static_cast<float>(a * (value1(i) - r1) + b * (value2(i) - r2));
                });
    });
  });
}

void KZ_TSdata::DrawChannelPoints(plat::CDC* dc, const RECT& rect, double T, int c, double t0,
                                  int first, int penWidth, COLORREF colour) const {
  if (!dc || c < 0 || c >= m_nChannels || !(T > 0)) return;
  const KZ_TSchannel& ch = m_pChannel[c];
  const double lo = ch.fPlotMin, hi = ch.fPlotMax;
  const double xs = (rect.right - rect.left) / T;
  const double ys = hi != lo ? (rect.top - rect.bottom) / (hi - lo) : 0.0;
  KZ_PolyPlot points;
  plat::CPen pen(PS_SOLID, penWidth, colour);
  plat::CPen old = dc->SelectObject(pen);
  for (int i = std::max(first, 0); i < m_nSamples; ++i) {
    const double t = m_pTime[i] * 0.001 - t0;
    if (t > T) break;
    const double v = m_ppData[c][i] * ch.dScale;
    const int x = Trunc(t * xs + rect.left), y = Trunc((v - lo) * ys + rect.bottom);
    dc->Ellipse(x - 50, y - 50, x + 50, y + 50);
    points.AddPoint(x, y);
  }
  dc->SelectObject(old);
  points.Draw(dc, PS_SOLID, penWidth, colour, true, false);
}
