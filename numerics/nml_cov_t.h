// Covariance s*(R'R)^-1 from an upper-triangular factor and the triangular kernel behind
// it, in one design for both precisions. Zero diagonal elements stand for parameters
// dropped by a rank decision. K supplies Mach(i) and Trsv(trans, n, r, ldr, x) (an upper
// triangular solve with a general diagonal) of its precision.
#pragma once

#include <cmath>
#include <cstddef>

#include "numerics/nml_blas.h"
#include "numerics/nml_runtime.h"

namespace nml {

inline void SetOwn(int k, double v) { nml_error_set_double(k, v); }
inline void SetOwn(int k, float v) { nml_error_set_float(k, v); }

template <class T>
inline T& at(T* a, int ld, int i, int j) {
  return a[(std::size_t)(j - 1) * ld + (i - 1)];
}
template <class T>
inline const T& at(const T* a, int ld, int i, int j) {
  return a[(std::size_t)(j - 1) * ld + (i - 1)];
}

template <class T>
void CheckNonneg(T value, const char* name, int* count) {
  if (value < T(0)) {
    SetOwn(1, value);
    nml_error_set_string(1, name);
    nml_error_post(5, 11061);
  }
  ++*count;
}

template <class T>
void CheckTriangular(int n, const T* r, int ldr, int* count) {
  for (int i = 1; i <= n; ++i) {
    if (at(r, ldr, i, i) != T(0)) continue;
    for (int j = i + 1; j <= n; ++j) {
      if (at(r, ldr, i, j) != T(0)) {
        nml_error_set_int(1, i);
        nml_error_set_int(2, j);
        SetOwn(1, at(r, ldr, i, i));
        SetOwn(2, at(r, ldr, i, j));
        nml_error_post(5, 11060);
        ++*count;
        return;
      }
    }
  }
  ++*count;
}

template <class T>
T AbsDot(int n, const T* x, int incx, const T* y, int incy) {
  T s = 0;
  if (n <= 0) return s;
  int ix = incx < 0 ? (1 - n) * incx : 0;
  int iy = incy < 0 ? (1 - n) * incy : 0;
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) s += std::fabs(x[ix] * y[iy]);
  return s;
}

template <class T, class K>
void Girts(int n, const T* r, int ldr, int nb, const T* b, int tdb, int ipath, int* irank, T* x,
           int tdx, T* rinv, int tdrinv) {
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
  if (nml_error_type(0) == 0) CheckTriangular(n, r, ldr, &count);
  if (nml_error_type(0) != 0) {
    nml_error_pop_name(name);
    return;
  }

  int rank = 0;
  for (int i = 1; i <= n; ++i)
    if (at(r, ldr, i, i) != T(0)) ++rank;
  *irank = rank;
  if (nb >= 1 && x != b)
    for (int k = 1; k <= nb; ++k)
      for (int i = 1; i <= n; ++i) at(x, tdx, i, k) = at(b, tdb, i, k);

  const T eps = K::Mach(4);
  if (ipath == 1 || ipath == 3) {
    for (int k = 1; k <= nb; ++k) {
      T* xk = &at(x, tdx, 1, k);
      if (rank == n) {
        K::Trsv("N", n, r, ldr, xk);
        continue;
      }
      for (int i = n; i >= 1; --i) {
        if (at(r, ldr, i, i) == T(0)) {
          if (xk[i - 1] != T(0)) {
            nml_error_set_int(1, i);
            nml_error_set_int(2, k);
            SetOwn(1, xk[i - 1]);
            nml_error_post(3, 11058);
          }
          xk[i - 1] = T(0);
        } else {
          xk[i - 1] = xk[i - 1] / at(r, ldr, i, i);
          for (int l = 1; l < i; ++l) xk[l - 1] -= xk[i - 1] * at(r, ldr, l, i);
        }
      }
    }
  } else {
    for (int k = 1; k <= nb; ++k) {
      T* xk = &at(x, tdx, 1, k);
      if (rank == n) {
        K::Trsv("T", n, r, ldr, xk);
        continue;
      }
      for (int i = 1; i <= n; ++i) {
        const T* ri = &at(r, ldr, 1, i);
        T res = xk[i - 1] - blas::Dot(i - 1, ri, 1, xk, 1);
        if (at(r, ldr, i, i) == T(0)) {
          T scale = std::fabs(xk[i - 1]) + AbsDot(i - 1, ri, 1, xk, 1);
          if (std::fabs(res) > T(200) * eps * scale) {
            nml_error_set_int(1, i);
            nml_error_set_int(2, k);
            nml_error_post(3, 11059);
          }
          xk[i - 1] = T(0);
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
      T& djj = at(rinv, tdrinv, j, j);
      if (djj == T(0)) {
        for (int i = 1; i <= j; ++i) at(rinv, tdrinv, i, j) = T(0);
        for (int k = j + 1; k <= n; ++k) at(rinv, tdrinv, j, k) = T(0);
        continue;
      }
      djj = T(1) / djj;
      const T d = djj;
      for (int i = 1; i < j; ++i) at(rinv, tdrinv, i, j) *= -d;
      if (j < n) {
        // rank-1 update of the block above row j right of column j
        for (int k = j + 1; k <= n; ++k) {
          const T yk = at(rinv, tdrinv, j, k);
          if (yk != T(0))
            for (int i = 1; i < j; ++i) at(rinv, tdrinv, i, k) += yk * at(rinv, tdrinv, i, j);
        }
        for (int k = j + 1; k <= n; ++k) at(rinv, tdrinv, j, k) *= d;
      }
    }
    for (int j = 1; j < n; ++j)
      for (int i = j + 1; i <= n; ++i) at(rinv, tdrinv, i, j) = T(0);
  }
  nml_error_pop_name(name);
}

template <class T, class K>
void Rcovb(int n, const T* r, int ldr, T s, T* v, int cov_col_dim) {
  static const char* const name = "nml_rcovb";
  nml_error_push_name(name);
  int count = 1;
  nml_check_dim(1, n, "m", ldr, "ldr", &count);
  nml_check_dim(1, n, "*m", cov_col_dim, "cov_col_dim", &count);
  CheckNonneg(s, "s2", &count);
  if (nml_error_type(0) == 0) CheckTriangular(n, r, ldr, &count);
  int irank = 0;
  if (nml_error_type(0) == 0)
    Girts<T, K>(n, r, ldr, 0, nullptr, 1, 3, &irank, nullptr, 1, v, cov_col_dim);
  if (nml_error_type(0) != 0) {
    nml_error_pop_name(name);
    return;
  }
  const int ld = cov_col_dim;
  // Upper triangle of Rinv*Rinv' in place, column by column.
  for (int j = 1; j <= n; ++j) {
    if (at(v, ld, j, j) <= T(0)) {
      for (int i = 1; i <= j; ++i) at(v, ld, i, j) = T(0);
      continue;
    }
    for (int k = 1; k < j; ++k) {
      const T t = at(v, ld, k, j);
      for (int i = 1; i <= k; ++i) at(v, ld, i, k) += t * at(v, ld, i, j);
    }
    const T t = at(v, ld, j, j);
    for (int i = 1; i <= j; ++i) at(v, ld, i, j) *= t;
  }
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= j; ++i) at(v, ld, i, j) *= s;
  for (int j = 1; j < n; ++j)
    for (int i = j + 1; i <= n; ++i) at(v, ld, i, j) = at(v, ld, j, i);
  nml_error_pop_name(name);
}

}  // namespace nml
