// Times the Hypo page's three-projection plot (the default plot type) of 100,000 events
// spread through a cylinder 50 mm across and 100 mm long: a full render of the page
// picture at screen resolution with its paint (what an update costs), one drag-rotation step (turn,
// render, paint) and a repaint from the page picture. Targets: a full render and a drag
// step under 100 ms, a repaint under 5 ms.
//
//   bench_hypo_page [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "common/RatioReporter.h"
#include "platform/qt/QtUi.h"
#include "platform/testing/FakeDocumentHost.h"
#include "views/hypo/LocView.h"

namespace {

struct Page {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CLocView view;

  Page() {
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
    h.m_nPlotType = 6;
    h.m_fHypoScale = 20;
    doc.m_fTimeSpan = 100000;
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1, 1);
    for (int i = 0; i < 100000; ++i) {
      float x, y;
      do {
        x = 25 * u(rng);
        y = 25 * u(rng);
      } while (x * x + y * y > 625);
      doc.AddEventEntry(x, y, 50 * u(rng), 1, 0, 0, 0, i, 10, static_cast<std::uint32_t>(i), 1);
    }
    view.SetData(&doc);
    view.resize(1280, 900);
    view.OnInitialUpdate();
  }
};

Page* g_page = nullptr;

// Pixels of an image that are not white.
long InkPixels(const QImage& image) {
  long n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  return n;
}

// An update followed by the paint that renders the page picture and copies it.
void BM_FullRender(benchmark::State& state) {
  CLocView& v = g_page->view;
  for (auto _ : state) {
    v.OnUpdate(nullptr, HINT_LOC, nullptr);
    benchmark::DoNotOptimize(v.BackingImage().constBits());
  }
}
BENCHMARK(BM_FullRender)->Unit(benchmark::kMillisecond);

void BM_DragStep(benchmark::State& state) {
  CLocView& v = g_page->view;
  v.OnLButtonDown(MK_LBUTTON, {100, 100});
  int x = 100;
  for (auto _ : state) {
    x += 2;
    v.OnMouseMove(MK_LBUTTON, {x, 100});
    v.OnUpdate(nullptr, HINT_LOC, nullptr);  // what the document's UpdateAllViews delivers
    benchmark::DoNotOptimize(v.BackingImage().constBits());
  }
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMillisecond);

void BM_RepaintFromPicture(benchmark::State& state) {
  CLocView& v = g_page->view;
  v.BackingImage();
  for (auto _ : state) {
    v.Invalidate(TRUE);
    benchmark::DoNotOptimize(v.BackingImage().constBits());
  }
}
BENCHMARK(BM_RepaintFromPicture)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  Page page;
  g_page = &page;
  {
    // The repaint from the page picture shows what the full render drew, and the render
    // draws the events.
    CLocView& v = page.view;
    v.OnUpdate(nullptr, HINT_LOC, nullptr);
    const QImage rendered = v.BackingImage().copy();
    v.Invalidate(TRUE);
    const long ink = InkPixels(rendered);
    tv_bench::Check(
        ink > rendered.width() * rendered.height() / 100 && v.BackingImage() == rendered,
        "the Hypo page draws the events; its repaint shows the same picture",
        std::to_string(ink) + " drawn pixels");
  }
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  tv_bench::Goal("full render under 100 ms", reporter.Seconds("BM_FullRender"), 0.1);
  tv_bench::Goal("drag step under 100 ms", reporter.Seconds("BM_DragStep"), 0.1);
  tv_bench::Goal("repaint from the page picture under 5 ms",
                 reporter.Seconds("BM_RepaintFromPicture"), 0.005);
  return tv_bench::ExitCode();
}
