// Stereo specimen (type 5), slices (7), sensor map (0), magnitude-frequency (2-4),
// correlation integrals (14, 15), first motions (16-19), mean mechanism (20) and the
// triangle diagram (21).
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <sstream>

#include "base/numerics/KZ_MecaFit.h"
#include "base/types/KZ_Vector3D.h"
#include "platform/FileSystem.h"
#include "base/plot/view/KZ_View_testkit.h"
#include "platform/qt/QtDc.h"
#include "views/hypo/LocView_plots_testkit.h"

using plat::DcOp;
using plat::DcOpKind;

namespace {

bool HasText(const plat::RecordingDc& dc, const std::string& prefix) {
  for (const DcOp* op : dc.OpsOf(DcOpKind::Text))
    if (op->text.rfind(prefix, 0) == 0) return true;
  return false;
}

// Texts written on the page's own white background: transparent or on white.
int TextsOnColour(const plat::RecordingDc& dc) {
  int n = 0;
  for (const DcOp* op : dc.OpsOf(DcOpKind::Text))
    if (op->state.bkMode == OPAQUE && op->state.bkColor != RGB(255, 255, 255)) ++n;
  return n;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

TEST_F(HypoPlots, StereoSpecimenDrawsEachEventInExactlyOneTTypePass) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_bTTypeOpen = 1;
  h.m_nColorMode = 1;
  // Ratios 0.25, 0.75, 1, -1, 0.1; the last event is detected with too low a CC.
  Catalogue({{3, 9}, {9, 3}, {10, 0}, {0, 0}, {1, 9}, {5, 5}});
  for (int i = 0; i < 5; ++i) Add(0, 0, static_cast<float>(i), 10 + i);
  Add(0, 0, 0, 20, 10, 16).CC = 0.1f;
  auto dc = Draw(5);
  std::vector<COLORREF> brushes;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse)) brushes.push_back(op->state.brush.Color());
  const COLORREF w = RGB(255, 255, 255);
  const std::vector<COLORREF> expect{view.m_Palette.ValueToColor(1, 1.0),
                                     view.m_Palette.ValueToColor(1, 1.0),
                                     view.m_Palette.ValueToColor(5, 1.0),
                                     view.m_Palette.ValueToColor(5, 1.0),
                                     w,
                                     w,
                                     w,
                                     w,
                                     RGB(64, 64, 64),
                                     RGB(64, 64, 64)};
  EXPECT_EQ(brushes, expect);
  EXPECT_TRUE(HasText(*dc, "Np/Ns/Nae:00005/00005/00006"));
  h.m_bTTypeOpen = 0;
  dc = Draw(5);
  EXPECT_EQ(dc->OpsOf(DcOpKind::Ellipse).size(), 10u);
}

// The page picture at screen resolution, drawn with the device context's raster
// shortcuts (discs from sprites, the plus signs and fills written into the pixels), is the
// picture of the same page drawn through the painter alone: crowded, overlapping events
// of every T-type pass, some beyond the page's edges.
TEST_F(HypoPlots, StereoSpecimenPictureIsThePainterOnesAtScreenResolution) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_bTTypeOpen = 1;
  h.m_nColorMode = 1;
  h.m_bUnselected = 1;
  h.m_nMinArrivals = 0;
  h.m_fHypoScale = 30;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-1, 1);
  std::vector<std::pair<int, int>> polarities;
  for (int i = 0; i < 3000; ++i) {
    // Ratios all over 0..1, and now and then too few polarities for one.
    const int up = static_cast<int>(8 + 8 * u(rng));
    polarities.push_back(i % 7 == 0 ? std::pair{2, 2} : std::pair{up, 16 - up});
    Add(40 * u(rng), 40 * u(rng), 70 * u(rng), 1000.0 * (i + 0.5) / 3000 - 100, 10, 1,
        1 + u(rng));
  }
  Catalogue(polarities);
  h.m_nPlotType = 5;
  view.OnUpdate(nullptr, HINT_LOC, nullptr);
  view.BackingImage();
  const QImage& drawn = view.PagePicture();
  ASSERT_FALSE(drawn.isNull());
  const auto [inked, differ] = kz_test::CompareWithPlainDrawing(view, drawn);
  EXPECT_GT(inked, 20000);
  // A disc stamped from the drawing of its size may differ by the odd edge pixel.
  EXPECT_LE(differ, inked / 1000);
}

TEST_F(HypoPlots, StereoFaultFrameOfAHorizontalPlaneTakesTheAzimuthAsUpDip) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_fFaultDip = 0;
  h.m_fFaultAzimuth = 30;
  h.m_fFaultLen = 20;
  Add(0, 0, 0, 10);
  auto dc = Draw(5);
  std::vector<const DcOp*> frame;
  for (const DcOp* op : dc->OpsOf(DcOpKind::LineTo))
    if (op->state.pen.Width() == 40 && op->state.pen.Color() == RGB(0, 0, 255)) frame.push_back(op);
  ASSERT_EQ(frame.size(), 6u);  // normal, up-dip, strike in both images
  const int cx = static_cast<int>(3000 + 100 * 25.0), cy = -2000 - 5000;
  POINT l, r;
  view.StereoPoint(static_cast<float>(-20 * std::cos(30 * 0.0174533)),
                   static_cast<float>(-20 * std::sin(30 * 0.0174533)), 0, &l, &r);
  EXPECT_NEAR(frame[2]->points[1].x, cx + l.x, 1);
  EXPECT_NEAR(frame[2]->points[1].y, cy + l.y, 1);
}

TEST_F(HypoPlots, StereoFaultTracesAreDrawnWholeHoweverLong) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nFaults = 2;
  h.m_nFaultPoints[0] = 80;
  h.m_nFaultPoints[1] = 3;
  h.m_strFaultName[0] = "Main";
  h.m_strFaultName[1] = "Pre-cut";
  for (int p = 0; p < 83; ++p) h.m_pFaultXYZ[p] = KZ_Point3D{0, p * 0.5 - 20, p * 0.5 - 20};
  Add(0, 0, 0, 10);
  const auto dc = Draw(5);
  const auto traces = dc->OpsOf(DcOpKind::Polyline);
  ASSERT_EQ(traces.size(), 4u);  // two traces in two images
  EXPECT_EQ(traces[0]->points.size(), 80u);
  EXPECT_EQ(traces[1]->points.size(), 80u);
  EXPECT_EQ(traces[2]->points.size(), 3u);
  EXPECT_EQ(traces[2]->state.pen.Color(), RGB(128, 64, 64));
}

TEST_F(HypoPlots, SlicesPlaceEventsByHeightAndRadius) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_fAirMargin = 0;
  const int Rp = 2500;
  Add(0, 0, -50, 10);        // bottom face: slice 9
  Add(0, 0, 50, 20);         // top face: no slice
  Add(25, 0, 0, 30);         // on the mantle
  Add(27, 0, 45, 40);        // 8 % outside
  Add(0, 0, 45, 50, 10, 3);  // flag 2: green, after the others
  auto c = Centres(*Draw(7));
  ASSERT_EQ(c.size(), 10u + 3u);
  EXPECT_EQ(c[10].x, 3000 + 2 * Rp + 1000);
  EXPECT_EQ(c[10].y, -2000 - Rp - 4 * (2 * Rp + 500));
  EXPECT_EQ(c[11].x, 3000 + 2500);  // slice 4 or 5 holds z = 0: the right column
  const auto slices = Draw(7);
  EXPECT_EQ(slices->OpsOf(DcOpKind::Ellipse).back()->state.brush.Color(), RGB(0, 255, 0));
  h.m_fAirMargin = 0.1f;
  EXPECT_EQ(Centres(*Draw(7)).size(), 10u + 4u);
}

TEST_F(HypoPlots, BoxSensorMapPutsEdgeSensorsOnTheFirstFaceInOrder) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nShape = 1;
  h.m_nSensors = 3;
  h.m_nExtraPoints1 = h.m_nExtraPoints2 = 0;
  h.m_pSensorXYZ[0] = KZ_Point3D{25, -25, 0};  // edge of Y- and X+: on Y-
  h.m_pSensorXYZ[1] = KZ_Point3D{0, 0, 50};    // Z+
  h.m_pSensorXYZ[2] = KZ_Point3D{0, 0, 0};     // inside: on no face
  for (auto& n : h.m_pSensorName) n.clear();
  auto c = Centres(*Draw(0));
  const int left = 4000, hX = 2500, hL = 5000, yc = -2000 - hL - 2000;
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].x, 100 * 25 + left + hX);
  EXPECT_EQ(c[0].y, yc);
  EXPECT_EQ(c[1].x, left + hX);
  EXPECT_EQ(c[1].y, yc - hL - 500 - 2500);
}

TEST_F(HypoPlots, CylinderSensorMapLinesAndEventSizes) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nSensors = 1;
  h.m_pSensorXYZ[0] = KZ_Point3D{25, 0, 0};
  auto lines = [&] {
    int n = 0;
    const auto dc = Draw(0);
    for (const DcOp* op : dc->OpsOf(DcOpKind::LineTo))
      if (op->state.pen.Color() == RGB(255, 128, 128) && op->points[0].y == op->points[1].y) ++n;
    return n;
  };
  EXPECT_EQ(lines(), 8);  // 10 .. 40 mm above and below
  h.m_fSizeZ = 20;
  EXPECT_EQ(lines(), 0);
  h.m_fSizeZ = 100;
  h.m_fHypoScale = 1000;
  view.m_fHalfWidth = 5;
  Add(25, 0, 0, 10, 10, 1, 0.3f);  // Mw 0.3: sized as 0.5
  Add(25, 0, 0, 20, 40, 1, 6.0f);  // Mw 6: by 40 arrivals, 0.8
  Add(0, 0, 0, 30);                // far from the mantle
  const auto map = Draw(0);
  const auto discs = map->OpsOf(DcOpKind::Ellipse);
  ASSERT_EQ(discs.size(), 3u);  // the sensor and two events
  EXPECT_EQ(discs[1]->rect.right - discs[1]->rect.left, 1000);
  EXPECT_EQ(discs[2]->rect.right - discs[2]->rect.left, 1600);
}

TEST_F(HypoPlots, MagnitudeFrequencyLineStaysInTheFrame) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_fMagMin = 0;
  h.m_fMagMax = 3;
  std::mt19937 rng(5);
  std::exponential_distribution<double> gr(std::log(10.0));  // b = 1
  for (int i = 0; i < 3000; ++i) Add(0, 0, 0, i * 0.3, 10, 1, static_cast<float>(gr(rng)));
  auto dc = Draw(3);
  const int left = 4500, bottom = -12000;
  const auto lines = dc->OpsOf(DcOpKind::LineTo);
  bool found = false;
  for (const DcOp* op : lines) {
    if (op->points[0].x == op->points[1].x || op->points[0].y == op->points[1].y) continue;
    found = true;
    for (const POINT& p : op->points) {
      EXPECT_GE(p.x, left);
      EXPECT_LE(p.x, left + 12000);
      EXPECT_GE(p.y, bottom);
      EXPECT_LE(p.y, -2000);
    }
  }
  EXPECT_TRUE(found);
  int N = 0;
  float b = 0, relErr = 0;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Text))
    std::sscanf(op->text.c_str(), "N=%d, b(ML)=%f(%f)", &N, &b, &relErr);
  ASSERT_GT(N, 1000);
  EXPECT_NEAR(relErr, 1 / std::sqrt(N), 0.005);  // 1 / sqrt(N) whatever b is
  EXPECT_NEAR(b, 1.0, 0.15);
  // Too few events: no bins, so no points and no line, but frame and texts.
  doc.m_EventList.resize(5);
  dc = Draw(4);
  EXPECT_TRUE(dc->OpsOf(DcOpKind::Ellipse).empty());
  EXPECT_EQ(dc->OpsOf(DcOpKind::Rectangle).size(), 1u);
  EXPECT_TRUE(HasText(*dc, " M(Fc) = "));
}

TEST_F(HypoPlots, MagnitudeFrequencyTakesTheLimitsInEitherOrder) {
  // The defaults store the range upside down (-9, -12); laboratory magnitudes lie in it.
  CAEHypo& h = *doc.m_pHypo;
  std::mt19937 rng(7);
  std::exponential_distribution<double> gr(std::log(10.0) * 1.5);  // b = 1.5
  for (int i = 0; i < 2000; ++i)
    Add(0, 0, 0, i * 0.4, 10, 1, static_cast<float>(-12.0 + std::min(gr(rng), 2.99)));
  const int left = 4500, right = 16500, top = -2000, bottom = -12000;
  for (const auto& [lo, hi] :
       {std::pair{-9.0f, -12.0f}, std::pair{-12.0f, -9.0f}, std::pair{-12.0f, -10.0f}}) {
    SCOPED_TRACE(::testing::Message() << lo << " .. " << hi);
    h.m_fMagMin = lo;
    h.m_fMagMax = hi;
    const auto dc = Draw(3);
    // The magnitude axis is drawn, its ends labelled.
    EXPECT_TRUE(HasText(*dc, "-12.")) << ::testing::PrintToString(dc->Texts());
    EXPECT_TRUE(Texts(*dc).count("M(Wave)"));
    // The fit line lies inside the frame and is not empty.
    int lines = 0;
    for (const DcOp* op : dc->OpsOf(DcOpKind::LineTo)) {
      if (op->points[0].x == op->points[1].x || op->points[0].y == op->points[1].y) continue;
      ++lines;
      for (const POINT& p : op->points) {
        EXPECT_GE(p.x, left);
        EXPECT_LE(p.x, right);
        EXPECT_GE(p.y, bottom);
        EXPECT_LE(p.y, top);
      }
      EXPECT_GT(std::abs(op->points[1].x - op->points[0].x), 1000);
    }
    EXPECT_EQ(lines, 1);
  }
}

TEST_F(HypoPlots, CorrelationIntegralWritesItsCurveFileAndWrapsTheRedShades) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nMinArrivals = 0;
  const std::string path = std::string(TV_TEST_TMPDIR) + "/curve.kv0";
  view.m_strCurveFile = path;
  for (int i = 0; i < 5; ++i) Add(static_cast<float>(i), 0, 0, 10 + i);
  EXPECT_TRUE(Draw(15)->Ops().empty());  // too few events: nothing at all
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-20, 20);
  for (int i = 0; i < 300; ++i) Add(u(rng), u(rng), u(rng), 20 + i);
  auto dc = Draw(15);
  std::set<COLORREF> shades;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse)) shades.insert(op->state.brush.Color());
  EXPECT_EQ(shades, (std::set<COLORREF>{RGB(0, 0, 0), RGB(80, 0, 0), RGB(160, 0, 0), RGB(240, 0, 0),
                                        RGB(64, 0, 0), RGB(144, 0, 0)}));
  const std::string text = ReadText(path);
  EXPECT_EQ(text.rfind("KVDATA01 ", 0), 0u);
  EXPECT_NE(text.find("SAMPLES 00041\nLog10(r),mm  Log10(C(R>r)),q=02 Log10(C(R>r)),q=06 "
                      "Log10(C(R>r)),q=10 Log10(C(R>r)),q=14 Log10(C(R>r)),q=18 "
                      "Log10(C(R>r)),q=22\n0.000000 "),
            std::string::npos);
  EXPECT_NE(text.find("\n[PARAMETERS]\nmin=0.0 -4.0 -4.0 -4.0 -4.0 -4.0 -4.0\n"
                      "max=2.0  0.0 0.0   0.0  0.0  0.0 -0.0\n"),
            std::string::npos);
  std::filesystem::remove(path);
  Draw(14);
  EXPECT_NE(ReadText(path).find("\nSAMPLES 00026\nLog10(r),msec  Log10(C(T>t)),q=02\n"),
            std::string::npos);
}

TEST_F(HypoPlots, UpDownRatioLeavesOutEventsWithFewPolarities) {
  Catalogue({{5, 5}, {4, 4}, {9, 3}});
  Add(0, 0, 0, 0);
  Add(0, 0, 0, 500);
  Add(0, 0, 0, 1000);
  auto c = Centres(*Draw(16));
  ASSERT_EQ(c.size(), 4u);  // two events in two panels
  const int W = 120 * 100, left = 3500, bottom = -2000 - 5000;
  EXPECT_EQ(c[0].x, left);
  EXPECT_EQ(c[0].y, bottom + 2500);
  EXPECT_EQ(c[1].x, left + W);
  EXPECT_EQ(c[1].y, bottom + 3750);
  EXPECT_EQ(c[3].x, left + W / 2);  // second of two in event order
  EXPECT_EQ(c[3].y, bottom - 5000 - 4000 + 3750);
}

TEST_F(HypoPlots, FirstMotionFramesAreTheSameForTypes17To19) {
  Add(0, 0, 0, 10);
  auto shape = [&](int type) {
    std::vector<std::pair<int, std::vector<int>>> out;
    const auto dc = Draw(type);
    for (const DcOp& op : dc->Ops()) {
      std::vector<int> v{op.rect.left, op.rect.top, op.rect.right, op.rect.bottom};
      for (const POINT& p : op.points) v.insert(v.end(), {p.x, p.y});
      out.emplace_back(static_cast<int>(op.kind), v);
    }
    return out;
  };
  const auto a = shape(17);
  EXPECT_FALSE(a.empty());
  EXPECT_EQ(shape(18), a);
  EXPECT_EQ(shape(19), a);
}

TEST_F(HypoPlots, MeanMechanismKeepsTheCurrentRecordAndSkipsWeakSensors) {
  CAEHypo& h = *doc.m_pHypo;
  for (int k = 0; k < 16; ++k) {
    const double a = k * 2 * std::numbers::pi / 16;
    h.m_pSensorXYZ[k] = KZ_Point3D{25 * std::cos(a), 25 * std::sin(a), (k % 3 - 1) * 30.0};
    h.m_pSensorSign[k] = 1;
  }
  h.m_pSensorSign[0] = 0.05f;  // neither counts nor contributes
  Catalogue({{5, 5}, {2, 1}});
  Add(0, 0, 0, 10);
  Add(0, 0, 0, 20);
  h.m_Rec.nArrivals = 3;  // n_min 0: the second event counts too
  const AEHRecord before = h.m_Rec;
  auto dc = Draw(20);
  int circles = 0, pluses = 0;
  for (const DcOp* op : dc->OpsOf(DcOpKind::Ellipse))
    if (op->rect.right - op->rect.left == 100) ++circles;
  for (const DcOp* op : dc->OpsOf(DcOpKind::LineTo))
    if (op->state.pen.Color() == RGB(128, 128, 128)) ++pluses;
  EXPECT_EQ(circles, 5 + 1) << pluses;
  EXPECT_EQ(pluses / 2, 4 + 1);
  EXPECT_EQ(std::memcmp(&h.m_Rec, &before, sizeof before), 0);
  h.m_Rec.nArrivals = 40;  // n_min 10: nobody qualifies, only the frame remains
  dc = Draw(20);
  EXPECT_TRUE(HasText(*dc, "Test"));
  EXPECT_FALSE(HasText(*dc, "Fault("));
}

// A thrust and a normal fault: the solution prints the slip's sense on both planes, each
// rake within -180..180.
TEST_F(HypoPlots, MeanMechanismFindsTheMechanismThatMadeTheFirstMotions) {
  CAEHypo& h = *doc.m_pHypo;
  const int n = h.m_nSensors;  // 16 on two rings above and below the source
  for (const double rake : {90.0, -90.0}) {
    SCOPED_TRACE(rake);
    double M[9];
    MomentTensorFromAngles(0, 0, 30, 60, rake, M);
    AEHRecord r{};
    r.nArrivals = static_cast<std::int8_t>(n);
    for (int k = 0; k < n; ++k) {
      const double a = k * 2 * std::numbers::pi / 8 + (k / 8) * 0.4;
      const double z = k < 8 ? -40.0 : 40.0;
      h.m_pSensorXYZ[k] = KZ_Point3D{25 * std::cos(a), 25 * std::sin(a), z};
      h.m_pSensorSign[k] = 1;
      // The ray as the search takes it: compass azimuth, take-off from below.
      KZ_Vector3D ray(25 * std::cos(a), 25 * std::sin(a), z);
      ray.Normalize();
      double phi = 0, theta = 0;
      ray.GetAxisAngles(&phi, &theta);
      const double deg = 180 / std::numbers::pi;
      const double amp = RadiationAmplitude(M, 180 - theta * deg, 90 - phi * deg, 1);
      r.nSensor[k] = static_cast<std::int8_t>(k);
      r.nPolarity[k] = static_cast<std::int8_t>(amp >= 0 ? 1 : -1);
      r.fSN[k] = 10;
    }
    std::vector<BYTE> bytes(static_cast<std::size_t>(AEH_HEADER_SIZE + 18 * n));
    AEH_EncodeRecord(r, n, bytes.data());
    h.m_fpAEH = std::make_unique<plat::File>();
    ASSERT_TRUE(h.m_fpAEH->OpenMemory(bytes, false));
    h.m_nRecSize = static_cast<int>(bytes.size());
    h.m_nAE = 1;
    doc.m_EventList.clear();
    Add(0, 0, 0, 10, n);
    auto dc = Draw(20);
    std::string solution;
    for (const DcOp* op : dc->OpsOf(DcOpKind::Text))
      if (op->text.rfind("Fault(", 0) == 0) solution = op->text;
    ASSERT_FALSE(solution.empty());
    float s1, d1, r1, s2, d2, r2;
    ASSERT_EQ(std::sscanf(solution.c_str(), "Fault(Strike/dip/rake): %f/%f/%f,  %f/%f/%f", &s1,
                          &d1, &r1, &s2, &d2, &r2),
              6);
    EXPECT_EQ(TextsOnColour(*dc), 0);  // the solution stands on the page, not on a box
    for (const float printed : {r1, r2}) {
      EXPECT_GT(printed * rake, 0) << solution;  // the same sense of slip on either plane
      EXPECT_TRUE(printed >= -180 && printed <= 180) << solution;
    }
  }
}

// The mean mechanism's misfit grid is written beside the experiment's parameter file and
// nowhere in the current folder (not even where "C:/temp1" would lead there).
TEST_F(HypoPlots, MeanMechanismGridFileGoesBesideTheParameterFile) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(TV_TEST_TMPDIR) / "MeanMechanismGridFile";
  fs::remove_all(root);
  fs::create_directories(root / "exp");
  fs::create_directories(root / "cwd" / "C:" / "temp1");
  CAEHypo& h = *doc.m_pHypo;
  h.m_strParFile = (root / "exp" / "Cube.pad").string();
  Catalogue({{5, 5}});
  Add(0, 0, 0, 10);
  const std::string previous = plat::GetCurrentFolder();
  ASSERT_TRUE(plat::SetCurrentFolder((root / "cwd").string()));
  Draw(20);
  plat::SetCurrentFolder(previous);
  EXPECT_FALSE(fs::exists(root / "cwd" / "C:" / "temp1" / "Meca.lm3"));
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(root / "cwd"), {}), 2);  // C:, temp1
  const fs::path grid = root / "exp" / "Meca.lm3";
  ASSERT_TRUE(fs::exists(grid));
  EXPECT_EQ(fs::file_size(grid), 28u + 2u * 72 * 36 * 72);
}

TEST_F(HypoPlots, TriangleDiagramPrintsZeroCounts) {
  Add(0, 0, 0, 10);
  auto dc = Draw(21);
  EXPECT_TRUE(HasText(*dc, "Test, Normal:0, Reverse:0, Strike-slip:0, Other:0"));
  EXPECT_EQ(TextsOnColour(*dc), 0);  // the line under the diagram stands on the page
  EXPECT_GT(dc->OpsOf(DcOpKind::FillSolidRect).size(), 100u);
  EXPECT_EQ(dc->OpsOf(DcOpKind::Polyline).size(), 3u);
}

// Every event's mark, and every outline, lies on the page of every plot type that draws
// the specimen, for a squat cube and for a tall, slim cylinder, whatever their events'
// places inside them.
TEST_F(HypoPlots, EveryMarkLiesOnThePageForAnySpecimenShape) {
  struct Shape {
    const char* name;
    int box;
    float d, x, y, z;
  } shapes[] = {{"cube", 1, 50, 50, 50, 50}, {"tall cylinder", 0, 20, 20, 20, 120}};
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    CAEHypo& h = *doc.m_pHypo;
    h.m_nShape = shape.box;
    h.m_fDiameter = shape.d;
    h.m_fSizeX = shape.x;
    h.m_fSizeY = shape.y;
    h.m_fSizeZ = shape.z;
    h.m_fFaultLen = shape.z / 2;
    h.m_fFaultWidth = shape.x / 2;
    h.m_bUnselected = 1;
    doc.m_EventList.clear();
    // Events at the corners and edge middles of the specimen, on and off the mantle,
    // top to bottom; one before the window for the grey marks.
    const float hx = 0.49f * shape.x, hy = 0.49f * shape.y, hz = 0.49f * shape.z;
    const float rr = shape.box ? 1.0f : 0.7f;  // a cylinder's corners lie on its mantle
    int i = 0;
    for (const float z : {-hz, 0.0f, hz})
      for (const float x : {-hx * rr, 0.0f, hx * rr})
        for (const float y : {-hy * rr, 0.0f, hy * rr}) Add(x, y, z, 10.0 + 10 * i++, 16);
    Add(-hx * rr, hy * rr, hz, -5.0, 16);
    view.OnInitialUpdate();
    for (const int type : {0, 1, 5, 6, 7, 10, 11, 13}) {
      SCOPED_TRACE("type " + std::to_string(type));
      doc.m_pHypo->m_nPlotType = type;
      view.OnUpdate(nullptr, HINT_LOC, nullptr);
      const auto dc = Record();
      const int W = view.m_nScrollW, H = view.m_nScrollH;
      int marks = 0, off = 0;
      auto onPage = [&](POINT p) { return p.x >= 0 && p.x <= W && p.y <= 0 && p.y >= -H; };
      for (const DcOp& op : dc->Ops()) {
        std::vector<POINT> pts = op.points;
        if (op.kind == DcOpKind::Ellipse || op.kind == DcOpKind::Rectangle) {
          pts = {POINT{op.rect.left, op.rect.top}, POINT{op.rect.right, op.rect.bottom}};
          ++marks;
        } else if (op.kind != DcOpKind::LineTo && op.kind != DcOpKind::Polyline &&
                   op.kind != DcOpKind::Polygon) {
          continue;
        }
        for (const POINT& p : pts)
          if (!onPage(p)) {
            if (++off <= 3)
              ADD_FAILURE() << "point (" << p.x << ", " << p.y << ") of op "
                            << static_cast<int>(op.kind) << " off the page " << W << " x " << H;
          }
      }
      EXPECT_EQ(off, 0);
      EXPECT_GT(marks, 0);
    }
  }
}

// The correlation-integral plot keeps its markers and lines inside its frame, also where
// the integrals fall below the axis's floor (few events far apart).
TEST_F(HypoPlots, CorrelationIntegralStaysInsideItsFrame) {
  for (int i = 0; i < 12; ++i) Add(-20.0f + 3.5f * i, (i % 3) * 5.0f, -40.0f + 7 * i, 10.0 + i);
  const auto dc = Draw(15);
  const int left = view.m_ptOrigin.x + 500, top = view.m_ptOrigin.y, right = left + 8000,
            bottom = top - 8000;
  auto inside = [&](POINT p) {
    return p.x >= left && p.x <= right && p.y <= top && p.y >= bottom;
  };
  int curves = 0;
  for (const DcOp& op : dc->Ops()) {
    // The markers (the only ellipses) and the coloured lines (the curve and the fit).
    const bool marker = op.kind == DcOpKind::Ellipse;
    const bool line = (op.kind == DcOpKind::LineTo || op.kind == DcOpKind::Polyline) &&
                      (op.state.pen.Color() == RGB(0, 0, 255) || op.state.pen.Color() == RGB(255, 0, 0));
    if (!marker && !line) continue;
    ++curves;
    std::vector<POINT> pts = op.points;
    if (marker) pts = {POINT{op.rect.left, op.rect.top}, POINT{op.rect.right, op.rect.bottom}};
    for (const POINT& p : pts)
      EXPECT_TRUE(inside(p)) << static_cast<int>(op.kind) << ": " << p.x << ", " << p.y;
  }
  EXPECT_GT(curves, 10);
}

// Events of the sensor map show on screen also with laboratory magnitudes (negative Mw)
// and the usual marker scale.
TEST_F(HypoPlots, SensorMapEventsShowOnScreenWithNegativeMagnitudes) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nShape = 1;
  h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = h.m_fSizeZ = 50;
  h.m_fHypoScale = 40;
  view.OnInitialUpdate();
  for (int i = 0; i < 3; ++i) Add(-15.0f + 15 * i, -15.0f + 15 * i, 0, 10.0 + i, 16, 1, -3.0f);
  h.m_nPlotType = 0;
  view.OnUpdate(nullptr, HINT_LOC, nullptr);
  view.BackingImage();
  const QImage& page = view.PagePicture();
  ASSERT_FALSE(page.isNull());
  int red = 0;
  for (int y = 0; y < page.height(); ++y)
    for (int x = 0; x < page.width(); ++x) red += page.pixel(x, y) == qRgb(255, 0, 0);
  EXPECT_GE(red, 6 * 4);  // each event twice, each disc at least 2 x 2 pixels
}
