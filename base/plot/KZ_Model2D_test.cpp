#include "base/plot/KZ_Model2D.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/base_test_support.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/types/KZ_Var1D.h"
#include "base/types/KZ_Var2D.h"
#include "platform/ByteOrder.h"
#include "platform/RecordingDc.h"

using tv_test::Matrix;
using tv_test::ReadBytes;
using tv_test::TmpPath;

namespace {

std::vector<const plat::DcOp*> Fills(const plat::RecordingDc& dc) {
  return dc.OpsOf(plat::DcOpKind::FillSolidRect);
}

}  // namespace

TEST(Model2D, GridNodes) {
  KZ_Model2D m;
  EXPECT_EQ(m.m_strTitle, "null");
  EXPECT_EQ(m.m_strXLabel, "m");
  ASSERT_EQ(m.m_nx, 16);
  ASSERT_EQ(m.m_ny, 21);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m_XNodes[i], 100.0 * i);
  for (int j = 0; j < 21; ++j) EXPECT_EQ(m.m_YNodes[j], -4000.0 + 60.0 * j);
  EXPECT_EQ(m.m_nCentreX, 8);
  EXPECT_EQ(m.m_nCentreY, 10);

  m.SetGrid(0, 5999, 6000, 0, 1, 2, "t", "x", "y");
  EXPECT_EQ(m.m_nx, 5000);
  EXPECT_EQ(m.m_XNodes[4999], 4999.0);  // step 5999 / 5999 = 1

  std::vector<double> xs = {1, 2, 4}, ys = {10, 20};
  KZ_Var1D x, y;
  x.Attach("x", "mm", xs.data(), nullptr, 3, 0, 0, 0, 1, 0, 0);
  y.Attach("y", "s", ys.data(), nullptr, 2, 0, 0, 0, 1, 0, 0);
  m.SetGridFromColumns(&x, &y, "cols");
  EXPECT_EQ(m.m_nx, 3);
  EXPECT_EQ(m.m_XNodes[2], 4);
  EXPECT_EQ(m.m_YNodes[1], 20);
  EXPECT_EQ(m.m_x1, 4);
  EXPECT_EQ(m.m_strYLabel, "s");
}

TEST(Model2D, CellFieldRectanglesAndCutOff) {
  KZ_Model2D m;
  m.SetGrid(0, 20, 3, 0, 10, 3, "g", "m", "m");  // nodes x 0, 10, 20; y 0, 5, 10
  Matrix v(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) v.m[i][j] = i + 3 * j;
  KZ_Pal1C pal;
  pal.SetRange(0, 8, 20, 240, 0);
  pal.m_dCutOff = 0.5;  // cell (0, 0) holds 0: not painted
  plat::RecordingDc dc;
  m.DrawCells(&dc, 1000, 2000, 100, 200, &pal, v.m, 3, 3, 1);
  auto fills = Fills(dc);
  ASSERT_EQ(fills.size(),
            3u);  // 2 x 2 cells, the last row and column of values not drawn, one cut off
  // Origin y: 2000 - (10 - 0) x 200 = 0; cell (1, 0) spans x 10..20, y 0..5.
  const plat::DcOp& c10 = *fills[0];
  EXPECT_EQ(OpBounds(c10).left, 2000);
  EXPECT_EQ(OpBounds(c10).right, 3000);
  EXPECT_EQ(OpBounds(c10).top, 0);
  EXPECT_EQ(OpBounds(c10).bottom, 1000);
  EXPECT_EQ(c10.color, pal.ValueToColor(1, 1.0));
  EXPECT_EQ(fills[2]->color, pal.ValueToColor(4, 1.0));

  // Values one fewer than the nodes: cell edges halfway between the nodes.
  plat::RecordingDc mid;
  KZ_Model2D g;
  g.SetGrid(0, 30, 4, 0, 30, 4, "g", "m", "m");
  pal.m_dCutOff = -1;
  g.DrawCells(&mid, 0, 0, 1, 1, &pal, v.m, 3, 3, 1);
  auto mf = Fills(mid);
  ASSERT_EQ(mf.size(), 4u);
  EXPECT_EQ(OpBounds(*mf[0]).left, 5);
  EXPECT_EQ(OpBounds(*mf[0]).right, 15);

  // Everything at or below the cut-off paints nothing.
  plat::RecordingDc none;
  pal.m_dCutOff = 100;
  m.DrawCells(&none, 0, 0, 1, 1, &pal, v.m, 3, 3, 0);
  EXPECT_TRUE(Fills(none).empty());
}

TEST(Model2D, SmoothFieldAndVectorMagnitudes) {
  KZ_Model2D m;
  m.SetGrid(0, 30, 4, 0, 30, 4, "g", "m", "m");
  Matrix pairs(4, 8);  // two components: magnitude 5 everywhere
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) pairs.m[i][2 * j] = 3, pairs.m[i][2 * j + 1] = -4;
  KZ_Var2D v;
  v.SetData("v", "", pairs.m, nullptr, 4, 4, 1, 0, 10, 1, 0, 0);
  KZ_Pal1C pal;
  pal.SetRange(0, 10, 20, 240, 0);
  plat::RecordingDc dc;
  m.DrawField(&dc, 0, 0, 10, 10, &pal, &v, 3);
  auto fills = Fills(dc);
  ASSERT_EQ(fills.size(), 3u * 3 * 3 * 3);  // 3 x 3 cells, 3 x 3 rectangles each
  for (const plat::DcOp* f : fills) EXPECT_EQ(f->color, pal.ValueToColor(5, 1.0));
  // First sub-cell: x = 0, width trunc(0 + 10/3 x 10 + 1) = 34; rows start half a step lower.
  const RECT r = fills[0]->rect;
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right - r.left, 34);
  EXPECT_EQ(r.top, static_cast<int>(-10.0 / 6 * 10) - 300);

  // Cell mode of the same field: the magnitudes again.
  plat::RecordingDc cells;
  m.DrawField(&cells, 0, 0, 10, 10, &pal, &v, 1);
  auto cf = Fills(cells);
  ASSERT_EQ(cf.size(), 9u);
  EXPECT_EQ(cf[4]->color, pal.ValueToColor(5, 1.0));
}

TEST(Model2D, WriteBinary) {
  KZ_Model2D m;  // x 0..1500 over 16 nodes
  Matrix d(16, 21);
  d.m[3][4] = 2;
  KZ_Var2D v;
  v.SetData("Mw", "log", d.m, nullptr, 16, 21, 0, 0, 0, 1, 0, 0);
  const std::string path = TmpPath("model.lm3");
  ASSERT_EQ(m.WriteBinary(path, &v, "lab", 7.5), 1);
  const std::vector<unsigned char> b = ReadBytes(path);
  ASSERT_EQ(b.size(), 512u + 8 + 16 * 21 * 8);
  EXPECT_EQ(le::GetI16(&b[6]), 8);
  EXPECT_EQ(le::GetI16(&b[12]), 93);  // 1500 / 16 nodes, truncated
  EXPECT_EQ(le::GetF32(&b[20]), -4000.0f);
  EXPECT_EQ(le::GetI16(&b[44]), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[50])), "Mw log");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[116])), "lab");
  EXPECT_EQ(le::GetF64(&b[512]), 7.5);
  EXPECT_EQ(le::GetF64(&b[520 + 8 * (4 * 16 + 3)]), 2.0);
  EXPECT_EQ(m.WriteBinary(TmpPath("no/such/dir.lm3"), &v, "", 0), 0);
}
