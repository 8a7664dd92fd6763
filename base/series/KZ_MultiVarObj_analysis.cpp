// The data table's analyses: model curves, column spectra, probability densities,
// singular spectra and curve fits.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "base/numerics/KZ_FFT.h"
#include "base/numerics/KZ_ModelFunctions.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_Stati.h"
#include "base/numerics/KZ_TSanaAR.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/series/KZ_SSA.h"
#include "base/types/KZ_Range.h"
#include "platform/Strings.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// "title,unit": the title before the first comma and the rest as unit.
void SplitName(const char* name, std::string& title, std::string& unit) {
  const std::string s = name ? name : "";
  const std::size_t comma = s.find(',');
  title = s.substr(0, comma);
  unit = comma == std::string::npos ? std::string() : s.substr(comma + 1);
}

// 10^ceil(log10 v) as an integer power of ten; 1 when v is not positive.
double DecadeAbove(double v) {
  if (!(v > 0.0) || !std::isfinite(v)) return 1.0;
  return std::pow(10.0, static_cast<int>(std::ceil(std::log10(v))));
}

}  // namespace

int KZ_MultiVarObj::SetFromFunction(double (*model)(double*), double params[], const char* names[2],
                                    const char* rangeText) {
  KZ_Range range(rangeText ? rangeText : "", 0);
  const int n = std::max(range.m_nCount, 0);
  SetSize(2, n + 10);
  m_nColumns = 2;
  for (int i = 0; i < n; ++i) {
    params[0] = range.m_pValues[i];
    m_ppData[0][i] = range.m_pValues[i];
    m_ppData[1][i] = model(params);
  }
  m_strHeader[0] = plat::Format("Function:%s(%s)", names[1], names[0]);
  m_nHeaders = 1;
  std::string title, unit;
  SplitName(names[0], title, unit);
  const double x0 = n > 0 ? range.m_pValues[0] : 0.0;
  const double x1 = n > 0 ? range.m_pValues[n - 1] : 0.0;
  m_Columns[0].SetAll(n, x0, x1, title, unit, KZ_AXIS_X);
  SplitName(names[1], title, unit);
  m_Columns[1].Set(n, title, unit, KZ_AXIS_Y);
  return 2;
}

int KZ_MultiVarObj::PowerSpectrum(const KZ_Var1D* x, const KZ_Var1D* y, int first, int last,
                                  KZ_MultiVarObj* out) {
  if (!x || !y || !out || !x->m_pData || !y->m_pData) return 0;
  const int avail = std::min(x->m_nCount, y->m_nCount);
  if (last <= first) {
    first = 0;
    last = x->m_nCount - 1;
  }
  first = std::max(first, 0);
  last = std::min(last, avail - 1);
  const int n = last - first + 1;
  if (n < 2) return 0;
  const double* X = x->m_pData + first;
  const double* Y = y->m_pData + first;
  const double dt = X[1] - X[0];
  if (!(dt != 0.0) || !std::isfinite(dt)) return 0;

  int nfft = 4;
  while (nfft < n) nfft *= 2;
  const int half = nfft / 2;
  // Everything the result needs of the two columns is taken before the output is resized,
  // so that the output may even be their own table.
  std::vector<double> work(2 * static_cast<std::size_t>(nfft), 0.0);
  KZ_Ary_ series(n);
  for (int i = 0; i < n; ++i) work[2 * i] = series[i + 1] = Y[i];
  const double length = X[n - 1] - X[0];
  const std::string xu = x->m_strUnit, yt = y->m_strTitle, yun = y->m_strUnit;
  out->SetSize(6, half + 8);
  KZ_FFT(work.data(), nfft, 1);
  double** c = out->m_ppData.data();
  double maxA = -1e20, maxP = -1e20;
  for (int k = 0; k < half; ++k) {
    const double re = work[2 * k], im = work[2 * k + 1];
    const double P = re * re + im * im;
    c[2][k] = std::sqrt(P) * dt / half;
    c[3][k] = P * dt / (static_cast<double>(half) * half);
    c[5][k] = std::atan2(im, re) * 57.29577951308232;
    maxA = std::max(maxA, c[2][k]);
    maxP = std::max(maxP, c[3][k]);
  }
  c[2][0] *= 0.5;
  c[3][0] *= 0.5;
  const double topA = DecadeAbove(maxA), topP = DecadeAbove(maxP);
  const double df = 1.0 / (nfft * dt);
  for (int k = 0; k < half; ++k) {
    c[0][k] = k * df;
    c[1][k] = k == 0 ? length : 1.0 / (k * df);
  }

  // Autoregressive model of least AIC (orders up to 50) on the mean-free series.
  {
    KZ_Ary_ coef(50);
    KZ_TSana::RemoveMean(&series, n, n);
    KZ_TSanaAR ar;
    int p = 0;
    double s2 = 0.0;
    ar.FitMinAIC(&series, n, &coef, &p, &s2, 50);
    KZ_TSanaAR::Spectrum(&coef, p, nullptr, 0, s2, c[4], half, false, false);
  }

  out->m_nColumns = 6;
  const std::string yu = plat::Format("%s x %s", yun.c_str(), xu.c_str());
  KZ_Var1D* col = out->m_Columns.data();
  col[0].SetAll(half, 0.0, KZ_NiceCeil(half * df), "Freq.", plat::Format("1/%s", xu.c_str()), 0);
  col[1].SetAll(half, 0.0, half, "Period", xu, KZ_AXIS_X);
  col[2].SetAll(half, 0.0, topA, "ASD(fft)", yu, KZ_AXIS_Y);
  col[3].SetAll(half, 0.0, topP, "PSD(fft)", yu, KZ_AXIS_Y);
  col[4].SetAll(half, 0.0, topP, "PSD(AR)", yu, KZ_AXIS_Y);
  col[5].SetAll(half, -180.0, 180.0, "Phase", "deg", 0);
  for (int k = 2; k <= 5; ++k) col[k].m_nPlotStyle = 2;
  out->m_strHeader[0] = plat::Format("Power spectrum density of %s(%s)", yt.c_str(), yun.c_str());
  out->m_nHeaders = 1;
  return 1;
}

int KZ_MultiVarObj::ProbabilityDensity(const KZ_Var1D* column, int first, int last,
                                       KZ_MultiVarObj* out, double lo, double hi, int nbins,
                                       int withFits) {
  if (!column || !out || out == this || !column->m_pData || nbins < 1) return 0;
  const int count = std::min(column->m_nCount, m_nRowCapacity);
  if (last <= first) {
    first = 0;
    last = count - 1;
  }
  first = std::max(first, 0);
  last = std::min(last, count - 1);
  const int n = last - first + 1;
  if (n < 1) return 0;
  const double* v = column->m_pData;
  KZ_StatRecord st;
  KZ_Stati::FitStatistics(&st, v + first, n);
  if (hi < lo) {
    lo = st.m_fMin;
    hi = st.m_fMax;
  }
  const double w = (hi - lo) / nbins;
  if (!(w > 0.0) || !std::isfinite(w)) return 0;

  std::vector<double> h(static_cast<std::size_t>(nbins), 0.0);
  int N = 0;
  for (int r = first; r <= last; ++r) {
    const double x = v[r];
    if (!IsRowInRange(r) || !(x >= lo && x <= hi)) continue;
    const int k = static_cast<int>(std::floor((x - lo) / w));
    if (k < 0 || k >= nbins) continue;
    h[k] += 1.0;
    ++N;
  }
  if (N == 0) return 0;

  double sk = 0.0, sh = 0.0;
  for (int k = 0; k < nbins; ++k) {
    sk += k * h[k];
    sh += h[k];
  }
  const double m = sk / sh;
  const double vb = m * (1.0 - m / nbins);

  // Range-filter lines come from this table; read them before out changes (out is not
  // this table, but the column's titles must be taken first all the same).
  std::vector<std::string> filterLines;
  for (int i = 0; i < m_nColumns; ++i)
    if (m_Columns[i].m_nRangeFilter)
      filterLines.push_back(plat::Format(" %s [%.4e, %.4e]", m_Columns[i].m_strTitle.c_str(),
                                         m_Columns[i].m_dMin, m_Columns[i].m_dMax));
  const std::string title = column->m_strTitle, unit = column->m_strUnit;

  out->SetSize(withFits ? 12 : 3, nbins + 8);
  double** c = out->m_ppData.data();
  for (int k = 0; k < nbins; ++k) c[1][k] = h[k] / N;
  KZ_Var1D* col = out->m_Columns.data();
  col[0].SetAll(nbins, lo, hi, title, unit, KZ_AXIS_X);
  col[1].SetAll(nbins, 0.0, 0.25, "PDF_Obs", " ", KZ_AXIS_Y);
  col[1].m_nPlotStyle = 4;
  col[2].SetAll(nbins, 0.0, 1.0, "CDF_obs", " ", KZ_AXIS_Y);
  col[2].m_nPlotStyle = 2;

  // The summary lines always fit: range-filter lines beyond the free header lines are
  // dropped.
  const int summary = 1 + (withFits ? 4 : 0);
  const int room = kHeaderLines - 1 - summary;
  if (static_cast<int>(filterLines.size()) > room) filterLines.resize(room);
  int line = 0;
  out->m_strHeader[line++] = plat::Format(
      "History, PDF(probabilty density function), and CDF(comulative distribution function) "
      "of %s(%s)",
      title.c_str(), unit.c_str());
  for (const std::string& s : filterLines) out->m_strHeader[line++] = s;
  out->m_strHeader[line++] =
      plat::Format("Observation: N=%d, Mean=%.4f, StdDev=%.4f", N, st.m_fMean, st.m_fStdDev);
  out->m_nHeaders = line;

  if (!withFits) {
    double cum = 0.0;
    for (int k = 0; k < nbins; ++k) {
      c[0][k] = lo + (k + 0.5) * w;
      cum += c[1][k];
      c[2][k] = cum;
    }
    col[1].UpdateRange();
    col[2].m_nAxisFlags = 0;
    out->m_nColumns = 3;
    return 3;
  }

  std::vector<double> X(static_cast<std::size_t>(nbins) + 1, 0.0), Y(c[1], c[1] + nbins);
  for (int k = 0; k < nbins; ++k) X[k] = k;
  // Half-widths stay not-a-number when a fit fails, so its start values never pass for a
  // result.
  double pb[2] = {m, kNaN}, pn[4] = {m, vb, kNaN, kNaN}, pp[2] = {m, kNaN};
  double pw[4] = {1.0, 2.0, kNaN, kNaN};
  KZ_Stati::FitBinomial(X.data(), Y.data(), nbins, pb);
  KZ_Stati::FitNormal(X.data(), Y.data(), nbins, pn, 0);
  KZ_Stati::FitPoisson(X.data(), Y.data(), nbins, pp);
  const double wres = KZ_Stati::FitWeibull(X.data(), Y.data(), nbins, pw, 0);
  const bool weibull = wres > 0.0;
  const double p = pb[0] / nbins;
  double cum[5] = {0, 0, 0, 0, 0};
  for (int k = 0; k < nbins; ++k) {
    c[0][k] = lo + (k + 0.5) * w;
    cum[0] += c[1][k];
    c[2][k] = cum[0];
    c[3][k] = KZ_BinomialPmf(k, nbins, p);
    c[4][k] = cum[1] += c[3][k];
    c[5][k] = KZ_NormalPdf(k + 0.5, pn[0], pn[1]);
    c[6][k] = cum[2] += c[5][k];
    c[7][k] = KZ_PoissonPmf(k, pp[0]);
    c[8][k] = cum[3] += c[7][k];
    if (weibull) {
      c[9][k] = KZ_WeibullPdf(k + 0.5, pw[0], pw[1]);
      c[10][k] = cum[4] += c[9][k];
    }
  }
  out->m_nColumns = weibull ? 11 : 9;
  static const char* const kTitles[] = {"PDF_Bin", "CDF_bin", "PDF_Nor", "CDF_Nor",
                                        "PDF_Poi", "CDF_poi", "PDF_Wbl", "CDF_Wbl"};
  static const int kStyles[] = {3, 2, 2, 2, 3, 2, 2, 2};
  for (int j = 3; j < out->m_nColumns; ++j) {
    const bool pdf = (j % 2) == 1;
    col[j].SetAll(nbins, 0.0, pdf ? 0.25 : 1.0, kTitles[j - 3], " ", 0);
    col[j].m_nPlotStyle = static_cast<std::uint16_t>(kStyles[j - 3]);
  }
  out->m_strHeader[line++] = plat::Format("Binormal: Mean=%.4f, Var=%.4f, 95_mean=%.4f", lo + w * m,
                                          w * w * vb, pb[1] * w / nbins);
  out->m_strHeader[line++] =
      plat::Format("  Normal: Mean=%.4f, Var=%.4f, 95_mean=%.4f, 95_var=%.4f", lo + w * pn[0],
                   w * w * pn[1], w * pn[2], w * w * pn[3]);
  out->m_strHeader[line++] =
      plat::Format(" Possion: Mean=%.4f, var=%.4f, Ramda=%.4f, 95_ramda=%.4f", lo + w * pp[0],
                   w * w * pp[0], pp[0], pp[1]);
  if (weibull)
    out->m_strHeader[line++] = plat::Format(
        " Weibull: Ramda=%.4f, k=%.4f, 95_ramda=%.4f, 95_k=%.4f", pw[0], pw[1], pw[2], pw[3]);
  out->m_nHeaders = line;
  return 3;
}

KZ_MultiVarObj* KZ_MultiVarObj::SingularSpectrum(int ix, int iy, int flag) {
  if (ix < 0 || iy < 0 || ix >= m_nColumns || iy >= m_nColumns) return this;
  const KZ_Var1D& cx = m_Columns[ix];
  const KZ_Var1D& cy = m_Columns[iy];
  const int N = std::min({cx.m_nCount, cy.m_nCount, m_nRowCapacity});
  if (N < 6) return this;
  std::vector<float> xs(static_cast<std::size_t>(N)), ys(xs.size());
  for (int i = 0; i < N; ++i) {
    xs[i] = static_cast<float>(m_ppData[ix][i]);
    ys[i] = static_cast<float>(m_ppData[iy][i]);
  }
  const std::string xt = cx.m_strTitle, xu = cx.m_strUnit, yt = cy.m_strTitle, yu = cy.m_strUnit;
  const double x0 = cx.m_dMin, x1 = cx.m_dMax, y0 = cy.m_dMin, y1 = cy.m_dMax;
  int M = N < 100 ? N / 2 - 2 : (N < 270 ? N / 3 : 100);

  KZ_SSA ssa;
  ssa.Analyse(ys.data(), N, &M, this, flag);
  for (int i = 0; i < N; ++i) m_ppData[0][i] = xs[i];
  m_Columns[0].SetAll(N, x0, x1, xt, xu, KZ_AXIS_X);
  m_Columns[1].SetAll(N, y0, y1, yt, yu, KZ_AXIS_Y);
  m_Columns[0].m_nPlotStyle = 2;
  m_Columns[1].m_nPlotStyle = 2;
  m_strHeader[0] = plat::Format("SSA component, N=%d, M=%d", N, M);
  m_nHeaders = 1;
  return this;
}

namespace {

constexpr double kDeg = 0.017453292519943295;

double PowerModel(int model, const double* p, double x, double c) {
  switch (model) {
    case 2:
      return p[0] * std::pow(x, p[1]);
    case 3:
      return p[0] * std::pow(x - p[2], p[1]);
    case 4:
      return p[0] * std::pow(x - c, p[1]);
    case 5: {
      const double S = (1.0 - x - p[0] * p[0]) / (1.0 - p[1] * p[1] - p[0] * p[0]);
      return (1.0 - S) * (1.0 - S) * (1.0 - S * S);
    }
    default:
      return p[0] * std::sin((x + p[1]) * kDeg) + p[2];
  }
}

}  // namespace

int KZ_MultiVarObj::Fit(int model, int lag, const float* c) {
  const int ix = GetFirstXColumn(), iy = GetFirstYColumn();
  if (ix < 0 || iy < 0) return 0;
  if (model != 1 && model != 2 && model != 3 && model != 4 && model != 5 && model != 8) return 0;
  if (model == 4 && !c) return 0;
  int F = m_nColumns;
  for (int i = 0; i < m_nColumns; ++i)
    if (m_Columns[i].m_strTitle.find("*Fit") != std::string::npos) {
      F = i;
      break;
    }
  if (F + 2 > m_nColumnCapacity) return 0;
  int pos = m_nHeaders;
  for (int i = 0; i < m_nHeaders && i < kHeaderLines; ++i)
    if (m_strHeader[i].find("Fitting") != std::string::npos) {
      pos = i;
      break;
    }
  // With every header line in use the new result replaces the last one.
  pos = std::min(pos, kHeaderLines - 1);
  m_nColumns = F + 2;
  m_nHeaders = pos;

  const int n = std::max(0, std::min(m_Columns[0].m_nCount, m_nRowCapacity));
  const double* X = m_ppData[ix];
  const double* Y = m_ppData[iy];
  double* fit = m_ppData[F];
  double* res = m_ppData[F + 1];
  const KZ_Var1D& ycol = m_Columns[iy];
  const double ymin = ycol.m_dMin, ymax = ycol.m_dMax;
  const std::string yunit = ycol.m_strUnit;
  std::string line;

  if (model == 1) {
    lag = std::max(lag, 0);
    const int N = n - lag;
    double a = 0.0, b = 0.0, sa = kNaN, sb = kNaN, r2 = kNaN, chi2 = kNaN;
    if (N >= 2) {
      double q = 0.0;
      if (!KZ_Stati::FitLine(X, Y + lag, N, nullptr, &a, &b, &sa, &sb, &r2, &chi2, &q) && N != 2) {
        a = b = 0.0;
        sa = sb = r2 = chi2 = kNaN;
      }
    }
    for (int i = 0; i < n; ++i) {
      if (i < lag) {
        fit[i] = res[i] = 0.0;
      } else {
        fit[i] = a + b * X[i - lag];
        res[i] = Y[i] - fit[i];
      }
    }
    const double se = N > 0 ? std::sqrt(chi2 / N) : kNaN;
    const double aic = N * std::log10(se) + 4.0;
    line = plat::Format(
        "Fitting(iX=%d, iY=%d):Linear y(i)=%.4f(%.4f) + %.4f(%.4f) X(i-%d); R2=%.4f, SE=%.4f, "
        "AIC=%.2f",
        ix, iy, a, sa, b, sb, lag, r2, se, aic);
    m_Columns[F].SetAll(n, ymin, ymax, "*Fit", yunit, 0);
    m_Columns[F].m_nPlotStyle = 2;
  } else {
    static const int kParams[9] = {0, 0, 2, 3, 2, 2, 0, 0, 3};
    const int k = kParams[model];
    double p[6];
    switch (model) {
      case 2:
      case 4:
        p[0] = 0.1, p[1] = 1.0;
        break;
      case 3:
        p[0] = 0.1, p[1] = 1.0, p[2] = 0.0;
        break;
      case 5:
        p[0] = 0.1, p[1] = 0.1;
        break;
      default:
        p[0] = 1.0, p[1] = 0.0, p[2] = 0.0;
    }
    for (int j = 0; j < k; ++j) p[k + j] = kNaN;
    // The fixed offset of model 4 follows the abscissae in the fit's own copy.
    const double cval = model == 4 ? static_cast<double>(*c) : 0.0;
    std::vector<double> xs(X, X + n);
    xs.push_back(cval);
    nml_nlsq_fcn fcn = model == 2 || model == 3 ? KZ_ResPower
                       : model == 4             ? KZ_ResPowerFixedOffset
                       : model == 5             ? KZ_ResCorey
                                                : KZ_ResSine;
    if (KZ_Stati::NonlinFit(xs.data(), Y, n, fcn, p, k, nullptr, nullptr) < 0.0) {
      // A refused fit leaves only its start values: no fitted or residual column, no
      // curve, and a result line that says so.
      static const char* const kNames[9] = {"",      "", "Power", "Power_cus", "Power",
                                            "Corey", "", "",      "Sine"};
      if (model == 8) {
        KZ_FreeMatrix(m_ppMatrix);
        m_ppMatrix = nullptr;
        m_nMatrixColumns = m_nMatrixRows = 0;
      }
      m_nColumns = F;
      m_strHeader[pos] =
          plat::Format("Fitting(iX=%d, iY=%d):%s no fit found", ix, iy, kNames[model]);
      m_nHeaders = pos + 1;
      return 1;
    }
    double ybar = 0.0;
    for (int i = 0; i < n; ++i) ybar += Y[i];
    ybar = n > 0 ? ybar / n : 0.0;
    double ssr = 0.0, sst = 0.0;
    for (int i = 0; i < n; ++i) {
      fit[i] = PowerModel(model, p, X[i], cval);
      res[i] = Y[i] - fit[i];
      ssr += res[i] * res[i];
      sst += (Y[i] - ybar) * (Y[i] - ybar);
    }
    m_Columns[F].SetAll(n, ymin, ymax, model == 5 ? "*Fit:Krg(Corey)" : "*Fit", yunit, 0);
    m_Columns[F].m_nPlotStyle = 2;
    switch (model) {
      case 2:
        line = plat::Format("Fitting(iX=%d, iY=%d):Power y=%.4f * x^%.4f 95C(%.4f, %.4f)", ix, iy,
                            p[0], p[1], p[2], p[3]);
        break;
      case 3:
        line = plat::Format(
            "Fitting(iX=%d, iY=%d):Power_cus y=%.4f * (x-%.4f)^%.4f 95C(%.4f, %.4f, %.4f)", ix, iy,
            p[0], p[2], p[1], p[3], p[5], p[4]);
        break;
      case 4:
        line =
            plat::Format("Fitting(iX=%d, iY=%d):Power y=%.4f * (x-c(=%.4f))^%.4f 95C(%.4f, %.4f)",
                         ix, iy, p[0], cval, p[1], p[2], p[3]);
        break;
      case 5:
        line = plat::Format("Fitting(iX=%d, iY=%d):Corey Slr=%.4f(%.4f), Sgr=%.4f(%.4f)", ix, iy,
                            p[0] * p[0], p[2] * p[2], p[1] * p[1], p[3] * p[3]);
        break;
      default: {
        line = plat::Format(
            "Fitting(iX=%d, iY=%d): y= %.4f[%.4f] * sin(x + %.4f[%.4f]) + %.4f[%.4f] [95%%CI]", ix,
            iy, p[0], p[3], p[1], p[4], p[2], p[5]);
        KZ_FreeMatrix(m_ppMatrix);
        m_ppMatrix = KZ_AllocMatrix64(2, 500);
        m_nMatrixColumns = 500;
        m_nMatrixRows = 2;
        const double x0 = m_Columns[ix].m_dMin, x1 = m_Columns[ix].m_dMax;
        if (m_ppMatrix)
          for (int j = 0; j < 500; ++j) {
            const double xj = x0 + j * (x1 - x0) / 500;
            m_ppMatrix[0][j] = xj;
            m_ppMatrix[1][j] = p[0] * std::sin((xj + p[1]) * kDeg) + p[2];
          }
      }
    }
    const double r2 = 1.0 - ssr / sst;
    const double se = std::sqrt(ssr / n);
    const double aic = n * std::log10(se) + 2.0 * k;
    line += plat::Format("SE=%.6f, R2=%.2f, AIC=%.2f", se, r2, aic);
  }
  m_Columns[F + 1].SetAll(n, ymin, ymax, "*Fit_Err", yunit, 0);
  m_Columns[F + 1].m_nPlotStyle = 1;
  m_strHeader[pos] = line;
  m_nHeaders = pos + 1;
  return 1;
}
