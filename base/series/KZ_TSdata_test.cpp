#include "base/series/KZ_TSdata.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "base/base_test_support.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/plot/KZ_Pal1C.h"
#include "platform/RecordingDc.h"
#include "platform/testing/ScriptedUi.h"

using tv_test::ReadText;
using tv_test::TmpPath;
using tv_test::WriteTmpFile;

namespace {

std::string Fixture(const std::string& name) {
  return std::string(TV_SOURCE_DIR) + "/base/series/testdata/" + name;
}

// A series of `n` samples every `stepMs` with the given channel names; sample i of
// channel c is raw[c][i] at scale 1.
void Make(KZ_TSdata& ts, const std::vector<std::string>& names,
          const std::vector<std::vector<int>>& raw, double stepMs = 1000) {
  const int n = static_cast<int>(raw[0].size());
  ASSERT_TRUE(ts.Alloc(static_cast<int>(names.size()), n, false, nullptr));
  for (std::size_t c = 0; c < names.size(); ++c) {
    std::snprintf(ts.m_pChannel[c].szName, sizeof(ts.m_pChannel[c].szName), "%s", names[c].c_str());
    ts.m_pChannel[c].dScale = 1.0;
    for (int i = 0; i < n; ++i) ts.m_ppData[c][i] = raw[c][i];
  }
  for (int i = 0; i < n; ++i) ts.m_pTime[i] = i * stepMs;
  ts.m_nSamples = n;
}

void LoadKnown(KZ_TSdata& ts) { ASSERT_TRUE(ts.Load(Fixture("ts_old.dlv"), nullptr, nullptr)); }

void ExpectKnown(const KZ_TSdata& ts) {
  ASSERT_EQ(ts.m_nChannels, 3);
  EXPECT_EQ(ts.m_nSamples, 12);
  EXPECT_STREQ(ts.m_pChannel[1].szName, "A.Strain");
  EXPECT_FLOAT_EQ(ts.Value(1, 1, false), 19.0f);
  EXPECT_EQ(ts.m_strTitle, Fixture("ts_old.dlv"));
}

}  // namespace

// Raw acquisition files of versions O, R and 2 (and a new 16-bit head) and a KVDATA02B
// file, made by tools/base_series/make_ts_files.py with the values they must load as.
TEST(TSdata, RawAndBinaryFilesLoadTheirPhysicalValues) {
  std::ifstream in(Fixture("ts_expected.txt"));
  ASSERT_TRUE(in);
  std::string line;
  int files = 0;
  while (std::getline(in, line)) {
    if (line.rfind("file ", 0) != 0) continue;
    std::istringstream head(line.substr(5));
    std::string name;
    int channels, samples;
    long long start;
    head >> name >> channels >> samples >> start;
    SCOPED_TRACE(name);
    std::getline(in, line);
    std::istringstream names(line.substr(6));
    KZ_TSdata ts;
    std::int64_t first = 0, last = 8000000;
    ASSERT_TRUE(ts.Load(Fixture(name), &first, &last));
    ASSERT_EQ(ts.m_nChannels, channels);
    ASSERT_EQ(ts.m_nSamples, samples);
    EXPECT_EQ(ts.m_tStart, start);
    EXPECT_EQ(ts.m_strTitle, Fixture(name));
    for (int c = 0; c < channels; ++c) {
      std::string n;
      names >> n;
      EXPECT_STREQ(ts.m_pChannel[c].szName, n.c_str());
      EXPECT_EQ(ts.m_pChannel[c].nPlot, 1);
    }
    for (int i = 0; i < samples; ++i) {
      std::getline(in, line);
      std::istringstream row(line);
      double t;
      row >> t;
      EXPECT_DOUBLE_EQ(ts.m_pTime[i], t) << i;
      for (int c = 0; c < channels; ++c) {
        double v;
        row >> v;
        EXPECT_EQ(ts.Value(c, i, false), static_cast<float>(v)) << i << " " << c;
      }
    }
    ++files;
  }
  EXPECT_EQ(files, 6);

  // Plot settings by channel kind, and the calibration the raw reader derives.
  KZ_TSdata ts;
  ASSERT_TRUE(ts.Load(Fixture("ts_old.dlv"), nullptr, nullptr));
  EXPECT_EQ(ts.m_pChannel[0].fPlotA, 100);
  EXPECT_EQ(ts.m_pChannel[1].fPlotA, 5000);
  EXPECT_EQ(ts.m_pChannel[2].fPlotA, 10000);
  EXPECT_EQ(ts.m_pChannel[2].dVoltsPerCount, 1.0);
  EXPECT_EQ(ts.m_pChannel[0].dVoltsPerCount, 3.0517578125e-5);
  EXPECT_FLOAT_EQ(ts.m_pChannel[0].fGain, static_cast<float>(0.01f / 3.0517578125e-5));
  EXPECT_FLOAT_EQ(ts.m_pChannel[0].fPlotMin, -1.0f);
  EXPECT_EQ(ts.m_pChannel[2].crColour, RGB(255, 125, 0));  // AE#
}

TEST(TSdata, RawRecordWindowAndHalving) {
  KZ_TSdata ts;
  std::int64_t first = 3, last = 5;  // records 3 and 4
  ASSERT_TRUE(ts.Load(Fixture("ts_old.dlv"), &first, &last));
  EXPECT_EQ(ts.m_nSamples, 2);
  EXPECT_EQ(ts.m_pTime[0], 300);
  first = 5, last = 5;  // an empty window: the whole file
  ASSERT_TRUE(ts.Load(Fixture("ts_old.dlv"), &first, &last));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(ts.m_nSamples, 12);

  // Version 2 keeps every second record whenever the planned room is full: with room for
  // 4, ten records end as records 0 and 8.
  first = 0, last = 4;
  ASSERT_TRUE(ts.Load(Fixture("ts_v2.dlv"), &first, &last));
  ASSERT_EQ(ts.m_nSamples, 2);
  EXPECT_EQ(ts.m_pTime[0], 0);
  EXPECT_EQ(ts.m_pTime[1], 60);
  KZ_TSdata all;
  ASSERT_TRUE(all.Load(Fixture("ts_v2.dlv"), nullptr, nullptr));
  EXPECT_EQ(ts.m_ppData[2][1], all.m_ppData[2][8]);
}

TEST(TSdata, KVTextFiles) {
  const std::string path =
      WriteTmpFile("v1.kv0",
                   "KVDATA01 test\nSTART_TIME: 2009/05/01 12:00:30.25\nSAMPLES 2\nTime Load,kN\n"
                   "0.0 1.5\n1.0 2.0\n");
  KZ_TSdata ts;
  ASSERT_TRUE(ts.Load(path, nullptr, nullptr));
  ASSERT_EQ(ts.m_nChannels, 1);
  ASSERT_EQ(ts.m_nSamples, 2);
  EXPECT_STREQ(ts.m_pChannel[0].szName, "Load");
  EXPECT_STREQ(ts.m_pChannel[0].szUnit, "kN");
  EXPECT_EQ(ts.m_tStart, 1241179230);  // TZ=UTC
  EXPECT_DOUBLE_EQ(ts.m_pTime[0], 250);
  EXPECT_DOUBLE_EQ(ts.m_pTime[1], 1250);
  EXPECT_FLOAT_EQ(ts.Value(0, 0, true), 1.5f);
  EXPECT_FLOAT_EQ(ts.Value(0, 1, true), 2.0f);
  EXPECT_EQ(ts.m_pChannel[0].fPlotMin, KZ_NiceFloorF(1.5f));
  EXPECT_EQ(ts.m_pChannel[0].fPlotMax, KZ_NiceCeilF(2.0f));
  EXPECT_EQ(ts.m_pChannel[0].crColour, RGB(0, 0, 0));

  // Version 2 factors; no SAMPLES line: the rows are counted up to a '[' line.
  const std::string v2 =
      WriteTmpFile("v2.kv0",
                   "KVDATA02\nSTART_TIME: 2009/05/01 12:00:30\nTime\tA.Stress,MPa\tAE#1\n"
                   "0.001 2 1\n0 1.25 3\n500 2.5 4\n[END]\n9 9 9\n");
  ASSERT_TRUE(ts.Load(v2, nullptr, nullptr));
  ASSERT_EQ(ts.m_nSamples, 2);
  EXPECT_DOUBLE_EQ(ts.m_pTime[1], 500);
  EXPECT_FLOAT_EQ(ts.Value(0, 1, false), 5.0f);
  EXPECT_FLOAT_EQ(ts.Value(1, 1, false), 4.0f);
  EXPECT_EQ(ts.m_pChannel[0].crColour, RGB(255, 0, 0));
}

// The dialects with a START_TIME second line load as series; the others are refused.
TEST(TSdata, KVDialects) {
  std::ifstream in(Fixture("kv_dialects.txt"));
  std::string line;
  int loaded = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string item; std::getline(ss, item, '|');) f.push_back(item);
    SCOPED_TRACE(f[0]);
    plat::testing::ScriptedUi ui;
    KZ_TSdata ts;
    const int channels = std::stoi(f[8]);
    const bool ok = ts.Load(Fixture(f[0]), nullptr, nullptr);
    EXPECT_EQ(ok, channels > 0);
    if (!ok) {
      EXPECT_EQ(ui.MessageTexts().size(), 1u);
      continue;
    }
    EXPECT_EQ(ts.m_nChannels, channels);
    EXPECT_EQ(ts.m_nSamples, std::stoi(f[2]));
    EXPECT_NEAR(ts.Value(channels - 1, ts.m_nSamples - 1, false), std::stod(f[7]),
                1e-4 * (1 + std::stod(f[7])));
    std::tm t = ts.StartTime();
    std::istringstream st(f[9]);
    int y, mo, d, h, mi, s;
    st >> y >> mo >> d >> h >> mi >> s;
    EXPECT_EQ(t.tm_year + 1900, y);
    EXPECT_EQ(t.tm_sec, s);
    ++loaded;
  }
  EXPECT_EQ(loaded, 8);
}

TEST(TSdata, WriteWindowAndReadBack) {
  KZ_TSdata ts;
  Make(ts, {"Load", "Hidden", "A.Stress"},
       {{0, 1, 2, 3, 4}, {5, 5, 5, 5, 5}, {10, 20, 30, 40, 50}});
  ts.m_pChannel[1].nPlot = 0;
  ts.m_pChannel[2].fBase = 5;  // written relative
  ts.m_tStart = 1241179230;
  ts.m_strTitle = "C:/exp/run.dat";
  const std::string path = TmpPath("window.kv0");
  ASSERT_TRUE(ts.WriteKVText(path, 1000, 3000));
  EXPECT_EQ(ReadText(path),
            "KVDATA02 Stress-Strain data. from C:/exp/run.dat\n"
            "START_TIME: 2009/05/01 12:00:30\n"
            "SAMPLES 3\n"
            "Time(sec) Load A.Stress\n"
            "1.0 1.0 1.0\n"
            "    1.0000 1.000000 15.000000\n"
            "    2.0000 2.000000 25.000000\n"
            "    3.0000 3.000000 35.000000\n");
  KZ_TSdata back;
  ASSERT_TRUE(back.Load(path, nullptr, nullptr));
  ASSERT_EQ(back.m_nChannels, 2);
  EXPECT_EQ(back.m_tStart, ts.m_tStart);
  EXPECT_DOUBLE_EQ(back.m_pTime[2], 3000);
  EXPECT_FLOAT_EQ(back.Value(1, 2, true), 35.0f);
  EXPECT_FALSE(ts.WriteKVText(TmpPath("no/such/dir.kv0"), 0, 1));
}

// The chain resolved once per drawing reads every channel, formula or not, cycle or not,
// relative or not, exactly as the sample-by-sample reading does.
TEST(TSdata, ResolvedChainReadsAsValue) {
  KZ_TSdata ts;
  Make(ts,
       {"Raw", "Load FUN=0.37 CHN(3)", "Pres FUN=-1.3 CHN(5)", "Bad FUN=2 CHN(1)",
        "Cyc FUN=0.7 CHN(2)", "Far FUN=2 CHN(9)"},
       {{7, -3, 12, 40001}, {100, 101, -7, 3}, {40, 41, 1, 2}, {3, 4, 5, 6}, {9, 8, 7, 6},
        {4, 3, 2, 1}});
  ts.m_pChannel[0].dScale = 0;
  const float scales[] = {1, 0.013f, 3.7f, 1, 0.1f, 2};
  for (int c = 1; c < 6; ++c) {
    ts.m_pChannel[c].dScale = scales[c];
    ts.m_pChannel[c].fOffset = 0.3f * c;
    ts.m_pChannel[c].fBase = 1.1f * c;
  }
  for (int c = -1; c <= 6; ++c)
    for (const bool relative : {false, true}) {
      const KZ_TSdata::ValueChain chain = ts.ChainOf(c, relative);
      for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(ts.ChainValue(chain, i)),
                  std::bit_cast<std::uint32_t>(ts.Value(c, i, relative)))
            << c << " " << relative << " " << i;
    }
}

TEST(TSdata, ValuesScalesAndFormulas) {
  KZ_TSdata ts;
  Make(ts, {"Raw", "Load FUN=0.5 CHN(3)", "Pres", "Bad FUN=2 CHN(1)", "Far FUN=2 CHN(9)"},
       {{7}, {100}, {40}, {3}, {4}});
  ts.m_pChannel[0].dScale = 0;  // raw counts, whatever the offset
  ts.m_pChannel[0].fOffset = 99;
  ts.m_pChannel[2].fOffset = 2;
  ts.m_pChannel[2].fBase = 12;
  ts.m_pChannel[1].fBase = 10;
  EXPECT_EQ(ts.Value(0, 0, true), 7.0f);
  EXPECT_EQ(ts.Value(2, 0, false), 42.0f);
  EXPECT_EQ(ts.Value(1, 0, true), 90.0f + 0.5f * 30.0f);  // half of channel 3's relative value
  EXPECT_EQ(ts.Value(3, 0, true), 3.0f);                  // CHN(1) adds nothing
  EXPECT_EQ(ts.Value(4, 0, true), 4.0f);                  // beyond the channel count

  // Formulas that lead back to themselves stop at the repeated channel.
  KZ_TSdata cyc;
  Make(cyc, {"A FUN=1 CHN(3)", "B FUN=1 CHN(3)", "C FUN=1 CHN(2)", "D FUN=1 CHN(4)"},
       {{1}, {10}, {100}, {5}});
  EXPECT_EQ(cyc.Value(1, 0, true), 110.0f);  // B + C, and C's term back to B is refused
  EXPECT_EQ(cyc.Value(2, 0, true), 110.0f);
  EXPECT_EQ(cyc.Value(0, 0, true), 111.0f);  // A + C + B
  EXPECT_EQ(cyc.Value(3, 0, true), 5.0f);    // itself

  // The formula is found wherever the name's text holds it, and only there: the text ends
  // at the first NUL or, for a name that fills the field, at the field's end.
  struct NameCase {
    std::string name;
    float value;  // own raw 1 plus a times channel 2's 10
  };
  const std::string fills = "CHN(2)" + std::string(53, 'x') + "FUN=4";  // 64 bytes, no NUL
  ASSERT_EQ(fills.size(), 64u);
  const NameCase cases[] = {
      {"FUN=2 CHN(2)", 21.0f},
      {"xFFUN=3 CHN(2)", 31.0f},                      // an F just before the key
      {"FUN 2 CHN(2)", 1.0f},                         // no "=": no formula
      {"FUNFUN=5 CHN(2)", 51.0f},                     // the key after a partial one
      {std::string("Load\0FUN=2 CHN(2)", 18), 1.0f},  // after the end of the text
      {fills, 41.0f},
  };
  for (const NameCase& c : cases) {
    KZ_TSdata f;
    Make(f, {"", "Target"}, {{1}, {10}});
    std::memset(f.m_pChannel[0].szName, 0, sizeof f.m_pChannel[0].szName);
    std::memcpy(f.m_pChannel[0].szName, c.name.data(), c.name.size());
    EXPECT_EQ(f.Value(0, 0, true), c.value) << c.name;
  }

  int index = -1;
  KZ_TSdata t;
  Make(t, {"x", "y"}, {{1, 2, 3}, {4, 5, 6}});
  EXPECT_EQ(t.ValueAtTime(1500, 0, &index), 3.0f);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(t.ValueAtTime(5000, 0, &index), 0.0f);
  EXPECT_EQ(index, 3);
  double values[2];
  EXPECT_EQ(t.ValuesAtTime(5000, values, &index), 2);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(values[1], 6);
  float max, min;
  EXPECT_EQ(t.GetRange(1, &max, &min), 2.0f);
  EXPECT_EQ(min, 4.0f);
}

TEST(TSdata, ThinningAndSmoothing) {
  KZ_TSdata one;
  Make(one, {"x"}, {{5}});
  one.ThinSamples(1000, 0);
  EXPECT_EQ(one.m_nSamples, 1);

  KZ_TSdata ts;
  std::vector<int> load(100), ae(100, 1);
  for (int i = 0; i < 100; ++i) load[i] = i < 55 ? 0 : 1000;
  Make(ts, {"Load", "AE#1"}, {load, ae}, 10);  // every 10 ms
  ts.m_nViewFirst = 20;
  ts.m_nViewLast = 80;
  ts.ThinSamples(0, 0);
  EXPECT_EQ(ts.m_nSamples, 100);
  ts.ThinSamples(100, 500);  // every 100 ms, and the step of the load at 550 ms
  ASSERT_EQ(ts.m_nSamples, 11);
  EXPECT_EQ(ts.m_pTime[5], 500);
  EXPECT_EQ(ts.m_pTime[6], 550);
  EXPECT_EQ(ts.m_pTime[7], 650);
  EXPECT_EQ(ts.m_nViewFirst, 2);  // 200 ms
  EXPECT_EQ(ts.m_nViewLast, 9);   // the first kept sample from 800 ms on: 850 ms

  KZ_TSdata sm;
  Make(sm, {"AE#2", "Load"}, {{0, 0, 10, 0, 0, 5}, {0, 0, 10, 0, 0, 5}});
  sm.SmoothAEChannels(2);
  EXPECT_EQ(std::vector<int>(sm.m_ppData[0], sm.m_ppData[0] + 6),
            (std::vector<int>{0, 0, 2, 3, 0, 5}));
  EXPECT_EQ(sm.m_ppData[1][2], 10);  // not an AE channel
  sm.SmoothChannel(3, 1);            // six samples are not more than 2 x 3: unchanged
  EXPECT_EQ(sm.m_ppData[1][2], 10);

  KZ_TSdata big;  // sums that a 32-bit total could not hold
  Make(big, {"x"}, {{INT_MAX, INT_MAX, INT_MAX, INT_MIN + 1, INT_MIN + 1}});
  big.SmoothChannel(1, 0);
  EXPECT_EQ(big.m_ppData[0][1], INT_MAX);
  EXPECT_EQ(big.m_ppData[0][2], 715827882);   // (2 max + min + 1) / 3
  EXPECT_EQ(big.m_ppData[0][3], -715827882);  // (max + 2 (min + 1)) / 3, truncated toward zero
}

TEST(TSdata, DefaultColours) {
  KZ_TSdata ts;
  Make(ts, {"Load", "A.Stress", "AE#2"}, {{0}, {0}, {0}});
  ts.SetDefaultColours();
  EXPECT_EQ(ts.m_pChannel[0].crColour, RGB(0, 0, 0));
  EXPECT_EQ(ts.m_pChannel[1].crColour, RGB(255, 0, 0));
  EXPECT_EQ(ts.m_pChannel[2].crColour, RGB(255, 125, 0));
  KZ_TSdata many;
  Make(many, {"a", "b", "C.P.", "d", "Pore MPa"}, {{0}, {0}, {0}, {0}, {0}});
  many.SetDefaultColours();
  KZ_Pal1C pal;
  pal.SetRange(0, 5, 0, 360, 3);
  EXPECT_EQ(many.m_pChannel[3].crColour, pal.ValueToColor(3, 1.0));
  EXPECT_EQ(many.m_pChannel[2].crColour, RGB(125, 0, 0));
  EXPECT_EQ(many.m_pChannel[4].crColour, RGB(0, 0, 255));
}

TEST(TSdata, DrawnAsCurves) {
  KZ_TSdata ts;
  std::vector<int> v(101);
  for (int i = 0; i <= 100; ++i) v[i] = i;
  Make(ts, {"Load"}, {v}, 100);  // 0..10 s
  ts.m_pChannel[0].fPlotMin = 0;
  ts.m_pChannel[0].fPlotMax = 50;  // values above are held at the top
  plat::RecordingDc dc;
  dc.SetMapMode(MM_HIMETRIC);
  ts.DrawChannel(&dc, 1000, 2000, 10000, 5000, 10.0, 0, 0.0, 0, false, 30, RGB(1, 2, 3));
  auto lines = dc.OpsOf(plat::DcOpKind::Polyline);
  ASSERT_EQ(lines.size(), 1u);
  const auto& p = lines[0]->points;
  EXPECT_EQ(p.front().x, 1000);
  EXPECT_EQ(p.front().y, 2000);
  // Every sample 100 units to the right and 100 up, until the top of the range.
  EXPECT_EQ(p[1].x, 1100);
  EXPECT_EQ(p[1].y, 2100);
  EXPECT_EQ(p.back().x, 11000);
  EXPECT_EQ(p.back().y, 7000);
  EXPECT_EQ(p.size(), 101u);
  EXPECT_EQ(lines[0]->state.pen.Width(), 30);
  EXPECT_EQ(lines[0]->state.pen.Color(), RGB(1, 2, 3));
  EXPECT_EQ(dc.GetCurrentPen(), plat::CPen::Stock(BLACK_PEN));

  // A dense flat series: only points 50 units or more from the last drawn one.
  KZ_TSdata dense;
  Make(dense, {"flat"}, {std::vector<int>(1001, 0)}, 10);
  dense.m_pChannel[0].fPlotMax = 1;
  plat::RecordingDc dd;
  dense.DrawChannel(&dd, 0, 0, 10000, 5000, 10.0, 0, 0.0, 0, false, 10, 0);
  ASSERT_EQ(dd.OpsOf(plat::DcOpKind::Polyline).size(), 1u);
  EXPECT_EQ(dd.OpsOf(plat::DcOpKind::Polyline)[0]->points.size(), 201u);

  plat::RecordingDc pts;
  RECT r{0, 5000, 10000, 0};
  ts.DrawChannelPoints(&pts, r, 1.0, 0, 0.0, 0, 10, RGB(0, 0, 255));
  EXPECT_EQ(pts.OpsOf(plat::DcOpKind::Ellipse).size(), 11u);
  ASSERT_EQ(pts.OpsOf(plat::DcOpKind::Polyline).size(), 1u);

  plat::RecordingDc sum;
  ts.DrawChannelSum(&sum, r, 10.0, 0, 0.5, 0, 0.5, 0.0, 10, true, 10, RGB(0, 0, 0));
  auto sl = sum.OpsOf(plat::DcOpKind::Polyline);
  ASSERT_EQ(sl.size(), 1u);
  EXPECT_EQ(sl[0]->points.front().y, 0);  // relative to the first drawn sample
}

// A crowded series (200,000 noisy samples over 453 pixel columns at 96 dpi) and the sum
// of two: each reaches the device as at most four points per pixel column, and per
// column the points span the same pixels as the line through every sample does, with
// the same device ends.
TEST(TSdata, CrowdedCurveIsDrawnByColumnExtremes) {
  const int n = 200000;
  std::vector<int> a(n), b(n);
  std::uint32_t r = 12345;
  for (int i = 0; i < n; ++i) {
    r = r * 1664525u + 1013904223u;
    a[i] = static_cast<int>(r >> 22) - 512 + i / 400;  // noise over the height, a slow rise
    b[i] = static_cast<int>((r >> 12) & 255) - i / 1000;
  }
  KZ_TSdata ts;
  Make(ts, {"Noisy", "Other"}, {a, b}, 1.0);  // 200 s
  for (int c = 0; c < 2; ++c) {
    ts.m_pChannel[c].fPlotMin = -600;
    ts.m_pChannel[c].fPlotMax = 1200;
  }
  const int x0 = 2000, y0 = -5000, w = 12000, h = 3000;
  const double T = 190.0, t0 = 5.0;
  for (const bool sum : {false, true}) {
    SCOPED_TRACE(sum ? "sum" : "channel");
    plat::RecordingDc dc;
    dc.SetMapMode(MM_HIMETRIC);
    if (sum)
      ts.DrawChannelSum(&dc, RECT{x0, y0 + h, x0 + w, y0}, T, 0, 0.5, 1, 2.0, t0, 0, false, 25, 0);
    else
      ts.DrawChannel(&dc, x0, y0, w, h, T, 0, t0, 0, false, 25, 0);
    const auto lines = dc.OpsOf(plat::DcOpKind::Polyline);
    ASSERT_EQ(lines.size(), 1u);
    const plat::DcState& st = lines[0]->state;
    // The line through every sample of the window, as the plain drawing takes it.
    std::vector<POINT> every;
    const double lo = -600, hi = 1200;
    for (int i = 0; i < n; ++i) {
      const double t = ts.m_pTime[i] * 0.001 - t0;
      if (t > T) break;
      const double v = sum ? static_cast<float>(0.5 * a[i] + 2.0 * b[i]) : a[i];
      every.push_back(st.LPtoDP(
          POINT{static_cast<LONG>(std::trunc(t * w / T + x0)),
                static_cast<LONG>(std::trunc((std::clamp(v, lo, hi) - lo) * h / (hi - lo) + y0))}));
    }
    std::vector<POINT> drawn;
    for (const POINT& p : lines[0]->points) drawn.push_back(st.LPtoDP(p));
    struct Span {
      int count = 0;
      LONG lo = INT_MAX, hi = INT_MIN;
    };
    auto spans = [](const std::vector<POINT>& pts) {
      std::map<LONG, Span> m;
      for (const POINT& p : pts) {
        Span& s = m[p.x];
        ++s.count;
        s.lo = std::min(s.lo, p.y);
        s.hi = std::max(s.hi, p.y);
      }
      return m;
    };
    const auto want = spans(every), got = spans(drawn);
    ASSERT_GT(want.size(), 400u);
    EXPECT_EQ(got.size(), want.size());
    int crowded = 0, wrong = 0;
    for (const auto& [x, s] : want) {
      const auto it = got.find(x);
      if (it == got.end() || std::abs(it->second.lo - s.lo) > 1 || std::abs(it->second.hi - s.hi) > 1)
        ++wrong;
      crowded += it != got.end() && it->second.count <= 4;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(crowded, static_cast<int>(want.size()));
    EXPECT_EQ(drawn.front().x, every.front().x);
    EXPECT_EQ(drawn.front().y, every.front().y);
    EXPECT_EQ(drawn.back().x, every.back().x);
    EXPECT_EQ(drawn.back().y, every.back().y);
  }
}

TEST(TSdata, OutOfRangeValuesAreSaturatedAndReported) {
  plat::testing::ScriptedUi ui;
  const std::string path =
      WriteTmpFile("huge.kv0",
                   "KVDATA01\nSTART_TIME: 2009/05/01 12:00:30\nSAMPLES 3\nTime p\n0 1e6\n1 -1e6\n"
                   "2 nan\n");
  KZ_TSdata ts;
  ASSERT_TRUE(ts.Load(path, nullptr, nullptr));
  ASSERT_EQ(ts.m_nSamples, 3);
  EXPECT_EQ(ts.m_ppData[0][0], INT32_MAX);
  EXPECT_EQ(ts.m_ppData[0][1], INT32_MIN);
  EXPECT_EQ(ts.m_ppData[0][2], 0);
  ASSERT_EQ(ui.MessageTexts().size(), 1u);
  EXPECT_NE(ui.MessageTexts()[0].find("3 values"), std::string::npos);
}

// Files that are refused leave the loaded series as it was and say why.
TEST(TSdata, BadInputLeavesTheSeriesIntact) {
  auto dlvHead = [](const char* magic, std::int16_t n) {
    std::string b(magic, 4);
    b += std::string("\x5e\x9f\xfa\x49", 4);  // start time
    b += std::string(reinterpret_cast<const char*>(&n), 2);
    return b;
  };
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"bad.dlv", "XLV0 not a raw file"},
      {"bad.dlv", "DL"},
      {"bad.dlv", dlvHead("DLVO", 0) + std::string(36, 'a')},
      {"bad.dlv", dlvHead("DLVO", -3) + std::string(100, 'a')},
      {"bad.dlv", dlvHead("DLVO", 30000) + std::string(100, 'a')},
      {"bad.dlv", dlvHead("DLVN", 2) + std::string(50, 'a')},
      {"bad.kv0", "KVDAT01\nSTART_TIME: 2009/05/01 12:00:30\nTime x\n0 1\n"},
      {"bad.kv0", "KVDATA01\nSAMPLES 1\nTime x\n0 1\n"},
      {"bad.kv0", "KVDATA01\nSTART_TIME: 2009/05/01 12:00:30\nSAMPLES 1\nTime\n0 1\n"},
      {"bad.kv0", "KVDATA02\nSTART_TIME: 2009/05/01 12:00:30\nTime x\n1 one\n0 1\n"},
      {"bad.kv0", "KVDATA01\nSTART_TIME: 2009/05/01 12:00:30\n"},
      {"bad.kvb", "KVDATA02 text\n2009/05/01 12:00:30\nTime x\n\n"},
      {"bad.kvb", "KVDATA02B\n2009/05/01 12:00:30\nTime x y\nany\n12345678"},
      {"bad.kvb", "KVDATA02B\n2009/05/01 12:00:30\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    KZ_TSdata ts;
    LoadKnown(ts);
    plat::testing::ScriptedUi ui;
    const std::string path = WriteTmpFile(c.name, c.bytes);
    EXPECT_FALSE(ts.Load(path, nullptr, nullptr));
    ExpectKnown(ts);
    ASSERT_EQ(ui.MessageTexts().size(), 1u);
    EXPECT_NE(ui.MessageTexts()[0].find(path), std::string::npos);
  }
  KZ_TSdata ts;
  LoadKnown(ts);
  plat::testing::ScriptedUi ui;
  EXPECT_FALSE(
      ts.Load(TmpPath("missing.dlv"), nullptr, nullptr));  // cannot be opened: nothing to say
  ExpectKnown(ts);
  EXPECT_TRUE(ui.MessageTexts().empty());
}

// Readable files with numbers at the ends of their types: the reader neither hangs nor
// converts out of range (which gave INT_MIN seconds, or NaN times).
TEST(TSdata, ExtremeNumbersInReadableFiles) {
  struct Case {
    const char* what;
    const char* text;
    std::int64_t start;  // -1: at least the given date, 2009-05-01 12:00:00 UTC
  };
  const Case cases[] = {
      {"NaN seconds", "KVDATA01\nSTART_TIME: 2009/05/01 12:00:nan\nTime x\n0 2\n1 3\n", 1241179200},
      {"seconds beyond int", "KVDATA01\nSTART_TIME: 2009/05/01 12:00:1e30\nTime x\n0 2\n1 3\n", -1},
      {"year INT_MIN", "KVDATA01\nSTART_TIME: -2147483648/05/01 12:00:30\nTime x\n0 2\n1 3\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KZ_TSdata ts;
    ASSERT_TRUE(ts.Load(WriteTmpFile("extreme.kv0", c.text), nullptr, nullptr));
    ASSERT_EQ(ts.m_nSamples, 2);
    EXPECT_EQ(ts.m_pTime[0], 0.0);
    if (c.start < 0)
      EXPECT_GE(ts.m_tStart, 1241179200);
    else
      EXPECT_EQ(ts.m_tStart, c.start);
  }
  // Samples of 2e38 (factor 1e38 / 10000): the rounded plot range used to step down from
  // 10^39, beyond the float range, for ever.
  KZ_TSdata ts;
  ASSERT_TRUE(
      ts.Load(WriteTmpFile("huge.kv0",
                           "KVDATA02\nSTART_TIME: 2009/05/01 12:00:30\nTime x\n1 1e38\n0 2\n1 3\n"),
              nullptr, nullptr));
  EXPECT_NEAR(ts.m_pChannel[0].fPlotMin / 2e38f, 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(KZ_NiceFloorF(2.5e38f), 2e38f);
  EXPECT_FLOAT_EQ(KZ_NiceFloorF(-2.5e38f), -3e38f);
}

// Every sample drawn where its reading puts it, whichever way the channel is read: scaled
// with an offset, relative to its base, raw (no scale), through a formula on another
// channel, and as a weighted sum of two channels.
TEST(TSdata, CurvesFollowTheChannelReadings) {
  KZ_TSdata ts;
  std::vector<int> a(60), b(60);
  for (int i = 0; i < 60; ++i) {
    a[i] = (i * 37) % 23 - 11;
    b[i] = 1000 - 7 * i;
  }
  Make(ts, {"Plain", "Load FUN=0.37 CHN(1)", "Raw"}, {a, b, a}, 1000);
  ts.m_pChannel[0].dScale = 0.25;
  ts.m_pChannel[0].fOffset = 3.5f;
  ts.m_pChannel[0].fBase = 1.25f;
  ts.m_pChannel[1].dScale = 0.01;
  ts.m_pChannel[2].dScale = 0.0;  // raw counts
  for (int c = 0; c < 3; ++c) {
    ts.m_pChannel[c].fPlotMin = -20;
    ts.m_pChannel[c].fPlotMax = 20;
  }
  // 6000 units a second: every sample lies 100 units right of the last and is drawn.
  const int x0 = 500, y0 = -3000, w = 6000 * 59, h = 4000;
  const double ys = h / 40.0;
  auto yOf = [&](double v) {
    return static_cast<int>(std::trunc((std::clamp(v, -20.0, 20.0) + 20) * ys + y0));
  };
  auto points = [&](auto draw) {
    plat::RecordingDc dc;
    draw(&dc);
    auto lines = dc.OpsOf(plat::DcOpKind::Polyline);
    return lines.size() == 1 ? lines[0]->points : std::vector<POINT>{};
  };
  for (const auto& [c, relative] : {std::pair{0, false}, std::pair{0, true}, std::pair{1, false},
                                    std::pair{1, true}, std::pair{2, false}}) {
    SCOPED_TRACE(testing::Message() << "channel " << c << " relative " << relative);
    const auto p = points([&](plat::CDC* dc) {
      ts.DrawChannel(dc, x0, y0, w, h, 59.0, c, 0.0, 3, relative, 10, 0);
    });
    ASSERT_EQ(p.size(), 57u);
    const float r = relative ? ts.Value(c, 3, true) : 0.0f;
    for (int i = 3; i < 60; ++i) {
      EXPECT_EQ(p[i - 3].x, x0 + 6000 * i);
      EXPECT_EQ(p[i - 3].y, yOf(ts.Value(c, i, relative) - r)) << i;
    }
  }
  const RECT rect{x0, y0 + h, x0 + w, y0};
  const auto sum = points([&](plat::CDC* dc) {
    ts.DrawChannelSum(dc, rect, 59.0, 0, 0.5, 1, 2.0, 0.0, 0, false, 10, 0);
  });
  ASSERT_EQ(sum.size(), 60u);
  for (int i = 0; i < 60; ++i)
    EXPECT_EQ(sum[i].y, yOf(static_cast<float>(0.5 * ts.Value(0, i, false) +
                                               2.0 * ts.Value(1, i, false))))
        << i;
}
