// The "OpenGL" page as the user first meets it: the program started on the sample's
// parameter file, the page's tab clicked, and the picture the display then shows. Needs a
// display with OpenGL (run under xvfb-run on the xcb platform); skipped elsewhere.
#include <gtest/gtest.h>

#include <QApplication>
#include <QOpenGLContext>
#include <QScreen>
#include <QTest>
#include <algorithm>

#include "app/AppTestKit.h"
#include "views/gl/GLview.h"

namespace {

bool DisplayHasOpenGL() {
  QOpenGLContext probe;
  return probe.create();
}

}  // namespace

TEST(GLPageOnStart, ClickingItsTabShowsTheSpecimenAndEvents) {
  plat::testing::EnsureQtApp();
  if (!DisplayHasOpenGL()) GTEST_SKIP() << "no OpenGL on this display";
  CMainFrame& f = apptest::Frame();
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  CWCTabViewContainer& pane = f.m_tabBottomRight;
  ASSERT_EQ(pane.GetPageTitle(2), "OpenGL");
  ASSERT_NE(pane.GetActivePageIndex(), 2);
  const RECT tab = pane.TabScreenRect(2);
  QTest::mouseClick(&pane, Qt::LeftButton, {},
                    QPoint((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2));
  auto* page = dynamic_cast<CGLview*>(pane.GetPage(2));
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(pane.GetActivePageIndex(), 2);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(page));
  QTest::qWait(300);  // the page's first frame composed into the window

  // What the display shows of the page: white, the blue specimen outline and the events'
  // coloured spheres and crosses; a page that stayed blank has only the white.
  const QPoint at = page->mapTo(&f, QPoint(0, 0));
  const QImage shown = f.screen()
                           ->grabWindow(f.winId(), at.x(), at.y(), page->width(), page->height())
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(shown.isNull());
  int blue = 0, other = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const QRgb p = shown.pixel(x, y);
      const int hi = std::max({qRed(p), qGreen(p), qBlue(p)});
      const int lo = std::min({qRed(p), qGreen(p), qBlue(p)});
      if (hi - lo <= 80) continue;
      if (qBlue(p) > 150 && qRed(p) < 80 && qGreen(p) < 80)
        ++blue;
      else
        ++other;
    }
  EXPECT_GT(blue, 200) << "the specimen outline";
  EXPECT_GT(other, 50) << "the events";
}
