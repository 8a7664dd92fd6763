#include "aecore/document/AEStress.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utility>

namespace {

std::string TmpPath(const std::string& name) { return std::string(TV_TEST_TMPDIR) + "/" + name; }

// Two-digit years: a record of this century lies in this century, an old one in the last.
TEST(AEStress, BaseTimeYearsOfBothCenturies) {
  for (auto [text, year] : {std::pair{"98", 98}, {"69", 69}, {"26", 126}, {"00", 100}}) {
    std::string path = TmpPath("years.STS");
    std::ofstream(path) << "[BASE TIME]" << text << "/12/10 10:00:00\n";
    CAEStress s;
    ASSERT_EQ(s.Read(path), 1);
    EXPECT_EQ(s.m_tmBase.tm_year, year) << text;
  }
}

TEST(AEStress, ReadsRowsOfFourteenAndSixteenValues) {
  std::string path = TmpPath("run.STS");
  std::ofstream f(path);
  f << "[BASE TIME]98/11/05 09:30:00\n";
  // 14 values: load, pressure, 12 gauges (gauge 1 missing on row 0).
  f << "09:30:00 10 200 100 99991 300 400 500 600 700 800 900 1000 1100 1200\n";
  // 16 values: two extra values come first.
  f << "09:30:20 20.5 210 7 8 150 250 99990 450 500 600 700 800 900 1000 1100 1200\n";
  f << "09:30:40 30 220 1 2 3\n";  // too short: ends the reading
  f << "09:31:00 40 220 100 200 300 400 500 600 700 800 900 1000 1100 1200\n";
  f.close();

  CAEStress s;
  ASSERT_EQ(s.Read(path), 1);
  EXPECT_EQ(s.m_nSamples, 2);
  EXPECT_EQ(s.m_tmBase.tm_year, 98);
  EXPECT_EQ(s.m_tmBase.tm_mon, 10);
  EXPECT_EQ(s.m_tmBase.tm_mday, 5);
  EXPECT_EQ(s.m_tmBase.tm_hour, 9);
  EXPECT_EQ(s.m_tmBase.tm_min, 30);

  EXPECT_EQ(s.m_pAxialStress[0], 50);   // 10 x 5.0929...
  EXPECT_EQ(s.m_pAxialStress[1], 104);  // 20.5 x 5.0929... = 104.4
  EXPECT_EQ(s.m_nMaxStress, 104);
  EXPECT_EQ(s.m_pPressure[0], 20);
  EXPECT_EQ(s.m_pValue3[0], 0);
  EXPECT_EQ(s.m_pValue3[1], 7);
  EXPECT_EQ(s.m_pValue4[1], 8);

  // Row 0 is the baseline; the missing gauge keeps the marker as its baseline.
  EXPECT_EQ(s.m_pStrain[0][0], 0);
  EXPECT_EQ(s.m_pStrain[1][0], CAEStress::kMissing);
  EXPECT_EQ(s.m_pStrain[0][1], 50);
  EXPECT_EQ(s.m_pStrain[1][1], 250 - 32222);
  EXPECT_EQ(s.m_pStrain[2][1], static_cast<std::int16_t>(99990 - 300));  // a value, kept in 16 bits
  // Row 0: pair 0 is out (missing gauge); five pairs of zeros.
  EXPECT_EQ(s.m_pVolStrain[0], 0);
  // Row 1: every pair counts: pair 0: 50 + 2(250-32222), pair 1: 33154-... etc.
  double sum = 0;
  for (int p = 0; p < 6; ++p) sum += s.m_pStrain[2 * p][1] + 2.0 * s.m_pStrain[2 * p + 1][1];
  EXPECT_EQ(s.m_pVolStrain[1], static_cast<std::int16_t>(static_cast<int>(sum / 6)));
}

// NaN and values beyond the 32-bit range (a damaged logger line) give 0 and the held ends,
// kept in 16 bits, without an undefined conversion.
TEST(AEStress, NaNAndHugeValuesAreHeld) {
  std::string path = TmpPath("nan.sts");
  std::ofstream f(path);
  f << "[BASE TIME]98/11/05 09:30:00\n";
  f << "09:30:00 nan 1e30 nan 0 0 0 0 0 0 0 0 0 0 0\n";
  f << "09:30:20 1 -1e30 5 0 0 0 0 0 0 0 0 0 0 0\n";
  f.close();
  CAEStress s;
  ASSERT_EQ(s.Read(path), 1);
  ASSERT_EQ(s.m_nSamples, 2);
  EXPECT_EQ(s.m_pAxialStress[0], 0);
  EXPECT_EQ(s.m_pPressure[0], -1);  // INT32_MAX in 16 bits
  EXPECT_EQ(s.m_pStrain[0][0], 0);
  EXPECT_EQ(s.m_pPressure[1], 0);   // INT32_MIN in 16 bits
  EXPECT_EQ(s.m_pStrain[0][1], 0);  // 5 - NaN
}

TEST(AEStress, StressByTimeTruncatesTowardZero) {
  std::string path = TmpPath("t.sts");
  std::ofstream f(path);
  f << "[BASE TIME]98/11/05 09:30:00\n";
  for (int r = 0; r < 3; ++r) f << "00:00:00 " << 10 * (r + 1) << " 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  f.close();
  CAEStress s;
  ASSERT_EQ(s.Read(path), 1);
  EXPECT_EQ(s.GetStress(59), s.m_pAxialStress[2]);
  EXPECT_EQ(s.GetStress(-19), s.m_pAxialStress[0]);
  EXPECT_EQ(s.GetStress(-20), 0.0);
  EXPECT_EQ(s.GetStress(60), 0.0);
  CAEStress none;
  EXPECT_EQ(none.Read(TmpPath("missing.sts")), 0);
  EXPECT_EQ(none.m_nSamples, 0);
}

}  // namespace
