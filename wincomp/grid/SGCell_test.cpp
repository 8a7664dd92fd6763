#include "wincomp/grid/SGCell.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "wincomp/grid/SGDefs.h"

TEST(SGCell, FreshCellAnswersTheDefaults) {
  CSGCell c;
  EXPECT_EQ(c.GetText(), nullptr);
  EXPECT_EQ(c.GetTextLength(), 0);
  EXPECT_EQ(c.GetNumber(), 0.0);
  EXPECT_EQ(c.GetDataType(), SG_TEXT_DATA);
  EXPECT_EQ(c.GetTextColor(), sgw::GetSysColor(sgw::COLOR_WINDOWTEXT));
  EXPECT_EQ(c.GetBackColor(), sgw::GetSysColor(sgw::COLOR_WINDOW));
  EXPECT_EQ(c.GetAlignment(), 0);
  EXPECT_EQ(c.GetCellType(), 0);
  EXPECT_EQ(c.GetJoinInfo(nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(c.GetFont(), nullptr);
  EXPECT_EQ(c.GetLabel(), nullptr);
}

TEST(SGCell, NumbersFormatWithTheirDecimals) {
  struct Case {
    double value;
    int decimals;  // -1: none set
    const char* text;
  } cases[] = {{3.14159, -1, "3.141590"},
               {3.14159, 2, "3.14"},
               {3.14159, 0, "3"},
               {-0.5, 1, "-0.5"},
               {1e6, -1, "1000000.000000"}};
  for (const Case& k : cases) {
    CSGCell c;
    if (k.decimals >= 0) c.SetNumberDecimals(static_cast<short>(k.decimals));
    c.SetNumber(k.value);
    EXPECT_STREQ(c.GetText(), k.text) << k.value << " " << k.decimals;
    EXPECT_EQ(c.GetDataType(), SG_NUMBER_DATA);
  }
}

TEST(SGCell, TextsReadAsNumbersAndFlagsLikeTheCLibrary) {
  struct Case {
    const char* text;
    double number;
    int flag;
  } cases[] = {{"12", 12, 1},   {"0", 0, 0},  {"abc", 0, 0},         {"True", 0, 1},
               {"t", 0, 1},     {"", 0, 0},   {"  -2.5e1x", -25, 1}, {"+7.25", 7.25, 1},
               {"0x10", 16, 0}, {"00", 0, 0}, {"-3", -3, 1}};
  for (const Case& k : cases) {
    CSGCell c;
    c.SetText(k.text);
    EXPECT_DOUBLE_EQ(c.GetNumber(), k.number) << k.text;
    EXPECT_EQ(c.GetBool(), k.flag) << k.text;
  }
}

TEST(SGCell, NumbersIgnoreTheUserLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
  const char* set = nullptr;
  for (const char* n : names)
    if ((set = std::setlocale(LC_ALL, n))) break;
  if (!set) {
    // Build a German locale of our own when the system has its sources.
    const std::string dir = TV_TEST_TMPDIR "/locales";
    const std::string cmd = "localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(("mkdir -p " + dir).c_str()) == 0 && std::system(cmd.c_str()) == 0) {
      setenv("LOCPATH", dir.c_str(), 1);
      set = std::setlocale(LC_ALL, "de_DE.UTF-8");
    }
  }
  if (!set) GTEST_SKIP() << "no locale with a decimal comma available";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  CSGCell c;
  c.SetNumberDecimals(2);
  c.SetNumber(1.5);
  std::string text = c.GetText();
  c.SetText("2.75");
  double n = c.GetNumber();
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_EQ(text, "1.50");
  EXPECT_DOUBLE_EQ(n, 2.75);
}

TEST(SGCell, MergeAddsWhileCopyReplaces) {
  CSGCell colour;
  colour.SetTextColor(RGB(1, 2, 3));
  CSGCell merged;
  merged.SetText("a");
  merged.AddInfoFrom(colour);
  EXPECT_STREQ(merged.GetText(), "a");
  EXPECT_EQ(merged.GetTextColor(), RGB(1, 2, 3));

  CSGCell copied;
  copied.SetText("a");
  colour.CopyInfoTo(copied);
  EXPECT_EQ(copied.GetText(), nullptr);
  EXPECT_EQ(copied.GetTextColor(), RGB(1, 2, 3));
  EXPECT_EQ(copied.GetPropertyMask(), SGCELL_TEXTCOLOR);

  // A merged source overwrites what both carry; join information travels whole.
  CSGCell join;
  join.SetText("b");
  join.SetJoinInfo(0, -2, -1);
  merged.AddInfoFrom(join);
  short o = 9;
  int co = 0, ro = 0;
  EXPECT_STREQ(merged.GetText(), "b");
  ASSERT_EQ(merged.GetJoinInfo(&o, &co, &ro), 0);
  EXPECT_EQ(o, 0);
  EXPECT_EQ(co, -2);
  EXPECT_EQ(ro, -1);
}
