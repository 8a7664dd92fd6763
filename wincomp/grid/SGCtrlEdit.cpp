// Editing a cell in place, the clipboard and the popup menu of the grid control.
#include <algorithm>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGHeadings.h"
#include "wincomp/grid/SGPrint.h"
#include "wincomp/grid/SGScroll.h"
#include "wincomp/grid/SGSelectList.h"
#include "wincomp/grid/SGTab.h"

bool CSGCtrl::IsGridWindow(const CSGWnd* wnd) const {
  if (!wnd) return false;
  const CSGWnd* own[] = {this,
                         m_CUGGrid.get(),
                         m_CUGTopHdg.get(),
                         m_CUGSideHdg.get(),
                         m_CUGCnrBtn.get(),
                         m_CUGVScroll.get(),
                         m_CUGHScroll.get(),
                         m_CUGTab.get(),
                         &m_defEditCtrl,
                         m_editCtrl};
  return std::find(std::begin(own), std::end(own), wnd) != std::end(own);
}

int CSGCtrl::StartEdit(int col, long row, int firstChar) {
  CSGGridInfo& g = *m_GI;
  m_editInProgress = 1;
  int l, r;
  long t, b;
  const bool hadBlock = g.m_multiSelect->GetTotalRange(&l, &t, &r, &b) == 0;
  g.m_multiSelect->ClearAll();
  g.m_requestedCol = g.m_currentCol;
  g.m_requestedRow = g.m_currentRow;
  if (hadBlock && !(l == col && r == col && t == row && b == row)) RedrawRange(l, t, r, b);

  if (col != g.m_currentCol || row != g.m_currentRow) {
    if (GotoCell(col, row) != 0) {
      m_editInProgress = 0;
      return 2;
    }
  }
  m_editCol = col;
  m_editRow = row;
  m_editCell.ClearAll();
  GetCellWithDefaults(col, row, &m_editCell);
  CSGCellType* type = GetCellTypeByIndex(m_editCell.GetCellType());
  if (!type->CanTextEdit()) {
    m_editInProgress = 0;
    return 1;
  }

  RECT rect{};
  if (row >= 0 && col >= 0) {
    int c = col;
    long rr = row;
    GetCellRectAndJoin(&c, &rr, &rect);
    m_editParent = m_CUGGrid.get();
  } else if (row < 0) {
    int c = col;
    long rr = row;
    m_CUGTopHdg->GetCellRect(&c, &rr, &rect);
    m_editParent = m_CUGTopHdg.get();
  } else {
    int c = col;
    long rr = row;
    m_CUGSideHdg->GetCellRect(&c, &rr, &rect);
    m_editParent = m_CUGSideHdg.get();
  }
  rect.right -= 1;
  rect.bottom -= 1;
  type->GetEditArea(&rect);

  const char* text = m_editCell.GetText();
  CSGWnd* editor = g.m_editCtrl ? g.m_editCtrl : &m_defEditCtrl;
  if (editor == &m_defEditCtrl) m_defEditCtrl.SetText(text ? text : "");
  m_editCtrl = editor;
  if (g.m_defDataSource->OnEditStart(col, static_cast<int>(row), &m_editCtrl) == 0 ||
      !OnEditStart(col, row, &m_editCtrl)) {
    m_editInProgress = 0;
    return 1;
  }
  const plat::CFont* font = m_editCell.GetFont() ? m_editCell.GetFont() : g.m_defFont;
  if (SGWindowPort* p = m_editCtrl->Port()) {
    p->SetWindowText(text ? text : "");
    p->SetFont(font);
    p->SetParentPort(m_editParent->Port());
  }
  if (m_editCtrl == &m_defEditCtrl) {
    m_defEditCtrl.m_font = font;
    m_defEditCtrl.m_parentWnd = m_editParent;
  }
  m_editCtrl->MoveWindow(rect);
  if (m_editCtrl->Port()) m_editCtrl->Port()->ShowWindow(true);
  m_editCtrl->SetFocus();
  if (firstChar > 0) m_editCtrl->OnChar(static_cast<UINT>(firstChar), 1, 0);
  return 0;
}

int CSGCtrl::EditCurrentCell() { return StartEdit(m_GI->m_currentCol, m_GI->m_currentRow, 0); }

int CSGCtrl::EditCurrentCellWithKey(UINT ch) {
  return StartEdit(m_GI->m_currentCol, m_GI->m_currentRow, static_cast<int>(ch));
}

int CSGCtrl::EditFinished(const char* text, int cancelled, int moveOn, int nextCol, long nextRow) {
  CSGGridInfo& g = *m_GI;
  if (!m_editInProgress) cancelled = 1;
  if (g.m_defDataSource->OnEditFinish(m_editCol, static_cast<int>(m_editRow), m_editCtrl, text,
                                      cancelled) == 0 ||
      !OnEditFinish(m_editCol, m_editRow, m_editCtrl, text, cancelled))
    return m_editInProgress ? 0 : 1;
  if (m_editCtrl && m_editCtrl->Port()) m_editCtrl->Port()->ShowWindow(false);
  if (!cancelled) SetCellText(m_editCol, m_editRow, text);
  if (!moveOn || m_editParent != m_CUGGrid.get()) {
    m_editInProgress = 0;
    return 1;
  }
  // A joined block is stepped over as one cell.
  if (g.m_enableJoins) {
    int sc = nextCol, ec = 0;
    long sr = nextRow, er = 0;
    if (GetJoinRange(&sc, &sr, &ec, &er) == 0) {
      if (m_editCol == sc && nextCol > sc && nextCol <= ec)
        nextCol += ec - sc;
      else if (m_editCol != sc)
        nextCol = sc;
      if (m_editRow == sr && nextRow > sr && nextRow <= er)
        nextRow += er - sr;
      else if (m_editRow != sr)
        nextRow = sr;
    }
  }
  if (nextCol < 0) nextCol = g.m_numberCols - 1;
  if (nextCol >= g.m_numberCols) nextCol = 0;
  if (nextRow < 0) nextRow = g.m_numberRows - 1;
  if (nextRow >= g.m_numberRows) nextRow = 0;
  int nc = nextCol;
  long nr = nextRow;
  if (g.m_defDataSource->OnEditContinue(m_editCol, static_cast<int>(m_editRow), &nc, &nr) == 0 ||
      !OnEditContinue(m_editCol, m_editRow, &nc, &nr)) {
    m_editInProgress = 0;
    return 1;
  }
  StartEdit(nc, nr, 0);
  return 1;
}

// ------------------------------------------------------------------ clipboard

int CSGCtrl::CopyOrCutSelection(int cut) {
  CSGGridInfo& g = *m_GI;
  CSGSelectList& sel = *g.m_multiSelect;
  std::string text;
  CSGCell cell;
  int col = 0;
  long row = 0;
  long lastRow = 0;
  bool first = true;
  for (int rc = sel.EnumFirst(&col, &row); rc == 0; rc = sel.EnumNext(&col, &row)) {
    if (!first) text += row != lastRow ? '\n' : '\t';
    first = false;
    lastRow = row;
    cell.ClearAll();
    GetCellWithDefaults(col, row, &cell);
    if (const char* t = cell.GetText()) text += t;
    if (cut) {
      cell.ClearAll();
      SetCell(col, row, &cell);
    }
  }
  CopyTextToClipboard(text.c_str());
  sel.ClearAll();
  g.m_requestedCol = g.m_currentCol;
  g.m_requestedRow = g.m_currentRow;
  RedrawAll();
  return 0;
}

int CSGCtrl::CopySelection() { return CopyOrCutSelection(0); }
int CSGCtrl::CutSelection() { return CopyOrCutSelection(1); }

int CSGCtrl::CopyTextToClipboard(const char* text) {
  if (System()) System()->SetClipboardText(text ? text : "");
  return 0;
}

int CSGCtrl::GetClipboardText(std::string* out) {
  if (!System()) return 1;
  std::optional<std::string> text = System()->GetClipboardText();
  if (!text) return 1;
  *out = *text;
  return 0;
}

int CSGCtrl::PasteFromClipboard() {
  std::string text;
  if (GetClipboardText(&text) != 0) return 1;
  PasteText(text.c_str());
  return 0;
}

int CSGCtrl::PasteText(const char* text) {
  CSGGridInfo& g = *m_GI;
  const int c0 = g.m_currentCol;
  int col = c0;
  long row = g.m_currentRow;
  int maxCol = c0;
  long maxRow = row;
  CSGCell cell;
  const char* p = text ? text : "";
  while (*p) {
    const char* end = p;
    while (*end && *end != '\t' && *end != '\r' && *end != '\n') ++end;
    const std::string field(p, end);
    cell.ClearAll();
    GetCell(col, row, &cell);
    cell.SetText(field.c_str());
    SetCell(col, row, &cell);
    if (!field.empty()) {
      maxCol = std::max(maxCol, col);
      maxRow = std::max(maxRow, row);
    }
    if (!*end) break;
    if (*end == '\t') {
      ++col;
    } else {
      col = c0;
      ++row;
      if (*end == '\r' && end[1] == '\n') ++end;
    }
    p = end + 1;
    if (!*p) break;
  }
  g.m_multiSelect->ClearAll();
  g.m_requestedCol = g.m_currentCol;
  g.m_requestedRow = g.m_currentRow;
  SelectRange(c0, g.m_currentRow, maxCol, maxRow);
  RedrawAll();
  return 0;
}

// ------------------------------------------------------------------ printing

int CSGCtrl::PrintInit(plat::CDC* dc, void* dialog, int startCol, long startRow, int endCol,
                       long endRow) {
  if (!m_printJob) return 0;
  m_printJob->m_GI = m_GI;
  return m_printJob->PrintInit(dc, dialog, startCol, startRow, endCol, endRow);
}

int CSGCtrl::PrintPage(plat::CDC* dc, int page) {
  if (!m_printJob) return 0;
  m_printJob->m_GI = m_GI;
  return m_printJob->PrintPage(dc, page);
}
