// Loads a SEG-2 file of 16 channels x 100,000 samples (code 4) into the waveform
// container and reads the same bytes plainly; both report MB/s (the load should stay
// within twice the plain read). Packs 1,000,000 samples as CM6, reporting samples/s
// (goal: 20 Msamples/s).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "aecore/waveform/AEWaveGse2.h"
#include "aecore/waveform/KZ_WaveData.h"

namespace {

std::string Seg2File() {
  static std::string path;
  if (!path.empty()) return path;
  path = (std::filesystem::temp_directory_path() / "bench_waveform_16x100000.sg2").string();
  KZ_WaveDataSeg2 w;
  for (int c = 0; c < 16; ++c) {
    auto t = std::make_unique<KZ_WaveTrace>(100000);
    for (int i = 0; i < 100000; ++i)
      t->m_pData[i] = static_cast<float>(1000 * std::sin(0.01 * i * (c + 1)));
    t->m_fInterval = 1e-6;
    w.AddTrace(std::move(t));
  }
  if (!w.SaveSeg2(path, 0, 0, 4)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return path;
}

void BM_Seg2Load(benchmark::State& state) {
  const std::string path = Seg2File();
  const auto bytes = std::filesystem::file_size(path);
  for (auto _ : state) {
    KZ_WaveDataSeg2 w;
    benchmark::DoNotOptimize(w.Load(path, 1, 0, 0));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_Seg2Load)->Unit(benchmark::kMillisecond);

void BM_PlainRead(benchmark::State& state) {
  const std::string path = Seg2File();
  const auto bytes = std::filesystem::file_size(path);
  std::vector<char> buf(bytes);
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(buf.data(), 1, buf.size(), f));
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

void BM_PackCM6(benchmark::State& state) {
  std::vector<std::int32_t> v(1000000);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<std::int32_t>(2000 * std::sin(0.001 * i));
  for (auto _ : state) {
    std::string out;
    benchmark::DoNotOptimize(PackCM6(v.data(), static_cast<int>(v.size()), out, 2));
  }
  state.counters["samples_per_second"] = benchmark::Counter(
      static_cast<double>(v.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PackCM6)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
