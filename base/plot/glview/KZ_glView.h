// Base of the 3-D view: a document view holding one OpenGL surface for its whole life,
// with a camera (distance, three rotation angles, a pan offset), mouse turning, panning
// and zooming, an animation timer that turns the scene, AVI recording of the turning
// scene and a copy of the picture to the clipboard. A derived view overrides InitGL and
// RenderScene and starts and stops the timers (timer id = m_nTimerMode).
//
// RenderScene may be called at any time (mouse, timer, update): it makes the context
// current, draws into the surface's framebuffer and shows the result. Reads of the
// "front buffer" (snapshots, AVI frames) read that framebuffer.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/plot/KZ_Pal1C.h"
#include "base/types/KZ_Vector3D.h"
#include "platform/qt/View.h"

namespace plat {
class AviWriter;
class CGLHost;
}  // namespace plat

class KZ_glView : public plat::CView {
 public:
  explicit KZ_glView(QWidget* parent = nullptr);
  ~KZ_glView() override;

  // Camera and scene, as InitGL sets them.
  RECT m_rcClient{};  // right and bottom: the current viewport width and height
  float m_fNear = 0.01f;
  float m_fFar = 1000.0f;
  float m_fThird = 30.0f;
  float m_fZoom = 20.0f;  // the scene is moved by minus this along z
  float m_fAspect = 1.0f;
  POINT m_ptLast{};
  KZ_Pal1C m_Palette;    // colours of the derived view's drawing
  int m_nTimerMode = 0;  // 0 turning, 2 AVI recording, above 10 redraw only; the timer id
  int m_bSpin = 0;
  float m_fBounds[6] = {-7.5f, 7.5f, -7.5f, 7.5f, -10.0f, 0.0f};
  float m_fScale = 1.0f;
  float m_fUnit = 1.0f;
  KZ_Vector3D m_Direction{135.0, 60.0};
  int m_nReserved[3] = {0, 0, 0};
  float m_fRotY = 0.0f;
  float m_fRotX = -45.0f;
  float m_fRotZ = 0.0f;
  float m_fPanX = 0.0f;
  float m_fPanY = 0.0f;

  // The camera defaults and the GL state (depth test, perspective projection); the GL
  // part waits for the surface when it does not exist yet.
  virtual void InitGL();
  // One frame: mode 1 normal, 4 while dragging. Re-entry (a frame requested while one is
  // drawn) returns at once.
  virtual void RenderScene(int mode);

  // Makes the view's context current; false while the surface has no context.
  bool MakeCurrent();
  // Shows the frame drawn into the surface (the buffer swap).
  void SwapBuffers();
  plat::CGLHost* Host() const { return m_pHost; }

  // AVI recording of the viewport: opened with the expected frame count after the user
  // has chosen the compressor; a frame per call while the viewport keeps the recording's
  // size; closed after 1000 frames, when the file would pass the RIFF size limit, or by
  // AviClose. All return 0.
  int AviOpen(const std::string& path, int frames);
  int AviAddFrame();
  int AviClose();
  bool IsRecording() const;
  int RecordedFrames() const;
  // The compressor dialog: "Full frames (uncompressed)" or Motion JPEG with its quality;
  // the choice goes into m_nAviCompressor and m_nAviQuality. False when cancelled.
  virtual bool ChooseCompressor();
  // The compressor of the next recording: 0 full frames, 1 Motion JPEG (every frame a key
  // frame) at m_nAviQuality (JPEG quality 1 to 100).
  int m_nAviCompressor = 0;
  int m_nAviQuality = 75;

  // Message handlers.
  void OnDraw(plat::CDC* dc) override;
  void OnUpdate(plat::CView* sender, LONG hint, void* object) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnMouseMove(UINT flags, POINT point) override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnLButtonUp(UINT flags, POINT point) override;
  void OnTimer(UINT id) override;
  void OnEditCopy();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void SetUpContext();
  // The perspective of a viewport of cx x cy pixels (the context current).
  static void SetProjection(int cx, int cy);

  plat::CGLHost* m_pHost = nullptr;  // child widget, owned by Qt
  bool m_bInitDone = false;
  std::unique_ptr<plat::AviWriter> m_pAviFile;
  bool m_bAviFull = false;
  int m_nAviWidth = 0;
  int m_nAviHeight = 0;
};
