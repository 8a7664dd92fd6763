#include "wincomp/grid/SGHeadings.h"

#include <algorithm>
#include <cstdlib>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGGridInfo.h"

using namespace sgw;
using plat::CDC;

namespace {

inline long NextInOrder(long i, long locked, long first) {
  ++i;
  if (i >= locked && i < first) i = first;
  return i;
}
inline long FirstInOrder(long locked, long first) { return locked > 0 ? 0 : first; }

void FocusToCellArea(CSGCtrl* ctrl) {
  if (!ctrl->m_CUGGrid->HasFocus()) ctrl->m_CUGGrid->SetFocus();
}

// Draws one heading cell through its type, a joined block once per paint.
void DrawHeadingCell(CSGCtrl* ctrl, CDC* dc, CSGPaintHint& hint, CSGCell& cell, int col, long row,
                     RECT rect, const std::function<void(int*, long*, RECT*)>& blockRect) {
  ctrl->GetCellWithDefaults(col, row, &cell);
  if (ctrl->GetGridInfo()->m_enableJoins && cell.IsPropertySet(SGCELL_JOININFO)) {
    blockRect(&col, &row, &rect);
    ctrl->GetJoinStartCell(&col, &row, &cell);
    if (hint.IsJoinDrawn(col, row)) return;
    hint.AddDrawnJoin(col, row);
  }
  if (rect.right <= rect.left) return;
  const int saved = dc->SaveDC();
  ctrl->GetCellTypeByIndex(cell.GetCellType())->OnDraw(dc, &rect, col, row, &cell, 0, 0);
  dc->RestoreDC(saved);
}

}  // namespace

// ================================================================== top heading

void CSGTopHdg::UpdateAfterMove() {
  if (m_GI->m_leftCol != m_GI->m_lastLeftCol) {
    Invalidate();
    UpdateWindow();
  }
}

void CSGTopHdg::FitRows() {
  CSGGridInfo& g = *m_GI;
  const int n = g.m_numberTopHdgRows;
  int rest = g.m_topHdgHeight;
  for (int k = 0; k < n - 1; ++k) rest -= g.m_topHdgHeights[k];
  m_ctrl->SetTopHeadingRowHeight(-n, std::max(0, rest));
  Invalidate();
  UpdateWindow();
}

int CSGTopHdg::GetCellRect(int* col, long* row, RECT* rect) {
  CSGGridInfo& g = *m_GI;
  int endCol = *col;
  long endRow = *row;
  if (g.m_enableJoins) {
    int c = *col, ec = 0;
    long r = *row, er = 0;
    if (m_ctrl->GetJoinRange(&c, &r, &ec, &er) == 0) {
      *col = c, *row = r, endCol = ec, endRow = er;
    }
  }
  *rect = RECT{0, 0, 0, g.m_topHdgHeight};
  if (*col >= g.m_numLockCols) rect->left = rect->right = g.m_lockColWidth;
  long x = 0;
  for (long c = FirstInOrder(g.m_numLockCols, g.m_leftCol); c < g.m_numberCols;
       c = NextInOrder(c, g.m_numLockCols, g.m_leftCol)) {
    if (c == *col) rect->left = x;
    x += g.m_colInfo[c].width;
    if (c == endCol) {
      rect->right = x;
      break;
    }
    if (x > g.m_gridWidth && c >= *col) {
      rect->right = x;
      break;
    }
  }
  long y = 0;
  for (int r = -g.m_numberTopHdgRows; r <= -1; ++r) {
    const int h = g.m_topHdgHeights[-r - 1];
    if (r == *row) rect->top = y;
    y += h;
    if (r == endRow) rect->bottom = y;
  }
  return 0;
}

int CSGTopHdg::HitTest(POINT* p, int* col, long* row, RECT* rect) {
  CSGGridInfo& g = *m_GI;
  *col = -1;
  *row = -1;
  long x = 0;
  RECT r{};
  bool found = false;
  for (long c = FirstInOrder(g.m_numLockCols, g.m_leftCol); c < g.m_numberCols;
       c = NextInOrder(c, g.m_numLockCols, g.m_leftCol)) {
    const long right = x + g.m_colInfo[c].width;
    if (right > p->x) {
      *col = static_cast<int>(c);
      r.left = x;
      r.right = right;
      found = true;
      break;
    }
    x = right;
  }
  if (!found) return 1;
  long y = 0;
  for (int hr = -g.m_numberTopHdgRows; hr <= -1; ++hr) {
    const long bottom = y + g.m_topHdgHeights[-hr - 1];
    if (bottom > p->y) {
      *row = hr;
      r.top = y;
      r.bottom = bottom;
      if (rect) *rect = r;
      return 0;
    }
    y = bottom;
  }
  *col = -1;
  return 1;
}

void CSGTopHdg::OnPaint(CDC* dc) {
  CSGGridInfo& g = *m_GI;
  m_paintHint.AddRange(0, -g.m_numberTopHdgRows, g.m_numberCols, 0);
  m_ctrl->OnPaintDCSetup(dc, nullptr, SG_SECTION_TOPHDG);
  if (g.m_defFont) dc->SelectObject(*g.m_defFont);
  long maxRight = 0;
  long y = 0;
  for (int row = -g.m_numberTopHdgRows; row <= -1; ++row) {
    const int h = g.m_topHdgHeights[-row - 1];
    long x = 0;
    for (long c = FirstInOrder(g.m_numLockCols, g.m_leftCol); c < g.m_numberCols;
         c = NextInOrder(c, g.m_numLockCols, g.m_leftCol)) {
      const long right = x + g.m_colInfo[c].width;
      if (m_paintHint.IsInvalid(static_cast<int>(c), row)) {
        RECT rect{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right),
                  static_cast<LONG>(y + h)};
        DrawHeadingCell(m_ctrl, dc, m_paintHint, m_cell, static_cast<int>(c), row, rect,
                        [this](int* cc, long* rr, RECT* rc) { GetCellRect(cc, rr, rc); });
      }
      x = right;
      maxRight = std::max(maxRight, x);
      if (right > g.m_gridWidth) break;
    }
    y += h;
  }
  if (maxRight < g.m_gridWidth) {
    RECT fill{static_cast<LONG>(maxRight), 0, g.m_gridWidth, g.m_topHdgHeight};
    dc->FillSolidRect(fill, g.m_hdgDefaultCell->GetBackColor());
  }
  m_paintHint.Clear();
}

void CSGTopHdg::CheckEdges(POINT p) {
  CSGGridInfo& g = *m_GI;
  long x = 0;
  for (long c = FirstInOrder(g.m_numLockCols, g.m_leftCol); c < g.m_numberCols;
       c = NextInOrder(c, g.m_numLockCols, g.m_leftCol)) {
    x += g.m_colInfo[c].width;
    if (x > g.m_gridWidth) break;
    if (std::abs(p.x - x) < 3) {
      long col = c;
      const long next = NextInOrder(c, g.m_numLockCols, g.m_leftCol);
      if (next < g.m_numberCols && g.m_colInfo[next].width == 0) col = next;
      if (m_ctrl->CanResizeColumn(static_cast<int>(col))) {
        m_canSize = 1;
        m_sizingKind = 0;
        m_sizingIndex = static_cast<int>(col);
        m_sizingStartSize = g.m_colInfo[col].width;
        m_sizingStartPos = p.x;
        SetCursor(g.m_WEResizeCursor);
        return;
      }
      break;
    }
  }
  long edge = g.m_topHdgHeight;
  for (int k = 0; k < g.m_numberTopHdgRows; ++k) {
    if (std::abs(p.y - edge) < 3 && m_ctrl->CanResizeTopHeading()) {
      m_canSize = 1;
      m_sizingKind = 1;
      m_sizingIndex = k;
      m_sizingStartSize = g.m_topHdgHeights[k];
      m_sizingStartPos = p.y;
      m_sizingStartHeight = g.m_topHdgHeight;
      SetCursor(g.m_NSResizeCursor);
      return;
    }
    edge -= g.m_topHdgHeights[k];
  }
  if (m_canSize) {
    m_canSize = 0;
    SetCursor(g.m_arrowCursor);
  }
}

void CSGTopHdg::DrawFocusLine(int pos) {
  CSGGridInfo& g = *m_GI;
  const RECT old = m_focusRect;
  const RECT now{pos - 1, 0, pos + 1, g.m_gridHeight};
  m_ctrl->m_CUGGrid->Draw([&](CDC& dc) {
    if (old.left != -1 || old.right != -1) dc.DrawFocusRect(old);
    dc.DrawFocusRect(now);
  });
  m_focusRect = now;
}

void CSGTopHdg::OnMouseMove(UINT flags, POINT p) {
  CSGGridInfo& g = *m_GI;
  if (!m_isSizing) {
    if (!(flags & MK_LBUTTON) && g.m_userSizingMode) CheckEdges(p);
    return;
  }
  if (m_sizingKind == 0) {
    const int x = std::max(p.x, m_sizingStartPos - m_sizingStartSize);
    int width = m_sizingStartSize + (x - m_sizingStartPos);
    m_ctrl->OnColumnResizing(m_sizingIndex, &width);
    m_ctrl->SetColumnWidth(m_sizingIndex, width);
    FitRows();
    DrawFocusLine(x);
  } else {
    const int d = p.y - m_sizingStartPos;
    const int rowHeight = std::max(0, m_sizingStartSize + d);
    int height = std::max(0, m_sizingStartHeight + d);
    m_ctrl->OnTopHeadingResizing(&height);
    g.m_topHdgHeights[m_sizingIndex] = rowHeight;
    g.m_topHdgHeight = height;
    m_ctrl->LayoutChildren();
  }
}

int CSGTopHdg::OnSetCursor() {
  if (!m_canSize)
    SetCursor(m_GI->m_arrowCursor);
  else
    SetCursor(m_sizingKind == 0 ? m_GI->m_WEResizeCursor : m_GI->m_NSResizeCursor);
  return TRUE;
}

void CSGTopHdg::OnLButtonDown(UINT /*flags*/, POINT p) {
  FocusToCellArea(m_ctrl);
  if (m_canSize) {
    m_isSizing = 1;
    SetCapture();
    return;
  }
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    m_ctrl->CanStartColumnMove(col);
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 1, &rect, &p);
    m_ctrl->OnTopHeadingLeftClick(col, row, 1, &rect, &p, processed);
  }
  SetCapture();
}

void CSGTopHdg::OnLButtonUp(UINT /*flags*/, POINT p) {
  CSGGridInfo& g = *m_GI;
  if (m_isSizing) {
    m_isSizing = 0;
    m_focusRect = RECT{-1, -1, -1, -1};
    ReleaseCapture();
    if (m_sizingKind == 0) {
      int width = m_ctrl->GetColumnWidth(m_sizingIndex);
      m_ctrl->OnColumnResized(m_sizingIndex, &width);
      if (width != m_ctrl->GetColumnWidth(m_sizingIndex))
        m_ctrl->SetColumnWidth(m_sizingIndex, width);
    } else {
      m_ctrl->OnTopHeadingResized(&g.m_topHdgHeight);
    }
    m_ctrl->m_CUGGrid->Invalidate();
    m_ctrl->LayoutChildren();
    return;
  }
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 0, &rect, &p);
    m_ctrl->OnTopHeadingLeftClick(col, row, 0, &rect, &p, processed);
  }
  ReleaseCapture();
}

void CSGTopHdg::OnLButtonDblClk(UINT /*flags*/, POINT p) {
  if (m_canSize && m_sizingKind == 0) {
    if (m_GI->m_bestFitOnDblClick) m_ctrl->BestFit(m_sizingIndex, m_sizingIndex, 20, 1);
    m_canSize = 0;
    CheckEdges(p);
    return;
  }
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnDoubleClick(col, row, &rect, &p);
    m_ctrl->OnTopHeadingDoubleClick(col, row, &rect, &p, processed);
  }
}

void CSGTopHdg::OnRButtonDown(UINT /*flags*/, POINT p) {
  FocusToCellArea(m_ctrl);
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 0, &rect, &p);
    m_ctrl->OnTopHeadingRightClick(col, row, 1, &rect, &p, processed);
  }
  if (m_GI->m_menuEnabled) {
    POINT sp = ClientToScreen(p);
    m_ctrl->OpenPopupMenu(col, row, SG_SECTION_TOPHDG, &sp);
  }
}

void CSGTopHdg::OnRButtonUp(UINT /*flags*/, POINT p) {
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 0, &rect, &p);
    m_ctrl->OnTopHeadingRightClick(col, row, 0, &rect, &p, processed);
  }
}

// ================================================================== side heading

void CSGSideHdg::FitColumns() {
  CSGGridInfo& g = *m_GI;
  const int n = g.m_numberSideHdgCols;
  int rest = g.m_sideHdgWidth;
  for (int k = 0; k < n - 1; ++k) rest -= g.m_sideHdgWidths[k];
  rest = std::max(0, rest);
  // Set directly: with one column the width must not feed back into the heading's width.
  if (rest <= SG_MAX_HEADING_SIZE) g.m_sideHdgWidths[n - 1] = rest;
  Invalidate();
  UpdateWindow();
}

int CSGSideHdg::GetCellRect(int* col, long* row, RECT* rect) {
  CSGGridInfo& g = *m_GI;
  int endCol = *col;
  long endRow = *row;
  if (g.m_enableJoins) {
    int c = *col, ec = 0;
    long r = *row, er = 0;
    if (m_ctrl->GetJoinRange(&c, &r, &ec, &er) == 0) {
      *col = c, *row = r, endCol = ec, endRow = er;
    }
  }
  *rect = RECT{0, 0, g.m_sideHdgWidth, 0};
  long x = 0;
  for (int c = -g.m_numberSideHdgCols; c <= -1; ++c) {
    if (c == *col) rect->left = x;
    x += g.m_sideHdgWidths[-c - 1];
    if (c == endCol) rect->right = x;
  }
  if (*row >= g.m_numLockRows) rect->top = rect->bottom = g.m_lockRowHeight;
  long y = 0;
  for (long r = FirstInOrder(g.m_numLockRows, g.m_topRow); r < g.m_numberRows;
       r = NextInOrder(r, g.m_numLockRows, g.m_topRow)) {
    if (r == *row) rect->top = y;
    y += g.RowHeight(static_cast<int>(r));
    if (r == endRow || (y > g.m_gridHeight && r >= *row)) {
      rect->bottom = y;
      break;
    }
  }
  return 0;
}

int CSGSideHdg::HitTest(POINT* p, int* col, long* row, RECT* rect) {
  CSGGridInfo& g = *m_GI;
  *col = -1;
  *row = -1;
  RECT r{};
  long y = 0;
  bool found = false;
  for (long rw = FirstInOrder(g.m_numLockRows, g.m_topRow); rw < g.m_numberRows;
       rw = NextInOrder(rw, g.m_numLockRows, g.m_topRow)) {
    const long bottom = y + g.RowHeight(static_cast<int>(rw));
    if (bottom > p->y) {
      *row = rw;
      r.top = y;
      r.bottom = bottom;
      found = true;
      break;
    }
    y = bottom;
    if (y > g.m_gridHeight) break;
  }
  if (!found) return 1;
  long x = 0;
  for (int c = -g.m_numberSideHdgCols; c <= -1; ++c) {
    const long right = x + g.m_sideHdgWidths[-c - 1];
    if (right > p->x) {
      *col = c;
      r.left = right - g.m_sideHdgWidths[-c - 1];
      r.right = right;
      if (rect) *rect = r;
      return 0;
    }
    x = right;
  }
  *row = -1;
  return 1;
}

void CSGSideHdg::OnPaint(CDC* dc) {
  m_paintHint.AddRange(-m_GI->m_numberSideHdgCols, 0, 0, m_GI->m_numberRows);
  PaintInvalidCells(dc);
}

void CSGSideHdg::PaintInvalidCells(CDC* dc) {
  CSGGridInfo& g = *m_GI;
  m_bottomRow = g.m_numberRows;
  m_ctrl->OnPaintDCSetup(dc, nullptr, SG_SECTION_SIDEHDG);
  if (g.m_defFont) dc->SelectObject(*g.m_defFont);
  long y = 0;
  for (long r = FirstInOrder(g.m_numLockRows, g.m_topRow); r < g.m_numberRows;
       r = NextInOrder(r, g.m_numLockRows, g.m_topRow)) {
    const int h = g.RowHeight(static_cast<int>(r));
    if (h == 0) continue;
    long x = 0;
    for (int c = -g.m_numberSideHdgCols; c <= -1; ++c) {
      const int w = g.m_sideHdgWidths[-c - 1];
      if (m_paintHint.IsInvalid(c, r)) {
        RECT rect{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + w),
                  static_cast<LONG>(y + h)};
        DrawHeadingCell(m_ctrl, dc, m_paintHint, m_cell, c, r, rect,
                        [this](int* cc, long* rr, RECT* rc) { GetCellRect(cc, rr, rc); });
      }
      x += w;
    }
    y += h;
    if (y > g.m_gridHeight) {
      m_bottomRow = r;
      break;
    }
  }
  if (y < g.m_gridHeight) {
    RECT fill{0, static_cast<LONG>(y), g.m_sideHdgWidth, g.m_gridHeight};
    dc->FillSolidRect(fill, g.m_hdgDefaultCell->GetBackColor());
  }
  m_paintHint.Clear();
}

void CSGSideHdg::UpdateAfterMove() {
  CSGGridInfo& g = *m_GI;
  if (g.m_topRow == g.m_lastTopRow && g.m_currentRow == g.m_lastCurrentRow) return;
  if (!IsWindow()) return;
  if (HasUpdateRegion()) {
    UpdateWindow();
    return;
  }
  const int n = g.m_numberSideHdgCols;
  long dy = 0;
  if (g.m_topRow != g.m_lastTopRow) {
    const long lo = std::min(g.m_topRow, g.m_lastTopRow), hi = std::max(g.m_topRow, g.m_lastTopRow);
    double sum = 0;
    if (g.m_uniformRowHeightFlag) {
      sum = double(hi - lo) * g.m_defRowHeight;
    } else {
      for (long r = lo; r < hi && sum <= g.m_gridHeight; ++r) sum += g.m_rowHeights[r];
    }
    if (sum > g.m_gridHeight) {
      m_paintHint.AddRange(-n, 0, 0, g.m_numberRows);
    } else {
      dy = g.m_topRow > g.m_lastTopRow ? static_cast<long>(sum) : -static_cast<long>(sum);
    }
  }
  // Separate ranges (not one widened range): only the exposed rows and the two current
  // rows are drawn.
  if (dy != 0) {
    RECT r = GetClientRect();
    r.top += g.m_lockRowHeight;
    ScrollContents(0, static_cast<int>(-dy), r);
    if (dy > 0)
      m_paintHint.AddRange(-n, m_bottomRow, 0, g.m_numberRows);
    else
      m_paintHint.AddRange(-n, 0, 0, g.m_lastTopRow);
  }
  m_paintHint.AddRange(-n, g.m_lastCurrentRow, 0, g.m_lastCurrentRow);
  m_paintHint.AddRange(-n, g.m_currentRow, 0, g.m_currentRow);
  Draw([this](CDC& dc) { PaintInvalidCells(&dc); });
  m_paintHint.Clear();
}

void CSGSideHdg::CheckEdges(POINT p) {
  CSGGridInfo& g = *m_GI;
  long edge = g.m_sideHdgWidth;
  for (int k = 0; k < g.m_numberSideHdgCols; ++k) {
    if (std::abs(p.x - edge) < 3 && m_ctrl->CanResizeSideHeading()) {
      m_canSize = 1;
      m_sizingKind = 0;
      m_sizingIndex = k;
      m_sizingStartSize = g.m_sideHdgWidths[k];
      m_sizingStartPos = p.x;
      m_sizingStartWidth = g.m_sideHdgWidth;
      SetCursor(g.m_WEResizeCursor);
      return;
    }
    edge -= g.m_sideHdgWidths[k];
  }
  long y = 0;
  for (long r = FirstInOrder(g.m_numLockRows, g.m_topRow); r < g.m_numberRows;
       r = NextInOrder(r, g.m_numLockRows, g.m_topRow)) {
    y += g.RowHeight(static_cast<int>(r));
    if (y > g.m_gridHeight) break;
    if (std::abs(p.y - y) < 3) {
      long row = r;
      const long next = NextInOrder(r, g.m_numLockRows, g.m_topRow);
      if (next < g.m_numberRows && g.RowHeight(static_cast<int>(next)) == 0) row = next;
      if (m_ctrl->CanResizeRow(row)) {
        m_canSize = 1;
        m_sizingKind = 1;
        m_sizingIndex = row;
        m_sizingStartSize = g.RowHeight(static_cast<int>(row));
        m_sizingStartPos = p.y;
        m_sizingDivisor = g.m_uniformRowHeightFlag ? p.y / std::max(1, g.m_defRowHeight) : 0;
        SetCursor(g.m_NSResizeCursor);
        return;
      }
      break;
    }
  }
  if (m_canSize) {
    m_canSize = 0;
    SetCursor(g.m_arrowCursor);
  }
}

void CSGSideHdg::DrawFocusLine(int pos) {
  CSGGridInfo& g = *m_GI;
  const RECT old = m_focusRect;
  const RECT now{0, pos - 1, g.m_gridWidth, pos + 1};
  m_ctrl->m_CUGGrid->Draw([&](CDC& dc) {
    if (old.left != -1 || old.right != -1) dc.DrawFocusRect(old);
    dc.DrawFocusRect(now);
  });
  m_focusRect = now;
}

void CSGSideHdg::OnMouseMove(UINT flags, POINT p) {
  CSGGridInfo& g = *m_GI;
  if (!m_isSizing) {
    if (!(flags & MK_LBUTTON) && g.m_userSizingMode) CheckEdges(p);
    return;
  }
  if (m_sizingKind == 1) {
    int height;
    int y = p.y;
    if (g.m_uniformRowHeightFlag && m_sizingDivisor > 0) {
      height = std::max(y, 1) / m_sizingDivisor;
    } else {
      y = std::max(p.y, m_sizingStartPos - m_sizingStartSize);
      height = std::max(0, m_sizingStartSize + (y - m_sizingStartPos));
    }
    m_ctrl->OnRowResizing(m_sizingIndex, &height);
    m_ctrl->SetRowHeight(m_sizingIndex, height);
    FitColumns();
    DrawFocusLine(y);
  } else {
    const int d = p.x - m_sizingStartPos;
    const int colWidth = std::max(0, m_sizingStartSize + d);
    int width = std::max(0, m_sizingStartWidth + d);
    m_ctrl->OnSideHeadingResizing(&width);
    g.m_sideHdgWidths[m_sizingIndex] = colWidth;
    g.m_sideHdgWidth = width;
    m_ctrl->LayoutChildren();
  }
}

int CSGSideHdg::OnSetCursor() {
  if (!m_canSize)
    SetCursor(m_GI->m_arrowCursor);
  else
    SetCursor(m_sizingKind == 0 ? m_GI->m_WEResizeCursor : m_GI->m_NSResizeCursor);
  return TRUE;
}

void CSGSideHdg::OnLButtonDown(UINT /*flags*/, POINT p) {
  FocusToCellArea(m_ctrl);
  if (m_canSize) {
    m_isSizing = 1;
    SetCapture();
    return;
  }
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 1, &rect, &p);
    m_ctrl->OnSideHeadingLeftClick(col, row, 1, &rect, &p, processed);
  }
}

void CSGSideHdg::OnLButtonUp(UINT /*flags*/, POINT p) {
  CSGGridInfo& g = *m_GI;
  if (m_isSizing) {
    m_isSizing = 0;
    m_focusRect = RECT{-1, -1, -1, -1};
    ReleaseCapture();
    if (m_sizingKind == 1) {
      int height = m_ctrl->GetRowHeight(m_sizingIndex);
      m_ctrl->OnRowResized(m_sizingIndex, &height);
      m_ctrl->SetRowHeight(m_sizingIndex, height);
    } else {
      m_ctrl->OnSideHeadingResized(&g.m_sideHdgWidth);
    }
    m_ctrl->m_CUGGrid->Invalidate();
    m_ctrl->LayoutChildren();
    return;
  }
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 0, &rect, &p);
    m_ctrl->OnSideHeadingLeftClick(col, row, 0, &rect, &p, processed);
  }
}

void CSGSideHdg::OnLButtonDblClk(UINT /*flags*/, POINT p) {
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnDoubleClick(col, row, &rect, &p);
    m_ctrl->OnSideHeadingDoubleClick(col, row, &rect, &p, processed);
  }
}

void CSGSideHdg::OnRButtonDown(UINT /*flags*/, POINT p) {
  FocusToCellArea(m_ctrl);
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 0, &rect, &p);
    m_ctrl->OnSideHeadingRightClick(col, row, 1, &rect, &p, processed);
  }
  if (m_GI->m_menuEnabled) {
    POINT sp = ClientToScreen(p);
    m_ctrl->OpenPopupMenu(col, row, SG_SECTION_SIDEHDG, &sp);
  }
}

void CSGSideHdg::OnRButtonUp(UINT /*flags*/, POINT p) {
  int col;
  long row;
  RECT rect{};
  if (HitTest(&p, &col, &row, &rect) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 0, &rect, &p);
    m_ctrl->OnSideHeadingRightClick(col, row, 0, &rect, &p, processed);
  }
}

// ================================================================== corner button

void CSGCnrBtn::OnPaint(CDC* dc) {
  m_ctrl->OnPaintDCSetup(dc, nullptr, SG_SECTION_CNRBTN);
  dc->SetBkColor(GetSysColor(COLOR_BTNFACE));
  CSGCell cell;
  m_ctrl->GetCellWithDefaults(-1, -1, &cell);
  RECT r = GetClientRect();
  m_ctrl->GetCellTypeByIndex(cell.GetCellType())->OnDraw(dc, &r, -1, -1, &cell, 0, 0);
}

void CSGCnrBtn::OnMouseMove(UINT flags, POINT p) {
  CSGGridInfo& g = *m_GI;
  if (!m_isSizing) {
    if ((flags & MK_LBUTTON) || !g.m_userSizingMode) return;
    m_canSize = m_sizingHeight = m_sizingWidth = 0;
    const RECT c = GetClientRect();
    if (p.x > c.right - 4 && m_ctrl->CanResizeSideHeading()) {
      m_canSize = m_sizingWidth = 1;
      SetCursor(g.m_WEResizeCursor);
    } else if (p.y > c.bottom - 4 && m_ctrl->CanResizeTopHeading()) {
      m_canSize = m_sizingHeight = 1;
      SetCursor(g.m_NSResizeCursor);
    }
    return;
  }
  if (m_sizingHeight) {
    int h = std::max<int>(p.y, 0);
    m_ctrl->OnTopHeadingResizing(&h);
    m_ctrl->SetTopHeadingHeight(h);
  } else if (m_sizingWidth) {
    int w = std::max<int>(p.x, 0);
    m_ctrl->OnSideHeadingResizing(&w);
    m_ctrl->SetSideHeadingWidth(w);
  }
  m_ctrl->LayoutChildren();
}

int CSGCnrBtn::OnSetCursor() {
  if (m_canSize && m_sizingWidth)
    SetCursor(m_GI->m_WEResizeCursor);
  else if (m_canSize && m_sizingHeight)
    SetCursor(m_GI->m_NSResizeCursor);
  else
    SetCursor(m_GI->m_arrowCursor);
  return TRUE;
}

void CSGCnrBtn::OnLButtonDown(UINT /*flags*/, POINT p) {
  if (m_canSize) {
    m_isSizing = 1;
    SetCapture();
    return;
  }
  m_ctrl->OnCornerLeftClick(1, &m_GI->m_rects[SG_RECT_CNRBTN], &p, 0);
}

void CSGCnrBtn::OnLButtonUp(UINT /*flags*/, POINT p) {
  if (m_isSizing) {
    m_isSizing = 0;
    ReleaseCapture();
  }
  m_ctrl->OnCornerLeftClick(0, &m_GI->m_rects[SG_RECT_CNRBTN], &p, 0);
}

void CSGCnrBtn::OnLButtonDblClk(UINT /*flags*/, POINT p) {
  m_ctrl->OnCornerDoubleClick(&m_GI->m_rects[SG_RECT_CNRBTN], &p, 0);
}

void CSGCnrBtn::OnRButtonDown(UINT /*flags*/, POINT p) {
  m_ctrl->OnCornerRightClick(1, &m_GI->m_rects[SG_RECT_CNRBTN], &p, 0);
  if (m_GI->m_menuEnabled) {
    POINT sp = ClientToScreen(p);
    m_ctrl->OpenPopupMenu(-1, -1, SG_SECTION_CNRBTN, &sp);
  }
}

void CSGCnrBtn::OnRButtonUp(UINT /*flags*/, POINT p) {
  m_ctrl->OnCornerRightClick(0, &m_GI->m_rects[SG_RECT_CNRBTN], &p, 0);
}
