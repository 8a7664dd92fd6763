// Times nml_d_lin_sol_gen against LAPACK's dgesv on the same systems (both factor and solve
// once per call), checks both solutions, and prints the ratio of the two times per order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/RatioReporter.h"
#include "numerics/further/nml_lin_sol_gen.h"

extern "C" void dgesv_(const int* n, const int* nrhs, double* a, const int* lda, int* ipiv,
                       double* b, const int* ldb, int* info);

namespace {

struct System {
  std::vector<double> a, b;  // a row-ordered
};

System MakeSystem(int n) {
  std::mt19937_64 gen(static_cast<unsigned long long>(n));
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  System s{std::vector<double>(static_cast<std::size_t>(n) * n), std::vector<double>(n)};
  for (auto& v : s.a) v = u(gen);
  for (auto& v : s.b) v = u(gen);
  return s;
}

void BM_nml_d_lin_sol_gen(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  System s = MakeSystem(n);
  std::vector<double> x(n);
  for (auto _ : state) {
    nml_d_lin_sol_gen(n, s.a.data(), s.b.data(), NML_RETURN_USER, x.data(), 0);
    benchmark::DoNotOptimize(x.data());
  }
}

void BM_dgesv(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const System s = MakeSystem(n);
  std::vector<double> a(s.a.size()), b(n);
  std::vector<int> ipiv(n);
  const int one = 1;
  int info = 0;
  for (auto _ : state) {
    // dgesv overwrites its matrix and right-hand side; ours restores a by transposing it
    // twice, so both pay a pass over the matrix.
    std::copy(s.a.begin(), s.a.end(), a.begin());
    std::copy(s.b.begin(), s.b.end(), b.begin());
    dgesv_(&n, &one, a.data(), &n, ipiv.data(), b.data(), &n, &info);
    benchmark::DoNotOptimize(b.data());
  }
}

BENCHMARK(BM_nml_d_lin_sol_gen)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_dgesv)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);

// Both solutions of A x = b (dgesv given trans(A) in column order, which is A) agree, and
// ours has a small backward error.
void CheckOutputs(int n) {
  System s = MakeSystem(n);
  std::vector<double> x(n);
  nml_d_lin_sol_gen(n, s.a.data(), s.b.data(), NML_RETURN_USER, x.data(), 0);
  std::vector<double> at(s.a.size()), y = s.b;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) at[static_cast<std::size_t>(j) * n + i] = s.a[i * n + j];
  std::vector<int> ipiv(n);
  const int one = 1;
  int info = 0;
  dgesv_(&n, &one, at.data(), &n, ipiv.data(), y.data(), &n, &info);
  double diff = 0, xmax = 0, res = 0, anorm = 0;
  for (int i = 0; i < n; ++i) {
    diff = std::max(diff, std::fabs(x[i] - y[i]));
    xmax = std::max(xmax, std::fabs(y[i]));
    double r = -s.b[i], row = 0;
    for (int j = 0; j < n; ++j) {
      r += s.a[i * n + j] * x[j];
      row += std::fabs(s.a[i * n + j]);
    }
    res = std::max(res, std::fabs(r));
    anorm = std::max(anorm, row);
  }
  const double backward = res / (anorm * xmax);
  char detail[160];
  std::snprintf(detail, sizeof detail,
                "info %d, largest difference %.2g of |x|, backward error %.2g (limit 10 n eps)",
                info, diff / xmax, backward);
  tv_bench::Check(info == 0 && backward <= 10 * n * 2.220446049250313e-16 && diff <= 1e-8 * xmax,
                  "solution equals dgesv's, n = " + std::to_string(n), detail);
}

}  // namespace

int main(int argc, char** argv) {
  nml_error_set_stop_fatal(0);
  tv_bench::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (int n : {200, 500}) CheckOutputs(n);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nnml_d_lin_sol_gen against dgesv (target: at most 2):\n");
  for (const char* n : {"200", "500"})
    tv_bench::RatioGoal(
        std::string("nml_d_lin_sol_gen at n = ") + n + " within 2x of dgesv",
        reporter.PrintRatio(std::string("n = ") + n, std::string("BM_nml_d_lin_sol_gen/") + n,
                            std::string("BM_dgesv/") + n),
        2.0);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
