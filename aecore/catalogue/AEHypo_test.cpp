#include "aecore/catalogue/AEHypo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/AEWHeader.h"
#include "platform/ByteOrder.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::testing::ScriptedUi;
using tv_test::ReadBytes;
using tv_test::TmpDir;
using tv_test::WriteBytes;
using tv_test::WriteText;

namespace {

// A cube of 16 sensors with both velocity forms' neighbours and every option section.
std::string CubePad(int sensors = 16) {
  std::string s =
      "Cube test   \n"
      "second line\n"
      "third line\n"
      "3\n"
      "2048\n"
      "7\n" +
      std::to_string(sensors) +
      " 1 0\n"
      "50 50 50 4 CUBE\n"
      "5.9 1.0\n"
      "2.0 skipped rest\n";
  for (int k = 0; k < sensors; ++k)
    s += std::to_string(k + 1) + " " + std::to_string(k) + ".5 -1 2 1.0 +S" + std::to_string(k) +
         "\n";
  s += "99 0 0 30 0 TOP\n";
  s += "2\n"
       "1 0 4.5\n"
       "2 10 4.5 4.8 4.9\n"
       "X=2 Z=0.5\n"
       "PEAK=2008/05/01 10:20:30.25\n"
       "REF=2008/05/01 10:00:00.5\n"
       "END=2008/05/02 11:00:00\n"
       "line after the end time\n"
       "\n"
       "AE_OPT\n"
       "a=1.5\n"
       "<LOC_OPT\n"
       "NOISE_TW=2.5\n"
       "CC_MIN=0.7\n"
       "sim_grid_search++\n"
       "h_dim=0.6\n"
       "np=4\n"
       "nx=10\n"
       "ny=11\n"
       "nz=12 Z: 1 7.5\n"
       "PICK_LEN=512\n"
       "</LOC_OPT>\n"
       "<MEC_OPT\n"
       "MEC_RA_CRI=0.3\n"
       "</MEC_OPT>\n"
       "END\n"
       "<MEC_OPT\nN_SENSOR=99\n</MEC_OPT>\n";
  return s;
}

}  // namespace

TEST(AEHypoTest, FreshObjectHasTheDefaultOptionsAndNoCatalogue) {
  CAEHypo h;
  EXPECT_EQ(h.m_nPlotType, 6);
  EXPECT_EQ(h.m_nClassMask, 25);
  EXPECT_EQ(h.m_nMinArrivals, 8);
  EXPECT_EQ(h.m_nPickStart, 0);
  EXPECT_EQ(h.m_nPickLength, 1024);
  EXPECT_EQ(h.m_nAROrder, 5);
  EXPECT_FALSE(h.m_fpAEH);
  EXPECT_EQ(h.GetNumAE(), 0);
  EXPECT_EQ(h.GetAEH(0), 0);
  EXPECT_EQ(h.PutAEH(0, false), 0);
  EXPECT_EQ(h.m_PulserSensor[0], -1);
}

TEST(AEHypoPadTest, CubeFileLoadsEveryPart) {
  std::string dir = TmpDir("cube");
  WriteText(dir + "/Exp1.pad", CubePad());
  CAEHypo h;
  ScriptedUi ui;
  ui.ExpectMessage("open failed!, create??", IDYES);
  ASSERT_EQ(h.LoadPad(dir + "/Exp1.pad", false), 1);
  EXPECT_EQ(h.m_strTitle, "Cube test");
  EXPECT_EQ(h.m_nParLine4, 3);
  EXPECT_EQ(h.m_nParLine5, 2048);
  EXPECT_EQ(h.m_nParLine6, 7);
  EXPECT_EQ(h.m_nSensors, 16);
  EXPECT_EQ(h.m_nExtraPoints1, 1);
  EXPECT_EQ(h.m_nShape, 4);
  EXPECT_FLOAT_EQ(h.m_fSizeZ, 50.0f);
  EXPECT_FLOAT_EQ(h.m_fVelocityAux, 5.9f);  // the third number runs on into the next line
  EXPECT_DOUBLE_EQ(h.m_pSensorXYZ[3].x, 3.5);
  EXPECT_DOUBLE_EQ(h.m_pSensorXYZ[3].y, -1.0);
  EXPECT_EQ(h.m_pSensorName[3], "S3");
  EXPECT_FLOAT_EQ(h.m_pSensorGain[3], 1.83e-6f);
  EXPECT_DOUBLE_EQ(h.m_pSensorXYZ[16].z, 30.0);  // the further point after the sensors
  EXPECT_EQ(h.m_nMinArrivals, 8);
  // Velocities: the vertical one first, then scaled by the factor line.
  EXPECT_EQ(h.m_nVelEntries, 2);
  EXPECT_FLOAT_EQ(h.m_fVel[0][0], 9.0f);
  EXPECT_FLOAT_EQ(h.m_fVel[0][2], 2.25f);
  EXPECT_FLOAT_EQ(h.m_fVel[1][0], 9.6f);
  EXPECT_FLOAT_EQ(h.m_fVel[1][1], 4.9f);
  EXPECT_EQ(h.m_nVelTime[1], 10);
  // Times.
  EXPECT_EQ(h.m_tmStart.tm_year, 108);
  EXPECT_EQ(h.m_tmStart.tm_mon, 4);
  EXPECT_EQ(h.m_tmStart.tm_sec, 30);
  EXPECT_FLOAT_EQ(h.m_fStartFrac, 0.25f);
  EXPECT_FLOAT_EQ(h.m_fRefFrac, 0.5f);
  EXPECT_EQ(h.m_tmEnd.tm_mday, 2);
  EXPECT_EQ(h.m_tmEnd.tm_hour, 11);
  // Sections; the blank line after the skipped one is passed over.
  EXPECT_FLOAT_EQ(h.m_fAEOptA, 1.5f);
  EXPECT_FLOAT_EQ(h.m_fAEOptQ, 0.5f);
  EXPECT_FLOAT_EQ(h.m_fNoiseTW, 2.0f);  // integer keys stored as floats keep the integer part
  EXPECT_FLOAT_EQ(h.m_fCCMin, 0.7f);
  EXPECT_EQ(h.m_nGridSearch, 13);
  EXPECT_FLOAT_EQ(h.m_fHDim, 0.6f);
  EXPECT_EQ(h.m_nGridNP, 4);
  EXPECT_EQ(h.m_nGridZ, 12);
  EXPECT_EQ(h.m_bFixZ, 1);
  EXPECT_FLOAT_EQ(h.m_fFixZ, 7.5f);
  EXPECT_EQ(h.m_nPickLength, 512);
  EXPECT_FLOAT_EQ(h.m_fMecAcri, 0.3f);
  EXPECT_EQ(h.m_nMecMinFM, 12);  // the section after END is never read
  EXPECT_FLOAT_EQ(h.m_fFaultLen, 25.0f);
  // The catalogue of the same base name was created.
  EXPECT_TRUE(h.m_fpAEH);
  EXPECT_EQ(h.m_nRecSize, 128 + 18 * 16);
  EXPECT_TRUE(fs::exists(dir + "/Exp1.aeh"));
  EXPECT_FLOAT_EQ(h.m_fHypoScale, 40.0f);
}

TEST(AEHypoPadTest, SampleLinesAndCylinderSensors) {
  struct Case {
    const char* sample;
    int shape;
    float diameter, sizeX, sizeZ;
  } cases[] = {
      {"50 100", 0, 50, 50, 100},           {"50 50 100", 1, 50, 50, 100},
      {"40 60 100 4", 4, 60, 40, 100},      {"40 60 100 2 D-DIA", 10, 60, 40, 100},
      {"40 60 100 2 CUBE", 4, 60, 40, 100},
  };
  std::string dir = TmpDir("shapes");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sample);
    std::string pad = std::string("t\n\n\n0\n100\n0\n2 0 0\n") + c.sample +
                      "\n1 1 1\n"
                      "1 90 25 25 1.0 +S03 gain=2e-6\n"
                      "2 0 10 25 1.0 -S05 p2\n"
                      "1\n1 0 4.5\nX=1\n"
                      "PEAK=08/05/01 10:20:30.25\nREF=08/05/01 10:00:00\nEND=08/05/01 11:00:00\n";
    WriteText(dir + "/c.par", pad);
    CAEHypo h;
    ASSERT_EQ(h.LoadPad(dir + "/c.par", true), 1);
    EXPECT_EQ(h.m_nShape, c.shape);
    EXPECT_FLOAT_EQ(h.m_fDiameter, c.diameter);
    EXPECT_FLOAT_EQ(h.m_fSizeX, c.sizeX);
    EXPECT_FLOAT_EQ(h.m_fSizeZ, c.sizeZ);
    EXPECT_EQ(h.m_nMinArrivals, 6);
    EXPECT_EQ(h.m_PulserSensor[1], 1);
    EXPECT_EQ(h.m_nPulsers, 1);
    EXPECT_EQ(h.m_pSensorName[1], "-S05");
    EXPECT_LT(h.m_pSensorSign[1], 0.0f);
    EXPECT_FLOAT_EQ(h.m_pSensorGain[0], 2e-6f);
    EXPECT_FLOAT_EQ(h.m_fVel[0][0], 4.5f);  // one velocity: all three components
    EXPECT_FLOAT_EQ(h.m_fVel[0][1], 4.5f);
    EXPECT_EQ(h.m_tmStart.tm_year, 108);  // two-digit years
    if (c.shape == 0) {
      EXPECT_NEAR(h.m_pSensorXYZ[0].x, 0.0, 1e-3);
      EXPECT_NEAR(h.m_pSensorXYZ[0].y, 25.0, 1e-6);
      EXPECT_NEAR(h.m_pSensorXYZ[0].z, 25.0, 1e-9);
    }
  }
}

TEST(AEHypoPadTest, TwoDigitYearsBelowSeventyAreThisCentury) {
  std::string dir = TmpDir("pivot");
  WriteText(dir + "/p.pad",
            "t\n\n\n0\n100\n0\n0 0 0\n50 100\n1 1 1\n0\n\n"
            "PEAK=09/03/04 05:06:07\nREF=69/01/01 00:00:00\nEND=70/01/01 00:00:00\n");
  CAEHypo h;
  ASSERT_EQ(h.LoadPad(dir + "/p.pad", true), 1);
  EXPECT_EQ(h.m_tmStart.tm_year, 109);
  EXPECT_EQ(h.m_tmRef.tm_year, 169);
  EXPECT_EQ(h.m_tmEnd.tm_year, 70);
}

TEST(AEHypoPadTest, CountsFollowTheSensorNumber) {
  struct Case {
    int sensors, minArrivals, fm, updown;
    float acri;
  } cases[] = {{10, 8, 8, 4, 0.0f}, {9, 6, 7, 3, 0.0f}, {30, 8, 24, 12, 0.15f}};
  std::string dir = TmpDir("counts");
  for (const Case& c : cases) {
    std::string pad = "t\n\n\n0\n100\n0\n" + std::to_string(c.sensors) + " 0 0\n50 50 50\n1 1 1\n";
    for (int k = 0; k < c.sensors; ++k) pad += "1 0 0 0 1 S\n";
    pad += "0\n\nPEAK=2008/05/01 10:20:30\nREF=2008/05/01 10:00:00\nEND=2008/05/01 11:00:00\n";
    WriteText(dir + "/n.pad", pad);
    CAEHypo h;
    ASSERT_EQ(h.LoadPad(dir + "/n.pad", true), 1);
    EXPECT_EQ(h.m_nMinArrivals, c.minArrivals) << c.sensors;
    EXPECT_EQ(h.m_nMecMinFM, c.fm) << c.sensors;
    EXPECT_EQ(h.m_nMecMinUp, c.updown) << c.sensors;
    EXPECT_EQ(h.m_nMecMinDown, c.updown) << c.sensors;
    EXPECT_FLOAT_EQ(h.m_fMecAcri, c.acri) << c.sensors;
  }
}

TEST(AEHypoPadTest, DatedVelocitiesAreTimedFromTheReference) {
  std::string dir = TmpDir("dated");
  WriteText(dir + "/d.pad",
            "t\n\n\n0\n100\n0\n0 0 0\n50 100\n1 1 1\n2\n"
            "1 1 10 30 5.0 5.1 5.2\n"
            "2 2 0 0 5.0 5.1 5.2\n\n"
            "PEAK=2008/05/01 10:20:30\nREF=2008/05/01 10:00:30\nEND=2008/05/02 11:00:00\n");
  CAEHypo h;
  ASSERT_EQ(h.LoadPad(dir + "/d.pad", true), 1);
  EXPECT_EQ(h.m_nVelTime[0], 1770);
  EXPECT_EQ(h.m_nVelTime[1], 14 * 3600 - 30);
  EXPECT_FLOAT_EQ(h.m_fVel[0][2], 5.0f);
  EXPECT_FLOAT_EQ(h.m_fVel[0][0], 5.1f);
  EXPECT_EQ(h.m_bVelTimeForm, 0);
}

// Damaged parameter files: a clear message, and nothing already loaded is lost or overrun.
TEST(AEHypoPadTest, DamagedFilesAreReportedAndBounded) {
  std::string dir = TmpDir("damaged");
  WriteText(dir + "/good.pad", CubePad());
  CAEHypo h;
  {
    ScriptedUi ui;
    ASSERT_EQ(h.LoadPad(dir + "/good.pad", true), 1);
  }
  // Cut short before its times: refused, the sensors of the good file stay.
  std::string cut = CubePad(20);
  cut = cut.substr(0, cut.find("PEAK="));
  WriteText(dir + "/cut.pad", cut);
  {
    ScriptedUi ui;
    EXPECT_EQ(h.LoadPad(dir + "/cut.pad", true), 0);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find("PEAK="), std::string::npos);
  }
  EXPECT_EQ(h.m_nSensors, 16);
  EXPECT_EQ(h.m_strTitle, "Cube test");
  // Without its sensor-count line every later line is read one place early and the load
  // fails at the end; the message names the line that is wrong, not the missing times.
  std::string noCount = CubePad();
  noCount.erase(noCount.find("16 1 0\n"), 7);
  WriteText(dir + "/nocount.pad", noCount);
  {
    ScriptedUi ui;
    EXPECT_EQ(h.LoadPad(dir + "/nocount.pad", true), 0);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    const std::string text = ui.MessageTexts()[0];
    EXPECT_NE(text.find("line 7 should hold the sensor count"), std::string::npos) << text;
    EXPECT_NE(text.find("\"50 50 50 4 CUBE\""), std::string::npos) << text;
    EXPECT_EQ(text.find("PEAK="), std::string::npos) << text;
  }
  EXPECT_EQ(h.m_nSensors, 16);
  EXPECT_EQ(h.m_strParFile, dir + "/good.pad");  // the file that is loaded
  // Too many sensors, holes and velocity entries: clamped, reported, later lines still in step.
  std::string many = CubePad(40);
  std::string vel = "205\n";
  for (int i = 0; i < 205; ++i) vel += "1 0 4.0\n";
  many.replace(many.find("2\n1 0 4.5\n2 10 4.5 4.8 4.9\n"), 27, vel);
  std::string holes = "HOLE num=12\nx=1 y=2 d=3\n";
  for (int i = 0; i < 11; ++i) holes += "x=1\n";
  many.insert(many.find("AE_OPT"), holes);
  // An overlong sensor name line stays one line.
  std::string longName(5000, 'L');
  many.replace(many.find("+S39"), 4, "+" + longName);
  WriteText(dir + "/many.pad", many);
  {
    ScriptedUi ui;
    ASSERT_EQ(h.LoadPad(dir + "/many.pad", true), 1);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    const std::string text = ui.MessageTexts()[0];
    EXPECT_NE(text.find("40 sensors"), std::string::npos) << text;
    EXPECT_NE(text.find("205 velocity"), std::string::npos) << text;
    EXPECT_NE(text.find("12 holes"), std::string::npos) << text;
  }
  EXPECT_EQ(h.m_nSensors, 32);
  EXPECT_EQ(h.m_nVelEntries, 200);
  EXPECT_EQ(h.m_nHoles, 8);
  EXPECT_FLOAT_EQ(h.m_Holes[0].d, 3.0f);
  EXPECT_EQ(h.m_pSensorName[31], "S31");
  EXPECT_DOUBLE_EQ(h.m_pSensorXYZ[32].z, 30.0);  // the further point follows the skipped sensors
  EXPECT_EQ(h.m_tmStart.tm_year, 108);
  EXPECT_FLOAT_EQ(h.m_fAEOptA, 1.5f);
  // A missing file changes nothing.
  EXPECT_EQ(h.LoadPad(dir + "/none.pad", true), 0);
  EXPECT_EQ(h.m_strParFile, dir + "/many.pad");
}

namespace {

std::string MiniPad(int sensors) {
  std::string pad = "t\n\n\n0\n100\n0\n" + std::to_string(sensors) + " 0 0\n50 50 50\n1 1 1\n";
  for (int k = 0; k < sensors; ++k) pad += "1 0 0 0 1 S\n";
  return pad + "0\n\nPEAK=2008/05/01 10:20:30\nREF=2008/05/01 10:00:00\nEND=2008/05/01 11:00:00\n";
}

// Opens (creating) the catalogue of a 16-sensor experiment in a fresh folder.
std::string OpenNew(CAEHypo& h, const std::string& name) {
  std::string dir = TmpDir(name);
  WriteText(dir + "/exp1.pad", MiniPad(16));
  ScriptedUi ui;
  ui.ExpectMessage("exp1.aeh open failed!, create??", IDYES);
  EXPECT_EQ(h.LoadPad(dir + "/exp1.pad", false), 1);
  return dir;
}

void FillRecord(AEHRecord& r, int n) {
  r = AEHRecord{};
  r.nYear = 26;
  r.nMonth = 12;
  r.nDay = 10;
  r.nHour = 14;
  r.nMinute = 30;
  r.nSecond = 59;
  r.nArrivals = 9;
  r.nPeakLevel = -3;
  r.nTimeSec = 123456;
  r.nTimeUs = 654321;
  r.fFc = 0.25f;
  r.fMw = -7.5f;
  r.fX = 1.5f;
  r.fZ = -2.5f;
  r.fDT = 0.125f;
  r.nMecType = 5;
  r.nFlags = 0x81;
  r.fCC = 0.9f;
  r.fRake = -90.0f;
  r.nIndex = 77;
  r.fVz = 6.0f;
  for (int k = 0; k < n; ++k) {
    r.fTime[k] = 10.0f + k;
    r.fSN[k] = 2.0f * k;
    r.fAmp[k] = -100.0f * k;
    r.fRise[k] = 0.5f * k;
    r.nPolarity[k] = static_cast<std::int8_t>(k % 3 - 1);
    r.nSensor[k] = static_cast<std::int8_t>(n - 1 - k);
  }
}

}  // namespace

// Counts and numbers at the ends of their types: the reader stops at the end of the file
// (it went through up to 3 x 2^31 lines that do not exist, its sum of counts overflowing),
// and times beyond the int range are held at its ends (they became INT_MIN).
TEST(AEHypoPadTest, ExtremeCountsAndNumbers) {
  const std::string dir = TmpDir("extreme");
  auto with = [](const std::string& from, const std::string& to) {
    std::string s = MiniPad(4);
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  constexpr int kAny = -99;
  struct Case {
    const char* what;
    std::string text;
    int loaded;
    int velTime0;
    int startSec;
  };
  const Case cases[] = {
      {"sensor and point counts INT_MAX", with("4 0 0\n", "2147483647 2147483647 2147483647\n"), 0,
       kAny, kAny},
      {"velocity count INT_MAX", with("0\n\nPEAK", "2147483647\n\nPEAK"), 0, kAny, kAny},
      {"velocity time beyond int", with("0\n\nPEAK", "1\n1 1e30 4.5\n\nPEAK"), 1, INT_MAX, 30},
      {"velocity time NaN", with("0\n\nPEAK", "1\n1 nan 4.5\n\nPEAK"), 1, 0, 30},
      {"dated velocity day INT_MAX", with("0\n\nPEAK", "1\n1 2147483647 23 59 4.5 4.5 4.5\n\nPEAK"),
       1, INT_MAX, 30},
      {"PEAK seconds beyond int", with("10:20:30\n", "10:20:1e30\n"), 1, kAny, INT_MAX},
      {"PEAK seconds NaN", with("10:20:30\n", "10:20:nan\n"), 1, kAny, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteText(dir + "/x.pad", c.text);
    CAEHypo h;
    ScriptedUi ui;
    ASSERT_EQ(h.LoadPad(dir + "/x.pad", true), c.loaded);
    if (c.velTime0 != kAny) {
      EXPECT_EQ(h.m_nVelTime[0], c.velTime0);
    }
    if (c.startSec != kAny) {
      EXPECT_EQ(h.m_tmStart.tm_sec, c.startSec);
      EXPECT_EQ(h.m_fStartFrac, 0.0f);
    }
  }
}

TEST(AEHCatalogueTest, RecordsSitAtTheirOffsetsByteByByte) {
  CAEHypo h;
  std::string dir = OpenNew(h, "layout");
  FillRecord(h.m_Rec, 16);
  ASSERT_EQ(h.PutAEH(3, false), 1);
  EXPECT_EQ(h.m_nAE, 4);
  auto b = ReadBytes(dir + "/exp1.aeh");
  ASSERT_EQ(b.size(), 4u * 416u);
  const std::uint8_t* r = b.data() + 1248;
  EXPECT_EQ(r[0], 26);
  EXPECT_EQ(r[5], 59);
  EXPECT_EQ(r[6], 9);
  EXPECT_EQ(static_cast<std::int8_t>(r[7]), -3);
  EXPECT_EQ(le::GetI32(r + 8), 123456);
  EXPECT_EQ(le::GetI32(r + 12), 654321);
  EXPECT_EQ(le::GetF32(r + 16), 0.25f);
  EXPECT_EQ(le::GetF32(r + 20), -7.5f);
  EXPECT_EQ(le::GetF32(r + 32), 1.5f);
  EXPECT_EQ(le::GetF32(r + 40), -2.5f);
  EXPECT_EQ(le::GetF32(r + 60), 0.125f);
  EXPECT_EQ(r[64], 5);
  EXPECT_EQ(r[67], 0x81);
  EXPECT_EQ(le::GetF32(r + 84), 0.9f);
  EXPECT_EQ(le::GetF32(r + 108), -90.0f);
  EXPECT_EQ(le::GetI32(r + 112), 3);  // the position written, not the 77 held in memory
  EXPECT_EQ(le::GetF32(r + 124), 6.0f);
  const int n = 16;
  for (int k = 0; k < n; ++k) {
    EXPECT_EQ(le::GetF32(r + 128 + 4 * k), 10.0f + k);
    EXPECT_EQ(le::GetF32(r + 128 + 4 * n + 4 * k),
              -100.0f * k);  // amplitude before S/N in the file
    EXPECT_EQ(le::GetF32(r + 128 + 8 * n + 4 * k), 2.0f * k);
    EXPECT_EQ(le::GetF32(r + 128 + 12 * n + 4 * k), 0.5f * k);
    EXPECT_EQ(static_cast<std::int8_t>(r[128 + 16 * n + k]), k % 3 - 1);
    EXPECT_EQ(r[128 + 17 * n + k], n - 1 - k);
  }
  // Skipped records read as zeros; the read stores the position as the index.
  AEHRecord back{};
  ASSERT_EQ(h.GetAEH(3, &back), 1);
  AEHRecord expect;
  FillRecord(expect, 16);
  expect.nIndex = 3;
  EXPECT_EQ(std::memcmp(&back, &expect, sizeof back), 0);
  EXPECT_EQ(h.m_nCurAE, 3);
  ASSERT_EQ(h.GetAEHHeader(3), 1);
  EXPECT_EQ(h.m_Rec.nIndex, 3);
  ASSERT_EQ(h.GetAEH(1, &back), 1);
  EXPECT_EQ(back.nTimeSec, 0);
  EXPECT_EQ(h.GetAEH(4, &back), 0);
  EXPECT_EQ(h.GetAEH(-1, &back), 0);
  EXPECT_EQ(back.nIndex, 1);  // unchanged by the refused reads
}

TEST(AEHCatalogueTest, WritesGrowTheCatalogueAndHonourTheLock) {
  CAEHypo h;
  std::string dir = OpenNew(h, "grow");
  FillRecord(h.m_Rec, 16);
  h.m_Rec.nFlags = 0;
  ASSERT_EQ(h.PutAEH(5, true), 1);
  EXPECT_EQ(h.m_nAE, 6);
  EXPECT_EQ(h.GetNumAE(), 6);
  ASSERT_EQ(h.PutAEH(2, true), 1);
  EXPECT_EQ(h.m_nAE, 6);
  auto before = ReadBytes(dir + "/exp1.aeh");
  h.m_Rec.nFlags = 0x21;
  h.m_Rec.fMw = 1.0f;
  EXPECT_EQ(h.PutAEH(2, true), 0);
  EXPECT_EQ(ReadBytes(dir + "/exp1.aeh"), before);
  EXPECT_EQ(h.PutAEH(2, false), 1);
  EXPECT_NE(ReadBytes(dir + "/exp1.aeh"), before);
  // A bad sensor index is never written; the message names the record.
  for (int bad : {16, -1}) {
    auto now = ReadBytes(dir + "/exp1.aeh");
    h.m_Rec.nSensor[4] = static_cast<std::int8_t>(bad);
    ScriptedUi ui;
    EXPECT_EQ(h.PutAEH(4, false), 0);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_EQ(ui.MessageTexts()[0], "Error detected in CAEHypo::PutAEH(nAE=4)");
    EXPECT_EQ(ReadBytes(dir + "/exp1.aeh"), now);
  }
}

TEST(AEHCatalogueTest, BadSensorIndexOnDiskIsReportedAndStillRead) {
  CAEHypo h;
  std::string dir = OpenNew(h, "badread");
  FillRecord(h.m_Rec, 16);
  ASSERT_EQ(h.PutAEH(0, false), 1);
  auto b = ReadBytes(dir + "/exp1.aeh");
  b[128 + 17 * 16 + 2] = 40;
  b[128 + 17 * 16 + 5] = 0xFF;
  WriteBytes(dir + "/exp1.aeh", b);
  ScriptedUi ui;
  EXPECT_EQ(h.GetAEH(0), 1);
  auto texts = ui.MessageTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("record 0"), std::string::npos);
}

TEST(AEHCatalogueTest, FailedWritesAreReportedNotTakenAsSaved) {
  CAEHypo h;
  std::string dir = TmpDir("full");
  WriteText(dir + "/exp1.pad", MiniPad(16));
  fs::create_symlink("/dev/full", dir + "/exp1.aeh");
  ASSERT_EQ(h.LoadPad(dir + "/exp1.pad", false), 1);
  ASSERT_EQ(h.m_bReadOnly, 0);
  FillRecord(h.m_Rec, 16);
  ScriptedUi ui;
  EXPECT_EQ(h.PutAEH(0, false), 0);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("could not be written"), std::string::npos);
  EXPECT_EQ(h.m_nAE, 0);
}

TEST(AEHCatalogueTest, ReadOnlyCatalogueOpensForReading) {
  std::string dir;
  {
    CAEHypo h;
    dir = OpenNew(h, "readonly");
    FillRecord(h.m_Rec, 16);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(h.PutAEH(i, false), 1);
  }
  std::string aeh = dir + "/exp1.aeh";
  fs::permissions(aeh, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  if (::access(aeh.c_str(), W_OK) == 0) GTEST_SKIP() << "this user may write read-only files";
  CAEHypo h;
  ASSERT_EQ(h.LoadPad(dir + "/exp1.pad", false), 1);
  EXPECT_EQ(h.m_bReadOnly, 1);
  EXPECT_EQ(h.m_nAE, 3);
  EXPECT_EQ(h.GetAEH(2), 1);
  EXPECT_EQ(h.PutAEH(2, false), 0);
}

// A catalogue whose records cannot have the size its parameter file now gives (a sensor
// count changed from 16 to 17: 434-byte records over 416-byte ones; or from 16 to 20 over a
// length that happens to be a whole number of both sizes) opens for reading only, with a
// message that says why, and a save leaves its bytes as they were (it overwrote bytes of the
// next event's record).
TEST(AEHCatalogueTest, CatalogueOfAnotherRecordSizeIsNotWritten) {
  std::string dir;
  auto written = [&](int records) {
    CAEHypo h;
    dir = OpenNew(h, "recsize");
    for (int i = 0; i < records; ++i) {
      FillRecord(h.m_Rec, 16);
      EXPECT_EQ(h.PutAEH(i, false), 1);
    }
    return ReadBytes(dir + "/exp1.aeh");
  };
  struct Case {
    const char* what;
    int sensors;
    std::vector<std::uint8_t> bytes;
    const char* reason;
  };
  // 61 records of 416 bytes are 52 records of 488 bytes.
  const Case cases[] = {
      {"sensor count changed", 17, written(6), "not a whole number of 434-byte records"},
      {"whole records of another size", 20, written(61), "do not lie 488 bytes apart"},
  };
  const std::string aeh = dir + "/exp1.aeh";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteText(dir + "/exp1.pad", MiniPad(c.sensors));
    WriteBytes(aeh, c.bytes);
    CAEHypo h;
    ScriptedUi ui;
    ASSERT_EQ(h.LoadPad(dir + "/exp1.pad", false), 1);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find("reading only"), std::string::npos);
    EXPECT_NE(ui.MessageTexts()[0].find(c.reason), std::string::npos) << ui.MessageTexts()[0];
    EXPECT_EQ(h.m_bReadOnly, 1);
    ASSERT_EQ(h.GetAEH(3), 1);  // reading stays possible
    h.m_Rec.fMw = -6.0f;
    EXPECT_EQ(h.PutAEH(3, false), 0);
    EXPECT_EQ(ReadBytes(aeh), c.bytes);
  }
  // With the sensor count it was written for, it opens for writing again.
  WriteText(dir + "/exp1.pad", MiniPad(16));
  WriteBytes(aeh, cases[0].bytes);
  CAEHypo h;
  ScriptedUi ui;
  ASSERT_EQ(h.LoadPad(dir + "/exp1.pad", false), 1);
  EXPECT_TRUE(ui.MessageTexts().empty());
  EXPECT_EQ(h.m_bReadOnly, 0);
  EXPECT_EQ(h.m_nAE, 6);
}

// Records written from a record in memory that came from elsewhere (the time-mark
// correction writes the record of source event k as catalogue event n) carry the index of
// their position, so the catalogue reopens for writing. Records of the right size that hold
// a stale index (earlier builds wrote one) do not lock the catalogue either.
TEST(AEHCatalogueTest, CataloguesTheProgramWroteReopenForWriting) {
  std::string dir;
  {
    CAEHypo h;
    dir = OpenNew(h, "reopen");
    for (int i = 0; i < 5; ++i) {
      FillRecord(h.m_Rec, 16);
      h.m_Rec.nIndex = 40 + 3 * i;  // the source event's number
      ASSERT_EQ(h.PutAEH(i, true), 1);
    }
  }
  const std::string aeh = dir + "/exp1.aeh";
  auto reopen = [&] {
    CAEHypo h;
    ScriptedUi ui;
    EXPECT_EQ(h.LoadPad(dir + "/exp1.pad", false), 1);
    EXPECT_TRUE(ui.MessageTexts().empty());
    EXPECT_EQ(h.m_bReadOnly, 0);
    EXPECT_EQ(h.m_nAE, 5);
    FillRecord(h.m_Rec, 16);
    EXPECT_EQ(h.PutAEH(4, false), 1);
  };
  auto bytes = ReadBytes(aeh);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(le::GetI32(bytes.data() + 416 * i + 112), i);
  reopen();
  for (int i = 1; i < 5; ++i) le::PutI32(bytes.data() + 416 * i + 112, 40 + 3 * i);
  WriteBytes(aeh, bytes);
  reopen();
}

TEST(AEHCatalogueTest, LegacyCataloguesConvert) {
  // An "aed" file of 16 sensors: two records, the second with 5 arrivals, value 20 and
  // polarity -1 on arrival 3.
  const int n = 16;
  std::string dir = TmpDir("aed");
  WriteText(dir + "/exp1.par", MiniPad(n));
  std::vector<std::uint8_t> aed(2 * (128 + 7 * n), 0);
  std::uint8_t* r = aed.data() + 128 + 7 * n;
  r[6] = 5;
  le::PutI32(r + 8, 99);
  le::PutF32(r + 128 + 4 * 3, 12.5f);
  r[128 + 4 * n + 3] = 20;
  r[128 + 5 * n + 3] = 0xFF;
  r[128 + 6 * n + 3] = 7;
  WriteBytes(dir + "/exp1.aed", aed);
  {
    CAEHypo h;
    ScriptedUi ui;
    ui.ExpectMessage("Convert AED to AEH?", IDNO);
    EXPECT_EQ(h.LoadPad(dir + "/exp1.par", false), 0);
    EXPECT_FALSE(fs::exists(dir + "/exp1.aeh"));
    EXPECT_EQ(h.m_nSensors, n);  // parameters read before stay
  }
  CAEHypo h;
  ScriptedUi ui;
  ui.ExpectMessage("Convert AED to AEH?", IDYES);
  ASSERT_EQ(h.LoadPad(dir + "/exp1.par", false), 1);
  EXPECT_EQ(h.m_nAE, 2);
  EXPECT_TRUE(fs::exists(dir + "/exp1.aed"));
  ASSERT_EQ(h.GetAEH(1), 1);
  EXPECT_FLOAT_EQ(h.m_Rec.fSN[3], 2.0f);
  EXPECT_FLOAT_EQ(h.m_Rec.fAmp[3], -40000.0f);
  EXPECT_FLOAT_EQ(h.m_Rec.fRise[3], 0.0f);
  EXPECT_FLOAT_EQ(h.m_Rec.fTime[3], 12.5f);
  EXPECT_EQ(h.m_Rec.nSensor[3], 7);
  EXPECT_EQ(h.m_Rec.nFlags, 1);
  EXPECT_EQ(h.m_Rec.nTimeSec, 99);  // the header is carried over
  ASSERT_EQ(h.GetAEH(0), 1);
  EXPECT_EQ(h.m_Rec.nFlags, 0);

  // "aef": the amplitude is its own array.
  std::string dir2 = TmpDir("aef");
  WriteText(dir2 + "/exp1.pad", MiniPad(n));
  std::vector<std::uint8_t> aef(128 + 11 * n, 0);
  aef[6] = 5;
  le::PutF32(aef.data() + 128 + 4 * n + 4 * 2, 333.0f);
  aef[128 + 8 * n + 2] = static_cast<std::uint8_t>(-15);
  aef[128 + 9 * n + 2] = 1;
  aef[128 + 10 * n + 2] = 2;
  WriteBytes(dir2 + "/exp1.aef", aef);
  CAEHypo h2;
  ui.ExpectMessage("Convert AEF to AEH?", IDYES);
  ASSERT_EQ(h2.LoadPad(dir2 + "/exp1.pad", false), 1);
  ASSERT_EQ(h2.GetAEH(0), 1);
  EXPECT_FLOAT_EQ(h2.m_Rec.fAmp[2], 333.0f);
  EXPECT_FLOAT_EQ(h2.m_Rec.fSN[2], -1.5f);
  EXPECT_EQ(h2.m_Rec.nPolarity[2], 1);
  EXPECT_EQ(h2.m_Rec.nFlags, 0);
}

TEST(AEHCatalogueTest, OpeningSetsTheSymbolScaleAndRefusedCreationFails) {
  std::string dir = TmpDir("scale");
  WriteText(dir + "/exp1.par", MiniPad(1));
  for (auto [records, scale] :
       {std::pair{1000, 40.0f}, {1001, 30.0f}, {5001, 20.0f}, {10001, 10.0f}}) {
    WriteBytes(dir + "/exp1.aeh",
               std::vector<std::uint8_t>(static_cast<std::size_t>(records) * 146 + 100, 0));
    CAEHypo h;
    ASSERT_EQ(h.LoadPad(dir + "/exp1.par", false), 1);
    EXPECT_EQ(h.m_nAE, records);  // a cut-off tail does not count as a record
    EXPECT_FLOAT_EQ(h.m_fHypoScale, scale) << records;
  }
  fs::remove(dir + "/exp1.aeh");
  CAEHypo h;
  ScriptedUi ui;
  ui.ExpectMessage(" open failed!, create??", IDNO);
  EXPECT_EQ(h.LoadPad(dir + "/exp1.par", false), 0);
  EXPECT_FALSE(h.m_fpAEH);
  EXPECT_FALSE(fs::exists(dir + "/exp1.aeh"));
}

TEST(AEHCatalogueTest, AnEventWithoutRecordGetsAClearedOne) {
  CAEHypo h;
  OpenNew(h, "clear");
  FillRecord(h.m_Rec, 16);
  h.m_Rec.nFlags = AEH_FLAG_LOCKED | AEH_FLAG_MECHANISM;
  ASSERT_EQ(h.PutAEH(0, false), 1);
  ASSERT_EQ(h.GetAEH(0), 1);
  // Stepping to event 5: the catalogue has no record for it.
  EXPECT_EQ(h.GetAEH(5), 0);
  EXPECT_EQ(h.m_Rec.nFlags, AEH_FLAG_LOCKED | AEH_FLAG_MECHANISM);  // a failed read changes nothing
  AEWHeader w{};
  w.nYear = 2026;
  w.nMonth = 12;
  w.nDay = 10;
  w.nSecond = 9;
  w.nSec = 36;
  w.nUsec = 125;
  h.ClearRecord(5, &w);
  EXPECT_EQ(h.m_Rec.nFlags, 0);
  EXPECT_EQ(h.m_Rec.nMecType, 0);
  EXPECT_EQ(h.m_Rec.fStrike, 0.0f);
  EXPECT_EQ(h.m_Rec.nIndex, 5);
  EXPECT_EQ(h.m_Rec.nYear, 2026 & 0xFF);
  EXPECT_EQ(h.m_Rec.nSecond, 9);
  EXPECT_EQ(h.m_Rec.nTimeSec, 36);
  EXPECT_EQ(h.m_Rec.nTimeUs, 125);
  EXPECT_EQ(h.m_Rec.nSensor[15], 15);
  EXPECT_EQ(h.PutAEH(5, true), 1);  // the cleared record is writable and unlocked
}

TEST(AEHypoPadTest, SampleExperimentOpens) {
  std::string dir = TmpDir("example");
  for (const char* name : {"Cube.pad", "Cube.aeh"})
    fs::copy_file(std::string(TV_SOURCE_DIR) + "/examples/SynthCube/" + name, dir + "/" + name);
  CAEHypo h;
  ScriptedUi ui;
  ASSERT_EQ(h.LoadPad(dir + "/Cube.pad", false), 1);
  EXPECT_TRUE(ui.Shown().empty());
  EXPECT_EQ(h.m_nSensors, 16);
  EXPECT_EQ(h.m_nShape, 4);
  EXPECT_FLOAT_EQ(h.m_fVel[0][0], 5.5f);
  EXPECT_DOUBLE_EQ(h.m_pSensorXYZ[15].z, -25.0);
  EXPECT_EQ(h.m_nAE, 20);
  ASSERT_EQ(h.GetAEH(19), 1);
  EXPECT_EQ(h.m_Rec.nTimeSec, 1 + 7 * 19);
  EXPECT_EQ(h.m_Rec.nSensor[15], 15);
}
