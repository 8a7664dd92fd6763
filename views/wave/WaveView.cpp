#include "views/wave/WaveView.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "aecore/catalogue/AEHypo_location.h"
#include "aecore/document/TremviaDoc.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_TSana.h"
#include "base/plot/KZ_Axis.h"
#include "base/plot/KZ_PolyPlot.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"
#include "views/proppages/PropPgGraph.h"
#include "views/wave/DlgInverse.h"

namespace {

int Trunc(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

// Travel times and incidences of the record the page shows, computed on a copy of it so
// that drawing never changes the engine's current record.
class RecordGeometry {
 public:
  RecordGeometry(const CAEHypo& hypo, const AEHRecord& rec)
      : setup_(AEHypo_LocSetup(hypo)), event_(AEHypo_ToLocEvent(rec)), loc_(setup_, event_) {}
  float TravelTime(int slot) const {
    float t = 0, dx, dy, dz;
    loc_.TravelTimeDeriv(slot, &t, &dx, &dy, &dz);
    return t;
  }
  bool Incidence(int sensor, float* cosIncidence, float* distance) const {
    return loc_.GetSensorIncidence(sensor, cosIncidence, distance) != 0;
  }

 private:
  AELocSetup setup_;
  AELocEvent event_;
  AELocator loc_;
};

}  // namespace

double AE_IncidenceResponse(double c) {
  return 4.9607 * c * c * c * c - 6.8309 * c * c * c + 3.1707 * c * c - 0.3975 * c + 0.0792;
}

CWaveView::CWaveView(QWidget* parent) : KZ_View(parent), m_pWork(65680 / sizeof(float)) {
  MapCommand(ID_VIEW_ZOOMIN, [this] { OnZoomIn(); });
  MapCommand(ID_VIEW_ZOOMOUT, [this] { OnZoomOut(); });
  MapCommand(ID_WAVE_NORMALIZE, [this] { OnNormalize(); });
  MapUpdate(ID_WAVE_NORMALIZE, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bNormalize > 0); });
  MapCommand(ID_WAVE_NOCLIP, [this] { OnClip(0); });
  MapCommand(ID_WAVE_CLIP5, [this] { OnClip(500); });
  MapCommand(ID_WAVE_CLIP10, [this] { OnClip(1000); });
  MapUpdate(ID_WAVE_NOCLIP, [this](plat::CCmdUI* ui) { ui->SetCheck(m_nClip == 0); });
  MapUpdate(ID_WAVE_CLIP5, [this](plat::CCmdUI* ui) { ui->SetCheck(m_nClip == 500); });
  MapUpdate(ID_WAVE_CLIP10, [this](plat::CCmdUI* ui) { ui->SetCheck(m_nClip == 1000); });
  MapCommand(ID_WAVE_SORTART, [this] { OnSortART(); });
  MapUpdate(ID_WAVE_SORTART, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bSortART != 0); });
  MapCommand(ID_UTIL_INCIDENCE, [this] { OnIncidentAngleCorrection(); });
  MapCommand(ID_UTIL_WAVECHECK, [this] { OnWaveformCheck(); });
  MapUpdate(ID_UTIL_WAVECHECK, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bCheckWave != 0); });
  MapCommand(ID_VIEW_FONT, [this] { ChooseViewFont(); });
  MapCommand(ID_VIEW_PROPERTY, [this] { OnPageLayout(); });
  MapEventCommands();
  MapBatchCommands();
  MapFileCommands();
}

CWaveView::~CWaveView() {
  if (m_nTimer) KillTimer(static_cast<UINT>(m_nTimer));
}

CTremviaDoc* CWaveView::GetData() const {
  if (m_pData) return m_pData;
  return dynamic_cast<CTremviaDoc*>(GetDocument());
}

void CWaveView::OnInitialUpdate() {
  KZ_View::OnInitialUpdate();
  m_nScrollW = m_nPlotLeft + 26000;
  m_nScrollH = 22000 - m_nPlotTop;
  SetPageScrollSizes();
  // No special-event search is set up until the dialog has been through OK once.
  m_dlgFind.m_nLevel1 = m_dlgFind.m_nLevel2 = 5000;
  m_dlgFind.m_nCount1 = m_dlgFind.m_nCount2 = 5;
  m_dlgFind.m_nTrace1 = 9999;
  m_dlgFind.m_nTrace2 = 13;
  m_dlgFind.m_strCombine = "OR";
}

void CWaveView::OnUpdate(plat::CView* /*sender*/, LONG hint, void* /*object*/) {
  if (hint != 0 && !(hint & HINT_WAVE)) return;
  Invalidate(TRUE);
  if (hint & HINT_NOW) UpdateWindow();
}

SIZE CWaveView::PrintExtent() const {
  CTremviaDoc* doc = GetData();
  const AEWHeader* header = doc && doc->m_pWave ? doc->m_pWave->m_pHeader.get() : nullptr;
  const int n = header && header->nChannels > 0 ? header->nChannels : 1;
  const int H = Trunc(m_nTraceHeight / n * 1.4);
  // Rows from y0 - 2000 down to the time axis at row n + 3, its labels and title below.
  const int depth = -(m_nPlotTop - 2000) + (n + 3) * H + 2500;
  return SIZE{m_nScrollW + 2000, std::max(m_nScrollH, depth)};
}

void CWaveView::DrawPlot(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pWave) return;
  const CAEWave& wave = *doc->m_pWave;
  const AEWHeader* header = wave.m_pHeader.get();
  if (!header || header->nChannels < 1) return;
  const CAEHypo* hypo = doc->m_pHypo.get();

  // The record of this event: the engine's current one when it carries the event,
  // otherwise an empty one (the engine's own record is left as it is).
  AEHRecord rec;
  std::memset(&rec, 0, sizeof rec);
  if (hypo && hypo->m_Rec.nIndex == wave.m_nEvent) rec = hypo->m_Rec;
  const int sensors = hypo ? std::clamp(hypo->m_nSensors, 0, AEH_MAX_SENSORS) : 0;
  std::unique_ptr<RecordGeometry> geometry;
  if (hypo) geometry = std::make_unique<RecordGeometry>(*hypo, rec);

  const int n = header->nChannels;
  const int S = header->nSamples;
  const int rate = header->nRate;
  int x0 = m_nPlotLeft, y0 = m_nPlotTop;
  int H = m_nTraceHeight / n;
  m_fXScale = S > 0 ? static_cast<float>(m_nTraceWidth) / S : 0.0f;
  const int adcSpan = header->nMax - header->nMin;
  double A = m_fZoom * H / (adcSpan != 0 ? adcSpan : 1);
  if (dc->IsPrinting()) {
    x0 += 2000;
    y0 -= 2000;
    H = Trunc(H * 1.4);
    A *= 1.4;
  }

  // Title and the event's line.
  const std::string start = wave.GetStartTimeText();
  const std::string title =
      wave.m_strPath.find(".lng") != std::string::npos
          ? plat::Format("%s %s S#%d (%06ld.%06ld sec)", wave.m_strPath.c_str(), start.c_str(),
                         wave.m_nEvent, static_cast<long>(header->nSec),
                         static_cast<long>(header->nUsec))
          : plat::Format("%s %s (%06ld.%06ld sec)", wave.m_strPath.c_str(), start.c_str(),
                         static_cast<long>(header->nSec), static_cast<long>(header->nUsec));
  // The header lines are broken where they would run off the page, and the second one
  // follows the first however many lines that took.
  const int right = m_nScrollW - 500;
  const UINT oldAlign = dc->SetTextAlign(TA_LEFT | TA_TOP);
  const int titleEnd = KZ_DrawTextWrapped(dc, 1000, -500, title, right);
  if (std::strstr(wave.m_szComment, "tected")) {
    KZ_DrawTextWrapped(
        dc, 2000, KZ_NextLineY(dc, -1000, titleEnd),
        std::string(wave.m_szComment, strnlen(wave.m_szComment, sizeof wave.m_szComment)), right);
  } else if (rec.nArrivals > 2) {
    const std::string mwFc =
        rec.fFc > 0.01f && hypo
            ? plat::Format("%.2f", hypo->m_fMagFcSlope * std::log10(rec.fFc) + hypo->m_fMagFcConst)
            : std::string("---");
    KZ_DrawTextWrapped(
        dc, 2000, KZ_NextLineY(dc, -1000, titleEnd),
        plat::Format("S:(%.2f %.2f %.2f)(%.1f) V:(%.1f %.1f %.1f) Mid=%d Mw(A_med)=%.2f "
                     "Mw(<A>)=%.2f Mw(Fc)=%s Fc=%.4f MHz ",
                     rec.fX, rec.fY, rec.fZ, rec.fT0, rec.fVx, rec.fVy, rec.fVz, rec.nArrivals,
                     rec.fMw, rec.fMw2, mwFc.c_str(), rec.fFc),
        right);
  }
  dc->SetTextAlign(oldAlign);
  // Channel and distance labels hang above their trace's baseline: from 250 above it, or
  // higher when the font is taller than that.
  const int labelLift = std::max(250, KZ_TextLineHeight(dc) + 40);
  if (!dc->IsPrinting() && height() < 100) return;
  if (S < 1) return;

  // Rows: the channel of each row, never past the record's channels.
  const auto channelOfRow = [&](int i) {
    const int c = i < static_cast<int>(wave.m_pSensor.size()) ? wave.m_pSensor[i] : i;
    return c >= 0 && c < n ? c : -1;
  };
  const auto shiftOf = [&](float T) { return Trunc(x0 - Trunc(rate * T) * m_fXScale); };
  const bool haveSamples = wave.m_pSamples.size() >= static_cast<std::size_t>(n) * S;
  int xs = x0;
  KZ_PolyPlot trace;
  for (int i = 0; i < n; ++i) {
    const int yi = y0 - (i + 2) * H;
    const int c = channelOfRow(i);
    xs = x0;
    if (c < 0) continue;
    if (m_bSortART && sensors > 1 && rec.nArrivals > 4 && geometry) {
      for (int k = 0; k < sensors; ++k) {
        if (rec.nSensor[k] == c) {
          xs = shiftOf(geometry->TravelTime(k));
          break;
        }
      }
    }
    dc->TextOut(xs, yi + labelLift, plat::Format("%02d", c + 1));

    double g = (c < static_cast<int>(wave.m_pGain.size()) ? wave.m_pGain[c] : 1.0) * A;
    float cosI, dist;
    if (m_bNormalize && sensors > 4 && geometry && c < sensors &&
        geometry->Incidence(c, &cosI, &dist))
      g /= AE_IncidenceResponse(cosI);

    if (haveSamples) {
      const std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(c) * S;
      trace.m_Points.reserve(S);
      for (int j = 0; j < S; ++j) {
        const int px = Trunc(j * m_fXScale + xs);
        int off = Trunc(x[j] * g);
        if (m_nClip) off = std::clamp(off, -m_nClip, m_nClip);
        trace.AddPoint(px, m_nClip ? yi + off : Trunc(x[j] * g + yi));
      }
      trace.Draw(dc, PS_SOLID, 10, RGB(0, 0, 0), true, false);
    }

    const int p =
        c < static_cast<int>(wave.m_pPickTime.size()) ? Trunc(wave.m_pPickTime[c] * rate) : 0;
    if (p > 0) {
      const float sn = c < static_cast<int>(wave.m_pPickSN.size()) ? wave.m_pPickSN[c] : 0.0f;
      const int L = std::clamp(Trunc(100 * sn), 250, 750);
      const int px = Trunc(p * m_fXScale + xs);
      const int pol = c < static_cast<int>(wave.m_pPolarity.size()) ? wave.m_pPolarity[c] : 0;
      const COLORREF colour = pol > 0   ? RGB(0, 255, 0)
                              : pol < 0 ? RGB(0, 0, 255)
                                        : RGB(128, 128, 128);
      const plat::CPen old = dc->SelectObject(plat::CPen(PS_SOLID, 40, colour));
      dc->MoveTo(px, pol > 0 ? yi : pol < 0 ? yi : yi - L / 2);
      dc->LineTo(px, pol > 0 ? yi + L : pol < 0 ? yi - L : yi + L / 2);
      dc->SelectObject(old);
    }
  }

  if (m_bCheckWave && !wave.CheckWaveform(1)) {
    dc->MoveTo(xs, y0 - H);
    dc->LineTo(xs + 5000, y0 - H - 5000);
    dc->MoveTo(xs, y0 - H - 5000);
    dc->LineTo(xs + 5000, y0 - H);
  }

  const float Sn = KZ_NiceFloorF(static_cast<float>(S));
  if (rate > 0)
    KZ_DrawAxisInclined(dc, xs, y0 - (n + 3) * H, Trunc(Sn * m_fXScale), 0, -1, 0,
                        static_cast<float>(static_cast<int>(Sn) / rate), 10, "Time(usec)");

  if (sensors >= 1 && rec.nArrivals >= 2 && geometry) {
    const plat::CPen old = dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(255, 0, 0)));
    const int rows = std::min(sensors, n);
    for (int k = 0; k < sensors; ++k) {
      const int s = rec.nSensor[k];
      int j = sensors;
      for (int r = 0; r < rows; ++r) {
        if (channelOfRow(r) == s) {
          j = r;
          break;
        }
      }
      const int yj = y0 - (j + 2) * H;
      const float T = geometry->TravelTime(k);
      if (m_bSortART) xs = shiftOf(T);
      const int m = Trunc((T + rec.fT0) * rate);
      if (m > 0 && m < S) {
        const int h = k < rec.nArrivals ? 250 : 125;
        const int x = Trunc(m * m_fXScale + xs);
        dc->MoveTo(x, yj + h);
        dc->LineTo(x, yj - h);
      }
      float cosI, dist;
      if (s >= 0 && s < sensors && geometry->Incidence(s, &cosI, &dist)) {
        dc->TextOut(xs + 1000, yj + labelLift, plat::Format("%03d", Trunc(dist)));
        dc->MoveTo(xs + 2000, yj);
        dc->LineTo(Trunc(xs + 2000 + 500 * cosI),
                   Trunc(yj + 500 * std::sqrt(std::max(0.0, 1.0 - double(cosI) * cosI))));
      }
    }
    const int x = Trunc(Trunc(rate * rec.fT0) * m_fXScale + x0);
    dc->MoveTo(x, y0 - H);
    dc->LineTo(x, y0 - H - sensors * H);
    dc->SelectObject(old);
  }
}

void CWaveView::OnZoomIn() {
  m_fZoom *= 2;
  Invalidate(TRUE);
}

void CWaveView::OnZoomOut() {
  m_fZoom /= 2;
  Invalidate(TRUE);
}

void CWaveView::OnNormalize() {
  m_bNormalize = m_bNormalize <= 0 ? 1 : 0;
  Invalidate(TRUE);
}

void CWaveView::OnClip(int level) {
  if (m_nClip == level) return;
  m_nClip = level;
  Invalidate(TRUE);
}

void CWaveView::OnWaveformCheck() { m_bCheckWave = !m_bCheckWave; }

void CWaveView::OnPageLayout() {
  const auto mm = [](int v) { return static_cast<unsigned>(std::max(v, 0) / 100); };
  CPropPgGraph page;
  page.m_nYSize = mm(m_nTraceHeight);
  page.m_nXSize = mm(m_nTraceWidth);
  page.m_nXOffset = mm(m_nPlotLeft);
  page.m_nYOffset = mm(-m_nPlotTop);
  if (PropSheet_DoModal(plat::Resources::Get().String(AFX_IDS_APP_TITLE), {&page}, this) != IDOK)
    return;
  m_nTraceHeight = static_cast<int>(page.m_nYSize) * 100;
  m_nTraceWidth = static_cast<int>(page.m_nXSize) * 100;
  m_nPlotLeft = static_cast<int>(page.m_nXOffset) * 100;
  m_nPlotTop = -100 * static_cast<int>(page.m_nYOffset);
  m_nScrollW = m_nPlotLeft + m_nTraceWidth + 2000;
  m_nScrollH = m_nTraceHeight - m_nPlotTop + 2000;
  SetPageScrollSizes();
  Invalidate(TRUE);
}

void CWaveView::OnSortART() {
  m_bSortART = !m_bSortART;
  CTremviaDoc* doc = GetData();
  if (doc && doc->m_pWave && doc->m_pWave->m_pHeader) {
    CAEWave& wave = *doc->m_pWave;
    const int n = wave.GetNumChannels();
    const int sensors = doc->m_pHypo ? doc->m_pHypo->m_nSensors : 0;
    const int m = std::min(sensors > 0 ? sensors : n, n);
    for (int c = static_cast<int>(wave.m_pSensor.size()); c < n; ++c) wave.m_pSensor.push_back(c);
    if (m_bSortART) {
      std::vector<float> keys(std::max(m, 0));
      std::vector<int> order(std::max(m, 0));
      for (int c = 0; c < m; ++c) {
        const float t = c < static_cast<int>(wave.m_pPickTime.size()) ? wave.m_pPickTime[c] : 0;
        keys[c] = t > 0 ? t : 9999;
        order[c] = c;
      }
      if (m > 0) KZ_TSana::SortIndexed(keys.data(), m, order.data());
      for (int c = 0; c < m; ++c) wave.m_pSensor[c] = order[c];
    } else {
      for (int c = 0; c < m; ++c) wave.m_pSensor[c] = c;
    }
  }
  Invalidate(TRUE);
}

void CWaveView::OnIncidentAngleCorrection() {
  CTremviaDoc* doc = GetData();
  if (doc && doc->m_pWave && doc->m_pHypo && doc->m_pHypo->m_Rec.nArrivals >= 5) {
    CAEWave& wave = *doc->m_pWave;
    const CAEHypo& hypo = *doc->m_pHypo;
    const RecordGeometry geometry(hypo, hypo.m_Rec);
    const int sensors = std::clamp(hypo.m_nSensors, 0, AEH_MAX_SENSORS);
    const int n = wave.GetNumChannels();
    if (static_cast<int>(wave.m_pGain.size()) < n) wave.m_pGain.resize(n, 1.0f);
    for (int k = 0; k < sensors; ++k) {
      const int s = hypo.m_Rec.nSensor[k];
      float cosI, dist;
      if (s >= 0 && s < n && geometry.Incidence(s, &cosI, &dist))
        wave.m_pGain[s] = static_cast<float>(1.0 / AE_IncidenceResponse(cosI));
    }
  }
  Invalidate(TRUE);
}

POINT CWaveView::PageFromClient(POINT client) const {
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  plat::RecordingDc dc(o);
  const_cast<CWaveView*>(this)->OnPrepareDC(&dc);
  dc.DPtoLP(&client);
  return {client.x - m_nPlotLeft, client.y - m_nPlotTop};
}

void CWaveView::OnMouseMove(UINT flags, POINT point) {
  const POINT p = PageFromClient(point);
  RECT client;
  GetClientRect(&client);
  const int w = PageFromClient({client.right, 0}).x - PageFromClient({0, 0}).x;
  const int a = Trunc(0.45 * w), b = Trunc(0.55 * w);
  std::string status;
  if (p.x < 0) {
    m_hCursor = IDC_NOISE;
    status = "Click to mark noise";
  } else if (flags == 0 && p.y > -500 && p.x < a) {
    m_hCursor = IDC_PREV;
  } else if (flags == 0 && p.y > -500 && p.x > b) {
    m_hCursor = IDC_NEXT;
  } else {
    m_hCursor = IDC_TIME;
    status = "L-Click to next, L-Down & move to relocate.";
  }
  SetCursor(plat::LoadCursorResource(m_hCursor));
  if (!status.empty()) plat::Ui().SetPaneText(0, status, false);
}

void CWaveView::OnLButtonDown(UINT /*flags*/, POINT point) {
  const POINT p = PageFromClient(point);
  m_ptPress = {std::max<LONG>(p.x, 0), std::min<LONG>(p.y, 0)};
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pWave || !doc->m_pWave->m_pHeader) return;
  const int n = doc->m_pWave->GetNumChannels();
  const int H = m_nTraceHeight / std::max(n, 1);
  if (H <= 0) return;
  // Row 0 answers from H to 3H below the origin, row r >= 1 from (r + 2) H to (r + 3) H.
  const int depth = std::abs(static_cast<int>(p.y));
  const int r = Trunc((depth - H) / H - 0.5);
  if (depth >= H && r >= 0 && r < n) {
    doc->m_pWave->m_nCurChannel = r;
    doc->m_Host.UpdateAllViews(nullptr, HINT_TRACE);
  }
}

void CWaveView::OnLButtonUp(UINT flags, POINT point) {
  if (flags & MK_CONTROL) {
    OnCmdMsg(ID_WAVE_SAVELOC, nullptr);
    return;
  }
  if (flags & MK_XBUTTON1) {
    OnCmdMsg(ID_WAVE_NOISE, nullptr);
    return;
  }
  const POINT p = PageFromClient(point);
  CTremviaDoc* doc = GetData();
  const bool haveEvent = doc && doc->m_pWave && doc->m_pWave->m_pHeader && doc->m_pHypo;
  if (p.x < 0) {
    if (haveEvent) ToggleNoiseMark(*doc);
    return;
  }
  if (m_nTimer) {  // a click stops auto-loading
    StopAutoLoad();
    return;
  }
  RECT client;
  GetClientRect(&client);
  const int w = PageFromClient({client.right, 0}).x - PageFromClient({0, 0}).x;
  if ((flags & ~MK_LBUTTON) == 0 && p.y > -500) {
    if (p.x < Trunc(0.45 * w)) {
      OnCmdMsg(ID_WAVE_LOADPREV, nullptr);
      return;
    }
    if (p.x > Trunc(0.55 * w)) {
      OnCmdMsg(ID_FILE_LOADNEXT, nullptr);
      return;
    }
  }
  if (haveEvent && std::abs(std::min<LONG>(p.y, 0) - m_ptPress.y) > 2000)
    Relocate(*doc, std::max<LONG>(p.x, 0));
}

void CWaveView::ToggleNoiseMark(CTremviaDoc& doc) {
  CAEHypo& hypo = *doc.m_pHypo;
  CAEWave& wave = *doc.m_pWave;
  doc.TakeRecordOfEvent("");
  if (hypo.m_Rec.nFlags & 0x20) {
    plat::AfxMessageBox("Locked event!");
    return;
  }
  const bool marked = !(hypo.m_Rec.nArrivals <= -1);
  hypo.m_Rec.nArrivals = marked ? -1 : 0;
  wave.m_pHeader->nStatus = marked ? -1 : 0;
  hypo.PutAEH(wave.m_nEvent, true);
  if (marked) OnCmdMsg(ID_FILE_LOADNEXT, nullptr);
}

void CWaveView::Relocate(CTremviaDoc& doc, int releaseX) {
  CAEHypo& hypo = *doc.m_pHypo;
  CAEWave& wave = *doc.m_pWave;
  doc.TakeRecordOfEvent("");
  if (hypo.m_Rec.nFlags & 0x20) {
    plat::AfxMessageBox("Locked event!");
    return;
  }
  if (!(m_fXScale > 0)) return;
  plat::CWaitCursor wait;
  wave.ProcessEvent(&hypo, Trunc(m_ptPress.x / m_fXScale), Trunc(releaseX / m_fXScale), 0);
  if (m_bStore) hypo.PutAEH(wave.m_nEvent, true);
  doc.m_Host.UpdateAllViews(nullptr, HINT_SOURCE | HINT_WAVE | HINT_TRACE);
}

void CWaveView::OnContextMenu(POINT screenPoint) {
  // Popup "WAVEVIEW" of the pages' context menus.
  TrackContextMenu(130, 2, screenPoint);
}
