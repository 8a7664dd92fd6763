// Layout of the page on the bundled synthetic experiment, measured with the real fonts:
// no text of any plot type runs into another or off the page, and the three-projection
// plot (the default) lies whole on the page, on screen, in the picture and on paper.
#include <omp.h>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

#include "base/plot/view/KZ_View_testkit.h"
#include "platform/Strings.h"
#include "platform/testing/ScriptedUi.h"
#include "views/hypo/LocView_testkit.h"

namespace fs = std::filesystem;
using plat::testing::Prompt;

namespace {

class HypoOnSynthCube : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  // The experiment's folder under examples/ and its name.
  virtual std::pair<std::string, std::string> Sample() const { return {"SynthCube", "Cube"}; }

  void SetUp() override {
    omp_set_num_threads(1);
    const auto [folder, name] = Sample();
    const std::string dir = std::string(TV_TEST_TMPDIR) + "/layout_" + folder;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(std::string(TV_SOURCE_DIR) + "/examples/" + folder, dir, fs::copy_options::recursive);
    {
      plat::testing::ScriptedUi ui;
      ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/" + name + ".pad");
      ASSERT_TRUE(doc.OnOpenDocument(dir + "/" + plat::ToUpper(name) + ".00/000000.WAV"));
    }
    CAEHypo& h = *doc.m_pHypo;
    ASSERT_TRUE(doc.BuildEventList(0, h.GetNumAE(), 0, 0));
    ASSERT_FALSE(doc.m_EventList.empty());
    h.m_nMinArrivals = 0;
    view.SetData(&doc);
    view.resize(1000, 800);
    view.OnInitialUpdate();
  }

  void Show(int type) {
    doc.m_pHypo->m_nPlotType = type;
    view.OnUpdate(nullptr, HINT_LOC, nullptr);
  }

  static std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
  }

  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  TestLocView view;
};

}  // namespace

TEST_F(HypoOnSynthCube, NoTextOfAnyPlotTypeOverlapsOrLeavesThePage) {
  for (int type = 0; type <= 21; ++type) {
    SCOPED_TRACE(type);
    Show(type);
    const auto faults = kz_test::PageTextFaults(view);
    EXPECT_TRUE(faults.empty()) << Join(faults);
  }
}

// The sample the program opens at start: 400 located events with magnitudes, mechanisms,
// peaks and stresses, so every plot type has its texts to place.
class HypoOnSynthFault : public HypoOnSynthCube {
 protected:
  std::pair<std::string, std::string> Sample() const override { return {"SynthFault", "Fault"}; }
};

TEST_F(HypoOnSynthFault, NoTextOfAnyPlotTypeOverlapsOrLeavesThePage) {
  for (int type = 0; type <= 21; ++type) {
    SCOPED_TRACE(type);
    Show(type);
    const auto faults = kz_test::PageTextFaults(view);
    EXPECT_TRUE(faults.empty()) << Join(faults);
  }
}

TEST_F(HypoOnSynthCube, ThreeProjectionsLieWholeOnThePageThePictureAndThePaper) {
  doc.m_pHypo->m_bEventNumbers = 1;
  Show(6);
  // Everything drawn lies on the page, which the screen scrolls over and the picture
  // export takes whole.
  const auto dc = kz_test::RecordPageWithRealFonts(view);
  RECT all{0, 0, 0, 0};
  for (const plat::DcOp& op : dc->Ops()) {
    if (op.kind == plat::DcOpKind::Text && op.text.find_first_not_of(' ') == std::string::npos)
      continue;
    const RECT b = plat::OpBounds(op);
    all.left = std::min(all.left, b.left);
    all.right = std::max(all.right, b.right);
    all.top = std::max(all.top, b.top);
    all.bottom = std::min(all.bottom, b.bottom);
  }
  EXPECT_GE(all.left, 0);
  EXPECT_LE(all.right, view.m_nScrollW);
  EXPECT_LE(all.top, 0);
  EXPECT_GE(all.bottom, -view.m_nScrollH);
  // The colour bar stands right of the third panel, so the page grew for it.
  EXPECT_GT(view.m_nScrollW, 32000);
  view.RenderPageToDIB();
  const QImage picture = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
  ASSERT_FALSE(picture.isNull());
  EXPECT_NEAR(picture.width(), view.m_nScrollW * 96 / 2540, 1);
  picture.save(QString::fromStdString(std::string(TV_TEST_TMPDIR) + "/hypo_type6.png"));

  // On A4 paper at 600 dpi, portrait (4760 x 6814 printable pixels) and landscape.
  for (const RECT paper : {RECT{0, 0, 4760, 6814}, RECT{0, 0, 6814, 4760}}) {
    SCOPED_TRACE(paper.right);
    plat::RecordingOptions o;
    o.dpiX = o.dpiY = 600;
    o.printing = true;
    o.horzRes = paper.right;
    o.vertRes = paper.bottom;
    plat::RecordingDc printer(o);
    plat::CPrintInfo info;
    info.m_rectDraw = paper;
    view.OnPrepareDC(&printer, &info);
    view.DrawWithViewFont(&printer);
    for (const plat::DcOp& op : printer.Ops()) {
      const RECT b = plat::OpBounds(op);
      for (POINT p : {POINT{b.left, b.top}, POINT{b.right, b.bottom}}) {
        plat::DcState s = op.state;
        const POINT d = s.LPtoDP(p);
        EXPECT_GE(d.x, -2);
        EXPECT_LE(d.x, paper.right + 2);
        EXPECT_GE(d.y, -2);
        EXPECT_LE(d.y, paper.bottom + 2);
      }
    }
  }
}

TEST_F(HypoOnSynthCube, ThreeProjectionsPrintWholeToAPdfThatAnotherToolRenders) {
  const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
  ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm (poppler-utils) is needed";
  Show(6);
  const QDir tmp(TV_TEST_TMPDIR);
  for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
    SCOPED_TRACE(orientation);
    const QString pdf = tmp.filePath("hypo6.pdf");
    QFile::remove(pdf);
    QFile::remove(tmp.filePath("hypo6-1.png"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(0, 0, 0, 0)));
    ASSERT_TRUE(view.PrintTo(&printer));
    QProcess p;
    p.start(pdftoppm, {"-r", "60", "-png", pdf, tmp.filePath("hypo6")});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QImage page(tmp.filePath("hypo6-1.png"));
    ASSERT_FALSE(page.isNull());
    // The colour bar, at the right end of the drawing, is on the paper: its strongly
    // coloured cells show there (the event markers stand further left).
    int rightmostInk = 0;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x)
        if (page.pixelColor(x, y).lightness() < 128) rightmostInk = std::max(rightmostInk, x);
    int coloured = 0;
    for (int y = 0; y < page.height(); ++y)
      for (int x = rightmostInk * 85 / 100; x < page.width(); ++x) {
        const QColor c = page.pixelColor(x, y);
        coloured += c.hsvSaturation() > 200 && c.value() > 150;
      }
    EXPECT_GT(coloured, 20);
    EXPECT_LT(rightmostInk, page.width() - 1);
  }
}
