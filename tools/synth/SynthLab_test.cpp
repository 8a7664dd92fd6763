// The laboratory loading test: the generator repeats itself byte for byte, and the sample
// experiment shipped with the program holds what its truth says, processed by the
// program's own road.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "platform/FileSystem.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "tools/synth/SynthCube.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(TV_SOURCE_DIR) + "/examples/SynthFault";

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file below `dir`, by its path relative to `dir`, with its bytes.
std::vector<std::pair<std::string, std::string>> Tree(const fs::path& dir) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out.emplace_back(fs::relative(e.path(), dir).string(), Bytes(e.path()));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(SynthLab, SameSeedSameBytes) {
  const fs::path root = fs::path(TV_TEST_TMPDIR) / "lab_repeat";
  fs::remove_all(root);
  fs::create_directories(root);
  std::vector<std::vector<std::pair<std::string, std::string>>> runs;
  for (const char* run : {"a", "b"}) {
    synthcube::Options o;
    o.folder = (root / run).string();
    o.events = 30;
    o.lab = true;
    o.name = "Fault";
    std::string error;
    plat::InvalidateFolderCache();
    ASSERT_EQ(synthcube::Write(o, &error), 30) << error;
    runs.push_back(Tree(root / run));
  }
  ASSERT_EQ(runs[0].size(), 36u);  // pad, aeh, STS, PK1, truth, onsets and 30 events
  EXPECT_TRUE(runs[0] == runs[1]);
}

struct Truth {
  double x, y, z, time, dM, fc;
};

std::vector<Truth> ReadTruth() {
  std::vector<Truth> out;
  std::ifstream in(kSample + "/truth.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    int index;
    double t0, factor, strike, dip, rake;
    Truth t{};
    row >> index >> t.x >> t.y >> t.z >> t0 >> factor >> strike >> dip >> rake >> t.time >> t.dM >>
        t.fc;
    out.push_back(t);
  }
  return out;
}

// A copy of the sample, opened by its parameter file as a researcher opens it.
class ShippedSample : public testing::Test {
 protected:
  void SetUp() override {
    const fs::path dir = fs::path(TV_TEST_TMPDIR) / "lab_sample";
    fs::remove_all(dir);
    fs::copy(kSample, dir, fs::copy_options::recursive);
    plat::InvalidateFolderCache();
    truth = ReadTruth();
    ASSERT_GE(truth.size(), 300u);
    ASSERT_TRUE(doc.OnOpenDocument((dir / "Fault.pad").string()));
  }
  // The whole catalogue's b-value (mode 1: from the corner frequencies) over at least the
  // share `counted` of the events is the truth's, N / (ln 10 x the sum of dM), within 0.15.
  void ExpectTruthsB(int mode, double counted) {
    double sum = 0.0;
    for (const Truth& t : truth) sum += t.dM;
    const double bTruth = truth.size() / (std::log(10.0) * sum);
    int counts[30];
    double logN, bML, relErr;
    ASSERT_EQ(doc.m_pHypo->BValue(mode, doc.m_EventList, 0, 7200, counts, &logN, &bML, &relErr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, 1.5),
              30);
    EXPECT_GE(std::pow(10.0, logN), counted * static_cast<double>(doc.m_EventList.size()));
    EXPECT_NEAR(bML, bTruth, 0.15);
  }
  std::vector<Truth> truth;
  plat::testing::ScriptedUi ui;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
};

// Its catalogue located close to the truth, with mechanisms, and the peak list and stress
// series beside it.
TEST_F(ShippedSample, IsProcessedAndComplete) {
  ASSERT_TRUE(doc.m_pHypo->m_fpAEH);
  EXPECT_FALSE(doc.m_pHypo->m_bReadOnly);

  std::vector<double> errors;
  int mechanisms = 0;
  for (std::size_t i = 0; i < truth.size(); ++i) {
    AEHRecord r{};
    ASSERT_TRUE(doc.m_pHypo->GetAEH(static_cast<int>(i), &r)) << i;
    EXPECT_NEAR(r.nTimeSec + r.nTimeUs * 1e-6, truth[i].time, 1e-5) << i;
    if (r.nArrivals <= 4) continue;
    errors.push_back(std::hypot(r.fX - truth[i].x, r.fY - truth[i].y, r.fZ - truth[i].z));
    mechanisms += r.fStrike != 0 || r.fDip != 0;
  }
  ASSERT_GE(errors.size(), truth.size() * 9 / 10);
  std::nth_element(errors.begin(), errors.begin() + errors.size() / 2, errors.end());
  EXPECT_LT(errors[errors.size() / 2], 1.0);  // mm
  EXPECT_GE(mechanisms, static_cast<int>(errors.size()) * 8 / 10);
  EXPECT_EQ(doc.m_EventList.size(), errors.size());

  // The side files: 6000 peaks over the two hours, one stress row every 20 s.
  ASSERT_EQ(doc.GetPeak(0)->m_nCount, 6000);
  EXPECT_LE(doc.GetPeak(0)->GetTime(doc.GetPeak(0)->m_nCount - 1), 7200.0);
  ASSERT_TRUE(doc.m_pStress);
  EXPECT_EQ(doc.m_pStress->m_nSamples, 361);
  EXPECT_EQ(doc.m_pStress->m_tmBase.tm_year, 126);
  EXPECT_EQ(doc.m_fTimeSpan, 7200.0);
  // The peak stress at failure (11:30, 5400 s after the start of the record).
  EXPECT_NEAR(doc.m_pStress->m_nMaxStress, 450, 2);
  EXPECT_EQ(doc.m_pStress->GetStress(5400), doc.m_pStress->m_nMaxStress);
}

// The magnitude-frequency statistics of the whole catalogue (the "M-N wave" plot) give
// the truth's b-value, N / (ln 10 x the sum of the magnitudes above the smallest).
TEST_F(ShippedSample, BValueOfTheCatalogueIsTheTruths) { ExpectTruthsB(0, 0.9); }

// Corner frequencies follow the sources' own, which spread with their magnitudes, and so
// the magnitudes computed from them (the "M(Fc)" plot) spread as the catalogue's do.
TEST_F(ShippedSample, CornerFrequenciesFollowTheSources) {
  std::vector<double> ratio, fc;
  for (std::size_t i = 0; i < truth.size(); ++i) {
    AEHRecord r{};
    ASSERT_TRUE(doc.m_pHypo->GetAEH(static_cast<int>(i), &r)) << i;
    if (r.nArrivals <= 4 || r.fFc <= 0) continue;
    ratio.push_back(r.fFc / truth[i].fc);
    fc.push_back(r.fFc);
  }
  ASSERT_GE(ratio.size(), truth.size() * 9 / 10);
  std::sort(ratio.begin(), ratio.end());
  std::sort(fc.begin(), fc.end());
  EXPECT_NEAR(ratio[ratio.size() / 2], 1.0, 0.2);
  // Four in five within 30 % of the source's.
  EXPECT_GE(ratio[ratio.size() / 10], 0.7);
  EXPECT_LE(ratio[ratio.size() * 9 / 10], 1.3);
  EXPECT_GT(fc[fc.size() * 95 / 100] / fc[fc.size() * 5 / 100], 2.5);

  ExpectTruthsB(1, 0.8);
}

}  // namespace
