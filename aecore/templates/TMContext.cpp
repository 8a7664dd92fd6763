#include "aecore/templates/TMContext.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_DateTime.h"
#include "platform/FileSystem.h"

namespace {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list copy;
  va_copy(copy, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) std::vsnprintf(s.data(), s.size() + 1, fmt, ap);
  va_end(ap);
  return s;
}

std::string Now() {
  std::string s;
  return KZ_NowString(s, false);
}

// The event number in the first six characters of a file name (0 when none).
int NumberOfName(const std::string& name) {
  char head[7] = {};
  std::strncpy(head, name.c_str(), 6);
  int v = 0;
  std::sscanf(head, "%d", &v);
  return v;
}

void ClearPicks(KZ_WaveData& w) {
  for (int c = 0; c < w.Count(); ++c) {
    KZ_WaveTrace* t = w.GetTrace(c);
    t->SetPick(-1, 0.0f);
    t->SetPickAmplitude(0.0);
    t->m_nPolarity = 0;
  }
}

}  // namespace

TMContext::~TMContext() = default;

void TMContext::Log(const char* fmt, ...) {
  if (!m_fpLog) return;
  va_list ap;
  va_start(ap, fmt);
  char small[512];
  va_list copy;
  va_copy(copy, ap);
  const int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
    m_fpLog->Puts(small);
  } else if (n > 0) {
    std::string big(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(big.data(), big.size() + 1, fmt, ap);
    m_fpLog->Puts(big);
  }
  va_end(ap);
}

int TMContext::OpenLog(const std::string& path) {
  m_fpLog.reset();
  auto f = std::make_unique<plat::File>();
  if (f->Open(path, "wt")) m_fpLog = std::move(f);
  m_szLogPath = path;
  return 1;
}

plat::File* TMContext::ReopenLog() {
  if (m_fpLog) m_fpLog.reset();
  if (m_szLogPath.empty()) return nullptr;
  auto f = std::make_unique<plat::File>();
  if (f->Open(m_szLogPath, "a+t")) m_fpLog = std::move(f);
  return m_fpLog.get();
}

TMTemplateArray TMContext::LoadTemplates(const std::string& folder, TMPars& p) {
  const bool lazy = p.m_nTemplates <= 0;
  p.m_nTemplates = std::abs(p.m_nTemplates);
  TMTemplateArray set;
  for (int i = 0; i < p.m_nTemplates; ++i) set.push_back(std::make_unique<KZ_WaveDataSeg2>());
  const int lo = p.m_iTS < 0 ? 0 : p.m_iTS;
  const int hi = p.m_iTE > -1 ? p.m_iTE : p.m_nTemplates - 1;
  Log("\n Load templates from %s\n", folder.c_str());
  int i = 0;
  if (p.m_nTemplates > 0) {
    for (const plat::FindData& fd : plat::FindFiles(folder + "*.sg2")) {
      if (fd.isFolder || fd.name.empty() || fd.name[0] == '.') continue;
      // The lazy mode keeps the first template of the range in memory: it is the one the
      // run takes its window lengths from.
      const bool load = (!lazy || i == lo) && lo <= i && i <= hi;
      const std::string path = folder + fd.name;
      KZ_WaveDataSeg2& rec = *set[static_cast<std::size_t>(i)];
      if (load) {
        Log("  loading %s (%d)...", fd.name.c_str(), i);
        if (!rec.Load(path, 1, 0, 0)) {
          rec.Clear(false);
          Log(" failed !\n");
          ReopenLog();
          continue;
        }
      } else {
        Log("  template %s (%d)...", fd.name.c_str(), i);
      }
      rec.m_nEvent = NumberOfName(fd.name);
      rec.m_strPath = path;
      Log(" !\n");
      ReopenLog();
      if (++i >= p.m_nTemplates) break;
    }
  }
  set.resize(static_cast<std::size_t>(i));
  p.m_nTemplates = i;
  Log("number of template: %d\n\n", i);
  return set;
}

bool TMContext::SetupFromReference(const KZ_WaveData& ref, const TMPars& p) {
  const KZ_WaveTrace* t = ref.GetTrace(0);
  if (!t) return false;
  const float dt = static_cast<float>(t->m_fInterval);
  if (!(dt > 0.0f)) return false;
  m_fDt = dt;
  m_nSta = ref.Count();
  m_nWin = static_cast<int>((p.m_fTimeBefore + p.m_fTimeAfter) / dt);
  m_nBefore = static_cast<int>(std::floor(p.m_fTimeBefore / dt + 0.5f));
  m_nNoiseLen = static_cast<int>(5.0f / dt);
  m_nGap = static_cast<int>(2.0f / dt);
  m_nLen = t->m_n - m_nWin - 1;
  if (m_nWin < 1 || m_nLen < 1) return false;
  m_pUsedSta.assign(static_cast<std::size_t>(m_nSta), 0);
  m_pSlowness.assign(static_cast<std::size_t>(m_nSta), KZ_Vector3D());
  m_pAmpRatio.assign(static_cast<std::size_t>(m_nSta), 0.0f);
  m_ppLabel.assign(static_cast<std::size_t>(m_nSta) + 1, std::string());
  m_ppCC.assign(static_cast<std::size_t>(m_nSta) + 1, std::vector<float>());
  m_spec.clear();
  m_specBlock.clear();
  m_written.clear();
  return true;
}

void TMContext::ReleaseArrays() {
  m_pUsedSta.clear();
  m_pSlowness.clear();
  m_ppCC.clear();
  m_pAmpRatio.clear();
  m_ppLabel.clear();
  m_spec.clear();
  m_specBlock.clear();
  m_written.clear();
}

void TMContext::EndRun(int scanned, int detected) {
  ReleaseArrays();
  Log(" Ended: %d / %d events scanned/detected. %s\n", scanned, detected, Now().c_str());
  m_fpLog.reset();
  if (m_szLogPath.size() >= 4) {
    const std::string ok = m_szLogPath.substr(0, m_szLogPath.size() - 4) + "_OK.txt";
    plat::DeleteFile(ok);  // a finished run of the same range replaces the earlier mark
    plat::RenameFile(m_szLogPath, ok);
  }
}

bool TMContext::StartScan(const std::string& templateFolder, TMPars& p,
                          TMTemplateArray* templates) {
  OpenLog(p.m_strOutputPath + Format("Log_%06d_%06d.txt", p.m_nFirstAE, p.m_nLastAE));
  *templates = LoadTemplates(templateFolder, p);
  if (p.m_nTemplates < 1) {
    Log(" !Number of templates is 0 in %s\n", templateFolder.c_str());
    m_fpLog.reset();
    return false;
  }
  if (p.m_fLowCorner < p.m_fHighCorner) {
    Log("  Start IIR filtering  %s...\n", Now().c_str());
    for (auto& t : *templates)
      if (t->Count() > 0) t->Filter(p.m_fLowCorner, p.m_fHighCorner);
    Log("  End of IIR filtering %s.", Now().c_str());
  }
  return true;
}

int TMContext::RunTemplateMatching(const std::string& wavePath, const std::string& templateFolder,
                                   TMPars& p) {
  if (wavePath.find(".lng") != std::string::npos)
    return ScanLongRecord(wavePath, templateFolder, p);
  TMTemplateArray templates;
  if (!StartScan(templateFolder, p, &templates)) return 0;
  const bool filter = p.m_fLowCorner < p.m_fHighCorner;
  // The reference sets the window lengths: the first template of the range, or the first
  // one loaded when that is empty.
  const KZ_WaveDataSeg2* ref =
      templates[static_cast<std::size_t>(std::min(std::max(p.m_iTS, 0), p.m_nTemplates - 1))].get();
  if (ref->Count() == 0)
    for (auto& t : templates)
      if (t->Count() > 0) {
        ref = t.get();
        break;
      }
  if (!SetupFromReference(*ref, p)) {
    Log(" !Number of templates is 0 in %s\n", templateFolder.c_str());
    m_fpLog.reset();
    return 0;
  }
  Log("  Start to scan AE from %d through %d\n", p.m_nFirstAE, p.m_nLastAE);
  KZ_WaveDataSeg2 rec;
  int scanned = 0, detected = 0;
  for (int i = p.m_nFirstAE; i <= p.m_nLastAE; ++i) {
    bool isTemplate = false;
    for (auto& t : templates) isTemplate |= t->m_nEvent == i;
    if (isTemplate) {
      Log("  Skip template event (AE#=%d)\n", i);
      continue;
    }
    const std::string file = wavePath + Format("%06d.sg2", i);
    Log("  Loading %s...", file.c_str());
    if (!rec.Load(file, 1, 0, 0)) {
      Log(" failed or non-existent!\n");
      ReopenLog();
      continue;
    }
    const bool marked = std::strstr(rec.m_header.szComments, "tected") != nullptr;
    if (marked && p.m_bRedo == 0) {
      Log("  Skip event detected by prev. run(s)\n");
      continue;
    }
    int mid = 0;
    KZ_GetKeyInt(rec.m_header.szComments, "M=", &mid);
    if (!marked && mid > 0 && mid >= p.m_nMaxMid) {
      Log("  Skip well located event (Mid=%d)\n", mid);
      continue;
    }
    rec.m_strPath = file;
    rec.m_nEvent = i;
    Log(" !\n");
    ReopenLog();
    if (filter) {
      rec.BackupSamples();
      rec.Filter(p.m_fLowCorner, p.m_fHighCorner);
    }
    ClearPicks(rec);
    if (DetectEvents(rec, templates, p.m_nTemplates, p) > 0) {
      ++detected;
    } else if (p.m_bRedo != 0 && marked) {
      // The earlier detection was not confirmed: its mark goes, the samples stay raw.
      if (filter) rec.RestoreSamples();
      KZ_CopyText(rec.m_header.szComments, " ");
      rec.SaveSeg2(file, 0, 0, 1);
    }
    ++scanned;
  }
  templates.clear();
  EndRun(scanned, detected);
  return detected;
}
