#include "base/types/KZ_Var2D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/base_test_support.h"
#include "platform/File.h"

using tv_test::Matrix;
using tv_test::ReadBytes;
using tv_test::TmpPath;

namespace {

std::vector<unsigned char> Expected(const char* name) {
  return ReadBytes(std::string(TV_SOURCE_DIR) + "/base/types/testdata/" + name);
}

// First differing offset, for a readable failure.
void ExpectSameBytes(const std::vector<unsigned char>& got,
                     const std::vector<unsigned char>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i)
    if (got[i] != want[i]) {
      ADD_FAILURE() << "first difference at offset " << i;
      return;
    }
}

}  // namespace

// Grid files against the layouts written field by field by tools/base_series/make_grid_files.py.
TEST(Var2D, GridFilesMatchTheIndependentLayout) {
  {
    Matrix a(10, 20);
    for (int i = 0; i < 10; ++i)
      for (int j = 0; j < 20; ++j) a.m[i][j] = 0.5 * i - 0.25 * j + i * j / 100.0;
    KZ_Var2D v;
    v.SetData("AE density", "1/(cm*cm*s)", a.m, nullptr, 10, 20, 0, 0, 0, 1, 0, 0);
    const std::string path = TmpPath("density.lm3");
    plat::File f;
    ASSERT_TRUE(f.Open(path, "w+b"));
    EXPECT_EQ(v.SaveGridFile(&f, 0, 90, -10, 180, "sample A", 2454000.5, "Exp 7: ", 8), 1);
    f.Flush();
    ExpectSameBytes(ReadBytes(path), Expected("grid_density.lm3"));
    EXPECT_EQ(ReadBytes(path).size(), 512u + 8 + 10 * 20 * 8);
    EXPECT_EQ(v.WriteGridHeader(&f, 0, 90, -10, 180, 12, "experiment title", 8), 1);
    f.Close();
    ExpectSameBytes(ReadBytes(path), Expected("grid_density_rewritten.lm3"));
  }
  {
    Matrix b(3, 4);  // two components: rows of ny pairs
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 2; ++j) {
        b.m[i][2 * j] = i + 0.5 * j;
        b.m[i][2 * j + 1] = -i * j - 0.25;
      }
    KZ_Var2D v;
    v.SetData("Flow", "m/s", b.m, nullptr, 3, 2, 1, 0, 5, 2.5, 0, 0);
    const std::string path = TmpPath("pairs.lm3");
    plat::File f;
    ASSERT_TRUE(f.Open(path, "wb"));
    EXPECT_EQ(v.SaveGridFile(&f, 0, 7, 1, 2, "", -1.0, "", 4), 1);
    f.Close();
    ExpectSameBytes(ReadBytes(path), Expected("grid_pairs.lm3"));
  }
  {
    Matrix c(2, 2);
    c.m[0][0] = 1, c.m[0][1] = 2, c.m[1][0] = 3, c.m[1][1] = 4;
    KZ_Var2D v;
    std::string label;
    for (int k = 0; k < 450; ++k) label += static_cast<char>('a' + k % 26);
    v.SetData(std::string(80, 'T'), "u", c.m, nullptr, 2, 2, 0, 0, 0, 1, 0, 0);
    const std::string path = TmpPath("long.lm3");
    plat::File f;
    ASSERT_TRUE(f.Open(path, "wb"));
    EXPECT_EQ(v.SaveGridFile(&f, 0, 1, 0, 1, label, 0.0, "P: ", 8), 1);
    f.Close();
    ExpectSameBytes(ReadBytes(path), Expected("grid_long_texts.lm3"));
  }
  KZ_Var2D none;
  plat::File f;
  ASSERT_TRUE(f.Open(TmpPath("none.lm3"), "wb"));
  EXPECT_EQ(none.SaveGridFile(&f, 0, 1, 0, 1, "", 0, "", 8), 0);
}

TEST(Var2D, Ranges) {
  Matrix m(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = 8;
  KZ_Var2D v;
  v.SetData("c", "", m.m, nullptr, 3, 3, 0, 1, 1, 1, 0, 0);  // min >= max over a constant field
  EXPECT_EQ(v.m_dMin, 0);
  EXPECT_EQ(v.m_dMax, 1);
  v.UpdateRange();
  EXPECT_EQ(v.m_dMin, 4);
  EXPECT_EQ(v.m_dMax, 6);
  EXPECT_EQ(v.Mean(), 8);

  m.m[1][2] = 1000;
  KZ_Var2D s;  // a negative scale asks for decimal logarithms of the range
  s.SetData("s", "", m.m, nullptr, 3, 3, 0, 0, 0, -1, 0, 0);
  EXPECT_NEAR(s.m_dMin, std::log10(8.0), 1e-12);
  EXPECT_NEAR(s.m_dMax, 3, 1e-12);

  KZ_Var2D l;
  l.SetData("l", "", m.m, nullptr, 3, 3, 0, 0.002, 1000, 1, 1, 0);
  EXPECT_EQ(l.m_dPlotMin, -3);  // nearest integer to log10(0.002) - 0.5
  EXPECT_EQ(l.m_dPlotMax, 4);   // nearest integer to 3 + 0.5 (halves away from zero)
  EXPECT_EQ(l.m_dPlotSpan, -30);
  EXPECT_NEAR(l.m_ppPlot[1][2], 3, 1e-12);
  EXPECT_NEAR(l.m_ppPlot[0][0], std::log10(8.0), 1e-12);
}

TEST(Var2D, SmoothAndText) {
  Matrix m(3, 3);
  m.m[1][1] = 10;
  m.m[0][1] = 5;
  KZ_Var2D v;
  v.SetData("s", "", m.m, nullptr, 3, 3, 0, 0, 1, 1, 0, 0);
  v.Smooth(0, 0);  // still one pass
  EXPECT_DOUBLE_EQ(m.m[1][1], 3);
  EXPECT_EQ(m.m[0][1], 5);  // borders stay
  v.Smooth(2, 0);           // two passes: 0.2 (3 + 5) = 1.6, then 0.2 (1.6 + 5)
  EXPECT_DOUBLE_EQ(m.m[1][1], 0.2 * (0.2 * (3 + 5) + 5));

  Matrix two(2, 2);
  two.m[0][0] = 1, two.m[1][1] = 9;
  KZ_Var2D t;
  t.SetData("t", "", two.m, nullptr, 2, 2, 0, 0, 1, 1, 0, 0);
  t.Smooth(3, 0);
  EXPECT_EQ(two.m[0][0], 1);
  EXPECT_EQ(two.m[1][1], 9);

  Matrix w(2, 3);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) w.m[i][j] = i * 10 + j + 0.5;
  KZ_Var2D x;
  x.SetData("w", "", w.m, nullptr, 2, 3, 0, 0, 1, 1, 0, 0);
  const std::string path = TmpPath("var2d.txt");
  ASSERT_EQ(x.SaveFile(path, 't', 8), 1);
  auto b = ReadBytes(path);
  EXPECT_EQ(std::string(b.begin(), b.end()),
            "0.500000 1.500000 2.500000 \n10.500000 11.500000 12.500000 \n");
  EXPECT_EQ(x.SaveFile(TmpPath("missing/dir.txt"), 't', 8), 0);
}
