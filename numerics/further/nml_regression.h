// Multiple linear regression y = b0 + b1 x1 + ... + bk xk (or without b0), fitted row by
// row with square-root-free Givens rotations; linearly dependent variables get coefficient
// 0. NaN marks a missing value. Optional outputs: coefficient covariances, the 15-entry
// analysis-of-variance table, rank, means of the explanatory variables, residuals.
#pragma once

#include "numerics/further/nml_lin_least_squares.h"
#include "numerics/further/nml_regression_kernels.h"
#include "numerics/further/nml_simple_statistics.h"

// Option codes (NML_X_COL_DIM, NML_RANK_TOLERANCE, NML_RANK_TOLERANCE_ADR, NML_RESIDUAL,
// NML_RESIDUAL_USER and NML_RETURN_USER as elsewhere in the library).
enum {
  NML_COV_COL_DIM = 10046,            // int: row length of the covariance array
  NML_COEF_COVARIANCES = 10047,       // T**: a new n_coef x cov_col_dim array
  NML_COEF_COVARIANCES_USER = 10048,  // T[]: the caller's array
  NML_RANK = 10049,                   // int*
  NML_NO_INTERCEPT = 10050,           // no value
  NML_ANOVA_TABLE = 10051,            // T**: a new array of 15
  NML_ANOVA_TABLE_USER = 10052,       // T[15]
  NML_X_MEAN = 10158,                 // T**: a new array of n_independent
  NML_X_MEAN_USER = 10261,            // T[]
};

// Coefficients (new array, release with free(), or the caller's with NML_RETURN_USER); null
// after a FATAL or TERMINAL error. x is rearranged in place during the call and restored.
float* nml_f_regression(int n_observations, int n_independent, float x[], float y[], ...);
float* nml_f_regression(int n_observations, int n_independent, float x[], float y[],
                        const nml_options& options);
double* nml_d_regression(int n_observations, int n_independent, double x[], double y[], ...);
double* nml_d_regression(int n_observations, int n_independent, double x[], double y[],
                         const nml_options& options);

// ---------------------------------------------------------------------------------------
// Kernels.

// The fitting kernel: accumulates (nrow > 0) or deletes (nrow < 0) rows of the column-ordered
// x by modified Givens rotations and, when ido is 0 or 3, decides the rank and solves.
void nml_r2ivn(int ido, int nrow, int ncol, const double* x, int ldx, int intcep, int iind,
               const int* indind, int idep, const int* inddep, int ifrq, int iwt, int isub,
               double tol, double* b, int ldb, double* r, int ldr, double* d, int* irank,
               double* dfe, double* scpe, int ldscpe, int* nrmiss, double* xmin, double* xmax,
               double* wk);
void nml_r2ivn(int ido, int nrow, int ncol, const float* x, int ldx, int intcep, int iind,
               const int* indind, int idep, const int* inddep, int ifrq, int iwt, int isub,
               float tol, float* b, int ldb, float* r, int ldr, float* d, int* irank, float* dfe,
               float* scpe, int ldscpe, int* nrmiss, float* xmin, float* xmax, float* wk);

// Modified Givens transformation (param[0] the flag: -2 identity, -1 full H in param[1..4]
// as h11, h21, h12, h22, 0 and 1 the two implicit forms) and its application.
void DROTMG(double* d1, double* d2, double* x1, double y1, double* param);
void DROTM(int n, double* x, int incx, double* y, int incy, const double* param);
void SROTMG(float* d1, float* d2, float* x1, float y1, float* param);
void SROTM(int n, float* x, int incx, float* y, int incy, const float* param);
// Sum of x_k y_k z_k (0 for n < 1; negative strides start from the far end).
double DDOT3(int n, const double* x, int incx, const double* y, int incy, const double* z,
             int incz);
float SDOT3(int n, const float* x, int incx, const float* y, int incy, const float* z, int incz);
// 1-based position of the first NaN among n strided entries, 0 when none.
int IDNAN(int n, const double* x, int incx);
int IFNAN(int n, const float* x, int incx);
