#include "base/numerics/KZ_TSanaAR.h"

#include <algorithm>
#include <cmath>
#include <vector>

KZ_TSanaAR::KZ_TSanaAR() : m_pCoefNoise(new KZ_Ary_(200)), m_pCoefSignal(new KZ_Ary_(200)) {}

KZ_TSanaAR::~KZ_TSanaAR() {
  delete m_pCoefNoise;
  delete m_pCoefSignal;
}

void KZ_TSanaAR::MakeRows(const KZ_Ary_* x, int N0, int L, int K, int, int append, KZ_Ary2D_* X) {
  const double* v = x->m_pData;
  const int r0 = append == 1 ? K + 1 : 0;
  double* target = X->m_ppCol[K + 1]->m_pData;
  for (int I = 1; I <= L; ++I) {
    const int t = N0 + K + I;
    target[r0 + I] = v[t];
    for (int j = 1; j <= K; ++j) X->m_ppCol[j]->m_pData[r0 + I] = v[t - j];
  }
}

void KZ_TSanaAR::CopyCoefficients(const KZ_Ary_* src, KZ_Ary_* dst, int n) {
  for (int i = 1; i <= n; ++i) dst->m_pData[i] = src->m_pData[i];
}

double KZ_TSanaAR::EnergyRatio(const KZ_Ary_* e, int n, int k, int w) {
  if (!(k > w && k + w <= n)) return 0.0;
  double B = 0.0, A = 0.0;
  for (int l = 1; l <= w; ++l) {
    B += e->m_pData[k - l];
    A += e->m_pData[k + l];
  }
  const double sa = std::sqrt(std::fabs(A));
  const double sb = std::sqrt(std::fabs(B));
  if (sa >= 9999.0 * sb) return 9999.0;
  return sa / sb;
}

void KZ_TSanaAR::LevinsonStep(KZ_Ary_* a, int k, double* v, const double r[]) {
  double* c = a->m_pData;
  double s = r[k];
  for (int j = 1; j < k; ++j) s -= c[j] * r[k - j];
  const double phi = s / *v;
  *v *= 1.0 - phi * phi;
  double old[64];
  for (int j = 1; j < k; ++j) old[j] = c[j];
  for (int j = 1; j < k; ++j) c[j] = old[j] - phi * old[k - j];
  c[k] = phi;
}

void KZ_TSanaAR::SquaredErrors(const KZ_Ary_* x, int n, const KZ_Ary_* a, int p, KZ_Ary_* e) {
  const double* v = x->m_pData;
  const double* c = a->m_pData;
  double* out = e->m_pData;
  for (int t = 1; t <= std::min(p, n); ++t) out[t] = 0.0;
  for (int t = p + 1; t <= n; ++t) {
    double s = v[t];
    for (int j = 1; j <= p; ++j) s -= c[j] * v[t - j];
    out[t] = s * s;
  }
}

void KZ_TSanaAR::MeanSquaredError(const double* y, int len, const double* c, int p, double* out) {
  double sum = 0.0;
  for (int t = p; t < len; ++t) {
    double s = y[t];
    for (int j = 0; j < p; ++j) s -= c[j] * y[t - 1 - j];
    sum += s * s;
  }
  *out = len > p ? sum / (len - p) : 0.0;
}

void KZ_TSanaAR::FitYuleWalker(const KZ_Ary_* x, int n, KZ_Ary_* a, int* p, double* var) {
  *p = 0;
  *var = 0.0;
  if (n < 1) return;
  const int M = static_cast<int>(std::min(2.0f * std::sqrt(static_cast<float>(n)), 10.0f));
  const double* v = x->m_pData;
  double r[11] = {};
  for (int k = 0; k <= M; ++k) {
    double s = 0.0;
    for (int t = M + 1; t <= n; ++t) s += v[t] * v[t - k];
    r[k] = s;
  }
  KZ_Ary_ work(M);
  double vk = r[0];
  double best = 1e10;
  for (int k = 1; k <= M && vk > 0.0; ++k) {
    LevinsonStep(&work, k, &vk, r);
    double mse = 0.0;
    MeanSquaredError(v + (M - k + 1), n - M + k, work.m_pData + 1, k, &mse);
    const double aic = (n - M) * std::log(mse) + 2.0 * k;
    if (k == 1 || aic < best) {
      best = aic;
      *p = k;
      *var = mse;
      CopyCoefficients(&work, a, k);
    }
  }
}

void KZ_TSanaAR::Spectrum(const KZ_Ary_* a, int p, const KZ_Ary_* b, int q, double sig2,
                          double* out, int nf, bool normalise, bool log10) {
  if (nf < 1) return;
  std::vector<double> g(static_cast<std::size_t>(std::max(p, q) + 1));
  std::vector<double> re(static_cast<std::size_t>(nf + 1)), im(static_cast<std::size_t>(nf + 1));
  g[0] = 1.0;
  for (int k = 1; k <= p; ++k) g[k] = -a->m_pData[k];
  FourierCosSin(g.data(), p + 1, nf + 1, re.data(), im.data());
  for (int i = 0; i <= nf; ++i) out[i] = sig2 / (re[i] * re[i] + im[i] * im[i]);
  if (q > 0 && b) {
    g[0] = 1.0;
    for (int k = 1; k <= q; ++k) g[k] = -b->m_pData[k];
    FourierCosSin(g.data(), q + 1, nf + 1, re.data(), im.data());
    for (int i = 0; i <= nf; ++i) out[i] *= re[i] * re[i] + im[i] * im[i];
  }
  for (int i = 0; i <= nf; ++i) out[i] /= nf;
  if (log10)
    for (int i = 0; i <= nf; ++i) out[i] = std::log10(out[i] + 1e-25);
  if (normalise) {
    double top = -10.0;
    for (int i = 0; i <= nf; ++i) top = std::max(top, out[i]);
    for (int i = 0; i <= nf; ++i) out[i] -= top;
  }
}

void KZ_TSanaAR::FitMinAIC(const KZ_Ary_* x, int n, KZ_Ary_* coef, int* p, double* sig2, int K) {
  *p = 0;
  *sig2 = 0.0;
  if (n < 2 || n >= x->m_nCount) return;
  // Fewer rows than unknowns would leave the triangular factor partly undefined.
  K = std::min({std::max(K, 0), kMaxOrder, (n - 1) / 2});
  KZ_Ary2D_ X(kMaxRows, kMaxOrder + 1);
  KZ_Ary2D_ A(kMaxOrder, kMaxOrder);
  KZ_Ary_ d(kMaxRows + 1);
  Reduce(x, &d, n - K, 0, K, kMaxRows, &X);
  double s2[kMaxOrder + 1], aic[kMaxOrder + 1];
  int best = 0;
  Regress(&X, K, n - K, kMaxRows, &A, s2, aic, &best);
  *p = best;
  for (int i = 1; i <= best && i < coef->m_nCount; ++i) coef->m_pData[i] = A.at(i, best);
  *sig2 = s2[best];
}

int KZ_TSanaAR::PickOnsetAIC(KZ_Ary_* x, int n, int m, int* pick, double* snr, KZ_Ary_* e,
                             double* aic) {
  *pick = 0;
  *snr = 0.0;
  if (m < 1 || m >= n || n >= x->m_nCount || n >= e->m_nCount) return 1;
  int p = 0;
  double var = 0.0;
  FitYuleWalker(x, m, m_pCoefNoise, &p, &var);
  if (p == 0) return 1;
  SquaredErrors(x, n, m_pCoefNoise, p, e);
  const double* err = e->m_pData;
  double T = 0.0;
  for (int k = m + 1; k <= n - m; ++k) T += err[k];
  if (T <= 0.0) return 1;
  const double A0 = (n - m) * std::log(T / (n - m)) - 2.0;
  double least = 1e10;
  double S = 0.0;
  for (int k = m + 1; k <= n; ++k) {
    const int i = k - m;
    const int j = n - k;
    S += err[k];
    const double R = T - S;
    aic[i - 1] = A0;
    if (S <= 0.0) continue;
    if (R <= 0.0) break;
    const double v = i * std::log(S / i) + j * std::log(R / j);
    aic[i - 1] = v;
    if (v > least + 20.0) break;
    if (v < least) {
      least = v;
      *pick = k - 1;
    }
  }
  if (!(least < A0)) {
    *pick = 0;
    return 1;
  }
  *snr = EnergyRatio(e, n, *pick, 10);
  return 0;
}

void KZ_TSanaAR::AutoPickOnset(KZ_Ary_* x, int n, int m, int* pick, double* snr, int* none,
                               int* pick2, double* snr2, int* none2, KZ_Ary_* w, KZ_Ary_* e,
                               double* aic) {
  *pick = 0;
  *snr = 0.0;
  *none = 1;
  *pick2 = 0;
  *snr2 = 0.0;
  *none2 = 1;
  const int L = n - 2 * m;
  if (m < 1 || L < 1 || n >= x->m_nCount || n >= w->m_nCount || n >= e->m_nCount) return;
  double* xv = x->m_pData;
  double* wv = w->m_pData;
  double* ev = e->m_pData;

  // Stage 1: the noise model from the first m samples, the signal model from the last m
  // samples read backward.
  int p1 = 0, p2 = 0;
  double var = 0.0;
  FitYuleWalker(x, m, m_pCoefNoise, &p1, &var);
  if (p1 == 0 || p1 >= L) return;
  double VN = 0.0;
  MeanSquaredError(xv + m + 1, L, m_pCoefNoise->m_pData + 1, p1, &VN);
  const double AN = L * std::log(VN) + 2.0 * p1 - 2.0;
  for (int i = 1; i <= n; ++i) wv[i] = xv[n + 1 - i];
  FitYuleWalker(w, m, m_pCoefSignal, &p2, &var);
  if (p2 == 0 || p2 >= L) return;
  double VS = 0.0;
  MeanSquaredError(wv + m + 1, L, m_pCoefSignal->m_pData + 1, p2, &VS);
  const double AS = L * std::log(VS) + 2.0 * p2 - 2.0;
  SquaredErrors(w, n - m, m_pCoefSignal, p2, e);
  SquaredErrors(x, n, m_pCoefNoise, p1, w);

  double total = 0.0;
  for (int k = m + 1; k <= n - m; ++k) total += ev[k];
  double least = 1e10;
  double N = 0.0;
  double after = 0.0;  // signal-model errors of the samples m+1 .. k, taken off the total
  for (int k = m + 1; k <= n - m - 1; ++k) {
    const int i = k - m;
    const int j = n - m - k;
    N += wv[k];
    after += ev[n - m - i + 1];
    const double R = total - after;
    aic[i - 1] = AN + AS;
    if (N <= 0.0) continue;
    if (R <= 0.0) break;
    const double v = i * std::log(N / i) + 2.0 * p1 + j * std::log(R / j) + 2.0 * p2;
    aic[i - 1] = v;
    if (v < least) {
      least = v;
      *pick2 = k - 1;
    }
  }
  if (least < AN && least < AS) {
    *none2 = 0;
    *snr2 = EnergyRatio(w, n, *pick2, 10);
  } else {
    *pick2 = 0;
  }

  // Stage 2: the noise model alone over the whole series.
  double T = 0.0;
  for (int k = m + 1; k <= n - m; ++k) T += wv[k];
  if (T <= 0.0) return;
  const double A2 = (n - m) * std::log(T / (n - m)) - 2.0;
  least = 1e10;
  N = 0.0;
  for (int k = m + 1; k <= n; ++k) {
    const int i = k - m;
    const int j = n - k;
    N += wv[k];
    const double R = T - N;
    if (N <= 0.0) continue;
    if (R <= 0.0) break;
    const double v = i * std::log(N / i) + j * std::log(R / j);
    aic[i - 1] = v;
    if (v < least) {
      least = v;
      *pick = k - 1;
    }
  }
  if (least < A2) {
    *none = 0;
    *snr = EnergyRatio(w, n, *pick, 10);
  } else {
    *pick = 0;
  }
}

void KZ_TSanaAR::PickQualityRatio(KZ_Ary_* x, int n, int m, int k, double* ratio, KZ_Ary_* e) {
  *ratio = 0.0;
  if (n < 1 || m > n || n >= x->m_nCount) return;
  RemoveMean(x, n, n);
  int p = 0;
  double var = 0.0;
  KZ_Ary_ a(10);
  FitYuleWalker(x, m, &a, &p, &var);
  if (k - 20 - p < 1 || k + 20 > n || k + 20 >= e->m_nCount) return;
  const double* v = x->m_pData;
  double* err = e->m_pData;
  for (int t = k - 20; t <= k + 20; ++t) {
    double s = v[t];
    for (int j = 1; j <= p; ++j) s -= a.m_pData[j] * v[t - j];
    err[t] = s;
  }
  double B = 0.0, A = 0.0;
  for (int t = k - 20; t <= k - 1; ++t) B += err[t] * err[t];
  for (int t = k + 1; t <= k + 20; ++t) A += err[t] * err[t];
  if (A > 1e6 * B)
    *ratio = 1000.0;
  else if (B > 0.0)
    *ratio = std::sqrt(std::fabs(A / B));
}
