// The vector and matrix kernels in one design for both precisions. The named kernels of the
// library (SDOT, DDOT, SGEMV, DGEMV, ...) are thin wrappers over these templates, so the
// float and double forms cannot drift apart.
//
// Vectors follow the classic conventions: n entries with increment inc; a negative increment
// walks the vector from its far end (entry 1 at offset (n-1)*|inc|). Matrices are
// column-ordered with a leading dimension.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstring>

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace nml::blas {

// Offset of entry 1 of a vector of n entries with increment inc.
inline long Start(int n, int inc) { return inc < 0 ? static_cast<long>(1 - n) * inc : 0; }

// Pushes a kernel's name only to post an argument error (terminal), then pops it. The
// message arguments are set by the caller before.
inline void PostKernelError(const char* name, int code) {
  nml_error_push_name(name);
  nml_error_post(NML_TERMINAL, code);
  nml_error_pop_name(name);
}

// Sum of x(i)*y(i), accumulated in T.
template <class T>
T Dot(int n, const T* x, int incx, const T* y, int incy) {
  T sum = 0;
  if (n <= 0) return sum;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) sum += x[i] * y[i];
    return sum;
  }
  long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) sum += x[ix] * y[iy];
  return sum;
}

template <class T>
void Copy(int n, const T* x, int incx, T* y, int incy) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1) {
    std::memmove(y, x, static_cast<std::size_t>(n) * sizeof(T));
    return;
  }
  long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] = x[ix];
}

template <class T>
void Axpy(int n, T a, const T* x, int incx, T* y, int incy) {
  if (n <= 0 || a == T(0)) return;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) y[i] += a * x[i];
    return;
  }
  long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] += a * x[ix];
}

template <class T>
void Swap(int n, T* x, int incx, T* y, int incy) {
  if (n <= 0) return;
  long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) {
    const T t = x[ix];
    x[ix] = y[iy];
    y[iy] = t;
  }
}

// Sum of |x(i)| for a positive increment (every caller passes one); 0 otherwise.
template <class T>
T Asum(int n, const T* x, int incx) {
  T sum = 0;
  if (n <= 0 || incx <= 0) return sum;
  if (incx == 1) {
    for (int i = 0; i < n; ++i) sum += std::fabs(x[i]);
    return sum;
  }
  const long end = static_cast<long>(n) * incx;
  for (long i = 0; i < end; i += incx) sum += std::fabs(x[i]);
  return sum;
}

// 1-based position of the first entry of largest magnitude (a strictly larger value
// replaces the choice); 0 for n < 1, 1 for n = 1.
template <class T>
int Iamax(int n, const T* x, int incx) {
  if (n < 1) return 0;
  if (n == 1 || incx <= 0) return 1;
  int best = 1;
  T big = std::fabs(x[0]);
  long ix = incx;
  for (int i = 2; i <= n; ++i, ix += incx) {
    if (std::fabs(x[ix]) > big) {
      big = std::fabs(x[ix]);
      best = i;
    }
  }
  return best;
}

// The argument tests shared by the matrix-vector product and the rank-one update, first
// failure only; false after posting.
inline bool MatrixVectorArgsOk(const char* name, int m, int n, int lda, int incx, int incy) {
  auto fail = [name](int code, int v1, int v2 = 0, bool two = false) {
    nml_error_set_int(1, v1);
    if (two) nml_error_set_int(2, v2);
    PostKernelError(name, code);
    return false;
  };
  if (m < 0) return fail(2033, m);
  if (n < 0) return fail(2014, n);
  if (lda < m || lda == 0) return fail(1020, lda, m, true);
  if (incx == 0) return fail(2015, incx);
  if (incy == 0) return fail(2016, incy);
  return true;
}

// y = alpha*op(A)*x + beta*y with the argument tests of the matrix-vector kernel; `name` is
// the name its errors are posted under.
template <class T>
void Gemv(const char* name, const char* trans, int m, int n, T alpha, const T* a, int lda,
          const T* x, int incx, T beta, T* y, int incy) {
  if (!MatrixVectorArgsOk(name, m, n, lda, incx, incy)) return;
  const bool notrans = nml_lsame(trans, 1, "N", 1);
  if (!notrans && !nml_lsame(trans, 1, "T", 1) && !nml_lsame(trans, 1, "C", 1)) {
    nml_error_set_string(1, trans);
    return PostKernelError(name, 1019);
  }
  if (m == 0 || n == 0 || (alpha == T(0) && beta == T(1))) return;
  const int lenx = notrans ? n : m;
  const int leny = notrans ? m : n;
  const long ky = Start(leny, incy);
  if (beta != T(1)) {
    long iy = ky;
    for (int i = 0; i < leny; ++i, iy += incy) y[iy] = beta == T(0) ? T(0) : beta * y[iy];
  }
  if (alpha == T(0)) return;
  const long ld = lda;
  if (notrans) {
    long jx = Start(lenx, incx);
    for (int j = 0; j < n; ++j, jx += incx) {
      const T temp = alpha * x[jx];
      long iy = ky;
      for (int i = 0; i < m; ++i, iy += incy) y[iy] += temp * a[j * ld + i];
    }
  } else {
    long jy = ky;
    for (int j = 0; j < n; ++j, jy += incy) y[jy] += alpha * Dot(m, a + j * ld, 1, x, incx);
  }
}

// A = alpha*x*y^T + A with the argument tests of the rank-one update.
template <class T>
void Ger(const char* name, int m, int n, T alpha, const T* x, int incx, const T* y, int incy, T* a,
         int lda) {
  if (!MatrixVectorArgsOk(name, m, n, lda, incx, incy)) return;
  if (m == 0 || n == 0 || alpha == T(0)) return;
  long jy = Start(n, incy);
  const long kx = Start(m, incx);
  for (int j = 0; j < n; ++j, jy += incy) {
    const T temp = alpha * y[jy];
    long ix = kx;
    T* col = a + static_cast<long>(j) * lda;
    for (int i = 0; i < m; ++i, ix += incx) col[i] += temp * x[ix];
  }
}

// b = a for an n by n matrix between leading dimensions; a and b may be one array (a wider
// b is filled from its last column backwards, so nothing is overwritten before it is read).
template <class T>
void Crgrg(int n, const T* a, int lda, T* b, int ldb) {
  const char* name = "CRGRG";
  if (n < 1) {
    nml_error_set_int(1, n);
    return PostKernelError(name, 604);
  }
  if (lda < n) {
    nml_error_set_int(1, lda);
    nml_error_set_int(2, n);
    return PostKernelError(name, 605);
  }
  if (ldb < n) {
    nml_error_set_int(1, ldb);
    nml_error_set_int(2, n);
    return PostKernelError(name, 606);
  }
  if (lda == n && ldb == n) {
    Copy(n * n, a, 1, b, 1);
  } else if (lda < ldb) {
    for (int j = n - 1; j >= 0; --j)
      Copy(n, a + static_cast<long>(j) * lda, -1, b + static_cast<long>(j) * ldb, -1);
  } else {
    for (int j = 0; j < n; ++j)
      Copy(n, a + static_cast<long>(j) * lda, 1, b + static_cast<long>(j) * ldb, 1);
  }
}

}  // namespace nml::blas
