#include "views/graph/GraphView.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"
#include "views/proppages/PPMap.h"
#include "views/proppages/PropPage.h"

CGraphView::CGraphView(QWidget* parent) : KZ_View(parent) {
  m_nHintMask = HINT_GRAPH;
  m_nPlotLeft = 3000;
  m_nPlotTop = -1500;
  m_nScrollW = 32000;
  m_nScrollH = 45000;
  m_nPlotW = 12000;
  m_nPlotH = 8000;

  struct Mode {
    UINT id;
    int mode;
  };
  for (const Mode m : {Mode{ID_GRAPH_YYX, 0}, Mode{ID_GRAPH_POLAR, 1}, Mode{ID_GRAPH_VANG, 2}}) {
    MapCommand(m.id, [this, m] { SetDrawMode(m.mode); });
    // The current mode is checked and cannot be chosen again; values against an angle
    // need an angle to draw against.
    MapUpdate(m.id, [this, m](plat::CCmdUI* ui) {
      ui->SetCheck(m_nDrawMode == m.mode ? 1 : 0);
      ui->Enable(m_nDrawMode != m.mode && (m.mode != 2 || !m_pData || HasAngleColumn(*m_pData)));
    });
  }
  MapCommand(ID_GRAPH_PROPERTY, [this] { OnProperty(); });
  MapCommand(ID_VIEW_FONT, [this] { ChooseViewFont(); });
}

void CGraphView::OnInitialUpdate() {
  KZ_View::OnInitialUpdate();
  m_nScrollW = 32000;
  m_nScrollH = 48000;
  SetPageScrollSizes();
  RenderPageToDIB();
}

void CGraphView::OnUpdate(plat::CView*, LONG lHint, void*) {
  if (!(static_cast<std::uint32_t>(lHint) & HINT_GRAPH)) return;
  RenderPageToDIB();
  Invalidate(TRUE);
}

bool CGraphView::HasAngleColumn(const KZ_MultiVarObj& table) {
  const int columns = std::min(table.m_nColumns, static_cast<int>(table.m_Columns.size()));
  for (int c = 0; c < columns; ++c) {
    const KZ_Var1D& x = table.m_Columns[static_cast<std::size_t>(c)];
    if (!(x.GetAxisFlags() & KZ_AXIS_X)) continue;
    // An angle in degrees or radians turns round the circle at most twice; any other
    // x (a time, a distance) would wind the diagram round itself into a blot.
    const std::string& unit = x.m_strUnit;
    double turn = 0;
    if (unit.find("deg") != std::string::npos)
      turn = 360.0;
    else if (unit.find("rad") != std::string::npos)
      turn = 2 * 3.14159265358979323846;
    if (turn == 0) return false;
    for (int i = 0; i < x.m_nCount; ++i)
      if (!(std::fabs(x.GetMagnitude(i)) <= 2 * turn)) return false;
    return true;
  }
  return false;
}

void CGraphView::SetData(KZ_MultiVarObj* pData) {
  m_pData = pData;
  // The check mark tells what the page shows: the table's own mode.
  if (pData) m_nDrawMode = pData->m_nGraphMode;
  // Drawn as any graph update is, so a view watching the updates sees the new table too.
  OnUpdate(nullptr, HINT_GRAPH, nullptr);
}

void CGraphView::SetDrawMode(int mode) {
  if (mode == 2 && m_pData && !HasAngleColumn(*m_pData)) {
    plat::AfxMessageBox("Draw V-ang needs an angle as x (a column in deg or rad).",
                        MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  m_nDrawMode = mode;
  if (!m_pData) return;
  m_pData->m_nGraphMode = mode;
  Refresh();
}

void CGraphView::DrawPlot(plat::CDC* dc) {
  RECT rc{};
  GetClientRect(&rc);
  if (rc.right - rc.left < 10) return;
  SetPageScrollSizes();
  if (!m_pData) return;
  switch (m_pData->m_nGraphMode) {
    case 0:
      m_pData->DrawXY(dc, m_nPlotLeft, m_nPlotTop, m_nPlotW, m_nPlotH, 1);
      break;
    case 1:
      m_pData->DrawPolar(dc, m_nPlotLeft, m_nPlotTop, m_nPlotW, m_nPlotH);
      break;
    default:
      m_pData->DrawValueVsAngle(dc, m_nPlotLeft, m_nPlotTop, m_nPlotW, m_nPlotH);
      break;
  }
}

void CGraphView::OnProperty() {
  CPPMap page;
  page.m_nMarginX = m_nPlotLeft / 100;
  page.m_nMarginY = -m_nPlotTop / 100;
  page.m_nPlotWidth = static_cast<unsigned>(m_nPlotW / 100);
  page.m_nPlotHeight = static_cast<unsigned>(m_nPlotH / 100);
  if (PropSheet_DoModal(plat::Resources::Get().String(57344), {&page}, this) != IDOK) return;
  m_nPlotLeft = page.m_nMarginX * 100;
  m_nPlotTop = page.m_nMarginY * -100;
  m_nPlotW = static_cast<std::int32_t>(page.m_nPlotWidth) * 100;
  m_nPlotH = static_cast<std::int32_t>(page.m_nPlotHeight) * 100;
  SetPageScrollSizes();
  if (m_pDocument)
    m_pDocument->UpdateAllViews(nullptr, HINT_GRAPH, nullptr);
  else
    OnUpdate(nullptr, HINT_GRAPH, nullptr);
}

void CGraphView::OnContextMenu(POINT screenPoint) {
  TrackContextMenu(IDR_GRAPH_MENU, 0, screenPoint);
}
