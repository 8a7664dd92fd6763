// Plot type 5: the whole specimen in perspective as a stereo pair, with its boreholes,
// the fault-plane frame, the fault traces and foliation marks of the parameter file and
// the located events, optionally classified by their first-motion ratio.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Strings.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_shared.h"

namespace {

// Detected events count only with a good enough template correlation.
bool PassesCC(const AEEventEntry& e, const CAEHypo& h) {
  return !(e.flags & 16) || e.CC >= h.m_fMinCC;
}

}  // namespace

CLocView::StereoLayout CLocView::StereoSpecimenLayout() {
  CTremviaDoc* doc = GetData();
  const CAEHypo& h = *doc->m_pHypo;
  const double s = m_fScale, t0 = m_tStart, t1 = m_tEnd;
  const float Rd = m_fHalfDia, hX = m_fHalfX, hY = m_fHalfY, hL = m_fHalfLen;
  const bool box = h.m_nShape > 0;
  // The outline with its overshooting axes, the boreholes and every event the plot may
  // draw.
  std::vector<KZ_Point3D> pts;
  for (const double z : {-hL, 0.0f, hL}) {
    const double hx = box ? hX : Rd, hy = box ? hY : Rd;
    for (const double x : {-hx, hx})
      for (const double y : {-hy, hy}) pts.push_back({x, y, z});
    pts.push_back({1.1 * hx, 0, z});
  }
  pts.push_back({0, 0, 1.1 * hL});
  for (int i = 0; i < std::clamp(h.m_nHoles, 0, AEH_MAX_HOLES); ++i) {
    const AEHole& b = h.m_Holes[i];
    for (const double z : {b.z1, b.z2})
      for (const double dx : {-b.d / 2, b.d / 2})
        for (const double dy : {-b.d / 2, b.d / 2}) pts.push_back({b.x + dx, b.y + dy, z});
  }
  double rad = 0;
  for (const auto& p : doc->m_EventList) {
    if (!LocArrivalsAndClass(*p, h) || !PassesCC(*p, h)) continue;
    if (!h.m_bUnselected && (p->time < t0 || p->time > t1)) continue;
    pts.push_back({p->x, p->y, p->z});
    rad = std::max(rad, static_cast<double>(MarkerRadius(*p)));
  }
  StereoLayout L = StereoExtent(pts, rad);
  L.cx = std::max(LocTrunc(m_ptOrigin.x + s * Rd), LocTrunc(kLocPageEdge - L.left));
  L.cy = std::min(LocTrunc(m_ptOrigin.y - s * hL), LocTrunc(-kLocPageEdge - L.top));
  // The counts line goes under the specimen's lower corners, and under anything drawn
  // lower still.
  int lowest = 0;
  bool firstCorner = true;
  for (const float x : {Rd, -Rd})
    for (const float y : {Rd, -Rd}) {
      POINT l, r;
      StereoPoint(x, y, -hL, &l, &r);
      if (firstCorner || l.y < lowest) lowest = l.y;
      firstCorner = false;
    }
  L.textY = std::min(lowest + L.cy - 1000, LocTrunc(L.cy + L.bottom - 1000));
  return L;
}

void CLocView::DrawStereoSpecimen(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const double t0 = m_tStart, t1 = m_tEnd;
  const float Rd = m_fHalfDia, hX = m_fHalfX, hY = m_fHalfY, hL = m_fHalfLen;
  const StereoLayout layout = StereoSpecimenLayout();
  const int cx = layout.cx, cy = layout.cy;
  const bool box = h.m_nShape > 0;
  auto line = [&](float x1, float y1, float z1, float x2, float y2, float z2) {
    StereoLine(dc, cx, cy, x1, y1, z1, x2, y2, z2);
  };
  auto circle = [&](float x, float y, float z, float r) {
    for (int a = 0; a < 30; ++a) {
      const double p = a * 12 * kLocDeg, q = (a + 1) * 12 * kLocDeg;
      line(static_cast<float>(x + r * std::cos(p)), static_cast<float>(y + r * std::sin(p)), z,
           static_cast<float>(x + r * std::cos(q)), static_cast<float>(y + r * std::sin(q)), z);
    }
  };

  // Specimen outline with the overshooting axes that mark +x and +z.
  const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 25, RGB(0, 0, 0)));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
  for (const float z : {-hL, 0.0f, hL}) {
    if (box) {
      line(-hX, -hY, z, hX, -hY, z);
      line(hX, -hY, z, hX, hY, z);
      line(hX, hY, z, -hX, hY, z);
      line(-hX, hY, z, -hX, -hY, z);
      line(-hX, 0, z, 1.1f * hX, 0, z);
      line(0, -hY, z, 0, hY, z);
    } else {
      circle(0, 0, z, Rd);
      line(-Rd, 0, z, 1.1f * Rd, 0, z);
      line(0, -Rd, z, 0, Rd, z);
    }
  }
  line(0, 0, -hL, 0, 0, 1.1f * hL);
  if (box) {
    for (const float x : {hX, -hX})
      for (const float y : {hY, -hY}) line(x, y, -hL, x, y, hL);
  } else {
    line(Rd, 0, -hL, Rd, 0, hL);
    line(-Rd, 0, -hL, -Rd, 0, hL);
    line(0, Rd, -hL, 0, Rd, hL);
    line(0, -Rd, -hL, 0, -Rd, hL);
  }

  dc->SelectObject(plat::CPen(PS_SOLID, 25, RGB(0, 0, 255)));
  for (int i = 0; i < std::clamp(h.m_nHoles, 0, AEH_MAX_HOLES); ++i) {
    const AEHole& b = h.m_Holes[i];
    const float r = b.d / 2;
    circle(b.x, b.y, b.z1, r);
    circle(b.x, b.y, b.z2, r);
    line(b.x + r, b.y, b.z1, b.x + r, b.y, b.z2);
    line(b.x - r, b.y, b.z1, b.x - r, b.y, b.z2);
    line(b.x, b.y + r, b.z1, b.x, b.y + r, b.z2);
    line(b.x, b.y - r, b.z1, b.x, b.y - r, b.z2);
  }

  // Fault-plane frame: normal, up-dip and strike directions from the reference point.
  {
    dc->SelectObject(plat::CPen(PS_SOLID, 40, RGB(0, 0, 255)));
    const double Az = h.m_fFaultAzimuth * kLocDeg, Ad = h.m_fFaultDip * kLocDeg;
    const double W = h.m_fFaultWidth, L = h.m_fFaultLen;
    const KZ_Vector3D n(std::sin(Ad) * std::cos(Az), std::sin(Ad) * std::sin(Az), std::cos(Ad));
    const double hn = std::sqrt(n.x * n.x + n.y * n.y);
    const KZ_Vector3D u = hn > 0.001
                              ? KZ_Vector3D(-n.x * std::fabs(std::cos(Ad)) / hn,
                                            -n.y * std::fabs(std::cos(Ad)) / hn, std::sin(Ad))
                              : KZ_Vector3D(-std::cos(Az), -std::sin(Az), 0);
    const KZ_Vector3D v(n.y * u.z - n.z * u.y, n.z * u.x - n.x * u.z, n.x * u.y - n.y * u.x);
    const double x0 = h.m_fFaultX, y0 = h.m_fFaultY, z0 = h.m_fFaultZ;
    auto seg = [&](const KZ_Vector3D& a, double fa, const KZ_Vector3D& b, double fb) {
      line(static_cast<float>(x0 + fa * a.x), static_cast<float>(y0 + fa * a.y),
           static_cast<float>(z0 + fa * a.z), static_cast<float>(x0 + fb * b.x),
           static_cast<float>(y0 + fb * b.y), static_cast<float>(z0 + fb * b.z));
    };
    seg(n, 0, n, W);
    seg(u, 0, u, L);
    seg(v, -W, v, W);
  }

  // Fault traces, their points one trace after another; the polylines grow with them.
  {
    std::vector<POINT> left, right;
    const int capacity = static_cast<int>(h.m_pFaultXYZ.size());
    int first = 0;
    for (int f = 0; f < std::clamp(h.m_nFaults, 0, AEH_MAX_FAULTS); ++f) {
      const int count = std::max(h.m_nFaultPoints[f], 0);
      if (h.m_strFaultName[f].find("Pre") != std::string::npos)
        dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(128, 64, 64)));
      else
        dc->SelectObject(plat::CPen(PS_SOLID, 25, RGB(255, 0, 0)));
      left.clear();
      right.clear();
      for (int p = 0; p < count && first + p < capacity; ++p) {
        const KZ_Point3D& q = h.m_pFaultXYZ[first + p];
        POINT l, r;
        StereoPoint(static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z), &l,
                    &r);
        left.push_back(POINT{cx + l.x, cy + l.y});
        right.push_back(POINT{cx + r.x, cy + r.y});
      }
      if (left.size() > 1) {
        dc->Polyline(left.data(), static_cast<int>(left.size()));
        dc->Polyline(right.data(), static_cast<int>(right.size()));
      }
      first += count;
    }
  }

  dc->SelectObject(plat::CPen(PS_SOLID, 40, RGB(0, 255, 0)));
  for (const AEFoliation& m : h.m_Foliation) {
    if (m.n < 1) continue;
    const double a = m.v[3] * kLocDeg, p = m.v[4] * kLocDeg, l = m.v[5];
    const float ex = static_cast<float>(l * std::sin(p) * std::cos(a));
    const float ey = static_cast<float>(l * std::sin(p) * std::sin(a));
    const float ez = static_cast<float>(l * std::cos(p));
    line(m.v[0] - ex, m.v[1] - ey, m.v[2] - ez, m.v[0] + ex, m.v[1] + ey, m.v[2] + ez);
  }

  auto disc = [&](const AEEventEntry& e, bool plus) {
    POINT l, r;
    StereoPoint(e.x, e.y, e.z, &l, &r);
    const double rad = MarkerRadius(e);
    for (const POINT& c : {POINT{cx + l.x, cy + l.y}, POINT{cx + r.x, cy + r.y}}) {
      LocDisc(dc, c.x, c.y, rad);
      if (plus) {
        dc->MoveTo(LocTrunc(c.x - rad), c.y);
        dc->LineTo(LocTrunc(c.x + rad), c.y);
        dc->MoveTo(c.x, LocTrunc(c.y - rad));
        dc->LineTo(c.x, LocTrunc(c.y + rad));
      }
    }
  };
  auto rules = [&](const AEEventEntry& e) { return LocArrivalsAndClass(e, h) && PassesCC(e, h); };

  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  const auto& list = doc->m_EventList;
  if (h.m_bUnselected) {
    std::size_t i = 0;
    dc->SelectObject(plat::CBrush(RGB(192, 192, 192)));
    for (; i < list.size() && list[i]->time <= t0; ++i)
      if (rules(*list[i])) disc(*list[i], false);
    dc->SelectObject(plat::CBrush(RGB(255, 192, 192)));
    for (; i < list.size(); ++i)
      if (list[i]->time >= t1 && rules(*list[i])) disc(*list[i], false);
  }

  // The window's filtered events in list order, each with its running number from 1.
  auto each = [&](auto&& use) {
    int number = 0;
    for (const auto& p : list) {
      if (p->time < t0) continue;
      if (p->time > t1) break;
      if (rules(*p)) use(*p, ++number);
    }
  };
  int N = 0;
  each([&](const AEEventEntry&, int) { ++N; });
  if (h.m_nColorMode == 1) m_Palette.SetRange(0, N, 0, 360, 3);

  int Nae = 0, Ns = 0;
  COLORREF brushColour = 0;
  bool haveBrush = false;
  for (const auto& p : list) {
    if (p->time < t0) continue;
    if (p->time > t1) break;
    ++Nae;
    if (!rules(*p)) continue;
    ++Ns;
    if (h.m_bTTypeOpen) {
      const float r = UDRatioOf(*p);
      if (r < -0.5f || r > 0.25f) continue;
    }
    // A brush is made and selected only when the colour changes: neighbours in time
    // mostly share one.
    const COLORREF colour = m_Palette.ValueToColor(Ns, 1.0);
    if (!haveBrush || colour != brushColour) {
      dc->SelectObject(plat::CBrush(colour));
      brushColour = colour;
      haveBrush = true;
    }
    disc(*p, false);
  }
  if (h.m_bTTypeOpen) {
    struct Pass {
      float lo, hi;  // lo < ratio <= hi
      COLORREF brush;
      bool plus;
    };
    const Pass passes[3] = {{0.25f, 0.75f, RGB(255, 255, 255), true},
                            {0.75f, 1e30f, RGB(255, 255, 255), false},
                            {-1e30f, -0.5f, RGB(64, 64, 64), false}};
    for (const Pass& pass : passes) {
      dc->SelectObject(plat::CBrush(pass.brush));
      COLORREF penColour = 0;
      bool havePen = false;
      each([&](const AEEventEntry& e, int number) {
        const float r = UDRatioOf(e);
        if (!(r > pass.lo && r <= pass.hi)) return;
        const COLORREF colour = m_Palette.ValueToColor(number, 1.0);
        if (!havePen || colour != penColour) {
          dc->SelectObject(plat::CPen(PS_SOLID, 0, colour));
          penColour = colour;
          havePen = true;
        }
        disc(e, pass.plus);
      });
    }
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);

  const int yt = layout.textY;
  dc->TextOut(cx, yt, plat::Format("Np/Ns/Nae:%05d/%05d/%05d", N, Ns, Nae));
  DrawTitleLine(dc, cx, LocBaselineBelow(dc, yt - 800, LocTextBottom(dc, yt)), 0);
  m_Palette.DrawColorBarH(dc, cx, yt - 2500, 500, 4000, 1.0);
}
