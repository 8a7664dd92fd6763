// Plot types 8 and 9: the distance of the events from the fault plane's reference point
// (type 8) or their up-dip coordinate in the plane's slab (type 9) against time, with
// optional diffusion fronts r = sqrt(4 pi D t). Drawn markers can be picked with the mouse.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "base/plot/KZ_Axis.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_shared.h"

void CLocView::DrawDistanceTime(plat::CDC* dc, int kind) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const LocFaultFrame F(h);
  const bool toPoint = kind == 1;
  const double s = m_fScale, H = m_fHalfWidth, t0 = m_tStart, t1 = m_tEnd;
  const double L = h.m_fFaultLen;
  const int Wt = doc->m_nDocParam;
  const int hh = LocTrunc(s * L);
  const int yR0 = toPoint ? m_ptOrigin.y - hh : LocTrunc(m_ptOrigin.y - 0.5 * hh);
  const double k = toPoint ? hh / L : 0.5 * hh / L;
  const int yb = toPoint ? yR0 : LocTrunc(yR0 - 0.5 * hh);
  const int xl = m_ptOrigin.x + 500;
  const double q = Wt / (t1 - t0);

  auto distance = [&](const AEEventEntry& e) {
    if (!toPoint) return F.R(e);
    const double dx = e.x - F.x0, dy = e.y - F.y0, dz = e.z - F.z0;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
  };
  auto each = [&](auto&& use) {
    for (const auto& p : doc->m_EventList) {
      const LocStep step = LocFilterStep(*p, t0, t1, h);
      if (step == LocStep::End) break;
      if (step == LocStep::Use && (toPoint || F.InSlab(*p, H))) use(*p);
    }
  };
  auto place = [&](const AEEventEntry& e) {
    return POINT{LocTrunc((e.time - t0) * q + xl), LocTrunc(distance(e) * k + yR0)};
  };
  auto disc = [&](const AEEventEntry& e) {
    const POINT p = place(e);
    const int r = LocTrunc(MarkerRadius(e));
    dc->Ellipse(p.x - r, p.y - r, p.x + r, p.y + r);
    return p;
  };

  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
  if (h.m_nColorMode == 3) {
    KZ_Pal1C pal;
    pal.SetRange(0, 1, 0, 360, 3);
    each([&](const AEEventEntry& e) {
      dc->SelectObject(plat::CBrush(pal.ValueToColor(UDRatioOf(e), 1.0)));
      disc(e);
    });
  } else {
    each([&](const AEEventEntry& e) {
      if (h.m_bTTypeOpen) {
        const float r = UDRatioOf(e);
        if (r > 0 && r < 0.25f) return;
      }
      const POINT p = disc(e);
      AddHit(&e, p.x, p.y);
    });
    if (h.m_bTTypeOpen) {
      dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(0, 0, 0)));
      dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
      each([&](const AEEventEntry& e) {
        const float r = UDRatioOf(e);
        if (r >= 0 && r <= 0.25f) disc(e);
      });
    }
  }

  if (h.m_fDiffusivity > 0) {
    dc->SetTextAlign(TA_BASELINE | TA_LEFT);
    dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(255, 0, 0)));
    const double dt = (t1 - t0) / 100;
    std::vector<POINT> pts;
    // Boxes of the curve labels written so far: a label that would cover the one before
    // moves down by a line.
    std::vector<RECT> written;
    for (int f = 0; f < 4; ++f) {
      const double Dk = (f + 1) * static_cast<double>(h.m_fDiffusivity);
      const double c = 2 * std::sqrt(std::numbers::pi * Dk);
      int dx = 0, dy = 0;
      for (int i = 0; i < 100; ++i) {
        const double ti = i * dt;
        dy = LocTrunc(c * std::sqrt(ti) * k);
        if (dy > hh) break;
        dx = LocTrunc(ti * q);
        if (dx > Wt) break;
        pts.push_back(POINT{xl + dx, yb + dy});
      }
      if (!pts.empty()) dc->Polyline(pts.data(), static_cast<int>(pts.size()));
      if (f == 0 || f == 3) {
        const std::string label = plat::Format("D=%5.2fm^2/s", Dk);
        // At the curve's end; a curve that left the frame at the top is labelled at its
        // last point inside, hanging below it, clear of the time axis along the top.
        POINT at{xl + dx, yb + dy};
        UINT align = TA_BASELINE | TA_LEFT;
        if (dy > hh && !pts.empty()) {
          at = POINT{pts.back().x + 100, pts.back().y};
          align = TA_TOP | TA_LEFT;
        }
        dc->SetTextAlign(align);
        const SIZE ext = dc->GetTextExtent(label);
        TEXTMETRIC tm;
        if (!dc->GetTextMetrics(&tm)) tm = TEXTMETRIC{};
        auto boxAt = [&](int y) {
          const int top = align == (TA_TOP | TA_LEFT) ? y : y + std::abs(int(tm.tmAscent));
          return RECT{at.x, top, at.x + static_cast<int>(ext.cx), top - static_cast<int>(ext.cy)};
        };
        for (int tries = 0; tries < 4; ++tries) {
          const RECT b = boxAt(at.y);
          const bool covers = std::any_of(written.begin(), written.end(), [&](const RECT& o) {
            return b.left < o.right && o.left < b.right && b.bottom < o.top && o.bottom < b.top;
          });
          if (!covers) break;
          at.y -= ext.cy + 40;
        }
        written.push_back(boxAt(at.y));
        dc->TextOut(at.x, at.y, label);
        dc->SetTextAlign(TA_BASELINE | TA_LEFT);
      }
      pts.clear();
    }
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);

  const std::string title =
      toPoint ? plat::Format("%s R:dist to (%3.0f,%3.0f,%3.0f)", h.m_strTitle.c_str(), h.m_fFaultX,
                             h.m_fFaultY, h.m_fFaultZ)
              : LocPlaneText(h, "R", h.m_fFaultAzimuth + 180.0, 90.0 - h.m_fFaultDip, H);
  KZ_DrawAxisY(dc, xl, yb, hh, 1, toPoint ? 0.0f : static_cast<float>(-L), static_cast<float>(L),
               10, "R(mm)");
  const double ts = doc->m_fTimeStart;
  const auto start = plat::MakeLocalTime(h.m_tmStart);
  const std::int64_t calendar = (start ? *start : 0) + static_cast<std::int64_t>(std::trunc(ts));
  const double fraction = ts - std::trunc(ts);
  KZ_DrawTimeAxis(dc, xl, yb, Wt, 0, -1, fraction, doc->m_fTimeSpan, start ? &calendar : nullptr,
                  title.c_str());
  KZ_DrawTimeAxis(dc, xl, yb + hh, Wt, 0, 1, fraction, doc->m_fTimeSpan, nullptr, "");
}
