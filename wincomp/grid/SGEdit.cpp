#include "wincomp/grid/SGEdit.h"

#include <algorithm>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"

using namespace sgw;

namespace {
constexpr UINT DLGC_WANTTAB = 0x2;
constexpr int IDC_IBEAM = 32513;
}  // namespace

// ------------------------------------------------------------------ editor

std::string CSGEdit::GetText() const { return Port() ? Port()->GetWindowText() : std::string(); }

void CSGEdit::SetText(const std::string& text) {
  if (Port()) Port()->SetWindowText(text);
}

void CSGEdit::OnSetFocus() {
  // The window's height (a frameless window: its client height).
  const RECT w = Port() ? Port()->GetWindowRect() : RECT{};
  m_startHeight = m_currentHeight = w.bottom - w.top;
  AutoSize();
  m_cancel = 0;
  m_continueFlag = 0;
  if (Port()) Port()->SelectAllText();
}

void CSGEdit::Leave() { m_ctrl->SetFocus(); }

void CSGEdit::OnKeyDown(UINT key, UINT /*repeat*/, UINT /*flags*/) {
  const int col = m_ctrl->m_editCol;
  const long row = m_ctrl->m_editRow;
  switch (key) {
    case VK_TAB:
      m_continueCol = IsKeyDown(VK_SHIFT) ? col - 1 : col + 1;
      m_continueRow = row;
      m_continueFlag = 1;
      Leave();
      return;
    case VK_RETURN:
      m_continueCol = col;
      m_continueRow = row + 1;
      m_continueFlag = 1;
      Leave();
      return;
    case VK_ESCAPE:
      m_cancel = 1;
      m_continueFlag = 0;
      Leave();
      return;
    case VK_UP:
    case VK_DOWN:
      if (m_currentHeight == m_startHeight) {
        m_continueCol = col;
        m_continueRow = key == VK_UP ? row - 1 : row + 1;
        m_continueFlag = 1;
        Leave();
        return;
      }
      break;
    default:
      break;
  }
  if (Port()) Port()->DefaultKeyDown(key);
}

void CSGEdit::OnChar(UINT ch, UINT /*repeat*/, UINT /*flags*/) {
  UINT c = ch;
  if (!m_ctrl->OnEditKey(m_ctrl->GetCurrentColumn(), m_ctrl->GetCurrentRow(), this, &c)) return;
  if (c == 9 || c == 13 || c == 27) return;
  if (Port()) Port()->DefaultChar(c);
  OnUpdate();
}

UINT CSGEdit::OnGetDlgCode() {
  if (IsKeyDown(VK_TAB)) return DLGC_WANTTAB;
  if (IsKeyDown(VK_RETURN) || IsKeyDown(VK_ESCAPE)) return DLGC_WANTALLKEYS;
  return 0;
}

int CSGEdit::OnSetCursor() {
  SetCursor(IDC_IBEAM);
  return 1;
}

void CSGEdit::OnKillFocus() {
  if (!m_ctrl || !m_ctrl->m_editInProgress) return;
  CSGWnd* focus = Port() ? Port()->FocusWnd() : nullptr;
  if (!m_ctrl->IsGridWindow(focus)) m_cancel = 1;
  const std::string text = GetText();
  if (m_ctrl->EditFinished(text.c_str(), m_cancel, m_continueFlag, m_continueCol, m_continueRow) ==
      0) {
    m_ctrl->GotoCell(m_ctrl->m_editCol, m_ctrl->m_editRow);
    SetCapture();
    ReleaseCapture();
    SetFocus();
  }
}

void CSGEdit::OnUpdate() { AutoSize(); }

void CSGEdit::AutoSize() {
  if (!m_autoSize || !Port() || !m_parentWnd || !m_ctrl) return;
  const RECT r1 = Port()->GetWindowRect();
  const RECT p = m_parentWnd->GetClientRect();
  RECT r2 = r1;
  r2.left += 2;
  r2.right = p.right;
  const std::string text = GetText() + " X X";
  m_ctrl->WithMeasureDC([&](plat::CDC& dc) {
    if (m_font) dc.SelectObject(*m_font);
    const LONG box = r2.right - r2.left;
    dc.DrawText(text, &r2, DT_CALCRECT | DT_WORDBREAK);
    // The extent is as wide as the widest line, at most the box: wrapped text fills it.
    LONG widest = 0;
    for (std::size_t start = 0;;) {
      const std::size_t nl = text.find('\n', start);
      const std::string line = text.substr(start, nl == std::string::npos ? nl : nl - start);
      widest = std::max<LONG>(widest, dc.GetTextExtent(line).cx);
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
    r2.right = r2.left + std::min(widest, box);
  });
  r2.left -= 2;
  r2.bottom = std::min<LONG>(r2.bottom, p.bottom - 1);
  const bool inCells = m_parentWnd == m_ctrl->m_CUGGrid.get();
  if (r2.right > r1.right) {
    int col = 0;
    long row = 0;
    RECT cell{};
    if (inCells && m_ctrl->HitTestCellRect(r2.right + 1, r2.top + 1, &col, &row, &cell) == 0)
      r2.right = std::min<LONG>(cell.right, p.right) - 1;
    else
      r2.right = std::min<LONG>(r2.right, p.right) - 1;  // no cell there: the window's edge
  }
  if (r2.bottom > r1.bottom) {
    r2.right = p.right;
    int col = 0;
    long row = 0;
    RECT cell{};
    if (inCells && m_ctrl->HitTestCellRect(r2.left + 1, r2.bottom + 1, &col, &row, &cell) == 0)
      r2.bottom = cell.bottom - 1;
  }
  r2.right = std::min<LONG>(r2.right, p.right);
  r2.bottom = std::min<LONG>(r2.bottom, p.bottom - 1);
  r2.bottom = std::max(r2.bottom, r1.bottom);
  r2.right = std::max(r2.right, r1.right);
  if (r2.right != r1.right || r2.bottom != r1.bottom) {
    MoveWindow(r2);
    m_currentHeight = r2.bottom - r2.top;
  }
}

// ------------------------------------------------------------------ drop list

void CSGLstBox::OnSetFocus() {
  ReleaseCapture();
  SetCapture();
  m_active = 1;
  m_chosen = 0;
}

void CSGLstBox::OnLButtonUp(UINT /*flags*/, POINT /*p*/) {
  ReleaseCapture();
  if (m_curSel != -1) Choose();
}

void CSGLstBox::OnKeyDown(UINT key, UINT /*repeat*/, UINT /*flags*/) {
  if (key == VK_ESCAPE) {
    Close();
    return;
  }
  if (key == VK_RETURN) {
    if (m_curSel != -1) {
      Choose();
    } else {
      m_active = 0;
      Close();
    }
    return;
  }
  if (Port()) Port()->DefaultKeyDown(key);
}

void CSGLstBox::Close() {
  if (HasFocus() && m_ctrl && m_ctrl->m_CUGGrid)
    m_ctrl->m_CUGGrid->SetFocus();  // the focus loss destroys the list
  else
    DestroyWnd();
}

void CSGLstBox::OnKillFocus() {
  ReleaseCapture();
  m_active = 0;
  if (!m_chosen && m_listCol && m_listRow) {
    *m_listCol = -2;
    *m_listRow = -2;
    if (m_closedAt) *m_closedAt = std::chrono::steady_clock::now();
  }
  m_chosen = 0;
  DestroyWnd();
  if (m_ctrl && m_ctrl->m_CUGGrid) m_ctrl->m_CUGGrid->UpdateWindow();
}

void CSGLstBox::Choose() {
  const int col = m_listCol ? *m_listCol : -1;
  const long row = m_listRow ? *m_listRow : -1;
  m_chosen = 1;
  std::string text =
      m_curSel >= 0 && m_curSel < static_cast<int>(m_items.size()) ? m_items[m_curSel] : "";
  if (m_ctrl->OnCellTypeNotify(m_typeIndex, col, row, SGN_DROPLIST_SELECTED,
                               static_cast<long>(reinterpret_cast<std::intptr_t>(&text)))) {
    CSGCell cell;
    m_ctrl->GetCell(col, row, &cell);
    cell.SetText(text.c_str());
    m_ctrl->SetCell(col, row, &cell);
    m_ctrl->RedrawCell(col, row);
  }
  m_active = 0;
  if (m_listCol) *m_listCol = -1;
  if (m_listRow) *m_listRow = -1;
  if (m_ctrl->m_CUGGrid) m_ctrl->m_CUGGrid->SetFocus();
}
