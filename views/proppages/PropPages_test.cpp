#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <functional>
#include <memory>

#include "base/series/KZ_TSdata.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"
#include "views/proppages/PPMap.h"
#include "views/proppages/PPgTS.h"
#include "views/proppages/PPomori.h"
#include "views/proppages/PropPgGraph.h"
#include "views/proppages/PropPgSS.h"
#include "views/proppages/PropPgSel.h"
#include "views/proppages/PropPgSelAE.h"

namespace {

class PropPages : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
};

void OnNextDialog(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    act(dlg);
    // A script that stopped early (a failed check) must not leave the test waiting.
    if (dlg->isVisible()) dlg->reject();
  });
}

void Set(QWidget* w, int id, const QString& text) {
  auto* edit = w->findChild<QLineEdit*>(QString::number(id));
  ASSERT_NE(edit, nullptr) << id;
  edit->setText(text);
}

QString Text(QWidget* w, int id) {
  auto* edit = w->findChild<QLineEdit*>(QString::number(id));
  return edit ? edit->text() : QString("<none>");
}

void Click(QDialog* dlg, const char* id) { dlg->findChild<QPushButton*>(id)->click(); }

// Each page refuses a value outside its field's range with the framework's message and
// stays open; Cancel then leaves the page's fields as they were filled.
TEST_F(PropPages, RangesAreCheckedAsTheFieldsAreRead) {
  struct Case {
    std::function<CPropPage*()> make;
    int id;
    const char* value;
    const char* message;
  };
  CPropPgGraph graph;
  graph.m_nXSize = graph.m_nYSize = 100;
  CPPMap map;
  map.m_nPlotWidth = map.m_nPlotHeight = 100;
  CPPomori omori;
  omori.m_fAa = omori.m_fAf = 500;
  CPropPgSS ss;
  ss.m_nStrainMax = 100;
  ss.m_nStressMax = 1;
  ss.m_nAEMax = 10;
  ss.m_fPPMax = 1;
  CPropPgSel sel;
  sel.m_nDay = sel.m_nMonth = 1;
  sel.m_fLength = 1;
  sel.m_nB = 50;
  sel.m_nR = 1;
  sel.m_fMmax = 2;
  sel.m_fBMax = 1;
  sel.m_fBMin = 0.5f;
  sel.m_fD2Max = 1;
  sel.m_fCLMax = 0.1f;
  sel.m_nD2 = 20;
  sel.m_fCLProb = 0.5f;
  sel.m_nRateBins = 10;
  CPropPgSelAE selAE;
  const std::vector<Case> cases = {
      {[&] { return &graph; }, 1004, "9", "Please enter an integer between 10 and 300."},
      {[&] { return &graph; }, 1054, "41", "Please enter an integer between 0 and 40."},
      {[&] { return &map; }, 1158, "51", "Please enter an integer between 0 and 50."},
      {[&] { return &map; }, 7734, "x", "Please enter a number."},
      {[&] { return &omori; }, 1308, "1.5", "Please enter a number between 0 and 1."},
      {[&] { return &omori; }, 1268, "-11", "Please enter a number between -10 and 10."},
      {[&] { return &ss; }, 1076, "1", "Please enter an integer between -50000 and 0."},
      {[&] { return &sel; }, 1529, "0.95", "Please enter a number between 0.1 and 0.9."},
      {[&] { return &sel; }, 1122, "10", "Please enter an integer between 0 and 9."},
      {[&] { return &sel; }, 1122, "300", "Please enter an integer between 0 and 255."},
      {[&] { return &selAE; }, 1145, "-1", "Please enter a positive integer."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    plat::testing::ScriptedUi ui;
    CPropPage* page = c.make();
    OnNextDialog([&](QDialog* dlg) {
      Set(dlg, c.id, c.value);
      Click(dlg, "1");
      EXPECT_TRUE(dlg->isVisible());
      Click(dlg, "2");
    });
    EXPECT_EQ(PropSheet_DoModal("Tremvia", {page}), IDCANCEL);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{c.message});
  }
  // Accepted values come back in the fields.
  OnNextDialog([](QDialog* dlg) {
    Set(dlg, 7734, "-2.5");
    Set(dlg, 7633, "320");
    Click(dlg, "1");
  });
  EXPECT_EQ(PropSheet_DoModal("Tremvia", {&map}), IDOK);
  EXPECT_EQ(map.m_fXMin, -2.5f);
  EXPECT_EQ(map.m_nPlotHeight, 320u);
}

// Leaving the seconds field shows the begin in seconds after the experiment start,
// computed from the calendar fields in local time; also before 1970.
TEST_F(PropPages, SecondsFieldGivesTheBeginAfterTheStart) {
  EXPECT_EQ(PP_LocalTime(1960, 1, 1, 0, 0, 0), -315619200);  // the tests run in UTC
  struct Case {
    int startYear;
    const char* day;
    const char* seconds;
    const char* begin;
  };
  for (const Case& c : std::vector<Case>{{2020, "1", "0", "0"},
                                         {2020, "2", "12.5", "86412.5"},
                                         {1960, "2", "0.25", "86400.25"}}) {
    SCOPED_TRACE(c.begin);
    CPropPgSel sel;
    sel.m_tStart = PP_LocalTime(c.startYear, 1, 1, 0, 0, 0);
    sel.m_nYear = static_cast<unsigned>(c.startYear);
    sel.m_nMonth = 1;
    sel.m_fLength = 100;
    sel.m_nB = 500;
    sel.m_nD = 2;
    sel.m_nR = 8;
    sel.m_fMmax = 2.75f;
    sel.m_fBMax = 1.5f;
    sel.m_fBMin = 0.5f;
    sel.m_fVMax = 100000;
    sel.m_fQ = 0.75f;
    sel.m_fD2Max = 3;
    sel.m_fD2Min = 1;
    sel.m_fCLMax = 0.5f;
    sel.m_nD2 = 100;
    sel.m_fCLProb = 0.5f;
    sel.m_nRateBins = 100;
    std::unique_ptr<QWidget> page(sel.Create());
    Set(page.get(), 1002, c.day);
    Set(page.get(), 1102, c.seconds);
    sel.OnKillFocusSeconds();
    EXPECT_EQ(Text(page.get(), 1438), c.begin);
  }
}

// The selection begin reads as it is written: year, month, day, hour, minute and seconds
// side by side in one row, and the Tab key walks them in that order.
TEST_F(PropPages, SelectionBeginFieldsInReadingOrder) {
  CPropPgSel sel;
  std::unique_ptr<QWidget> page(sel.Create());
  page->show();
  const std::vector<int> order{995, 1000, 1002, 1046, 1058, 1102};
  auto edit = [&](int id) { return page->findChild<QLineEdit*>(QString::number(id)); };
  for (std::size_t i = 1; i < order.size(); ++i) {
    SCOPED_TRACE(order[i]);
    QLineEdit* before = edit(order[i - 1]);
    QLineEdit* here = edit(order[i]);
    ASSERT_TRUE(before && here);
    const QPoint a = before->mapTo(page.get(), QPoint(0, 0));
    const QPoint b = here->mapTo(page.get(), QPoint(0, 0));
    EXPECT_EQ(a.y(), b.y());
    EXPECT_LT(a.x(), b.x());
  }
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget* next = edit(order[i - 1])->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    EXPECT_EQ(next, edit(order[i])) << order[i];
  }
}

// A series of ten channels: rows 1 .. 7 stand for channels 1 .. 7, row 8 for channels
// 8, 9 and 10 together; titles are cut to the 63 characters a channel name holds.
TEST_F(PropPages, SeriesRowsAndTheirChannels) {
  KZ_TSdata ts;
  ASSERT_TRUE(ts.Alloc(10, 4, false, nullptr));
  for (int c = 0; c < 10; ++c) {
    std::snprintf(ts.m_pChannel[c].szName, sizeof ts.m_pChannel[c].szName, "ch%d", c);
    ts.m_pChannel[c].fPlotMax = static_cast<float>(c);
  }
  CPPgTS page;
  page.FillFrom(ts);
  EXPECT_EQ(page.m_strTitle[7], "ch7");
  EXPECT_EQ(page.m_fMax[7], 7.0f);
  const std::string longName(70, 'x');
  OnNextDialog([&](QDialog* dlg) {
    EXPECT_EQ(dlg->findChild<QLineEdit*>("811")->maxLength(), 63);
    Set(dlg, 818, "rest");
    Set(dlg, 838, "42");
    dlg->findChild<QCheckBox*>("1018")->setChecked(false);
    Click(dlg, "1");
  });
  ASSERT_EQ(PropSheet_DoModal("Tremvia", {&page}), IDOK);
  page.m_strTitle[0] = longName;
  page.WriteTo(ts);
  EXPECT_EQ(std::string(ts.m_pChannel[0].szName), std::string(63, 'x'));
  EXPECT_EQ(std::string(ts.m_pChannel[6].szName), "ch6");
  for (int c = 7; c < 10; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(std::string(ts.m_pChannel[c].szName), "rest");
    EXPECT_EQ(ts.m_pChannel[c].fPlotMax, 42.0f);
    EXPECT_EQ(ts.m_pChannel[c].nPlot, 0);
  }
}

// The "SS" page lists the series' channels selected by their shown flag; without a
// series the list is empty and OK changes nothing.
TEST_F(PropPages, ChannelListOfTheSSPage) {
  CPropPgSS none;
  std::unique_ptr<QWidget> empty(none.Create());
  EXPECT_EQ(empty->findChild<QListWidget*>("1640")->count(), 0);
  none.OnOK();

  KZ_TSdata ts;
  ASSERT_TRUE(ts.Alloc(3, 4, false, nullptr));
  ts.m_pChannel[1].nPlot = 0;
  CPropPgSS ss(&ts);
  std::unique_ptr<QWidget> page(ss.Create());
  auto* list = page->findChild<QListWidget*>("1640");
  ASSERT_EQ(list->count(), 3);
  EXPECT_TRUE(list->item(0)->isSelected());
  EXPECT_FALSE(list->item(1)->isSelected());
  list->item(1)->setSelected(true);
  list->item(2)->setSelected(false);
  ss.OnOK();
  EXPECT_EQ(ts.m_pChannel[1].nPlot, 1);
  EXPECT_EQ(ts.m_pChannel[2].nPlot, 0);
}

}  // namespace
