// The double-precision eigensystem against scipy.linalg.eig (tables by
// tools/numerics_further/gen_eigen_roots_fits_tables.py), residuals and normalisation
// checked against the matrix itself, the small worked cases, options and errors.
#include "numerics/further/nml_eigensystem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "numerics/further/eigen_roots_fits_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using Cx = std::complex<double>;

namespace {

class EigenSystem : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

Cx C(nml_d_complex z) { return {z.re, z.im}; }

// Largest column sum of |a| over the n x n part of a row-ordered matrix of row length ld.
double Norm1(const std::vector<double>& a, int n, int ld) {
  double best = 0;
  for (int j = 0; j < n; ++j) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += std::fabs(a[i * ld + j]);
    best = std::max(best, s);
  }
  return best;
}

// Every computed eigenvalue matched to its own nearest reference value.
void ExpectSameMultiset(const std::vector<Cx>& got, std::vector<Cx> want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (const Cx& g : got) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < want.size(); ++k)
      if (std::abs(want[k] - g) < std::abs(want[best] - g)) best = k;
    EXPECT_LE(std::abs(want[best] - g), tol) << g;
    want.erase(want.begin() + best);
  }
}

// Non-increasing modulus; the member of a conjugate pair with positive imaginary part first.
void ExpectOrdered(const std::vector<Cx>& e) {
  for (std::size_t k = 0; k + 1 < e.size(); ++k) EXPECT_GE(std::abs(e[k]), std::abs(e[k + 1])) << k;
  for (std::size_t k = 0; k + 1 < e.size(); ++k) {
    if (e[k].imag() != 0 && e[k + 1] == std::conj(e[k])) {
      EXPECT_GT(e[k].imag(), 0) << k;
      ++k;
    }
  }
}

}  // namespace

TEST_F(EigenSystem, ReferenceMatricesMatchScipyWithUnitVectorsAndTheMatrixUntouched) {
  const auto cases = furthertest::EigenRootsFitsCases("eig");
  ASSERT_GT(cases.size(), 20u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int n = c.Int("n"), ld = c.Int("col_dim");
    std::vector<double> a = c["a"];
    const std::vector<double> before = a;
    std::vector<Cx> want;
    for (int k = 0; k < n; ++k) want.push_back({c["re"][k], c["im"][k]});
    const double anorm = Norm1(a, n, ld);

    // Eigenvalues alone.
    nml_d_complex* e = nml_d_eig_gen(n, a.data(), NML_A_COL_DIM, ld, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(nml_error_code(1), 0);
    std::vector<Cx> vals;
    for (int k = 0; k < n; ++k) vals.push_back(C(e[k]));
    std::free(e);
    ExpectSameMultiset(vals, want, 1e-10 * anorm);
    ExpectOrdered(vals);
    EXPECT_EQ(std::memcmp(a.data(), before.data(), a.size() * sizeof(double)), 0);

    // With vectors, into a new array and into the caller's array with a longer row.
    nml_d_complex* v = nullptr;
    const int vld = n + 2;
    std::vector<nml_d_complex> mine(static_cast<std::size_t>(n) * vld, nml_d_complex{-7, -7});
    e = nml_d_eig_gen(n, a.data(), NML_A_COL_DIM, ld, NML_EIGENVECTORS, &v, NML_VECTORS_USER,
                      mine.data(), NML_EVECU_COL_DIM, vld, 0);
    ASSERT_TRUE(e && v);
    EXPECT_EQ(std::memcmp(a.data(), before.data(), a.size() * sizeof(double)), 0);
    vals.clear();
    for (int k = 0; k < n; ++k) vals.push_back(C(e[k]));
    ExpectSameMultiset(vals, want, 1e-10 * anorm);
    ExpectOrdered(vals);
    for (int k = 0; k < n; ++k) {
      std::vector<Cx> x(n);
      double len = 0;
      int big = 0;
      for (int i = 0; i < n; ++i) {
        x[i] = C(v[i * n + k]);
        EXPECT_EQ(x[i], C(mine[i * vld + k])) << "both outputs hold the same vectors";
        len += std::norm(x[i]);
        if (std::norm(x[i]) > std::norm(x[big])) big = i;
      }
      EXPECT_NEAR(std::sqrt(len), 1.0, 1e-14) << k;
      EXPECT_EQ(x[big].imag(), 0.0) << k;
      EXPECT_GT(x[big].real(), 0.0) << k;
      double res = 0;
      for (int i = 0; i < n; ++i) {
        Cx s = 0;
        for (int j = 0; j < n; ++j) s += before[i * ld + j] * x[j];
        res += std::norm(s - vals[k] * x[i]);
      }
      EXPECT_LE(std::sqrt(res), 1e-12 * n * anorm) << k;
      if (k + 1 < n && vals[k].imag() > 0 && vals[k + 1] == std::conj(vals[k])) {
        for (int i = 0; i < n; ++i) EXPECT_EQ(C(v[i * n + k + 1]), std::conj(x[i])) << k;
      }
    }
    for (int i = 0; i < n; ++i)
      for (int j = n; j < vld; ++j) EXPECT_EQ(mine[i * vld + j].re, -7) << "beyond the row";
    std::free(e);
    std::free(v);
  }
}

TEST_F(EigenSystem, SmallCasesHaveTheirExactAnswers) {
  double one[1] = {-2.5};
  nml_d_complex* v = nullptr;
  nml_d_complex* e = nml_d_eig_gen(1, one, NML_EIGENVECTORS, &v, 0);
  ASSERT_TRUE(e && v);
  EXPECT_EQ(C(e[0]), Cx(-2.5, 0));
  EXPECT_EQ(C(v[0]), Cx(1, 0));
  std::free(e);
  std::free(v);

  double rot[4] = {0, -1, 1, 0};
  nml_d_complex mine[2];
  EXPECT_EQ(nml_d_eig_gen(2, rot, NML_RETURN_USER, mine, 0), mine);
  EXPECT_NEAR(mine[0].re, 0, 1e-15);
  EXPECT_DOUBLE_EQ(mine[0].im, 1);
  EXPECT_NEAR(mine[1].re, 0, 1e-15);
  EXPECT_DOUBLE_EQ(mine[1].im, -1);

  // Equal moduli of opposite sign: both appear.
  double flip[4] = {0, 3, 3, 0};
  e = nml_d_eig_gen(2, flip, 0);
  ASSERT_NE(e, nullptr);
  EXPECT_DOUBLE_EQ(std::max(e[0].re, e[1].re), 3);
  EXPECT_DOUBLE_EQ(std::min(e[0].re, e[1].re), -3);
  std::free(e);
}

TEST_F(EigenSystem, ArgumentErrorsAreTerminalAndReturnNull) {
  nmltest::ExitTrap noExit;  // a failure returns; it never ends the program
  double a[4] = {1, 2, 3, 4};
  static nml_d_complex vecs[4];
  struct Bad {
    const char* what;
    int code;
    nml_d_complex* (*call)(double*);
  };
  const Bad bad[] = {
      {"n = 0", 1010, [](double* a) { return nml_d_eig_gen(0, a, 0); }},
      {"n above the row length", 1014,
       [](double* a) { return nml_d_eig_gen(2, a, NML_A_COL_DIM, 1, 0); }},
      {"null matrix", 6002, [](double*) { return nml_d_eig_gen(2, nullptr, 0); }},
      {"null caller's vectors", 104,
       [](double* a) {
         return nml_d_eig_gen(2, a, NML_VECTORS_USER, static_cast<nml_d_complex*>(nullptr), 0);
       }},
      {"unknown option first", 103, [](double* a) { return nml_d_eig_gen(2, a, 10097, 0); }},
      {"caller's row length below n", 2003,
       [](double* a) {
         return nml_d_eig_gen(2, a, NML_VECTORS_USER, vecs, NML_EVECU_COL_DIM, 1, 0);
       }},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(b.call(a), nullptr) << b.what;
    EXPECT_EQ(nml_error_code(1), b.code) << b.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << b.what;
  }
  const double same[4] = {1, 2, 3, 4};
  EXPECT_EQ(std::memcmp(a, same, sizeof a), 0);
}

TEST_F(EigenSystem, AStalledIterationGivesNaNsOrAFailureNeverUnsetValues) {
  nmltest::ExitTrap noExit;
  // Row 4 is isolated by the balancing (eigenvalue 5); a NaN in the block of rows 1..3
  // keeps every subdiagonal element from becoming negligible.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> a = {1, 2, 0, 7, 3, nan, 1, 7, 0.5, 1, 2, 7, 0, 0, 0, 5};
  nml_d_complex mine[4] = {{1, 1}, {1, 1}, {1, 1}, {1, 1}};
  ASSERT_EQ(nml_d_eig_gen(4, a.data(), NML_RETURN_USER, mine, 0), mine);
  EXPECT_EQ(nml_error_type(1), NML_WARNING);
  EXPECT_EQ(nml_error_code(1), 2009);
  EXPECT_EQ(C(mine[0]), Cx(5, 0));
  for (int k = 1; k < 4; ++k) EXPECT_TRUE(std::isnan(mine[k].re) && std::isnan(mine[k].im)) << k;

  nml_d_complex sentinel{};
  nml_d_complex* v = &sentinel;
  EXPECT_EQ(nml_d_eig_gen(4, a.data(), NML_EIGENVECTORS, &v, 0), nullptr);
  EXPECT_EQ(v, nullptr) << "the new vector array is released, not handed out";
  EXPECT_EQ(nml_error_type(1), NML_FATAL);
  EXPECT_EQ(nml_error_code(1), 2009);
}
