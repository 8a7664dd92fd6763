// Plot type 6: the specimen in three panels side by side (section along the viewing
// azimuth A, map from above, section across A), each with the events of a slab of half
// width H around its plane; and the play-back that replays the window's events in the
// same layout.
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "base/plot/KZ_DIB.h"
#include "platform/SoundPlayer.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/QtDc.h"
#include "views/hypo/LocView.h"
#include "views/hypo/LocView_util.h"

namespace {

constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kFrame = RGB(32, 32, 32);

void Line(plat::CDC* dc, double x1, double y1, double x2, double y2) {
  dc->MoveTo(LocTrunc(x1), LocTrunc(y1));
  dc->LineTo(LocTrunc(x2), LocTrunc(y2));
}

void Label(plat::CDC* dc, double x, double y, const char* text) {
  dc->TextOut(LocTrunc(x), LocTrunc(y), text);
}

}  // namespace

void CLocView::SetPanelCentres() {
  const double S = m_fRadiusPage;
  const int yP = LocTrunc(m_ptOrigin.y - 0.5 * m_fLengthPage);
  m_ptPanel[0] = POINT{LocTrunc(m_ptOrigin.x + 3 * S + 500), yP};   // map
  m_ptPanel[1] = POINT{LocTrunc(m_ptOrigin.x + S), yP};             // section along A
  m_ptPanel[2] = POINT{LocTrunc(m_ptOrigin.x + 5 * S + 1000), yP};  // section across A
}

// The frames' shared part: background, the three panel outlines drawn by `outlines`,
// the section picture and the axes with their labels; w2 and w3 are the half widths of
// the sections along and across A.
namespace {

struct FrameGeometry {
  int S, h, yP, w2, w3;
  POINT P1, P2, P3;
};

}  // namespace

static void DrawFrameAxes(plat::CDC* dc, const FrameGeometry& g, double cA, double sA,
                          bool colorBG) {
  const plat::CPen pen(PS_SOLID, 20, kFrame);
  const plat::CPen oldPen = dc->SelectObject(pen);
  dc->SetTextColor(colorBG ? RGB(255, 255, 0) : RGB(0, 0, 0));
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextAlign(TA_BASELINE);
  const bool xy = std::fabs(cA) > 0.99;
  const char* a = xy ? "X" : "A";
  const char* b = xy ? "Y" : "B";
  const FrameGeometry& G = g;
  // Section along A.
  Line(dc, G.P2.x - G.w2, G.yP, G.P2.x + G.w2, G.yP);
  Line(dc, G.P2.x, G.yP - G.h, G.P2.x, G.yP + G.h);
  Label(dc, G.P2.x + G.w2 + 100, G.yP, a);
  Label(dc, G.P2.x - 100, G.yP + G.h + 200, "Z");
  // Map: the lines along and across A.
  Line(dc, G.P1.x - cA * G.w2, G.yP - sA * G.w2, G.P1.x + cA * G.w2, G.yP + sA * G.w2);
  Line(dc, G.P1.x + sA * G.w3, G.yP - cA * G.w3, G.P1.x - sA * G.w3, G.yP + cA * G.w3);
  Label(dc, G.P1.x + cA * (G.w2 + 5), G.yP + sA * (G.w2 + 5), a);
  Label(dc, G.P1.x - sA * (G.w3 + 10), G.yP + cA * (G.w3 + 10), b);
  // Section across A.
  Line(dc, G.P3.x - G.w3, G.yP, G.P3.x + G.w3, G.yP);
  Line(dc, G.P3.x, G.yP - G.h, G.P3.x, G.yP + G.h);
  Label(dc, G.P3.x + G.w3 + 100, G.yP, b);
  Label(dc, G.P3.x - 100, G.yP + G.h + 200, "Z");
  dc->SelectObject(oldPen);
}

void CLocView::DrawProjectionFrames(plat::CDC* dc, int flag) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || !WideEnough()) return;
  const CAEHypo& hypo = *doc->m_pHypo;
  if (hypo.m_nShape > 0) {
    DrawProjectionFramesBox(dc, flag);
    return;
  }
  FrameGeometry g;
  g.S = LocTrunc(m_fRadiusPage);
  g.h = LocTrunc(m_fLengthPage) / 2;
  g.P1 = m_ptPanel[0];
  g.P2 = m_ptPanel[1];
  g.P3 = m_ptPanel[2];
  g.yP = g.P1.y;
  g.w2 = g.w3 = g.S;
  const int PL = LocTrunc(m_fLengthPage);
  if (hypo.m_bColorBG) {
    const plat::CBrush bg(RGB(32, 164, 164));
    const plat::CBrush old = dc->SelectObject(bg);
    dc->Rectangle(0, 0, 2 * m_ptOrigin.x + 6 * g.S + 1000, -PL - 2000);
    dc->SelectObject(old);
  }
  const plat::CPen pen(PS_SOLID, 20, kFrame);
  const plat::CBrush fill(hypo.m_bColorBG ? RGB(240, 200, 137) : RGB(255, 255, 255));
  const plat::CPen oldPen = dc->SelectObject(pen);
  const plat::CBrush oldBrush = dc->SelectObject(fill);
  dc->Rectangle(g.P2.x - g.S, g.yP + g.h, g.P2.x + g.S, g.yP - g.h);
  dc->Ellipse(g.P1.x - g.S, g.yP + g.S, g.P1.x + g.S, g.yP - g.S);
  dc->Rectangle(g.P3.x - g.S, g.yP + g.h, g.P3.x + g.S, g.yP - g.h);
  // Boreholes: a disc of the hole's diameter at the map's centre.
  const plat::CBrush hole(kFrame);
  dc->SelectObject(hole);
  for (int i = 0; i < std::clamp(hypo.m_nHoles, 0, AEH_MAX_HOLES); ++i) {
    const int r = LocTrunc(0.5 * hypo.m_Holes[i].d * m_fScale);
    dc->Ellipse(g.P1.x - r, g.yP - r, g.P1.x + r, g.yP + r);
  }
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
  if (!hypo.m_strDisplayText1.empty() && dc->HasAttributeDc())
    LocDrawPicture(dc, hypo.m_strDisplayText1, g.P2.x - g.S, g.yP + g.h, g.P2.x + g.S,
                       g.yP - g.h);
  DrawFrameAxes(dc, g, m_fCosAz, m_fSinAz, hypo.m_bColorBG != 0);
}

void CLocView::DrawProjectionFramesBox(plat::CDC* dc, int /*flag*/) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || !WideEnough()) return;
  const CAEHypo& hypo = *doc->m_pHypo;
  const double s = m_fScale;
  const double cA = m_fCosAz, sA = m_fSinAz;
  const int hx = LocTrunc(0.5 * hypo.m_fSizeX * s), hy = LocTrunc(0.5 * hypo.m_fSizeY * s);
  FrameGeometry g;
  if (cA == 0) {
    g.w2 = hy;
    g.w3 = hx;
  } else if (sA == 0) {
    g.w2 = hx;
    g.w3 = hy;
  } else {
    g.w2 = LocTrunc(std::min(std::fabs(hx / cA), std::fabs(hy / sA)));
    g.w3 = LocTrunc(std::min(std::fabs(hx / sA), std::fabs(hy / cA)));
  }
  g.S = LocTrunc(m_fRadiusPage);
  g.h = LocTrunc(m_fLengthPage) / 2;
  g.P1 = m_ptPanel[0];
  g.P2 = m_ptPanel[1];
  g.P3 = m_ptPanel[2];
  g.yP = g.P1.y;
  const int PL = LocTrunc(m_fLengthPage);
  if (hypo.m_bColorBG) {
    const plat::CBrush bg(RGB(32, 164, 164));
    const plat::CBrush old = dc->SelectObject(bg);
    dc->Rectangle(0, 0, 2 * m_ptOrigin.x + 6 * g.S + 1000, -PL - 2000);
    dc->SelectObject(old);
  }
  const plat::CPen pen(PS_SOLID, 20, kFrame);
  const plat::CBrush fill(hypo.m_bColorBG ? RGB(240, 200, 137) : RGB(255, 255, 255));
  const plat::CPen oldPen = dc->SelectObject(pen);
  const plat::CBrush oldBrush = dc->SelectObject(fill);
  dc->Rectangle(g.P2.x - g.w2, g.yP + g.h, g.P2.x + g.w2, g.yP - g.h);
  dc->Rectangle(g.P1.x - hx, g.yP - hy, g.P1.x + hx, g.yP + hy);
  dc->Rectangle(g.P3.x - g.w3, g.yP + g.h, g.P3.x + g.w3, g.yP - g.h);
  // Boreholes: their depth range in the section along A.
  const plat::CBrush hole(kFrame);
  dc->SelectObject(hole);
  for (int i = 0; i < std::clamp(hypo.m_nHoles, 0, AEH_MAX_HOLES); ++i) {
    const AEHole& H = hypo.m_Holes[i];
    const int xh = LocTrunc(s * H.x + g.P2.x), r = LocTrunc(0.5 * H.d * s);
    dc->Rectangle(xh - r, g.yP + LocTrunc(s * H.z1), xh + r, g.yP + LocTrunc(s * H.z2));
  }
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);
  if (!hypo.m_strDisplayText1.empty() && dc->HasAttributeDc())
    LocDrawPicture(dc, hypo.m_strDisplayText1, g.P2.x - g.S, g.yP + g.h, g.P2.x + g.S,
                       g.yP - g.h);
  DrawFrameAxes(dc, g, cA, sA, hypo.m_bColorBG != 0);
}

void CLocView::DrawProjections(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  CAEHypo& hypo = *doc->m_pHypo;
  SetPanelCentres();
  DrawProjectionFrames(dc, 0);

  const double t0 = m_tStart, t1 = m_tEnd;
  const int minArrivals = hypo.m_nMinArrivals;
  auto passes = [&](const AEEventEntry& e) { return doc->IsSelectedEvent(e, minArrivals); };
  auto selected = [&](const AEEventEntry& e) { return passes(e) && t0 <= e.time && e.time <= t1; };
  auto unselected = [&](const AEEventEntry& e) {
    return passes(e) && (e.time <= t0 || e.time >= t1);
  };
  auto marked = [&](const AEEventEntry& e) { return selected(e) && (e.flags & AEH_FLAG_EM); };
  auto plain = [&](const AEEventEntry& e) { return selected(e) && !(e.flags & AEH_FLAG_EM); };

  int N = 0;
  for (const auto& e : doc->m_EventList)
    if (plain(*e)) ++N;
  auto label = [&](const AEEventEntry& e) { return hypo.m_bEventNumbers ? e.record : -1; };

  const plat::CBrush oldBrush = dc->GetCurrentBrush();
  const plat::CPen oldPen = dc->GetCurrentPen();
  if (hypo.m_bSolidCircles) {
    dc->SelectObject(plat::CPen::Stock(NULL_PEN));
    if (hypo.m_bUnselected) {
      dc->SelectObject(plat::CBrush(kGrey));
      for (const auto& e : doc->m_EventList)
        if (unselected(*e)) DrawMarkerXYZ(dc, *e, -1);
    }
    if (hypo.m_nColorMode == 1) m_Palette.SetRange(0, N, 0, 360, 3);
    int k = 0;
    for (const auto& e : doc->m_EventList) {
      if (!plain(*e)) continue;
      COLORREF c = RGB(136, 136, 136);
      if (hypo.m_nColorMode == 0)
        c = m_Palette.ValueToColor(e->time - t0, 1.0);
      else if (hypo.m_nColorMode == 1)
        c = m_Palette.ValueToColor(k, 1.0);
      dc->SelectObject(plat::CBrush(c));
      DrawMarkerXYZ(dc, *e, label(*e));
      ++k;
    }
    dc->SelectObject(plat::CBrush(kGreen));
    for (const auto& e : doc->m_EventList)
      if (marked(*e)) DrawMarkerXYZ(dc, *e, label(*e));
  } else {
    dc->SelectObject(plat::CBrush::Stock(NULL_BRUSH));
    if (hypo.m_bUnselected) {
      dc->SelectObject(plat::CPen(PS_SOLID, 20, kGrey));
      for (const auto& e : doc->m_EventList)
        if (unselected(*e)) DrawMarkerXYZ(dc, *e, -1);
    }
    m_Palette.SetRange(0, N, 0, 360, 3);
    int k = 0;
    for (const auto& e : doc->m_EventList) {
      if (!plain(*e)) continue;
      dc->SelectObject(plat::CPen(PS_SOLID, 20, m_Palette.ValueToColor(k, 1.0)));
      DrawMarkerXYZ(dc, *e, label(*e));
      ++k;
    }
    dc->SelectObject(plat::CPen(PS_SOLID, 20, kGreen));
    for (const auto& e : doc->m_EventList)
      if (marked(*e)) DrawMarkerXYZ(dc, *e, label(*e));
  }
  m_pFlashEntry = doc->m_EventList.back().get();
  dc->SelectObject(oldBrush);
  dc->SelectObject(oldPen);

  // Reading the selected events' headers must not change the engine's current record,
  // which the other pages show and save: each is read into a record of its own.
  if (hypo.m_nLocReserved > 0) {
    AEHRecord header{};
    for (const auto& e : doc->m_EventList)
      if (selected(*e)) hypo.GetAEHHeader(e->record, &header);
  }

  const double S = m_fRadiusPage;
  const int yP = m_ptPanel[0].y;
  dc->TextOut(LocTrunc(m_ptPanel[0].x - S), LocTrunc(yP - S - 1000),
              plat::Format("%05d/%05d", N, static_cast<int>(doc->m_EventList.size())));

  // The flash marks the window itself, so it runs once this drawing has reached it.
  if (!m_bFlashScheduled) {
    m_bFlashScheduled = true;
    QTimer::singleShot(0, this, [this] {
      m_bFlashScheduled = false;
      // The last entry of the list as it stands then: the one marked here may have been
      // freed by a rebuilt list in between.
      m_pFlashEntry = nullptr;
      FlashCurrentEvent();
    });
  }

  DrawTitleLine(dc, m_ptOrigin.x, LocTrunc(m_ptOrigin.y - m_fLengthPage - 1500), 0);
  m_Palette.DrawColorBarV(dc, LocTrunc(m_ptOrigin.x + 6 * S + 1500), m_ptOrigin.y - 4000, 3000, 500,
                          1.0);
}

void CLocView::PlayBack() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty() || !WideEnough() || m_bPlaying) return;
  m_bPlaying = true;
  // The window shows its page first; the play-back then draws over it.
  UpdateWindow();
  SetPanelCentres();
  {
    plat::CClientDC dc(this);
    OnPrepareDC(&dc);
    DrawProjectionFrames(&dc, 0);
  }
  const plat::CBrush red(RGB(255, 0, 0)), blue(RGB(0, 0, 255)), old(RGB(92, 64, 64));
  const auto& list = doc->m_EventList;
  const int n = static_cast<int>(list.size());
  int first = 0;
  while (first < n && list[first]->time < m_tStart) ++first;
  if (first < n) {
    for (int k = 0;; ++k) {
      if (plat::Ui().GetInputState()) break;
      const AEEventEntry& current = *list[first + k];
      {
        plat::CClientDC dc(this);
        OnPrepareDC(&dc);
        const plat::CPen oldPen = dc.SelectObject(plat::CPen::Stock(NULL_PEN));
        const plat::CBrush oldBrush = dc.GetCurrentBrush();
        if (k >= 101) {
          dc.SelectObject(old);
          DrawMarkerXYZ(&dc, *list[first + k - 100], -1);
        }
        if (k >= 1) {
          dc.SelectObject(blue);
          DrawMarkerXYZ(&dc, *list[first + k - 1], -1);
        }
        dc.SelectObject(red);
        DrawMarkerXYZ(&dc, current, -1);
        dc.SelectObject(oldBrush);
        dc.SelectObject(oldPen);
      }
      const int slot = std::clamp(static_cast<int>(std::trunc(current.Mw)), 1, 4);
      if (doc->m_pSideBuf[slot]) plat::GetSoundPlayer().Play(*doc->m_pSideBuf[slot], false);
      if (first + k + 1 >= n || list[first + k + 1]->time > m_tEnd) break;
      const double gap = list[first + k + 1]->time - current.time;
      PlayWait(std::min(LocTrunc(gap * m_nPlaySpeed), 1000));
    }
  }
  if (doc->m_pSideBuf[0]) plat::GetSoundPlayer().Play(*doc->m_pSideBuf[0], true);
  m_nPlayPos = -1;
  m_bPlaying = false;
  // The page picture was rendered while the play-back stood in for the plot, so it holds
  // nothing: the window keeps the play-back's last state, and the next repaint draws the
  // plot again.
  m_bCacheStale = true;
}
