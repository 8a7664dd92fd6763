#include "aecore/waveform/AEWaveGse2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/KZ_WaveData.h"

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

TEST(GSE2Write, MessageColumnsSamplesAndNames) {
  const std::string dir = TmpDir("gse2_write");
  KZ_WaveHeader h;
  KZ_ResetWaveHeader(h);
  std::strcpy(h.szDate, "2026/12/10");
  std::strcpy(h.szTime, "14:05:07");
  std::vector<std::unique_ptr<KZ_WaveTrace>> traces;
  for (int c = 0; c < 2; ++c) {
    auto t = std::make_unique<KZ_WaveTrace>(1200);
    for (int i = 0; i < 1200; ++i)
      t->m_pData[i] = static_cast<float>((i * 37 + c * 11) % 501 - 250) + 0.7f;
    t->m_fInterval = 0.01;
    t->m_fDescale = 2e-6;
    std::strcpy(t->m_szLineId, c ? "ST02" : "ST01:BHZ");  // the second without a channel
    t->m_fReceiver[0] = 12.5;
    t->m_fReceiver[1] = -3.25;
    traces.push_back(std::move(t));
  }
  // First 250 moves to 200 (whole seconds at 100 Hz): the segment starts 2 s later, and
  // 5000 requested samples are cut to the 1000 left.
  ASSERT_TRUE(WriteGSE2(dir + "/ignored.gse", h, traces, 250, 5000, "CM6"));
  const std::string name = dir + "/202612101405.GSE";
  ASSERT_TRUE(fs::exists(name));
  std::vector<std::string> wid2, sta2;
  std::istringstream in(ReadText(name));
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "BEGIN GSE2.1");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("WID2", 0) == 0) wid2.push_back(line);
    if (line.rfind("STA2", 0) == 0) sta2.push_back(line);
  }
  ASSERT_EQ(wid2.size(), 2u);
  // GSE2.1 WID2 columns (1-based): date 6-15, time 17-28, station 30-34, channel 36-38,
  // data type 45-47, samples 49-56, rate 58-68, calib 70-79, calper 81-87, hang 96-100,
  // vang 102-105.
  auto col = [](const std::string& l, int a, int b) { return l.substr(a - 1, b - a + 1); };
  const std::string& w = wid2[0];
  EXPECT_EQ(col(w, 6, 15), "2026/12/10");
  EXPECT_EQ(col(w, 17, 28), "14:05:09.000");
  EXPECT_EQ(col(w, 30, 34), "ST01 ");
  EXPECT_EQ(col(w, 36, 38), "BHZ");
  EXPECT_EQ(col(w, 45, 47), "CM6");
  EXPECT_EQ(std::stoi(col(w, 49, 56)), 1000);
  EXPECT_DOUBLE_EQ(std::stod(col(w, 58, 68)), 100.0);
  EXPECT_NEAR(std::stod(col(w, 70, 79)), 2e-6 * 500000 / M_PI, 0.005);
  EXPECT_DOUBLE_EQ(std::stod(col(w, 81, 87)), 1.0);
  EXPECT_DOUBLE_EQ(std::stod(col(w, 96, 100)), -1.0);
  EXPECT_DOUBLE_EQ(std::stod(col(w, 102, 105)), -1.0);
  EXPECT_EQ(col(wid2[1], 30, 34), "ST02 ");
  EXPECT_NE(sta2[0].find(" -3.25000   12.50000 "), std::string::npos) << sta2[0];

  // Another export of the same minute gets the next free name.
  ASSERT_TRUE(WriteGSE2(dir + "/x.gse", h, traces, 210, 10, "CM6"));
  EXPECT_TRUE(fs::exists(dir + "/202612101405_1.GSE"));
  EXPECT_FALSE(WriteGSE2(dir + "/no/such/x.gse", h, traces, 0, 10, "CM6"));

  const Decoded d = PythonDecode(name);
  if (d.sections.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  ASSERT_EQ(d.sections.size(), 2u);
  for (int c = 0; c < 2; ++c) {
    std::vector<std::int32_t> want;
    for (int i = 200; i < 1200; ++i)
      want.push_back(static_cast<std::int32_t>(traces[c]->m_pData[i]));
    EXPECT_EQ(d.sections[c], want);
  }
  std::istringstream again(ReadText(name));
  std::vector<int> chk;
  for (std::string line; std::getline(again, line);)
    if (line.rfind("CHK2 ", 0) == 0) chk.push_back(std::stoi(line.substr(5)));
  EXPECT_EQ(chk, d.checksums);
}

}  // namespace
