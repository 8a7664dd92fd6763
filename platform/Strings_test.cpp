#include <gtest/gtest.h>

#include <clocale>

#include "platform/MemBlock.h"
#include "platform/Strings.h"

TEST(Strings, FormatsAndParsesInTheCLocale) {
  EXPECT_EQ(plat::Format("%06d.WAV|%.2f|%e|%s", 42, 3.14159, 12345.0, "x"), "000042.WAV|3.14|1.234500e+04|x");
  std::string longText = plat::Format("%0300d", 7);
  EXPECT_EQ(longText.size(), 300u);
  EXPECT_EQ(longText.back(), '7');
  double d = 0;
  int n = 0;
  EXPECT_EQ(plat::ScanC("2.5 17", "%lf %d", &d, &n), 2);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(plat::StrToD("0.125e1"), 1.25);
  // A locale with a decimal comma must not leak in (when the system has one installed).
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
    EXPECT_EQ(plat::Format("%.1f", 0.5), "0.5");
    EXPECT_EQ(plat::StrToD("0.5"), 0.5);
    std::setlocale(LC_NUMERIC, "C");
  }
}

TEST(Strings, CaseAndTrimHelpers) {
  EXPECT_EQ(plat::ToUpper("d:\\exp\\a.wav\xe9"), "D:\\EXP\\A.WAV\xe9");
  EXPECT_EQ(plat::ToLower("PAD.Sts"), "pad.sts");
  EXPECT_EQ(plat::Trim(" \t x y \r\n"), "x y");
  EXPECT_EQ(plat::TrimLeft("  a "), "a ");
  EXPECT_EQ(plat::TrimRight("  a \n"), "  a");
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {{"abc", "ABC", 0}, {"abc", "abd", -1}, {"B", "a", 1}, {"ab", "ABC", -1}, {"", "", 0}};
  for (const auto& c : cases) {
    int r = plat::CompareNoCase(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " " << c.b;
  }
  EXPECT_TRUE(plat::EndsWithNoCase("x.PaD", ".pad"));
  EXPECT_FALSE(plat::EndsWithNoCase("ad", ".pad"));
  EXPECT_TRUE(plat::StartsWithNoCase("HTTP://x", "http"));
}

TEST(MemBlock, ZeroedSizedMovedAndCopiedExplicitly) {
  plat::MemBlock a(70);
  EXPECT_EQ(a.Size(), 70u);
  for (std::size_t i = 0; i < a.Size(); ++i) ASSERT_EQ(a.data()[i], 0);
  a.data()[0] = 'B';
  plat::MemBlock b = a.Copy();
  b.data()[0] = 'X';
  EXPECT_EQ(a.data()[0], 'B');
  plat::MemBlock c = std::move(a);
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(c.Size(), 70u);
  c.Resize(80);
  EXPECT_EQ(c.data()[0], 'B');
  EXPECT_EQ(c.data()[79], 0);
}
