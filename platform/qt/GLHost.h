// The OpenGL surface of a 3-D view: a Qt OpenGL widget with a compatibility-profile
// context (fixed-function OpenGL 1.1 with GLU, as Mesa offers it), RGBA with 8 bits per
// colour, a depth buffer and double buffering, that hands its set-up and painting to
// its owner. Drawing happens into the widget's framebuffer, which is what a read of the
// "front buffer" reads here. Mouse events pass through to the owning view.
//
// A frame drawn outside a paint (timer, mouse, update) is shown with Present: the widget
// then composes the framebuffer as it stands instead of asking its owner to draw it a
// second time, and a frame drawn inside a paint asks for no further paint, so an
// unchanged picture costs nothing between events.
#pragma once
#include <QOpenGLWidget>
#include <functional>

namespace plat {

class CGLHost : public QOpenGLWidget {
 public:
  explicit CGLHost(QWidget* parent);

  // Called once a context exists (again after Qt replaced the context, when the widget
  // moved to another window; display lists and other objects of the old one are gone),
  // and for every paint that needs a fresh frame (the context current and the widget's
  // framebuffer bound).
  std::function<void()> onInitialize;
  std::function<void()> onPaint;

  // Makes the context current with the widget's framebuffer bound; false while there is
  // no context (the widget has not been shown yet).
  bool MakeCurrent();
  // Shows the frame just drawn into the framebuffer.
  void Present();
  // Whether a paint is running (its frame is shown when it returns).
  bool InPaint() const { return m_bInPaint; }
  // Asks the owner for a new frame at the next paint, whatever the framebuffer holds
  // (after a change of size or layout the frame in it may be from before the change).
  void Redraw();

 protected:
  void initializeGL() override;
  void resizeGL(int w, int h) override;
  void paintGL() override;

 private:
  bool m_bInPaint = false;
  bool m_bFresh = false;  // the framebuffer holds a frame drawn since the last paint
};

}  // namespace plat
