// Double-complex arithmetic, its vector kernels, the integer power and machine constants.
#include "numerics/further/nml_dcomplex.h"

#include <climits>
#include <cmath>

#include "numerics/nml_blas.h"
#include "numerics/nml_complex_t.h"
#include "numerics/nml_runtime.h"

nml_d_complex nml_c_make(double re, double im) { return {re, im}; }
double nml_c_real(nml_d_complex z) { return z.re; }
double nml_c_imag(nml_d_complex z) { return z.im; }
nml_d_complex nml_c_conjg(nml_d_complex z) { return {z.re, -z.im}; }
nml_d_complex nml_c_neg(nml_d_complex z) { return {-z.re, -z.im}; }
nml_d_complex nml_c_add(nml_d_complex a, nml_d_complex b) { return {a.re + b.re, a.im + b.im}; }
nml_d_complex nml_c_sub(nml_d_complex a, nml_d_complex b) { return {a.re - b.re, a.im - b.im}; }
nml_d_complex nml_c_mul(nml_d_complex a, nml_d_complex b) {
  return {a.re * b.re - a.im * b.im, a.im * b.re + a.re * b.im};
}
nml_d_complex nml_c_div(nml_d_complex a, nml_d_complex b) { return nml::ComplexDiv(a, b); }
int nml_c_eq(nml_d_complex a, nml_d_complex b) { return a.re == b.re && a.im == b.im ? 1 : 0; }
nml_d_complex nml_c_convert(nml_f_complex z) { return {z.re, z.im}; }
double nml_c_abs(nml_d_complex z) { return std::hypot(z.re, z.im); }
double nml_c_arg(nml_d_complex z) {
  if (z.re == 0.0 && z.im == 0.0) return 0.0;
  return std::atan2(z.im, z.re);
}
nml_d_complex nml_c_sqrt(nml_d_complex z) { return nml::ComplexSqrt(z, nml_c_abs(z)); }
nml_d_complex nml_c_log(nml_d_complex z) { return {std::log(nml_c_abs(z)), nml_c_arg(z)}; }
nml_d_complex nml_c_exp(nml_d_complex z) { return nml::ComplexExp(z); }
nml_d_complex nml_c_sin(nml_d_complex z) { return nml::ComplexSin(z); }
nml_d_complex nml_c_cos(nml_d_complex z) { return nml::ComplexCos(z); }

// ---------------------------------------------------------------------------------------

void ZSET(const int* n, const nml_d_complex* value, nml_d_complex* x, const int* inc) {
  for (long k = 0; k < *n; ++k) x[k * *inc] = *value;
}

void ZSWAP(const int* n, nml_d_complex* x, const int* incx, nml_d_complex* y, const int* incy) {
  nml::blas::Swap(*n, x, *incx, y, *incy);
}

void ZSCAL(const int* n, const nml_d_complex* za, nml_d_complex* x, const int* incx) {
  for (long k = 0; k < *n; ++k) x[k * *incx] = nml_c_mul(*za, x[k * *incx]);
}

void ZDSCAL(const int* n, const double* da, nml_d_complex* x, const int* incx) {
  for (long k = 0; k < *n; ++k) {
    x[k * *incx].re *= *da;
    x[k * *incx].im *= *da;
  }
}

double DZNRM2(const int* n, const nml_d_complex* x) {
  double sum = 0.0;
  for (int i = 0; i < *n; ++i) sum += x[i].re * x[i].re + x[i].im * x[i].im;
  return std::sqrt(sum);
}

void CDIV(const double* ar, const double* ai, const double* br, const double* bi, double* cr,
          double* ci) {
  double s = std::fabs(*br) + std::fabs(*bi);
  const double ars = *ar / s, ais = *ai / s, brs = *br / s, bis = *bi / s;
  s = nml_d_powi(brs, 2) + nml_d_powi(bis, 2);
  *cr = (ars * brs + ais * bis) / s;
  *ci = (ais * brs - ars * bis) / s;
}

double nml_d_powi(double x, int n) {
  if (n == INT_MIN) {
    // |n| has no int: refuse instead of negating it.
    nml::NameScope scope("nml_d_powi");
    int count = 0;
    nml_check_range(n, "n", INT_MIN + 1, INT_MAX, &count);
    return nml_dmach(6);
  }
  if (n < 0) x = 1.0 / x;
  int m = n < 0 ? -n : n;
  if (m == 0) return 1.0;
  if (m <= 5) {
    double y = x;
    for (int i = 1; i < m; ++i) y *= x;
    return y;
  }
  if (m == 6) {
    const double y = x * x;
    return y * y * y;
  }
  double r = 1.0, base = x;
  for (;;) {
    if (m & 1) r *= base;
    m >>= 1;
    if (m == 0) return r;
    base *= base;
  }
}

namespace {

double l_machine(int n) {
  if (n >= 1 && n <= 8) return nml_dmach(n);
  nml::NameScope scope("l_machine");
  nml_error_set_string(1, "n");
  nml_error_set_int(1, 1);
  nml_error_set_int(2, 8);
  nml_error_set_int(3, n);
  nml_error_post(NML_TERMINAL, 132);
  return nml_dmach(6);
}

}  // namespace

double nml_d_machine(int n) {
  double result = nml_dmach(6);
  nml_public("nml_d_machine", [&] { result = l_machine(n); });
  return result;
}
