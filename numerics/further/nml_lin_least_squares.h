// Linear least squares for a general m x n matrix by Householder QR with column pivoting:
// the basic solution of min ||b - A x|| at the rank fixed by a relative tolerance on the
// diagonal of R, with the factor, Q, the residual and the rank on request; and the QR
// kernels it stands on, in both precisions.
//
// The caller's matrices are row-ordered; results are allocated with malloc and released by
// the caller with free. After a FATAL or TERMINAL error the result is null.
#pragma once

#include "numerics/further/nml_lin_sol_gen.h"

// Options (NML_A_COL_DIM, NML_FACTOR, NML_FACTOR_ONLY, NML_SOLVE_ONLY, NML_FACTOR_USER and
// NML_RETURN_USER as for the general linear solver).
constexpr int NML_QR_COL_DIM = 10005;        // int: row length of qr (default n)
constexpr int NML_TOL_AND_RANK = 10170;      // double tol, int* rank
constexpr int NML_TOL_AND_RANK_ADR = 11002;  // T* tol, int* rank
constexpr int NML_PIVOT = 10171;             // int ipvt[]: column classes in, permutation out
constexpr int NML_RESIDUAL = 10172;          // T** res: a new residual array
constexpr int NML_RESIDUAL_USER = 10173;     // T res[]: the caller's residual array
constexpr int NML_Q = 10177;                 // T** q: a new m x q_col_dim Q
constexpr int NML_Q_USER = 10178;            // T q[]: the caller's Q array
constexpr int NML_Q_COL_DIM = 10179;         // int: row length of q (default m)

float* nml_f_lin_least_squares_gen(int m, int n, float* a, float* b, ...);
float* nml_f_lin_least_squares_gen(int m, int n, float* a, float* b, const nml_options& options);
double* nml_d_lin_least_squares_gen(int m, int n, double* a, double* b, ...);
double* nml_d_lin_least_squares_gen(int m, int n, double* a, double* b, const nml_options& options);

// ---------------------------------------------------------------------------------------
// Kernels: column-ordered, 1-based, every scalar by address. The float L2RRR is in
// numerics/nml_nlsq.h.
void L2RRR(const int* m, const int* n, double* x, const int* ldx, const int* ipvt_flag, int* ipvt,
           double* qr, const int* ldqr, double* qraux, double* conorm, double* work);
// 1-based position of the first largest value; 0 for n < 1.
int IDMAX(const int* n, const double* x, const int* incx);
// Applies a factor (n rows, k columns used) to y as the five-digit job asks: Q y, Q'y,
// coefficients b, residual rsd, fitted values xb. A zero R_jj posts FATAL 1009.
void nml_lqrsl(const int* n, const int* k, float* qr, const int* ldqr, const float* qraux,
               const float* y, const int* job, float* qy, float* qty, float* b, float* rsd,
               float* xb);
void nml_lqrsl(const int* n, const int* k, double* qr, const int* ldqr, const double* qraux,
               const double* y, const int* job, double* qy, double* qty, double* b, double* rsd,
               double* xb);
// Q (m x m) from a factor; work: 2m entries.
void l_l2err(const int* m, const int* n, const float* qr, const int* ldqr, const float* qraux,
             float* q, const int* ldq, float* work);
void l_l2err(const int* m, const int* n, const double* qr, const int* ldqr, const double* qraux,
             double* q, const int* ldq, double* work);
// xout = x reordered: path 1 xout[i] = x[ipvt[i]], path 2 xout[ipvt[i]] = x[i].
void l_permu(const int* n, const float* x, int* ipvt, const int* ipath, float* xout);
void l_permu(const int* n, const double* x, int* ipvt, const int* ipath, double* xout);
// Factor with pivoting, rank by tol, basic solution x and residual res; work 2n - 1.
void nml_l2qrr(const int* m, const int* n, float* a, const int* lda, const float* b,
               const float* tol, float* x, float* res, int* rank, float* qr, float* qraux,
               int* ipvt, float* work);
void nml_l2qrr(const int* m, const int* n, double* a, const int* lda, const double* b,
               const double* tol, double* x, double* res, int* rank, double* qr, double* qraux,
               int* ipvt, double* work);
