// Events per second through the document on a synthetic 16-channel cube experiment:
//   Road/PickLocateMagnitudes: pick every channel, locate, corner frequency and magnitudes;
//   Road/FullProcessing: picking and location repeated around the origin, source
//   parameters and the first-motion mechanism search.
// Targets: pick + locate under 10 ms per event; full processing under 50 ms per event.
// Before timing, every event is picked and located once and its location checked against
// the source it was written from.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "aecore/document/SynthExperiment_testkit.h"
#include "aecore/document/TremviaDoc.h"
#include "common/RatioReporter.h"
#include "platform/UiServices.h"
#include "platform/testing/FakeDocumentHost.h"
#include "common/TempFolder.h"

namespace {

constexpr int kEvents = 20;

// The experiment is written once into a temporary folder; the document opens event 0 with
// the parameter file chosen by a scripted dialog and creates the catalogue.
class ScriptedOpen : public plat::UiServices {
 public:
  explicit ScriptedOpen(std::string pad) : pad_(std::move(pad)) {}
  int MessageBox(const std::string&, UINT, const std::string&) override { return IDYES; }
  void MessageBeep(UINT) override {}
  std::optional<std::string> FileDialog(const plat::FileDialogOptions&) override { return pad_; }
  std::optional<std::string> BrowseFolder(const std::string&) override { return std::nullopt; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void SetPaneText(int, const std::string&, bool) override {}
  bool GetInputState() override { return false; }

 private:
  std::string pad_;
};

std::vector<synth::Source>& Sources() {
  static std::vector<synth::Source> sources;
  return sources;
}

synth::Experiment& Experiment() {
  static synth::Experiment e = [] {
    synth::Experiment x;
    x.dir = tv_bench::WorkDir() + "/experiment";
    std::filesystem::remove_all(x.dir);
    std::filesystem::create_directories(x.dir);
    x.WritePad();
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> u(-18, 18);
    for (int i = 0; i < kEvents; ++i) {
      Sources().push_back({u(rng), u(rng), u(rng)});
      x.WriteEvent(i, Sources().back());
    }
    return x;
  }();
  return e;
}

void RunRoad(benchmark::State& state, bool full) {
  synth::Experiment& e = Experiment();
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedOpen ui(e.PadPath());
  plat::InstallUi(&ui);
  std::filesystem::remove(e.dir + "/SYN.aeh");
  doc.OnOpenDocument(e.EventPath(0));
  int events = 0;
  for (auto _ : state) {
    if (full) {
      doc.ProcessCurrentEvent(3, false, 0, 0, 0, 0);
    } else {
      doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
      doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0);
    }
    benchmark::DoNotOptimize(doc.m_pHypo->m_Rec.fX);
    ++events;
    state.PauseTiming();
    if (!doc.StepEvent(1)) doc.OnOpenDocument(e.EventPath(0));
    state.ResumeTiming();
  }
  plat::InstallUi(nullptr);
  state.counters["events/s"] = benchmark::Counter(events, benchmark::Counter::kIsRate);
  state.counters["time/event"] =
      benchmark::Counter(events, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                         benchmark::Counter::OneK::kIs1000);
}

void BM_PickLocateMagnitudes(benchmark::State& state) { RunRoad(state, false); }
void BM_FullProcessing(benchmark::State& state) { RunRoad(state, true); }

BENCHMARK(BM_PickLocateMagnitudes)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_FullProcessing)->Unit(benchmark::kMillisecond)->Iterations(100);

// Picks and locates every event once; the largest and median distance from the sources.
void CheckLocations() {
  synth::Experiment& e = Experiment();
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedOpen ui(e.PadPath());
  plat::InstallUi(&ui);
  std::filesystem::remove(e.dir + "/SYN.aeh");
  doc.OnOpenDocument(e.EventPath(0));
  std::vector<double> errors;
  for (int i = 0; i < kEvents; ++i) {
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0);
    const AEHRecord& r = doc.m_pHypo->m_Rec;
    const synth::Source& s = Sources()[i];
    errors.push_back(std::sqrt((r.fX - s.x) * (r.fX - s.x) + (r.fY - s.y) * (r.fY - s.y) +
                               (r.fZ - s.z) * (r.fZ - s.z)));
    if (i + 1 < kEvents && !doc.StepEvent(1)) break;
  }
  plat::InstallUi(nullptr);
  std::sort(errors.begin(), errors.end());
  const double worst = errors.empty() ? 1e9 : errors.back();
  char detail[128];
  std::snprintf(detail, sizeof detail, "%zu events, median %.2f mm, largest %.2f mm, limit 1 mm",
                errors.size(), errors.empty() ? 0.0 : errors[errors.size() / 2], worst);
  tv_bench::Check(static_cast<int>(errors.size()) == kEvents && worst <= 1.0,
                  "locations against the sources", detail);
}

}  // namespace

int main(int argc, char** argv) {
  tv_bench::Initialize(&argc, argv);
  CheckLocations();
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  tv_bench::Goal("pick, locate and magnitudes under 10 ms per event",
                 reporter.Seconds("BM_PickLocateMagnitudes"), 0.010);
  tv_bench::Goal("full processing under 50 ms per event", reporter.Seconds("BM_FullProcessing"),
                 0.050);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
