#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <filesystem>
#include <optional>

#include "platform/testing/FakeShell.h"
#include "views/timeseries/TSView.h"
#include "views/timeseries/TSView_testkit.h"
#include "wincomp/maskededit/WChhmmssEdit.h"

using plat::testing::Prompt;
using tstest::Click;
using tstest::MakeSeries;
using tstest::OnNextDialog;
using tstest::ReadText;
using tstest::SetEdit;
using tstest::SetPeaks;

namespace {

class TSCommands : public tstest::TSPage {
 protected:
  std::string Tmp(const std::string& name) {
    return std::string(TV_TEST_TMPDIR) + "/" +
           testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
  }
  std::vector<double> Times() {
    std::vector<double> t;
    for (int i = 0; i < Peaks().m_nCount; ++i) t.push_back(Peaks().GetTime(i));
    return t;
  }
  void ExpectTimes(const std::vector<double>& expected) {
    const auto t = Times();
    ASSERT_EQ(t.size(), expected.size());
    for (std::size_t i = 0; i < t.size(); ++i) EXPECT_NEAR(t[i], expected[i], 1e-6) << i;
  }
};

// Counter values 5, 5, 8 at 0, 100 and 400 ms: three peaks are spread over the step, the
// rest take the last time; the series started 10 s before the experiment.
TEST_F(TSCommands, PeakTimesFromTheAECounter) {
  struct Case {
    unsigned firstCounter;
    std::vector<double> times;
  };
  for (const Case& c : std::vector<Case>{{1, {-10.0, -9.9, -9.8, -9.8, -9.8}},
                                         {9, {1, 2, 3, 4, 5}}}) {  // nothing to time
    SCOPED_TRACE(c.firstCounter);
    SetPeaks(Peaks(), {{1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}});
    doc.m_pTS = MakeSeries(Start() - 10, {"Stress", "CP", "AE count"}, {0, 100, 400},
                           {{0, 0, 0}, {0, 0, 0}, {5, 5, 8}});
    host.updates.clear();
    OnNextDialog([&](QDialog* dlg) {
      EXPECT_EQ(dlg->windowTitle(), "Asigne time to PEAK data ");
      // Every button says what it does in the fonts the program brings.
      QPushButton* cancel = dlg->findChild<QPushButton*>("2");
      ASSERT_NE(cancel, nullptr);
      EXPECT_EQ(cancel->text(), "Cancel");
      SetEdit(dlg, "1040", QString::number(c.firstCounter));
      Click(dlg, "1");
    });
    view.OnCmdMsg(CTSView::ID_TS_PEAKTIME, nullptr);
    ExpectTimes(c.times);
    EXPECT_EQ(host.Hints(), std::vector<LONG>{HINT_TS});
  }
  // The counter choice is checked: 3 keeps the dialog open.
  OnNextDialog([](QDialog* dlg) {
    plat::testing::ScriptedUi ui;
    SetEdit(dlg, "1024", "3");
    Click(dlg, "1");
    EXPECT_TRUE(dlg->isVisible());
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_EQ(ui.MessageTexts()[0], "Please enter an integer between 1 and 2.");
    Click(dlg, "2");
  });
  host.updates.clear();
  view.OnCmdMsg(CTSView::ID_TS_PEAKTIME, nullptr);
  EXPECT_TRUE(host.updates.empty());
}

TEST_F(TSCommands, LoadingPeakFiles) {
  plat::testing::ScriptedUi ui;
  SetPeaks(Peaks(), {{0.1, 3}, {0.2, 4}, {0.5, 5}});
  const std::string close = Tmp("close.kv0");
  ASSERT_TRUE(Peaks().Save(close, 0, 1));
  const std::string bad = Tmp("bad.pk1");
  std::ofstream(bad, std::ios::binary) << std::string("PKF1\x40\x42\x0f\x00", 8)
                                       << std::string(18, '\x01');  // 1000000 peaks promised
  SetPeaks(Peaks(), {{7, 1}});
  doc.m_fTimeStart = 50;
  // A file that is no peak list: a message, the list and the window stay.
  ui.ExpectFileDialog(Prompt::OpenFile, "Open Peak file", bad);
  view.OnCmdMsg(CTSView::ID_TS_LOADPEAK, nullptr);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("bad.pk1"), std::string::npos);
  ExpectTimes({7});
  EXPECT_EQ(doc.m_fTimeStart, 50);
  // Times all within one second: the counter dialog opens at once.
  doc.m_pTS = MakeSeries(Start(), {"Stress", "AE"}, {0, 1000}, {});
  bool asked = false;
  OnNextDialog([&](QDialog* dlg) {
    asked = dlg->windowTitle() == "Asigne time to PEAK data ";
    Click(dlg, "2");
  });
  ui.ExpectFileDialog(Prompt::OpenFile, "Open Peak file", close);
  host.updates.clear();
  view.OnCmdMsg(CTSView::ID_TS_LOADPEAK, nullptr);
  EXPECT_TRUE(asked);
  EXPECT_EQ(Peaks().m_nCount, 3);
  EXPECT_EQ(doc.m_fTimeStart, 0);
  EXPECT_EQ(doc.m_fTimeSpan, 3600);
  EXPECT_EQ(host.Hints(), std::vector<LONG>{120});
}

TEST_F(TSCommands, CleaningThePeakList) {
  plat::testing::ScriptedUi ui;
  // Marking: levels from D = 2 on in the selection become noise.
  SetPeaks(Peaks(), {{10, 0}, {11, 1}, {12, 2}, {13, 3}, {30, 5}});
  view.m_fSelStart = 10;
  view.m_fSelEnd = 20;
  view.OnCmdMsg(CTSView::ID_TS_MARKNOISE, nullptr);
  EXPECT_EQ(Peaks().m_pFlag, (std::vector<std::uint8_t>{1, 1, 0, 0, 1}));
  // Removing the plotted noise; the second time there is none left.
  view.OnCmdMsg(CTSView::ID_TS_REMOVEPLOTTED, nullptr);
  ExpectTimes({10, 11, 30});
  view.OnCmdMsg(CTSView::ID_TS_REMOVEPLOTTED, nullptr);
  ExpectTimes({10, 11, 30});
  EXPECT_EQ(host.Hints(), std::vector<LONG>(3, HINT_TS));
  view.OnCmdMsg(CTSView::ID_TS_REMOVEM0, nullptr);
  ExpectTimes({11, 30});
  // Unordered lists: an ordered one loses nothing and sends no hint.
  host.updates.clear();
  view.OnCmdMsg(CTSView::ID_TS_REMOVEHEAD, nullptr);
  EXPECT_EQ(ui.MessageTexts().back(), "The first 0 events were removed!!");
  EXPECT_TRUE(host.updates.empty());
  SetPeaks(Peaks(), {{1, 1}, {2, 1}, {3, 1}, {1.5, 1}, {2.5, 1}});
  view.OnCmdMsg(CTSView::ID_TS_REMOVETAIL, nullptr);
  EXPECT_EQ(ui.MessageTexts().back(), "The last 2 events were removed!!");
  ExpectTimes({1, 2, 3});
  EXPECT_EQ(host.Hints(), std::vector<LONG>{120});
}

// The clock was reset to 00:00:00 at 01:00:00: the times from the first disordered entry
// on move one hour later.
TEST_F(TSCommands, CorrectingAClockReset) {
  plat::testing::ScriptedUi ui;
  SetPeaks(Peaks(), {{3500, 1}, {3550, 1}, {5, 1}, {6, 1}});
  OnNextDialog([](QDialog* dlg) {
    EXPECT_EQ(dlg->findChild<QLineEdit*>("934")->text(), "0");
    SetEdit(dlg, "934", "2");
    SetEdit(dlg, "922", "1");
    dlg->findChild<CWChhmmssEdit*>("906")->SetTime(0, 0, 0);
    dlg->findChild<CWChhmmssEdit*>("918")->SetTime(1, 0, 0);
    Click(dlg, "1");
  });
  view.OnCmdMsg(CTSView::ID_TS_CORRECTPEAK, nullptr);
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"The index of disordered event: 2"});
  ExpectTimes({3500, 3550, 3605, 3606});
  EXPECT_TRUE(host.updates.empty());
}

TEST_F(TSCommands, MagnitudeFrequencyTable) {
  plat::testing::ScriptedUi ui;
  SetPeaks(Peaks(), {{10, 0}, {20, 4}, {30, 4}, {40, 8}, {50, 12, 0}, {200, 12}});
  const std::string path = Tmp("mn.mfr");
  ui.ExpectFileDialog(Prompt::SaveFile, "", path);
  view.OnCmdMsg(CTSView::ID_TS_MN, nullptr);
  // Four peaks, three of magnitude 1 or more, one of 2 or more; b = 4 / (ln 10 x 4.5).
  EXPECT_EQ(ReadText(path),
            "m, (Relative)@Log(N(m))@2020/01/01 00:00:00-->2020/01/01 00:01:40 b(ML)=0.4\n"
            "12  1  1\n"
            "0.00 0.60\n0.25 0.48\n0.50 0.48\n0.75 0.48\n1.00 0.48\n1.25 0.00\n1.50 0.00\n"
            "1.75 0.00\n2.00 0.00\n2.25 0.00\n2.50 0.00\n2.75 0.00\n"
            "[OPTION]\n1\n0 3\n0 5\n0,2\n");
  const std::string header = Tmp("auto.kvp");
  ui.ExpectFileDialog(Prompt::SaveFile, "", header);
  view.OnCmdMsg(CTSView::ID_TS_MNAUTO, nullptr);
  EXPECT_EQ(ReadText(header),
            "KVDATA01 m-N relation of Test run\nSAMPLES 000000\n"
            "Time(sec)    b-Value  m=0.00 m=0.25 m=0.50 m=0.75 m=1.00 m=1.25 m=1.50 m=1.75 m=2.00 "
            "m=2.25 m=2.50 m=2.75\n");
  plat::CCmdUI state(CTSView::ID_TS_MNAUTO);
  view.OnCmdMsg(CTSView::ID_TS_MNAUTO, &state);
  EXPECT_FALSE(state.m_bEnabled);
}

TEST_F(TSCommands, PeakTableStartsThePlottingProgram) {
  plat::testing::ScriptedUi ui;
  plat::testing::FakeShell shell;
  SetPeaks(Peaks(), {{10, 4}, {20, 8, 0}, {30, 2}, {200, 4}});
  const std::string path = Tmp("peaks.kv0");
  ui.ExpectFileDialog(Prompt::SaveFile, "", path);
  view.OnCmdMsg(CTSView::ID_TS_SELFEXCITING, nullptr);
  EXPECT_EQ(ReadText(path),
            "KVDATA01 PEAK data of Test run      0.000000    100.000000\n"
            "SAMPLES 4\n"
            "Time(msec)    mag\n"
            "010000.000000 1.0\n"
            "030000.000000 0.5\n");
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].verb, "open");
  EXPECT_EQ(std::filesystem::path(shell.calls[0].file).filename(), "TKurvo.exe");
  EXPECT_EQ(shell.calls[0].parameters, path);
  EXPECT_EQ(shell.calls[0].showCmd, 5);
  EXPECT_TRUE(ui.PaneTexts().empty());
  shell.succeed = false;  // a program that does not start is reported
  ui.ExpectFileDialog(Prompt::SaveFile, "", path);
  view.OnCmdMsg(CTSView::ID_TS_SELFEXCITING, nullptr);
  ASSERT_EQ(ui.PaneTexts().size(), 1u);
  EXPECT_EQ(ui.PaneTexts()[0].pane, 0);
  EXPECT_NE(ui.PaneTexts()[0].text.find("TKurvo.exe"), std::string::npos);
}

TEST_F(TSCommands, AveragedStressStrainTable) {
  plat::testing::ScriptedUi ui;
  doc.m_pTS = MakeSeries(Start(), {"Stress", "CP", "Strain1a", "Strain1c"}, {0, 1000, 2000},
                         {{10, 20, 30}, {0, 0, 0}, {100, 150, 200}, {-10, -20, -30}});
  SetPeaks(Peaks(), {{0.5, 4}, {1.5, 4, 0}, {1.7, 4}});
  const std::string path = Tmp("avg.kv0");
  ui.ExpectFileDialog(Prompt::SaveFile, "", path);
  view.OnCmdMsg(CTSView::ID_TS_SAVEAVG, nullptr);
  EXPECT_EQ(ReadText(path),
            "KVDATA02 Stress-Strain data for Test run\n"
            "START_TIME: 2020/01/01 00:00: 0\n"
            "SAMPLES 3\n"
            "Time,sec\tA.Stress,MPa\tA.Strain,u\tC.Strain,u\tV.Strain,u\tAEnum,#\n"
            "1\t1\t1\t1\t1\t1\n"
            "     0.000   10.0      0      0      0      0\n"
            "     1.000   20.0     50    -10     30      1\n"
            "     2.000   30.0    100    -20     60      2\n");
  // Without a shown strain pair nothing is asked or written.
  doc.m_pTS->m_pChannel[2].nPlot = 0;
  view.OnCmdMsg(CTSView::ID_TS_SAVEAVG, nullptr);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
}

TEST_F(TSCommands, SeriesLoadsKeepTheLoadedStateOnBadFiles) {
  plat::testing::ScriptedUi ui;
  const std::string good = Tmp("good.kv0");
  auto series = MakeSeries(Start(), {"Load", "Disp"}, {0, 1000, 2000}, {{1, 2, 3}, {4, 5, 6}});
  ASSERT_TRUE(series->WriteKVText(good, 0, 1e9));
  const std::string bad = Tmp("bad.kv0");
  std::ofstream(bad) << "KVDATA01 broken\nSAMPLES x\n";
  ui.ExpectFileDialog(Prompt::OpenFile, "", bad);
  view.OnCmdMsg(CTSView::ID_TS_LOADSS, nullptr);
  EXPECT_EQ(doc.m_pTS, nullptr);
  ui.ExpectFileDialog(Prompt::OpenFile, "", good);
  view.OnCmdMsg(CTSView::ID_TS_LOADSS, nullptr);
  ASSERT_NE(doc.m_pTS, nullptr);
  EXPECT_EQ(ui.PaneTexts().back().text, "3 data loaded!");
  ui.ExpectFileDialog(Prompt::OpenFile, "", bad);
  view.OnCmdMsg(CTSView::ID_TS_LOADSS, nullptr);
  EXPECT_EQ(doc.m_pTS->m_nSamples, 3);
  // Additional series: a bad file leaves no empty slot behind; with all four slots
  // filled the first is replaced.
  ui.ExpectFileDialog(Prompt::OpenFile, "", bad);
  view.OnCmdMsg(CTSView::ID_TS_ADDTS, nullptr);
  EXPECT_EQ(doc.m_pAddTS[0], nullptr);
  for (auto& slot : doc.m_pAddTS) slot = MakeSeries(Start(), {"x"}, {0}, {{0}});
  plat::CCmdUI add(CTSView::ID_TS_ADDTS);
  view.OnCmdMsg(CTSView::ID_TS_ADDTS, &add);
  EXPECT_FALSE(add.m_bEnabled);
  ui.ExpectFileDialog(Prompt::OpenFile, "", good);
  view.OnCmdMsg(CTSView::ID_TS_ADDTS, nullptr);
  EXPECT_EQ(doc.m_pAddTS[0]->m_nSamples, 3);
  EXPECT_EQ(doc.m_pAddTS[1]->m_nSamples, 1);
  view.OnCmdMsg(CTSView::ID_TS_CLEARTS, nullptr);
  plat::CCmdUI clear(CTSView::ID_TS_CLEARTS);
  view.OnCmdMsg(CTSView::ID_TS_CLEARTS, &clear);
  EXPECT_FALSE(clear.m_bEnabled);
}

// Save dialogs offer the extension of their filter as the default one, so that a name
// typed without extension gets one the load dialogs list.
TEST_F(TSCommands, SaveDialogsDefaultToTheFiltersExtension) {
  struct Recording : plat::testing::ScriptedUi {
    std::optional<std::string> FileDialog(const plat::FileDialogOptions& o) override {
      options.push_back(o);
      return ScriptedUi::FileDialog(o);
    }
    std::vector<plat::FileDialogOptions> options;
  } ui;
  doc.m_pTS = MakeSeries(Start(), {"Stress", "CP", "Strain1a", "Strain1c"}, {0, 1000}, {});
  const std::vector<std::pair<UINT, std::string>> cases = {
      {CTSView::ID_TS_SAVEKURVO, "kv0"}, {CTSView::ID_TS_SAVEAVG, "kv0"},
      {CTSView::ID_TS_RATES10, "kv0"},   {CTSView::ID_TS_SAVEB, "kv0"},
      {CTSView::ID_TS_MN, "mfr"},        {CTSView::ID_TS_FRACTALTIME, "mfr"},
      {CTSView::ID_TS_MNAUTO, "kvp"},    {CTSView::ID_TS_SELFEXCITING, "kv0"},
      {CTSView::ID_TS_SAVEPEAK, "pkf"}};
  for (const auto& [id, ext] : cases) {
    SCOPED_TRACE(id);
    ui.ExpectFileDialog(Prompt::SaveFile, "", std::nullopt);
    ui.options.clear();
    view.OnCmdMsg(id, nullptr);
    ASSERT_EQ(ui.options.size(), 1u);
    EXPECT_EQ(ui.options[0].defExt, ext);
    EXPECT_FALSE(ui.options[0].open);
  }
}

// The automatic rate table goes beside the parameter file under its name without the
// extension; a name too short to have one is used whole.
TEST_F(TSCommands, AutomaticRateTableBesideTheParameterFile) {
  plat::testing::ScriptedUi ui;
  doc.m_pTS = MakeSeries(Start(), {"Stress", "CP", "AE1"}, {0, 1000, 2000}, {});
  for (const auto& [par, table] : std::vector<std::pair<std::string, std::string>>{
           {"Cube.pad", "Cube.kv0"}, {"ab", "ab.kv0"}}) {
    SCOPED_TRACE(par);
    const std::string dir = Tmp("experiment");
    std::filesystem::create_directories(dir);
    doc.m_pHypo->m_strParFile = dir + "/" + par;
    view.OnCmdMsg(CTSView::ID_TS_RATESAUTO, nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir + "/" + table));
    // No dialog named the file: the command says where it went.
    ASSERT_FALSE(ui.MessageTexts().empty());
    EXPECT_EQ(ui.MessageTexts().back().rfind("AE rates saved to " + dir + "/" + table, 0), 0u);
  }
}

// The rate and event-table exports need the main series: without one each says so and
// asks for no file.
TEST_F(TSCommands, RateExportsWithoutAMainSeriesSaySo) {
  doc.m_pTS.reset();
  for (UINT id : {CTSView::ID_TS_SAVEEQT, CTSView::ID_TS_RATES1, CTSView::ID_TS_RATES10,
                  CTSView::ID_TS_RATES100, CTSView::ID_TS_RATESAUTO}) {
    SCOPED_TRACE(id);
    plat::testing::ScriptedUi ui;
    view.OnCmdMsg(id, nullptr);
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].kind, Prompt::Message);
    EXPECT_NE(ui.Shown()[0].text.find("No main time series"), std::string::npos);
  }
}

// The property sheet: a month of 13 is refused and keeps the sheet open, Cancel then
// writes nothing.
TEST_F(TSCommands, PropertySheetRefusesAMonthOf13) {
  plat::testing::ScriptedUi ui;
  doc.m_fTimeStart = 30;
  OnNextDialog([&](QDialog* dlg) {
    SetEdit(dlg, "1000", "13");
    SetEdit(dlg, "1110", "5");
    Click(dlg, "1");
    EXPECT_TRUE(dlg->isVisible());
    Click(dlg, "2");
  });
  view.OnCmdMsg(CTSView::ID_TS_PROPERTY, nullptr);
  EXPECT_EQ(ui.MessageTexts(),
            std::vector<std::string>{"Please enter an integer between 1 and 12."});
  EXPECT_EQ(doc.m_fTimeStart, 30);
  EXPECT_EQ(doc.m_fTimeSpan, 100);
  EXPECT_TRUE(host.updates.empty());
}

// With two additional series the sheet has six pages; a channel deselected on "SS" is
// hidden after OK; the window and the graph page's whole millimetres come back.
TEST_F(TSCommands, PropertySheetPagesAndOK) {
  plat::testing::ScriptedUi ui;
  doc.m_pAddTS[0] = MakeSeries(Start(), {"a"}, {0}, {{0}});
  doc.m_pAddTS[1] = MakeSeries(Start(), {"b"}, {0}, {{0}});
  doc.m_pTS = MakeSeries(Start(), {"Stress", "CP", "PoreP"}, {0, 50000, 100000}, {});
  doc.m_fTimeStart = 30.25;
  QStringList tabs;
  OnNextDialog([&](QDialog* dlg) {
    EXPECT_EQ(dlg->windowTitle(), "Tremvia");
    auto* tw = dlg->findChild<QTabWidget*>("tabs");
    for (int i = 0; i < tw->count(); ++i) tabs << tw->tabText(i);
    auto* ss = tw->widget(2);
    EXPECT_EQ(ss->findChild<QLineEdit*>("1630")->text(), "0");
    auto* list = ss->findChild<QListWidget*>("1640");
    ASSERT_EQ(list->count(), 3);
    list->item(0)->setSelected(false);
    auto* sel = tw->widget(0);
    EXPECT_EQ(sel->findChild<QLineEdit*>("1102")->text(), "30.25");
    SetEdit(sel, "1058", "2");   // minute 2: 120 s later
    SetEdit(sel, "1110", "50");  // length
    auto* graph = tw->widget(5);
    EXPECT_EQ(graph->findChild<QLineEdit*>("1099")->text(), "2");  // -250 shown as 2 mm
    Click(dlg, "1");
  });
  view.OnCmdMsg(CTSView::ID_TS_PROPERTY, nullptr);
  EXPECT_EQ(tabs, (QStringList{"TS", "Omori law", "SS", "TS data", "TS data", "Graph"}));
  EXPECT_NEAR(doc.m_fTimeStart, 150.25, 1e-9);
  EXPECT_EQ(doc.m_fTimeSpan, 50);
  EXPECT_EQ(view.m_nPlotTop, -200);
  EXPECT_EQ(doc.m_pTS->m_pChannel[0].nPlot, 0);
  EXPECT_EQ(doc.m_pTS->m_pChannel[1].nPlot, 1);
  EXPECT_EQ(doc.m_pHypo->m_fAEOptQ, 0.75f);
  EXPECT_EQ(host.Hints(), std::vector<LONG>{120});
  // The hidden stress channel is no longer drawn.
  const auto dc = Record();
  EXPECT_TRUE(With(*dc, plat::DcOpKind::Polyline, 40, RGB(255, 0, 0)).empty());
}

}  // namespace
