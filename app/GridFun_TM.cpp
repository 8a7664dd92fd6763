// The "T-M" tab of the working sheet: the template-matching parameter block in cells, its
// file, the all-pairs correlation, matching in this process or in slices run by the
// matching program, and reading matching results back into the catalogue.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "aecore/templates/TMContext.h"
#include "app/GridFun.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/Shell.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

const char* const kTMFilter = "*ML_CC_AE_pars.txt|*ML_CC_AE_pars.txt||";
// The pause after each start of the matching program, in 1/1024 s, so that the instances
// do not all read the parameter file and the folders at once.
constexpr int kStartPause = 10000;

// The cells that show and read the block.
struct FloatCell {
  int col;
  long row;
  float TMPars::*field;
};
struct IntCell {
  int col;
  long row;
  int TMPars::*field;
  const char* format;
};

const FloatCell kFloatCells[] = {
    {1, 1, &TMPars::m_fTimeShift},    {2, 1, &TMPars::m_fTimeBefore},
    {3, 1, &TMPars::m_fTimeAfter},    {2, 2, &TMPars::m_fTaperHead},
    {3, 2, &TMPars::m_fTaperTail},    {1, 3, &TMPars::m_fLowCorner},
    {2, 3, &TMPars::m_fHighCorner},   {1, 4, &TMPars::m_fThresholdCC},
    {2, 4, &TMPars::m_fThresholdSNR}, {1, 5, &TMPars::m_fSearchX},
    {2, 5, &TMPars::m_fSearchY},      {3, 5, &TMPars::m_fSearchZ},
};
const IntCell kIntCells[] = {
    {1, 6, &TMPars::m_nGridX, "%d"},           {2, 6, &TMPars::m_nGridY, "%d"},
    {3, 6, &TMPars::m_nGridZ, "%d"},           {1, 7, &TMPars::m_nTemplates, "nTem=%d"},
    {2, 7, &TMPars::m_nOutputFlag, "nOut=%d"}, {3, 7, &TMPars::m_nMaxMid, "nMmx=%d"},
    {1, 11, &TMPars::m_nFirstAE, "%d"},        {2, 11, &TMPars::m_nLastAE, "%d"},
};

std::string MatchingProgram() {
  return plat::FindSiblingProgram("Sylvor_AE.exe")
      .value_or(plat::ProgramFolder() + "/Sylvor_AE.exe");
}

}  // namespace

// The folders of the matching run from the waveform's path: the parent of the waveform's
// folder is the base, unless the waveform's folder is a root folder of its own.
void TM_BaseFolders(const std::string& wavePath, std::string* templates, std::string* wave,
                    std::string* output) {
  const std::string F = KZ_GetFolder(wavePath);
  std::string base = F;
  if (F.size() >= 2) {
    const std::string P = F.substr(0, F.size() - 2);
    const std::size_t k = P.find_last_of("/\\");
    // A drive letter's root ("E:\") is no base folder either.
    const std::size_t least = P.size() > 1 && P[1] == ':' ? 2 : 0;
    if (k != std::string::npos && k > least) base = P.substr(0, k + 1);
  }
  const char sep = F.empty() ? '/' : F.back();
  *templates = base + "Templates" + sep;
  *wave = base;
  *output = base + "ML" + sep;
}

void CGridFun::SetupTMSheet() {
  BeginSheet(kTM, 0, 40, 4, 0);
  const int widths[4] = {100, 140, 140, 100};
  for (int c = 0; c < 4; ++c) SetColumnWidth(c, widths[c]);
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pWave || !doc->m_pHypo) return;
  for (long r = GetRowCount() - 1; r >= 2; --r) DeleteRow(r, 0);
  RedrawAll();
  InitSheet(80, 5);
  SetLockedColumns(4);
  SetLockedRows(1);
  SetDefaultColumnWidth(48);
  SetDefaultRowHeight(24);
  SetSideHeadingWidth(20);
  for (int c = 0; c < 4; ++c) SetColumnWidth(c, 100);

  SetRowHeading(0, "Waveform cross correlation and template-matching", 1, 0);
  SetParamRow(1, "Time:", "shift=0.3", "Tb=1.0", "Ta=3.0", "Time shift and window");
  SetParamRow(2, "Taper:", "-", "Pb=0.0", "Pa=0.3", "Taper fractions");
  SetParamRow(3, "Filter:", "fL=0.1", "fH=0.0", "-", "Corner freq. of BPF, off when fH<fL");
  SetParamRow(4, "Thresholds:", "CC=0.5", "SNR=2.0", "-", "SS, SNR thresholds for detectig vent");
  SetParamRow(5, "SR(X,Y,Z)", "5", "5", "5", "searching distance");
  SetParamRow(6, "GN(X,Y,Z)", "5", "5", "5", "number of grds");
  SetParamRow(7, "Option:", "nTemp=1000", "Out=1", " ", "Maximum number of templates, output flag");
  const char* pathRows[3][2] = {{"T. Path..", "Pathe template seg2 files"},
                                {"C. Path..", "Path of AE seg2 files"},
                                {"O. Path..", "Path M-L results"}};
  for (int i = 0; i < 3; ++i) {
    SetParamRow(8 + i, pathRows[i][0], " ", "", "", pathRows[i][1]);
    JoinCells(1, 8 + i, 3, 8 + i);
  }
  SetParamRow(11, "F.S. #:", "0", "500", "0", "Scan AEs in given range of AE sequential number");
  SetRow(12, "Do..", " ", "", "", "Waveform correlation-based utilities");
  JoinCells(1, 12, 3, 12);
  SetOptionCellAt(1, 12,
                  "0: Load ML_CC parameters\n1: Save ML_CC parameters\n2: Cross correlation\n"
                  "3: Clusterization\n4: Matching & Location\n5: Lunch Sylvor_AE\n",
                  0);

  InitTMParameters(m_TMPars);
  TM_BaseFolders(doc->m_pWave->m_strPath, &m_TMPars.m_strTemplatePath, &m_TMPars.m_strWavePath,
                 &m_TMPars.m_strOutputPath);
  m_TMPars.m_nFirstAE = doc->m_pWave->m_nEvent;
  m_TMPars.m_nLastAE = doc->m_pWave->m_nEvent + 50;
  m_TMPars.m_bMeanRemoval = 0;
  ShowTMParameters(m_TMPars);
}

void CGridFun::ShowTMParameters(const TMPars& p) {
  char buf[64];
  for (const FloatCell& c : kFloatCells) {
    std::snprintf(buf, sizeof buf, "%.2f", p.*c.field);
    SetParamText(c.col, c.row, buf);
  }
  for (const IntCell& c : kIntCells) {
    std::snprintf(buf, sizeof buf, c.format, p.*c.field);
    SetParamText(c.col, c.row, buf);
  }
  std::snprintf(buf, sizeof buf, "%d", p.m_bMeanRemoval);
  SetParamText(3, 11, buf);
  SetParamText(1, 8, p.m_strTemplatePath.c_str());
  SetParamText(1, 9, p.m_strWavePath.c_str());
  SetParamText(1, 10, p.m_strOutputPath.c_str());
}

void CGridFun::GetTMParameters(TMPars& p) {
  for (const FloatCell& c : kFloatCells) p.*c.field = GetFloat(c.col, c.row, "=", 1);
  for (const IntCell& c : kIntCells) p.*c.field = static_cast<int>(GetFloat(c.col, c.row, "=", 1));
  GetText(p.m_strTemplatePath, 1, 8, nullptr);
  GetText(p.m_strWavePath, 1, 9, nullptr);
  GetText(p.m_strOutputPath, 1, 10, nullptr);
  p.m_fCCSimilar = 0.9f;
  p.m_nMaxEvents = 1000;
}

int CGridFun::DoTM(long, int, long row, long msg, long) {
  CTremviaDoc* doc = Doc();
  if (!doc || msg != SGN_BUTTON_UP) return 1;
  TMPars& p = m_TMPars;
  if (row >= 8 && row <= 10) {
    const char* titles[3] = {"Path of template files", "Path of AE waveform files",
                             "Path for output"};
    std::string* paths[3] = {&p.m_strTemplatePath, &p.m_strWavePath, &p.m_strOutputPath};
    const std::string folder = KZ_BrowseSg2Folder(titles[row - 8], 0);
    if (folder.empty()) return 1;
    *paths[row - 8] = folder;
    SetParamText(1, row, folder.c_str());
    RedrawCell(1, row);
    return 1;
  }
  if (row != 12) return 1;
  const int item = GetInt(1, 12);
  GetTMParameters(p);
  p.m_fVx = p.m_fVy = p.m_fVz = -1.0f;
  switch (item) {
    case 0: {
      const std::string path =
          KZ_OpenFileDialog("Open parameter file for Template-Matching", kTMFilter);
      if (!path.empty() && !ReadTMParameters(path, p))
        plat::AfxMessageBox("Can not read the parameter file " + path);
      break;
    }
    case 1: {
      const std::string path =
          KZ_SaveFileDialog("Save parameter file for Template-Matching", kTMFilter);
      if (!path.empty()) WriteTMParameters(path, p);
      break;
    }
    case 2: {
      // The correlation writes nothing without templates: say what is missing, or where
      // the tables went.
      const std::string& folder = p.m_strTemplatePath;
      if (folder.empty() || !plat::FolderExists(folder)) {
        plat::AfxMessageBox("Template folder not found: " + folder, MB_OK | MB_ICONEXCLAMATION);
        break;
      }
      const int n = TMContext::CrossCorrelateTemplates(folder, p);
      if (n < 1)
        plat::AfxMessageBox("No template files (T_*.*) in " + folder, MB_OK | MB_ICONEXCLAMATION);
      else
        plat::AfxMessageBox(plat::Format("Cross correlation of %d templates written to %s", n,
                                         (folder + "../CC_templates.txt").c_str()),
                            MB_OK | MB_ICONINFORMATION);
      break;
    }
    case 3:
      plat::AfxMessageBox("Under construction!");
      break;
    case 4: {
      const int n = static_cast<int>(GetFloat(3, 11, "=", 1));
      if (n <= 1) {
        TMContext ctx;
        ctx.RunTemplateMatching(p.m_strWavePath, p.m_strTemplatePath, p);
        break;
      }
      const std::string N = KZ_SaveFileDialog("Parameter file for ML_CC_AE", kTMFilter);
      if (N.empty()) break;
      WriteTMParameters(N, p);
      const std::string program = MatchingProgram();
      // The slices cover the last AE number too.
      char text[1200];
      for (int i = p.m_nFirstAE; i <= p.m_nLastAE; i += n) {
        std::snprintf(text, sizeof text, "%s;%05d;%05d;", N.c_str(), i, i + n - 1);
        plat::GetShell().ShellExecute("open", program, text, plat::SW_SHOW);
        (m_pfnWait ? m_pfnWait : KZ_WaitMs)(kStartPause);
      }
      break;
    }
    case 5:
      plat::GetShell().ShellExecute("open", MatchingProgram(), "", plat::SW_SHOW);
      break;
    default:
      break;
  }
  return 1;
}

int CGridFun::Seg2ToAEF() {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return 1;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  const int s = w.m_nEvent;
  const int records = h.GetNumAE();
  int count = 0;
  for (int i = s; i < records; ++i) {
    if (!h.GetAEH(i)) continue;
    // A locked record keeps its contents: the new flag byte would pass the lock check.
    if (h.m_Rec.nFlags & AEH_FLAG_LOCKED) continue;
    if (!w.OpenEvent(i)) continue;
    // The whole notes text: the detector's notes run past 126 characters, and the arrival
    // count and template index stand at their end.
    const std::string text(w.m_szComment, strnlen(w.m_szComment, sizeof w.m_szComment));
    const char* notes = text.c_str();
    if (!std::strstr(notes, "tected")) continue;
    const int channels = std::min(w.GetNumChannels(), static_cast<int>(w.m_pPickTime.size()));
    // The record holds no more arrivals than the experiment has sensors.
    const int n = std::min({channels, h.m_nSensors, AEH_MAX_SENSORS});
    std::vector<int> sensor(static_cast<std::size_t>(std::max(n, 0)));
    for (int ch = 0; ch < n; ++ch)
      sensor[ch] = ch < static_cast<int>(w.m_pSensor.size()) ? w.m_pSensor[ch] : ch;
    const int tpl = static_cast<int>(KZ_GetKeyFloat(notes, "Tpl=", -1.0f));
    if (tpl > -1) {
      AEHRecord scratch{};
      // Without its template's sensors the event's arrivals cannot be placed.
      if (!h.GetAEH(tpl, &scratch)) continue;
      for (int ch = 0; ch < n; ++ch) {
        sensor[ch] = scratch.nSensor[ch];
        if (ch < static_cast<int>(w.m_pSensor.size())) w.m_pSensor[ch] = scratch.nSensor[ch];
      }
    }
    AEHRecord& rec = h.m_Rec;
    rec.fCC = KZ_GetKeyFloat(notes, "CC=", 0.0f);
    rec.fSN1 = KZ_GetKeyFloat(notes, "sn1=", 0.0f);
    rec.fSN2 = KZ_GetKeyFloat(notes, "sn2=", 0.0f);
    rec.fT0 = KZ_GetKeyFloat(notes, "t0=", 0.0f);
    rec.fX = KZ_GetKeyFloat(notes, "x=", 0.0f);
    rec.fY = KZ_GetKeyFloat(notes, "y=", 0.0f);
    rec.fZ = KZ_GetKeyFloat(notes, "z=", 0.0f);
    rec.fDX = KZ_GetKeyFloat(notes, "dX=", 0.0f);
    rec.fDY = KZ_GetKeyFloat(notes, "dY=", 0.0f);
    rec.fDZ = KZ_GetKeyFloat(notes, "dZ=", 0.0f);
    const int m = static_cast<int>(KZ_GetKeyFloat(notes, "M=", 0.0f));
    rec.nArrivals = static_cast<std::int8_t>(std::clamp(m, 0, h.m_nSensors));
    rec.nFlags = AEH_FLAG_DETECTED;
    // A record never located has no velocities: take those of its time, or every travel
    // time, and with them the origin time, would be infinite.
    if (!(rec.fVx > 0.0f && rec.fVy > 0.0f && rec.fVz > 0.0f)) h.SetVelocityForTime();
    std::vector<float> residual;
    for (int ch = 0; ch < n; ++ch) {
      rec.fTime[ch] = w.m_pPickTime[ch];
      rec.fAmp[ch] = w.m_pPickAmp[ch];
      rec.fSN[ch] = w.m_pPickSN[ch];
      rec.nPolarity[ch] = static_cast<std::int8_t>(w.m_pPolarity[ch] & 0xFF);
      rec.nSensor[ch] = static_cast<std::int8_t>(sensor[ch]);
      const float r = w.m_pPickTime[ch] - h.TravelTime(ch);
      if (std::isfinite(r)) residual.push_back(r);
    }
    if (!residual.empty()) rec.fT0 = KZ_MedianF(residual.data(), static_cast<int>(residual.size()));
    h.PutAEH(i, true);
    ++count;
  }
  h.GetAEH(s);
  w.OpenEvent(s);
  return count;
}
