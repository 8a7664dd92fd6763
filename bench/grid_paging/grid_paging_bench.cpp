// Time per step of paging through a sheet of 101 columns and 100,000 rows (uniform row
// height) whose every cell shows a number, in a grid window of 1920 x 1080 under the
// offscreen platform: each step moves the current cell, scrolls, and draws the cells it
// exposes into the window's image. The cells are filled by the owner as they are
// fetched (a stored cell per position would take gigabytes).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <random>

#include "common/RatioReporter.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/qt/SGQtWindows.h"

namespace {

class FilledGrid : public CSGCtrl {
 public:
  void OnCellFetched(int col, long row, CSGCell* cell) override {
    if (col < 0 || row < 0) return;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld.%02d", row, col);
    cell->SetText(buf);
  }
};

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_grid_paging";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's own statics may be gone by then.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct Setup {
  Setup() {
    host.resize(1920, 1080);
    SGCreateGrid(grid, &host, QRect(0, 0, 1920, 1080));
    grid.SetColumnCount(101);
    grid.SetRowCount(100000);
    host.show();
    QApplication::processEvents();
    grid.RedrawAll();
  }
  QApplication& app = App();
  QWidget host;
  FilledGrid grid;
};

Setup& S() {
  static Setup s;
  return s;
}

void BM_PageDown(benchmark::State& state) {
  Setup& s = S();
  s.grid.GotoCell(0, 0);
  for (auto _ : state) {
    if (s.grid.GetCurrentRow() >= 99000) s.grid.GotoRow(0);
    s.grid.MoveCurrentRow(3);
  }
}
BENCHMARK(BM_PageDown)->Unit(benchmark::kMillisecond);

void BM_LineDown(benchmark::State& state) {
  Setup& s = S();
  s.grid.GotoCell(0, 0);
  for (auto _ : state) {
    if (s.grid.GetCurrentRow() >= 99000) s.grid.GotoRow(0);
    s.grid.MoveCurrentRow(1);
  }
}
BENCHMARK(BM_LineDown)->Unit(benchmark::kMillisecond);

void BM_RandomRowJump(benchmark::State& state) {
  Setup& s = S();
  std::mt19937 rng(7);
  std::uniform_int_distribution<long> row(0, 99999);
  for (auto _ : state) s.grid.GotoRow(row(rng));
}
BENCHMARK(BM_RandomRowJump)->Unit(benchmark::kMillisecond);

void BM_PageRight(benchmark::State& state) {
  Setup& s = S();
  s.grid.GotoCell(0, 500);
  for (auto _ : state) {
    if (s.grid.GetCurrentColumn() >= 90) s.grid.GotoColumn(0);
    s.grid.MoveCurrentColumn(3);
  }
}
BENCHMARK(BM_PageRight)->Unit(benchmark::kMillisecond);

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
