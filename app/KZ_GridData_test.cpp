// The data sheet on the headless window system, with a real graph page that counts the
// tables handed to it: what the two sheets show, heading clicks, edits, and the popup
// menu's operations chosen by id as a user would choose them.
#include "app/KZ_GridData.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/DlgPars.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"
#include "views/graph/GraphView.h"
#include "wincomp/grid/SGHeadless.h"

namespace {

using plat::testing::Prompt;
using plat::testing::ScriptedUi;

// The graph page, counting every table handed to it.
class GraphSpy : public CGraphView {
 public:
  int sets = 0;
  void OnUpdate(plat::CView* sender, LONG hint, void* p) override {
    if (!sender && hint == HINT_GRAPH) ++sets;
    CGraphView::OnUpdate(sender, hint, p);
  }
};

// The sheet with the density dialog answered by the test.
class ScriptedSheet : public KZ_GridData {
 public:
  bool answerOk = true;
  int answerBins = 20;
  std::vector<std::pair<double, double>> asked;
  bool AskDensityBins(double lo, double hi, int* bins) override {
    asked.emplace_back(lo, hi);
    EXPECT_EQ(*bins, 20);
    *bins = answerBins;
    return answerOk;
  }
};

struct Col {
  std::vector<double> v;
  std::uint32_t role = 0;
  double min = 0, max = 0;  // equal: from the samples
  const char* title = "c";
};

void Fill(KZ_MultiVarObj& t, const std::vector<Col>& cols, int rows = 0) {
  int n = rows;
  for (const Col& c : cols) n = std::max<int>(n, static_cast<int>(c.v.size()));
  // Two spare columns for the operations that append one.
  t.SetSize(static_cast<int>(cols.size()) + 2, n);
  t.m_nColumns = static_cast<int>(cols.size());
  t.m_nRows = n;
  for (std::size_t k = 0; k < cols.size(); ++k) {
    std::copy(cols[k].v.begin(), cols[k].v.end(), t.m_ppData[k]);
    t.m_Columns[k].SetAll(static_cast<int>(cols[k].v.size()), cols[k].min, cols[k].max,
                          cols[k].title, "u", cols[k].role);
  }
}

std::vector<double> Ramp(int n, double start = 0, double step = 1) {
  std::vector<double> v(n);
  for (int i = 0; i < n; ++i) v[i] = start + step * i;
  return v;
}

struct Sheet {
  Sheet() {
    plat::testing::EnsureQtApp();
    grid.CreateGrid(0, RECT{0, 0, 900, 700}, system, nullptr, 1);
  }
  std::string Text(int col, long row) {
    const char* t = grid.GetCellText(col, row);
    return t ? t : "";
  }
  std::vector<std::string> Headings() {
    std::vector<std::string> h;
    for (int c = 0; c < grid.GetColumnCount(); ++c) h.push_back(Text(c, -1));
    return h;
  }
  std::vector<std::string> Menu(int col, long row, int section) {
    grid.OnPopupOpen(col, row, section);
    std::vector<std::string> texts;
    for (const SGMenuItem& m : grid.GetMenuItems())
      if (m.id) texts.push_back(m.text);
    return texts;
  }
  std::string ItemText(int col, long row, int section, UINT id) {
    grid.OnPopupOpen(col, row, section);
    for (const SGMenuItem& m : grid.GetMenuItems())
      if (m.id == id) return m.text;
    return "";
  }
  bool Offers(int col, long row, int section, UINT id) {
    grid.OnPopupOpen(col, row, section);
    for (const SGMenuItem& m : grid.GetMenuItems())
      if (m.id == id) return true;
    return false;
  }
  // Chooses an item of the popup menu at that place; the item must be offered there.
  void Choose(int col, long row, int section, UINT id) {
    system.menuAnswer = id;
    grid.OpenPopupMenu(col, row, section, nullptr);
    bool offered = false;
    for (const SGMenuItem& m : system.lastMenu) offered = offered || m.id == id;
    EXPECT_TRUE(offered) << "item " << id << " not offered at " << col << "," << row;
    system.menuAnswer = 0;
  }
  void Show(KZ_MultiVarObj& t) { grid.SetData(&t, &graph); }

  SGHeadlessSystem system;
  ScriptedSheet grid;
  GraphSpy graph;
};

TEST(KZ_GridData, HeadingsNameRolesAndAClickCyclesThem) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(5), KZ_AXIS_X}, {Ramp(5), KZ_AXIS_Y}, {Ramp(5), KZ_AXIS_Y}, {Ramp(5)}});
  t.m_Columns[1].m_nColour = RGB(1, 2, 3);
  s.Show(t);
  EXPECT_EQ(s.Headings(), (std::vector<std::string>{"X:1", "Y:1", "Y:2", "3"}));
  EXPECT_EQ(s.grid.GetCellText(-1, -1), std::string("M"));
  CSGCell cell;
  const COLORREF want[] = {RGB(0, 0, 0), RGB(1, 2, 3), KZ_GridData::kHeadingPalette[1],
                           KZ_GridData::kPlainHeading};
  for (int c = 0; c < 4; ++c) {
    s.grid.GetCell(c, -1, &cell);
    EXPECT_EQ(cell.GetTextColor(), want[c]) << c;
  }

  const int before = s.graph.sets;
  s.grid.OnTopHeadingLeftClick(1, -1, 0, nullptr, nullptr, 0);  // button up: nothing
  EXPECT_EQ(s.Headings()[1], "Y:1");
  s.grid.OnTopHeadingLeftClick(1, -1, 1, nullptr, nullptr, 0);
  EXPECT_EQ(s.Headings(), (std::vector<std::string>{"X:1", "1", "Y:1", "3"}));
  EXPECT_EQ(s.graph.sets, before + 1);
  EXPECT_EQ(s.graph.GetData(), &t);
  // A plain column becomes Y while there is an X column, X when there is none.
  s.grid.OnTopHeadingLeftClick(3, -1, 1, nullptr, nullptr, 0);
  EXPECT_EQ(s.Headings()[3], "Y:2");
  s.grid.OnTopHeadingLeftClick(0, -1, 1, nullptr, nullptr, 0);
  s.grid.OnTopHeadingLeftClick(1, -1, 1, nullptr, nullptr, 0);
  EXPECT_EQ(s.Headings(), (std::vector<std::string>{"0", "X:1", "Y:1", "Y:2"}));

  // The selection flag stars the heading.
  s.Choose(2, -1, 2, KZ_GridData::kSelFlag);
  EXPECT_EQ(t.m_Columns[2].m_nRangeFilter, 1u);
  EXPECT_EQ(s.Headings()[2], "*Y:1");
  EXPECT_EQ(s.Menu(2, -1, 2)[0], "Set as X-axis");
}

TEST(KZ_GridData, RowsShowHeadsSamplesAndBlanksBeyond) {
  Sheet s;
  KZ_MultiVarObj big;
  Fill(big, {{Ramp(20), KZ_AXIS_X, 0, 0, "time"}, {Ramp(20, 0, 0.5), KZ_AXIS_Y}});
  s.Show(big);
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(5), KZ_AXIS_X, 0, 0, "time"}, {{2.5, 1e-7, 250, 3, 4}, KZ_AXIS_Y, 0, 250}});
  s.Show(t);
  EXPECT_EQ(s.grid.GetRowCount(), 50);
  EXPECT_EQ(s.Text(0, 0), "time");
  EXPECT_EQ(s.Text(1, 1), "u");
  EXPECT_EQ(s.Text(-1, 1), "Unit");
  EXPECT_EQ(s.Text(-1, 2), "min");
  EXPECT_EQ(s.Text(-1, 3), "max");
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 3), 250);
  EXPECT_EQ(s.Text(-1, 4), "0");
  EXPECT_EQ(s.Text(-1, 8), "4");
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 4), 2.5);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 5), 1e-7);
  for (long r = 9; r < 50; ++r)
    for (int c = -1; c < 2; ++c) EXPECT_EQ(s.Text(c, r), "") << c << "," << r;

  // A table without columns is not shown: the previous one stays.
  KZ_MultiVarObj empty;
  s.Show(empty);
  EXPECT_EQ(s.grid.Table(0), &t);
  EXPECT_EQ(s.Text(0, 0), "time");

  // Wide and long tables are shown cut; the table itself is not.
  KZ_MultiVarObj wide;
  std::vector<Col> cols(101, Col{Ramp(1500)});
  Fill(wide, cols);
  s.Show(wide);
  EXPECT_EQ(s.grid.GetColumnCount(), 100);
  EXPECT_EQ(s.grid.GetRowCount(), 1010);
  EXPECT_EQ(s.Text(-1, 1003), "999");
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(99, 1003), 999);
  EXPECT_EQ(s.Text(0, 1004), "");
  EXPECT_EQ(wide.m_nColumns, 101);
  EXPECT_EQ(wide.m_Columns[0].m_nCount, 1500);
  // Its heading menu still works on the shown columns.
  s.Choose(99, -1, 2, KZ_GridData::kSetY);
  EXPECT_EQ(s.Headings()[99], "Y:1");
}

TEST(KZ_GridData, EditsGoIntoTheTable) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(5), KZ_AXIS_X}, {Ramp(5, 10), KZ_AXIS_Y, 0, 20}});
  s.Show(t);
  EXPECT_EQ(s.grid.OnEditStart(1, 6, nullptr), 1);
  EXPECT_EQ(s.grid.OnEditStart(-1, 6, nullptr), 0);
  const int n = s.graph.sets;
  EXPECT_EQ(s.grid.OnEditFinish(1, 6, nullptr, "2.5", 0), 1);
  EXPECT_DOUBLE_EQ(t.m_ppData[1][2], 2.5);
  EXPECT_EQ(s.graph.sets, n);
  s.grid.OnEditFinish(1, 2, nullptr, "1", 0);  // minimum: no refresh
  EXPECT_DOUBLE_EQ(t.m_Columns[1].m_dMin, 1);
  EXPECT_EQ(s.graph.sets, n);
  s.grid.OnEditFinish(1, 3, nullptr, "30", 0);
  EXPECT_DOUBLE_EQ(t.m_Columns[1].m_dMax, 30);
  EXPECT_EQ(s.graph.sets, n + 1);
  s.grid.OnEditFinish(1, 0, nullptr, "Stress", 0);
  s.grid.OnEditFinish(1, 1, nullptr, "MPa", 0);
  EXPECT_EQ(t.m_Columns[1].m_strTitle, "Stress");
  EXPECT_EQ(t.m_Columns[1].m_strUnit, "MPa");
  EXPECT_EQ(s.graph.sets, n + 3);
  // Cancelled edits, rows past the data and columns past the table change nothing.
  s.grid.OnEditFinish(1, 4, nullptr, "99", 1);
  s.grid.OnEditFinish(1, 9, nullptr, "99", 0);
  s.grid.OnEditFinish(7, 4, nullptr, "99", 0);
  s.grid.OnEditFinish(1, 7, nullptr, "abc", 0);
  EXPECT_EQ(std::vector<double>(t.m_ppData[1], t.m_ppData[1] + 6),
            (std::vector<double>{10, 11, 2.5, 0, 14, 0}));
}

TEST(KZ_GridData, SheetTabsHandTheirTableToTheGraph) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(5), KZ_AXIS_X}, {Ramp(5), KZ_AXIS_Y}});
  t.m_pSubTable = std::make_unique<KZ_MultiVarObj>();
  Fill(*t.m_pSubTable, {{Ramp(1200, 0, 2)}, {Ramp(1200, 1, 2), KZ_AXIS_Y}});
  s.Show(t);
  KZ_MultiVarObj* second = t.m_pSubTable.get();
  EXPECT_EQ(s.graph.GetData(), second);
  EXPECT_EQ(s.grid.GetCurrentSheet(), 0);
  s.grid.OnSheetTabClicked(1);
  EXPECT_EQ(s.grid.GetCurrentSheet(), 1);
  // Every sample of the second table; column 0 made its X column.
  EXPECT_EQ(s.grid.GetRowCount(), 1210);
  EXPECT_EQ(s.Headings(), (std::vector<std::string>{"X", "Y:1"}));
  EXPECT_TRUE(second->m_Columns[0].m_nAxisFlags & KZ_AXIS_X);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 1203), 2399);
  s.grid.OnSheetTabClicked(0);
  EXPECT_EQ(s.graph.GetData(), &t);
  EXPECT_EQ(s.grid.GetRowCount(), 50);
  s.grid.OnSheetTabClicked(1);
  EXPECT_EQ(s.graph.GetData(), second);
}

TEST(KZ_GridData, CellOperations) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(5), KZ_AXIS_X}, {{2, 4, 6, 8, 10}, KZ_AXIS_Y}, {Ramp(5, 100)}, {Ramp(5, 200)}});
  s.Show(t);

  // Copy to the right: on the "min" row the number becomes the columns' minimum.
  const double ownMin = t.m_Columns[1].m_dMin;
  s.grid.SetCellText(1, 2, "-7");
  s.Choose(1, 2, 1, KZ_GridData::kCopyRight);
  EXPECT_EQ(s.Text(2, 2), "-7");
  EXPECT_EQ(s.Text(3, 2), "-7");
  EXPECT_DOUBLE_EQ(t.m_Columns[2].m_dMin, -7);
  EXPECT_DOUBLE_EQ(t.m_Columns[3].m_dMin, -7);
  EXPECT_DOUBLE_EQ(t.m_Columns[1].m_dMin, ownMin);  // the clicked column keeps its own
  // On a sample row it only copies the text.
  s.Choose(1, 5, 1, KZ_GridData::kCopyRight);
  EXPECT_EQ(s.Text(3, 5), s.Text(1, 5));
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(3, 5), 4);
  EXPECT_DOUBLE_EQ(t.m_ppData[3][1], 201);

  // Normalisation from data row 0 to data row 4.
  s.Choose(1, 4, 1, KZ_GridData::kNorm0);
  s.Choose(1, 8, 1, KZ_GridData::kNorm1);
  EXPECT_EQ(std::vector<double>(t.m_ppData[1], t.m_ppData[1] + 5),
            (std::vector<double>{0, 0.25, 0.5, 0.75, 1}));
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 6), 0.5);
  {
    // On its own start row it would divide by zero: refused with a message.
    ScriptedUi ui;
    ui.ExpectMessage("Do Normalization-0 at 1st!", IDOK);
    ui.ExpectMessage("same value", IDOK);
    s.Choose(1, 4, 1, KZ_GridData::kNorm1);
    EXPECT_EQ(t.m_ppData[1][0], 0);
    EXPECT_TRUE(std::isfinite(t.m_ppData[1][0]));
  }

  // Deleting data row 2 of 5.
  s.Choose(0, 6, 1, KZ_GridData::kDeleteRow);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(t.m_Columns[c].m_nCount, 4);
  EXPECT_EQ(std::vector<double>(t.m_ppData[0], t.m_ppData[0] + 4),
            (std::vector<double>{0, 1, 3, 4}));
  for (int r = 0; r < 4; ++r) EXPECT_EQ(s.Text(-1, r + 4), std::to_string(r));
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(0, 6), 3);
  EXPECT_EQ(s.Text(0, 8), "");
  // On a heading row or a grid row past the data nothing is dropped.
  s.Choose(0, 3, 1, KZ_GridData::kDeleteRow);
  s.Choose(-1, 30, 3, KZ_GridData::kDeleteRow);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(t.m_Columns[c].m_nCount, 4);
  EXPECT_EQ(s.Menu(-1, 5, 3), (std::vector<std::string>{"Delete row"}));
}

TEST(KZ_GridData, CopyAndPasteABlockThroughTheClipboard) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(5), KZ_AXIS_X}, {Ramp(5, 10)}, {Ramp(5, 20)}});
  s.Show(t);
  s.grid.GotoCell(0, 4);
  s.grid.SelectRange(0, 4, 1, 5);
  s.Choose(0, 4, 1, KZ_GridData::kCopy);
  auto clip = s.system.GetClipboardText();
  ASSERT_TRUE(clip.has_value());
  EXPECT_EQ(*clip, s.Text(0, 4) + "\t" + s.Text(1, 4) + "\n" + s.Text(0, 5) + "\t" + s.Text(1, 5));
  s.grid.GotoCell(1, 7);
  s.grid.SelectRange(1, 7, 1, 7);
  s.Choose(1, 7, 1, KZ_GridData::kPaste);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 7), 0);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(2, 7), 10);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 8), 1);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(2, 8), 11);
  // The table itself is not changed by a paste.
  EXPECT_DOUBLE_EQ(t.m_ppData[1][3], 13);
}

TEST(KZ_GridData, HeadingOperations) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(6), KZ_AXIS_X},
           {{0, 50, 100, 150, 200, 250}, KZ_AXIS_Y, 0, 250},
           {{350, 10, 190, 180, 360, 90}, 0, 0, 360},
           {{5, 3, 9, 1, 7, 2}, KZ_AXIS_Y}});
  s.Show(t);

  // Log scale of a column from 0 to 250: the lower limit becomes 10^(3 - 5).
  EXPECT_EQ(s.ItemText(1, -1, 2, KZ_GridData::kLogScale), "Log scale...");
  s.Choose(1, -1, 2, KZ_GridData::kLogScale);
  EXPECT_EQ(t.m_Columns[1].m_nLog, 1);
  EXPECT_DOUBLE_EQ(t.m_Columns[1].m_dMin, 0.01);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 2), 0.01);
  EXPECT_EQ(s.ItemText(1, -1, 2, KZ_GridData::kLogScale), "Normal scale...");

  // Plot-style bits: lines alone by default.
  const std::vector<std::string> m = s.Menu(1, -1, 2);
  EXPECT_NE(std::find(m.begin(), m.end(), "off Lines"), m.end());
  EXPECT_NE(std::find(m.begin(), m.end(), "on Circles"), m.end());
  s.Choose(1, -1, 2, KZ_GridData::kLines);
  EXPECT_EQ(t.m_Columns[1].m_nPlotStyle, 0);
  s.Choose(1, -1, 2, KZ_GridData::kCircles);
  EXPECT_EQ(t.m_Columns[1].m_nPlotStyle, 1);

  // Folding angles into [-180, 180].
  s.Choose(2, -1, 2, KZ_GridData::kFoldAngles);
  EXPECT_EQ(std::vector<double>(t.m_ppData[2], t.m_ppData[2] + 6),
            (std::vector<double>{-10, 10, -170, 180, 0, 90}));
  EXPECT_DOUBLE_EQ(t.m_Columns[2].m_dMin, -180);
  EXPECT_DOUBLE_EQ(t.m_Columns[2].m_dMax, 180);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(2, 2), -180);
  // A negative minimum offers no log scale.
  EXPECT_FALSE(s.Offers(2, -1, 2, KZ_GridData::kLogScale));

  // Roles.
  s.Choose(3, -1, 2, KZ_GridData::kSwapXY);
  EXPECT_EQ(s.Headings(), (std::vector<std::string>{"Y:1", "X:1", "2", "X:2"}));
  s.Choose(3, -1, 2, KZ_GridData::kUnselectAllY);
  EXPECT_EQ(s.Headings(), (std::vector<std::string>{"0", "X:1", "2", "X:2"}));
  s.Choose(3, -1, 2, KZ_GridData::kUnselectAll);
  EXPECT_EQ(s.Headings(), (std::vector<std::string>{"0", "1", "2", "3"}));
  s.Choose(0, -1, 2, KZ_GridData::kSetX);
  s.Choose(3, -1, 2, KZ_GridData::kSetY);
  s.Choose(3, -1, 2, KZ_GridData::kPolar);
  EXPECT_EQ(t.m_nGraphMode, 1);

  // Sorting by column 3 moves whole rows.
  s.Choose(3, -1, 2, KZ_GridData::kSortAscending);
  EXPECT_EQ(std::vector<double>(t.m_ppData[3], t.m_ppData[3] + 6),
            (std::vector<double>{1, 2, 3, 5, 7, 9}));
  EXPECT_EQ(std::vector<double>(t.m_ppData[0], t.m_ppData[0] + 6),
            (std::vector<double>{3, 5, 1, 0, 4, 2}));
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(0, 4), 3);
  s.Choose(3, -1, 2, KZ_GridData::kSortDescending);
  EXPECT_DOUBLE_EQ(t.m_ppData[3][0], 9);

  // Smoothing: one 1-2-1 pass over the inner samples, the ends kept.
  KZ_MultiVarObj u;
  Fill(u, {{Ramp(5), KZ_AXIS_X}, {{0, 0, 4, 0, 0}, KZ_AXIS_Y}, {Ramp(5, 1)}});
  s.Show(u);
  s.Choose(1, -1, 2, KZ_GridData::kSmooth1);
  EXPECT_EQ(std::vector<double>(u.m_ppData[1], u.m_ppData[1] + 5),
            (std::vector<double>{0, 1, 2, 1, 0}));
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 6), 2);
  // Base-10 logarithms.
  s.Choose(2, -1, 2, KZ_GridData::kLog10);
  EXPECT_NEAR(u.m_ppData[2][1], std::log10(2.0), 1e-12);
  // Copy of a column and removal of it again.
  s.Choose(2, -1, 2, KZ_GridData::kAddCopy);
  EXPECT_EQ(u.m_nColumns, 4);
  EXPECT_EQ(s.grid.GetColumnCount(), 4);
  s.Choose(3, -1, 2, KZ_GridData::kRemoveColumn);
  EXPECT_EQ(u.m_nColumns, 3);
  EXPECT_EQ(s.grid.GetColumnCount(), 3);
}

TEST(KZ_GridData, FillingUndefinedAndRemovingOutliers) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(6), KZ_AXIS_X}, {{1, 2, 99, 4, -50, 6}, KZ_AXIS_Y, 0, 10}});
  s.Show(t);
  t.m_Columns[1].MakePlotValues(false, false);
  s.Choose(1, -1, 2, KZ_GridData::kFillUndefined);
  EXPECT_EQ(std::vector<double>(t.m_ppData[1], t.m_ppData[1] + 6),
            (std::vector<double>{1, 2, 2, 4, 4, 6}));
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 6), 2);

  KZ_MultiVarObj u;
  Fill(u, {{Ramp(6), KZ_AXIS_X}, {{1, 2, 99, 4, -50, 6}, KZ_AXIS_Y, 0, 10}});
  u.m_Columns[1].MakePlotValues(false, false);
  s.Show(u);
  s.Choose(1, -1, 2, KZ_GridData::kRemoveOutliers);
  EXPECT_EQ(u.m_Columns[1].m_nCount, 4);
  EXPECT_EQ(std::vector<double>(u.m_ppData[0], u.m_ppData[0] + 4),
            (std::vector<double>{0, 1, 3, 5}));
  EXPECT_EQ(s.Text(-1, 7), "3");
  EXPECT_EQ(s.Text(1, 8), "");
}

TEST(KZ_GridData, DensityOfAnglesIsAPolarPlotOfTheSecondTable) {
  Sheet s;
  KZ_MultiVarObj t;
  std::vector<double> angles;
  for (int i = 0; i < 360; ++i) angles.push_back(i + 0.5);
  Fill(t, {{Ramp(360), KZ_AXIS_X}, {angles, KZ_AXIS_Y, 0, 360}});
  s.Show(t);
  ASSERT_FALSE(t.m_pSubTable);
  s.grid.answerBins = 36;
  s.Choose(1, -1, 2, KZ_GridData::kDensity);
  ASSERT_EQ(s.grid.asked.size(), 1u);
  EXPECT_EQ(s.grid.asked[0], std::make_pair(0.0, 360.0));
  ASSERT_TRUE(t.m_pSubTable);
  KZ_MultiVarObj* second = t.m_pSubTable.get();
  EXPECT_EQ(second->m_nGraphMode, 1);
  EXPECT_EQ(second->m_Columns[0].m_nCount, 36);
  EXPECT_EQ(s.graph.GetData(), second);
  EXPECT_EQ(s.grid.Table(1), second);

  // Another range is not polar; a bin count of 0 is refused; a cancel changes nothing.
  Fill(t, {{Ramp(360), KZ_AXIS_X}, {angles, KZ_AXIS_Y, 0, 400}});
  s.Show(t);
  s.grid.answerBins = 10;
  s.Choose(1, -1, 2, KZ_GridData::kDensity);
  EXPECT_EQ(second->m_nGraphMode, 0);
  EXPECT_EQ(second->m_Columns[0].m_nCount, 10);
  {
    ScriptedUi ui;
    ui.ExpectMessage("bins", IDOK);
    s.grid.answerBins = 0;
    s.Choose(1, -1, 2, KZ_GridData::kDensity);
  }
  s.grid.answerOk = false;
  s.grid.answerBins = 5;
  s.Choose(1, -1, 2, KZ_GridData::kDensity);
  EXPECT_EQ(second->m_Columns[0].m_nCount, 10);
  // Sheet-2 has no column analyses of its own.
  s.grid.OnSheetTabClicked(1);
  EXPECT_FALSE(s.Offers(1, -1, 2, KZ_GridData::kDensity));
  EXPECT_TRUE(s.Offers(1, -1, 2, KZ_GridData::kSmooth1));
}

// The density function asks its bin count in the parameters dialog; the range rows
// only show the column's limits.
TEST(KZ_GridData, DensityAsksTheBinCountInTheParametersDialog) {
  plat::testing::EnsureQtApp();
  KZ_GridData grid;
  for (const bool ok : {true, false}) {
    std::vector<std::string> titles, notes;
    std::vector<float> values;
    std::string caption;
    QTimer::singleShot(0, [&] {
      auto* dlg = dynamic_cast<CDlgPars*>(QApplication::activeModalWidget());
      ASSERT_NE(dlg, nullptr);
      caption = dlg->m_strCaption;
      for (int i = 0; i < dlg->m_Grid.m_nNumbers; ++i) {
        titles.push_back(dlg->m_Grid.m_Numbers[i].title);
        notes.push_back(dlg->m_Grid.m_Numbers[i].note);
        values.push_back(dlg->m_Grid.m_Numbers[i].value);
      }
      EXPECT_EQ(dlg->m_Grid.m_bOutputFolderRow, 0);
      dlg->m_Grid.m_Numbers[2].value = 12.7f;
      if (ok)
        dlg->accept();
      else
        dlg->reject();
    });
    int bins = 20;
    EXPECT_EQ(grid.AskDensityBins(-5, 40, &bins), ok);
    EXPECT_EQ(bins, ok ? 12 : 20);
    EXPECT_EQ(caption, "Probabity Density Function");
    EXPECT_EQ(titles, (std::vector<std::string>{"min", "max", "max"}));
    EXPECT_EQ(values, (std::vector<float>{-5, 40, 20}));
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0][0], 'X');
    EXPECT_EQ(notes[1][0], 'X');
    EXPECT_EQ(notes[2], "Number of bins");
  }
}

TEST(KZ_GridData, PowerSpectrumOfASinePeaksAtItsFrequency) {
  Sheet s;
  KZ_MultiVarObj t;
  // 8 cycles over 64 samples of 1/64 s: all power in the 8 Hz bin.
  const int n = 64;
  std::vector<double> y(n);
  for (int i = 0; i < n; ++i) y[i] = std::sin(2 * M_PI * 8 * i / n);
  Fill(t, {{Ramp(n, 0, 1.0 / n), KZ_AXIS_X, 0, 0, "t"}, {y, KZ_AXIS_Y, -1, 1, "a"}});
  t.m_strHeader[0] = "synthetic sine";
  t.m_strHeader[1] = "START_TIME 2026-01-01";
  t.m_nHeaders = 1;
  s.Show(t);
  s.Choose(1, -1, 2, KZ_GridData::kPowerSpectrum);
  ASSERT_TRUE(t.m_pSubTable);
  const KZ_MultiVarObj& p = *t.m_pSubTable;
  int peak = 0;
  for (int k = 0; k < p.m_Columns[3].m_nCount; ++k)
    if (p.m_ppData[3][k] > p.m_ppData[3][peak]) peak = k;
  EXPECT_EQ(peak, 8);
  EXPECT_NEAR(p.m_ppData[0][peak], 8.0, 1e-9);
  // |X_8| = n / 2: the one-sided density (n/2)^2 dt / (n/2)^2 = dt.
  EXPECT_NEAR(p.m_ppData[3][peak], 1.0 / n, 1e-9);
  EXPECT_EQ(p.m_nHeaders, 2);
  EXPECT_EQ(p.m_strHeader[1], "synthetic sine");
  EXPECT_EQ(p.m_strHeader[2], "START_TIME 2026-01-01");
  EXPECT_EQ(s.graph.GetData(), &p);

  // Without an X column the analyses that need one do nothing.
  KZ_MultiVarObj u;
  Fill(u, {{y}, {y, KZ_AXIS_Y}});
  s.Show(u);
  s.Choose(1, -1, 2, KZ_GridData::kPowerSpectrum);
  s.Choose(1, -1, 2, KZ_GridData::kSsaMatrix);
  s.Choose(1, -1, 2, KZ_GridData::kAddCorrelation);
  EXPECT_FALSE(u.m_pSubTable);
  EXPECT_EQ(u.m_nColumns, 2);
  EXPECT_FALSE(s.Offers(1, -1, 2, KZ_GridData::kSaveSac));
}

// A series between frequency bins, zero-padded: every bin's frequency and density as
// numpy's FFT gives them (tools/app_datasheet/make_power_table.py).
TEST(KZ_GridData, PowerSpectrumAgreesWithNumpy) {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/app/testdata/sheet_power_table.txt");
  ASSERT_TRUE(in) << "missing reference table";
  std::string comment;
  std::getline(in, comment);
  int n = 0, bins = 0;
  double dt = 0;
  in >> n >> dt;
  std::vector<double> x(n), y(n);
  for (int i = 0; i < n; ++i) in >> x[i] >> y[i];
  in >> bins;
  std::vector<double> freq(bins), psd(bins);
  for (int k = 0, kk = 0; k < bins; ++k) in >> kk >> freq[k] >> psd[k];
  ASSERT_TRUE(in);

  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{x, KZ_AXIS_X, 0, 0, "t"}, {y, KZ_AXIS_Y, 0, 3, "a"}});
  s.Show(t);
  s.Choose(1, -1, 2, KZ_GridData::kPowerSpectrum);
  ASSERT_TRUE(t.m_pSubTable);
  const KZ_MultiVarObj& p = *t.m_pSubTable;
  ASSERT_EQ(p.m_Columns[3].m_nCount, bins);
  int peak = 1, want = 1;
  for (int k = 0; k < bins; ++k) {
    EXPECT_NEAR(p.m_ppData[0][k], freq[k], 1e-9 * freq.back()) << k;
    EXPECT_NEAR(p.m_ppData[3][k], psd[k], 1e-9 * psd[0]) << k;
    if (k > 0 && p.m_ppData[3][k] > p.m_ppData[3][peak]) peak = k;
    if (k > 0 && psd[k] > psd[want]) want = k;
  }
  EXPECT_EQ(peak, want);
  EXPECT_EQ(p.m_strHeader[0].rfind("Power spectrum density of a", 0), 0u) << p.m_strHeader[0];
  // Sheet-2 shows it: the frequency column and the density of the peak bin.
  s.grid.OnSheetTabClicked(1);
  EXPECT_EQ(s.Text(3, 0), "PSD(fft)");
  EXPECT_NEAR(s.grid.GetCellNumber(3, want + 4), psd[want], 1e-3 * psd[want]);
}

TEST(KZ_GridData, CornerMenuFilesAndSchemes) {
  Sheet s;
  KZ_MultiVarObj t;
  Fill(t, {{Ramp(4), KZ_AXIS_X, 0, 0, "x"}, {{1.5, 2.5, 3.5, 4.5}, KZ_AXIS_Y, 0, 5, "y"}});
  s.Show(t);
  s.Choose(-1, -1, 4, KZ_GridData::kSymbolLarger);
  EXPECT_FLOAT_EQ(t.m_fSizeScale, 75.0f);
  s.Choose(-1, -1, 4, KZ_GridData::kSymbolSmaller);
  EXPECT_FLOAT_EQ(t.m_fSizeScale, 50.0f);
  EXPECT_FALSE(s.Offers(-1, -1, 4, KZ_GridData::kContourLine));

  const std::filesystem::path dir = std::filesystem::path(TV_TEST_TMPDIR) / "griddata";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "table.kv0").string();
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::SaveFile, "", file);
    s.Choose(-1, -1, 4, KZ_GridData::kSaveKV0);
    EXPECT_EQ(ui.Shown().at(0).filter, "Kurvo file(*.kv0;*.txt)|*.kv0;*.txt||");
  }
  // Read back by the table's own reader.
  KZ_MultiVarObj back;
  ASSERT_GT(back.LoadFile(file), 0);
  ASSERT_EQ(back.m_nColumns, 2);
  EXPECT_EQ(back.m_Columns[1].m_strTitle, "y");
  EXPECT_EQ(std::vector<double>(back.m_ppData[1], back.m_ppData[1] + 4),
            (std::vector<double>{1.5, 2.5, 3.5, 4.5}));

  // Loading it into another shown table; a corrupted file leaves the table as it was.
  KZ_MultiVarObj u;
  Fill(u, {{Ramp(3), KZ_AXIS_X}});
  s.Show(u);
  const std::string bad = (dir / "bad.kv0").string();
  std::ofstream(bad) << "KVDATA02\n\x01\x02 garbage -- 17\n";
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "", bad);
    ui.ExpectMessage("", IDOK);
    s.Choose(-1, -1, 4, KZ_GridData::kLoadKV0);
  }
  EXPECT_EQ(u.m_nColumns, 1);
  EXPECT_EQ(u.m_Columns[0].m_nCount, 3);
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "", std::nullopt);  // cancelled
    s.Choose(-1, -1, 4, KZ_GridData::kLoadKV0);
    ui.ExpectFileDialog(Prompt::OpenFile, "", file);
    s.Choose(-1, -1, 4, KZ_GridData::kLoadKV0);
  }
  EXPECT_EQ(u.m_nColumns, 2);
  EXPECT_EQ(s.Text(1, 0), "y");
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(1, 7), 4.5);

  // A table whose H variable has one value per column after the first: contour items
  // and, in colour-map mode, twenty colour schemes with ids of their own.
  KZ_MultiVarObj map;
  Fill(map,
       {{Ramp(5), KZ_AXIS_X}, {{0, 1, 2, 3, 4}, KZ_AXIS_Y, 0, 4}, {{0, 2, 4, 6, 8}, KZ_AXIS_Y}});
  map.m_pHVar->m_nCount = 2;
  map.m_HValues[0] = 10;
  map.m_HValues[1] = 20;
  map.m_pHVar->m_nPlotStyle = 1;
  s.Show(map);
  EXPECT_TRUE(s.Offers(-1, -1, 4, KZ_GridData::kContourLine));
  EXPECT_FALSE(s.Offers(-1, -1, 4, KZ_GridData::kSchemeFirst));
  s.Choose(-1, -1, 4, KZ_GridData::kColourBarLines);
  EXPECT_EQ(map.m_pHVar->m_nPlotStyle, 2);
  std::vector<UINT> ids;
  s.grid.OnPopupOpen(-1, -1, 4);
  for (const SGMenuItem& m : s.grid.GetMenuItems())
    if (m.id >= KZ_GridData::kSchemeFirst) ids.push_back(m.id);
  ASSERT_EQ(ids.size(), 20u);
  EXPECT_EQ(ids.back(), KZ_GridData::kSchemeFirst + 19);
  s.Choose(-1, -1, 4, KZ_GridData::kSchemeFirst + 7);
  EXPECT_EQ(map.m_nColourLevels, 7);
  s.Choose(-1, -1, 4, KZ_GridData::kLogAllY);
  EXPECT_EQ(map.m_Columns[1].m_nLog, 1);
  EXPECT_EQ(map.m_Columns[0].m_nLog, 0);
  EXPECT_DOUBLE_EQ(map.m_Columns[1].m_dMin, 1e-4);  // 10^(ceil(log10 4) - 5)
  EXPECT_DOUBLE_EQ(map.m_Columns[0].m_dMin, 0);
  s.Choose(-1, -1, 4, KZ_GridData::kNormAllY);
  EXPECT_EQ(map.m_Columns[1].m_nLog, 0);
  // The contour line at level 2 of the second column lands on "Sheet-2".
  s.Choose(-1, -1, 4, KZ_GridData::kContourLine);
  ASSERT_TRUE(map.m_pSubTable);
  EXPECT_EQ(map.m_pSubTable->m_nColumns, 2);
  EXPECT_EQ(s.graph.GetData(), map.m_pSubTable.get());

  // "Select all" selects every shown cell.
  s.Choose(-1, -1, 4, KZ_GridData::kSelectAll);
  s.Choose(0, 4, 1, KZ_GridData::kCopy);
  auto clip = s.system.GetClipboardText();
  ASSERT_TRUE(clip.has_value());
  EXPECT_EQ(clip->substr(0, 2), "c\t");
  std::filesystem::remove_all(dir);
}

TEST(KZ_GridData, ATableGoingAwayIsForgotten) {
  Sheet s;
  auto t = std::make_unique<KZ_MultiVarObj>();
  Fill(*t, {{Ramp(5), KZ_AXIS_X}, {Ramp(5), KZ_AXIS_Y}});
  t->m_pSubTable = std::make_unique<KZ_MultiVarObj>();
  Fill(*t->m_pSubTable, {{Ramp(3)}, {Ramp(3), KZ_AXIS_Y}});
  s.Show(*t);
  s.grid.ForgetTable(t.get());
  t.reset();
  EXPECT_EQ(s.grid.Table(0), nullptr);
  EXPECT_EQ(s.grid.Table(1), nullptr);
  EXPECT_EQ(s.graph.GetData(), nullptr);
  // Every place that reached the table now finds none, and the sheet takes a new one.
  EXPECT_TRUE(s.Menu(1, -1, 2).empty());
  s.grid.OnTopHeadingLeftClick(1, -1, 1, nullptr, nullptr, 0);
  s.grid.OnEditFinish(1, 4, nullptr, "3", 0);
  s.grid.OnPopupCommand(1, 4, 1, KZ_GridData::kDeleteRow);
  s.grid.OnSheetTabClicked(1);
  s.grid.OnSheetTabClicked(0);
  KZ_MultiVarObj u;
  Fill(u, {{Ramp(2), KZ_AXIS_X}});
  s.Show(u);
  EXPECT_EQ(s.grid.Table(0), &u);
  EXPECT_DOUBLE_EQ(s.grid.GetCellNumber(0, 5), 1);

  // A table with columns but no samples shows its heads and guards every operation.
  KZ_MultiVarObj none;
  Fill(none, {{{}, KZ_AXIS_X}, {{}, KZ_AXIS_Y}}, 10);
  s.Show(none);
  EXPECT_EQ(s.grid.GetRowCount(), 50);
  EXPECT_EQ(s.Text(-1, 4), "");
  s.grid.answerBins = 5;
  for (UINT id : {KZ_GridData::kSmooth1, KZ_GridData::kLog10, KZ_GridData::kFillUndefined,
                  KZ_GridData::kRemoveOutliers, KZ_GridData::kDensity, KZ_GridData::kPowerSpectrum,
                  KZ_GridData::kSsaLambda, KZ_GridData::kSortAscending, KZ_GridData::kAddSumY,
                  KZ_GridData::kFoldAngles, KZ_GridData::kFit, KZ_GridData::kLines})
    s.Choose(1, -1, 2, id);
  s.Choose(1, 4, 1, KZ_GridData::kDeleteRow);
  s.Choose(1, 4, 1, KZ_GridData::kNorm1);
  EXPECT_EQ(none.m_Columns[1].m_nCount, 0);
  EXPECT_EQ(none.m_nColumns, 2);
}

}  // namespace
