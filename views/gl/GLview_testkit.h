// For tests and benchmarks of the 3-D page: its scene drawn call by call, each event's
// sphere a quadric of 8 slices and 4 stacks and each cross its own lines, as the page drew
// it before it drew from arrays, to compare the page's frames with.
#pragma once
#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

#include "base/plot/glview/KZ_glText.h"
#include "views/gl/GLview.h"

namespace gl_test {

// Draws the reference into the view's current context (texts too when asked) and returns
// the frame read back as KZ_glReadFrame gives it.
inline std::vector<unsigned char> QuadricsFrame(CGLview& view, bool texts, int* w, int* h) {
  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(view.m_fPanX, view.m_fPanY, -view.m_fZoom);
  glRotatef(view.m_fRotX, 1, 0, 0);
  glRotatef(view.m_fRotY, 0, 1, 0);
  glRotatef(view.m_fRotZ, 0, 0, 1);
  const GLScene& scene = view.Scene();
  for (const GLPrim& p : scene.prims) {
    glColor3f(p.colour[0], p.colour[1], p.colour[2]);
    if (p.kind == GLPrim::Text) {
      if (texts)
        KZ_glDrawText(p.points[0][0], p.points[0][1], p.points[0][2], p.text, 0.5f, TA_CENTER,
                      false);
      continue;
    }
    glBegin(p.kind == GLPrim::LineStrip ? GL_LINE_STRIP : GL_LINES);
    for (const auto& v : p.points) glVertex3f(v[0], v[1], v[2]);
    glEnd();
  }
  glBegin(GL_LINES);
  for (const GLVertex& v : scene.crosses) {
    glColor3f(v.colour[0], v.colour[1], v.colour[2]);
    glVertex3f(v.p[0], v.p[1], v.p[2]);
  }
  glEnd();
  GLUquadric* quadric = gluNewQuadric();
  for (const GLSphere& s : scene.spheres) {
    glColor3f(s.colour[0], s.colour[1], s.colour[2]);
    glPushMatrix();
    glTranslatef(s.centre[0], s.centre[1], s.centre[2]);
    gluSphere(quadric, s.radius, 8, 4);
    glPopMatrix();
  }
  gluDeleteQuadric(quadric);
  glPopMatrix();
  glFinish();
  return KZ_glReadFrame(w, h);
}

}  // namespace gl_test
