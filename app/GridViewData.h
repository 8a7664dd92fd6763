// The "Output: sheet" page: the view that hosts the data-sheet grid. It ignores every
// update hint; the main frame hands it the data table to show.
#pragma once
#include "base/series/KZ_MultiVarObj.h"
#include "platform/qt/View.h"

class CGraphView;

class CGridViewData : public plat::CView {
 public:
  static constexpr const char* kRuntimeClassName = "CGridViewData";

  void OnUpdate(plat::CView*, LONG, void*) override {}
  // The table to show and the graph page that plots it (neither owned).
  void LoadData(KZ_MultiVarObj* pData, CGraphView* pGraph) {
    m_pData = pData;
    m_pGraph = pGraph;
  }
  KZ_MultiVarObj* GetData() const { return m_pData; }

 private:
  KZ_MultiVarObj* m_pData = nullptr;
  CGraphView* m_pGraph = nullptr;
};
