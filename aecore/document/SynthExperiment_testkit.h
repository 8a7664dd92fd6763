// Test kit: a synthetic AE experiment written to disk the way the acquisition leaves it:
// a parameter file for 16 sensors on a 50 mm cube and numbered event files whose channels
// carry a P onset (a damped 0.3 MHz wavelet) at the straight-ray arrival of a known source,
// on Gaussian noise.
#pragma once
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "aecore/waveform/AEWave.h"
#include "base/numerics/KZ_MecaFit.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace synth {

constexpr int kSensors = 16;
constexpr int kRate = 20;  // samples per microsecond
constexpr int kSamples = 2048;
constexpr double kFreq = 0.3;  // MHz

inline const double (&SensorPositions())[kSensors][3] {
  static const double pos[kSensors][3] = {
      {-25, -10, 10}, {-25, 12, -15}, {25, 8, 12},  {25, -14, -9}, {-8, -25, 14}, {11, -25, -12},
      {9, 25, 15},    {-13, 25, -8},  {-10, 8, 25}, {12, -9, 25},  {0, 14, 25},   {-11, -12, -25},
      {13, 10, -25},  {2, -15, -25},  {-25, 0, -2}, {25, 3, 1}};
  return pos;
}

struct Source {
  double x, y, z;
  double t0 = 25.0;  // origin time, microseconds after the first sample
  double amp = 3e5;  // amplitude at 1 mm
  unsigned seed = 1;
  int liveChannels = kSensors;  // channels after these are flat
  // With a double couple (degrees, in the frame x = the specimen's y, y = its x, z down)
  // each channel's wavelet carries the P radiation of its ray; otherwise a fixed pattern.
  bool doubleCouple = false;
  double strike = 0, dip = 0, rake = 0;
};

// P radiation of the source's double couple along the ray from the source to sensor k.
inline double Radiation(const Source& s, int k) {
  double M[9];
  MomentTensorFromAngles(0, 0, s.strike, s.dip, s.rake, M);
  const double* p = SensorPositions()[k];
  double r[3] = {p[1] - s.y, p[0] - s.x, -(p[2] - s.z)};
  double n = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
  double R = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) R += r[i] / n * M[3 * i + j] * r[j] / n;
  return R;
}

struct Experiment {
  std::string dir;
  std::string name = "SYN";
  double vx = 5.0, vy = 5.0, vz = 5.0;  // mm/us
  std::string options;                  // further option sections of the parameter file

  std::string PadPath() const { return dir + "/" + name + ".pad"; }
  std::string EventPath(int i) const {
    return plat::Format("%s/%s.%02d/%06d.WAV", dir.c_str(), name.c_str(), i / 1000, i);
  }

  void WritePad() const {
    std::ofstream f(PadPath());
    f << "Synthetic cube\nline 2\nline 3\n0\n2048\n0\n"
      << kSensors << " 0 0\n50 50 50 4 CUBE\n0 0 0\n";
    for (int k = 0; k < kSensors; ++k) {
      const double* p = SensorPositions()[k];
      f << k + 1 << " " << p[0] << " " << p[1] << " " << p[2] << " 1.0 +S" << k
        << " gain=1.83e-6\n";
    }
    f << "1\n1 0 " << vz << " " << vx << " " << vy << "\nX=1 Y=1 Z=1\n";
    f << "PEAK=2020/01/01 10:00:00\nREF=2020/01/01 10:00:00\nEND=2020/01/01 12:30:00\nskipped\n";
    f << "<LOC_OPT\nSN_MIN=2.0001\n</LOC_OPT>\n" << options << "END\n";
  }

  // Straight-ray travel time with the three velocities (elliptical wave front).
  double TravelTime(const Source& s, int k) const {
    const double* p = SensorPositions()[k];
    double d[3] = {s.x - p[0], s.y - p[1], s.z - p[2]};
    double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    return r2 / std::sqrt(vx * vx * d[0] * d[0] + vy * vy * d[1] * d[1] + vz * vz * d[2] * d[2]);
  }

  void WriteEvent(int i, const Source& s) const {
    CAEWave w;
    w.SetFileSet(name, dir, i, 0);
    w.Allocate(kSensors, kSamples, kRate);
    AEWHeader& h = *w.m_pHeader;
    h.nYear = 2020;
    h.nMonth = 1;
    h.nDay = 1;
    h.nHour = 10;
    h.nMinute = i / 60;
    h.nSecond = i % 60;
    h.nSec = i;
    h.nUsec = 0;
    std::mt19937 rng(s.seed * 7919u + static_cast<unsigned>(i));
    std::normal_distribution<double> noise(0.0, 8.0);
    for (int k = 0; k < kSensors; ++k) {
      const double* p = SensorPositions()[k];
      double dist = std::sqrt((s.x - p[0]) * (s.x - p[0]) + (s.y - p[1]) * (s.y - p[1]) +
                              (s.z - p[2]) * (s.z - p[2]));
      double ta = s.t0 + TravelTime(s, k);
      double pol = s.doubleCouple ? Radiation(s, k) : (k % 3 == 0) ? -1.0 : 1.0;
      std::int16_t* x = w.m_pSamples.data() + static_cast<std::size_t>(k) * kSamples;
      for (int n = 0; n < kSamples; ++n) {
        double v = noise(rng);
        if (k < s.liveChannels) {
          double tau = n / static_cast<double>(kRate) - ta;
          if (tau >= 0)
            v += pol * s.amp / dist * std::exp(-tau / 4.0) * std::sin(2 * M_PI * kFreq * tau);
        } else {
          v = 0;
        }
        x[n] = static_cast<std::int16_t>(std::lround(std::clamp(v, -32000.0, 32000.0)));
      }
    }
    w.UpdateRange();
    w.SaveNumbered(i, 0);
  }
};

}  // namespace synth
