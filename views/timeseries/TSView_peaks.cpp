// Peak-list commands of the "TS" page: loading, saving, cleaning, marking and re-timing
// the first peak list, and loading the waveform of the event last pointed at.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/timeseries/TSDialogs.h"
#include "views/timeseries/TSView.h"

namespace {

// Moves entries from..count-1 to the front.
void DropLeading(CAEPeak& pk, int from) {
  if (from <= 0) return;
  if (from >= pk.m_nCount) {
    pk.m_nCount = 0;
    return;
  }
  const int n = pk.m_nCount - from;
  std::copy_n(pk.m_pSec.begin() + from, n, pk.m_pSec.begin());
  std::copy_n(pk.m_pUSec.begin() + from, n, pk.m_pUSec.begin());
  std::copy_n(pk.m_pLevel.begin() + from, n, pk.m_pLevel.begin());
  std::copy_n(pk.m_pFlag.begin() + from, n, pk.m_pFlag.begin());
  pk.m_nCount = n;
}

bool NameHasAE(const KZ_TSchannel& ch) {
  return std::string(ch.szName, strnlen(ch.szName, sizeof ch.szName)).find("AE") !=
         std::string::npos;
}

}  // namespace

void CTSView::OnLoadPeak() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  plat::FileDialogOptions o;
  o.open = true;
  o.title = "Open Peak file";
  o.filter = "Peak data file(pk*;kv0)|*.pk*;*.kv0||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  // A file that is not a peak list leaves the list and the window as they were.
  if (!pk->Load(*path, 0)) {
    plat::AfxMessageBox(plat::Format("Can not read the peak file %s!", path->c_str()),
                        MB_ICONEXCLAMATION);
    return;
  }
  doc->m_fTimeStart = 0;
  doc->m_fTimeSpan = 3600;
  if (pk->m_nCount > 0 && pk->GetTime(pk->m_nCount - 1) - pk->GetTime(0) < 1.0) OnPeakTime();
  pk->MovingWindowStatistics(m_nB, m_nB / 4);
  doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnSavePeak() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  plat::FileDialogOptions o;
  o.open = false;
  o.defExt = "pkf";
  o.fileName = "*.pkf;*.kv0";
  o.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  o.filter = "(*.pkf;*.kv0)|*.pkf;*.kv0||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  pk->Save(*path, doc->m_fTimeStart, doc->m_fTimeStart + doc->m_fTimeSpan);
}

void CTSView::OnPeakTime() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk || pk->m_nCount < 1 || !doc->m_pTS) return;
  const KZ_TSdata& ts = *doc->m_pTS;
  CDlgSetPeakTime dlg;
  dlg.m_nCounter = static_cast<unsigned>(m_nAECounter);
  if (dlg.DoModal(this) != IDOK) return;
  m_nAECounter = static_cast<int>(dlg.m_nCounter);
  if (dlg.m_nFirstPeak > 1) DropLeading(*pk, static_cast<int>(dlg.m_nFirstPeak) - 1);
  const double base = static_cast<double>(ExperimentStart() - ts.m_tStart);
  const int nCh = ts.m_nChannels;
  if (!ts.m_pChannel || !ts.m_ppData || !ts.m_pTime || nCh < 1) return;
  const bool a = nCh >= 2 && NameHasAE(ts.m_pChannel[nCh - 2]);
  const bool b = NameHasAE(ts.m_pChannel[nCh - 1]);
  int counter;
  if (b && (dlg.m_nCounter == 2 || !a))
    counter = nCh - 1;
  else if (a)
    counter = nCh - 2;
  else
    return;
  // The counter in the series' own units, whole counts: a reader may store raw values in
  // finer steps (the KV text reader keeps ten-thousandths), and every count is one peak.
  const std::int32_t* raw = ts.m_ppData[counter];
  const double scale = ts.m_pChannel[counter].dScale;
  const bool scaled = std::fabs(scale) >= 1e-20;
  std::vector<long long> c(static_cast<std::size_t>(std::max(ts.m_nSamples, 0)));
  for (std::size_t j = 0; j < c.size(); ++j)
    c[j] = scaled ? std::llround(raw[j] * scale) : raw[j];
  const double* t = ts.m_pTime;
  int k = 0;
  const long long firstCounter = dlg.m_nFirstCounter;
  for (int j = 0; j <= ts.m_nSamples - 2 && k < pk->m_nCount;) {
    if (c[j] < firstCounter) {
      ++j;
      continue;
    }
    int m = j + 1;
    while (m < ts.m_nSamples && c[m] <= c[j]) ++m;
    if (m >= ts.m_nSamples) break;
    const long long d = c[m] - c[j];
    const double step = (t[m] - t[j]) / static_cast<double>(d + 1);
    for (long long r = 0; r < d && k < pk->m_nCount; ++r, ++k) {
      const double tau = (t[j] + static_cast<double>(r) * step) * 0.001 - base;
      const double sec = std::trunc(tau);
      pk->m_pSec[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(sec);
      pk->m_pUSec[static_cast<std::size_t>(k)] = static_cast<std::int32_t>((tau - sec) * 1e6);
    }
    j = m;
  }
  // Peaks past the counter's last step take the time of the peak before them; with no
  // peak timed at all there is no time to hand on, and the times stay as they were.
  if (k > 0)
    for (int i = k; i < pk->m_nCount; ++i) {
      pk->m_pSec[static_cast<std::size_t>(i)] = pk->m_pSec[static_cast<std::size_t>(i - 1)];
      pk->m_pUSec[static_cast<std::size_t>(i)] = pk->m_pUSec[static_cast<std::size_t>(i - 1)];
    }
  pk->MovingWindowStatistics(m_nB, m_nB / 4);
  doc->m_Host.UpdateAllViews(nullptr, HINT_TS);
}

void CTSView::OnRemoveM0() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  int kept = 0;
  for (int i = 0; i < pk->m_nCount; ++i) {
    const auto s = static_cast<std::size_t>(i);
    if (pk->m_pLevel[s] == 0) continue;
    const auto d = static_cast<std::size_t>(kept++);
    pk->m_pSec[d] = pk->m_pSec[s];
    pk->m_pUSec[d] = pk->m_pUSec[s];
    pk->m_pLevel[d] = pk->m_pLevel[s];
    pk->m_pFlag[d] = pk->m_pFlag[s];
  }
  pk->m_nCount = kept;
}

void CTSView::OnMarkNoise() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  int i = 0;
  while (i < pk->m_nCount && pk->GetTime(i) < m_fSelStart) ++i;
  for (; i < pk->m_nCount && !(pk->GetTime(i) > m_fSelEnd); ++i)
    if (pk->m_pLevel[static_cast<std::size_t>(i)] >= m_nPeakD)
      pk->m_pFlag[static_cast<std::size_t>(i)] = 0;
  doc->m_Host.UpdateAllViews(nullptr, HINT_TS);
}

void CTSView::OnRemovePlotted() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  const double ws = doc->m_fTimeStart, we = ws + doc->m_fTimeSpan;
  int i = 0;
  while (i < pk->m_nCount && pk->GetTime(i) < ws) ++i;
  int i1 = i;
  while (i1 < pk->m_nCount && !(pk->GetTime(i1) > we)) ++i1;
  while (i < i1) {
    if (pk->m_pFlag[static_cast<std::size_t>(i)] == 0) {
      pk->RemoveRange(i, i);
      --i1;
    } else {
      ++i;
    }
  }
  doc->m_Host.UpdateAllViews(nullptr, HINT_TS);
}

void CTSView::OnRemoveHead() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  const int n = pk->RemoveLeadingUnordered();
  plat::AfxMessageBox(plat::Format("The first %d events were removed!!", n));
  if (n > 0) doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnRemoveTail() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  const int n = pk->TruncateUnordered();
  plat::AfxMessageBox(plat::Format("The last %d events were removed!!", n));
  if (n > 0) doc->m_Host.UpdateAllViews(nullptr, 120);
}

void CTSView::OnCorrectPeak() {
  CTremviaDoc* doc = GetData();
  CAEPeak* pk = doc ? doc->GetPeak(0) : nullptr;
  if (!pk) return;
  int i = pk->FindUnordered(0);
  while (i >= 1) {
    plat::AfxMessageBox(plat::Format("The index of disordered event: %d", i));
    i = pk->FindUnordered(i + 1);
  }
  CDlgCorrectPK dlg;
  dlg.m_nIndex = static_cast<unsigned>(i);
  if (dlg.DoModal(this) != IDOK) return;
  const int T1 = (dlg.m_nHour1 * 60 + dlg.m_nMinute1) * 60 + dlg.m_nSecond1;
  const int T2 = (dlg.m_nHour2 * 60 + dlg.m_nMinute2) * 60 + dlg.m_nSecond2;
  const int index = static_cast<int>(std::min<unsigned>(dlg.m_nIndex, 0x7FFFFFFF));
  if (dlg.m_nBase == 2)
    pk->ShiftTime(index - 1, T1 - T2, 0, 1);
  else
    pk->ShiftTime(index, T2 - T1, 0, 0);
}

void CTSView::OnLoadWaveform() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  if (!doc->m_pWave) doc->m_pWave = std::make_unique<CAEWave>();
  if (doc->m_pWave->OpenEvent(m_nCurAE)) return;
  plat::FileDialogOptions o;
  o.open = true;
  o.defExt = "wav";
  o.fileName = "*.wav";
  o.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  o.filter = "(*.wav)|*.wav|";
  const auto path = plat::Ui().FileDialog(o);
  if (path) doc->m_pWave->Load(*path);
}
