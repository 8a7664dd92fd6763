// Incomplete gamma and beta functions against mpmath (tables by
// tools/numerics_splines/gen_function_tables.py) and their closed forms.
#include "numerics/further/nml_gamma_inc.h"

#include <gtest/gtest.h>

#include <cmath>

#include "numerics/further/nml_spline_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using splinetest::Cases;

namespace {

class GammaInc : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

TEST_F(GammaInc, MatchesMpmathAcrossTheBranchChanges) {
  const auto cases = Cases("gamma_inc");
  ASSERT_FALSE(cases.empty());
  const Case& c = cases[0];
  for (std::size_t i = 0; i < c["a"].size(); ++i) {
    const double a = c["a"][i], x = c["x"][i], want = c["g"][i];
    nmltest::FreshRuntime();
    const double got = nml_d_gamma_incomplete(a, x);
    const double tol = nml_error_type(1) == NML_WARNING ? 1e-10 : 1e-13;
    EXPECT_NEAR(got, want, tol * std::fabs(want)) << "a=" << a << " x=" << x;
    EXPECT_LT(nml_error_type(1), NML_FATAL);
  }
}

TEST_F(GammaInc, LargeAKeepsFactorsOutsideTheDoubleRangeInLogarithms) {
  // x^a and Gamma(a) each overflow (or their product with the tiny Tricomi factor does)
  // although gamma(a, x) itself is finite; where mpmath's value lies beyond the double range
  // the result is +infinity with the overflow error.
  const auto cases = Cases("gamma_inc_large");
  ASSERT_FALSE(cases.empty());
  const Case& c = cases[0];
  for (std::size_t i = 0; i < c["a"].size(); ++i) {
    const double a = c["a"][i], x = c["x"][i], want = c["g"][i];
    nmltest::FreshRuntime();
    const double got = nml_d_gamma_incomplete(a, x);
    if (std::isinf(want)) {
      EXPECT_EQ(got, INFINITY) << "a=" << a << " x=" << x;
      EXPECT_EQ(nml_error_code(1), 9008) << "a=" << a << " x=" << x;
      EXPECT_EQ(nml_error_type(1), NML_FATAL);
      continue;
    }
    // ln of the result is a sum of terms up to a few thousand: about 1e-12 relative.
    EXPECT_NEAR(got, want, 1e-11 * want) << "a=" << a << " x=" << x;
    EXPECT_EQ(nml_error_type(1), 0) << "a=" << a << " x=" << x;
  }
}

TEST_F(GammaInc, ClosedFormsAndEdges) {
  // gamma(1, x) = 1 - e^-x on the series (0.5) and the complementary fraction (3);
  // gamma(5, 3) = 24 (1 - e^-3 * 16.375) on the other fraction.
  EXPECT_NEAR(nml_d_gamma_incomplete(1, 0.5), -std::expm1(-0.5), 1e-15);
  EXPECT_NEAR(nml_d_gamma_incomplete(1, 3), -std::expm1(-3.0), 1e-15);
  EXPECT_NEAR(nml_d_gamma_incomplete(5, 3), 24 * (1 - std::exp(-3.0) * 16.375), 1e-14 * 4.4337);
  EXPECT_EQ(nml_d_gamma_incomplete(2.5, 0), 0.0);
  EXPECT_EQ(nml_d_gamma_incomplete(1000, 1e-3), 0.0);
  EXPECT_EQ(nml_error_type(1), 0);
  struct Row {
    double a, x;
    int code;
  } rows[] = {{0, 1, 9032}, {-2, 1, 9032}, {1, -1, 9033}};
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    EXPECT_TRUE(std::isnan(nml_d_gamma_incomplete(r.a, r.x)));
    EXPECT_EQ(nml_error_code(1), r.code);
  }
}

TEST_F(GammaInc, BetaDoubleAndFloat) {
  const auto cases = Cases("beta");
  ASSERT_FALSE(cases.empty());
  const Case& c = cases[0];
  for (std::size_t i = 0; i < c["a"].size(); ++i) {
    const double a = c["a"][i], b = c["b"][i], want = c["beta"][i];
    // Three gamma values of arguments near 100 carry a few 1e-14 each, and the float
    // logarithmic branch rounds ln B to float (an absolute 4e-6 for ln B near -70).
    const double dtol = a + b > 20 ? 1e-13 : 1e-14, ftol = a + b > 20 ? 6e-6 : 1e-6;
    EXPECT_NEAR(nml_d_beta(a, b), want, dtol * want) << a << " " << b;
    if (want > 1e-36) {
      EXPECT_NEAR(nml_f_beta(static_cast<float>(a), static_cast<float>(b)), want, ftol * want)
          << a << " " << b;
    }
  }
  EXPECT_NEAR(nml_d_beta(0.5, 0.5), M_PI, 1e-15);
  EXPECT_NEAR(nml_f_beta(50, 50), 3.96e-31, 0.01e-31);
  EXPECT_EQ(nml_d_beta(1000, 1000), 0.0);
  EXPECT_EQ(nml_error_code(1), 9018);
  EXPECT_EQ(nml_error_type(1), NML_ALERT);
  EXPECT_TRUE(std::isnan(nml_d_beta(0, 1)));
  EXPECT_EQ(nml_error_code(1), 9031);
  EXPECT_TRUE(std::isnan(nml_f_beta(1, -1)));
  EXPECT_EQ(nml_error_code(1), 9031);
}

}  // namespace
