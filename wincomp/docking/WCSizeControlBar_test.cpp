#include "wincomp/docking/WCSizeControlBar.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

TEST(SizeControlBar, DockBarsTellResizableBarsFromOrdinaryOnes) {
  struct {
    const plat::CRuntimeClass* rc;
    const char* name;
    bool resizable;
  } cases[] = {
      {RUNTIME_CLASS(CWCSizeControlBar), "CWCSizeControlBar", true},
      {RUNTIME_CLASS(CWCSizeToolBar), "CWCSizeToolBar", false},
      {RUNTIME_CLASS(plat::CCmdTarget), nullptr, false},
  };
  for (const auto& c : cases) {
    if (c.name) {
      EXPECT_EQ(std::string(c.rc->m_lpszClassName), c.name);
    }
    std::unique_ptr<plat::CObject> bar(c.rc->CreateObject());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(IsSizeControlBar(bar.get()), c.resizable) << c.rc->m_lpszClassName;
  }
  EXPECT_FALSE(IsSizeControlBar(nullptr));
}

TEST(SizeControlBar, FixedLayoutIsTheSizeForWhereTheBarIs) {
  CWCSizeControlBar bar;
  EXPECT_EQ(bar.CalcFixedLayout(FALSE, TRUE).cx, 0);  // all sizes 0 at first
  bar.m_szHorz = SIZE{200, 40};
  bar.m_szVert = SIZE{50, 300};
  bar.m_szFloat = SIZE{120, 90};
  EXPECT_EQ(bar.CalcFixedLayout(FALSE, TRUE).cx, 200);
  EXPECT_EQ(bar.CalcFixedLayout(FALSE, FALSE).cy, 300);
  bar.m_bFloating = TRUE;
  EXPECT_EQ(bar.CalcFixedLayout(FALSE, TRUE).cx, 120);
  EXPECT_EQ(bar.CalcFixedLayout(FALSE, FALSE).cy, 90);
}

}  // namespace
