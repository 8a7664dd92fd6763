#include "views/trace/TraceView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::DcOp;
using plat::DcOpKind;
using plat::testing::Prompt;

namespace {

constexpr int kRate = 10;  // samples per microsecond

// A one-channel record in memory: alternating noise of +-40 counts, then an onset at
// sample 500 that rises to 1000 at 510 and falls to -800 at 520 before settling.
class TracePage : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    doc.m_pWave = std::make_unique<CAEWave>();
    doc.m_pHypo = std::make_unique<CAEHypo>();
    Make(4096);
    view.SetData(&doc);
    view.resize(1000, 400);
    view.OnInitialUpdate();
  }
  void Make(int samples, int channels = 1) {
    CAEWave& w = *doc.m_pWave;
    w.Allocate(channels, samples, kRate);
    for (int c = 0; c < channels; ++c)
      for (int j = 0; j < samples; ++j) {
        int v = j % 2 ? 40 : -40;
        if (j >= 500 && j < 510) v = 100 * (j - 500 + 1);
        if (j >= 510 && j < 520) v = 1000 - 180 * (j - 510 + 1);
        if (j >= 520 && j < 600) v = -800;
        w.m_pSamples[static_cast<std::size_t>(c) * samples + j] = static_cast<std::int16_t>(v);
      }
  }
  std::unique_ptr<plat::RecordingDc> Record() {
    plat::RecordingOptions o;
    auto dc = std::make_unique<plat::RecordingDc>(o);
    view.OnPrepareDC(dc.get());
    view.OnDraw(dc.get());
    return dc;
  }
  static std::vector<const DcOp*> Polylines(const plat::RecordingDc& dc, COLORREF colour) {
    std::vector<const DcOp*> out;
    for (const DcOp* op : dc.OpsOf(DcOpKind::Polyline))
      if (op->state.pen.Color() == colour) out.push_back(op);
    return out;
  }

  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CTraceView view;
};

}  // namespace

TEST_F(TracePage, ZoomWindowIsAQuarterOfTheRecordAroundThePick) {
  struct Case {
    int pick, zoom;
    int start, length;
  };
  const Case cases[] = {
      {1000, 1, 488, 1024},  // S div 8 = 512 either side
      {50, 1, 0, 4096},      // at or below sample 100 the whole record
      {1000, 0, 0, 4096},    // zoom off
      {3900, 1, 3388, 708},  // the window ends with the record
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pick);
    doc.m_pWave->SetPick(c.pick, 0, 0, 0, 0, 0);
    view.m_bZoom = c.zoom;
    const auto dc = Record();
    EXPECT_EQ(view.m_nWinStart, c.start);
    const auto traces = Polylines(*dc, RGB(0, 0, 0));
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(static_cast<int>(traces[0]->points.size()), c.length);
    // The magnified middle: the second quarter to the third, four times as high.
    const auto middle = Polylines(*dc, RGB(0, 128, 0));
    ASSERT_EQ(middle.size(), 1u);
    EXPECT_EQ(static_cast<int>(middle[0]->points.size()), c.length / 2);
    EXPECT_EQ(middle[0]->points[0].x, traces[0]->points[c.length / 4].x);
  }
}

TEST_F(TracePage, ClicksStepTheChannelWithWrapAndTheMiddleDoesNothing) {
  Make(2000, 4);
  Record();
  doc.m_pWave->m_nCurChannel = 0;
  struct Case {
    int y;  // pixels, client height 400 (less the scroll bars)
    int row;
  };
  const Case cases[] = {{10, 3}, {10, 2}, {200, 2}, {390, 3}, {390, 0}};
  for (const Case& c : cases) {
    view.OnLButtonDown(MK_LBUTTON, {300, c.y});
    view.OnLButtonUp(0, {301, c.y});
    EXPECT_EQ(doc.m_pWave->m_nCurChannel, c.row) << c.y;
  }
  EXPECT_EQ(doc.m_pWave->m_pPickTime[0], 0.0f);  // a click sets no pick
}

TEST_F(TracePage, DragSetsPolarityAmplitudeSignalToNoiseAndRise) {
  view.m_bZoom = 0;
  Record();
  view.m_fXScale = 10.0f;  // page units per sample, so drags are whole samples
  view.m_nWinStart = 0;
  struct Case {
    int dy;
    int pol;
    float amp, sn;
  };
  // Noise before the pick swings +-40 (half 40, mean 0); the signal after it reaches
  // 1000 and -800.
  const Case cases[] = {{0, 0, 0.0f, 0.5f * 1800 / 40},
                        {500, 1, 1000.0f, 1000.0f / 40},
                        {-500, -1, -800.0f, 800.0f / 40}};
  for (const Case& c : cases) {
    host.updates.clear();
    view.PickByDrag({5000, -2000}, {6000, -2000 + c.dy});
    const CAEWave& w = *doc.m_pWave;
    EXPECT_EQ(w.m_pPolarity[0], c.pol) << c.dy;
    EXPECT_FLOAT_EQ(w.m_pPickAmp[0], c.amp) << c.dy;
    EXPECT_NEAR(w.m_pPickSN[0], c.sn, 1e-3) << c.dy;
    EXPECT_FLOAT_EQ(w.m_pPickRise[0], 100.0f / kRate) << c.dy;
    EXPECT_FLOAT_EQ(w.GetPickSample(0), 500.0f) << c.dy;
    EXPECT_EQ(host.Hints(), std::vector<LONG>{6});
  }
}

TEST_F(TracePage, DragsNearTheEndStayInTheRecordAndLeftDragsChangeNothing) {
  view.m_bZoom = 0;
  Record();
  view.m_fXScale = 10.0f;
  view.m_nWinStart = 0;
  const int S = 4096;
  // The pick at the last sample: an empty signal window, read without leaving the record.
  view.PickByDrag({10 * (S - 1), -2000}, {10 * (S - 1) + 1000, -1500});
  EXPECT_FLOAT_EQ(doc.m_pWave->GetPickSample(0), static_cast<float>(S - 1));
  // Pressed on sample S (past the end), leftward, or within one sample: nothing.
  doc.m_pWave->SetPick(0, 0, 0, 0, 0, 0);
  host.updates.clear();
  view.PickByDrag({10 * S, -2000}, {10 * S + 1000, -2000});
  view.PickByDrag({5000, -2000}, {4000, -2000});
  view.PickByDrag({5000, -2000}, {5005, -2600});
  EXPECT_EQ(doc.m_pWave->m_pPickTime[0], 0.0f);
  EXPECT_TRUE(host.updates.empty());
  // The read-out at the record's end keeps its swing window inside the record.
  plat::testing::ScriptedUi ui;
  view.OnMouseMove(0, {995, 200});
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().text.rfind("[00] t=", 0), 0u);
}

TEST_F(TracePage, ReadOutGivesVpVsAfterThePick) {
  view.m_bZoom = 0;
  doc.m_pWave->SetPick(500, 1000, 1, 20, 1, 0);  // 50 us
  Record();
  plat::testing::ScriptedUi ui;
  // One pixel per page unit step: find the pixel of sample 1000 (100 us).
  const POINT page = view.PageFromClient({0, 0});
  const double unitsPerPixel = 2540.0 / view.LogPixelsX();
  const int px = static_cast<int>(std::lround((1000 * view.m_fXScale - page.x) / unitsPerPixel));
  view.OnMouseMove(0, {px, 200});
  ASSERT_FALSE(ui.PaneTexts().empty());
  const std::string text = ui.PaneTexts().back().text;
  EXPECT_NE(text.find("Vp/Vs= 2.0"), std::string::npos) << text;
}

TEST_F(TracePage, RendersTheTraceAndThePickMarkIntoAnImage) {
  view.m_bZoom = 1;
  doc.m_pWave->SetPick(500, 1000, 1, 20, 1, 0);
  QImage image(1000, 400, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    plat::CImageDC dc(&image, 96);
    view.OnPrepareDC(&dc);
    view.OnDraw(&dc);
  }
  const std::string out = std::string(TV_TEST_TMPDIR) + "/trace_page.png";
  fs::create_directories(TV_TEST_TMPDIR);
  image.save(QString::fromStdString(out));
  // The window is samples 0..1011 (pick 500 - 512 clipped at 0, length 1024 less the
  // part before the start): the pick mark stands at x = 500 / L of the width.
  const int L = std::min(2 * (4096 / 8), 4096);
  const int xPick = static_cast<int>(std::lround(500.0 * image.width() / L));
  int dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int dx = -2; dx <= 2; ++dx)
      dark += qGray(image.pixel(std::clamp(xPick + dx, 0, image.width() - 1), y)) < 128;
  EXPECT_GT(dark, 10);
  // The quiet part before the onset lies on the middle line.
  int onMiddle = 0;
  for (int y = 190; y <= 210; ++y) onMiddle += qGray(image.pixel(100, y)) < 128;
  EXPECT_GT(onMiddle, 0);
}

TEST_F(TracePage, AddToTemplatesMayNameANewFile) {
  ASSERT_EQ(g_nTemplatesAdded, 0);  // the file is asked for once per run
  doc.m_pWave->SetPick(500, 1000, 1, 20, 1, 0);
  const fs::path path = fs::path(TV_TEST_TMPDIR) / "new-templates.txt";
  fs::create_directories(TV_TEST_TMPDIR);
  fs::remove(path);
  {
    plat::testing::ScriptedUi ui;
    // A save-style dialog: it takes the name of a file that does not exist yet.
    ui.ExpectFileDialog(Prompt::SaveFile, "Template AE signal file", path.string());
    EXPECT_TRUE(view.OnCmdMsg(CTraceView::ID_TRACE_TEMPLATE, nullptr));
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].filter, "*.txt|*.txt||");
  }
  ASSERT_NE(view.m_fpTemplates, nullptr);
  std::fflush(view.m_fpTemplates);
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const int n = doc.m_Templates.m_nWindow + 2;
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(3 + n));
  EXPECT_EQ(lines[0], "!Template AE wveform with manually determined P-1st motion data");
  EXPECT_EQ(lines[1], "!numSamples, Samp. rate(MHz), indPick, S/N, Amp. Gain(mm/s/count");
  EXPECT_EQ(lines[2].substr(0, 12),
            plat::Format("%4d %d %d ", n, kRate, doc.m_Templates.m_nWindow / 2));
  EXPECT_EQ(doc.m_Templates.GetCount(), 1);
}

// A record whose noise is itself an AR(2) process (a resonance of the sensor) and whose
// signal, a 9-sample wave starting at sample 2000.3, grows over 200 samples out of it:
// the change point between the noise and the signal model falls differently for models of
// order 2, 5, 10 and 20. Noise by Box-Muller, so the record does not depend on the
// library's normal distribution.
void FillResonantRecord(CAEWave& w) {
  constexpr int kSamples = 4096;
  w.Allocate(1, kSamples, kRate);
  std::mt19937 gen(4);
  auto uniform = [&gen] { return (gen() + 0.5) / 4294967296.0; };
  double y1 = 0, y2 = 0;
  for (int i = 0; i < kSamples; ++i) {
    const double e = std::sqrt(-2 * std::log(uniform())) * std::cos(2 * M_PI * uniform());
    const double y = 1.6 * y1 - 0.8 * y2 + 10 * e;
    y2 = y1;
    y1 = y;
    double v = y;
    const double tau = i - 2000.3;
    if (tau > 0)
      v += 120 * std::min(1.0, tau / 200) * std::sin(2 * M_PI * tau / 9.0) * std::exp(-tau / 1500);
    w.m_pSamples[i] = static_cast<std::int16_t>(std::clamp(std::round(v), -32768.0, 32767.0));
  }
}

TEST_F(TracePage, EachARorderCommandPicksWithItsOrder) {
  FillResonantRecord(*doc.m_pWave);
  // What the picker gives for each order on its own.
  auto direct = [&](const AEPickOptions* o) {
    CAEWave w;
    FillResonantRecord(w);
    return w.AutoPick(0, 0, 0, -1, o);
  };
  struct Case {
    UINT id;
    int order;
  };
  std::set<int> picks;
  for (const Case& c : {Case{CTraceView::ID_TRACE_AR2, 2}, Case{CTraceView::ID_TRACE_AR5, 5},
                        Case{CTraceView::ID_TRACE_AR10, 10}, Case{CTraceView::ID_TRACE_AR20, 20}}) {
    doc.m_pWave->m_pPickTime[0] = 0;
    EXPECT_TRUE(view.OnCmdMsg(c.id, nullptr));
    const int pick = static_cast<int>(std::lround(doc.m_pWave->GetPickSample(0)));
    AEPickOptions o;
    o.nAROrder = c.order;
    o.bChangePoint = true;
    EXPECT_EQ(pick, direct(&o)) << c.order;
    EXPECT_EQ(doc.m_pWave->m_nLastChannel, 0);
    // Every order finds the onset, within 100 samples of it.
    EXPECT_NEAR(pick, 2000, 100) << c.order;
    picks.insert(pick);
  }
  EXPECT_EQ(picks.size(), 4u);  // four orders, four picks
  // "Pickup" is the picker with its defaults.
  EXPECT_TRUE(view.OnCmdMsg(CTraceView::ID_TRACE_PICKUP, nullptr));
  EXPECT_EQ(std::lround(doc.m_pWave->GetPickSample(0)), direct(nullptr));
}

namespace {

// A temp copy of the sample experiment with event 17 opened and the page on it.
class TraceRecords : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    dir = std::string(TV_TEST_TMPDIR) + "/TraceRecords_" +
          testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthCube", dir, fs::copy_options::recursive);
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/CUBE.00/000017.WAV"));
    view.SetData(&doc);
    view.resize(1000, 400);
    view.OnInitialUpdate();
  }
  std::string Catalogue() const {
    std::ifstream in(dir + "/Cube.aeh", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  AEHRecord OnDisk(int i) {
    AEHRecord r{};
    EXPECT_TRUE(doc.m_pHypo->GetAEH(i, &r));
    return r;
  }
  // Another page (the "Foc" page's "Next event") moves the catalogue's current record on.
  void MoveOn() { ASSERT_TRUE(doc.m_pHypo->GetAEH(19)); }
  void Run(UINT id) { view.OnCmdMsg(id, nullptr); }
  // Draws the page once, which sets the scale that drags are read with.
  void Record() {
    plat::RecordingDc dc{plat::RecordingOptions{}};
    view.OnPrepareDC(&dc);
    view.OnDraw(&dc);
  }

  std::string dir;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CTraceView view;
};

}  // namespace

// Locate with "St", Store and a pick by drag after another page moved the catalogue on:
// event 17 is located and picked in its own record, and record 19 is never written at 17.
TEST_F(TraceRecords, LocateStoreAndPickWorkOnTheShownEventsOwnRecord) {
  plat::testing::ScriptedUi ui;
  const AEHRecord own = OnDisk(17);
  ASSERT_NE(own.nTimeSec, OnDisk(19).nTimeSec);
  const std::string before = Catalogue();
  constexpr int kRecord = 416;  // 128-byte header and 16 arrivals of 18 bytes

  MoveOn();
  Run(CTraceView::ID_WAVE_SAVELOC);  // Store writes nothing and takes the own record back
  EXPECT_EQ(Catalogue(), before);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nIndex, 17);

  MoveOn();
  view.m_bStore = 1;
  Run(CTraceView::ID_WAVE_LOCATE);
  AEHRecord r = OnDisk(17);
  EXPECT_EQ(r.nTimeSec, own.nTimeSec);
  EXPECT_EQ(r.nTimeUs, own.nTimeUs);
  EXPECT_EQ(r.nArrivals, own.nArrivals);
  EXPECT_EQ(Catalogue().substr(18 * kRecord), before.substr(18 * kRecord));

  MoveOn();
  view.m_bZoom = 0;
  Record();
  view.PickByDrag({5000, -2000}, {6000, -2000});
  EXPECT_EQ(doc.m_pHypo->m_Rec.nIndex, 17);
  EXPECT_EQ(doc.m_pHypo->m_Rec.nTimeSec, own.nTimeSec);
  EXPECT_EQ(Catalogue().substr(18 * kRecord), before.substr(18 * kRecord));
}

// A locked record of the shown event is never rewritten, not even when the record in
// memory is another event's unlocked one; a pick by drag leaves its arrivals alone.
TEST_F(TraceRecords, LockedRecordIsNotRewritten) {
  AEHRecord locked = OnDisk(17);
  locked.nFlags |= AEH_FLAG_LOCKED;
  doc.m_pHypo->m_Rec = locked;
  ASSERT_TRUE(doc.m_pHypo->PutAEH(17, false));
  const std::string before = Catalogue();
  plat::testing::ScriptedUi ui;
  ui.ExpectMessage("Locked event!", IDOK);
  MoveOn();
  view.m_bStore = 1;
  Run(CTraceView::ID_WAVE_LOCATE);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_EQ(ui.PendingExpectations(), 0u);

  ui.ExpectMessage("Locked event!", IDOK);
  view.m_bZoom = 0;
  Record();
  view.PickByDrag({5000, -2000}, {6000, -2000});
  EXPECT_EQ(ui.PendingExpectations(), 0u);
  EXPECT_EQ(doc.m_pHypo->m_Rec.fTime[0], locked.fTime[0]);
  EXPECT_EQ(Catalogue(), before);
}
