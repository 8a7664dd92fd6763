// nml_f_eig_gen and its kernels in single precision: the shared design of nml_eig_t.h over
// float and the float complex type.
#include <cstdarg>

#include "numerics/nml_eig.h"
#include "numerics/nml_eig_t.h"
#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace {

struct FloatEig {
  using C = nml_f_complex;
  // The single-precision routine keeps one eigenvector output: the caller's array wins.
  static constexpr bool kVectorsIntoBoth = false;
  static C Make(float re, float im) { return nml_c_make(re, im); }
  static float Real(C z) { return nml_c_real(z); }
  static float Abs(C z) { return nml_c_abs(z); }
  static C Conj(C z) { return nml_c_conj(z); }
  static C Mul(C a, C b) { return nml_c_mul(a, b); }
  static C Div(C a, C b) { return nml_c_div(a, b); }
  static void Swap(const int* n, C* x, const int* incx, C* y, const int* incy) {
    CSWAP(n, x, incx, y, incy);
  }
  static void Scal(const int* n, const C* a, C* x, const int* incx) { CSCAL(n, a, x, incx); }
  static void SScal(const int* n, const float* a, C* x, const int* incx) { CSSCAL(n, a, x, incx); }
  static float Nrm2(const int* n, const C* x) { return SCNRM2(n, x); }
  static int Iamax(int n, const float* x, int inc) { return ISAMAX(n, x, inc); }
  static void Rot(int n, float* x, int incx, float* y, int incy, float c, float s) {
    SROT(n, x, incx, y, incy, c, s);
  }
  static void Crgrg(int n, const float* a, int lda, float* b, int ldb) { CRGRG(n, a, lda, b, ldb); }
  static float Eps() { return nml_amach(4); }
  static float Safe() { return nml::SafeMinimum(); }
};

using namespace nml::eig;

}  // namespace

void nml_e9crg(const int* n, int* low, int* igh, float* a, const int* lda, float* scale) {
  Balance<float, FloatEig>(n, low, igh, a, lda, scale);
}
void nml_eacrg(const int* n, const int* low, const int* igh, float* a, const int* lda, float* ort) {
  OrthogonalHessenberg<float, FloatEig>(n, low, igh, a, lda, ort);
}
void nml_ebcrg(const int* n, const int* low, const int* igh, const float* a, const int* lda,
               float* ort, float* z) {
  AccumulateHessenberg<float, FloatEig>(n, low, igh, a, lda, ort, z);
}
void nml_e4lrg(const int* lda, const int* n, const int* low, const int* igh, float* a,
               int* pivots) {
  ElementaryHessenberg<float, FloatEig>(lda, n, low, igh, a, pivots);
}
void E6CRG(const int* n, const int* low, const int* igh, const float* scale, const int* m,
           nml_f_complex* z, const int* ldz) {
  Unbalance<float, FloatEig>(n, low, igh, scale, m, z, ldz);
}
void nml_e5crh(const int* n, const int* low, const int* igh, float* h, const int* ld, float* wr,
               float* wi, float* z) {
  QrWithVectors<float, FloatEig>(n, low, igh, h, ld, wr, wi, z);
}
void E5LRG(const int* ld, const int* nn, float* h, float* wr, float* wi) {
  QrValues<float, FloatEig>(ld, nn, h, wr, wi);
}
void nml_e5crh_cdiv(const float* ar, const float* ai, const float* br, const float* bi, float* cr,
                    float* ci) {
  ComplexDivide<float>(ar, ai, br, bi, cr, ci);
}
void E8CRG(const int* n, const float* a, const int* lda, nml_f_complex* eval, nml_f_complex* evec,
           const int* ldevec, float* acopy, float* z, float* work, int* iwork) {
  EigenWithVectors<float, FloatEig>(n, a, lda, eval, evec, ldevec, acopy, z, work, iwork);
}
void E3LRG(const int* n, const float* a, const int* lda, nml_f_complex* eval, float* acopy,
           float* work, int* iwork) {
  EigenValues<float, FloatEig>(n, a, lda, eval, acopy, work, iwork);
}

nml_f_complex* nml_f_eig_gen(int n, float* a, ...) {
  va_list ap;
  va_start(ap, a);
  nml::VaListOptionReader opt(nml::Runtime::Math(), 2, ap);
  nml_f_complex* result = EigGen<float, FloatEig>("nml_f_eig_gen", n, a, opt);
  va_end(ap);
  return result;
}

nml_f_complex* nml_f_eig_gen(int n, float* a, const nml_options& options) {
  nml::TypedOptionReader opt(nml::Runtime::Math(), 2, options);
  return EigGen<float, FloatEig>("nml_f_eig_gen", n, a, opt);
}
