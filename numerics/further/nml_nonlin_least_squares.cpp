// The nonlinear least-squares fits in double precision: the shared design of
// numerics/nml_nlsq_t.h over double and the double kernels.
#include "numerics/further/nml_nonlin_least_squares.h"

#include <cmath>
#include <cstdarg>

#include "numerics/further/nml_dcomplex.h"
#include "numerics/further/nml_further_kernels.h"
#include "numerics/further/nml_lin_least_squares.h"
#include "numerics/further/nml_regression_kernels.h"
#include "numerics/nml_nlsq_t.h"

namespace {

bool g_standard_forms = false;

struct DoubleNlsq {
  using Fcn = nml_d_nlsq_fcn;
  using Jac = nml_d_nlsq_jac;
  static constexpr bool kBoundedTakesRankOptions = false;
  static constexpr bool kCheckBoundOrder = true;
  static bool RowSumPrediction() { return !g_standard_forms; }
  static bool UpperPhi0() { return !g_standard_forms; }
  static double DefaultGradientTolerance() { return std::cbrt(nml_dmach(4)); }
  static double RelativeToleranceFloor() { return 1e-20; }
  static double Eps() { return nml_dmach(4); }
  static double Mach(int i) { return nml_dmach(i); }
  static double Safe() {
    double small = nml_dmach(1);
    const double big = nml_dmach(2);
    if (small * big < 1.0) small = 1.0 / big;
    return small;
  }
  static double Nrm2(int n, const double* x) { return nml_d_norm2(n, x); }
  static double Powi(double x, int k) { return nml_d_powi(x, k); }
  static void ScaledCopy(int n, double a, const double* x, int incx, double* y, int incy) {
    nml_d_scaled_copy(n, a, x, incx, y, incy);
  }
  static void Csfrg(const int* n, double* a, const int* lda) { nml_dcsfrg(n, a, lda); }
  static void Qr(const int* m, const int* n, double* a, const int* lda, const int* flag, int* p,
                 double* qr, const int* ldqr, double* aux, double* conorm, double* work) {
    L2RRR(m, n, a, lda, flag, p, qr, ldqr, aux, conorm, work);
  }
  static void Rotg(double* a, double* b, double* c, double* s) { DROTG(a, b, c, s); }
  static void Rot(int n, double* x, int incx, double* y, int incy, double c, double s) {
    DROT(n, x, incx, y, incy, c, s);
  }
  static void Scal(int n, double a, double* x, int inc) {
    for (int i = 0; i < n; ++i) x[static_cast<std::ptrdiff_t>(i) * inc] *= a;
  }
  static void Rcovb(int n, double* r, int ldr, double s, double* v, int cd) {
    nml_rcovb(n, r, ldr, s, v, cd);
  }
  static void SetReal(int k, double v) { nml_error_set_double(k, v); }
};

using nml::nlsq::Public;

}  // namespace

void l_d_nlsq_set_standard_forms(bool standard) { g_standard_forms = standard; }
bool l_d_nlsq_standard_forms() { return g_standard_forms; }

double* nml_d_nonlin_least_squares(nml_d_nlsq_fcn fcn, int m, int n, ...) {
  va_list ap;
  va_start(ap, n);
  double* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 3, ap);
    result = Public<double, DoubleNlsq>("nml_d_nonlin_least_squares", false, fcn, m, n, 0, nullptr,
                                        nullptr, r);
  }
  va_end(ap);
  return result;
}

double* nml_d_nonlin_least_squares(nml_d_nlsq_fcn fcn, int m, int n, const nml_options& options) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 3, options);
  return Public<double, DoubleNlsq>("nml_d_nonlin_least_squares", false, fcn, m, n, 0, nullptr,
                                    nullptr, r);
}

double* nml_d_bounded_least_squares(nml_d_nlsq_fcn fcn, int m, int n, int ibtype, double* xlb,
                                    double* xub, ...) {
  va_list ap;
  va_start(ap, xub);
  double* result = nullptr;
  {
    nml::VaListOptionReader r(nml::Runtime::Math(), 6, ap);
    result = Public<double, DoubleNlsq>("nml_d_bounded_least_squares", true, fcn, m, n, ibtype, xlb,
                                        xub, r);
  }
  va_end(ap);
  return result;
}

double* nml_d_bounded_least_squares(nml_d_nlsq_fcn fcn, int m, int n, int ibtype, double* xlb,
                                    double* xub, const nml_options& options) {
  nml::TypedOptionReader r(nml::Runtime::Math(), 6, options);
  return Public<double, DoubleNlsq>("nml_d_bounded_least_squares", true, fcn, m, n, ibtype, xlb,
                                    xub, r);
}
