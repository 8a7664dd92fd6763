// Band linear systems in float and double: band LU with scaled partial pivoting inside the
// band, the L1 condition estimate, the solve, the L1 norm and the widening copy.
//
// Band storage: element (i, j) of the n x n matrix in row nuca + 1 + i - j of column j
// (column-ordered, lda >= nlca + nuca + 1). The factor needs ldfac >= 2*nlca + nuca + 1
// rows: U with up to nlca + nuca superdiagonals above its diagonal in row
// m = nlca + nuca + 1, the negated multipliers of step k below it. All scalars by address;
// nothing is allocated (wk is the caller's n entries).
#pragma once

// Factor, condition estimate and solve in one call (ldfac fixed at 2*nlca + nuca + 1).
void NML_L2LRB(const int* n, const float* a, const int* lda, const int* nlca, const int* nuca,
               const float* b, const int* ipath, float* x, float* fac, int* ipvt, float* wk);
void NML_L2LRB(const int* n, const double* a, const int* lda, const int* nlca, const int* nuca,
               const double* b, const int* ipath, double* x, double* fac, int* ipvt, double* wk);
void NML_L2CRB(const int* n, const float* a, const int* lda, const int* nlca, const int* nuca,
               float* fac, const int* ldfac, int* ipvt, float* rcond, float* wk);
void NML_L2CRB(const int* n, const double* a, const int* lda, const int* nlca, const int* nuca,
               double* fac, const int* ldfac, int* ipvt, double* rcond, double* wk);
void NML_L2TRB(const int* n, const float* a, const int* lda, const int* nlca, const int* nuca,
               float* fac, const int* ldfac, int* ipvt, float* wk);
void NML_L2TRB(const int* n, const double* a, const int* lda, const int* nlca, const int* nuca,
               double* fac, const int* ldfac, int* ipvt, double* wk);
void NML_LFSRB(const int* n, const float* fac, const int* ldfac, const int* nlca, const int* nuca,
               const int* ipvt, const float* b, const int* ipath, float* x);
void NML_LFSRB(const int* n, const double* fac, const int* ldfac, const int* nlca, const int* nuca,
               const int* ipvt, const double* b, const int* ipath, double* x);
void NML_NR1RB(const int* n, const float* a, const int* lda, const int* nlca, const int* nuca,
               float* anorm);
void NML_NR1RB(const int* n, const double* a, const int* lda, const int* nlca, const int* nuca,
               double* anorm);
// b := a laid out with nlcb >= nlca lower and nucb >= nuca upper codiagonals, everything
// outside the copied band zero; a and b may be one array.
void NML_CRBRB(const int* n, const float* a, const int* lda, const int* nlca, const int* nuca,
               float* b, const int* ldb, const int* nlcb, const int* nucb);
void NML_CRBRB(const int* n, const double* a, const int* lda, const int* nlca, const int* nuca,
               double* b, const int* ldb, const int* nlcb, const int* nucb);
