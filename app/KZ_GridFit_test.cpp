// The option grid on the headless window system: its readers, the edit rule with its
// flag tables, the popup menu, the row operations and a few real clicks and keys.
#include "app/KZ_GridFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGHeadings.h"
#include "wincomp/grid/SGHeadless.h"

namespace {

// A grid that records what its derived sheets would be told.
class RecordingGrid : public KZ_GridFit {
 public:
  struct Change {
    int col;
    long row;
    bool hasText;
    std::string text;
  };
  std::vector<Change> changes;
  std::vector<std::pair<int, long>> helps;
  void OnValueChanged(int col, long row, const char* text) override {
    changes.push_back({col, row, text != nullptr, text ? text : ""});
  }
  void ShowHelp(int col, long row) override { helps.emplace_back(col, row); }
};

struct Sheet {
  Sheet() {
    grid.CreateGrid(0, RECT{0, 0, 900, 700}, system, nullptr, 1);
    grid.InitSheet(20, 5);
  }
  std::string Text(int col, long row) {
    const char* t = grid.GetCellText(col, row);
    return t ? t : "";
  }
  CSGCell Cell(int col, long row) {
    CSGCell c;
    grid.GetCell(col, row, &c);
    return c;
  }
  // The join block a cell belongs to: start column, end column (rows stay).
  std::pair<int, int> Join(int col, long row) {
    int c = col, ec = col;
    long r = row, er = row;
    if (grid.GetJoinRange(&c, &r, &ec, &er) != 0) return {col, col};
    return {c, ec};
  }
  // The centre of a cell in the cell area's pixels.
  POINT Centre(int col, long row) {
    RECT r{};
    grid.GetCellRect(col, row, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  SGHeadlessSystem system;
  RecordingGrid grid;
};

TEST(KZ_GridFit, ReadersFollowTheirTextRules) {
  const std::pair<const char*, int> ints[] = {
      {"12: Seg2 -> AEW", 12}, {"123456", 123}, {"-5", -5},       {"-12", -1},
      {"0: PZT map\n", 0},     {"7", 7},        {"x", 'x' - '0'}, {"", -'0'}};
  for (const auto& [text, v] : ints) EXPECT_EQ(KZ_ParseLeadingInt(text), v) << text;
  EXPECT_EQ(KZ_ParseLeadingInt(nullptr), -'0');

  Sheet s;
  struct FloatCase {
    const char* text;
    const char* key;
    int unit;
    float want;
  } floats[] = {
      {"Az,Ad=-90,30", "Az,Ad=", 0, -90.0f},
      {"L=62.5", "L=", 1, 62.5f},
      {"t=2 ms", "=", 1, 0.002f},        // milliseconds to seconds
      {"x=5 cm", "=", 1, 0.05f},         // centimetres to metres
      {"x=5 cm", "=", 0, 5.0f},          // no conversion asked
      {"r=3 /min", "=", 1, 0.05f},       // a rate per minute to per second
      {"D=0.1 m^2/s", "=", 1, 0.1f},     // no unit it knows
      {"U/(U+D)>=0.75", "=", 1, 0.75f},  // the first "=" is the key
      {"12.5", "Q=", 0, 12.5f},          // key absent: the whole text
      {"abc", "=", 1, 0.0f},
      {"", "=", 1, 0.0f},
  };
  for (const FloatCase& c : floats) {
    s.grid.SetCellText(1, 1, c.text);
    EXPECT_NEAR(s.grid.GetFloat(1, 1, c.key, c.unit), c.want, 1e-6) << c.text;
  }

  float mi = 1, mx = 1, step = 1, unit = 0;
  int log = 0;
  s.grid.SetCellText(3, 9, "Az,Ad=0,60 deg");
  EXPECT_EQ(s.grid.GetRange(3, 9, &mi, &mx, &step, &unit, &log), 2);
  EXPECT_EQ(std::make_tuple(mi, mx, step, unit, log), std::make_tuple(0.0f, 60.0f, 0.0f, 1.0f, 0));
  s.grid.SetCellText(1, 9, "t=1,1000,*=10");
  EXPECT_EQ(s.grid.GetRange(1, 9, &mi, &mx, &step, nullptr, &log), 3);
  EXPECT_EQ(std::make_tuple(mi, mx, step, log), std::make_tuple(1.0f, 1000.0f, 10.0f, 1));

  std::string out;
  s.grid.SetCellText(2, 2, "Template path=/data/tm");
  s.grid.GetText(out, 2, 2, "=");
  EXPECT_EQ(out, "/data/tm");
  s.grid.SetCellText(2, 2, "/no/key");
  s.grid.GetText(out, 2, 2, "=");
  EXPECT_EQ(out, "/no/key");
}

TEST(KZ_GridFit, StepValueWrapsWithinItsRange) {
  Sheet s;
  struct Case {
    const char* start;
    int code, lo, hi, want;
    const char* shown;
  } cases[] = {
      {"3", SGN_SPIN_UP, 0, 3, 0, "0"},   {"0", SGN_SPIN_DOWN, 0, 3, 3, "3"},
      {"1", SGN_SPIN_UP, 0, 3, 2, "2"},   {"2", SGN_SPIN_DOWN, 0, 3, 1, "1"},
      {"2.7", SGN_SPIN_UP, 0, 3, 3, "3"},  // the integer part steps
      {"5", SGN_SPIN_UP, 4, 3, 5, "5"},    // minimum above maximum: only read
  };
  for (const Case& c : cases) {
    s.grid.SetCellText(1, 4, c.start);
    EXPECT_EQ(s.grid.StepValue(1, 4, c.code, c.lo, c.hi), c.want) << c.start;
    EXPECT_EQ(s.Text(1, 4), c.shown) << c.start;
  }
}

TEST(KZ_GridFit, OnlyFlaggedCellsOfEnabledRowsCanBeEdited) {
  Sheet s;
  KZ_GridFit& g = s.grid;
  // A new sheet: every row enabled, no cell editable.
  for (int c = 0; c < 5; ++c) EXPECT_FALSE(g.IsCellEditable(c, 3)) << c;
  g.SetCheck(2, 3, 1);
  EXPECT_TRUE(g.IsCellEditable(2, 3));
  EXPECT_EQ(s.Cell(2, 3).GetBackColor(), KZ_GridFit::kEditBack);
  EXPECT_EQ(s.Cell(2, 3).GetTextColor(), KZ_GridFit::kEditText);
  // A row whose enable flag is 0 refuses even a flagged cell, and shows it fixed.
  g.Flags(0)->RowEnable(3) = 0;
  EXPECT_FALSE(g.IsCellEditable(2, 3));
  EXPECT_EQ(g.OnEditStart(2, 3, nullptr), 0);
  g.SetCheck(2, 3, 1);
  EXPECT_EQ(s.Cell(2, 3).GetBackColor(), KZ_GridFit::kFixedBack);
  g.Flags(0)->RowEnable(3) = 1;
  EXPECT_EQ(g.OnEditStart(2, 3, nullptr), 1);
  // Outside the sheet nothing is editable and SetCheck writes nothing.
  for (auto [c, r] : {std::pair{-1, 3L}, {5, 3L}, {2, -1L}, {2, 20L}}) {
    g.SetCheck(c, r, 1);
    EXPECT_FALSE(g.IsCellEditable(c, r)) << c << "," << r;
  }

  // More rows keep the flags of the old ones; the new ones are editable nowhere.
  g.SetRowCount(30);
  EXPECT_TRUE(g.IsCellEditable(2, 3));
  EXPECT_FALSE(g.IsCellEditable(2, 25));
  EXPECT_EQ(s.Text(-1, 25), "25");
  EXPECT_EQ(g.Flags(0)->RowEnable(25), 1);
  g.SetRowCount(2);
  g.SetRowCount(10);
  EXPECT_FALSE(g.IsCellEditable(2, 3));  // the row was gone in between

  // Sheets keep their own tables.
  g.SetSheetCount(2);
  g.SetCurrentSheet(1);
  g.InitSheet(0, 0);  // defaults: 20 rows, 5 columns
  EXPECT_EQ(g.GetRowCount(), 20);
  EXPECT_EQ(g.GetColumnCount(), 5);
  EXPECT_EQ(g.m_nLastCol, 4);
  EXPECT_FALSE(g.IsCellEditable(2, 1));
  g.SetCheck(2, 1, 1);
  g.SetCurrentSheet(0);
  EXPECT_FALSE(g.IsCellEditable(2, 1));
  EXPECT_EQ(s.Text(0, -1), "A");
  EXPECT_EQ(s.Text(4, -1), "E");
}

TEST(KZ_GridFit, ClicksAndKeysEditOnlyEditableCells) {
  Sheet s;
  KZ_GridFit& g = s.grid;
  CSGGrid& cells = *g.m_CUGGrid;
  g.SetCheck(1, 2, 1);
  // A double click on a fixed cell opens no editor.
  POINT p = s.Centre(2, 2);
  cells.OnLButtonDown(sgw::MK_LBUTTON, p);
  cells.OnLButtonUp(0, p);
  cells.OnLButtonDblClk(sgw::MK_LBUTTON, p);
  EXPECT_FALSE(g.m_editInProgress);
  cells.OnChar('9', 1, 0);
  EXPECT_FALSE(g.m_editInProgress);
  // Typing on an editable cell starts with the key; Enter stores the text.
  p = s.Centre(1, 2);
  cells.OnLButtonDown(sgw::MK_LBUTTON, p);
  cells.OnLButtonUp(0, p);
  ASSERT_EQ(std::make_pair(g.GetCurrentColumn(), g.GetCurrentRow()), std::make_pair(1, 2L));
  cells.OnChar('4', 1, 0);
  ASSERT_TRUE(g.m_editInProgress);
  g.m_defEditCtrl.OnChar('2', 1, 0);
  g.m_defEditCtrl.OnKeyDown(sgw::VK_RETURN, 1, 0);
  EXPECT_FALSE(g.m_editInProgress);
  EXPECT_EQ(s.Text(1, 2), "42");
  // Escape leaves the cell as it was.
  g.GotoCell(1, 2);
  g.EditCurrentCellWithKey('7');
  ASSERT_TRUE(g.m_editInProgress);
  g.m_defEditCtrl.OnKeyDown(sgw::VK_ESCAPE, 1, 0);
  EXPECT_EQ(s.Text(1, 2), "42");
}

TEST(KZ_GridFit, PopupOffersPasteOnlyOnEditableCellsAndPasteReportsTheCell) {
  Sheet s;
  KZ_GridFit& g = s.grid;
  g.SetCheck(1, 1, 1);
  g.SetCellText(2, 1, "fixed");
  auto items = [&](int col, long row) {
    s.system.lastMenu.clear();
    s.system.menuAnswer = 0;
    g.OpenPopupMenu(col, row,
                    col < 0   ? SG_SECTION_SIDEHDG
                    : row < 0 ? SG_SECTION_TOPHDG
                              : 1,
                    nullptr);
    std::vector<std::string> t;
    for (const SGMenuItem& m : s.system.lastMenu) t.push_back(m.text);
    return t;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(items(1, 1), (V{"Copy", "Paste"}));
  EXPECT_EQ(items(2, 1), (V{"Copy"}));
  EXPECT_EQ(items(-1, 1), V{});  // side heading
  EXPECT_EQ(items(1, -1), V{});  // top heading

  // Copy puts the cell's text on the clipboard; Paste writes it into the current cell and
  // tells the derived grid which cell changed, without a text.
  g.GotoCell(2, 1);
  s.system.menuAnswer = KZ_GridFit::kMenuCopy;
  g.OpenPopupMenu(2, 1, 1, nullptr);
  EXPECT_EQ(s.system.GetClipboardText().value_or(""), "fixed");
  s.system.SetClipboardText("Ns=7");
  g.GotoCell(1, 1);
  s.system.menuAnswer = KZ_GridFit::kMenuPaste;
  g.OpenPopupMenu(1, 1, 1, nullptr);
  EXPECT_EQ(s.Text(1, 1), "Ns=7");
  ASSERT_EQ(s.grid.changes.size(), 1u);
  EXPECT_EQ(s.grid.changes[0].col, 1);
  EXPECT_EQ(s.grid.changes[0].row, 1);
  EXPECT_FALSE(s.grid.changes[0].hasText);
}

TEST(KZ_GridFit, RowOperationsLayOutTypesJoinsColoursAndFlags) {
  Sheet s;
  KZ_GridFit& g = s.grid;
  const char* list = "3: a\n4: b\n5: c\n";
  g.SetRowHeading(0, "Head ?=Scale", 2, 0);
  g.SetRowHeading(1, "Sub", 1, 1);
  g.SetParamRow(2, "Title", "1", "-", "Go..", "notes");
  g.SetParamRow(3, "-T", "a", "", "", "n");
  g.SetParamRow(4, "Do=.", "x", "y", "z", "?=help");
  g.SetParamRowRange(5, "R", 0.5, 250, "x", "n");
  g.SetOptionRow(6, "Mode", list, 4, nullptr, "notes");
  g.SetOptionRow(7, "Mode", list, 3, "extra", "notes");
  g.SetOptionRow(8, "", list, 5, "extra", nullptr);
  g.SetOptionRow(9, "T", list, 9, nullptr, nullptr);
  g.SetTextRow(10, "Do..", "a", "b");
  g.SetTextRow(11, "Info ?=x", "a", "b", "c", "d");
  g.SetRow(12, "Redraw..", "x", "y");
  g.SetCheckCell(0, 13, "Lbl", 1);

  const int button = g.m_nButtonIndex;
  struct Cell {
    int col;
    long row;
    const char* text;
    int type;
    std::pair<int, int> join;
    COLORREF back;
    bool editable;
  } cells[] = {
      {0, 0, "Head ?=Scale", 0, {0, 4}, KZ_GridFit::kHeading0Back, false},
      {0, 1, "Sub", 0, {0, 4}, KZ_GridFit::kHeading1Back, false},
      {0, 2, "Title", 0, {0, 0}, KZ_GridFit::kTitleBack, false},
      {1, 2, "1", 0, {1, 1}, KZ_GridFit::kEditBack, true},
      {2, 2, "-", 0, {2, 2}, KZ_GridFit::kFixedBack, false},
      {3, 2, "Go..", button, {3, 3}, KZ_GridFit::kButtonBack, false},
      {4, 2, "notes", 0, {4, 4}, KZ_GridFit::kNotesBack, false},
      {1, 3, "a", 0, {1, 3}, KZ_GridFit::kEditBack, true},  // empty texts join
      {4, 3, "n", 0, {4, 4}, KZ_GridFit::kNotesBack, false},
      {0, 4, "Do=.", button, {0, 0}, KZ_GridFit::kButtonBack, false},
      {4, 4, "?=help", 0, {4, 4}, KZ_GridFit::kNotesBack, false},
      {1, 5, "0.500000", 0, {1, 1}, KZ_GridFit::kEditBack, true},
      {2, 5, "250", 0, {2, 2}, KZ_GridFit::kEditBack, true},
      {1, 6, "4: b", 1, {1, 3}, 0, false},
      {4, 6, "notes", 0, {4, 4}, KZ_GridFit::kNotesBack, false},
      {1, 7, "3: a", 1, {1, 2}, 0, false},
      {3, 7, "extra", 0, {3, 3}, KZ_GridFit::kEditBack, true},
      {0, 8, "5: c", 1, {0, 2}, KZ_GridFit::kOptionBack, false},
      {3, 8, "extra", 0, {3, 4}, KZ_GridFit::kNotesBack, false},
      {1, 9, "", 1, {1, 2}, KZ_GridFit::kOptionBack, false},  // number past the list
      {0, 10, "Do..", button, {0, 0}, KZ_GridFit::kButtonBack, false},
      {1, 10, "a", 0, {1, 1}, KZ_GridFit::kTextRowBack, false},
      {2, 10, "b", 0, {2, 4}, KZ_GridFit::kNotesBack, false},
      {4, 11, "d", 0, {4, 4}, KZ_GridFit::kNotesBack, false},
      {0, 12, "Redraw..", button, {0, 0}, KZ_GridFit::kButtonBack, false},
      {1, 12, "x", 0, {1, 1}, KZ_GridFit::kFixedBack, false},
      {2, 12, "y", 0, {2, 4}, KZ_GridFit::kNotesBack, false},
      {0, 13, "1", 2, {0, 0}, KZ_GridFit::kButtonBack, false},
  };
  for (const Cell& c : cells) {
    SCOPED_TRACE(testing::Message() << "cell " << c.col << "," << c.row);
    const CSGCell cell = s.Cell(c.col, c.row);
    EXPECT_EQ(s.Text(c.col, c.row), c.text);
    EXPECT_EQ(cell.GetCellType(), c.type);
    EXPECT_EQ(s.Join(c.col, c.row), c.join);
    if (c.back) {
      EXPECT_EQ(cell.GetBackColor(), c.back);
    }
    EXPECT_EQ(g.IsCellEditable(c.col, c.row), c.editable);
  }
  // Heights, alignments, fonts, labels and styles that carry meaning.
  EXPECT_EQ(g.GetRowHeight(0), 40);
  EXPECT_EQ(g.GetRowHeight(6), 30);
  EXPECT_EQ(s.Cell(0, 0).GetFont(), &g.m_fontBold);
  EXPECT_EQ(s.Cell(0, 2).GetAlignment(), SG_ALIGN_RIGHT);
  EXPECT_EQ(s.Cell(0, 3).GetAlignment(), SG_ALIGN_CENTER);
  EXPECT_EQ(s.Cell(3, 2).GetAlignment(), SG_ALIGN_RIGHT | SG_ALIGN_VCENTER);
  EXPECT_EQ(s.Cell(3, 2).GetCellTypeStyle(), 16);
  EXPECT_EQ(std::string(s.Cell(1, 6).GetLabel()), list);
  EXPECT_EQ(s.Cell(1, 10).GetAlignment(), SG_ALIGN_RIGHT);
  EXPECT_EQ(std::string(s.Cell(0, 13).GetLabel()), "Lbl");
  EXPECT_EQ(s.Cell(0, 13).GetCellTypeStyle(), 0x1100);
  // "?=" in a heading, in column 4 of a parameter row and in a text row's first text put
  // a "?" button into the side heading; other rows keep their number.
  for (long row : {0L, 4L, 11L}) {
    EXPECT_EQ(s.Text(-1, row), "?") << row;
    EXPECT_EQ(s.Cell(-1, row).GetCellType(), button) << row;
  }
  EXPECT_EQ(s.Text(-1, 2), "2");

  // SetParamText turns a "?=" text into a button on the help colour.
  g.SetParamText(1, 14, "Word ?=Scale");
  EXPECT_EQ(s.Cell(1, 14).GetCellType(), button);
  EXPECT_EQ(s.Cell(1, 14).GetAlignment(), SG_ALIGN_LEFT | SG_ALIGN_VCENTER);
  EXPECT_EQ(s.Cell(1, 14).GetBackColor(), KZ_GridFit::kHelpTextBack);
  g.SetParamBool(2, 14, 7);
  EXPECT_EQ(s.Text(2, 14), "1");
  g.SetInt(3, 14, "n=%d", -4);
  EXPECT_EQ(s.Text(3, 14), "n=-4");
  g.SetFloat(3, 15, "x=%.2f", 1.5f);
  EXPECT_EQ(s.Text(3, 15), "x=1.50");
}

TEST(KZ_GridFit, RowNumbersStayInTheSideHeading) {
  Sheet s;
  s.grid.SetCellText(1, 2, "text");
  SGHeadlessPort* cells = s.system.PortOf(*s.grid.m_CUGGrid);
  SGHeadlessPort* side = s.system.PortOf(*s.grid.m_CUGSideHdg);
  cells->ClearRecord();
  side->ClearRecord();
  s.grid.RedrawAll();
  // The empty cells of column 0 show nothing of the numbers left of them.
  EXPECT_EQ(cells->Texts(), std::vector<std::string>{"text"});
  const std::vector<std::string> numbers = side->Texts();
  EXPECT_NE(std::find(numbers.begin(), numbers.end(), "3"), numbers.end());
}

TEST(KZ_GridFit, HeadingClicksOpenHelpAndButtonsFlash) {
  Sheet s;
  KZ_GridFit& g = s.grid;
  g.SetTextRow(2, "Scale ?=Scale", "1");           // the first cell holds "?="
  g.SetParamRow(3, "x", "1", "2", "3", "?=More");  // only column 4 does
  g.SetRowHeading(5, "Heading ?=H", 1, 1);
  RECT r{};
  POINT p{};
  // Button-down only, on headings showing "?".
  g.OnSideHeadingLeftClick(-1, 2, 1, &r, &p, 0);
  g.OnSideHeadingLeftClick(-1, 3, 1, &r, &p, 0);
  g.OnSideHeadingLeftClick(-1, 3, 0, &r, &p, 0);
  g.OnSideHeadingLeftClick(-1, 4, 1, &r, &p, 0);
  g.OnSideHeadingLeftClick(-1, 5, 1, &r, &p, 0);
  EXPECT_EQ(s.grid.helps, (std::vector<std::pair<int, long>>{{0, 2}, {-1, 3}, {0, 5}}));

  // A real press on a button cell turns it blue; the release that clicks turns it back.
  g.SetButtonCell(1, 6, "Do..");
  const POINT c = s.Centre(1, 6);
  g.m_CUGGrid->OnLButtonDown(sgw::MK_LBUTTON, c);
  EXPECT_EQ(s.Cell(1, 6).GetBackColor(), KZ_GridFit::kButtonPressed);
  g.m_CUGGrid->OnLButtonUp(0, c);
  EXPECT_EQ(s.Cell(1, 6).GetBackColor(), KZ_GridFit::kButtonBack);
}

}  // namespace
