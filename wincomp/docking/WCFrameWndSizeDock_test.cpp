#include "wincomp/docking/WCFrameWndSizeDock.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QToolBar>

#include "platform/qt/Resources.h"
#include "platform/qt/testing/QtTestApp.h"

namespace {

struct DockFixture : ::testing::Test {
  void SetUp() override {
    plat::testing::EnsureQtApp();
    plat::Resources::Get().SetToolBar(9124,
                                      {ID_FILE_NEW, ID_SEPARATOR, ID_FILE_OPEN, ID_APP_ABOUT});
    frame = std::make_unique<CWCFrameWndSizeDock>();
    ASSERT_TRUE(bar.CreateEx(
        frame.get(), TBSTYLE_FLAT,
        0x50000000 | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS | CBRS_FLYBY | CBRS_SIZE_DYNAMIC));
    ASSERT_TRUE(bar.LoadToolBar(9124));
    frame->EnableSizeDocking(CBRS_ALIGN_ANY);
    bar.EnableDocking(CBRS_ALIGN_ANY);
    frame->DockControlBar(&bar, AFX_IDW_DOCKBAR_TOP);
    frame->setCentralWidget(new QWidget);
    frame->resize(500, 300);
    frame->show();
    QApplication::processEvents();
  }
  std::unique_ptr<CWCFrameWndSizeDock> frame;
  plat::CToolBar bar;
};

TEST_F(DockFixture, TheToolbarDocksOnTopAndMayMoveToAnySideOrFloat) {
  EXPECT_EQ(frame->GetSizeDockStyle(),
            DWORD(CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM | CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT));
  QToolBar* tb = bar.GetToolBar();
  EXPECT_EQ(frame->toolBarArea(tb), Qt::TopToolBarArea);
  EXPECT_EQ(tb->allowedAreas(), Qt::AllToolBarAreas);
  EXPECT_TRUE(tb->isMovable());
  EXPECT_TRUE(tb->isFloatable());
  // Only the top side holds a bar: the client area starts below it and reaches the
  // other three sides.
  const QRect client = frame->centralWidget()->geometry();
  EXPECT_GE(client.top(), tb->geometry().bottom());
  EXPECT_EQ(client.left(), 0);
  EXPECT_EQ(client.right(), frame->width() - 1);

  // Docked on the left it becomes a column no higher than the client area.
  frame->addToolBar(Qt::LeftToolBarArea, tb);
  QApplication::processEvents();
  EXPECT_EQ(tb->orientation(), Qt::Vertical);
  EXPECT_LE(tb->height(), frame->centralWidget()->height() + 2);
  EXPECT_GE(frame->centralWidget()->geometry().left(), tb->geometry().right());
}

}  // namespace
