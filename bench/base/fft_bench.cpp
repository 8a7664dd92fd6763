// KZ_FFT and KZ_RealFFT against FFTW with FFTW_ESTIMATE plans, 1024 to 65536 points.
// Both sides transform a fresh copy of the same input every iteration.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "RatioReporter.h"
#include "base/numerics/KZ_FFT.h"

namespace {

std::vector<double> Input(std::size_t n) {
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = std::sin(0.37 * i) + 0.25 * std::cos(1.3 * i);
  return v;
}

void BM_KZ_FFT(benchmark::State& state) {
  const int nn = static_cast<int>(state.range(0));
  const auto in = Input(2 * static_cast<std::size_t>(nn));
  std::vector<double> data(in.size());
  for (auto _ : state) {
    std::memcpy(data.data(), in.data(), in.size() * sizeof(double));
    KZ_FFT(data.data(), nn, 1);
    benchmark::DoNotOptimize(data.data());
  }
}

void BM_FFTW_complex(benchmark::State& state) {
  const int nn = static_cast<int>(state.range(0));
  const auto in = Input(2 * static_cast<std::size_t>(nn));
  fftw_complex* buf = fftw_alloc_complex(nn);
  fftw_plan plan =
      fftw_plan_dft_1d(nn, buf, buf, FFTW_BACKWARD, FFTW_ESTIMATE);  // sign +1, as KZ_FFT(+1)
  for (auto _ : state) {
    std::memcpy(buf, in.data(), in.size() * sizeof(double));
    fftw_execute(plan);
    benchmark::DoNotOptimize(buf);
  }
  fftw_destroy_plan(plan);
  fftw_free(buf);
}

void BM_KZ_RealFFT(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));  // real samples
  const auto in = Input(static_cast<std::size_t>(n));
  std::vector<double> data(in.size());
  for (auto _ : state) {
    std::memcpy(data.data(), in.data(), in.size() * sizeof(double));
    KZ_RealFFT(data.data(), n / 2, 1);
    benchmark::DoNotOptimize(data.data());
  }
}

void BM_FFTW_real(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto in = Input(static_cast<std::size_t>(n));
  double* rin = fftw_alloc_real(n);
  fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, rin, out, FFTW_ESTIMATE);
  for (auto _ : state) {
    std::memcpy(rin, in.data(), in.size() * sizeof(double));
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  fftw_destroy_plan(plan);
  fftw_free(rin);
  fftw_free(out);
}

}  // namespace

BENCHMARK(BM_KZ_FFT)->RangeMultiplier(2)->Range(1024, 65536);
BENCHMARK(BM_FFTW_complex)->RangeMultiplier(2)->Range(1024, 65536);
BENCHMARK(BM_KZ_RealFFT)->RangeMultiplier(2)->Range(1024, 65536);
BENCHMARK(BM_FFTW_real)->RangeMultiplier(2)->Range(1024, 65536);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nTime ratio KZ / FFTW (estimate plans):\n%8s %10s %10s\n", "points", "complex",
              "real");
  for (int n = 1024; n <= 65536; n *= 2) {
    const std::string s = std::to_string(n);
    const double c = reporter.Seconds("BM_FFTW_complex/" + s);
    const double r = reporter.Seconds("BM_FFTW_real/" + s);
    std::printf("%8d %10.2f %10.2f\n", n, c > 0 ? reporter.Seconds("BM_KZ_FFT/" + s) / c : 0.0,
                r > 0 ? reporter.Seconds("BM_KZ_RealFFT/" + s) / r : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}
