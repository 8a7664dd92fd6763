#include "views/hypo/LocView.h"

#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/numerics/KZ_Rand.h"
#include "base/plot/KZ_Axis.h"
#include "platform/RecordingDc.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"
#include "base/plot/KZ_ViewFont.h"
#include "views/hypo/LocView_shared.h"
#include "views/hypo/LocView_util.h"

bool CLocView::s_bFlashToggle = false;

CLocView::CLocView(QWidget* parent)
    : KZ_View(parent),
      m_pHits(kHits),
      m_pCurveBufA(48),
      m_pCurveBufB(1600),
      m_fCosAz(static_cast<float>(std::cos(45 * kLocDeg))),
      m_fSinAz(static_cast<float>(std::sin(45 * kLocDeg))),
      m_fCosAd(static_cast<float>(std::cos(30 * kLocDeg))),
      m_fSinAd(static_cast<float>(std::sin(30 * kLocDeg))) {
  m_nHintMask = HINT_LOC;
  m_nPlotLeft = m_ptOrigin.x;
  m_nPlotTop = m_ptOrigin.y;
  MapCommands();
}

CLocView::~CLocView() = default;

CTremviaDoc* CLocView::GetData() const {
  if (m_pData) return m_pData;
  return dynamic_cast<CTremviaDoc*>(GetDocument());
}

void CLocView::OnInitialUpdate() {
  OnUpdate(nullptr, 0, nullptr);
  m_ptOrigin = POINT{3000, -2000};
  m_nPlotLeft = m_ptOrigin.x;
  m_nPlotTop = m_ptOrigin.y;
  m_nScrollW = m_nScrollH = 32000;
  SetPageScrollSizes();
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  const float largest = std::max({h.m_fDiameter, h.m_fSizeX, h.m_fSizeY, h.m_fSizeZ});
  // A parameter file without sizes keeps the previous scale rather than dividing by 0.
  if (largest > 0) h.m_fSampleScale = 100.0f / largest;
  m_fStereoShift = 1.5f * std::max(h.m_fSizeX, h.m_fSizeY);
  m_fViewDist = 10.0f * std::max(h.m_fSizeY, h.m_fSizeZ);
  FitPageToPlot();
}

void CLocView::FitPageToPlot() {
  int w = 32000, hgt = 32000;
  CTremviaDoc* doc = GetData();
  if (doc && doc->m_pHypo) {
    const CAEHypo& h = *doc->m_pHypo;
    // The sizes DrawPlot works with.
    SetDrawingScale();
    const double s = m_fScale, S = m_fRadiusPage, PL = m_fLengthPage;
    const POINT o = m_ptOrigin;
    // Texts measured in the view's font as a page drawing selects it.
    plat::RecordingDc probe;
    probe.SetMapMode(MM_HIMETRIC);
    plat::CFont font;
    if (font.CreateFontIndirect(KZ_ScaleViewFont(probe))) probe.SelectObject(font);
    auto textWidth = [&](const std::string& t) {
      return static_cast<double>(std::abs(static_cast<int>(probe.GetTextExtent(t).cx)));
    };
    const double title = textWidth(TitleLineText(1));
    const bool finite = std::isfinite(S) && std::isfinite(PL);
    auto fit = [&](double right, double bottom) {
      w = std::max(w, LocTrunc(std::min(right, 400000.0)));
      hgt = std::max(hgt, LocTrunc(std::min(-bottom, 400000.0)));
    };
    if (!finite) {
    } else if (h.m_nPlotType == 6) {
      // Three panels 2 S wide, then the colour bar at 6 S + 1500 with its labels; the
      // title line 1500 below the panels.
      fit(o.x + 6 * S + 1500 + 500 + 4500, o.y - PL - 1500 - 2500);
    } else if (h.m_nPlotType == 0) {
      // The unrolled specimen from x0 + 1000 (its four faces, or the circumference), the
      // sensor names beside the marks; below it the two end faces of a box.
      const double hX = 0.5 * s * h.m_fSizeX, hY = 0.5 * s * h.m_fSizeY;
      const double across = h.m_nShape > 0 ? 4 * (hX + hY) : 3.14159265358979 * h.m_fDiameter * s;
      fit(o.x + 1000 + across + 3000, o.y - 2000 - PL - 500 - 2 * hY - 2500);
    } else if (h.m_nPlotType == 1) {
      // The unrolled mantle, its circumference wide and the specimen long.
      fit(o.x + 3.14159265358979 * h.m_fDiameter * s + 1000, o.y - PL - 1000);
    } else if (h.m_nPlotType == 7) {
      // Five rows of two sections; right of them the colour bar with its labels and the
      // title line.
      const double x = LocSlicesBarX(o.x, S, h.m_fAirMargin);
      fit(x + std::max(500.0 + 4500, title) + 500, o.y - 10 * S - 2000 - 1000);
    } else if (h.m_nPlotType == 5 && !doc->m_EventList.empty()) {
      const StereoLayout L = StereoSpecimenLayout();
      const double texts = std::max({title, 4000.0 + 3000, textWidth("Np/Ns/Nae:00000/00000/00000")});
      fit(std::max(L.cx + L.right, L.cx + texts) + 1000, L.textY - 2500 - 500 - 1500);
    } else if (h.m_nPlotType == 13 && !doc->m_EventList.empty()) {
      const StereoLayout L = SectionTimeLayout();
      const double texts =
          std::max(title, textWidth(LocPlaneText(h, "R", h.m_fFaultAzimuth, h.m_fFaultDip, m_fHalfWidth)));
      fit(std::max(L.cx + L.right, L.cx + texts) + 1000, L.textY - 750 - 1500);
    }
  }
  if (w == m_nScrollW && hgt == m_nScrollH) return;
  m_nScrollW = w;
  m_nScrollH = hgt;
  if (GetMapMode() != 0) SetPageScrollSizes();
}

void CLocView::OnUpdate(plat::CView* /*sender*/, LONG hint, void* /*object*/) {
  // Any update may follow a catalogue write.
  m_bUDCacheValid = false;
  if (hint != 0 && !(hint & HINT_LOC)) return;
  if (hint & HINT_NOW) {
    // Bring a pending repaint to the window first, so that it cannot paint over the
    // flash afterwards.
    UpdateWindow();
    CTremviaDoc* doc = GetData();
    if (doc && doc->m_pHypo) FlashRecord(doc->m_pHypo->m_Rec);
    return;
  }
  // The plot type or the specimen's scale may have changed.
  FitPageToPlot();
  // The hit records point into the event list, which may have been rebuilt: they are
  // dropped until the next drawing makes new ones.
  m_pHits[0].pEntry = nullptr;
  m_bCacheStale = true;
  Invalidate(TRUE);
}

void CLocView::Refresh() {
  m_bUDCacheValid = false;
  m_bCacheStale = true;
  Invalidate(TRUE);
}

void CLocView::OnSize(UINT /*type*/, int /*cx*/, int /*cy*/) { m_bCacheStale = true; }

void CLocView::OnDraw(plat::CDC* dc) {
  if (dc->IsPrinting()) {
    DrawWithViewFont(dc);
    return;
  }
  // The page picture is rendered at most once per paint, however many updates came
  // before it.
  if (m_bCacheStale || m_PageImage.isNull()) {
    m_bCacheStale = false;
    RenderPagePicture();
  }
  auto* qt = dynamic_cast<plat::QtPainterDevice*>(dc->Device());
  QPainter* painter = qt ? qt->Painter() : nullptr;
  if (m_PageImage.isNull() || !painter) {
    DrawWithViewFont(dc);
    return;
  }
  POINT origin{0, 0};
  dc->LPtoDP(&origin);
  painter->drawImage(QPoint(origin.x, origin.y), m_PageImage);
}

void CLocView::RenderPagePicture() {
  if (GetMapMode() == 0) {
    m_PageImage = QImage();
    return;
  }
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  plat::RecordingDc probe(o);
  probe.SetMapMode(MM_HIMETRIC);
  SIZE size{m_nScrollW, m_nScrollH};
  probe.LPtoDP(&size);
  const int w = std::abs(static_cast<int>(size.cx)), h = std::abs(static_cast<int>(size.cy));
  if (w <= 0 || h <= 0) {
    m_PageImage = QImage();
    return;
  }
  // The last picture's pixels serve again while the page keeps its size: a fresh image
  // of a large page pays for the first touch of all its memory at every update.
  if (m_PageImage.size() != QSize(w, h) || m_PageImage.format() != QImage::Format_RGB32)
    m_PageImage = QImage(w, h, QImage::Format_RGB32);
  m_PageImage.fill(Qt::white);
  plat::CImageDC dc(&m_PageImage, o.dpiX, o.dpiY);
  dc.SetMapMode(MM_HIMETRIC);
  DrawWithViewFont(&dc);
}

bool CLocView::WideEnough() const {
  RECT r;
  GetClientRect(&r);
  return r.right - r.left >= 10;
}

void CLocView::DrawPlot(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const CAEHypo& h = *doc->m_pHypo;
  if (h.m_nSensors < 1 || !WideEnough()) return;

  SetDrawingScale();
  m_pHits[0].pEntry = nullptr;
  m_nHoverAE = -1;

  // The document's window on the event list's time scale.
  m_tStart = doc->m_fTimeStart + h.PeakOffset();
  m_tEnd = m_tStart + doc->m_fTimeSpan;

  switch (h.m_nColorMode) {
    case 0:
      m_Palette.m_strTitle = "Time";
      m_Palette.SetRange(0, m_tEnd - m_tStart, 0, 360, 3);
      break;
    case 1:
      m_Palette.m_strTitle = "Event #";
      m_Palette.SetRange(0, 1, 0, 360, 3);
      break;
    case 2:
      m_Palette.m_strTitle = "b-value";
      m_Palette.SetRange(h.m_fBMin, h.m_fBMax, 0, 360, 3);
      break;
    case 3:
      m_Palette.m_strTitle = "U/(U+D)";
      m_Palette.SetRange(0, 1, 0, 360, 3);
      break;
    default:
      break;
  }

  if (m_nPlayPos >= 0) {
    // The play-back replaces the plot. It runs just after this drawing, outside the
    // paint, drawing into the window itself.
    m_nPlayPos = 0;
    if (!m_bPlayScheduled && !m_bPlaying) {
      m_bPlayScheduled = true;
      QTimer::singleShot(0, this, [this] { RunScheduledPlayBack(); });
    }
  } else {
    switch (h.m_nPlotType) {
      case 0:
        DrawPZTMapCylinder(dc);
        break;
      case 1:
        DrawCylinderMap(dc);
        break;
      case 2:
        DrawMagFreq(dc, 0);
        break;
      case 3:
        DrawMagFreq(dc, 1);
        break;
      case 4:
        DrawMagFreq(dc, 2);
        break;
      case 5:
        DrawStereoSpecimen(dc);
        break;
      case 6:
        DrawProjections(dc);
        break;
      case 7:
        DrawSlices(dc);
        break;
      case 8:
        DrawDistanceTime(dc, 1);
        break;
      case 9:
        DrawDistanceTime(dc, 0);
        break;
      case 10:
        DrawSectionPlot(dc);
        break;
      case 11:
        DrawSectionByB(dc);
        break;
      case 12:
        DrawSectionDensity(dc);
        break;
      case 13:
        DrawSectionTime3D(dc);
        break;
      case 14:
        DrawCorrelationTime(dc);
        break;
      case 15:
        DrawCorrelationRadius(dc);
        break;
      case 16:
        DrawUpDownRatio(dc);
        break;
      case 17:
        DrawFMDistribution(dc, 1);
        break;
      case 18:
        DrawFMDistribution(dc, 2);
        break;
      case 19:
        DrawFMDistribution(dc, 7);
        break;
      case 20:
        DrawFMMeanSolution(dc);
        break;
      case 21:
        DrawTernaryDiagram(dc);
        break;
      default:
        break;
    }
  }
  if (m_pHits[0].pEntry) doc->m_nCurAE = m_pHits[0].pEntry->record;
}

void CLocView::SetDrawingScale() {
  const CAEHypo& h = *GetData()->m_pHypo;
  const bool box = h.m_nShape > 0;
  m_fScale = 100.0f * h.m_fSampleScale;
  const float horizontal = box ? std::max(h.m_fSizeX, h.m_fSizeY) : h.m_fDiameter;
  m_fRadiusPage = m_fScale * horizontal / 2;
  m_fLengthPage = m_fScale * h.m_fSizeZ;
  m_fHalfDia = h.m_fDiameter / 2;
  m_fHalfLen = h.m_fSizeZ / 2;
  m_fHalfX = h.m_fSizeX / 2;
  m_fHalfY = h.m_fSizeY / 2;
  m_fCosAz = static_cast<float>(std::cos(m_fViewAz * kLocDeg));
  m_fSinAz = static_cast<float>(std::sin(m_fViewAz * kLocDeg));
  m_fCosAd = static_cast<float>(std::cos(m_fViewAd * kLocDeg));
  m_fSinAd = static_cast<float>(std::sin(m_fViewAd * kLocDeg));
}

CLocView::StereoLayout CLocView::StereoExtent(const std::vector<KZ_Point3D>& pts,
                                              double margin) const {
  StereoLayout e;
  bool first = true;
  for (const KZ_Point3D& p : pts) {
    POINT l, r;
    StereoPoint(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), &l,
                &r);
    // A point behind the eyes projects nowhere sensible; it is left out.
    if (std::abs(l.x) > 1000000 || std::abs(l.y) > 1000000 || std::abs(r.x) > 1000000) continue;
    if (first) {
      e.left = e.right = l.x;
      e.top = e.bottom = l.y;
      first = false;
    }
    e.left = std::min<double>({e.left, static_cast<double>(l.x), static_cast<double>(r.x)});
    e.right = std::max<double>({e.right, static_cast<double>(l.x), static_cast<double>(r.x)});
    e.top = std::max<double>({e.top, static_cast<double>(l.y)});
    e.bottom = std::min<double>({e.bottom, static_cast<double>(l.y)});
  }
  e.left -= margin;
  e.right += margin;
  e.top += margin;
  e.bottom -= margin;
  return e;
}

void CLocView::RunScheduledPlayBack() {
  m_bPlayScheduled = false;
  if (m_nPlayPos < 0) {
    // Stopped before it began: the page picture, rendered in the play-back's place, is
    // drawn again with the plot.
    m_bCacheStale = true;
    Invalidate(TRUE);
    return;
  }
  PlayBack();
}

void CLocView::AddHit(const AEEventEntry* e, int x, int y) {
  int n = 0;
  while (n < kHits - 1 && m_pHits[n].pEntry) ++n;
  if (n >= kHits - 1) return;
  m_pHits[n].pEntry = e;
  m_pHits[n].x = LocSaturate16(x);
  m_pHits[n].y = LocSaturate16(y);
  m_pHits[n + 1].pEntry = nullptr;
}

float CLocView::MarkerRadius(const AEEventEntry& e) const {
  CTremviaDoc* doc = GetData();
  const CAEHypo& h = *doc->m_pHypo;
  const float f = h.m_fHypoScale;
  if (h.m_nSizeMode == 0) return f * std::max(1.0f, 0.2f * e.arrivals);
  return f * std::max(0.2f, e.Mw);
}

void CLocView::StereoProject(float x, float y, float z, float* o1, float* o2, float* o3) const {
  const float x1 = x * m_fCosAz - y * m_fSinAz;
  const float y1 = x * m_fSinAz + y * m_fCosAz;
  const float x2 = x1 * m_fCosAd + z * m_fSinAd;
  const float z2 = z * m_fCosAd - x1 * m_fSinAd;
  const float k = x2 / (m_fViewDist - x2);
  *o1 = y1 + (y1 - m_fEyeDist / 2) * k;
  *o2 = y1 + (y1 + m_fEyeDist / 2) * k;
  *o3 = z2 + z2 * k;
}

void CLocView::StereoPoint(float x, float y, float z, POINT* left, POINT* right) const {
  float o1, o2, o3;
  StereoProject(x, y, z, &o1, &o2, &o3);
  *left = POINT{LocTrunc(m_fScale * o1), LocTrunc(m_fScale * o3)};
  *right = POINT{LocTrunc(m_fScale * (m_fStereoShift + o2)), LocTrunc(m_fScale * o3)};
}

void CLocView::StereoLine(plat::CDC* dc, int cx, int cy, float x1, float y1, float z1, float x2,
                          float y2, float z2) const {
  float a1, a2, a3, b1, b2, b3;
  StereoProject(x1, y1, z1, &a1, &a2, &a3);
  StereoProject(x2, y2, z2, &b1, &b2, &b3);
  const float s = m_fScale;
  dc->MoveTo(LocTrunc(cx + s * a1), LocTrunc(cy + s * a3));
  dc->LineTo(LocTrunc(cx + s * b1), LocTrunc(cy + s * b3));
  dc->MoveTo(LocTrunc(cx + s * (m_fStereoShift + a2)), LocTrunc(cy + s * a3));
  dc->LineTo(LocTrunc(cx + s * (m_fStereoShift + b2)), LocTrunc(cy + s * b3));
}

void CLocView::DrawMarkerXYZ(plat::CDC* dc, const AEEventEntry& e, int label) {
  const double s = m_fScale;
  const int jx = LocTrunc(20 * KZ_RandUniform(-1, 1) + s * e.x);
  const int jy = LocTrunc(20 * KZ_RandUniform(-1, 1) + s * e.y);
  const int jz = LocTrunc(20 * KZ_RandUniform(-1, 1) + s * e.z);
  const double r = MarkerRadius(e);
  const double u = e.x * m_fSinAz - e.y * m_fCosAz;
  const double v = e.x * m_fCosAz + e.y * m_fSinAz;
  const double H = m_fHalfWidth;
  bool drawn = false;
  double cx = 0, cy = 0;
  auto disc = [&](double x, double y) {
    cx = x;
    cy = y;
    drawn = true;
    dc->Ellipse(LocTrunc(x - r), LocTrunc(y - r), LocTrunc(x + r), LocTrunc(y + r));
  };
  if (std::fabs(e.z - m_fZ0) < H) disc(jx + m_ptPanel[0].x, jy + m_ptPanel[0].y);
  if (std::fabs(u) < H) disc(LocTrunc(s * v + m_ptPanel[1].x), m_ptPanel[1].y + jz);
  if (std::fabs(v) < H) disc(LocTrunc(m_ptPanel[2].x - s * u), m_ptPanel[2].y + jz);
  if (label >= 0) {
    const int X = drawn ? LocTrunc(cx) : jx, Y = drawn ? LocTrunc(cy) : jy;
    KZ_FormatAxisNumber(dc, X + 2000, Y + 200, label);
  }
}

std::string CLocView::TitleLineText(int nSelected) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return {};
  const CAEHypo& h = *doc->m_pHypo;
  if (h.m_nSensors < 1) return {};
  const auto start = plat::MakeLocalTime(h.m_tmStart);
  if (!start) return {};
  const double t = doc->m_fTimeStart;
  const auto tm = plat::LocalTime(*start + static_cast<std::int64_t>(std::trunc(t)));
  if (!tm) return {};
  const int us = LocTrunc((t - std::trunc(t)) * 1000000);
  const CAEPeak* peaks = doc->GetPeak(0);
  const int n = peaks ? peaks->CountInWindow(m_tStart, m_tEnd) : 0;
  std::string text;
  if (nSelected != 0)
    text = plat::Format("%s %02d:%02d:%02d %05d %11.5f PEAKs:%d, N(sld):%d", h.m_strTitle.c_str(),
                        tm->tm_hour, tm->tm_min, tm->tm_sec, us, doc->m_fTimeSpan, n, nSelected);
  else
    text = plat::Format("%s %02d:%02d:%02d %05d %11.5f PEAKs:%d", h.m_strTitle.c_str(), tm->tm_hour,
                        tm->tm_min, tm->tm_sec, us, doc->m_fTimeSpan, n);
  return text;
}

void CLocView::DrawTitleLine(plat::CDC* dc, int x, int y, int nSelected) {
  const std::string text = TitleLineText(nSelected);
  if (text.empty()) return;
  dc->SetTextAlign(TA_BASELINE);
  // A line that would run off the page's right edge is moved left as far as it needs
  // (never past the page's left margin).
  const int width = dc->GetTextExtent(text).cx;
  if (x + width > m_nScrollW - 200) x = std::max(200, m_nScrollW - 200 - width);
  dc->TextOut(x, y, text);
}

int LocTextBottom(const plat::CDC* dc, int y) {
  TEXTMETRIC tm;
  if (!dc->GetTextMetrics(&tm)) return y;
  const UINT v = dc->GetTextAlign() & (TA_BASELINE | TA_BOTTOM);
  if (v == TA_BASELINE) return y - std::abs(static_cast<int>(tm.tmDescent));
  if (v == TA_BOTTOM) return y;
  return y - std::abs(static_cast<int>(tm.tmHeight));
}

int LocBaselineBelow(const plat::CDC* dc, int designed, int above) {
  TEXTMETRIC tm;
  if (!dc->GetTextMetrics(&tm)) return designed;
  const int h = std::abs(static_cast<int>(tm.tmHeight));
  return std::min(designed, above - std::max(20, h / 16) - std::abs(static_cast<int>(tm.tmAscent)));
}

void CLocView::FlashCurrentEvent() {
  CTremviaDoc* doc = GetData();
  if (!doc || doc->m_EventList.empty() || !doc->m_pHypo) return;
  plat::CClientDC dc(this);
  OnPrepareDC(&dc);
  if (!m_pFlashEntry) m_pFlashEntry = doc->m_EventList.back().get();
  const plat::CPen oldPen = dc.SelectObject(plat::CPen::Stock(NULL_PEN));
  const plat::CBrush oldBrush =
      dc.SelectObject(plat::CBrush(s_bFlashToggle ? RGB(255, 0, 0) : RGB(255, 255, 0)));
  DrawMarkerXYZ(&dc, *m_pFlashEntry, -1);
  s_bFlashToggle = !s_bFlashToggle;
  dc.SelectObject(oldPen);
  dc.SelectObject(oldBrush);
}

void CLocView::FlashRecord(const AEHRecord& rec) {
  m_FlashCopy = AEEventEntry{};
  m_FlashCopy.x = rec.fX;
  m_FlashCopy.y = rec.fY;
  m_FlashCopy.z = rec.fZ;
  m_FlashCopy.Mw = rec.fMw;
  m_FlashCopy.iso = rec.fIso;
  m_FlashCopy.clvd = rec.fClvd;
  m_FlashCopy.arrivals = rec.nArrivals;
  m_FlashCopy.time = rec.nTimeSec + rec.nTimeUs / 1000000.0;
  m_FlashCopy.record = rec.nIndex;
  m_FlashCopy.flags = rec.nFlags;
  m_pFlashEntry = &m_FlashCopy;
  FlashCurrentEvent();
}

POINT CLocView::PageFromClient(POINT client) const {
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  plat::RecordingDc dc(o);
  const_cast<CLocView*>(this)->OnPrepareDC(&dc);
  dc.DPtoLP(&client);
  return client;
}

const LocHitRecord* CLocView::FindHit(POINT page) const {
  for (const LocHitRecord& hit : m_pHits) {
    if (!hit.pEntry) break;
    if (std::abs(hit.x - page.x) < 100 && std::abs(hit.y - page.y) < 100) return &hit;
  }
  return nullptr;
}

void CLocView::OnMouseMove(UINT flags, POINT point) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  if (m_pHits[0].pEntry) {
    if (const LocHitRecord* hit = FindHit(PageFromClient(point))) {
      const AEEventEntry& e = *hit->pEntry;
      SetCursor(plat::LoadCursorResource(137));
      plat::Ui().SetPaneText(
          1, plat::Format("AE:%05d(%4.0f, %4.0f, %4.0f)", e.record, e.x, e.y, e.z), false);
      m_nHoverAE = e.record;
    }
  }
  const int type = doc->m_pHypo->m_nPlotType;
  if (type == 14 || type == 15 || !m_bDragRotate || !(flags & MK_LBUTTON)) return;
  const int dx = m_ptLastMouse.x - point.x, dy = m_ptLastMouse.y - point.y;
  if (std::abs(dx) < 1 && std::abs(dy) < 1) return;
  m_ptLastMouse = point;
  // The remainders keep the dividend's sign, so the angles may turn negative.
  m_fViewAz = static_cast<float>(LocTrunc(m_fViewAz - 0.5 * dx) % 360);
  m_fViewAd = static_cast<float>(LocTrunc(m_fViewAd + 0.5 * dy) % 90);
  m_fCosAz = static_cast<float>(std::cos(m_fViewAz * kLocDeg));
  m_fSinAz = static_cast<float>(std::sin(m_fViewAz * kLocDeg));
  m_fCosAd = static_cast<float>(std::cos(m_fViewAd * kLocDeg));
  m_fSinAd = static_cast<float>(std::sin(m_fViewAd * kLocDeg));
  // The page is rendered at the next paint, once however many steps arrive before it.
  doc->m_Host.UpdateAllViews(nullptr, HINT_LOC, nullptr);
}

void CLocView::OnLButtonDown(UINT /*flags*/, POINT point) { m_ptLastMouse = point; }

void CLocView::OnLButtonDblClk(UINT /*flags*/, POINT point) {
  CTremviaDoc* doc = GetData();
  if (!doc || !m_pHits[0].pEntry) return;
  const LocHitRecord* hit = FindHit(PageFromClient(point));
  if (!hit) return;
  const int index = hit->pEntry->record;
  m_nHoverAE = index;
  doc->m_nCurAE = index;
  if (!doc->m_pWave || !doc->m_pWave->OpenEvent(index)) {
    plat::FileDialogOptions d;
    d.open = true;
    d.fileName = plat::Format("%06d", index);
    d.filter = "(*.wav)|*.wav||";
    d.defExt = "Wave form file";
    d.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    const auto path = plat::Ui().FileDialog(d);
    if (!path) return;
    if (doc->m_pWave) doc->m_pWave->Load(*path);
  }
  doc->m_Host.UpdateAllViews(nullptr, 15, nullptr);
}

void CLocView::OnContextMenu(POINT screenPoint) {
  // Popup "LOCVIEW" of the pages' context menus.
  TrackContextMenu(130, 1, screenPoint);
}
