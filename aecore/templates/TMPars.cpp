#include "aecore/templates/TMPars.h"

#include <cstring>

#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_InetFile.h"
#include "platform/File.h"

void InitTMParameters(TMPars& p) {
  p.m_fTimeShift = 2.0f;
  p.m_fTimeBefore = 5.0f;
  p.m_fTimeAfter = 10.0f;
  p.m_fInterevent = 250.0f;
  p.m_fCCSimilar = 0.9f;
  p.m_fThresholdCC = 0.4f;
  p.m_fThresholdSNR = 2.0f;
  p.m_fLowCorner = 0.1f;
  p.m_fHighCorner = 3.0f;
  p.m_fTaperHead = 0.0f;
  p.m_fTaperTail = 0.3f;
  p.m_nMaxEvents = 1000;
  p.m_nTemplates = 1000;
  p.m_iTS = -1;
  p.m_iTE = -1;
  p.m_nMinStations = 4;
  p.m_nMaxMid = 12;
  p.m_bRedo = 0;
  p.m_fVx = p.m_fVy = p.m_fVz = -1.0f;
  p.m_fSearchX = p.m_fSearchY = p.m_fSearchZ = 3.0f;
  p.m_nGridX = p.m_nGridY = p.m_nGridZ = 6;
  p.m_nOutputFlag = 2;
  p.m_nFirstAE = 0;
  p.m_nLastAE = 499;
  p.m_bMeanRemoval = 0;
  p.m_strTemplatePath.clear();
  p.m_strWavePath.clear();
  p.m_strOutputPath.clear();
}

int WriteTMParameters(const std::string& path, const TMPars& p) {
  plat::File f;
  if (!f.Open(path, "wt")) return 0;
  auto d = [](float v) { return static_cast<double>(v); };
  f.Printf("!Parameters for template-matching of Halvic AEs\n");
  f.Printf("       P velocity Vx = %.2f\n", d(p.m_fVx));
  f.Printf("       P velocity Vy = %.2f\n", d(p.m_fVy));
  f.Printf("       P velocity Vz = %.2f\n", d(p.m_fVz));
  f.Printf("          Time shift = %.2f\n", d(p.m_fTimeShift));
  f.Printf("       Time before P = %.2f\n", d(p.m_fTimeBefore));
  f.Printf("        Time after P = %.2f\n", d(p.m_fTimeAfter));
  f.Printf("     Interevent time = %.0f\n", d(p.m_fInterevent));
  f.Printf("         Tenper head = %.2f\n", d(p.m_fTaperHead));
  f.Printf("         Tenper tail = %.2f\n", d(p.m_fTaperTail));
  f.Printf("    Lower corn freq. = %.2f\n", d(p.m_fLowCorner));
  f.Printf("    Upper corn. freq = %.2f\n", d(p.m_fHighCorner));
  f.Printf(" CC def. similar evt = %.2f\n", d(p.m_fCCSimilar));
  f.Printf("       Threshold CC  = %.2f\n", d(p.m_fThresholdCC));
  f.Printf("       Threshold SNR = %.2f\n", d(p.m_fThresholdSNR));
  f.Printf("Searching distance X = %.2f\n", d(p.m_fSearchX));
  f.Printf("Searching distance Y = %.2f\n", d(p.m_fSearchY));
  f.Printf("Searching distance Z = %.2f\n", d(p.m_fSearchZ));
  f.Printf("       Grid number X = %d\n", p.m_nGridX);
  f.Printf("       Grid number Y = %d\n", p.m_nGridY);
  f.Printf("       Grid number Z = %d\n", p.m_nGridZ);
  f.Printf("       Template path = \"%s\"\n", p.m_strTemplatePath.c_str());
  f.Printf("    AE waveform path = \"%s\"\n", p.m_strWavePath.c_str());
  f.Printf("         Output path = \"%s\"\n", p.m_strOutputPath.c_str());
  if (p.m_iTS < p.m_iTE)
    f.Printf(" Number of templates = %d iTS=%d iTE=%d\n", p.m_nTemplates, p.m_iTS, p.m_iTE);
  else
    f.Printf(" Number of templates = %d\n", p.m_nTemplates);
  f.Printf(" Max. number of evts = %d\n", p.m_nMaxEvents);
  f.Printf("         Output flag = %d\n", p.m_nOutputFlag);
  f.Printf("         Maximum Mid = %d\n", p.m_nMaxMid);
  f.Printf("Redo pre-detected ev = %d\n", p.m_bRedo);
  return 1;
}

namespace {

enum Kind { kFloat, kInt, kText, kTemplates };

struct Row {
  Kind kind;
  float TMPars::*f;
  int TMPars::*i;
  std::string TMPars::*s;
  float fDef;
  int iDef;
};

constexpr Row F(float TMPars::*m, float def) { return {kFloat, m, nullptr, nullptr, def, 0}; }
constexpr Row I(int TMPars::*m, int def) { return {kInt, nullptr, m, nullptr, 0.0f, def}; }
Row T(std::string TMPars::*m) { return {kText, nullptr, nullptr, m, 0.0f, 0}; }

// Rows 2 to 28 of the file in their order, with the defaults a missing value takes.
const Row kRows[] = {
    F(&TMPars::m_fVx, 7.0f),
    F(&TMPars::m_fVy, 7.0f),
    F(&TMPars::m_fVz, 7.0f),
    F(&TMPars::m_fTimeShift, 0.3f),
    F(&TMPars::m_fTimeBefore, 1.0f),
    F(&TMPars::m_fTimeAfter, 3.0f),
    F(&TMPars::m_fInterevent, 250.0f),
    F(&TMPars::m_fTaperHead, 0.0f),
    F(&TMPars::m_fTaperTail, 0.3f),
    F(&TMPars::m_fLowCorner, 0.1f),
    F(&TMPars::m_fHighCorner, 3.0f),
    F(&TMPars::m_fCCSimilar, 0.9f),
    F(&TMPars::m_fThresholdCC, 0.5f),
    F(&TMPars::m_fThresholdSNR, 2.0f),
    F(&TMPars::m_fSearchX, 0.5f),
    F(&TMPars::m_fSearchY, 0.5f),
    F(&TMPars::m_fSearchZ, 0.5f),
    I(&TMPars::m_nGridX, 5),
    I(&TMPars::m_nGridY, 5),
    I(&TMPars::m_nGridZ, 5),
    T(&TMPars::m_strTemplatePath),
    T(&TMPars::m_strWavePath),
    T(&TMPars::m_strOutputPath),
    {kTemplates, nullptr, &TMPars::m_nTemplates, nullptr, 0.0f, 1000},
    I(&TMPars::m_nMaxEvents, 1000),
    I(&TMPars::m_nOutputFlag, 2),
    I(&TMPars::m_nMaxMid, 12),
};

}  // namespace

int ReadTMParameters(const std::string& path, TMPars& p) {
  KZ_InetFile holder;
  plat::File* f = holder.Open(path, "rt");
  if (!f) return 0;
  // Lines of any length: a long folder path must not spill into the fields after it.
  std::string line;
  bool more = true;
  for (const Row& r : kRows) {
    // Past the last data line every remaining field takes its default rather than
    // whatever the line buffer last held.
    if (more) more = KZ_ReadDataLine(line, f) == 1;
    const char* text = more ? line.c_str() : "";
    switch (r.kind) {
      case kFloat:
        p.*r.f = KZ_GetKeyFloat(text, "=", r.fDef);
        break;
      case kInt: {
        int v = r.iDef;
        p.*r.i = KZ_GetKeyInt(text, "=", &v);
        break;
      }
      case kText:
        p.*r.s = KZ_GetKeyString(text, "=", "");
        break;
      case kTemplates: {
        int n = r.iDef, ts = -1, te = -1;
        p.m_nTemplates = KZ_GetKeyInt(text, "=", &n);
        p.m_iTS = KZ_GetKeyInt(text, "iTS=", &ts);
        p.m_iTE = KZ_GetKeyInt(text, "iTE=", &te);
        break;
      }
    }
  }
  p.m_nMinStations = 4;
  // Optional switches after the fixed rows, recognised by a word of their label.
  while (more && KZ_ReadDataLine(line, f) == 1) {
    if (line.find("all") != std::string::npos) {
      int v = 0;
      p.m_bRedo = KZ_GetKeyInt(line.c_str(), "=", &v);
    }
    if (line.find("mean") != std::string::npos) {
      int v = 0;
      p.m_bMeanRemoval = KZ_GetKeyInt(line.c_str(), "=", &v);
    }
  }
  holder.Close();
  return 1;
}
