#include "aecore/templates/AETemplateSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "aecore/aecore_test_support.h"
#include "platform/testing/ScriptedUi.h"

using tv_test::ReadText;
using tv_test::TmpDir;

namespace {

std::unique_ptr<AETemplateRec> Template(std::vector<float> data, int pick, float amp,
                                        float rise = 0.3f) {
  auto t = std::make_unique<AETemplateRec>();
  t->m_nRate = 10;
  t->m_nSamples = static_cast<int>(data.size());
  t->m_nPick = pick;
  t->m_fSN = 12.5f;
  t->m_fAmp = amp;
  t->m_fRise = rise;
  t->m_pData = std::move(data);
  return t;
}

// A 4-sample window (lag 0) whose correlation with (1, 0, 0, 0) is cc.
std::vector<float> TraceWithCorrelation(float cc) {
  return {cc, std::sqrt(1 - cc * cc), 0, 0, 0, 0};
}

}  // namespace

TEST(AETemplateSetTest, MatchKeepsTheBestAboveTheThreshold) {
  CAETemplateSet set;
  set.m_nWindow = 4;
  set.m_nLag = 0;
  int shift, pol;
  float amp, rise, score;
  EXPECT_EQ(set.Match(TraceWithCorrelation(0.9f).data(), 2, &shift, &pol, &amp, &rise, &score),
            -1);  // empty
  set.Add(Template({1, 0, 0, 0, 5}, 2, 250.0f));
  struct Case {
    float cc;
    int index, polarity;
    float amplitude;
  } cases[] = {
      {-0.85f, 0, -1, -250.0f}, {-0.75f, -1, 0, 0.0f}, {0.9f, 0, 1, 250.0f}, {0.8f, -1, 0, 0.0f}};
  for (const Case& c : cases) {
    auto trace = TraceWithCorrelation(c.cc);
    EXPECT_EQ(set.Match(trace.data(), 2, &shift, &pol, &amp, &rise, &score), c.index) << c.cc;
    EXPECT_EQ(pol, c.polarity) << c.cc;
    EXPECT_FLOAT_EQ(amp, c.amplitude) << c.cc;
    EXPECT_FLOAT_EQ(score, c.index == 0 ? 10.0f : 0.0f);
  }
  // Equal correlations: the first in list order wins; a better later one replaces it.
  set.Add(Template({1, 0, 0, 0, 5}, 2, -40.0f, 0.9f));
  auto trace = TraceWithCorrelation(0.9f);
  EXPECT_EQ(set.Match(trace.data(), 2, &shift, &pol, &amp, &rise, &score), 0);
  set.Add(Template({0.95f, 0.3122f, 0, 0}, 2, -40.0f, 0.9f));
  EXPECT_EQ(set.Match(trace.data(), 2, &shift, &pol, &amp, &rise, &score), 2);
  EXPECT_EQ(pol, -1);
  EXPECT_FLOAT_EQ(rise, 0.9f);
}

TEST(AETemplateSetTest, MatchFindsTheLag) {
  CAETemplateSet set;
  set.m_nWindow = 20;
  set.m_nLag = 5;
  std::vector<float> wave(40);
  for (int i = 0; i < 40; ++i)
    wave[i] = i < 15 ? 0.0f : std::sin(0.6f * (i - 15)) * std::exp(-0.1f * (i - 15));
  set.Add(Template(wave, 15, 100.0f));
  // The trace holds the same onset 3 samples later than the centre.
  std::vector<float> trace(20 + 10 + 2, 0.0f);
  const int centre = 20 / 2 + 5;
  for (int i = 0; i < 32; ++i) {
    int k = i - (centre + 3) + 15;
    trace[i] = k >= 0 && k < 40 ? -2.0f * wave[k] : 0.0f;
  }
  int shift, pol;
  float amp, rise, score;
  ASSERT_EQ(set.Match(trace.data(), centre, &shift, &pol, &amp, &rise, &score), 0);
  EXPECT_EQ(shift, 3);
  EXPECT_EQ(pol, -1);
}

TEST(AETemplateSetTest, BestMatchAndNearDuplicates) {
  CAETemplateSet set;
  set.m_nWindow = 3;
  int index;
  float cc;
  const float w[3] = {1, 0, 0};
  EXPECT_EQ(set.BestMatch(w, &index, &cc), 0);
  EXPECT_EQ(index, -1);
  set.Add(Template({0, 1, 0}, 1, 1));
  set.Add(Template({0.97f, 0.2431f, 0}, 1, 1));
  set.Add(Template({1, 0, 0}, 1, 1));
  set.Add(Template({-1, 0, 0}, 1, 1));
  EXPECT_EQ(set.BestMatch(w, &index, &cc), 4);
  EXPECT_EQ(index, 2);
  EXPECT_FLOAT_EQ(cc, 1.0f);
  EXPECT_EQ(set.CrossCorrelateAll(0, 0.95f), 0);
  EXPECT_EQ(set.GetCount(), 4);
  // Only the second and third correlate (0.97); the fourth's -1 never removes.
  EXPECT_EQ(set.CrossCorrelateAll(1, 0.95f), 1);
  ASSERT_EQ(set.GetCount(), 3);
  EXPECT_FLOAT_EQ(set.GetAt(2)->m_pData[0], -1.0f);
}

TEST(AETemplateSetTest, FileRoundTripAndFiveFieldLines) {
  std::string dir = TmpDir("file");
  const std::string path = dir + "/templates.txt";
  CAETemplateSet set;
  set.Add(Template({1.5f, -2.25f, 3}, 1, -120.5f, 0.7f));
  ASSERT_EQ(set.Write(path, false), 1);
  ASSERT_EQ(set.Write(path, true), 1);
  const std::string text = ReadText(path);
  EXPECT_EQ(text.rfind("!Template AE wveform with manually determined P-1st motion data\n"
                       "!numSamples, Samp. rate(MHz), indPick, S/N, Amp., Tr\n"
                       "   3 10 1 12.5000 -120.5000 0.7000\n1.500000 \n",
                       0),
            0u);
  EXPECT_EQ(text.find("!Template", 10), std::string::npos);  // appending adds no header
  CAETemplateSet back;
  ASSERT_EQ(back.Read(path), 2);
  EXPECT_EQ(back.GetAt(1)->m_pData, (std::vector<float>{1.5f, -2.25f, 3}));
  EXPECT_FLOAT_EQ(back.GetAt(1)->m_fAmp, -120.5f);
  // Rewriting an existing file keeps its header so that it reads back.
  ASSERT_EQ(back.Write(path, false), 2);
  ASSERT_EQ(set.Read(path), 2);

  std::ofstream(dir + "/five.txt") << "h1\nh2\n2 20 1 3.0 -50\n0.5\n0.25\n   \n";
  ASSERT_EQ(set.Read(dir + "/five.txt"), 1);
  EXPECT_FLOAT_EQ(set.GetAt(0)->m_fRise, 0.0f);
  EXPECT_EQ(set.GetAt(0)->m_pData, (std::vector<float>{0.5f, 0.25f}));
  EXPECT_EQ(set.Read(dir + "/missing.txt"), 0);
  EXPECT_EQ(set.GetCount(), 1);
}

TEST(AETemplateSetTest, DamagedTemplateFilesLeaveTheSet) {
  std::string dir = TmpDir("damaged");
  CAETemplateSet set;
  set.Add(Template({1, 2, 3}, 1, 1));
  for (const char* text :
       {"h1\nh2\n3 10 1 1 1 1\n0.5\n", "h1\nh2\n-5 10 1 1 1 1\n", "h1\nh2\n999999999 10 1 1 1\n",
        // No template at all: empty, header lines only, a damaged first template line.
        "", "h1\nh2\n", "h1\nh2\n3 10 one 1 1\n0.5 1 2\n"}) {
    std::ofstream(dir + "/bad.txt") << text;
    plat::testing::ScriptedUi ui;
    EXPECT_EQ(set.Read(dir + "/bad.txt"), 0) << text;
    EXPECT_EQ(ui.MessageTexts().size(), 1u);
    ASSERT_EQ(set.GetCount(), 1);
    EXPECT_EQ(set.GetAt(0)->m_pData.size(), 3u);
  }
}
