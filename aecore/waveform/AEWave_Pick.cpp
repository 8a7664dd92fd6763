// Picks of a waveform record: the automatic P pick of one channel, setters from other
// sources and the small waveform measures.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "aecore/templates/AETemplateSet.h"
#include "aecore/waveform/AEWave.h"
#include "base/numerics/KZ_TSana.h"

namespace {
// Samples of one pick window: the refined picks look at 256 samples around the first one.
constexpr int kWindow = 256;
constexpr int kNoiseLength = 64;
constexpr int kMaxSeries = 16396;
// Samples at either end of the series that only the noise or only the signal model sees.
constexpr int kChangeNoise = 50;

// The dither keeps the AR fits from degenerating on flat, quantised stretches; it has no
// other purpose, so it is kept well below the channel's own noise. A fixed 100 counts
// buried every onset below a few hundred counts and turned quiet records into late picks
// of the wrong polarity. A quarter of the noise raises it by 3 % (measured on quiet
// records: a larger share makes the weakest first motions late, a smaller one gains
// nothing). The floor is the spread of the rounding error of a one-count quantiser,
// 1 / sqrt(12): less leaves records of a fraction of a count of noise, mostly equal
// samples, to degenerate fits and picks hundreds of samples off. Noise of 400 counts and
// more gets the table's full 100 counts.
constexpr double kDitherShare = 0.25;
constexpr double kDitherFloor = 0.3;
constexpr double kDitherMax = 100.0;

// Scale of the dither table (100 counts) for a channel whose series starts at x: from the
// standard deviation of the noise segment the first pick models.
float DitherScale(const std::int16_t* x) {
  double mean = 0.0;
  for (int i = 0; i < kNoiseLength; ++i) mean += x[i];
  mean /= kNoiseLength;
  double var = 0.0;
  for (int i = 0; i < kNoiseLength; ++i) var += (x[i] - mean) * (x[i] - mean);
  const double sd = std::sqrt(var / kNoiseLength);
  return static_cast<float>(std::clamp(kDitherShare * sd, kDitherFloor, kDitherMax) / kDitherMax);
}
}  // namespace

void CAEWave::FillDither() {
  // Every record starts the generator afresh, so a pick never depends on what was picked before.
  int seed = -1;
  for (float& d : m_pDither) d = 100.0f * KZ_TSana::GaussDeviate(&seed);
}

int CAEWave::AutoPick(int c, int startPick, int o, int end, const AEPickOptions* options) {
  const float f = options ? options->fPolarityFactor : 3.0f;
  CAETemplateSet* templates = options ? options->pTemplates : nullptr;
  const int channels = GetNumChannels();
  const int N = m_pHeader->nSamples;
  const int rate = m_pHeader->nRate;
  if (c < 0 || c >= channels || N <= 0 || o < 0 || o >= N ||
      m_pSamples.size() < static_cast<std::size_t>(channels) * N)
    return 0;
  const std::int16_t* x = m_pSamples.data() + static_cast<std::size_t>(c) * N + o;
  int e = end >= 1 ? std::min(end, N - 1) : N - 1;
  int n = std::min(e - o - 24, kMaxSeries);
  // The refined picks need a whole window beyond the noise segment.
  if (n < kWindow + 1) return 0;

  // A flat channel (a dead sensor) has no onset; the dither alone would give it a pick.
  if (std::all_of(x + 1, x + n, [x](std::int16_t v) { return v == x[0]; })) {
    m_nAicFirst = kNoiseLength - 1;
    m_nAicLast = n - kNoiseLength;
    return 0;
  }
  const float scale = DitherScale(x);
  KZ_Ary_& series = *m_pSeries;
  for (int i = 0; i < n; ++i) series[i + 1] = (x[i] + scale * m_pDither[i]) * 0.01;
  KZ_TSana::RemoveMean(&series, n, n / 4);

  const bool supplied = startPick >= 1;
  int P = 0;
  double q = 0.0;
  if (supplied) {
    P = startPick;
  } else {
    m_nAicFirst = kNoiseLength - 1;
    m_nAicLast = n - kNoiseLength;
    // Asked for, the change point between a noise and a signal model of the chosen order
    // places the first pick; the noise-model picker still decides whether there is an
    // onset at all and gives the signal-to-noise ratio.
    int changePoint = -1;
    if (options && options->bChangePoint && options->nAROrder > 0) {
      const int split = m_AR.PickChangePointAIC(&series, n, options->nAROrder, 1, kChangeNoise,
                                                n - kChangeNoise, n, m_pAic.data(), 1);
      if (split >= 0) changePoint = split + kChangeNoise - 1;
    }
    if (m_AR.PickOnsetAIC(&series, n, kNoiseLength, &P, &q, m_pErrNoise.get(), m_pAic.data()) != 0)
      return 0;
    if (changePoint > 0) P = changePoint;
  }

  int w = std::max(P - kWindow / 2, 1);
  if (w + kWindow > n) w = n - kWindow;
  m_nAicFirst = w + kNoiseLength;
  m_nAicLast = w + kWindow - kNoiseLength - 1;
  std::memmove(&series[1], &series[w], kWindow * sizeof(double));
  KZ_TSana::MedianFilter(&series, kWindow, 4);
  KZ_TSana::RemoveMean(&series, kWindow, kWindow);
  int p1 = 0, p2 = 0, none1 = 1, none2 = 1;
  double q1 = 0.0, q2 = 0.0;
  m_AR.AutoPickOnset(&series, kWindow, kNoiseLength, &p1, &q1, &none1, &p2, &q2, &none2,
                     m_pErrNoise.get(), m_pErrSignal.get(), m_pAic.data());
  if (!none1 || !none2) {
    p1 += w - 1;
    p2 += w - 1;
    bool replaced = false;
    const int candidate = supplied ? 99999 : P;
    if (!none1 && p1 < candidate) {
      P = p1;
      q = q1;
      replaced = true;
    }
    if (!none2 && p2 < P) {
      P = p2;
      q = q2;
      replaced = true;
    }
    if (!replaced && !supplied && P >= w + kNoiseLength && P <= w + kWindow - kNoiseLength)
      m_AR.PickQualityRatio(&series, kWindow, kNoiseLength, P - w + 1, &q, m_pErrSignal.get());
  }

  // First motion from the raw samples.
  std::int16_t polarity = 0;
  float amplitude = 0.0f, rise = 0.0f;
  if (P > 5 && P < n - 5) {
    const float b = (x[P - 1] + x[P - 2] + x[P - 3] + x[P - 4] + x[P - 5]) / 5.0f - x[P];
    const float a = (x[P + 1] + x[P + 2] + x[P + 3] + x[P + 4] + x[P + 5]) / 5.0f - x[P];
    if (a - b > f * std::fabs(b))
      polarity = 1;
    else if (b - a > f * std::fabs(b))
      polarity = -1;
    float extreme = b;
    int at = P;
    if (polarity != 0) {
      for (int k = P + 1; k < n; ++k) {
        if (polarity > 0 ? x[k] > extreme : x[k] < extreme) {
          extreme = x[k];
          at = k;
        } else if (k > at + 5) {
          break;
        }
      }
    }
    amplitude = extreme - b;
    rise = rate != 0 ? static_cast<float>(at - P) / rate : 0.0f;
  }

  if (templates && templates->GetCount() > 0) {
    const int W = templates->m_nWindow, L = templates->m_nLag;
    const int first = P - W / 2 - L;
    const int count = W + 2 * L + 2;
    if (first >= 0 && o + first + count <= N) {
      std::vector<float> copy(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) copy[i] = x[first + i];
      int shift = 0, pol = 0;
      float amp = 0.0f, rs = 0.0f, score = 0.0f;
      if (templates->Match(copy.data(), W / 2 + L, &shift, &pol, &amp, &rs, &score) != -1) {
        P += shift;
        amplitude = std::fabs(amplitude) * pol;
        polarity = static_cast<std::int16_t>(pol);
        rise = rs;
        q = score;
      }
    }
  }

  const int pick = P + o;
  m_nLastPick = pick;
  m_nLastChannel = c;
  m_pPickTime[c] = rate != 0 ? static_cast<float>(pick) / rate : 0.0f;
  m_pPickAmp[c] = amplitude;
  m_pPickSN[c] = static_cast<float>(std::min(q, 50.0));  // the catalogue keeps S/N up to 50
  m_pPolarity[c] = polarity;
  m_pPickRise[c] = rise;
  return pick;
}

void CAEWave::SetPick(int sample, float amplitude, float rise, float sn, std::int16_t polarity,
                      int channel) {
  if (channel < 0 || channel >= static_cast<int>(m_pPickTime.size())) return;
  const int rate = m_pHeader->nRate;
  m_pPickTime[channel] = rate != 0 ? static_cast<float>(sample) / rate : 0.0f;
  m_pPickAmp[channel] = amplitude;
  m_pPickRise[channel] = rise;
  m_pPickSN[channel] = sn < 50.0f ? sn : 50.0f;
  m_pPolarity[channel] = polarity;
}

void CAEWave::SetPicks(const float times[], const float amplitudes[], const float rises[],
                       const float sn[], const std::int8_t polarities[],
                       const std::int8_t sensors[], int n) {
  const int channels = static_cast<int>(m_pPickTime.size());
  for (int k = 0; k < n; ++k) {
    const int c = sensors[k];
    if (c < 0 || c >= channels) continue;  // a damaged record names no channel of ours
    m_pPickTime[c] = times[k];
    m_pPickAmp[c] = amplitudes[k];
    m_pPickRise[c] = rises[k];
    m_pPickSN[c] = sn[k];
    m_pPolarity[c] = polarities[k];
    m_pArrival[c] = k;
  }
}

int CAEWave::SetPicksFromRecord(const AEHRecord& rec) {
  // The record holds 32 arrivals whatever the channel count.
  const int n = std::min(GetNumChannels(), AEH_MAX_SENSORS);
  SetPicks(rec.fTime, rec.fAmp, rec.fRise, rec.fSN, rec.nPolarity, rec.nSensor, n);
  return 1;
}

float CAEWave::GetPickSample(int channel) const {
  if (channel < 0 || channel >= static_cast<int>(m_pPickTime.size())) return 0.0f;
  return m_pPickTime[channel] * m_pHeader->nRate;
}

bool CAEWave::CheckWaveform(int flag) const {
  if (flag == 0) return true;
  const int channels = GetNumChannels();
  const int n = m_pHeader->nSamples;
  if (channels <= 0 || n <= 0 || m_pSamples.size() < static_cast<std::size_t>(channels) * n)
    return false;
  int noisy = 0, alive = 0;
  for (int c = 0; c < channels; ++c) {
    const std::int16_t* x = m_pSamples.data() + static_cast<std::size_t>(c) * n;
    // Peak to peak of the samples from `first` up to `end`, or `none` when there are none.
    auto span = [x](int first, double end, int none) {
      int lo = 32767, hi = -32768;
      bool any = false;
      for (int k = first; k < end; ++k) {
        lo = std::min<int>(lo, x[k]);
        hi = std::max<int>(hi, x[k]);
        any = true;
      }
      return any ? hi - lo : none;
    };
    const int noise = span(0, 0.05 * n, -60000);
    const int signal = span(static_cast<int>(0.2 * n), 0.95 * n, 0);
    if (signal >= 20) ++alive;
    if (signal < 2 * noise) ++noisy;
  }
  return noisy < channels / 2 && alive > channels / 4;
}

float CAEWave::PeakToPeak(int channel) const {
  const int channels = GetNumChannels();
  const int n = m_pHeader->nSamples;
  if (channel < 0 || channel >= channels || n <= 0 ||
      m_pSamples.size() < static_cast<std::size_t>(channels) * n)
    return static_cast<float>(m_pHeader->nMax - m_pHeader->nMin);
  auto first = m_pSamples.begin() + static_cast<std::ptrdiff_t>(channel) * n;
  auto [lo, hi] = std::minmax_element(first, first + n);
  return static_cast<float>(*hi - *lo);
}

float CAEWave::NoiseSum(int channel) const {
  const int channels = GetNumChannels();
  const int n = m_pHeader->nSamples;
  if (channel < 0 || channel >= channels ||
      m_pSamples.size() < static_cast<std::size_t>(channels) * n)
    return 0.0f;
  double absSum = 0.0, sum = 0.0;
  for (int k = 0; k < n; ++k) {
    const int v = m_pSamples[static_cast<std::size_t>(channel) * n + k];
    absSum += std::abs(v);
    sum += v;
  }
  return static_cast<float>(absSum - sum);
}

bool CAEWave::IsPulseShot(int channel, int index) const {
  const int channels = GetNumChannels();
  const int n = m_pHeader->nSamples;
  if (channel < 0 || channel >= channels || n < 200 ||
      m_pSamples.size() < static_cast<std::size_t>(channels) * n)
    return false;
  const std::int16_t* x = m_pSamples.data() + static_cast<std::size_t>(channel) * n;
  int peak = -32768;
  for (int k = std::max(index, 0); k < std::min(index + 20, n); ++k)
    peak = std::max<int>(peak, x[k]);
  long head = 0, tail = 0;
  for (int k = 0; k < 200; ++k) {
    head += std::abs(x[k]);
    tail += std::abs(x[n - 200 + k]);
  }
  return peak > 20000 && head / 200 < 1000 && tail / 200 < 3000;
}
