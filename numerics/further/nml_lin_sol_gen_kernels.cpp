// Kernels of the general linear solver: the panel LU factorisation with scaled partial
// pivoting, the condition estimate, the solve from a factor, the inverse, the triangular
// inverse and the L1 norm. Column-ordered arrays, 1-based indices and pivots.
#include <algorithm>
#include <cmath>
#include <utility>

#include "numerics/further/nml_further_kernels.h"
#include "numerics/further/nml_lin_sol_gen.h"
#include "numerics/nml_runtime.h"

namespace {

// The smallest positive double whose reciprocal does not overflow.
double SafeSmall() {
  double small = nml_dmach(1);
  if (small * nml_dmach(2) < 1.0) small = 1.0 / nml_dmach(2);
  return small;
}

// Element (i, j), 1-based, of a column-ordered matrix.
struct Col {
  double* p;
  long ld;
  double& operator()(int i, int j) const { return p[(i - 1) + (j - 1) * ld]; }
};

bool Failed() { return nml_error_current_type() >= NML_FATAL; }

void PostInts(int code, int v1) {
  nml_error_set_int(1, v1);
  nml_error_post(NML_TERMINAL, code);
}
void PostInts(int code, int v1, int v2) {
  nml_error_set_int(1, v1);
  nml_error_set_int(2, v2);
  nml_error_post(NML_TERMINAL, code);
}

void Scale(int n, double s, double* z) {
  for (int i = 0; i < n; ++i) z[i] *= s;
}

constexpr int kPanel = 8;

// Brings column j up to date with the panel k..last: the panel's interchanges in order, the
// panel rows become U entries by forward substitution, the rows below receive the products
// with the multipliers (latest panel column first, the old value added last). Columns whose
// pivot was unusable (`live` false) take no part.
void UpdateColumn(const Col& f, int n, int k, int last, int j, const int* ipvt, const bool* live) {
  for (int p = k; p <= last; ++p) {
    const int l = ipvt[p - 1];
    if (live[p - k] && l != p) std::swap(f(l, j), f(p, j));
  }
  for (int r = k + 1; r <= n; ++r) {
    const int top = std::min(r - 1, last);
    double s = 0.0;
    for (int p = top; p >= k; --p)
      if (live[p - k]) s += f(r, p) * f(p, j);
    f(r, j) = s + f(r, j);
  }
}

}  // namespace

void nml_dl2trg_pivot(int m, const double* x, const double* scale, int* index) {
  constexpr int kChunk = 400;
  double buf[kChunk];
  double best = 0.0;
  *index = 1;
  for (int start = 0; start < m; start += kChunk) {
    const int len = std::min(kChunk, m - start);
    for (int i = 0; i < len; ++i) buf[i] = x[start + i] * scale[start + i];
    const int p = IDAMAX(len, buf, 1);
    if (std::fabs(buf[p - 1]) > best) {
      best = std::fabs(buf[p - 1]);
      *index = start + p;
    }
  }
}

void nml_dl2trg(int n, const double* a, int lda, double* fac, int ldfac, int* ipvt, double* scale) {
  nml::NameScope scope("nml_dl2trg");
  if (n < 1) return PostInts(1010, n);
  if (lda < n) return PostInts(1011, n, lda);
  if (ldfac < n) return PostInts(1012, n, ldfac);
  CRGRG(n, a, lda, fac, ldfac);
  if (Failed()) return;
  const double small = SafeSmall();
  const Col f{fac, ldfac};
  for (int i = 1; i <= n; ++i) {
    const double r = std::fabs(f(i, IDAMAX(n, &f(i, 1), ldfac)));
    scale[i - 1] = r >= small ? 1.0 / r : 1.0;
  }
  bool singular = false;
  for (int k = 1; k < n; k += kPanel) {
    const int last = std::min(k + kPanel - 1, n - 1);
    bool live[kPanel] = {};
    for (int c = k; c <= last; ++c) {
      int idx = 1;
      nml_dl2trg_pivot(n - c + 1, &f(c, c), &scale[c - 1], &idx);
      const int l = c - 1 + idx;
      ipvt[c - 1] = l;
      std::swap(scale[c - 1], scale[l - 1]);
      live[c - k] = std::fabs(f(l, c)) > small;
      if (!live[c - k]) {
        singular = true;
      } else {
        std::swap(f(l, c), f(c, c));
        const double t = -1.0 / f(c, c);
        for (int i = c + 1; i <= n; ++i) f(i, c) *= t;
        // The earlier multipliers of the panel follow the interchange while the panel is
        // open, so that later columns are updated row by row; undone when it closes.
        if (l != c)
          for (int p = k; p < c; ++p) std::swap(f(l, p), f(c, p));
      }
      if (c < k + kPanel - 1) UpdateColumn(f, n, k, c, c + 1, ipvt, live);
    }
    for (int j = n; j >= k + kPanel; --j) UpdateColumn(f, n, k, last, j, ipvt, live);
    for (int c = last; c > k; --c) {
      const int l = ipvt[c - 1];
      if (live[c - k] && l != c)
        for (int p = k; p < c; ++p) std::swap(f(l, p), f(c, p));
    }
  }
  ipvt[n - 1] = n;
  if (std::fabs(f(n, n)) <= small) singular = true;
  if (singular) nml_error_post(NML_FATAL, 1004);
}

void NR1RR(const int* nra, const int* nca, const double* a, const int* lda, double* anorm) {
  nml::NameScope scope("NR1RR ");
  if (*lda < *nra) return PostInts(1015, *nra, *lda);
  if (*nra < 1) PostInts(1016, *nra);
  if (*nca < 1) PostInts(1017, *nca);
  if (nml_error_code(0) != 0) return;
  *anorm = 0.0;
  for (int j = 0; j < *nca; ++j)
    *anorm = nml_d_max(DASUM(*nra, a + static_cast<long>(j) * *lda, 1), *anorm);
}

void L2CRG(const int* pn, const double* a, const int* plda, double* fac, const int* pldfac,
           int* ipvt, double* rcond, double* z) {
  nml::NameScope scope("L2CRG ");
  const int n = *pn;
  if (n < 1) return PostInts(1010, n);
  if (*plda < n) return PostInts(1011, n, *plda);
  if (*pldfac < n) return PostInts(1012, n, *pldfac);
  *rcond = 0.0;
  double anorm = 0.0;
  NR1RR(pn, pn, a, plda, &anorm);
  nml_dl2trg(n, a, *plda, fac, *pldfac, ipvt, z);
  if (Failed()) return;
  const Col u{fac, *pldfac};
  auto zk = [&](int k) -> double& { return z[k - 1]; };
  std::fill(z, z + n, 0.0);

  // Solve trans(U)*w = e, the signs of e chosen for growth.
  double ek = 1.0;
  for (int k = 1; k <= n; ++k) {
    if (zk(k) != 0.0) ek = -zk(k) >= 0.0 ? std::fabs(ek) : -std::fabs(ek);
    if (std::fabs(ek - zk(k)) > std::fabs(u(k, k))) {
      const double s = std::fabs(u(k, k)) / std::fabs(ek - zk(k));
      Scale(n, s, z);
      ek *= s;
    }
    double wk = ek - zk(k), wkm = -ek - zk(k);
    double s = std::fabs(wk), sm = std::fabs(wkm);
    if (u(k, k) != 0.0) {
      wk /= u(k, k);
      wkm /= u(k, k);
    } else {
      wk = 1.0;
      wkm = 1.0;
    }
    for (int j = k + 1; j <= n; ++j) {
      sm += std::fabs(zk(j) + wkm * u(k, j));
      zk(j) += wk * u(k, j);
      s += std::fabs(zk(j));
    }
    if (s < sm) {
      const double t = wkm - wk;
      wk = wkm;
      for (int j = k + 1; j <= n; ++j) zk(j) += t * u(k, j);
    }
    zk(k) = wk;
  }
  Scale(n, 1.0 / DASUM(n, z, 1), z);

  // Solve trans(L).
  for (int k = n; k >= 1; --k) {
    if (k < n) zk(k) += DDOT(n - k, &u(k + 1, k), 1, &zk(k + 1), 1);
    if (std::fabs(zk(k)) > 1.0) Scale(n, 1.0 / std::fabs(zk(k)), z);
    std::swap(zk(k), zk(ipvt[k - 1]));
  }
  Scale(n, 1.0 / DASUM(n, z, 1), z);
  double ynorm = 1.0;

  // Solve L.
  for (int k = 1; k <= n; ++k) {
    const int l = ipvt[k - 1];
    const double t = zk(l);
    zk(l) = zk(k);
    zk(k) = t;
    if (k < n) DAXPY(n - k, t, &u(k + 1, k), 1, &zk(k + 1), 1);
    if (std::fabs(zk(k)) > 1.0) {
      const double s = 1.0 / std::fabs(zk(k));
      Scale(n, s, z);
      ynorm *= s;
    }
  }
  double s = 1.0 / DASUM(n, z, 1);
  Scale(n, s, z);
  ynorm *= s;

  // Solve U.
  for (int k = n; k >= 1; --k) {
    if (std::fabs(zk(k)) > std::fabs(u(k, k))) {
      const double t = std::fabs(u(k, k)) / std::fabs(zk(k));
      Scale(n, t, z);
      ynorm *= t;
    }
    zk(k) = u(k, k) != 0.0 ? zk(k) / u(k, k) : 1.0;
    if (k > 1) DAXPY(k - 1, -zk(k), &u(1, k), 1, z, 1);
  }
  s = 1.0 / DASUM(n, z, 1);
  ynorm *= s;
  if (anorm != 0.0) *rcond = ynorm / anorm;
  if (*rcond <= nml_dmach(4)) {
    nml_error_set_double(1, *rcond);
    nml_error_post(NML_WARNING, 1003);
  }
}

void nml_dlfsrg(int n, const double* fac, int ldfac, const int* ipvt, const double* b,
                const int* ipath, double* x) {
  nml::NameScope scope("nml_dlfsrg");
  if (n < 1) return PostInts(1010, n);
  if (ldfac < n) return PostInts(1012, n, ldfac);
  if (*ipath != 1 && *ipath != 2) {
    nml_error_set_int(1, 1);
    nml_error_set_int(2, 2);
    nml_error_set_int(3, *ipath);
    nml_error_post(NML_TERMINAL, 1033);
    return;
  }
  if (x != b) DCOPY(n, b, 1, x, 1);
  const Col f{const_cast<double*>(fac), ldfac};
  auto zeroDiagonal = [&] {
    for (int k = n; k >= 1; --k) {
      if (f(k, k) == 0.0) {
        nml_error_post(NML_FATAL, 1004);
        return true;
      }
    }
    return false;
  };
  if (*ipath == 1) {
    for (int k = 1; k < n; ++k) {
      const int l = ipvt[k - 1];
      const double t = x[l - 1];
      if (l != k) std::swap(x[l - 1], x[k - 1]);
      DAXPY(n - k, t, &f(k + 1, k), 1, &x[k], 1);
    }
    if (zeroDiagonal()) return;
    DTRSV("U", "N", "N", n, fac, ldfac, x, 1);
  } else {
    if (zeroDiagonal()) return;
    DTRSV("U", "T", "N", n, fac, ldfac, x, 1);
    for (int k = n - 1; k >= 1; --k) {
      x[k - 1] += DDOT(n - k, &f(k + 1, k), 1, &x[k], 1);
      const int l = ipvt[k - 1];
      if (l != k) std::swap(x[l - 1], x[k - 1]);
    }
  }
}

void LINRT(const int* pn, const double* a, const int* plda, const int* ipath, double* ainv,
           const int* pldainv) {
  nml::NameScope scope("LINRT ");
  const int n = *pn;
  if (n < 1) return PostInts(1010, n);
  if (*plda < n) return PostInts(1011, n, *plda);
  if (*pldainv < n) return PostInts(1013, n, *pldainv);
  if (*ipath != 1 && *ipath != 2) return PostInts(3097, *ipath);
  const double small = SafeSmall();
  const Col src{const_cast<double*>(a), *plda};
  const Col w{ainv, *pldainv};
  const long ld = *pldainv;
  const bool lower = *ipath == 1;
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) {
      const bool inside = lower ? i >= j : i <= j;
      if (!inside) {
        w(i, j) = 0.0;
      } else if (ainv != a) {
        w(i, j) = src(i, j);
      }
    }
  }
  auto stop = [] { nml_error_post(NML_FATAL, 1004); };
  if (lower) {
    for (int j = n; j >= 1; --j) {
      if (std::fabs(w(j, j)) <= small) return stop();
      w(j, j) = 1.0 / w(j, j);
      if (j < n) {
        for (int i = j + 1; i <= n; ++i) w(i, j) *= -w(j, j);
        DGER(n - j, j - 1, 1.0, &w(j + 1, j), 1, &w(j, 1), *pldainv, &w(j + 1, 1), *pldainv);
      }
      for (int p = 1; p < j; ++p) w(j, p) *= w(j, j);
    }
  } else {
    for (int j = 1; j <= n; ++j) {
      if (std::fabs(w(j, j)) <= small) return stop();
      w(j, j) = 1.0 / w(j, j);
      for (int i = 1; i < j; ++i) w(i, j) *= -w(j, j);
      if (j < n) {
        DGER(j - 1, n - j, 1.0, &w(1, j), 1, ainv + (j - 1) + j * ld, *pldainv, ainv + j * ld,
             *pldainv);
        for (int p = j + 1; p <= n; ++p) w(j, p) *= w(j, j);
      }
    }
  }
}

void L2NRG(int n, const double* a, int lda, double* ainv, int ldainv, double* wk, int* iwk,
           double* rcond) {
  nml::NameScope scope("L2NRG ");
  if (n < 1) return PostInts(1010, n);
  if (lda < n) return PostInts(1011, n, lda);
  if (ldainv < n) return PostInts(1013, n, ldainv);
  const long tri = static_cast<long>(n) * (n - 1) / 2;
  L2CRG(&n, a, &lda, ainv, &ldainv, iwk, rcond, wk + tri);
  if (Failed()) return;
  const Col w{ainv, ldainv};
  // U is inverted in place; the multipliers below it wait in wk meanwhile.
  long q = 0;
  for (int j = 1; j < n; ++j)
    for (int i = j + 1; i <= n; ++i) wk[q++] = w(i, j);
  const int upper = 2;
  LINRT(&n, ainv, &ldainv, &upper, ainv, &ldainv);
  if (Failed()) return;
  q = 0;
  for (int j = 1; j < n; ++j)
    for (int i = j + 1; i <= n; ++i) w(i, j) = wk[q++];
  double* v = wk + tri;
  const int inc = 1;
  const double one = 1.0;
  for (int j = n - 1; j >= 1; --j) {
    for (int i = j + 1; i <= n; ++i) {
      v[i - j - 1] = w(i, j);
      w(i, j) = 0.0;
    }
    const int cols = n - j;
    DGEMV("N", 2, &n, &cols, &one, &w(1, j + 1), &ldainv, v, &inc, &one, &w(1, j), &inc);
    const int l = iwk[j - 1];
    if (l != j) DSWAP(n, &w(1, j), 1, &w(1, l), 1);
  }
  if (*rcond <= nml_dmach(4)) {
    nml_error_set_double(1, *rcond);
    nml_error_post(NML_WARNING, 1003);
  }
}
