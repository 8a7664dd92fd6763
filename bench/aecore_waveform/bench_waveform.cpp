// Loads a SEG-2 file of 16 channels x 100,000 samples (code 4) into the waveform
// container beside a plain read of the same file into fresh memory, as the loader reads
// it (goal: the load within 1.5 times the plain read; the loaded samples are checked
// against the values written). Packs 1,000,000 samples as CM6, reporting samples/s
// (goal: 20 Msamples/s). Reads a 16-channel long record (.lng, 400,000 samples per
// channel) range by range through the long-range reader, as template matching does,
// beside plain reads of the same ranges, both in MB/s (goal: within twice the plain read).
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "aecore/waveform/AEWaveGse2.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "common/RatioReporter.h"

namespace {

float Seg2Value(int c, int i) { return static_cast<float>(1000 * std::sin(0.01 * i * (c + 1))); }

std::string Seg2File() {
  static std::string path;
  if (!path.empty()) return path;
  path = std::string(TV_BENCH_TMPDIR) + "/16x100000.sg2";
  KZ_WaveDataSeg2 w;
  for (int c = 0; c < 16; ++c) {
    auto t = std::make_unique<KZ_WaveTrace>(100000);
    for (int i = 0; i < 100000; ++i)
      t->m_pData[i] = Seg2Value(c, i);
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

// The file read into memory the process has never touched (as the loader's new buffer
// and trace arrays are after the allocator hands the pages back): mapped anew for every
// read, so the page faults of first use are paid as the loader pays them.
void BM_PlainRead(benchmark::State& state) {
  const std::string path = Seg2File();
  const auto bytes = std::filesystem::file_size(path);
  for (auto _ : state) {
    void* buf = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (buf == MAP_FAILED) {
      state.SkipWithError("no memory");
      break;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(buf, 1, bytes, f));
    std::fclose(f);
    benchmark::DoNotOptimize(buf);
    munmap(buf, bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

constexpr int kLongChannels = 16;
constexpr int kLongSamples = 400000;
constexpr int kLongRange = 20000;

std::string LongFile() {
  static std::string path;
  if (!path.empty()) return path;
  path = std::string(TV_BENCH_TMPDIR) + "/16ch.lng";
  std::vector<std::int16_t> x(static_cast<std::size_t>(kLongChannels) * kLongSamples);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<std::int16_t>(i * 7919 % 4001);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(x.data(), 2, x.size(), f) != x.size())
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
  if (f) std::fclose(f);
  KZ_WaveDataSeg2 d;
  for (int c = 0; c < kLongChannels; ++c) {
    auto t = std::make_unique<KZ_WaveTrace>(1);
    t->m_fInterval = 1.0;
    d.AddTrace(std::move(t));
  }
  d.SaveSeg2(std::string(TV_BENCH_TMPDIR) + "/16ch.sg2", 0, 0, 4);
  return path;
}

void BM_LongRangeRead(benchmark::State& state) {
  const std::string path = LongFile();
  KZ_WaveHeader h;
  KZ_ResetWaveHeader(h);
  KZ_TraceList traces;
  std::int64_t start = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(KZ_WaveData_ReadLongRange(path, h, traces, start, start + kLongRange));
    start = (start + kLongRange) % (kLongSamples - kLongRange);
  }
  state.SetBytesProcessed(state.iterations() * kLongChannels * kLongRange * 2);
}
BENCHMARK(BM_LongRangeRead)->Unit(benchmark::kMillisecond);

void BM_LongPlainRead(benchmark::State& state) {
  const std::string path = LongFile();
  std::vector<std::int16_t> buf(static_cast<std::size_t>(kLongChannels) * kLongRange);
  std::int64_t start = 0;
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    for (int c = 0; c < kLongChannels; ++c) {
      std::fseek(f, (static_cast<long>(c) * kLongSamples + start) * 2, SEEK_SET);
      benchmark::DoNotOptimize(std::fread(buf.data() + c * kLongRange, 2, kLongRange, f));
    }
    std::fclose(f);
    start = (start + kLongRange) % (kLongSamples - kLongRange);
  }
  state.SetBytesProcessed(state.iterations() * kLongChannels * kLongRange * 2);
}
BENCHMARK(BM_LongPlainRead)->Unit(benchmark::kMillisecond);

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

int main(int argc, char** argv) {
  {
    KZ_WaveDataSeg2 w;
    int wrong = 0, traces = 0;
    if (w.Load(Seg2File(), 1, 0, 0)) {
      traces = w.Count();
      for (int c = 0; c < traces && c < 16; ++c) {
        const KZ_WaveTrace* t = w.GetTrace(c);
        if (!t || t->m_n != 100000) {
          ++wrong;
          continue;
        }
        for (int i = 0; i < t->m_n; ++i) wrong += t->m_pData[i] != Seg2Value(c, i);
      }
    }
    tv_bench::Check(traces == 16 && wrong == 0, "SEG-2 samples loaded as written",
                    std::to_string(traces) + " traces, " + std::to_string(wrong) + " wrong");
  }
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double ratio = reporter.PrintRatio("SEG-2 load / plain read", "BM_Seg2Load", "BM_PlainRead");
  if (ratio > 0)
    std::printf("goal SEG-2 load within 1.5x of a plain read: ratio %.2f: %s\n", ratio,
                ratio <= 1.5 ? "met" : "missed");
  else
    std::printf("goal SEG-2 load within 1.5x of a plain read: not measured\n");
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
