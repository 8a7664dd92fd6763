// The "Hypo" page (hypocentre plots). The page is empty for now;
// what it does with the update hints is settled: it reacts to 0 or any hint with HINT_LOC. With
// HINT_NOW as well only the current event flashes in the plot, painted at once, without redrawing
// the page; an empty page has no event to flash.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/View.h"

class CLocView : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "CLocView";
  void OnUpdate(plat::CView* pSender, LONG lHint, void* pHint) override;

  LONG m_nHintMask = HINT_LOC;
};
