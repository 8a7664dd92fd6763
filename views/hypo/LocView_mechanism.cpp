// First-motion and mechanism plots of the time window: up/down ratios against time and
// event order (type 16), the empty focal-sphere frame of types 17-19, the composite first
// motions with their grid-search mechanism (type 20) and the ternary mechanism diagram
// (type 21).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "base/numerics/KZ_EQMT.h"
#include "base/numerics/KZ_MecaFit.h"
#include "base/plot/KZ_Axis.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_shared.h"

namespace {

constexpr double kRad = std::numbers::pi / 180.0;

// The focal sphere's circle and cross lines around (x, -6000), radius 5000.
void SphereFrame(plat::CDC* dc, int x) {
  dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  dc->SelectObject(plat::CPen(PS_SOLID, 50, RGB(0, 0, 0)));
  dc->Ellipse(x - 5000, -1000, x + 5000, -11000);
  dc->MoveTo(x - 5000, -6000);
  dc->LineTo(x + 5000, -6000);
  dc->MoveTo(x, -11000);
  dc->LineTo(x, -1000);
}

// One square of the ternary diagram's background.
struct TernaryCell {
  int x, y;
  COLORREF colour;
};

// The background of the ternary diagram depends on no data: every mechanism of the 2-degree
// grid is placed by the plunges of its axes and coloured by its rake type. Mechanisms
// that differ only in strike land on the same square, and a later square covers an
// earlier one at the same place completely, so only the last square of each place is
// kept, in the order of those last squares; the picture is the same.
const std::vector<TernaryCell>& TernaryBackground(int h, int yc) {
  static const std::vector<TernaryCell> cells = [h, yc] {
    KZ_Pal1C pal;
    pal.SetRange(-1, 1.4, 0, 360, 3);
    KZ_EQMT m;
    auto plunge = [](const KZ_Vector3D& v) {
      double az = 0, polar = 0;
      v.GetAxisAngles(&az, &polar);
      return std::numbers::pi / 2 - polar;
    };
    std::vector<TernaryCell> all;
    for (int strike = 0; strike <= 360; strike += 2)
      for (int dip = 0; dip <= 90; dip += 2)
        for (int rake = -180; rake <= 180; rake += 2) {
          m.SetMechanism(strike * kRad, dip * kRad, rake * kRad);
          m.ComputeAxes();
          double x = 0, y = 0;
          KZ_MechTernaryXY(plunge(m.P), plunge(m.T), plunge(m.B), &x, &y);
          all.push_back({LocTrunc(x * h + 7000), LocTrunc(y * h + yc),
                         pal.ValueToColor(m.GetRakeType(), 1.0)});
        }
    // Keep the last square of every place, in drawing order.
    std::vector<std::size_t> index(all.size());
    for (std::size_t i = 0; i < index.size(); ++i) index[i] = i;
    std::stable_sort(index.begin(), index.end(), [&](std::size_t a, std::size_t b) {
      if (all[a].x != all[b].x) return all[a].x < all[b].x;
      return all[a].y < all[b].y;
    });
    std::vector<std::size_t> keep;
    for (std::size_t k = 0; k < index.size(); ++k)
      if (k + 1 == index.size() || all[index[k + 1]].x != all[index[k]].x ||
          all[index[k + 1]].y != all[index[k]].y)
        keep.push_back(index[k]);
    std::sort(keep.begin(), keep.end());
    std::vector<TernaryCell> out;
    out.reserve(keep.size());
    for (const std::size_t i : keep) out.push_back(all[i]);
    return out;
  }();
  return cells;
}

}  // namespace

void CLocView::DrawUpDownRatio(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const double s = m_fScale, t0 = m_tStart, t1 = m_tEnd;
  const int W = LocTrunc((doc->m_nDocParam / 100) * s);
  const int hh = LocTrunc(h.m_fFaultLen * s);
  const int left = m_ptOrigin.x + 500, bottom = m_ptOrigin.y - hh;
  const int bottom2 = bottom - hh - 4000;

  struct Drawn {
    const AEEventEntry* e;
    float r;
  };
  std::vector<Drawn> drawn;
  for (const auto& p : doc->m_EventList) {
    const LocStep step = LocFilterStep(*p, t0, t1, h);
    if (step == LocStep::End) break;
    if (step != LocStep::Use) continue;
    const float r = UDRatioOf(*p);
    if (r >= 0) drawn.push_back({p.get(), r});
  }
  const int N = static_cast<int>(drawn.size());
  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
  for (int pass = 0; pass < 2; ++pass)
    for (int j = 0; j < N; ++j) {
      const AEEventEntry& e = *drawn[j].e;
      const int x = pass == 0 ? LocTrunc((e.time - t0) * W / (t1 - t0) + left)
                              : LocTrunc(static_cast<double>(j) * W / N + left);
      const int y = LocTrunc(drawn[j].r * hh + (pass == 0 ? bottom : bottom2));
      const int rad = LocTrunc(MarkerRadius(e));
      dc->SelectObject(plat::CBrush(m_Palette.ValueToColor(j, 1.0)));
      dc->Ellipse(x - rad, y - rad, x + rad, y + rad);
    }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);

  const double ts = doc->m_fTimeStart;
  const auto start = plat::MakeLocalTime(h.m_tmStart);
  const std::int64_t calendar = (start ? *start : 0) + static_cast<std::int64_t>(std::trunc(ts));
  const double fraction = ts - std::trunc(ts);
  KZ_DrawTimeAxis(dc, left, bottom, W, 0, -1, fraction, doc->m_fTimeSpan,
                  start ? &calendar : nullptr, " ");
  KZ_DrawAxisY(dc, left, bottom, hh, 1, 0, 1, 10, "U/(D+U)");
  KZ_DrawTimeAxis(dc, left, bottom + hh, W, 0, 1, fraction, doc->m_fTimeSpan, nullptr, "");
  KZ_DrawAxisX(dc, left, bottom2, W, -1, 0, 1, 10, "~AE#", RGB(0, 0, 0));
  KZ_DrawAxisY(dc, left, bottom2, hh, 1, 0, 1, 10, "U/(D+U)");
  KZ_DrawAxisX(dc, left, bottom2 + hh, W, 1, 0, 1, 10, "", RGB(0, 0, 0));
}

void CLocView::DrawFMDistribution(plat::CDC* dc, int /*kind*/) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  dc->SetTextAlign(TA_CENTER | TA_TOP);
  dc->TextOut(6000, -12200, h.m_strTitle);
  SphereFrame(dc, 6000);
  dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(128, 128, 128)));
  for (int a = 15; a <= 75; a += 15) {
    const int r = LocTrunc(5000 * std::tan(a * kLocDeg / 2));
    dc->Ellipse(6000 - r, -6000 + r, 6000 + r, -6000 - r);
  }
  int N = 0;
  for (const auto& p : doc->m_EventList) {
    const LocStep step = LocFilterStep(*p, m_tStart, m_tEnd, h);
    if (step == LocStep::End) break;
    if (step == LocStep::Use) ++N;
  }
  if (h.m_nColorMode == 1) m_Palette.SetRange(0, N, 0, 360, 3);
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
  m_Palette.DrawColorBarV(dc, 12500, -6000, 3000, 500, 1.0);
}

void CLocView::DrawFMMeanSolution(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  CAEHypo& h = *doc->m_pHypo;
  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  dc->SetTextAlign(TA_CENTER | TA_TOP);
  dc->TextOut(7000, -12200, h.m_strTitle);
  SphereFrame(dc, 7000);
  dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(128, 128, 128)));

  // The threshold comes from the current record as the drawing starts; the events are
  // read into a record of their own, so the current one stays as it was.
  const int nMin = h.m_Rec.nArrivals / 4;
  const int sensors = std::clamp(h.m_nSensors, 0, AEH_MAX_SENSORS);
  std::vector<KZ_MecaStation> st;
  AEHRecord rec{};
  for (const auto& p : doc->m_EventList) {
    const LocStep step = LocFilterStep(*p, m_tStart, m_tEnd, h);
    if (step == LocStep::End) break;
    if (step != LocStep::Use || !LocReadRecord(h, p->record, &rec)) continue;
    const int n = std::clamp(static_cast<int>(rec.nArrivals), 0, sensors);
    auto factor = [&](int k) {
      const int s = rec.nSensor[k];
      if (s < 0 || s >= static_cast<int>(h.m_pSensorXYZ.size()) ||
          s >= static_cast<int>(h.m_pSensorSign.size()))
        return 0.0f;
      return h.m_pSensorSign[s];
    };
    auto usable = [&](int k) { return rec.nPolarity[k] != 0 && std::fabs(factor(k)) >= 0.1f; };
    int ups = 0, downs = 0;
    for (int k = 0; k < n; ++k)
      if (usable(k)) (rec.nPolarity[k] * factor(k) >= 0 ? ups : downs) += 1;
    if (ups < nMin || downs < nMin || n < 1) continue;
    for (int k = 0; k < n; ++k) {
      if (!usable(k)) continue;
      const float f = factor(k);
      const KZ_Point3D& S = h.m_pSensorXYZ[rec.nSensor[k]];
      KZ_Vector3D ray(S.x - rec.fX, S.y - rec.fY, S.z - rec.fZ);
      ray.Normalize();
      double phi = 0, theta = 0;
      ray.GetAxisAngles(&phi, &theta);
      KZ_Vector3D horizontal(S.x, S.y, 0);
      horizontal.Normalize();
      const double c = KZ_Dot(ray, horizontal);
      KZ_MecaStation o;
      std::strcpy(o.m_cCode, "P");
      o.m_fAux = rec.fTime[k] - rec.fT0;
      o.m_fAmp = static_cast<float>(rec.fSN[k] * rec.nPolarity[k] * f * c);
      // The search reads the first motion from the polarity field: without it every
      // mechanism would fit equally well.
      o.m_fPolarity = rec.nPolarity[k] * f >= 0 ? 1.0f : -1.0f;
      const double azimuth = 90.0 - phi / kRad;
      const double takeoff = 180.0 - theta / kRad;
      o.m_fAzimuth = static_cast<float>(azimuth);
      o.m_fTakeoff = static_cast<float>(takeoff);
      st.push_back(o);

      const double angle = takeoff > 90 ? theta / kRad : takeoff;
      const double psi = (takeoff > 90 ? azimuth + 180 : azimuth) * kRad;
      const double R = 5000 * std::tan(angle * kRad / 2);
      const int X = LocTrunc(R * std::sin(psi) + 7000), Y = LocTrunc(R * std::cos(psi) - 6000);
      if (rec.nPolarity[k] > 0) {
        dc->MoveTo(X - 100, Y);
        dc->LineTo(X + 100, Y);
        dc->MoveTo(X, Y - 100);
        dc->LineTo(X, Y + 100);
      } else {
        dc->Ellipse(X - 50, Y + 50, X + 50, Y - 50);
      }
    }
  }

  KZ_MecaFit fit;
  // The misfit grid goes beside the experiment's parameter file, never into the current
  // folder.
  if (!h.m_strParFile.empty()) fit.m_strGridFile = KZ_GetFolder(h.m_strParFile) + "Meca.lm3";
  float out[3] = {};
  double misfit = 0, curv[6] = {};
  const int status =
      fit.GridSearch(st.data(), static_cast<int>(st.size()), out, &misfit, curv, 0.1f);
  if (status == 0) {
    KZ_EQMT m;
    m.SetMechanism(out[0] * kRad, out[1] * kRad, out[2] * kRad);
    m.ComputeAxes();
    m.DrawRadiation(dc, 18000, -6000, 5000, 1, 1);
    // The pattern's drawing leaves its last colour as the text background: the solution
    // is written on the page itself.
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextAlign(TA_CENTER | TA_TOP);
    dc->TextOut(18000, -12200,
                plat::Format("Fault(Strike/dip/rake): %.0f/%.0f/%.0f,  %.0f/%.0f/%.0f",
                             m.Plane1.strike / kRad, m.Plane1.dip / kRad,
                             LocRake180(m.Plane1.rake / kRad), m.Plane2.strike / kRad,
                             m.Plane2.dip / kRad, LocRake180(m.Plane2.rake / kRad)));
  }
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
}

void CLocView::DrawTernaryDiagram(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const CAEHypo& h = *doc->m_pHypo;
  const int hh = LocTrunc(10000 * std::sin(60 * kRad));
  const int yb = -2000 - hh;
  const int yc = LocTrunc(5000 * std::tan(30 * kRad) + yb);
  KZ_Pal1C pal;
  pal.SetRange(-1, 1.4, 0, 360, 3);

  const plat::CPen oldPen = dc->SelectObject(plat::CPen::Stock(NULL_PEN));
  const plat::CBrush oldBrush = dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
  for (const TernaryCell& c : TernaryBackground(hh, yc))
    dc->FillSolidRect(c.x - 100, c.y - 100, 200, 200, c.colour);
  pal.DrawColorBarV(dc, 13000, yc, 2000, 500, 1.0);

  dc->SelectObject(plat::CPen(PS_SOLID, 50, RGB(0, 0, 0)));
  const POINT triangle[3] = {{2000, yb}, {12000, yb}, {7000, yb + hh}};
  dc->Polygon(triangle, 3);
  auto page = [&](double p, double t, double b) {
    double x = 0, y = 0;
    KZ_MechTernaryXY(p, t, b, &x, &y);
    return POINT{LocTrunc(x * hh + 7000), LocTrunc(y * hh + yc)};
  };
  for (int curve = 0; curve < 3; ++curve) {
    const double fixed = (curve == 1 ? 50 : 60) * kRad;
    std::vector<POINT> pts;
    for (int a = 0;; a += 2) {
      const double ar = a * kRad;
      const double w = 1 - std::pow(std::sin(ar), 2) - std::pow(std::sin(fixed), 2);
      if (w < 0) break;
      const double third = std::asin(std::sqrt(w));
      if (curve == 0) pts.push_back(page(fixed, third, ar));
      if (curve == 1) pts.push_back(page(ar, fixed, third));
      if (curve == 2) pts.push_back(page(ar, third, fixed));
    }
    if (!pts.empty()) dc->Polyline(pts.data(), static_cast<int>(pts.size()));
  }
  // The background squares leave their colour as the text background: the line is
  // written on the page itself.
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextAlign(TA_LEFT | TA_TOP);
  dc->TextOut(1250, yb - 2000,
              plat::Format("%s, Normal:%d, Reverse:%d, Strike-slip:%d, Other:%d",
                           h.m_strTitle.c_str(), 0, 0, 0, 0));
  dc->SelectObject(oldPen);
  dc->SelectObject(oldBrush);
}
