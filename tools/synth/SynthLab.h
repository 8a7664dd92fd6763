// What the generator's designs share: a random source whose sequence is the same on every
// system, and the laboratory test's own design (SynthLab.cpp).
#pragma once
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/synth/SynthCube.h"

namespace synthcube {

// Uniform deviates from a generator whose sequence the C++ standard fixes, so the
// experiment is the same on every system.
class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  double Uniform() { return (engine_() >> 11) * (1.0 / 9007199254740992.0); }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  double Gauss() {
    if (spare_) {
      spare_ = false;
      return kept_;
    }
    double u, v, s;
    do {
      u = 2 * Uniform() - 1;
      v = 2 * Uniform() - 1;
      s = u * u + v * v;
    } while (s >= 1 || s == 0);
    const double f = std::sqrt(-2 * std::log(s) / s);
    kept_ = v * f;
    spare_ = true;
    return u * f;
  }

 private:
  std::mt19937_64 engine_;
  bool spare_ = false;
  double kept_ = 0;
};

// A source position drawn uniformly within 20 mm of the cube's centre.
inline void ScatterInSphere(Source& e, Random& rnd) {
  do {
    e.x = rnd.Uniform(-20, 20);
    e.y = rnd.Uniform(-20, 20);
    e.z = rnd.Uniform(-20, 20);
  } while (e.x * e.x + e.y * e.y + e.z * e.z > 400);
}

// The laboratory test's sources in time order: times from a rate that accelerates
// towards failure and decays after it, positions mostly on the fault plane (more so as
// failure nears), Gutenberg-Richter magnitudes whose b falls from 1.2 to 0.8 towards
// failure and is 1.0 after it, normal-fault mechanisms on the plane, random ones off it.
std::vector<Source> LabSources(int events, Random& rnd);

// The stress-strain record (<name>.STS, one row every 20 s) and the continuous record's
// AE peak list (<name>.PK1, binary "PKF1") of the laboratory test; false when a file
// cannot be written.
bool WriteLabSideFiles(const std::string& folder, const std::string& name, std::uint64_t seed);

}  // namespace synthcube
