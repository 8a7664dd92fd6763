// Times nml_f_eig_gen with eigenvectors against LAPACK's sgeev (right eigenvectors) on the
// same matrices, checks that both find the same eigenvalues and that the eigenvectors of
// each satisfy A v = lambda v, and prints the ratio of the two times for each order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/RatioReporter.h"
#include "numerics/nml_eig.h"

extern "C" void sgeev_(const char* jobvl, const char* jobvr, const int* n, float* a, const int* lda,
                       float* wr, float* wi, float* vl, const int* ldvl, float* vr, const int* ldvr,
                       float* work, const int* lwork, int* info, std::size_t jobvlLen,
                       std::size_t jobvrLen);

namespace {

// Entries k/256 with k in -1000..1000, as in the reference tables.
std::vector<float> TestMatrix(int n) {
  std::vector<float> m(static_cast<std::size_t>(n) * n);
  unsigned long long state = static_cast<unsigned long long>(n);
  for (auto& v : m) {
    state = (state * 1103515245ULL + 12345ULL) % 2147483648ULL;
    v = static_cast<float>((static_cast<long long>((state >> 8) % 2001) - 1000) / 256.0);
  }
  return m;
}

void BM_nml_eig_gen(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> a = TestMatrix(n);
  for (auto _ : state) {
    nml_f_complex* v = nullptr;
    nml_f_complex* e = nml_f_eig_gen(n, a.data(), NML_EIGENVECTORS, &v, 0);
    if (!e || !v) state.SkipWithError("nml_f_eig_gen failed");
    benchmark::DoNotOptimize(e);
    std::free(e);
    std::free(v);
  }
}

void BM_sgeev(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<float> a0 = TestMatrix(n);
  std::vector<float> a(a0.size()), wr(n), wi(n), vr(a0.size());
  float vl = 0;
  const int one = 1;
  int info = 0;
  int lwork = -1;
  float query = 0;
  sgeev_("N", "V", &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &n, &query, &lwork,
         &info, 1, 1);
  lwork = static_cast<int>(query);
  std::vector<float> work(static_cast<std::size_t>(lwork));
  for (auto _ : state) {
    // sgeev overwrites its matrix; nml_f_eig_gen copies it internally, so both pay a copy.
    std::memcpy(a.data(), a0.data(), a0.size() * sizeof(float));
    sgeev_("N", "V", &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &n, work.data(),
           &lwork, &info, 1, 1);
    if (info != 0) state.SkipWithError("sgeev failed");
    benchmark::DoNotOptimize(vr.data());
  }
}

BENCHMARK(BM_nml_eig_gen)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sgeev)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

using cplx = std::complex<double>;

// Largest ||A v - lambda v|| / (||A||_F ||v||) over the pairs, in double.
double Residual(int n, const std::vector<float>& a, const std::vector<cplx>& lambda,
                const std::vector<std::vector<cplx>>& vec) {
  double norm = 0.0;
  for (float x : a) norm += static_cast<double>(x) * x;
  norm = std::sqrt(norm);
  double worst = 0.0;
  for (int k = 0; k < n; ++k) {
    double r = 0.0, vv = 0.0;
    for (int i = 0; i < n; ++i) {
      cplx s = -lambda[k] * vec[k][i];
      for (int j = 0; j < n; ++j) s += static_cast<double>(a[i * n + j]) * vec[k][j];
      r += std::norm(s);
      vv += std::norm(vec[k][i]);
    }
    worst = std::max(worst, std::sqrt(r / vv) / norm);
  }
  return worst;
}

void CheckOutputs(int n) {
  const std::vector<float> a0 = TestMatrix(n);
  // Ours: eigenvalues, and eigenvectors as the columns of the row-ordered result.
  std::vector<float> a = a0;
  nml_f_complex* v = nullptr;
  nml_f_complex* e = nml_f_eig_gen(n, a.data(), NML_EIGENVECTORS, &v, 0);
  if (!e || !v) {
    tv_bench::Check(false, "eigenvalues n = " + std::to_string(n), "nml_f_eig_gen failed");
    return;
  }
  std::vector<cplx> ours(n);
  std::vector<std::vector<cplx>> oursVec(n, std::vector<cplx>(n));
  for (int k = 0; k < n; ++k) {
    ours[k] = {e[k].re, e[k].im};
    for (int i = 0; i < n; ++i) oursVec[k][i] = {v[i * n + k].re, v[i * n + k].im};
  }
  std::free(e);
  std::free(v);
  // sgeev: column-ordered; a complex pair shares two columns (real and imaginary parts).
  std::vector<float> c(a0.size()), wr(n), wi(n), vr(a0.size());
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) c[j * n + i] = a0[i * n + j];
  float vl = 0, query = 0;
  const int one = 1;
  int info = 0, lwork = -1;
  sgeev_("N", "V", &n, c.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &n, &query, &lwork,
         &info, 1, 1);
  lwork = static_cast<int>(query);
  std::vector<float> work(static_cast<std::size_t>(lwork));
  sgeev_("N", "V", &n, c.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &n, work.data(),
         &lwork, &info, 1, 1);
  std::vector<cplx> peer(n);
  std::vector<std::vector<cplx>> peerVec(n, std::vector<cplx>(n));
  for (int k = 0; k < n; ++k) {
    peer[k] = {wr[k], wi[k]};
    for (int i = 0; i < n; ++i) {
      if (wi[k] == 0.0f)
        peerVec[k][i] = vr[k * n + i];
      else if (wi[k] > 0.0f)
        peerVec[k][i] = {vr[k * n + i], vr[(k + 1) * n + i]};
      else
        peerVec[k][i] = {vr[(k - 1) * n + i], -vr[k * n + i]};
    }
  }
  // The same eigenvalues: both sorted by modulus, then by imaginary part.
  double scale = 0.0;
  for (float x : a0) scale += static_cast<double>(x) * x;
  scale = std::sqrt(scale);
  auto byModulus = [](const cplx& x, const cplx& y) {
    return std::abs(x) != std::abs(y) ? std::abs(x) > std::abs(y) : x.imag() > y.imag();
  };
  std::vector<cplx> so = ours, sp = peer;
  std::sort(so.begin(), so.end(), byModulus);
  std::sort(sp.begin(), sp.end(), byModulus);
  double diff = 0.0;
  for (int k = 0; k < n; ++k) {
    // Nearest peer eigenvalue: sorting by modulus may swap near-equal neighbours.
    double best = 1e300;
    for (int j = std::max(0, k - 3); j < std::min(n, k + 4); ++j)
      best = std::min(best, std::abs(so[k] - sp[j]));
    diff = std::max(diff, best);
  }
  char detail[160];
  std::snprintf(detail, sizeof detail, "info %d, largest difference %.2g of ||A||, limit 1e-5",
                info, diff / scale);
  tv_bench::Check(info == 0 && diff <= 1e-5 * scale,
                  "eigenvalues equal sgeev's, n = " + std::to_string(n), detail);
  const double ro = Residual(n, a0, ours, oursVec), rp = Residual(n, a0, peer, peerVec);
  std::snprintf(detail, sizeof detail, "ours %.2g, sgeev %.2g, limit 1e-5", ro, rp);
  tv_bench::Check(ro <= 1e-5 && rp <= 1e-5,
                  "eigenvector residuals ||Av - lv||/||A||, n = " + std::to_string(n), detail);
}

}  // namespace

int main(int argc, char** argv) {
  nml_error_set_stop_fatal(0);
  tv_bench::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (int n : {50, 200}) CheckOutputs(n);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nnml_f_eig_gen with eigenvectors against sgeev (target: at most 2):\n");
  for (const char* n : {"50", "200"})
    tv_bench::RatioGoal(
        std::string("nml_f_eig_gen at n = ") + n + " within 2x of sgeev",
        reporter.PrintRatio(std::string("n = ") + n, std::string("BM_nml_eig_gen/") + n,
                            std::string("BM_sgeev/") + n),
        2.0);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
