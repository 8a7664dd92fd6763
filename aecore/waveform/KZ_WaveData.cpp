#include "aecore/waveform/KZ_WaveData.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/numerics/KZ_IIRDesign.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/ByteOrder.h"

// ---------------------------------------------------------------- SAC header, station

KZ_SacHeader::KZ_SacHeader() {
  std::fill(std::begin(f), std::end(f), -12345.0f);
  std::fill(std::begin(n), std::end(n), -12345);
  for (int i = 0; i < 192; i += 8) std::memcpy(k + i, "-12345  ", 8);
  std::memcpy(k + 8, "-12345          ", 16);
}

void KZ_SacHeader::SetText(int offset, const std::string& text) {
  std::memset(k + offset, ' ', 8);
  std::memcpy(k + offset, text.data(), std::min<std::size_t>(8, text.size()));
}

std::string KZ_SacHeader::Text(int offset) const {
  std::string s(k + offset, 8);
  while (!s.empty() && (s.back() == ' ' || s.back() == 0)) s.pop_back();
  return s;
}

std::string KZ_SacHeader::EventName() const {
  std::string s(k + KEVNM, 16);
  while (!s.empty() && (s.back() == ' ' || s.back() == 0)) s.pop_back();
  return s;
}

void KZ_SacHeader::Encode(std::uint8_t* bytes) const {
  for (int i = 0; i < 70; ++i) le::PutF32(bytes + 4 * i, f[i]);
  for (int i = 0; i < 40; ++i) le::PutI32(bytes + 280 + 4 * i, n[i]);
  std::memcpy(bytes + 440, k, 192);
}

void KZ_SacHeader::Decode(const std::uint8_t* bytes) {
  for (int i = 0; i < 70; ++i) f[i] = le::GetF32(bytes + 4 * i);
  for (int i = 0; i < 40; ++i) n[i] = le::GetI32(bytes + 280 + 4 * i);
  std::memcpy(k, bytes + 440, 192);
}

CStationObj::CStationObj(const std::string& station, const std::string& channel)
    : m_strStation(station), m_strChannel(channel), m_strName(station + channel) {}

// ---------------------------------------------------------------- trace

KZ_WaveTrace::KZ_WaveTrace(int n) {
  if (n < 1) return;
  const int capacity = n <= 256 ? 256 : (n + 255) / 256 * 256;
  try {
    m_pData.assign(static_cast<std::size_t>(capacity), 0.0f);
    m_nCapacity = capacity;
    m_n = n;
  } catch (const std::bad_alloc&) {
    m_pData.clear();
  }
}

KZ_WaveTrace::~KZ_WaveTrace() = default;

bool KZ_WaveTrace::Resize(int n) {
  if (n < 0) return false;
  try {
    std::vector<float> data(static_cast<std::size_t>(n), 0.0f);
    std::copy_n(m_pData.begin(), std::min<std::size_t>(m_pData.size(), data.size()), data.begin());
    m_pData.swap(data);
  } catch (const std::bad_alloc&) {
    return false;
  }
  m_n = m_nCapacity = n;
  if (m_pSac) m_pSac->n[KZ_SacHeader::NPTS] = n;
  return true;
}

bool KZ_WaveTrace::AppendSamples(const KZ_WaveTrace& other) {
  const int old = m_n;
  const int add = other.m_n;
  if (!Resize(old + add)) return false;
  std::copy_n(other.m_pData.begin(), add, m_pData.begin() + old);
  m_fMin = std::min(m_fMin, other.m_fMin);
  m_fMax = std::max(m_fMax, other.m_fMax);
  return true;
}

void KZ_WaveTrace::ComputeStats(bool removeMean) {
  double mn = 1e10, mx = -1e10, sum = 0.0;
  const int n = m_n;
  if (n > 4) {
    for (int i = 2; i <= n - 3; ++i) {
      mn = std::min(mn, static_cast<double>(m_pData[i]));
      mx = std::max(mx, static_cast<double>(m_pData[i]));
      sum += m_pData[i];
    }
  }
  const double g = m_fDescale;
  mn *= g;
  mx *= g;
  // The end samples are left out of the sum but the count is the whole trace's.
  double mean = n > 0 ? sum / n * g : 0.0;
  if (removeMean) {
    for (int i = 0; i < n; ++i) m_pData[i] = static_cast<float>(m_pData[i] - mean);
    mx -= mean;
    mn -= mean;
    mean = 0.0;
  }
  if (mx < mn) std::swap(mx, mn);
  if (mx - mn < 1e-20) {
    mx = 1e-20;
    mn = -1e-20;
  }
  m_fMin = mn;
  m_fMax = mx;
  m_fMean = mean;
}

void KZ_WaveTrace::SetPick(int index, float snr) {
  m_nPick = index;
  m_fSNR = snr;
  if (m_pSac)
    m_pSac->f[KZ_SacHeader::T1] =
        static_cast<float>(index * m_pSac->f[KZ_SacHeader::DELTA] + m_pSac->f[KZ_SacHeader::B]);
}

void KZ_WaveTrace::SetPickAmplitude(double a) {
  m_fPickAmp = a;
  if (m_pSac) m_pSac->f[KZ_SacHeader::USER1] = static_cast<float>(a);
}

float KZ_WaveTrace::WindowValue(int, int p, float* delay) {
  const int n = m_n;
  // The noise level before the pick is where the search for a larger value starts; a pick
  // before the trace has no noise samples.
  float noise = 0.0f;
  if (p >= 0) {
    for (int i = 0; i <= p && i < n; ++i) noise += std::fabs(m_pData[i]);
    noise /= static_cast<float>(p + 1);
  }
  int peak = p < 0 ? 0 : p + 1;
  float level = noise;
  for (int j = std::max(p + 1, 0); j < n; ++j) {
    const float a = std::fabs(m_pData[j]);
    if (a > level) {
      peak = j;
      level = a;
    } else if (j - peak >= 10 && m_pData[peak] * m_pData[j] < 1.0f) {
      break;
    }
  }
  const float amp = peak < n ? m_pData[peak] : 0.0f;
  m_fPickAmp = amp;
  if (delay) *delay = static_cast<float>((peak - p) * m_fInterval);
  if (m_pSac) {
    m_pSac->f[KZ_SacHeader::USER1] = amp;
    m_pSac->SetText(KZ_SacHeader::KUSER1, "Ap");
  }
  return amp;
}

// ---------------------------------------------------------------- container

void KZ_ResetWaveHeader(KZ_WaveHeader& h) {
  std::memset(&h, 0, sizeof h);
  KZ_CopyText(h.szTimeUnits, "Time(sec)");
}

KZ_WaveData::KZ_WaveData() { KZ_ResetWaveHeader(m_header); }

KZ_WaveData::~KZ_WaveData() = default;

KZ_WaveTrace* KZ_WaveData::GetTrace(int i) const {
  return i >= 0 && i < Count() ? m_traces[static_cast<std::size_t>(i)].get() : nullptr;
}

KZ_WaveTrace* KZ_WaveData::AddTrace(std::unique_ptr<KZ_WaveTrace> t) {
  m_traces.push_back(std::move(t));
  m_header.nChannels = static_cast<std::int16_t>(Count());
  return m_traces.back().get();
}

int KZ_WaveData::RemoveTrace(int i) {
  if (Count() < 1 || i < 0 || i >= Count()) return 0;
  m_traces.erase(m_traces.begin() + i);
  m_header.nChannels = static_cast<std::int16_t>(Count());
  ++m_nModified;
  return Count();
}

void KZ_WaveData::Clear(bool keepStations) {
  m_traces.clear();
  KZ_ResetWaveHeader(m_header);
  if (!keepStations) m_stations.clear();
}

int KZ_WaveData::Append(KZ_WaveData& other) {
  if (Count() != other.Count()) return 0;
  for (int i = 0; i < Count(); ++i)
    if (!m_traces[i]->AppendSamples(*other.m_traces[i])) return 0;
  ++m_nModified;
  return 1;
}

int KZ_WaveData::Load(const std::string&, int, std::int64_t, std::int64_t) { return 0; }

bool KZ_WaveData::BackupSamples() {
  for (auto& t : m_traces) t->m_pBackup.assign(t->m_pData.begin(), t->m_pData.begin() + t->m_n);
  return true;
}

bool KZ_WaveData::RestoreSamples() {
  for (auto& t : m_traces) {
    const std::size_t n = std::min<std::size_t>(t->m_pBackup.size(), t->m_n);
    std::copy_n(t->m_pBackup.begin(), n, t->m_pData.begin());
  }
  return true;
}

void KZ_WaveData::Filter(float lowCorner, float highCorner) {
  if (m_traces.empty()) return;
  double sn[3 * KZ_IIR_MAX_SECTIONS], sd[3 * KZ_IIR_MAX_SECTIONS];
  int nsects = 0;
  const float dt = static_cast<float>(m_traces[0]->m_fInterval);
  if (!KZ_IIRDesign(4, "BP", "BU", 1.0, 1.0, lowCorner, highCorner, dt, sn, sd, &nsects)) return;
  for (auto& t : m_traces) KZ_IIRApply(t->m_pData.data(), t->m_n, 0, sn, sd, nsects);
}

int KZ_WaveData::OnsetClass(int k, float halfWidth, float ratio) const {
  if (m_traces.empty() || m_traces[0]->m_fInterval <= 0.0) return 0;
  const int W = static_cast<int>(halfWidth / m_traces[0]->m_fInterval);
  const int m = m_traces[0]->m_n;
  const int L = m_nOnsetRef >= 1 ? m_nOnsetRef : std::min(m / 4, 1600);
  const int N = Count();
  int quiet = 0, onsets = 0, early = 0;
  for (const auto& tp : m_traces) {
    const float* x = tp->m_pData.data();
    const int len = std::min(m, tp->m_n);  // never past a shorter trace
    // The middle term is the first sample, a constant that cancels in every range below.
    auto smooth = [&](int j) { return (x[j - 2] + x[0] + x[j + 2]) / 3.0f; };
    int lo = 30000, hi = -30000;
    for (int j = 2; j < m / 8 && j + 2 < len; ++j) {
      const float s = smooth(j);
      if (s < lo) lo = static_cast<int>(s);
      if (s > hi) hi = static_cast<int>(s);
    }
    const int p1 = hi - lo;
    lo = 30000;
    hi = -30000;
    auto background = [&](int from, double to) {
      for (int j = std::max(from, 2); j < to && j + 2 < len; ++j) {
        const float s = smooth(j);
        if (s < lo) lo = static_cast<int>(s);
        if (s > hi) hi = static_cast<int>(s);
      }
    };
    background(static_cast<int>(0.1 * m), L - W);
    background(L + W, 0.9 * m);
    const int p2 = hi - lo;
    if (p2 < 300) ++quiet;
    const double threshold = std::max(0.5 * p2, 50.0);
    if (p1 > threshold) ++early;
    auto range = [&](int from, int to) {
      int a = 35000, b = -35000;
      for (int j = std::max(from, 0); j < to && j < len; ++j) {
        if (x[j] < a) a = static_cast<int>(x[j]);
        if (x[j] > b) b = static_cast<int>(x[j]);
      }
      return b - a;
    };
    const int pa = range(k - 2 * W, k - W), pb = range(k, k + W), pc = range(k + W, k + 2 * W);
    if (pb > pa * ratio && pb > 0.5 * ratio * pc) ++onsets;
  }
  const int active = N - quiet;
  if (onsets <= std::min(N / 2, 7)) return early > N - 4 ? 2 : (active >= 4 ? 0 : 2);
  return early > N - 4 ? 3 : (active >= 4 ? 1 : 3);
}

namespace {

// Rotates complete triples of components `a`, `b`, `z` into `ra`, `rb`; incomplete ones
// are removed.
int Rotate(KZ_WaveData& w, char a, char b, char ra, char rb) {
  if (w.Count() == 0 || w.GetTrace(0)->m_cComponent == ra) return 0;
  int count = 0;
  for (int i = 0; i < w.Count();) {
    if (i + 1 >= w.Count() || i + 2 >= w.Count()) break;
    KZ_WaveTrace* t0 = w.GetTrace(i);
    KZ_WaveTrace* t1 = w.GetTrace(i + 1);
    KZ_WaveTrace* t2 = w.GetTrace(i + 2);
    if (t0->m_cComponent != a || t1->m_cComponent != b) {
      w.RemoveTrace(i);
      continue;
    }
    if (t2->m_cComponent != 'Z') {
      w.RemoveTrace(i + 1);
      w.RemoveTrace(i);
      continue;
    }
    // Without the vertical channel's station the azimuth is unknown: nothing is rotated.
    if (!t2->m_pStation) {
      i += 3;
      continue;
    }
    const double az = t2->m_pStation->m_fAzimuth * M_PI / 180.0;
    const double s = std::sin(az), c = std::cos(az);
    const int m = std::min({t0->m_n, t1->m_n, t2->m_n});
    for (int j = 0; j < m; ++j) {
      const double e = t0->m_pData[j], n = t1->m_pData[j];
      t0->m_pData[j] = static_cast<float>(e * s + n * c);
      t1->m_pData[j] = static_cast<float>(e * c - n * s);
    }
    t0->m_cComponent = ra;
    t1->m_cComponent = rb;
    for (KZ_WaveTrace* t : {t0, t1}) {
      if (KZ_SacHeader* h = t->GetHeader()) h->k[KZ_SacHeader::KCMPNM + 2] = t->m_cComponent;
    }
    ++count;
    i += 3;
  }
  return count;
}

}  // namespace

int KZ_WaveData::RotateToRT() { return Rotate(*this, 'E', 'N', 'R', 'T'); }

int KZ_WaveData::RotateToEN() { return Rotate(*this, 'R', 'T', 'E', 'N'); }

int KZ_WaveData::GetEventNumber() const {
  if (m_nEvent >= 0) return m_nEvent;
  std::string stem = m_strPath;
  const std::string ext = KZ_GetFileExt(m_strPath);
  if (!ext.empty() && stem.size() > ext.size()) stem.resize(stem.size() - ext.size());
  if (!stem.empty() && stem.back() == '.') stem.pop_back();
  // All six digits of the number before the extension.
  const std::string digits = stem.size() > 6 ? stem.substr(stem.size() - 6) : stem;
  return std::atoi(digits.c_str());
}

float KZ_WaveData::GetSampleInterval() const {
  return m_traces.empty() ? 0.0f : static_cast<float>(m_traces[0]->m_fInterval);
}
float KZ_WaveData::GetSampleInterval(int) const { return GetSampleInterval(); }
int KZ_WaveData::GetNumSamples() const { return m_traces.empty() ? 0 : m_traces[0]->m_n; }
int KZ_WaveData::GetNumSamples(int) const { return GetNumSamples(); }
int KZ_WaveData::GetDelaySamples(int i) const {
  const KZ_WaveTrace* t = GetTrace(i);
  if (!t || t->m_fInterval == 0.0) return 0;
  return static_cast<int>(t->m_fDelay / t->m_fInterval);
}
