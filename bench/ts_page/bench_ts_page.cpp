// Times the TS page of a long experiment: rendering the cached page picture after an
// update, as every hint for the page does, repainting the window from that picture, and
// rebuilding the peaks' moving-window table.
// The experiment: 1,000,000 peaks and 100,000 located events over ten hours, and a main
// series of 1,000,000 samples (stress, pressure, two strain pairs, an AE counter).
// Targets: an update under 100 ms with the statistics panels off; with the fractal panel
// on (20,000 events, 500 a window) under 2 s; a repaint from the cache under 5 ms.
// Before timing, the page picture is checked against the page drawn through the painter
// alone, the series' curves against their known course, and rows of the moving-window
// table against the window statistics counted directly.
//
//   bench_ts_page [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "base/plot/view/KZ_View_testkit.h"
#include "common/PictureMatch.h"
#include "common/RatioReporter.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/QtUi.h"
#include "platform/testing/FakeDocumentHost.h"
#include "views/timeseries/TSView.h"

namespace {

constexpr double kSpan = 36000.0;

struct Page {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CTSView view;

  Page(int events, bool fractal) {
    std::mt19937 rng(7);
    std::tm start{};
    start.tm_year = 120;
    start.tm_mday = 1;
    start.tm_isdst = -1;
    doc.m_pHypo->m_tmStart = doc.m_pHypo->m_tmRef = start;
    doc.m_pHypo->m_strTitle = "bench";
    doc.m_fTimeStart = 0;
    doc.m_fTimeSpan = kSpan;

    CAEPeak& pk = *doc.GetPeak(0);
    const int n = 1000000;
    pk.Alloc(n);
    std::uniform_int_distribution<int> level(0, 12);
    for (int i = 0; i < n; ++i) {
      const double t = kSpan * i / n;
      pk.m_pSec[i] = static_cast<std::int32_t>(t);
      pk.m_pUSec[i] = static_cast<std::int32_t>((t - std::floor(t)) * 1e6);
      pk.m_pLevel[i] = static_cast<std::uint8_t>(level(rng));
      pk.m_pFlag[i] = i % 50 ? 1 : 0;
    }
    pk.m_nCount = n;

    std::uniform_real_distribution<float> pos(-10, 10);
    std::uniform_int_distribution<int> arrivals(4, 16);
    for (int i = 0; i < events; ++i)
      doc.AddEventEntry(pos(rng), pos(rng), 2 * pos(rng), 0, 0, 0, 0, kSpan * i / events,
                        static_cast<std::uint16_t>(arrivals(rng)), static_cast<std::uint32_t>(i),
                        1);

    const char* names[] = {"Stress", "CP", "Strain1a", "Strain1c", "Strain2a", "Strain2c", "AE"};
    auto ts = std::make_unique<KZ_TSdata>();
    const int samples = 1000000;
    if (!ts->Alloc(7, samples, false, nullptr)) std::abort();
    std::tm tm = start;
    ts->m_tStart = static_cast<std::int64_t>(std::mktime(&tm));
    for (int c = 0; c < 7; ++c) {
      std::strncpy(ts->m_pChannel[c].szName, names[c], sizeof ts->m_pChannel[c].szName - 1);
      ts->m_pChannel[c].dScale = 1.0;
      ts->m_pChannel[c].nPlot = 1;
    }
    std::normal_distribution<double> noise(0, 20);
    for (int i = 0; i < samples; ++i) {
      const double t = kSpan * i / samples;
      ts->m_pTime[i] = t * 1000;
      const double load = 400 * t / kSpan;
      ts->m_ppData[0][i] = static_cast<std::int32_t>(load + noise(rng) * 0.1);
      ts->m_ppData[1][i] = 50;
      for (int c = 2; c < 6; ++c)
        ts->m_ppData[c][i] = static_cast<std::int32_t>((c % 2 ? -3 : 10) * load + noise(rng));
      ts->m_ppData[6][i] = i / 10;
    }
    ts->m_nSamples = samples;
    doc.m_pTS = std::move(ts);

    view.SetData(&doc);
    view.resize(1100, 900);
    view.m_bBMLH = 0;
    if (fractal) {
      view.m_bD2 = 1;
      view.m_nD2 = 500;
    }
    view.OnInitialUpdate();
  }
};

Page* g_off = nullptr;
Page* g_fractal = nullptr;

void BM_UpdateStatisticsOff(benchmark::State& state) {
  for (auto _ : state) g_off->view.OnUpdate(nullptr, HINT_TS, nullptr);
}
BENCHMARK(BM_UpdateStatisticsOff)->Unit(benchmark::kMillisecond);

void BM_UpdateFractalPanel(benchmark::State& state) {
  for (auto _ : state) g_fractal->view.OnUpdate(nullptr, HINT_TS, nullptr);
}
BENCHMARK(BM_UpdateFractalPanel)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RepaintFromCache(benchmark::State& state) {
  QImage image(1100, 900, QImage::Format_RGB32);
  for (auto _ : state) {
    plat::CImageDC dc(&image, 96, 96);
    g_off->view.OnPrepareDC(&dc);
    g_off->view.OnDraw(&dc);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_RepaintFromCache)->Unit(benchmark::kMillisecond);

// The moving-window table of the first peak list (windows of 500 peaks, step 125), rebuilt
// by the initial update, the property sheet's OK and every peak load.
void BM_MovingWindowTable(benchmark::State& state) {
  for (auto _ : state) g_off->doc.GetPeak(0)->MovingWindowStatistics(500, 125);
}
BENCHMARK(BM_MovingWindowTable)->Unit(benchmark::kMillisecond);

// The update's page picture against the page drawn through the painter alone. Crowded
// series are drawn as one span per pixel column, so a line may lie a pixel aside: every
// inked pixel of each picture must have ink of the other within one pixel.
void CheckPicture(Page& page) {
  const char* what = "TS page picture within one pixel of the page drawn through the painter alone";
  page.view.OnUpdate(nullptr, HINT_TS, nullptr);
  const QImage drawn = plat::PackedDibToImage(page.view.m_hDIB.data(), page.view.m_hDIB.Size());
  if (drawn.isNull()) {
    tv_bench::Check(false, what, "no page picture");
    return;
  }
  const QImage plain = kz_test::DrawPlain(page.view, drawn.size());
  long inked = 0, differ = 0;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) {
      inked += tv_bench::Inked(plain.pixel(x, y));
      differ += (plain.pixel(x, y) & 0xFFFFFF) != (drawn.pixel(x, y) & 0xFFFFFF);
    }
  const long ab = tv_bench::UnmatchedInk(drawn, plain), ba = tv_bench::UnmatchedInk(plain, drawn);
  tv_bench::Check(inked > 50000 && ab == 0 && ba == 0, what,
                  std::to_string(inked) + " inked, " + std::to_string(differ) + " pixels differ, " +
                      std::to_string(ab) + " + " + std::to_string(ba) +
                      " without ink of the other within one pixel");
}

// The curves of the main series and the counts where the data put them, at the fraction f
// of the window. The load runs linearly from 0 to 400, the stress axis spans 0..500 and
// the strain axis -10000..10000 (mean strains start at 0): in the stress-strain slot the
// stress at 0.8 f of the slot height, mean axial strain (10 x load) at 0.5 + 0.2 f, mean
// lateral strain (-3 x load) at 0.5 - 0.06 f, mean volumetric strain (axial + 2 lateral)
// at 0.5 + 0.08 f. The counts slot spans 0..10000: 100,000 records evenly over the window
// rise at 10 f, the 12 in 13 events with five arrivals or more at 9.23 f. Each curve is
// looked for in its colour within two pixels of its place, at 40 places along its range
// where no other curve of the slot passes within three pixels. The slots are the page's
// last two frames.
void CheckCurves(Page& page) {
  const QImage drawn = plat::PackedDibToImage(page.view.m_hDIB.data(), page.view.m_hDIB.Size());
  const auto rec = kz_test::RecordPageWithRealFonts(page.view, page.view.LogPixelsX());
  std::vector<const plat::DcOp*> frames;
  for (const plat::DcOp* op : rec->OpsOf(plat::DcOpKind::Rectangle))
    if (op->state.pen.Width() == 20 && op->state.brush.Style() == BS_NULL) frames.push_back(op);
  if (drawn.isNull() || frames.size() < 2) {
    tv_bench::Check(false, "TS series curves where the data put them", "no picture or no slots");
    return;
  }
  const plat::DcOp* slot[2] = {frames[frames.size() - 2], frames.back()};
  struct Curve {
    int slot;
    QRgb colour;
    double at0, slope;  // height fraction at f = 0 and its rise over the window
    double f0, f1;      // the part of the window inside the slot
    const char* name;
  };
  const Curve curves[] = {{0, qRgb(255, 0, 0), 0.0, 0.8, 0.01, 0.99, "stress"},
                          {0, qRgb(0, 64, 0), 0.5, 0.2, 0.01, 0.99, "axial"},
                          {0, qRgb(0, 128, 0), 0.5, -0.06, 0.01, 0.99, "lateral"},
                          {0, qRgb(0, 255, 0), 0.5, 0.08, 0.01, 0.99, "volumetric"},
                          {1, qRgb(0, 0, 255), 0.0, 10.0, 0.002, 0.098, "records"},
                          {1, qRgb(0, 0, 0), 0.0, 120.0 / 13, 0.002, 0.098, "events"}};
  auto device = [&](const Curve& c, double f) {
    const RECT& r = slot[c.slot]->rect;
    const double h = c.at0 + c.slope * f;
    return slot[c.slot]->state.LPtoDP(
        POINT{static_cast<LONG>(std::min(r.left, r.right) + f * std::abs(r.right - r.left)),
              static_cast<LONG>(std::min(r.top, r.bottom) + h * std::abs(r.top - r.bottom))});
  };
  int looked = 0, found = 0;
  std::string missed;
  for (const Curve& c : curves)
    for (int k = 0; k < 40; ++k) {
      const double f = c.f0 + (c.f1 - c.f0) * k / 39;
      const POINT p = device(c, f);
      bool alone = true;
      for (const Curve& o : curves)
        if (&o != &c && o.slot == c.slot && std::abs(device(o, f).y - p.y) <= 3) alone = false;
      if (!alone) continue;
      ++looked;
      bool hit = false;
      for (int dy = -2; dy <= 2 && !hit; ++dy)
        for (int dx = -1; dx <= 1 && !hit; ++dx) {
          const int x = p.x + dx, y = p.y + dy;
          hit = x >= 0 && y >= 0 && x < drawn.width() && y < drawn.height() &&
                (drawn.pixel(x, y) & 0xFFFFFF) == (c.colour & 0xFFFFFF);
        }
      if (hit)
        ++found;
      else if (missed.size() < 100)
        missed += std::string(" ") + c.name + " at f " + std::to_string(f).substr(0, 5);
    }
  tv_bench::Check(looked > 150 && found == looked, "TS series curves where the data put them",
                  std::to_string(found) + " of " + std::to_string(looked) + " places found" +
                      (missed.empty() ? "" : "; missed:" + missed));
}

// Rows of the moving-window table of the first peak list (windows of 500 peaks, step 125)
// against the flagged peaks of each window counted directly: the count, the
// maximum-likelihood b-value N / (ln 10 * sum of (M + 0.125)), and the least-squares slope
// of log10 of the cumulative counts by level.
void CheckWindowTable(CTremviaDoc& doc) {
  CAEPeak& pk = *doc.GetPeak(0);
  pk.MovingWindowStatistics(500, 125);
  const int n = pk.m_nCount;
  auto time = [&](int i) {
    i = std::clamp(i, 0, n - 1);
    return pk.m_pSec[i] + pk.m_pUSec[i] * 1e-6;
  };
  const int rows = (n + 124) / 125;
  int bad = 0;
  std::string first;
  for (const int r : {0, 1, 2345, rows - 5, rows - 1}) {
    const int i = r * 125;
    const double t1 = time(i), t2 = time(i + 500);
    int N = 0, cum[12] = {};
    double S = 0;
    for (int k = 0; k < n; ++k) {
      const double t = time(k);
      if (!pk.m_pFlag[k] || t < t1 || t > t2) continue;
      ++N;
      S += 0.25 * pk.m_pLevel[k] + 0.125;
      for (int l = 0; l <= std::min<int>(pk.m_pLevel[k], 11); ++l) ++cum[l];
    }
    const double logN = std::log10(N), bML = N / (std::log(10.0) * S);
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int np = 0;
    for (; np < 12 && cum[np] > 0; ++np) {
      const double x = 0.25 * np, y = std::log10(cum[np]);
      sx += x;
      sy += y;
      sxx += x * x;
      sxy += x * y;
    }
    const double b = -(np * sxy - sx * sy) / (np * sxx - sx * sx);
    const AEPeakWindowRow& row = pk.m_pRows[r];
    const bool ok = r < pk.m_nRows && row.tStart == t1 && row.tEnd == t2 &&
                    std::abs(row.logN - logN) < 1e-6 && std::abs(row.bML - bML) < 1e-9 * bML &&
                    std::abs(row.bLSQ - b) < 1e-5;
    if (!ok && !bad)
      first = "; row " + std::to_string(r) + ": N " + std::to_string(N) + ", logN " +
              std::to_string(row.logN) + " / " + std::to_string(logN) + ", bML " +
              std::to_string(row.bML) + " / " + std::to_string(bML) + ", bLSQ " +
              std::to_string(row.bLSQ) + " / " + std::to_string(b);
    bad += !ok;
  }
  tv_bench::Check(pk.m_nRows == rows && bad == 0,
                  "moving-window table rows equal the window statistics counted directly",
                  std::to_string(pk.m_nRows) + " rows (" + std::to_string(rows) + " windows), " +
                      std::to_string(bad) + " of 5 rows checked differ" + first);
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  Page off(100000, false);
  Page fractal(20000, true);
  g_off = &off;
  g_fractal = &fractal;
  CheckPicture(off);
  CheckCurves(off);
  CheckWindowTable(off.doc);
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  tv_bench::Goal("update with the statistics panels off under 100 ms",
                 reporter.Seconds("BM_UpdateStatisticsOff"), 0.1);
  tv_bench::Goal("update with the fractal panel on under 2 s",
                 reporter.Seconds("BM_UpdateFractalPanel"), 2.0);
  tv_bench::Goal("repaint from the cache under 5 ms", reporter.Seconds("BM_RepaintFromCache"),
                 0.005);
  return tv_bench::ExitCode();
}
