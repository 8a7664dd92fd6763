#include "base/numerics/KZ_Spline.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/numerics/TestTables.h"

TEST(Spline, ThreePointNaturalExample) {
  const double x[] = {0, 1, 2}, y[] = {0, 1, 0};
  double y2[3];
  KZ_Spline(x, y, 3, 1e30, 1e30, y2);
  EXPECT_NEAR(y2[0], 0, 1e-15);
  EXPECT_NEAR(y2[1], -3, 1e-15);
  EXPECT_NEAR(y2[2], 0, 1e-15);
  double v;
  KZ_SplineEval(x, y, y2, 3, 0.5, &v);
  EXPECT_NEAR(v, 0.6875, 1e-15);
  KZ_SplineEval(x, y, y2, 3, 1.0, &v);
  EXPECT_EQ(v, 1.0);
}

TEST(Spline, EndSlopeAtTheThresholdIsClamped) {
  const double x[] = {0, 1, 2}, y[] = {0, 1, 0};
  double natural[3], clamped[3];
  KZ_Spline(x, y, 3, 1e30, 1e30, natural);
  KZ_Spline(x, y, 3, 9.9e29, 1e30, clamped);
  EXPECT_NE(clamped[0], natural[0]);
}

TEST(Spline, TwoPointsGiveTheLine) {
  const double x[] = {1, 3}, y[] = {2, 6};
  double y2[2];
  KZ_Spline(x, y, 2, 1e30, 1e30, y2);
  EXPECT_EQ(y2[0], 0.0);
  EXPECT_EQ(y2[1], 0.0);
  double v;
  KZ_SplineEval(x, y, y2, 2, 2.5, &v);
  EXPECT_DOUBLE_EQ(v, 5.0);
  KZ_SplineEval(x, y, y2, 2, 4.0, &v);
  EXPECT_DOUBLE_EQ(v, 8.0);
}

TEST(Spline, AgainstScipyCubicSpline) {
  tv_test::Table t("base/numerics/testdata/spline1d.txt");
  int blocks = 0;
  while (!t.done()) {
    ASSERT_EQ(t.word(), "spline");
    const int n = t.integer();
    const double yp1 = t.num(), ypn = t.num();
    const int k = t.integer();
    std::vector<double> x(n), y(n), y2expect(n), y2(n);
    for (int i = 0; i < n; ++i) x[i] = t.num(), y[i] = t.num(), y2expect[i] = t.num();
    KZ_Spline(x.data(), y.data(), n, yp1, ypn, y2.data());
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(y2[i], y2expect[i], 1e-10) << "block " << blocks << " knot " << i;
    for (int i = 0; i < k; ++i) {
      const double at = t.num(), expect = t.num();
      double v;
      KZ_SplineEval(x.data(), y.data(), y2.data(), n, at, &v);
      EXPECT_NEAR(v, expect, 1e-11) << "block " << blocks << " x " << at;
    }
    ++blocks;
  }
  EXPECT_EQ(blocks, 4);
}

TEST(Spline, SurfaceAgainstScipy) {
  tv_test::Table t("base/numerics/testdata/spline2d.txt");
  ASSERT_EQ(t.word(), "grid");
  const int m = t.integer(), n = t.integer();
  const auto x1 = t.nums(m);
  const auto x2 = t.nums(n);
  std::vector<std::vector<double>> grid(m), second(m, std::vector<double>(n));
  std::vector<double*> ya(m), y2a(m);
  for (int j = 0; j < m; ++j) {
    grid[j] = t.nums(n);
    ya[j] = grid[j].data();
    y2a[j] = second[j].data();
  }
  KZ_SplineRows(x1.data(), x2.data(), ya.data(), m, n, y2a.data());
  ASSERT_EQ(t.word(), "points");
  const int k = t.integer();
  for (int i = 0; i < k; ++i) {
    const double p1 = t.num(), p2 = t.num(), expect = t.num();
    double v = 0;
    KZ_SplineEval2D(x1.data(), x2.data(), ya.data(), y2a.data(), m, n, p1, p2, &v);
    EXPECT_NEAR(v, expect, 1e-11) << p1 << ", " << p2;
  }
}
