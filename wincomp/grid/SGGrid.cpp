#include "wincomp/grid/SGGrid.h"

#include <algorithm>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGridInfo.h"

using namespace sgw;
using plat::CDC;

namespace {

// The next index in display order: the locked part, then from the first scrollable one.
inline long NextInOrder(long i, long locked, long first) {
  ++i;
  if (i >= locked && i < first) i = first;
  return i;
}

// The sum of the sizes between `from` and `to` (positive when `to` is larger), stopping
// once it exceeds `limit` in size; *whole is set then.
long Shift(long from, long to, long limit, int uniform, const std::function<int(long)>& size,
           bool* whole) {
  if (from == to) return 0;
  const long lo = std::min(from, to), hi = std::max(from, to);
  long sum = 0;
  if (uniform > 0) {
    // Saturates: a jump far away repaints everything, whatever the distance.
    const double d = double(hi - lo) * uniform;
    if (d > limit) {
      *whole = true;
      return 0;
    }
    sum = static_cast<long>(d);
  } else {
    for (long i = lo; i < hi; ++i) {
      sum += size(i);
      if (sum > limit) {
        *whole = true;
        return 0;
      }
    }
  }
  return to > from ? sum : -sum;
}

}  // namespace

// ------------------------------------------------------------------ painting

void CSGGrid::PaintInvalidCells(CDC* dc) {
  CSGCtrl& ctrl = *m_ctrl;
  CSGGridInfo& g = *m_GI;
  if (g.m_defFont) dc->SelectObject(*g.m_defFont);
  ctrl.OnPaintDCSetup(dc, nullptr, SG_SECTION_GRID);
  g.m_rightCol = g.m_numberCols;
  g.m_bottomRow = g.m_numberRows;
  const int W = g.m_gridWidth, H = g.m_gridHeight;
  RECT focusRect{};
  bool currentDrawn = false;
  long blankX = -1, blankY = -1;
  long y = 0;
  long row = 0;
  if (g.m_numLockRows == 0) row = g.m_topRow;
  for (; row < g.m_numberRows; row = NextInOrder(row, g.m_numLockRows, g.m_topRow)) {
    const int h = g.RowHeight(static_cast<int>(row));
    if (h == 0) continue;
    const long top = y, bottom = y + h;
    long x = 0;
    int col = g.m_numLockCols == 0 ? g.m_leftCol : 0;
    bool reachedRight = false;
    for (; col < g.m_numberCols;
         col = static_cast<int>(NextInOrder(col, g.m_numLockCols, g.m_leftCol))) {
      const int w = g.m_colInfo[col].width;
      if (w == 0) continue;
      const long left = x, right = x + w;
      if (m_paintHint.IsInvalid(col, row)) {
        RECT rect{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                  static_cast<LONG>(bottom)};
        int c = col;
        long r = row;
        ctrl.GetCellWithDefaults(c, r, &m_cell);
        bool skip = false;
        if (g.m_enableJoins && m_cell.IsPropertySet(SGCELL_JOININFO)) {
          ctrl.GetCellRectAndJoin(&c, &r, &rect);
          ctrl.GetJoinStartCell(&c, &r, &m_cell);
          if (m_paintHint.IsJoinDrawn(c, r))
            skip = true;
          else
            m_paintHint.AddDrawnJoin(c, r);
        }
        if (!skip) {
          CSGCellType* type = ctrl.GetCellTypeByIndex(m_cell.GetCellType());
          const int saved = dc->SaveDC();
          const bool current = c == g.m_currentCol && r == g.m_currentRow;
          const int selected = current ? 0 : SelectedBlock(c, r);
          type->OnDraw(dc, &rect, c, r, &m_cell, selected, current ? 1 : 0);
          if (g.m_numLockCols > 0 || g.m_numLockRows > 0) {
            dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
            if (g.m_numLockCols > 0 && c == g.m_leftCol) {
              dc->MoveTo(rect.left - 1, rect.top);
              dc->LineTo(rect.left - 1, rect.bottom + 1);
            }
            if (g.m_numLockCols > 0 && c == g.m_numLockCols - 1) {
              dc->MoveTo(rect.right - 1, rect.top);
              dc->LineTo(rect.right - 1, rect.bottom + 1);
            }
            if (g.m_numLockRows > 0 && r == g.m_topRow) {
              dc->MoveTo(rect.left, rect.top - 1);
              dc->LineTo(rect.right + 1, rect.top - 1);
            }
            if (g.m_numLockRows > 0 && r == g.m_numLockRows - 1) {
              dc->MoveTo(rect.left, rect.bottom - 1);
              dc->LineTo(rect.right + 1, rect.bottom - 1);
            }
          }
          dc->RestoreDC(saved);
          if (current) {
            focusRect = rect;
            currentDrawn = true;
          }
        }
      }
      x = right;
      if (right > W) {
        g.m_rightCol = col;
        reachedRight = true;
        break;
      }
    }
    if (!reachedRight && g.m_rightCol == g.m_numberCols) blankX = x;
    y = bottom;
    if (bottom > H) {
      g.m_bottomRow = static_cast<int>(row);
      break;
    }
    if (row == g.m_numberRows - 1) {
      const long before = g.m_numberRows;
      ctrl.CheckRowsPastEnd(row + 1);
      if (g.m_numberRows > before) m_paintHint.AddRange(0, row + 1, g.m_numberCols, row + 1);
    }
  }
  m_paintHint.Clear();
  if (g.m_bottomRow == g.m_numberRows && y < H) blankY = y;
  if (g.m_numberCols == 0) blankX = 0;
  const COLORREF back = ctrl.GetSectionBackColor(SG_SECTION_GRID);
  const RECT client = GetClientRect();
  const LONG cw = std::max<LONG>(client.right, W), ch = std::max<LONG>(client.bottom, H);
  if (blankX >= 0 && blankX < cw)
    dc->FillRect(RECT{static_cast<LONG>(blankX), 0, cw, ch}, plat::CBrush(back));
  if (blankY >= 0 && blankY < ch)
    dc->FillRect(RECT{0, static_cast<LONG>(blankY), cw, ch}, plat::CBrush(back));
  // The frame is an inversion: drawn only over a freshly painted current cell, so that
  // it shows exactly once whatever else this paint redrew.
  if (m_hasFocus && currentDrawn) ctrl.DrawFocusFrame(dc, &focusRect);
}

int CSGGrid::SelectedBlock(int /*col*/, long /*row*/) const { return 0; }

void CSGGrid::OnPaint(CDC* dc) {
  m_paintHint.AddRange(0, 0, m_GI->m_numberCols, m_GI->m_numberRows);
  PaintInvalidCells(dc);
}

void CSGGrid::UpdateAfterMove() {
  if (!IsWindow()) {
    m_paintHint.Clear();
    return;
  }
  if (HasUpdateRegion()) {
    m_paintHint.Clear();
    UpdateWindow();
    return;
  }
  CSGGridInfo& g = *m_GI;
  const std::function<int(long)> colSize = [&](long c) { return g.ColWidth(static_cast<int>(c)); };
  const std::function<int(long)> rowSize = [&](long r) { return g.RowHeight(static_cast<int>(r)); };
  bool whole = false;
  long dx = Shift(g.m_lastLeftCol, g.m_leftCol, g.m_gridWidth, 0, colSize, &whole);
  long dy = 0;
  if (!whole)
    dy = Shift(g.m_lastTopRow, g.m_topRow, g.m_gridHeight,
               g.m_uniformRowHeightFlag ? g.m_defRowHeight : 0, rowSize, &whole);
  if (whole) {
    dx = dy = 0;
    m_paintHint.AddRange(0, 0, g.m_numberCols, g.m_numberRows);
  }
  if (dx != 0 || dy != 0) {
    RECT r = GetClientRect();
    if (dx == 0) r.top += g.m_lockRowHeight;
    if (dy == 0) r.left += g.m_lockColWidth;
    ScrollContents(static_cast<int>(-dx), static_cast<int>(-dy), r);
    if (dx > 0) m_paintHint.AddRange(g.m_rightCol, 0, g.m_numberCols, g.m_numberRows);
    if (dx < 0) m_paintHint.AddRange(0, 0, g.m_lastLeftCol, g.m_numberRows);
    if (dy > 0) m_paintHint.AddRange(0, g.m_bottomRow, g.m_numberCols, g.m_numberRows);
    if (dy < 0) m_paintHint.AddRange(0, 0, g.m_numberCols, g.m_lastTopRow);
    // Scrolling both ways moved the locked rows and columns too: draw them again.
    if (dx != 0 && dy != 0) {
      if (g.m_numLockRows > 0) m_paintHint.AddRange(0, 0, g.m_numberCols, g.m_numLockRows - 1);
      if (g.m_numLockCols > 0) m_paintHint.AddRange(0, 0, g.m_numLockCols - 1, g.m_numberRows);
    }
  }
  m_paintHint.AddCell(g.m_lastCurrentCol, g.m_lastCurrentRow);
  m_paintHint.AddCell(g.m_currentCol, g.m_currentRow);
  Draw([this](CDC& dc) { PaintInvalidCells(&dc); });
  m_paintHint.Clear();
}

int CSGGrid::RedrawCell(int col, long row) {
  m_paintHint.AddCell(col, row);
  UpdateAfterMove();
  return 0;
}

int CSGGrid::RedrawRow(long row) {
  m_paintHint.AddRange(0, row, m_GI->m_numberCols - 1, row);
  UpdateAfterMove();
  return 0;
}

int CSGGrid::RedrawRange(int startCol, long startRow, int endCol, long endRow) {
  m_paintHint.AddRange(startCol, startRow, endCol, endRow);
  UpdateAfterMove();
  return 0;
}

// ------------------------------------------------------------------ keyboard

void CSGGrid::OnKeyDown(UINT key, UINT /*repeat*/, UINT /*flags*/) {
  CSGCtrl& ctrl = *m_ctrl;
  CSGGridInfo& g = *m_GI;
  g.m_moveType = 0;
  CSGCellType* type = ctrl.GetCellTypeOfCell(g.m_currentCol, g.m_currentRow);
  int processed = type->OnKeyDown(g.m_currentCol, g.m_currentRow, &key);
  ctrl.OnGridKeyDown(&key, processed);
  const bool ctrlKey = IsKeyDown(VK_CONTROL);
  switch (key) {
    case VK_LEFT:
      ctrl.GotoColumn(g.m_requestedCol - 1);
      break;
    case VK_RIGHT:
      ctrl.GotoColumn(g.m_requestedCol + 1);
      break;
    case VK_UP:
      ctrl.GotoRow(g.m_requestedRow - 1L);
      break;
    case VK_DOWN:
      ctrl.GotoRow(g.m_requestedRow + 1L);
      break;
    case VK_PRIOR:
      ctrl.MoveCurrentRow(2);
      break;
    case VK_NEXT:
      ctrl.MoveCurrentRow(3);
      break;
    case VK_HOME:
      ctrlKey ? ctrl.MoveCurrentRow(4) : ctrl.MoveCurrentColumn(4);
      break;
    case VK_END:
      ctrlKey ? ctrl.MoveCurrentRow(5) : ctrl.MoveCurrentColumn(5);
      break;
    default:
      break;
  }
}

void CSGGrid::OnChar(UINT ch, UINT /*repeat*/, UINT /*flags*/) {
  CSGGridInfo& g = *m_GI;
  CSGCellType* type = m_ctrl->GetCellTypeOfCell(g.m_currentCol, g.m_currentRow);
  int processed = type->OnCharDown(g.m_currentCol, g.m_currentRow, &ch);
  m_ctrl->OnGridChar(&ch, processed);
}

// ------------------------------------------------------------------ mouse

void CSGGrid::OnLButtonDown(UINT flags, POINT p) {
  if (m_ctrl->m_editInProgress) return;
  CSGGridInfo& g = *m_GI;
  SetCapture();
  g.m_moveType = 1;
  g.m_moveFlags = flags;
  int col = -1;
  long row = -1;
  RECT rect{};
  int processed = 0;
  if (m_ctrl->HitTestCellRect(p.x, p.y, &col, &row, &rect) == 0) {
    m_ctrl->GotoCell(col, row);
    processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 1, &rect, &p);
    if (processed) m_cellTypeCapture = 1;
    m_ctrl->OnCellLeftClick(col, row, 1, &rect, &p, processed);
  }
  g.m_moveType = 0;
}

void CSGGrid::OnLButtonUp(UINT /*flags*/, POINT p) {
  if (m_dragging) {
    KillTimer();
    m_dragging = false;
  }
  int col = -1;
  long row = -1;
  RECT rect{};
  int processed = 0;
  if (m_ctrl->HitTestCellRect(p.x, p.y, &col, &row, &rect) == 0)
    processed = m_ctrl->GetCellTypeOfCell(col, row)->OnLeftClick(col, row, 0, &rect, &p);
  else
    col = -1, row = -1;
  m_ctrl->OnCellLeftClick(col, row, 0, &rect, &p, processed);
  ReleaseCapture();
  m_cellTypeCapture = 0;
}

void CSGGrid::OnLButtonDblClk(UINT /*flags*/, POINT p) {
  int col = -1;
  long row = -1;
  RECT rect{};
  int processed = 0;
  if (m_ctrl->HitTestCellRect(p.x, p.y, &col, &row, &rect) == 0)
    processed = m_ctrl->GetCellTypeOfCell(col, row)->OnDoubleClick(col, row, &rect, &p);
  else
    col = -1, row = -1;
  m_ctrl->OnCellDoubleClick(col, row, &rect, &p, processed);
}

void CSGGrid::OnRButtonDown(UINT flags, POINT p) {
  if (m_ctrl->m_editInProgress) return;
  CSGGridInfo& g = *m_GI;
  g.m_moveType = 2;
  g.m_moveFlags = flags;
  int col = -1;
  long row = -1;
  RECT rect{};
  int processed = 0;
  if (m_ctrl->HitTestCellRect(p.x, p.y, &col, &row, &rect) == 0) {
    m_ctrl->GotoCell(col, row);
    processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRightClick(col, row, 1, &rect, &p);
  } else {
    col = -1, row = -1;
  }
  m_ctrl->OnCellRightClick(col, row, 1, &rect, &p, processed);
  g.m_moveType = 0;
  if (g.m_menuEnabled) {
    POINT sp = ClientToScreen(p);
    m_ctrl->OpenPopupMenu(col, row, SG_SECTION_GRID, &sp);
  }
}

void CSGGrid::OnRButtonUp(UINT /*flags*/, POINT p) {
  int col = -1;
  long row = -1;
  RECT rect{};
  int processed = 0;
  if (m_ctrl->HitTestCellRect(p.x, p.y, &col, &row, &rect) == 0)
    processed = m_ctrl->GetCellTypeOfCell(col, row)->OnRightClick(col, row, 0, &rect, &p);
  else
    col = -1, row = -1;
  m_ctrl->OnCellRightClick(col, row, 0, &rect, &p, processed);
}

void CSGGrid::OnMouseMove(UINT flags, POINT p) {
  if (m_ctrl->m_editInProgress) return;
  CSGGridInfo& g = *m_GI;
  if (m_cellTypeCapture) {
    CSGCellType* type = m_ctrl->GetCellTypeOfCell(g.m_currentCol, g.m_currentRow);
    int processed = type->OnMouseMove(g.m_currentCol, g.m_currentRow, &p, flags);
    m_ctrl->OnCellMouseMove(g.m_currentCol, g.m_currentRow, &p, flags, processed);
    return;
  }
  g.m_moveType = 3;
  g.m_moveFlags = flags;
  int col = -1;
  long row = -1;
  if (m_ctrl->HitTestCell(p.x, p.y, &col, &row) == 0) {
    int processed = m_ctrl->GetCellTypeOfCell(col, row)->OnMouseMove(col, row, &p, flags);
    m_ctrl->OnCellMouseMove(col, row, &p, flags, processed);
  }
  if (!(flags & MK_LBUTTON)) {
    g.m_moveType = 0;
    if (m_dragging) {
      KillTimer();
      m_dragging = false;
    }
    return;
  }
  DragStep(p);
  // Held outside the area, the drag goes on stepping until the pointer moves or the
  // button is released.
  const bool outside = p.x < 0 || p.y < 0 || p.x > g.m_gridWidth || p.y > g.m_gridHeight;
  if (outside) {
    m_dragPoint = p;
    m_dragFlags = flags;
    if (!m_dragging) {
      m_dragging = true;
      if (Port()) Port()->SetTimer(kDragTimer, kDragPeriodMs);
    }
  } else if (m_dragging) {
    KillTimer();
    m_dragging = false;
  }
  g.m_moveType = 0;
}

void CSGGrid::KillTimer() {
  if (Port()) Port()->KillTimer(kDragTimer);
}

void CSGGrid::OnTimer(int id) {
  if (id != kDragTimer || !m_dragging) return;
  m_GI->m_moveType = 3;
  m_GI->m_moveFlags = m_dragFlags;
  DragStep(m_dragPoint);
  m_GI->m_moveType = 0;
}

void CSGGrid::DragStep(POINT p) {
  CSGCtrl& ctrl = *m_ctrl;
  CSGGridInfo& g = *m_GI;
  if (p.x < 0) ctrl.MoveCurrentColumn(0);
  if (p.x > g.m_gridWidth) ctrl.MoveCurrentColumn(1);
  if (p.y < 0) ctrl.MoveCurrentRow(0);
  if (p.y > g.m_gridHeight) ctrl.MoveCurrentRow(1);
  if (p.x < 0 || p.y < 0 || p.x > g.m_gridWidth || p.y > g.m_gridHeight) return;
  int col = -1;
  long row = -1;
  if (ctrl.HitTestCell(p.x, p.y, &col, &row) != 0) return;
  if (g.m_numLockCols == 0 && g.m_numLockRows == 0) {
    ctrl.GotoCell(col, row);
    return;
  }
  if (g.m_requestedCol >= g.m_numLockCols && col < g.m_numLockCols)
    ctrl.MoveCurrentColumn(0);
  else
    ctrl.GotoColumn(col);
  if (g.m_requestedRow >= g.m_numLockRows && row < g.m_numLockRows)
    ctrl.MoveCurrentRow(0);
  else
    ctrl.GotoRow(row);
}

void CSGGrid::OnMouseWheel(UINT /*flags*/, short delta, POINT /*p*/) {
  m_ctrl->SetTopRow(m_GI->m_topRow - 3L * (delta / 120));
}

// ------------------------------------------------------------------ focus, cursor

void CSGGrid::OnSetFocus() {
  m_cellTypeCapture = 0;
  m_hasFocus = 1;
  m_ctrl->OnGridFocusGained(SG_SECTION_GRID);
  m_paintHint.AddCell(m_GI->m_currentCol, m_GI->m_currentRow);
  UpdateAfterMove();
}

void CSGGrid::OnKillFocus() {
  m_hasFocus = 0;
  m_paintHint.AddCell(m_GI->m_currentCol, m_GI->m_currentRow);
  UpdateAfterMove();
  m_ctrl->OnGridFocusLost(SG_SECTION_GRID);
}

int CSGGrid::OnSetCursor() {
  SetCursor(m_GI->m_arrowCursor);
  return TRUE;
}

UINT CSGGrid::OnGetDlgCode() { return DLGC_WANTARROWS | DLGC_WANTALLKEYS; }
