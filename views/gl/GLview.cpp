#include "views/gl/GLview.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "base/plot/glview/KZ_glText.h"
#include "platform/Gdi.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/GLHost.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"

namespace {
// One scene drawing at a time: events handled while a frame is drawn may ask for another.
bool g_bSceneBusy = false;

// Spheres as round points: each point covers the sphere's projected disc (its size from
// the radius, the projection and the eye distance), and every fragment of the disc takes
// the depth of the sphere's surface there, so that what lies inside a sphere (its cross)
// stays hidden as it does behind a real sphere. Colour unlit, as the scene has no light.
constexpr const char* kSphereVertex = R"(#version 120
uniform float u_pixels;  // pixels per scene unit at eye distance 1
varying vec3 v_centre;
varying float v_radius;
void main() {
  vec4 eye = gl_ModelViewMatrix * gl_Vertex;
  float r = gl_MultiTexCoord0.x;
  v_centre = eye.xyz;
  v_radius = r;
  gl_Position = gl_ProjectionMatrix * eye;
  gl_PointSize = max(2.0 * r * u_pixels / max(-eye.z, 1e-6), 1.0);
  gl_FrontColor = gl_Color;
}
)";
constexpr const char* kSphereFragment = R"(#version 120
varying vec3 v_centre;
varying float v_radius;
void main() {
  vec2 d = gl_PointCoord * 2.0 - 1.0;
  float rr = dot(d, d);
  if (rr > 1.0) discard;
  vec3 surface = v_centre + vec3(d.x, -d.y, sqrt(1.0 - rr)) * v_radius;
  vec4 clip = gl_ProjectionMatrix * vec4(surface, 1.0);
  float ndc = clip.z / clip.w;
  gl_FragDepth = 0.5 * (gl_DepthRange.diff * ndc + gl_DepthRange.near + gl_DepthRange.far);
  gl_FragColor = gl_Color;
}
)";

// Triangles of a unit sphere of 8 slices and 4 stacks, the faces a quadric sphere of
// that division has.
const std::vector<float>& UnitSphereMesh() {
  static const std::vector<float> mesh = [] {
    constexpr int slices = 8, stacks = 4;
    constexpr double pi = std::numbers::pi;
    auto vertex = [](int i, int j, std::vector<float>& out) {
      const double rho = i * pi / stacks, theta = (j % slices) * 2 * pi / slices;
      out.push_back(static_cast<float>(-std::sin(theta) * std::sin(rho)));
      out.push_back(static_cast<float>(std::cos(theta) * std::sin(rho)));
      out.push_back(static_cast<float>(std::cos(rho)));
    };
    std::vector<float> v;
    for (int i = 0; i < stacks; ++i)
      for (int j = 0; j < slices; ++j)
        for (const auto& [a, b] : {std::array<int, 2>{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j},
                                  {i + 1, j + 1}, {i, j + 1}})
          vertex(a, b, v);
    return v;
  }();
  return mesh;
}
}  // namespace

CGLview::CGLview(QWidget* parent) : KZ_glView(parent) {
  MapCommand(ID_GL_SPIN, [this] { OnSpin(); });
  MapUpdate(ID_GL_SPIN, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bSpin ? 1 : 0); });
  MapCommand(ID_GL_SAVEBMP, [this] { OnSaveBMP(); });
  MapCommand(ID_GL_AVI, [this] { OnRotationAVI(); });
  // A right press must reach the page: it may start a zoom drag. The popup opens when
  // the button comes up without having dragged.
  setContextMenuPolicy(Qt::PreventContextMenu);
}

CGLview::~CGLview() {
  if (HasTimer(TIMER_ROTATE)) KillTimer(TIMER_ROTATE);
  if (m_nSceneList && MakeCurrent() && Host()->context() == m_pContext)
    glDeleteLists(m_nSceneList, 1);
  m_pSpheres.reset();
}

CTremviaDoc* CGLview::GetData() const {
  if (m_pData) return m_pData;
  return dynamic_cast<CTremviaDoc*>(GetDocument());
}

// The page is set up once its document holds what it was opened on (the program started
// on a parameter file sends no update afterwards), so the scene is made from it here, as
// every update remakes it.
void CGLview::OnInitialUpdate() {
  InitGL();
  RebuildScene();
  m_fZoom = FittingZoom();
}

float CGLview::FittingZoom() const {
  float radius = 0.0f;
  for (const GLPrim& p : m_Scene.prims)
    for (const auto& v : p.points)
      radius = std::max(radius, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
  if (!(radius > 0.0f)) return m_fZoom;
  // The narrower of the two view angles (45 degrees vertically) decides; a twentieth of
  // margin keeps the outline off the picture's edge.
  const double half = 22.5 * std::numbers::pi / 180.0;
  const double aspect = m_fAspect > 0.0f ? m_fAspect : 1.0;
  const double narrow = std::min(half, std::atan(std::tan(half) * aspect));
  return static_cast<float>(1.05 * radius / std::sin(narrow));
}

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
  m_fZoom = FittingZoom();
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
  QOpenGLContext* context = Host()->context();
  if (context != m_pContext) {
    // A new context: the old one's list and program went with it.
    m_nSceneList = 0;
    m_pSpheres.reset();
    m_pContext = context;
    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (program->addShaderFromSourceCode(QOpenGLShader::Vertex, kSphereVertex) &&
        program->addShaderFromSourceCode(QOpenGLShader::Fragment, kSphereFragment) &&
        program->link())
      m_pSpheres = std::move(program);
  }
  KZ_glFontGlyphs();  // before the scene's list: lists cannot be made while one is compiled
  if (!m_nSceneList) m_nSceneList = glGenLists(1);
  if (!m_nSceneList) return;
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
      case GLPrim::Text:
        if (p.points.empty()) break;
        KZ_glDrawText(p.points[0][0], p.points[0][1], p.points[0][2], p.text, 0.5f, TA_CENTER,
                      true);
        break;
    }
  }
  glEndList();
  m_bSceneDirty = false;
}

namespace {
// Pixels per scene unit at eye distance 1: the projection's y scale times half the
// viewport height.
float PixelsPerUnit() {
  GLfloat projection[16];
  GLint viewport[4];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  return projection[5] * 0.5f * static_cast<float>(viewport[3]);
}
}  // namespace

void CGLview::SelectVisibleCrosses(float pixels) {
  // A cross's three lines run inside its event's sphere from surface to surface, so the
  // sphere drawn over it hides all of it but single pixels at its tips once the sphere
  // is two pixels wide or more; only the crosses of smaller spheres can show more. Both
  // kinds of sphere drawing (shaded discs and meshes) hide their crosses so. The depth
  // is the event's distance from the eye, as the sphere's point size takes it.
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  m_CrossIndex.clear();
  const std::size_t n = m_Scene.crosses.size() / 6;
  for (std::size_t k = 0; k < n; ++k) {
    const GLVertex* v = &m_Scene.crosses[6 * k];
    // The first line runs from centre - q to centre + q along x.
    const float q = 0.5f * (v[1].p[0] - v[0].p[0]);
    const float x = v[0].p[0] + q, y = v[0].p[1], z = v[0].p[2];
    const float depth = -(m[2] * x + m[6] * y + m[10] * z + m[14]);
    if (depth > 0 && q * pixels >= kHiddenCrossPixels * depth) continue;
    for (GLuint i = 0; i < 6; ++i) m_CrossIndex.push_back(static_cast<GLuint>(6 * k) + i);
  }
}

void CGLview::DrawEvents() {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  const float pixels = PixelsPerUnit();
  if (!m_Scene.crosses.empty()) {
    const GLVertex* v = m_Scene.crosses.data();
    glVertexPointer(3, GL_FLOAT, sizeof(GLVertex), v->p.data());
    glColorPointer(3, GL_FLOAT, sizeof(GLVertex), v->colour.data());
    if (m_bAllCrosses || m_Scene.crosses.size() % 6 != 0) {
      glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(m_Scene.crosses.size()));
    } else {
      SelectVisibleCrosses(pixels);
      if (!m_CrossIndex.empty())
        glDrawElements(GL_LINES, static_cast<GLsizei>(m_CrossIndex.size()), GL_UNSIGNED_INT,
                       m_CrossIndex.data());
    }
  }
  if (!m_Scene.spheres.empty()) {
    if (!m_bMeshesOnly && m_pSpheres && m_pSpheres->bind()) {
      m_pSpheres->setUniformValue("u_pixels", pixels);
      glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
      glEnable(GL_POINT_SPRITE);
      const GLSphere* v = m_Scene.spheres.data();
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glVertexPointer(3, GL_FLOAT, sizeof(GLSphere), v->centre.data());
      glColorPointer(3, GL_FLOAT, sizeof(GLSphere), v->colour.data());
      glTexCoordPointer(1, GL_FLOAT, sizeof(GLSphere), &v->radius);
      glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(m_Scene.spheres.size()));
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      glDisable(GL_POINT_SPRITE);
      glDisable(GL_VERTEX_PROGRAM_POINT_SIZE);
      m_pSpheres->release();
    } else {
      DrawSphereMeshes();
    }
  }
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void CGLview::DrawSphereMeshes() {
  glDisableClientState(GL_COLOR_ARRAY);
  const std::vector<float>& mesh = UnitSphereMesh();
  glVertexPointer(3, GL_FLOAT, 0, mesh.data());
  for (const GLSphere& s : m_Scene.spheres) {
    glColor3f(s.colour[0], s.colour[1], s.colour[2]);
    glPushMatrix();
    glTranslatef(s.centre[0], s.centre[1], s.centre[2]);
    glScalef(s.radius, s.radius, s.radius);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(mesh.size() / 3));
    glPopMatrix();
  }
}

void CGLview::RenderScene(int /*mode*/) {
  if (g_bSceneBusy || !MakeCurrent()) return;
  g_bSceneBusy = true;
  if (m_bSceneDirty || Host()->context() != m_pContext) CompileScene();
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
  DrawEvents();
  glPopMatrix();
  glFinish();
  SwapBuffers();
  g_bSceneBusy = false;
}

void CGLview::OnTimer(UINT id) {
  // Both timers step here: 2 degrees of our own, then the base's step (2 more and a
  // frame, or a frame, its recording and 2 more). A frame drawn here would never be seen:
  // the surface shows its framebuffer when the event loop composes the window after the
  // tick, by which time the base's frame has replaced it, and a recording takes the
  // base's frame too. So the tick draws once, the picture it shows unchanged.
  m_fRotZ += 2.0f;
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
    m_bRightDragged = true;
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

void CGLview::OnRButtonDown(UINT, POINT point) {
  m_ptLast = point;
  m_bRightDragged = false;
}

void CGLview::OnRButtonUp(UINT, POINT point) {
  if (m_bRightDragged) {
    m_bRightDragged = false;
    RenderScene(1);
    return;
  }
  const QPoint global = mapToGlobal(QPoint(point.x, point.y));
  OnContextMenu(POINT{global.x(), global.y()});
}

BOOL CGLview::OnMouseWheel(UINT, short delta, POINT) {
  if (delta == 0) return TRUE;
  // A notch forward brings the camera nearer, as the right button dragged up takes it
  // away.
  const float notches = static_cast<float>(delta) / 120.0f;
  m_fZoom *= std::pow(0.9f, notches);
  RenderScene(1);
  plat::Ui().SetPaneText(0, plat::Format("Zoom=%.1f", m_fZoom), false);
  return TRUE;
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
