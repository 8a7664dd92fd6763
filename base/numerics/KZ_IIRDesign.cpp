#include "base/numerics/KZ_IIRDesign.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Runtime.h"

namespace {

constexpr int kWidth = 4;
constexpr double kTwoPi = 6.2831853;
constexpr double kTwoPiSquared = 39.4784175141361;

inline double Mod2(const KZ_Complex& r) { return r.real() * r.real() + r.imag() * r.imag(); }

enum class Kind { CP, CPZ, SP, Other };

Kind TypeAt(const char* types, int width, int k) {
  const char* t = types + k * width;
  if (t[0] == 'C' && t[1] == 'P') return t[2] == 'Z' ? Kind::CPZ : Kind::CP;
  if (t[0] == 'S' && t[1] == 'P') return Kind::SP;
  return Kind::Other;
}

void SetSection(double* s, int k, double c0, double c1, double c2) {
  s[3 * k] = c0;
  s[3 * k + 1] = c1;
  s[3 * k + 2] = c2;
}

KZ_Complex Pow(const KZ_Complex& c, double q) { return KZ_ComplexPow(c.real(), c.imag(), q); }

// The two roots (B r +- sqrt((B r)^2 - 4A)) / 2 of a band transform.
void SplitRoot(const KZ_Complex& r, double A, double B, KZ_Complex* r1, KZ_Complex* r2) {
  const KZ_Complex br = B * r;
  const KZ_Complex q = Pow(Pow(br, 2.0) - 4.0 * A, 0.5);
  *r1 = (br + q) / 2.0;
  *r2 = (br - q) / 2.0;
}

bool Starts(const char* text, const char* two) {
  return text && std::strlen(text) >= 2 && text[0] == two[0] && text[1] == two[1];
}

}  // namespace

KZ_Complex KZ_ComplexExp(double x, double y) {
  const double m = (x == 0.0) ? 1.0 : std::exp(x);
  if (y == 0.0) return KZ_Complex(m, 0.0);
  return KZ_Complex(m * std::cos(y), m * std::sin(y));
}

KZ_Complex KZ_ComplexPow(double x, double y, double q) {
  if (x == 0.0 && y == 0.0) return KZ_Complex(0.0, 0.0);
  const double r = std::log(std::sqrt(x * x + y * y));
  const double t = std::atan2(y, x);
  return KZ_ComplexExp(q * r, q * t);
}

void KZ_ProtoToLowPass(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                       double dcvalue, int nsects, double sn[], double sd[]) {
  for (int k = 0; k < nsects; ++k) {
    switch (TypeAt(types, width, k)) {
      case Kind::CPZ: {
        const double g = Mod2(p[k]) / Mod2(z[k]);
        SetSection(sn, k, Mod2(z[k]) * g, -2.0 * z[k].real() * g, g);
        SetSection(sd, k, Mod2(p[k]), -2.0 * p[k].real(), 1.0);
        break;
      }
      case Kind::CP:
        SetSection(sn, k, Mod2(p[k]), 0.0, 0.0);
        SetSection(sd, k, Mod2(p[k]), -2.0 * p[k].real(), 1.0);
        break;
      case Kind::SP:
        SetSection(sn, k, -p[k].real(), 0.0, 0.0);
        SetSection(sd, k, -p[k].real(), 1.0, 0.0);
        break;
      case Kind::Other:
        break;
    }
  }
  if (nsects > 0)
    for (int i = 0; i < 3; ++i) sn[i] *= dcvalue;
}

void KZ_ProtoToHighPass(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                        double dcvalue, int nsects, double sn[], double sd[]) {
  for (int k = 0; k < nsects; ++k) {
    switch (TypeAt(types, width, k)) {
      case Kind::CPZ: {
        const double g = Mod2(p[k]) / Mod2(z[k]);
        SetSection(sn, k, g, -2.0 * z[k].real() * g, Mod2(z[k]) * g);
        SetSection(sd, k, 1.0, -2.0 * p[k].real(), Mod2(p[k]));
        break;
      }
      case Kind::CP:
        SetSection(sn, k, 0.0, 0.0, Mod2(p[k]));
        SetSection(sd, k, 1.0, -2.0 * p[k].real(), Mod2(p[k]));
        break;
      case Kind::SP:
        SetSection(sn, k, 0.0, -p[k].real(), 0.0);
        SetSection(sd, k, 1.0, -p[k].real(), 0.0);
        break;
      case Kind::Other:
        break;
    }
  }
  if (nsects > 0)
    for (int i = 0; i < 3; ++i) sn[i] *= dcvalue;
}

void KZ_ProtoToBandPass(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                        double dcvalue, int* nsects, double fl, double fh, double sn[],
                        double sd[]) {
  const double A = kTwoPiSquared * fl * fh;
  const double B = kTwoPi * (fh - fl);
  const int roots = *nsects;
  int ns = 0;
  for (int k = 0; k < roots; ++k) {
    const Kind kind = TypeAt(types, width, k);
    if (kind == Kind::CPZ || kind == Kind::CP) {
      KZ_Complex p1, p2;
      SplitRoot(p[k], A, B, &p1, &p2);
      if (kind == Kind::CPZ) {
        KZ_Complex s1, s2;
        SplitRoot(z[k], A, B, &s1, &s2);
        SetSection(sn, ns, Mod2(s1), -2.0 * s1.real(), 1.0);
        SetSection(sd, ns, Mod2(p1), -2.0 * p1.real(), 1.0);
        ++ns;
        SetSection(sn, ns, Mod2(s2), -2.0 * s2.real(), 1.0);
        SetSection(sd, ns, Mod2(p2), -2.0 * p2.real(), 1.0);
        ++ns;
      } else {
        SetSection(sn, ns, 0.0, B, 0.0);
        SetSection(sd, ns, Mod2(p1), -2.0 * p1.real(), 1.0);
        ++ns;
        SetSection(sn, ns, 0.0, B, 0.0);
        SetSection(sd, ns, Mod2(p2), -2.0 * p2.real(), 1.0);
        ++ns;
      }
    } else if (kind == Kind::SP) {
      SetSection(sn, ns, 0.0, B, 0.0);
      SetSection(sd, ns, A, -B * p[k].real(), 1.0);
      ++ns;
    }
  }
  *nsects = ns;
  // Gain at the centre frequency = the prototype's d.c. gain.
  const KZ_Complex s(0.0, std::sqrt(A));
  KZ_Complex h(1.0, 0.0);
  for (int k = 0; k < ns; ++k)
    h *= (sn[3 * k] + sn[3 * k + 1] * s + sn[3 * k + 2] * s * s) /
         (sd[3 * k] + sd[3 * k + 1] * s + sd[3 * k + 2] * s * s);
  if (ns > 0)
    for (int i = 0; i < 3; ++i) sn[i] *= dcvalue / std::abs(h);
}

void KZ_ProtoToBandReject(const KZ_Complex p[], const KZ_Complex z[], const char* types, int width,
                          double dcvalue, int* nsects, double fl, double fh, double sn[],
                          double sd[]) {
  const double A = kTwoPiSquared * fl * fh;
  const double B = kTwoPi * (fh - fl);
  const int roots = *nsects;
  int ns = 0;
  for (int k = 0; k < roots; ++k) {
    const Kind kind = TypeAt(types, width, k);
    if (kind == Kind::CPZ || kind == Kind::CP) {
      KZ_Complex p1, p2;
      SplitRoot(1.0 / p[k], A, B, &p1, &p2);
      if (kind == Kind::CPZ) {
        KZ_Complex s1, s2;
        SplitRoot(1.0 / z[k], A, B, &s1, &s2);
        SetSection(sn, ns, Mod2(s1), -2.0 * s1.real(), 1.0);
        SetSection(sd, ns, Mod2(p1), -2.0 * p1.real(), 1.0);
        ++ns;
        SetSection(sn, ns, Mod2(s2), -2.0 * s2.real(), 1.0);
        SetSection(sd, ns, Mod2(p2), -2.0 * p2.real(), 1.0);
        ++ns;
      } else {
        SetSection(sn, ns, A, 0.0, 1.0);
        SetSection(sd, ns, Mod2(p1), -2.0 * p1.real(), 1.0);
        ++ns;
        SetSection(sn, ns, A, 0.0, 1.0);
        SetSection(sd, ns, Mod2(p2), -2.0 * p2.real(), 1.0);
        ++ns;
      }
    } else if (kind == Kind::SP) {
      SetSection(sn, ns, A, 0.0, 1.0);
      SetSection(sd, ns, -A * p[k].real(), B, -p[k].real());
      ++ns;
    }
  }
  *nsects = ns;
  // D.c. gain = the prototype's d.c. gain.
  double h = 1.0;
  for (int k = 0; k < ns; ++k) h *= sn[3 * k] / sd[3 * k];
  if (ns > 0)
    for (int i = 0; i < 3; ++i) sn[i] *= dcvalue / std::fabs(h);
}

void KZ_IIRScaleCutoff(double sn[], double sd[], int nsects, double f) {
  const double w = kTwoPi * f;
  for (int k = 0; k < nsects; ++k) {
    sn[3 * k + 1] /= w;
    sd[3 * k + 1] /= w;
    sn[3 * k + 2] /= w * w;
    sd[3 * k + 2] /= w * w;
  }
}

void KZ_IIRBilinear(double sn[], double sd[], int nsects) {
  for (int k = 0; k < nsects; ++k) {
    double* a = sd + 3 * k;
    double* b = sn + 3 * k;
    const double a0 = a[0], a1 = a[1], a2 = a[2];
    const double c = a0 + a1 + a2;
    a[0] = 1.0;
    a[1] = 2.0 * (a0 - a2) / c;
    a[2] = (a0 - a1 + a2) / c;
    const double b0 = b[0], b1 = b[1], b2 = b[2];
    b[0] = (b0 + b1 + b2) / c;
    b[1] = 2.0 * (b0 - b2) / c;
    b[2] = (b0 - b1 + b2) / c;
  }
}

int KZ_IIRDesign(int order, const char* band, const char* proto, double a, double trbndw, double fl,
                 double fh, double ts, double sn[], double sd[], int* nsects) {
  KZ_Complex p[KZ_IIR_MAX_ROOTS];
  KZ_Complex z[KZ_IIR_MAX_ROOTS];
  char types[KZ_IIR_MAX_ROOTS * kWidth];
  std::memset(types, 0, sizeof types);
  double dcvalue = 1.0;
  int ns = 0;

  enum class Proto { BU, BE, C1, C2, None } kind = Proto::None;
  if (Starts(proto, "BU"))
    kind = Proto::BU;
  else if (Starts(proto, "BE"))
    kind = Proto::BE;
  else if (Starts(proto, "C1"))
    kind = Proto::C1;
  else if (Starts(proto, "C2"))
    kind = Proto::C2;
  if (kind == Proto::None) {
    char line[256];
    std::snprintf(line, sizeof line, "filter: Unknown Analog filter prototype: '%s'\n",
                  proto ? proto : "");
    plat::WriteStdErr(line);
    plat::WriteStdErr("        Expected: BU, BESSEL, C1, C2\n");
    return 0;
  }
  const bool lp = Starts(band, "LP"), hp = Starts(band, "HP"), bp = Starts(band, "BP"),
             br = Starts(band, "BR");
  if (!(lp || hp || bp || br)) return 0;
  const int maxOrder = kind == Proto::BE ? KZ_IIR_MAX_BESSEL_ORDER : KZ_IIR_MAX_ORDER;
  if (order < 1 || order > maxOrder) return 0;
  if ((kind == Proto::C1 || kind == Proto::C2) && !(a > 1.0)) return 0;
  if (kind == Proto::C2 && !(1.0 + trbndw > 0.0)) return 0;

  switch (kind) {
    case Proto::BU:
      KZ_ButterworthPoles(p, types, kWidth, &dcvalue, &ns, order);
      break;
    case Proto::BE:
      KZ_BesselPoles(p, types, kWidth, &dcvalue, &ns, order);
      break;
    case Proto::C1: {
      double eps = 0, ripple = 0;
      KZ_ChebyshevParams(a, trbndw, order, &eps, &ripple);
      if (!(eps > 0.0) || !std::isfinite(eps)) return 0;
      KZ_Chebyshev1Poles(p, types, kWidth, &dcvalue, &ns, order, eps);
      break;
    }
    case Proto::C2:
      KZ_Chebyshev2Roots(p, z, types, kWidth, &dcvalue, &ns, order, a, 1.0 + trbndw);
      break;
    case Proto::None:
      break;
  }

  const double pi = 3.141592653589793;
  const double flw = std::tan(pi * fl * ts) / (2.0 * pi);
  const double fhw = std::tan(pi * fh * ts) / (2.0 * pi);
  if (bp) {
    KZ_ProtoToBandPass(p, z, types, kWidth, dcvalue, &ns, flw, fhw, sn, sd);
  } else if (br) {
    KZ_ProtoToBandReject(p, z, types, kWidth, dcvalue, &ns, flw, fhw, sn, sd);
  } else if (lp) {
    KZ_ProtoToLowPass(p, z, types, kWidth, dcvalue, ns, sn, sd);
    KZ_IIRScaleCutoff(sn, sd, ns, fhw);
  } else {
    KZ_ProtoToHighPass(p, z, types, kWidth, dcvalue, ns, sn, sd);
    KZ_IIRScaleCutoff(sn, sd, ns, flw);
  }
  KZ_IIRBilinear(sn, sd, ns);
  if (nsects) *nsects = ns;
  return 1;
}

void KZ_IIRApply(float data[], int n, int zeroPhase, const double sn[], const double sd[],
                 int nsects) {
  if (!data || n < 1 || nsects < 1) return;
  for (int pass = 0; pass < (zeroPhase ? 2 : 1); ++pass) {
    const bool backward = pass == 1;
    for (int k = 0; k < nsects; ++k) {
      const double b0 = sn[3 * k], b1 = sn[3 * k + 1], b2 = sn[3 * k + 2];
      const double a1 = sd[3 * k + 1], a2 = sd[3 * k + 2];
      double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
      for (int t = 0; t < n; ++t) {
        float& sample = data[backward ? n - 1 - t : t];
        const double x0 = sample;
        const double y0 = b0 * x0 + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        sample = static_cast<float>(y0);
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y0;
      }
    }
  }
}
