#include "base/numerics/KZ_ModelFunctions.h"

#include <cmath>

namespace {

constexpr double kE = 2.718281828459045;

// A positive number as mantissa times a power of two, so that long products of factors
// neither overflow nor vanish before the result is formed.
struct Scaled {
  double m = 1.0;
  long long e = 0;
  void Mul(double f) {
    int ex = 0;
    m = std::frexp(m * f, &ex);
    e += ex;
  }
  void Mul(Scaled s) {  // by value: squaring passes the object itself
    Mul(s.m);
    e += s.e;
  }
  double Value() const {
    if (m == 0.0) return 0.0;
    if (e > 2000) return HUGE_VAL;
    if (e < -2000) return 0.0;
    return std::ldexp(m, static_cast<int>(e));
  }
};

// x^k (x > 0, k >= 0) by repeated squaring of the scaled mantissa.
Scaled ScaledPow(double x, long long k) {
  Scaled r, b;
  b.Mul(x);
  if (x == 0.0) {
    r.m = k == 0 ? 1.0 : 0.0;
    return r;
  }
  while (k > 0) {
    if (k & 1) r.Mul(b);
    k >>= 1;
    if (k > 0) b.Mul(b);
  }
  return r;
}

// e^-lambda (lambda >= 0) in pieces that each stay within double range.
Scaled ScaledExpNeg(double lambda) {
  Scaled r;
  while (lambda > 600.0) {
    r.Mul(std::exp(-600.0));
    lambda -= 600.0;
  }
  r.Mul(std::exp(-lambda));
  return r;
}

bool Normal(double v) { return std::isnormal(v); }

}  // namespace

double KZ_PoissonPmf(int k, double lambda) {
  const double a = std::pow(lambda, k), b = std::pow(kE, -lambda);
  double v = a * b;
  bool exact = Normal(v);  // no intermediate value left the normal range
  for (int i = 2; i <= k; ++i) exact = Normal(v /= i) && exact;
  if (exact && Normal(a) && Normal(b)) return v;
  if (k < 0 || !(lambda >= 0.0)) return v;
  if (lambda == 0.0) return k == 0 ? 1.0 : 0.0;
  Scaled s = ScaledExpNeg(lambda);
  for (int i = 1; i <= k; ++i) s.Mul(lambda / i);
  return s.Value();
}

double KZ_NormalPdf(double x, double mean, double variance) {
  return std::pow(kE, -(x - mean) * (x - mean) * (0.5 / variance)) *
         (1.0 / std::sqrt(variance * 6.283185307179586));
}

double KZ_BinomialPmf(int k, int n, double p) {
  const double a = std::pow(1.0 - p, n - k), b = std::pow(p, k);
  double v = a * b;
  bool exact = Normal(v);  // no intermediate value left the normal range
  for (int i = 2; i <= k; ++i) exact = Normal(v /= i) && exact;
  for (int i = n - k + 1; i <= n; ++i) exact = Normal(v *= i) && exact;
  if (exact && Normal(a) && Normal(b)) return v;
  if (k < 0 || k > n || !(p >= 0.0 && p <= 1.0)) return v;
  if ((p == 0.0 && k > 0) || (p == 1.0 && k < n)) return 0.0;
  Scaled s = ScaledPow(1.0 - p, n - k);
  s.Mul(ScaledPow(p, k));
  for (int i = 1; i <= k; ++i) s.Mul(static_cast<double>(n - k + i) / i);
  return s.Value();
}

double KZ_WeibullPdf(double x, double lambda, double k) {
  if (x < 0.0) return 0.0;
  const double t = x / lambda;
  return std::pow(t, k - 1.0) * (k / lambda) * std::pow(kE, -std::pow(t, k));
}

double KZ_PowerLawModel(double* p) { return p[1] + p[2] * std::pow(p[0], p[3]); }

double KZ_LogPeriodicModel(double* p) {
  const double xa = std::pow(p[0], p[4]);
  return 1.0 + p[1] * xa + p[2] * xa * std::cos(p[5] * std::log(p[0]) + p[3]);
}

double KZ_LogPeriodicModelC(double* p) {
  const double w = p[5] * std::log(p[0]);
  const double A = p[1] * std::cos(w) - p[2] * std::sin(w);
  const double B = p[1] * std::sin(w) + p[2] * std::cos(w);
  const double U = p[3] * std::pow(p[0], p[4]) * std::exp(A);
  return std::exp(U * std::cos(B)) * std::cos(U * std::sin(B));
}

double KZ_LogPeriodicModel2(double* p) {
  const double x = p[0];
  const double w = p[5] * std::log(x);
  const double A = p[1] * std::cos(w) - p[2] * std::sin(w);
  const double B = p[1] * std::sin(w) + p[2] * std::cos(w);
  const double U = p[3] * std::pow(x, p[4]) * std::exp(A);
  const double q = p[5] / x;
  const double dA = -B * q, dB = A * q;
  const double dU = U * (p[4] / x + dA);
  const double dUc = dU * std::cos(B) - U * std::sin(B) * dB;
  const double dUs = dU * std::sin(B) + U * std::cos(B) * dB;
  return std::exp(U * std::cos(B)) *
         (std::cos(U * std::sin(B)) * dUc - std::sin(U * std::sin(B)) * dUs);
}
