// Editing, the clipboard and printing of the grid as Qt widgets (offscreen platform).
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <string>
#include <vector>

#include "platform/qt/QtDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGScroll.h"
#include "wincomp/grid/SGSelectList.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace {

class EditGrid : public CSGCtrl {
 public:
  bool vetoFinish = false;
  int OnEditFinish(int, long, CSGWnd*, const char*, int) override { return !vetoFinish; }
};

// A 6 x 20 grid with "c<col>r<row>" in every cell, in a shown 400 x 300 window beside
// a line edit that is not part of the grid.
struct Shown {
  Shown() {
    host.resize(400, 340);
    SGCreateGrid(grid, &host, QRect(0, 0, 400, 300));
    other = new QLineEdit(&host);
    other->setGeometry(0, 305, 200, 30);
    grid.SetColumnCount(6);
    grid.SetRowCount(20);
    for (int c = 0; c < 6; ++c)
      for (long r = 0; r < 20; ++r)
        grid.SetCellText(c, r, ("c" + std::to_string(c) + "r" + std::to_string(r)).c_str());
    host.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    QApplication::setActiveWindow(&host);
    QApplication::processEvents();
  }
  QWidget* Editor() { return SGWidgetOf(grid.m_defEditCtrl); }
  void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  }
  std::string Text(int c, long r) {
    const char* t = grid.GetCellText(c, r);
    return t ? t : "";
  }
  bool app = plat::testing::EnsureQtApp() != nullptr;  // before any widget
  QWidget host;
  EditGrid grid;
  QLineEdit* other;
};

}  // namespace

TEST(SGQtEditing, KeysFinishAndContinue) {
  struct Case {
    const char* name;
    int col;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    bool stored;
    bool editing;
    int nextCol;
    long nextRow;
  };
  const Case cases[] = {
      {"enter", 2, Qt::Key_Return, Qt::NoModifier, true, true, 2, 3},
      {"shift+tab", 2, Qt::Key_Backtab, Qt::ShiftModifier, true, true, 1, 2},
      {"tab past the last column", 5, Qt::Key_Tab, Qt::NoModifier, true, true, 0, 2},
      {"escape", 2, Qt::Key_Escape, Qt::NoModifier, false, false, 2, 2},
  };
  for (const Case& k : cases) {
    Shown s;
    ASSERT_EQ(s.grid.StartEdit(k.col, 2, 0), 0);
    s.Settle();
    ASSERT_TRUE(s.Editor()->isVisible()) << k.name;
    EXPECT_TRUE(s.Editor()->hasFocus()) << k.name;
    QTest::keyClicks(s.Editor(), "new");  // replaces the selected text
    QTest::keyClick(s.Editor(), k.key, k.mods);
    s.Settle();
    EXPECT_EQ(s.Text(k.col, 2), k.stored ? "new" : "c" + std::to_string(k.col) + "r2") << k.name;
    EXPECT_EQ(s.grid.m_editInProgress != 0, k.editing) << k.name;
    if (k.editing) {
      EXPECT_EQ(s.grid.m_editCol, k.nextCol) << k.name;
      EXPECT_EQ(s.grid.m_editRow, k.nextRow) << k.name;
      EXPECT_TRUE(s.Editor()->hasFocus()) << k.name;
    } else {
      EXPECT_FALSE(s.Editor()->isVisible()) << k.name;
    }
  }
}

TEST(SGQtEditing, RefusedFinishKeepsEditorTextAndCell) {
  Shown s;
  s.grid.vetoFinish = true;
  s.grid.StartEdit(1, 1, 0);
  s.Settle();
  QTest::keyClicks(s.Editor(), "bad");
  QTest::keyClick(s.Editor(), Qt::Key_Return);
  s.Settle();
  EXPECT_EQ(s.grid.m_editInProgress, 1);
  EXPECT_TRUE(s.Editor()->isVisible());
  EXPECT_TRUE(s.Editor()->hasFocus());
  EXPECT_EQ(s.grid.m_defEditCtrl.GetText(), "bad");
  EXPECT_EQ(s.Text(1, 1), "c1r1");
  EXPECT_EQ(s.grid.GetCurrentRow(), 1);
}

TEST(SGQtEditing, OtherWindowCancelsOwnScrollBarDoesNot) {
  {
    Shown s;
    s.grid.StartEdit(1, 1, 0);
    s.Settle();
    QTest::keyClicks(s.Editor(), "x");
    QTest::mouseClick(s.other, Qt::LeftButton);
    s.other->setFocus();
    s.Settle();
    EXPECT_EQ(s.grid.m_editInProgress, 0);
    EXPECT_EQ(s.Text(1, 1), "c1r1");
  }
  {
    Shown s;
    s.grid.StartEdit(1, 1, 0);
    s.Settle();
    QTest::keyClicks(s.Editor(), "x");
    QWidget* bar = SGWidgetOf(*s.grid.m_CUGVScroll);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(5, bar->height() - 30));
    s.Settle();
    // Focus moving inside the grid finishes the edit without cancelling it.
    EXPECT_EQ(s.grid.m_editInProgress, 0);
    EXPECT_EQ(s.Text(1, 1), "x");
  }
}

TEST(SGQtEditing, EditorGrowsAndATwoLineEditorKeepsArrows) {
  Shown s;
  s.grid.StartEdit(2, 1, 0);
  s.Settle();
  const QRect start = s.Editor()->geometry();
  const int areaWidth = SGWidgetOf(*s.grid.m_CUGGrid)->width();
  std::vector<int> rights{start.right()};
  for (int i = 0; i < 80; ++i) {
    QTest::keyClick(s.Editor(), 'w');
    const QRect g = s.Editor()->geometry();
    if (g.right() != rights.back()) rights.push_back(g.right());
    EXPECT_LE(g.left() + g.width(), areaWidth);
  }
  s.Settle();
  ASSERT_GE(rights.size(), 2u);
  EXPECT_EQ(rights[1] + 1, 75 * 4 - 1);             // the end of the next cell, 1 pixel in
  EXPECT_GT(s.Editor()->height(), start.height());  // wrapped onto a second line
  QTest::keyClick(s.Editor(), Qt::Key_Up);
  QTest::keyClick(s.Editor(), Qt::Key_Down);
  s.Settle();
  EXPECT_EQ(s.grid.m_editInProgress, 1);
  EXPECT_EQ(s.grid.m_editRow, 1);
}

TEST(SGQtClipboard, CopyPasteThroughTheSystemClipboard) {
  Shown s;
  QClipboard* cb = QGuiApplication::clipboard();
  s.grid.SetMultiSelectMode(1);
  s.grid.SetCellText(0, 0, "a");
  s.grid.SetCellText(1, 0, "b");
  s.grid.SetCellText(0, 1, "c");
  s.grid.SetCellText(1, 1, "d");
  s.grid.SelectRange(0, 0, 1, 1);
  s.grid.CopySelection();
  EXPECT_EQ(cb->text().toStdString(), "a\tb\nc\td");

  s.grid.GotoCell(3, 4);
  s.grid.GetGridInfo()->m_multiSelect->ClearAll();
  s.grid.CopySelection();
  EXPECT_EQ(cb->text().toStdString(), "c3r4");

  s.grid.GotoCell(1, 1);
  cb->setText(QString::fromUtf8("\xc3\xa9\tb\r\nc"));
  EXPECT_EQ(s.grid.PasteFromClipboard(), 0);
  EXPECT_EQ(s.Text(1, 1), "\xc3\xa9");
  EXPECT_EQ(s.Text(2, 1), "b");
  EXPECT_EQ(s.Text(1, 2), "c");
  EXPECT_EQ(s.grid.GetGridInfo()->m_multiSelect->IsSelected(2, 2, nullptr), 1);

  cb->clear();
  EXPECT_EQ(s.grid.PasteFromClipboard(), 1);
}

TEST(SGQtPrint, SheetPrintsToAPdfThatAnotherToolRenders) {
  plat::testing::EnsureQtApp();
  const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
  ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm (poppler-utils) is needed";
  QDir tmp(TV_TEST_TMPDIR);
  const QString pdf = tmp.filePath("grid.pdf");
  for (const char* f : {"grid.pdf", "gridpage-1.png", "gridpage-2.png", "gridpage-3.png"})
    QFile::remove(tmp.filePath(f));

  Shown s;
  s.grid.SetRowCount(60);  // 46 rows of 20 to a page: two pages
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  printer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  {
    plat::CPrinterDC dc(&printer);
    const int pages = s.grid.PrintInit(&dc, nullptr, 0, 0, 5, 59);
    ASSERT_EQ(pages, 2);
    for (int p = 1; p <= pages; ++p) {
      dc.StartPage();
      s.grid.PrintPage(&dc, p);
    }
    dc.EndDoc();
  }
  QProcess p;
  p.start(pdftoppm, {"-r", "60", "-png", pdf, tmp.filePath("gridpage")});
  ASSERT_TRUE(p.waitForFinished(30000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  QImage one(tmp.filePath("gridpage-1.png")), two(tmp.filePath("gridpage-2.png"));
  ASSERT_FALSE(one.isNull());
  ASSERT_FALSE(two.isNull());
  EXPECT_FALSE(QFile::exists(tmp.filePath("gridpage-3.png")));
  // Ink inside the printable area (from 25 mm), none in the margin.
  auto inkIn = [](const QImage& img, double x0, double y0, double x1, double y1) {
    const double mm = img.width() / 210.0;
    int n = 0;
    for (int y = static_cast<int>(y0 * mm); y < static_cast<int>(y1 * mm); ++y)
      for (int x = static_cast<int>(x0 * mm); x < static_cast<int>(x1 * mm); ++x)
        n += qGray(img.pixel(x, y)) < 160;
    return n;
  };
  EXPECT_GT(inkIn(one, 25, 25, 100, 60), 20);
  EXPECT_GT(inkIn(two, 25, 25, 100, 60), 20);
  EXPECT_EQ(inkIn(one, 0, 0, 20, 297), 0);
  EXPECT_EQ(inkIn(one, 0, 0, 210, 20), 0);
}
