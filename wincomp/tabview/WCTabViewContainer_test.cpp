#include "wincomp/tabview/WCTabViewContainer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTest>
#include <memory>

#include "platform/qt/Document.h"
#include "platform/qt/testing/QtTestApp.h"

namespace {

void App() { plat::testing::EnsureQtApp(); }

// A page that is no view, and two views; the run-time classes name them.
struct PlainPage : QLabel, plat::CObject {};
struct FailingPage : QLabel, plat::CObject {
  FailingPage() { throw 1; }
};
struct PlainView : plat::CView {
  int initialUpdates = 0;
  void OnInitialUpdate() override { ++initialUpdates; }
};
// A page 3000 x 150 pixels in text mapping.
struct WideView : plat::CScrollView {
  WideView() { SetScrollSizes(MM_TEXT, SIZE{3000, 150}); }
};

struct Fixture : ::testing::Test {
  void SetUp() override {
    App();
    parent = std::make_unique<QWidget>();
    parent->resize(600, 300);
    c = new CWCTabViewContainer;
    ASSERT_TRUE(c->Create(parent.get(), RECT{0, 0, 600, 300}, 0x50008243, 59648));
    parent->show();
    cx = c->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, c);
  }
  QWidget* Page(const char* text) {
    auto* w = new QLabel;
    w->setWindowTitle(text);
    return w;
  }
  std::unique_ptr<QWidget> parent;
  CWCTabViewContainer* c = nullptr;
  int cx = 0;
};

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(Fixture, LayoutFollowsTheClientAreaAndClampsTheTabArea) {
  // 600 x 300: the tab area keeps its 200 pixels.
  EXPECT_TRUE(Same(c->m_rcScrollButtons[2], RECT{2 * cx, 300 - cx, 3 * cx, 300}));
  EXPECT_TRUE(Same(c->m_rcPageArea, RECT{0, 0, 600 - cx, 300 - cx}));
  EXPECT_TRUE(Same(c->m_rcTabArea, RECT{4 * cx, 300 - cx, 4 * cx + 200, 300}));
  EXPECT_TRUE(Same(c->m_rcSplitter, RECT{4 * cx + 200, 300 - cx, 4 * cx + 206, 300}));
  EXPECT_TRUE(Same(c->m_rcScrollHorz, RECT{4 * cx + 206, 300 - cx, 600 - cx, 300}));
  EXPECT_TRUE(Same(c->m_rcScrollVert, RECT{600 - cx, 0, 600, 300 - cx}));
  EXPECT_TRUE(Same(c->m_rcSizeBox, RECT{600 - cx, 300 - cx, 600, 300}));
  // Narrow: at most (R - cx) - 60 - (L + 4 cx), never below 0.
  c->resize(4 * cx + cx + 60 + 50, 100);
  EXPECT_EQ(c->m_rcTabArea.right - c->m_rcTabArea.left, 50);
  c->resize(4 * cx, 100);
  EXPECT_EQ(c->m_rcTabArea.right - c->m_rcTabArea.left, 0);
  c->RecalcLayout();
  c->resize(0, 0);
  c->RecalcLayout();
  EXPECT_TRUE(Same(c->m_rcPageArea, RECT{}));
  EXPECT_TRUE(Same(c->m_rcTabArea, RECT{}));
}

TEST_F(Fixture, PagesBecomeActiveAsTheyAreAddedAndIdsAreReused) {
  ASSERT_TRUE(c->AddPage(RUNTIME_CLASS(PlainPage), nullptr, "Trace"));
  ASSERT_TRUE(c->AddPage(RUNTIME_CLASS(PlainPage), nullptr, nullptr));  // untitled: its index
  ASSERT_TRUE(c->InsertPage(2, Page("own text"), nullptr));
  EXPECT_EQ(c->GetPageCount(), 3);
  EXPECT_EQ(c->GetActivePageIndex(), 2);
  EXPECT_EQ(c->GetPageTitle(0), "Trace");
  EXPECT_EQ(c->GetPageTitle(1), "1");
  EXPECT_EQ(c->GetPageTitle(2), "own text");
  EXPECT_EQ(c->GetPageTitle(3), "");
  EXPECT_EQ(c->GetPage(-1), nullptr);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(c->GetPage(i)->property("ctrlId").toInt(), i + 1);
  EXPECT_TRUE(c->GetPage(2)->isVisible());
  EXPECT_FALSE(c->GetPage(0)->isVisible());
  EXPECT_EQ(c->GetPage(2)->geometry(), QRect(0, 0, c->m_rcPageArea.right, c->m_rcPageArea.bottom));

  ASSERT_TRUE(c->SetActivePageIndex(0));
  EXPECT_TRUE(c->GetPage(0)->isVisible());
  EXPECT_FALSE(c->GetPage(2)->isVisible());

  // Deleting the active last page activates the first.
  ASSERT_TRUE(c->SetActivePageIndex(2));
  ASSERT_TRUE(c->DeletePage(2, TRUE));
  EXPECT_EQ(c->GetActivePageIndex(), 0);
  EXPECT_TRUE(c->GetPage(0)->isVisible());
  // Deleting a page before the active one keeps the same page active; its id (1) is
  // the next one handed out, then the fresh ones go on.
  ASSERT_TRUE(c->SetActivePageIndex(1));
  QWidget* active = c->GetActivePage();
  ASSERT_TRUE(c->DeletePage(0, TRUE));
  EXPECT_EQ(c->GetActivePage(), active);
  EXPECT_EQ(c->GetActivePageIndex(), 0);
  EXPECT_EQ(c->GetUniqueId(), 1);
  EXPECT_EQ(c->GetUniqueId(), 3);
  // The only page: none is active afterwards.
  EXPECT_FALSE(c->DeletePage(static_cast<QWidget*>(nullptr), TRUE));
  EXPECT_FALSE(c->DeletePage(c->GetPageCount(), TRUE));
  ASSERT_TRUE(c->DeletePage(active, TRUE));
  EXPECT_EQ(c->GetActivePageIndex(), -1);
  EXPECT_EQ(c->GetPageCount(), 0);

  // Refusals leave the pages as they were.
  EXPECT_FALSE(c->InsertPage(1, Page("x"), "x"));
  EXPECT_FALSE(c->InsertPage(0, static_cast<QWidget*>(nullptr), "x"));
  EXPECT_FALSE(c->AddPage(nullptr, nullptr, "x"));
  EXPECT_FALSE(c->AddPage(RUNTIME_CLASS(plat::CObject), nullptr, "x"));  // no window
  EXPECT_FALSE(c->AddPage(RUNTIME_CLASS(FailingPage), nullptr, "x"));
  EXPECT_EQ(c->GetPageCount(), 0);
  // Out of range: no page is active.
  ASSERT_TRUE(c->InsertPage(0, Page("a"), "a"));
  EXPECT_FALSE(c->SetActivePageIndex(5));
  EXPECT_EQ(c->GetActivePageIndex(), -1);
  EXPECT_FALSE(c->GetPage(0)->isVisible());
}

TEST_F(Fixture, APageInsertedBeforeTheActiveOneIsShownAndTheOldOneHidden) {
  QWidget* a = Page("A");
  QWidget* b = Page("B");
  ASSERT_TRUE(c->InsertPage(0, a, "A"));
  ASSERT_TRUE(c->InsertPage(0, b, "B"));
  EXPECT_EQ(c->GetActivePage(), b);
  EXPECT_TRUE(b->isVisible());
  EXPECT_FALSE(a->isVisible());
  int i = -1;
  ASSERT_TRUE(c->FindPage(a, i));
  EXPECT_EQ(i, 1);
}

TEST_F(Fixture, TabsOverlapAndScrollWithinTheArea) {
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(c->InsertPage(i, Page("page"), "A long tab title"));
  const auto& t = c->m_TabRects;
  ASSERT_EQ(t.size(), 12u);
  EXPECT_EQ(t[0].left, 0);
  EXPECT_EQ(t[1].left, t[0].right - 5);
  EXPECT_GT(t[0].right, 16);
  const int areaRight = c->m_rcTabArea.right;
  const int lastRight = c->m_rcTabArea.left + t.back().right;
  // Adding the last page activated it: it ends at the area's right edge.
  EXPECT_EQ(c->m_nTabOffset, areaRight - lastRight);

  c->ScrollTabs(CWCTabViewContainer::HT_FIRST);
  EXPECT_EQ(c->m_nTabOffset, 0);
  c->ScrollTabs(CWCTabViewContainer::HT_PREV);
  EXPECT_EQ(c->m_nTabOffset, 0);
  c->ScrollTabs(CWCTabViewContainer::HT_NEXT);
  EXPECT_EQ(c->m_nTabOffset, -15);
  c->ScrollTabs(CWCTabViewContainer::HT_PREV);
  EXPECT_EQ(c->m_nTabOffset, 0);
  for (int k = 0; k < 1000; ++k) c->ScrollTabs(CWCTabViewContainer::HT_NEXT);
  EXPECT_EQ(c->m_nTabOffset, areaRight - lastRight);
  c->ScrollTabs(CWCTabViewContainer::HT_FIRST);
  c->ScrollTabs(CWCTabViewContainer::HT_LAST);
  EXPECT_EQ(c->m_nTabOffset, areaRight - lastRight);

  // A tab beyond the right edge, not the last, ends 20 pixels left of the edge.
  c->ScrollTabs(CWCTabViewContainer::HT_FIRST);
  ASSERT_TRUE(c->SetActivePageIndex(5));
  EXPECT_EQ(c->TabScreenRect(5).right, areaRight - 20);
  // A tab left of the area: its left edge 20 pixels inside; the first tab exactly at it.
  ASSERT_TRUE(c->SetActivePageIndex(11));
  ASSERT_TRUE(c->SetActivePageIndex(3));
  EXPECT_EQ(c->TabScreenRect(3).left, c->m_rcTabArea.left + 20);
  ASSERT_TRUE(c->SetActivePageIndex(0));
  EXPECT_EQ(c->m_nTabOffset, 0);
}

TEST_F(Fixture, HitTestNamesThePartsOfTheContainer) {
  ASSERT_TRUE(c->InsertPage(0, Page("p"), "One"));
  const RECT tab = c->TabScreenRect(0);
  const int y = c->m_rcTabArea.top + 2;
  struct Case {
    POINT pt;
    int hit;
  } cases[] = {
      {{c->m_rcSplitter.left + 1, y}, CWCTabViewContainer::HT_SPLITTER},
      {{c->m_rcScrollHorz.left + 5, y}, CWCTabViewContainer::HT_HSCROLL},
      {{c->m_rcScrollVert.left + 1, 5}, CWCTabViewContainer::HT_VSCROLL},
      {{1, y}, CWCTabViewContainer::HT_FIRST},
      {{cx + 1, y}, CWCTabViewContainer::HT_PREV},
      {{2 * cx + 1, y}, CWCTabViewContainer::HT_NEXT},
      {{3 * cx + 1, y}, CWCTabViewContainer::HT_LAST},
      {{tab.left + 1, y}, 0},
      {{tab.right + 3, y}, CWCTabViewContainer::HT_TABAREA},
      {{c->m_rcSizeBox.left + 1, c->m_rcSizeBox.top + 1}, CWCTabViewContainer::HT_SIZEBOX},
      {{10, 10}, CWCTabViewContainer::HT_NOWHERE},
  };
  for (const Case& k : cases) EXPECT_EQ(c->HitTest(k.pt), k.hit) << k.pt.x << "," << k.pt.y;
}

TEST_F(Fixture, MouseSwitchesTabsAndDragsTheSplitter) {
  ASSERT_TRUE(c->InsertPage(0, Page("p"), "One"));
  ASSERT_TRUE(c->InsertPage(1, Page("q"), "Two"));
  const int y = c->m_rcTabArea.top + 3;
  QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(c->TabScreenRect(0).left + 8, y));
  EXPECT_EQ(c->GetActivePageIndex(), 0);
  // A click into the empty tab area changes nothing.
  QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(c->m_rcTabArea.right - 2, y));
  EXPECT_EQ(c->GetActivePageIndex(), 0);

  const int split = c->m_rcSplitter.left + 3;
  QTest::mousePress(c, Qt::LeftButton, {}, QPoint(split, y));
  QTest::mouseMove(c, QPoint(2000, y));
  QTest::mouseRelease(c, Qt::LeftButton, {}, QPoint(2000, y));
  // Widened until 54 pixels of horizontal scroll bar remain.
  EXPECT_EQ(c->m_rcScrollHorz.right - c->m_rcScrollHorz.left, 54);
  EXPECT_EQ(c->HorzScrollBar().geometry().width(), 54);
  const int split2 = c->m_rcSplitter.left + 3;
  QTest::mousePress(c, Qt::LeftButton, {}, QPoint(split2, y));
  QTest::mouseMove(c, QPoint(0, y));
  QTest::mouseRelease(c, Qt::LeftButton, {}, QPoint(0, y));
  EXPECT_EQ(c->m_nTabAreaWidth, 0);
  EXPECT_EQ(c->m_rcTabArea.right, c->m_rcTabArea.left);
}

// A click on the tab of the page already shown gives that page the focus back (the focus
// is what makes a view the frame's active view).
TEST_F(Fixture, AClickOnTheShownPagesTabFocusesThePage) {
  auto* other = new QLineEdit(parent.get());
  other->setGeometry(0, 0, 10, 10);
  other->show();
  auto* one = new QLineEdit;
  auto* two = new QLineEdit;
  ASSERT_TRUE(c->InsertPage(0, one, "One"));
  ASSERT_TRUE(c->InsertPage(1, two, "Two"));
  const int y = c->m_rcTabArea.top + 3;
  QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(c->TabScreenRect(0).left + 8, y));
  ASSERT_EQ(c->GetActivePageIndex(), 0);
  EXPECT_EQ(parent->focusWidget(), one);
  other->setFocus();
  ASSERT_EQ(parent->focusWidget(), other);
  QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(c->TabScreenRect(0).left + 8, y));
  EXPECT_EQ(c->GetActivePageIndex(), 0);
  EXPECT_EQ(parent->focusWidget(), one);
}

TEST_F(Fixture, PagesMadeWithoutAContextJoinTheActiveViewsDocument) {
  plat::CDocument doc;
  plat::CCreateContext ctx;
  ctx.m_pCurrentDoc = &doc;
  ASSERT_TRUE(c->AddPage(RUNTIME_CLASS(PlainView), &ctx, "first"));
  auto* first = static_cast<PlainView*>(c->GetPage(0));
  EXPECT_EQ(first->GetDocument(), &doc);
  EXPECT_EQ(first->initialUpdates, 0);  // the frame sends it with the others
  ASSERT_TRUE(c->AddPage(RUNTIME_CLASS(PlainView), nullptr, "second"));
  auto* second = static_cast<PlainView*>(c->GetPage(1));
  EXPECT_EQ(second->GetDocument(), &doc);
  EXPECT_EQ(second->initialUpdates, 1);
  EXPECT_EQ(doc.GetViews().size(), 2u);
  c->DeletePage(1, TRUE);
  c->DeletePage(0, TRUE);
}

TEST_F(Fixture, TheContainerCarriesTheScrollBarsOfItsActivePage) {
  ASSERT_TRUE(c->AddPage(RUNTIME_CLASS(WideView), nullptr, "Scroll"));
  auto* sv = static_cast<WideView*>(c->GetPage(0));
  QApplication::processEvents();
  EXPECT_EQ(c->GetScrollStyle(), WS_HSCROLL);
  EXPECT_TRUE(c->HorzScrollBar().isEnabled());
  EXPECT_FALSE(c->VertScrollBar().isEnabled());
  EXPECT_EQ(c->HorzScrollBar().maximum(), 3000 - c->m_rcPageArea.right);
  c->HorzScrollBar().setValue(700);
  EXPECT_EQ(sv->GetDeviceScrollPosition().x, 700);
  // The page moving itself moves the container's bar.
  sv->ScrollToDevicePosition(POINT{650, 0});
  EXPECT_EQ(c->HorzScrollBar().value(), 650);
  c->HorzScrollBar().setValue(700);

  // Another page without bars disables both; the first keeps its position for later.
  ASSERT_TRUE(c->InsertPage(1, Page("plain"), "Plain"));
  EXPECT_EQ(c->GetScrollStyle(), 0u);
  EXPECT_FALSE(c->HorzScrollBar().isEnabled());
  EXPECT_EQ(c->PageScrollInfo(0, true).nPos, 700);
  c->HorzScrollBar().setValue(0);
  EXPECT_EQ(sv->GetDeviceScrollPosition().x, 700);
  ASSERT_TRUE(c->SetActivePageIndex(0));
  EXPECT_EQ(c->HorzScrollBar().value(), 700);
}

TEST_F(Fixture, AnEmptyContainerPaintsButtonFaceWithTheTabLineOnTop) {
  QImage img = c->grab().toImage();
  const QColor face = c->palette().color(QPalette::Button);
  EXPECT_EQ(img.pixelColor(50, 50), face);
  EXPECT_EQ(img.pixelColor(c->m_rcTabArea.left + 50, c->m_rcTabArea.top + 5), face);
  EXPECT_EQ(img.pixelColor(c->m_rcTabArea.left + 50, c->m_rcTabArea.top),
            c->palette().color(QPalette::WindowText));
}

}  // namespace
