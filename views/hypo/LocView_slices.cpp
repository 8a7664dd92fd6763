// Plot type 7: the specimen cut into ten horizontal slices along its axis, each shown as a
// circular cross-section with the events that lie in it, top slice first, two per row.
#include <algorithm>
#include <cmath>

#include "views/hypo/LocView.h"
#include "views/hypo/LocView_shared.h"

int LocSlicesLeftCentre(int x0, double Rp, double airMargin) {
  return std::max(x0, LocTrunc(Rp * (1 + std::max(0.0, airMargin)) + 500));
}

int LocSlicesBarX(int x0, double Rp, double airMargin) {
  const int right = LocTrunc(LocSlicesLeftCentre(x0, Rp, airMargin) + 2 * Rp + 1000 +
                             Rp * (1 + std::max(0.0, airMargin)));
  return std::max(LocTrunc(x0 + 4 * Rp + 1500), right + 500);
}

void CLocView::DrawSlices(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const double s = m_fScale, t0 = m_tStart, t1 = m_tEnd, hL = m_fHalfLen;
  const double Rp = m_fRadiusPage;
  const double st = 2 * hL / 10;
  const double rMax = h.m_fDiameter / 2 * (1 + h.m_fAirMargin);
  // A squat specimen's sections are wider than the left margin: the columns move right
  // so that the left one stays on the page.
  const int x0 = LocSlicesLeftCentre(m_ptOrigin.x, Rp, h.m_fAirMargin);
  auto centre = [&](int j) {
    const int column = j % 2, row = j / 2;
    return POINT{LocTrunc(x0 + column * (2 * Rp + 1000)),
                 LocTrunc(m_ptOrigin.y - Rp - row * (2 * Rp + 500))};
  };
  auto rules = [&](const AEEventEntry& e) {
    if (!LocArrivalsAndClass(e, h)) return false;
    if ((e.flags & 16) && e.CC < h.m_fMinCC) return false;
    if (h.m_nShape <= 0 &&
        static_cast<double>(e.x) * e.x + static_cast<double>(e.y) * e.y > rMax * rMax)
      return false;
    return true;
  };
  // Events on or above the top face, or below the bottom one, belong to no slice.
  auto disc = [&](const AEEventEntry& e) {
    const double j = 9 - std::floor((e.z + hL) / st);
    if (!(j >= 0 && j <= 9)) return;
    const POINT c = centre(static_cast<int>(j));
    LocDisc(dc, LocTrunc(c.x + s * e.x), LocTrunc(c.y + s * e.y), MarkerRadius(e));
  };
  auto inWindow = [&](const AEEventEntry& e) { return e.time >= t0 && e.time <= t1; };

  const plat::CPen oldPen = dc->SelectObject(LocOutlinePen());
  const plat::CBrush oldBrush = dc->SelectObject(LocOutlineBrush(h));
  for (int j = 0; j < 10; ++j) {
    const POINT c = centre(j);
    LocDisc(dc, c.x, c.y, Rp);
  }
  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  const auto& list = doc->m_EventList;
  if (h.m_bUnselected) {
    dc->SelectObject(plat::CBrush(RGB(128, 128, 128)));
    for (const auto& p : list)
      if ((p->time <= t0 || p->time >= t1) && rules(*p)) disc(*p);
  }
  int N = 0;
  for (const auto& p : list)
    if (inWindow(*p) && rules(*p)) ++N;
  if (h.m_nColorMode == 1) m_Palette.SetRange(0, N, 0, 360, 3);
  int k = 0;
  for (const auto& p : list) {
    if (!inWindow(*p) || !rules(*p)) continue;
    ++k;
    if (p->flags & 2) continue;  // marked as noise: drawn green on top below
    dc->SelectObject(plat::CBrush(m_Palette.ValueToColor(k, 1.0)));
    disc(*p);
  }
  m_pFlashEntry = list.back().get();
  dc->SelectObject(plat::CBrush(RGB(0, 255, 0)));
  for (const auto& p : list)
    if (inWindow(*p) && (p->flags & 2) && rules(*p)) disc(*p);
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  const int x = LocSlicesBarX(m_ptOrigin.x, Rp, h.m_fAirMargin);
  DrawTitleLine(dc, x, LocTrunc(m_ptOrigin.y - m_fLengthPage - 1500), 0);
  m_Palette.DrawColorBarV(dc, x, m_ptOrigin.y - 4000, 3000, 500, 1.0);
}
