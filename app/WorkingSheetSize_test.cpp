// The "Options and Utilities" window as it first opens: every sheet tab is to be seen in
// the tab strip, and every tab's columns fit across the cell area, measured with the
// fonts the grid draws with.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QScreen>

#include "app/DlgOper.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGridInfo.h"

TEST(WorkingSheetWindow, OpensWideEnoughForItsSixTabsAndItsColumns) {
  plat::testing::EnsureQtApp();
  CDlgOper dlg;
  ASSERT_TRUE(dlg.Create());
  CGridFun& g = dlg.m_Grid;
  g.BuildAllSheets();
  dlg.show();
  QApplication::processEvents();

  // The tab strip's labels measured as the strip measures them (Arial of 14 pixels, on
  // the screen's fonts); each tab is its label's width plus 10, after the strip's two
  // scroll arrows.
  QImage probe(1, 1, QImage::Format_RGB32);
  plat::CImageDC dc(&probe);
  plat::CFont font;
  font.CreateFont(14, 0, 0, 0, 500, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  dc.SelectObject(font);
  int tabs = 2 * sgw::SM_CXHSCROLL;
  for (const char* label : {"Draw Opt.", "File", "VM, reLoc", "Mec", "T-M", "AE DP"})
    tabs += dc.GetTextExtent(label).cx + 10;
  // The window may not grow past the screen (the offscreen test screen is small).
  const int screenWidth = dlg.screen()->availableGeometry().width();
  const bool atScreenEdge = dlg.frameGeometry().width() >= screenWidth - 2;
  for (int s = 0; s < CGridFun::kSheets; ++s) {
    SCOPED_TRACE(s);
    g.SetCurrentSheet(s, 1);
    const CSGGridInfo& gi = *g.GetGridInfo();
    const RECT strip = gi.m_rects[SG_RECT_TAB];
    // ... and room for the last tab's slanted edge (9 pixels) and the strip's grip (6).
    EXPECT_GE(strip.right - strip.left, tabs + 9 + 6);
    int columns = 0;
    for (int c = 0; c < g.GetColumnCount(); ++c) columns += g.GetColumnWidth(c);
    EXPECT_TRUE(columns <= gi.m_gridWidth || atScreenEdge) << columns << " " << gi.m_gridWidth;
  }
  dlg.grab().save(QString(TV_TEST_TMPDIR) + "/working-sheet-opened.png");
  dlg.hide();
}
