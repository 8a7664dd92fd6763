// Eigen-decomposition of a real general single-precision matrix, and the kernels it is
// built from: balancing, Hessenberg reduction, the shifted QR iteration and the
// back-transformations.
//
// nml_f_eig_gen returns the n eigenvalues in non-increasing order of modulus (of a complex
// conjugate pair the member with the positive imaginary part first). With eigenvectors,
// column k of the row-ordered n x n result belongs to eigenvalue k; every eigenvector has
// unit Euclidean length and its first component of largest modulus is real and positive.
// Results are allocated with malloc and released by the caller with free.
#pragma once

#include "numerics/nml_kernels.h"
#include "numerics/nml_matmul.h"
#include "numerics/nml_runtime.h"

// Options of nml_f_eig_gen (codes, each followed by its values; the list ends with 0).
// NML_A_ROW_STRIDE (10003), int: floats between rows of a (default n).
constexpr int NML_EIGENVECTORS = 10094;      // nml_f_complex**: receives a new n x n matrix
constexpr int NML_VECTORS_USER = 10095;      // nml_f_complex*: caller's n x n matrix
constexpr int NML_EVECU_ROW_STRIDE = 10096;  // int: row stride of the caller's matrix
// NML_RETURN_USER (10260), nml_f_complex*: the eigenvalues go into the caller's array.

// Eigenvalues (and on request eigenvectors) of the n x n row-ordered matrix a. The matrix
// is transposed in place while the eigenvectors are computed and restored before return.
// After a FATAL or TERMINAL error the result is null and nothing is left allocated.
nml_f_complex* nml_f_eig_gen(int n, float* a, ...);
nml_f_complex* nml_f_eig_gen(int n, float* a, const nml_options& options);

// ---------------------------------------------------------------------------------------
// Kernels. Column order, 1-based indices: element (i, j) of a matrix with leading
// dimension ld lies at (j-1)*ld + (i-1). Sizes are passed by address.

// Eigenvalues only: eval receives the n eigenvalues in the order of nml_f_eig_gen.
// acopy: n*n floats; work: 4n floats; iwork: 2n ints.
void E3LRG(const int* n, const float* a, const int* lda, nml_f_complex* eval, float* acopy,
           float* work, int* iwork);
// Eigenvalues and unit eigenvectors (column k of evec, leading dimension ldevec).
// acopy: n*n floats; z: n*(n+1) floats; work: 6n floats; iwork: n ints.
void E8CRG(const int* n, const float* a, const int* lda, nml_f_complex* eval,
           nml_f_complex* evec, const int* ldevec, float* acopy, float* z, float* work,
           int* iwork);

// Balancing: isolates eigenvalues by permutations and scales the rest by powers of 16.
// Rows and columns outside low..igh are triangular afterwards; scale(j) holds the row
// exchanged with j there, and the scale factor of row j inside.
void nml_e9crg(const int* n, int* low, int* igh, float* a, const int* lda, float* scale);
// Householder reduction of rows and columns low..igh to upper Hessenberg form.
void nml_eacrg(const int* n, const int* low, const int* igh, float* a, const int* lda,
               float* ort);
// The orthogonal matrix of that reduction (z has leading dimension lda).
void nml_ebcrg(const int* n, const int* low, const int* igh, const float* a, const int* lda,
               float* ort, float* z);
// Reduction to upper Hessenberg form by stabilised elementary similarities; the
// multipliers stay below the subdiagonal, pivot rows go into pivots.
void nml_e4lrg(const int* lda, const int* n, const int* low, const int* igh, float* a,
               int* pivots);
// Undoes the balancing on m complex vectors stored as the columns of z.
void E6CRG(const int* n, const int* low, const int* igh, const float* scale, const int* m,
           nml_f_complex* z, const int* ldz);

// Francis QR iteration on the Hessenberg matrix h with the accumulated transformations z;
// real parts of the eigenvalues into wr, imaginary parts into wi, and the real eigenvector
// basis into z (a complex pair j, j+1 with wi(j) > 0: real part in column j, imaginary part
// in column j+1). FATAL 2009 when one eigenvalue needs more than 50 iterations.
void nml_e5crh(const int* n, const int* low, const int* igh, float* h, const int* ld,
               float* wr, float* wi, float* z);
// Eigenvalues only, of the Hessenberg block of order nn starting at h (leading dimension
// ld). WARNING 2009 when the block needs more than 100 iterations per unit of order.
void E5LRG(const int* ld, const int* nn, float* h, float* wr, float* wi);
// (cr + i ci) = (ar + i ai) / (br + i bi), with the operands scaled first.
void nml_e5crh_cdiv(const float* ar, const float* ai, const float* br, const float* bi,
                    float* cr, float* ci);
