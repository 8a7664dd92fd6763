#include "aecore/waveform/AEWave.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "aecore/aecore_test_support.h"
#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWaveSeg2.h"
#include "platform/ByteOrder.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::testing::ScriptedUi;
using tv_test::ReadBytes;
using tv_test::TmpDir;
using tv_test::WriteBytes;

namespace {

// A record of `channels` x `samples` with distinct samples and picks.
void Fill(CAEWave& w, int channels, int samples) {
  w.Allocate(channels, samples, 10);
  AEWHeader& h = *w.m_pHeader;
  h.nYear = 2026;
  h.nMonth = 12;
  h.nDay = 10;
  h.nHour = 14;
  h.nMinute = 5;
  h.nSecond = 7;
  h.nSec = 1234;
  h.nUsec = 567890;
  h.fScale = 0.5f;
  h.nEvent = 123;
  h.nEvent16 = 123;
  for (std::size_t i = 0; i < w.m_pSamples.size(); ++i)
    w.m_pSamples[i] = static_cast<std::int16_t>((i * 7919) % 60001 - 30000);
  for (int c = 0; c < channels; ++c) {
    w.m_pPickTime[c] = 10.0f + c;
    w.m_pPickSN[c] = 3.0f + c;
    w.m_pPickAmp[c] = -200.0f * (c + 1);
    w.m_pPolarity[c] = static_cast<std::int16_t>(c % 2 ? 1 : -1);
    w.m_pSpareA[c] = 0.25f * c;
    w.m_pSpareB[c] = -0.5f * c;
    w.m_pSpareFlag[c] = static_cast<std::int16_t>(c);
    w.m_pGain[c] = 1.5f + c;
  }
}

}  // namespace

TEST(AEWaveFileTest, NumberedEventFileRoundTrip) {
  std::string dir = TmpDir("roundtrip");
  CAEWave w;
  Fill(w, 4, 2000);
  ASSERT_EQ(w.SaveAs(dir + "/000123.WAV"), 1);
  auto b = ReadBytes(dir + "/000123.WAV");
  ASSERT_EQ(b.size(), 64u + 4 * 2000 * 2 + 4 * 20 + 4 * 4);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "AEWAVE05");
  EXPECT_EQ(le::GetI16(b.data() + 40), 4);
  EXPECT_EQ(le::GetI16(b.data() + 44), 2000);
  EXPECT_EQ(le::GetI16(b.data() + 46), 10);
  EXPECT_EQ(le::GetI16(b.data() + 50), 2026);
  EXPECT_EQ(le::GetI16(b.data() + 64), w.m_pSamples[0]);
  // Pick block after the samples: times, S/N, polarities, spares; then the gains.
  const std::uint8_t* p = b.data() + 64 + 16000;
  EXPECT_EQ(le::GetF32(p + 4), 11.0f);
  EXPECT_EQ(le::GetF32(p + 16 + 8), 5.0f);
  EXPECT_EQ(le::GetI16(p + 32 + 2), 1);
  EXPECT_EQ(le::GetF32(p + 80 + 12), 4.5f);

  CAEWave r;
  ASSERT_EQ(r.Load(dir + "/000123.WAV"), 1);
  EXPECT_EQ(r.m_nEvent, 123);
  EXPECT_EQ(r.m_nSaveState, 2);
  EXPECT_EQ(r.m_pHeader->nEvent, 123);
  EXPECT_EQ(r.m_pSamples, w.m_pSamples);
  EXPECT_EQ(r.m_pPickTime, w.m_pPickTime);
  EXPECT_EQ(r.m_pPickSN, w.m_pPickSN);
  EXPECT_EQ(r.m_pPolarity, w.m_pPolarity);
  EXPECT_EQ(r.m_pSpareA, w.m_pSpareA);
  EXPECT_EQ(r.m_pSpareB, w.m_pSpareB);
  EXPECT_EQ(r.m_pSpareFlag, w.m_pSpareFlag);
  EXPECT_EQ(r.m_pGain, w.m_pGain);
  EXPECT_EQ(r.m_pPickAmp, std::vector<float>(4, 0.0f));  // amplitudes are not stored
  std::uint8_t a[68], bb[68];
  w.m_pHeader->nMin = r.m_pHeader->nMin;
  w.m_pHeader->nMax = r.m_pHeader->nMax;
  AEW_EncodeHeader(*w.m_pHeader, a);
  AEW_EncodeHeader(*r.m_pHeader, bb);
  EXPECT_EQ(std::memcmp(a, bb, 68), 0);
}

TEST(AEWaveFileTest, BlocksOf1024SamplesLoseTheirUnfilledTail) {
  std::string dir = TmpDir("tail");
  CAEWave w;
  Fill(w, 2, 2048);
  ASSERT_EQ(w.SaveAs(dir + "/000001.WAV"), 1);
  EXPECT_EQ(w.m_pHeader->nSamples, 2048);
  CAEWave r;
  ASSERT_EQ(r.Load(dir + "/000001.WAV"), 1);
  ASSERT_EQ(r.m_pHeader->nSamples, 2024);
  EXPECT_EQ(r.m_pSamples[2024], w.m_pSamples[2048]);  // channel 1 starts with its own first sample
  EXPECT_EQ(r.m_pSamples[2023], w.m_pSamples[2023]);
}

TEST(AEWaveFileTest, OlderVersionsOddMagicAndOldLayout) {
  std::string dir = TmpDir("versions");
  // Version 2: no pick block; picks zero and gains 1.
  std::vector<std::uint8_t> v2(64 + 2 * 3 * 2, 0);
  std::memcpy(v2.data(), "AEWAVE02", 8);
  le::PutI16(v2.data() + 40, 2);
  le::PutI16(v2.data() + 44, 3);
  le::PutI16(v2.data() + 46, 20);
  le::PutI16(v2.data() + 64, -7);
  WriteBytes(dir + "/000002.WAV", v2);
  CAEWave r;
  r.Allocate(2, 3, 20);
  r.m_pPickTime[0] = 9.0f;
  r.m_pGain[1] = 5.0f;
  ASSERT_EQ(r.Load(dir + "/000002.WAV"), 1);
  EXPECT_EQ(r.m_pSamples[0], -7);
  EXPECT_EQ(r.m_pPickTime[0], 0.0f);
  EXPECT_EQ(r.m_pGain[1], 1.0f);
  // Odd length: 7-byte magic, every offset one less, samples from byte 63.
  std::vector<std::uint8_t> odd(63 + 2 * 3 * 2, 0);
  std::memcpy(odd.data(), "AEWAVE0", 7);
  le::PutI16(odd.data() + 39, 2);
  le::PutI16(odd.data() + 43, 3);
  le::PutI16(odd.data() + 63, 1234);
  le::PutI16(odd.data() + 63 + 10, -99);
  WriteBytes(dir + "/000003.WAV", odd);
  ASSERT_EQ(r.Load(dir + "/000003.WAV"), 1);
  EXPECT_EQ(r.m_pSamples[0], 1234);
  EXPECT_EQ(r.m_pSamples[5], -99);
  // Old layout, 12 bits: unsigned samples with 2048 as zero.
  std::vector<std::uint8_t> old(56 + 2 * 2 * 2, 0);
  std::memcpy(old.data() + 8, "OLDSET", 6);
  const std::int16_t words[] = {2, 12, 2, 5, 77, 1999, 1, 2, 3, 4, 5};
  for (int i = 0; i < 11; ++i) le::PutI16(old.data() + 34 + 2 * i, words[i]);
  le::PutU16(old.data() + 56, 0);
  le::PutU16(old.data() + 58, 4095);
  le::PutU16(old.data() + 60, 2048);
  WriteBytes(dir + "/old.dat", old);
  CAEWave o;
  ASSERT_EQ(o.LoadOld(dir + "/old.dat"), 1);
  EXPECT_EQ(o.m_pSamples, (std::vector<std::int16_t>{-2048, 2047, 0, -2048}));
  EXPECT_EQ(o.m_pHeader->nMin, -2048);
  EXPECT_EQ(o.m_pHeader->nMax, 2048);
  EXPECT_FLOAT_EQ(o.m_pGain[1], 1.0f / 2048);
  EXPECT_EQ(o.m_pHeader->nEvent, 77);
  EXPECT_EQ(o.m_pHeader->nYear, 1999);
}

TEST(AEWaveFileTest, StartTimeTextAndPickSetters) {
  CAEWave w;
  w.Allocate(2, 10, 10);
  w.m_pHeader->nYear = 2009;
  w.m_pHeader->nMonth = 3;
  w.m_pHeader->nDay = 4;
  w.m_pHeader->nHour = 5;
  w.m_pHeader->nMinute = 6;
  w.m_pHeader->nSecond = 7;
  EXPECT_EQ(w.GetStartTimeText(), "2009/ 3/ 4  5: 6: 7");
  w.SetPick(125, -3.0f, 0.4f, 75.0f, -1, 1);
  EXPECT_FLOAT_EQ(w.m_pPickTime[1], 12.5f);
  EXPECT_FLOAT_EQ(w.m_pPickSN[1], 50.0f);
  EXPECT_FLOAT_EQ(w.GetPickSample(1), 125.0f);
  w.SetPick(0, 0, 0, 12.5f, 1, 0);
  EXPECT_FLOAT_EQ(w.m_pPickSN[0], 12.5f);
  // Catalogue arrivals land on their sensors' channels; a damaged sensor number is passed over.
  AEHRecord rec{};
  rec.fTime[0] = 4.0f;
  rec.nSensor[0] = 1;
  rec.nPolarity[0] = -1;
  rec.fRise[0] = 0.7f;
  rec.nSensor[1] = 100;
  w.SetPicksFromRecord(rec);
  EXPECT_FLOAT_EQ(w.m_pPickTime[1], 4.0f);
  EXPECT_FLOAT_EQ(w.m_pPickRise[1], 0.7f);
  EXPECT_EQ(w.m_pArrival[1], 0);
}

TEST(AEWaveFileTest, WaveformMeasures) {
  CAEWave w;
  w.Allocate(4, 1000, 10);
  // Channel 0: quiet start, big signal; channel 1: flat; channels 2-3: noisy start.
  for (int k = 0; k < 1000; ++k) {
    w.m_pSamples[k] = static_cast<std::int16_t>(k >= 300 ? (k % 2 ? 500 : -500) : (k % 2));
    w.m_pSamples[2000 + k] = static_cast<std::int16_t>(k % 2 ? 400 : -400);
    w.m_pSamples[3000 + k] = static_cast<std::int16_t>(k % 2 ? 400 : -400);
  }
  EXPECT_TRUE(w.CheckWaveform(0));
  EXPECT_FALSE(w.CheckWaveform(1));  // two noisy channels of four are not below half
  EXPECT_FLOAT_EQ(w.PeakToPeak(0), 1000.0f);
  EXPECT_FLOAT_EQ(w.NoiseSum(0), 2 * 350 * 500.0f);
  w.m_pSamples[3500] = 20000;
  EXPECT_FALSE(w.IsPulseShot(3, 495));  // exactly 20000 is no pulse, nor with a noisy start
  for (int k = 0; k < 1000; ++k) w.m_pSamples[3000 + k] = 0;
  w.m_pSamples[3500] = 20001;
  EXPECT_TRUE(w.IsPulseShot(3, 495));
  EXPECT_TRUE(w.CheckWaveform(1));
  CAEWave flat;
  flat.Allocate(4, 1000, 10);
  EXPECT_FALSE(flat.CheckWaveform(1));
}

TEST(AEWaveSetTest, EventPathsOfNumberedSets) {
  CAEWave w;
  struct Case {
    const char* current;
    int event;
    const char* expected;
  } cases[] = {
      {"D:\\X\\RUN.05\\005123.WAV", 6000, "D:/X/RUN.06/006000.wav"},
      {"D:\\X\\RUN.05\\005123.WAV", 123456, "D:/X/RUN.123/123456.wav"},
      {"D:\\X\\RUN.123\\123456.WAV", 123457, "D:/X/RUN.123/123457.wav"},
      {"D:\\X\\RUN.VEL\\000003.WAV", 4, "D:/X/RUN.VEL/000004.vel"},
      {"d:/x.Vel/y/000003.aew", 4,
       "d:/x.Vel/y/000004.aew"},  // a ".VEL" higher up is not a velocity set
      {"D:/X/000003.sg2", 12, "D:/X/000012.sg2"},
      // What the path keeps keeps its case.
      {"/tmp/Exp/Cube.00/000001.WAV", 2, "/tmp/Exp/Cube.00/000002.wav"},
      {"/tmp/Exp/run.vel/000001.wav", 2, "/tmp/Exp/run.vel/000002.vel"},
  };
  for (const Case& c : cases) {
    w.m_strPath = c.current;
    EXPECT_EQ(w.EventPath(c.event), c.expected) << c.current;
  }
  EXPECT_EQ(AEW_EventNumberOfPath("X/RUN.05/105123.WAV", 4), 105123);
  EXPECT_EQ(AEW_EventNumberOfPath("X/RUN.05/A05123.WAV", 4), -1);
}

TEST(AEWaveSetTest, SavingNumberedAndStepping) {
  std::string dir = TmpDir("set");
  CAEWave w;
  Fill(w, 2, 100);
  w.SetFileSet("RUN", dir, 2000, 0);
  EXPECT_EQ(std::string(w.m_pHeader->szName, 3), "RUN");
  ASSERT_EQ(w.SaveNumbered(2000, 0), 1);
  ASSERT_EQ(w.SaveNumbered(2001, 0), 1);
  ASSERT_EQ(w.SaveNumbered(2005, 0), 1);
  EXPECT_TRUE(fs::exists(dir + "/RUN.02/002000.WAV"));
  EXPECT_TRUE(fs::exists(dir + "/RUN.02/002001.WAV"));
  EXPECT_EQ(w.m_pHeader->nEvent, 2005);
  {
    ScriptedUi ui;  // event 3000 has no folder: the save fails and says so
    EXPECT_EQ(w.SaveNumbered(3001, 0), 0);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Save file failed!!"});
  }

  CAEWave r;
  ASSERT_EQ(r.Load(dir + "/RUN.02/002000.WAV"), 1);
  EXPECT_EQ(r.m_nEvent, 2000);
  ASSERT_EQ(r.Step(1), 1);
  EXPECT_EQ(r.m_nEvent, 2001);
  ASSERT_EQ(r.Step(1), 1);  // over the missing 2002..2004
  EXPECT_EQ(r.m_nEvent, 2005);
  EXPECT_EQ(r.m_pHeader->nEvent, 2005);
  ASSERT_EQ(r.Step(-2), 1);  // 2003 is missing, 2001 exists
  EXPECT_EQ(r.m_nEvent, 2001);
  std::vector<std::int16_t> buffer(200);
  ASSERT_EQ(r.NextFile(2005, buffer.data()), 1);
  EXPECT_EQ(buffer, w.m_pSamples);
  {
    ScriptedUi ui;
    EXPECT_EQ(r.NextFile(2006, buffer.data()), 0);
    EXPECT_EQ(ui.Beeps().size(), 1u);
    EXPECT_EQ(r.Step(1000), 0);  // nothing for 9999 tries: nine beeps, index kept
    EXPECT_EQ(ui.Beeps().size(), 10u);
    EXPECT_EQ(r.m_nEvent, 2001);
  }
  CAEWave zero;
  EXPECT_EQ(zero.Step(-1), 0);
}

// Stepping through a set whose files differ in case from the names built for them: each
// is found, and is then known by the name it has on disk, with "/" only.
TEST(AEWaveSetTest, SteppingKeepsTheCaseOfTheFileSystem) {
  const std::string dir = TmpDir("case");
  fs::create_directories(dir + "/Exp/Cube.00");
  plat::InvalidateFolderCache();
  CAEWave w;
  Fill(w, 2, 100);
  ASSERT_EQ(w.SaveAs(dir + "/Exp/Cube.00/000000.WAV"), 1);
  ASSERT_EQ(w.SaveAs(dir + "/Exp/Cube.00/000001.wav"), 1);
  ASSERT_EQ(w.SaveAs(dir + "/Exp/Cube.00/000002.Wav"), 1);
  CAEWave r;
  ASSERT_EQ(r.Load(dir + "/Exp/Cube.00/000000.WAV"), 1);
  for (const char* name : {"000001.wav", "000002.Wav"}) {
    ASSERT_EQ(r.Step(1), 1) << name;
    EXPECT_EQ(r.m_strPath, dir + "/Exp/Cube.00/" + name);
  }
  ASSERT_EQ(r.OpenEvent(0), 1);
  EXPECT_EQ(r.m_strPath, dir + "/Exp/Cube.00/000000.WAV");
  std::vector<std::int16_t> buffer(200);
  EXPECT_EQ(r.NextFile(2, buffer.data()), 1);
  EXPECT_EQ(r.m_strPath, dir + "/Exp/Cube.00/000000.WAV");  // reading samples moves nothing

  // A set addressed with "\\" and in another case is found all the same.
  CAEWave b;
  b.m_strPath = dir + "\\EXP\\CUBE.00\\000000.wav";
  ASSERT_EQ(b.OpenEvent(1), 1);
  EXPECT_EQ(b.m_strPath, dir + "/Exp/Cube.00/000001.wav");
  EXPECT_EQ(b.m_strPath.find('\\'), std::string::npos);
}

// A step looks for the next file across whole missing folders of a thousand events,
// finds folders and files whatever their case on disk, skips a file that exists but does
// not load, and sees a file written after the previous step.
TEST(AEWaveSetTest, SteppingAcrossFoldersFindsEveryFile) {
  const std::string dir = TmpDir("folders");
  fs::create_directories(dir + "/Run.00");
  fs::create_directories(dir + "/run.03");
  fs::create_directories(dir + "/RUN.04");
  plat::InvalidateFolderCache();
  CAEWave w;
  Fill(w, 2, 100);
  ASSERT_EQ(w.SaveAs(dir + "/Run.00/000005.WAV"), 1);
  ASSERT_EQ(w.SaveAs(dir + "/run.03/003007.wav"), 1);
  WriteBytes(dir + "/RUN.04/004000.WAV", {1, 2, 3});  // too short: skipped
  ASSERT_EQ(w.SaveAs(dir + "/RUN.04/004001.WAV"), 1);
  CAEWave r;
  ASSERT_EQ(r.Load(dir + "/Run.00/000005.WAV"), 1);
  {
    ScriptedUi ui;
    ASSERT_EQ(r.Step(1), 1);
    EXPECT_EQ(r.m_nEvent, 3007);
    EXPECT_EQ(r.m_strPath, dir + "/run.03/003007.wav");
    ASSERT_EQ(r.Step(1), 1);
    EXPECT_EQ(r.m_nEvent, 4001);
    EXPECT_EQ(ui.Beeps().size(), 3u);  // one a thousand tries, as before
    ASSERT_EQ(r.Step(-1), 1);
    EXPECT_EQ(r.m_nEvent, 3007);
  }
  ASSERT_EQ(w.SaveAs(dir + "/run.03/003008.WAV"), 1);
  ASSERT_EQ(r.Step(1), 1);
  EXPECT_EQ(r.m_nEvent, 3008);
}

// Damaged event files: each is refused or completed with zeros and a message, the record
// keeps what it held when refused, and the file itself is never touched.
TEST(AEWaveFileTest, DamagedEventFiles) {
  std::string dir = TmpDir("damaged");
  CAEWave good;
  Fill(good, 2, 100);
  ASSERT_EQ(good.SaveAs(dir + "/000001.WAV"), 1);
  const auto valid = ReadBytes(dir + "/000001.WAV");
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int result;
    const char* message;
  };
  auto with = [&](int offset, std::int16_t v) {
    auto b = valid;
    le::PutI16(b.data() + offset, v);
    return b;
  };
  std::vector<Case> cases = {
      {"negative channels", with(40, -3), 0, "damaged"},
      {"no samples", with(44, 0), 0, "damaged"},
      {"huge channel count", with(40, 30000), 0, "damaged"},
      {"header only", std::vector<std::uint8_t>(valid.begin(), valid.begin() + 30), 0, "too short"},
      {"cut in the samples", std::vector<std::uint8_t>(valid.begin(), valid.begin() + 64 + 150), 1,
       "shorter"},
      {"cut in the pick block", std::vector<std::uint8_t>(valid.begin(), valid.end() - 10), 1,
       "shorter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir + "/000002.WAV";
    WriteBytes(path, c.bytes);
    CAEWave r;
    ASSERT_EQ(r.Load(dir + "/000001.WAV"), 1);
    ScriptedUi ui;
    EXPECT_EQ(r.Load(path), c.result);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find(c.message), std::string::npos) << ui.MessageTexts()[0];
    EXPECT_EQ(ReadBytes(path), c.bytes);
    if (c.result == 0) {
      EXPECT_EQ(r.m_pSamples, good.m_pSamples);
      EXPECT_EQ(r.m_nEvent, 1);
    } else {
      // Never the previous event's samples: what the file lacks is zero.
      EXPECT_EQ(r.m_nEvent, 2);
      if (c.bytes.size() < 64 + 400) {
        EXPECT_EQ(r.m_pSamples[74], good.m_pSamples[74]);
        EXPECT_EQ(r.m_pSamples[75], 0);
        EXPECT_EQ(r.m_pSamples[199], 0);
        EXPECT_EQ(r.m_pPickTime[1], 0.0f);
      } else {
        EXPECT_EQ(r.m_pSamples, good.m_pSamples);
        EXPECT_EQ(r.m_pGain, std::vector<float>(2, 1.0f));
      }
    }
  }
}

TEST(AEWaveFileTest, WritersRefuseAHeaderLargerThanTheRecord) {
  std::string dir = TmpDir("mismatch");
  CAEWave w;
  Fill(w, 2, 10);
  w.m_pHeader->nChannels = 40;
  AEHRecord rec{};
  AESensorTable sensors;
  ScriptedUi ui;
  EXPECT_EQ(w.SaveAs(dir + "/000001.WAV"), 0);
  EXPECT_EQ(w.SaveSeg2Event(dir + "/000001.sg2", rec, sensors), 0);
  EXPECT_EQ(w.SaveAew(dir + "/000001.aew", rec, sensors), 0);
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>(3, "Save file failed!!"));
  EXPECT_TRUE(fs::is_empty(dir));
}
