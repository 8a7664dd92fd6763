#include "base/series/KZ_MultiVarObj.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/testing/ScriptedUi.h"

namespace {

// A table of the given columns (column 0 the X axis) with room for `capacity` columns.
void Fill(KZ_MultiVarObj& t, const std::vector<std::vector<double>>& cols, int capacity = 10) {
  const int rows = static_cast<int>(cols[0].size());
  t.SetSize(capacity, rows);
  t.m_nColumns = static_cast<int>(cols.size());
  t.m_nRows = rows;
  for (std::size_t c = 0; c < cols.size(); ++c) {
    std::copy(cols[c].begin(), cols[c].end(), t.m_ppData[c]);
    t.m_Columns[c].SetAll(rows, 0, 0, std::string("c").append(std::to_string(c)), "u",
                          c == 0 ? KZ_AXIS_X : KZ_AXIS_Y);
  }
}

std::vector<double> Col(const KZ_MultiVarObj& t, int c) {
  return std::vector<double>(t.m_ppData[c], t.m_ppData[c] + t.m_Columns[c].m_nCount);
}

}  // namespace

TEST(MultiVarObj, SetSizeReusesOrReallocates) {
  KZ_MultiVarObj t;
  EXPECT_EQ(t.GetColumn(0), nullptr);
  t.SetSize(101, 4000);
  EXPECT_EQ(t.m_nColumnCapacity, 101);
  EXPECT_EQ(t.m_nRowCapacity, 4000);
  EXPECT_EQ(t.m_Block.size(), 101u * 4000);
  EXPECT_EQ(t.GetColumn(101), nullptr);
  ASSERT_NE(t.GetColumn(100), nullptr);
  EXPECT_EQ(t.GetColumn(100)->m_strTitle, "Null");
  EXPECT_EQ(t.GetColumn(100)->m_nCount, 0);
  EXPECT_EQ(t.m_ppData[7], t.m_Block.data() + 7 * 4000);

  t.m_ppData[3][10] = 5;
  const double* block = t.m_Block.data();
  t.SetSize(2, 1000);  // fits: same block, same capacity, cleared
  EXPECT_EQ(t.m_Block.data(), block);
  EXPECT_EQ(t.m_nColumnCapacity, 101);
  EXPECT_EQ(t.m_nRowCapacity, 4000);
  EXPECT_EQ(t.m_ppData[3][10], 0);

  t.SetSize(200, 1000);  // more columns in the same block: fewer rows each
  EXPECT_EQ(t.m_nColumnCapacity, 200);
  EXPECT_EQ(t.m_nRowCapacity, 2020);
  EXPECT_EQ(t.m_ppData[199], t.m_Block.data() + 199 * 2020);

  t.SetSize(101, 5000);  // does not fit: reallocated
  EXPECT_EQ(t.m_nColumnCapacity, 101);
  EXPECT_EQ(t.m_nRowCapacity, 5000);

  KZ_MultiVarObj small;
  small.SetSize(2, 10);
  EXPECT_EQ(small.m_nColumnCapacity, 3);
  EXPECT_EQ(small.m_nRowCapacity, 100);
  ASSERT_TRUE(small.m_pHVar);
  EXPECT_EQ(small.m_pHVar->m_nCount, 0);
}

TEST(MultiVarObj, SubTableIsResizedWithTheTable) {
  KZ_MultiVarObj t;
  t.m_pSubTable = std::make_unique<KZ_MultiVarObj>();
  t.m_pSubTable->SetSize(201, 201);
  t.m_pSubTable->m_ppData[0][0] = 3;
  t.SetSize(10, 10);
  EXPECT_EQ(t.m_pSubTable->m_ppData[0][0], 0);
}

TEST(MultiVarObj, RemoveColumns) {
  KZ_MultiVarObj t;
  Fill(t, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});
  t.m_Columns[1].m_nLineWidth = 99;
  t.m_Columns[2].m_nRangeFilter = 1;
  t.m_Columns[2].m_fLevel = 2.5f;
  EXPECT_EQ(t.RemoveColumn(4), 0);
  EXPECT_EQ(t.RemoveColumn(3), 3);  // the last: only the count drops
  EXPECT_EQ(t.RemoveColumn(1), 2);
  EXPECT_EQ(Col(t, 1), (std::vector<double>{5, 6}));
  EXPECT_EQ(t.m_Columns[1].m_strTitle, "c2");
  EXPECT_EQ(t.m_Columns[1].m_nLineWidth, 99);  // stays with the slot
  EXPECT_EQ(t.m_Columns[1].m_nRangeFilter, 0u);
  EXPECT_EQ(t.m_Columns[1].m_fLevel, 2.5f);  // the contour level moves with the column

  KZ_MultiVarObj u;
  Fill(u, {{1}, {2}, {3}, {4}});
  u.m_Columns[1].m_nAxisFlags = 0;
  EXPECT_EQ(u.RemoveUnselectedColumns(), 3);
  EXPECT_EQ(u.m_Columns[1].m_strTitle, "c2");
  EXPECT_EQ(u.m_ppData[2][0], 4);
  EXPECT_EQ(u.RemoveUnselectedColumns(), 0);  // nothing to remove
}

TEST(MultiVarObj, DerivedColumns) {
  KZ_MultiVarObj t;
  Fill(t, {{0, 1, 2, 3}, {0, 2, 4, 6}, {1, 1, 1, 1}});
  EXPECT_EQ(t.AddDerivativeColumn(1), 4);
  EXPECT_EQ(Col(t, 3), (std::vector<double>{2, 2, 2, 2}));
  EXPECT_EQ(t.m_Columns[3].m_strTitle, "d[1]/d[0]");
  EXPECT_EQ(t.AddIntegralColumn(2), 5);
  EXPECT_EQ(Col(t, 4), (std::vector<double>{0, 1, 2, 3}));
  EXPECT_EQ(t.m_Columns[4].m_strTitle, "Int([2]*d[0])");
  EXPECT_EQ(t.m_Columns[4].m_dMax, 3);
  EXPECT_EQ(t.AddScaledColumn(1, 0.5f), 6);
  EXPECT_EQ(Col(t, 5), (std::vector<double>{0, 1, 2, 3}));
  EXPECT_EQ(t.m_Columns[5].m_strTitle, "[1]*0.5");

  // Sum of the Y columns 1..2 (flags 2); it takes the last matching column's range.
  t.m_Columns[2].SetRange(-7, 7);
  t.m_Columns[2].m_nPlotStyle = 4;
  EXPECT_EQ(t.AddSumColumn(1, 2, KZ_AXIS_Y), 7);
  EXPECT_EQ(Col(t, 6), (std::vector<double>{1, 3, 5, 7}));
  EXPECT_EQ(t.m_Columns[6].m_strTitle, "Sum[1, 2]");
  EXPECT_EQ(t.m_Columns[6].m_dMin, -7);
  EXPECT_EQ(t.m_Columns[6].m_nPlotStyle, 4);

  // Circular correlation over the largest power of two: lag k is sum_j a[(j + k) mod 4] b[j].
  EXPECT_EQ(t.AddCorrelationColumn(1, 2), 8);
  auto cc = Col(t, 7);
  for (double v : cc) EXPECT_NEAR(v, 12, 1e-9);
  EXPECT_EQ(t.m_Columns[7].m_strTitle, "CC[1, 2]");

  KZ_MultiVarObj noX;
  Fill(noX, {{0, 1}, {2, 3}});
  noX.m_Columns[0].m_nAxisFlags = 0;
  EXPECT_EQ(noX.AddDerivativeColumn(1), 0);
  EXPECT_EQ(noX.AddIntegralColumn(1), 0);
  EXPECT_EQ(noX.m_nColumns, 2);
}

TEST(MultiVarObj, DerivedColumnNeedsAFreeColumn) {
  plat::testing::ScriptedUi ui;
  KZ_MultiVarObj t;
  Fill(t, {{0, 1}, {1, 2}, {2, 3}}, 3);  // full
  EXPECT_EQ(t.AddScaledColumn(1, 2.0f), 0);
  EXPECT_EQ(t.AddDerivativeColumn(1), 0);
  EXPECT_EQ(t.m_nColumns, 3);
  ASSERT_EQ(ui.MessageTexts().size(), 2u);
  EXPECT_NE(ui.MessageTexts()[0].find("no free column"), std::string::npos);
}

TEST(MultiVarObj, SortRowsKeepsRowsTogether) {
  KZ_MultiVarObj t;
  Fill(t, {{3, 1, 2}, {30, 10, 20}, {-3, -1, -2}});
  t.SortRows(0, false);
  EXPECT_EQ(Col(t, 0), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(Col(t, 1), (std::vector<double>{10, 20, 30}));
  t.SortRows(2, true);  // by column 2, descending
  EXPECT_EQ(Col(t, 2), (std::vector<double>{-1, -2, -3}));
  EXPECT_EQ(Col(t, 0), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(Col(t, 1), (std::vector<double>{10, 20, 30}));
  t.SortRows(1, true);
  EXPECT_EQ(Col(t, 1), (std::vector<double>{30, 20, 10}));
  EXPECT_EQ(Col(t, 2), (std::vector<double>{-3, -2, -1}));
}

TEST(MultiVarObj, ContourLine) {
  KZ_MultiVarObj t;
  // x = 0..3; column 1 rises through 5 between x = 1 and 2; column 2 never reaches 5.
  Fill(t, {{0, 1, 2, 3}, {0, 4, 6, 8}, {0, 1, 1, 1}});
  t.m_HValues[0] = 100;
  t.m_HValues[1] = 200;
  t.m_pHVar->Attach("Freq", "Hz", t.m_HValues.data(), nullptr, 2, 0, 0, 0, 1, 0, 0);
  KZ_MultiVarObj line;
  t.MakeContourLine(&line, 5.0f);
  ASSERT_EQ(line.m_nColumns, 2);
  EXPECT_EQ(Col(line, 0), (std::vector<double>{100, 200}));
  EXPECT_EQ(Col(line, 1), (std::vector<double>{1.5, 0}));
  EXPECT_EQ(line.m_Columns[0].m_strTitle, "Freq");
  EXPECT_EQ(line.m_Columns[0].m_nAxisFlags, KZ_AXIS_X);
  EXPECT_EQ(line.m_Columns[1].m_strTitle, "c0");
  EXPECT_EQ(line.m_Columns[1].m_nAxisFlags, KZ_AXIS_Y);
}

TEST(MultiVarObj, RangesFiltersAndOutOfRangeRows) {
  KZ_MultiVarObj t;
  Fill(t, {{0, 1, 2, 3, 4}, {5, 50, 6, 60, 7}});
  t.m_Columns[1].SetRange(0, 10);
  t.m_Columns[1].m_nRangeFilter = 1;
  EXPECT_TRUE(t.IsRowInRange(0));
  EXPECT_FALSE(t.IsRowInRange(1));

  t.m_Columns[1].MakePlotValues(false, false);
  EXPECT_EQ(t.FillUndefined(1), 1);
  EXPECT_EQ(Col(t, 1), (std::vector<double>{5, 5, 6, 6, 7}));

  KZ_MultiVarObj u;
  Fill(u, {{0, 1, 2, 3, 4}, {5, 50, 6, 60, 7}});
  u.m_Columns[1].SetRange(0, 10);
  u.m_Columns[1].MakePlotValues(false, false);
  EXPECT_EQ(u.RemoveOutOfRangeRows(1), 3);
  EXPECT_EQ(Col(u, 0), (std::vector<double>{0, 2, 4}));
  EXPECT_EQ(Col(u, 1), (std::vector<double>{5, 6, 7}));

  // Axis index range over the range-filtered column's plot values.
  KZ_MultiVarObj a;
  Fill(a, {{0, 10, 20, 30, 40}, {1, 2, 3, 4, 5}});
  a.m_Columns[0].m_nRangeFilter = 1;
  a.m_Columns[0].SetRange(15, 30);
  a.m_Columns[0].MakePlotValues(false, false);
  int first = -5, last = -5;
  a.GetAxisIndexRange(&first, &last);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(last, 3);
  KZ_MultiVarObj empty;
  empty.GetAxisIndexRange(&first, &last);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, -1);
}
