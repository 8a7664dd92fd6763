// The 3-D page on a real (virtual-display, software-rendered) OpenGL surface.
#include "views/gl/GLview.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "aecore/catalogue/AEHypo.h"
#include "base/plot/glview/KZ_glText.h"
#include "platform/qt/GLHost.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"

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

class TestGLview : public CGLview {
 public:
  bool choose = true;
  bool ChooseCompressor() override { return choose; }
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
  EXPECT_FLOAT_EQ(view.m_fZoom, 20);
  EXPECT_FLOAT_EQ(view.m_fPanX, 0);
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

// A spin tick turns the scene 4 degrees; the button shows the state.
TEST_F(GLPage, SpinTimer) {
  view.OnCmdMsg(CGLview::ID_GL_SPIN, nullptr);
  EXPECT_TRUE(view.m_bSpin);
  EXPECT_TRUE(view.HasTimer(CGLview::TIMER_ROTATE));
  plat::CCmdUI state(CGLview::ID_GL_SPIN);
  view.OnCmdMsg(CGLview::ID_GL_SPIN, &state);
  EXPECT_EQ(state.m_nCheck, 1);
  const float before = view.m_fRotZ;
  view.OnTimer(CGLview::TIMER_ROTATE);
  EXPECT_FLOAT_EQ(view.m_fRotZ, before + 4);
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
  for (int i = 0; i < 3; ++i) view.OnTimer(CGLview::TIMER_AVI);
  EXPECT_FLOAT_EQ(view.m_fRotZ, before + 18);
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
