#include "views/hypo/LocView.h"

#include <QTest>
#include <cmath>
#include <numbers>

#include "platform/qt/QtDc.h"
#include "platform/testing/ScriptedUi.h"
#include "views/hypo/LocView_testkit.h"

using plat::DcOp;
using plat::DcOpKind;
using plat::testing::Prompt;

namespace {

int CountDrawing(const plat::RecordingDc& dc) {
  int n = 0;
  for (const DcOp& op : dc.Ops())
    if (op.kind != DcOpKind::PatBlt) ++n;
  return n;
}

POINT Centre(const DcOp& op) {
  return POINT{(op.rect.left + op.rect.right) / 2, (op.rect.top + op.rect.bottom) / 2};
}

}  // namespace

TEST_F(HypoPage, InitialUpdateSizesThePageFromTheSpecimen) {
  EXPECT_EQ(doc.m_pHypo->m_fSampleScale, 1.0f);  // the 100 mm length drawn 100 mm long
  EXPECT_EQ(view.m_fStereoShift, 75.0f);
  EXPECT_EQ(view.m_fViewDist, 1000.0f);
  EXPECT_EQ(view.GetTotalSize().cx, 32000);
  EXPECT_EQ(view.m_ptOrigin.x, 3000);
  EXPECT_EQ(view.m_ptOrigin.y, -2000);
}

TEST_F(HypoPage, WithoutSensorsThePageStaysEmptyOnScreenInPrintAndInExports) {
  Add(0, 0, 0, 10);
  doc.m_pHypo->m_nSensors = 0;
  EXPECT_EQ(CountDrawing(*Record(false)), 0);
  EXPECT_EQ(CountDrawing(*Record(true)), 0);
  view.RenderPageToDIB();
  const QImage page = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
  ASSERT_FALSE(page.isNull());
  EXPECT_EQ(page.convertToFormat(QImage::Format_RGB32), [&] {
    QImage white(page.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    return white;
  }());
}

TEST_F(HypoPage, ColourAxisFollowsTheColourMode) {
  doc.m_pHypo->m_nPlotType = 99;  // draws nothing: the dispatcher's axis stays
  doc.m_pHypo->m_fBMin = 0.6f;
  doc.m_pHypo->m_fBMax = 1.4f;
  struct Case {
    int mode;
    const char* title;
    double min, max;
  } cases[] = {{0, "Time", 0, 1000},
               {1, "Event #", 0, 1},
               {2, "b-value", 0.6, 1.4},
               {3, "U/(U+D)", 0, 1},
               {7, "U/(U+D)", 0, 1}};  // an unknown mode keeps the last
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    doc.m_pHypo->m_nColorMode = c.mode;
    Record();
    EXPECT_EQ(view.m_Palette.m_strTitle, c.title);
    EXPECT_NEAR(view.m_Palette.m_dMin, c.min, 1e-6);
    EXPECT_NEAR(view.m_Palette.m_dMax, c.max, 1e-6);
  }
}

TEST_F(HypoPage, MarkersFallIntoTheSlabsOfTheirPanelsStrictlyInsideH) {
  view.m_fViewAz = 0;  // u = -y, v = x
  view.m_fHalfWidth = 5;
  view.m_fZ0 = 10;
  Record();  // sets the drawing state
  struct Case {
    float x, y, z;
    int discs;
  } cases[] = {
      {0, 0, 10, 3},      // in every slab
      {0, 0, 15, 2},      // |z - Z0| = H: not in the map
      {0, 0, 14.99f, 3},  //
      {0, 5, 10, 2},      // |u| = H: not in the section along A
      {5, 0, 10, 2},      // |v| = H: not in the section across A
      {20, 20, 40, 0},    // in none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << " " << c.y << " " << c.z);
    AEEventEntry e;
    e.x = c.x;
    e.y = c.y;
    e.z = c.z;
    e.arrivals = 10;
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawMarkerXYZ(&dc, e, -1);
    EXPECT_EQ(static_cast<int>(dc.OpsOf(DcOpKind::Ellipse).size()), c.discs);
  }
}

TEST_F(HypoPage, MarkerRadiusAndStereoProjection) {
  AEEventEntry e;
  e.arrivals = 10;
  e.Mw = 0.1f;
  doc.m_pHypo->m_nSizeMode = 0;
  EXPECT_FLOAT_EQ(view.MarkerRadius(e), 80);  // 40 x 0.2 x 10
  e.arrivals = 3;
  EXPECT_FLOAT_EQ(view.MarkerRadius(e), 40);
  doc.m_pHypo->m_nSizeMode = 1;
  EXPECT_FLOAT_EQ(view.MarkerRadius(e), 8);  // Mw below 0.2 counts as 0.2
  // Looking along x (A = 0, E = 0), a point on the axis toward the viewer at depth d is
  // seen by the eyes at +-Deyes/2 shifted by the perspective factor d / (Dto - d).
  Record();
  view.m_fViewAz = 0;
  view.m_fViewAd = 0;
  view.m_fCosAz = view.m_fCosAd = 1;
  view.m_fSinAz = view.m_fSinAd = 0;
  float o1, o2, o3;
  view.StereoProject(500, 0, 10, &o1, &o2, &o3);  // Dto = 1000: k = 1
  EXPECT_FLOAT_EQ(o1, -25);
  EXPECT_FLOAT_EQ(o2, 25);
  EXPECT_FLOAT_EQ(o3, 20);
  // In the plane of the screen there is no perspective: the right image is the left one
  // shifted by Dlr (75 mm here).
  POINT left, right;
  view.StereoPoint(0, 3, -4, &left, &right);
  EXPECT_EQ(left.x, 300);
  EXPECT_EQ(left.y, -400);
  EXPECT_EQ(right.x, 7800);
  EXPECT_EQ(right.y, -400);
  plat::RecordingDc dc;
  view.StereoLine(&dc, 1000, -1000, 0, 0, 0, 0, 3, -4);
  const auto lines = dc.OpsOf(DcOpKind::LineTo);
  ASSERT_EQ(lines.size(), 2u);
  auto xy = [](const DcOp* op) {
    return std::vector<int>{op->points[0].x, op->points[0].y, op->points[1].x, op->points[1].y};
  };
  EXPECT_EQ(xy(lines[0]), (std::vector<int>{1000, -1000, 1300, -1400}));
  EXPECT_EQ(xy(lines[1]), (std::vector<int>{8500, -1000, 8800, -1400}));
}

TEST_F(HypoPage, CountTextAndPanelLabels) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_fMinCC = 0.5f;
  Add(0, 0, 0, 10);
  Add(1, 1, 0, 20);
  Add(-1, 2, 0, 30, 10, 0);              // flag byte 0 passes
  Add(0, 0, 0, 40, 7);                   // too few arrivals
  Add(0, 0, 0, 50, 10, 0x04);            // no bit of the mask
  Add(0, 0, 0, 60, 10, 0x10).CC = 0.4f;  // detected with too low a correlation
  Add(0, 0, 0, 70, 10, 0x03);            // marked as noise: selected but not plain
  Add(26.26f, 0, 0, 80);                 // beyond f D / 2 = 26.25
  Add(0, 0, 0, 1500);                    // after the window
  Add(0, 0, 52.6f, 90);                  // above f L / 2
  ASSERT_EQ(doc.m_EventList.size(), 10u);
  for (int solid = 0; solid < 2; ++solid) {
    for (int mode = 0; mode < 4; ++mode) {
      SCOPED_TRACE(testing::Message() << "solid " << solid << " mode " << mode);
      h.m_bSolidCircles = solid;
      h.m_nColorMode = mode;
      EXPECT_TRUE(Texts(*Record()).count("00003/00010"));
    }
  }
  struct Case {
    float az;
    std::multiset<std::string> labels;
  } cases[] = {{0, {"X", "Z", "X", "Y", "Y", "Z"}}, {45, {"A", "Z", "A", "B", "B", "Z"}}};
  for (const Case& c : cases) {
    view.m_fViewAz = c.az;
    std::multiset<std::string> labels;
    for (const DcOp* op : Record()->OpsOf(DcOpKind::Text))
      if (op->text.size() == 1 && std::string("XYZAB").find(op->text) != std::string::npos)
        labels.insert(op->text);
    EXPECT_EQ(labels, c.labels) << c.az;
  }
}

TEST_F(HypoPage, ColoursOfFilledAndOutlinedMarkers) {
  CAEHypo& h = *doc.m_pHypo;
  view.m_fHalfWidth = 100;  // every event in every panel: three discs each
  Add(0, 0, 0, 10);
  Add(1, 0, 0, 20);
  Add(2, 0, 0, 30, 10, 0x03);  // marked
  h.m_nColorMode = 2;
  h.m_bEventNumbers = 0;
  h.m_bSolidCircles = 1;
  auto dc = Record();
  std::vector<COLORREF> fills;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse))
    if (op->state.pen.Style() == PS_NULL) fills.push_back(op->state.brush.Color());
  ASSERT_EQ(fills.size(), 9u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(fills[i], RGB(136, 136, 136)) << i;
  for (int i = 6; i < 9; ++i) EXPECT_EQ(fills[i], RGB(0, 255, 0)) << i;  // drawn last
  // The marked event's label sits beside its last disc, only with event numbers.
  auto labelled = [](const plat::RecordingDc& rec, const DcOp& disc) {
    const POINT c = Centre(disc);
    for (const DcOp* op : rec.OpsOf(DcOpKind::Text))
      if (op->text == "2" && std::abs(op->points[0].x - (c.x + 2000)) <= 1 &&
          std::abs(op->points[0].y - (c.y + 200)) <= 1)
        return true;
    return false;
  };
  EXPECT_FALSE(labelled(*dc, *dc->OpsOf(DcOpKind::Ellipse).back()));
  // Outlined: the running number's colour whatever the colour mode.
  h.m_bSolidCircles = 0;
  h.m_bEventNumbers = 1;
  dc = Record();
  std::vector<COLORREF> pens;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse))
    if (op->state.brush.Style() == BS_NULL) pens.push_back(op->state.pen.Color());
  ASSERT_EQ(pens.size(), 9u);
  KZ_Pal1C pal;
  pal.SetRange(0, 2, 0, 360, 3);
  EXPECT_EQ(pens[0], pal.ValueToColor(0, 1.0));
  EXPECT_EQ(pens[3], pal.ValueToColor(1, 1.0));
  EXPECT_EQ(pens[6], RGB(0, 255, 0));
  EXPECT_TRUE(labelled(*dc, *dc->OpsOf(DcOpKind::Ellipse).back()));
}

TEST_F(HypoPage, HintNowFlashesOnlyTheCurrentRecordAlternatelyYellowAndRed) {
  doc.m_pHypo->m_fHypoScale = 200;  // 2 mm discs
  Add(10, 5, 0, 10);
  view.BackingImage();  // the page as painted
  const int renders = view.RenderCount();
  AEHRecord& rec = doc.m_pHypo->m_Rec;
  rec.fX = -10;
  rec.fY = -5;
  rec.fZ = 0;
  rec.nArrivals = 5;
  const QImage before = view.ClientImage().copy();
  const POINT c = Device({view.m_ptPanel[0].x - 1000, view.m_ptPanel[0].y - 500});
  const QRgb expected[] = {qRgb(255, 255, 0), qRgb(255, 0, 0), qRgb(255, 255, 0)};
  for (QRgb colour : expected) {
    view.OnUpdate(nullptr, 0x1044, nullptr);
    EXPECT_EQ(view.ClientImage().pixel(c.x, c.y), colour);
  }
  EXPECT_EQ(view.RenderCount(), renders);  // the page was not drawn again
  EXPECT_FALSE(view.IsStale());
  // Nothing but the record's discs changed.
  const QImage& after = view.ClientImage();
  int changed = 0;
  for (int y = 0; y < after.height(); ++y)
    for (int x = 0; x < after.width(); ++x)
      if (after.pixel(x, y) != before.pixel(x, y)) {
        ++changed;
        // The discs' edges move by the jitter from flash to flash.
        EXPECT_TRUE(after.pixel(x, y) == qRgb(255, 255, 0) || after.pixel(x, y) == qRgb(255, 0, 0));
      }
  EXPECT_GT(changed, 0);
  EXPECT_LT(changed, 3 * 4 * 8 * 8);  // three discs of about 7.5 pixels radius
}

TEST_F(HypoPage, DragTurnsTheViewUnlessThePlotOrTheToggleForbidsIt) {
  struct Case {
    int type;
    BOOL drag;
    POINT to;
    float az, ad;
  } cases[] = {
      {6, TRUE, {120, 100}, 55, 30},   // 20 pixels right: A + 10
      {6, TRUE, {100, 80}, 45, 40},    // 20 pixels up: E + 10
      {6, TRUE, {100, 100}, 45, 30},   // no movement
      {14, TRUE, {120, 100}, 45, 30},  //
      {15, TRUE, {120, 100}, 45, 30},  //
      {6, FALSE, {120, 100}, 45, 30},  //
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << c.drag << " " << c.to.x << "," << c.to.y);
    view.m_fViewAz = 45;
    view.m_fViewAd = 30;
    view.m_bDragRotate = c.drag;
    doc.m_pHypo->m_nPlotType = c.type;
    host.updates.clear();
    view.OnLButtonDown(MK_LBUTTON, {100, 100});
    view.OnMouseMove(MK_LBUTTON, c.to);
    EXPECT_EQ(view.m_fViewAz, c.az);
    EXPECT_EQ(view.m_fViewAd, c.ad);
    const bool turned = c.az != 45 || c.ad != 30;
    EXPECT_EQ(host.Hints(), turned ? std::vector<LONG>{HINT_LOC} : std::vector<LONG>{});
  }
  // Angles wrap with the sign of the dividend.
  view.m_bDragRotate = TRUE;
  doc.m_pHypo->m_nPlotType = 6;
  view.m_fViewAz = 5;
  view.OnLButtonDown(MK_LBUTTON, {100, 100});
  view.OnMouseMove(MK_LBUTTON, {80, 100});
  EXPECT_EQ(view.m_fViewAz, -5);
  view.OnMouseMove(0, {0, 100});  // button up: no turn
  EXPECT_EQ(view.m_fViewAz, -5);
}

TEST_F(HypoPage, HitTableFindsMarkersWithin99UnitsAndSaturatesItsCoordinates) {
  AEEventEntry a, far;
  a.record = 7;
  far.record = 8;
  view.AddHit(&a, 5000, -5000);
  view.AddHit(&far, 40000, -40000);
  EXPECT_EQ(view.m_pHits[1].x, 32767);
  EXPECT_EQ(view.m_pHits[1].y, -32768);
  struct Case {
    POINT p;
    const AEEventEntry* hit;
  } cases[] = {{{5099, -4901}, &a},
               {{5100, -5000}, nullptr},
               {{5000, -5100}, nullptr},
               {{32767, -32768}, &far}};
  for (const Case& c : cases) {
    const LocHitRecord* r = view.FindHit(c.p);
    EXPECT_EQ(r ? r->pEntry : nullptr, c.hit) << c.p.x << "," << c.p.y;
  }
  // An update drops them: the list they point into may have been rebuilt.
  view.OnUpdate(nullptr, HINT_LOC, nullptr);
  EXPECT_EQ(view.FindHit({5000, -5000}), nullptr);
  // Only 999 records are kept.
  for (int i = 0; i < 1200; ++i) view.AddHit(&a, 0, 0);
  EXPECT_EQ(view.m_pHits[998].pEntry, &a);
  EXPECT_EQ(view.m_pHits[999].pEntry, nullptr);
}

TEST_F(HypoPage, HoverShowsTheEventAndADoubleClickWithoutItsFileAsksForOne) {
  Add(1, 2, 3, 10);
  Record();
  const AEEventEntry& e = *doc.m_EventList[0];
  doc.m_pWave = std::make_unique<CAEWave>();
  const POINT page{6000, -6000};
  view.AddHit(&e, page.x, page.y);
  const POINT client = Device(page);
  plat::testing::ScriptedUi ui;
  view.OnMouseMove(0, client);
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().pane, 1);
  EXPECT_EQ(ui.PaneTexts().back().text, "AE:00000(   1,    2,    3)");
  EXPECT_EQ(view.m_nHoverAE, 0);
  ui.ExpectFileDialog(Prompt::OpenFile, "", std::nullopt);
  doc.m_nCurAE = 5;
  view.OnLButtonDblClk(0, client);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  ASSERT_FALSE(ui.Shown().empty());
  EXPECT_EQ(ui.Shown().back().filter, "(*.wav)|*.wav||");
  EXPECT_EQ(doc.m_nCurAE, 0);
  EXPECT_TRUE(host.updates.empty());                        // cancelled: no hint
  view.OnLButtonDblClk(0, Device({page.x + 500, page.y}));  // no marker there
  EXPECT_TRUE(host.updates.empty());
}

// Plot type 1.
TEST_F(HypoPage, UnrolledCylinderPlacesEventsByAzimuthAndHeight) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nPlotType = 1;
  h.m_fHypoScale = 100;
  view.m_fHalfWidth = 5;
  EXPECT_EQ(CountDrawing(*Record()), 0);  // empty list: not even the frame
  Add(0, -25, 0, 10);                     // 270 degrees
  Add(25 * std::cos(-0.000005f), 25 * std::sin(-0.000005f), 10, 20);  // at the left edge
  Add(20, 0, -30, 30);                                                // d = H: drawn
  Add(19.9f, 0, 0, 40);                                               // farther: not drawn
  auto dc = Record();
  const int x0 = 3000, yc = -2000 - 5000;
  const int W = static_cast<int>(std::trunc(std::numbers::pi * 50 * 100));
  std::vector<POINT> centres;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse)) centres.push_back(Centre(*op));
  ASSERT_EQ(centres.size(), 3u);
  EXPECT_NEAR(centres[0].x, x0 + 0.75 * W, 1);
  EXPECT_EQ(centres[0].y, yc);
  EXPECT_NEAR(centres[1].x, x0, 1);  // truncated from just below x0
  EXPECT_EQ(centres[1].y, yc + 1000);
  EXPECT_EQ(centres[2].x, x0);
  EXPECT_EQ(centres[2].y, yc - 3000);
  const auto rects = dc->OpsOf(DcOpKind::Rectangle);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0]->rect.right - rects[0]->rect.left, W);
}

TEST_F(HypoPage, FaultTracesThinWhenPreexistingAndLeftOutOnABox) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nPlotType = 1;
  Add(25, 0, 0, 10);
  h.m_nFaults = 2;
  h.m_strFaultName[0] = "xPrey";
  h.m_strFaultName[1] = "Main";
  h.m_nFaultPoints[0] = 2;
  h.m_nFaultPoints[1] = 3;
  for (int i = 0; i < 5; ++i) {
    h.m_pFaultAz[i] = 90.0f * (i % 3);
    h.m_pFaultXYZ[i].z = 10.0 * i;
  }
  auto traces = [](const plat::RecordingDc& dc) {
    std::vector<const DcOp*> out;
    for (const DcOp* op : dc.OpsOf(DcOpKind::LineTo))
      if (op->state.pen.Color() != RGB(128, 128, 128)) out.push_back(op);
    return out;
  };
  const auto dc = Record();
  const auto lines = traces(*dc);
  ASSERT_EQ(lines.size(), 3u);  // 1 + 2 segments
  EXPECT_EQ(lines[0]->state.pen.Width(), 0);
  EXPECT_EQ(lines[0]->state.pen.Color(), RGB(128, 64, 64));
  EXPECT_EQ(lines[1]->state.pen.Width(), 25);
  EXPECT_EQ(lines[1]->state.pen.Color(), RGB(255, 0, 0));
  // Second trace, first point: azimuth 180 degrees, 20 mm above mid-height.
  EXPECT_EQ(lines[1]->points[0].x, 3000 + static_cast<int>(std::trunc(180 * 0.0174533 * 25 * 100)));
  EXPECT_EQ(lines[1]->points[0].y, -7000 + 2000);
  h.m_nShape = 4;
  EXPECT_TRUE(traces(*Record()).empty());
}

TEST_F(HypoPage, UnrolledCylinderColoursTheWindowByRunningNumber) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nPlotType = 1;
  h.m_bUnselected = 1;
  h.m_nColorMode = 1;
  view.m_fHalfWidth = 5;
  Add(25, 0, 0, 10);
  Add(0, 25, 0, 20);
  Add(-25, 0, 0, 2000);  // outside the window, grey
  const auto discs = Record()->OpsOf(DcOpKind::Ellipse);
  ASSERT_EQ(discs.size(), 3u);
  EXPECT_EQ(discs[0]->state.brush.Color(), RGB(128, 128, 128));
  KZ_Pal1C pal;
  pal.SetRange(0, 2, 0, 360, 3);
  EXPECT_EQ(discs[1]->state.brush.Color(), pal.ValueToColor(0, 1));
  EXPECT_EQ(discs[2]->state.brush.Color(), pal.ValueToColor(1, 1));
}

TEST_F(HypoPage, TitleLineGivesTheWindowStartAndLength) {
  doc.m_fTimeStart = 3723.25;
  Record();
  for (int selected : {0, 7}) {
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawTitleLine(&dc, 100, -200, selected);
    const auto texts = dc.OpsOf(DcOpKind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text, selected ? "Test 01:02:03 250000  1000.00000 PEAKs:0, N(sld):7"
                                       : "Test 01:02:03 250000  1000.00000 PEAKs:0");
    EXPECT_EQ(texts[0]->state.textAlign, 24u);
  }
}

TEST_F(HypoPage, BoxFramesFollowTheEdgesAlongAndAcrossTheViewingAzimuth) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nShape = 4;
  h.m_fDiameter = h.m_fSizeX = 60;
  h.m_fSizeY = 40;
  view.OnInitialUpdate();  // s = 100: half sides 3000 and 2000
  Add(0, 0, 0, 10);
  struct Case {
    float az;
    int w2, w3;
  } cases[] = {{0, 3000, 2000}, {90, 2000, 3000}, {30, 3464, 2309}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.az);
    view.m_fViewAz = c.az;
    const auto dc = Record();
    const auto rects = dc->OpsOf(DcOpKind::Rectangle);
    ASSERT_GE(rects.size(), 3u);
    auto width = [](const DcOp* op) { return std::abs(op->rect.right - op->rect.left); };
    EXPECT_EQ(width(rects[0]), 2 * c.w2);  // section along A
    EXPECT_EQ(width(rects[1]), 6000);      // the map, not turned
    EXPECT_EQ(std::abs(rects[1]->rect.bottom - rects[1]->rect.top), 4000);
    EXPECT_EQ(width(rects[2]), 2 * c.w3);  // section across A
  }
}
