// Sliding normalised correlation of short template windows with the channels of a scanned
// record: coefficient t correlates the w template samples with the w scanned samples from
// offset + t on. The cross sums come from block transforms of the scanned channels (made
// once per record and reused by every template), the scanned energies and means from
// compensated running sums, so a coefficient costs a few operations per lag instead of a
// sum over the window.
#pragma once
#include <complex>
#include <cstdint>
#include <vector>

// Real-input transforms of one power-of-two size with precomputed twiddles.
class TMRealFFT {
 public:
  explicit TMRealFFT(int size = 0) { Resize(size); }
  void Resize(int size);
  int Size() const { return m_n; }
  // size real samples -> size / 2 + 1 complex values (sign exp(-2 pi i j k / size)).
  void Forward(const double* x, std::complex<double>* X);
  // The inverse of Forward, scaled by 1 / size; X is used as scratch.
  void Inverse(std::complex<double>* X, double* x);

 private:
  void Complex(std::complex<double>* z, bool inverse) const;
  int m_n = 0;                                // real size
  int m_half = 0;                             // complex size
  std::vector<std::complex<double>> m_stage;  // twiddles of each stage, in order
  std::vector<std::complex<double>> m_split;  // e^(-2 pi i k / n), k <= half
  std::vector<int> m_rev;
  std::vector<std::complex<double>> m_work;
};

// A template window ready for the sliding correlation: its spectrum (for the correlator's
// block size) and its energy about zero or about its mean.
struct TMWindowSpectrum {
  int m_nBlock = 0;  // block size the spectrum was made for
  int m_nWin = 0;
  bool m_bMean = false;
  double m_dEnergy = 0.0;
  std::vector<std::complex<double>> m_spec;
};

class TMCorrelator {
 public:
  // Prepares the channels of a scanned record for windows of w samples. Samples are read
  // through the pointers until the next SetRecord, so the record must stay unchanged.
  void SetRecord(const std::vector<const float*>& channels, const std::vector<int>& counts, int w);
  int BlockSize() const { return m_fft.Size(); }
  int Window() const { return m_nWin; }

  // The spectrum of w template samples for the current block size.
  void PrepareWindow(const float* b, bool meanRemoval, TMWindowSpectrum& out);

  // cc[t] for t < count, the scanned window of channel ch starting at offset + t. Returns
  // false, writing nothing, when a window would reach outside the channel. Windows without
  // energy (or a template without energy) give 0.
  bool Correlate(int ch, const TMWindowSpectrum& b, int offset, int count, float* cc);

 private:
  struct Channel {
    const float* a = nullptr;
    int n = 0;
    std::vector<double> s1h, s1l, s2h, s2l;                 // compensated prefix sums of a and a^2
    std::vector<std::vector<std::complex<double>>> blocks;  // made on first use
    // 1 / sqrt(window energy) per window start (0 without energy), about zero and about
    // the window mean; the same for every template, so made once per record.
    std::vector<double> inv[2];
  };
  const std::vector<std::complex<double>>& Block(Channel& c, int k);
  const std::vector<double>& InverseNorms(Channel& c, bool mean);
  int m_nWin = 0;
  int m_nStep = 0;  // valid lags per block
  TMRealFFT m_fft;
  std::vector<Channel> m_ch;
  std::vector<double> m_buf;
  std::vector<std::complex<double>> m_prod;
};

// The normalised correlation of two windows summed directly in double precision, about
// zero or about the windows' means; 0 when either window has no energy.
double TMDirectCorrelation(const float* a, const float* b, int w, bool meanRemoval);
