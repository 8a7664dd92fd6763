// Nonlinear least squares of the numerical library: the unbounded and the bounded
// trust-region fits, and the QR and covariance kernels they share with other routines.
#pragma once

#include "numerics/nml_runtime.h"

// Residual function: fills f[0..m-1] with F(x); must not change x.
typedef void (*nml_nlsq_fcn)(int m, int n, float x[], float f[]);
// Jacobian function: fills fjac with the m by n Jacobian in row order, consecutive rows
// ldfjac floats apart.
typedef void (*nml_nlsq_jac)(int m, int n, float x[], float fjac[], int ldfjac);

// Option codes of the two fits (each followed by the values its table names, list closed by 0).
enum {
  NML_JACOBIAN_RANK = 10049,
  NML_RANK_TOLERANCE = 10053,
  NML_RANK_TOLERANCE_ADR = 11003,
  NML_INITIAL_GUESS = 10100,
  NML_FUNCTION_EVALUATION_LIMIT = 10103,
  NML_INITIAL_TRUST_RADIUS = 10104,
  NML_X_SCALE = 10106,
  NML_F_SCALE = 10107,
  NML_GRADIENT_TOLERANCE = 10108,
  NML_STEP_TOLERANCE = 10109,
  NML_RELATIVE_FUNCTION_TOLERANCE = 10110,
  NML_STEP_LIMIT = 10111,
  NML_FUNCTION_DIGITS = 10112,
  NML_ITERATION_LIMIT = 10113,
  NML_JACOBIAN_FUNCTION = 10118,
  NML_ABSOLUTE_FUNCTION_TOLERANCE = 10290,
  NML_JACOBIAN_EVALUATION_LIMIT = 10291,
  NML_INTERNAL_SCALING = 10292,
  NML_RESIDUALS = 10293,
  NML_RESIDUALS_USER = 10294,
  NML_JACOBIAN_MATRIX = 10295,
  NML_JACOBIAN_MATRIX_USER = 10296,
  NML_JACOBIAN_MATRIX_COL_DIM = 10297,
  NML_JTJ_INVERSE = 10298,
  NML_JTJ_INVERSE_USER = 10299,
  NML_JTJ_INVERSE_COL_DIM = 10300,
  NML_GRADIENT_TOLERANCE_ADR = 11026,
  NML_STEP_TOLERANCE_ADR = 11027,
  NML_RELATIVE_FUNCTION_TOLERANCE_ADR = 11028,
  NML_STEP_LIMIT_ADR = 11029,
  NML_ABSOLUTE_FUNCTION_TOLERANCE_ADR = 11033,
  NML_INITIAL_TRUST_RADIUS_ADR = 11034,
  NML_LM_SEARCH_LIMIT = 11096,
};

// Minimises 0.5*sum F_i(x)^2 over n parameters (m >= n). Returns a new array of n floats
// (release with free), the caller's array with option 10260, or null when the fit failed
// (a FATAL or TERMINAL error is then readable from the run time's error state).
float* nml_f_nonlin_least_squares(nml_nlsq_fcn fcn, int m, int n, ...);
float* nml_f_nonlin_least_squares(nml_nlsq_fcn fcn, int m, int n, const nml_options& options);

// The same fit within xlb <= x <= xub. ibtype 0 uses the arrays as given; 1, 2 and 3
// overwrite them (see the bound types). Accepts the rank and (J'J)^-1 options of the
// unbounded fit and the pass limit of the step search as well.
float* nml_f_bounded_least_squares(nml_nlsq_fcn fcn, int m, int n, int ibtype, float* xlb,
                                   float* xub, ...);
float* nml_f_bounded_least_squares(nml_nlsq_fcn fcn, int m, int n, int ibtype, float* xlb,
                                   float* xub, const nml_options& options);

// Householder QR with optional column pivoting (column-ordered arrays, 1-based pivots);
// every scalar by address.
void L2RRR(const int* m, const int* n, float* a, const int* lda, const int* ipvt_flag, int* ipvt,
           float* qr, const int* ldqr, float* qraux, float* conorm, float* work);

// V = s*(R'R)^-1 from the upper triangle of R (zero rows and columns for zero diagonal
// elements of R); V may be R.
void nml_rcovb(int n, float* r, int ldr, float s, float* v, int cov_col_dim);
// Triangular solves with R (ipath 1, 3) or R' (2, 4) for nb right-hand sides, and for
// ipath 3 and 4 the inverse of R; irank receives the count of non-zero diagonal elements.
void l_girts(int n, float* r, int ldr, int nb, float* b, int tdb, int ipath, int* irank, float* x,
             int tdx, float* rinv, int tdrinv);
// Posts TERMINAL 11060 for the first row whose diagonal element is 0 while a later
// element of the row is not.
void l_check_zero_rows(int n, const float* r, int ldr, int* count);
// Posts TERMINAL 11061 for a negative value.
void nml_f_check_nonneg(float value, const char* name, int* count);
// Sum of |x_i*y_i| over strided elements (negative increments from the far end).
float l_abs_dot(int n, const float* x, int incx, const float* y, int incy);
