// Plots in the fault plane's own coordinates, S along strike and R up the dip: the
// events of the slab around the plane (type 10), the same coloured by time or b-value in
// random order (type 11), their density (type 12) and a stereo box of S, R and time
// (type 13).
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/numerics/KZ_NumHelpers.h"
#include "base/plot/KZ_Model2D.h"
#include "base/types/KZ_Var2D.h"
#include "platform/CrtRand.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_shared.h"

void CLocView::DrawSectionPlot(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const LocFaultFrame F(h);
  const double s = m_fScale, H = m_fHalfWidth, t0 = m_tStart, t1 = m_tEnd;
  const bool box = h.m_nShape > 0;
  int w = LocTrunc(2 * h.m_fFaultWidth * s);
  const int hh = LocTrunc(2 * h.m_fFaultLen * s);
  if (box) w = hh;
  const int cx = m_ptOrigin.x + 2000 + w / 2, cy = m_ptOrigin.y - hh / 2;

  const plat::CPen oldPen = dc->SelectObject(LocOutlinePen());
  const plat::CBrush oldBrush = dc->SelectObject(LocOutlineBrush(h));
  int yLow;
  if (!box && h.m_fFaultDip < 70) {
    // The cut of the cylinder by the inclined plane.
    const int a = LocTrunc(w / std::cos(h.m_fFaultDip * kLocDeg)) / 2;
    dc->Ellipse(cx - w / 2, cy + a, cx + w / 2, cy - a);
    yLow = cy - a;
  } else {
    dc->Rectangle(cx - w / 2, cy + hh / 2, cx + w / 2, cy - hh / 2);
    yLow = cy - hh / 2;
  }

  auto inSlab = [&](auto&& use) {
    for (const auto& p : doc->m_EventList) {
      const LocStep step = LocFilterStep(*p, t0, t1, h);
      if (step == LocStep::End) break;
      if (step == LocStep::Use && F.InSlab(*p, H)) use(*p);
    }
  };
  int N = 0;
  inSlab([&](const AEEventEntry&) { ++N; });
  if (h.m_nColorMode == 1) m_Palette.SetRange(0, N, 0, 360, 3);

  auto disc = [&](const AEEventEntry& e) {
    LocDisc(dc, LocTrunc(cx + s * F.S(e)), LocTrunc(cy + s * F.R(e)), MarkerRadius(e));
  };
  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  int k = -1;
  inSlab([&](const AEEventEntry& e) {
    ++k;
    if (h.m_bTTypeOpen) {
      const float r = UDRatioOf(e);
      if (r > 0 && r < 0.25f) return;
    }
    dc->SelectObject(plat::CBrush(m_Palette.ValueToColor(k, 1.0)));
    disc(e);
  });
  if (h.m_bTTypeOpen) {
    // T-type events as open circles in the colour of their number.
    dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
    k = -1;
    inSlab([&](const AEEventEntry& e) {
      ++k;
      const float r = UDRatioOf(e);
      if (r < 0 || r > 0.25f) return;
      dc->SelectObject(plat::CPen(PS_SOLID, 20, m_Palette.ValueToColor(k, 1.0)));
      disc(e);
    });
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  dc->TextOut(cx, yLow - 1000, LocPlaneText(h, "Fault", m_fViewAz, m_fViewAd, H));
  DrawTitleLine(dc, cx, LocBaselineBelow(dc, yLow - 1750, LocTextBottom(dc, yLow - 1000)), 0);
}

void CLocView::DrawSectionByB(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const LocFaultFrame F(h);
  const double s = m_fScale, H = m_fHalfWidth, t0 = m_tStart, t1 = m_tEnd;
  const int q = LocTrunc(2 * h.m_fFaultLen * s);
  const int cx = m_ptOrigin.x + 2000 + q / 2, cy = m_ptOrigin.y - q / 2;
  const plat::CPen oldPen = dc->SelectObject(LocOutlinePen());
  const plat::CBrush oldBrush = dc->SelectObject(LocOutlineBrush(h));
  dc->Rectangle(cx - q / 2, cy + q / 2, cx + q / 2, cy - q / 2);
  const int yLow = cy - q / 2;

  const bool byB = h.m_nColorMode == 1;
  if (byB) {
    m_Palette.m_strTitle = "b-value";
    m_Palette.SetRange(h.m_fBMin, h.m_fBMax, 0, 360, 3);
  } else {
    m_Palette.m_strTitle = "Time, sec";
    m_Palette.SetRange(0, t1 - t0, 0, 360, 3);
  }
  m_Palette.DrawColorBarV(dc, cx + q / 2 + 1000, m_ptOrigin.y, 4000, 1000, 1.0);

  // The window's list positions, optionally shuffled by sorting random keys. Positions
  // are held in full width so that any list length is addressed.
  const std::size_t size = doc->m_EventList.size();
  std::size_t first = 0, end = 0;
  while (first < size && doc->m_EventList[first]->time < t0) ++first;
  end = first;
  while (end < size && !(doc->m_EventList[end]->time > t1)) ++end;
  struct Slot {
    int key;
    std::size_t pos;
  };
  std::vector<Slot> order;
  order.reserve(end - first);
  for (std::size_t i = first; i < end; ++i) order.push_back({plat::CrtRand() % 30000, i});
  if (h.m_bRandomOrder)
    std::stable_sort(order.begin(), order.end(),
                     [](const Slot& a, const Slot& b) { return a.key < b.key; });

  const CAEPeak* peaks = doc->GetPeak(0);
  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  for (const Slot& slot : order) {
    if (slot.pos >= doc->m_EventList.size()) continue;
    const AEEventEntry& e = *doc->m_EventList[slot.pos];
    if (e.time < t0 || e.time > t1 || !LocArrivalsAndClass(e, h) || !F.InSlab(e, H)) continue;
    COLORREF colour;
    if (byB) {
      const AEPeakWindowRow* row = peaks ? peaks->FindWindowRow(e.time) : nullptr;
      colour = row ? m_Palette.ValueToColor(row->bML, 1.0) : RGB(136, 136, 136);
    } else {
      colour = m_Palette.ValueToColor(e.time - t0, 1.0);
    }
    dc->SelectObject(plat::CBrush(colour));
    LocDisc(dc, LocTrunc(cx + s * F.S(e)), LocTrunc(cy + s * F.R(e)),
            LocTrunc(5 * std::sqrt(std::max(0.0f, MarkerRadius(e)))));
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  dc->TextOut(m_ptOrigin.x, yLow - 2000, LocPlaneText(h, "R", m_fViewAz, m_fViewAd, H));
  DrawTitleLine(dc, m_ptOrigin.x, LocBaselineBelow(dc, yLow - 2750, LocTextBottom(dc, yLow - 2000)),
                0);
}

void CLocView::DrawSectionDensity(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const LocFaultFrame F(h);
  const double s = m_fScale, t0 = m_tStart, t1 = m_tEnd;
  const double W = h.m_fFaultWidth, L = h.m_fFaultLen;
  int w = LocTrunc(2 * W * s);
  const int hh = LocTrunc(2 * L * s);
  if (h.m_nShape > 0) w = hh;
  const int cx = m_ptOrigin.x + 2000 + w / 2, cy = m_ptOrigin.y - hh / 2;
  const plat::CPen oldPen = dc->SelectObject(LocOutlinePen());
  const plat::CBrush oldBrush = dc->SelectObject(LocOutlineBrush(h));
  dc->Rectangle(cx - w / 2, cy + hh / 2, cx + w / 2, cy - hh / 2);
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  const int yLow = cy - hh / 2;

  const int nS = LocTrunc(W), nR = LocTrunc(L);
  // A plane under 1 mm in either half size has no cells: only its frame is drawn.
  if (nS >= 1 && nR >= 1) {
    const double dS = 2 * W / nS, dR = 2 * L / nR;
    // Counts per cell to events per square centimetre and second; a window without
    // length has no rate, and its cells stay at zero rather than becoming undefined.
    const double f = t1 > t0 ? 100.0 / (dS * dR * (t1 - t0)) : 0.0;
    double** m = KZ_AllocMatrix64(nS, nR);
    if (m) {
      for (const auto& p : doc->m_EventList) {
        const LocStep step = LocFilterStep(*p, t0, t1, h);
        if (step == LocStep::End) break;
        if (step != LocStep::Use || !F.InSlab(*p, m_fHalfLen)) continue;
        const int i = LocTrunc((F.S(*p) + W) / dS), j = LocTrunc((F.R(*p) + L) / dR);
        if (i >= 0 && i < nS && j >= 0 && j < nR) m[i][j] += 1;
      }
      double top = 0;
      for (int i = 0; i < nS; ++i)
        for (int j = 0; j < nR; ++j) {
          m[i][j] *= f;
          top = std::max(top, m[i][j]);
        }
      KZ_Var2D var;
      var.SetData("AE density", "1/(cm*cm*s)", m, nullptr, nS, nR, 0, 0, 0, 1.0, 0, 0);
      var.UpdateRange();
      if (top > 0.01)
        for (int i = 0; i < nS; ++i)
          for (int j = 0; j < nR; ++j) m[i][j] /= top;
      KZ_Model2D model;
      model.SetGrid(static_cast<float>(-W), static_cast<float>(W), nS, static_cast<float>(-L),
                    static_cast<float>(L), nR, "nor. Density", "S, mm", "R, mm");
      KZ_Pal1C pal;
      pal.m_strTitle = "N. Density";
      pal.SetRange(0, 1, 20, 240, 3);
      model.DrawField(dc, cx - w / 2, cy + hh / 2, s, s, &pal, &var, 2);
      pal.DrawColorBarV(dc, cx + w / 2 + 500, cy, 4000, 600, 1.0);
      var.m_ppData = nullptr;  // the matrix is freed here, not by the variable
      KZ_FreeMatrix(m);
    }
  }
  dc->TextOut(cx, yLow - 1000, LocPlaneText(h, "R", m_fViewAz, m_fViewAd, m_fHalfWidth));
  DrawTitleLine(dc, cx, LocBaselineBelow(dc, yLow - 1750, LocTextBottom(dc, yLow - 1000)), 0);
}

CLocView::StereoLayout CLocView::SectionTimeLayout() {
  CTremviaDoc* doc = GetData();
  const CAEHypo& h = *doc->m_pHypo;
  const LocFaultFrame F(h);
  const double s = m_fScale, H = m_fHalfWidth, t0 = m_tStart, t1 = m_tEnd;
  const int T3 = LocTrunc(0.5 * (doc->m_nDocParam / 100) * s);
  const double Th = 0.5 * T3 / s;
  const double Ws = h.m_nShape > 0 ? h.m_fFaultLen : h.m_fFaultWidth;
  const double L = h.m_fFaultLen;
  const int hh = LocTrunc(L * s);
  // The box's corners and every event of the slab.
  std::vector<KZ_Point3D> pts;
  for (const double x : {-Th, Th})
    for (const double y : {-Ws, Ws})
      for (const double z : {-L, L}) pts.push_back({x, y, z});
  double rad = 0;
  for (const auto& p : doc->m_EventList) {
    const LocStep step = LocFilterStep(*p, t0, t1, h);
    if (step == LocStep::End) break;
    if (step != LocStep::Use || !F.InSlab(*p, H)) continue;
    pts.push_back({(p->time - t0) * (T3 / (t1 - t0)) / s - Th, F.S(*p), F.R(*p)});
    rad = std::max(rad, static_cast<double>(MarkerRadius(*p)));
  }
  StereoLayout B = StereoExtent(pts, rad);
  B.cx = std::max(m_ptOrigin.x + 2000 + T3 / 2, LocTrunc(kLocPageEdge - B.left));
  B.cy = std::min(m_ptOrigin.y - hh / 2 - 2000, LocTrunc(-kLocPageEdge - B.top));
  B.textY = std::min(B.cy - hh - 2000, LocTrunc(B.cy + B.bottom - 1000));
  return B;
}

void CLocView::DrawSectionTime3D(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const LocFaultFrame F(h);
  const double s = m_fScale, H = m_fHalfWidth, t0 = m_tStart, t1 = m_tEnd;
  const int T3 = LocTrunc(0.5 * (doc->m_nDocParam / 100) * s);
  const float Th = static_cast<float>(0.5 * T3 / s);
  const float Ws = h.m_nShape > 0 ? h.m_fFaultLen : h.m_fFaultWidth;
  const float L = h.m_fFaultLen;
  const StereoLayout layout = SectionTimeLayout();
  const int cx = layout.cx, cy = layout.cy, yText = layout.textY;
  auto X = [&](const AEEventEntry& e) {
    return static_cast<float>((e.time - t0) * (T3 / (t1 - t0)) / s - Th);
  };

  const plat::CPen oldPen = dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(0, 0, 255)));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
  const float xs[2] = {-Th, Th}, ss[2] = {-Ws, Ws}, rs[2] = {-L, L};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      StereoLine(dc, cx, cy, -Th, ss[a], rs[b], Th, ss[a], rs[b]);
      StereoLine(dc, cx, cy, xs[a], -Ws, rs[b], xs[a], Ws, rs[b]);
      StereoLine(dc, cx, cy, xs[a], ss[b], -L, xs[a], ss[b], L);
    }
  StereoLine(dc, cx, cy, -Th, 0, -L, Th, 0, -L);
  StereoLine(dc, cx, cy, -Th, 0, -L, -Th, 0, L);

  auto each = [&](auto&& use) {
    for (const auto& p : doc->m_EventList) {
      const LocStep step = LocFilterStep(*p, t0, t1, h);
      if (step == LocStep::End) break;
      if (step == LocStep::Use && F.InSlab(*p, H)) use(*p);
    }
  };
  auto disc = [&](const AEEventEntry& e) {
    POINT l, r;
    StereoPoint(X(e), static_cast<float>(F.S(e)), static_cast<float>(F.R(e)), &l, &r);
    const double rad = MarkerRadius(e);
    LocDisc(dc, cx + l.x, cy + l.y, rad);
    LocDisc(dc, cx + r.x, cy + r.y, rad);
  };
  dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  each([&](const AEEventEntry& e) {
    if (h.m_bTTypeOpen) {
      const float r = UDRatioOf(e);
      if (r > 0 && r < 0.25f) return;
    }
    disc(e);
  });
  if (h.m_bTTypeOpen) {
    dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(0, 0, 0)));
    dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
    each([&](const AEEventEntry& e) {
      const float r = UDRatioOf(e);
      if (r >= 0 && r <= 0.25f) disc(e);
    });
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  dc->TextOut(cx, yText, LocPlaneText(h, "R", h.m_fFaultAzimuth, h.m_fFaultDip, H));
  DrawTitleLine(dc, cx, LocBaselineBelow(dc, yText - 750, LocTextBottom(dc, yText)), 0);
}
