// The "Mec" tab of the working sheet: focal mechanisms of the current event or of the
// window's events, smoothing and thinning of the loading machine's series, and the
// tables of mean gauge strains.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "aecore/document/TremviaDoc_exportutil.h"
#include "app/GridFun.h"
#include "app/MainFrm.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/UiServices.h"

namespace {

// A gauge reading beyond this is an open or saturated gauge.
constexpr double kGaugeLimit = 60000.0;

bool NameHas(const KZ_TSdata& ts, int c, const char* word) {
  return c >= 0 && c < ts.m_nChannels && std::strstr(ts.m_pChannel[c].szName, word) != nullptr;
}

// The strain gauges of the main series: displacement channel, the run of "Strain"
// channels [s1, s2) in axial/circumferential pairs, and the pairs that can be read.
struct GaugeLayout {
  int d = -1, s1 = 0, s2 = 0;
  std::vector<int> pairs;
  bool Find(const KZ_TSdata& ts) {
    const int n = ts.m_nChannels;
    s1 = n;
    for (int c = 2; c < n; ++c)
      if (NameHas(ts, c, "Strain")) {
        s1 = c;
        break;
      }
    d = s1 - 1;
    s2 = s1 + 1;
    while (s2 < n && NameHas(ts, s2, "Strain")) ++s2;
    if (s2 > n) s2 = n;
    if (s1 >= s2) return false;
    for (int k = s1; k + 1 < s2 + 1 && k + 1 < n; k += 2)
      if (ts.m_pChannel[k].nEnabled && ts.m_pChannel[k].dScale != 0.0 &&
          ts.m_pChannel[k + 1].dScale != 0.0)
        pairs.push_back(k);
    return !pairs.empty();
  }
  // Mean axial and circumferential strain at a sample over the pairs whose readings are
  // within the gauge limit; the divisor is always the number of usable pairs. False when
  // no pair counts at the sample.
  bool Means(const KZ_TSdata& ts, int i, double* ea, double* ec) const {
    double sa = 0, sc = 0;
    int counted = 0;
    for (int k : pairs) {
      const double va = ts.Value(k, i, true), vc = ts.Value(k + 1, i, true);
      if (std::fabs(va) > kGaugeLimit || std::fabs(vc) > kGaugeLimit) continue;
      sa += va;
      sc += vc;
      ++counted;
    }
    if (!counted) return false;
    *ea = sa / static_cast<double>(pairs.size());
    *ec = sc / static_cast<double>(pairs.size());
    return true;
  }
};

void SetCol(KZ_MultiVarObj* t, int c, int n, double lo, double hi, const char* title,
            const char* unit, std::uint32_t axis) {
  t->m_Columns[c].SetAll(n, lo, hi, title, unit, axis);
}

// Columns 0-6 shared by both tables; `mean` gives the mean-strain table's axis roles.
void SetStrainColumns(KZ_MultiVarObj* t, int n, double T, bool mean) {
  SetCol(t, 0, n, 0, T, "Time", "s", 1);
  SetCol(t, 1, n, 0, 500, "A. Stress", "MPa", 2);
  SetCol(t, 2, n, 0, 100, "C. Press", "MPa", 2);
  SetCol(t, 3, n, 0, 2, "A. Displ.", "%", mean ? 2 : 0);
  SetCol(t, 4, n, -2, 2, "A. Strain", "%", mean ? 2 : 0);
  SetCol(t, 5, n, -2, 2, "C. Strain", "%", mean ? 2 : 0);
  SetCol(t, 6, n, -2, 2, "V. Strain", "%", mean ? 2 : 0);
}

std::string MeanStrainTitle(const CAEHypo& h) {
  char line[256];
  std::snprintf(line, sizeof line, "Mean strain. ID:%.80s, File:%.80s", h.m_strTitle.c_str(),
                KZ_GetFileName(h.m_strParFile, 0).c_str());
  return line;
}

const std::string* Chosen(long msg, long param) {
  return msg == SGN_DROPLIST_SELECTED && param
             ? reinterpret_cast<const std::string*>(static_cast<std::intptr_t>(param))
             : nullptr;
}

}  // namespace

void CGridFun::SetupMecSheet() {
  BeginSheet(kMec, 0, 40, 3, 0);
  const int widths[4] = {100, 120, 120, 100};
  for (int c = 0; c < 4; ++c) SetColumnWidth(c, widths[c]);
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  char buf[64];
  SetRowHeading(0, "Mechanism solution", 1, 0);
  SetParamRow(1, "minSta", " ", " ", "Minimum number of first motions");
  std::snprintf(buf, sizeof buf, "nP=%d", h.m_nMecMinFM);
  SetParamText(1, 1, buf);
  std::snprintf(buf, sizeof buf, "Acri=%.2f", h.m_fMecAcri);
  SetParamText(2, 1, buf);
  SetParamRow(2, "shear", " ", " ", "Minimum number of Up(push) and Down(pull) for a shear event");
  std::snprintf(buf, sizeof buf, "nU=%d", h.m_nMecMinUp);
  SetParamText(1, 2, buf);
  std::snprintf(buf, sizeof buf, "nD=%d", h.m_nMecMinDown);
  SetParamText(2, 2, buf);
  SetOptionRow(3, "Ddata", "0: S/N ration\n1: Amplitude\n", h.m_nMecData, "Amplitude data",
               nullptr);
  SetOptionRow(4, "PZT sens.", "0: 1\n1: cos(A)\n2: cos(A)^2\n", h.m_nMecSensCorr,
               "PZT sensitivity with incident angle", nullptr);
  SetOptionRow(5, "Do..", "0: Current event\n1: Selected events\n", 0,
               "Do mechanism solution for current or selected events", nullptr);
  if (KZ_TSdata* ts = doc->m_pTS.get()) {
    SetRow(11, "TS data", " ", " ", "Total/viewed number of data");
    std::snprintf(buf, sizeof buf, "Ntot=%d", ts->m_nSamples);
    SetTextCell(1, 11, buf);
    std::snprintf(buf, sizeof buf, "Nsel=%d", ts->m_nViewLast - ts->m_nViewFirst + 1);
    SetTextCell(2, 11, buf);
    SetParamRow(12, "Smoothing..", "nW=10", "-", "Smoothing with given window width");
    SetParamRow(13, "Resampling..", "dT_min=1000", "Sens=50", "Resample the data with given minimum interval and sensitivity");
    SetOptionRow(16, "Do..", "0: Mean Strain[type=1]\n", 0, "Show mean strain data", nullptr);
  }
  if (KZ_TSdata* add = doc->m_pAddTS[0].get()) {
    SetRow(21, "+TS data", " ", " ", "Total/viewed number of data");
    std::snprintf(buf, sizeof buf, "Ntot=%d", add->m_nSamples);
    SetTextCell(1, 21, buf);
    SetParamRow(22, "Smoothing..", "nW=10", "-", "Smoothing with given window width");
    SetParamRow(23, "Resampling..", "dT_min=1000", "Sens=50", "Resample the data with given minimum interval and sensitivity");
    SetOptionRow(26, "Do..", "0: Combined data[type=1]\n", 0, "Making combined data", nullptr);
  }
}

int CGridFun::DoMec(long, int, long row, long msg, long param) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return 1;
  CAEHypo& h = *doc->m_pHypo;
  if (const std::string* line = Chosen(msg, param)) {
    if (row == 3) h.m_nMecData = KZ_ParseLeadingInt(line->c_str());
    if (row == 4) h.m_nMecSensCorr = KZ_ParseLeadingInt(line->c_str());
    return 1;
  }
  if (msg != SGN_BUTTON_UP) return 1;
  KZ_TSdata* ts = doc->m_pTS.get();
  KZ_TSdata* add = doc->m_pAddTS[0].get();
  KZ_MultiVarObj* first = doc->m_pSheet[0].get();
  CMainFrame* frame = Frame();
  auto show = [&] {
    if (frame) frame->ShowDataSheet();
  };
  auto series = [&](long r) { return r >= 20 ? add : ts; };
  char buf[64];
  switch (row) {
    case 5:
      SolveMechanisms(GetInt(1, 5) == 0 ? h.m_Rec.nIndex : -1);
      return 1;
    case 12:
    case 22: {
      KZ_TSdata* s = series(row);
      if (!s) return 0;
      s->SmoothAEChannels(static_cast<int>(GetFloat(1, row, "=", 1)));
      doc->m_Host.UpdateAllViews(nullptr, HINT_NOW | HINT_TS, nullptr);
      return 1;
    }
    case 13:
    case 23: {
      KZ_TSdata* s = series(row);
      if (!s) return 0;
      const int step = static_cast<int>(GetFloat(1, row, "=", 1));
      const auto sens = static_cast<std::int16_t>(
          static_cast<std::uint16_t>(static_cast<int>(GetFloat(2, row, "=", 1))));
      s->ThinSamples(step, sens);
      doc->m_Host.UpdateAllViews(nullptr, HINT_NOW | HINT_TS, nullptr);
      std::snprintf(buf, sizeof buf, "Ntot=%d", s->m_nSamples);
      SetTextCell(1, row - 2, buf);
      if (row == 13) {
        std::snprintf(buf, sizeof buf, "Nsel=%d", s->m_nViewLast - s->m_nViewFirst + 1);
        SetTextCell(2, 11, buf);
      }
      RedrawRow(row - 2);
      return 1;
    }
    case 16:
      if (!ts) return 0;
      if (GetInt(1, 16) == 0) {
        doc->m_pCurSheet = first;
        if (MeanStrainSheet(first) >= 1) show();
      } else {
        show();
      }
      return 1;
    case 26:
      if (!ts || !add) return 0;
      if (GetInt(1, 26) == 0) {
        doc->m_pCurSheet = first;
        if (CombinedDataSheet(first) >= 1) show();
      } else {
        show();
      }
      return 1;
    default:
      return 1;
  }
}

int CGridFun::SolveMechanisms(int n) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return 0;
  CAEHypo& h = *doc->m_pHypo;
  plat::UiServices& ui = plat::Ui();
  ui.BeginWaitCursor();
  if (n >= 0) {
    h.FocalMechanism(n);
    h.PutAEH(n, true);
    doc->m_Host.UpdateAllViews(nullptr, HINT_SOURCE, nullptr);
    ui.EndWaitCursor();
    return 1;
  }
  double t0 = 0, t1 = 0;
  CatalogueWindow(*doc, &t0, &t1);
  const int records = h.GetNumAE();
  int start = -1, end = records;
  for (const auto& e : doc->m_EventList) {
    if (start < 0) {
      if (e->time >= t0) start = e->record;
    } else if (e->time > t1) {
      end = e->record;
      break;
    }
  }
  if (start < 0) start = 0, end = records;
  char text[160];
  for (int i = start; i < end; ++i) {
    const int r = h.FocalMechanism(i);
    const AEHRecord& rec = h.m_Rec;
    if (r > 0)
      std::snprintf(text, sizeof text, "AE#%d (%4.1f, %4.1f, %4.1f M%02d, Mech(%.0f %.0f %.0f))", i,
                    rec.fX, rec.fY, rec.fZ, rec.nArrivals, rec.fStrike, rec.fDip, rec.fRake);
    else
      std::snprintf(text, sizeof text, "AE#%d (%4.1f, %4.1f, %4.1f M%02d)", i, rec.fX, rec.fY,
                    rec.fZ, rec.nArrivals);
    ui.SetPaneText(0, text, true);
    h.PutAEH(i, true);
    if (ui.GetInputState() &&
        plat::AfxMessageBox("Are you sure? Press YES to cancel, NO to continue.", MB_YESNO) ==
            IDYES)
      break;
  }
  doc->BuildEventList(0, std::min(999999, records - 1), 1, 0);
  ui.EndWaitCursor();
  return 1;
}

int CGridFun::MeanStrainSheet(KZ_MultiVarObj* t) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pTS || !t) return 0;
  const CAEHypo& h = *doc->m_pHypo;
  const KZ_TSdata& ts = *doc->m_pTS;
  if (h.m_fSizeZ == 0.0f) return 0;
  const double f = 0.1 / h.m_fSizeZ;
  const double ws = aedoc::SeriesOffset(h, &ts) + doc->m_fTimeStart;
  const double wl = doc->m_fTimeSpan;
  int i0 = 0;
  while (i0 < ts.m_nSamples && ts.m_pTime[i0] / 1000.0 < ws) ++i0;
  int i1 = i0;
  while (i1 < ts.m_nSamples && ts.m_pTime[i1] / 1000.0 - ws <= wl) ++i1;
  GaugeLayout g;
  if (!g.Find(ts)) return 0;
  const int nc = ts.m_nChannels;
  auto aeChannel = [&](int c) {
    return c >= 0 && c < nc && NameHas(ts, c, "AE") && ts.m_pChannel[c].nEnabled ? c : -1;
  };
  const int a1 = aeChannel(std::min(g.s2, nc - 2));
  int a2 = aeChannel(std::min(a1 >= 0 ? a1 + 1 : 1, nc - 1));
  if (a2 == a1) a2 = -1;
  const int cols = 7 + (a1 >= 0) + (a2 >= 0);
  t->SetSize(cols, std::max(1, i1 - i0));
  t->m_nColumns = cols;
  const double d0 = i0 < ts.m_nSamples ? aedoc::ChannelValue(ts, g.d, i0) * f : 0.0;
  double ea0 = 0, ec0 = 0, ev0 = 0;
  int r = 0;
  for (int i = i0; i < i1; ++i) {
    double ea = 0, ec = 0;
    if (!g.Means(ts, i, &ea, &ec)) continue;
    const double ev = ea + 2.0 * ec;
    if (r == 0) ea0 = ea, ec0 = ec, ev0 = ev;
    double v[9] = {ts.m_pTime[i] / 1000.0 - ws,
                   aedoc::ChannelValue(ts, 0, i),
                   aedoc::ChannelValue(ts, 1, i),
                   f * aedoc::ChannelValue(ts, g.d, i) - d0,
                   (ea - ea0) * 0.0001,
                   (ec - ec0) * 0.0001,
                   (ev - ev0) * 0.0001,
                   0,
                   0};
    int c = 7;
    if (a1 >= 0) v[c++] = aedoc::ChannelValue(ts, a1, i);
    if (a2 >= 0) v[c++] = aedoc::ChannelValue(ts, a2, i);
    for (int k = 0; k < cols; ++k) t->m_ppData[k][r] = v[k];
    ++r;
  }
  SetStrainColumns(t, r, wl, true);
  int c = 7;
  if (a1 >= 0) SetCol(t, c++, r, 0, 20000, "AE#1", " ", 2);
  if (a2 >= 0) SetCol(t, c++, r, 0, 20000, "AE#2", " ", 2);
  t->m_nRows = r;
  t->m_strHeader[0] = MeanStrainTitle(h);
  t->m_nHeaders = 1;
  return r;
}

int CGridFun::CombinedDataSheet(KZ_MultiVarObj* t) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pTS || !t) return 0;
  if (!doc->m_pAddTS[0]) return 1;
  const CAEHypo& h = *doc->m_pHypo;
  const KZ_TSdata& M = *doc->m_pTS;
  const KZ_TSdata& S = *doc->m_pAddTS[0];
  if (h.m_fSizeZ == 0.0f) return 0;
  const double f = 0.1 / h.m_fSizeZ;
  const double ws = aedoc::SeriesOffset(h, &M) + doc->m_fTimeStart;
  const double wl = doc->m_fTimeSpan;
  const double off = static_cast<double>(M.m_tStart - S.m_tStart);
  GaugeLayout g;
  if (!g.Find(M)) return 0;
  const int cols = S.m_nChannels + 7;
  t->SetSize(cols, std::max(1, S.m_nSamples));
  t->m_nColumns = cols;
  double ea0 = 0, ec0 = 0, ev0 = 0, d0 = 0;
  int r = 0;
  for (int j = 0; j < S.m_nSamples; ++j) {
    const double tm = S.m_pTime[j] / 1000.0 - off;
    if (tm - ws < 0.0 || tm - ws > wl) continue;
    int i = 0;
    M.ValueAtTime(tm * 1000.0, 0, &i);
    if (i >= M.m_nSamples) i = 0;
    double ea = 0, ec = 0;
    if (!g.Means(M, i, &ea, &ec)) continue;
    const double ev = ea + 2.0 * ec;
    const double disp = f * aedoc::ChannelValue(M, g.d, i);
    if (r == 0) ea0 = ea, ec0 = ec, ev0 = ev, d0 = disp;
    const double v[7] = {tm - ws,
                         aedoc::ChannelValue(M, 0, i),
                         aedoc::ChannelValue(M, 1, i),
                         disp - d0,
                         (ea - ea0) * 0.0001,
                         (ec - ec0) * 0.0001,
                         (ev - ev0) * 0.0001};
    for (int k = 0; k < 7; ++k) t->m_ppData[k][r] = v[k];
    for (int c = 0; c < S.m_nChannels; ++c) t->m_ppData[7 + c][r] = S.Value(c, j, false);
    ++r;
  }
  SetStrainColumns(t, r, wl, false);
  for (int c = 0; c < S.m_nChannels; ++c) {
    const KZ_TSchannel& ch = S.m_pChannel[c];
    SetCol(t, 7 + c, r, ch.fPlotMin, ch.fPlotMax, ch.szName, ch.szUnit, 2);
    if (S.m_nSamples < 100) t->m_Columns[7 + c].m_nPlotStyle = 3;
  }
  t->m_nRows = r;
  t->m_strHeader[0] = MeanStrainTitle(h);
  const std::tm& ref = h.m_tmRef;
  const double jd = KZ_JulianDay(ref.tm_year + 1900, ref.tm_mon + 1, ref.tm_mday, ref.tm_hour,
                                 ref.tm_min, static_cast<float>(ref.tm_sec + h.m_fRefFrac), 0.0f) +
                    doc->m_fTimeStart / 86400.0;
  std::string when;
  t->m_strHeader[1] = "START_TIME: " + KZ_JulianDayString(when, jd, 0.0f);
  t->m_nHeaders = 1;
  return r;
}
