#include "aecore/templates/TMCorrelation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using cd = std::complex<double>;

// ---------------------------------------------------------------- transforms

void TMRealFFT::Resize(int size) {
  if (size == m_n) return;
  m_n = size;
  m_half = size / 2;
  m_tw.clear();
  m_split.clear();
  m_rev.clear();
  m_work.assign(static_cast<std::size_t>(std::max(m_half, 1)), cd());
  if (size < 4) return;
  const double pi = std::numbers::pi;
  for (int k = 0; k < m_half / 2; ++k) m_tw.push_back(std::polar(1.0, -2.0 * pi * k / m_half));
  for (int k = 0; k <= m_half; ++k) m_split.push_back(std::polar(1.0, -2.0 * pi * k / m_n));
  int bits = 0;
  while ((1 << bits) < m_half) ++bits;
  m_rev.resize(static_cast<std::size_t>(m_half));
  for (int i = 0; i < m_half; ++i) {
    int r = 0;
    for (int b = 0; b < bits; ++b)
      if (i & (1 << b)) r |= 1 << (bits - 1 - b);
    m_rev[static_cast<std::size_t>(i)] = r;
  }
}

void TMRealFFT::Complex(cd* z, bool inverse) const {
  const int n = m_half;
  for (int i = 0; i < n; ++i) {
    const int r = m_rev[static_cast<std::size_t>(i)];
    if (r > i) std::swap(z[i], z[r]);
  }
  for (int len = 2; len <= n; len <<= 1) {
    const int h = len / 2, stride = n / len;
    for (int s = 0; s < n; s += len) {
      for (int j = 0; j < h; ++j) {
        cd w = m_tw[static_cast<std::size_t>(j * stride)];
        if (inverse) w = std::conj(w);
        const cd u = z[s + j];
        const cd v = z[s + j + h] * w;
        z[s + j] = u + v;
        z[s + j + h] = u - v;
      }
    }
  }
}

void TMRealFFT::Forward(const double* x, cd* X) {
  const int n = m_half;
  cd* z = m_work.data();
  for (int i = 0; i < n; ++i) z[i] = cd(x[2 * i], x[2 * i + 1]);
  Complex(z, false);
  // Even and odd samples' spectra from the packed transform, then joined.
  for (int k = 0; k <= n / 2; ++k) {
    const cd zk = z[k % n], zn = std::conj(z[(n - k) % n]);
    const cd e = 0.5 * (zk + zn), o = cd(0, -0.5) * (zk - zn);
    X[k] = e + m_split[static_cast<std::size_t>(k)] * o;
    X[n - k] = std::conj(e - m_split[static_cast<std::size_t>(k)] * o);
  }
}

void TMRealFFT::Inverse(cd* X, double* x) {
  const int n = m_half;
  cd* z = m_work.data();
  for (int k = 0; k < n; ++k) {
    const cd xk = X[k], xn = std::conj(X[n - k]);
    const cd e = 0.5 * (xk + xn);
    const cd o = 0.5 * (xk - xn) * std::conj(m_split[static_cast<std::size_t>(k)]);
    z[k] = e + cd(0, 1) * o;
  }
  Complex(z, true);
  const double scale = 1.0 / n;
  for (int i = 0; i < n; ++i) {
    x[2 * i] = z[i].real() * scale;
    x[2 * i + 1] = z[i].imag() * scale;
  }
}

// ---------------------------------------------------------------- sliding correlation

namespace {

// Compensated prefix sums: window sums keep full precision however long the channel is,
// and a window of zeros sums to exactly zero.
void PrefixSums(const float* a, int n, bool squares, std::vector<double>& hi,
                std::vector<double>& lo) {
  hi.assign(static_cast<std::size_t>(n) + 1, 0.0);
  lo.assign(static_cast<std::size_t>(n) + 1, 0.0);
  double s = 0.0, c = 0.0;
  for (int i = 0; i < n; ++i) {
    const double x = squares ? static_cast<double>(a[i]) * a[i] : a[i];
    const double t = s + x;
    const double bp = t - s;
    c += (s - (t - bp)) + (x - bp);
    s = t;
    hi[static_cast<std::size_t>(i) + 1] = s;
    lo[static_cast<std::size_t>(i) + 1] = c;
  }
}

inline double WindowSum(const std::vector<double>& hi, const std::vector<double>& lo, int from,
                        int w) {
  const std::size_t a = static_cast<std::size_t>(from), b = a + static_cast<std::size_t>(w);
  return (hi[b] - hi[a]) + (lo[b] - lo[a]);
}

}  // namespace

void TMCorrelator::SetRecord(const std::vector<const float*>& channels,
                             const std::vector<int>& counts, int w) {
  m_nWin = std::max(w, 1);
  int longest = 0;
  for (int n : counts) longest = std::max(longest, n);
  // One block covers a record of up to 2^14 samples; longer ones go in blocks of 2^14.
  int f = 64;
  while (f < 2 * m_nWin || (f < longest && f < (1 << 14))) f <<= 1;
  m_fft.Resize(f);
  m_nStep = f - m_nWin + 1;
  m_ch.resize(channels.size());
  for (std::size_t i = 0; i < channels.size(); ++i) {
    Channel& c = m_ch[i];
    c.a = channels[i];
    c.n = counts[i];
    PrefixSums(c.a, c.n, false, c.s1h, c.s1l);
    PrefixSums(c.a, c.n, true, c.s2h, c.s2l);
    c.blocks.clear();
  }
  m_buf.assign(static_cast<std::size_t>(f), 0.0);
  m_prod.assign(static_cast<std::size_t>(f / 2 + 1), cd());
}

void TMCorrelator::PrepareWindow(const float* b, bool meanRemoval, TMWindowSpectrum& out) {
  const int f = m_fft.Size(), w = m_nWin;
  double mean = 0.0;
  if (meanRemoval) {
    for (int i = 0; i < w; ++i) mean += b[i];
    mean /= w;
  }
  std::fill(m_buf.begin(), m_buf.end(), 0.0);
  double e = 0.0;
  for (int i = 0; i < w; ++i) {
    m_buf[static_cast<std::size_t>(i)] = b[i] - mean;
    e += m_buf[static_cast<std::size_t>(i)] * m_buf[static_cast<std::size_t>(i)];
  }
  out.m_nBlock = f;
  out.m_nWin = w;
  out.m_bMean = meanRemoval;
  out.m_dEnergy = e;
  out.m_spec.resize(static_cast<std::size_t>(f / 2 + 1));
  m_fft.Forward(m_buf.data(), out.m_spec.data());
}

const std::vector<cd>& TMCorrelator::Block(Channel& c, int k) {
  if (c.blocks.size() <= static_cast<std::size_t>(k))
    c.blocks.resize(static_cast<std::size_t>(k) + 1);
  std::vector<cd>& s = c.blocks[static_cast<std::size_t>(k)];
  if (s.empty()) {
    const int f = m_fft.Size();
    const long long m0 = static_cast<long long>(k) * m_nStep;
    std::fill(m_buf.begin(), m_buf.end(), 0.0);
    for (int i = 0; i < f && m0 + i < c.n; ++i) m_buf[static_cast<std::size_t>(i)] = c.a[m0 + i];
    s.resize(static_cast<std::size_t>(f / 2 + 1));
    m_fft.Forward(m_buf.data(), s.data());
  }
  return s;
}

bool TMCorrelator::Correlate(int ch, const TMWindowSpectrum& b, int offset, int count, float* cc) {
  if (ch < 0 || static_cast<std::size_t>(ch) >= m_ch.size() || count < 0 || offset < 0)
    return false;
  Channel& c = m_ch[static_cast<std::size_t>(ch)];
  const int w = m_nWin;
  if (b.m_nWin != w || b.m_nBlock != m_fft.Size()) return false;
  if (static_cast<long long>(offset) + count - 1 + w > c.n) return false;
  if (count == 0) return true;
  if (b.m_dEnergy <= 0.0) {
    std::fill(cc, cc + count, 0.0f);
    return true;
  }
  const int half = m_fft.Size() / 2;
  int t = 0;
  while (t < count) {
    const int m = offset + t;
    const int k = m / m_nStep;
    const int first = m - k * m_nStep;
    const int take = std::min(count - t, m_nStep - first);
    const std::vector<cd>& a = Block(c, k);
    for (int j = 0; j <= half; ++j)
      m_prod[static_cast<std::size_t>(j)] =
          a[static_cast<std::size_t>(j)] * std::conj(b.m_spec[static_cast<std::size_t>(j)]);
    m_fft.Inverse(m_prod.data(), m_buf.data());
    for (int i = 0; i < take; ++i) {
      const int at = m + i;
      const double sab = m_buf[static_cast<std::size_t>(first + i)];
      double saa = WindowSum(c.s2h, c.s2l, at, w);
      if (b.m_bMean) {
        const double s1 = WindowSum(c.s1h, c.s1l, at, w);
        const double s2 = saa;
        saa = s2 - s1 * s1 / w;
        // A window that is constant to within rounding carries no waveform.
        if (saa <= 1e-12 * s2) saa = 0.0;
      }
      cc[t + i] = saa > 0.0 ? static_cast<float>(sab / std::sqrt(saa * b.m_dEnergy)) : 0.0f;
    }
    t += take;
  }
  return true;
}

double TMDirectCorrelation(const float* a, const float* b, int w, bool meanRemoval) {
  double ma = 0.0, mb = 0.0;
  if (meanRemoval && w > 0) {
    for (int i = 0; i < w; ++i) {
      ma += a[i];
      mb += b[i];
    }
    ma /= w;
    mb /= w;
  }
  double sab = 0.0, saa = 0.0, sbb = 0.0;
  for (int i = 0; i < w; ++i) {
    const double x = a[i] - ma, y = b[i] - mb;
    sab += x * y;
    saa += x * x;
    sbb += y * y;
  }
  if (saa <= 0.0 || sbb <= 0.0) return 0.0;
  return sab / std::sqrt(saa * sbb);
}
