// Simple statistics against numpy/scipy (tools/numerics_nlsq/gen_tables.py) and their
// error paths.
#include "numerics/nml_stat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/nml_test_util.h"

namespace {

struct StatCase {
  std::string name;
  int nobs = 0, nvar = 0, median = 0;
  double cm = 95.0, cv = 95.0;
  std::vector<double> x, expect;
};

std::vector<StatCase> load_cases() {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/numerics/testdata/stat_numpy.txt");
  std::vector<StatCase> cases;
  for (std::string line; std::getline(in, line);) {
    std::istringstream ss(line);
    std::string key;
    ss >> key;
    if (key == "case") {
      cases.emplace_back();
      auto& c = cases.back();
      ss >> c.name >> c.nobs >> c.nvar >> c.median >> c.cm >> c.cv;
      continue;
    }
    if (cases.empty() || (key != "x" && key != "expect")) continue;
    std::vector<double>& v = key == "x" ? cases.back().x : cases.back().expect;
    for (std::string t; ss >> t;) v.push_back(t == "nan" ? NAN : std::stod(t));
  }
  return cases;
}

class SimpleStatistics : public ::testing::Test {
 protected:
  nmltest::StdErrCapture quiet_;  // the immediate warnings are printed
};

// Tolerances: moments and order statistics to rounding; the confidence limits to what the
// library's t inverse (Hill's approximation, about 3e-5 relative) and chi-squared inverse
// (Wilson-Hilferty distribution above 65 degrees of freedom, about 3e-4) reach; the scaled
// deviation to the normal quantile's 7-digit constants.
TEST_F(SimpleStatistics, AgreeWithNumpyAndScipy) {
  const auto cases = load_cases();
  ASSERT_EQ(cases.size(), 8u);
  for (const auto& c : cases) {
    std::vector<double> x = c.x;
    nml_options o = nml_opts(NML_MEANS_CONFIDENCE, c.cm, NML_VARIANCES_CONFIDENCE, c.cv);
    if (c.median == 1) o.add(NML_MEDIAN);
    if (c.median == 2) o.add(NML_MEDIAN_AND_SCALE);
    o.add(0);
    double* s = nml_d_simple_statistics(c.nobs, c.nvar, x.data(), o);
    ASSERT_NE(s, nullptr) << c.name;
    EXPECT_EQ(std::memcmp(x.data(), c.x.data(), sizeof(double) * x.size()), 0)
        << c.name << ": the data are restored";
    const int rows = (int)c.expect.size() / c.nvar;
    for (int r = 0; r < rows; ++r) {
      for (int j = 0; j < c.nvar; ++j) {
        const double e = c.expect[r * c.nvar + j], v = s[r * c.nvar + j];
        const std::string what = c.name + " row " + std::to_string(r) + " var " + std::to_string(j);
        if (std::isnan(e)) {
          EXPECT_TRUE(std::isnan(v)) << what << " = " << v;
          continue;
        }
        double tol = 1e-12 * std::max(1.0, std::fabs(e));
        if (r == 10 || r == 11) tol = 5e-5 * std::fabs(e) + 1e-12;
        if (r == 12 || r == 13) tol = (c.nobs > 66 ? 1e-3 : 5e-5) * std::fabs(e) + 1e-12;
        if (r == 3 || r == 4) tol = 1e-10;
        if (r == 16) tol = 2e-7 * std::fabs(e);  // normal quantile of 7-digit constants
        EXPECT_NEAR(v, e, tol) << what;
      }
    }
    std::free(s);
  }
}

TEST_F(SimpleStatistics, WarningsOnDegenerateData) {
  struct Case {
    std::vector<double> x;
    const char* code;
  };
  const Case cases[] = {{{3.5}, "11067"}, {{2.0, 2.0, 2.0}, "11076"}, {{1.0, NAN, 3.0}, "11062"}};
  for (const auto& c : cases) {
    quiet_.clear();
    std::vector<double> x = c.x;
    double* s = nml_d_simple_statistics((int)x.size(), 1, x.data(), 0);
    ASSERT_NE(s, nullptr) << c.code;
    EXPECT_NE(quiet_.text().find(c.code), std::string::npos) << c.code;
    std::free(s);
  }
}

// Rows of a level that is not computed are NaN, not whatever the array held.
TEST_F(SimpleStatistics, LevelZeroLeavesItsRowsNaN) {
  double x[5] = {1, 2, 4, 8, 16};
  std::vector<double> out(14, 123.0);
  double* s = nml_d_simple_statistics(5, 1, x, NML_MEANS_CONFIDENCE, 0.0, NML_VARIANCES_CONFIDENCE,
                                      -5.0, NML_RETURN_USER, out.data(), 0);
  ASSERT_EQ(s, out.data());
  for (int r = 10; r <= 13; ++r) EXPECT_TRUE(std::isnan(out[r])) << r;
  EXPECT_DOUBLE_EQ(out[0], 6.2);
}

TEST_F(SimpleStatistics, StridesOfDataAndResult) {
  // two variables in rows of stride 3 (the third column is not data), results in rows of 4
  std::vector<double> x = {1, 10, -1, 2, 20, -1, 3, 30, -1, 6, 60, -1};
  const std::vector<double> orig = x;
  std::vector<double> out(14 * 4, -7.0);
  double* s = nml_d_simple_statistics(4, 2, x.data(), NML_X_ROW_STRIDE, 3, NML_STAT_ROW_STRIDE, 4,
                                      NML_RETURN_USER, out.data(), 0);
  ASSERT_EQ(s, out.data());
  EXPECT_EQ(x, orig);
  EXPECT_DOUBLE_EQ(out[0 * 4 + 0], 3.0);
  EXPECT_DOUBLE_EQ(out[0 * 4 + 1], 30.0);
  EXPECT_DOUBLE_EQ(out[6 * 4 + 1], 60.0);
  EXPECT_DOUBLE_EQ(out[9 * 4 + 0], 4.0);
}

TEST_F(SimpleStatistics, ErrorsReturnNull) {
  double x[4] = {1, 2, 3, 4};
  struct Case {
    nml_options opts;
    int nobs, nvar, code;
  };
  const Case cases[] = {
      {nml_opts(NML_MEANS_CONFIDENCE, 101.0, 0), 4, 1, 11064},
      {nml_opts(NML_VARIANCES_CONFIDENCE, 100.5, 0), 4, 1, 11065},
      {nml_opts(4711, 0), 4, 1, 11001},
      {nml_opts(NML_MEDIAN, NML_MEDIAN_AND_SCALE, 0), 4, 1, 11117},
      {nml_opts(0), 4, 0, 603},
      {nml_opts(0), 0, 1, 603},
  };
  for (const auto& c : cases) {
    double* s = nml_d_simple_statistics(c.nobs, c.nvar, x, c.opts);
    EXPECT_EQ(s, nullptr) << c.code;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << c.code;
    EXPECT_EQ(nml_error_code(1), c.code);
  }
  EXPECT_EQ(x[3], 4.0);
}

TEST(GuardedDivision, Cases) {
  const double big = nml_dmach(2), small = nml_dmach(1);
  struct Case {
    double a, b, expect;
  };
  const Case cases[] = {
      {6.0, 3.0, 2.0},      {small, 10.0, 0.0},      // underflow
      {big, 0.5, INFINITY}, {-big, 0.5, -INFINITY},  // overflow keeps the sign
      {1.0, 0.0, INFINITY}, {-1.0, 0.0, -INFINITY},  // b = 0 counts as positive
      {0.0, 0.0, NAN},      {NAN, 1.0, NAN},
  };
  for (const auto& c : cases) {
    double q = 0.0;
    nml_d_div_guarded(c.a, c.b, &q);
    if (std::isnan(c.expect))
      EXPECT_TRUE(std::isnan(q)) << c.a << "/" << c.b;
    else
      EXPECT_EQ(q, c.expect) << c.a << "/" << c.b;
  }
}

}  // namespace

namespace {

// Frequency and weight columns of the observation reader (the statistics routines of the
// library that take such columns read them through it).
TEST(ObservationWeight, StatusesAndErrors) {
  nmltest::StdErrCapture quiet;
  // column-ordered 5 rows: data, frequency, weight
  const double x[15] = {1, 2, 3, 4, 5, 2, 0, NAN, -1, 1, 0.5, 1, 1, 1, -2};
  struct Case {
    int row, ido, sign, status, nrmiss, code;
    double freq, weight;
  };
  const Case cases[] = {
      {1, 0, 1, 0, 0, 0, 2.0, 0.5},        // used
      {1, 0, -1, 0, 0, 0, -2.0, 0.5},      // deleting: frequency negated
      {2, 0, 1, 1, 0, 0, 0.0, 0.0},        // zero frequency: skipped, not missing
      {3, 0, -1, 2, -1, 0, 0.0, 0.0},      // NaN frequency: missing, counted by the sign
      {4, 0, 1, 3, 0, 11055, 0.0, 0.0},    // negative frequency
      {4, 1, 1, 3, 0, 11054, 0.0, 0.0},    // the same in a later call
      {5, 0, 1, 3, 0, 11057, 0.0, 0.0},    // negative weight
  };
  for (const auto& c : cases) {
    int nrmiss = 0, status = -1;
    double f = 0.0, w = 0.0;
    nml_error_push_name("test");
    nml_d_obs_weight(c.ido, 2, x, 5, c.row, c.sign, 2, 3, NAN, &nrmiss, &f, &w, &status);
    const int code = nml_error_code(0);
    nml_e1mes(0, 0, " ");
    nml_error_pop_name("test");
    EXPECT_EQ(status, c.status) << c.row;
    EXPECT_EQ(nrmiss, c.nrmiss) << c.row;
    EXPECT_EQ(code, c.code) << c.row;
    if (c.status == 0) {
      EXPECT_EQ(f, c.freq);
      EXPECT_EQ(w, c.weight);
    }
  }
  // no columns: frequency and weight 1
  int nrmiss = 0, status = -1;
  double f = 0.0, w = 0.0;
  nml_d_obs_weight(0, 1, x, 5, 1, 1, 0, 0, NAN, &nrmiss, &f, &w, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(f, 1.0);
  EXPECT_EQ(w, 1.0);
}

}  // namespace
