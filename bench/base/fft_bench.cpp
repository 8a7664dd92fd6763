// KZ_FFT and KZ_RealFFT against FFTW with FFTW_ESTIMATE plans, 1024 to 65536 points.
// Both sides transform a fresh copy of the same input every iteration; before timing, the
// two spectra of every size are checked against each other.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/numerics/KZ_FFT.h"
#include "common/RatioReporter.h"
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

// Largest difference between our spectrum and FFTW's over the largest magnitude. KZ_FFT(+1)
// and FFTW_BACKWARD share the sign exp(+2 pi i j k / n); FFTW's r2c uses exp(-...), so the
// packed real spectrum of KZ_RealFFT(+1) is its complex conjugate.
double ComplexMismatch(int nn) {
  const auto in = Input(2 * static_cast<std::size_t>(nn));
  std::vector<double> ours = in;
  KZ_FFT(ours.data(), nn, 1);
  fftw_complex* buf = fftw_alloc_complex(nn);
  fftw_plan plan = fftw_plan_dft_1d(nn, buf, buf, FFTW_BACKWARD, FFTW_ESTIMATE);
  std::memcpy(buf, in.data(), in.size() * sizeof(double));
  fftw_execute(plan);
  double diff = 0.0, peak = 0.0;
  for (int k = 0; k < nn; ++k)
    for (int c = 0; c < 2; ++c) {
      diff = std::max(diff, std::fabs(ours[2 * k + c] - buf[k][c]));
      peak = std::max(peak, std::fabs(buf[k][c]));
    }
  fftw_destroy_plan(plan);
  fftw_free(buf);
  return diff / peak;
}

double RealMismatch(int n) {
  const auto in = Input(static_cast<std::size_t>(n));
  std::vector<double> ours = in;
  KZ_RealFFT(ours.data(), n / 2, 1);
  double* rin = fftw_alloc_real(n);
  fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, rin, out, FFTW_ESTIMATE);
  std::memcpy(rin, in.data(), in.size() * sizeof(double));
  fftw_execute(plan);
  double diff = std::max(std::fabs(ours[0] - out[0][0]), std::fabs(ours[1] - out[n / 2][0]));
  double peak = std::max(std::fabs(out[0][0]), std::fabs(out[n / 2][0]));
  for (int k = 1; k < n / 2; ++k) {
    diff = std::max(
        diff, std::max(std::fabs(ours[2 * k] - out[k][0]), std::fabs(ours[2 * k + 1] + out[k][1])));
    peak = std::max(peak, std::max(std::fabs(out[k][0]), std::fabs(out[k][1])));
  }
  fftw_destroy_plan(plan);
  fftw_free(rin);
  fftw_free(out);
  return diff / peak;
}

}  // namespace

BENCHMARK(BM_KZ_FFT)->RangeMultiplier(2)->Range(1024, 65536);
BENCHMARK(BM_FFTW_complex)->RangeMultiplier(2)->Range(1024, 65536);
BENCHMARK(BM_KZ_RealFFT)->RangeMultiplier(2)->Range(1024, 65536);
BENCHMARK(BM_FFTW_real)->RangeMultiplier(2)->Range(1024, 65536);

int main(int argc, char** argv) {
  tv_bench::Initialize(&argc, argv);
  double complexErr = 0.0, realErr = 0.0;
  for (int n = 1024; n <= 65536; n *= 2) {
    complexErr = std::max(complexErr, ComplexMismatch(n));
    realErr = std::max(realErr, RealMismatch(n));
  }
  char detail[96];
  std::snprintf(detail, sizeof detail, "largest difference %.2g of the peak, limit 1e-9",
                complexErr);
  tv_bench::Check(complexErr <= 1e-9, "complex spectra equal FFTW's", detail);
  // The real transform's twiddle recurrence keeps about seven significant digits.
  std::snprintf(detail, sizeof detail, "largest difference %.2g of the peak, limit 1e-6", realErr);
  tv_bench::Check(realErr <= 1e-6, "real spectra equal FFTW's", detail);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nKZ_FFT and KZ_RealFFT against FFTW (estimate plans):\n");
  for (int n = 1024; n <= 65536; n *= 2) {
    std::string s = "/";  // appended, not inserted: g++ 12 -O3 warns on the insert
    s += std::to_string(n);
    reporter.PrintRatio("complex " + std::to_string(n), "BM_KZ_FFT" + s, "BM_FFTW_complex" + s);
    reporter.PrintRatio("real " + std::to_string(n), "BM_KZ_RealFFT" + s, "BM_FFTW_real" + s);
  }
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
