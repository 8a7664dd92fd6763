#include "base/numerics/KZ_FFT.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numerics/TestTables.h"

namespace {

double MaxAbs(const std::vector<double>& v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

}  // namespace

TEST(FFT, FourPointExample) {
  double d[] = {1, 0, 1, 0, 0, 0, 0, 0};
  KZ_FFT(d, 4, 1);
  const double expect[] = {2, 0, 1, 1, 0, 0, 1, -1};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(d[i], expect[i], 1e-15);
}

TEST(FFT, ComplexAgainstNumpy) {
  tv_test::Table t("base/numerics/testdata/fft_complex.txt");
  int blocks = 0;
  while (!t.done()) {
    ASSERT_EQ(t.word(), "complex");
    const int nn = t.integer();
    const int isign = t.integer();
    auto data = t.nums(2 * nn);
    const auto expect = t.nums(2 * nn);
    KZ_FFT(data.data(), nn, isign);
    const double tol = 1e-12 * MaxAbs(expect) * std::log2(nn + 1);
    for (int i = 0; i < 2 * nn; ++i)
      ASSERT_NEAR(data[i], expect[i], tol) << "nn " << nn << " isign " << isign;
    ++blocks;
  }
  EXPECT_EQ(blocks, 8);
}

TEST(FFT, RealPackedSpectrumAndInverse) {
  tv_test::Table t("base/numerics/testdata/fft_real.txt");
  int blocks = 0;
  while (!t.done()) {
    ASSERT_EQ(t.word(), "real");
    const int n = t.integer();
    const auto x = t.nums(2 * n);
    const auto expect = t.nums(2 * n);
    auto data = x;
    KZ_RealFFT(data.data(), n, 1);
    // The half-sums are single precision: about seven significant digits.
    const double tol = 1e-6 * MaxAbs(expect);
    for (int i = 0; i < 2 * n; ++i) ASSERT_NEAR(data[i], expect[i], tol) << "n " << n << " i " << i;
    KZ_RealFFT(data.data(), n, -1);
    for (int i = 0; i < 2 * n; ++i)
      ASSERT_NEAR(data[i], n * x[i], 1e-6 * n * MaxAbs(x)) << "n " << n;
    ++blocks;
  }
  EXPECT_EQ(blocks, 5);
}

TEST(FFT, TwoRealSeriesAtOnce) {
  tv_test::Table t("base/numerics/testdata/fft_two.txt");
  while (!t.done()) {
    ASSERT_EQ(t.word(), "two");
    const int n = t.integer();
    std::vector<double> a(n), b(n), fa(2 * n), fb(2 * n);
    for (int i = 0; i < n; ++i) a[i] = t.num(), b[i] = t.num();
    KZ_TwoFFT(a.data(), b.data(), fa.data(), fb.data(), n);
    for (int k = 0; k < n; ++k) {
      const auto e = t.nums(4);
      const double tol = 1e-6 * n;
      EXPECT_NEAR(fa[2 * k], e[0], tol);
      EXPECT_NEAR(fa[2 * k + 1], e[1], tol);
      EXPECT_NEAR(fb[2 * k], e[2], tol);
      EXPECT_NEAR(fb[2 * k + 1], e[3], tol);
    }
  }
}

TEST(Correl, WrapAroundLagsWithinTheCallersArray) {
  tv_test::Table t("base/numerics/testdata/correl.txt");
  while (!t.done()) {
    ASSERT_EQ(t.word(), "correl");
    const int n = t.integer();
    std::vector<double> a(n), b(n);
    for (int i = 0; i < n; ++i) a[i] = t.num(), b[i] = t.num();
    const auto expect = t.nums(n);
    // Guard values right behind the caller's n elements must survive.
    std::vector<double> ans(n + 4, 99.0);
    KZ_Correl(a.data(), b.data(), n, ans.data());
    for (int k = 0; k < n; ++k) ASSERT_NEAR(ans[k], expect[k], 1e-5 * n) << "n " << n << " k " << k;
    for (int k = n; k < n + 4; ++k) EXPECT_EQ(ans[k], 99.0) << "n " << n;
  }
}

TEST(Correl, AutoCorrelationPeaksAtLagZero) {
  std::vector<double> x(10);
  for (int i = 0; i < 10; ++i) x[i] = std::sin(0.7 * i) + 0.1 * i;
  std::vector<double> ans(10);
  KZ_Correl(x.data(), x.data(), 10, ans.data());
  double ss = 0;
  for (int i = 0; i < 8; ++i) ss += x[i] * x[i];
  EXPECT_NEAR(ans[0], ss, 1e-5);
  for (int k = 1; k < 8; ++k) EXPECT_LT(ans[k], ans[0]);
  EXPECT_EQ(ans[8], 0.0);
  EXPECT_EQ(ans[9], 0.0);
  double one = 3, other = 4, r = 0;
  KZ_Correl(&one, &other, 1, &r);
  EXPECT_EQ(r, 12.0);
}

TEST(FFT, OtherLengthsAreLeftAlone) {
  std::vector<double> d(12, 1.0);
  KZ_FFT(d.data(), 6, 1);
  KZ_RealFFT(d.data(), 3, 1);
  for (double x : d) EXPECT_EQ(x, 1.0);
}
