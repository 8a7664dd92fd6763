#include "views/hypo/LocView.h"

void CLocView::OnUpdate(plat::CView*, LONG lHint, void*) {
  if (lHint != 0 && !(lHint & m_nHintMask)) return;
  if (lHint & HINT_NOW) return;
  Invalidate();
}
