// The analysis-of-variance table, safe division, covariance and triangular kernels: the
// worked cases of their definitions and their argument errors.
#include "numerics/further/nml_regression_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "numerics/nml_test_util.h"

namespace {

class RegressionKernels : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST_F(RegressionKernels, AnalysisOfVarianceTable) {
  double aov[15];
  nml_g1aov(1.0, 8.0, 2.0, 2.0, 5.0, aov);
  const double want[15] = {1, 2, 3, 8, 2, 10, 8, 1, 8, 0.10557280900008412, 80, 70, 1, 5, 20};
  for (int i = 0; i < 15; ++i) EXPECT_NEAR(aov[i], want[i], 1e-12) << i;  // p: scipy f.sf
  float aovf[15];
  nml_g1aov(1.0f, 8.0f, 2.0f, 2.0f, 5.0f, aovf);
  for (int i = 0; i < 15; ++i) EXPECT_NEAR(aovf[i], want[i], 1e-5) << i;

  nml_g1aov(1.0, 8.0, 2.0, 0.0, 5.0, aov);  // exact fit: F infinite, p 0
  EXPECT_EQ(aov[8], kInf);
  EXPECT_EQ(aov[9], 0.0);
  nml_g1aov(1.0, 8.0, 0.0, 0.0, 5.0, aov);  // no error degrees of freedom
  for (int i : {7, 8, 9, 12, 14}) EXPECT_TRUE(std::isnan(aov[i])) << i;
  nml_g1aov(1.0, 8.0, 2.0, 2.0, 0.0, aov);
  EXPECT_EQ(aov[14], kInf);
  nml_g1aov(1.0, 8.0, 2.0, 0.0, 0.0, aov);
  EXPECT_TRUE(std::isnan(aov[14]));

  std::vector<double> keep(15, 7.0);
  nml_g1aov(1.0, -8.0, 2.0, 2.0, 5.0, keep.data());
  EXPECT_EQ(nml_error_code(1), 11061);
  EXPECT_EQ(keep, std::vector<double>(15, 7.0));
}

TEST_F(RegressionKernels, SafeDivision) {
  struct Q {
    double a, b, want;
  };
  for (const Q& q : std::vector<Q>{{1, 0, kInf},
                                   {-1, 0, -kInf},
                                   {1, -0.0, kInf},
                                   {1e-300, 1e300, 0},
                                   {1e300, 1e-300, kInf},
                                   {-1e300, 1e-300, -kInf},
                                   {6, 3, 2}}) {
    double r;
    nml_d_safe_div(q.a, q.b, &r);
    EXPECT_EQ(r, q.want) << q.a << "/" << q.b;
  }
  double r;
  nml_d_safe_div(0, 0, &r);
  EXPECT_TRUE(std::isnan(r));
  nml_d_safe_div(NAN, 1, &r);
  EXPECT_TRUE(std::isnan(r));
  float f;
  nml_f_safe_div(1e-30f, 1e30f, &f);
  EXPECT_EQ(f, 0.0f);
}

TEST_F(RegressionKernels, CovarianceWithDroppedCoefficients) {
  // R = diag(2, 0, 4): the second coefficient dropped.
  std::vector<double> r = {2, 0, 0, 0, 0, 0, 0, 0, 4};
  std::vector<double> cov(3 * 5, -1.0);  // rows of 5 entries: the extra two stay
  nml_rcovb(3, r.data(), 3, 1.0, cov.data(), 5);
  EXPECT_EQ(nml_error_code(1), 0);
  const double want[3][3] = {{0.25, 0, 0}, {0, 0, 0}, {0, 0, 0.0625}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(cov[i * 5 + j], want[i][j]) << i << "," << j;
    EXPECT_EQ(cov[i * 5 + 3], -1.0);
    EXPECT_EQ(cov[i * 5 + 4], -1.0);
  }
  // A general R: s2 (R'R)^-1 checked by multiplying back.
  std::vector<double> g = {2, 0, 0, 1, 3, 0, -1, 0.5, 1.5}, c(9);
  nml_rcovb(3, g.data(), 3, 2.0, c.data(), 3);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double rtr_c = 0;  // ((R'R) C)(i, j) = 2 I
      for (int k = 0; k < 3; ++k) {
        double rtr = 0;
        for (int l = 0; l < 3; ++l) rtr += g[i * 3 + l] * g[k * 3 + l];
        rtr_c += rtr * c[k * 3 + j];
      }
      EXPECT_NEAR(rtr_c, i == j ? 2.0 : 0.0, 1e-13) << i << "," << j;
    }
  }
  // A zero diagonal with a non-zero entry right of it is refused.
  std::vector<double> bad = {2, 0, 0, 1, 0, 0, 0, 5, 4}, out(9, 3.0);
  nml_rcovb(3, bad.data(), 3, 1.0, out.data(), 3);
  EXPECT_EQ(nml_error_code(1), 11060);
  EXPECT_EQ(out, std::vector<double>(9, 3.0));
  nml_rcovb(3, g.data(), 3, -1.0, out.data(), 3);
  EXPECT_EQ(nml_error_code(1), 11061);
}

TEST_F(RegressionKernels, TriangularSolvesWithDroppedCoefficients) {
  // R = [[2, 1, 0], [0, 0, 0], [0, 0, 4]] (column order below).
  std::vector<double> r = {2, 0, 0, 1, 0, 0, 0, 0, 4};
  int rank = 0;
  std::vector<double> b = {4, 0, 8}, x(3);
  l_girts(3, r.data(), 3, 1, b.data(), 3, 1, &rank, x.data(), 3, nullptr, 1);
  EXPECT_EQ(rank, 2);
  EXPECT_EQ(x, (std::vector<double>{2, 0, 2}));
  EXPECT_EQ(nml_error_code(1), 0);
  b = {4, 1, 8};  // inconsistent at the dropped row: warned, the entry set to 0
  l_girts(3, r.data(), 3, 1, b.data(), 3, 1, &rank, x.data(), 3, nullptr, 1);
  EXPECT_EQ(nml_error_type(1), NML_WARNING);
  EXPECT_EQ(nml_error_code(1), 11058);
  EXPECT_EQ(x[1], 0.0);
  b = {4, 2, 8};  // R'x = b: row 2 reads 1*x1 + 0*x2 = 2, consistent with x1 = 2
  l_girts(3, r.data(), 3, 1, b.data(), 3, 2, &rank, x.data(), 3, nullptr, 1);
  EXPECT_EQ(nml_error_code(1), 0);
  EXPECT_EQ(x, (std::vector<double>{2, 0, 2}));
  b = {4, 3, 8};
  l_girts(3, r.data(), 3, 1, b.data(), 3, 2, &rank, x.data(), 3, nullptr, 1);
  EXPECT_EQ(nml_error_code(1), 11059);
}
