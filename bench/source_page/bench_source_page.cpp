// Times the Foc page: its page picture rendered after an update, for a shear event with
// 16 sensors and the radiation pattern of its fault plane. Each render shows another
// mechanism (the strike turns by 7 degrees), as stepping from event to event does, so
// nothing a render computed can stand in for the next one. Target: under 20 ms a render,
// the median of three interleaved repetitions.
// Checks: the page picture against the same page drawn through the painter alone (the
// device context's raster shortcuts off), and the radiation pattern's cells against the
// P amplitude of each cell's ray taken by take-off angle and azimuth.
//
//   bench_source_page [benchmark options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"
#include "base/numerics/KZ_EQMT.h"
#include "base/numerics/KZ_MecaFit.h"
#include "base/plot/KZ_Pal1C.h"
#include "common/RatioReporter.h"
#include "platform/RecordingDc.h"
#include "base/plot/view/KZ_View_testkit.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/QtUi.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/source/SourceView.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct SourcePage {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CSourceView view;
  int step = 0;

  SourcePage() {
    doc.m_pHypo = std::make_unique<CAEHypo>();
    doc.m_pWave = std::make_unique<CAEWave>();
    CAEHypo& h = *doc.m_pHypo;
    h.m_nSensors = 16;
    for (int i = 0; i < 16; ++i) {
      const double a = i * 2 * kPi / 8;
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

  // The next event's mechanism, then the update that renders the page picture.
  void Render() {
    doc.m_pHypo->m_Rec.fStrike = static_cast<float>((30 + 7 * ++step) % 360);
    view.OnUpdate(nullptr, HINT_SOURCE, nullptr);
  }
};

std::unique_ptr<SourcePage> g_page;

void BM_SourceRender(benchmark::State& state) {
  for (auto _ : state) {
    g_page->Render();
    benchmark::DoNotOptimize(g_page->view.m_hDIB.data());
  }
}
BENCHMARK(BM_SourceRender)->Unit(benchmark::kMillisecond)->Iterations(5);

// The page picture against the page drawn the plain way into an image of its size.
void CheckPicture(SourcePage& page) {
  page.Render();
  const QImage drawn = plat::PackedDibToImage(page.view.m_hDIB.data(), page.view.m_hDIB.Size());
  const auto [inked, differ] = kz_test::CompareWithPlainDrawing(page.view, drawn, 1);
  // Small discs are stamped from one drawing of their size: an edge pixel or two each.
  tv_bench::Check(!drawn.isNull() && inked > 50000 && differ <= 200,
                  "Foc page picture equals the page drawn through the painter alone",
                  std::to_string(differ) + " of " + std::to_string(inked) + " inked pixels differ");
}

// Every cell's colour against the P amplitude along its ray by take-off angle and azimuth.
void CheckRadiationCells(SourcePage& page) {
  const AEHRecord& rec = page.doc.m_pHypo->m_Rec;
  KZ_EQMT m;
  m.SetMechanism(rec.fStrike * kPi / 180, rec.fDip * kPi / 180, rec.fRake * kPi / 180);
  plat::RecordingDc dc;
  m.DrawRadiation(&dc, 5000, -4500, 4000, 1, 1);
  double M[9];
  MomentTensorFromAngles(0, 0, m.Plane1.strike * 180 / kPi, m.Plane1.dip * 180 / kPi,
                         m.Plane1.rake * 180 / kPi, M);
  KZ_Pal1C pal;
  pal.SetRange(-1, 1, 0, 360, 7);
  long cells = 0, differ = 0;
  for (const plat::DcOp* op : dc.OpsOf(plat::DcOpKind::FillSolidRect)) {
    const int lo = std::min(op->rect.top, op->rect.bottom);
    const int hi = std::max(op->rect.top, op->rect.bottom);
    if (op->rect.right - op->rect.left != 20) continue;  // the colour bar's cells
    for (int y = lo; y < hi; y += 20) {
      const double i = op->rect.left + 10 - 5000, j0 = y + 10 + 4500;
      const double j = i == 0 && j0 == 0 ? 1 : j0;
      const double r = std::hypot(i, j);
      const double takeoff = 2 * std::atan(r / 4000) * 180 / kPi;
      double angle = std::atan2(j, i) * 180 / kPi;
      if (angle < 0) angle += 360;
      const COLORREF want = pal.ValueToColor(RadiationAmplitude(M, takeoff, 90 - angle, 1), 1.0);
      ++cells;
      differ += std::abs(GetRValue(want) - GetRValue(op->color)) > 1 ||
                std::abs(GetGValue(want) - GetGValue(op->color)) > 1 ||
                std::abs(GetBValue(want) - GetBValue(op->color)) > 1;
    }
  }
  tv_bench::Check(cells > 120000 && differ == 0,
                  "Foc radiation cells have the colours of the amplitudes by angles",
                  std::to_string(differ) + " of " + std::to_string(cells) + " cells differ");
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  plat::ForceCNumericLocale();
  plat::testing::ScriptedUi ui;  // status-bar texts go nowhere
  g_page = std::make_unique<SourcePage>();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  CheckPicture(*g_page);
  CheckRadiationCells(*g_page);
  tv_bench::Goal("Foc page render under 20 ms", reporter.Seconds("BM_SourceRender"), 0.02);
  g_page.reset();
  return tv_bench::ExitCode();
}
