#include "views/graph/GraphView.h"

void CGraphView::OnUpdate(plat::CView*, LONG lHint, void*) {
  if (!(lHint & m_nHintMask)) return;
  Invalidate();
}
