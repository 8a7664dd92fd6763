// Synthetic template-matching experiments for the tests: SEG-2 event files on a 50 mm
// cube with 16 sensors, each holding copies of template events whose sources are moved
// by known displacements, scaled by known factors and placed at known times, with noise.
// Every template has its own waveform per station (a damped two-tone wavelet with
// template- and station-dependent frequencies and phases), so templates hardly resemble
// each other and a copy is recognised by its template only. The waveform is a function of
// continuous time, so onsets fall between samples as real ones do.
#pragma once
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "aecore/waveform/KZ_WaveData.h"

namespace tmsynth {

constexpr int kSensors = 16;
constexpr double kV = 5.5;   // mm/us, isotropic
constexpr double kDt = 0.2;  // us (5 MHz)

inline const double (&Sensor(int k))[3] {
  static const double xyz[kSensors][3] = {
      {-25, -10, 8},  {-25, 12, -6}, {25, 9, 11},   {25, -11, -9}, {-8, -25, 12}, {10, -25, -7},
      {-12, 25, -10}, {7, 25, 9},    {-9, -8, 25},  {11, 10, 25},  {8, -12, -25}, {-10, 9, -25},
      {-25, 0, 0},    {25, 0, 0},    {0, -25, -15}, {0, 25, 15}};
  return xyz[k];
}

struct Template {
  int number = 1;                          // event number (file name)
  double x = 0, y = 0, z = 0, t0 = 100.0;  // source (mm) and origin time (us)
  double mw = -1.5;
  double f1[kSensors], f2[kSensors], ph[kSensors], amp[kSensors];
};

struct Copy {
  int tpl = 0;                    // index of the template
  double dx = 0, dy = 0, dz = 0;  // source displacement, mm
  double t0 = 100.0;              // origin time in the record, us
  double scale = 1.0;
};

inline double Distance(double x, double y, double z, int k) {
  const double* s = Sensor(k);
  return std::sqrt((s[0] - x) * (s[0] - x) + (s[1] - y) * (s[1] - y) + (s[2] - z) * (s[2] - z));
}

// Onset (us from the record start) of a copy at sensor k.
inline double Onset(const Template& t, const Copy& c, int k) {
  return c.t0 + Distance(t.x + c.dx, t.y + c.dy, t.z + c.dz, k) / kV;
}

// Pick of a sample series: the last sample before the onset.
inline int PickOf(double onset) { return static_cast<int>(std::floor(onset / kDt)); }

inline std::vector<Template> MakeTemplates(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Template> out;
  for (int i = 0; i < n; ++i) {
    Template t;
    t.number = i + 1;
    t.x = -8 + 16 * u(rng);
    t.y = -8 + 16 * u(rng);
    t.z = -8 + 16 * u(rng);
    t.mw = -2.0 + 0.2 * i;
    for (int k = 0; k < kSensors; ++k) {
      t.f1[k] = 0.18 + 0.25 * u(rng);
      t.f2[k] = 0.35 + 0.4 * u(rng);
      t.ph[k] = 6.283185307 * u(rng);
      t.amp[k] = (u(rng) < 0.5 ? -1.0 : 1.0) * (600 + 800 * u(rng));
    }
    out.push_back(t);
  }
  return out;
}

// Wavelet of template t at sensor k, tau us after the onset.
inline double Wavelet(const Template& t, int k, double tau) {
  if (tau <= 0.0) return 0.0;
  const double env = (1.0 - std::exp(-tau / 0.4)) * std::exp(-tau / 3.0);
  return t.amp[k] * env *
         (std::sin(6.283185307 * t.f1[k] * tau + t.ph[k]) * 0.7 +
          std::sin(6.283185307 * t.f2[k] * tau + 0.5 * t.ph[k]) * 0.3 + 0.6);
}

// A record of n samples per channel holding the copies plus Gaussian noise; samples are
// whole counts, as a 16-bit file keeps them.
inline void FillRecord(KZ_WaveData& w, const std::vector<Template>& tpl,
                       const std::vector<Copy>& copies, int n, double noise, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0.0, noise);
  w.Clear(false);
  KZ_ResetWaveHeader(w.m_header);
  std::strcpy(w.m_header.szDate, "2026/12/10");
  std::strcpy(w.m_header.szTime, "03:20:05");
  std::strcpy(w.m_header.szTimeUnits, "Time(usec)");
  std::strcpy(w.m_header.szNote, "Vx=5.50 Vy=5.50 Vz=5.50");
  for (int k = 0; k < kSensors; ++k) {
    auto tr = std::make_unique<KZ_WaveTrace>(n);
    tr->m_fInterval = kDt;
    tr->m_nChannel = static_cast<std::int16_t>(k);
    for (int a = 0; a < 3; ++a) tr->m_fReceiver[a] = Sensor(k)[a];
    for (int i = 0; i < n; ++i) {
      double v = g(rng);
      for (const Copy& c : copies)
        v += c.scale * Wavelet(tpl[static_cast<std::size_t>(c.tpl)], k,
                               i * kDt - Onset(tpl[static_cast<std::size_t>(c.tpl)], c, k));
      tr->m_pData[static_cast<std::size_t>(i)] = static_cast<float>(std::round(v));
    }
    tr->m_fDescale = 1.0;
    w.AddTrace(std::move(tr));
  }
}

// A template event file: its own copy at its source, picks at the onsets, ranks in the
// trace notes (the first `located` stations were used by its location) and its
// description in COMMENTS.
inline void FillTemplate(KZ_WaveData& w, const Template& t, int n, int located, double noise,
                         unsigned seed) {
  Copy own;
  own.t0 = t.t0;
  FillRecord(w, {t}, {own}, n, noise, seed);
  char text[256];
  std::snprintf(text, sizeof text,
                "AE#=%d, Mw=%.2f, Fc=0.3000, x=%.2f, y=%.2f, z=%.2f, t0=%.2f, M=%02d, type=1",
                t.number, t.mw, t.x, t.y, t.z, t.t0, located);
  KZ_CopyText(w.m_header.szComments, text);
  for (int k = 0; k < kSensors; ++k) {
    KZ_WaveTrace& tr = *w.GetTrace(k);
    tr.m_nPick = PickOf(Onset(t, own, k));
    tr.m_fSNR = 20.0;
    tr.m_nPolarity = static_cast<std::int16_t>(t.amp[k] > 0 ? 1 : -1);
    tr.m_fSource[0] = t.x;
    tr.m_fSource[1] = t.y;
    tr.m_fSource[2] = t.z;
    std::snprintf(text, sizeof text, "loc_ind=%02d", k);
    KZ_CopyText(tr.m_szNote, text);
  }
}

}  // namespace tmsynth
