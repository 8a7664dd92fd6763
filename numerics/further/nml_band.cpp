// Band linear systems: one design for both precisions, after the classic band LU.
#include "numerics/further/nml_band.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "numerics/further/nml_further_kernels.h"
#include "numerics/nml_blas.h"
#include "numerics/nml_runtime.h"

namespace {

inline float Mach(float, int i) { return nml_amach(i); }
inline double Mach(double, int i) { return nml_dmach(i); }
inline void SetReal(int k, float v) { nml_error_set_float(k, v); }
inline void SetReal(int k, double v) { nml_error_set_double(k, v); }
inline void Tbsv(const char* trans, int n, int k, const float* a, int lda, float* x) {
  const int inc = 1;
  STBSV("U", trans, "N", &n, &k, a, &lda, x, &inc);
}
inline void Tbsv(const char* trans, int n, int k, const double* a, int lda, double* x) {
  const int inc = 1;
  DTBSV("U", trans, "N", &n, &k, a, &lda, x, &inc);
}

template <class T>
T SafeSmall() {
  T small = Mach(T(), 1);
  if (small * Mach(T(), 2) < T(1)) small = T(1) / Mach(T(), 2);
  return small;
}

bool Failed() { return nml_error_current_type() >= NML_FATAL; }
bool Pending() { return nml_error_code(0) != 0; }

void Post(int code, int v1) {
  nml_error_set_int(1, v1);
  nml_error_post(NML_TERMINAL, code);
}
void Post(int code, int v1, int v2) {
  nml_error_set_int(2, v2);
  Post(code, v1);
}
void Post(int code, int v1, int v2, int v3) {
  nml_error_set_int(3, v3);
  Post(code, v1, v2);
}
void Post(int code, int v1, int v2, int v3, int v4) {
  nml_error_set_int(4, v4);
  Post(code, v1, v2, v3);
}

// Element (row, col), 1-based, of a column-ordered array.
template <class T>
struct Band {
  T* p;
  long ld;
  T& operator()(int r, int c) const { return p[(r - 1) + (c - 1) * ld]; }
};

// The tests shared by the factorisation, the estimate and the solve, first failure only.
bool BandArgsOk(int n, int nlca, int nuca, const int* lda, const int* ldfac) {
  if (n < 1) return Post(1010, n), false;
  if (nlca < 0 || nlca >= n) return Post(1074, nlca), false;
  if (nuca < 0 || nuca >= n) return Post(1075, nuca), false;
  if (lda && *lda < nlca + nuca + 1) return Post(1076, nlca + nuca + 1, *lda), false;
  if (ldfac && *ldfac < 2 * nlca + nuca + 1) return Post(1077, 2 * nlca + nuca + 1, *ldfac), false;
  return true;
}

template <class T>
void Crbrb(int n, const T* a, int lda, int nlca, int nuca, T* b, int ldb, int nlcb, int nucb) {
  nml::NameScope scope("NML_CRBRB ");
  if (n < 1) return Post(2001, n);
  if (lda < nlca + nuca + 1) return Post(608, lda, nlca, nuca, nlca + nuca + 1);
  if (nlca < 0 || nlca >= n) return Post(609, nlca, n);
  if (nuca < 0 || nuca >= n) return Post(610, nuca, n);
  if (ldb < nlcb + nucb + 1) return Post(611, ldb, nlcb, nucb, nlcb + nucb + 1);
  if (nlcb < nlca || nlcb >= n) return Post(612, nlcb, nlca, n);
  if (nucb < nuca || nucb >= n) return Post(613, nucb, nuca, n);
  const int rows = nlca + nuca + 1;
  // One column: the entries inside the matrix copied to the same rows, the band rows above
  // and below them zeroed. Zeroing and copying are ordered so that a copy within one array
  // never overwrites an entry still to be read.
  auto column = [&](int j, bool forward) {
    const int above = std::min(j - 1, nuca);
    const int top = nuca - above;
    const int count = above + 1 + std::min(n - j, nlca);
    const T* src = a + static_cast<long>(j - 1) * lda;
    T* dst = b + static_cast<long>(j - 1) * ldb;
    auto zeroTop = [&] { std::fill(dst, dst + top, T(0)); };
    auto zeroBottom = [&] { std::fill(dst + top + count, dst + rows, T(0)); };
    if (forward) {
      zeroTop();
      nml::blas::Copy(count, src + top, 1, dst + top, 1);
      zeroBottom();
    } else {
      zeroBottom();
      nml::blas::Copy(count, src + top, -1, dst + top, -1);
      zeroTop();
    }
  };
  if (ldb < lda) {
    for (int j = 1; j <= n; ++j) column(j, true);
  } else {
    for (int j = n; j >= 1; --j) column(j, false);
  }
  const Band<T> B{b, ldb};
  if (nucb > nuca) {
    const int d = nucb - nuca;
    for (int r = rows; r >= 1; --r) nml::blas::Copy(n, &B(r, 1), ldb, &B(r + d, 1), ldb);
    for (int r = 1; r <= d; ++r)
      for (int j = 1; j <= n; ++j) B(r, j) = T(0);
  }
  for (int r = nucb + nlca + 2; r <= nucb + nlcb + 1; ++r)
    for (int j = 1; j <= n; ++j) B(r, j) = T(0);
}

template <class T>
void Nr1rb(int n, const T* a, int lda, int nlca, int nuca, T* anorm) {
  nml::NameScope scope("NML_NR1RB ");
  if (n < 1) return Post(1010, n);
  if (lda < nlca + nuca + 1) {
    Post(617, nlca + nuca + 1, lda);
  } else {
    if (nlca < 0 || nlca >= n) Post(618, nlca, n);
    if (nuca < 0 || nuca >= n) Post(619, nuca, n);
  }
  if (Pending()) return;
  const Band<T> A{const_cast<T*>(a), lda};
  *anorm = T(0);
  int l = nlca + 1, r = nuca + 1;
  for (int j = 1; j <= n; ++j) {
    *anorm = std::max(*anorm, nml::blas::Asum(l, &A(r, j), 1));
    if (r > 1) --r;
    if (j <= nuca) ++l;
    if (j >= n - nlca) --l;
  }
}

template <class T>
void L2trb(int n, const T* a, int lda, int nlca, int nuca, T* fac, int ldfac, int* ipvt, T* scale) {
  nml::NameScope scope("NML_L2TRB ");
  if (!BandArgsOk(n, nlca, nuca, &lda, &ldfac)) return;
  Crbrb(n, a, lda, nlca, nuca, fac, ldfac, nlca, nuca);
  if (Failed()) return;
  const int m = nlca + nuca + 1;
  const Band<T> F{fac, ldfac};
  if (nlca > 0) {
    for (int r = m; r >= 1; --r) nml::blas::Copy(n, &F(r, 1), ldfac, &F(r + nlca, 1), ldfac);
    for (int r = 1; r <= nlca; ++r)
      for (int j = 1; j <= n; ++j) F(r, j) = T(0);
  }
  const T small = SafeSmall<T>();
  const long diag = ldfac - 1;  // step along a row of the matrix within the band
  for (int i = 1; i <= n; ++i) {
    const int j0 = std::max(1, i - nlca);
    const int count = std::min(i - 1, nlca) + 1 + std::min(n - i, nuca);
    const T* first = &F(m + i - j0, j0);
    scale[i - 1] =
        std::fabs(first[(nml::blas::Iamax(count, first, static_cast<int>(diag)) - 1) * diag]);
  }
  // Fill-in positions that the interchanges may reach start as zeros.
  int jz = std::min(n, m) - 1;
  for (int z = nuca + 2; z <= jz; ++z)
    for (int r = m + 1 - z; r <= nlca; ++r) F(r, z) = T(0);
  int ju = 0;
  bool singular = false;
  for (int k = 1; k < n; ++k) {
    ++jz;
    if (jz <= n)
      for (int r = 1; r <= nlca; ++r) F(r, jz) = T(0);
    const int lm = std::min(nlca, n - k);
    int l = k;
    T best = T(0);
    for (int r = k; r <= k + lm; ++r) {
      const T v = scale[r - 1] > small ? std::fabs(F(m + r - k, k)) / scale[r - 1]
                                       : std::fabs(F(m + r - k, k));
      if (v > best) {
        best = v;
        l = r;
      }
    }
    ipvt[k - 1] = l;
    if (std::fabs(F(m + l - k, k)) <= small) {
      singular = true;
      continue;
    }
    std::swap(F(m + l - k, k), F(m, k));
    const T t = T(-1) / F(m, k);
    for (int r = m + 1; r <= m + lm; ++r) F(r, k) *= t;
    ju = std::min(std::max(ju, nuca + l), n);
    for (int j = k + 1; j <= ju; ++j) {
      if (l != k) std::swap(F(m + l - j, j), F(m + k - j, j));
    }
    if (lm > 0 && ju > k)
      nml::blas::Ger("SGER", lm, ju - k, T(1), &F(m + 1, k), 1, &F(m - 1, k + 1),
                     static_cast<int>(diag), &F(m, k + 1), static_cast<int>(diag));
  }
  ipvt[n - 1] = n;
  if (std::fabs(F(m, n)) <= small) singular = true;
  if (singular) nml_error_post(NML_FATAL, 1004);
}

template <class T>
void L2crb(int n, const T* a, int lda, int nlca, int nuca, T* fac, int ldfac, int* ipvt, T* rcond,
           T* z) {
  nml::NameScope scope("NML_L2CRB ");
  if (!BandArgsOk(n, nlca, nuca, &lda, &ldfac)) return;
  *rcond = T(0);
  T anorm = T(0);
  Nr1rb(n, a, lda, nlca, nuca, &anorm);
  L2trb(n, a, lda, nlca, nuca, fac, ldfac, ipvt, z);
  if (Failed()) return;
  const int m = nlca + nuca + 1;
  const Band<T> F{fac, ldfac};
  const T small = SafeSmall<T>();
  auto U = [&](int k, int j) -> T& { return F(m + k - j, j); };
  auto zk = [&](int k) -> T& { return z[k - 1]; };
  auto scaleAll = [&](T s) {
    for (int i = 0; i < n; ++i) z[i] *= s;
  };
  std::fill(z, z + n, T(0));

  T ek = T(1);
  int ju = 0;
  for (int k = 1; k <= n; ++k) {
    if (zk(k) != T(0)) ek = -zk(k) >= T(0) ? std::fabs(ek) : -std::fabs(ek);
    if (std::fabs(ek - zk(k)) > std::fabs(U(k, k))) {
      const T s = std::fabs(U(k, k)) / std::fabs(ek - zk(k));
      scaleAll(s);
      ek *= s;
    }
    T wk = ek - zk(k), wkm = -ek - zk(k);
    T s = std::fabs(wk), sm = std::fabs(wkm);
    if (std::fabs(U(k, k)) <= small) {
      wk = wkm = T(1);
    } else {
      wk /= U(k, k);
      wkm /= U(k, k);
    }
    ju = std::min(std::max(ju, nuca + ipvt[k - 1]), n);
    if (k < ju) {
      for (int j = k + 1; j <= ju; ++j) sm += std::fabs(zk(j) + wkm * U(k, j));
      for (int j = k + 1; j <= ju; ++j) zk(j) += wk * U(k, j);
      s += nml::blas::Asum(ju - k, &zk(k + 1), 1);
      if (s < sm) {
        const T t = wkm - wk;
        wk = wkm;
        for (int j = k + 1; j <= ju; ++j) zk(j) += t * U(k, j);
      }
    }
    zk(k) = wk;
  }
  scaleAll(T(1) / nml::blas::Asum(n, z, 1));

  for (int k = n; k >= 1; --k) {
    const int lm = std::min(nlca, n - k);
    if (k < n && lm > 0) zk(k) += nml::blas::Dot(lm, &F(m + 1, k), 1, &zk(k + 1), 1);
    if (std::fabs(zk(k)) > T(1)) scaleAll(T(1) / std::fabs(zk(k)));
    std::swap(zk(k), zk(ipvt[k - 1]));
  }
  scaleAll(T(1) / nml::blas::Asum(n, z, 1));
  T ynorm = T(1);

  for (int k = 1; k <= n; ++k) {
    const int l = ipvt[k - 1];
    const T t = zk(l);
    zk(l) = zk(k);
    zk(k) = t;
    const int lm = std::min(nlca, n - k);
    if (k < n && lm > 0) nml::blas::Axpy(lm, t, &F(m + 1, k), 1, &zk(k + 1), 1);
    if (std::fabs(zk(k)) > T(1)) {
      const T s = T(1) / std::fabs(zk(k));
      scaleAll(s);
      ynorm *= s;
    }
  }
  T s = T(1) / nml::blas::Asum(n, z, 1);
  scaleAll(s);
  ynorm *= s;

  for (int k = n; k >= 1; --k) {
    if (std::fabs(zk(k)) > std::fabs(U(k, k))) {
      const T t = std::fabs(U(k, k)) / std::fabs(zk(k));
      scaleAll(t);
      ynorm *= t;
    }
    zk(k) = std::fabs(U(k, k)) <= small ? T(1) : zk(k) / U(k, k);
    const int lm = std::min(k, m) - 1;
    if (lm > 0) nml::blas::Axpy(lm, -zk(k), &F(m - lm, k), 1, &zk(k - lm), 1);
  }
  s = T(1) / nml::blas::Asum(n, z, 1);
  ynorm *= s;
  if (anorm > small) *rcond = ynorm / anorm;
  if (*rcond <= Mach(T(), 4)) {
    SetReal(1, *rcond);
    nml_error_post(NML_WARNING, 1003);
  }
}

template <class T>
void Lfsrb(int n, const T* fac, int ldfac, int nlca, int nuca, const int* ipvt, const T* b,
           int ipath, T* x) {
  nml::NameScope scope("NML_LFSRB ");
  if (!BandArgsOk(n, nlca, nuca, nullptr, &ldfac)) return;
  if (ipath != 1 && ipath != 2) return Post(3097, ipath);
  if (x != b) nml::blas::Copy(n, b, 1, x, 1);
  const int m = nlca + nuca + 1;
  const Band<T> F{const_cast<T*>(fac), ldfac};
  const T small = SafeSmall<T>();
  auto singular = [&] {
    for (int k = n; k >= 1; --k) {
      if (std::fabs(F(m, k)) <= small) {
        nml_error_post(NML_FATAL, 1004);
        return true;
      }
    }
    return false;
  };
  if (ipath == 1) {
    for (int k = 1; nlca > 0 && k < n; ++k) {
      const int lm = std::min(nlca, n - k);
      const int l = ipvt[k - 1];
      const T t = x[l - 1];
      if (l != k) std::swap(x[l - 1], x[k - 1]);
      nml::blas::Axpy(lm, t, &F(m + 1, k), 1, &x[k], 1);
    }
    if (singular()) return;
    Tbsv("N", n, nlca + nuca, fac, ldfac, x);
  } else {
    if (singular()) return;
    Tbsv("T", n, nlca + nuca, fac, ldfac, x);
    for (int k = n - 1; nlca > 0 && k >= 1; --k) {
      const int lm = std::min(nlca, n - k);
      x[k - 1] += nml::blas::Dot(lm, &F(m + 1, k), 1, &x[k], 1);
      const int l = ipvt[k - 1];
      if (l != k) std::swap(x[l - 1], x[k - 1]);
    }
  }
}

template <class T>
void L2lrb(int n, const T* a, int lda, int nlca, int nuca, const T* b, int ipath, T* x, T* fac,
           int* ipvt, T* wk) {
  nml::NameScope scope("NML_L2LRB ");
  if (n < 1) return Post(1001, n);
  if (nlca < 0 || nlca >= n) return Post(1074, nlca);
  if (nuca < 0 || nuca >= n) return Post(1075, nuca);
  if (lda < nlca + nuca + 1) return Post(1076, nlca + nuca + 1, lda);
  if (ipath != 1 && ipath != 2) return Post(3097, ipath);
  const int ldfac = 2 * nlca + nuca + 1;
  T rcond = T(0);
  L2crb(n, a, lda, nlca, nuca, fac, ldfac, ipvt, &rcond, wk);
  if (Failed()) return;
  Lfsrb(n, fac, ldfac, nlca, nuca, ipvt, b, ipath, x);
  if (rcond <= Mach(T(), 4)) {
    SetReal(1, rcond);
    nml_error_post(NML_WARNING, 1003);
  }
}

}  // namespace

#define TV_BAND_ROUTINES(T)                                                                        \
  void NML_L2LRB(const int* n, const T* a, const int* lda, const int* nlca, const int* nuca,       \
                 const T* b, const int* ipath, T* x, T* fac, int* ipvt, T* wk) {                   \
    L2lrb(*n, a, *lda, *nlca, *nuca, b, *ipath, x, fac, ipvt, wk);                                 \
  }                                                                                                \
  void NML_L2CRB(const int* n, const T* a, const int* lda, const int* nlca, const int* nuca,       \
                 T* fac, const int* ldfac, int* ipvt, T* rcond, T* wk) {                           \
    L2crb(*n, a, *lda, *nlca, *nuca, fac, *ldfac, ipvt, rcond, wk);                                \
  }                                                                                                \
  void NML_L2TRB(const int* n, const T* a, const int* lda, const int* nlca, const int* nuca,       \
                 T* fac, const int* ldfac, int* ipvt, T* wk) {                                     \
    L2trb(*n, a, *lda, *nlca, *nuca, fac, *ldfac, ipvt, wk);                                       \
  }                                                                                                \
  void NML_LFSRB(const int* n, const T* fac, const int* ldfac, const int* nlca, const int* nuca,   \
                 const int* ipvt, const T* b, const int* ipath, T* x) {                            \
    Lfsrb(*n, fac, *ldfac, *nlca, *nuca, ipvt, b, *ipath, x);                                      \
  }                                                                                                \
  void NML_NR1RB(const int* n, const T* a, const int* lda, const int* nlca, const int* nuca,       \
                 T* anorm) {                                                                       \
    Nr1rb(*n, a, *lda, *nlca, *nuca, anorm);                                                       \
  }                                                                                                \
  void NML_CRBRB(const int* n, const T* a, const int* lda, const int* nlca, const int* nuca, T* b, \
                 const int* ldb, const int* nlcb, const int* nucb) {                               \
    Crbrb(*n, a, *lda, *nlca, *nuca, b, *ldb, *nlcb, *nucb);                                       \
  }

TV_BAND_ROUTINES(float)
TV_BAND_ROUTINES(double)
