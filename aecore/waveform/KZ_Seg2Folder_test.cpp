#include "aecore/waveform/KZ_Seg2Folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "aecore/waveform/Seg2TestFile.h"
#include "platform/ByteOrder.h"
#include "platform/Strings.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::testing::ScriptedUi;
using tv_test::TmpDir;
using tv_test::WriteBytes;

namespace {

// A file of `n` traces of code `code`; trace k holds 5 samples of value 10 k + j, or of
// `big` when given, and RECEIVER_LOCATION 0 0 k.
std::vector<std::uint8_t> File(int n, int code, const char* time = "100 200000", double big = 0) {
  std::vector<tv_test::Seg2Trace> traces(n);
  for (int k = 0; k < n; ++k) {
    tv_test::Seg2Trace& t = traces[k];
    t.format = code;
    t.samples = 5;
    t.strings = {plat::Format("RECEIVER_LOCATION 0 0 %d", k), "SAMPLE_INTERVAL 0.001"};
    const int width = code == 1 ? 2 : code == 5 ? 8 : 4;
    t.data.resize(5u * width);
    for (int j = 0; j < 5; ++j) {
      const double v = big != 0 ? big : 10 * k + j;
      std::uint8_t* p = t.data.data() + width * j;
      if (code == 1) le::PutI16(p, static_cast<std::int16_t>(v));
      if (code == 2) le::PutI32(p, static_cast<std::int32_t>(v));
      if (code == 4) le::PutF32(p, static_cast<float>(v));
      if (code == 5) le::PutF64(p, v);
    }
  }
  return tv_test::BuildSeg2({"ACQUISITION_DATE 2013/01/07", std::string("TIME_SEC_USEC ") + time},
                            traces);
}

std::unique_ptr<KZ_WaveDataSeg2> Read(const std::string& path) {
  auto w = std::make_unique<KZ_WaveDataSeg2>();
  EXPECT_EQ(1, w->Load(path, 1, 0, 0)) << path;
  return w;
}

}  // namespace

TEST(Seg2Folder, DropsTheListedPositionsOfEveryFile) {
  const std::string src = TmpDir("seg2_folder_drop/in") + "/";
  const std::string dst = TmpDir("seg2_folder_drop/out") + "/";
  WriteBytes(src + "a.sg2", File(4, 1));
  WriteBytes(src + "b.SG2", File(5, 2));
  WriteBytes(src + ".hidden.sg2", File(4, 1));
  WriteBytes(src + "broken.sg2", {0x55, 0x3A, 1});
  WriteBytes(src + "other.dat", File(4, 1));
  const int positions[] = {1, 3, 7};
  EXPECT_EQ(0, KZ_Seg2DropTracesInFolder(src, positions, 3, dst));
  std::vector<std::string> written;
  for (const auto& e : fs::directory_iterator(dst)) written.push_back(e.path().filename());
  std::sort(written.begin(), written.end());
  EXPECT_EQ((std::vector<std::string>{"a.sg2", "b.SG2"}), written);
  struct Case {
    const char* name;
    std::vector<double> kept;  // receiver z of the traces written
    int code;
  };
  for (const Case& c : {Case{"a.sg2", {0, 2}, 1}, Case{"b.SG2", {0, 2, 4}, 2}}) {
    const auto p = Read(dst + c.name);
    const KZ_WaveDataSeg2& w = *p;
    ASSERT_EQ(c.kept.size(), static_cast<std::size_t>(w.Count())) << c.name;
    for (int i = 0; i < w.Count(); ++i) {
      EXPECT_EQ(c.kept[i], w.GetTrace(i)->m_fReceiver[2]) << c.name;
      EXPECT_EQ(10 * c.kept[i] + 4, w.GetTrace(i)->m_pData[4]) << c.name;
      EXPECT_EQ(c.code, w.GetTrace(i)->m_nFormat) << c.name;  // the input's code is kept
    }
  }
  // A folder without SEG-2 files leaves the destination as it was.
  const std::string empty = TmpDir("seg2_folder_drop/empty") + "/";
  const std::string untouched = TmpDir("seg2_folder_drop/untouched") + "/";
  EXPECT_EQ(0, KZ_Seg2DropTracesInFolder(empty, positions, 2, untouched));
  EXPECT_TRUE(fs::is_empty(untouched));
}

TEST(Seg2Folder, ShiftsStartTimesInPlaceToTheMicrosecond) {
  struct Case {
    const char* name;
    const char* time;
    float shift;
    int sec, usec;
  };
  const Case cases[] = {
      {"a.sg2", "100 200000", -0.5f, 99, 700000},
      {"b.sg2", "100 200000", 0.1f, 100, 300000},
      {"c.sg2", "0 100", -0.0002f, -1, 999900},
      {"d.sg2", "1357554641 999999", 1e-6f, 1357554642, 0},
  };
  for (const Case& c : cases) {
    const std::string one = TmpDir(std::string("seg2_folder_shift_") + c.name) + "/";
    WriteBytes(one + c.name, File(2, 4, c.time));
    EXPECT_EQ(0, KZ_Seg2ShiftTimesInFolder(one, c.shift, one));
    const auto p = Read(one + c.name);
    const KZ_WaveDataSeg2& w = *p;
    EXPECT_EQ(c.sec, w.m_header.nStartSec) << c.name;
    EXPECT_EQ(c.usec, w.m_header.nStartUsec) << c.name;
    ASSERT_EQ(2, w.Count());
    EXPECT_EQ(13, w.GetTrace(1)->m_pData[3]);
  }
}

TEST(Seg2Folder, SamplesOutsideSixteenBitsAreClampedWithAWarningAndFailuresCounted) {
  const std::string src = TmpDir("seg2_folder_clamp") + "/";
  WriteBytes(src + "big.sg2", File(1, 5, "0 0", 1e6));  // doubles: written as 16 bits
  ScriptedUi ui;
  EXPECT_EQ(0, KZ_Seg2ShiftTimesInFolder(src, 1.0f, src));
  ASSERT_EQ(1u, ui.MessageTexts().size());
  EXPECT_NE(std::string::npos, ui.MessageTexts()[0].find("clamped"));
  const auto p = Read(src + "big.sg2");
  const KZ_WaveDataSeg2& w = *p;
  EXPECT_EQ(1, w.GetTrace(0)->m_nFormat);
  EXPECT_EQ(32767, w.GetTrace(0)->m_pData[0]);
  EXPECT_EQ(1, w.m_header.nStartSec);
  // A destination that cannot be written is counted, and the source stays.
  EXPECT_EQ(1, KZ_Seg2ShiftTimesInFolder(src, 1.0f, src + "missing/"));
  EXPECT_EQ(1, Read(src + "big.sg2")->m_header.nStartSec);
}
