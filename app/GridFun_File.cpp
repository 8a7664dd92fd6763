// The "File" tab of the working sheet: batch utilities over the catalogue and the
// waveform files, and the sensor table whose check boxes choose the traces to keep.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "aecore/waveform/KZ_Seg2Folder.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "app/DlgPars.h"
#include "app/GridFun.h"
#include "app/MainFrm.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/FileSystem.h"
#include "platform/UiServices.h"

namespace {

const char* const kFileUtilities =
    "0: AEF --> Seg2\n1: Seg2 --> AEF\n2: Mark and collect templates\n3: Reset Flag(0)\n"
    "4: AE time correction\n5: Reload Location data\n6: Make data sheet\n"
    "7: Remove Seg2 bad(unselected) traces\n8: Seg2 time correction\n"
    "9: Mark Seg2 for VM and noise\n10: Renumber Seg2 files\n11: WAV/aew -> Seg2\n"
    "12: Seg2 -> AEW\n";

const char* const kJumpQuestion = "Contineously jumped 500 events, end the loop?";

std::string Numbered(const std::string& folder, int n, const char* ext) {
  char name[32];
  std::snprintf(name, sizeof name, "%06d.%s", n, ext);
  return folder + name;
}

void Note(const std::string& text) { plat::Ui().SetPaneText(0, text, true); }

// Files that could not be written are reported, never passed over in silence.
void ReportUnwritten(int failed, const std::string& folder) {
  if (failed <= 0) return;
  char text[600];
  std::snprintf(text, sizeof text, "%d file(s) could not be written to %.500s", failed,
                folder.c_str());
  plat::AfxMessageBox(text);
}

// A rename that never replaces a file; a refused one is noted in the status bar.
bool RenameKeeping(const std::string& from, const std::string& to) {
  if (plat::RenameFile(from, to)) return true;
  Note("Not renamed (" + KZ_GetFileName(to, 0) + " exists): " + KZ_GetFileName(from, 0));
  return false;
}

bool InsideSample(const CAEHypo& h, const AEHRecord& r) {
  if (std::fabs(r.fX) > h.m_fSizeX / 2 || std::fabs(r.fY) > h.m_fSizeY / 2 ||
      std::fabs(r.fZ) > h.m_fSizeZ / 2)
    return false;
  if (h.m_nShape == 0) {
    const double radius = h.m_fDiameter / 2.0;
    if (static_cast<double>(r.fX) * r.fX + static_cast<double>(r.fY) * r.fY > radius * radius)
      return false;
  }
  return true;
}

}  // namespace

void CGridFun::SetupFileSheet() {
  BeginSheet(kFile, 100, 75, 4, 4);
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pWave || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  SetRowHeading(0, "File utilities", 1, 0);
  SetRow(1, "Do..", " ", " ", " ", "Preprocesses and utilities with PAD/AEF files");
  JoinCells(1, 1, 3, 1);
  SetOptionCellAt(1, 1, kFileUtilities, 0);
  SetTextRow(2, "#", "X(mm)", "Y(mm)", "Z(mm)", "W, Correction");
  std::vector<float> w(AEH_MAX_POINTS, 0.0f);
  h.GetSensorWeights(w.data());
  char label[16], x[32], y[32], z[32], note[48];
  for (int i = 0; i < h.m_nSensors && i < AEH_MAX_SENSORS; ++i) {
    const KZ_Point3D& p = h.m_pSensorXYZ[i];
    std::snprintf(label, sizeof label, "%02d", i + 1);
    std::snprintf(x, sizeof x, "%.2f", p.x);
    std::snprintf(y, sizeof y, "%.2f", p.y);
    std::snprintf(z, sizeof z, "%.2f", p.z);
    std::snprintf(note, sizeof note, "w=%.2f,dt=0.0", w[i]);
    SetParamRow(3 + i, label, x, y, z, note);
    SetCheckCell(0, 3 + i, label, std::fabs(w[i]) > 0.01f ? 1 : 0);
    SetParamText(1, 3 + i, x);
    SetParamText(2, 3 + i, y);
    SetParamText(3, 3 + i, z);
    SetParamText(4, 3 + i, note);
  }
}

bool CGridFun::AskTimeCorrection(double* dt) {
  CDlgPars dlg;
  dlg.m_strCaption = "Event time correction";
  dlg.m_Grid.SetNumberRow(0, -20464.5f, "T_C", "%f", "Evt time in sec will be plused");
  dlg.m_Grid.m_bOutputFolderRow = 0;
  if (dlg.DoModal() != IDOK) return false;
  *dt = dlg.m_Grid.m_Numbers[0].value;
  return true;
}

int CGridFun::DoFileUtility(long, int, long row, long msg, long) {
  if (msg != SGN_BUTTON_UP || row != 1) return 1;
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return 1;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  auto rebuild = [&] {
    doc->BuildEventList(0, h.GetNumAE() - 1, 0, 0);
    doc->m_Host.UpdateAllViews(nullptr, 0, nullptr);
  };
  auto folder = [](const char* title) { return KZ_BrowseSg2Folder(title, 0); };
  const std::string waveFolder = KZ_GetFolder(w.m_strPath);
  double dt = 0.0;
  switch (GetInt(1, 1)) {
    case 0:
      CollectSeg2Events();
      break;
    case 1:
      Seg2ToAEF();
      rebuild();
      break;
    case 2:
      CollectTemplates();
      break;
    case 3:
      ResetRecordFlags();
      break;
    case 4:
      if (AskTimeCorrection(&dt)) ShiftRecordTimes(dt);
      break;
    case 5:
      rebuild();
      break;
    case 6: {
      if (!doc->m_pCurSheet) doc->m_pCurSheet = doc->m_pSheet[0].get();
      doc->FillEventSheet(doc->m_pCurSheet, h.m_nMinArrivals);
      if (CMainFrame* frame = Frame()) frame->ShowDataSheet();
      break;
    }
    case 7: {
      std::vector<int> drop;
      for (int i = 0; i < h.m_nSensors && i < AEH_MAX_SENSORS; ++i)
        if (!IsCellSet(0, 3 + i)) drop.push_back(i);
      if (drop.empty()) plat::AfxMessageBox("Check off bad trace(s)!");
      const std::string to = folder("Folder for new SG2 files");
      if (to.empty()) break;
      ReportUnwritten(
          KZ_Seg2DropTracesInFolder(waveFolder, drop.data(), static_cast<int>(drop.size()), to),
          to);
      break;
    }
    case 8: {
      const std::string to = folder("Select folder of SEG2 files to be corrected");
      if (to.empty() || !AskTimeCorrection(&dt)) break;
      plat::Ui().BeginWaitCursor();
      const int failed = KZ_Seg2ShiftTimesInFolder(waveFolder, static_cast<float>(dt), to);
      plat::Ui().EndWaitCursor();
      ReportUnwritten(failed, to);
      break;
    }
    case 9: {
      const std::string from = folder("Select folder of SEG2 files to be corrected");
      if (!from.empty()) MarkSeg2Files(from);
      break;
    }
    case 10: {
      const std::string first = KZ_OpenFileDialog("Specify the 1st file to be renumbered",
                                                  "Seg2 File(*.sg2)|*.sg2|Text(*.txt)|*.txt|");
      if (!first.empty()) RenumberSeg2Files(first);
      break;
    }
    case 11:
    case 12: {
      const bool aew = GetInt(1, 1) == 12;
      const std::string to =
          folder(aew ? "Select folder for AEW files" : "Select folder for SG2 files");
      if (!to.empty()) ConvertEventFiles(to, aew);
      break;
    }
    default:
      break;
  }
  return 1;
}

int CGridFun::CollectSeg2Events() {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return 0;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  const std::string to = KZ_BrowseSg2Folder("Select folder for saving SG2 files", 0);
  if (to.empty()) return 0;
  if (plat::AfxMessageBox("Are sure? Information of TM will be replaced!!", MB_YESNO) != IDYES)
    return 0;
  int written = 0, failed = 0;
  do {
    if (h.GetAEH(w.m_nEvent)) w.SetPicksFromRecord(h.m_Rec);
    if (w.SaveSeg2Event(Numbered(to, w.m_nEvent, "sg2"), h.m_Rec, h))
      ++written;
    else
      ++failed;
  } while (w.Step(1));
  ReportUnwritten(failed, to);
  return written;
}

int CGridFun::CollectTemplates() {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return 0;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  const std::string to = KZ_BrowseSg2Folder("Select folder for templates", 0);
  if (to.empty()) return 0;
  const int start = w.m_nEvent;
  const int records = h.GetNumAE();
  int collected = 0;
  for (int i = start; i < records; ++i) {
    if (!h.GetAEH(i)) continue;
    const AEHRecord& r = h.m_Rec;
    // A locked record keeps its flags: the template flag would pass the lock check.
    if (r.nFlags & AEH_FLAG_LOCKED) continue;
    if (r.nArrivals < h.m_nMinArrivals) continue;
    if (r.nFlags != 0 && !(r.nFlags & h.m_nClassMask)) continue;
    if (!InsideSample(h, r) || !w.OpenEvent(i)) continue;
    w.SetPicksFromRecord(h.m_Rec);
    h.m_Rec.nFlags = AEH_FLAG_TEMPLATE;
    h.PutAEH(i, true);
    if (w.SaveSeg2Event(Numbered(to, i, "sg2"), h.m_Rec, h)) ++collected;
  }
  h.GetAEH(start);
  w.OpenEvent(start);
  doc->BuildEventList(0, records - 1, 0, 0);
  doc->m_Host.UpdateAllViews(nullptr, 0, nullptr);
  return collected;
}

int CGridFun::ResetRecordFlags() {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return 0;
  CAEHypo& h = *doc->m_pHypo;
  const int records = h.GetNumAE();
  const int current = h.m_Rec.nIndex;
  int changed = 0;
  for (int i = 0; i < records; ++i) {
    if (!h.GetAEH(i)) continue;
    AEHRecord& r = h.m_Rec;
    // A locked record stays as it is: the reset would drop its lock bit.
    if (r.nFlags & AEH_FLAG_LOCKED) continue;
    std::uint8_t f = r.nFlags;
    if (r.nArrivals < 4)
      f = 0;
    else if (f == 0)
      f = AEH_FLAG_LOCATED;
    if (r.nArrivals >= h.m_nMinArrivals && f != AEH_FLAG_DETECTED) f = AEH_FLAG_TEMPLATE;
    r.nFlags = f;
    if (h.PutAEH(i, true)) ++changed;
  }
  h.GetAEH(current);
  doc->BuildEventList(0, records - 1, 0, 0);
  doc->m_Host.UpdateAllViews(nullptr, 0, nullptr);
  return changed;
}

int CGridFun::ShiftRecordTimes(double dt) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return 0;
  CAEHypo& h = *doc->m_pHypo;
  const int records = h.GetNumAE();
  const int current = h.m_Rec.nIndex;
  // Whole microseconds throughout, so that no microsecond is lost to rounding.
  const long long shift = std::llround(dt * 1e6);
  int changed = 0;
  for (int i = 0; i < records; ++i) {
    if (!h.GetAEH(i)) continue;
    AEHRecord& r = h.m_Rec;
    const long long us = static_cast<long long>(r.nTimeSec) * 1000000 + r.nTimeUs + shift;
    long long sec = us / 1000000, rest = us % 1000000;
    if (rest < 0) rest += 1000000, --sec;
    r.nTimeSec = static_cast<std::int32_t>(sec);
    r.nTimeUs = static_cast<std::int32_t>(rest);
    if (h.PutAEH(i, true)) ++changed;
  }
  h.GetAEH(current);
  doc->BuildEventList(0, records - 1, 0, 0);
  doc->m_Host.UpdateAllViews(nullptr, 0, nullptr);
  return changed;
}

int CGridFun::MarkSeg2Files(const std::string& folder) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return 0;
  const CAEHypo& h = *doc->m_pHypo;
  int renamed = 0, last = -1;
  for (int i = 0; i - last < 1000; ++i) {
    const std::string path = Numbered(folder, i, "sg2");
    if (!plat::FileExists(path)) continue;
    KZ_WaveDataSeg2 rec;
    if (rec.Load(path, 1, 0, 0) <= 0) continue;
    last = i;
    const int cls = rec.OnsetClass(h.m_nNoiseIS, h.m_fNoiseTW, h.m_fNoiseSN);
    const char* prefix = cls == 2 ? "X_" : cls == 1 ? "S_" : cls == 3 ? "Q_" : nullptr;
    if (!prefix) continue;
    const std::string to = folder + prefix + KZ_GetFileName(path, 0);
    if (!RenameKeeping(path, to)) continue;
    ++renamed;
    Note(KZ_GetFileName(to, 0));
    RedrawAll();
  }
  return renamed;
}

int CGridFun::RenumberSeg2Files(const std::string& firstFile) {
  // The first file's name must be a six-digit number with a three-character extension.
  const std::string name = KZ_GetFileName(firstFile, 0);
  bool shaped = name.size() == 10 && name[6] == '.';
  for (int i = 0; shaped && i < 10; ++i)
    if (i != 6)
      shaped = i < 6 ? std::isdigit(static_cast<unsigned char>(name[i])) != 0
                     : std::isalnum(static_cast<unsigned char>(name[i])) != 0;
  if (!shaped) {
    plat::AfxMessageBox("The file name must be six digits and an extension: " + name);
    return 0;
  }
  const std::string folder = firstFile.substr(0, firstFile.size() - 10);
  const std::string ext = name.substr(7);
  const int first = std::atoi(name.substr(0, 6).c_str());
  int k = 0, last = -1, renamed = 0;
  for (int n = first; n - k < 1000000; ++n) {
    const std::string from = Numbered(folder, n, ext.c_str());
    if (plat::FileExists(from)) {
      if (n != k && RenameKeeping(from, Numbered(folder, k, ext.c_str()))) {
        char text[64];
        std::snprintf(text, sizeof text, "Renumber %d to %d", n, k);
        Note(text);
        RedrawAll();
        ++renamed;
      }
      ++k;
      last = n;
    } else if (n - last > 500) {
      if (plat::AfxMessageBox(kJumpQuestion, MB_YESNO) == IDYES) break;
      last = n;
    }
  }
  return renamed;
}

int CGridFun::ConvertEventFiles(const std::string& folder, bool aew) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return 0;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  const int s = w.m_nEvent;
  int last = -1, written = 0, failed = 0;
  for (int i = s; i <= 999999; ++i) {
    if (w.OpenEvent(i)) {
      int ok = 0;
      if (aew) {
        ok = w.SaveAew(Numbered(folder, w.m_nEvent, "aew"), h.m_Rec, h);
      } else {
        if (h.GetAEH(i)) w.SetPicksFromRecord(h.m_Rec);
        ok = w.SaveSeg2Event(Numbered(folder, w.m_nEvent, "sg2"), h.m_Rec, h);
      }
      written += ok ? 1 : 0;
      failed += ok ? 0 : 1;
      last = i;
    } else if (i - last > 500) {
      if (plat::AfxMessageBox(kJumpQuestion, MB_YESNO) == IDYES) break;
      last = i;
    }
  }
  h.GetAEH(s);
  w.OpenEvent(s);
  ReportUnwritten(failed, folder);
  return written;
}
