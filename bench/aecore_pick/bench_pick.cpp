// Loads every event file of the synthetic experiment and picks the P onset of every
// channel, as the document's batch processing does; reports events per second.
//
//   bench_aecore_pick [folder] [benchmark options]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "aecore/waveform/AEWave.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace {

std::string g_folder = TV_SYNTH_DIR;

// Loads and picks events from 0 on until one is missing; returns the number of events.
int LoadAndPickAll(CAEWave& w) {
  int events = 0;
  for (;; ++events) {
    const std::string path = g_folder + plat::Format("/CUBE.00/%06d.WAV", events);
    if (!w.Load(path)) break;
    for (int c = 0; c < w.GetNumChannels(); ++c) benchmark::DoNotOptimize(w.AutoPick(c, 0, 0, 0));
  }
  return events;
}

void BM_LoadAndPickEvents(benchmark::State& state) {
  CAEWave w;
  int events = 0;
  for (auto _ : state) events = LoadAndPickAll(w);
  state.counters["events_per_second"] = benchmark::Counter(
      static_cast<double>(events), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadAndPickEvents)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && argv[1][0] != '-') {
    g_folder = argv[1];
    --argc;
    ++argv;
  }
  CAEWave w;
  const auto start = std::chrono::steady_clock::now();
  const int events = LoadAndPickAll(w);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (events == 0) {
    std::fprintf(stderr, "no events in %s\n", g_folder.c_str());
    return 1;
  }
  std::printf("%d events (%d channels each) loaded and picked in %.3f s: %.1f events per second\n",
              events, w.GetNumChannels(), seconds, events / seconds);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
