#include "base/numerics/KZ_ModelFunctions.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/numerics/TestTables.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(ModelFunctions, WorkedValues) {
  const double e2 = std::exp(-2.0);
  struct Case {
    const char* what;
    double got, want;
  } cases[] = {
      {"Poisson(0, 2)", KZ_PoissonPmf(0, 2.0), e2},
      {"Poisson(3, 2)", KZ_PoissonPmf(3, 2.0), 8.0 * e2 / 6.0},
      {"Binomial(0, 4, .5)", KZ_BinomialPmf(0, 4, 0.5), 0.0625},
      {"Binomial(2, 4, .5)", KZ_BinomialPmf(2, 4, 0.5), 0.375},
      {"Normal(0, 0, 1)", KZ_NormalPdf(0, 0, 1), 1.0 / std::sqrt(2.0 * kPi)},
      {"Normal(0, 0, 4)", KZ_NormalPdf(0, 0, 4), 0.5 / std::sqrt(2.0 * kPi)},
      {"Weibull(-0.1, 1, 2)", KZ_WeibullPdf(-0.1, 1, 2), 0.0},
      {"Weibull(1, 1, 1)", KZ_WeibullPdf(1, 1, 1), std::exp(-1.0)},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.got, c.want, 1e-15) << c.what;
}

// Against 40-digit values (which scipy.stats reproduces) for k up to 1000, where the plain
// products overflow (lambda^k, n!/(n-k)!) or vanish (e^-lambda, p^k).
TEST(ModelFunctions, DistributionsMatchReferenceValuesForLargeCounts) {
  tv_test::Table t("base/numerics/testdata/model_functions.txt");
  for (int i = 0, n = t.integer(); i < n; ++i) {
    const int k = t.integer();
    const double lam = t.num(), want = t.num();
    EXPECT_NEAR(KZ_PoissonPmf(k, lam), want, 1e-12 * want) << k << " " << lam;
  }
  for (int i = 0, n = t.integer(); i < n; ++i) {
    const int k = t.integer(), m = t.integer();
    const double p = t.num(), want = t.num();
    EXPECT_NEAR(KZ_BinomialPmf(k, m, p), want, 1e-12 * want) << k << " " << m << " " << p;
  }
  for (int i = 0, n = t.integer(); i < n; ++i) {
    const double x = t.num(), mu = t.num(), var = t.num(), want = t.num();
    EXPECT_NEAR(KZ_NormalPdf(x, mu, var), want, 1e-12 * want) << x;
  }
  for (int i = 0, n = t.integer(); i < n; ++i) {
    const double x = t.num(), lam = t.num(), k = t.num(), want = t.num();
    EXPECT_NEAR(KZ_WeibullPdf(x, lam, k), want, 1e-12 * want) << x;
  }
  // The complex form against numpy, its derivative against mpmath's.
  for (int i = 0, n = t.integer(); i < n; ++i) {
    double p[6];
    for (double& v : p) v = t.num();
    const double F = t.num(), dF = t.num();
    EXPECT_NEAR(KZ_LogPeriodicModelC(p), F, 1e-12 * std::fabs(F) + 1e-15) << p[0];
    EXPECT_NEAR(KZ_LogPeriodicModel2(p), dF, 1e-10 * std::fabs(dF) + 1e-13) << p[0];
  }
}

TEST(ModelFunctions, OutOfRangeCountsGiveZeroNotOverflow) {
  // Terms far below the smallest double vanish; none turns into inf or nan.
  EXPECT_EQ(KZ_PoissonPmf(1000, 3.0), 0.0);
  EXPECT_EQ(KZ_BinomialPmf(1000, 1000, 0.1), 0.0);
  for (int k : {0, 170, 171, 500, 2000}) {
    EXPECT_TRUE(std::isfinite(KZ_PoissonPmf(k, 1500.0))) << k;
    EXPECT_TRUE(std::isfinite(KZ_BinomialPmf(k, 2000, 0.25))) << k;
  }
  // Probabilities still sum to one where the plain formula overflows.
  double s = 0.0, b = 0.0;
  for (int k = 0; k <= 2000; ++k) {
    s += KZ_PoissonPmf(k, 900.0);
    b += KZ_BinomialPmf(k, 2000, 0.4);
  }
  EXPECT_NEAR(s, 1.0, 1e-12);
  EXPECT_NEAR(b, 1.0, 1e-12);
}

TEST(ModelFunctions, ModelsEvaluateTheirLaws) {
  double pl[4] = {2.0, 1.0, 2.0, 3.0};
  EXPECT_DOUBLE_EQ(KZ_PowerLawModel(pl), 17.0);
  double lp[6] = {0.5, -0.9, 0.05, 2.36, 0.3, 3.0};
  const double xa = std::pow(0.5, 0.3);
  EXPECT_NEAR(KZ_LogPeriodicModel(lp),
              1.0 - 0.9 * xa + 0.05 * xa * std::cos(3.0 * std::log(0.5) + 2.36), 1e-15);
  // The derivative agrees with a central difference of the complex form.
  double p[6] = {0.3, 0.02, 0.1, -6.0, 0.8, 3.0}, q[6], r[6];
  std::copy(p, p + 6, q);
  std::copy(p, p + 6, r);
  const double h = 1e-6;
  q[0] += h;
  r[0] -= h;
  EXPECT_NEAR(KZ_LogPeriodicModel2(p),
              (KZ_LogPeriodicModelC(q) - KZ_LogPeriodicModelC(r)) / (2 * h), 1e-7);
}

}  // namespace
