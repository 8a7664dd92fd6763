// Householder QR factorisation with optional column pivoting (LINPACK storage: R in the
// upper triangle, the essential part of each Householder vector below the diagonal and its
// leading element in qraux), in one design for both precisions. K supplies the kernels of
// its precision: Norm(n, x) (unit stride, scaled), Imax(n, x) (first largest value),
// Gemv and Ger (the level-2 kernels) and Safe() (the smallest safe divisor).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "numerics/nml_runtime.h"

namespace nml {

template <class T, class K>
void QrFactor(int m, int n, const T* a, int lda, bool pivoting, int* p, T* qr, int ldq, T* aux,
              T* conorm, T* work) {
  static const char* const name = "L2RRR ";
  NameScope scope(name);
  if (m < 1 || n < 1) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 3089);
  } else if (lda < m) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, lda);
    nml_error_post(NML_TERMINAL, 3090);
  } else if (ldq < m) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, ldq);
    nml_error_post(NML_TERMINAL, 3092);
  }
  if (nml_error_type(0) != 0) return;
  const T tiny = K::Safe();

  auto QR = [&](int i, int j) -> T& { return qr[(std::size_t)(j - 1) * ldq + (i - 1)]; };
  auto col = [&](int j) { return &qr[(std::size_t)(j - 1) * ldq]; };
  auto swapcols = [&](int j1, int j2) { std::swap_ranges(col(j1), col(j1) + m, col(j2)); };
  // work holds the products in entries 1..n-1 and the reference norms in n..2n-1.
  auto wref = [&](int j) -> T& { return work[n - 2 + j]; };

  if (qr != a)
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= m; ++i) QR(i, j) = a[(std::size_t)(j - 1) * lda + (i - 1)];

  int pl = 1, pu = 0;
  if (pivoting) {
    for (int j = 1; j <= n; ++j) {
      const bool initial = p[j - 1] > 0;
      const bool final_col = p[j - 1] < 0;
      p[j - 1] = final_col ? -j : j;
      if (initial) {
        if (j != pl) {
          swapcols(pl, j);
          p[j - 1] = p[pl - 1];
          p[pl - 1] = j;
        }
        ++pl;
      }
    }
    pu = n;
    for (int j = n; j >= 1; --j) {
      if (p[j - 1] < 0) {
        p[j - 1] = -p[j - 1];
        if (j != pu) {
          swapcols(pu, j);
          std::swap(p[pu - 1], p[j - 1]);
        }
        --pu;
      }
    }
  }

  for (int j = 1; j <= n; ++j) conorm[j - 1] = K::Norm(m, col(j));
  for (int j = pl; j <= pu; ++j) {
    aux[j - 1] = conorm[j - 1];
    if (pivoting) wref(j) = aux[j - 1];
  }

  const int lup = std::min(m, n);
  for (int l = 1; l <= lup; ++l) {
    if (pl <= l && l < pu) {
      const int jmax = l - 1 + K::Imax(pu - l + 1, &aux[l - 1]);
      if (jmax != l) {
        swapcols(l, jmax);
        aux[jmax - 1] = aux[l - 1];
        wref(jmax) = wref(l);
        std::swap(p[l - 1], p[jmax - 1]);
      }
    }
    aux[l - 1] = T(0);
    if (l == m) continue;
    T nu = K::Norm(m - l + 1, &QR(l, l));
    // A column with nothing left is left untransformed (qraux 0, R entry unchanged).
    if (nu < tiny) continue;
    if (QR(l, l) < T(0)) nu = -nu;
    const T rnu = T(1) / nu;
    for (int i = l; i <= m; ++i) QR(i, l) *= rnu;
    QR(l, l) += T(1);
    if (l < n) {
      // w = alpha*A'u with alpha = -1/u_l, then A += u*w' (the level-2 update).
      const int rows = m - l + 1, cols = n - l;
      K::Gemv(rows, cols, T(-1) / QR(l, l), &QR(l, l + 1), ldq, &QR(l, l), work);
      K::Ger(rows, cols, &QR(l, l), work, &QR(l, l + 1), ldq);
      for (int j = l + 1; j <= n; ++j) {
        if (j < pl || j > pu || aux[j - 1] == T(0)) continue;
        const T r = std::fabs(QR(l, j)) / aux[j - 1];
        const T tt = std::max(T(0), T(1) - r * r);
        const T q = aux[j - 1] / wref(j);
        // The sum is rounded to the working precision before the comparison.
        volatile T test = T(1) + T(0.05) * tt * q * q;
        if (test == T(1)) {
          aux[j - 1] = K::Norm(m - l, &QR(l + 1, j));
          wref(j) = aux[j - 1];
        } else {
          aux[j - 1] *= std::sqrt(tt);
        }
      }
    }
    aux[l - 1] = QR(l, l);
    QR(l, l) = -nu;
  }
  // Columns beyond the last step carry no transformation (a wide matrix).
  for (int j = lup + 1; j <= n; ++j) aux[j - 1] = T(0);
}

}  // namespace nml
