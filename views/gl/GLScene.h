// The 3-D page's scene as plain data, in scene units (specimen millimetres times the
// view's scale): line strips, line pairs and texts with their colours for the specimen
// and the sensors, and for the events two flat arrays (the crosses' line vertices and the
// spheres) that the page draws with one call each, however many events there are.
// Building it needs no OpenGL, so what the page shows can be checked without a display.
#pragma once
#include <array>
#include <string>
#include <vector>

class CTremviaDoc;

struct GLPrim {
  enum Kind { LineStrip, Lines, Text };
  Kind kind = Lines;
  std::array<float, 3> colour{0, 0, 0};
  std::vector<std::array<float, 3>> points;  // a text's position is points[0]
  std::string text;                          // texts
};

// A vertex of the events' crosses: position and colour side by side, so that the array
// is handed to OpenGL as it is.
struct GLVertex {
  std::array<float, 3> p;
  std::array<float, 3> colour;
};

struct GLSphere {
  std::array<float, 3> centre;
  std::array<float, 3> colour;
  float radius;
};

struct GLScene {
  std::vector<GLPrim> prims;
  std::vector<GLVertex> crosses;   // three line pairs per event, in the events' order
  std::vector<GLSphere> spheres;   // one per event
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
