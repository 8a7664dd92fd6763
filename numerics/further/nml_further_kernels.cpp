// Double-precision kernels, band triangular solves, rotations and the small shared routines.
#include "numerics/further/nml_further_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>

#include "numerics/nml_blas.h"
#include "numerics/nml_runtime.h"

using nml::blas::PostKernelError;
using nml::blas::Start;

namespace {

// Entry e (1-based) of a vector of n entries with increment inc, and the base pointer of its
// sub-vector p..q as the kernels expect it (the entry at the lowest address).
struct Strided {
  long first;
  int inc;
  Strided(int n, int inc_) : first(Start(n, inc_)), inc(inc_) {}
  long At(int e) const { return first + static_cast<long>(e - 1) * inc; }
  long Sub(int p, int q) const { return inc > 0 ? At(p) : At(q); }
};

// Largest or smallest of n ints from a variable list, in the public-routine frame.
template <class Better>
int ExtremeInt(const char* name, int n, va_list ap, Better better) {
  int result = 0;
  nml_public(name, [&] {
    if (n < 1) return;
    result = va_arg(ap, int);
    for (int i = 1; i < n; ++i) {
      const int v = va_arg(ap, int);
      if (better(v, result)) result = v;
    }
  });
  return result;
}

template <class T>
void Tbsv(const char* uplo, const char* trans, const char* diag, int n, int k, const T* a, int lda,
          T* x, int incx) {
  const char* name = "STBSV ";
  if (n < 0) {
    nml_error_set_int(1, n);
    return PostKernelError(name, 2014);
  }
  if (k < 0 && n > 0) {
    nml_error_set_int(1, k);
    return PostKernelError(name, 1059);
  }
  if (lda < k + 1) {
    nml_error_set_int(1, lda);
    nml_error_set_int(2, k);
    return PostKernelError(name, 1060);
  }
  if (incx == 0) {
    nml_error_set_int(1, incx);
    return PostKernelError(name, 2015);
  }
  const bool notrans = nml_lsame(trans, 1, "N", 1);
  if (!notrans && !nml_lsame(trans, 1, "T", 1) && !nml_lsame(trans, 1, "C", 1)) {
    nml_error_set_string(1, trans);
    return PostKernelError(name, 1019);
  }
  const bool upper = nml_lsame(uplo, 1, "U", 1);
  if (!upper && !nml_lsame(uplo, 1, "L", 1)) {
    nml_error_set_string(1, uplo);
    return PostKernelError(name, 2017);
  }
  const bool nonunit = nml_lsame(diag, 1, "N", 1);
  if (!nonunit && !nml_lsame(diag, 1, "U", 1)) {
    nml_error_set_string(1, diag);
    return PostKernelError(name, 2040);
  }
  if (n == 0) return;
  const Strided v(n, incx);
  const long ld = lda;
  // Band element in band row r (1-based) of column j.
  auto band = [&](int r, int j) -> const T* { return a + (r - 1) + (j - 1) * ld; };
  if (notrans) {
    if (upper) {
      for (int j = n; j >= 1; --j) {
        T& xj = x[v.At(j)];
        if (xj == T(0)) continue;
        if (nonunit) xj /= *band(k + 1, j);
        const int l = std::min(k, j - 1);
        if (l > 0) nml::blas::Axpy(l, -xj, band(k + 1 - l, j), 1, x + v.Sub(j - l, j - 1), incx);
      }
    } else {
      for (int j = 1; j <= n; ++j) {
        T& xj = x[v.At(j)];
        if (xj == T(0)) continue;
        if (nonunit) xj /= *band(1, j);
        const int l = std::min(k, n - j);
        if (l > 0) nml::blas::Axpy(l, -xj, band(2, j), 1, x + v.Sub(j + 1, j + l), incx);
      }
    }
    return;
  }
  // Transposed: dot products from the band entry farthest from the diagonal inwards.
  if (upper) {
    for (int j = 1; j <= n; ++j) {
      const int l = std::min(k, j - 1);
      T& xj = x[v.At(j)];
      xj -= nml::blas::Dot(l, band(k + 1 - l, j), 1, x + v.Sub(j - l, j - 1), incx);
      if (nonunit) xj /= *band(k + 1, j);
    }
  } else {
    for (int j = n; j >= 1; --j) {
      const int l = std::min(k, n - j);
      T& xj = x[v.At(j)];
      if (l > 0) xj -= nml::blas::Dot(l, band(2, j), -1, x + v.Sub(j + 1, j + l), -incx);
      if (nonunit) xj /= *band(1, j);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------

int nml_i_max(int a, int b) { return a > b ? a : b; }

int nml_i_vmax(int n, ...) {
  va_list ap;
  va_start(ap, n);
  const int r = ExtremeInt("nml_i_vmax", n, ap, [](int v, int best) { return v > best; });
  va_end(ap);
  return r;
}

int nml_i_vmin(int n, ...) {
  va_list ap;
  va_start(ap, n);
  const int r = ExtremeInt("nml_i_vmin", n, ap, [](int v, int best) { return v < best; });
  va_end(ap);
  return r;
}

void nml_check_index(int lo, int value, const char* name, int upper, const char* upper_name,
                     int* count) {
  nml_check_range(value, name, lo, -1, count);
  if (upper < 1) {
    ++*count;
  } else {
    nml_check_le(value, name, upper, upper_name, count);
  }
}

void nml_check_order(const char* name, const int* order, const int* ncoef) {
  if (*order < 1) {
    nml_error_set_int(1, *order);
    nml_error_set_string(1, name);
    nml_error_post(NML_TERMINAL, 3009);
  } else if (*ncoef < *order) {
    nml_error_set_int(1, *ncoef);
    nml_error_set_int(2, *order);
    nml_error_set_string(1, name);
    nml_error_post(NML_TERMINAL, 3010);
  }
}

// ---------------------------------------------------------------------------------------

double DDOT(int n, const double* x, int incx, const double* y, int incy) {
  return nml::blas::Dot(n, x, incx, y, incy);
}
double DASUM(int n, const double* x, int incx) { return nml::blas::Asum(n, x, incx); }
float SASUM(int n, const float* x, int incx) { return nml::blas::Asum(n, x, incx); }
void SAXPY(int n, float a, const float* x, int incx, float* y, int incy) {
  nml::blas::Axpy(n, a, x, incx, y, incy);
}
void DAXPY(int n, double a, const double* x, int incx, double* y, int incy) {
  nml::blas::Axpy(n, a, x, incx, y, incy);
}
void DCOPY(int n, const double* x, int incx, double* y, int incy) {
  nml::blas::Copy(n, x, incx, y, incy);
}
void DSWAP(int n, double* x, int incx, double* y, int incy) {
  nml::blas::Swap(n, x, incx, y, incy);
}
int IDAMAX(int n, const double* x, int incx) { return nml::blas::Iamax(n, x, incx); }

void DTRSV(const char* uplo, const char* trans, const char* diag, int n, const double* a, int lda,
           double* x, int incx) {
  if (n <= 0) return;
  const bool upper = nml_lsame(uplo, 1, "U", 1);
  const bool transposed = nml_lsame(trans, 1, "T", 1) || nml_lsame(trans, 1, "C", 1);
  const bool nonunit = nml_lsame(diag, 1, "N", 1);
  const Strided v(n, incx);
  const long ld = lda;
  auto at = [&](int i, int j) -> const double* { return a + (i - 1) + (j - 1) * ld; };
  auto solve = [&](int i, int len, const double* row, int rowStep, int p, int q) {
    double& xi = x[v.At(i)];
    if (len > 0) xi -= DDOT(len, row, rowStep, x + v.Sub(p, q), incx);
    if (nonunit) xi /= *at(i, i);
  };
  if (upper && !transposed) {
    for (int i = n; i >= 1; --i) solve(i, n - i, i < n ? at(i, i + 1) : nullptr, lda, i + 1, n);
  } else if (upper) {
    for (int i = 1; i <= n; ++i) solve(i, i - 1, at(1, i), 1, 1, i - 1);
  } else if (!transposed) {
    for (int i = 1; i <= n; ++i) solve(i, i - 1, at(i, 1), lda, 1, i - 1);
  } else {
    for (int i = n; i >= 1; --i) solve(i, n - i, i < n ? at(i + 1, i) : nullptr, 1, i + 1, n);
  }
}

void DGEMV(const char* trans, int /*trans_len*/, const int* m, const int* n, const double* alpha,
           const double* a, const int* lda, const double* x, const int* incx, const double* beta,
           double* y, const int* incy) {
  nml::blas::Gemv("DGEMV ", trans, *m, *n, *alpha, a, *lda, x, *incx, *beta, y, *incy);
}

void DGER(int m, int n, double alpha, const double* x, int incx, const double* y, int incy,
          double* a, int lda) {
  nml::blas::Ger("SGER", m, n, alpha, x, incx, y, incy, a, lda);
}

void STBSV(const char* uplo, const char* trans, const char* diag, const int* n, const int* k,
           const float* a, const int* lda, float* x, const int* incx) {
  Tbsv(uplo, trans, diag, *n, *k, a, *lda, x, *incx);
}

void DTBSV(const char* uplo, const char* trans, const char* diag, const int* n, const int* k,
           const double* a, const int* lda, double* x, const int* incx) {
  Tbsv(uplo, trans, diag, *n, *k, a, *lda, x, *incx);
}

void CRGRG(int n, const double* a, int lda, double* b, int ldb) {
  nml::blas::Crgrg(n, a, lda, b, ldb);
}

// ---------------------------------------------------------------------------------------

void DROT(int n, double* x, int incx, double* y, int incy, double c, double s) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) {
      const double t = c * x[i] + s * y[i];
      y[i] = c * y[i] - s * x[i];
      x[i] = t;
    }
    return;
  }
  long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) {
    const double t = c * x[ix] + s * y[iy];
    y[iy] = c * y[iy] - s * x[ix];
    x[ix] = t;
  }
}

void DROTG(double* a, double* b, double* c, double* s) {
  if (std::fabs(*a) > std::fabs(*b)) {
    const double u = 2.0 * *a;
    const double v = *b / u;
    const double r = u * std::sqrt(v * v + 0.25);
    *c = *a / r;
    *s = 2.0 * *c * v;
    *b = *s;
    *a = r;
  } else if (*b == 0.0) {
    *c = 1.0;
    *s = 0.0;
    *a = 0.0;
    *b = 0.0;
  } else {
    const double u = 2.0 * *b;
    const double v = *a / u;
    const double r = u * std::sqrt(v * v + 0.25);
    *a = r;
    *s = *b / r;
    *c = 2.0 * *s * v;
    *b = *c != 0.0 ? 1.0 / *c : 1.0;
  }
}

double nml_d_norm2(int n, const double* x) {
  if (n <= 0) return 0.0;
  const double tiny = nml_dmach(1), huge = nml_dmach(2), eps = nml_dmach(4);
  const double small = std::sqrt(tiny / eps);
  const double big = std::sqrt(huge * eps);
  double asum = 0.0;
  for (int i = 0; i < n; ++i) asum += std::fabs(x[i]);
  auto scaled = [&](double f) {
    double ss = 0.0;
    for (int i = 0; i < n; ++i) ss += (f * x[i]) * (f * x[i]);
    return std::sqrt(ss) / f;
  };
  if (asum < small) return scaled(1.0 / (small * eps));
  if (asum > big) return scaled(std::sqrt(tiny) / (eps * std::sqrt(huge)));
  return scaled(1.0);
}

void nml_d_scaled_copy(int n, double a, const double* x, int incx, double* y, int incy) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1) {
    for (int i = 0; i < n; ++i) y[i] = a * x[i];
    return;
  }
  for (long i = 0; i < n; ++i) y[i * incy] = a * x[i * incx];
}

void nml_dcsfrg(const int* n, double* a, const int* lda) {
  nml::NameScope scope("nml_dcsfrg");
  if (*n < 1) {
    nml_error_set_int(1, *n);
    nml_error_post(NML_TERMINAL, 2025);
    return;
  }
  if (*n > *lda) {
    nml_error_set_int(1, *n);
    nml_error_set_int(2, *lda);
    nml_error_post(NML_TERMINAL, 2026);
    return;
  }
  const long ld = *lda;
  for (int j = 0; j < *n - 1; ++j)
    for (int i = j + 1; i < *n; ++i) a[i + j * ld] = a[j + i * ld];
}
