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
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool CGLHost::MakeCurrent() {
  if (!isValid()) return false;
  makeCurrent();
  return true;
}

void CGLHost::initializeGL() {
  if (onInitialize) onInitialize();
}

void CGLHost::paintGL() {
  if (onPaint) onPaint();
}

}  // namespace plat
