// The "Wave" page's waveform file utilities: renumbering of the event files into a
// numbered set, time-mark correction with catalogue creation, repair of channel groups
// recorded into the wrong files, polarity correction, conversion of the old file layout and
// renaming files as shooting runs.
#include <algorithm>
#include <cstdlib>
#include <ctime>
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

// The dialog of the numbered set, filled from the current event as every utility does.
CDlgLoad AskFileSet(const CAEWave& wave, QWidget* parent, int mc) {
  CDlgLoad dlg;
  dlg.m_strIdentifier = wave.m_strName;
  dlg.m_strPath = wave.m_strFolder;
  dlg.m_nStartAE = wave.m_nEvent;
  dlg.m_nMc = mc;
  dlg.DoModal(parent);
  return dlg;
}

// The file SaveNumbered writes for AE event n of the set.
std::string NumberedPath(const CAEWave& wave, int n) {
  return plat::Format("%s/%s.%02d/%06d.WAV", wave.m_strFolder.c_str(), wave.m_strName.c_str(),
                      n / 1000, n);
}

// The header's calendar time through the C library's local-time conversion.
std::time_t HeaderTime(const AEWHeader& h) {
  std::tm tm{};
  tm.tm_year = h.nYear - 1900;
  tm.tm_mon = h.nMonth - 1;
  tm.tm_mday = h.nDay;
  tm.tm_hour = h.nHour;
  tm.tm_min = h.nMinute;
  tm.tm_sec = h.nSecond;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

// Reads record n into the current record (a cleared one when the catalogue holds none);
// true when it is locked.
bool ReadRecordOfNumber(CAEHypo& hypo, int n) {
  if (!hypo.GetAEH(n)) {
    hypo.m_Rec = AEHRecord{};
    hypo.m_Rec.nIndex = n;
  }
  return (hypo.m_Rec.nFlags & AEH_FLAG_LOCKED) != 0;
}

}  // namespace

void CWaveView::MapFileCommands() {
  MapCommand(ID_WAVE_RENUMBER, [this] { OnRenumber(); });
  MapUpdate(ID_WAVE_RENUMBER, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(doc && doc->m_pWave && typeid(*doc->m_pWave) == typeid(CAEWave));
  });
  MapCommand(ID_WAVE_TIMEMARK, [this] { OnTimeMarkCorrection(); });
  MapUpdate(ID_WAVE_TIMEMARK, [this](plat::CCmdUI* ui) {
    const CTremviaDoc* doc = GetData();
    ui->Enable(doc && doc->m_pHypo && doc->m_pHypo->m_nSensors > 0);
  });
  MapCommand(ID_WAVE_REPAIR, [this] { OnRepairChannelGroups(); });
  MapCommand(ID_WAVE_POLARITY, [this] { OnCorrectPolarity(); });
  MapCommand(ID_WAVE_OLDTONEW, [this] { OnConvertOldLayout(); });
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

void CWaveView::EndFileUtility(int lastWritten) {
  CTremviaDoc* doc = GetData();
  CAEWave& wave = *doc->m_pWave;
  // The written set may differ from the one read: the last written event is loaded from it.
  const std::string path = NumberedPath(wave, lastWritten);
  if (lastWritten >= 0 && wave.Load(path)) {
    wave.m_strPath = path;
    wave.m_nEvent = lastWritten;
  }
  doc->m_Host.SetTitle(wave.m_strPath);
  doc->m_Host.UpdateAllViews(nullptr, 15, nullptr);
  doc->m_Host.SetModifiedFlag(true);
  plat::MessageBeep(0);
}

void CWaveView::OnTimeMarkCorrection() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  CAEHypo& hypo = *doc->m_pHypo;
  const CDlgLoad dlg = AskFileSet(wave, this, 5);
  plat::CWaitCursor wait;
  // The stepping goes on from the event shown; the set written is numbered from the
  // dialog's starting number.
  wave.SetFileSet(dlg.m_strIdentifier, dlg.m_strPath, wave.m_nEvent, dlg.m_nStartVEL);
  int n = dlg.m_nStartAE;
  // VEL number 0 would be taken as no VEL number and written as AE event 0.
  int v = std::max(dlg.m_nStartVEL, 1);
  long long offset = 0, previous = 0;
  std::time_t previousTime = 0;
  bool reset = false;
  int failedRecords = 0;
  int lockedRecords = 0;
  for (;;) {
    AEWHeader& h = *wave.m_pHeader;
    const std::time_t t = HeaderTime(h);
    if (hypo.m_nSensors == 12) h.nChannels = 12;
    const long long own = h.nSec;
    long long s = own + offset;
    if (s < previous) {  // the recorder's time mark was reset
      s = previous + static_cast<long long>(t - previousTime);
      offset = s - own;
      reset = true;
    }
    h.nSec = static_cast<std::int32_t>(s);
    previous = s;
    previousTime = t;
    if (wave.IsPulseShot(wave.GetNumChannels() - 2, 512)) {
      wave.SaveNumbered(0, v);
      UpdateWindow();
      ++v;
      plat::MessageBeep(0);
    } else if (m_bCheckWave && !wave.CheckWaveform(m_bCheckWave)) {
      UpdateWindow();
    } else {
      if (reset) {
        UpdateWindow();
        plat::MessageBeep(0);
        reset = false;
      }
      // The event is written as number n: it starts from record n as stored, so that the
      // lock check sees that record and not the one left from the previous event. A locked
      // record is neither processed nor written; the event file is still written as n.
      const bool locked = ReadRecordOfNumber(hypo, n);
      if (locked)
        ++lockedRecords;
      else
        wave.ProcessEvent(&hypo, 0, -1, 0);
      if (locked || !m_bCheckWave || hypo.m_Rec.nArrivals >= dlg.m_nMc) {
        if (!locked && !hypo.PutAEH(n, true)) ++failedRecords;
        if (!wave.SaveNumbered(n, 0)) {
          plat::MessageBeep(0);
          break;
        }
        ++n;
        plat::Ui().SetPaneText(0, plat::Format("%d-->%d", wave.m_nEvent, n), true);
        UpdateWindow();
      }
    }
    if (!StepWithRetry(wave)) break;
  }
  EndFileUtility(n - 1);
  if (lockedRecords > 0)
    plat::Ui().SetPaneText(0, plat::Format("%d locked records left unchanged", lockedRecords),
                           true);
  if (failedRecords > 0)
    plat::AfxMessageBox(
        plat::Format("%d records could not be written to the catalogue.", failedRecords));
}

void CWaveView::OnRepairChannelGroups() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  const CDlgLoad dlg = AskFileSet(wave, this, 5);
  // Channels 8 .. 31 are exchanged: a record with fewer channels has nothing to repair.
  if (wave.GetNumChannels() < 32) {
    plat::Ui().SetPaneText(0, "Repair needs records of 32 channels: nothing done", true);
    return;
  }
  plat::CWaitCursor wait;
  const int source = wave.m_nEvent;
  wave.SetFileSet(dlg.m_strIdentifier, dlg.m_strPath, source, dlg.m_nStartVEL);
  const std::size_t ns = static_cast<std::size_t>(wave.m_pHeader->nSamples);
  const std::size_t total = ns * static_cast<std::size_t>(wave.GetNumChannels());
  std::vector<std::int16_t> a(total), b(total);
  int n = dlg.m_nStartAE;
  int written = -1;
  // Files n + 1 and n + 2 of the set read, the event shown being file n.
  auto readAhead = [&] {
    return wave.NextFile(wave.m_nEvent + 1, a.data()) && wave.NextFile(wave.m_nEvent + 2, b.data());
  };
  if (readAhead()) {
    for (;;) {
      std::int16_t* s = wave.m_pSamples.data();
      std::copy(b.begin() + 8 * ns, b.begin() + 16 * ns, s + 8 * ns);
      std::copy(a.begin() + 16 * ns, a.begin() + 32 * ns, s + 16 * ns);
      UpdateWindow();
      plat::MessageBeep(0);
      if (!wave.SaveNumbered(n, 0)) {
        plat::MessageBeep(0);
        break;
      }
      written = n;
      ++n;
      plat::Ui().SetPaneText(0, plat::Format("%d-->%d", wave.m_nEvent, n), true);
      if (!wave.Step(1) || plat::Ui().GetInputState() || !readAhead()) break;
    }
  }
  EndFileUtility(written);
}

void CWaveView::OnCorrectPolarity() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  const CAEHypo& hypo = *doc->m_pHypo;
  const CDlgLoad dlg = AskFileSet(wave, this, 5);
  plat::CWaitCursor wait;
  wave.SetFileSet(dlg.m_strIdentifier, dlg.m_strPath, wave.m_nEvent, dlg.m_nStartVEL);
  int n = dlg.m_nStartAE;
  int written = -1;
  for (;;) {
    const int channels = wave.GetNumChannels();
    const std::size_t ns = static_cast<std::size_t>(wave.m_pHeader->nSamples);
    for (int c = 0; c < channels && c < static_cast<int>(hypo.m_pSensorName.size()); ++c) {
      if (hypo.m_pSensorName[c] != "-") continue;
      std::int16_t* x = wave.m_pSamples.data() + static_cast<std::size_t>(c) * ns;
      // 16-bit negation: -32768 stays itself, as the recorder's own arithmetic does.
      for (std::size_t i = 0; i < ns; ++i) x[i] = static_cast<std::int16_t>(-x[i]);
    }
    UpdateWindow();
    plat::MessageBeep(0);
    if (!wave.SaveNumbered(n, 0)) {
      plat::MessageBeep(0);
      break;
    }
    written = n;
    ++n;
    plat::Ui().SetPaneText(0, plat::Format("%d-->%d", wave.m_nEvent, n), true);
    if (!wave.Step(1) || plat::Ui().GetInputState()) break;
  }
  EndFileUtility(written);
}

void CWaveView::OnConvertOldLayout() {
  CTremviaDoc* doc = GetData();
  if (!HaveWave(doc)) return;
  CAEWave& wave = *doc->m_pWave;
  const auto chosen = plat::Ui().BrowseFolder("Select the ist folder (?.000)");
  if (!chosen) return;
  std::string first = *chosen;
  while (!first.empty() && (first.back() == '\\' || first.back() == '/')) first.pop_back();
  const std::size_t cut = first.find_last_of("\\/");
  const std::string own = cut == std::string::npos ? first : first.substr(cut + 1);
  const std::string parent = cut == std::string::npos ? std::string() : first.substr(0, cut);
  // The name is the folder's first 8 characters and its number the last 3.
  if (own.size() < 8) {
    plat::AfxMessageBox(own + ": the first folder of an old set is named as ABCDEFGH.000.");
    return;
  }
  const std::string name = own.substr(0, 8);
  const int k0 = 1000 * std::atoi(own.substr(own.size() - 3).c_str());
  plat::CWaitCursor wait;
  for (int k = k0;; ++k) {
    const std::string old =
        parent + "/" + name +
        plat::Format(".%03d/%s.%-1d/%-d.wav", k / 1000, name.c_str(), k / 100, k);
    if (!wave.LoadOld(old)) break;
    const std::string folder = plat::Format("%s/%s.%02d", parent.c_str(), name.c_str(), k / 1000);
    if (k % 1000 == 0) plat::CreateFolder(folder);
    const std::string path = plat::Format("%s/%06d.WAV", folder.c_str(), k);
    if (!wave.SaveAs(path)) break;
    plat::Ui().SetPaneText(0, path, true);
  }
}
