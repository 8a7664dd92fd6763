// nml_d_eig_gen and its kernels: the shared design of numerics/nml_eig_t.h over double and
// nml_d_complex.
#include "numerics/further/nml_eigensystem.h"

#include <cstdarg>

#include "numerics/further/nml_dcomplex.h"
#include "numerics/further/nml_further_kernels.h"
#include "numerics/nml_eig_t.h"

namespace {

struct DoubleEig {
  using C = nml_d_complex;
  // Both eigenvector outputs, when asked for together, receive the vectors.
  static constexpr bool kVectorsIntoBoth = true;
  static C Make(double re, double im) { return nml_c_make(re, im); }
  static double Real(C z) { return nml_c_real(z); }
  static double Abs(C z) { return nml_c_abs(z); }
  static C Conj(C z) { return nml_c_conjg(z); }
  static C Mul(C a, C b) { return nml_c_mul(a, b); }
  static C Div(C a, C b) { return nml_c_div(a, b); }
  static void Swap(const int* n, C* x, const int* incx, C* y, const int* incy) {
    ZSWAP(n, x, incx, y, incy);
  }
  static void Scal(const int* n, const C* a, C* x, const int* incx) { ZSCAL(n, a, x, incx); }
  static void SScal(const int* n, const double* a, C* x, const int* incx) { ZDSCAL(n, a, x, incx); }
  static double Nrm2(const int* n, const C* x) { return DZNRM2(n, x); }
  static int Iamax(int n, const double* x, int inc) { return IDAMAX(n, x, inc); }
  static void Rot(int n, double* x, int incx, double* y, int incy, double c, double s) {
    DROT(n, x, incx, y, incy, c, s);
  }
  static void Crgrg(int n, const double* a, int lda, double* b, int ldb) {
    CRGRG(n, a, lda, b, ldb);
  }
  static double Eps() { return nml_dmach(4); }
  static double Safe() {
    double small = nml_dmach(1);
    const double big = nml_dmach(2);
    if (small * big < 1.0) small = 1.0 / big;
    return small;
  }
};

using namespace nml::eig;

}  // namespace

void nml_e9crg(const int* n, int* low, int* igh, double* a, const int* lda, double* scale) {
  Balance<double, DoubleEig>(n, low, igh, a, lda, scale);
}
void nml_eacrg(const int* n, const int* low, const int* igh, double* a, const int* lda,
               double* ort) {
  OrthogonalHessenberg<double, DoubleEig>(n, low, igh, a, lda, ort);
}
void nml_ebcrg(const int* n, const int* low, const int* igh, const double* a, const int* lda,
               double* ort, double* z) {
  AccumulateHessenberg<double, DoubleEig>(n, low, igh, a, lda, ort, z);
}
void nml_e4lrg(const int* lda, const int* n, const int* low, const int* igh, double* a,
               int* pivots) {
  ElementaryHessenberg<double, DoubleEig>(lda, n, low, igh, a, pivots);
}
void E6CRG(const int* n, const int* low, const int* igh, const double* scale, const int* m,
           nml_d_complex* z, const int* ldz) {
  Unbalance<double, DoubleEig>(n, low, igh, scale, m, z, ldz);
}
void nml_e5crh(const int* n, const int* low, const int* igh, double* h, const int* ld, double* wr,
               double* wi, double* z) {
  QrWithVectors<double, DoubleEig>(n, low, igh, h, ld, wr, wi, z);
}
void E5LRG(const int* ld, const int* nn, double* h, double* wr, double* wi) {
  QrValues<double, DoubleEig>(ld, nn, h, wr, wi);
}
void E8CRG(const int* n, const double* a, const int* lda, nml_d_complex* eval, nml_d_complex* evec,
           const int* ldevec, double* acopy, double* z, double* work, int* iwork) {
  EigenWithVectors<double, DoubleEig>(n, a, lda, eval, evec, ldevec, acopy, z, work, iwork);
}
void E3LRG(const int* n, const double* a, const int* lda, nml_d_complex* eval, double* acopy,
           double* work, int* iwork) {
  EigenValues<double, DoubleEig>(n, a, lda, eval, acopy, work, iwork);
}

nml_d_complex* nml_d_eig_gen(int n, double* a, ...) {
  va_list ap;
  va_start(ap, a);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 2, ap);
  nml_d_complex* result = EigGen<double, DoubleEig>("nml_d_eig_gen", n, a, opt);
  va_end(ap);
  return result;
}

nml_d_complex* nml_d_eig_gen(int n, double* a, const nml_options& options) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 2, options);
  return EigGen<double, DoubleEig>("nml_d_eig_gen", n, a, opt);
}
