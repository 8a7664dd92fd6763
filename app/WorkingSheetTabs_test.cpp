// The working sheet's "File", "VM, reLoc", "Mec", "T-M" and "AE DP" tabs in-process on a
// copy of the synthetic sample experiment, with scripted answers, a fake shell and no
// wait between started programs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "aecore/templates/TMPars.h"
#include "aecore/waveform/AEWaveSeg2.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "app/WorkingSheet_testkit.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/testing/FakeShell.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;
using plat::testing::ScriptedUi;
using wstest::Session;
using wstest::Use;

void TM_BaseFolders(const std::string& wavePath, std::string* templates, std::string* wave,
                    std::string* output);

namespace {

fs::path Experiment() {
  static const fs::path dir = wstest::CopyExperiment("WorkingSheetTabs");
  return dir;
}

Session& Open() {
  static Session* s = new Session((Experiment() / "CUBE.00/000000.WAV").string(),
                                  (Experiment() / "Cube.pad").string());
  return *s;
}

fs::path Scratch(const std::string& name) {
  const fs::path d = fs::path(TV_TEST_TMPDIR) / "WorkingSheetTabs_out" / name;
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

std::string Slash(const fs::path& p) { return p.string() + "/"; }

CTremviaDoc& Doc(Session& s) { return *s.host; }

// Rewrites catalogue record i with the given arrival count, flag byte and hypocentre.
void PutRecord(CAEHypo& h, int i, int arrivals, int flags, float x = 0, float y = 0, float z = 0) {
  ASSERT_TRUE(h.GetAEH(i));
  h.m_Rec.nArrivals = static_cast<std::int8_t>(arrivals);
  h.m_Rec.nFlags = static_cast<std::uint8_t>(flags);
  h.m_Rec.fX = x, h.m_Rec.fY = y, h.m_Rec.fZ = z;
  ASSERT_TRUE(h.PutAEH(i, false));
}

// Every record plain: no arrivals, no flags, at the centre.
void ClearRecords(CAEHypo& h) {
  for (int i = 0; i < h.GetNumAE(); ++i) PutRecord(h, i, 0, 0);
}

// Runs utility `item` of the "File" tab as its "Do.." button does.
void RunUtility(Use& use, const char* item) {
  use.Grid().SetCurrentSheet(CGridFun::kFile);
  use.Grid().SetCellText(1, 1, item);
  use.Press(0, 1);
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---------------------------------------------------------------- VM, reLoc

// The transversely isotropic fit against scipy's least_squares on the same misfit.
TEST(WorkingSheetVM, TheTIFitMatchesAnIndependentLeastSquaresFit) {
  Session& s = Open();
  Use use(s);
  std::ifstream in(fs::path(TV_SOURCE_DIR) / "app/testdata/ti_fit_reference.txt");
  ASSERT_TRUE(in);
  std::vector<double> angle, v;
  double ref3[4] = {}, ref4[5] = {};
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("fit3", 0) == 0)
      std::sscanf(line.c_str(), "fit3 %lf %lf %lf %lf", &ref3[0], &ref3[1], &ref3[2], &ref3[3]);
    else if (line.rfind("fit4", 0) == 0)
      std::sscanf(line.c_str(), "fit4 %lf %lf %lf %lf %lf", &ref4[0], &ref4[1], &ref4[2], &ref4[3],
                  &ref4[4]);
    else {
      double a = 0, b = 0;
      std::sscanf(line.c_str(), "%lf %lf", &a, &b);
      angle.push_back(a);
      v.push_back(b);
    }
  }
  ASSERT_EQ(angle.size(), 41u);
  // The accumulated table as a loaded file would leave it; "Do.." refits it.
  KZ_MultiVarObj& t = *Doc(s).m_pSheet[1];
  t.SetSize(6, 1000);
  t.m_nColumns = 6;
  t.m_nRows = static_cast<int>(angle.size());
  for (int i = 0; i < t.m_nRows; ++i) {
    t.m_ppData[2][i] = angle[i];
    t.m_ppData[5][i] = v[i];
  }
  use.Grid().SetCurrentSheet(CGridFun::kVMReloc);
  use.Press(3, 5);
  double vmean = 0, vmin = 0, eps = 0, ang0 = 0, sig = 0;
  ASSERT_EQ(std::sscanf(t.m_strHeader[1].c_str(),
                        "TI-FITTING: Vmean=%lf, Vmin=%lf, eps=%lf, ang0=%lf deg", &vmean, &vmin,
                        &eps, &ang0),
            4)
      << t.m_strHeader[1];
  EXPECT_NEAR(vmin, ref3[0], 2e-4);
  EXPECT_NEAR(eps, ref3[1], 2e-4);
  EXPECT_NEAR(std::remainder(ang0 - ref3[2], 180.0), 0.0, 0.51);
  // The generating model: Vmin 4.5 km/s, eps 0.12, axis at 10 degrees.
  EXPECT_NEAR(vmin, 4.5, 0.05);
  EXPECT_NEAR(eps, 0.12, 0.01);
  ASSERT_EQ(std::sscanf(t.m_strHeader[2].c_str(),
                        "TI-FITTING: Vmean=%lf, Vmin=%lf, eps=%lf, sig=%lf, ang0=%lf deg", &vmean,
                        &vmin, &eps, &sig, &ang0),
            5)
      << t.m_strHeader[2];
  EXPECT_NEAR(vmin, ref4[0], 1e-3);
  EXPECT_NEAR(eps, ref4[1], 2e-3);
  EXPECT_NEAR(sig, ref4[2], 1e-2);
  EXPECT_EQ(t.m_nRows, 41);
  EXPECT_EQ(t.m_nHeaders, 3);

  // An empty table is refused with a message rather than fitted.
  {
    ScriptedUi ui;
    t.m_nRows = 0;
    use.Press(3, 5);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find("No velocity data"), std::string::npos);
    EXPECT_EQ(t.m_strHeader[1].find("nan"), std::string::npos);
  }
}

TEST(WorkingSheetVM, TheVelocityTableKeepsStrongArrivalsOffTheShotsVertical) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  CAEWave& w = *Doc(s).m_pWave;
  const std::vector<KZ_Point3D> saved = h.m_pSensorXYZ;
  h.m_nPulsers = 1;
  h.m_PulserSensor[0] = 0;
  const int n = w.GetNumChannels();
  ASSERT_GE(n, 6);
  for (int c = 0; c < n; ++c) w.m_pPickSN[c] = 0.0f;
  struct Case {
    double x, y, z;
    float sn, t;
    bool used;
  } cases[] = {
      {10, 0, 0, 2.5f, 2.0f, true},    // S/N at the limit
      {0, 10, 0, 2.49f, 2.0f, false},  // just below it
      {0, -10, 0, 5.0f, 0.1f, true},   // travel time at the limit
      {3, 4, 20, 5.0f, 4.0f, false},   // above the shot: 3 and 4 mm aside
      {5, 0, 0, 5.0f, 1.0f, true},     // 5 mm aside
  };
  h.m_pSensorXYZ[0] = {0, 0, 0};
  for (int i = 0; i < 5; ++i) {
    h.m_pSensorXYZ[1 + i] = {cases[i].x, cases[i].y, cases[i].z};
    w.m_pPickSN[1 + i] = cases[i].sn;
    w.m_pPickTime[1 + i] = cases[i].t;
  }
  KZ_MultiVarObj& t = *Doc(s).m_pSheet[0];
  const int rows = use.Grid().VMDataSheet(&t, 0, 0.0f, 0);
  // A second shot appended numbers its rows on.
  const int appended = use.Grid().VMDataSheet(&t, 0, 0.0f, 1);
  h.m_pSensorXYZ = saved;
  ASSERT_EQ(rows, 3);
  ASSERT_EQ(appended, 6);
  const double dist[3] = {10, 10, 5}, tt[3] = {2.0, 0.1, 1.0};
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(t.m_ppData[0][r], r);
    EXPECT_NEAR(t.m_ppData[3][r], dist[r], 1e-9);
    EXPECT_NEAR(t.m_ppData[4][r], tt[r], 1e-6);
    EXPECT_NEAR(t.m_ppData[5][r], dist[r] / tt[r], 1e-4);
    EXPECT_NEAR(t.m_ppData[2][r], 0.0, 1e-9);  // every used ray is horizontal
  }
  EXPECT_EQ(t.m_ppData[0][5], 5);
}

TEST(WorkingSheetVM, ShotsTakeTheDetonatorsInTurnAndNextShowsTheShot) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  CTremviaDoc& doc = Doc(s);
  ClearRecords(h);
  h.m_nMinArrivals = 0;
  doc.m_fTimeStart = -1e8;
  doc.m_fTimeSpan = 2e8;
  h.m_nPulsers = 3;
  h.m_PulserSensor[0] = 0, h.m_PulserSensor[1] = 1, h.m_PulserSensor[2] = 2;
  KZ_MultiVarObj& t = *doc.m_pSheet[0];
  ASSERT_EQ(use.Grid().VMLocationSheet(&t), h.GetNumAE());
  const double want[4] = {0, 1, 2, 0};
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(t.m_ppData[0][r], r);
    EXPECT_EQ(t.m_ppData[1][r], want[r]);
    EXPECT_NEAR(t.m_ppData[2][r], h.m_pSensorXYZ[static_cast<int>(want[r])].x, 1e-6);
  }

  h.m_nPulsers = 2;
  ASSERT_TRUE(doc.m_pWave->OpenEvent(7));
  use.Grid().SetCurrentSheet(CGridFun::kVMReloc);
  use.Press(0, 3);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 8);
  EXPECT_EQ(use.Text(1, 3), "P#=0");

  // A shot index outside the detonators, and no detonators at all, are refused.
  for (int pulsers : {2, 0}) {
    ScriptedUi ui;
    h.m_nPulsers = pulsers;
    use.Grid().SetCellText(1, 3, "P#=5");
    use.Grid().SetCellText(1, 4, "0: 1-shoot VM data[type=1]");
    t.m_nRows = 7;
    use.Press(0, 4);
    ASSERT_EQ(ui.MessageTexts().size(), 1u) << pulsers;
    EXPECT_EQ(t.m_nRows, 7);
  }
  h.m_nPulsers = 0;
  ASSERT_TRUE(doc.m_pWave->OpenEvent(0));
}

// "5: Re-estimate Mw & Fc" writes only estimates: without a waveform nothing is written
// and the user is told; a locked record, and one whose estimate fails, keep their values.
TEST(WorkingSheetVM, ReestimatingMwAndFcWritesOnlyWhatItEstimated) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  CTremviaDoc& doc = Doc(s);
  auto run = [&] {
    use.Grid().SetCurrentSheet(CGridFun::kVMReloc);
    use.Grid().SetCellText(1, 21, "5: Re-estimate Mw & Fc");
    use.Press(0, 21);
  };
  auto mark = [&](int i, int arrivals, int flags) {
    ASSERT_TRUE(h.GetAEH(i));
    if (arrivals >= 0) h.m_Rec.nArrivals = static_cast<std::int8_t>(arrivals);
    h.m_Rec.nFlags = static_cast<std::uint8_t>(flags);
    h.m_Rec.fFc = 0.111f;
    h.m_Rec.fMw = -7.5f;
    ASSERT_TRUE(h.PutAEH(i, false));
  };
  auto fcMw = [&](int i) {
    EXPECT_TRUE(h.GetAEH(i));
    return std::make_pair(h.m_Rec.fFc, h.m_Rec.fMw);
  };
  const std::pair<float, float> kept{0.111f, -7.5f};

  // As the program starts: no waveform loaded.
  mark(0, 8, 0);
  {
    ScriptedUi ui;
    std::unique_ptr<CAEWave> loaded = std::move(doc.m_pWave);
    doc.m_pWave = std::make_unique<CAEWave>();
    run();
    doc.m_pWave = std::move(loaded);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find("no waveform file is loaded"), std::string::npos);
  }
  EXPECT_EQ(fcMw(0), kept);

  // Events 17 to 19, located: 17 then keeps only 3 arrivals, 18 is locked, 19 is estimated.
  for (int i = 17; i <= 19; ++i) {
    ASSERT_TRUE(doc.m_pWave->OpenEvent(i));
    ASSERT_TRUE(h.GetAEH(i));
    h.m_Rec.nFlags = 0;
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    ASSERT_TRUE(doc.ProcessCurrentEvent(2, true, 0, 0, 0, 0));
    ASSERT_GT(h.m_Rec.nArrivals, 4) << i;
  }
  mark(17, 3, AEH_FLAG_LOCATED);
  mark(18, -1, AEH_FLAG_LOCATED | AEH_FLAG_LOCKED);
  mark(19, -1, AEH_FLAG_LOCATED);
  ASSERT_TRUE(doc.m_pWave->OpenEvent(17));
  {
    ScriptedUi ui;
    run();
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    const std::string text = ui.MessageTexts()[0];
    EXPECT_NE(text.find("re-estimated and saved: 1."), std::string::npos) << text;
    EXPECT_NE(text.find("2 records were left as they were (the first: event 17): 1 locked, 1 "
                        "with fewer than 5 arrivals"),
              std::string::npos)
        << text;
  }
  EXPECT_EQ(fcMw(17), kept);
  EXPECT_EQ(fcMw(18), kept);
  EXPECT_TRUE(h.m_Rec.nFlags & AEH_FLAG_LOCKED);
  const auto [fc, mw] = fcMw(19);
  EXPECT_NEAR(fc, 0.325, 0.05);  // the sample's source frequency (MHz)
  EXPECT_NE(mw, -7.5f);
  EXPECT_EQ(doc.m_pWave->m_nEvent, 19);  // the last file stays loaded
  ClearRecords(h);
  ASSERT_TRUE(doc.m_pWave->OpenEvent(0));
}

TEST(WorkingSheetVM, CheckBoxesAndListsReachTheOptionBlock) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  const struct {
    int sheet;
    long row;
    int* field;
  } checks[] = {{CGridFun::kVMReloc, 11, &h.m_bFixX},
                {CGridFun::kVMReloc, 12, &h.m_bFixY},
                {CGridFun::kVMReloc, 13, &h.m_bFixZ}};
  for (const auto& c : checks)
    for (int v : {1, 0}) {
      use.Grid().SetCurrentSheet(c.sheet);
      use.Grid().SetCellText(0, c.row, v ? "1" : "0");
      use.Notify(0, c.row, SGN_CHECK_CHANGED);
      EXPECT_EQ(*c.field, v) << c.row;
    }
  const struct {
    int sheet;
    long row;
    const char* line;
    int* field;
    int want;
  } lists[] = {{CGridFun::kVMReloc, 16, "2: cos(A)^2", &h.m_nMwFcSensCorr, 2},
               {CGridFun::kMec, 3, "1: Amplitude", &h.m_nMecData, 1},
               {CGridFun::kMec, 4, "0: 1", &h.m_nMecSensCorr, 0},
               {CGridFun::kMec, 4, "2: cos(A)^2", &h.m_nMecSensCorr, 2}};
  for (const auto& l : lists) {
    use.Choose(1, l.row, l.line, l.sheet);
    EXPECT_EQ(*l.field, l.want) << l.line;
  }
}

// ---------------------------------------------------------------- Mec

// A main series of three samples with two gauge pairs in micro-strain.
std::unique_ptr<KZ_TSdata> GaugeSeries(const CAEHypo& h, const std::vector<std::vector<int>>& v) {
  auto ts = std::make_unique<KZ_TSdata>();
  const char* names[7] = {"Stress",    "Confining", "Displacement", "Strain A1",
                          "Strain C1", "Strain A2", "Strain C2"};
  EXPECT_TRUE(ts->Alloc(7, static_cast<int>(v.size()) + 2, false, nullptr));
  for (int c = 0; c < 7; ++c) {
    std::snprintf(ts->m_pChannel[c].szName, sizeof ts->m_pChannel[c].szName, "%s", names[c]);
    ts->m_pChannel[c].dScale = 1.0;
    ts->m_pChannel[c].fBase = 0.0f;
    ts->m_pChannel[c].fOffset = 0.0f;
    ts->m_pChannel[c].nEnabled = 1;
  }
  for (std::size_t i = 0; i < v.size(); ++i) {
    ts->m_pTime[i] = 1000.0 * static_cast<double>(i);
    for (int c = 0; c < 7; ++c) ts->m_ppData[c][i] = v[i][c];
  }
  ts->m_nSamples = static_cast<int>(v.size());
  ts->m_tStart = plat::MakeLocalTime(h.m_tmStart).value_or(0);
  return ts;
}

// Every value cell of the tab's parameter rows can be edited and every row keeps its
// notes, with and without the series rows.
TEST(WorkingSheetMec, ParameterRowsAreEditableAndKeepTheirNotes) {
  Session& s = Open();
  Use use(s);
  CTremviaDoc& doc = Doc(s);
  CAEHypo& h = use.Hypo();
  doc.m_pTS = GaugeSeries(h, {{10, 1, 0, 100, -50, 300, -150}});
  doc.m_pAddTS[0] = GaugeSeries(h, {{10, 1, 0, 100, -50, 300, -150}});
  CGridFun& g = use.Grid();
  g.SetupMecSheet();
  const struct {
    long row;
    bool col2;  // column 2 holds a value too
    const char* notes;
  } rows[] = {
      {1, true, "Minimum number of first motions"},
      {2, true, "Minimum number of Up(push) and Down(pull) for a shear event"},
      {12, false, "Smoothing with given window width"},
      {13, true, "Resample the data with given minimum interval and sensitivity"},
      {22, false, "Smoothing with given window width"},
      {23, true, "Resample the data with given minimum interval and sensitivity"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.row);
    EXPECT_TRUE(g.IsCellEditable(1, r.row));
    EXPECT_EQ(g.IsCellEditable(2, r.row), r.col2);
    EXPECT_FALSE(g.IsCellEditable(3, r.row));
    EXPECT_EQ(use.Text(3, r.row), r.notes);
  }
  EXPECT_EQ(use.Text(2, 1).rfind("Acri=", 0), 0u);
  EXPECT_EQ(use.Text(2, 2).rfind("nD=", 0), 0u);
  EXPECT_EQ(use.Text(2, 13), "Sens=50");
  // The amplitude criterion and the down count typed into their cells reach the options.
  use.Dialog()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(use.Dialog()));
  QWidget* cells = SGWidgetOf(*g.m_CUGGrid);
  QWidget* editor = SGWidgetOf(g.m_defEditCtrl);
  for (const auto& [row, typed] : {std::pair{1L, "Acri=0.45"}, std::pair{2L, "nD=3"}}) {
    RECT r{};
    g.GetCellRect(2, row, &r);
    const QPoint at((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QTest::mouseClick(cells, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(cells, Qt::LeftButton, Qt::NoModifier, at);
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    ASSERT_TRUE(g.m_editInProgress) << row;
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  }
  EXPECT_NEAR(h.m_fMecAcri, 0.45, 1e-6);
  EXPECT_EQ(h.m_nMecMinDown, 3);
  doc.m_pTS.reset();
  doc.m_pAddTS[0].reset();
  g.SetupMecSheet();
}

// Every "Do.." cell of every tab is a push button; on "Mec" a mouse click on each of the
// three runs its line: the mechanism of the current event, the mean-strain table and the
// combined table.
TEST(WorkingSheetMec, EveryDoCellIsAButtonAndAClickRunsItsLine) {
  Session& s = Open();
  Use use(s);
  CTremviaDoc& doc = Doc(s);
  CAEHypo& h = use.Hypo();
  doc.m_fTimeStart = 0.0;
  doc.m_fTimeSpan = 100.0;
  doc.m_pTS = GaugeSeries(h, {{10, 1, 0, 100, -50, 300, -150}, {20, 2, 0, 200, -60, 400, -160}});
  doc.m_pAddTS[0] = GaugeSeries(h, {{10, 1, 0, 100, -50, 300, -150}, {20, 2, 0, 200, -60, 400, -160}});
  CGridFun& g = use.Grid();
  g.BuildAllSheets();
  int found = 0;
  for (int sheet = 0; sheet < CGridFun::kSheets; ++sheet) {
    g.SetCurrentSheet(sheet);
    for (long row = 0; row < g.GetRowCount(); ++row)
      for (int col = 0; col < g.GetColumnCount(); ++col) {
        const char* t = g.GetCellText(col, row);
        if (!t || std::string(t) != "Do..") continue;
        ++found;
        EXPECT_EQ(g.GetCellTypeOfCell(col, row), g.GetCellTypeByIndex(g.m_nButtonIndex))
            << "sheet " << sheet << " cell " << col << "," << row;
      }
  }
  EXPECT_GE(found, 10);
  // A plain text longer than its cell ends in a mark instead of being cut.
  g.SetCurrentSheet(CGridFun::kVMReloc);
  ASSERT_EQ(use.Text(0, 1), "Velocity measurement data");
  CSGCell text;
  g.GetCell(0, 1, &text);
  EXPECT_EQ(text.GetCellTypeStyle() & SGCT_ELLIPSIS, SGCT_ELLIPSIS);
  // ... and the title of the velocity measurement has the room to show whole.
  {
    RECT r{};
    g.GetCellRect(0, 1, &r);
    const QFontMetrics fm(SGWidgetOf(*g.m_CUGGrid)->font());
    EXPECT_GT(r.right - r.left, fm.horizontalAdvance("Velocity measurement data") + 8);
  }

  use.Dialog()->show();
  use.Dialog()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(use.Dialog()));
  g.SetCurrentSheet(CGridFun::kMec);
  auto click = [&](long row) {
    g.GotoCell(1, row);
    QApplication::processEvents();
    RECT r{};
    g.GetCellRect(0, row, &r);
    QTest::mouseClick(SGWidgetOf(*g.m_CUGGrid), Qt::LeftButton, Qt::NoModifier,
                      QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  };
  KZ_MultiVarObj& t = *doc.m_pSheet[0];
  t.m_strHeader[0].clear();
  click(16);
  EXPECT_EQ(t.m_strHeader[0].rfind("Mean strain. ID:", 0), 0u);
  t.m_nColumns = 0;
  click(26);
  EXPECT_EQ(t.m_nColumns, 14);  // the seven columns of each series
  use.recorder.hints.clear();
  click(5);
  EXPECT_NE(std::find(use.recorder.hints.begin(), use.recorder.hints.end(), HINT_SOURCE),
            use.recorder.hints.end());
  doc.m_pTS.reset();
  doc.m_pAddTS[0].reset();
  g.BuildAllSheets();
}

TEST(WorkingSheetMec, GaugeReadingsBeyondTheLimitAreLeftOutOfTheMeans) {
  Session& s = Open();
  Use use(s);
  CTremviaDoc& doc = Doc(s);
  CAEHypo& h = use.Hypo();
  doc.m_fTimeStart = 0.0;
  doc.m_fTimeSpan = 100.0;
  doc.m_pTS = GaugeSeries(h, {{10, 1, 0, 100, -50, 300, -150},
                              {20, 2, 50, 60000, 0, 60001, 0},
                              {30, 3, 90, 70000, 0, 70000, 0}});
  KZ_MultiVarObj& t = *doc.m_pSheet[0];
  ASSERT_EQ(use.Grid().MeanStrainSheet(&t), 2);  // no pair counts at the last sample
  EXPECT_DOUBLE_EQ(t.m_ppData[0][1], 1.0);
  EXPECT_DOUBLE_EQ(t.m_ppData[1][1], 20.0);
  // 60000 counts, 60001 does not, and the one pair left is halved.
  EXPECT_NEAR(t.m_ppData[4][1], (60000.0 / 2 - 200.0) * 1e-4, 1e-9);
  EXPECT_NEAR(t.m_ppData[5][1], (0.0 - -100.0) * 1e-4, 1e-9);
  EXPECT_NEAR(t.m_ppData[6][1], ((30000.0 + 0) - (200.0 - 200.0)) * 1e-4, 1e-9);
  EXPECT_NEAR(t.m_ppData[3][1], 0.1 / h.m_fSizeZ * 50.0, 1e-6);
  EXPECT_EQ(t.m_strHeader[0].rfind("Mean strain. ID:", 0), 0u);

  // No "Strain" channel from index 2 on: no table.
  for (int c = 2; c < 7; ++c) std::snprintf(doc.m_pTS->m_pChannel[c].szName, 8, "Gauge");
  EXPECT_EQ(use.Grid().MeanStrainSheet(&t), 0);
  doc.m_pTS.reset();
}

TEST(WorkingSheetMec, TheCombinedTableJoinsTheAdditionalSeriesAtTheMainSeriesTimes) {
  Session& s = Open();
  Use use(s);
  CTremviaDoc& doc = Doc(s);
  CAEHypo& h = use.Hypo();
  doc.m_fTimeStart = 0.0;
  doc.m_fTimeSpan = 1000.0;
  std::vector<std::vector<int>> main;
  for (int i = 0; i < 200; ++i) main.push_back({i, 1, 0, 10 * i, -5 * i, 10 * i, -5 * i});
  doc.m_pTS = GaugeSeries(h, main);
  KZ_MultiVarObj& t = *doc.m_pSheet[0];
  for (int samples : {50, 100}) {
    auto add = std::make_unique<KZ_TSdata>();
    ASSERT_TRUE(add->Alloc(2, samples + 2, false, nullptr));
    for (int c = 0; c < 2; ++c) add->m_pChannel[c].dScale = 1.0;
    for (int j = 0; j < samples; ++j) {
      add->m_pTime[j] = 1000.0 * j;
      add->m_ppData[0][j] = 3 * j;
      add->m_ppData[1][j] = -j;
    }
    add->m_nSamples = samples;
    add->m_tStart = doc.m_pTS->m_tStart;
    doc.m_pAddTS[0] = std::move(add);
    ASSERT_EQ(use.Grid().CombinedDataSheet(&t), samples) << samples;
    EXPECT_EQ(t.m_nColumns, 9);
    // Sample 7 of the additional series meets the main series' sample 7.
    EXPECT_DOUBLE_EQ(t.m_ppData[0][7], 7.0);
    EXPECT_DOUBLE_EQ(t.m_ppData[1][7], 7.0);
    EXPECT_NEAR(t.m_ppData[4][7], 70 * 1e-4, 1e-12);
    EXPECT_DOUBLE_EQ(t.m_ppData[7][7], 21.0);
    EXPECT_DOUBLE_EQ(t.m_ppData[8][7], -7.0);
    EXPECT_EQ(t.m_Columns[7].m_nPlotStyle, samples < 100 ? 3 : 2) << samples;
    EXPECT_EQ(t.m_strHeader[1].rfind("START_TIME: ", 0), 0u);
  }
  doc.m_pAddTS[0].reset();
  doc.m_pTS.reset();
}

TEST(WorkingSheetMec, SelectedEventsAfterTheListRunOverEveryRecord) {
  Session& s = Open();
  Use use(s);
  CTremviaDoc& doc = Doc(s);
  CAEHypo& h = use.Hypo();
  ClearRecords(h);
  doc.BuildEventList(0, h.GetNumAE() - 1, 0, 0);
  ASSERT_FALSE(doc.m_EventList.empty());
  doc.m_fTimeStart = 1e8;  // after every listed event
  {
    ScriptedUi ui;
    EXPECT_EQ(use.Grid().SolveMechanisms(-1), 1);
    std::vector<std::string> texts;
    for (const auto& p : ui.PaneTexts())
      if (p.pane == 0 && p.text.rfind("AE#", 0) == 0) texts.push_back(p.text);
    ASSERT_EQ(static_cast<int>(texts.size()), h.GetNumAE());
    EXPECT_EQ(texts.front().rfind("AE#0 (", 0), 0u);
    for (const std::string& text : texts) EXPECT_EQ(text.find("Mech("), std::string::npos);
    EXPECT_EQ(ui.WaitCursorDepth(), 0);
  }
  {
    // The user's input stops the batch at the answer Yes.
    doc.BuildEventList(0, h.GetNumAE() - 1, 0, 0);
    ScriptedUi ui;
    ui.InputPendingAfter(2);
    ui.ExpectMessage("Press YES to cancel", IDYES);
    use.Grid().SolveMechanisms(-1);
    EXPECT_EQ(ui.PaneTexts().size(), 3u);
  }
  {
    // With an empty event list not even the current event is solved.
    ScriptedUi ui;
    doc.ClearEventList();
    EXPECT_EQ(use.Grid().SolveMechanisms(3), 0);
    EXPECT_TRUE(ui.PaneTexts().empty());
  }
  doc.m_fTimeStart = 0.0;
}

// ---------------------------------------------------------------- T-M

int g_waits = 0;
void CountWait(int units) {
  EXPECT_EQ(units, 10000);
  ++g_waits;
}

void ChooseTM(Use& use, const char* item) {
  use.Grid().SetCurrentSheet(CGridFun::kTM);
  use.Grid().SetCellText(1, 12, item);
}

TEST(WorkingSheetTM, SlicesStartOneMatchingProgramEachAndWaitAfterEvery) {
  Session& s = Open();
  Use use(s);
  const fs::path dir = Scratch("slices");
  const std::string N = (dir / "N_ML_CC_AE_pars.txt").string();
  plat::testing::FakeShell shell;
  use.Grid().m_pfnWait = CountWait;
  g_waits = 0;
  ChooseTM(use, "4: Matching & Location");
  use.Grid().SetCellText(1, 11, "0");
  use.Grid().SetCellText(2, 11, "500");
  use.Grid().SetCellText(3, 11, "200");
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::SaveFile, "Parameter file for ML_CC_AE", N);
    use.Press(0, 12);
  }
  ASSERT_EQ(shell.calls.size(), 3u);
  const char* want[3] = {";00000;00199;", ";00200;00399;", ";00400;00599;"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(shell.calls[i].parameters, N + want[i]);
    EXPECT_EQ(shell.calls[i].verb, "open");
    EXPECT_NE(shell.calls[i].file.find("Sylvor_AE"), std::string::npos);
  }
  EXPECT_EQ(g_waits, 3);
  EXPECT_TRUE(fs::exists(N));

  // A slice of one runs the scan here and asks for no file.
  shell.calls.clear();
  use.Grid().SetCellText(2, 11, "1");
  use.Grid().SetCellText(3, 11, "1");
  {
    ScriptedUi ui;
    use.Press(0, 12);
    for (const auto& p : ui.Shown()) EXPECT_EQ(p.kind, Prompt::Message) << p.text;
  }
  EXPECT_TRUE(shell.calls.empty());
  use.Grid().m_pfnWait = nullptr;
}

// "2: Cross correlation" says which template folder is missing or holds no templates
// instead of ending silently.
TEST(WorkingSheetTM, CrossCorrelationSaysWhatIsMissing) {
  Session& s = Open();
  Use use(s);
  const fs::path dir = Scratch("cc");
  const std::string missing = Slash(dir / "NoTemplates");
  const std::string empty = Slash(dir / "Templates");
  fs::create_directories(empty);
  const std::string keep = use.Text(1, 8);
  ChooseTM(use, "2: Cross correlation");
  for (const auto& [folder, said] : {std::pair{missing, "Template folder not found: "},
                                     std::pair{empty, "No template files (T_*.*) in "}}) {
    SCOPED_TRACE(folder);
    use.Grid().SetCellText(1, 8, folder.c_str());
    ScriptedUi ui;
    use.Press(0, 12);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{said + folder});
  }
  use.Grid().SetCellText(1, 8, keep.c_str());
}

TEST(WorkingSheetTM, FoldersComeFromTheWaveformsParentFolder) {
  const struct {
    const char *wave, *base, *templates, *output;
  } cases[] = {
      {"D:\\exp\\wav\\000001.sg2", "D:\\exp\\", "D:\\exp\\Templates\\", "D:\\exp\\ML\\"},
      {"E:\\wav\\000001.sg2", "E:\\wav\\", "E:\\wav\\Templates\\", "E:\\wav\\ML\\"},
      {"/data/exp/wav/000001.WAV", "/data/exp/", "/data/exp/Templates/", "/data/exp/ML/"},
      {"/wav/000001.WAV", "/wav/", "/wav/Templates/", "/wav/ML/"},
  };
  for (const auto& c : cases) {
    std::string t, w, o;
    TM_BaseFolders(c.wave, &t, &w, &o);
    EXPECT_EQ(w, c.base) << c.wave;
    EXPECT_EQ(t, c.templates) << c.wave;
    EXPECT_EQ(o, c.output) << c.wave;
  }
}

TEST(WorkingSheetTM, LoadLeavesTheCellsAndSaveWritesThemWithoutVelocities) {
  Session& s = Open();
  Use use(s);
  const fs::path dir = Scratch("tmpars");
  TMPars other;
  InitTMParameters(other);
  other.m_fTimeShift = 7.5f;
  other.m_fVx = other.m_fVy = other.m_fVz = 5.5f;
  other.m_fInterevent = 123.0f;
  const std::string loaded = (dir / "A_ML_CC_AE_pars.txt").string();
  ASSERT_TRUE(WriteTMParameters(loaded, other));
  const std::string saved = (dir / "B_ML_CC_AE_pars.txt").string();
  ChooseTM(use, "0: Load ML_CC parameters");
  const std::string shift = use.Text(1, 1);
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Open parameter file for Template-Matching", loaded);
    use.Press(0, 12);
  }
  EXPECT_EQ(use.Text(1, 1), shift);
  ChooseTM(use, "1: Save ML_CC parameters");
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::SaveFile, "Save parameter file for Template-Matching", saved);
    use.Press(0, 12);
  }
  TMPars back;
  InitTMParameters(back);
  ASSERT_TRUE(ReadTMParameters(saved, back));
  EXPECT_FLOAT_EQ(back.m_fTimeShift, use.Grid().GetFloat(1, 1, "=", 1));  // the cell's value
  EXPECT_FLOAT_EQ(back.m_fInterevent, 123.0f);  // no cell: the loaded value
  EXPECT_FLOAT_EQ(back.m_fVx, -1.0f);
  EXPECT_NE(ReadAll(saved).find("P velocity Vx = -1.00"), std::string::npos);
}

// Detections written by the matching run come back into the catalogue; locked records,
// events whose template record cannot be read and events that were not detected stay.
TEST(WorkingSheetTM, DetectionsAreReadBackIntoTheCatalogue) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  CAEWave& w = *Doc(s).m_pWave;
  ClearRecords(h);
  const fs::path det = Scratch("detected");
  ASSERT_TRUE(w.OpenEvent(0));
  {
    ScriptedUi ui;
    ui.ExpectFolder("Select folder for SG2 files", Slash(det));
    ui.ExpectMessage("Contineously jumped", IDYES);
    RunUtility(use, "11: WAV/aew -> Seg2");
  }
  auto comment = [&](int i, const char* tpl) {
    KZ_WaveDataSeg2 r;
    const std::string path = (det / plat::Format("%06d.sg2", i)).string();
    ASSERT_EQ(r.Load(path, 1, 0, 0), 1);
    std::snprintf(r.m_header.szComments, sizeof r.m_header.szComments,
                  "detected: AE#=%d, Mw=-11.00, x=1.500, y=-2.000, z=3.000, t0=0.000, CC=0.85, "
                  "sn1=3.0, sn2=4.0, dX=0.10, dY=0.20, dZ=0.30, dMw=0.00, M=99, Tpl=%s",
                  i, tpl);
    ASSERT_EQ(r.SaveSeg2(path, 0, 0, 1), 1);
  };
  comment(1, "-1");
  comment(2, "-1");    // its record is locked
  comment(3, "5000");  // no such template record
  comment(5, "1(Mw-11.00)");
  PutRecord(h, 2, 0, AEH_FLAG_LOCKED);
  // The document's wave becomes the folder of detected events for the run.
  auto seg2 = std::make_unique<CAEWaveSeg2>((det / "000000.sg2").string());
  ASSERT_EQ(seg2->GetNumChannels(), w.GetNumChannels());
  std::unique_ptr<CAEWave> original = std::move(Doc(s).m_pWave);
  Doc(s).m_pWave = std::move(seg2);
  CAEWave& d = *Doc(s).m_pWave;

  EXPECT_EQ(use.Grid().Seg2ToAEF(), 2);
  ASSERT_TRUE(h.GetAEH(1));
  const AEHRecord r = h.m_Rec;
  EXPECT_EQ(r.nFlags, AEH_FLAG_DETECTED);
  EXPECT_FLOAT_EQ(r.fX, 1.5f);
  EXPECT_FLOAT_EQ(r.fY, -2.0f);
  EXPECT_FLOAT_EQ(r.fCC, 0.85f);
  EXPECT_FLOAT_EQ(r.fSN2, 4.0f);
  EXPECT_FLOAT_EQ(r.fDZ, 0.3f);
  EXPECT_EQ(r.nArrivals, h.m_nSensors);  // "M=99" held to the sensors there are
  EXPECT_TRUE(std::isfinite(r.fT0));
  const struct { int record, flags; } kept[] = {{2, AEH_FLAG_LOCKED}, {3, 0}, {4, 0}};
  for (const auto& k : kept) {
    ASSERT_TRUE(h.GetAEH(k.record));
    EXPECT_EQ(h.m_Rec.nFlags, k.flags) << k.record;
    EXPECT_EQ(h.m_Rec.fX, 0.0f) << k.record;
  }
  ASSERT_TRUE(h.GetAEH(5));
  EXPECT_EQ(h.m_Rec.nFlags, AEH_FLAG_DETECTED);
  EXPECT_EQ(d.m_nEvent, 0);
  Doc(s).m_pWave = std::move(original);
  ClearRecords(h);
}

// ---------------------------------------------------------------- AE DP

void ChooseTTF(Use& use, const char* line) {
  use.Choose(1, 1, line, CGridFun::kTTF);
  use.Grid().SetCellText(1, 1, line);
}

TEST(WorkingSheetTTF, TheAMRTestCurveIsRunByAClickOnly) {
  Session& s = Open();
  Use use(s);
  KZ_MultiVarObj& t = *Doc(s).m_pSheet[0];
  ChooseTTF(use, "0: Test AMR");
  t.m_strHeader[0] = "untouched";
  use.Notify(0, 1, SGN_BUTTON_UP);  // released here after a press elsewhere
  EXPECT_EQ(t.m_strHeader[0], "untouched");
  use.Notify(0, 1, SGN_BUTTON_CLICK);
  EXPECT_EQ(t.m_strHeader[0], "AMR: A=1.00, B=-1.00, m=0.30\n");
  ASSERT_GT(t.m_nRows, 100);
  for (int r = 0; r < t.m_nRows; r += 37)
    EXPECT_NEAR(t.m_ppData[1][r], 1.0 - std::pow(t.m_ppData[0][r], 0.3), 1e-6);  // m read as float
  EXPECT_DOUBLE_EQ(t.m_ppData[0][0], 0.001);
  EXPECT_EQ(t.m_Columns[0].m_dMin, 1.0);  // drawn falling
  EXPECT_EQ(t.m_Columns[0].m_dMax, 0.0);
  EXPECT_EQ(Doc(s).m_pCurSheet, &t);
}

// Each line of row 1 lays out all of rows 2-4: nothing of the line chosen before is left
// to be read as a model parameter.
TEST(WorkingSheetTTF, EveryLineLaysOutRowsTwoToFour) {
  Session& s = Open();
  Use use(s);
  KZ_MultiVarObj& t = *Doc(s).m_pSheet[0];
  auto row = [&](long r) {
    std::vector<std::string> texts;
    for (int c = 0; c < 4; ++c) texts.push_back(use.Text(c, r));
    return texts;
  };
  using Texts = std::vector<std::string>;
  const Texts row2{"N.T.", "t=0.001,1,*=1.02"}, row3{"a,b,c", "a=0.02", "b=0.1", "c=-6.0"},
      row4{"alf, omg", "alf=0.8", "omg=5.0", " "};
  ChooseTTF(use, "0: Test AMR");
  ChooseTTF(use, "2: Test Self-similar extrapolation");
  EXPECT_EQ(row(3), row3);
  EXPECT_EQ(row(4), row4);
  EXPECT_TRUE(use.Grid().IsCellEditable(3, 3));
  EXPECT_TRUE(use.Grid().IsCellEditable(2, 4));
  use.Notify(0, 1, SGN_BUTTON_CLICK);
  EXPECT_EQ(t.m_strHeader[0],
            "Self-similar extrapolation of NGS: a=0.02, b=0.10, b=-6.00, alfa=0.80, omg=5.00\n");

  for (const char* before : {"5: Test Prediction", "6: Prediction", "7: Prediction_UC"}) {
    SCOPED_TRACE(before);
    ChooseTTF(use, before);
    EXPECT_EQ(use.Text(0, 2), "Time");
    ChooseTTF(use, "3: Test Fitting");
    const Texts r2 = row(2);
    EXPECT_EQ(Texts(r2.begin(), r2.begin() + 2), row2);
    EXPECT_EQ(row(3), row3);
    EXPECT_EQ(row(4), row4);
  }
  ChooseTTF(use, "4: Fitting");
  ChooseTTF(use, "1: Test Normalization-group solution");
  EXPECT_EQ(row(4), (Texts{"alf, omg", "alf=0.3", "omg=5.0", " "}));
  ChooseTTF(use, "5: Test Prediction");
  EXPECT_EQ(row(3), row3);
  EXPECT_EQ(row(4), (Texts{"alf, omg", "alf=0.8", "omg=5.0", "x=0.2"}));
}

TEST(WorkingSheetTTF, PredictionsTakeTheirPaths) {
  Session& s = Open();
  Use use(s);
  KZ_MultiVarObj& t = *Doc(s).m_pSheet[0];
  ChooseTTF(use, "5: Test Prediction");
  use.Notify(0, 1, SGN_BUTTON_CLICK);
  EXPECT_EQ(t.m_strHeader[0].rfind("Tk=800.00", 0), 0u) << t.m_strHeader[0];

  // nMC 1: the fit without simulations; 50: the simulation fit with its 50 curves.
  ChooseTTF(use, "6: Prediction");
  for (const char* nmc : {"nMC=1", "nMC=50"}) {
    use.Grid().SetCellText(1, 4, nmc);
    use.Notify(0, 1, SGN_BUTTON_CLICK);
    EXPECT_EQ(t.m_nColumns, std::strcmp(nmc, "nMC=1") == 0 ? 6 : 55) << nmc;
    EXPECT_EQ(t.m_strHeader[0].rfind("Data: E=10^(", 0), 0u) << nmc;
  }
}

// The fits that fail are counted in status pane 0 and in the table's header; a result
// that too few fits make is called no prediction in both.
TEST(WorkingSheetTTF, PredictionsReportTheirFailedFits) {
  Session& s = Open();
  Use use(s);
  KZ_MultiVarObj& t = *Doc(s).m_pSheet[0];
  const struct {
    const char* item;
    const char* nmc;
    const char* x;
    int fits;
  } cases[] = {
      {"6: Prediction", "nMC=1", "x=0.2", 1},
      {"6: Prediction", "nMC=6", "x=0.2", 6},
      {"7: Prediction_UC", "nMC=6", "x=0.2", 6},
      // Tk at the window's start: no rate points, so every fit fails.
      {"6: Prediction", "nMC=6", "x=1", 6},
      {"7: Prediction_UC", "nMC=6", "x=1", 6},
      {"6: Prediction", "nMC=1", "x=1", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.item) + " " + c.nmc + " " + c.x);
    ChooseTTF(use, c.item);
    use.Grid().SetCellText(1, 4, c.nmc);
    use.Grid().SetCellText(3, 4, c.x);
    ScriptedUi ui;
    use.Notify(0, 1, SGN_BUTTON_CLICK);
    ASSERT_FALSE(ui.PaneTexts().empty());
    const std::string pane = ui.PaneTexts().back().text;
    EXPECT_EQ(ui.PaneTexts().back().pane, 0);
    int failed = -1, fits = -1;
    ASSERT_EQ(std::sscanf(pane.c_str(), "Prediction: %d of %d fits failed", &failed, &fits), 2)
        << pane;
    EXPECT_EQ(fits, c.fits);
    const bool none = pane.find(", too few converged for a prediction") != std::string::npos;
    if (std::strcmp(c.x, "x=1") == 0) {
      EXPECT_EQ(failed, c.fits);
      EXPECT_TRUE(none);
    }
    std::string headers;
    for (int i = 0; i < t.m_nHeaders; ++i) headers += t.m_strHeader[i] + "\n";
    EXPECT_EQ(headers.find("no prediction") != std::string::npos, none && c.item[0] == '6')
        << headers;
    if (failed > 0 && c.fits > 1) {
      char line[64];
      std::snprintf(line, sizeof line, "Failed fits: %d of %d, left out", failed, fits);
      EXPECT_NE(headers.find(line), std::string::npos) << headers;
    }
  }
}

// ---------------------------------------------------------------- File

TEST(WorkingSheetFile, ResetFlagsFollowsTheArrivalsAndSkipsLockedRecords) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  ClearRecords(h);
  h.m_nMinArrivals = 6;
  const struct {
    int arrivals, flags, want;
  } cases[] = {
      {3, 1, 0},        // too few arrivals
      {5, 0, 1},        // located
      {7, 0, 8},        // enough for a template
      {5, 16, 16},      // detected, below the minimum
      {7, 16, 16},      // detected stays detected
      {7, 0x21, 0x21},  // locked: untouched
  };
  for (int i = 0; i < 6; ++i) PutRecord(h, i, cases[i].arrivals, cases[i].flags);
  RunUtility(use, "3: Reset Flag(0)");
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(h.GetAEH(i));
    EXPECT_EQ(h.m_Rec.nFlags, cases[i].want) << i;
  }
  h.m_nMinArrivals = 8;
}

TEST(WorkingSheetFile, TimeCorrectionKeepsEveryMicrosecond) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  const struct {
    int sec, us;
    double dt;
    int wantSec, wantUs;
  } cases[] = {
      {12, 750000, 0.5, 13, 250000}, {0, 200000, -0.5, -1, 700000}, {5, 999999, 0.000001, 6, 0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(h.GetAEH(0));
    h.m_Rec.nTimeSec = c.sec;
    h.m_Rec.nTimeUs = c.us;
    h.m_Rec.nFlags = 0;
    ASSERT_TRUE(h.PutAEH(0, false));
    ASSERT_TRUE(h.GetAEH(1));
    const int sec1 = h.m_Rec.nTimeSec, us1 = h.m_Rec.nTimeUs;
    use.Grid().ShiftRecordTimes(c.dt);
    use.Grid().ShiftRecordTimes(0.0);
    ASSERT_TRUE(h.GetAEH(0));
    EXPECT_EQ(h.m_Rec.nTimeSec, c.wantSec) << c.dt;
    EXPECT_EQ(h.m_Rec.nTimeUs, c.wantUs) << c.dt;
    use.Grid().ShiftRecordTimes(-c.dt);
    ASSERT_TRUE(h.GetAEH(1));
    EXPECT_EQ(h.m_Rec.nTimeSec, sec1);
    EXPECT_EQ(h.m_Rec.nTimeUs, us1);
  }
}

TEST(WorkingSheetFile, RenumberingClosesGapsAndNeverReplacesAFile) {
  Session& s = Open();
  Use use(s);
  const fs::path dir = Scratch("renumber");
  for (const char* n : {"000001", "000005", "000007", "000008"})
    std::ofstream(dir / (std::string(n) + ".sg2")) << n;
  {
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Specify the 1st file to be renumbered",
                        (dir / "000005.sg2").string());
    ui.ExpectMessage("Contineously jumped 500 events", IDYES);
    RunUtility(use, "10: Renumber Seg2 files");
    bool noted = false;
    for (const auto& p : ui.PaneTexts())
      noted |= p.text.find("000001.sg2 exists") != std::string::npos;
    EXPECT_TRUE(noted);
  }
  EXPECT_EQ(ReadAll(dir / "000000.sg2"), "000005");
  EXPECT_EQ(ReadAll(dir / "000001.sg2"), "000001");  // kept
  EXPECT_EQ(ReadAll(dir / "000007.sg2"), "000007");  // its rename was refused
  EXPECT_EQ(ReadAll(dir / "000002.sg2"), "000008");
  {
    // A first file not named as six digits and an extension is refused.
    std::ofstream(dir / "abc.sg2") << "x";
    ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Specify the 1st file", (dir / "abc.sg2").string());
    RunUtility(use, "10: Renumber Seg2 files");
    EXPECT_EQ(ui.MessageTexts().size(), 1u);
  }
}

TEST(WorkingSheetFile, ConvertedEventsAreReadBackByTheReaders) {
  Session& s = Open();
  Use use(s);
  CAEWave& w = *Doc(s).m_pWave;
  ASSERT_TRUE(w.OpenEvent(0));
  const int channels = w.GetNumChannels();
  const fs::path sg2 = Scratch("to_sg2"), aew = Scratch("to_aew"), all = Scratch("aef_sg2");
  {
    ScriptedUi ui;
    ui.ExpectFolder("Select folder for SG2 files", Slash(sg2));
    ui.ExpectMessage("Contineously jumped", IDYES);
    RunUtility(use, "11: WAV/aew -> Seg2");
    ui.ExpectFolder("Select folder for AEW files", Slash(aew));
    ui.ExpectMessage("Contineously jumped", IDYES);
    RunUtility(use, "12: Seg2 -> AEW");
    ui.ExpectFolder("Select folder for saving SG2 files", Slash(all));
    ui.ExpectMessage("Information of TM will be replaced", IDYES);
    RunUtility(use, "0: AEF --> Seg2");
  }
  EXPECT_EQ(w.m_nEvent, 19);  // utility 0 leaves the wave at the last event
  ASSERT_TRUE(w.OpenEvent(0));
  for (const fs::path& f :
       {sg2 / "000000.sg2", sg2 / "000019.sg2", all / "000000.sg2", all / "000019.sg2"}) {
    KZ_WaveDataSeg2 r;
    EXPECT_GT(r.Load(f.string(), 1, 0, 0), 0) << f;
    EXPECT_EQ(static_cast<int>(r.m_traces.size()), channels) << f;
  }
  KZ_WaveDataAE r;
  EXPECT_GT(r.Load((aew / "000003.aew").string(), 1, 0, 0), 0);
  EXPECT_EQ(static_cast<int>(r.m_traces.size()), channels);

  // Marking renames within the folder and loses no file.
  use.Grid().MarkSeg2Files(Slash(sg2));
  int files = 0;
  for (const auto& e : fs::directory_iterator(sg2)) {
    const std::string name = e.path().filename().string();
    ++files;
    EXPECT_TRUE(name.size() == 10 || name.rfind("X_", 0) == 0 || name.rfind("S_", 0) == 0 ||
                name.rfind("Q_", 0) == 0)
        << name;
  }
  EXPECT_EQ(files, 20);
}

// A folder that does not exist and a SEG-2 file that does not read: messages or skips,
// and every file stays as it was.
TEST(WorkingSheetFile, BadFoldersAndFilesAreReportedAndLeftIntact) {
  Session& s = Open();
  Use use(s);
  ASSERT_TRUE(Doc(s).m_pWave->OpenEvent(0));
  const std::string catalogue = ReadAll(Experiment() / "Cube.aeh");
  {
    ScriptedUi ui;
    ui.ExpectFolder("Select folder for SG2 files", "/no/such/folder/");
    ui.ExpectMessage("Contineously jumped", IDYES);
    RunUtility(use, "11: WAV/aew -> Seg2");
    const std::vector<std::string> texts = ui.MessageTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts.back().find("20 file(s) could not be written to /no/such/folder/"),
              std::string::npos)
        << texts.back();
  }
  EXPECT_EQ(ReadAll(Experiment() / "Cube.aeh"), catalogue);
  EXPECT_FALSE(fs::exists("/no/such/folder"));

  const fs::path dir = Scratch("unreadable");
  std::ofstream(dir / "000000.sg2") << "not a SEG-2 file";
  EXPECT_EQ(use.Grid().MarkSeg2Files(Slash(dir)), 0);
  EXPECT_EQ(ReadAll(dir / "000000.sg2"), "not a SEG-2 file");
}

TEST(WorkingSheetFile, TemplatesAreCollectedInsideTheCylinderOnly) {
  Session& s = Open();
  Use use(s);
  CAEHypo& h = use.Hypo();
  ClearRecords(h);
  const int shape = h.m_nShape;
  h.m_nShape = 0;
  h.m_fDiameter = 50.0f;
  h.m_nMinArrivals = 5;
  PutRecord(h, 2, 8, 0, 20.0f, 20.0f, 0.0f);  // inside the edges, outside the radius
  PutRecord(h, 3, 8, 0, 10.0f, 10.0f, 5.0f);
  PutRecord(h, 4, 8, 0x21, 0.0f, 0.0f, 0.0f);  // locked
  ASSERT_TRUE(Doc(s).m_pWave->OpenEvent(0));
  const fs::path dir = Scratch("templates");
  {
    ScriptedUi ui;
    ui.ExpectFolder("Select folder for templates", Slash(dir));
    RunUtility(use, "2: Mark and collect templates");
  }
  h.m_nShape = shape;
  h.m_nMinArrivals = 8;
  const int want[3] = {0, AEH_FLAG_TEMPLATE, 0x21};
  for (int i = 2; i <= 4; ++i) {
    ASSERT_TRUE(h.GetAEH(i));
    EXPECT_EQ(h.m_Rec.nFlags, want[i - 2]) << i;
  }
  EXPECT_FALSE(fs::exists(dir / "000002.sg2"));
  EXPECT_TRUE(fs::exists(dir / "000003.sg2"));
  EXPECT_FALSE(fs::exists(dir / "000004.sg2"));
  EXPECT_EQ(Doc(s).m_pWave->m_nEvent, 0);
}

}  // namespace
