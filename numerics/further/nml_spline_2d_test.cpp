// Two-dimensional splines: a fit reproduces a polynomial of the spline's degree exactly (so
// values and mixed derivatives are checked against calculus), the fit interpolates when the
// spline has as many coefficients as data, a weight equals repeating the data, and the error
// cases.
#include "numerics/further/nml_spline_2d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/nml_test_util.h"

namespace {

using SplinePtr = std::unique_ptr<nml_f_spline, decltype(&std::free)>;
SplinePtr Own(nml_f_spline* p) { return {p, &std::free}; }

// Cubic in x and quadratic in y, with its derivatives.
double P(double x, double y, int dx, int dy) {
  // p = x^3 - 2 x y^2 + 3 x^2 y + y + 1
  if (dx == 0 && dy == 0) return x * x * x - 2 * x * y * y + 3 * x * x * y + y + 1;
  if (dx == 1 && dy == 0) return 3 * x * x - 2 * y * y + 6 * x * y;
  if (dx == 0 && dy == 1) return -4 * x * y + 3 * x * x + 1;
  if (dx == 1 && dy == 1) return -4 * y + 6 * x;
  if (dx == 2 && dy == 1) return 6;
  if (dx == 0 && dy == 3) return 0;
  return NAN;
}

struct Grid {
  std::vector<float> x, y, f;  // f row-major nx x ny
};

Grid Sample(int nx, int ny, double (*fn)(double, double)) {
  Grid g;
  for (int i = 0; i < nx; ++i) g.x.push_back(-1.0f + 2.5f * i / (nx - 1) + (i % 2 ? 0.05f : 0.0f));
  for (int j = 0; j < ny; ++j) g.y.push_back(0.5f + 1.5f * j / (ny - 1) - (j % 3 ? 0.03f : 0.0f));
  g.x.back() = 1.5f;
  for (float xv : g.x)
    for (float yv : g.y) g.f.push_back(static_cast<float>(fn(xv, yv)));
  return g;
}

class Spline2d : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

TEST_F(Spline2d, ReproducesPolynomialAndItsDerivatives) {
  Grid g = Sample(9, 7, [](double x, double y) { return P(x, y, 0, 0); });
  const std::vector<float> before = g.f;
  float sse = -1;
  auto sp = Own(nml_f_spline_2d_least_squares(9, g.x.data(), 7, g.y.data(), g.f.data(), 6, 5,
                                              NML_ORDER, 4, 3, NML_SSE, &sse, 0));
  ASSERT_TRUE(sp);
  EXPECT_EQ(nml_error_type(1), 0);
  EXPECT_EQ(g.f, before);
  EXPECT_LT(sse, 1e-8f);
  // Off the data, the right end included (the range test is inclusive).
  const float xs[] = {-1.0f, -0.37f, 0.2f, 1.13f, 1.5f}, ys[] = {0.5f, 0.91f, 1.6f, 2.0f};
  const int derivs[][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 3}};
  for (const auto& d : derivs) {
    std::vector<float> grid;
    float* out = nullptr;
    nml_f_spline_2d_value(0, 0, sp.get(), NML_DERIV, d[0], d[1], NML_GRID, 5, xs, 4, ys, &out, 0);
    ASSERT_TRUE(out);
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 4; ++j) {
        const double truth = P(xs[i], ys[j], d[0], d[1]);
        const float v = nml_f_spline_2d_value(xs[i], ys[j], sp.get(), NML_DERIV, d[0], d[1], 0);
        EXPECT_NEAR(v, truth, 2e-4 * (1 + std::fabs(truth)))
            << d[0] << d[1] << " " << xs[i] << " " << ys[j];
        EXPECT_NEAR(out[i * 4 + j], truth, 2e-4 * (1 + std::fabs(truth)))
            << "grid " << i << " " << j;
      }
    std::free(out);
  }
}

// Weighted fits against the tensor design matrix solved by numpy, values and derivatives
// against FITPACK's bisplev (tools/numerics_further/gen_spline2d_table.py).
TEST_F(Spline2d, MatchesScipy) {
  std::vector<furthertest::Case> cases;
  furthertest::ReadCases(TV_SOURCE_DIR "/numerics/further/testdata/spline2d_reference.txt", &cases);
  ASSERT_EQ(cases.size(), 2u);
  auto floats = [](const std::vector<double>& v) { return std::vector<float>(v.begin(), v.end()); };
  for (const auto& c : cases) {
    nmltest::FreshRuntime();
    std::vector<float> x = floats(c["x"]), y = floats(c["y"]), f = floats(c["f"]),
                       wx = floats(c["wx"]), wy = floats(c["wy"]), tx = floats(c["tx"]),
                       ty = floats(c["ty"]), px = floats(c["px"]), py = floats(c["py"]);
    const int nx = static_cast<int>(x.size()), ny = static_cast<int>(y.size());
    const int kx = static_cast<int>(c["order"][0]), ky = static_cast<int>(c["order"][1]);
    const int ncx = static_cast<int>(c["ncoef"][0]), ncy = static_cast<int>(c["ncoef"][1]);
    auto sp = Own(c.Int("given")
                      ? nml_f_spline_2d_least_squares(
                            nx, x.data(), ny, y.data(), f.data(), ncx, ncy, NML_ORDER, kx, ky,
                            NML_WEIGHTS, wx.data(), wy.data(), NML_KNOTS, tx.data(), ty.data(), 0)
                      : nml_f_spline_2d_least_squares(nx, x.data(), ny, y.data(), f.data(), ncx,
                                                      ncy, NML_ORDER, kx, ky, NML_WEIGHTS,
                                                      wx.data(), wy.data(), 0));
    ASSERT_TRUE(sp) << c.name << " " << nml_error_code(1);
    for (std::size_t i = 0; i < tx.size(); ++i) EXPECT_FLOAT_EQ(sp->knots[0][i], tx[i]) << c.name;
    for (std::size_t i = 0; i < ty.size(); ++i) EXPECT_FLOAT_EQ(sp->knots[1][i], ty[i]) << c.name;
    const auto& coef = c["coef"];
    for (int i = 0; i < ncx * ncy; ++i)
      // The normal equations in single precision square the design's condition.
      EXPECT_NEAR(sp->coef[0][i], coef[i], 5e-4 * (1 + std::fabs(coef[i]))) << c.name << " " << i;
    for (int dx = 0; dx <= 1; ++dx)
      for (int dy = 0; dy <= 1; ++dy) {
        const auto& want = c["value" + std::to_string(dx) + std::to_string(dy)];
        std::vector<float> got(want.size());
        nml_f_spline_2d_value(0, 0, sp.get(), NML_DERIV, dx, dy, NML_GRID_USER, 5, px.data(), 4,
                              py.data(), got.data(), 0);
        // Each derivative loses about a digit to the knot spacing.
        const double tol = dx + dy == 0 ? 1e-4 : 1e-3 * (dx + dy);
        for (std::size_t i = 0; i < want.size(); ++i)
          EXPECT_NEAR(got[i], want[i], tol * (1 + std::fabs(want[i])))
              << c.name << " d" << dx << dy << " " << i;
      }
  }
}

TEST_F(Spline2d, InterpolatesWithAsManyCoefficientsAsData) {
  Grid g = Sample(4, 3, [](double x, double y) { return std::sin(3 * x) * std::exp(y); });
  auto sp = Own(nml_f_spline_2d_least_squares(4, g.x.data(), 3, g.y.data(), g.f.data(), 4, 3,
                                              NML_ORDER, 4, 3, 0));
  ASSERT_TRUE(sp);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_NEAR(nml_f_spline_2d_value(g.x[i], g.y[j], sp.get(), 0), g.f[i * 3 + j], 2e-5);
}

TEST_F(Spline2d, WeightsRowDimensionAndRepeatedAbscissae) {
  auto fn = [](double x, double y) { return std::cos(2 * x + y) + 0.3 * x * y * y; };
  Grid g = Sample(8, 6, fn);
  // A weight of 2 on one x position fits like that row given twice (equal abscissae allowed).
  std::vector<float> wx(8, 1.0f), wy(6, 1.0f);
  wx[3] = 2.0f;
  wy[2] = 0.5f;
  wy[4] = 0.0f;
  auto weighted = Own(nml_f_spline_2d_least_squares(8, g.x.data(), 6, g.y.data(), g.f.data(), 5, 4,
                                                    NML_WEIGHTS, wx.data(), wy.data(), 0));
  Grid d;
  std::vector<float> wyd = wy;
  for (int i = 0; i < 8; ++i)
    for (int copy = 0; copy < (i == 3 ? 2 : 1); ++copy) {
      d.x.push_back(g.x[i]);
      d.f.insert(d.f.end(), g.f.begin() + i * 6, g.f.begin() + i * 6 + 6);
    }
  // Same knots as the weighted fit (the default knots depend only on the data range).
  auto duplicated =
      Own(nml_f_spline_2d_least_squares(9, d.x.data(), 6, g.y.data(), d.f.data(), 5, 4, NML_WEIGHTS,
                                        std::vector<float>(9, 1.0f).data(), wyd.data(), 0));
  // The same data in rows of 10 with junk after each row.
  std::vector<float> wide(8 * 10, 999.0f);
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 6; ++j) wide[i * 10 + j] = g.f[i * 6 + j];
  const std::vector<float> wideBefore = wide;
  auto strided = Own(nml_f_spline_2d_least_squares(8, g.x.data(), 6, g.y.data(), wide.data(), 5, 4,
                                                   NML_WEIGHTS, wx.data(), wy.data(),
                                                   NML_FDATA_COL_DIM, 10, 0));
  ASSERT_TRUE(weighted && duplicated && strided);
  EXPECT_EQ(wide, wideBefore);
  for (int c = 0; c < 5 * 4; ++c) {
    EXPECT_NEAR(weighted->coef[0][c], duplicated->coef[0][c], 2e-5) << c;
    EXPECT_EQ(weighted->coef[0][c], strided->coef[0][c]) << c;
  }
}

TEST_F(Spline2d, Errors) {
  Grid g = Sample(6, 5, [](double x, double y) { return x + y; });
  auto sp = Own(nml_f_spline_2d_least_squares(6, g.x.data(), 5, g.y.data(), g.f.data(), 4, 4, 0));
  ASSERT_TRUE(sp);
  // One grid abscissa past the range: a warning and every result zero, not a partial grid.
  const float xs[] = {-1.0f, 0.0f, 1.6f}, ys[] = {0.6f, 1.0f};
  std::vector<float> out(6, 5.0f);
  EXPECT_TRUE(std::isnan(
      nml_f_spline_2d_value(0, 0, sp.get(), NML_GRID_USER, 3, xs, 2, ys, out.data(), 0)));
  EXPECT_EQ(nml_error_code(1), 3007);
  EXPECT_EQ(out, std::vector<float>(6, 0.0f));
  nmltest::FreshRuntime();
  EXPECT_EQ(nml_f_spline_2d_value(std::nextafter(1.5f, 2.0f), 1.0f, sp.get(), 0), 0.0f);
  EXPECT_EQ(nml_error_code(1), 3007);
  EXPECT_EQ(nml_error_type(1), NML_WARNING);

  struct Row {
    const char* what;
    int code, type;
    std::function<void()> call;
  };
  std::vector<float> down = g.x, flat = g.x, zeros(5, 0.0f), ones(6, 1.0f);
  std::swap(down[2], down[3]);
  flat[3] = flat[2];
  const Row rows[] = {
      {"decreasing data", 3047, NML_FATAL,
       [&] { nml_f_spline_2d_least_squares(6, down.data(), 5, g.y.data(), g.f.data(), 4, 4, 0); }},
      {"zero y weights", 3050, NML_TERMINAL,
       [&] {
         nml_f_spline_2d_least_squares(6, g.x.data(), 5, g.y.data(), g.f.data(), 4, 4, NML_WEIGHTS,
                                       ones.data(), zeros.data(), 0);
       }},
      {"order 0", 3043, NML_TERMINAL,
       [&] {
         nml_f_spline_2d_least_squares(6, g.x.data(), 5, g.y.data(), g.f.data(), 4, 4, NML_ORDER, 0,
                                       4, 0);
       }},
      {"more coefficients than data", 3044, NML_TERMINAL,
       [&] { nml_f_spline_2d_least_squares(6, g.x.data(), 5, g.y.data(), g.f.data(), 4, 6, 0); }},
      {"short rows", 3104, NML_TERMINAL,
       [&] {
         nml_f_spline_2d_least_squares(6, g.x.data(), 5, g.y.data(), g.f.data(), 4, 4,
                                       NML_FDATA_COL_DIM, 4, 0);
       }},
      {"unknown option", 103, NML_TERMINAL,
       [&] {
         nml_f_spline_2d_least_squares(6, g.x.data(), 5, g.y.data(), g.f.data(), 4, 4, 77, 0);
       }},
      {"negative derivative", 3003, NML_TERMINAL,
       [&] { nml_f_spline_2d_value(0.0f, 1.0f, sp.get(), NML_DERIV, -1, 0, 0); }},
  };
  for (const Row& r : rows) {
    nmltest::FreshRuntime();
    r.call();
    EXPECT_EQ(nml_error_code(1), r.code) << r.what;
    EXPECT_EQ(nml_error_type(1), r.type) << r.what;
  }
  nmltest::FreshRuntime();
  auto repeated =
      Own(nml_f_spline_2d_least_squares(6, flat.data(), 5, g.y.data(), g.f.data(), 4, 4, 0));
  EXPECT_TRUE(repeated) << nml_error_code(1);
}

}  // namespace
