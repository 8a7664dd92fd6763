#include "aecore/waveform/AEWaveGse2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "aecore/aecore_test_support.h"

namespace fs = std::filesystem;
using tv_test::ReadText;
using tv_test::TmpDir;

namespace {

const std::string kData = TV_SOURCE_DIR "/aecore/waveform/testdata/gse2/";

struct Decoded {
  std::vector<std::vector<std::int32_t>> sections;
  std::vector<int> checksums;
};

// Runs the independent decoder; no sections when Debian's Python is not there.
Decoded PythonDecode(const std::string& path) {
  Decoded d;
  if (!fs::exists("/usr/bin/python3")) return d;
  const std::string cmd =
      "/usr/bin/python3 " TV_SOURCE_DIR "/tools/gse2/cm6.py decode '" + path + "' 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::istringstream l(line);
    std::string key;
    l >> key;
    if (key == "chk2") {
      int c = 0;
      l >> c;
      d.checksums.push_back(c);
    } else if (key == "data") {
      d.sections.emplace_back();
      for (std::int32_t v; l >> v;) d.sections.back().push_back(v);
    }
  }
  return d;
}

// The CM6 characters of the first DAT2 section, line breaks and line padding removed.
std::string CM6Text(const std::string& path) {
  std::istringstream in(ReadText(path));
  std::string text, line;
  while (std::getline(in, line) && line.rfind("DAT2", 0) != 0) {
  }
  while (std::getline(in, line) && line.rfind("CHK2", 0) != 0) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    text += line;
  }
  return text;
}

TEST(GSE2CM6, SampleMessageIsReproduced) {
  const Decoded d = PythonDecode(kData + "loc_RJOB20050831023349.z");
  if (d.sections.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  const std::vector<std::int32_t>& s = d.sections[0];
  ASSERT_EQ(s.size(), 12000u);
  EXPECT_EQ(std::vector<std::int32_t>(s.begin(), s.begin() + 13),
            (std::vector<std::int32_t>{12, -10, 16, 33, 9, 26, 16, 7, 17, 6, 1, 3, -2}));
  EXPECT_EQ(std::vector<std::int32_t>(s.end() - 4, s.end()),
            (std::vector<std::int32_t>{6, 8, 0, -40}));
  EXPECT_EQ(*std::min_element(s.begin(), s.end()), -84);
  EXPECT_EQ(*std::max_element(s.begin(), s.end()), 103);
  EXPECT_EQ(d.checksums[0], 720);
  EXPECT_EQ(GSE2_Checksum(s.data(), static_cast<int>(s.size())), 720);
  std::string packed;
  ASSERT_TRUE(PackCM6(s.data(), static_cast<int>(s.size()), packed, 2));
  EXPECT_EQ(packed, CM6Text(kData + "loc_RJOB20050831023349.z"));

  const Decoded dos = PythonDecode(kData + "loc_RJOB20050831023349_first100_dos.z");
  ASSERT_EQ(dos.sections.size(), 1u);
  EXPECT_EQ(dos.sections[0], std::vector<std::int32_t>(s.begin(), s.begin() + 100));
  EXPECT_EQ(GSE2_Checksum(s.data(), 100), 350);
  packed.clear();
  ASSERT_TRUE(PackCM6(s.data(), 100, packed, 2));
  EXPECT_EQ(packed, CM6Text(kData + "loc_RJOB20050831023349_first100_dos.z"));
}

TEST(GSE2CM6, SingleValuesByTheCharacterTable) {
  // Without differencing: four bits (and the sign) in the first character, then five.
  struct Case {
    std::int32_t v;
    const char* text;
  } cases[] = {{0, "+"},    {1, "-"},   {-1, "F"},  {15, "D"},   {-15, "T"},    {16, "UE"},
               {-16, "kE"}, {31, "UT"}, {32, "V+"}, {-32, "l+"}, {1023, "UzT"}, {1024, "VU+"}};
  for (const Case& c : cases) {
    std::string out = "x";
    ASSERT_TRUE(PackCM6(&c.v, 1, out, 0));
    EXPECT_EQ(out, std::string("x") + c.text) << c.v;
  }
  const std::int32_t tooLarge[] = {0, 1 << 29};
  std::string out;
  EXPECT_FALSE(PackCM6(tooLarge, 2, out, 0));
  EXPECT_TRUE(out.empty());
}

TEST(GSE2CM6, WrittenSamplesDecodeToThemselves) {
  std::vector<float> v = {0,     1,        -1,        15,   -15,     16,     -16,
                          31,    -31,      32,        -32,  1023,    -1023,  1024,
                          -1024, 65535.9f, -70000.2f, 1e8f, -1.2e8f, 3.0e7f, 0};
  for (int i = 0; i < 200; ++i) v.push_back(static_cast<float>((i * 7919) % 4001 - 2000));
  const std::string dir = TmpDir("gse2_cm6");
  const std::string path = dir + "/a.gse";
  {
    plat::File f;
    ASSERT_TRUE(f.Open(path, "wt"));
    f.Puts("DAT2\n");
    const int chars = WriteCM6Samples(f, v.data(), static_cast<int>(v.size()));
    EXPECT_GT(chars, 0);
    f.Puts("CHK2 0\n");
  }
  std::istringstream in(ReadText(path));
  for (std::string line; std::getline(in, line);) EXPECT_LE(line.size(), 80u);
  const Decoded d = PythonDecode(path);
  if (d.sections.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  std::vector<std::int32_t> want;
  for (float x : v) want.push_back(static_cast<std::int32_t>(x));
  EXPECT_EQ(d.sections[0], want);
  EXPECT_EQ(GSE2_Checksum(want.data(), static_cast<int>(want.size())), d.checksums[0]);
  // A jump the compression cannot hold is refused with a message, and nothing is written.
  const float jump[] = {0.0f, 4e8f, -4e8f};
  plat::File f;
  ASSERT_TRUE(f.Open(dir + "/b.gse", "wt"));
  EXPECT_EQ(WriteCM6Samples(f, jump, 3), 0);
}

}  // namespace
