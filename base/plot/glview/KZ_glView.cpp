#include "base/plot/glview/KZ_glView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QSpinBox>
#include <algorithm>
#include <cstring>
#include <memory>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "base/plot/glview/KZ_glText.h"
#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/jpeg_codec.h"
#include "platform/AviWriter.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/GLHost.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/Resources.h"

namespace {
// One frame at a time in the whole program: drawing may be asked for again by events
// handled while a frame is drawn.
bool g_bRendering = false;
constexpr int kMaxAviFrames = 1000;
}  // namespace

namespace {
// Whether the windowing platform gives OpenGL contexts at all (the offscreen platform does
// not, and a window holding an OpenGL widget then cannot even be painted).
bool PlatformHasOpenGL() {
  static const bool has = [] {
    QOpenGLContext probe;
    return probe.create();
  }();
  return has;
}

// Mesa's software renderer builds each frame's command lists in freshly allocated blocks
// and frees them when the frame is done. With glibc's default thresholds the freed top of
// the heap is handed back to the system after every frame and faulted in again, page by
// page, on the next: with 100,000 events that was more than half of a frame. The heap
// keeps up to 256 MB of freed memory for reuse instead, and blocks of up to 32 MB come
// from it rather than from mappings of their own.
void KeepFrameMemory() {
#if defined(__GLIBC__)
  static const bool once = [] {
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    return true;
  }();
  (void)once;
#endif
}
}  // namespace

KZ_glView::KZ_glView(QWidget* parent) : plat::CView(parent) {
  // Without OpenGL the view stays an empty page: every drawing finds no context.
  if (PlatformHasOpenGL()) {
    KeepFrameMemory();
    m_pHost = new plat::CGLHost(this);
    m_pHost->setGeometry(rect());
    m_pHost->onInitialize = [this] { SetUpContext(); };
    m_pHost->onPaint = [this] { RenderScene(1); };
  }
  MapCommand(ID_EDIT_COPY, [this] { OnEditCopy(); });
}

KZ_glView::~KZ_glView() {
  if (m_nTimerMode && HasTimer(static_cast<UINT>(m_nTimerMode)))
    KillTimer(static_cast<UINT>(m_nTimerMode));
  // A recording still running is completed, so the file stays a valid video.
  AviClose();
}

bool KZ_glView::MakeCurrent() { return m_pHost && m_pHost->MakeCurrent(); }

void KZ_glView::SwapBuffers() {
  if (m_pHost) m_pHost->Present();
}

void KZ_glView::InitGL() {
  RECT r;
  GetClientRect(&r);
  m_rcClient = r;
  m_fAspect = r.bottom > 0 ? static_cast<float>(r.right) / static_cast<float>(r.bottom) : 1.0f;
  m_fNear = 0.01f;
  m_fFar = 1000.0f;
  m_fThird = 30.0f;
  m_fZoom = 20.0f;
  const float bounds[6] = {-7.5f, 7.5f, -7.5f, 7.5f, -10.0f, 0.0f};
  std::copy(bounds, bounds + 6, m_fBounds);
  m_fScale = 1.0f;
  m_fUnit = 1.0f;
  m_Direction = KZ_Vector3D(135.0, 60.0);
  m_fRotY = 0.0f;
  m_fRotX = -45.0f;
  m_fRotZ = 0.0f;
  m_fPanX = m_fPanY = 0.0f;
  m_bInitDone = true;
  if (m_pHost && m_pHost->isVisible() && !m_pHost->isValid()) {
    plat::AfxMessageBox("ChoosePixelFormat failed");
    return;
  }
  SetUpContext();
}

void KZ_glView::SetUpContext() {
  if (!m_bInitDone || !MakeCurrent()) return;
  // The projection follows the surface as it is now: the client rectangle seen by InitGL
  // may be that of a page not shown yet, whose size is not the one it is shown at.
  if (m_pHost->width() > 0 && m_pHost->height() > 0) {
    m_rcClient.right = m_pHost->width();
    m_rcClient.bottom = m_pHost->height();
    m_fAspect = static_cast<float>(m_rcClient.right) / static_cast<float>(m_rcClient.bottom);
    const qreal dpr = m_pHost->devicePixelRatioF();
    glViewport(0, 0, static_cast<GLsizei>(m_rcClient.right * dpr),
               static_cast<GLsizei>(m_rcClient.bottom * dpr));
  }
  glClearDepth(3.0);  // clamped to 1 by OpenGL
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, m_fAspect, m_fNear, m_fFar);
  glMatrixMode(GL_MODELVIEW);
}

void KZ_glView::RenderScene(int /*mode*/) {
  if (g_bRendering || !MakeCurrent()) return;
  g_bRendering = true;
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(m_fPanX, m_fPanY, -m_fZoom);
  glRotatef(m_fRotX, 1.0f, 0.0f, 0.0f);
  glRotatef(m_fRotY, 0.0f, 1.0f, 0.0f);
  glRotatef(m_fRotZ, 0.0f, 0.0f, 1.0f);
  // Placeholder scene of the base: the three axes in red, green and blue.
  glBegin(GL_LINES);
  glColor3f(1.0f, 0.0f, 0.0f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(5.0f, 0.0f, 0.0f);
  glColor3f(0.0f, 1.0f, 0.0f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(0.0f, 5.0f, 0.0f);
  glColor3f(0.0f, 0.0f, 1.0f);
  glVertex3f(0.0f, 0.0f, 0.0f);
  glVertex3f(0.0f, 0.0f, 5.0f);
  glEnd();
  glPopMatrix();
  glFinish();
  SwapBuffers();
  g_bRendering = false;
}

void KZ_glView::OnDraw(plat::CDC* /*dc*/) { RenderScene(1); }

void KZ_glView::OnUpdate(plat::CView* /*sender*/, LONG /*hint*/, void* /*object*/) {
  RenderScene(1);
}

void KZ_glView::resizeEvent(QResizeEvent* e) {
  // The surface fills the view before the view hears of its new size. The surface draws
  // a frame as soon as it has its new size, so the projection follows the size first.
  const int cx = e->size().width(), cy = e->size().height();
  if (cy > 0 && MakeCurrent()) SetProjection(cx, cy);
  if (m_pHost) m_pHost->setGeometry(0, 0, cx, cy);
  plat::CView::resizeEvent(e);
  // Every change of size or layout shows a frame of the new size at once: the frame in
  // the framebuffer may have been drawn before the change.
  if (m_pHost) m_pHost->Redraw();
}

void KZ_glView::SetProjection(int cx, int cy) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(cx) / cy, 3.0, 1000.0);
  glMatrixMode(GL_MODELVIEW);
}

void KZ_glView::OnSize(UINT type, int cx, int cy) {
  plat::CView::OnSize(type, cx, cy);
  if (cy <= 0) return;
  m_rcClient.right = cx;
  m_rcClient.bottom = cy;
  m_fAspect = static_cast<float>(cx) / static_cast<float>(cy);
  if (MakeCurrent()) {
    const qreal dpr = m_pHost->devicePixelRatioF();
    glViewport(0, 0, static_cast<GLsizei>(cx * dpr), static_cast<GLsizei>(cy * dpr));
    SetProjection(cx, cy);
  }
}

void KZ_glView::OnLButtonDown(UINT /*flags*/, POINT point) { m_ptLast = point; }

void KZ_glView::OnLButtonUp(UINT /*flags*/, POINT /*point*/) { RenderScene(1); }

void KZ_glView::OnMouseMove(UINT flags, POINT point) {
  if (!(flags & (MK_LBUTTON | MK_RBUTTON))) {
    plat::Ui().SetPaneText(0, "Drag: Rotate, <Shift>+Drag: Move, R-Drag: Zoom.", false);
    return;
  }
  const int dx = point.x - m_ptLast.x, dy = point.y - m_ptLast.y;
  if (std::abs(dx) < 3 && std::abs(dy) < 3) return;
  if (flags & MK_RBUTTON) {
    m_fZoom *= dy < 0 ? 1.1f : 0.9f;
  } else if (flags & MK_SHIFT) {
    m_fPanX += 0.01f * dx;
    m_fPanY -= 0.01f * dy;
  } else {
    m_fRotZ += 0.5f * dx;
    m_fRotX -= 0.5f * dy;
  }
  RenderScene(4);
  m_ptLast = point;
  plat::Ui().SetPaneText(0, plat::Format("Az=%.0f, Ax=%.0f", m_fRotZ, m_fRotX), false);
}

void KZ_glView::OnTimer(UINT /*id*/) {
  if (m_nTimerMode > 10) {
    RenderScene(1);
    return;
  }
  // Timer ticks never pile up here (a late tick replaces the waiting one), so nothing
  // queued needs removing after a slow frame.
  m_fRotZ += 2.0f;
  RenderScene(1);
  if (m_nTimerMode == 2) {
    AviAddFrame();
    m_fRotZ += 2.0f;
    if (RecordedFrames() >= kMaxAviFrames || m_bAviFull) {
      KillTimer(2);
      m_nTimerMode = 0;
      AviClose();
    }
  }
}

void KZ_glView::OnEditCopy() {
  if (!m_pHost || !m_pHost->isValid()) return;
  const QImage picture = m_pHost->grabFramebuffer();
  plat::SetClipboardDib(plat::ImageToPackedDib(picture, 24));
}

bool KZ_glView::ChooseCompressor() {
  QDialog dialog(this);
  dialog.setObjectName("VideoCompression");
  dialog.setWindowTitle("Video Compression");
  auto* form = new QFormLayout(&dialog);
  auto* compressor = new QComboBox(&dialog);
  compressor->setObjectName("compressor");
  compressor->addItems({"Full frames (uncompressed)", "Motion JPEG"});
  compressor->setCurrentIndex(m_nAviCompressor == 1 ? 1 : 0);
  form->addRow("Compressor:", compressor);
  auto* quality = new QSpinBox(&dialog);
  quality->setObjectName("quality");
  quality->setRange(1, 100);
  quality->setValue(std::clamp(m_nAviQuality, 1, 100));
  form->addRow("Compression Quality:", quality);
  // Both compressors store whole pictures only, so every frame is a key frame.
  auto* keyFrames = new QSpinBox(&dialog);
  keyFrames->setObjectName("keyFrames");
  keyFrames->setRange(1, 1);
  keyFrames->setEnabled(false);
  form->addRow("Key Frame Every:", keyFrames);
  auto enable = [quality](int index) { quality->setEnabled(index == 1); };
  enable(compressor->currentIndex());
  QObject::connect(compressor, &QComboBox::currentIndexChanged, &dialog, enable);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  m_nAviCompressor = compressor->currentIndex();
  m_nAviQuality = quality->value();
  return true;
}

namespace {

// Motion JPEG: each frame one baseline JPEG picture made by the image library.
plat::AviCompressor MotionJpeg(int width, int height, int quality) {
  std::shared_ptr<ImageDescriptor> picture(new ImageDescriptor, [](ImageDescriptor* d) {
    img_free(d);
    delete d;
  });
  plat::AviCompressor c;
  std::memcpy(c.handler, "MJPG", 4);
  c.quality = quality * 100;
  if (img_alloc(picture.get(), width, height, 24) != IMG_OK) return c;  // no encoder: fails
  c.encode = [picture, quality](const BYTE* rows, std::vector<BYTE>* out) {
    // The frame has the picture's own layout: bottom-up BGR rows padded to 4 bytes.
    std::memcpy(picture->pixels, rows,
                static_cast<std::size_t>(picture->rowBytes) * img_height(picture.get()));
    ImgMem block = nullptr;
    if (jpeg_save_stream(nullptr, &block, quality, 0, picture.get()) != 0 || !block) return false;
    const BYTE* p = ImgMemLock(block);
    out->assign(p, p + ImgMemSize(block));
    ImgMemUnlock(block);
    ImgMemFree(block);
    return true;
  };
  return c;
}

}  // namespace

int KZ_glView::AviOpen(const std::string& path, int frames) {
  AviClose();
  m_bAviFull = false;
  if (!MakeCurrent()) return 0;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  if (!ChooseCompressor()) return 0;  // cancelled: no file
  auto writer = std::make_unique<plat::AviWriter>();
  plat::AviCompressor mjpeg;
  if (m_nAviCompressor == 1) {
    mjpeg = MotionJpeg(viewport[2], viewport[3], std::clamp(m_nAviQuality, 1, 100));
    if (!mjpeg.encode) return 0;  // no memory for the picture: no file
  }
  if (!writer->Open(path, viewport[2], viewport[3], 30, frames,
                    m_nAviCompressor == 1 ? &mjpeg : nullptr))
    return 0;
  m_nAviWidth = viewport[2];
  m_nAviHeight = viewport[3];
  m_pAviFile = std::move(writer);
  return 0;
}

int KZ_glView::AviAddFrame() {
  if (!m_pAviFile || !m_pAviFile->IsOpen() || !MakeCurrent()) return 0;
  int w = 0, h = 0;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  if (viewport[2] != m_nAviWidth || viewport[3] != m_nAviHeight) return 0;  // size changed: dropped
  const std::vector<unsigned char> frame = KZ_glReadFrame(&w, &h);
  if (frame.size() != m_pAviFile->FrameBytes()) return 0;
  if (!m_pAviFile->AddFrame(frame.data())) m_bAviFull = true;
  return 0;
}

int KZ_glView::AviClose() {
  if (m_pAviFile) m_pAviFile->Close();
  m_pAviFile.reset();
  return 0;
}

bool KZ_glView::IsRecording() const { return m_pAviFile && m_pAviFile->IsOpen(); }

int KZ_glView::RecordedFrames() const { return m_pAviFile ? m_pAviFile->Frames() : 0; }
