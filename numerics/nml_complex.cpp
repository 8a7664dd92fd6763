// Single-precision complex arithmetic and the complex and real vector kernels.
#include <cmath>
#include <cstring>

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

nml_f_complex nml_c_make(float re, float im) { return {re, im}; }
nml_f_complex nml_c_narrow(double re, double im) {
  return {static_cast<float>(re), static_cast<float>(im)};
}
float nml_c_real(nml_f_complex z) { return z.re; }
float nml_c_imag(nml_f_complex z) { return z.im; }
nml_f_complex nml_c_conj(nml_f_complex z) { return {z.re, -z.im}; }
int nml_c_eq(nml_f_complex a, nml_f_complex b) { return a.re == b.re && a.im == b.im ? 1 : 0; }

nml_f_complex nml_c_mul(nml_f_complex a, nml_f_complex b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

nml_f_complex nml_c_div(nml_f_complex a, nml_f_complex b) {
  if (b.re == 0.0f && b.im == 0.0f) {
    nml_error_push_name("nml_c_div");
    nml_error_post(NML_TERMINAL, 607);
    nml_error_pop_name("nml_c_div");
    const float nan = nml_amach(6);
    return {nan, nan};
  }
  if (std::fabs(b.im) >= std::fabs(b.re)) {
    const float r = b.re / b.im;
    const float d = b.re * r + b.im;
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
  }
  const float r = b.im / b.re;
  const float d = b.im * r + b.re;
  return {(a.im * r + a.re) / d, (a.im - a.re * r) / d};
}

float nml_c_abs(nml_f_complex z) {
  return static_cast<float>(std::hypot(static_cast<double>(z.re), static_cast<double>(z.im)));
}

float nml_c_arg(nml_f_complex z) {
  if (z.re == 0.0f && z.im == 0.0f) return 0.0f;
  return static_cast<float>(std::atan2(static_cast<double>(z.im), static_cast<double>(z.re)));
}

namespace {

struct HalfAngle {
  float c, s;
};

// cos and sin of half the angle whose tangent is v/u.
HalfAngle l_c_sqrt_half_angle(float u, float v) {
  const float threshold = std::sqrt(nml_amach(4)) / std::pow(10.0f, nml_amach(5));
  const float t = v / u;
  if (std::fabs(t) <= threshold) return {1.0f, t / 2.0f};
  const float w = 1.0f / t;
  const float g = w + std::copysign(std::sqrt(w * w + 1.0f), w);
  const float h = 1.0f / g;
  const float c = 1.0f / std::sqrt(h * h + 1.0f);
  return {c, c * h};
}

}  // namespace

nml_f_complex nml_c_sqrt(nml_f_complex z) {
  const float r = nml_c_abs(z);
  if (r == 0.0f) return z;
  if (std::fabs(z.im) <= std::fabs(z.re)) {
    if (z.re >= 0.0f) {
      const HalfAngle h = l_c_sqrt_half_angle(z.re, z.im);
      const float q = std::sqrt(r);
      return {q * h.c, q * h.s};
    }
    const HalfAngle h = l_c_sqrt_half_angle(-z.re, -z.im);
    const float q = std::sqrt(r);
    if (z.im >= 0.0f) return {-q * h.s, q * h.c};
    return {q * h.s, -q * h.c};
  }
  const float q = std::sqrt(r / 2.0f);
  if (z.im < 0.0f) {
    const HalfAngle h = l_c_sqrt_half_angle(-z.im, z.re);
    return {(h.c + h.s) * q, (h.s - h.c) * q};
  }
  const HalfAngle h = l_c_sqrt_half_angle(z.im, -z.re);
  return {(h.c - h.s) * q, (h.c + h.s) * q};
}

nml_f_complex nml_c_exp(nml_f_complex z) {
  const float e = z.re == 0.0f ? 1.0f : std::exp(z.re);
  if (z.im != 0.0f) return {e * std::cos(z.im), e * std::sin(z.im)};
  return {e, z.im};
}

nml_f_complex nml_c_log(nml_f_complex z) { return {std::log(nml_c_abs(z)), nml_c_arg(z)}; }

nml_f_complex nml_c_sin(nml_f_complex z) {
  return {std::sin(z.re) * std::cosh(z.im), std::cos(z.re) * std::sinh(z.im)};
}

nml_f_complex nml_c_cos(nml_f_complex z) {
  return {std::cos(z.re) * std::cosh(z.im), -std::sin(z.re) * std::sinh(z.im)};
}

// ---------------------------------------------------------------------------------------

void SCOPY(int n, const float* x, int incx, float* y, int incy) {
  if (n <= 0) return;
  if (incx == 1 && incy == 1) {
    std::memmove(y, x, static_cast<std::size_t>(n) * sizeof(float));
    return;
  }
  long ix = incx < 0 ? static_cast<long>(1 - n) * incx : 0;
  long iy = incy < 0 ? static_cast<long>(1 - n) * incy : 0;
  for (int i = 0; i < n; ++i, ix += incx, iy += incy) y[iy] = x[ix];
}

void CSWAP(const int* n, nml_f_complex* x, const int* incx, nml_f_complex* y, const int* incy) {
  if (*n <= 0) return;
  long ix = *incx < 0 ? static_cast<long>(1 - *n) * *incx : 0;
  long iy = *incy < 0 ? static_cast<long>(1 - *n) * *incy : 0;
  for (int i = 0; i < *n; ++i, ix += *incx, iy += *incy) {
    const nml_f_complex t = x[ix];
    x[ix] = y[iy];
    y[iy] = t;
  }
}

void CSCAL(const int* n, const nml_f_complex* a, nml_f_complex* x, const int* incx) {
  if (*n <= 0) return;
  if (*incx == 1) {
    for (int i = 0; i < *n; ++i) {
      const float re = a->re * x[i].re - a->im * x[i].im;
      x[i].im = a->re * x[i].im + a->im * x[i].re;
      x[i].re = re;
    }
    return;
  }
  const long last = static_cast<long>(*n) * *incx;
  for (long i = 1; i <= last; i += *incx) x[i - 1] = nml_c_mul(*a, x[i - 1]);
}

void CSSCAL(const int* n, const float* a, nml_f_complex* x, const int* incx) {
  if (*n <= 0) return;
  if (*incx == 1) {
    for (int i = 0; i < *n; ++i) {
      x[i].re *= *a;
      x[i].im *= *a;
    }
    return;
  }
  const long last = static_cast<long>(*n) * *incx;
  for (long i = 1; i <= last; i += *incx) {
    x[i - 1].re *= *a;
    x[i - 1].im *= *a;
  }
}

float SCNRM2(const int* n, const nml_f_complex* x, const int*) {
  float sum = 0.0f;
  for (int i = 0; i < *n; ++i) sum += x[i].re * x[i].re + x[i].im * x[i].im;
  return std::sqrt(sum);
}

int ISAMAX(int n, const float* x, int incx) {
  if (n < 1) return 0;
  if (n == 1) return 1;
  int best = 1;
  float big = std::fabs(x[0]);
  if (incx == 1) {
    for (int i = 2; i <= n; ++i) {
      if (std::fabs(x[i - 1]) > big) {
        big = std::fabs(x[i - 1]);
        best = i;
      }
    }
    return best;
  }
  const long last = static_cast<long>(n) * incx;
  int visited = 1;
  for (long i = 1 + incx; i <= last; i += incx) {
    ++visited;
    if (std::fabs(x[i - 1]) > big) {
      big = std::fabs(x[i - 1]);
      best = visited;
    }
  }
  return best;
}

void CRGRG(int n, const float* a, int lda, float* b, int ldb) {
  nml_error_push_name("CRGRG");
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 604);
  } else if (lda < n) {
    nml_error_set_int(1, lda);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 605);
  } else if (ldb < n) {
    nml_error_set_int(1, ldb);
    nml_error_set_int(2, n);
    nml_error_post(NML_TERMINAL, 606);
  } else if (lda == n && ldb == n) {
    SCOPY(n * n, a, 1, b, 1);
  } else if (lda < ldb) {
    // Widening in place: the last column first, each from its last element down.
    for (int j = n - 1; j >= 0; --j)
      SCOPY(n, a + static_cast<long>(j) * lda, -1, b + static_cast<long>(j) * ldb, -1);
  } else {
    for (int j = 0; j < n; ++j)
      SCOPY(n, a + static_cast<long>(j) * lda, 1, b + static_cast<long>(j) * ldb, 1);
  }
  nml_error_pop_name("CRGRG");
}
