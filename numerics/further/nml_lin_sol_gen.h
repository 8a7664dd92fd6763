// nml_d_lin_sol_gen: a square real system A*x = b (or trans(A)*x = b) in double precision,
// by an LU factorisation with scaled partial pivoting, with the factor, the inverse and an
// estimate of the L1 condition number on request; and the kernels it is built from.
//
// The caller's matrices are row-ordered; results are allocated with malloc and released by
// the caller with free. After a FATAL or TERMINAL error the result is null (or the caller's
// NML_RETURN_USER array, left with whatever it holds).
#pragma once

#include "numerics/nml_matmul.h"
#include "numerics/nml_runtime.h"

constexpr int NML_TRANSPOSE = 10001;             // solve trans(A)*x = b
constexpr int NML_A_COL_DIM = NML_A_ROW_STRIDE;  // int: row length of a (default n)
constexpr int NML_FACTOR = 10004;                // int** pvt, double** factor: hand out the factor
constexpr int NML_FAC_COL_DIM = 10005;           // int: row length of the factor (default n)
constexpr int NML_FACTOR_ONLY = 10006;           // factor only; b is not used
constexpr int NML_SOLVE_ONLY = 10007;            // solve from the NML_FACTOR_USER factor
constexpr int NML_FACTOR_USER = 10151;           // int pvt[], double factor[]: the caller's factor
constexpr int NML_INVERSE = 10152;               // double** inva: hand out the inverse
constexpr int NML_INVERSE_USER = 10153;          // double inva[]: the caller's inverse array
constexpr int NML_INV_COL_DIM = 10154;           // int: row length of the inverse (default n)
constexpr int NML_INVERSE_ONLY = 10155;          // the inverse only; b is not used
// NML_RETURN_USER (10260), double x[]: the solution goes into the caller's array.
constexpr int NML_CONDITION = 10270;  // double* cond: the L1 condition estimate

double* nml_d_lin_sol_gen(int n, double* a, double* b, ...);
double* nml_d_lin_sol_gen(int n, double* a, double* b, const nml_options& options);

// ---------------------------------------------------------------------------------------
// Kernels: column-ordered matrices, 1-based pivots. The factor keeps U in the upper triangle
// and the negated multipliers of step k below the diagonal of column k, in the row order of
// step k; ipvt(k) is the row exchanged with row k at step k.

// LU factor of a (unchanged) into fac; scale is n doubles of workspace. FATAL 1004 when a
// pivot is not above the smallest safe number.
void nml_dl2trg(int n, const double* a, int lda, double* fac, int ldfac, int* ipvt, double* scale);
// As nml_dl2trg, and rcond = estimate of 1/cond1(A) (WARNING 1003 when <= eps).
void L2CRG(const int* n, const double* a, const int* lda, double* fac, const int* ldfac, int* ipvt,
           double* rcond, double* work);
// x solves A*x = b (ipath 1) or trans(A)*x = b (ipath 2) from a factor; x may be b.
void nml_dlfsrg(int n, const double* fac, int ldfac, const int* ipvt, const double* b,
                const int* ipath, double* x);
// ainv = inverse of a; wk: n(n-1)/2 + n doubles, iwk: n ints.
void L2NRG(int n, const double* a, int lda, double* ainv, int ldainv, double* wk, int* iwk,
           double* rcond);
// ainv = inverse of the lower (ipath 1) or upper (ipath 2) triangle of a; ainv may be a.
void LINRT(const int* n, const double* a, const int* lda, const int* ipath, double* ainv,
           const int* ldainv);
// anorm = the largest column sum of magnitudes of the nra x nca matrix.
void NR1RR(const int* nra, const int* nca, const double* a, const int* lda, double* anorm);
// *index (1-based) of the product x(i)*scale(i), i = 1..m, of largest magnitude.
void nml_dl2trg_pivot(int m, const double* x, const double* scale, int* index);
