// The beach ball and radiation drawing against an independent projection (numpy table
// made by tools/plot/make_mechanism_tables.py) and the closed-form P radiation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/numerics/KZ_EQMT.h"
#include "base/numerics/KZ_MecaFit.h"
#include "base/plot/KZ_Pal1C.h"
#include "platform/RecordingDc.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kR = 5000;

struct Ref {
  double strike, dip, rake;
  double px, py, tx, ty;
  std::vector<std::vector<std::pair<double, double>>> planes;
};

std::vector<Ref> LoadReference() {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/base/plot/testdata/beachball_reference.txt");
  std::vector<Ref> refs;
  std::string word;
  while (in >> word) {
    if (word == "case") {
      refs.emplace_back();
      in >> refs.back().strike >> refs.back().dip >> refs.back().rake;
    } else if (word == "P") {
      in >> refs.back().px >> refs.back().py;
    } else if (word == "T") {
      in >> refs.back().tx >> refs.back().ty;
    } else if (word == "plane") {
      int n = 0;
      in >> n;
      refs.back().planes.emplace_back(n);
      for (auto& p : refs.back().planes.back()) in >> p.first >> p.second;
    }
  }
  return refs;
}

// A mechanism with both planes and the axes set from one plane's angles (degrees),
// without SetMechanism's adjustments of steep dips and large rakes.
void SetPlanes(KZ_EQMT& m, double strike, double dip, double rake) {
  m.Plane1 = KZ_NodalPlane{strike * kPi / 180, dip * kPi / 180, rake * kPi / 180, 1};
  m.Plane2 = KZ_AuxiliaryPlane(&m.Plane1);
  m.ComputeAxes();
}

double DistanceToCurve(double x, double y, const std::vector<std::pair<double, double>>& c) {
  double best = 1e30;
  for (std::size_t i = 0; i + 1 < c.size(); ++i) {
    const double ax = c[i].first, ay = c[i].second;
    const double dx = c[i + 1].first - ax, dy = c[i + 1].second - ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((x - ax) * dx + (y - ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    best = std::min(best, std::hypot(x - ax - t * dx, y - ay - t * dy));
  }
  return best;
}

// Distance of a mark to the reference axis; an axis on the rim may be drawn at either end.
double AxisDistance(double x, double y, double rx, double ry) {
  const double d = std::hypot(x - rx, y - ry);
  if (std::hypot(rx, ry) > kR - 5) return std::min(d, std::hypot(x + rx, y + ry));
  return d;
}

TEST(KZ_EQMT_Draw, BeachBallMatchesAnIndependentStereographicProjection) {
  const std::vector<Ref> refs = LoadReference();
  ASSERT_EQ(refs.size(), 6u);
  for (const Ref& ref : refs) {
    SCOPED_TRACE(::testing::Message() << ref.strike << "/" << ref.dip << "/" << ref.rake);
    KZ_EQMT m;
    SetPlanes(m, ref.strike, ref.dip, ref.rake);
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    m.DrawBeachBall(&dc, 0, 0, kR, 0);

    auto lines = dc.OpsOf(plat::DcOpKind::Polyline);
    ASSERT_EQ(lines.size(), 2u);
    std::vector<int> matched;
    for (const auto* line : lines) {
      EXPECT_EQ(line->state.pen.Width(), 20);
      int which = -1;
      for (int k = 0; k < 2; ++k) {
        double worst = 0;
        for (POINT p : line->points)
          worst = std::max(worst, DistanceToCurve(p.x, p.y, ref.planes[k]));
        if (worst <= 3.0) which = k;
      }
      ASSERT_GE(which, 0) << "a nodal arc off both reference planes";
      matched.push_back(which);
      // The arc runs from rim to rim.
      for (POINT end : {line->points.front(), line->points.back()})
        EXPECT_NEAR(std::hypot(end.x, end.y), kR, 3.0);
    }
    EXPECT_NE(matched[0], matched[1]) << "both arcs on the same plane";

    // Outline, then the P disc (150 across); the T plus is two 150-unit lines.
    auto ellipses = dc.OpsOf(plat::DcOpKind::Ellipse);
    ASSERT_EQ(ellipses.size(), 2u);
    EXPECT_EQ(ellipses[0]->rect.right - ellipses[0]->rect.left, 2 * kR);
    EXPECT_EQ(ellipses[0]->state.brush.Style(), BS_NULL);
    const RECT& disc = ellipses[1]->rect;
    EXPECT_EQ(disc.right - disc.left, 150);
    EXPECT_EQ(ellipses[1]->state.brush.Color(), RGB(0, 0, 0));
    EXPECT_LE(AxisDistance((disc.left + disc.right) / 2.0, (disc.top + disc.bottom) / 2.0, ref.px,
                           ref.py),
              3.0);
    auto strokes = dc.OpsOf(plat::DcOpKind::LineTo);
    ASSERT_EQ(strokes.size(), 2u);
    const POINT a = strokes[0]->points[0], b = strokes[0]->points[1];
    EXPECT_EQ(std::abs(b.x - a.x) + std::abs(b.y - a.y), 150);
    EXPECT_LE(AxisDistance((a.x + b.x) / 2.0, (a.y + b.y) / 2.0, ref.tx, ref.ty), 3.0);
  }
}

TEST(KZ_EQMT_Draw, PureThrustIsSymmetricWithTAtTheCentreAndPWest) {
  KZ_EQMT m;
  SetPlanes(m, 0, 45, 90);
  plat::RecordingDc dc;
  m.DrawBeachBall(&dc, 1000, -1000, kR, 0);
  auto lines = dc.OpsOf(plat::DcOpKind::Polyline);
  ASSERT_EQ(lines.size(), 2u);
  // Mirror images about the north-south line through the centre.
  for (POINT p : lines[0]->points) {
    double best = 1e30;
    for (POINT q : lines[1]->points)
      best = std::min(best, std::hypot(p.x - 1000 + (q.x - 1000), p.y - q.y));
    EXPECT_LE(best, 120.0);  // the arcs' points are up to ~100 units apart
  }
  auto strokes = dc.OpsOf(plat::DcOpKind::LineTo);
  ASSERT_EQ(strokes.size(), 2u);
  EXPECT_NEAR((strokes[0]->points[0].x + strokes[0]->points[1].x) / 2.0, 1000, 1);
  EXPECT_NEAR((strokes[1]->points[0].y + strokes[1]->points[1].y) / 2.0, -1000, 1);
  const RECT disc = dc.OpsOf(plat::DcOpKind::Ellipse)[1]->rect;
  EXPECT_NEAR((disc.left + disc.right) / 2.0, 1000 - kR, 2);
  EXPECT_NEAR((disc.top + disc.bottom) / 2.0, -1000, 2);
}

TEST(KZ_EQMT_Draw, ModeOneDrawsOnlyTheSteeperPlane) {
  struct Case {
    double dip1, dip2;
    int arcs;
    double expectedDip;
  } cases[] = {{60, 30, 1, 60}, {30, 60, 1, 60}, {45, 45, 0, 0}, {90, 0, 1, 90}};
  for (const Case& c : cases) {
    KZ_EQMT m;
    m.Plane1 = KZ_NodalPlane{0.3, c.dip1 * kPi / 180, 0, 1};
    m.Plane2 = KZ_NodalPlane{2.0, c.dip2 * kPi / 180, 0, 0};
    plat::RecordingDc dc;
    m.DrawBeachBall(&dc, 0, 0, kR, 1);
    auto lines = dc.OpsOf(plat::DcOpKind::Polyline);
    ASSERT_EQ(static_cast<int>(lines.size()), c.arcs) << c.dip1 << "/" << c.dip2;
    EXPECT_TRUE(dc.OpsOf(plat::DcOpKind::LineTo).empty());
    EXPECT_EQ(dc.OpsOf(plat::DcOpKind::Ellipse).size(), 1u);
    if (c.arcs == 1) {
      // The arc's closest approach to the centre is R tan((90 - dip)/2).
      double closest = 1e30;
      for (POINT p : lines[0]->points) closest = std::min(closest, std::hypot(p.x, p.y));
      EXPECT_NEAR(closest, kR * std::tan((90 - c.expectedDip) * kPi / 360), 60);
    }
  }
}

// Aki and Richards' P radiation of a double couple, azimuth clockwise from north.
double AkiRichardsP(double strike, double dip, double rake, double takeoff, double azimuth) {
  const double f = (azimuth - strike) * kPi / 180, d = dip * kPi / 180, l = rake * kPi / 180;
  const double i = takeoff * kPi / 180;
  return std::cos(l) * std::sin(d) * std::pow(std::sin(i), 2) * std::sin(2 * f) -
         std::cos(l) * std::cos(d) * std::sin(2 * i) * std::cos(f) +
         std::sin(l) * std::sin(2 * d) *
             (std::pow(std::cos(i), 2) - std::pow(std::sin(i), 2) * std::pow(std::sin(f), 2)) +
         std::sin(l) * std::cos(2 * d) * std::sin(2 * i) * std::sin(f);
}

// The radiation pattern's 20 x 20 cells, cut from the filled runs that hold them.
struct Cell {
  RECT rect;
  COLORREF color;
};
std::vector<Cell> Cells(const plat::RecordingDc& dc) {
  std::vector<Cell> out;
  for (const auto* op : dc.OpsOf(plat::DcOpKind::FillSolidRect)) {
    const int lo = std::min(op->rect.top, op->rect.bottom), hi = std::max(op->rect.top, op->rect.bottom);
    for (int y = lo; y < hi; y += 20)
      out.push_back({RECT{op->rect.left, y, op->rect.right, y + 20}, op->color});
  }
  return out;
}

// The palette value whose colour is nearest to `c`.
double PaletteValue(const KZ_Pal1C& pal, COLORREF c) {
  double best = 1e30, value = 0;
  for (int k = -100; k <= 100; ++k) {
    const COLORREF q = pal.ValueToColor(k / 100.0, 1.0);
    const double d =
        std::hypot(std::hypot(GetRValue(q) - GetRValue(c), GetGValue(q) - GetGValue(c)),
                   GetBValue(q) - GetBValue(c));
    if (d < best) best = d, value = k / 100.0;
  }
  return value;
}

TEST(KZ_EQMT_Draw, RadiationCellsHaveTheSignOfThePRadiation) {
  KZ_Pal1C pal;
  pal.SetRange(-1, 1, 0, 360, 7);
  const double mechanisms[][3] = {{0, 45, 90}, {30, 90, 0}, {120, 60, 30}, {200, 30, -60}};
  for (const auto& mech : mechanisms) {
    KZ_EQMT m;
    SetPlanes(m, mech[0], mech[1], mech[2]);
    plat::RecordingDc dc;
    const int R = 1000;
    m.DrawRadiation(&dc, 300, -200, R, 1, 0);
    const auto cells = Cells(dc);
    ASSERT_GT(cells.size(), 1000u);
    int checked = 0;
    for (const Cell& cell : cells) {
      ASSERT_EQ(cell.rect.right - cell.rect.left, 20);
      const double i = cell.rect.left + 10 - 300, j = cell.rect.top + 10 + 200;
      const double r = std::hypot(i, j);
      ASSERT_LE(r, R);
      const double takeoff = 2 * std::atan(r / R) * 180 / kPi;
      const double azimuth = std::atan2(i, j) * 180 / kPi;  // clockwise from north
      const double p = AkiRichardsP(mech[0], mech[1], mech[2], takeoff, azimuth);
      if (std::fabs(p) < 0.15) continue;  // near a nodal line
      const double v = PaletteValue(pal, cell.color);
      EXPECT_GT(v * p, 0) << "cell " << i << "," << j << " P " << p << " drawn as " << v;
      ++checked;
    }
    EXPECT_GT(checked, 1000);
    // The beach ball is drawn over the cells.
    EXPECT_EQ(dc.Ops().back().kind, plat::DcOpKind::Ellipse);
  }
}

// Every cell of every component has the colour of the amplitudes along the ray of its
// take-off angle and azimuth as angles (the reading by angles the cells were first made
// with).
TEST(KZ_EQMT_Draw, RadiationCellsMatchTheAmplitudesByAngles) {
  KZ_EQMT m;
  SetPlanes(m, 120, 60, 30);
  double M[9];
  MomentTensorFromAngles(0, 0, 120, 60, 30, M);
  KZ_Pal1C pal;
  pal.SetRange(-1, 1, 0, 360, 7);
  for (int component = 1; component <= 5; ++component) {
    SCOPED_TRACE(component);
    plat::RecordingDc dc;
    const int R = 1000;
    m.DrawRadiation(&dc, 0, 0, R, component, 0);
    const auto cells = Cells(dc);
    ASSERT_GT(cells.size(), 7000u);
    int differ = 0;
    for (const Cell& cell : cells) {
      const double i = cell.rect.left + 10, j0 = cell.rect.top + 10;
      const double j = i == 0 && j0 == 0 ? 1 : j0;
      const double r = std::hypot(i, j);
      const double takeoff = 2 * std::atan(r / R) * 180 / kPi;
      double angle = std::atan2(j, i) * 180 / kPi;
      if (angle < 0) angle += 360;
      const double p = RadiationAmplitude(M, takeoff, 90 - angle, 1);
      const double sv = RadiationAmplitude(M, takeoff, 90 - angle, 2);
      const double sh = RadiationAmplitude(M, takeoff, 90 - angle, 3);
      const double s = std::sqrt(sv * sv + sh * sh);
      const double values[] = {p, sv, sh, s, p != 0 ? s / std::fabs(p) : 1.0};
      differ += cell.color != pal.ValueToColor(values[component - 1], 1.0);
    }
    EXPECT_EQ(differ, 0);
  }
}

TEST(KZ_EQMT_Draw, RadiationComponentsBarAndTinyRadius) {
  KZ_EQMT m;
  SetPlanes(m, 0, 90, 0);  // P nodal along the north-south and east-west lines
  KZ_Pal1C pal;
  pal.SetRange(-1, 1, 0, 360, 7);
  {
    // S amplitude never drops below zero: only the upper half of the palette.
    plat::RecordingDc dc;
    m.DrawRadiation(&dc, 0, 0, 800, 4, 0);
    for (const Cell& cell : Cells(dc)) EXPECT_GE(PaletteValue(pal, cell.color), -0.02);
  }
  {
    // S/P on the north-south P nodal line (the column through the centre) takes the
    // palette's top colour, as does every ratio beyond the range.
    plat::RecordingDc dc;
    m.DrawRadiation(&dc, 0, 0, 1010, 5, 1);
    int onLine = 0;
    for (const Cell& cell : Cells(dc))
      if (cell.rect.left == -10) {
        EXPECT_EQ(cell.color, pal.ValueToColor(1.0, 1.0));
        ++onLine;
      }
    EXPECT_GT(onLine, 50);
    // The bar is labelled "S/P".
    const auto texts = dc.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "S/P"), texts.end());
  }
  {
    // A radius of 10 or less leaves no cell: only the beach ball.
    plat::RecordingDc dc;
    m.DrawRadiation(&dc, 0, 0, 10, 1, 0);
    EXPECT_TRUE(dc.OpsOf(plat::DcOpKind::FillSolidRect).empty());
    EXPECT_EQ(dc.OpsOf(plat::DcOpKind::Polyline).size(), 2u);
  }
}

}  // namespace
