#include "aecore/document/TremviaDoc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "aecore/document/SynthExperiment_testkit.h"
#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"

namespace {

using plat::testing::FakeDocumentHost;
using plat::testing::Prompt;
using plat::testing::ScriptedUi;

std::string FreshDir(const std::string& name) {
  std::string dir = std::string(TV_TEST_TMPDIR) + "/" + name;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir);
  plat::InvalidateFolderCache();
  return dir;
}

synth::Experiment MakeExperiment(const std::string& name, int events) {
  synth::Experiment e;
  e.dir = FreshDir(name);
  e.WritePad();
  for (int i = 0; i < events; ++i) e.WriteEvent(i, {3.0 * i - 10, 5.0 - 2 * i, 4.0 * i - 8});
  return e;
}

bool HasMessage(const ScriptedUi& ui, const std::string& part) {
  for (const auto& t : ui.MessageTexts())
    if (t.find(part) != std::string::npos) return true;
  return false;
}

TEST(TremviaDoc, ConstructionOwnsTheLongLivedObjects) {
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  EXPECT_TRUE(doc.m_pHypo && doc.m_pPeak[0] && doc.m_pPeak[1]);
  EXPECT_EQ(doc.GetPeak(0), doc.m_pPeak[0].get());
  EXPECT_EQ(doc.GetPeak(7), doc.m_pPeak[1].get());
  EXPECT_FALSE(doc.m_pWave || doc.m_pStress);
  EXPECT_EQ(doc.m_pSheet[0]->m_nColumnCapacity, 101);
  EXPECT_EQ(doc.m_pSheet[0]->m_pSubTable->m_nRowCapacity, 201);
  EXPECT_EQ(doc.m_pCurSheet, doc.m_pSheet[0].get());
  EXPECT_EQ(doc.m_fTimeSpan, 36000.0);
}

TEST(TremviaDoc, WindowLengthInWholeHours) {
  for (auto [t, h] :
       std::vector<std::pair<double, double>>{{9000, 10800}, {1800, 3600}, {7200, 7200}, {0, 3600}})
    EXPECT_EQ(AE_WindowHours(t), h) << t;
}

TEST(TremviaDoc, OpeningTheParameterFileReadsItsSideFiles) {
  synth::Experiment e = MakeExperiment("padopen", 0);
  std::string base = e.dir + "/SYN.";
  // A good first peak file, a damaged second one, a stress file.
  CAEPeak pk;
  pk.Alloc(2);
  pk.m_nCount = 2;
  pk.m_pSec = {10, 20};
  pk.m_pUSec = {0, 0};
  pk.m_pLevel = {4, 8};
  pk.m_pFlag = {1, 1};
  ASSERT_EQ(pk.Save(base + "PK1", 0, 100), 1);
  std::ofstream(base + "PK2", std::ios::binary) << "PKF1\x09";
  std::ofstream(base + "STS")
      << "[BASE TIME]20/01/01 10:00:00\n10:00:00 10 200 1 2 3 4 5 6 7 8 9 10 11 12\n";

  FakeDocumentHost host;
  CTremviaDoc doc(host);
  doc.GetPeak(1)->Alloc(1);
  doc.GetPeak(1)->m_nCount = 1;
  ScriptedUi ui;
  ui.ExpectMessage("open failed!, create??", IDYES);
  ASSERT_TRUE(doc.OnOpenDocument(e.PadPath()));
  EXPECT_EQ(doc.m_bLoaded, 1);
  EXPECT_TRUE(doc.m_pWave);
  EXPECT_EQ(doc.m_pWave->GetNumChannels(), 0);
  EXPECT_TRUE(doc.m_pHypo->m_fpAEH);
  EXPECT_EQ(doc.m_pHypo->m_nSensors, 16);
  EXPECT_EQ(doc.m_fTimeStart, 0.0);
  EXPECT_EQ(doc.m_fTimeSpan, 10800.0);  // 2.5 h from the reference to the end time
  EXPECT_EQ(doc.GetPeak(0)->m_nCount, 2);
  EXPECT_EQ(doc.GetPeak(1)->m_nCount, 1);  // the damaged file left the list alone
  EXPECT_TRUE(HasMessage(ui, "PK2 could not be read"));
  ASSERT_TRUE(doc.m_pStress);
  EXPECT_EQ(doc.m_pStress->m_nSamples, 1);
  std::tm ref{};
  ref.tm_year = 120;
  ref.tm_mday = 1;
  ref.tm_hour = 10;
  ref.tm_isdst = -1;
  EXPECT_EQ(doc.GetPeak(0)->m_tStart, plat::MakeLocalTime(ref).value());
  EXPECT_FALSE(host.modified);
  EXPECT_EQ(doc.m_pHypo->m_pTemplates, &doc.m_Templates);
  EXPECT_EQ(doc.m_Templates.m_nWindow, doc.m_pHypo->m_nCCWindow);
  EXPECT_FLOAT_EQ(doc.m_Templates.m_fThreshold, doc.m_pHypo->m_fCCMin);
}

// Files the program makes beside the parameter file keep the case of its name; existing
// ones are found whatever their case.
TEST(TremviaDoc, NamesMadeFromTheParameterFileKeepItsCase) {
  synth::Experiment e = MakeExperiment("namecase", 0);
  const std::string pad = e.dir + "/cyl60.pad";
  std::filesystem::rename(e.PadPath(), pad);
  CAEPeak pk;
  pk.Alloc(1);
  pk.m_nCount = 1;
  pk.m_pSec = {10};
  pk.m_pUSec = {0};
  pk.m_pLevel = {4};
  pk.m_pFlag = {1};
  ASSERT_EQ(pk.Save(e.dir + "/CYL60.PK1", 0, 100), 1);
  plat::InvalidateFolderCache();
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectMessage("cyl60.aeh open failed!, create??", IDYES);
  ASSERT_TRUE(doc.OnOpenDocument(pad));
  EXPECT_EQ(doc.m_strParFile, pad);
  EXPECT_TRUE(std::filesystem::exists(e.dir + "/cyl60.aeh"));
  EXPECT_FALSE(std::filesystem::exists(e.dir + "/CYL60.aeh"));
  EXPECT_EQ(doc.GetPeak(0)->m_nCount, 1);  // CYL60.PK1 found beside cyl60.pad

  // An event list's parameter file is found whatever its case and named as on disk.
  std::filesystem::rename(e.dir + "/cyl60.aeh", e.dir + "/x.keep");
  std::ofstream(e.dir + "/cyl60.lst") << "a\nb\nc\nd\n1 9000.5 1 2 3 -7 0 0 0 9\n";
  plat::InvalidateFolderCache();
  CTremviaDoc list(host);
  ui.ExpectMessage("cyl60.aeh open failed!, create??", IDYES);
  ASSERT_TRUE(list.OnOpenDocument(e.dir + "/cyl60.lst"));
  EXPECT_EQ(list.m_strParFile, pad);
  EXPECT_TRUE(std::filesystem::exists(e.dir + "/cyl60.aeh"));
}

TEST(TremviaDoc, WaveformOpenReadsTheRecordAndStepsThroughTheEvents) {
  synth::Experiment e = MakeExperiment("steps", 3);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  {  // a catalogue with a record for event 1
    ScriptedUi ui;
    ui.ExpectMessage("open failed!, create??", IDYES);
    ASSERT_TRUE(doc.OnOpenDocument(e.PadPath()));
    doc.m_pHypo->m_Rec = AEHRecord{};
    for (int k = 0; k < 16; ++k) doc.m_pHypo->m_Rec.nSensor[k] = static_cast<std::int8_t>(k);
    doc.m_pHypo->m_Rec.fTime[0] = 42.0f;
    doc.m_pHypo->m_Rec.nPolarity[0] = 1;
    ASSERT_EQ(doc.m_pHypo->PutAEH(1, true), 1);
  }
  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", e.PadPath());
  ASSERT_TRUE(doc.OnOpenDocument(e.EventPath(0)));
  ASSERT_TRUE(doc.m_pWave);
  EXPECT_EQ(doc.m_pWave->GetNumChannels(), 16);
  EXPECT_EQ(doc.m_nCurAE, 0);
  EXPECT_EQ(doc.m_EventList.size(), 2u);  // records 0 and 1 of the catalogue
  host.updates.clear();

  ASSERT_EQ(doc.StepEvent(1), 1);
  EXPECT_EQ(doc.m_nCurAE, 1);
  EXPECT_FLOAT_EQ(doc.m_pWave->m_pPickTime[0], 42.0f);
  EXPECT_EQ(host.Hints(), std::vector<LONG>{31});
  EXPECT_EQ(ui.Beeps().back(), MB_SIMPLEBEEP);
  EXPECT_NE(host.title.find("000001"), std::string::npos);

  ASSERT_EQ(doc.StepEvent(1), 1);  // event 2 has no record: it starts from an empty one
  EXPECT_EQ(doc.m_pHypo->m_Rec.fTime[0], 0.0f);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nIndex, 2);
  host.updates.clear();
  EXPECT_EQ(doc.StepEvent(1), 0);  // the last event: nothing moves, no hint
  EXPECT_TRUE(host.updates.empty());
  EXPECT_EQ(doc.m_nCurAE, 2);
  // ... but the status bar says why.
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().pane, 0);
  EXPECT_EQ(ui.PaneTexts().back().text, "No event file after event 2");
}

// Cancelling the question for the parameter file keeps the experiment in use: its
// parameters, catalogue and window stay, the waveform is read, and a pick made afterwards
// is saved into the event's own record.
TEST(TremviaDoc, CancellingTheParametersKeepsTheOpenCatalogue) {
  synth::Experiment e = MakeExperiment("cancel", 2);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  {
    ScriptedUi ui;
    ui.ExpectMessage("open failed!, create??", IDYES);
    ASSERT_TRUE(doc.OnOpenDocument(e.PadPath()));
  }
  CAEHypo& h = *doc.m_pHypo;
  for (int i = 0; i < 2; ++i) {
    h.ClearRecord(i, nullptr);
    h.m_Rec.fX = 10.0f + i;
    h.m_Rec.nFlags = static_cast<std::uint8_t>(i == 0 ? AEH_FLAG_LOCKED : 0);
    ASSERT_EQ(h.PutAEH(i, false), 1);
  }
  ASSERT_TRUE(h.GetAEH(0));  // the locked record is the current one
  doc.m_fTimeStart = 120.0;
  const std::string pad = doc.m_strParFile;

  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", std::nullopt);
  ASSERT_TRUE(doc.OnOpenDocument(e.EventPath(1)));
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_TRUE(ui.MessageTexts().empty());
  EXPECT_EQ(doc.m_pWave->GetNumChannels(), 16);
  EXPECT_EQ(h.m_nSensors, 16);
  ASSERT_TRUE(h.m_fpAEH);
  EXPECT_EQ(doc.m_strParFile, pad);
  EXPECT_EQ(doc.m_fTimeStart, 120.0);
  EXPECT_EQ(doc.m_nCurAE, 1);
  EXPECT_EQ(h.m_Rec.fX, 11.0f);  // event 1's record, not the locked one of event 0
  h.m_Rec.fTime[0] = 33.0f;
  EXPECT_EQ(h.PutAEH(doc.m_pWave->m_nEvent, true), 1);
  AEHRecord back{};
  ASSERT_TRUE(h.GetAEH(1, &back));
  EXPECT_EQ(back.fTime[0], 33.0f);
  EXPECT_EQ(back.fX, 11.0f);
}

TEST(TremviaDoc, BadInputIsReportedAndKeepsTheState) {
  synth::Experiment e = MakeExperiment("bad", 1);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", std::nullopt);
  ASSERT_TRUE(doc.OnOpenDocument(e.EventPath(0)));
  CAEWave* wave = doc.m_pWave.get();

  EXPECT_FALSE(doc.OnOpenDocument(e.dir + "/missing.wav"));  // cannot be opened at all
  // A damaged event file (a header claiming more samples than it holds is still read;
  // an empty one is not).
  std::ofstream(e.dir + "/empty.wav", std::ios::binary).put('\0');
  EXPECT_FALSE(doc.OnOpenDocument(e.dir + "/empty.wav"));
  EXPECT_TRUE(HasMessage(ui, "could not be read"));
  // An event list whose parameter file is missing.
  std::ofstream(e.dir + "/list.lst") << "h\nh\nh\nh\n1 10.0 1 2 3 -7 0 0 0 9\n";
  EXPECT_FALSE(doc.OnOpenDocument(e.dir + "/list.lst"));
  EXPECT_TRUE(HasMessage(ui, "was not found"));
  EXPECT_EQ(doc.m_pWave.get(), wave);
  EXPECT_TRUE(doc.m_EventList.empty());

  // A parameter file that fails to load: failure, and no catalogue stays attached.
  ScriptedUi ui2;
  ui2.ExpectFileDialog(Prompt::OpenFile, "Load parameters", e.PadPath());
  ui2.ExpectMessage("open failed!, create??", IDNO);
  EXPECT_FALSE(doc.OnOpenDocument(e.EventPath(0)));
  EXPECT_FALSE(doc.m_pHypo->m_fpAEH);
  EXPECT_TRUE(HasMessage(ui2, "failed to load"));
}

// A parameter file that fails to load, however it is reached, leaves the experiment that is
// open as it was: its waveform, event list, catalogue and stepping. The message names the
// line of the file that is wrong.
TEST(TremviaDoc, AParameterFileThatFailsKeepsTheOpenExperiment) {
  synth::Experiment a = MakeExperiment("keep_a", 3);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", a.PadPath());
    ui.ExpectMessage("open failed!, create??", IDYES);
    ASSERT_TRUE(doc.OnOpenDocument(a.EventPath(0)));
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    ASSERT_TRUE(doc.ProcessCurrentEvent(2, true, 0, 0, 0, 0));
  }
  CAEHypo& h = *doc.m_pHypo;
  const CAEWave* wave = doc.m_pWave.get();
  const int records = h.GetNumAE();
  const int sensors = h.m_nSensors;
  ASSERT_EQ(records, 1);
  ASSERT_EQ(doc.m_EventList.size(), 1u);

  // A parameter file without its sensor-count line, beside an event and an event list.
  synth::Experiment b = MakeExperiment("keep_b", 1);
  std::string pad;
  {
    std::ifstream in(b.PadPath());
    pad.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string counts = std::to_string(synth::kSensors) + " 0 0\n";
  ASSERT_NE(pad.find(counts + "50 50 50 4 CUBE"), std::string::npos);
  pad.erase(pad.find(counts), counts.size());
  std::ofstream(b.PadPath()) << pad;
  std::ofstream(b.dir + "/SYN.lst") << "h\nh\nh\nh\n0 10.0 1 2 3 -7 0 0 0 9\n";
  // A sound parameter file whose catalogue the user declines to create.
  synth::Experiment c = MakeExperiment("keep_c", 1);

  struct Case {
    const char* what;
    std::string open, pad;   // the file opened; the answer for the parameter file
    bool declineCatalogue;
    const char* says;
  } cases[] = {
      {"parameter file", b.PadPath(), "", false, "line 7 should hold the sensor count"},
      {"waveform", b.EventPath(0), b.PadPath(), false, "line 7 should hold the sensor count"},
      {"event list", b.dir + "/SYN.lst", "", false, "line 7 should hold the sensor count"},
      {"declined catalogue", c.EventPath(0), c.PadPath(), true, "stays open"},
  };
  for (const Case& k : cases) {
    ScriptedUi ui;
    if (!k.pad.empty()) ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", k.pad);
    if (k.declineCatalogue) ui.ExpectMessage("open failed!, create??", IDNO);
    EXPECT_FALSE(doc.OnOpenDocument(k.open)) << k.what;
    EXPECT_TRUE(HasMessage(ui, k.says)) << k.what;
    EXPECT_TRUE(HasMessage(ui, "stays open")) << k.what;
    EXPECT_EQ(doc.m_pWave.get(), wave) << k.what;
    EXPECT_EQ(doc.m_EventList.size(), 1u) << k.what;
    EXPECT_EQ(doc.m_strParFile, a.PadPath()) << k.what;
    EXPECT_EQ(h.m_strParFile, a.PadPath()) << k.what;
    EXPECT_EQ(h.m_nSensors, sensors) << k.what;
    ASSERT_TRUE(h.m_fpAEH) << k.what;
    EXPECT_EQ(h.GetNumAE(), records) << k.what;
  }
  EXPECT_FALSE(std::filesystem::exists(c.dir + "/SYN.aeh"));
  // Stepping and saving go on in the experiment that stayed.
  ScriptedUi ui;
  ASSERT_EQ(doc.StepEvent(1), 1);
  doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
  ASSERT_TRUE(doc.ProcessCurrentEvent(2, true, 0, 0, 0, 0));
  EXPECT_EQ(h.GetNumAE(), 2);
  EXPECT_TRUE(ui.MessageTexts().empty());
}

TEST(TremviaDoc, EventListFromTheCatalogueAndFromAFile) {
  synth::Experiment e = MakeExperiment("list", 0);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectMessage("open failed!, create??", IDYES);
  ASSERT_TRUE(doc.OnOpenDocument(e.PadPath()));
  CAEHypo& h = *doc.m_pHypo;
  for (int i = 0; i < 4; ++i) {
    h.m_Rec = AEHRecord{};
    h.m_Rec.nArrivals = static_cast<std::int8_t>(4 + i);
    h.m_Rec.fX = static_cast<float>(i);
    h.m_Rec.nTimeSec = 100 + i;
    h.m_Rec.nTimeUs = 250000;
    h.m_Rec.nMecType = static_cast<std::int8_t>(i == 2 ? 5 : 0);
    h.m_Rec.nFlags = static_cast<std::uint8_t>(i == 3 ? AEH_FLAG_EM : AEH_FLAG_LOCATED);
    for (int k = 0; k < h.m_nSensors; ++k) {
      h.m_Rec.nSensor[k] = static_cast<std::int8_t>((k + i) % h.m_nSensors);
      h.m_Rec.nPolarity[k] = static_cast<std::int8_t>(i % 2 ? 1 : -1);
      h.m_Rec.fAmp[k] = static_cast<float>(10 * i + k);
    }
    ASSERT_EQ(h.PutAEH(i, true), 1);
  }
  ASSERT_EQ(h.GetAEH(0), 1);
  ASSERT_EQ(doc.BuildEventList(0, 999999, 5, 0), 1);
  // The list leaves the last record as the current one, arrivals included, not its
  // header over the arrivals of the record read before.
  EXPECT_EQ(h.m_Rec.nIndex, 3);
  EXPECT_EQ(h.m_Rec.nTimeSec, 103);
  EXPECT_EQ(h.m_Rec.nSensor[0], 3 % h.m_nSensors);
  EXPECT_EQ(h.m_Rec.nPolarity[0], 1);
  EXPECT_FLOAT_EQ(h.m_Rec.fAmp[1], 31.0f);
  ASSERT_EQ(doc.m_EventList.size(), 3u);
  EXPECT_EQ(doc.m_EventList[0]->record, 1);
  EXPECT_DOUBLE_EQ(doc.m_EventList[0]->time, 101.25);
  EXPECT_EQ(doc.m_EventList[1]->flags, AEH_FLAG_LOCATED | AEH_FLAG_MECHANISM);
  EXPECT_EQ(doc.m_nMinArrivals, 5);
  doc.m_nCurAE = 0;
  EXPECT_EQ(doc.NextFlaggedEvent(AEH_FLAG_EM), 3);
  EXPECT_EQ(doc.NextFlaggedEvent(0x40), -1);
  doc.BuildEventList(0, 999999, 0, 1);  // random positions inside the sample's range
  for (const auto& en : doc.m_EventList) {
    EXPECT_LE(std::fabs(en->x), 25.0f);
    EXPECT_LE(std::fabs(en->z), 50.0f);
  }

  std::string four = e.dir + "/four.txt", three = e.dir + "/three.txt";
  std::string rows =
      "7 12.5 1 2 3 -6.5 0.1 0.2 9 11\n8 13.5 4 5 6 -6.0 0 0 9 12\nend\n9 14 0 0 0 0 0 0 0 1\n";
  std::ofstream(four) << "a\nb\nc\nd\n" << rows;
  std::ofstream(three) << "a\nb\nc\n" << rows;
  ASSERT_EQ(doc.LoadEventList(four), 1);
  ASSERT_EQ(doc.m_EventList.size(), 2u);
  EXPECT_EQ(doc.m_EventList[0]->record, 7);
  EXPECT_EQ(doc.m_EventList[0]->arrivals, 11);
  EXPECT_FLOAT_EQ(doc.m_EventList[0]->Mw, -6.5f);
  EXPECT_EQ(doc.m_EventList[1]->flags, 0);
  ASSERT_EQ(doc.LoadEventList(three), 1);
  EXPECT_EQ(doc.m_EventList.size(), 1u);  // the first row went as a header line
  EXPECT_EQ(doc.LoadEventList(e.dir + "/none.txt"), 0);
  EXPECT_EQ(doc.m_EventList.size(), 1u);
}

TEST(TremviaDoc, OpeningAnEventListReadsItsParametersAndSounds) {
  synth::Experiment e = MakeExperiment("evlist", 0);
  for (int k = 0; k < 7; ++k)
    std::ofstream(plat::Format("%s/s%d.wav", e.dir.c_str(), k)) << "RIFF" << k;
  std::ofstream(e.dir + "/SYN.lst") << "a\nb\nc\nd\n1 9000.5 1 2 3 -7 0 0 0 9\n";
  // The event list's parameter file is the list's path with "PAD" in place of its ending.
  std::filesystem::rename(e.PadPath(), e.dir + "/SYN.PAD");
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectMessage("open failed!, create??", IDYES);
  ASSERT_TRUE(doc.OnOpenDocument(e.dir + "/SYN.lst"));
  EXPECT_EQ(doc.m_EventList.size(), 1u);
  EXPECT_EQ(doc.m_fTimeSpan, 10800.0);
  for (int k = 0; k < CTremviaDoc::kSideBuffers; ++k) ASSERT_TRUE(doc.m_pSideBuf[k]) << k;
  EXPECT_EQ(std::string(doc.m_pSideBuf[4]->begin(), doc.m_pSideBuf[4]->end()), "RIFF4");
  EXPECT_EQ(doc.LoadSideFile(e.dir + "/none.wav", 0), 0);
  EXPECT_TRUE(doc.m_pSideBuf[0]);
}

TEST(TremviaDoc, LockedRecordsAreNeitherProcessedNorSaved) {
  synth::Experiment e = MakeExperiment("locked", 1);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", e.PadPath());
  ui.ExpectMessage("open failed!, create??", IDYES);
  ASSERT_TRUE(doc.OnOpenDocument(e.EventPath(0)));
  doc.m_pHypo->m_Rec.nFlags = AEH_FLAG_LOCKED | AEH_FLAG_LOCATED;
  EXPECT_FALSE(doc.ProcessCurrentEvent(2, true, 0, 0, 0, 0));
  EXPECT_FALSE(doc.SaveCurrentHypo(0, 0, 0, true));
  EXPECT_EQ(doc.m_pHypo->GetNumAE(), 0);
}

// The catalogue of a 16-sensor experiment, opened through its parameter file after the
// sensor count was changed to 17: processing and saving event 3 wrote 434-byte records
// over 416-byte ones, 38 bytes into event 4's. Now the catalogue opens for reading only,
// the save is refused with a message, and the file keeps every byte.
TEST(TremviaDoc, ACatalogueOfAnotherSensorCountIsNotOverwritten) {
  synth::Experiment e = MakeExperiment("recsize", 5);
  FakeDocumentHost host;
  {
    CTremviaDoc doc(host);
    ScriptedUi ui;
    ui.ExpectMessage("open failed!, create??", IDYES);
    ASSERT_TRUE(doc.OnOpenDocument(e.PadPath()));
    for (int i = 0; i < 5; ++i) {
      doc.m_pHypo->ClearRecord(i, nullptr);
      ASSERT_EQ(doc.m_pHypo->PutAEH(i, false), 1);
    }
  }
  std::string aeh;
  for (const auto& entry : std::filesystem::directory_iterator(e.dir))
    if (entry.path().extension() == ".aeh" || entry.path().extension() == ".AEH")
      aeh = entry.path().string();
  ASSERT_FALSE(aeh.empty());
  auto bytes = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  const std::string before = bytes(aeh);
  ASSERT_EQ(before.size(), 5u * 416);

  std::string pad = bytes(e.PadPath());
  pad.replace(pad.find("\n16 0 0\n"), 8, "\n17 0 0\n");
  std::ofstream(e.PadPath(), std::ios::binary) << pad;
  plat::InvalidateFolderCache();

  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", e.PadPath());
  ASSERT_TRUE(doc.OnOpenDocument(e.EventPath(3)));
  EXPECT_TRUE(HasMessage(ui, "reading only"));
  EXPECT_EQ(doc.m_pHypo->m_nSensors, 17);
  doc.ProcessCurrentEvent(3, true, 0, 0, 0, 0);
  EXPECT_TRUE(HasMessage(ui, "Can not save"));
  EXPECT_EQ(bytes(aeh), before);
}

}  // namespace

namespace {

TEST(TremviaDoc, TimeSeriesAreMadeOnFirstLoad) {
  std::string dir = FreshDir("ts");
  std::string kv = dir + "/load.kv0";
  std::ofstream(kv) << "KVDATA01 load\nSTART_TIME: 2020/01/01 10:00:00\nSAMPLES 3\nTime Load,kN\n0 "
                       "1\n10 2\n20 3\n";
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ASSERT_EQ(doc.LoadTS(kv), 1);
  ASSERT_TRUE(doc.m_pTS);
  EXPECT_EQ(doc.m_pTS->m_nSamples, 3);
  EXPECT_EQ(doc.LoadAddTS(kv, 2), 1);
  EXPECT_EQ(doc.LoadAddTS(kv, 4), 0);
  EXPECT_TRUE(doc.m_pAddTS[2]);
  doc.ClearAddTS();
  EXPECT_FALSE(doc.m_pAddTS[2]);
}

}  // namespace
