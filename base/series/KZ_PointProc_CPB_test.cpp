#include "base/series/KZ_PointProc_CPB.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/numerics/KZ_ModelFunctions.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/series/KZ_MultiVarObj.h"

namespace {

double Law(KZ_ModelFunction f, double x, std::vector<double> p) {
  p.insert(p.begin(), x);
  return f(p.data());
}

// Samples at normalised times 1, 0.995, ..., 0.005 of a curve from t0 = 0 to tc = 100, so
// that every value of the grid "0.01,1,0.01" is a sample.
struct Curve {
  std::vector<double> T, E;
  Curve(KZ_ModelFunction f, const std::vector<double>& p) {
    for (int j = 0; j < 200; ++j) {
      const double x = 1.0 - 0.005 * j;
      T.push_back(100.0 * (1.0 - x));
      E.push_back(2.0 + 3.0 * Law(f, x, p));  // E0 = 2, Ec = 5
    }
  }
};

// The numbers after "name=" in a result line.
double After(const std::string& line, const std::string& name) {
  const std::size_t at = line.find(name + "=");
  EXPECT_NE(at, std::string::npos) << name << " in " << line;
  return at == std::string::npos ? NAN : std::atof(line.c_str() + at + name.size() + 1);
}

TEST(TimeToFailure, NormalisedCurvesRecoverEachLaw) {
  const struct {
    KZ_ModelFunction f;
    std::vector<double> p;
    int column, line;
    std::vector<const char*> names;
  } cases[] = {
      {KZ_PowerLawModel, {1.0, -0.9, 0.35}, 2, 1, {"A", "B", "m"}},
      {KZ_LogPeriodicModel,
       {-0.95, 0.04, 2.3, 0.32, 3.1},
       3,
       2,
       {"a1", "a2", "fai", "alfa", "omg"}},
      {KZ_LogPeriodicModelC, {0.03, 0.12, -5.5, 0.75, 3.2}, 4, 3, {"a", "b", "c", "alfa", "omg"}},
  };
  for (const auto& c : cases) {
    Curve cv(c.f, c.p);
    KZ_PointProc_CPB cpb;
    KZ_MultiVarObj out;
    ASSERT_EQ(cpb.NormalizedCurves(cv.T.data(), cv.E.data(), 200, 0.0, 100.0, 2.0, 5.0,
                                   "0.01,1,0.01", &out),
              8);
    EXPECT_DOUBLE_EQ(cv.T[1], 0.995);  // normalised in place
    EXPECT_EQ(out.m_nHeaders, 5);
    EXPECT_EQ(out.m_strHeader[0], "T(0.00, 100.00)");
    const int m = out.m_Columns[0].m_nCount;
    ASSERT_EQ(m, 100);
    for (int i = 0; i < m; ++i) {
      const double x = out.m_ppData[0][i];
      EXPECT_NEAR(out.m_ppData[1][i], Law(c.f, x, c.p), 1e-12) << i;
      // The fitted law reproduces the noise-free curve.
      EXPECT_NEAR(out.m_ppData[c.column][i], Law(c.f, x, c.p), 1e-4) << c.column << " " << i;
    }
    const std::string& line = out.m_strHeader[c.line];
    for (std::size_t j = 0; j < c.p.size(); ++j)
      EXPECT_NEAR(After(line, c.names[j]), c.p[j], 0.0051) << line;
    EXPECT_EQ(line.find("nan"), std::string::npos) << line;
  }
}

TEST(TimeToFailure, CurveColumnsAndDerivatives) {
  Curve cv(KZ_PowerLawModel, {1.0, -0.9, 0.35});
  KZ_PointProc_CPB cpb;
  KZ_MultiVarObj out;
  cpb.NormalizedCurves(cv.T.data(), cv.E.data(), 200, 0.0, 100.0, 2.0, 5.0, "0.01,1,0.01", &out);
  const char* titles[8] = {"(tc-t)/tc", "E(t)/E(tc)", "AMR",   "NGS",
                           "SM_NGS",    nullptr,      nullptr, "df/dx"};
  for (int k = 0; k < 8; ++k) {
    if (titles[k]) {
      EXPECT_EQ(out.m_Columns[k].m_strTitle, titles[k]) << k;
    }
  }
  EXPECT_EQ(out.m_Columns[0].m_dMin, 1.0);  // the axis runs from 1 down to 0
  EXPECT_EQ(out.m_Columns[0].m_dMax, 0.0);
  EXPECT_EQ(out.m_strHeader[3].find("b=", out.m_strHeader[3].find("b=") + 1), std::string::npos)
      << "the NGS line names its third parameter c";
  // Columns 5 and 6 are the negated slopes of columns 1 and 4; column 7 the negated F'.
  const double* x = out.m_ppData[0];
  for (int i = 1; i + 1 < 100; ++i) {
    const double d = ((out.m_ppData[1][i + 1] - out.m_ppData[1][i]) / (x[i + 1] - x[i]) +
                      (out.m_ppData[1][i] - out.m_ppData[1][i - 1]) / (x[i] - x[i - 1])) /
                     2;
    EXPECT_NEAR(out.m_ppData[5][i], -d, 1e-9) << i;
  }
  float mx = 0;
  for (int k = 5; k <= 6; ++k)
    for (int i = 0; i < 100; ++i) mx = std::max(mx, static_cast<float>(out.m_ppData[k][i]));
  EXPECT_EQ(out.m_Columns[5].m_dMax, KZ_NiceCeilF(mx));
  EXPECT_EQ(out.m_Columns[6].m_nAxisFlags, KZ_AXIS_Y);
}

// A law whose fit is refused shows no fitted curve, no derived column and no start values
// with empty half-widths: its line says that no fit was found.
TEST(TimeToFailure, RefusedCurveFitsSayNoFitFound) {
  Curve cv(KZ_PowerLawModel, {1.0, -0.9, 0.35});
  KZ_PointProc_CPB cpb;
  KZ_MultiVarObj out;
  // Three grid values: no degrees of freedom for any of the three laws.
  cpb.NormalizedCurves(cv.T.data(), cv.E.data(), 200, 0.0, 100.0, 2.0, 5.0, "0.4,1,0.3", &out);
  ASSERT_EQ(out.m_Columns[1].m_nCount, 3);
  EXPECT_EQ(out.m_nHeaders, 5);
  EXPECT_EQ(out.m_strHeader[1], "AMR: no fit found");
  EXPECT_EQ(out.m_strHeader[2], "RGS: no fit found");
  EXPECT_EQ(out.m_strHeader[3], "Self-similar extrapolation of NGS: no fit found");
  EXPECT_EQ(out.m_strHeader[4], "");
  EXPECT_EQ(out.m_nColumns, 8);
  EXPECT_EQ(out.m_Columns[5].m_nCount, 3);  // the data's own slope stays
  for (int k : {2, 3, 4, 6, 7}) {
    EXPECT_EQ(out.m_Columns[k].m_nCount, 0) << k;
    EXPECT_EQ(out.m_Columns[k].m_nAxisFlags, 0) << k;
  }

  // The laws that fit keep their results beside one that is refused.
  KZ_MultiVarObj good;
  Curve pw(KZ_PowerLawModel, {1.0, -0.9, 0.35});
  cpb.NormalizedCurves(pw.T.data(), pw.E.data(), 200, 0.0, 100.0, 2.0, 5.0, "0.01,1,0.01", &good);
  EXPECT_NEAR(After(good.m_strHeader[1], "m"), 0.35, 0.01) << good.m_strHeader[1];
  for (int line = 1; line <= 4; ++line)
    EXPECT_EQ(good.m_strHeader[line].find("nan"), std::string::npos) << good.m_strHeader[line];
}

// E(t) = F((tc - t)/tc) of the complex form, sampled every 0.1 up to t = 95.
struct RateCurve {
  std::vector<double> T, E;
  static constexpr double kTc = 100.0;
  explicit RateCurve(int n = 951) {
    const std::vector<double> p = {0.03, 0.12, -5.5, 0.75, 3.2};
    for (int i = 0; i < n; ++i) {
      T.push_back(0.1 * i);
      E.push_back(Law(KZ_LogPeriodicModelC, (kTc - T.back()) / kTc, p));
    }
  }
};

TEST(TimeToFailure, RateFitFindsTheFailureTime) {
  RateCurve rc;
  KZ_PointProc_CPB cpb;
  KZ_MultiVarObj out;
  ASSERT_EQ(cpb.FitNGS(rc.T.data(), rc.E.data(), 951, 90.0, &out), 6);
  EXPECT_EQ(out.m_nColumns, 6);
  EXPECT_EQ(out.m_strHeader[0], "Tk=90.00");
  const double tc = After(out.m_strHeader[1], "tc");
  EXPECT_NEAR(tc, RateCurve::kTc, 0.01 * RateCurve::kTc) << out.m_strHeader[1];
  EXPECT_NEAR(After(out.m_strHeader[1], "alfa"), 0.75, 0.02) << out.m_strHeader[1];
  EXPECT_NEAR(After(out.m_strHeader[1], "omg"), 3.2, 0.05) << out.m_strHeader[1];
  // The extrapolation passes through the data at row k (t = 90) and follows it.
  EXPECT_NEAR(out.m_ppData[4][900], rc.E[900], 1e-12);
  for (int i : {500, 800, 950}) EXPECT_NEAR(out.m_ppData[4][i], rc.E[i], 1e-3 * rc.E[950]) << i;
  EXPECT_EQ(out.m_Columns[4].m_strTitle, "E.P.");
  EXPECT_EQ(out.m_Columns[5].m_strTitle, "Eerr");
}

TEST(TimeToFailure, MonteCarloWithoutNoiseRepeatsOneFit) {
  RateCurve rc;
  KZ_PointProc_CPB cpb;
  cpb.m_strTimeUnit = "s";
  KZ_MultiVarObj out;
  const int cols = cpb.FitRGS(rc.T.data(), rc.E.data(), 951, 90.0, &out, 3, 0.0f);
  EXPECT_EQ(cols, 8);
  EXPECT_EQ(out.m_Columns[0].m_strUnit, "s");
  EXPECT_EQ(out.m_strHeader[0], "Tk=90.00, nMC=3, Err=0.0000");
  const std::string& line = out.m_strHeader[1];
  EXPECT_NEAR(After(line, "tc"), RateCurve::kTc, 1.0) << line;
  EXPECT_NE(line.find("tc=" + std::string(line.substr(line.find("tc=") + 3, 6)) + "(0.00)"),
            std::string::npos)
      << line;
  KZ_MultiVarObj* s = out.m_pSubTable.get();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->m_nColumns, 7);
  EXPECT_EQ(s->m_Columns[6].m_strTitle, "tc");
  EXPECT_EQ(s->m_ppData[6][0], s->m_ppData[6][2]);
  // Each extrapolated column stops 1e-5 before its own tc, in the extension rows.
  const double tc = s->m_ppData[6][0];
  const int len = out.m_Columns[5].m_nCount;
  ASSERT_GT(len, 951);
  EXPECT_GE(tc - out.m_ppData[0][len - 1], 1e-5);
  EXPECT_LT(tc - out.m_ppData[0][len], 1e-5);
  EXPECT_EQ(out.m_Columns[0].m_nCount, len);
  EXPECT_DOUBLE_EQ(out.m_ppData[0][951], 2 * 95.0 - rc.T[949]);

  // err < 0: five percent of the median two-point rate.
  KZ_MultiVarObj out2;
  cpb.FitRGS(rc.T.data(), rc.E.data(), 951, 90.0, &out2, 1, -1.0f);
  std::vector<double> r(950);
  for (int i = 0; i < 950; ++i) {
    const double d = i == 0 ? (rc.E[1] - rc.E[0]) / 0.1
                            : ((rc.E[i + 1] - rc.E[i]) / 0.1 + (rc.E[i] - rc.E[i - 1]) / 0.1) / 2;
    r[i] = 2 * d / (rc.E[i] + rc.E[i + 1]);
  }
  r.push_back(r.back());
  const double err = static_cast<float>(0.05 * KZ_MedianD(r.data(), 951));
  char want[64];
  std::snprintf(want, sizeof want, "Tk=90.00, nMC=1, Err=%.4f", err);
  EXPECT_EQ(out2.m_strHeader[0], want);
}

TEST(TimeToFailure, SamplesAloneAndShortData) {
  RateCurve rc;
  KZ_PointProc_CPB cpb;
  KZ_MultiVarObj samples;
  EXPECT_EQ(cpb.FitLogPeriodic(rc.T.data(), rc.E.data(), 951, 90.0, &samples, 2, 0.0f), 7);
  EXPECT_EQ(samples.m_nColumns, 7);
  EXPECT_EQ(samples.m_nHeaders, 1);
  EXPECT_NEAR(samples.m_ppData[6][1], RateCurve::kTc, 1.0);

  // Tk after every sample: k = n - 1 (the rows before t = 90, as with Tk = 90 above).
  KZ_MultiVarObj out;
  ASSERT_EQ(cpb.FitNGS(rc.T.data(), rc.E.data(), 901, 500.0, &out), 6);
  EXPECT_EQ(out.m_strHeader[0], "Tk=500.00");
  EXPECT_EQ(cpb.m_nFits, 1);

  KZ_MultiVarObj kept;
  kept.m_strHeader[0] = "kept";
  EXPECT_EQ(cpb.FitNGS(rc.T.data(), rc.E.data(), 1, 90.0, &kept), 0);
  EXPECT_EQ(cpb.FitRGS(rc.T.data(), rc.E.data(), 1, 90.0, &kept, 2, 0.0f), 0);
  EXPECT_EQ(kept.m_strHeader[0], "kept");
}

// An accelerating series on the time scale of an experiment: the rate dE/dt/E grows as
// K (tc - t)^-0.6 towards tc = 5400 s (E = exp(-K (tc - t)^0.4 / 0.4)), from about 1e-4 /s
// at t = 0, sampled every 10 s up to 5000 s. The failure time is found however far from the
// fixed start vector the series lies.
struct PowerRateCurve {
  std::vector<double> T, E;
  static constexpr double kTc = 5400.0;
  PowerRateCurve() {
    const double K = 1e-4 * std::pow(kTc, 0.6);
    for (int i = 0; i <= 500; ++i) {
      T.push_back(10.0 * i);
      E.push_back(std::exp(-K * std::pow(kTc - T.back(), 0.4) / 0.4));
    }
  }
};

TEST(TimeToFailure, AcceleratingSeriesPredictsItsFailureTime) {
  PowerRateCurve pc;
  const int n = static_cast<int>(pc.T.size());
  KZ_PointProc_CPB cpb;
  KZ_MultiVarObj one;
  ASSERT_EQ(cpb.FitNGS(pc.T.data(), pc.E.data(), n, 5000.0, &one), 6);
  ASSERT_TRUE(cpb.EnoughFits()) << one.m_strHeader[1];
  EXPECT_NEAR(After(one.m_strHeader[1], "tc"), PowerRateCurve::kTc, 0.02 * PowerRateCurve::kTc)
      << one.m_strHeader[1];
  for (int line = 1; line <= 2; ++line)
    EXPECT_EQ(one.m_strHeader[line].find("nan"), std::string::npos) << one.m_strHeader[line];

  // Monte-Carlo with noise of 5 % of the median rate: the truth lies within two standard
  // deviations of the mean, and the spread is small against tc.
  for (int run = 0; run < 2; ++run) {
    KZ_MultiVarObj out;
    if (run == 0)
      cpb.FitRGS(pc.T.data(), pc.E.data(), n, 5000.0, &out, 20, -1.0f);
    else
      cpb.FitLogPeriodic(pc.T.data(), pc.E.data(), n, 5000.0, &out, 20,
                         static_cast<float>(0.05 * 1e-4 * std::pow(5400.0 / 2700.0, 0.6)));
    ASSERT_TRUE(cpb.EnoughFits()) << run << ": " << out.m_strHeader[1];
    EXPECT_GE(cpb.m_nFits - cpb.m_nFailedFits, 18) << run;
    KZ_MultiVarObj* s = run == 0 ? out.m_pSubTable.get() : &out;
    const int good = s->m_Columns[6].m_nCount;
    double mean = 0.0, var = 0.0;
    for (int j = 0; j < good; ++j) mean += s->m_ppData[6][j] / good;
    for (int j = 0; j < good; ++j) var += std::pow(s->m_ppData[6][j] - mean, 2) / (good - 1);
    const double sd = std::sqrt(var);
    EXPECT_LT(std::fabs(mean - PowerRateCurve::kTc), 2.0 * sd + 1e-9) << run << " " << mean;
    EXPECT_LT(sd, 0.05 * PowerRateCurve::kTc) << run;
    if (run == 0) {
      EXPECT_NEAR(After(out.m_strHeader[1], "tc"), mean, 0.01) << out.m_strHeader[1];
    }
  }
}

// A fit that fails is no result: its start values never pass for a prediction, a curve
// or a Monte-Carlo sample, and the header says how many fits failed.
TEST(TimeToFailure, FailedFitsAreLeftOutAndCounted) {
  RateCurve rc;
  KZ_PointProc_CPB cpb;
  // Tk = 0.35 leaves k = 4 rate points for six parameters: every fit fails.
  KZ_MultiVarObj out;
  ASSERT_EQ(cpb.FitNGS(rc.T.data(), rc.E.data(), 951, 0.35, &out), 6);
  EXPECT_EQ(cpb.m_nFits, 1);
  EXPECT_EQ(cpb.m_nFailedFits, 1);
  EXPECT_FALSE(cpb.EnoughFits());
  EXPECT_EQ(out.m_strHeader[1],
            "Self-similar extrapolation of NGS: no prediction, the fit did not converge");
  EXPECT_EQ(out.m_Columns[4].m_nCount, 0);  // no extrapolation from the start values
  EXPECT_EQ(out.m_Columns[1].m_nCount, 951);

  ASSERT_EQ(cpb.FitRGS(rc.T.data(), rc.E.data(), 951, 0.35, &out, 5, 0.0f), 10);
  EXPECT_EQ(cpb.m_nFailedFits, 5);
  EXPECT_EQ(out.m_strHeader[1],
            "Self-similar extrapolation of RGS: no prediction, only 0 of 5 fits converged");
  EXPECT_EQ(out.m_nHeaders, 3);
  EXPECT_EQ(out.m_strHeader[2], "Failed fits: 5 of 5, left out");
  for (int j = 0; j < 5; ++j) EXPECT_EQ(out.m_Columns[5 + j].m_nCount, 0) << j;
  ASSERT_NE(out.m_pSubTable, nullptr);
  EXPECT_EQ(out.m_pSubTable->m_Columns[6].m_nCount, 0);

  KZ_MultiVarObj samples;
  ASSERT_EQ(cpb.FitLogPeriodic(rc.T.data(), rc.E.data(), 951, 0.35, &samples, 4, 0.0f), 7);
  EXPECT_EQ(cpb.m_nFailedFits, 4);
  EXPECT_EQ(samples.m_Columns[0].m_nCount, 0);
  EXPECT_EQ(samples.m_nHeaders, 2);
  EXPECT_EQ(samples.m_strHeader[1], "Failed fits: 4 of 4, left out");

  // Fits that all converge: no count line, and the statistics stand.
  ASSERT_EQ(cpb.FitRGS(rc.T.data(), rc.E.data(), 951, 90.0, &out, 2, 0.0f), 7);
  EXPECT_EQ(cpb.m_nFits, 2);
  EXPECT_EQ(cpb.m_nFailedFits, 0);
  EXPECT_TRUE(cpb.EnoughFits());
  EXPECT_EQ(out.m_nHeaders, 2);
  EXPECT_EQ(out.m_pSubTable->m_Columns[6].m_nCount, 2);
}

}  // namespace
