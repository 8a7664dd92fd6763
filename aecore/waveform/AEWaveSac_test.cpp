#include "aecore/waveform/AEWaveSac.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "aecore/aecore_test_support.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "base/util/KZ_DateTime.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace fs = std::filesystem;
using tv_test::TmpDir;

namespace {

const char* const kSample = TV_SOURCE_DIR "/aecore/waveform/testdata/sac/test.sac";

// The fields of every trace as the independent reader (tools/sac) gives them; empty when
// Debian's Python is not there.
using Fields = std::map<std::string, std::string>;
std::vector<Fields> PythonRead(const std::string& path) {
  if (!fs::exists("/usr/bin/python3")) return {};
  const std::string cmd =
      "/usr/bin/python3 " TV_SOURCE_DIR "/tools/sac/sac_header.py '" + path + "' 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  std::vector<Fields> traces;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank), value = line.substr(blank + 1);
    if (key == "trace")
      traces.emplace_back();
    else if (!traces.empty())
      traces.back()[key] = value;
  }
  return traces;
}

double Num(const Fields& f, const char* key) {
  auto it = f.find(key);
  return it == f.end() ? NAN : std::stod(it->second);
}

// Three components (Z, N, E) of 200 samples, value 10 i + j, gain 0.5 i + 1.
void Fill(KZ_WaveData& w, double dt) {
  const char* codes[] = {"BHZ", "BHN", "BHE"};
  for (int i = 0; i < 3; ++i) {
    auto t = std::make_unique<KZ_WaveTrace>(200);
    KZ_CopyText(t->m_szGseChannel, codes[i]);
    t->m_fInterval = dt;
    t->m_fDescale = 0.5 * i + 1.0;
    t->m_fSource[0] = 1.5;
    t->m_fSource[1] = 2.5;
    t->m_fSource[2] = 3.5;
    t->m_nPick = 40 + i;
    for (int j = 0; j < 200; ++j) t->m_pData[j] = static_cast<float>(10 * i + j);
    w.AddTrace(std::move(t));
  }
  // 41.9996 s: the milliseconds round up into the next second.
  KZ_CopyText(w.m_header.szDate, "2013/01/07");
  KZ_CopyText(w.m_header.szTime, "10:30:41");
  w.m_header.nStartUsec = 999600;
}

}  // namespace

TEST(Sac, HeaderLayoutReadsThePublishedSample) {
  const std::vector<std::uint8_t> b = tv_test::ReadBytes(kSample);
  ASSERT_EQ(1032u, b.size());
  KZ_SacHeader h;
  h.Decode(b.data());
  EXPECT_EQ(100, h.n[KZ_SacHeader::NPTS]);
  EXPECT_FLOAT_EQ(10.0f, h.f[KZ_SacHeader::B]);
  EXPECT_FLOAT_EQ(109.0f, h.f[KZ_SacHeader::E]);
  EXPECT_EQ("STA", h.Text(KZ_SacHeader::KSTNM));
  EXPECT_EQ("Q", h.Text(KZ_SacHeader::KCMPNM));
  EXPECT_EQ(1978, h.n[KZ_SacHeader::NZYEAR]);
  EXPECT_EQ(199, h.n[KZ_SacHeader::NZJDAY]);
  std::vector<std::uint8_t> again(632);
  h.Encode(again.data());
  EXPECT_TRUE(std::equal(again.begin(), again.end(), b.begin()));

  const auto py = PythonRead(kSample);
  if (py.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  ASSERT_EQ(1u, py.size());
  EXPECT_EQ(100, Num(py[0], "NPTS"));
  EXPECT_EQ(1.0, Num(py[0], "DELTA"));
  EXPECT_EQ(10.0, Num(py[0], "B"));
  EXPECT_EQ(109.0, Num(py[0], "E"));
  EXPECT_EQ(-12345, Num(py[0], "IZTYPE"));
  EXPECT_EQ("'-12345  '", py[0].at("KNETWK"));
  EXPECT_EQ("1978-07-18T08:00:00.000", py[0].at("start"));
}

TEST(Sac, InitGivesATimeSeriesEndingAtItsLastSample) {
  KZ_SacHeader h;
  InitSACHeader(h, 0.25f, 9, 1.0f);
  EXPECT_FLOAT_EQ(3.0f, h.f[KZ_SacHeader::E]);
  EXPECT_EQ(6, h.n[KZ_SacHeader::NVHDR]);
  EXPECT_EQ(1, h.n[KZ_SacHeader::IFTYPE]);
  EXPECT_EQ(11, h.n[KZ_SacHeader::IZTYPE]);
  EXPECT_EQ(1, h.n[KZ_SacHeader::LEVEN]);
  EXPECT_FLOAT_EQ(0.0f, h.f[KZ_SacHeader::O]);
  EXPECT_EQ(-12345, h.n[KZ_SacHeader::IDEP]);
  EXPECT_EQ("-12345", h.EventName());
}

TEST(Sac, ExportWritesOneFilePerChannelNamedByFolderAndTime) {
  const std::string dated = TmpDir("sac_export/20130107") + "/";
  const std::string other = TmpDir("sac_export/other") + "/";
  KZ_WaveDataAE w;
  Fill(w, 0.001);
  EXPECT_EQ(1, ExportSAC(dated, w, 0, 100, -1));
  for (const char* name : {"01.BHZ.sac", "02.BHN.sac", "03.BHE.sac"})
    EXPECT_TRUE(fs::exists(dated + name)) << name;
  // 10 samples later the segment starts at 42.0096 s.
  EXPECT_EQ(0, ExportSAC(other, w, 10, 0, 2));
  const std::string named = other + "2013_01_07_10_30_42010_03_BHE.sac";
  ASSERT_TRUE(fs::exists(named));

  const auto z = PythonRead(dated + "01.BHZ.sac");
  if (z.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  ASSERT_EQ(1u, z.size());
  EXPECT_EQ(100, Num(z[0], "NPTS"));
  EXPECT_FLOAT_EQ(0.001f, Num(z[0], "DELTA"));
  EXPECT_EQ(0, Num(z[0], "B"));
  EXPECT_FLOAT_EQ(0.099f, Num(z[0], "E"));
  EXPECT_FLOAT_EQ(0.040f, Num(z[0], "T1"));
  EXPECT_EQ("2013-01-07T10:30:42.000", z[0].at("start"));  // never 41 s and 1000 ms
  EXPECT_EQ(0, Num(z[0], "NZMSEC"));
  EXPECT_EQ(-90, Num(z[0], "CMPINC"));
  EXPECT_EQ(0, Num(z[0], "CMPAZ"));
  EXPECT_FLOAT_EQ(2.5f, Num(z[0], "EVLA"));
  EXPECT_FLOAT_EQ(1.5f, Num(z[0], "EVLO"));
  EXPECT_FLOAT_EQ(3.5f, Num(z[0], "EVDP"));
  EXPECT_EQ(7, Num(z[0], "IDEP"));
  // Samples x gain x 1e6: 0 .. 99 with gain 1.
  EXPECT_EQ("100 0 99000000 4.95e+09", z[0].at("data"));
  const auto n = PythonRead(dated + "02.BHN.sac");
  EXPECT_EQ(0, Num(n[0], "CMPINC"));
  EXPECT_EQ(0, Num(n[0], "CMPAZ"));
  const auto e = PythonRead(named);
  EXPECT_EQ(90, Num(e[0], "CMPAZ"));
  EXPECT_EQ(190, Num(e[0], "NPTS"));  // count 0: to the end of the trace
  EXPECT_EQ("2013-01-07T10:30:42.010", e[0].at("start"));
  EXPECT_NE(std::string::npos, e[0].at("data").find("190 60000000 438000000 "));
}

TEST(Sac, ALaterExportIsNotCutToAnEarlierLength) {
  const std::string dir = TmpDir("sac_export_twice/20130107") + "/";
  KZ_WaveDataAE w;
  Fill(w, 0.001);
  ExportSAC(dir, w, 0, 50, 0);
  ASSERT_NE(nullptr, w.GetTrace(0)->GetHeader());
  ExportSAC(dir, w, 20, 150, 0);
  EXPECT_EQ(150, w.GetTrace(0)->GetHeader()->n[KZ_SacHeader::NPTS]);
  EXPECT_EQ(632u + 4 * 150, fs::file_size(dir + "01.BHZ.sac"));
}

TEST(Sac, EventStackPadsShortTracesAndNamesTheFileByTheEvent) {
  const std::string dir = TmpDir("sac_event") + "/";
  KZ_WaveDataAE w;
  for (int n : {4096, 2048}) {
    auto t = std::make_unique<KZ_WaveTrace>(n);
    t->m_fInterval = 0.5;
    KZ_CopyText(t->m_szGseChannel, "Z");  // shorter than three characters
    for (int j = 0; j < n; ++j) t->m_pData[j] = 1.0f;
    w.AddTrace(std::move(t));
  }
  KZ_CopyText(w.m_header.szDate, "2020/02/29");
  KZ_CopyText(w.m_header.szTime, "23:59:59");
  w.m_header.nStartUsec = 999999;
  EXPECT_EQ(0, ExportEventSACs(dir, w, 0, 0, -1, 0, 1));
  const std::string file = dir + "2020_03_01_00_00_00000/2020_03_01_00_00_00000.sacs";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(4u + 2 * (632 + 4 * 4096), fs::file_size(file));
  // Without the overwrite flag an existing file stays as it is.
  tv_test::WriteText(file, "kept");
  EXPECT_EQ(0, ExportEventSACs(dir, w, 0, 0, -1, 0, 1));
  EXPECT_EQ("kept", tv_test::ReadText(file));
  EXPECT_EQ(0, ExportEventSACs(dir, w, 0, 0, -1, 1, 1));

  // The time of an "ML-event:" comment names the file given; one channel only.
  KZ_CopyText(w.m_header.szComments, "ML-event:2021/05/06 07:08:09.5 detected");
  EXPECT_EQ(0, ExportEventSACs(dir + "one.sacs", w, 100, 500, 1, 1, 0));

  const auto py = PythonRead(file);
  if (py.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  ASSERT_EQ(2u, py.size());
  for (const Fields& f : py) {
    EXPECT_EQ(4096, Num(f, "NPTS"));
    EXPECT_EQ("2020-03-01T00:00:00.000", f.at("start"));
    EXPECT_EQ(2047.5, Num(f, "E"));
  }
  EXPECT_EQ("4096 1000000 1000000 4.096e+09", py[0].at("data"));
  EXPECT_EQ("4096 1000000 0 2.048e+09", py[1].at("data"));
  const auto one = PythonRead(dir + "one.sacs");
  ASSERT_EQ(1u, one.size());
  EXPECT_EQ(500, Num(one[0], "NPTS"));
  EXPECT_EQ(50, Num(one[0], "O"));
  EXPECT_EQ("2021-05-06T07:08:09.500", one[0].at("start"));
  EXPECT_EQ(-90, Num(one[0], "CMPINC"));
}

TEST(Sac, StackRowsAreNamedByTheirLabels) {
  const std::string dir = TmpDir("sac_stack") + "/";
  std::vector<float> a(20), b(20), c(20);
  for (int j = 0; j < 20; ++j) {
    a[j] = static_cast<float>(j);
    b[j] = -1.0f;
    c[j] = 0.5f;
  }
  const float* rows[] = {a.data(), b.data(), c.data()};
  const char* labels[] = {"_Sta012_", "NTSTA1BHZ", "XYSTA01HHN"};
  const double jd = KZ_JulianDay(2024, 12, 31, 23, 59, 59.9996f, 0.0f);
  ASSERT_EQ(0, WriteSACStack(dir + "cc.sacs", rows, labels, 3, 5, 10, 0.01f, jd));
  const auto py = PythonRead(dir + "cc.sacs");
  if (py.empty()) GTEST_SKIP() << "no /usr/bin/python3";
  ASSERT_EQ(3u, py.size());
  EXPECT_EQ("'_S      '", py[0].at("KNETWK"));
  EXPECT_EQ("'ta0     '", py[0].at("KSTNM"));
  EXPECT_EQ("'12_     '", py[0].at("KCMPNM"));
  EXPECT_EQ("'STA1    '", py[1].at("KSTNM"));
  EXPECT_EQ("'BHZ     '", py[1].at("KCMPNM"));
  EXPECT_EQ("'STA01   '", py[2].at("KSTNM"));
  EXPECT_EQ("'HHN     '", py[2].at("KCMPNM"));
  for (const Fields& f : py) {
    EXPECT_EQ(10, Num(f, "NPTS"));
    EXPECT_EQ("2025-01-01T00:00:00.000", f.at("start"));
  }
  EXPECT_EQ("10 5000000 14000000 95000000", py[0].at("data"));
  EXPECT_EQ("10 500000 500000 5000000", py[2].at("data"));
}

TEST(Sac, WriteFailuresAreReported) {
  KZ_SacHeader h;
  InitSACHeader(h, 1.0f, 3, 0.0f);
  const float x[3] = {1, 2, 3};
  EXPECT_EQ(-1, WriteSAC("/nonexistent-folder/x.sac", h, x, 1.0f));
  KZ_WaveDataAE w;
  Fill(w, 0.001);
  EXPECT_EQ(-1, ExportEventSACs("/nonexistent-folder/x.sacs", w, 0, 0, -1, 1, 0));
  const float* rows[] = {x};
  const char* labels[] = {"ABCDEFGH"};
  EXPECT_EQ(-1, WriteSACStack("/nonexistent-folder/x.sacs", rows, labels, 1, 0, 3, 1.0f, 2.4e6));
}
