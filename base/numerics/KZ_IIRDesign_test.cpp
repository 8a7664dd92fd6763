#include "base/numerics/KZ_IIRDesign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/numerics/TestTables.h"
#include "platform/Runtime.h"

namespace {

constexpr double kPi = 3.141592653589793;

double Magnitude(const std::vector<double>& sn, const std::vector<double>& sd, int ns, double f,
                 double ts) {
  const std::complex<double> z1 = std::polar(1.0, -2 * kPi * f * ts);
  std::complex<double> h = 1.0;
  for (int k = 0; k < ns; ++k)
    h *= (sn[3 * k] + sn[3 * k + 1] * z1 + sn[3 * k + 2] * z1 * z1) /
         (1.0 + sd[3 * k + 1] * z1 + sd[3 * k + 2] * z1 * z1);
  return std::abs(h);
}

struct Design {
  std::vector<double> sn = std::vector<double>(3 * KZ_IIR_MAX_SECTIONS, -77.0);
  std::vector<double> sd = std::vector<double>(3 * KZ_IIR_MAX_SECTIONS, -77.0);
  int ns = -1;
  int ok = 0;
  Design(int order, const char* band, const char* proto, double a = 1, double tr = 1,
         double fl = 50, double fh = 100, double ts = 1e-3) {
    ok = KZ_IIRDesign(order, band, proto, a, tr, fl, fh, ts, sn.data(), sd.data(), &ns);
  }
};

std::string Code(const char* types, int k) { return std::string(types + 4 * k); }

}  // namespace

TEST(IIRPrototypes, ButterworthPoles) {
  KZ_Complex p[10];
  char types[40] = {0};
  double dc = 0;
  int ns = 0;
  KZ_ButterworthPoles(p, types, 4, &dc, &ns, 1);
  EXPECT_EQ(ns, 1);
  EXPECT_EQ(p[0], KZ_Complex(-1, 0));
  EXPECT_EQ(Code(types, 0), "SP ");
  KZ_ButterworthPoles(p, types, 4, &dc, &ns, 2);
  EXPECT_EQ(ns, 1);
  EXPECT_NEAR(p[0].real(), -std::sqrt(0.5), 1e-8);
  EXPECT_NEAR(p[0].imag(), std::sqrt(0.5), 1e-8);
  EXPECT_EQ(Code(types, 0), "CP ");
  KZ_ButterworthPoles(p, types, 4, &dc, &ns, 3);
  EXPECT_EQ(ns, 2);
  EXPECT_EQ(Code(types, 0), "SP ");
  EXPECT_NEAR(std::arg(p[1]), 2 * kPi / 3, 1e-8);
  EXPECT_EQ(dc, 1.0);
}

TEST(IIRPrototypes, ChebyshevGainsCodesAndParameters) {
  KZ_Complex p[10], z[10];
  char types[40] = {0};
  double dc = 0;
  int ns = 0;
  KZ_Chebyshev1Poles(p, types, 4, &dc, &ns, 4, 0.5);
  EXPECT_LT(dc, 1.0);
  EXPECT_NEAR(dc, 1 / std::sqrt(1.25), 1e-15);
  KZ_Chebyshev1Poles(p, types, 4, &dc, &ns, 5, 0.5);
  EXPECT_EQ(dc, 1.0);
  EXPECT_EQ(ns, 3);
  EXPECT_EQ(Code(types, 2), "SP ");
  KZ_Chebyshev2Roots(p, z, types, 4, &dc, &ns, 5, 10, 1.3);
  EXPECT_EQ(Code(types, 0), "CPZ");
  EXPECT_EQ(Code(types, 1), "CPZ");
  EXPECT_EQ(Code(types, 2), "SP ");
  EXPECT_EQ(z[0].real(), 0.0);

  double eps, ripple;
  KZ_ChebyshevParams(10, 0.3, 4, &eps, &ripple);
  const double alpha = std::pow(1.3 + std::sqrt(0.69), 4);
  const double g = (alpha * alpha + 1) / (2 * alpha);
  EXPECT_NEAR(eps, std::sqrt(99.0) / g, 1e-13);
  EXPECT_NEAR(ripple, 1 / std::sqrt(1 + eps * eps), 1e-15);
}

TEST(IIRPrototypes, PadCopyAndOrdersBeyondTheArrays) {
  char buf[8];
  EXPECT_EQ(KZ_PadCopy(buf, 3, "CP", 2), buf);
  EXPECT_STREQ(buf, "CP ");
  EXPECT_EQ(KZ_PadCopy(buf, 2, "CPZ", 3), buf);
  EXPECT_STREQ(buf, "CP");
  EXPECT_EQ(KZ_PadCopy(nullptr, 3, "CP", 2), nullptr);
  EXPECT_EQ(KZ_PadCopy(buf, 0, "CP", 2), nullptr);
  KZ_Complex p[10];
  char types[40];
  double dc;
  int ns = 5;
  KZ_ButterworthPoles(p, types, 4, &dc, &ns, 21);
  EXPECT_EQ(ns, 0);
  ns = 5;
  KZ_BesselPoles(p, types, 4, &dc, &ns, 9);
  EXPECT_EQ(ns, 0);
}

TEST(IIRDesign, AgainstScipyFrequencyResponses) {
  tv_test::Table t("base/numerics/testdata/iir_designs.txt");
  int blocks = 0;
  while (!t.done()) {
    ASSERT_EQ(t.word(), "design");
    const int order = t.integer();
    const std::string band = t.word(), proto = t.word();
    const double a = t.num(), tr = t.num(), fl = t.num(), fh = t.num(), ts = t.num();
    const int k = t.integer();
    Design d(order, band.c_str(), proto.c_str(), a, tr, fl, fh, ts);
    ASSERT_EQ(d.ok, 1);
    const bool split = band == "BP" || band == "BR";
    EXPECT_EQ(d.ns, split ? order : order - order / 2);
    for (int i = 0; i < k; ++i) {
      const double f = t.num(), expect = t.num();
      EXPECT_NEAR(Magnitude(d.sn, d.sd, d.ns, f, ts), expect, 2e-6)
          << order << " " << band << " " << proto << " at " << f;
    }
    ++blocks;
  }
  EXPECT_EQ(blocks, 17);
}

TEST(IIRDesign, SectionShapes) {
  Design bp(4, "BP", "BU", 1, 1, 80, 200);
  EXPECT_EQ(bp.ns, 4);
  // Gain 1 at the frequency whose prewarped value is the geometric mean of the corners.
  const double centre =
      std::atan(std::sqrt(std::tan(kPi * 80e-3) * std::tan(kPi * 200e-3))) / (kPi * 1e-3);
  EXPECT_NEAR(Magnitude(bp.sn, bp.sd, bp.ns, centre, 1e-3), 1.0, 1e-9);

  Design lp(4, "LP", "BU", 1, 1, 0, 100);
  EXPECT_EQ(lp.ns, 2);
  double dc = 1;
  for (int k = 0; k < lp.ns; ++k)
    dc *= (lp.sn[3 * k] + lp.sn[3 * k + 1] + lp.sn[3 * k + 2]) /
          (1 + lp.sd[3 * k + 1] + lp.sd[3 * k + 2]);
  EXPECT_NEAR(dc, 1.0, 1e-12);
  for (int k = 0; k < lp.ns; ++k) EXPECT_EQ(lp.sd[3 * k], 1.0);

  // Odd order: the first-order section (written as a second-order one) has the root
  // z = -1 above and below, the shared factor (1 + z^-1).
  Design odd(3, "LP", "BU", 1, 1, 0, 100);
  EXPECT_EQ(odd.ns, 2);
  EXPECT_NEAR(odd.sn[0] - odd.sn[1] + odd.sn[2], 0.0, 1e-15);
  EXPECT_NEAR(1 - odd.sd[1] + odd.sd[2], 0.0, 1e-15);
  EXPECT_GT(std::fabs(1 - lp.sd[1] + lp.sd[2]), 0.1);  // not so for a pole pair
}

TEST(IIRDesign, RefusedDesignsWriteNothing) {
  std::string err;
  plat::SetStdErrSink([&err](const std::string& s) { err += s; });
  Design unknown(4, "LP", "XX");
  plat::SetStdErrSink({});
  EXPECT_EQ(unknown.ok, 0);
  EXPECT_EQ(
      err, "filter: Unknown Analog filter prototype: 'XX'\n        Expected: BU, BESSEL, C1, C2\n");

  struct Case {
    int order;
    const char* band;
    const char* proto;
    double a;
  };
  const Case cases[] = {
      {21, "BP", "BU", 1},  {0, "LP", "BU", 1},   {9, "LP", "BE", 1},   {4, "XY", "BU", 1},
      {4, "LP", "C1", 1.0}, {4, "LP", "C2", 0.5}, {-3, "HP", "C1", 10},
  };
  for (const Case& c : cases) {
    Design d(c.order, c.band, c.proto, c.a, 0.3);
    EXPECT_EQ(d.ok, 0) << c.order << c.band << c.proto;
    EXPECT_EQ(d.ns, -1);
    EXPECT_EQ(d.sn[0], -77.0);
    EXPECT_EQ(d.sd[0], -77.0);
  }
  Design bessel(4, "LP", "BESSEL");
  EXPECT_EQ(bessel.ok, 1);
  Design largest(20, "BR", "C2", 100, 0.5, 100, 200);
  EXPECT_EQ(largest.ok, 1);
  EXPECT_EQ(largest.ns, KZ_IIR_MAX_SECTIONS);
}

TEST(IIRApply, ForwardAndZeroPhaseAgainstSosfilt) {
  tv_test::Table t("base/numerics/testdata/iir_filtering.txt");
  int blocks = 0;
  while (!t.done()) {
    ASSERT_EQ(t.word(), "filter");
    const int order = t.integer();
    const std::string band = t.word(), proto = t.word();
    const double a = t.num(), tr = t.num(), fl = t.num(), fh = t.num(), ts = t.num();
    const int n = t.integer();
    std::vector<float> x(n), fwd(n), both(n);
    std::vector<double> e1(n), e2(n);
    double peak = 0;
    for (int i = 0; i < n; ++i) {
      x[i] = static_cast<float>(t.num());
      e1[i] = t.num();
      e2[i] = t.num();
      peak = std::max(peak, std::fabs(e1[i]));
    }
    Design d(order, band.c_str(), proto.c_str(), a, tr, fl, fh, ts);
    ASSERT_EQ(d.ok, 1);
    fwd = x;
    KZ_IIRApply(fwd.data(), n, 0, d.sn.data(), d.sd.data(), d.ns);
    both = x;
    KZ_IIRApply(both.data(), n, 1, d.sn.data(), d.sd.data(), d.ns);
    for (int i = 0; i < n; ++i) {
      ASSERT_NEAR(fwd[i], e1[i], 2e-5 * peak) << proto << " sample " << i;
      ASSERT_NEAR(both[i], e2[i], 2e-5 * peak) << proto << " sample " << i;
    }
    ++blocks;
  }
  EXPECT_EQ(blocks, 3);
}

TEST(IIRApply, ZeroPhaseKeepsASymmetricPulseSymmetric) {
  Design bp(4, "BP", "BU", 1, 1, 40, 120);
  const int n = 2001, mid = 1000;
  std::vector<float> x(n, 0.0f);
  x[mid - 1] = x[mid + 1] = 0.5f;
  x[mid] = 1.0f;
  KZ_IIRApply(x.data(), n, 1, bp.sn.data(), bp.sd.data(), bp.ns);
  for (int k = 1; k < 200; ++k) EXPECT_NEAR(x[mid - k], x[mid + k], 1e-6) << k;
  // The forward pass alone delays the response.
  std::vector<float> y(n, 0.0f);
  y[mid - 1] = y[mid + 1] = 0.5f;
  y[mid] = 1.0f;
  KZ_IIRApply(y.data(), n, 0, bp.sn.data(), bp.sd.data(), bp.ns);
  EXPECT_GT(std::fabs(y[mid + 5] - y[mid - 5]), 1e-3);
}

TEST(ComplexHelpers, ExpAndPow) {
  EXPECT_EQ(KZ_ComplexExp(0, 0), KZ_Complex(1, 0));
  const KZ_Complex e = KZ_ComplexExp(1, kPi / 2);
  EXPECT_NEAR(e.real(), 0, 1e-15);
  EXPECT_NEAR(e.imag(), std::exp(1.0), 1e-15);
  EXPECT_EQ(KZ_ComplexPow(0, 0, 2), KZ_Complex(0, 0));
  const KZ_Complex sq = KZ_ComplexPow(0, 2, 2);
  EXPECT_NEAR(sq.real(), -4, 1e-14);
  EXPECT_NEAR(sq.imag(), 0, 1e-14);
  const KZ_Complex root = KZ_ComplexPow(-4, 0, 0.5);
  EXPECT_NEAR(root.real(), 0, 1e-15);
  EXPECT_NEAR(root.imag(), 2, 1e-15);
}
