// The "OpenGL" page (3-D view). The page is empty for now;
// what it does with the update hints is settled: it renders its scene again on every hint, 0
// included, and says so in the status bar.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/View.h"

class CGLview : public plat::CView {
 public:
  static constexpr const char* kRuntimeClassName = "CGLview";
  void OnUpdate(plat::CView* pSender, LONG lHint, void* pHint) override;
};
