#include "wincomp/grid/SGPtrList.h"

#include <gtest/gtest.h>

TEST(SGPtrList, GrowsByTenAndAnswersNullOutsideItsEntries) {
  CSGPtrList list;
  EXPECT_EQ(list.GetCapacity(), 0);
  int values[11];
  int last = -1;
  for (int i = 0; i < 11; ++i) last = list.Add(&values[i]);
  EXPECT_EQ(last, 10);
  EXPECT_EQ(list.GetCapacity(), 20);
  EXPECT_EQ(list.GetCount(), 11);
  EXPECT_EQ(list.GetPointer(10), &values[10]);
  EXPECT_EQ(list.GetPointer(11), nullptr);
  EXPECT_EQ(list.GetPointer(20), nullptr);
  EXPECT_EQ(list.GetPointer(-1), nullptr);
}
