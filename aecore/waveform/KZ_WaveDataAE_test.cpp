#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "platform/ByteOrder.h"
#include "platform/Strings.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::testing::ScriptedUi;
using tv_test::TmpDir;
using tv_test::WriteBytes;

namespace {

// A numbered event file laid out field by field. New layout: the magic (7 bytes when
// `odd`, the file then has odd length), header offsets 8-63, samples, the pick block and
// (version 5) the gains. Old layout: magic, name, 6 bytes, range, time, eleven words.
struct AEFileSpec {
  std::string magic = "AEWAVE05";
  bool odd = false, oldLayout = false;
  int channels = 3, n = 40, storedN = -1;  // storedN: samples per channel in the header
  int smallest = -100, largest = 100, rate = 10, event = 1234;
  int sec = 5, usec = 6;
  std::vector<float> gains = {1.0f, 1.0f, 1.0f};
  std::function<int(int, int)> value = [](int c, int j) { return 100 * c + j - 20; };
};

std::vector<std::uint8_t> AEFile(const AEFileSpec& s) {
  std::vector<std::uint8_t> b(s.odd ? 7 : 8, 0);
  std::memcpy(b.data(), s.magic.data(), std::min(b.size(), s.magic.size()));
  auto put16 = [&](int v) {
    b.resize(b.size() + 2);
    le::PutI16(b.data() + b.size() - 2, static_cast<std::int16_t>(v));
  };
  auto put32 = [&](std::int32_t v) {
    b.resize(b.size() + 4);
    le::PutI32(b.data() + b.size() - 4, v);
  };
  const int words[11] = {
      s.channels, 12, s.storedN >= 0 ? s.storedN : s.n, s.rate, s.event, 2013, 1, 7, 10, 30, 41};
  if (s.oldLayout) {
    b.insert(b.end(), {'S', 'E', 'T', '0', '0', '0', '0', '1', 0, 0, 0, 0, 0, 0});
    put16(s.smallest);
    put16(s.largest);
    put32(s.sec);
    put32(s.usec);
    for (int w : words) put16(w);
  } else {
    b.insert(b.end(), {'S', 'E', 'T', '0', '0', '0', '0', '1', 0, 0, 0, 0, 0, 0, 0x80, 0x3F});
    put16(s.smallest);
    put16(s.largest);
    put32(0);
    put32(s.sec);
    put32(s.usec);
    for (int w : words) put16(w);
    put16(0);  // status
  }
  for (int c = 0; c < s.channels; ++c)
    for (int j = 0; j < s.n; ++j) put16(s.value(c, j));
  if (!s.gains.empty()) {
    b.resize(b.size() + 20u * s.channels, 0);
    for (float g : s.gains) {
      b.resize(b.size() + 4);
      le::PutF32(b.data() + b.size() - 4, g);
    }
  }
  return b;
}

// An ".aew" (AEW01) file: the 108-byte event block, then per channel 36 bytes and samples.
struct AewSpec {
  int event = 77, channels = 2, n = 30, rate = 4, flags = 0x10, fm = 2;
  std::vector<std::uint8_t> Build() const {
    std::vector<std::uint8_t> b(108, 0);
    le::PutI32(b.data(), event);
    le::PutI16(b.data() + 4, static_cast<std::int16_t>(channels));
    le::PutI16(b.data() + 6, static_cast<std::int16_t>(n));
    le::PutI16(b.data() + 8, static_cast<std::int16_t>(rate));
    le::PutF64(b.data() + 10, 2456299.9375);  // 2013/01/07 10:30:00
    le::PutI32(b.data() + 18, 1357554600);
    le::PutI32(b.data() + 22, 250000);
    le::PutI16(b.data() + 26, static_cast<std::int16_t>(flags));
    le::PutI16(b.data() + 28, 7);
    const float v[8] = {10, 20, 30, 0.5f, 1, 2, 3, 4};
    for (int i = 0; i < 8; ++i) le::PutF32(b.data() + 30 + 4 * i, v[i]);
    le::PutF32(b.data() + 62, -1.25f);
    le::PutF32(b.data() + 66, 150000.0f);
    le::PutF32(b.data() + 70, 0.75f);
    le::PutF32(b.data() + 74, 12.0f);
    le::PutF32(b.data() + 78, 8.0f);
    le::PutI32(b.data() + 82, 3);
    le::PutI16(b.data() + 86, static_cast<std::int16_t>(fm));
    le::PutF32(b.data() + 88, 0.25f);
    le::PutF32(b.data() + 92, 0.5f);
    le::PutF32(b.data() + 96, 45);
    le::PutF32(b.data() + 100, 60);
    le::PutF32(b.data() + 104, -90);
    for (int c = 0; c < channels; ++c) {
      std::vector<std::uint8_t> r(36, 0);
      le::PutF32(r.data() + 2, 1.5f * c);           // delay
      le::PutF32(r.data() + 14, 5.0f + c);          // receiver z
      le::PutF32(r.data() + 18, 2.6f);              // pick time, us
      le::PutF32(r.data() + 22, -40.0f);            // pick amplitude
      le::PutF32(r.data() + 26, 9.0f);              // S/N
      le::PutI16(r.data() + 30, -1);                // polarity
      le::PutF32(r.data() + 32, 0.125f * (c + 1));  // descaling factor
      b.insert(b.end(), r.begin(), r.end());
      for (int j = 0; j < n; ++j) {
        b.resize(b.size() + 2);
        le::PutI16(b.data() + b.size() - 2, static_cast<std::int16_t>(c * 1000 - j));
      }
    }
    return b;
  }
};

int Load(KZ_WaveDataAE& w, const std::string& path, int first = 0, int last = 0) {
  return w.Load(path, 1, first, last);
}

}  // namespace

TEST(AEEventFile, LayoutsGiveTheirSamplesRangeTimesAndTexts) {
  const std::string dir = TmpDir("ae_event");
  struct Case {
    const char* name;
    AEFileSpec spec;
    int sampleOffset;   // where the samples start, for the record of the test
    double descale[3];  // per channel
  };
  AEFileSpec v5;
  v5.gains = {1.0f, 2.0f, 0.5f};
  AEFileSpec v4;
  v4.magic = "AEWAVE04";
  AEFileSpec old;
  old.magic = "AEWAVE02";
  old.oldLayout = true;
  old.smallest = -2048;
  old.largest = 2048;
  AEFileSpec oldOdd = old;
  oldOdd.odd = true;
  AEFileSpec star;  // a '*' magic of odd length has the full header
  star.magic = "*AEWAVE";
  star.odd = true;
  AEFileSpec fromLength;  // no sample count in the header: from the file's length
  fromLength.magic = "AEWAVE04";
  fromLength.gains.clear();
  fromLength.storedN = 0;
  fromLength.n = 12;
  const Case cases[] = {
      {"v5.wav", v5, 64, {5.0, 10.0, 2.5}},
      {"v4.wav", v4, 64, {5.0, 5.0, 5.0}},
      {"old.wav", old, 56, {1000.0 / 4096, 1000.0 / 4096, 1000.0 / 4096}},
      {"oldodd.wav", oldOdd, 55, {1000.0 / 1024, 1000.0 / 1024, 1000.0 / 1024}},
      {"star.wav", star, 63, {5.0, 5.0, 5.0}},
      {"len.wav", fromLength, 64, {5.0, 5.0, 5.0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir + "/" + c.name;
    const std::vector<std::uint8_t> bytes = AEFile(c.spec);
    ASSERT_EQ(c.spec.odd, bytes.size() % 2 == 1);
    WriteBytes(path, bytes);
    KZ_WaveDataAE w;
    ASSERT_EQ(1, Load(w, path));
    ASSERT_EQ(3, w.Count());
    EXPECT_EQ(3, w.m_header.nChannels);
    EXPECT_EQ(1234, w.m_nEvent);
    EXPECT_EQ(path, w.m_strPath);
    EXPECT_STREQ("AEno=1234 Time:5:6", w.m_header.szNote);
    EXPECT_STREQ("2013/01/07", w.m_header.szDate);
    EXPECT_STREQ("10:30:41", w.m_header.szTime);
    EXPECT_STREQ("Time(usec)", w.m_header.szTimeUnits);
    EXPECT_STREQ("mV", w.m_header.szWaveUnits);
    EXPECT_STREQ("ASCHNNO", w.m_header.szTraceSort);
    EXPECT_EQ(path, std::string(w.m_header.szComments));
    EXPECT_EQ(5, w.m_header.nStartSec);
    EXPECT_EQ(6, w.m_header.nStartUsec);
    for (int k = 0; k < 3; ++k) {
      const KZ_WaveTrace& t = *w.GetTrace(k);
      EXPECT_EQ(c.spec.n, t.m_n);
      EXPECT_EQ(k, t.m_nChannel);
      EXPECT_DOUBLE_EQ(k + 1, t.m_fReceiver[2]);
      EXPECT_DOUBLE_EQ(0.1, t.m_fInterval);
      EXPECT_DOUBLE_EQ(c.descale[k], t.m_fDescale);
      EXPECT_EQ(1, t.m_nStack);
      EXPECT_EQ(1, t.m_nFormat);
      EXPECT_EQ(c.spec.value(k, 0), t.m_pData[0]);
      EXPECT_EQ(c.spec.value(k, c.spec.n - 1), t.m_pData[c.spec.n - 1]);
    }
  }
}

TEST(AEEventFile, ChannelBoundsSelectChannels) {
  const std::string dir = TmpDir("ae_event_bounds");
  WriteBytes(dir + "/e.wav", AEFile(AEFileSpec{}));
  KZ_WaveDataAE w;
  ASSERT_EQ(1, Load(w, dir + "/e.wav", 2, 2));
  ASSERT_EQ(1, w.Count());
  EXPECT_EQ(1, w.GetTrace(0)->m_nChannel);
  EXPECT_DOUBLE_EQ(2, w.GetTrace(0)->m_fReceiver[2]);
  EXPECT_EQ(100 - 20, w.GetTrace(0)->m_pData[0]);
  // Loading without clearing appends to the channels there.
  ASSERT_EQ(1, w.Load(dir + "/e.wav", 0, 3, 9999));
  EXPECT_EQ(2, w.Count());
  EXPECT_EQ(2, w.m_header.nChannels);
}

TEST(AEEventFile, DamagedFilesAppendNothing) {
  const std::string dir = TmpDir("ae_event_bad");
  std::vector<std::pair<const char*, std::vector<std::uint8_t>>> files;
  std::vector<std::uint8_t> full = AEFile(AEFileSpec{});
  files.push_back({"truncated samples", {full.begin(), full.end() - 3}});
  files.push_back({"header only", {full.begin(), full.begin() + 40}});
  files.push_back({"empty", {}});
  AEFileSpec s;
  s.channels = 0;
  files.push_back({"no channels", AEFile(s)});
  std::vector<std::uint8_t> many = full;
  le::PutI16(many.data() + 40, 30000);  // far more channels than the file holds
  files.push_back({"too many channels", many});
  s = AEFileSpec{};
  s.rate = 0;
  files.push_back({"rate 0", AEFile(s)});
  s = AEFileSpec{};
  s.gains = {1, 1, 1};
  std::vector<std::uint8_t> noGain = AEFile(s);
  noGain.resize(noGain.size() - 4);
  files.push_back({"gain block cut", noGain});
  AewSpec a;
  std::vector<std::uint8_t> aew = a.Build();
  files.push_back({"aew cut", {aew.begin(), aew.end() - 1}});
  a.channels = -3;
  files.push_back({"aew negative channels", a.Build()});
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i].first);
    const std::string path =
        dir + plat::Format("/bad%zu.%s", i, i + 2 >= files.size() ? "aew" : "wav");
    WriteBytes(path, files[i].second);
    KZ_WaveDataAE w;
    EXPECT_EQ(0, Load(w, path));
    EXPECT_EQ(0, w.Count());
    EXPECT_EQ(0, w.m_header.nChannels);
  }
  KZ_WaveDataAE w;
  EXPECT_EQ(0, Load(w, dir + "/missing.wav"));
}

TEST(AEEventFile, Aew01FileGivesTracesPicksAndEventTexts) {
  const std::string dir = TmpDir("ae_aew01");
  AewSpec spec;
  WriteBytes(dir + "/e.AEW", spec.Build());
  KZ_WaveDataAE w;
  ASSERT_EQ(1, Load(w, dir + "/e.AEW", 2, 2));  // all channels: the bounds are not used
  ASSERT_EQ(2, w.Count());
  EXPECT_EQ(77, w.m_nEvent);
  EXPECT_STREQ("2013/01/07", w.m_header.szDate);
  EXPECT_STREQ("10:30:00.00", w.m_header.szTime);
  EXPECT_EQ(1357554600, w.m_header.nStartSec);
  EXPECT_EQ(250000, w.m_header.nStartUsec);
  EXPECT_STREQ("mm/s", w.m_header.szWaveUnits);
  EXPECT_STREQ("Time:1357554600:250000, fm=2(T), iso=0.25, vlcd=0.50, SDR=(  45,   60,  -90)",
               w.m_header.szNote);
  EXPECT_STREQ(
      "AE#=77, Mw=-1.25, Fc=150000.0000, x=10.00, y=20.00, z=30.00, t0=0.50, dX=1.00, "
      "dY=2.00, dZ=3.00, dT=4.00, M=07, type=16, CC=0.75, sn1=12.00, sn2=8.00, Tpl=3",
      w.m_header.szComments);
  for (int c = 0; c < 2; ++c) {
    const KZ_WaveTrace& t = *w.GetTrace(c);
    EXPECT_EQ(30, t.m_n);
    EXPECT_EQ(c, t.m_nChannel);
    EXPECT_DOUBLE_EQ(0.25, t.m_fInterval);
    EXPECT_DOUBLE_EQ(1.5 * c, t.m_fDelay);
    EXPECT_DOUBLE_EQ(5.0 + c, t.m_fReceiver[2]);
    EXPECT_DOUBLE_EQ(20.0, t.m_fSource[1]);
    EXPECT_EQ(10, t.m_nPick);  // 2.6 us x 4 MHz, truncated
    EXPECT_DOUBLE_EQ(-40.0, t.m_fPickAmp);
    EXPECT_DOUBLE_EQ(9.0, t.m_fSNR);
    EXPECT_EQ(-1, t.m_nPolarity);
    EXPECT_DOUBLE_EQ(0.125 * (c + 1), t.m_fDescale);
    EXPECT_EQ(c * 1000 - 29, t.m_pData[29]);
  }
  spec.flags = 0;
  spec.fm = 0;
  WriteBytes(dir + "/f.aew", spec.Build());
  ASSERT_EQ(1, Load(w, dir + "/f.aew"));
  EXPECT_STREQ("AEno=77 Time:1357554600:250000, fm=0(?)", w.m_header.szNote);
  EXPECT_STREQ(
      "AE#=77, Mw=-1.25, Fc=150000.0000, x=10.00, y=20.00, z=30.00, t0=0.50, dX=1.00, "
      "dY=2.00, dZ=3.00, dT=4.00, M=07, type=0",
      w.m_header.szComments);
}

// ---------------------------------------------------------------- stepping

namespace {

void WriteEvent(const std::string& path, int event) {
  AEFileSpec s;
  s.event = event;
  WriteBytes(path, AEFile(s));
}

}  // namespace

TEST(StepFile, LoadsTheNextNumberThenMovesTheFileLeft) {
  const std::string dir = TmpDir("step_file");
  WriteEvent(dir + "/000123.wav", 123);
  WriteEvent(dir + "/000124.wav", 124);
  WriteEvent(dir + "/000127.wav", 127);
  KZ_WaveDataAE w;
  ASSERT_EQ(1, Load(w, dir + "/000123.wav"));
  EXPECT_EQ(124, w.StepFile(1, 2));
  EXPECT_EQ(dir + "/000124.wav", w.m_strPath);
  EXPECT_EQ(124, w.m_nEvent);
  EXPECT_FALSE(fs::exists(dir + "/000123.wav"));
  EXPECT_TRUE(fs::exists(dir + "/S_000123.wav"));
  // Gaps are passed over; the result is the first number tried. Mode 1 deletes.
  EXPECT_EQ(125, w.StepFile(1, 1));
  EXPECT_EQ(dir + "/000127.wav", w.m_strPath);
  EXPECT_FALSE(fs::exists(dir + "/000124.wav"));
  // Stepping back over "S_" files and mode -1 undo the mark.
  ASSERT_EQ(1, Load(w, dir + "/S_000123.wav"));
  WriteEvent(dir + "/S_000122.wav", 122);
  EXPECT_EQ(122, w.StepFile(-1, -1));
  EXPECT_TRUE(fs::exists(dir + "/000123.wav"));
  EXPECT_FALSE(fs::exists(dir + "/S_000123.wav"));
}

TEST(StepFile, NeverLosesAFile) {
  const std::string dir = TmpDir("step_file_safe");
  WriteEvent(dir + "/000010.wav", 10);
  WriteBytes(dir + "/000011.wav", {1, 2, 3});  // damaged: does not load
  KZ_WaveDataAE w;
  ASSERT_EQ(1, Load(w, dir + "/000010.wav"));
  EXPECT_EQ(-1, w.StepFile(1, 1));
  EXPECT_TRUE(fs::exists(dir + "/000010.wav"));
  // A rename never replaces: the marked copy already there stays, and so does the file.
  WriteEvent(dir + "/000012.wav", 12);
  WriteBytes(dir + "/X_000010.wav", {9});
  ASSERT_EQ(1, Load(w, dir + "/000010.wav"));
  EXPECT_EQ(12, w.StepFile(2, 3));
  EXPECT_TRUE(fs::exists(dir + "/000010.wav"));
  EXPECT_EQ(1u, fs::file_size(dir + "/X_000010.wav"));
  // Suffixed names keep their suffix.
  WriteEvent(dir + "/000010_s01.wav", 10);
  WriteEvent(dir + "/000011_s01.wav", 11);
  ASSERT_EQ(1, Load(w, dir + "/000010_s01.wav"));
  EXPECT_EQ(11, w.StepFile(1, 0));
  EXPECT_EQ(dir + "/000011_s01.wav", w.m_strPath);
}

TEST(StepFile, AsksAfterEveryThousandMissesAndStopsOnNo) {
  const std::string dir = TmpDir("step_file_ask");
  WriteEvent(dir + "/000001.wav", 1);
  KZ_WaveDataAE w;
  ASSERT_EQ(1, Load(w, dir + "/000001.wav"));
  ScriptedUi ui;
  ui.ExpectMessage("event# 001002 was not found, continue?", IDYES);
  ui.ExpectMessage("event# 002002 was not found, continue?", IDNO);
  EXPECT_EQ(-1, w.StepFile(1, 1));
  EXPECT_TRUE(fs::exists(dir + "/000001.wav"));
  EXPECT_EQ(dir + "/000001.wav", w.m_strPath);
  // A key pressed during the search offers to stop it.
  const int polls = ui.InputPolls();
  ui.InputPendingAfter(5);
  ui.ExpectMessage("Are you sure to exit loop?", IDYES);
  EXPECT_EQ(-1, w.StepFile(1, 1));
  EXPECT_EQ(polls + 6, ui.InputPolls());
  EXPECT_EQ(0u, ui.PendingExpectations());
}

// ---------------------------------------------------------------- saving by extension

TEST(SaveAs, TheExtensionChoosesTheWriter) {
  const std::string dir = TmpDir("save_as");
  WriteEvent(dir + "/000005.wav", 5);
  KZ_WaveDataAE w;
  ASSERT_EQ(1, Load(w, dir + "/000005.wav"));
  w.m_nModified = 3;
  EXPECT_EQ(1, w.SaveAs(dir + "/c.Txt", 1, 0, 0));
  EXPECT_EQ(0, w.m_nModified);
  EXPECT_EQ(0, tv_test::ReadText(dir + "/c.Txt").rfind("ACQUISITION_DATE 2013/01/07\n", 0));
  EXPECT_EQ(1, w.SaveAs(dir + "/t.txt", 0, 0, 0));
  EXPECT_EQ(0, tv_test::ReadText(dir + "/t.txt").rfind("TXT-TAB\t3\t40\n", 0));
  // Any other ending is written as SEG-2 under the name ending in sg2, code 2 as asked.
  w.m_nSeg2Format = 2;
  EXPECT_EQ(1, w.SaveAs(dir + "/s.dat", 0, 0, 0));
  KZ_WaveDataSeg2 back;
  ASSERT_EQ(1, back.Load(dir + "/s.sg2", 1, 0, 0));
  ASSERT_EQ(3, back.Count());
  EXPECT_EQ(2, back.GetTrace(0)->m_nFormat);
  EXPECT_EQ(w.GetTrace(2)->m_pData[7], back.GetTrace(2)->m_pData[7]);
  EXPECT_EQ(0, w.SaveAs(dir + "/e.sacs", 0, 0, 0));
  EXPECT_TRUE(fs::exists(dir + "/e.sacs"));
  const std::string dated = TmpDir("save_as/20130107") + "/";
  KZ_CopyText(w.GetTrace(0)->m_szGseChannel, "BHZ");
  w.SaveAs(dated + "x.sac", 0, 0, 0);
  EXPECT_TRUE(fs::exists(dated + "01.BHZ.sac"));
  EXPECT_TRUE(w.SaveAs(dir + "/x.gse", 0, 0, 0));
  EXPECT_TRUE(fs::exists(dir + "/201301071030.GSE"));
}

// ---------------------------------------------------------------- damaged input

TEST(AEEventFile, TruncatedAndCorruptedFilesAreRefusedOrReadConsistently) {
  const std::string dir = TmpDir("ae_event_damage");
  AEFileSpec old;
  old.oldLayout = true;
  old.odd = true;
  old.magic = "AEWAVE0";
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
      {"v5.wav", AEFile(AEFileSpec{})}, {"old.wav", AEFile(old)}, {"e.aew", AewSpec{}.Build()}};
  auto check = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir + "/" + name;
    WriteBytes(path, bytes);
    KZ_WaveDataAE w;
    const int r = Load(w, path);
    // Refused: nothing appended. Read: the header counts what was appended.
    EXPECT_EQ(r == 0 ? 0 : w.Count(), w.m_header.nChannels) << name << " " << bytes.size();
    if (r == 0) {
      EXPECT_EQ(0, w.Count()) << name << " " << bytes.size();
    }
    for (int i = 0; i < w.Count(); ++i)
      EXPECT_LE(2 * w.GetTrace(i)->m_n, static_cast<int>(bytes.size()));
  };
  for (const auto& [name, bytes] : files) {
    // Every length through the headers, then every seventh.
    for (std::size_t cut = 0; cut < bytes.size(); cut += cut < 120 ? 1 : 7)
      check(name, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)});
    for (std::size_t at = 0; at < 120 && at < bytes.size(); ++at)
      for (std::uint8_t v : {0x00, 0xFF}) {
        std::vector<std::uint8_t> b = bytes;
        b[at] = v;
        check(name, b);
      }
  }
}
