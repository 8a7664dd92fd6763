// The "Wave" page's catalogue batch utilities: catalogue creation over a range of event
// files, the noise scan of channel 32 and the fixed time shift of the event files.
#include <cstdio>

#include "aecore/document/TremviaDoc.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/proppages/PropPgSelAE.h"
#include "views/wave/DlgInverse.h"
#include "views/wave/WaveView.h"

namespace {

bool HaveWave(const CTremviaDoc* doc) {
  return doc && doc->m_pWave && doc->m_pWave->m_pHeader && doc->m_pHypo;
}

}  // namespace

void CWaveView::MapBatchCommands() {
  MapCommand(ID_WAVE_CREATEAED, [this] { OnCreateAED(); });
  MapUpdate(ID_WAVE_CREATEAED, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(doc && doc->m_pHypo && doc->m_pHypo->m_nSensors > 0);
  });
  MapCommand(ID_WAVE_NOISESCAN, [this] { OnNoiseScan(); });
  MapCommand(ID_WAVE_TIMESHIFT, [this] { OnTimeShift(); });
  MapCommand(ID_UTIL_VELDIALOG, [this] { OnVelocityDialog(); });
  MapCommand(ID_UTIL_MARKSI, [this] {
    CTremviaDoc* doc = GetData();
    if (doc && doc->m_pHypo) doc->m_pHypo->AddCalibEvent(&doc->m_pHypo->m_Rec);
  });
  MapCommand(ID_UTIL_CLEARSI, [this] {
    CTremviaDoc* doc = GetData();
    if (doc && doc->m_pHypo) doc->m_pHypo->ClearCalibEvents();
  });
}

void CWaveView::OnVelocityDialog() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  CAEHypo& hypo = *doc->m_pHypo;
  if (hypo.m_CalibList.empty()) hypo.AddCalibEvent(&hypo.m_Rec);
  if (!m_pDlgInverse) m_pDlgInverse = std::make_unique<CDlgInverse>();
  m_pDlgInverse->m_pHypo = &hypo;
  m_pDlgInverse->ShowLastModel();
  m_pDlgInverse->show();
}

void CWaveView::OnCreateAED() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  CAEHypo& hypo = *doc->m_pHypo;
  CPropPgSelAE page;
  page.m_nFrom = static_cast<unsigned>(wave.m_nEvent);
  page.m_nLocIndex = 5;
  page.m_nTo = 99999;
  if (PropSheet_DoModal("Tremvia", {&page}, this) != IDOK) return;
  plat::FileDialogOptions o;
  o.open = false;
  o.title = "Specify AE data file";
  o.filter = "AE data file(*.txt|*.txt||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  if (!wave.OpenEvent(static_cast<int>(page.m_nFrom))) return;
  Invalidate(TRUE);
  std::FILE* out = std::fopen(path->c_str(), "at");
  if (!out) {
    plat::AfxMessageBox("Can not open " + *path);
    return;
  }
  plat::CWaitCursor wait;
  int failedWrites = 0;
  int locked = 0;
  while (wave.m_nEvent <= static_cast<long long>(page.m_nTo)) {
    // Each event starts from its own record, so that the lock check sees the record on
    // disk: a locked record is neither processed nor written.
    doc->ReadRecordOfEvent();
    if (hypo.m_Rec.nFlags & AEH_FLAG_LOCKED) {
      ++locked;
      plat::Ui().SetPaneText(0, plat::Format("%06d locked: not processed", wave.m_nEvent), true);
      if (plat::Ui().GetInputState() || !wave.Step(1)) break;
      continue;
    }
    wave.ProcessEvent(&hypo, 0, -1, m_bCheckWave);
    if (!hypo.PutAEH(wave.m_nEvent, true)) ++failedWrites;
    const AEHRecord& r = hypo.m_Rec;
    if (r.nArrivals >= static_cast<int>(page.m_nLocIndex)) {
      const double t = r.nTimeSec + r.nTimeUs * 1e-6;
      doc->AddEventEntry(r.fX, r.fY, r.fZ, r.fMw, r.fIso, r.fClvd, r.fCC, t,
                         static_cast<std::uint16_t>(r.nArrivals),
                         static_cast<std::uint32_t>(wave.m_nEvent), r.nFlags);
      doc->m_Host.UpdateAllViews(nullptr, 15, nullptr);
      UpdateWindow();
      const std::string line = plat::Format(
          "%06d %12.6lf %6.2f %6.2f %6.2f %2d  %5.2f %5.2f %5.3f %8.3f\n", wave.m_nEvent, t, r.fX,
          r.fY, r.fZ, r.nArrivals, r.fMw, r.fIso, r.fClvd, r.fFc);
      plat::Ui().SetPaneText(0, line.substr(0, line.size() - 1), true);
      std::fputs(line.c_str(), out);
    }
    if (plat::Ui().GetInputState()) break;  // the user stops a long run
    if (!wave.Step(1)) break;
  }
  std::fclose(out);
  // The run may have stepped past the last event it processed: the page, title and record
  // follow the event the waveform now stands at, which the next command works on.
  ShowCurrentEvent(*doc);
  if (locked > 0)
    plat::Ui().SetPaneText(0, plat::Format("%d locked events left unchanged", locked), true);
  if (failedWrites > 0)
    plat::AfxMessageBox(
        plat::Format("Can not save data to AED file! (%d records not written)", failedWrites));
}

void CWaveView::OnNoiseScan() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  plat::FileDialogOptions o;
  o.open = false;
  o.title = "Save to KV0 file";
  o.filter = "KV0 File(*.kv0)|*.kv0||";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  std::FILE* out = std::fopen(path->c_str(), "wt");
  if (!out) {
    plat::AfxMessageBox("Can not open " + *path);
    return;
  }
  {
    plat::CWaitCursor wait;
    std::fprintf(out, "KVDATA01 Noise LEVEL of chn#32 %s\n", wave.m_strPath.c_str());
    std::fprintf(out, "SAMPLES %d\n", 0);
    std::fprintf(out, "Time(sec)  noise(Sum)\n");
    for (bool go = true; go;) {
      const float s = wave.NoiseSum(31);
      const float t = static_cast<float>(wave.m_pHeader->nSec + wave.m_pHeader->nUsec * 1e-6);
      std::fprintf(out, "%f %f\n", t, s);
      plat::Ui().SetPaneText(0, plat::Format("%d, T:%f SUM:%f", wave.m_nEvent, t, s), true);
      for (int k = 1;;) {
        if (wave.Step(k)) break;
        const int a = plat::AfxMessageBox(
            plat::Format("Can not load: %d, Skip?", wave.m_nEvent + 1), MB_YESNOCANCEL);
        if (a == IDCANCEL) {
          go = false;
          break;
        }
        if (a == IDYES) ++k;
      }
    }
    std::fclose(out);
  }
  doc->m_Host.SetTitle(wave.m_strPath);
  doc->m_Host.UpdateAllViews(nullptr, 15, nullptr);
  doc->m_Host.SetModifiedFlag(true);
  plat::MessageBeep(0);
}

void CWaveView::OnTimeShift() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  {
    plat::CWaitCursor wait;
    wave.Step(-1);
    if (wave.Step(1)) {
      for (;;) {
        AE_ShiftEventTime(wave.m_pHeader.get());
        if (!wave.Save()) {
          plat::MessageBeep(0);
          break;
        }
        if (!wave.Step(1)) break;
      }
    }
  }
  doc->m_Host.SetTitle(wave.m_strPath);
  doc->m_Host.UpdateAllViews(nullptr, 15, nullptr);
  doc->m_Host.SetModifiedFlag(true);
  plat::MessageBeep(0);
}

void AE_ShiftEventTime(AEWHeader* h) {
  h->nUsec += 500000;
  h->nSec += 5424;
  if (h->nUsec > 1000000) {
    h->nSec += 1;
    h->nUsec -= 1000000;
  }
}
