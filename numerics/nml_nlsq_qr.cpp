// Householder QR factorisation with optional column pivoting (LINPACK storage: R in the
// upper triangle, the essential part of each Householder vector below the diagonal and its
// leading element in qraux).
#include <algorithm>
#include <cmath>

#include "numerics/nml_nlsq.h"
#include "numerics/nml_nlsq_internal.h"

void L2RRR(const int* pm, const int* pn, float* a, const int* plda, const int* pflag, int* p,
           float* qr, const int* pldqr, float* aux, float* conorm, float* work) {
  static const char* const name = "L2RRR ";
  nml_error_push_name(name);
  const int m = *pm, n = *pn, lda = *plda, ldq = *pldqr;
  const bool pivoting = *pflag != 0;
  const float tiny = nml::SafeMinimum();

  if (m < 1 || n < 1) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, n);
    nml_error_post(5, 3089);
  } else if (lda < m) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, lda);
    nml_error_post(5, 3090);
  } else if (ldq < m) {
    nml_error_set_int(1, m);
    nml_error_set_int(2, ldq);
    nml_error_post(5, 3092);
  }
  if (nml_error_type(0) != 0) {
    nml_error_pop_name(name);
    return;
  }

  auto QR = [&](int i, int j) -> float& { return qr[(size_t)(j - 1) * ldq + (i - 1)]; };
  auto col = [&](int j) { return &qr[(size_t)(j - 1) * ldq]; };
  auto swapcols = [&](int j1, int j2) { std::swap_ranges(col(j1), col(j1) + m, col(j2)); };
  // work holds the products in entries 1..n-1 and the reference norms in n..2n-1.
  auto wref = [&](int j) -> float& { return work[n - 2 + j]; };

  if (qr != a)
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= m; ++i) QR(i, j) = a[(size_t)(j - 1) * lda + (i - 1)];

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

  for (int j = 1; j <= n; ++j) conorm[j - 1] = SNRM2(m, col(j), 1);
  for (int j = pl; j <= pu; ++j) {
    aux[j - 1] = conorm[j - 1];
    if (pivoting) wref(j) = aux[j - 1];
  }

  const int lup = std::min(m, n);
  for (int l = 1; l <= lup; ++l) {
    if (pl <= l && l < pu) {
      int cnt = pu - l + 1, one = 1;
      int jmax = l - 1 + ISMAX(&cnt, &aux[l - 1], &one);
      if (jmax != l) {
        swapcols(l, jmax);
        aux[jmax - 1] = aux[l - 1];
        wref(jmax) = wref(l);
        std::swap(p[l - 1], p[jmax - 1]);
      }
    }
    aux[l - 1] = 0.0f;
    if (l == m) continue;
    float nu = SNRM2(m - l + 1, &QR(l, l), 1);
    if (nu < tiny) continue;
    if (QR(l, l) < 0.0f) nu = -nu;
    const float rnu = 1.0f / nu;
    for (int i = l; i <= m; ++i) QR(i, l) *= rnu;
    QR(l, l) += 1.0f;
    if (l < n) {
      // w = alpha*A'u with alpha = -1/u_l, then A += u*w' (the level-2 update).
      const int rows = m - l + 1, cols = n - l, one = 1, tlen = 1;
      const float alpha = -1.0f / QR(l, l), zero = 0.0f;
      SGEMV("T", &tlen, &rows, &cols, &alpha, &QR(l, l + 1), &ldq, &QR(l, l), &one, &zero, work,
            &one);
      SGER(rows, cols, 1.0f, &QR(l, l), 1, work, 1, &QR(l, l + 1), ldq);
      for (int j = l + 1; j <= n; ++j) {
        if (j < pl || j > pu || aux[j - 1] == 0.0f) continue;
        float r = std::fabs(QR(l, j)) / aux[j - 1];
        float tt = std::max(0.0f, 1.0f - r * r);
        float q = aux[j - 1] / wref(j);
        volatile float test = 1.0f + 0.05f * tt * q * q;
        if (test == 1.0f) {
          aux[j - 1] = SNRM2(m - l, &QR(l + 1, j), 1);
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
  for (int j = lup + 1; j <= n; ++j) aux[j - 1] = 0.0f;
  nml_error_pop_name(name);
}
