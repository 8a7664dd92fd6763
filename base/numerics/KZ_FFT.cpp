#include "base/numerics/KZ_FFT.h"

#include <cmath>
#include <utility>
#include <vector>

namespace {

inline double F32(double v) { return static_cast<double>(static_cast<float>(v)); }

// The bit reversal indexes beyond the array for other lengths.
inline bool PowerOfTwo(int n) { return n >= 1 && (n & (n - 1)) == 0; }

}  // namespace

void KZ_FFT(double data[], int nn, int isign) {
  if (!data || nn < 2 || !PowerOfTwo(nn)) return;
  // Positions are counted from 1 as in the classical statement: position p is data[p - 1].
  auto d = [data](long p) -> double& { return data[p - 1]; };
  const long n = 2L * nn;
  long j = 1;
  for (long i = 1; i < n; i += 2) {
    if (j > i) {
      std::swap(d(j), d(i));
      std::swap(d(j + 1), d(i + 1));
    }
    long m = nn;
    while (m >= 2 && j > m) {
      j -= m;
      m >>= 1;
    }
    j += m;
  }
  long mmax = 2;
  while (n > mmax) {
    const long istep = mmax << 1;
    // One sine pair per stage; the twiddles follow by the recurrence.
    const double theta = 6.28318530717959 / static_cast<double>(mmax * isign);
    double wtemp = std::sin(0.5 * theta);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    double wr = 1.0;
    double wi = 0.0;
    for (long m = 1; m < mmax; m += 2) {
      for (long i = m; i <= n; i += istep) {
        const long jj = i + mmax;
        const double tempr = wr * d(jj) - wi * d(jj + 1);
        const double tempi = wr * d(jj + 1) + wi * d(jj);
        d(jj) = d(i) - tempr;
        d(jj + 1) = d(i + 1) - tempi;
        d(i) += tempr;
        d(i + 1) += tempi;
      }
      wtemp = wr;
      wr = wr * wpr - wi * wpi + wr;
      wi = wi * wpr + wtemp * wpi + wi;
    }
    mmax = istep;
  }
}

void KZ_RealFFT(double data[], int n, int isign) {
  if (!data || !PowerOfTwo(n)) return;
  auto d = [data](long p) -> double& { return data[p - 1]; };
  double theta = 3.141592653589793 / static_cast<double>(n);
  const double c1 = 0.5;
  double c2;
  if (isign == 1) {
    c2 = -0.5;
    KZ_FFT(data, n, 1);
  } else {
    c2 = 0.5;
    theta = -theta;
  }
  double wtemp = std::sin(0.5 * theta);
  const double wpr = -2.0 * wtemp * wtemp;
  const double wpi = std::sin(theta);
  double wr = 1.0 + wpr;
  double wi = wpi;
  const long n2p3 = 2L * n + 3;
  for (long i = 2; i <= n / 2; ++i) {
    const long i1 = i + i - 1;
    const long i2 = i1 + 1;
    const long i3 = n2p3 - i2;
    const long i4 = i3 + 1;
    // The half-sums are single precision.
    const double h1r = F32(c1 * (d(i1) + d(i3)));
    const double h1i = F32(c1 * (d(i2) - d(i4)));
    const double h2r = F32(-c2 * (d(i2) + d(i4)));
    const double h2i = F32(c2 * (d(i1) - d(i3)));
    d(i1) = h1r + wr * h2r - wi * h2i;
    d(i2) = h1i + wr * h2i + wi * h2r;
    d(i3) = h1r - wr * h2r + wi * h2i;
    d(i4) = -h1i + wr * h2i + wi * h2r;
    wtemp = wr;
    wr = wr * wpr - wi * wpi + wr;
    wi = wi * wpr + wtemp * wpi + wi;
  }
  const double h1r = F32(d(1));
  if (isign == 1) {
    d(1) = h1r + d(2);
    d(2) = h1r - d(2);
  } else {
    d(1) = c1 * (h1r + d(2));
    d(2) = c1 * (h1r - d(2));
    KZ_FFT(data, n, -1);
  }
}

void KZ_TwoFFT(const double data1[], const double data2[], double fft1[], double fft2[], int n) {
  if (!data1 || !data2 || !fft1 || !fft2 || !PowerOfTwo(n)) return;
  for (int j = 0; j < n; ++j) {
    fft1[2 * j] = data1[j];
    fft1[2 * j + 1] = data2[j];
  }
  KZ_FFT(fft1, n, 1);
  auto f1 = [fft1](long p) -> double& { return fft1[p - 1]; };
  auto f2 = [fft2](long p) -> double& { return fft2[p - 1]; };
  const long nn2 = 2L * n + 2;
  const long nn3 = nn2 + 1;
  f2(1) = f1(2);
  f1(2) = f2(2) = 0.0;
  for (long j = 3; j <= n + 1; j += 2) {
    const double rep = F32(0.5 * (f1(j) + f1(nn2 - j)));
    const double rem = F32(0.5 * (f1(j) - f1(nn2 - j)));
    const double aip = F32(0.5 * (f1(j + 1) + f1(nn3 - j)));
    const double aim = F32(0.5 * (f1(j + 1) - f1(nn3 - j)));
    f1(j) = rep;
    f1(j + 1) = aim;
    f1(nn2 - j) = rep;
    f1(nn3 - j) = -aim;
    f2(j) = aip;
    f2(j + 1) = -rem;
    f2(nn2 - j) = aip;
    f2(nn3 - j) = rem;
  }
}

void KZ_Correl(const double data1[], const double data2[], int n, double ans[]) {
  if (!data1 || !data2 || !ans || n < 1) return;
  int m = 2;
  if (n > 2)
    while (m < n) m <<= 1;
  if (m > n) m >>= 1;
  if (m < 2) {
    ans[0] = data1[0] * data2[0];
    return;
  }
  // The packed spectrum reaches position m + 1, so it is built in a buffer of our own
  // rather than in the caller's array, which may hold only n values.
  std::vector<double> f(2 * static_cast<std::size_t>(m)), g(2 * static_cast<std::size_t>(m));
  std::vector<double> a(static_cast<std::size_t>(m) + 2);
  KZ_TwoFFT(data1, data2, f.data(), g.data(), m);
  const double half = m / 2;
  for (int k = 0; k <= m / 2; ++k) {
    const double fr = f[2 * k], fi = f[2 * k + 1];
    const double gr = g[2 * k], gi = g[2 * k + 1];
    a[2 * k] = (fr * gr + fi * gi) / half;
    a[2 * k + 1] = (fi * gr - fr * gi) / half;
  }
  a[1] = a[m];
  KZ_RealFFT(a.data(), m / 2, -1);
  for (int k = 0; k < m; ++k) ans[k] = a[k];
  for (int k = m; k < n; ++k) ans[k] = 0.0;
}
