// The control-like cell types driven through the cell area's mouse and key messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RecordingDc.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGTestGrid.h"

using namespace sgw;
using plat::DcOpKind;

namespace {

struct TypeGrid : SGTestGrid {
  std::vector<long> codes;
  bool vetoSelected = false;
  bool emptyList = false;
  int OnCellTypeNotify(long, int, long, long code, long param) override {
    codes.push_back(code);
    if (code == SGN_DROPLIST_OPENING && emptyList)
      reinterpret_cast<std::vector<std::string>*>(param)->clear();
    if (code == SGN_DROPLIST_SELECTED) return !vetoSelected;
    return TRUE;
  }
};

// 400 x 300, 5 columns of 75, 12 rows of 20. Cell (c, r) spans x 75c..75c+75,
// y 20r..20r+20 in the cell area.
struct Types {
  SGHeadlessSystem system;
  TypeGrid grid;
  CSGButtonType button;
  CSGEllipsisType ellipsis;
  CSGSpinButtonType spin;
  CSGSliderType slider;
  CSGRadioType radio;
  int buttonIdx, ellipsisIdx, spinIdx, sliderIdx, radioIdx;
  Types() {
    grid.CreateGrid(0, RECT{0, 0, 400, 300}, system, nullptr, 1);
    grid.SetColumnCount(5);
    grid.SetRowCount(12);
    grid.LayoutChildren();
    buttonIdx = grid.AddCellType(&button);
    ellipsisIdx = grid.AddCellType(&ellipsis);
    spinIdx = grid.AddCellType(&spin);
    sliderIdx = grid.AddCellType(&slider);
    radioIdx = grid.AddCellType(&radio);
  }
  CSGGrid& Cells() { return *grid.m_CUGGrid; }
  // Runs a sequence: 'P' press, 'M' move with the button held, 'R' release, 'D' double
  // click, 'E' Enter on the current cell; each at a point.
  std::vector<long> Run(const std::string& steps, const std::vector<POINT>& points) {
    grid.codes.clear();
    for (size_t i = 0; i < steps.size(); ++i) {
      const POINT p = points[i];
      switch (steps[i]) {
        case 'P':
          Cells().OnLButtonDown(MK_LBUTTON, p);
          break;
        case 'M':
          Cells().OnMouseMove(MK_LBUTTON, p);
          break;
        case 'R':
          Cells().OnLButtonUp(0, p);
          break;
        case 'D':
          Cells().OnLButtonDblClk(MK_LBUTTON, p);
          break;
        case 'E':
          Cells().OnKeyDown(VK_RETURN, 1, 0);
          break;
      }
    }
    return grid.codes;
  }
};

}  // namespace

TEST(SGCellTypes, PressSequencesSendTheirCodes) {
  struct Case {
    const char* name;
    int type;  // 0 button, 1 ellipsis, 2 spin
    std::string steps;
    std::vector<POINT> points;
    std::vector<long> codes;
  };
  const POINT in{100, 30}, out{100, 70};         // cell (1, 1); cell (1, 3)
  const POINT btnTop{145, 23}, btnLow{145, 37};  // the buttons' area of cell (1, 1)
  const std::vector<Case> cases = {
      {"click", 0, "PR", {in, in}, {2, 3, 1}},
      {"press, leave, release elsewhere", 0, "PMR", {in, out, out}, {2, 3}},
      {"press, leave, come back, release", 0, "PMMR", {in, out, in, in}, {2, 3, 1}},
      {"enter on a button", 0, "E", {in}, {1}},
      {"ellipsis left of its button", 1, "PR", {in, in}, {}},
      {"ellipsis button", 1, "PR", {btnTop, btnTop}, {100}},
      {"ellipsis button, left before release", 1, "PMR", {btnTop, in, in}, {}},
      {"upper spin button", 2, "PR", {btnTop, btnTop}, {16}},
      {"double click on the lower spin button",
       2,
       "PRDR",
       {btnLow, btnLow, btnLow, btnLow},
       {17, 17}},
  };
  for (const Case& k : cases) {
    Types t;
    const int idx = k.type == 0 ? t.buttonIdx : k.type == 1 ? t.ellipsisIdx : t.spinIdx;
    t.grid.SetCellType(1, 1, idx);
    t.grid.SetCellType(1, 3, idx);
    t.grid.GotoCell(1, 1);
    EXPECT_EQ(t.Run(k.steps, k.points), k.codes) << k.name;
  }
}

TEST(SGCellTypes, CheckBoxGeometryClicksAndSpace) {
  Types t;
  CSGCheckBoxType& box = t.grid.m_checkBoxType;
  // A cell of 100 x 20: inside the grid lines 99 x 19; a 12-pixel box at (3, 3).
  RECT cell{0, 0, 100, 20};
  t.grid.SetCellType(0, 0, 2);
  struct Click {
    int updn;
    POINT p;
    const char* after;
  };
  const Click clicks[] = {
      {1, {9, 9}, ""},            // pressing does nothing
      {0, {30, 9}, ""},           // released outside the box
      {0, {15, 15}, "1.000000"},  // the box's far corner still counts
      {0, {3, 3}, "0.000000"},
  };
  for (const Click& c : clicks) {
    POINT p = c.p;
    box.OnLeftClick(0, 0, c.updn, &cell, &p);
    const char* text = t.grid.GetCellText(0, 0);
    EXPECT_STREQ(text ? text : "", c.after) << c.p.x << "," << c.p.y;
  }
  t.grid.GotoCell(0, 0);
  t.grid.SetCellText(0, 0, "1.000000");
  UINT space = 32;
  EXPECT_EQ(box.OnCharDown(0, 0, &space), 1);
  EXPECT_EQ(t.grid.GetCellNumber(0, 0), 0.0);
  EXPECT_EQ(t.grid.codes.back(), SGN_CHECK_CHANGED);

  // Below a 6-pixel box nothing but the strip and the label is drawn.
  for (int height : {12, 13}) {
    plat::RecordingDc dc;
    RECT r{0, 0, 100, height};
    CSGCell c;
    c.SetText("1");
    c.SetBackColor(RGB(255, 0, 0));
    box.OnDraw(&dc, &r, 0, 0, &c, 0, 0);
    int windowFills = 0;
    for (const auto* op : dc.OpsOf(DcOpKind::FillSolidRect))
      windowFills += op->color == GetSysColor(COLOR_WINDOW);
    EXPECT_EQ(windowFills, height >= 13 ? 1 : 0) << height;
  }
}

TEST(SGCellTypes, RadioChoices) {
  struct Case {
    const char* label;
    int number;
    int choices;
    int afterSpace;
  };
  const Case cases[] = {{"a\nb\nc\n", 2, 3, 0}, {"a\nb\nc\n", 0, 3, 1}, {"a\nb", 0, 1, 0}};
  for (const Case& k : cases) {
    Types t;
    t.grid.SetCellType(2, 2, t.radioIdx);
    t.grid.SetCellLabel(2, 2, k.label);
    t.grid.SetCellNumber(2, 2, k.number);
    CSGCell cell;
    t.grid.GetCell(2, 2, &cell);
    EXPECT_EQ(CSGRadioType::ChoiceCount(cell), k.choices) << k.label;
    t.grid.GotoCell(2, 2);
    UINT space = 32;
    t.radio.OnCharDown(2, 2, &space);
    EXPECT_EQ(t.grid.GetCellNumber(2, 2), k.afterSpace) << k.label;
  }
}

TEST(SGCellTypes, SliderValueAndDrag) {
  struct Case {
    const char* text;
    int value;
  };
  for (const Case& k : {Case{"150", 100}, Case{"-5", 0}, Case{"42", 42}, Case{"", 0}}) {
    CSGCell c;
    c.SetText(k.text);
    EXPECT_EQ(CSGSliderType::ValueOf(c), k.value) << k.text;
  }
  // Drawn at 100: the thumb's outline starts at left + (width - 6) + 6.
  Types t;
  plat::RecordingDc dc;
  RECT r{0, 0, 100, 20};
  CSGCell c;
  c.SetText("150");
  t.slider.OnDraw(&dc, &r, 0, 0, &c, 0, 0);
  const auto polys = dc.OpsOf(DcOpKind::Polyline);
  ASSERT_FALSE(polys.empty());
  EXPECT_EQ(polys[0]->points[0].x, 0 + (99 - 6) + 6);

  // Dragging the thumb to the cell's left edge stores 0.
  t.grid.SetCellType(1, 1, t.sliderIdx);
  t.grid.SetCellText(1, 1, "50");
  const int thumb = 75 + (74 - 6) * 50 / 100;
  t.Run("PMR", {{thumb + 2, 30}, {60, 30}, {60, 30}});
  EXPECT_EQ(t.grid.GetCellNumber(1, 1), 0.0);
}

TEST(SGCellTypes, DropList) {
  auto lines = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "item" + std::to_string(i) + "\n";
    return s;
  };
  struct Case {
    int lines;
    long row;
    int height;
    bool above;
  };
  for (const Case& k : {Case{3, 1, 4 * 12 + 2, false}, Case{20, 1, 16 * 12 + 2, false},
                        Case{3, 11, 4 * 12 + 2, true}}) {
    Types t;
    t.grid.SetCellType(1, k.row, 1);
    t.grid.SetCellLabel(1, k.row, lines(k.lines).c_str());
    t.grid.GotoCell(1, k.row);
    t.grid.codes.clear();
    UINT enter = VK_RETURN;
    t.grid.m_dropListType.OnKeyDown(1, k.row, &enter);
    EXPECT_EQ(enter, 0u);
    CSGLstBox& box = *t.grid.m_dropListType.m_listBox;
    ASSERT_TRUE(box.IsWindow());
    EXPECT_TRUE(box.HasFocus());
    EXPECT_EQ(t.grid.codes, std::vector<long>({SGN_DROPLIST_OPENING}));
    EXPECT_EQ(box.m_items.size(), static_cast<size_t>(k.lines));
    const RECT r = SGHeadlessSystem::PortOf(box)->WindowRect();
    EXPECT_EQ(r.bottom - r.top, k.height) << k.lines;
    EXPECT_EQ(r.left, 75 + 10);
    const RECT client = t.Cells().GetClientRect();
    if (k.above)
      EXPECT_EQ(r.bottom, client.bottom);
    else
      EXPECT_EQ(r.top, 20 * (k.row + 1));
  }
  // A choice, a refused choice, Escape, and the button of an open list.
  for (int mode = 0; mode < 4; ++mode) {
    Types t;
    t.grid.SetCellType(1, 1, 1);
    t.grid.SetCellLabel(1, 1, "x\ny\n");
    t.grid.SetCellText(1, 1, "x");
    t.grid.GotoCell(1, 1);
    t.grid.vetoSelected = mode == 1;
    auto& type = t.grid.m_dropListType;
    if (mode == 3) {
      t.Run("PR", {{145, 30}, {145, 30}});  // opens
      ASSERT_TRUE(type.m_listBox->IsWindow());
      t.Run("P", {{145, 30}});  // the list loses the focus, then the button is pressed
      EXPECT_FALSE(type.m_listBox->IsWindow());
      EXPECT_EQ(type.m_listCol, -1);
      continue;
    }
    type.ShowList();
    CSGLstBox& box = *type.m_listBox;
    box.m_curSel = 1;
    box.OnKeyDown(mode == 2 ? VK_ESCAPE : VK_RETURN, 1, 0);
    EXPECT_FALSE(box.IsWindow()) << mode;
    EXPECT_STREQ(t.grid.GetCellText(1, 1), mode == 0 ? "y" : "x") << mode;
    EXPECT_EQ(type.m_listCol, mode == 2 ? -2 : -1) << mode;
    EXPECT_TRUE(t.Cells().HasFocus());
  }
  // An owner that empties the choices gets an empty list.
  {
    Types t;
    t.grid.emptyList = true;
    t.grid.SetCellType(1, 1, 1);
    t.grid.SetCellLabel(1, 1, "x\ny\n");
    t.grid.GotoCell(1, 1);
    t.grid.m_dropListType.ShowList();
    EXPECT_TRUE(t.grid.m_dropListType.m_listBox->m_items.empty());
  }
  // Style 0x200: the button only on the current cell.
  {
    Types t;
    CSGCell c;
    c.SetText("x");
    c.SetCellTypeStyle(0x200);
    RECT r{0, 0, 100, 20};
    plat::RecordingDc plain, other, current;
    t.grid.m_defCellType.OnDraw(&plain, &r, 0, 0, &c, 0, 0);
    t.grid.m_dropListType.OnDraw(&other, &r, 0, 0, &c, 0, 0);
    t.grid.m_dropListType.OnDraw(&current, &r, 0, 0, &c, 0, 1);
    EXPECT_EQ(other.Ops().size(), plain.Ops().size());
    EXPECT_GT(current.OpsOf(DcOpKind::LineTo).size(), 2u);
  }
}
