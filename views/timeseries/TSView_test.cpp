#include "views/timeseries/TSView.h"

#include <QImage>
#include <array>
#include <cmath>

#include "base/plot/view/KZ_View_testkit.h"
#include "platform/qt/QtDc.h"
#include "views/timeseries/TSView_testkit.h"

using plat::DcOp;
using plat::DcOpKind;
using tstest::Peak;
using tstest::SetPeaks;

namespace {

class TSCore : public tstest::TSPage {};

std::vector<Peak> Evenly(int n, double dt, int level = 4) {
  std::vector<Peak> p;
  for (int i = 0; i < n; ++i) p.push_back({i * dt, level});
  return p;
}

TEST_F(TSCore, PageHeightFollowsThePanelSlots) {
  view.m_bBMLH = 0;
  view.OnInitialUpdate();
  EXPECT_EQ(view.m_nScrollH, 3500 * 5 + 250 + 3000);  // 20750
  EXPECT_EQ(view.m_nScrollW, 12000 + 6000);
  doc.m_pAddTS[0] = tstest::MakeSeries(Start(), {"a"}, {0}, {{0}});
  doc.m_pAddTS[1] = tstest::MakeSeries(Start(), {"b"}, {0}, {{0}});
  view.OnUpdate(nullptr, HINT_WAVE, nullptr);  // not for this page
  EXPECT_EQ(view.m_nScrollH, 20750);
  view.OnUpdate(nullptr, HINT_TS, nullptr);
  EXPECT_EQ(view.m_nScrollH, 20750 + 7000);
  view.m_bBMLH = 1;  // the b-value and the fractal panel each add a slot
  view.m_bCL = 1;
  view.OnUpdate(nullptr, 0, nullptr);
  EXPECT_EQ(view.m_nScrollH, 20750 + 14000);
}

TEST_F(TSCore, ZoomInThenOutRestoresTheWindow) {
  doc.m_fTimeStart = 1234.5;
  doc.m_fTimeSpan = 3600;
  view.OnCmdMsg(CTSView::ID_VIEW_ZOOMIN, nullptr);
  EXPECT_EQ(doc.m_fTimeSpan, 1800);
  EXPECT_DOUBLE_EQ(doc.m_fTimeStart, 1234.5 + 900);
  view.OnCmdMsg(CTSView::ID_VIEW_ZOOMOUT, nullptr);
  EXPECT_EQ(doc.m_fTimeSpan, 3600);
  EXPECT_NEAR(doc.m_fTimeStart, 1234.5, 1e-9);
  view.OnCmdMsg(CTSView::ID_TRACE_NEXT, nullptr);
  EXPECT_NEAR(doc.m_fTimeStart, 1234.5 + 1800, 1e-9);
  view.OnCmdMsg(CTSView::ID_TRACE_PREVIOUS, nullptr);
  view.OnCmdMsg(CTSView::ID_TRACE_PREVIOUS, nullptr);
  EXPECT_NEAR(doc.m_fTimeStart, 1234.5 - 1800, 1e-9);
  EXPECT_EQ(host.Hints(), std::vector<LONG>(5, 120));
  // The toolbar's zoom to the selection waits for a selection.
  plat::CCmdUI ui(CTSView::ID_TS_ZOOMSEL);
  view.OnCmdMsg(CTSView::ID_TS_ZOOMSEL, &ui);
  EXPECT_FALSE(ui.m_bEnabled);
  view.m_fSelStart = 10;
  view.m_fSelEnd = 30;
  view.OnCmdMsg(CTSView::ID_TS_ZOOMSEL, nullptr);
  EXPECT_EQ(doc.m_fTimeStart, 10);
  EXPECT_EQ(doc.m_fTimeSpan, 20);
}

TEST_F(TSCore, ThousandPeakPagesStepAndBeepAtTheEnds) {
  plat::testing::ScriptedUi ui;
  SetPeaks(Peaks(), Evenly(2500, 0.1));
  plat::CCmdUI state(CTSView::ID_TS_LOAD1000);
  view.OnCmdMsg(CTSView::ID_TS_LOAD1000, &state);
  EXPECT_TRUE(state.m_bEnabled);
  EXPECT_EQ(state.m_nCheck, 0);
  view.OnCmdMsg(CTSView::ID_TS_LOAD1000, nullptr);
  EXPECT_EQ(Peaks().m_nPageSize, 1000);
  EXPECT_EQ(doc.m_fTimeStart, 0);
  EXPECT_NEAR(doc.m_fTimeSpan, 100, 1e-6);
  Record();  // the drawing sets the current (last drawn) peak
  EXPECT_EQ(Peaks().m_nCurrent, 1000);
  view.OnCmdMsg(CTSView::ID_TRACE_NEXT, nullptr);
  EXPECT_NEAR(doc.m_fTimeStart, 100, 1e-6);
  Record();
  view.OnCmdMsg(CTSView::ID_TRACE_NEXT, nullptr);
  Record();
  EXPECT_EQ(Peaks().m_nCurrent, 2499);
  const double start = doc.m_fTimeStart, len = doc.m_fTimeSpan;
  host.updates.clear();
  view.OnCmdMsg(CTSView::ID_TRACE_NEXT, nullptr);
  EXPECT_EQ(ui.Beeps(), std::vector<UINT>{0});
  EXPECT_EQ(doc.m_fTimeStart, start);
  EXPECT_EQ(doc.m_fTimeSpan, len);
  EXPECT_TRUE(host.updates.empty());
  view.OnCmdMsg(CTSView::ID_TRACE_PREVIOUS, nullptr);
  EXPECT_NEAR(doc.m_fTimeStart, Peaks().GetTime(499), 1e-6);
  // Off again: Next pages by half a window.
  view.OnCmdMsg(CTSView::ID_TS_LOAD1000, nullptr);
  EXPECT_EQ(Peaks().m_nPageSize, 0);
}

// The peak panel: sticks of valid peaks from the slot's bottom, noise sticks, and AE
// ticks hanging by the arrival count.
TEST_F(TSCore, PeakPanelSticksAndAETicks) {
  SetPeaks(Peaks(), {{20, 1}, {30, 5, 0}, {50, 8}, {100.0, 4}, {100.000001, 12}});
  doc.m_pHypo->m_nMinArrivals = 4;
  struct Ev {
    double t;
    int arrivals;
    int flags;
  };
  for (const Ev& e : std::vector<Ev>{{-5, 10, 0},
                                     {10, 4, 0},
                                     {20, 10, 0},
                                     {30, 10, 0x02},
                                     {40, 3, 0},
                                     {45, 3, 0x02},
                                     {101, 10, 0}})
    doc.AddEventEntry(1, 2, 3, 0, 0, 0, 0, e.t, static_cast<std::uint16_t>(e.arrivals),
                      static_cast<std::uint32_t>(e.t * 10), static_cast<std::uint8_t>(e.flags));
  const auto dc = Record();
  const int slot = -250 - 3000;
  using Seg = std::vector<std::array<int, 4>>;
  Seg sticks, noise, ticks;
  auto of = [](const DcOp* op) {
    return std::array<int, 4>{static_cast<int>(op->points[0].x), static_cast<int>(op->points[0].y),
                              static_cast<int>(op->points[1].x), static_cast<int>(op->points[1].y)};
  };
  for (const DcOp* op : With(*dc, DcOpKind::LineTo, 20, RGB(0, 0, 0)))
    if (op->points[0].y == slot && op->points[0].x > 2000 && op->points[0].x == op->points[1].x)
      sticks.push_back(of(op));
  for (const DcOp* op : With(*dc, DcOpKind::LineTo, 20, RGB(214, 214, 255)))
    noise.push_back(of(op));
  for (const DcOp* op : With(*dc, DcOpKind::LineTo, 0, RGB(255, 0, 0))) ticks.push_back(of(op));
  // x = 2000 + t x 120; a level-l stick reaches l x 250 above the slot's bottom. The peak
  // at the window's end is drawn, the one a microsecond later is not, level 1 is below D.
  auto seg = [](int x, int y0, int y1) { return std::array<int, 4>{x, y0, x, y1}; };
  EXPECT_EQ(sticks, (Seg{seg(8000, slot, slot + 2000), seg(14000, slot, slot + 1000)}));
  EXPECT_EQ(noise, (Seg{seg(5600, slot, slot + 1250)}));
  EXPECT_EQ(ticks, (Seg{seg(3200, slot, slot), seg(4400, slot, slot - 60),
                        seg(5600, slot, slot - 560), seg(7400, slot, slot + 10 - 500)}));
  EXPECT_TRUE(HasText(*dc, "(1st=0:last=3)"));
  EXPECT_EQ(Peaks().m_nPageFirst, 0);
  EXPECT_EQ(Peaks().m_nCurrent, 3);
  ASSERT_TRUE(view.m_pAEMarkers[3].used);
  EXPECT_EQ(view.m_pAEMarkers[1].x, 4400);
  EXPECT_FALSE(view.m_pAEMarkers[4].used);

  // Hovering over a tick names its event and keeps its record for "Load Waveform"; a
  // click far below the first slot selects without changing the current record.
  plat::testing::ScriptedUi ui;
  view.OnInitialUpdate();
  const double px = 96.0 / 2540;
  auto client = [&](int x, int y) {
    return POINT{static_cast<LONG>(std::lround(x * px)), static_cast<LONG>(std::lround(-y * px))};
  };
  view.OnMouseMove(0, client(4400, slot - 200));
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().text, "AE:00200 (   1,    2,    3 M=10) nU: 0 nD: 0");
  EXPECT_EQ(view.m_nCurAE, 200);
  host.updates.clear();
  view.OnLButtonDown(MK_LBUTTON, client(8000, slot - 700));
  EXPECT_TRUE(host.updates.empty());
  EXPECT_NEAR(view.m_fSelStart, 50, 0.5);
  view.OnLButtonDown(MK_LBUTTON, client(8000, slot - 300));
  ASSERT_EQ(host.Hints(), std::vector<LONG>{HINT_SOURCE});
  EXPECT_EQ(host.updates[0].sender, static_cast<void*>(&view));
  EXPECT_EQ(doc.m_pHypo->m_nCurAE, 200);
}

TEST_F(TSCore, HighNoiseThresholdHidesThePeakPanel) {
  SetPeaks(Peaks(), Evenly(20, 1));
  doc.AddEventEntry(0, 0, 0, 0, 0, 0, 0, 10, 10, 1, 0);
  view.m_nPeakD = 12;
  const auto dc = Record();
  EXPECT_TRUE(With(*dc, DcOpKind::LineTo, 0, RGB(255, 0, 0)).empty());
  const auto frames = dc->OpsOf(DcOpKind::Rectangle);
  ASSERT_FALSE(frames.empty());  // the rate panel takes the first slot
  EXPECT_EQ(std::max(frames[0]->rect.top, frames[0]->rect.bottom), -250);
  EXPECT_EQ(std::min(frames[0]->rect.top, frames[0]->rect.bottom), -3250);
  EXPECT_TRUE(HasText(*dc, "R(PK), 1/1.000000"));
  EXPECT_FALSE(HasText(*dc, "(1st=0:last=19)"));
}

// Ten peaks of level 4 in the first ten seconds release 10^0.75 each (q = 0.75): with
// log scales the rate stands at 0.75 on the -3 .. 3 axis, empty bins on the bottom edge.
TEST_F(TSCore, RatePanelOnLogScales) {
  std::vector<Peak> p;
  for (int i = 0; i < 10; ++i) p.push_back({i + 0.5, 4});
  SetPeaks(Peaks(), p);
  const auto dc = Record();
  const int slot = -250 - 3000 - 3500;
  const auto rate = With(*dc, DcOpKind::Polyline, 20, RGB(0, 0, 0));
  ASSERT_EQ(rate.size(), 1u);
  ASSERT_EQ(rate[0]->points.size(), 100u);
  EXPECT_EQ(rate[0]->points[0].x, 2000 + 60);
  EXPECT_NEAR(rate[0]->points[0].y, slot + (0.75 + 3) * 500, 1);
  EXPECT_EQ(rate[0]->points[10].y, slot);
  EXPECT_EQ(rate[0]->points[99].y, slot);
  const auto cumulative = With(*dc, DcOpKind::Polyline, 20, RGB(255, 0, 0));
  ASSERT_EQ(cumulative.size(), 1u);
  const double S = 1 + 10 * std::pow(10.0, 0.75);
  EXPECT_NEAR(cumulative[0]->points[99].y, slot + std::log10(S) * 600, 1);  // 0 .. 5 decades
}

// The fits of the rate panel: one point when T0 = Tc, none when Tc lies before T0, a range
// beyond the bins clamped; no Omori curve while both Tm are 0.
TEST_F(TSCore, RateFitsAndTheirDegenerateRanges) {
  SetPeaks(Peaks(), Evenly(50, 1));
  view.m_bLog = 0;
  view.m_bAMR = 1;
  view.m_bOmori = 1;
  struct Case {
    double T0, Tc, Tma;
    std::size_t fitPoints;  // 0: no fit; 1: a single point (no line); else at least that many
    std::size_t omoriCurves;
  };
  for (const Case& c :
       std::vector<Case>{{5, 5, 0, 1, 0}, {30, 5, 0, 0, 0}, {20, 1e6, 10, 300, 1}}) {
    SCOPED_TRACE(c.Tc);
    view.m_fT0 = c.T0;
    view.m_fTc = c.Tc;
    view.m_fTma = c.Tma;
    const auto dc = Record();
    const auto fit = With(*dc, DcOpKind::Polyline, 20, RGB(255, 0, 255));
    bool fitted = false;
    for (const std::string& t : dc->Texts()) fitted = fitted || t.rfind("S= ", 0) == 0;
    EXPECT_EQ(fitted, c.fitPoints > 0);
    if (c.fitPoints > 1) {
      ASSERT_EQ(fit.size(), 1u);
      EXPECT_GE(fit[0]->points.size(), c.fitPoints);
    } else {
      EXPECT_TRUE(fit.empty());
    }
    EXPECT_EQ(With(*dc, DcOpKind::Polyline, 20, RGB(255, 0, 0)).size(), 1 + c.omoriCurves);
  }
}

// Axis ranges of zero width leave their curves out instead of sending unbounded
// coordinates to the device.
TEST_F(TSCore, ZeroWidthRangesDrawNothingUnbounded) {
  SetPeaks(Peaks(), Evenly(200, 0.5));
  Peaks().MovingWindowStatistics(50, 10);
  for (int i = 0; i < 30; ++i)
    doc.AddEventEntry(static_cast<float>(i % 5), static_cast<float>(i % 7),
                      static_cast<float>(i % 3), 0, 0, 0, 0, i * 3.0, 10,
                      static_cast<std::uint32_t>(i), 1);
  view.m_bLog = 0;
  view.m_fVMin = view.m_fVMax = 5;
  view.m_fRMin = view.m_fRMax = 1;
  view.m_fBMin = view.m_fBMax = 1;
  view.m_fTlMin = view.m_fTlMax = 0;
  view.m_fD2Min = view.m_fD2Max = 2;
  view.m_fCLMin = view.m_fCLMax = 0.2f;
  view.m_bLogTl = view.m_bBLSQ = view.m_bD2 = view.m_bCL = view.m_bBMLHFractal = 1;
  view.m_bAMR = view.m_bOmori = 1;
  view.m_fTma = 10;
  view.m_nStressMin = view.m_nStressMax = 100;
  doc.m_pTS = tstest::MakeSeries(Start(), {"Stress", "CP"}, {0, 50000}, {{1, 2}, {3, 4}});
  view.m_bShear = 1;
  const auto dc = Record();
  for (const DcOp& op : dc->Ops())
    for (const POINT& p : op.points) {
      ASSERT_LT(std::abs(p.x), 1000000);
      ASSERT_LT(std::abs(p.y), 1000000);
    }
}

// Dragging with the left button inverts the selection band in the view's picture; the
// next press inverts it back before a new band starts.
TEST_F(TSCore, SelectionBandIsInvertedInTheViewsPicture) {
  view.OnInitialUpdate();
  const double px = 96.0 / 2540;
  auto client = [&](int x, int y) {
    return POINT{static_cast<LONG>(std::lround(x * px)), static_cast<LONG>(std::lround(-y * px))};
  };
  auto lightness = [&](int x, int y) {
    const POINT p = client(x, y);
    return view.ClientImage().pixelColor(static_cast<int>(p.x), static_cast<int>(p.y)).lightness();
  };
  view.BackingImage();  // the page painted
  EXPECT_GT(lightness(8600, -2000), 200);
  view.OnLButtonDown(MK_LBUTTON, client(8000, -2000));
  view.OnLButtonUp(0, client(9200, -2000));
  EXPECT_NEAR(view.m_fSelStart, 50, 0.5);
  EXPECT_NEAR(view.m_fSelEnd, 60, 0.5);
  EXPECT_LT(lightness(8600, -2000), 50);
  EXPECT_LT(lightness(8600, -6500), 50);   // down to 2 H + 500 below the top margin
  EXPECT_GT(lightness(8600, -7200), 200);  // not below
  view.OnLButtonDown(MK_LBUTTON, client(3000, -2000));
  EXPECT_GT(lightness(8600, -2000), 200);
}

// The page drawn into an image at 96 dpi: the stick of a level-12 peak reaches the top of
// the first panel and the page's time axis stands below the series.
TEST_F(TSCore, PageInAnImage) {
  // Peaks of rising size up to 40 s, one of level 12 at 50 s, a loading record with one
  // strain pair, and located events: every group of the page has something to show.
  std::vector<Peak> peaks;
  for (int i = 0; i < 200; ++i) peaks.push_back({i * 0.2, i % 9});
  peaks.push_back({50, 12});
  SetPeaks(Peaks(), peaks);
  for (int i = 0; i < 40; ++i)
    doc.AddEventEntry(0, 0, 0, 0, 0, 0, 0, 2.0 * i, 12, static_cast<std::uint32_t>(i), 1);
  std::vector<double> ms;
  std::vector<std::vector<int>> values(5);
  for (int i = 0; i <= 100; ++i) {
    ms.push_back(i * 1000.0);
    values[0].push_back(4 * i);
    values[1].push_back(50);
    values[2].push_back(60 * i);
    values[3].push_back(-20 * i);
    values[4].push_back(i * 10);
  }
  doc.m_pTS =
      tstest::MakeSeries(Start(), {"Stress", "CP", "Strain1a", "Strain1c", "AE"}, ms, values);
  view.OnInitialUpdate();
  const double px = 96.0 / 2540;
  const int w = static_cast<int>(view.m_nScrollW * px) + 1,
            h = static_cast<int>(view.m_nScrollH * px) + 1;
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    plat::CImageDC dc(&image, 96, 96);
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(&dc);
  }
  ASSERT_TRUE(image.save(QString::fromStdString(std::string(TV_TEST_TMPDIR) + "/ts_page.png")));
  // The darkest pixel around a page point.
  auto at = [&](int x, int y) {
    QColor best = Qt::white;
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy) {
        const QColor c =
            image.pixelColor(static_cast<int>(x * px) + dx, static_cast<int>(-y * px) + dy);
        if (c.lightness() < best.lightness()) best = c;
      }
    return best;
  };
  EXPECT_LT(at(8000, -1750).lightness(), 100);  // the stick, half way up the panel
  EXPECT_GT(at(9000, -1750).lightness(), 200);  // beside it: white
  EXPECT_LT(at(2000, -1750).lightness(), 100);  // the frame's left edge
  // Measured with the real fonts, on screen and on a printer: no text of the page runs
  // into another or off the page (axis titles beside their labels, panel notes).
  std::string faults;
  for (const std::string& f : kz_test::PageTextFaults(view)) faults += f + "\n";
  EXPECT_TRUE(faults.empty()) << faults;
}

}  // namespace
