#include "views/timeseries/TSView.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "base/plot/KZ_Axis.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"
#include "views/proppages/PPgTS.h"
#include "views/proppages/PPomori.h"
#include "views/proppages/PropPgGraph.h"
#include "views/proppages/PropPgSS.h"
#include "views/proppages/PropPgSel.h"

namespace {

std::int64_t ToTime(std::tm tm) {
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

}  // namespace

CTSView::CTSView(QWidget* parent) : KZ_View(parent), m_pAEMarkers(kMarkers) {
  m_nPlotLeft = 2000;
  m_nPlotTop = -250;
  m_nHintMask = static_cast<std::uint32_t>(HINT_TS);
  MapCommands();
}

CTSView::~CTSView() = default;

CTremviaDoc* CTSView::GetData() const {
  if (m_pData) return m_pData;
  return dynamic_cast<CTremviaDoc*>(GetDocument());
}

void CTSView::MapCommands() {
  MapCommand(ID_TS_PROPERTY, [this] { OnProperty(); });
  MapCommand(ID_TRACE_NEXT, [this] { OnNext(); });
  MapCommand(ID_TRACE_PREVIOUS, [this] { OnPrevious(); });
  MapCommand(ID_TS_LOAD1000, [this] { OnLoad1000(); });
  MapUpdate(ID_TS_LOAD1000, [this](plat::CCmdUI* ui) {
    CTremviaDoc* doc = GetData();
    const CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
    ui->Enable(pk && pk->m_nCount > 0);
    ui->SetCheck(pk && pk->m_nPageSize >= 1);
  });
  MapCommand(ID_VIEW_ZOOMIN, [this] { OnZoomIn(); });
  MapCommand(ID_VIEW_ZOOMOUT, [this] { OnZoomOut(); });
  MapCommand(ID_TS_ZOOMSEL, [this] { OnZoomSelection(); });
  MapUpdate(ID_TS_ZOOMSEL, [this](plat::CCmdUI* ui) { ui->Enable(m_fSelStart < m_fSelEnd); });
  MapCommand(ID_TS_LOADPEAK, [this] { OnLoadPeak(); });
  MapCommand(ID_TS_SAVEPEAK, [this] { OnSavePeak(); });
  MapCommand(ID_TS_PEAKTIME, [this] { OnPeakTime(); });
  MapCommand(ID_TS_REMOVEM0, [this] { OnRemoveM0(); });
  MapCommand(ID_TS_MARKNOISE, [this] { OnMarkNoise(); });
  MapCommand(ID_TS_REMOVEPLOTTED, [this] { OnRemovePlotted(); });
  MapCommand(ID_TS_REMOVEHEAD, [this] { OnRemoveHead(); });
  MapCommand(ID_TS_REMOVETAIL, [this] { OnRemoveTail(); });
  MapCommand(ID_TS_CORRECTPEAK, [this] { OnCorrectPeak(); });
  MapCommand(ID_TS_LOADWAVE, [this] { OnLoadWaveform(); });
  MapUpdate(ID_TS_LOADWAVE, [](plat::CCmdUI* ui) { ui->Enable(TRUE); });
  MapCommand(ID_TS_LOADSS, [this] { OnLoadSS(); });
  MapCommand(ID_TS_ADDTS, [this] { OnAddTS(); });
  MapUpdate(ID_TS_ADDTS, [this](plat::CCmdUI* ui) {
    CTremviaDoc* doc = GetData();
    int filled = 0;
    while (doc && filled < 4 && doc->m_pAddTS[filled]) ++filled;
    ui->Enable(filled < 3);
  });
  MapCommand(ID_TS_CLEARTS, [this] { OnClearTS(); });
  MapUpdate(ID_TS_CLEARTS, [this](plat::CCmdUI* ui) {
    CTremviaDoc* doc = GetData();
    bool any = false;
    for (int i = 0; doc && i < 4; ++i) any = any || doc->m_pAddTS[i] != nullptr;
    ui->Enable(any);
  });
  MapCommand(ID_TS_SAVEKURVO, [this] { OnSaveKurvo(); });
  MapCommand(ID_TS_SAVEAVG, [this] { OnSaveAvgKurvo(); });
  MapCommand(ID_TS_RATES1, [this] { OnSaveRates(1); });
  MapCommand(ID_TS_RATES10, [this] { OnSaveRates(10); });
  MapCommand(ID_TS_RATES100, [this] { OnSaveRates(100); });
  MapCommand(ID_TS_RATESAUTO, [this] { OnSaveRatesAuto(); });
  MapCommand(ID_TS_SAVEEQT, [this] { OnSaveEQT(); });
  MapCommand(ID_TS_SAVEB, [this] { OnSaveB(); });
  MapCommand(ID_TS_SAVED, [this] { OnSaveD(); });
  MapCommand(ID_TS_MN, [this] { OnMN(); });
  MapCommand(ID_TS_MNAUTO, [this] { OnMNAuto(); });
  // The automatic m-N table has nothing to fill its rows from, so it is not offered.
  MapUpdate(ID_TS_MNAUTO, [](plat::CCmdUI* ui) { ui->Enable(FALSE); });
  MapCommand(ID_TS_FRACTALTIME, [this] { OnFractalTime(); });
  MapCommand(ID_TS_SELFEXCITING, [this] { OnSelfExciting(); });
  // The buffer-size items size nothing: the page allocates no event buffer.
  MapCommand(ID_TS_BUF5000, [] {});
  MapCommand(ID_TS_BUF10000, [] {});
  MapCommand(ID_TS_BUF20000, [] {});
  MapCommand(ID_VIEW_FONT, [this] { ChooseViewFont(); });
}

double CTSView::WindowStart() const {
  const CTremviaDoc* doc = GetData();
  return doc ? doc->m_fTimeStart : 0.0;
}
double CTSView::WindowLength() const {
  const CTremviaDoc* doc = GetData();
  return doc ? doc->m_fTimeSpan : 0.0;
}
int CTSView::PlotWidth() const {
  const CTremviaDoc* doc = GetData();
  return doc ? doc->m_nDocParam : 12000;
}
int CTSView::X(double t) const {
  return TS_Trunc(m_nPlotLeft + (t - WindowStart()) * m_fTimeScale);
}

std::int64_t CTSView::ExperimentStart() const {
  const CTremviaDoc* doc = GetData();
  return doc && doc->m_pHypo ? ToTime(doc->m_pHypo->m_tmStart) : 0;
}
std::int64_t CTSView::ReferenceTime() const {
  const CTremviaDoc* doc = GetData();
  return doc && doc->m_pHypo ? ToTime(doc->m_pHypo->m_tmRef) : 0;
}
float CTSView::StartFraction() const {
  const CTremviaDoc* doc = GetData();
  return doc && doc->m_pHypo ? doc->m_pHypo->m_fStartFrac : 0.0f;
}
float CTSView::ReferenceFraction() const {
  const CTremviaDoc* doc = GetData();
  return doc && doc->m_pHypo ? doc->m_pHypo->m_fRefFrac : 0.0f;
}

void CTSView::ComputePageSize(bool withAddTS) {
  int n = 5;
  if (m_bBMLH || m_bBLSQ || m_bLogTl) ++n;
  if (m_bD2 || m_bCL) ++n;
  const CTremviaDoc* doc = GetData();
  if (withAddTS && doc)
    for (const auto& ts : doc->m_pAddTS)
      if (ts) ++n;
  m_nScrollW = PlotWidth() + 6000;
  m_nScrollH = (m_nPanelH + 500) * n - m_nPlotTop + 3000;
  SetPageScrollSizes();
}

void CTSView::OnInitialUpdate() {
  KZ_View::OnInitialUpdate();
  ComputePageSize(false);
  if (CTremviaDoc* doc = GetData())
    if (CAEPeak* pk = doc->GetPeak(0)) pk->MovingWindowStatistics(m_nB, m_nB / 4);
  RenderPageToDIB();
}

void CTSView::OnUpdate(plat::CView* /*sender*/, LONG hint, void* /*object*/) {
  if (hint != 0 && !(hint & HINT_TS)) return;
  ComputePageSize(true);
  RenderPageToDIB();
  Invalidate(TRUE);
  if (hint & HINT_NOW) UpdateWindow();
}

void CTSView::DrawPlot(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  const double len = WindowLength();
  m_fTimeScale = len != 0 ? PlotWidth() / len : 0.0;
  m_fSelStart = m_fSelEnd = WindowStart();
  int y = DrawPeakPanels(dc);
  y = DrawAddTS(dc, y);
  y = DrawSSPanels(dc, y);
  const std::int64_t start = ExperimentStart();
  const std::string title = doc->m_pHypo ? doc->m_pHypo->m_strTitle : std::string();
  KZ_DrawTimeAxis(dc, m_nPlotLeft, y, PlotWidth(), 0, -1, WindowStart(), len, &start,
                  title.c_str());
  double shown = WindowStart();
  if (doc->m_pTS)
    shown = static_cast<double>(start - doc->m_pTS->m_tStart) + WindowStart() + m_fTSOffset;
  // Below the axis' title line, lower than designed when the font needs it.
  dc->SetTextAlign(TA_LEFT | TA_TOP);
  const int below = title.empty() || title[0] == ' '
                        ? y - 1700
                        : KZ_NextLineY(dc, y - 1700, y - KZ_TimeAxisTitleOffset(dc));
  dc->TextOut(m_nPlotLeft + 500, below, plat::Format("%13.6f", shown));
}

POINT CTSView::PageFromClient(POINT client) const {
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  plat::RecordingDc dc(o);
  const_cast<CTSView*>(this)->OnPrepareDC(&dc);
  dc.DPtoLP(&client);
  return client;
}

void CTSView::OnMouseMove(UINT /*flags*/, POINT point) {
  if (m_pAEMarkers.empty() || !m_pAEMarkers[0].used) return;
  const POINT p = PageFromClient(point);
  if (p.x < m_nPlotLeft || p.x > m_nPlotLeft + PlotWidth()) return;
  if (p.y - (m_nPlotTop - m_nPanelH) < -500) return;
  for (const TSAEMarker& m : m_pAEMarkers) {
    if (!m.used) break;
    if (std::abs(m.x - static_cast<int>(p.x)) >= 100) continue;
    m_hCursor = IDC_AE;
    SetCursor(plat::LoadCursorResource(IDC_AE));
    const AEEventEntry& e = m.entry;
    plat::Ui().SetPaneText(
        0,
        plat::Format("AE:%05d (%4.0f, %4.0f, %4.0f M=%02d) nU:%2d nD:%2d", e.record,
                     static_cast<double>(e.x), static_cast<double>(e.y), static_cast<double>(e.z),
                     static_cast<int>(e.arrivals), 0, 0),
        false);
    m_nCurAE = e.record;
    return;
  }
}

void CTSView::OnLButtonDown(UINT /*flags*/, POINT point) {
  InvertSelection();
  const POINT p = PageFromClient(point);
  if (p.x < m_nPlotLeft || p.x > m_nPlotLeft + PlotWidth()) return;
  CTremviaDoc* doc = GetData();
  if (!doc || !(m_fTimeScale > 0)) return;
  if (p.y + m_nPanelH - m_nPlotTop > -500 && doc->m_pHypo) {
    doc->m_pHypo->m_nCurAE = m_nCurAE;
    doc->m_Host.UpdateAllViews(this, HINT_SOURCE);
  }
  m_fSelStart = (p.x - m_nPlotLeft) / m_fTimeScale + WindowStart();
  if (const KZ_TSdata* ts = doc->m_pTS.get(); ts && ts->m_nChannels > 0 && ts->m_pChannel) {
    const double t = static_cast<double>(ExperimentStart() - ts->m_tStart) + WindowStart() +
                     m_fTSOffset + (p.x - m_nPlotLeft) / m_fTimeScale;
    std::vector<double> v(static_cast<std::size_t>(ts->m_nChannels), 0.0);
    int index = 0;
    ts->ValuesAtTime(t * 1000.0, v.data(), &index);
    std::string text;
    for (int c = 0; c < 4 && c < ts->m_nChannels; ++c) {
      if (c) text += ", ";
      text += plat::Format("%s=%f", ts->m_pChannel[c].szName, v[static_cast<std::size_t>(c)]);
    }
    plat::Ui().SetPaneText(0, text, false);
  }
}

void CTSView::OnLButtonUp(UINT /*flags*/, POINT point) {
  if (!(m_fTimeScale > 0)) return;
  const POINT p = PageFromClient(point);
  m_fSelEnd = (p.x - m_nPlotLeft) / m_fTimeScale + WindowStart();
  InvertSelection();
}

void CTSView::InvertSelection() {
  if (!(m_fTimeScale > 0) || GetMapMode() == 0) return;
  plat::CClientDC dc(this);
  OnPrepareDC(&dc);
  const RECT r{X(m_fSelStart), m_nPlotTop, X(m_fSelEnd), m_nPlotTop - (2 * m_nPanelH + 500)};
  dc.InvertRect(r);
}

void CTSView::OnContextMenu(POINT screenPoint) {
  // Popup "TSVIEW" of the pages' context menus.
  TrackContextMenu(130, 3, screenPoint);
}

// Navigation.

void CTSView::OnZoomIn() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  doc->m_fTimeSpan *= 0.5;
  doc->m_fTimeStart += 0.5 * doc->m_fTimeSpan;
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnZoomOut() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  doc->m_fTimeSpan *= 2;
  doc->m_fTimeStart -= 0.25 * doc->m_fTimeSpan;
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnZoomSelection() {
  CTremviaDoc* doc = GetData();
  if (!doc || !(m_fSelStart < m_fSelEnd)) return;
  doc->m_fTimeSpan = m_fSelEnd - m_fSelStart;
  doc->m_fTimeStart = m_fSelStart;
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnNext() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  CAEPeak* pk = doc->GetPeak(0);
  if (!pk || pk->m_nPageSize < 1) {
    doc->m_fTimeStart += 0.5 * doc->m_fTimeSpan;
  } else {
    if (pk->m_nCurrent >= pk->m_nCount - 1) {
      plat::MessageBeep(0);
      return;
    }
    const double t = pk->GetTime(pk->m_nCurrent);
    doc->m_fTimeStart = t;
    doc->m_fTimeSpan = pk->GetTime(pk->m_nCurrent + pk->m_nPageSize) - t;
  }
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnPrevious() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  CAEPeak* pk = doc->GetPeak(0);
  if (!pk || pk->m_nPageSize < 1) {
    doc->m_fTimeStart -= 0.5 * doc->m_fTimeSpan;
  } else {
    if (pk->m_nCurrent <= pk->m_nPageSize) {
      plat::MessageBeep(0);
      return;
    }
    const double t = pk->GetTime(pk->m_nCurrent - 2 * pk->m_nPageSize);
    doc->m_fTimeStart = t;
    doc->m_fTimeSpan = pk->GetTime(pk->m_nCurrent - pk->m_nPageSize) - t;
  }
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnLoad1000() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  pk->m_nPageSize = pk->m_nPageSize < 1 ? 1000 : 0;
  if (pk->m_nPageSize == 1000) {
    const double t = pk->GetTime(pk->m_nPageFirst);
    doc->m_fTimeStart = t;
    doc->m_fTimeSpan = pk->GetTime(pk->m_nPageFirst + 1000) - t;
  }
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

// The property sheet.

void CTSView::OnProperty() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  const std::int64_t start = ExperimentStart();
  CPropPgSel sel;
  sel.m_tStart = start;
  {
    const double ws = doc->m_fTimeStart;
    const double whole = std::floor(ws);
    const std::time_t t = static_cast<std::time_t>(start + static_cast<std::int64_t>(whole));
    std::tm tm{};
    localtime_r(&t, &tm);
    sel.m_nYear = static_cast<unsigned>(tm.tm_year + 1900);
    sel.m_nMonth = static_cast<unsigned>(tm.tm_mon + 1);
    sel.m_nDay = static_cast<unsigned>(tm.tm_mday);
    sel.m_nHour = static_cast<unsigned>(tm.tm_hour);
    sel.m_nMinute = static_cast<unsigned>(tm.tm_min);
    sel.m_fSeconds = tm.tm_sec + (ws - whole);
  }
  sel.m_fLength = doc->m_fTimeSpan;
  sel.m_nL = m_nPeakL;
  sel.m_nD = m_nPeakD;
  sel.m_nR = m_nPeakR;
  sel.m_nB = static_cast<unsigned>(m_nB);
  sel.m_bBLSQ = m_bBLSQ;
  sel.m_bLogTl = m_bLogTl;
  sel.m_fMmax = m_fMmax;
  sel.m_fTlMax = m_fTlMax;
  sel.m_fTlMin = m_fTlMin;
  sel.m_fBMax = m_fBMax;
  sel.m_fBMin = m_fBMin;
  sel.m_fVMin = m_fVMin;
  sel.m_fVMax = m_fVMax;
  sel.m_fQ = m_fQ;
  sel.m_bD2 = m_bD2;
  sel.m_fD2Min = m_fD2Min;
  sel.m_fD2Max = m_fD2Max;
  sel.m_fCLMin = m_fCLMin;
  sel.m_fCLMax = m_fCLMax;
  sel.m_nD2 = m_nD2;
  sel.m_bCL = m_bCL;
  sel.m_bSymb = m_bSymb;
  sel.m_fCLProb = m_fCLProb;
  sel.m_nRateBins = static_cast<unsigned>(m_nRateBins);
  sel.m_bLog = m_bLog;
  sel.m_bBMLHFractal = m_bBMLHFractal;
  sel.m_bBMLH = m_bBMLH;
  sel.m_fRMin = m_fRMin;
  sel.m_fRMax = m_fRMax;

  CPPomori omori;
  omori.m_fAa = static_cast<float>(m_fAa);
  omori.m_fPa = static_cast<float>(m_fPa);
  omori.m_fTma = static_cast<float>(m_fTma);
  omori.m_fAf = static_cast<float>(m_fAf);
  omori.m_fPf = static_cast<float>(m_fPf);
  omori.m_fTmf = static_cast<float>(m_fTmf);
  omori.m_bOmori = m_bOmori;
  omori.m_fT0 = static_cast<float>(m_fT0);
  omori.m_fTc = static_cast<float>(m_fTc);
  omori.m_fM = static_cast<float>(m_fM);
  omori.m_fV0 = static_cast<float>(m_fV0);
  omori.m_fV1 = static_cast<float>(m_fV1);
  omori.m_bAMR = m_bAMR;

  CPropPgSS ss(doc->m_pTS.get());
  ss.m_nStrainMax = m_nStrainMax;
  ss.m_nStrainMin = m_nStrainMin;
  ss.m_nStressMax = m_nStressMax;
  ss.m_nStressMin = m_nStressMin;
  ss.m_nAEMax = static_cast<unsigned>(m_nAEMax);
  ss.m_fOffset = m_fTSOffset;
  ss.m_fFaultDip = m_fFaultDip;
  ss.m_nStrainFlags = static_cast<unsigned>(m_nStrainFlags);
  ss.m_bAECurve = m_bAECurve;
  ss.m_bShear = m_bShear;
  ss.m_fPPMax = m_fPPMax;
  ss.m_fPPMin = m_fPPMin;
  ss.m_bZeroOffset = m_bZeroOffset;
  ss.m_fCPMin = m_fCPMin;
  ss.m_fCPMax = m_fCPMax;
  ss.m_fDispMin = m_fDispMin;
  ss.m_fDispMax = m_fDispMax;
  if (doc->m_pHypo) ss.m_fDispCorrection = doc->m_pHypo->m_fAEOptA;

  std::vector<std::unique_ptr<CPPgTS>> tsPages;
  for (const auto& ts : doc->m_pAddTS) {
    if (!ts) break;
    tsPages.push_back(std::make_unique<CPPgTS>());
    tsPages.back()->FillFrom(*ts);
  }

  CPropPgGraph graph;
  graph.m_nXSize = static_cast<unsigned>(PlotWidth() / 100);
  graph.m_nYSize = static_cast<unsigned>(m_nPanelH / 100);
  graph.m_nXOffset = static_cast<unsigned>(m_nPlotLeft / 100);
  graph.m_nYOffset = static_cast<unsigned>(-m_nPlotTop / 100);

  std::vector<CPropPage*> pages{&sel, &omori, &ss};
  for (auto& p : tsPages) pages.push_back(p.get());
  pages.push_back(&graph);
  if (PropSheet_DoModal("Tremvia", pages, this) != IDOK) return;

  for (std::size_t i = 0; i < tsPages.size(); ++i) tsPages[i]->WriteTo(*doc->m_pAddTS[i]);
  const int whole = static_cast<int>(std::floor(sel.m_fSeconds));
  const std::int64_t t = PP_LocalTime(static_cast<int>(sel.m_nYear), static_cast<int>(sel.m_nMonth),
                                      static_cast<int>(sel.m_nDay), static_cast<int>(sel.m_nHour),
                                      static_cast<int>(sel.m_nMinute), whole);
  doc->m_fTimeStart = static_cast<double>(t - start) + (sel.m_fSeconds - whole);
  doc->m_fTimeSpan = sel.m_fLength;
  m_nPeakL = sel.m_nL;
  m_nPeakD = sel.m_nD;
  m_nPeakR = sel.m_nR;
  m_nB = static_cast<int>(sel.m_nB);
  m_bBLSQ = sel.m_bBLSQ;
  m_bLogTl = sel.m_bLogTl;
  m_fMmax = sel.m_fMmax;
  m_fTlMax = sel.m_fTlMax;
  m_fTlMin = sel.m_fTlMin;
  m_fBMax = sel.m_fBMax;
  m_fBMin = sel.m_fBMin;
  m_fVMin = sel.m_fVMin;
  m_fVMax = sel.m_fVMax;
  m_fQ = sel.m_fQ;
  m_bD2 = sel.m_bD2;
  m_fD2Min = sel.m_fD2Min;
  m_fD2Max = sel.m_fD2Max;
  m_fCLMin = sel.m_fCLMin;
  m_fCLMax = sel.m_fCLMax;
  m_nD2 = sel.m_nD2;
  m_bCL = sel.m_bCL;
  m_bSymb = sel.m_bSymb;
  m_fCLProb = sel.m_fCLProb;
  m_nRateBins = static_cast<int>(sel.m_nRateBins);
  m_bLog = sel.m_bLog;
  m_bBMLHFractal = sel.m_bBMLHFractal;
  m_bBMLH = sel.m_bBMLH;
  m_fRMin = sel.m_fRMin;
  m_fRMax = sel.m_fRMax;

  m_fAa = omori.m_fAa;
  m_fPa = omori.m_fPa;
  m_fTma = omori.m_fTma;
  m_fAf = omori.m_fAf;
  m_fPf = omori.m_fPf;
  m_fTmf = omori.m_fTmf;
  m_bOmori = omori.m_bOmori;
  m_fT0 = omori.m_fT0;
  m_fTc = omori.m_fTc;
  m_fM = omori.m_fM;
  m_fV0 = omori.m_fV0;
  m_fV1 = omori.m_fV1;
  m_bAMR = omori.m_bAMR;

  m_nStrainMax = ss.m_nStrainMax;
  m_nStrainMin = ss.m_nStrainMin;
  m_nStressMax = ss.m_nStressMax;
  m_nStressMin = ss.m_nStressMin;
  m_nAEMax = static_cast<int>(ss.m_nAEMax);
  m_fTSOffset = ss.m_fOffset;
  m_fFaultDip = ss.m_fFaultDip;
  m_nStrainFlags = static_cast<int>(ss.m_nStrainFlags);
  m_bAECurve = ss.m_bAECurve;
  m_bShear = ss.m_bShear;
  m_fPPMax = ss.m_fPPMax;
  m_fPPMin = ss.m_fPPMin;
  m_bZeroOffset = ss.m_bZeroOffset;
  m_fCPMin = ss.m_fCPMin;
  m_fCPMax = ss.m_fCPMax;
  m_fDispMin = ss.m_fDispMin;
  m_fDispMax = ss.m_fDispMax;
  if (doc->m_pHypo) {
    doc->m_pHypo->m_fAEOptQ = m_fQ;
    doc->m_pHypo->m_fAEOptA = ss.m_fDispCorrection;
  }
  if (CAEPeak* pk = doc->GetPeak(0)) pk->MovingWindowStatistics(m_nB, m_nB / 4);
  doc->m_nDocParam = static_cast<int>(graph.m_nXSize) * 100;
  m_nPlotLeft = static_cast<int>(graph.m_nXOffset) * 100;
  m_nPanelH = static_cast<int>(graph.m_nYSize) * 100;
  m_nPlotTop = -(static_cast<int>(graph.m_nYOffset) * 100);
  ComputePageSize(true);
  doc->m_Host.UpdateAllViews(nullptr, 120);
}
