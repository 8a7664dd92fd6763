#include "wincomp/grid/SGScroll.h"

#include <algorithm>
#include <cmath>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGGridInfo.h"

using namespace sgw;

namespace {
// A position from a floating-point product, saturated to the int range.
int Saturate(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}
}  // namespace

void CSGVScroll::UpdateScrollBar() {
  CSGGridInfo& g = *m_GI;
  const long M = g.m_maxTopRow;
  const int L = g.m_numLockRows;
  bool rangeSet = false;
  if (M != m_lastMaxTopRow || L != m_lastNumLockRow) {
    m_lastMaxTopRow = M;
    m_lastNumLockRow = L;
    if (M <= 1000) {
      m_page = g.m_gridHeight / std::max(1, g.m_defRowHeight);
      m_min = L;
      m_max = static_cast<int>(M) + m_page - 1;
      m_multiRange = m_multiPos = 1.0;
      if (Port()) Port()->SetScrollInfo(m_min, m_max, m_page);
      Invalidate();
    } else {
      m_min = L;
      m_max = 1000;
      m_page = 1;
      m_multiRange = 1000.0 / M;
      m_multiPos = M / 1000.0;
      if (Port()) Port()->SetScrollInfo(m_min, m_max, m_page);
    }
    rangeSet = true;
    const RECT& h = g.m_rects[SG_RECT_HSCROLL];
    if (h.right - h.left == 0 && !m_ctrl->IsInLayout()) m_ctrl->LayoutChildren();
  }
  if (g.m_topRow != g.m_lastTopRow || rangeSet) {
    m_pos = Saturate(g.m_topRow * m_multiRange);
    if (Port()) Port()->SetScrollPos(m_pos);
  }
}

void CSGVScroll::OnScroll(UINT code, UINT pos) {
  CSGCtrl& ctrl = *m_ctrl;
  if (!ctrl.m_CUGGrid->HasFocus()) ctrl.m_CUGGrid->SetFocus();
  m_GI->m_moveType = 4;
  switch (code) {
    case SB_LINEUP:
      ctrl.MoveTopRow(0);
      break;
    case SB_LINEDOWN:
      ctrl.MoveTopRow(1);
      break;
    case SB_PAGEUP:
      ctrl.MoveTopRow(2);
      break;
    case SB_PAGEDOWN:
      ctrl.MoveTopRow(3);
      break;
    case SB_THUMBPOSITION:
      ctrl.SetTopRow(Saturate(double(pos) * m_multiPos));
      break;
    case SB_TOP:
      ctrl.MoveTopRow(4);
      break;
    case SB_BOTTOM:
      ctrl.MoveTopRow(5);
      break;
    default:
      break;  // the view follows the thumb when it is released
  }
  m_GI->m_moveType = 0;
}

void CSGVScroll::OnRButtonDown(UINT /*flags*/, POINT p) {
  if (!m_GI->m_menuEnabled) return;
  POINT sp = ClientToScreen(p);
  m_ctrl->OpenPopupMenu(0, 0, SG_SECTION_VSCROLL, &sp);
}

void CSGHScroll::UpdateScrollBar() {
  CSGGridInfo& g = *m_GI;
  const int M = g.m_maxLeftCol;
  const int L = g.m_numLockCols;
  bool rangeSet = false;
  if (M != m_lastMaxLeftCol || L != m_lastNumLockCols) {
    m_lastMaxLeftCol = M;
    m_lastNumLockCols = L;
    // A default width of 0 is allowed: the page is then one column.
    const int width = g.m_defColWidth;
    m_page = width > 0 ? (g.m_gridWidth - g.m_lockColWidth) / width : 1;
    m_page = std::max(1, m_page);
    m_min = 0;
    m_max = M - L + m_page - 1;
    if (Port()) Port()->SetScrollInfo(m_min, m_max, m_page);
    rangeSet = true;
    const RECT& t = g.m_rects[SG_RECT_TAB];
    if (t.bottom - t.top == 0 && !m_ctrl->IsInLayout()) m_ctrl->LayoutChildren();
  }
  if (g.m_leftCol != g.m_lastLeftCol || rangeSet) {
    m_pos = g.m_leftCol - L;
    if (Port()) Port()->SetScrollPos(m_pos);
  }
  Invalidate();
}

void CSGHScroll::OnScroll(UINT code, UINT pos) {
  CSGCtrl& ctrl = *m_ctrl;
  if (!ctrl.m_CUGGrid->HasFocus()) ctrl.m_CUGGrid->SetFocus();
  m_GI->m_moveType = 4;
  switch (code) {
    case SB_LINELEFT:
      ctrl.MoveLeftColumn(0);
      break;
    case SB_LINERIGHT:
      ctrl.MoveLeftColumn(1);
      break;
    case SB_PAGELEFT:
      ctrl.MoveLeftColumn(2);
      break;
    case SB_PAGERIGHT:
      ctrl.MoveLeftColumn(3);
      break;
    case SB_THUMBPOSITION:
      ctrl.SetLeftColumn(Saturate(double(static_cast<int>(pos)) + m_GI->m_numLockCols));
      break;
    case SB_LEFT:
      ctrl.MoveLeftColumn(4);
      break;
    case SB_RIGHT:
      ctrl.MoveLeftColumn(5);
      break;
    default:
      break;
  }
  m_GI->m_moveType = 0;
}

void CSGHScroll::OnRButtonDown(UINT /*flags*/, POINT p) {
  if (!m_GI->m_menuEnabled) return;
  POINT sp = ClientToScreen(p);
  m_ctrl->OpenPopupMenu(0, 0, SG_SECTION_HSCROLL, &sp);
}

int CSGHint::Create(CSGCtrl* grid) {
  m_ctrl = grid;
  if (!grid->System()) return 0;
  if (!CreateWnd(*grid->System(), SGWindowKind::Hint, nullptr, nullptr, RECT{}, 0)) return 0;
  m_text.clear();
  m_textColor = RGB(0, 0, 0);
  m_backColor = RGB(255, 255, 224);
  m_windowAlign = 1;
  m_textAlign = 1;
  m_font = nullptr;
  Draw([this](plat::CDC& dc) { m_fontHeight = dc.GetTextExtent("X").cy; });
  return 1;
}
