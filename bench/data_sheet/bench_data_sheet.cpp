// The data sheet under the offscreen platform with a 101-column, 4000-row table: showing
// it on "Sheet-1" (cut to 1000 rows and 100 columns), showing it whole as the second
// table on "Sheet-2", and printing "Sheet-1" to a PDF file (pages per second).
// Outside the timed loops the program checks what the sheet shows: sampled cells of both
// sheets against the table's numbers written by the number-text rule, the cut of
// "Sheet-1", and the PDF's page count and printed texts (read back by pdftotext) against
// a page layout worked out from the paper size and the sheet's uniform cell sizes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/KZ_GridData.h"
#include "common/PrintedSheet.h"
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
    // Filled here, not by the first benchmark that shows it: the benchmarks run in a
    // random order, and printing an empty sheet prints no page.
    Fill(plain);
    host.show();
    QApplication::processEvents();
  }
  QApplication& app = App();
  QWidget host;
  KZ_GridData grid;
  KZ_MultiVarObj table;
  KZ_MultiVarObj plain;  // the same table without a second one
  QTemporaryDir dir;     // the printed PDF
  bool printed = false;  // BM_PrintSheet1 ran
};

Setup& S() {
  static Setup s;
  return s;
}

void BM_ShowSheet1(benchmark::State& state) {
  Setup& s = S();
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
  const QString pdf = s.dir.filePath("bench_data_sheet.pdf");
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
  s.printed = true;
  state.counters["pages_per_s"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintSheet1)->Unit(benchmark::kMillisecond)->Iterations(1);


// ------------------------------------------------------------------ output checks

// A number as the sheet writes it, by the rule of the cells' number text: "%.4g" (two
// exponent digits) for magnitudes above 100000 or below 1e-5, else "%f"; leading zeros
// dropped, trailing zeros of a decimal fraction dropped, blanks trimmed, "0" for nothing.
std::string NumberText(double v) {
  char buf[64];
  const double a = std::fabs(v);
  std::snprintf(buf, sizeof buf, a > 100000 || a < 0.00001 ? "%.4g" : "%f", v);
  std::string t = buf;
  t.erase(0, t.find_first_not_of('0') == std::string::npos ? t.size() : t.find_first_not_of('0'));
  if (t.find('.') != std::string::npos && t.find('e') == std::string::npos)
    t.erase(t.find_last_not_of('0') + 1);
  const auto first = t.find_first_not_of(' ');
  t = first == std::string::npos ? std::string() : t.substr(first, t.find_last_not_of(' ') - first + 1);
  return t.empty() ? "0" : t;
}

// What grid row `row`, column `col` of a sheet showing `t` with `shownRows` samples holds.
std::string Expected(const KZ_MultiVarObj& t, int col, long row, int shownRows) {
  const KZ_Var1D& v = t.m_Columns[col];
  switch (row) {
    case 0:
      return v.m_strTitle;
    case 1:
      return v.m_strUnit;
    case 2:
      return NumberText(v.m_dMin);
    case 3:
      return NumberText(v.m_dMax);
    default:
      return row - 4 < shownRows ? NumberText(t.m_ppData[col][row - 4]) : std::string();
  }
}

std::string Text(const char* p) { return p ? p : ""; }

// Compares the current sheet's cells with `t` at the first and last cells of every
// corner and at random cells; the detail names the count and the first difference.
void CheckCells(KZ_GridData& grid, const KZ_MultiVarObj& t, int cols, int shownRows,
                const std::string& what) {
  const long rows = shownRows + 4L;
  std::vector<std::pair<int, long>> at = {{0, 0},        {cols - 1, 0},        {0, 4},
                                          {cols - 1, 4}, {0, rows - 1},        {cols - 1, rows - 1},
                                          {cols / 2, 1}, {cols / 2, rows / 2}, {1, 3}};
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> col(0, cols - 1);
  std::uniform_int_distribution<long> row(0, rows - 1);
  for (int i = 0; i < 500; ++i) at.emplace_back(col(rng), row(rng));
  int bad = 0;
  std::string first;
  for (auto [c, r] : at) {
    const std::string want = Expected(t, c, r, shownRows), got = Text(grid.GetCellText(c, r));
    if (got == want) continue;
    if (bad++ == 0)
      first = "; (" + std::to_string(c) + ", " + std::to_string(r) + ") \"" + got + "\" not \"" +
              want + "\"";
  }
  tv_bench::Check(bad == 0, what,
                  std::to_string(at.size()) + " cells, " + std::to_string(bad) + " differ" + first);
}

void CheckSheets(Setup& s) {
  // "Sheet-1": the table cut to 1000 samples and 100 columns, ten blank rows below.
  s.grid.SetData(&s.plain, nullptr);
  s.grid.SetCurrentSheet(0, 0);
  const long rows1 = s.grid.GetRowCount();
  const int cols1 = s.grid.GetColumnCount();
  tv_bench::Check(rows1 == 1010 && cols1 == 100,
                  "Sheet-1 size",
                  std::to_string(cols1) + " x " + std::to_string(rows1) + ", want 100 x 1010");
  CheckCells(s.grid, s.plain, std::min(cols1, 100), 1000, "Sheet-1 cells");
  bool cut = Text(s.grid.GetCellText(-1, 1003)) == "999" && Text(s.grid.GetCellText(-1, 1004)).empty();
  for (int c = 0; c < std::min(cols1, 100); ++c)
    cut = cut && !Text(s.grid.GetCellText(c, 1003)).empty() && Text(s.grid.GetCellText(c, 1004)).empty();
  tv_bench::Check(cut, "Sheet-1 cut after sample 999",
                  "row 1003 holds sample 999 in every column, row 1004 and on are blank");

  // "Sheet-2": the second table whole.
  s.grid.SetData2(s.table.m_pSubTable.get());
  s.grid.SetCurrentSheet(1, 0);
  const long rows2 = s.grid.GetRowCount();
  const int cols2 = s.grid.GetColumnCount();
  tv_bench::Check(rows2 == kRows + 10 && cols2 == kCols, "Sheet-2 size",
                  std::to_string(cols2) + " x " + std::to_string(rows2) + ", want 101 x 4010");
  CheckCells(s.grid, *s.table.m_pSubTable, std::min(cols2, kCols), kRows, "Sheet-2 cells");
  s.grid.SetCurrentSheet(0, 0);
}

// The printed "Sheet-1" (every column 64 and every row 16 pixels, 100 columns and 1010
// rows): its page count and the words of its first and last printed pages.
void CheckPdf(Setup& s) {
  const QString pdf = s.dir.filePath("bench_data_sheet.pdf");
  if (!s.printed) {
    std::printf("check printed PDF: not run (BM_PrintSheet1 filtered out)\n");
    return;
  }
  const tv_bench::SheetPrintLayout l = tv_bench::PrintLayout(100, 1010, 64, 16);
  const int printed = std::min(l.Pages(), kPrintedPages);
  const int counted = tv_bench::PdfPageCount(pdf);
  tv_bench::Check(counted == printed, "printed PDF page count",
                  std::to_string(counted) + " page objects, layout " + std::to_string(l.pageCols) +
                      " x " + std::to_string(l.pageRows) + " pages of " +
                      std::to_string(l.perPageCols) + " x " + std::to_string(l.perPageRows) +
                      " cells, " + std::to_string(printed) + " printed");
  for (int page : {1, printed})
    tv_bench::CheckPrintedPageWords(pdf, page, l, 100, 1010, [&s](int c, long r) {
      return Expected(s.plain, c, r, 1000);
    });
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  S();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  CheckPdf(S());
  CheckSheets(S());
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
