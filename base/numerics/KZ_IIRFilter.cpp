#include "base/numerics/KZ_IIRFilter.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <vector>

namespace {

// The filter's own constants.
constexpr double kPi = 3.1415926;
constexpr double kHalfPi = 1.5707963;
constexpr double kTwoPi = 6.2831852;

struct Deviations {
  double amin, amax;
};

Deviations DeviationPair(float p4, float p5) {
  double a = std::fabs(p4), b = std::fabs(p5);
  Deviations d{std::min(a, b), std::max(a, b)};
  if (d.amin == 0) d.amin = 0.5;
  if (d.amax == 0) d.amax = 5.0;
  return d;
}

int OrderFor(const Deviations& d, double r) {
  const int n = static_cast<int>(std::fabs(std::log(d.amin / d.amax) / std::log(r)) + 0.5);
  return n < 2 ? 2 : n;
}

}  // namespace

KZ_IIRFilter::~KZ_IIRFilter() {
  std::free(m_pSections);
  std::free(m_pPower);
  std::free(m_pPhase);
}

void KZ_IIRFilter::AddSection(double b1, double b2, double a1, double a2) {
  double* s = m_pSections + 4 * m_nSections;
  s[0] = b1;
  s[1] = b2;
  s[2] = a1;
  s[3] = a2;
  ++m_nSections;
}

int KZ_IIRFilter::Design(int type, float p0, float p1, float p2, float p3, float p4, float p5) {
  m_fPar[0] = p0;
  m_fPar[1] = p1;
  m_fPar[2] = p2;
  m_fPar[3] = p3;
  m_fPar[4] = p4;
  m_fPar[5] = p5;
  m_nType = type;
  m_nSections = 0;
  m_nOrder = 0;
  if (!m_pSections)
    m_pSections = static_cast<double*>(std::calloc(4 * kMaxSections, sizeof(double)));
  if (!m_pSections) return 0;
  if (type < 0 || type > 3) return 0;
  const bool ok = type <= 1 ? DesignLowHigh(type == 1) : DesignBand(type == 3);
  if (!ok) {
    m_nSections = 0;
    return 0;
  }
  if (!m_pPower)
    m_pPower =
        static_cast<double*>(std::calloc(static_cast<std::size_t>(m_nResponse), sizeof(double)));
  if (!m_pPhase)
    m_pPhase =
        static_cast<double*>(std::calloc(static_cast<std::size_t>(m_nResponse), sizeof(double)));
  if (!m_pPower || !m_pPhase) {
    m_nSections = 0;
    return 0;
  }
  ComputeResponse();
  return m_nSections;
}

bool KZ_IIRFilter::DesignLowHigh(bool high) {
  const float e1 = high ? m_fPar[0] : m_fPar[2];
  const float e2 = high ? m_fPar[1] : m_fPar[3];
  const double w1 = kPi * std::fabs(e1), w2 = kPi * std::fabs(e2);
  const double wlo = std::min(w1, w2), whi = std::max(w1, w2);
  if (wlo == 0 || wlo == whi || whi >= kHalfPi) return false;
  const double tlo = std::tan(wlo), thi = std::tan(whi);
  const Deviations d = DeviationPair(m_fPar[4], m_fPar[5]);
  const int n = OrderFor(d, high ? thi / tlo : tlo / thi);
  // The section array holds 64 sections: order n needs n/2 + n%2 of them.
  if (n / 2 + n % 2 > kMaxSections) return false;
  const double prod = std::pow(d.amin * d.amax, 1.0 / n);
  const double c = high ? std::sqrt(prod * thi * tlo) : std::sqrt(prod / (tlo * thi));
  double gain = 1.0;
  for (int k = 0; k < n / 2; ++k) {
    const double theta = (2 * k + 1) * kHalfPi / n;
    const double sk = std::sin(theta), ck = std::cos(theta);
    const double D = 1.0 / ((sk + c) * (sk + c) + ck * ck);
    const double a2 = ((c - sk) * (c - sk) + ck * ck) * D;
    if (high)
      AddSection(-2, 1, -2 * (1 - c * c) * D, a2);
    else
      AddSection(2, 1, 2 * (1 - c * c) * D, a2);
    gain *= D;
  }
  if (n % 2) {
    if (high)
      AddSection(-1, 0, (c - 1) / (c + 1), 0);
    else
      AddSection(1, 0, (1 - c) / (1 + c), 0);
    gain /= 1 + c;
  }
  m_fGain = gain;
  m_nOrder = n;
  return true;
}

bool KZ_IIRFilter::DesignBand(bool stop) {
  const double w1 = kPi * std::fabs(m_fPar[1]), w2 = kPi * std::fabs(m_fPar[2]);
  const double wlo = std::min(w1, w2), whi = std::max(w1, w2);
  const double wc = kPi * std::fabs(m_fPar[3]);
  if (wlo == 0 || whi == wlo || whi >= kHalfPi || wc == 0 || wc >= kHalfPi ||
      !((wc - wlo) * (wc - whi) > 0))
    return false;
  const double K = 1.0 / (std::cos(wlo) * std::cos(whi));
  const double BW = std::sin(whi - wlo) * K;
  const double T2 = std::tan(wlo) * std::tan(whi);
  const double S = std::fabs(std::tan(wc) - T2 / std::tan(wc));
  const Deviations d = DeviationPair(m_fPar[4], m_fPar[5]);
  const int n = OrderFor(d, BW / S);
  if (2 * (n / 2) + n % 2 > kMaxSections) return false;
  const double q = std::pow(d.amin * d.amax, (stop ? -1.0 : 1.0) / n) / (S * BW);
  const double c = std::sqrt(q);
  const double T2q = q * T2;
  const double X = std::cos(whi - wlo) * q * K;
  const double Y = -std::cos(wlo + whi) * q * K;
  const double b = 2 * Y / X;
  double g = 1.0;
  for (int k = 0; k < n / 2; ++k) {
    const double theta = (2 * k + 1) * kHalfPi / n;
    const double sk = std::sin(theta), ck = std::cos(theta);
    const std::complex<double> z(stop ? -0.5 * ck : 0.5 * ck, 0.5 * sk);
    const std::complex<double> w = std::sqrt(z * z + T2q);
    g *= stop ? X * X : q;
    for (const std::complex<double>& p : {z + w, z - w}) {
      const double pr = p.real(), pi = p.imag();
      const double A = pi + c, B = pi - c;
      const double D = 1.0 / (A * A + pr * pr);
      AddSection(stop ? b : 0, stop ? 1 : -1, 2 * (A * B + pr * pr) * D, (B * B + pr * pr) * D);
      g *= D;
    }
  }
  if (n % 2) {
    if (stop) {
      const double R = 1.0 / (X + c);
      AddSection(b, 1, 2 * Y * R, (X - c) * R);
      g *= X * R;
    } else {
      const double R = 1.0 / (X + c);
      AddSection(0, -1, -2 * q * K * std::cos(wlo + whi) * R, (X - c) * R);
      g *= c * R;
    }
  }
  m_fGain = g;
  m_nOrder = n;
  return true;
}

void KZ_IIRFilter::ComputeResponse() {
  const double df = 0.5 / m_nResponse;
  const double f0 = df;
  // Cosine and sine of 2 pi f advance by rotation, renormalised at every step.
  double cw = std::cos(kTwoPi * f0), sw = std::sin(kTwoPi * f0);
  const double s = std::sin(kPi * df);
  const double alpha = -2.0 * s * s;
  const double beta = std::sin(kTwoPi * df);
  for (int m = 0; m < m_nResponse; ++m) {
    if (m > 0) {
      const double c2 = cw + alpha * cw - beta * sw;
      const double s2 = sw + alpha * sw + beta * cw;
      const double fix = 1.0 + 0.5 * (1.0 - c2 * c2 - s2 * s2);
      cw = c2 * fix;
      sw = s2 * fix;
    }
    double power = m_fGain * m_fGain;
    double phase = 0.0;
    for (int k = 0; k < m_nSections; ++k) {
      const double* sec = m_pSections + 4 * k;
      const double b1 = sec[0], b2 = sec[1], a1 = sec[2], a2 = sec[3];
      const double nr = (1 + b2) * cw + b1, ni = (b2 - 1) * sw;
      const double dr = (1 + a2) * cw + a1, di = (a2 - 1) * sw;
      power *= (nr * nr + ni * ni) / (dr * dr + di * di);
      phase += std::atan2(ni, nr) - std::atan2(di, dr);
      if (std::fabs(phase) > kPi) phase -= std::copysign(kTwoPi, phase);
    }
    m_pPower[m] = power;
    m_pPhase[m] = phase;
  }
}

void KZ_IIRFilter::RunSection(const double* x, double* y, int n, const double* coef,
                              int direction) {
  const double b1 = coef[0], b2 = coef[1], a1 = coef[2], a2 = coef[3];
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (int t = 0; t < n; ++t) {
    const int i = direction >= 0 ? t : n - 1 - t;
    const double x0 = x[i];
    const double y0 = x0 + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    // Stored in single precision; the recursion goes on with the full value.
    y[i] = static_cast<float>(y0);
    x2 = x1;
    x1 = x0;
    y2 = y1;
    y1 = y0;
  }
}

int KZ_IIRFilter::Filter(const float* in, float* out, int n) const {
  if (!m_pSections || m_nSections < 1 || !in || !out) return 0;
  if (n < 1) return 1;
  std::vector<double> x(in, in + n);
  std::vector<double> y(static_cast<std::size_t>(n));
  RunSection(x.data(), y.data(), n, m_pSections, 1);
  for (int k = 1; k < m_nSections; ++k) RunSection(y.data(), y.data(), n, m_pSections + 4 * k, 1);
  for (int i = 0; i < n; ++i) out[i] = static_cast<float>(y[i] * m_fGain);
  return 1;
}
