#include "base/types/KZ_TextParse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/base_test_support.h"

TEST(KeyedValues, FloatIntString) {
  const char* line = "Tpl=2.5 loc_ind=7 name=\"a b\"<x> tag=abc,def";
  EXPECT_EQ(KZ_GetKeyFloat(line, "Tpl=", -1), 2.5f);
  EXPECT_EQ(KZ_GetKeyFloat(line, "Nope=", -1), -1.0f);
  EXPECT_EQ(KZ_GetKeyFloat("Tpl=x", "Tpl=", -1), -1.0f);
  EXPECT_EQ(KZ_GetKeyFloat(nullptr, "Tpl=", -1), -1.0f);
  int v = 3;
  EXPECT_EQ(KZ_GetKeyInt(line, "loc_ind=", &v), 7);
  v = 3;
  EXPECT_EQ(KZ_GetKeyInt(line, "chn", &v), 3);
  EXPECT_EQ(KZ_GetKeyInt(nullptr, "chn", &v), 3);
  EXPECT_EQ(KZ_GetKeyString(line, "name=", "d"), "a b");
  EXPECT_EQ(KZ_GetKeyString(line, "tag=", "d"), "abc");
  EXPECT_EQ(KZ_GetKeyString(line, "none=", "d"), "d");
  EXPECT_EQ(KZ_GetKeyString("k=  rest", "k=", ""), "rest");
  EXPECT_EQ(KZ_GetKeyString("k=v;w", "k=", ""), "v");
  EXPECT_EQ(KZ_GetKeyString(nullptr, "k=", "d"), "d");
}

TEST(Tokens, NextTokenAndGetToken) {
  std::string tok;
  const char* p = KZ_NextToken("ab,,cd,e\n", ',', tok);
  EXPECT_EQ(tok, "ab");
  p = KZ_NextToken(p, ',', tok);
  EXPECT_EQ(tok, "cd");
  p = KZ_NextToken(p, ',', tok);
  EXPECT_EQ(tok, "e");
  // The trailing newline follows the last token; the next call ends the scan.
  ASSERT_NE(p, nullptr);
  p = KZ_NextToken(p, ',', tok);
  EXPECT_EQ(tok, "");
  EXPECT_EQ(p, nullptr);

  EXPECT_EQ(KZ_NextToken(",x", ',', tok), nullptr);
  EXPECT_EQ(tok, "");
  EXPECT_EQ(KZ_NextToken(nullptr, ',', tok), nullptr);
  EXPECT_EQ(KZ_NextToken("last", ',', tok), nullptr);
  EXPECT_EQ(tok, "last");

  KZ_GetToken("E(t),1/s", ',', tok, 0);
  EXPECT_EQ(tok, "E(t)");
  KZ_GetToken("E(t),1/s", ',', tok, 1);
  EXPECT_EQ(tok, "1/s");
  KZ_GetToken("E(t),1/s", ',', tok, 5);
  EXPECT_EQ(tok, "");

  // Every scan over a list ends.
  for (const char* text : {"a, b ,c  ", "  ", "a,,,", "x\r\n"}) {
    int guard = 0;
    for (const char* q = text; q && guard < 20; ++guard) q = KZ_NextToken(q, ',', tok);
    EXPECT_LT(guard, 20) << text;
  }
}

TEST(Tokens, NextInt) {
  std::vector<int> got;
  const char* p = " 3, 14,,15";
  while (p) {
    int v = -1;
    p = KZ_NextInt(p, ',', &v);
    got.push_back(v);
  }
  EXPECT_EQ(got, (std::vector<int>{3, 14, 15}));
}

TEST(Fields, TrimReadIntCopyPadded) {
  char a[16] = " \t,,abc";
  KZ_TrimLeft(a, 0);
  EXPECT_STREQ(a, "abc");
  for (int i = 3; i < 8; ++i) EXPECT_EQ(a[i], '\0');

  char name[] = "001234567.sg2";
  EXPECT_EQ(KZ_ReadIntField(name, 0, 5, -1), 1234);
  EXPECT_STREQ(name, "001234567.sg2");  // restored
  EXPECT_EQ(KZ_ReadIntField(name, 2, 3, -1), 12);
  char shortLine[] = "42";
  EXPECT_EQ(KZ_ReadIntField(shortLine, 0, 5, -1), 42);  // stop column beyond the line
  EXPECT_EQ(KZ_ReadIntField(shortLine, 4, 5, -1), -1);
  char letters[] = "ab";
  EXPECT_EQ(KZ_ReadIntField(letters, 0, 1, -7), -7);

  char dst[8];
  std::memset(dst, 'x', sizeof dst);
  KZ_CopyPadded(dst, "ab", 5);
  EXPECT_STREQ(dst, "ab   ");
  KZ_CopyPadded(dst, "abcdefgh", 4);
  EXPECT_STREQ(dst, "abcd");
}

TEST(NumberText, CompactForms) {
  struct Case {
    double v;
    const char* text;
  };
  const Case cases[] = {
      {0.5, ".5"},           {2.5, "2.5"},
      {3.0, "3."},           {0.0, "0"},
      {100, "100."},         {123456.7, "1.235e+05"},
      {1e-6, "1e-06"},       {-2.25, "-2.25"},
      {0.000012, ".000012"}, {-1234567, "-1.235e+06"},
      {1e200, "1e+200"},
  };
  for (const Case& c : cases) EXPECT_EQ(KZ_NumberText(c.v), c.text) << c.v;
}

TEST(ReadDataLine, SkipsCommentsAndBlankLinesWithEitherLineEnd) {
  const std::string text =
      "# header\r\n"
      "\r\n"
      "  / comment\n"
      "\t! bang\n"
      "%pct\n"
      "*star\n"
      "  first 1 2\r\n"
      "second\n"
      "[END] rest\n"
      "after\n";
  for (bool crlf : {false, true}) {
    std::string body = text;
    if (!crlf) {
      std::string lf;
      for (char c : body)
        if (c != '\r') lf += c;
      body = lf;
    }
    plat::File f;
    ASSERT_TRUE(f.OpenMemory(std::vector<BYTE>(body.begin(), body.end()), true));
    char buf[64];
    ASSERT_EQ(KZ_ReadDataLine(buf, &f, sizeof buf), 1);
    EXPECT_STREQ(buf, "  first 1 2");
    ASSERT_EQ(KZ_ReadDataLine(buf, &f, sizeof buf), 1);
    EXPECT_STREQ(buf, "second");
    EXPECT_EQ(KZ_ReadDataLine(buf, &f, sizeof buf), 0);
    EXPECT_STREQ(buf, "[END] rest\n");
  }
}

TEST(ReadDataLine, EndOfFileKeepsTheLastLine) {
  const std::string path = tv_test::TmpPath("lines.txt");
  {
    plat::File w;
    ASSERT_TRUE(w.Open(path, "wt"));
    w.Puts("a\nlast");
  }
  plat::File f;
  ASSERT_TRUE(f.Open(path, "rt"));
  char buf[16];
  EXPECT_EQ(KZ_ReadDataLine(buf, &f, sizeof buf), 1);
  EXPECT_STREQ(buf, "a");
  EXPECT_EQ(KZ_ReadDataLine(buf, &f, sizeof buf), 1);
  EXPECT_STREQ(buf, "last");  // no line end to remove
  EXPECT_EQ(KZ_ReadDataLine(buf, &f, sizeof buf), 0);
  EXPECT_STREQ(buf, "last");
  plat::File closed;
  EXPECT_EQ(KZ_ReadDataLine(buf, &closed, sizeof buf), 0);
  EXPECT_EQ(KZ_ReadDataLine(buf, nullptr, sizeof buf), 0);
}
