#include "aecore/waveform/KZ_WaveData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

std::unique_ptr<KZ_WaveTrace> MakeTrace(std::vector<float> v, char component = 0,
                                        double dt = 0.001) {
  auto t = std::make_unique<KZ_WaveTrace>(static_cast<int>(v.size()));
  std::copy(v.begin(), v.end(), t->m_pData.begin());
  t->m_cComponent = component;
  t->m_fInterval = dt;
  return t;
}

TEST(KZWaveTrace, CapacityRoundsToBlocksOf256) {
  struct Case {
    int n, capacity, count;
  } cases[] = {{0, 0, 0},       {-3, 0, 0},      {1, 256, 1},    {256, 256, 256},
               {257, 512, 257}, {512, 512, 512}, {513, 768, 513}};
  for (const Case& c : cases) {
    KZ_WaveTrace t(c.n);
    EXPECT_EQ(t.m_nCapacity, c.capacity) << c.n;
    EXPECT_EQ(t.m_n, c.count) << c.n;
    EXPECT_EQ(t.m_pData.size(), static_cast<std::size_t>(c.capacity));
  }
}

TEST(KZWaveTrace, AppendKeepsSamplesAndWidensRange) {
  auto a = MakeTrace({1, 2, 3});
  auto b = MakeTrace({4, 5});
  a->m_fMin = -2;
  a->m_fMax = 3;
  b->m_fMin = -7;
  b->m_fMax = 1;
  a->AttachSacHeader(std::make_unique<KZ_SacHeader>());
  ASSERT_TRUE(a->AppendSamples(*b));
  EXPECT_EQ(a->m_n, 5);
  EXPECT_EQ(std::vector<float>(a->m_pData.begin(), a->m_pData.begin() + 5),
            (std::vector<float>{1, 2, 3, 4, 5}));
  EXPECT_EQ(a->m_fMin, -7);
  EXPECT_EQ(a->m_fMax, 3);
  EXPECT_EQ(a->GetHeader()->n[KZ_SacHeader::NPTS], 5);
}

TEST(KZWaveTrace, StatisticsSkipTheEndSamplesButDivideByAll) {
  // 0..9 with descaling 2: samples 2..7 count, their sum 27 is divided by 10.
  std::vector<float> v(10);
  std::iota(v.begin(), v.end(), 0.0f);
  auto t = MakeTrace(v);
  t->m_fDescale = 2.0;
  t->ComputeStats(false);
  EXPECT_DOUBLE_EQ(t->m_fMin, 4.0);
  EXPECT_DOUBLE_EQ(t->m_fMax, 14.0);
  EXPECT_DOUBLE_EQ(t->m_fMean, 5.4);
  t->ComputeStats(true);  // the descaled mean comes off the raw samples
  EXPECT_FLOAT_EQ(t->m_pData[0], -5.4f);
  EXPECT_DOUBLE_EQ(t->m_fMean, 0.0);

  auto shortTrace = MakeTrace({5, 6, 7, 8});
  shortTrace->ComputeStats(false);
  EXPECT_EQ(shortTrace->m_fMin, -1e10);
  EXPECT_EQ(shortTrace->m_fMax, 1e10);
  EXPECT_EQ(shortTrace->m_fMean, 0.0);

  auto flat = MakeTrace(std::vector<float>(20, 123.0f));
  flat->ComputeStats(false);
  EXPECT_EQ(flat->m_fMin, -1e-20);
  EXPECT_EQ(flat->m_fMax, 1e-20);
}

TEST(KZWaveTrace, WindowValueFindsTheFirstMotionPeak) {
  // Noise 1 before the pick at 4, a rise to -9 at 7, then ten samples of the other sign
  // end the search before the later 20.
  std::vector<float> v = {1, -1, 1, -1, 1, -3, -6, -9, -4, 2, 3, 3, 3, 3, 3, 3, 3, 3, 20};
  auto t = MakeTrace(v, 0, 0.5);
  t->AttachSacHeader(std::make_unique<KZ_SacHeader>());
  float delay = 0;
  EXPECT_EQ(t->WindowValue(0, 4, &delay), -9.0f);
  EXPECT_FLOAT_EQ(delay, 1.5f);
  EXPECT_EQ(t->m_fPickAmp, -9.0);
  EXPECT_EQ(t->GetHeader()->f[KZ_SacHeader::USER1], -9.0f);
  EXPECT_EQ(t->GetHeader()->Text(KZ_SacHeader::KUSER1), "Ap");
  // A pick at the last sample has nothing after it.
  EXPECT_EQ(t->WindowValue(0, static_cast<int>(v.size()) - 1, &delay), 0.0f);
}

KZ_WaveData& Fill(KZ_WaveData& w, int channels, int samples) {
  for (int c = 0; c < channels; ++c) w.AddTrace(MakeTrace(std::vector<float>(samples, c + 1.0f)));
  return w;
}

TEST(KZWaveData, RemoveAppendAndClear) {
  KZ_WaveData w;
  Fill(w, 3, 4);
  EXPECT_EQ(w.RemoveTrace(3), 0);
  EXPECT_EQ(w.RemoveTrace(-1), 0);
  EXPECT_EQ(w.Count(), 3);
  EXPECT_EQ(w.m_nModified, 0);
  EXPECT_EQ(w.RemoveTrace(2), 2);
  EXPECT_EQ(w.m_header.nChannels, 2);
  EXPECT_EQ(w.m_nModified, 1);

  KZ_WaveData three, four;
  Fill(three, 3, 5);
  Fill(four, 4, 5);
  EXPECT_EQ(three.Append(four), 0);
  EXPECT_EQ(three.GetNumSamples(), 5);
  EXPECT_EQ(four.GetNumSamples(), 5);
  KZ_WaveData other;
  Fill(other, 3, 2);
  EXPECT_EQ(three.Append(other), 1);
  EXPECT_EQ(three.GetTrace(2)->m_n, 7);
  EXPECT_EQ(three.GetTrace(2)->m_pData[6], 3.0f);
  KZ_WaveData e1, e2;
  EXPECT_EQ(e1.Append(e2), 1);

  three.m_strPath = "x.sg2";
  three.m_stations.push_back(std::make_unique<CStationObj>("STA", "HHZ"));
  three.Clear(true);
  EXPECT_EQ(three.Count(), 0);
  EXPECT_EQ(three.m_stations.size(), 1u);
  EXPECT_STREQ(three.m_header.szTimeUnits, "Time(sec)");
  EXPECT_EQ(three.m_strPath, "x.sg2");
  three.Clear(false);
  EXPECT_TRUE(three.m_stations.empty());
}

TEST(KZWaveData, EmptyContainerAnswersZero) {
  KZ_WaveData w;
  EXPECT_EQ(w.GetNumSamples(), 0);
  EXPECT_EQ(w.GetNumSamples(3), 0);
  EXPECT_EQ(w.GetSampleInterval(), 0.0f);
  EXPECT_EQ(w.GetDelaySamples(0), 0);
  EXPECT_EQ(w.RotateToRT(), 0);
  EXPECT_EQ(w.RotateToEN(), 0);
  EXPECT_EQ(w.GetTrace(0), nullptr);
  EXPECT_STREQ(w.GetDescription(), "Waveform File");
}

TEST(KZWaveData, EventNumberFromTheSixDigitsOfTheName) {
  struct Case {
    const char* path;
    int stored, expected;
  } cases[] = {{"/d/012345.sg2", -1, 12345},
               {"/d/000123.sg2", -1, 123},
               {"/d.v2/000042.seg", -1, 42},
               {"/d/000123.sg2", 7, 7}};
  for (const Case& c : cases) {
    KZ_WaveData w;
    w.m_strPath = c.path;
    w.m_nEvent = c.stored;
    EXPECT_EQ(w.GetEventNumber(), c.expected) << c.path;
  }
}

TEST(KZWaveData, BackupAndRestore) {
  KZ_WaveData w;
  Fill(w, 2, 6);
  ASSERT_TRUE(w.BackupSamples());
  w.GetTrace(1)->m_pData[3] = 99;
  ASSERT_TRUE(w.RestoreSamples());
  EXPECT_EQ(w.GetTrace(1)->m_pData[3], 2.0f);
}

TEST(KZWaveData, DelaySamplesTruncate) {
  KZ_WaveData w;
  Fill(w, 1, 6);
  w.GetTrace(0)->m_fDelay = 0.0057;
  EXPECT_EQ(w.GetDelaySamples(0), 5);
  w.GetTrace(0)->m_fDelay = -0.0057;
  EXPECT_EQ(w.GetDelaySamples(0), -5);
}

TEST(KZWaveData, RotationsTurnHorizontalsByTheStationAzimuth) {
  KZ_WaveData w;
  CStationObj station("STA", "HHZ");
  station.m_fAzimuth = 30.0f;
  w.AddTrace(MakeTrace({1, 0, 5}, 'N'));  // a lone N: removed
  w.AddTrace(MakeTrace({1, 0, 2}, 'E'));
  w.AddTrace(MakeTrace({0, 1, 3}, 'N'));
  w.AddTrace(MakeTrace({0, 0, 0}, 'Z'));
  w.GetTrace(3)->m_pStation = &station;
  ASSERT_EQ(w.RotateToRT(), 1);
  ASSERT_EQ(w.Count(), 3);
  const double s = 0.5, c = std::sqrt(3.0) / 2;
  EXPECT_EQ(w.GetTrace(0)->m_cComponent, 'R');
  EXPECT_EQ(w.GetTrace(1)->m_cComponent, 'T');
  // R = E sin a + N cos a, T = E cos a - N sin a.
  EXPECT_NEAR(w.GetTrace(0)->m_pData[0], s, 1e-6);
  EXPECT_NEAR(w.GetTrace(1)->m_pData[0], c, 1e-6);
  EXPECT_NEAR(w.GetTrace(0)->m_pData[1], c, 1e-6);
  EXPECT_NEAR(w.GetTrace(1)->m_pData[1], -s, 1e-6);
  EXPECT_EQ(w.RotateToRT(), 0);  // already rotated
  ASSERT_EQ(w.RotateToEN(), 1);
  EXPECT_NEAR(w.GetTrace(0)->m_pData[2], 2.0f, 1e-5);
  EXPECT_NEAR(w.GetTrace(1)->m_pData[2], 3.0f, 1e-5);
  EXPECT_EQ(w.GetTrace(0)->m_cComponent, 'E');

  // Without the vertical's station there is no azimuth: the triple stays as it was.
  KZ_WaveData bare;
  bare.AddTrace(MakeTrace({1}, 'E'));
  bare.AddTrace(MakeTrace({2}, 'N'));
  bare.AddTrace(MakeTrace({3}, 'Z'));
  EXPECT_EQ(bare.RotateToRT(), 0);
  EXPECT_EQ(bare.GetTrace(0)->m_pData[0], 1.0f);
}

TEST(KZWaveData, FilterIsACausalBandPass) {
  const int n = 4000;
  const double dt = 0.001;
  KZ_WaveData w;
  std::vector<float> inBand(n), low(n), impulse(n, 0.0f);
  for (int i = 0; i < n; ++i) {
    inBand[i] = static_cast<float>(std::sin(2 * M_PI * 100 * i * dt));
    low[i] = static_cast<float>(std::sin(2 * M_PI * 2 * i * dt));
  }
  impulse[1000] = 1.0f;
  w.AddTrace(MakeTrace(inBand, 0, dt));
  w.AddTrace(MakeTrace(low, 0, dt));
  w.AddTrace(MakeTrace(impulse, 0, dt));
  w.Filter(50.0f, 200.0f);
  auto peak = [&](int c) {
    float m = 0;
    for (int i = n / 2; i < n; ++i) m = std::max(m, std::fabs(w.GetTrace(c)->m_pData[i]));
    return m;
  };
  EXPECT_NEAR(peak(0), 1.0f, 0.05f);
  EXPECT_LT(peak(1), 0.01f);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(w.GetTrace(2)->m_pData[i], 0.0f) << i;
  EXPECT_NE(w.GetTrace(2)->m_pData[1001], 0.0f);
}

// Six channels of 4000 samples at 1 ms: a quiet or noisy start (first 500 samples), a
// background of +-400 from there on or silence, and a burst of 5000 in [1000, 1048), which
// ends before the smoothing of the background after the onset window reaches it.
TEST(KZWaveData, OnsetClassTable) {
  struct Case {
    int bursts, noisyStarts, silent, expected;
  } cases[] = {{6, 0, 0, 1}, {2, 0, 0, 0}, {6, 3, 0, 3}, {2, 3, 0, 2}, {6, 0, 3, 3}, {2, 0, 3, 2}};
  for (const Case& c : cases) {
    KZ_WaveData w;
    for (int ch = 0; ch < 6; ++ch) {
      std::vector<float> x(4000, 0.0f);
      const bool silent = ch < c.silent;
      for (int i = 0; i < 4000; ++i) {
        const float noise = static_cast<float>(400 * std::sin(2 * M_PI * i / 40.0));
        if (i < 500 ? ch < c.noisyStarts : !silent) x[i] = noise;
      }
      if (ch < c.bursts)
        for (int i = 1000; i < 1048; ++i) x[i] = (i % 2 ? 5000.0f : -5000.0f);
      w.AddTrace(MakeTrace(x));
    }
    EXPECT_EQ(w.OnsetClass(1000, 0.05f, 3.0f), c.expected)
        << c.bursts << " " << c.noisyStarts << " " << c.silent;
  }
}

}  // namespace
