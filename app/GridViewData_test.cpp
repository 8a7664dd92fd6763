// The "Output: sheet" page: it ignores hints, hosts the data sheet over its whole client
// area, and prints the sheet to a PDF that independent tools read back.
#include "app/GridViewData.h"

#include <gtest/gtest.h>

#include <optional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QtEndian>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <cstring>
#include <memory>

#include "platform/qt/WinApp.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"
#include "views/graph/GraphView.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGHeadings.h"
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
  // The application holds the printer; the program started by other tests of this binary
  // stays the application (a second one would take its place for good).
  std::optional<plat::CWinApp> own;
  if (!plat::AfxGetApp()) own.emplace("Tremvia");
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

// "Save to SAC file..." chosen with the mouse from the popup menu of a column heading:
// the file holds the column as one trace (read back by its header bytes here; the full
// field check against the independent reader is in the data sheet's own tests).
TEST(CGridViewData, SacFileFromTheHeadingPopupMenu) {
  Page p;
  p.view->show();
  KZ_MultiVarObj t;
  Fill(t, 3, 6);
  p.view->LoadData(&t, &p.graph);
  KZ_GridData& g = p.view->Grid();
  QWidget* heading = SGWidgetOf(*g.m_CUGTopHdg);
  ASSERT_NE(heading, nullptr);
  RECT cell{};
  g.GetCellRect(1, 0, &cell);
  const QPoint at((cell.left + cell.right) / 2, heading->height() / 2);

  const std::string path = std::string(TV_TEST_TMPDIR) + "/heading.sac";
  QFile::remove(QString::fromStdString(path));
  plat::testing::ScriptedUi ui;
  ui.ExpectFileDialog(plat::testing::Prompt::SaveFile, "Save to SAC file", path);
  QStringList items;
  QTimer::singleShot(0, [&items] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* save = nullptr;
    for (QAction* a : menu->actions()) {
      items << a->text();
      if (a->text() == "Save to SAC file...") save = a;
    }
    ASSERT_NE(save, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(save).center());
  });
  QTest::mouseClick(heading, Qt::RightButton, {}, at);
  EXPECT_TRUE(items.contains("Save to SAC file..."));
  EXPECT_EQ(ui.PendingExpectations(), 0u);

  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray b = f.readAll();
  ASSERT_EQ(b.size(), 632 + 6 * 4);
  auto i32 = [&b](int at) { return qFromLittleEndian<qint32>(b.constData() + at); };
  auto f32 = [&i32](int at) {
    const qint32 bits = i32(at);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  };
  EXPECT_EQ(i32(280 + 4 * 9), 6);          // NPTS
  EXPECT_FLOAT_EQ(f32(0), 1.0f);           // DELTA: column 0 counts 0, 1, 2, ...
  EXPECT_EQ(b.mid(440 + 8, 4), "col1");    // KEVNM
  EXPECT_FLOAT_EQ(f32(632), 1000.0f);      // column 1's first sample
  EXPECT_FLOAT_EQ(f32(632 + 20), 1005.0f);
}

}  // namespace
