// The grid's windows driven through their message handlers on the headless system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGTestGrid.h"

using namespace sgw;
using plat::DcOpKind;

namespace {

// 400 x 300 with 10 columns of 75 and 200 rows of 20; column 0 holds "r<row>".
struct Filled : SGHeadlessGrid {
  Filled(int cols = 10, long rows = 200) : SGHeadlessGrid(400, 300) {
    grid.SetColumnCount(cols);
    grid.SetRowCount(rows);
    for (long r = 0; r < std::min(rows, 400L); ++r)
      grid.SetCellText(0, r, ("r" + std::to_string(r)).c_str());
    grid.LayoutChildren();
    Cells()->ClearRecord();
    grid.log.clear();
  }
  std::vector<std::string> CellTexts() { return Cells()->Texts(); }
  int FocusFrames() {
    int n = 0;
    for (const auto& op : Cells()->Ops()) n += op.kind == DcOpKind::DrawFocusRect;
    return n;
  }
};

}  // namespace

TEST(SGCellArea, WheelScrollsThreeRowsPerNotch) {
  Filled h;
  h.grid.SetTopRow(20);
  h.grid.m_CUGGrid->OnMouseWheel(0, 240, POINT{10, 10});
  EXPECT_EQ(h.grid.GetTopRow(), 14);
  h.grid.m_CUGGrid->OnMouseWheel(0, 60, POINT{10, 10});
  EXPECT_EQ(h.grid.GetTopRow(), 14);
  h.grid.m_CUGGrid->OnMouseWheel(0, -120, POINT{10, 10});
  EXPECT_EQ(h.grid.GetTopRow(), 17);
}

TEST(SGCellArea, ScrollingOneRowRepaintsOnlyWhatItExposes) {
  Filled h;
  h.grid.SetTopRow(1);
  SGHeadlessPort* cells = h.Cells();
  ASSERT_EQ(cells->Scrolls().size(), 1u);
  EXPECT_EQ(cells->Scrolls()[0].dx, 0);
  EXPECT_EQ(cells->Scrolls()[0].dy, -20);
  // The rows from the last paint's bottom row on; the current cell (row 0) is out of view.
  std::vector<std::string> texts = h.CellTexts();
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"r13", "r14"}));
  SGHeadlessPort* side = h.Port(*h.grid.m_CUGSideHdg);
  ASSERT_FALSE(side->Scrolls().empty());
  EXPECT_EQ(side->Scrolls().back().dy, -20);
}

TEST(SGCellArea, LockedCellsStayRightWhenBothAxesScroll) {
  Filled h(30, 200);
  h.grid.SetLockedRows(1);
  h.grid.SetLockedColumns(1);
  for (int c = 0; c < 30; ++c) h.grid.SetCellText(c, 0, ("h" + std::to_string(c)).c_str());
  h.grid.LayoutChildren();
  h.Cells()->ClearRecord();
  // One update moving both the left column and the top row.
  h.GI().m_leftCol = 2;
  h.GI().m_topRow = 2;
  h.grid.ApplyMove();
  ASSERT_EQ(h.Cells()->Scrolls().size(), 1u);
  std::vector<std::string> texts = h.CellTexts();
  auto has = [&](const std::string& t) {
    return std::find(texts.begin(), texts.end(), t) != texts.end();
  };
  EXPECT_TRUE(has("h0"));  // the locked corner
  EXPECT_TRUE(has("h2"));  // the locked row above the new left column
  EXPECT_TRUE(has("r5"));  // the locked column beside the rows
}

TEST(SGCellArea, FocusFrameShowsOnceAroundTheCurrentCell) {
  Filled h;
  h.grid.m_CUGGrid->SetFocus();
  h.Cells()->ClearRecord();
  // Every pass draws the frame once, over a freshly drawn current cell.
  h.grid.RedrawCell(3, 5);
  EXPECT_EQ(h.FocusFrames(), 1);
  h.Cells()->ClearRecord();
  h.grid.RedrawAll();
  EXPECT_EQ(h.FocusFrames(), 1);
  h.Cells()->ClearRecord();
  h.grid.GotoCell(2, 3);
  EXPECT_EQ(h.FocusFrames(), 1);
  RECT r;
  h.grid.GetCellRect(2, 3, &r);
  const auto& ops = h.Cells()->Ops();
  auto frame = std::find_if(ops.begin(), ops.end(), [](const plat::DcOp& op) {
    return op.kind == DcOpKind::DrawFocusRect;
  });
  EXPECT_EQ(frame->rect.left, r.left);
  EXPECT_EQ(frame->rect.bottom, r.bottom - 1);
  h.Cells()->ClearRecord();
  h.grid.m_CUGHScroll->SetFocus();  // focus leaves: the cell is drawn without it
  EXPECT_EQ(h.FocusFrames(), 0);
}

TEST(SGCellArea, DragHeldOutsideKeepsScrolling) {
  Filled h(30, 200);
  CSGGrid& area = *h.grid.m_CUGGrid;
  area.OnLButtonDown(MK_LBUTTON, POINT{10, 10});
  EXPECT_EQ(h.grid.GetCurrentColumn(), 0);
  const int right = h.GI().m_gridWidth + 20;
  area.OnMouseMove(MK_LBUTTON, POINT{right, 10});
  EXPECT_EQ(h.grid.GetCurrentColumn(), 1);
  ASSERT_TRUE(h.Cells()->HasTimer(CSGGrid::kDragTimer));
  h.Cells()->FireTimer(CSGGrid::kDragTimer);
  h.Cells()->FireTimer(CSGGrid::kDragTimer);
  EXPECT_EQ(h.grid.GetCurrentColumn(), 3);
  area.OnMouseMove(MK_LBUTTON, POINT{10, 10});
  EXPECT_FALSE(h.Cells()->HasTimer(CSGGrid::kDragTimer));
  area.OnMouseMove(MK_LBUTTON, POINT{10, h.GI().m_gridHeight + 5});
  area.OnLButtonUp(0, POINT{10, h.GI().m_gridHeight + 5});
  EXPECT_FALSE(h.Cells()->HasTimer(CSGGrid::kDragTimer));
}

TEST(SGCellArea, DraggingIntoLockedColumnsScrollsBack) {
  Filled h(30, 200);
  h.grid.SetLockedColumns(1);
  h.grid.GotoCell(8, 1);
  ASSERT_GT(h.grid.GetLeftColumn(), 1);
  const int left = h.grid.GetLeftColumn();
  // Over the locked column: one column back per pass (the view scrolling back with it),
  // never a jump into the locked part.
  for (int pass = 0; pass < 5; ++pass) {
    const int before = h.grid.GetCurrentColumn();
    h.grid.m_CUGGrid->OnMouseMove(MK_LBUTTON, POINT{10, 30});
    EXPECT_EQ(h.grid.GetCurrentColumn(), before - 1);
  }
  EXPECT_EQ(h.grid.GetCurrentColumn(), 3);
  EXPECT_LT(h.grid.GetLeftColumn(), left);
}

TEST(SGCellArea, KeysMoveAndSpareRowBlankUsesTheSectionColour) {
  Filled h(3, 4);
  CSGGrid& area = *h.grid.m_CUGGrid;
  area.OnKeyDown(VK_DOWN, 1, 0);
  area.OnKeyDown(VK_RIGHT, 1, 0);
  EXPECT_EQ(h.grid.GetCurrentColumn(), 1);
  EXPECT_EQ(h.grid.GetCurrentRow(), 1);
  h.system.SetKeyDown(VK_CONTROL, true);
  area.OnKeyDown(VK_END, 1, 0);
  h.system.SetKeyDown(VK_CONTROL, false);
  EXPECT_EQ(h.grid.GetCurrentRow(), 3);
  area.OnKeyDown(VK_END, 1, 0);
  EXPECT_EQ(h.grid.GetCurrentColumn(), 2);
  h.Cells()->ClearRecord();
  h.grid.RedrawAll();
  bool belowFilled = false;
  for (const auto& op : h.Cells()->Ops())
    if (op.kind == DcOpKind::FillRect && op.rect.top == 80 && op.rect.left == 0)
      belowFilled = op.brush.Color() == GetSysColor(COLOR_WINDOW);
  EXPECT_TRUE(belowFilled);
}

// ------------------------------------------------------------------ headings

TEST(SGHeadings, SizingCursorWithinTwoPixelsOfAnEdge) {
  Filled h;
  CSGTopHdg& top = *h.grid.m_CUGTopHdg;
  SGHeadlessPort* port = h.Port(top);
  struct Case {
    int x;
    bool sizing;
  } cases[] = {{73, true}, {77, true}, {75, true}, {72, false}, {78, false}, {40, false}};
  for (const Case& k : cases) {
    top.OnMouseMove(0, POINT{k.x, 10});
    EXPECT_EQ(top.m_canSize != 0, k.sizing) << k.x;
    top.OnSetCursor();
    EXPECT_EQ(port->Cursor(), k.sizing ? IDC_SIZEWE : IDC_ARROW) << k.x;
  }
}

TEST(SGHeadings, AColumnDraggedToNothingIsOfferedAgain) {
  Filled h;
  CSGTopHdg& top = *h.grid.m_CUGTopHdg;
  top.OnMouseMove(0, POINT{150, 10});  // right edge of column 1
  ASSERT_EQ(top.m_sizingIndex, 1);
  top.OnLButtonDown(MK_LBUTTON, POINT{150, 10});
  top.OnMouseMove(MK_LBUTTON, POINT{50, 10});  // past the column's left edge
  top.OnLButtonUp(0, POINT{50, 10});
  EXPECT_EQ(h.grid.GetColumnWidth(1), 0);
  top.OnMouseMove(0, POINT{76, 10});
  EXPECT_EQ(top.m_canSize, 1);
  EXPECT_EQ(top.m_sizingIndex, 1);
}

TEST(SGHeadings, DoubleClickOnAnEdgeFitsTheColumn) {
  Filled h;
  h.grid.SetCellText(1, 3, "a rather long text");
  CSGTopHdg& top = *h.grid.m_CUGTopHdg;
  top.OnMouseMove(0, POINT{150, 10});
  top.OnLButtonDblClk(MK_LBUTTON, POINT{150, 10});
  plat::RecordingDc dc;
  EXPECT_EQ(h.grid.GetColumnWidth(1), dc.GetTextExtent("a rather long text").cx + 6);
  // On the heading's bottom edge no column changes.
  top.OnMouseMove(0, POINT{30, 19});
  ASSERT_EQ(top.m_sizingKind, 1);
  top.OnLButtonDblClk(MK_LBUTTON, POINT{30, 19});
  EXPECT_EQ(h.grid.GetColumnWidth(0), 75);
}

TEST(SGHeadings, RowSizingInUniformModeDividesByTheStartRow) {
  Filled h(10, 70000);
  ASSERT_EQ(h.GI().m_uniformRowHeightFlag, 1);
  CSGSideHdg& side = *h.grid.m_CUGSideHdg;
  side.OnMouseMove(0, POINT{10, 100});
  ASSERT_EQ(side.m_sizingKind, 1);
  EXPECT_EQ(side.m_sizingDivisor, 5);
  side.OnLButtonDown(MK_LBUTTON, POINT{10, 100});
  side.OnMouseMove(MK_LBUTTON, POINT{10, 150});
  side.OnLButtonUp(0, POINT{10, 150});
  EXPECT_EQ(h.grid.GetRowHeight(12345), 30);
}

TEST(SGHeadings, RightClickBelowTheRowsOpensTheMenuOffACell) {
  Filled h(3, 4);
  h.grid.EnableMenu(1);
  h.grid.m_CUGSideHdg->OnRButtonDown(0, POINT{10, 200});
  EXPECT_EQ(h.grid.log, (std::vector<std::string>{"popup -1,-1,3"}));
}

// ------------------------------------------------------------------ sheet tabs

TEST(SGTabs, TabsMeasureClickScrollAndSize) {
  plat::RecordingOptions opts;
  opts.textWidth = [](const plat::DcState&, const std::string& t) {
    return 10 * static_cast<int>(t.size());
  };
  SGHeadlessGrid h(400, 300, opts);
  SGTestGrid& g = h.grid;
  g.SetColumnCount(20);
  g.SetRowCount(50);
  g.SetTabWidth(150);
  g.LayoutChildren();
  CSGTab& tabs = *g.m_CUGTab;
  for (int i = 0; i < 6; ++i) g.AddTab("abcd", 100 + i);
  EXPECT_EQ(tabs.m_tabWidths[0], 50);
  // Tabs start after the 32-pixel arrows: tab 0 spans 32..82, tab 1 82..132.
  tabs.OnLButtonDown(0, POINT{84, 5});
  EXPECT_EQ(g.lastTabId, 100);
  EXPECT_EQ(g.tabClicks, 1);
  EXPECT_EQ(tabs.m_currentTab, 0);
  // The rightmost visible tab scrolls in to 19 pixels inside.
  const int width = h.Port(tabs)->GetClientRect().right;
  tabs.OnLButtonDown(0, POINT{width - 10, 5});
  const int i = tabs.m_currentTab;
  int right = tabs.m_scrollWidth - tabs.m_tabOffset;
  for (int k = 0; k <= i; ++k) right += tabs.m_tabWidths[k];
  EXPECT_EQ(right + 19, width);
  tabs.m_tabOffset = 3;
  tabs.OnArrowScroll(SB_LINELEFT);
  EXPECT_EQ(tabs.m_tabOffset, 0);
  tabs.OnArrowScroll(SB_LINELEFT);
  EXPECT_EQ(tabs.m_tabOffset, 0);
  // The grip: dragged to x = 2 the area keeps 5 pixels.
  tabs.OnMouseMove(0, POINT{width - 3, 5});
  ASSERT_EQ(tabs.m_resizeReady, 1);
  tabs.OnLButtonDown(MK_LBUTTON, POINT{width - 3, 5});
  tabs.OnMouseMove(MK_LBUTTON, POINT{2, 5});
  tabs.OnLButtonUp(0, POINT{2, 5});
  EXPECT_EQ(h.GI().m_tabWidth, 5);
  EXPECT_EQ(h.GI().m_rects[SG_RECT_TAB].right, 5);
}

TEST(SGHeadings, CornerEdgesSizeTheHeadings) {
  Filled h;
  CSGCnrBtn& corner = *h.grid.m_CUGCnrBtn;
  corner.OnMouseMove(0, POINT{38, 5});  // within 4 pixels of the right edge (40)
  corner.OnSetCursor();
  EXPECT_EQ(h.Port(corner)->Cursor(), IDC_SIZEWE);
  corner.OnLButtonDown(MK_LBUTTON, POINT{38, 5});
  corner.OnMouseMove(MK_LBUTTON, POINT{70, 5});
  corner.OnLButtonUp(0, POINT{70, 5});
  EXPECT_EQ(h.grid.GetSideHeadingWidth(), 70);
  EXPECT_EQ(h.GI().m_sideHdgWidths[0], 70);
  EXPECT_EQ(h.GI().m_rects[SG_RECT_GRID].left, 70);
  corner.OnMouseMove(0, POINT{10, 18});  // near the bottom edge
  corner.OnSetCursor();
  EXPECT_EQ(h.Port(corner)->Cursor(), IDC_SIZENS);
}

// An owner that appends rows when a move runs past the end reaches them at once.
TEST(SGCellArea, RowsAppendedOnDemandAreReached) {
  struct Growing : SGTestGrid {
    void OnRowsPastEnd(long first, long count, int*) override { SetRowCount(first + count + 5, 0); }
  };
  SGHeadlessSystem system;
  Growing g;
  g.CreateGrid(0, RECT{0, 0, 400, 300}, system, nullptr, 1);
  g.SetColumnCount(3);
  g.SetRowCount(10);
  EXPECT_EQ(g.GotoRow(12), 0);
  EXPECT_EQ(g.GetCurrentRow(), 12);
  EXPECT_GT(g.GetRowCount(), 12);  // painting the last row asks for more as well
}
