// Double-precision vector and matrix kernels, the band triangular solves of both precisions,
// the rotation and norm kernels and the small integer and check routines that the further
// routines of the numerical library share.
//
// Conventions as in numerics/nml_kernels.h: vectors with an increment (a negative one walks
// from the far end), column-ordered matrices with a leading dimension, 1-based positions.
#pragma once

#include "numerics/nml_kernels.h"

// ---------------------------------------------------------------------------------------
// Small integer and check routines
int nml_i_max(int a, int b);
// The largest (smallest) of the n ints that follow; 0 for n < 1.
int nml_i_vmax(int n, ...);
int nml_i_vmin(int n, ...);
// lo <= value (TERMINAL 603) and, when upper >= 1, value <= upper (TERMINAL 601); the
// counter always advances by two.
void nml_check_index(int lo, int value, const char* name, int upper, const char* upper_name,
                     int* count);
// order >= 1 (TERMINAL 3009) and ncoef >= order (TERMINAL 3010).
void nml_check_order(const char* name, const int* order, const int* ncoef);

// ---------------------------------------------------------------------------------------
// Level-1 kernels
double DDOT(int n, const double* x, int incx, const double* y, int incy);
// Sums of magnitudes; positive increments only (0 otherwise).
double DASUM(int n, const double* x, int incx);
float SASUM(int n, const float* x, int incx);
void SAXPY(int n, float a, const float* x, int incx, float* y, int incy);
void DAXPY(int n, double a, const double* x, int incx, double* y, int incy);
void DCOPY(int n, const double* x, int incx, double* y, int incy);
void DSWAP(int n, double* x, int incx, double* y, int incy);
int IDAMAX(int n, const double* x, int incx);

// Level-2 kernels
// x := inv(op(A))*x for a triangular A; no argument is tested.
void DTRSV(const char* uplo, const char* trans, const char* diag, int n, const double* a, int lda,
           double* x, int incx);
// y := alpha*op(A)*x + beta*y (errors under "DGEMV ").
void DGEMV(const char* trans, int trans_len, const int* m, const int* n, const double* alpha,
           const double* a, const int* lda, const double* x, const int* incx, const double* beta,
           double* y, const int* incy);
// A := alpha*x*y^T + A (errors under "SGER").
void DGER(int m, int n, double alpha, const double* x, int incx, const double* y, int incy,
          double* a, int lda);
// x := inv(op(A))*x for a triangular band A with k codiagonals (errors under "STBSV ").
void STBSV(const char* uplo, const char* trans, const char* diag, const int* n, const int* k,
           const float* a, const int* lda, float* x, const int* incx);
void DTBSV(const char* uplo, const char* trans, const char* diag, const int* n, const int* k,
           const double* a, const int* lda, double* x, const int* incx);
// b := a for an n by n matrix (a and b may be one array).
void CRGRG(int n, const double* a, int lda, double* b, int ldb);

// ---------------------------------------------------------------------------------------
// Rotation, norm and copy kernels
void DROT(int n, double* x, int incx, double* y, int incy, double c, double s);
// Givens rotation: a receives r, b the reconstruction value z.
void DROTG(double* a, double* b, double* c, double* s);
// Euclidean norm of x[0..n-1], scaled against underflow and overflow.
double nml_d_norm2(int n, const double* x);
void nml_d_scaled_copy(int n, double a, const double* x, int incx, double* y, int incy);
// Copies the strict upper triangle of the n by n matrix into its strict lower triangle.
void nml_dcsfrg(const int* n, double* a, const int* lda);
