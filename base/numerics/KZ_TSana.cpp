#include "base/numerics/KZ_TSana.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <vector>

KZ_Ary_::KZ_Ary_(int n) : m_nCount(std::max(n, 0) + 1), m_pData(new double[m_nCount]()) {}

KZ_Ary_::~KZ_Ary_() { delete[] m_pData; }

KZ_Ary2D_::KZ_Ary2D_(int R, int Q) : m_nRows(R + 1), m_nCols(Q + 1), m_ppCol(new KZ_Ary_*[Q + 1]) {
  for (int j = 0; j <= Q; ++j) m_ppCol[j] = new KZ_Ary_(R + 1);
}

KZ_Ary2D_::~KZ_Ary2D_() {
  for (int j = 0; j < m_nCols; ++j) delete m_ppCol[j];
  delete[] m_ppCol;
}

void KZ_TSana::MakeRows(const KZ_Ary_*, int, int, int, int, int, KZ_Ary2D_*) {}

void KZ_TSana::RemoveMean(KZ_Ary_* x, int n, int m) {
  if (m < 1) return;
  double* v = x->m_pData;
  double s = 0.0;
  for (int i = 1; i <= m; ++i) s += v[i];
  const double mean = s / m;
  for (int i = 1; i <= n; ++i) v[i] -= mean;
}

double KZ_TSana::Median(double* w, int n) {
  if (n <= 1) return n == 1 ? w[1] : 0.0;
  if (n <= 16) {
    for (int i = 2; i <= n; ++i) {
      const double v = w[i];
      int j = i - 1;
      while (j >= 1 && w[j] > v) {
        w[j + 1] = w[j];
        --j;
      }
      w[j + 1] = v;
    }
  } else {
    std::sort(w + 1, w + n + 1);
  }
  return w[n / 2 + 1];
}

void KZ_TSana::SortIndexed(float a[], int n, int idx[]) {
  constexpr int kSmall = 7;
  constexpr int kStack = 50;
  int stack[kStack];
  int top = 0;
  int jran = 0;
  int l = 0;
  int r = n - 1;
  for (;;) {
    if (r - l + 1 < kSmall) {
      for (int j = l + 1; j <= r; ++j) {
        const float v = a[j];
        const int iv = idx[j];
        int i = j - 1;
        while (i >= l && a[i] > v) {
          a[i + 1] = a[i];
          idx[i + 1] = idx[i];
          --i;
        }
        a[i + 1] = v;
        idx[i + 1] = iv;
      }
      if (top == 0) return;
      r = stack[--top];
      l = stack[--top];
      continue;
    }
    // Partition about a pseudo-randomly chosen element, moved to the front first.
    jran = (jran * 211 + 1663) % 7875;
    const int q = l + static_cast<int>((static_cast<long long>(r - l + 1) * jran) / 7875);
    const float pv = a[q];
    const int pi = idx[q];
    a[q] = a[l];
    idx[q] = idx[l];
    int i = l;
    int j = r;
    for (;;) {
      while (j > i && pv < a[j]) --j;
      if (j <= i) break;
      a[i] = a[j];
      idx[i] = idx[j];
      ++i;
      while (i < j && a[i] < pv) ++i;
      if (j <= i) {
        i = j;
        break;
      }
      a[j] = a[i];
      idx[j] = idx[i];
      --j;
    }
    a[i] = pv;
    idx[i] = pi;
    // The larger part waits on the stack; when the stack is full the sort stops.
    if (top + 2 > kStack) return;
    if (r - i >= i - l) {
      stack[top++] = i + 1;
      stack[top++] = r;
      r = i - 1;
    } else {
      stack[top++] = l;
      stack[top++] = i - 1;
      l = i + 1;
    }
  }
}

namespace {

// Process-wide state of the uniform and Gaussian generators.
struct DeviateState {
  std::mutex lock;
  bool started = false;
  long ix1 = 0, ix2 = 0, ix3 = 0;
  double table[98] = {};
  bool haveKept = false;
  float kept = 0.0f;
};

DeviateState& Deviates() {
  static DeviateState s;
  return s;
}

constexpr long kM1 = 259200, kA1 = 7141, kC1 = 54773;
constexpr long kM2 = 134456, kA2 = 8121, kC2 = 28411;
constexpr long kM3 = 243000, kA3 = 4561, kC3 = 51349;

float UniformLocked(DeviateState& s, int* seed) {
  if (*seed < 0 || !s.started) {
    s.started = true;
    s.ix1 = (kC1 - *seed) % kM1;
    if (s.ix1 < 0) s.ix1 += kM1;
    s.ix1 = (kA1 * s.ix1 + kC1) % kM1;
    s.ix2 = s.ix1 % kM2;
    s.ix1 = (kA1 * s.ix1 + kC1) % kM1;
    s.ix3 = s.ix1 % kM3;
    for (int j = 1; j <= 97; ++j) {
      s.ix1 = (kA1 * s.ix1 + kC1) % kM1;
      s.ix2 = (kA2 * s.ix2 + kC2) % kM2;
      s.table[j] = (s.ix1 + s.ix2 / static_cast<double>(kM2)) / static_cast<double>(kM1);
    }
    *seed = 1;
  }
  s.ix1 = (kA1 * s.ix1 + kC1) % kM1;
  s.ix2 = (kA2 * s.ix2 + kC2) % kM2;
  s.ix3 = (kA3 * s.ix3 + kC3) % kM3;
  const int j = 1 + static_cast<int>((97 * s.ix3) / kM3);
  const double v = s.table[j];
  s.table[j] = (s.ix1 + s.ix2 / static_cast<double>(kM2)) / static_cast<double>(kM1);
  return static_cast<float>(v);
}

}  // namespace

float KZ_TSana::UniformDeviate(int* seed) {
  DeviateState& s = Deviates();
  std::lock_guard<std::mutex> g(s.lock);
  return UniformLocked(s, seed);
}

float KZ_TSana::GaussDeviate(int* seed) {
  DeviateState& s = Deviates();
  std::lock_guard<std::mutex> g(s.lock);
  if (s.haveKept) {
    s.haveKept = false;
    return s.kept;
  }
  double u1, u2, r;
  do {
    u1 = 2.0 * UniformLocked(s, seed) - 1.0;
    u2 = 2.0 * UniformLocked(s, seed) - 1.0;
    r = u1 * u1 + u2 * u2;
  } while (r >= 1.0 || r == 0.0);
  const double f = std::sqrt(-2.0 * std::log(r) / r);
  s.kept = static_cast<float>(u1 * f);
  s.haveKept = true;
  return static_cast<float>(u2 * f);
}

void KZ_TSana::FourierCosSin(const double g[], int N, int M, double re[], double im[]) {
  const double pi = 3.14159265358979323846;
  for (int i = 0; i < M; ++i) {
    const double w = M > 1 ? pi * i / (M - 1) : 0.0;
    const double c = std::cos(w);
    double t1 = 0.0, t2 = 0.0;
    for (int J = N - 1; J >= 1; --J) {
      const double t0 = 2.0 * c * t1 - t2 + g[J];
      t2 = t1;
      t1 = t0;
    }
    re[i] = c * t1 - t2 + (N > 0 ? g[0] : 0.0);
    im[i] = std::sin(w) * t1;
  }
}

namespace {

// One Householder step on column c over the rows listed by [first, last] plus the
// diagonal element, shared by the plain and the appending reduction.
void HouseholderColumns(KZ_Ary2D_* X, double* d, int rowFirst, int rows, int K1, double tol) {
  for (int c = 1; c <= K1; ++c) {
    double* col = X->m_ppCol[c]->m_pData;
    const int lo = std::max(rowFirst, c + 1);
    double h = col[c] * col[c];
    d[c] = col[c];
    for (int i = lo; i <= rows; ++i) {
      d[i] = col[i];
      h += d[i] * d[i];
    }
    if (h <= tol) {
      col[c] = 0.0;
      continue;
    }
    double g = std::sqrt(h);
    if (col[c] >= 0.0) g = -g;
    d[c] = col[c] - g;
    h -= col[c] * g;
    for (int i = lo; i <= rows; ++i) col[i] = 0.0;
    for (int j = c + 1; j <= K1; ++j) {
      double* cj = X->m_ppCol[j]->m_pData;
      double s = d[c] * cj[c];
      for (int i = lo; i <= rows; ++i) s += d[i] * cj[i];
      s /= h;
      cj[c] -= d[c] * s;
      for (int i = lo; i <= rows; ++i) cj[i] -= d[i] * s;
    }
    col[c] = g;
  }
}

// The least AIC over the orders 0..K from the last column target[1..K+1] of a reduced X
// of N rows. The AIC of order m is
// N ln(2 pi SD_m / N) + N + 2(m + 1); its minimum is found on SD_m exp(2m/N), which
// needs one logarithm instead of K + 1.
double LeastAICOf(const double* target, int K, int N) {
  const double f = std::exp(2.0 / N);
  double w = 1.0;
  for (int m = 0; m < K; ++m) w *= f;
  double SD = 0.0;
  double best = std::numeric_limits<double>::infinity();
  for (int m = K; m >= 0; --m) {
    SD += target[m + 1] * target[m + 1];
    best = std::min(best, SD * w);
    w /= f;
  }
  return N * std::log(6.283185 * best / N) + N + 2.0;
}

// The triangular factor of a running AR regression, held densely while rows are appended
// one at a time: R[i][j] is X(i, j) for i, j = 1..K+1.
class RunningFactor {
 public:
  RunningFactor(const KZ_Ary2D_* X, int K) : K1_(K + 1) {
    for (int i = 1; i <= K1_; ++i)
      for (int j = 1; j <= K1_; ++j) R_[i][j] = X->at(i, j);
  }
  // The Householder reduction of the triangle and one appended row (row K+2 of X).
  void Append(const KZ_Ary2D_* X) {
    double r[kMaxCols];
    for (int j = 1; j <= K1_; ++j) r[j] = X->at(K1_ + 1, j);
    for (int c = 1; c <= K1_; ++c) {
      const double xc = R_[c][c], rc = r[c];
      const double h = xc * xc + rc * rc;
      if (h <= 1e-30) {
        R_[c][c] = 0.0;
        continue;
      }
      double g = std::sqrt(h);
      if (xc >= 0.0) g = -g;
      const double dc = xc - g;
      const double inv = 1.0 / (h - xc * g);
      for (int j = c + 1; j <= K1_; ++j) {
        const double s = (dc * R_[c][j] + rc * r[j]) * inv;
        R_[c][j] -= dc * s;
        r[j] -= rc * s;
      }
      R_[c][c] = g;
    }
  }
  double LeastAIC(int N) const {
    double t[kMaxCols];
    for (int i = 1; i <= K1_; ++i) t[i] = R_[i][K1_];
    return LeastAICOf(t, K1_ - 1, N);
  }
  // Back into X: the triangle, and a cleared appended row.
  void Store(KZ_Ary2D_* X) const {
    for (int i = 1; i <= K1_; ++i)
      for (int j = 1; j <= K1_; ++j) X->at(i, j) = i <= j ? R_[i][j] : 0.0;
    for (int j = 1; j <= K1_; ++j) X->at(K1_ + 1, j) = 0.0;
  }

 private:
  static constexpr int kMaxCols = KZ_TSana::kMaxOrder + 2;
  int K1_;
  double R_[kMaxCols][kMaxCols];
};

}  // namespace

void KZ_TSana::Householder(KZ_Ary2D_* X, KZ_Ary_* d, int, int rows, int K1) {
  HouseholderColumns(X, d->m_pData, 1, rows, K1, 1e-60);
}

void KZ_TSana::HouseholderAppend(KZ_Ary2D_* X, KZ_Ary_* d, int, int rows, int K1) {
  HouseholderColumns(X, d->m_pData, K1 + 1, rows, K1, 1e-30);
}

void KZ_TSana::ResidualAIC(const KZ_Ary2D_* X, int N, int K, int, double sig2[], double aic[]) {
  double SD = 0.0;
  for (int m = K; m >= 0; --m) {
    const double v = X->at(m + 1, K + 1);
    SD += v * v;
    sig2[m] = SD / N;
    aic[m] = N * std::log(6.283185 * sig2[m]) + N + 2.0 * (m + 1);
  }
}

void KZ_TSana::SolveCoefficients(const KZ_Ary2D_* X, int m, int K, int, double a[]) {
  // A zero diagonal (a column without variance) contributes a zero coefficient rather
  // than an infinite one.
  for (int i = m; i >= 1; --i) {
    double s = X->at(i, K + 1);
    for (int j = i + 1; j <= m; ++j) s -= a[j] * X->at(i, j);
    const double diag = X->at(i, i);
    a[i] = diag != 0.0 ? s / diag : 0.0;
  }
}

void KZ_TSana::Reduce(const KZ_Ary_* x, KZ_Ary_* d, int NMK, int N0, int K, int maxRows,
                      KZ_Ary2D_* X) {
  const int L = std::min(NMK, maxRows);
  MakeRows(x, N0, L, K, maxRows, 0, X);
  Householder(X, d, maxRows, L, K + 1);
  int done = L;
  while (done < NMK) {
    const int block = std::min(NMK - done, maxRows - (K + 1));
    MakeRows(x, N0 + done, block, K, maxRows, 1, X);
    HouseholderAppend(X, d, maxRows, K + 1 + block, K + 1);
    done += block;
  }
}

void KZ_TSana::Regress(const KZ_Ary2D_* X, int K, int N, int maxRows, KZ_Ary2D_* A, double sig2[],
                       double aic[], int* best) {
  ResidualAIC(X, N, K, maxRows, sig2, aic);
  int b = 0;
  for (int m = 1; m <= K; ++m)
    if (aic[m] < aic[b]) b = m;
  *best = b;
  for (int m = 1; m <= K; ++m) SolveCoefficients(X, m, K, maxRows, A->m_ppCol[m]->m_pData);
}

void KZ_TSana::MedianFilter(KZ_Ary_* x, int n, int k) {
  if (k <= 0 || k > 50 || n <= k) return;
  double* v = x->m_pData;
  // Unfiltered copy with mirrored ends: ext[k + t - 1] is x[t] for t = 1 - k .. n + k.
  std::vector<double> ext(static_cast<std::size_t>(n + 2 * k));
  for (int t = 1; t <= n; ++t) ext[k + t - 1] = v[t];
  for (int j = 1; j <= k; ++j) {
    ext[k - j] = v[1 + j];
    ext[k + n - 1 + j] = v[n - j];
  }
  const int len = 2 * k + 1;
  double buf[102];
  for (int t = 1; t <= n; ++t) {
    for (int i = 0; i < len; ++i) buf[i + 1] = ext[t - 1 + i];
    v[t] = Median(buf, len);
  }
}

void KZ_TSana::ForwardAICSeries(KZ_Ary2D_* X, const KZ_Ary_* x, int a, int b, int count, int, int K,
                                int maxRows, KZ_Ary_* out, int) {
  KZ_Ary_ d(maxRows + 1);
  int N = b - a - K;
  Reduce(x, &d, N, a, K, maxRows, X);
  RunningFactor R(X, K);
  for (int j = 1; j <= count; ++j) {
    (*out)[j] = R.LeastAIC(N);
    if (j == count) break;
    MakeRows(x, a + N, 1, K, maxRows, 1, X);
    R.Append(X);
    ++N;
  }
  R.Store(X);
}

void KZ_TSana::BackwardAICSeries(KZ_Ary2D_* X, const KZ_Ary_* x, int c, int d, int count, int,
                                 int K, int maxRows, KZ_Ary_* out, int) {
  KZ_Ary_ dd(maxRows + 1);
  int N = d - c;
  int first = c;  // earliest target in the fit
  Reduce(x, &dd, N, first - K - 1, K, maxRows, X);
  RunningFactor R(X, K);
  for (int j = count; j >= 1; --j) {
    (*out)[j] = R.LeastAIC(N);
    if (j == 1) break;
    --first;
    MakeRows(x, first - K - 1, 1, K, maxRows, 1, X);
    R.Append(X);
    ++N;
  }
  R.Store(X);
}

int KZ_TSana::PickChangePointAIC(const KZ_Ary_* x, int n, int K, int a, int b, int c, int d,
                                 double* aic, int step) {
  const int count = c - b;
  if (step < 1) step = 1;
  if (count <= 0 || a < 0 || d > n || n >= x->m_nCount) return -1;
  // Every fit needs at least as many rows as unknowns (K + 1), and the lags of the
  // earliest signal target x[b + 1] reach back to x[b + 1 - K].
  K = std::min({std::max(K, 0), kMaxOrder, (b - a - 1) / 2, d - c - 1, b});
  if (K < 0 || b - a - K < K + 1 || d - c < K + 1) return -1;
  KZ_Ary2D_ X(kMaxRows, kMaxOrder + 1);
  KZ_Ary_ outF(count), outB(count);
  ForwardAICSeries(&X, x, a, b, count, 1, K, kMaxRows, &outF, step);
  BackwardAICSeries(&X, x, c, d, count, 1, K, kMaxRows, &outB, step);
  double best = 1e30;
  int res = 0;
  for (int i = 0; i < count / step; ++i) {
    const int j = i * step + 1;
    aic[i] = outF[j] + outB[j];
    if (aic[i] < best) {
      best = aic[i];
      res = i;
    }
  }
  return res;
}
