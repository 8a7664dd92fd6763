#include "views/trace/TraceView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "aecore/catalogue/AEHypo_location.h"
#include "base/plot/KZ_PolyPlot.h"
#include "platform/FileSystem.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"

int g_nTemplatesAdded = 0;

namespace {

int Trunc(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

bool HaveEvent(const CTremviaDoc* doc) {
  return doc && doc->m_pWave && doc->m_pWave->m_pHeader && doc->m_pWave->GetNumChannels() > 0 &&
         doc->m_pWave->m_pHeader->nSamples > 0 &&
         doc->m_pWave->m_pSamples.size() >=
             static_cast<std::size_t>(doc->m_pWave->GetNumChannels()) *
                 doc->m_pWave->m_pHeader->nSamples;
}

bool HaveRecord(const CTremviaDoc* doc) {
  return doc && doc->m_pWave && doc->m_pWave->m_pHeader && doc->m_pHypo;
}

// True (after "Locked event!") when the current record is locked.
bool RefuseLocked(const CTremviaDoc& doc) {
  if (!(doc.m_pHypo->m_Rec.nFlags & AEH_FLAG_LOCKED)) return false;
  plat::AfxMessageBox("Locked event!");
  return true;
}

template <class T>
T At(const std::vector<T>& v, int i) {
  return i >= 0 && i < static_cast<int>(v.size()) ? v[i] : T{};
}

}  // namespace

CTraceView::CTraceView(QWidget* parent) : plat::CScrollView(parent) {
  MapCommand(ID_TRACE_NEXT, [this] { OnNext(); });
  MapCommand(ID_TRACE_PREV, [this] { OnPrevious(); });
  MapCommand(ID_TRACE_PICKUP, [this] { OnPickup(0); });
  MapCommand(ID_TRACE_AR2, [this] { OnPickup(2); });
  MapCommand(ID_TRACE_AR5, [this] { OnPickup(5); });
  MapCommand(ID_TRACE_AR10, [this] { OnPickup(10); });
  MapCommand(ID_TRACE_AR20, [this] { OnPickup(20); });
  MapCommand(ID_TRACE_ZOOM, [this] { OnZoom(); });
  MapUpdate(ID_TRACE_ZOOM, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bZoom != 0); });
  MapCommand(ID_TRACE_TEMPLATE, [this] { OnAddTemplate(); });
  MapCommand(ID_FILE_LOADNEXT, [this] {
    if (CTremviaDoc* doc = GetData()) doc->StepEvent(1);
  });
  MapCommand(ID_WAVE_LOADPREV, [this] {
    if (CTremviaDoc* doc = GetData()) doc->StepEvent(-1);
  });
  MapCommand(ID_WAVE_LOCATE, [this] { OnLocate(); });
  MapCommand(ID_WAVE_SAVELOC, [this] { OnSaveLocation(); });
  MapCommand(ID_WAVE_STORE, [this] { m_bStore = !m_bStore; });
  MapUpdate(ID_WAVE_STORE, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(doc && doc->m_pHypo && doc->m_pHypo->m_nSensors > 0);
    ui->SetCheck(m_bStore != 0);
  });
  MapCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
  MapCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrintDirect(); });
  MapCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
}

CTraceView::~CTraceView() {
  if (m_fpTemplates) std::fclose(m_fpTemplates);
}

CTremviaDoc* CTraceView::GetData() const {
  if (m_pData) return m_pData;
  return dynamic_cast<CTremviaDoc*>(GetDocument());
}

void CTraceView::OnInitialUpdate() {
  SetScrollSizes(MM_HIMETRIC, SIZE{1000, 1000});
  plat::CScrollView::OnInitialUpdate();
}

int CTraceView::ShownChannel() const {
  const CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pWave) return -1;
  const CAEWave& wave = *doc->m_pWave;
  const int row = wave.m_nCurChannel;
  return row >= 0 && row < static_cast<int>(wave.m_pSensor.size()) ? wave.m_pSensor[row] : row;
}

POINT CTraceView::PageFromClient(POINT client) const {
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  plat::RecordingDc dc(o);
  const_cast<CTraceView*>(this)->OnPrepareDC(&dc);
  dc.DPtoLP(&client);
  return client;
}

void CTraceView::OnNext() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pWave) return;
  const int n = doc->m_pWave->GetNumChannels();
  int& row = doc->m_pWave->m_nCurChannel;
  row = row + 1 >= n ? 0 : row + 1;
  Invalidate(TRUE);
}

void CTraceView::OnPrevious() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pWave) return;
  const int n = doc->m_pWave->GetNumChannels();
  int& row = doc->m_pWave->m_nCurChannel;
  row = row - 1 < 0 ? std::max(n - 1, 0) : row - 1;
  Invalidate(TRUE);
}

void CTraceView::OnPickup(int arOrder) {
  CTremviaDoc* doc = GetData();
  if (!HaveEvent(doc)) return;
  plat::CWaitCursor wait;
  // "Pickup" runs the picker's defaults; the "Finds change point" commands an options
  // record with their AR order, whose change point places the pick, and the polarity
  // factor 3.0.
  AEPickOptions options;
  options.fPolarityFactor = 3.0f;
  options.nAROrder = arOrder;
  options.bChangePoint = true;
  doc->m_pWave->AutoPick(ShownChannel(), 0, 0, -1, arOrder > 0 ? &options : nullptr);
  Invalidate(TRUE);
}

void CTraceView::OnZoom() {
  m_bZoom = !m_bZoom;
  Invalidate(TRUE);
}

void CTraceView::OnLocate() {
  CTremviaDoc* doc = GetData();
  if (!HaveRecord(doc)) return;
  // As on the "Wave" page: the event shown is located in its own record, and a locked
  // record is left as it is.
  doc->TakeRecordOfEvent("");
  if (RefuseLocked(*doc)) return;
  doc->ProcessCurrentEvent(2, false, 0, 0, 0, 0);
  if (m_bStore) OnSaveLocation();
}

void CTraceView::OnSaveLocation() {
  CTremviaDoc* doc = GetData();
  if (!HaveRecord(doc)) return;
  // Another event's record is never written under this event's index.
  if (!doc->TakeRecordOfEvent("; nothing stored")) {
    plat::MessageBeep(MB_ICONEXCLAMATION);
    doc->m_Host.UpdateAllViews(nullptr, 31, nullptr);
    return;
  }
  if (doc->m_pHypo->PutAEH(doc->m_pWave->m_nEvent, true))
    plat::MessageBeep(0);
  else
    plat::AfxMessageBox("Can not save data to AED file!");
}

void CTraceView::OnDraw(plat::CDC* dc) {
  CTremviaDoc* doc = GetData();
  if (!HaveEvent(doc)) return;
  RECT client;
  GetClientRect(&client);
  if (!dc->IsPrinting() && client.bottom - client.top < 10) return;
  const CAEWave& wave = *doc->m_pWave;
  const int c = ShownChannel();
  const int S = wave.m_pHeader->nSamples;
  const int rate = wave.m_pHeader->nRate;
  if (c < 0 || c >= wave.GetNumChannels()) return;
  const std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(c) * S;

  const POINT tl = PageFromClient({client.left, client.top});
  const POINT br = PageFromClient({client.right, client.bottom});
  const int H = std::abs(static_cast<int>(br.y - tl.y));
  const int W = std::abs(static_cast<int>(br.x - tl.x));
  const int p = Trunc(wave.GetPickSample(c));

  int L = S;
  m_nWinStart = 0;
  if (m_bZoom && p > 100 && p < S) {
    m_nWinStart = std::max(p - S / 8, 0);
    L = std::min(2 * (S / 8), S - m_nWinStart);
  }
  const float p2p = wave.PeakToPeak(c);
  double A = 0.9 * H / (p2p > 0 ? p2p : 1.0f);
  m_fXScale = L > 0 ? static_cast<float>(W) / L : 1.0f;
  int y0 = Trunc(-0.5 * H), x0 = 0, yA = 0;
  if (dc->IsPrinting()) {
    x0 = 2000;
    y0 = -11000;
    A *= 0.1;
    m_fXScale = 16.0f;
    yA = -2000;
  }
  dc->TextOut(1000, -500, plat::Format("Pzt:%02d", c + 1));

  const int before = std::min(p, S);
  double m = 0;
  if (before > 0) {
    for (int j = 0; j < before; ++j) m += x[j];
    m /= before;
  }
  KZ_PolyPlot trace;
  for (int j = 0; j < L; ++j)
    trace.AddPoint(Trunc(j * m_fXScale + x0), Trunc((x[m_nWinStart + j] - m) * A + y0));
  trace.Draw(dc, PS_SOLID, 0, RGB(0, 0, 0), true, false);
  KZ_PolyPlot middle;
  for (int j = L / 4; j < L / 4 + L / 2; ++j)
    middle.AddPoint(Trunc(j * m_fXScale + x0), Trunc((x[m_nWinStart + j] - m) * 4 * A + y0));
  middle.Draw(dc, PS_SOLID, 0, RGB(0, 128, 0), true, false);

  const int q = p - m_nWinStart;
  if (q > 0 && p < S) {
    const int yv = Trunc((x[p] - m) * A + y0);
    const int ya = Trunc((At(wave.m_pPickAmp, c) - m) * A);
    const int xp = Trunc(q * m_fXScale + x0);
    const float sn = At(wave.m_pPickSN, c);
    if (sn < 0.01f) {
      dc->MoveTo(xp, yv - 50);
      dc->LineTo(xp, yv + 50);
    } else {
      dc->MoveTo(xp, yv);
      dc->LineTo(xp, yv + ya);
    }
    int r = Trunc(At(wave.m_pPickRise, c) * rate);
    if (r < 1) r = (S / 8) / 4;
    dc->MoveTo(xp, yv + ya);
    dc->LineTo(Trunc((q + r) * m_fXScale + x0), yv + ya);
    dc->TextOut(Trunc(xp - 3000), yv + 1500, plat::Format("SN:%.1f", sn));
  }

  const CAEHypo* hypo = doc->m_pHypo.get();
  if (hypo && hypo->m_nSensors > 1 && hypo->m_Rec.nArrivals > 4) {
    const int sensors = std::min(hypo->m_nSensors, AEH_MAX_SENSORS);
    for (int k = 0; k < sensors; ++k) {
      if (hypo->m_Rec.nSensor[k] != c) continue;
      // Travel time on a copy of the record, so drawing never changes the engine's.
      AELocSetup setup = AEHypo_LocSetup(*hypo);
      AELocEvent event = AEHypo_ToLocEvent(hypo->m_Rec);
      const AELocator loc(setup, event);
      float T = 0, dx, dy, dz;
      loc.TravelTimeDeriv(k, &T, &dx, &dy, &dz);
      const int mt = Trunc((hypo->m_Rec.fT0 + T) * rate) - m_nWinStart;
      if (mt > 0 && mt < L) {
        const int h = k < hypo->m_Rec.nArrivals ? 250 : 125;
        const plat::CPen old = dc->SelectObject(plat::CPen(PS_SOLID, 0, RGB(255, 0, 0)));
        const int xm = Trunc(mt * m_fXScale + x0);
        dc->MoveTo(xm, y0 + h);
        dc->LineTo(xm, y0 - h);
        dc->SelectObject(old);
      }
      break;
    }
  }

  if (wave.m_nLastChannel == c) {
    const int f = wave.m_nAicFirst, l = wave.m_nAicLast;
    const int last = std::min(l - f - 2, static_cast<int>(wave.m_pAic.size()) - 1);
    if (last >= 1) {
      double dmax = wave.m_pAic[1], dmin = wave.m_pAic[1];
      for (int i = 1; i <= last; ++i) {
        dmax = std::max(dmax, wave.m_pAic[i]);
        dmin = std::min(dmin, wave.m_pAic[i]);
      }
      const double span = dmax - dmin != 0 ? dmax - dmin : 1.0;
      KZ_PolyPlot aic;
      for (int i = 1; i <= last; ++i)
        aic.AddPoint(Trunc((f + i - m_nWinStart) * m_fXScale + x0),
                     Trunc((wave.m_pAic[i] - dmax) * H / span + yA));
      aic.Draw(dc, PS_SOLID, 20, RGB(0, 0, 255), true, false);
    }
  }
}

void CTraceView::OnMouseMove(UINT flags, POINT point) {
  CTremviaDoc* doc = GetData();
  if (!HaveEvent(doc) || !doc->m_pHypo) return;
  const CAEWave& wave = *doc->m_pWave;
  RECT client;
  GetClientRect(&client);
  const int h = client.bottom - client.top;
  if (flags == 0 && point.y < 0.4 * h)
    m_hCursor = IDC_UP;
  else if (flags == 0 && point.y > 0.6 * h)
    m_hCursor = IDC_DOWN;
  else
    m_hCursor = IDC_TIME;
  SetCursor(plat::LoadCursorResource(m_hCursor));

  const int c = ShownChannel();
  const int S = wave.m_pHeader->nSamples;
  const int rate = wave.m_pHeader->nRate;
  if (c < 0 || c >= wave.GetNumChannels() || !(m_fXScale > 0)) return;
  const std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(c) * S;
  const POINT pt = PageFromClient(point);
  // The read-out stays on the record, and its swing window ends with the record.
  const int ts = std::clamp(Trunc(pt.x / m_fXScale + m_nWinStart), 0, S - 1);
  const double t = rate > 0 ? static_cast<double>(ts) / rate : 0.0;
  const int b = x[ts];
  const int sign = x[std::min(ts + 5, S - 1)] > b ? 1 : -1;
  int dmax = 0, sum = 0;
  for (int j = 0; j < 100 && ts + j < S; ++j) {
    const std::int16_t d = static_cast<std::int16_t>((x[ts + j] - b) * sign);
    if (d < 0 && j > 5) break;
    dmax = std::max<int>(dmax, d);
    sum += d;
  }
  const double ratio = sum != 0 ? static_cast<double>(dmax) / sum : 0.0;
  const double t0 = doc->m_pHypo->m_Rec.fT0;
  const double tP = At(wave.m_pPickTime, c) - t0, tS = t - t0;
  const std::string text =
      tP > 0 && tP < tS
          ? plat::Format("[%02d] t=%4.1f Vp/Vs=%5.2f A/S=%5.3f S=%d", c, tS, tS / tP, ratio, sum)
          : plat::Format("[%02d] t=%4.1f A/S=%5.3f S=%d", c, t, ratio, sum);
  m_strReadout = text;
  plat::Ui().SetPaneText(0, text, false);
}

void CTraceView::OnLButtonDown(UINT /*flags*/, POINT point) { m_ptPress = PageFromClient(point); }

void CTraceView::OnLButtonUp(UINT /*flags*/, POINT point) {
  CTremviaDoc* doc = GetData();
  if (!HaveEvent(doc) || !doc->m_pHypo || !(m_fXScale > 0)) return;
  const int S = doc->m_pWave->m_pHeader->nSamples;
  // A press outside the record sets no pick (sample S is past its end).
  const int p = Trunc(m_ptPress.x / m_fXScale + m_nWinStart);
  if (p < 0 || p >= S) return;
  const POINT rel = PageFromClient(point);
  const int dx = rel.x - m_ptPress.x, dy = rel.y - m_ptPress.y;
  if (std::abs(dx) < 100 && std::abs(dy) < 100) {
    RECT client;
    GetClientRect(&client);
    const int h = client.bottom - client.top;
    if (point.y < 0.4 * h)
      OnPrevious();
    else if (point.y > 0.6 * h)
      OnNext();
    return;
  }
  PickByDrag(m_ptPress, rel);
}

void CTraceView::PickByDrag(POINT press, POINT release) {
  CTremviaDoc* doc = GetData();
  if (!HaveEvent(doc) || !doc->m_pHypo || !(m_fXScale > 0)) return;
  CAEWave& wave = *doc->m_pWave;
  const int S = wave.m_pHeader->nSamples;
  const int rate = wave.m_pHeader->nRate;
  const int c = ShownChannel();
  if (c < 0 || c >= wave.GetNumChannels()) return;
  const int p = Trunc(press.x / m_fXScale + m_nWinStart);
  if (p < 0 || p >= S) return;
  const int dx = release.x - press.x, dy = release.y - press.y;
  const int n = Trunc(dx / m_fXScale);
  if (n < 1) return;  // a drag to the left (or within one sample) sets no pick
  const std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(c) * S;
  const int pol = std::abs(dy) < 100 ? 0 : dy > 0 ? 1 : -1;

  // Noise before the pick.
  const int nb = std::min(n, p);
  int nMin = 32765, nMax = -32765;
  double mN = 0;
  for (int j = 1; j <= nb; ++j) {
    mN += x[p - j];
    nMin = std::min<int>(nMin, x[p - j]);
    nMax = std::max<int>(nMax, x[p - j]);
  }
  if (nb > 0)
    mN /= nb;
  else
    nMin = nMax = x[p];  // a pick at the first sample has no noise window
  const int half = Trunc(0.5 * (nMax - nMin));
  // Signal after the pick, ending with the record.
  const int last = std::min(p + n, S - 1);
  int sMin = 32765, sMax = -32765;
  for (int j = p + 1; j <= last; ++j) {
    sMin = std::min<int>(sMin, x[j]);
    sMax = std::max<int>(sMax, x[j]);
  }
  if (last <= p) sMin = sMax = x[p];
  float amp = 0, sn = 0;
  if (pol > 0) {
    amp = static_cast<float>(sMax - mN);
    sn = static_cast<float>(amp / (half + 1e-5));
  } else if (pol < 0) {
    amp = static_cast<float>(sMin - mN);
    sn = static_cast<float>(-amp / (half + 1e-5));
  } else {
    sn = static_cast<float>(0.5 * (sMax - sMin) / (half + 1e-5));
  }
  // The pick goes into the shown event's own record; a locked record keeps its arrivals.
  doc->TakeRecordOfEvent("");
  if (RefuseLocked(*doc)) return;
  plat::Ui().SetPaneText(1, m_strReadout, false);
  const float rise = rate > 0 ? static_cast<float>(n) / rate : 0.0f;
  wave.SetPick(p, amp, rise, sn, static_cast<std::int16_t>(pol), c);
  std::vector<std::uint16_t> flags(wave.m_pPolarity.begin(), wave.m_pPolarity.end());
  doc->m_pHypo->SetArrivals(wave.m_pPickTime.data(), wave.m_pPickAmp.data(),
                            wave.m_pPickRise.data(), wave.m_pPickSN.data(), flags.data());
  doc->m_Host.UpdateAllViews(nullptr, HINT_WAVE | HINT_TRACE, nullptr);
}

void CTraceView::OnAddTemplate() {
  CTremviaDoc* doc = GetData();
  if (!HaveEvent(doc) || !doc->m_pHypo) return;
  CAEWave& wave = *doc->m_pWave;
  CAETemplateSet& set = doc->m_Templates;
  if (!m_fpTemplates && g_nTemplatesAdded == 0) {
    // A save-style dialog, so that the user may name a new file as well as pick an
    // existing one; an existing file is appended to, never replaced.
    plat::FileDialogOptions o;
    o.open = false;
    o.title = "Template AE signal file";
    o.filter = "*.txt|*.txt||";
    o.defExt = "txt";
    const auto path = plat::Ui().FileDialog(o);
    if (path) {
      const bool existed = plat::FileExists(*path);
      if (existed) {
        set.Read(*path);
        const int removed = set.CrossCorrelateAll(1, 0.95f);
        if (removed > 0) {
          set.Write(*path, false);
          plat::AfxMessageBox(plat::Format("Removed %d waves of CC>0.95, %d templates left",
                                           removed, set.GetCount()));
        }
      }
      m_fpTemplates = std::fopen(path->c_str(), "a+");
      if (m_fpTemplates && !existed) {
        std::fputs("!Template AE wveform with manually determined P-1st motion data\n",
                   m_fpTemplates);
        std::fputs("!numSamples, Samp. rate(MHz), indPick, S/N, Amp. Gain(mm/s/count\n",
                   m_fpTemplates);
      }
    }
  }
  ++g_nTemplatesAdded;

  const int c = ShownChannel();
  if (c < 0 || c >= wave.GetNumChannels()) return;
  const int S = wave.m_pHeader->nSamples;
  const std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(c) * S;
  auto rec = std::make_unique<AETemplateRec>();
  rec->m_nRate = wave.m_pHeader->nRate;
  rec->m_nSamples = set.m_nWindow + 2;
  const int N0 = set.m_nWindow / 2;
  rec->m_nPick = N0;
  rec->m_fSN = At(wave.m_pPickSN, c);
  rec->m_fAmp = At(wave.m_pPickAmp, c);
  const int p = Trunc(wave.GetPickSample(c));
  const double gain = At(doc->m_pHypo->m_pSensorGain, c);
  rec->m_pData.resize(rec->m_nSamples);
  for (int i = 0; i < rec->m_nSamples; ++i) {
    // Samples before the record's start or past its end count as silence.
    const int k = p - N0 + i;
    rec->m_pData[i] = k >= 0 && k < S ? static_cast<float>(x[k] * gain * 1e6) : 0.0f;
  }
  int index = -1;
  float cc = 0;
  set.BestMatch(rec->m_pData.data(), &index, &cc);
  if (cc >= 0.95f &&
      plat::AfxMessageBox(
          plat::Format("Similar wave existing with CC=%.2f, <YES> to add anyway", cc), MB_YESNO) ==
          IDNO)
    return;
  const AETemplateRec& r = *rec;
  if (m_fpTemplates) {
    std::fprintf(m_fpTemplates, "%4d %d %d %.2f %.4e\n", r.m_nSamples, r.m_nRate, r.m_nPick,
                 r.m_fSN, r.m_fAmp);
    for (float v : r.m_pData) std::fprintf(m_fpTemplates, "%f\n", v);
    std::fflush(m_fpTemplates);
  }
  set.Add(std::move(rec));
}

void CTraceView::OnContextMenu(POINT screenPoint) {
  // Popup "TRACE" of the pages' context menus.
  TrackContextMenu(130, 0, screenPoint);
}
