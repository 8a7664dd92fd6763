#include "wincomp/docking/WCFrameWndSizeDock.h"

void CWCFrameWndSizeDock::EnableSizeDocking(DWORD dwDockStyle) {
  constexpr DWORD sides = CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM | CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT;
  m_dwSizeDockStyle |= dwDockStyle & sides;
  EnableDocking(m_dwSizeDockStyle);
}
