// Multiple regression and its Givens kernel against numpy's least squares on the design with
// rows scaled by sqrt(weight x frequency) (tools/numerics_further/gen_regression_table.py),
// the analysis of variance against its formulas and scipy, the modified Givens
// transformation against what it must preserve, and the error cases.
#include "numerics/further/nml_regression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/nml_test_util.h"

namespace {

using furthertest::Case;

const std::vector<Case>& Table() {
  static const std::vector<Case> all = [] {
    std::vector<Case> out;
    furthertest::ReadCases(TV_SOURCE_DIR "/numerics/further/testdata/regression_reference.txt",
                           &out);
    return out;
  }();
  return all;
}

const Case& Named(const std::string& name) {
  for (const Case& c : Table())
    if (c.name == name) return c;
  throw std::runtime_error(name);
}

void ExpectClose(double got, double want, double tol, const std::string& what) {
  if (std::isnan(want)) {
    EXPECT_TRUE(std::isnan(got)) << what;
    return;
  }
  EXPECT_NEAR(got, want, tol * (1 + std::fabs(want))) << what;
}

class Regression : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

template <class T>
void CheckRegression(const Case& c, double tol) {
  nmltest::FreshRuntime();
  const int n = c.Int("shape"), k = static_cast<int>(c["shape"][1]);
  const bool intercept = c["shape"][2] != 0;
  std::vector<T> x(c["x"].begin(), c["x"].end()), y(c["y"].begin(), c["y"].end());
  const std::vector<T> x0 = x;
  T* aov = nullptr;
  T* res = nullptr;
  T* cov = nullptr;
  std::vector<T> means(static_cast<std::size_t>(k));
  int rank = -1;
  T* coef = nullptr;
  if constexpr (std::is_same_v<T, double>) {
    coef = intercept ? nml_d_regression(n, k, x.data(), y.data(), NML_ANOVA_TABLE, &aov,
                                        NML_RESIDUAL, &res, NML_RANK, &rank, NML_X_MEAN_USER,
                                        means.data(), NML_COEF_COVARIANCES, &cov, 0)
                     : nml_d_regression(n, k, x.data(), y.data(), NML_NO_INTERCEPT, NML_ANOVA_TABLE,
                                        &aov, NML_RESIDUAL, &res, NML_RANK, &rank, NML_X_MEAN_USER,
                                        means.data(), NML_COEF_COVARIANCES, &cov, 0);
  } else {
    coef = intercept ? nml_f_regression(n, k, x.data(), y.data(), NML_ANOVA_TABLE, &aov,
                                        NML_RESIDUAL, &res, NML_RANK, &rank, NML_X_MEAN_USER,
                                        means.data(), NML_COEF_COVARIANCES, &cov, 0)
                     : nml_f_regression(n, k, x.data(), y.data(), NML_NO_INTERCEPT, NML_ANOVA_TABLE,
                                        &aov, NML_RESIDUAL, &res, NML_RANK, &rank, NML_X_MEAN_USER,
                                        means.data(), NML_COEF_COVARIANCES, &cov, 0);
  }
  ASSERT_TRUE(coef && aov && res && cov) << c.name;
  const int ncoef = k + (intercept ? 1 : 0);
  EXPECT_EQ(rank, c.Int("rank")) << c.name;
  EXPECT_EQ(nml_error_code(1), rank < ncoef ? 11047 : 0) << c.name;
  for (std::size_t i = 0; i < x.size(); ++i)
    if (!std::isnan(x0[i])) {
      EXPECT_EQ(x[i], x0[i]);
    }
  for (int j = 0; j < ncoef; ++j) ExpectClose(coef[j], c["coef"][j], tol, c.name + " coef");
  for (int j = 0; j < ncoef; ++j)
    if (c["coef"][j] == 0) {
      for (int i = 0; i < ncoef; ++i) EXPECT_EQ(cov[j * ncoef + i], 0) << c.name;
    }
  for (int i = 0; i < 15; ++i)
    ExpectClose(aov[i], c["aov"][i], 10 * tol, c.name + " aov " + std::to_string(i));
  for (int i = 0; i < n; ++i) ExpectClose(res[i], c["residual"][i], 10 * tol, c.name + " res");
  for (int j = 0; j < k; ++j) ExpectClose(means[j], c["means"][j], tol, c.name + " mean");
  std::free(coef);
  std::free(aov);
  std::free(res);
  std::free(cov);
}

TEST_F(Regression, MatchesNumpy) {
  ASSERT_EQ(Table().size(), 6u);
  for (const char* name : {"plain", "no_intercept", "collinear", "constant", "missing"}) {
    CheckRegression<double>(Named(name), 1e-10);
    CheckRegression<float>(Named(name), 1e-4);
  }
}

// The kernel with frequency and weight columns, against the scaled design.
TEST_F(Regression, KernelWithFrequenciesAndWeights) {
  const Case& c = Named("weighted");
  const int n = c.Int("shape"), k = 3, ncol = 6;
  std::vector<double> x(static_cast<std::size_t>(n) * ncol);  // column-major
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < k; ++j) x[j * n + i] = c["x"][i * k + j];
    x[3 * n + i] = c["y"][i];
    x[4 * n + i] = c["freq"][i];
    x[5 * n + i] = c["weight"][i];
  }
  const int ind[] = {1, 2, 3}, dep[] = {4};
  std::vector<double> b(4), r(16), d(4), xmin(4), xmax(4), wk(5);
  double dfe = 0, sse = 0;
  int rank = 0, nrmiss = 0;
  nml_r2ivn(0, n, ncol, x.data(), n, 1, 3, ind, 1, dep, 5, 6, 1, 1e-10, b.data(), 4, r.data(), 4,
            d.data(), &rank, &dfe, &sse, 1, &nrmiss, xmin.data(), xmax.data(), wk.data());
  EXPECT_EQ(nml_error_type(1), 0);
  EXPECT_EQ(rank, 4);
  EXPECT_EQ(dfe, c["dfe"][0]);
  EXPECT_NEAR(sse, c["sse"][0], 1e-10 * c["sse"][0]);
  for (int j = 0; j < 4; ++j)
    EXPECT_NEAR(b[j], c["coef"][j], 1e-10 * (1 + std::fabs(c["coef"][j])));
}

// y = 1 + 2x through three points; frequency 3 equals three rows; adding a row and deleting it
// equals never adding it.
TEST_F(Regression, KernelAccumulation) {
  struct Fit {
    std::vector<double> b = std::vector<double>(2), r = std::vector<double>(4),
                        d = std::vector<double>(2), xmin = std::vector<double>(2),
                        xmax = std::vector<double>(2), wk = std::vector<double>(3);
    double dfe = 0, sse = 0;
    int rank = 0, nrmiss = 0;
    void Call(int ido, int nrow, std::vector<double> rows, int ifrq = 0) {
      const int ncol = ifrq ? 3 : 2;
      std::vector<double> x(rows.size());
      const int n = std::max(std::abs(nrow), 1);
      for (int i = 0; i < n && !rows.empty(); ++i)
        for (int j = 0; j < ncol; ++j) x[j * n + i] = rows[i * ncol + j];
      nml_r2ivn(ido, nrow, ncol, x.data(), n, 1, -1, nullptr, 1, std::vector<int>{2}.data(), ifrq,
                0, 1, 1e-10, b.data(), 2, r.data(), 2, d.data(), &rank, &dfe, &sse, 1, &nrmiss,
                xmin.data(), xmax.data(), wk.data());
    }
  };
  Fit line;
  line.Call(0, 3, {0, 1, 1, 3, 2, 5});
  EXPECT_NEAR(line.b[0], 1.0, 1e-14);
  EXPECT_NEAR(line.b[1], 2.0, 1e-14);
  EXPECT_NEAR(line.sse, 0.0, 1e-24);
  EXPECT_EQ(line.dfe, 1.0);
  EXPECT_EQ(line.rank, 2);

  Fit tripled, repeated;
  tripled.Call(0, 3, {0, 1, 1, 1, 3.5, 3, 2, 4, 1}, 3);
  repeated.Call(0, 5, {0, 1, 1, 3.5, 1, 3.5, 1, 3.5, 2, 4});
  EXPECT_EQ(tripled.dfe, repeated.dfe);
  for (int j = 0; j < 2; ++j) EXPECT_NEAR(tripled.b[j], repeated.b[j], 1e-13);
  EXPECT_NEAR(tripled.sse, repeated.sse, 1e-13);

  Fit without, withDeleted;
  without.Call(1, 3, {0, 1, 1, 3.5, 2, 4});
  without.Call(3, 0, {});
  withDeleted.Call(1, 3, {0, 1, 1, 3.5, 2, 4});
  withDeleted.Call(2, 1, {1.5, 9});
  withDeleted.Call(2, -1, {1.5, 9});
  withDeleted.Call(3, 0, {});
  EXPECT_EQ(nml_error_code(1), 0);
  for (int j = 0; j < 2; ++j) EXPECT_NEAR(without.b[j], withDeleted.b[j], 1e-12);
  EXPECT_NEAR(without.sse, withDeleted.sse, 1e-12);
  EXPECT_EQ(without.dfe, withDeleted.dfe);
  // Deleting the row that holds a column's maximum says so.
  nmltest::FreshRuntime();
  Fit extreme;
  extreme.Call(1, 3, {0, 1, 1, 3.5, 2, 4});
  extreme.Call(2, -1, {2, 4});
  EXPECT_EQ(nml_error_code(1), 11048);
}

TEST_F(Regression, ExactFitAndErrors) {
  // As many observations as coefficients: the exact fit with the immediate warning.
  std::vector<double> x = {0, 1}, y = {1, 3};
  double* aov = nullptr;
  double* b = nml_d_regression(2, 1, x.data(), y.data(), NML_ANOVA_TABLE, &aov, 0);
  ASSERT_TRUE(b && aov);
  EXPECT_NEAR(b[0], 1.0, 1e-14);
  EXPECT_NEAR(b[1], 2.0, 1e-14);
  EXPECT_EQ(nml_error_code(1), 11049);
  EXPECT_TRUE(std::isnan(aov[8]));  // F = 0/0
  std::free(b);
  std::free(aov);

  std::vector<double> xs = {0, 1, 2}, ys = {1, 3, 5};
  std::vector<double> cov(4);
  double out[2];
  struct Row {
    const char* what;
    int code;
    std::function<void()> call;
  };
  const Row rows[] = {
      {"unknown option", 11001, [&] { nml_d_regression(3, 1, xs.data(), ys.data(), 77, 0); }},
      {"null x", 6002, [&] { nml_d_regression(3, 1, nullptr, ys.data(), 0); }},
      {"no observations", 603, [&] { nml_d_regression(0, 1, xs.data(), ys.data(), 0); }},
      {"short rows", 1024,
       [&] { nml_d_regression(1, 2, xs.data(), ys.data(), NML_X_COL_DIM, 1, 0); }},
      {"row length without covariances", 11038,
       [&] { nml_d_regression(3, 1, xs.data(), ys.data(), NML_COV_COL_DIM, 2, 0); }},
      {"null caller's array", 104,
       [&] { nml_d_regression(3, 1, xs.data(), ys.data(), NML_RETURN_USER, nullptr, 0); }},
      {"tolerance above 1", 11050,
       [&] { nml_d_regression(3, 1, xs.data(), ys.data(), NML_RANK_TOLERANCE, 2.0, 0); }},
      {"float, null caller's array", 104,
       [&] {
         std::vector<float> fx = {0, 1, 2}, fy = {1, 3, 5};
         nml_f_regression(3, 1, fx.data(), fy.data(), NML_RETURN_USER, nullptr, 0);
       }},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    r.call();
    EXPECT_EQ(nml_error_code(1), r.code) << r.what;
    EXPECT_GE(nml_error_type(1), NML_FATAL) << r.what;
  }
  nmltest::FreshRuntime();
  EXPECT_EQ(nml_d_regression(3, 1, xs.data(), ys.data(), NML_RETURN_USER, out,
                             NML_COEF_COVARIANCES_USER, cov.data(), 0),
            out);
  EXPECT_NEAR(out[1], 2.0, 1e-14);
  // A negative frequency ends the kernel's call with the fatal error.
  nmltest::FreshRuntime();
  std::vector<double> kx = {0, 1, 1, 3, 1, -2};  // columns x, y, frequency
  std::vector<double> bb(2), rr(4), dd(2), mn(2), mx(2), wk(3);
  double dfe = 0, sse = 0;
  int rank = 0, miss = 0;
  const int dep[] = {2};
  nml_r2ivn(0, 2, 3, kx.data(), 2, 1, -1, nullptr, 1, dep, 3, 0, 1, 1e-10, bb.data(), 2, rr.data(),
            2, dd.data(), &rank, &dfe, &sse, 1, &miss, mn.data(), mx.data(), wk.data());
  EXPECT_EQ(nml_error_code(1), 11055);
}

// The transformation H of DROTMG must zero the second component and keep the weighted sum of
// squares: d1' x1'^2 = d1 x1^2 + d2 y1^2, across the rescaling thresholds.
TEST_F(Regression, ModifiedGivens) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  for (int t = 0; t < 400; ++t) {
    double d1 = std::pow(10.0, u(gen) * 5), d2 = std::pow(10.0, u(gen) * 5);
    double x1 = u(gen), y1 = u(gen);
    if (t % 7 == 0) d1 = 0;
    const double before = d1 * x1 * x1 + d2 * y1 * y1;
    double a = x1, b = y1, p[5];
    DROTMG(&d1, &d2, &x1, y1, p);
    ASSERT_GT(p[0], -2 - 1e-12);
    DROTM(1, &a, 1, &b, 1, p);
    EXPECT_NEAR(a, x1, 1e-12 * std::fabs(x1) + 1e-300) << t;
    EXPECT_NEAR(b, 0.0, 1e-12 * (std::fabs(a) + 1)) << t;
    EXPECT_NEAR(d1 * x1 * x1, before, 1e-12 * before) << t;
    EXPECT_GE(d1, 5.96e-8);
    EXPECT_LT(d1, 16780000.0);
  }
  double d1 = 1, d2 = 1, x1 = 1, p[5];
  DROTMG(&d1, &d2, &x1, 0.0, p);
  EXPECT_EQ(p[0], -2);
  d1 = -1;
  DROTMG(&d1, &d2, &x1, 1.0, p);
  EXPECT_EQ(p[0], -1);
  EXPECT_EQ(d1, 0);
  const double v[] = {1, NAN, 3, NAN};
  EXPECT_EQ(IDNAN(4, v, 1), 2);
  EXPECT_EQ(IDNAN(2, v, 2), 0);
  EXPECT_EQ(IDNAN(2, v + 1, -2), 1);  // from the far end: v[3] first
  const double a3[] = {1, 2, 3}, b3[] = {4, 5, 6}, c3[] = {7, 8, 9};
  EXPECT_EQ(DDOT3(3, a3, 1, b3, 1, c3, -1), 1 * 4 * 9 + 2 * 5 * 8 + 3 * 6 * 7);
}

}  // namespace
