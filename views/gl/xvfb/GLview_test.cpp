// The 3-D page on a real (virtual-display, software-rendered) OpenGL surface.
#include "views/gl/GLview.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "aecore/catalogue/AEHypo.h"
#include "base/plot/glview/KZ_glText.h"
#include "platform/Gdi.h"
#include "platform/qt/GLHost.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/gl/GLview_testkit.h"

namespace {

using plat::testing::Prompt;

std::string Tmp(const std::string& name) { return std::string(TV_TEST_TMPDIR) + "/" + name; }

int RunTool(const std::string& command, std::string* output) {
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[512];
  output->clear();
  while (std::fgets(buf, sizeof buf, p)) *output += buf;
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

std::pair<int, int> Differences(const QImage& a, const QImage& b);

class TestGLview : public CGLview {
 public:
  bool choose = true;
  int frames = 0;
  int menus = 0;
  bool ChooseCompressor() override { return choose; }
  void OnContextMenu(POINT) override { ++menus; }
  void RenderScene(int mode) override {
    ++frames;
    CGLview::RenderScene(mode);
  }
};

// A 50 x 100 mm cylinder with two sensors and three events, shown in a 200 x 200 view.
class GLPage : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    doc.m_pHypo = std::make_unique<CAEHypo>();
    CAEHypo& h = *doc.m_pHypo;
    h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = 50;
    h.m_fSizeZ = 100;
    h.m_nSensors = 2;
    h.m_pSensorXYZ[0] = {25, 0, 0};
    h.m_pSensorXYZ[1] = {0, 25, 20};
    h.m_nMinArrivals = 1;
    for (int i = 0; i < 3; ++i) {
      auto e = std::make_unique<AEEventEntry>();
      e->x = static_cast<float>(5 * i);
      e->time = 1 + i;
      e->Mw = 2;
      e->arrivals = 8;
      doc.m_EventList.push_back(std::move(e));
    }
    view.SetData(&doc);
    view.resize(200, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    ASSERT_TRUE(view.Host()->isValid()) << "no OpenGL context (is the display a GL one?)";
    view.OnInitialUpdate();
    view.OnUpdate(nullptr, 0, nullptr);
  }
  // Sixty events of five sizes on a helix round the specimen's axis, drawn at a scale that
  // makes the spheres 5 mm in radius at Mw 5, so that spheres and crosses overlap.
  void SixtyEventsOnAHelix() {
    doc.m_pHypo->m_fHypoScale = 200;
    doc.m_EventList.clear();
    for (int i = 0; i < 60; ++i) {
      auto e = std::make_unique<AEEventEntry>();
      e->x = static_cast<float>(20 * std::cos(i * 0.7));
      e->y = static_cast<float>(20 * std::sin(i * 0.7));
      e->z = static_cast<float>(-45 + 1.5 * i);
      e->time = 1 + i;
      e->Mw = static_cast<float>(1 + i % 5);
      e->arrivals = 8;
      doc.m_EventList.push_back(std::move(e));
    }
  }
  // The frame as a top-down RGB image.
  QImage Frame() {
    EXPECT_TRUE(view.MakeCurrent());
    int w = 0, h = 0;
    const std::vector<unsigned char> bgr = KZ_glReadFrame(&w, &h);
    QImage img(w, h, QImage::Format_RGB32);
    const int stride = (w * 3 + 3) / 4 * 4;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char* p = &bgr[static_cast<std::size_t>((h - 1 - y) * stride + 3 * x)];
        img.setPixel(x, y, qRgb(p[2], p[1], p[0]));
      }
    return img;
  }
  plat::testing::ScriptedUi ui;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  TestGLview view;
};

}  // namespace

// White background, the blue specimen outline; every update, whatever its hint, restores
// the viewpoint.
TEST_F(GLPage, RenderAndViewpointReset) {
  EXPECT_FLOAT_EQ(view.m_fScale, 0.15f);
  EXPECT_FLOAT_EQ(view.m_fBounds[1], 25);
  EXPECT_FLOAT_EQ(view.m_fBounds[5], 50);
  const QImage img = Frame();
  ASSERT_EQ(img.width(), 200);
  EXPECT_EQ(img.pixel(2, 2), qRgb(255, 255, 255));
  int blue = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      blue += qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60;
    }
  EXPECT_GT(blue, 100);
  EXPECT_EQ(ui.PaneTexts().back().text, "CGLview::OnUpdate()");

  view.m_fRotZ = 33;
  view.m_fZoom = 5;
  view.m_fPanX = 1;
  view.OnUpdate(nullptr, 0x40, nullptr);  // a hint meant for another page
  EXPECT_FLOAT_EQ(view.m_fRotZ, 0);
  // The camera stands where the rim of the specimen's end face (its farthest point from
  // the centre) lies inside the 45-degree view, with a twentieth of margin.
  const double rim = std::hypot(0.15 * 25, 0.15 * 50);
  EXPECT_NEAR(view.m_fZoom, 1.05 * rim / std::sin(22.5 * M_PI / 180), 1e-3);
  EXPECT_FLOAT_EQ(view.m_fPanX, 0);
}

// The first picture holds the whole specimen: no outline touches the picture's edge, for
// a cube as for the cylinder, in a square, a wide and a tall page.
TEST_F(GLPage, TheFirstPictureShowsTheWholeSpecimen) {
  CAEHypo& h = *doc.m_pHypo;
  for (int cube : {0, 1}) {
    h.m_nShape = cube;
    h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = cube ? 100 : 50;
    for (const QSize size : {QSize(200, 200), QSize(320, 160), QSize(160, 320)}) {
      SCOPED_TRACE(cube * 1000000 + size.width() * 1000 + size.height());
      view.resize(size);
      QTest::qWait(20);
      view.OnUpdate(nullptr, 0, nullptr);
      QCoreApplication::processEvents();
      const QImage img = Frame();
      ASSERT_EQ(img.size(), size);
      int edge = 0, blue = 0;
      for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
          const QRgb p = img.pixel(x, y);
          const bool inked = !Near(p, qRgb(255, 255, 255), 30);
          blue += qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60;
          if (inked && (x < 2 || y < 2 || x >= img.width() - 2 || y >= img.height() - 2)) ++edge;
        }
      EXPECT_EQ(edge, 0);
      EXPECT_GT(blue, 100);
    }
  }
}

// A right drag zooms without opening the popup, a right click without a drag opens it,
// and the wheel zooms: all as the window system delivers them.
TEST_F(GLPage, RightDragAndWheelZoomAndARightClickOpensThePopup) {
  QWindow* win = view.windowHandle();
  ASSERT_NE(win, nullptr);
  const float z0 = view.m_fZoom;
  QTest::mousePress(win, Qt::RightButton, {}, QPoint(100, 100));
  QTest::mouseMove(win, QPoint(100, 90));
  QTest::mouseMove(win, QPoint(100, 80));
  QTest::mouseRelease(win, Qt::RightButton, {}, QPoint(100, 80));
  QCoreApplication::processEvents();
  EXPECT_EQ(view.menus, 0);
  EXPECT_NEAR(view.m_fZoom, z0 * 1.1f * 1.1f, 1e-3);  // dragged up: away

  QTest::mouseClick(win, Qt::RightButton, {}, QPoint(100, 100));
  QCoreApplication::processEvents();
  EXPECT_EQ(view.menus, 1);

  const float z1 = view.m_fZoom;
  QWheelEvent wheel(QPointF(100, 100), view.mapToGlobal(QPointF(100, 100)), QPoint(),
                    QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(win, &wheel);
  EXPECT_NEAR(view.m_fZoom, z1 * 0.9f, 1e-3);  // a notch forward: nearer
  QWheelEvent back(QPointF(100, 100), view.mapToGlobal(QPointF(100, 100)), QPoint(),
                   QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(win, &back);
  EXPECT_NEAR(view.m_fZoom, z1 * 0.9f / 0.81f, 1e-3);
}

// After a change of size (a toolbar docked or floated beside the page) the page shows a
// frame drawn for the new size at once, the one a new drawing gives.
TEST_F(GLPage, AChangeOfSizeShowsAFrameOfTheNewSizeAtOnce) {
  for (const QSize size : {QSize(300, 150), QSize(120, 200), QSize(200, 200)}) {
    SCOPED_TRACE(size.width() * 1000 + size.height());
    view.resize(size);
    QTest::qWait(50);
    const QImage shown = Frame();
    ASSERT_EQ(shown.size(), size);
    view.RenderScene(1);
    const QImage fresh = Frame();
    const auto [differ, inked] = Differences(shown, fresh);
    EXPECT_GT(inked, 100);
    EXPECT_EQ(differ, 0);
  }
}

// A page set up on a document that already holds its events, and shown later without any
// update (a tab page when the program starts on a parameter file), shows the scene an
// update draws.
TEST_F(GLPage, ShownAfterItsInitialUpdateAloneDrawsTheScene) {
  const QImage updated = Frame();
  CGLview page;
  page.SetData(&doc);
  page.resize(200, 200);
  page.OnInitialUpdate();
  page.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  QCoreApplication::processEvents();
  const QImage shown = page.Host()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), updated.size());
  int differ = 0, coloured = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const QRgb p = shown.pixel(x, y);
      differ += !Near(p, updated.pixel(x, y), 40);
      coloured += std::max({qRed(p), qGreen(p), qBlue(p)}) -
                      std::min({qRed(p), qGreen(p), qBlue(p)}) > 80;
    }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(coloured, 100);  // outline and spheres, not a blank page
}

TEST_F(GLPage, SnapshotHasTheViewportsSizeAndReadsBack) {
  const std::string path = Tmp("scene.bmp");
  std::filesystem::remove(path);
  ui.ExpectFileDialog(Prompt::SaveFile, "Save 3D snapshot to bmp file", std::nullopt);
  view.OnCmdMsg(CGLview::ID_GL_SAVEBMP, nullptr);
  EXPECT_FALSE(std::filesystem::exists(path));  // cancelled
  ui.ExpectFileDialog(Prompt::SaveFile, "Save 3D snapshot to bmp file", path);
  view.OnCmdMsg(CGLview::ID_GL_SAVEBMP, nullptr);
  QImage bmp(QString::fromStdString(path));
  ASSERT_FALSE(bmp.isNull());
  EXPECT_EQ(bmp.size(), QSize(200, 200));
  EXPECT_EQ(bmp.pixel(2, 2), qRgb(255, 255, 255));
}

// A spin tick turns the scene 4 degrees and draws it once (a first frame at 2 degrees would
// be replaced before the window shows it); the button shows the state.
TEST_F(GLPage, SpinTimer) {
  view.OnCmdMsg(CGLview::ID_GL_SPIN, nullptr);
  EXPECT_TRUE(view.m_bSpin);
  EXPECT_TRUE(view.HasTimer(CGLview::TIMER_ROTATE));
  plat::CCmdUI state(CGLview::ID_GL_SPIN);
  view.OnCmdMsg(CGLview::ID_GL_SPIN, &state);
  EXPECT_EQ(state.m_nCheck, 1);
  const float before = view.m_fRotZ;
  view.frames = 0;
  view.OnTimer(CGLview::TIMER_ROTATE);
  EXPECT_FLOAT_EQ(view.m_fRotZ, before + 4);
  EXPECT_EQ(view.frames, 1);
  view.OnCmdMsg(CGLview::ID_GL_SPIN, nullptr);
  EXPECT_FALSE(view.m_bSpin);
  EXPECT_FALSE(view.HasTimer(CGLview::TIMER_ROTATE));
}

// A recording that could not be opened starts no timer; a short one holds a frame per tick
// and turns 6 degrees per tick.
TEST_F(GLPage, AviRecording) {
  const std::string path = Tmp("spin.avi");
  std::filesystem::remove(path);
  ui.ExpectFileDialog(Prompt::SaveFile, "Save 3D snapshots to AVI file", std::nullopt);
  view.OnCmdMsg(CGLview::ID_GL_AVI, nullptr);
  view.choose = false;
  ui.ExpectFileDialog(Prompt::SaveFile, "Save 3D snapshots to AVI file", path);
  view.OnCmdMsg(CGLview::ID_GL_AVI, nullptr);
  EXPECT_EQ(view.m_nTimerMode, 0);
  EXPECT_FALSE(view.HasTimer(CGLview::TIMER_AVI));
  ui.ExpectFileDialog(Prompt::SaveFile, "Save 3D snapshots to AVI file",
                      Tmp("no-such-folder/spin.avi"));
  view.choose = true;
  view.OnCmdMsg(CGLview::ID_GL_AVI, nullptr);
  EXPECT_FALSE(view.HasTimer(CGLview::TIMER_AVI));

  ui.ExpectFileDialog(Prompt::SaveFile, "Save 3D snapshots to AVI file", path);
  view.OnCmdMsg(CGLview::ID_GL_AVI, nullptr);
  ASSERT_EQ(view.m_nTimerMode, 2);
  EXPECT_TRUE(view.HasTimer(CGLview::TIMER_AVI));
  const float before = view.m_fRotZ;
  view.frames = 0;
  for (int i = 0; i < 3; ++i) view.OnTimer(CGLview::TIMER_AVI);
  EXPECT_FLOAT_EQ(view.m_fRotZ, before + 18);
  EXPECT_EQ(view.frames, 3);
  view.OnCmdMsg(CGLview::ID_GL_AVI, nullptr);
  EXPECT_EQ(view.m_nTimerMode, 0);
  EXPECT_FALSE(view.HasTimer(CGLview::TIMER_AVI));

  // Walk the RIFF file: three uncompressed frames of 200 x 200 in its "movi" list.
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.substr(0, 4), "RIFF");
  ASSERT_EQ(bytes.substr(8, 4), "AVI ");
  const std::size_t movi = bytes.find("movi");
  ASSERT_NE(movi, std::string::npos);
  int frames = 0;
  for (std::size_t at = movi + 4; at + 8 <= bytes.size();) {
    const std::string id = bytes.substr(at, 4);
    std::uint32_t size = 0;
    std::memcpy(&size, bytes.data() + at + 4, 4);
    if (id == "idx1") break;
    EXPECT_EQ(id, "00db");
    EXPECT_EQ(size, 200u * 200u * 3u);
    ++frames;
    at += 8 + size + (size & 1);
  }
  EXPECT_EQ(frames, 3);
  std::string out;
  if (RunTool("command -v ffprobe", &out) != 0) return;
  RunTool(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,nb_read_frames -of default=nw=1 " +
          path,
      &out);
  EXPECT_EQ(out, "width=200\nheight=200\nnb_read_frames=3\n");
}

namespace {

// Counts the frames the page draws.
class CountingGLview : public CGLview {
 public:
  int frames = 0;
  void RenderScene(int mode) override {
    ++frames;
    CGLview::RenderScene(mode);
  }
};

// The scene as the page drew it call by call before it drew from arrays, as an image.
QImage ReferencePicture(CGLview& view) {
  EXPECT_TRUE(view.MakeCurrent());
  int w = 0, h = 0;
  const std::vector<unsigned char> bgr = gl_test::QuadricsFrame(view, true, &w, &h);
  QImage img(w, h, QImage::Format_RGB32);
  const int stride = (w * 3 + 3) / 4 * 4;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = &bgr[static_cast<std::size_t>((h - 1 - y) * stride + 3 * x)];
      img.setPixel(x, y, qRgb(p[2], p[1], p[0]));
    }
  return img;
}

}  // namespace

// Spheres drawn as shaded points from one array, crosses as one line array: the picture
// is the one the call-per-event drawing made, but for the rim of the spheres (the
// quadric's 8 slices against a round disc). Turned so the crosses and spheres overlap.
TEST_F(GLPage, EventArraysDrawWhatTheQuadricsDrew) {
  SixtyEventsOnAHelix();
  view.OnUpdate(nullptr, 0, nullptr);
  view.m_fRotZ = 30;
  view.RenderScene(1);
  ASSERT_TRUE(view.DrawsSpherePoints()) << "sphere shader not available";
  const QImage ours = Frame();
  const QImage ref = ReferencePicture(view);
  ASSERT_EQ(ours.size(), ref.size());
  int inked = 0, differ = 0, spheres = 0, spheresRef = 0;
  for (int y = 0; y < ref.height(); ++y)
    for (int x = 0; x < ref.width(); ++x) {
      const QRgb a = ours.pixel(x, y), b = ref.pixel(x, y);
      inked += b != qRgb(255, 255, 255);
      differ += !Near(a, b, 40);
      // Event colours: neither white, the specimen's blue nor the sensors' grey.
      auto event = [](QRgb p) {
        return p != qRgb(255, 255, 255) && !(qRed(p) < 60 && qGreen(p) < 60) &&
               !(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
      };
      spheres += event(a);
      spheresRef += event(b);
    }
  ASSERT_GT(spheresRef, 2000);
  EXPECT_NEAR(spheres, spheresRef, spheresRef / 10);
  EXPECT_LT(differ, inked / 8) << differ << " of " << inked << " inked pixels differ";
}

// Where there are no shaders the spheres are meshes of the quadric's faces: the picture is
// the quadrics' but for pixels at cross tips.
TEST_F(GLPage, SphereMeshesDrawWhatTheQuadricsDrew) {
  SixtyEventsOnAHelix();
  view.OnUpdate(nullptr, 0, nullptr);
  view.m_fRotZ = 30;
  view.DrawSphereMeshesOnly(true);
  view.RenderScene(1);
  const QImage ours = Frame();
  const QImage ref = ReferencePicture(view);
  int inked = 0, differ = 0;
  for (int y = 0; y < ref.height(); ++y)
    for (int x = 0; x < ref.width(); ++x) {
      inked += ref.pixel(x, y) != qRgb(255, 255, 255);
      differ += !Near(ours.pixel(x, y), ref.pixel(x, y), 40);
    }
  ASSERT_GT(inked, 2000);
  EXPECT_LT(differ, inked / 50) << differ << " of " << inked << " inked pixels differ";
}

// Shown and left alone, the page draws no further frames.
TEST(GLPageIdle, AnUnchangedPageDrawsNothing) {
  plat::testing::EnsureQtApp();
  plat::testing::ScriptedUi ui;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  doc.m_pHypo = std::make_unique<CAEHypo>();
  doc.m_pHypo->m_fDiameter = 50;
  doc.m_pHypo->m_fSizeZ = 100;
  CountingGLview view;
  view.SetData(&doc);
  view.resize(200, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.OnInitialUpdate();
  view.OnUpdate(nullptr, 0, nullptr);
  QTest::qWait(200);  // the update's frame shown, any repaint it asked for done
  view.frames = 0;
  for (int i = 0; i < 10; ++i) QTest::qWait(50);
  EXPECT_EQ(view.frames, 0);
}

// A page updated while hidden at another size takes its projection from the size it is
// shown at.
TEST(GLPageAspect, FirstPictureHasTheShownAspect) {
  plat::testing::EnsureQtApp();
  plat::testing::ScriptedUi ui;
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  doc.m_pHypo = std::make_unique<CAEHypo>();
  doc.m_pHypo->m_fDiameter = 50;
  doc.m_pHypo->m_fSizeZ = 100;
  CGLview view;
  view.SetData(&doc);
  view.resize(150, 300);
  view.OnInitialUpdate();
  view.OnUpdate(nullptr, 0, nullptr);
  view.resize(400, 200);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QCoreApplication::processEvents();
  ASSERT_TRUE(view.MakeCurrent());
  GLfloat p[16];
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  EXPECT_NEAR(p[5] / p[0], 2.0, 1e-4);  // y scale over x scale: the aspect
}

namespace {
// Pixels that differ by more than 40 in a channel, and the pixels inked in either picture.
std::pair<int, int> Differences(const QImage& a, const QImage& b) {
  int differ = 0, inked = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      inked += p != qRgb(255, 255, 255) || q != qRgb(255, 255, 255);
      differ += !Near(p, q, 40);
    }
  return {differ, inked};
}
}  // namespace

// The crosses of spheres a few pixels wide lie hidden in them and are left out: the picture
// stays the one with every cross drawn but for single pixels at cross tips; where the
// spheres are smaller than that, every cross is drawn and the picture is the same.
TEST_F(GLPage, CrossesHiddenBySpheresAreLeftOut) {
  CAEHypo& h = *doc.m_pHypo;
  auto events = [&](float hypoScale) {
    h.m_fHypoScale = hypoScale;
    doc.m_EventList.clear();
    for (int i = 0; i < 400; ++i) {
      auto e = std::make_unique<AEEventEntry>();
      e->x = static_cast<float>(22 * std::cos(i * 0.37) * std::sin(i * 0.11));
      e->y = static_cast<float>(22 * std::sin(i * 0.37) * std::sin(i * 0.11));
      e->z = static_cast<float>(-48 + 0.24 * i);
      e->time = 1 + i;
      e->Mw = static_cast<float>(0.5 + (i % 10) * 0.5);
      e->arrivals = 8;
      doc.m_EventList.push_back(std::move(e));
    }
    view.OnUpdate(nullptr, 0, nullptr);
    view.m_fRotZ = 20;
  };
  auto picture = [&](bool allCrosses) {
    view.DrawAllCrosses(allCrosses);
    view.RenderScene(1);
    return Frame();
  };
  // Radii of about 1 to 9 pixels, spheres as shaded points and as the meshes drawn where
  // there are no shaders.
  events(200);
  for (bool meshes : {false, true}) {
    SCOPED_TRACE(meshes ? "meshes" : "points");
    view.DrawSphereMeshesOnly(meshes);
    const QImage all = picture(true), ours = picture(false);
    const auto [differ, inked] = Differences(all, ours);
    EXPECT_GT(differ, 0) << "no cross left out";
    EXPECT_LT(differ, inked / 50) << differ << " of " << inked << " inked pixels differ";
  }
  view.DrawSphereMeshesOnly(false);

  // Radii under a pixel: nothing hides the crosses.
  events(8);
  const auto [differSmall, inkedSmall] = Differences(picture(true), picture(false));
  EXPECT_GT(inkedSmall, 1000);
  EXPECT_EQ(differSmall, 0);
}
