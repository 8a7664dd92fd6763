// Times of the document's fractal statistics (no peer implementation: times only).
//   Stats/FractalDimension10k: correlation integrals (q = 2 and 6) and the single-link
//     length of 10,000 selected hypocentres; target under 1 s on the threads OpenMP
//     offers (omp_get_max_threads, printed with the goal; OMP_NUM_THREADS=1 for one core).
//   Stats/SaveBValueD20k: the b-value and fractal-dimension series of a 20,000-event
//     catalogue with 20,000 peaks, nD = 1000.
// Before timing, the q = 2 slope of a uniform cloud in a cube is checked to be near 3.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "base/numerics/KZ_Stati.h"
#include "common/RatioReporter.h"
#include "platform/testing/FakeDocumentHost.h"
#include "common/TempFolder.h"

namespace {

void FillCloud(CTremviaDoc& doc, int n, unsigned seed) {
  doc.ClearEventList();
  CAEHypo& h = *doc.m_pHypo;
  h.m_nShape = 4;
  h.m_fSizeX = h.m_fSizeY = h.m_fSizeZ = 1000.0f;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-150.0f, 150.0f);
  for (int i = 0; i < n; ++i)
    doc.AddEventEntry(u(rng), u(rng), u(rng), 1.0f, 0, 0, 0, i * 0.5, 12,
                      static_cast<std::uint32_t>(i), 0);
}

bool CheckSlope() {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc(host);
  FillCloud(doc, 10000, 7);
  float L = 0;
  double logR[41], G[8][41];
  int nR = 0;
  double t1 = 0, t2 = 1e9;
  if (doc.FractalDimension(&L, logR, G, &nR, 2, 6, &t1, &t2, 0, 8, 0.5f) != 10000) return false;
  double a, D, sa, sD;
  KZ_Stati::FitLine(logR + 8, G[2] + 8, 21, nullptr, &a, &D, &sa, &sD, nullptr, nullptr, nullptr);
  char detail[64];
  std::snprintf(detail, sizeof detail, "%.3f, expected 3 +- 0.1", D);
  tv_bench::Check(std::fabs(D - 3.0) < 0.1, "q = 2 slope of a uniform cube cloud", detail);
  return std::fabs(D - 3.0) < 0.1;
}

void BM_FractalDimension10k(benchmark::State& state) {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc(host);
  FillCloud(doc, 10000, 11);
  for (auto _ : state) {
    float L = 0;
    double logR[41], G[8][41];
    int nR = 0;
    double t1 = 0, t2 = 1e9;
    benchmark::DoNotOptimize(doc.FractalDimension(&L, logR, G, &nR, 2, 6, &t1, &t2, 0, 8, 0.5f));
  }
}
BENCHMARK(BM_FractalDimension10k)->Name("Stats/FractalDimension10k")->Unit(benchmark::kMillisecond);

void BM_SaveBValueD20k(benchmark::State& state) {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc(host);
  FillCloud(doc, 20000, 13);
  CAEPeak& pk = *doc.m_pPeak[0];
  pk.Alloc(20000);
  pk.m_nCount = 20000;
  std::mt19937 rng(17);
  std::exponential_distribution<double> ex(std::log(10.0));
  for (int i = 0; i < 20000; ++i) {
    pk.m_pSec[i] = i / 2;
    pk.m_pUSec[i] = (i % 2) * 500000;
    pk.m_pLevel[i] = static_cast<std::uint8_t>(std::min(11.0, 4.0 * ex(rng)));
    pk.m_pFlag[i] = 1;
  }
  doc.m_fTimeStart = 0;
  doc.m_fTimeSpan = 10000;
  const std::string path = tv_bench::WorkDir() + "/bvalued.kv0";
  for (auto _ : state) benchmark::DoNotOptimize(doc.SaveBValueD(path, 1000, 2.0f, 1.5f, 0.5f));
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveBValueD20k)
    ->Name("Stats/SaveBValueD20k")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (!CheckSlope()) return 1;
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  tv_bench::Goal("correlation integrals of 10,000 hypocentres under 1 s on " +
                     std::to_string(omp_get_max_threads()) + " threads",
                 reporter.Seconds("Stats/FractalDimension10k"), 1.0);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
