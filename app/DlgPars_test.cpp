// The "Parameters" dialog and its sheet: the layout made from the records, edits going
// into the records, the buttons, and Enter and Escape closing the modal dialog.
#include "app/DlgPars.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeShell.h"
#include "platform/testing/ScriptedUi.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace {

// The dialogs are widgets: the application comes first.
class QtApp : public ::testing::Environment {
 public:
  void SetUp() override { plat::testing::EnsureQtApp(); }
};
const auto* const kQtApp = ::testing::AddGlobalTestEnvironment(new QtApp);

// Runs `act` on the dialog once it is shown modally; the dialog's answer is returned.
int RunModal(CDlgPars& dlg, std::function<void(CDlgPars&)> act) {
  plat::testing::EnsureQtApp();
  QTimer::singleShot(0, [&dlg, act] {
    ASSERT_EQ(QApplication::activeModalWidget(), &dlg);
    // Keys and focus changes need the dialog to be the active window.
    dlg.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
    act(dlg);
    if (dlg.isVisible()) dlg.reject();  // a test that fails to close it ends here
  });
  return dlg.DoModal();
}

std::string Text(KZ_GridPars& g, int col, long row) {
  const char* t = g.GetCellText(col, row);
  return t ? t : "";
}

std::vector<std::string> RowTexts(KZ_GridPars& g, long row) {
  std::vector<std::string> t;
  for (int c = 0; c < 5; ++c) t.push_back(Text(g, c, row));
  return t;
}

QWidget* Cells(KZ_GridPars& g) { return SGWidgetOf(*g.m_CUGGrid); }

// Clicks a cell of the shown sheet.
void ClickCell(KZ_GridPars& g, int col, long row) {
  RECT r{};
  g.GetCellRect(col, row, &r);
  QTest::mouseClick(Cells(g), Qt::LeftButton, Qt::NoModifier,
                    QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
}

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

QWidget* Editor(KZ_GridPars& g) { return SGWidgetOf(g.m_defEditCtrl); }

// Opens the current cell's editor with a double click and types the text over it.
void TypeIntoCell(KZ_GridPars& g, int col, long row, const QString& text) {
  RECT r{};
  g.GetCellRect(col, row, &r);
  QTest::mouseDClick(Cells(g), Qt::LeftButton, Qt::NoModifier,
                     QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  Settle();
  ASSERT_TRUE(g.m_editInProgress);
  QTest::keyClicks(Editor(g), text);
}

TEST(DlgPars, TheTimeCorrectionLayoutHasFourRows) {
  CDlgPars dlg;
  dlg.m_strCaption = "Time correction";
  dlg.m_Grid.SetNumberRow(0, -20464.5f, "T_C", "%f", "");
  dlg.m_Grid.m_bOutputFolderRow = 0;
  using V = std::vector<std::string>;
  RunModal(dlg, [](CDlgPars& d) {
    KZ_GridPars& g = d.m_Grid;
    EXPECT_EQ(d.windowTitle(), "Time correction");
    ASSERT_EQ(g.GetRowCount(), 4);
    EXPECT_EQ(RowTexts(g, 0), (V{"Title", "Value", "-", "-", "Notes"}));
    EXPECT_EQ(RowTexts(g, 1), (V{"T_C", "-20464.500000", "-", "-", ""}));
    EXPECT_EQ(RowTexts(g, 2), (V{"", "", "", "", ""}));
    EXPECT_EQ(RowTexts(g, 3), (V{"Reset..", "Help..", "Stop..", " ", " "}));
    EXPECT_TRUE(g.IsCellEditable(1, 1));
    EXPECT_FALSE(g.IsCellEditable(2, 1));
    // The dialog as the user sees it, kept beside the test's other files.
    d.grab().save(QString(TV_TEST_TMPDIR) + "/parameters-time-correction.png");
  });
}

TEST(DlgPars, RowsFollowTheirRecordConventions) {
  struct Case {
    const char* title;
    const char* format;
    const char* note;
    float value;
    const char* shown;
    bool editable;
  } cases[] = {
      {"n", "%d", "", 20.0f, "20", true},
      {"n", "%d", "", -2.9f, "-2", true},          // truncated toward zero
      {"n", "%d", "", 3e20f, "2147483647", true},  // beyond an int: its limit
      {"x", "%.2f", "X fixed", 1.5f, "1.50", false},
      {"*Use it", "%g", "*red", 4.0f, "4", true},
  };
  CDlgPars dlg;
  dlg.m_Grid.m_bOutputFolderRow = 0;
  for (int i = 0; i < 5; ++i)
    dlg.m_Grid.SetNumberRow(i, cases[i].value, cases[i].title, cases[i].format, cases[i].note);
  dlg.m_Grid.m_Numbers[4].minimum = 0;  // a range row
  dlg.m_Grid.m_Numbers[4].maximum = 9;
  RunModal(dlg, [&](CDlgPars& d) {
    KZ_GridPars& g = d.m_Grid;
    for (int i = 0; i < 5; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(Text(g, 1, i + 1), cases[i].shown);
      EXPECT_EQ(g.IsCellEditable(1, i + 1), cases[i].editable);
    }
    // Fixed numbers in the fixed colours; the red note; the title as an unticked box.
    CSGCell cell;
    g.GetCell(1, 4, &cell);
    EXPECT_EQ(cell.GetBackColor(), KZ_GridFit::kFixedBack);
    g.GetCell(1, 5, &cell);
    EXPECT_EQ(cell.GetTextColor(), KZ_GridPars::kRed);
    g.GetCell(0, 5, &cell);
    EXPECT_EQ(cell.GetCellType(), 2);
    EXPECT_EQ(std::string(cell.GetLabel()), "Use it");
    EXPECT_EQ(Text(g, 0, 5), "0");
    // The range row: value, minimum and maximum, each editable.
    EXPECT_EQ(RowTexts(g, 5)[2], "0");
    EXPECT_EQ(RowTexts(g, 5)[3], "9");
    EXPECT_TRUE(g.IsCellEditable(3, 5));
    g.OnEditFinish(2, 5, nullptr, "mi=-1", 0);
    g.OnEditFinish(3, 5, nullptr, "12, 30", 0);
    EXPECT_EQ(g.m_Numbers[4].minimum, -1.0f);
    EXPECT_EQ(g.m_Numbers[4].maximum, 12.0f);
    // The "X" row: typing and pasting leave its number alone.
    EXPECT_EQ(g.OnEditStart(1, 4, nullptr), 0);
    g.OnValueChanged(1, 4, "7");
    g.SetCellText(1, 4, "8");
    g.OnPopupCommand(1, 4, 1, KZ_GridFit::kMenuPaste);
    EXPECT_EQ(g.m_Numbers[3].value, 1.5f);
  });
}

TEST(DlgPars, TypedNumbersReachTheRecordAndEnterIsOkOnlyOutsideAnEdit) {
  struct Case {
    const char* typed;
    float stored;
  } cases[] = {{"12.5, 20", 12.5f}, {"abc", 0.0f}, {"v=3,4", 3.0f}, {"nan", 0.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    CDlgPars dlg;
    dlg.m_Grid.SetNumberRow(0, 1.0f, "a", "%f", "");
    dlg.m_Grid.m_bOutputFolderRow = 0;
    const int answer = RunModal(dlg, [&](CDlgPars& d) {
      ClickCell(d.m_Grid, 1, 1);
      TypeIntoCell(d.m_Grid, 1, 1, c.typed);
      // Enter ends the edit, not the dialog.
      QTest::keyClick(Editor(d.m_Grid), Qt::Key_Return);
      Settle();
      EXPECT_FALSE(d.m_Grid.m_editInProgress);
      EXPECT_TRUE(d.isVisible());
      // Enter again, now on the sheet: OK.
      QTest::keyClick(Cells(d.m_Grid), Qt::Key_Return);
    });
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(dlg.m_Grid.m_Numbers[0].value, c.stored);
  }
}

TEST(DlgPars, EscapeCancelsTheEditFirstAndThenTheDialog) {
  CDlgPars dlg;
  dlg.m_Grid.SetNumberRow(0, 5.0f, "a", "%f", "");
  const int answer = RunModal(dlg, [](CDlgPars& d) {
    ClickCell(d.m_Grid, 1, 1);
    TypeIntoCell(d.m_Grid, 1, 1, "9");
    QTest::keyClick(Editor(d.m_Grid), Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.m_Grid.m_Numbers[0].value, 5.0f);
    QTest::keyClick(Cells(d.m_Grid), Qt::Key_Escape);
  });
  EXPECT_EQ(answer, IDCANCEL);
}

TEST(DlgPars, TextRowsFolderRowAndButtons) {
  CDlgPars dlg;
  KZ_GridPars& g = dlg.m_Grid;
  g.m_nTexts = 1;
  g.m_Texts[0] = {"Range", "0,10,+=1", "values"};
  g.SetNumberRow(0, 2.0f, "n", "%d", "");
  RunModal(dlg, [](CDlgPars& d) {
    KZ_GridPars& g = d.m_Grid;
    // Heading of the text rows, one text row, heading of the number rows, one number
    // row, the folder row and the buttons.
    ASSERT_EQ(g.GetRowCount(), 6);
    EXPECT_EQ(Text(g, 1, 0), "mi, mx, +(*)=d");
    EXPECT_EQ(Text(g, 1, 1), "0,10,+=1");
    EXPECT_EQ(Text(g, 0, 2), "Title");
    EXPECT_EQ(Text(g, 1, 3), "2");
    EXPECT_EQ(Text(g, 0, 4), "Path..");
    g.OnEditFinish(1, 1, nullptr, "1, 5, *=2", 0);
    EXPECT_EQ(g.m_Texts[0].text, "1, 5, *=2");
    g.OnEditFinish(1, 3, nullptr, "7", 0);
    EXPECT_EQ(g.m_Numbers[0].value, 7.0f);
    g.OnEditFinish(1, 3, nullptr, "8", 1);  // cancelled
    EXPECT_EQ(g.m_Numbers[0].value, 7.0f);

    const int button = g.m_nButtonIndex;
    {
      plat::testing::ScriptedUi ui;
      ui.ExpectFolder("Folder for saving error functions", "/data/out");
      g.OnCellTypeNotify(button, 0, 4, SGN_BUTTON_UP, 0);
      EXPECT_EQ(g.m_strOutputFolder, "/data/out/");
      EXPECT_EQ(Text(g, 1, 4), "/data/out/");
      ui.ExpectFolder("Folder for saving error functions", std::nullopt);
      g.OnCellTypeNotify(button, 0, 4, SGN_BUTTON_UP, 0);
      EXPECT_EQ(g.m_strOutputFolder, "");
      // Only the release acts.
      g.OnCellTypeNotify(button, 0, 4, SGN_BUTTON_CLICK, 0);
      EXPECT_EQ(ui.PendingExpectations(), 0u);
    }
    {
      plat::testing::ScriptedUi ui;
      plat::testing::FakeShell shell;
      const float before = g.m_Numbers[0].value;
      g.OnCellTypeNotify(button, 0, 5, SGN_BUTTON_UP, 0);  // Reset..
      g.OnCellTypeNotify(button, 1, 5, SGN_BUTTON_UP, 0);  // Help..
      g.OnCellTypeNotify(button, 2, 5, SGN_BUTTON_UP, 0);  // Stop..
      EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Oh! I forgot your initial mind!"});
      EXPECT_EQ(g.m_Numbers[0].value, before);
      ASSERT_EQ(shell.calls.size(), 1u);
      EXPECT_EQ(shell.calls[0].verb, "open");
      EXPECT_EQ(shell.calls[0].file, g.m_strHelpAddress);
      EXPECT_EQ(shell.calls[0].showCmd, plat::SW_SHOW);
    }
  });
}

TEST(DlgPars, AnEmptySheetHasTheFolderAndButtonRowsAndIndicesStayWithinTheRecords) {
  for (int folder : {0, 1}) {
    CDlgPars dlg;
    dlg.m_Grid.m_bOutputFolderRow = folder;
    RunModal(dlg, [folder](CDlgPars& d) {
      ASSERT_EQ(d.m_Grid.GetRowCount(), 2);
      EXPECT_EQ(Text(d.m_Grid, 0, 0), folder ? "Path.." : "");
      EXPECT_EQ(Text(d.m_Grid, 0, 1), "Reset..");
    });
  }
  KZ_GridPars g;
  EXPECT_TRUE(g.SetNumberRow(31, 1.0f, "last", "%f", ""));
  EXPECT_EQ(g.m_nNumbers, 32);
  for (int bad : {32, 1000, -1}) EXPECT_FALSE(g.SetNumberRow(bad, 1.0f, "x", "%f", "")) << bad;
  EXPECT_EQ(g.m_nNumbers, 32);
}

}  // namespace
