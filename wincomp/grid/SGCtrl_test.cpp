#include "wincomp/grid/SGCtrl.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGTestGrid.h"

using namespace sgw;

TEST(SGCtrl, NewGridHasOneDefaultSheet) {
  SGHeadlessGrid h;
  CSGGridInfo& g = h.GI();
  EXPECT_EQ(h.grid.GetSheetCount(), 1);
  EXPECT_EQ(g.m_numberCols, 0);
  EXPECT_EQ(g.m_numberRows, 0);
  EXPECT_EQ(h.grid.GetCurrentColumn(), -1);
  EXPECT_EQ(h.grid.GetCurrentRow(), -1);
  EXPECT_EQ(g.m_numberTopHdgRows, 1);
  EXPECT_EQ(g.m_topHdgHeights[0], 20);
  EXPECT_EQ(g.m_sideHdgWidths[0], 40);  // fitted at the first layout
  EXPECT_EQ(h.grid.GetCellTypeByIndex(0), &h.grid.m_defCellType);
  EXPECT_EQ(h.grid.GetCellTypeByIndex(3), &h.grid.m_arrowType);
}

// Every refused call answers its code and leaves the sheet as it was.
TEST(SGCtrl, RefusedCallsChangeNothing) {
  SGHeadlessGrid h;
  SGTestGrid& g = h.grid;
  g.SetColumnCount(5);
  g.SetRowCount(8);
  g.SetCellText(1, 1, "keep");
  for (int i = 0; i < SG_MAX_TABS; ++i) ASSERT_EQ(g.AddTab("t", i), 0);
  auto snapshot = [&] {
    const CSGGridInfo& gi = *g.GetGridInfo();
    std::string s = std::to_string(gi.m_numberCols) + "/" + std::to_string(gi.m_numberRows) + "/" +
                    std::to_string(g.GetSheetCount()) + "/" + std::to_string(gi.m_defRowHeight) +
                    "/" + std::to_string(gi.m_defColWidth) + "/" +
                    std::to_string(gi.m_numLockRows) + "/" + std::to_string(gi.m_topHdgHeights[0]) +
                    "/" + std::to_string(g.m_CUGTab->GetTabCount()) + "/" + g.GetCellText(1, 1);
    CSGCell c;
    g.GetCell(2, 2, &c);
    return s + "/" + std::to_string(c.IsPropertySet(SGCELL_JOININFO));
  };
  const std::string before = snapshot();
  struct Case {
    const char* what;
    std::function<int()> call;
    int code;
  } cases[] = {
      {"32001 columns", [&] { return g.SetColumnCount(32001); }, 1},
      {"-1 columns", [&] { return g.SetColumnCount(-1); }, 1},
      {"-1 rows", [&] { return g.SetRowCount(-1); }, 1},
      {"0 sheets", [&] { return g.SetSheetCount(0); }, 1},
      {"1025 sheets", [&] { return g.SetSheetCount(1025); }, 1},
      {"sheet 1 of 1", [&] { return g.SetCurrentSheet(1); }, 1},
      {"65th tab", [&] { return g.AddTab("x", 99); }, 1},
      {"reversed columns join", [&] { return g.JoinCells(3, 2, 2, 2); }, 1},
      {"reversed rows join", [&] { return g.JoinCells(2, 3, 2, 2); }, 1},
      {"join to column count", [&] { return g.JoinCells(2, 2, 5, 2); }, 1},
      {"join to row count", [&] { return g.JoinCells(2, 2, 2, 8); }, 1},
      {"join left of headings", [&] { return g.JoinCells(-2, 2, 2, 2); }, 1},
      {"best fit to column count", [&] { return g.BestFit(0, 5, 20, 0); }, 2},
      {"best fit left of headings", [&] { return g.BestFit(-2, 1, 20, 0); }, 1},
      {"best fit reversed", [&] { return g.BestFit(3, 2, 20, 0); }, 3},
      {"row height 0", [&] { return g.SetDefaultRowHeight(0); }, 1},
      {"row height 1025", [&] { return g.SetDefaultRowHeight(1025); }, 1},
      {"column width -1", [&] { return g.SetDefaultColumnWidth(-1); }, 1},
      {"9 locked rows of 8", [&] { return g.SetLockedRows(9); }, 1},
      {"heading row 0", [&] { return g.SetTopHeadingRowHeight(0, 10); }, 1},
      {"heading row -2 of 1", [&] { return g.SetTopHeadingRowHeight(-2, 10); }, 1},
      {"heading row 1025 high", [&] { return g.SetTopHeadingRowHeight(-1, 1025); }, 2},
      {"column equal to count", [&] { return g.SetColumnWidth(5, 10); }, 1},
      {"delete row count", [&] { return g.DeleteRow(8); }, 1},
      {"move column from count", [&] { return g.MoveColumn(5, 0, 1); }, 1},
      {"get cell at count",
       [&] {
         CSGCell c;
         return g.GetCell(5, 0, &c);
       },
       1},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(k.call(), k.code) << k.what;
    EXPECT_EQ(snapshot(), before) << k.what;
  }
  EXPECT_EQ(g.SetColumnCount(32000), 0);
}

TEST(SGCtrl, ManyRowsSwitchToOneUniformHeightForGood) {
  SGHeadlessGrid h;
  h.grid.SetRowCount(64000);
  EXPECT_EQ(h.GI().m_uniformRowHeightFlag, 0);
  EXPECT_EQ(h.GI().m_rowHeights.size(), 64000u);
  h.grid.SetRowCount(64001);
  EXPECT_EQ(h.GI().m_uniformRowHeightFlag, 1);
  EXPECT_TRUE(h.GI().m_rowHeights.empty());
  h.grid.SetRowCount(10);
  EXPECT_EQ(h.GI().m_uniformRowHeightFlag, 1);
  h.grid.SetRowHeight(3, 33);
  EXPECT_EQ(h.grid.GetRowHeight(7), 33);
  EXPECT_EQ(h.grid.GetRowHeight(10), 0);
}

TEST(SGCtrl, SheetsKeepTheirStateAndSwitchingSendsNoChanges) {
  SGHeadlessGrid h;
  SGTestGrid& g = h.grid;
  g.SetColumnCount(30);
  g.SetRowCount(100);
  g.SetTabWidth(120);
  g.GotoCell(12, 50);
  ASSERT_EQ(g.SetSheetCount(3), 0);
  ASSERT_EQ(g.SetCurrentSheet(2), 0);
  g.SetColumnCount(2);
  g.SetRowCount(2);
  g.log.clear();
  ASSERT_EQ(g.SetCurrentSheet(0), 0);
  EXPECT_TRUE(g.log.empty());
  EXPECT_EQ(g.GetCurrentColumn(), 12);
  EXPECT_EQ(g.GetCurrentRow(), 50);
  EXPECT_EQ(h.GI().m_tabWidth, 120);
  g.SetTabWidth(90);
  g.SetCurrentSheet(2);
  EXPECT_EQ(h.GI().m_tabWidth, 90);  // carried over from the sheet that was current
  ASSERT_EQ(g.SetSheetCount(2), 0);
  EXPECT_EQ(g.GetCurrentSheet(), 1);
}

TEST(SGCtrl, LayoutHidesScrollBarsThatAreNotNeeded) {
  struct Case {
    int cols, rows, tabWidth;
    bool vBar, hBar;
  } cases[] = {
      {3, 5, 0, false, false},                            // all fits
      {3, 5, 60, false, true},                            // tabs keep the horizontal bar
      {3, 40, 0, true, false},                            // rows overflow
      {20, 5, 0, false, true},                            // columns overflow
      {20, 40, 0, true, true}, {4, 13, 0, false, false},  // 13 rows of 20 fit into 280 - 20
  };
  for (const Case& k : cases) {
    SGHeadlessGrid h(400, 280);
    h.grid.SetColumnCount(k.cols);
    h.grid.SetRowCount(k.rows);
    h.grid.SetTabWidth(k.tabWidth);
    h.grid.LayoutChildren();
    const CSGGridInfo& g = h.GI();
    const RECT& v = g.m_rects[SG_RECT_VSCROLL];
    const RECT& hs = g.m_rects[SG_RECT_HSCROLL];
    EXPECT_EQ(v.right - v.left > 0, k.vBar) << k.cols << "x" << k.rows;
    EXPECT_EQ(hs.bottom - hs.top > 0, k.hBar) << k.cols << "x" << k.rows;
    const RECT& cell = g.m_rects[SG_RECT_GRID];
    EXPECT_EQ(cell.left, 40);
    EXPECT_EQ(cell.top, 20);
    EXPECT_EQ(cell.right, 400 - (k.vBar ? SM_CXVSCROLL : 0));
    EXPECT_EQ(cell.bottom, 280 - (k.hBar ? SM_CYHSCROLL : 0));
    EXPECT_EQ(g.m_vScrollWidth, SM_CXVSCROLL);  // hidden for one layout only
    EXPECT_EQ(h.Port(*h.grid.m_CUGGrid)->WindowRect().right, cell.right);
  }
}

TEST(SGCtrl, CellsComeWithColumnAndHeadingDefaults) {
  SGHeadlessGrid h;
  SGTestGrid& g = h.grid;
  g.SetColumnCount(3);
  g.SetRowCount(3);
  g.SetCellInteger(1, 1, 7);
  CSGCell c;
  g.GetCell(1, 1, &c);
  EXPECT_STREQ(c.GetText(), "7");
  EXPECT_EQ(c.GetDataType(), SG_NUMBER_DATA);
  h.GI().m_colInfo[2].defaultCell->SetBackColor(RGB(1, 2, 3));
  g.SetCellText(2, 0, "x");
  g.GetCellWithDefaults(2, 0, &c);
  EXPECT_EQ(c.GetBackColor(), RGB(1, 2, 3));
  EXPECT_STREQ(c.GetText(), "x");
  g.SetCellText(2, -1, "Head");
  g.GetCellWithDefaults(2, -1, &c);
  EXPECT_EQ(c.GetBorderStyle(), 0x2000);
  EXPECT_EQ(c.GetAlignment(), 0x24);
  EXPECT_STREQ(c.GetText(), "Head");
  g.AddMenuItem(1000, "Copy");
  g.AddMenuItem(0xFFFFFFFFu, "text");
  g.AddMenuItem(5, "");
  ASSERT_EQ(g.GetMenuItems().size(), 3u);
  EXPECT_EQ(g.GetMenuItems()[0].text, "Copy");
  EXPECT_TRUE(g.GetMenuItems()[1].text.empty());
  EXPECT_TRUE(g.GetMenuItems()[2].text.empty());
}

TEST(SGCtrl, HeadingWidthsScaleAndTheOutermostColumnFits) {
  SGHeadlessGrid h;
  CSGGridInfo& g = h.GI();
  g.m_numberSideHdgCols = 3;
  g.m_sideHdgWidths = {20, 10, 0};
  g.m_sideHdgWidth = 50;
  h.grid.m_CUGSideHdg->FitColumns();
  EXPECT_EQ(g.m_sideHdgWidths[2], 20);
  h.grid.SetSideHeadingWidth(100);  // 20/10/20 scaled by 2
  EXPECT_EQ(g.m_sideHdgWidths[0], 40);
  EXPECT_EQ(g.m_sideHdgWidths[1], 20);
  EXPECT_EQ(g.m_sideHdgWidths[2], 40);
}

// ------------------------------------------------------------------ movement

class SGMove : public ::testing::Test {
 protected:
  SGMove() : h(400, 300) {
    h.grid.SetColumnCount(10);
    h.grid.SetRowCount(10);
    h.grid.log.clear();
  }
  SGHeadlessGrid h;
};

TEST_F(SGMove, RowsClampAtTheEnds) {
  SGTestGrid& g = h.grid;
  EXPECT_EQ(g.GotoRow(15), 0);
  EXPECT_EQ(g.GetCurrentRow(), 9);
  EXPECT_EQ(g.GotoRow(15), 1);
  EXPECT_EQ(g.GotoRow(-3), 0);
  EXPECT_EQ(g.GetCurrentRow(), 0);
  g.SetRowCount(0);
  EXPECT_EQ(g.GotoRow(1), 1);
}

TEST_F(SGMove, ARowOnlyMoveSendsNoColumnChange) {
  SGTestGrid& g = h.grid;
  g.GotoRow(4);
  EXPECT_EQ(g.log, (std::vector<std::string>{"row 0->4", "cell"}));
  g.log.clear();
  g.GotoCell(3, 6);
  EXPECT_EQ(g.log, (std::vector<std::string>{"col 0->3", "row 4->6", "cell"}));
}

TEST_F(SGMove, AVetoLeavesEverythingAndAnswersTwo) {
  SGTestGrid& g = h.grid;
  g.GotoCell(2, 2);
  g.log.clear();
  g.vetoMove = true;
  struct Case {
    const char* what;
    std::function<int()> call;
  } cases[] = {{"row", [&] { return g.GotoRow(8); }},
               {"column", [&] { return g.GotoColumn(8); }},
               {"cell", [&] { return g.GotoCell(8, 8); }},
               {"page", [&] { return g.MoveCurrentRow(3); }}};
  for (const Case& k : cases) {
    EXPECT_EQ(k.call(), 2) << k.what;
    EXPECT_EQ(g.GetCurrentColumn(), 2);
    EXPECT_EQ(g.GetCurrentRow(), 2);
    EXPECT_EQ(g.GetTopRow(), 0);
    EXPECT_EQ(h.GI().m_requestedRow, 2);
  }
  g.vetoMove = false;
  g.vetoScroll = true;
  EXPECT_EQ(g.SetTopRow(1), 0);  // nothing to scroll: all rows fit
  g.SetRowCount(100);
  EXPECT_EQ(g.SetTopRow(20), 2);
  EXPECT_EQ(g.GetTopRow(), 0);
  EXPECT_TRUE(g.log.empty());
}

TEST_F(SGMove, TheStorageCanRefuseAMove) {
  struct NoMove : CSGMem {
    int CanMove(int, int, int, int) override { return 0; }
  } refusing;
  h.GI().m_defDataSource = &refusing;
  EXPECT_EQ(h.grid.GotoColumn(4), 2);
  EXPECT_EQ(h.grid.GetCurrentColumn(), 0);
  h.GI().m_defDataSource = h.GI().m_ownDataSource.get();
}

TEST_F(SGMove, KeysStepOverJoinedBlocks) {
  SGTestGrid& g = h.grid;
  ASSERT_EQ(g.JoinCells(2, 1, 4, 1), 0);
  g.GotoCell(1, 1);
  g.m_CUGGrid->OnKeyDown(VK_RIGHT, 1, 0);
  EXPECT_EQ(g.GetCurrentColumn(), 2);
  g.m_CUGGrid->OnKeyDown(VK_RIGHT, 1, 0);
  EXPECT_EQ(g.GetCurrentColumn(), 5);
  // A click inside the block lands on its start.
  g.GotoCell(3, 1);
  EXPECT_EQ(g.GetCurrentColumn(), 2);
}

TEST_F(SGMove, TopRowStaysBetweenLockedRowsAndTheMaximum) {
  SGTestGrid& g = h.grid;
  g.SetRowCount(100);
  const int maxTop = h.GI().m_maxTopRow;
  EXPECT_GT(maxTop, 80);
  EXPECT_EQ(g.SetTopRow(1000), 0);
  EXPECT_EQ(g.GetTopRow(), maxTop);
  g.SetLockedRows(3);
  EXPECT_EQ(g.GetTopRow(), 3);
  g.SetTopRow(10);
  EXPECT_EQ(g.SetTopRow(0), 0);
  EXPECT_EQ(g.GetTopRow(), 3);
  // Moving below the view scrolls just far enough.
  g.GotoRow(50);
  const int visibleRows = (h.GI().m_gridHeight - 60) / 20;
  EXPECT_EQ(g.GetTopRow(), 50 - visibleRows + 1);
}

TEST_F(SGMove, PagingMovesByTheRowsThatFit) {
  SGTestGrid& g = h.grid;
  g.SetRowCount(100000);
  const int fit = h.GI().m_gridHeight / 20;
  g.MoveCurrentRow(3);
  EXPECT_EQ(g.GetCurrentRow(), fit - 1);
  g.MoveCurrentRow(3);
  EXPECT_EQ(g.GetCurrentRow(), 2 * (fit - 1));
  g.MoveCurrentRow(2);
  EXPECT_EQ(g.GetCurrentRow(), fit - 1);
  g.MoveCurrentRow(5);
  EXPECT_EQ(g.GetCurrentRow(), 99999);
  EXPECT_EQ(g.GetTopRow(), h.GI().m_maxTopRow);
  g.MoveCurrentRow(2);
  g.MoveCurrentRow(4);
  EXPECT_EQ(g.GetCurrentRow(), 0);
  EXPECT_EQ(g.GetTopRow(), 0);
}

// ------------------------------------------------------------------ scroll bars

TEST(SGScroll, ManyRowsScaleTheThumbToAThousandSteps) {
  SGHeadlessGrid h(400, 300);
  h.grid.SetColumnCount(3);
  h.grid.SetRowCount(5000 + 12);
  h.grid.LayoutChildren();
  ASSERT_GT(h.GI().m_maxTopRow, 1000);
  h.GI().m_maxTopRow = 5000;  // a round maximum for the arithmetic
  h.grid.m_CUGVScroll->m_lastMaxTopRow = -2;
  h.grid.m_CUGVScroll->UpdateScrollBar();
  SGHeadlessPort* bar = h.Port(*h.grid.m_CUGVScroll);
  EXPECT_EQ(bar->ScrollMax(), 1000);
  EXPECT_EQ(bar->ScrollPage(), 1);
  h.grid.m_CUGVScroll->OnScroll(SB_THUMBTRACK, 500);
  EXPECT_EQ(h.grid.GetTopRow(), 0);  // dragging does not move the view
  h.grid.m_CUGVScroll->OnScroll(SB_THUMBPOSITION, 500);
  EXPECT_EQ(h.grid.GetTopRow(), 2500);
  EXPECT_EQ(bar->ScrollPos(), 500);
}

TEST(SGScroll, LockedRowsAndColumnsStartTheRanges) {
  SGHeadlessGrid h(400, 300);
  h.grid.SetColumnCount(30);
  h.grid.SetRowCount(40);
  h.grid.SetLockedRows(3);
  h.grid.SetLockedColumns(2);
  h.grid.LayoutChildren();
  SGHeadlessPort* v = h.Port(*h.grid.m_CUGVScroll);
  EXPECT_EQ(v->ScrollMin(), 3);
  h.grid.m_CUGVScroll->OnScroll(SB_LINEDOWN, 0);
  EXPECT_EQ(h.grid.GetTopRow(), 4);
  EXPECT_EQ(h.grid.GetCurrentRow(), 0);
  h.grid.m_CUGHScroll->OnScroll(SB_THUMBPOSITION, 4);
  EXPECT_EQ(h.grid.GetLeftColumn(), 6);
}

TEST(SGScroll, AZeroDefaultColumnWidthStillGivesAPage) {
  SGHeadlessGrid h(400, 300);
  h.grid.SetDefaultColumnWidth(0);
  h.grid.SetColumnCount(50);
  for (int c = 0; c < 50; ++c) h.grid.SetColumnWidth(c, 30);
  h.grid.SetRowCount(5);
  h.grid.LayoutChildren();
  EXPECT_EQ(h.grid.m_CUGHScroll->m_page, 1);
  EXPECT_EQ(h.grid.MoveLeftColumn(3), 0);
  EXPECT_GT(h.grid.GetLeftColumn(), 0);
}
