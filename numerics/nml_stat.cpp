// Univariate summary statistics in double precision, and the guarded division and the
// observation reader they stand on.
#include "numerics/nml_stat.h"

#include <cmath>
#include <cstdarg>

#include "numerics/nml.h"
#include "numerics/nml_stat_t.h"

void nml_d_div_guarded(double a, double b, double* out) {
  const double nan = nml_dmach(6);
  if (std::isnan(a) || std::isnan(b)) {
    *out = nan;
    return;
  }
  const double small = nml_dmach(1), big = nml_dmach(2);
  if (std::fabs(b) > 1.0) {
    *out = small * std::fabs(b) > std::fabs(a) ? 0.0 : a / b;
    return;
  }
  if (big * std::fabs(b) <= std::fabs(a)) {
    if (a == 0.0) {
      *out = nan;
      return;
    }
    const bool bneg = std::signbit(b) && b != 0.0;
    const bool negative = (a < 0.0) != bneg;
    *out = negative ? nml_dmach(8) : nml_dmach(7);
    return;
  }
  *out = a / b;
}

void nml_d_obs_weight(int ido, int counter, const double* x, int ldx, int i, int sign, int ifrq,
                      int iwt, double /*nan*/, int* nrmiss, double* frequency, double* weight,
                      int* status) {
  nml::ObsWeight(ido, counter, x, ldx, i, sign, ifrq, iwt, nrmiss, frequency, weight, status);
}

namespace {

struct DoubleStatistics {
  static constexpr bool kRefuseLevel100 = false;
  static double Mach(int i) { return nml_dmach(i); }
  static void SafeDiv(double a, double b, double* q) { nml_d_div_guarded(a, b, q); }
  static double TInverse(double p, double df) { return nml_d_t_inverse(p, df); }
  static double ChiSquaredInverse(double p, double df) {
    return nml_d_chi_squared_inverse_cdf(p, df);
  }
  static double NormalInverse(double p) { return nml_d_normal_inverse_cdf(p); }
};

double* l_simple_statistics(int nobs, int nvar, double* x, nml::OptionReader& r) {
  return nml::SimpleStatistics<double, DoubleStatistics>(nobs, nvar, x, r);
}

}  // namespace

double* nml_d_simple_statistics(int nobs, int nvar, double* x, ...) {
  va_list ap;
  va_start(ap, x);
  double* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 3, ap);
    nml_public("nml_d_simple_statistics", [&] { result = l_simple_statistics(nobs, nvar, x, r); });
  }
  va_end(ap);
  return result;
}

double* nml_d_simple_statistics(int nobs, int nvar, double* x, const nml_options& options) {
  double* result = nullptr;
  nml::TypedOptionReader r(nml::Runtime::Math(), 3, options);
  nml_public("nml_d_simple_statistics", [&] { result = l_simple_statistics(nobs, nvar, x, r); });
  return result;
}
