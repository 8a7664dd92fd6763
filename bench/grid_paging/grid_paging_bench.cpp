// Time per step of paging through a sheet of 101 columns and 100,000 rows (uniform row
// height) whose every cell shows a number, in a grid window of 1920 x 1080 under the
// offscreen platform: each step moves the current cell, scrolls, and draws the cells it
// exposes into the window's image. The cells are filled by the owner as they are
// fetched (a stored cell per position would take gigabytes).
// Outside the timed loops the program runs each kind of step again for a known number
// of steps and checks where the current cell and the top row (left column) are against
// the moves worked out from the window's size and the uniform cell sizes, and that the
// cell area's image after paging shows the cells' numbers: the texts the grid holds for
// the visible rows follow the owner's fill rule, every visible cell is inked, each cell's
// pixels equal its number drawn on its own through a device context of the platform,
// and the image equals a full repaint of the cell area.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "common/RatioReporter.h"
#include "platform/qt/QtDc.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGGrid.h"
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


// ------------------------------------------------------------------ output checks

constexpr long kRows = 100000;
constexpr int kCols = 101;

std::string FillText(long row, int col) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%ld.%02d", row, col);
  return buf;
}

std::string Text(const char* p) { return p ? p : ""; }

// The cell area as the window shows it, and the sheet's uniform cell sizes.
struct Geometry {
  int width = 0, height = 0;  // cell area, pixels
  int colWidth = 0, rowHeight = 0;
  long fitRows = 0;  // whole rows in the cell area
  int fitCols = 0;   // whole columns
  long maxTop = 0;   // the last top row that still fills the cell area
  int maxLeft = 0;
};

Geometry Measure(FilledGrid& grid) {
  Geometry g;
  const QWidget* area = SGWidgetOf(*grid.m_CUGGrid);
  g.width = area ? area->width() : 0;
  g.height = area ? area->height() : 0;
  g.colWidth = grid.GetColumnWidth(0);
  g.rowHeight = grid.GetRowHeight(0);
  if (g.colWidth <= 0 || g.rowHeight <= 0) return g;
  g.fitRows = g.height / g.rowHeight;
  g.fitCols = g.width / g.colWidth;
  g.maxTop = std::max(0L, kRows - g.fitRows);
  g.maxLeft = std::max(0, kCols - g.fitCols);
  return g;
}

// Where a move of the current row to `row` leaves the top row: unchanged while the row is
// wholly visible, else just far enough for it to be.
long TopAfter(const Geometry& g, long top, long row) {
  if (row < top) top = row;
  if (row > top + g.fitRows - 1) top = row - g.fitRows + 1;
  return std::clamp(top, 0L, g.maxTop);
}

int LeftAfter(const Geometry& g, int left, int col) {
  if (col < left) left = col;
  if (col > left + g.fitCols - 1) left = col - g.fitCols + 1;
  return std::clamp(left, 0, g.maxLeft);
}

void CheckPlace(FilledGrid& grid, const std::string& what, int col, long row, int left, long top) {
  const bool ok = grid.GetCurrentColumn() == col && grid.GetCurrentRow() == row &&
                  grid.GetLeftColumn() == left && grid.GetTopRow() == top;
  tv_bench::Check(ok, what,
                  "current (" + std::to_string(grid.GetCurrentColumn()) + ", " +
                      std::to_string(grid.GetCurrentRow()) + "), left column " +
                      std::to_string(grid.GetLeftColumn()) + ", top row " +
                      std::to_string(grid.GetTopRow()) + "; want (" + std::to_string(col) + ", " +
                      std::to_string(row) + "), " + std::to_string(left) + ", " +
                      std::to_string(top));
}

// Runs each benchmark's kind of step for a known number of steps (the same calls as its
// loop) and checks where it went.
void CheckMoves(FilledGrid& grid, const Geometry& g) {
  // A page down moves by the rows that fit less one: the row at the bottom of the page
  // becomes the top one.
  const long page = g.fitRows - 1;
  grid.GotoCell(0, 0);
  long row = 0, top = 0;
  for (int i = 0; i < 200; ++i) {
    if (grid.GetCurrentRow() >= 99000) grid.GotoRow(0);
    grid.MoveCurrentRow(3);
    row = std::min(row + page, kRows - 1);
    top = TopAfter(g, top, row);
  }
  CheckPlace(grid, "200 pages down", 0, row, 0, top);

  grid.GotoCell(0, 0);
  for (int i = 0; i < 1000; ++i) {
    if (grid.GetCurrentRow() >= 99000) grid.GotoRow(0);
    grid.MoveCurrentRow(1);
  }
  CheckPlace(grid, "1000 lines down", 0, 1000, 0, TopAfter(g, 0, 1000));

  grid.GotoCell(0, 0);
  std::mt19937 rng(7);
  std::uniform_int_distribution<long> jump(0, 99999);
  row = 0;
  top = 0;
  for (int i = 0; i < 200; ++i) {
    row = jump(rng);
    grid.GotoRow(row);
    top = TopAfter(g, top, row);
  }
  CheckPlace(grid, "200 jumps to random rows", 0, row, 0, top);

  // A page right moves past every column that fits: the walk subtracts widths while
  // what is left is not negative, one column on per subtraction.
  const int pageCols = g.width / g.colWidth + 1;
  grid.GotoCell(0, 0);
  grid.GotoCell(0, 500);
  top = TopAfter(g, 0, 500);
  int col = 0, left = 0;
  for (int i = 0; i < 30; ++i) {
    if (grid.GetCurrentColumn() >= 90) {
      grid.GotoColumn(0);
      col = 0;
      left = LeftAfter(g, left, 0);
    }
    grid.MoveCurrentColumn(3);
    col = std::min(col + pageCols, kCols - 1);
    left = LeftAfter(g, left, col);
  }
  CheckPlace(grid, "30 pages right", col, 500, left, top);
}

// Counts the pixels of `a` and `b` (same size) that differ within the rectangle.
long Differing(const QImage& a, int ax, int ay, const QImage& b, int bx, int by, int w, int h) {
  long n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((a.pixel(ax + x, ay + y) & 0xffffff) != (b.pixel(bx + x, by + y) & 0xffffff)) ++n;
  return n;
}

// The picture after paging: pages down from the top to a known place, then compares
// the cell area's image with the cells' numbers.
void CheckPicture(FilledGrid& grid, const Geometry& g) {
  grid.GotoCell(0, 0);
  for (int i = 0; i < 300; ++i) grid.MoveCurrentRow(3);
  // Two columns on, so that the cell area's first column is a scrolled one too.
  grid.GotoColumn(2);
  grid.GotoColumn(g.fitCols + 1);
  QApplication::processEvents();
  const QImage* backing = SGBackingOf(*grid.m_CUGGrid);
  if (!backing || backing->isNull()) {
    tv_bench::Check(false, "cell area image", "no image");
    return;
  }
  const QImage shown = backing->copy();
  const long top = grid.GetTopRow();
  const int left = grid.GetLeftColumn();

  // The texts the grid holds for the visible cells, and the image's cells one by one:
  // inked, and equal to the number drawn alone at the cell's text place (margin, one
  // pixel down) in the platform's default font. The outermost pixel ring of each cell
  // (grid lines) and the current cell (highlighted) are left out.
  const int margin = grid.GetGridInfo()->m_textMargin;
  const int w = g.colWidth, h = g.rowHeight;
  long cells = 0, wrongText = 0, blank = 0, unlike = 0;
  std::string firstText, firstBlank, firstUnlike;
  auto at = [](int c, long r) {
    std::string t = "(";  // appended, not inserted: g++ 12 -O3 warns on the insert
    t += std::to_string(c);
    t += ", ";
    t += std::to_string(r);
    t += ")";
    return t;
  };
  for (long r = top; r < top + g.fitRows; ++r)
    for (int c = left; c < std::min(left + g.fitCols, kCols); ++c) {
      ++cells;
      const std::string want = FillText(r, c);
      // The cell as it is drawn: the owner fills it as it is fetched.
      CSGCell cell;
      grid.GetCellWithDefaults(c, r, &cell);
      if (Text(cell.GetText()) != want && wrongText++ == 0) firstText = at(c, r);
      const int x0 = (c - left) * w, y0 = static_cast<int>(r - top) * h;
      long ink = 0;
      for (int y = y0 + 1; y < y0 + h - 1; ++y)
        for (int x = x0 + 1; x < x0 + w - 1; ++x)
          if (qGray(shown.pixel(x, y)) < 128) ++ink;
      if (ink == 0 && blank++ == 0) firstBlank = at(c, r);
      if (c == grid.GetCurrentColumn() && r == grid.GetCurrentRow()) continue;
      QImage ref(w, h, QImage::Format_RGB32);
      ref.fill(Qt::white);
      {
        plat::CImageDC dc(&ref);
        dc.Qt()->SetRasterShortcuts(false);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(RGB(0, 0, 0));
        dc.TextOut(margin, 1, want);
      }
      if (Differing(shown, x0 + 1, y0 + 1, ref, 1, 1, w - 2, h - 2) != 0 && unlike++ == 0)
        firstUnlike = at(c, r);
    }
  const std::string place = "rows " + std::to_string(top) + "-" +
                            std::to_string(top + g.fitRows - 1) + ", columns " +
                            std::to_string(left) + "-" +
                            std::to_string(std::min(left + g.fitCols, kCols) - 1);
  tv_bench::Check(cells > 0 && wrongText == 0, "texts of the visible cells",
                  std::to_string(cells) + " cells of " + place + ", " +
                      std::to_string(wrongText) + " not the fill rule's" +
                      (wrongText ? ", first " + firstText : ""));
  tv_bench::Check(cells > 0 && blank == 0, "inked cells",
                  std::to_string(cells - blank) + " of " + std::to_string(cells) +
                      " visible cells inked" + (blank ? ", first blank " + firstBlank : ""));
  tv_bench::Check(cells > 1 && unlike == 0, "cell pictures",
                  std::to_string(cells - 1 - unlike) + " of " + std::to_string(cells - 1) +
                      " cells equal their number drawn alone" +
                      (unlike ? ", first other " + firstUnlike : ""));

  // The same place painted afresh in one go.
  grid.m_CUGGrid->Port()->Invalidate();
  grid.m_CUGGrid->Port()->UpdateWindow();
  const long differ = Differing(shown, 0, 0, *backing, 0, 0, shown.width(), shown.height());
  tv_bench::Check(differ == 0, "paged picture against a full repaint",
                  std::to_string(differ) + " of " + std::to_string(shown.width()) + " x " +
                      std::to_string(shown.height()) + " pixels differ");
}

void CheckOutput(FilledGrid& grid) {
  const Geometry g = Measure(grid);
  bool uniform = g.colWidth > 0 && g.rowHeight > 0 && g.fitRows > 1 && g.fitCols > 0;
  for (int c = 0; c < kCols; ++c) uniform = uniform && grid.GetColumnWidth(c) == g.colWidth;
  tv_bench::Check(uniform, "cell sizes",
                  "cell area " + std::to_string(g.width) + " x " + std::to_string(g.height) +
                      ", cells " + std::to_string(g.colWidth) + " x " +
                      std::to_string(g.rowHeight) + " (" + std::to_string(g.fitCols) + " x " +
                      std::to_string(g.fitRows) + " whole ones)");
  if (!uniform) return;
  CheckMoves(grid, g);
  CheckPicture(grid, g);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  S();
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  CheckOutput(S().grid);
  const std::pair<const char*, const char*> steps[] = {{"BM_PageDown", "a page down"},
                                                        {"BM_LineDown", "a line down"},
                                                        {"BM_RandomRowJump", "a jump to a random row"},
                                                        {"BM_PageRight", "a page right"}};
  for (const auto& [name, what] : steps)
    tv_bench::Goal(std::string("step: ") + what, reporter.Seconds(name), 0.010);
  benchmark::Shutdown();
  return tv_bench::ExitCode();
}
