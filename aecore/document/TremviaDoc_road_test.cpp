// The road of events through the document on a synthetic experiment with known sources:
// open, pick, locate, magnitudes, save, step.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "aecore/document/SynthExperiment_testkit.h"
#include "aecore/document/TremviaDoc.h"
#include "platform/FileSystem.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "tools/synth/SynthCube.h"

namespace {

using plat::testing::FakeDocumentHost;
using plat::testing::Prompt;
using plat::testing::ScriptedUi;

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(std::min<double>(v.size() - 1, std::ceil(p * v.size()) - 1))];
}

// The synthetic cube experiment as its generator leaves it: the sources from truth.txt and
// each channel's true onset from onsets.txt.
struct Cube {
  std::string dir;
  bool aniso = false;
  std::vector<std::array<double, 4>> truth;  // x, y, z (mm), t0 (us)
  std::vector<std::array<double, synthcube::kSensors>> onsets;
  std::vector<std::array<double, synthcube::kSensors>> firstMotion;  // signed, counts

  void ReadTruth() {
    std::ifstream in(dir + "/truth.txt");
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream row(line);
      int index;
      std::array<double, 4> t;
      row >> index >> t[0] >> t[1] >> t[2] >> t[3];
      truth.push_back(t);
    }
    onsets.assign(truth.size(), {});
    firstMotion.assign(truth.size(), {});
    std::ifstream on(dir + "/onsets.txt");
    while (std::getline(on, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream row(line);
      int index, channel, polarity;
      double onset, amplitude;
      row >> index >> channel >> onset >> polarity >> amplitude;
      if (index >= 0 && index < static_cast<int>(onsets.size()) && channel >= 0 &&
          channel < synthcube::kSensors) {
        onsets[index][channel] = onset;
        firstMotion[index][channel] = amplitude;
      }
    }
  }
};

// Writes the whole experiment (100 events), or the given events, afresh into the test
// folder. The generator creates its catalogue through the engine, which asks before it
// creates one: write before a scripted UI exists, as the program does without one.
Cube WriteCube(const std::string& name, bool aniso,
               const std::vector<synthcube::Source>& sources = {}) {
  Cube c;
  c.dir = std::string(TV_TEST_TMPDIR) + "/" + name;
  c.aniso = aniso;
  std::error_code ec;
  std::filesystem::remove_all(c.dir, ec);
  plat::InvalidateFolderCache();
  synthcube::Options o;
  o.folder = c.dir;
  o.aniso = aniso;
  o.sources = sources;
  std::string error;
  EXPECT_EQ(synthcube::Write(o, &error), sources.empty() ? 100 : static_cast<int>(sources.size()))
      << error;
  plat::InvalidateFolderCache();
  c.ReadTruth();
  return c;
}

struct RoadResult {
  std::vector<double> errors, rms, fc;
  // Channels with a first motion of at least 2000 counts (200 noise deviations): how many,
  // how many picked within one sample of the last sample before the onset, how many with
  // the opposite first motion.
  int strong = 0, strongWithin1 = 0, strongWrongSign = 0;
  std::vector<std::string> worst;  // events whose rms passes 0.15 us, with their worst picks
  std::size_t listAtOpen = 0;      // event-list entries read from the catalogue
};

// Opens event 0, then per event: pick, locate with magnitudes, save, step. The residual
// rms is taken against the generator's own travel-time model at the located source.
RoadResult RunRoad(CTremviaDoc& doc, const Cube& c, ScriptedUi& ui) {
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", c.dir + "/Cube.pad");
  EXPECT_TRUE(doc.OnOpenDocument(c.dir + "/CUBE.00/000000.WAV"));
  RoadResult out;
  out.listAtOpen = doc.m_EventList.size();
  for (std::size_t i = 0; i < c.truth.size(); ++i) {
    EXPECT_EQ(doc.m_pWave->m_nEvent, static_cast<int>(i));
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    const CAEWave& wave = *doc.m_pWave;
    for (int k = 0; k < synthcube::kSensors; ++k) {
      if (std::fabs(c.firstMotion[i][k]) < 2000) continue;
      ++out.strong;
      const double pick = wave.m_pPickTime[k] * synthcube::kRate;
      out.strongWithin1 += std::fabs(pick - std::floor(c.onsets[i][k] * synthcube::kRate)) <= 1.0;
      out.strongWrongSign += wave.m_pPolarity[k] * c.firstMotion[i][k] < 0;
    }
    EXPECT_TRUE(doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0));
    doc.SaveCurrentHypo(0, 0, 0, true);
    const AEHRecord& rec = doc.m_pHypo->m_Rec;
    const std::array<double, 4>& t = c.truth[i];
    out.errors.push_back(std::sqrt((rec.fX - t[0]) * (rec.fX - t[0]) +
                                   (rec.fY - t[1]) * (rec.fY - t[1]) +
                                   (rec.fZ - t[2]) * (rec.fZ - t[2])));
    double sum = 0, worstPick = 0;
    int worstSensor = -1;
    for (int k = 0; k < rec.nArrivals; ++k) {
      const int sensor = rec.nSensor[k];
      double pred = rec.fT0 + synthcube::TravelTime(c.aniso, rec.fX, rec.fY, rec.fZ, sensor);
      sum += (rec.fTime[k] - pred) * (rec.fTime[k] - pred);
      double pickError = rec.fTime[k] - c.onsets[i][sensor];
      if (std::fabs(pickError) > std::fabs(worstPick)) {
        worstPick = pickError;
        worstSensor = sensor;
      }
    }
    out.rms.push_back(rec.nArrivals > 0 ? std::sqrt(sum / rec.nArrivals) : 1e9);
    out.fc.push_back(rec.fFc);
    if (out.rms.back() > 0.15)
      out.worst.push_back(
          plat::Format("event %zu: rms %.3f us, %d arrivals, sensor %d picked "
                       "%+.2f us from its onset",
                       i, out.rms.back(), rec.nArrivals, worstSensor, worstPick));
    if (i + 1 < c.truth.size()) {
      EXPECT_EQ(doc.StepEvent(1), 1);
    }
  }
  return out;
}

void ExpectAccuracy(const RoadResult& res) {
  double med = Percentile(res.errors, 0.5), p95 = Percentile(res.errors, 0.95);
  double mx = *std::max_element(res.errors.begin(), res.errors.end());
  std::printf(
      "location error: median %.3f mm, 95%% %.3f mm, max %.3f mm; rms median %.4f, 95%% %.4f, "
      "max %.4f us\n",
      med, p95, mx, Percentile(res.rms, 0.5), Percentile(res.rms, 0.95),
      *std::max_element(res.rms.begin(), res.rms.end()));
  std::printf(
      "first motions >= 2000 counts: %d channels, %d picked within 1 sample, %d wrong sign\n",
      res.strong, res.strongWithin1, res.strongWrongSign);
  for (const std::string& w : res.worst) std::printf("  %s\n", w.c_str());
  std::printf("corner frequency: %.4f .. %.4f MHz\n",
              *std::min_element(res.fc.begin(), res.fc.end()),
              *std::max_element(res.fc.begin(), res.fc.end()));
  // Picks, measured on the 982 channels (in each experiment) whose first motion reaches
  // 2000 counts: 893 / 888 within one sample of the onset, 2 / 1 with the wrong sign; the
  // rest lie up to 8 samples early. The picker refines on a nine-point running median,
  // which lifts the last noise samples towards a sharp onset, so the change point may move
  // a few samples early; an early pick that lands well before the onset takes its first
  // motion from the noise. Without the median the same picks are 981 / 980 within one
  // sample, none of the wrong sign.
  EXPECT_GE(res.strong, 900);
  EXPECT_GE(res.strongWithin1, res.strong * 88 / 100);
  EXPECT_LE(res.strongWrongSign, 3);
  // Location, measured on the 100 events, isotropic / anisotropic: median 0.32 / 0.34 mm,
  // 95 % 0.81 / 0.89 mm, max 1.03 / 1.79 mm.
  EXPECT_LE(med, 0.4);
  EXPECT_LE(p95, 1.0);
  EXPECT_LE(mx, 2.0);
  // Residual rms, measured: median 0.070 / 0.068 us, 95 % 0.163 / 0.146 us, max 0.239 /
  // 0.245 us. Each event above 0.15 us carries one pick 0.7-1.1 us before its onset, inside
  // the location's default residual limit of 1 us.
  EXPECT_LE(Percentile(res.rms, 0.5), 0.085);
  EXPECT_LE(Percentile(res.rms, 0.95), 0.2);
  for (double r : res.rms) EXPECT_LE(r, 0.3);
  // Measured: 0.325 MHz on every event, one spectral bin (0.25 / 10 us window) above.
  for (double f : res.fc) EXPECT_NEAR(f, synthcube::kFrequency, 2 * 0.025 + 1e-6);
}

// Every record was written, and every located event has one entry in the event list,
// holding its location: the records listed at open were updated, none added twice.
void ExpectAllRecordsWritten(CTremviaDoc& doc, const RoadResult& res, int n) {
  EXPECT_EQ(doc.m_pHypo->GetNumAE(), n);
  EXPECT_EQ(res.listAtOpen, static_cast<std::size_t>(n));  // the generator's records
  EXPECT_EQ(doc.m_EventList.size(), static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(doc.m_pHypo->GetAEH(i), 1);
    const AEHRecord& r = doc.m_pHypo->m_Rec;
    EXPECT_GT(r.nArrivals, 4) << i;
    const auto entries = std::count_if(doc.m_EventList.begin(), doc.m_EventList.end(),
                                       [i](const auto& e) { return e->record == i; });
    ASSERT_EQ(entries, 1) << i;
    const AEEventEntry& e = *doc.m_EventList[i];  // in place: the list keeps its order
    EXPECT_EQ(e.record, i);
    EXPECT_EQ(e.x, r.fX);
    EXPECT_EQ(e.arrivals, r.nArrivals);
  }
}

TEST(TremviaDocRoad, IsotropicExperiment) {
  Cube c = WriteCube("road_iso", false);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  RoadResult res = RunRoad(doc, c, ui);
  ExpectAccuracy(res);
  ExpectAllRecordsWritten(doc, res, 100);
}

TEST(TremviaDocRoad, AnisotropicExperiment) {
  Cube c = WriteCube("road_aniso", true);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  RoadResult res = RunRoad(doc, c, ui);
  ExpectAccuracy(res);
  ExpectAllRecordsWritten(doc, res, 100);
}

// The sample experiment shipped with the program (written by the synthetic-experiment
// tool), copied so that its catalogue can be written.
TEST(TremviaDocRoad, SampleExperiment) {
  std::string src = std::string(TV_SOURCE_DIR) + "/examples/SynthCube";
  std::string dir = std::string(TV_TEST_TMPDIR) + "/sample";
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::copy(src, dir, std::filesystem::copy_options::recursive);
  plat::InvalidateFolderCache();
  Cube c;
  c.dir = dir;
  c.ReadTruth();
  const std::vector<std::array<double, 4>>& truth = c.truth;
  ASSERT_EQ(truth.size(), 20u);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", dir + "/Cube.pad");
  ASSERT_TRUE(doc.OnOpenDocument(dir + "/CUBE.00/000000.WAV"));
  RoadResult res;
  for (std::size_t i = 0; i < truth.size(); ++i) {
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    EXPECT_TRUE(doc.ProcessCurrentEvent(2, true, 0, 0, 0, 0));
    const AEHRecord& r = doc.m_pHypo->m_Rec;
    double dx = r.fX - truth[i][0], dy = r.fY - truth[i][1], dz = r.fZ - truth[i][2];
    res.errors.push_back(std::sqrt(dx * dx + dy * dy + dz * dz));
    double sum = 0;
    for (int k = 0; k < r.nArrivals; ++k) {
      const KZ_Point3D& S = doc.m_pHypo->m_pSensorXYZ[r.nSensor[k]];
      double d = std::sqrt((S.x - r.fX) * (S.x - r.fX) + (S.y - r.fY) * (S.y - r.fY) +
                           (S.z - r.fZ) * (S.z - r.fZ));
      double e = r.fTime[k] - r.fT0 - d / 5.5;
      sum += e * e;
    }
    res.rms.push_back(r.nArrivals > 0 ? std::sqrt(sum / r.nArrivals) : 1e9);
    if (i + 1 < truth.size()) {
      EXPECT_EQ(doc.StepEvent(1), 1);
    }
  }
  // Measured: median 0.26 mm, 95 % 0.81 mm, max 0.96 mm; rms median 0.071 us, max 0.162 us.
  // Channels picked early stay within the default residual limit (1 us), so an event's
  // rms may rise well above the typical one, as it does in the 100-event experiment.
  double med = Percentile(res.errors, 0.5), p95 = Percentile(res.errors, 0.95);
  double mx = *std::max_element(res.errors.begin(), res.errors.end());
  std::printf(
      "sample experiment: median %.3f mm, 95%% %.3f mm, max %.3f mm; rms median %.3f max %.3f us\n",
      med, p95, mx, Percentile(res.rms, 0.5), *std::max_element(res.rms.begin(), res.rms.end()));
  EXPECT_LE(med, 0.35);
  EXPECT_LE(p95, 1.0);
  EXPECT_LE(mx, 1.2);
  EXPECT_LE(Percentile(res.rms, 0.5), 0.09);
  EXPECT_LE(*std::max_element(res.rms.begin(), res.rms.end()), 0.2);
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(doc.m_pHypo->GetAEH(i), 1);
    EXPECT_GT(doc.m_pHypo->m_Rec.nArrivals, 4);
  }
}

// One experiment for the single-event checks: write the events, open event 0.
struct Single {
  synth::Experiment exp;
  FakeDocumentHost host;
  CTremviaDoc doc{host};
  ScriptedUi ui;

  explicit Single(const std::string& name, const std::vector<synth::Source>& events,
                  const std::string& options = std::string()) {
    exp.options = options;
    exp.dir = std::string(TV_TEST_TMPDIR) + "/" + name;
    std::error_code ec;
    std::filesystem::remove_all(exp.dir, ec);
    std::filesystem::create_directories(exp.dir);
    plat::InvalidateFolderCache();
    exp.WritePad();
    for (std::size_t i = 0; i < events.size(); ++i) exp.WriteEvent(static_cast<int>(i), events[i]);
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", exp.PadPath());
    ui.ExpectMessage("open failed!, create??", IDYES);
    EXPECT_TRUE(doc.OnOpenDocument(exp.EventPath(0)));
  }
  const AEHRecord& Process() {
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0);
    return doc.m_pHypo->m_Rec;
  }
};

// A few chosen events from the cube generator, opened at event 0.
struct CubeEvents {
  Cube cube;
  FakeDocumentHost host;
  CTremviaDoc doc{host};
  ScriptedUi ui;

  CubeEvents(const std::string& name, const std::vector<synthcube::Source>& sources)
      : cube(WriteCube(name, false, sources)) {
    ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", cube.dir + "/Cube.pad");
    EXPECT_TRUE(doc.OnOpenDocument(cube.dir + "/CUBE.00/000000.WAV"));
  }
  const AEHRecord& Process() {
    doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    doc.ProcessCurrentEvent(2, false, 0, 0, 0, 0);
    return doc.m_pHypo->m_Rec;
  }
};

// The kit's fixed radiation (every channel at full strength, signs alternating) keeps all
// sixteen channels of both events picked: with a double couple from the cube generator
// the quiet event loses its near-nodal channels, so its median amplitude comes from a
// different set of sensors (measured: 11 against 16 arrivals, Mw 0.75 apart), and ten
// times the amplitude of those channels would pass the 16-bit limit on the strongest.
TEST(TremviaDocRoad, MagnitudeAndCornerFrequency) {
  synth::Source quiet{2, -3, 1};
  quiet.amp = 6e4;
  synth::Source loud = quiet;
  loud.amp = 6e5;
  loud.seed = 2;
  Single s("road_mw", {quiet, loud});
  AEHRecord a = s.Process();
  ASSERT_EQ(s.doc.StepEvent(1), 1);
  AEHRecord b = s.Process();
  ASSERT_GT(a.nArrivals, 4);
  ASSERT_GT(b.nArrivals, 4);
  EXPECT_NEAR(b.fMw - a.fMw, 1.0, 0.02);
  EXPECT_NEAR(b.fMw2 - a.fMw2, 1.0, 0.02);
  // Spectral bins are 0.5 r / NF = 0.025 MHz wide with the default 10 us window.
  EXPECT_NEAR(a.fFc, synth::kFreq, 2 * 0.025 + 1e-6);
  EXPECT_NEAR(b.fFc, synth::kFreq, 2 * 0.025 + 1e-6);
}

// Dead channels never enter a solution: five live channels locate from those five (the
// location needs four), three live channels fail without a result.
TEST(TremviaDocRoad, FewLiveChannels) {
  synthcube::Source five{4, 6, -5}, three{-3, 2, 7};
  five.liveChannels = 5;
  three.liveChannels = 3;
  CubeEvents s("road_few", {five, three});
  const AEHRecord& r = s.Process();
  ASSERT_EQ(r.nArrivals, 5);
  for (int k = 0; k < 5; ++k) EXPECT_LT(r.nSensor[k], 5);
  EXPECT_NEAR(r.fX, 4.0, 0.7);
  EXPECT_NEAR(r.fZ, -5.0, 0.7);
  const std::size_t listed = s.doc.m_EventList.size();
  ASSERT_EQ(s.doc.StepEvent(1), 1);
  const AEHRecord& q = s.Process();
  EXPECT_EQ(q.nArrivals, 0);
  EXPECT_EQ(s.doc.m_EventList.size(), listed);  // no entry for the failed location
  EXPECT_TRUE(std::isfinite(q.fX) && std::isfinite(q.fT0));
}

TEST(TremviaDocRoad, LockedRecordsAndReadOnlyCataloguesAreNotWritten) {
  CubeEvents s("road_lock", {{1, 2, 3}, {-4, 5, 6}});
  // Event 0's record is locked in the catalogue.
  CAEHypo& h = *s.doc.m_pHypo;
  ASSERT_EQ(h.GetAEH(0), 1);
  h.m_Rec.fX = 11.0f;
  h.m_Rec.nFlags = AEH_FLAG_LOCKED;
  ASSERT_EQ(h.PutAEH(0, false), 1);
  ASSERT_EQ(h.GetAEH(0), 1);
  EXPECT_FALSE(s.doc.ProcessCurrentEvent(2, true, 0, 0, 0, 0));
  s.doc.SaveCurrentHypo(0, 0, 0, true);
  ASSERT_EQ(h.GetAEH(0), 1);
  EXPECT_EQ(h.m_Rec.fX, 11.0f);
  EXPECT_EQ(s.ui.MessageTexts().back(), "Locked event!");

  // A catalogue open for reading only refuses the write and says so.
  ASSERT_EQ(s.doc.StepEvent(1), 1);
  h.m_bReadOnly = 1;
  s.Process();
  s.doc.SaveCurrentHypo(0, 0, 0, true);
  EXPECT_EQ(s.ui.MessageTexts().back(), "Can not save data to AED file!");
  ASSERT_EQ(h.GetAEH(1), 1);
  EXPECT_EQ(h.m_Rec.nArrivals, 0);  // the generator's record, holding the event's time only
}

TEST(TremviaDocRoad, FullProcessingLocatesAndWritesTheRecord) {
  CubeEvents s("road_full", {{-7, 8, 12}});
  const std::size_t listed = s.doc.m_EventList.size();
  ASSERT_TRUE(s.doc.ProcessCurrentEvent(3, true, 0, 0, 0, 0));
  const AEHRecord& r = s.doc.m_pHypo->m_Rec;
  EXPECT_GT(r.nArrivals, 10);
  EXPECT_NEAR(r.fX, -7.0, 0.7);
  EXPECT_NEAR(r.fY, 8.0, 0.7);
  EXPECT_NEAR(r.fZ, 12.0, 0.7);
  EXPECT_EQ(r.nFlags, AEH_FLAG_LOCATED);
  EXPECT_EQ(r.nIndex, 0);
  EXPECT_NE(r.fMw, 0.0f);
  EXPECT_EQ(s.host.Hints().back(), 31);
  EXPECT_EQ(s.doc.m_pHypo->GetNumAE(), 1);
  // The record was listed at open; processing it (again, as the auto-loading does after a
  // location by hand) updates that one entry.
  ASSERT_EQ(listed, 1u);
  for (int mode : {3, 2}) {
    if (mode == 2) s.doc.ProcessCurrentEvent(1, false, 0, 0, 0, 0);
    ASSERT_TRUE(s.doc.ProcessCurrentEvent(mode, true, 0, 0, 0, 0));
    ASSERT_EQ(s.doc.m_EventList.size(), 1u) << mode;
    const AEEventEntry& e = *s.doc.m_EventList[0];
    EXPECT_EQ(e.record, 0);
    EXPECT_EQ(e.x, r.fX);
    EXPECT_EQ(e.Mw, r.fMw);
    EXPECT_EQ(e.arrivals, r.nArrivals);
    EXPECT_EQ(e.flags, r.nFlags);
  }
  // A record not yet listed is appended.
  s.doc.ClearEventList();
  ASSERT_TRUE(s.doc.ProcessCurrentEvent(3, false, 0, 0, 0, 0));
  ASSERT_EQ(s.doc.m_EventList.size(), 1u);
  EXPECT_EQ(s.doc.m_EventList[0]->x, r.fX);
}

// P and T axes of a double couple (frame of the fit) from its moment tensor.
void PTAxes(double strike, double dip, double rake, double P[3], double T[3]) {
  double M[9];
  MomentTensorFromAngles(0, 0, strike, dip, rake, M);
  // Power iteration on M + c I and M - c I picks the largest and the smallest eigenvalue.
  for (int which = 0; which < 2; ++which) {
    double sign = which == 0 ? -1.0 : 1.0, v[3] = {0.3, 0.5, 0.8};
    for (int it = 0; it < 500; ++it) {
      double w[3];
      for (int i = 0; i < 3; ++i)
        w[i] = 3.0 * v[i] + sign * (M[3 * i] * v[0] + M[3 * i + 1] * v[1] + M[3 * i + 2] * v[2]);
      double n = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
      for (int i = 0; i < 3; ++i) v[i] = w[i] / n;
    }
    double* out = which == 0 ? P : T;
    for (int i = 0; i < 3; ++i) out[i] = v[i];
  }
}

double AxisAngle(const double a[3], const double b[3]) {
  double d = std::fabs(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
  return std::acos(std::min(d, 1.0)) * 180 / M_PI;
}

// Processes the open document's events one after the other (the first is current) and
// collects how far the fitted mechanism's P and T axes lie from those of the true angles.
void ProcessAndCompareAxes(CTremviaDoc& doc, const double sdr[][3], int n, int mecType,
                           const char* label, std::vector<double>* offP,
                           std::vector<double>* offT) {
  for (int i = 0; i < n; ++i) {
    SCOPED_TRACE(i);
    if (i > 0) {
      ASSERT_EQ(doc.StepEvent(1), 1);
    }
    ASSERT_TRUE(doc.ProcessCurrentEvent(3, false, 0, 0, 0, 0));
    const AEHRecord& r = doc.m_pHypo->m_Rec;
    ASSERT_EQ(r.nMecType, mecType);
    double P[3], T[3], P0[3], T0[3];
    PTAxes(r.fStrike, r.fDip, r.fRake, P, T);
    PTAxes(sdr[i][0], sdr[i][1], sdr[i][2], P0, T0);
    offP->push_back(AxisAngle(P, P0));
    offT->push_back(AxisAngle(T, T0));
    std::printf("%s %d: P axis off %.1f deg, T axis off %.1f deg\n", label, i, offP->back(),
                offT->back());
  }
}

// Every axis within `limit` degrees and the axes on average within `meanLimit`.
void ExpectAxesWithin(const std::vector<double>& offP, const std::vector<double>& offT,
                      double limit, double meanLimit) {
  double sum = 0;
  for (std::size_t i = 0; i < offP.size(); ++i) {
    EXPECT_LT(offP[i], limit) << "event " << i;
    EXPECT_LT(offT[i], limit) << "event " << i;
    sum += offP[i] + offT[i];
  }
  EXPECT_LT(sum / (offP.size() + offT.size()), meanLimit);
}

TEST(TremviaDocRoad, FullProcessingRecoversTheDoubleCouple) {
  std::vector<synth::Source> events;
  // Dip-slip and oblique sources; a near-vertical strike-slip source leaves its P axis
  // poorly resolved by 16 first motions (the fit averages every agreeing double couple).
  const double sdr[][3] = {{40, 60, 90}, {120, 50, -70}, {200, 35, 120}};
  for (int i = 0; i < 3; ++i) {
    synth::Source s{-4.0 + 3 * i, 3.0 - 2 * i, 2.0 * i - 3};
    s.doubleCouple = true;
    s.strike = sdr[i][0];
    s.dip = sdr[i][1];
    s.rake = sdr[i][2];
    s.seed = static_cast<unsigned>(10 + i);
    events.push_back(s);
  }
  // Sixteen sensors resolve a double couple from about 14 first motions: the fit asks for
  // 10 of them, 4 each way, and tolerates disagreement within 0.3 of the largest radiation
  // (which also lets the picker leave an unclear first motion without a sign).
  Single s("road_meca", events,
           "<MEC_OPT\nN_SENSOR=10\nN_UP_SHEAR=4\nN_DN_SHEAR=4\nMEC_RA_CRI=0.3\n</MEC_OPT>\n");
  std::vector<double> offP, offT;
  ASSERT_NO_FATAL_FAILURE(ProcessAndCompareAxes(s.doc, sdr, 3, 1, "event", &offP, &offT));
  // Measured: 5/8, 4/3 and 35/15 degrees; the first-motion fit's resolution with 16
  // sensors, not an error of the geometry (a mirrored frame puts axes 50-90 degrees off).
  ExpectAxesWithin(offP, offT, 40.0, 15.0);
}

// Full processing on the cube generator's events: the generator writes its double couples
// in the fit's own frame (north along the specimen's y, east along its x, down along -z),
// so the fitted and the true angles give axes to compare directly. The steep oblique
// strike-slip source (300, 70, -150) has agreeing double couples on both nodal planes and
// with rakes either side of 180 degrees, which an average of angles would scramble.
TEST(TremviaDocRoad, FullProcessingRecoversTheCubeDoubleCouple) {
  const double sdr[][3] = {
      {40, 60, 90}, {120, 50, -70}, {200, 35, 120}, {10, 45, 30}, {300, 70, -150}};
  std::vector<synthcube::Source> events;
  for (int i = 0; i < 5; ++i) {
    synthcube::Source e{-4.0 + 3 * (i % 3), 3.0 - 2 * i, 2.0 * (i % 3) - 3};
    e.strike = sdr[i][0];
    e.dip = sdr[i][1];
    e.rake = sdr[i][2];
    events.push_back(e);
  }
  Cube c = WriteCube("road_cube_meca", false, events);
  // The fit's defaults ask for more first motions than sixteen sensors give: ask for 10,
  // 4 each way, and tolerate disagreement within 0.3 of the largest radiation.
  {
    std::ifstream in(c.dir + "/Cube.pad");
    std::stringstream text;
    text << in.rdbuf();
    std::string pad = text.str();
    ASSERT_NE(pad.rfind("END\n"), std::string::npos);
    pad.replace(
        pad.rfind("END\n"), 4,
        "<MEC_OPT\nN_SENSOR=10\nN_UP_SHEAR=4\nN_DN_SHEAR=4\nMEC_RA_CRI=0.3\n</MEC_OPT>\nEND\n");
    std::ofstream(c.dir + "/Cube.pad") << pad;
  }
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  ui.ExpectFileDialog(Prompt::OpenFile, "Load parameters", c.dir + "/Cube.pad");
  ASSERT_TRUE(doc.OnOpenDocument(c.dir + "/CUBE.00/000000.WAV"));
  std::vector<double> offP, offT;
  ASSERT_NO_FATAL_FAILURE(ProcessAndCompareAxes(doc, sdr, 5, 1, "cube event", &offP, &offT));
  // Measured: P 8-17 degrees, T 6-19 degrees off, 12 on average. The double couples
  // that agree with the first motions (0.3 tolerance) spread a median 11-26 degrees
  // about the true axes; their mean tensor lies nearer.
  ExpectAxesWithin(offP, offT, 25.0, 15.0);
}

// The moment-tensor fit searches strike and dip on one rake (180 degrees), so its sources
// here slip horizontally on their plane; it must find them from the signed amplitudes.
TEST(TremviaDocRoad, FullProcessingRecoversTheDoubleCoupleFromAmplitudes) {
  const double sdr[][3] = {{120, 50, 180}, {200, 35, 180}, {300, 75, 180}, {10, 90, 180}};
  std::vector<synth::Source> events;
  for (int i = 0; i < 4; ++i) {
    synth::Source s{-2.0 + 2 * i, 1.5 - 1.5 * i, 1.5 * i - 1.5};
    s.doubleCouple = true;
    s.strike = sdr[i][0];
    s.dip = sdr[i][1];
    s.rake = sdr[i][2];
    s.seed = static_cast<unsigned>(11 + i);
    events.push_back(s);
  }
  Single s("road_meca_amp", events,
           "<MEC_OPT\nN_SENSOR=10\nN_UP_SHEAR=4\nN_DN_SHEAR=4\nMEC_DATA=1\n</MEC_OPT>\n");
  std::vector<double> offP, offT;
  ASSERT_NO_FATAL_FAILURE(ProcessAndCompareAxes(s.doc, sdr, 4, 5, "amplitude fit", &offP, &offT));
  // Measured: 4-8 degrees. The grid steps 10 degrees in strike and 5 in dip before its
  // quadratic refinement, and the test kit's amplitudes lie some four magnitudes above
  // the range searched around the record's Mw, so the fit holds the magnitude at the
  // range's top and matches the radiation pattern alone.
  for (std::size_t i = 0; i < offP.size(); ++i) {
    EXPECT_LT(offP[i], 12.0) << "event " << i;
    EXPECT_LT(offT[i], 12.0) << "event " << i;
  }
}

// Template picks give the first motion of sensors that the picker left without one. With
// a polarity factor that no first motion passes, only the picker's own template match
// gives polarities, and it needs half a window plus the lag (110 samples) of the pick
// range before the pick: a range that starts 80-100 samples before the nearest onsets
// leaves those sensors picked but without a first motion. Full processing then matches
// the templates at their predicted arrivals, which lie well inside the record.
TEST(TremviaDocRoad, FullProcessingAddsTemplatePicksWhereTheFirstMotionIsMissing) {
  synth::Source src{-15, -5, 4};  // as far from sensor 0 as from sensor 14
  Single s("road_templates", {src}, "<MEC_OPT\nMEC_RA_CRI=1e6\n</MEC_OPT>\n");
  auto slotOf = [](const AEHRecord& r, int sensor) {
    for (int j = 0; j < synth::kSensors; ++j)
      if (r.nSensor[j] == sensor) return j;
    return -1;
  };
  double first = 1e9;
  for (int k = 0; k < synth::kSensors; ++k) first = std::min(first, s.exp.TravelTime(src, k));
  const int start = static_cast<int>((src.t0 + first) * synth::kRate) - 90;
  std::vector<int> near;
  for (int k = 0; k < synth::kSensors; ++k) {
    const double room = (src.t0 + s.exp.TravelTime(src, k)) * synth::kRate - start;
    if (room >= 80 && room <= 100) near.push_back(k);
  }
  ASSERT_GE(near.size(), 2u);

  ASSERT_TRUE(s.doc.ProcessCurrentEvent(3, false, start, 0, 0, 0));
  const AEHRecord without = s.doc.m_pHypo->m_Rec;
  for (int k : near) EXPECT_EQ(without.nPolarity[slotOf(without, k)], 0) << k;

  // One template: the synthetic wavelet with a rising first motion, onset at sample 150.
  auto t = std::make_unique<AETemplateRec>();
  t->m_nRate = synth::kRate;
  t->m_nSamples = 400;
  t->m_nPick = 150;
  t->m_fAmp = 1000.0f;
  t->m_fRise = 0.8f;
  t->m_pData.assign(400, 0.0f);
  for (int n = 150; n < 400; ++n) {
    double tau = (n - 150) / static_cast<double>(synth::kRate);
    t->m_pData[n] =
        static_cast<float>(1000 * std::exp(-tau / 4.0) * std::sin(2 * M_PI * synth::kFreq * tau));
  }
  s.doc.m_Templates.Add(std::move(t));
  ASSERT_TRUE(s.doc.ProcessCurrentEvent(3, false, start, 0, 0, 0));
  const AEHRecord& with = s.doc.m_pHypo->m_Rec;
  EXPECT_NEAR(with.fX, src.x, 0.7);
  for (int k : near) {
    SCOPED_TRACE(k);
    const int j = slotOf(with, k);
    ASSERT_GE(j, 0);
    EXPECT_EQ(with.nPolarity[j], k % 3 == 0 ? -1 : 1);  // the test kit's fixed pattern
    EXPECT_EQ(with.fSN[j], 10.0f);
    EXPECT_FLOAT_EQ(with.fRise[j], 0.8f);
    EXPECT_NEAR(with.fTime[j], src.t0 + s.exp.TravelTime(src, k), 0.1);
  }
}

// hypoDD input of a located synthetic experiment: every located event with its picks,
// read back by a reader of hypoDD's phase format; the travel times are the generator's.
TEST(TremviaDocRoad, HypoDDFilesOfALocatedExperiment) {
  std::vector<synthcube::Source> sources;
  for (int i = 0; i < 6; ++i) {
    synthcube::Source s;
    s.x = -12.0 + 5 * i;
    s.y = 8.0 - 3 * i;
    s.z = -10.0 + 4 * i;
    sources.push_back(s);
  }
  Cube c = WriteCube("road_hypodd", false, sources);
  FakeDocumentHost host;
  CTremviaDoc doc(host);
  ScriptedUi ui;
  RoadResult res = RunRoad(doc, c, ui);
  ASSERT_EQ(res.errors.size(), sources.size());
  const std::string out = c.dir + "/hypodd";
  std::filesystem::create_directories(out);
  ui.ExpectFolder("Working folder of hypoDD", out);
  doc.m_pHypo->m_nMinArrivals = 8;
  EXPECT_EQ(doc.SaveHypoDD(), static_cast<int>(sources.size()));
  if (!std::filesystem::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
  std::string cmd = "/usr/bin/python3 " TV_SOURCE_DIR
                    "/tools/catalogue_stats/read_exports.py hypodd '" +
                    out + "' 2>&1";
  std::string text;
  int status = -1;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    status = pclose(p);
  }
  ASSERT_EQ(status, 0) << text;
  EXPECT_NE(text.find("stations 16\nevents 6\n"), std::string::npos) << text;
  // Each observation's travel time against the generator's for that event and sensor.
  std::istringstream lines(text);
  std::string line;
  int checked = 0, close = 0;
  while (std::getline(lines, line)) {
    int event = 0;
    char sta[16];
    double tt = 0, w = 0;
    if (std::sscanf(line.c_str(), "obs %d %15s %lf %lf", &event, sta, &tt, &w) != 4) continue;
    const int sensor = std::atoi(sta + 2) - 1;
    const auto& t = c.truth[event];
    const double err = std::fabs(tt - synthcube::TravelTime(false, t[0], t[1], t[2], sensor));
    // An early pick may stay within the location's residual limit of 1 us.
    EXPECT_LE(err, 1.0) << line;
    close += err <= 0.2;
    ++checked;
  }
  EXPECT_GE(checked, 6 * 8);
  EXPECT_GE(close, checked * 9 / 10);
}

}  // namespace
