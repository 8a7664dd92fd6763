#include "views/source/SourceView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"
#include "base/numerics/KZ_EQMT.h"
#include "platform/File.h"
#include "platform/RecordingDc.h"
#include "base/plot/view/KZ_View_testkit.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"

namespace fs = std::filesystem;
using plat::DcOpKind;

namespace {

// Runs nothing on a command: records which one a click chose.
class ClickView : public CSourceView {
 public:
  bool OnCmdMsg(UINT id, plat::CCmdUI* ui) override {
    if (ui) return CSourceView::OnCmdMsg(id, ui);
    ran.push_back(id);
    return true;
  }
  std::vector<UINT> ran;
};

// Four sensors around a hypocentre at the origin: due east on the horizon, north 45
// degrees up, west on the horizon, and one straight above on the axis. A catalogue of
// `kRecords` records, all with four arrivals.
constexpr int kRecords = 5;

class SourcePage : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    doc.m_pHypo = std::make_unique<CAEHypo>();
    doc.m_pWave = std::make_unique<CAEWave>();
    CAEHypo& h = *doc.m_pHypo;
    h.m_nSensors = 4;
    h.m_pSensorXYZ[0] = {10, 0, 0};
    h.m_pSensorXYZ[1] = {0, 10, 10};
    h.m_pSensorXYZ[2] = {-10, 0, 0};
    h.m_pSensorXYZ[3] = {0, 0, 10};
    for (int s = 0; s < 4; ++s) h.m_pSensorSign[s] = 1.0f;
    h.m_strTitle = "Test run";
    ASSERT_TRUE(doc.m_pWave->Allocate(4, 1024, 10));
    path = std::string(TV_TEST_TMPDIR) + "/source_page.aeh";
    { std::ofstream(path, std::ios::binary); }
    h.m_fpAEH = std::make_unique<plat::File>();
    ASSERT_TRUE(h.m_fpAEH->Open(path, "r+b"));
    h.m_nRecSize = 128 + 18 * 4;
    h.m_nHeaderSize = 128;
    for (int i = 0; i < kRecords; ++i) {
      h.m_Rec = Record(i, 0);
      ASSERT_TRUE(h.PutAEH(i, false));
    }
    ASSERT_TRUE(h.GetAEH(0));
    view.SetData(&doc);
    view.resize(800, 800);
    view.OnInitialUpdate();
  }
  void TearDown() override {
    doc.m_pHypo->m_fpAEH.reset();
    fs::remove(path);
  }
  static AEHRecord Record(int index, int type) {
    AEHRecord r{};
    r.nIndex = index;
    r.nArrivals = 4;
    r.nMecType = static_cast<std::int8_t>(type);
    for (int s = 0; s < 4; ++s) {
      r.nSensor[s] = static_cast<std::int8_t>(s);
      r.nPolarity[s] = static_cast<std::int8_t>(s % 2 ? -1 : 1);
      r.fAmp[s] = 10.0f;
      r.fSN[s] = 5.0f;
    }
    r.fStrike = 30;
    r.fDip = 60;
    r.fRake = 90;
    return r;
  }
  std::unique_ptr<plat::RecordingDc> Record() {
    auto dc = std::make_unique<plat::RecordingDc>();
    view.DrawPlot(dc.get());
    return dc;
  }
  // The last text op saying `text` (sensor numbers come after the mechanism drawings,
  // whose colour bar has numbers of its own).
  static const plat::DcOp* Text(const plat::RecordingDc& dc, const std::string& text) {
    const plat::DcOp* found = nullptr;
    for (const plat::DcOp* op : dc.OpsOf(DcOpKind::Text))
      if (op->text == text) found = op;
    return found;
  }
  std::vector<std::uint8_t> CatalogueBytes() const {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  ClickView view;
  std::string path;
};

}  // namespace

// Sensor marks sit at R = 4000 tan(theta/2) from the sphere's centre; a shear record (types
// 1 and 5) moves them onto the beach ball's sphere and gets the radiation pattern.
TEST_F(SourcePage, MarksHeadingAndSpheresByType) {
  struct Case {
    int type;
    const char* heading;
    int xCentre;
  };
  const Case cases[] = {{0, "S(0 0 0) AE#(0)", 5000},
                        {1, "S(0 0 0) AE#(0), Type-S", 15000},
                        {2, "S(0 0 0) AE#(0), Type-T", 5000},
                        {5, "S(0 0 0) AE#(0), Type-S", 15000},
                        {7, "S(0 0 0) AE#(0)", 5000}};
  const double r45 = 4000 * std::tan(std::numbers::pi / 8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    doc.m_pHypo->m_Rec.nMecType = static_cast<std::int8_t>(c.type);
    auto dc = Record();
    ASSERT_NE(Text(*dc, c.heading), nullptr);
    ASSERT_NE(Text(*dc, "Test run"), nullptr);
    // Sensor numbers are written at (X + 200, Y + 10).
    struct Mark {
      const char* n;
      double x, y;
    };
    for (const Mark m :
         {Mark{"1", c.xCentre + 4000.0, -4500}, Mark{"2", c.xCentre + 0.0, -4500 + r45},
          Mark{"3", c.xCentre - 4000.0, -4500}, Mark{"4", c.xCentre + 0.0, -4500}}) {
      const plat::DcOp* t = Text(*dc, m.n);
      ASSERT_NE(t, nullptr) << m.n;
      EXPECT_NEAR(t->points[0].x - 200, m.x, 1.0) << m.n;
      EXPECT_NEAR(t->points[0].y - 10, m.y, 1.0) << m.n;
    }
    // The beach ball's sphere comes with the shear types only: any op right of x = 11000.
    bool right = false;
    for (const plat::DcOp& op : dc->Ops())
      for (const POINT& p : op.points) right = right || p.x > 11000;
    EXPECT_EQ(right, c.xCentre == 15000);
  }
}

// Arrival slots get a V mark and a circle scaled by amplitude; the other slots a 100-unit
// circle when they have a polarity and always a 200-unit dash. Slots naming no sensor of
// the table are left out; the on-axis sensor is drawn without a division by zero.
TEST_F(SourcePage, ArrivalsDashesAndBadSensorIndices) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_Rec.nArrivals = 2;
  h.m_Rec.nPolarity[3] = 0;
  h.m_nMecSensCorr = 2;
  auto dc = Record();
  const auto ellipses = dc->OpsOf(DcOpKind::Ellipse);
  // The sphere, two arrival circles (amplitudes give 100..500), slot 2's 100-unit circle.
  ASSERT_EQ(ellipses.size(), 4u);
  EXPECT_EQ(ellipses[3]->rect.right - ellipses[3]->rect.left, 200);
  int dashes = 0, vs = 0;
  for (const plat::DcOp* op : dc->OpsOf(DcOpKind::Polyline)) vs += op->points.size() == 3;
  for (const plat::DcOp* op : dc->OpsOf(DcOpKind::LineTo))
    dashes += op->points.size() == 2 && op->points[0].y == op->points[1].y &&
              std::abs(op->points[1].x - op->points[0].x) == 200;
  EXPECT_EQ(vs, 2);
  EXPECT_EQ(dashes, 2);

  h.m_Rec.nSensor[1] = 40;
  h.m_Rec.nSensor[2] = -3;
  h.m_Rec.nArrivals = 4;
  view.m_bShowWave = 1;
  doc.m_pWave->m_pPickTime[0] = 100.0f;  // sample 1000: the snippet runs past the record
  auto bad = Record();
  EXPECT_EQ(Text(*bad, "41"), nullptr);
  EXPECT_NE(Text(*bad, "1"), nullptr);
  int snippets = 0;
  for (const plat::DcOp* op : bad->OpsOf(DcOpKind::Polyline))
    if (op->points.size() > 3) {
      ++snippets;
      EXPECT_EQ(op->points.size(), 1024u - (1000 - 19));
      EXPECT_EQ(op->points[0].x, 9000 - 380);  // sensor 1 east on the horizon: X = 9000
    }
  EXPECT_EQ(snippets, 1);
}

// Location reorders the arrival slots: polarity and S/N are read from the slot, the
// amplitude from the sensor the slot names. Each sensor's circle, fill and tick must be its
// own, whatever slot it sits in.
TEST_F(SourcePage, SlotsOutOfSensorOrder) {
  CAEHypo& h = *doc.m_pHypo;
  AEHRecord& r = h.m_Rec;
  r.nMecType = 0;
  h.m_nMecSensCorr = 0;
  const int slotSensor[4] = {2, 0, 3, 1};
  const int slotPol[4] = {-1, 1, -1, 1};
  const float slotSN[4] = {2.0f, 4.0f, 6.0f, 8.0f};
  const float sensorAmp[4] = {40.0f, 10.0f, 30.0f, 20.0f};
  for (int i = 0; i < 4; ++i) {
    r.nSensor[i] = static_cast<std::int8_t>(slotSensor[i]);
    r.nPolarity[i] = static_cast<std::int8_t>(slotPol[i]);
    r.fSN[i] = slotSN[i];
    r.fAmp[i] = sensorAmp[i];
  }
  view.m_bShowWave = 1;
  for (float& t : doc.m_pWave->m_pPickTime) t = 20.0f;  // sample 200
  auto dc = Record();
  const double k = 150.0 / (40.0 + 0.1);
  for (int i = 0; i < 4; ++i) {
    const int s = slotSensor[i];
    SCOPED_TRACE(s);
    const plat::DcOp* t = Text(*dc, std::to_string(s + 1));
    ASSERT_NE(t, nullptr);
    const int X = t->points[0].x - 200, Y = t->points[0].y - 10;
    const plat::DcOp* circle = nullptr;
    for (const plat::DcOp* op : dc->OpsOf(DcOpKind::Ellipse))
      if ((op->rect.left + op->rect.right) / 2 == X && (op->rect.top + op->rect.bottom) / 2 == Y)
        circle = op;
    ASSERT_NE(circle, nullptr);
    const int radius = std::clamp(static_cast<int>(sensorAmp[s] * k), 100, 500);
    EXPECT_EQ((circle->rect.right - circle->rect.left) / 2, radius);
    EXPECT_EQ(circle->state.brush.Color(), slotPol[i] < 0 ? RGB(0, 0, 0) : RGB(255, 255, 255));
    // The tick runs from the mark up for an up motion, down for a down motion.
    const int L = static_cast<int>(slotSN[i] * 50.0f);
    bool tick = false;
    for (const plat::DcOp* op : dc->OpsOf(DcOpKind::LineTo))
      tick = tick || (op->points[0].x == X && op->points[0].y == Y && op->points[1].x == X &&
                      op->points[1].y == Y + slotPol[i] * L);
    EXPECT_TRUE(tick);
  }
}

TEST_F(SourcePage, ClickZonesAndDrags) {
  const POINT origin = view.PageFromClient({0, 0});
  const POINT far = view.PageFromClient({800, 800});
  const int w = far.x - origin.x;
  struct Case {
    int x;
    UINT id;
  };
  for (const Case c :
       {Case{w / 10, CSourceView::ID_SRC_PREVSHEAR}, Case{w / 2, CSourceView::ID_SRC_SHEAR},
        Case{w * 9 / 10, CSourceView::ID_SRC_NEXTSHEAR}})
    EXPECT_EQ(view.ZoneCommand({c.x, -100}), c.id) << c.x;

  view.OnLButtonDown(0, {80, 100});
  view.OnLButtonUp(0, {82, 100});
  view.OnLButtonDown(0, {400, 100});
  view.OnLButtonUp(0, {404, 100});  // four pixels at 96 dpi are 105 units: a drag
  view.OnLButtonDown(0, {720, 100});
  view.OnLButtonUp(0, {720, 103});
  EXPECT_EQ(view.ran,
            (std::vector<UINT>{CSourceView::ID_SRC_PREVSHEAR, CSourceView::ID_SRC_NEXTSHEAR}));
}

// A locked record and a record the catalogue has moved away from are refused with the
// catalogue left byte for byte; an open record is written at its own index.
TEST_F(SourcePage, ClassificationWritesOnlyTheCurrentRecord) {
  CAEHypo& h = *doc.m_pHypo;
  ASSERT_TRUE(h.GetAEH(2));
  const auto before = CatalogueBytes();
  {
    plat::testing::ScriptedUi ui;
    h.m_Rec.nFlags |= AEH_FLAG_LOCKED;
    for (UINT id :
         {CSourceView::ID_SRC_SHEAR, CSourceView::ID_SRC_TENSILE, CSourceView::ID_SRC_CLOSURE})
      view.CSourceView::OnCmdMsg(id, nullptr);
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>(3, "Locked event!"));
    EXPECT_EQ(CatalogueBytes(), before);
    EXPECT_TRUE(host.Hints().empty());
  }
  h.m_Rec.nFlags = 0;
  {
    plat::testing::ScriptedUi ui;
    // "Next event" past the end: the read fails, the record stays, the index moves on.
    ASSERT_TRUE(h.GetAEH(kRecords - 1));
    view.CSourceView::OnCmdMsg(CSourceView::ID_SRC_NEXT, nullptr);
    EXPECT_EQ(h.m_nCurAE, kRecords);
    EXPECT_EQ(h.m_Rec.nIndex, kRecords - 1);
    view.CSourceView::OnCmdMsg(CSourceView::ID_SRC_TENSILE, nullptr);
    EXPECT_EQ(CatalogueBytes(), before);
    EXPECT_EQ(ui.Beeps().size(), 1u);
    ASSERT_EQ(ui.PaneTexts().size(), 1u);
    EXPECT_EQ(ui.PaneTexts()[0].pane, 0);
    EXPECT_EQ(h.GetNumAE(), kRecords);
  }
  ASSERT_TRUE(h.GetAEH(2));
  view.CSourceView::OnCmdMsg(CSourceView::ID_SRC_CLOSURE, nullptr);
  EXPECT_EQ(host.Hints(), std::vector<LONG>{16});
  AEHRecord back{};
  ASSERT_TRUE(h.GetAEH(2, &back));
  EXPECT_EQ(back.nMecType, 3);
  ASSERT_TRUE(h.GetAEH(3, &back));
  EXPECT_EQ(back.nMecType, 0);
}

// The searches start beside the current record, so they step from one shear record to
// the next; when none is found the current record stays. Only a changed event loads its
// waveform and sends hint 31.
TEST_F(SourcePage, ShearSearches) {
  CAEHypo& h = *doc.m_pHypo;
  for (int i : {1, 3}) {
    h.m_Rec = Record(i, i == 1 ? 1 : 5);
    ASSERT_TRUE(h.PutAEH(i, false));
  }
  struct Case {
    int start, step;
    int endRecord;
    bool hint;
  };
  const Case cases[] = {
      {0, 1, 1, true},    // up to the type-1 record
      {1, 1, 3, true},    // from a shear record on to the next one
      {3, -1, 1, true},   // and back
      {3, 1, 3, false},   // nothing above: the record stays
      {1, -1, 1, false},  // record 0 is never read: the record stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start * 10 + c.step);
    host.updates.clear();
    ASSERT_TRUE(h.GetAEH(c.start));
    view.OnShearSearch(c.step);
    EXPECT_EQ(h.m_Rec.nIndex, c.endRecord);
    EXPECT_EQ(h.m_nCurAE, c.endRecord);
    EXPECT_EQ(host.Hints(), c.hint ? std::vector<LONG>{31} : std::vector<LONG>{});
  }
}

// The page drawn at 96 dpi: the radiation pattern is red (compressional first motions)
// around the mechanism's T axis and blue (dilatational) around its P axis.
TEST_F(SourcePage, BeachBallQuadrantsAgreeWithTheAxes) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_nSensors = 0;  // no sensor marks over the sphere
  h.m_Rec.nMecType = 1;
  // Both axes plunge about 43 degrees: each lies well inside the ball, in the middle of
  // its quadrant.
  h.m_Rec.fStrike = 20;
  h.m_Rec.fDip = 15;
  h.m_Rec.fRake = 0;
  KZ_EQMT mt;
  const double deg = std::numbers::pi / 180;
  mt.SetMechanism(20 * deg, 15 * deg, 0);

  const double px = 96.0 / 2540;
  QImage image(static_cast<int>(20000 * px) + 1, static_cast<int>(20000 * px) + 1,
               QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    plat::CImageDC dc(&image, 96, 96);
    dc.SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(&dc);
  }
  // An axis (pointing down) in the stereographic lower-hemisphere projection on the
  // radiation sphere at (5000, -4500), moved 250 units sideways off the axis' own mark.
  auto probe = [&](const KZ_Vector3D& axis) {
    const double theta = std::acos(-axis.z), hr = std::hypot(axis.x, axis.y);
    EXPECT_GT(theta, 15 * deg);
    EXPECT_LT(theta, 75 * deg);
    const double r = 4000 * std::tan(theta / 2);
    const double ux = axis.x / hr, uy = axis.y / hr;
    const double x = 5000 + r * ux - 250 * uy, y = -4500 + r * uy + 250 * ux;
    return image.pixelColor(static_cast<int>(x * px), static_cast<int>(-y * px));
  };
  const QColor t = probe(mt.T), p = probe(mt.P);
  EXPECT_GT(t.red(), 200);
  EXPECT_LT(t.blue(), 80);
  EXPECT_GT(p.blue(), 200);
  EXPECT_LT(p.red(), 80);
}

// The page picture the view renders (radiation cells and fills written straight into the
// bitmap, sensor discs from sprites) is the picture of the same page drawn through the
// painter alone, for shear events of several mechanisms.
TEST_F(SourcePage, PagePictureIsThePainterOnes) {
  CAEHypo& h = *doc.m_pHypo;
  h.m_Rec.nMecType = 1;
  for (const float strike : {0.0f, 30.0f, 137.0f}) {
    SCOPED_TRACE(strike);
    h.m_Rec.fStrike = strike;
    h.m_Rec.fRake = strike - 90;
    view.OnUpdate(nullptr, HINT_SOURCE, nullptr);
    const QImage drawn = plat::PackedDibToImage(view.m_hDIB.data(), view.m_hDIB.Size());
    ASSERT_FALSE(drawn.isNull());
    const auto [inked, differ] = kz_test::CompareWithPlainDrawing(view, drawn);
    EXPECT_GT(inked, 50000);
    EXPECT_LE(differ, 20);  // the odd edge pixel of a stamped disc
  }
}
