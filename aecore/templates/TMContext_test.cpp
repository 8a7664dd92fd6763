#include "aecore/templates/TMContext.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "aecore/aecore_test_support.h"
#include "aecore/templates/TMSynth_testkit.h"
#include "base/series/KZ_MultiVarObj.h"
#include "platform/FileSystem.h"
#include "platform/testing/ScriptedUi.h"

using tv_test::ReadBytes;
using tv_test::ReadText;
using tv_test::TmpDir;
using tv_test::WriteText;

namespace {

constexpr int kLen = 6000;  // samples per channel: 1.2 ms
constexpr int kLocated = 12;

TMPars RunPars(const std::string& dir) {
  TMPars p;
  InitTMParameters(p);
  p.m_fTimeBefore = 2.0f;
  p.m_fTimeAfter = 6.0f;
  p.m_fTimeShift = 1.0f;
  p.m_fThresholdCC = 0.5f;
  p.m_fThresholdSNR = 2.0f;
  p.m_fInterevent = 250.0f;
  p.m_fLowCorner = 0.05f;
  p.m_fHighCorner = 1.5f;
  p.m_fSearchX = p.m_fSearchY = p.m_fSearchZ = 2.0f;
  p.m_nGridX = p.m_nGridY = p.m_nGridZ = 1;
  // The loader replaces a file's NOTE, so the velocities come from the block.
  p.m_fVx = p.m_fVy = p.m_fVz = static_cast<float>(tmsynth::kV);
  p.m_strTemplatePath = dir + "/tpl/";
  p.m_strWavePath = dir + "/wave/";
  p.m_strOutputPath = dir + "/out/";
  return p;
}

void MakeFolders(const std::string& dir) {
  for (const char* sub : {"/tpl", "/wave", "/out"}) plat::CreateFolder(dir + sub);
}

void WriteTemplates(const std::string& dir, const std::vector<tmsynth::Template>& tpl,
                    const char* pattern = "%06d.sg2", int samples = kLen) {
  for (std::size_t i = 0; i < tpl.size(); ++i) {
    KZ_WaveDataSeg2 w;
    tmsynth::FillTemplate(w, tpl[i], samples, kLocated, 8.0, 500 + static_cast<unsigned>(i));
    char name[64];
    std::snprintf(name, sizeof name, pattern, tpl[i].number);
    ASSERT_EQ(w.SaveSeg2(dir + "/tpl/" + name, 0, 0, 1), 1);
  }
}

void WriteEvent(const std::string& dir, int number, const std::vector<tmsynth::Template>& tpl,
                const std::vector<tmsynth::Copy>& copies, const char* comments, unsigned seed) {
  KZ_WaveDataSeg2 w;
  tmsynth::FillRecord(w, tpl, copies, kLen, 8.0, seed);
  KZ_CopyText(w.m_header.szComments, comments);
  char name[32];
  std::snprintf(name, sizeof name, "/wave/%06d.sg2", number);
  ASSERT_EQ(w.SaveSeg2(dir + name, 0, 0, 1), 1);
}

// Where the detector reports a copy: the stack index is the window start of the
// template's earliest used station, moved by the copy's origin time.
double ExpectedTime(const tmsynth::Template& t, const tmsynth::Copy& c) {
  int minPick = 1 << 30;
  tmsynth::Copy own;
  own.t0 = t.t0;
  for (int k = 0; k < kLocated; ++k)
    minPick = std::min(minPick, tmsynth::PickOf(tmsynth::Onset(t, own, k)));
  return (c.t0 - t.t0) + (minPick - 10) * tmsynth::kDt;
}

struct Row {
  int ae;
  double t0, x, y, z, mw, cc, snr1, snr2, dx, dy, dz, dmw;
  int tpl;
  double mwT;
};

// The detection table through the program's KV reader.
std::vector<Row> ReadTable(const std::string& path) {
  KZ_MultiVarObj t;
  std::vector<Row> rows;
  const int n = t.LoadFile(path);
  if (n < 1 || t.m_nColumns != 15) return rows;
  for (int r = 0; r < n; ++r) {
    auto v = [&](int c) { return t.m_ppData[static_cast<std::size_t>(c)][r]; };
    rows.push_back({static_cast<int>(v(0)), v(1), v(2), v(3), v(4), v(5), v(6), v(7), v(8), v(9),
                    v(10), v(11), v(12), static_cast<int>(v(13)), v(14)});
  }
  return rows;
}

}  // namespace

// ---------------------------------------------------------------- pairwise comparison

TEST(TMPairCorrelation, StationWindowsCases) {
  const auto tpl = tmsynth::MakeTemplates(2, 11);
  KZ_WaveDataSeg2 a, b, other, few;
  tmsynth::FillTemplate(a, tpl[0], 2000, 16, 5.0, 1);
  tmsynth::FillTemplate(b, tpl[0], 2000, 16, 5.0, 1);  // identical
  tmsynth::FillTemplate(other, tpl[1], 2000, 16, 5.0, 2);
  tmsynth::FillTemplate(few, tpl[0], 2000, 16, 5.0, 1);
  while (few.Count() > 4) few.RemoveTrace(few.Count() - 1);
  TMPars p;
  InitTMParameters(p);
  p.m_fTimeBefore = 2.0f;
  p.m_fTimeAfter = 6.0f;
  const std::string dir = TmpDir("tm_pairs");
  struct Case {
    const char* name;
    const KZ_WaveData* x;
    const KZ_WaveData* y;
    float shift;
    const char* line;  // the report line, or null to check the value only
  };
  const Case cases[] = {
      {"identical records", &a, &b, 2.0f,
       "CC_mean=1.0000, CC_max=1.0000, CC_min=1.0000, numSta=6, Tshift=0.0000\n"},
      {"shift below one sample", &a, &b, 0.1f,
       "CC_mean=0.0000, CC_max=0.0000, CC_min=0.0000, numSta=6, Tshift=0.0000\n"},
      {"four channels", &a, &few, 2.0f,
       "CC_mean=1.0000, CC_max=1.0000, CC_min=1.0000, numSta=4, Tshift=0.0000\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    p.m_fTimeShift = c.shift;
    plat::File f;
    ASSERT_TRUE(f.Open(dir + "/r.txt", "wt"));
    TMContext::CorrelateStationWindows(*c.x, *c.y, p, &f);
    f.Close();
    EXPECT_EQ(ReadText(dir + "/r.txt"), c.line);
  }
  p.m_fTimeShift = 2.0f;
  EXPECT_LT(TMContext::CorrelateStationWindows(a, other, p, nullptr), 0.8f);
  // A pick so close to the start that the windows leave the trace: the station is left out.
  a.GetTrace(0)->m_nPick = 3;
  plat::File f;
  ASSERT_TRUE(f.Open(dir + "/r.txt", "wt"));
  EXPECT_FLOAT_EQ(TMContext::CorrelateStationWindows(a, b, p, &f), 1.0f);
  f.Close();
  EXPECT_NE(ReadText(dir + "/r.txt").find("numSta=5"), std::string::npos);
}

// The matrix file read back field by field as another program would.
TEST(TMPairCorrelation, ReportToMatrixFile) {
  const std::string dir = TmpDir("tm_matrix");
  WriteText(dir + "/CC_templates.txt",
            "Cross-Correlation of events waveforms in /x/\n"
            "Number of events=3, Tshift=2.00, Tb=5.00, Ta=10.00, Pb=0.00, Pa=0.30, fL=0.10, "
            "fH=3.00\n"
            "Waveform file path=\"/x/\"\n"
            "T_000001.sg2\nT_000002.sg2\nT_000003.sg2\n"
            "Events[0, 1]\nCC_mean=0.5000, CC_max=0.9, CC_min=0.1, numSta=6, Tshift=0.0\n\n"
            "Events[0, 2]\nCC_mean=-0.5000, CC_max=0.9, CC_min=0.1, numSta=6, Tshift=0.0\n\n"
            "Events[1, 2]\nCC_mean=0.9000, CC_max=0.9, CC_min=0.1, numSta=6, Tshift=0.0\n\n"
            "Events[7, 1]\nCC_mean=0.7000, CC_max=0.9, CC_min=0.1, numSta=6, Tshift=0.0\n\n");
  ASSERT_EQ(TMContext::ReadCCTemplates(dir + "/CC_templates.txt", dir + "/CC_templates.lm3"), 3);
  const std::vector<std::uint8_t> b = ReadBytes(dir + "/CC_templates.lm3");
  ASSERT_EQ(b.size(), 28u + 18u);
  auto u16 = [&](std::size_t o) { return static_cast<int>(b[o] | (b[o + 1] << 8)); };
  auto i16 = [&](std::size_t o) { return static_cast<int>(static_cast<std::int16_t>(u16(o))); };
  auto f32 = [&](std::size_t o) {
    std::uint32_t u =
        b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (static_cast<std::uint32_t>(b[o + 3]) << 24);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
  };
  EXPECT_EQ(u16(0), 20);
  EXPECT_EQ(u16(2), 37);
  EXPECT_EQ(u16(4), 3);
  EXPECT_EQ(u16(8), 3);
  EXPECT_EQ(u16(10), 3);
  EXPECT_EQ(u16(12), 1);
  EXPECT_EQ(f32(16), 1000.0f);
  EXPECT_EQ(f32(24), 1000.0f);
  const int want[9] = {0, 5000, -5000, 0, 0, 8999, 0, 0, 0};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(i16(28 + 2 * static_cast<std::size_t>(k)), want[k]) << k;

  // A report announcing no events, or none at all, leaves the matrix alone.
  WriteText(dir + "/empty.txt", "head\nNumber of events=0, Tshift=2.00\n");
  EXPECT_EQ(TMContext::ReadCCTemplates(dir + "/empty.txt", dir + "/e.lm3"), 0);
  EXPECT_EQ(TMContext::ReadCCTemplates(dir + "/missing.txt", dir + "/e.lm3"), 0);
  EXPECT_FALSE(plat::FileExists(dir + "/e.lm3"));
}

TEST(TMPairCorrelation, AllPairsOfATemplateFolder) {
  const std::string dir = TmpDir("tm_allpairs");
  plat::CreateFolder(dir + "/T");
  auto tpl = tmsynth::MakeTemplates(3, 5);
  tpl[2] = tpl[0];  // a near duplicate of the first, with other noise
  tpl[2].number = 3;
  for (int i = 0; i < 3; ++i) {
    KZ_WaveDataSeg2 w;
    tmsynth::FillTemplate(w, tpl[static_cast<std::size_t>(i)], 2000, 16, 5.0,
                          40 + static_cast<unsigned>(i));
    char name[32];
    std::snprintf(name, sizeof name, "/T/T_%06d.sg2", i + 1);
    ASSERT_EQ(w.SaveSeg2(dir + name, 0, 0, 1), 1);
  }
  WriteText(dir + "/T/notes.txt", "not a template\n");
  TMPars p;
  InitTMParameters(p);
  p.m_fHighCorner = 1.5f;  // below the Nyquist frequency of 5 MHz sampling
  EXPECT_EQ(TMContext::CrossCorrelateTemplates(dir + "/T/", p), 3);
  const std::string report = ReadText(dir + "/CC_templates.txt");
  const std::size_t p01 = report.find("Events[0, 1]\n"), p02 = report.find("Events[0, 2]\n"),
                    p12 = report.find("Events[1, 2]\n");
  ASSERT_NE(p01, std::string::npos);
  EXPECT_LT(p01, p02);
  EXPECT_LT(p02, p12);
  EXPECT_NE(report.find("Number of events=3, Tshift=2.00, Tb=5.00, Ta=10.00, Pb=0.00, Pa=0.30, "
                        "fL=0.10, fH=1.50\n"),
            std::string::npos);
  EXPECT_NE(report.find("T_000001.sg2\nT_000002.sg2\nT_000003.sg2\n"), std::string::npos);
  const std::vector<std::uint8_t> b = ReadBytes(dir + "/CC_templates.lm3");
  ASSERT_EQ(b.size(), 28u + 18u);
  auto v = [&](int i, int j) {
    const std::size_t o = 28 + 2 * static_cast<std::size_t>(i * 3 + j);
    return static_cast<int>(static_cast<std::int16_t>(b[o] | (b[o + 1] << 8)));
  };
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j <= i; ++j) EXPECT_EQ(v(i, j), 0);
  EXPECT_GT(v(0, 2), 9000);  // the duplicate
  EXPECT_LT(v(0, 1), 8000);
}

// ---------------------------------------------------------------- the run on synthetic truth

TEST(TMRun, FindsEveryPlantedCopyOnce) {
  plat::testing::ScriptedUi ui;
  const std::string dir = TmpDir("tm_run");
  MakeFolders(dir);
  const auto tpl = tmsynth::MakeTemplates(5, 77);
  WriteTemplates(dir, tpl);

  std::mt19937 rng(4242);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::map<int, std::vector<tmsynth::Copy>> planted;
  const int first = 100, count = 60;
  for (int i = 0; i < count; ++i) {
    std::vector<tmsynth::Copy> copies;
    if (i % 10 != 9) {  // every tenth record holds noise only
      tmsynth::Copy c;
      c.tpl = i % 5;
      c.dx = 2.0 * (static_cast<int>(u(rng) * 3) - 1);
      c.dy = 2.0 * (static_cast<int>(u(rng) * 3) - 1);
      c.dz = 2.0 * (static_cast<int>(u(rng) * 3) - 1);
      c.scale = 0.7 + 1.8 * u(rng);
      // Origin times on the sample grid (onsets still fall between samples): a pick is a
      // whole sample, and a copy moved by a fraction of one could not be picked within
      // one sample of its truth.
      c.t0 = std::round((40.0 + 100.0 * u(rng)) / tmsynth::kDt) * tmsynth::kDt;
      copies.push_back(c);
      if (i % 6 == 0) {  // a second copy 1 ms later
        c.t0 += 1000.0;
        c.scale *= 0.8;
        copies.push_back(c);
      }
    }
    planted[first + i] = copies;
    WriteEvent(dir, first + i, tpl, copies, "AE#=0", 900 + static_cast<unsigned>(i));
  }

  TMPars p = RunPars(dir);
  p.m_nFirstAE = first;
  p.m_nLastAE = first + count - 1;
  TMContext ctx;
  const int detected = ctx.RunTemplateMatching(p.m_strWavePath, p.m_strTemplatePath, p);
  EXPECT_EQ(detected, 54);
  EXPECT_TRUE(plat::FileExists(dir + "/out/Log_000100_000159_OK.txt"));
  EXPECT_FALSE(plat::FileExists(dir + "/out/Log_000100_000159.txt"));

  const std::vector<Row> rows = ReadTable(dir + "/out/ML_detect.kv0");
  int copiesTotal = 0;
  for (const auto& [ev, copies] : planted) {
    SCOPED_TRACE("event " + std::to_string(ev));
    std::vector<const Row*> mine;
    for (const Row& r : rows)
      if (r.ae == ev) mine.push_back(&r);
    ASSERT_EQ(mine.size(), copies.size());
    copiesTotal += static_cast<int>(copies.size());
    for (std::size_t n = 0; n < mine.size(); ++n) {
      const Row& r = *mine[n];
      // Rows are in time order here; each matches one copy.
      const tmsynth::Copy* c = nullptr;
      for (const auto& cc : copies)
        if (std::fabs(r.t0 - ExpectedTime(tpl[static_cast<std::size_t>(cc.tpl)], cc)) < 1.5)
          c = &cc;
      ASSERT_NE(c, nullptr) << "t0 " << r.t0;
      const tmsynth::Template& t = tpl[static_cast<std::size_t>(c->tpl)];
      EXPECT_GT(r.cc, 0.9);
      EXPECT_EQ(r.tpl, t.number);
      EXPECT_NEAR(r.x, t.x + c->dx, 2.0);
      EXPECT_NEAR(r.y, t.y + c->dy, 2.0);
      EXPECT_NEAR(r.z, t.z + c->dz, 2.0);
      EXPECT_NEAR(r.mw, t.mw + std::log10(c->scale), 0.05);
      EXPECT_NEAR(r.mwT, t.mw, 0.005);

      // The event file written for this detection: picks, polarities and its note.
      char name[64];
      if (n == 0)
        std::snprintf(name, sizeof name, "/wave/%06d.sg2", ev);
      else
        std::snprintf(name, sizeof name, "/wave/%06d_%02d.sg2", ev, static_cast<int>(n));
      KZ_WaveDataSeg2 w;
      ASSERT_EQ(w.Load(dir + name, 1, 0, 0), 1) << name;
      EXPECT_EQ(std::strncmp(w.m_header.szComments, "detected: AE#=", 14), 0);
      for (int k = 0; k < kLocated; ++k) {
        const int truth = tmsynth::PickOf(tmsynth::Onset(t, *c, k));
        EXPECT_NEAR(w.GetTrace(k)->m_nPick, truth, 1) << "station " << k;
      }
      EXPECT_EQ(w.GetTrace(kLocated)->m_nPick, 0);  // unused stations keep no pick
    }
  }
  EXPECT_EQ(static_cast<int>(rows.size()), copiesTotal);

  // The table's head once, the samples of the written files raw (not band-passed).
  const std::string table = ReadText(dir + "/out/ML_detect.kv0");
  EXPECT_EQ(table.rfind("KVDATA02\n", 0), 0u);
  EXPECT_EQ(table.find("KVDATA02", 1), std::string::npos);
  KZ_WaveDataSeg2 raw, written;
  tmsynth::FillRecord(raw, tpl, planted[first], kLen, 8.0, 900);
  ASSERT_EQ(written.Load(dir + "/wave/000100.sg2", 1, 0, 0), 1);
  for (int i = 0; i < kLen; i += 37)
    ASSERT_EQ(written.GetTrace(3)->m_pData[static_cast<std::size_t>(i)],
              raw.GetTrace(3)->m_pData[static_cast<std::size_t>(i)]);
}

// ---------------------------------------------------------------- skip rules

TEST(TMRun, SkipRulesRedoAndLogName) {
  plat::testing::ScriptedUi ui;
  const std::string dir = TmpDir("tm_skip");
  MakeFolders(dir);
  auto tpl = tmsynth::MakeTemplates(2, 31);
  tpl[1].number = 6;  // a template that is also event 6 of the range
  WriteTemplates(dir, tpl);
  tmsynth::Copy c;
  c.t0 = 80.0;
  struct Case {
    int number;
    const char* comments;
    bool copy;
    const char* log;  // what the log says about the event
    bool rewritten;   // the file is written by the run
  };
  const Case cases[] = {
      {3, "AE#=3, M=12", true, "  Skip well located event (Mid=12)\n", false},
      {4, "AE#=4, M=11", true, "000004.sg2... !\n", true},
      {5, "AE#=5", true, "000005.sg2... !\n", true},
      {6, "AE#=6", true, "  Skip template event (AE#=6)\n", false},
      {7, "detected: AE#=7, CC=0.95", true, "  Skip event detected by prev. run(s)\n", false},
  };
  for (const Case& k : cases)
    WriteEvent(dir, k.number, tpl,
               k.copy ? std::vector<tmsynth::Copy>{c} : std::vector<tmsynth::Copy>{}, k.comments,
               70 + static_cast<unsigned>(k.number));
  std::map<int, std::string> before;
  for (const Case& k : cases)
    before[k.number] =
        ReadText(dir + "/wave/" + std::string(6 - 1, '0') + std::to_string(k.number) + ".sg2");

  TMPars p = RunPars(dir);
  p.m_nFirstAE = 3;
  p.m_nLastAE = 8;  // 8 does not exist
  const std::string cwd = plat::GetCurrentFolder();
  TMContext ctx;
  EXPECT_EQ(ctx.RunTemplateMatching(p.m_strWavePath, p.m_strTemplatePath, p), 2);
  EXPECT_EQ(plat::GetCurrentFolder(), cwd);  // paths are built from the folders
  const std::string log = ReadText(dir + "/out/Log_000003_000008_OK.txt");
  for (const Case& k : cases) {
    SCOPED_TRACE(k.number);
    EXPECT_NE(log.find(k.log), std::string::npos);
    const std::string now = ReadText(dir + "/wave/00000" + std::to_string(k.number) + ".sg2");
    EXPECT_EQ(now != before[k.number], k.rewritten);
  }
  EXPECT_NE(log.find("000008.sg2... failed or non-existent!\n"), std::string::npos);
  EXPECT_NE(log.find(" Ended: 2 / 2 events scanned/detected."), std::string::npos);
  // The templates in memory were not changed by the detections.
  EXPECT_EQ(ReadTable(dir + "/out/ML_detect.kv0").size(), 2u);

  // Redo: a marked event without a copy loses its mark; its samples stay raw.
  WriteEvent(dir, 9, tpl, {}, "detected: AE#=9, CC=0.95", 99);
  KZ_WaveDataSeg2 raw;
  ASSERT_EQ(raw.Load(dir + "/wave/000009.sg2", 1, 0, 0), 1);
  p.m_nFirstAE = p.m_nLastAE = 9;
  p.m_bRedo = 1;
  TMContext again;
  EXPECT_EQ(again.RunTemplateMatching(p.m_strWavePath, p.m_strTemplatePath, p), 0);
  KZ_WaveDataSeg2 now;
  ASSERT_EQ(now.Load(dir + "/wave/000009.sg2", 1, 0, 0), 1);
  EXPECT_STREQ(now.m_header.szComments, " ");
  for (int i = 0; i < kLen; i += 101)
    ASSERT_EQ(now.GetTrace(2)->m_pData[static_cast<std::size_t>(i)],
              raw.GetTrace(2)->m_pData[static_cast<std::size_t>(i)]);
}

TEST(TMRun, TemplateLoadingRangesAndFailures) {
  plat::testing::ScriptedUi ui;
  const std::string dir = TmpDir("tm_load");
  MakeFolders(dir);
  WriteTemplates(dir, tmsynth::MakeTemplates(4, 8));
  WriteText(dir + "/tpl/000009.sg2", "not a SEG-2 file");
  struct Case {
    const char* name;
    int nTemplates, iTS, iTE;
    int taken;
    std::vector<int> loaded;  // indices holding channels after loading
  };
  const Case cases[] = {
      {"all", 1000, -1, -1, 4, {0, 1, 2, 3}},
      {"at most two", 2, -1, -1, 2, {0, 1}},
      // Files outside the range are taken unread: the damaged one as well.
      {"explicit range", 1000, 1, 2, 5, {1, 2}},
      {"lazy", 0, -1, -1, 0, {}},
      {"lazy three", -3, -1, -1, 3, {0}},
      // The lazy mode loads the first template of its range: the run's reference.
      {"lazy from the second", -3, 1, -1, 3, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMPars p = RunPars(dir);
    p.m_nTemplates = c.nTemplates;
    p.m_iTS = c.iTS;
    p.m_iTE = c.iTE;
    TMContext ctx;
    TMTemplateArray set = ctx.LoadTemplates(p.m_strTemplatePath, p);
    EXPECT_EQ(p.m_nTemplates, c.taken);
    ASSERT_EQ(static_cast<int>(set.size()), c.taken);
    std::vector<int> loaded;
    for (int i = 0; i < c.taken; ++i) {
      if (set[static_cast<std::size_t>(i)]->Count() > 0) loaded.push_back(i);
      EXPECT_EQ(set[static_cast<std::size_t>(i)]->m_nEvent, i < 4 ? i + 1 : 9);
    }
    EXPECT_EQ(loaded, c.loaded);
  }
  // A folder without templates: the run says so and its log keeps the plain name.
  TMPars p = RunPars(dir);
  p.m_strTemplatePath = dir + "/wave/";
  TMContext ctx;
  EXPECT_EQ(ctx.RunTemplateMatching(p.m_strWavePath, p.m_strTemplatePath, p), 0);
  EXPECT_NE(ReadText(dir + "/out/Log_000000_000499.txt").find(" !Number of templates is 0 in "),
            std::string::npos);
}

// Four processes append to one table at once: one head, every row whole.
TEST(TMRun, ParallelRunsShareOneTable) {
  plat::testing::ScriptedUi ui;
  const std::string dir = TmpDir("tm_parallel");
  MakeFolders(dir);
  const auto tpl = tmsynth::MakeTemplates(1, 3);
  WriteTemplates(dir, tpl);
  tmsynth::Copy c;
  for (int e = 10; e < 22; ++e) {
    c.t0 = 50.0 + 4.0 * e;
    c.scale = 1.0 + 0.05 * e;
    WriteEvent(dir, e, tpl, {c}, "AE#=0", 300 + static_cast<unsigned>(e));
  }
  std::vector<pid_t> kids;
  for (int k = 0; k < 4; ++k) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      TMPars p = RunPars(dir);
      p.m_nFirstAE = 10 + 3 * k;
      p.m_nLastAE = 12 + 3 * k;
      TMContext ctx;
      const int n = ctx.RunTemplateMatching(p.m_strWavePath, p.m_strTemplatePath, p);
      _exit(n == 3 ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string table = ReadText(dir + "/out/ML_detect.kv0");
  EXPECT_EQ(table.rfind("KVDATA02\nDetecte event\nSAMPLES 777\n", 0), 0u);
  EXPECT_EQ(table.find("KVDATA02", 1), std::string::npos);
  const std::vector<Row> rows = ReadTable(dir + "/out/ML_detect.kv0");
  ASSERT_EQ(rows.size(), 12u);
  std::vector<int> seen;
  for (const Row& r : rows) seen.push_back(r.ae);
  std::sort(seen.begin(), seen.end());
  for (int e = 10; e < 22; ++e) EXPECT_EQ(seen[static_cast<std::size_t>(e - 10)], e);
  // Every line after the head holds fifteen fields.
  std::size_t at = 0;
  int lines = 0;
  for (std::size_t nl; (nl = table.find('\n', at)) != std::string::npos; at = nl + 1, ++lines)
    if (lines >= 7) {
      EXPECT_EQ(std::count(table.begin() + static_cast<long>(at),
                           table.begin() + static_cast<long>(nl), '\t'),
                14);
    }
  EXPECT_EQ(lines, 19);
}

// ---------------------------------------------------------------- long recordings

// A recording of 3.5 chunks with events on both sides of chunk boundaries and between
// them: each is found once, and the scan ends at the end of the file.
TEST(TMLongRecord, EventsAtAndBetweenChunkBoundaries) {
  plat::testing::ScriptedUi ui;
  const std::string dir = TmpDir("tm_long");
  MakeFolders(dir);
  const auto tpl = tmsynth::MakeTemplates(2, 61);
  WriteTemplates(dir, tpl, "%06d.sg2", 3000);  // chunks of 3300 samples
  const int chunk = 3300, total = chunk * 7 / 2;
  // Stack positions (samples) of the planted events.
  const int at[] = {1400, 3298, 4800, 6601, 8100, 9899, 11200};
  std::vector<tmsynth::Copy> copies;
  std::vector<double> expected;
  std::mt19937 rng(5);
  for (int k = 0; k < 7; ++k) {
    tmsynth::Copy c;
    c.tpl = k % 2;
    const tmsynth::Template& t = tpl[static_cast<std::size_t>(c.tpl)];
    c.dx = 2.0 * (static_cast<int>(rng() % 3) - 1);
    c.dy = 2.0 * (static_cast<int>(rng() % 3) - 1);
    c.scale = 0.8 + 0.2 * k;
    c.t0 = 0.0;
    c.t0 = at[k] * tmsynth::kDt - ExpectedTime(t, c);
    copies.push_back(c);
    expected.push_back(at[k] * tmsynth::kDt);
  }
  KZ_WaveDataSeg2 whole;
  tmsynth::FillRecord(whole, tpl, copies, total, 8.0, 17);
  // The recording: 16-bit samples channel after channel, described by a SEG-2 file.
  std::vector<std::uint8_t> bytes;
  for (int ch = 0; ch < whole.Count(); ++ch)
    for (int i = 0; i < total; ++i) {
      const auto v =
          static_cast<std::int16_t>(whole.GetTrace(ch)->m_pData[static_cast<std::size_t>(i)]);
      bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
  tv_test::WriteBytes(dir + "/wave/rec.lng", bytes);
  KZ_WaveDataSeg2 desc;
  tmsynth::FillRecord(desc, tpl, {}, 16, 1.0, 1);
  ASSERT_EQ(desc.SaveSeg2(dir + "/wave/rec.sg2", 0, 0, 1), 1);

  TMPars p = RunPars(dir);
  p.m_nFirstAE = 0;
  p.m_nLastAE = 20;
  TMContext ctx;
  const int files = ctx.RunTemplateMatching(dir + "/wave/rec.lng", p.m_strTemplatePath, p);
  const std::string log = ReadText(dir + "/out/Log_000000_000020_OK.txt");
  EXPECT_NE(log.find(": 4... EOF reached !\n"), std::string::npos);
  EXPECT_NE(log.find(" Ended: 4 / "), std::string::npos);

  const std::vector<Row> rows = ReadTable(dir + "/out/ML_detect.kv0");
  std::map<int, int> perFile;
  std::vector<int> found(7, 0);
  for (const Row& r : rows) {
    // The chunk a detection was written with is found in the recording by its samples.
    const int n = perFile[r.ae]++;
    char name[64];
    if (n == 0)
      std::snprintf(name, sizeof name, "/out/%06d.sg2", r.ae);
    else
      std::snprintf(name, sizeof name, "/out/%06d_%02d.sg2", r.ae, n);
    KZ_WaveDataSeg2 w;
    ASSERT_EQ(w.Load(dir + name, 1, 0, 0), 1) << name;
    const std::vector<float>& a = whole.GetTrace(0)->m_pData;
    const std::vector<float>& b = w.GetTrace(0)->m_pData;
    int offset = -1;
    for (int o = 0; o + 16 <= total && offset < 0; ++o)
      if (std::equal(b.begin(), b.begin() + 16, a.begin() + o)) offset = o;
    ASSERT_GE(offset, 0);
    const double t = offset * tmsynth::kDt + r.t0;
    int k = -1;
    for (int j = 0; j < 7; ++j)
      if (std::fabs(t - expected[static_cast<std::size_t>(j)]) < 1.5) k = j;
    ASSERT_GE(k, 0) << "detection at " << t << " us";
    ++found[static_cast<std::size_t>(k)];
    EXPECT_GT(r.cc, 0.9);
    EXPECT_EQ(r.tpl, tpl[static_cast<std::size_t>(copies[static_cast<std::size_t>(k)].tpl)].number);
    EXPECT_NEAR(r.mw,
                tpl[static_cast<std::size_t>(copies[static_cast<std::size_t>(k)].tpl)].mw +
                    std::log10(copies[static_cast<std::size_t>(k)].scale),
                0.05);
  }
  for (int k = 0; k < 7; ++k)
    EXPECT_EQ(found[static_cast<std::size_t>(k)], 1) << "event at " << at[k];
  EXPECT_EQ(files, static_cast<int>(perFile.size()));
}

// ---------------------------------------------------------------- detector cases

namespace {

struct Outcome {
  std::vector<Row> rows;
  std::string log;
  std::vector<std::string> outputs;  // names in the output folder
};

// One event file (number 10) scanned with the given templates.
Outcome RunOne(const std::string& name, const std::vector<tmsynth::Template>& tpl,
               const std::vector<tmsynth::Copy>& copies, int samples,
               const std::function<void(TMPars&)>& tweak, int recordSamples = 0,
               int recordChannels = tmsynth::kSensors) {
  const std::string dir = TmpDir(name);
  MakeFolders(dir);
  WriteTemplates(dir, tpl, "%06d.sg2", samples);
  KZ_WaveDataSeg2 w;
  tmsynth::FillRecord(w, tpl, copies, recordSamples > 0 ? recordSamples : samples, 8.0, 123);
  while (w.Count() > recordChannels) w.RemoveTrace(w.Count() - 1);
  KZ_CopyText(w.m_header.szComments, "AE#=10");
  EXPECT_EQ(w.SaveSeg2(dir + "/wave/000010.sg2", 0, 0, 1), 1);
  TMPars p = RunPars(dir);
  p.m_nFirstAE = p.m_nLastAE = 10;
  tweak(p);
  TMContext ctx;
  ctx.RunTemplateMatching(p.m_strWavePath, p.m_strTemplatePath, p);
  Outcome o;
  o.rows = ReadTable(dir + "/out/ML_detect.kv0");
  o.log = ReadText(dir + "/out/Log_000010_000010_OK.txt");
  for (const auto& f : plat::FindFiles(dir + "/out/*.*")) o.outputs.push_back(f.name);
  return o;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(TMDetect, PeaksMergeWithinTheIntereventTime) {
  plat::testing::ScriptedUi ui;
  const auto tpl = tmsynth::MakeTemplates(1, 21);
  tmsynth::Copy strong, weak;
  strong.t0 = 100.0;
  weak.t0 = 200.0;  // 100 us later, off the grid: a lower stacked correlation
  weak.dx = 1.0;
  weak.dy = -1.0;
  weak.scale = 0.8;
  for (bool mean : {false, true}) {
    SCOPED_TRACE(mean ? "mean removed" : "plain");
    const Outcome o = RunOne("tm_merge", tpl, {strong, weak}, 3000, [&](TMPars& p) {
      p.m_bMeanRemoval = mean ? 1 : 0;
      p.m_nOutputFlag = 2;
    });
    ASSERT_EQ(o.rows.size(), 1u);
    EXPECT_NEAR(o.rows[0].t0, ExpectedTime(tpl[0], strong), 1.0);
    EXPECT_GT(o.rows[0].cc, 0.9);
    EXPECT_GT(Count(o.log, " Potential event detected at "), 1);
  }
}

// Entries of different templates closer than the inter-event time leave one detection, the
// stronger, wherever the two stand in the table (the first entry included).
TEST(TMDetect, OneDetectionPerIntereventWindow) {
  struct Case {
    double t[3];
    float cc[3];
    int kept;  // entry whose detection survives, as its correlation
  } cases[] = {
      {{100, 200, 900}, {0.9f, 0.6f, 0.7f}, 0},  // stronger first
      {{100, 200, 900}, {0.6f, 0.9f, 0.7f}, 1},  // stronger second
      {{900, 100, 300}, {0.7f, 0.8f, 0.6f}, 1},  // the pair behind another window
  };
  for (const Case& c : cases) {
    TMContext ctx;
    for (int i = 0; i < 3; ++i) {
      ctx.m_Cand[i].m_nTemplate = i;
      ctx.m_Cand[i].m_dTime = c.t[i];
      ctx.m_Cand[i].m_fCC = c.cc[i];
    }
    EXPECT_EQ(ctx.MergeCandidates(3, 250.0f), 1);
    std::vector<float> left;
    for (int i = 0; i < 3; ++i)
      if (ctx.m_Cand[i].m_nTemplate >= 0) left.push_back(ctx.m_Cand[i].m_fCC);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_NE(std::find(left.begin(), left.end(), c.cc[c.kept]), left.end());
    EXPECT_NE(std::find(left.begin(), left.end(), 0.7f), left.end());
  }
}

// A table filled by more peaks than it holds keeps the strongest: the real copy, placed
// after a hundred noise peaks, survives.
TEST(TMDetect, FullCandidateTableKeepsTheStrongest) {
  plat::testing::ScriptedUi ui;
  const auto tpl = tmsynth::MakeTemplates(1, 22);
  tmsynth::Copy late;
  late.t0 = 380.0;
  const Outcome o = RunOne("tm_full", tpl, {late}, 2200, [](TMPars& p) {
    p.m_fThresholdCC = 0.0f;
    p.m_fThresholdSNR = 0.0f;
    p.m_fInterevent = 0.5f;
    p.m_nGridX = p.m_nGridY = p.m_nGridZ = 0;
    p.m_nOutputFlag = 2;
  });
  ASSERT_EQ(o.rows.size(), 100u);
  // The table was full before the copy was reached.
  const std::size_t full = o.log.find("n=100, Templ=0"), copy = o.log.find("CC=0.99");
  ASSERT_NE(copy, std::string::npos);
  EXPECT_LT(full, copy);
  int real = 0;
  for (const Row& r : o.rows)
    if (r.cc > 0.9 && std::fabs(r.t0 - ExpectedTime(tpl[0], late)) < 1.0) ++real;
  EXPECT_EQ(real, 1);
}

// A best correlation above 0.99 ends the template loop for the record.
TEST(TMDetect, NearPerfectMatchStopsTheTemplateLoop) {
  plat::testing::ScriptedUi ui;
  auto tpl = tmsynth::MakeTemplates(2, 23);
  tpl[1] = tpl[0];
  tpl[1].number = 2;
  tmsynth::Copy c;
  c.t0 = 90.0;
  const Outcome o = RunOne("tm_stop", tpl, {c}, 3000, [](TMPars& p) {
    p.m_fLowCorner = p.m_fHighCorner = 0.0f;  // no band-pass: the copy is exact
  });
  ASSERT_EQ(o.rows.size(), 1u);
  EXPECT_GT(o.rows[0].cc, 0.99);
  EXPECT_EQ(o.rows[0].tpl, 1);
  EXPECT_EQ(Count(o.log, " Final event detected: "), 1);
  EXPECT_EQ(Count(o.log, "Templ=1"), 0);
}

// Verbose output: correlation traces of every candidate and the unshifted mean stack, as
// multi-trace SAC files of the station rows and the stack.
TEST(TMDetect, CorrelationTraceFiles) {
  plat::testing::ScriptedUi ui;
  const auto tpl = tmsynth::MakeTemplates(1, 24);
  tmsynth::Copy c;
  c.t0 = 90.0;
  const Outcome o = RunOne("tm_sacs", tpl, {c}, 3000, [](TMPars& p) {
    p.m_nOutputFlag = 6;
    p.m_nGridX = p.m_nGridY = p.m_nGridZ = 0;
  });
  ASSERT_EQ(o.rows.size(), 1u);
  int mean = 0, candidates = 0;
  for (const std::string& n : o.outputs) {
    if (n.size() == 22 && n.substr(14) == "_CC.sacs") ++mean;
    if (n.find("_CC0.") != std::string::npos || n.find("_CC1.") != std::string::npos) {
      ++candidates;
      const std::vector<std::uint8_t> b =
          ReadBytes(std::string(TV_TEST_TMPDIR) + "/tm_sacs/out/" + n);
      ASSERT_GE(b.size(), 4u);
      EXPECT_EQ(b[0], kLocated + 1);  // twelve stations and the stack
    }
  }
  EXPECT_GE(mean, 1);
  EXPECT_GE(candidates, 1);
}

// Records that do not fit the templates: what lies outside is left out, never read.
TEST(TMDetect, RecordsShorterOrNarrowerThanTheTemplates) {
  plat::testing::ScriptedUi ui;
  const auto tpl = tmsynth::MakeTemplates(1, 25);
  tmsynth::Copy c;
  c.t0 = 60.0;
  struct Case {
    const char* name;
    int samples, channels;
    std::size_t rows;
  };
  const Case cases[] = {
      {"shorter record", 1500, 16, 1},  // the template has 3000 samples
      {"ten channels", 3000, 10, 1},    // the template has 16, twelve of them located
      {"three channels", 3000, 3, 0},   // fewer stations than a template needs
      {"too short for a window", 30, 16, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const Outcome o = RunOne(
        "tm_fit", tpl, {c}, 3000, [](TMPars&) {}, k.samples, k.channels);
    ASSERT_EQ(o.rows.size(), k.rows);
    if (k.rows) {
      EXPECT_GT(o.rows[0].cc, 0.9);
      EXPECT_NEAR(o.rows[0].t0, ExpectedTime(tpl[0], c), 1.0);
    }
  }
}
