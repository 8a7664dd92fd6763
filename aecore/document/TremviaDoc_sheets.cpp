// Event sheet, AE density map, peak matching and the hypoDD files of the document.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "aecore/catalogue/AEExportFile.h"
#include "aecore/document/TremviaDoc.h"
#include "aecore/document/TremviaDoc_exportutil.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/types/KZ_Var2D.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/UiServices.h"

namespace {
constexpr std::uint32_t kAxisX = 1, kAxisY = 2, kAxisNone = 0;
}

int CTremviaDoc::FillEventSheet(KZ_MultiVarObj* sheet, int minArrivals) {
  if (m_EventList.empty()) return 0;
  CAEHypo& h = *m_pHypo;
  AERecordKeeper keep(h);
  const int entries = static_cast<int>(m_EventList.size());
  // Room for every column the sheet can get, whatever capacity it had.
  sheet->SetSize(19, entries);
  const bool pulser = m_strParFile.find("VM") != std::string::npos;
  const KZ_TSdata* ts = aedoc::HasSeries(m_pTS.get()) ? m_pTS.get() : nullptr;
  const double offTS = aedoc::SeriesOffset(h, ts);
  const double wStart = m_fTimeStart, wEnd = m_fTimeStart + m_fTimeSpan;
  const int cols = 12 + (pulser ? 4 : 0) + (ts ? 3 : 0);
  int k = 0, r = 0;
  for (const auto& e : m_EventList) {
    const int p = h.m_PulserSensor[k];
    if (++k >= h.m_nPulsers) k = 0;
    if (e->time < wStart) continue;
    if (e->time > wEnd) break;
    if (e->arrivals < minArrivals) continue;
    h.GetAEH(e->record);
    int up = 0, down = 0;
    h.GetUDRatio(&up, &down);
    const AEHRecord& rec = h.m_Rec;
    double v[19];
    int c = 0;
    v[c++] = e->record;
    v[c++] = e->time;
    v[c++] = e->x;
    v[c++] = e->y;
    v[c++] = e->z;
    if (pulser) {
      const KZ_Point3D s = (p >= 0 && p < AEH_MAX_POINTS) ? h.m_pSensorXYZ[p] : KZ_Point3D{};
      v[c++] = p;
      v[c++] = e->x - s.x;
      v[c++] = e->y - s.y;
      v[c++] = e->z - s.z;
    }
    v[c++] = e->Mw;
    // The same law as the catalogue table and the b-value statistics: log10 of Fc.
    v[c++] = rec.fFc > 0.01f ? h.m_fMagFcSlope * std::log10(rec.fFc) + h.m_fMagFcConst : -19.0;
    v[c++] = rec.fFc;
    v[c++] = up;
    v[c++] = down;
    v[c++] = rec.nArrivals;
    v[c++] = rec.nFlags;
    if (ts) {
      int i = 0;
      v[c++] = ts->ValueAtTime((e->time + offTS) * 1000.0, 0, &i);
      v[c++] = aedoc::ChannelValue(*ts, 1, i);
      v[c++] = aedoc::ChannelValue(*ts, 2, i);
    }
    for (int j = 0; j < c; ++j) sheet->m_ppData[j][r] = v[j];
    ++r;
  }
  auto set = [&](int c, double lo, double hi, const char* title, const char* unit,
                 std::uint32_t axis) { sheet->m_Columns[c].SetAll(r, lo, hi, title, unit, axis); };
  int c = 0;
  const double first = r > 0 ? sheet->m_ppData[0][0] : 0.0;
  const double last = r > 0 ? sheet->m_ppData[0][r - 1] : 1.0;
  set(c++, KZ_NiceFloor(first), KZ_NiceCeil(last), "AEno", " ", kAxisX);
  set(c++, KZ_NiceFloor(wStart), KZ_NiceCeil(wEnd), "Time", "s", kAxisNone);
  const double hx = 0.5 * std::max(h.m_fDiameter, h.m_fSizeX);
  const double hy = 0.5 * std::max(h.m_fDiameter, h.m_fSizeY);
  set(c++, -hx, hx, "X", "mm", kAxisNone);
  set(c++, -hy, hy, "Y", "mm", kAxisNone);
  set(c++, -0.5 * h.m_fSizeZ, 0.5 * h.m_fSizeZ, "Z", "mm", kAxisNone);
  if (pulser) {
    set(c++, 0, 25, "p#", " ", kAxisNone);
    set(c++, -5, 5, "dX", "mm", kAxisNone);
    set(c++, -5, 5, "dY", "mm", kAxisNone);
    set(c++, -5, 5, "dZ", "mm", kAxisNone);
  }
  // The plotted columns keep their usual ranges unless their values leave them (the
  // magnitudes of laboratory events lie far below 0): then the values' nice range, so
  // that every point stands inside its axis.
  auto plotted = [&](int col, double lo, double hi, const char* title, const char* unit) {
    double mn = lo, mx = hi;
    for (int i = 0; i < r; ++i) {
      mn = std::min(mn, sheet->m_ppData[col][i]);
      mx = std::max(mx, sheet->m_ppData[col][i]);
    }
    if (mn < lo || mx > hi) {
      mn = mx = sheet->m_ppData[col][0];
      for (int i = 1; i < r; ++i) {
        mn = std::min(mn, sheet->m_ppData[col][i]);
        mx = std::max(mx, sheet->m_ppData[col][i]);
      }
      lo = KZ_NiceFloor(mn);
      hi = KZ_NiceCeil(mx);
      if (!(hi > lo)) hi = lo + 1;
    }
    set(col, lo, hi, title, unit, kAxisY);
  };
  plotted(c++, 0, 4, "M(Amp)", " ");
  plotted(c++, 0, 4, "M(Fc)", " ");
  plotted(c++, 0, 1, "Fc", "MHz");
  set(c++, 0, h.m_nSensors, "Up", " ", kAxisNone);
  set(c++, 0, h.m_nSensors, "Down", " ", kAxisNone);
  set(c++, 0, h.m_nSensors, "N", " ", kAxisNone);
  set(c++, 0, 32, "Flag", " ", kAxisNone);
  if (ts) {
    for (int ch = 0; ch < 3; ++ch) {
      float mx = 0.0f, mn = 0.0f;
      if (ch < ts->m_nChannels) ts->GetRange(ch, &mx, &mn);
      std::string name, unit;
      if (ch < ts->m_nChannels) {
        name.assign(ts->m_pChannel[ch].szName, strnlen(ts->m_pChannel[ch].szName, 64));
        unit.assign(ts->m_pChannel[ch].szUnit, strnlen(ts->m_pChannel[ch].szUnit, 16));
      }
      set(c++, KZ_NiceFloorF(mn), KZ_NiceCeilF(mx), name.c_str(), unit.c_str(),
          ch == 0 ? kAxisY : kAxisNone);
    }
  }
  sheet->m_nColumns = cols;
  sheet->m_nRows = r;
  sheet->m_nHeaders = 1;
  sheet->m_strHeader[0] = plat::Format("Experiment: %s\n", h.m_strTitle.c_str());
  sheet->m_strHeader[1] = aedoc::StartTimeLine(h, wStart);
  return r;
}

int CTremviaDoc::AEDensityMap(const std::string& path, int nx, int ny, int nt, int minArrivals,
                              float maxDistance) {
  if (nx < 1 || ny < 1 || nt < 1 || !(m_fTimeSpan > 0.0)) {
    plat::AfxMessageBox("Density map: the grid needs at least one cell and one time slice.",
                        MB_ICONEXCLAMATION);
    return 0;
  }
  CAEHypo& h = *m_pHypo;
  plat::File f;
  if (!f.Open(path, "w+b")) {
    plat::AfxMessageBox(path + " cannot be created.", MB_ICONEXCLAMATION);
    return 0;
  }
  aedoc::FaultFrame fr(h.m_fFaultAzimuth, h.m_fFaultDip);
  double** m = KZ_AllocMatrix64(nx, ny);
  if (!m) {
    f.Close();
    AE_RemoveFailedFile(path);
    return 0;
  }
  KZ_Var2D var;
  var.SetData("AE density", "1/(cm*cm*s)", m, nullptr, nx, ny, 0, 0.0, 0.0, 1.0, 0, 0);
  const double off = h.PeakOffset();
  const double tS = off + m_fTimeStart;
  const double dt = m_fTimeSpan / nt;
  const float L1 = h.m_fFaultLen, L2 = h.m_fFaultWidth;
  const double c1 = 2.0 * L2 / nx, c2 = 2.0 * L1 / ny;
  const double factor = 100.0 / (c1 * c2 * dt);
  double lo = 1e9, hi = -1e9;
  bool ok = true;
  for (int s = 0; s < nt; ++s) {
    const double t0 = tS + s * dt, t1 = t0 + dt;
    for (int i = 0; i < nx; ++i) std::fill(m[i], m[i] + ny, 0.0);
    for (const auto& e : m_EventList) {
      if (e->time < t0) continue;
      if (e->time > t1) break;
      if (e->arrivals < minArrivals) continue;
      const float d[3] = {e->x - h.m_fFaultX, e->y - h.m_fFaultY, e->z - h.m_fFaultZ};
      if (std::fabs(fr.Dot(d, fr.a)) > maxDistance) continue;
      const double ui = (fr.Dot(d, fr.b) + L2) / c1, uj = (fr.Dot(d, fr.n) + L1) / c2;
      if (!(ui >= 0.0 && ui < nx && uj >= 0.0 && uj < ny)) continue;
      m[static_cast<int>(ui)][static_cast<int>(uj)] += 1.0;
    }
    for (int i = 0; i < nx; ++i)
      for (int j = 0; j < ny; ++j) m[i][j] *= factor;
    var.UpdateRange();
    for (int i = 0; i < nx; ++i)
      for (int j = 0; j < ny; ++j) {
        lo = std::min(lo, m[i][j]);
        hi = std::max(hi, m[i][j]);
      }
    const double centre = 0.5 * (t0 + t1);
    if (s == 0) {
      ok = ok && var.SaveGridFile(&f, -L2, L2, -L1, L1, "Time (ms)", centre, h.m_strTitle, 8);
    } else {
      std::uint8_t b[8];
      le::PutF64(b, centre);
      ok = ok && f.Write(b, 8) == 8 && var.WriteTo(&f, 'b', 8);
    }
  }
  var.m_dMin = lo;
  var.m_dMax = hi;
  ok = ok && var.WriteGridHeader(&f, -L2, L2, -L1, L1, nt, h.m_strTitle, 8) && f.Flush();
  f.Close();
  KZ_FreeMatrix(m);
  if (!ok) {
    AE_RemoveFailedFile(path);
    plat::AfxMessageBox(path + " could not be written.", MB_ICONEXCLAMATION);
    return 0;
  }
  return 1;
}

void CTremviaDoc::ReplaceFromPeaks() {
  if (m_EventList.empty()) return;
  CAEHypo& h = *m_pHypo;
  const CAEPeak& pk = *m_pPeak[0];
  const int keptIndex = h.m_Rec.nIndex;
  int newLevel = -1000;
  int changed = 0;
  const int count = h.GetNumAE();
  {
    AERecordKeeper keep(h);
    const double off = h.PeakOffset();
    int j = 0;
    for (int i = 0; i < count; ++i) {
      if (!h.GetAEH(i)) continue;
      const double t = h.m_Rec.nTimeSec + h.m_Rec.nTimeUs * 1e-6 - off;
      while (j < pk.m_nCount && pk.GetTime(j) < t) ++j;
      if (j >= pk.m_nCount) break;
      const int jm = std::max(j - 1, 0);
      const double d1 = std::fabs(pk.GetTime(jm) - t), d2 = std::fabs(pk.GetTime(j) - t);
      if (std::min(d1, d2) > 1.0) continue;
      h.m_Rec.nPeakLevel = static_cast<std::int8_t>(d2 < d1 ? pk.m_pLevel[j] : pk.m_pLevel[jm]);
      // Locked records are refused by the write and not counted as replaced.
      if (h.PutAEH(i, true)) {
        ++changed;
        if (i == keptIndex) newLevel = h.m_Rec.nPeakLevel;
      }
    }
    // The record being edited keeps its own values but takes its new level.
    if (newLevel != -1000) keep.Saved().nPeakLevel = static_cast<std::int8_t>(newLevel);
  }
  plat::AfxMessageBox(plat::Format("Replace %d of %d", changed, count), MB_OK);
}

int CTremviaDoc::SaveHypoDD() { return m_pHypo->WriteHypoDD(m_fTimeStart, m_fTimeSpan); }
