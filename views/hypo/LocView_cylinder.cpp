// Plot type 1: the specimen's mantle unrolled into a rectangle as wide as its
// circumference, with the events near the mantle at their azimuth and height and the
// fault traces of the parameter file, over an optional photograph of the surface.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/plot/KZ_DIB.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_util.h"

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Azimuths just below 0 (rounding of points on the positive x axis) stay at the left
// edge; the others are brought into 0 .. 2 pi.
double UnrolledAzimuth(double phi) { return phi < -0.00001 ? phi + kTwoPi : phi; }

}  // namespace

void CLocView::DrawCylinderMap(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const double s = m_fScale, R = m_fHalfDia, H = m_fHalfWidth;
  const int x0 = m_ptOrigin.x;
  const int W = LocTrunc(std::numbers::pi * h.m_fDiameter * s);
  const int hh = LocTrunc(0.5 * h.m_fSizeZ * s);
  const int yc = LocTrunc(m_ptOrigin.y - s * m_fHalfLen);
  auto near = [&](const AEEventEntry& e) {
    return std::fabs(std::sqrt(static_cast<double>(e.x) * e.x + static_cast<double>(e.y) * e.y) -
                     R) <= H;
  };
  auto pageOf = [&](const AEEventEntry& e) {
    const double phi = UnrolledAzimuth(std::atan2(static_cast<double>(e.y), e.x));
    return POINT{LocTrunc(phi * R * s + x0), LocTrunc(e.z * s + yc)};
  };
  auto disc = [&](const AEEventEntry& e) {
    const POINT p = pageOf(e);
    const int r = LocTrunc(MarkerRadius(e));
    dc->Ellipse(p.x - r, p.y - r, p.x + r, p.y + r);
  };

  const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(0, 0, 0)));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
  dc->Rectangle(x0, yc + hh, x0 + W, yc - hh);
  if (!h.m_strDisplayText2.empty() && dc->HasAttributeDc())
    LocDrawPicture(dc, h.m_strDisplayText2, x0, yc + hh, x0 + W, yc - hh);

  dc->SelectObject(plat::CPen(PS_SOLID, 10, RGB(128, 128, 128)));
  dc->MoveTo(x0, yc);
  dc->LineTo(x0 + W, yc);
  for (int k = 1; k <= 3; ++k) {
    const int xk = LocTrunc(x0 + k * std::numbers::pi * h.m_fDiameter * s * 0.25);
    dc->MoveTo(xk, yc - hh);
    dc->LineTo(xk, yc + hh);
  }

  const double t0 = m_tStart, t1 = m_tEnd;
  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  if (h.m_bUnselected) {
    dc->SelectObject(plat::CBrush(RGB(128, 128, 128)));
    for (const auto& e : doc->m_EventList)
      if ((e->time <= t0 || e->time >= t1) && near(*e)) disc(*e);
  }

  int N = 0;
  for (const auto& e : doc->m_EventList) {
    if (e->time < t0) continue;
    if (e->time > t1) break;
    if (near(*e)) ++N;
  }
  if (h.m_nColorMode == 1) m_Palette.SetRange(0, N, 0, 360, 3);
  int k = 0;
  for (const auto& e : doc->m_EventList) {
    if (e->time < t0) continue;
    if (e->time > t1) break;
    if (!near(*e)) continue;
    dc->SelectObject(plat::CBrush(m_Palette.ValueToColor(k, 1.0)));
    disc(*e);
    ++k;
  }

  // The parameter file gives the fault points' azimuths only for a cylinder; on a
  // rectangular specimen they are undefined, so no trace is drawn there.
  if (h.m_nShape <= 0) {
    const int capacity = static_cast<int>(std::min(h.m_pFaultXYZ.size(), h.m_pFaultAz.size()));
    int first = 0;
    for (int f = 0; f < std::clamp(h.m_nFaults, 0, AEH_MAX_FAULTS); ++f) {
      const int count = std::max(h.m_nFaultPoints[f], 0);
      if (h.m_strFaultName[f].find("Pre") != std::string::npos)
        dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(128, 64, 64)));
      else
        dc->SelectObject(plat::CPen(PS_SOLID, 25, RGB(255, 0, 0)));
      for (int p = 0; p < count && first + p < capacity; ++p) {
        const double phi = UnrolledAzimuth(h.m_pFaultAz[first + p] * kLocDeg);
        const int x = LocTrunc(phi * h.m_fDiameter * 0.5 * s + x0);
        const int y = LocTrunc(s * h.m_pFaultXYZ[first + p].z + yc);
        if (p == 0)
          dc->MoveTo(x, y);
        else
          dc->LineTo(x, y);
      }
      first += count;
    }
  }
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
}
