#include "app/GridViewData.h"

#include <algorithm>

#include "wincomp/grid/qt/SGQtWindows.h"

CGridViewData::CGridViewData() : m_pGrid(std::make_unique<KZ_GridData>()) {
  SGCreateGrid(*m_pGrid, this, rect(), kGridId);
}

CGridViewData::~CGridViewData() = default;

void CGridViewData::OnSize(UINT, int cx, int cy) {
  if (m_pGrid->IsWindow()) m_pGrid->MoveWindow(RECT{0, 0, cx, cy});
}

void CGridViewData::LoadData(KZ_MultiVarObj* pData, CGraphView* pGraph) {
  m_pGrid->SetData(pData, pGraph);
}

void CGridViewData::OnDraw(plat::CDC* dc) {
  if (!dc) return;
  if (m_bPrinting) {
    m_pGrid->PrintPage(dc, static_cast<int>(m_nCurPage));
    return;
  }
  RECT r{};
  GetClientRect(&r);
  dc->FillSolidRect(r, RGB(255, 255, 255));
}

void CGridViewData::OnBeginPrinting(plat::CDC* dc, plat::CPrintInfo* info) {
  const int cols = m_pGrid->GetColumnCount();
  const long rows = m_pGrid->GetRowCount();
  m_nPages = cols > 0 && rows > 0 ? m_pGrid->PrintInit(dc, nullptr, 0, 0, cols - 1, rows - 1) : 0;
  if (info) info->SetMaxPage(static_cast<UINT>(std::max(m_nPages, 1)));
  if (info && m_nPages < 1) info->m_bContinuePrinting = false;
  m_bPrinting = 1;
}

void CGridViewData::OnPrint(plat::CDC* dc, plat::CPrintInfo* info) {
  if (info) {
    m_nCurPage = info->m_nCurPage;
    m_rectPrint = info->m_rectDraw;
  }
  plat::CView::OnPrint(dc, info);
}

void CGridViewData::OnEndPrinting(plat::CDC*, plat::CPrintInfo*) { m_bPrinting = 0; }
