// The "OpenGL" page: the specimen with its boreholes, fault traces and foliation marks, the
// sensors and the located events of the current time window as one 3-D scene the user
// turns, moves and zooms with the mouse, lets rotate, saves as a BMP snapshot or records
// as an AVI film. Every update, whatever its hint, rebuilds the scene and restores the
// default viewpoint; the scene is compiled once per update and replayed for each frame.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "base/plot/glview/KZ_glView.h"
#include "views/gl/GLScene.h"

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
  void OnContextMenu(POINT screenPoint) override;

  void OnSpin();
  void OnSaveBMP();
  void OnRotationAVI();

  // Builds the scene from the document anew; it is compiled at the next frame.
  void RebuildScene();
  const GLScene& Scene() const { return m_Scene; }

 private:
  void CompileScene();
  CTremviaDoc* m_pData = nullptr;
  GLScene m_Scene;
  unsigned m_nSceneList = 0;  // display list of the compiled scene, 0 before the first
  bool m_bSceneDirty = true;
};
