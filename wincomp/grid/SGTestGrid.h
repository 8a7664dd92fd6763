// Test helper: a grid on the headless window system that logs its notifications and
// can be told to veto.
#pragma once
#include <string>
#include <vector>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGHeadings.h"
#include "wincomp/grid/SGHeadless.h"
#include "wincomp/grid/SGScroll.h"
#include "wincomp/grid/SGTab.h"

class SGTestGrid : public CSGCtrl {
 public:
  std::vector<std::string> log;
  bool vetoMove = false;
  bool vetoScroll = false;
  long tabClicks = 0;
  long lastTabId = -1;

  int CanMoveCurrentCell(int, long, int, long) override { return !vetoMove; }
  int CanScrollView(int, long, int, long) override { return !vetoScroll; }
  void OnCurrentColumnChanged(int o, int n) override { Log("col", o, n); }
  void OnCurrentRowChanged(long o, long n) override { Log("row", o, n); }
  void OnCurrentCellChanged(int, int, long, long) override { log.push_back("cell"); }
  void OnLeftColumnChanged(int o, int n) override { Log("left", o, n); }
  void OnTopRowChanged(long o, long n) override { Log("top", o, n); }
  int OnPopupOpen(int col, long row, int section) override {
    log.push_back("popup " + std::to_string(col) + "," + std::to_string(row) + "," +
                  std::to_string(section));
    return TRUE;
  }
  void OnSheetTabClicked(long id) override {
    ++tabClicks;
    lastTabId = id;
  }

  void Log(const char* what, long o, long n) {
    log.push_back(std::string(what) + " " + std::to_string(o) + "->" + std::to_string(n));
  }
};

// A created grid of the given client size on its own headless system.
struct SGHeadlessGrid {
  explicit SGHeadlessGrid(int width = 400, int height = 300, plat::RecordingOptions options = {})
      : system(std::move(options)) {
    grid.CreateGrid(0, RECT{0, 0, width, height}, system, nullptr, 1);
  }
  SGHeadlessPort* Port(const CSGWnd& wnd) { return SGHeadlessSystem::PortOf(wnd); }
  SGHeadlessPort* Cells() { return Port(*grid.m_CUGGrid); }
  CSGGridInfo& GI() { return *grid.GetGridInfo(); }

  SGHeadlessSystem system;
  SGTestGrid grid;
};
