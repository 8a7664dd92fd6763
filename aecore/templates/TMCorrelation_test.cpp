#include "aecore/templates/TMCorrelation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Table {
  std::vector<float> a, b;
  std::vector<double> plain, mean;
};

// Written by tools/template_matching/make_cc_tables.py (scipy.signal.correlate with
// cumulative-sum energies).
Table ReadTable() {
  Table t;
  std::ifstream f(std::string(TV_SOURCE_DIR) + "/aecore/templates/testdata/sliding_cc.txt");
  int n = 0, w = 0;
  f >> n >> w;
  t.a.resize(static_cast<std::size_t>(n));
  t.b.resize(static_cast<std::size_t>(w));
  for (float& v : t.a) f >> v;
  for (float& v : t.b) f >> v;
  t.plain.resize(static_cast<std::size_t>(n - w + 1));
  t.mean.resize(t.plain.size());
  for (std::size_t i = 0; i < t.plain.size(); ++i) f >> t.plain[i] >> t.mean[i];
  return t;
}

}  // namespace

TEST(TMSlidingCorrelation, MatchesReferenceTablesWithAndWithoutMeanRemoval) {
  const Table t = ReadTable();
  ASSERT_EQ(t.a.size(), 2600u);
  const int w = static_cast<int>(t.b.size());
  const int lags = static_cast<int>(t.plain.size());
  TMCorrelator c;
  c.SetRecord({t.a.data()}, {static_cast<int>(t.a.size())}, w);
  for (bool mean : {false, true}) {
    SCOPED_TRACE(mean ? "mean removed" : "plain");
    const std::vector<double>& want = mean ? t.mean : t.plain;
    TMWindowSpectrum s;
    c.PrepareWindow(t.b.data(), mean, s);
    std::vector<float> cc(static_cast<std::size_t>(lags), -9.0f);
    ASSERT_TRUE(c.Correlate(0, s, 0, lags, cc.data()));
    for (int i = 0; i < lags; ++i) {
      ASSERT_NEAR(cc[static_cast<std::size_t>(i)], want[static_cast<std::size_t>(i)], 1e-6)
          << "lag " << i;
      // The direct double sums of one window agree as well.
      if (i % 97 == 0) {
        ASSERT_NEAR(TMDirectCorrelation(t.a.data() + i, t.b.data(), w, mean),
                    want[static_cast<std::size_t>(i)], 1e-9);
      }
    }
    // The planted copies and the flat stretches.
    EXPECT_GT(cc[300], 0.999f);
    EXPECT_LT(cc[900], -0.999f);
    EXPECT_EQ(cc[1500], 0.0f);
    if (mean) {
      EXPECT_EQ(cc[2100], 0.0f);
    }
    // An offset read gives the same values.
    std::vector<float> part(40);
    ASSERT_TRUE(c.Correlate(0, s, 1000, 40, part.data()));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(part[static_cast<std::size_t>(i)], cc[1000u + i]);
  }
}

// Records longer than one transform block are correlated block by block.
TEST(TMSlidingCorrelation, LongRecordsAcrossBlocksAndBounds) {
  std::mt19937 rng(7);
  std::normal_distribution<float> g(0.0f, 100.0f);
  const int n = 40000, w = 300;
  std::vector<float> a(n), b(w);
  for (float& v : a) v = g(rng);
  for (float& v : b) v = g(rng);
  TMCorrelator c;
  c.SetRecord({a.data(), a.data() + 1}, {n, n - 1}, w);
  TMWindowSpectrum s;
  c.PrepareWindow(b.data(), false, s);
  const int lags = n - w + 1;
  std::vector<float> cc(static_cast<std::size_t>(lags));
  ASSERT_TRUE(c.Correlate(0, s, 0, lags, cc.data()));
  for (int i = 0; i < lags; i += 131)
    ASSERT_NEAR(cc[static_cast<std::size_t>(i)],
                TMDirectCorrelation(a.data() + i, b.data(), w, false), 1e-6);
  // Windows reaching past the end are refused without writing.
  std::vector<float> out(2, 5.0f);
  EXPECT_FALSE(c.Correlate(1, s, lags - 1, 1, out.data()));
  EXPECT_FALSE(c.Correlate(0, s, lags - 1, 2, out.data()));
  EXPECT_FALSE(c.Correlate(2, s, 0, 1, out.data()));
  EXPECT_EQ(out[0], 5.0f);
  // A silent template gives zeros.
  std::vector<float> zero(w, 0.0f);
  c.PrepareWindow(zero.data(), false, s);
  ASSERT_TRUE(c.Correlate(0, s, 10, 2, out.data()));
  EXPECT_EQ(out[0], 0.0f);
}
