#include "base/numerics/KZ_Stati.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "numerics/nml.h"
#include "numerics/nml_stat.h"

thread_local const float* KZ_FitX = nullptr;
thread_local const float* KZ_FitY = nullptr;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Time-to-failure model functions on (x, p0, p1, ...), evaluated in double precision.
double PowerLawModel(double x, const float* p) {
  return p[0] + p[1] * std::pow(x, static_cast<double>(p[2]));
}

double LogPeriodicModel(double x, const float* p) {
  const double xa = std::pow(x, static_cast<double>(p[3]));
  return 1.0 + p[0] * xa + p[1] * xa * std::cos(p[4] * std::log(x) + p[2]);
}

// The complex form F(x) = Re exp(c x^alpha exp((a + i b) e^(i omega ln x))) and its
// derivative dF/dx; p = (a, b, c, alpha, omega).
void LogPeriodicModelC(double x, const float* p, double* F, double* dF) {
  const double a = p[0], b = p[1], c = p[2], alpha = p[3], omega = p[4];
  const double w = omega * std::log(x);
  const double A = a * std::cos(w) - b * std::sin(w);
  const double B = a * std::sin(w) + b * std::cos(w);
  const double K = c * std::pow(x, alpha) * std::exp(A);
  const double U = K * std::cos(B), V = K * std::sin(B);
  *F = std::exp(U) * std::cos(V);
  if (dF) {
    const double Up = K * ((alpha - omega * B) / x * std::cos(B) - omega * A / x * std::sin(B));
    const double Vp = K * ((alpha - omega * B) / x * std::sin(B) + omega * A / x * std::cos(B));
    *dF = std::exp(U) * (Up * std::cos(V) - Vp * std::sin(V));
  }
}

double Factorial(int i) {
  double f = 1.0;
  for (int k = 2; k <= i; ++k) f *= k;
  return f;
}

double Binomial(int m, int i) {
  if (i < 0 || i > m) return 0.0;
  double c = 1.0;
  for (int k = 1; k <= i; ++k) c = c * (m - i + k) / k;
  return c;
}

template <class T>
int FitLineT(const T x[], const T y[], int n, const double sig[], double* a, double* b,
             double* siga, double* sigb, double* r2, double* chi2, double* q) {
  if (n < 2) return 0;
  double S = 0.0, Sx = 0.0, Sy = 0.0;
  if (sig) {
    for (int i = 0; i < n; ++i) {
      const double w = 1.0 / (sig[i] * sig[i]);
      S += w;
      Sx += x[i] * w;
      Sy += y[i] * w;
    }
  } else {
    S = n;
    for (int i = 0; i < n; ++i) {
      Sx += x[i];
      Sy += y[i];
    }
  }
  const double sxoss = Sx / S;
  double st2 = 0.0, bb = 0.0;
  for (int i = 0; i < n; ++i) {
    const double s = sig ? sig[i] : 1.0;
    const double t = (x[i] - sxoss) / s;
    st2 += t * t;
    bb += t * y[i] / s;
  }
  if (!(st2 > 0.0)) return 0;
  bb /= st2;
  const double aa = (Sy - Sx * bb) / S;
  double ea = std::sqrt((1.0 + Sx * Sx / (S * st2)) / S);
  double eb = std::sqrt(1.0 / st2);
  double c2 = 0.0, sst = 0.0;
  const double ybar = Sy / S;
  for (int i = 0; i < n; ++i) {
    const double s = sig ? sig[i] : 1.0;
    const double r = (y[i] - aa - bb * x[i]) / s;
    const double d = (y[i] - ybar) / s;
    c2 += r * r;
    sst += d * d;
  }
  double qq = 1.0;
  int result = 1;
  if (n == 2) {
    // A line through two points: no degrees of freedom are left for its uncertainty.
    result = 0;
    if (!sig) ea = eb = 0.0;
  } else if (!sig) {
    const double scale = std::sqrt(c2 / (n - 2));
    ea *= scale;
    eb *= scale;
  } else {
    const double ga = 0.5 * (n - 2), gx = 0.5 * c2;
    double gln = 0.0, v = 0.0;
    bool ok;
    if (gx < ga + 1.0) {
      ok = KZ_Stati::GammaSeries(&v, ga, gx, &gln) == 1;
      v = 1.0 - v;
    } else {
      ok = KZ_Stati::GammaContFrac(&v, ga, gx, &gln) == 1;
    }
    // Large degrees of freedom need more terms than the short expansions allow; the
    // library's chi-squared distribution gives the same probability then.
    qq = ok ? v : 1.0 - nml_d_chi_squared_cdf(c2, n - 2);
  }
  *a = aa;
  *b = bb;
  *siga = ea;
  *sigb = eb;
  if (r2) *r2 = sst > 0.0 ? 1.0 - c2 / sst : 1.0;
  if (chi2) *chi2 = c2;
  if (q) *q = qq;
  return result;
}

// Restores the outer fit's buffer when a fit ends, however it ends.
struct FitBufferScope {
  const float* x;
  const float* y;
  FitBufferScope(const float* nx, const float* ny) : x(KZ_FitX), y(KZ_FitY) {
    KZ_FitX = nx;
    KZ_FitY = ny;
  }
  ~FitBufferScope() {
    KZ_FitX = x;
    KZ_FitY = y;
  }
};

// Whether a fit ended at a minimum. Relative gradient in the Gauss-Newton metric: the
// share of the residual sum of squares that a Gauss-Newton step from the returned point
// would still remove, ||P_J F||^2 / ||F||^2, with J by central differences in double. It
// does not depend on how the parameters are scaled, and it is small at a minimum however
// the iteration stopped, which the library's stopping notes cannot tell. Parameters on a
// bound are left out (the gradient need not vanish there). What float arithmetic cannot
// resolve counts as zero: per point the rounding of the observation and of the model
// value, and the change of the model when each parameter moves by its own float spacing
// (parameters are floats, so a minimum is only found to that spacing; with small noise
// this dominates the RSS). Measured on NIST problems and decay models from both start
// values: fits at their minimum end with a share below 1e-6, stalled ones at 0.07 and above.
constexpr double kGradientShare = 1e-3;
// Runs of the library after the first, from the point the previous one returned, and the
// relative fall of the RSS that makes a further run worth its cost.
constexpr int kRestarts = 8;
constexpr double kRestartGain = 1e-5;
// A fit that removes less than this share of the data's sum of squares, about zero or
// about the mean, explains nothing: a model stranded where it is flat over the data (a
// peak far off the data, an amplitude of about zero) stands still there with a vanishing
// gradient and huge standard errors.
constexpr double kExplainedShare = 1e-2;
// Standard errors this many times the parameter (or its start, when larger) mean that the
// data do not determine the fit.
constexpr double kErrorRatio = 1e4;

// Column j of the Jacobian of the residuals at x by differences in double: central, or
// one-sided where the residuals on one side are not finite (zero where neither is). The
// step is a cube root of the float spacing times the larger of the parameter and its
// start. p, fp and fm are work arrays of n and m floats.
void DiffColumn(nml_nlsq_fcn model, int m, int n, const float* x, const float* x0,
                const float* fres, int j, std::vector<float>* p, std::vector<float>* fp,
                std::vector<float>* fm, double* col) {
  const double h0 = std::cbrt(static_cast<double>(nml_amach(4)));
  const float size = std::max(std::fabs(x[j]), std::fabs(x0[j]));
  const float h = static_cast<float>(h0 * (size > 0.0f ? size : 1.0f));
  std::copy(x, x + n, p->begin());
  (*p)[j] = x[j] + h;
  const double hp = (*p)[j] - x[j];
  model(m, n, p->data(), fp->data());
  (*p)[j] = x[j] - h;
  const double hm = x[j] - (*p)[j];
  model(m, n, p->data(), fm->data());
  (*p)[j] = x[j];
  bool up = true, down = true;
  for (int i = 0; i < m; ++i) {
    up = up && std::isfinite((*fp)[i]);
    down = down && std::isfinite((*fm)[i]);
  }
  for (int i = 0; i < m; ++i) {
    if (up && down)
      col[i] = (static_cast<double>((*fp)[i]) - (*fm)[i]) / (hp + hm);
    else if (up)
      col[i] = (static_cast<double>((*fp)[i]) - fres[i]) / hp;
    else if (down)
      col[i] = (static_cast<double>(fres[i]) - (*fm)[i]) / hm;
    else
      col[i] = 0.0;
  }
}

// Gauss-Newton steps in double from where the library stopped, each kept only when the
// float parameters it rounds to lower the RSS. The library works in float and stops once
// its steps fall below its tolerances; where the noise is small the RSS still falls by
// several per cent over the last few float spacings of the parameters.
void Polish(nml_nlsq_fcn model, int m, int n, float* x, const float* x0, std::vector<float>* f,
            double* rss) {
  std::vector<float> p(x, x + n), fp(static_cast<std::size_t>(m)), fm(fp.size());
  std::vector<double> J(static_cast<std::size_t>(m) * n);
  for (int iter = 0; iter < 6; ++iter) {
    for (int j = 0; j < n; ++j)
      DiffColumn(model, m, n, x, x0, f->data(), j, &p, &fp, &fm,
                 &J[static_cast<std::size_t>(j) * m]);
    // Normal equations with the columns scaled to unit length, solved by Cholesky.
    double A[10][10], g[10], scale[10];
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int i = 0; i < m; ++i)
        s += J[static_cast<std::size_t>(j) * m + i] * J[static_cast<std::size_t>(j) * m + i];
      scale[j] = s > 0.0 && std::isfinite(s) ? 1.0 / std::sqrt(s) : 0.0;
    }
    for (int j = 0; j < n; ++j) {
      g[j] = 0.0;
      for (int i = 0; i < m; ++i)
        g[j] -= J[static_cast<std::size_t>(j) * m + i] * (*f)[i] * scale[j];
      for (int k = 0; k <= j; ++k) {
        double s = 0.0;
        for (int i = 0; i < m; ++i)
          s += J[static_cast<std::size_t>(j) * m + i] * J[static_cast<std::size_t>(k) * m + i];
        A[j][k] = A[k][j] = s * scale[j] * scale[k];
      }
      A[j][j] += 1e-12;
    }
    bool ok = true;
    for (int j = 0; j < n && ok; ++j) {
      for (int k = 0; k < j; ++k) A[j][j] -= A[j][k] * A[j][k];
      if (!(A[j][j] > 0.0)) {
        ok = false;
        break;
      }
      A[j][j] = std::sqrt(A[j][j]);
      for (int i = j + 1; i < n; ++i) {
        for (int k = 0; k < j; ++k) A[i][j] -= A[i][k] * A[j][k];
        A[i][j] /= A[j][j];
      }
    }
    if (!ok) return;
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < j; ++k) g[j] -= A[j][k] * g[k];
      g[j] /= A[j][j];
    }
    for (int j = n - 1; j >= 0; --j) {
      for (int k = j + 1; k < n; ++k) g[j] -= A[k][j] * g[k];
      g[j] /= A[j][j];
    }
    bool better = false;
    for (double step = 1.0; step > 0.1 && !better; step *= 0.5) {
      bool moved = false;
      for (int j = 0; j < n; ++j) {
        p[j] = static_cast<float>(x[j] + step * g[j] * scale[j]);
        moved = moved || p[j] != x[j];
      }
      if (!moved) return;
      model(m, n, p.data(), fp.data());
      double r = 0.0;
      for (int i = 0; i < m; ++i) r += static_cast<double>(fp[i]) * fp[i];
      if (r < *rss) {
        better = true;
        std::copy(p.begin(), p.end(), x);
        f->assign(fp.begin(), fp.end());
        *rss = r;
      }
    }
    if (!better) return;
  }
}

bool Converged(nml_nlsq_fcn model, int m, int n, const float* x, const float* x0, const float* y,
               const float* fres, const float lower[], const float upper[]) {
  const double eps = nml_amach(4);
  double rss = 0.0;
  std::vector<double> level(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i) {
    if (!std::isfinite(fres[i])) return false;
    rss += static_cast<double>(fres[i]) * fres[i];
    level[i] = eps * std::max(std::fabs(y[i]), std::fabs(y[i] - fres[i]));
  }
  std::vector<float> p(x, x + n), fp(static_cast<std::size_t>(m)), fm(fp.size());
  std::vector<double> J;                           // free columns, column after column
  std::vector<double> spacing(level.size(), 0.0);  // model change over one float spacing
  std::vector<double> col(level.size());
  for (int j = 0; j < n; ++j) {
    bool onBound = false;
    if (lower && upper) {
      const float tol = static_cast<float>(eps) * std::max(1.0f, std::fabs(x[j]));
      onBound = std::fabs(x[j] - lower[j]) <= tol || std::fabs(x[j] - upper[j]) <= tol;
    }
    DiffColumn(model, m, n, x, x0, fres, j, &p, &fp, &fm, col.data());
    const double ulp = eps * std::fabs(x[j]);
    for (int i = 0; i < m; ++i) spacing[i] += std::fabs(col[i]) * ulp;
    if (!onBound) J.insert(J.end(), col.begin(), col.end());
  }
  double floor = 0.0;
  for (int i = 0; i < m; ++i) floor += level[i] * level[i] + spacing[i] * spacing[i];
  if (rss <= floor) return true;
  // Project F on the span of J's columns by modified Gram-Schmidt (twice per column);
  // columns that are (nearly) combinations of earlier ones add nothing.
  const int cols = static_cast<int>(J.size()) / std::max(m, 1);
  std::vector<double> r(fres, fres + m);
  double pred = 0.0;
  for (int j = 0; j < cols; ++j) {
    double* q = &J[static_cast<std::size_t>(j) * m];
    double norm0 = 0.0;
    for (int i = 0; i < m; ++i) norm0 += q[i] * q[i];
    for (int pass = 0; pass < 2; ++pass)
      for (int k = 0; k < j; ++k) {
        const double* qk = &J[static_cast<std::size_t>(k) * m];
        double d = 0.0;
        for (int i = 0; i < m; ++i) d += qk[i] * q[i];
        for (int i = 0; i < m; ++i) q[i] -= d * qk[i];
      }
    double norm = 0.0;
    for (int i = 0; i < m; ++i) norm += q[i] * q[i];
    if (!(norm > 1e-10 * norm0) || !std::isfinite(norm)) {
      std::fill(q, q + m, 0.0);
      continue;
    }
    norm = std::sqrt(norm);
    double d = 0.0;
    for (int i = 0; i < m; ++i) {
      q[i] /= norm;
      d += q[i] * r[i];
    }
    pred += d * d;
  }
  return pred <= kGradientShare * rss + floor;
}

// Whether the model explains the data at all. Only for residuals of the form y - model:
// the residual of the rate model is not, and its sums of squares cannot be compared.
bool ExplainsData(nml_nlsq_fcn model, int m, const float* y, double rss) {
  if (model == KZ_ResLogPeriodicRate) return true;
  double mean = 0.0;
  for (int i = 0; i < m; ++i) mean += y[i];
  mean /= m;
  double about0 = 0.0, aboutMean = 0.0;
  for (int i = 0; i < m; ++i) {
    about0 += static_cast<double>(y[i]) * y[i];
    aboutMean += (y[i] - mean) * (y[i] - mean);
  }
  const double total = std::min(about0, aboutMean);
  return total == 0.0 || rss <= (1.0 - kExplainedShare) * total;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Residual models

void KZ_ResPowerLaw(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i) f[i] = static_cast<float>(KZ_FitY[i] - PowerLawModel(KZ_FitX[i], p));
}

void KZ_ResLogPeriodic(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i)
    f[i] = static_cast<float>(KZ_FitY[i] - LogPeriodicModel(KZ_FitX[i], p));
}

void KZ_ResLogPeriodicC(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i) {
    double F = 0.0;
    LogPeriodicModelC(KZ_FitX[i], p, &F, nullptr);
    f[i] = static_cast<float>(KZ_FitY[i] - F);
  }
}

void KZ_ResLogPeriodicRate(int m, int, float p[], float f[]) {
  const double tc = p[5];
  for (int i = 0; i < m; ++i) {
    const double s = (tc - KZ_FitX[i]) / tc;
    // A failure time at or before time zero has no normalised time to failure: with it the
    // fit could zero every residual by shrinking tc (the rate term) instead of fitting.
    if (s >= 1e-18 && tc > 0.0) {
      double F = 0.0, dF = 0.0;
      LogPeriodicModelC(s, p, &F, &dF);
      f[i] = static_cast<float>((KZ_FitY[i] * tc + dF / F) / s);
    } else {
      f[i] = 1e10f;
    }
  }
}

void KZ_ResSine(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i)
    f[i] =
        KZ_FitY[i] - static_cast<float>(p[0] * std::sin((KZ_FitX[i] + p[1]) * kPi / 180.0) + p[2]);
}

void KZ_ResBinomial(int m, int, float p[], float f[]) {
  const double pp = static_cast<double>(p[0]) / m, qq = 1.0 - pp;
  for (int i = 0; i < m; ++i)
    f[i] = KZ_FitY[i] -
           static_cast<float>(Binomial(m, i) * std::pow(pp, static_cast<double>(KZ_FitX[i])) *
                              std::pow(qq, m - i));
}

void KZ_ResNormalPdf(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i) {
    const double d = KZ_FitX[i] - p[0];
    f[i] = KZ_FitY[i] -
           static_cast<float>(std::exp(-d * d / (2.0 * p[1])) / std::sqrt(2.0 * kPi * p[1]));
  }
}

void KZ_ResNormalCdf(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i)
    f[i] = KZ_FitY[i] -
           static_cast<float>(0.5 * (1.0 + nml_d_erf((KZ_FitX[i] - p[0]) / std::sqrt(2.0 * p[1]))));
}

void KZ_ResWeibullPdf(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i) {
    const double x = KZ_FitX[i];
    if (x < 0.0) {
      f[i] = KZ_FitY[i];
      continue;
    }
    const double r = x / p[0];
    f[i] = KZ_FitY[i] - static_cast<float>((p[1] / p[0]) * std::pow(r, p[1] - 1.0) *
                                           std::exp(-std::pow(r, static_cast<double>(p[1]))));
  }
}

void KZ_ResWeibullCdf(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i) {
    const double x = KZ_FitX[i];
    f[i] = x < 0.0
               ? KZ_FitY[i]
               : KZ_FitY[i] - static_cast<float>(
                                  1.0 - std::exp(-std::pow(x / p[0], static_cast<double>(p[1]))));
  }
}

void KZ_ResPoisson(int m, int, float p[], float f[]) {
  for (int i = 0; i < m; ++i) {
    const double lam = p[0], x = KZ_FitX[i];
    double v = std::pow(lam, x) * std::exp(-lam) / Factorial(i);
    // Beyond 170! (or lambda^x) the plain product overflows: form the term in logarithms.
    if (!std::isfinite(v) || i > 170) v = std::exp(x * std::log(lam) - lam - std::lgamma(i + 1.0));
    f[i] = KZ_FitY[i] - static_cast<float>(v);
  }
}

void KZ_ResPower(int m, int n, float p[], float f[]) {
  for (int i = 0; i < m; ++i) {
    if (n == 2) {
      f[i] = KZ_FitY[i] - p[0] * std::pow(KZ_FitX[i], p[1]);
    } else {
      const float d = KZ_FitX[i] - p[2];
      const float pw = std::pow(d, p[1]);
      f[i] = KZ_FitY[i] - p[0] * pw;
    }
  }
}

void KZ_ResPowerFixedOffset(int m, int, float p[], float f[]) {
  const float c = KZ_FitX[m];
  for (int i = 0; i < m; ++i) {
    const float d = KZ_FitX[i] - c;
    const float pw = std::pow(d, p[1]);
    f[i] = KZ_FitY[i] - p[0] * pw;
  }
}

void KZ_ResCorey(int m, int, float p[], float f[]) {
  const float D = 1.0f - p[1] * p[1] - p[0] * p[0];
  for (int i = 0; i < m; ++i) {
    const float u = (1.0f - KZ_FitX[i] - p[0] * p[0]) / D;
    f[i] = KZ_FitY[i] - (1.0f - u) * (1.0f - u) * (1.0f - u * u);
  }
}

// ---------------------------------------------------------------------------------------

int KZ_Stati::FitLine(const double x[], const double y[], int n, const double sig[], double* a,
                      double* b, double* siga, double* sigb, double* r2, double* chi2, double* q) {
  return FitLineT(x, y, n, sig, a, b, siga, sigb, r2, chi2, q);
}

int KZ_Stati::FitLineF(const float x[], const float y[], int n, const double sig[], double* a,
                       double* b, double* siga, double* sigb, double* r2, double* chi2, double* q) {
  return FitLineT(x, y, n, sig, a, b, siga, sigb, r2, chi2, q);
}

int KZ_Stati::FitPowerLaw(const float x[], const float y[], float x0, float y0, int n,
                          const double sig[], double* A, double* b, double* sigb, double* siga,
                          double* r2, double* chi2, double* q) {
  std::vector<float> lx(static_cast<std::size_t>(std::max(n, 0)));
  std::vector<float> ly(lx.size());
  for (int i = 0; i < n; ++i) {
    lx[i] = x[i] > x0 ? std::log10(x[i] - x0) : -30.0f;
    ly[i] = y[i] > y0 ? std::log10(y[i] - y0) : -30.0f;
  }
  double a = 0.0;
  const int r = FitLineF(lx.data(), ly.data(), n, sig, &a, b, siga, sigb, r2, chi2, q);
  if (r || n == 2) *A = std::pow(10.0, a);
  return r;
}

double KZ_Stati::LogGamma(double x) {
  static const double c[6] = {76.18009173,  -86.50532033,   24.01409822,
                              -1.231739516, 0.120858003e-2, -0.536382e-5};
  const double t = x - 1.0;
  const double s = t + 5.5;
  double ser = 1.0;
  for (int j = 0; j < 6; ++j) ser += c[j] / (t + j + 1.0);
  return (t + 0.5) * std::log(s) - s + std::log(2.50662827465 * ser);
}

int KZ_Stati::GammaSeries(double* out, double a, double x, double* gln) {
  *gln = LogGamma(a);
  if (x <= 0.0) {
    *out = 0.0;
    return 1;
  }
  double ap = a, sum = 1.0 / a, del = sum;
  for (int n = 1; n <= 100; ++n) {
    ap += 1.0;
    del *= x / ap;
    sum += del;
    if (std::fabs(del) < std::fabs(sum) * 3e-7) {
      *out = sum * std::exp(-x + a * std::log(x) - *gln);
      return 1;
    }
  }
  return 0;
}

int KZ_Stati::GammaContFrac(double* out, double a, double x, double* gln) {
  *gln = LogGamma(a);
  double gold = 0.0, g = 0.0, a0 = 1.0, a1 = x, b0 = 0.0, b1 = 1.0, fac = 1.0;
  for (int n = 1; n <= 100; ++n) {
    const double ana = n - a;
    a0 = (a1 + a0 * ana) * fac;
    b0 = (b1 + b0 * ana) * fac;
    const double anf = n * fac;
    a1 = x * a0 + anf * a1;
    b1 = x * b0 + anf * b1;
    if (a1 != 0.0) {
      fac = 1.0 / a1;
      g = b1 * fac;
      if (std::fabs((g - gold) / g) < 3e-7) {
        *out = std::exp(-x + a * std::log(x) - *gln) * g;
        return 1;
      }
      gold = g;
    }
  }
  return 0;
}

double KZ_Stati::NonlinFit(const double X[], const double Y[], int m, nml_nlsq_fcn model,
                           double params[], int n, const float lower[], const float upper[]) {
  // The library refuses these arguments; answering here keeps them from reaching it.
  if (m < 1 || n < 1 || n > 10 || m < n || !model) return -1.0;
  std::vector<float> fx(static_cast<std::size_t>(m) + 1), fy(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i) {
    fx[i] = static_cast<float>(X[i]);
    fy[i] = static_cast<float>(Y[i]);
  }
  if (model == KZ_ResPowerFixedOffset) fx[m] = static_cast<float>(X[m]);
  const FitBufferScope scope(fx.data(), fy.data());

  std::vector<float> f(static_cast<std::size_t>(m), 0.0f);
  std::vector<float> jtj(static_cast<std::size_t>(n * n), 0.0f);
  float xguess[10], xscale[10];
  for (int k = 0; k < n; ++k) xguess[k] = static_cast<float>(params[k]);
  // Stop on the function value only when the residuals are down to the rounding of the
  // observations to float (half an ulp each): the library's default (2.4e-5 on half the
  // RSS) ends fits of small residuals long before their minimum.
  const double eps = nml_amach(4);
  double yy = 0.0;
  for (int i = 0; i < m; ++i) yy += static_cast<double>(fy[i]) * fy[i];
  const double aftol = std::max(0.125 * eps * eps * yy, static_cast<double>(nml_amach(1)));
  // One run of the library from `start`; the residuals, the rank and the inverse of J'J
  // of the run that is kept are those of the returned point.
  using Solution = std::unique_ptr<float, decltype(&std::free)>;
  auto run = [&](float* start, std::vector<float>* res, std::vector<float>* inv, int* rk) {
    const nml_options opts =
        nml_opts(NML_INITIAL_GUESS, start, NML_RESIDUALS_USER, res->data(), NML_JACOBIAN_RANK, rk,
                 NML_JTJ_INVERSE_USER, inv->data(), NML_X_SCALE, xscale,
                 NML_ABSOLUTE_FUNCTION_TOLERANCE, aftol, 0);
    float* sol = nullptr;
    if (lower && upper) {
      std::vector<float> lo(lower, lower + n), hi(upper, upper + n);
      sol = nml_f_bounded_least_squares(model, m, n, 0, lo.data(), hi.data(), opts);
    } else {
      sol = nml_f_nonlin_least_squares(model, m, n, opts);
    }
    return Solution(sol, &std::free);
  };
  auto sumOfSquares = [m](const std::vector<float>& r) {
    double s = 0.0;
    for (int i = 0; i < m; ++i) s += static_cast<double>(r[i]) * r[i];
    return s;
  };
  // A fit with the library's parameter scales set to `relative` (steps and step tests
  // relative to each parameter's start) or to one. The library's stops (a small step, the
  // relative function test, the iteration or evaluation limit) also end fits that creep
  // along a curved valley well short of its minimum: starting again from the returned
  // point gives the iteration fresh limits and a fresh trust region; it is repeated while
  // that lowers the RSS noticeably.
  struct Attempt {
    Solution x{nullptr, &std::free};
    std::vector<float> f, jtj;
    int rank = 0;
    double rss = 0.0;
  };
  auto attempt = [&](bool relative) {
    for (int k = 0; k < n; ++k)
      xscale[k] = relative && xguess[k] != 0.0f ? 1.0f / std::fabs(xguess[k]) : 1.0f;
    Attempt a;
    a.f.assign(static_cast<std::size_t>(m), 0.0f);
    a.jtj.assign(static_cast<std::size_t>(n * n), 0.0f);
    a.x = run(xguess, &a.f, &a.jtj, &a.rank);
    if (!a.x) return a;
    a.rss = sumOfSquares(a.f);
    for (int again = 0; again < kRestarts && std::isfinite(a.rss) && a.rss > 0.0; ++again) {
      std::vector<float> f2(a.f.size()), jtj2(a.jtj.size());
      std::vector<float> start(a.x.get(), a.x.get() + n);
      int rank2 = 0;
      Solution x2 = run(start.data(), &f2, &jtj2, &rank2);
      if (!x2) break;
      const double rss2 = sumOfSquares(f2);
      if (!(rss2 < a.rss)) break;
      const bool progress = rss2 < a.rss * (1.0 - kRestartGain);
      a.x = std::move(x2);
      a.f.swap(f2);
      a.jtj.swap(jtj2);
      a.rank = rank2;
      a.rss = rss2;
      if (!progress) break;
    }
    if (a.x && std::isfinite(a.rss) && !(lower && upper))
      Polish(model, m, n, a.x.get(), xguess, &a.f, &a.rss);
    return a;
  };
  // However the last run stopped, the fit is good when it stands at a stationary point,
  // its model explains the data and the data determine its parameters.
  auto good = [&](const Attempt& a, double* s2) {
    const int dof = m - a.rank;
    if (!a.x || dof <= 0 || !std::isfinite(a.rss)) return false;
    const float* x = a.x.get();
    if (!Converged(model, m, n, x, xguess, fy.data(), a.f.data(), lower, upper) ||
        !ExplainsData(model, m, fy.data(), a.rss))
      return false;
    float ss = 0.0f;
    for (int i = 0; i < m; ++i) ss += a.f[i] * a.f[i];
    *s2 = ss / static_cast<float>(dof);
    for (int k = 0; k < n; ++k) {
      const double se = std::sqrt(*s2 * a.jtj[k * n + k]);
      const double size = std::max(std::fabs(x[k]), std::fabs(xguess[k]));
      if (!std::isfinite(se) || (size > 0.0 && se > kErrorRatio * size)) return false;
    }
    return true;
  };
  double s2 = 0.0;
  Attempt fit = attempt(true);
  if (!good(fit, &s2)) {
    // Scales taken from the start can hold the library at its start (a start far below the
    // answer makes its first steps tiny): the same fit with unit scales.
    fit = attempt(false);
    if (!good(fit, &s2)) return -1.0;
  }
  // 95 % two-sided: the t quantile that leaves 2.5 % in each tail.
  const float t = nml_f_t_inverse(0.975f, static_cast<float>(m - fit.rank));
  for (int k = 0; k < n; ++k) {
    params[k] = fit.x.get()[k];
    params[n + k] = t * std::sqrt(s2 * fit.jtj[k * n + k]);
  }
  return s2;
}

KZ_StatRecord* KZ_Stati::FitStatistics(KZ_StatRecord* out, const double x[], int nobs) {
  *out = KZ_StatRecord{};
  if (nobs < 1) return out;
  std::vector<double> data(x, x + nobs);
  double* s = nml_d_simple_statistics(nobs, 1, data.data(), 0);
  if (!s) return out;
  out->m_fMin = s[NML_STAT_MINIMUM];
  out->m_fMax = s[NML_STAT_MAXIMUM];
  out->m_fMean = s[NML_STAT_MEAN];
  out->m_fRange = s[NML_STAT_RANGE];
  out->m_fVariance = s[NML_STAT_VARIANCE];
  out->m_fStdDev = s[NML_STAT_STD_DEV];
  out->m_fCoefVar = s[NML_STAT_COEF_VARIATION];
  out->m_fSkewness = s[NML_STAT_SKEWNESS];
  out->m_fKurtosis = s[NML_STAT_KURTOSIS];
  out->m_fMeanLo = s[NML_STAT_MEAN_LOWER];
  out->m_fMeanHi = s[NML_STAT_MEAN_UPPER];
  out->m_fVarLo = s[NML_STAT_VARIANCE_LOWER];
  out->m_fVarHi = s[NML_STAT_VARIANCE_UPPER];
  out->m_nCount = static_cast<std::int32_t>(s[NML_STAT_COUNT]);
  std::free(s);
  return out;
}

double KZ_Stati::FitBinomial(const double X[], const double Y[], int m, double params[]) {
  return NonlinFit(X, Y, m, KZ_ResBinomial, params, 1, nullptr, nullptr);
}

double KZ_Stati::FitNormal(const double X[], const double Y[], int m, double params[], int cdf) {
  return NonlinFit(X, Y, m, cdf == 0 ? KZ_ResNormalPdf : KZ_ResNormalCdf, params, 2, nullptr,
                   nullptr);
}

double KZ_Stati::FitPoisson(const double X[], const double Y[], int m, double params[]) {
  return NonlinFit(X, Y, m, KZ_ResPoisson, params, 1, nullptr, nullptr);
}

double KZ_Stati::FitWeibull(const double X[], const double Y[], int m, double params[], int cdf) {
  return NonlinFit(X, Y, m, cdf == 0 ? KZ_ResWeibullPdf : KZ_ResWeibullCdf, params, 2, nullptr,
                   nullptr);
}
