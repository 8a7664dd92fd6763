#include "wincomp/grid/SGCellType.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RecordingDc.h"
#include "wincomp/grid/SGTestGrid.h"

using plat::DcOpKind;

namespace {

// A grid of 40-pixel columns; the recording DC's system font is 8 pixels a character.
class SGDraw : public ::testing::Test {
 public:
  SGDraw() {
    g.SetColumnCount(6);
    g.SetRowCount(3);
    for (int c = 0; c < 6; ++c) g.SetColumnWidth(c, 40);
  }
  // The texts drawn for a cell, with their x relative to the cell's left edge.
  std::vector<std::pair<std::string, int>> Draw(int col, long row = 0) {
    plat::RecordingDc dc;
    CSGCell cell;
    g.GetCellWithDefaults(col, row, &cell);
    RECT r{col * 40, 0, col * 40 + 40, 20};
    g.GetCellTypeOfCell(col, row);
    g.GetCellTypeByIndex(cell.GetCellType())->OnDraw(&dc, &r, col, row, &cell, 0, 0);
    std::vector<std::pair<std::string, int>> out;
    for (const plat::DcOp* op : dc.OpsOf(DcOpKind::Text))
      if (!op->text.empty()) out.emplace_back(op->text, op->points[0].x - r.left);
    return out;
  }
  SGTestGrid g;
};

}  // namespace

TEST_F(SGDraw, LongTextSpillsIntoEmptyCellsToItsRight) {
  g.SetCellText(0, 0, "abcdefghij");  // 80 + margin 4 > 40
  using V = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(Draw(1), (V{{"abcdefghij", 4 - 40}}));
  EXPECT_EQ(Draw(2), (V{{"abcdefghij", 4 - 80}}));
  EXPECT_TRUE(Draw(3).empty());  // the text ends before column 3
  // A right-aligned source ignores the offset.
  g.SetCellAlignment(0, 0, SG_ALIGN_RIGHT);
  EXPECT_EQ(Draw(1), (V{{"abcdefghij", 39 - 4 - 80}}));  // inside the grid line
}

TEST(SGDrawStops, SpillStopsAtTypedJoinedOrFilledCells) {
  struct Case {
    const char* what;
    std::function<void(SGTestGrid&)> setup;
    int col;
  } cases[] = {
      {"typed source", [](SGTestGrid& g) { g.SetCellTypeStyle(0, 0, SGCT_ELLIPSIS); }, 1},
      {"typed target", [](SGTestGrid& g) { g.SetCellTypeStyle(1, 0, SGCT_ELLIPSIS); }, 1},
      {"joined target", [](SGTestGrid& g) { g.JoinCells(1, 0, 1, 1); }, 1},
      {"filled cell between", [](SGTestGrid& g) { g.SetCellText(1, 0, "x"); }, 2},
      {"overflow off", [](SGTestGrid& g) { g.GetGridInfo()->m_enableCellOverLap = 0; }, 1},
  };
  for (const Case& k : cases) {
    struct Fixture : SGDraw {
      void TestBody() override {}
    } f;
    f.g.SetCellText(0, 0, "abcdefghij");
    k.setup(f.g);
    for (const auto& t : f.Draw(k.col)) EXPECT_NE(t.first, "abcdefghij") << k.what;
  }
}

TEST_F(SGDraw, EllipsisFromTheSixPixelBoundary) {
  g.GetGridInfo()->m_showGridLines = 0;
  g.SetCellText(0, 0, "abcd");  // 32 pixels
  g.SetCellTypeStyle(0, 0, SGCT_ELLIPSIS);
  g.SetColumnWidth(0, 38);
  plat::RecordingDc dc;
  CSGCell cell;
  g.GetCellWithDefaults(0, 0, &cell);
  RECT fits{0, 0, 38, 20};
  g.m_defCellType.OnDraw(&dc, &fits, 0, 0, &cell, 0, 0);
  EXPECT_EQ(dc.Texts(), (std::vector<std::string>{"abcd"}));
  dc.Clear();
  RECT tight{0, 0, 37, 20};
  g.m_defCellType.OnDraw(&dc, &tight, 0, 0, &cell, 0, 0);
  ASSERT_EQ(dc.Texts(), (std::vector<std::string>{"abcd", "..."}));
  auto texts = dc.OpsOf(DcOpKind::Text);
  // "..." is 24 wide: the text is clipped at 37 - 27 = 10, the box runs from 10 to 37.
  EXPECT_EQ(texts[0]->rect.right, 10);
  EXPECT_EQ(texts[1]->rect.left, 10);
  EXPECT_EQ(texts[1]->points[0].x, 11);
}

// Border lines of a one-pixel pen are drawn as one-pixel rectangles.
TEST_F(SGDraw, RaisedFrameDrawsNoGridLines) {
  plat::RecordingDc dc;
  CSGCell cell;
  g.GetCellWithDefaults(1, -1, &cell);  // a heading cell: border 0x2000
  RECT r{0, 0, 40, 20};
  g.m_defCellType.OnDraw(&dc, &r, 1, -1, &cell, 0, 0);
  auto lines = dc.OpsOf(DcOpKind::FillRect);
  ASSERT_EQ(lines.size(), 4u);
  for (const plat::DcOp* op : lines) EXPECT_NE(op->brush.Color(), RGB(220, 220, 220));
  // Light left and top edges, dark right and bottom ones, meeting as a polyline would.
  EXPECT_EQ(lines[0]->brush.Color(), RGB(255, 255, 255));
  EXPECT_EQ((RECT{0, 1, 1, 20}.top), lines[0]->rect.top);
  EXPECT_EQ(lines[1]->rect.left, 0);
  EXPECT_EQ(lines[1]->rect.right, 39);
  EXPECT_EQ(lines[2]->brush.Color(), g.m_shadowPen.Color());
  EXPECT_EQ(lines[2]->rect.left, 39);
  EXPECT_EQ(lines[2]->rect.bottom, 19);
  EXPECT_EQ(lines[3]->rect.left, 1);
  EXPECT_EQ(lines[3]->rect.right, 40);
  EXPECT_EQ(lines[3]->rect.top, 19);
  // A plain cell gets the right and bottom grid lines.
  dc.Clear();
  g.GetCellWithDefaults(1, 0, &cell);
  g.m_defCellType.OnDraw(&dc, &r, 1, 0, &cell, 0, 0);
  auto grid = dc.OpsOf(DcOpKind::FillRect);
  ASSERT_EQ(grid.size(), 2u);
  EXPECT_EQ(grid[0]->rect.left, 39);
  EXPECT_EQ(grid[0]->rect.bottom, 20);
  EXPECT_EQ(grid[1]->rect.top, 19);
  EXPECT_EQ(grid[1]->rect.right, 40);
  EXPECT_EQ(grid[0]->brush.Color(), RGB(220, 220, 220));
}

TEST_F(SGDraw, BestSizeAndPrintScaling) {
  plat::RecordingDc dc;
  CSGCell empty;
  SIZE s{};
  g.m_defCellType.GetBestSize(&dc, &s, &empty);
  EXPECT_EQ(s.cx, 9);
  EXPECT_EQ(s.cy, 5);
  CSGCell text;
  text.SetText("abc");
  g.m_defCellType.GetBestSize(&dc, &s, &text);
  EXPECT_EQ(s.cx, dc.GetTextExtent("abc").cx + 6);
  EXPECT_EQ(s.cy, dc.GetTextExtent("abc").cy + 2);

  plat::CFont font;
  font.CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  g.SetDefaultFont(&font);
  g.SetCellText(1, 1, "p");
  CSGCell cell;
  g.GetCellWithDefaults(1, 1, &cell);
  RECT printed{0, 0, 80, 40};  // twice the row's 20 pixels
  dc.Clear();
  g.m_defCellType.OnPrint(&dc, &printed, 1, 1, &cell);
  auto texts = dc.OpsOf(DcOpKind::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->state.font.GetLogFont().lfHeight, -24);
  EXPECT_EQ(cell.GetFont(), nullptr);  // the scaled font is gone with the call
}
