// Covariance s*(R'R)^-1 from an upper-triangular factor, and the triangular kernel behind
// it, single precision.
#include "numerics/nml_cov_t.h"
#include "numerics/nml_nlsq.h"
#include "numerics/nml_nlsq_internal.h"

namespace {

struct FloatTriangular {
  static float Mach(int i) { return nml_amach(i); }
  static void Trsv(const char* trans, int n, const float* r, int ldr, float* x) {
    STRSV("U", trans, "N", n, r, ldr, x, 1);
  }
};

}  // namespace

void nml_f_check_nonneg(float value, const char* name, int* count) {
  nml::CheckNonneg(value, name, count);
}

void l_check_zero_rows(int n, const float* r, int ldr, int* count) {
  nml::CheckTriangular(n, r, ldr, count);
}

void l_girts(int n, float* r, int ldr, int nb, float* b, int tdb, int ipath, int* irank, float* x,
             int tdx, float* rinv, int tdrinv) {
  nml::Girts<float, FloatTriangular>(n, r, ldr, nb, b, tdb, ipath, irank, x, tdx, rinv, tdrinv);
}

void nml_rcovb(int n, float* r, int ldr, float s, float* v, int cov_col_dim) {
  nml::Rcovb<float, FloatTriangular>(n, r, ldr, s, v, cov_col_dim);
}
