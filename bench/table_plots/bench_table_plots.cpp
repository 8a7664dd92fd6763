// Times the table drawings into a 96-dpi image of a 32000 x 32000 page (0.01 mm):
// - the x-y curves of a 101 x 4000 table (one X column, 100 Y columns with lines; the
//   argument is the noise in thousandths of the amplitude), targets under 50 ms a smooth
//   drawing and under 35 ms a noisy one;
// - the colour map of a 201 x 201 table (an H variable of 200 values), target under
//   100 ms a drawing.
//
// Before timing, the curve drawings are checked against the same tables drawn with every
// segment through the painter (the device context's raster shortcuts off), and the
// colour map's cells against the table's values.
//
//   bench_table_plots [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "base/series/KZ_MultiVarObj.h"
#include "common/PictureMatch.h"
#include "common/RatioReporter.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/QtUi.h"

namespace {

constexpr int kPage = 32000;

QImage& Page() {
  static QImage image(kPage * 96 / 2540, kPage * 96 / 2540, QImage::Format_RGB32);
  return image;
}

void Draw(KZ_MultiVarObj& table, bool shortcuts = true) {
  QImage& image = Page();
  image.fill(Qt::white);
  plat::CImageDC dc(&image, 96, 96);
  dc.Qt()->SetRasterShortcuts(shortcuts);
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

// The x-y curves drawn with crowded lines thinned to one span per pixel column against
// every segment drawn by the painter: the same picture within one pixel, both ways. On
// the whole page (where later curves cover earlier ones) any ink counts; the pixels of a
// curve drawn alone must also match pixels of its colour (the axes it crosses may show
// through a pixel aside).
void CheckCurves(double noise) {
  auto t = CurveTable(noise);
  const std::string name = noise > 0 ? "noisy" : "smooth";
  Draw(*t, false);
  const QImage plain = Page().copy();
  Draw(*t, true);
  const QImage drawn = Page().copy();
  long inked = 0, differ = 0;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) {
      inked += tv_bench::Inked(plain.pixel(x, y));
      differ += plain.pixel(x, y) != drawn.pixel(x, y);
    }
  const long ab = tv_bench::UnmatchedInk(drawn, plain), ba = tv_bench::UnmatchedInk(plain, drawn);
  tv_bench::Check(inked > 100000 && ab == 0 && ba == 0,
                  "x-y curves 101 x 4000, " + name + ", within one pixel of every point drawn",
                  std::to_string(inked) + " inked, " + std::to_string(differ) + " pixels differ, " +
                      std::to_string(ab) + " + " + std::to_string(ba) +
                      " without ink of the other within one pixel");

  long curveInk = 0, curveMisses = 0;
  std::string which;
  for (const int c : {1, 37, 100}) {
    std::map<int, std::uint32_t> flags;
    for (int k = 1; k <= 100; ++k) {
      flags[k] = t->m_Columns[k].m_nAxisFlags;
      if (k != c) t->m_Columns[k].m_nAxisFlags = 0;
    }
    Draw(*t, false);
    const QImage one = Page().copy();
    Draw(*t, true);
    const QImage fast = Page().copy();
    for (auto& [k, f] : flags) t->m_Columns[k].m_nAxisFlags = f;
    const QRgb colour = qRgb(c * 2, 0, 255 - c * 2);
    for (int y = 0; y < one.height(); ++y)
      for (int x = 0; x < one.width(); ++x) curveInk += one.pixel(x, y) == colour;
    const long m =
        tv_bench::UnmatchedInk(fast, one, &colour) + tv_bench::UnmatchedInk(one, fast, &colour);
    curveMisses += m;
    which += (which.empty() ? "" : ", ") + std::to_string(c) + ": " + std::to_string(m);
  }
  tv_bench::Check(curveInk > 3000 && curveMisses == 0,
                  "x-y curves, " + name + ", single curves within one pixel in their colour",
                  std::to_string(curveInk) + " curve pixels; unmatched by column " + which);
}

// The colour map's cells against the table: column c (1..200) at H = c - 1 and row i at
// depth i fill the cell [c - 1, c] x [i, i + 1] of the 24000 x 20000 frame whose top-left
// corner is (3000, -3000), over H 0..199 and depth 0..200; the pixel at each cell's
// middle has the palette's colour of the value.
void CheckColourMap() {
  auto t = MapTable();
  Draw(*t);
  const QImage& page = Page();
  auto pixel = [](double logical) { return static_cast<int>(std::floor(logical * 96 / 2540)); };
  long cells = 0, differ = 0;
  std::string first;
  for (int c = 1; c <= 199; c += 9)
    for (int i = 0; i < 200; i += 7) {
      const double v = std::sin(c * 0.05) * std::cos(i * 0.04);
      const double lx = 3000 + (c - 0.5) * 24000.0 / 199, ly = -23000 + (i + 0.5) * 20000.0 / 200;
      const QRgb got = page.pixel(pixel(lx), pixel(-ly));
      const COLORREF want = t->m_Palette.ValueToColor(v, 1.0);
      ++cells;
      if (qRed(got) != GetRValue(want) || qGreen(got) != GetGValue(want) ||
          qBlue(got) != GetBValue(want)) {
        if (!differ)
          first = " (first: column " + std::to_string(c) + ", row " + std::to_string(i) + ")";
        ++differ;
      }
    }
  tv_bench::Check(
      cells > 500 && differ == 0, "colour map cells have the colours of the values",
      std::to_string(differ) + " of " + std::to_string(cells) + " cells differ" + first);
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  CheckCurves(0.0);
  CheckCurves(0.1);
  CheckColourMap();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  tv_bench::Goal("x-y curves 101 x 4000, smooth", reporter.Seconds("BM_CurvePlot101x4000/0"),
                 0.050);
  tv_bench::Goal("x-y curves 101 x 4000, noisy", reporter.Seconds("BM_CurvePlot101x4000/100"),
                 0.035);
  tv_bench::Goal("colour map 201 x 201", reporter.Seconds("BM_ColourMap201x201"), 0.100);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
