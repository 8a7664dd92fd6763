#include "base/series/KZ_PointProc_CPB.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "base/numerics/KZ_ModelFunctions.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_Rand.h"
#include "base/numerics/KZ_Stati.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/types/KZ_Range.h"
#include "platform/Strings.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Fits from a start vector; a failed fit keeps the start values, and its half-widths and
// residual variance become not-a-number so that they never pass for a result.
double RunFit(const double* x, const double* y, int m, nml_nlsq_fcn model, double* p,
              const double* start, int n) {
  for (int j = 0; j < n; ++j) {
    p[j] = start[j];
    p[n + j] = kNaN;
  }
  const double v = KZ_Stati::NonlinFit(x, y, m, model, p, n, nullptr, nullptr);
  return v < 0.0 ? kNaN : v;
}

double Eval(KZ_ModelFunction f, double x, const double* p, int n) {
  double v[8];
  v[0] = x;
  for (int j = 0; j < n; ++j) v[j + 1] = p[j];
  return f(v);
}

// Ro, Fai and their errors from a fitted (a, b) with half-widths (sa, sb).
void Polar(double a, double b, double sa, double sb, double* ro, double* ero, double* fai,
           double* efai) {
  *ro = std::sqrt(a * a + b * b);
  *ero = std::sqrt(sa * sa + sb * sb);
  // Without log-periodic terms (a = b = 0) there is no phase: it is shown as 0.
  *fai = a == 0.0 && b == 0.0 ? 0.0 : std::atan(a / b);
  *efai = a == 0.0 && b == 0.0 ? 0.0 : std::atan((sa + a) / (b - sb)) - *fai;
}

int FirstAtOrAfter(const double T[], int n, double Tk) {
  int k = 0;
  while (k < n && T[k] < Tk) ++k;
  return k >= n ? n - 1 : k;
}

// Time, E, dE/dt (column 2) and dE/dt/E by the two-point mean of E (column 3) as the
// Monte-Carlo operations set them up; extension rows follow when `extend`.
void RateColumns(KZ_MultiVarObj* t, const double T[], const double E[], int n, bool extend,
                 const std::string& timeUnit) {
  double** c = t->m_ppData.data();
  for (int i = 0; i < n; ++i) {
    c[0][i] = T[i];
    c[1][i] = E[i];
  }
  if (extend)
    for (int i = 0; i <= n - 2; ++i) {
      c[0][n + i] = 2.0 * T[n - 1] - T[n - 2 - i];
      c[1][n + i] = E[n - 1];
    }
  t->m_Columns[0].SetAll(n, 0.0, T[n - 1], "Time", timeUnit, KZ_AXIS_X);
  t->m_Columns[1].SetAll(n, 0.0, E[n - 1], "E(t)", "", KZ_AXIS_Y);
  t->m_nColumns = 2;
  t->AddDerivativeColumn(1);
  for (int i = 0; i + 1 < n; ++i) c[3][i] = 2.0 * c[2][i] / (c[1][i] + c[1][i + 1]);
  c[3][n - 1] = c[3][n - 2];
  t->m_Columns[2].SetAll(n, 0.0, c[2][n - 1], "dE/dt", "", 0);
  t->m_Columns[3].SetAll(n, 0.0, c[3][n - 1], "dE/dt/E", "", 0);
  t->m_nColumns = 4;
  t->m_Columns[3].UpdateRange();
}

const double kRateStart[6] = {0.02, 0.1, -6.0, 0.8, 3.0, 0.0};

// Start of the rate fit over the k points (x, y) before Tk. The fixed vector (tc = 1.2 Tk)
// lies far from most series: from it the fit ends at a degenerate point, or finds nothing,
// and with Tk near the failure its tc lies after the failure. The log-periodic terms keep
// their fixed start; c, alfa and tc are taken from the pure power-law rate
// y = -c alfa s^(alfa - 1) / tc (a = b = 0) that best fits the data on a grid of exponents
// and of failure times beyond the last point, c by linear least squares in the fit's own
// residual (y tc + c alfa s^(alfa - 1)) / s. With too few points the fixed vector stays.
void RateStart(const double* x, const double* y, int k, double Tk, double start[6]) {
  std::copy(kRateStart, kRateStart + 6, start);
  start[5] = 1.2 * Tk;
  if (k < 6) return;
  const double last = x[k - 1], span = last - x[0];
  if (!(span > 0.0) || !(last > 0.0)) return;
  double best = std::numeric_limits<double>::infinity();
  for (int g = 0; g <= 60; ++g) {
    // Margins beyond the last point from 1e-3 to 3 times the span, evenly in the log.
    const double tc = last + span * 1e-3 * std::pow(3000.0, g / 60.0);
    for (int a = 1; a <= 19; ++a) {
      const double alpha = 0.05 * a;
      double uu = 0.0, uv = 0.0, vv = 0.0;
      for (int i = 0; i < k; ++i) {
        const double si = (tc - x[i]) / tc;
        const double u = alpha * std::pow(si, alpha - 2.0), v = y[i] * tc / si;
        uu += u * u;
        uv += u * v;
        vv += v * v;
      }
      if (!(uu > 0.0)) continue;
      const double c = -uv / uu, rss = vv - uv * uv / uu;
      if (c < 0.0 && std::isfinite(rss) && rss < best) {
        best = rss;
        start[2] = c;
        start[3] = alpha;
        start[5] = tc;
      }
    }
  }
}

// The power-law part of the rate law alone (a = b = 0): the rate -c alfa s^(alfa - 1) / tc,
// s = (tc - t)/tc, for p = (c, alfa, tc), as observation minus model.
void ResPowerRate(int m, int, float p[], float f[]) {
  const double c = p[0], alpha = p[1], tc = p[2];
  for (int i = 0; i < m; ++i) {
    const double s = (tc - KZ_FitX[i]) / tc;
    f[i] = s >= 1e-18 && tc > 0.0
               ? static_cast<float>(KZ_FitY[i] + c * alpha * std::pow(s, alpha - 1.0) / tc)
               : 1e10f;
  }
}

// The rate fit over rows 0..k-1, in stages: the power-law part (c, alfa, tc) from the start
// derived from the data, then the whole law from there. A series without log-periodic
// oscillation does not determine a, b and omega (with a = b = 0 omega has no effect), so the
// whole fit is refused on it, and a whole fit that leaves 0 < alfa <= 1 or puts tc before
// the last point predicts no failure: the power-law fit then stands for the law with
// a = b = 0 (omega 0, its half-widths and those of a and b 0). The fixed start is the last
// resort.
// p receives the six parameters and their half-widths; false when every stage fails (p
// then holds start values only).
bool RateFit(const double* x, const double* y, int k, double Tk, double* p) {
  double start[6];
  RateStart(x, y, k, Tk, start);
  // An accelerating rate with a finite E at failure needs 0 < alfa <= 1 and c < 0, and tc
  // lies after the last point; the power-law fit keeps to these, so that it cannot run off
  // along the valley where c grows without bound while alfa goes to zero.
  bool power = false;
  double pl[6];
  if (k >= 6) {  // fewer points than the law's parameters give no prediction
    const double last = x[k - 1], span = last - x[0];
    const double pls[3] = {start[2], start[3], start[5]};
    const float lo[3] = {-1e6f, 1e-3f, static_cast<float>(last + 1e-6 * span)};
    const float hi[3] = {0.0f, 1.0f, static_cast<float>(last + 10.0 * span)};
    std::copy(pls, pls + 3, pl);
    std::fill(pl + 3, pl + 6, kNaN);
    // c = 0 (its bound) is no rate at all, and from it the whole law has no slope in a, b,
    // alfa and omega: the library would stop the run on its singular factor.
    power = KZ_Stati::NonlinFit(x, y, k, ResPowerRate, pl, 3, lo, hi) >= 0.0 && pl[0] < 0.0;
  }
  if (power) {
    start[2] = pl[0];
    start[3] = pl[1];
    start[5] = pl[2];
  }
  if (!std::isnan(RunFit(x, y, k, KZ_ResLogPeriodicRate, p, start, 6)) && p[3] > 0.0 &&
      p[3] <= 1.0 && p[5] > x[k - 1])
    return true;
  if (power) {
    const double v[12] = {0, 0, pl[0], pl[1], 0, pl[2], 0, 0, pl[3], pl[4], 0, pl[5]};
    std::copy(v, v + 12, p);
    return true;
  }
  std::copy(kRateStart, kRateStart + 6, start);
  start[5] = 1.2 * Tk;
  return !std::isnan(RunFit(x, y, k, KZ_ResLogPeriodicRate, p, start, 6));
}

// One noisy rate fit (steps shared by FitRGS and FitLogPeriodic); p receives the six
// parameters and their half-widths. False when the fit failed: p then holds only the start.
bool NoisyRateFit(KZ_MultiVarObj* t, KZ_Rand_Uni& noise, int n, int k, double Tk, double* p) {
  double** c = t->m_ppData.data();
  noise.Fill(c[4], n);
  for (int i = 0; i < n; ++i) c[3][i] = c[2][i] / c[1][i] + c[4][i];
  return RateFit(c[0], c[3], k, Tk, p);
}

// Row `row` of the samples table: the number j of the Monte-Carlo sample and its result.
void SampleRow(KZ_MultiVarObj* s, int row, int j, const double* p) {
  double ro, ero, fai, efai;
  Polar(p[0], p[1], 0.0, 0.0, &ro, &ero, &fai, &efai);
  const double v[7] = {static_cast<double>(j), ro, fai, p[2], p[3], p[4], p[5]};
  for (int col = 0; col < 7; ++col) s->m_ppData[col][row] = v[col];
}

// The samples table holds the `rows` fits that converged out of nMC.
void TitleSamples(KZ_MultiVarObj* s, int rows, int nMC) {
  static const char* const kTitles[7] = {"k", "Ro", "Fai", "c", "Alf", "Omg", "tc"};
  static const double kLo[7] = {0, 0, -5, -10, 0, 0, 0};
  static const double kHi[7] = {0, 5, 5, 10, 1, 5, 5};
  for (int col = 0; col < 7; ++col)
    s->m_Columns[col].SetAll(rows, kLo[col], col == 0 ? nMC : kHi[col], kTitles[col], "",
                             col == 0 ? KZ_AXIS_X : KZ_AXIS_Y);
  s->m_nColumns = 7;
}

// The header line that counts the failed fits, written only when some failed.
void FailedFitsLine(KZ_MultiVarObj* t, int line, int failed, int fits) {
  if (failed <= 0) return;
  t->m_strHeader[line] = plat::Format("Failed fits: %d of %d, left out", failed, fits);
  t->m_nHeaders = line + 1;
}

}  // namespace

KZ_PointProc_CPB::~KZ_PointProc_CPB() {
  delete[] m_pBuf1;
  delete[] m_pBuf2;
  delete[] m_pBuf3;
}

int KZ_PointProc_CPB::NormalizedCurves(double T[], double E[], int n, double t0, double tc,
                                       double E0, double Ec, const char* rangeText,
                                       KZ_MultiVarObj* out) {
  if (!out) return 0;
  KZ_Range range(rangeText ? rangeText : "", 0);
  const int c = std::max(range.m_nCount, 0);
  out->SetSize(8, c + 10);
  for (int j = 0; j < n; ++j) {
    T[j] = (tc - T[j]) / (tc - t0);
    E[j] = (E[j] - E0) / (Ec - E0);
  }
  double** col = out->m_ppData.data();
  for (int i = 0; i < c; ++i) {
    const double r = range.m_pValues[i];
    col[0][i] = r;
    col[1][i] = 0.0;
    for (int j = 0; j < n; ++j)
      if (T[j] - 1e-8 <= r) {
        col[1][i] = E[j];
        break;
      }
  }
  for (int i = c - 2; i >= 0; --i) col[1][i] = std::max(col[1][i], col[1][i + 1]);
  out->m_Columns[0].SetAll(c, 1.0, 0.0, "(tc-t)/tc", "", KZ_AXIS_X);
  out->m_Columns[1].SetAll(c, 0.0, 1.0, "E(t)/E(tc)", "", KZ_AXIS_Y);
  out->m_nColumns = 2;
  FitCurves(out);
  out->m_strHeader[0] = plat::Format("T(%.2f, %.2f)", t0, tc);
  return out->m_nColumns;
}

int KZ_PointProc_CPB::FitCurves(KZ_MultiVarObj* out) {
  if (!out || out->m_nColumnCapacity < 8) return 0;
  const int m = std::min(out->m_Columns[0].m_nCount, out->m_nRowCapacity);
  double** c = out->m_ppData.data();
  const double *x = c[0], *y = c[1];

  static const double kAMR[3] = {1.0, -1.0, 0.3};
  static const double kRGS[5] = {-0.971, 0.05, 2.36, 0.3, 3.0};
  static const double kNGS[5] = {0.02, 0.1, -6.0, 0.8, 3.0};
  double pa[6], pr[10], pn[10];
  const double va = RunFit(x, y, m, KZ_ResPowerLaw, pa, kAMR, 3);
  for (int i = 0; i < m; ++i) c[2][i] = Eval(KZ_PowerLawModel, x[i], pa, 3);
  out->m_strHeader[1] =
      std::isnan(va) ? "AMR: no fit found"
                     : plat::Format("AMR: A=%.2f(%.2f), B=%.2f(%.2f), m=%.2f(%.2f), BIC=%.2f",
                                    pa[0], pa[3], pa[1], pa[4], pa[2], pa[5], va);
  const double vr = RunFit(x, y, m, KZ_ResLogPeriodic, pr, kRGS, 5);
  for (int i = 0; i < m; ++i) c[3][i] = Eval(KZ_LogPeriodicModel, x[i], pr, 5);
  out->m_strHeader[2] = std::isnan(vr) ? "RGS: no fit found"
                                       : plat::Format(
                                             "RGS: a1=%.2f(%.2f), a2=%.2f(%.2f), fai=%.2f(%.2f), "
                                             "alfa=%.2f(%.2f), omg=%.2f(%.2f), "
                                             "BIC=%.2f",
                                             pr[0], pr[5], pr[1], pr[6], pr[2], pr[7], pr[3], pr[8],
                                             pr[4], pr[9], vr);
  const double vn = RunFit(x, y, m, KZ_ResLogPeriodicC, pn, kNGS, 5);
  for (int i = 0; i < m; ++i) c[4][i] = Eval(KZ_LogPeriodicModelC, x[i], pn, 5);
  out->m_strHeader[3] =
      std::isnan(vn)
          ? "Self-similar extrapolation of NGS: no fit found"
          : plat::Format(
                "Self-similar extrapolation of NGS: a=%.2f(%.2f), b=%.2f(%.2f), c=%.2f(%.2f), "
                "alfa=%.2f(%.2f), omg=%.2f(%.2f), BIC=%.2f",
                pn[0], pn[5], pn[1], pn[6], pn[2], pn[7], pn[3], pn[8], pn[4], pn[9], vn);
  double ro, ero, fai, efai;
  Polar(pn[0], pn[1], pn[5], pn[6], &ro, &ero, &fai, &efai);
  out->m_strHeader[4] =
      std::isnan(vn) ? "" : plat::Format(" Ro=%.2f(%.2f), Fai=%.2f(%.2f)", ro, ero, fai, efai);
  out->m_nHeaders = 5;

  out->m_nColumns = 5;
  out->m_Columns[0].SetAll(m, 1.0, 0.0, "(tc-t)/tc", "", KZ_AXIS_X);
  static const char* const kTitles[4] = {"E(t)/E(tc)", "AMR", "NGS", "SM_NGS"};
  for (int k = 1; k <= 4; ++k) out->m_Columns[k].SetAll(m, 0.0, 1.0, kTitles[k - 1], "", KZ_AXIS_Y);
  out->AddDerivativeColumn(1);
  out->AddDerivativeColumn(4);
  for (int i = 0; i < m; ++i) c[7][i] = Eval(KZ_LogPeriodicModel2, x[i], pn, 5);
  out->m_Columns[7].SetAll(m, 0.0, 1.0, "df/dx", "", KZ_AXIS_Y);
  out->m_nColumns = 8;
  float mx = 0.0f;
  for (int k = 5; k <= 7; ++k)
    for (int i = 0; i < m; ++i) {
      c[k][i] = -c[k][i];
      if (k == 5 || (k == 6 && !std::isnan(vn))) mx = std::max(mx, static_cast<float>(c[k][i]));
    }
  mx = KZ_NiceCeilF(mx);
  for (int k = 5; k <= 7; ++k) {
    out->m_Columns[k].SetRange(0.0, mx);
    out->m_Columns[k].m_fPlotMin = 0.0f;
    out->m_Columns[k].m_fPlotMax = mx;
  }
  out->m_Columns[5].m_nAxisFlags = KZ_AXIS_Y;
  out->m_Columns[6].m_nAxisFlags = KZ_AXIS_Y;
  // A refused fit left only its start values: its curve and the columns derived from it are
  // not shown.
  auto hide = [out](int k) {
    out->m_Columns[k].m_nCount = 0;
    out->m_Columns[k].m_nAxisFlags = 0;
  };
  if (std::isnan(va)) hide(2);
  if (std::isnan(vr)) hide(3);
  if (std::isnan(vn))
    for (int k : {4, 6, 7}) hide(k);
  return 8;
}

int KZ_PointProc_CPB::FitNGS(double T[], double E[], int n, double Tk, KZ_MultiVarObj* out) {
  m_nFits = m_nFailedFits = 0;
  if (!out || n < 2) return 0;
  out->SetSize(8, n + 10);
  double** c = out->m_ppData.data();
  for (int i = 0; i < n; ++i) {
    c[0][i] = T[i];
    c[1][i] = E[i];
  }
  out->m_Columns[0].SetAll(n, 0.0, T[n - 1], "t", "", KZ_AXIS_X);
  out->m_Columns[1].SetAll(n, 0.0, E[n - 1], "E(t)", "", KZ_AXIS_Y);
  out->m_nColumns = 2;
  out->AddDerivativeColumn(1);
  for (int i = 0; i < n; ++i) c[3][i] = c[2][i] / (c[1][i] + 1e-8);
  out->m_nColumns = 4;
  out->m_Columns[3].m_nCount = n;
  out->m_Columns[3].UpdateRange();
  out->m_Columns[2].SetAll(n, 0.0, c[2][n - 1], "dE/dt", "", KZ_AXIS_Y);
  out->m_Columns[3].SetAll(n, 0.0, c[3][n - 1], "dE/dt/E", "", KZ_AXIS_Y);

  const int k = FirstAtOrAfter(T, n, Tk);
  double p[12];
  const bool ok = RateFit(c[0], c[3], k, Tk, p);
  m_nFits = 1;
  m_nFailedFits = ok ? 0 : 1;
  out->m_strHeader[0] = plat::Format("Tk=%.2f", Tk);
  if (!ok) {
    // The start values are no result: no extrapolation and no parameters are shown.
    out->m_Columns[4].SetAll(0, 0.0, E[n - 1], "E.P.", "", 0);
    out->m_Columns[5].SetAll(0, -1.0, 1.0, "Eerr", "", 0);
    out->m_nColumns = 6;
    out->m_strHeader[1] =
        "Self-similar extrapolation of NGS: no prediction, the fit did not converge";
    out->m_nHeaders = 2;
    return 6;
  }
  const double tc = p[5];
  for (int i = 0; i < n; ++i) {
    const double s = (tc - std::min(T[i], tc - 1e-8)) / tc;
    const double F = Eval(KZ_LogPeriodicModelC, s, p, 5);
    c[4][i] = F;
    c[5][i] = c[3][i] * tc + Eval(KZ_LogPeriodicModel2, s, p, 5) / F;
  }
  const double scale = E[k] / c[4][k];
  for (int i = 0; i < n; ++i) c[4][i] *= scale;
  out->m_Columns[4].SetAll(n, 0.0, E[n - 1], "E.P.", "", KZ_AXIS_Y);
  out->m_Columns[5].SetAll(n, -1.0, 1.0, "Eerr", "", KZ_AXIS_Y);
  out->m_Columns[5].UpdateRange();
  out->m_nColumns = 6;
  out->m_strHeader[1] = plat::Format(
      "Self-similar extrapolation of NGS: a=%.2f(%.2f), b=%.2f(%.2f), c=%.2f(%.2f), "
      "alfa=%.2f(%.2f), omg=%.2f(%.2f), tc=%.2f(%.2f)",
      p[0], p[6], p[1], p[7], p[2], p[8], p[3], p[9], p[4], p[10], p[5], p[11]);
  double ro, ero, fai, efai;
  Polar(p[0], p[1], p[6], p[7], &ro, &ero, &fai, &efai);
  out->m_strHeader[2] = plat::Format(" Ro=%.2f(%.2f), Fai=%.2f(%.2f)", ro, ero, fai, efai);
  out->m_nHeaders = 3;
  return 6;
}

int KZ_PointProc_CPB::FitRGS(double T[], double E[], int n, double Tk, KZ_MultiVarObj* out, int nMC,
                             float err) {
  m_nFits = m_nFailedFits = 0;
  if (!out || n < 2) return 0;
  nMC = std::max(nMC, 0);
  out->SetSize(nMC + 8, 2 * n);
  RateColumns(out, T, E, n, true, m_strTimeUnit);
  double** c = out->m_ppData.data();
  if (err < 0.0f) {
    std::vector<double> rates(c[3], c[3] + n);
    err = static_cast<float>(0.05 * KZ_MedianD(rates.data(), n));
  }
  KZ_Rand_Uni noise(-err, err);
  KZ_Rand::Seed();
  out->m_Columns[4].SetAll(n, -err, err, "Err", "", 0);
  if (!out->m_pSubTable) out->m_pSubTable = std::make_unique<KZ_MultiVarObj>();
  KZ_MultiVarObj* s = out->m_pSubTable.get();
  s->SetSize(8, nMC + 4);

  const int k = FirstAtOrAfter(T, n, Tk);
  int longest = 0, good = 0;
  for (int j = 0; j < nMC; ++j) {
    double p[12];
    if (!NoisyRateFit(out, noise, n, k, Tk, p)) {
      // A failed fit draws no curve and gives no sample.
      out->m_Columns[5 + j].SetAll(0, 0.0, 1.0, "E.P.", "", 0);
      continue;
    }
    const double tc = p[5];
    int rows = 0;
    for (int i = 0; i <= 2 * n - 2 && tc - c[0][i] >= 1e-5; ++i, ++rows)
      c[5 + j][i] = Eval(KZ_LogPeriodicModelC, (tc - c[0][i]) / tc, p, 5);
    out->m_Columns[5 + j].SetAll(rows, 0.0, 1.0, "E.P.", "", KZ_AXIS_Y);
    longest = std::max(longest, rows);
    SampleRow(s, good++, j, p);
  }
  m_nFits = nMC;
  m_nFailedFits = nMC - good;
  out->m_nColumns = 5 + nMC;
  if (longest > n) out->m_Columns[0].m_nCount = longest;
  for (int i = 0; i < n; ++i) c[3][i] = c[2][i] / c[1][i];

  double mean[7] = {0}, sd[7] = {0};
  for (int col = 1; col <= 6; ++col) {
    KZ_StatRecord st;
    KZ_Stati::FitStatistics(&st, s->m_ppData[col], good);
    mean[col] = st.m_fMean;
    sd[col] = st.m_fStdDev;
  }
  out->m_strHeader[0] = plat::Format("Tk=%.2f, nMC=%d, Err=%.4f", Tk, nMC, err);
  out->m_strHeader[1] =
      EnoughFits()
          ? plat::Format(
                "Self-similar extrapolation of RGS: Ro=%.2f(%.2f), Fai=%.2f(%.2f), c=%.2f(%.2f), "
                "alfa=%.2f(%.2f), omg=%.2f(%.2f), tc=%.2f(%.2f)",
                mean[1], sd[1], mean[2], sd[2], mean[3], sd[3], mean[4], sd[4], mean[5], sd[5],
                mean[6], sd[6])
          : plat::Format(
                "Self-similar extrapolation of RGS: no prediction, only %d of %d fits converged",
                good, nMC);
  out->m_nHeaders = 2;
  FailedFitsLine(out, 2, m_nFailedFits, nMC);
  TitleSamples(s, good, nMC);
  return out->m_nColumns;
}

int KZ_PointProc_CPB::FitLogPeriodic(double T[], double E[], int n, double Tk,
                                     KZ_MultiVarObj* samples, int nMC, float err) {
  m_nFits = m_nFailedFits = 0;
  if (!samples || n < 2) return 0;
  nMC = std::max(nMC, 0);
  KZ_MultiVarObj t;
  t.SetSize(8, n + 10);
  RateColumns(&t, T, E, n, false, m_strTimeUnit);
  KZ_Rand_Uni noise(-err, err);
  KZ_Rand::Seed();
  t.m_Columns[4].SetAll(n, -err, err, "Err", "", 0);
  samples->SetSize(8, nMC + 4);
  const int k = FirstAtOrAfter(T, n, Tk);
  int good = 0;
  for (int j = 0; j < nMC; ++j) {
    double p[12];
    if (NoisyRateFit(&t, noise, n, k, Tk, p)) SampleRow(samples, good++, j, p);
  }
  m_nFits = nMC;
  m_nFailedFits = nMC - good;
  TitleSamples(samples, good, nMC);
  samples->m_strHeader[0] = plat::Format("Tk=%.2f, nMC=%d, Err=%.4f", Tk, nMC, err);
  samples->m_nHeaders = 1;
  FailedFitsLine(samples, 1, m_nFailedFits, nMC);
  return 7;
}

bool KZ_PointProc_CPB::EnoughFits() const {
  const int good = m_nFits - m_nFailedFits;
  return m_nFits == 1 ? good == 1 : good >= 2 && 2 * good >= m_nFits;
}
