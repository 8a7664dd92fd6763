// Catalogue statistics: the selection rule, the correlation integrals against exact pair
// counts of seeded clouds, and the b-value statistics against numpy's values.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "aecore/document/TremviaDoc.h"
#include "base/numerics/KZ_Stati.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"

namespace {

using plat::testing::FakeDocumentHost;
using plat::testing::ScriptedUi;

struct Doc {
  FakeDocumentHost host;
  CTremviaDoc doc{host};
  CAEHypo& h() { return *doc.m_pHypo; }
  void Add(float x, float y, float z, double t, int arrivals = 12, std::uint8_t flags = 0,
           float cc = 0.0f, float Mw = 0.0f) {
    doc.AddEventEntry(x, y, z, Mw, 0, 0, cc, t, static_cast<std::uint16_t>(arrivals),
                      static_cast<std::uint32_t>(doc.m_EventList.size()), flags);
  }
};

TEST(CatalogueStats, SelectionRule) {
  Doc d;
  d.h().m_nShape = 0;
  d.h().m_fDiameter = 50.0f;
  d.h().m_fSizeZ = 100.0f;
  d.h().m_fMinCC = 0.5f;
  d.h().m_nClassMask = 0x01;
  struct Case {
    float x, y, z;
    int arrivals;
    std::uint8_t flags;
    float cc;
    bool selected;
  } cases[] = {
      {0, 0, 0, 8, 0, 0, true},         // flags 0 pass whatever the mask
      {0, 0, 0, 7, 0, 0, false},        // too few arrivals
      {0, 0, 0, 8, 0x02, 0, false},     // no bit shared with the mask
      {0, 0, 0, 8, 0x11, 0.4f, false},  // detected, CC below the minimum
      {0, 0, 0, 8, 0x11, 0.5f, true},   // CC at the minimum
      {26, 0, 0, 8, 0, 0, true},        // radius limit 26.25
      {20, 18, 0, 8, 0, 0, false},      // radius 26.9
      {0, 0, 52.5f, 8, 0, 0, true},     // height limit included
      {0, 0, -52.6f, 8, 0, 0, false},
  };
  for (const Case& c : cases) {
    AEEventEntry e;
    e.x = c.x;
    e.y = c.y;
    e.z = c.z;
    e.arrivals = static_cast<std::int16_t>(c.arrivals);
    e.flags = c.flags;
    e.CC = c.cc;
    EXPECT_EQ(d.doc.IsSelectedEvent(e, 8), c.selected) << c.x << " " << c.y << " " << c.z;
  }
}

TEST(CatalogueStats, CountStopsAtMaxCountAndCollectKeepsToCapacity) {
  Doc d;
  for (int i = 0; i < 1000; ++i) d.Add(0, 0, 0, 10.0 + i, i % 2 ? 12 : 3);
  double t1 = 0, t2 = -1;  // t1 > t2: the document's window
  EXPECT_EQ(d.doc.CountEventsFrom(8, &t1, &t2, 200), 200);
  EXPECT_EQ(t1, 0.0);
  EXPECT_EQ(t2, 10.0 + 399);  // the 200th selected entry
  t1 = 500;
  t2 = 0;
  EXPECT_EQ(d.doc.CountEventsFrom(8, &t1, &t2, 0), 500);  // the window's start, no end
  EXPECT_EQ(t2, 10.0 + 999);

  KZ_Point3D out[6];
  out[5].x = 77;
  EXPECT_EQ(d.doc.CollectSelectedEvents(out, 5, 8, 0, 1e9), 5);
  EXPECT_EQ(out[5].x, 77);  // never written past the caller's capacity
  EXPECT_EQ(d.doc.CollectSelectedEvents(out, 5, 8, 20.5, 24.5), 2);  // 21 and 23
}

struct Cloud {
  std::string kind;
  double slope = 0;
  std::vector<std::array<float, 3>> p;
  std::vector<double> q2, q6;
};

std::vector<Cloud> ReadClouds() {
  std::ifstream in(TV_SOURCE_DIR "/aecore/document/testdata/correlation_clouds.txt");
  std::vector<Cloud> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream s(line);
    std::string tag;
    s >> tag;
    if (tag == "cloud") {
      Cloud c;
      int n;
      s >> c.kind >> n >> c.slope;
      for (int i = 0; i < n && std::getline(in, line); ++i) {
        std::istringstream r(line);
        std::array<float, 3> v;
        r >> v[0] >> v[1] >> v[2];
        c.p.push_back(v);
      }
      out.push_back(c);
    } else if (tag == "q") {
      int q;
      s >> q;
      auto& dst = q == 2 ? out.back().q2 : out.back().q6;
      double v;
      while (s >> v) dst.push_back(v);
    }
  }
  return out;
}

TEST(CatalogueStats, CorrelationIntegralsMatchExactPairCounts) {
  const auto clouds = ReadClouds();
  ASSERT_EQ(clouds.size(), 3u);
  const double expectedSlope[3] = {1.0, 2.0, 3.0};
  const double tolerance[3] = {0.05, 0.1, 0.1};
  for (std::size_t c = 0; c < clouds.size(); ++c) {
    Doc d;
    d.h().m_nShape = 4;
    d.h().m_fSizeX = d.h().m_fSizeY = d.h().m_fSizeZ = 2000.0f;
    for (std::size_t i = 0; i < clouds[c].p.size(); ++i)
      d.Add(clouds[c].p[i][0], clouds[c].p[i][1], clouds[c].p[i][2], static_cast<double>(i));
    float L = 0;
    double logR[41], G[8][41];
    int nR = 0;
    double t1 = 0, t2 = 1e9;
    const int n = d.doc.FractalDimension(&L, logR, G, &nR, 2, 6, &t1, &t2, 0, 8, 0.5f);
    ASSERT_EQ(n, static_cast<int>(clouds[c].p.size())) << clouds[c].kind;
    EXPECT_EQ(nR, 41);
    for (int k = 0; k < 41; ++k) {
      EXPECT_NEAR(logR[k], 0.05 * k, 1e-12);
      EXPECT_NEAR(G[2][k], clouds[c].q2[k], 1e-6) << clouds[c].kind << " q=2 k=" << k;
      EXPECT_NEAR(G[6][k], clouds[c].q6[k], 1e-6) << clouds[c].kind << " q=6 k=" << k;
    }
    double a, D, siga, sigD;
    ASSERT_EQ(KZ_Stati::FitLine(logR + 8, G[2] + 8, 21, nullptr, &a, &D, &siga, &sigD, nullptr,
                                nullptr, nullptr),
              1);
    EXPECT_NEAR(D, clouds[c].slope, 1e-6);  // the table keeps 6 decimals
    EXPECT_NEAR(D, expectedSlope[c], tolerance[c]) << clouds[c].kind;
  }
}

// Points on a line at each radius of the integrals, a float step to either side of it, and
// far beyond the largest: every neighbour count agrees with a plain count of the pairs
// within each radius.
TEST(CatalogueStats, CorrelationCountsAtTheRadii) {
  Doc d;
  d.h().m_nShape = 4;
  d.h().m_fSizeX = d.h().m_fSizeY = d.h().m_fSizeZ = 2000.0f;
  std::vector<float> x = {0.0f, 0.25f, 400.0f};
  for (int k = 0; k <= 40; k += 3) {
    const float r = static_cast<float>(std::pow(10.0, 0.05 * k));
    x.insert(x.end(), {r, std::nextafter(r, 0.0f), std::nextafter(r, 1e9f)});
  }
  for (std::size_t i = 0; i < x.size(); ++i) d.Add(x[i], 0, 0, static_cast<double>(i));
  float L = 0;
  double logR[41], G[4][41];
  int nR = 0;
  double t1 = 0, t2 = 1e9;
  const int n = d.doc.FractalDimension(&L, logR, G, &nR, 2, 2, &t1, &t2, 0, 8, 0.5f);
  ASSERT_EQ(n, static_cast<int>(x.size()));
  for (int k = 0; k < 41; ++k) {
    const double r = std::pow(10.0, 0.05 * k);
    double sum = 0;
    for (std::size_t a = 0; a < x.size(); ++a) {
      int count = 0;
      for (std::size_t b = 0; b < x.size(); ++b) {
        const double dx = static_cast<double>(x[a]) - x[b];
        count += a != b && dx * dx <= r * r;
      }
      sum += count / (n - 1.0);
    }
    EXPECT_NEAR(G[2][k], std::log10(std::max(1e-8, sum / n)), 1e-12) << k;
  }
}

// Larger clouds, uniform, clustered with repeated points, and on lattices whose distances
// fall exactly on radii (1, 10, 100 mm) or next to them: the integrals of orders 2 and 6
// equal those of a plain count of every pair, to the last bit. One uniform cloud carries
// an event without a position (not a number), which sits in the first bin of everyone.
TEST(CatalogueStats, CorrelationCountsOfLargeCloudsEqualPlainPairCounts) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-25, 25);
  std::normal_distribution<float> spread(0, 2);
  std::vector<std::vector<std::array<float, 3>>> clouds(5);
  for (int i = 0; i < 2500; ++i) clouds[0].push_back({u(rng), u(rng), 2 * u(rng)});
  clouds[1] = clouds[0];
  clouds[1][100] = {std::nanf(""), 0, 0};
  for (int c = 0; c < 20; ++c) {
    const std::array<float, 3> m = {u(rng), u(rng), u(rng)};
    for (int i = 0; i < 100; ++i) {
      clouds[2].push_back({m[0] + spread(rng), m[1] + spread(rng), m[2] + spread(rng)});
      if (i % 5 == 0) clouds[2].push_back(clouds[2].back());
    }
  }
  for (int i = 0; i < 12 * 12 * 12; ++i)
    clouds[3].push_back({float(i % 12), float(i / 12 % 12), float(i / 144)});
  for (int i = 0; i < 10 * 10 * 10; ++i)
    clouds[4].push_back({10.0f * (i % 10) - 45, 10.0f * (i / 10 % 10) - 45, 10.0f * (i / 100)});
  double r2[41];
  for (int k = 0; k < 41; ++k) r2[k] = std::pow(10.0, 0.05 * k) * std::pow(10.0, 0.05 * k);
  for (std::size_t c = 0; c < clouds.size(); ++c) {
    const auto& p = clouds[c];
    Doc d;
    d.h().m_nShape = 4;
    d.h().m_fSizeX = d.h().m_fSizeY = d.h().m_fSizeZ = 2000.0f;
    for (std::size_t i = 0; i < p.size(); ++i)
      d.Add(p[i][0], p[i][1], p[i][2], static_cast<double>(i));
    float L = 0;
    double logR[41], G[8][41];
    int nR = 0;
    double t1 = 0, t2 = 1e9;
    const int n = d.doc.FractalDimension(&L, logR, G, &nR, 2, 6, &t1, &t2, 0, 8, 0.5f);
    ASSERT_EQ(n, static_cast<int>(p.size())) << c;
    double sum[2][41] = {};
    for (int a = 0; a < n; ++a) {
      int count[42] = {};
      for (int b = 0; b < n; ++b) {
        if (a == b) continue;
        const double dx = static_cast<double>(p[a][0]) - p[b][0],
                     dy = static_cast<double>(p[a][1]) - p[b][1],
                     dz = static_cast<double>(p[a][2]) - p[b][2];
        const double d2 = dx * dx + dy * dy + dz * dz;
        int k = 0;
        while (k < 41 && r2[k] < d2) ++k;  // not a number: the first bin
        ++count[k];
      }
      int within = 0;
      for (int k = 0; k < 41; ++k) {
        const double frac = (within += count[k]) / (n - 1.0);
        sum[0][k] += frac;
        sum[1][k] += std::pow(frac, 5);
      }
    }
    for (int k = 0; k < 41; ++k) {
      EXPECT_DOUBLE_EQ(G[2][k], std::log10(std::max(1e-8, sum[0][k] / n))) << c << " k=" << k;
      EXPECT_DOUBLE_EQ(G[6][k], std::log10(std::max(1e-8, std::pow(sum[1][k] / n, 0.2))))
          << c << " k=" << k;
    }
  }
}

TEST(CatalogueStats, FractalDimensionNeedsTenEvents) {
  Doc d;
  for (int i = 0; i < 9; ++i) d.Add(i, 0, 0, i);
  double logR[41] = {}, G[4][41];
  G[2][0] = 123;
  float L = -1;
  int nR = -1;
  double t1 = 0, t2 = 100;
  EXPECT_EQ(d.doc.FractalDimension(&L, logR, G, &nR, 2, 2, &t1, &t2, 0, 8, 0.5f), 0);
  EXPECT_EQ(G[2][0], 123);
  EXPECT_EQ(nR, -1);
  EXPECT_EQ(L, -1);
}

struct BRef {
  double magMin, magMax, bML, a, b, sigb, relErr;
  int counts[30];
};

void ReadBReference(std::vector<float>* mags, BRef ref[2], double* tinti) {
  std::ifstream in(TV_SOURCE_DIR "/aecore/document/testdata/bvalue_reference.txt");
  std::string line;
  std::vector<std::string> rows;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') rows.push_back(line);
  ASSERT_EQ(rows.size(), 4u);
  std::istringstream m(rows[0]);
  float v;
  while (m >> v) mags->push_back(v);
  for (int i = 0; i < 2; ++i) {
    std::istringstream r(rows[1 + i]);
    BRef& b = ref[i];
    r >> b.magMin >> b.magMax >> b.bML >> b.a >> b.b >> b.sigb >> b.relErr;
    for (int& c : b.counts) r >> c;
  }
  *tinti = std::stod(rows[3]);
}

TEST(CatalogueStats, BValueAgainstNumpy) {
  std::vector<float> mags;
  BRef ref[2];
  double tinti = 0;
  ReadBReference(&mags, ref, &tinti);
  ASSERT_EQ(mags.size(), 24u);
  for (const BRef& r : ref) {
    Doc d;
    d.h().m_nMinArrivals = 8;
    d.h().m_fMagMin = static_cast<float>(r.magMin);
    d.h().m_fMagMax = static_cast<float>(r.magMax);
    for (std::size_t i = 0; i < mags.size(); ++i) d.Add(0, 0, 0, 1.0 + i, 10, 0, 0, mags[i]);
    d.Add(0, 0, 0, 30, 5, 0, 0, 2.5f);  // too few arrivals
    int counts[30];
    double logN, bML, relErr, a, b, sigb, logRate, eRate;
    EXPECT_EQ(d.h().BValue(0, d.doc.m_EventList, 0, 40, counts, &logN, &bML, &relErr, &a, &b, &sigb,
                           &logRate, &eRate, 1.5),
              30);
    EXPECT_NEAR(bML, r.bML, 1e-6 * r.bML) << r.magMin;
    EXPECT_NEAR(relErr, r.relErr, 1e-12);
    EXPECT_NEAR(logN, std::log10(24.0), 1e-12);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(counts[i], r.counts[i]) << i;
    EXPECT_NEAR(a, r.a, 1e-6);
    EXPECT_NEAR(b, r.b, 1e-6);
    EXPECT_NEAR(sigb, r.sigb, 1e-6);
    EXPECT_NEAR(logRate, std::log10(24.0 / 40.0), 1e-12);
  }
  // Utsu's half bin against the exact discrete estimator: close, not equal.
  EXPECT_NEAR(ref[0].bML, tinti, 0.01);
  EXPECT_GT(std::fabs(ref[0].bML - tinti), 1e-3);
}

TEST(CatalogueStats, BValueOfContinuousCatalogues) {
  for (unsigned seed : {1u, 2u, 3u}) {
    Doc d;
    d.h().m_fMagMin = 0.0f;
    d.h().m_fMagMax = 20.0f;
    std::mt19937 rng(seed);
    std::exponential_distribution<double> ex(std::log(10.0));  // b = 1
    for (int i = 0; i < 20000; ++i) d.Add(0, 0, 0, i, 10, 0, 0, static_cast<float>(ex(rng)));
    int counts[30];
    double logN, bML, relErr;
    ASSERT_EQ(d.h().BValue(0, d.doc.m_EventList, 0, 1e9, counts, &logN, &bML, &relErr, nullptr,
                           nullptr, nullptr, nullptr, nullptr, 1.5),
              30);
    EXPECT_NEAR(bML, 1.0, 0.03) << seed;
  }
}

// Without limits from the parameter file the window spans the catalogue: a truncated
// Gutenberg-Richter catalogue from -12.6 to -11.2 (b = 1.1) is counted whole, with the
// maximum-likelihood b of all its events above its smallest, not cut at the default -12.
TEST(CatalogueStats, BValueWindowSpansTheCatalogueWithoutLimits) {
  Doc d;
  const int n = 400;
  const double beta = 1.1 * std::log(10.0), span = 1.4;
  double sum = 0.0;
  std::vector<float> mags;
  for (int i = 0; i < n; ++i) {
    const double u = (i + 0.5) / n;  // quantiles of the truncated exponential
    const double dm = -std::log(1.0 - u * (1.0 - std::exp(-beta * span))) / beta;
    mags.push_back(static_cast<float>(-12.6 + dm));
  }
  const float smallest = *std::min_element(mags.begin(), mags.end());
  for (int i = 0; i < n; ++i) {
    d.Add(0, 0, 0, i, 10, 0, 0, mags[i]);
    sum += static_cast<double>(mags[i]) - smallest;
  }
  int counts[30];
  double logN, bML, relErr;
  ASSERT_EQ(d.h().BValue(0, d.doc.m_EventList, 0, 1e9, counts, &logN, &bML, &relErr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, 1.5),
            30);
  EXPECT_NEAR(logN, std::log10(static_cast<double>(n)), 1e-12);
  EXPECT_NEAR(bML, n / (std::log(10.0) * sum), 1e-3);
  double lo = 0, hi = 0;
  d.h().MagnitudeWindow(0, d.doc.m_EventList, &lo, &hi);
  EXPECT_FLOAT_EQ(static_cast<float>(lo), smallest);
  EXPECT_FLOAT_EQ(static_cast<float>(hi), *std::max_element(mags.begin(), mags.end()));
  // Limits that are set are kept, in either order.
  d.h().m_fMagMin = -11.0f;
  d.h().m_fMagMax = -12.0f;
  d.h().MagnitudeWindow(0, d.doc.m_EventList, &lo, &hi);
  EXPECT_EQ(lo, -12.0);
  EXPECT_EQ(hi, -11.0);
}

TEST(CatalogueStats, BValueRangeAndBounds) {
  Doc d;
  // The default range (-9, -12) is taken as [-12, -9], not as empty.
  for (int i = 0; i < 12; ++i) d.Add(0, 0, 0, i, 10, 0, 0, -11.5f + 0.2f * i);
  int counts[30];
  double logN = -1, bML, relErr;
  ASSERT_EQ(d.h().BValue(0, d.doc.m_EventList, 0, 100, counts, &logN, &bML, &relErr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, 1.5),
            30);
  EXPECT_NEAR(logN, std::log10(12.0), 1e-12);

  // An event exactly at the lower bound counts in N but in no cumulative bin.
  Doc e;
  e.h().m_fMagMin = 1.0f;
  e.h().m_fMagMax = 4.0f;
  for (int i = 0; i < 10; ++i) e.Add(0, 0, 0, i, 10, 0, 0, i == 0 ? 1.0f : 2.05f);
  ASSERT_EQ(e.h().BValue(0, e.doc.m_EventList, 0, 100, counts, &logN, &bML, &relErr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, 1.5),
            30);
  EXPECT_NEAR(logN, 1.0, 1e-12);
  EXPECT_EQ(counts[0], 9);
  EXPECT_NEAR(bML, 10 / (std::log(10.0) * 9 * 1.05), 1e-5);

  Doc few;
  for (int i = 0; i < 9; ++i) few.Add(0, 0, 0, i, 10);
  logN = -7;
  EXPECT_EQ(few.h().BValue(0, few.doc.m_EventList, 0, 100, counts, &logN, &bML, &relErr, nullptr,
                           nullptr, nullptr, nullptr, nullptr, 1.5),
            0);
  EXPECT_EQ(logN, -7);
}

TEST(CatalogueStats, PeakEnergyIsCumulativeAndSmoothed) {
  Doc d;
  CAEPeak& pk = *d.doc.m_pPeak[0];
  pk.Alloc(3);
  pk.m_nCount = 3;
  pk.m_pSec = {5, 15, 25};
  pk.m_pUSec = {0, 0, 0};
  pk.m_pLevel = {4, 8, 4};  // magnitudes 1, 2, 1
  pk.m_pFlag = {1, 0, 1};   // the middle one is noise
  d.doc.m_fTimeStart = 0;
  d.doc.m_fTimeSpan = 100;
  const double t[6] = {0, 4, 10, 20, 30, 40};
  double out[6];
  EXPECT_EQ(d.doc.PeakEnergyAtTimes(t, out, 6, 0, 1.0f), 6);
  // Before smoothing: 10, 10, 20, 20, 20, 20 (the last two raised from unfilled zeros).
  double raw[6] = {10, 10, 20, 20, 20, 20};
  for (int pass = 0; pass < 2; ++pass) {
    double s[6];
    std::copy(raw, raw + 6, s);
    for (int i = 1; i < 5; ++i) raw[i] = (s[i - 1] + s[i] + s[i + 1]) / 3.0;
  }
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(out[i], raw[i], 1e-6) << i;
}

}  // namespace
