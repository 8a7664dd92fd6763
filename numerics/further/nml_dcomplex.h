// The double-complex number of the numerical library with its arithmetic, the complex and
// real double vector kernels of the eigen-solvers, an integer power and the double machine
// constants as a public routine. The float complex routines of the same names are in
// numerics/nml_kernels.h; these are their overloads over nml_d_complex.
#pragma once

#include "numerics/nml_kernels.h"

nml_d_complex nml_c_make(double re, double im);
double nml_c_real(nml_d_complex z);
double nml_c_imag(nml_d_complex z);
nml_d_complex nml_c_conjg(nml_d_complex z);
nml_d_complex nml_c_neg(nml_d_complex z);
nml_d_complex nml_c_add(nml_d_complex a, nml_d_complex b);
nml_d_complex nml_c_sub(nml_d_complex a, nml_d_complex b);
nml_d_complex nml_c_mul(nml_d_complex a, nml_d_complex b);
// Smith's quotient; a zero divisor posts TERMINAL 607 and gives NaNs.
nml_d_complex nml_c_div(nml_d_complex a, nml_d_complex b);
int nml_c_eq(nml_d_complex a, nml_d_complex b);
nml_d_complex nml_c_convert(nml_f_complex z);
double nml_c_abs(nml_d_complex z);
double nml_c_arg(nml_d_complex z);
nml_d_complex nml_c_sqrt(nml_d_complex z);
nml_d_complex nml_c_log(nml_d_complex z);
nml_d_complex nml_c_exp(nml_d_complex z);
nml_d_complex nml_c_sin(nml_d_complex z);
nml_d_complex nml_c_cos(nml_d_complex z);

// Kernels (scalars by address, as the eigen-solver kernels call them)
void ZSET(const int* n, const nml_d_complex* value, nml_d_complex* x, const int* inc);
void ZSWAP(const int* n, nml_d_complex* x, const int* incx, nml_d_complex* y, const int* incy);
void ZSCAL(const int* n, const nml_d_complex* za, nml_d_complex* x, const int* incx);
void ZDSCAL(const int* n, const double* da, nml_d_complex* x, const int* incx);
// sqrt of the sum of |x_i|^2 over n complex entries of unit stride, without scaling.
double DZNRM2(const int* n, const nml_d_complex* x);
// (cr, ci) = (ar + i ai) / (br + i bi); the divisor must not be zero.
void CDIV(const double* ar, const double* ai, const double* br, const double* bi, double* cr,
          double* ci);

// x to the power n (a negative n through the reciprocal); the smallest int, whose magnitude
// has no int, posts TERMINAL 602 and gives NaN.
double nml_d_powi(double x, int n);
// Double machine constant n (1..8, as nml_dmach); another n posts TERMINAL 132 and gives NaN.
double nml_d_machine(int n);
