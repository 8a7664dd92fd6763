// Fault-plane plots: sections (types 10, 11), density (12), section-time box (13) and
// distance-time plots (8, 9).

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "views/hypo/LocView_plots_testkit.h"

using plat::DcOp;
using plat::DcOpKind;

namespace {

bool HasText(const plat::RecordingDc& dc, const std::string& prefix) {
  for (const DcOp* op : dc.OpsOf(DcOpKind::Text))
    if (op->text.rfind(prefix, 0) == 0) return true;
  return false;
}

}  // namespace

TEST_F(HypoPlots, SectionDrawsTheSlabWithItsFacesInPlaneCoordinates) {
  EXPECT_TRUE(Draw(10)->Ops().empty());  // no events: not even the outline
  Add(25, 3, 4, 10);                     // exactly H from the plane
  Add(25.01f, 0, 0, 20);                 // just beyond
  Add(-10, -5, -6, 30);                  //
  Add(0, 0, 0, 30, 5);                   // too few arrivals
  Add(0, 0, 0, 40, 10, 64);              // flags sharing no bit with the mask
  Add(0, 0, 0, 2000);                    // after the window
  auto dc = Draw(10);
  // s = 100: the plane 50 x 100 mm, centred at (3000 + 2000 + 2500, -2000 - 5000).
  const auto c = Centres(*dc);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].x, 7800);
  EXPECT_EQ(c[0].y, -6600);
  EXPECT_EQ(c[1].x, 7000);
  EXPECT_EQ(c[1].y, -7600);
  ASSERT_EQ(dc->OpsOf(DcOpKind::Rectangle).size(), 1u);  // Ad 90: a rectangle
  EXPECT_TRUE(HasText(*dc, "Test Fault:(  0,  0,  0)->( 45, 30) H: 25"));
}

TEST_F(HypoPlots, SectionOutlineIsTheCylinderCutBelow70Degrees) {
  Add(0, 0, 0, 10);
  struct Case {
    float dip;
    int shape;
    DcOpKind kind;
  } cases[] = {{30, 0, DcOpKind::Ellipse},
               {69.9f, 0, DcOpKind::Ellipse},
               {70, 0, DcOpKind::Rectangle},
               {30, 1, DcOpKind::Rectangle}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dip);
    doc.m_pHypo->m_fFaultDip = c.dip;
    doc.m_pHypo->m_nShape = c.shape;
    auto dc = Draw(10);
    const DcOp& outline = *std::find_if(dc->Ops().begin(), dc->Ops().end(), [](const DcOp& op) {
      return op.kind == DcOpKind::Ellipse || op.kind == DcOpKind::Rectangle;
    });
    EXPECT_EQ(outline.kind, c.kind);
    if (c.kind == DcOpKind::Ellipse) {
      const int a = static_cast<int>(5000 / std::cos(c.dip * 0.0174533)) / 2;
      EXPECT_EQ(outline.rect.top - outline.rect.bottom, 2 * a);
    }
  }
}

TEST_F(HypoPlots, TTypeEventsAreOpenCirclesAndTheCurrentRecordStays) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_bTTypeOpen = 1;
  h.m_nColorMode = 1;
  // Ratios 0, 0.25, -1 (too few polarities), 0.1, 0.5.
  Catalogue({{0, 9}, {3, 9}, {2, 2}, {1, 9}, {5, 5}});
  for (int i = 0; i < 5; ++i) Add(0, static_cast<float>(i), 0, 10 + i);
  h.m_Rec.nArrivals = 7;
  h.m_Rec.nIndex = 99;
  h.m_nCurAE = 42;
  const AEHRecord before = h.m_Rec;
  auto dc = Draw(10);
  struct Disc {
    int y;
    bool open;
  };
  std::vector<Disc> discs;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse))
    discs.push_back(
        {(op->rect.left + op->rect.right) / 2 - 7500, op->state.pen.Style() != PS_NULL});
  // Filled pass: all but 0.1; open pass: 0, 0.25 and 0.1, in the colour of their number.
  const std::vector<std::pair<int, bool>> expect{
      {0, false}, {100, false}, {200, false}, {400, false}, {0, true}, {100, true}, {300, true}};
  ASSERT_EQ(discs.size(), expect.size());
  for (std::size_t i = 0; i < expect.size(); ++i) {
    EXPECT_EQ(discs[i].y, expect[i].first) << i;
    EXPECT_EQ(discs[i].open, expect[i].second) << i;
  }
  const auto ellipses = dc->OpsOf(DcOpKind::Ellipse);
  EXPECT_EQ(ellipses[6]->state.pen.Color(), view.m_Palette.ValueToColor(3, 1.0));
  EXPECT_EQ(ellipses[6]->state.brush.Color(), RGB(255, 255, 255));
  EXPECT_EQ(std::memcmp(&h.m_Rec, &before, sizeof before), 0);
  EXPECT_EQ(h.m_nCurAE, 42);
}

TEST_F(HypoPlots, SectionByBFollowsTheListOrRandomKeysAndReachesPastPosition32767) {
  CAEHypo& h = *doc.m_pHypo;
  for (int i = 0; i < 40000; ++i) Add(0, static_cast<float>(i % 50 - 25), 0, i * 0.02);
  auto xs = [&](bool random, unsigned seed) {
    h.m_bRandomOrder = random;
    plat::CrtSrand(seed);
    std::vector<int> out;
    for (const POINT& p : Centres(*Draw(11))) out.push_back(p.x);
    return out;
  };
  const std::vector<int> listed = xs(false, 1);
  ASSERT_EQ(listed.size(), 40000u);
  EXPECT_EQ(listed[0], 3000 + 2000 + 5000 - 2500);  // S = -25 at the square's left edge
  EXPECT_EQ(listed[39999], listed[49]);
  const std::vector<int> shuffled = xs(true, 7);
  EXPECT_NE(shuffled, listed);
  EXPECT_EQ(xs(true, 7), shuffled);  // the same seed, the same order
  std::vector<int> a = shuffled, b = listed;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);  // every event once
}

TEST_F(HypoPlots, SectionByBColoursByTheBValueOfThePeakStatisticsRow) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nColorMode = 1;
  h.m_fBMin = 0.5f;
  h.m_fBMax = 1.5f;
  CAEPeak& peaks = *doc.GetPeak(0);
  AEPeakWindowRow row;
  row.tStart = 0;
  row.tEnd = 100;
  row.bML = 1.2;
  peaks.m_pRows = {row};
  peaks.m_nRows = 1;
  Add(0, 0, 0, 50);
  Add(0, 1, 0, 500);  // in no row: grey
  auto dc = Draw(11);
  const auto discs = dc->OpsOf(DcOpKind::Ellipse);
  ASSERT_EQ(discs.size(), 2u);
  EXPECT_EQ(view.m_Palette.m_strTitle, "b-value");
  EXPECT_EQ(discs[0]->state.brush.Color(), view.m_Palette.ValueToColor(1.2, 1.0));
  EXPECT_EQ(discs[1]->state.brush.Color(), RGB(136, 136, 136));
}

TEST_F(HypoPlots, DensityCountsCellsTruncatedTowardZeroAndNormalisesToOne) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_fFaultWidth = h.m_fFaultLen = 62.5f;  // 62 x 62 cells of 125/62 mm
  view.m_fHalfWidth = 1;                    // not used: half the specimen length is
  const double dS = 125.0 / 62;
  auto colours = [&] {
    std::map<COLORREF, int> out;
    const auto dc = Draw(12);
    for (const DcOp& op : dc->Ops())
      if (op.kind == DcOpKind::FillSolidRect || op.kind == DcOpKind::PatBlt) ++out[op.color];
    return out;
  };
  KZ_Pal1C pal;
  pal.SetRange(0, 1, 20, 240, 3);
  Add(40, static_cast<float>(-62.5 - 0.5 * dS), 0, 10);  // in the first column, 40 mm off
  const auto one = colours();
  EXPECT_GT(one.size(), 1u);
  EXPECT_TRUE(one.count(pal.ValueToColor(1.0, 1.0)));                // the fullest cell shows 1
  doc.m_EventList.back()->y = static_cast<float>(-62.5 - 1.5 * dS);  // beyond the grid
  const auto none = colours();
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none.begin()->first, pal.ValueToColor(0.0, 1.0));
  // Half sizes under 1 mm: the frame and texts, no field.
  h.m_fFaultWidth = 0.5f;
  auto dc = Draw(12);
  EXPECT_EQ(dc->OpsOf(DcOpKind::Rectangle).size(), 1u);
  EXPECT_TRUE(colours().empty());
}

TEST_F(HypoPlots, SectionTimeBoxSpansTheWindowOver60mmWhenTheWidthIs12000) {
  doc.m_nDocParam = 12000;
  Add(0, 5, 10, 0);     // at t0: on the start face
  Add(0, 5, 10, 1000);  // at t1: on the end face
  Add(30, 5, 10, 500);  // outside the slab
  auto dc = Draw(13);
  const double s = 100;
  const int T3 = static_cast<int>(0.5 * 120 * s), cx = 5000 + T3 / 2, cy = -2000 - 2500 - 2000;
  POINT l0, r0, l1, r1;
  view.StereoPoint(-30, 5, 10, &l0, &r0);
  view.StereoPoint(30, 5, 10, &l1, &r1);
  const std::vector<POINT> c = Centres(*dc);
  ASSERT_EQ(c.size(), 4u);
  EXPECT_NEAR(c[0].x, cx + l0.x, 1);
  EXPECT_NEAR(c[0].y, cy + l0.y, 1);
  EXPECT_NEAR(c[2].x, cx + l1.x, 1);
  EXPECT_NEAR(c[3].x, cx + r1.x, 1);
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse))
    EXPECT_EQ(op->state.brush.Color(), RGB(0, 0, 0));
  // Twelve edges and two axes, each in both images.
  EXPECT_EQ(dc->OpsOf(DcOpKind::LineTo).size(), 28u);
}

TEST_F(HypoPlots, DistanceTimeFrontsStartAtTheBandAndStopAtItsEdge) {
  CAEHypo& h = *doc.m_pHypo;
  doc.m_nDocParam = 12000;
  h.m_fDiffusivity = 0.1f;
  Add(0, 0, 0, 10);
  const int xl = 3500, hh = 5000;  // s L
  struct Case {
    int type;
    int yb;
  } cases[] = {{8, -2000 - hh}, {9, -2000 - hh / 2 - hh / 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    auto dc = Draw(c.type);
    const auto fronts = dc->OpsOf(DcOpKind::Polyline);
    ASSERT_EQ(fronts.size(), 4u);
    for (const DcOp* f : fronts) {
      EXPECT_EQ(f->points.front().x, xl);
      EXPECT_EQ(f->points.front().y, c.yb);
      for (const POINT& p : f->points) {
        EXPECT_LE(p.y, c.yb + hh);
        EXPECT_LE(p.x, xl + 12000);
      }
      EXPECT_EQ(f->state.pen.Color(), RGB(255, 0, 0));
    }
    EXPECT_TRUE(HasText(*dc, "D= 0.10m^2/s"));
    EXPECT_TRUE(HasText(*dc, "D= 0.40m^2/s"));
  }
  // A front that leaves the band at its second step is its starting point alone.
  h.m_fDiffusivity = 1e6f;
  const auto steep = Draw(8);
  for (const DcOp* f : steep->OpsOf(DcOpKind::Polyline)) EXPECT_EQ(f->points.size(), 1u);
  h.m_fDiffusivity = 0;
  auto dc = Draw(8);
  EXPECT_TRUE(dc->OpsOf(DcOpKind::Polyline).empty());
  EXPECT_FALSE(HasText(*dc, "D="));
}

TEST_F(HypoPlots, DistanceTimePlacesEventsAndFillsTheHitTableUnlessColouredByRatio) {
  CAEHypo& h = *doc.m_pHypo;
  doc.m_nDocParam = 10000;
  Catalogue({{5, 5}, {5, 5}});
  Add(3, 4, 0, 250);    // distance 5, R = 0
  Add(40, 0, 30, 500);  // outside the slab: only in type 8
  auto c8 = Centres(*Draw(8));
  const int hh = 5000;
  ASSERT_EQ(c8.size(), 2u);
  EXPECT_EQ(c8[0].x, 3500 + 2500);
  EXPECT_EQ(c8[0].y, -2000 - hh + 500);  // 5 mm at h / L = 100 per mm
  EXPECT_EQ(view.m_pHits[0].pEntry, doc.m_EventList[0].get());
  EXPECT_EQ(view.m_pHits[1].pEntry, doc.m_EventList[1].get());
  EXPECT_EQ(view.m_pHits[2].pEntry, nullptr);
  auto c9 = Centres(*Draw(9));
  ASSERT_EQ(c9.size(), 1u);
  EXPECT_EQ(c9[0].y, -2000 - hh / 2);  // R = 0 in the band's middle
  h.m_nColorMode = 3;
  auto dc = Draw(8);
  EXPECT_EQ(dc->OpsOf(DcOpKind::Ellipse).front()->state.brush.Color(),
            view.m_Palette.ValueToColor(0.5, 1.0));
  EXPECT_EQ(view.m_pHits[0].pEntry, nullptr);
}
