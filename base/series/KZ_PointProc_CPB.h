// Time-to-failure (critical point) fits of a cumulative acoustic-emission curve E(t) that
// accelerates towards failure at tc: a power law (AMR), a real log-periodic law (RGS) and
// a complex-form log-periodic law (NGS) in normalised coordinates, and the NGS law fitted
// to the rate dE/dt/E with tc free, alone or repeated on noisy rates (Monte-Carlo).
#pragma once
#include <string>

class KZ_MultiVarObj;

class KZ_PointProc_CPB {
 public:
  double* m_pBuf1 = nullptr;  // owned; not used by the operations here
  double* m_pBuf2 = nullptr;
  double* m_pBuf3 = nullptr;
  std::string m_strTimeUnit;  // unit of the "Time" column of the Monte-Carlo tables
  std::string m_strText2;
  std::string m_strText3;
  // The rate fits of the last FitNGS, FitRGS or FitLogPeriodic and how many of them failed
  // (a failed fit is left out of the samples, the curves and the statistics).
  int m_nFits = 0;
  int m_nFailedFits = 0;

  KZ_PointProc_CPB() = default;
  virtual ~KZ_PointProc_CPB();
  KZ_PointProc_CPB(const KZ_PointProc_CPB&) = delete;
  KZ_PointProc_CPB& operator=(const KZ_PointProc_CPB&) = delete;

  // Normalises T and E in place ((tc - T)/(tc - t0), (E - E0)/(Ec - E0)), resamples E on
  // the range text's values and fits the three laws; returns out's column count (8).
  int NormalizedCurves(double T[], double E[], int n, double t0, double tc, double E0, double Ec,
                       const char* rangeText, KZ_MultiVarObj* out);
  // The three laws fitted to x in column 0 and y in column 1; the column count (8), or 0
  // when out has fewer than 8 columns.
  int FitCurves(KZ_MultiVarObj* out);
  // The rate fit before Tk and the extrapolated curve; the column count (6), or 0 with out
  // untouched when n < 2.
  int FitNGS(double T[], double E[], int n, double Tk, KZ_MultiVarObj* out);
  // nMC rate fits with uniform noise of +-err (err < 0: 5 % of the median rate) on the
  // rate, with every sample's extrapolated curve; the samples go into out's second table.
  // The column count, or 0 with out untouched when n < 2.
  int FitRGS(double T[], double E[], int n, double Tk, KZ_MultiVarObj* out, int nMC, float err);
  // The Monte-Carlo samples alone; the samples table's column count (7), or 0 when n < 2.
  int FitLogPeriodic(double T[], double E[], int n, double Tk, KZ_MultiVarObj* samples, int nMC,
                     float err);

  // Whether enough rate fits of the last operation converged to stand for a prediction:
  // the one fit of FitNGS, or at least two and at least half of the Monte-Carlo fits.
  bool EnoughFits() const;
};
