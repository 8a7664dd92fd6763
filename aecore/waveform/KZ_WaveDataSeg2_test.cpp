#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <sstream>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/AEWaveSeg2.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "aecore/waveform/Seg2TestFile.h"
#include "platform/ByteOrder.h"
#include "platform/Strings.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::testing::ScriptedUi;
using tv_test::ReadBytes;
using tv_test::ReadText;
using tv_test::TmpDir;
using tv_test::WriteBytes;

namespace {

const char* const kSample =
    TV_SOURCE_DIR "/aecore/waveform/testdata/seg2/20130107_103041000.CET.3c.cont.0.seg2";
const char* const kSampleDat =
    TV_SOURCE_DIR "/aecore/waveform/testdata/seg2/20130107_103041000.CET.3c.cont.0.DAT";

using Trace = tv_test::Seg2Trace;
using tv_test::BuildSeg2;

Trace F32Trace(std::vector<float> v, std::vector<std::string> strings = {}) {
  Trace t;
  t.format = 4;
  t.strings = std::move(strings);
  t.samples = static_cast<std::uint32_t>(v.size());
  t.data.resize(4 * v.size());
  for (std::size_t i = 0; i < v.size(); ++i) le::PutF32(t.data.data() + 4 * i, v[i]);
  return t;
}

// Runs the independent reader on a file; empty when Debian's Python is not there.
std::string PythonRead(const std::string& path) {
  if (!fs::exists("/usr/bin/python3")) return {};
  std::string cmd =
      "/usr/bin/python3 " TV_SOURCE_DIR "/tools/seg2/seg2_read.py '" + path + "' 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

TEST(KZSeg2Read, SampleFileKeepsEachTracesOwnScale) {
  KZ_WaveDataSeg2 w;
  ASSERT_EQ(w.Load(kSample, 1, 0, 0), 1);
  ASSERT_EQ(w.Count(), 3);
  EXPECT_EQ(w.m_header.nChannels, 3);
  EXPECT_STREQ(w.m_header.szDate, "07/JAN/2013");
  EXPECT_STREQ(w.m_header.szTime, "10:30:41");  // not its ACQUISITION_TIME_UTC
  EXPECT_STREQ(w.m_header.szUnits, "METERS");
  EXPECT_EQ(std::string(w.m_header.szNote).rfind("Start: ", 0), 0u);  // replaces "Comment"
  const double sums[] = {-867, -885, -856};
  const double factors[] = {2.17378e-05, 2.19941e-05, 2.14815e-05};
  for (int c = 0; c < 3; ++c) {
    const KZ_WaveTrace& t = *w.GetTrace(c);
    EXPECT_EQ(t.m_n, 2000);
    EXPECT_EQ(t.m_nFormat, 2);
    EXPECT_DOUBLE_EQ(t.m_fInterval, 0.001);
    EXPECT_DOUBLE_EQ(t.m_fDescale, factors[c]);
    EXPECT_EQ(std::accumulate(t.m_pData.begin(), t.m_pData.begin() + t.m_n, 0.0), sums[c]);
  }
  std::istringstream dat(ReadText(kSampleDat));
  for (int i = 0; i < 2000; ++i) {
    for (int c = 0; c < 3; ++c) {
      double v = 0;
      ASSERT_TRUE(dat >> v);
      const KZ_WaveTrace& t = *w.GetTrace(c);
      ASSERT_NEAR(t.m_pData[i] * t.m_fDescale * 1000, v, 1e-7 + 1e-7 * std::fabs(v))
          << i << " " << c;
    }
  }
  // A range of traces; a second load into a container with channels keeps its header.
  KZ_WaveDataSeg2 part;
  ASSERT_EQ(part.Load(kSample, 1, 2, 3), 1);
  EXPECT_EQ(part.Count(), 2);
  EXPECT_DOUBLE_EQ(part.GetTrace(0)->m_fDescale, factors[1]);
  std::strcpy(part.m_header.szDate, "kept");
  ASSERT_EQ(part.Load(kSample, 0, 1, 1), 1);
  EXPECT_EQ(part.Count(), 3);
  EXPECT_STREQ(part.m_header.szDate, "kept");
}

// Data format code 3 against the SEG-D definition of the 20-bit word: a 16-bit one's
// complement mantissa (sign bit set: minus the inverted other 15 bits) times 2 to the
// 4-bit exponent. Every exponent meets every kind of mantissa, and a last group holds
// only two samples.
TEST(KZSeg2Read, Float20GroupsFollowTheOnesComplementDefinition) {
  const std::uint16_t words[] = {0x0000, 0x0001, 0x7FFF, 0x8000, 0xFFFF, 0xFFFE, 0x1234, 0xEDCB};
  std::vector<std::uint16_t> mantissa;
  std::vector<int> exponent;
  for (int e = 0; e < 16; ++e)
    for (std::uint16_t w : words) {
      mantissa.push_back(w);
      exponent.push_back(e);
    }
  mantissa.insert(mantissa.end(), {0x8001, 0x0003});
  exponent.insert(exponent.end(), {15, 0});
  const std::size_t n = mantissa.size();  // 130: 32 full groups and one of two
  Trace t;
  t.format = 3;
  t.samples = static_cast<std::uint32_t>(n);
  t.data.assign((n + 3) / 4 * 10, 0);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t* group = t.data.data() + i / 4 * 10;
    le::PutU16(group, static_cast<std::uint16_t>(le::GetU16(group) | exponent[i] << (4 * (i % 4))));
    le::PutU16(group + 2 + 2 * (i % 4), mantissa[i]);
  }
  t.data.resize(n / 4 * 10 + 2 + 2 * (n % 4));  // the last group stops after its samples
  const std::string dir = TmpDir("kz_seg2_float20");
  WriteBytes(dir + "/f.seg", BuildSeg2({}, {t}));
  KZ_WaveDataSeg2 w;
  ASSERT_EQ(w.Load(dir + "/f.seg", 1, 0, 0), 1);
  ASSERT_EQ(w.Count(), 1);
  ASSERT_EQ(w.GetTrace(0)->m_n, static_cast<int>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint16_t m = mantissa[i];
    const double value = (m & 0x8000) ? -static_cast<double>(~m & 0x7FFF) : static_cast<double>(m);
    EXPECT_EQ(w.GetTrace(0)->m_pData[i], static_cast<float>(value * std::pow(2.0, exponent[i])))
        << "sample " << i << " word " << m << " exponent " << exponent[i];
  }
}

TEST(KZSeg2Read, KeywordsAndFloatCodes) {
  // Code 3: one group of four samples; exponents 3, 0, 1, 15 (lowest nibble first).
  Trace t3;
  t3.format = 3;
  t3.samples = 4;
  t3.data.resize(10);
  le::PutU16(t3.data.data(), 0xF103);
  const std::int16_t mantissas[] = {-1, 7, -300, 1};
  for (int i = 0; i < 4; ++i) le::PutI16(t3.data.data() + 2 + 2 * i, mantissas[i]);
  t3.strings = {"SAMPLE_INTERVAL 0", "UNIT mV", "rotation 9 9", "TIME_BEGIN 2456300.25"};
  Trace t5;
  t5.format = 5;
  t5.samples = 2;
  t5.data.resize(16);
  const double d[] = {1.25e30, -3.5};
  std::memcpy(t5.data.data(), d, 16);
  t5.strings = {"RECEIVER_LOCATION 1.5 -2 3", "PICKUP 12 34", "AMPPICKUP -4.5", "STACK 3",
                "LINE_ID L7"};
  Trace t9 = F32Trace({1, 2}, {"CHANNEL_NUMBER 5"});
  t9.format = 9;  // unknown: zeros
  const auto bytes =
      BuildSeg2({"rotation 3 4", "TIME_SEC_USEC 12 345", "NUMBER_SOURCES 2"}, {t3, t5, t9});
  const std::string dir = TmpDir("kz_seg2_codes");
  WriteBytes(dir + "/a.seg", bytes);
  KZ_WaveDataSeg2 w;
  ASSERT_EQ(w.Load(dir + "/a.seg", 1, 0, 0), 1);
  ASSERT_EQ(w.Count(), 3);
  EXPECT_EQ(w.m_header.nRotation[0], 3);
  EXPECT_EQ(w.m_header.nRotation[1], 4);
  EXPECT_EQ(w.m_header.nStartSec, 12);
  EXPECT_EQ(w.m_header.nStartUsec, 345);
  EXPECT_EQ(w.m_header.nSources, 2);
  EXPECT_STREQ(w.m_header.szUnits, "NONE");
  const KZ_WaveTrace& a = *w.GetTrace(0);
  EXPECT_EQ(a.m_pData[0], 0.0f);  // one's complement: 0xFFFF is a negative zero
  EXPECT_EQ(a.m_pData[1], 7.0f);
  EXPECT_EQ(a.m_pData[2], -598.0f);
  EXPECT_EQ(a.m_pData[3], 32768.0f);
  EXPECT_EQ(a.m_fInterval, 1.0);  // 0 becomes 1
  EXPECT_STREQ(a.m_szUnit, "mV");
  EXPECT_EQ(a.m_nChannel, 1);
  const KZ_WaveTrace& b = *w.GetTrace(1);
  EXPECT_EQ(b.m_pData[0], 1.25e30f);
  EXPECT_EQ(b.m_pData[1], -3.5f);
  EXPECT_EQ(b.m_fInterval, 0.01);  // none given: the default
  EXPECT_EQ(b.m_fReceiver[0], 1.5);
  EXPECT_EQ(b.m_fReceiver[1], -2.0);
  EXPECT_EQ(b.m_nPick, 12);
  EXPECT_EQ(b.m_nPick2, 34);
  EXPECT_EQ(b.m_nPolarity, -1);
  EXPECT_EQ(b.m_nStack, 3);
  EXPECT_STREQ(b.m_szLineId, "L7");
  // JD 2456293.5 is 2013-01-01 00:00 UTC.
  EXPECT_EQ(std::string(w.m_header.szNote), "Start: 2013/01/07 18:00:00(UTC)");
  const KZ_WaveTrace& c = *w.GetTrace(2);
  EXPECT_EQ(c.m_nChannel, 5);
  EXPECT_EQ(c.m_pData[0], 0.0f);
}

// Codes 1, 2, 4 and 5 built by hand: every sample as the file holds it, the array padded
// with zeros to the trace's capacity. The long traces span several of the reader's 64 KB
// chunks, with a part-filled last one.
TEST(KZSeg2Read, IntegerAndFloatCodesLoadAsWritten) {
  auto value = [](int code, int i) -> double {
    if (i == 0) return code == 1 ? -32768 : code == 2 ? -2147483647.0 - 1 : -3.25e38;
    if (i == 1) return code == 1 ? 32767 : code == 2 ? 2147483647.0 : 1.5e-38;
    return (i * 7919 % 2001) - 1000 + (code >= 4 ? 0.375 : 0);
  };
  const int codes[] = {1, 2, 4, 5};
  for (const int kN : {300, 40001}) {
    SCOPED_TRACE(kN);
    std::vector<Trace> traces;
    for (int code : codes) {
      Trace t;
      t.format = code;
      t.samples = kN;
      const int size = code == 1 ? 2 : code == 5 ? 8 : 4;
      t.data.resize(static_cast<std::size_t>(size) * kN);
      for (int i = 0; i < kN; ++i) {
        std::uint8_t* p = t.data.data() + static_cast<std::size_t>(size) * i;
        if (code == 1)
          le::PutI16(p, static_cast<std::int16_t>(value(code, i)));
        else if (code == 2)
          le::PutU32(p, static_cast<std::uint32_t>(static_cast<std::int32_t>(value(code, i))));
        else if (code == 4)
          le::PutF32(p, static_cast<float>(value(code, i)));
        else
          le::PutF64(p, value(code, i));
      }
      traces.push_back(t);
    }
    const std::string dir = TmpDir("kz_seg2_int_codes");
    WriteBytes(dir + "/a.seg", BuildSeg2({}, traces));
    KZ_WaveDataSeg2 w;
    ASSERT_EQ(w.Load(dir + "/a.seg", 1, 0, 0), 1);
    ASSERT_EQ(w.Count(), 4);
    const int capacity = (kN + 255) / 256 * 256;
    for (int k = 0; k < 4; ++k) {
      SCOPED_TRACE(codes[k]);
      const KZ_WaveTrace& t = *w.GetTrace(k);
      ASSERT_EQ(t.m_n, kN);
      ASSERT_EQ(t.m_nCapacity, capacity);
      ASSERT_EQ(t.m_pData.size(), static_cast<std::size_t>(capacity));
      EXPECT_EQ(t.m_nFormat, codes[k]);
      int wrong = 0;
      for (int i = 0; i < kN; ++i) wrong += t.m_pData[i] != static_cast<float>(value(codes[k], i));
      EXPECT_EQ(wrong, 0);
      EXPECT_TRUE(
          std::all_of(t.m_pData.begin() + kN, t.m_pData.end(), [](float v) { return v == 0; }));
    }
  }
}

TEST(KZSeg2Read, DamagedFilesAppendNothing) {
  const auto good =
      BuildSeg2({"NOTE x"}, {F32Trace({1, 2, 3}, {"SAMPLE_INTERVAL 0.5"}), F32Trace({4, 5, 6})});
  std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases;
  for (std::size_t cut : {0, 10, 31, 40, 60, 90})
    cases.push_back({"cut", {good.begin(), good.begin() + cut}});
  cases.push_back({"last sample cut", {good.begin(), good.end() - 1}});
  auto pointers = good;
  le::PutU16(pointers.data() + 6, 5000);  // more pointers than the block holds
  cases.push_back({"pointers", pointers});
  auto far = good;
  le::PutU32(far.data() + 36, 0xFFFFFFF0u);
  cases.push_back({"pointer past the end", far});
  auto many = good;
  const std::uint32_t p1 = le::GetU32(good.data() + 36);
  le::PutU32(many.data() + p1 + 8, 0x7FFFFFFFu);
  cases.push_back({"sample count", many});
  auto magic = good;
  magic[0] = 0;
  cases.push_back({"magic", magic});
  const std::string dir = TmpDir("kz_seg2_damaged");
  for (const auto& [name, bytes] : cases) {
    WriteBytes(dir + "/d.sg2", bytes);
    KZ_WaveDataSeg2 w;
    EXPECT_EQ(w.Load(dir + "/d.sg2", 1, 0, 0), 0) << name;
    EXPECT_EQ(w.Count(), 0) << name;
  }
  // Lengths below 2 and texts past their block end the string list, not the file.
  auto strings = good;
  const std::uint32_t p0 = le::GetU32(good.data() + 32);
  le::PutU16(strings.data() + p0 + 32, 1);
  le::PutU16(strings.data() + 32 + 8, 200);
  WriteBytes(dir + "/s.sg2", strings);
  KZ_WaveDataSeg2 w;
  ASSERT_EQ(w.Load(dir + "/s.sg2", 1, 0, 0), 1);
  EXPECT_EQ(w.GetTrace(0)->m_fInterval, 0.01);
  EXPECT_EQ(w.GetTrace(1)->m_pData[2], 6.0f);
  // A wrong trace identifier ends the list; the traces before it stay.
  auto id = good;
  le::PutU16(id.data() + p1, 0x1111);
  WriteBytes(dir + "/i.sg2", id);
  KZ_WaveDataSeg2 w2;
  ASSERT_EQ(w2.Load(dir + "/i.sg2", 1, 0, 0), 1);
  EXPECT_EQ(w2.Count(), 1);
}

KZ_WaveDataSeg2& Fill(KZ_WaveDataSeg2& w) {
  std::strcpy(w.m_header.szDate, "10/DEC/2026");
  std::strcpy(w.m_header.szTime, "14:05:07");
  std::strcpy(w.m_header.szNote, "note text");
  std::strcpy(w.m_header.szComments, "a comment");
  w.m_header.nRotation[0] = 2;
  w.m_header.nRotation[1] = 3;
  w.m_header.nStartSec = 70000;
  w.m_header.nStartUsec = 250;
  for (int c = 0; c < 2; ++c) {
    auto t = std::make_unique<KZ_WaveTrace>(12);
    for (int i = 0; i < 12; ++i) t->m_pData[i] = (c ? -1.0f : 1.0f) * (i * 1000.5f - 3.25f);
    t->m_fInterval = 1e-6;
    t->m_fDescale = 0.125 * (c + 1);
    t->m_fDelay = 0.5;
    t->m_nPick = 5;
    t->m_nPick2 = 2;
    t->m_fPickAmp = 3.5;
    std::strcpy(t->m_szLineId, c ? "B" : "A");
    std::strcpy(t->m_szUnit, "V");
    t->m_fTimeBegin = 2461385.25;
    w.AddTrace(std::move(t));
  }
  return w;
}

TEST(KZSeg2Write, IndependentReaderGetsSamplesAndKeywords) {
  const std::string dir = TmpDir("kz_seg2_write");
  struct Case {
    const char* name;
    int code, first, count;
    std::size_t fileStrings, traceStrings;
  } cases[] = {{"a.sg2", 4, 0, 0, 13, 16},
               {"b.seg", 4, 0, 0, 5, 9},
               {"c.SG2", 2, 0, 0, 13, 16},
               {"d.sg2", 1, 0, 0, 13, 16},
               {"e.sg2", 4, 3, 6, 13, 16}};
  for (const Case& c : cases) {
    KZ_WaveDataSeg2 w;
    Fill(w);
    const std::string path = dir + "/" + c.name;
    ASSERT_EQ(w.SaveSeg2(path, c.first, c.count, c.code), 1) << c.name;
    const auto lines = Lines(PythonRead(path));
    if (lines.empty()) GTEST_SKIP() << "no /usr/bin/python3";
    ASSERT_EQ(lines[0], "traces 2") << PythonRead(path);
    std::size_t files = 0, traces = 0;
    std::vector<std::string> data;
    for (const auto& l : lines) {
      files += l.rfind("file ", 0) == 0;
      traces += l.rfind("string ", 0) == 0;
      if (l.rfind("data", 0) == 0) data.push_back(l);
    }
    EXPECT_EQ(files, c.fileStrings) << c.name;
    EXPECT_EQ(traces, 2 * c.traceStrings) << c.name;
    const std::string text = PythonRead(path);
    EXPECT_NE(text.find("file ACQUISITION_DATE 10/DEC/2026\n"), std::string::npos);
    EXPECT_NE(
        text.find(plat::Format("trace 0 samples %d format %d\n", c.count ? c.count : 12, c.code)),
        std::string::npos);
    EXPECT_NE(text.find(plat::Format("string DELAY %f\n", 0.5 + c.first * 1e-6)),
              std::string::npos);
    EXPECT_NE(text.find("string DESCALING_FACTOR 2.500000e-01\n"), std::string::npos);
    if (c.fileStrings == 13) {
      EXPECT_NE(text.find("file ROTATION 2 3\n"), std::string::npos);
      EXPECT_NE(text.find("file TIME_SEC_USEC 70000 250\n"), std::string::npos);
      EXPECT_NE(
          text.find(plat::Format("string PICKUP %d %d\n", 5 - c.first, std::max(2 - c.first, 0))),
          std::string::npos);
      EXPECT_NE(text.find("string UNIT V\n"), std::string::npos);
    }
    // Samples as the independent reader sees them, against what was meant.
    ASSERT_EQ(data.size(), 2u);
    KZ_WaveDataSeg2 back;
    ASSERT_EQ(back.Load(path, 1, 0, 0), 1);
    for (int ch = 0; ch < 2; ++ch) {
      std::istringstream in(data[ch].substr(4));
      const int n = c.count ? c.count : 12;
      for (int i = 0; i < n; ++i) {
        double v = 0;
        ASSERT_TRUE(in >> v);
        const float orig = w.GetTrace(ch)->m_pData[c.first + i];
        const double want = c.code == 4 ? orig : std::trunc(static_cast<double>(orig));
        EXPECT_EQ(v, want) << c.name << " " << ch << " " << i;
        EXPECT_EQ(back.GetTrace(ch)->m_pData[i], static_cast<float>(want));
      }
      EXPECT_STREQ(back.GetTrace(ch)->m_szLineId, ch ? "B" : "A");
      EXPECT_DOUBLE_EQ(back.GetTrace(ch)->m_fDescale, 0.125 * (ch + 1));
    }
  }
}

TEST(KZSeg2Write, Code1ClampsWithOneWarningAndFailuresKeepTheOldFile) {
  const std::string dir = TmpDir("kz_seg2_clamp");
  KZ_WaveDataSeg2 w;
  w.AddTrace(std::make_unique<KZ_WaveTrace>(4));
  w.GetTrace(0)->m_pData[0] = 40000.0f;
  w.GetTrace(0)->m_pData[1] = -40000.0f;
  w.GetTrace(0)->m_pData[2] = -7.9f;
  {
    ScriptedUi ui;
    ASSERT_EQ(w.SaveSeg2(dir + "/c.sg2", 0, 0, 1), 1);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find("2 samples"), std::string::npos);
  }
  KZ_WaveDataSeg2 back;
  ASSERT_EQ(back.Load(dir + "/c.sg2", 1, 0, 0), 1);
  EXPECT_EQ(back.GetTrace(0)->m_pData[0], 32767.0f);
  EXPECT_EQ(back.GetTrace(0)->m_pData[1], -32768.0f);
  EXPECT_EQ(back.GetTrace(0)->m_pData[2], -7.0f);

  const auto before = ReadBytes(dir + "/c.sg2");
  EXPECT_EQ(w.SaveSeg2(dir + "/c.sg2", 2, 10, 4), 0);  // range past the trace
  EXPECT_EQ(w.SaveSeg2(dir + "/c.sg2", 0, 0, 3), 0);   // not a code we write
  EXPECT_EQ(ReadBytes(dir + "/c.sg2"), before);
  EXPECT_EQ(w.SaveSeg2(dir + "/missing/c.sg2", 0, 0, 4), 0);
  EXPECT_EQ(fs::directory_iterator(dir) == fs::directory_iterator(), false);
  std::size_t files = 0;
  for (auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary file left behind
}

TEST(KZTextFiles, ChannelsTextBreaksAfterNineValues) {
  const std::string dir = TmpDir("kz_text");
  for (int n : {9, 10}) {
    KZ_WaveDataSeg2 w;
    w.AddTrace(std::make_unique<KZ_WaveTrace>(n));
    for (int i = 0; i < n; ++i) w.GetTrace(0)->m_pData[i] = i + 0.5f;
    std::strcpy(w.m_header.szDate, "D");
    const std::string path = dir + "/t.txt";
    ASSERT_EQ(KZ_WriteChannelsText(path, w.m_header, w.m_traces, 0, 0), 1);
    const std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("ACQUISITION_DATE D\n", 0), 0u);
    EXPECT_NE(text.find("CHANNELS 1\nCHANNEL_NUMBER 0\n"), std::string::npos);
    const std::size_t at = text.find("SAMPLES " + std::to_string(n) + "\n");
    ASSERT_NE(at, std::string::npos);
    std::string expected =
        "0.500000 1.500000 2.500000 3.500000 4.500000 5.500000 6.500000 7.500000 8.500000 \n";
    if (n == 10) expected += "9.500000 \n";
    EXPECT_EQ(text.substr(at + 10 + (n >= 10)), expected);
  }
}

TEST(KZTextFiles, TxtTabRowsAndColumns) {
  const std::string dir = TmpDir("kz_txttab");
  KZ_WaveDataSeg2 w;
  Fill(w);
  w.GetTrace(1)->Resize(8);  // the shortest trace limits the rows
  w.m_header.nStartUsec = 42;
  const std::string path = dir + "/t.txt";
  ASSERT_EQ(KZ_WriteTxtTab(path, w.m_header, w.m_traces, 0, 0), 1);
  const auto lines = Lines(ReadText(path));
  ASSERT_EQ(lines.size(), 1u + 7 + 1 + 12 + 8);
  EXPECT_EQ(lines[0], "TXT-TAB\t2\t8");
  EXPECT_EQ(lines[1], "DATE\t10/DEC/2026");
  EXPECT_EQ(lines[8], "LAPSE\t70000.000042");
  EXPECT_EQ(lines[9], "LINE-ID\tA\tB");
  EXPECT_EQ(lines[18], "DELAY\t0.500000\t0.500000");
  EXPECT_EQ(lines[20], "SAMPLES\t8\t8");
  EXPECT_EQ(lines[22], "    1\t997.250000\t-997.250000");
  // A range: rows first.. and the delay moved by first intervals.
  ASSERT_EQ(KZ_WriteTxtTab(path, w.m_header, w.m_traces, 2, 3), 1);
  const auto part = Lines(ReadText(path));
  EXPECT_EQ(part[0], "TXT-TAB\t2\t3");
  EXPECT_EQ(part[18], "DELAY\t0.500002\t0.500002");
  EXPECT_EQ(part[21], "    0\t1997.750000\t-1997.750000");
  EXPECT_EQ(KZ_WriteTxtTab(path, w.m_header, w.m_traces, 6, 3), 0);
  EXPECT_EQ(KZ_WriteTxtTab(dir + "/no/t.txt", w.m_header, w.m_traces, 0, 0), 0);
}

}  // namespace
