// Times drawing the Wave page of the sample experiment's first event (16 channels of
// 2000 samples, picked and located) into a 96-dpi image of the whole page, the work of
// one screen paint. Target: under 10 ms a page.
//
//   bench_wave_page [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "common/RatioReporter.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/QtUi.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/wave/WaveView.h"
#include "common/TempFolder.h"

namespace {

struct Page {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CWaveView view;
  QImage image;

  Page() {
    const std::string dir = tv_bench::WorkDir() + "/SynthCube";
    std::filesystem::remove_all(dir);
    std::filesystem::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthCube", dir,
                          std::filesystem::copy_options::recursive);
    {
      plat::testing::ScriptedUi ui;
      ui.ExpectFileDialog(plat::testing::Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
      if (!doc.OnOpenDocument(dir + "/CUBE.00/000000.WAV")) std::abort();
    }
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0);
    view.SetData(&doc);
    view.resize(1100, 900);
    view.OnInitialUpdate();
    image = QImage(27000 * 96 / 2540, 23000 * 96 / 2540, QImage::Format_RGB32);
  }

  void Draw() {
    plat::CImageDC dc(&image, 96, 96);
    dc.PatBlt(0, 0, image.width(), image.height(), WHITENESS);
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(&dc);
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

void BM_DrawWavePage(benchmark::State& state) {
  for (auto _ : state) {
    g_page->Draw();
    benchmark::DoNotOptimize(g_page->image.constBits());
  }
  state.counters["pages_per_second"] =
      benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DrawWavePage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  Page page;
  g_page = &page;
  {
    // The timed drawing must draw the event, and the same picture every time.
    page.Draw();
    const QImage first = page.image.copy();
    page.Draw();
    const long ink = InkPixels(first);
    tv_bench::Check(ink > first.width() * first.height() / 100 && page.image == first,
                    "the Wave page draws the event, the same picture on every draw",
                    std::to_string(ink) + " drawn pixels");
  }
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  tv_bench::Goal("Wave page under 10 ms", reporter.Seconds("BM_DrawWavePage"), 0.010);
  return tv_bench::ExitCode();
}
