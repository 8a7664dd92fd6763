// The OpenGL surface of a 3-D view: a Qt OpenGL widget with a compatibility-profile
// context (fixed-function OpenGL 1.1 with GLU, as Mesa offers it), RGBA with 8 bits per
// colour, a depth buffer and double buffering, that hands its set-up and painting to
// its owner. Drawing happens into the widget's framebuffer, which is what a read of the
// "front buffer" reads here. Mouse events pass through to the owning view.
#pragma once
#include <QOpenGLWidget>
#include <functional>

namespace plat {

class CGLHost : public QOpenGLWidget {
 public:
  explicit CGLHost(QWidget* parent);

  // Called once the context exists, and for every paint (the context current and the
  // widget's framebuffer bound).
  std::function<void()> onInitialize;
  std::function<void()> onPaint;

  // Makes the context current with the widget's framebuffer bound; false while there is
  // no context (the widget has not been shown yet).
  bool MakeCurrent();

 protected:
  void initializeGL() override;
  void paintGL() override;
};

}  // namespace plat
