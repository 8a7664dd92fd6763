#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"

namespace {

TEST(AEProcess, IntegrationFollowsTheIntegralOfASine) {
  // u = sin(w (t - t1)) from sample 1 on integrates to (1 - cos(w (t - t1))) / w. (The
  // filter starts at rest: the first two inputs must be zero for no drift to follow.)
  const int n = 2000;
  const float step = 1e-7f;  // 10 MHz
  const double omega = 2 * M_PI * 3e5;
  std::vector<float> x(n);
  for (int k = 0; k < n; ++k)
    x[k] = k < 1 ? 0.0f : static_cast<float>(std::sin(omega * (k - 1) * step));
  CAEWave::IntegrateSeries(x.data(), n, step);
  double peak = 2 / omega;
  for (int k = 100; k < n; k += 97)
    EXPECT_NEAR(x[k], (1 - std::cos(omega * (k - 1) * step)) / omega, 0.01 * peak) << k;
}

// A 16-channel record of 2048 samples at 20 samples/us: noise, the sharpest energy rise at
// sample 900 and a stronger but slowly swelling signal later on every channel.
struct Record {
  CAEWave wave;
  CAEHypo hypo;
  Record() {
    wave.Allocate(16, 2048, 20);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 5);
    for (int c = 0; c < 16; ++c) {
      std::int16_t* x = wave.m_pSamples.data() + c * 2048;
      for (int k = 0; k < 2048; ++k) {
        double v = noise(rng);
        // A sharp onset at 900, and a slowly swelling stronger signal from 1500 on.
        if (k >= 900)
          v += 2000 * std::exp(-(k - 900) / 100.0) * std::sin(2 * M_PI * 0.015 * (k - 900));
        if (k >= 1500)
          v += 12000 * std::min(1.0, (k - 1500) / 300.0) * std::sin(2 * M_PI * 0.02 * (k - 1500));
        x[k] = static_cast<std::int16_t>(std::lround(v));
      }
    }
    hypo.m_nSensors = 16;
    hypo.m_nShape = 4;
    for (int k = 0; k < 16; ++k) {
      hypo.m_pSensorXYZ[k] = {k % 2 ? 25.0 : -25.0, 3.0 * k - 20, (k % 4) * 10.0 - 15};
      hypo.m_pSensorSign[k] = 1.0f;
    }
    hypo.m_nVelEntries = 1;
    hypo.m_fVel[0][0] = hypo.m_fVel[0][1] = hypo.m_fVel[0][2] = 5.0f;
  }
};

TEST(AEProcess, PicksInTheWindowOfTheStrongestEnergyRise) {
  Record r;
  r.wave.PickAll(&r.hypo, 0, 0, 0);
  // The window 772 .. 1284 around the rise at 900 leaves the later signal out.
  for (int c = 0; c < 16; ++c) {
    float sample = r.wave.m_pPickTime[c] * 20;
    EXPECT_GE(sample, 772.0f) << c;
    EXPECT_LE(sample, 1284.0f) << c;
  }
  // The flag byte follows the final count.
  const AEHRecord& rec = r.hypo.m_Rec;
  EXPECT_EQ(rec.nFlags, rec.nArrivals > 3 ? 1 : 0);
  EXPECT_EQ(rec.nIndex, r.wave.m_nEvent);
}

TEST(AEProcess, AFailedWaveformCheckRejectsTheRecord) {
  Record r;
  std::fill(r.wave.m_pSamples.begin(), r.wave.m_pSamples.end(), 0);  // every channel dead
  EXPECT_EQ(r.wave.PickAll(&r.hypo, 0, 0, 1), 0);
  EXPECT_EQ(r.wave.m_pHeader->nStatus, -1);
}

TEST(AEProcess, SourceParametersNeedFiveArrivals) {
  Record r;
  r.hypo.m_Rec.nArrivals = 4;
  r.hypo.m_Rec.fFc = 1.0f;
  r.hypo.m_Rec.fMw = 1.0f;
  r.hypo.m_Rec.fMw2 = 7.0f;
  EXPECT_EQ(r.wave.SourceParameters(&r.hypo), 0);
  EXPECT_EQ(r.hypo.m_Rec.fFc, 0.0f);
  EXPECT_EQ(r.hypo.m_Rec.fMw, 0.0f);
  EXPECT_EQ(r.hypo.m_Rec.fMw2, 7.0f);
}

// Corner frequencies of synthetic sources, 16 arrivals at 10 samples/us with 3 counts of
// noise. A Brune (omega-squared) source seen by a velocity sensor is the pulse
// A (1 - wc t) exp(-wc t), wc = 2 pi fc, whose spectrum has no resonance peak: its corner
// must come out within 20 %, not at the lowest frequency the spectrum resolves. A ringing
// wavelet gives its own frequency, within a spectral bin (0.025 MHz here).
TEST(AEProcess, SourceParametersFindCornerFrequencies) {
  struct Case {
    bool brune;
    double fc;  // MHz
    double tolerance;
  };
  const Case cases[] = {{true, 0.1, 0.2},  {true, 0.15, 0.2}, {true, 0.25, 0.2},
                        {true, 0.4, 0.2},  {true, 0.5, 0.2},  {false, 0.3, 0.025 / 0.3},
                        {false, 0.15, 0.025 / 0.15}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.brune ? "Brune " : "ringing ") << c.fc);
    const int n = 2000, rate = 10;
    CAEWave wave;
    ASSERT_TRUE(wave.Allocate(16, n, rate));
    CAEHypo hypo;
    hypo.m_nSensors = 16;
    hypo.m_nShape = 4;
    hypo.m_fSizeX = hypo.m_fSizeY = hypo.m_fSizeZ = 50.0f;
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0, 3);
    AEHRecord& rec = hypo.m_Rec;
    rec = AEHRecord{};
    rec.nArrivals = 16;
    const double wc = 2 * M_PI * c.fc;
    for (int k = 0; k < 16; ++k) {
      hypo.m_pSensorXYZ[k] = {k % 2 ? 25.0 : -25.0, 3.0 * k - 22, (k % 4) * 10.0 - 15};
      hypo.m_pSensorSign[k] = 1.0f;
      hypo.m_pSensorGain[k] = 1.83e-6f;
      const int onset = 400 + 13 * k;
      const double a = (k % 3 ? 1 : -1) * (2000.0 + 400.0 * k);
      std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(k) * n;
      for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i - onset) / rate;
        double v = noise(rng);
        if (t >= 0)
          v += c.brune ? a * (1 - wc * t) * std::exp(-wc * t)
                       : a * std::sin(wc * t) * std::exp(-t / 50.0);
        x[i] = static_cast<std::int16_t>(std::lround(v));
      }
      rec.nSensor[k] = static_cast<std::int8_t>(k);
      rec.fTime[k] = static_cast<float>(onset) / rate;
    }
    ASSERT_GT(wave.SourceParameters(&hypo), 2);
    EXPECT_NEAR(rec.fFc, c.fc, c.tolerance * c.fc);
  }
}

}  // namespace
