#include "aecore/templates/TMCorrelation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using cd = std::complex<double>;

namespace {

// Complex product without the library's handling of infinities (a call per product).
inline cd Mul(cd a, cd b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

// ---------------------------------------------------------------- transforms

void TMRealFFT::Resize(int size) {
  if (size == m_n) return;
  m_n = size;
  m_half = size / 2;
  m_stage.clear();
  m_split.clear();
  m_rev.clear();
  m_work.assign(static_cast<std::size_t>(std::max(m_half, 1)), cd());
  if (size < 4) return;
  const double pi = std::numbers::pi;
  // Stage with half-length h keeps e^(-2 pi i j / 2h), j < h, at positions h - 1 + j.
  m_stage.assign(static_cast<std::size_t>(std::max(m_half - 1, 1)), cd());
  for (int h = 1; h < m_half; h <<= 1)
    for (int j = 0; j < h; ++j)
      m_stage[static_cast<std::size_t>(h - 1 + j)] = std::polar(1.0, -pi * j / h);
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
  // Plain real arithmetic (the library's complex product also handles infinities, which
  // costs a call per butterfly). The first two stages need no multiplications; later
  // stages read their twiddles from a table of their own, in order.
  double* d = reinterpret_cast<double*>(z);
  for (int s = 0; s + 1 < n; s += 2) {
    const double ar = d[2 * s], ai = d[2 * s + 1], br = d[2 * s + 2], bi = d[2 * s + 3];
    d[2 * s] = ar + br;
    d[2 * s + 1] = ai + bi;
    d[2 * s + 2] = ar - br;
    d[2 * s + 3] = ai - bi;
  }
  if (n >= 4) {
    // Twiddles 1 and -i (+i inverse).
    const double sg = inverse ? -1.0 : 1.0;
    for (int s = 0; s < n; s += 4) {
      double* p = d + 2 * s;
      const double ar = p[0], ai = p[1], br = p[4], bi = p[5];
      p[0] = ar + br;
      p[1] = ai + bi;
      p[4] = ar - br;
      p[5] = ai - bi;
      const double cr = p[2], ci = p[3];
      const double vr = sg * p[7], vi = -sg * p[6];  // (p6 + i p7) * (-i sg)
      p[2] = cr + vr;
      p[3] = ci + vi;
      p[6] = cr - vr;
      p[7] = ci - vi;
    }
  }
  const double sign = inverse ? -1.0 : 1.0;
  for (int len = 8; len <= n; len <<= 1) {
    const int h = len / 2;
    const double* tw = reinterpret_cast<const double*>(m_stage.data() + (h - 1));
    for (int s = 0; s < n; s += len) {
      double* lo = d + 2 * s;
      double* hi = d + 2 * (s + h);
      for (int j = 0; j < h; ++j) {
        const double wr = tw[2 * j], wi = sign * tw[2 * j + 1];
        const double vr = hi[2 * j] * wr - hi[2 * j + 1] * wi;
        const double vi = hi[2 * j] * wi + hi[2 * j + 1] * wr;
        const double ur = lo[2 * j], ui = lo[2 * j + 1];
        lo[2 * j] = ur + vr;
        lo[2 * j + 1] = ui + vi;
        hi[2 * j] = ur - vr;
        hi[2 * j + 1] = ui - vi;
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
    const cd e = 0.5 * (zk + zn), o = Mul(cd(0, -0.5), zk - zn);
    const cd wo = Mul(m_split[static_cast<std::size_t>(k)], o);
    X[k] = e + wo;
    X[n - k] = std::conj(e - wo);
  }
}

void TMRealFFT::Inverse(cd* X, double* x) {
  const int n = m_half;
  cd* z = m_work.data();
  for (int k = 0; k < n; ++k) {
    const cd xk = X[k], xn = std::conj(X[n - k]);
    const cd e = 0.5 * (xk + xn);
    const cd o = Mul(0.5 * (xk - xn), std::conj(m_split[static_cast<std::size_t>(k)]));
    z[k] = e + cd(-o.imag(), o.real());
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
  // The block size that transforms the record's lags at the least cost (blocks of at
  // most 2^14 samples, each giving f - w + 1 lags).
  int f = 64;
  while (f < 2 * m_nWin) f <<= 1;
  double bestCost = -1.0;
  int best = f;
  const long long lags = std::max(longest - m_nWin + 1, 1);
  for (int g = f; g <= std::max(f, 1 << 14); g <<= 1) {
    const long long blocks = (lags + (g - m_nWin)) / (g - m_nWin + 1);
    const double cost = static_cast<double>(blocks) * g * std::log2(static_cast<double>(g));
    if (bestCost < 0.0 || cost < bestCost) {
      bestCost = cost;
      best = g;
    }
  }
  f = best;
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
    c.inv[0].clear();
    c.inv[1].clear();
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

const std::vector<double>& TMCorrelator::InverseNorms(Channel& c, bool mean) {
  std::vector<double>& v = c.inv[mean ? 1 : 0];
  const int w = m_nWin;
  if (!v.empty() || c.n < w) return v;
  v.resize(static_cast<std::size_t>(c.n - w + 1));
  for (int at = 0; at + w <= c.n; ++at) {
    double saa = WindowSum(c.s2h, c.s2l, at, w);
    if (mean) {
      const double s1 = WindowSum(c.s1h, c.s1l, at, w);
      const double s2 = saa;
      saa = s2 - s1 * s1 / w;
      // A window that is constant to within rounding carries no waveform.
      if (saa <= 1e-12 * s2) saa = 0.0;
    }
    v[static_cast<std::size_t>(at)] = saa > 0.0 ? 1.0 / std::sqrt(saa) : 0.0;
  }
  return v;
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
  const std::vector<double>& norms = InverseNorms(c, b.m_bMean);
  int t = 0;
  while (t < count) {
    const int m = offset + t;
    const int k = m / m_nStep;
    const int first = m - k * m_nStep;
    const int take = std::min(count - t, m_nStep - first);
    const std::vector<cd>& a = Block(c, k);
    {
      const double* x = reinterpret_cast<const double*>(a.data());
      const double* y = reinterpret_cast<const double*>(b.m_spec.data());
      double* z = reinterpret_cast<double*>(m_prod.data());
      for (int j = 0; j <= half; ++j) {  // x * conj(y)
        z[2 * j] = x[2 * j] * y[2 * j] + x[2 * j + 1] * y[2 * j + 1];
        z[2 * j + 1] = x[2 * j + 1] * y[2 * j] - x[2 * j] * y[2 * j + 1];
      }
    }
    m_fft.Inverse(m_prod.data(), m_buf.data());
    const double invB = 1.0 / std::sqrt(b.m_dEnergy);
    const double* inv = norms.data() + m;
    for (int i = 0; i < take; ++i)
      cc[t + i] = static_cast<float>(m_buf[static_cast<std::size_t>(first + i)] * inv[i] * invB);
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
