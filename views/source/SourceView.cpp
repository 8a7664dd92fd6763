#include "views/source/SourceView.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"
#include "base/numerics/KZ_EQMT.h"
#include "base/plot/KZ_Axis.h"
#include "base/types/KZ_Vector3D.h"
#include "platform/Gdi.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"

namespace {

constexpr int kCentreY = -4500;
constexpr int kRadius = 4000;

const char* TypeLabel(int type) {
  switch (type) {
    case 1:
    case 5:  // the moment-tensor solution is a shear solution too
      return "Type-S";
    case 2:
      return "Type-T";
    case 3:
      return "Type-C";
    case 4:
      return "Type-TS";
    default:
      return nullptr;
  }
}

bool IsShearType(int type) { return type == 1 || type == 5; }

// The unit ray from the hypocentre to sensor s.
KZ_Vector3D Ray(const CAEHypo& h, int s) {
  const KZ_Point3D& p = h.m_pSensorXYZ[static_cast<std::size_t>(s)];
  KZ_Vector3D v(p.x - h.m_Rec.fX, p.y - h.m_Rec.fY, p.z - h.m_Rec.fZ);
  v.Normalize();
  return v;
}

bool ValidSensor(const CAEHypo& h, int s) {
  return s >= 0 && s < h.m_nSensors && s < static_cast<int>(h.m_pSensorXYZ.size());
}

float SensorFactor(const CAEHypo& h, int s) {
  return s < static_cast<int>(h.m_pSensorSign.size()) ? h.m_pSensorSign[static_cast<std::size_t>(s)]
                                                      : 1.0f;
}

}  // namespace

CSourceView::CSourceView(QWidget* parent) : KZ_View(parent) {
  MapCommand(ID_SRC_NEXT, [this] { OnNextEvent(); });
  MapCommand(ID_SRC_NEXTSHEAR, [this] { OnShearSearch(1); });
  MapCommand(ID_SRC_PREVSHEAR, [this] { OnShearSearch(-1); });
  MapCommand(ID_SRC_SHEAR, [this] { OnShearCrack(); });
  MapCommand(ID_SRC_TENSILE, [this] { OnTensile(); });
  MapCommand(ID_SRC_CLOSURE, [this] { OnClosure(); });
  MapCommand(ID_SRC_WAVEFORM, [this] { m_bShowWave = 1 - m_bShowWave; });
  MapUpdate(ID_SRC_WAVEFORM, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bShowWave ? 1 : 0); });
  MapCommand(ID_VIEW_ZOOMIN, [this] {
    m_fZoom *= 2.0f;
    Refresh();
  });
  MapCommand(ID_VIEW_ZOOMOUT, [this] {
    m_fZoom /= 2.0f;
    Refresh();
  });
}

void CSourceView::OnInitialUpdate() {
  plat::CScrollView::OnInitialUpdate();
  m_nScrollW = 20000;
  m_nScrollH = 20000;
  SetPageScrollSizes();
  m_nPlotLeft = 1000;
  m_nPlotTop = -1000;
}

void CSourceView::OnUpdate(plat::CView*, LONG lHint, void*) {
  if (lHint != 0 && !(lHint & HINT_SOURCE)) return;
  RenderPageToDIB();
  Invalidate(TRUE);
}

void CSourceView::OnContextMenu(POINT screenPoint) {
  TrackContextMenu(IDR_MENU, kMenuPopup, screenPoint);
}

CTremviaDoc* CSourceView::GetData() const {
  if (m_pData) return m_pData;
  return dynamic_cast<CTremviaDoc*>(GetDocument());
}

// ---- Commands ----

void CSourceView::OnNextEvent() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  // A failed read past the end keeps the record and moves the index on regardless.
  ++h.m_nCurAE;
  h.GetAEH(h.m_nCurAE);
  Refresh();
}

void CSourceView::OnShearSearch(int step) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  auto qualifies = [&h] {
    if (IsShearType(h.m_Rec.nMecType)) return true;
    int up = 0, down = 0;
    h.GetUDRatio(&up, &down);
    return up >= h.m_nMecMinUp && down >= h.m_nMecMinDown;
  };
  // The search starts beside the current record: from a qualifying record it would
  // otherwise find that record again and never move.
  const int start = h.m_Rec.nIndex;
  int i = start + step;
  if (step > 0) {
    while (i < h.GetNumAE()) {
      if (!h.GetAEH(i)) break;
      if (qualifies()) break;
      ++i;
    }
  } else {
    while (i > 0) {
      if (!h.GetAEH(i)) break;
      if (qualifies()) break;
      --i;
    }
  }
  if (i > 0 && i < h.GetNumAE() && i != start && h.m_Rec.nIndex == i) {
    if (doc->m_pWave) doc->m_pWave->OpenEvent(h.m_Rec.nIndex);
    doc->m_Host.UpdateAllViews(nullptr, 31, nullptr);
  } else if (h.m_Rec.nIndex != start) {
    // Nothing found: the record shown stays the catalogue's current one.
    h.GetAEH(start);
  }
}

void CSourceView::Classify(bool (*set)(CAEHypo&)) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  if (h.m_Rec.nFlags & AEH_FLAG_LOCKED) {
    plat::AfxMessageBox("Locked event!", MB_OK);
    return;
  }
  // The record in memory belongs at its own index; once the catalogue has moved on (a read
  // past the end, another page stepping) writing it at the catalogue's position would
  // overwrite another event.
  if (h.m_Rec.nIndex != h.m_nCurAE) {
    plat::MessageBeep(MB_ICONEXCLAMATION);
    plat::Ui().SetPaneText(
        0,
        plat::Format("Record %d is not the catalogue's current one; nothing stored.",
                     h.m_Rec.nIndex),
        true);
    return;
  }
  if (!set(h)) return;
  h.PutAEH(h.m_Rec.nIndex, true);
  doc->m_Host.UpdateAllViews(nullptr, 16, nullptr);
}

void CSourceView::OnShearCrack() {
  Classify([](CAEHypo& h) {
    h.FocalMechanism(-1);
    return true;
  });
}

void CSourceView::OnTensile() {
  Classify([](CAEHypo& h) {
    h.m_Rec.nMecType = 2;
    return true;
  });
}

void CSourceView::OnClosure() {
  Classify([](CAEHypo& h) {
    h.m_Rec.nMecType = 3;
    return true;
  });
}

// ---- Mouse ----

POINT CSourceView::PageFromClient(POINT client) const {
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  plat::RecordingDc dc(o);
  const_cast<CSourceView*>(this)->OnPrepareDC(&dc);
  dc.DPtoLP(&client);
  return client;
}

UINT CSourceView::ZoneCommand(POINT pt) const {
  RECT rc{};
  GetClientRect(&rc);
  POINT corner{rc.right, rc.bottom};
  POINT origin{rc.left, rc.top};
  corner = PageFromClient(corner);
  origin = PageFromClient(origin);
  const double w = corner.x - origin.x;
  if (pt.x < 0.4 * w) return ID_SRC_PREVSHEAR;
  if (pt.x > 0.6 * w) return ID_SRC_NEXTSHEAR;
  return ID_SRC_SHEAR;
}

void CSourceView::OnLButtonDown(UINT, POINT point) { m_ptDown = PageFromClient(point); }

void CSourceView::OnLButtonUp(UINT, POINT point) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const POINT pt = PageFromClient(point);
  if (std::abs(pt.x - m_ptDown.x) >= 100 || std::abs(pt.y - m_ptDown.y) >= 100) return;
  OnCmdMsg(ZoneCommand(pt), nullptr);
}

void CSourceView::OnMouseMove(UINT flags, POINT point) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const POINT pt = PageFromClient(point);
  if (pt.x < 0 || pt.y > 0)
    m_hCursor = IDC_OFFPAGE;
  else if (flags != 0)
    m_hCursor = IDC_CENTRE;
  else {
    const UINT cmd = ZoneCommand(pt);
    m_hCursor = cmd == ID_SRC_PREVSHEAR   ? IDC_PREV
                : cmd == ID_SRC_NEXTSHEAR ? IDC_NEXT
                                          : IDC_CENTRE;
  }
  SetCursor(plat::LoadCursorResource(m_hCursor));
}

// ---- Drawing ----

void CSourceView::DrawPlot(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return;
  CAEHypo& h = *doc->m_pHypo;
  const CAEWave& wave = *doc->m_pWave;
  const AEHRecord& rec = h.m_Rec;

  dc->SetTextAlign(TA_CENTER | TA_TOP);
  std::string heading =
      plat::Format("S(%d %d %d) AE#(%d)", static_cast<int>(rec.fX), static_cast<int>(rec.fY),
                   static_cast<int>(rec.fZ), rec.nIndex);
  if (const char* label = TypeLabel(rec.nMecType)) heading += plat::Format(", %s", label);
  // Centred under the sphere, or further right when a line is wider than the room left of
  // the centre, so that it is never cut at the page's left edge; the second line follows
  // the first by the font's height.
  auto centreX = [&](const std::string& text) {
    return std::max(5000, static_cast<int>(dc->GetTextExtent(text).cx) / 2 + 200);
  };
  dc->TextOut(centreX(heading), -9000, heading);
  dc->TextOut(centreX(h.m_strTitle), KZ_NextLineY(dc, -9700, -9000), h.m_strTitle);

  {
    plat::CPen pen(PS_SOLID, 25, RGB(0, 0, 0));
    plat::CPen old = dc->SelectObject(pen);
    dc->Ellipse(1000, -8500, 9000, -500);
    dc->MoveTo(1000, kCentreY);
    dc->LineTo(9000, kCentreY);
    dc->MoveTo(5000, -8500);
    dc->LineTo(5000, -500);
    dc->SelectObject(old);
  }
  dc->SetTextAlign(TA_BASELINE | TA_LEFT);

  // Amplitudes corrected for the sensor's inclination to the ray. Slots naming no sensor of
  // the table are left out.
  const int nSlots = std::clamp(h.m_nSensors, 0, AEH_MAX_SENSORS);
  const int arrivals = std::clamp(static_cast<int>(rec.nArrivals), 0, nSlots);
  std::vector<double> amp(static_cast<std::size_t>(AEH_MAX_SENSORS), 0.0);
  double aMax = 0.0;
  for (int i = 0; i < arrivals; ++i) {
    const int s = rec.nSensor[i];
    if (!ValidSensor(h, s)) continue;
    const KZ_Vector3D ray = Ray(h, s);
    const KZ_Point3D& p = h.m_pSensorXYZ[static_cast<std::size_t>(s)];
    KZ_Vector3D hor(p.x, p.y, 0.0);
    const double len = hor.Length();
    double a = static_cast<double>(rec.fAmp[s]) * SensorFactor(h, s);
    // A sensor on the axis has no horizontal direction: it gets no correction.
    if (len > 0.0) {
      const double c = (ray.x * p.x + ray.y * p.y) / len;
      if (c != 0.0) {
        if (h.m_nMecSensCorr == 1) a /= c;
        if (h.m_nMecSensCorr == 2) a /= c * c;
      }
    }
    amp[static_cast<std::size_t>(i)] = a;
    aMax = std::max(aMax, std::fabs(a));
  }
  const double k = 150.0 / (aMax + 0.1);

  int xCentre = 5000;
  if (IsShearType(rec.nMecType)) {
    KZ_EQMT mt;
    constexpr double kDeg = std::numbers::pi / 180.0;
    mt.SetMechanism(rec.fStrike * kDeg, rec.fDip * kDeg, rec.fRake * kDeg);
    mt.DrawRadiation(dc, 5000, kCentreY, kRadius, 1, 1);
    mt.DrawBeachBall(dc, 15000, kCentreY, kRadius, 0);
    xCentre = 15000;
  }

  TEXTMETRIC tm;
  if (!dc->GetTextMetrics(&tm)) tm = TEXTMETRIC{};
  const int ascent = std::abs(static_cast<int>(tm.tmAscent));
  const int descent = std::abs(static_cast<int>(tm.tmDescent));
  std::vector<RECT> numberBoxes;
  const AEWHeader* header = wave.m_pHeader.get();
  const int channels = header ? std::max<int>(header->nChannels, 0) : 0;
  const int samples = header ? std::max<int>(header->nSamples, 0) : 0;
  for (int i = 0; i < nSlots; ++i) {
    const int s = rec.nSensor[i];
    if (!ValidSensor(h, s)) continue;
    const KZ_Vector3D ray = Ray(h, s);
    double phi = 0.0, theta = 0.0;
    ray.GetAxisAngles(&phi, &theta);
    const double R = kRadius * std::tan(theta / 2.0);
    const int X = static_cast<int>(xCentre + R * std::cos(phi));
    const int Y = static_cast<int>(kCentreY + R * std::sin(phi));
    // Polarity and S/N belong to the arrival slot; only the amplitude array is kept by
    // sensor index. Location reorders the slots, so the two differ.
    const int pol = rec.nPolarity[i];
    plat::CPen pen(PS_SOLID, 0, RGB(128, 0, 0));
    plat::CBrush brush(pol < 0 ? RGB(0, 0, 0) : RGB(255, 255, 255));
    plat::CPen oldPen = dc->SelectObject(pen);
    plat::CBrush oldBrush = dc->SelectObject(brush);
    // Transparent: the number stands on the page, not on a box of whatever background
    // colour the drawing before left. Where two sensors project close together, the
    // number moves round its mark (left, below right, below left) to stay readable.
    const int oldBk = dc->SetBkMode(TRANSPARENT);
    const std::string number = plat::Format("%d", s + 1);
    const int w = dc->GetTextExtent(number).cx;
    const POINT places[] = {{X + 200, Y + 10},
                            {X - 200 - w, Y + 10},
                            {X + 200, Y - 10 - ascent - descent},
                            {X - 200 - w, Y - 10 - ascent - descent}};
    auto boxAt = [&](POINT p) { return RECT{p.x, p.y + ascent, p.x + w, p.y - descent}; };
    POINT at = places[0];
    for (const POINT& p : places) {
      const RECT b = boxAt(p);
      const bool free = std::none_of(numberBoxes.begin(), numberBoxes.end(), [&](const RECT& o) {
        return b.left < o.right && o.left < b.right && b.bottom < o.top && o.bottom < b.top;
      });
      if (free) {
        at = p;
        break;
      }
    }
    numberBoxes.push_back(boxAt(at));
    dc->TextOut(at.x, at.y, number);
    dc->SetBkMode(oldBk);

    if (m_bShowWave && header && s < channels && s < static_cast<int>(wave.m_pPickTime.size())) {
      const int n = static_cast<int>(wave.m_pPickTime[static_cast<std::size_t>(s)] * header->nRate);
      if (n > 10) {
        const int L = static_cast<int>(rec.fSN[i] * 50.0f);
        if (pol > 0) {
          dc->MoveTo(X, Y);
          dc->LineTo(X, Y + L);
        } else if (pol < 0) {
          dc->MoveTo(X, Y);
          dc->LineTo(X, Y - L);
        } else {
          dc->MoveTo(X, Y - L / 2);
          dc->LineTo(X, Y + L / 2);
        }
        double g =
            (s < static_cast<int>(wave.m_pGain.size()) ? wave.m_pGain[static_cast<std::size_t>(s)]
                                                       : 1.0f) *
            m_fZoom / 100.0 * SensorFactor(h, s);
        float cosA = 0.0f, dist = 0.0f;
        if (h.GetSensorIncidence(s, &cosA, &dist)) {
          const double u = cosA;
          const double P =
              4.9607 * u * u * u * u - 6.8309 * u * u * u + 3.1707 * u * u - 0.3975 * u + 0.0792;
          if (P != 0.0) g /= P;
        }
        // Only the part of the snippet that lies inside the record is drawn.
        std::vector<POINT> pts;
        const std::int16_t* data = wave.m_pSamples.data() + static_cast<std::size_t>(s) * samples;
        for (int j = 0; j < 70; ++j) {
          const int idx = n - 19 + j;
          if (idx < 0 || idx >= samples) continue;
          if (static_cast<std::size_t>(s) * samples + idx >= wave.m_pSamples.size()) continue;
          pts.push_back(POINT{X - 380 + 20 * j, static_cast<int>(data[idx] * g + Y)});
        }
        if (pts.size() > 1) dc->Polyline(pts.data(), static_cast<int>(pts.size()));
      }
    }

    const bool arrival = i < arrivals;
    int r = 100;
    if (arrival)
      r = std::clamp(static_cast<int>(std::fabs(amp[static_cast<std::size_t>(i)]) * k), 100, 500);
    if (pol != 0) dc->Ellipse(X - r, Y - r, X + r, Y + r);
    if (arrival) {
      const POINT v[3] = {{X - 120, Y + 150}, {X, Y}, {X + 120, Y + 150}};
      dc->Polyline(v, 3);
    } else {
      dc->MoveTo(X - r, Y);
      dc->LineTo(X + r, Y);
    }
    dc->SelectObject(oldBrush);
    dc->SelectObject(oldPen);
  }
}
