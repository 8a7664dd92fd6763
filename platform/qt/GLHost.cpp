#include "platform/qt/GLHost.h"

#include <QSurfaceFormat>

namespace plat {

CGLHost::CGLHost(QWidget* parent) : QOpenGLWidget(parent) {
  QSurfaceFormat f;
  f.setRenderableType(QSurfaceFormat::OpenGL);
  f.setProfile(QSurfaceFormat::CompatibilityProfile);
  f.setVersion(2, 1);
  f.setRedBufferSize(8);
  f.setGreenBufferSize(8);
  f.setBlueBufferSize(8);
  f.setAlphaBufferSize(0);
  f.setDepthBufferSize(24);
  f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  setFormat(f);
  // The framebuffer keeps its frame after it has been shown, so a frame drawn outside a
  // paint can be shown as it is.
  setUpdateBehavior(QOpenGLWidget::PartialUpdate);
  // The surface covers its view completely: a repaint of it needs no repaint of the view
  // beneath (whose drawing would ask for another frame).
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool CGLHost::MakeCurrent() {
  if (!isValid()) return false;
  makeCurrent();
  return true;
}

void CGLHost::Present() {
  if (m_bInPaint) return;  // the running paint shows it
  m_bFresh = true;
  update();
}

void CGLHost::Redraw() {
  m_bFresh = false;
  update();
}

void CGLHost::initializeGL() {
  m_bFresh = false;
  if (onInitialize) onInitialize();
}

void CGLHost::resizeGL(int, int) {
  m_bFresh = false;  // a new framebuffer: nothing drawn in it yet
}

void CGLHost::paintGL() {
  if (m_bFresh) {
    m_bFresh = false;
    return;
  }
  m_bInPaint = true;
  if (onPaint) onPaint();
  m_bInPaint = false;
}

}  // namespace plat
