// Distribution functions and the float error functions against scipy.stats and
// scipy.special (tables by tools/numerics_further/gen_further_tables.py), with the worked
// cases and error codes of their definitions.
#include "numerics/further/nml_distributions.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "numerics/further/further_test_support.h"
#include "numerics/nml_test_util.h"

using furthertest::Case;
using furthertest::Cases;

namespace {

class Distributions : public testing::Test {
 protected:
  void SetUp() override { nmltest::FreshRuntime(); }
  nmltest::StdErrCapture err_;
};

const Case& Table(const char* kind) {
  static std::map<std::string, Case> cache;
  auto it = cache.find(kind);
  if (it == cache.end()) it = cache.emplace(kind, Cases(kind).at(0)).first;
  return it->second;
}

}  // namespace

TEST_F(Distributions, PoissonAgreesWithScipyAlsoWhereTheFirstTermUnderflows) {
  const Case& c = Table("poisson");
  for (std::size_t i = 0; i < c["k"].size(); ++i) {
    const double want = c["p"][i];
    // 1e-12 but for (2000, 1000), whose terms near the peak come from the upper end: they
    // carry the log-gamma error of its start, 1.0e-12 measured.
    EXPECT_NEAR(nml_d_poisson_cdf(static_cast<int>(c["k"][i]), c["theta"][i]), want, 1.5e-12 * want)
        << c["k"][i] << ", " << c["theta"][i];
  }
  EXPECT_DOUBLE_EQ(nml_d_poisson_cdf(0, 2.5), std::exp(-2.5));
  EXPECT_EQ(nml_d_poisson_cdf(-1, 2), 0.0);
  EXPECT_EQ(nml_error_code(1), 9054);
  EXPECT_TRUE(std::isnan(nml_d_poisson_cdf(3, 0)));
  EXPECT_EQ(nml_error_type(1), NML_TERMINAL);
  EXPECT_EQ(nml_error_code(1), 9064);
}

TEST_F(Distributions, FAndChiSquaredAgreeWithScipy) {
  const Case& f = Table("fcdf");
  for (std::size_t i = 0; i < f["f"].size(); ++i) {
    EXPECT_NEAR(nml_d_F_cdf(f["f"][i], f["dfn"][i], f["dfd"][i]), f["p"][i], 1e-12) << i;
    EXPECT_NEAR(nml_f_F_cdf(static_cast<float>(f["f"][i]), static_cast<float>(f["dfn"][i]),
                            static_cast<float>(f["dfd"][i])),
                f["p"][i], 1e-5)
        << i;
  }
  EXPECT_FLOAT_EQ(nml_f_F_cdf(1, 1, 1), 0.5f);
  EXPECT_EQ(nml_f_F_cdf(0, 2, 3), 0.0f);
  EXPECT_EQ(nml_error_code(1), 9050);
  EXPECT_TRUE(std::isnan(nml_d_F_cdf(1, 0, 3)));
  EXPECT_EQ(nml_error_code(1), 9048);

  // 2e-6 but at (60, 65), where the complement's asymptotic series meets x near df/2 at the
  // edge of its branch: 2.17e-6 measured.
  const Case& c = Table("chi2");
  for (std::size_t i = 0; i < c["x"].size(); ++i)
    EXPECT_NEAR(
        nml_f_chi_squared_cdf(static_cast<float>(c["x"][i]), static_cast<float>(c["df"][i])),
        c["p"][i], c["df"][i] >= 65 ? 2.5e-6 : 2e-6)
        << c["x"][i] << ", " << c["df"][i];
  // Above 65 degrees the normal approximation: close to its own formula, within its known
  // error of the exact value.
  const Case& big = Table("chi2big");
  for (std::size_t i = 0; i < big["x"].size(); ++i) {
    const float got =
        nml_f_chi_squared_cdf(static_cast<float>(big["x"][i]), static_cast<float>(big["df"][i]));
    EXPECT_NEAR(got, big["approx"][i], 2e-6) << i;
    EXPECT_NEAR(got, big["p"][i], 3e-4) << i;
  }
  EXPECT_NEAR(nml_f_chi_squared_cdf(2, 2), 1 - std::exp(-1.0), 1e-6);
  EXPECT_NEAR(nml_f_chi_squared_cdf(30, 2), 1 - std::exp(-15.0), 1e-6);
  EXPECT_EQ(nml_f_chi_squared_cdf(200.5f, 10), 1.0f);
  EXPECT_EQ(nml_f_chi_squared_cdf(-1, 3), 0.0f);
  EXPECT_EQ(nml_error_code(1), 9055);
  EXPECT_TRUE(std::isnan(nml_f_chi_squared_cdf(1, 0.4f)));
  EXPECT_EQ(nml_error_code(1), 9051);
}

TEST_F(Distributions, ChiSquaredInverse) {
  const Case& c = Table("chi2inv");
  for (std::size_t i = 0; i < c["p"].size(); ++i) {
    const float p = static_cast<float>(c["p"][i]), df = static_cast<float>(c["df"][i]);
    const float x = nml_f_chi_squared_inverse_cdf(p, df);
    EXPECT_EQ(nml_error_code(1), 0) << i;
    EXPECT_NEAR(nml_f_chi_squared_cdf(x, df), p, 1e-5) << i;
    EXPECT_NEAR(x, c["x"][i], 1e-3 * (1 + c["x"][i])) << i;
  }
  EXPECT_NEAR(nml_f_chi_squared_inverse_cdf(0.5f, 2), 1.3862944f, 2e-5);
  for (float p : {0.0f, 1.0f}) {
    EXPECT_TRUE(std::isnan(nml_f_chi_squared_inverse_cdf(p, 3)));
    EXPECT_EQ(nml_error_code(1), 9043);
  }
}

TEST_F(Distributions, FloatErrorFunctions) {
  const Case& c = Table("erf");
  for (std::size_t i = 0; i < c["x"].size(); ++i) {
    const float x = static_cast<float>(c["x"][i]);
    for (auto [got, want] : {std::pair<float, double>{nml_f_erf(x), c["erf"][i]},
                             std::pair<float, double>{nml_f_erfc(x), c["erfc"][i]}}) {
      const float w = static_cast<float>(want);
      EXPECT_LE(std::fabs(got - w), 4 * (std::nextafter(std::fabs(w), INFINITY) - std::fabs(w)))
          << x << ": " << got << " vs " << want;
    }
  }
  const Case& t = Table("erfctail");
  for (std::size_t i = 0; i < t["x"].size(); ++i)
    EXPECT_NEAR(nml_f_erfc(static_cast<float>(t["x"][i])), t["erfc"][i], 1e-5 * t["erfc"][i]) << i;
  EXPECT_EQ(nml_f_erf(0), 0.0f);
  EXPECT_EQ(nml_f_erf(-0.7f), -nml_f_erf(0.7f));
  EXPECT_EQ(nml_f_erf(5), 1.0f);
  EXPECT_EQ(nml_f_erfc(-5), 2.0f);
  EXPECT_EQ(nml_f_erfc(10), 0.0f);
  EXPECT_EQ(nml_error_type(1), NML_ALERT);
  EXPECT_EQ(nml_error_code(1), 9015);
  EXPECT_EQ(nml_f_normal_cdf(0), 0.5f);
  EXPECT_EQ(nml_f_normal_cdf(-20), 0.0f);
  EXPECT_EQ(nml_error_code(1), 0) << "the lower tail underflows quietly";
  EXPECT_EQ(nml_f_normal_cdf(10), 1.0f);
}

namespace chebyshev {
#include "numerics/nml_chebyshev.inc"
}

TEST_F(Distributions, FloatSeriesUseTheTermsTheirPrecisionNeeds) {
  const float eta = 0.1f * nml_amach(3);
  auto terms = [&](const double* cs, int n) {
    std::vector<float> f(cs, cs + n);
    return nml_inits(f.data(), n, eta);
  };
  EXPECT_EQ(terms(chebyshev::kERFCS, chebyshev::kERFCSTerms), 7);
  EXPECT_EQ(terms(chebyshev::kERC2CS, chebyshev::kERC2CSTerms), 10);
  EXPECT_EQ(terms(chebyshev::kERFCCS, chebyshev::kERFCCSTerms), 9);
  EXPECT_FLOAT_EQ(static_cast<float>(chebyshev::kERFCS[0]), -0.049046121537685394f);
  EXPECT_FLOAT_EQ(static_cast<float>(chebyshev::kERC2CS[0]), -0.06960134953260422f);
  EXPECT_FLOAT_EQ(static_cast<float>(chebyshev::kERFCCS[0]), 0.0715179294347763f);
}
