// From a waveform record to a located catalogue event: source parameters (corner
// frequency and magnitudes), picking and location of one event, and its full processing.
// These operations of the waveform record fill the catalogue engine's current record.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/templates/AETemplateSet.h"
#include "aecore/waveform/AEWave.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_TSanaAR.h"

namespace {

int Samples(const CAEWave& w) { return w.m_pHeader ? w.m_pHeader->nSamples : 0; }
int Channels(const CAEWave& w) { return w.m_pHeader ? w.m_pHeader->nChannels : 0; }
float Rate(const CAEWave& w) { return w.m_pHeader ? static_cast<float>(w.m_pHeader->nRate) : 0.0f; }

const std::int16_t* Channel(const CAEWave& w, int c) {
  return w.m_pSamples.data() + static_cast<std::size_t>(c) * Samples(w);
}

// Largest minus smallest sample of channel c over [a, b); `empty` when the span is empty.
int Range(const CAEWave& w, int c, int a, int b, int empty) {
  a = std::max(a, 0);
  b = std::min(b, Samples(w));
  if (a >= b) return empty;
  const std::int16_t* x = Channel(w, c);
  auto [lo, hi] = std::minmax_element(x + a, x + b);
  return *hi - *lo;
}

// The corner of a log10 spectrum given at the frequencies i / NF of half the sampling rate
// (i = 0 .. NF), in those units of index. A resonant signal has its corner at the spectrum's
// peak (the first largest value). An isolated source pulse has none: a Brune source seen by
// a velocity sensor, A (1 - wc t) exp(-wc t), is the impulse response of a double pole, so
// its autoregressive spectrum is a low-pass one, 1 / (w^2 + wc^2)^2, flat up to the corner
// wc and falling beyond. Its largest value lies at the zero frequency, the spectrum's lower
// bound, and the corner is where it has fallen to a quarter of that level, interpolated
// between the two bins around the crossing.
double SpectralCorner(const double* logS, int NF) {
  int k = 0;
  double best = -1e10;
  for (int i = 0; i < NF; ++i) {
    if (logS[i] > best) {
      best = logS[i];
      k = i;
    }
  }
  if (k > 0) return k;
  const double level = best - std::log10(4.0);
  for (int i = 1; i <= NF; ++i)
    if (logS[i] <= level) return i - (level - logS[i]) / (logS[i - 1] - logS[i]);
  return NF;
}

}  // namespace

void CAEWave::IntegrateSeries(float x[], int n, float w) {
  if (n < 1) return;
  float a = 0.1f * w;
  float D = a * a + 7.58519983291626f * a + 12.0f;
  float c0 = 6.0f * w / D;
  float c1 = (24.0f - 10.0f * a * a) / D;
  float c2 = (7.58519983291626f * a - 12.0f - a * a) / D;
  std::vector<float> u(x, x + n);
  x[0] = 0.0f;
  if (n > 1) x[1] = 0.0f;
  for (int k = 2; k < n; ++k) x[k] = c0 * (u[k] - u[k - 2]) + c1 * x[k - 1] + c2 * x[k - 2];
}

int CAEWave::SourceParameters(CAEHypo* hypo) {
  if (!hypo) return 0;
  AEHRecord& rec = hypo->m_Rec;
  rec.fFc = 0.0f;
  rec.fMw = 0.0f;
  if (rec.nArrivals < 5 || !m_pHeader) return 0;
  const float r = Rate(*this);
  const int N = Samples(*this);
  // The analysed window must fit the work arrays.
  const int W = std::min(static_cast<int>(r * hypo->m_fMwFcWindow), AEW_WORK_SIZE / 2 - 2);
  const int NF = 2 * W;
  const int K = hypo->m_nAROrder;
  if (W < 2 || N < 1) return 0;
  std::vector<float> buffer(N);
  std::vector<float> amps, freqs;
  KZ_TSanaAR ar;
  KZ_Ary_ series(W), coef(std::max(K, 1) + 1);
  if (m_pSpectrum.size() < static_cast<std::size_t>(NF + 1)) m_pSpectrum.resize(NF + 1);
  int n = std::min(static_cast<int>(rec.nArrivals), AEH_MAX_SENSORS);
  for (int j = 0; j < n; ++j) {
    int s = rec.nSensor[j];
    if (s < 0 || s >= Channels(*this)) continue;
    int i0 = static_cast<int>(std::max(r * rec.fTime[j], 0.0f));
    if (i0 + W > N) continue;
    float cosA = 0.0f, dist = 0.0f;
    if (!hypo->GetSensorIncidence(s, &cosA, &dist) || cosA < 0.25f) continue;
    float g = std::pow(dist, hypo->m_fRNormal) * (hypo->m_pSensorGain[s] * 1e6f);
    if (hypo->m_nMwFcSensCorr == 1 || hypo->m_nMwFcSensCorr == 2) g = g / (cosA * cosA);
    const std::int16_t* x = Channel(*this, s);
    for (int i = 0; i < N; ++i) buffer[i] = x[i] * g;
    for (int i = 1; i <= W; ++i) series[i] = buffer[i0 + i - 1];
    KZ_TSana::RemoveMean(&series, W, W);
    int p = 0;
    double sig2 = 0.0;
    ar.FitMinAIC(&series, W, &coef, &p, &sig2, K);
    KZ_TSanaAR::Spectrum(&coef, p, nullptr, 0, sig2, m_pSpectrum.data(), NF, false, true);
    freqs.push_back(static_cast<float>(SpectralCorner(m_pSpectrum.data(), NF) * 0.5 * r / NF));
    IntegrateSeries(buffer.data(), N, 1e-6f / r);
    auto [lo, hi] = std::minmax_element(buffer.begin() + i0, buffer.begin() + i0 + W);
    amps.push_back((std::max(0.0f, *hi) - std::min(0.0f, *lo)) * 0.5f);
  }
  int used = static_cast<int>(amps.size());
  if (used == 0) return 0;
  double sumA = 0, sumF = 0, sumA2 = 0;
  for (int i = 0; i < used; ++i) {
    sumA += amps[i];
    sumF += freqs[i];
    sumA2 += static_cast<double>(amps[i]) * amps[i];
  }
  double A = sumA / used, F = sumF / used, q = std::sqrt(sumA2) / used;
  if (used > 2) {
    A = KZ_MedianF(amps.data(), used);
    F = KZ_MedianF(freqs.data(), used);
  }
  rec.fMw = static_cast<float>(std::log10(A * 1e-6 * 1e-8) + 3.0);
  rec.fMw2 = static_cast<float>(std::log10(q * 1e-6 * 1e-8) + 3.0);
  rec.fFc = static_cast<float>(F);
  return used;
}

namespace {

void CopyDateTime(const CAEWave& wave, AEHRecord& rec) {
  const AEWHeader& h = *wave.m_pHeader;
  rec.nYear = static_cast<std::uint8_t>(h.nYear & 0xFF);
  rec.nMonth = static_cast<std::uint8_t>(h.nMonth & 0xFF);
  rec.nDay = static_cast<std::uint8_t>(h.nDay & 0xFF);
  rec.nHour = static_cast<std::uint8_t>(h.nHour & 0xFF);
  rec.nMinute = static_cast<std::uint8_t>(h.nMinute & 0xFF);
  rec.nSecond = static_cast<std::uint8_t>(h.nSecond & 0xFF);
  rec.nTimeSec = h.nSec;
  rec.nTimeUs = h.nUsec;
}

void SetArrivalsFromPicks(CAEWave& wave, CAEHypo& hypo) {
  int n = std::min({hypo.m_nSensors, Channels(wave), AEH_MAX_SENSORS});
  for (int k = 0; k < n; ++k)
    hypo.SetArrival(wave.m_pPickTime[k], wave.m_pPickAmp[k], wave.m_pPickRise[k], wave.m_pPickSN[k],
                    static_cast<std::uint8_t>(wave.m_pPolarity[k] & 0xFF), k);
}

}  // namespace

int CAEWave::PickAll(CAEHypo* hypo, int start, int end, int check) {
  if (!hypo) return 0;
  if (!m_pHeader) return 0;
  AEHRecord& rec = hypo->m_Rec;
  const int N = Samples(*this), C = Channels(*this);
  const float r = Rate(*this);
  int endp = (end >= 1 && end < N - 1) ? end : N - 1;
  rec = AEHRecord{};
  if (check != 0 && !CheckWaveform(check)) {
    m_pHeader->nStatus = -1;
    return 0;
  }
  if (start < 1 && endp > N - 4) {
    // Onset region: the strongest rise of the mean absolute amplitude over all channels.
    float best = 2.0f;
    int position = N;
    for (int c = 0; c < C; ++c) {
      const std::int16_t* x = Channel(*this, c);
      if (N < 151) break;
      float pre = 0.0f, post = 0.0f;
      for (int i = 0; i < 100; ++i) pre += std::abs(x[i]);
      for (int i = 100; i < 150; ++i) post += std::abs(x[i]);
      for (int k = 100; k <= N - 51; ++k) {
        if (k > 100) {
          pre += std::abs(x[k - 1]) - std::abs(x[k - 101]);
          post += std::abs(x[k + 49]) - std::abs(x[k - 1]);
        }
        float ratio = (post / 50) / (pre / 100);
        if (ratio > best) {
          best = ratio;
          position = k;
        }
      }
    }
    if (position > 0 && position < N) {
      start = std::max(position - 128, 0);
      endp = std::min(N - 1, start + 512);
    }
  }
  AEPickOptions options{hypo->m_fMecAcri, hypo->m_pTemplates};
  for (int c = 0; c < C; ++c) AutoPick(c, 0, start, endp, &options);
  SetArrivalsFromPicks(*this, *hypo);
  float residuals[AEH_MAX_SENSORS] = {};
  hypo->Locate(residuals, -1);
  CopyDateTime(*this, rec);

  const int sensors = std::min({hypo->m_nSensors, C, AEH_MAX_SENSORS});
  int count = rec.nArrivals;
  if (count >= 5 && count < hypo->m_nSensors) {
    bool any = false;
    for (int j = count; j < sensors; ++j) {
      int s = rec.nSensor[j];
      rec.fSN[j] = 0.0f;
      rec.nPolarity[j] = 0;
      if (s < 0 || s >= C || Range(*this, s, 0, N, 0) < 300) continue;
      float t = std::max((rec.fTime[j] - residuals[j]) * r, 0.0f);
      if (AutoPick(s, static_cast<int>(t), 0, -1, nullptr)) {
        rec.fTime[j] = m_pPickTime[s];
        rec.fSN[j] = m_pPickSN[s];
        rec.nPolarity[j] = static_cast<std::int8_t>(m_pPolarity[s] & 0xFF);
        any = true;
      }
    }
    if (any) hypo->Locate(residuals, -1);
  }
  count = rec.nArrivals;
  if (count > 3) {
    int bad = 0;
    int m = static_cast<int>(std::max(r * rec.fT0, 0.0f));
    for (int j = 0; j < count; ++j) {
      int s = rec.nSensor[j];
      int k = static_cast<int>((rec.fTime[j] - residuals[j]) * r);
      if (k < 10 || k > N - 10 || s < 0 || s >= C) {
        ++bad;
        continue;
      }
      int pre = Range(*this, s, m, k, -60000);
      int post = Range(*this, s, k, std::min(k + 100, N), 0);
      if (pre > post / 2) ++bad;
    }
    if (bad > count - 4) rec.nArrivals = 0;
  }
  rec.nFlags = rec.nArrivals > 3 ? 1 : 0;
  CopyDateTime(*this, rec);
  rec.nIndex = m_nEvent;
  return rec.nArrivals;
}

int CAEWave::ProcessEvent(CAEHypo* hypo, int start, int end, int check) {
  if (!hypo) return 0;
  if (!m_pHeader) return 0;
  const int N = Samples(*this), C = Channels(*this);
  const float r = Rate(*this);
  AEHRecord& rec = hypo->m_Rec;
  int count = PickAll(hypo, start, end, check);
  if (count < 4 && 0.7 * N > start)
    count = PickAll(hypo, static_cast<int>(start + 0.1 * N), end, check);
  AEHRecord best = rec;
  int bestCount = rec.nArrivals;
  for (int pass = 0; pass < 10 && rec.nArrivals >= 4 && rec.nArrivals <= C - 3; ++pass) {
    int s0 = static_cast<int>(r * rec.fT0);
    int e0 = s0 + 32;
    for (int k = 0; k < std::min(hypo->m_nSensors, AEH_MAX_SENSORS); ++k) {
      float t, dx, dy, dz;
      hypo->TravelTimeDeriv(k, &t, &dx, &dy, &dz);
      e0 = std::max(e0, static_cast<int>((rec.fT0 + t) * r) + s0 + 32);
    }
    PickAll(hypo, s0, e0, check);
    if (rec.nArrivals > bestCount) {
      best = rec;
      bestCount = rec.nArrivals;
    }
  }
  rec = best;

  // Template picks for the sensors without a first motion.
  const CAETemplateSet* set = hypo->m_pTemplates;
  if (set && set->GetCount() > 0) {
    const int W = set->m_nWindow, L = set->m_nLag;
    const int len = W + 2 * L + 2;
    std::vector<float> copy(std::max(len, 0));
    bool any = false;
    const int sensors = std::min({hypo->m_nSensors, C, AEH_MAX_SENSORS});
    for (int k = 0; k < sensors; ++k) {
      if (m_pPolarity[k] != 0) continue;
      // After the location the slots are no longer in sensor order: the pick goes into
      // the slot that holds sensor k, so that no other sensor's arrival is overwritten.
      int slot = 0;
      while (slot < sensors && rec.nSensor[slot] != k) ++slot;
      if (slot == sensors) continue;
      float t, dx, dy, dz;
      hypo->TravelTimeDeriv(slot, &t, &dx, &dy, &dz);
      int i0 = static_cast<int>((rec.fT0 + t) * r);
      int from = i0 - W / 2 - L;
      if (len < 1 || from < 0 || from + len > N) continue;  // the copy must lie inside the channel
      const std::int16_t* x = Channel(*this, k);
      for (int i = 0; i < len; ++i) copy[i] = x[from + i];
      int shift = 0, pol = 0;
      float amp = 0, rise = 0, score = 0;
      if (set->Match(copy.data(), W / 2 + L, &shift, &pol, &amp, &rise, &score) != -1) {
        rec.fTime[slot] = (i0 + shift) / r;
        rec.fAmp[slot] = amp;
        rec.fRise[slot] = rise;
        rec.fSN[slot] = score;
        rec.nPolarity[slot] = static_cast<std::int8_t>(pol & 0xFF);
        any = true;
      }
    }
    if (any) hypo->LocateCurrent();
  }
  SourceParameters(hypo);
  hypo->FocalMechanism(-1);
  return rec.nArrivals;
}
