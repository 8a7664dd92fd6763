// The current cell, movement and scrolling of the grid control.
#include <algorithm>
#include <cmath>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGHeadings.h"
#include "wincomp/grid/SGScroll.h"

using namespace sgw;

void CSGCtrl::CheckRowsPastEnd(long row) {
  CSGGridInfo& g = *m_GI;
  if (row < g.m_numberRows) return;
  const long first = g.m_numberRows;
  const long count = row - first + 1;
  int found = 0;
  g.m_defDataSource->OnRowsPastEnd(static_cast<int>(first), static_cast<int>(count), &found);
  OnRowsPastEnd(first, count, &found);
}

int CSGCtrl::ValidateRow(long* row, bool withJoins) {
  CSGGridInfo& g = *m_GI;
  if (*row >= g.m_numberRows) {
    CheckRowsPastEnd(*row);
    // Rows the owner appended on demand can be reached at once.
    if (*row >= g.m_numberRows) {
      if (g.m_requestedRow == g.m_numberRows - 1) return 1;
      *row = g.m_numberRows - 1;
    }
  }
  if (*row < 0) *row = 0;
  if (!withJoins || !g.m_enableJoins || g.m_requestedCol < 0) return 0;
  int c = g.m_requestedCol, ec = 0;
  long r = *row, er = 0;
  if (GetJoinRange(&c, &r, &ec, &er) != 0) return 0;
  if (g.m_moveType != 0) {
    *row = r;
  } else if (*row <= g.m_requestedRow) {
    if (g.m_requestedRow <= er && r - 1 >= 0) *row = r - 1;
  } else {
    if (g.m_requestedRow < r)
      *row = r;
    else if (er + 1 < g.m_numberRows)
      *row = er + 1;
  }
  return 0;
}

int CSGCtrl::ValidateCol(int* col) {
  CSGGridInfo& g = *m_GI;
  if (*col >= g.m_numberCols) {
    if (g.m_requestedCol == g.m_numberCols - 1) return 1;
    *col = g.m_numberCols - 1;
  }
  if (*col == g.m_requestedCol) return 0;
  if (*col < 0) *col = 0;
  if (!g.m_enableJoins || g.m_requestedRow < 0) return 0;
  int c = *col, ec = 0;
  long r = g.m_requestedRow, er = 0;
  if (GetJoinRange(&c, &r, &ec, &er) != 0) return 0;
  if (g.m_moveType != 0) {
    *col = c;
  } else if (*col <= g.m_requestedCol) {
    if (g.m_requestedCol <= ec && c - 1 >= 0) *col = c - 1;
  } else {
    if (g.m_requestedCol < c)
      *col = c;
    else if (ec + 1 < g.m_numberCols)
      *col = ec + 1;
  }
  return 0;
}

void CSGCtrl::ScrollRowIntoView() {
  CSGGridInfo& g = *m_GI;
  const long req = g.m_requestedRow;
  if (req < 0) return;
  if (g.m_topRow > req) {
    g.m_topRow = static_cast<int>(std::max<long>(req, g.m_numLockRows));
    return;
  }
  if (req < g.m_numLockRows) return;
  const long vis = static_cast<long>(g.m_gridHeight) - g.m_lockRowHeight;
  long top = g.m_topRow;
  if (g.m_uniformRowHeightFlag) {
    const long h = std::max(1, g.m_defRowHeight);
    if ((req - top + 1) * h <= vis) return;
    top = req - vis / h + 1;
  } else {
    long sum = 0;
    for (long r = top; r <= req && sum <= vis; ++r) sum += g.m_rowHeights[r];
    if (sum <= vis) return;
    long left = vis;
    long r = req;
    for (; r >= g.m_numLockRows; --r) {
      left -= g.m_rowHeights[r];
      if (left < 0) break;
    }
    top = r + 1;
  }
  // A row taller than the area is shown from its top.
  top = std::min(top, req);
  top = std::min<long>(top, std::max(g.m_maxTopRow, g.m_numLockRows));
  g.m_topRow = static_cast<int>(std::max<long>(top, g.m_numLockRows));
}

void CSGCtrl::ScrollColIntoView() {
  CSGGridInfo& g = *m_GI;
  const int req = g.m_requestedCol;
  if (req < 0) return;
  if (g.m_leftCol > req) {
    g.m_leftCol = std::max(req, g.m_numLockCols);
    return;
  }
  if (req < g.m_numLockCols) return;
  const long vis = static_cast<long>(g.m_gridWidth) - g.m_lockColWidth;
  long sum = 0;
  for (int c = g.m_leftCol; c <= req && sum <= vis; ++c) sum += g.m_colInfo[c].width;
  if (sum <= vis) return;
  long left = vis;
  int c = req;
  for (; c >= g.m_numLockCols; --c) {
    left -= g.m_colInfo[c].width;
    if (left < 0) break;
  }
  int leftCol = std::min(c + 1, req);
  leftCol = std::min(leftCol, std::max(g.m_maxLeftCol, g.m_numLockCols));
  g.m_leftCol = std::max(leftCol, g.m_numLockCols);
}

int CSGCtrl::GotoRow(long row) {
  CSGGridInfo& g = *m_GI;
  if (row == g.m_requestedRow) return 0;
  if (ValidateRow(&row, true) != 0) return 1;
  if (row == g.m_requestedRow) return 0;
  if (!CanMoveCurrentCell(g.m_requestedCol, g.m_requestedRow, g.m_requestedCol, row)) return 2;
  g.m_requestedRow = static_cast<int>(row);
  ScrollRowIntoView();
  ApplyMove();
  return 0;
}

int CSGCtrl::GotoColumn(int col) {
  CSGGridInfo& g = *m_GI;
  if (col == g.m_requestedCol) return 0;
  if (ValidateCol(&col) != 0) return 1;
  if (col == g.m_requestedCol) return 0;
  if (g.m_defDataSource->CanMove(g.m_requestedCol, g.m_requestedRow, col, g.m_requestedRow) != 1)
    return 2;
  if (!CanMoveCurrentCell(g.m_requestedCol, g.m_requestedRow, col, g.m_requestedRow)) return 2;
  g.m_requestedCol = col;
  ScrollColIntoView();
  ApplyMove();
  return 0;
}

int CSGCtrl::GotoCell(int col, long row) {
  CSGGridInfo& g = *m_GI;
  if (col == g.m_requestedCol && row == g.m_requestedRow) return 0;
  if (g.m_numberCols < 1) return 1;
  col = std::max(0, std::min(col, g.m_numberCols - 1));
  if (ValidateRow(&row, false) != 0) return 1;
  if (g.m_enableJoins) {
    int c = col;
    long r = row;
    if (GetJoinStart(&c, &r) == 0) {
      col = c;
      row = r;
    }
  }
  if (col == g.m_requestedCol && row == g.m_requestedRow) return 0;
  if (g.m_defDataSource->CanMove(g.m_currentCol, g.m_currentRow, col, static_cast<int>(row)) != 1)
    return 2;
  if (!CanMoveCurrentCell(g.m_requestedCol, g.m_requestedRow, col, row)) return 2;
  g.m_requestedCol = col;
  g.m_requestedRow = static_cast<int>(row);
  ScrollColIntoView();
  ScrollRowIntoView();
  ApplyMove();
  return 0;
}

int CSGCtrl::SetTopRow(long row) {
  CSGGridInfo& g = *m_GI;
  if (row == g.m_topRow) return 0;
  row = std::min<long>(row, g.m_maxTopRow);
  row = std::max<long>(row, g.m_numLockRows);
  if (row == g.m_topRow) return 0;
  if (!CanScrollView(g.m_leftCol, g.m_topRow, g.m_leftCol, row)) return 2;
  g.m_topRow = static_cast<int>(row);
  ApplyMove();
  return 0;
}

int CSGCtrl::SetLeftColumn(int col) {
  CSGGridInfo& g = *m_GI;
  if (col == g.m_leftCol) return 0;
  col = std::min(col, g.m_maxLeftCol);
  col = std::max(col, g.m_numLockCols);
  if (col == g.m_leftCol) return 0;
  if (!CanScrollView(g.m_leftCol, g.m_topRow, col, g.m_topRow)) return 2;
  g.m_leftCol = col;
  ApplyMove();
  return 0;
}

void CSGCtrl::ApplyMove() {
  CSGGridInfo& g = *m_GI;
  g.m_currentCol = g.m_requestedCol;
  g.m_currentRow = g.m_requestedRow;
  const bool colChanged = g.m_currentCol != g.m_lastCurrentCol;
  const bool rowChanged = g.m_currentRow != g.m_lastCurrentRow;
  if (colChanged) {
    g.m_defDataSource->OnColumnChange(g.m_lastCurrentCol, g.m_currentCol);
    OnCurrentColumnChanged(g.m_lastCurrentCol, g.m_currentCol);
  }
  if (rowChanged) {
    g.m_defDataSource->OnRowChange(g.m_lastCurrentRow, g.m_currentRow);
    OnCurrentRowChanged(g.m_lastCurrentRow, g.m_currentRow);
  }
  if (colChanged || rowChanged)
    OnCurrentCellChanged(g.m_lastCurrentCol, g.m_currentCol, g.m_lastCurrentRow, g.m_currentRow);
  if (g.m_leftCol != g.m_lastLeftCol) OnLeftColumnChanged(g.m_lastLeftCol, g.m_leftCol);
  if (g.m_topRow != g.m_lastTopRow) OnTopRowChanged(g.m_lastTopRow, g.m_topRow);

  CSGCell cell;
  GetCellWithDefaults(g.m_lastCurrentCol, g.m_lastCurrentRow, &cell);
  GetCellTypeByIndex(cell.GetCellType())
      ->OnCellFocusLost(g.m_lastCurrentCol, g.m_lastCurrentRow, &cell);
  GetCellWithDefaults(g.m_currentCol, g.m_currentRow, &cell);
  GetCellTypeByIndex(cell.GetCellType())->OnCellFocusGained(g.m_currentCol, g.m_currentRow, &cell);

  if (m_paintMode) {
    m_CUGGrid->UpdateAfterMove();
    m_CUGSideHdg->UpdateAfterMove();
    m_CUGTopHdg->UpdateAfterMove();
  }
  if (IsWindow()) {
    m_CUGVScroll->UpdateScrollBar();
    m_CUGHScroll->UpdateScrollBar();
  }
  g.m_lastCurrentCol = g.m_currentCol;
  g.m_lastCurrentRow = g.m_currentRow;
  g.m_lastLeftCol = g.m_leftCol;
  g.m_lastTopRow = g.m_topRow;
}

namespace {

// Height of a row for the paging walks: rows outside the sheet count with the default.
int PagingHeight(const CSGGridInfo& g, long row) {
  if (row < 0 || row >= g.m_numberRows) return g.m_defRowHeight;
  return g.RowHeight(static_cast<int>(row));
}

// The row a page away from `from` (down: dir 1, up: dir -1) within `vis` pixels.
long PageRow(const CSGGridInfo& g, long from, long vis, int dir, long pastFrom = -1) {
  if (g.m_uniformRowHeightFlag) {
    const long h = std::max(1, g.m_defRowHeight);
    const long left = vis - h;
    return left < 0 ? from : from + dir * (left / h);
  }
  long r = from;
  long left = vis - (pastFrom >= 0 && r >= pastFrom ? g.m_defRowHeight : PagingHeight(g, r));
  for (;;) {
    const long next = r + dir;
    const int h = pastFrom >= 0 && next >= pastFrom ? g.m_defRowHeight : PagingHeight(g, next);
    if (h > left || (h == 0 && (next < -1 || next > g.m_numberRows))) break;
    left -= h;
    r = next;
  }
  return r;
}

int PagingWidth(const CSGGridInfo& g, int col) {
  if (col < 0) return std::max(1, g.m_defColWidth);
  if (col >= g.m_numberCols) return 1;
  return g.m_colInfo[col].width;
}

int PageCol(const CSGGridInfo& g, int from, long vis, int dir) {
  int c = from;
  long left = vis;
  while (left >= 0) {
    left -= PagingWidth(g, c);
    c += dir;
  }
  return c;
}

}  // namespace

int CSGCtrl::MoveCurrentRow(int action) {
  CSGGridInfo& g = *m_GI;
  const long vis = static_cast<long>(g.m_gridHeight) - g.m_lockRowHeight;
  switch (action) {
    case 0:
      return GotoRow(g.m_requestedRow - 1L);
    case 1:
      return GotoRow(g.m_requestedRow + 1L);
    case 2:
      return GotoRow(vis < 0 ? g.m_requestedRow : PageRow(g, g.m_requestedRow, vis, -1));
    case 3:
      return GotoRow(vis < 0 ? g.m_requestedRow : PageRow(g, g.m_requestedRow, vis, 1));
    case 4:
      return GotoRow(0);
    case 5:
      return GotoRow(g.m_numberRows - 1L);
    default:
      return 0;
  }
}

int CSGCtrl::MoveTopRow(int action) {
  CSGGridInfo& g = *m_GI;
  const long vis = static_cast<long>(g.m_gridHeight) - g.m_lockRowHeight;
  switch (action) {
    case 0:
      return SetTopRow(g.m_topRow - 1L);
    case 1:
      return SetTopRow(g.m_topRow + 1L);
    case 2:
      return SetTopRow(vis < 0 ? g.m_topRow : PageRow(g, g.m_topRow, vis, -1));
    case 3:
      return SetTopRow(vis < 0 ? g.m_topRow : PageRow(g, g.m_topRow, vis, 1, g.m_maxTopRow));
    case 4:
      return SetTopRow(0);
    case 5:
      return SetTopRow(g.m_numberRows - 1L);
    default:
      return 0;
  }
}

int CSGCtrl::MoveCurrentColumn(int action) {
  CSGGridInfo& g = *m_GI;
  const long vis = static_cast<long>(g.m_gridWidth) - g.m_lockColWidth;
  switch (action) {
    case 0:
      return GotoColumn(g.m_requestedCol - 1);
    case 1:
      return GotoColumn(g.m_requestedCol + 1);
    case 2:
      return GotoColumn(PageCol(g, g.m_requestedCol, vis, -1));
    case 3:
      return GotoColumn(PageCol(g, g.m_requestedCol, vis, 1));
    case 4:
      return GotoColumn(0);
    case 5:
      return GotoColumn(g.m_numberCols - 1);
    default:
      return 0;
  }
}

int CSGCtrl::MoveLeftColumn(int action) {
  CSGGridInfo& g = *m_GI;
  const long vis = static_cast<long>(g.m_gridWidth) - g.m_lockColWidth;
  switch (action) {
    case 0:
      return SetLeftColumn(g.m_leftCol - 1);
    case 1:
      return SetLeftColumn(g.m_leftCol + 1);
    case 2:
      return SetLeftColumn(PageCol(g, g.m_leftCol, vis, -1));
    case 3:
      return SetLeftColumn(PageCol(g, g.m_leftCol, vis, 1));
    case 4:
      return SetLeftColumn(0);
    case 5:
      return SetLeftColumn(g.m_numberCols - 1);
    default:
      return 0;
  }
}
