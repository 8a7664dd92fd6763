// Times nml_f_eig_gen with eigenvectors against LAPACK's sgeev (right eigenvectors) on the
// same matrices, and prints the ratio of the two times for each order.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "numerics/nml_eig.h"

extern "C" void sgeev_(const char* jobvl, const char* jobvr, const int* n, float* a,
                       const int* lda, float* wr, float* wi, float* vl, const int* ldvl,
                       float* vr, const int* ldvr, float* work, const int* lwork, int* info,
                       std::size_t jobvlLen, std::size_t jobvrLen);

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
  sgeev_("N", "V", &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &n, &query,
         &lwork, &info, 1, 1);
  lwork = static_cast<int>(query);
  std::vector<float> work(static_cast<std::size_t>(lwork));
  for (auto _ : state) {
    // sgeev overwrites its matrix; nml_f_eig_gen copies it internally, so both pay a copy.
    std::memcpy(a.data(), a0.data(), a0.size() * sizeof(float));
    sgeev_("N", "V", &n, a.data(), &n, wr.data(), wi.data(), &vl, &one, vr.data(), &n,
           work.data(), &lwork, &info, 1, 1);
    if (info != 0) state.SkipWithError("sgeev failed");
    benchmark::DoNotOptimize(vr.data());
  }
}

BENCHMARK(BM_nml_eig_gen)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_sgeev)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

// Keeps the time per iteration of every run besides printing it.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred)
        seconds[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  nml_error_set_stop_fatal(0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* n : {"50", "200"}) {
    const auto ours = reporter.seconds.find(std::string("BM_nml_eig_gen/") + n);
    const auto ref = reporter.seconds.find(std::string("BM_sgeev/") + n);
    if (ours == reporter.seconds.end() || ref == reporter.seconds.end()) continue;
    std::printf("n = %s: nml_f_eig_gen / sgeev time ratio = %.2f (target: at most 2)\n", n,
                ours->second / ref->second);
  }
  benchmark::Shutdown();
  return 0;
}
