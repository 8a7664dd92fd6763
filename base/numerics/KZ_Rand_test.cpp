#include "base/numerics/KZ_Rand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <vector>

#include "numerics/nml.h"
#include "platform/CrtRand.h"

TEST(RandUniform, DrawsFromTheRuntimeGeneratorInHalfOpenInterval) {
  KZ_Rand_Uni u(-0.01, 0.01);
  plat::CrtSrand(1);  // 41, 18467, ...
  std::vector<double> v(20000);
  ASSERT_EQ(u.Fill(v.data(), static_cast<int>(v.size())), 1);
  EXPECT_DOUBLE_EQ(v[0], -0.01 + 0.02 * 41 / 32768.0);
  EXPECT_DOUBLE_EQ(v[1], -0.01 + 0.02 * 18467 / 32768.0);
  double lo = 1, hi = -1;
  for (double x : v) lo = std::min(lo, x), hi = std::max(hi, x);
  EXPECT_GE(lo, -0.01);
  EXPECT_LT(hi, 0.01);
  plat::CrtSrand(1);
  EXPECT_DOUBLE_EQ(KZ_RandUniform(2, 4), 2 + 2 * 41 / 32768.0);
}

TEST(RandUniform, DistributionFunctions) {
  KZ_Rand_Uni u(2, 6);
  EXPECT_EQ(u.m_fMean, 4.0);
  EXPECT_NEAR(u.m_fVariance, 16.0 / 12, 1e-15);
  EXPECT_EQ(u.m_strName, "Uniform Rnd: [ 2.00,  6.00], (mean=4.0000, variance=1.3333)");
  EXPECT_EQ(u.Pdf(2), 0.25);
  EXPECT_EQ(u.Pdf(6), 0.25);
  EXPECT_EQ(u.Pdf(6.1), 0.0);
  EXPECT_EQ(u.Cdf(1), 0.0);
  EXPECT_EQ(u.Cdf(3), 0.25);
  EXPECT_EQ(u.Cdf(100), 1.0);
  EXPECT_NEAR(u.Entropy(), std::log(4.0), 1e-15);
  EXPECT_NEAR(u.Quantile05(), 2.2, 1e-15);
  EXPECT_NEAR(u.Quantile95(), 5.8, 1e-15);
  EXPECT_EQ(u.AtZero(1e-11, 5), 1.0);
  EXPECT_EQ(u.AtZero(1e-9, 5), 0.0);
  EXPECT_EQ(u.Unit(1, 2, 3), 1.0);

  KZ_Rand_Uni reversed(1, -1);  // draws between the bounds, density 0 everywhere
  std::vector<double> v(1000);
  reversed.Fill(v.data(), 1000);
  for (double x : v) ASSERT_TRUE(x > -1 && x <= 1);
  EXPECT_EQ(reversed.Pdf(0), 0.0);

  KZ_Rand base;
  double out[3] = {7, 7, 7};
  EXPECT_EQ(base.Fill(out, 3), 0);
  EXPECT_EQ(out[0], 7.0);
  EXPECT_EQ(base.Pdf(1), 0.0);
}

TEST(RandUniform, HistogramTest) {
  KZ_Rand_Uni u(0, 1);
  const int nb = 11;
  std::vector<double> arrays[5];
  double* res[5];
  for (int i = 0; i < 5; ++i) arrays[i].assign(nb, -1), res[i] = arrays[i].data();
  u.HistogramTest(res, 0, 1, nb, 50000);
  EXPECT_NEAR(res[0][10], 1.0, 1e-15);
  double sum = 0;
  for (int k = 0; k < nb; ++k) sum += res[1][k];
  EXPECT_NEAR(sum, 1.0, 1e-12);
  // Inner bins hold a tenth of the samples, the two end bins half of that.
  for (int k = 1; k < nb - 1; ++k) EXPECT_NEAR(res[1][k], 0.1, 0.01) << k;
  EXPECT_NEAR(res[1][0], 0.05, 0.01);
  EXPECT_NEAR(res[2][3], 0.1, 1e-12);
  EXPECT_EQ(res[3][0], 0.0);
  EXPECT_NEAR(res[3][nb - 1], 1.0 - res[1][0], 1e-12);
  EXPECT_NEAR(res[4][nb - 1], 1.0, 1e-12);

  // Every sample outside the bins: the frequencies are 0/0.
  KZ_Rand_Uni far(10, 11);
  far.HistogramTest(res, 0, 1, nb, 100);
  EXPECT_TRUE(std::isnan(res[1][0]));
  // No step: nothing is written.
  arrays[0].assign(nb, -1);
  u.HistogramTest(res, 0, 1, 1, 10);
  EXPECT_EQ(res[0][0], -1.0);
}

TEST(RandSeed, SeedsBothGeneratorsWithTheTime) {
  const long long before = static_cast<long long>(std::time(nullptr));
  KZ_Rand::Seed();
  const int first = plat::CrtRand();
  const long long after = static_cast<long long>(std::time(nullptr));
  const nmls_random_block* block = nmls_random_block_get();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->seeded, 1);
  EXPECT_GE(block->iseed, before);
  EXPECT_LE(block->iseed, after);
  // The run-time generator was seeded with the same time value.
  plat::CrtSrand(static_cast<unsigned int>(block->iseed));
  EXPECT_EQ(plat::CrtRand(), first);
}
