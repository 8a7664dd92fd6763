// The plot pages on the sample experiment, measured with the real fonts at 96 dpi and on
// a 600-dpi printer: no two texts of a page overlap and none leaves the page. The first
// event is picked and located, so that the pages show a full record; the X-Ys graph
// shows the working sheet's event table, whose plotted columns stand inside their axes.
// A 96-dpi picture of each page is kept beside the test's temporary files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "base/plot/view/KZ_View_testkit.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/graph/GraphView.h"
#include "views/source/SourceView.h"
#include "views/timeseries/TSView.h"
#include "views/trace/TraceView.h"
#include "views/wave/WaveView.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;

namespace {

class PagesOnTheSample : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    dir = std::string(TV_TEST_TMPDIR) + "/layout_sample";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(std::string(TV_SOURCE_DIR) + "/examples/SynthFault", dir, fs::copy_options::recursive);
    plat::testing::ScriptedUi ui;
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Fault.pad");
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/FAULT.00/000000.WAV"));
    ASSERT_TRUE(doc.m_pWave && doc.m_pHypo);
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0);
    CAEHypo& h = *doc.m_pHypo;
    h.m_nMinArrivals = 0;
    ASSERT_TRUE(doc.BuildEventList(0, h.GetNumAE(), 0, 0));
  }

  // The page's text faults; its picture saved as <name>.png.
  std::vector<std::string> Check(KZ_View& view, const std::string& name) {
    view.RenderPageToDIB();
    const QImage page = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
    EXPECT_FALSE(page.isNull()) << name;
    page.save(QString::fromStdString(std::string(TV_TEST_TMPDIR) + "/" + name + ".png"));
    view.FreeCachedDIB();
    return kz_test::PageTextFaults(view);
  }

  static std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
  }

  std::string dir;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
};

}  // namespace

TEST_F(PagesOnTheSample, WavePageTextsStandApartAndOnThePage) {
  CWaveView view;
  view.SetData(&doc);
  view.resize(1000, 800);
  view.OnInitialUpdate();
  const auto faults = Check(view, "page_wave");
  EXPECT_TRUE(faults.empty()) << Join(faults);
  // The channel labels, one per row in row order, stand between their trace's baseline
  // and the baseline of the row above.
  const auto dc = kz_test::RecordPageWithRealFonts(view);
  const int n = doc.m_pWave->GetNumChannels();
  const int H = 16000 / n;
  int row = 0;
  for (const plat::DcOp* op : dc->OpsOf(plat::DcOpKind::Text)) {
    if (op->text.size() != 2 || !std::isdigit(static_cast<unsigned char>(op->text[0])) ||
        op->points[0].x != view.m_nPlotLeft)
      continue;
    const int yi = view.m_nPlotTop - (row + 2) * H;
    int lo = op->textBox[0].y, hi = lo;
    for (const POINT& p : op->textBox) lo = std::min<int>(lo, p.y), hi = std::max<int>(hi, p.y);
    EXPECT_GT(lo, yi) << op->text;
    EXPECT_LT(hi, yi + H) << op->text;
    ++row;
  }
  EXPECT_EQ(row, n);
}

TEST_F(PagesOnTheSample, SourcePageTextsStandApartAndOnThePage) {
  CSourceView view;
  view.SetData(&doc);
  view.resize(1000, 800);
  view.OnInitialUpdate();
  const auto faults = Check(view, "page_foc");
  EXPECT_TRUE(faults.empty()) << Join(faults);
  // The sensor numbers stand on the page itself, not on boxes of another colour.
  const auto dc = kz_test::RecordPageWithRealFonts(view);
  for (const plat::DcOp* op : dc->OpsOf(plat::DcOpKind::Text)) {
    if (op->state.bkMode == OPAQUE) {
      EXPECT_EQ(op->state.bkColor, RGB(255, 255, 255)) << op->text;
    }
  }
}

TEST_F(PagesOnTheSample, TimeSeriesPageTextsStandApartAndOnThePage) {
  // The sample's stress series fills three slots; the page's time axis goes below the
  // third whether or not the shear-stress curve is asked for.
  for (int shear : {0, 1}) {
    CTSView view;
    view.SetData(&doc);
    view.m_bShear = shear;
    view.resize(1000, 800);
    view.OnInitialUpdate();
    const auto faults = Check(view, shear ? "page_ts_shear" : "page_ts");
    EXPECT_TRUE(faults.empty()) << "shear " << shear << "\n" << Join(faults);
  }
}

TEST_F(PagesOnTheSample, GraphOfTheEventTableKeepsEveryColumnInsideItsAxes) {
  KZ_MultiVarObj table;
  ASSERT_GT(doc.FillEventSheet(&table, 0), 0);
  // The columns drawn on axes (Y roles) have ranges that hold their values: the sample's
  // magnitudes lie near -11, far below the usual 0..4.
  for (int c = 0; c < table.m_nColumns; ++c) {
    const KZ_Var1D& col = table.m_Columns[c];
    if (!(col.m_nAxisFlags & KZ_AXIS_Y)) continue;
    for (int r = 0; r < table.m_nRows; ++r) {
      EXPECT_GE(table.m_ppData[c][r], col.m_dMin) << col.m_strTitle << " row " << r;
      EXPECT_LE(table.m_ppData[c][r], col.m_dMax) << col.m_strTitle << " row " << r;
    }
  }
  CGraphView view;
  view.resize(1000, 800);
  view.OnInitialUpdate();
  view.SetData(&table);
  const auto faults = Check(view, "page_graph");
  EXPECT_TRUE(faults.empty()) << Join(faults);
  // Every symbol and line point of a plotted column lies inside the plot frame.
  const auto dc = kz_test::RecordPageWithRealFonts(view);
  const int left = view.m_nPlotLeft, top = view.m_nPlotTop;
  const int right = left + view.m_nPlotW, bottom = top - view.m_nPlotH;
  int points = 0;
  for (const plat::DcOp& op : dc->Ops()) {
    if (op.kind != plat::DcOpKind::Ellipse && op.kind != plat::DcOpKind::Polyline) continue;
    std::vector<POINT> pts = op.points;
    if (op.kind == plat::DcOpKind::Ellipse)
      pts = {POINT{(op.rect.left + op.rect.right) / 2, (op.rect.top + op.rect.bottom) / 2}};
    for (const POINT& p : pts) {
      ++points;
      EXPECT_GE(p.x, left - 1);
      EXPECT_LE(p.x, right + 1);
      EXPECT_GE(p.y, bottom - 1);
      EXPECT_LE(p.y, top + 1);
    }
  }
  EXPECT_GT(points, 0);
}

TEST_F(PagesOnTheSample, TracePageTextsStandApartInTheWindow) {
  CTraceView view;
  view.SetData(&doc);
  view.resize(1000, 600);
  view.OnInitialUpdate();
  static QImage screen(1, 1, QImage::Format_RGB32);
  auto qt = std::make_shared<plat::QtPainterDevice>(&screen, 96, 96);
  plat::RecordingOptions o;
  o.metrics = [qt](const plat::DcState& s) { return qt->GetTextMetrics(s); };
  o.textWidth = [qt](const plat::DcState& s, const std::string& t) {
    return qt->GetTextWidth(s, t);
  };
  plat::RecordingDc dc(o);
  view.OnPrepareDC(&dc);
  view.OnDraw(&dc);
  ASSERT_FALSE(dc.OpsOf(plat::DcOpKind::Text).empty());
  // The window in page units (MM_HIMETRIC at 96 dpi).
  const auto faults = kz_test::TextLayoutFaults(dc, 1000 * 2540 / 96, 600 * 2540 / 96);
  EXPECT_TRUE(faults.empty()) << Join(faults);
}
