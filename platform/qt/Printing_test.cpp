#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "platform/qt/Framework.h"
#include "platform/qt/testing/QtTestApp.h"

namespace plat {
namespace {

// A page that draws a 40 x 20 mm black block 20 mm from the page's top-left corner on
// page 1, and 100 mm across on page 2.
class PrintedPage : public CScrollView {
 public:
  PrintedPage() { SetScrollSizes(MM_HIMETRIC, SIZE{21000, 29700}); }
  BOOL OnPreparePrinting(CPrintInfo* info) override {
    info->SetMaxPage(2);
    return DoPreparePrinting(info);
  }
  void OnBeginPrinting(CDC*, CPrintInfo*) override { calls.push_back("begin"); }
  void OnPrint(CDC* dc, CPrintInfo* info) override {
    calls.push_back("page " + std::to_string(info->m_nCurPage));
    page = info->m_nCurPage;
    CScrollView::OnPrint(dc, info);
  }
  void OnEndPrinting(CDC*, CPrintInfo*) override { calls.push_back("end"); }
  void OnDraw(CDC* dc) override {
    printing = dc->IsPrinting();
    dpi = dc->GetDeviceCaps(LOGPIXELSX);
    mapMode = dc->GetMapMode();
    const int x = page == 2 ? 10000 : 2000;
    dc->SelectObject(CBrush(RGB(0, 0, 0)));
    dc->Rectangle(x, -2000, x + 4000, -4000);
    // Capital letters 10 mm high (em), baseline at 80 mm, starting at 20 mm.
    LOGFONT lf{};
    lf.lfHeight = -1000;
    std::snprintf(lf.lfFaceName, LF_FACESIZE, "Arial");
    CFont font;
    font.CreateFontIndirect(lf);
    CFont old = dc->SelectObject(font);
    dc->SetTextAlign(TA_BASELINE | TA_LEFT);
    dc->TextOut(2000, -8000, "HHHH");
    textWidth = dc->GetTextExtent("HHHH").cx;
    dc->SelectObject(old);
  }
  int textWidth = 0;
  std::vector<std::string> calls;
  UINT page = 1;
  bool printing = false;
  int dpi = 0;
  int mapMode = 0;
};

bool Dark(const QImage& img, double xMm, double yMm) {
  const double pxPerMm = img.width() / 210.0;
  QRgb p = img.pixel(static_cast<int>(xMm * pxPerMm), static_cast<int>(yMm * pxPerMm));
  return qGray(p) < 80;
}

TEST(Printing, PagesGoToAPdfThatAnotherToolRendersWithInkWhereDrawn) {
  testing::EnsureQtApp();
  const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
  ASSERT_FALSE(pdftoppm.isEmpty()) << "pdftoppm (poppler-utils) is needed";
  QDir tmp(TV_TEST_TMPDIR);
  const QString pdf = tmp.filePath("page.pdf");
  QFile::remove(pdf);
  QFile::remove(tmp.filePath("page-1.png"));
  QFile::remove(tmp.filePath("page-2.png"));

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  printer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  PrintedPage view;
  view.ScrollToDevicePosition(POINT{30, 30});  // the scroll position never reaches paper
  CPrintInfo info;
  info.m_bDirect = true;
  info.m_pPrinter = &printer;
  ASSERT_TRUE(view.OnPreparePrinting(&info));
  ASSERT_TRUE(view.PrintTo(&printer, &info));
  EXPECT_EQ(view.calls, (std::vector<std::string>{"begin", "page 1", "page 2", "end"}));
  EXPECT_TRUE(view.printing);
  EXPECT_EQ(view.dpi, printer.resolution());
  EXPECT_EQ(view.mapMode, MM_HIMETRIC);

  QProcess p;
  p.start(pdftoppm, {"-r", "100", "-png", pdf, tmp.filePath("page")});
  ASSERT_TRUE(p.waitForFinished(30000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  QImage one(tmp.filePath("page-1.png")), two(tmp.filePath("page-2.png"));
  ASSERT_FALSE(one.isNull());
  ASSERT_FALSE(two.isNull());
  EXPECT_NEAR(one.width() * 297.0 / 210.0, one.height(), 2);
  // Page 1: the block spans x 20..60 mm, y 20..40 mm from the top-left corner.
  EXPECT_TRUE(Dark(one, 40, 30));
  EXPECT_TRUE(Dark(one, 22, 22));
  EXPECT_TRUE(Dark(one, 58, 38));
  EXPECT_FALSE(Dark(one, 40, 45));
  EXPECT_FALSE(Dark(one, 65, 30));
  EXPECT_FALSE(Dark(one, 120, 30));
  // The text's ink: capitals about 7 mm high standing on the 80 mm baseline, as wide
  // as the DC measured it.
  QRect ink;
  const double pxPerMm = one.width() / 210.0;
  for (int y = static_cast<int>(60 * pxPerMm); y < static_cast<int>(90 * pxPerMm); ++y)
    for (int x = 0; x < one.width(); ++x)
      if (qGray(one.pixel(x, y)) < 128) ink |= QRect(x, y, 1, 1);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_NEAR((ink.bottom() + 1) / pxPerMm, 80, 0.6);
  EXPECT_NEAR(ink.height() / pxPerMm, 7.0, 1.0);
  EXPECT_NEAR(ink.left() / pxPerMm, 21, 1.0);
  EXPECT_NEAR(ink.width() / pxPerMm, view.textWidth / 100.0, 3.0);
  // Page 2: moved to 100..140 mm.
  EXPECT_TRUE(Dark(two, 120, 30));
  EXPECT_FALSE(Dark(two, 40, 30));
}

// Preview draws the pages through the same printing hooks, and the number of pages it
// shows side by side is remembered by the application.
TEST(Printing, PreviewDrawsThroughOnPrint) {
  testing::EnsureQtApp();
  CWinApp app("Tremvia");
  app.SetPreviewPages(2);
  PrintedPage view;
  bool closed = false;
  std::function<void()> closeWhenShown = [&] {
    if (auto* dlg = QApplication::activeModalWidget()) {
      dlg->close();
      closed = true;
    } else {
      QTimer::singleShot(20, closeWhenShown);
    }
  };
  QTimer::singleShot(20, closeWhenShown);
  view.OnFilePrintPreview();
  EXPECT_TRUE(closed);
  ASSERT_FALSE(view.calls.empty());
  EXPECT_EQ(view.calls.front(), "begin");
  EXPECT_NE(std::find(view.calls.begin(), view.calls.end(), "page 2"), view.calls.end());
  EXPECT_TRUE(view.printing);
  EXPECT_EQ(app.GetPreviewPages(), 2);
}

}  // namespace
}  // namespace plat
