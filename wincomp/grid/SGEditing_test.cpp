// In-place editing, the clipboard and the popup menu on the headless window system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGDropTarget.h"
#include "wincomp/grid/SGSelectList.h"
#include "wincomp/grid/SGTestGrid.h"

using namespace sgw;

namespace {

struct EditGrid : SGTestGrid {
  bool vetoFinish = false;
  std::vector<std::string> popupCommands;
  int OnEditFinish(int, long, CSGWnd*, const char*, int) override { return !vetoFinish; }
  void OnPopupCommand(int col, long row, int section, UINT id) override {
    popupCommands.push_back(std::to_string(col) + "," + std::to_string(row) + "," +
                            std::to_string(section) + ":" + std::to_string(id));
  }
};

// 400 x 300, 5 columns of 75, 10 rows of 20; every cell holds "c<col>r<row>".
struct Editing {
  SGHeadlessSystem system;
  EditGrid grid;
  Editing(int cols = 5) {
    grid.CreateGrid(0, RECT{0, 0, 400, 300}, system, nullptr, 1);
    grid.SetColumnCount(cols);
    grid.SetRowCount(10);
    for (int c = 0; c < cols; ++c)
      for (long r = 0; r < 10; ++r)
        grid.SetCellText(c, r, ("c" + std::to_string(c) + "r" + std::to_string(r)).c_str());
    grid.LayoutChildren();
  }
  CSGEdit& Ed() { return grid.m_defEditCtrl; }
  SGHeadlessPort* EdPort() { return SGHeadlessSystem::PortOf(Ed()); }
  void Type(const std::string& s) {
    for (char ch : s) Ed().OnChar(static_cast<unsigned char>(ch), 1, 0);
  }
  void Key(UINT vk, bool shift = false) {
    system.SetKeyDown(VK_SHIFT, shift);
    Ed().OnKeyDown(vk, 1, 0);
    system.SetKeyDown(VK_SHIFT, false);
  }
  std::string Text(int c, long r) {
    const char* t = grid.GetCellText(c, r);
    return t ? t : "";
  }
};

}  // namespace

TEST(SGEditing, KeysFinishAndContinue) {
  struct Case {
    const char* name;
    int col;
    UINT key;
    bool shift;
    const char* stored;  // the edited cell afterwards
    bool editing;
    int nextCol;
    long nextRow;
  };
  const Case cases[] = {
      {"enter moves down", 1, VK_RETURN, false, "new", true, 1, 3},
      {"shift+tab moves left", 1, VK_TAB, true, "new", true, 0, 2},
      {"tab past the last column wraps to 0", 4, VK_TAB, false, "new", true, 0, 2},
      {"escape stores nothing", 1, VK_ESCAPE, false, nullptr, false, 1, 2},
      {"up on one line moves up", 1, VK_UP, false, "new", true, 1, 1},
  };
  for (const Case& k : cases) {
    Editing h;
    ASSERT_EQ(h.grid.StartEdit(k.col, 2, 0), 0) << k.name;
    EXPECT_TRUE(h.EdPort()->IsVisible());
    EXPECT_EQ(h.Ed().GetText(), "c" + std::to_string(k.col) + "r2");
    EXPECT_TRUE(h.Ed().HasFocus());
    h.Type("new");
    h.Key(k.key, k.shift);
    const std::string original = "c" + std::to_string(k.col) + "r2";
    EXPECT_EQ(h.Text(k.col, 2), k.stored ? k.stored : original) << k.name;
    EXPECT_EQ(h.grid.m_editInProgress != 0, k.editing) << k.name;
    EXPECT_EQ(h.EdPort()->IsVisible(), k.editing) << k.name;
    if (k.editing) {
      EXPECT_EQ(h.grid.m_editCol, k.nextCol) << k.name;
      EXPECT_EQ(h.grid.m_editRow, k.nextRow) << k.name;
      EXPECT_EQ(h.grid.GetCurrentColumn(), k.nextCol) << k.name;
      EXPECT_TRUE(h.Ed().HasFocus()) << k.name;
    }
  }
}

TEST(SGEditing, RefusedFinishKeepsEditorAndCell) {
  Editing h;
  h.grid.vetoFinish = true;
  ASSERT_EQ(h.grid.StartEdit(1, 2, 0), 0);
  h.Type("bad");
  h.Key(VK_RETURN);
  EXPECT_EQ(h.grid.m_editInProgress, 1);
  EXPECT_TRUE(h.EdPort()->IsVisible());
  EXPECT_EQ(h.Ed().GetText(), "bad");
  EXPECT_EQ(h.Text(1, 2), "c1r2");
  EXPECT_EQ(h.grid.GetCurrentColumn(), 1);
  EXPECT_EQ(h.grid.GetCurrentRow(), 2);
  EXPECT_TRUE(h.Ed().HasFocus());
}

TEST(SGEditing, GrownEditorKeepsArrowKeys) {
  Editing h;
  ASSERT_EQ(h.grid.StartEdit(1, 2, 0), 0);
  h.Ed().m_currentHeight = h.Ed().m_startHeight + 20;  // two lines
  h.Key(VK_DOWN);
  h.Key(VK_UP);
  EXPECT_EQ(h.grid.m_editInProgress, 1);
  EXPECT_EQ(h.grid.m_editRow, 2);
  EXPECT_TRUE(h.Ed().HasFocus());
}

TEST(SGEditing, FocusElsewhereCancelsButNotInsideTheGrid) {
  {
    Editing h;
    CSGWnd other;
    other.CreateWnd(h.system, SGWindowKind::Grid, nullptr, nullptr, RECT{0, 0, 10, 10}, 9);
    h.grid.StartEdit(1, 2, 0);
    h.Type("x");
    other.SetFocus();
    EXPECT_EQ(h.grid.m_editInProgress, 0);
    EXPECT_EQ(h.Text(1, 2), "c1r2");
  }
  {
    Editing h;
    h.grid.StartEdit(1, 2, 0);
    h.Type("x");
    h.grid.m_CUGVScroll->SetFocus();
    EXPECT_EQ(h.grid.m_editInProgress, 0);
    EXPECT_EQ(h.Text(1, 2), "x");
  }
}

TEST(SGEditing, NotEditableTypesAndRefusedMoves) {
  Editing h;
  h.grid.SetCellType(0, 0, 2);  // check box
  EXPECT_EQ(h.grid.StartEdit(0, 0, 0), 1);
  EXPECT_EQ(h.grid.m_editInProgress, 0);
  h.grid.vetoMove = true;
  EXPECT_EQ(h.grid.StartEdit(3, 3, 0), 2);
  EXPECT_EQ(h.grid.m_editInProgress, 0);
}

TEST(SGEditing, EditorGrowsCellByCellThenWraps) {
  Editing h;
  ASSERT_EQ(h.grid.StartEdit(2, 1, 0), 0);
  const RECT client = h.grid.m_CUGGrid->GetClientRect();
  ASSERT_EQ(client.right, 360);
  const RECT start = h.EdPort()->WindowRect();
  EXPECT_EQ(start.right, 224);  // 1 pixel off the cell's right edge
  std::vector<LONG> rights;
  LONG lastBottom = start.bottom;
  bool grewDown = false;
  for (int i = 0; i < 60; ++i) {
    h.Type("w");
    const RECT r = h.EdPort()->WindowRect();
    if (rights.empty() || rights.back() != r.right) rights.push_back(r.right);
    EXPECT_LE(r.right, client.right);
    EXPECT_LT(r.bottom, client.bottom);
    if (r.bottom > lastBottom) {
      grewDown = true;
      EXPECT_EQ(r.right, client.right);
    }
    lastBottom = r.bottom;
  }
  // The end of the next cell, of the one after (cut by the window's edge), then wrapped
  // lines across the whole window.
  ASSERT_GE(rights.size(), 3u);
  EXPECT_EQ(rights[1], 299);
  EXPECT_EQ(rights[2], 359);
  EXPECT_TRUE(grewDown);
}

TEST(SGEditing, GrowthBeyondTheLastColumnStaysInTheWindow) {
  Editing h(3);  // columns end at 225 in a 400-pixel area
  ASSERT_EQ(h.grid.StartEdit(2, 1, 0), 0);
  const RECT client = h.grid.m_CUGGrid->GetClientRect();
  for (int i = 0; i < 40; ++i) {
    h.Type("w");
    const RECT r = h.EdPort()->WindowRect();
    EXPECT_LE(r.right, client.right);
    EXPECT_GE(r.right, 224);
    EXPECT_LT(r.bottom, client.bottom);
  }
}

TEST(SGClipboard, CopyCutPaste) {
  // Copy of a 2 x 2 block and of the current cell alone.
  {
    Editing h;
    h.grid.SetMultiSelectMode(1);
    h.grid.SetCellText(0, 0, "a");
    h.grid.SetCellText(1, 0, "b");
    h.grid.SetCellText(0, 1, "c");
    h.grid.SetCellText(1, 1, "d");
    h.grid.SelectRange(0, 0, 1, 1);
    EXPECT_EQ(h.grid.CopySelection(), 0);
    EXPECT_EQ(h.system.GetClipboardText().value_or("?"), "a\tb\nc\td");
    EXPECT_FALSE(h.grid.GetGridInfo()->m_multiSelect->IsActive());
    h.grid.GotoCell(3, 4);
    h.grid.GetGridInfo()->m_multiSelect->ClearAll();
    h.grid.CopySelection();
    EXPECT_EQ(h.system.GetClipboardText().value_or("?"), "c3r4");
  }
  // Paste with CR LF: three cells, selection (1,1)-(2,2); two TABs: an empty middle.
  {
    Editing h;
    h.grid.SetMultiSelectMode(1);
    h.grid.GotoCell(1, 1);
    h.system.SetClipboardText("a\tb\r\nc");
    EXPECT_EQ(h.grid.PasteFromClipboard(), 0);
    EXPECT_EQ(h.Text(1, 1), "a");
    EXPECT_EQ(h.Text(2, 1), "b");
    EXPECT_EQ(h.Text(1, 2), "c");
    EXPECT_EQ(h.Text(2, 2), "c2r2");
    int l, r;
    long t, b;
    ASSERT_EQ(h.grid.GetGridInfo()->m_multiSelect->GetTotalRange(&l, &t, &r, &b), 0);
    EXPECT_EQ(std::vector<long>({l, t, r, b}), std::vector<long>({1, 1, 2, 2}));
    h.grid.PasteText("x\t\ty");
    EXPECT_EQ(h.Text(1, 1), "x");
    EXPECT_EQ(h.Text(2, 1), "");
    EXPECT_EQ(h.Text(3, 1), "y");
  }
  // Cutting a coloured check-box cell leaves a plain empty cell.
  {
    Editing h;
    h.grid.SetCellBackColor(2, 2, RGB(255, 0, 0));
    h.grid.SetCellType(2, 2, 2);
    h.grid.GotoCell(2, 2);
    h.grid.CutSelection();
    EXPECT_EQ(h.system.GetClipboardText().value_or("?"), "c2r2");
    CSGCell cell;
    h.grid.GetCell(2, 2, &cell);
    EXPECT_EQ(cell.GetPropertyMask() & ~SGCELL_TEXT, 0u);
    EXPECT_EQ(h.Text(2, 2), "");
  }
  // An empty clipboard.
  {
    Editing h;
    h.system.ClearClipboard();
    EXPECT_EQ(h.grid.PasteFromClipboard(), 1);
  }
}

TEST(SGPopupMenu, ResultsAndCommands) {
  Editing h;
  h.grid.AddMenuItem(1001, "Copy");
  EXPECT_EQ(h.grid.OpenPopupMenu(1, 1, 1, nullptr), 1);  // menu off
  h.grid.EnableMenu(1);
  h.system.menuAnswer = -1;
  EXPECT_EQ(h.grid.OpenPopupMenu(1, 1, 1, nullptr), 3);
  h.system.menuAnswer = 1001;
  h.grid.JoinCells(2, 2, 3, 3);
  POINT p{5, 5};
  EXPECT_EQ(h.grid.OpenPopupMenu(3, 3, 1, &p), 0);
  ASSERT_EQ(h.system.lastMenu.size(), 1u);
  EXPECT_EQ(h.grid.popupCommands, std::vector<std::string>({"2,2,1:1001"}));
  h.system.menuAnswer = 999;  // below 1000: not the owner's
  h.grid.OpenPopupMenu(0, 0, 1, &p);
  EXPECT_EQ(h.grid.popupCommands.size(), 1u);
}

TEST(SGDropTarget, DropPastesOnlyWhenTheOwnerAccepts) {
  struct DropGrid : EditGrid {
    int accept = 0;
    int OnDrop(SGDataObject*, int, long) override { return accept; }
  };
  for (int accept : {0, 1}) {
    SGHeadlessSystem system;
    DropGrid grid;
    grid.CreateGrid(0, RECT{0, 0, 400, 300}, system, nullptr, 1);
    grid.SetColumnCount(5);
    grid.SetRowCount(10);
    grid.LayoutChildren();
    grid.accept = accept;
    CSGDropTarget target(&grid);
    SGDataObject data{std::string("p\tq")};
    EXPECT_EQ(target.OnDrop(&data, POINT{160, 50}), accept);  // cell (2, 2)
    const char* t = grid.GetCellText(3, 2);
    EXPECT_STREQ(t ? t : "", accept ? "q" : "") << accept;
  }
}
