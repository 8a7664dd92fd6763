#include "views/gl/GLScene.h"

#include <gtest/gtest.h>

#include <cmath>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/document/TremviaDoc.h"
#include "base/plot/KZ_Pal1C.h"
#include "platform/testing/FakeDocumentHost.h"

namespace {

// A cylinder 50 mm across and 100 mm long (scale 0.15) with four sensors, the third
// position marked "Empty"; the window is 0..100 s with start and reference times equal.
class Scene3D : public testing::Test {
 protected:
  void SetUp() override {
    doc.m_pHypo = std::make_unique<CAEHypo>();
    CAEHypo& h = *doc.m_pHypo;
    h.m_nShape = 0;
    h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = 50;
    h.m_fSizeZ = 100;
    h.m_nSensors = 4;
    h.m_pSensorXYZ[0] = {25, 0, 10};
    h.m_pSensorXYZ[1] = {0, 25, -10};
    h.m_pSensorXYZ[2] = {-25, 0, 0};
    h.m_pSensorXYZ[3] = {0, 0, 50};  // on the end face
    for (int i = 0; i < 4; ++i) h.m_pSensorName[i] = "S" + std::to_string(i);
    h.m_pSensorName[2] = "Empty";
    h.m_nMinArrivals = 4;
    h.m_nClassMask = 0x01;
    h.m_fHypoScale = 40;  // f = 0.2
    h.m_tmStart.tm_year = h.m_tmRef.tm_year = 120;
    h.m_tmStart.tm_mday = h.m_tmRef.tm_mday = 1;
    doc.m_fTimeStart = 0;
    doc.m_fTimeSpan = 100;
  }
  void Add(double t, float mw, int arrivals = 10, std::uint8_t flags = 0) {
    auto e = std::make_unique<AEEventEntry>();
    e->x = 1;
    e->y = 2;
    e->z = 3;
    e->time = t;
    e->Mw = mw;
    e->arrivals = static_cast<std::int16_t>(arrivals);
    e->flags = flags;
    doc.m_EventList.push_back(std::move(e));
  }
  static std::vector<const GLPrim*> Of(const GLScene& s, GLPrim::Kind kind) {
    std::vector<const GLPrim*> out;
    for (const GLPrim& p : s.prims)
      if (p.kind == kind) out.push_back(&p);
    return out;
  }
  static std::vector<std::string> Texts(const GLScene& s) {
    std::vector<std::string> out;
    for (const GLPrim* p : Of(s, GLPrim::Text)) out.push_back(p->text);
    return out;
  }
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  const float s = GLSceneScale(50, 100);
};

}  // namespace

TEST_F(Scene3D, SpecimenOutlineAtScale) {
  EXPECT_FLOAT_EQ(s, 0.15f);
  EXPECT_FLOAT_EQ(GLSceneScale(80, 80), 15.0f / 80);
  const GLScene scene = BuildGLScene(doc, s);
  const auto strips = Of(scene, GLPrim::LineStrip);
  ASSERT_EQ(strips.size(), 3u);
  const float z[] = {-7.5f, 0, 7.5f};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(strips[i]->points.size(), 31u);
    EXPECT_EQ(strips[i]->colour, (std::array<float, 3>{0, 0, 1}));
    for (const auto& p : strips[i]->points) {
      EXPECT_NEAR(std::hypot(p[0], p[1]), 3.75, 1e-5);
      EXPECT_FLOAT_EQ(p[2], z[i]);
    }
  }
}

// Spheres and crosses for every event in the window; sensor numbers only below 50 events;
// an empty list gives the numbers but no sensor crosses; "Empty" positions are skipped.
TEST_F(Scene3D, EventsSensorsAndNumbers) {
  struct Case {
    int events;
    int marks;
    bool numbers;
  };
  for (const Case c : {Case{0, 0, true}, Case{3, 3, true}, Case{49, 3, true}, Case{50, 3, false}}) {
    SCOPED_TRACE(c.events);
    doc.m_EventList.clear();
    for (int i = 0; i < c.events; ++i) Add(1.0 + i, 1.0f);
    const GLScene scene = BuildGLScene(doc, s);
    EXPECT_EQ(scene.nEvents, c.events);
    EXPECT_EQ(static_cast<int>(scene.spheres.size()), c.events);
    EXPECT_EQ(static_cast<int>(scene.crosses.size()), 6 * c.events);
    EXPECT_EQ(scene.nSensorMarks, c.marks);
    const std::vector<std::string> numbers{"1", "2", "4"};
    EXPECT_EQ(Texts(scene), c.numbers ? numbers : std::vector<std::string>());
  }
}

// Only events inside the window, with enough arrivals and a flag byte of 0 or one sharing
// a bit with the class mask count.
TEST_F(Scene3D, EventSelection) {
  Add(-1, 1);            // before the window
  Add(10, 1);            // counts
  Add(20, 1, 3);         // too few arrivals
  Add(30, 1, 10, 0x02);  // class not in the mask
  Add(40, 1, 10, 0x03);  // shares bit 0: counts
  Add(150, 1);           // after the window
  const GLScene scene = BuildGLScene(doc, s);
  EXPECT_EQ(scene.nEvents, 2);
  EXPECT_EQ(scene.nSpheres, 2);
}

// Mw within 0..5 sizes by Mw (at least 0.5), outside by 0.02 per arrival (at least 0.5);
// crosses take the palette colour of their running number from 0, spheres from 1.
TEST_F(Scene3D, SizesAndColours) {
  struct Case {
    float mw;
    int arrivals;
    float size;  // before the factors f = 0.2 and s
  };
  const Case cases[] = {
      {2.0f, 10, 2.0f}, {0.2f, 10, 0.5f}, {-1.0f, 30, 0.6f}, {7.0f, 10, 0.5f}, {5.0f, 10, 5.0f}};
  for (const Case& c : cases) Add(1, c.mw, c.arrivals);
  const GLScene scene = BuildGLScene(doc, s);
  ASSERT_EQ(scene.spheres.size(), std::size(cases));
  ASSERT_EQ(scene.crosses.size(), 6 * std::size(cases));
  KZ_Pal1C pal;
  pal.SetRange(0, 5, 0, 360, 3);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const GLSphere& sphere = scene.spheres[i];
    const float q = 0.2f * cases[i].size * s;
    EXPECT_NEAR(sphere.radius, q, 1e-6);
    EXPECT_EQ(sphere.centre, (std::array<float, 3>{s * 1, s * 2, s * 3}));
    std::array<float, 3> want{};
    pal.ValueToRGBf(static_cast<float>(i), &want[0], &want[1], &want[2], 1);
    // Three line pairs through the centre, q to either side along x, y and z.
    for (int k = 0; k < 6; ++k) {
      const GLVertex& v = scene.crosses[6 * i + k];
      EXPECT_EQ(v.colour, want);
      std::array<float, 3> offset = sphere.centre;
      offset[k / 2] += k % 2 ? q : -q;
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(v.p[a], offset[a], 1e-6);
    }
    pal.ValueToRGBf(static_cast<float>(i + 1), &want[0], &want[1], &want[2], 1);
    EXPECT_EQ(sphere.colour, want);
  }
  EXPECT_NE(scene.crosses[0].colour, scene.crosses[6].colour);
}

// Without a catalogue engine there is nothing to draw; sensor counts past the table are cut.
TEST_F(Scene3D, BadInput) {
  doc.m_pHypo->m_nSensors = 40;
  doc.m_pHypo->m_nExtraPoints1 = 20;
  EXPECT_NO_THROW(BuildGLScene(doc, s));
  doc.m_pHypo.reset();
  EXPECT_TRUE(BuildGLScene(doc, s).prims.empty());
}
