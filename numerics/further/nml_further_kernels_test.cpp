// Kernels, rotations, norms, complex arithmetic and the small routines against scipy's BLAS,
// math and cmath (tables by tools/numerics_further/gen_further_tables.py) and the worked
// cases of their definitions.
#include "numerics/further/nml_further_kernels.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/further/nml_dcomplex.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using furthertest::Cases;

namespace {

class Further : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

// |a - b| within k units in the last place of b's magnitude scale.
::testing::AssertionResult WithinUlps(double a, double b, double k, double scale = 0.0) {
  const double unit =
      std::nextafter(std::max(std::fabs(b), scale), INFINITY) - std::max(std::fabs(b), scale);
  if (std::fabs(a - b) <= k * unit) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << a << " vs " << b << " (" << std::fabs(a - b) / unit << " ulp)";
}

const char* Letter(int flag, const char* yes, const char* no) { return flag ? yes : no; }

}  // namespace

TEST_F(Further, LevelOneKernelsMatchScipyIncludingNegativeIncrements) {
  for (const Case& c : Cases("ddot")) {
    SCOPED_TRACE(c.name);
    const double r = DDOT(c.Int("n"), c["x"].data(), c.Int("incx"), c["y"].data(), c.Int("incy"));
    double bound = 0.0;
    for (double v : c["x"]) bound += std::fabs(v) * 5.0;
    EXPECT_NEAR(r, c["result"][0], 1e-15 * std::max(c.Int("n"), 1) * bound);
  }
  for (const Case& c : Cases("daxpy")) {
    SCOPED_TRACE(c.name);
    std::vector<double> y = c["y"];
    DAXPY(c.Int("n"), c["a"][0], c["x"].data(), c.Int("incx"), y.data(), c.Int("incy"));
    for (std::size_t i = 0; i < y.size(); ++i) EXPECT_NEAR(y[i], c["result"][i], 1e-14) << i;
  }
  for (const Case& c : Cases("dcopy")) {
    SCOPED_TRACE(c.name);
    std::vector<double> y = c["y"];
    DCOPY(c.Int("n"), c["x"].data(), c.Int("incx"), y.data(), c.Int("incy"));
    EXPECT_EQ(y, c["result"]);
  }
  for (const Case& c : Cases("dasum")) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(DASUM(c.Int("n"), c["x"].data(), c.Int("incx")), c["result"][0], 1e-14);
    EXPECT_EQ(IDAMAX(c.Int("n"), c["x"].data(), c.Int("incx")), c.Int("idamax"));
    std::vector<float> xf(c["x"].begin(), c["x"].end());
    EXPECT_NEAR(SASUM(c.Int("n"), xf.data(), c.Int("incx")), c["result"][0], 1e-5);
  }
  const Case ties = Cases("idamax").at(0);
  EXPECT_EQ(IDAMAX(3, ties["x"].data(), 1), 2);
  EXPECT_EQ(ties.Int("result"), 2);
  EXPECT_EQ(IDAMAX(1, ties["x"].data(), 1), 1);
  EXPECT_EQ(IDAMAX(0, ties["x"].data(), 1), 0);
}

TEST_F(Further, LevelTwoKernelsMatchScipy) {
  for (const Case& c : Cases("dgemv")) {
    SCOPED_TRACE(c.name);
    std::vector<double> y = c["y"];
    const int m = c.Int("m"), n = c.Int("n"), incx = c.Int("incx"), incy = c.Int("incy");
    const double alpha = c["alpha"][0], beta = c["beta"][0];
    DGEMV(c.Int("trans") ? "T" : "N", 2, &m, &n, &alpha, c["a"].data(), &m, c["x"].data(), &incx,
          &beta, y.data(), &incy);
    ASSERT_EQ(nml_error_code(1), 0);
    for (std::size_t i = 0; i < y.size(); ++i) EXPECT_NEAR(y[i], c["result"][i], 1e-13) << i;
  }
  for (const Case& c : Cases("dger")) {
    SCOPED_TRACE(c.name);
    std::vector<double> a = c["a"];
    DGER(c.Int("m"), c.Int("n"), c["alpha"][0], c["x"].data(), c.Int("incx"), c["y"].data(),
         c.Int("incy"), a.data(), c.Int("m"));
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], c["result"][i], 1e-14) << i;
  }
  for (const Case& c : Cases("dtrsv")) {
    SCOPED_TRACE(c.name);
    std::vector<double> x = c["x"];
    DTRSV(Letter(c.Int("lower"), "L", "U"), Letter(c.Int("trans"), "T", "N"),
          Letter(c.Int("diag"), "U", "N"), c.Int("n"), c["a"].data(), c.Int("n"), x.data(),
          c.Int("incx"));
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], c["result"][i], 1e-12) << i;
  }
  for (const Case& c : Cases("dtbsv")) {
    SCOPED_TRACE(c.name);
    const int n = c.Int("n"), k = c.Int("k"), lda = k + 1, incx = c.Int("incx");
    const char* uplo = Letter(c.Int("lower"), "L", "U");
    const char* trans = Letter(c.Int("trans"), "T", "N");
    const char* diag = Letter(c.Int("diag"), "U", "N");
    std::vector<double> x = c["x"];
    DTBSV(uplo, trans, diag, &n, &k, c["a"].data(), &lda, x.data(), &incx);
    ASSERT_EQ(nml_error_code(1), 0);
    std::vector<float> af(c["a"].begin(), c["a"].end()), xf(c["x"].begin(), c["x"].end());
    STBSV(uplo, trans, diag, &n, &k, af.data(), &lda, xf.data(), &incx);
    for (std::size_t i = 0; i < x.size(); ++i) {
      EXPECT_NEAR(x[i], c["result"][i], 1e-12 * (1 + std::fabs(c["result"][i]))) << i;
      EXPECT_NEAR(xf[i], c["result"][i], 2e-5 * (1 + std::fabs(c["result"][i]))) << i;
    }
  }
}

TEST_F(Further, KernelShortcutsReadNothingTheyNeedNot) {
  // alpha = beta = 0 sets y to zero without reading a or x (NaNs there stay out of y).
  const double nan = NAN, zero = 0.0;
  std::vector<double> a(6, nan), x(3, nan), y = {1, NAN, 3};
  const int m = 3, n = 2, one = 1;
  DGEMV("N", 2, &m, &n, &zero, a.data(), &m, x.data(), &one, &zero, y.data(), &one);
  EXPECT_EQ(y, std::vector<double>(3, 0.0));
  // A unit diagonal is never read.
  std::vector<double> t = {nan, 2, 0, nan};  // column order, upper: (1,2) = 0, (2,1) = 2
  std::vector<double> v = {4, 6};
  DTRSV("L", "N", "U", 2, t.data(), 2, v.data(), 1);
  EXPECT_EQ(v, (std::vector<double>{4, -2}));
  // A band solve with k = 0 divides entry by entry, or leaves x for a unit diagonal.
  std::vector<float> d = {2, 4, 8}, xf = {2, 2, 2};
  const int three = 3, k0 = 0;
  STBSV("U", "N", "N", &three, &k0, d.data(), &one, xf.data(), &one);
  EXPECT_EQ(xf, (std::vector<float>{1, 0.5f, 0.25f}));
  STBSV("L", "T", "U", &three, &k0, d.data(), &one, xf.data(), &one);
  EXPECT_EQ(xf, (std::vector<float>{1, 0.5f, 0.25f}));
  // CRGRG spreads columns apart within one array without losing entries.
  std::vector<double> s(15, -1.0);
  for (int i = 0; i < 9; ++i) s[i] = i + 1;  // 3 x 3, leading dimension 3
  CRGRG(3, s.data(), 3, s.data(), 5);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s[j * 5 + i], j * 3 + i + 1);
}

TEST_F(Further, KernelArgumentErrorsPostUnderTheirNamesAndComputeNothing) {
  struct Bad {
    const char* what;
    std::function<void()> call;
    int code;
  };
  std::vector<double> a(16, 1.0), x(4, 1.0), y(4, 1.0);
  std::vector<float> af(16, 1.0f), xf(4, 1.0f);
  const double one = 1.0;
  auto gemv = [&](const char* t, int m, int n, int lda, int incx, int incy) {
    DGEMV(t, 2, &m, &n, &one, a.data(), &lda, x.data(), &incx, &one, y.data(), &incy);
  };
  auto tbsv = [&](const char* u, const char* t, const char* d, int n, int k, int lda, int inc) {
    STBSV(u, t, d, &n, &k, af.data(), &lda, xf.data(), &inc);
  };
  const std::vector<Bad> table = {
      {"gemv m<0", [&] { gemv("N", -1, 2, 2, 1, 1); }, 2033},
      {"gemv n<0", [&] { gemv("N", 2, -1, 2, 1, 1); }, 2014},
      {"gemv lda<m", [&] { gemv("N", 3, 2, 2, 1, 1); }, 1020},
      {"gemv lda=0", [&] { gemv("N", 0, 2, 0, 1, 1); }, 1020},
      {"gemv incx", [&] { gemv("N", 2, 2, 2, 0, 1); }, 2015},
      {"gemv incy", [&] { gemv("N", 2, 2, 2, 1, 0); }, 2016},
      {"gemv trans", [&] { gemv("X", 2, 2, 2, 1, 1); }, 1019},
      {"ger m<0", [&] { DGER(-1, 2, 1.0, x.data(), 1, y.data(), 1, a.data(), 2); }, 2033},
      {"ger incy", [&] { DGER(2, 2, 1.0, x.data(), 1, y.data(), 0, a.data(), 2); }, 2016},
      {"tbsv n<0", [&] { tbsv("U", "N", "N", -1, 0, 1, 1); }, 2014},
      {"tbsv k<0", [&] { tbsv("U", "N", "N", 2, -1, 1, 1); }, 1059},
      {"tbsv lda", [&] { tbsv("U", "N", "N", 2, 1, 1, 1); }, 1060},
      {"tbsv incx", [&] { tbsv("U", "N", "N", 2, 0, 1, 0); }, 2015},
      {"tbsv trans", [&] { tbsv("U", "Q", "N", 2, 0, 1, 1); }, 1019},
      {"tbsv uplo", [&] { tbsv("X", "N", "N", 2, 0, 1, 1); }, 2017},
      {"tbsv diag", [&] { tbsv("U", "N", "X", 2, 0, 1, 1); }, 2040},
      {"crgrg n", [&] { CRGRG(0, a.data(), 2, a.data(), 2); }, 604},
      {"crgrg lda", [&] { CRGRG(3, a.data(), 2, a.data(), 3); }, 605},
      {"crgrg ldb", [&] { CRGRG(3, a.data(), 3, a.data(), 2); }, 606},
      {"csfrg n",
       [&] {
         int n = 0, l = 2;
         nml_dcsfrg(&n, a.data(), &l);
       },
       2025},
      {"csfrg lda",
       [&] {
         int n = 3, l = 2;
         nml_dcsfrg(&n, a.data(), &l);
       },
       2026},
  };
  for (const Bad& b : table) {
    a.assign(16, 1.0);
    y.assign(4, 1.0);
    xf.assign(4, 1.0f);
    b.call();
    EXPECT_EQ(nml_error_code(1), b.code) << b.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << b.what;
    EXPECT_EQ(a, std::vector<double>(16, 1.0)) << b.what;
    EXPECT_EQ(y, std::vector<double>(4, 1.0)) << b.what;
    EXPECT_EQ(xf, std::vector<float>(4, 1.0f)) << b.what;
  }
  // A band solve of order 0 with k = -1 and lda = 0 tests nothing and does nothing.
  nmltest::FreshRuntime();
  tbsv("U", "N", "N", 0, -1, 0, 1);
  EXPECT_EQ(nml_error_code(1), 0);
}

TEST_F(Further, RotationsAndNorms) {
  struct Rot {
    double a, b, r, c, s, z;
  };
  for (const Rot& w : std::vector<Rot>{{4, 3, 5, 0.8, 0.6, 0.6},
                                       {3, 4, 5, 0.6, 0.8, 1 / 0.6},
                                       {-3, 4, 5, -0.6, 0.8, -1 / 0.6},
                                       {0, 0, 0, 1, 0, 0}}) {
    double a = w.a, b = w.b, c, s;
    DROTG(&a, &b, &c, &s);
    EXPECT_NEAR(a, w.r, 1e-15) << w.a << "," << w.b;
    EXPECT_NEAR(c, w.c, 1e-15);
    EXPECT_NEAR(s, w.s, 1e-15);
    EXPECT_NEAR(b, w.z, 1e-14);
  }
  std::vector<double> x = {1, 2, 3}, y = {4, 5, 6};
  DROT(3, x.data(), 1, y.data(), -1, 0.0, 1.0);  // x <- y (walked backwards), y <- -x
  EXPECT_EQ(x, (std::vector<double>{6, 5, 4}));
  EXPECT_EQ(y, (std::vector<double>{-3, -2, -1}));

  for (const Case& c : Cases("norm2")) {
    EXPECT_TRUE(
        WithinUlps(nml_d_norm2(static_cast<int>(c["x"].size()), c["x"].data()), c["result"][0], 2))
        << c.name;
  }
  const double two[] = {3, 4};
  EXPECT_EQ(nml_d_norm2(2, two), 5.0);
  EXPECT_EQ(nml_d_norm2(0, two), 0.0);

  // The strict upper triangle is mirrored; n = 1 changes nothing.
  std::vector<double> m = {1, 0, 0, 2, 3, 0, 4, 5, 6};  // column order, upper filled
  int n = 3, ld = 3;
  nml_dcsfrg(&n, m.data(), &ld);
  EXPECT_EQ(m, (std::vector<double>{1, 2, 4, 2, 3, 5, 4, 5, 6}));
  std::vector<double> y2(3, 0.0);
  const double src[] = {1, -2, 3};
  nml_d_scaled_copy(3, -0.5, src, 1, y2.data(), 1);
  EXPECT_EQ(y2, (std::vector<double>{-0.5, 1, -1.5}));
}

TEST_F(Further, ComplexArithmeticMatchesCmath) {
  for (const Case& c : Cases("complex")) {
    SCOPED_TRACE(c.name);
    const nml_d_complex z = nml_c_make(c["z"][0], c["z"][1]);
    const nml_d_complex w = nml_c_make(c["w"][0], c["w"][1]);
    auto near = [](nml_d_complex got, const std::vector<double>& want, double ulps) {
      const double scale = std::max(std::fabs(want[0]), std::fabs(want[1]));
      EXPECT_TRUE(WithinUlps(got.re, want[0], ulps, scale));
      EXPECT_TRUE(WithinUlps(got.im, want[1], ulps, scale));
    };
    near(nml_c_div(z, w), c["div"], 4);
    near(nml_c_mul(z, w), c["mul"], 4);
    near(nml_c_sqrt(z), c["sqrt"], 4);
    EXPECT_TRUE(WithinUlps(nml_c_abs(z), c["abs"][0], 1));
    double cr, ci;
    CDIV(&z.re, &z.im, &w.re, &w.im, &cr, &ci);
    near({cr, ci}, c["div"], 8);
  }
  for (const Case& c : Cases("complexfn")) {
    SCOPED_TRACE(c.name);
    const nml_d_complex z = {c["z"][0], c["z"][1]};
    for (auto [f, key] : std::vector<std::pair<nml_d_complex (*)(nml_d_complex), const char*>>{
             {nml_c_exp, "exp"}, {nml_c_log, "log"}, {nml_c_sin, "sin"}, {nml_c_cos, "cos"}}) {
      const nml_d_complex r = f(z);
      EXPECT_NEAR(r.re, c[key][0], 1e-15 * (1 + std::fabs(c[key][0]))) << key;
      EXPECT_NEAR(r.im, c[key][1], 1e-15 * (1 + std::fabs(c[key][1]))) << key;
    }
  }
  // Worked cases of the definitions.
  struct Sq {
    nml_d_complex z, want;
  };
  for (const Sq& s : std::vector<Sq>{{{-4, 0}, {0, 2}},
                                     {{-4, -0.0}, {0, 2}},
                                     {{0, 2}, {1, 1}},
                                     {{3, 4}, {2, 1}},
                                     {{0, 0}, {0, 0}}}) {
    const nml_d_complex r = nml_c_sqrt(s.z);
    EXPECT_NEAR(r.re, s.want.re, 1e-15) << s.z.re << "," << s.z.im;
    EXPECT_NEAR(r.im, s.want.im, 1e-15) << s.z.re << "," << s.z.im;
  }
  const nml_d_complex q = nml_c_div(nml_d_complex{1, 0}, nml_d_complex{0, 1});
  EXPECT_EQ(q.re, 0.0);
  EXPECT_EQ(q.im, -1.0);
  EXPECT_EQ(nml_c_arg(nml_d_complex{0, 0}), 0.0);
  EXPECT_EQ(nml_c_exp(nml_d_complex{0, 0}).re, 1.0);
  const nml_d_complex bad = nml_c_div(nml_d_complex{1, 1}, nml_d_complex{0, 0});
  EXPECT_TRUE(std::isnan(bad.re) && std::isnan(bad.im));
  EXPECT_EQ(nml_error_code(1), 607);

  nml_d_complex v[3] = {{3, 4}, {0, 0}, {0, 0}};
  const int three = 3, two = 2, one = 1, minus = -1;
  EXPECT_EQ(DZNRM2(&two, v), 5.0);
  nml_d_complex p[3] = {{1, 0}, {2, 0}, {3, 0}}, r[3] = {{0, 0}, {0, 0}, {0, 0}};
  ZSWAP(&three, p, &one, r, &minus);
  EXPECT_EQ(r[0].re, 3.0);
  EXPECT_EQ(r[2].re, 1.0);
  const nml_d_complex i2 = {0, 2};
  ZSCAL(&three, &i2, r, &one);
  EXPECT_EQ(r[0].im, 6.0);
  const double half = 0.5;
  ZDSCAL(&three, &half, r, &one);
  EXPECT_EQ(r[0].im, 3.0);
  ZSET(&two, &i2, r, &two);
  EXPECT_EQ(r[2].im, 2.0);
}

TEST_F(Further, PowersMachineConstantsAndSmallRoutines) {
  EXPECT_EQ(nml_d_powi(2, -3), 0.125);
  EXPECT_EQ(nml_d_powi(0, 0), 1.0);
  EXPECT_EQ(nml_d_powi(-7, 0), 1.0);
  for (int n = -12; n <= 12; ++n) EXPECT_EQ(nml_d_powi(2, n), std::ldexp(1.0, n)) << n;
  EXPECT_EQ(nml_d_powi(3, 7), 2187.0);
  // The smallest int has no magnitude: refused, NaN.
  EXPECT_TRUE(std::isnan(nml_d_powi(1.0, INT_MIN)));
  EXPECT_EQ(nml_error_type(1), NML_TERMINAL);

  EXPECT_EQ(nml_d_machine(7), INFINITY);
  EXPECT_EQ(nml_d_machine(4), DBL_EPSILON);
  EXPECT_TRUE(std::isnan(nml_d_machine(9)));
  EXPECT_EQ(nml_error_code(1), 132);

  EXPECT_EQ(nml_i_max(3, -4), 3);
  EXPECT_EQ(nml_i_vmax(0), 0);
  EXPECT_EQ(nml_i_vmax(3, -5, -2, -9), -2);
  EXPECT_EQ(nml_i_vmin(0), 0);
  EXPECT_EQ(nml_i_vmin(3, 4, -2, 7), -2);

  int count = 0;
  nml_error_push_name("caller");
  nml_check_index(0, 17, "ifrq", 0, "ncol", &count);  // no upper bound
  EXPECT_EQ(nml_error_code(0), 0);
  EXPECT_EQ(count, 2);
  nml_check_index(0, 5, "ifrq", 4, "ncol", &count);
  EXPECT_EQ(nml_error_code(0), 601);
  EXPECT_EQ(count, 4);
  nml_check_index(1, 0, "iwt", 4, "ncol", &count);
  EXPECT_EQ(nml_error_code(0), 603);
  const int order0 = 0, order3 = 3, ncoef2 = 2;
  nml_check_order("spline", &order0, &ncoef2);
  EXPECT_EQ(nml_error_code(0), 3009);
  nml_check_order("spline", &order3, &ncoef2);
  EXPECT_EQ(nml_error_code(0), 3010);
  nml_error_pop_name("caller");
}
