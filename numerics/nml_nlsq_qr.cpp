// Householder QR factorisation with optional column pivoting, single precision.
#include "numerics/nml_nlsq.h"
#include "numerics/nml_nlsq_internal.h"
#include "numerics/nml_qr_t.h"

namespace {

struct FloatQrKernels {
  static float Safe() { return nml::SafeMinimum(); }
  static float Norm(int n, const float* x) { return SNRM2(n, x, 1); }
  static int Imax(int n, const float* x) {
    const int one = 1;
    return ISMAX(&n, x, &one);
  }
  static void Gemv(int rows, int cols, float alpha, const float* a, int lda, const float* u,
                   float* w) {
    const int one = 1, tlen = 1;
    const float zero = 0.0f;
    SGEMV("T", &tlen, &rows, &cols, &alpha, a, &lda, u, &one, &zero, w, &one);
  }
  static void Ger(int rows, int cols, const float* u, const float* w, float* a, int lda) {
    SGER(rows, cols, 1.0f, u, 1, w, 1, a, lda);
  }
};

}  // namespace

void L2RRR(const int* pm, const int* pn, float* a, const int* plda, const int* pflag, int* p,
           float* qr, const int* pldqr, float* aux, float* conorm, float* work) {
  nml::QrFactor<float, FloatQrKernels>(*pm, *pn, a, *plda, *pflag != 0, p, qr, *pldqr, aux, conorm,
                                       work);
}
