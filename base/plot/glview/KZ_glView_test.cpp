// The OpenGL view base on a real (virtual-display, software-rendered) OpenGL surface.
#include "base/plot/glview/KZ_glView.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/plot/glview/KZ_glText.h"
#include "platform/ByteOrder.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/GLHost.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"

namespace {

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

// A view that counts its frames; it draws the base's scene or, with `halves`, a red
// left half on blue.
class TestView : public KZ_glView {
 public:
  int renders = 0;
  std::vector<int> modes;
  bool choose = true;
  bool halves = false;
  void RenderScene(int mode) override {
    ++renders;
    modes.push_back(mode);
    if (!halves) {
      KZ_glView::RenderScene(mode);
      return;
    }
    if (!MakeCurrent()) return;
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(0, -1);
    glVertex2f(0, 1);
    glVertex2f(-1, 1);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFinish();
    SwapBuffers();
  }
  bool ChooseCompressor() override { return choose; }
};

// A shown view of the size with its context made and InitGL done.
std::unique_ptr<TestView> ShownView(int w, int h) {
  plat::testing::EnsureQtApp();
  auto v = std::make_unique<TestView>();
  v->resize(w, h);
  v->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(v.get()));
  QCoreApplication::processEvents();
  EXPECT_TRUE(v->Host()->isValid()) << "no OpenGL context (is the display a GL one?)";
  v->InitGL();
  v->renders = 0;
  v->modes.clear();
  return v;
}

void Resize(TestView* v, int w, int h) {
  v->resize(w, h);
  QCoreApplication::processEvents();
}

TEST(KZ_glView, SetUpDefaults) {
  auto v = ShownView(120, 60);
  EXPECT_FLOAT_EQ(v->m_fZoom, 20);
  EXPECT_FLOAT_EQ(v->m_fRotX, -45);
  EXPECT_FLOAT_EQ(v->m_fRotZ, 0);
  EXPECT_FLOAT_EQ(v->m_fAspect, 2);
  EXPECT_FLOAT_EQ(v->m_fBounds[4], -10);
  EXPECT_NEAR(v->m_Direction.x, std::cos(135 * M_PI / 180) * std::sin(60 * M_PI / 180), 1e-12);
  EXPECT_EQ(v->m_rcClient.right, 120);
  EXPECT_EQ(v->m_rcClient.bottom, 60);
}

TEST(KZ_glView, MouseTurnsPansAndZoomsBeyondThreePixels) {
  plat::testing::ScriptedUi ui;
  auto v = ShownView(100, 100);
  v->OnMouseMove(0, {5, 5});
  ASSERT_FALSE(ui.PaneTexts().empty());
  EXPECT_EQ(ui.PaneTexts().back().text, "Drag: Rotate, <Shift>+Drag: Move, R-Drag: Zoom.");
  EXPECT_EQ(v->renders, 0);

  v->OnLButtonDown(MK_LBUTTON, {10, 10});
  v->OnMouseMove(MK_LBUTTON, {12, 8});  // 2 pixels: nothing
  EXPECT_EQ(v->renders, 0);
  EXPECT_FLOAT_EQ(v->m_fRotZ, 0);
  v->OnMouseMove(MK_LBUTTON, {13, 10});  // 3 pixels: turns
  EXPECT_FLOAT_EQ(v->m_fRotZ, 1.5f);
  EXPECT_FLOAT_EQ(v->m_fRotX, -45);
  ASSERT_EQ(v->modes.size(), 1u);
  EXPECT_EQ(v->modes[0], 4);
  EXPECT_EQ(ui.PaneTexts().back().text, "Az=2, Ax=-45");
  v->OnMouseMove(MK_LBUTTON, {13, 14});
  EXPECT_FLOAT_EQ(v->m_fRotX, -47);

  v->OnMouseMove(MK_LBUTTON | MK_SHIFT, {23, 4});
  EXPECT_FLOAT_EQ(v->m_fPanX, 0.1f);
  EXPECT_FLOAT_EQ(v->m_fPanY, 0.1f);

  const float zoom = v->m_fZoom;
  v->OnMouseMove(MK_RBUTTON, {23, 0});
  v->OnMouseMove(MK_RBUTTON, {23, -4});
  v->OnMouseMove(MK_RBUTTON, {23, -8});
  EXPECT_NEAR(v->m_fZoom / zoom, 1.331, 1e-5);
  v->OnMouseMove(MK_RBUTTON, {23, 0});
  EXPECT_NEAR(v->m_fZoom / zoom, 1.331 * 0.9, 1e-5);

  const int before = v->renders;
  v->OnLButtonUp(0, {23, 0});
  EXPECT_EQ(v->renders, before + 1);
  EXPECT_EQ(v->modes.back(), 1);
}

TEST(KZ_glView, TimerModes) {
  auto v = ShownView(80, 60);
  v->m_nTimerMode = 12;
  v->OnTimer(12);
  EXPECT_EQ(v->renders, 1);
  EXPECT_FLOAT_EQ(v->m_fRotZ, 0);
  v->m_nTimerMode = 0;
  v->OnTimer(1);
  EXPECT_EQ(v->renders, 2);
  EXPECT_FLOAT_EQ(v->m_fRotZ, 2);
  // Mode 2 without a recording turns twice as far and writes nothing.
  v->m_nTimerMode = 2;
  v->OnTimer(2);
  EXPECT_FLOAT_EQ(v->m_fRotZ, 6);
}

TEST(KZ_glView, HeightZeroLeavesViewportAndProjection) {
  auto v = ShownView(90, 70);
  ASSERT_TRUE(v->MakeCurrent());
  GLint before[4], after[4];
  GLdouble projBefore[16], projAfter[16];
  glGetIntegerv(GL_VIEWPORT, before);
  glGetDoublev(GL_PROJECTION_MATRIX, projBefore);
  v->OnSize(0, 50, 0);
  ASSERT_TRUE(v->MakeCurrent());
  glGetIntegerv(GL_VIEWPORT, after);
  glGetDoublev(GL_PROJECTION_MATRIX, projAfter);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(before[i], after[i]);
  for (int i = 0; i < 16; ++i) EXPECT_DOUBLE_EQ(projBefore[i], projAfter[i]);
  EXPECT_EQ(v->m_rcClient.right, 90);
  EXPECT_EQ(v->m_rcClient.bottom, 70);
}

// Window-coordinate vertices of what the text draws, from OpenGL's feedback mode, with a
// projection of one unit per pixel.
std::vector<std::pair<float, float>> TextVertices(const std::string& text, unsigned flags,
                                                  bool lists) {
  glViewport(0, 0, 200, 100);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 200, 0, 100, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  std::vector<GLfloat> buf(20000);
  glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_2D, buf.data());
  glRenderMode(GL_FEEDBACK);
  KZ_glDrawText(50, 30, 0, text, 10.0f, flags, lists);
  const int n = glRenderMode(GL_RENDER);
  std::vector<std::pair<float, float>> v;
  for (int i = 0; i < n;) {
    const int token = static_cast<int>(buf[i++]);
    int count = 0;
    if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
      count = 2;
    else if (token == GL_POINT_TOKEN)
      count = 1;
    else if (token == GL_POLYGON_TOKEN)
      count = static_cast<int>(buf[i++]);
    else if (token == GL_PASS_THROUGH_TOKEN)
      ++i;
    for (int k = 0; k < count; ++k, i += 2) v.push_back({buf[i], buf[i + 1]});
  }
  return v;
}

TEST(KZ_glText, CentredBaselineTextStartsTwentyLeftAndFiveBelow) {
  auto v = ShownView(200, 100);
  ASSERT_TRUE(v->MakeCurrent());
  glDeleteLists(kFirstGlyphList, 256);
  for (bool lists : {false, true}) {
    // "L" has points at (0, 0), (0, 100) and (60, 0): x scaled by 0.75, cells 100 apart.
    const auto pts = TextVertices("LLLL", 6 | 24, lists);
    ASSERT_FALSE(pts.empty()) << lists;
    float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
    for (auto [x, y] : pts) {
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    EXPECT_NEAR(minX, 50 - 20, 0.01) << lists;
    EXPECT_NEAR(minY, 30 - 5, 0.01) << lists;
    EXPECT_NEAR(maxX, 30 + 34.5, 0.01) << lists;
    EXPECT_NEAR(maxY, 25 + 10, 0.01) << lists;
  }
  // Right-aligned top text: shifted by the whole width and one size down.
  const auto right = TextVertices("L", 2, false);
  float minX = 1e9f, maxY = -1e9f;
  for (auto [x, y] : right) minX = std::min(minX, x), maxY = std::max(maxY, y);
  EXPECT_NEAR(minX, 40, 0.01);
  EXPECT_NEAR(maxY, 30, 0.01);

  // The lists are compiled once: an emptied list stays empty on the next draw.
  ASSERT_TRUE(glIsList(kFirstGlyphList));
  glNewList(kFirstGlyphList + 'L', GL_COMPILE);
  glEndList();
  EXPECT_TRUE(TextVertices("LLLL", 6 | 24, true).empty());
  glDeleteLists(kFirstGlyphList, 256);
}

TEST(KZ_glText, SnapshotOfA101By50ViewportIsABmpPillowReads) {
  auto v = ShownView(101, 50);
  v->halves = true;
  v->RenderScene(1);
  ASSERT_TRUE(v->MakeCurrent());
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  ASSERT_EQ(vp[2], 101);
  ASSERT_EQ(vp[3], 50);
  const std::string path = Tmp("snapshot.bmp");
  KZ_glSaveFrameBMP(path);
  ASSERT_EQ(std::filesystem::file_size(path), 54u + 15200u);  // rows of 304 bytes
  std::string out;
  if (RunTool("/usr/bin/python3 -c 'import PIL'", &out) != 0)
    GTEST_SKIP() << "python3 with Pillow is not installed";
  ASSERT_EQ(RunTool("/usr/bin/python3 -c \"from PIL import Image\n"
                    "im = Image.open('" +
                        path +
                        "').convert('RGB')\n"
                        "print(im.size, im.getpixel((5, 25)), im.getpixel((95, 25)), "
                        "im.getpixel((5, 0)), im.getpixel((95, 49)))\"",
                    &out),
            0)
      << out;
  EXPECT_EQ(out, "(101, 50) (255, 0, 0) (0, 0, 255) (255, 0, 0) (0, 0, 255)\n");
}

std::string Probe(const std::string& path) {
  std::string out;
  RunTool(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,r_frame_rate,nb_read_frames -of default=nw=1 " +
          path,
      &out);
  return out;
}

bool HaveFfprobe() {
  std::string out;
  return RunTool("command -v ffprobe", &out) == 0;
}

TEST(KZ_glView, AviRecordingDropsFramesWhileTheSizeDiffers) {
  auto v = ShownView(64, 48);
  const std::string path = Tmp("turn.avi");
  std::filesystem::remove(path);
  v->AviOpen(path, 5);
  ASSERT_TRUE(v->IsRecording());
  v->m_nTimerMode = 2;
  for (int i = 0; i < 3; ++i) v->OnTimer(2);
  Resize(v.get(), 80, 48);
  for (int i = 0; i < 2; ++i) v->OnTimer(2);
  EXPECT_EQ(v->RecordedFrames(), 3);
  Resize(v.get(), 64, 48);
  for (int i = 0; i < 2; ++i) v->OnTimer(2);
  EXPECT_EQ(v->RecordedFrames(), 5);
  EXPECT_FLOAT_EQ(v->m_fRotZ, 7 * 4);
  v->AviClose();
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe (ffmpeg) is not installed";
  EXPECT_EQ(Probe(path), "width=64\nheight=48\nr_frame_rate=30/1\nnb_read_frames=5\n");
}

TEST(KZ_glView, AviStopsAfter1000FramesAndCancelCreatesNoFile) {
  auto v = ShownView(16, 12);
  const std::string cancelled = Tmp("cancelled.avi");
  std::filesystem::remove(cancelled);
  v->choose = false;
  v->AviOpen(cancelled, 10);
  v->m_nTimerMode = 2;
  v->OnTimer(2);
  EXPECT_FALSE(v->IsRecording());
  EXPECT_FALSE(std::filesystem::exists(cancelled));

  v->choose = true;
  const std::string path = Tmp("thousand.avi");
  v->AviOpen(path, 1000);
  v->m_nTimerMode = 2;
  v->SetTimer(2, 100000);  // running, as the derived view starts it
  for (int i = 0; i < 999; ++i) v->OnTimer(2);
  EXPECT_TRUE(v->IsRecording());
  v->OnTimer(2);
  EXPECT_FALSE(v->IsRecording());
  EXPECT_EQ(v->m_nTimerMode, 0);
  EXPECT_FALSE(v->HasTimer(2));
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe (ffmpeg) is not installed";
  EXPECT_EQ(Probe(path), "width=16\nheight=12\nr_frame_rate=30/1\nnb_read_frames=1000\n");
}

// The compressor dialog worked with keys and the mouse: Motion JPEG at quality 60 is kept
// for the next recording; Escape cancels and keeps the earlier choice.
TEST(KZ_glView, CompressorDialogOffersFullFramesAndMotionJpeg) {
  auto v = ShownView(40, 30);
  QStringList offered;
  bool qualityEnabledAtFirst = true;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Video Compression");
    auto* compressor = dialog->findChild<QComboBox*>("compressor");
    auto* quality = dialog->findChild<QSpinBox*>("quality");
    ASSERT_TRUE(compressor && quality);
    for (int i = 0; i < compressor->count(); ++i) offered << compressor->itemText(i);
    qualityEnabledAtFirst = quality->isEnabled();
    compressor->setFocus();
    QTest::keyClick(compressor, Qt::Key_Down);
    quality->setFocus();
    QTest::keyClick(quality, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(quality, "60");
    dialog->grab().save(QString::fromStdString(Tmp("compressor-dialog.png")));
    auto* box = dialog->findChild<QDialogButtonBox*>();
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
  });
  ASSERT_TRUE(v->KZ_glView::ChooseCompressor());
  EXPECT_EQ(offered, (QStringList{"Full frames (uncompressed)", "Motion JPEG"}));
  EXPECT_FALSE(qualityEnabledAtFirst);  // full frames have no quality
  EXPECT_EQ(v->m_nAviCompressor, 1);
  EXPECT_EQ(v->m_nAviQuality, 60);

  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    auto* compressor = dialog->findChild<QComboBox*>("compressor");
    EXPECT_EQ(compressor->currentIndex(), 1);  // the last choice is offered again
    QTest::keyClick(compressor, Qt::Key_Up);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(v->KZ_glView::ChooseCompressor());
  EXPECT_EQ(v->m_nAviCompressor, 1);
}

// A thousand frames of an 800 x 600 view in Motion JPEG: far below the 1 GB limit that
// stops full frames after about 745, and a video that ffprobe decodes frame by frame.
TEST(KZ_glView, MotionJpegRecordsAThousandFramesOf800x600) {
  auto v = ShownView(800, 600);
  v->halves = true;
  v->m_nAviCompressor = 1;
  v->m_nAviQuality = 75;
  const std::string path = Tmp("mjpeg.avi");
  std::filesystem::remove(path);
  v->AviOpen(path, 1000);
  ASSERT_TRUE(v->IsRecording());
  v->m_nTimerMode = 2;
  v->SetTimer(2, 100000);
  for (int i = 0; i < 1000; ++i) v->OnTimer(2);
  EXPECT_FALSE(v->IsRecording());  // closed after the thousandth frame
  const auto size = std::filesystem::file_size(path);
  EXPECT_LT(size, 100u * 1024 * 1024);
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe (ffmpeg) is not installed";
  std::string out;
  RunTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
          "stream=codec_name,codec_tag_string,width,height,r_frame_rate,nb_read_frames "
          "-of default=nw=1 " +
              path,
          &out);
  EXPECT_EQ(out,
            "codec_name=mjpeg\ncodec_tag_string=MJPG\nwidth=800\nheight=600\n"
            "r_frame_rate=30/1\nnb_read_frames=1000\n");
  // The first frame decoded by ffmpeg: red on the left, blue on the right.
  const std::string rgb = Tmp("mjpeg_frame0.rgb");
  ASSERT_EQ(RunTool("ffmpeg -v error -y -i " + path +
                        " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + rgb,
                    &out),
            0)
      << out;
  std::ifstream in(rgb, std::ios::binary);
  const std::vector<unsigned char> px{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
  ASSERT_EQ(px.size(), 800u * 600 * 3);
  auto at = [&px](int x, int y, int c) { return static_cast<int>(px[3 * (800 * y + x) + c]); };
  EXPECT_GT(at(100, 300, 0), 230);
  EXPECT_LT(at(100, 300, 2), 25);
  EXPECT_LT(at(700, 300, 0), 25);
  EXPECT_GT(at(700, 300, 2), 230);
}

TEST(KZ_glView, EditCopyPutsTheClientAreaOnTheClipboard) {
  auto v = ShownView(40, 30);
  v->halves = true;
  v->RenderScene(1);
  v->OnEditCopy();
  const plat::MemBlock dib = plat::GetClipboardDib();
  ASSERT_FALSE(dib.empty());
  EXPECT_EQ(le::GetI32(dib.data() + 4), 40);
  EXPECT_EQ(std::abs(le::GetI32(dib.data() + 8)), 30);
}

}  // namespace
