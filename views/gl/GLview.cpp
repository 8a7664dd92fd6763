#include "views/gl/GLview.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>

#include "base/plot/glview/KZ_glText.h"
#include "platform/Gdi.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"

namespace {
// One scene drawing at a time: events handled while a frame is drawn may ask for another.
bool g_bSceneBusy = false;
}  // namespace

CGLview::CGLview(QWidget* parent) : KZ_glView(parent) {
  MapCommand(ID_GL_SPIN, [this] { OnSpin(); });
  MapUpdate(ID_GL_SPIN, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bSpin ? 1 : 0); });
  MapCommand(ID_GL_SAVEBMP, [this] { OnSaveBMP(); });
  MapCommand(ID_GL_AVI, [this] { OnRotationAVI(); });
}

CGLview::~CGLview() {
  if (HasTimer(TIMER_ROTATE)) KillTimer(TIMER_ROTATE);
  if (m_nSceneList && MakeCurrent()) glDeleteLists(m_nSceneList, 1);
}

CTremviaDoc* CGLview::GetData() const {
  if (m_pData) return m_pData;
  return dynamic_cast<CTremviaDoc*>(GetDocument());
}

void CGLview::OnInitialUpdate() { InitGL(); }

void CGLview::InitGL() {
  KZ_glView::InitGL();
  const CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const CAEHypo& h = *doc->m_pHypo;
  const float r = h.m_fDiameter / 2, hz = h.m_fSizeZ / 2;
  const float bounds[6] = {-r, r, -r, r, -hz, hz};
  std::copy(bounds, bounds + 6, m_fBounds);
  m_fScale = GLSceneScale(h.m_fDiameter, h.m_fSizeZ);
  m_fPanX = m_fPanY = 0.0f;
}

void CGLview::OnUpdate(plat::CView*, LONG, void*) {
  InitGL();
  RebuildScene();
  RenderScene(1);
  // The page counts as repainted for the document's other pages and the frame.
  Invalidate(FALSE);
  plat::Ui().SetPaneText(0, "CGLview::OnUpdate()", false);
}

void CGLview::RebuildScene() {
  const CTremviaDoc* doc = GetData();
  m_Scene = doc ? BuildGLScene(*doc, m_fScale) : GLScene{};
  m_bSceneDirty = true;
}

void CGLview::CompileScene() {
  KZ_glFontGlyphs();  // before the scene's list: lists cannot be made while one is compiled
  if (!m_nSceneList) m_nSceneList = glGenLists(1);
  if (!m_nSceneList) return;
  GLUquadric* quadric = gluNewQuadric();
  if (quadric) {
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricDrawStyle(quadric, GLU_FILL);
  }
  glNewList(m_nSceneList, GL_COMPILE);
  for (const GLPrim& p : m_Scene.prims) {
    glColor3f(p.colour[0], p.colour[1], p.colour[2]);
    switch (p.kind) {
      case GLPrim::LineStrip:
      case GLPrim::Lines:
        glBegin(p.kind == GLPrim::LineStrip ? GL_LINE_STRIP : GL_LINES);
        for (const auto& v : p.points) glVertex3f(v[0], v[1], v[2]);
        glEnd();
        break;
      case GLPrim::Sphere:
        if (!quadric || p.points.empty()) break;
        glPushMatrix();
        glTranslatef(p.points[0][0], p.points[0][1], p.points[0][2]);
        gluSphere(quadric, p.radius, 8, 4);
        glPopMatrix();
        break;
      case GLPrim::Text:
        if (p.points.empty()) break;
        KZ_glDrawText(p.points[0][0], p.points[0][1], p.points[0][2], p.text, 0.5f, TA_CENTER,
                      true);
        break;
    }
  }
  glEndList();
  if (quadric) gluDeleteQuadric(quadric);
  m_bSceneDirty = false;
}

void CGLview::RenderScene(int /*mode*/) {
  if (g_bSceneBusy || !MakeCurrent()) return;
  g_bSceneBusy = true;
  if (m_bSceneDirty) CompileScene();
  glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(m_fPanX, m_fPanY, -m_fZoom);
  glRotatef(m_fRotX, 1.0f, 0.0f, 0.0f);
  glRotatef(m_fRotY, 0.0f, 1.0f, 0.0f);
  glRotatef(m_fRotZ, 0.0f, 0.0f, 1.0f);
  if (m_nSceneList) glCallList(m_nSceneList);
  glPopMatrix();
  glFinish();
  SwapBuffers();
  g_bSceneBusy = false;
}

void CGLview::OnTimer(UINT id) {
  // Both timers step here: 2 degrees of our own, then the base's step (2 more, or a
  // recorded frame and 4 more).
  m_fRotZ += 2.0f;
  RenderScene(1);
  KZ_glView::OnTimer(id);
}

void CGLview::OnMouseMove(UINT flags, POINT point) {
  if (!(flags & (MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL))) {
    plat::Ui().SetPaneText(0, "Drag: Rotate, <Shift>+Drag: Move, R-Drag: Zoom.", false);
    return;
  }
  const int dx = point.x - m_ptLast.x, dy = point.y - m_ptLast.y;
  if (std::abs(dx) <= 2 && std::abs(dy) <= 2) return;
  if (flags & MK_RBUTTON) {
    m_fZoom *= dy < 0 ? 1.1f : 0.9f;
  } else if (flags & MK_LBUTTON) {
    if (flags & MK_SHIFT) {
      m_fPanX += 0.01f * dx;
      m_fPanY -= 0.01f * dy;
    } else {
      m_fRotZ += 0.5f * dx;
      m_fRotX -= 0.5f * dy;
    }
  }
  RenderScene(2);
  m_ptLast = point;
  plat::Ui().SetPaneText(0, plat::Format("Az=%.0f, Ax=%.0f", m_fRotZ, m_fRotX), false);
}

void CGLview::OnContextMenu(POINT screenPoint) {
  TrackContextMenu(IDR_MENU, kMenuPopup, screenPoint);
}

void CGLview::OnSpin() {
  m_bSpin = !m_bSpin;
  if (m_bSpin)
    SetTimer(TIMER_ROTATE, 15);
  else
    KillTimer(TIMER_ROTATE);
}

void CGLview::OnSaveBMP() {
  plat::FileDialogOptions o;
  o.open = false;
  o.title = "Save 3D snapshot to bmp file";
  o.filter = "Bitmap file (*.bmp)|*.bmp||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path || !MakeCurrent()) return;
  KZ_glSaveFrameBMP(*path);
}

void CGLview::OnRotationAVI() {
  if (m_nTimerMode == 2) {
    KillTimer(TIMER_AVI);
    m_nTimerMode = 0;
    AviClose();
    return;
  }
  if (m_nTimerMode != 0) return;
  plat::FileDialogOptions o;
  o.open = false;
  o.title = "Save 3D snapshots to AVI file";
  o.filter = "AVI file (*.avi)|*.avi||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  AviOpen(*path, 10);
  // No recording without a file to record into: the choice was cancelled or the file
  // could not be made.
  if (!IsRecording()) return;
  m_nTimerMode = 2;
  SetTimer(TIMER_AVI, 100);
}
