// Autoregressive models of a series: least-squares fits of every order with Akaike's
// criterion, Yule-Walker fits, the AR spectrum, and the AIC onset pickers of the P-wave
// picker. All series are KZ_Ary_ (1-based). A pick is the zero-based index of the last
// sample of the noise segment: a split after 1-based sample s is reported as s - 1.
#pragma once
#include "base/numerics/KZ_TSana.h"

class KZ_TSanaAR : public KZ_TSana {
 public:
  KZ_Ary_* m_pCoefNoise;   // a[1..p] of the noise model of the last pick
  KZ_Ary_* m_pCoefSignal;  // a[1..p] of the signal model of the last two-model pick

  KZ_TSanaAR();
  ~KZ_TSanaAR() override;
  KZ_TSanaAR(const KZ_TSanaAR&) = delete;
  KZ_TSanaAR& operator=(const KZ_TSanaAR&) = delete;

  void MakeRows(const KZ_Ary_* x, int N0, int L, int K, int maxRows, int append,
                KZ_Ary2D_* X) override;

  // dst[1..n] = src[1..n].
  static void CopyCoefficients(const KZ_Ary_* src, KZ_Ary_* dst, int n);
  // sqrt(sum of e[k+1..k+w]) / sqrt(sum of e[k-w..k-1]); 0 unless k > w and k + w <= n;
  // 9999 when the ratio reaches 9999 (a zero sum before k included).
  static double EnergyRatio(const KZ_Ary_* e, int n, int k, int w);
  // One order step of the Levinson-Durbin recursion on the lag sums r[0..k].
  static void LevinsonStep(KZ_Ary_* a, int k, double* v, const double r[]);
  // e[1..p] = 0, e[t] = squared one-step prediction error of x[t] for t = p+1..n.
  static void SquaredErrors(const KZ_Ary_* x, int n, const KZ_Ary_* a, int p, KZ_Ary_* e);
  // Mean over t = p..len-1 of (y[t] - sum_j c[j] y[t-1-j])^2 (0-based y and c, p < len).
  static void MeanSquaredError(const double* y, int len, const double* c, int p, double* out);
  // Yule-Walker fit of x[1..n] with the order (at most min(2 sqrt n, 10)) of least AIC;
  // *p = 0 when the series has no energy. a receives a[1..p], *var the prediction error.
  static void FitYuleWalker(const KZ_Ary_* x, int n, KZ_Ary_* a, int* p, double* var);
  // Power spectrum of the ARMA model (a[1..p], b[1..q], innovation variance sig2) at
  // w = pi i/nf, i = 0..nf, divided by nf; optionally log10 and shifted so that its top
  // (or -10 when all lie below) is 0.
  static void Spectrum(const KZ_Ary_* a, int p, const KZ_Ary_* b, int q, double sig2, double* out,
                       int nf, bool normalise, bool log10);

  // Least-squares AR fits of orders 0..K (K at most 50, and at most (n-1)/2 so that every
  // fit keeps more rows than unknowns) to x[1..n] with the common targets x[K+1..n]:
  // the order of least AIC into *p, its coefficients into coef[1..p] and its residual
  // variance into *sig2. A series of fewer than 2 samples gives order 0 and variance 0.
  void FitMinAIC(const KZ_Ary_* x, int n, KZ_Ary_* coef, int* p, double* sig2, int K);
  // Onset after a noise segment of m samples by one noise model; 0 with a pick, 1 without.
  int PickOnsetAIC(KZ_Ary_* x, int n, int m, int* pick, double* snr, KZ_Ary_* e, double* aic);
  // Two picks: the noise model alone (pick, snr, none) and noise and signal models
  // together (pick2, snr2, none2); none and none2 stay 1 without a pick. w and e are
  // work series of n samples; w ends with the noise model's squared errors.
  void AutoPickOnset(KZ_Ary_* x, int n, int m, int* pick, double* snr, int* none, int* pick2,
                     double* snr2, int* none2, KZ_Ary_* w, KZ_Ary_* e, double* aic);
  // Energy ratio of the noise model's prediction errors after and before index k (20
  // samples each side) after removing the mean of x[1..n] (x is changed). 0 when the
  // window does not fit the series or both sides are silent.
  void PickQualityRatio(KZ_Ary_* x, int n, int m, int k, double* ratio, KZ_Ary_* e);
};
