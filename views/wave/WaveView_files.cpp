// The "Wave" page's waveform file utilities: renumbering of the event files into a
// numbered set and renaming files as shooting runs.
#include <typeinfo>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/wave/WaveView.h"

namespace {

bool HaveWave(const CTremviaDoc* doc) {
  return doc && doc->m_pWave && doc->m_pWave->m_pHeader && doc->m_pHypo;
}

// One step on; a failed step asks "Can not load: %d, Skip?": Yes widens the step, No
// tries it again, Cancel (false) ends the loop.
bool StepWithRetry(CAEWave& wave) {
  for (int k = 1;;) {
    if (wave.Step(k)) return true;
    const int a = plat::AfxMessageBox(plat::Format("Can not load: %d, Skip?", wave.m_nEvent + k),
                                      MB_YESNOCANCEL);
    if (a == IDCANCEL) return false;
    if (a == IDYES) ++k;
  }
}

}  // namespace

void CWaveView::MapFileCommands() {
  MapCommand(ID_WAVE_RENUMBER, [this] { OnRenumber(); });
  MapUpdate(ID_WAVE_RENUMBER, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(doc && doc->m_pWave && typeid(*doc->m_pWave) == typeid(CAEWave));
  });
  MapCommand(ID_WAVE_SHOOTRUN, [this] { OnShootingRun(); });
  MapUpdate(ID_WAVE_OSKTAM, [](plat::CCmdUI* ui) { ui->Enable(FALSE); });
}

void CWaveView::OnRenumber() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  CDlgLoad dlg;
  dlg.m_strIdentifier = wave.m_strName;
  dlg.m_strPath = wave.m_strFolder;
  dlg.m_nStartAE = wave.m_nEvent;
  dlg.DoModal(this);
  plat::CWaitCursor wait;
  wave.SetFileSet(dlg.m_strIdentifier, dlg.m_strPath, wave.m_nEvent, dlg.m_nStartVEL);
  int n = dlg.m_nStartAE;
  if (!wave.SaveNumbered(n, 0)) {
    plat::MessageBeep(0);
    return;
  }
  for (;;) {
    ++n;
    plat::Ui().SetPaneText(0, plat::Format("%d-->%d", wave.m_nEvent, n), true);
    UpdateWindow();
    if (!StepWithRetry(wave)) break;
    if (!wave.SaveNumbered(n, 0)) {
      plat::MessageBeep(0);
      break;
    }
  }
  plat::MessageBeep(0);
}

void CWaveView::OnShootingRun() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  CDlgShootRun dlg;
  dlg.m_strPZT = m_strShootPZT;
  dlg.m_nShoot = m_nShootNo;
  if (dlg.DoModal(this) != IDOK) return;
  m_strShootPZT = dlg.m_strPZT;
  m_nShootNo = dlg.m_nShoot;
  std::vector<int> list;
  const char* s = m_strShootPZT.c_str();
  while (s && *s) {
    int v = 0;
    const char* next = KZ_NextInt(s, ',', &v);
    list.push_back(v);
    s = next;
  }
  if (list.size() > 32) {
    plat::AfxMessageBox("At most 32 shooting PZTs can be given.");
    return;
  }
  for (;;) {
    bool stepped = false;
    for (int p : list) {
      const std::string from = wave.m_strPath;
      const std::string to = KZ_GetFolder(from) + plat::Format("%03d_P%02d", m_nShootNo, p) + "." +
                             KZ_GetFileExt(from);
      // A rename never replaces a file that is already there.
      if (plat::FileExists(to)) {
        plat::Ui().SetPaneText(0, to + " exists: renaming stopped", true);
        return;
      }
      plat::RenameFile(from, to);
      stepped = wave.Step(1) != 0;
      Invalidate(TRUE);
    }
    ++m_nShootNo;
    for (int k = 2; !stepped && k <= 99; ++k) stepped = wave.Step(k) != 0;
    if (!dlg.m_bScanAll || !stepped) return;
  }
}
