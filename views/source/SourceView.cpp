#include "views/source/SourceView.h"

void CSourceView::OnUpdate(plat::CView*, LONG lHint, void*) {
  if (lHint != 0 && !(lHint & HINT_SOURCE)) return;
  Invalidate();
}
