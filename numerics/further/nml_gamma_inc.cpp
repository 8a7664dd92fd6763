// Incomplete gamma function through Tricomi's form: a power series for x <= 1 and two
// continued fractions beyond, with products of large and small factors taken in logarithms.
// The complete beta function by gamma functions, or by its logarithm where they overflow.
#include "numerics/further/nml_gamma_inc.h"

#include <cmath>

namespace {

double Eps() { return nml_dmach(3) / 2; }
double Sqeps() { return std::sqrt(nml_dmach(4)); }
double Bot() { return std::log(nml_dmach(1)); }

double LogGamit(double a, double x, double* sign);

// Withdraws the error the last callee left pending unless it was terminal.
void Withdraw() {
  if (nml_error_type(1) < NML_TERMINAL) nml_e1mes(0, 0, " ");
}

void aLGAMS(double x, double* algam, double* sgngam) {
  nml::NameScope scope("aLGAMS");
  *algam = nml_d_log_gamma(x);
  *sgngam = 1;
  if (x > 0) return;
  const int odd = static_cast<int>(std::fmod(-std::trunc(x), 2.0) + 0.1);
  if (odd == 0) *sgngam = -1;
}

// ln gamma*(a, x) by the Taylor series (x <= 1); the logarithm, as gamma*(a, x) for a large a
// lies below the double range while gamma(a, x) need not.
double R9GMIT(double a, double x, double algap1, double sgngam, double /*alx*/) {
  nml::NameScope scope("R9GMIT");
  (void)sgngam;
  if (x <= 0) {
    nml_error_set_double(1, x);
    nml_error_post(NML_TERMINAL, 9027);
    return nml_dmach(6);
  }
  const double eps = Eps();
  double s = 1, te = a;
  bool converged = false;
  for (int k = 1; k <= 200; ++k) {
    te = -x * te / k;
    const double t = te / (a + k);
    s += t;
    if (std::fabs(t) < eps * std::fabs(s)) {
      converged = true;
      break;
    }
  }
  if (!converged) {
    nml_error_post(NML_FATAL, 9034);
    return nml_dmach(6);
  }
  return std::log(s) - algap1;
}

double R9LGIC(double a, double x, double alx) {
  nml::NameScope scope("R9LGIC");
  const double eps = Eps();
  const double xpa = x + 1 - a, xma = x - 1 - a;
  double r = 0, p = 1, s = 1;
  bool converged = false;
  for (int k = 1; k <= 200; ++k) {
    const double fk = k;
    const double t = fk * (a - fk) * (1 + r);
    r = -t / ((xma + 2 * fk) * (xpa + 2 * fk) + t);
    p *= r;
    s += p;
    if (std::fabs(p) < eps * s) {
      converged = true;
      break;
    }
  }
  if (!converged) {
    nml_error_post(NML_FATAL, 9035);
    return nml_dmach(6);
  }
  return a * alx - x + std::log(s / xpa);
}

double R9LGIT(double a, double x, double algap1) {
  nml::NameScope scope("R9LGIT");
  if (x <= 0 || a < x) {
    nml_error_set_double(1, x);
    nml_error_set_double(2, a);
    nml_error_post(NML_TERMINAL, 9036);
    return nml_dmach(6);
  }
  const double eps = Eps();
  const double ax = a + x, a1x = ax + 1;
  double r = 0, p = 1, s = 1;
  bool converged = false;
  for (int k = 1; k <= 200; ++k) {
    const double fk = k;
    const double t = (a + fk) * x * (1 + r);
    r = t / ((ax + fk) * (a1x + fk) - t);
    p *= r;
    s += p;
    if (std::fabs(p) < eps * s) {
      converged = true;
      break;
    }
  }
  if (!converged) {
    nml_error_post(NML_FATAL, 9035);
    return nml_dmach(6);
  }
  const double hstar = 1 - x * s / a1x;
  if (hstar < Sqeps()) nml_error_post(NML_WARNING, 9037);
  return -x - algap1 - std::log(hstar);
}

void l_gamma_incomplete(double a, double x, double* result) {
  nml::NameScope scope("l_gamma_incomplete");
  *result = nml_dmach(6);
  bool bad = false;
  if (a <= 0) {
    nml_error_set_double(1, a);
    nml_error_post(NML_TERMINAL, 9032);
    bad = true;
  }
  if (x < 0) {
    nml_error_set_double(1, x);
    nml_error_post(NML_TERMINAL, 9033);
    bad = true;
  }
  if (bad) return;
  if (x == 0) {
    *result = 0;
    return;
  }
  // x^a and Gamma(a) overflow for a above about 90 where gamma* underflows: the three
  // factors meet as logarithms, and only a value beyond the double range is an overflow.
  double sign;
  const double t = a * std::log(x) + nml_d_log_gamma(a) + LogGamit(a, x, &sign);
  if (t < Bot()) Withdraw();
  *result = sign * std::exp(t);
  if (std::isinf(*result)) nml_error_post(NML_FATAL, 9008);
}

template <class T>
struct BetaOps;
template <>
struct BetaOps<double> {
  static double Alnsml() { return std::log(nml_dmach(1)); }
  static double Xmax() {
    double lo, hi;
    l_gamma_range(&lo, &hi);
    return hi;
  }
  static void Set(int k, double v) { nml_error_set_double(k, v); }
  static double Small(double a, double b) {
    return nml_d_gamma(a) * nml_d_gamma(b) / nml_d_gamma(a + b);
  }
  static double LogBeta(double a, double b) { return nml_d_log_beta(a, b); }
  static double Nan() { return nml_dmach(6); }
};
template <>
struct BetaOps<float> {
  static float Alnsml() { return static_cast<float>(std::log(static_cast<double>(nml_amach(1)))); }
  static float Xmax() {
    float lo, hi;
    l_gamma_range(&lo, &hi);
    return hi;
  }
  static void Set(int k, float v) { nml_error_set_float(k, v); }
  static float Small(float a, float b) {
    const double num = static_cast<double>(nml_f_gamma(a)) * nml_f_gamma(b);
    const float sum = a + b;
    return static_cast<float>(num / nml_f_gamma(sum));
  }
  static float LogBeta(float a, float b) { return nml_f_log_beta(a, b); }
  static float Nan() { return nml_amach(6); }
};

template <class T>
void l_beta(T a, T b, T* result) {
  using Ops = BetaOps<T>;
  nml::NameScope scope("l_beta");
  *result = Ops::Nan();
  const T alnsml = Ops::Alnsml();
  const T xmax = Ops::Xmax();
  if (a <= 0 || b <= 0) {
    Ops::Set(1, a);
    Ops::Set(2, b);
    nml_error_post(NML_TERMINAL, 9031);
    return;
  }
  if (a + b < xmax) {
    *result = Ops::Small(a, b);
    return;
  }
  const T lb = Ops::LogBeta(a, b);
  if (lb < alnsml) {
    *result = 0;
    Ops::Set(1, a);
    Ops::Set(2, b);
    nml_error_post(NML_ALERT, 9018);
    return;
  }
  *result = std::exp(lb);
}

}  // namespace

double GAMR(double x) {
  nml::NameScope scope("GAMR  ");
  if (x <= 0 && x == std::trunc(x)) return 0;
  double result;
  if (std::fabs(x) <= 10) {
    result = 1 / nml_d_gamma(x);
  } else {
    double algam, sgngam;
    aLGAMS(x, &algam, &sgngam);
    result = sgngam * std::exp(-algam);
  }
  if (nml_error_type(1) == NML_WARNING) Withdraw();
  return result;
}

namespace {

// ln|gamma*(a, x)| with the sign of gamma* in *sign. A precision warning stays pending; the
// caller withdraws it when the value it returns underflows.
double LogGamit(double a, double x, double* sign) {
  nml::NameScope scope("l_gamit");
  *sign = 1;
  if (x < 0) {
    nml_error_set_double(1, x);
    nml_error_post(NML_TERMINAL, 9033);
    return nml_dmach(6);
  }
  const double alx = std::log(x);
  const double alneps = -std::log(nml_dmach(3));
  double algap1, sgngam;
  if (x <= 1) {
    aLGAMS(a + 1, &algap1, &sgngam);
    return R9GMIT(a, x, algap1, sgngam, alx);
  }
  if (a >= x) return R9LGIT(a, x, nml_d_log_gamma(a + 1));
  const double alng = R9LGIC(a, x, alx);
  aLGAMS(a + 1, &algap1, &sgngam);
  double t = std::log(std::fabs(a)) + alng - algap1;
  double h = 1;
  if (t > -alneps) h = 1 - sgngam * std::exp(t);
  if (std::fabs(h) <= Sqeps()) {
    nml_error_set_double(1, a);
    nml_error_post(NML_WARNING, 9020);
  }
  if (h < 0) *sign = -1;
  return -a * alx + std::log(std::fabs(h));
}

}  // namespace

double l_gamit(double a, double x) {
  double sign;
  const double t = LogGamit(a, x, &sign);
  // An underflowing gamma* carries no precision warning (the series branch posts none).
  if (x > 1 && t < Bot()) Withdraw();
  return sign * std::exp(t);
}

double nml_d_gamma_incomplete(double a, double x) {
  double result = nml_dmach(6);
  nml_public("nml_d_gamma_incomplete", [&] { l_gamma_incomplete(a, x, &result); });
  return result;
}

double nml_d_beta(double a, double b) {
  double result = nml_dmach(6);
  nml_public("nml_d_beta", [&] { l_beta(a, b, &result); });
  return result;
}

float nml_f_beta(float a, float b) {
  float result = nml_amach(6);
  nml_public("nml_f_beta", [&] { l_beta(a, b, &result); });
  return result;
}
