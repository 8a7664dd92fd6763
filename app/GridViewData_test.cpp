// The "Output: sheet" page: it ignores hints, hosts the data sheet over its whole client
// area, and prints the sheet to a PDF that independent tools read back.
#include "app/GridViewData.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

#include "platform/qt/WinApp.h"
#include "platform/qt/testing/QtTestApp.h"
#include "views/graph/GraphView.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace {

void Fill(KZ_MultiVarObj& t, int cols, int rows) {
  t.SetSize(cols, rows);
  t.m_nColumns = cols;
  t.m_nRows = rows;
  for (int c = 0; c < cols; ++c) {
    for (int r = 0; r < rows; ++r) t.m_ppData[c][r] = c * 1000 + r;
    t.m_Columns[c].SetAll(rows, 0, 0, "col" + std::to_string(c), "u", c == 0 ? 1 : 2);
  }
}

struct Page {
  Page() {
    plat::testing::EnsureQtApp();
    view = std::make_unique<CGridViewData>();
    view->resize(800, 600);
  }
  std::unique_ptr<CGridViewData> view;
  CGraphView graph;
};

TEST(CGridViewData, HostsTheSheetAndIgnoresHints) {
  Page p;
  KZ_GridData& g = p.view->Grid();
  ASSERT_TRUE(g.IsWindow());
  QWidget* cells = SGWidgetOf(*g.m_CUGGrid);
  ASSERT_NE(cells, nullptr);
  EXPECT_EQ(cells->window(), p.view->window());
  EXPECT_EQ(g.GetSheetCount(), 2);
  KZ_MultiVarObj t;
  Fill(t, 3, 5);
  p.view->LoadData(&t, &p.graph);
  EXPECT_EQ(p.view->GetData(), &t);
  EXPECT_EQ(g.GetCellText(0, 0), std::string("col0"));
  p.view->BackingImage();
  const int renders = p.view->RenderCount();
  p.view->OnUpdate(nullptr, 0, nullptr);
  p.view->OnUpdate(nullptr, 0xFFFF, nullptr);
  EXPECT_FALSE(p.view->IsStale());
  EXPECT_EQ(p.view->RenderCount(), renders);
}

TEST(CGridViewData, PrintsTheSheetToPdf) {
  const QString pdfinfo = QStandardPaths::findExecutable("pdfinfo");
  const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
  if (pdfinfo.isEmpty() || pdftoppm.isEmpty()) GTEST_SKIP() << "poppler tools missing";
  Page p;
  KZ_MultiVarObj t;
  Fill(t, 20, 300);
  p.view->LoadData(&t, &p.graph);
  const QString dir = QDir::temp().filePath("tv_gridview_print");
  QDir().mkpath(dir);
  const QString pdf = dir + "/sheet.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  ASSERT_TRUE(p.view->PrintTo(&printer));
  const int pages = p.view->PrintedPages();
  EXPECT_GT(pages, 1);

  QProcess info;
  info.start(pdfinfo, {pdf});
  ASSERT_TRUE(info.waitForFinished(30000));
  const QString out = QString::fromUtf8(info.readAllStandardOutput());
  const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(out);
  ASSERT_TRUE(m.hasMatch()) << out.toStdString();
  EXPECT_EQ(m.captured(1).toInt(), pages);

  QProcess ppm;
  ppm.start(pdftoppm, {"-png", "-r", "50", "-f", "1", "-l", "1", pdf, dir + "/page"});
  ASSERT_TRUE(ppm.waitForFinished(30000));
  QDir d(dir);
  const QStringList pngs = d.entryList({"page*.png"});
  ASSERT_EQ(pngs.size(), 1);
  QImage img(dir + "/" + pngs[0]);
  ASSERT_FALSE(img.isNull());
  int dark = 0;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) dark += qGray(img.pixel(x, y)) < 128;
  EXPECT_GT(dark, 50);  // grid lines and numbers
  QDir(dir).removeRecursively();
}

TEST(CGridViewData, PrintPreviewOpens) {
  Page p;
  plat::CWinApp app("Tremvia");  // holds the printer
  KZ_MultiVarObj t;
  Fill(t, 3, 10);
  p.view->LoadData(&t, &p.graph);
  // The preview's window is looked for until it shows, then closed.
  bool opened = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&opened, &poll] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dlg = qobject_cast<QPrintPreviewDialog*>(w);
      if (dlg && dlg->isVisible()) {
        opened = true;
        poll.stop();
        dlg->reject();
      }
    }
  });
  poll.start(20);
  QTimer::singleShot(20000, [&poll] { poll.stop(); });
  p.view->OnFilePrintPreview();
  EXPECT_TRUE(opened);
  EXPECT_GE(p.view->PrintedPages(), 1);
}

}  // namespace
