// Statistics toolbox: straight-line and power-law fits, the incomplete gamma function
// behind the goodness-of-fit probability, a nonlinear least-squares driver over the
// numerical library with the residual models of the program, distribution fits to a
// histogram and summary statistics.
#pragma once
#include <cstdint>

#include "numerics/nml_nlsq.h"

// Summary statistics of one sample (from the numerical library).
struct KZ_StatRecord {
  double m_fMin = 0.0;
  double m_fMax = 0.0;
  double m_fMean = 0.0;
  double m_fRange = 0.0;
  double m_fVariance = 0.0;  // sum of squares over n - 1
  double m_fStdDev = 0.0;
  double m_fCoefVar = 0.0;
  double m_fSkewness = 0.0;
  double m_fKurtosis = 0.0;
  double m_fMeanLo = 0.0;  // 95 % confidence limits of the mean
  double m_fMeanHi = 0.0;
  double m_fVarLo = 0.0;  // and of the variance
  double m_fVarHi = 0.0;
  std::int32_t m_nCount = 0;
};

// The data of the nonlinear fit running on this thread, as the residual models read them:
// KZ_FitX[0..m] (element m carries the fixed offset of KZ_ResPowerFixedOffset) and
// KZ_FitY[0..m-1]. Each fit owns its buffer, sized to its data, so fits of any length may
// run on several threads at once, and a fit started inside a residual model restores the
// outer fit's buffer when it ends.
extern thread_local const float* KZ_FitX;
extern thread_local const float* KZ_FitY;

// Residual models: f[i] = Y_i - model(X_i) for i = 0..m-1 with the parameters p[0..n-1].
void KZ_ResPowerLaw(int m, int n, float p[], float f[]);         // n = 3: p0 + p1 X^p2
void KZ_ResLogPeriodic(int m, int n, float p[], float f[]);      // n = 5
void KZ_ResLogPeriodicC(int m, int n, float p[], float f[]);     // n = 5, complex form
void KZ_ResLogPeriodicRate(int m, int n, float p[], float f[]);  // n = 6, tc = p5
void KZ_ResSine(int m, int n, float p[], float f[]);             // p0 sin((X + p1) deg) + p2
void KZ_ResBinomial(int m, int n, float p[], float f[]);         // mean index p0
void KZ_ResNormalPdf(int m, int n, float p[], float f[]);        // mean p0, variance p1
void KZ_ResNormalCdf(int m, int n, float p[], float f[]);
void KZ_ResWeibullPdf(int m, int n, float p[], float f[]);  // scale p0, shape p1; Y for X < 0
void KZ_ResWeibullCdf(int m, int n, float p[], float f[]);
void KZ_ResPoisson(int m, int n, float p[], float f[]);           // lambda p0
void KZ_ResPower(int m, int n, float p[], float f[]);             // p0 X^p1 or p0 (X - p2)^p1
void KZ_ResPowerFixedOffset(int m, int n, float p[], float f[]);  // p0 (X - X[m])^p1
void KZ_ResCorey(int m, int n, float p[], float f[]);

class KZ_Stati {
 public:
  KZ_Stati() = default;
  virtual ~KZ_Stati() = default;

  // y = a + b x by least squares, with per-point errors sig or (null) without. r2, chi2
  // and q are written only where their pointers are not null. Without errors siga and
  // sigb are scaled by sqrt(chi2 / (n - 2)) and q is 1; with errors q is the probability
  // of a chi-square at least as large. Returns 1; 0 when no line is defined (n < 2 or all
  // x equal; nothing is written) or when the uncertainties are not (n = 2 without errors:
  // a and b describe the line through both points, siga = sigb = 0, q = 1; with errors
  // the errors are written and q = 1).
  static int FitLine(const double x[], const double y[], int n, const double sig[], double* a,
                     double* b, double* siga, double* sigb, double* r2, double* chi2, double* q);
  static int FitLineF(const float x[], const float y[], int n, const double sig[], double* a,
                      double* b, double* siga, double* sigb, double* r2, double* chi2, double* q);
  // y - y0 = A (x - x0)^b by a line in log10-log10 space; points at or below x0 (y0) enter at
  // -30. sigb is the error of b, siga that of log10 A. Returns FitLineF's result.
  static int FitPowerLaw(const float x[], const float y[], float x0, float y0, int n,
                         const double sig[], double* A, double* b, double* sigb, double* siga,
                         double* r2, double* chi2, double* q);

  static double LogGamma(double x);
  // P(a, x) by its series and Q(a, x) by its continued fraction; *gln = ln Gamma(a).
  // Return 1, or 0 (out untouched) when 100 terms do not converge.
  static int GammaSeries(double* out, double a, double x, double* gln);
  static int GammaContFrac(double* out, double a, double x, double* gln);

  // Least squares of n (at most 10) parameters over m points through the numerical
  // library (bounded when both bound arrays are given). params[0..n-1]: start values in,
  // fitted values out; params[n..2n-1]: 95 % half-widths (two-sided Student's t, 2.5 % in
  // each tail, times the standard error). X[m] is read only by KZ_ResPowerFixedOffset.
  // Returns the residual variance, or -1.0 with params unchanged when the fit is not good.
  // A fit is good when, wherever and however the library stopped (a limit included):
  // - it stands at a minimum: a Gauss-Newton step from there would remove at most a
  //   thousandth of the residual sum of squares beyond what float data and parameters
  //   can resolve (non-finite residuals are never good);
  // - its model explains the data: the RSS is below 99 % of the data's sum of squares
  //   about zero and about the mean (not judged for KZ_ResLogPeriodicRate, whose
  //   residual is not observation minus model);
  // - the data determine it: no standard error exceeds 1e4 times its parameter (or the
  //   start value, when larger), and there are degrees of freedom (m > rank).
  // The fit is tried with steps scaled to the start values and, when that is not good,
  // with unit scales; m < n, m < 1 and n > 10 return -1.0 at once.
  static double NonlinFit(const double X[], const double Y[], int m, nml_nlsq_fcn model,
                          double params[], int n, const float lower[], const float upper[]);
  static KZ_StatRecord* FitStatistics(KZ_StatRecord* out, const double x[], int nobs);

  static double FitBinomial(const double X[], const double Y[], int m, double params[]);
  static double FitNormal(const double X[], const double Y[], int m, double params[], int cdf);
  static double FitPoisson(const double X[], const double Y[], int m, double params[]);
  static double FitWeibull(const double X[], const double Y[], int m, double params[], int cdf);
};
