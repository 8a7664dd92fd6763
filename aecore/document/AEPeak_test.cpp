#include "aecore/document/AEPeak.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/File.h"

namespace {

std::string TmpPath(const std::string& name) { return std::string(TV_TEST_TMPDIR) + "/" + name; }

// A list with the given times (seconds), levels and flags.
CAEPeak MakeList(const std::vector<double>& times, const std::vector<int>& levels = {},
                 const std::vector<int>& flags = {}) {
  CAEPeak p;
  p.Alloc(static_cast<int>(times.size()));
  for (std::size_t i = 0; i < times.size(); ++i) {
    p.m_pSec[i] = static_cast<int>(std::floor(times[i]));
    p.m_pUSec[i] = static_cast<int>(std::lround((times[i] - std::floor(times[i])) * 1e6));
    p.m_pLevel[i] = static_cast<std::uint8_t>(levels.empty() ? 0 : levels[i]);
    p.m_pFlag[i] = static_cast<std::uint8_t>(flags.empty() ? 1 : flags[i]);
  }
  p.m_nCount = static_cast<int>(times.size());
  return p;
}

std::vector<double> Times(const CAEPeak& p) {
  std::vector<double> t;
  for (int i = 0; i < p.m_nCount; ++i) t.push_back(p.GetTime(i));
  return t;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

TEST(AEPeak, UnorderedScansAndRepairs) {
  CAEPeak p = MakeList({5, 6, 2, 3});
  EXPECT_EQ(p.FindUnordered(0), 2);
  EXPECT_EQ(p.FindUnordered(3), 0);
  EXPECT_EQ(MakeList({1, 2, 3}).FindUnordered(0), 0);

  CAEPeak head = p;
  EXPECT_EQ(head.RemoveLeadingUnordered(), 2);
  EXPECT_EQ(Times(head), (std::vector<double>{2, 3}));
  CAEPeak tail = p;
  EXPECT_EQ(tail.TruncateUnordered(), 2);
  EXPECT_EQ(Times(tail), (std::vector<double>{5, 6}));

  CAEPeak ordered = MakeList({1, 2, 3});
  EXPECT_EQ(ordered.RemoveLeadingUnordered(), 0);
  EXPECT_EQ(ordered.TruncateUnordered(), 0);
  EXPECT_EQ(ordered.m_nCount, 3);
}

TEST(AEPeak, RemoveRangeAndShift) {
  std::vector<double> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  CAEPeak a = MakeList(ten);
  EXPECT_EQ(a.RemoveRange(3, 3), 1);
  EXPECT_EQ(Times(a), (std::vector<double>{0, 1, 2, 4, 5, 6, 7, 8, 9}));
  CAEPeak b = MakeList(ten);
  b.RemoveRange(3, 20);
  EXPECT_EQ(b.m_nCount, 3);

  CAEPeak c = MakeList(ten);
  EXPECT_EQ(c.ShiftTime(4, 10, 0, 1), 4);
  EXPECT_EQ(Times(c), (std::vector<double>{10, 11, 12, 13, 14, 5, 6, 7, 8, 9}));
  CAEPeak d = MakeList(ten);
  EXPECT_EQ(d.ShiftTime(7, 0, 500000, 0), 3);
  EXPECT_DOUBLE_EQ(d.GetTime(9), 9.5);
  EXPECT_EQ(d.ShiftTime(10, 1, 0, 0), 0);
}

TEST(AEPeak, WindowStatisticsCountsFlaggedPeaksInWindow) {
  // Peaks outside [1, 4] and the unflagged one are left out; the peak at 6 ends the scan.
  CAEPeak p = MakeList({0.5, 1, 2, 3, 4, 6, 3.5}, {9, 0, 4, 4, 20, 1, 1}, {1, 1, 1, 0, 1, 1, 1});
  int cum[12];
  double logN, bML, relErr, a, b, bErr, logRate, release;
  int first, n;
  EXPECT_EQ(p.WindowStatistics(1, 4, cum, &logN, &bML, &relErr, &a, &b, &bErr, &logRate, &release,
                               1.0, &first, &n),
            12);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(n, 3);  // levels 0, 4, 20
  // The level-20 peak counts in every slot, the last included.
  EXPECT_EQ(cum[0], 3);
  EXPECT_EQ(cum[1], 2);
  EXPECT_EQ(cum[4], 2);
  EXPECT_EQ(cum[5], 1);
  EXPECT_EQ(cum[11], 1);
  EXPECT_FLOAT_EQ(logN, std::log10(3.0));
  double S = (0 + 0.125) + (1 + 0.125) + (5 + 0.125);
  EXPECT_DOUBLE_EQ(bML, 3 / (std::log(10.0) * S));
  EXPECT_DOUBLE_EQ(relErr, 1 / std::sqrt(3.0));
  EXPECT_NEAR(release, (1 + 10 + 1e5) / 3.0, 1e-6);
  EXPECT_NEAR(logRate, std::log10(1.0), 1e-12);
  EXPECT_GT(b, 0.0);  // counts fall with level: a positive b

  // An empty window stays finite.
  p.WindowStatistics(100, 200, cum, &logN, &bML, &relErr, &a, &b, &bErr, nullptr, nullptr, 0,
                     nullptr, &n);
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(std::isfinite(logN) && std::isfinite(bML) && std::isfinite(relErr) &&
              std::isfinite(a));
}

TEST(AEPeak, LineFitRecoversAGutenbergRichterSlope) {
  // cum[k] = 1e5 x 10^(-0.25 k): a line of slope -1 in magnitude and intercept 5.
  std::vector<double> times;
  std::vector<int> levels;
  auto cumAt = [](int L) { return static_cast<int>(std::lround(1e5 * std::pow(10.0, -0.25 * L))); };
  for (int L = 0; L < 12; ++L) {
    int count = L < 11 ? cumAt(L) - cumAt(L + 1) : cumAt(L);
    for (int c = 0; c < count; ++c) levels.push_back(L);
  }
  for (std::size_t i = 0; i < levels.size(); ++i) times.push_back(static_cast<double>(i));
  CAEPeak p = MakeList(times, levels);
  int cum[12];
  double logN, bML, relErr, a, b, bErr;
  p.WindowStatistics(0, 1e9, cum, &logN, &bML, &relErr, &a, &b, &bErr, nullptr, nullptr, 0, nullptr,
                     nullptr);
  EXPECT_NEAR(b, 1.0, 0.02);
  EXPECT_NEAR(a, 5.0, 0.02);
  EXPECT_LT(bErr, 0.02);
}

TEST(AEPeak, IntervalHistogramCountsPairsCumulatively) {
  // Three peaks 1 ms apart: pair distances 1, 1 and 2 ms.
  CAEPeak p = MakeList({10.000, 10.001, 10.002});
  double logR[26], logC[26];
  int nb = 0;
  EXPECT_EQ(p.IntervalHistogram(0, 100, logR, logC, &nb), 3);
  EXPECT_EQ(nb, 26);
  EXPECT_NEAR(logR[10], 0.0, 1e-12);  // 1 ms
  EXPECT_NEAR(logR[25], 3.0, 1e-12);  // 1000 ms
  // r_10 = 1 ms counts nothing (d < r strictly, d = 1 ms up to rounding); r_12 = 2.5 ms counts all
  // three.
  EXPECT_NEAR(logC[12], std::log10(3.0 / 6.0 + 1e-10), 1e-9);
  EXPECT_NEAR(logC[0], -10.0, 1e-9);
  // One peak: no pairs, every bin empty.
  MakeList({1}).IntervalHistogram(0, 10, logR, logC, &nb);
  EXPECT_NEAR(logC[25], -10.0, 1e-9);
}

TEST(AEPeak, MovingWindowRowsAndLookup) {
  std::vector<double> t;
  for (int i = 0; i < 1000; ++i) t.push_back(i);
  CAEPeak p = MakeList(t);
  p.MovingWindowStatistics(500, 125);
  ASSERT_EQ(p.m_nRows, 8);
  for (int r = 0; r < 8; ++r) EXPECT_DOUBLE_EQ(p.m_pRows[r].tStart, 125.0 * r);
  EXPECT_DOUBLE_EQ(p.m_pRows[0].tEnd, 500.0);
  EXPECT_DOUBLE_EQ(p.m_pRows[7].tEnd, 999.0);  // the last windows are shorter
  EXPECT_DOUBLE_EQ(p.m_pRows[0].tMiddle, 250.0);
  EXPECT_EQ(p.FindWindowRow(600.0), &p.m_pRows[1]);
  EXPECT_EQ(p.FindWindowRow(2000.0), nullptr);
  EXPECT_EQ(p.CountInWindow(10, 19.5), 10);
}

// Every row equals WindowStatistics over the row's own window, also where peaks share a
// time, are excluded, or where the list goes back in time.
TEST(AEPeak, MovingWindowRowsMatchTheirWindowsStatistics) {
  std::vector<double> t;
  std::vector<int> levels, flags;
  for (int i = 0; i < 400; ++i) {
    t.push_back(i < 250 ? (i / 3) * 0.5 : 20.0 + (i % 7) * 0.25 + (i - 250) * 0.1);
    levels.push_back((i * 7) % 15);
    flags.push_back(i % 5 == 2 ? 0 : 1);
  }
  t[120] = 3.0;  // a backward step in the middle
  for (const auto& [n, step] : {std::pair{40, 10}, {7, 3}, {500, 125}, {1, 1}}) {
    CAEPeak p = MakeList(t, levels, flags);
    p.MovingWindowStatistics(n, step);
    ASSERT_EQ(p.m_nRows, (400 + step - 1) / step);
    for (int r = 0; r < p.m_nRows; ++r) {
      const AEPeakWindowRow& row = p.m_pRows[r];
      const int i = r * step;
      ASSERT_EQ(row.tStart, p.GetTime(i));
      ASSERT_EQ(row.tEnd, p.GetTime(i + n));
      ASSERT_EQ(row.tMiddle, p.GetTime(n / 2 + i));
      int cum[CAEPeak::kLevelSlots];
      AEPeakWindowRow ref;
      p.WindowStatistics(row.tStart, row.tEnd, cum, &ref.logN, &ref.bML, &ref.relErr, &ref.aLSQ,
                         &ref.bLSQ, &ref.bLSQErr, nullptr, nullptr, 0.0, nullptr, nullptr);
      ASSERT_EQ(row.logN, ref.logN) << n << " " << r;
      ASSERT_EQ(row.bML, ref.bML) << n << " " << r;
      ASSERT_EQ(row.relErr, ref.relErr) << n << " " << r;
      ASSERT_EQ(row.aLSQ, ref.aLSQ) << n << " " << r;
      ASSERT_EQ(row.bLSQ, ref.bLSQ) << n << " " << r;
      ASSERT_EQ(row.bLSQErr, ref.bLSQErr) << n << " " << r;
    }
  }
}

TEST(AEPeak, BinaryFileRoundTripKeepsTheFlaggedPeaksOfTheWindow) {
  CAEPeak p = MakeList({1.25, 2.5, 3.000001, 7}, {3, 4, 255, 1}, {1, 0, 1, 1});
  std::string path = TmpPath("round.pkf");
  ASSERT_EQ(p.Save(path, 1.0, 3.5), 1);
  CAEPeak q;
  ASSERT_EQ(q.Load(path, 0), 1);
  ASSERT_EQ(q.m_nCount, 2);
  EXPECT_EQ(q.m_pSec[1], 3);
  EXPECT_EQ(q.m_pUSec[1], 1);
  EXPECT_EQ(q.m_pLevel[1], 255);
  EXPECT_EQ(q.m_pFlag[0], 1);
  EXPECT_EQ(q.m_nFileKind, 1);
  EXPECT_EQ(q.m_strSource, path);

  std::string empty = TmpPath("empty.pkf");
  ASSERT_EQ(p.Save(empty, 100, 200), 1);
  std::ifstream in(empty, std::ios::binary | std::ios::ate);
  EXPECT_EQ(in.tellg(), 8);
}

TEST(AEPeak, TruncatedPkf1LeavesTheListUnchanged) {
  std::string path = TmpPath("short.PK2");
  WriteBytes(path, {'P', 'K', 'F', '1', 5, 0, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0});
  CAEPeak p = MakeList({1, 2});
  EXPECT_EQ(p.Load(path, 0), 0);
  EXPECT_EQ(p.m_nCount, 2);
  EXPECT_TRUE(p.m_strSource.empty());
}

TEST(AEPeak, OlderLayoutFiltersLevelsAndDecodesTicks) {
  // Header of 8 bytes; records: flag, level, 48-bit ticks of 10 us.
  std::vector<unsigned char> b(8, 0);
  auto rec = [&](int flag, int level, long long ticks) {
    b.push_back(static_cast<unsigned char>(flag));
    b.push_back(static_cast<unsigned char>(level));
    for (int k = 0; k < 6; ++k) b.push_back(static_cast<unsigned char>(ticks >> (8 * k)));
  };
  rec(1, 0, 100);
  rec(1, 1, 200);
  rec(0, 2, 150000);  // 1.5 s, unflagged
  rec(1, 7, 1LL << 40);
  std::string path = TmpPath("x.PK2");
  WriteBytes(path, b);
  CAEPeak p;
  ASSERT_EQ(p.Load(path, 2), 1);
  ASSERT_EQ(p.m_nCount, 2);
  EXPECT_EQ(p.m_nFirstRecord, 2);
  EXPECT_EQ(p.m_pSec[0], 1);
  EXPECT_EQ(p.m_pUSec[0], 500000);
  EXPECT_EQ(p.m_pFlag[0], 0);
  EXPECT_NEAR(p.GetTime(1), (1LL << 40) * 1e-5, 1e-3);
  EXPECT_EQ(p.m_nFileKind, 2);
}

// Times beyond the 32-bit seconds (and NaN) are held at the ends of the range (0 for NaN);
// they used to become INT_MIN, placing the peaks 68 years before the experiment.
TEST(AEPeak, TimesBeyondTheSecondsRangeAreHeld) {
  std::vector<unsigned char> b(8, 0);
  b.insert(b.end(), {1, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});  // 2^48 - 1 ticks: 2.8e9 s
  const std::string old = TmpPath("huge.PK1");
  WriteBytes(old, b);
  CAEPeak p;
  ASSERT_EQ(p.Load(old, 0), 1);
  ASSERT_EQ(p.m_nCount, 1);
  EXPECT_EQ(p.m_pSec[0], INT32_MAX);

  const std::string text = TmpPath("huge.kv0");
  std::ofstream(text) << "KVDATA01\nSTART_TIME: 2026/12/10 10:00:00\nSAMPLES 3\nTime(sec) mag\n"
                         "1e30\t1\n-1e30\t1e30\nnan\tnan\n";
  CAEPeak q;
  ASSERT_EQ(q.Load(text, 0), 1);
  ASSERT_EQ(q.m_nCount, 3);
  EXPECT_EQ(q.m_pSec[0], INT32_MAX);
  EXPECT_EQ(q.m_pSec[1], INT32_MIN);
  EXPECT_EQ(q.m_pLevel[1], 255);
  EXPECT_EQ(q.m_pSec[2], 0);
  EXPECT_EQ(q.m_pUSec[2], 0);
  EXPECT_EQ(q.m_pLevel[2], 0);
}

TEST(AEPeak, TextFileRoundTripReadsQuarterLevels) {
  CAEPeak p = MakeList({1.5, 2.25, 3}, {3, 6, 9});
  p.m_strSource = "/data/run7.pk1";
  p.m_tStart = 86400;  // 1970-01-02 00:00:00 UTC
  std::string path = TmpPath("peaks.KV0");
  ASSERT_EQ(p.Save(path, 0, 2.5), 1);
  plat::File f;
  ASSERT_TRUE(f.Open(path, "rt"));
  std::string l1, l2, l3, l4, l5;
  f.ReadLine(l1);
  f.ReadLine(l2);
  f.ReadLine(l3);
  f.ReadLine(l4);
  f.ReadLine(l5);
  EXPECT_EQ(l1, "KVDATA01 PEAK data from run7.pk1");
  EXPECT_EQ(l2, "START_TIME: 1970/01/02 00:00:00");
  EXPECT_EQ(l3, "SAMPLES 2");
  EXPECT_EQ(l4, "Time(sec)    mag");
  EXPECT_EQ(l5, "000001.500000 0.75");
  f.Close();

  CAEPeak q;
  q.m_nFileKind = 7;
  ASSERT_EQ(q.Load(path, 0), 1);
  ASSERT_EQ(q.m_nCount, 2);
  EXPECT_EQ(q.m_pLevel[0], 3);
  EXPECT_EQ(q.m_pLevel[1], 6);
  EXPECT_DOUBLE_EQ(q.GetTime(1), 2.25);
  EXPECT_EQ(q.m_nFileKind, 7);

  std::string bad = TmpPath("bad.kv0");
  std::ofstream(bad) << "KVDATA02 x\n";
  EXPECT_EQ(q.Load(bad, 0), 0);
  EXPECT_EQ(q.m_nCount, 2);
  EXPECT_EQ(q.Load(TmpPath("missing.pkf"), 0), 0);
}

// The first line names the source file, whatever its length; lines end in LF or CRLF.
TEST(AEPeak, TextFileLinesOfAnyLength) {
  CAEPeak p = MakeList({1.5, 2.25}, {3, 6});
  p.m_strSource = "/data/" + std::string(300, 'x') + ".pk1";
  const std::string path = TmpPath("long.kv0");
  ASSERT_EQ(p.Save(path, 0, 10), 1);
  CAEPeak q;
  ASSERT_EQ(q.Load(path, 0), 1);
  ASSERT_EQ(q.m_nCount, 2);
  EXPECT_DOUBLE_EQ(q.GetTime(1), 2.25);
  EXPECT_EQ(q.m_pLevel[1], 6);

  const std::string crlf = TmpPath("crlf.kv0");
  std::ofstream(crlf, std::ios::binary)
      << "KVDATA01 PEAK data from " << std::string(100, 'y') << "\r\nSTART_TIME: x\r\n"
      << "SAMPLES 1\r\nTime(sec)    mag\r\n000004.000000 0.50\r\n";
  ASSERT_EQ(q.Load(crlf, 0), 1);
  ASSERT_EQ(q.m_nCount, 1);
  EXPECT_DOUBLE_EQ(q.GetTime(0), 4.0);
  EXPECT_EQ(q.m_pLevel[0], 2);
}

// A text file from which no peak can be read is refused; the loaded list stays as it was.
TEST(AEPeak, TextFileWithoutReadablePeaksIsRefused) {
  const std::string head = "KVDATA01 PEAK data from a.pk1\nSTART_TIME: 2026/12/10 10:00:00\n";
  const std::vector<std::string> bodies = {
      "SAMPLES 2\nTime(sec)    mag\nnot a peak\nnor this\n",  // rows unreadable
      "SAMPLES 2\nTime(sec)    mag\n",                          // rows missing
      "Time(sec)    mag\n000001.000000 0.25\n",                 // no SAMPLES line
      "SAMPLES -3\nTime(sec)    mag\n000001.000000 0.25\n",     // negative count
      "",                                                       // header only
  };
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    const std::string path = TmpPath("nopeak" + std::to_string(i) + ".kv0");
    std::ofstream(path) << head << bodies[i];
    CAEPeak p = MakeList({7, 8, 9}, {1, 2, 3});
    p.m_strSource = "kept.pk1";
    EXPECT_EQ(p.Load(path, 0), 0) << i;
    EXPECT_EQ(p.m_nCount, 3) << i;
    EXPECT_DOUBLE_EQ(p.GetTime(2), 9.0) << i;
    EXPECT_EQ(p.m_pLevel[2], 3) << i;
    EXPECT_EQ(p.m_strSource, "kept.pk1") << i;
  }
  // An honest empty list (what saving an empty window writes) still loads.
  const std::string empty = TmpPath("empty.kv0");
  std::ofstream(empty) << head << "SAMPLES 0\nTime(sec)    mag\n";
  CAEPeak p = MakeList({7});
  EXPECT_EQ(p.Load(empty, 0), 1);
  EXPECT_EQ(p.m_nCount, 0);
}

TEST(AEPeak, SaveToAnUncreatableFileFails) {
  CAEPeak p = MakeList({1});
  EXPECT_EQ(p.Save(TmpPath("no/such/folder/p.pkf"), 0, 10), 0);
  EXPECT_EQ(p.Save("/dev/full", 0, 10), 0);
}

}  // namespace
