#include <gtest/gtest.h>

#include <string>

#include "wincomp/grid/SGDataSource.h"
#include "wincomp/grid/SGTestGrid.h"

namespace {
CSGCell Text(const char* t) {
  CSGCell c;
  c.SetText(t);
  return c;
}
std::string Read(CSGMem& m, int col, int row) {
  CSGCell c;
  if (m.GetCell(col, row, &c) != 0) return "-";
  return c.GetText() ? c.GetText() : "(none)";
}
}  // namespace

TEST(SGMem, StoresReadsAndLeavesGapsEmpty) {
  CSGMem m;
  CSGCell c;
  c.SetBackColor(RGB(9, 9, 9));
  EXPECT_EQ(m.GetCell(0, 0, &c), 1);
  EXPECT_EQ(c.GetBackColor(), RGB(9, 9, 9));  // unchanged

  CSGCell a = Text("x");
  m.SetCell(3, 5, &a);
  EXPECT_EQ(Read(m, 3, 5), "x");
  EXPECT_EQ(Read(m, 2, 5), "-");  // a node without a cell
  EXPECT_EQ(Read(m, 3, 6), "-");  // no such row

  // Reading merges into the caller's cell; storing replaces the stored cell.
  EXPECT_EQ(m.GetCell(3, 5, &c), 0);
  EXPECT_STREQ(c.GetText(), "x");
  EXPECT_EQ(c.GetBackColor(), RGB(9, 9, 9));
  CSGCell colour;
  colour.SetTextColor(RGB(1, 1, 1));
  m.SetCell(3, 5, &colour);
  CSGCell back;
  m.GetCell(3, 5, &back);
  EXPECT_EQ(back.GetText(), nullptr);
  EXPECT_EQ(back.GetTextColor(), RGB(1, 1, 1));
}

TEST(SGMem, HeadingCellsAndRowsBeforeTheFirstHaveNegativeIndexes) {
  CSGMem m;
  CSGCell a = Text("data"), corner = Text("corner"), top = Text("top2"), side = Text("side");
  m.SetCell(0, 0, &a);
  m.SetCell(-1, -1, &corner);
  m.SetCell(4, -2, &top);
  m.SetCell(-3, 7, &side);
  EXPECT_EQ(Read(m, 0, 0), "data");
  EXPECT_EQ(Read(m, -1, -1), "corner");
  EXPECT_EQ(Read(m, 4, -2), "top2");
  EXPECT_EQ(Read(m, -3, 7), "side");
  EXPECT_EQ(Read(m, -2, 7), "-");
  EXPECT_EQ(m.GetFirstRowIndex(), -2);
}

TEST(SGMem, RowsShiftOnInsertAndDelete) {
  CSGMem m;
  for (int r = -1; r <= 5; ++r) {
    CSGCell c = Text(("r" + std::to_string(r)).c_str());
    m.SetCell(0, r, &c);
  }
  EXPECT_EQ(m.DeleteRow(2), 0);
  EXPECT_EQ(Read(m, 0, 2), "r3");
  EXPECT_EQ(Read(m, 0, 4), "r5");
  EXPECT_EQ(Read(m, 0, 5), "-");
  EXPECT_EQ(m.DeleteRow(9), 0);  // no such row: nothing happens
  EXPECT_EQ(Read(m, 0, 4), "r5");
  EXPECT_EQ(m.InsertRow(0), 0);  // before row 0; the heading row stays
  EXPECT_EQ(Read(m, 0, -1), "r-1");
  EXPECT_EQ(Read(m, 0, 0), "-");
  EXPECT_EQ(Read(m, 0, 1), "r0");
  EXPECT_EQ(m.InsertRow(40), 0);  // past the end: nothing
  EXPECT_EQ(Read(m, 0, 5), "r5");

  // Rows before the first stored row count as empty rows.
  CSGMem late;
  CSGCell c = Text("five");
  late.SetCell(2, 5, &c);
  late.DeleteRow(2);
  EXPECT_EQ(Read(late, 2, 4), "five");
  late.InsertRow(0);
  late.InsertRow(1);
  EXPECT_EQ(Read(late, 2, 6), "five");
  EXPECT_EQ(Read(late, 2, 5), "-");
}

TEST(SGMem, ColumnsShiftAndTheGridsColumnIndexesFollow) {
  SGHeadlessGrid h;
  h.grid.SetColumnCount(5);
  h.grid.SetRowCount(2);
  for (int c = 0; c < 4; ++c) h.grid.SetCellText(c, 0, ("c" + std::to_string(c)).c_str());
  h.grid.SetCellText(-1, 0, "side");
  CSGMem& m = *h.GI().m_ownDataSource;
  EXPECT_EQ(m.DeleteColumn(1), 0);
  EXPECT_EQ(Read(m, 1, 0), "c2");
  EXPECT_EQ(Read(m, -1, 0), "side");
  EXPECT_EQ(h.GI().m_colInfo[2].sourceColIndex, 1);
  EXPECT_EQ(h.GI().m_colInfo[0].sourceColIndex, 0);
  EXPECT_EQ(m.InsertColumn(0), 0);
  EXPECT_EQ(Read(m, 1, 0), "c0");
  EXPECT_EQ(Read(m, -1, 0), "side");
  EXPECT_EQ(h.GI().m_colInfo[0].sourceColIndex, 1);
  CSGMem empty;
  EXPECT_EQ(empty.DeleteColumn(0), 1);
  EXPECT_EQ(empty.InsertColumn(0), 1);
}

TEST(SGMem, PreviousNonBlankColumnSkipsEmptyTexts) {
  CSGMem m;
  CSGCell a = Text("a"), e = Text("");
  m.SetCell(1, 0, &a);
  m.SetCell(2, 0, &e);
  m.SetCell(3, 0, &e);
  int col = 4;
  EXPECT_EQ(m.GetPrevNonBlankColumn(&col, 0), 0);
  EXPECT_EQ(col, 1);
  col = 1;
  EXPECT_EQ(m.GetPrevNonBlankColumn(&col, 0), 1);
  col = 9;
  EXPECT_EQ(m.GetPrevNonBlankColumn(&col, 3), 1);
}
