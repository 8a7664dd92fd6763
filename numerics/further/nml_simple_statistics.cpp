// Univariate summary statistics in single precision.
#include "numerics/further/nml_simple_statistics.h"

#include <cstdarg>
#include <cstring>

#include "numerics/further/nml_distributions.h"
#include "numerics/further/nml_regression_kernels.h"
#include "numerics/nml_stat_t.h"

namespace {

struct FloatStatistics {
  static constexpr bool kRefuseLevel100 = true;
  static float Mach(int i) { return nml_amach(i); }
  static void SafeDiv(float a, float b, float* q) { nml_f_safe_div(a, b, q); }
  static float TInverse(float p, float df) { return nml_f_t_inverse(p, df); }
  static float ChiSquaredInverse(float p, float df) { return nml_f_chi_squared_inverse_cdf(p, df); }
  static float NormalInverse(float p) { return nml_f_normal_inverse_cdf(p); }
};

float* Statistics(int nobs, int nvar, float* x, nml::OptionReader& r) {
  float* result = nullptr;
  nml_public("nml_f_simple_statistics",
             [&] { result = nml::SimpleStatistics<float, FloatStatistics>(nobs, nvar, x, r); });
  return result;
}

}  // namespace

void nml_f_obs_weight(int ido, int counter, const float* x, int ldx, int i, int sign, int ifrq,
                      int iwt, float /*nan*/, int* nrmiss, float* frequency, float* weight,
                      int* status) {
  nml::ObsWeight(ido, counter, x, ldx, i, sign, ifrq, iwt, nrmiss, frequency, weight, status);
}

int nml_f_isnan(float x) {
  unsigned bits;
  std::memcpy(&bits, &x, sizeof bits);
  return (bits & 0x7f800000u) == 0x7f800000u && (bits & 0x007fffffu) != 0 ? 1 : 0;
}

float* nml_f_simple_statistics(int n_observations, int n_variables, float* x, ...) {
  va_list ap;
  va_start(ap, x);
  float* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 3, ap);
    result = Statistics(n_observations, n_variables, x, r);
  }
  va_end(ap);
  return result;
}

float* nml_f_simple_statistics(int n_observations, int n_variables, float* x,
                               const nml_options& options) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 3, options);
  return Statistics(n_observations, n_variables, x, r);
}
