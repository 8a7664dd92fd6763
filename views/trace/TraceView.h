// The "Trace" page. The page is empty for now;
// what it does with the update hints is settled: it redraws on every hint, 0 included (the class
// library's default).
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/View.h"

class CTraceView : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "CTraceView";
};
