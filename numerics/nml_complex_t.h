// Complex arithmetic in one design for the float and the double complex types.
#pragma once

#include <cmath>

#include "numerics/nml_kernels.h"
#include "numerics/nml_runtime.h"

namespace nml {

template <class C>
struct ComplexTraits;
template <>
struct ComplexTraits<nml_f_complex> {
  using Real = float;
  static float Mach(int i) { return nml_amach(i); }
};
template <>
struct ComplexTraits<nml_d_complex> {
  using Real = double;
  static double Mach(int i) { return nml_dmach(i); }
};

// a/b by Smith's scaled quotient; a zero divisor posts TERMINAL 607 under the division's
// name and gives NaNs.
template <class C>
C ComplexDiv(C a, C b) {
  using R = typename ComplexTraits<C>::Real;
  if (b.re == R(0) && b.im == R(0)) {
    nml_error_push_name("nml_c_div");
    nml_error_post(NML_TERMINAL, 607);
    nml_error_pop_name("nml_c_div");
    const R nan = ComplexTraits<C>::Mach(6);
    return {nan, nan};
  }
  if (std::fabs(b.re) <= std::fabs(b.im)) {
    const R r = b.re / b.im;
    const R d = b.re * r + b.im;
    return {(a.re * r + a.im) / d, (a.im * r - a.re) / d};
  }
  const R r = b.im / b.re;
  const R d = b.im * r + b.re;
  return {(a.im * r + a.re) / d, (a.im - a.re * r) / d};
}

// cos and sin of half the angle whose tangent is v/u (u > 0).
template <class R>
void ComplexHalfAngle(R u, R v, R threshold, R* c, R* s) {
  const R t = v / u;
  if (std::fabs(t) <= threshold) {
    *c = 1;
    *s = t / 2;
    return;
  }
  const R w = 1 / t;
  const R g = w + std::copysign(std::sqrt(w * w + 1), w);
  const R h = 1 / g;
  *c = 1 / std::sqrt(h * h + 1);
  *s = *c * h;
}

// Principal square root (non-negative real part; +i*sqrt|a| on the negative real axis),
// from the half angle so that no intermediate overflows.
template <class C>
C ComplexSqrt(C z, typename ComplexTraits<C>::Real modulus) {
  using R = typename ComplexTraits<C>::Real;
  if (modulus == R(0)) return z;
  const R threshold =
      std::sqrt(ComplexTraits<C>::Mach(4)) / std::pow(R(10), ComplexTraits<C>::Mach(5));
  R c, s;
  if (std::fabs(z.im) <= std::fabs(z.re)) {
    const R q = std::sqrt(modulus);
    if (z.re >= R(0)) {
      ComplexHalfAngle(z.re, z.im, threshold, &c, &s);
      return {q * c, q * s};
    }
    ComplexHalfAngle(-z.re, -z.im, threshold, &c, &s);
    if (z.im >= R(0)) return {-q * s, q * c};
    return {q * s, -q * c};
  }
  const R q = std::sqrt(modulus / 2);
  if (z.im < R(0)) {
    ComplexHalfAngle(-z.im, z.re, threshold, &c, &s);
    return {(c + s) * q, (s - c) * q};
  }
  ComplexHalfAngle(z.im, -z.re, threshold, &c, &s);
  return {(c - s) * q, (c + s) * q};
}

template <class C>
C ComplexExp(C z) {
  using R = typename ComplexTraits<C>::Real;
  const R e = z.re == R(0) ? R(1) : std::exp(z.re);
  if (z.im != R(0)) return {e * std::cos(z.im), e * std::sin(z.im)};
  return {e, z.im};
}

template <class C>
C ComplexSin(C z) {
  return {std::sin(z.re) * std::cosh(z.im), std::cos(z.re) * std::sinh(z.im)};
}

template <class C>
C ComplexCos(C z) {
  return {std::cos(z.re) * std::cosh(z.im), -std::sin(z.re) * std::sinh(z.im)};
}

}  // namespace nml
