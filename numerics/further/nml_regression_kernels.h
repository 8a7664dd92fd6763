// Statistics of least-squares fits: the analysis-of-variance table, the covariance of the
// coefficients from a triangular factor, triangular solves that accept dropped
// coefficients, division without overflow, and argument checks. The float nml_rcovb,
// l_girts, nml_f_check_nonneg and row check are in numerics/nml_nlsq.h.
#pragma once

#include "numerics/nml_nlsq.h"

// The 15-entry table: DFR, DFE, total, SSR, SSE, SST, MSR, MSE, F, p, R2 %, adjusted R2 %,
// s, mean of the response, coefficient of variation %. A negative input posts TERMINAL 11061
// and leaves the table as it was.
void nml_g1aov(double dfr, double ssr, double dfe, double sse, double ybar, double* aov);
void nml_g1aov(float dfr, float ssr, float dfe, float sse, float ybar, float* aov);
// *q = a/b, with 0 for an underflowing quotient, +-infinity for an overflowing one and NaN
// for 0/0 or a NaN argument.
void nml_d_safe_div(double a, double b, double* q);
void nml_f_safe_div(float a, float b, float* q);
void nml_d_check_nonneg(double value, const char* name, int* count);
void l_check_triangular(int n, const double* r, int ldr, int* count);
// Sum of |x_k * y_k| over two strided vectors.
double DASUM_PROD(int n, const double* x, int incx, const double* y, int incy);
void nml_rcovb(int m, double* r, int ldr, double s2, double* cov, int cov_col_dim);
void l_girts(int n, double* r, int ldr, int nb, double* b, int ldb, int ipath, int* irank,
             double* x, int ldx, double* rinv, int ldrinv);
