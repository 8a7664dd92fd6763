// Picks of a waveform record: setters from other sources and the small waveform measures.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "aecore/waveform/AEWave.h"

void CAEWave::FillDither() { std::fill(m_pDither.begin(), m_pDither.end(), 0.0f); }

void CAEWave::SetPick(int sample, float amplitude, float rise, float sn, std::int16_t polarity, int channel) {
  if (channel < 0 || channel >= static_cast<int>(m_pPickTime.size())) return;
  const int rate = m_pHeader->nRate;
  m_pPickTime[channel] = rate != 0 ? static_cast<float>(sample) / rate : 0.0f;
  m_pPickAmp[channel] = amplitude;
  m_pPickRise[channel] = rise;
  m_pPickSN[channel] = sn < 50.0f ? sn : 50.0f;
  m_pPolarity[channel] = polarity;
}

void CAEWave::SetPicks(const float times[], const float amplitudes[], const float rises[], const float sn[],
                       const std::int8_t polarities[], const std::int8_t sensors[], int n) {
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
  if (channels <= 0 || n <= 0 || m_pSamples.size() < static_cast<std::size_t>(channels) * n) return false;
  int noisy = 0, alive = 0;
  for (int c = 0; c < channels; ++c) {
    const std::int16_t* x = m_pSamples.data() + static_cast<std::size_t>(c) * n;
    int lo = 32767, hi = -32768;
    bool any = false;
    for (int k = 0; k < 0.05 * n; ++k) {
      lo = std::min<int>(lo, x[k]);
      hi = std::max<int>(hi, x[k]);
      any = true;
    }
    const int noise = any ? hi - lo : -60000;
    lo = 32767;
    hi = -32768;
    any = false;
    for (int k = static_cast<int>(0.2 * n); k < 0.95 * n; ++k) {
      lo = std::min<int>(lo, x[k]);
      hi = std::max<int>(hi, x[k]);
      any = true;
    }
    const int signal = any ? hi - lo : 0;
    if (signal >= 20) ++alive;
    if (signal < 2 * noise) ++noisy;
  }
  return noisy < channels / 2 && alive > channels / 4;
}

float CAEWave::PeakToPeak(int channel) const {
  const int channels = GetNumChannels();
  const int n = m_pHeader->nSamples;
  if (channel < 0 || channel >= channels || n <= 0 || m_pSamples.size() < static_cast<std::size_t>(channels) * n)
    return static_cast<float>(m_pHeader->nMax - m_pHeader->nMin);
  auto first = m_pSamples.begin() + static_cast<std::ptrdiff_t>(channel) * n;
  auto [lo, hi] = std::minmax_element(first, first + n);
  return static_cast<float>(*hi - *lo);
}

float CAEWave::NoiseSum(int channel) const {
  const int channels = GetNumChannels();
  const int n = m_pHeader->nSamples;
  if (channel < 0 || channel >= channels || m_pSamples.size() < static_cast<std::size_t>(channels) * n) return 0.0f;
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
  if (channel < 0 || channel >= channels || n < 200 || m_pSamples.size() < static_cast<std::size_t>(channels) * n)
    return false;
  const std::int16_t* x = m_pSamples.data() + static_cast<std::size_t>(channel) * n;
  int peak = -32768;
  for (int k = std::max(index, 0); k < std::min(index + 20, n); ++k) peak = std::max<int>(peak, x[k]);
  long head = 0, tail = 0;
  for (int k = 0; k < 200; ++k) {
    head += std::abs(x[k]);
    tail += std::abs(x[n - 200 + k]);
  }
  return peak > 20000 && head / 200 < 1000 && tail / 200 < 3000;
}
