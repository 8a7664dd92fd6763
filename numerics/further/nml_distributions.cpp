// Poisson, F and chi-squared distribution functions and the inverse of the chi-squared one.
#include "numerics/further/nml_distributions.h"

#include <algorithm>
#include <cmath>

namespace {

void SetOwn(int k, double v) { nml_error_set_double(k, v); }
void SetOwn(int k, float v) { nml_error_set_float(k, v); }
inline float Mach(float, int i) { return nml_amach(i); }
inline double Mach(double, int i) { return nml_dmach(i); }
inline float BetaInc(float x, float a, float b) { return nml_f_beta_incomplete(x, a, b); }
inline double BetaInc(double x, double a, double b) { return nml_d_beta_incomplete(x, a, b); }

// Two-ended summation: the smaller end's term is added first; each end's term is a mantissa
// with a count of factors `small`, so that terms below the double range still steer the
// order and reach the sum once they grow into range.
void l_poisson_cdf(int k, double theta, double* result) {
  nml::NameScope scope("l_poisson_cdf");
  *result = nml_dmach(6);
  if (theta <= 0) {
    nml_error_set_double(1, theta);
    nml_error_post(NML_TERMINAL, 9064);
    return;
  }
  if (k < 0) {
    nml_error_set_int(1, k);
    nml_error_post(NML_NOTE, 9054);
    *result = 0;
    return;
  }
  const double eps = nml_dmach(4);
  const double small = 2 * nml_dmach(1);
  const double ls = std::log(small);
  if (theta <= eps) {
    *result = 1;
    return;
  }
  long n0 = static_cast<long>(-theta / ls);
  double m0 = std::exp(-theta - n0 * ls);
  const double upper = -theta + k * std::log(theta) - nml_d_log_gamma(k + 1.0);
  long nk = static_cast<long>(upper / ls);
  double mk = std::exp(upper - nk * ls);
  const double u0 = n0 == 0 ? 1 - m0 : 1;
  const double uk = nk == 0 ? 1 - mk : 1;
  long j = 1, top = static_cast<long>(k) + 1;
  double i = 1.0, fk = k, sum = 0;
  for (;;) {
    const bool lower = n0 > nk || (n0 == nk && mk >= m0);
    if (lower) {
      if (n0 == 0) sum += m0;
      if (j == top) break;
      m0 = m0 * theta / i;
      if (m0 >= uk && m0 * small != 0) {
        m0 *= small;
        --n0;
      }
      ++j;
      i += 1;
    } else {
      if (nk == 0) sum += mk;
      if (j == top) break;
      mk = mk * fk / theta;
      if (mk >= u0 && mk * small != 0) {
        mk *= small;
        --nk;
      }
      --top;
      fk -= 1;
    }
  }
  *result = std::min(sum, 1.0);
}

template <class T>
void l_F_cdf(T f, T dfn, T dfd, T* result) {
  nml::NameScope scope("l_F_cdf");
  *result = Mach(T(), 6);
  if (dfn <= 0 || dfd <= 0) {
    SetOwn(1, dfn);
    SetOwn(2, dfd);
    nml_error_post(NML_TERMINAL, 9048);
    return;
  }
  if (f <= 0) {
    SetOwn(1, f);
    nml_error_post(NML_NOTE, 9050);
    *result = 0;
    return;
  }
  const T x = dfd / (dfd + dfn * f);
  *result = T(1) - BetaInc(x, dfd / 2, dfn / 2);
}

void l_chi_squared_cdf(float chi2, float df, float* result) {
  nml::NameScope scope("l_chi_squared_cdf");
  *result = nml_amach(6);
  const float eps = nml_amach(4);
  if (chi2 < 0) {
    nml_error_set_float(1, chi2);
    nml_error_set_string(1, "chi_squared");
    nml_error_post(NML_NOTE, 9055);
    *result = 0;
    return;
  }
  if (df < 0.5f) {
    nml_error_set_float(1, df);
    nml_error_post(NML_TERMINAL, 9051);
    return;
  }
  if (chi2 <= 1e-12f) {
    *result = 0;
    return;
  }
  if (df > 65) {
    // Wilson-Hilferty: the cube root of chi2/df is nearly normal.
    if (chi2 < 2) {
      *result = 0;
      return;
    }
    const float c = 0.2222222f;
    const float z = (std::cbrt(chi2 / df) - (1 - c / df)) / std::sqrt(c / df);
    if (z > 5) {
      *result = 1;
    } else if (z < -18.8055f) {
      nml_error_post(NML_ALERT, 9019);
      *result = 0;
    } else {
      *result = nml_f_normal_cdf(z);
    }
    return;
  }
  if (chi2 > 200) {
    *result = 1;
    return;
  }
  const float a = df / 2, x = chi2 / 2;
  const float g = nml_f_gamma(a);
  // e^(a ln x - x), formed in double and rounded.
  const float power =
      static_cast<float>(std::exp(static_cast<double>(a) * std::log(static_cast<double>(x)) - x));
  if (x < std::max(a / 2, 13.0f)) {
    if (df > 25 && chi2 < 2) {
      *result = 0;
      return;
    }
    float t = 1 / (g * a);
    float s = t;
    for (int i = 1; i <= 50; ++i) {
      t = t * x / (a + i);
      if (t <= eps * s) break;
      s += t;
    }
    *result = s * power;
  } else {
    const float r = 1 / x;
    float c = a - 1, t = c * r, s = 1 + t;
    for (int i = 2; i <= 50; ++i) {
      c -= 1;
      t = t * c * r;
      if (t <= eps * s) break;
      s += t;
    }
    *result = 1 - s * power * r / g;
  }
}

void l_chi_squared_inverse_cdf(float p, float df, float* result) {
  nml::NameScope scope("l_chi_squared_inverse_cdf");
  *result = nml_amach(6);
  if (p <= 0 || p >= 1) {
    nml_error_set_float(1, p);
    nml_error_post(NML_TERMINAL, 9043);
  }
  if (df < 0.5f) {
    nml_error_set_float(1, df);
    nml_error_post(NML_TERMINAL, 9051);
  }
  if (nml_error_code(0) != 0) return;
  const float tol = 10 * nml_amach(4);
  auto F = [&](float x) { return nml_f_chi_squared_cdf(std::max(x, 0.0f), df) - p; };
  const float z = nml_f_normal_inverse_cdf(p);
  const float c = 2 / (9 * df);
  const float root = z * std::sqrt(c) + 1 - c;
  const float x0 = std::max(df * root * root * root, 0.0f);
  const float f0 = F(x0);
  if (f0 == 0) {
    *result = x0;
    return;
  }
  // The first slope from a second abscissa beside the start.
  const float x1 = std::max(std::fabs(z) >= 1 ? 1.05f * x0 : x0 + 0.05f, 0.0f);
  const float d = x1 != x0 ? x1 - x0 : 0.05f;
  const float slope = (F(x0 + d) - f0) / d;
  float step = -f0 / std::max(0.01f, slope);
  float a = x0, fa = f0, b = 0, fb = 0;
  bool bracketed = false;
  for (int i = 0; i < 100; ++i) {
    step *= 2;
    const float x = std::max(a + step, 0.0f);
    const float f = F(x);
    if (fa * f < 0) {
      b = x;
      fb = f;
      bracketed = true;
      break;
    }
    a = x;
    fa = f;
  }
  if (!bracketed) {
    nml_error_set_float(1, p);
    nml_error_set_float(2, df);
    nml_error_post(NML_WARNING, 9052);
    return;
  }
  // Regula falsi with the Illinois modification.
  bool bisect = false;
  for (int i = 0; i < 100; ++i) {
    const float m = (a + b) / 2;
    if ((m != 0 && std::fabs((b - a) / m) < tol) || (m == 0 && std::fabs(b - a) < tol)) {
      *result = m;
      return;
    }
    const float xn = std::max(bisect ? m : b - fb * (b - a) / (fb - fa), 0.0f);
    bisect = false;
    const float fn = F(xn);
    if (fn * fb <= 0) {
      a = b;
      fa = fb;
      b = xn;
      fb = fn;
    } else {
      b = xn;
      fb = fn;
      fa /= 2;
      if (std::fabs(fa) < std::fabs(fb)) {
        fa *= 2;
        bisect = true;
      }
    }
  }
  nml_error_post(NML_WARNING, 9053);
  *result = (a + b) / 2;
}

}  // namespace

double nml_d_poisson_cdf(int k, double theta) {
  double r = nml_dmach(6);
  nml_public("nml_d_poisson_cdf", [&] { l_poisson_cdf(k, theta, &r); });
  return r;
}

float nml_f_F_cdf(float f, float dfn, float dfd) {
  float r = nml_amach(6);
  nml_public("nml_f_F_cdf", [&] { l_F_cdf(f, dfn, dfd, &r); });
  return r;
}

double nml_d_F_cdf(double f, double dfn, double dfd) {
  double r = nml_dmach(6);
  nml_public("nml_d_F_cdf", [&] { l_F_cdf(f, dfn, dfd, &r); });
  return r;
}

float nml_f_chi_squared_cdf(float chi2, float df) {
  float r = nml_amach(6);
  nml_public("nml_f_chi_squared_cdf", [&] { l_chi_squared_cdf(chi2, df, &r); });
  return r;
}

float nml_f_chi_squared_inverse_cdf(float p, float df) {
  float r = nml_amach(6);
  nml_public("nml_f_chi_squared_inverse_cdf", [&] { l_chi_squared_inverse_cdf(p, df, &r); });
  return r;
}
