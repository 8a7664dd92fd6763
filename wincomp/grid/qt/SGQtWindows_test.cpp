// The grid as Qt widgets under the offscreen platform.
#include "wincomp/grid/qt/SGQtWindows.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/QtDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGHeadings.h"
#include "wincomp/grid/SGScroll.h"

namespace {

QApplication& App() { return *plat::testing::EnsureQtApp(); }

class KeyGrid : public CSGCtrl {
 public:
  std::vector<UINT> keys;
  void OnGridKeyDown(UINT* key, int) override { keys.push_back(*key); }
};

// A grid of 10 x 200 cells in a shown 400 x 300 window.
struct Shown {
  explicit Shown(int cols = 10, long rows = 200) {
    host.resize(400, 300);
    SGCreateGrid(grid, &host, QRect(0, 0, 400, 300));
    grid.SetColumnCount(cols);
    grid.SetRowCount(rows);
    for (long r = 0; r < 50 && r < rows; ++r)
      for (int c = 0; c < cols; ++c) grid.SetCellNumber(c, r, r * 100.0 + c);
    host.show();
    host.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    grid.RedrawAll();
    QApplication::processEvents();
  }
  QWidget* W(const CSGWnd& w) { return SGWidgetOf(w); }
  void Send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button,
            Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  void Move(QWidget* w, QPoint p, Qt::MouseButtons buttons = Qt::NoButton) {
    Send(w, QEvent::MouseMove, p, Qt::NoButton, buttons);
  }
  QApplication& app = App();
  QWidget host;
  KeyGrid grid;
};

// Dark pixels along the top edge of a cell's rectangle in the cell area's pixels.
int DarkOnTopEdge(const QImage& img, const RECT& r) {
  int n = 0;
  for (int x = r.left + 1; x < r.right - 2; ++x)
    if (qGray(img.pixel(x, r.top)) < 128) ++n;
  return n;
}

}  // namespace

TEST(SGQtGrid, FocusFrameShowsOnceAtNinetySixDpi) {
  Shown s;
  s.W(*s.grid.m_CUGGrid)->setFocus();
  QApplication::processEvents();
  s.grid.m_CUGGrid->SetFocus();
  ASSERT_EQ(s.grid.m_CUGGrid->m_hasFocus, 1);
  s.grid.GotoCell(2, 3);
  RECT cur, other;
  s.grid.GetCellRect(2, 3, &cur);
  s.grid.GetCellRect(3, 5, &other);
  const QImage& img = *SGBackingOf(*s.grid.m_CUGGrid);
  EXPECT_EQ(img.width(), s.grid.GetGridInfo()->m_gridWidth);
  const int framed = DarkOnTopEdge(img, cur);
  EXPECT_GT(framed, (cur.right - cur.left) / 3);  // a dotted line: every other pixel
  EXPECT_EQ(DarkOnTopEdge(img, other), 0);
  // Repaints of other cells, a row, everything: the frame stays, once.
  s.grid.RedrawCell(3, 5);
  EXPECT_EQ(DarkOnTopEdge(img, cur), framed);
  s.grid.RedrawRow(3);
  EXPECT_EQ(DarkOnTopEdge(img, cur), framed);
  s.grid.RedrawAll();
  EXPECT_EQ(DarkOnTopEdge(img, cur), framed);
  img.save(TV_TEST_TMPDIR "/grid_focus.png");
  s.host.grab().save(TV_TEST_TMPDIR "/grid_window.png");
  // Moving on takes the frame along.
  s.grid.GotoCell(3, 5);
  EXPECT_EQ(DarkOnTopEdge(img, cur), 0);
  EXPECT_EQ(DarkOnTopEdge(img, other), framed);
}

TEST(SGQtGrid, WheelScrollsThreeRowsPerNotch) {
  Shown s;
  s.grid.SetTopRow(20);
  QWidget* area = s.W(*s.grid.m_CUGGrid);
  auto wheel = [&](int delta) {
    QWheelEvent e(QPointF(10, 10), area->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(area, &e);
  };
  wheel(240);
  EXPECT_EQ(s.grid.GetTopRow(), 14);
  wheel(60);
  EXPECT_EQ(s.grid.GetTopRow(), 14);
}

TEST(SGQtGrid, HeadingEdgesSizeColumns) {
  Shown s;
  QWidget* top = s.W(*s.grid.m_CUGTopHdg);
  s.Move(top, QPoint(77, 10));
  EXPECT_EQ(top->cursor().shape(), Qt::SizeHorCursor);
  s.Move(top, QPoint(78, 10));
  EXPECT_EQ(top->cursor().shape(), Qt::ArrowCursor);
  // Column 1 (75..150) dragged past its left edge: width 0, and offered again.
  s.Move(top, QPoint(150, 10));
  s.Send(top, QEvent::MouseButtonPress, QPoint(150, 10), Qt::LeftButton, Qt::LeftButton);
  s.Move(top, QPoint(50, 10), Qt::LeftButton);
  s.Send(top, QEvent::MouseButtonRelease, QPoint(50, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(s.grid.GetColumnWidth(1), 0);
  s.Move(top, QPoint(76, 10));
  EXPECT_EQ(top->cursor().shape(), Qt::SizeHorCursor);
  EXPECT_EQ(s.grid.m_CUGTopHdg->m_sizingIndex, 1);
}

TEST(SGQtGrid, DoubleClickOnAnEdgeFitsTheColumn) {
  Shown s;
  s.grid.SetCellText(2, 4, "a considerably longer text than fits");
  QWidget* top = s.W(*s.grid.m_CUGTopHdg);
  s.Move(top, QPoint(225, 10));
  s.Send(top, QEvent::MouseButtonDblClick, QPoint(225, 10), Qt::LeftButton, Qt::LeftButton);
  QImage scratch(8, 8, QImage::Format_RGB32);
  plat::CImageDC dc(&scratch);
  const int expected = dc.GetTextExtent("a considerably longer text than fits").cx + 6;
  EXPECT_EQ(s.grid.GetColumnWidth(2), expected);
}

TEST(SGQtGrid, ThumbActsWhenReleased) {
  Shown s(5, 10);
  const int fit = s.grid.GetGridInfo()->m_gridHeight / 20;
  s.grid.SetRowCount(5000 + fit);
  s.grid.LayoutChildren();
  ASSERT_EQ(s.grid.GetGridInfo()->m_maxTopRow, 5000);
  auto* bar = static_cast<QScrollBar*>(s.W(*s.grid.m_CUGVScroll));
  EXPECT_EQ(bar->maximum(), 1000);
  bar->setSliderDown(true);
  bar->setSliderPosition(500);
  EXPECT_EQ(s.grid.GetTopRow(), 0);
  bar->setSliderDown(false);
  EXPECT_EQ(s.grid.GetTopRow(), 2500);
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(s.grid.GetTopRow(), 2501);
  EXPECT_EQ(bar->value(), 500);
}

TEST(SGQtGrid, HeldButtonOutsideKeepsScrolling) {
  Shown s(40, 200);
  QWidget* area = s.W(*s.grid.m_CUGGrid);
  s.Send(area, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
  s.Move(area, QPoint(area->width() + 20, 10), Qt::LeftButton);
  EXPECT_EQ(s.grid.GetCurrentColumn(), 1);
  // The timer steps on by itself (allowing a loaded machine some time).
  for (int waited = 0; waited < 3000 && s.grid.GetCurrentColumn() < 4; waited += 10)
    QTest::qWait(10);
  EXPECT_GE(s.grid.GetCurrentColumn(), 4);
  s.Send(area, QEvent::MouseButtonRelease, QPoint(area->width() + 20, 10), Qt::LeftButton,
         Qt::NoButton);
  const int stopped = s.grid.GetCurrentColumn();
  QTest::qWait(5 * CSGGrid::kDragPeriodMs);
  EXPECT_EQ(s.grid.GetCurrentColumn(), stopped);
}

TEST(SGQtGrid, KeepsTabEnterAndEscapeInsideADialog) {
  App();
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* holder = new QWidget(&dialog);
  holder->setMinimumSize(300, 200);
  layout->addWidget(holder);
  auto* ok = new QPushButton("OK", &dialog);
  ok->setDefault(true);
  layout->addWidget(ok);
  KeyGrid grid;
  SGCreateGrid(grid, holder, QRect(0, 0, 300, 200));
  grid.SetColumnCount(4);
  grid.SetRowCount(4);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QApplication::setActiveWindow(&dialog);
  QWidget* area = SGWidgetOf(*grid.m_CUGGrid);
  area->setFocus();
  QApplication::processEvents();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(grid.keys, (std::vector<UINT>{sgw::VK_TAB, sgw::VK_RETURN, sgw::VK_ESCAPE}));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(QApplication::focusWidget(), area);
}

// After any scroll the window's pixels are those of a full repaint: moved pixels plus the
// exposed cells, with locked rows and columns in place also when both axes move at once.
TEST(SGQtGrid, ScrolledPixelsEqualAFullRepaint) {
  Shown s(30, 200);
  s.grid.SetLockedRows(1);
  s.grid.SetLockedColumns(1);
  s.grid.RedrawAll();
  const QImage& img = *SGBackingOf(*s.grid.m_CUGGrid);
  struct Step {
    const char* what;
    std::function<void()> move;
  } steps[] = {
      {"one row down", [&] { s.grid.SetTopRow(s.grid.GetTopRow() + 1); }},
      {"two columns right", [&] { s.grid.SetLeftColumn(s.grid.GetLeftColumn() + 2); }},
      {"both at once", [&] { s.grid.GotoCell(s.grid.GetLeftColumn() + 6, 20); }},
      {"both back", [&] { s.grid.GotoCell(2, 3); }},
      {"page down", [&] { s.grid.MoveCurrentRow(3); }},
      {"line up", [&] { s.grid.SetTopRow(s.grid.GetTopRow() - 1); }},
  };
  for (const Step& k : steps) {
    k.move();
    const QImage scrolled = img.copy();
    s.grid.RedrawAll();
    EXPECT_TRUE(scrolled == img) << k.what;
    if (scrolled != img) scrolled.save(QString(TV_TEST_TMPDIR "/scrolled_%1.png").arg(k.what));
  }
}

// A drop list takes the mouse when it opens; a click on an entry, delivered as the window
// system delivers it (to the widget holding the mouse), chooses that entry. A press on an
// entry with the release outside it chooses nothing and leaves the list open; keys still
// choose.
TEST(SGQtGrid, AClickOnADropListEntryChoosesIt) {
  for (int mode = 0; mode < 3; ++mode) {
    Shown s(4, 20);
    s.grid.SetCellType(1, 2, 1);
    s.grid.SetCellLabel(1, 2, "alpha\nbeta\ngamma\n");
    s.grid.SetCellText(1, 2, "alpha");
    s.grid.GotoCell(1, 2);
    QApplication::processEvents();
    QWidget* area = s.W(*s.grid.m_CUGGrid);
    QWindow* window = area->window()->windowHandle();
    RECT r;
    s.grid.GetCellRect(1, 2, &r);
    const QPoint button(r.right - 4, (r.top + r.bottom) / 2);
    QTest::mouseClick(window, Qt::LeftButton, {}, area->mapTo(area->window(), button));
    QApplication::processEvents();
    QPointer<QListWidget> list = area->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(QWidget::mouseGrabber(), list);
    ASSERT_EQ(list->count(), 3);
    const QPoint beta =
        list->viewport()->mapTo(area->window(), list->visualItemRect(list->item(1)).center());
    if (mode == 0) {
      QTest::mouseClick(window, Qt::LeftButton, {}, beta);
    } else if (mode == 1) {
      QTest::mousePress(window, Qt::LeftButton, {}, beta);
      QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(2, 2));
      QApplication::processEvents();
      ASSERT_TRUE(list && list->isVisible());
      QTest::keyClick(list, Qt::Key_Escape);
    } else {
      QTest::keyClick(list, Qt::Key_Down);
      QTest::keyClick(list, Qt::Key_Return);
    }
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_STREQ(s.grid.GetCellText(1, 2), mode == 1 ? "alpha" : "beta") << mode;
    EXPECT_TRUE(!list || !list->isVisible()) << mode;  // the list closes in every case
    EXPECT_TRUE(!list || QWidget::mouseGrabber() != list) << mode;
  }
}
