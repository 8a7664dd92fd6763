// Times the 3-D page and the Foc page.
// 3-D page, spinning (one timer tick of the turning timer: two frames), with 10,000 and
// 100,000 events in the window: target under 100 ms a frame on the software renderer.
// The scene rebuilt and compiled after an update: target under 1 s.
// Foc page: the page picture of a shear event with 16 sensors rendered after an update:
// target under 20 ms.
//
//   xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb
//       LIBGL_ALWAYS_SOFTWARE=1 bench_gl_source_pages [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/gl/GLview.h"
#include "views/source/SourceView.h"

namespace {

struct GLPage {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CGLview view;

  explicit GLPage(int events) {
    doc.m_pHypo = std::make_unique<CAEHypo>();
    CAEHypo& h = *doc.m_pHypo;
    h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = 50;
    h.m_fSizeZ = 100;
    h.m_nSensors = 16;
    for (int i = 0; i < 16; ++i) {
      const double a = i * 2 * M_PI / 8;
      h.m_pSensorXYZ[i] = {25 * std::cos(a), 25 * std::sin(a), i < 8 ? -20.0 : 20.0};
    }
    h.m_nMinArrivals = 1;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(-20, 20), mw(-1, 4);
    doc.m_fTimeStart = 0;
    doc.m_fTimeSpan = events + 1.0;
    for (int i = 0; i < events; ++i) {
      auto e = std::make_unique<AEEventEntry>();
      e->x = pos(rng) / 2;
      e->y = pos(rng) / 2;
      e->z = pos(rng) * 2;
      e->Mw = mw(rng);
      e->arrivals = 10;
      e->time = i;
      doc.m_EventList.push_back(std::move(e));
    }
    view.SetData(&doc);
    view.resize(800, 600);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) std::fprintf(stderr, "window not shown\n");
    QCoreApplication::processEvents();
    view.OnInitialUpdate();
    view.OnUpdate(nullptr, 0, nullptr);
  }
};

struct SourcePage {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CSourceView view;
  SourcePage() {
    doc.m_pHypo = std::make_unique<CAEHypo>();
    doc.m_pWave = std::make_unique<CAEWave>();
    CAEHypo& h = *doc.m_pHypo;
    h.m_nSensors = 16;
    for (int i = 0; i < 16; ++i) {
      const double a = i * 2 * M_PI / 8;
      h.m_pSensorXYZ[i] = {25 * std::cos(a), 25 * std::sin(a), i < 8 ? -20.0 : 20.0};
      h.m_pSensorSign[i] = 1;
      h.m_Rec.nSensor[i] = static_cast<std::int8_t>(i);
      h.m_Rec.nPolarity[i] = static_cast<std::int8_t>(i % 3 - 1);
      h.m_Rec.fAmp[i] = 10.0f + i;
    }
    h.m_Rec.nArrivals = 12;
    h.m_Rec.nMecType = 1;
    h.m_Rec.fStrike = 30;
    h.m_Rec.fDip = 60;
    h.m_Rec.fRake = 90;
    doc.m_pWave->Allocate(16, 2048, 10);
    view.SetData(&doc);
    view.resize(800, 800);
    view.OnInitialUpdate();
  }
};

std::unique_ptr<GLPage> g_gl[2];
std::unique_ptr<SourcePage> g_source;

void BM_SpinTick(benchmark::State& state) {
  GLPage& p = *g_gl[state.range(0)];
  for (auto _ : state) p.view.OnTimer(CGLview::TIMER_ROTATE);
  state.counters["frames_per_tick"] = 2;
}
BENCHMARK(BM_SpinTick)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_UpdateRebuild(benchmark::State& state) {
  GLPage& p = *g_gl[state.range(0)];
  for (auto _ : state) p.view.OnUpdate(nullptr, 0, nullptr);
}
BENCHMARK(BM_UpdateRebuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SourceRender(benchmark::State& state) {
  for (auto _ : state) g_source->view.OnUpdate(nullptr, 0x10, nullptr);
}
BENCHMARK(BM_SourceRender)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  plat::testing::ScriptedUi ui;  // status-bar texts go nowhere
  g_gl[0] = std::make_unique<GLPage>(10000);
  g_gl[1] = std::make_unique<GLPage>(100000);
  g_source = std::make_unique<SourcePage>();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_gl[0].reset();
  g_gl[1].reset();
  return 0;
}
