// Exports of the document read back by independent readers: numpy.loadtxt for the KV
// tables, a parser of the Graphics3D expression, struct readers of the binary files,
// xmllint for the viewer file and a reader of hypoDD's phase format
// (tools/catalogue_stats/read_exports.py).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "aecore/document/TremviaDoc.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/UiServices.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"

namespace {

namespace fs = std::filesystem;
using plat::testing::FakeDocumentHost;
using plat::testing::ScriptedUi;

std::string FreshDir(const std::string& name) {
  std::string dir = std::string(TV_TEST_TMPDIR) + "/" + name;
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  plat::InvalidateFolderCache();
  return dir;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun Shell(const std::string& cmd) {
  ToolRun r;
  if (FILE* p = popen((cmd + " 2>&1").c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  return r;
}

// The independent reader; skips the test when Debian's Python (or numpy) is missing.
#define READ_BACK(var, args)                                                                   \
  if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";                  \
  ToolRun var =                                                                                \
      Shell("/usr/bin/python3 " TV_SOURCE_DIR "/tools/catalogue_stats/read_exports.py " args); \
  if (var.status == 2) GTEST_SKIP() << var.out;                                                \
  ASSERT_EQ(var.status, 0) << var.out

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// An experiment of n sensors whose catalogue holds the given records; the document has
// opened its parameter file and built its event list from them.
struct Exp {
  std::string dir;
  FakeDocumentHost host;
  CTremviaDoc doc{host};
  CAEHypo& h() { return *doc.m_pHypo; }

  Exp(const std::string& name, int sensors, const std::vector<AEHRecord>& recs,
      const std::string& title = "Test run") {
    dir = FreshDir(name);
    std::ofstream f(dir + "/RUN.pad");
    f << title << "\nline 2\nline 3\n0\n2048\n0\n" << sensors << " 0 0\n50 50 100 0 CYL\n0 0 0\n";
    for (int k = 0; k < sensors; ++k)
      f << k + 1 << " " << 10 + k << " " << -5 - k << " " << 2 * k << " 1.0 +S" << k << " gain=1\n";
    f << "1\n1 0 5 5 5\nX=1 Y=1 Z=1\n";
    f << "PEAK=2020/01/01 10:00:00\nREF=2020/01/01 10:00:00\nEND=2020/01/01 12:30:00\nskipped\n";
    f << "END\n";
    f.close();
    ScriptedUi ui;
    ui.ExpectMessage("open failed!, create??", IDYES);
    EXPECT_TRUE(doc.OnOpenDocument(dir + "/RUN.pad"));
    for (std::size_t i = 0; i < recs.size(); ++i) {
      h().m_Rec = recs[i];
      EXPECT_EQ(h().PutAEH(static_cast<int>(i), false), 1);
    }
    h().m_nAE = static_cast<int>(recs.size());
    doc.BuildEventList(0, 999999, 0, 0);
  }
};

AEHRecord Rec(double t, float x, float y, float z, int arrivals, float Mw = 1.0f) {
  AEHRecord r{};
  r.nTimeSec = static_cast<std::int32_t>(std::floor(t));
  r.nTimeUs = static_cast<std::int32_t>(std::lround((t - std::floor(t)) * 1e6));
  r.fX = x;
  r.fY = y;
  r.fZ = z;
  r.fMw = Mw;
  r.nArrivals = static_cast<std::int8_t>(arrivals);
  r.nFlags = 1;
  return r;
}

TEST(CatalogueExport, KindComesFromTheExtension) {
  std::vector<AEHRecord> recs;
  for (int i = 0; i < 4; ++i) recs.push_back(Rec(10.0 + i, i, -i, 2 * i, 12));
  Exp e("kinds", 3, recs);
  const std::string sub = e.dir + "/old.g3d";
  fs::create_directories(sub);
  struct Case {
    std::string path;
    std::string starts;
  } cases[] = {
      {e.dir + "/A.AEB", std::string(96, '\0')},
      {e.dir + "/B.G3D", "Graphics3D[{{\n"},
      {sub + "/C.eqt", "! time zone: 0.0\n"},  // a folder name never decides the kind
      {e.dir + "/D.kv0", "KVDATA01 AE data of Test run\n"},
      {e.dir + "/E.w3d", std::string("\x14\0\x04\0", 4)},
  };
  for (const Case& c : cases) {
    e.doc.ExportCatalogue(c.path, 8, 0, 1.0f);
    EXPECT_EQ(Slurp(c.path).substr(0, c.starts.size()), c.starts) << c.path;
  }
  READ_BACK(g3d, "g3d " + e.dir + "/B.G3D");
  EXPECT_TRUE(Has(g3d.out, "Line 14\n") && Has(g3d.out, "Point 4\n") && Has(g3d.out, "Text 3\n") &&
              Has(g3d.out, "options 7\n"))
      << g3d.out;
  EXPECT_TRUE(Has(g3d.out, "point 2.0 -2.0 4.0\n")) << g3d.out;
  READ_BACK(w3d, "w3d " + e.dir + "/E.w3d");
  EXPECT_TRUE(Has(w3d.out, "points 4\n") && Has(w3d.out, "point 1.0 -1.0 2.0 0.0 1.0\n"))
      << w3d.out;
}

TEST(CatalogueExport, PointFileStopsAtItsInt16Count) {
  Exp e("w3dcap", 3, {});
  for (int i = 0; i < 32770; ++i) e.doc.AddEventEntry(1, 2, 3, 0, 0, 0, 0, 1.0 + i * 0.1, 12, i, 1);
  ScriptedUi ui;
  const std::string path = e.dir + "/many.w3d";
  e.doc.ExportCatalogue(path, 8, 0, 1.0f);
  READ_BACK(r, "w3d " + path);
  EXPECT_TRUE(Has(r.out, "points 32767\n")) << r.out.substr(0, 200);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_TRUE(Has(ui.MessageTexts()[0], "first 32767 of 32770 events"));
}

TEST(CatalogueExport, EmptyListIsRefusedWithoutAFile) {
  Exp e("emptylist", 3, {});
  ScriptedUi ui;
  e.doc.ExportCatalogue(e.dir + "/none.kv0", 8, 0, 1.0f);
  EXPECT_FALSE(fs::exists(e.dir + "/none.kv0"));
  ASSERT_FALSE(ui.MessageTexts().empty());
  EXPECT_TRUE(Has(ui.MessageTexts()[0], "empty"));
}

TEST(CatalogueExport, UnwritableFileIsReportedAndNothingIsLeft) {
  Exp e("unwritable", 3, {Rec(10, 0, 0, 0, 12)});
  ScriptedUi ui;
  e.doc.ExportCatalogue(e.dir + "/no/such/folder/x.kv0", 8, 0, 1.0f);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_TRUE(Has(ui.MessageTexts()[0], "cannot be created"));
  // A full device accepts the open but not the bytes: reported, no file left half-written.
  if (fs::is_character_file("/dev/full")) {
    EXPECT_EQ(e.doc.SaveRV("/dev/full", 0, 100.0f), 0);
    EXPECT_TRUE(Has(ui.MessageTexts().back(), "could not be written"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));  // the device itself is never removed
  }
}

TEST(CatalogueExport, AEBRecordsWithSaturatedFields) {
  std::vector<AEHRecord> recs;
  for (int i = 0; i < 5; ++i) {
    AEHRecord r = Rec(100.0 + i, 1.5f * i, -2.0f, 3.0f, 3);
    r.nPeakLevel = static_cast<std::int8_t>(i - 2);
    r.fVx = 5.5f;
    for (int k = 0; k < 3; ++k) {
      r.nSensor[k] = static_cast<std::int8_t>(2 - k);
      r.nPolarity[k] = static_cast<std::int8_t>(k - 1);
      r.fTime[k] = 12.345f * (k + 1);
      r.fSN[k] = 4.56f;
    }
    recs.push_back(r);
  }
  recs[4].fTime[0] = 400.0f;   // x 100 = 40000: beyond int16
  recs[4].fTime[1] = -400.0f;  // -40000
  recs[4].fSN[2] = 1e6f;       // x 10 beyond int16
  Exp e("aeb", 3, recs);
  const std::string path = e.dir + "/run.aeb";
  e.doc.WriteAEB(path);
  READ_BACK(r, "aeb " + path + " 3");
  EXPECT_TRUE(Has(r.out, "size 1536\nrecords 5\n")) << r.out;
  EXPECT_TRUE(Has(r.out,
                  "record 1 num 1 arrivals 3 level -1 sec 101 xyz 1.500 -2.000 3.000 "
                  "v 5.500 0.000 0.000 sensors 3,2,1 pol -1,0,1 t 1234,2469,3703 "
                  "sn 45,45,45\n"))
      << r.out;
  EXPECT_TRUE(Has(r.out, "t 32767,-32768,3703 sn 45,45,32767\n")) << r.out;
}

TEST(CatalogueExport, EqtRowsCarryEachEventsOwnDateAndTime) {
  Exp e("eqt", 3, {Rec(5.25, 0, 0, 0, 12, 1.5f), Rec(90005.5, 25, -25, 50, 12, 2.25f)});
  e.doc.m_fTimeSpan = 100000;
  e.doc.ExportCatalogue(e.dir + "/run.eqt", 8, 0, 1.0f);
  const std::string t = Slurp(e.dir + "/run.eqt");
  EXPECT_TRUE(Has(t, "! Original data set: Test run\n! \nyyyy\tmm\tdd\thh\tMM\tss.ss\t"));
  EXPECT_TRUE(Has(t, "\n2020 01 01 10 00 5.2500 38.0000 138.0000 5.0000 1.50\n")) << t;
  EXPECT_TRUE(Has(t, "\n2020 01 02 11 00 5.5000 37.0000 139.0000 10.0000 2.25\n")) << t;
}

TEST(CatalogueExport, KvTableSelectsByRecordAndReadsBack) {
  std::vector<AEHRecord> recs;
  recs.push_back(Rec(1.0, 1, 2, 3, 12));
  recs.back().fFc = 0.01f;  // not above 0.01: Mae(Fc) = -19
  recs.push_back(Rec(2.0, 1, 2, 3, 12));
  recs.back().fFc = 0.1f;
  recs.push_back(Rec(3.0, 30, 0, 0, 12));  // outside the cylinder
  recs.push_back(Rec(4.0, 1, 2, 3, 5));    // too few arrivals
  Exp e("kvtable", 3, recs);
  e.h().m_fMagFcSlope = -2.0f;
  e.h().m_fMagFcConst = 1.0f;
  const std::string path = e.dir + "/run.kv0";
  e.doc.ExportCatalogue(path, 8, 0, 1.0f);
  EXPECT_TRUE(Has(Slurp(path), "\nSAMPLES 000002\n"));
  READ_BACK(r, "kv " + path);
  EXPECT_TRUE(Has(r.out, "samples 2\nrows 2\ncolumns 16\nnames 16\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "row 0.0 1.0 1.0 2.0 3.0 0.0 0.0 0.0 1.0 0.0 -19.0 0.01 0.0 0.0 12.0 1.0"))
      << r.out;
  EXPECT_TRUE(Has(r.out, "row 1.0 2.0 1.0 2.0 3.0 0.0 0.0 0.0 1.0 0.0 3.0 0.1 0.0 0.0 12.0 1.0"))
      << r.out;
}

TEST(CatalogueExport, AEListMatchesRecordsAndWritesWellFormedXml) {
  Exp e("aelist", 3, {Rec(10.0, 1, 2, 3, 12), Rec(20.0, 4, 5, 6, 12)}, "Granite <B> & co");
  CAEPeak& pk = *e.doc.m_pPeak[0];
  pk.Alloc(3);
  pk.m_nCount = 3;
  pk.m_pSec = {10, 20, 30};
  pk.m_pUSec = {500, 2000, 0};  // 0.5 ms and 2 ms from the records
  pk.m_pLevel = {4, 8, 2};
  pk.m_pFlag = {1, 1, 1};
  const std::string path = e.dir + "/run.kv0";
  EXPECT_EQ(e.doc.SaveAEList(path, 100.0f), 1);
  const std::string t = Slurp(path);
  EXPECT_TRUE(Has(t, "\n000010.000500\t   1.00\t   2.00\t   3.00\t 1.00\t   36\t")) << t;
  EXPECT_TRUE(Has(t, "\n000020.002000\t   0.00\t   0.00\t   0.00\t 2.00\t   72\t")) << t;
  const std::string xml = Slurp(e.dir + "/run.xml");
  EXPECT_TRUE(Has(xml, "<title>AE: Granite &lt;B&gt; &amp; co</title>")) << xml;
  if (!fs::exists("/usr/bin/xmllint")) GTEST_SKIP() << "xmllint (libxml2-utils) is missing";
  ToolRun lint = Shell("/usr/bin/xmllint --noout " + e.dir + "/run.xml");
  EXPECT_EQ(lint.status, 0) << lint.out;
  EXPECT_EQ(lint.out, "");
}

// Peaks at 1 s intervals from t0, levels cycling 0..7, all flagged.
void FillPeaks(CAEPeak& pk, int n, double t0) {
  pk.Alloc(n);
  pk.m_nCount = n;
  for (int i = 0; i < n; ++i) {
    const double t = t0 + i;
    pk.m_pSec[i] = static_cast<std::int32_t>(t);
    pk.m_pUSec[i] = 0;
    pk.m_pLevel[i] = static_cast<std::uint8_t>(i % 8);
    pk.m_pFlag[i] = 1;
  }
}

TEST(SeriesExport, BValueSeriesWindowsAndRefusal) {
  Exp e("bseries", 3, {});
  FillPeaks(*e.doc.m_pPeak[0], 2000, 0.0);
  e.doc.m_fTimeStart = 0;
  e.doc.m_fTimeSpan = 3600;
  {
    ScriptedUi ui;
    EXPECT_EQ(e.doc.SaveBValueTL(e.dir + "/short.kv0", 3, 2.0f, 1.5f, false, 30.0f), 0);
    EXPECT_FALSE(fs::exists(e.dir + "/short.kv0"));
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_TRUE(Has(ui.MessageTexts()[0], "at least 4 peaks"));
  }
  ScriptedUi ui;
  const std::string path = e.dir + "/b.kv0";
  ASSERT_EQ(e.doc.SaveBValueTL(path, 400, 2.0f, 1.5f, true, 30.0f), 1);
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"No SS data loadede"});
  const std::string t = Slurp(path);
  EXPECT_TRUE(Has(t, "KVDATA01 Test run, b:nB=400 TL:Mmax=2.0 V:q=1.5\n"));
  // Windows start at peaks 0, 100, ..., 1500 (i < 2000 - 400).
  EXPECT_TRUE(Has(t, "\nSAMPLES 00016\n")) << t.substr(0, 200);
  READ_BACK(r, "kv " + path);
  EXPECT_TRUE(Has(r.out, "samples 16\nrows 16\ncolumns 9\n")) << r.out;
  // The first window: peaks 0..400 at 1 s; the middle peak at 200 s; A.Stress 1.0.
  EXPECT_TRUE(Has(r.out, "row 200.0 1.0 1.0 ")) << r.out;

  // A document window after the peaks: every window ends before it, no row, no nan.
  e.doc.m_fTimeStart = 5000;
  ASSERT_EQ(e.doc.SaveBValueTL(path, 400, 2.0f, 1.5f, false, 30.0f), 1);
  EXPECT_TRUE(Has(Slurp(path), "\nSAMPLES 00000\n"));
}

// The stress file keeps the axial stress in 0.1 MPa; the tables write it in the MPa their
// column names.
TEST(SeriesExport, StressColumnsAreInMPa) {
  std::vector<AEHRecord> recs;
  for (int i = 0; i < 400; ++i) recs.push_back(Rec(10.0 + i, i % 7, i % 5, i % 3, 12));
  Exp e("stress", 3, recs);
  FillPeaks(*e.doc.m_pPeak[0], 2000, 0.0);
  e.doc.m_fTimeStart = 0;
  e.doc.m_fTimeSpan = 3600;
  e.doc.m_pStress = std::make_unique<CAEStress>();
  CAEStress& st = *e.doc.m_pStress;
  st.m_nSamples = 361;
  std::fill(st.m_pAxialStress.begin(), st.m_pAxialStress.begin() + 361, std::int16_t{450});
  ScriptedUi ui;
  const std::string b = e.dir + "/b.kv0";
  ASSERT_EQ(e.doc.SaveBValueTL(b, 400, 2.0f, 1.5f, false, 30.0f), 1);
  EXPECT_TRUE(Has(Slurp(b), "\n000200.000000\t045.00\t")) << Slurp(b).substr(0, 400);
  const std::string d = e.dir + "/d.kv0";
  ASSERT_EQ(e.doc.SaveBValueD(d, 100, 2.0f, 1.5f, 0.5f), 1);
  READ_BACK(r, "kv " + d);
  EXPECT_TRUE(Has(r.out, "\nrow ")) << r.out;
  EXPECT_FALSE(Has(r.out, " 450.0 ")) << r.out;
  EXPECT_TRUE(Has(r.out, " 45.0 ")) << r.out;
}

TEST(SeriesExport, BValueAndFractalDimensionSeries) {
  std::vector<AEHRecord> recs;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-20.0f, 20.0f);
  for (int i = 0; i < 400; ++i) recs.push_back(Rec(10.0 + i, u(rng), u(rng), u(rng) * 2, 12));
  Exp e("dseries", 3, recs);
  FillPeaks(*e.doc.m_pPeak[0], 500, 5.0);
  e.doc.m_fTimeStart = 0;
  e.doc.m_fTimeSpan = 1000;
  ScriptedUi ui;
  const std::string path = e.dir + "/d.kv0";
  ASSERT_EQ(e.doc.SaveBValueD(path, 100, 2.0f, 1.5f, 0.5f), 1);
  READ_BACK(r, "kv " + path);
  // Windows of 100 events moving on by a quarter: starts at events 0, 25, ..., 350, the
  // last holding 50 events (half of nD); the next, with 25, ends the series.
  EXPECT_TRUE(Has(r.out, "samples 15\nrows 15\ncolumns 12\n")) << r.out;
}

TEST(SeriesExport, AERatesWithoutTimeSeriesAndRVData) {
  std::vector<AEHRecord> recs = {Rec(0.05, 1, 0, 0, 12), Rec(0.06, 0, 1, 0, 3),
                                 Rec(59.99, 0, 0, 1, 12), Rec(70.0, 0, 0, 0, 12)};
  Exp e("rates", 3, recs);
  e.doc.m_fTimeStart = 0;
  e.doc.m_fTimeSpan = 60.5;
  const std::string path = e.dir + "/rates.kv0";
  ASSERT_EQ(e.doc.SaveAERates(path, 10), 1);
  READ_BACK(r, "kv " + path);
  // 60 whole seconds at 10 rows a second; the loading columns are 0.
  EXPECT_TRUE(Has(r.out, "samples 600\nrows 600\ncolumns 10\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "row 0.05 0.0 0.0 0.0 0.0 0.0 0.0 0.0 2.0 1.0\n")) << r.out;

  // With a time series ending after 30 s, rows stop where its samples end.
  e.doc.m_pTS = std::make_unique<KZ_TSdata>();
  KZ_TSdata& ts = *e.doc.m_pTS;
  ASSERT_TRUE(ts.Alloc(3, 31, false, nullptr));
  ts.m_nSamples = 31;
  ts.m_tStart = plat::MakeLocalTime(e.h().m_tmStart).value();
  for (int i = 0; i < 31; ++i) ts.m_pTime[i] = 1000.0 * i;
  ASSERT_EQ(e.doc.SaveAERates(path, 10), 1);
  READ_BACK(s, "kv " + path);
  EXPECT_TRUE(Has(s.out, "samples 300\nrows 300\n")) << s.out;
  e.doc.m_pTS.reset();

  // RV data: the fault plane through the origin, normal along z (dip 0).
  e.h().m_fFaultDip = 0.0f;
  e.h().m_fFaultAzimuth = 0.0f;
  const std::string rv = e.dir + "/rv.kv0";
  ASSERT_EQ(e.doc.SaveRV(rv, 8, 0.5f), 1);
  READ_BACK(v, "kv " + rv);
  // a = (-1, 0, 0): the event at x = 1 lies 1 mm off the plane's a axis and is left out.
  EXPECT_TRUE(Has(v.out, "samples 1\nrows 1\ncolumns 6\n")) << v.out;
  EXPECT_TRUE(Has(v.out, "row 59.99 2.0 1.0 0.0 0.0 1.0\n")) << v.out;
}

TEST(SeriesExport, StressStrainMeansLeaveMissingGaugesOut) {
  Exp e("ss", 3, {});
  auto s = std::make_unique<CAEStress>();
  s->m_nSamples = 2;
  for (auto* a : {&s->m_pAxialStress, &s->m_pVolStrain, &s->m_pPressure}) a->assign(3600, 0);
  for (auto& g : s->m_pStrain) g.assign(3600, 0);
  s->m_pAxialStress = {100, 120};
  for (int k = 0; k < 12; ++k) {
    s->m_pStrain[k][0] = static_cast<std::int16_t>(k % 2 ? -10 : 30);
    s->m_pStrain[k][1] = static_cast<std::int16_t>(k % 2 ? -7 : 40);
  }
  s->m_pStrain[2][1] = CAEStress::kMissing;
  s->m_pStrain[3][1] = CAEStress::kMissing;
  s->m_pVolStrain = {10, 26};
  e.doc.m_pStress = std::move(s);
  FillPeaks(*e.doc.m_pPeak[0], 30, 0.0);
  const std::string path = e.dir + "/ss.kv0";
  ASSERT_EQ(e.doc.SaveSS(path), 1);
  READ_BACK(r, "kv " + path);
  EXPECT_TRUE(Has(r.out, "samples 2\nrows 2\ncolumns 6\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "row 0.0 100.0 30.0 -10.0 10.0 1.0\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "row 20.0 120.0 40.0 -7.0 26.0 21.0\n")) << r.out;
}

TEST(DocumentSheets, EventSheetColumns) {
  std::vector<AEHRecord> recs;
  for (int i = 0; i < 3; ++i) {
    recs.push_back(Rec(10.0 + i, 1, 2, 3, 12));
    recs.back().fFc = 0.1f;
  }
  Exp e("sheet", 3, recs);
  e.h().m_fMagFcSlope = -2.0f;
  e.h().m_fMagFcConst = 1.0f;
  e.h().m_nPulsers = 2;
  e.h().m_PulserSensor[0] = 0;
  e.h().m_PulserSensor[1] = 2;
  KZ_MultiVarObj sheet;
  struct Case {
    std::string par;
    bool series;
    int columns;
  } cases[] = {{"x/run.pad", false, 12},
               {"x/run_VM.pad", false, 16},
               {"x/run_vm.pad", false, 12},
               {"x/run.pad", true, 15},
               {"x/run_VM.pad", true, 19}};
  for (const Case& c : cases) {
    e.doc.m_strParFile = c.par;
    if (c.series) {
      e.doc.m_pTS = std::make_unique<KZ_TSdata>();
      ASSERT_TRUE(e.doc.m_pTS->Alloc(3, 10, false, nullptr));
      e.doc.m_pTS->m_nSamples = 10;
      for (int i = 0; i < 10; ++i) e.doc.m_pTS->m_pTime[i] = 1000.0 * i;
    } else {
      e.doc.m_pTS.reset();
    }
    ASSERT_EQ(e.doc.FillEventSheet(&sheet, 8), 3) << c.par;
    EXPECT_EQ(sheet.m_nColumns, c.columns) << c.par << " " << c.series;
    EXPECT_EQ(sheet.m_nRows, 3);
    const int mfc = c.columns >= 16 ? 10 : 6;
    EXPECT_EQ(sheet.m_Columns[mfc].m_strTitle, "M(Fc)");
    EXPECT_NEAR(sheet.m_ppData[mfc][0], 3.0, 1e-6);  // -2 log10(0.1) + 1
    if (c.columns >= 16) {
      EXPECT_EQ(sheet.m_ppData[5][0], 0);  // pulser cursor: sensors 0, 2, 0
      EXPECT_EQ(sheet.m_ppData[5][1], 2);
      EXPECT_NEAR(sheet.m_ppData[6][1], 1 - e.h().m_pSensorXYZ[2].x, 1e-6);  // x minus sensor 3's x
    }
  }
  EXPECT_EQ(sheet.m_strHeader[0], "Experiment: Test run\n");
  EXPECT_EQ(sheet.m_strHeader[1], "START_TIME: 2020/01/01 10:00:00\n");
  // Magnitudes inside 0..4 keep the usual axis; those of laboratory events, far below 0,
  // get a range that holds them, so that the graph draws them inside their axes.
  e.doc.m_strParFile = "x/run.pad";
  e.doc.m_pTS.reset();
  ASSERT_EQ(e.doc.FillEventSheet(&sheet, 8), 3);
  EXPECT_EQ(sheet.m_Columns[5].m_dMin, 0);
  EXPECT_EQ(sheet.m_Columns[5].m_dMax, 4);
  const float mw[] = {-11.5f, -12.2f, -11.0f};
  for (int i = 0; i < 3; ++i) e.doc.m_EventList[i]->Mw = mw[i];
  e.h().m_fMagFcConst = -14.0f;  // M(Fc) = -2 log10(0.1) - 14 = -12
  ASSERT_EQ(e.doc.FillEventSheet(&sheet, 8), 3);
  for (const int c : {5, 6}) {
    EXPECT_EQ(sheet.m_Columns[c].m_nAxisFlags, 2u);
    EXPECT_LT(sheet.m_Columns[c].m_dMin, sheet.m_Columns[c].m_dMax);
    for (int r = 0; r < 3; ++r) {
      EXPECT_GE(sheet.m_ppData[c][r], sheet.m_Columns[c].m_dMin) << c;
      EXPECT_LE(sheet.m_ppData[c][r], sheet.m_Columns[c].m_dMax) << c;
    }
  }
  EXPECT_EQ(sheet.m_Columns[5].m_dMin, -20);
  EXPECT_EQ(sheet.m_Columns[5].m_dMax, -10);
  KZ_MultiVarObj empty;
  Exp none("sheetnone", 3, {});
  EXPECT_EQ(none.doc.FillEventSheet(&empty, 8), 0);
}

TEST(DocumentSheets, DensityMapCountsPerCellAreaAndTime) {
  // Normal along y (azimuth 90, dip 90): a = (0, 0, 1), b = n x a = (1, 0, 0).
  std::vector<AEHRecord> recs = {Rec(2.0, 0, 0, 0, 12), Rec(5.0, 30, 1, 0, 12),
                                 Rec(15.0, 0, 0, 0, 12), Rec(25.0, 0, 0, 40, 12)};
  Exp e("density", 3, recs);
  e.h().m_fFaultAzimuth = 90.0f;
  e.h().m_fFaultDip = 90.0f;
  e.h().m_fFaultLen = 50.0f;
  e.h().m_fFaultWidth = 50.0f;
  e.doc.m_fTimeStart = 0;
  e.doc.m_fTimeSpan = 20;
  const std::string path = e.dir + "/run.lem";
  ASSERT_EQ(e.doc.AEDensityMap(path, 10, 10, 2, 8, 5.0f), 1);
  READ_BACK(r, "lem " + path);
  EXPECT_TRUE(Has(r.out, "type 8 nx 10 ny 10 slices 2 code 2\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "extent -50.0 50.0 -50.0 50.0\nrange 0.0 0.10000000149011612\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "title AE density, 1/(cm*cm*s)\nlabel Test run\n")) << r.out;
  // Slice 0 (0-10 s): the event at the fault point in cell (5, 5), the one at x = 30
  // in cell (8, 5); slice 1: one event at (5, 5); the one 40 mm off the plane is left out.
  EXPECT_TRUE(Has(r.out, "slice 0 time 5.0 cells 5,5=0.1 8,5=0.1\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "slice 1 time 15.0 cells 5,5=0.1\n")) << r.out;
}

TEST(DocumentSheets, ReplaceFromPeaksCountsOnlyWrittenRecords) {
  std::vector<AEHRecord> recs = {Rec(11.0, 0, 0, 0, 12), Rec(11.5, 0, 0, 0, 12),
                                 Rec(13.5, 0, 0, 0, 12), Rec(11.9, 0, 0, 0, 12)};
  recs[1].nFlags |= AEH_FLAG_LOCKED;
  for (auto& r : recs) r.nPeakLevel = 1;
  Exp e("replace", 3, recs);
  CAEPeak& pk = *e.doc.m_pPeak[0];
  pk.Alloc(2);
  pk.m_nCount = 2;
  pk.m_pSec = {10, 12};
  pk.m_pUSec = {0, 0};
  pk.m_pLevel = {4, 8};
  pk.m_pFlag = {1, 1};
  ScriptedUi ui;
  e.doc.ReplaceFromPeaks();
  EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Replace 1 of 4"});
  const int expected[4] = {4, 1, 1, 1};  // tie to the earlier peak; locked; 1.5 s away; scan ended
  for (int i = 0; i < 4; ++i) {
    AEHRecord r{};
    ASSERT_EQ(e.h().GetAEH(i, &r), 1);
    EXPECT_EQ(r.nPeakLevel, expected[i]) << i;
  }
}

AEHRecord Picked(double t, int arrivals, float sn) {
  AEHRecord r = Rec(t, 1, 2, 3, arrivals, 1.25f);
  r.fT0 = 10.0f;
  for (int k = 0; k < arrivals; ++k) {
    r.nSensor[k] = static_cast<std::int8_t>(arrivals - 1 - k);
    r.fTime[k] = 12.5f + k;
    r.fSN[k] = sn;
    r.nPolarity[k] = static_cast<std::int8_t>(k < 9 ? 1 : -1);
  }
  return r;
}

TEST(HypoDD, StationAndPhaseFilesInTheChosenFolder) {
  Exp e("hypodd", 12,
        {Picked(0.0, 12, 3.0f), Picked(5.0, 12, 10.0f), Picked(6.0, 4, 10.0f),
         Picked(50.0, 12, 3.0f)});
  e.doc.m_fTimeStart = 0;
  e.doc.m_fTimeSpan = 10;
  const std::string out = e.dir + "/dd";
  fs::create_directories(out);
  const std::string cwd = plat::GetCurrentFolder();
  {
    ScriptedUi ui;
    ui.ExpectFolder("Working folder of hypoDD", out);
    EXPECT_EQ(e.doc.SaveHypoDD(), 2);
  }
  EXPECT_EQ(plat::GetCurrentFolder(), cwd);
  const std::string pha = Slurp(out + "/phase.pha");
  EXPECT_TRUE(Has(pha,
                  "Phase data (AE). START_TIME: 2020/01/01 10:00:00.00\n# 0.0000 1.0000 "
                  "2.0000 3.0000 1.25 0 0 0 0\nAE012 2.50 0.60 P\n"))
      << pha;
  EXPECT_TRUE(Has(pha, "# 5.0000 1.0000 2.0000 3.0000 1.25 0 0 0 1\nAE012 2.50 1.00 P\n"));
  READ_BACK(r, "hypodd " + out);
  EXPECT_TRUE(Has(r.out, "stations 12\nevents 2\nobservations 24\n")) << r.out;

  // Cancelled, and a folder that cannot take the files: 0 and nothing written.
  {
    ScriptedUi ui;
    ui.ExpectFolder("Working folder of hypoDD", std::nullopt);
    EXPECT_EQ(e.doc.SaveHypoDD(), 0);
  }
  {
    ScriptedUi ui;
    ui.ExpectFolder("Working folder of hypoDD", e.dir + "/missing");
    EXPECT_EQ(e.doc.SaveHypoDD(), 0);
    ASSERT_FALSE(ui.MessageTexts().empty());
    EXPECT_TRUE(Has(ui.MessageTexts()[0], "station.dat cannot be created"));
  }
}

TEST(HypoDD, UpDownSheetBlocks) {
  std::vector<AEHRecord> recs;
  // Ratios by polarity counts out of 10: tensile (9 up), shear (5), compressive (1).
  for (int i = 0; i < 45; ++i) {
    AEHRecord r = Rec(1.0 + i, 0, 0, 0, 10);
    const int ups = i % 3 == 0 ? 9 : (i % 3 == 1 ? 5 : 1);
    for (int k = 0; k < 10; ++k) r.nPolarity[k] = static_cast<std::int8_t>(k < ups ? 1 : -1);
    for (int k = 0; k < 10; ++k) r.nSensor[k] = static_cast<std::int8_t>(k);
    recs.push_back(r);
  }
  Exp e("udratio", 12, recs);
  KZ_MultiVarObj sheet;
  // Block size n: 20 gives blocks 0-19 and 20-39, rows 40-44 repeat row 39; a size
  // below 1 or above the row count makes one block of all 45 rows.
  struct Case {
    int n, w, lastBlockEnd;
  } cases[] = {{20, 20, 40}, {0, 45, 45}, {100, 45, 45}};
  for (const Case& c : cases) {
    ASSERT_EQ(e.h().FillUDRatioSheet(&sheet, e.doc.m_EventList, 0.0, 100.0, c.n), 45) << c.n;
    EXPECT_EQ(sheet.m_nColumns, 10);
    for (int i = 0; i < 45; ++i) {
      const int from = i < c.lastBlockEnd ? i / c.w * c.w : c.lastBlockEnd - c.w;
      int T = 0, S = 0;
      for (int j = from; j < from + c.w; ++j) {
        T += j % 3 == 0;
        S += j % 3 == 1;
      }
      EXPECT_NEAR(sheet.m_ppData[4][i], static_cast<double>(T) / c.w, 1e-12) << c.n << " " << i;
      EXPECT_NEAR(sheet.m_ppData[5][i], static_cast<double>(T + S) / c.w, 1e-12);
      EXPECT_NEAR(sheet.m_ppData[6][i], 1.0, 1e-12);
    }
  }
  EXPECT_EQ(sheet.m_strHeader[0], "Up down ratio. Test run, RUN.pad");
  EXPECT_EQ(sheet.m_strHeader[1].rfind("START_TIME: 2020/01/01 10:00:00", 0), 0u)
      << sheet.m_strHeader[1];
  Exp few("udfew", 12, {recs.begin(), recs.begin() + 9});
  EXPECT_EQ(few.h().FillUDRatioSheet(&sheet, few.doc.m_EventList, 0.0, 100.0, 5), 0);
}

}  // namespace
