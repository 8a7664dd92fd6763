// Exports of the document read back by independent readers: numpy.loadtxt for the KV
// tables, a parser of the Graphics3D expression, struct readers of the binary files,
// xmllint for the viewer file and a reader of hypoDD's phase format
// (tools/catalogue_stats/read_exports.py).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "aecore/document/TremviaDoc.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/FileSystem.h"
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
  if (fs::exists("/dev/full")) {
    EXPECT_EQ(e.doc.SaveRV("/dev/full", 0, 100.0f), 0);
    EXPECT_TRUE(Has(ui.MessageTexts().back(), "could not be written"));
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

}  // namespace
