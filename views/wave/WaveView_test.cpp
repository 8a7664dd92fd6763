#include "views/wave/WaveView.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "aecore/document/TremviaDoc.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/Resources.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::DcOp;
using plat::DcOpKind;
using plat::testing::Prompt;

namespace {

struct Onset {
  double us;
  int polarity;
  double amplitude;
};

// The first event of the sample experiment, opened through the document in a copy of
// the experiment's folder, its channels picked and the event located.
class WavePage : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    plat::testing::EnsureQtApp();
    dir = std::string(TV_TEST_TMPDIR) + "/SynthCube";
    fs::remove_all(dir);
    fs::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthCube", dir, fs::copy_options::recursive);
    std::ifstream in(dir + "/onsets.txt");
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream ss(line);
      int event, channel;
      Onset o;
      ss >> event >> channel >> o.us >> o.polarity >> o.amplitude;
      if (event == 0) onsets[channel] = o;
    }
  }

  void SetUp() override {
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/CUBE.00/000000.WAV"));
    ASSERT_TRUE(doc.m_pWave && doc.m_pHypo);
    ASSERT_EQ(doc.m_pWave->GetNumChannels(), 16);
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0);
    view.SetData(&doc);
    view.resize(800, 600);
    view.OnInitialUpdate();
    host.updates.clear();
  }

  std::unique_ptr<plat::RecordingDc> Record(bool printing = false, int dpi = 96) {
    plat::RecordingOptions o;
    o.printing = printing;
    o.dpiX = o.dpiY = dpi;
    auto dc = std::make_unique<plat::RecordingDc>(o);
    dc->SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(dc.get());
    return dc;
  }

  static std::vector<const DcOp*> Traces(const plat::RecordingDc& dc) {
    std::vector<const DcOp*> out;
    for (const DcOp* op : dc.OpsOf(DcOpKind::Polyline))
      if (op->state.pen.Width() == 10) out.push_back(op);
    return out;
  }
  static std::vector<const DcOp*> LinesOfWidth(const plat::RecordingDc& dc, int width) {
    std::vector<const DcOp*> out;
    for (const DcOp* op : dc.OpsOf(DcOpKind::LineTo))
      if (op->state.pen.Width() == width) out.push_back(op);
    return out;
  }

  static inline std::string dir;
  static inline std::map<int, Onset> onsets;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CWaveView view;
};

double MeanY(const DcOp& trace) {
  double s = 0;
  for (const POINT& p : trace.points) s += p.y;
  return s / trace.points.size();
}

}  // namespace

TEST_F(WavePage, ChannelsStandOnTheirBaselinesWithTheirPicks) {
  ASSERT_GT(doc.m_pHypo->m_Rec.nArrivals, 4);
  const auto dcOwned = Record();
  const plat::RecordingDc& dc = *dcOwned;
  EXPECT_EQ(view.m_fXScale, 12.0f);  // 24000 units over 2000 samples
  const auto traces = Traces(dc);
  ASSERT_EQ(traces.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    const DcOp& t = *traces[i];
    ASSERT_EQ(t.points.size(), 2000u);
    EXPECT_EQ(t.points.front().x, 1000);
    EXPECT_EQ(t.points.back().x, 1000 + 1999 * 12);
    const int baseline = -1000 - (i + 2) * 1000;    // 16 channels: H = 1000
    EXPECT_NEAR(t.points.front().y, baseline, 30);  // noise before the onset
    EXPECT_NEAR(MeanY(t), baseline, 100);
    EXPECT_EQ(t.state.pen.Color(), RGB(0, 0, 0));
  }
  // Labels "01" .. "16" hang from 250 above each baseline, or higher when the font is
  // taller than that, so that the baseline never strikes them; they stay below the row
  // above.
  for (int i = 0; i < 16; ++i) {
    const auto texts = dc.OpsOf(DcOpKind::Text);
    const auto it = std::find_if(texts.begin(), texts.end(), [&](const DcOp* op) {
      return op->text == plat::Format("%02d", i + 1);
    });
    ASSERT_NE(it, texts.end());
    const int baseline = -1000 - (i + 2) * 1000;
    EXPECT_GE((*it)->points[0].y, baseline + 250);
    int lo = (*it)->textBox[0].y, hi = lo;
    for (const POINT& p : (*it)->textBox) lo = std::min<int>(lo, p.y), hi = std::max<int>(hi, p.y);
    EXPECT_GT(lo, baseline);
    EXPECT_LT(hi, baseline + 1000);
  }

  // One pick bar a channel, at the picked sample, near the true onset; coloured by the
  // first motion.
  const auto bars = LinesOfWidth(dc, 40);
  ASSERT_EQ(bars.size(), 16u);
  int nearTruth = 0, polarityRight = 0, strong = 0;
  for (int c = 0; c < 16; ++c) {
    const DcOp& bar = *bars[c];
    const int p = static_cast<int>(doc.m_pWave->m_pPickTime[c] * 10);
    EXPECT_EQ(bar.points[0].x, p * 12 + 1000);
    const int base = -1000 - (c + 2) * 1000;
    const int len = std::abs(bar.points[1].y - bar.points[0].y);
    EXPECT_GE(len, 250);
    EXPECT_LE(len, 750);
    const double truthX = onsets[c].us * 10 * 12 + 1000;
    if (std::abs(bar.points[0].x - truthX) <= 2 * 120) ++nearTruth;  // within 2 us
    const COLORREF colour = bar.state.pen.Color();
    if (doc.m_pWave->m_pPolarity[c] > 0) {
      EXPECT_EQ(colour, RGB(0, 255, 0));
      EXPECT_EQ(bar.points[0].y, base);
      EXPECT_EQ(bar.points[1].y, base + len);
    } else if (doc.m_pWave->m_pPolarity[c] < 0) {
      EXPECT_EQ(colour, RGB(0, 0, 255));
      EXPECT_EQ(bar.points[1].y, base - len);
    } else {
      EXPECT_EQ(colour, RGB(128, 128, 128));
    }
    if (std::abs(onsets[c].amplitude) > 2000) {
      ++strong;
      if ((colour == RGB(0, 255, 0)) == (onsets[c].polarity > 0)) ++polarityRight;
    }
  }
  EXPECT_GE(nearTruth, 14);
  EXPECT_GE(polarityRight, strong - 1);

  // The time axis 3 pitches below the last row: y = -1000 - 19 x 1000.
  const auto texts = dc.OpsOf(DcOpKind::Text);
  const auto axisTitle = std::find_if(texts.begin(), texts.end(),
                                      [](const DcOp* op) { return op->text == "Time(usec)"; });
  ASSERT_NE(axisTitle, texts.end());
  // The title 750 below the axis, or lower when the font needs it to clear the labels.
  EXPECT_LE((*axisTitle)->points[0].y, -20000 - 750);
  EXPECT_GE((*axisTitle)->points[0].y, -20000 - 1000);
  const auto axisLine = LinesOfWidth(dc, 20);
  ASSERT_FALSE(axisLine.empty());
  EXPECT_EQ(axisLine[0]->points[0].y, -20000);
  EXPECT_EQ(axisLine[0]->points[1].x, 1000 + static_cast<int>(KZ_NiceFloorF(2000) * 12));
  const auto label200 =
      std::find_if(texts.begin(), texts.end(), [](const DcOp* op) { return op->text == "200"; });
  ASSERT_NE(label200, texts.end());  // 2000 samples at 10 MHz: 0 .. 200 us
  EXPECT_EQ((*label200)->points[0].x, 1000 + 24000);

  // Title and the location line of the located event.
  const auto all = dc.Texts();
  EXPECT_EQ(all[0].rfind(doc.m_pWave->m_strPath, 0), 0u) << all[0];
  EXPECT_EQ(all[1].rfind("S:(", 0), 0u) << all[1];
  EXPECT_NE(all[1].find(plat::Format("Mid=%d", doc.m_pHypo->m_Rec.nArrivals)), std::string::npos);

  // Predicted arrivals in red, and the origin-time line over the sensors' rows.
  const auto red = LinesOfWidth(dc, 0);
  ASSERT_FALSE(red.empty());
  for (const DcOp* op : red) EXPECT_EQ(op->state.pen.Color(), RGB(255, 0, 0));
  const DcOp& origin = *red.back();
  EXPECT_EQ(origin.points[0].y, -2000);
  EXPECT_EQ(origin.points[1].y, -2000 - 16 * 1000);
}

TEST_F(WavePage, DrawingLeavesTheEnginesRecordAlone) {
  // The engine's current record belongs to another event: the page shows an empty one
  // (no location line, no predicted arrivals) and the engine keeps its record.
  doc.m_pHypo->m_Rec.nIndex = 7;
  AEHRecord before = doc.m_pHypo->m_Rec;
  const auto dcOwned = Record();
  const plat::RecordingDc& dc = *dcOwned;
  EXPECT_EQ(std::memcmp(&before, &doc.m_pHypo->m_Rec, sizeof before), 0);
  EXPECT_EQ(dc.Texts()[1], "01");  // no second text line
  EXPECT_TRUE(LinesOfWidth(dc, 0).empty());
  EXPECT_EQ(Traces(dc).size(), 16u);
  // Drawing the event's own record computes travel times on a copy, too.
  doc.m_pHypo->m_Rec.nIndex = doc.m_pWave->m_nEvent;
  view.m_bSortART = 1;
  view.m_bNormalize = 1;
  before = doc.m_pHypo->m_Rec;
  Record();
  EXPECT_EQ(std::memcmp(&before, &doc.m_pHypo->m_Rec, sizeof before), 0);
}

TEST_F(WavePage, DisplayOrderEntriesPastTheChannelsAreSkipped) {
  doc.m_pWave->m_pSensor.assign(16, 0);
  for (int i = 0; i < 16; ++i) doc.m_pWave->m_pSensor[i] = i;
  doc.m_pWave->m_pSensor[3] = 40;
  doc.m_pWave->m_pSensor[5] = -2;
  doc.m_pHypo->m_Rec.nSensor[0] = 40;  // a sensor index past the channels
  const auto dcOwned = Record();
  const plat::RecordingDc& dc = *dcOwned;
  EXPECT_EQ(Traces(dc).size(), 14u);
}

TEST_F(WavePage, ClippingPrintingAndZoom) {
  // A full-scale sample on channel 0, drawn at zoom 32.
  doc.m_pWave->m_pSamples[1000] = doc.m_pWave->m_pHeader->nMax;
  for (int i = 0; i < 3; ++i) view.OnCmdMsg(CWaveView::ID_VIEW_ZOOMIN, nullptr);
  EXPECT_EQ(view.m_fZoom, 32.0f);
  auto peak = [](const DcOp& t, int base) {
    int m = 0;
    for (const POINT& p : t.points) m = std::max(m, std::abs(p.y - base));
    return m;
  };
  EXPECT_GT(peak(*Traces(*Record())[0], -3000), 1000);  // never clipped unless asked
  view.OnCmdMsg(CWaveView::ID_WAVE_CLIP5, nullptr);
  EXPECT_EQ(peak(*Traces(*Record())[0], -3000), 500);
  view.OnCmdMsg(CWaveView::ID_WAVE_CLIP10, nullptr);
  EXPECT_EQ(peak(*Traces(*Record())[0], -3000), 1000);
  plat::CCmdUI ui(CWaveView::ID_WAVE_CLIP10);
  view.OnCmdMsg(CWaveView::ID_WAVE_CLIP10, &ui);
  EXPECT_EQ(ui.m_nCheck, 1);
  view.OnCmdMsg(CWaveView::ID_WAVE_NOCLIP, nullptr);
  view.OnCmdMsg(CWaveView::ID_VIEW_ZOOMOUT, nullptr);
  EXPECT_EQ(view.m_fZoom, 16.0f);

  // On a printer the page moves 20 mm right and down and the rows are 1.4 times higher.
  const auto printedOwned = Record(true, 600);
  const plat::RecordingDc& printed = *printedOwned;
  const auto traces = Traces(printed);
  ASSERT_EQ(traces.size(), 16u);
  EXPECT_EQ(traces[0]->points.front().x, 3000);
  EXPECT_EQ(traces[0]->points.back().x, 3000 + 1999 * 12);
  EXPECT_NEAR(MeanY(*traces[0]), -3000 - 2 * 1400, 100);
  EXPECT_NEAR(MeanY(*traces[15]), -3000 - 17 * 1400, 100);
}

TEST_F(WavePage, SortingByArrivalTimePutsUnpickedChannelsLast) {
  doc.m_pWave->m_pPickTime[2] = 0;  // no pick
  view.OnCmdMsg(CWaveView::ID_WAVE_SORTART, nullptr);
  const auto& order = doc.m_pWave->m_pSensor;
  ASSERT_GE(order.size(), 16u);
  EXPECT_EQ(order[15], 2);
  for (int i = 1; i < 15; ++i)
    EXPECT_LE(doc.m_pWave->m_pPickTime[order[i - 1]], doc.m_pWave->m_pPickTime[order[i]]);
  // Rows shifted by their travel times line up at the origin: the label of the row of
  // the earliest arrival stands furthest right.
  const auto dcOwned = Record();
  const plat::RecordingDc& dc = *dcOwned;
  EXPECT_EQ(Traces(dc).size(), 16u);
  view.OnCmdMsg(CWaveView::ID_WAVE_SORTART, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(order[i], i);
}

TEST_F(WavePage, HintFilterAndPaintingAtOnce) {
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.BackingImage();
  ASSERT_FALSE(view.IsStale());
  struct Case {
    LONG hint;
    bool repaints;
  };
  for (const Case c : {Case{8, false}, Case{2, false}, Case{0x40, false}, Case{0x100, false},
                       Case{0, true}, Case{4, true}, Case{15, true}, Case{31, true}}) {
    SCOPED_TRACE(c.hint);
    view.BackingImage();
    view.OnUpdate(nullptr, c.hint, nullptr);
    EXPECT_EQ(view.IsStale(), c.repaints);
  }
  view.BackingImage();
  const int renders = view.RenderCount();
  view.OnUpdate(nullptr, 0x1044, nullptr);
  EXPECT_EQ(view.RenderCount(), renders + 1);  // painted before the update returned
  EXPECT_FALSE(view.IsStale());
}

TEST_F(WavePage, LeftButtonOnARowChoosesTheTracePagesChannel) {
  // Page point -> client pixel at the view's resolution (no scrolling).
  const double px = view.LogPixelsX() / 2540.0;
  auto client = [&](int x, int y) {
    return POINT{static_cast<LONG>(std::lround(x * px)), static_cast<LONG>(std::lround(-y * px))};
  };
  view.OnLButtonDown(MK_LBUTTON, client(5000, -1000 - 5 * 1000 - 500));  // |y'| = 5500
  EXPECT_EQ(doc.m_pWave->m_nCurChannel, 3);  // rows r >= 1 cover (r + 2) H .. (r + 3) H
  ASSERT_EQ(host.Hints(), std::vector<LONG>{HINT_TRACE});
  view.OnLButtonDown(MK_LBUTTON, client(500, -1000 - 2500));
  EXPECT_EQ(doc.m_pWave->m_nCurChannel, 0);  // row 0 covers H .. 3H
  EXPECT_EQ(view.m_ptPress.x, 0);            // left of the traces counts as 0
  host.updates.clear();
  view.OnLButtonDown(MK_LBUTTON, client(5000, -1000 - 500));    // above row 0's band
  view.OnLButtonDown(MK_LBUTTON, client(5000, -1000 - 19500));  // below the last row
  EXPECT_TRUE(host.updates.empty());
  EXPECT_EQ(doc.m_pWave->m_nCurChannel, 0);
}

TEST_F(WavePage, PageIntoAnImageAtAFixedResolution) {
  view.m_nScrollW = 27000;
  const int dpi = 96;
  const int w = 27000 * dpi / 2540, h = 23000 * dpi / 2540;
  QImage image(w, h, QImage::Format_RGB32);
  {
    plat::CImageDC dc(&image, dpi, dpi);
    dc.PatBlt(0, 0, w, h, WHITENESS);
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(&dc);
  }
  ASSERT_TRUE(image.save(QString::fromStdString(std::string(TV_TEST_TMPDIR) + "/wave_page.png")));
  auto at = [&](double x, double y) {  // page units -> pixel
    return image.pixelColor(static_cast<int>(x * dpi / 2540), static_cast<int>(-y * dpi / 2540));
  };
  // The start of channel 1's trace is black (noise on its baseline); the pick bars are
  // green or blue; the page right of the traces is white.
  EXPECT_LT(at(1100, -3000).lightness(), 128);
  for (int c = 0; c < 16; c += 5) {
    const int p = static_cast<int>(doc.m_pWave->m_pPickTime[c] * 10);
    const int base = -1000 - (c + 2) * 1000;
    const int dir = doc.m_pWave->m_pPolarity[c] > 0 ? 1 : -1;
    // The bar is 0.4 mm wide; a predicted arrival's one-pixel red line may cross it.
    bool found = false;
    for (int dx = -30; dx <= 30; dx += 10)
      found = found || at(p * 12 + 1000 + dx, base + dir * 200) ==
                           (dir > 0 ? QColor(0, 255, 0) : QColor(0, 0, 255));
    EXPECT_TRUE(found) << c;
  }
  EXPECT_EQ(at(26000, -10000), QColor(Qt::white));
}

TEST_F(WavePage, PrintedToAPdfThatAnotherToolRenders) {
  const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
  ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm (poppler-utils) is needed";
  const QDir tmp(TV_TEST_TMPDIR);
  const QString pdf = tmp.filePath("wave.pdf");
  QFile::remove(pdf);
  QFile::remove(tmp.filePath("wave-1.png"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  printer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  ASSERT_TRUE(view.PrintTo(&printer));
  QProcess p;
  p.start(pdftoppm, {"-r", "300", "-png", pdf, tmp.filePath("wave")});
  ASSERT_TRUE(p.waitForFinished(30000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  const QImage page(tmp.filePath("wave-1.png"));
  ASSERT_FALSE(page.isNull());
  // A4 is 210 x 297 mm; the printed page, wider than that, is scaled down to fit whole.
  const SIZE printed = view.PrintExtent();
  const double fit = std::min({1.0, 21000.0 / printed.cx, 29700.0 / printed.cy});
  EXPECT_LT(fit, 1.0);
  const double pxPerUnit = page.width() / 21000.0 * fit;
  auto at = [&](int x, int y) {
    return page.pixelColor(static_cast<int>(x * pxPerUnit), static_cast<int>(-y * pxPerUnit));
  };
  // The right end of the traces (x0 + 2000 + 24000) is on the paper.
  EXPECT_LT(static_cast<int>(28000 * pxPerUnit), page.width());
  // Printed 20 mm further right and down with rows 1.4 times higher: channel 1's pick
  // bar and the noise on its baseline, and nothing in the left margin.
  const int c = 0, base = -3000 - 2 * 1400;
  const int px = static_cast<int>(doc.m_pWave->m_pPickTime[c] * 10) * 12 + 3000;
  const int dir = doc.m_pWave->m_pPolarity[c] > 0 ? 1 : -1;
  bool barFound = false;  // the bar is 0.4 mm wide: look a little either side
  for (int dx = -40; dx <= 40 && !barFound; dx += 5) {
    const QColor bar = at(px + dx, base + dir * 200);
    barFound = dir > 0 ? bar.green() > 200 && bar.blue() < 80 && bar.red() < 80
                       : bar.blue() > 200 && bar.green() < 80 && bar.red() < 80;
  }
  EXPECT_TRUE(barFound);
  int dark = 0;
  for (int dy = -60; dy <= 60; dy += 10) dark += at(3300, base + dy).lightness() < 128;
  EXPECT_GT(dark, 0);
  EXPECT_EQ(at(1000, -15000), QColor(Qt::white));  // left of the labels
}

TEST_F(WavePage, IncidenceCorrectionAndNormalisationFollowTheSensorGeometry) {
  const AEHRecord& rec = doc.m_pHypo->m_Rec;
  ASSERT_GE(rec.nArrivals, 5);
  // Sensor 1 sits on the +x face at (25, -10, -12): the ray from the hypocentre meets
  // the face normal (1, 0, 0) at cos = (25 - x) / distance.
  const double dx = 25 - rec.fX, dy = -10 - rec.fY, dz = -12 - rec.fZ;
  const double dist = std::sqrt(dx * dx + dy * dy + dz * dz), cosI = dx / dist;
  const auto beforeOwned = Record();
  const plat::RecordingDc& before = *beforeOwned;
  auto amplitude = [](const DcOp& t) {
    int lo = t.points[0].y, hi = lo;
    for (const POINT& p : t.points) lo = std::min<int>(lo, p.y), hi = std::max<int>(hi, p.y);
    return hi - lo;
  };
  const int a0 = amplitude(*Traces(before)[0]);
  view.OnCmdMsg(CWaveView::ID_WAVE_NORMALIZE, nullptr);
  EXPECT_EQ(view.m_bNormalize, 1);
  const int a1 = amplitude(*Traces(*Record())[0]);
  EXPECT_NEAR(static_cast<double>(a1) / a0, 1 / AE_IncidenceResponse(cosI),
              0.02 / AE_IncidenceResponse(cosI));
  // The distance label of sensor 1 beside its row, in whole millimetres.
  const auto texts = before.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), plat::Format("%03d", int(dist))), texts.end());
  view.OnCmdMsg(CWaveView::ID_WAVE_NORMALIZE, nullptr);
  EXPECT_EQ(view.m_bNormalize, 0);

  view.OnCmdMsg(CWaveView::ID_UTIL_INCIDENCE, nullptr);
  ASSERT_GE(doc.m_pWave->m_pGain.size(), 16u);
  EXPECT_NEAR(doc.m_pWave->m_pGain[0], 1 / AE_IncidenceResponse(cosI),
              1e-3 / AE_IncidenceResponse(cosI));
}

TEST_F(WavePage, MouseZonesCursorsAndHeaderClicks) {
  plat::testing::ScriptedUi ui;
  const double px = view.LogPixelsX() / 2540.0;
  auto client = [&](int x, int y) {
    return POINT{static_cast<LONG>(std::lround(x * px)), static_cast<LONG>(std::lround(-y * px))};
  };
  RECT r;
  view.GetClientRect(&r);
  const int w = static_cast<int>(r.right / px);  // client width in page units
  view.OnMouseMove(0, client(500, -5000));
  EXPECT_EQ(view.m_hCursor, CWaveView::IDC_NOISE);
  view.OnMouseMove(0, client(1000 + w / 10, -1000 + 200));
  EXPECT_EQ(view.m_hCursor, CWaveView::IDC_PREV);
  view.OnMouseMove(0, client(1000 + w * 9 / 10, -1000 + 200));
  EXPECT_EQ(view.m_hCursor, CWaveView::IDC_NEXT);
  view.OnMouseMove(MK_SHIFT, client(1000 + w * 9 / 10, -1000 + 200));
  EXPECT_EQ(view.m_hCursor, CWaveView::IDC_TIME);
  std::vector<std::string> panes;
  for (const auto& t : ui.PaneTexts()) {
    EXPECT_EQ(t.pane, 0);
    panes.push_back(t.text);
  }
  EXPECT_EQ(panes, (std::vector<std::string>{"Click to mark noise",
                                             "L-Click to next, L-Down & move to relocate."}));

  std::vector<UINT> sent;
  view.MapCommand(CWaveView::ID_FILE_LOADNEXT,
                  [&] { sent.push_back(CWaveView::ID_FILE_LOADNEXT); });
  view.MapCommand(CWaveView::ID_WAVE_LOADPREV,
                  [&] { sent.push_back(CWaveView::ID_WAVE_LOADPREV); });
  view.MapCommand(CWaveView::ID_WAVE_SAVELOC, [&] { sent.push_back(CWaveView::ID_WAVE_SAVELOC); });
  view.OnLButtonUp(0, client(1000 + w / 10, -1000 + 200));
  view.OnLButtonUp(0, client(1000 + w * 9 / 10, -1000 + 200));
  view.OnLButtonUp(MK_CONTROL, client(1000 + w / 2, -5000));
  view.OnLButtonUp(0, client(1000 + w / 2, -1000 + 200));  // the middle of the band: nothing
  EXPECT_EQ(sent, (std::vector<UINT>{CWaveView::ID_WAVE_LOADPREV, CWaveView::ID_FILE_LOADNEXT,
                                     CWaveView::ID_WAVE_SAVELOC}));
}

TEST_F(WavePage, ClickLeftOfTheTracesTogglesTheNoiseMark) {
  plat::testing::ScriptedUi ui;
  std::vector<UINT> sent;
  view.MapCommand(CWaveView::ID_FILE_LOADNEXT,
                  [&] { sent.push_back(CWaveView::ID_FILE_LOADNEXT); });
  const POINT left{5, 200};
  CAEHypo& hypo = *doc.m_pHypo;
  hypo.m_Rec.nFlags |= 0x20;
  const int arrivals = hypo.m_Rec.nArrivals;
  ui.ExpectMessage("Locked event!", IDOK);
  view.OnLButtonUp(0, left);
  EXPECT_EQ(hypo.m_Rec.nArrivals, arrivals);
  EXPECT_TRUE(sent.empty());
  hypo.m_Rec.nFlags &= ~0x20;
  view.OnLButtonUp(0, left);
  EXPECT_EQ(hypo.m_Rec.nArrivals, -1);
  EXPECT_EQ(doc.m_pWave->m_pHeader->nStatus, -1);
  EXPECT_EQ(sent, std::vector<UINT>{CWaveView::ID_FILE_LOADNEXT});
  AEHRecord stored{};
  ASSERT_TRUE(hypo.GetAEH(doc.m_pWave->m_nEvent, &stored));
  EXPECT_EQ(stored.nArrivals, -1);
  view.OnLButtonUp(0, left);  // a second click clears it again
  EXPECT_EQ(hypo.m_Rec.nArrivals, 0);
  EXPECT_EQ(doc.m_pWave->m_pHeader->nStatus, 0);
  EXPECT_EQ(sent.size(), 1u);
}

namespace {

// Runs `act` on the modal dialog that the next command opens.
void OnNextDialog(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    act(dlg);
  });
}

QLineEdit* Edit(QWidget* w, int id) { return w->findChild<QLineEdit*>(QString::number(id)); }

void Type(QWidget* w, int id, const char* text) {
  QLineEdit* e = Edit(w, id);
  ASSERT_NE(e, nullptr) << id;
  e->selectAll();
  QTest::keyClicks(e, text);
}

void Press(QWidget* w, const char* button) {
  auto* b = w->findChild<QPushButton*>(button);
  ASSERT_NE(b, nullptr) << button;
  QTest::mouseClick(b, Qt::LeftButton);
}

}  // namespace

// View > Property: the trace area and margins in whole millimetres; a value out of range
// keeps the sheet open, Cancel changes nothing, OK lays the page out anew.
TEST_F(WavePage, PageLayoutThroughTheGraphPage) {
  plat::testing::ScriptedUi ui;
  plat::Resources::Get().SetString(AFX_IDS_APP_TITLE, "Tremvia");
  OnNextDialog([](QDialog* dlg) {
    EXPECT_EQ(dlg->windowTitle(), "Tremvia");
    ASSERT_NE(dlg->findChild<QTabWidget*>("tabs"), nullptr);
    EXPECT_EQ(dlg->findChild<QTabWidget*>("tabs")->tabText(0), "Graph");
    EXPECT_EQ(Edit(dlg, 1004)->text(), "160");  // height
    EXPECT_EQ(Edit(dlg, 1001)->text(), "240");  // width
    EXPECT_EQ(Edit(dlg, 1054)->text(), "10");   // left margin
    EXPECT_EQ(Edit(dlg, 1099)->text(), "10");   // top margin
    Type(dlg, 1001, "301");
    Press(dlg, "1");
    EXPECT_TRUE(dlg->isVisible());
    Press(dlg, "2");
  });
  view.OnCmdMsg(CWaveView::ID_VIEW_PROPERTY, nullptr);
  EXPECT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_EQ(std::make_tuple(view.m_nTraceHeight, view.m_nTraceWidth, view.m_nPlotLeft,
                            view.m_nPlotTop),
            std::make_tuple(16000, 24000, 1000, -1000));

  OnNextDialog([](QDialog* dlg) {
    Type(dlg, 1004, "100");
    Type(dlg, 1001, "200");
    Type(dlg, 1054, "20");
    Type(dlg, 1099, "5");
    Press(dlg, "1");
  });
  view.OnCmdMsg(CWaveView::ID_VIEW_PROPERTY, nullptr);
  EXPECT_EQ(std::make_tuple(view.m_nTraceHeight, view.m_nTraceWidth, view.m_nPlotLeft,
                            view.m_nPlotTop),
            std::make_tuple(10000, 20000, 2000, -500));
  EXPECT_EQ(view.GetTotalSize().cx, 2000 + 20000 + 2000);
  EXPECT_EQ(view.GetTotalSize().cy, 10000 + 500 + 2000);
  // The traces follow: 16 rows of 625 below the new top margin, 20 mm further right.
  const auto dc = Record();
  const auto traces = Traces(*dc);
  ASSERT_EQ(traces.size(), 16u);
  EXPECT_EQ(view.m_fXScale, 10.0f);  // 20000 units over 2000 samples
  EXPECT_EQ(traces[0]->points.front().x, 2000);
  EXPECT_NEAR(MeanY(*traces[0]), -500 - 2 * 625, 100);
  EXPECT_NEAR(MeanY(*traces[15]), -500 - 17 * 625, 100);
}
