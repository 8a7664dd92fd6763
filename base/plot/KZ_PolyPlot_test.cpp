#include "base/plot/KZ_PolyPlot.h"

#include <gtest/gtest.h>

#include <list>
#include <vector>

#include "platform/RecordingDc.h"

using plat::DcOp;
using plat::DcOpKind;

namespace {
bool Same(const std::vector<POINT>& a, const std::vector<POINT>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].x != b[i].x || a[i].y != b[i].y) return false;
  return true;
}
}  // namespace

TEST(PolyPlot, DrawsOneCallWithItsOwnPenAndClearsOnRequest) {
  plat::RecordingDc dc;
  const plat::CPen mine(PS_SOLID, 7, RGB(9, 9, 9));
  dc.SelectObject(mine);
  KZ_PolyPlot p;
  for (int i = 0; i < 3000; ++i) p.AddPoint(i, i % 7);
  p.AddPointXY(-5, -6);
  p.Draw(&dc, PS_DOT, 40, RGB(255, 0, 0), false, false);
  ASSERT_EQ(dc.Ops().size(), 1u);
  const DcOp& op = dc.Ops()[0];
  EXPECT_EQ(op.kind, DcOpKind::Polyline);
  EXPECT_EQ(op.points.size(), 3001u);
  EXPECT_EQ(op.points.back().x, -5);
  EXPECT_EQ(op.state.pen, plat::CPen(PS_DOT, 40, RGB(255, 0, 0)));
  EXPECT_EQ(dc.GetCurrentPen(), mine);
  EXPECT_EQ(p.m_Points.size(), 3001u);  // kept without the clear flag
  p.Draw(&dc, PS_SOLID, 10, 0, true, false);
  EXPECT_TRUE(p.m_Points.empty());
}

TEST(PolyPlot, CloseFlagAppendsTheFirstPointOnceAndOnlyToANonEmptyList) {
  plat::RecordingDc dc;
  KZ_PolyPlot p;
  p.DrawCurrentPen(&dc, false, true);
  p.Draw(&dc, PS_SOLID, 10, 0, true, true);
  EXPECT_TRUE(dc.Ops().empty());
  EXPECT_TRUE(p.m_Points.empty());
  p.AddPoint(0, 0);
  p.AddPoint(100, 0);
  p.AddPoint(100, 100);
  p.DrawCurrentPen(&dc, false, true);
  ASSERT_EQ(dc.Ops().size(), 1u);
  EXPECT_TRUE(Same(dc.Ops()[0].points, {{0, 0}, {100, 0}, {100, 100}, {0, 0}}));
  EXPECT_EQ(dc.Ops()[0].state.pen, plat::CPen::Stock(BLACK_PEN));
  EXPECT_EQ(p.m_Points.size(), 4u);  // the closing point stays in the list
}

TEST(PolyPlot, FilledPolygonWithItsOwnPenAndBrush) {
  plat::RecordingDc dc;
  KZ_PolyPlot p;
  p.AddPoint(0, 0);
  p.AddPoint(10, 0);
  p.AddPoint(5, 10);
  p.DrawFilled(&dc, PS_SOLID, 20, RGB(1, 1, 1), RGB(0, 255, 0), true);
  ASSERT_EQ(dc.Ops().size(), 1u);
  const DcOp& op = dc.Ops()[0];
  EXPECT_EQ(op.kind, DcOpKind::Polygon);
  EXPECT_EQ(op.state.brush, plat::CBrush(RGB(0, 255, 0)));
  EXPECT_EQ(op.state.pen.Width(), 20);
  EXPECT_EQ(dc.GetCurrentBrush(), plat::CBrush::Stock(WHITE_BRUSH));
  EXPECT_TRUE(p.m_Points.empty());
}

TEST(PolyPlot, PointList) {
  plat::RecordingDc dc;
  std::list<POINT> list{{1, 2}, {3, 4}, {5, 6}};
  KZ_DrawPointList(&dc, list, 40, RGB(0, 0, 255), false);
  ASSERT_EQ(dc.Ops().size(), 1u);
  EXPECT_TRUE(Same(dc.Ops()[0].points, {{1, 2}, {3, 4}, {5, 6}}));
  EXPECT_EQ(dc.Ops()[0].state.pen, plat::CPen(PS_SOLID, 40, RGB(0, 0, 255)));
  EXPECT_EQ(list.size(), 3u);
  KZ_DrawPointList(&dc, list, 40, 0, true);
  EXPECT_TRUE(list.empty());
  dc.Clear();
  KZ_DrawPointList(&dc, list, 40, 0, true);
  EXPECT_TRUE(dc.Ops().empty());
}

TEST(PolyPlot, MarkerSymbols) {
  struct Case {
    int type, r;
    DcOpKind kind;
    int ops;
    std::vector<POINT> points;  // of the first op
  };
  // Centred at (-100, 200) so that truncation toward zero shows on both signs.
  const Case cases[] = {
      {0, 9, DcOpKind::SetPixel, 1, {{-100, 200}}},
      {-3, 50, DcOpKind::SetPixel, 1, {{-100, 200}}},
      {0, 15, DcOpKind::Ellipse, 1, {}},
      {1, 15, DcOpKind::Polygon, 1, {{-92, 200}, {-100, 215}, {-107, 200}, {-100, 185}}},
      {11, 15, DcOpKind::LineTo, 2, {{-115, 200}, {-85, 200}}},
      {2, 15, DcOpKind::Polygon, 1, {{-85, 200}, {-100, 207}, {-115, 200}, {-100, 192}}},
      {3, 10, DcOpKind::Polygon, 1, {{-90, 193}, {-100, 213}, {-110, 193}}},
      {4, 15, DcOpKind::Rectangle, 1, {}},
      {5,
       10,
       DcOpKind::Polygon,
       1,
       {{-90, 200}, {-100, 210}, {-110, 200}, {-106, 190}, {-94, 190}}},
      {6,
       20,
       DcOpKind::Polygon,
       1,
       {{-80, 200}, {-90, 183}, {-110, 183}, {-120, 200}, {-110, 217}, {-90, 217}, {-80, 200}}},
      {7, 15, DcOpKind::LineTo, 2, {{-115, 200}, {-85, 200}}},
      {8, 15, DcOpKind::LineTo, 2, {{-115, 185}, {-85, 215}}},
      {19, 50, DcOpKind::SetPixel, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " r " << c.r);
    plat::RecordingDc dc;
    KZ_DrawMarker(&dc, -100, 200, c.type, c.r);
    ASSERT_EQ(static_cast<int>(dc.Ops().size()), c.ops);
    if (!c.ops) continue;
    const DcOp& op = dc.Ops()[0];
    EXPECT_EQ(op.kind, c.kind);
    if (c.kind == DcOpKind::SetPixel) {
      EXPECT_EQ(op.color, RGB(0, 0, 0));
    }
    if (c.kind == DcOpKind::Ellipse || c.kind == DcOpKind::Rectangle) {
      EXPECT_EQ(op.rect.left, -100 - c.r);
      EXPECT_EQ(op.rect.right, -100 + c.r);
    }
    if (!c.points.empty()) {
      EXPECT_TRUE(Same(op.points, c.points));
    }
  }
}
