// The "Wave" page's event commands: pick, locate, store, lock and marks, stepping and
// searching through the event files, auto-loading by timer, and band-pass filtering.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <typeinfo>

#include "aecore/document/TremviaDoc.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/wave/WaveView.h"

namespace {

bool HaveWave(const CTremviaDoc* doc) {
  return doc && doc->m_pWave && doc->m_pWave->m_pHeader && doc->m_pHypo;
}

bool HaveFileSet(const CTremviaDoc* doc) {
  return doc && doc->m_pWave && !doc->m_pWave->m_strPath.empty();
}

bool HaveSensors(const CTremviaDoc* doc) {
  return doc && doc->m_pHypo && doc->m_pHypo->m_nSensors > 0;
}

}  // namespace

void CWaveView::MapEventCommands() {
  MapCommand(ID_WAVE_PICK, [this] { OnPickup(); });
  MapCommand(ID_WAVE_LOCATE, [this] { OnLocate(); });
  MapUpdate(ID_WAVE_LOCATE, [this](plat::CCmdUI* ui) { ui->Enable(HaveSensors(GetData())); });
  MapCommand(ID_WAVE_SAVELOC, [this] { OnSaveLocation(); });
  MapCommand(ID_WAVE_LOCK, [this] { OnLock(); });
  MapUpdate(ID_WAVE_LOCK, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(HaveSensors(doc));
    ui->SetCheck(doc && doc->m_pHypo && (doc->m_pHypo->m_Rec.nFlags & AEH_FLAG_LOCKED));
  });
  MapCommand(ID_WAVE_NOISE, [this] { OnMarkNoise(); });
  MapUpdate(ID_WAVE_NOISE, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(doc && doc->m_pWave && doc->m_pWave->m_pHeader);
    ui->SetCheck(doc && doc->m_pHypo && doc->m_pHypo->m_Rec.nArrivals < 0);
  });
  MapCommand(ID_WAVE_EM, [this] { OnEMMark(); });
  MapUpdate(ID_WAVE_EM, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(HaveSensors(doc));
    ui->SetCheck(doc && doc->m_pHypo && (doc->m_pHypo->m_Rec.nFlags & AEH_FLAG_EM));
  });
  const auto fileSet = [this](plat::CCmdUI* ui) { ui->Enable(HaveFileSet(GetData())); };
  MapCommand(ID_FILE_LOADNEXT, [this] { OnLoadNext(); });
  MapUpdate(ID_FILE_LOADNEXT, fileSet);
  MapCommand(ID_WAVE_LOADPREV, [this] { OnLoadPrevious(); });
  MapUpdate(ID_WAVE_LOADPREV, fileSet);
  MapCommand(ID_WAVE_OPENNO, [this] { OnOpenByNumber(); });
  MapUpdate(ID_WAVE_OPENNO, fileSet);
  MapCommand(ID_WAVE_NEXTMASKED, [this] { OnNextMasked(); });
  MapUpdate(ID_WAVE_NEXTMASKED, fileSet);
  MapCommand(ID_WAVE_FINDSETUP, [this] { OnFindSetup(); });
  MapCommand(ID_WAVE_FINDNEXT, [this] { OnFindNext(); });
  MapUpdate(ID_WAVE_FINDNEXT,
            [this](plat::CCmdUI* ui) { ui->Enable(m_dlgFind.m_nTrace1 != 9999); });
  MapCommand(ID_WAVE_NEXTVEL, [this] { OnNextVelocityShot(); });
  MapCommand(ID_FILE_AUTOLOAD, [this] { OnAutoLoad(); });
  MapUpdate(ID_FILE_AUTOLOAD, [this](plat::CCmdUI* ui) {
    ui->Enable(HaveFileSet(GetData()));
    ui->SetCheck(m_nTimer != 0);
  });
  const auto toggle = [this](UINT id, int* flag) {
    MapCommand(id, [flag] { *flag = !*flag; });
    MapUpdate(id, [this, flag](plat::CCmdUI* ui) {
      ui->Enable(HaveSensors(GetData()));
      ui->SetCheck(*flag != 0);
    });
  };
  toggle(ID_WAVE_LOCATEONLOAD, &m_bLocateOnLoad);
  toggle(ID_WAVE_RESAVE, &m_bResave);
  toggle(ID_WAVE_STORE, &m_bStore);
  const auto speed = [this](UINT id, int ms) {
    MapCommand(id, [this, ms] { m_nPlayInterval = ms; });
    MapUpdate(id, [this, ms](plat::CCmdUI* ui) {
      ui->Enable(HaveFileSet(GetData()));
      ui->SetCheck(m_nPlayInterval == ms);
    });
  };
  speed(ID_WAVE_FAST, 100);
  speed(ID_WAVE_NORMAL, 1000);
  speed(ID_WAVE_SLOW, 2000);
  MapCommand(ID_FILE_SAVE, [this] { OnSaveWave(); });
  MapUpdate(ID_FILE_SAVE, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    // Only numbered event files are written back under their own path.
    ui->Enable(doc && doc->m_pWave && typeid(*doc->m_pWave) == typeid(CAEWave));
  });
  MapCommand(ID_FILE_OPENPAR, [this] { OnOpenPar(); });
  MapCommand(ID_FILE_EXPORTWAVE, [this] { OnExportWave(); });
  MapCommand(ID_OPT_BANDPASS, [this] { OnBandPass(); });
  MapUpdate(ID_OPT_BANDPASS, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bBandPass != 0); });
  MapCommand(ID_OPT_CREATEFILTER, [this] { OnCreateFilter(); });
}

bool CWaveView::RefuseLocked(const CTremviaDoc& doc) {
  if (!(doc.m_pHypo->m_Rec.nFlags & AEH_FLAG_LOCKED)) return false;
  plat::AfxMessageBox("Locked event!");
  return true;
}

void CWaveView::ShowCurrentEvent(CTremviaDoc& doc) {
  if (doc.m_pHypo->m_Rec.nIndex != doc.m_pWave->m_nEvent) doc.ReadRecordOfEvent();
  doc.m_Host.SetTitle(doc.m_pWave->m_strPath);
  doc.m_Host.UpdateAllViews(nullptr, 31, nullptr);
  UpdateWindow();
}

void CWaveView::StoreRecord(CTremviaDoc& doc) {
  if (!doc.TakeRecordOfEvent("; nothing stored")) {
    plat::MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  if (RefuseLocked(doc)) return;
  if (doc.m_pHypo->PutAEH(doc.m_pWave->m_nEvent, true))
    plat::MessageBeep(0);
  else
    plat::AfxMessageBox("Can not save data to AED file!");
}

void CWaveView::OnPickup() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  doc->TakeRecordOfEvent("");
  if (RefuseLocked(*doc)) return;
  doc->ProcessCurrentEvent(1, m_bStore != 0, 0, 0, 0, 0);
}

void CWaveView::OnLocate() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  doc->TakeRecordOfEvent("");
  if (RefuseLocked(*doc)) return;
  doc->ProcessCurrentEvent(2, false, 0, 0, 0, 0);
  if (m_bStore) StoreRecord(*doc);
}

void CWaveView::OnSaveLocation() {
  CTremviaDoc* doc = GetData();
  if (HaveWave(doc)) StoreRecord(*doc);
}

void CWaveView::OnLock() {
  CTremviaDoc* doc = GetData();
  if (!HaveSensors(doc)) return;
  // The page locks the event it shows.
  if (HaveWave(doc)) doc->TakeRecordOfEvent("");
  AEHRecord& rec = doc->m_pHypo->m_Rec;
  rec.nFlags ^= AEH_FLAG_LOCKED;
  if (!doc->m_pHypo->PutAEH(rec.nIndex, false))
    plat::AfxMessageBox("Can not save data to AED file!");
}

void CWaveView::OnEMMark() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  doc->TakeRecordOfEvent("");
  doc->m_pHypo->m_Rec.nFlags ^= AEH_FLAG_EM;
  StoreRecord(*doc);
}

void CWaveView::OnMarkNoise() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  doc->TakeRecordOfEvent("");
  AEWHeader& header = *doc->m_pWave->m_pHeader;
  header.nStatus = header.nStatus == -1 ? 0 : -1;
  const bool marked = header.nStatus == -1;
  doc->m_pHypo->m_Rec.nArrivals = marked ? -1 : 0;
  if (!doc->m_pHypo->PutAEH(doc->m_pWave->m_nEvent, true))
    plat::AfxMessageBox("Can not save data to AED file!");
  if (marked) OnCmdMsg(ID_FILE_LOADNEXT, nullptr);
}

void CWaveView::OnLoadNext() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  if (doc->StepEvent(1) && m_bBandPass == 1) FilterWave();
}

void CWaveView::OnLoadPrevious() {
  if (CTremviaDoc* doc = GetData()) doc->StepEvent(-1);
}

bool CWaveView::OpenEventWithRecord(CTremviaDoc& doc, int n, LONG hint) {
  CAEWave& wave = *doc.m_pWave;
  if (!wave.OpenEvent(n)) return false;
  CAEHypo& hypo = *doc.m_pHypo;
  if (hypo.GetAEH(wave.m_nEvent)) {
    wave.SetPicksFromRecord(hypo.m_Rec);
  } else {
    // An event without a record starts from an empty one, never from the last event's.
    hypo.m_Rec = AEHRecord{};
    hypo.m_Rec.nIndex = wave.m_nEvent;
  }
  doc.m_nCurAE = wave.m_nEvent;
  doc.m_Host.SetTitle(wave.m_strPath);
  doc.m_Host.UpdateAllViews(nullptr, hint, nullptr);
  return true;
}

void CWaveView::OnOpenByNumber() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CDlgAEno dlg;
  dlg.m_nAE = doc->m_pWave->m_nEvent;
  dlg.DoModal(this);
  // Whatever closed the dialog, its number is opened: Cancel reopens the current event.
  if (OpenEventWithRecord(*doc, dlg.m_nAE, 31))
    doc->m_Host.SetModifiedFlag(false);
  else
    plat::Ui().SetPaneText(0, plat::Format("Event %d: no event file", dlg.m_nAE), true);
}

void CWaveView::OnNextMasked() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  const int next = doc->NextFlaggedEvent(AEH_FLAG_EM);
  if (next < 0) {
    plat::AfxMessageBox("Not found!");
    return;
  }
  if (OpenEventWithRecord(*doc, next, 15)) {
    doc->m_Host.SetModifiedFlag(false);
    plat::MessageBeep(0);
  }
}

void CWaveView::OnFindSetup() { m_dlgFind.DoModal(this); }

void CWaveView::OnFindNext() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc) || m_dlgFind.m_nTrace1 == 9999) return;
  const int channel = m_dlgFind.m_nTrace1 - 1;
  while (doc->StepEvent(1)) {
    const CAEWave& wave = *doc->m_pWave;
    const int n = wave.GetNumChannels(), S = wave.m_pHeader->nSamples;
    if (channel < 0 || channel >= n ||
        wave.m_pSamples.size() < static_cast<std::size_t>(n) * std::max(S, 0)) {
      plat::Ui().SetPaneText(
          0, plat::Format("Event %d has no channel %d: skipped", wave.m_nEvent, channel + 1), true);
      continue;
    }
    const std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(channel) * S;
    int count = 0;
    for (int j = 0; j < S; ++j)
      if (std::abs(static_cast<int>(x[j])) > m_dlgFind.m_nLevel1) ++count;
    if (count >= m_dlgFind.m_nCount1) break;
  }
}

void CWaveView::OnNextVelocityShot() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  constexpr int kShotChannel = 30;
  while (doc->StepEvent(1)) {
    const CAEWave& wave = *doc->m_pWave;
    if (wave.GetNumChannels() <= kShotChannel) {
      plat::Ui().SetPaneText(
          0, plat::Format("Event %d has no channel %d: skipped", wave.m_nEvent, kShotChannel + 1),
          true);
    } else if (wave.IsPulseShot(kShotChannel, 512)) {
      break;
    }
    if (plat::Ui().GetInputState()) break;
  }
  doc->m_Host.SetTitle(doc->m_pWave->m_strPath);
  doc->m_Host.UpdateAllViews(nullptr, 15, nullptr);
  doc->m_Host.SetModifiedFlag(true);
  plat::MessageBeep(0);
}

void CWaveView::OnSaveWave() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pWave) return;
  doc->m_pWave->Save();
  plat::MessageBeep(0);
}

void CWaveView::OnOpenPar() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  plat::FileDialogOptions o;
  o.open = true;
  o.title = "Open PAD/PAR file";
  o.filter = "Parameter file(*.pad;*.par)|*.pad;*.par|";
  const auto path = plat::Ui().FileDialog(o);
  if (path) doc->m_pHypo->LoadPad(*path, false);
}

void CWaveView::OnExportWave() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pWave) return;
  plat::FileDialogOptions o;
  o.open = false;
  o.title = "Save Waveform data";
  o.filter = "AE Waveform File(*.wav)|*.wav||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  // The file's name is written in capitals; the folder keeps its spelling, which a
  // case-sensitive file system needs to find it.
  std::string out = *path;
  const std::size_t slash = out.find_last_of("/\\");
  for (std::size_t i = slash == std::string::npos ? 0 : slash + 1; i < out.size(); ++i)
    out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
  plat::CWaitCursor wait;
  doc->m_pWave->SaveAs(out);
}

// ---------------------------------------------------------------------------------------
// Auto-loading

void CWaveView::StartTimer(UINT ms) {
  m_nTimerElapse = ms;
  SetTimer(TIMER_AUTOLOAD, ms);
  m_nTimer = TIMER_AUTOLOAD;
}

void CWaveView::OnAutoLoad() {
  if (m_nTimer) {
    StopAutoLoad();
    return;
  }
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  // A save refused for every event (a read-only catalogue) is reported once, not by one
  // message box per event.
  doc->BeginSaveBatch();
  if (m_bLocateOnLoad) {
    doc->TakeRecordOfEvent("");
    const CAEHypo& h = *doc->m_pHypo;
    doc->ProcessCurrentEvent(3, m_bStore != 0, h.m_nPickStart, h.m_nPickStart + h.m_nPickLength, 0,
                             m_bCheckWave);
  }
  StartTimer(200);
}

void CWaveView::StopAutoLoad() {
  const bool running = m_nTimer != 0;
  if (running) KillTimer(static_cast<UINT>(m_nTimer));
  m_nTimer = 0;
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  doc->EndSaveBatch();
  if (running && doc->m_pWave && doc->m_pWave->m_pHeader)
    plat::Ui().SetPaneText(0, plat::Format("Auto-loading ended at event %d", doc->m_pWave->m_nEvent),
                           true);
}

void CWaveView::OnTimer(UINT id) {
  if (id != TIMER_AUTOLOAD) return;
  KillTimer(TIMER_AUTOLOAD);
  CTremviaDoc* doc = GetData();
  // Each event is loaded as Load Next loads it, with its own catalogue record: the lock
  // checks and the saves below see that record, never the previous event's.
  if (!HaveWave(doc) || !doc->StepEvent(1)) {
    StopAutoLoad();
    return;
  }
  CAEWave& wave = *doc->m_pWave;
  CAEHypo& hypo = *doc->m_pHypo;
  if (m_bBandPass == 1) FilterWave();
  doc->m_Host.SetTitle(wave.m_strPath);
  if (m_bLocateOnLoad) {
    const int from = hypo.m_nPickStart;
    int to = hypo.m_nPickStart + hypo.m_nPickLength - 1;
    if (to < from) to = from + 640;
    doc->ProcessCurrentEvent(3, m_bStore != 0, from, to, 0, m_bCheckWave);
    doc->m_Host.UpdateAllViews(nullptr, hypo.m_Rec.nArrivals > 3 ? 0x1044 : 4, nullptr);
  } else if (m_bResave) {
    doc->SaveCurrentHypo(0, 0, 0, m_bStore != 0);
    doc->m_Host.UpdateAllViews(nullptr, 64, nullptr);
  } else {
    // The event's own record (a cleared one when it has none) gets the event's time.
    hypo.m_Rec.nTimeSec = wave.m_pHeader->nSec;
    hypo.m_Rec.nTimeUs = wave.m_pHeader->nUsec;
    hypo.PutAEH(wave.m_nEvent, true);
    doc->m_Host.UpdateAllViews(nullptr, 31, nullptr);
    UpdateWindow();
  }
  StartTimer(static_cast<UINT>(m_nPlayInterval));
}

// ---------------------------------------------------------------------------------------
// Band-pass filtering

void CWaveView::OnBandPass() {
  m_bBandPass = m_bBandPass ? 0 : 1;
  if (m_bBandPass) OnCreateFilter();
}

void CWaveView::OnCreateFilter() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEHypo& h = *doc->m_pHypo;
  const double rate = doc->m_pWave->m_pHeader->nRate;
  CDlgFft dlg;
  dlg.m_nType = 2;
  dlg.m_fNyq = static_cast<float>(0.5 * rate);
  dlg.m_fP = h.m_fFiltOn;
  dlg.m_fL = h.m_fFiltLow;
  dlg.m_fH = h.m_fFiltHigh;
  dlg.m_fS = h.m_fFiltStop;
  dlg.m_fAp = h.m_fFiltAp;
  dlg.m_fAs = h.m_fFiltAs;
  if (dlg.DoModal(this) != IDOK) return;
  // Edges that give no filter (a stop edge at Nyquist, a band edge at 0) are said, and then
  // nothing changes: the option block, the design in use and the samples stay as they are.
  const float fP = static_cast<float>(dlg.m_fP / rate), fL = static_cast<float>(dlg.m_fL / rate);
  const float fH = static_cast<float>(dlg.m_fH / rate), fS = static_cast<float>(dlg.m_fS / rate);
  KZ_IIRFilter trial;
  if (!(rate > 0) || trial.Design(dlg.m_nType, fP, fL, fH, fS, dlg.m_fAp, dlg.m_fAs) <= 0) {
    plat::AfxMessageBox(plat::Format(
        "No filter can be designed with fP %g, fL %g, fH %g, fS %g at Nyquist %g: the edges must "
        "lie above 0 and below Nyquist, the stop edge outside the band. Nothing was filtered.",
        dlg.m_fP, dlg.m_fL, dlg.m_fH, dlg.m_fS, dlg.m_fNyq));
    return;
  }
  h.m_fFiltOn = dlg.m_fP;
  h.m_fFiltLow = dlg.m_fL;
  h.m_fFiltHigh = dlg.m_fH;
  h.m_fFiltStop = dlg.m_fS;
  h.m_fFiltAp = dlg.m_fAp;
  h.m_fFiltAs = dlg.m_fAs;
  m_Filter.Design(dlg.m_nType, fP, fL, fH, fS, dlg.m_fAp, dlg.m_fAs);
  FilterWave();
}

void CWaveView::FilterWave() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  CAEWave* wave = doc->m_pWave.get();
  const int channels = wave ? wave->GetNumChannels() : 0;
  if (channels > 0) {
    const int S = wave->m_pHeader->nSamples;
    const int n = std::min({S, 4096, static_cast<int>(m_pWork.size())});
    // Room on either side of the samples in the work buffer for their mirror image.
    const int pad = std::clamp((static_cast<int>(m_pWork.size()) - n) / 2, 0, std::max(n - 1, 0));
    if (n > 0 && wave->m_pSamples.size() >= static_cast<std::size_t>(channels) * S) {
      float* w = m_pWork.data();
      float* mid = w + pad;
      const int length = n + 2 * pad;
      for (int c = 0; c < channels; ++c) {
        std::int16_t* x = wave->m_pSamples.data() + static_cast<std::size_t>(c) * S;
        for (int j = 0; j < n; ++j) mid[j] = x[j] * 0.001f;
        // Each end is continued by its odd mirror image (2 x[0] - x[k]), which carries an
        // offset and a drift on unchanged: the passes start from rest in the extension, so
        // their start-up dies away there and not in the record's first or last samples.
        for (int k = 1; k <= pad; ++k) {
          mid[-k] = 2 * mid[0] - mid[k];
          mid[n - 1 + k] = 2 * mid[n - 1] - mid[n - 1 - k];
        }
        // Forward, then backward in time: the two passes' phase shifts cancel, so onsets
        // and peaks keep their samples. Without a valid design the samples stay as they are.
        if (!m_Filter.Filter(w, w, length)) continue;
        std::reverse(w, w + length);
        m_Filter.Filter(w, w, length);
        std::reverse(w, w + length);
        for (int j = 0; j < n; ++j) {
          const double v = std::trunc(mid[j] * 500.0);
          x[j] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
        }
      }
    }
  }
  doc->m_Host.UpdateAllViews(nullptr, HINT_WAVE | 0x1, nullptr);
}
