// The "Foc" page (source mechanisms). The page is empty for now;
// what it does with the update hints is settled: it redraws on 0 or any hint with HINT_SOURCE.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/View.h"

class CSourceView : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "CSourceView";
  void OnUpdate(plat::CView* pSender, LONG lHint, void* pHint) override;
};
