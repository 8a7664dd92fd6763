#include "wincomp/grid/SGSelectList.h"

#include <algorithm>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"

CSGSelectList::~CSGSelectList() {
  m_changes = 0;
  ClearAll();
}

CSGPaintHint* CSGSelectList::Hints() const {
  if (!m_ctrl || !m_ctrl->m_CUGGrid) return nullptr;
  return &m_ctrl->m_CUGGrid->m_paintHint;
}

bool CSGSelectList::KeyDown(unsigned vk) const {
  return m_ctrl && m_ctrl->m_CUGGrid && m_ctrl->m_CUGGrid->IsKeyDown(vk);
}

int CSGSelectList::ClearAll() {
  m_active = 0;
  if (!m_first) return 0;
  while (m_first) {
    CSGSelectBlock* next = m_first->next;
    delete m_first;
    m_first = next;
  }
  m_current = nullptr;
  if (m_changes > 1 && m_ctrl) m_ctrl->RedrawAll();
  m_enumFlag = 0;
  m_changes = 0;
  m_lastCol = -1;
  m_lastRow = -1;
  return 0;
}

int CSGSelectList::StartBlock(int col, long row) {
  m_anchorCol = col;
  m_anchorRow = static_cast<int>(row);
  m_active = 1;
  auto* b = new CSGSelectBlock;
  b->anchorCol = b->endCol = b->left = b->right = col;
  b->anchorRow = b->endRow = b->top = b->bottom = static_cast<int>(row);
  CSGSelectBlock** tail = &m_first;
  while (*tail) tail = &(*tail)->next;
  *tail = b;
  m_current = b;
  ++m_changes;
  m_fresh = 1;
  return 0;
}

int CSGSelectList::AddToBlock(int col, long row) {
  if (!m_active || !m_current) return 1;
  CSGSelectBlock& b = *m_current;
  const int oldEndCol = b.endCol, oldEndRow = b.endRow;
  const int oldL = b.left, oldT = b.top, oldR = b.right, oldB = b.bottom;
  b.endCol = col;
  b.endRow = static_cast<int>(row);
  if (b.endCol <= b.anchorCol) {
    b.left = b.endCol;
    b.right = b.anchorCol;
  } else {
    b.left = b.anchorCol;
    b.right = b.endCol;
  }
  if (b.endRow <= b.anchorRow) {
    b.top = b.endRow;
    b.bottom = b.anchorRow;
  } else {
    b.top = b.anchorRow;
    b.bottom = b.endRow;
  }
  b.selected = 1;
  if (m_fresh) {
    ++m_changes;
    m_fresh = 0;
  }
  const int uL = std::min(oldL, b.left), uT = std::min(oldT, b.top);
  const int uR = std::max(oldR, b.right), uB = std::max(oldB, b.bottom);
  if (CSGPaintHint* h = Hints()) {
    if (b.endRow != oldEndRow)
      h->AddRange(uL, std::min(oldEndRow, b.endRow), uR, std::max(oldEndRow, b.endRow));
    if (b.endCol != oldEndCol)
      h->AddRange(std::min(oldEndCol, b.endCol), uT, std::max(oldEndCol, b.endCol), uB);
  }
  return 0;
}

int CSGSelectList::GetCurrentCell(int* col, long* row) const {
  if (!m_active) return 1;
  *col = m_anchorCol;
  *row = m_anchorRow;
  return 0;
}

int CSGSelectList::IsSelected(int col, long row, int* index) const {
  if (!m_first) return 0;
  int flag = 0, found = 0, pos = 0;
  for (const CSGSelectBlock* b = m_first; b; b = b->next, ++pos) {
    if (col >= b->left && col <= b->right && row >= b->top && row <= b->bottom) {
      flag = b->selected;
      found = pos;
    }
  }
  if (index) *index = found;
  return flag;
}

int CSGSelectList::SetMode(int mode) {
  ClearAll();
  m_mode = mode;
  return 0;
}

int CSGSelectList::GetTotalRange(int* left, long* top, int* right, long* bottom) const {
  if (!m_first) return 2;
  int l = m_first->left, t = m_first->top, r = m_first->right, b = m_first->bottom;
  for (const CSGSelectBlock* k = m_first->next; k; k = k->next) {
    l = std::min(l, k->left);
    t = std::min(t, k->top);
    r = std::max(r, k->right);
    b = std::max(b, k->bottom);
  }
  *left = l;
  *top = t;
  *right = r;
  *bottom = b;
  return 0;
}

int CSGSelectList::AddTotalRangeToHints(CSGPaintHint* hints) const {
  int l, r;
  long t, b;
  if (!hints || GetTotalRange(&l, &t, &r, &b) != 0) return 0;
  hints->AddRange(l, t, r, b);
  return 0;
}

int CSGSelectList::EnumFirst(int* col, long* row) {
  if (!m_first) {
    if (!m_ctrl) return 1;
    *col = m_ctrl->GetCurrentColumn();
    *row = m_ctrl->GetCurrentRow();
    return 0;
  }
  m_enumFlag = 1;
  int l = m_ctrl ? m_ctrl->GetCurrentColumn() : m_first->left;
  int t = m_ctrl ? static_cast<int>(m_ctrl->GetCurrentRow()) : m_first->top;
  int r = l, b = t;
  for (const CSGSelectBlock* k = m_first; k; k = k->next) {
    l = std::min(l, k->left);
    t = std::min(t, k->top);
    r = std::max(r, k->right);
    b = std::max(b, k->bottom);
  }
  m_enumLeft = l;
  m_enumTop = t;
  m_enumRight = r;
  m_enumBottom = b;
  m_enumCol = l;
  m_enumRow = t;
  return EnumNext(col, row);
}

int CSGSelectList::EnumNext(int* col, long* row) {
  if (!m_enumFlag) return 1;
  while (m_enumRow <= m_enumBottom) {
    while (m_enumCol <= m_enumRight) {
      const int c = m_enumCol++;
      if (IsSelected(c, m_enumRow, nullptr)) {
        *col = c;
        *row = m_enumRow;
        return 0;
      }
    }
    ++m_enumRow;
    m_enumCol = m_enumLeft;
  }
  return 1;
}

void CSGSelectList::HintAndClear() {
  AddTotalRangeToHints(Hints());
  ClearAll();
}

int CSGSelectList::OnLeftClick(int col, long row, unsigned flags) {
  if (col == m_lastCol && row == m_lastRow) return 0;
  m_lastCol = col;
  m_lastRow = static_cast<int>(row);
  if (flags & sgw::MK_CONTROL) {
    StartBlock(col, row);
  } else if (flags & sgw::MK_SHIFT) {
    AddToBlock(col, row);
  } else {
    HintAndClear();
    StartBlock(col, row);
  }
  return 0;
}

int CSGSelectList::OnRightClick(int col, long row, unsigned /*flags*/) {
  if (IsSelected(col, row, nullptr)) return 0;
  HintAndClear();
  StartBlock(col, row);
  return 0;
}

int CSGSelectList::OnKeyMove(int col, long row) {
  if (col == m_lastCol && row == m_lastRow) return 0;
  m_lastCol = col;
  m_lastRow = static_cast<int>(row);
  if (KeyDown(sgw::VK_SHIFT)) {
    AddToBlock(col, row);
    return 0;
  }
  if (!KeyDown(sgw::VK_CONTROL)) HintAndClear();
  StartBlock(col, row);
  return 0;
}

int CSGSelectList::OnDragMove(int col, long row, unsigned /*flags*/) {
  if (col == m_lastCol && row == m_lastRow) return 0;
  m_lastCol = col;
  m_lastRow = static_cast<int>(row);
  AddToBlock(col, row);
  return 0;
}
