#include "views/gl/GLview.h"

#include "platform/UiServices.h"

void CGLview::OnUpdate(plat::CView*, LONG, void*) {
  Invalidate();
  plat::Ui().SetPaneText(0, "CGLview::OnUpdate()", false);
}
