#include "base/numerics/KZ_Stati.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "base/numerics/TestTables.h"
#include "numerics/nml_runtime.h"

namespace {

void ExpectRel(double expected, double actual, double rel, const std::string& what) {
  EXPECT_NEAR(actual, expected, rel * std::max(1e-12, std::fabs(expected))) << what;
}

class KZ_StatiFit : public testing::Test {
 protected:
  // The program runs with the library's stop flags off: a failed fit returns to its caller.
  void SetUp() override { nml_error_set_stop_fatal(0); }
};

}  // namespace

TEST(KZ_Stati, LinesMatchLinregressAndWeightedLeastSquares) {
  tv_test::Table t("base/numerics/testdata/b3_line_fits.txt");
  const int plain = t.integer();
  for (int c = 0; c < plain; ++c) {
    const int n = t.integer();
    const std::vector<double> x = t.nums(n), y = t.nums(n);
    const std::vector<double> ref = t.nums(6);
    double a, b, sa, sb, r2, chi2, q = -1;
    EXPECT_EQ(KZ_Stati::FitLine(x.data(), y.data(), n, nullptr, &a, &b, &sa, &sb, &r2, &chi2, &q),
              1);
    const double got[6] = {a, b, sa, sb, r2, chi2};
    for (int k = 0; k < 6; ++k) ExpectRel(ref[k], got[k], 1e-10, "n " + std::to_string(n));
    EXPECT_EQ(q, 1.0);
    // The single-precision entry agrees to float accuracy.
    std::vector<float> xf(x.begin(), x.end()), yf(y.begin(), y.end());
    double af, bf, saf, sbf;
    KZ_Stati::FitLineF(xf.data(), yf.data(), n, nullptr, &af, &bf, &saf, &sbf, nullptr, nullptr,
                       nullptr);
    EXPECT_NEAR(bf, b, 1e-5 * (1 + std::fabs(b)));
  }
  const int weighted = t.integer();
  for (int c = 0; c < weighted; ++c) {
    const int n = t.integer();
    const std::vector<double> x = t.nums(n), y = t.nums(n), sig = t.nums(n);
    const std::vector<double> ref = t.nums(7);
    double a, b, sa, sb, r2, chi2, q;
    EXPECT_EQ(
        KZ_Stati::FitLine(x.data(), y.data(), n, sig.data(), &a, &b, &sa, &sb, &r2, &chi2, &q), 1);
    const double got[7] = {a, b, sa, sb, r2, chi2, q};
    const char* names[7] = {"a", "b", "siga", "sigb", "r2", "chi2", "q"};
    // q comes from 7-digit expansions of the incomplete gamma function.
    for (int k = 0; k < 7; ++k)
      ExpectRel(ref[k], got[k], k == 6 ? 2e-6 : 1e-9,
                std::string(names[k]) + " n " + std::to_string(n));
  }
}

TEST(KZ_Stati, LineEdgeCases) {
  // Exactly collinear points.
  const double x[4] = {0, 1, 2, 5}, y[4] = {1, 3, 5, 11};
  double a = 9, b = 9, sa = 9, sb = 9, r2 = 9, chi2 = 9, q = 9;
  EXPECT_EQ(KZ_Stati::FitLine(x, y, 4, nullptr, &a, &b, &sa, &sb, &r2, &chi2, &q), 1);
  EXPECT_DOUBLE_EQ(a, 1.0);
  EXPECT_DOUBLE_EQ(b, 2.0);
  EXPECT_EQ(sa, 0.0);
  EXPECT_EQ(sb, 0.0);
  EXPECT_EQ(chi2, 0.0);
  EXPECT_EQ(q, 1.0);
  EXPECT_EQ(r2, 1.0);
  // Null optional outputs: only the line and its errors are written.
  EXPECT_EQ(KZ_Stati::FitLine(x, y, 4, nullptr, &a, &b, &sa, &sb, nullptr, nullptr, nullptr), 1);
  // Two points: the line through them, but no degrees of freedom for its errors.
  a = b = sa = sb = 9;
  EXPECT_EQ(KZ_Stati::FitLine(x, y, 2, nullptr, &a, &b, &sa, &sb, &r2, &chi2, &q), 0);
  EXPECT_DOUBLE_EQ(a, 1.0);
  EXPECT_DOUBLE_EQ(b, 2.0);
  EXPECT_EQ(sa, 0.0);
  EXPECT_TRUE(std::isfinite(sb));
  // One point, or no spread in x: no line, nothing written.
  const double same[3] = {2, 2, 2};
  a = 9;
  EXPECT_EQ(KZ_Stati::FitLine(x, y, 1, nullptr, &a, &b, &sa, &sb, &r2, &chi2, &q), 0);
  EXPECT_EQ(KZ_Stati::FitLine(same, y, 3, nullptr, &a, &b, &sa, &sb, &r2, &chi2, &q), 0);
  EXPECT_EQ(a, 9.0);
}

TEST(KZ_Stati, PowerLawThroughLogLogLine) {
  std::vector<float> x, y;
  for (int i = 0; i < 12; ++i) {
    x.push_back(1.5f + 0.7f * i);
    y.push_back(2.0f + 3.0f * std::pow(x.back() - 1.0f, 1.7f));
  }
  double A, b, sb, sa, r2;
  EXPECT_EQ(KZ_Stati::FitPowerLaw(x.data(), y.data(), 1.0f, 2.0f, 12, nullptr, &A, &b, &sb, &sa,
                                  &r2, nullptr, nullptr),
            1);
  EXPECT_NEAR(A, 3.0, 1e-4);
  EXPECT_NEAR(b, 1.7, 1e-5);
  EXPECT_NEAR(r2, 1.0, 1e-9);
  // A point at x0 enters at log10 = -30 and pulls the line, but the fit runs.
  x[0] = 1.0f;
  EXPECT_EQ(KZ_Stati::FitPowerLaw(x.data(), y.data(), 1.0f, 2.0f, 12, nullptr, &A, &b, &sb, &sa,
                                  &r2, nullptr, nullptr),
            1);
  EXPECT_GT(std::fabs(b - 1.7), 0.1);
  EXPECT_GT(sb, 0.0);
}

TEST(KZ_Stati, GammaFunctions) {
  for (double x : {0.1, 0.5, 1.0, 2.5, 7.0, 30.0, 171.0})
    EXPECT_NEAR(KZ_Stati::LogGamma(x), std::lgamma(x),
                1e-9 * std::max(1.0, std::fabs(std::lgamma(x))))
        << x;
  // P(1, x) = 1 - e^-x and P(1/2, x) = erf(sqrt x), by series below a + 1 and by the
  // continued fraction above.
  for (double x : {0.2, 1.0, 1.4, 2.0, 6.0, 15.0}) {
    for (double a : {0.5, 1.0}) {
      const double P = a == 1.0 ? 1.0 - std::exp(-x) : std::erf(std::sqrt(x));
      double v = -1, gln = 0;
      if (x < a + 1) {
        ASSERT_EQ(KZ_Stati::GammaSeries(&v, a, x, &gln), 1);
        EXPECT_NEAR(v, P, 1e-6) << a << " " << x;
      } else {
        ASSERT_EQ(KZ_Stati::GammaContFrac(&v, a, x, &gln), 1);
        EXPECT_NEAR(v, 1.0 - P, 1e-6) << a << " " << x;
      }
      EXPECT_NEAR(gln, std::lgamma(a), 1e-9);
    }
  }
  double v = -1, gln;
  EXPECT_EQ(KZ_Stati::GammaSeries(&v, 2.0, 0.0, &gln), 1);
  EXPECT_EQ(v, 0.0);
}

TEST_F(KZ_StatiFit, NonlinearFitsMatchLeastSquares) {
  tv_test::Table t("base/numerics/testdata/b3_nonlin_fits.txt");
  const int cases = t.integer();
  for (int c = 0; c < cases; ++c) {
    const std::string name = t.word();
    const int m = t.integer(), n = t.integer();
    const std::vector<double> x = t.nums(m), y = t.nums(m), start = t.nums(n);
    const std::vector<double> fitted = t.nums(n), half = t.nums(n);
    const double s2 = t.num();
    nml_nlsq_fcn model = name == "power2" || name == "power3" ? KZ_ResPower
                         : name == "sine"                     ? KZ_ResSine
                         : name == "normalpdf"                ? KZ_ResNormalPdf
                                                              : KZ_ResWeibullCdf;
    std::vector<double> params(2 * n);
    for (int k = 0; k < n; ++k) params[k] = start[k];
    const double v =
        KZ_Stati::NonlinFit(x.data(), y.data(), m, model, params.data(), n, nullptr, nullptr);
    SCOPED_TRACE(name);
    ExpectRel(s2, v, 2e-2, "residual variance");
    for (int k = 0; k < n; ++k) {
      EXPECT_NEAR(params[k], fitted[k], 2e-3 * std::max(1.0, std::fabs(fitted[k]))) << k;
      ExpectRel(half[k], params[n + k], 3e-2, "half-width " + std::to_string(k));
    }
  }
}

TEST_F(KZ_StatiFit, BoundsAndFixedOffset) {
  // y = 2 (x - 0.5)^1.5 with the offset handed over in X[m].
  std::vector<double> x, y;
  for (int i = 0; i < 20; ++i) {
    x.push_back(1.0 + 0.25 * i);
    y.push_back(2.0 * std::pow(x.back() - 0.5, 1.5));
  }
  x.push_back(0.5);
  double p[4] = {1.0, 1.0, 0, 0};
  const double v =
      KZ_Stati::NonlinFit(x.data(), y.data(), 20, KZ_ResPowerFixedOffset, p, 2, nullptr, nullptr);
  EXPECT_GE(v, 0.0);
  EXPECT_NEAR(p[0], 2.0, 1e-3);
  EXPECT_NEAR(p[1], 1.5, 1e-3);
  // Another offset, another fit.
  x[20] = 0.0;
  double p2[4] = {1.0, 1.0, 0, 0};
  KZ_Stati::NonlinFit(x.data(), y.data(), 20, KZ_ResPowerFixedOffset, p2, 2, nullptr, nullptr);
  EXPECT_GT(std::fabs(p2[1] - 1.5), 0.05);
  // Bounds hold the exponent below its free optimum.
  const float lo[2] = {0.0f, 0.0f}, hi[2] = {10.0f, 1.2f};
  double p3[4] = {1.0, 1.0, 0, 0};
  x[20] = 0.5;
  EXPECT_GE(KZ_Stati::NonlinFit(x.data(), y.data(), 20, KZ_ResPowerFixedOffset, p3, 2, lo, hi),
            0.0);
  EXPECT_LE(p3[1], 1.2 + 1e-6);
  EXPECT_NEAR(p3[1], 1.2, 1e-3);
}

TEST_F(KZ_StatiFit, FitsWithoutSolutionOrDegreesOfFreedomFail) {
  const double x[3] = {1, 2, 3}, y[3] = {2, 4.1, 5.9};
  double p[6] = {1.0, 1.0, 0.0, 7, 7, 7};
  // Fewer points than parameters, and as many points as parameters (no degrees of freedom).
  EXPECT_EQ(KZ_Stati::NonlinFit(x, y, 2, KZ_ResPower, p, 3, nullptr, nullptr), -1.0);
  EXPECT_EQ(KZ_Stati::NonlinFit(x, y, 2, KZ_ResPower, p, 2, nullptr, nullptr), -1.0);
  EXPECT_EQ(KZ_Stati::NonlinFit(x, y, 0, KZ_ResPower, p, 2, nullptr, nullptr), -1.0);
  const double want[6] = {1.0, 1.0, 0.0, 7, 7, 7};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(p[k], want[k]);
}

namespace {

// A residual model that runs a whole fit of its own on every call and then reads the
// outer fit's data: the inner fit must hand the outer buffer back.
void NestedModel(int m, int n, float p[], float f[]) {
  const double xi[4] = {1, 2, 3, 4}, yi[4] = {3, 5, 7, 9.5};
  double q[4] = {1, 1, 0, 0};
  KZ_Stati::NonlinFit(xi, yi, 4, KZ_ResPower, q, 2, nullptr, nullptr);
  KZ_ResPower(m, n, p, f);
}

}  // namespace

TEST_F(KZ_StatiFit, FitBufferBelongsToTheCall) {
  std::vector<double> x, y;
  for (int i = 0; i < 9000; ++i) {  // longer than any fixed buffer of 8000
    x.push_back(1.0 + i * 0.001);
    y.push_back(1.5 * std::pow(x.back(), 0.8));
  }
  double p[4] = {1.0, 1.0, 0, 0};
  EXPECT_GE(KZ_Stati::NonlinFit(x.data(), y.data(), 9000, KZ_ResPower, p, 2, nullptr, nullptr),
            0.0);
  EXPECT_NEAR(p[0], 1.5, 1e-3);
  EXPECT_NEAR(p[1], 0.8, 1e-3);

  double r[4] = {1.0, 1.0, 0, 0};
  EXPECT_GE(KZ_Stati::NonlinFit(x.data(), y.data(), 50, NestedModel, r, 2, nullptr, nullptr), 0.0);
  EXPECT_NEAR(r[0], 1.5, 1e-3);
  EXPECT_NEAR(r[1], 0.8, 1e-3);
  EXPECT_EQ(KZ_FitX, nullptr);
}

TEST_F(KZ_StatiFit, DistributionFitsRecoverTheirParameters) {
  // Exact histograms: the fits must end at the true parameters, not where the library's
  // default stopping rules left them (up to half a percent off on the flatter ones).
  std::vector<double> x, y;
  // Poisson histogram of lambda 3.2 over 0..11.
  for (int i = 0; i < 12; ++i) {
    x.push_back(i);
    y.push_back(std::pow(3.2, i) * std::exp(-3.2) / std::tgamma(i + 1.0));
  }
  double pp[2] = {2.0, 0};
  EXPECT_GE(KZ_Stati::FitPoisson(x.data(), y.data(), 12, pp), 0.0);
  EXPECT_NEAR(pp[0], 3.2, 1e-4);
  // Binomial of 12 trials with mean index 4.5 (p = 4.5/12).
  for (int i = 0; i < 12; ++i)
    y[i] = std::tgamma(13.0) / (std::tgamma(i + 1.0) * std::tgamma(13.0 - i)) *
           std::pow(4.5 / 12, i) * std::pow(1 - 4.5 / 12, 12 - i);
  double pb[2] = {3.0, 0};
  EXPECT_GE(KZ_Stati::FitBinomial(x.data(), y.data(), 12, pb), 0.0);
  EXPECT_NEAR(pb[0], 4.5, 1e-4);
  // Normal distribution function of mean 1, variance 4.
  std::vector<double> xs, ys;
  for (int i = 0; i < 30; ++i) {
    xs.push_back(-5.0 + 0.4 * i);
    ys.push_back(0.5 * (1.0 + std::erf((xs.back() - 1.0) / std::sqrt(8.0))));
  }
  double pn[4] = {0.0, 1.0, 0, 0};
  EXPECT_GE(KZ_Stati::FitNormal(xs.data(), ys.data(), 30, pn, 1), 0.0);
  EXPECT_NEAR(pn[0], 1.0, 1e-4);
  EXPECT_NEAR(pn[1], 4.0, 1e-4);
  // Weibull density of scale 2 and shape 1.5, started as the data sheet does (1, 2).
  for (int i = 0; i < 30; ++i) {
    xs[i] = 0.1 + 0.2 * i;
    const double r = xs[i] / 2.0;
    ys[i] = (1.5 / 2.0) * std::pow(r, 0.5) * std::exp(-std::pow(r, 1.5));
  }
  double pw[4] = {1.0, 2.0, 0, 0};
  EXPECT_GE(KZ_Stati::FitWeibull(xs.data(), ys.data(), 30, pw, 0), 0.0);
  EXPECT_NEAR(pw[0], 2.0, 1e-4);
  EXPECT_NEAR(pw[1], 1.5, 1e-4);
}

TEST(KZ_Stati, ResidualModelsAtTheirLimits) {
  const float fx[4] = {-1.0f, 0.5f, 10.0f, 12.0f};
  const float fy[3] = {0.25f, 0.5f, 0.75f};
  KZ_FitX = fx;
  KZ_FitY = fy;
  float f[3];
  // Weibull models at a negative abscissa return the observation itself.
  float w[2] = {1.0f, 2.0f};
  KZ_ResWeibullPdf(3, 2, w, f);
  EXPECT_EQ(f[0], 0.25f);
  KZ_ResWeibullCdf(3, 2, w, f);
  EXPECT_EQ(f[0], 0.25f);
  EXPECT_NEAR(f[1], 0.5 - (1.0 - std::exp(-0.25)), 1e-6);
  // The rate model at or after tc contributes 1e10.
  float r[6] = {0.1f, 0.1f, 1.0f, 0.5f, 6.0f, 10.0f};
  KZ_ResLogPeriodicRate(3, 6, r, f);
  EXPECT_NE(f[1], 1e10f);
  EXPECT_EQ(f[2], 1e10f);
  // A failure time at or before zero has no normalised time to failure anywhere.
  r[5] = -0.005f;
  KZ_ResLogPeriodicRate(3, 6, r, f);
  EXPECT_EQ(f[0], 1e10f);
  EXPECT_EQ(f[1], 1e10f);
  // Sine in degrees, and the power with an offset read from X[m].
  float s[3] = {2.0f, 29.5f, 0.5f};
  KZ_ResSine(3, 3, s, f);
  EXPECT_NEAR(f[1], 0.5 - (2.0 * 0.5 + 0.5), 1e-6);
  float pf[2] = {1.0f, 2.0f};
  KZ_ResPowerFixedOffset(3, 2, pf, f);
  EXPECT_NEAR(f[2], 0.75 - 4.0, 1e-5);  // (10 - 12)^2 with c = X[3] = 12
  KZ_FitX = nullptr;
  KZ_FitY = nullptr;
}

TEST(KZ_Stati, SummaryStatistics) {
  const double x[5] = {4, 1, 5, 2, 3};
  KZ_StatRecord r;
  EXPECT_EQ(KZ_Stati::FitStatistics(&r, x, 5), &r);
  EXPECT_EQ(r.m_fMin, 1.0);
  EXPECT_EQ(r.m_fMax, 5.0);
  EXPECT_DOUBLE_EQ(r.m_fMean, 3.0);
  EXPECT_EQ(r.m_fRange, 4.0);
  EXPECT_DOUBLE_EQ(r.m_fVariance, 2.5);
  EXPECT_DOUBLE_EQ(r.m_fStdDev, std::sqrt(2.5));
  EXPECT_EQ(r.m_nCount, 5);
  EXPECT_LT(r.m_fMeanLo, 3.0);
  EXPECT_GT(r.m_fMeanHi, 3.0);
  EXPECT_LT(r.m_fVarLo, 2.5);
  EXPECT_GT(r.m_fVarHi, 2.5);
}

namespace {

// Residuals of the NIST problems and of the exponential decay, evaluated in double and
// rounded to float as the program's own time-to-failure models are.
double Misra1a(double x, const double* b) { return b[0] * (1.0 - std::exp(-b[1] * x)); }
double MGH17(double x, const double* b) {
  return b[0] + b[1] * std::exp(-x * b[3]) + b[2] * std::exp(-x * b[4]);
}
double Bennett5(double x, const double* b) { return b[0] * std::pow(b[1] + x, -1.0 / b[2]); }
double Eckerle4(double x, const double* b) {
  const double d = (x - b[2]) / b[1];
  return b[0] / b[1] * std::exp(-0.5 * d * d);
}
double ExpDecay(double x, const double* b) { return b[0] * std::exp(-b[1] * x) + b[2]; }
double Omori(double x, const double* b) { return b[0] * std::pow(x - b[2], b[1]); }
double PowerLaw(double x, const double* b) { return b[0] + b[1] * std::pow(x, b[2]); }

template <double (*Model)(double, const double*)>
void Residuals(int m, int n, float p[], float f[]) {
  double b[10];
  for (int k = 0; k < n; ++k) b[k] = p[k];
  for (int i = 0; i < m; ++i) f[i] = static_cast<float>(KZ_FitY[i] - Model(KZ_FitX[i], b));
}

struct FitProblem {
  std::string name;
  std::vector<double> x, y, reference;  // reference: the least-squares minimum
  std::vector<std::vector<double>> starts;
  double rss = 0.0;           // at the reference
  std::size_t nearStart = 0;  // the start close to the minimum (NIST: the second)
  double (*model)(double, const double*) = nullptr;
  nml_nlsq_fcn residuals = nullptr;
};

// A NIST StRD nonlinear regression file: two start values, certified values and RSS, data.
FitProblem ReadNist(const std::string& name) {
  std::ifstream in(std::string(TV_SOURCE_DIR) + "/numerics/testdata/nist/" + name + ".dat");
  EXPECT_TRUE(in) << name;
  FitProblem p;
  p.name = name;
  p.starts.resize(2);
  std::string line;
  bool data = false;
  while (std::getline(in, line)) {
    std::istringstream ss(line);
    std::string w;
    ss >> w;
    if (data) {
      double y = 0.0, x = 0.0;
      std::istringstream ds(line);
      if (ds >> y >> x) {
        p.y.push_back(y);
        p.x.push_back(x);
      }
    } else if (w.size() >= 2 && w[0] == 'b' && std::isdigit(static_cast<unsigned char>(w[1]))) {
      std::string eq;
      double s1, s2, c;
      ss >> eq >> s1 >> s2 >> c;
      p.starts[0].push_back(s1);
      p.starts[1].push_back(s2);
      p.reference.push_back(c);
    } else if (line.rfind("Residual Sum of Squares:", 0) == 0) {
      p.rss = std::stod(line.substr(line.find(':') + 1));
    } else if (w == "Data:" && line.find("Response") == std::string::npos) {
      data = true;
    }
  }
  return p;
}

std::vector<FitProblem> NistProblems() {
  std::vector<FitProblem> all;
  const struct {
    const char* name;
    double (*model)(double, const double*);
    nml_nlsq_fcn residuals;
  } list[] = {{"Misra1a", Misra1a, Residuals<Misra1a>},
              {"MGH17", MGH17, Residuals<MGH17>},
              {"Bennett5", Bennett5, Residuals<Bennett5>}};
  for (const auto& e : list) {
    all.push_back(ReadNist(e.name));
    all.back().nearStart = 1;
    all.back().model = e.model;
    all.back().residuals = e.residuals;
  }
  // NIST StRD Eckerle4 (higher difficulty): from its first start the model's peak lies
  // far off the data, where the model is all but zero over every point.
  FitProblem e;
  e.name = "Eckerle4";
  e.x = {400.0, 405.0, 410.0, 415.0, 420.0, 425.0, 430.0, 435.0, 436.5, 438.0, 439.5, 441.0,
         442.5, 444.0, 445.5, 447.0, 448.5, 450.0, 451.5, 453.0, 454.5, 456.0, 457.5, 459.0,
         460.5, 462.0, 463.5, 465.0, 470.0, 475.0, 480.0, 485.0, 490.0, 495.0, 500.0};
  e.y = {0.0001575, 0.0001699, 0.0002350, 0.0003102, 0.0004917, 0.0008710, 0.0017418,
         0.0046400, 0.0065895, 0.0097302, 0.0149002, 0.0237310, 0.0401683, 0.0712559,
         0.1264458, 0.2073413, 0.2902366, 0.3445623, 0.3698049, 0.3668534, 0.3106727,
         0.2078154, 0.1164354, 0.0616764, 0.0337200, 0.0194023, 0.0117831, 0.0074357,
         0.0022732, 0.0008800, 0.0004579, 0.0002345, 0.0001586, 0.0001143, 0.0000710};
  e.starts = {{1.0, 10.0, 500.0}, {1.5, 5.0, 450.0}};
  e.reference = {1.5543827178, 4.0888321754, 4.5154121844E+02};
  e.rss = 1.4635887487E-03;
  e.nearStart = 1;
  e.model = Eckerle4;
  e.residuals = Residuals<Eckerle4>;
  all.push_back(e);
  return all;
}

std::vector<FitProblem> ModelProblems() {
  tv_test::Table t("base/numerics/testdata/nonlin_model_fits.txt");
  std::vector<FitProblem> all;
  const int cases = t.integer();
  for (int c = 0; c < cases; ++c) {
    FitProblem p;
    p.name = t.word();
    const int m = t.integer(), n = t.integer();
    p.x = t.nums(m);
    p.y = t.nums(m);
    p.starts = {t.nums(n), t.nums(n)};
    p.reference = t.nums(n);
    p.rss = t.num();
    // The driver's own residual models where the program has one.
    if (p.name == "omori") {
      p.model = Omori;
      p.residuals = KZ_ResPower;
    } else if (p.name == "powerlaw") {
      p.model = PowerLaw;
      p.residuals = KZ_ResPowerLaw;
    } else {
      p.model = ExpDecay;
      p.residuals = Residuals<ExpDecay>;
    }
    all.push_back(p);
  }
  return all;
}

double Rss(const FitProblem& p, const double* b) {
  double s = 0.0;
  for (std::size_t i = 0; i < p.x.size(); ++i) {
    const double r = p.y[i] - p.model(p.x[i], b);
    s += r * r;
  }
  return s;
}

enum class Outcome { Reached, Failed, Neither };

struct FitResult {
  Outcome outcome;
  double rss;  // at the returned parameters, on the data as given
};

// Runs the driver from one start. Reached: the RSS (in double, on the data as given) is
// within what single precision can tell from the minimum's: 1e-3 relative, plus the RSS
// that rounding the data and the model to float alone leaves.
FitResult RunFit(const FitProblem& p, const std::vector<double>& start) {
  const int m = static_cast<int>(p.x.size()), n = static_cast<int>(start.size());
  std::vector<double> params(2 * n, 0.0);
  std::copy(start.begin(), start.end(), params.begin());
  std::vector<double> x = p.x;
  x.push_back(0.0);
  const double v =
      KZ_Stati::NonlinFit(x.data(), p.y.data(), m, p.residuals, params.data(), n, nullptr, nullptr);
  if (v < 0.0) {
    for (int k = 0; k < n; ++k) EXPECT_EQ(params[k], start[k]) << p.name << " start kept";
    return {Outcome::Failed, -1.0};
  }
  // What float data and float parameters can resolve: the rounding of each observation,
  // and the change of the model when each parameter moves by half its float spacing.
  double floor = 0.0;
  const double eps = std::numeric_limits<float>::epsilon();
  std::vector<double> b(params.begin(), params.begin() + n);
  for (std::size_t i = 0; i < p.x.size(); ++i) {
    double spacing = 0.0;
    for (int k = 0; k < n; ++k) {
      const double h = 0.5 * eps * std::fabs(params[k]);
      b[k] = params[k] + h;
      spacing += std::fabs(p.model(p.x[i], b.data()) - p.model(p.x[i], params.data()));
      b[k] = params[k];
    }
    floor += (eps * p.y[i]) * (eps * p.y[i]) + spacing * spacing;
  }
  const double rss = Rss(p, params.data());
  const bool reached = rss <= p.rss * (1.0 + 1e-3) + 10.0 * floor;
  return {reached ? Outcome::Reached : Outcome::Neither, rss};
}

}  // namespace

TEST_F(KZ_StatiFit, FitsReachTheMinimumOrReportFailure) {
  // NIST StRD problems from both certified start values, and the program's decay models
  // against scipy's least-squares minimum.
  std::vector<FitProblem> problems = NistProblems();
  for (FitProblem& p : ModelProblems()) problems.push_back(p);
  int counts[3] = {0, 0, 0};
  for (const FitProblem& p : problems) {
    ASSERT_FALSE(p.x.empty()) << p.name;
    for (std::size_t s = 0; s < p.starts.size(); ++s) {
      const FitResult r = RunFit(p, p.starts[s]);
      ++counts[static_cast<int>(r.outcome)];
      EXPECT_NE(r.outcome, Outcome::Neither)
          << p.name << " from start " << s + 1 << " reported good at RSS " << r.rss << " against "
          << p.rss;
      // From near the minimum every fit must get there, not merely report failure.
      if (s == p.nearStart) {
        EXPECT_EQ(r.outcome, Outcome::Reached) << p.name << " from start " << s + 1;
      }
    }
  }
  std::printf("reached %d, reported failed %d, neither %d\n", counts[0], counts[1], counts[2]);
}

namespace {

double Ttf(double x, const double* b) {
  const double xa = std::pow(x, b[3]);
  return 1.0 + b[0] * xa + b[1] * xa * std::cos(b[4] * std::log(x) + b[2]);
}

}  // namespace

// Fits that end on the library's iteration or evaluation limit are judged by where they
// stand, not by how the iteration stopped: the time-to-failure and Omori models over noise
// levels of 0 to 5 % and three seeds, against the minimum scipy's least_squares reaches from
// the same start. A fit reported good is within 1 % of that RSS; up to 2 % noise every fit
// from the program's start gets there. The time-to-failure fit of a plain power law with
// 0.5 % noise, which ends on the evaluation limit at a stationary point, used to fail.
TEST_F(KZ_StatiFit, FitsEndingOnALimitAreGoodWhenAtAMinimum) {
  tv_test::Table t("base/numerics/testdata/nonlin_limit_fits.txt");
  const int cases = t.integer();
  int counts[3] = {0, 0, 0};
  for (int c = 0; c < cases; ++c) {
    const std::string name = t.word();
    const double noise = t.num();
    const int seed = t.integer(), m = t.integer(), n = t.integer();
    std::vector<double> x = t.nums(m);
    const std::vector<double> y = t.nums(m), start = t.nums(n), minimum = t.nums(n);
    const double reference = t.num();
    SCOPED_TRACE(testing::Message() << name << " noise " << noise << " seed " << seed);
    ASSERT_EQ(minimum.size(), start.size());
    const bool pure = name == "ttfpure";
    const bool ttf = name == "ttf" || pure;
    double (*model)(double, const double*) = ttf ? Ttf : Omori;
    std::vector<double> params(2 * n, 0.0);
    std::copy(start.begin(), start.end(), params.begin());
    x.push_back(0.0);
    const double v =
        KZ_Stati::NonlinFit(x.data(), y.data(), m, ttf ? KZ_ResLogPeriodic : KZ_ResPower,
                            params.data(), n, nullptr, nullptr);
    Outcome outcome = Outcome::Failed;
    double rss = -1.0;
    if (v >= 0.0) {
      rss = 0.0;
      double floor = 0.0;
      const double eps = std::numeric_limits<float>::epsilon();
      for (int i = 0; i < m; ++i) {
        const double r = y[i] - model(x[i], params.data());
        rss += r * r;
        floor += (eps * y[i]) * (eps * y[i]);
      }
      outcome = rss <= reference * 1.01 + 10.0 * floor ? Outcome::Reached : Outcome::Neither;
    }
    if (pure) {
      // Frequency and phase of the ripple are all but free here: the fit ends on the
      // evaluation limit in a valley next to scipy's, at a stationary point, and is good.
      EXPECT_GE(v, 0.0);
      EXPECT_LE(rss, reference * 1.05);
      continue;
    }
    ++counts[static_cast<int>(outcome)];
    EXPECT_NE(outcome, Outcome::Neither)
        << "reported good at RSS " << rss << " against " << reference;
    if (noise <= 0.02) {
      EXPECT_EQ(outcome, Outcome::Reached) << "RSS " << rss << " against " << reference;
    }
  }
  EXPECT_EQ(counts[0] + counts[1], cases - 3);
}

namespace {

// The generator that tools/nonlin_fits/make_random_fits.py mirrors (splitmix64, 53-bit
// uniforms, Box-Muller normals), so that both make the same data sets.
class SplitMix {
 public:
  explicit SplitMix(std::uint64_t seed) : s_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double Uniform(double lo = 0.0, double hi = 1.0) {
    return lo + (hi - lo) * (static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0));
  }
  double Normal() {
    const double u1 = 1.0 - Uniform(), u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.141592653589793 * u2);
  }

 private:
  std::uint64_t s_;
};

double Power2(double x, const double* b) { return b[0] * std::pow(x, b[1]); }

// y = A x^b with relative noise from 1e-6 to 1e-2, started at the data sheet's A = 0.1, b = 1.
FitProblem RandomPowerSet(int i) {
  SplitMix g(1000 + static_cast<std::uint64_t>(i));
  const double A = std::pow(10.0, g.Uniform(-1.0, 2.0)), b = g.Uniform(0.3, 2.5);
  const int m = 20 + static_cast<int>(g.Uniform() * 21.0);
  const double xmax = g.Uniform(5.0, 100.0), s = std::pow(10.0, g.Uniform(-6.0, -2.0));
  FitProblem p;
  p.name = "power " + std::to_string(i);
  for (int j = 0; j < m; ++j) {
    const double x = 1.0 + j * (xmax - 1.0) / (m - 1);
    p.x.push_back(x);
    p.y.push_back(A * std::pow(x, b) * (1.0 + s * g.Normal()));
  }
  p.reference = {A, b};
  p.starts = {{0.1, 1.0}};
  p.model = Power2;
  p.residuals = KZ_ResPower;
  return p;
}

// y = A exp(-k x) + c with relative noise, started within a factor of two of A and k.
FitProblem RandomExpSet(int i) {
  SplitMix g(5000 + static_cast<std::uint64_t>(i));
  const double A = std::pow(10.0, g.Uniform(-1.0, 2.0)), k = std::pow(10.0, g.Uniform(-2.0, 0.0));
  const double c = A * g.Uniform(0.0, 0.5);
  const int m = 20 + static_cast<int>(g.Uniform() * 21.0);
  const double xmax = g.Uniform(1.0, 5.0) / k, s = std::pow(10.0, g.Uniform(-6.0, -2.0));
  FitProblem p;
  p.name = "exp " + std::to_string(i);
  const double a0 = A * std::pow(2.0, g.Uniform(-1.0, 1.0));
  const double k0 = k * std::pow(2.0, g.Uniform(-1.0, 1.0));
  p.starts = {{a0, k0, 0.0}};
  for (int j = 0; j < m; ++j) {
    const double x = j * xmax / (m - 1);
    p.x.push_back(x);
    p.y.push_back((A * std::exp(-k * x) + c) * (1.0 + s * g.Normal()));
  }
  p.reference = {A, k, c};
  p.model = ExpDecay;
  p.residuals = Residuals<ExpDecay>;
  return p;
}

}  // namespace

// The driver's verdict against where the fit ends, on data sets of every noise level down
// to the float rounding of the observations: 400 power laws from the data sheet's start
// values and 400 exponential decays from starts within a factor of two, against the
// minimum scipy's least_squares reaches. No fit is reported good above that minimum (by
// more than float data and parameters can resolve), and fits that get there are reported
// good: 41 of the power laws used to be refused, near the rounding level or stalled at
// their start by the scaling taken from it.
TEST_F(KZ_StatiFit, RandomFitsAreGoodExactlyWhenAtTheMinimum) {
  tv_test::Table t("base/numerics/testdata/nonlin_random_fits.txt");
  const int sets = t.integer();
  int counts[2][3] = {{0, 0, 0}, {0, 0, 0}};
  for (int kind = 0; kind < 2; ++kind) {
    for (int i = 0; i < sets; ++i) {
      FitProblem p = kind == 0 ? RandomPowerSet(i) : RandomExpSet(i);
      const std::string name = t.word();
      ASSERT_EQ(t.integer(), i);
      ASSERT_EQ(name, kind == 0 ? "power" : "exp");
      ASSERT_EQ(t.num(), p.y.back()) << p.name << ": not the data the table was made from";
      p.rss = t.num();
      const FitResult r = RunFit(p, p.starts[0]);
      ++counts[kind][static_cast<int>(r.outcome)];
      EXPECT_NE(r.outcome, Outcome::Neither)
          << p.name << " reported good at RSS " << r.rss << " against " << p.rss;
    }
  }
  // Five power laws of steep data (up to 1e6, b near 2.5) leave the library at the start
  // value whatever its scaling: those are refused. Every other fit gets there.
  EXPECT_LE(counts[0][static_cast<int>(Outcome::Failed)], 5);
  EXPECT_EQ(counts[1][static_cast<int>(Outcome::Reached)], sets);
  std::printf("power: reached %d, failed %d, neither %d; exp: reached %d, failed %d, neither %d\n",
              counts[0][0], counts[0][1], counts[0][2], counts[1][0], counts[1][1], counts[1][2]);
}

// Exact power-law data, started away from the answer and at it: both are fits.
TEST_F(KZ_StatiFit, ExactDataAndStartsAtTheAnswerAreFits) {
  std::vector<double> x, y;
  for (int i = 0; i < 30; ++i) {
    x.push_back(2.0 + i * 2.4);
    y.push_back(2.0 * std::pow(x.back(), 1.5));
  }
  x.push_back(0.0);
  const double starts[2][2] = {{0.1, 1.0}, {2.0, 1.5}};
  for (const double* start : starts) {
    double p[4] = {start[0], start[1], 0.0, 0.0};
    const double v =
        KZ_Stati::NonlinFit(x.data(), y.data(), 30, KZ_ResPower, p, 2, nullptr, nullptr);
    EXPECT_GE(v, 0.0) << "start " << start[0] << ", " << start[1];
    EXPECT_NEAR(p[0], 2.0, 1e-5);
    EXPECT_NEAR(p[1], 1.5, 1e-6);
  }
}
