#include "base/numerics/KZ_IIRPrototypes.h"

#include <cmath>
#include <cstring>

namespace {

// The pole angles use pi to eight decimals.
constexpr double kPi8 = 3.14159265;

void SetType(char* types, int width, int index, const char* code) {
  KZ_PadCopy(types + index * width, width - 1, code, static_cast<int>(std::strlen(code)));
}

bool OrderFits(int order, int limit, int* nsects) {
  if (order >= 1 && order <= limit) return true;
  if (nsects) *nsects = 0;
  return false;
}

}  // namespace

char* KZ_PadCopy(char* dst, int dstWidth, const char* src, int srcLen) {
  if (!dst || !src || dstWidth < 1 || srcLen < 1) return nullptr;
  const int n = srcLen < dstWidth ? srcLen : dstWidth;
  std::memcpy(dst, src, static_cast<std::size_t>(n));
  for (int i = n; i < dstWidth; ++i) dst[i] = ' ';
  dst[dstWidth] = '\0';
  return dst;
}

void KZ_ButterworthPoles(KZ_Complex p[], char* types, int width, double* dcvalue, int* nsects,
                         int order) {
  if (!OrderFits(order, KZ_IIR_MAX_ORDER, nsects)) return;
  const int half = order / 2;
  int ns = 0;
  if (order % 2) {
    p[0] = KZ_Complex(-1.0, 0.0);
    SetType(types, width, 0, "SP");
    ns = 1;
  }
  for (int k = 1; k <= half; ++k) {
    const double angle = kPi8 * (0.5 + (2.0 * k - 1.0) / (2.0 * order));
    p[ns] = KZ_Complex(std::cos(angle), std::sin(angle));
    SetType(types, width, ns, "CP");
    ++ns;
  }
  *nsects = ns;
  *dcvalue = 1.0;
}

void KZ_BesselPoles(KZ_Complex p[], char* types, int width, double* dcvalue, int* nsects,
                    int order) {
  struct Root {
    double re, im;
  };
  // Upper poles of the pairs, then the real pole of odd orders.
  static const Root kTable[8][4] = {
      {{-1, 0}},
      {{-1.1016013, 0.6360098}},
      {{-1.0474091, 0.9992645}, {-1.3226758, 0}},
      {{-0.9952088, 1.2571058}, {-1.3700679, 0.4102497}},
      {{-0.9576766, 1.4711244}, {-1.3808774, 0.7179096}, {-1.502316, 0}},
      {{-0.9306565, 1.6618633}, {-1.3818581, 0.9714719}, {-1.5714904, 0.3208964}},
      {{-0.9098678, 1.8364514}, {-1.3789032, 1.1915667}, {-1.6120388, 0.5892445}, {-1.6843682, 0}},
      {{-0.892871, 1.9983286},
       {-1.3738431, 1.3883585},
       {-1.6369417, 0.8227968},
       {-1.7574108, 0.2728679}},
  };
  if (!OrderFits(order, KZ_IIR_MAX_BESSEL_ORDER, nsects)) return;
  const int ns = order - order / 2;
  for (int k = 0; k < ns; ++k) {
    const Root& r = kTable[order - 1][k];
    p[k] = KZ_Complex(r.re, r.im);
    SetType(types, width, k, (order % 2 && k == ns - 1) ? "SP" : "CP");
  }
  *nsects = ns;
  *dcvalue = 1.0;
}

void KZ_ChebyshevParams(double a, double trbndw, int order, double* eps, double* ripple) {
  const double omegar = 1.0 + trbndw;
  // (omegar + sqrt(omegar^2 - 1))^order by repeated squaring.
  const double base = omegar + std::sqrt(omegar * omegar - 1.0);
  double alpha = 1.0, b = base;
  for (unsigned e = static_cast<unsigned>(order < 0 ? -order : order); e; e >>= 1) {
    if (e & 1u) alpha *= b;
    b *= b;
  }
  if (order < 0) alpha = 1.0 / alpha;
  const double g = (alpha * alpha + 1.0) / (2.0 * alpha);
  const double e = std::sqrt(a * a - 1.0) / g;
  if (eps) *eps = e;
  if (ripple) *ripple = 1.0 / std::sqrt(1.0 + e * e);
}

void KZ_Chebyshev1Poles(KZ_Complex p[], char* types, int width, double* dcvalue, int* nsects,
                        int order, double eps) {
  if (!OrderFits(order, KZ_IIR_MAX_ORDER, nsects)) return;
  const int half = order / 2;
  const double gamma = std::exp(std::log((1.0 + std::sqrt(1.0 + eps * eps)) / eps) / order);
  const double s = 0.5 * (gamma - 1.0 / gamma);
  const double c = 0.5 * (gamma + 1.0 / gamma);
  for (int i = 1; i <= half; ++i) {
    const double angle = (2.0 * i - 1.0) * kPi8 / (2.0 * order);
    p[i - 1] = KZ_Complex(-s * std::sin(angle), c * std::cos(angle));
    SetType(types, width, i - 1, "CP");
  }
  if (order % 2) {
    p[half] = KZ_Complex(-s, 0.0);
    SetType(types, width, half, "SP");
    *dcvalue = 1.0;
  } else {
    *dcvalue = 1.0 / std::sqrt(1.0 + eps * eps);
  }
  *nsects = order - half;
}

void KZ_Chebyshev2Roots(KZ_Complex p[], KZ_Complex z[], char* types, int width, double* dcvalue,
                        int* nsects, int order, double a, double omegar) {
  if (!OrderFits(order, KZ_IIR_MAX_ORDER, nsects)) return;
  const int half = order / 2;
  const double gamma = std::exp(std::log(a + std::sqrt(a * a - 1.0)) / order);
  const double s = 0.5 * (gamma - 1.0 / gamma);
  const double c = 0.5 * (gamma + 1.0 / gamma);
  for (int i = 1; i <= half; ++i) {
    const double angle = (2.0 * i - 1.0) * kPi8 / (2.0 * order);
    const double alpha = -s * std::sin(angle);
    const double beta = c * std::cos(angle);
    const double d = alpha * alpha + beta * beta;
    p[i - 1] = KZ_Complex(omegar * alpha / d, -omegar * beta / d);
    z[i - 1] = KZ_Complex(0.0, omegar / std::cos(angle));
    SetType(types, width, i - 1, "CPZ");
  }
  if (order % 2) {
    p[half] = KZ_Complex(-omegar / s, 0.0);
    SetType(types, width, half, "SP");
  }
  *nsects = order - half;
  *dcvalue = 1.0;
}
