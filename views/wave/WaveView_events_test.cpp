#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "platform/Strings.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/wave/DlgInverse.h"
#include "views/wave/WaveView.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;

namespace {

// Written sets go below one short folder of this run's own (the dialogs' paths hold at
// most 64 characters, fewer than the build tree's scratch folder leaves): made unique
// with mkdtemp, so that two runs never meet, and removed when the tests end.
const std::string& ShortRunFolder() {
  static const std::string dir = [] {
    std::string t = (fs::temp_directory_path() / "tv_XXXXXX").string();
    return mkdtemp(t.data()) ? t : std::string(TV_TEST_TMPDIR);
  }();
  static const struct Cleanup {
    ~Cleanup() {
      std::error_code ec;
      if (dir != TV_TEST_TMPDIR) fs::remove_all(dir, ec);
    }
  } cleanup;
  return dir;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `act` on the next modal dialog once it is shown.
void OnNextDialog(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    act(dlg);
  });
}

void SetEdit(QDialog* dlg, const char* id, const QString& text) {
  auto* edit = dlg->findChild<QLineEdit*>(id);
  ASSERT_NE(edit, nullptr) << id;
  edit->setText(text);
}

void Click(QDialog* dlg, const char* id) {
  auto* b = dlg->findChild<QPushButton*>(id);
  ASSERT_NE(b, nullptr) << id;
  b->click();
}

// A temp copy of the sample experiment per test, its first event opened (or the event
// the test names) with the page on it.
class WaveEvents : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    dir = std::string(TV_TEST_TMPDIR) + "/Events_" +
          testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthCube", dir, fs::copy_options::recursive);
  }
  void Open(int event = 0) {
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
    ASSERT_TRUE(doc.OnOpenDocument(dir + plat_Format(event)));
    view.SetData(&doc);
    view.resize(800, 600);
    view.OnInitialUpdate();
    host.updates.clear();
  }
  static std::string plat_Format(int event) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "/CUBE.00/%06d.WAV", event);
    return buf;
  }
  plat::CCmdUI Update(UINT id) {
    plat::CCmdUI ui(id);
    view.OnCmdMsg(id, &ui);
    return ui;
  }
  void Run(UINT id) { view.OnCmdMsg(id, nullptr); }
  std::string Catalogue() const { return ReadBytes(dir + "/Cube.aeh"); }
  static constexpr int kRecordBytes = 416;  // 128-byte header and 16 arrivals of 18 bytes
  static AEHRecord Decode(const std::string& catalogue, int i) {
    AEHRecord r{};
    AEH_DecodeRecord(reinterpret_cast<const std::uint8_t*>(catalogue.data()) + i * kRecordBytes,
                     16, &r);
    return r;
  }
  // Locks record i on disk with the page's own lock command.
  void LockRecord(int i) {
    Open(i);
    Run(CWaveView::ID_WAVE_LOCK);
    ASSERT_TRUE(RecordOnDisk(i).nFlags & AEH_FLAG_LOCKED);
  }
  static bool PaneSaid(const plat::testing::ScriptedUi& ui, const std::string& part) {
    for (const auto& p : ui.PaneTexts())
      if (p.pane == 0 && p.text.find(part) != std::string::npos) return true;
    return false;
  }
  AEHRecord RecordOnDisk(int i) {
    AEHRecord r{};
    EXPECT_TRUE(doc.m_pHypo->GetAEH(i, &r));
    return r;
  }

  std::string dir;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CWaveView view;
};

}  // namespace

TEST_F(WaveEvents, EnableAndTickRulesFollowTheDocumentAndToggles) {
  // Before any file: the stepping commands are off, the toggles need sensors.
  for (UINT id :
       {CWaveView::ID_FILE_LOADNEXT, CWaveView::ID_WAVE_LOADPREV, CWaveView::ID_WAVE_OPENNO,
        CWaveView::ID_FILE_AUTOLOAD, CWaveView::ID_WAVE_SLOW, CWaveView::ID_WAVE_LOCATE,
        CWaveView::ID_WAVE_STORE, CWaveView::ID_WAVE_LOCK, CWaveView::ID_WAVE_EM}) {
    view.SetData(&doc);
    EXPECT_FALSE(Update(id).m_bEnabled) << id;
  }
  Open();
  struct Case {
    UINT id;
    bool enabled;
    int check;
  };
  const Case opened[] = {
      {CWaveView::ID_FILE_LOADNEXT, true, 0},  {CWaveView::ID_WAVE_OPENNO, true, 0},
      {CWaveView::ID_FILE_AUTOLOAD, true, 0},  {CWaveView::ID_WAVE_FAST, true, 1},
      {CWaveView::ID_WAVE_SLOW, true, 0},      {CWaveView::ID_WAVE_LOCATE, true, 0},
      {CWaveView::ID_WAVE_STORE, true, 0},     {CWaveView::ID_WAVE_LOCK, true, 0},
      {CWaveView::ID_WAVE_FINDNEXT, false, 0}, {CWaveView::ID_FILE_SAVE, true, 0},
      {CWaveView::ID_OPT_BANDPASS, true, 0},
  };
  for (const Case& c : opened) {
    const plat::CCmdUI ui = Update(c.id);
    EXPECT_EQ(ui.m_bEnabled, c.enabled) << c.id;
    EXPECT_EQ(ui.m_nCheck, c.check) << c.id;
  }
  Run(CWaveView::ID_WAVE_SLOW);
  Run(CWaveView::ID_WAVE_STORE);
  Run(CWaveView::ID_WAVE_LOCK);
  EXPECT_EQ(Update(CWaveView::ID_WAVE_FAST).m_nCheck, 0);
  EXPECT_EQ(Update(CWaveView::ID_WAVE_SLOW).m_nCheck, 1);
  EXPECT_EQ(Update(CWaveView::ID_WAVE_STORE).m_nCheck, 1);
  EXPECT_EQ(Update(CWaveView::ID_WAVE_LOCK).m_nCheck, 1);
}

TEST_F(WaveEvents, PickLocateAndStoreWriteTheRecord) {
  Open();
  plat::testing::ScriptedUi ui;
  const std::string before = Catalogue();
  Run(CWaveView::ID_WAVE_PICK);
  Run(CWaveView::ID_WAVE_LOCATE);
  EXPECT_EQ(Catalogue(), before);  // nothing stored without the store toggle
  ASSERT_GT(doc.m_pHypo->m_Rec.nArrivals, 4);
  Run(CWaveView::ID_WAVE_SAVELOC);
  EXPECT_EQ(ui.Beeps().size(), 1u);
  const AEHRecord r = RecordOnDisk(0);
  EXPECT_EQ(r.nArrivals, doc.m_pHypo->m_Rec.nArrivals);
  EXPECT_FLOAT_EQ(r.fX, doc.m_pHypo->m_Rec.fX);
  const std::string after = Catalogue();
  EXPECT_NE(after, before);
  EXPECT_EQ(after.substr(416), before.substr(416));  // only record 0 changed
}

TEST_F(WaveEvents, LockedRecordRefusesEveryChangeButTheLockItself) {
  Open();
  Run(CWaveView::ID_WAVE_LOCK);  // lock and write
  ASSERT_TRUE(RecordOnDisk(0).nFlags & AEH_FLAG_LOCKED);
  doc.m_pHypo->GetAEH(0);
  const std::string locked = Catalogue();
  {
    plat::testing::ScriptedUi ui;
    for (UINT id : {CWaveView::ID_WAVE_PICK, CWaveView::ID_WAVE_LOCATE, CWaveView::ID_WAVE_SAVELOC,
                    CWaveView::ID_WAVE_EM}) {
      ui.ExpectMessage("Locked event!", IDOK);
      Run(id);
      EXPECT_EQ(ui.PendingExpectations(), 0u) << id;
    }
    EXPECT_EQ(Catalogue(), locked);
    // The EM mark flips in memory only.
    EXPECT_TRUE(doc.m_pHypo->m_Rec.nFlags & AEH_FLAG_EM);
    EXPECT_FALSE(RecordOnDisk(0).nFlags & AEH_FLAG_EM);
  }
  Run(CWaveView::ID_WAVE_LOCK);  // unlocking is always possible
  EXPECT_FALSE(RecordOnDisk(0).nFlags & AEH_FLAG_LOCKED);
}

TEST_F(WaveEvents, EmMarkIsStored) {
  Open();
  plat::testing::ScriptedUi ui;
  Run(CWaveView::ID_WAVE_EM);
  EXPECT_TRUE(RecordOnDisk(0).nFlags & AEH_FLAG_EM);
  EXPECT_EQ(Update(CWaveView::ID_WAVE_EM).m_nCheck, 1);
}

// Another page (the "Foc" page's "Next event") moves the catalogue's current record on
// while this page still shows event 17: its commands work on event 17's own record and
// never write record 19 under index 17.
TEST_F(WaveEvents, CommandsNeverWriteAnotherEventsRecordAtTheShownEvent) {
  Open(17);
  plat::testing::ScriptedUi ui;
  const std::string before = Catalogue();
  const AEHRecord own = Decode(before, 17);
  const AEHRecord other = Decode(before, 19);
  ASSERT_NE(own.nTimeSec, other.nTimeSec);
  auto moveOn = [this] { ASSERT_TRUE(doc.m_pHypo->GetAEH(19)); };

  // Store ("AEH"): nothing is written; the page takes its event's own record back.
  moveOn();
  Run(CWaveView::ID_WAVE_SAVELOC);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nIndex, 17);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nTimeSec, own.nTimeSec);
  EXPECT_TRUE(PaneSaid(ui, "Record 19 is not event 17's"));

  // The EM mark flips event 17's own flag.
  moveOn();
  Run(CWaveView::ID_WAVE_EM);
  AEHRecord r = RecordOnDisk(17);
  EXPECT_EQ(r.nFlags, own.nFlags ^ AEH_FLAG_EM);
  EXPECT_EQ(r.nTimeSec, own.nTimeSec);
  EXPECT_EQ(r.fX, own.fX);

  // Locate with store locates event 17's own arrivals.
  Run(CWaveView::ID_WAVE_STORE);
  moveOn();
  Run(CWaveView::ID_WAVE_LOCATE);
  r = RecordOnDisk(17);
  EXPECT_EQ(r.nTimeSec, own.nTimeSec);
  EXPECT_EQ(r.nTimeUs, own.nTimeUs);
  EXPECT_EQ(r.nArrivals, own.nArrivals);

  // Mark as noise marks event 17's own record (and goes on to event 18).
  moveOn();
  Run(CWaveView::ID_WAVE_NOISE);
  r = RecordOnDisk(17);
  EXPECT_EQ(r.nArrivals, -1);
  EXPECT_EQ(r.nTimeSec, own.nTimeSec);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 18);

  // Records 18 and 19 were never written.
  EXPECT_EQ(Catalogue().substr(18 * kRecordBytes), before.substr(18 * kRecordBytes));
}

TEST_F(WaveEvents, ReadOnlyCatalogueReportsAFailedSave) {
  Open();
  doc.m_pHypo->m_bReadOnly = 1;
  const std::string before = Catalogue();
  plat::testing::ScriptedUi ui;
  ui.ExpectMessage("Can not save data to AED file!", IDOK);
  Run(CWaveView::ID_WAVE_SAVELOC);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_EQ(Catalogue(), before);
}

// A catalogue that opens for reading only (here: two stray bytes at its end) says so once,
// in status pane 0 and one message; auto-loading with "store" then reports its refused
// saves once, and a single save after the run is reported again.
TEST_F(WaveEvents, ReadOnlyCatalogueSaysSoOnceAndAutoLoadingReportsOnce) {
  std::ofstream(dir + "/Cube.aeh", std::ios::binary | std::ios::app) << "xy";
  const std::string before = Catalogue();
  auto count = [](const plat::testing::ScriptedUi& ui, const std::string& part) {
    const std::vector<std::string> texts = ui.MessageTexts();
    return std::count_if(texts.begin(), texts.end(),
                         [&](const std::string& t) { return t.find(part) != std::string::npos; });
  };
  {
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
    ASSERT_TRUE(doc.OnOpenDocument(dir + plat_Format(15)));
    ASSERT_EQ(doc.m_pHypo->m_bReadOnly, 1);
    EXPECT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_EQ(count(ui, "reading only"), 1);
    bool pane = false;
    for (const auto& p : ui.PaneTexts())
      pane = pane || (p.pane == 0 && p.text.find("Read-only catalogue") != std::string::npos);
    EXPECT_TRUE(pane);
  }
  view.SetData(&doc);
  view.resize(800, 600);
  view.OnInitialUpdate();
  plat::testing::ScriptedUi ui;
  Run(CWaveView::ID_WAVE_LOCATEONLOAD);
  Run(CWaveView::ID_WAVE_STORE);
  Run(CWaveView::ID_FILE_AUTOLOAD);  // processes and stores event 15 first
  for (int tick = 0; tick < 3; ++tick) view.OnTimer(2);
  ASSERT_EQ(doc.m_pWave->m_nEvent, 18);
  EXPECT_EQ(count(ui, "Can not save data to AED file!"), 1);
  Run(CWaveView::ID_FILE_AUTOLOAD);  // stops
  ASSERT_EQ(view.m_nTimer, 0);
  Run(CWaveView::ID_WAVE_PICK);  // a single pick with "store" after the run
  EXPECT_EQ(count(ui, "Can not save data to AED file!"), 2);
  EXPECT_EQ(Catalogue(), before);
}

TEST_F(WaveEvents, MarkAsNoiseMovesOnAndTwiceClearsTheMark) {
  Open(0);
  plat::testing::ScriptedUi ui;
  Run(CWaveView::ID_WAVE_NOISE);
  EXPECT_EQ(RecordOnDisk(0).nArrivals, -1);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 1);  // the next event was loaded
  // At the last event no next event loads, so the mark can be given twice.
  doc.StepEvent(18);
  ASSERT_EQ(doc.m_pWave->m_nEvent, 19);
  Run(CWaveView::ID_WAVE_NOISE);
  EXPECT_EQ(doc.m_pWave->m_pHeader->nStatus, -1);
  EXPECT_EQ(RecordOnDisk(19).nArrivals, -1);
  Run(CWaveView::ID_WAVE_NOISE);
  EXPECT_EQ(doc.m_pWave->m_pHeader->nStatus, 0);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nArrivals, 0);
  EXPECT_EQ(RecordOnDisk(19).nArrivals, 0);
}

TEST_F(WaveEvents, OpenByNumberOpensTheNumberAndCancelReloads) {
  Open(0);
  plat::testing::ScriptedUi ui;
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "902", "7");
    Click(dlg, "1");
  });
  Run(CWaveView::ID_WAVE_OPENNO);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 7);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nIndex, 7);
  EXPECT_EQ(doc.m_nCurAE, 7);
  EXPECT_EQ(host.Hints().back(), 31);
  EXPECT_EQ(host.title, doc.m_pWave->m_strPath);
  EXPECT_NE(host.title.find("000007"), std::string::npos) << host.title;
  // Cancel: the current event is read again from its file.
  const std::int16_t first = doc.m_pWave->m_pSamples[0];
  doc.m_pWave->m_pSamples[0] = static_cast<std::int16_t>(first + 1234);
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "902", "3");  // typed, then cancelled: not taken
    Click(dlg, "2");
  });
  Run(CWaveView::ID_WAVE_OPENNO);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 7);
  EXPECT_EQ(doc.m_pWave->m_pSamples[0], first);
}

TEST_F(WaveEvents, OpenByNumberKeepsTheDialogOpenOutOfRange) {
  Open(0);
  plat::testing::ScriptedUi ui;
  ui.ExpectMessage("between 0 and 1000000", IDOK);
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "902", "1000001");
    Click(dlg, "1");
    EXPECT_TRUE(dlg->isVisible());
    SetEdit(dlg, "902", "2");
    Click(dlg, "1");
  });
  Run(CWaveView::ID_WAVE_OPENNO);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 2);
  // A number without an event file keeps the event and says why.
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "902", "500");
    Click(dlg, "1");
  });
  Run(CWaveView::ID_WAVE_OPENNO);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 2);
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().text, "Event 500: no event file");
}

TEST_F(WaveEvents, NextMaskedEventFindsTheEmFlagOrSaysNotFound) {
  Open(0);
  plat::testing::ScriptedUi ui;
  ASSERT_GE(doc.m_EventList.size(), 6u);
  doc.m_EventList[5]->flags |= AEH_FLAG_EM;
  Run(CWaveView::ID_WAVE_NEXTMASKED);
  EXPECT_EQ(doc.m_pWave->m_nEvent, doc.m_EventList[5]->record);
  EXPECT_EQ(host.Hints().back(), 15);
  ui.ExpectMessage("Not found!", IDOK);
  Run(CWaveView::ID_WAVE_NEXTMASKED);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
}

// The cursor is a catalogue record index: with a list that omits records (here 2, 3 and 5,
// as a minimum arrival count or a list file leaves it) the search still goes on from the
// event shown, neither skipping nor repeating one.
TEST_F(WaveEvents, NextMaskedEventWithAListThatOmitsRecords) {
  Open(0);
  auto& list = doc.m_EventList;
  std::erase_if(list, [](const auto& e) { return e->record == 2 || e->record == 3 || e->record == 5; });
  for (const auto& e : list)
    if (e->record == 4 || e->record == 6 || e->record == 8) e->flags |= AEH_FLAG_EM;
  plat::testing::ScriptedUi ui;
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "902", "3");  // an event the list omits
    Click(dlg, "1");
  });
  Run(CWaveView::ID_WAVE_OPENNO);
  ASSERT_EQ(doc.m_pWave->m_nEvent, 3);
  for (int want : {4, 6, 8}) {
    Run(CWaveView::ID_WAVE_NEXTMASKED);
    EXPECT_EQ(doc.m_pWave->m_nEvent, want);
  }
  ui.ExpectMessage("Not found!", IDOK);
  Run(CWaveView::ID_WAVE_NEXTMASKED);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 8);
}

TEST_F(WaveEvents, SpecialEventSearchStopsAtTheTriggerAndSkipsMissingChannels) {
  Open(0);
  plat::testing::ScriptedUi ui;
  // Channel 1 exceeds 1 count somewhere in every event: the next event is found.
  view.m_dlgFind.m_nTrace1 = 1;
  view.m_dlgFind.m_nLevel1 = 1;
  view.m_dlgFind.m_nCount1 = 1;
  EXPECT_TRUE(Update(CWaveView::ID_WAVE_FINDNEXT).m_bEnabled);
  Run(CWaveView::ID_WAVE_FINDNEXT);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 1);
  // A channel the records lack: every event is skipped with a note, to the last one.
  view.m_dlgFind.m_nTrace1 = 40;
  Run(CWaveView::ID_WAVE_FINDNEXT);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 19);
  const auto& panes = ui.PaneTexts();
  ASSERT_GE(panes.size(), 2u);
  EXPECT_NE(panes[panes.size() - 2].text.find("no channel 40"), std::string::npos);
  EXPECT_EQ(panes.back().text, "No event file after event 19");  // where the search ended
}

TEST_F(WaveEvents, VelocityShotSearchStopsOnInput) {
  Open(0);
  plat::testing::ScriptedUi ui;
  ui.InputPendingAfter(2);
  Run(CWaveView::ID_WAVE_NEXTVEL);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 3);  // three steps, input seen at the third poll
  EXPECT_EQ(host.Hints().back(), 15);
  EXPECT_TRUE(host.modified);
}

TEST_F(WaveEvents, AutoLoadingWithoutTogglesStampsEachRecordAndStopsAtTheEnd) {
  Open(17);
  plat::testing::ScriptedUi ui;
  Run(CWaveView::ID_FILE_AUTOLOAD);
  EXPECT_EQ(view.m_nTimer, 2);
  EXPECT_EQ(view.m_nTimerElapse, 200u);
  EXPECT_TRUE(view.HasTimer(2));
  EXPECT_EQ(Update(CWaveView::ID_FILE_AUTOLOAD).m_nCheck, 1);

  view.OnTimer(2);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 18);
  EXPECT_EQ(host.Hints().back(), 31);
  EXPECT_EQ(view.m_nTimerElapse, 100u);
  const AEHRecord r = RecordOnDisk(18);
  EXPECT_EQ(r.nTimeSec, doc.m_pWave->m_pHeader->nSec);
  EXPECT_EQ(r.nTimeUs, doc.m_pWave->m_pHeader->nUsec);

  // Slow play-back acts from the next tick.
  Run(CWaveView::ID_WAVE_SLOW);
  view.OnTimer(2);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 19);
  EXPECT_EQ(view.m_nTimerElapse, 2000u);

  // No further file: the timer stops and the item is no longer ticked.
  view.OnTimer(2);
  EXPECT_EQ(view.m_nTimer, 0);
  EXPECT_FALSE(view.HasTimer(2));
  EXPECT_EQ(Update(CWaveView::ID_FILE_AUTOLOAD).m_nCheck, 0);
}

TEST_F(WaveEvents, AutoLoadingIntoAnEventWithoutRecordWritesAClearedRecord) {
  // A catalogue with records for events 0 and 1 only.
  fs::resize_file(dir + "/Cube.aeh", 2 * 416);
  Open(1);
  plat::testing::ScriptedUi ui;
  doc.m_pHypo->m_Rec.nFlags = AEH_FLAG_EM;
  doc.m_pHypo->m_Rec.nArrivals = 7;
  doc.m_pHypo->m_Rec.fX = 12.5f;
  Run(CWaveView::ID_FILE_AUTOLOAD);
  view.OnTimer(2);
  ASSERT_EQ(doc.m_pWave->m_nEvent, 2);
  const AEHRecord r = RecordOnDisk(2);
  EXPECT_EQ(r.nFlags, 0);
  EXPECT_EQ(r.nArrivals, 0);
  EXPECT_EQ(r.fX, 0.0f);
  EXPECT_EQ(r.nTimeSec, doc.m_pWave->m_pHeader->nSec);
  Run(CWaveView::ID_FILE_AUTOLOAD);  // stops
  EXPECT_EQ(view.m_nTimer, 0);
}

TEST_F(WaveEvents, AutoLoadingWithLocationSendsHintsByArrivals) {
  Open(0);
  plat::testing::ScriptedUi ui;
  Run(CWaveView::ID_WAVE_LOCATEONLOAD);
  Run(CWaveView::ID_FILE_AUTOLOAD);
  host.updates.clear();
  view.OnTimer(2);
  ASSERT_EQ(doc.m_pWave->m_nEvent, 1);
  const LONG expected = doc.m_pHypo->m_Rec.nArrivals > 3 ? 0x1044 : 4;
  EXPECT_EQ(host.Hints().back(), expected);
  EXPECT_EQ(expected, 0x1044);  // the synthetic events locate with many arrivals

  // Re-save toggle without location: hint 64.
  Run(CWaveView::ID_WAVE_LOCATEONLOAD);
  Run(CWaveView::ID_WAVE_RESAVE);
  host.updates.clear();
  view.OnTimer(2);
  EXPECT_EQ(host.Hints().back(), 64);
  Run(CWaveView::ID_FILE_AUTOLOAD);
  EXPECT_EQ(view.m_nTimer, 0);
}

// Auto-loading from event 12 to the end of the set in every combination of "AL" (locate),
// "Rsv" (re-save) and "St" (store), with record 14 locked: each record changes only as its
// mode says, and the locked record never changes.
TEST_F(WaveEvents, AutoLoadingChangesEachRecordOnlyAsItsModeSays) {
  constexpr int kStart = 12, kLocked = 14, kEvents = 20;
  std::vector<AEWHeader> headers(kEvents);
  for (int e = 0; e < kEvents; ++e) {
    CAEWave w;
    ASSERT_TRUE(w.Load(dir + plat_Format(e)));
    headers[e] = *w.m_pHeader;
  }
  for (int mode = 0; mode < 8; ++mode) {
    const bool locate = mode & 1, resave = mode & 2, store = mode & 4;
    SCOPED_TRACE(std::string(locate ? "AL " : "") + (resave ? "Rsv " : "") + (store ? "St" : ""));
    SetUp();  // a fresh copy of the sample
    LockRecord(kLocked);
    Open(kStart);
    const std::string before = Catalogue();
    plat::testing::ScriptedUi ui;
    view.m_bLocateOnLoad = locate;
    view.m_bResave = resave;
    view.m_bStore = store;
    Run(CWaveView::ID_FILE_AUTOLOAD);
    for (int tick = 0; tick < 2 * kEvents && view.m_nTimer; ++tick) view.OnTimer(2);
    ASSERT_EQ(view.m_nTimer, 0);
    ASSERT_EQ(doc.m_pWave->m_nEvent, kEvents - 1);
    EXPECT_TRUE(PaneSaid(ui, "Auto-loading ended at event 19"));
    const std::string after = Catalogue();
    ASSERT_EQ(after.size(), before.size());
    for (int i = 0; i < kEvents; ++i) {
      const std::string was = before.substr(i * kRecordBytes, kRecordBytes);
      const std::string now = after.substr(i * kRecordBytes, kRecordBytes);
      if (i < kStart || i == kLocked || (!store && (locate || resave)) || (resave && !locate)) {
        // Not reached, locked, nothing to store, or the event's own record stored again.
        EXPECT_EQ(now, was) << "record " << i;
      } else if (locate) {
        // Processed and stored: the record keeps its event's time and lock-free flags.
        const AEHRecord r = Decode(after, i);
        EXPECT_EQ(r.nTimeSec, headers[i].nSec) << "record " << i;
        EXPECT_EQ(r.nFlags & AEH_FLAG_LOCKED, 0) << "record " << i;
      } else {
        // Without a toggle each following record gets its event's time, nothing else.
        AEHRecord r = Decode(after, i);
        if (i > kStart) {
          EXPECT_EQ(r.nTimeSec, headers[i].nSec) << "record " << i;
          EXPECT_EQ(r.nTimeUs, headers[i].nUsec) << "record " << i;
        }
        const AEHRecord o = Decode(before, i);
        r.nTimeSec = o.nTimeSec;
        r.nTimeUs = o.nTimeUs;
        std::string back(kRecordBytes, '\0');
        AEH_EncodeRecord(r, 16, reinterpret_cast<std::uint8_t*>(back.data()));
        EXPECT_EQ(back, was) << "record " << i;
      }
    }
  }
}

namespace {

// Fills the design dialog and presses OK.
void DesignBandPass(QDialog* dlg) {
  SetEdit(dlg, "1042", "0.1");
  SetEdit(dlg, "1052", "1");
  SetEdit(dlg, "1056", "2");
  SetEdit(dlg, "1060", "0.5");
  SetEdit(dlg, "1068", "5");
  Click(dlg, "1");
}

}  // namespace

TEST_F(WaveEvents, BandPassFiltersOnlyTheFirst4096SamplesAtHalfScale) {
  Open(0);
  plat::testing::ScriptedUi ui;
  CAEWave& wave = *doc.m_pWave;
  wave.Allocate(2, 8192, 10);
  std::vector<std::int16_t> raw(2 * 8192);
  for (int j = 0; j < 8192; ++j) {
    raw[j] = static_cast<std::int16_t>(3000 * std::sin(0.3 * j) + 2000 * std::sin(0.01 * j));
    raw[8192 + j] = static_cast<std::int16_t>(j % 97 == 0 ? 20000 : 0);
  }
  wave.m_pSamples = raw;
  OnNextDialog(DesignBandPass);
  Run(CWaveView::ID_OPT_CREATEFILTER);
  EXPECT_EQ(host.Hints().back(), 5);
  const CAEHypo& h = *doc.m_pHypo;
  EXPECT_FLOAT_EQ(h.m_fFiltLow, 0.1f);
  EXPECT_FLOAT_EQ(h.m_fFiltHigh, 1.0f);
  EXPECT_FLOAT_EQ(h.m_fFiltStop, 2.0f);

  // Only the first 4096 samples of each channel are filtered (their scale and phase are
  // checked against an independent reference below).
  int changed = 0;
  for (int c = 0; c < 2; ++c) {
    for (int j = 0; j < 4096; ++j) changed += wave.m_pSamples[c * 8192 + j] != raw[c * 8192 + j];
    for (int j = 4096; j < 8192; ++j) ASSERT_EQ(wave.m_pSamples[c * 8192 + j], raw[c * 8192 + j]);
  }
  EXPECT_GT(changed, 4000);
  // The slow component (0.01 rad per sample, far below fL) is removed: the filtered
  // trace of channel 0 swings about zero.
  double mean = 0;
  for (int j = 2000; j < 4096; ++j) mean += wave.m_pSamples[j];
  EXPECT_LT(std::fabs(mean / 2096), 50.0);
}

namespace {

// A band-pass design with scipy's impulse response of the same Butterworth filter.
struct BandPassReference {
  std::string rate, fL, fH, fS, Ap, As;  // as typed into the dialog
  int order = 0;
  std::vector<double> h;  // h[j] for an impulse 1 at sample 0; later values are 0
};

std::vector<BandPassReference> ReadBandPassReferences() {
  std::ifstream in(TV_SOURCE_DIR "/views/wave/testdata/bandpass_impulse.txt");
  std::vector<BandPassReference> refs;
  BandPassReference r;
  std::size_t length = 0;
  while (in >> r.rate >> r.fL >> r.fH >> r.fS >> r.Ap >> r.As >> r.order >> length) {
    r.h.resize(length);
    for (double& v : r.h) in >> v;
    refs.push_back(r);
  }
  return refs;
}

// The response of the forward and backward passes to a unit impulse, from the forward
// response h: r[d] = sum over m of h[m] h[m + |d|].
double TwoPassResponse(const std::vector<double>& h, int d) {
  d = std::abs(d);
  double r = 0;
  for (std::size_t m = 0; m + d < h.size(); ++m) r += h[m] * h[m + d];
  return r;
}

}  // namespace

// An impulse filtered by the page matches scipy's Butterworth band-pass designed
// independently from the same dialog values: the order, the band edges and the gain, run
// forward and backward (zero phase: the response is centred on the impulse).
TEST_F(WaveEvents, BandPassImpulseMatchesTheReferenceButterworth) {
  Open(0);
  plat::testing::ScriptedUi ui;
  const std::vector<BandPassReference> refs = ReadBandPassReferences();
  ASSERT_EQ(refs.size(), 3u);
  CAEWave& wave = *doc.m_pWave;
  constexpr int kAt = 2048;  // the impulse's sample, its response far from both ends
  constexpr std::int16_t kAmp = 20000;
  for (const BandPassReference& ref : refs) {
    SCOPED_TRACE("rate " + ref.rate + ", band " + ref.fL + " .. " + ref.fH);
    ASSERT_TRUE(wave.Allocate(1, 4096, static_cast<std::int16_t>(std::stoi(ref.rate))));
    std::vector<std::int16_t> raw(4096, 0);
    raw[kAt] = kAmp;
    wave.m_pSamples = raw;
    OnNextDialog([&ref](QDialog* dlg) {
      SetEdit(dlg, "1042", QString::fromStdString(ref.fL));
      SetEdit(dlg, "1052", QString::fromStdString(ref.fH));
      SetEdit(dlg, "1056", QString::fromStdString(ref.fS));
      SetEdit(dlg, "1060", QString::fromStdString(ref.Ap));
      SetEdit(dlg, "1068", QString::fromStdString(ref.As));
      Click(dlg, "1");
    });
    Run(CWaveView::ID_OPT_CREATEFILTER);
    ASSERT_EQ(view.m_Filter.m_nOrder, ref.order);

    double peak = 0;
    for (double v : ref.h) peak = std::max(peak, std::fabs(v));
    auto expected = [&ref](int j) { return j < static_cast<int>(ref.h.size()) ? ref.h[j] : 0.0; };

    // The page's design on a unit impulse, in floats.
    std::vector<float> x(4096, 0.0f), y(4096);
    x[0] = 1.0f;
    ASSERT_EQ(view.m_Filter.Filter(x.data(), y.data(), 4096), 1);
    for (int j = 0; j < 4096; ++j) ASSERT_NEAR(y[j], expected(j), 1e-5 * peak) << j;

    // The page's samples: x 0.001, filtered forward and backward, x 500 and truncated
    // toward zero.
    for (int j = 0; j < 4096; ++j) {
      const double want = 0.5 * kAmp * TwoPassResponse(ref.h, j - kAt);
      const double tol = 1e-5 * 0.5 * kAmp * peak;
      const double got = wave.m_pSamples[j];
      ASSERT_LE(std::fabs(got), std::fabs(want) + tol) << j;
      ASSERT_GT(std::fabs(got), std::fabs(want) - 1 - tol) << j;
      if (got != 0) {
        ASSERT_EQ(got > 0, want > 0) << j;
      }
    }
  }
}

// A record as the recorder leaves it (an offset, a slow drift) with a burst in the pass
// band: the page's filtering equals the zero-phase filtering of the endless record (built
// from scipy's response), up to the end samples, and the burst keeps its place.
TEST_F(WaveEvents, BandPassKeepsOnsetsInPlaceAndTheRecordEndsClean) {
  Open(0);
  plat::testing::ScriptedUi ui;
  const BandPassReference ref = ReadBandPassReferences().at(0);  // rate 10, 0.1 .. 1 MHz
  ASSERT_EQ(ref.rate, "10");
  constexpr int kS = 2000, kAt = 1000;
  constexpr double kSigma = 30, kFreq = 0.03;  // samples; cycles per sample, mid-band
  std::vector<double> burst(kS);
  for (int j = 0; j < kS; ++j) {
    const double u = (j - kAt) / kSigma;
    burst[j] = 8000 * std::exp(-0.5 * u * u) * std::cos(2 * M_PI * kFreq * (j - kAt));
  }
  CAEWave& wave = *doc.m_pWave;
  ASSERT_TRUE(wave.Allocate(1, kS, 10));
  for (int j = 0; j < kS; ++j)
    wave.m_pSamples[j] = static_cast<std::int16_t>(std::lround(37 + 0.02 * j + burst[j]));
  const std::vector<std::int16_t> raw = wave.m_pSamples;
  OnNextDialog(DesignBandPass);
  Run(CWaveView::ID_OPT_CREATEFILTER);

  // The offset and the drift lie below the band: the endless record's output is the
  // burst's alone, at half scale. Rounding the input to counts and truncating the output
  // leave at most a count or two.
  std::vector<double> r(2 * ref.h.size() - 1);
  for (int d = 0; d < static_cast<int>(r.size()); ++d)
    r[d] = TwoPassResponse(ref.h, d - static_cast<int>(ref.h.size()) + 1);
  const int half = static_cast<int>(ref.h.size()) - 1;
  std::vector<double> want(kS, 0.0);
  for (int j = 0; j < kS; ++j)
    for (int i = std::max(0, j - half); i <= std::min(kS - 1, j + half); ++i)
      want[j] += 0.5 * r[j - i + half] * burst[i];
  for (int j = 0; j < kS; ++j) ASSERT_NEAR(wave.m_pSamples[j], want[j], 2.0) << j;

  // The burst's peak and its onset (the first sample beyond a tenth of the peak) stay
  // where they were.
  auto peakAndOnset = [](const std::vector<double>& y) {
    int peak = 0;
    for (int j = 0; j < static_cast<int>(y.size()); ++j)
      if (std::fabs(y[j]) > std::fabs(y[peak])) peak = j;
    int onset = 0;
    while (std::fabs(y[onset]) < 0.1 * std::fabs(y[peak])) ++onset;
    return std::pair{peak, onset};
  };
  std::vector<double> got(wave.m_pSamples.begin(), wave.m_pSamples.end());
  const auto [rawPeak, rawOnset] = peakAndOnset(burst);
  const auto [peak, onset] = peakAndOnset(got);
  EXPECT_NEAR(peak, rawPeak, 1);
  EXPECT_NEAR(onset, rawOnset, 1);
  EXPECT_NE(wave.m_pSamples, raw);
}

TEST_F(WaveEvents, BandPassToggleRefiltersAndLoadNextFilters) {
  Open(0);
  plat::testing::ScriptedUi ui;
  CAEWave& wave = *doc.m_pWave;
  const std::vector<std::int16_t> raw = wave.m_pSamples;
  OnNextDialog(DesignBandPass);
  Run(CWaveView::ID_OPT_BANDPASS);  // on: the dialog, then the filtering
  EXPECT_EQ(view.m_bBandPass, 1);
  EXPECT_EQ(Update(CWaveView::ID_OPT_BANDPASS).m_nCheck, 1);
  const std::vector<std::int16_t> once = wave.m_pSamples;
  EXPECT_NE(once, raw);
  Run(CWaveView::ID_OPT_BANDPASS);  // off: nothing else
  EXPECT_EQ(wave.m_pSamples, once);
  OnNextDialog(DesignBandPass);
  Run(CWaveView::ID_OPT_BANDPASS);  // on again: filtered once more
  EXPECT_NE(wave.m_pSamples, once);
  // Every event loaded while the toggle is on arrives filtered.
  Run(CWaveView::ID_FILE_LOADNEXT);
  ASSERT_EQ(wave.m_nEvent, 1);
  CAEWave fresh;
  ASSERT_TRUE(fresh.Load(dir + "/CUBE.00/000001.WAV"));
  EXPECT_NE(wave.m_pSamples, fresh.m_pSamples);
}

TEST_F(WaveEvents, FilterDialogRefusesEdgesAboveNyquistAndCancelChangesNothing) {
  Open(0);
  plat::testing::ScriptedUi ui;
  CAEWave& wave = *doc.m_pWave;
  wave.m_pHeader->nRate = 200;
  const std::vector<std::int16_t> raw = wave.m_pSamples;
  const float fH = doc.m_pHypo->m_fFiltHigh;
  ui.ExpectMessage("between 0 and 100", IDOK);
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "1052", "150");
    Click(dlg, "1");
    EXPECT_TRUE(dlg->isVisible());
    dlg->reject();  // closed without OK
  });
  Run(CWaveView::ID_OPT_CREATEFILTER);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_EQ(doc.m_pHypo->m_fFiltHigh, fH);
  EXPECT_EQ(wave.m_pSamples, raw);
  EXPECT_TRUE(host.updates.empty());
}

TEST_F(WaveEvents, FailedDesignLeavesTheSamplesUntouched) {
  Open(0);
  plat::testing::ScriptedUi ui;
  const std::vector<std::int16_t> raw = doc.m_pWave->m_pSamples;
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "1042", "1");  // the stop edge at Nyquist: no design
    SetEdit(dlg, "1052", "2");
    SetEdit(dlg, "1056", "5");
    Click(dlg, "1");
  });
  Run(CWaveView::ID_OPT_CREATEFILTER);
  EXPECT_EQ(doc.m_pWave->m_pSamples, raw);
  EXPECT_EQ(host.Hints().back(), 5);
}

TEST(FilterDialog, FieldVisibilityFollowsTheType) {
  plat::testing::EnsureQtApp();
  struct Case {
    int type;
    bool fP, fL, fH, fS;
  };
  const Case cases[] = {{0, false, false, true, true},
                        {1, true, true, false, false},
                        {2, false, true, true, true},
                        {3, false, true, true, true}};
  for (const Case& c : cases) {
    const CDlgFft::Visible v = CDlgFft::VisibleFields(c.type);
    EXPECT_EQ(v.fP, c.fP) << c.type;
    EXPECT_EQ(v.fL, c.fL) << c.type;
    EXPECT_EQ(v.fH, c.fH) << c.type;
    EXPECT_EQ(v.fS, c.fS) << c.type;
  }
  // The dialog applies it when the selection changes.
  CDlgFft dlg;
  dlg.m_nType = 2;
  int type = -1;
  OnNextDialog([&](QDialog* d) {
    auto* combo = d->findChild<QComboBox*>("1003");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), "Band-Pass");
    combo->setCurrentIndex(0);
    EXPECT_FALSE(d->findChild<QLineEdit*>("1005")->isVisibleTo(d));
    EXPECT_FALSE(d->findChild<QLineEdit*>("1042")->isVisibleTo(d));
    EXPECT_TRUE(d->findChild<QLineEdit*>("1052")->isVisibleTo(d));
    combo->setCurrentIndex(1);
    EXPECT_TRUE(d->findChild<QLineEdit*>("1005")->isVisibleTo(d));
    EXPECT_FALSE(d->findChild<QLineEdit*>("1056")->isVisibleTo(d));
    Click(d, "1");
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  type = dlg.m_nType;
  EXPECT_EQ(type, 1);
}

// ---------------------------------------------------------------------------------------
// Catalogue batch utilities

namespace {

int CountLines(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) ++n;
  return n;
}

// Fills the "Selection" page of the sheet and presses OK.
std::function<void(QDialog*)> Selection(int from, int m, int to) {
  return [=](QDialog* dlg) {
    SetEdit(dlg, "1145", QString::number(from));
    SetEdit(dlg, "1465", QString::number(m));
    SetEdit(dlg, "1434", QString::number(to));
    Click(dlg, "1");
  };
}

}  // namespace

TEST(TimeShift, AddsFiveThousandFourHundredTwentyFourAndAHalfSeconds) {
  struct Case {
    int sec, usec, wantSec, wantUsec;
  };
  const Case cases[] = {{10, 600000, 5435, 100000},
                        {10, 500000, 5434, 1000000},  // exactly 1 000 000 is kept
                        {0, 0, 5424, 500000}};
  for (const Case& c : cases) {
    AEWHeader h{};
    h.nSec = c.sec;
    h.nUsec = c.usec;
    AE_ShiftEventTime(&h);
    EXPECT_EQ(h.nSec, c.wantSec) << c.usec;
    EXPECT_EQ(h.nUsec, c.wantUsec) << c.usec;
  }
}

TEST_F(WaveEvents, CreateAedProcessesTheRangeIntoCatalogueFileAndList) {
  Open(0);
  plat::testing::ScriptedUi ui;
  const std::string out = dir + "/aed.txt";
  ui.ExpectFileDialog(Prompt::SaveFile, "Specify AE data file", out);
  doc.m_EventList.clear();
  OnNextDialog(Selection(17, 5, 99999));
  Run(CWaveView::ID_WAVE_CREATEAED);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 19);
  int listed = 0;
  for (int e = 17; e <= 19; ++e) {
    const AEHRecord r = RecordOnDisk(e);
    EXPECT_GT(r.nArrivals, 0) << e;  // processed and written
    listed += r.nArrivals >= 5;
  }
  EXPECT_EQ(static_cast<int>(doc.m_EventList.size()), listed);
  EXPECT_EQ(CountLines(out), listed);
  EXPECT_GT(listed, 0);

  // The last number below the first: the first event opens, the file is opened for
  // appending, and nothing is processed.
  const std::string before = Catalogue();
  ui.ExpectFileDialog(Prompt::SaveFile, "Specify AE data file", out);
  OnNextDialog(Selection(3, 5, 2));
  Run(CWaveView::ID_WAVE_CREATEAED);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 3);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_EQ(CountLines(out), listed);
}

// A run that ends past its range (event 18 after the range 15 .. 17) shows the event it
// stands at, with its own record: the next command works on what the page shows. A
// locked record in the range is neither processed nor written.
TEST_F(WaveEvents, CreateAedLeavesLockedRecordsAndShowsTheEventItStopsAt) {
  LockRecord(16);
  Open(15);
  const std::string before = Catalogue();
  plat::testing::ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::SaveFile, "Specify AE data file", dir + "/aed.txt");
  OnNextDialog(Selection(15, 5, 17));
  Run(CWaveView::ID_WAVE_CREATEAED);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  const std::string after = Catalogue();
  EXPECT_EQ(after.substr(16 * kRecordBytes, kRecordBytes),
            before.substr(16 * kRecordBytes, kRecordBytes));
  EXPECT_TRUE(PaneSaid(ui, "locked"));
  ASSERT_EQ(doc.m_pWave->m_nEvent, 18);
  EXPECT_EQ(host.title, dir + plat_Format(18));
  EXPECT_EQ(host.Hints().back(), 31);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nIndex, 18);
  EXPECT_EQ(doc.m_nCurAE, 18);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nTimeSec, RecordOnDisk(18).nTimeSec);
}

TEST_F(WaveEvents, CreateAedCancelledSheetWritesNothing) {
  Open(0);
  plat::testing::ScriptedUi ui;
  const std::string before = Catalogue();
  OnNextDialog([](QDialog* dlg) { Click(dlg, "2"); });
  Run(CWaveView::ID_WAVE_CREATEAED);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 0);
}

TEST_F(WaveEvents, NoiseScanWritesOneLinePerEventUntilCancel) {
  Open(17);
  plat::testing::ScriptedUi ui;
  const std::string out = dir + "/noise.kv0";
  ui.ExpectFileDialog(Prompt::SaveFile, "Save to KV0 file", out);
  ui.ExpectMessage("Can not load: 20, Skip?", IDCANCEL);
  Run(CWaveView::ID_WAVE_NOISESCAN);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_EQ(CountLines(out), 3 + 3);
  std::ifstream in(out);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.rfind("KVDATA01 Noise LEVEL of chn#32 ", 0), 0u);
  EXPECT_TRUE(host.modified);
  EXPECT_EQ(host.Hints().back(), 15);
}

TEST_F(WaveEvents, TimeShiftRewritesTheFollowingEventFiles) {
  Open(18);
  plat::testing::ScriptedUi ui;
  CAEWave before18, before19;
  ASSERT_TRUE(before18.Load(dir + "/CUBE.00/000018.WAV"));
  ASSERT_TRUE(before19.Load(dir + "/CUBE.00/000019.WAV"));
  Run(CWaveView::ID_WAVE_TIMESHIFT);
  CAEWave after18, after19;
  ASSERT_TRUE(after18.Load(dir + "/CUBE.00/000018.WAV"));
  ASSERT_TRUE(after19.Load(dir + "/CUBE.00/000019.WAV"));
  for (auto [b, a] : {std::pair{&before18, &after18}, std::pair{&before19, &after19}}) {
    const double shift = (a->m_pHeader->nSec - b->m_pHeader->nSec) +
                         (a->m_pHeader->nUsec - b->m_pHeader->nUsec) * 1e-6;
    EXPECT_NEAR(shift, 5424.5, 1e-6);
    EXPECT_EQ(a->m_pSamples, b->m_pSamples);
  }
  EXPECT_TRUE(host.modified);
}

// ---------------------------------------------------------------------------------------
// Velocity calibration

TEST_F(WaveEvents, VelocityDialogOpensOnTheCurrentRecordAndWrapsItsIndex) {
  Open(0);
  plat::testing::ScriptedUi ui;
  CAEHypo& h = *doc.m_pHypo;
  h.ClearCalibEvents();
  h.m_Rec.fX = 1.5f;
  Run(CWaveView::ID_UTIL_VELDIALOG);  // an empty list first takes the current record
  ASSERT_TRUE(view.m_pDlgInverse);
  CDlgInverse& dlg = *view.m_pDlgInverse;
  EXPECT_EQ(h.m_CalibList.size(), 1u);
  EXPECT_EQ(dlg.m_nIndex, 0);
  EXPECT_FLOAT_EQ(dlg.m_fX, 1.5f);
  EXPECT_TRUE(dlg.isVisible());
  for (float x : {2.5f, 3.5f}) {
    h.m_Rec.fX = x;
    Run(CWaveView::ID_UTIL_MARKSI);
  }
  Run(CWaveView::ID_UTIL_VELDIALOG);
  EXPECT_EQ(dlg.m_nEvents, 3);
  EXPECT_EQ(dlg.m_nIndex, 2);
  EXPECT_FLOAT_EQ(dlg.m_fX, 3.5f);
  dlg.OnNext();
  EXPECT_EQ(dlg.m_nIndex, 0);
  EXPECT_FLOAT_EQ(dlg.m_fX, 1.5f);
  dlg.OnPrevious();
  EXPECT_EQ(dlg.m_nIndex, 2);
  // "Application" takes the members as they stand, not an edit not yet stored.
  dlg.m_fVx = 5.0f;
  dlg.findChild<QLineEdit*>("926")->setText("6");
  dlg.OnApply();
  EXPECT_DOUBLE_EQ(h.m_dVCalib[0], 5.0);
  // An edit is stored into the record by the next button.
  dlg.findChild<QLineEdit*>("904")->setText("9");
  dlg.OnNext();
  EXPECT_FLOAT_EQ(h.GetCalibEvent(2)->fX, 9.0f);
  Run(CWaveView::ID_UTIL_CLEARSI);
  dlg.OnNext();  // nothing to show: does nothing
  EXPECT_TRUE(h.m_CalibList.empty());
}

// ---------------------------------------------------------------------------------------
// Waveform file utilities

TEST_F(WaveEvents, RenumberingWritesNumberedFilesAndOpensAFolderPerThousand) {
  Open(17);
  plat::testing::ScriptedUi ui;
  // The dialog's path holds at most 64 characters.
  const std::string out = ShortRunFolder() + "/renumber";
  fs::remove_all(out);
  fs::create_directories(out + "/SET.00");
  OnNextDialog([&](QDialog* dlg) {
    SetEdit(dlg, "770", "SET");
    SetEdit(dlg, "771", QString::fromStdString(out));
    SetEdit(dlg, "773", "999");
    Click(dlg, "1");
  });
  ui.ExpectMessage("Can not load: 20, Skip?", IDCANCEL);
  Run(CWaveView::ID_WAVE_RENUMBER);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_TRUE(fs::exists(out + "/SET.00/000999.WAV"));
  EXPECT_TRUE(fs::exists(out + "/SET.01/001000.WAV"));  // the folder of the next thousand
  EXPECT_TRUE(fs::exists(out + "/SET.01/001001.WAV"));
  CAEWave w;
  ASSERT_TRUE(w.Load(out + "/SET.01/001001.WAV"));
  CAEWave src;
  ASSERT_TRUE(src.Load(dir + "/CUBE.00/000019.WAV"));
  EXPECT_EQ(w.m_pSamples, src.m_pSamples);
  EXPECT_EQ(w.m_pHeader->nEvent16, 1001);
}

TEST_F(WaveEvents, ShootingRunRenamesFilesAndKeepsExistingTargets) {
  Open(0);
  plat::testing::ScriptedUi ui;
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "1070", "5,6");
    SetEdit(dlg, "1072", "3");
    Click(dlg, "1");
  });
  Run(CWaveView::ID_WAVE_SHOOTRUN);
  const std::string folder = dir + "/CUBE.00/";
  // The extension is kept as the current path spells it.
  const auto exists = [&](const std::string& name) {
    return fs::exists(folder + name + ".WAV") || fs::exists(folder + name + ".wav");
  };
  EXPECT_TRUE(exists("003_P05"));
  EXPECT_TRUE(exists("003_P06"));
  EXPECT_FALSE(fs::exists(folder + "000000.WAV"));
  EXPECT_FALSE(fs::exists(folder + "000001.WAV"));
  EXPECT_EQ(view.m_nShootNo, 4);
  EXPECT_EQ(view.m_strShootPZT, "5,6");
  // The same number again: the target exists, nothing is replaced.
  const std::string p05 =
      folder + (fs::exists(folder + "003_P05.WAV") ? "003_P05.WAV" : "003_P05.wav");
  const std::string kept = ReadBytes(p05);
  OnNextDialog([](QDialog* dlg) {
    SetEdit(dlg, "1072", "3");
    Click(dlg, "1");
  });
  Run(CWaveView::ID_WAVE_SHOOTRUN);
  EXPECT_EQ(ReadBytes(p05), kept);
  EXPECT_TRUE(fs::exists(folder + "000002.WAV"));
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_NE(ui.PaneTexts().back().text.find("exists"), std::string::npos);
  // More than 32 entries are refused.
  ui.ExpectMessage("At most 32", IDOK);
  OnNextDialog([](QDialog* dlg) {
    QString list;
    for (int i = 0; i < 33; ++i) list += QString::number(i) + ",";
    SetEdit(dlg, "1070", list);
    SetEdit(dlg, "1072", "7");
    Click(dlg, "1");
  });
  Run(CWaveView::ID_WAVE_SHOOTRUN);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_TRUE(fs::exists(folder + "000002.WAV"));
}

namespace {

// A short temp folder for a written set (the dialog's path holds at most 64 characters).
std::string OutFolder(const std::string& leaf) {
  const std::string out = ShortRunFolder() + "/" + leaf;
  fs::remove_all(out);
  fs::create_directories(out);
  return out;
}

void AnswerFileSet(const std::string& id, const std::string& out, int startAE) {
  OnNextDialog([=](QDialog* dlg) {
    SetEdit(dlg, "770", QString::fromStdString(id));
    SetEdit(dlg, "771", QString::fromStdString(out));
    SetEdit(dlg, "773", QString::number(startAE));
    Click(dlg, "1");
  });
}

}  // namespace

TEST_F(WaveEvents, TimeMarkCorrectionCarriesTheClockOverAReset) {
  // Seconds counts 100, 160, 5 (the recorder's mark was reset) and 65, one minute apart.
  const int secs[] = {100, 160, 5, 65};
  for (int i = 0; i < 4; ++i) {
    CAEWave w;
    const std::string path = dir + plat_Format(i);
    ASSERT_TRUE(w.Load(path));
    w.m_pHeader->nSec = secs[i];
    w.m_pHeader->nYear = 2026;
    w.m_pHeader->nMonth = 3;
    w.m_pHeader->nDay = 4;
    w.m_pHeader->nHour = 10;
    w.m_pHeader->nMinute = static_cast<std::int16_t>(20 + i);
    w.m_pHeader->nSecond = 0;
    ASSERT_TRUE(w.SaveAs(path));
  }
  // The last source event ends the walk.
  for (int i = 4; i < 20; ++i) fs::remove(dir + plat_Format(i));
  Open(0);
  plat::testing::ScriptedUi ui;
  const std::string out = OutFolder("tv_timemark");
  AnswerFileSet("TM", out, 0);
  ui.ExpectMessage("Can not load: 4, Skip?", IDCANCEL);
  Run(CWaveView::ID_WAVE_TIMEMARK);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  const int corrected[] = {100, 160, 220, 280};
  for (int i = 0; i < 4; ++i) {
    CAEWave w;
    ASSERT_TRUE(w.Load(out + plat_Format(i).replace(1, 4, "TM"))) << i;
    EXPECT_EQ(w.m_pHeader->nSec, corrected[i]) << i;
    EXPECT_EQ(w.m_pHeader->nEvent, i);
    EXPECT_GT(RecordOnDisk(i).nArrivals, 0) << i;  // the catalogue got the event
  }
  // The last written event is shown, from the written set.
  EXPECT_EQ(doc.m_pWave->m_nEvent, 3);
  EXPECT_EQ(doc.m_pWave->m_pHeader->nSec, 280);
  ASSERT_FALSE(host.updates.empty());
  EXPECT_EQ(host.updates.back().hint, 15);
}

// The correction writes the record of source event k as catalogue event n: the catalogue
// must take it at position n and stay writable when it is opened again.
TEST_F(WaveEvents, TimeMarkCorrectionLeavesACatalogueThatReopensForWriting) {
  for (int i = 3; i < 20; ++i) fs::remove(dir + plat_Format(i));
  Open(0);
  {
    plat::testing::ScriptedUi ui;
    const std::string out = OutFolder("tv_timemark_reopen");
    AnswerFileSet("TM", out, 1000);  // written as 1000..1002 into TM.01
    ui.ExpectMessage("Can not load: 3, Skip?", IDCANCEL);
    Run(CWaveView::ID_WAVE_TIMEMARK);
    EXPECT_EQ(ui.PendingExpectations(), 0u);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Can not load: 3, Skip?"});
  }
  const int recSize = doc.m_pHypo->m_nRecSize;
  const std::string bytes = Catalogue();
  ASSERT_EQ(static_cast<int>(bytes.size()), 1003 * recSize);
  for (int n = 1000; n < 1003; ++n) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + n * recSize + 112;
    EXPECT_EQ(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24, n);  // little-endian index field
  }
  CAEHypo again;
  plat::testing::ScriptedUi ui;
  ASSERT_EQ(again.LoadPad(dir + "/Cube.pad", false), 1);
  EXPECT_TRUE(ui.MessageTexts().empty());
  EXPECT_EQ(again.m_bReadOnly, 0);
}

TEST_F(WaveEvents, PolarityCorrectionNegatesTheChannelsOfMinusSensors) {
  for (int i = 2; i < 20; ++i) fs::remove(dir + plat_Format(i));
  Open(0);
  doc.m_pHypo->m_pSensorName[3] = "-";
  doc.m_pHypo->m_pSensorName[5] = "--";  // only a lone "-" marks a reversed sensor
  plat::testing::ScriptedUi ui;
  const std::string out = OutFolder("tv_polarity");
  fs::create_directories(out + "/POL.00");  // a set's folder is made only at its first number
  AnswerFileSet("POL", out, 10);
  Run(CWaveView::ID_WAVE_POLARITY);
  for (int i = 0; i < 2; ++i) {
    CAEWave src, w;
    ASSERT_TRUE(src.Load(dir + plat_Format(i)));
    ASSERT_TRUE(w.Load(out + plat_Format(10 + i).replace(1, 4, "POL"))) << i;
    const std::size_t ns = static_cast<std::size_t>(src.m_pHeader->nSamples);
    for (std::size_t k = 0; k < src.m_pSamples.size(); ++k) {
      const int c = static_cast<int>(k / ns);
      EXPECT_EQ(w.m_pSamples[k], c == 3 ? -src.m_pSamples[k] : src.m_pSamples[k]) << k;
      if (HasFailure()) return;
    }
  }
}

TEST_F(WaveEvents, ChannelGroupRepairTakesChannelsFromTheNextTwoFiles) {
  // Five 32-channel events whose every sample tells its file and channel.
  fs::create_directories(dir + "/R32.00");
  for (int f = 0; f < 5; ++f) {
    CAEWave w;
    ASSERT_TRUE(w.Allocate(32, 64, 10));
    for (int c = 0; c < 32; ++c)
      for (int s = 0; s < 64; ++s)
        w.m_pSamples[c * 64 + s] = static_cast<std::int16_t>(f * 100 + c);
    ASSERT_TRUE(w.SaveAs(dir + plat::Format("/R32.00/%06d.WAV", f)));
  }
  plat::testing::ScriptedUi open;
  open.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
  ASSERT_TRUE(doc.OnOpenDocument(dir + "/R32.00/000000.WAV"));
  view.SetData(&doc);
  plat::testing::ScriptedUi ui;
  const std::string out = OutFolder("tv_repair");
  AnswerFileSet("FIX", out, 0);
  Run(CWaveView::ID_WAVE_REPAIR);
  // Written: events 0, 1 and 2 (event 3 would need file 5).
  for (int n = 0; n < 3; ++n) {
    CAEWave w;
    ASSERT_TRUE(w.Load(out + plat::Format("/FIX.00/%06d.WAV", n))) << n;
    for (int c = 0; c < 32; ++c) {
      const int from = c < 8 ? n : (c < 16 ? n + 2 : n + 1);
      EXPECT_EQ(w.m_pSamples[c * 64 + 5], from * 100 + c) << n << " " << c;
    }
  }
  EXPECT_FALSE(fs::exists(out + "/FIX.00/000003.WAV"));
  // Records of fewer channels have no groups to exchange: nothing is written.
  Open(0);
  const std::string none = OutFolder("tv_repair16");
  AnswerFileSet("FIX", none, 0);
  Run(CWaveView::ID_WAVE_REPAIR);
  EXPECT_FALSE(fs::exists(none + "/FIX.00"));
  EXPECT_NE(ui.PaneTexts().back().text.find("32 channels"), std::string::npos);
}

TEST_F(WaveEvents, OldLayoutConversionWalksTheOldFolders) {
  // Old files: a 56-byte header (counts at byte 34) and unsigned 12-bit samples.
  const std::string old = dir + "/old/ABCDEFGH.002/ABCDEFGH.20";
  fs::create_directories(old);
  for (int k = 2000; k < 2002; ++k) {
    std::string bytes(56, '\0');
    auto put = [&](int at, int v) {
      bytes[at] = static_cast<char>(v & 0xff);
      bytes[at + 1] = static_cast<char>((v >> 8) & 0xff);
    };
    put(34, 2);    // channels
    put(36, 12);   // ADC bits
    put(38, 100);  // samples per channel
    put(40, 10);   // rate
    put(42, k);
    for (int i = 0; i < 200; ++i) {
      bytes += static_cast<char>((2048 + i + k) & 0xff);
      bytes += static_cast<char>(((2048 + i + k) >> 8) & 0xff);
    }
    std::ofstream(old + plat::Format("/%d.wav", k), std::ios::binary) << bytes;
  }
  Open(0);
  plat::testing::ScriptedUi ui;
  ui.ExpectFolder("Select the ist folder", dir + "/old/ABCDEFGH.002");
  Run(CWaveView::ID_WAVE_OLDTONEW);
  for (int k = 2000; k < 2002; ++k) {
    CAEWave w;
    ASSERT_TRUE(w.Load(dir + plat::Format("/old/ABCDEFGH.02/%06d.WAV", k))) << k;
    EXPECT_EQ(w.m_pSamples[7], 7 + k) << k;  // unsigned 2048 + v read as v
  }
  EXPECT_FALSE(fs::exists(dir + "/old/ABCDEFGH.02/002002.WAV"));
  // A folder name too short to hold a name and a number is refused.
  ui.ExpectFolder("Select the ist folder", dir + "/old/ABC.002");
  ui.ExpectMessage("ABCDEFGH.000", IDOK);
  Run(CWaveView::ID_WAVE_OLDTONEW);
  EXPECT_EQ(ui.PendingExpectations(), 0u);
}
