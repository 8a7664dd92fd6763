// Times the TS page of a long experiment: rendering the cached page picture after an
// update, as every hint for the page does, repainting the window from that picture, and
// rebuilding the peaks' moving-window table.
// The experiment: 1,000,000 peaks and 100,000 located events over ten hours, and a main
// series of 1,000,000 samples (stress, pressure, two strain pairs, an AE counter).
// Targets: an update under 200 ms with the statistics panels off; with the fractal panel
// on (20,000 events, 500 a window) under 2 s; a repaint from the cache under 5 ms.
//
//   bench_ts_page [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "aecore/document/TremviaDoc.h"
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

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  Page off(100000, false);
  Page fractal(20000, true);
  g_off = &off;
  g_fractal = &fractal;
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  tv_bench::Goal("update with the statistics panels off under 200 ms",
                 reporter.Seconds("BM_UpdateStatisticsOff"), 0.2);
  tv_bench::Goal("update with the fractal panel on under 2 s",
                 reporter.Seconds("BM_UpdateFractalPanel"), 2.0);
  tv_bench::Goal("repaint from the cache under 5 ms", reporter.Seconds("BM_RepaintFromCache"),
                 0.005);
  return tv_bench::ExitCode();
}
