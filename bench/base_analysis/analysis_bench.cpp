// Times of the singular spectrum analysis of 4000 samples with window 100 (goal: under
// 0.2 s) and of the Monte-Carlo time-to-failure fit with 100 runs on 1000 points (goal:
// under 3 s), on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "base/numerics/KZ_ModelFunctions.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/series/KZ_PointProc_CPB.h"
#include "base/series/KZ_SSA.h"
#include "common/RatioReporter.h"

namespace {

std::vector<float> Series(int n) {
  std::vector<float> x(n);
  unsigned s = 12345;
  for (int i = 0; i < n; ++i) {
    s = s * 1103515245u + 12345u;
    const double noise = ((s >> 16) & 0x7fff) / 32768.0 - 0.5;
    x[i] = static_cast<float>(2.0 + std::sin(0.05 * i) + 0.5 * std::sin(0.31 * i) + 0.2 * noise);
  }
  return x;
}

void BM_SSA(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> x = Series(n);
  for (auto _ : state) {
    KZ_SSA ssa;
    KZ_MultiVarObj table;
    int m = 100;
    ssa.Analyse(x.data(), n, &m, &table, 0);  // with the weighted correlations
    benchmark::DoNotOptimize(table.m_ppData[2][0]);
  }
}

void BM_FitRGS(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<double> T(n), E(n);
  double p[6] = {0, 0.03, 0.12, -5.5, 0.75, 3.2};
  for (int i = 0; i < n; ++i) {
    T[i] = 95.0 * i / (n - 1);
    p[0] = (100.0 - T[i]) / 100.0;
    E[i] = KZ_LogPeriodicModelC(p);
  }
  for (auto _ : state) {
    KZ_PointProc_CPB cpb;
    KZ_MultiVarObj out;
    benchmark::DoNotOptimize(cpb.FitRGS(T.data(), E.data(), n, 90.0, &out, 100, -1.0f));
  }
}

}  // namespace

BENCHMARK(BM_SSA)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FitRGS)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv) {
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double ssa = reporter.Seconds("BM_SSA/4000"), rgs = reporter.Seconds("BM_FitRGS/1000");
  tv_bench::Goal("SSA of 4000 samples, M = 100, under 0.2 s", ssa, 0.2);
  tv_bench::Goal("FitRGS with nMC = 100 on 1000 points under 3 s", rgs, 3.0);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
