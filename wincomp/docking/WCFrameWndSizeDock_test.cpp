#include "wincomp/docking/WCFrameWndSizeDock.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <set>

#include "platform/RecordingDc.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"
#include "platform/qt/testing/QtTestApp.h"

namespace {

constexpr UINT kTop = 59419, kBottom = 59422, kLeft = 59420, kRight = 59421;

// A toolbar of 30 buttons in groups of five, as the main frame makes its own.
std::vector<UINT> ThirtyButtons() {
  std::vector<UINT> ids;
  for (UINT k = 0; k < 30; ++k) {
    if (k > 0 && k % 5 == 0) ids.push_back(ID_SEPARATOR);
    ids.push_back(33000 + k);
  }
  return ids;
}

struct Docked {
  Docked() {
    plat::Resources::Get().SetToolBar(9124, ThirtyButtons());
    frame = std::make_unique<CWCFrameWndSizeDock>();
    EXPECT_TRUE(bar.CreateEx(
        frame.get(), TBSTYLE_FLAT,
        0x50000000 | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC));
    EXPECT_TRUE(bar.LoadToolBar(9124));
    frame->EnableSizeDocking(CBRS_ALIGN_ANY);
    bar.EnableDocking(CBRS_ALIGN_ANY);
    frame->DockControlBar(&bar, kTop);
    frame->setCentralWidget(new QWidget);
    frame->resize(1200, 400);
    frame->show();
    QApplication::processEvents();
  }
  CWCSizableMiniDockFrameWnd* Bar() const { return frame->GetBarFrame(&bar); }
  CWCBarButtons* Buttons() const { return dynamic_cast<CWCBarButtons*>(Bar()->widget()); }
  Qt::DockWidgetArea Area() const { return frame->dockWidgetArea(Bar()); }
  std::unique_ptr<CWCFrameWndSizeDock> frame;
  plat::CToolBar bar;
};

struct DockFixture : ::testing::Test {
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
};

TEST_F(DockFixture, TheToolbarDocksOnTopInRowsAndTheOtherSidesStayEmpty) {
  Docked d;
  EXPECT_EQ(d.frame->GetSizeDockStyle(), DWORD(CBRS_ALIGN_ANY));
  // Four dock bars with the sides' ids and style bits.
  const std::pair<UINT, DWORD> sides[] = {
      {kTop, 0x2800}, {kBottom, 0x8200}, {kLeft, 0x1400}, {kRight, 0x4100}};
  for (auto [id, style] : sides) {
    ASSERT_NE(d.frame->GetDockBar(id), nullptr) << id;
    EXPECT_EQ(d.frame->GetDockBar(id)->GetBarStyle(), style);
  }
  EXPECT_EQ(d.Area(), Qt::TopDockWidgetArea);
  EXPECT_EQ(d.frame->GetDockBar(kTop)->GetFirstBar(), d.Bar());
  EXPECT_EQ(d.Bar()->allowedAreas(), Qt::AllDockWidgetAreas);
  EXPECT_FALSE(d.bar.GetToolBar()->isVisible());  // its buttons live in the dock frame
  ASSERT_EQ(d.Buttons()->Buttons().size(), 35u);
  // A frame wider than one row of 30 buttons holds them in one row; the top side is as
  // high as the bar, the others have no size.
  d.frame->resize(d.Buttons()->sizeHint().width() + 40, 400);
  QApplication::processEvents();
  EXPECT_EQ(d.Buttons()->Lines(), 1);
  const SIZE top = d.frame->GetDockBar(kTop)->CalcFixedLayout(FALSE, TRUE);
  EXPECT_EQ(top.cy, d.Bar()->height());
  for (UINT id : {kBottom, kLeft, kRight}) {
    const SIZE s = d.frame->GetDockBar(id)->CalcFixedLayout(FALSE, id == kBottom);
    EXPECT_EQ(s.cx, 0);
    EXPECT_EQ(s.cy, 0);
  }
  EXPECT_GE(d.frame->centralWidget()->geometry().top(), d.Bar()->geometry().bottom());
  // A narrow frame wraps the row into a second one instead of hiding buttons.
  d.frame->resize(d.Buttons()->sizeHint().width() / 2, 400);
  QApplication::processEvents();
  EXPECT_GE(d.Buttons()->Lines(), 2);
  for (QToolButton* b : d.Buttons()->Buttons()) {
    if (b) {
      EXPECT_LE(b->geometry().right(), d.Buttons()->width());
    }
  }
}

TEST_F(DockFixture, DockedOnASideTheButtonsWrapIntoColumns) {
  for (UINT side : {kLeft, kRight}) {
    Docked d;
    d.frame->DockControlBar(&d.bar, side);
    QApplication::processEvents();
    EXPECT_EQ(d.Area(), side == kLeft ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea);
    EXPECT_EQ(d.Buttons()->Orientation(), Qt::Vertical);
    // 30 buttons do not fit 400 pixels in one column: every button is shown, inside the
    // frame's height, in two or more columns.
    std::set<int> columns;
    const int height = d.Buttons()->height();
    for (QToolButton* b : d.Buttons()->Buttons()) {
      if (!b) continue;
      EXPECT_TRUE(b->isVisible());
      EXPECT_LE(b->geometry().bottom(), height);
      columns.insert(b->geometry().left());
    }
    EXPECT_GE(columns.size(), 2u);
    EXPECT_EQ(static_cast<int>(columns.size()), d.Buttons()->Lines());
    EXPECT_LE(d.Bar()->height(), d.frame->height());
    const QRect client = d.frame->centralWidget()->geometry();
    if (side == kLeft)
      EXPECT_GE(client.left(), d.Bar()->geometry().right());
    else
      EXPECT_LE(client.right(), d.Bar()->geometry().left());
  }
}

TEST_F(DockFixture, TheFloatingFrameHasACaptionAndDocksAgainOnADoubleClick) {
  for (UINT side : {kTop, kLeft}) {
    Docked d;
    d.frame->DockControlBar(&d.bar, side);
    QApplication::processEvents();
    const Qt::DockWidgetArea docked = d.Area();
    QWidget* caption = d.Bar()->Caption();
    auto* close = caption->findChild<QToolButton*>("close");
    ASSERT_NE(close, nullptr);
    EXPECT_FALSE(close->isVisible());  // docked: a gripper only
    // A double click on the gripper floats the bar.
    QTest::mouseDClick(caption, Qt::LeftButton, {}, QPoint(3, 3));
    QApplication::processEvents();
    ASSERT_TRUE(d.Bar()->isFloating());
    EXPECT_TRUE(d.Bar()->isWindow());
    EXPECT_EQ(d.Bar()->windowTitle(), "Toolbar");
    EXPECT_TRUE(close->isVisible());
    EXPECT_GT(caption->height(), 8);
    EXPECT_GT(caption->width(), caption->height());
    EXPECT_EQ(d.Buttons()->Orientation(), Qt::Horizontal);
    // Floating, the frame can be narrowed: its rows wrap.
    d.Bar()->resize(200, d.Bar()->height());
    QApplication::processEvents();
    EXPECT_GE(d.Buttons()->Lines(), 2);
    // A double click on the caption docks it again where it was.
    QTest::mouseDClick(caption, Qt::LeftButton, {}, QPoint(caption->width() / 3, 4));
    QApplication::processEvents();
    EXPECT_FALSE(d.Bar()->isFloating());
    EXPECT_EQ(d.Area(), docked);
    EXPECT_FALSE(close->isVisible());
  }
}

// A bar floated from a side column takes the shape of a block of rows that lies on the
// screen, every button inside it.
TEST_F(DockFixture, AFloatedColumnBecomesABlockOfRowsOnTheScreen) {
  Docked d;
  d.frame->resize(700, 560);
  d.frame->DockControlBar(&d.bar, kLeft);
  QApplication::processEvents();
  ASSERT_EQ(d.Buttons()->Orientation(), Qt::Vertical);
  QWidget* caption = d.Bar()->Caption();
  QTest::mouseDClick(caption, Qt::LeftButton, {}, QPoint(3, 3));
  QApplication::processEvents();
  QApplication::processEvents();
  ASSERT_TRUE(d.Bar()->isFloating());
  const QRect screen = d.Bar()->screen()->availableGeometry();
  const QRect g = d.Bar()->geometry();
  EXPECT_TRUE(screen.contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
  EXPECT_GT(g.width(), g.height());
  EXPECT_EQ(d.Buttons()->Lines(), 3);  // 30 buttons, a dozen a row
  const QRect inside = d.Buttons()->rect();
  for (QToolButton* b : d.Buttons()->Buttons())
    if (b) EXPECT_TRUE(inside.contains(b->geometry()));
  EXPECT_GE(d.Buttons()->height(), d.Buttons()->Lines() * d.Buttons()->minimumSizeHint().height());
}

TEST_F(DockFixture, TheCloseButtonHidesTheBarAndViewToolbarShowsItAgain) {
  Docked d;
  d.Bar()->setFloating(true);
  QApplication::processEvents();
  auto* close = d.Bar()->Caption()->findChild<QToolButton*>("close");
  QTest::mouseClick(close, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(d.Bar()->isHidden());
  plat::CCmdUI ui(ID_VIEW_TOOLBAR);
  d.frame->UpdateCommandUI(ID_VIEW_TOOLBAR, &ui);
  EXPECT_TRUE(ui.m_bEnabled);
  EXPECT_EQ(ui.m_nCheck, 0);
  EXPECT_TRUE(d.frame->SendCommand(ID_VIEW_TOOLBAR));
  EXPECT_FALSE(d.Bar()->isHidden());
  EXPECT_TRUE(d.Bar()->isFloating());
}

TEST_F(DockFixture, TheBarsPlaceIsKeptBetweenRuns) {
  const std::string ini = std::string(TV_TEST_TMPDIR) + "/dock-settings.ini";
  std::remove(ini.c_str());
  plat::CWinApp app("Tremvia");
  app.SetProfileFile(ini);
  {
    Docked d;
    d.frame->LoadBarState("Bars");  // nothing stored yet: stays on top
    EXPECT_EQ(d.Area(), Qt::TopDockWidgetArea);
    d.frame->DockControlBar(&d.bar, kRight);
    QApplication::processEvents();
    d.frame->close();
  }
  Docked d;
  d.frame->LoadBarState("Bars");
  QApplication::processEvents();
  EXPECT_EQ(d.Area(), Qt::RightDockWidgetArea);
  EXPECT_EQ(d.Buttons()->Orientation(), Qt::Vertical);
}

TEST_F(DockFixture, WrapStartsNoLineWithASeparator) {
  int lines = 0;
  // Buttons of 10, separators of 4, lines of 25: [b b sep] [b b] ...
  const std::vector<int> ext = {10, 10, 4, 10, 10, 4, 10};
  const std::vector<bool> sep = {false, false, true, false, false, true, false};
  const auto p = CWCBarButtons::Wrap(ext, sep, 25, &lines);
  EXPECT_EQ(lines, 3);
  EXPECT_EQ(p[2].offset, 20);  // fits after two buttons
  EXPECT_EQ(p[3].line, 1);
  EXPECT_EQ(p[3].offset, 0);
  EXPECT_EQ(p[5].offset, 20);
  EXPECT_EQ(p[6].line, 2);
  // A separator that would open a line is left out.
  const auto q = CWCBarButtons::Wrap({10, 10, 4, 10}, {false, false, true, false}, 20, &lines);
  EXPECT_EQ(q[2].offset, -1);
  EXPECT_EQ(q[3].line, 1);
  EXPECT_EQ(lines, 2);
}

TEST_F(DockFixture, SplitterLinesAndTrackerLimits) {
  plat::RecordingDc dc;
  CWCSplitterRect(RECT{10, 0, 18, 100}, CWCSplitterRect::kVertical, 1).Draw(&dc);
  std::vector<LONG> xs;
  for (const plat::DcOp* op : dc.OpsOf(plat::DcOpKind::FillSolidRect)) xs.push_back(op->rect.left);
  EXPECT_EQ(xs, (std::vector<LONG>{11, 12, 17, 16}));

  EXPECT_EQ(CWCRectTracker::HandleFromHitTest(10), CWCRectTracker::hitLeft);
  EXPECT_EQ(CWCRectTracker::HandleFromHitTest(17), CWCRectTracker::hitBottomRight);
  EXPECT_EQ(CWCRectTracker::HandleFromHitTest(2), CWCRectTracker::hitMiddle);
  CWCRectTracker t;
  t.m_rect = {50, 10, 56, 90};
  t.m_rectLimit = {0, 0, 100, 100};
  t.m_nStyle = CWCRectTracker::kHorzOnly;
  ASSERT_EQ(t.TrackFromHitTest(1), CWCRectTracker::hitMiddle);
  RECT moved{120, 30, 126, 110};  // dragged right and down past the limit
  t.AdjustRect(CWCRectTracker::hitMiddle, &moved);
  EXPECT_EQ(moved.left, 94);
  EXPECT_EQ(moved.right, 100);
  EXPECT_EQ(moved.top, 10);  // a vertical splitter moves only sideways
  EXPECT_EQ(moved.bottom, 90);
}

}  // namespace
