// The "OpenGL" page: the specimen with its boreholes, fault traces and foliation marks, the
// sensors and the located events of the current time window as one 3-D scene the user
// turns, moves and zooms with the mouse, lets rotate, saves as a BMP snapshot or records
// as an AVI film. Every update, whatever its hint, rebuilds the scene and restores the
// default viewpoint. The specimen, sensors and numbers are compiled into a display list
// once per update; the events are drawn from the scene's arrays with one call for the
// crosses and one for the spheres (round sized points shaded as the spheres they stand
// for), so a frame costs little more at 100,000 events than at 100. A cross lies inside
// its sphere, so the crosses of spheres two or more pixels wide, which hide them, are not
// drawn.
#pragma once
#include <memory>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "base/plot/glview/KZ_glView.h"
#include "views/gl/GLScene.h"

class QOpenGLContext;
class QOpenGLShaderProgram;

class CGLview : public KZ_glView {
 public:
  static constexpr const char* kRuntimeClassName = "CGLview";

  static constexpr UINT ID_GL_SPIN = 5006;
  static constexpr UINT ID_GL_SAVEBMP = 32816;
  static constexpr UINT ID_GL_AVI = 32817;
  static constexpr UINT IDR_MENU = 6910;
  static constexpr int kMenuPopup = 2;
  static constexpr UINT TIMER_ROTATE = 1;
  static constexpr UINT TIMER_AVI = 2;

  explicit CGLview(QWidget* parent = nullptr);
  ~CGLview() override;

  void SetData(CTremviaDoc* doc) { m_pData = doc; }
  CTremviaDoc* GetData() const;

  void OnInitialUpdate() override;
  void OnUpdate(plat::CView* sender, LONG hint, void* object) override;
  void InitGL() override;
  void RenderScene(int mode) override;
  void OnTimer(UINT id) override;
  void OnMouseMove(UINT flags, POINT point) override;
  // The right button zooms when dragged and opens the popup when clicked without a drag;
  // the wheel zooms too.
  void OnRButtonDown(UINT flags, POINT point) override;
  void OnRButtonUp(UINT flags, POINT point) override;
  BOOL OnMouseWheel(UINT flags, short delta, POINT point) override;
  void OnContextMenu(POINT screenPoint) override;
  // The camera distance at which the whole scene (the specimen and what it holds) lies
  // inside the picture, for the present aspect.
  float FittingZoom() const;

  void OnSpin();
  void OnSaveBMP();
  void OnRotationAVI();

  // Builds the scene from the document anew; it is compiled at the next frame.
  void RebuildScene();
  const GLScene& Scene() const { return m_Scene; }
  // Whether the spheres are drawn as shaded points (false: one small mesh per sphere,
  // where the OpenGL offers no shaders). Known after the first frame.
  bool DrawsSpherePoints() const { return m_pSpheres != nullptr; }
  // Whether every cross is drawn, also those that spheres of at least kHiddenCrossPixels
  // radius on the screen hide (by default those are left out; drawing them all shows
  // what leaving them out changes).
  void DrawAllCrosses(bool all) { m_bAllCrosses = all; }
  // Whether the spheres are drawn as meshes even where shaders exist, as they are where
  // none do (so that drawing can be shown on any OpenGL).
  void DrawSphereMeshesOnly(bool meshes) { m_bMeshesOnly = meshes; }
  // Radius in pixels from which a sphere hides its cross but for single pixels at its
  // tips.
  static constexpr float kHiddenCrossPixels = 1.0f;

 private:
  void CompileScene();
  void DrawEvents();
  void SelectVisibleCrosses(float pixels);
  void DrawSphereMeshes();
  CTremviaDoc* m_pData = nullptr;
  GLScene m_Scene;
  unsigned m_nSceneList = 0;  // display list of the compiled scene, 0 before the first
  bool m_bSceneDirty = true;
  // The context the list and the program belong to: Qt makes a new one when the surface
  // moves to another window, and the old one's objects are gone with it.
  QOpenGLContext* m_pContext = nullptr;
  std::unique_ptr<QOpenGLShaderProgram> m_pSpheres;
  std::vector<unsigned> m_CrossIndex;  // vertices of the crosses drawn this frame
  bool m_bRightDragged = false;  // the right button moved the camera since it went down
  bool m_bAllCrosses = false;
  bool m_bMeshesOnly = false;
};
