#include "views/gl/GLScene.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <numbers>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/document/TremviaDoc.h"
#include "base/plot/KZ_Pal1C.h"

namespace {

using P3 = std::array<float, 3>;
constexpr float kPi = std::numbers::pi_v<float>;

GLPrim Prim(GLPrim::Kind kind, P3 colour) {
  GLPrim p;
  p.kind = kind;
  p.colour = colour;
  return p;
}

// A closed circle of 31 points at height z.
GLPrim Circle(P3 colour, float cx, float cy, float r, float z) {
  GLPrim p = Prim(GLPrim::LineStrip, colour);
  for (int k = 0; k <= 30; ++k) {
    const float a = k * 2 * kPi / 30;
    p.points.push_back({cx + r * std::cos(a), cy + r * std::sin(a), z});
  }
  return p;
}

void Segment(GLPrim& lines, P3 a, P3 b) {
  lines.points.push_back(a);
  lines.points.push_back(b);
}

double LocalSeconds(std::tm tm) {
  tm.tm_isdst = -1;
  return static_cast<double>(std::mktime(&tm));
}

}  // namespace

float GLSceneScale(float diameter, float length) {
  const float m = std::max(diameter, length);
  return m > 0 ? 15.0f / m : 1.0f;
}

GLScene BuildGLScene(const CTremviaDoc& doc, float s) {
  GLScene scene;
  if (!doc.m_pHypo) return scene;
  const CAEHypo& h = *doc.m_pHypo;
  const bool box = h.m_nShape > 0;
  const float r = s * h.m_fDiameter / 2, hx = s * h.m_fSizeX / 2, hy = s * h.m_fSizeY / 2,
              hz = s * h.m_fSizeZ / 2;
  const P3 blue{0, 0, 1};

  // Specimen outline at the two ends and the middle.
  for (float z : {-hz, 0.0f, hz}) {
    if (box) {
      GLPrim p = Prim(GLPrim::LineStrip, blue);
      p.points = {{hx, hy, z}, {-hx, hy, z}, {-hx, -hy, z}, {hx, -hy, z}, {hx, hy, z}};
      scene.prims.push_back(std::move(p));
    } else {
      scene.prims.push_back(Circle(blue, 0, 0, r, z));
    }
  }
  {
    GLPrim lines = Prim(GLPrim::Lines, blue);
    Segment(lines, {-hx, 0, 0}, {1.1f * hx, 0, 0});
    Segment(lines, {0, -hy, 0}, {0, 1.1f * hy, 0});
    Segment(lines, {0, 0, -hz}, {0, 0, 1.1f * hz});
    const std::array<std::array<float, 2>, 4> edges =
        box ? std::array<std::array<float, 2>, 4>{{{hx, hy}, {-hx, hy}, {-hx, -hy}, {hx, -hy}}}
            : std::array<std::array<float, 2>, 4>{{{hx, 0}, {-hx, 0}, {0, hx}, {0, -hx}}};
    for (const auto& e : edges) Segment(lines, {e[0], e[1], -hz}, {e[0], e[1], hz});
    scene.prims.push_back(std::move(lines));
  }

  // Boreholes, in the outline's colour.
  for (int i = 0; i < std::clamp(h.m_nHoles, 0, AEH_MAX_HOLES); ++i) {
    const AEHole& hole = h.m_Holes[i];
    const float hr = s * hole.d / 2, x = s * hole.x, y = s * hole.y, z1 = s * hole.z1,
                z2 = s * hole.z2;
    scene.prims.push_back(Circle(blue, x, y, hr, z1));
    scene.prims.push_back(Circle(blue, x, y, hr, z2));
    GLPrim lines = Prim(GLPrim::Lines, blue);
    Segment(lines, {x + hr, y, z1}, {x + hr, y, z2});
    Segment(lines, {x - hr, y, z1}, {x - hr, y, z2});
    Segment(lines, {x, y + hr, z1}, {x, y + hr, z2});
    Segment(lines, {x, y - hr, z1}, {x, y - hr, z2});
    scene.prims.push_back(std::move(lines));
  }

  // Fault traces, the points of all traces one after another.
  {
    std::size_t first = 0;
    for (int f = 0; f < std::clamp(h.m_nFaults, 0, AEH_MAX_FAULTS); ++f) {
      const int n = std::max(h.m_nFaultPoints[f], 0);
      const P3 colour =
          h.m_strFaultName[f].find("Pre") != std::string::npos ? P3{0.5f, 0, 0} : P3{1, 0, 0};
      GLPrim p = Prim(GLPrim::LineStrip, colour);
      for (int k = 0; k < n && first + k < h.m_pFaultXYZ.size(); ++k) {
        const KZ_Point3D& q = h.m_pFaultXYZ[first + k];
        p.points.push_back({s * static_cast<float>(q.x), s * static_cast<float>(q.y),
                            s * static_cast<float>(q.z)});
      }
      first += static_cast<std::size_t>(n);
      if (!p.points.empty()) scene.prims.push_back(std::move(p));
    }
  }

  // Foliation marks: centre x, y, z, azimuth, polar angle, half-length.
  {
    GLPrim lines = Prim(GLPrim::Lines, {0, 1, 0});
    for (const AEFoliation& f : h.m_Foliation) {
      if (f.n < 1) continue;
      const float a = f.v[3] * kPi / 180, p = f.v[4] * kPi / 180, L = f.v[5];
      const P3 u{L * std::sin(p) * std::cos(a), L * std::sin(p) * std::sin(a), L * std::cos(p)};
      Segment(lines, {s * (f.v[0] + u[0]), s * (f.v[1] + u[1]), s * (f.v[2] + u[2])},
              {s * (f.v[0] - u[0]), s * (f.v[1] - u[1]), s * (f.v[2] - u[2])});
    }
    if (!lines.points.empty()) scene.prims.push_back(std::move(lines));
  }

  // The sensors of the three groups; "Empty" positions hold no sensor.
  std::vector<int> sensors;
  const int nPoints =
      std::clamp(h.m_nSensors + std::max(h.m_nExtraPoints1, 0) + std::max(h.m_nExtraPoints2, 0), 0,
                 static_cast<int>(h.m_pSensorXYZ.size()));
  for (int i = 0; i < nPoints; ++i)
    if (i >= static_cast<int>(h.m_pSensorName.size()) ||
        h.m_pSensorName[static_cast<std::size_t>(i)].find("Empty") == std::string::npos)
      sensors.push_back(i);
  auto scenePos = [&](int i) {
    const KZ_Point3D& q = h.m_pSensorXYZ[static_cast<std::size_t>(i)];
    return P3{s * static_cast<float>(q.x), s * static_cast<float>(q.y),
              s * static_cast<float>(q.z)};
  };

  bool numbers = true;
  if (!doc.m_EventList.empty()) {
    const float f = h.m_fHypoScale * 0.005f;
    const double t0 = doc.m_fTimeStart + (LocalSeconds(h.m_tmStart) - LocalSeconds(h.m_tmRef));
    const double t1 = t0 + doc.m_fTimeSpan;
    auto counts = [&](const AEEventEntry& e) {
      return e.time >= t0 && e.time <= t1 && e.arrivals >= h.m_nMinArrivals &&
             (e.flags == 0 || (e.flags & h.m_nClassMask) != 0);
    };
    auto radius = [&](const AEEventEntry& e) {
      const float size = e.Mw >= 0 && e.Mw <= 5 ? f * std::max(e.Mw, 0.5f)
                                                : f * std::max(0.02f * e.arrivals, 0.5f);
      return size * s;
    };
    int N = 0;
    for (const auto& e : doc.m_EventList)
      if (e && counts(*e)) ++N;
    scene.nEvents = N;
    scene.crosses.reserve(6 * static_cast<std::size_t>(N));
    KZ_Pal1C pal;
    pal.SetRange(0, N, 0, 360, 3);
    auto colour = [&pal](int value) {
      P3 c{};
      pal.ValueToRGBf(static_cast<float>(value), &c[0], &c[1], &c[2], 1.0f);
      return c;
    };

    // Crosses: the list is in time order, so the walk ends at the first event after the
    // window.
    int j = 0;
    for (const auto& e : doc.m_EventList) {
      if (!e || e->time < t0) continue;
      if (e->time > t1) break;
      if (!counts(*e)) continue;
      const float q = radius(*e);
      const P3 p{s * e->x, s * e->y, s * e->z};
      const P3 c = colour(j++);
      scene.crosses.push_back({{p[0] - q, p[1], p[2]}, c});
      scene.crosses.push_back({{p[0] + q, p[1], p[2]}, c});
      scene.crosses.push_back({{p[0], p[1] - q, p[2]}, c});
      scene.crosses.push_back({{p[0], p[1] + q, p[2]}, c});
      scene.crosses.push_back({{p[0], p[1], p[2] - q}, c});
      scene.crosses.push_back({{p[0], p[1], p[2] + q}, c});
    }
    // Spheres, coloured from 1 on.
    int k = 0;
    scene.spheres.reserve(static_cast<std::size_t>(N));
    for (const auto& e : doc.m_EventList) {
      if (!e || !counts(*e)) continue;
      scene.spheres.push_back({{s * e->x, s * e->y, s * e->z}, colour(++k), radius(*e)});
    }
    scene.nSpheres = k;

    GLPrim lines = Prim(GLPrim::Lines, {0.4f, 0.4f, 0.4f});
    const float lim = 0.49f * h.m_fDiameter;
    for (int i : sensors) {
      const KZ_Point3D& w = h.m_pSensorXYZ[static_cast<std::size_t>(i)];
      const P3 p = scenePos(i);
      const float c = 0.25f;
      const P3 dx{c, 0, 0}, dy{0, c, 0}, dz{0, 0, c};
      auto along = [&](const P3& d) {
        Segment(lines, {p[0] - d[0], p[1] - d[1], p[2] - d[2]},
                {p[0] + d[0], p[1] + d[1], p[2] + d[2]});
      };
      const std::size_t before = lines.points.size();
      if (std::fabs(w.z) >= 0.49 * h.m_fSizeZ) {
        along(dx);
        along(dy);
      } else if (box) {
        if (std::fabs(w.x) <= lim && std::fabs(w.y) <= lim) {
        } else if (std::fabs(w.x) <= lim) {
          along(dx);
          along(dz);
        } else {
          along(dy);
          along(dz);
        }
      } else {
        along(dz);
        const double rh = std::hypot(w.x, w.y);
        if (rh >= 1e-5)
          along({c * static_cast<float>(w.y / rh), -c * static_cast<float>(w.x / rh), 0});
      }
      if (lines.points.size() > before) ++scene.nSensorMarks;
    }
    if (!lines.points.empty()) scene.prims.push_back(std::move(lines));
    numbers = scene.nSpheres < 50;
  }

  if (numbers) {
    for (int i : sensors) {
      GLPrim t = Prim(GLPrim::Text, {1, 0, 0});
      const P3 p = scenePos(i);
      t.points.push_back({p[0] + 0.3f, p[1], p[2]});
      t.text = std::to_string(i + 1);
      scene.prims.push_back(std::move(t));
      ++scene.nSensorLabels;
    }
  }
  return scene;
}
