#include <algorithm>
#include <cmath>

#include "views/timeseries/TSView.h"
#include "views/timeseries/TSView_testkit.h"

using plat::DcOp;
using plat::DcOpKind;
using tstest::MakeSeries;
using tstest::SetPeaks;

namespace {

class TSSeries : public tstest::TSPage {
 protected:
  // With fewer than ten peaks the peak panel ends the first group, whose end the next
  // group starts from: the first series slot's bottom lies at -3750 - 3500.
  static constexpr int kFirstSlot = -3750 - 3500;
};

std::vector<double> Seconds(int n, double step = 1) {
  std::vector<double> ms;
  for (int i = 0; i < n; ++i) ms.push_back(i * step * 1000);
  return ms;
}

// An additional series with few samples in the window is drawn point by point.
TEST_F(TSSeries, FewSamplesAreDrawnAsPoints) {
  for (int n : {49, 50}) {
    SCOPED_TRACE(n);
    doc.m_pAddTS[0] = MakeSeries(Start(), {"Load"}, Seconds(n), {std::vector<int>(n, 50)});
    doc.m_pAddTS[0]->m_pChannel[0].crColour = RGB(1, 2, 3);
    const auto dc = Record();
    std::size_t circles = 0;
    for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse))
      if (op->state.pen.Color() == RGB(1, 2, 3)) ++circles;
    EXPECT_EQ(circles, n < 50 ? 49u : 0u);
    const auto curve = With(*dc, DcOpKind::Polyline, 25, RGB(1, 2, 3));
    ASSERT_EQ(curve.size(), 1u);
    EXPECT_EQ(curve[0]->points[0].y, kFirstSlot + 1500);  // 50 on a 0 .. 100 range
  }
}

// The stress series: a missing strain reading (32222) breaks its line in two.
TEST_F(TSSeries, MissingStrainReadingLeavesAGap) {
  doc.m_pStress = std::make_unique<CAEStress>();
  CAEStress& st = *doc.m_pStress;
  st.m_tmBase = tstest::Jan2020();
  st.m_nInterval = 20;
  st.m_nSamples = 5;
  const std::int16_t axial[] = {0, 100, CAEStress::kMissing, 200, 300};
  std::copy(axial, axial + 5, st.m_pStrain[0].begin());
  const auto dc = Record();
  const auto lines = With(*dc, DcOpKind::Polyline, 25, RGB(0, 0, 255));
  ASSERT_EQ(lines.size(), 2u + 5u);  // array 0 in two pieces, the other axial arrays whole
  const double kS = 3000.0 / 20000;
  ASSERT_EQ(lines[0]->points.size(), 2u);
  EXPECT_EQ(lines[0]->points[1].x, 2000 + 20 * 120);
  EXPECT_EQ(lines[0]->points[1].y, static_cast<int>(kFirstSlot + (100 + 10000) * kS));
  ASSERT_EQ(lines[1]->points.size(), 2u);
  EXPECT_EQ(lines[1]->points[0].x, 2000 + 60 * 120);
}

// The stress file keeps the axial stress in 0.1 MPa: a 45 MPa reading stands at 45 on the
// "Pressure, MPa" axis, here 0 .. 50 over the slot's 3000 units.
TEST_F(TSSeries, StressFileIsDrawnInMPa) {
  doc.m_pStress = std::make_unique<CAEStress>();
  CAEStress& st = *doc.m_pStress;
  st.m_tmBase = tstest::Jan2020();
  st.m_nInterval = 20;
  st.m_nSamples = 5;
  std::fill(st.m_pAxialStress.begin(), st.m_pAxialStress.begin() + 5, std::int16_t{450});
  view.m_nStressMin = 0;
  view.m_nStressMax = 50;
  const auto dc = Record();
  const auto stress = With(*dc, DcOpKind::Polyline, 40, RGB(255, 0, 0));
  // The volumetric strain shares the pen; the stress is the line at one height.
  const int at = kFirstSlot - 3500 + 45 * 3000 / 50;
  const bool found = std::any_of(stress.begin(), stress.end(), [&](const DcOp* op) {
    return op->points.size() > 1 && std::all_of(op->points.begin(), op->points.end(),
                                                [&](const POINT& p) { return p.y == at; });
  });
  EXPECT_TRUE(found);
}

// Mean strains of the main series over the usable pairs: a reading beyond 60000 leaves
// its pair out of that sample, the sum still divided by all usable pairs; one pair alone
// draws no mean.
TEST_F(TSSeries, MeanStrainsSkipReadingsBeyondRange) {
  struct Case {
    int pairs;
    std::vector<int> expectedOffsets;  // y above the slot bottom, per sample; empty: none
  };
  // kS = 3000 / 20000; zero offset on: the means start at 0 (1500 above the bottom).
  // Sample 1 of the three-pair case: (100 + 300) / 3 - 200 = -66.7 -> 1490.
  for (const Case& c : std::vector<Case>{{1, {}}, {3, {1500, 1490, 1500}}}) {
    SCOPED_TRACE(c.pairs);
    std::vector<std::string> names{"Stress", "CP"};
    std::vector<std::vector<int>> values{{0, 0, 0, 0}, {0, 0, 0, 0}};
    for (int q = 0; q < c.pairs; ++q) {
      names.push_back("Strain" + std::to_string(q) + "a");
      names.push_back("Strain" + std::to_string(q) + "c");
      const int a = 100 * (q + 1);
      values.push_back({a, q == 1 ? 70000 : a, a, a});
      values.push_back({a / 10, a / 10, a / 10, a / 10});
    }
    doc.m_pTS = MakeSeries(Start(), names, {0, 50000, 100000, 150000}, values);
    const auto dc = Record();
    const auto mean = With(*dc, DcOpKind::Polyline, 50, RGB(0, 64, 0));
    if (c.expectedOffsets.empty()) {
      EXPECT_TRUE(mean.empty());
      continue;
    }
    ASSERT_EQ(mean.size(), 1u);
    ASSERT_EQ(mean[0]->points.size(), c.expectedOffsets.size());
    for (std::size_t i = 0; i < c.expectedOffsets.size(); ++i) {
      EXPECT_EQ(mean[0]->points[i].x, 2000 + static_cast<int>(i) * 6000);
      EXPECT_NEAR(mean[0]->points[i].y, kFirstSlot + c.expectedOffsets[i], 1);
    }
  }
}

// Pore pressures are looked for before the strain run only.
TEST_F(TSSeries, PorePressureChannelsBeforeTheStrainRun) {
  doc.m_pTS = MakeSeries(Start(), {"Stress", "CP", "PoreP1", "Strain1a", "Strain1c", "P_pore2"},
                         Seconds(100), {});
  const auto dc = Record();
  EXPECT_EQ(With(*dc, DcOpKind::Polyline, 25, RGB(0, 0, 255)).size(), 1u);
  EXPECT_TRUE(With(*dc, DcOpKind::Polyline, 25, RGB(0, 255, 0)).empty());
  EXPECT_TRUE(HasText(*dc, "P.P., MPa"));
}

TEST_F(TSSeries, AECountAxisInThousandsFrom10000) {
  doc.m_pTS = MakeSeries(Start(), {"Stress", "CP"}, Seconds(10), {});
  for (int max : {9999, 10000}) {
    view.m_nAEMax = max;
    const auto dc = Record();
    EXPECT_EQ(HasText(*dc, "N_AE x1000"), max >= 10000);
    EXPECT_EQ(HasText(*dc, "N_AE"), max < 10000);
  }
}

// The cumulative peak count joins a point only 50 units on from the last one joined.
TEST_F(TSSeries, PeakCountJoinsEvery50Units) {
  doc.m_pTS = MakeSeries(Start(), {"Stress", "CP"}, Seconds(10), {});
  std::vector<tstest::Peak> p;
  for (int i = 0; i < 100; ++i) p.push_back({i * 0.1, 3});
  SetPeaks(Peaks(), p);
  view.m_nAEMax = 100;  // one peak is 30 units up
  const auto dc = Record();
  std::vector<const DcOp*> count;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Polyline))
    if (op->state.pen.Color() == RGB(255, 0, 0) && op->state.pen.Width() == 40 &&
        op->state.pen.Style() == PS_DOT)
      count.push_back(op);
  ASSERT_EQ(count.size(), 1u);
  const auto& pts = count[0]->points;
  ASSERT_GT(pts.size(), 10u);
  for (std::size_t i = 1; i < pts.size(); ++i)
    EXPECT_TRUE(pts[i].x - pts[i - 1].x > 50 || pts[i].y - pts[i - 1].y > 50) << i;
  // Every second peak lifts the count by 60 units: peaks 2, 4, .., 98 are joined.
  EXPECT_EQ(pts.size(), 1u + 49u);
}

}  // namespace
