// Times the loop of "Create AE data files" over the sample experiment's 20 events: the
// core's work per event (processing into the catalogue record, the catalogue write, the
// step to the next file) and the same with what the page adds (the event list entry, the
// page repainted at once and the status text). Prints events per second of both. The
// page's share is timed by itself inside the whole loop (a clock around the page's work
// of each event, not the difference of two pass times that the stepping dominates).
// Target: the page adds under 2 ms per event. Checked: a pass goes through every event
// file of the sample, the whole loop adds one located entry per event to the list, and
// the page is drawn for each event.
//
//   bench_wave_batch [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "common/RatioReporter.h"
#include "platform/Strings.h"
#include "platform/qt/QtUi.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/wave/WaveView.h"
#include "common/TempFolder.h"

namespace {

struct Experiment {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CWaveView view;

  Experiment() {
    const std::string dir = tv_bench::WorkDir() + "/SynthCube";
    std::filesystem::remove_all(dir);
    std::filesystem::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthCube", dir,
                          std::filesystem::copy_options::recursive);
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(plat::testing::Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
    if (!doc.OnOpenDocument(dir + "/CUBE.00/000000.WAV")) std::abort();
    view.SetData(&doc);
    view.resize(1100, 900);
    view.OnInitialUpdate();
    view.show();
  }

  // One pass over the events; returns the events processed. With `core` the event is
  // processed and written, with `page` the page's share is done, and its seconds are added
  // to *pageSeconds when given.
  int Pass(bool core, bool page, double* pageSeconds = nullptr) {
    CAEWave& wave = *doc.m_pWave;
    CAEHypo& hypo = *doc.m_pHypo;
    if (!wave.OpenEvent(0)) std::abort();
    int events = 0;
    do {
      if (core) {
        wave.ProcessEvent(&hypo, 0, -1, 0);
        hypo.PutAEH(wave.m_nEvent, true);
      }
      ++events;
      if (page) {
        const auto t0 = std::chrono::steady_clock::now();
        const AEHRecord& r = hypo.m_Rec;
        doc.AddEventEntry(r.fX, r.fY, r.fZ, r.fMw, r.fIso, r.fClvd, r.fCC,
                          r.nTimeSec + r.nTimeUs * 1e-6, static_cast<std::uint16_t>(r.nArrivals),
                          static_cast<std::uint32_t>(wave.m_nEvent), r.nFlags);
        view.OnUpdate(nullptr, 15, nullptr);
        view.UpdateWindow();
        QApplication::processEvents();  // the paint the update asked for
        plat::Ui().SetPaneText(
            0, plat::Format("%06d %6.2f %6.2f %6.2f", wave.m_nEvent, r.fX, r.fY, r.fZ), true);
        if (pageSeconds)
          *pageSeconds +=
              std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      }
    } while (wave.Step(1));
    return events;
  }
};

Experiment* g_exp = nullptr;
int g_eventsPerPass = 0;

void Run(benchmark::State& state, bool core, bool page) {
  int events = 0;
  for (auto _ : state) events += g_exp->Pass(core, page);
  if (state.iterations() > 0) g_eventsPerPass = static_cast<int>(events / state.iterations());
  state.counters["events_per_second"] = benchmark::Counter(events, benchmark::Counter::kIsRate);
  state.counters["s_per_event"] =
      benchmark::Counter(events, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The whole loop body and the core's share alone; the page's share is the page's work of
// the whole loop, timed by itself (manual time: only the page's seconds of each pass).
void BM_CreateAED(benchmark::State& state) { Run(state, true, true); }
void BM_CoreShare(benchmark::State& state) { Run(state, true, false); }
void BM_PageShare(benchmark::State& state) {
  for (auto _ : state) {
    double seconds = 0;
    g_eventsPerPass = g_exp->Pass(true, true, &seconds);
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_CreateAED)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CoreShare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageShare)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// What a whole pass processed: every event file of the sample's folder, each adding one
// entry to the event list, located ones with their arrivals.
void CheckPass(Experiment& exp) {
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(tv_bench::WorkDir() + "/SynthCube/CUBE.00"))
    files += e.path().extension() == ".WAV";
  const std::size_t before = exp.doc.m_EventList.size();
  const int rendersBefore = exp.view.RenderCount();
  const int events = exp.Pass(true, true);
  const int renders = exp.view.RenderCount() - rendersBefore;
  const std::size_t added = exp.doc.m_EventList.size() - before;
  int located = 0;
  for (std::size_t i = before; i < exp.doc.m_EventList.size(); ++i)
    located += exp.doc.m_EventList[i]->arrivals >= 4;
  tv_bench::Check(files > 0 && events == files && static_cast<int>(added) == files &&
                      located == files,
                  "a pass processes every event file into a located list entry",
                  std::to_string(files) + " files, " + std::to_string(events) + " events, " +
                      std::to_string(added) + " entries added, " + std::to_string(located) +
                      " with four arrivals or more");
  tv_bench::Check(renders >= events, "the page is drawn once per event of the pass",
                  std::to_string(renders) + " page drawings for " + std::to_string(events) +
                      " events");
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  plat::QtUiServices ui;
  plat::InstallUi(&ui);
  Experiment exp;
  g_exp = &exp;
  CheckPass(exp);
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  plat::InstallUi(nullptr);
  if (g_eventsPerPass > 0)
    tv_bench::Goal("the page adds under 2 ms per event (its own time in the whole loop)",
                   reporter.Seconds("BM_PageShare") / g_eventsPerPass, 0.002);
  else
    std::printf("goal the page adds under 2 ms per event: not measured\n");
  return tv_bench::ExitCode();
}
