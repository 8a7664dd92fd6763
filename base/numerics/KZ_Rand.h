// Random variables on the run time's 15-bit pseudo-random generator (0 .. 32767), which
// is process-wide: every seeding restarts its sequence, and two seedings within the same
// second give the same sequence.
#pragma once
#include <string>

class KZ_Rand {
 public:
  std::string m_strName;  // description of the distribution; empty here
  double m_fMean = 0.0;
  double m_fVariance = 0.0;

  KZ_Rand() = default;
  virtual ~KZ_Rand() = default;

  virtual double Pdf(double x);
  virtual double Cdf(double x);
  virtual double Entropy();
  virtual double Quantile05();
  virtual double Quantile95();
  virtual double AtZero(double x, double y);
  virtual double Unit(double a, double b, double c);
  // Draws n values; returns 1, or 0 when the distribution cannot draw (the base class).
  virtual int Fill(double out[], int n);
  // Draws nsamples values and compares their histogram over nbins bins from lo to hi with
  // the density. result: five caller-owned arrays of nbins doubles: bin centres, observed
  // frequencies, expected probabilities, cumulative observed, cumulative expected. Needs
  // nbins >= 2 and hi != lo (otherwise nothing is written).
  virtual void HistogramTest(double* const result[5], double lo, double hi, int nbins,
                             int nsamples);

  // Seeds the run-time generator with the current time in seconds, and passes the same
  // value to the statistics library's seed setter.
  static void Seed();
};

// Uniform distribution on [a, b).
class KZ_Rand_Uni : public KZ_Rand {
 public:
  double m_fA = 0.0;
  double m_fB = 1.0;

  // Stores the bounds, mean and variance and the name, and seeds as Seed does.
  KZ_Rand_Uni(double a, double b);

  double Pdf(double x) override;
  double Cdf(double x) override;
  double Entropy() override;
  double Quantile05() override;
  double Quantile95() override;
  double AtZero(double x, double y) override;
  double Unit(double a, double b, double c) override;
  int Fill(double out[], int n) override;
};

// a + (b - a) r / 32768 with r the generator's next number: in [a, b).
double KZ_RandUniform(double a, double b);
