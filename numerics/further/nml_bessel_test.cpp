// Real Bessel and Kelvin functions against mpmath (tables by
// tools/numerics_splines/gen_function_tables.py), their symmetries, continuity where the
// series change, the term counts of the Chebyshev series, and the argument errors.
#include "numerics/further/nml_bessel.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "numerics/further/nml_spline_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using splinetest::Cases;

namespace {

#include "numerics/further/nml_bessel_series.inc"

class Bessel : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

TEST_F(Bessel, SeriesTermCounts) {
  const float eta = static_cast<float>(0.1 * nml_dmach(3));
  struct Row {
    const double* cs;
    int n, used;
  } rows[] = {{kBJ0CS, 18, 12},  {kBY0CS, 19, 13},  {kBM0CS, 37, 15},  {kBT02CS, 39, 16},
              {kBM02CS, 40, 13}, {kBTH0CS, 44, 14}, {kBJ1CS, 19, 12},  {kBY1CS, 20, 13},
              {kBM1CS, 37, 15},  {kBT12CS, 39, 16}, {kBM12CS, 40, 13}, {kBTH1CS, 44, 14}};
  for (const Row& r : rows) EXPECT_EQ(nml_initds(r.cs, r.n, eta), r.used) << r.n;
}

TEST_F(Bessel, MatchesMpmath) {
  const auto cases = Cases("bessel");
  ASSERT_FALSE(cases.empty());
  const Case& c = cases[0];
  double (*fns[4])(double) = {nml_d_bessel_J0, nml_d_bessel_J1, nml_d_bessel_Y0, nml_d_bessel_Y1};
  const char* keys[4] = {"j0", "j1", "y0", "y1"};
  for (std::size_t i = 0; i < c["x"].size(); ++i) {
    const double x = c["x"][i];
    // Relative away from zeros, else relative to the envelope sqrt(2/(pi x)); beyond 4 the
    // phase x - pi/4 is rounded to the spacing of x, which bounds what any routine of this
    // form reaches.
    const double env = std::sqrt(2 / (M_PI * x));
    for (int f = 0; f < 4; ++f) {
      const double want = c[keys[f]][i];
      const double tol = 1e-14 * std::max(std::fabs(want), std::min(1.0, env)) +
                         (x > 4 ? 2 * DBL_EPSILON * x * env : 0.0);
      EXPECT_NEAR(fns[f](x), want, tol) << keys[f] << "(" << x << ")";
    }
  }
}

TEST_F(Bessel, SymmetryContinuityAndErrors) {
  for (double x : {2.5, 20.0}) {
    EXPECT_EQ(nml_d_bessel_J0(-x), nml_d_bessel_J0(x));
    EXPECT_EQ(nml_d_bessel_J1(-x), -nml_d_bessel_J1(x));
  }
  EXPECT_EQ(nml_d_bessel_J0(0), 1.0);
  EXPECT_EQ(nml_d_bessel_J1(0), 0.0);
  for (double b : {4.0, 8.0}) {
    const double lo = std::nextafter(b, 0.0), hi = std::nextafter(b, 10.0);
    for (auto f : {nml_d_bessel_J0, nml_d_bessel_J1, nml_d_bessel_Y0, nml_d_bessel_Y1})
      EXPECT_NEAR(f(lo), f(hi), 4e-15) << b;
  }
  // J1 where 0.5 x underflows: the value of the neighbouring branch, with the alert.
  EXPECT_EQ(nml_d_bessel_J1(1e-308), 0.5e-308);
  EXPECT_EQ(nml_error_code(1), 9017);
  EXPECT_EQ(nml_error_type(1), NML_ALERT);

  struct Row {
    double (*f)(double);
    double x;
    int type, code;
    bool nan;
  } rows[] = {
      {nml_d_bessel_Y0, 0, NML_TERMINAL, 9027, true},
      {nml_d_bessel_Y1, -1, NML_TERMINAL, 9027, true},
      {nml_d_bessel_Y1, 1e-310, NML_FATAL, 9012, true},
      {nml_d_bessel_J0, 1e8, NML_WARNING, 9025, false},
      {nml_d_bessel_J0, 1e16, NML_FATAL, 9026, true},
      {nml_d_bessel_Y1, 1e16, NML_FATAL, 9026, true},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    EXPECT_EQ(std::isnan(r.f(r.x)), r.nan) << r.code;
    EXPECT_EQ(nml_error_type(1), r.type) << r.code;
    EXPECT_EQ(nml_error_code(1), r.code);
  }
}

TEST_F(Bessel, KelvinMatchesMpmath) {
  const auto cases = Cases("kelvin");
  ASSERT_FALSE(cases.empty());
  const Case& c = cases[0];
  struct Fn {
    double (*f)(double);
    const char* key;
    double small, large;  // bounds on error / max(envelope, |f|), x <= 10 and x > 10
    bool growing;
  } fns[] = {// The asymptotic polynomials are weakest just above 10 (ber0(10.1) is good to
             // about 1e-6, as documented for them).
             {nml_d_kelvin_ber0, "ber", 2.6e-12, 1e-6, true},
             {nml_d_kelvin_bei0, "bei", 8e-15, 4e-7, true},
             {nml_d_kelvin_ker0, "ker", 2.6e-8, 1.3e-10, false},
             {nml_d_kelvin_kei0, "kei", 5.6e-9, 3e-10, false}};
  for (std::size_t i = 0; i < c["x"].size(); ++i) {
    const double x = c["x"][i], z = x / std::sqrt(2.0);
    for (const Fn& f : fns) {
      const double env = f.growing ? std::exp(z) / std::sqrt(2 * M_PI * x)
                                   : std::sqrt(M_PI / (2 * x)) * std::exp(-z);
      const double want = c[f.key][i];
      const double err = std::fabs(f.f(x) - want) / std::max(env, std::fabs(want));
      EXPECT_LE(err, x <= 10 ? f.small : f.large) << f.key << "(" << x << ")";
    }
  }
}

TEST_F(Bessel, KelvinWorkedValuesAndErrors) {
  EXPECT_NEAR(nml_d_kelvin_ber0(10), 138.840466, 5e-7);
  EXPECT_NEAR(nml_d_kelvin_ber0(10.1), 143.63053, 143.63053 * 1e-6);
  EXPECT_NEAR(nml_d_kelvin_bei0(1), 0.24956604, 1e-8);
  EXPECT_NEAR(nml_d_kelvin_ker0(1), 0.28670621, 1e-8);
  EXPECT_NEAR(nml_d_kelvin_kei0(1), -0.49499464, 1e-8);
  EXPECT_EQ(nml_d_kelvin_ber0(-5), nml_d_kelvin_ber0(5));
  EXPECT_NEAR(nml_d_kelvin_ber0(5), -6.2300825, 1e-7);
  EXPECT_EQ(nml_d_kelvin_ber0(0), 1.0);
  EXPECT_EQ(nml_d_kelvin_bei0(0), 0.0);
  EXPECT_EQ(nml_d_kelvin_ker0(0), INFINITY);
  EXPECT_EQ(nml_d_kelvin_kei0(0), -M_PI / 4);
  EXPECT_FALSE(std::isnan(nml_d_kelvin_ber0(119)));
  EXPECT_EQ(nml_error_code(1), 0);
  struct Row {
    double (*f)(double);
    double x;
    int code;
  } rows[] = {{nml_d_kelvin_ber0, 119.5, 13501},
              {nml_d_kelvin_bei0, -120, 13501},
              {nml_d_kelvin_ker0, -1, 13500},
              {nml_d_kelvin_kei0, -1e-300, 13500}};
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    EXPECT_TRUE(std::isnan(r.f(r.x)));
    EXPECT_EQ(nml_error_code(1), r.code);
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL);
  }
}

}  // namespace
