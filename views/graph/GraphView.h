// The "X-Ys graph" page. The page is empty for now;
// what it does with the update hints is settled: it redraws only on hints with HINT_GRAPH, its own
// mask; hint 0 does not reach it.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/qt/View.h"

class CGraphView : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "CGraphView";
  void OnUpdate(plat::CView* pSender, LONG lHint, void* pHint) override;

  // The data table the page plots (not owned), handed over by the main frame.
  void SetData(KZ_MultiVarObj* pData) {
    m_pData = pData;
    OnUpdate(nullptr, m_nHintMask, nullptr);
  }
  KZ_MultiVarObj* GetData() const { return m_pData; }
  LONG m_nHintMask = HINT_GRAPH;

 private:
  KZ_MultiVarObj* m_pData = nullptr;
};
