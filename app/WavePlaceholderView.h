// Stands in for the "Wave" page until the page itself is built.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/View.h"

class CWavePlaceholderView : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "CWaveView";
  void OnUpdate(plat::CView*, LONG lHint, void*) override {
    if (lHint != 0 && !(lHint & HINT_WAVE)) return;
    Invalidate();
    if (lHint & HINT_NOW) UpdateWindow();
  }
};
