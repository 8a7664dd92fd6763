#include <algorithm>
#include <cmath>
#include <cstdio>

#include "aecore/templates/TMContext.h"
#include "platform/FileSystem.h"

namespace {

std::string Numbered(const std::string& folder, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "%06d.sg2", n);
  return folder + name;
}

}  // namespace

int TMContext::ScanLongRecord(const std::string& path, const std::string& templateFolder,
                              TMPars& p) {
  TMTemplateArray templates;
  if (!StartScan(templateFolder, p, &templates)) return 0;
  const bool filter = p.m_fLowCorner < p.m_fHighCorner;
  const KZ_WaveDataSeg2* ref = templates[0].get();
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
  const int S = ref->GetTrace(0)->m_n;
  const std::int64_t K = 1000 * static_cast<std::int64_t>(std::floor(0.001 * S));
  const std::int64_t L = std::max<std::int64_t>(K + K / 10, 1);

  // Chunks are read with margins so that every lag of a chunk's own share [i L, (i+1) L)
  // is examined with its full noise windows, grid shifts and room to climb to its peak;
  // neighbouring chunks overlap by these margins and each lag belongs to one chunk only.
  double vmin = std::min({std::fabs(p.m_fVx), std::fabs(p.m_fVy), std::fabs(p.m_fVz)});
  double vmax = std::max({std::fabs(p.m_fVx), std::fabs(p.m_fVy), std::fabs(p.m_fVz)});
  if (!(vmin > 0.0)) vmin = vmax = 1.0;
  const double reach = std::sqrt(static_cast<double>(p.m_fSearchX) * p.m_fSearchX +
                                 static_cast<double>(p.m_fSearchY) * p.m_fSearchY +
                                 static_cast<double>(p.m_fSearchZ) * p.m_fSearchZ);
  const std::int64_t shiftMargin =
      static_cast<std::int64_t>(
          std::ceil(reach * (2.0 + vmax * vmax / (vmin * vmin)) / (vmin * m_fDt))) +
      1;
  // The band-pass starts afresh in every chunk: ten periods of the lower corner let it settle.
  const std::int64_t settle = filter && p.m_fLowCorner > 0.0f
                                  ? static_cast<std::int64_t>(10.0 / p.m_fLowCorner / m_fDt)
                                  : 0;
  const std::int64_t before = m_nGap + m_nNoiseLen + shiftMargin + settle;
  const std::int64_t after =
      S + 3 * static_cast<std::int64_t>(m_nWin) + m_nGap + m_nNoiseLen + shiftMargin;

  Log("  Start to scan AE from %d through %d\n", p.m_nFirstAE, p.m_nLastAE);
  KZ_WaveDataSeg2 rec;
  std::int64_t total = -1;  // samples per channel, known after the first read
  int scanned = 0, detected = 0;
  m_written.clear();
  for (int i = p.m_nFirstAE; i <= p.m_nLastAE; ++i) {
    Log("  Loading %s: %d...", path.c_str(), i);
    const std::int64_t own = static_cast<std::int64_t>(i) * L;
    const std::int64_t start = std::max<std::int64_t>(own - before, 0);
    std::int64_t end = own + L + after;
    if (total >= 0) end = std::min(end, total);
    bool ok = i >= 0 && (total < 0 || own < total) && end - start > m_nWin;
    if (ok) {
      ok = KZ_WaveData_ReadLongRange(path, rec.m_header, rec.m_traces, start, end) == 1;
      if (!ok && total < 0) {
        // The recording may end inside this chunk: its length from the file size and the
        // channel count, then the part that is there.
        const std::size_t channels =
            rec.m_traces.empty() ? static_cast<std::size_t>(KZ_LongRecordDescription().Count())
                                 : rec.m_traces.size();
        const auto bytes = plat::FileSize(path);
        if (channels > 0 && bytes) {
          total = static_cast<std::int64_t>(*bytes / channels / 2);
          end = std::min(end, total);
          ok = own < total && end - start > m_nWin &&
               KZ_WaveData_ReadLongRange(path, rec.m_header, rec.m_traces, start, end) == 1;
        }
      }
    }
    if (!ok) {
      Log(" EOF reached !\n");
      ReopenLog();
      break;
    }
    Log(" !\n");
    ReopenLog();
    if (filter) {
      rec.BackupSamples();
      rec.Filter(p.m_fLowCorner, p.m_fHighCorner);
    }
    for (int c = 0; c < rec.Count(); ++c) {
      KZ_WaveTrace* t = rec.GetTrace(c);
      t->SetPick(-1, 0.0f);
      t->SetPickAmplitude(0.0);
      t->m_nPolarity = 0;
    }
    rec.m_strPath = Numbered(p.m_strOutputPath, p.m_nFirstAE + detected);
    rec.m_nEvent = p.m_nFirstAE + detected;
    ScanPlan plan;
    plan.chunk = true;
    plan.origin = start;
    plan.ownFrom = own;
    plan.ownTo = own + L;
    // Detections long behind this chunk cannot be seen again.
    const double horizon = (start - 1) * static_cast<double>(m_fDt) - 2.0 * p.m_fInterevent;
    m_written.erase(
        std::remove_if(m_written.begin(), m_written.end(), [&](double w) { return w < horizon; }),
        m_written.end());
    detected += Detect(rec, templates, p.m_nTemplates, p, plan);
    ++scanned;
  }
  templates.clear();
  EndRun(scanned, detected);
  return detected;
}
