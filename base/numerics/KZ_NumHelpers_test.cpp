#include "base/numerics/KZ_NumHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

TEST(NiceNumbers, RoundToMultiplesOfThePowerOfTen) {
  struct Case {
    double x, ceil, floor;
  };
  const Case cases[] = {
      {347, 400, 300},
      {-347, -300, -400},
      {2.5, 3, 2},
      {100, 100, 100},
      {999, 1000, 900},
      {1e-26, 0, 0},
      {-1e-26, 0, 0},
      {0.3, 0.30000000000000004, 0.20000000000000015},
      {0.5, 0.5, 0.40000000000000013},
      {12345, 20000, 10000},
      {0.1, 0.1, 0.1},
      {7e-5, 7.000000000000001e-05, 6.000000000000001e-05},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(KZ_NiceCeil(c.x), c.ceil);
    EXPECT_EQ(KZ_NiceFloor(c.x), c.floor);
  }
}

TEST(NiceNumbers, FloorNeverDropsBelowThePowerOfTen) {
  // The repeated subtraction overshoots p slightly for p = 0.1, 0.01, ...; the floor of a
  // power of ten is that power, not a rounding residue near zero.
  for (double p : {1e-1, 1e-2, 1e-3, 1e-5, 1e-7, 1.0, 10.0}) {
    SCOPED_TRACE(p);
    EXPECT_NEAR(KZ_NiceFloor(p), p, p * 1e-12);
  }
}

TEST(NiceNumbers, FloatTwinsBracketTheValue) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> mant(1.0f, 10.0f);
  for (int k = 0; k < 500; ++k) {
    const float x =
        mant(rng) * std::pow(10.0f, static_cast<float>(k % 12 - 6)) * (k % 2 ? -1.0f : 1.0f);
    EXPECT_GE(KZ_NiceCeilF(x), x * (1 - 1e-6f * (x > 0 ? 1 : -1)));
    EXPECT_LE(KZ_NiceFloorF(x), x * (1 + 1e-6f * (x > 0 ? 1 : -1)));
  }
  EXPECT_EQ(KZ_NiceCeilF(347.0f), 400.0f);
  EXPECT_EQ(KZ_NiceFloorF(-347.0f), -400.0f);
}

// Values at and beyond the ends of the range come back at once: the infinities and NaN
// as they are, and a finite value as a finite bound on its own side (from 1e308 on the
// next multiple of the power of ten is beyond the range).
TEST(NiceNumbers, ExtremeAndNonFiniteValuesReturn) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double x, ceil, floor;
  };
  const Case cases[] = {
      {DBL_MAX, DBL_MAX, 1e308},       {-DBL_MAX, -1e308, -DBL_MAX},
      {1e308, 1e308, 1e308},           {1.5e308, DBL_MAX, 1e308},
      {inf, inf, inf},                 {-inf, -inf, -inf},
      {DBL_MIN, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(KZ_NiceCeil(c.x), c.ceil);
    EXPECT_EQ(KZ_NiceFloor(c.x), c.floor);
  }
  EXPECT_TRUE(std::isnan(KZ_NiceCeil(std::nan(""))));
  EXPECT_TRUE(std::isnan(KZ_NiceFloor(std::nan(""))));

  const float finf = std::numeric_limits<float>::infinity();
  for (float x : {FLT_MAX, -FLT_MAX, 3e38f, finf, -finf}) {
    SCOPED_TRACE(x);
    const float c = KZ_NiceCeilF(x), f = KZ_NiceFloorF(x);
    EXPECT_GE(c, x);
    EXPECT_LE(f, x);
    EXPECT_EQ(std::isinf(c), std::isinf(x));
    EXPECT_EQ(std::isinf(f), std::isinf(x));
  }
  EXPECT_TRUE(std::isnan(KZ_NiceCeilF(std::nanf(""))));
  EXPECT_TRUE(std::isnan(KZ_NiceFloorF(std::nanf(""))));
}

template <class T>
std::vector<T> RandomKeys(std::mt19937& rng, int n, int distinct) {
  std::uniform_int_distribution<int> d(0, distinct);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(d(rng)) * static_cast<T>(0.5);
  return v;
}

TEST(QuickSorts, SortAscendingAndCarryTheCompanion) {
  std::mt19937 rng(11);
  // Sizes around the insertion limit, duplicates and long arrays.
  for (int n : {0, 1, 2, 7, 8, 9, 50, 1000, 20000}) {
    for (int distinct : {3, 1000000}) {
      SCOPED_TRACE(n);
      auto d = RandomKeys<double>(rng, n, distinct);
      auto keys = d;
      std::vector<int> idx(n);
      for (int i = 0; i < n; ++i) idx[i] = i;
      KZ_QuickSort(n, keys.data(), idx.data());
      EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
      for (int i = 0; i < n; ++i) ASSERT_EQ(keys[i], d[idx[i]]);
      std::vector<int> seen = idx;
      std::sort(seen.begin(), seen.end());
      for (int i = 0; i < n; ++i) ASSERT_EQ(seen[i], i);

      auto f = RandomKeys<float>(rng, n, distinct);
      auto fk = f;
      std::vector<int> fidx(n);
      for (int i = 0; i < n; ++i) fidx[i] = i;
      KZ_SortFloatIndex(n, fk.data(), fidx.data());
      EXPECT_TRUE(std::is_sorted(fk.begin(), fk.end()));
      for (int i = 0; i < n; ++i) ASSERT_EQ(fk[i], f[fidx[i]]);

      auto plainD = d;
      KZ_QuickSortD(n, plainD.data());
      auto expectD = d;
      std::sort(expectD.begin(), expectD.end());
      EXPECT_EQ(plainD, expectD);
      auto plainF = f;
      KZ_QuickSortF(n, plainF.data());
      auto expectF = f;
      std::sort(expectF.begin(), expectF.end());
      EXPECT_EQ(plainF, expectF);
    }
  }
}

TEST(QuickSorts, SortedAndReversedInputs) {
  for (int n : {100, 4097}) {
    std::vector<double> up(n), down(n);
    for (int i = 0; i < n; ++i) up[i] = i, down[i] = n - i;
    auto a = up;
    KZ_QuickSortD(n, a.data());
    EXPECT_EQ(a, up);
    KZ_QuickSortD(n, down.data());
    EXPECT_TRUE(std::is_sorted(down.begin(), down.end()));
  }
}

TEST(HeapSort16, SortsKeysWithCompanion) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> d(0, 29999);
  for (int n : {0, 1, 2, 3, 31, 500}) {
    std::vector<std::int16_t> keys(n);
    std::vector<std::uint16_t> comp(n);
    for (int i = 0; i < n; ++i)
      keys[i] = static_cast<std::int16_t>(d(rng)), comp[i] = static_cast<std::uint16_t>(i);
    auto orig = keys;
    KZ_HeapSort16(n, keys.data(), comp.data());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    for (int i = 0; i < n; ++i) ASSERT_EQ(keys[i], orig[comp[i]]);
  }
}

TEST(Medians, SmallAndGeneralCases) {
  float two[] = {3, 1};
  EXPECT_EQ(KZ_MedianF(two, 2), 2.0f);
  EXPECT_EQ(two[0], 3.0f);  // n = 2 does not sort
  float three[] = {5, 1, 4};
  EXPECT_EQ(KZ_MedianF(three, 3), 4.0f);
  EXPECT_EQ(three[0], 1.0f);
  EXPECT_EQ(three[2], 5.0f);
  double one[] = {7};
  EXPECT_EQ(KZ_MedianD(one, 1), 7.0);
  double four[] = {4, 1, 3, 2};
  EXPECT_EQ(KZ_MedianD(four, 4), 2.5);
  EXPECT_EQ(KZ_MedianD(four, 0), 0.0);
}

TEST(Smooth3, ThreePointMeanWithItsWeight) {
  double a[] = {0, 0, 3, 0, 0};
  KZ_Smooth3(a, 5, 1);
  const double w = 0.333333333;
  EXPECT_EQ(a[1], 3 * w);
  EXPECT_EQ(a[2], 3 * w);
  EXPECT_EQ(a[0], 0.0);
  KZ_Smooth3(a, 5, 1);
  EXPECT_NEAR(a[1], 0.666666666, 1e-8);
  EXPECT_NEAR(a[2], 1.0, 1e-8);
  EXPECT_NEAR(a[3], 0.666666666, 1e-8);
  double b[] = {1, 5};
  KZ_Smooth3(b, 2, 3);
  EXPECT_EQ(b[1], 5.0);
  double c[] = {1, 9, 1};
  KZ_Smooth3(c, 3, 0);
  EXPECT_EQ(c[1], 9.0);
}

TEST(HoldOutOfRange, RunsTakeTheLastGoodValue) {
  double a[] = {5, 99, 98, 6, 10, -1};
  KZ_HoldOutOfRange(a, 6, 0, 10);
  const double expect[] = {5, 5, 5, 6, 10, 10};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(a[i], expect[i]);
}

TEST(Normalize01, ScalesAndFlips) {
  double a[] = {2, 4, 6};
  int n = 3;
  KZ_Normalize01(a, &n, 2, 6, 0);
  EXPECT_EQ(a[1], 0.5);
  EXPECT_EQ(a[2], 1.0);
  KZ_Normalize01(a, &n, 0, 1, 1);
  EXPECT_EQ(a[0], 1.0);
  EXPECT_EQ(a[2], 0.0);
  double flat[] = {3, 3};
  n = 2;
  KZ_Normalize01(flat, &n, 3, 3, 0);
  EXPECT_EQ(flat[0], 3.0);
}

TEST(CycleColor, SevenColours) {
  EXPECT_EQ(KZ_CycleColor(0), 0x000000u);
  EXPECT_EQ(KZ_CycleColor(1), 0xFF0000u);
  EXPECT_EQ(KZ_CycleColor(7), 0x000000u);
  EXPECT_EQ(KZ_CycleColor(9), 0x00FF00u);
  EXPECT_EQ(KZ_CycleColor(-1), 0xFF00FFu);
}

TEST(Arrays, MatrixIsOneRowMajorBlock) {
  double** m = KZ_AllocMatrix64(3, 4);
  ASSERT_NE(m, nullptr);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(m[0][i], 0.0);
  m[2][3] = 5;
  EXPECT_EQ(m[0][11], 5.0);
  KZ_FreeMatrix(m);
  char** t = KZ_AllocMatrix8(2, 16);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t[1], t[0] + 16);
  KZ_FreeMatrix(t);
  std::int16_t** s = KZ_AllocMatrix16(2, 3);
  EXPECT_EQ(s[1], s[0] + 3);
  KZ_FreeMatrix(s);
  float** f = KZ_AllocMatrix32(5, 1);
  EXPECT_EQ(f[4], f[0] + 4);
  KZ_FreeMatrix(f);
  KZ_FreeMatrix(static_cast<double**>(nullptr));
  EXPECT_EQ(KZ_AllocMatrix64(0, 3), nullptr);
}

TEST(Arrays, CubeIndexing) {
  double*** c = KZ_AllocCube64(2, 3, 4);
  ASSERT_NE(c, nullptr);
  c[1][2][3] = 7;
  EXPECT_EQ(c[0][0][(1 * 3 + 2) * 4 + 3], 7.0);
  EXPECT_EQ(c[1][0], c[0][0] + 12);
  KZ_FreeCube(c, 2);
  KZ_FreeCube(nullptr, 2);
}
