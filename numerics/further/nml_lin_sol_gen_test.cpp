// The general linear solver against scipy.linalg.solve/inv and numpy.linalg.cond (tables by
// tools/numerics_further/gen_further_tables.py), its factor layout, options and errors.
#include "numerics/further/nml_lin_sol_gen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using furthertest::Cases;
using Vec = std::vector<double>;

namespace {

class LinSol : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

double NormInf(const Vec& v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

// Largest row sum of |a| of a row-ordered n x n matrix.
double MatNormInf(const Vec& a, int n) {
  double m = 0;
  for (int i = 0; i < n; ++i) {
    double s = 0;
    for (int j = 0; j < n; ++j) s += std::fabs(a[i * n + j]);
    m = std::max(m, s);
  }
  return m;
}

// ||op(A) x - b|| / (||A|| ||x||), rows of a being rows of A.
double BackwardError(const Vec& a, const Vec& x, const Vec& b, int n, bool transposed) {
  Vec r(n);
  for (int i = 0; i < n; ++i) {
    double s = -b[i];
    for (int j = 0; j < n; ++j) s += (transposed ? a[j * n + i] : a[i * n + j]) * x[j];
    r[i] = s;
  }
  return NormInf(r) / (MatNormInf(a, n) * NormInf(x));
}

Vec Take(double* p, int n) {
  Vec v(p, p + n);
  std::free(p);
  return v;
}

}  // namespace

TEST_F(LinSol, SolutionsInverseAndConditionAgreeWithScipy) {
  for (const Case& c : Cases("linsol")) {
    if (c.Has("singular") || !c.Has("x")) continue;
    SCOPED_TRACE(c.name);
    const int n = c.Int("n");
    Vec a = c["a"], b = c["b"];
    double cond = 0, condT = 0;
    double* inva = nullptr;
    const Vec x = Take(
        nml_d_lin_sol_gen(n, a.data(), b.data(), NML_CONDITION, &cond, NML_INVERSE, &inva, 0), n);
    ASSERT_EQ(nml_error_code(1), 0);
    EXPECT_EQ(a, c["a"]) << "a is restored";
    const double eps = DBL_EPSILON;
    EXPECT_LE(BackwardError(a, x, b, n, false), 10 * n * eps);
    const double kappa = c["cond"][0];
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(x[i], c["x"][i], 10 * n * eps * kappa * NormInf(c["x"])) << i;
    EXPECT_GE(cond, kappa / 10);
    EXPECT_LE(cond, kappa * (1 + 1e-12));
    const Vec inv = Take(inva, n * n);
    for (int i = 0; i < n * n; ++i)
      EXPECT_NEAR(inv[i], c["inv"][i], 10 * n * eps * kappa * NormInf(c["inv"])) << i;

    const Vec xt =
        Take(nml_d_lin_sol_gen(n, a.data(), b.data(), NML_TRANSPOSE, NML_CONDITION, &condT, 0), n);
    EXPECT_LE(BackwardError(a, xt, b, n, true), 10 * n * eps);
    EXPECT_EQ(condT, cond) << "the estimate is A's also when solving with trans(A)";
  }
}

TEST_F(LinSol, FactorReconstructsTheMatrixAndSolvesAgain) {
  for (const Case& c : Cases("linsol")) {
    if (c.Has("singular") || !c.Has("x")) continue;
    SCOPED_TRACE(c.name);
    const int n = c.Int("n"), ld = n + 2;
    Vec a = c["a"], b = c["b"];
    int* pvt = nullptr;
    double* fac = nullptr;
    const Vec x = Take(
        nml_d_lin_sol_gen(n, a.data(), b.data(), NML_FACTOR, &pvt, &fac, NML_FAC_COL_DIM, ld, 0),
        n);
    ASSERT_TRUE(pvt && fac);
    // The padding columns are zero; rebuild P*A = L*U from the stored layout: U above and
    // on the diagonal, step k's negated multipliers below it in the rows of step k.
    Vec w(n * n);  // row-ordered working copy, eliminated step by step
    for (int i = 0; i < n; ++i) {
      for (int j = n; j < ld; ++j) EXPECT_EQ(fac[i * ld + j], 0.0);
      for (int j = 0; j < n; ++j) w[i * n + j] = c["a"][i * n + j];
    }
    for (int k = 0; k < n; ++k) {
      const int l = pvt[k] - 1;
      ASSERT_GE(l, k);
      for (int j = 0; j < n; ++j) std::swap(w[k * n + j], w[l * n + j]);
      for (int i = k + 1; i < n; ++i) {
        const double mult = fac[i * ld + k];
        for (int j = k; j < n; ++j) w[i * n + j] += mult * w[k * n + j];
      }
    }
    EXPECT_EQ(pvt[n - 1], n);
    const double scale = MatNormInf(c["a"], n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        EXPECT_NEAR(j >= i ? fac[i * ld + j] : 0.0, w[i * n + j], 1e-14 * scale * n)
            << i << "," << j;

    // Solving from the handed-out factor gives the same solution and leaves it untouched.
    const Vec keep(fac, fac + n * ld);
    Vec x2(n);
    nml_d_lin_sol_gen(n, nullptr, b.data(), NML_SOLVE_ONLY, NML_FACTOR_USER, pvt, fac,
                      NML_FAC_COL_DIM, ld, NML_RETURN_USER, x2.data(), 0);
    EXPECT_EQ(nml_error_code(1), 0);
    EXPECT_EQ(x2, x);
    EXPECT_EQ(Vec(fac, fac + n * ld), keep);
    std::free(pvt);
    std::free(fac);
  }
}

TEST_F(LinSol, PivotFollowsTheScaledValue) {
  // Row 1's candidate is larger, but row 2's dominates its own row.
  Vec a = {10, 1e6, 1, 1e-3}, b = {1, 2};
  int pvt[2];
  double fac[4];
  nml_d_lin_sol_gen(2, a.data(), b.data(), NML_FACTOR_ONLY, NML_FACTOR_USER, pvt, fac, 0);
  EXPECT_EQ(pvt[0], 2);
  EXPECT_EQ(fac[0], 1.0);  // the pivot row's entry leads U
}

TEST_F(LinSol, FactorInPlaceOfAAndInverseOnly) {
  const Case c = Cases("linsol").at(3);  // random 8
  const int n = c.Int("n");
  // The caller's factor array is a itself: the solution and an inverse are still A's.
  Vec a = c["a"], b = c["b"], inv(n * n);
  int pvt[64];
  const Vec x = Take(nml_d_lin_sol_gen(n, a.data(), b.data(), NML_FACTOR_USER, pvt, a.data(),
                                       NML_INVERSE_USER, inv.data(), 0),
                     n);
  ASSERT_EQ(nml_error_code(1), 0);
  EXPECT_LE(BackwardError(c["a"], x, b, n, false), 10 * n * DBL_EPSILON);
  for (int i = 0; i < n * n; ++i) EXPECT_NEAR(inv[i], c["inv"][i], 1e-10) << i;
  EXPECT_NE(a, c["a"]) << "a received the factor";

  // The inverse alone, into a wider caller's array whose padding survives.
  Vec a2 = c["a"], wide(n * (n + 1), -7.0);
  double cond = 0;
  EXPECT_EQ(nml_d_lin_sol_gen(n, a2.data(), nullptr, NML_INVERSE_ONLY, NML_INVERSE_USER,
                              wide.data(), NML_INV_COL_DIM, n + 1, NML_CONDITION, &cond, 0),
            nullptr);
  EXPECT_EQ(nml_error_code(1), 0);
  EXPECT_EQ(a2, c["a"]);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(wide[i * (n + 1) + n], -7.0);
    for (int j = 0; j < n; ++j) EXPECT_NEAR(wide[i * (n + 1) + j], c["inv"][i * n + j], 1e-10);
  }
  EXPECT_GE(cond, c["cond"][0] / 10);
}

TEST_F(LinSol, NearlySingularWarnsAndSingularFails) {
  const Case h = Cases("linsol").at(9);
  ASSERT_EQ(h.name, "hilbert12");
  std::vector<int> seen;
  static std::vector<int>* sink;
  sink = &seen;
  nml_error_set_hook([](int type, int code, const char*) { sink->push_back(type * 10000 + code); });
  Vec a = h["a"], b = h["b"];
  double* inva = nullptr;
  double* x = nml_d_lin_sol_gen(12, a.data(), b.data(), NML_INVERSE, &inva, 0);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(nml_error_type(1), NML_WARNING);
  EXPECT_EQ(nml_error_code(1), 1003);
  // One estimate for the solve, one in the inverse's own factorisation, and the inverse's
  // repeat of it.
  EXPECT_GE(std::count(seen.begin(), seen.end(), NML_WARNING * 10000 + 1003), 1);
  // Forward error is at the mercy of a condition near 1/eps; the residual is not.
  EXPECT_LE(BackwardError(h["a"], Vec(x, x + 12), b, 12, false), 120 * DBL_EPSILON);
  std::free(x);
  std::free(inva);
  nml_error_set_hook(nullptr);

  const Case z = Cases("linsol").at(10);
  ASSERT_EQ(z.name, "zerocolumn6");
  a = z["a"];
  b = z["b"];
  double cond = -1;
  EXPECT_EQ(nml_d_lin_sol_gen(6, a.data(), b.data(), NML_CONDITION, &cond, 0), nullptr);
  EXPECT_EQ(nml_error_type(1), NML_FATAL);
  EXPECT_EQ(nml_error_code(1), 1004);
  EXPECT_EQ(cond, -1.0) << "left untouched";
  EXPECT_EQ(a, z["a"]);
  Vec user(6, 5.0);
  EXPECT_EQ(nml_d_lin_sol_gen(6, a.data(), b.data(), NML_RETURN_USER, user.data(), 0), user.data());

  Vec one = {0.0}, rhs = {1.0};
  EXPECT_EQ(nml_d_lin_sol_gen(1, one.data(), rhs.data(), 0), nullptr);
  EXPECT_EQ(nml_error_code(1), 1004);
  one = {4.0};
  const Vec x1 = Take(nml_d_lin_sol_gen(1, one.data(), rhs.data(), 0), 1);
  EXPECT_EQ(x1[0], 0.25);
}

TEST_F(LinSol, RefusedCallsComputeAndWriteNothing) {
  Vec a = {2, 1, 1, 3}, b = {1, 2}, fac(4, 9.0), inva(4, 9.0), x(2, 9.0);
  int pvt[2] = {9, 9};
  double cond = 9;
  struct Bad {
    const char* what;
    std::function<double*()> call;
    int code;
  };
  const std::vector<Bad> table = {
      {"solve only with condition",
       [&] {
         return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_SOLVE_ONLY, NML_FACTOR_USER, pvt,
                                  fac.data(), NML_CONDITION, &cond, 0);
       },
       1038},
      {"factor only and inverse only",
       [&] {
         return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_FACTOR_ONLY, NML_INVERSE_ONLY,
                                  NML_FACTOR_USER, pvt, fac.data(), 0);
       },
       1091},
      {"solve only without a factor",
       [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_SOLVE_ONLY, 0); }, 1027},
      {"inverse only without an inverse",
       [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_INVERSE_ONLY, 0); }, 1039},
      {"factor only without a factor",
       [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_FACTOR_ONLY, 0); }, 1040},
      {"negative code", [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), -5, 0); }, 103},
      {"unknown code", [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), 777, 0); }, 103},
      {"null factor array",
       [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_FACTOR_USER, pvt, nullptr, 0); },
       105},
      {"null solution array",
       [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_RETURN_USER, nullptr, 0); }, 104},
      {"null a", [&] { return nml_d_lin_sol_gen(2, nullptr, b.data(), 0); }, 150},
      {"null b", [&] { return nml_d_lin_sol_gen(2, a.data(), nullptr, 0); }, 150},
      {"n = 0", [&] { return nml_d_lin_sol_gen(0, a.data(), b.data(), 0); }, 1010},
      {"row length below n",
       [&] { return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_A_COL_DIM, 1, 0); }, 1014},
      // An inverse row length below n would overrun the inverse: refused before any write.
      {"inverse row length below n",
       [&] {
         return nml_d_lin_sol_gen(2, a.data(), b.data(), NML_INVERSE_USER, inva.data(),
                                  NML_INV_COL_DIM, 1, 0);
       },
       1014},
      {"inverse only, inverse row length below n",
       [&] {
         return nml_d_lin_sol_gen(2, a.data(), nullptr, NML_INVERSE_ONLY, NML_INVERSE_USER,
                                  inva.data(), NML_INV_COL_DIM, 1, 0);
       },
       1014},
      // Solving from a factor needs no a, but an inverse is computed from a.
      {"inverse with solve only and no a",
       [&] {
         return nml_d_lin_sol_gen(2, nullptr, b.data(), NML_SOLVE_ONLY, NML_FACTOR_USER, pvt,
                                  fac.data(), NML_INVERSE_USER, inva.data(), 0);
       },
       150},
  };
  for (const Bad& t : table) {
    EXPECT_EQ(t.call(), nullptr) << t.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << t.what;
    EXPECT_EQ(nml_error_code(1), t.code) << t.what;
    EXPECT_EQ(a, (Vec{2, 1, 1, 3})) << t.what;
    EXPECT_EQ(fac, Vec(4, 9.0)) << t.what;
    EXPECT_EQ(inva, Vec(4, 9.0)) << t.what;
    EXPECT_EQ(cond, 9.0) << t.what;
    EXPECT_EQ(pvt[0], 9) << t.what;
  }
  // The typed option list reports a value of the wrong kind like an unknown code.
  EXPECT_EQ(nml_d_lin_sol_gen(2, a.data(), b.data(), nml_opts(NML_CONDITION, 1.5)), nullptr);
  EXPECT_EQ(nml_error_code(1), 103);
  // Values after the closing 0 are not read.
  const Vec ok = Take(nml_d_lin_sol_gen(2, a.data(), b.data(), 0, 777), 2);
  EXPECT_NEAR(ok[0], 0.2, 1e-15);
  EXPECT_NEAR(ok[1], 0.6, 1e-15);
}
