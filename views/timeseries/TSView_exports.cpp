// Series commands and exports of the "TS" page: loading the main and additional series,
// and the text tables of the window for the sibling plotting program.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/util/KZ_FileUtil.h"
#include "platform/Runtime.h"
#include "platform/Shell.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/timeseries/TSView.h"

namespace {

// A save dialog of the page; the default extension is the filter's, so that a name typed
// without one gets the extension the load dialogs list.
std::optional<std::string> AskSave(const char* ext, const char* filter) {
  plat::FileDialogOptions o;
  o.open = false;
  o.defExt = ext;
  o.fileName = std::string("*.") + ext;
  o.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  o.filter = filter;
  return plat::Ui().FileDialog(o);
}

std::optional<std::string> AskKurvo() { return AskSave("kv0", "(*.kv0)|*.kv0||"); }

bool HasSamples(const KZ_TSdata* ts) { return ts && ts->m_nSamples > 0; }

// The rate and event tables are counted over the main series' time: without one the
// command says so instead of doing nothing.
bool MainSeriesOrSay(const KZ_TSdata* ts) {
  if (HasSamples(ts)) return true;
  plat::AfxMessageBox("No main time series with samples: load it with \"Load SS data\" first.",
                      MB_OK | MB_ICONEXCLAMATION);
  return false;
}

// A table the user named but that could not be written.
void SayNotWritten(const std::string& path) {
  plat::AfxMessageBox(plat::Format("Cannot write %s", path.c_str()), MB_OK | MB_ICONEXCLAMATION);
}

std::tm LocalOf(std::int64_t t) {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  return tm;
}

std::string CalendarText(std::int64_t t) {
  const std::tm tm = LocalOf(t);
  return plat::Format("%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour, tm.tm_min, tm.tm_sec);
}

bool NameHas(const KZ_TSchannel& ch, const char* part) {
  return std::string(ch.szName, strnlen(ch.szName, sizeof ch.szName)).find(part) !=
         std::string::npos;
}

}  // namespace

void CTSView::OnLoadSS() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  plat::FileDialogOptions o;
  o.open = true;
  o.defExt = "dat";
  o.fileName = "*.dat;*.kv0;*.kvb";
  o.filter = "*.dat;*.kv0;*.kvb|*.dat;*.kv0;*.kvb||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  plat::CWaitCursor wait;
  plat::Ui().SetPaneText(0, "Loading SS data....", true);
  const bool had = doc->m_pTS != nullptr;
  if (!doc->LoadTS(*path)) {
    // The series before stays; a series made only for this load is dropped again.
    if (!had) doc->m_pTS.reset();
    plat::Ui().SetPaneText(0, plat::Format("%s: not loaded", path->c_str()), true);
    return;
  }
  plat::Ui().SetPaneText(0, plat::Format("%d data loaded!", doc->m_pTS->m_nSamples), true);
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnAddTS() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  plat::FileDialogOptions o;
  o.open = true;
  o.defExt = "kv0";
  o.fileName = "*.kv0";
  o.filter = "*.kv0|*.kv0||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  plat::Ui().SetPaneText(0, "Loading TS data....", true);
  int slot = 0;
  while (slot < 4 && doc->m_pAddTS[static_cast<std::size_t>(slot)]) ++slot;
  if (slot == 4) slot = 0;
  const bool had = doc->m_pAddTS[static_cast<std::size_t>(slot)] != nullptr;
  if (!doc->LoadAddTS(*path, slot) && !had) doc->m_pAddTS[static_cast<std::size_t>(slot)].reset();
  doc->m_Host.UpdateAllViews(nullptr, HINT_TS);
}

void CTSView::OnClearTS() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  doc->ClearAddTS();
  doc->m_Host.UpdateAllViews(nullptr, HINT_TS);
}

void CTSView::OnSaveKurvo() {
  CTremviaDoc* doc = GetData();
  if (!doc || !(doc->m_pStress || HasSamples(doc->m_pTS.get()))) return;
  if (const auto path = AskKurvo()) doc->SaveSS(*path);
}

void CTSView::OnSaveRates(int perSecond) {
  CTremviaDoc* doc = GetData();
  if (!doc || !MainSeriesOrSay(doc->m_pTS.get())) return;
  if (const auto path = AskKurvo())
    if (!doc->SaveAERates(*path, perSecond)) SayNotWritten(*path);
}

void CTSView::OnSaveEQT() {
  CTremviaDoc* doc = GetData();
  if (!doc || !MainSeriesOrSay(doc->m_pTS.get())) return;
  if (const auto path = AskKurvo())
    if (!doc->SaveAEList(*path, 100.0f)) SayNotWritten(*path);
}

void CTSView::OnSaveB() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  const auto path = AskKurvo();
  if (!path) return;
  plat::CWaitCursor wait;
  doc->SaveBValueTL(*path, m_nB, m_fMmax, m_fQ, m_bShear != 0, m_fFaultDip);
}

void CTSView::OnSaveD() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  const auto path = AskKurvo();
  if (!path) return;
  plat::CWaitCursor wait;
  doc->SaveBValueD(*path, m_nD2, m_fMmax, m_fQ, m_fCLProb);
}

void CTSView::OnSaveRatesAuto() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || !MainSeriesOrSay(doc->m_pTS.get())) return;
  const std::string par = doc->m_pHypo->m_strParFile;
  const std::string folder = KZ_GetFolder(par);
  std::string name = KZ_GetFileName(par, 0);
  // The name without its extension; a name too short to have one is kept whole.
  if (name.size() >= 4) name.resize(name.size() - 4);
  // No dialog names these files, so the command says where they went.
  const std::string rates = folder + name + ".kv0";
  if (!doc->SaveAERates(rates, 1)) {
    SayNotWritten(rates);
    return;
  }
  std::string said = plat::Format("AE rates saved to %s", rates.c_str());
  if (!doc->m_EventList.empty()) {
    const std::string loc = folder + name + "_loc.kv0";
    doc->ExportCatalogue(loc, doc->m_pHypo->m_nMinArrivals,
                         static_cast<int>(std::floor(doc->m_pHypo->m_fHypoScale * 5e-5)), 0.0002f);
    said += plat::Format("\nLocations saved to %s", loc.c_str());
  }
  plat::AfxMessageBox(said, MB_OK | MB_ICONINFORMATION);
}

void CTSView::OnSaveAvgKurvo() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pTS) return;
  const KZ_TSdata& ts = *doc->m_pTS;
  if (!ts.m_pChannel || !ts.m_ppData || !ts.m_pTime) return;
  const int nCh = ts.m_nChannels;
  int s = 2;
  while (s < nCh && !NameHas(ts.m_pChannel[s], "Strain")) ++s;
  int e = s;
  while (e < nCh && NameHas(ts.m_pChannel[e], "Strain")) ++e;
  std::vector<int> pairs;
  for (int a = s; a < e; a += 2)
    if (ts.m_pChannel[a].nPlot) pairs.push_back(a);
  const int P = static_cast<int>(pairs.size());
  if (P == 0) return;
  const auto path = AskSave("kv0", "(*.kv0)|*.kv0||");
  if (!path) return;
  std::FILE* f = std::fopen(path->c_str(), "w");
  if (!f) return;
  const std::int64_t start = ExperimentStart();
  const double ws = doc->m_fTimeStart, len = doc->m_fTimeSpan;
  const double ta = static_cast<double>(start - ts.m_tStart) + ws + m_fTSOffset;
  auto tOf = [&](int j) { return static_cast<float>(ts.m_pTime[j] * 0.001); };
  int j0 = 0;
  while (j0 < ts.m_nSamples && tOf(j0) < ta) ++j0;
  int j1 = j0;
  while (j1 < ts.m_nSamples && tOf(j1) < ta + len) ++j1;
  auto raw = [&](int c, int j) {
    return c < nCh ? ts.m_ppData[c][j] * ts.m_pChannel[c].dScale : 0.0;
  };
  auto avg = [&](int j, int offset) {
    double sum = 0;
    for (int a : pairs) sum += raw(a + offset, j);
    return sum / P;
  };
  const double A0 = m_bZeroOffset && j0 < j1 ? avg(j0, 0) : 0.0;
  const double C0 = m_bZeroOffset && j0 < j1 ? avg(j0, 1) : 0.0;
  const std::string title = doc->m_pHypo ? doc->m_pHypo->m_strTitle : std::string();
  const std::tm tm = LocalOf(start + static_cast<std::int64_t>(std::floor(ws)));
  std::fprintf(f, "KVDATA02 Stress-Strain data for %s\n", title.c_str());
  std::fprintf(f, "START_TIME: %04d/%02d/%02d %02d:%02d:%2d\n", tm.tm_year + 1900, tm.tm_mon + 1,
               tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::fprintf(f, "SAMPLES %d\n", j1 - j0);
  std::fprintf(f, "Time,sec\tA.Stress,MPa\tA.Strain,u\tC.Strain,u\tV.Strain,u\tAEnum,#\n");
  std::fprintf(f, "1\t1\t1\t1\t1\t1\n");
  const CAEPeak* pk = doc->GetPeak(0);
  int p = 0, N = 0;
  for (int j = j0; j < j1; ++j) {
    const double A = avg(j, 0) - A0, C = avg(j, 1) - C0;
    const double tj = tOf(j);
    while (pk && p < pk->m_nCount && pk->GetTime(p) - ws <= tj - ta) {
      if (pk->m_pFlag[static_cast<std::size_t>(p)] != 0) ++N;
      ++p;
    }
    std::fprintf(f, "%10.3lf %6.1f %6.0f %6.0f %6.0f %6d\n", tj,
                 static_cast<double>(ts.Value(0, j, true)), A, C, A + 2 * C, N);
  }
  std::fclose(f);
}

void CTSView::OnMN() {
  CTremviaDoc* doc = GetData();
  const CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  const double ws = doc->m_fTimeStart, we = ws + doc->m_fTimeSpan;
  int N[CAEPeak::kLevelSlots] = {};
  double logN = 0, bML = 0, relErr = 0;
  {
    plat::CWaitCursor wait;
    pk->WindowStatistics(ws, we, N, &logN, &bML, &relErr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, 0.0, nullptr, nullptr);
  }
  const auto path = AskSave("mfr", "(*.mfr)|*.mfr|");
  if (!path) return;
  std::FILE* f = std::fopen(path->c_str(), "w");
  if (!f) return;
  const std::int64_t start = ExperimentStart();
  const std::string period = CalendarText(start + static_cast<std::int64_t>(std::floor(ws))) +
                             "-->" +
                             CalendarText(start + static_cast<std::int64_t>(std::floor(we)));
  std::fprintf(f, "m, (Relative)@Log(N(m))@%s b(ML)=%3.1f\n", period.c_str(), bML);
  std::fprintf(f, "%d  %d  %d\n", 12, 1, 1);
  for (int k = 0; k < 12; ++k)
    std::fprintf(f, "%4.2f %4.2f\n", 0.25 * k, N[k] < 1 ? 0.0 : std::log10(N[k]));
  std::fprintf(f, "[OPTION]\n1\n0 3\n0 5\n0,2\n");
  std::fclose(f);
}

void CTSView::OnMNAuto() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  const auto path = AskSave("kvp", "(*.kvp)|*.kvp|");
  if (!path) return;
  std::FILE* f = std::fopen(path->c_str(), "w");
  if (!f) return;
  std::fprintf(f, "KVDATA01 m-N relation of %s\n",
               doc->m_pHypo ? doc->m_pHypo->m_strTitle.c_str() : "");
  const long at = std::ftell(f);
  std::fprintf(f, "SAMPLES 000000\n");
  std::fprintf(f, "Time(sec)    b-Value ");
  for (int k = 0; k < 12; ++k) std::fprintf(f, " m=%4.2f", 0.25 * k);
  std::fprintf(f, "\n");
  std::fseek(f, at, SEEK_SET);
  std::fprintf(f, "SAMPLES %06d\n", 0);
  std::fclose(f);
}

void CTSView::OnFractalTime() {
  CTremviaDoc* doc = GetData();
  const CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  const double ws = doc->m_fTimeStart, we = ws + doc->m_fTimeSpan;
  double x[28] = {}, y[28] = {};
  int n = 28;
  {
    plat::CWaitCursor wait;
    pk->IntervalHistogram(ws, we, x, y, &n);
  }
  n = std::clamp(n, 0, 26);
  const auto path = AskSave("mfr", "(*.mfr)|*.mfr|");
  if (!path) return;
  std::FILE* f = std::fopen(path->c_str(), "w");
  if (!f) return;
  const std::int64_t start = ExperimentStart();
  const std::string period = CalendarText(start + static_cast<std::int64_t>(std::floor(ws))) +
                             "-->" +
                             CalendarText(start + static_cast<std::int64_t>(std::floor(we)));
  std::fprintf(f, "Time interval(msec), log@Log(CR)@%s\n", period.c_str());
  std::fprintf(f, "%d  %d  %d\n", n, 1, 1);
  for (int k = 0; k < n; ++k) std::fprintf(f, "%4.2f %4.2f\n", x[k], y[k]);
  std::fprintf(f, "[OPTION]\n1\n-1 3\n-3 0\n-1,1\n");
  std::fclose(f);
}

void CTSView::OnSelfExciting() {
  CTremviaDoc* doc = GetData();
  const CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  const auto path = AskSave("kv0", "(*.kv0)|*.kv0|");
  if (!path) return;
  {
    plat::CWaitCursor wait;
    std::FILE* f = std::fopen(path->c_str(), "w");
    if (!f) return;
    const double ws = doc->m_fTimeStart, we = ws + doc->m_fTimeSpan;
    std::fprintf(f, "KVDATA01 PEAK data of %s %13.6f %13.6f\n",
                 doc->m_pHypo ? doc->m_pHypo->m_strTitle.c_str() : "", ws, we);
    std::fprintf(f, "SAMPLES %d\n", pk->m_nCount);
    std::fprintf(f, "Time(msec)    mag\n");
    for (int i = 0; i < pk->m_nCount; ++i) {
      if (pk->m_pFlag[static_cast<std::size_t>(i)] == 0) continue;
      const double t = pk->GetTime(i);
      if (t < ws) continue;
      if (t > we) break;
      std::fprintf(f, "%013.6f %3.1f\n", t * 1000,
                   0.25 * pk->m_pLevel[static_cast<std::size_t>(i)]);
    }
    std::fclose(f);
  }
  std::string folder = plat::ProgramFolder();
  if (!folder.empty()) folder += "/";
  const std::string program =
      plat::FindSiblingProgram("TKurvo.exe").value_or(folder + "TKurvo.exe");
  if (!plat::GetShell().ShellExecute("open", program, *path, plat::SW_SHOW))
    plat::Ui().SetPaneText(0, "Can not start " + program, true);
}
