// The "TS" page (time series of peaks, rates, stress and strain). The page is empty for now;
// what it does with the update hints is settled: it redraws on 0 or any hint with HINT_TS; with
// HINT_NOW as well it paints before the sender goes on.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/View.h"

class CTSView : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "CTSView";
  void OnUpdate(plat::CView* pSender, LONG lHint, void* pHint) override;
};
