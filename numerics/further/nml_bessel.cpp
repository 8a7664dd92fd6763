// Real Bessel functions of orders 0 and 1 and the Kelvin functions of order 0.
#include "numerics/further/nml_bessel.h"

#include <algorithm>
#include <cmath>

namespace {

#include "numerics/further/nml_bessel_series.inc"

constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kLnHalf = -0.6931471805599453;
constexpr double kPi = 3.141592653589793;
constexpr double kEuler = 0.5772156649015329;

float Eta() { return static_cast<float>(0.1 * nml_dmach(3)); }
double Xsml() { return std::sqrt(4 * nml_dmach(3)); }
double Xmax() { return 1 / std::sqrt(nml_dmach(3)); }

template <int N>
int Terms(const double (&cs)[N]) {
  return nml_initds(cs, N, Eta());
}

struct Series {
  const double* m1;
  int n1;
  const double* th1;
  int nth1;
  const double* m2;
  int n2;
  const double* th2;
  int nth2;
  double shift;  // pi/4 or 3 pi/4
};

void ModulusPhase(const char* name, const Series& s, double x, double* ampl, double* theta,
                  nml_bessel_terms* terms) {
  nml::NameScope scope(name);
  *ampl = nml_dmach(6);
  *theta = nml_dmach(6);
  if (terms->ntm == 0) {
    const float eta = Eta();
    terms->ntm = nml_initds(s.m1, s.n1, eta);
    terms->ntth = nml_initds(s.th1, s.nth1, eta);
    terms->ntm2 = nml_initds(s.m2, s.n2, eta);
    terms->ntth2 = nml_initds(s.th2, s.nth2, eta);
    terms->xmax = 1 / nml_dmach(4);
  }
  if (x <= 8) {
    const double t = (128 / (x * x) - 5) / 3;
    *ampl = (0.75 + nml_csevl(t, s.m1, terms->ntm)) / std::sqrt(x);
    *theta = x - s.shift + nml_csevl(t, s.th1, terms->ntth) / x;
  } else if (x <= terms->xmax) {
    const double t = 128 / (x * x) - 1;
    *ampl = (0.75 + nml_csevl(t, s.m2, terms->ntm2)) / std::sqrt(x);
    *theta = x - s.shift + nml_csevl(t, s.th2, terms->ntth2) / x;
  } else {
    nml_error_set_double(1, x);
    nml_error_set_double(2, terms->xmax);
    nml_error_post(NML_FATAL, 9026);
  }
}

void HalfPrecisionWarning(double x) {
  nml_error_set_double(1, x);
  nml_error_set_double(2, Xmax());
  nml_error_post(NML_WARNING, 9025);
}

void l_bessel_J0(double x, double* result, nml_bessel_terms* terms) {
  nml::NameScope scope("l_bessel_J0");
  *result = nml_dmach(6);
  const double y = std::fabs(x);
  if (y <= 4) {
    if (y <= Xsml()) {
      *result = 1;
      return;
    }
    if (terms->ntj == 0) terms->ntj = Terms(kBJ0CS);
    *result = nml_csevl(y * y / 8 - 1, kBJ0CS, terms->ntj);
    return;
  }
  double ampl, theta;
  l_d9b0mp(&y, &ampl, &theta, terms);
  if (nml_error_type(1) >= NML_FATAL) return;
  *result = ampl * std::cos(theta);
  if (y > Xmax()) HalfPrecisionWarning(x);
}

void l_bessel_J1(double x, double* result, nml_bessel_terms* terms) {
  nml::NameScope scope("l_bessel_J1");
  *result = nml_dmach(6);
  const double y = std::fabs(x);
  if (y <= 4) {
    const double tiny = 2 * nml_dmach(1);
    if (y == 0) {
      *result = 0;
    } else if (y > Xsml()) {
      if (terms->ntj == 0) terms->ntj = Terms(kBJ1CS);
      *result = x * (0.25 + nml_csevl(y * y / 8 - 1, kBJ1CS, terms->ntj));
    } else {
      // 0.5 x, also where it underflows (then with the alert).
      *result = 0.5 * x;
      if (y <= tiny) {
        nml_error_set_double(1, x);
        nml_error_set_double(2, tiny);
        nml_error_post(NML_ALERT, 9017);
      }
    }
    return;
  }
  double ampl, theta;
  l_d9b1mp(&y, &ampl, &theta, terms);
  if (nml_error_type(1) >= NML_FATAL) return;
  *result = x >= 0 ? ampl * std::cos(theta) : -ampl * std::cos(theta);
  if (y > Xmax()) HalfPrecisionWarning(x);
}

void l_bessel_Y0(double x, double* result, nml_bessel_terms* terms) {
  nml::NameScope scope("l_bessel_Y0");
  *result = nml_dmach(6);
  if (x <= 0) {
    nml_error_set_double(1, x);
    nml_error_post(NML_TERMINAL, 9027);
    return;
  }
  if (x <= 4) {
    const double v = x <= Xsml() ? 0 : x * x;
    if (terms->nty == 0) terms->nty = Terms(kBY0CS);
    *result = kTwoOverPi * (kLnHalf + std::log(x)) * nml_d_bessel_J0(x) + 0.375 +
              nml_csevl(v / 8 - 1, kBY0CS, terms->nty);
    return;
  }
  double ampl, theta;
  l_d9b0mp(&x, &ampl, &theta, terms);
  if (nml_error_type(1) >= NML_FATAL) return;
  *result = ampl * std::sin(theta);
  if (x > Xmax()) HalfPrecisionWarning(x);
}

void l_bessel_Y1(double x, double* result, nml_bessel_terms* terms) {
  nml::NameScope scope("l_bessel_Y1");
  *result = nml_dmach(6);
  const double xmin =
      1.571 * std::exp(std::max(std::log(nml_dmach(1)), -std::log(nml_dmach(2))) + 0.01);
  if (x <= 0) {
    nml_error_set_double(1, x);
    nml_error_post(NML_TERMINAL, 9027);
    return;
  }
  if (x <= 4) {
    if (x < xmin) {
      nml_error_set_double(1, x);
      nml_error_set_double(2, xmin);
      nml_error_post(NML_FATAL, 9012);
      return;
    }
    const double v = x <= Xsml() ? 0 : x * x;
    if (terms->nty == 0) terms->nty = Terms(kBY1CS);
    *result = kTwoOverPi * std::log(0.5 * x) * nml_d_bessel_J1(x) +
              (0.5 + nml_csevl(v / 8 - 1, kBY1CS, terms->nty)) / x;
    return;
  }
  double ampl, theta;
  l_d9b1mp(&x, &ampl, &theta, terms);
  if (nml_error_type(1) >= NML_FATAL) return;
  *result = ampl * std::sin(theta);
  if (x > Xmax()) HalfPrecisionWarning(x);
}

// ---------------------------------------------------------------------------------------
// Kelvin functions

constexpr double kBer[9] = {5.16070465e-5,     -0.0048987125727,   0.25977730007,
                            -7.2422567278207,  93.8596692971726,   -470.9502795889968,
                            678.1684027663091, -156.2499999995701, 0.9999999999974};
constexpr double kBei[9] = {4.4913e-6,         -0.0005444243175,   0.0384288282734,
                            -1.4963342749742,  28.9690338786499,   -240.2807549442574,
                            678.1684027769807, -434.0277777777479, 24.9999999999998};
constexpr double kKer[9] = {1.2161109e-6,       -0.0001797627986,    0.0159380149705,
                            -0.8061529027876,   21.2123451660231,    -255.0971742710479,
                            1153.8281852814562, -1412.8508391203636, 234.375};
constexpr double kKei[9] = {1.54363047e-5,      -0.001806477786,    0.1222087382192,
                            -4.5187459132639,   81.95247716062,     -623.0136717405201,
                            1548.4845196730992, -795.7175925924867, 24.9999999999993};
constexpr double kF[9] = {4.92e-8,     1.452e-7, 1.35e-8,      -1.6192e-6, -1.12207e-5,
                          -5.17869e-5, 7e-10,    0.0088388346, 1.0};
constexpr double kG[9] = {-2.43e-8,    7.5e-8,        5.929e-7,     1.6431e-6, -7.2e-9,
                          -5.18006e-5, -0.0007031241, -0.008838834, 0.0};

double Horner(const double (&c)[9], double s) {
  double h = c[0];
  for (int k = 1; k < 9; ++k) h = h * s + c[k];
  return h;
}

bool KelvinArgument(double x, double limit, bool upper, int code) {
  if (upper ? std::fabs(x) > limit : x < limit) {
    nml_error_set_string(1, "x");
    nml_error_set_double(1, x);
    nml_error_set_double(2, limit);
    nml_error_post(NML_TERMINAL, code);
    return false;
  }
  return true;
}

// ber0 (bei = false) or bei0 (bei = true).
void BerBei(double x, double* result, bool bei) {
  nml::NameScope scope(bei ? "l_kelvin_bei0" : "l_kelvin_ber0");
  *result = nml_dmach(6);
  if (!KelvinArgument(x, 119.0, true, 13501)) return;
  const double ax = std::fabs(x);
  if (ax == 0) {
    *result = bei ? 0 : 1;
  } else if (ax <= 10) {
    const double t = ax / 10, t2 = t * t, t4 = t2 * t2;
    *result = bei ? t2 * Horner(kBei, t4) : Horner(kBer, t4);
  } else {
    const double s = 10 / ax, z = ax / std::sqrt(2.0), d = std::sqrt(2 * kPi * ax);
    const double f = Horner(kF, s), g = Horner(kG, s), alpha = z - kPi / 8;
    const double e = std::exp(z) / d;
    *result = bei ? (g * std::cos(alpha) + f * std::sin(alpha)) * e
                  : (f * std::cos(alpha) - g * std::sin(alpha)) * e;
  }
}

void KerKei(double x, double* result, bool kei) {
  nml::NameScope scope(kei ? "l_kelvin_kei0" : "l_kelvin_ker0");
  *result = nml_dmach(6);
  if (!KelvinArgument(x, 0.0, false, 13500)) return;
  if (x == 0) {
    *result = kei ? -kPi / 4 : nml_dmach(7);
  } else if (x <= 10) {
    const double t = x / 10, t2 = t * t, t4 = t2 * t2;
    const double lg = std::log(x / 2) + kEuler;
    const double ber = nml_d_kelvin_ber0(x), bei = nml_d_kelvin_bei0(x);
    *result = kei ? t2 * Horner(kKei, t4) - lg * bei - kPi / 4 * ber
                  : kPi / 4 * bei - lg * ber - t4 * Horner(kKer, t4);
  } else {
    const double s = 10 / x, z = x / std::sqrt(2.0), d = std::sqrt(2 * kPi * x);
    const double f = Horner(kF, -s), g = Horner(kG, -s), beta = z + kPi / 8;
    const double e = kPi / (std::exp(z) * d);
    *result = kei ? (g * std::cos(beta) - f * std::sin(beta)) * e
                  : (f * std::cos(beta) + g * std::sin(beta)) * e;
  }
}

template <class Body>
double Bessel(const char* name, double x, Body body) {
  double result = nml_dmach(6);
  nml_public(name, [&] {
    nml_bessel_terms terms{};
    body(x, &result, &terms);
  });
  return result;
}

template <class Body>
double Kelvin(const char* name, double x, Body body) {
  double result = nml_dmach(6);
  nml_public(name, [&] { body(x, &result); });
  return result;
}

}  // namespace

void l_d9b0mp(const double* x, double* ampl, double* theta, nml_bessel_terms* terms) {
  static const Series s{kBM0CS, 37, kBT02CS, 39, kBM02CS, 40, kBTH0CS, 44, kPi / 4};
  ModulusPhase("l_d9b0mp", s, *x, ampl, theta, terms);
}

void l_d9b1mp(const double* x, double* ampl, double* theta, nml_bessel_terms* terms) {
  static const Series s{kBM1CS, 37, kBT12CS, 39, kBM12CS, 40, kBTH1CS, 44, 3 * kPi / 4};
  ModulusPhase("l_d9b1mp", s, *x, ampl, theta, terms);
}

double nml_d_bessel_J0(double x) { return Bessel("nml_d_bessel_J0", x, l_bessel_J0); }
double nml_d_bessel_J1(double x) { return Bessel("nml_d_bessel_J1", x, l_bessel_J1); }
double nml_d_bessel_Y0(double x) { return Bessel("nml_d_bessel_Y0", x, l_bessel_Y0); }
double nml_d_bessel_Y1(double x) { return Bessel("nml_d_bessel_Y1", x, l_bessel_Y1); }

double nml_d_kelvin_ber0(double x) {
  return Kelvin("nml_d_kelvin_ber0", x, [](double v, double* r) { BerBei(v, r, false); });
}
double nml_d_kelvin_bei0(double x) {
  return Kelvin("nml_d_kelvin_bei0", x, [](double v, double* r) { BerBei(v, r, true); });
}
double nml_d_kelvin_ker0(double x) {
  return Kelvin("nml_d_kelvin_ker0", x, [](double v, double* r) { KerKei(v, r, false); });
}
double nml_d_kelvin_kei0(double x) {
  return Kelvin("nml_d_kelvin_kei0", x, [](double v, double* r) { KerKei(v, r, true); });
}
