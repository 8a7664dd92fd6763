// Plot type 0: the specimen's surface with every sensor at its place, unrolled around the
// axis for a cylinder or unfolded into four side faces and two end faces for a
// rectangular specimen, with the fault traces, an optional picture of the surface and
// the events of the time window.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "base/plot/KZ_Axis.h"
#include "base/plot/KZ_DIB.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_shared.h"
#include "views/hypo/LocView_util.h"

namespace {

constexpr double kPi = std::numbers::pi;

double Unrolled(double phi) { return phi < -0.00001 ? phi + 2 * kPi : phi; }

// Disc radius of the sensor maps: by Mw when it is a plausible magnitude, else by the
// arrival count; never below 0.5 mm, so that the small (or, with laboratory magnitudes,
// negative) sizes still leave a visible mark rather than one that rounds to nothing.
constexpr int kMinMapRadius = 50;
int MapRadius(const AEEventEntry& e, float f) {
  const double m = e.Mw;
  const int r = m >= 0 && m <= 5 ? LocTrunc(std::max(m, 0.5) * f)
                                 : LocTrunc(std::max(0.02 * e.arrivals, 0.5) * f);
  return std::max(r, kMinMapRadius);
}

struct SensorGroup {
  int first, count;
  COLORREF brush;
};

std::vector<SensorGroup> Groups(const CAEHypo& h) {
  const int n1 = std::max(h.m_nSensors, 0), n2 = std::max(h.m_nExtraPoints1, 0),
            n3 = std::max(h.m_nExtraPoints2, 0);
  return {{0, n1, RGB(0, 0, 128)}, {n1, n2, RGB(255, 128, 128)}, {n1 + n2, n3, RGB(0, 128, 128)}};
}

bool Skipped(const CAEHypo& h, int i) {
  return i >= static_cast<int>(h.m_pSensorXYZ.size()) ||
         (i < static_cast<int>(h.m_pSensorName.size()) &&
          h.m_pSensorName[i].find("Empty") != std::string::npos);
}

std::string NameOf(const CAEHypo& h, int i) {
  return i < static_cast<int>(h.m_pSensorName.size()) ? h.m_pSensorName[i] : std::string();
}

// How far above a sensor number's top a name hanging from its top must start so that
// the two stand one above the other.
int NameLift(const plat::CDC* dc) {
  TEXTMETRIC tm;
  if (!dc->GetTextMetrics(&tm)) return 0;
  const int h = std::abs(static_cast<int>(tm.tmHeight));
  return h + std::max(20, h / 16);
}

}  // namespace

void CLocView::DrawPZTMapCylinder(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const CAEHypo& h = *doc->m_pHypo;
  if (h.m_nShape > 0) {
    DrawPZTMapBox(dc);
    return;
  }
  const double s = m_fScale, D = h.m_fDiameter, L = h.m_fSizeZ;
  const int left = m_ptOrigin.x + 1000;
  const int hL = LocTrunc(0.5 * s * L);
  const int yc = m_ptOrigin.y - hL - 2000, top = yc + hL, bottom = yc - hL;
  const int W = LocTrunc(kPi * D * s);
  auto X = [&](double phi) { return LocTrunc(phi * D / 2 * s + left); };

  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
  dc->Rectangle(left, top, left + W, bottom);
  if (!h.m_strDisplayText2.empty() && dc->HasAttributeDc())
    LocDrawPicture(dc, h.m_strDisplayText2, left, top, left + W, bottom);
  dc->MoveTo(left, yc);
  dc->LineTo(left + W, yc);
  for (int k = 1; k <= 3; ++k) {
    const int x = left + LocTrunc(k * kPi * D * s / 4);
    dc->MoveTo(x, bottom);
    dc->LineTo(x, top);
  }
  dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(255, 128, 128)));
  for (const int k : {1, 2, 4, 5}) {
    const int x = left + LocTrunc(k * kPi * D * s / 6);
    dc->MoveTo(x, bottom);
    dc->LineTo(x, top);
  }
  for (int d = 10; d < L / 2; d += 10)
    for (const int y : {yc + LocTrunc(d * s), yc - LocTrunc(d * s)}) {
      dc->MoveTo(left, y);
      dc->LineTo(left + W, y);
    }

  {
    const int capacity = static_cast<int>(std::min(h.m_pFaultXYZ.size(), h.m_pFaultAz.size()));
    int first = 0;
    std::vector<POINT> pts;
    for (int f = 0; f < std::clamp(h.m_nFaults, 0, AEH_MAX_FAULTS); ++f) {
      const int count = std::max(h.m_nFaultPoints[f], 0);
      if (h.m_strFaultName[f].find("Pre") != std::string::npos)
        dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(128, 64, 64)));
      else
        dc->SelectObject(plat::CPen(PS_SOLID, 25, RGB(255, 0, 0)));
      pts.clear();
      for (int p = 0; p < count && first + p < capacity; ++p)
        pts.push_back(POINT{X(Unrolled(h.m_pFaultAz[first + p] * kLocDeg)),
                            LocTrunc(s * h.m_pFaultXYZ[first + p].z + yc)});
      if (!pts.empty()) dc->Polyline(pts.data(), static_cast<int>(pts.size()));
      first += count;
    }
  }

  dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const int oldBk = dc->SetBkMode(TRANSPARENT);
  int group = 0;
  for (const SensorGroup& g : Groups(h)) {
    ++group;
    dc->SelectObject(plat::CBrush(g.brush));
    for (int n = 0; n < g.count; ++n) {
      const int i = g.first + n;
      if (Skipped(h, i)) continue;
      const KZ_Point3D& p = h.m_pSensorXYZ[i];
      const int x = X(Unrolled(std::atan2(p.y, p.x))), y = LocTrunc(s * p.z + yc);
      if (group < 3) {
        dc->Ellipse(x - 250, y + 250, x + 250, y - 250);
        KZ_FormatAxisNumber(dc, x + 200, y - 200, n + 1);
      } else {
        dc->Rectangle(x - 250, y + 100, x + 250, y - 100);
        dc->Rectangle(x - 100, y + 250, x + 100, y - 250);
        KZ_FormatAxisNumber(dc, x, y - 200, n + 1);
      }
      // The name stands above the number, higher than designed when the font needs it.
      if (!NameOf(h, i).empty())
        dc->TextOut(x + 400, std::max(y + 500, y - 200 + NameLift(dc)), NameOf(h, i));
    }
  }
  dc->SetBkMode(oldBk);
  dc->TextOut(left + W / 2, top + 1000, h.m_strTitle);

  if (!doc->m_EventList.empty()) {
    const double t0 = m_tStart, t1 = m_tEnd, R = D / 2, H = m_fHalfWidth;
    auto each = [&](auto&& use) {
      for (const auto& p : doc->m_EventList) {
        const LocStep step = LocFilterStep(*p, t0, t1, h);
        if (step == LocStep::End) break;
        if (step != LocStep::Use) continue;
        const double rr =
            std::sqrt(static_cast<double>(p->x) * p->x + static_cast<double>(p->y) * p->y);
        if (std::fabs(rr - R) <= H) use(*p);
      }
    };
    int N = 0;
    each([&](const AEEventEntry&) { ++N; });
    dc->SelectObject(plat::CPen::Stock(NULL_PEN));
    if (h.m_nColorMode == 1) m_Palette.SetRange(0, N, 0, 360, 3);
    int j = 0;
    each([&](const AEEventEntry& e) {
      dc->SelectObject(plat::CBrush(m_Palette.ValueToColor(j++, 1.0)));
      const int r = MapRadius(e, h.m_fHypoScale);
      const int x = X(Unrolled(std::atan2(static_cast<double>(e.y), e.x)));
      const int y = LocTrunc(s * e.z + yc);
      dc->Ellipse(x - r, y - r, x + r, y + r);
    });
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
}

void CLocView::DrawPZTMapBox(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const CAEHypo& h = *doc->m_pHypo;
  const double s = m_fScale, X = h.m_fSizeX, Y = h.m_fSizeY, L = h.m_fSizeZ;
  const int left = m_ptOrigin.x + 1000;
  const int hL = LocTrunc(0.5 * s * L);
  const int yc = m_ptOrigin.y - hL - 2000, top = yc + hL, bottom = yc - hL;
  const int hX = LocTrunc(0.5 * s * X), hY = LocTrunc(0.5 * s * Y);
  const int x1 = left + 2 * hX, x2 = x1 + 2 * hY, x3 = x2 + 2 * hX;

  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
  dc->Rectangle(left, top, left + 4 * (hX + hY), bottom);
  if (!h.m_strDisplayText2.empty() && dc->HasAttributeDc())
    LocDrawPicture(dc, h.m_strDisplayText2, left, top, left + 4 * (hX + hY), bottom);
  dc->MoveTo(left, yc);
  dc->LineTo(left + 4 * (hX + hY), yc);
  for (const int x : {x1, x2, x3}) {
    dc->MoveTo(x, bottom);
    dc->LineTo(x, top);
  }
  dc->Rectangle(left, bottom - 500, x1, bottom - 500 - 2 * hY);
  dc->Rectangle(x1, bottom - 500, x1 + 2 * hX, bottom - 500 - 2 * hY);
  const int yL = yc - hY + 800;
  dc->TextOut(left + 500, yL, "Y-");
  dc->TextOut(left + 500 + 2 * hX, yL, "X+");
  dc->TextOut(left + 500 + 2 * hX + 2 * hY, yL, "Y+");
  dc->TextOut(left + 500 + 4 * hX + 2 * hY, yL, "X-");
  dc->TextOut(left + 500, yL - 2 * hL, "Z+");
  dc->TextOut(left + 500 + 2 * hX, yL - 2 * hL, "Z-");

  const int oldBk = dc->SetBkMode(TRANSPARENT);
  const double k = 0.499;
  const int yEnd = bottom - 500 - hY;
  int group = 0;
  for (const SensorGroup& g : Groups(h)) {
    ++group;
    dc->SelectObject(plat::CBrush(g.brush));
    const int r = group < 3 ? LocTrunc(2.5 * s) : LocTrunc(5 * s);
    for (int n = 0; n < g.count; ++n) {
      const int i = g.first + n;
      if (Skipped(h, i)) continue;
      const KZ_Point3D& p = h.m_pSensorXYZ[i];
      int px, py = LocTrunc(s * p.z + yc);
      if (p.y < -k * Y)
        px = LocTrunc(s * p.x + left + hX);
      else if (p.y > k * Y)
        px = LocTrunc(x2 + hX - s * p.x);
      else if (p.x > k * X)
        px = LocTrunc(s * p.y + x1 + hY);
      else if (p.x < -k * X)
        px = LocTrunc(x3 + hY - s * p.y);
      else if (p.z > k * L) {
        px = LocTrunc(s * p.x + left + hX);
        py = LocTrunc(s * p.y + yEnd);
      } else if (p.z < -k * L) {
        px = LocTrunc(s * p.x + x1 + hX);
        py = LocTrunc(s * p.y + yEnd);
      } else {
        continue;  // inside the specimen: on no face
      }
      dc->Ellipse(px - r, py + r, px + r, py - r);
      // Number and name beside the mark, not on it, where the mark is wider than the
      // designed offset.
      const int tx = group < 3 ? px + std::max(200, r + 60) : px + 200;
      if (group < 3)
        KZ_FormatAxisNumber(dc, tx, py - 200, n + 1);
      else
        KZ_FormatAxisNumber(dc, px - 100, py + 100, n + 1);
      if (!NameOf(h, i).empty()) {
        const int numberTop = group < 3 ? py - 200 : py + 100;
        dc->TextOut(tx, std::max(py + 200, numberTop + NameLift(dc)), NameOf(h, i));
      }
    }
  }
  dc->SetBkMode(oldBk);
  dc->TextOut(left + 2 * (hX + hY), top + 1000, h.m_strTitle);

  if (!doc->m_EventList.empty()) {
    dc->SelectObject(plat::CPen::Stock(NULL_PEN));
    dc->SelectObject(plat::CBrush(RGB(255, 0, 0)));
    for (const auto& p : doc->m_EventList) {
      if (p->time < m_tStart || p->time > m_tEnd) continue;
      const int r = MapRadius(*p, h.m_fHypoScale);
      const int y = LocTrunc(s * p->z + yc);
      const int xa = LocTrunc(s * p->x + left + hX), xb = LocTrunc(s * p->y + x1 + hY);
      dc->Ellipse(xa - r, y - r, xa + r, y + r);
      dc->Ellipse(xb - r, y - r, xb + r, y + r);
    }
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
}
