// Chebyshev series, the error function, the normal distribution, gamma and beta functions.
// Single- and double-precision members share one template; each calls the public routines
// and machine constants of its own precision.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "numerics/nml.h"

namespace {

#include "numerics/nml_chebyshev.inc"

template <std::size_t N>
constexpr std::array<float, N> ToFloat(const double (&d)[N]) {
  std::array<float, N> f{};
  for (std::size_t i = 0; i < N; ++i) f[i] = static_cast<float>(d[i]);
  return f;
}

constexpr auto kGAMCSf = ToFloat(kGAMCS);
constexpr auto kALGMCSf = ToFloat(kALGMCS);
constexpr auto kALNRCSf = ToFloat(kALNRCS);

constexpr double kSqrtPi = 1.772453850905516;
constexpr double kLnSqrt2Pi = 0.91893853320467274;
constexpr double kLnSqrtPiOver2 = 0.22579135264472744;
constexpr double kPi = 3.14159265358979323846;

template <class T>
T Mach(int i);
template <>
double Mach<double>(int i) {
  return nml_dmach(i);
}
template <>
float Mach<float>(int i) {
  return nml_amach(i);
}

// The public routines of each precision.
double Gamma(double x) { return nml_d_gamma(x); }
float Gamma(float x) { return nml_f_gamma(x); }
double LogGamma(double x) { return nml_d_log_gamma(x); }
float LogGamma(float x) { return nml_f_log_gamma(x); }
double LogBeta(double a, double b) { return nml_d_log_beta(a, b); }
float LogBeta(float a, float b) { return nml_f_log_beta(a, b); }
double BetaInc(double x, double a, double b) { return nml_d_beta_incomplete(x, a, b); }
float BetaInc(float x, float a, float b) { return nml_f_beta_incomplete(x, a, b); }
double NormalInverse(double p) { return nml_d_normal_inverse_cdf(p); }
float NormalInverse(float p) { return nml_f_normal_inverse_cdf(p); }
double Betin(double p, double a, double b) { return nml_dbetin(p, a, b); }
float Betin(float p, float a, float b) { return nml_betin(p, a, b); }
double Min(double a, double b) { return nml_d_min(a, b); }
float Min(float a, float b) { return nml_f_min(a, b); }
double Max(double a, double b) { return nml_d_max(a, b); }
float Max(float a, float b) { return nml_f_max(a, b); }

// Coefficient tables of each precision.
struct Tables {
  static const double* Gam(double) { return kGAMCS; }
  static const float* Gam(float) { return kGAMCSf.data(); }
  static const double* Algm(double) { return kALGMCS; }
  static const float* Algm(float) { return kALGMCSf.data(); }
  static const double* Alnr(double) { return kALNRCS; }
  static const float* Alnr(float) { return kALNRCSf.data(); }
  static int AlnrTerms(double) { return kALNRCSTerms; }
  static int AlnrTerms(float) { return kALNRCSFloatTerms; }
};

int Terms(const double* cs, int n, float eta) { return nml_initds(cs, n, eta); }
int Terms(const float* cs, int n, float eta) { return nml_inits(cs, n, eta); }

void SetReal(int k, double v) { nml_error_set_double(k, v); }
// A message argument of the routine's own precision.
void SetOwn(int k, double v) { nml_error_set_double(k, v); }
void SetOwn(int k, float v) { nml_error_set_float(k, v); }

// sign(a, b): |a| with the sign of b (b >= 0 counts as positive).
template <class T>
T Sign(T a, T b) {
  return b >= 0 ? std::fabs(a) : -std::fabs(a);
}

// ---------------------------------------------------------------------------------------
// Chebyshev series

template <class T>
T Csevl(T x, const T* cs, int n) {
  nml_error_push_name("nml_csevl");
  T result = Mach<T>(6);
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 9001);
  } else if (n > 1000) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 9002);
  } else {
    if (x < T(-1.1) || x > T(1.1)) {
      SetReal(1, x);
      nml_error_post(NML_WARNING, 9003);
    }
    T b0 = 0, b1 = 0, b2 = 0;
    const T twox = 2 * x;
    for (int i = 1; i <= n; ++i) {
      b2 = b1;
      b1 = b0;
      b0 = twox * b1 - b2 + cs[n - i];
    }
    result = T(0.5) * (b0 - b2);
  }
  nml_error_pop_name("nml_csevl");
  return result;
}

template <class T>
int InitTerms(const char* name, const T* cs, int n, float eta) {
  nml_error_push_name(name);
  int result = 0;
  if (n < 1) {
    nml_error_set_int(1, n);
    nml_error_post(NML_TERMINAL, 9004);
  } else {
    float err = 0.0f;
    int i = n;
    for (int ii = 1; ii <= n; ++ii) {
      i = n + 1 - ii;
      err += std::fabs(static_cast<float>(cs[i - 1]));
      if (err > eta) break;
    }
    if (i == n) {
      nml_error_post(NML_TERMINAL, 9005);
    } else {
      result = i;
    }
  }
  nml_error_pop_name(name);
  return result;
}

// ---------------------------------------------------------------------------------------
// Error function

constexpr auto kERFCSf = ToFloat(kERFCS);
constexpr auto kERC2CSf = ToFloat(kERC2CS);
constexpr auto kERFCCSf = ToFloat(kERFCCS);

// The number of series terms each precision uses, computed once on first use and kept
// under a storage key of its own.
struct ErfCounts {
  int erf;     // ERFCS terms of erf
  int erfc;    // ERFCS terms of erfc
  int erfccs;  // ERFCCS terms
  int erc2cs;  // ERC2CS terms
};

// The series and public routines of one precision.
template <class T>
struct ErfSide;
template <>
struct ErfSide<double> {
  static constexpr double kSqrtPiT = kSqrtPi;
  static const double* Erfcs() { return kERFCS; }
  static const double* Erc2cs() { return kERC2CS; }
  static const double* Erfccs() { return kERFCCS; }
  static double Erfc(double x) { return nml_d_erfc(x); }
  static inline int once = 0, key = 0;
};
template <>
struct ErfSide<float> {
  static constexpr float kSqrtPiT = 1.7724539f;
  static const float* Erfcs() { return kERFCSf.data(); }
  static const float* Erc2cs() { return kERC2CSf.data(); }
  static const float* Erfccs() { return kERFCCSf.data(); }
  static float Erfc(float x) { return nml_f_erfc(x); }
  static inline int once = 0, key = 0;
};

template <class T>
ErfCounts* ErfState() {
  using S = ErfSide<T>;
  nml_once(&S::once, [] { nml_key_create(&S::key, std::free); });
  auto* s = static_cast<ErfCounts*>(nml_key_get(S::key));
  if (!s) {
    s = static_cast<ErfCounts*>(std::calloc(1, sizeof(ErfCounts)));
    if (!s || nml_key_set(S::key, s) != 0) {
      std::free(s);
      nml_error_post(NML_TERMINAL, 200);
      return nullptr;
    }
  }
  return s;
}

template <class T>
void l_erf(T x, T* result) {
  using S = ErfSide<T>;
  const T eps = Mach<T>(3);
  const T xbig = std::sqrt(-std::log(S::kSqrtPiT * eps));
  const T sqeps = std::sqrt(2 * eps);
  nml_error_push_name("l_erf");
  *result = Mach<T>(6);
  if (ErfCounts* st = ErfState<T>()) {
    if (st->erf == 0) st->erf = Terms(S::Erfcs(), kERFCSTerms, static_cast<float>(0.1 * eps));
    const T y = std::fabs(x);
    if (y <= 1) {
      *result = y <= sqeps ? 2 * x / S::kSqrtPiT
                           : x * (1 + nml_csevl(2 * x * x - 1, S::Erfcs(), st->erf));
    } else {
      *result = y <= xbig ? Sign(T(1) - S::Erfc(y), x) : Sign(T(1), x);
    }
  }
  nml_error_pop_name("l_erf");
}

template <class T>
void l_erfc(T x, T* result) {
  using S = ErfSide<T>;
  const T eps = Mach<T>(3);
  const T xsml = -std::sqrt(-std::log(S::kSqrtPiT * eps));
  const T txmax = std::sqrt(-std::log(S::kSqrtPiT * Mach<T>(1)));
  const T xmax = txmax - T(0.5) * std::log(txmax) / txmax - T(0.01);
  const T sqeps = std::sqrt(2 * eps);
  nml_error_push_name("l_erfc");
  *result = Mach<T>(6);
  ErfCounts* st = ErfState<T>();
  if (st) {
    if (st->erfc == 0) {
      const float eta = static_cast<float>(0.1 * eps);
      st->erfc = Terms(S::Erfcs(), kERFCSTerms, eta);
      st->erfccs = Terms(S::Erfccs(), kERFCCSTerms, eta);
      st->erc2cs = Terms(S::Erc2cs(), kERC2CSTerms, eta);
    }
    const T y = std::fabs(x);
    if (x <= xsml) {
      *result = 2;
    } else if (x > xmax) {
      SetOwn(1, x);
      SetOwn(2, xmax);
      nml_error_post(NML_ALERT, 9015);
      *result = 0;
    } else if (y <= 1) {
      *result = y < sqeps ? 1 - 2 * x / S::kSqrtPiT
                          : 1 - x * (1 + nml_csevl(2 * x * x - 1, S::Erfcs(), st->erfc));
    } else {
      const T y2 = y * y;
      T v;
      if (y2 <= 4) {
        v = std::exp(-y2) / std::fabs(x) *
            (T(0.5) + nml_csevl((8 / y2 - 5) / 3, S::Erc2cs(), st->erc2cs));
      } else {
        v = std::exp(-y2) / std::fabs(x) *
            (T(0.5) + nml_csevl(8 / y2 - 1, S::Erfccs(), st->erfccs));
      }
      if (x < 0) v = 2 - v;
      *result = v;
    }
  }
  nml_error_pop_name("l_erfc");
}

template <class T>
void l_normal_cdf(T x, T* result) {
  nml_error_push_name("l_normal_cdf");
  *result = T(0.5) * ErfSide<T>::Erfc(-x * T(0.7071067811865476));
  // A far lower tail underflows quietly to 0.
  if (nml_error_type(0) == NML_ALERT) nml_e1mes(0, 0, " ");
  nml_error_pop_name("l_normal_cdf");
}

template <class T>
void l_normal_inverse_cdf(T p, T* result) {
  const T A1 = T(-0.5751703), A2 = T(-1.896513), A3 = T(-0.05496261);
  const T B0 = T(-0.113773), B1 = T(-3.293474), B2 = T(-2.374996), B3 = T(-1.187515);
  const T C0 = T(-0.1146666), C1 = T(-0.1314774), C2 = T(-0.2368201), C3 = T(0.05073975);
  const T D0 = T(-44.27977), D1 = T(21.98546), D2 = T(-7.586103);
  const T E0 = T(-0.05668422), E1 = T(0.3937021), E2 = T(-0.3166501), E3 = T(0.06208963);
  const T F0 = T(-6.266786), F1 = T(4.666263), F2 = T(-2.962883);
  const T G0 = T(0.0001851159), G1 = T(-0.002028152), G2 = T(-0.1498384), G3 = T(0.01078639);
  const T H0 = T(0.09952975), H1 = T(0.5211733), H2 = T(-0.06888301);
  const T sqrt2 = T(1.4142135623730951);
  *result = Mach<T>(6);
  const T eps = Mach<T>(4);
  if (p <= 0 || p >= 1) {
    nml_error_push_name("l_normal_inverse_cdf");
    SetReal(1, p);
    nml_error_post(NML_TERMINAL, 9041);
    nml_error_pop_name("l_normal_inverse_cdf");
    return;
  }
  T f, w;
  bool gh = false;
  if (p <= eps || p >= 1 - 3 * eps) {
    const T a = p < T(0.5) ? 2 * p : 2 * (1 - p);
    w = std::sqrt(-std::log(a * (2 - a)));
    gh = true;
  } else {
    const T s = std::fabs(1 - 2 * p);
    if (s <= T(0.85)) {
      const T z = s * s;
      f = s + s * (B0 + A1 * z / (B1 + z + A2 / (B2 + z + A3 / (B3 + z))));
    } else {
      // 1 - s is the two-sided tail 2 min(p, 1 - p); taken from p itself it keeps the
      // digits that 1 - |1 - 2p| would cancel for small p.
      const T a = p < T(0.5) ? 2 * p : 2 * (1 - p);
      w = std::sqrt(-std::log(a * (2 - a)));
      if (w < T(2.5)) {
        f = w + w * (C0 + ((C3 * w + C2) * w + C1) * w / (((w + D2) * w + D1) * w + D0));
      } else if (w < 4) {
        f = w + w * (E0 + ((E3 * w + E2) * w + E1) * w / (((w + F2) * w + F1) * w + F0));
      } else {
        gh = true;
      }
    }
  }
  if (gh) {
    const T v = 1 / w;
    f = w + w * (G0 + ((G3 * v + G2) * v + G1) * v / (((v + H2) * v + H1) * v + H0));
  }
  *result = p >= T(0.5) ? sqrt2 * f : -sqrt2 * f;
}

// ---------------------------------------------------------------------------------------
// Gamma family

template <class T>
struct GammaRange {
  int once = 0;
  T xmin = 0;
  T xmax = 0;
};
GammaRange<double> g_rangeD;
GammaRange<float> g_rangeF;
GammaRange<double>& Range(double) { return g_rangeD; }
GammaRange<float>& Range(float) { return g_rangeF; }

template <class T>
void R9gaml(T* xmin, T* xmax) {
  nml_error_push_name("l_r9gaml");
  *xmin = *xmax = Mach<T>(6);
  const T alnsml = std::log(Mach<T>(1));
  T x = -alnsml;
  bool found = false;
  for (int i = 0; i < 10; ++i) {
    const T xold = x;
    const T xln = std::log(x);
    x = x - x * ((x + T(0.5)) * xln - x - T(0.2258) + alnsml) / (x * xln + T(0.5));
    if (std::fabs(x - xold) < T(0.005)) {
      found = true;
      break;
    }
  }
  if (!found) {
    nml_error_post(NML_FATAL, 9022);
    nml_error_pop_name("l_r9gaml");
    return;
  }
  *xmin = -x + T(0.01);
  const T alnbig = std::log(Mach<T>(2));
  x = alnbig;
  found = false;
  for (int i = 0; i < 10; ++i) {
    const T xold = x;
    const T xln = std::log(x);
    x = x - x * ((x - T(0.5)) * xln - x + T(0.9189) - alnbig) / (x * xln - T(0.5));
    if (std::fabs(x - xold) < T(0.005)) {
      found = true;
      break;
    }
  }
  if (!found) {
    nml_error_post(NML_FATAL, 9023);
    nml_error_pop_name("l_r9gaml");
    return;
  }
  *xmax = x - T(0.01);
  *xmin = std::max(*xmin, -*xmax + 1);
  nml_error_pop_name("l_r9gaml");
}

template <class T>
void GammaInit() {
  GammaRange<T>& r = Range(T());
  R9gaml(&r.xmin, &r.xmax);
}

template <class T>
T R9lgmc(T x) {
  const T eps = Mach<T>(3);
  const T huge = Mach<T>(2), tiny = Mach<T>(1);
  const int nalgm = Terms(Tables::Algm(T()), kALGMCSTerms, static_cast<float>(eps));
  const T xbig = 1 / std::sqrt(eps);
  const T xmax = std::exp(std::min(std::log(huge / 12), -std::log(12 * tiny)));
  nml_error_push_name("nml_r9lgmc");
  T result = Mach<T>(6);
  if (x < 10) {
    SetReal(1, x);
    SetReal(2, 10);
    nml_error_post(NML_FATAL, 60002);
  } else if (x >= xmax) {
    result = 0;
    SetReal(1, x);
    SetReal(2, xmax);
    nml_error_post(NML_ALERT, 9015);
  } else if (x < xbig) {
    result = nml_csevl(static_cast<T>(2 * std::pow(10 / x, 2) - 1), Tables::Algm(T()), nalgm) / x;
  } else {
    result = 1 / (12 * x);
  }
  nml_error_pop_name("nml_r9lgmc");
  return result;
}

// x within dxrel of a negative integer: fewer than half the digits are good.
template <class T>
void NearNegativeInteger(T x, T scale, T dxrel) {
  if (std::fabs((x - std::trunc(x - T(0.5))) * scale / x) < dxrel) {
    SetReal(1, x);
    nml_error_post(NML_WARNING, 9020);
  }
}

template <class T>
void l_gamma(T x, T* result) {
  const T eps = Mach<T>(3);
  const int ngam = Terms(Tables::Gam(T()), kGAMCSTerms, static_cast<float>(0.1 * eps));
  const T dxrel = std::sqrt(Mach<T>(4));
  const T xsml = std::exp(std::max(std::log(Mach<T>(1)), -std::log(Mach<T>(2))) + T(0.01));
  nml_error_push_name("l_gamma");
  *result = Mach<T>(6);
  GammaRange<T>& range = Range(T());
  nml_once(&range.once, GammaInit<T>);
  T y = std::fabs(x);
  if (y <= 10) {
    int n = static_cast<int>(x);
    if (x < 0) --n;
    y = x - n;
    --n;
    T g = T(0.9375) + nml_csevl(2 * y - 1, Tables::Gam(T()), ngam);
    if (n == 0) {
      *result = g;
    } else if (n < 0) {
      n = -n;
      if (x == 0) {
        nml_error_post(NML_TERMINAL, 9024);
      } else if (std::fabs(x) < xsml) {
        SetReal(1, x);
        nml_error_post(NML_FATAL, 9011);
      } else if (x < 0 && x + static_cast<T>(n - 2) == 0) {
        SetReal(1, x);
        nml_error_post(NML_TERMINAL, 9006);
      } else {
        if (x < T(-0.5)) NearNegativeInteger(x, T(1), dxrel);
        // x + (i - 1), not (x + i) - 1: the latter rounds away digits of a small x.
        for (int i = 1; i <= n; ++i) g /= (x + static_cast<T>(i - 1));
        *result = g;
      }
    } else {
      for (int i = 1; i <= n; ++i) g *= (y + i);
      *result = g;
    }
  } else if (x > range.xmax) {
    SetReal(1, x);
    SetReal(2, range.xmax);
    nml_error_post(NML_FATAL, 9009);
  } else if (x < range.xmin) {
    SetReal(1, x);
    SetReal(2, range.xmin);
    nml_error_post(NML_ALERT, 9014);
    *result = 0;
  } else {
    const T g = std::exp((y - T(0.5)) * std::log(y) - y + T(kLnSqrt2Pi) + nml_r9lgmc(y));
    if (x > 0) {
      *result = g;
    } else {
      NearNegativeInteger(x, T(1), dxrel);
      const T s = std::sin(T(kPi) * y);
      // sin(pi y) of an integer y is not exactly 0 in floating point; the pole is tested
      // on y itself.
      if (s == 0 || y == std::trunc(y)) {
        SetReal(1, x);
        nml_error_post(NML_FATAL, 9021);
      } else {
        *result = -T(kPi) / (y * s * g);
      }
    }
  }
  nml_error_pop_name("l_gamma");
}

template <class T>
void l_log_gamma(T x, T* result) {
  const T xmax = Mach<T>(2) / std::log(Mach<T>(2));
  const T dxrel = std::sqrt(Mach<T>(4));
  nml_error_push_name("l_log_gamma");
  *result = Mach<T>(6);
  const T y = std::fabs(x);
  if (y <= 10) {
    *result = std::log(std::fabs(Gamma(x)));
  } else if (y > xmax) {
    SetReal(1, x);
    SetReal(2, xmax);
    nml_error_post(NML_FATAL, 9013);
  } else if (x > 0) {
    *result = T(kLnSqrt2Pi) + (x - T(0.5)) * std::log(x) - x + nml_r9lgmc(y);
  } else {
    const T s = std::fabs(std::sin(T(kPi) * y));
    if (s == 0 || y == std::trunc(y)) {
      SetReal(1, x);
      nml_error_post(NML_FATAL, 9006);
    } else {
      const T r = T(kLnSqrtPiOver2) + (x - T(0.5)) * std::log(y) - x - std::log(s) - nml_r9lgmc(y);
      NearNegativeInteger(x, r, dxrel);
      *result = r;
    }
  }
  nml_error_pop_name("l_log_gamma");
}

template <class T>
void l_log_beta(T a, T b, T* result) {
  nml_error_push_name("l_log_beta");
  *result = Mach<T>(6);
  const T p = Min(a, b);
  const T q = Max(a, b);
  if (p <= 0) {
    nml_error_post(NML_TERMINAL, 9038);
  } else if (p >= 10) {
    const T corr = nml_r9lgmc(p) + nml_r9lgmc(q) - nml_r9lgmc(p + q);
    *result = T(-0.5) * std::log(q) + T(kLnSqrt2Pi) + corr + (p - T(0.5)) * std::log(p / (p + q)) +
              q * l_alnrel(-p / (p + q));
  } else if (q >= 10) {
    const T corr = nml_r9lgmc(q) - nml_r9lgmc(p + q);
    *result = LogGamma(p) + corr + p - p * std::log(p + q) + (q - T(0.5)) * l_alnrel(-p / (p + q));
  } else {
    *result = std::log(Gamma(p) * (Gamma(q) / Gamma(p + q)));
  }
  nml_error_pop_name("l_log_beta");
}

template <class T>
T Alnrel(T x) {
  const T xmin = -1 + std::sqrt(Mach<T>(4));
  const int nlnrel =
      Terms(Tables::Alnr(T()), Tables::AlnrTerms(T()), static_cast<float>(0.1 * Mach<T>(3)));
  nml_error_push_name("l_alnrel");
  T result = Mach<T>(6);
  if (x <= -1) {
    SetReal(1, x);
    nml_error_post(NML_TERMINAL, 9039);
  } else {
    result = std::fabs(x) <= T(0.375)
                 ? x * (1 - x * nml_csevl(static_cast<T>(x / T(0.375)), Tables::Alnr(T()), nlnrel))
                 : std::log(1 + x);
    if (x < xmin) {
      SetReal(1, x);
      SetReal(2, xmin);
      nml_error_post(NML_WARNING, 9040);
    }
  }
  nml_error_pop_name("l_alnrel");
  return result;
}

template <class T>
T Public(const char* name, void (*body)(T, T*), T x) {
  T result = Mach<T>(6);
  nml_public(name, [&] { body(x, &result); });
  return result;
}

}  // namespace

double nml_csevl(double x, const double* cs, int n) { return Csevl(x, cs, n); }
float nml_csevl(float x, const float* cs, int n) { return Csevl(x, cs, n); }
int nml_initds(const double* cs, int n, float eta) { return InitTerms("nml_initds", cs, n, eta); }
int nml_inits(const float* cs, int n, float eta) { return InitTerms("nml_inits", cs, n, eta); }

double nml_d_erf(double x) { return Public("nml_d_erf", l_erf<double>, x); }
double nml_d_erfc(double x) { return Public("nml_d_erfc", l_erfc<double>, x); }
double nml_d_normal_cdf(double x) { return Public("nml_d_normal_cdf", l_normal_cdf<double>, x); }
float nml_f_erf(float x) { return Public("nml_f_erf", l_erf<float>, x); }
float nml_f_erfc(float x) { return Public("nml_f_erfc", l_erfc<float>, x); }
float nml_f_normal_cdf(float x) { return Public("nml_f_normal_cdf", l_normal_cdf<float>, x); }
float nml_f_normal_inverse_cdf(float p) {
  return Public("nml_f_normal_inverse_cdf", l_normal_inverse_cdf<float>, p);
}
double nml_d_normal_inverse_cdf(double p) {
  return Public("nml_d_normal_inverse_cdf", l_normal_inverse_cdf<double>, p);
}

float nml_f_gamma(float x) { return Public("nml_f_gamma", l_gamma<float>, x); }
double nml_d_gamma(double x) { return Public("nml_d_gamma", l_gamma<double>, x); }
float nml_f_log_gamma(float x) { return Public("nml_f_log_gamma", l_log_gamma<float>, x); }
double nml_d_log_gamma(double x) { return Public("nml_d_log_gamma", l_log_gamma<double>, x); }

float nml_f_log_beta(float a, float b) {
  float result = nml_amach(6);
  nml_public("nml_f_log_beta", [&] { l_log_beta(a, b, &result); });
  return result;
}
double nml_d_log_beta(double a, double b) {
  double result = nml_dmach(6);
  nml_public("nml_d_log_beta", [&] { l_log_beta(a, b, &result); });
  return result;
}

float l_alnrel(float x) { return Alnrel(x); }
double l_alnrel(double x) { return Alnrel(x); }
void l_r9gaml(float* xmin, float* xmax) { R9gaml(xmin, xmax); }
void l_r9gaml(double* xmin, double* xmax) { R9gaml(xmin, xmax); }
float nml_r9lgmc(float x) { return R9lgmc(x); }
double nml_r9lgmc(double x) { return R9lgmc(x); }

void l_d_gamma_init() { GammaInit<double>(); }
void l_f_gamma_init() { GammaInit<float>(); }
void l_gamma_range(double* xmin, double* xmax) {
  nml_once(&g_rangeD.once, l_d_gamma_init);
  *xmin = g_rangeD.xmin;
  *xmax = g_rangeD.xmax;
}
void l_gamma_range(float* xmin, float* xmax) {
  nml_once(&g_rangeF.once, l_f_gamma_init);
  *xmin = g_rangeF.xmin;
  *xmax = g_rangeF.xmax;
}

// ---------------------------------------------------------------------------------------
// Incomplete beta function and its inverse, Student's t and chi-squared distributions

namespace {

template <class T>
void l_beta_incomplete(T x, T a, T b, T* result) {
  const T eps = Mach<T>(3);
  const T alneps = std::log(eps);
  const T sml = Mach<T>(1);
  const T alnsml = T(0.95) * std::log(sml);
  nml_error_push_name("l_beta_incomplete");
  *result = Mach<T>(6);
  if (x < 0 || x > 1) {
    nml_error_set_string(1, "x");
    SetReal(1, 0);
    SetReal(2, 1);
    SetReal(3, x);
    nml_error_post(NML_TERMINAL, 120);
  }
  if (a <= 0 || b <= 0) {
    SetReal(1, a);
    SetReal(2, b);
    nml_error_post(NML_TERMINAL, 9031);
  }
  if (nml_error_type(0) == NML_TERMINAL) {
    nml_error_pop_name("l_beta_incomplete");
    return;
  }
  T y = x, p = a, q = b;
  bool swapped = false;
  if (!((q <= p && x < T(0.8)) || x < T(0.2))) {
    y = 1 - y;
    p = b;
    q = a;
    swapped = true;
  }
  T r;
  if ((p + q) * y / (p + 1) < eps) {
    r = 0;
    const T xb = p * std::log(std::max(y, sml)) - std::log(p) - LogBeta(p, q);
    if (xb > alnsml && y != 0) r = std::exp(xb);
    if (swapped) r = 1 - r;
    *result = r;
    nml_error_pop_name("l_beta_incomplete");
    return;
  }
  // Infinite sum
  T ps = q - std::trunc(q);
  if (ps == 0) ps = 1;
  T xb = p * std::log(y) - LogBeta(ps, p) - std::log(p);
  r = 0;
  if (xb >= alnsml) {
    r = std::exp(xb);
    T term = r * p;
    if (ps != 1) {
      const int n = static_cast<int>(std::max(alneps / std::log(y), T(4)));
      for (int i = 1; i <= n; ++i) {
        term = term * (i - ps) * y / i;
        r += term / (p + i);
      }
    }
  }
  // Finite sum
  if (q > 1) {
    xb = p * std::log(y) + q * std::log(1 - y) - LogBeta(p, q) - std::log(q);
    int ib = static_cast<int>(std::max(xb / alnsml, T(0)));
    T term = std::exp(xb - ib * alnsml);
    const T c = 1 / (1 - y);
    const T p1 = q * c / (p + q - 1);
    T finsum = 0;
    int n = static_cast<int>(q);
    if (q == static_cast<T>(n)) --n;
    for (int i = 1; i <= n; ++i) {
      if (p1 <= 1 && term / eps <= finsum) break;
      term = (q - i + 1) * c * term / (p + q - i);
      if (term > 1) {
        --ib;
        term *= sml;
      }
      if (ib == 0) finsum += term;
    }
    r += finsum;
  }
  if (swapped) r = 1 - r;
  *result = std::max(std::min(r, T(1)), T(0));
  nml_error_pop_name("l_beta_incomplete");
}

template <class T>
T BetaInverse(const char* name, T p, T a, T b) {
  nml_error_push_name(name);
  T result = Mach<T>(6);
  auto done = [&] {
    nml_error_pop_name(name);
    return result;
  };
  if (a <= 0) {
    SetReal(1, a);
    nml_error_post(NML_TERMINAL, 9044);
    return done();
  }
  if (b <= 0) {
    SetReal(1, b);
    nml_error_post(NML_TERMINAL, 9045);
    return done();
  }
  if (p <= 0 || p >= 1) {
    SetReal(1, p);
    nml_error_post(NML_TERMINAL, 9046);
    return done();
  }
  const T eps = Mach<T>(4);
  const T alnsml10 = std::log(Mach<T>(1)) + 10;
  const T lo0 = std::min(a, b), hi0 = std::max(a, b);
  if (lo0 > 1 && hi0 < 10 * lo0) {
    T lo = 0, hi = 1, flo = -p;
    for (int it = 0; it < 31; ++it) {
      const T mid = (lo + hi) / 2;
      const T f = BetaInc(mid, a, b) - p;
      if (f * flo > 0) {
        lo = mid;
        flo = f;
      } else {
        hi = mid;
      }
      if (hi - lo <= eps && std::fabs(f) <= eps) {
        result = mid;
        return done();
      }
    }
  }
  T lp, aa, bb;
  if (p > T(0.5)) {
    lp = std::log(1 - p);
    aa = b;
    bb = a;
  } else {
    lp = std::log(p);
    aa = a;
    bb = b;
  }
  T r = aa / (aa + bb);
  const T s = aa + bb;
  const T c = LogGamma(s) - LogGamma(aa) - LogGamma(bb) - s * std::log(s) +
              (aa - T(0.5)) * std::log(aa) + (bb - T(0.5)) * std::log(bb) +
              T(0.5) * std::log(bb / aa) + aa * std::log(1 + bb / aa) + bb * std::log(1 + aa / bb);
  T previousStep = 1;
  for (int it = 0; it < 100; ++it) {
    // Continued fraction at r
    const T m = std::max(s * r - aa, T(0)) + T(0.7) * std::pow(std::log(aa + 15 + bb), 2);
    const T q = aa + 2 * m;
    int k = static_cast<int>(m) + 1;
    const T u = 1 - s * r / q;
    T cf = 2 / (u + std::sqrt(u * u - 4 * m * (m - bb) * r / (q * q)));
    for (k = k - 1; k >= 1; --k) {
      const T q2 = aa + 2 * k;
      cf = (q2 - 2) * ((q2 - 1) - (k - bb) * k * r * cf / q2);
      const T g = aa + k - 1;
      cf = 1 / (1 - (g + bb) * g * r / cf);
    }
    const T lr = std::log(r);
    if (lr <= alnsml10) {
      result = p > T(0.5) ? 1 : 0;
      return done();
    }
    const T f = aa * lr + c + bb * std::log(1 - r) + std::log(cf);
    T d = (lp - f) * (1 - r) * cf / aa;
    d = std::max(d, T(-0.99));
    d = std::min(d, T(0.5) / r - T(0.5));
    r = (1 + d) * r;
    // The Newton steps shrink quadratically until the rounding of f (a sum of logarithms)
    // stops them, often a few times above eps: a small step that no longer shrinks has
    // reached that floor, and counts as convergence rather than as a failure to converge.
    const bool floor = std::fabs(d) < std::sqrt(eps) && std::fabs(d) >= std::fabs(previousStep);
    previousStep = d;
    if (std::fabs(d) < eps || floor) {
      result = p > T(0.5) ? 1 - r : r;
      return done();
    }
  }
  const T x = p > T(0.5) ? 1 - r : r;
  SetReal(1, p);
  SetReal(2, x);
  nml_error_post(NML_WARNING, 9047);
  result = x;
  return done();
}

template <class T>
void l_t_inverse_cdf(T p, T df, T* result) {
  const T halfpi = T(1.570796);
  nml_error_push_name("l_t_inverse_cdf");
  *result = Mach<T>(6);
  const T eps = Mach<T>(4);
  auto done = [] { nml_error_pop_name("l_t_inverse_cdf"); };
  if (df < 1) {
    SetReal(1, df);
    nml_error_post(NML_TERMINAL, 9042);
    return done();
  }
  if (p <= 0 || p >= 1) {
    SetReal(1, p);
    nml_error_post(NML_TERMINAL, 9043);
    return done();
  }
  if (p > T(0.5) - eps && p < T(0.5) + eps) {
    *result = 0;
    return done();
  }
  const T pp = p < T(0.5) ? 2 * p : 2 * (1 - p);
  T t;
  if (std::fabs(df - 2) <= eps) {
    t = std::sqrt(2 / (pp * (2 - pp)) - 2);
  } else if (std::fabs(df - 1) <= eps) {
    t = std::cos(pp * halfpi) / std::sin(pp * halfpi);
  } else if (df < 2) {
    const T x = Betin(pp, df / 2, T(0.5));
    if (x == 0) {
      *result = Mach<T>(7);
      nml_error_post(NML_FATAL, 9008);
      return done();
    }
    t = std::sqrt((1 / x - 1) * df);
  } else {
    // Hill's approximation (algorithm 396 of the Communications of the ACM)
    const T a = 1 / (df - T(0.5));
    const T b = 48 / (a * a);
    T c = ((20700 * a / b - 98) * a - 16) * a + T(96.36);
    const T d = ((T(94.5) / (b + c) - 3) / b + 1) * std::sqrt(a * halfpi) * df;
    T x = d * pp;
    T y = std::pow(x, 2 / df);
    if (y > T(0.05) + a) {
      x = NormalInverse(pp / 2);
      y = x * x;
      if (df < 5) c = c + T(0.3) * (df - T(4.5)) * (x + T(0.6));
      c = (((T(0.05) * d * x - 5) * x - 7) * x - 2) * x + b + c;
      y = (((((T(0.4) * y + T(6.3)) * y + 36) * y + T(94.5)) / c - y - 3) / b + 1) * x;
      y = a * y * y;
      y = y > T(0.002) ? std::exp(y) - 1 : T(0.5) * y * y + y;
    } else {
      y = ((1 / (((df + 6) / (df * y) - T(0.089) * d - T(0.822)) * (df + 2) * 3) +
            T(0.5) / (df + 4)) *
               y -
           1) *
              (df + 1) / (df + 2) +
          1 / y;
    }
    t = std::sqrt(df * y);
  }
  *result = p < T(0.5) ? -t : t;
  done();
}

void l_chi_squared_cdf(double x, double df, double* result) {
  nml_error_push_name("l_chi_squared_cdf");
  const double eps = nml_dmach(4);
  *result = nml_dmach(6);
  auto done = [] { nml_error_pop_name("l_chi_squared_cdf"); };
  if (x < 0) {
    SetReal(1, x);
    nml_error_set_string(1, "chi_squared");
    nml_error_post(NML_NOTE, 9055);
    *result = 0;
  }
  if (df < 0.5) {
    SetReal(1, df);
    nml_error_post(NML_TERMINAL, 9051);
    *result = nml_dmach(6);
    return done();
  }
  if (x < 0) return done();
  if (x <= 1e-12) {
    *result = 0;
    return done();
  }
  if (df > 65) {
    // Wilson-Hilferty
    if (x < 2) {
      *result = 0;
      return done();
    }
    const double t = (std::cbrt(x / df) - (1 - (2.0 / 9) / df)) / std::sqrt((2.0 / 9) / df);
    if (t > 5) {
      *result = 1;
    } else if (t < -18.8055) {
      nml_error_post(NML_ALERT, 9019);
      *result = 0;
    } else {
      *result = nml_d_normal_cdf(t);
    }
    return done();
  }
  if (x > 200) {
    *result = 1;
    return done();
  }
  const double a = df / 2, z = x / 2;
  const double g = nml_d_gamma(a);
  const double w = std::max(a / 2, 13.0);
  if (z < w) {
    if (df > 25 && x < 2) {
      *result = 0;
      return done();
    }
    double term = 1 / (g * a);
    double s = term;
    for (int i = 1; i <= 50; ++i) {
      term = term * z / (a + i);
      if (eps * s >= term) break;
      s += term;
    }
    *result = std::exp(a * std::log(z) - z) * s;
  } else {
    const double zr = 1 / z;
    double ap = a - 1;
    double term = ap * zr;
    double s = 1 + term;
    for (int i = 2; i <= 50; ++i) {
      ap -= 1;
      term = ap * zr * term;
      if (eps * s >= term) break;
      s += term;
    }
    *result = 1 - std::exp(a * std::log(z) - z) * s * zr / g;
  }
  done();
}

void l_chi_squared_inverse_cdf(double p, double df, double* result) {
  nml_error_push_name("l_chi_squared_inverse_cdf");
  *result = nml_dmach(6);
  auto done = [] { nml_error_pop_name("l_chi_squared_inverse_cdf"); };
  if (p <= 0 || p >= 1) {
    SetReal(1, p);
    nml_error_post(NML_TERMINAL, 9043);
  }
  if (df < 0.5) {
    SetReal(1, df);
    nml_error_post(NML_TERMINAL, 9051);
  }
  if (nml_error_type(0) == NML_TERMINAL) return done();
  const double tol = 10 * nml_dmach(4);
  auto F = [df, p](double x) { return nml_d_chi_squared_cdf(x, df) - p; };
  const double z = nml_d_normal_inverse_cdf(p);
  const double c = 2 / (9 * df);
  double x0 = df * std::pow(1 - c + z * std::sqrt(c), 3);
  if (x0 < 0) x0 = 0;
  double f0 = F(x0);
  if (f0 == 0) {
    *result = x0;
    return done();
  }
  double x1, h;
  if (std::fabs(x0) >= 1) {
    x1 = 1.05 * x0;
    h = x1 - x0;
  } else {
    x1 = x0 + 0.05;
    h = 0.05;
  }
  if (x1 < 0) x1 = 0;
  const double slope = std::max(0.01, (F(x1) - f0) / h);
  double step = -f0 / slope;
  double x = x0, f = f0;
  bool bracketed = false;
  for (int it = 0; it < 100; ++it) {
    step *= 2;
    x = std::max(x0 + step, 0.0);
    f = F(x);
    if (f0 * f < 0) {
      bracketed = true;
      break;
    }
    x0 = x;
  }
  if (!bracketed) {
    SetReal(1, p);
    SetReal(2, df);
    SetReal(3, x);
    nml_error_post(NML_WARNING, 9052);
    return done();
  }
  // Illinois form of false position
  bool bisect = false;
  for (int it = 0; it < 100; ++it) {
    const double mid = (x0 + x) / 2;
    const double d = x - x0;
    if (mid == 0 ? std::fabs(d) < tol : std::fabs(d / mid) < tol) {
      *result = mid;
      return done();
    }
    double next = bisect ? mid : x - f * d / (f - f0);
    bisect = false;
    if (next < 0) next = 0;
    const double fn = F(next);
    if (fn * f <= 0) {
      x0 = x;
      f0 = f;
      x = next;
      f = fn;
    } else {
      x = next;
      f = fn;
      f0 /= 2;
      if (std::fabs(f0) < std::fabs(fn)) {
        f0 *= 2;
        bisect = true;
      }
    }
  }
  nml_error_post(NML_WARNING, 9053);
  *result = (x0 + x) / 2;
  done();
}

}  // namespace

float nml_f_beta_incomplete(float x, float a, float b) {
  float result = nml_amach(6);
  nml_public("nml_f_beta_incomplete", [&] { l_beta_incomplete(x, a, b, &result); });
  return result;
}
double nml_d_beta_incomplete(double x, double a, double b) {
  double result = nml_dmach(6);
  nml_public("nml_d_beta_incomplete", [&] { l_beta_incomplete(x, a, b, &result); });
  return result;
}
float nml_betin(float p, float a, float b) { return BetaInverse("nml_betin", p, a, b); }
double nml_dbetin(double p, double a, double b) { return BetaInverse("nml_dbetin", p, a, b); }

float nml_f_t_inverse(float p, float df) {
  float result = nml_amach(6);
  nml_public("nml_f_t_inverse", [&] { l_t_inverse_cdf(p, df, &result); });
  return result;
}
double nml_d_t_inverse(double p, double df) {
  double result = nml_dmach(6);
  nml_public("nml_d_t_inverse", [&] { l_t_inverse_cdf(p, df, &result); });
  return result;
}
double nml_d_chi_squared_cdf(double x, double df) {
  double result = nml_dmach(6);
  nml_public("nml_d_chi_squared_cdf", [&] { l_chi_squared_cdf(x, df, &result); });
  return result;
}
double nml_d_chi_squared_inverse_cdf(double p, double df) {
  double result = nml_dmach(6);
  nml_public("nml_d_chi_squared_inverse_cdf", [&] { l_chi_squared_inverse_cdf(p, df, &result); });
  return result;
}
