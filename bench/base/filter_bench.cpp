// Filtering one record of 16 channels x 8192 float samples through the fourth-order
// Butterworth band-pass of template matching (8 digital sections at 1 MHz sampling,
// 100-300 kHz), forward only, and through a designed KZ_IIRFilter. sosfilt_bench.py times
// scipy's sosfilt on the same record and prints the ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "RatioReporter.h"
#include "base/numerics/KZ_IIRDesign.h"
#include "base/numerics/KZ_IIRFilter.h"

namespace {

constexpr int kChannels = 16;
constexpr int kSamples = 8192;

std::vector<float> Record() {
  std::vector<float> v(static_cast<std::size_t>(kChannels) * kSamples);
  for (int c = 0; c < kChannels; ++c)
    for (int i = 0; i < kSamples; ++i)
      v[static_cast<std::size_t>(c) * kSamples + i] =
          static_cast<float>(std::sin(0.2 * i + c) + 0.3 * std::sin(0.05 * i * (c + 1)));
  return v;
}

void BM_KZ_IIRApply_record(benchmark::State& state) {
  double sn[3 * KZ_IIR_MAX_SECTIONS], sd[3 * KZ_IIR_MAX_SECTIONS];
  int ns = 0;
  KZ_IIRDesign(4, "BP", "BU", 1.0, 1.0, 100e3, 300e3, 1e-6, sn, sd, &ns);
  const auto in = Record();
  std::vector<float> data;
  for (auto _ : state) {
    data = in;
    for (int c = 0; c < kChannels; ++c)
      KZ_IIRApply(data.data() + static_cast<std::size_t>(c) * kSamples, kSamples, 0, sn, sd, ns);
    benchmark::DoNotOptimize(data.data());
  }
}

void BM_KZ_IIRFilter_record(benchmark::State& state) {
  KZ_IIRFilter f;
  f.Design(2, 0, 0.1f, 0.3f, 0.45f, 0.5f, 5.0f);
  const auto in = Record();
  std::vector<float> out(in.size());
  for (auto _ : state) {
    for (int c = 0; c < kChannels; ++c)
      f.Filter(in.data() + static_cast<std::size_t>(c) * kSamples,
               out.data() + static_cast<std::size_t>(c) * kSamples, kSamples);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["sections"] = f.m_nSections;
}

}  // namespace

BENCHMARK(BM_KZ_IIRApply_record)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KZ_IIRFilter_record)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nOne record of %d channels x %d samples:\n", kChannels, kSamples);
  std::printf("  KZ_IIRApply (8 sections, forward): %.3f ms\n",
              1e3 * reporter.Seconds("BM_KZ_IIRApply_record"));
  std::printf("  KZ_IIRFilter::Filter:              %.3f ms\n",
              1e3 * reporter.Seconds("BM_KZ_IIRFilter_record"));
  std::printf(
      "Run bench/base/sosfilt_bench.py with this program's path for the ratio to scipy's "
      "sosfilt.\n");
  benchmark::Shutdown();
  return 0;
}
