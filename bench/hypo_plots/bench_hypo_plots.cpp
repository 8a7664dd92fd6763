// Times an update and repaint of each Hypo plot type (1 and 6 also in bench_hypo_page) with 100,000
// generated events in a cylinder 50 mm across and 100 mm long, every event with a
// catalogue record carrying first motions. The first-motion ratios are read once per
// update, as the page does. Targets: types 0, 2-13 and 16-19 under 200 ms each, type 20
// under 500 ms (see BM_MeanSolution200), type 21 under 100 ms once its background exists (the first
// drawing builds it), type 15 with 10,000 events under 1 s (100,000 printed for the record).
//
//   bench_hypo_plots [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <memory>
#include <random>

#include "aecore/document/TremviaDoc.h"
#include "platform/qt/QtUi.h"
#include "platform/testing/FakeDocumentHost.h"
#include "views/hypo/LocView.h"

namespace {

struct Page {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CLocView view;

  explicit Page(int events) {
    CAEHypo& h = *doc.m_pHypo;
    h.m_nShape = 0;
    h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = 50;
    h.m_fSizeZ = 100;
    h.m_nSensors = 16;
    h.m_strTitle = "Benchmark";
    h.m_tmStart.tm_year = 126;
    h.m_tmStart.tm_mday = 1;
    h.m_tmRef = h.m_tmStart;
    h.m_nMinArrivals = 0;
    h.m_fHypoScale = 20;
    h.m_bTTypeOpen = 1;
    h.m_fMagMin = 0;
    h.m_fMagMax = 3;
    h.m_fFaultAzimuth = 30;
    h.m_fFaultDip = 60;
    h.m_fFaultLen = 50;
    h.m_fFaultWidth = 25;
    for (int k = 0; k < 16; ++k) {
      h.m_pSensorXYZ[k] =
          KZ_Point3D{25 * std::cos(k * 0.3927), 25 * std::sin(k * 0.3927), (k % 4 - 1.5) * 25};
      h.m_pSensorSign[k] = 1;
    }
    doc.m_fTimeSpan = events;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    std::exponential_distribution<float> gr(2.3f);
    std::vector<BYTE> catalogue;
    const int size = AEH_HEADER_SIZE + 18 * 16;
    std::vector<BYTE> bytes(size);
    for (int i = 0; i < events; ++i) {
      float x, y;
      do {
        x = 25 * u(rng);
        y = 25 * u(rng);
      } while (x * x + y * y > 625);
      const float z = 50 * u(rng);
      doc.AddEventEntry(x, y, z, gr(rng), 0, 0, 0, i, 12, static_cast<std::uint32_t>(i), 1);
      AEHRecord r{};
      r.nArrivals = 16;
      r.fX = x;
      r.fY = y;
      r.fZ = z;
      for (int k = 0; k < 16; ++k) {
        r.nSensor[k] = static_cast<std::int8_t>(k);
        r.nPolarity[k] = static_cast<std::int8_t>(u(rng) > -0.2f ? 1 : -1);
        r.fSN[k] = 10;
      }
      AEH_EncodeRecord(r, 16, bytes.data());
      catalogue.insert(catalogue.end(), bytes.begin(), bytes.end());
    }
    h.m_fpAEH = std::make_unique<plat::File>();
    h.m_fpAEH->OpenMemory(std::move(catalogue), false);
    h.m_nRecSize = size;
    h.m_nAE = events;
    view.SetData(&doc);
    view.resize(1280, 900);
    view.OnInitialUpdate();
  }

  // An update and the paint that renders the page picture at screen resolution.
  void Draw(int type) {
    doc.m_pHypo->m_nPlotType = type;
    view.OnUpdate(nullptr, HINT_LOC, nullptr);  // drops the ratio cache as every update does
    benchmark::DoNotOptimize(view.BackingImage().constBits());
  }
};

Page* g_large = nullptr;
Page* g_small = nullptr;
Page* g_tiny = nullptr;

void BM_PlotType(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  if (type == 21) g_large->Draw(21);  // the background once, outside the timing
  for (auto _ : state) g_large->Draw(type);
}
BENCHMARK(BM_PlotType)
    ->DenseRange(0, 19)
    ->Arg(21)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1);

// The mean mechanism's grid search weighs every collected first motion in each of its
// 186,624 cells, so its cost grows with the window's arrivals: timed on 200 events (1,000 took 49
// s).
void BM_MeanSolution200(benchmark::State& state) {
  for (auto _ : state) g_tiny->Draw(20);
}
BENCHMARK(BM_MeanSolution200)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_CorrelationRadius10k(benchmark::State& state) {
  for (auto _ : state) g_small->Draw(15);
}
BENCHMARK(BM_CorrelationRadius10k)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  Page large(100000), small(10000), tiny(200);
  g_tiny = &tiny;
  g_large = &large;
  g_small = &small;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
