// Recursive Butterworth filter designed from edge frequencies and deviation values, kept
// as a cascade of second-order sections y = x + b1 x[-1] + b2 x[-2] - a1 y[-1] - a2 y[-2]
// with one overall gain, with its power and phase response at 1024 frequencies.
//
// Frequencies are fractions of the sampling frequency (cycles per sample). A deviation
// value d at an edge with warped frequency t = tan(pi f) means (t / tc)^n = d for the
// low-pass (the transformed quantity for the other types); the smaller of the two values
// belongs to the pass band, the larger to the stop band; 0 stands for 0.5 and 5.0.
#pragma once

class KZ_IIRFilter {
 public:
  static constexpr int kMaxSections = 64;

  float m_fPar[6] = {0, 0, 0, 0, 0, 0};  // p0 .. p5 as last given to Design
  int m_nState = -1;
  int m_nType = 0;                // 0 low-pass, 1 high-pass, 2 band-pass, 3 band-stop
  double* m_pSections = nullptr;  // kMaxSections x (b1, b2, a1, a2)
  double* m_pPower = nullptr;     // squared magnitude at f = (m + 1) 0.5 / 1024
  double* m_pPhase = nullptr;     // phase in radians at the same frequencies
  double m_fGain = 0.0;
  int m_nSections = 0;  // 0 while there is no valid design
  int m_nOrder = 0;
  int m_nResponse = 1024;

  KZ_IIRFilter() = default;
  ~KZ_IIRFilter();
  KZ_IIRFilter(const KZ_IIRFilter&) = delete;
  KZ_IIRFilter& operator=(const KZ_IIRFilter&) = delete;

  // Low-pass uses p2, p3; high-pass p0, p1; band-pass and band-stop p1, p2 (the band) and
  // p3 (an edge outside it); all use the deviations p4, p5. Returns the section count, or
  // 0 for a type outside 0..3, edges at 0, equal or at or above half the sampling
  // frequency, a third edge inside the band or on its edges, or an order beyond the
  // section array (low- and high-pass 128, band-pass and band-stop 64).
  int Design(int type, float p0, float p1, float p2, float p3, float p4, float p5);

  // Filters n samples of in into out, forward in time. Returns 1, or 0 without touching
  // out when there is no valid design.
  int Filter(const float* in, float* out, int n) const;

 private:
  bool DesignLowHigh(bool high);
  bool DesignBand(bool stop);
  void ComputeResponse();
  void AddSection(double b1, double b2, double a1, double a2);
  static void RunSection(const double* x, double* y, int n, const double* coef, int direction);
};
