// Times one fit of the NIST problem MGH17 (start 2, 33 observations, 5 parameters) with
// forward-difference Jacobians: nml_f_nonlin_least_squares against cminpack's lmdif on the
// same single-precision residual function, and prints the ratio of the two times. Both fits
// are checked to reach the certified minimum (RSS within 1e-3 of it). A small fit (NIST
// Misra1a, 14 observations, 2 parameters) is timed with the library's signal trap on and off:
// the trap's cost per call shows against a fit this short.
#include <benchmark/benchmark.h>
#include <cminpack-1/cminpack.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/RatioReporter.h"
#include "numerics/nml_nlsq.h"

namespace {

std::vector<float> g_x, g_y;
const float kStart[5] = {0.5f, 1.5f, -1.0f, 0.01f, 0.02f};

// The observations (y, x) of a NIST problem file, which start on line 61.
void LoadNist(const char* name, std::vector<float>* xs, std::vector<float>* ys) {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/numerics/testdata/nist/" + name);
  std::string line;
  for (int i = 1; std::getline(in, line); ++i) {
    if (i < 61 || line.size() < 3) continue;
    std::istringstream ss(line);
    float y, x;
    if (ss >> y >> x) {
      ys->push_back(y);
      xs->push_back(x);
    }
  }
}

int g_calls = 0;

// The residual function both solvers see.
void mgh17(int m, int, float b[], float f[]) {
  ++g_calls;
  for (int i = 0; i < m; ++i)
    f[i] = g_y[i] - (b[0] + b[1] * std::exp(-g_x[i] * b[3]) + b[2] * std::exp(-g_x[i] * b[4]));
}

int lmdif_adapter(void*, int m, int n, const double* x, double* fvec, int) {
  float b[5], f[64];
  for (int j = 0; j < n; ++j) b[j] = (float)x[j];
  mgh17(m, n, b, f);
  for (int i = 0; i < m; ++i) fvec[i] = f[i];
  return 0;
}

double rss_of(const float* b) {
  std::vector<float> f(g_x.size());
  float bb[5] = {b[0], b[1], b[2], b[3], b[4]};
  mgh17((int)g_x.size(), 5, bb, f.data());
  double s = 0.0;
  for (float v : f) s += (double)v * v;
  return s;
}

std::vector<float> g_mx, g_my;

void misra1a(int m, int, float b[], float f[]) {
  for (int i = 0; i < m; ++i) f[i] = g_my[i] - b[0] * (1.0f - std::exp(-b[1] * g_mx[i]));
}

void FitMisra(float result[2]) {
  float start[2] = {500.0f, 1e-4f};
  benchmark::DoNotOptimize(nml_f_nonlin_least_squares(misra1a, (int)g_mx.size(), 2,
                                                      NML_INITIAL_GUESS, start, NML_RETURN_USER,
                                                      result, 0));
}

void MisraWithTrap(benchmark::State& state, int trap) {
  nml_error_options(NML_SIGNAL_TRAPPING, trap, 0);
  float result[2];
  for (auto _ : state) FitMisra(result);
  nml_error_options(NML_SIGNAL_TRAPPING, 1, 0);
}
void BM_misra1a_trap_on(benchmark::State& state) { MisraWithTrap(state, 1); }
void BM_misra1a_trap_off(benchmark::State& state) { MisraWithTrap(state, 0); }
BENCHMARK(BM_misra1a_trap_on);
BENCHMARK(BM_misra1a_trap_off);

int g_calls_nml = 0, g_calls_lmdif = 0;

void FitNml(float result[5]) {
  float start[5];
  std::copy(kStart, kStart + 5, start);
  benchmark::DoNotOptimize(nml_f_nonlin_least_squares(mgh17, (int)g_x.size(), 5,
                                                      NML_INTERNAL_SCALING, NML_INITIAL_GUESS,
                                                      start, NML_RETURN_USER, result, 0));
}

int FitLmdif(float result[5]) {
  const int m = (int)g_x.size(), n = 5;
  std::vector<double> x(n), fvec(m), diag(n), fjac(m * n), qtf(n), wa1(n), wa2(n), wa3(n), wa4(m);
  std::vector<int> ipvt(n);
  int nfev = 0;
  for (int j = 0; j < n; ++j) x[j] = kStart[j];
  // tolerances at single precision, difference steps of the float residuals' size
  lmdif(lmdif_adapter, nullptr, m, n, x.data(), fvec.data(), 1e-6, 1e-6, 0.0, 2000, 1.1920929e-7,
        diag.data(), 1, 100.0, 0, &nfev, fjac.data(), m, ipvt.data(), qtf.data(), wa1.data(),
        wa2.data(), wa3.data(), wa4.data());
  for (int j = 0; j < n; ++j) result[j] = (float)x[j];
  return nfev;
}

void BM_nml_nonlin_least_squares(benchmark::State& state) {
  float result[5];
  for (auto _ : state) FitNml(result);
}
BENCHMARK(BM_nml_nonlin_least_squares);

void BM_cminpack_lmdif(benchmark::State& state) {
  float result[5];
  for (auto _ : state) benchmark::DoNotOptimize(FitLmdif(result));
}
BENCHMARK(BM_cminpack_lmdif);

}  // namespace

int main(int argc, char** argv) {
  LoadNist("MGH17.dat", &g_x, &g_y);
  LoadNist("Misra1a.dat", &g_mx, &g_my);
  nml_error_set_stop_fatal(0);
  tv_bench::Initialize(&argc, argv);
  const double certified = 5.4648946975e-05;
  float b[5];
  g_calls = 0;
  FitNml(b);
  g_calls_nml = g_calls;
  const double rssNml = rss_of(b);
  g_calls_lmdif = FitLmdif(b);
  const double rssLmdif = rss_of(b);
  char detail[160];
  std::snprintf(detail, sizeof detail, "nml %.10g, lmdif %.10g, certified %.10g, limit 1e-3 above",
                rssNml, rssLmdif, certified);
  tv_bench::Check(
      g_x.size() == 33 && rssNml <= certified * (1 + 1e-3) && rssLmdif <= certified * (1 + 1e-3),
      "both fits reach the certified RSS", detail);
  std::printf("residual evaluations per fit: nml %d, lmdif %d\n", g_calls_nml, g_calls_lmdif);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("MGH17 fit, nml_f_nonlin_least_squares against lmdif",
                      "BM_nml_nonlin_least_squares", "BM_cminpack_lmdif");
  tv_bench::RatioGoal("Misra1a fit, signal trap on against off",
                      reporter.PrintRatio("Misra1a fit, signal trap on against off",
                                          "BM_misra1a_trap_on", "BM_misra1a_trap_off"),
                      1.3);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
