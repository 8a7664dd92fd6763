// Times an update and repaint of each Hypo plot type (6 also in bench_hypo_page) with 100,000
// generated events in a cylinder 50 mm across and 100 mm long, every event with a
// catalogue record carrying first motions, and as many peaks in the first peak list (for
// the peak magnitudes of type 2 and the inter-event times of type 14). The first-motion
// ratios are read once per update, as the page does. Targets: types 0-13 and 16 under
// 200 ms each, type 20 on 1,000 events under 500 ms (printed with the thread count it ran
// on), type 15 with 10,000 events under 1 s and, with --large, with 100,000 events under
// 10 s and a time growing at most as the 1.3th power of the number of events from 10,000
// to 100,000 (type 14 is timed, without a target). Types 17-19 draw an empty frame for
// any catalogue and type 21 draws the mechanisms of a catalogue this fixture does not
// hold, so they are not timed: a time would say nothing about 100,000 events. Every time
// is the median of three repetitions run interleaved with the other types. The
// outputs are checked: the mechanism grid against its exhaustive fill, the correlation
// integrals against direct pair counts, the peaks of types 2 and 14 against the list,
// the stereo specimen picture (type 5) against the same page drawn through the painter
// alone.
//
//   bench_hypo_plots [--large] [benchmark options]
#include <benchmark/benchmark.h>
#include <omp.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "base/numerics/KZ_MecaFit.h"
#include "common/RatioReporter.h"
#include "base/plot/view/KZ_View_testkit.h"
#include "platform/qt/QtDc.h"
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
    // Peaks at random times over the same span, magnitudes falling off as the events' do
    // (0.25 per level, levels 0 .. 11), in time order as peak files hold them.
    std::vector<double> times(static_cast<std::size_t>(events));
    std::uniform_real_distribution<double> when(0.0, events);
    for (double& t : times) t = when(rng);
    std::sort(times.begin(), times.end());
    CAEPeak& peaks = *doc.GetPeak(0);
    peaks.Alloc(events);
    peaks.m_nCount = events;
    for (int i = 0; i < events; ++i) {
      peaks.m_pSec[i] = static_cast<std::int32_t>(times[i]);
      peaks.m_pUSec[i] = static_cast<std::int32_t>((times[i] - peaks.m_pSec[i]) * 1e6);
      peaks.m_pLevel[i] = static_cast<std::uint8_t>(std::min(11.0f, gr(rng) / 0.25f));
      peaks.m_pFlag[i] = 1;
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
Page* g_mid = nullptr;

void BM_PlotType(benchmark::State& state) {
  const int type = static_cast<int>(state.range(0));
  for (auto _ : state) g_large->Draw(type);
}
// Type 15 at 100,000 events only with --large (BM_CorrelationRadius100k).
BENCHMARK(BM_PlotType)
    ->DenseRange(0, 14)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

// The mean mechanism's grid search weighs every collected first motion (16,000 here) in
// each of its 186,624 cells.
void BM_MeanSolution1000(benchmark::State& state) {
  for (auto _ : state) g_mid->Draw(20);
}
BENCHMARK(BM_MeanSolution1000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_CorrelationRadius10k(benchmark::State& state) {
  for (auto _ : state) g_small->Draw(15);
}
BENCHMARK(BM_CorrelationRadius10k)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_CorrelationRadius100k(benchmark::State& state) {
  for (auto _ : state) g_large->Draw(15);
}

// The fast misfit grid against the exhaustive one on random first motions.
void CheckMechanismGrid() {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> az(0, 360), to(0, 180), u(-1, 1);
  std::vector<KZ_MecaStation> st(400);
  for (KZ_MecaStation& s : st) {
    s = KZ_MecaStation{};
    s.m_cCode[0] = 'P';
    s.m_fAzimuth = az(rng);
    s.m_fTakeoff = to(rng);
    s.m_fPolarity = u(rng) > -0.2f ? 1.0f : -1.0f;
    s.m_fAmp = 10 * s.m_fPolarity;
  }
  std::vector<double> fast(72 * 36 * 72), slow(fast.size());
  KZ_MecaMisfitGrid(st.data(), static_cast<int>(st.size()), 0.1f, fast.data(), false);
  KZ_MecaMisfitGrid(st.data(), static_cast<int>(st.size()), 0.1f, slow.data(), true);
  const auto differ = std::inner_product(fast.begin(), fast.end(), slow.begin(), std::size_t{0},
                                         std::plus<>(), std::not_equal_to<>());
  tv_bench::Check(differ == 0, "type 20 misfit grid equals the exhaustive grid",
                  std::to_string(differ) + " of " + std::to_string(fast.size()) + " cells differ");
}

// Types 2 and 14 draw from the first peak list: its window statistics and interval
// histogram over the page's time window must take in every peak generated (the histogram
// its first 5,000).
void CheckPeakData(Page& page) {
  CTremviaDoc& doc = page.doc;
  const CAEPeak& peaks = *doc.GetPeak(0);
  const double t0 = doc.m_fTimeStart + doc.m_pHypo->PeakOffset(), t1 = t0 + doc.m_fTimeSpan;
  int cum[CAEPeak::kLevelSlots] = {};
  double logN = 0, bML = 0, relErr = 0;
  const int levels = peaks.WindowStatistics(t0, t1, cum, &logN, &bML, &relErr, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, 1.0, nullptr, nullptr);
  double logR[26], logC[26];
  int bins = 0;
  const int times = peaks.IntervalHistogram(t0, t1, logR, logC, &bins);
  tv_bench::Check(levels > 0 && cum[0] == peaks.m_nCount &&
                      times == std::min(peaks.m_nCount, 5000) && bins >= 10,
                  "types 2 and 14 see every peak",
                  std::to_string(peaks.m_nCount) + " peaks, " + std::to_string(cum[0]) +
                      " counted, " + std::to_string(times) + " times in " + std::to_string(bins) +
                      " bins");
}

// The stereo specimen page (type 5) against the same page drawn through the painter alone,
// without the device context's raster shortcuts.
void CheckStereoPicture(Page& page) {
  page.Draw(5);
  const QImage& drawn = page.view.PagePicture();
  const auto [inked, differ] = kz_test::CompareWithPlainDrawing(page.view, drawn);
  // Discs stamped from one drawing of their size may differ from discs drawn in place by
  // the odd edge pixel.
  tv_bench::Check(!drawn.isNull() && inked > 10000 && differ * 200 < inked,
                  "type 5 picture equals the page drawn through the painter alone",
                  std::to_string(differ) + " of " + std::to_string(inked) +
                      " inked pixels differ");
}

// The correlation integral of q = 2 against a direct count of the pairs within each radius.
void CheckCorrelationIntegral(Page& page) {
  CTremviaDoc& doc = page.doc;
  float L = 0;
  double logR[41], G[4][41];
  int nR = 0;
  double t1 = 0, t2 = 1e12;
  const int n = doc.FractalDimension(&L, logR, G, &nR, 2, 2, &t1, &t2, 0, 0, 0.5f);
  std::vector<KZ_Point3D> p(static_cast<std::size_t>(std::max(n, 0)));
  doc.CollectSelectedEvents(p.data(), n, 0, t1, t2);
  double worst = 0, r2[41];
  for (int k = 0; k < 41; ++k) r2[k] = std::pow(10.0, 0.05 * k) * std::pow(10.0, 0.05 * k);
  std::vector<double> sum(41, 0.0);
  for (int a = 0; a < n; ++a) {
    int count[42] = {};
    for (int b = 0; b < n; ++b) {
      if (a == b) continue;
      const double dx = p[a].x - p[b].x, dy = p[a].y - p[b].y, dz = p[a].z - p[b].z;
      const double d2 = dx * dx + dy * dy + dz * dz;
      int k = 0;
      while (k < 41 && r2[k] < d2) ++k;
      ++count[k];
    }
    int c = 0;
    for (int k = 0; k < 41; ++k) sum[k] += (c += count[k]) / (n - 1.0);
  }
  for (int k = 0; k < 41; ++k)
    worst = std::max(worst, std::fabs(G[2][k] - std::log10(std::max(1e-8, sum[k] / n))));
  tv_bench::Check(n > 0 && worst < 1e-9, "type 15 correlation integral equals direct pair counts",
                  std::to_string(n) + " events, largest difference " + std::to_string(worst));
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  Page large(100000), small(10000), mid(1000);
  g_mid = &mid;
  g_large = &large;
  g_small = &small;
  bool largeRun = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--large") == 0) {
      largeRun = true;
      std::copy(argv + i + 1, argv + argc + 1, argv + i);
      --argc;
      break;
    }
  if (largeRun)
    benchmark::RegisterBenchmark("BM_CorrelationRadius100k", BM_CorrelationRadius100k)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3);
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  CheckMechanismGrid();
  CheckCorrelationIntegral(small);
  CheckPeakData(large);
  CheckStereoPicture(large);
  for (int type : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16})
    tv_bench::Goal("type " + std::to_string(type) + " at 100,000 events under 200 ms",
                   reporter.Seconds("BM_PlotType/" + std::to_string(type)), 0.2);
  tv_bench::Goal("type 20 at 1,000 events under 500 ms on " +
                     std::to_string(omp_get_max_threads()) + " threads",
                 reporter.Seconds("BM_MeanSolution1000"),
                 0.5);
  tv_bench::Goal("type 15 at 10,000 events under 1 s", reporter.Seconds("BM_CorrelationRadius10k"),
                 1.0);
  if (largeRun) {
    tv_bench::Goal("type 15 at 100,000 events under 10 s",
                   reporter.Seconds("BM_CorrelationRadius100k"), 10.0);
    // How type 15's time grows with the number of events, from the two medians: the
    // exponent p of t ~ n^p over the decade 10,000 .. 100,000.
    const double t10k = reporter.Seconds("BM_CorrelationRadius10k"),
                 t100k = reporter.Seconds("BM_CorrelationRadius100k");
    if (t10k > 0 && t100k > 0) {
      const double p = std::log10(t100k / t10k);
      std::printf("goal type 15 time growth exponent from 10,000 to 100,000 events: %.2f "
                  "(limit 1.3): %s\n",
                  p, p <= 1.3 ? "met" : "missed");
    } else {
      std::printf("goal type 15 time growth exponent from 10,000 to 100,000 events: not "
                  "measured\n");
    }
  }
  return tv_bench::ExitCode();
}
