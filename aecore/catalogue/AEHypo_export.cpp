// hypoDD input files and the up/down ratio sheet of the catalogue engine.
#include <algorithm>
#include <cmath>

#include "aecore/catalogue/AEExportFile.h"
#include "aecore/catalogue/AEHypo.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"

int CAEHypo::WriteHypoDD(double t1, double length) {
  // The files go into the chosen folder by their full paths; the current directory of
  // the process stays as it was.
  const std::string folder = KZ_BrowseSg2Folder("Working folder of hypoDD", 0);
  if (folder.empty()) return 0;
  AERecordKeeper keep(*this);

  AEExportFile station(folder + "station.dat");
  for (int k = 1; k <= m_nSensors; ++k) {
    const KZ_Point3D& p = m_pSensorXYZ[k - 1];
    station.Printf("AE%03d %.4f %.4f %.4f\n", k, static_cast<double>(static_cast<float>(p.x)),
                   static_cast<double>(static_cast<float>(p.y)),
                   static_cast<double>(static_cast<float>(p.z)));
  }
  if (!station.Commit()) return 0;

  AEExportFile phase(folder + "phase.pha");
  const double base =
      std::trunc(PeakOffset() + (static_cast<double>(m_fStartFrac) - m_fRefFrac)) + t1;
  {
    std::int64_t s = plat::MakeLocalTime(m_tmStart).value_or(0) + static_cast<std::int64_t>(t1);
    std::tm t = plat::LocalTime(s).value_or(std::tm{});
    phase.Printf("Phase data (AE). START_TIME: %04d/%02d/%02d %02d:%02d:%05.2f\n", t.tm_year + 1900,
                 t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, static_cast<double>(t.tm_sec));
  }
  int written = 0;
  for (int i = 0; i < m_nAE; ++i) {
    if (!GetAEH(i)) continue;
    const AEHRecord& r = m_Rec;
    if (r.nArrivals < m_nMinArrivals) continue;
    const double t = r.nTimeSec + r.nTimeUs * 1e-6 - base;
    if (t < 0.0) continue;
    if (t > length) break;
    phase.Printf("# %.4f %.4f %.4f %.4f %.2f 0 0 0 %d\n", t, r.fX, r.fY, r.fZ, r.fMw, i);
    const int n = std::min<int>(r.nArrivals, std::min(m_nSensors, AEH_MAX_SENSORS));
    for (int k = 0; k < n; ++k) {
      const double w = std::clamp(0.2 * r.fSN[k], 0.0, 1.0);
      phase.Printf("AE%03d %.2f %.2f P\n", r.nSensor[k] + 1,
                   static_cast<double>(r.fTime[k]) - r.fT0, w == w ? w : 0.0);
    }
    ++written;
  }
  if (!phase.Commit()) return 0;
  return written;
}

int CAEHypo::FillUDRatioSheet(KZ_MultiVarObj* sheet, const AEEventList& list, double t1, double t2,
                              int n) {
  if (list.size() < 10) return 0;
  AERecordKeeper keep(*this);
  const int entries = static_cast<int>(list.size());
  sheet->SetSize(10, entries);
  sheet->m_nColumns = 10;
  double** d = sheet->m_ppData.data();
  int rows = 0;
  for (const auto& e : list) {
    if (e->time < t1) continue;
    if (e->time > t2) break;
    if (e->arrivals < m_nMinArrivals) continue;
    GetAEH(e->record);
    int up = 0, down = 0;
    const double r = GetUDRatio(&up, &down);
    if (r < 0.0) continue;
    d[0][rows] = rows;
    d[1][rows] = e->time - t1;
    d[2][rows] = e->arrivals;
    d[3][rows] = r;
    d[7][rows] = e->Mw;
    d[8][rows] = e->iso;
    d[9][rows] = e->clvd;
    ++rows;
  }
  // Blocks of w rows; a block size below 1, or fewer rows than one block, makes all the
  // rows one block.
  int w = n;
  if (w < 1 || rows < w) w = rows;
  int done = 0;
  if (w > 0) {
    for (int s = 0; s + w <= rows; s += w) {
      int T = 0, S = 0, C = 0;
      for (int i = s; i < s + w; ++i) {
        if (d[3][i] >= 0.75)
          ++T;
        else if (d[3][i] <= 0.25)
          ++C;
        else
          ++S;
      }
      const double fT = static_cast<double>(T) / w, fS = static_cast<double>(S) / w,
                   fC = static_cast<double>(C) / w;
      for (int i = s; i < s + w; ++i) {
        d[4][i] = fT;
        d[5][i] = fT + fS;
        d[6][i] = fT + fS + fC;
      }
      done = s + w;
    }
  }
  for (int i = std::max(done, 1); i < rows; ++i)
    for (int c = 4; c <= 6; ++c) d[c][i] = d[c][i - 1];
  KZ_Var1D* col = sheet->m_Columns.data();
  col[0].SetAll(rows, 0, rows, "AE#", " ", 1);
  col[1].SetAll(rows, 0, t2 - t1, "Time", "s", 0);
  col[2].SetAll(rows, m_nMinArrivals, m_nSensors, "nM", " ", 0);
  col[3].SetAll(rows, 0, 1, "U/(U+D)", " ", 0);
  col[4].SetAll(rows, 0, 1, "T", " ", 2);
  col[5].SetAll(rows, 0, 1, "T+S", " ", 2);
  col[6].SetAll(rows, 0, 1, "T+S+C", " ", 0);
  col[7].SetAll(rows, 0, 5, "Mw", " ", 0);
  col[8].SetAll(rows, 0, 1, "ISO", " ", 0);
  col[9].SetAll(rows, 0, 1, "LCD", " ", 0);
  sheet->m_nRows = rows;
  sheet->m_nHeaders = 1;
  sheet->m_strHeader[0] = plat::Format("Up down ratio. %s, %s", m_strTitle.c_str(),
                                       KZ_GetFileName(m_strParFile, 0).c_str());
  // The reference time with its fraction of a second, moved on by t1.
  const double jd =
      KZ_JulianDay(m_tmRef.tm_year + 1900, m_tmRef.tm_mon + 1, m_tmRef.tm_mday, m_tmRef.tm_hour,
                   m_tmRef.tm_min, static_cast<float>(m_tmRef.tm_sec + m_fRefFrac), 0.0f) +
      t1 / 86400.0;
  std::string text;
  sheet->m_strHeader[1] = "START_TIME: " + KZ_JulianDayString(text, jd, 0.0f);
  return rows;
}
