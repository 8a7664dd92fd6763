#include "aecore/waveform/KZ_WaveDate.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/AEWaveGse2.h"
#include "aecore/waveform/AEWaveSac.h"
#include "aecore/waveform/KZ_Seg2Folder.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "aecore/waveform/Seg2TestFile.h"
#include "platform/ByteOrder.h"

namespace fs = std::filesystem;
using tv_test::ReadText;
using tv_test::TmpDir;
using tv_test::WriteBytes;

namespace {

std::string RunTool(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

bool HavePython() { return fs::exists("/usr/bin/python3"); }

// "key value" lines of the independent readers; the first of each key.
std::map<std::string, std::string> KeyLines(const std::string& text) {
  std::map<std::string, std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::size_t blank = line.find(' ');
    if (blank != std::string::npos) out.emplace(line.substr(0, blank), line.substr(blank + 1));
  }
  return out;
}

std::vector<std::string> FilesIn(const std::string& dir, const std::string& ending) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(),
                                                     ending) == 0)
      out.push_back(name);
  }
  return out;
}

// A standard SEG-2 file of one trace as another recorder writes it: no TIME_BEGIN, the
// date in the given form, 2500 samples at 1 ms.
void WriteRecorderFile(const std::string& path, const std::string& date) {
  tv_test::Seg2Trace t;
  t.format = 2;
  t.samples = 2500;
  t.data.resize(4 * t.samples);
  for (std::uint32_t i = 0; i < t.samples; ++i)
    le::PutI32(t.data.data() + 4 * i, static_cast<std::int32_t>(i % 100) - 50);
  t.strings = {"SAMPLE_INTERVAL 0.001", "LINE_ID ST01:BHZ", "DESCALING_FACTOR 1"};
  WriteBytes(path, tv_test::BuildSeg2({"ACQUISITION_DATE " + date, "ACQUISITION_TIME 10:30:41",
                                       "NOTE from the recorder"},
                                      {t}));
}

}  // namespace

TEST(KZWaveDate, BothFormsAreRead) {
  struct Case {
    const char* text;
    bool ok;
    int y, m, d;
  };
  const Case cases[] = {
      {"07/JAN/2013", true, 2013, 1, 7},   {"7-jan-2013", true, 2013, 1, 7},
      {"31/December/1999", true, 1999, 12, 31}, {" 2013/01/07", true, 2013, 1, 7},
      {"2013-1-7", true, 2013, 1, 7},       {"2013 02 28", true, 2013, 2, 28},
      {"07/XYZ/2013", false, 0, 0, 0},      {"2013/13/01", false, 0, 0, 0},
      {"07/01/2013", false, 0, 0, 0},       {"", false, 0, 0, 0},
      {"2013/01", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int y = -1, m = -1, d = -1;
    EXPECT_EQ(KZ_ParseSeg2Date(c.text, &y, &m, &d), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(y, c.y) << c.text;
      EXPECT_EQ(m, c.m) << c.text;
      EXPECT_EQ(d, c.d) << c.text;
    } else {
      EXPECT_EQ(y, -1) << c.text;  // untouched
    }
  }
}

// A file of each date form read into the container, then written as GSE2.1 and SAC: the
// independent readers find the record's real date and time in every header and name.
TEST(KZWaveDate, ExportsOfBothFormsCarryTheRecordTime) {
  for (const char* date : {"07/JAN/2013", "2013/01/07"}) {
    SCOPED_TRACE(date);
    const std::string dir = TmpDir("wave_date");
    WriteRecorderFile(dir + "/rec.seg", date);
    KZ_WaveDataSeg2 w;
    ASSERT_EQ(w.Load(dir + "/rec.seg", 1, 0, 0), 1);
    EXPECT_STREQ(w.m_header.szNote, "Start: 2013/01/07 10:30:41(UTC)");

    // GSE2.1 from sample 1500: moved down to the whole second 1000, 10:30:42.
    const std::string gse = dir + "/gse/";
    fs::create_directories(gse);
    ASSERT_TRUE(WriteGSE2(gse + "x.GSE", w.m_header, w.m_traces, 1500, 1000, "CM6"));
    EXPECT_EQ(FilesIn(gse, ".GSE"), std::vector<std::string>{"201301071030.GSE"});

    // SAC and ".sacs" from sample 1500: 10:30:42.500.
    const std::string sac = dir + "/sac/";
    fs::create_directories(sac);
    ASSERT_EQ(ExportSAC(sac, w, 1500, 500, -1), 0);  // one channel: 1 / 3 = 0
    const auto sacs = FilesIn(sac, ".sac");
    ASSERT_EQ(sacs.size(), 1u);
    EXPECT_EQ(sacs[0].rfind("2013_01_07_10_30_42500_01_", 0), 0u) << sacs[0];
    ASSERT_EQ(ExportEventSACs(dir + "/ev.sacs", w, 1500, 500, -1, 1, 0), 0);

    if (!HavePython()) GTEST_SKIP() << "no /usr/bin/python3";
    const auto g = KeyLines(RunTool("/usr/bin/python3 " TV_SOURCE_DIR "/tools/gse2/cm6.py header '" +
                                gse + "201301071030.GSE' 2>&1"));
    EXPECT_EQ(g.count("msg_id") ? g.at("msg_id") : "", "2013-01-07T10:30:00.000");
    EXPECT_EQ(g.count("wid2") ? g.at("wid2") : "", "2013-01-07T10:30:42.000 ST01 BHZ 1000 1000.000000");
    for (const std::string& file : {sac + sacs[0], dir + "/ev.sacs"}) {
      const auto s =
          KeyLines(RunTool("/usr/bin/python3 " TV_SOURCE_DIR "/tools/sac/sac_header.py '" + file +
                       "' 2>&1"));
      EXPECT_EQ(s.count("start") ? s.at("start") : "", "2013-01-07T10:30:42.500") << file;
      EXPECT_EQ(s.count("NZYEAR") ? s.at("NZYEAR") : "", "2013") << file;
      EXPECT_EQ(s.count("NZJDAY") ? s.at("NZJDAY") : "", "7") << file;
    }
  }
}

// The folder utilities rewrite the files with the note of their start: a recorder's date
// gives that start, not Julian day 0.
TEST(KZWaveDate, FolderRewriteKeepsTheStartInTheNote) {
  const std::string dir = TmpDir("wave_date_folder");
  WriteRecorderFile(dir + "/a.sg2", "07/JAN/2013");
  const std::string out = dir + "/out/";
  fs::create_directories(out);
  EXPECT_EQ(KZ_Seg2ShiftTimesInFolder(dir + "/", 1.0f, out), 0);
  const std::string bytes = ReadText(out + "a.sg2");
  EXPECT_NE(bytes.find("NOTE Start: 2013/01/07 10:30:41(UTC)"), std::string::npos);
  EXPECT_NE(bytes.find("ACQUISITION_DATE 07/JAN/2013"), std::string::npos);
}
