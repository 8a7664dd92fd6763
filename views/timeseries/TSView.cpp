#include "views/timeseries/TSView.h"

void CTSView::OnUpdate(plat::CView*, LONG lHint, void*) {
  if (lHint != 0 && !(lHint & HINT_TS)) return;
  Invalidate();
  if (lHint & HINT_NOW) UpdateWindow();
}
