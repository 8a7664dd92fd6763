// nml_d_eig_gen: eigenvalues and, on request, eigenvectors of a real general matrix in
// double precision, and the kernels it is built from (the same design as the
// single-precision nml_f_eig_gen, over double and nml_d_complex).
//
// The eigenvalues come in non-increasing order of modulus, the member of a conjugate pair
// with the positive imaginary part first. With eigenvectors, column k of the row-ordered
// result belongs to eigenvalue k; every eigenvector has unit Euclidean length and its first
// component of largest modulus is real and positive. The matrix a is left as it was given.
// Results are allocated with malloc and released by the caller with free; after a FATAL or
// TERMINAL error the result is null and nothing the call allocated is left behind.
// Eigenvalues that the iteration did not reach before it gave up (WARNING 2009) are NaN
// and come last.
#pragma once

#include "numerics/further/nml_dcomplex.h"
#include "numerics/further/nml_lin_sol_gen.h"
#include "numerics/nml_eig.h"
#include "numerics/nml_runtime.h"

// Options (codes, each followed by its value; the list ends with 0):
// NML_A_COL_DIM (10003), int: row length of a (default n).
// NML_EIGENVECTORS (10094), nml_d_complex**: receives a new n x n eigenvector matrix.
// NML_VECTORS_USER (10095), nml_d_complex*: the caller's array receives the eigenvectors,
//   n rows of NML_EVECU_COL_DIM elements (the columns beyond n are not touched).
// NML_RETURN_USER (10260), nml_d_complex*: the eigenvalues go into the caller's array.
// Both eigenvector options together fill both arrays with the same vectors.
constexpr int NML_EVECU_COL_DIM = NML_EVECU_ROW_STRIDE;  // int: row length of the caller's
                                                         // eigenvector array (default n)

nml_d_complex* nml_d_eig_gen(int n, double* a, ...);
nml_d_complex* nml_d_eig_gen(int n, double* a, const nml_options& options);

// ---------------------------------------------------------------------------------------
// Kernels, column order, 1-based, sizes by address; see numerics/nml_eig.h for the roles.
void E3LRG(const int* n, const double* a, const int* lda, nml_d_complex* eval, double* acopy,
           double* work, int* iwork);
void E8CRG(const int* n, const double* a, const int* lda, nml_d_complex* eval, nml_d_complex* evec,
           const int* ldevec, double* acopy, double* z, double* work, int* iwork);
void nml_e9crg(const int* n, int* low, int* igh, double* a, const int* lda, double* scale);
void nml_eacrg(const int* n, const int* low, const int* igh, double* a, const int* lda,
               double* ort);
void nml_ebcrg(const int* n, const int* low, const int* igh, const double* a, const int* lda,
               double* ort, double* z);
void nml_e4lrg(const int* lda, const int* n, const int* low, const int* igh, double* a,
               int* pivots);
void E6CRG(const int* n, const int* low, const int* igh, const double* scale, const int* m,
           nml_d_complex* z, const int* ldz);
void nml_e5crh(const int* n, const int* low, const int* igh, double* h, const int* ld, double* wr,
               double* wi, double* z);
void E5LRG(const int* ld, const int* nn, double* h, double* wr, double* wi);
