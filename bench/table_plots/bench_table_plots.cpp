// Times the table drawings into a 96-dpi image of a 32000 x 32000 page (0.01 mm):
// - the x-y curves of a 101 x 4000 table (one X column, 100 Y columns with lines; the
//   argument is the noise in thousandths of the amplitude), target under 50 ms a drawing;
// - the colour map of a 201 x 201 table (an H variable of 200 values), target under
//   100 ms a drawing.
//
//   bench_table_plots [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "base/series/KZ_MultiVarObj.h"
#include "common/RatioReporter.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/QtUi.h"

namespace {

constexpr int kPage = 32000;

QImage& Page() {
  static QImage image(kPage * 96 / 2540, kPage * 96 / 2540, QImage::Format_RGB32);
  return image;
}

void Draw(KZ_MultiVarObj& table) {
  QImage& image = Page();
  image.fill(Qt::white);
  plat::CImageDC dc(&image, 96, 96);
  dc.SetMapMode(MM_HIMETRIC);
  table.DrawXY(&dc, 3000, -3000, 24000, 20000, 1);
}

// 100 sine curves of up to 13 periods over 4000 samples, smooth (as loading-machine
// series are) or with noise of a tenth of the amplitude (most samples then move the line
// by more than the 100-unit thinning and are drawn, several to a pixel column).
std::unique_ptr<KZ_MultiVarObj> CurveTable(double noise) {
  auto t = std::make_unique<KZ_MultiVarObj>();
  t->SetSize(101, 4000);
  t->m_nColumns = 101;
  for (int i = 0; i < 4000; ++i) t->m_ppData[0][i] = i * 0.01;
  t->m_Columns[0].SetAll(4000, 0, 40, "t", "s", 1);
  for (int c = 1; c <= 100; ++c) {
    for (int i = 0; i < 4000; ++i)
      t->m_ppData[c][i] = std::sin(i * 0.0002 * c) + noise * std::sin(i * 1.7 + c);
    t->m_Columns[c].SetAll(4000, -1.2, 1.2, "y", "V", 2);
    t->m_Columns[c].m_nColour = static_cast<std::int32_t>(RGB(c * 2, 0, 255 - c * 2));
  }
  return t;
}

// Column 0 the vertical coordinate, columns 1..200 a smooth field; H the parameter.
std::unique_ptr<KZ_MultiVarObj> MapTable() {
  auto t = std::make_unique<KZ_MultiVarObj>();
  t->SetSize(201, 201);
  t->m_nColumns = 201;
  for (int i = 0; i < 201; ++i) t->m_ppData[0][i] = i;
  t->m_Columns[0].SetAll(201, 0, 200, "depth", "mm", 0);
  for (int c = 1; c <= 200; ++c) {
    for (int i = 0; i < 201; ++i) t->m_ppData[c][i] = std::sin(c * 0.05) * std::cos(i * 0.04);
    t->m_Columns[c].SetAll(201, -1, 1, "v", "", 2);
  }
  static double h[200];
  for (int k = 0; k < 200; ++k) h[k] = k;
  t->m_pHVar = std::make_unique<KZ_Var1D>();
  t->m_pHVar->Attach("position", "mm", h, nullptr, 200, 0, 0, 199, 1, 0, 0);
  t->m_pHVar->m_nPlotStyle = 2;
  return t;
}

void BM_CurvePlot101x4000(benchmark::State& state) {
  auto t = CurveTable(state.range(0) / 1000.0);
  for (auto _ : state) {
    Draw(*t);
    benchmark::DoNotOptimize(Page().constBits());
  }
}
BENCHMARK(BM_CurvePlot101x4000)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ColourMap201x201(benchmark::State& state) {
  auto t = MapTable();
  for (auto _ : state) {
    Draw(*t);
    benchmark::DoNotOptimize(Page().constBits());
  }
}
BENCHMARK(BM_ColourMap201x201)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  tv_bench::Goal("x-y curves 101 x 4000, smooth", reporter.Seconds("BM_CurvePlot101x4000/0"),
                 0.050);
  tv_bench::Goal("x-y curves 101 x 4000, noisy", reporter.Seconds("BM_CurvePlot101x4000/100"),
                 0.050);
  tv_bench::Goal("colour map 201 x 201", reporter.Seconds("BM_ColourMap201x201"), 0.100);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
