#include "wincomp/docking/WCSizeControlBar.h"

SIZE CWCSizeControlBar::CalcFixedLayout(BOOL, BOOL bHorz) const {
  if (m_bFloating) return m_szFloat;
  return bHorz ? m_szHorz : m_szVert;
}

bool IsSizeControlBar(const plat::CObject* bar) {
  return bar && bar->IsKindOf(RUNTIME_CLASS(CWCSizeControlBar)) &&
         !bar->IsKindOf(RUNTIME_CLASS(CWCSizeToolBar));
}
