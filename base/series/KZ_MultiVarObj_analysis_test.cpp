#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/numerics/KZ_ModelFunctions.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/TestTables.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/testing/ScriptedUi.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A table of the given columns (column 0 the X axis, the others Y) with room for
// `capacity` columns and `rows` rows (at least the data's).
void Fill(KZ_MultiVarObj& t, const std::vector<std::vector<double>>& cols, int capacity = 10,
          int rows = 0) {
  const int n = static_cast<int>(cols[0].size());
  t.SetSize(capacity, std::max(rows, n));
  t.m_nColumns = static_cast<int>(cols.size());
  t.m_nRows = n;
  for (std::size_t c = 0; c < cols.size(); ++c) {
    std::copy(cols[c].begin(), cols[c].end(), t.m_ppData[c]);
    t.m_Columns[c].SetAll(n, 0, 0, "c" + std::to_string(c), "u" + std::to_string(c),
                          c == 0 ? KZ_AXIS_X : KZ_AXIS_Y);
  }
}

// A marked output table: a failed call must leave it exactly so.
void Mark(KZ_MultiVarObj& out) {
  Fill(out, {{1, 2, 3}, {4, 5, 6}}, 4);
  out.m_strHeader[0] = "untouched";
}

void ExpectMarked(const KZ_MultiVarObj& out) {
  EXPECT_EQ(out.m_nColumns, 2);
  EXPECT_EQ(out.m_strHeader[0], "untouched");
  EXPECT_EQ(out.m_ppData[1][2], 6.0);
  EXPECT_EQ(out.m_Columns[1].m_strTitle, "c1");
}

std::vector<double> Ramp(int n, double a, double b) {
  std::vector<double> v(n);
  for (int i = 0; i < n; ++i) v[i] = a + b * i;
  return v;
}

// ---------------------------------------------------------------------------------------
// SetFromFunction

TEST(TableFunction, TabulatesAModelOverARange) {
  KZ_MultiVarObj t;
  double p[4] = {0, 1, 2, 2};
  const char* names[2] = {"t,s", "E(t),J"};
  EXPECT_EQ(t.SetFromFunction(KZ_PowerLawModel, p, names, "0,1,0.25"), 2);
  EXPECT_EQ(t.m_nColumns, 2);
  const double x[] = {0, 0.25, 0.5, 0.75, 1}, y[] = {1, 1.125, 1.5, 2.125, 3};
  for (int i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(t.m_ppData[0][i], x[i]);
    EXPECT_DOUBLE_EQ(t.m_ppData[1][i], y[i]);
  }
  EXPECT_GE(t.m_nRowCapacity, 15);
  const KZ_Var1D &c0 = t.m_Columns[0], &c1 = t.m_Columns[1];
  EXPECT_EQ(c0.m_nCount, 5);
  EXPECT_EQ(c1.m_nCount, 5);
  EXPECT_EQ(c0.m_strTitle, "t");
  EXPECT_EQ(c0.m_strUnit, "s");
  EXPECT_EQ(c1.m_strTitle, "E(t)");
  EXPECT_EQ(c1.m_strUnit, "J");
  EXPECT_EQ(c0.m_dMin, 0.0);
  EXPECT_EQ(c0.m_dMax, 1.0);
  EXPECT_EQ(c1.m_dMin, 1.0);
  EXPECT_EQ(c1.m_dMax, 3.0);
  EXPECT_EQ(c0.m_nAxisFlags, KZ_AXIS_X);
  EXPECT_EQ(c1.m_nAxisFlags, KZ_AXIS_Y);
  EXPECT_EQ(t.m_strHeader[0], "Function:E(t),J(t,s)");
  EXPECT_EQ(t.m_nHeaders, 1);
}

// ---------------------------------------------------------------------------------------
// PowerSpectrum

struct Spectrum {
  KZ_MultiVarObj src, out;
  int Run(const std::vector<double>& x, const std::vector<double>& y, int first = 0,
          int last = -1) {
    Fill(src, {x, y});
    return out.PowerSpectrum(&src.m_Columns[0], &src.m_Columns[1], first, last, &out);
  }
};

TEST(ColumnSpectrum, RowCountsFollowThePaddedLength) {
  const struct { int n, half; } cases[] = {{2, 2}, {3, 2}, {5, 4}, {1000, 512}, {1024, 512}};
  for (const auto& c : cases) {
    Spectrum s;
    ASSERT_EQ(s.Run(Ramp(c.n, 0, 0.1), Ramp(c.n, 1, 0.5)), 1) << c.n;
    EXPECT_EQ(s.out.m_nColumns, 6);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(s.out.m_Columns[k].m_nCount, c.half) << c.n;
    const double df = 1.0 / (2 * c.half * 0.1);
    EXPECT_NEAR(s.out.m_ppData[0][1], df, 1e-12);
    EXPECT_NEAR(s.out.m_ppData[1][1], 1 / df, 1e-9);
    EXPECT_NEAR(s.out.m_ppData[1][0], (c.n - 1) * 0.1, 1e-12);  // the record length
  }
}

TEST(ColumnSpectrum, MatchesNumpyAndTheAutoregressiveModel) {
  tv_test::Table t("base/series/testdata/analysis_power.txt");
  const int n = t.integer();
  const double dt = t.num(), t0 = t.num();
  const std::vector<double> y = t.nums(n);
  t.integer();  // the AR order statsmodels chose
  Spectrum s;
  Fill(s.src, {Ramp(n, t0, dt), y});
  s.src.m_Columns[0].m_strUnit = "s";
  s.src.m_Columns[1].m_strTitle = "Amp";
  s.src.m_Columns[1].m_strUnit = "V";
  // Rows 100..n+99 of a longer table.
  KZ_MultiVarObj& src = s.src;
  std::vector<double> X(n + 200, 0.0), Y(n + 200, 0.0);
  for (int i = 0; i < n; ++i) X[i + 100] = t0 + dt * i, Y[i + 100] = y[i];
  Fill(src, {X, Y});
  src.m_Columns[0].m_strUnit = "s";
  src.m_Columns[1].m_strTitle = "Amp";
  src.m_Columns[1].m_strUnit = "V";
  ASSERT_EQ(s.out.PowerSpectrum(&src.m_Columns[0], &src.m_Columns[1], 100, 100 + n - 1, &s.out), 1);
  double** c = s.out.m_ppData.data();
  double topA = 0, topP = 0, topAR = 0;
  std::vector<double> asd(512), psd(512), ar(512), ph(512);
  for (int k = 0; k < 512; ++k) {
    EXPECT_EQ(t.integer(), k);
    asd[k] = t.num(), psd[k] = t.num(), ar[k] = t.num(), ph[k] = t.num();
    topA = std::max(topA, asd[k]), topP = std::max(topP, psd[k]), topAR = std::max(topAR, ar[k]);
  }
  for (int k = 0; k < 512; ++k) {
    EXPECT_NEAR(c[2][k], asd[k], 1e-12 * topA) << k;
    EXPECT_NEAR(c[3][k], psd[k], 1e-12 * topP) << k;
    EXPECT_NEAR(c[4][k], ar[k], 1e-9 * topAR) << k;
    const double d = std::remainder(c[5][k] - ph[k], 360.0);
    EXPECT_NEAR(d, 0.0, 1e-7) << k;
  }
  EXPECT_EQ(s.out.m_Columns[0].m_strTitle, "Freq.");
  EXPECT_EQ(s.out.m_Columns[0].m_strUnit, "1/s");
  EXPECT_EQ(s.out.m_Columns[1].m_strTitle, "Period");
  EXPECT_EQ(s.out.m_Columns[1].m_nAxisFlags, KZ_AXIS_X);
  EXPECT_EQ(s.out.m_Columns[2].m_strTitle, "ASD(fft)");
  EXPECT_EQ(s.out.m_Columns[2].m_strUnit, "V x s");
  EXPECT_EQ(s.out.m_Columns[4].m_strTitle, "PSD(AR)");
  EXPECT_EQ(s.out.m_Columns[5].m_strUnit, "deg");
  EXPECT_EQ(s.out.m_Columns[3].m_dMax, std::pow(10.0, std::ceil(std::log10(2 * psd[0]))));
  EXPECT_EQ(s.out.m_Columns[4].m_dMax, s.out.m_Columns[3].m_dMax);
  EXPECT_EQ(s.out.m_strHeader[0], "Power spectrum density of Amp(V)");
  EXPECT_EQ(s.out.m_nHeaders, 1);
}

TEST(ColumnSpectrum, SinePeakAndConstantSeries) {
  const int n = 256, k0 = 10;
  const double dt = 0.5;
  std::vector<double> y(n), one(n, 3.0);
  for (int i = 0; i < n; ++i) y[i] = std::sin(2 * kPi * k0 * i / n);
  Spectrum s;
  ASSERT_EQ(s.Run(Ramp(n, 0, dt), y), 1);
  int best = 0;
  for (int k = 0; k < 128; ++k)
    if (s.out.m_ppData[2][k] > s.out.m_ppData[2][best]) best = k;
  EXPECT_EQ(best, k0);
  EXPECT_NEAR(s.out.m_ppData[2][k0], dt, 1e-12);

  ASSERT_EQ(s.Run(Ramp(n, 0, dt), one), 1);
  // All power at frequency 0, halved there: |F0| = 3n, so ASD = 3n dt / half / 2.
  EXPECT_NEAR(s.out.m_ppData[2][0], 3.0 * n * dt / 128 / 2, 1e-12);
  for (int k = 1; k < 128; ++k) EXPECT_NEAR(s.out.m_ppData[3][k], 0.0, 1e-20) << k;
}

TEST(ColumnSpectrum, DegenerateSelectionsLeaveTheOutputAlone) {
  Spectrum s;
  Mark(s.out);
  EXPECT_EQ(s.Run({5, 5, 6, 7}, {1, 2, 3, 4}), 0);  // dt = 0
  ExpectMarked(s.out);
  EXPECT_EQ(s.Run({5}, {1}), 0);  // one row: no sampling interval
  ExpectMarked(s.out);
  EXPECT_EQ(s.Run({1, 2, 3, 4}, {1, 2, 3, 4}, 3, 3), 1);  // last <= first: the whole column
}

// ---------------------------------------------------------------------------------------
// ProbabilityDensity

struct Density {
  KZ_MultiVarObj src, out;
  int Run(const std::vector<double>& v, double lo, double hi, int nbins, int fits) {
    Fill(src, {v});
    return src.ProbabilityDensity(&src.m_Columns[0], 0, -1, &out, lo, hi, nbins, fits);
  }
};

TEST(ProbabilityDensity, BinsAndCumulativeSumsWithoutFits) {
  Density d;
  ASSERT_EQ(d.Run({10, 9.999, 0, 5.5, 5.0, -1, 11}, 0, 10, 10, 0), 3);
  EXPECT_EQ(d.out.m_nColumns, 3);
  const double pdf[10] = {0.25, 0, 0, 0, 0, 0.5, 0, 0, 0, 0.25};  // 10 itself is not binned
  for (int k = 0; k < 10; ++k) {
    EXPECT_DOUBLE_EQ(d.out.m_ppData[0][k], k + 0.5);
    EXPECT_DOUBLE_EQ(d.out.m_ppData[1][k], pdf[k]) << k;
  }
  EXPECT_DOUBLE_EQ(d.out.m_ppData[2][9], 1.0);
  EXPECT_EQ(d.out.m_Columns[2].m_nAxisFlags, 0u);
  EXPECT_EQ(d.out.m_Columns[0].m_strTitle, "c0");
  EXPECT_EQ(d.out.m_Columns[1].m_strTitle, "PDF_Obs");
  EXPECT_EQ(d.out.m_Columns[1].m_nPlotStyle, 4);
  EXPECT_EQ(d.out.m_nHeaders, 2);
  EXPECT_EQ(d.out.m_strHeader[1].rfind("Observation: N=4, Mean=", 0), 0u);

  // hi < lo takes the data's own range, which leaves the largest value out.
  ASSERT_EQ(d.Run({1, 2, 3, 4}, 0, -1, 3, 0), 3);
  EXPECT_EQ(d.out.m_Columns[0].m_dMin, 1.0);
  EXPECT_EQ(d.out.m_Columns[0].m_dMax, 4.0);
  EXPECT_EQ(d.out.m_strHeader[1].rfind("Observation: N=3, Mean=2.5000", 0), 0u);
}

TEST(ProbabilityDensity, CountsAndFitsMatchNumpyAndCurveFit) {
  tv_test::Table t("base/series/testdata/analysis_histogram.txt");
  const double lo = t.num(), hi = t.num();
  const int nb = t.integer(), n = t.integer();
  const std::vector<double> v = t.nums(n), h = t.nums(nb);
  const double mu = t.num(), nmean = t.num(), nvar = t.num(), lam = t.num(), sc = t.num(),
               sh = t.num();
  Density d;
  ASSERT_EQ(d.Run(v, lo, hi, nb, 1), 3);
  int N = 0;
  for (double c : h) N += static_cast<int>(c);
  for (int k = 0; k < nb; ++k) EXPECT_EQ(std::lround(d.out.m_ppData[1][k] * N), h[k]) << k;
  ASSERT_EQ(d.out.m_nColumns, 11);  // the Weibull fit succeeds
  for (int k = 0; k < nb; ++k) {
    EXPECT_NEAR(d.out.m_ppData[3][k], KZ_BinomialPmf(k, nb, mu / nb), 2e-4) << k;
    EXPECT_NEAR(d.out.m_ppData[5][k], KZ_NormalPdf(k + 0.5, nmean, nvar), 2e-4) << k;
    EXPECT_NEAR(d.out.m_ppData[7][k], KZ_PoissonPmf(k, lam), 2e-4) << k;
    EXPECT_NEAR(d.out.m_ppData[9][k], KZ_WeibullPdf(k + 0.5, sc, sh), 2e-4) << k;
    if (k > 0) {
      EXPECT_DOUBLE_EQ(d.out.m_ppData[8][k], d.out.m_ppData[8][k - 1] + d.out.m_ppData[7][k]);
    }
  }
  EXPECT_EQ(d.out.m_Columns[2].m_nAxisFlags, KZ_AXIS_Y);
  EXPECT_EQ(d.out.m_Columns[10].m_strTitle, "CDF_Wbl");
  ASSERT_EQ(d.out.m_nHeaders, 6);
  double a, b, e1, e2;
  const double w = (hi - lo) / nb;
  ASSERT_EQ(std::sscanf(d.out.m_strHeader[3].c_str(),
                        "  Normal: Mean=%lf, Var=%lf, 95_mean=%lf, 95_var=%lf", &a, &b, &e1, &e2),
            4);
  EXPECT_NEAR(a, lo + w * nmean, 2e-3);
  EXPECT_NEAR(b, w * w * nvar, 2e-3);
  EXPECT_GT(e1, 0.0);
  ASSERT_EQ(std::sscanf(d.out.m_strHeader[5].c_str(),
                        " Weibull: Ramda=%lf, k=%lf, 95_ramda=%lf, 95_k=%lf", &a, &b, &e1, &e2),
            4);
  EXPECT_NEAR(a, sc, 2e-3 * sc);
  EXPECT_NEAR(b, sh, 2e-3 * sh);
  EXPECT_EQ(d.out.m_strHeader[2].rfind("Binormal: Mean=", 0), 0u);
  EXPECT_EQ(d.out.m_strHeader[4].rfind(" Possion: Mean=", 0), 0u);
}

TEST(ProbabilityDensity, RangeFilterLinesStayWithinTheHeaderList) {
  for (int filters : {2, 15}) {
    KZ_MultiVarObj src, out;
    std::vector<std::vector<double>> cols(filters + 1, Ramp(50, 0, 0.2));
    Fill(src, cols, filters + 1);
    for (int c = 1; c <= filters; ++c) {
      src.m_Columns[c].m_nRangeFilter = 1;
      src.m_Columns[c].SetRange(1.0, 8.0);
    }
    ASSERT_EQ(src.ProbabilityDensity(&src.m_Columns[0], 0, -1, &out, 0, 10, 10, 1), 3);
    EXPECT_LE(out.m_nHeaders, KZ_MultiVarObj::kHeaderLines);
    const int kept = std::min(filters, 16 - 1 - 5);
    for (int i = 1; i <= kept; ++i)
      EXPECT_EQ(out.m_strHeader[i], " c" + std::to_string(i) + " [1.0000e+00, 8.0000e+00]");
    EXPECT_EQ(out.m_strHeader[kept + 1].rfind("Observation: N=36,", 0), 0u) << filters;
    EXPECT_EQ(out.m_strHeader[kept + 2].rfind("Binormal:", 0), 0u);
  }
}

TEST(ProbabilityDensity, DegenerateRangesLeaveTheOutputAlone) {
  const struct {
    std::vector<double> v;
    double lo, hi;
    int nbins;
  } cases[] = {
      {{1, 2, 3}, 2, 2, 10},   // hi = lo
      {{4, 4, 4}, 0, -1, 10},  // hi < lo on a constant column: no width
      {{1, 2, 3}, 5, 9, 10},   // nothing falls into a bin
      {{1, 2, 3}, 0, 10, 0},   // no bins
  };
  for (const auto& c : cases) {
    Density d;
    Mark(d.out);
    EXPECT_EQ(d.Run(c.v, c.lo, c.hi, c.nbins, 1), 0);
    ExpectMarked(d.out);
  }
}

// ---------------------------------------------------------------------------------------
// SingularSpectrum

TEST(SingularSpectrumColumn, WindowFollowsTheLengthAndLabelsSurvive) {
  const struct { int N, M; } cases[] = {{6, 1}, {99, 47}, {100, 33}, {269, 89}, {270, 100}};
  for (const auto& c : cases) {
    KZ_MultiVarObj t;
    std::vector<double> x = Ramp(c.N, 0.1, 0.1), y(c.N);
    for (int i = 0; i < c.N; ++i) y[i] = std::sin(0.3 * i) + 0.01 * i;
    Fill(t, {y, x}, 4);  // series in column 0, abscissae in column 1
    t.m_Columns[1].m_strTitle = "time";
    t.m_Columns[1].m_strUnit = "s";
    t.m_Columns[0].m_strTitle = "strain";
    t.m_Columns[0].SetRange(-2, 5);
    EXPECT_EQ(t.SingularSpectrum(1, 0, 0), &t);
    EXPECT_EQ(t.m_strHeader[0],
              "SSA component, N=" + std::to_string(c.N) + ", M=" + std::to_string(c.M));
    EXPECT_EQ(t.m_nHeaders, 1);
    ASSERT_EQ(t.m_nColumns, c.M + 2) << c.N;
    EXPECT_EQ(t.m_Columns[0].m_strTitle, "time");
    EXPECT_EQ(t.m_Columns[0].m_strUnit, "s");
    EXPECT_EQ(t.m_Columns[0].m_nAxisFlags, KZ_AXIS_X);
    EXPECT_EQ(t.m_Columns[1].m_strTitle, "strain");
    EXPECT_EQ(t.m_Columns[1].m_dMin, -2.0);
    EXPECT_EQ(t.m_Columns[1].m_dMax, 5.0);
    EXPECT_EQ(t.m_Columns[1].m_nAxisFlags, KZ_AXIS_Y);
    for (int i = 0; i < c.N; ++i) {
      EXPECT_EQ(t.m_ppData[0][i], static_cast<double>(static_cast<float>(x[i])));
      EXPECT_EQ(t.m_ppData[1][i], static_cast<double>(static_cast<float>(y[i])));
    }
  }
}

TEST(SingularSpectrumColumn, ShortSeriesLeaveTheTableAsItWas) {
  KZ_MultiVarObj t;
  Mark(t);
  t.m_Columns[0].m_nCount = 5;
  t.m_Columns[1].m_nCount = 5;
  EXPECT_EQ(t.SingularSpectrum(0, 1, 0), &t);
  t.m_Columns[0].m_nCount = 3;
  t.m_Columns[1].m_nCount = 3;
  ExpectMarked(t);
  EXPECT_EQ(t.SingularSpectrum(0, 7, 0), &t);  // no such column
  ExpectMarked(t);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Fit

namespace {

// Reads "name=value(" style numbers back from a result line with the line's own format.
template <class... T>
int Scan(const std::string& s, const char* fmt, T*... v) {
  return std::sscanf(s.c_str(), fmt, v...);
}

TEST(CurveFit, ModelsMatchLeastSquares) {
  tv_test::Table t("base/series/testdata/analysis_fits.txt");
  const int cases = t.integer();
  for (int i = 0; i < cases; ++i) {
    const int model = t.integer(), n = t.integer();
    const double cval = t.num();
    const std::vector<double> x = t.nums(n), y = t.nums(n);
    KZ_MultiVarObj tab;
    Fill(tab, {x, y}, 6, n + 5);
    tab.m_ppData[0][n] = -77.0;  // the row after the data is not the offset's place
    tab.m_strHeader[0] = "Title";
    tab.m_nHeaders = 1;
    const float c = static_cast<float>(cval);
    const int lag = model == 1 ? static_cast<int>(cval) : 0;
    ASSERT_EQ(tab.Fit(model, lag, &c), 1);
    EXPECT_EQ(tab.m_ppData[0][n], -77.0);
    EXPECT_EQ(tab.m_nColumns, 4);
    EXPECT_EQ(tab.m_nHeaders, 2);
    const std::string& line = tab.m_strHeader[1];
    SCOPED_TRACE(line);
    double p[6], e[3];
    std::vector<double> want;
    int np = 0;
    switch (model) {
      case 1: {
        int lg = 0;
        double r2;
        ASSERT_EQ(Scan(line, "Fitting(iX=0, iY=1):Linear y(i)=%lf(%lf) + %lf(%lf) X(i-%d); R2=%lf",
                       &p[0], &e[0], &p[1], &e[1], &lg, &r2),
                  6);
        want = t.nums(5);
        EXPECT_EQ(lg, 2);
        EXPECT_NEAR(p[0], want[0], 1e-4);
        EXPECT_NEAR(p[1], want[1], 1e-4);
        EXPECT_NEAR(e[0], want[2], 1e-4);
        EXPECT_NEAR(e[1], want[3], 1e-4);
        EXPECT_NEAR(r2, want[4], 1e-4);
        EXPECT_EQ(tab.m_ppData[2][0], 0.0);
        EXPECT_EQ(tab.m_ppData[3][1], 0.0);
        EXPECT_NEAR(tab.m_ppData[2][5], want[0] + want[1] * x[3], 1e-9);
        continue;
      }
      case 2:
        np = 2;
        ASSERT_EQ(Scan(line, "Fitting(iX=0, iY=1):Power y=%lf * x^%lf 95C(%lf, %lf)", &p[0], &p[1],
                       &e[0], &e[1]),
                  4);
        break;
      case 3:
        np = 3;
        ASSERT_EQ(Scan(line, "Fitting(iX=0, iY=1):Power_cus y=%lf * (x-%lf)^%lf 95C(%lf, %lf, %lf)",
                       &p[0], &p[2], &p[1], &e[0], &e[2], &e[1]),
                  6);
        break;
      case 4: {
        np = 2;
        double cc;
        ASSERT_EQ(Scan(line, "Fitting(iX=0, iY=1):Power y=%lf * (x-c(=%lf))^%lf 95C(%lf, %lf)",
                       &p[0], &cc, &p[1], &e[0], &e[1]),
                  5);
        EXPECT_NEAR(cc, cval, 1e-6);
        break;
      }
      case 5:
        np = 2;
        ASSERT_EQ(Scan(line, "Fitting(iX=0, iY=1):Corey Slr=%lf(%lf), Sgr=%lf(%lf)", &p[0], &e[0],
                       &p[1], &e[1]),
                  4);
        break;
      default:
        np = 3;
        ASSERT_EQ(
            Scan(line, "Fitting(iX=0, iY=1): y= %lf[%lf] * sin(x + %lf[%lf]) + %lf[%lf] [95%%CI]",
                 &p[0], &e[0], &p[1], &e[1], &p[2], &e[2]),
            6);
        EXPECT_NE(line.find("[95%CI]SE="), std::string::npos);
    }
    want = t.nums(2 * np);
    if (model == 5)  // printed as residual saturations, the squares of the parameters
      for (double& v : want) v *= v;
    // Float fits against double ones: parameters within a hundredth of their half-width,
    // half-widths within a percent (plus the printed rounding).
    for (int j = 0; j < np; ++j) {
      EXPECT_NEAR(p[j], want[j], 2e-4 + 1e-2 * want[np + j]) << model << " " << j;
      EXPECT_NEAR(e[j], want[np + j], 2e-4 + 1e-2 * want[np + j]) << model << " " << j;
    }
    EXPECT_EQ(tab.m_Columns[2].m_strTitle, model == 5 ? "*Fit:Krg(Corey)" : "*Fit");
    EXPECT_EQ(tab.m_Columns[3].m_strTitle, "*Fit_Err");
    EXPECT_EQ(tab.m_Columns[3].m_nPlotStyle, 1);
    double ssr = 0;
    for (int r = 0; r < n; ++r) {
      EXPECT_NEAR(tab.m_ppData[2][r] + tab.m_ppData[3][r], y[r], 1e-12);
      ssr += tab.m_ppData[3][r] * tab.m_ppData[3][r];
    }
    double se = 0, r2 = 0, aic = 0;
    const std::size_t at = line.find("SE=");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(Scan(line.substr(at), "SE=%lf, R2=%lf, AIC=%lf", &se, &r2, &aic), 3);
    EXPECT_NEAR(se, std::sqrt(ssr / n), 1e-6);
    EXPECT_NEAR(aic, n * std::log10(std::sqrt(ssr / n)) + 2 * np, 0.006);
  }
}

TEST(CurveFit, SineOfDegreesRecoversItsParametersAndCurve) {
  std::vector<double> x = Ramp(37, 0, 10), y(37);
  for (int i = 0; i < 37; ++i) y[i] = 2 * std::sin(x[i] * kPi / 180) + 1;
  KZ_MultiVarObj t;
  Fill(t, {x, y});
  ASSERT_EQ(t.Fit(8, 0, nullptr), 1);
  double A, eA, phi, ephi, y0, ey0, se, r2;
  ASSERT_EQ(Scan(t.m_strHeader[1],
                 "Fitting(iX=0, iY=1): y= %lf[%lf] * sin(x + %lf[%lf]) + %lf[%lf] [95%%CI]SE=%lf, "
                 "R2=%lf",
                 &A, &eA, &phi, &ephi, &y0, &ey0, &se, &r2),
            8);
  EXPECT_NEAR(A, 2.0, 1e-4);
  EXPECT_NEAR(phi, 0.0, 1e-3);
  EXPECT_NEAR(y0, 1.0, 1e-4);
  EXPECT_EQ(r2, 1.0);
  ASSERT_NE(t.m_ppMatrix, nullptr);
  EXPECT_EQ(t.m_nMatrixColumns, 500);
  EXPECT_EQ(t.m_nMatrixRows, 2);
  const double lo = t.m_Columns[0].m_dMin, step = (t.m_Columns[0].m_dMax - lo) / 500;
  for (int j : {0, 1, 250, 499}) {
    EXPECT_DOUBLE_EQ(t.m_ppMatrix[0][j], lo + j * step);
    EXPECT_NEAR(t.m_ppMatrix[1][j], 2 * std::sin(t.m_ppMatrix[0][j] * kPi / 180) + 1, 1e-4);
  }
}

TEST(CurveFit, ReplacesEarlierResultsInPlace) {
  std::vector<double> x = Ramp(10, 1, 1), y(10);
  for (int i = 0; i < 10; ++i) y[i] = 3 * std::pow(x[i], 1.5);
  KZ_MultiVarObj t;
  Fill(t, {x, y, y, y, y}, 6);
  t.m_Columns[2].m_strTitle = "*Fit";
  t.m_Columns[3].m_strTitle = "*Fit_Err";
  t.m_Columns[2].m_nAxisFlags = t.m_Columns[3].m_nAxisFlags = 0;
  t.m_strHeader[0] = "Title";
  t.m_strHeader[1] = "Fitting(iX=0, iY=1):old";
  t.m_strHeader[2] = "Note";
  t.m_nHeaders = 3;
  ASSERT_EQ(t.Fit(2, 0, nullptr), 1);
  EXPECT_EQ(t.m_nColumns, 4);  // the column after the fit columns drops out of use
  EXPECT_EQ(t.m_nHeaders, 2);
  EXPECT_EQ(t.m_strHeader[0], "Title");
  EXPECT_EQ(t.m_strHeader[1].rfind("Fitting(iX=0, iY=1):Power y=3.0000 * x^1.5000", 0), 0u);
  EXPECT_NEAR(t.m_ppData[2][9], y[9], 1e-3);
}

// +1, -1, +1, ...: a power law explains at most one point of them.
std::vector<double> Alternating(int n) {
  std::vector<double> v(n);
  for (int i = 0; i < n; ++i) v[i] = i % 2 ? -1.0 : 1.0;
  return v;
}

TEST(CurveFit, FailedOrImpossibleFitsAreReportedAsSuch) {
  // A refused fit says so and shows no fitted or residual column, also where an earlier
  // fit had left them (they drop out of use) and for the sine (no curve is left): fewer
  // points than parameters, and data about zero that no power law explains (it can take
  // up one point of 200, half a percent of their sum of squares).
  struct Refused {
    const char* what;
    int model;
    std::vector<double> x, y;
    const char* line;
  } refused[] = {
      {"too few points", 3, {2.0}, {5.0}, "Fitting(iX=0, iY=1):Power_cus no fit found"},
      {"nothing explained", 2, Ramp(200, 1, 1), Alternating(200),
       "Fitting(iX=0, iY=1):Power no fit found"},
      {"sine of too few points",
       8,
       {0.0, 90.0},
       {1.0, 2.0},
       "Fitting(iX=0, iY=1):Sine no fit found"},
  };
  for (const Refused& c : refused) {
    KZ_MultiVarObj t;
    Fill(t, {c.x, c.y});
    t.m_strHeader[0] = "Title";
    t.m_nHeaders = 1;
    if (c.x.size() > 2) {
      ASSERT_EQ(t.Fit(1, 0, nullptr), 1);  // an earlier result in place
      ASSERT_EQ(t.m_nColumns, 4);
    }
    if (c.model == 8) {
      t.m_ppMatrix = KZ_AllocMatrix64(2, 500);  // a curve from an earlier sine fit
      t.m_nMatrixColumns = 500;
      t.m_nMatrixRows = 2;
    }
    ASSERT_EQ(t.Fit(c.model, 0, nullptr), 1) << c.what;
    EXPECT_EQ(t.m_nColumns, 2) << c.what;
    EXPECT_EQ(t.m_nHeaders, 2) << c.what;
    EXPECT_EQ(t.m_strHeader[1], c.line) << c.what;
    EXPECT_EQ(t.m_nMatrixRows, 0) << c.what;
  }

  // The power law the testers saw refused: y = 2 x^1.5 on x = 1 .. 10.8 without noise.
  KZ_MultiVarObj exact;
  std::vector<double> x = Ramp(50, 1.0, 0.2), y(50);
  for (int i = 0; i < 50; ++i) y[i] = 2.0 * std::pow(x[i], 1.5);
  Fill(exact, {x, y});
  ASSERT_EQ(exact.Fit(2, 0, nullptr), 1);
  double A = 0, b = 0, eA = 0, eb = 0;
  ASSERT_EQ(Scan(exact.m_strHeader[exact.m_nHeaders - 1],
                 "Fitting(iX=0, iY=1):Power y=%lf * x^%lf 95C(%lf, %lf)", &A, &b, &eA, &eb),
            4)
      << exact.m_strHeader[exact.m_nHeaders - 1];
  EXPECT_NEAR(A, 2.0, 1e-4);
  EXPECT_NEAR(b, 1.5, 1e-4);
  EXPECT_EQ(exact.m_Columns[2].m_strTitle, "*Fit");
  EXPECT_NEAR(exact.m_ppData[2][49], y[49], 1e-3);

  // Calls that change nothing.
  struct Case {
    const char* what;
    int model, columns, capacity, headers;
  } cases[] = {
      {"unknown model", 6, 2, 10, 1},
      {"no two free columns", 2, 9, 10, 1},
  };
  for (const Case& c : cases) {
    KZ_MultiVarObj u;
    std::vector<std::vector<double>> cols(c.columns, Ramp(8, 1, 1));
    Fill(u, cols, c.capacity);
    u.m_strHeader[0] = "Title";
    u.m_nHeaders = c.headers;
    EXPECT_EQ(u.Fit(c.model, 0, nullptr), 0) << c.what;
    EXPECT_EQ(u.m_nColumns, c.columns) << c.what;
    EXPECT_EQ(u.m_nHeaders, c.headers) << c.what;
  }
  KZ_MultiVarObj none;
  Fill(none, {Ramp(8, 1, 1), Ramp(8, 1, 1)});
  none.m_Columns[1].m_nAxisFlags = 0;  // no Y column
  EXPECT_EQ(none.Fit(2, 0, nullptr), 0);
  EXPECT_EQ(none.m_nColumns, 2);

  // All sixteen header lines in use: the last one takes the result.
  KZ_MultiVarObj full;
  Fill(full, {Ramp(8, 1, 1), Ramp(8, 2, 2)});
  for (int i = 0; i < 16; ++i) full.m_strHeader[i] = "line " + std::to_string(i);
  full.m_nHeaders = 16;
  ASSERT_EQ(full.Fit(1, 0, nullptr), 1);
  EXPECT_EQ(full.m_nHeaders, 16);
  EXPECT_EQ(full.m_strHeader[14], "line 14");
  EXPECT_EQ(
      full.m_strHeader[15].rfind("Fitting(iX=0, iY=1):Linear y(i)=0.0000(0.0000) + 2.0000", 0), 0u);
}

}  // namespace

namespace {

TEST(ProbabilityDensity, ManyBinsKeepTheFittedCurvesFinite) {
  // 400 bins with the counts around bin 250: Poisson and binomial terms there overflow
  // or vanish when formed as plain products.
  std::vector<double> v;
  for (int i = 0; i < 4000; ++i) {
    const double u = (i + 0.5) / 4000.0;
    // Normal quantiles by bisection on the error function: mean 250.5, sd 15.
    double lo = -8, hi = 8;
    for (int it = 0; it < 60; ++it) {
      const double mid = 0.5 * (lo + hi);
      (0.5 * std::erfc(-mid / std::sqrt(2.0)) < u ? lo : hi) = mid;
    }
    v.push_back(250.5 + 15.0 * lo);
  }
  Density d;
  ASSERT_EQ(d.Run(v, 0, 400, 400, 1), 3);
  for (int c = 3; c <= 8; ++c)
    for (int k = 0; k < 400; ++k) ASSERT_TRUE(std::isfinite(d.out.m_ppData[c][k])) << c << " " << k;
  EXPECT_NEAR(d.out.m_ppData[8][399], 1.0, 1e-3);  // the Poisson curve is a distribution
  double lam = 0, e = 0;
  ASSERT_EQ(std::sscanf(d.out.m_strHeader[4].c_str(),
                        " Possion: Mean=%*f, var=%*f, Ramda=%lf, 95_ramda=%lf", &lam, &e),
            2)
      << d.out.m_strHeader[4];
  EXPECT_NEAR(lam, 250.5, 1.0);
  EXPECT_TRUE(std::isfinite(e) && e > 0.0) << "the Poisson fit converges";
}

}  // namespace

namespace {

TEST(CurveFit, FixedOffsetFitsATableFilledToItsRowCapacity) {
  // 100 rows in a table of 100 rows: the offset has no spare row of the X column and
  // needs none; row 0 of the next column (where row 100 of X would lie) keeps its value.
  const int n = 100;
  std::vector<double> x = Ramp(n, 1, 0.1), y(n);
  for (int i = 0; i < n; ++i) y[i] = 2.0 * std::pow(x[i] - 0.5, 1.3) + 1e-3 * ((i * 7919) % 13 - 6);
  KZ_MultiVarObj t;
  Fill(t, {x, y}, 4, n);
  ASSERT_EQ(t.m_nRowCapacity, n);
  const float c = 0.5f;
  ASSERT_EQ(t.Fit(4, 0, &c), 1);
  EXPECT_EQ(t.m_ppData[1][0], y[0]);
  double A, cc, b;
  ASSERT_EQ(std::sscanf(t.m_strHeader[1].c_str(),
                        "Fitting(iX=0, iY=1):Power y=%lf * (x-c(=%lf))^%lf", &A, &cc, &b),
            3);
  EXPECT_NEAR(A, 2.0, 3e-4);
  EXPECT_NEAR(b, 1.3, 3e-4);
  EXPECT_EQ(cc, 0.5);
}

TEST(ColumnSpectrum, OutputMayBeTheSourceTable) {
  std::vector<double> y(64);
  for (int i = 0; i < 64; ++i) y[i] = std::cos(2 * kPi * 4 * i / 64.0);
  KZ_MultiVarObj a, b;
  Fill(a, {Ramp(64, 0, 0.5), y});
  Fill(b, {Ramp(64, 0, 0.5), y});
  KZ_MultiVarObj other;
  ASSERT_EQ(other.PowerSpectrum(&a.m_Columns[0], &a.m_Columns[1], 0, -1, &other), 1);
  ASSERT_EQ(b.PowerSpectrum(&b.m_Columns[0], &b.m_Columns[1], 0, -1, &b), 1);
  for (int c = 0; c < 6; ++c)
    for (int k = 0; k < 32; ++k) EXPECT_EQ(b.m_ppData[c][k], other.m_ppData[c][k]) << c << k;
  EXPECT_EQ(b.m_strHeader[0], "Power spectrum density of c1(u1)");
}

}  // namespace
