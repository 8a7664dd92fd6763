// Float summary statistics against numpy and scipy.stats on float64 copies of the data
// (table by tools/numerics_further/gen_further_tables.py), the worked cases and the errors.
#include "numerics/further/nml_simple_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using furthertest::Cases;

namespace {

class SimpleStatistics : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

std::vector<float> Take(float* p, int n) {
  std::vector<float> v(p, p + n);
  std::free(p);
  return v;
}

}  // namespace

TEST_F(SimpleStatistics, AgreeWithNumpyAndScipy) {
  const Case c = Cases("simplestat").at(0);
  const int n = c.Int("n"), nv = c.Int("nvar");
  std::vector<float> x(c["x"].begin(), c["x"].end());
  const std::vector<float> keep = x;
  const std::vector<float> s =
      Take(nml_f_simple_statistics(n, nv, x.data(), NML_MEDIAN_AND_SCALE, 0), 17 * nv);
  ASSERT_EQ(nml_error_code(1), 0);
  EXPECT_EQ(x, keep) << "the data are restored";
  for (int r = 0; r < 17; ++r) {
    for (int j = 0; j < nv; ++j) {
      const double want = c["stats"][r * nv + j];
      const double tol = r >= 10 && r <= 13 ? 5e-5 : 2e-5;
      if (r == 9) {
        EXPECT_EQ(s[r * nv + j], want);
      } else {
        EXPECT_NEAR(s[r * nv + j], want, tol * std::max(1.0, std::fabs(want))) << r << "," << j;
      }
    }
  }
}

TEST_F(SimpleStatistics, WorkedCasesAndWarnings) {
  std::vector<float> x = {1, 2, 3, 4};
  const std::vector<float> s = Take(nml_f_simple_statistics(4, 1, x.data(), NML_MEDIAN, 0), 15);
  EXPECT_FLOAT_EQ(s[0], 2.5f);
  EXPECT_FLOAT_EQ(s[1], 5.0f / 3);
  EXPECT_FLOAT_EQ(s[7], 3.0f);
  EXPECT_EQ(s[9], 4.0f);
  EXPECT_NEAR(s[3], 0.0f, 1e-6);
  EXPECT_NEAR(s[4], -1.36f, 1e-5);
  EXPECT_FLOAT_EQ(s[8], std::sqrt(5.0f / 3) / 2.5f);
  EXPECT_FLOAT_EQ(s[14], 2.5f) << "an even count takes the mean of the middle two";

  // A row with a NaN leaves every variable: counts drop, medians NaN, warning 11062.
  std::vector<float> y = {1, 10, NAN, 20, 3, 30, 4, 40};  // 4 rows x 2 variables
  const std::vector<float> t = Take(nml_f_simple_statistics(4, 2, y.data(), NML_MEDIAN, 0), 30);
  EXPECT_EQ(t[9 * 2], 3.0f);
  EXPECT_EQ(t[9 * 2 + 1], 3.0f);
  EXPECT_TRUE(std::isnan(t[14 * 2]) && std::isnan(t[14 * 2 + 1]));
  EXPECT_FLOAT_EQ(t[1 * 2], 7.0f / 3) << "variance of 1, 3, 4";

  // A constant variable: zero spread, warning 11076.
  std::vector<float> k = {5, 5, 5};
  const std::vector<float> u = Take(nml_f_simple_statistics(3, 1, k.data(), 0), 14);
  for (int r : {1, 2, 3, 4}) EXPECT_EQ(u[r], 0.0f) << r;
  // A mean below eps: coefficient of variation NaN.
  std::vector<float> z = {-1, 1, -1, 1};
  const std::vector<float> v = Take(nml_f_simple_statistics(4, 1, z.data(), 0), 14);
  EXPECT_TRUE(std::isnan(v[8]));
  // A level of 0 computes no limits of that kind.
  std::vector<float> w = {1, 2, 3, 4};
  float out[14];
  std::fill(out, out + 14, 7.0f);
  nml_f_simple_statistics(4, 1, w.data(), NML_CONFIDENCE_MEANS, 0.0, NML_RETURN_USER, out, 0);
  EXPECT_TRUE(std::isnan(out[10]) && std::isnan(out[11]));
  EXPECT_FALSE(std::isnan(out[12]));
}

TEST_F(SimpleStatistics, RefusedCalls) {
  std::vector<float> x = {1, 2, 3, 4, 5, 6};
  struct Bad {
    const char* what;
    std::function<float*()> call;
    int code;
  };
  const std::vector<Bad> table = {
      {"both medians",
       [&] { return nml_f_simple_statistics(3, 2, x.data(), NML_MEDIAN, NML_MEDIAN_AND_SCALE, 0); },
       11117},
      {"unknown code", [&] { return nml_f_simple_statistics(3, 2, x.data(), 4711, 0); }, 11001},
      {"no observations", [&] { return nml_f_simple_statistics(0, 2, x.data(), 0); }, 603},
      {"mean level 100",
       [&] { return nml_f_simple_statistics(3, 2, x.data(), NML_CONFIDENCE_MEANS, 100.0, 0); },
       11064},
      {"variance level 100",
       [&] { return nml_f_simple_statistics(3, 2, x.data(), NML_CONFIDENCE_VARIANCES, 120.0, 0); },
       11065},
      // Rows shorter than the variables would read past x or write past the result.
      {"x rows too short",
       [&] { return nml_f_simple_statistics(3, 2, x.data(), NML_X_COL_DIM, 1, 0); }, 601},
      {"result rows too short",
       [&] { return nml_f_simple_statistics(3, 2, x.data(), NML_STAT_COL_DIM, 1, 0); }, 601},
  };
  for (const Bad& t : table) {
    EXPECT_EQ(t.call(), nullptr) << t.what;
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL) << t.what;
    EXPECT_EQ(nml_error_code(1), t.code) << t.what;
    EXPECT_EQ(x, (std::vector<float>{1, 2, 3, 4, 5, 6})) << t.what;
  }
  EXPECT_EQ(nml_f_isnan(NAN), 1);
  EXPECT_EQ(nml_f_isnan(INFINITY), 0);
  EXPECT_EQ(nml_f_isnan(1.0f), 0);
}
