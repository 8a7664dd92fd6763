#include "base/types/KZ_Range.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<double> Values(const KZ_Range& r) {
  return std::vector<double>(r.m_pValues, r.m_pValues + r.m_nCount);
}
}  // namespace

TEST(Range, ValueLists) {
  struct Case {
    const char* text;
    std::vector<double> values;
    int log;
  };
  const Case cases[] = {
      {"0,10,1", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0},
      {"1,1000,*=10", {1, 10, 100, 1000}, 1},
      {"0,10,3", {0, 3, 6, 9, 10}, 0},  // last value clipped to max
      {"10,0,1", {10}, 0},              // step pointing away
      {"5,5,1", {5}, 0},
      {"10,0,-2.5", {10, 7.5, 5, 2.5, 0}, 0},  // descending
      {"0,100,+=25", {0, 25, 50, 75, 100}, 0},
      {"x=0,1,0.5", {0, 0.5, 1}, 0},
      {"x=0,1,0.5 S=2", {0, 1, 2}, 0},        // scaled
      {"x=0,1,0.4 S=10", {0, 4, 8, 10}, 0},   // clipped to the scaled end
      {"0,10,0", {0}, 0},                     // a step that never moves
      {"0,10,1 log", {1e-4, 1e-4, 1e-4}, 1},  // log: zero min becomes max 1e-5, step 1 never moves
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    KZ_Range r(c.text, 0);
    EXPECT_EQ(r.m_nLog, c.log);
    if (c.log && c.values.size() == 3) {
      EXPECT_EQ(r.m_nCount, 1);
      EXPECT_DOUBLE_EQ(r.m_pValues[0], 1e-4);
      continue;
    }
    auto v = Values(r);
    ASSERT_EQ(v.size(), c.values.size());
    for (std::size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(v[i], c.values[i], 1e-12);
  }
}

TEST(Range, MaximumCountAndUnit) {
  KZ_Range r("t=0.001,1,*=1.02 ms", 0);
  EXPECT_EQ(r.m_nLog, 1);
  EXPECT_EQ(r.m_strUnit, "ms");
  EXPECT_EQ(r.m_fUnit, 0.001);
  EXPECT_DOUBLE_EQ(r.m_pValues[1], 0.001 * 1.02);
  EXPECT_LE(r.m_pValues[r.m_nCount - 1], 1.0);
  EXPECT_GT(r.m_pValues[r.m_nCount - 2] * 1.02, 0.98);
  KZ_Range capped("0,100,1", 5);
  EXPECT_EQ(capped.m_nCount, 5);
  KZ_Range plain("0,1,1", 0);
  EXPECT_EQ(plain.m_strUnit, "SI");
}

TEST(ParseRange, NumbersAndStep) {
  struct Case {
    const char* text;
    int count;
    double min, max, step;
    int log;
  };
  const Case cases[] = {
      {"0,100,+=5", 3, 0, 100, 5, 0},
      {"R=1,2,3", 3, 1, 2, 3, 0},
      {"1,1000,*=10 Log", 3, 1, 1000, 10, 1},
      {"7", 1, 7, 0, 0, 0},
      {"", 0, 0, 0, 0, 0},
      {"abc", 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    float mn = -1, mx = -1, st = -1, uf = -1;
    int lg = -1;
    char unit[8];
    EXPECT_EQ(KZ_ParseRangeF(c.text, &mn, &mx, &st, &uf, &lg, unit), c.count);
    EXPECT_EQ(mn, static_cast<float>(c.min));
    EXPECT_EQ(mx, static_cast<float>(c.max));
    EXPECT_EQ(st, static_cast<float>(c.step));
    EXPECT_EQ(lg, c.log);
    double dmn, dmx, dst;
    EXPECT_EQ(KZ_ParseRangeD(c.text, &dmn, &dmx, &dst, nullptr, nullptr, nullptr), c.count);
    EXPECT_EQ(dst, c.step);
  }
  int lg = 0;
  double a, b, s;
  KZ_ParseRangeD("1,2,3 Log", &a, &b, &s, nullptr, &lg, nullptr);
  EXPECT_EQ(lg, 0);  // the double version looks for "log" and "*=" only
}

TEST(UnitToSI, FirstMatchDecides) {
  struct Case {
    const char* text;
    double factor;
    const char* unit;
  };
  const Case cases[] = {
      {"rate /us", 1e6, "/us"},  {"t us", 1e-6, "us"},
      {"t ms", 0.001, "ms"},     {"v mm/yr", 3.168808781402895e-8, "/yr"},
      {"x mm", 0.001, "mm"},     {"p MPa", 1e6, "MPa"},
      {"c /MPa", 1e-6, "/MPa"},  {"1/day", 1.1574074074074073e-5, "/day"},
      {"t, hours", 3600, "hou"}, {"k /cm", 100, "/cm"},
      {"nothing", 1, "SI"},      {"3 years", 3.15576e7, "yr"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char unit[8] = "?";
    EXPECT_DOUBLE_EQ(KZ_UnitToSI(c.text, unit), c.factor);
    EXPECT_STREQ(unit, c.unit);
  }
  EXPECT_EQ(KZ_UnitToSI(nullptr, nullptr), 1.0);
}
