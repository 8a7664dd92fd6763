// Splines against scipy.interpolate (tables by tools/numerics_splines/gen_spline_tables.py):
// creation, knot checks, one-point and grid evaluation, interpolation and least squares, in
// double and in float.
#include "numerics/further/nml_spline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "numerics/further/nml_spline_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using splinetest::As;
using splinetest::Cases;

namespace {

class Spline : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

template <class T>
struct Types;
template <>
struct Types<float> {
  using S = nml_f_spline;
  static constexpr double tol = 2e-5;
  static S* Create(int d, int m, const int* k, const int* n, const nml_options& o) {
    return nml_f_spline_create(d, m, k, n, o);
  }
  static float Value(float x, const S* s, const nml_options& o) {
    return nml_f_spline_value(x, s, o);
  }
  static S* Lsq(int nd, const float* x, const float* f, int n, const nml_options& o) {
    return nml_f_spline_least_squares(nd, x, f, n, o);
  }
};
template <>
struct Types<double> {
  using S = nml_d_spline;
  static constexpr double tol = 1e-12;
  static S* Create(int d, int m, const int* k, const int* n, const nml_options& o) {
    return nml_d_spline_create(d, m, k, n, o);
  }
  static double Value(double x, const S* s, const nml_options& o) {
    return nml_d_spline_value(x, s, o);
  }
  static S* Lsq(int nd, const double* x, const double* f, int n, const nml_options& o) {
    return nml_d_spline_least_squares(nd, x, f, n, o);
  }
};

double Scale(const std::vector<double>& v) {
  double s = 1;
  for (double x : v) s = std::max(s, std::fabs(x));
  return s;
}

// Runs kernel calls inside a routine frame so that their errors reach level 1 on return.
template <class F>
void InFrame(F&& f) {
  nml_public("spline_test", f);
}

TEST_F(Spline, CreationLaysOutOneBlockWithTheGivenArrays) {
  const int k[2] = {3, 2}, n[2] = {4, 3};
  std::vector<double> tx = {0, 0, 0, 1, 2, 2, 2}, ty = {5, 5, 6, 7, 7};
  double* knots[2] = {tx.data(), ty.data()};
  std::vector<double> c0(12), c1(12);
  for (int i = 0; i < 12; ++i) c0[i] = i, c1[i] = -i;
  double* coefs[2] = {c0.data(), c1.data()};
  nml_d_spline* sp = nml_d_spline_create(2, 2, k, n, NML_KNOTS, knots, NML_COEFFICIENTS, coefs, 0);
  ASSERT_NE(sp, nullptr);
  EXPECT_EQ(sp->domain_dim, 2);
  EXPECT_EQ(sp->target_dim, 2);
  EXPECT_EQ(sp->num_knots[0], 7);
  EXPECT_EQ(sp->num_knots[1], 5);
  EXPECT_EQ(std::vector<double>(sp->knots[1], sp->knots[1] + 5), ty);
  EXPECT_EQ(std::vector<double>(sp->coef[1], sp->coef[1] + 12), c1);
  // Everything lies inside the one block.
  const char* lo = reinterpret_cast<const char*>(sp);
  const char* hi = reinterpret_cast<const char*>(sp->num_knots + 2);
  for (const void* p :
       {static_cast<const void*>(sp->knots[0]), static_cast<const void*>(sp->coef[1] + 11),
        static_cast<const void*>(sp->order)})
    EXPECT_TRUE(static_cast<const char*>(p) >= lo && static_cast<const char*>(p) < hi);
  std::free(sp);

  const int k1 = 4, n1 = 6;
  nml_f_spline* bare = nml_f_spline_create(1, 1, &k1, &n1, 0);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->order[0], 4);
  EXPECT_EQ(bare->num_coef[0], 6);
  EXPECT_EQ(bare->num_knots[0], 10);
  std::free(bare);

  EXPECT_EQ(nml_f_spline_create(1, 1, &k1, &n1, 4711, 0), nullptr);
  EXPECT_EQ(nml_error_code(1), 103);
  // Sizes that describe no spline are refused, not allocated.
  const int bad = -3;
  EXPECT_EQ(nml_d_spline_create(1, 1, &k1, &bad, 0), nullptr);
  EXPECT_EQ(nml_error_code(1), 202);
}

TEST_F(Spline, KnotCheckCodes) {
  struct Row {
    int k, n;
    std::vector<double> t;
    int code;
  } rows[] = {
      {4, 4, {0, 0, 0, 0, 1, 1, 1, 1}, 0}, {4, 5, {0, 0, 0, 0, 0, 1, 1, 1, 1}, 3028},
      {2, 3, {0, 1, 0.5, 2, 3}, 3029},     {0, 3, {0, 1, 2}, 3031},
      {4, 3, {0, 0, 0, 0, 1, 1, 1}, 3035},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    InFrame([&] { NML_B3INT(&r.k, r.t.data(), &r.n); });
    EXPECT_EQ(nml_error_code(1), r.code) << r.k << " " << r.n;
    std::vector<float> tf(r.t.begin(), r.t.end());
    nmltest::FreshRuntime();
    InFrame([&] { NML_B3INT(&r.k, tf.data(), &r.n); });
    EXPECT_EQ(nml_error_code(1), r.code) << "float " << r.k;
  }
}

template <class T>
void CheckEvaluation() {
  using TT = Types<T>;
  ASSERT_FALSE(Cases("spline_eval").empty());
  for (const Case& c : Cases("spline_eval")) {
    SCOPED_TRACE(c.name);
    const int k = c.Int("k");
    const int n = static_cast<int>(c["t"].size()) - k;
    std::vector<T> t = As<T>(c["t"]), a = As<T>(c["c"]), x = As<T>(c["x"]);
    T* tp = t.data();
    T* ap = a.data();
    typename TT::S* sp = TT::Create(1, 1, &k, &n, nml_opts(NML_KNOTS, &tp, NML_COEFFICIENTS, &ap));
    ASSERT_NE(sp, nullptr);
    for (int d = 0; d <= k; ++d) {
      const auto& one = c["one" + std::to_string(d)];
      const auto& grid = c["grid" + std::to_string(d)];
      const double tol = TT::tol * Scale(grid) * std::pow(10.0, d);
      std::vector<T> res(x.size());
      const T fr = TT::Value(
          0, sp,
          nml_opts(NML_DERIV, d, NML_GRID_USER, static_cast<int>(x.size()), x.data(), res.data()));
      EXPECT_TRUE(std::isnan(fr));
      for (std::size_t i = 0; i < x.size(); ++i) {
        EXPECT_NEAR(TT::Value(x[i], sp, nml_opts(NML_DERIV, d)), one[i], tol)
            << "one point d=" << d << " x=" << x[i];
        EXPECT_NEAR(res[i], grid[i], tol) << "grid d=" << d << " x=" << x[i];
      }
    }
    EXPECT_EQ(nml_error_code(1), 0);
    std::free(sp);
  }
}

TEST_F(Spline, EvaluationMatchesScipyOnBothPaths) {
  CheckEvaluation<double>();
  CheckEvaluation<float>();
}

TEST_F(Spline, GridErrorsAndNewArray) {
  const int k = 2, n = 2;
  std::vector<double> t = {0, 0, 1, 1}, a = {1, 3};
  double* tp = t.data();
  double* ap = a.data();
  nml_d_spline* sp = nml_d_spline_create(1, 1, &k, &n, NML_KNOTS, &tp, NML_COEFFICIENTS, &ap, 0);
  ASSERT_NE(sp, nullptr);
  std::vector<double> pts = {0.1, 0.4, 0.4, 0.9}, res(4, 7.0);
  EXPECT_TRUE(std::isnan(nml_d_spline_value(0, sp, NML_GRID_USER, 4, pts.data(), res.data(), 0)));
  EXPECT_EQ(nml_error_code(1), 3122);
  for (double r : res) EXPECT_TRUE(std::isnan(r));

  double* fresh = nullptr;
  double one = 0.25;
  EXPECT_TRUE(std::isnan(nml_d_spline_value(0, sp, NML_GRID, 1, &one, &fresh, 0)));
  ASSERT_NE(fresh, nullptr);
  EXPECT_DOUBLE_EQ(fresh[0], 1.5);
  std::free(fresh);

  // A derivative order at the order gives 0; a negative one is refused.
  EXPECT_EQ(nml_d_spline_value(0.5, sp, NML_DERIV, 2, 0), 0.0);
  EXPECT_TRUE(std::isnan(nml_d_spline_value(0.5, sp, NML_DERIV, -1, 0)));
  EXPECT_EQ(nml_error_code(1), 3033);
  std::free(sp);
}

template <class T>
void CheckInterpolation() {
  ASSERT_FALSE(Cases("spline_interp").empty());
  for (const Case& c : Cases("spline_interp")) {
    SCOPED_TRACE(c.name);
    const int k = c.Int("k"), n = static_cast<int>(c["x"].size());
    std::vector<T> t = As<T>(c["t"]), x = As<T>(c["x"]), y = As<T>(c["y"]);
    std::vector<T> coef(n), work((2 * k - 1) * n + n + (3 * k - 2) * n), xs(n), fs(n);
    std::vector<int> iw(n);
    InFrame([&] {
      NML_B2INT(&n, x.data(), y.data(), &k, t.data(), coef.data(), work.data(), xs.data(),
                fs.data(), iw.data());
    });
    EXPECT_LT(nml_error_type(1), NML_FATAL);
    const double tol = (std::is_same_v<T, float> ? 1e-4 : 1e-11) * Scale(c["c"]);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(coef[i], c["c"][i], tol) << i;
  }
}

TEST_F(Spline, InterpolationMatchesScipyFromUnsortedData) {
  CheckInterpolation<double>();
  CheckInterpolation<float>();
}

TEST_F(Spline, InterpolationReproducesPolynomialAndRejectsBadData) {
  // n = k with k-fold end knots: the cubic is reproduced exactly.
  const int k = 4, n = 4;
  std::vector<double> t = {-1, -1, -1, -1, 2, 2, 2, 2}, x = {2, -1, 0.5, 1.25}, f(4);
  auto p = [](double v) { return 1 - 2 * v + 0.5 * v * v * v; };
  for (int i = 0; i < 4; ++i) f[i] = p(x[i]);
  std::vector<double> coef(n), work((2 * k - 1) * n + n + (3 * k - 2) * n), xs(n), fs(n);
  std::vector<int> iw(n);
  InFrame([&] {
    NML_B2INT(&n, x.data(), f.data(), &k, t.data(), coef.data(), work.data(), xs.data(), fs.data(),
              iw.data());
  });
  double* tp = t.data();
  double* cp = coef.data();
  nml_d_spline* sp = nml_d_spline_create(1, 1, &k, &n, NML_KNOTS, &tp, NML_COEFFICIENTS, &cp, 0);
  for (double v : {-1.0, -0.3, 0.7, 1.9, 2.0})
    EXPECT_NEAR(nml_d_spline_value(v, sp, 0), p(v), 1e-13);
  std::free(sp);

  struct Row {
    std::vector<double> x;
    int code;
  } rows[] = {
      {{0.0, 1.0, 0.0, 1.5}, 3034},  // two equal abscissae
      {{2.0, 2.0, 2.0, 2.0}, 3034},
      {{-1.5, 0.0, 1.0, 2.0}, 3103},  // first datum before the first knot
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    InFrame([&] {
      NML_B2INT(&n, r.x.data(), f.data(), &k, t.data(), coef.data(), work.data(), xs.data(),
                fs.data(), iw.data());
    });
    EXPECT_EQ(nml_error_code(1), r.code);
  }
  // A datum at or beyond t(k+1) is outside the first B-spline's support.
  const int k2 = 2, n2 = 3;
  std::vector<double> t2 = {0, 0, 1, 2, 2}, x2 = {1.0, 1.5, 2.0};
  nmltest::FreshRuntime();
  InFrame([&] {
    NML_B2INT(&n2, x2.data(), f.data(), &k2, t2.data(), coef.data(), work.data(), xs.data(),
              fs.data(), iw.data());
  });
  EXPECT_EQ(nml_error_code(1), 3103);
}

template <class T>
void CheckLeastSquares() {
  using TT = Types<T>;
  ASSERT_FALSE(Cases("spline_lsq").empty());
  for (const Case& c : Cases("spline_lsq")) {
    SCOPED_TRACE(c.name);
    const int k = c.Int("k"), n = c.Int("n"), nd = static_cast<int>(c["x"].size());
    std::vector<T> x = As<T>(c["x"]), y = As<T>(c["y"]), t = As<T>(c["t"]);
    T sse = -1;
    typename TT::S* sp = nullptr;
    if (c.Has("w")) {
      std::vector<T> w = As<T>(c["w"]);
      sp = TT::Lsq(nd, x.data(), y.data(), n,
                   nml_opts(NML_ORDER, k, NML_WEIGHTS, w.data(), NML_SSE, &sse));
    } else {
      sp = TT::Lsq(nd, x.data(), y.data(), n,
                   nml_opts(NML_ORDER, k, NML_KNOTS, t.data(), NML_SSE, &sse));
    }
    ASSERT_NE(sp, nullptr);
    const double tol = std::is_same_v<T, float> ? 2e-4 : 1e-11;
    for (int i = 0; i < n + k; ++i) EXPECT_NEAR(sp->knots[0][i], c["t"][i], tol) << "knot " << i;
    for (int i = 0; i < n; ++i)
      EXPECT_NEAR(sp->coef[0][i], c["c"][i], tol * Scale(c["c"])) << "coef " << i;
    EXPECT_NEAR(sse, c["sse"][0], tol * 10 * std::max(1.0, c["sse"][0]));
    std::free(sp);
  }
}

TEST_F(Spline, LeastSquaresMatchesScipy) {
  CheckLeastSquares<double>();
  CheckLeastSquares<float>();
}

TEST_F(Spline, LeastSquaresErrors) {
  std::vector<double> x = {0.5, 1, 2, 3, 4, 5}, y = {1, 2, 1, 0, 1, 2};
  std::vector<double> zeros(6, 0.0), neg = {1, 1, -1, 1, 1, 1};
  std::vector<double> knots = {1, 1, 1, 3, 5, 5, 5};  // x(1) = 0.5 lies before t(k)
  struct Row {
    const char* what;
    int n;
    nml_options opts;
    int code;
  } rows[] = {
      {"order 0", 4, nml_opts(NML_ORDER, 0), 3031},
      {"n < k", 3, nml_opts(), 3032},
      {"ndata < n", 7, nml_opts(), 3051},
      {"zero weights", 4, nml_opts(NML_WEIGHTS, zeros.data()), 3050},
      {"negative weight", 4, nml_opts(NML_WEIGHTS, neg.data()), 3046},
      {"datum before t(k)", 4, nml_opts(NML_ORDER, 3, NML_KNOTS, knots.data()), 3053},
      {"unknown option", 4, nml_opts(4711), 103},
      {"optimise without an interior knot", 4, nml_opts(NML_OPTIMIZE), 3032},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    EXPECT_EQ(nml_d_spline_least_squares(6, x.data(), y.data(), r.n, r.opts), nullptr) << r.what;
    EXPECT_EQ(nml_error_code(1), r.code) << r.what;
  }
}

TEST_F(Spline, LeastSquaresSpecialCases) {
  // ndata = n = k interpolates; unsorted data fit as sorted ones; the first abscissa sets
  // the range even when it is the largest.
  std::vector<double> x = {3, 0, 1, 2}, y = {5, -1, 2, 0};
  nml_d_spline* sp = nml_d_spline_least_squares(4, x.data(), y.data(), 4, 0);
  ASSERT_NE(sp, nullptr);
  EXPECT_DOUBLE_EQ(sp->knots[0][0], 0.0);
  EXPECT_DOUBLE_EQ(sp->knots[0][7], 3.001);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(nml_d_spline_value(x[i], sp, 0), y[i], 1e-12);
  std::free(sp);
}

template <class T>
void CheckKnotOptimisation(double knotTol) {
  using TT = Types<T>;
  ASSERT_FALSE(Cases("spline_opt").empty());
  const Case c = Cases("spline_opt")[0];
  const int k = c.Int("k"), n = static_cast<int>(c["tstart"].size()) - k;
  const int nd = static_cast<int>(c["x"].size());
  std::vector<T> x = As<T>(c["x"]), y = As<T>(c["y"]), t0 = As<T>(c["tstart"]);
  T sse = -1;
  typename TT::S* sp =
      TT::Lsq(nd, x.data(), y.data(), n,
              nml_opts(NML_ORDER, k, NML_KNOTS, t0.data(), NML_OPTIMIZE, NML_SSE, &sse));
  ASSERT_NE(sp, nullptr) << nml_error_code(1);
  EXPECT_LT(nml_error_type(1), NML_FATAL);
  EXPECT_NEAR(sp->knots[0][k], 0.3, knotTol);
  for (int i = 0; i < k; ++i) {
    EXPECT_EQ(sp->knots[0][i], 0);
    EXPECT_NEAR(sp->knots[0][n + i], 1, 1e-6);
  }
  // The coefficients are the fixed-knot fit on the returned knots (itself checked against
  // scipy above), and the data lie on the fitted spline.
  std::vector<T> knots(sp->knots[0], sp->knots[0] + n + k);
  typename TT::S* fixed =
      TT::Lsq(nd, x.data(), y.data(), n, nml_opts(NML_ORDER, k, NML_KNOTS, knots.data()));
  ASSERT_NE(fixed, nullptr);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(sp->coef[0][i], fixed->coef[0][i], TT::tol * 100) << i;
  // Far better than the fit on the starting knots.
  T sse0 = -1;
  typename TT::S* start = TT::Lsq(nd, x.data(), y.data(), n,
                                  nml_opts(NML_ORDER, k, NML_KNOTS, t0.data(), NML_SSE, &sse0));
  ASSERT_NE(start, nullptr);
  EXPECT_LT(sse, 0.01 * sse0) << sse0 << " knot " << sp->knots[0][k];
  std::free(start);
  std::free(fixed);
  std::free(sp);
}

// Runs the reverse-communication minimiser on f inside a routine frame.
template <class F>
double Minimise(F f, double a, double b, double guess, double step, double acc, int maxfn,
                int* evaluations) {
  double x = 0, fx = 0;
  nml_minimiser_state<double> st;
  *evaluations = 0;
  InFrame([&] {
    int ido = 0;
    NML_B7VLS(&ido, &fx, &a, &b, &guess, &step, &acc, &maxfn, &x, &st);
    while (ido == 1) {
      fx = f(x);
      ++*evaluations;
      NML_B7VLS(&ido, &fx, &a, &b, &guess, &step, &acc, &maxfn, &x, &st);
    }
  });
  return x;
}

TEST_F(Spline, MinimiserFindsTheMinimumAndStopsAtItsLimits) {
  int evals = 0;
  const double x =
      Minimise([](double v) { return (v - 0.62) * (v - 0.62); }, 0, 1, 0.2, 0.05, 1e-6, 40, &evals);
  EXPECT_NEAR(x, 0.62, 1e-5);
  EXPECT_LE(evals, 40);
  // Every trial worse than the start: the start comes back within the evaluation limit.
  nmltest::FreshRuntime();
  EXPECT_EQ(Minimise([](double v) { return std::fabs(v - 0.5); }, 0, 1, 0.5, 0.1, 1e-3, 8, &evals),
            0.5);
  EXPECT_LE(evals, 8);
  EXPECT_LT(nml_error_type(1), NML_FATAL);
  // The accuracy is not below the room around the start: no evaluation beyond the first.
  nmltest::FreshRuntime();
  EXPECT_EQ(Minimise([](double v) { return v; }, 0, 1, 0.4, 0.1, 0.7, 8, &evals), 0.4);
  EXPECT_EQ(evals, 1);
  EXPECT_EQ(nml_error_code(1), 3061);
}

TEST_F(Spline, KnotOptimisationRecoversTheInteriorKnot) {
  CheckKnotOptimisation<double>(0.02);
  CheckKnotOptimisation<float>(0.02);
}

}  // namespace
