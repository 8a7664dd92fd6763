// The QR kernels of the linear least squares in both precisions: the double L2RRR, IDMAX,
// the application of a factor to a right-hand side, the explicit Q and the reordering by a
// permutation.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "numerics/further/nml_further_kernels.h"
#include "numerics/further/nml_lin_least_squares.h"
#include "numerics/nml_blas.h"
#include "numerics/nml_nlsq.h"
#include "numerics/nml_qr_t.h"

namespace {

inline float Mach(float, int i) { return nml_amach(i); }
inline double Mach(double, int i) { return nml_dmach(i); }

template <class T>
T SafeSmall() {
  T small = Mach(T(), 1);
  if (small * Mach(T(), 2) < T(1)) small = T(1) / Mach(T(), 2);
  return small;
}

struct DoubleQrKernels {
  static double Safe() { return SafeSmall<double>(); }
  static double Norm(int n, const double* x) { return nml_d_norm2(n, x); }
  static int Imax(int n, const double* x) {
    const int one = 1;
    return IDMAX(&n, x, &one);
  }
  static void Gemv(int rows, int cols, double alpha, const double* a, int lda, const double* u,
                   double* w) {
    const int one = 1;
    const double zero = 0.0;
    DGEMV("T", 2, &rows, &cols, &alpha, a, &lda, u, &one, &zero, w, &one);
  }
  static void Ger(int rows, int cols, const double* u, const double* w, double* a, int lda) {
    DGER(rows, cols, 1.0, u, 1, w, 1, a, lda);
  }
};

template <class T>
void Gemv(const char* name, int rows, int cols, T alpha, const T* a, int lda, const T* x, T* y) {
  nml::blas::Gemv(name, "T", rows, cols, alpha, a, lda, x, 1, T(0), y, 1);
}

template <class T>
struct Col {
  T* p;
  long ld;
  T& operator()(int i, int j) const { return p[(i - 1) + (j - 1) * ld]; }
};

// v := H_j v over rows j..n, H_j = I - u u'/u_1 with u_1 = qraux(j) and the rest of u below
// the diagonal of column j; the diagonal is lent to u_1 for the moment.
template <class T>
void Reflect(int n, int j, const Col<T>& f, const T* qraux, T* v) {
  if (qraux[j - 1] == T(0)) return;
  T& d = f(j, j);
  const T keep = d;
  d = qraux[j - 1];
  const int len = n - j + 1;
  const T t = -nml::blas::Dot(len, &d, 1, &v[j - 1], 1) / d;
  nml::blas::Axpy(len, t, &d, 1, &v[j - 1], 1);
  d = keep;
}

template <class T>
void Lqrsl(int n, int k, T* qr, int ldqr, const T* qraux, const T* y, int job, T* qy, T* qty, T* b,
           T* rsd, T* xb) {
  nml::NameScope scope("nml_lqrsl");
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 3091);
  } else if (ldqr < n) {
    nml_error_set_int(1, n);
    nml_error_set_int(2, ldqr);
    nml_error_post(NML_TERMINAL, 3092);
  } else if (k < 1 || k > n) {
    // More columns than rows would read the coefficients past the transformed vector.
    nml_error_set_int(1, k);
    nml_error_post(NML_TERMINAL, 3093);
  }
  if (job < 1 || job > 99999) {
    nml_error_set_int(1, job);
    nml_error_post(NML_TERMINAL, 3093);
  }
  if (nml_error_code(0) != 0) return;
  const bool cqy = job / 10000 != 0, cqty = job % 10000 != 0, cb = (job % 1000) / 100 != 0;
  const bool cr = (job % 100) / 10 != 0, cxb = job % 10 != 0;
  const int ju = std::min(k, n - 1);
  const Col<T> f{qr, ldqr};
  int info = 0;
  if (ju == 0) {
    if (cqy) qy[0] = y[0];
    if (cqty) qty[0] = y[0];
    if (cxb) xb[0] = y[0];
    if (cb) {
      if (f(1, 1) == T(0)) {
        info = 1;
      } else {
        b[0] = y[0] / f(1, 1);
      }
    }
    if (cr) rsd[0] = T(0);
  } else {
    if (cqy) {
      if (qy != y) nml::blas::Copy(n, y, 1, qy, 1);
      for (int j = ju; j >= 1; --j) Reflect(n, j, f, qraux, qy);
    }
    if (cqty) {
      if (qty != y) nml::blas::Copy(n, y, 1, qty, 1);
      for (int j = 1; j <= ju; ++j) Reflect(n, j, f, qraux, qty);
    }
    if (cb && b != qty) nml::blas::Copy(k, qty, 1, b, 1);
    if (cxb && xb != qty) nml::blas::Copy(k, qty, 1, xb, 1);
    if (cr && k < n && rsd != qty) nml::blas::Copy(n - k, qty + k, 1, rsd + k, 1);
    if (cxb && k < n) std::fill(xb + k, xb + n, T(0));
    if (cr) std::fill(rsd, rsd + k, T(0));
    if (cb) {
      for (int j = k; j >= 1; --j) {
        if (f(j, j) == T(0)) {
          info = j;
          break;
        }
        b[j - 1] /= f(j, j);
        if (j > 1) nml::blas::Axpy(j - 1, -b[j - 1], &f(1, j), 1, b, 1);
      }
    }
    if (cr || cxb) {
      for (int j = ju; j >= 1; --j) {
        if (cr) Reflect(n, j, f, qraux, rsd);
        if (cxb) Reflect(n, j, f, qraux, xb);
      }
    }
  }
  if (info != 0) {
    nml_error_set_int(1, info);
    nml_error_post(NML_FATAL, 1009);
  }
}

template <class T>
void L2err(int m, int n, const T* qr, int ldqr, const T* qraux, T* q, int ldq, T* work) {
  nml::NameScope scope("l_l2err");
  if (m < 1 || n < 1) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 1030);
    return;
  }
  if (ldqr < m) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, ldqr);
    nml_error_post(NML_TERMINAL, 1031);
    return;
  }
  if (ldq < m) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, ldq);
    nml_error_post(NML_TERMINAL, 1032);
    return;
  }
  const int k0 = std::min(m, n);
  const Col<T> Q{q, ldq};
  const Col<T> R{const_cast<T*>(qr), ldqr};
  for (int j = 1; j <= m; ++j)
    for (int i = 1; i <= m; ++i)
      Q(i, j) = j <= k0 ? (i <= j ? T(0) : R(i, j)) : (i == j ? T(1) : T(0));
  const T small = SafeSmall<T>();
  for (int j = k0; j >= 1; --j) {
    work[j - 1] = qraux[j - 1];
    for (int i = j + 1; i <= m; ++i) {
      work[i - 1] = Q(i, j);
      Q(i, j) = T(0);
    }
    Q(j, j) = T(1);
    if (std::fabs(work[j - 1]) >= small) {
      const int len = m - j + 1;
      Gemv("l_l2err", len, len, T(1) / work[j - 1], &Q(j, j), ldq, &work[j - 1], work + m);
      nml::blas::Ger("l_l2err", len, len, T(-1), &work[j - 1], 1, work + m, 1, &Q(j, j), ldq);
    }
  }
}

template <class T>
void Permu(int n, const T* x, int* ipvt, int ipath, T* xout) {
  nml::NameScope scope("l_permu");
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 3096);
    return;
  }
  if (ipath != 1 && ipath != 2) {
    nml_error_set_int(1, ipath);
    nml_error_post(NML_TERMINAL, 3097);
    return;
  }
  if (xout != x) nml::blas::Copy(n, x, 1, xout, 1);
  if (n == 1) return;
  // Every entry is checked before any is marked, so a refused vector is left as given.
  for (int i = 1; i <= n; ++i) {
    if (ipvt[i - 1] < 1 || ipvt[i - 1] > n) {
      nml_error_set_int(1, i);
      nml_error_set_int(2, n);
      nml_error_set_int(3, ipvt[i - 1]);
      nml_error_post(NML_TERMINAL, 3098);
      return;
    }
  }
  for (int i = 0; i < n; ++i) ipvt[i] = -ipvt[i];  // negative: not visited yet
  auto next = [&](int i) { return std::abs(ipvt[i - 1]); };
  auto visit = [&](int i) { ipvt[i - 1] = next(i); };
  for (int i = 1; i <= n; ++i) {
    if (ipvt[i - 1] > 0) continue;
    visit(i);
    if (ipath == 1) {
      int j = i, k = next(i);
      while (ipvt[k - 1] < 0) {
        std::swap(xout[j - 1], xout[k - 1]);
        visit(k);
        j = k;
        k = next(k);
      }
    } else {
      for (int j = next(i); j != i; j = next(j)) {
        std::swap(xout[i - 1], xout[j - 1]);
        visit(j);
      }
    }
  }
}

}  // namespace

void L2RRR(const int* m, const int* n, double* x, const int* ldx, const int* ipvt_flag, int* ipvt,
           double* qr, const int* ldqr, double* qraux, double* conorm, double* work) {
  nml::QrFactor<double, DoubleQrKernels>(*m, *n, x, *ldx, *ipvt_flag != 0, ipvt, qr, *ldqr, qraux,
                                         conorm, work);
}

int IDMAX(const int* n, const double* x, const int* incx) {
  if (*n < 1) return 0;
  int best = 1;
  double big = x[0];
  long ix = *incx;
  for (int i = 2; i <= *n; ++i, ix += *incx) {
    if (x[ix] > big) {
      big = x[ix];
      best = i;
    }
  }
  return best;
}

#define TV_QR_KERNELS(T)                                                                         \
  void nml_lqrsl(const int* n, const int* k, T* qr, const int* ldqr, const T* qraux, const T* y, \
                 const int* job, T* qy, T* qty, T* b, T* rsd, T* xb) {                           \
    Lqrsl(*n, *k, qr, *ldqr, qraux, y, *job, qy, qty, b, rsd, xb);                               \
  }                                                                                              \
  void l_l2err(const int* m, const int* n, const T* qr, const int* ldqr, const T* qraux, T* q,   \
               const int* ldq, T* work) {                                                        \
    L2err(*m, *n, qr, *ldqr, qraux, q, *ldq, work);                                              \
  }                                                                                              \
  void l_permu(const int* n, const T* x, int* ipvt, const int* ipath, T* xout) {                 \
    Permu(*n, x, ipvt, *ipath, xout);                                                            \
  }

TV_QR_KERNELS(float)
TV_QR_KERNELS(double)
