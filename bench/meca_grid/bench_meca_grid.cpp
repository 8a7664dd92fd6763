// Times the first-motion misfit grid that the mean-mechanism plot searches (72 strikes x
// 36 dips x 72 rakes) for the first motions of 1,000, 10,000 and 100,000 events of 16
// sensors each (16,000 to 1,600,000 rays), on every thread and on one thread. Targets:
// the time grows at most as (events)^1.1 from 1,000 to 100,000 events, and 1,000 events
// take under 500 ms on one thread too. Every time is the median of three repetitions run
// interleaved. The output is checked: the grid of 1,000 events equals the exhaustive
// fill cell for cell, and the grid of every size has its minimum at the mechanism the
// polarities were made from.
//
//   bench_meca_grid [benchmark options]
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/numerics/KZ_MecaFit.h"
#include "common/RatioReporter.h"

namespace {

constexpr int kSensors = 16;
constexpr std::size_t kCells = 72 * 36 * 72;
constexpr double kStrike = 30, kDip = 60, kRake = -90;  // a normal fault

// P first motions of `events` events, each seen by 16 sensors at random take-off angles
// and azimuths, with the polarities of the fault above and one in twenty flipped.
std::vector<KZ_MecaStation> FirstMotions(int events) {
  double M[9];
  MomentTensorFromAngles(0, 0, kStrike, kDip, kRake, M);
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> az(0, 360), cosTo(-1, 1), u(0, 1);
  std::vector<KZ_MecaStation> st(static_cast<std::size_t>(events) * kSensors);
  for (KZ_MecaStation& s : st) {
    const double a = az(rng), to = std::acos(cosTo(rng)) * 180 / 3.14159265358979323846;
    const double p = RadiationAmplitude(M, to, a, 1);
    const double pol = (p > 0 ? 1 : -1) * (u(rng) < 0.05 ? -1 : 1);
    std::strncpy(s.m_cCode, "P", 4);
    s.m_fAzimuth = static_cast<float>(a);
    s.m_fTakeoff = static_cast<float>(to);
    s.m_fAmp = static_cast<float>(pol);
    s.m_fPolarity = static_cast<float>(pol);
  }
  return st;
}

std::map<int, std::vector<KZ_MecaStation>>& Sets() {
  static std::map<int, std::vector<KZ_MecaStation>> sets;
  return sets;
}

void BM_MisfitGrid(benchmark::State& state) {
  const int events = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const std::vector<KZ_MecaStation>& st = Sets()[events];
  std::vector<double> grid(kCells);
  const int before = omp_get_max_threads();
  if (threads > 0) omp_set_num_threads(threads);
  for (auto _ : state) {
    KZ_MecaMisfitGrid(st.data(), static_cast<int>(st.size()), 0.0f, grid.data(), false);
    benchmark::DoNotOptimize(grid.data());
  }
  omp_set_num_threads(before);
}

// Where the grid is smallest, as strike, dip and rake in degrees.
void Minimum(const std::vector<double>& grid, double out[3]) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < grid.size(); ++i)
    if (grid[i] < grid[best]) best = i;
  out[0] = static_cast<double>(best / (36 * 72)) * 5.0;
  out[1] = static_cast<double>(best / 72 % 36) * 2.5;
  out[2] = static_cast<double>(best % 72) * 5.0;
}

void CheckOutputs() {
  std::vector<double> fast(kCells), exhaustive(kCells);
  for (auto& [events, st] : Sets()) {
    KZ_MecaMisfitGrid(st.data(), static_cast<int>(st.size()), 0.0f, fast.data(), false);
    double at[3];
    Minimum(fast, at);
    // The mechanism or its auxiliary plane (strike 210, dip 30, rake -90).
    double M[9], F[9], d = 0;
    MomentTensorFromAngles(0, 0, kStrike, kDip, kRake, M);
    MomentTensorFromAngles(0, 0, at[0], at[1], at[2], F);
    for (int i = 0; i < 9; ++i) d += (M[i] - F[i]) * (M[i] - F[i]);
    char detail[160];
    std::snprintf(detail, sizeof detail, "minimum at %g/%g/%g, tensor distance %.3f", at[0],
                  at[1], at[2], std::sqrt(d));
    tv_bench::Check(std::sqrt(d) < 0.2,
                    "grid minimum at the source mechanism, " + std::to_string(events) + " events",
                    detail);
    if (events != 1000) continue;
    KZ_MecaMisfitGrid(st.data(), static_cast<int>(st.size()), 0.0f, exhaustive.data(), true);
    std::size_t differ = 0;
    for (std::size_t i = 0; i < kCells; ++i) differ += fast[i] != exhaustive[i];
    tv_bench::Check(differ == 0, "grid of 1,000 events equals the exhaustive grid",
                    std::to_string(differ) + " of " + std::to_string(kCells) + " cells differ");
  }
}

}  // namespace

BENCHMARK(BM_MisfitGrid)
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Args({1000, 1})
    ->ArgNames({"events", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char** argv) {
  tv_bench::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (int events : {1000, 10000, 100000}) Sets()[events] = FirstMotions(events);
  CheckOutputs();
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const int threads = omp_get_max_threads();
  auto at = [&](int events, int t) {
    return reporter.Seconds("BM_MisfitGrid/events:" + std::to_string(events) +
                            "/threads:" + std::to_string(t));
  };
  std::printf("\nthreads: %d (threads:0 rows), 1 (threads:1 row)\n", threads);
  const double t1 = at(1000, 0), t100 = at(100000, 0);
  if (t1 > 0 && t100 > 0) {
    const double exponent = std::log(t100 / t1) / std::log(100.0);
    std::printf("goal growth from 1,000 to 100,000 events on %d threads: exponent %.2f "
                "(limit 1.1): %s\n",
                threads, exponent, exponent <= 1.1 ? "met" : "missed");
  } else {
    std::printf("goal growth from 1,000 to 100,000 events: not measured\n");
  }
  tv_bench::Goal("1,000 events on " + std::to_string(threads) + " threads under 500 ms",
                 at(1000, 0), 0.5);
  tv_bench::Goal("1,000 events on one thread under 500 ms", at(1000, 1), 0.5);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
