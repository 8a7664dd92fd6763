// Time-series toolbox: 1-based series arrays, autoregressive least squares by Householder
// reduction in blocks of at most 200 rows with Akaike's criterion over every order, the
// change-point pick of two such fits, running median, Fourier sums, indexed sort and two
// random deviates. KZ_TSanaAR (KZ_TSanaAR.h) adds the Yule-Walker fits and the onset
// pickers.
#pragma once

// A series of n doubles indexed 1..n. Element 0 exists but is not part of the series.
class KZ_Ary_ {
 public:
  int m_nCount;     // n + 1
  double* m_pData;  // n + 1 doubles, zeroed

  explicit KZ_Ary_(int n);
  virtual ~KZ_Ary_();
  KZ_Ary_(const KZ_Ary_&) = delete;
  KZ_Ary_& operator=(const KZ_Ary_&) = delete;

  double& operator[](int i) { return m_pData[i]; }
  const double& operator[](int i) const { return m_pData[i]; }
};

// A matrix stored by columns: column j (0..Q) is a KZ_Ary_ of rows 0..R+1.
class KZ_Ary2D_ {
 public:
  int m_nRows;        // R + 1
  int m_nCols;        // Q + 1
  KZ_Ary_** m_ppCol;  // Q + 1 columns

  KZ_Ary2D_(int R, int Q);
  virtual ~KZ_Ary2D_();
  KZ_Ary2D_(const KZ_Ary2D_&) = delete;
  KZ_Ary2D_& operator=(const KZ_Ary2D_&) = delete;

  // Element (row i, column j).
  double& at(int i, int j) { return m_ppCol[j]->m_pData[i]; }
  double at(int i, int j) const { return m_ppCol[j]->m_pData[i]; }
};

class KZ_TSana {
 public:
  // Rows of the regression matrices and the largest AR order they hold.
  static constexpr int kMaxRows = 200;
  static constexpr int kMaxOrder = 50;

  KZ_TSana() = default;
  virtual ~KZ_TSana() = default;

  // Writes L regression rows into X: row I holds the target x[N0 + K + I] in column K+1
  // and the lags x[N0 + K + I - j] in columns j = 1..K; rows 1..L, or K+2..K+1+L when
  // append is 1. Nothing in the base class.
  virtual void MakeRows(const KZ_Ary_* x, int N0, int L, int K, int maxRows, int append,
                        KZ_Ary2D_* X);

  // Subtracts the mean of x[1..m] from x[1..n]; nothing when m < 1.
  static void RemoveMean(KZ_Ary_* x, int n, int m);
  // Sorts w[1..n] in place and returns w[n/2 + 1]; for n = 1 returns w[1] unsorted.
  static double Median(double* w, int n);
  // Ascending quicksort of a[0..n-1] moving idx[0..n-1] along.
  static void SortIndexed(float a[], int n, int idx[]);
  // Uniform deviate in (0, 1); a negative seed, or the first call, restarts the generators
  // and sets *seed to 1. The state is process-wide.
  static float UniformDeviate(int* seed);
  // Standard normal deviate (polar method over UniformDeviate; every second one is kept).
  static float GaussDeviate(int* seed);
  // re[i], im[i] = sum over J of g[J] cos(J w), g[J] sin(J w) for w = pi i/(M-1),
  // i = 0..M-1 (0-based arrays, J = 0..N-1).
  static void FourierCosSin(const double g[], int N, int M, double re[], double im[]);

  // Householder reduction of rows 1..rows of columns 1..K1 of X to upper-triangular form
  // (d is scratch of at least rows + 1 doubles). Append: rows 1..K1 are already
  // triangular, only the rows K1+1..rows are new.
  static void Householder(KZ_Ary2D_* X, KZ_Ary_* d, int maxRows, int rows, int K1);
  static void HouseholderAppend(KZ_Ary2D_* X, KZ_Ary_* d, int maxRows, int rows, int K1);
  // From a reduced X of N rows: residual variance sig2[m] and AIC aic[m] for m = 0..K.
  static void ResidualAIC(const KZ_Ary2D_* X, int N, int K, int maxRows, double sig2[],
                          double aic[]);
  // a[1..m], the coefficients of order m, by back substitution.
  static void SolveCoefficients(const KZ_Ary2D_* X, int m, int K, int maxRows, double a[]);

  // Builds and triangularises the regression of NMK rows starting at N0 in blocks of at
  // most maxRows rows. Needs NMK >= K + 1.
  void Reduce(const KZ_Ary_* x, KZ_Ary_* d, int NMK, int N0, int K, int maxRows, KZ_Ary2D_* X);
  // Residual statistics of every order, the order of least AIC (ties keep the lower one)
  // and the coefficients of every order 1..K into column m of A (A(i, m) = a[i]).
  static void Regress(const KZ_Ary2D_* X, int K, int N, int maxRows, KZ_Ary2D_* A, double sig2[],
                      double aic[], int* best);
  // Running median of 2k+1 samples with mirrored ends, in place. k = 0, k > 50 or n <= k
  // leave x as it is.
  static void MedianFilter(KZ_Ary_* x, int n, int k);

  // Least AIC of the noise model of the targets up to x[b+j-1] into out[j], j = 1..count
  // (rows from x[a+K+1..b] on, one row appended per step).
  void ForwardAICSeries(KZ_Ary2D_* X, const KZ_Ary_* x, int a, int b, int count, int unused, int K,
                        int maxRows, KZ_Ary_* out, int step);
  // Least AIC of the signal model of the targets x[c-count+j..d-1] into out[j],
  // j = count..1 (rows of x[c..d-1] first, one earlier target added per step).
  void BackwardAICSeries(KZ_Ary2D_* X, const KZ_Ary_* x, int c, int d, int count, int unused, int K,
                         int maxRows, KZ_Ary_* out, int step);
  // Change point between the noise section x[a..b] and the signal section x[c..d]: fills
  // aic[0..(c-b)/step - 1] with the sums of the two models' least AIC and returns the
  // first index of the least sum (the split lies after 1-based sample b + i). The order
  // is capped so that every fit keeps more rows than unknowns; with no room for a fit
  // (c <= b, or too few samples) nothing is written and the result is -1.
  int PickChangePointAIC(const KZ_Ary_* x, int n, int K, int a, int b, int c, int d, double* aic,
                         int step);
};
