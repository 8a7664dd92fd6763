// Analysis of variance, safe division and the double covariance and triangular kernels.
#include "numerics/further/nml_regression_kernels.h"

#include <cmath>

#include "numerics/further/nml_distributions.h"
#include "numerics/further/nml_further_kernels.h"
#include "numerics/nml_cov_t.h"

namespace {

struct DoubleTriangular {
  static double Mach(int i) { return nml_dmach(i); }
  static void Trsv(const char* trans, int n, const double* r, int ldr, double* x) {
    DTRSV("U", trans, "N", n, r, ldr, x, 1);
  }
};

inline float Mach(float, int i) { return nml_amach(i); }
inline double Mach(double, int i) { return nml_dmach(i); }
inline void SafeDiv(double a, double b, double* q) { nml_d_safe_div(a, b, q); }
inline void SafeDiv(float a, float b, float* q) { nml_f_safe_div(a, b, q); }
inline float FCdf(float f, float a, float b) { return nml_f_F_cdf(f, a, b); }
inline double FCdf(double f, double a, double b) { return nml_d_F_cdf(f, a, b); }

template <class T>
void SafeDivision(T a, T b, T* q) {
  const T nan = Mach(T(), 6);
  if (std::isnan(a) || std::isnan(b)) {
    *q = nan;
  } else if (std::fabs(b) > T(1)) {
    *q = std::fabs(a) < Mach(T(), 1) * std::fabs(b) ? T(0) : a / b;
  } else if (std::fabs(a) >= Mach(T(), 2) * std::fabs(b)) {
    const bool bPositive = !(b < T(0));  // b = 0 counts as positive
    *q = a == T(0) ? nan : ((a > T(0)) == bPositive ? Mach(T(), 7) : Mach(T(), 8));
  } else {
    *q = a / b;
  }
}

template <class T>
void Aov(T dfr, T ssr, T dfe, T sse, T ybar, T* aov) {
  nml::NameScope scope("nml_g1aov");
  int count = 1;
  nml::CheckNonneg(dfr, "DFR", &count);
  nml::CheckNonneg(ssr, "SSR", &count);
  nml::CheckNonneg(dfe, "DFE", &count);
  nml::CheckNonneg(sse, "SSE", &count);
  if (nml_error_code(0) != 0) return;
  const T nan = Mach(T(), 6);
  aov[0] = dfr;
  aov[1] = dfe;
  aov[2] = dfr + dfe;
  aov[3] = ssr;
  aov[4] = sse;
  aov[5] = ssr + sse;
  SafeDiv(ssr, dfr, &aov[6]);
  SafeDiv(sse, dfe, &aov[7]);
  SafeDiv(aov[6], aov[7], &aov[8]);
  if (std::isnan(aov[8])) {
    aov[9] = nan;
  } else if (std::isinf(aov[8]) && aov[8] > 0) {
    aov[9] = 0;
  } else {
    aov[9] = T(1) - FCdf(aov[8], dfr, dfe);
  }
  SafeDiv(T(100) * ssr, aov[5], &aov[10]);
  T total, u;
  SafeDiv(aov[5], aov[2], &total);
  SafeDiv(aov[7], total, &u);
  aov[11] = std::isnan(u) ? nan : (u <= T(1) ? T(100) * (T(1) - u) : T(0));
  if (!std::isnan(aov[7])) {
    aov[12] = std::sqrt(aov[7]);
    SafeDiv(T(100) * aov[12], ybar, &aov[14]);
  } else {
    aov[12] = aov[14] = nan;
  }
  aov[13] = ybar;
}

}  // namespace

void nml_d_safe_div(double a, double b, double* q) { SafeDivision(a, b, q); }
void nml_f_safe_div(float a, float b, float* q) { SafeDivision(a, b, q); }

void nml_g1aov(double dfr, double ssr, double dfe, double sse, double ybar, double* aov) {
  Aov(dfr, ssr, dfe, sse, ybar, aov);
}
void nml_g1aov(float dfr, float ssr, float dfe, float sse, float ybar, float* aov) {
  Aov(dfr, ssr, dfe, sse, ybar, aov);
}

void nml_d_check_nonneg(double value, const char* name, int* count) {
  nml::CheckNonneg(value, name, count);
}

void l_check_triangular(int n, const double* r, int ldr, int* count) {
  nml::CheckTriangular(n, r, ldr, count);
}

double DASUM_PROD(int n, const double* x, int incx, const double* y, int incy) {
  return nml::AbsDot(n, x, incx, y, incy);
}

void nml_rcovb(int m, double* r, int ldr, double s2, double* cov, int cov_col_dim) {
  nml::Rcovb<double, DoubleTriangular>(m, r, ldr, s2, cov, cov_col_dim);
}

void l_girts(int n, double* r, int ldr, int nb, double* b, int ldb, int ipath, int* irank,
             double* x, int ldx, double* rinv, int ldrinv) {
  nml::Girts<double, DoubleTriangular>(n, r, ldr, nb, b, ldb, ipath, irank, x, ldx, rinv, ldrinv);
}
