#include "platform/qt/Framework.h"

#include <gtest/gtest.h>

#include "platform/qt/testing/QtTestApp.h"

namespace plat {
namespace {

TEST(FrameworkSmoke, ViewJoinsDocument) {
  testing::EnsureQtApp();
  CDocument doc;
  CView view;
  doc.AddView(&view);
  EXPECT_EQ(view.GetDocument(), &doc);
  doc.RemoveView(&view);
  EXPECT_EQ(view.GetDocument(), nullptr);
}

}  // namespace
}  // namespace plat
