#include "base/types/KZ_Var1D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "base/base_test_support.h"
#include "platform/ByteOrder.h"

using tv_test::ReadBytes;
using tv_test::TmpPath;

TEST(Var1D, RangeOfEqualSamplesAndSetAllFallback) {
  std::vector<double> s = {4, 4, 4};
  KZ_Var1D v;
  v.Attach("p", "MPa", s.data(), nullptr, 3, 0, 1, 0, 1, 0, 0);  // min >= max: computed
  EXPECT_EQ(v.m_dMin, 4);
  EXPECT_EQ(v.m_dMax, 5);

  s = {3, -1, 7};
  v.SetAll(3, 2, 2, "p", "MPa", KZ_AXIS_Y);  // empty range: from the samples
  EXPECT_EQ(v.m_dMin, -1);
  EXPECT_EQ(v.m_dMax, 7);
  EXPECT_EQ(v.GetAxisFlags(), KZ_AXIS_Y);

  KZ_Var1D empty;
  empty.SetRange(10, 20);
  empty.SetAll(0, 5, 5, "e", "", 0);  // nothing to compute from: the range stays
  EXPECT_EQ(empty.m_dMin, 10);
  EXPECT_EQ(empty.m_dMax, 20);
}

TEST(Var1D, SetRoundsTheRangeOutwards) {
  std::vector<double> s = {0.13, 0.92, 0.5};
  KZ_Var1D v;
  v.m_pData = s.data();
  v.Set(3, "x", "m", KZ_AXIS_X);
  EXPECT_NEAR(v.m_dMin, 0.1, 1e-12);
  EXPECT_NEAR(v.m_dMax, 1.0, 1e-12);
}

TEST(Var1D, VectorSamplesUseMagnitudes) {
  std::vector<double> s = {3, 4, 6, 8};  // two components: magnitudes 5 and 10
  KZ_Var1D v;
  v.Attach("v", "", s.data(), nullptr, 2, 1, 0, -1, 2.0, 0, 0);
  EXPECT_EQ(v.m_dMin, 5);
  EXPECT_EQ(v.m_dMax, 10);
  EXPECT_DOUBLE_EQ(v.Mean(), 7.5);
  EXPECT_EQ(v.RemoveMean(), 0);  // refused for vectors
  EXPECT_DOUBLE_EQ(v.m_PlotValues[1], 20.0);
  std::vector<double> t = {1, 2, 2, 0, 0, 3};  // three components, stride three
  KZ_Var1D w;
  w.Attach("w", "", t.data(), nullptr, 2, 2, 0, 1, 1, 0, 0);
  EXPECT_DOUBLE_EQ(w.GetMagnitude(0), 3.0);
  EXPECT_DOUBLE_EQ(w.GetMagnitude(1), 3.0);
  KZ_Var1D none;
  EXPECT_EQ(none.GetMagnitude(0), 0.0);
  EXPECT_EQ(none.Mean(), 0.0);
}

TEST(Var1D, SmoothKeepsEndsAndShortSeries) {
  std::vector<double> s = {0, 0, 4, 0, 0};
  KZ_Var1D v;
  v.Attach("s", "", s.data(), nullptr, 5, 0, 0, 1, 1, 0, 0);
  v.Smooth(1, 0);
  EXPECT_EQ(s, (std::vector<double>{0, 1, 2, 1, 0}));
  v.Smooth(2, 0);
  EXPECT_EQ(s.front(), 0);
  EXPECT_EQ(s.back(), 0);
  EXPECT_DOUBLE_EQ(s[2], (1 + 2 * 1.5 + 1) / 4.0);  // pass two works on pass one's values

  std::vector<double> two = {1, 9};
  KZ_Var1D w;
  w.Attach("w", "", two.data(), nullptr, 2, 0, 0, 1, 1, 0, 0);
  w.Smooth(5, 0);
  EXPECT_EQ(two, (std::vector<double>{1, 9}));

  std::vector<double> pairs = {0, 10, 4, 10, 0, 10};  // x smoothed, y constant
  KZ_Var1D p;
  p.Attach("p", "", pairs.data(), nullptr, 3, 1, 0, 1, 1, 0, 0);
  p.Smooth(1, 0);
  EXPECT_EQ(pairs, (std::vector<double>{0, 10, 2, 10, 0, 10}));
}

TEST(Var1D, ToLog10) {
  std::vector<double> s = {100, 0, -5};
  KZ_Var1D v;
  v.Attach("l", "", s.data(), nullptr, 3, 0, 0, 1, 1, 0, 0);
  v.ToLog10();
  EXPECT_EQ(s, (std::vector<double>{2, -30, -30}));
  std::vector<double> p = {0, 1000};
  KZ_Var1D w;
  w.Attach("w", "", p.data(), nullptr, 1, 1, 0, 1, 1, 0, 0);
  w.ToLog10();
  EXPECT_NEAR(p[0], 0, 1e-12);
  EXPECT_NEAR(p[1], 3, 1e-12);
}

TEST(Var1D, PlotValuesScaleNormaliseAndLog) {
  std::vector<double> s = {1, 10, 1000};
  std::vector<double> e = {0.1, 1, 10};
  KZ_Var1D v;
  v.Attach("a", "", s.data(), e.data(), 3, 0, 0, 0, 2.0, 0, 0);
  EXPECT_FLOAT_EQ(v.m_fPlotMin, 2);
  EXPECT_FLOAT_EQ(v.m_fPlotMax, 2000);
  EXPECT_FLOAT_EQ(v.m_fPlotSpan, -999);
  EXPECT_DOUBLE_EQ(v.m_PlotErrors[2], 20);
  v.MakePlotValues(false, true);
  EXPECT_FLOAT_EQ(v.m_fPlotMax, 1);
  EXPECT_NEAR(v.m_PlotValues[1], 0.01, 1e-7);

  v.m_nLog = 1;
  v.m_dScale = 1;
  v.MakePlotValues(false, false);
  EXPECT_FLOAT_EQ(v.m_fPlotMin, 0);
  EXPECT_FLOAT_EQ(v.m_fPlotMax, 3);
  EXPECT_FLOAT_EQ(v.m_fPlotSpan, -30);
  EXPECT_DOUBLE_EQ(v.m_PlotValues[1], 1);

  v.SetRange(0.003, 1500);  // log ends: floor of -2.5, ceiling of 3.18
  v.MakePlotValues(false, false);
  EXPECT_FLOAT_EQ(v.m_fPlotMin, -3);
  EXPECT_FLOAT_EQ(v.m_fPlotMax, 4);

  v.m_nCount = 5;  // grown behind the variable's back: the plot arrays follow
  std::vector<double> more = {1, 2, 3, 4, 5};
  v.m_pData = more.data();
  v.m_pErr = nullptr;
  v.MakePlotValues(false, false);
  EXPECT_GE(v.m_PlotValues.size(), 5u);
}

TEST(Var1D, TitleCleanUp) {
  KZ_Var1D v;
  v.SetInfo("x=2.000000", "", 0, 0, 1, 1, 0, 0);
  EXPECT_EQ(v.m_strTitle, "x=2.");
  v.SetInfo("x=2.50", "", 0, 0, 1, 1, 1, 0);
  EXPECT_EQ(v.m_strTitle, "log, x=2.50");
  v.SetInfo("rate", "", 0, 0, 1, 1, 2, 0);
  EXPECT_EQ(v.m_strTitle, "ln, rate");
  v.SetAll(0, 0, 1, "q=1.500000e-005", "", 0);
  EXPECT_EQ(v.m_strTitle, "q=1.5000e-5");
  v.SetAll(0, 0, 1, "q=2.500000e+010,,", "", 0);
  EXPECT_EQ(v.m_strTitle, "q=2.5000e+10");
}

TEST(Var1D, FormatNumber) {
  struct Case {
    double v;
    const char* text;
  };
  const Case cases[] = {
      {3 + 1e-11, "3"},
      {-7, "-7"},
      {0.5, "0.500000"},
      {1234.5, "1234.5"},
      {1234, "1234"},
      {250.04, "250."},
      {0.001, "0.001"},
      {123456.7, "123457"},
      {0.000123456789, "0.000123457"},
      {1.23456789e-9, "1.23457e-09"},
      {3e12, "3e+12"},
  };
  for (const Case& c : cases) {
    char buf[32];
    KZ_FormatNumber(c.v, buf);
    EXPECT_STREQ(buf, c.text) << c.v;
  }
}

TEST(Var1D, FilesRoundTrip) {
  std::vector<double> pairs = {1.5, -2.25, 3, 4e-3};
  KZ_Var1D v;
  v.Attach("v", "", pairs.data(), nullptr, 2, 1, 0, 1, 1, 0, 0);
  const std::string bin = TmpPath("var1d_pairs.bin");
  ASSERT_EQ(v.SaveFile(bin, 'b', 4, 42.0), 1);
  auto bytes = ReadBytes(bin);
  ASSERT_EQ(bytes.size(), 8u + 2 * 2 * 4);  // header double + 2 x count floats
  EXPECT_EQ(le::GetF64(bytes.data()), 42.0);
  EXPECT_EQ(le::GetF32(&bytes[8 + 4]), -2.25f);

  std::vector<double> back(4);
  v.m_pData = back.data();
  double header = 0;
  ASSERT_EQ(v.LoadFile(bin, &header, 'b', 4), 1);
  EXPECT_EQ(header, 42.0);
  EXPECT_DOUBLE_EQ(back[3], static_cast<double>(4e-3f));

  std::vector<double> s = {0.5, -1e-7, 12345.678};
  KZ_Var1D t;
  t.Attach("t", "", s.data(), nullptr, 3, 0, 0, 1, 1, 0, 0);
  const std::string txt = TmpPath("var1d.txt");
  ASSERT_EQ(t.SaveFile(txt, 't', 8, -3.5), 1);
  std::vector<double> read(3);
  t.m_pData = read.data();
  ASSERT_EQ(t.LoadFile(txt, &header, 't', 8), 1);
  EXPECT_EQ(header, -3.5);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(read[i], s[i], std::fabs(s[i]) * 1e-6);

  t.m_nCount = 4;  // the file holds only three samples: nothing is replaced
  std::vector<double> four = {9, 9, 9, 9};
  t.m_pData = four.data();
  EXPECT_EQ(t.LoadFile(txt, &header, 't', 8), 0);
  EXPECT_EQ(four[0], 9);

  KZ_Var1D none;
  EXPECT_EQ(none.SaveFile(txt, 't', 8, 0), 0);
  EXPECT_EQ(t.SaveFile(TmpPath("no/such/folder.txt"), 't', 8, 0), 0);
}
