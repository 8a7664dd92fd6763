// A grid sheet of 101 columns and 4000 rows, every cell holding a number's text, under
// the offscreen platform: copying the whole sheet as TAB/LF text to the clipboard and
// pasting it back at the first cell (one iteration), and printing it to a PDF file:
// the whole sheet is laid out (some 1100 pages), of which the first 100 are printed and
// reported per page.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPrinter>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <string>

#include "common/RatioReporter.h"
#include "platform/qt/QtDc.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGSelectList.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace {

constexpr int kCols = 101;
constexpr long kRows = 4000;
constexpr int kPrintedPages = 100;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_grid_clipboard_print";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);  // never destroyed
  return *app;
}

struct Setup {
  Setup() {
    host.resize(1280, 800);
    SGCreateGrid(grid, &host, QRect(0, 0, 1280, 800));
    grid.SetColumnCount(kCols);
    grid.SetRowCount(kRows);
    grid.SetMultiSelectMode(1);
    char buf[32];
    for (long r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) {
        std::snprintf(buf, sizeof buf, "%ld.%02d", r, c);
        grid.SetCellText(c, r, buf);
      }
    host.show();
    QApplication::processEvents();
  }
  QApplication& app = App();
  QWidget host;
  CSGCtrl grid;
};

Setup& S() {
  static Setup s;
  return s;
}

void BM_CopyAndPasteSheet(benchmark::State& state) {
  Setup& s = S();
  for (auto _ : state) {
    s.grid.GotoCell(0, 0);
    s.grid.SelectRange(0, 0, kCols - 1, kRows - 1);
    s.grid.CopySelection();
    s.grid.GotoCell(0, 0);
    if (s.grid.PasteFromClipboard() != 0) state.SkipWithError("nothing pasted");
  }
  const char* last = s.grid.GetCellText(kCols - 1, kRows - 1);
  if (!last || std::string(last) != "3999.100") state.SkipWithError("the sheet came back changed");
}
BENCHMARK(BM_CopyAndPasteSheet)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PrintSheetToPdf(benchmark::State& state) {
  Setup& s = S();
  const QString pdf = QDir::temp().filePath("bench_grid_print.pdf");
  long pages = 0;
  for (auto _ : state) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    plat::CPrinterDC dc(&printer);
    const int n = s.grid.PrintInit(&dc, nullptr, 0, 0, kCols - 1, kRows - 1);
    for (int p = 1; p <= std::min(n, kPrintedPages); ++p) {
      dc.StartPage();
      s.grid.PrintPage(&dc, p);
    }
    dc.EndDoc();
    pages += std::min(n, kPrintedPages);
  }
  state.counters["pages_per_s"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintSheetToPdf)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  S();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
