// Band systems against scipy.linalg.solve_banded and a dense solve (tables by
// tools/numerics_further/gen_further_tables.py), in double and in float.
#include "numerics/further/nml_band.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using furthertest::Cases;

namespace {

class Band : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

template <class T>
struct Solved {
  std::vector<T> x, xt;
  std::vector<int> ipvt;
  T rcond = 0, norm = 0;
};

template <class T>
Solved<T> SolveBand(const Case& c) {
  const int n = c.Int("n"), l = c.Int("l"), u = c.Int("u"), lda = l + u + 1;
  const int ldfac = 2 * l + u + 1, one = 1, two = 2;
  const std::vector<T> ab(c["ab"].begin(), c["ab"].end()), b(c["b"].begin(), c["b"].end());
  std::vector<T> fac(static_cast<std::size_t>(ldfac) * n), wk(n);
  Solved<T> s;
  s.x.resize(n);
  s.xt = b;  // solved in place
  s.ipvt.resize(n);
  NML_L2LRB(&n, ab.data(), &lda, &l, &u, b.data(), &one, s.x.data(), fac.data(), s.ipvt.data(),
            wk.data());
  NML_L2CRB(&n, ab.data(), &lda, &l, &u, fac.data(), &ldfac, s.ipvt.data(), &s.rcond, wk.data());
  NML_LFSRB(&n, fac.data(), &ldfac, &l, &u, s.ipvt.data(), s.xt.data(), &two, s.xt.data());
  NML_NR1RB(&n, ab.data(), &lda, &l, &u, &s.norm);
  return s;
}

}  // namespace

TEST_F(Band, SolutionsMatchScipyInBothPrecisions) {
  for (const Case& c : Cases("band")) {
    SCOPED_TRACE(c.name);
    const int n = c.Int("n");
    const double kappa = c["cond"][0];
    const Solved<double> d = SolveBand<double>(c);
    ASSERT_EQ(nml_error_code(1), 0);
    const Solved<float> f = SolveBand<float>(c);
    double scale = 0;
    for (double v : c["x"]) scale = std::max(scale, std::fabs(v));
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(d.x[i], c["x"][i], 10 * n * DBL_EPSILON * kappa * scale) << i;
      EXPECT_NEAR(d.xt[i], c["xt"][i], 10 * n * DBL_EPSILON * kappa * scale) << i;
      EXPECT_NEAR(f.x[i], c["x"][i], 2e-5 * std::max(1.0, kappa / 100) * scale) << i;
      EXPECT_EQ(d.ipvt[i] == i + 1 || d.ipvt[i] <= i + 1 + c.Int("l"), true) << i;
    }
    EXPECT_EQ(d.ipvt[n - 1], n);
    EXPECT_NEAR(d.norm, c["norm"][0], 1e-14 * c["norm"][0]);
    EXPECT_NEAR(f.norm, c["norm"][0], 1e-6 * c["norm"][0]);
    EXPECT_GE(1 / d.rcond, kappa / 10);
    EXPECT_LE(1 / d.rcond, kappa * (1 + 1e-10));
  }
}

TEST_F(Band, PivotingExchangesRowsAndFillsExtraSuperdiagonals) {
  // A non-dominant tridiagonal system: some step takes the row below as pivot row, and U
  // then gains a second superdiagonal in the top row of the factor.
  const Case c = Cases("band").at(2);
  ASSERT_EQ(c.name, "tridiag_nondominant");
  const int n = c.Int("n"), l = 1, u = 1, lda = 3, ldfac = 4;
  std::vector<double> fac(ldfac * n, 99.0), wk(n);
  std::vector<int> ipvt(n);
  NML_L2TRB(&n, c["ab"].data(), &lda, &l, &u, fac.data(), &ldfac, ipvt.data(), wk.data());
  int exchanged = 0;
  bool filled = false;
  for (int k = 0; k < n - 1; ++k) {
    EXPECT_TRUE(ipvt[k] == k + 1 || ipvt[k] == k + 2);
    if (ipvt[k] == k + 2) {
      ++exchanged;
      // Row 1 of column k + 3, where the exchange reaches past the band.
      if (k + 2 < n && fac[(k + 2) * ldfac] != 0.0) filled = true;
    }
  }
  EXPECT_GT(exchanged, 0);
  EXPECT_TRUE(filled);
}

TEST_F(Band, DiagonalAndSingularSystems) {
  const int n = 3, zero = 0, one = 1, lda = 1;
  std::vector<double> a = {2, 4, 8}, b = {2, 2, 2}, x(3), fac(3), wk(3);
  std::vector<int> ipvt(3);
  NML_L2LRB(&n, a.data(), &lda, &zero, &zero, b.data(), &one, x.data(), fac.data(), ipvt.data(),
            wk.data());
  EXPECT_EQ(x, (std::vector<double>{1, 0.5, 0.25}));
  EXPECT_EQ(ipvt, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(fac, a);

  a[1] = 1e-310;  // subnormal: not a usable pivot
  NML_L2LRB(&n, a.data(), &lda, &zero, &zero, b.data(), &one, x.data(), fac.data(), ipvt.data(),
            wk.data());
  EXPECT_EQ(nml_error_type(1), NML_FATAL);
  EXPECT_EQ(nml_error_code(1), 1004);

  // Nearly singular: the solution stands with the warning, which the estimate alone posts too.
  static int warnings;
  warnings = 0;
  nml_error_set_hook([](int type, int code, const char*) {
    if (type == NML_WARNING && code == 1003) ++warnings;
  });
  const int two = 2, l = 1, u = 1, ld3 = 3;
  std::vector<double> ab = {0, 1, 1, 1, 1 + 1e-17, 0}, rhs = {2, 2}, y(2), f2(8), w2(2);
  std::vector<int> p2(2);
  NML_L2LRB(&two, ab.data(), &ld3, &l, &u, rhs.data(), &one, y.data(), f2.data(), p2.data(),
            w2.data());
  nml_error_set_hook(nullptr);
  EXPECT_EQ(nml_error_code(1), 1004) << "exactly singular in double";
  ab[4] = 1 + DBL_EPSILON;
  warnings = 0;
  nml_error_set_hook([](int type, int code, const char*) {
    if (type == NML_WARNING && code == 1003) ++warnings;
  });
  NML_L2LRB(&two, ab.data(), &ld3, &l, &u, rhs.data(), &one, y.data(), f2.data(), p2.data(),
            w2.data());
  nml_error_set_hook(nullptr);
  EXPECT_EQ(nml_error_type(1), NML_WARNING);
  EXPECT_EQ(warnings, 1);
  EXPECT_NEAR(y[0] + y[1], 2.0, 1e-12);
  double rcond = 1;
  const int ldfac = 4;
  NML_L2CRB(&two, ab.data(), &ld3, &l, &u, f2.data(), &ldfac, p2.data(), &rcond, w2.data());
  EXPECT_EQ(nml_error_code(1), 1003);
  EXPECT_LE(rcond, DBL_EPSILON);
}

TEST_F(Band, WideningCopyInPlaceAndCornersIgnored) {
  // 4 x 4 with one upper codiagonal widened to three upper codiagonals in the same array.
  const int n = 4, l = 0, u = 1, lda = 2, ldb = 4, lb = 0, ub = 3;
  std::vector<double> s(16, -1.0);
  const double ab[8] = {777, 1, 2, 3, 4, 5, 6, 7};  // (col 1: corner, a11), (a12, a22), ...
  std::copy(ab, ab + 8, s.begin());
  NML_CRBRB(&n, s.data(), &lda, &l, &u, s.data(), &ldb, &lb, &ub);
  const std::vector<double> want = {0, 0, 0, 1, 0, 0, 2, 3, 0, 0, 4, 5, 0, 0, 6, 7};
  EXPECT_EQ(s, want);
  // The corner held 777: no result depends on it.
  std::vector<double> ab2(ab, ab + 8), norm(1);
  NML_NR1RB(&n, ab2.data(), &lda, &l, &u, norm.data());
  EXPECT_EQ(norm[0], 13.0);
}

TEST_F(Band, RefusedArguments) {
  std::vector<double> a(40, 1.0), b(4, 1.0), x(4, 5.0), fac(40, 5.0), wk(4);
  std::vector<int> ipvt(4, 5);
  double r = 5;
  struct Bad {
    const char* what;
    int n, lda, l, u, ldfac, ipath;
    int code;
    int kind;  // 0 L2LRB, 1 L2TRB, 2 LFSRB, 3 NR1RB, 4 CRBRB (ldfac = ldb, ipath = nucb)
  };
  const std::vector<Bad> table = {
      {"l2lrb n", 0, 3, 1, 1, 0, 1, 1001, 0},     {"l2lrb nlca", 4, 3, 4, 1, 0, 1, 1074, 0},
      {"l2lrb nuca", 4, 3, 1, -1, 0, 1, 1075, 0}, {"l2lrb lda", 4, 2, 1, 1, 0, 1, 1076, 0},
      {"l2lrb ipath", 4, 3, 1, 1, 0, 3, 3097, 0}, {"l2trb n", 0, 3, 1, 1, 4, 1, 1010, 1},
      {"l2trb ldfac", 4, 3, 1, 1, 3, 1, 1077, 1}, {"lfsrb ipath", 4, 3, 1, 1, 4, 0, 3097, 2},
      {"nr1rb lda", 4, 2, 1, 1, 0, 1, 617, 3},    {"nr1rb nlca", 4, 9, 5, 1, 0, 1, 618, 3},
      {"crbrb n", 0, 3, 1, 1, 3, 1, 2001, 4},     {"crbrb lda", 4, 2, 1, 1, 3, 1, 608, 4},
      {"crbrb ldb", 4, 3, 1, 1, 2, 1, 611, 4},    {"crbrb nucb", 4, 3, 1, 1, 9, 0, 613, 4},
  };
  for (const Bad& t : table) {
    switch (t.kind) {
      case 0:
        NML_L2LRB(&t.n, a.data(), &t.lda, &t.l, &t.u, b.data(), &t.ipath, x.data(), fac.data(),
                  ipvt.data(), wk.data());
        break;
      case 1:
        NML_L2TRB(&t.n, a.data(), &t.lda, &t.l, &t.u, fac.data(), &t.ldfac, ipvt.data(), wk.data());
        break;
      case 2:
        NML_LFSRB(&t.n, fac.data(), &t.ldfac, &t.l, &t.u, ipvt.data(), b.data(), &t.ipath,
                  x.data());
        break;
      case 3:
        NML_NR1RB(&t.n, a.data(), &t.lda, &t.l, &t.u, &r);
        break;
      default:
        NML_CRBRB(&t.n, a.data(), &t.lda, &t.l, &t.u, fac.data(), &t.ldfac, &t.l, &t.ipath);
        break;
    }
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << t.what;
    EXPECT_EQ(nml_error_code(1), t.code) << t.what;
    EXPECT_EQ(x, std::vector<double>(4, 5.0)) << t.what;
    EXPECT_EQ(fac, std::vector<double>(40, 5.0)) << t.what;
    EXPECT_EQ(r, 5.0) << t.what;
  }
}
