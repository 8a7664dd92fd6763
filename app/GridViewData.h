// The "Output: sheet" page: the view that hosts the data-sheet grid. It ignores every
// update hint; the main frame hands it the data table to show. It prints the grid of the
// current sheet, page by page.
#pragma once
#include <memory>

#include "app/KZ_GridData.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/qt/View.h"

class CGraphView;

class CGridViewData : public plat::CView {
 public:
  static constexpr const char* kRuntimeClassName = "CGridViewData";
  static constexpr UINT kGridId = 1234;

  CGridViewData();
  ~CGridViewData() override;

  void OnUpdate(plat::CView*, LONG, void*) override {}
  void OnDraw(plat::CDC* dc) override;
  void OnBeginPrinting(plat::CDC* dc, plat::CPrintInfo* info) override;
  void OnPrint(plat::CDC* dc, plat::CPrintInfo* info) override;
  void OnEndPrinting(plat::CDC* dc, plat::CPrintInfo* info) override;
  void OnSize(UINT type, int cx, int cy) override;

  // Shows the table (and its second table) and keeps the graph page to refresh; neither
  // is owned.
  void LoadData(KZ_MultiVarObj* pData, CGraphView* pGraph);
  KZ_MultiVarObj* GetData() const { return m_pGrid->Table(0); }
  // To be called before the table is deleted or replaced (see KZ_GridData::ForgetTable).
  void ForgetTable(KZ_MultiVarObj* pData) { m_pGrid->ForgetTable(pData); }
  KZ_GridData& Grid() { return *m_pGrid; }
  // The page count of the last print job.
  int PrintedPages() const { return m_nPages; }

 private:
  std::unique_ptr<KZ_GridData> m_pGrid;
  int m_bPrinting = 0;
  UINT m_nCurPage = 0;
  RECT m_rectPrint{};
  int m_nPages = 0;
};
