// The data sheet under the offscreen platform with a 101-column, 4000-row table: showing
// it on "Sheet-1" (cut to 1000 rows and 100 columns), showing it whole as the second
// table on "Sheet-2", and printing "Sheet-1" to a PDF file (pages per second).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPrinter>
#include <QWidget>
#include <algorithm>
#include <string>

#include "app/KZ_GridData.h"
#include "common/RatioReporter.h"
#include "platform/qt/QtDc.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace {

constexpr int kCols = 101;
constexpr int kRows = 4000;
constexpr int kPrintedPages = 100;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_data_sheet";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);  // never destroyed
  return *app;
}

void Fill(KZ_MultiVarObj& t) {
  t.SetSize(kCols, kRows);
  t.m_nColumns = kCols;
  t.m_nRows = kRows;
  for (int c = 0; c < kCols; ++c) {
    for (int r = 0; r < kRows; ++r) t.m_ppData[c][r] = r * 0.25 + c * 1.5e-3;
    std::string title = "c";  // appended, not inserted: g++ 12 -O3 warns on the insert
    title += std::to_string(c);
    t.m_Columns[c].SetAll(kRows, 0, 0, title, "u", c == 0 ? 1 : 2);
  }
}

struct Setup {
  Setup() {
    host.resize(1280, 800);
    SGCreateGrid(grid, &host, QRect(0, 0, 1280, 800), 1234);
    Fill(table);
    table.m_pSubTable = std::make_unique<KZ_MultiVarObj>();
    Fill(*table.m_pSubTable);
    host.show();
    QApplication::processEvents();
  }
  QApplication& app = App();
  QWidget host;
  KZ_GridData grid;
  KZ_MultiVarObj table;
  KZ_MultiVarObj plain;  // the same table without a second one
};

Setup& S() {
  static Setup s;
  return s;
}

void BM_ShowSheet1(benchmark::State& state) {
  Setup& s = S();
  if (s.plain.m_nColumns == 0) Fill(s.plain);
  for (auto _ : state) {
    s.grid.SetData(&s.plain, nullptr);
    QApplication::processEvents();
  }
  if (s.grid.GetRowCount() != 1010 || s.grid.GetColumnCount() != 100)
    state.SkipWithError("sheet not cut to 1000 x 100");
}
BENCHMARK(BM_ShowSheet1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShowSheet2(benchmark::State& state) {
  Setup& s = S();
  for (auto _ : state) {
    s.grid.SetData2(s.table.m_pSubTable.get());
    QApplication::processEvents();
  }
  s.grid.SetCurrentSheet(1, 0);
  if (s.grid.GetRowCount() != kRows + 10 || s.grid.GetColumnCount() != kCols)
    state.SkipWithError("second table not shown whole");
  s.grid.SetCurrentSheet(0, 0);
}
BENCHMARK(BM_ShowSheet2)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PrintSheet1(benchmark::State& state) {
  Setup& s = S();
  s.grid.SetData(&s.plain, nullptr);
  const QString pdf = QDir::temp().filePath("bench_data_sheet.pdf");
  long pages = 0;
  for (auto _ : state) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    plat::CPrinterDC dc(&printer);
    const int n =
        s.grid.PrintInit(&dc, nullptr, 0, 0, s.grid.GetColumnCount() - 1, s.grid.GetRowCount() - 1);
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
BENCHMARK(BM_PrintSheet1)->Unit(benchmark::kMillisecond)->Iterations(1);

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
