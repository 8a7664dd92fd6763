// Covariance s*(R'R)^-1 from an upper-triangular factor, and the triangular kernel behind
// it. Zero diagonal elements stand for parameters dropped by a rank decision.
#include <cmath>

#include "numerics/nml_nlsq.h"
#include "numerics/nml_nlsq_internal.h"

namespace {
inline float& at(float* a, int ld, int i, int j) { return a[(size_t)(j - 1) * ld + (i - 1)]; }
inline float at(const float* a, int ld, int i, int j) { return a[(size_t)(j - 1) * ld + (i - 1)]; }
}  // namespace

void nml_f_check_nonneg(float value, const char* name, int* count) {
  if (value < 0.0f) {
    nml_error_set_float(1, value);
    nml_error_set_string(1, name);
    nml_error_post(5, 11061);
  }
  ++*count;
}

void l_check_zero_rows(int n, const float* r, int ldr, int* count) {
  for (int i = 1; i <= n; ++i) {
    if (at(r, ldr, i, i) != 0.0f) continue;
    for (int j = i + 1; j <= n; ++j) {
      if (at(r, ldr, i, j) != 0.0f) {
        nml_error_set_int(1, i);
        nml_error_set_int(2, j);
        nml_error_set_float(1, at(r, ldr, i, i));
        nml_error_set_float(2, at(r, ldr, i, j));
        nml_error_post(5, 11060);
        ++*count;
        return;
      }
    }
  }
  ++*count;
}

float l_abs_dot(int n, const float* x, int incx, const float* y, int incy) {
  float s = 0.0f;
  if (n <= 0) return s;
  int ix = incx < 0 ? (1 - n) * incx : 0;
  int iy = incy < 0 ? (1 - n) * incy : 0;
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) s += std::fabs(x[ix] * y[iy]);
  return s;
}

void l_girts(int n, float* r, int ldr, int nb, float* b, int tdb, int ipath, int* irank, float* x,
             int tdx, float* rinv, int tdrinv) {
  static const char* const name = "l_girts";
  nml_error_push_name(name);
  int count = 1;
  nml_check_dim(1, n, "n", ldr, "ldr", &count);
  nml_check_range(nb, "nb", 0, -1, &count);
  nml_check_range(ipath, "ipath", 1, 4, &count);
  if (nb >= 1) {
    nml_check_dim(1, nb, "*nb", tdb, "tdb", &count);
    nml_check_dim(1, nb, "*nb", tdx, "tdx", &count);
  } else {
    count += 6;
  }
  if (ipath == 3 || ipath == 4) nml_check_dim(1, n, "*n", tdrinv, "tdrinv", &count);
  if (nml_error_type(0) == 0) l_check_zero_rows(n, r, ldr, &count);
  if (nml_error_type(0) != 0) {
    nml_error_pop_name(name);
    return;
  }

  int rank = 0;
  for (int i = 1; i <= n; ++i)
    if (at(r, ldr, i, i) != 0.0f) ++rank;
  *irank = rank;
  if (nb >= 1 && x != b)
    for (int k = 1; k <= nb; ++k)
      for (int i = 1; i <= n; ++i) at(x, tdx, i, k) = at(b, tdb, i, k);

  const float eps = nml_amach(4);
  if (ipath == 1 || ipath == 3) {
    for (int k = 1; k <= nb; ++k) {
      float* xk = &at(x, tdx, 1, k);
      if (rank == n) {
        STRSV("U", "N", "N", n, r, ldr, xk, 1);
        continue;
      }
      for (int i = n; i >= 1; --i) {
        if (at(r, ldr, i, i) == 0.0f) {
          if (xk[i - 1] != 0.0f) {
            nml_error_set_int(1, i);
            nml_error_set_int(2, k);
            nml_error_set_float(1, xk[i - 1]);
            nml_error_post(3, 11058);
          }
          xk[i - 1] = 0.0f;
        } else {
          xk[i - 1] = xk[i - 1] / at(r, ldr, i, i);
          for (int l = 1; l < i; ++l) xk[l - 1] -= xk[i - 1] * at(r, ldr, l, i);
        }
      }
    }
  } else {
    for (int k = 1; k <= nb; ++k) {
      float* xk = &at(x, tdx, 1, k);
      if (rank == n) {
        STRSV("U", "T", "N", n, r, ldr, xk, 1);
        continue;
      }
      for (int i = 1; i <= n; ++i) {
        const float* ri = &at(r, ldr, 1, i);
        float res = xk[i - 1] - SDOT(i - 1, ri, 1, xk, 1);
        if (at(r, ldr, i, i) == 0.0f) {
          float scale = std::fabs(xk[i - 1]) + l_abs_dot(i - 1, ri, 1, xk, 1);
          if (std::fabs(res) > 200.0f * eps * scale) {
            nml_error_set_int(1, i);
            nml_error_set_int(2, k);
            nml_error_post(3, 11059);
          }
          xk[i - 1] = 0.0f;
        } else {
          xk[i - 1] = res / at(r, ldr, i, i);
        }
      }
    }
  }

  if (ipath == 3 || ipath == 4) {
    if (rinv != r)
      for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= j; ++i) at(rinv, tdrinv, i, j) = at(r, ldr, i, j);
    for (int j = 1; j <= n; ++j) {
      float& djj = at(rinv, tdrinv, j, j);
      if (djj == 0.0f) {
        for (int i = 1; i <= j; ++i) at(rinv, tdrinv, i, j) = 0.0f;
        for (int k = j + 1; k <= n; ++k) at(rinv, tdrinv, j, k) = 0.0f;
        continue;
      }
      djj = 1.0f / djj;
      const float d = djj;
      for (int i = 1; i < j; ++i) at(rinv, tdrinv, i, j) *= -d;
      if (j < n) {
        // rank-1 update of the block above row j right of column j
        for (int k = j + 1; k <= n; ++k) {
          const float yk = at(rinv, tdrinv, j, k);
          if (yk != 0.0f)
            for (int i = 1; i < j; ++i) at(rinv, tdrinv, i, k) += yk * at(rinv, tdrinv, i, j);
        }
        for (int k = j + 1; k <= n; ++k) at(rinv, tdrinv, j, k) *= d;
      }
    }
    for (int j = 1; j < n; ++j)
      for (int i = j + 1; i <= n; ++i) at(rinv, tdrinv, i, j) = 0.0f;
  }
  nml_error_pop_name(name);
}

void nml_rcovb(int n, float* r, int ldr, float s, float* v, int cov_col_dim) {
  static const char* const name = "nml_rcovb";
  nml_error_push_name(name);
  int count = 1;
  nml_check_dim(1, n, "m", ldr, "ldr", &count);
  nml_check_dim(1, n, "*m", cov_col_dim, "cov_col_dim", &count);
  nml_f_check_nonneg(s, "s2", &count);
  if (nml_error_type(0) == 0) l_check_zero_rows(n, r, ldr, &count);
  int irank = 0;
  if (nml_error_type(0) == 0)
    l_girts(n, r, ldr, 0, nullptr, 1, 3, &irank, nullptr, 1, v, cov_col_dim);
  if (nml_error_type(0) != 0) {
    nml_error_pop_name(name);
    return;
  }
  const int ld = cov_col_dim;
  // Upper triangle of Rinv*Rinv' in place, column by column.
  for (int j = 1; j <= n; ++j) {
    if (at(v, ld, j, j) <= 0.0f) {
      for (int i = 1; i <= j; ++i) at(v, ld, i, j) = 0.0f;
      continue;
    }
    for (int k = 1; k < j; ++k) {
      const float t = at(v, ld, k, j);
      for (int i = 1; i <= k; ++i) at(v, ld, i, k) += t * at(v, ld, i, j);
    }
    const float t = at(v, ld, j, j);
    for (int i = 1; i <= j; ++i) at(v, ld, i, j) *= t;
  }
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= j; ++i) at(v, ld, i, j) *= s;
  for (int j = 1; j < n; ++j)
    for (int i = j + 1; i <= n; ++i) at(v, ld, i, j) = at(v, ld, j, i);
  nml_error_pop_name(name);
}
