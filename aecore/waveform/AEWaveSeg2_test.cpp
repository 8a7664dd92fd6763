#include "aecore/waveform/AEWaveSeg2.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/Seg2TestFile.h"
#include "aecore/catalogue/AEHypo.h"
#include "platform/ByteOrder.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::testing::ScriptedUi;
using tv_test::ReadBytes;
using tv_test::TmpDir;
using tv_test::WriteBytes;

namespace {

using Trace = tv_test::Seg2Trace;
using tv_test::BuildSeg2;

Trace I16Trace(std::vector<std::int16_t> v,
               std::vector<std::string> strings = {"SAMPLE_INTERVAL 0.10"}) {
  Trace t;
  t.strings = std::move(strings);
  t.samples = static_cast<std::uint32_t>(v.size());
  t.data.resize(2 * v.size());
  for (std::size_t i = 0; i < v.size(); ++i) le::PutI16(t.data.data() + 2 * i, v[i]);
  return t;
}

void Fill(CAEWave& w, int channels, int samples) {
  w.Allocate(channels, samples, 10);
  AEWHeader& h = *w.m_pHeader;
  h.nYear = 2026;
  h.nMonth = 12;
  h.nDay = 10;
  h.nHour = 14;
  h.nMinute = 5;
  h.nSecond = 7;
  h.nSec = 51907;
  h.nUsec = 250000;
  h.fScale = 0.5f;
  for (std::size_t i = 0; i < w.m_pSamples.size(); ++i)
    w.m_pSamples[i] = static_cast<std::int16_t>((i * 7919) % 65536 - 32768);
  for (int c = 0; c < channels; ++c) {
    w.m_pPickTime[c] = 12.3f + c;
    w.m_pPickAmp[c] = -200.5f * (c + 1);
    w.m_pPolarity[c] = -1;
    w.m_pPickSN[c] = 3.25f + c;
    w.m_pArrival[c] = channels - 1 - c;
  }
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

std::string DataLine(const CAEWave& w, int c) {
  std::string s = "data";
  const int n = w.m_pHeader->nSamples;
  for (int i = 0; i < n; ++i) {
    s += ' ';
    s += std::to_string(w.m_pSamples[static_cast<std::size_t>(c) * n + i]);
  }
  return s + "\n";
}

}  // namespace

TEST(AEWaveSeg2Test, SavedEventsReadBackAndByTheIndependentReader) {
  std::string dir = TmpDir("roundtrip");
  const std::string path = dir + "/000042.sg2";
  CAEWaveSeg2 w(path);  // no such file yet: the record stays empty
  EXPECT_EQ(w.m_nEvent, 42);
  EXPECT_EQ(w.m_strSuffix, ".sg2");
  EXPECT_EQ(w.m_strFolder, dir + "/");
  EXPECT_EQ(w.GetNumChannels(), 0);
  Fill(w, 3, 50);
  w.m_strPath = path;
  w.m_pHeader->nYear = 99;  // a year that lost its century
  ASSERT_EQ(w.Save(), 1);
  EXPECT_EQ(w.m_pHeader->nYear, 1999);
  EXPECT_EQ(w.m_pHeader->nEvent, 42);

  CAEWaveSeg2 r(path);
  ASSERT_EQ(r.GetNumChannels(), 3);
  EXPECT_EQ(r.m_strPath, path);
  EXPECT_EQ(r.m_pSamples, w.m_pSamples);
  EXPECT_EQ(r.m_pHeader->nRate, 10);
  EXPECT_FLOAT_EQ(r.m_pHeader->fScale, 0.5f);
  EXPECT_EQ(r.m_pHeader->nYear, 1999);
  EXPECT_EQ(r.m_pHeader->nSecond, 7);
  EXPECT_EQ(r.m_pHeader->nSec, 51907);
  EXPECT_EQ(r.m_pHeader->nUsec, 250000);
  EXPECT_EQ(r.m_pHeader->nEvent, 42);
  EXPECT_STREQ(r.m_szComment, "AE#=42");
  for (int c = 0; c < 3; ++c) {
    EXPECT_FLOAT_EQ(r.m_pPickTime[c], 12.3f + c);
    EXPECT_FLOAT_EQ(r.m_pPickAmp[c], -200.5f * (c + 1));
    EXPECT_EQ(r.m_pPolarity[c], -1);
    EXPECT_FLOAT_EQ(r.m_pPickSN[c], 3.25f + c);
    EXPECT_EQ(r.m_pArrival[c], 2 - c);
  }
  // Nothing is left behind by the temporary file of the save.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  const std::string py = PythonRead(path);
  if (py.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  EXPECT_EQ(py.rfind("traces 3\n"
                     "file ACQUISITION_DATE 1999/12/10\n"
                     "file ACQUISITION_TIME 14:05:07.250000\n"
                     "file TIMEUNITS us\n"
                     "file WAVEUNITS V\n"
                     "file COMMENTS AE#=42\n"
                     "file TIME_SEC_USEC 51907 250000\n"
                     "trace 0 samples 50 format 1\n"
                     "string CHANNEL_NUMBER 0\n"
                     "string DELAY 0.0\n"
                     "string DESCALING_FACTOR 0.500000\n"
                     "string SAMPLE_INTERVAL 0.10\n"
                     "string PICKUP 123\n"
                     "string AMPPICKUP -200.5000\n"
                     "string NSRATIO 3.25\n"
                     "string NOTE loc_ind=2\n"
                     "string UNIT V\n"
                     "string TIME_BEGIN ",
                     0),
            0u)
      << py;
  for (int c = 0; c < 3; ++c) EXPECT_NE(py.find(DataLine(w, c)), std::string::npos) << c;
}

TEST(AEWaveSeg2Test, EventFileWithCatalogueDescription) {
  std::string dir = TmpDir("event");
  CAEWave w;
  Fill(w, 4, 20);
  w.m_pHeader->nEvent = 7;
  std::strcpy(w.m_szComment, "found sn=12.5, 3.25 Tpl=17");
  AESensorTable sensors;
  for (int c = 0; c < 4; ++c) {
    sensors.m_pSensorSign[c] = c == 1 ? 0.0f : -1.0f;  // channel 1 has no sensor
    sensors.m_pSensorXYZ[c] = {1.0 * c, 2.0, -3.5};
  }
  for (int c = 0; c < 4; ++c) w.m_pArrival[c] = c;
  AEHRecord rec{};
  rec.nMecType = 1;
  rec.fVx = 5.5f;
  rec.fStrike = 30;
  rec.fMw = -7.25f;
  rec.nArrivals = 3;
  rec.nFlags = AEH_FLAG_DETECTED | AEH_FLAG_LOCATED;
  rec.fCC = 0.875f;
  rec.fX = 1.5f;
  const std::string path = dir + "/000007.sg2";
  ASSERT_EQ(w.SaveSeg2Event(path, rec, sensors), 1);
  EXPECT_EQ(w.m_pArrival[2], 1);  // one left-out channel below it
  EXPECT_EQ(w.m_pArrival[0], 0);

  CAEWaveSeg2 r(path);
  ASSERT_EQ(r.GetNumChannels(), 3);
  EXPECT_EQ(r.m_pSamples[20], w.m_pSamples[40]);  // trace 1 is channel 2
  EXPECT_STREQ(r.m_szComment,
               "AE#=7, Mw=-7.25, Fc=0.0000, x=1.50, y=0.00, z=0.00, t0=0.00, dX=0.00, dY=0.00, "
               "dZ=0.00, dT=0.00, "
               "M=03, type=17, CC=0.88, sn1=12.50, sn2=3.25, Tpl=17");
  const std::string py = PythonRead(path);
  if (py.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  EXPECT_NE(py.find("file NOTE Vx=5.50, Vy=0.00, Vz=0.00, fm=1(S), iso=0.00, vlcd=0.00, SDR=(  30, "
                    "   0,    0)\n"),
            std::string::npos)
      << py;
  EXPECT_NE(
      py.find("string DESCALING_FACTOR 0.500000\nstring RECEIVER_LOCATION 2.0000 2.0000 -3.5000\n"
              "string SAMPLE_INTERVAL 0.10\nstring SOURCE_LOCATION 1.5000 0.0000 0.0000 0.0000\n"),
      std::string::npos);
  EXPECT_NE(py.find("string CHANNEL_NUMBER 3\n"), std::string::npos);
}

TEST(AEWaveSeg2Test, ForeignSampleLoadsWithItsSamples) {
  const std::string path =
      TV_SOURCE_DIR "/aecore/waveform/testdata/seg2/20130107_103041000.CET.3c.cont.0.seg2";
  const auto before = ReadBytes(path);
  ScriptedUi ui;
  CAEWaveSeg2 w(path);  // not a numbered name: no event of it, and the user is told
  EXPECT_EQ(w.GetNumChannels(), 0);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("not named as a numbered event file"), std::string::npos);
  ASSERT_EQ(w.Load(path), 1);
  EXPECT_EQ(ui.MessageTexts().size(), 1u);
  // The recorder writes the standard's date, 07/JAN/2013.
  EXPECT_EQ(w.m_pHeader->nYear, 2013);
  EXPECT_EQ(w.m_pHeader->nMonth, 1);
  EXPECT_EQ(w.m_pHeader->nDay, 7);
  ASSERT_EQ(w.GetNumChannels(), 3);
  ASSERT_EQ(w.m_pHeader->nSamples, 2000);
  EXPECT_EQ(w.m_pHeader->nRate, 1000);  // a 0.001 interval taken as microseconds
  EXPECT_FLOAT_EQ(w.m_pHeader->fScale, 2.14815e-05f);
  EXPECT_EQ(w.m_pHeader->nHour, 10);  // ACQUISITION_TIME_UTC is not ACQUISITION_TIME
  EXPECT_EQ(w.m_pHeader->nSecond, 41);
  struct Expect {
    std::int16_t first[5];
    int min, max, sum;
  } expect[3] = {{{-11, -13, -22, -18, -11}, -48, 42, -867},
                 {{-11, 1, 0, -15, 3}, -32, 28, -885},
                 {{-4, -3, 0, -9, -24}, -36, 28, -856}};
  for (int c = 0; c < 3; ++c) {
    auto first = w.m_pSamples.begin() + 2000 * c;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(first[i], expect[c].first[i]) << c;
    EXPECT_EQ(*std::min_element(first, first + 2000), expect[c].min);
    EXPECT_EQ(*std::max_element(first, first + 2000), expect[c].max);
    EXPECT_EQ(std::accumulate(first, first + 2000, 0), expect[c].sum);
  }
  EXPECT_EQ(ReadBytes(path), before);
}

TEST(AEWaveSeg2Test, SampleFormatsAndKeywords) {
  std::string dir = TmpDir("formats");
  Trace i32;
  i32.format = 2;
  i32.samples = 2;
  i32.data.resize(8);
  le::PutI32(i32.data.data(), 70000);
  le::PutI32(i32.data.data() + 4, -5);
  i32.strings = {"SAMPLE_INTERVAL 0.03", "AMPPICKUP 0", "PICKUP 66", "note loc_ind=5",
                 "TIME_BEGIN 2454894.5"};
  Trace f32;
  f32.format = 4;
  f32.samples = 3;
  f32.data.resize(12);
  le::PutF32(f32.data.data(), 1.9f);
  le::PutF32(f32.data.data() + 4, -1.9f);
  le::PutF32(f32.data.data() + 8, 1e12f);
  f32.strings = {"SAMPLE_INTERVAL 0.05", "AMPPICKUP 12.5"};
  WriteBytes(dir + "/000001_s01.sg2",
             BuildSeg2({"ACQUISITION_DATE 2009/03/04", "acquisition_time 05:06:07.5",
                        "COMMENTS hello there", "TIME_SEC_USEC 100 200"},
                       {i32, f32}));
  ScriptedUi ui;
  CAEWaveSeg2 w(dir + "/000001_s01.sg2");
  EXPECT_EQ(w.m_strSuffix, "_s01.sg2");
  EXPECT_EQ(w.m_nEvent, 1);
  ASSERT_EQ(w.GetNumChannels(), 2);
  ASSERT_EQ(w.m_pHeader->nSamples, 3);
  // Samples beyond 16 bits are clamped with one warning, never wrapped (70000 would be 4464).
  EXPECT_EQ(w.m_pSamples[0], 32767);
  EXPECT_EQ(w.m_pSamples[5], 32767);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("2 samples outside the 16-bit range were clamped"),
            std::string::npos);
  EXPECT_EQ(w.m_pSamples[1], -5);
  EXPECT_EQ(w.m_pSamples[2], 0);  // the shorter trace ends in zeros
  EXPECT_EQ(w.m_pSamples[3], 1);
  EXPECT_EQ(w.m_pSamples[4], -1);
  EXPECT_EQ(w.m_pHeader->nRate, 20);  // the last interval read
  EXPECT_EQ(w.m_pPolarity[0], -1);
  EXPECT_FLOAT_EQ(w.m_pPickTime[0], 2.0f);  // 66 samples at 33 per microsecond
  EXPECT_EQ(w.m_pArrival[0], 5);
  EXPECT_EQ(w.m_pPolarity[1], 1);
  EXPECT_EQ(w.m_pHeader->nYear, 2009);
  EXPECT_EQ(w.m_pHeader->nMonth, 3);
  EXPECT_EQ(w.m_pHeader->nDay, 4);
  EXPECT_EQ(w.m_pHeader->nMinute, 6);
  EXPECT_EQ(w.m_pHeader->nSec, 100);
  EXPECT_STREQ(w.m_szComment, "hello there");
  // Without a date the Julian day of TIME_BEGIN gives it.
  WriteBytes(dir + "/000002.sg2", BuildSeg2({}, {i32}));
  CAEWaveSeg2 jd(dir + "/000002.sg2");
  EXPECT_EQ(jd.m_pHeader->nYear, 2009);
  EXPECT_EQ(jd.m_pHeader->nMonth, 3);
  EXPECT_EQ(jd.m_pHeader->nDay, 4);
  // A string length of 0 or 256 ends the list.
  for (std::uint16_t stop : {0, 256}) {
    auto b = BuildSeg2({"COMMENTS first", "COMMENTS second"}, {I16Trace({1, 2})});
    const std::size_t second = 32 + 4 + 2 + std::strlen("COMMENTS first") + 1;
    le::PutU16(b.data() + second, stop);
    WriteBytes(dir + "/000003.sg2", b);
    CAEWaveSeg2 s(dir + "/000003.sg2");
    EXPECT_STREQ(s.m_szComment, "first") << stop;
    EXPECT_EQ(s.m_pSamples, (std::vector<std::int16_t>{1, 2}));
  }
}

TEST(AEWaveSeg2Test, AcquisitionDatesOfOtherRecorders) {
  struct Case {
    const char* text;
    int year, month, day;
  } cases[] = {
      {"ACQUISITION_DATE 2009/03/04", 2009, 3, 4},
      {"ACQUISITION_DATE 07/JAN/2013", 2013, 1, 7},
      {"ACQUISITION_DATE 7/jan/2013", 2013, 1, 7},
      {"ACQUISITION_DATE 31/Dec/1999", 1999, 12, 31},
      {"ACQUISITION_DATE 01/SEPTEMBER/2020", 2020, 9, 1},
      {"ACQUISITION_DATE 15-feb-2011", 2011, 2, 15},
      {"ACQUISITION_DATE  29/FEB/2016", 2016, 2, 29},
  };
  for (const Case& c : cases) {
    CAEWave w;
    w.ParseSeg2FileString(c.text);
    EXPECT_EQ(w.m_pHeader->nYear, c.year) << c.text;
    EXPECT_EQ(w.m_pHeader->nMonth, c.month) << c.text;
    EXPECT_EQ(w.m_pHeader->nDay, c.day) << c.text;
  }
  // A standard-dated file is written back with the program's own date.
  std::string dir = TmpDir("stddate");
  WriteBytes(dir + "/000005.sg2",
             BuildSeg2({"ACQUISITION_DATE 07/JAN/2013", "ACQUISITION_TIME 10:30:41"},
                       {I16Trace({1, -2, 3})}));
  CAEWaveSeg2 w(dir + "/000005.sg2");
  ASSERT_EQ(w.GetNumChannels(), 1);
  w.m_strPath = dir + "/000006.sg2";
  ASSERT_EQ(w.Save(), 1);
  const std::string py = PythonRead(dir + "/000006.sg2");
  if (py.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  EXPECT_NE(py.find("file ACQUISITION_DATE 2013/01/07\nfile ACQUISITION_TIME 10:30:41.000000\n"),
            std::string::npos)
      << py;
}

// Damaged SEG-2 and .aew files: a message, the record keeps the event it held, the file
// stays as it was.
TEST(AEWaveSeg2Test, DamagedFiles) {
  std::string dir = TmpDir("damaged");
  const auto good = BuildSeg2({"COMMENTS good"}, {I16Trace({1, 2, 3}), I16Trace({4, 5, 6})});
  WriteBytes(dir + "/000001.sg2", good);
  auto edit = [&](std::size_t at, std::uint32_t v, int bytes) {
    auto b = good;
    if (bytes == 2)
      le::PutU16(b.data() + at, static_cast<std::uint16_t>(v));
    else
      le::PutU32(b.data() + at, v);
    return b;
  };
  const std::size_t firstTrace = le::GetU32(good.data() + 32);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"not SEG-2", edit(0, 0x1234, 2), "not a SEG-2"},
      {"descriptor only", std::vector<std::uint8_t>(good.begin(), good.begin() + 20),
       "not a SEG-2"},
      {"string length 1", edit(40, 1, 2), "damaged"},
      {"string past the end", edit(40, 250, 2), "damaged"},
      {"too many trace pointers", edit(6, 3, 2), "too many trace pointers"},
      {"pointer past the end", edit(32, 1000000, 4), "past the end"},
      {"sample count past the end", edit(firstTrace + 8, 1000, 4), "past the end"},
      {"huge sample count", edit(firstTrace + 8, 0x7FFFFFFF, 4), "damaged"},
      {"bad trace block", edit(firstTrace, 0x1111, 2), "damaged"},
      {"no traces", edit(6, 0, 2), "damaged"},
      // Codes the reader does not decode (20-bit packed, 64-bit float): never a silent trace.
      {"data format code 3", edit(firstTrace + 12, 3, 2), "data format code 3"},
      {"data format code 5", edit(firstTrace + 12, 5, 2), "data format code 5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAEWaveSeg2 w(dir + "/000001.sg2");
    ASSERT_EQ(w.GetNumChannels(), 2);
    WriteBytes(dir + "/000002.sg2", c.bytes);
    ScriptedUi ui;
    EXPECT_EQ(w.OpenEvent(2), 0);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find(c.message), std::string::npos) << ui.MessageTexts()[0];
    EXPECT_EQ(w.m_nEvent, 1);
    EXPECT_EQ(w.GetNumChannels(), 2);
    EXPECT_EQ(w.m_pSamples, (std::vector<std::int16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_STREQ(w.m_szComment, "good");
    EXPECT_EQ(ReadBytes(dir + "/000002.sg2"), c.bytes);
  }
  // Stepping passes the damaged file and loads the next good one.
  WriteBytes(dir + "/000003.sg2", good);
  CAEWaveSeg2 w(dir + "/000001.sg2");
  ScriptedUi ui;
  EXPECT_EQ(w.Step(1), 1);
  EXPECT_EQ(w.m_nEvent, 3);
  // Names without an event number: a message, nothing opened, not even a neighbour.
  for (const char* name : {"/run.sg2", "/x00001.aew"}) {
    SCOPED_TRACE(name);
    WriteBytes(dir + name, good);
    ScriptedUi named;
    std::unique_ptr<CAEWave> r;
    if (std::string(name).find(".sg2") != std::string::npos)
      r = std::make_unique<CAEWaveSeg2>(dir + name);
    else
      r = std::make_unique<CAEWave_Aew>(dir + name);
    EXPECT_EQ(r->GetNumChannels(), 0);
    ASSERT_EQ(named.MessageTexts().size(), 1u);
    EXPECT_NE(named.MessageTexts()[0].find("not named as a numbered event file"),
              std::string::npos);
  }
}

TEST(AEWaveAewTest, AewFilesRoundTripAndAreNeverOverwritten) {
  std::string dir = TmpDir("aew");
  CAEWave w;
  Fill(w, 3, 40);
  w.m_pHeader->nEvent = 12;
  AESensorTable sensors;
  sensors.m_pSensorGain[1] = 2e-6f;
  sensors.m_pSensorXYZ[2] = {1, 2, 3};
  AEHRecord rec{};
  rec.nFlags = 0x11;
  rec.fX = 4.5f;
  rec.nMecType = 2;
  std::strcpy(w.m_szComment, "Tpl=9");
  const std::string path = dir + "/000012.aew";
  ASSERT_EQ(w.SaveAew(path, rec, sensors), 1);
  auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 108u + 3 * (36 + 80));
  EXPECT_EQ(le::GetI32(b.data()), 12);
  EXPECT_EQ(le::GetU16(b.data() + 26), 0x11);
  EXPECT_EQ(le::GetF32(b.data() + 30), 4.5f);
  EXPECT_EQ(le::GetI32(b.data() + 82), 9);
  EXPECT_EQ(le::GetI16(b.data() + 86), 2);
  EXPECT_EQ(le::GetF32(b.data() + 108 + 116 + 32), 2e-6f);
  EXPECT_EQ(le::GetF32(b.data() + 108 + 232 + 14), 3.0f);

  CAEWave_Aew r(path);
  ASSERT_EQ(r.GetNumChannels(), 3);
  EXPECT_EQ(r.m_pSamples, w.m_pSamples);
  EXPECT_EQ(r.m_pHeader->nEvent, 12);
  EXPECT_EQ(r.m_pHeader->nYear, 2026);
  EXPECT_EQ(r.m_pHeader->nSecond, 7);
  EXPECT_EQ(r.m_pPickAmp, w.m_pPickAmp);
  EXPECT_EQ(r.m_pPickTime, w.m_pPickTime);
  // The plain record reads the same file as AEW01: rate 20, gains from the sensitivities.
  CAEWave a;
  ASSERT_EQ(a.Load(path), 1);
  EXPECT_EQ(std::string(a.m_pHeader->szMagic), "AEW01");
  EXPECT_EQ(a.m_pHeader->nRate, 20);
  EXPECT_EQ(a.m_pHeader->nStatus, 0x11);
  EXPECT_FLOAT_EQ(a.m_pGain[1], 2e-6f);
  EXPECT_EQ(a.m_pSamples, w.m_pSamples);
  // Saving the .aew record would replace the recording in another layout: refused.
  ScriptedUi ui;
  EXPECT_EQ(r.Save(), 0);
  EXPECT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_EQ(ReadBytes(path), b);
  // A short .aew file: zeros and a message, never the previous samples.
  b.resize(108 + 36 + 10);
  WriteBytes(dir + "/000013.aew", b);
  ASSERT_EQ(r.OpenEvent(13), 1);
  EXPECT_EQ(r.m_pSamples[4], w.m_pSamples[4]);
  EXPECT_EQ(r.m_pSamples[5], 0);
  EXPECT_EQ(r.m_pSamples[60], 0);
  EXPECT_EQ(ui.MessageTexts().size(), 2u);
}

TEST(AEWaveLongTest, EventsOfALongRecording) {
  std::string dir = TmpDir("long");
  CAEWaveSeg2 header(dir + "/000000.sg2");
  Fill(header, 4, 10);
  header.m_strPath = dir + "/LONG01.sg2";
  header.m_pHeader->nSec = 1000;
  header.m_pHeader->nUsec = 500;
  ASSERT_EQ(header.Save(), 1);
  std::vector<std::uint8_t> raw(1000000);
  for (std::size_t i = 0; i < raw.size() / 2; ++i)
    le::PutI16(raw.data() + 2 * i, static_cast<std::int16_t>(i % 30000));
  WriteBytes(dir + "/LONG01.lng", raw);
  ScriptedUi quiet;
  CAEWaveLong w(dir + "/LONG01.lng");
  EXPECT_TRUE(quiet.MessageTexts().empty());  // the companion is read by its own name
  EXPECT_EQ(w.m_nChannelLen, 125000);
  EXPECT_EQ(w.m_nEvents, 32);
  ASSERT_EQ(w.GetNumChannels(), 4);
  EXPECT_EQ(w.m_pHeader->nSamples, 4096);
  EXPECT_EQ(w.m_pSamples[0], 0);
  EXPECT_EQ(w.m_pSamples[4096], 125000 % 30000);  // channel 1 starts at its own block
  ASSERT_EQ(w.OpenEvent(31), 1);
  EXPECT_EQ(w.m_nEvent, 31);
  EXPECT_EQ(w.m_pSamples[0], (3800 * 31) % 30000);
  const long long t = 1000LL * 1000000 + 500 + 3800 * 31 / 10;
  EXPECT_EQ(w.m_pHeader->nSec, t / 1000000);
  EXPECT_EQ(w.m_pHeader->nUsec, t % 1000000);
  EXPECT_EQ(w.OpenEvent(32), 0);
  EXPECT_EQ(w.m_nEvent, 31);
  ScriptedUi ui;
  EXPECT_EQ(w.Save(), 0);
  EXPECT_EQ(ReadBytes(dir + "/LONG01.lng"), raw);
}

// Events step by 3800 samples and are 4096 long, so the last event of a recording
// reaches past the end of every channel. A researcher looking at that event expects the
// channel's own last samples and silence after them, never the next channel's start; the
// event count stays channel length / 3800, so no recorded sample is left out of every event.
TEST(AEWaveLongTest, TheLastEventIsPaddedWithSilenceAtItsChannelsEnd) {
  std::string dir = TmpDir("long_tail");
  CAEWaveSeg2 header(dir + "/000000.sg2");
  Fill(header, 2, 10);
  header.m_strPath = dir + "/TAIL.sg2";
  ASSERT_EQ(header.Save(), 1);
  constexpr int kLen = 7700;
  std::vector<std::uint8_t> raw(2 * 2 * kLen);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < kLen; ++i)
      le::PutI16(raw.data() + 2 * (c * kLen + i),
                 static_cast<std::int16_t>(10000 * c + i % 9000 + 1));
  WriteBytes(dir + "/TAIL.lng", raw);
  ScriptedUi quiet;
  CAEWaveLong w(dir + "/TAIL.lng");
  ASSERT_EQ(w.m_nChannelLen, kLen);
  EXPECT_EQ(w.m_nEvents, 2);
  ASSERT_EQ(w.OpenEvent(1), 1);
  ASSERT_EQ(w.m_pHeader->nSamples, 4096);
  const int inChannel = kLen - 3800;  // 3900 samples of the channel, then 196 of silence
  for (int c = 0; c < 2; ++c) {
    const std::int16_t* x = w.m_pSamples.data() + static_cast<std::size_t>(c) * 4096;
    EXPECT_EQ(x[0], 10000 * c + 3800 + 1) << c;
    EXPECT_EQ(x[inChannel - 1], 10000 * c + (kLen - 1) % 9000 + 1) << c;
    for (int i = inChannel; i < 4096; ++i) ASSERT_EQ(x[i], 0) << "channel " << c << " sample " << i;
  }
  // The next event opened after the short one is whole again.
  ASSERT_EQ(w.OpenEvent(0), 1);
  EXPECT_EQ(w.m_pHeader->nSamples, 4096);
  EXPECT_EQ(w.m_pSamples[4095], 4096);
  EXPECT_EQ(w.m_pSamples[4096], 10001);
}
