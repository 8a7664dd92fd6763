// The 3-D page's scene as plain data: line strips, line pairs, spheres and texts with
// their colours, in scene units (specimen millimetres times the view's scale). Building
// it needs no OpenGL, so what the page shows can be checked without a display; the page
// compiles it into OpenGL once per update and replays it for every frame.
#pragma once
#include <array>
#include <string>
#include <vector>

class CTremviaDoc;

struct GLPrim {
  enum Kind { LineStrip, Lines, Sphere, Text };
  Kind kind = Lines;
  std::array<float, 3> colour{0, 0, 0};
  std::vector<std::array<float, 3>> points;  // a sphere's or a text's position is points[0]
  float radius = 0;                          // spheres
  std::string text;                          // texts
};

struct GLScene {
  std::vector<GLPrim> prims;
  int nEvents = 0;        // events counted in the window
  int nSpheres = 0;       // spheres drawn
  int nSensorMarks = 0;   // sensors given a mark (cross or lines)
  int nSensorLabels = 0;  // sensor numbers written
};

// The specimen, holes, fault traces, foliation marks, the window's events and the sensors
// of the document's catalogue engine at `scale` scene units per millimetre. Empty without
// a catalogue engine.
GLScene BuildGLScene(const CTremviaDoc& doc, float scale);
// Scene units per millimetre: 15 over the larger of the diameter and the length.
float GLSceneScale(float diameter, float length);
