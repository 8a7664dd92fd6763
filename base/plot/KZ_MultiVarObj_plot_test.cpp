// The table drawings in the recording DC, one table of cases per plot.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <climits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/numerics/KZ_NumHelpers.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/RecordingDc.h"

namespace {

using plat::DcOpKind;

struct Col {
  std::string title, unit;
  std::uint32_t flags;
  std::vector<double> v;
  double min = 0, max = 0;  // equal: the range of the values
  int style = 2;
};

void Fill(KZ_MultiVarObj& t, const std::vector<Col>& cols) {
  std::size_t rows = 1;
  for (const Col& c : cols) rows = std::max(rows, c.v.size());
  t.SetSize(std::max<int>(3, static_cast<int>(cols.size())), static_cast<int>(rows));
  t.m_nColumns = static_cast<int>(cols.size());
  for (std::size_t c = 0; c < cols.size(); ++c) {
    std::copy(cols[c].v.begin(), cols[c].v.end(), t.m_ppData[c]);
    double lo = cols[c].min, hi = cols[c].max;
    if (lo == hi) {
      lo = *std::min_element(cols[c].v.begin(), cols[c].v.end());
      hi = *std::max_element(cols[c].v.begin(), cols[c].v.end());
    }
    KZ_Var1D& col = t.m_Columns[c];
    col.SetAll(static_cast<int>(cols[c].v.size()), lo, hi, cols[c].title, cols[c].unit,
               cols[c].flags);
    col.m_nPlotStyle = static_cast<std::uint16_t>(cols[c].style);
    col.m_nColour = static_cast<std::int32_t>(RGB(0, 0, 200));
  }
}

std::vector<double> Ramp(int n, double a, double b) {
  std::vector<double> v(n);
  for (int i = 0; i < n; ++i) v[i] = a + (b - a) * i / (n - 1);
  return v;
}

bool HasText(const plat::RecordingDc& dc, const std::string& part) {
  for (const std::string& s : dc.Texts())
    if (s.find(part) != std::string::npos) return true;
  return false;
}

POINT Centre(const plat::DcOp* op) {
  return POINT{(op->rect.left + op->rect.right) / 2, (op->rect.top + op->rect.bottom) / 2};
}

// Frame of every x-y case: top-left (2000, -1000), 10000 x 8000.
constexpr int X = 2000, Y = -1000, W = 10000, H = 8000, Y0 = Y - H;

TEST(TableXYPlot, CurveCases) {
  {
    SCOPED_TRACE("a constant column draws nothing");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(5, 0, 4)}, {"y", "m", 2, {3, 3, 3, 3, 3}}});
    t.m_Columns[1].m_dMin = t.m_Columns[1].m_dMax = 3;
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    EXPECT_TRUE(dc.Ops().empty());
  }
  {
    SCOPED_TRACE("values below the range sit on the bottom edge, values above are not clipped");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, {0, 5, 10}}, {"y", "m", 2, {-5, 5, 15}, 0, 10, 1}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    auto discs = dc.OpsOf(DcOpKind::Ellipse);
    ASSERT_EQ(discs.size(), 3u);
    const int expectY[] = {Y0, Y0 + H / 2, Y0 + 3 * H / 2};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Centre(discs[i]).x, X + i * W / 2);
      EXPECT_EQ(Centre(discs[i]).y, expectY[i]);
      EXPECT_EQ(discs[i]->rect.right - discs[i]->rect.left, 100);  // size scale 50
    }
  }
  {
    SCOPED_TRACE("a 'cir' column: rainbow discs by row, symbols only");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(4, 0, 3)}, {"circles", "m", 2, {1, 2, 3, 4}, 0, 0, 2}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    EXPECT_TRUE(dc.OpsOf(DcOpKind::Polyline).empty());
    EXPECT_EQ(t.m_Columns[1].m_nPlotStyle, 1);
    KZ_Pal1C rainbow;
    rainbow.SetRange(0, 4, 0, 360, 3);
    auto discs = dc.OpsOf(DcOpKind::Ellipse);
    ASSERT_EQ(discs.size(), 4u);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(discs[i]->state.brush.Color(), rainbow.ValueToColor(i, 1.0)) << i;
    // Radius below 10: nothing at all.
    t.m_fSizeScale = 9;
    plat::RecordingDc small;
    t.DrawXY(&small, X, Y, W, H, 1);
    EXPECT_TRUE(small.OpsOf(DcOpKind::Ellipse).empty());
  }
  {
    SCOPED_TRACE("third Y column: legend with tidied exponents");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(3, 0, 2)},
             {"a", "m", 2, {1, 2, 3}},
             {"b", "m", 2, {1, 2, 3}},
             {"rate", "1/s", 2, {0.002, 1, 20000}, 0.0015, 25000}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    EXPECT_TRUE(HasText(dc, "rate, 1/s, [1.5e-3, 2.5e+4]")) << ::testing::PrintToString(dc.Texts());
    // Both numbers of a line are tidied alike, whatever the first one looks like.
    for (const auto& [lo, hi, text] : {std::tuple{0.0, 1.0, "rate, 1/s, [0.e+0, 1.e+0]"},
                                       std::tuple{-12.0, -11.5, "rate, 1/s, [-1.2e+1, -1.15e+1]"},
                                       std::tuple{0.25, 400.0, "rate, 1/s, [2.5e-1, 4.e+2]"}}) {
      Fill(t, {{"x", "m", 1, Ramp(3, 0, 2)},
               {"a", "m", 2, {1, 2, 3}},
               {"b", "m", 2, {1, 2, 3}},
               {"rate", "1/s", 2, {0.002, 1, 20000}, lo, hi}});
      plat::RecordingDc again;
      t.DrawXY(&again, X, Y, W, H, 1);
      EXPECT_TRUE(HasText(again, text)) << ::testing::PrintToString(again.Texts());
    }
  }
  {
    SCOPED_TRACE("X values symmetric about 0: a vertical zero line in the middle");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(5, -5, 5)}, {"y", "m", 2, {1, 2, 3, 2, 1}}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    bool found = false;
    for (const auto* op : dc.OpsOf(DcOpKind::LineTo))
      found |= op->points[0].x == X + W / 2 && op->points[1].x == X + W / 2 &&
               op->points[0].y == Y0 && op->points[1].y == Y;
    EXPECT_TRUE(found);
  }
  {
    SCOPED_TRACE("line points closer than 100 units in both directions are left out");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(1001, 0, 1000)}, {"y", "m", 2, Ramp(1001, 0, 1), 0, 100}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    auto lines = dc.OpsOf(DcOpKind::Polyline);
    ASSERT_EQ(lines.size(), 1u);
    const auto& p = lines[0]->points;
    EXPECT_GT(p.size(), 80u);
    EXPECT_LT(p.size(), 100u);
    EXPECT_GT(std::abs(p[0].x - X), 100);
    for (std::size_t i = 1; i < p.size(); ++i)
      EXPECT_TRUE(std::abs(p[i].x - p[i - 1].x) > 100 || std::abs(p[i].y - p[i - 1].y) > 100);
    EXPECT_EQ(lines[0]->state.pen.Width(), 20);  // the column's line width
  }
  {
    SCOPED_TRACE("500 rows and more: hairline symbol pen");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(500, 0, 1)}, {"y", "m", 2, Ramp(500, 0, 1), 0, 0, 1}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    EXPECT_EQ(dc.OpsOf(DcOpKind::Ellipse)[0]->state.pen.Width(), 0);
  }
}

// Vertical strokes drawn in the columns' colour (the axes draw black), as (x, y0, y1).
std::vector<std::array<int, 3>> ColumnStrokes(const plat::RecordingDc& dc) {
  std::vector<std::array<int, 3>> out;
  for (const auto* op : dc.OpsOf(DcOpKind::LineTo))
    if (op->state.pen.Color() == RGB(0, 0, 200))
      out.push_back({op->points[0].x, op->points[0].y, op->points[1].y});
  return out;
}

TEST(TableXYPlot, BarsAndErrorBars) {
  const int sy = H / 10;  // Y ranges 0..10 below
  {
    SCOPED_TRACE("bars between the midpoints, the outer ones mirrored");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, {1, 2, 3}, 0, 4}, {"y", "m", 2, {2, 4, 6}, 0, 10, 4}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    auto bars = dc.OpsOf(DcOpKind::Rectangle);
    ASSERT_EQ(bars.size(), 3u);
    const int edges[] = {1250, 3750, 6250, 8750};  // x 0.5, 1.5, 2.5, 3.5
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(bars[i]->rect.left, X + edges[i]);
      EXPECT_EQ(bars[i]->rect.right, X + edges[i + 1]);
      EXPECT_EQ(bars[i]->rect.top, Y0);
      EXPECT_EQ(bars[i]->rect.bottom, Y0 + (2 + 2 * i) * sy);
    }
  }
  {
    SCOPED_TRACE("half-widths: values in the column before, 'mi' in the column after");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, {0, 1, 2}, 0, 2},
             {"val", "m", 0, {2, 4, 12}},
             {"err", "m", 2, {1, 1, 1}, 0, 10, 8},
             {"min", "m", 0, {0, 0, 1}}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    const auto strokes = ColumnStrokes(dc);
    ASSERT_EQ(strokes.size(), 2u);  // the value 12 lies outside the range
    EXPECT_EQ(strokes[0], (std::array<int, 3>{X, Y0 + 1 * sy, Y0 + 3 * sy}));
    EXPECT_EQ(strokes[1], (std::array<int, 3>{X + W / 2, Y0 + 3 * sy, Y0 + 5 * sy}));
  }
  {
    SCOPED_TRACE("bounds in the two columns after; bounds beyond the range are left out");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, {0, 1, 2}, 0, 2},
             {"y", "m", 2, {5, 5, 5}, 0, 10, 8},
             {"low", "m", 0, {4, -1, 3}},
             {"high", "m", 0, {6, 7, 11}}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    const auto strokes = ColumnStrokes(dc);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0], (std::array<int, 3>{X, Y0 + 4 * sy, Y0 + 6 * sy}));
  }
  {
    SCOPED_TRACE("error bars at the table's edge: none");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, {0, 1, 2}, 0, 2}, {"y", "m", 2, {5, 5, 5}, 0, 10, 8}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    EXPECT_TRUE(ColumnStrokes(dc).empty());
  }
}

TEST(TableXYPlot, ZColumnFiltersRowsSizesSymbolsAndDrawsIsoLines) {
  KZ_MultiVarObj t;
  Fill(t, {{"x", "m", 1, {0, 1, 2, 3}},
           {"up", "m", 2, {1, 2, 3, 4}, 0, 0, 1},
           {"down", "m", 2, {4, 3, 2, 1}, 0, 0, 1},
           {"z", "MPa", 4, {0, 0.5, 1.0, 2.0}, 0, 1}});
  plat::RecordingDc dc;
  t.DrawXY(&dc, X, Y, W, H, 1);
  auto symbols = dc.OpsOf(DcOpKind::Ellipse);
  ASSERT_EQ(symbols.size(), 6u);  // z = 2 lies above the Z range
  for (int i = 0; i < 3; ++i) EXPECT_EQ(symbols[i]->rect.right - symbols[i]->rect.left, 2 * 25 * i);
  // Ten levels, one point per Y column: z rises linearly with x, so the level z = 0.1 L
  // is reached at x = 0.2 L, where "up" is 1 + x and "down" 4 - x (both ranges 1..4).
  auto iso = dc.OpsOf(DcOpKind::Polyline);
  ASSERT_EQ(iso.size(), 10u);
  for (int L = 1; L <= 10; ++L) {
    const auto& p = iso[L - 1]->points;
    ASSERT_EQ(p.size(), 2u);
    const double x = 0.2 * L;
    EXPECT_NEAR(p[0].x, X + x * W / 3, 1.5) << L;
    EXPECT_NEAR(p[0].y, Y0 + x * H / 3, 1.5) << L;
    EXPECT_NEAR(p[1].x, X + x * W / 3, 1.5) << L;
    EXPECT_NEAR(p[1].y, Y0 + (3 - x) * H / 3, 1.5) << L;
    EXPECT_EQ(iso[L - 1]->state.pen.Width(), 30);
  }
}

TEST(TableXYPlot, CalendarAxisNeedsATimeTitleAndAStartLine) {
  struct Case {
    const char* title;
    const char* unit;
    bool startLine;
    bool calendar;
  } cases[] = {{"Time", "day", true, true},
               {"Elapsed", "day", true, true},
               {"Time", "day", false, false},
               {"Load", "kN", true, false}};
  for (const Case& c : cases) {
    KZ_MultiVarObj t;
    Fill(t, {{c.title, c.unit, 1, Ramp(11, 0, 10)}, {"y", "m", 2, Ramp(11, 1, 2)}});
    t.m_nHeaders = 1;
    t.m_strHeader[0] = "run";
    if (c.startLine) t.m_strHeader[1] = "START_TIME: 2020/01/02 00:00:00";
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    // Ten days from 2 January: every second day labelled.
    EXPECT_EQ(HasText(dc, "01/06"), c.calendar) << c.title << " " << c.unit << " " << c.startLine;
  }
}

TEST(TableXYPlot, FittedCurveFromTheAnalysisMatrix) {
  struct Case {
    const char* line;
    int matrixRows;
    bool drawn;
  } cases[] = {{"Fitting(iX=0, iY=1):Power", 2, true},
               {"Fitting(iX=0, iY=7):Power", 2, false},   // no such column
               {"Fitting(iX=3, iY=1):Power", 2, false},   // another X column
               {"Fitting(iX=0, iY=1):Power", 1, false}};  // no y row
  for (const Case& c : cases) {
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(5, 0, 4)}, {"y", "m", 2, Ramp(5, 0, 8), 0, 0, 1}});
    t.m_nHeaders = 2;
    t.m_strHeader[1] = c.line;
    t.m_ppMatrix = KZ_AllocMatrix64(c.matrixRows, 3);
    t.m_nMatrixRows = c.matrixRows;
    t.m_nMatrixColumns = 3;
    for (int m = 0; m < 3; ++m) {
      t.m_ppMatrix[0][m] = 2.0 * m;
      if (c.matrixRows > 1) t.m_ppMatrix[1][m] = 4.0 * m;
    }
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    auto lines = dc.OpsOf(DcOpKind::Polyline);
    ASSERT_EQ(lines.size(), c.drawn ? 1u : 0u) << c.line << " rows " << c.matrixRows;
    if (c.drawn) {
      EXPECT_EQ(lines[0]->state.pen.Color(), RGB(255, 0, 0));
      EXPECT_EQ(lines[0]->state.pen.Width(), 30);
      ASSERT_EQ(lines[0]->points.size(), 3u);
      EXPECT_EQ(lines[0]->points[2].x, X + W);       // x = 4
      EXPECT_EQ(lines[0]->points[2].y, Y0 + H);      // y = 8
      EXPECT_EQ(lines[0]->points[1].y, Y0 + H / 2);  // y = 4
    }
  }
}

TEST(TableProfilePlot, Cases) {
  {
    SCOPED_TRACE("one X and one Y column: the curve plot, not the profiles");
    KZ_MultiVarObj t;
    Fill(t, {{"x", "m", 1, Ramp(3, 0, 2)}, {"y", "m", 2, Ramp(3, 0, 2)}});
    plat::RecordingDc dc;
    t.DrawXY(&dc, X, Y, W, H, 1);
    ASSERT_EQ(dc.OpsOf(DcOpKind::Polyline).size(), 1u);
    // The curve's frame (the first point, at the reference (x, y0), is thinned away).
    EXPECT_EQ(dc.OpsOf(DcOpKind::Polyline)[0]->points[0].y, Y0 + H / 2);
  }
  KZ_MultiVarObj t;
  // Depth against three profiles; the last depth lies outside the Y range, the first
  // profile's last value beyond its X range.
  Fill(t, {{"depth", "mm", 2, {0, 5, 10, 20}, 0, 10},
           {"p1", "MPa", 1, {0, 1, 5, 1}, 0, 2, 1},
           {"p2", "MPa", 1, {1, 2, 3, 4}},
           {"p3", "MPa", 1, {1, 2, 3, 4}}});
  plat::RecordingDc dc;
  t.DrawXY(&dc, X, Y, W, H, 1);
  const int y0 = Y - 500 - H;
  auto symbols = dc.OpsOf(DcOpKind::Ellipse);
  ASSERT_EQ(symbols.size(), 3u);  // the depth 20 row is skipped
  EXPECT_EQ(Centre(symbols[0]).x, X);
  EXPECT_EQ(Centre(symbols[0]).y, y0);
  EXPECT_EQ(Centre(symbols[1]).x, X + W / 2);
  EXPECT_EQ(Centre(symbols[1]).y, y0 + H / 2);
  EXPECT_EQ(Centre(symbols[2]).x, X + W);  // 5 beyond 0..2: on the right edge
  EXPECT_EQ(Centre(symbols[2]).y, y0 + H);
  EXPECT_TRUE(HasText(dc, "p3, MPa,   1.00   4.00)")) << ::testing::PrintToString(dc.Texts());
  // Profiles' lines take every point (no thinning).
  auto lines = dc.OpsOf(DcOpKind::Polyline);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]->points.size(), 3u);
}

TEST(TableColourMap, Cases) {
  auto table = [](KZ_MultiVarObj& t, const char* hTitle, const char* hUnit) {
    Fill(t,
         {{"y", "mm", 0, Ramp(5, 0, 4)}, {"a", "", 2, Ramp(5, 0, 1)}, {"b", "", 2, Ramp(5, 1, 2)}});
    t.m_pHVar = std::make_unique<KZ_Var1D>();
    static double h[2] = {0, 10};
    t.m_pHVar->Attach(hTitle, hUnit, h, nullptr, 2, 0, 0, 10, 1, 0, 0);
    t.m_pHVar->m_nPlotStyle = 2;
    t.m_nHeaders = 1;
    t.m_strHeader[0] = "map";
  };
  {
    SCOPED_TRACE("two value columns and an H of two values: one picture in the frame");
    KZ_MultiVarObj t;
    table(t, "Position", "mm");
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    t.DrawXY(&dc, X, Y, W, H, 1);
    auto pictures = dc.OpsOf(DcOpKind::StretchDIBits);
    ASSERT_GE(pictures.size(), 1u);
    EXPECT_EQ(pictures[0]->rect.left, X);
    EXPECT_EQ(pictures[0]->rect.top, Y);
    EXPECT_EQ(pictures[0]->rect.right, X + W);
    EXPECT_EQ(pictures[0]->rect.bottom, Y - H);
    // The field is coloured, not left white.
    const BYTE* bits = pictures[0]->dib->data() + 40;
    int coloured = 0;
    for (std::size_t i = 0; i + 2 < pictures[0]->dib->size() - 40; i += 3)
      coloured += !(bits[i] == 255 && bits[i + 1] == 255 && bits[i + 2] == 255);
    EXPECT_GT(coloured, 1000);
  }
  {
    SCOPED_TRACE("a stereoplot in a wide frame: a square inside a circle, no axes");
    KZ_MultiVarObj t;
    table(t, "Position", "mm");
    t.m_strHeader[0] = "stereoplot of axes";
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    t.DrawXY(&dc, X, Y, 2 * W, H, 1);
    auto pictures = dc.OpsOf(DcOpKind::StretchDIBits);
    ASSERT_GE(pictures.size(), 1u);
    EXPECT_EQ(pictures[0]->rect.right - pictures[0]->rect.left, H);
    auto circles = dc.OpsOf(DcOpKind::Ellipse);
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0]->rect.right - circles[0]->rect.left, H);
    EXPECT_FALSE(HasText(dc, "Position"));
  }
  struct Case {
    const char* title;
    const char* unit;
    bool calendar;
  } cases[] = {{"Time", "hour", true}, {"day", "hour", false}, {"sec", "s", false}};
  for (const Case& c : cases) {
    KZ_MultiVarObj t;
    table(t, c.title, c.unit);
    t.m_strHeader[1] = "START_TIME: 2020/01/02 00:00:00";
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    t.DrawXY(&dc, X, Y, W, H, 1);
    // Ten hours from midnight: hour labels on the calendar axis.
    EXPECT_EQ(HasText(dc, "Time (hour)"), c.calendar) << c.title;
  }
}

constexpr double kPi = 3.14159265358979323846;

TEST(TablePolarPlot, RingsAndPlungePositions) {
  KZ_MultiVarObj t;
  Fill(t, {{"Az", "deg", 1, {0, 90, 180}}, {"Pl", "deg", 2, {90, 0, 45}, 0, 90, 1}});
  plat::RecordingDc dc;
  t.DrawPolar(&dc, X, Y, W, H);
  const int cx = X + 5000, cy = Y - 5000;
  auto ellipses = dc.OpsOf(DcOpKind::Ellipse);
  ASSERT_EQ(ellipses.size(), 6u + 3u);
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(ellipses[k - 1]->rect.right - cx, 5000 * k / 6);
    EXPECT_EQ(ellipses[k - 1]->state.pen.Color(), RGB(64, 64, 64));
  }
  // Plunge 90 at the centre; plunge 0 at azimuth 90 (east) on the outer ring; 45 at
  // azimuth 180 (south) halfway.
  EXPECT_EQ(Centre(ellipses[6]).x, cx);
  EXPECT_EQ(Centre(ellipses[6]).y, cy);
  EXPECT_NEAR(Centre(ellipses[7]).x, cx + 5000, 1);
  EXPECT_NEAR(Centre(ellipses[7]).y, cy, 1);
  EXPECT_NEAR(Centre(ellipses[8]).x, cx, 1);
  EXPECT_NEAR(Centre(ellipses[8]).y, cy - 2500, 1);
}

// Axes in a symmetric fan about (azimuth a0, plunge p0): the axis itself, four axes
// turned 10 degrees either way in azimuth and plunge... as vectors, so the mean is exact.
void Fan(double a0, double p0, std::vector<double>* az, std::vector<double>* pl,
         bool withOpposite) {
  auto vec = [](double a, double p) {
    const double r = kPi / 180;
    return std::array<double, 3>{std::sin(a * r) * std::cos(p * r),
                                 std::cos(a * r) * std::cos(p * r), std::sin(p * r)};
  };
  const auto m = vec(a0, p0);
  const auto e1 = vec(a0 + 90, 0);  // horizontal, across
  const std::array<double, 3> e2{m[1] * e1[2] - m[2] * e1[1], m[2] * e1[0] - m[0] * e1[2],
                                 m[0] * e1[1] - m[1] * e1[0]};
  const double c = std::cos(0.2), s = std::sin(0.2);
  std::vector<std::array<double, 3>> v{m};
  for (const auto& e : {e1, e2})
    for (int sign : {1, -1})
      v.push_back(
          {c * m[0] + sign * s * e[0], c * m[1] + sign * s * e[1], c * m[2] + sign * s * e[2]});
  if (withOpposite) v[1] = {-v[1][0], -v[1][1], -v[1][2]};
  for (const auto& u : v) {
    az->push_back(std::atan2(u[0], u[1]) * 180 / kPi);
    pl->push_back(std::asin(u[2]) * 180 / kPi);
  }
}

TEST(TablePolarPlot, MeanOrientationOfAFanIsItsAxis) {
  struct Case {
    double a0, p0;
    bool opposite;
  } cases[] = {{40, 30, false}, {40, 30, true}, {130, 60, true}, {250, 20, false}};
  for (const Case& c : cases) {
    std::vector<double> az, pl;
    Fan(c.a0, c.p0, &az, &pl, c.opposite);
    KZ_MultiVarObj t;
    Fill(t, {{"Az", "deg", 1, az, -180, 180}, {"Pl", "deg", 2, pl, -90, 90, 1}});
    plat::RecordingDc dc;
    t.DrawPolar(&dc, X, Y, W, H);
    std::string text;
    for (const std::string& s : dc.Texts())
      if (s.find("<Az>") != std::string::npos) text = s;
    ASSERT_FALSE(text.empty());
    double ma = 0, sa = 0, mp = 0, sp = 0;
    ASSERT_EQ(std::sscanf(text.c_str(), "(Az, Pl) <Az>=%lf, SE=%lf, <Pl>=%lf, SE=%lf", &ma, &sa,
                          &mp, &sp),
              4)
        << text;
    EXPECT_NEAR(std::fmod(ma + 720, 360), c.a0, 0.01) << text;
    EXPECT_NEAR(mp, c.p0, 0.01) << text;
  }
  // All axes the same (one of them reversed): no spread.
  KZ_MultiVarObj t;
  Fill(t,
       {{"Az", "deg", 1, {40, 40, 220}, -180, 360}, {"Pl", "deg", 2, {30, 30, -30}, -90, 90, 1}});
  plat::RecordingDc dc;
  t.DrawPolar(&dc, X, Y, W, H);
  EXPECT_TRUE(HasText(dc, "<Az>=40.00, SE=0.00, <Pl>=30.00, SE=0.00"))
      << ::testing::PrintToString(dc.Texts());
}

TEST(TablePolarPlot, OnlyPureYColumnsAreDrawnAndFitsOverlay) {
  KZ_MultiVarObj t;
  Fill(t, {{"angle", "rad", 1, Ramp(8, 0, 6)},
           {"v", "km/s", 2, Ramp(8, 1, 2)},
           {"w", "km/s", 2 | 4, Ramp(8, 1, 3)}});
  t.m_nHeaders = 2;
  t.m_strHeader[1] = "Fitting:TI min=1 eps=0.1 ng0=0";
  plat::RecordingDc dc;
  t.DrawPolar(&dc, X, Y, W, H);
  auto lines = dc.OpsOf(DcOpKind::Polyline);
  // Column v closed in the first cycle colour, then the red TI curve; w is not drawn.
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]->state.pen.Color(), KZ_CycleColor(0));
  EXPECT_EQ(lines[0]->points.front().x, lines[0]->points.back().x);
  // iX= is read from the last header line, which has none: no fitted curve. With it:
  t.m_strHeader[1] = "Fitting:TI min=1 eps=0.1 ng0=0 iX=0";
  plat::RecordingDc fit;
  t.DrawPolar(&fit, X, Y, W, H);
  lines = fit.OpsOf(DcOpKind::Polyline);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]->state.pen.Color(), RGB(255, 0, 0));
  EXPECT_EQ(lines[1]->state.pen.Width(), 50);
  EXPECT_EQ(lines[1]->points.size(), 181u);  // closed
}

TEST(TablePolarPlot, SineFitFollowsTheModelInCompassAngles) {
  // A fit y = 2 sin(azimuth + 30 deg) + 5 over compass azimuths: every point of the
  // drawn curve lies at the model's radius for its own compass direction.
  KZ_MultiVarObj t;
  Fill(t, {{"Az", "deg", 1, {0, 120, 240}}, {"v", "km/s", 2, {4, 6, 5}, 0, 10, 1}});
  t.m_nHeaders = 2;
  t.m_strHeader[1] = "Fitting(iX=0, iY=1): y=2.0000*sin(x + 30.0000) + 5.0000";
  plat::RecordingDc dc;
  t.DrawPolar(&dc, X, Y, W, H);
  auto lines = dc.OpsOf(DcOpKind::Polyline);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]->state.pen.Width(), 30);
  EXPECT_EQ(lines[0]->points.size(), 181u);
  const int cx = X + 5000, cy = Y - 5000;
  for (POINT p : lines[0]->points) {
    const double azimuth = std::atan2(p.x - cx, p.y - cy);
    const double model = (2 * std::sin(azimuth + 30 * kPi / 180) + 5) * 500;  // 5000 / range 10
    EXPECT_NEAR(std::hypot(p.x - cx, p.y - cy), model, 2.0) << p.x << "," << p.y;
  }
}

TEST(TableRose, Cases) {
  {
    SCOPED_TRACE("values scaled from 0: 5..10 on a 5..10 range reach 5000..10000");
    KZ_MultiVarObj t;
    Fill(t,
         {{"Az", "deg", 1, {0, 90, 180}}, {"n", "", 2, {5, 10, 10}}, {"both", "", 3, {1, 2, 3}}});
    plat::RecordingDc dc;
    t.DrawValueVsAngle(&dc, X, Y, W, H);
    auto roses = dc.OpsOf(DcOpKind::Polygon);
    ASSERT_EQ(roses.size(), 1u);  // the X-and-Y column is not drawn
    const auto& p = roses[0]->points;
    ASSERT_EQ(p.size(), 4u);
    const int cx = X + 5000, cy = Y - 5000;
    // First interval 0..90: middle angle 45 compass = 45 mathematical.
    EXPECT_NEAR(std::hypot(p[0].x - cx, p[0].y - cy), 5000, 2);
    EXPECT_NEAR(std::hypot(p[1].x - cx, p[1].y - cy), 10000, 2);
    EXPECT_NEAR(p[0].x - cx, p[0].y - cy, 2);
    EXPECT_EQ(roses[0]->state.pen.Width(), 30);
    EXPECT_EQ(roses[0]->state.brush.Color(), RGB(0, 0, 200));
    auto rings = dc.OpsOf(DcOpKind::Ellipse);
    ASSERT_EQ(rings.size(), 5u);
    EXPECT_EQ(rings[4]->rect.right - cx, 5000);
  }
  {
    SCOPED_TRACE("an angle column of one row draws nothing");
    KZ_MultiVarObj t;
    Fill(t, {{"Az", "deg", 1, {0}, 0, 90}, {"n", "", 2, {5}, 0, 10}});
    plat::RecordingDc dc;
    t.DrawValueVsAngle(&dc, X, Y, W, H);
    EXPECT_TRUE(dc.Ops().empty());
  }
}

}  // namespace

// A short table file holding values at the ends of the double range loads, and every
// plot of it (linear, logarithmic and calendar axes, each kind of drawing) returns.
TEST(TablePlots, ValuesAtTheEndsOfTheDoubleRangeLoadAndDraw) {
  const char* rows[] = {"1 1e308\n2 -1e308\n", "1.7e308 3\n-1.79e308 4\n",
                        "1 1.7976931348623157e308\n2 2\n", "1e308 1e308\n1e307 1e306\n"};
  int k = 0;
  for (const char* body : rows) {
    SCOPED_TRACE(body);
    const std::string path = std::string(TV_TEST_TMPDIR) + "/extreme" + std::to_string(k++) + ".kv0";
    std::ofstream(path, std::ios::binary) << "KVDATA01\nSAMPLES 2\nTime,sec load,kN\n" << body;
    KZ_MultiVarObj t;
    ASSERT_EQ(t.LoadFile(path), 2);
    t.m_strHeader[t.m_nHeaders] = "START_TIME: 2010/01/01 00:00:00";
    for (int mode = 0; mode < 3; ++mode)
      for (int log = 0; log < 2; ++log) {
        t.m_nGraphMode = mode;
        for (int c = 0; c < t.m_nColumns; ++c)
          t.m_Columns[c].m_nLog = static_cast<std::uint16_t>(log);
        plat::RecordingDc dc;
        dc.SetMapMode(MM_HIMETRIC);
        t.DrawXYCurves(&dc, X, Y, W, H, 1);
        t.DrawProfiles(&dc, X, Y, W, H, 1);
        t.DrawColourMap(&dc, X, Y, W, H, 1);
        t.DrawPolar(&dc, X, Y, W, H);
        t.DrawValueVsAngle(&dc, X, Y, W, H);
        t.DrawXY(&dc, X, Y, W, H, 1);
        EXPECT_LT(dc.Ops().size(), 1000000u);
      }
  }
}

// A noisy curve of 20,000 rows over about 380 pixel columns at 96 dpi: each run of points
// in one device column reaches the device as its first, lowest, highest and last point,
// so per column the line spans the pixels of the line through every point the 100-unit
// rule takes, with the same ends.
TEST(TableXYPlot, CrowdedCurveIsDrawnByColumnExtremes) {
  const int n = 20000;
  std::vector<double> y(n);
  for (int i = 0; i < n; ++i) y[i] = std::sin(i * 0.001) + 0.3 * std::sin(i * 1.7);
  KZ_MultiVarObj t;
  Fill(t, {{"t", "s", KZ_AXIS_X, Ramp(n, 0, 100)}, {"v", "V", KZ_AXIS_Y, y, -1.5, 1.5}});
  t.m_Columns[1].m_nLineWidth = 0;
  plat::RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  t.DrawXY(&dc, X, Y, W, H, 0);
  const plat::DcOp* curve = nullptr;
  for (const plat::DcOp* op : dc.OpsOf(DcOpKind::Polyline))
    if (!curve || op->points.size() > curve->points.size()) curve = op;
  ASSERT_NE(curve, nullptr);
  // The points the 100-unit rule takes, as the plot maps them.
  std::vector<POINT> taken;
  int lastX = X, lastY = Y0;
  const double sx = W / 100.0, sy = H / 3.0;
  for (int i = 0; i < n; ++i) {
    const int px = static_cast<int>(X + (t.m_Columns[0].m_PlotValues[i] - 0) * sx);
    const int py = static_cast<int>(Y0 + (std::max<double>(t.m_Columns[1].m_PlotValues[i], -1.5) + 1.5) * sy);
    if (std::abs(px - lastX) > 100 || std::abs(py - lastY) > 100) {
      taken.push_back(curve->state.LPtoDP(POINT{px, py}));
      lastX = px;
      lastY = py;
    }
  }
  struct Span {
    int count = 0, lo = INT_MAX, hi = INT_MIN;
  };
  auto spans = [](const std::vector<POINT>& pts) {
    std::map<int, Span> m;
    for (const POINT& p : pts) {
      Span& s = m[p.x];
      ++s.count;
      s.lo = std::min<int>(s.lo, p.y);
      s.hi = std::max<int>(s.hi, p.y);
    }
    return m;
  };
  std::vector<POINT> drawn;
  for (const POINT& p : curve->points) drawn.push_back(curve->state.LPtoDP(p));
  const auto want = spans(taken), got = spans(drawn);
  ASSERT_GT(want.size(), 300u);
  ASSERT_EQ(got.size(), want.size());
  int wrong = 0, few = 0;
  for (const auto& [x, s] : want) {
    const Span& g = got.at(x);
    wrong += g.lo != s.lo || g.hi != s.hi;
    few += g.count <= 4;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(few, static_cast<int>(want.size()));
  EXPECT_EQ(drawn.front().x, taken.front().x);
  EXPECT_EQ(drawn.front().y, taken.front().y);
  EXPECT_EQ(drawn.back().x, taken.back().x);
  EXPECT_EQ(drawn.back().y, taken.back().y);
}
