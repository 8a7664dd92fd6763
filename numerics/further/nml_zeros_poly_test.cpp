// Polynomial zeros against known roots and mpmath's polyroots (tables by
// tools/numerics_further/gen_eigen_roots_fits_tables.py), with the backward error of every
// zero, the worked cases, the zeros at infinity and the errors, on both paths.
#include "numerics/further/nml_zeros_poly.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <limits>
#include <vector>

#include "numerics/further/eigen_roots_fits_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using Cx = std::complex<double>;

namespace {

class ZerosPoly : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

std::vector<Cx> Take(nml_d_complex* z, int n) {
  std::vector<Cx> v;
  for (int i = 0; i < n; ++i) v.push_back({z[i].re, z[i].im});
  std::free(z);
  return v;
}

// |p(z)| over the sum of |c_i| |z|^i: the relative backward error of one zero.
double BackwardError(const std::vector<double>& coef, Cx z) {
  Cx v = 0;
  double s = 0;
  for (std::size_t i = coef.size(); i-- > 0;) {
    v = v * z + coef[i];
    s = s * std::abs(z) + std::fabs(coef[i]);
  }
  return s == 0 ? 0 : std::abs(v) / s;
}

void ExpectSameMultiset(const std::vector<Cx>& got, std::vector<Cx> want, double rel) {
  ASSERT_EQ(got.size(), want.size());
  for (const Cx& g : got) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < want.size(); ++k)
      if (std::abs(want[k] - g) < std::abs(want[best] - g)) best = k;
    EXPECT_LE(std::abs(want[best] - g), rel * std::max(1.0, std::abs(want[best]))) << g;
    want.erase(want.begin() + best);
  }
}

const double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST_F(ZerosPoly, ReferencePolynomialsOnBothPaths) {
  const auto cases = furthertest::EigenRootsFitsCases("roots");
  ASSERT_GE(cases.size(), 13u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int ndeg = c.Int("ndeg");
    std::vector<double> coef = c["coef"];
    std::vector<Cx> want, np;
    for (int k = 0; k < ndeg; ++k) {
      want.push_back({c["re"][k], c["im"][k]});
      np.push_back({c["np_re"][k], c["np_im"][k]});
    }
    // numpy's roots (eigenvalues of the companion matrix) agree with the exact ones: the
    // table itself is sound. How close they come bounds what that method can reach.
    ExpectSameMultiset(np, want, 1e-6);
    double npError = 0;
    for (const Cx& r : np) {
      double best = kInf;
      for (const Cx& w : want) best = std::min(best, std::abs(r - w) / std::max(1.0, std::abs(w)));
      npError = std::max(npError, best);
    }
    for (bool companion : {false, true}) {
      SCOPED_TRACE(companion ? "companion" : "Jenkins-Traub");
      nml_d_complex* z = companion ? nml_d_zeros_poly(ndeg, coef.data(), NML_COMPANION, 0)
                                   : nml_d_zeros_poly(ndeg, coef.data(), 0);
      ASSERT_NE(z, nullptr);
      EXPECT_EQ(nml_error_code(1), 0);
      EXPECT_EQ(coef, c["coef"]) << "the caller's array is restored";
      const std::vector<Cx> got = Take(z, ndeg);
      // Jenkins-Traub: each zero is accurate to the polynomial it was taken from, so the
      // zeros found after many deflations carry their rounding (measured: backward error
      // 5e-12 at degree 50, 4e-8 at degree 100 with all moduli near 1). Companion matrix:
      // the eigenvalue-only QR iteration chases its bulge partly by elementary
      // transformations, which lose accuracy on large companion matrices (measured:
      // 3e-12 at degree 50, 4e-4 at degree 100, where numpy's orthogonal one reaches 5e-15).
      double backward = ndeg <= 20 ? 1e-12 : 1e-11, forward = 1e-10;
      if (companion) {
        backward = 1e-11;
        forward = std::max(1e-10, 10 * npError);
      }
      if (ndeg > 50) {
        backward = companion ? 1e-2 : 1e-7;
        forward = companion ? 1e-3 : 1e-8;
      }
      for (const Cx& r : got) EXPECT_LE(BackwardError(coef, r), backward) << r;
      ExpectSameMultiset(got, want, forward);
    }
  }
}

TEST_F(ZerosPoly, WorkedCasesGiveTheirZerosInOrder) {
  struct Worked {
    std::vector<double> coef;
    std::vector<Cx> zeros;
    bool companion;
  };
  const Worked cases[] = {
      {{2, -3, 1}, {{1, 0}, {2, 0}}, false},
      {{1, 0, 1}, {{0, -1}, {0, 1}}, false},
      {{0, 1, 0, 1}, {{0, 0}, {0, 1}, {0, -1}}, false},
      {{-4, 2}, {{2, 0}}, false},
      {{-6, 11, -6, 1}, {{3, 0}, {2, 0}, {1, 0}}, true},
  };
  for (const auto& w : cases) {
    std::vector<double> coef = w.coef;
    const int ndeg = static_cast<int>(coef.size()) - 1;
    const auto got = Take(w.companion ? nml_d_zeros_poly(ndeg, coef.data(), NML_COMPANION, 0)
                                      : nml_d_zeros_poly(ndeg, coef.data(), 0),
                          ndeg);
    for (int k = 0; k < ndeg; ++k) {
      EXPECT_NEAR(got[k].real(), w.zeros[k].real(), 1e-14) << ndeg << " " << k;
      EXPECT_NEAR(got[k].imag(), w.zeros[k].imag(), 1e-14) << ndeg << " " << k;
    }
  }
}

TEST_F(ZerosPoly, VanishingLeadingCoefficientsGiveZerosAtInfinityOnBothPaths) {
  for (bool companion : {false, true}) {
    SCOPED_TRACE(companion);
    auto call = [&](std::vector<double>& coef) {
      const int ndeg = static_cast<int>(coef.size()) - 1;
      return Take(companion ? nml_d_zeros_poly(ndeg, coef.data(), NML_COMPANION, 0)
                            : nml_d_zeros_poly(ndeg, coef.data(), 0),
                  ndeg);
    };
    std::vector<double> c = {1, 2, 0, 0};
    auto z = call(c);
    EXPECT_EQ(nml_error_type(1), NML_WARNING);
    EXPECT_EQ(nml_error_code(1), 7004);
    EXPECT_DOUBLE_EQ(z[0].real(), -0.5);
    EXPECT_EQ(z[1], Cx(kInf, 0));
    EXPECT_EQ(z[2], Cx(kInf, 0));

    std::vector<double> zeros(5, 0.0);
    z = call(zeros);
    EXPECT_EQ(nml_error_code(1), 7004);
    for (const Cx& r : z) EXPECT_EQ(r, Cx(kInf, 0));
  }
}

TEST_F(ZerosPoly, DegreeLimitsAndOptionErrors) {
  nmltest::ExitTrap noExit;  // a failure returns; it never ends the program
  // Degree 101: beyond the Jenkins-Traub record, but the companion path takes it.
  std::vector<double> coef(102, 0.0);
  coef[0] = -1;
  coef[101] = 1;
  EXPECT_EQ(nml_d_zeros_poly(101, coef.data(), 0), nullptr);
  EXPECT_EQ(nml_error_type(1), NML_TERMINAL);
  EXPECT_EQ(nml_error_code(1), 7002);
  const auto z = Take(nml_d_zeros_poly(101, coef.data(), NML_COMPANION, 0), 101);
  EXPECT_EQ(nml_error_code(1), 0);
  for (const Cx& r : z) EXPECT_NEAR(std::abs(r), 1.0, 1e-9);

  nml_d_complex mine[2];
  double q[3] = {2, -3, 1};
  EXPECT_EQ(nml_d_zeros_poly(2, q, NML_RETURN_USER, mine, 0), mine);

  struct Bad {
    const char* what;
    int code;
    nml_d_complex* (*call)(double*);
  };
  const Bad bad[] = {
      {"ndeg 0", 7002, [](double* c) { return nml_d_zeros_poly(0, c, 0); }},
      {"negative ndeg, companion", 1010,
       [](double* c) { return nml_d_zeros_poly(-3, c, NML_COMPANION, 0); }},
      {"ndeg 0, companion", 1010,
       [](double* c) { return nml_d_zeros_poly(0, c, NML_COMPANION, 0); }},
      {"unknown option", 103, [](double* c) { return nml_d_zeros_poly(2, c, 10094, 0); }},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(b.call(q), nullptr) << b.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << b.what;
    EXPECT_EQ(nml_error_code(1), b.code) << b.what;
  }
}

TEST_F(ZerosPoly, NonFiniteCoefficientsEndWithoutHanging) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {nan, kInf}) {
    for (bool companion : {false, true}) {
      std::vector<double> coef = {1, bad, -2, 0.5, 3};
      nml_d_complex* z = companion ? nml_d_zeros_poly(4, coef.data(), NML_COMPANION, 0)
                                   : nml_d_zeros_poly(4, coef.data(), 0);
      std::free(z);
      EXPECT_NE(nml_error_code(1), 0) << bad << " " << companion;
    }
  }
}
