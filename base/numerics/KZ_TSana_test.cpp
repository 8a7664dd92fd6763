#include "base/numerics/KZ_TSana.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "base/numerics/KZ_TSanaAR.h"
#include "base/numerics/TestTables.h"

namespace {

KZ_Ary_* MakeSeries(const std::vector<double>& v) {
  auto* a = new KZ_Ary_(static_cast<int>(v.size()));
  for (std::size_t i = 0; i < v.size(); ++i) (*a)[static_cast<int>(i) + 1] = v[i];
  return a;
}

void ExpectRel(double expected, double actual, double rel, const char* what) {
  EXPECT_NEAR(actual, expected, rel * std::max(1.0, std::fabs(expected))) << what;
}

// A noise segment of `onset` samples of unit-variance white noise followed by an abrupt
// broadband arrival (an independent noise burst with a slowly decaying envelope) whose
// RMS at the onset is `snr` times the noise RMS, on the same background noise.
std::vector<double> OnsetTrace(int n, int onset, double snr, int seed) {
  std::mt19937 gen(static_cast<unsigned>(seed));
  std::normal_distribution<double> normal;
  std::vector<double> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) v[i] = normal(gen);
  for (int i = onset; i < n; ++i) v[i] += snr * normal(gen) * std::exp(-(i - onset) / 600.0);
  return v;
}

}  // namespace

TEST(KZ_TSanaAR, LeastSquaresFitsMatchAutoRegOnTheSameDesign) {
  tv_test::Table t("base/numerics/testdata/b3_ar_fits.txt");
  const int cases = t.integer();
  for (int c = 0; c < cases; ++c) {
    const int n = t.integer();
    const int K = t.integer();
    std::unique_ptr<KZ_Ary_> x(MakeSeries(t.nums(n)));
    // Every order from one reduction.
    KZ_TSanaAR ar;
    KZ_Ary2D_ X(200, 51), A(50, 50);
    KZ_Ary_ d(201);
    ar.Reduce(x.get(), &d, n - K, 0, K, 200, &X);
    std::vector<double> sig2(K + 1), aic(K + 1);
    int best = -1;
    KZ_TSana::Regress(&X, K, n - K, 200, &A, sig2.data(), aic.data(), &best);
    for (int m = 0; m <= K; ++m) {
      SCOPED_TRACE(testing::Message() << "n " << n << " order " << m);
      EXPECT_EQ(t.integer(), m);
      ExpectRel(t.num(), sig2[m], 1e-9, "sig2");
      ExpectRel(t.num(), aic[m], 1e-7, "aic");
      for (int i = 1; i <= m; ++i) EXPECT_NEAR(A.at(i, m), t.num(), 1e-9);
    }
    const int refBest = t.integer();
    EXPECT_EQ(best, refBest);
    KZ_Ary_ coef(50);
    int p = -1;
    double s2 = 0.0;
    ar.FitMinAIC(x.get(), n, &coef, &p, &s2, K);
    EXPECT_EQ(p, refBest);
    EXPECT_DOUBLE_EQ(s2, sig2[refBest]);
    for (int i = 1; i <= p; ++i) EXPECT_DOUBLE_EQ(coef[i], A.at(i, p));
  }
}

TEST(KZ_TSanaAR, ShortSeriesCapTheOrderToTheRowsAvailable) {
  // Seven samples leave rows for order 3 at most (n - K >= K + 1): asking for 50 must
  // give what asking for 3 gives.
  std::unique_ptr<KZ_Ary_> x(MakeSeries({0.3, -1.2, 2.0, 0.4, -0.8, 1.5, -0.2}));
  KZ_TSanaAR ar;
  KZ_Ary_ c50(50), c3(50);
  int p50 = -1, p3 = -1;
  double s50 = -1, s3 = -1;
  ar.FitMinAIC(x.get(), 7, &c50, &p50, &s50, 50);
  ar.FitMinAIC(x.get(), 7, &c3, &p3, &s3, 3);
  EXPECT_EQ(p50, p3);
  EXPECT_DOUBLE_EQ(s50, s3);
  for (int i = 1; i <= p3; ++i) EXPECT_DOUBLE_EQ(c50[i], c3[i]);
  EXPECT_TRUE(std::isfinite(s50));
  // A single sample leaves nothing to fit.
  ar.FitMinAIC(x.get(), 1, &c50, &p50, &s50, 5);
  EXPECT_EQ(p50, 0);
  EXPECT_EQ(s50, 0.0);
}

TEST(KZ_TSanaAR, YuleWalkerMatchesToeplitzSolutions) {
  tv_test::Table t("base/numerics/testdata/b3_yule_walker.txt");
  const int cases = t.integer();
  for (int c = 0; c < cases; ++c) {
    const int n = t.integer();
    std::unique_ptr<KZ_Ary_> x(MakeSeries(t.nums(n)));
    const int M = t.integer();
    if (n == 9) {
      EXPECT_EQ(M, 6);
    }
    std::vector<std::vector<double>> coefs(M + 1);
    for (int k = 1; k <= M; ++k) {
      EXPECT_EQ(t.integer(), k);
      t.num();  // mse
      t.num();  // aic
      coefs[k] = t.nums(k);
    }
    const int refP = t.integer();
    const double refVar = t.num();
    KZ_Ary_ a(20);
    int p = -1;
    double var = 0.0;
    KZ_TSanaAR::FitYuleWalker(x.get(), n, &a, &p, &var);
    SCOPED_TRACE(testing::Message() << "n " << n);
    ASSERT_EQ(p, refP);
    ExpectRel(refVar, var, 1e-10, "var");
    for (int j = 1; j <= p; ++j) EXPECT_NEAR(a[j], coefs[p][j - 1], 1e-10);
  }
}

TEST(KZ_TSanaAR, SpectraMatchFreqz) {
  tv_test::Table t("base/numerics/testdata/b3_ar_psd.txt");
  const int cases = t.integer();
  for (int c = 0; c < cases; ++c) {
    const int p = t.integer(), q = t.integer();
    const double sig2 = t.num();
    const int nf = t.integer();
    std::unique_ptr<KZ_Ary_> a(MakeSeries(t.nums(p))), b(MakeSeries(t.nums(q)));
    const std::vector<double> ref = t.nums(nf + 1);
    std::vector<double> out(nf + 1), lg(nf + 1);
    KZ_TSanaAR::Spectrum(a.get(), p, b.get(), q, sig2, out.data(), nf, false, false);
    KZ_TSanaAR::Spectrum(a.get(), p, b.get(), q, sig2, lg.data(), nf, true, true);
    const double top =
        std::max(-10.0, std::log10(*std::max_element(ref.begin(), ref.end()) + 1e-25));
    for (int i = 0; i <= nf; ++i) {
      ExpectRel(ref[i], out[i], 1e-12, "spectrum");
      EXPECT_NEAR(lg[i], std::log10(ref[i] + 1e-25) - top, 1e-12);
    }
  }
  // Normalising a spectrum that lies wholly below -10 (in log10) lifts it by 10.
  KZ_Ary_ none(1);
  double out[3];
  KZ_TSanaAR::Spectrum(&none, 0, nullptr, 0, 1e-14, out, 2, true, true);
  for (double v : out) EXPECT_NEAR(v, std::log10(0.5e-14 + 1e-25) + 10.0, 1e-12);
}

// The picks of one trace in the order the waveform picker makes them: the Householder
// change point over the whole trace, the single-model pick over the whole trace, then the
// two picks of the two-stage picker in the 256-sample window around it (unfiltered here:
// the pickers' own accuracy is under test, not the caller's smoothing).
struct Picks {
  int changePoint, whole, noiseModel, twoModel;
};

Picks PickTrace(const std::vector<double>& v) {
  const int n = static_cast<int>(v.size());
  std::unique_ptr<KZ_Ary_> x(MakeSeries(v));
  KZ_TSanaAR ar;
  KZ_Ary_ e(n), w(n);
  std::vector<double> aic(n);
  Picks p{};
  KZ_TSana::RemoveMean(x.get(), n, n / 4);
  p.changePoint = ar.PickChangePointAIC(x.get(), n, 5, 1, 50, n - 50, n, aic.data(), 1) + 49;
  double snr = 0;
  EXPECT_EQ(ar.PickOnsetAIC(x.get(), n, 64, &p.whole, &snr, &e, aic.data()), 0);
  EXPECT_GT(snr, 1.0);
  const int start = std::clamp(p.whole - 128, 1, n - 256);
  KZ_Ary_ win(256);
  for (int i = 1; i <= 256; ++i) win[i] = (*x)[start + i - 1];
  KZ_TSana::RemoveMean(&win, 256, 256);
  int none = -1, none2 = -1;
  double snr2 = 0;
  ar.AutoPickOnset(&win, 256, 64, &p.noiseModel, &snr, &none, &p.twoModel, &snr2, &none2, &w, &e,
                   aic.data());
  EXPECT_EQ(none, 0);
  EXPECT_EQ(none2, 0);
  p.noiseModel += start - 1;
  p.twoModel += start - 1;
  return p;
}

TEST(KZ_TSanaAR, OnsetPickersFindSyntheticOnsets) {
  // Onset after 1-based sample 1000: the pick is the zero-based index 999. At SNR 10 and 5
  // every pick of every trace must lie within the tolerance; at SNR 2 a noise burst may
  // now and then win, so 8 traces of 10 must.
  const int n = 2048, onset = 1000, expected = 999, traces = 10;
  struct Case {
    double snr;
    int tolerance, required;
  };
  for (const Case& c : {Case{10, 2, traces}, Case{5, 4, traces}, Case{2, 6, 8}}) {
    int good[3] = {0, 0, 0};
    for (int seed = 1; seed <= traces; ++seed) {
      SCOPED_TRACE(testing::Message() << "SNR " << c.snr << " seed " << seed);
      const std::vector<double> v = OnsetTrace(n, onset, c.snr, seed);
      std::vector<double> scaled(v);
      for (double& s : scaled) s *= 1e-6;
      const Picks p = PickTrace(v);
      const Picks q = PickTrace(scaled);
      // The waveform picker takes a refined pick only when it lies before the current one
      // (the noise-model scan of a window tends to a late minimum at its end).
      const int final = std::min({p.whole, p.noiseModel, p.twoModel});
      good[0] += std::abs(p.changePoint - expected) <= c.tolerance;
      good[1] += std::abs(p.whole - expected) <= c.tolerance;
      good[2] += std::abs(final - expected) <= c.tolerance;
      if (c.snr == 10) {
        EXPECT_NEAR(p.twoModel, expected, 3);
      }
      EXPECT_EQ(q.changePoint, p.changePoint);
      EXPECT_EQ(q.whole, p.whole);
      EXPECT_EQ(q.noiseModel, p.noiseModel);
      EXPECT_EQ(q.twoModel, p.twoModel);
    }
    EXPECT_GE(good[0], c.required) << "change point, SNR " << c.snr;
    EXPECT_GE(good[1], c.required) << "single model, SNR " << c.snr;
    EXPECT_GE(good[2], c.required) << "refined, SNR " << c.snr;
  }
}

TEST(KZ_TSanaAR, SilentSeriesGiveNoPick) {
  const int n = 600;
  std::unique_ptr<KZ_Ary_> x(MakeSeries(std::vector<double>(n, 0.0)));
  KZ_TSanaAR ar;
  KZ_Ary_ e(n), w(n);
  std::vector<double> aic(n);
  int pick = -1, pick2 = -1, none = -1, none2 = -1;
  double snr = -1, snr2 = -1;
  EXPECT_EQ(ar.PickOnsetAIC(x.get(), n, 64, &pick, &snr, &e, aic.data()), 1);
  EXPECT_EQ(pick, 0);
  EXPECT_EQ(snr, 0.0);
  ar.AutoPickOnset(x.get(), n, 64, &pick, &snr, &none, &pick2, &snr2, &none2, &w, &e, aic.data());
  EXPECT_EQ(none, 1);
  EXPECT_EQ(none2, 1);
  EXPECT_EQ(pick, 0);
  EXPECT_EQ(pick2, 0);
  double ratio = -1;
  ar.PickQualityRatio(x.get(), n, 64, 300, &ratio, &e);
  EXPECT_EQ(ratio, 0.0);
}

TEST(KZ_TSanaAR, PickOnsetStopsScanningTwentyAboveTheMinimum) {
  // Quiet noise, then a burst: once the curve has risen 20 above its minimum the scan
  // ends and the entries beyond stay as the caller left them.
  const int n = 1200;
  std::vector<double> v = OnsetTrace(n, 500, 20, 3);
  std::unique_ptr<KZ_Ary_> x(MakeSeries(v));
  KZ_TSanaAR ar;
  KZ_Ary_ e(n);
  std::vector<double> aic(n, 12345.0);
  int pick = 0;
  double snr = 0;
  ASSERT_EQ(ar.PickOnsetAIC(x.get(), n, 64, &pick, &snr, &e, aic.data()), 0);
  int last = 0;
  while (last < n && aic[last] != 12345.0) ++last;
  ASSERT_LT(last, n - 2 * 64);
  // Every entry before the last stays within 20 of the running minimum; the last one
  // rose above it.
  double running = aic[0];
  for (int i = 1; i < last - 1; ++i) {
    EXPECT_LE(aic[i], running + 20.0) << i;
    running = std::min(running, aic[i]);
  }
  EXPECT_GT(aic[last - 1], running + 20.0);
  const double least = running;
  EXPECT_EQ(aic[pick - 64], least);
}

TEST(KZ_TSanaAR, ChangePointSeriesEqualsFreshFitsOfEachSplit) {
  // The incremental row updates must give the AIC of fitting each section from scratch.
  const int n = 260, K = 3, a = 1, b = 60, c = 200, d = n;
  std::unique_ptr<KZ_Ary_> x(MakeSeries(OnsetTrace(n, 130, 4, 9)));
  KZ_TSanaAR ar;
  std::vector<double> aic(c - b);
  ar.PickChangePointAIC(x.get(), n, K, a, b, c, d, aic.data(), 1);
  auto least = [&](int N0, int rows) {
    KZ_Ary2D_ X(200, 51), A(50, 50);
    KZ_Ary_ dd(201);
    ar.Reduce(x.get(), &dd, rows, N0, K, 200, &X);
    std::vector<double> s2(K + 1), ai(K + 1);
    int best = 0;
    KZ_TSana::Regress(&X, K, rows, 200, &A, s2.data(), ai.data(), &best);
    return ai[best];
  };
  for (int i : {0, 1, 37, 70, 139}) {
    // Noise targets x[a+K+1 .. b+i], signal targets x[b+i+1 .. d-1].
    const double fwd = least(a, b + i - a - K);
    const double bwd = least(b + i - K, d - 1 - (b + i));
    EXPECT_NEAR(aic[i], fwd + bwd, 1e-8 * std::fabs(fwd + bwd)) << i;
  }
  // No room for the sections: no pick and nothing written.
  std::fill(aic.begin(), aic.end(), 7.0);
  EXPECT_EQ(ar.PickChangePointAIC(x.get(), n, 5, 1, 2, 2, n, aic.data(), 1), -1);
  EXPECT_EQ(aic[0], 7.0);
}

TEST(KZ_TSanaAR, EnergyAndQualityRatios) {
  KZ_Ary_ e(40);
  for (int i = 1; i <= 40; ++i) e[i] = i <= 20 ? 1.0 : 4.0;
  struct Case {
    int k;
    double ratio;
  } cases[] = {{10, 0.0}, {31, 0.0}, {20, 2.0}, {30, std::sqrt(40.0 / 37.0)}};
  for (const Case& c : cases)
    EXPECT_NEAR(KZ_TSanaAR::EnergyRatio(&e, 40, c.k, 10), c.ratio, 1e-12) << c.k;
  for (int i = 1; i <= 20; ++i) e[i] = 0.0;
  EXPECT_EQ(KZ_TSanaAR::EnergyRatio(&e, 40, 20, 10), 9999.0);

  // Noise model from a tiny noise, then a strong burst after sample 120: more than a
  // million times the energy.
  std::vector<double> v = OnsetTrace(256, 120, 0, 4);
  for (int i = 0; i < 256; ++i) v[i] = i < 120 ? v[i] * 1e-4 : 50.0 * std::sin(i * 0.9);
  std::unique_ptr<KZ_Ary_> x(MakeSeries(v));
  KZ_TSanaAR ar;
  KZ_Ary_ err(256);
  double ratio = 0;
  ar.PickQualityRatio(x.get(), 256, 64, 120, &ratio, &err);
  EXPECT_EQ(ratio, 1000.0);
  // The mean of the caller's series was removed.
  double mean = 0;
  for (int i = 1; i <= 256; ++i) mean += (*x)[i];
  EXPECT_NEAR(mean / 256, 0.0, 1e-9);
  // A window that does not fit the series is refused.
  ar.PickQualityRatio(x.get(), 256, 64, 250, &ratio, &err);
  EXPECT_EQ(ratio, 0.0);
}

TEST(KZ_TSana, MedianFilterWithMirroredEnds) {
  const std::vector<double> v = {5, 1, 9, 3, 7, 2, 8, 6, 4, 0, 11, 10};
  const int n = static_cast<int>(v.size());
  for (int k : {0, 1, 2, 4}) {
    std::unique_ptr<KZ_Ary_> x(MakeSeries(v));
    KZ_TSana::MedianFilter(x.get(), n, k);
    for (int t = 1; t <= n; ++t) {
      std::vector<double> win;
      for (int j = t - k; j <= t + k; ++j) {
        const int jj = j < 1 ? 2 - j : (j > n ? 2 * n - j : j);
        win.push_back(v[jj - 1]);
      }
      std::sort(win.begin(), win.end());
      EXPECT_EQ((*x)[t], win[k]) << "k " << k << " t " << t;
    }
  }
  double one[2] = {0, 42};
  EXPECT_EQ(KZ_TSana::Median(one, 1), 42);
  double four[5] = {0, 4, 1, 3, 2};
  EXPECT_EQ(KZ_TSana::Median(four, 4), 3);  // w[4/2 + 1] after sorting
}

TEST(KZ_TSana, SortIndexedKeepsIndicesWithTheirValues) {
  for (int n : {1, 6, 7, 50, 5000}) {
    std::vector<float> a(n);
    std::vector<int> idx(n);
    int seed = -n;
    for (int i = 0; i < n; ++i) {
      a[i] = std::floor(KZ_TSana::UniformDeviate(&seed) * 100.0f);  // many ties
      idx[i] = i;
    }
    const std::vector<float> orig(a);
    KZ_TSana::SortIndexed(a.data(), n, idx.data());
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end())) << n;
    std::vector<int> seen(idx);
    std::sort(seen.begin(), seen.end());
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(seen[i], i);
      EXPECT_EQ(a[i], orig[idx[i]]);
    }
  }
}

TEST(KZ_TSana, DeviatesRestartFromANegativeSeed) {
  int seed = -17;
  std::vector<float> first;
  for (int i = 0; i < 5; ++i) first.push_back(KZ_TSana::UniformDeviate(&seed));
  EXPECT_EQ(seed, 1);
  seed = -17;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(KZ_TSana::UniformDeviate(&seed), first[i]);

  seed = -3;
  double s = 0, s2 = 0;
  const int N = 40000;
  for (int i = 0; i < N; ++i) {
    const double u = KZ_TSana::UniformDeviate(&seed);
    ASSERT_GT(u, 0.0);
    ASSERT_LT(u, 1.0);
    const double g = KZ_TSana::GaussDeviate(&seed);
    s += g;
    s2 += g * g;
  }
  EXPECT_NEAR(s / N, 0.0, 0.03);
  EXPECT_NEAR(s2 / N, 1.0, 0.03);
}

TEST(KZ_TSana, FourierSumsAndMean) {
  const double g[4] = {0.5, -1.0, 2.0, 0.25};
  double re[5], im[5];
  KZ_TSana::FourierCosSin(g, 4, 5, re, im);
  for (int i = 0; i < 5; ++i) {
    const double w = M_PI * i / 4;
    double c = 0, s = 0;
    for (int J = 0; J < 4; ++J) {
      c += g[J] * std::cos(J * w);
      s += g[J] * std::sin(J * w);
    }
    EXPECT_NEAR(re[i], c, 1e-13);
    EXPECT_NEAR(im[i], s, 1e-13);
  }
  std::unique_ptr<KZ_Ary_> x(MakeSeries({1, 2, 3, 10}));
  KZ_TSana::RemoveMean(x.get(), 4, 3);
  EXPECT_EQ((*x)[1], -1.0);
  EXPECT_EQ((*x)[4], 8.0);
}
