// Loads a SEG-2 file of 16 channels x 100,000 samples (code 4) into the waveform
// container beside a plain read of the same file, both into fresh memory, in pairs run in
// both orders (goal: the load within 1.5 times the plain read in each order; the loaded
// samples are checked against the values written). Packs 1,000,000 samples as CM6,
// reporting samples/s (goal: 20 Msamples/s; the text is decoded and checked). Reads a 16-channel long record (.lng, 400,000 samples per
// channel) range by range through the long-range reader, as template matching does,
// beside plain reads of the same ranges, both in MB/s (goal: within twice the plain read).
// Steps through a copy of the sample experiment's 20 event files as Load Next does: a
// step past the last file, which looks for 9,999 numbers before it gives up (goal: under
// 30 ms), and a step to the next existing file (goal: under 0.3 ms); where each step
// lands is checked.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "aecore/waveform/AEWave.h"
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
    for (int i = 0; i < 100000; ++i) t->m_pData[i] = Seg2Value(c, i);
    t->m_fInterval = 1e-6;
    w.AddTrace(std::move(t));
  }
  if (!w.SaveSeg2(path, 0, 0, 4)) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return path;
}

long MinorFaults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt;
}

// One load of the file into a new container, destroyed again, in seconds.
double TimeLoad(const std::string& path, bool* ok) {
  const auto t0 = std::chrono::steady_clock::now();
  {
    KZ_WaveDataSeg2 w;
    *ok = w.Load(path, 1, 0, 0) == 1 && w.Count() == 16 && *ok;
    benchmark::DoNotOptimize(w.GetTrace(15)->m_pData.data());
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The file read into memory the process has never touched: mapped anew for every read,
// so the page faults of first use are paid as the loader pays them for its trace arrays.
double TimePlainRead(const std::string& path, std::size_t bytes, bool* ok) {
  const auto t0 = std::chrono::steady_clock::now();
  void* buf = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (buf == MAP_FAILED) {
    *ok = false;
    return 0.0;
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  *ok = f && std::fread(buf, 1, bytes, f) == bytes && *ok;
  if (f) std::fclose(f);
  benchmark::DoNotOptimize(buf);
  munmap(buf, bytes);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0.0 : n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// The load against the plain read in pairs, half of them with the load first and half
// with the plain read first, so that neither side runs on memory the other just gave
// back. Trace arrays are mapped afresh for every load (the allocator is told to map every
// block of 256 KB and more and to unmap it when freed, as it does with a cold heap), so
// the loader never writes over pages its previous run touched. Prints each order's
// medians and ratio; the goal holds only when both orders meet it.
void CompareSeg2LoadWithPlainRead(tv_bench::RatioReporter& reporter) {
  const std::string path = Seg2File();
  const std::size_t bytes = std::filesystem::file_size(path);
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_TRIM_THRESHOLD, 256 * 1024);
  malloc_trim(0);  // what earlier benchmarks freed must not serve the trace arrays
  constexpr int kPairs = 40;
  std::vector<double> load[2], plain[2];
  long loadFaults = 0, plainFaults = 0;
  bool ok = true;
  for (int r = -2; r < kPairs; ++r) {  // two pairs to warm up
    const int order = (r + 2) % 2;
    double l = 0, p = 0;
    const long f0 = MinorFaults();
    if (order == 0) {
      l = TimeLoad(path, &ok);
      const long f1 = MinorFaults();
      p = TimePlainRead(path, bytes, &ok);
      if (r >= 0) loadFaults += f1 - f0, plainFaults += MinorFaults() - f1;
    } else {
      p = TimePlainRead(path, bytes, &ok);
      const long f1 = MinorFaults();
      l = TimeLoad(path, &ok);
      if (r >= 0) plainFaults += f1 - f0, loadFaults += MinorFaults() - f1;
    }
    if (r < 0) continue;
    load[order].push_back(l);
    plain[order].push_back(p);
  }
  tv_bench::Check(ok, "SEG-2 timed loads and reads complete", std::to_string(2 * kPairs) + " runs");
  // Every page of the samples is touched for the first time on both sides: at least one
  // fault per 4 KB page of the samples, or the memory was not fresh.
  const long pages = static_cast<long>(bytes / 4096);
  tv_bench::Check(loadFaults >= kPairs * pages * 9 / 10 && plainFaults >= kPairs * pages * 9 / 10,
                  "both sides wrote fresh memory",
                  "page faults per run: load " + std::to_string(loadFaults / kPairs) +
                      ", plain read " + std::to_string(plainFaults / kPairs) + ", pages " +
                      std::to_string(pages));
  bool met = true;
  for (int order = 0; order < 2; ++order) {
    const double l = Median(load[order]), p = Median(plain[order]);
    const double ratio = p > 0 ? l / p : 0;
    std::printf(
        "SEG-2 load / plain read, %s first (%d pairs, fresh memory): load %.4g ms, "
        "plain %.4g ms, ratio %.2f\n",
        order == 0 ? "load" : "plain read", kPairs / 2, l * 1e3, p * 1e3, ratio);
    met = met && ratio > 0 && ratio <= 1.5;
  }
  std::vector<double> allLoad = load[0], allPlain = plain[0];
  allLoad.insert(allLoad.end(), load[1].begin(), load[1].end());
  allPlain.insert(allPlain.end(), plain[1].begin(), plain[1].end());
  reporter.AddSeconds("Seg2Load", Median(allLoad));
  reporter.AddSeconds("PlainRead", Median(allPlain));
  reporter.PrintRatio("SEG-2 load / plain read", "Seg2Load", "PlainRead");
  std::printf("goal SEG-2 load within 1.5x of a plain read into fresh memory, in both orders: %s\n",
              met ? "met" : "missed");
}

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

// The long-range reader's samples of a few ranges against the values written.
void CheckLongRange() {
  const std::string path = LongFile();
  KZ_WaveHeader h;
  KZ_ResetWaveHeader(h);
  KZ_TraceList traces;
  long wrong = 0;
  for (std::int64_t start :
       {std::int64_t{0}, std::int64_t{123457}, std::int64_t{kLongSamples - kLongRange}}) {
    if (!KZ_WaveData_ReadLongRange(path, h, traces, start, start + kLongRange) ||
        traces.size() != kLongChannels) {
      wrong += kLongRange;
      continue;
    }
    for (int c = 0; c < kLongChannels; ++c)
      for (int i = 0; i < kLongRange; ++i) {
        const std::size_t at = static_cast<std::size_t>(c) * kLongSamples + start + i;
        wrong += traces[c]->m_n < kLongRange ||
                 traces[c]->m_pData[i] != static_cast<float>(at * 7919 % 4001);
      }
  }
  tv_bench::Check(wrong == 0, "long-record ranges read as written",
                  std::to_string(wrong) + " wrong");
}

// CM6 text decoded by the format's rules (first character: continuation bit 0x20, sign
// 0x10, four data bits; later ones: continuation and five data bits), the two difference
// passes undone, against the packed values.
void CheckCM6() {
  std::vector<std::int32_t> v(100000);
  for (std::size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<std::int32_t>(2000 * std::sin(0.001 * i) + (i * 7919 % 201) - 100);
  std::string text;
  const bool packed = PackCM6(v.data(), static_cast<int>(v.size()), text, 2);
  const std::string alphabet = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::vector<std::int64_t> d;
  bool bad = false;
  for (std::size_t k = 0; k < text.size() && !bad;) {
    std::size_t c = alphabet.find(text[k++]);
    if (c == std::string::npos) {
      bad = true;
      break;
    }
    const bool negative = c & 0x10;
    std::int64_t x = static_cast<std::int64_t>(c & 0x0F);
    while ((c & 0x20) && !bad) {
      c = k < text.size() ? alphabet.find(text[k++]) : std::string::npos;
      bad = c == std::string::npos;
      x = (x << 5) | static_cast<std::int64_t>(c & 0x1F);
    }
    d.push_back(negative ? -x : x);
  }
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t i = 1; i < d.size(); ++i) d[i] += d[i - 1];
  long wrong = 0;
  for (std::size_t i = 0; i < v.size(); ++i) wrong += i >= d.size() || d[i] != v[i];
  tv_bench::Check(packed && !bad && d.size() == v.size() && wrong == 0,
                  "CM6 text decodes to the packed values",
                  std::to_string(d.size()) + " decoded, " + std::to_string(wrong) + " wrong");
}

// A copy of the sample's event folder (FAULT.00, events 0-19) beside the benchmark.
std::string SampleEventFolder() {
  static std::string folder;
  if (!folder.empty()) return folder;
  const std::filesystem::path dir = std::filesystem::path(TV_BENCH_TMPDIR) / "step" / "FAULT.00";
  std::filesystem::remove_all(dir.parent_path());
  std::filesystem::create_directories(dir.parent_path());
  std::filesystem::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthFault/FAULT.00", dir);
  folder = dir.string();
  return folder;
}

std::string EventFile(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "/%06d.WAV", i);
  return SampleEventFolder() + name;
}

void BM_StepPastLast(benchmark::State& state) {
  CAEWave w;
  if (!w.Load(EventFile(19))) state.SkipWithError("the sample's event 19 does not load");
  for (auto _ : state) benchmark::DoNotOptimize(w.Step(1));
}
BENCHMARK(BM_StepPastLast)->Unit(benchmark::kMillisecond);

void BM_StepNext(benchmark::State& state) {
  CAEWave w;
  if (!w.Load(EventFile(0))) state.SkipWithError("the sample's event 0 does not load");
  int step = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(w.Step(step));
    step = -step;
  }
}
BENCHMARK(BM_StepNext)->Unit(benchmark::kMillisecond);

void CheckSteps() {
  CAEWave w;
  bool ok = w.Load(EventFile(0)) == 1;
  std::string where;
  for (int i = 1; i < 20 && ok; ++i) {
    ok = w.Step(1) == 1 && w.m_nEvent == i && w.m_pHeader->nEvent == i;
    where += " " + std::to_string(w.m_nEvent);
  }
  const bool past = ok && w.Step(1) == 0 && w.m_nEvent == 19;
  tv_bench::Check(ok && past, "steps land on events 1-19, a step past 19 fails and keeps 19",
                  "landed on" + where + (past ? ", then stayed at 19" : ", then moved"));
}

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
  CheckLongRange();
  CheckCM6();
  CheckSteps();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double cm6 = reporter.Seconds("BM_PackCM6");
  if (cm6 > 0)
    std::printf("goal CM6 packing at 20 Msamples/s or more: %.1f Msamples/s: %s\n", 1.0 / cm6,
                1.0 / cm6 >= 20.0 ? "met" : "missed");
  else
    std::printf("goal CM6 packing at 20 Msamples/s or more: not measured\n");
  const double longRatio = reporter.PrintRatio("long-record range read / plain read",
                                               "BM_LongRangeRead", "BM_LongPlainRead");
  if (longRatio > 0)
    std::printf("goal long-record ranges within 2x of a plain read: ratio %.2f: %s\n", longRatio,
                longRatio <= 2.0 ? "met" : "missed");
  else
    std::printf("goal long-record ranges within 2x of a plain read: not measured\n");
  tv_bench::Goal("step past the last event file under 30 ms", reporter.Seconds("BM_StepPastLast"),
                 0.030);
  tv_bench::Goal("step to the next event file under 0.3 ms", reporter.Seconds("BM_StepNext"),
                 0.0003);
  // Last, as it changes how the allocator hands out large blocks.
  CompareSeg2LoadWithPlainRead(reporter);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
