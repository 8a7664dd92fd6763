// The laboratory loading test: a cube loaded at a constant rate to failure at 11:30 (5400 s
// after the reference time), then sliding on the fault it made until the end at 12:00.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/File.h"
#include "tools/synth/SynthLab.h"

namespace synthcube {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStep = 0.5;  // s: the grid on which the event rate is integrated
constexpr double kPeakStress = 45.0, kResidualStress = 18.0;  // MPa (a sandstone)
constexpr double kModulus = 60000.0;                            // MPa
constexpr int kPeaks = 6000;

// AE rate (arbitrary units) at t: a steady background plus an inverse-Omori acceleration
// towards failure, an Omori decay after it.
double Rate(double t) {
  if (t < kLabFailure) return 0.0005 + 1.0 / (kLabFailure - t + 30.0);
  return 0.6 / (t - kLabFailure + 10.0);
}

// Times of n events drawn from the rate, in increasing order, none before 1 s.
std::vector<double> DrawTimes(int n, Random& rnd) {
  const int cells = static_cast<int>(kLabDuration / kStep);
  std::vector<double> cdf(cells + 1, 0.0);
  for (int i = 0; i < cells; ++i) cdf[i + 1] = cdf[i] + Rate((i + 0.5) * kStep) * kStep;
  std::vector<double> times(n);
  for (double& t : times) {
    const double u = rnd.Uniform() * cdf.back();
    const int i = static_cast<int>(std::upper_bound(cdf.begin(), cdf.end(), u) - cdf.begin()) - 1;
    const int c = std::clamp(i, 0, cells - 1);
    const double w = cdf[c + 1] - cdf[c];
    t = (c + (w > 0 ? (u - cdf[c]) / w : 0.5)) * kStep;
    t = std::max(t, 1.0);
  }
  std::sort(times.begin(), times.end());
  return times;
}

// b-value of the test at t: falling towards failure, about 1 afterwards.
double BValue(double t) { return t < kLabFailure ? 1.2 - 0.4 * t / kLabFailure : 1.0; }

// Magnitude above the smallest of a Gutenberg-Richter distribution with slope b,
// truncated at `most`.
double DrawMagnitude(double b, double most, Random& rnd) {
  const double top = 1.0 - std::pow(10.0, -b * most);
  return -std::log10(1.0 - rnd.Uniform() * top) / b;
}

// Unit vectors of the fault plane in the specimen frame (z up): its normal, along strike
// and down dip, from the north-east-down angles the mechanism fit reports in.
struct Plane {
  double n[3], s[3], d[3];
  Plane() {
    const double f = kLabStrike * kPi / 180, dip = kLabDip * kPi / 180;
    const double nNed[3] = {-std::sin(dip) * std::sin(f), std::sin(dip) * std::cos(f),
                            -std::cos(dip)};
    const double sNed[3] = {std::cos(f), std::sin(f), 0.0};
    n[0] = nNed[1], n[1] = nNed[0], n[2] = -nNed[2];
    s[0] = sNed[1], s[1] = sNed[0], s[2] = -sNed[2];
    d[0] = n[1] * s[2] - n[2] * s[1];
    d[1] = n[2] * s[0] - n[0] * s[2];
    d[2] = n[0] * s[1] - n[1] * s[0];
  }
};

// Stress (MPa) and axial and circumferential strain (1e-6, compression positive) at t.
void Loading(double t, double* stress, double* axial, double* circ) {
  auto before = [](double u, double* sg, double* ea, double* ec) {
    const double x = std::clamp(u / kLabFailure, 0.0, 1.0);
    *sg = kPeakStress * (1.0 - (1.0 - x) * (1.0 - x));
    *ea = *sg / kModulus * 1e6 + 1200.0 * std::pow(x, 6);
    *ec = -0.22 * *sg / kModulus * 1e6 - 2000.0 * std::pow(x, 5);
  };
  if (t <= kLabFailure) return before(t, stress, axial, circ);
  double sp, ap, cp;
  before(kLabFailure, &sp, &ap, &cp);
  const double dt = t - kLabFailure;
  *stress = kResidualStress + (kPeakStress - kResidualStress) * std::exp(-dt / 20.0);
  const double slip = 1.0 - std::exp(-dt / 100.0);
  *axial = ap + (*stress - kPeakStress) / kModulus * 1e6 + 3000.0 * slip;
  *circ = cp - 0.22 * (*stress - kPeakStress) / kModulus * 1e6 - 2500.0 * slip;
}

}  // namespace

std::vector<Source> LabSources(int events, Random& rnd) {
  const Plane plane;
  const std::vector<double> times = DrawTimes(events, rnd);
  const double nucleus[2] = {6.0, -4.0};  // mm along strike and down dip
  std::vector<Source> list;
  for (double t : times) {
    Source e{};
    e.time = t;
    const double x = std::min(t / kLabFailure, 1.0);
    const bool onFault = rnd.Uniform() < (t < kLabFailure ? 0.35 + 0.55 * x : 0.85);
    if (onFault) {
      double u, v;
      if (t < kLabFailure && rnd.Uniform() < 0.5 * x * x) {  // the nucleation patch
        u = nucleus[0] + 3.0 * rnd.Gauss();
        v = nucleus[1] + 3.0 * rnd.Gauss();
      } else {
        const double r = 17.0 * std::sqrt(rnd.Uniform()), a = rnd.Uniform(0, 2 * kPi);
        u = r * std::cos(a);
        v = r * std::sin(a);
      }
      const double w = 0.8 * rnd.Gauss();
      e.x = u * plane.s[0] + v * plane.d[0] + w * plane.n[0];
      e.y = u * plane.s[1] + v * plane.d[1] + w * plane.n[1];
      e.z = u * plane.s[2] + v * plane.d[2] + w * plane.n[2];
      e.strike = kLabStrike + 4.0 * rnd.Gauss();
      e.dip = std::clamp(kLabDip + 4.0 * rnd.Gauss(), 10.0, 90.0);
      e.rake = -90.0 + 10.0 * rnd.Gauss();
    } else {
      ScatterInSphere(e, rnd);
      e.strike = rnd.Uniform(0, 360);
      e.dip = rnd.Uniform(20, 90);
      e.rake = rnd.Uniform(-180, 180);
    }
    e.dM = DrawMagnitude(BValue(t), 1.4, rnd);
    e.factor = 0.2 * std::pow(10.0, e.dM);
    e.fc = kLabCornerTop * std::pow(10.0, -e.dM / 2);
    e.t0 = std::floor(rnd.Uniform(20, 30)) + rnd.Uniform(0.01, 0.09);  // between samples
    list.push_back(e);
  }
  return list;
}

bool WriteLabSideFiles(const std::string& folder, const std::string& name, std::uint64_t seed) {
  Random rnd(seed + 1);
  // Stress and strain every 20 s from 10:00:00; gauges in pairs (axial, circumferential),
  // each reading 20000 plus its strain with a gain of its own and 2 units of noise.
  {
    plat::File f;
    if (!f.Open(folder + "/" + name + ".STS", "wt")) return false;
    f.Printf("[BASE TIME]26/12/10 10:00:00\n");
    double gain[12];
    for (double& g : gain) g = 1.0 + 0.05 * rnd.Gauss();
    for (int r = 0; r * 20.0 <= kLabDuration; ++r) {
      const int t = 20 * r;
      double stress, axial, circ;
      Loading(t, &stress, &axial, &circ);
      const int clock = 10 * 3600 + t;
      f.Printf("%02d:%02d:%02d %.2f %.1f", clock / 3600, clock / 60 % 60, clock % 60,
               stress * 10.0 / 5.0929460525512695, 100.0);
      for (int k = 0; k < 12; ++k)
        f.Printf(" %.1f", 20000.0 + gain[k] * (k % 2 == 0 ? axial : circ) + 2.0 * rnd.Gauss());
      f.Printf("\n");
    }
    if (!f.Flush()) return false;
  }
  // The peaks of the continuous record: the same history, magnitudes in quarter units.
  plat::File f;
  if (!f.Open(folder + "/" + name + ".PK1", "wb")) return false;
  const std::vector<double> times = DrawTimes(kPeaks, rnd);
  std::vector<std::uint8_t> bytes = {'P', 'K', 'F', '1'};
  auto put32 = [&](std::int32_t v) {
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<std::uint8_t>((v >> (8 * b)) & 0xFF));
  };
  put32(kPeaks);
  for (double t : times) {
    const double m = DrawMagnitude(BValue(t), 3.9, rnd);
    bytes.push_back(static_cast<std::uint8_t>(std::floor(4.0 * m)));
    const auto seconds = static_cast<std::int32_t>(t);
    put32(seconds);
    put32(static_cast<std::int32_t>((t - seconds) * 1e6));
  }
  return f.Write(bytes.data(), bytes.size()) && f.Flush();
}

}  // namespace synthcube
