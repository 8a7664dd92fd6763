// Kernels shared by the routines of the numerical library: single-precision BLAS-style
// vector and matrix operations, argument checks, in-place transposition, sort with
// permutation, and the single-precision complex type with its arithmetic.
//
// Matrices are column-ordered with a leading dimension (element (i, j), 1-based, at
// (j-1)*lda + (i-1)). A negative increment walks a vector from its far end: the first
// element used is the one at (1-n)*inc from the array start.
#pragma once

struct nml_f_complex {
  float re;
  float im;
};

struct nml_d_complex {
  double re;
  double im;
};

// ---------------------------------------------------------------------------------------
// Level-1 and level-2 kernels
float SDOT(int n, const float* x, int incx, const float* y, int incy);
// Euclidean norm of x[0..n-1] taken contiguously (incx is not used), scaled against
// underflow and overflow.
float SNRM2(int n, const float* x, int incx);
void SSCAL(int n, float a, float* x, int incx);
void SROTG(float* a, float* b, float* c, float* s);
void SROT(int n, float* x, int incx, float* y, int incy, float c, float s);
// y = alpha*op(A)*x + beta*y; op is "N", "T" or "C". Scalars by address.
void SGEMV(const char* trans, const int* translen, const int* m, const int* n,
           const float* alpha, const float* a, const int* lda, const float* x,
           const int* incx, const float* beta, float* y, const int* incy);
// A = A + alpha*x*y^T
void SGER(int m, int n, float alpha, const float* x, int incx, const float* y, int incy,
          float* a, int lda);
// Solves op(A)*z = x in place for a triangular A.
void STRSV(const char* uplo, const char* trans, const char* diag, int n, const float* a,
           int lda, float* x, int incx);
// 1-based position of the first largest element (values, not magnitudes); 0 for n < 1.
int ISMAX(const int* n, const float* x, const int* incx);

float nml_f_powi(float x, int k);
int nml_i_min(int a, int b);
// True when the first characters of a and b agree without regard to case.
bool nml_lsame(const char* a, int lena, const char* b, int lenb);
// Copies the strict upper triangle of the n by n matrix into its strict lower triangle.
void nml_csfrg(const int* n, float* a, const int* lda);

// Argument checks; each advances *count by one.
void nml_check_le(int v, const char* namev, int w, const char* namew, int* count);
void nml_check_range(int v, const char* name, int lo, int hi, int* count);
void nml_check_dim(int lo, int v, const char* namev, int w, const char* namew, int* count);

// ---------------------------------------------------------------------------------------
// In-place transposition. b receives the nca by nra transpose (row order) of the row-ordered
// nra by nca matrix a; a and b may be the same array.
void M1RAN_F(int nra, int nca, const float* a, float* b);
void M1RAN_F(int nra, int nca, const double* a, double* b);
void M1RAN_C(int nra, int nca, const nml_f_complex* a, nml_f_complex* b);
void M1RAN_C(int nra, int nca, const nml_d_complex* a, nml_d_complex* b);
void M1RAN_I(int nra, int nca, const int* a, int* b);
// The cycle algorithm that needs no scratch copy (used when none can be allocated).
void l_m1ran_insitu(int nra, int nca, const float* a, float* b);
void l_m1ran_insitu(int nra, int nca, const double* a, double* b);
// Exact (x*y) mod m.
int l_m1ran_mulmod(int x, int y, int m);

// ---------------------------------------------------------------------------------------
// Sort ascending with permutation: rb = sorted ra (rb may be ra); iperm moves with rb.
void nml_svrgp(int n, const float* ra, float* rb, int* iperm);
void nml_svrgp(int n, const double* ra, double* rb, int* iperm);

// ---------------------------------------------------------------------------------------
// Single-precision complex arithmetic
nml_f_complex nml_c_make(float re, float im);
nml_f_complex nml_c_narrow(double re, double im);
float nml_c_real(nml_f_complex z);
float nml_c_imag(nml_f_complex z);
nml_f_complex nml_c_conj(nml_f_complex z);
int nml_c_eq(nml_f_complex a, nml_f_complex b);
nml_f_complex nml_c_mul(nml_f_complex a, nml_f_complex b);
nml_f_complex nml_c_div(nml_f_complex a, nml_f_complex b);  // zero divisor: TERMINAL 607, NaNs
float nml_c_abs(nml_f_complex z);
float nml_c_arg(nml_f_complex z);
nml_f_complex nml_c_sqrt(nml_f_complex z);
nml_f_complex nml_c_exp(nml_f_complex z);
nml_f_complex nml_c_log(nml_f_complex z);
nml_f_complex nml_c_sin(nml_f_complex z);
nml_f_complex nml_c_cos(nml_f_complex z);

// Complex and real vector kernels
void SCOPY(int n, const float* x, int incx, float* y, int incy);
void CSWAP(const int* n, nml_f_complex* x, const int* incx, nml_f_complex* y, const int* incy);
void CSCAL(const int* n, const nml_f_complex* a, nml_f_complex* x, const int* incx);
void CSSCAL(const int* n, const float* a, nml_f_complex* x, const int* incx);
// sqrt of the sum of |x_i|^2 over n contiguous elements (no scaling).
float SCNRM2(const int* n, const nml_f_complex* x, const int* incx = nullptr);
int ISAMAX(int n, const float* x, int incx);
// b = a for an n by n column-ordered matrix between leading dimensions (in place allowed).
void CRGRG(int n, const float* a, int lda, float* b, int ldb);
