#include "base/numerics/KZ_Rand.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "numerics/nml.h"
#include "platform/CrtRand.h"
#include "platform/Strings.h"

double KZ_Rand::Pdf(double) { return 0.0; }
double KZ_Rand::Cdf(double) { return 0.0; }
double KZ_Rand::Entropy() { return 0.0; }
double KZ_Rand::Quantile05() { return 0.0; }
double KZ_Rand::Quantile95() { return 0.0; }
double KZ_Rand::AtZero(double, double) { return 0.0; }
double KZ_Rand::Unit(double, double, double) { return 0.0; }
int KZ_Rand::Fill(double[], int) { return 0; }

void KZ_Rand::Seed() {
  const std::time_t now = std::time(nullptr);
  plat::CrtSrand(static_cast<unsigned int>(now));
  // The statistics library gets the same time value; one beyond the int range (after
  // 2038) is passed as the largest int, which that library treats as out of range.
  nmls_random_seed_set(now > INT_MAX ? INT_MAX : static_cast<int>(now));
}

void KZ_Rand::HistogramTest(double* const result[5], double lo, double hi, int nbins,
                            int nsamples) {
  if (!result || nbins < 2 || hi == lo) return;
  double* centre = result[0];
  double* observed = result[1];
  double* expected = result[2];
  double* cumObserved = result[3];
  double* cumExpected = result[4];
  std::vector<double> samples(static_cast<std::size_t>(nsamples > 0 ? nsamples : 0));
  if (nsamples > 0) Fill(samples.data(), nsamples);
  const double step = (hi - lo) / (nbins - 1);
  for (int k = 0; k < nbins; ++k) {
    centre[k] = lo + k * step;
    observed[k] = 0.0;
    expected[k] = Pdf(centre[k]) * step;
  }
  for (double s : samples) {
    const double k = std::floor((s - lo) * (nbins - 1) / (hi - lo) + 0.5);
    if (k >= 0 && k < nbins) observed[static_cast<int>(k)] += 1.0;
  }
  double sum = 0.0;
  for (int k = 0; k < nbins; ++k) sum += observed[k];
  for (int k = 0; k < nbins; ++k) observed[k] /= sum;
  cumObserved[0] = cumExpected[0] = 0.0;
  for (int k = 1; k < nbins; ++k) {
    cumObserved[k] = cumObserved[k - 1] + observed[k];
    cumExpected[k] = cumExpected[k - 1] + expected[k];
  }
}

KZ_Rand_Uni::KZ_Rand_Uni(double a, double b) : m_fA(a), m_fB(b) {
  m_fMean = (a + b) / 2.0;
  m_fVariance = (b - a) * (b - a) / 12.0;
  m_strName = plat::Format("Uniform Rnd: [%5.2f, %5.2f], (mean=%.4f, variance=%.4f)", a, b, m_fMean,
                           m_fVariance);
  Seed();
}

double KZ_Rand_Uni::Pdf(double x) { return (m_fA <= x && x <= m_fB) ? 1.0 / (m_fB - m_fA) : 0.0; }

double KZ_Rand_Uni::Cdf(double x) {
  if (x < m_fA) return 0.0;
  if (x > m_fB) return 1.0;
  return (x - m_fA) / (m_fB - m_fA);
}

double KZ_Rand_Uni::Entropy() { return std::log(m_fB - m_fA); }
double KZ_Rand_Uni::Quantile05() { return m_fA + 0.05 * (m_fB - m_fA); }
double KZ_Rand_Uni::Quantile95() { return m_fA + 0.95 * (m_fB - m_fA); }
double KZ_Rand_Uni::AtZero(double x, double) { return std::fabs(x) < 1e-10 ? 1.0 : 0.0; }
double KZ_Rand_Uni::Unit(double, double, double) { return 1.0; }

int KZ_Rand_Uni::Fill(double out[], int n) {
  if (!out) return 0;
  for (int i = 0; i < n; ++i) out[i] = m_fA + (m_fB - m_fA) * plat::CrtRand() / 32768.0;
  return 1;
}

double KZ_RandUniform(double a, double b) { return a + (b - a) * plat::CrtRand() / 32768.0; }
