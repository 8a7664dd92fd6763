// Loads every event file of the synthetic experiment and picks the P onset of every
// channel, as the document's batch processing does; reports events per second. Before
// timing, the picks of the channels with a clear first motion are checked against the
// true onsets the generator wrote (onsets.txt).
//
//   bench_aecore_pick [folder] [benchmark options]
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "aecore/waveform/AEWave.h"
#include "common/RatioReporter.h"
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

// Picks against onsets.txt on the channels whose first motion is at least 2000 counts
// (200 times the noise): none late by more than 2 samples, 95 % within 2 samples, and at
// most one in 200 early by more than 6.
// Early picks are the picker's known side: the nine-point running median of the refined
// window lifts the last four noise samples towards a sharp onset, and of the refined
// picks the earlier wins, so a burst of noise just before the onset can draw the
// noise-model pick a few samples further forward (event 90, channel 15: the two-model
// pick is on the onset, the noise-model pick 8 samples early after a 2.4-sigma swing).
// The early picks are listed, so a change in the picker that makes them more frequent
// shows here.
void CheckPicks() {
  std::map<std::pair<int, int>, std::pair<double, double>> onsets;  // us, amplitude
  std::ifstream f(g_folder + "/onsets.txt");
  std::string line;
  while (std::getline(f, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    int event, channel, polarity;
    double us, amplitude;
    if (in >> event >> channel >> us >> polarity >> amplitude)
      onsets[{event, channel}] = {us, amplitude};
  }
  CAEWave w;
  int clean = 0, within2 = 0, late = 0, early = 0;
  for (int event = 0;; ++event) {
    if (!w.Load(g_folder + plat::Format("/CUBE.00/%06d.WAV", event))) break;
    const double rate = w.m_pHeader->nRate;
    for (int c = 0; c < w.GetNumChannels(); ++c) {
      const int pick = w.AutoPick(c, 0, 0, 0);
      const auto it = onsets.find({event, c});
      if (it == onsets.end() || std::fabs(it->second.second) < 2000.0) continue;
      ++clean;
      const int truth = static_cast<int>(std::floor(it->second.first * rate));
      const int d = pick - truth;
      within2 += std::abs(d) <= 2;
      late += d > 2;
      if (d < -6) {
        ++early;
        std::printf(
            "early pick: event %d channel %d: pick %d, onset after sample %d, first "
            "motion %.0f counts\n",
            event, c, pick, truth, it->second.second);
      }
    }
  }
  char detail[160];
  std::snprintf(detail, sizeof detail,
                "%d clean channels: %d within 2 samples, %d late by more than 2, %d early by "
                "more than 6",
                clean, within2, late, early);
  tv_bench::Check(clean > 0 && late == 0 && within2 * 100 >= clean * 95 && early * 200 <= clean,
                  "picks against the true onsets", detail);
}

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
  CheckPicks();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
