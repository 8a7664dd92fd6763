// Multiple selection driven through the cell area's clicks and keys.
#include "wincomp/grid/SGSelectList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGTestGrid.h"

using namespace sgw;

namespace {

struct Sel : SGHeadlessGrid {
  Sel() : SGHeadlessGrid(800, 400) {
    grid.SetColumnCount(12);
    grid.SetRowCount(12);
    grid.SetMultiSelectMode(1);
    grid.LayoutChildren();
  }
  CSGSelectList& List() { return *GI().m_multiSelect; }
  // A step: 'c' click, 'C' ctrl+click, 'S' shift+click, 'R' right click, 'd' drag move,
  // 'k' key move, 'K' shift+key move, 'X' ctrl+key move.
  void Step(char kind, int col, long row) {
    const POINT p{static_cast<LONG>(col * 75 + 5), static_cast<LONG>(row * 20 + 5)};
    auto& cells = *grid.m_CUGGrid;
    switch (kind) {
      case 'c':
      case 'C':
      case 'S': {
        const UINT flags = MK_LBUTTON | (kind == 'C' ? MK_CONTROL : kind == 'S' ? MK_SHIFT : 0);
        cells.OnLButtonDown(flags, p);
        cells.OnLButtonUp(flags & ~MK_LBUTTON, p);
        break;
      }
      case 'R':
        cells.OnRButtonDown(MK_RBUTTON, p);
        cells.OnRButtonUp(0, p);
        break;
      case 'd':
        GI().m_moveType = 3;
        grid.GotoCell(col, row);
        GI().m_moveType = 0;
        break;
      default:
        system.SetKeyDown(VK_SHIFT, kind == 'K');
        system.SetKeyDown(VK_CONTROL, kind == 'X');
        grid.GotoCell(col, row);
        system.SetKeyDown(VK_SHIFT, false);
        system.SetKeyDown(VK_CONTROL, false);
    }
  }
  std::string Blocks() {
    std::string s;
    for (const CSGSelectBlock* b = List().FirstBlock(); b; b = b->next)
      s += std::to_string(b->left) + ".." + std::to_string(b->right) + "x" +
           std::to_string(b->top) + ".." + std::to_string(b->bottom) + " ";
    return s;
  }
};

struct Move {
  char kind;
  int col;
  long row;
};

}  // namespace

TEST(SGSelectList, ClickShiftCtrlSequences) {
  struct Case {
    std::vector<Move> moves;
    std::string blocks;
    int curCol;
    long curRow;
  };
  const std::vector<Case> cases = {
      {{{'c', 2, 3}}, "2..2x3..3 ", 2, 3},
      {{{'c', 2, 3}, {'S', 4, 6}}, "2..4x3..6 ", 2, 3},
      {{{'c', 2, 3}, {'S', 4, 6}, {'C', 8, 1}, {'S', 9, 2}}, "2..4x3..6 8..9x1..2 ", 8, 1},
      // Ctrl is tested before Shift for clicks.
      {{{'c', 2, 3}, {'c', 5, 5}, {'C', 6, 6}}, "5..5x5..5 6..6x6..6 ", 6, 6},
      // Keys: Shift extends (rows 4 and 5, then back to 4); Ctrl adds; plain starts anew.
      {{{'k', 1, 3}, {'K', 1, 4}, {'K', 1, 5}, {'K', 1, 4}}, "1..1x3..4 ", 1, 3},
      {{{'c', 2, 3}, {'C', 5, 5}, {'K', 5, 6}, {'K', 5, 5}}, "2..2x3..3 5..5x5..5 ", 5, 5},
      {{{'c', 2, 3}, {'X', 4, 4}}, "2..2x3..3 4..4x4..4 ", 4, 4},
      {{{'c', 2, 3}, {'S', 4, 6}, {'k', 7, 7}}, "7..7x7..7 ", 7, 7},
      // A drag out and back leaves the one cell.
      {{{'c', 1, 1}, {'d', 2, 2}, {'d', 3, 3}, {'d', 2, 2}, {'d', 1, 1}}, "1..1x1..1 ", 1, 1},
      // Right click inside a block keeps everything; outside starts anew.
      {{{'c', 2, 3}, {'S', 4, 6}, {'R', 3, 4}}, "2..4x3..6 ", 2, 3},
      {{{'c', 2, 3}, {'S', 4, 6}, {'R', 9, 9}}, "9..9x9..9 ", 9, 9},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    Sel h;
    for (const Move& m : cases[i].moves) h.Step(m.kind, m.col, m.row);
    EXPECT_EQ(h.Blocks(), cases[i].blocks) << "case " << i;
    EXPECT_EQ(h.grid.GetCurrentColumn(), cases[i].curCol) << "case " << i;
    EXPECT_EQ(h.grid.GetCurrentRow(), cases[i].curRow) << "case " << i;
  }
}

TEST(SGSelectList, IsSelectedIndexAndPaintArgument) {
  Sel h;
  for (const Move& m : std::vector<Move>{{'c', 2, 3}, {'S', 4, 6}, {'C', 8, 1}, {'S', 9, 2}})
    h.Step(m.kind, m.col, m.row);
  int index = -1;
  EXPECT_EQ(h.List().IsSelected(9, 2, &index), 1);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(h.List().IsSelected(2, 3, &index), 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(h.List().IsSelected(6, 6, &index), 0);
  EXPECT_EQ(index, 0);

  // The cell area hands index + 1 to the cell type as the selected argument.
  struct Spy : CSGCellType {
    std::vector<std::pair<std::string, int>> seen;
    void OnDraw(plat::CDC*, RECT*, int col, long row, CSGCell*, int selected, int) override {
      seen.push_back({std::to_string(col) + "," + std::to_string(row), selected});
    }
  } spy;
  const int idx = h.grid.AddCellType(&spy);
  for (auto [c, r] : std::vector<std::pair<int, long>>{{9, 2}, {2, 4}, {6, 6}}) {
    h.grid.SetCellType(c, r, idx);
  }
  h.grid.RedrawAll();
  h.Cells()->UpdateWindow();
  auto selectedOf = [&](const std::string& cell) {
    for (auto& [name, sel] : spy.seen)
      if (name == cell) return sel;
    return -1;
  };
  EXPECT_EQ(selectedOf("9,2"), 2);
  EXPECT_EQ(selectedOf("2,4"), 1);
  EXPECT_EQ(selectedOf("6,6"), 0);
}

TEST(SGSelectList, EnumerationVisitsOverlapsOnce) {
  Sel h;
  h.List().StartBlock(0, 0);
  h.List().AddToBlock(2, 0);
  h.List().StartBlock(1, 0);
  h.List().AddToBlock(3, 0);
  std::vector<std::pair<int, long>> got;
  int c;
  long r;
  for (int rc = h.List().EnumFirst(&c, &r); rc == 0; rc = h.List().EnumNext(&c, &r))
    got.push_back({c, r});
  EXPECT_EQ(got, (std::vector<std::pair<int, long>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));

  // Nothing selected: the current cell, then the end.
  h.List().ClearAll();
  h.grid.GotoCell(4, 5);
  h.List().ClearAll();
  ASSERT_EQ(h.List().EnumFirst(&c, &r), 0);
  EXPECT_EQ(c, 4);
  EXPECT_EQ(r, 5);
  EXPECT_EQ(h.List().EnumNext(&c, &r), 1);
}

TEST(SGSelectList, ExtensionHintsOnlyTheStrip) {
  Sel h;
  h.List().StartBlock(1, 3);
  h.List().AddToBlock(2, 5);
  auto& hints = h.grid.m_CUGGrid->m_paintHint;
  hints.Clear();
  h.List().AddToBlock(2, 7);
  ASSERT_EQ(hints.Ranges().size(), 1u);
  EXPECT_EQ(hints.Ranges()[0].startCol, 1);
  EXPECT_EQ(hints.Ranges()[0].endCol, 2);
  EXPECT_EQ(hints.Ranges()[0].startRow, 5);
  EXPECT_EQ(hints.Ranges()[0].endRow, 7);
  hints.Clear();
  h.List().AddToBlock(2, 5);
  ASSERT_EQ(hints.Ranges().size(), 1u);
  EXPECT_EQ(hints.Ranges()[0].startRow, 5);
  EXPECT_EQ(hints.Ranges()[0].endRow, 7);
}

TEST(SGSelectList, ClearRepaintsWholeGridOnlyAfterChanges) {
  struct Case {
    int extend;  // 0 single block, 1 extended, 2 two blocks
    bool whole;
  };
  for (const Case& k : {Case{0, false}, Case{1, true}, Case{2, true}}) {
    Sel h;
    h.List().StartBlock(1, 1);
    if (k.extend == 1) h.List().AddToBlock(2, 2);
    if (k.extend == 2) h.List().StartBlock(4, 4);
    h.Cells()->UpdateWindow();
    h.Cells()->ClearRecord();
    h.List().ClearAll();
    EXPECT_EQ(h.Cells()->HasUpdateRegion() || !h.Cells()->Ops().empty(), k.whole)
        << "case " << k.extend;
  }
}
