// Single-precision complex arithmetic and the complex and real vector kernels.
#include <cmath>
#include <cstring>

#include "numerics/nml_blas.h"
#include "numerics/nml_complex_t.h"
#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

nml_f_complex nml_c_make(float re, float im) { return {re, im}; }
nml_f_complex nml_c_narrow(double re, double im) {
  return {static_cast<float>(re), static_cast<float>(im)};
}
float nml_c_real(nml_f_complex z) { return z.re; }
float nml_c_imag(nml_f_complex z) { return z.im; }
nml_f_complex nml_c_conj(nml_f_complex z) { return {z.re, -z.im}; }
int nml_c_eq(nml_f_complex a, nml_f_complex b) { return a.re == b.re && a.im == b.im ? 1 : 0; }

nml_f_complex nml_c_mul(nml_f_complex a, nml_f_complex b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

nml_f_complex nml_c_div(nml_f_complex a, nml_f_complex b) { return nml::ComplexDiv(a, b); }

float nml_c_abs(nml_f_complex z) {
  return static_cast<float>(std::hypot(static_cast<double>(z.re), static_cast<double>(z.im)));
}

float nml_c_arg(nml_f_complex z) {
  if (z.re == 0.0f && z.im == 0.0f) return 0.0f;
  return static_cast<float>(std::atan2(static_cast<double>(z.im), static_cast<double>(z.re)));
}

nml_f_complex nml_c_sqrt(nml_f_complex z) { return nml::ComplexSqrt(z, nml_c_abs(z)); }

nml_f_complex nml_c_exp(nml_f_complex z) { return nml::ComplexExp(z); }

nml_f_complex nml_c_log(nml_f_complex z) { return {std::log(nml_c_abs(z)), nml_c_arg(z)}; }

nml_f_complex nml_c_sin(nml_f_complex z) { return nml::ComplexSin(z); }

nml_f_complex nml_c_cos(nml_f_complex z) { return nml::ComplexCos(z); }

// ---------------------------------------------------------------------------------------

void SCOPY(int n, const float* x, int incx, float* y, int incy) {
  nml::blas::Copy(n, x, incx, y, incy);
}

void CSWAP(const int* n, nml_f_complex* x, const int* incx, nml_f_complex* y, const int* incy) {
  nml::blas::Swap(*n, x, *incx, y, *incy);
}

void CSCAL(const int* n, const nml_f_complex* a, nml_f_complex* x, const int* incx) {
  if (*n <= 0) return;
  if (*incx == 1) {
    for (int i = 0; i < *n; ++i) {
      const float re = a->re * x[i].re - a->im * x[i].im;
      x[i].im = a->re * x[i].im + a->im * x[i].re;
      x[i].re = re;
    }
    return;
  }
  const long last = static_cast<long>(*n) * *incx;
  for (long i = 1; i <= last; i += *incx) x[i - 1] = nml_c_mul(*a, x[i - 1]);
}

void CSSCAL(const int* n, const float* a, nml_f_complex* x, const int* incx) {
  if (*n <= 0) return;
  if (*incx == 1) {
    for (int i = 0; i < *n; ++i) {
      x[i].re *= *a;
      x[i].im *= *a;
    }
    return;
  }
  const long last = static_cast<long>(*n) * *incx;
  for (long i = 1; i <= last; i += *incx) {
    x[i - 1].re *= *a;
    x[i - 1].im *= *a;
  }
}

float SCNRM2(const int* n, const nml_f_complex* x, const int*) {
  float sum = 0.0f;
  for (int i = 0; i < *n; ++i) sum += x[i].re * x[i].re + x[i].im * x[i].im;
  return std::sqrt(sum);
}

int ISAMAX(int n, const float* x, int incx) { return nml::blas::Iamax(n, x, incx); }

void CRGRG(int n, const float* a, int lda, float* b, int ldb) {
  nml::blas::Crgrg(n, a, lda, b, ldb);
}
