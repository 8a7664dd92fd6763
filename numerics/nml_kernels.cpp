// Single-precision vector and matrix kernels and the argument checks.
#include "numerics/nml_kernels.h"

#include <cctype>
#include <cmath>

#include "numerics/nml_blas.h"
#include "numerics/nml_runtime.h"

using nml::blas::Start;

float SDOT(int n, const float* x, int incx, const float* y, int incy) {
  return nml::blas::Dot(n, x, incx, y, incy);
}

float SNRM2(int n, const float* x, int /*incx*/) {
  const float small = nml_amach(1);
  const float big = nml_amach(2);
  const float eps = nml_amach(4);
  const float lo = std::sqrt(small / eps);
  const float sl = 1.0f / (lo * eps);
  const float hi = std::sqrt(big * eps);
  const float sh = (std::sqrt(small) / eps) / std::sqrt(big);
  float asum = 0.0f;
  for (int i = 0; i < n; ++i) asum += std::fabs(x[i]);
  float ss = 0.0f;
  if (asum < lo) {
    for (int i = 0; i < n; ++i) ss += (sl * x[i]) * (sl * x[i]);
    return std::sqrt(ss) / sl;
  }
  if (asum <= hi) {
    for (int i = 0; i < n; ++i) ss += x[i] * x[i];
    return std::sqrt(ss);
  }
  for (int i = 0; i < n; ++i) ss += (sh * x[i]) * (sh * x[i]);
  return std::sqrt(ss) / sh;
}

void SSCAL(int n, float a, float* x, int incx) {
  if (n <= 0 || incx <= 0) return;
  for (long i = 0; i < static_cast<long>(n) * incx; i += incx) x[i] *= a;
}

void SROTG(float* a, float* b, float* c, float* s) {
  if (std::fabs(*a) <= std::fabs(*b)) {
    if (*b == 0.0f) {
      *c = 1.0f;
      *s = 0.0f;
      *a = 0.0f;
      *b = 0.0f;
      return;
    }
    const float t = *a / (2.0f * *b);
    const float r = 2.0f * *b * std::sqrt(t * t + 0.25f);
    *a = r;
    *s = *b / r;
    *c = 2.0f * *s * t;
    *b = *c != 0.0f ? 1.0f / *c : 1.0f;
  } else {
    const float t = *b / (2.0f * *a);
    const float r = 2.0f * *a * std::sqrt(t * t + 0.25f);
    *c = *a / r;
    *s = 2.0f * *c * t;
    *b = *s;
    *a = r;
  }
}

void SROT(int n, float* x, int incx, float* y, int incy, float c, float s) {
  if (n <= 0) return;
  long ix = Start(n, incx), iy = Start(n, incy);
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) {
    const float xv = x[ix], yv = y[iy];
    x[ix] = c * xv + s * yv;
    y[iy] = c * yv - s * xv;
  }
}

void SGEMV(const char* trans, const int* /*translen*/, const int* m, const int* n,
           const float* alpha, const float* a, const int* lda, const float* x,
           const int* incx, const float* beta, float* y, const int* incy) {
  nml::blas::Gemv("SGEMV ", trans, *m, *n, *alpha, a, *lda, x, *incx, *beta, y, *incy);
}

void SGER(int m, int n, float alpha, const float* x, int incx, const float* y, int incy,
          float* a, int lda) {
  nml::blas::Ger("SGER", m, n, alpha, x, incx, y, incy, a, lda);
}

void STRSV(const char* uplo, const char* trans, const char* diag, int n, const float* a,
           int lda, float* x, int incx) {
  if (n == 0) return;
  const bool upper = uplo[0] == 'U' || uplo[0] == 'u';
  const bool transposed = trans[0] == 'T' || trans[0] == 't' || trans[0] == 'C' || trans[0] == 'c';
  const bool nonunit = diag[0] == 'N' || diag[0] == 'n';
  const long ld = lda;
  auto A = [&](int i, int j) -> float { return a[(j - 1) * ld + (i - 1)]; };
  const long kx = Start(n, incx);
  auto X = [&](int i) -> float& { return x[kx + static_cast<long>(i - 1) * incx]; };
  // Each sum runs over ascending j, the order of a dot product with positive increments.
  if (upper && !transposed) {
    for (int i = n; i >= 1; --i) {
      float sum = 0.0f;
      for (int j = i + 1; j <= n; ++j) sum += A(i, j) * X(j);
      float v = X(i) - sum;
      if (nonunit) v /= A(i, i);
      X(i) = v;
    }
  } else if (upper && transposed) {
    for (int i = 1; i <= n; ++i) {
      float sum = 0.0f;
      for (int j = 1; j < i; ++j) sum += A(j, i) * X(j);
      float v = X(i) - sum;
      if (nonunit) v /= A(i, i);
      X(i) = v;
    }
  } else if (!upper && !transposed) {
    for (int i = 1; i <= n; ++i) {
      float sum = 0.0f;
      for (int j = 1; j < i; ++j) sum += A(i, j) * X(j);
      float v = X(i) - sum;
      if (nonunit) v /= A(i, i);
      X(i) = v;
    }
  } else {
    for (int i = n; i >= 1; --i) {
      float sum = 0.0f;
      for (int j = i + 1; j <= n; ++j) sum += A(j, i) * X(j);
      float v = X(i) - sum;
      if (nonunit) v /= A(i, i);
      X(i) = v;
    }
  }
}

int ISMAX(const int* n, const float* x, const int* incx) {
  if (*n < 1) return 0;
  if (*n == 1) return 1;
  int best = 1;
  float big = x[0];
  long ix = *incx;
  for (int i = 2; i <= *n; ++i, ix += *incx) {
    if (x[ix] > big) {
      big = x[ix];
      best = i;
    }
  }
  return best;
}

float nml_f_powi(float x, int k) {
  float base = k < 0 ? 1.0f / x : x;
  unsigned m = k < 0 ? 0u - static_cast<unsigned>(k) : static_cast<unsigned>(k);
  switch (m) {
    case 0: return 1.0f;
    case 1: return base;
    case 2: return base * base;
    case 3: return base * base * base;
    case 4: return base * base * base * base;
    case 5: return base * base * base * base * base;
    case 6: {
      const float b2 = base * base;
      return b2 * b2 * b2;
    }
    default: break;
  }
  float result = 1.0f;
  while (m) {
    if (m & 1u) result *= base;
    m >>= 1;
    if (m) base *= base;
  }
  return result;
}

int nml_i_min(int a, int b) { return a < b ? a : b; }

bool nml_lsame(const char* a, int, const char* b, int) {
  return std::tolower(static_cast<unsigned char>(a[0])) ==
         std::tolower(static_cast<unsigned char>(b[0]));
}

void nml_csfrg(const int* n, float* a, const int* lda) {
  nml_error_push_name("nml_csfrg");
  if (*n < 1) {
    nml_error_set_int(1, *n);
    nml_error_post(NML_TERMINAL, 2025);
  } else if (*lda < *n) {
    nml_error_set_int(1, *n);
    nml_error_set_int(2, *lda);
    nml_error_post(NML_TERMINAL, 2026);
  }
  if (nml_error_code(0) == 0) {
    const long ld = *lda;
    for (int j = 1; j < *n; ++j)
      for (int i = j + 1; i <= *n; ++i) a[(j - 1) * ld + (i - 1)] = a[(i - 1) * ld + (j - 1)];
  }
  nml_error_pop_name("nml_csfrg");
}

void nml_check_le(int v, const char* namev, int w, const char* namew, int* count) {
  if (v > w) {
    nml_error_set_int(1, v);
    nml_error_set_int(2, w);
    nml_error_set_string(1, namev);
    nml_error_set_string(2, namew);
    nml_error_post(NML_TERMINAL, 601);
  }
  *count += 1;
}

void nml_check_range(int v, const char* name, int lo, int hi, int* count) {
  if (hi < lo) {
    if (v < lo) {
      nml_error_set_int(1, v);
      nml_error_set_int(2, lo);
      nml_error_set_string(1, name);
      nml_error_post(NML_TERMINAL, 603);
    }
  } else if (v < lo || v > hi) {
    nml_error_set_int(1, v);
    nml_error_set_int(2, lo);
    nml_error_set_int(3, hi);
    nml_error_set_string(1, name);
    nml_error_post(NML_TERMINAL, 602);
  }
  *count += 1;
}

void nml_check_dim(int lo, int v, const char* namev, int w, const char* namew, int* count) {
  if (namev[0] == '*') {
    *count += 1;
    nml_check_range(w, namew, 1, -1, count);
    if (w >= 1) {
      nml_check_le(v, namev + 1, w, namew, count);
    } else {
      *count += 1;
    }
    return;
  }
  nml_check_range(v, namev, lo, -1, count);
  nml_check_range(w, namew, 1, -1, count);
  if (w >= 1) {
    nml_check_le(v, namev, w, namew, count);
  } else {
    *count += 1;
  }
}
