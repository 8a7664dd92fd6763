#include "base/numerics/KZ_IIRFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// |H|^2 of the designed cascade at f (cycles per sample), evaluated directly.
double Power(const KZ_IIRFilter& f, double freq) {
  const std::complex<double> z1 = std::polar(1.0, -2 * kPi * freq);
  std::complex<double> h = f.m_fGain;
  for (int k = 0; k < f.m_nSections; ++k) {
    const double* s = f.m_pSections + 4 * k;
    h *= (1.0 + s[0] * z1 + s[1] * z1 * z1) / (1.0 + s[2] * z1 + s[3] * z1 * z1);
  }
  return std::norm(h);
}

// The deviation value d with |H|^2 = 1 / (1 + d^2) (a Butterworth response at an edge).
double Deviation(const KZ_IIRFilter& f, double freq) {
  return std::sqrt(1.0 / Power(f, freq) - 1.0);
}

}  // namespace

TEST(IIRFilter, LowPassOrderAndSections) {
  KZ_IIRFilter f;
  EXPECT_EQ(f.Design(0, 0, 0, 0.1f, 0.2f, 0.5f, 5.0f), 2);
  const double r = std::tan(0.1 * 3.1415926) / std::tan(0.2 * 3.1415926);
  EXPECT_EQ(f.m_nOrder, static_cast<int>(std::fabs(std::log(0.1) / std::log(r)) + 0.5));
  EXPECT_EQ(f.m_nOrder, 3);
  // The second section is of first order.
  EXPECT_EQ(f.m_pSections[4], 1.0);
  EXPECT_EQ(f.m_pSections[5], 0.0);
  EXPECT_EQ(f.m_pSections[7], 0.0);
  EXPECT_NEAR(Power(f, 0), 1.0, 1e-12);
  EXPECT_NEAR(Power(f, 0.5), 0.0, 1e-20);
}

TEST(IIRFilter, ButterworthResponsesMeetTheirDeviations) {
  struct Case {
    int type;
    float p[6];
    double pass, stop;  // an edge of each band
    double dc, nyquist;
  };
  const Case cases[] = {
      {0, {0, 0, 0.05f, 0.15f, 0.1f, 10.0f}, 0.05, 0.15, 1, 0},
      {1, {0.3f, 0.12f, 0, 0, 3.0f, 0.2f}, 0.3, 0.12, 0, 1},
      {0, {0, 0, 0.2f, 0.21f, 0.4f, 8.0f}, 0.2, 0.21, 1, 0},  // a high order
  };
  for (const Case& c : cases) {
    KZ_IIRFilter f;
    ASSERT_GT(f.Design(c.type, c.p[0], c.p[1], c.p[2], c.p[3], c.p[4], c.p[5]), 0);
    const double amin = std::min(std::fabs(c.p[4]), std::fabs(c.p[5]));
    const double amax = std::max(std::fabs(c.p[4]), std::fabs(c.p[5]));
    // The order is rounded, so each edge misses its value, but their product is kept.
    const double dp = Deviation(f, c.pass), ds = Deviation(f, c.stop);
    EXPECT_NEAR(dp * ds, amin * amax, 1e-5 * amin * amax) << f.m_nOrder;
    EXPECT_LT(dp, ds);
    EXPECT_NEAR(Power(f, 0), c.dc, 1e-9);
    EXPECT_NEAR(Power(f, 0.5), c.nyquist, 1e-9);
    // Maximally flat: |H|^2 = 1 / (1 + (t / tc)^2n) in the warped frequency t = tan(pi f).
    const int n = f.m_nOrder;
    const double tp = std::tan(kPi * c.pass);
    const double tc = c.type == 0 ? tp / std::pow(dp, 1.0 / n) : tp * std::pow(dp, 1.0 / n);
    for (double fr = 0.01; fr < 0.5; fr += 0.037) {
      const double u = std::tan(kPi * fr) / tc;
      const double expect = 1.0 / (1.0 + std::pow(c.type == 0 ? u : 1 / u, 2 * n));
      EXPECT_NEAR(Power(f, fr), expect, 1e-6) << fr;
    }
  }
}

TEST(IIRFilter, BandPassAndBandStopAroundTheirCentre) {
  const float lo = 0.1f, hi = 0.2f;
  const double t2 = std::tan(3.1415926 * lo) * std::tan(3.1415926 * hi);
  const double f0 = std::atan(std::sqrt(t2)) / kPi;
  auto mirror = [t2](double f) { return std::atan(t2 / std::tan(kPi * f)) / kPi; };
  for (int type : {2, 3}) {
    SCOPED_TRACE(type);
    KZ_IIRFilter f;
    const int ns = f.Design(type, 0, lo, hi, 0.3f, 0.5f, 5.0f);
    ASSERT_GT(ns, 0);
    EXPECT_EQ(ns, 2 * (f.m_nOrder / 2) + f.m_nOrder % 2);
    EXPECT_NEAR(Power(f, f0), type == 2 ? 1.0 : 0.0, 1e-6);
    EXPECT_NEAR(Power(f, 0), type == 2 ? 0.0 : 1.0, 1e-6);
    EXPECT_NEAR(Power(f, 0.5), type == 2 ? 0.0 : 1.0, 1e-6);
    for (double fr : {0.03, 0.09, 0.12, 0.14})  // symmetric in the warped frequency
      EXPECT_NEAR(Power(f, fr), Power(f, mirror(fr)), 1e-6) << fr;
  }
  // For the band-pass both band edges share one deviation, and it pairs with the third edge's.
  KZ_IIRFilter bp;
  bp.Design(2, 0, lo, hi, 0.3f, 0.5f, 5.0f);
  EXPECT_NEAR(Deviation(bp, lo), Deviation(bp, hi), 1e-5);
  EXPECT_NEAR(Deviation(bp, lo) * Deviation(bp, 0.3f), 2.5, 1e-5);
}

TEST(IIRFilter, BandResponsesAreButterworthInTheTransformedFrequency) {
  // With t = tan(pi f), T2 = t_lo t_hi and u = c (t - T2 / t), a band-pass has
  // |H|^2 = 1 / (1 + u^2n) and a band-stop 1 / (1 + u^-2n). Edges below or above the band,
  // even and odd orders.
  struct Case {
    float lo, hi, third, dev1, dev2;
    int order;
  };
  const Case cases[] = {
      {0.1f, 0.2f, 0.3f, 0.5f, 5.0f, 2},
      {0.1f, 0.2f, 0.25f, 0.3f, 8.0f, 5},
      {0.2f, 0.3f, 0.12f, 0.5f, 20.0f, 3},
      {0.1f, 0.2f, 0.24f, 5.0f, 0.5f, 4},
  };
  const double pi = 3.1415926;  // the filter's own value
  for (const Case& k : cases) {
    for (int type : {2, 3}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " band " << k.lo << "-" << k.hi);
      KZ_IIRFilter f;
      ASSERT_GT(f.Design(type, 0, k.lo, k.hi, k.third, k.dev1, k.dev2), 0);
      ASSERT_EQ(f.m_nOrder, k.order);
      const int n = f.m_nOrder;
      const double wlo = pi * k.lo, whi = pi * k.hi, wc = pi * k.third;
      const double K = 1 / (std::cos(wlo) * std::cos(whi));
      const double bw = std::sin(whi - wlo) * K, t2 = std::tan(wlo) * std::tan(whi);
      const double S = std::fabs(std::tan(wc) - t2 / std::tan(wc));
      const double q = std::pow(k.dev1 * k.dev2, (type == 2 ? 1.0 : -1.0) / n) / (S * bw);
      for (double fr = 0.005; fr < 0.5; fr += 0.0123) {
        const double t = std::tan(pi * fr);
        const double u = std::sqrt(q) * (t - t2 / t);
        const double expect = 1.0 / (1.0 + std::pow(u, type == 2 ? 2 * n : -2 * n));
        EXPECT_NEAR(Power(f, fr), expect, 1e-6) << fr;
      }
    }
  }
}

TEST(IIRFilter, ResponseTableMatchesTheSections) {
  KZ_IIRFilter f;
  ASSERT_GT(f.Design(2, 0, 0.05f, 0.15f, 0.25f, 0, 0), 0);
  ASSERT_NE(f.m_pPower, nullptr);
  for (int m = 0; m < 1024; m += 31) {
    const double fr = (m + 1) * 0.5 / 1024;
    EXPECT_NEAR(f.m_pPower[m], Power(f, fr), 1e-5) << m;
  }
  // The last entry is half the sampling frequency.
  EXPECT_NEAR(f.m_pPower[1023], Power(f, 0.5), 1e-9);
  for (int m = 0; m < 1024; ++m) ASSERT_LE(std::fabs(f.m_pPhase[m]), 3.1415926 + 1e-12);
}

TEST(IIRFilter, DeviationsDefaultAndLowOrdersRise) {
  KZ_IIRFilter a, b;
  a.Design(0, 0, 0, 0.1f, 0.3f, 0, 0);
  b.Design(0, 0, 0, 0.1f, 0.3f, 5.0f, 0.5f);
  EXPECT_EQ(a.m_nOrder, b.m_nOrder);
  EXPECT_EQ(a.m_fGain, b.m_fGain);
  KZ_IIRFilter wide;
  wide.Design(0, 0, 0, 0.01f, 0.45f, 0.5f, 0.6f);  // ratio that asks for order 0
  EXPECT_EQ(wide.m_nOrder, 2);
}

TEST(IIRFilter, RefusedDesigns) {
  struct Case {
    int type;
    float p[6];
  };
  const Case cases[] = {
      {4, {0.1f, 0.2f, 0.1f, 0.2f, 0.5f, 5}},    {0, {0, 0, 0, 0.2f, 0.5f, 5}},  // edge at 0
      {0, {0, 0, 0.2f, 0.2f, 0.5f, 5}},                                          // equal edges
      {1, {0.1f, 0.5f, 0, 0, 0.5f, 5}},        // at half the sampling frequency
      {2, {0, 0.1f, 0.2f, 0.15f, 0.5f, 5}},    // third edge inside the band
      {3, {0, 0.1f, 0.2f, 0.2f, 0.5f, 5}},     // third edge on the band edge
      {0, {0, 0, 0.2f, 0.2001f, 0.01f, 100}},  // order far beyond 128
      {2, {0, 0.1f, 0.2f, 0.2002f, 0.01f, 100}},
  };
  for (const Case& c : cases) {
    KZ_IIRFilter f;
    EXPECT_EQ(f.Design(c.type, c.p[0], c.p[1], c.p[2], c.p[3], c.p[4], c.p[5]), 0);
    EXPECT_EQ(f.m_nSections, 0);
    EXPECT_EQ(f.m_fPar[3], c.p[3]);
    EXPECT_EQ(f.m_nType, c.type);
    std::vector<float> in(8, 1.0f), out(8, 42.0f);
    EXPECT_EQ(f.Filter(in.data(), out.data(), 8), 0);
    EXPECT_EQ(out[0], 42.0f);
  }
}

TEST(IIRFilter, FilterFollowsTheResponseAndKeepsTheInput) {
  KZ_IIRFilter never;
  std::vector<float> in(4096), out(4096, 7.0f);
  EXPECT_EQ(never.Filter(in.data(), out.data(), 4096), 0);
  EXPECT_EQ(out[0], 7.0f);

  KZ_IIRFilter f;
  ASSERT_GT(f.Design(2, 0, 0.05f, 0.12f, 0.2f, 0, 0), 0);
  const double fr = 0.09;
  for (int i = 0; i < 4096; ++i) in[i] = static_cast<float>(std::sin(2 * kPi * fr * i));
  const std::vector<float> copy = in;
  ASSERT_EQ(f.Filter(in.data(), out.data(), 4096), 1);
  EXPECT_EQ(in, copy);
  double peak = 0;
  for (int i = 2048; i < 4096; ++i) peak = std::max(peak, static_cast<double>(std::fabs(out[i])));
  EXPECT_NEAR(peak, std::sqrt(Power(f, fr)), 2e-3);
  // Causal: nothing before the first non-zero input.
  std::vector<float> impulse(64, 0.0f), response(64);
  impulse[10] = 1.0f;
  f.Filter(impulse.data(), response.data(), 64);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(response[i], 0.0f);
  EXPECT_NE(response[10], 0.0f);
}
