// The "VM, reLoc" tab of the working sheet: detonator shots and the transversely isotropic
// velocity fit, the location options, utilities on the hypocentre catalogue and the
// hypoDD relocation.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "app/GridFun.h"
#include "app/MainFrm.h"
#include "base/numerics/KZ_Powell.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/types/KZ_Vector3D.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/Runtime.h"
#include "platform/Shell.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// The points of the velocity fit: ray elevations (radians) and velocities (km/s). Every
// accumulated row of the table takes part.
struct VMFitPoints {
  int n = 0;
  std::vector<double> angle, v;
} VMFitData;

// Sign-free pieces of the model: every parameter but the angle enters squared.
double TIMisfit3(double* p, void*, double*) {
  double s = 0.0;
  for (int i = 0; i < VMFitData.n; ++i) {
    const double sn = std::sin(VMFitData.angle[i] - p[2]);
    const double r = VMFitData.v[i] - p[0] * p[0] * (1.0 + p[1] * p[1] * sn * sn);
    s += r * r;
  }
  return s;
}

double TIMisfit4(double* p, void*, double*) {
  double s = 0.0;
  for (int i = 0; i < VMFitData.n; ++i) {
    const double sn = std::sin(VMFitData.angle[i] - p[2]);
    const double cs = std::cos(VMFitData.angle[i] - p[2]);
    const double r =
        VMFitData.v[i] -
        p[0] * p[0] * (1.0 + p[3] * p[3] * sn * sn * cs * cs + p[1] * p[1] * sn * sn * sn * sn);
    s += r * r;
  }
  return s;
}

void SetColumn(KZ_MultiVarObj* t, int c, int n, double lo, double hi, const char* title,
               const char* unit, std::uint32_t axis) {
  KZ_Var1D& v = t->m_Columns[c];
  v.SetAll(n, lo, hi, title, unit, axis);
  v.m_nPlotStyle = 1;
}

std::string DetonatorList(const CAEHypo& h) {
  if (h.m_nPulsers <= 0) return "No detonators!";
  std::string s;
  char buf[16];
  for (int i = 0; i < h.m_nPulsers && i < AEH_MAX_PULSERS; ++i) {
    std::snprintf(buf, sizeof buf, i ? ", %02d" : "%02d", h.m_PulserSensor[i] + 1);
    s += buf;
  }
  return s;
}

int ShotIndex(const CTremviaDoc& doc) {
  const CAEHypo& h = *doc.m_pHypo;
  return h.m_nPulsers > 0 ? doc.m_pWave->m_nEvent % h.m_nPulsers : -1;
}

}  // namespace

void CGridFun::CatalogueWindow(const CTremviaDoc& doc, double* t0, double* t1) {
  *t0 = doc.m_pHypo->PeakOffset() + doc.m_fTimeStart;
  *t1 = *t0 + doc.m_fTimeSpan;
}

void CGridFun::SetupVMSheet() {
  BeginSheet(kVMReloc, 0, 40, 4, 0);
  const int widths[4] = {100, 120, 120, 100};
  for (int c = 0; c < 4; ++c) SetColumnWidth(c, widths[c]);
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pWave || !doc->m_pHypo) return;
  CAEHypo& h = *doc->m_pHypo;
  char buf[64];

  SetRow(1, "Velocity measurement data", " ", " ", "Processing velocity measurement data");
  SetParamRow(2, "Detonators", " ", " ", " ", "# of detonators");
  JoinCells(1, 2, 3, 2);
  SetParamText(1, 2, DetonatorList(h).c_str());
  SetParamRow(3, "Next..", "P#=1", "preTrg=1600", " ", "currentf detonator");
  std::snprintf(buf, sizeof buf, "P#=%d", ShotIndex(*doc));
  SetParamText(1, 3, buf);
  SetOptionRow(4, "Do..",
               "0: 1-shoot VM data[type=1]\n1: All-shoot of one VM[type=1]\n"
               "2: Location data [type=1]\n",
               0, "-", "Show V-measurement data");
  SetRow(5, "Add..", "Load(KV0)..", "nP=0, nD=0", "Do..", "Collect All-shoot data of one VM");
  SetRow(6, "Clear..", "-", "-", "-", "Empty the data sheet");

  SetRowHeading(10, "Location options", 1, 0);
  const struct {
    long row;
    const char *text, *notes, *box, *fmt;
    int CAEHypo::*flag;
    float CAEHypo::*value;
  } fix[3] = {
      {11, "x=0", "fix x at given value", "fix X", "x=%.2f", &CAEHypo::m_bFixX, &CAEHypo::m_fFixX},
      {12, "y=0", "fix y at given value", "fix Y", "y=%.2f", &CAEHypo::m_bFixY, &CAEHypo::m_fFixY},
      {13, "z=0", "fix z at given value", "fix Z", "z=%.2f", &CAEHypo::m_bFixZ, &CAEHypo::m_fFixZ}};
  for (const auto& f : fix) {
    SetParamRow(f.row, " ", f.text, " ", " ", f.notes);
    SetCheckCell(0, f.row, f.box, h.*f.flag);
    std::snprintf(buf, sizeof buf, f.fmt, h.*f.value);
    SetParamText(1, f.row, buf);
  }
  // The fixed z is stored but read by no location method: its text is shown only.
  SetTextCell(1, 13, buf);
  SetParamRow(14, "S/N, Res", "sn>=2.01", "mxRes=1", " ", "Minimum S/N and max residual");
  std::snprintf(buf, sizeof buf, "miSN=%.2f", h.m_fMinSN);
  SetParamText(1, 14, buf);
  std::snprintf(buf, sizeof buf, "mxRes=%.2f", h.m_fMaxRes);
  SetParamText(2, 14, buf);
  SetParamRow(15, "Search", "500", "3500", " ", "start point and length for P-detection");
  std::snprintf(buf, sizeof buf, "%d", h.m_nPickStart);
  SetParamText(1, 15, buf);
  std::snprintf(buf, sizeof buf, "%d", h.m_nPickLength);
  SetParamText(2, 15, buf);
  SetOptionRow(16, "PZT sens.", "0: 1\n1: cos(A)\n2: cos(A)^2\n", h.m_nMwFcSensCorr,
               "Amp. correction for incident angle", nullptr);
  SetParamRow(17, "Mw, Fc", " ", " ", " ", "Window length in us for estimating Mw and Fc");
  std::snprintf(buf, sizeof buf, "tW=%.1f", h.m_fMwFcWindow);
  SetParamText(1, 17, buf);

  SetRowHeading(20, "Hypocenter data", 1, 0);
  SetOptionRow(21, "Do..",
               "0: Up/Down[type=1]\n1: Pulse width[type=1]\n2: Location data [type=1]\n"
               "3: Clear location data\n4: Reload location data\n5: Re-estimate Mw & Fc\n",
               0, "-", "Utilities associated hypocenter data");
  SetRowHeading(23, "Hypocenter Relocation", 1, 0);
  SetOptionRow(24, "Do..",
               "0: Create phase and station file\n1: Create default ph2dt_MS_inp\n"
               "2: Create default HypoDD_inp\n",
               0, "-", "HypoDD hypocenter");
  SetRow(25, " ", "HypoDD_Quintar..", " ", " ", "Lunch HypoDD_Quintar program");
}

int CGridFun::DoVMReloc(long, int col, long row, long msg, long param) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return 1;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  CMainFrame* frame = Frame();
  auto show = [&] {
    if (frame) frame->ShowDataSheet();
  };
  double t0 = 0, t1 = 0;
  CatalogueWindow(*doc, &t0, &t1);
  const int rate = w.m_pHeader && w.m_pHeader->nRate > 0 ? w.m_pHeader->nRate : 1;
  const float T0 = GetFloat(2, 3, "=", 1) / static_cast<float>(rate);
  KZ_MultiVarObj* first = doc->m_pSheet[0].get();
  KZ_MultiVarObj* second = doc->m_pSheet[1].get();
  char buf[64];

  // The shot index must name a used detonator entry.
  auto shot = [&](int* P) {
    *P = static_cast<int>(GetFloat(1, 3, "=", 1));
    if (h.m_nPulsers <= 0 || *P < 0 || *P >= h.m_nPulsers) {
      std::snprintf(buf, sizeof buf, "P#=%d is not a detonator (0..%d)!", *P, h.m_nPulsers - 1);
      plat::AfxMessageBox(h.m_nPulsers <= 0 ? "No detonators!" : buf);
      return false;
    }
    return true;
  };

  if (msg == SGN_BUTTON_UP) {
    switch (row) {
      case 3:
        w.Step(1);
        std::snprintf(buf, sizeof buf, "P#=%d", ShotIndex(*doc));
        SetParamText(1, 3, buf);
        RedrawCell(1, 3);
        doc->m_Host.UpdateAllViews(nullptr, HINT_WAVE, nullptr);
        break;
      case 4: {
        const int item = GetInt(1, 4);
        doc->m_pCurSheet = first;
        if (item == 0) {
          int P = 0;
          if (shot(&P) && VMDataSheet(first, P, T0, 0) >= 1) show();
        } else if (item == 2) {
          if (h.m_nPulsers <= 0)
            plat::AfxMessageBox("No detonators!");
          else if (VMLocationSheet(first) >= 1)
            show();
        } else {
          show();
        }
        break;
      }
      case 5:
        doc->m_pCurSheet = second;
        if (col == 0) {
          int P = 0;
          if (!shot(&P)) break;
          VMDataSheet(second, P, T0, 1);
        } else if (col == 1) {
          const std::string path = KZ_OpenFileDialog("Load", "Kurvo file(*.kv0)|*.kv0||");
          if (path.empty()) break;
          second->LoadFile(path);
          VMDataSheet(second, -1, T0, 1);
        } else {
          VMDataSheet(second, -1, T0, 1);
        }
        show();
        break;
      case 6:
        doc->m_pCurSheet = second;
        if (col == 0) {
          second->SetSize(0, 0);
          second->m_nColumns = second->m_nRows = 0;
        }
        show();
        break;
      case 21: {
        const int item = GetInt(1, 21);
        if (item == 0) {
          doc->m_pCurSheet = first;
          const int g = static_cast<int>(GetFloat(3, 11, "=", 1));
          if (h.FillUDRatioSheet(first, doc->m_EventList, t0, t1, g) >= 1) show();
        } else if (item == 3) {
          doc->ClearEventList();
          doc->m_Host.UpdateAllViews(nullptr, 0, nullptr);
        } else if (item == 4) {
          doc->BuildEventList(0, h.GetNumAE() - 1, 0, 0);
          doc->m_Host.UpdateAllViews(nullptr, 0, nullptr);
        } else if (item == 5) {
          ReestimateSourceParameters();
          doc->m_Host.UpdateAllViews(nullptr, 0, nullptr);
        }
        break;
      }
      case 24:
        if (GetInt(1, 24) == 0) doc->SaveHypoDD();
        show();
        break;
      case 25: {
        std::string path = plat::FindSiblingProgram("HypoDD_Quintar.exe").value_or(std::string());
        if (path.empty() || !KZ_FileExistsStr(path))
          path = KZ_OpenFileDialog("Specify HypoDD_Quintar.exe file!",
                                   "(HypoDD_Quintar.exe)|HypoDD_Quintar.exe||");
        if (!path.empty()) plat::GetShell().ShellExecute("open", path, "", plat::SW_SHOW);
        break;
      }
      default:
        break;
    }
  } else if (msg == SGN_CHECK_CHANGED && row >= 11 && row <= 13) {
    int CAEHypo::*flags[3] = {&CAEHypo::m_bFixX, &CAEHypo::m_bFixY, &CAEHypo::m_bFixZ};
    h.*flags[row - 11] = IsCellSet(0, row);
  } else if (msg == SGN_DROPLIST_SELECTED && row == 16 && param) {
    const auto* line = reinterpret_cast<const std::string*>(static_cast<std::intptr_t>(param));
    h.m_nMwFcSensCorr = KZ_ParseLeadingInt(line->c_str());
  }
  return 1;
}

int CGridFun::VMDataSheet(KZ_MultiVarObj* t, int P, float T0, int append) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave || !t) return 0;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  const int channels = w.m_pHeader ? w.GetNumChannels() : 0;
  int r = 0;
  if (append && t->m_nColumns > 0 && t->m_nRows > 0 && t->m_nColumnCapacity >= 6) {
    r = t->m_nRows;
  } else {
    t->SetSize(6, 1000);
    t->m_nColumns = 6;
  }
  if (P >= 0 && P < h.m_nPulsers && P < AEH_MAX_PULSERS) {
    const int s = h.m_PulserSensor[P];
    const int n = std::min<int>(channels, static_cast<int>(w.m_pPickTime.size()));
    for (int ch = 0; ch < n && s >= 0 && s < AEH_MAX_POINTS; ++ch) {
      if (ch == s || ch >= AEH_MAX_POINTS) continue;
      const double tt = w.m_pPickTime[ch] - T0;
      const KZ_Point3D& a = h.m_pSensorXYZ[ch];
      const KZ_Point3D& b = h.m_pSensorXYZ[s];
      KZ_Vector3D d(a.x - b.x, a.y - b.y, a.z - b.z);
      if (w.m_pPickSN[ch] < 2.5f || tt < 0.1) continue;
      if (std::fabs(d.x) < 5.0 && std::fabs(d.y) < 5.0) continue;
      if (r >= t->m_nRowCapacity) break;
      const double dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
      KZ_Vector3D u = d;
      u.Normalize();
      const double row[6] = {
          static_cast<double>(r), u.AzimuthDeg(), u.ElevationDeg(), dist, tt, dist / tt};
      for (int c = 0; c < 6; ++c) t->m_ppData[c][r] = row[c];
      ++r;
    }
  }
  const int n = r;
  t->m_nRows = n;

  double vmean = 0.0;
  for (int i = 0; i < n; ++i) vmean += t->m_ppData[5][i];
  vmean = n > 0 ? vmean / n : 0.0;
  VMFitData.n = n;
  VMFitData.angle.resize(static_cast<std::size_t>(n));
  VMFitData.v.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    VMFitData.angle[i] = t->m_ppData[2][i] * kPi / 180.0;
    VMFitData.v[i] = t->m_ppData[5][i];
  }
  char line[256];
  if (n > 0) {
    double p[4] = {std::sqrt(vmean), 0.0, 0.0, 0.0};
    KZ_PowellMinimize(TIMisfit3, p, nullptr, 3, 1e-15, 100);
    std::snprintf(line, sizeof line, "TI-FITTING: Vmean=%.4f, Vmin=%.4f, eps=%.4f, ang0=%.0f deg",
                  vmean, p[0] * p[0], p[1] * p[1], p[2] * 180.0 / kPi);
    t->m_strHeader[1] = line;
    p[3] = 0.0;
    KZ_PowellMinimize(TIMisfit4, p, nullptr, 4, 1e-15, 100);
    std::snprintf(line, sizeof line,
                  "TI-FITTING: Vmean=%.4f, Vmin=%.4f, eps=%.4f, sig=%.4f, ang0=%.0f deg", vmean,
                  p[0] * p[0], p[1] * p[1], p[3] * p[3], p[2] * 180.0 / kPi);
    t->m_strHeader[2] = line;
  } else {
    // Nothing to fit: say so rather than print a fit of no points.
    t->m_strHeader[1] = "TI-FITTING: no velocity data";
    t->m_strHeader[2] = "TI-FITTING: no velocity data";
    plat::AfxMessageBox("No velocity data to fit!");
  }
  SetColumn(t, 0, n, 0, n, "#", " ", 0);
  SetColumn(t, 1, n, -180, 180, "Az", "deg", 0);
  SetColumn(t, 2, n, -90, 90, "Ad", "deg", 1);
  SetColumn(t, 3, n, 0, 100, "D", "mm", 0);
  SetColumn(t, 4, n, 0, 50, "trt", "us", 0);
  SetColumn(t, 5, n, 1, 6, "V", "km/s", 2);
  std::snprintf(line, sizeof line, "VM data. ID:%.80s, File:%.80s, t=%d sec", h.m_strTitle.c_str(),
                KZ_GetFileName(h.m_strParFile, 0).c_str(), w.m_pHeader ? w.m_pHeader->nSec : 0);
  t->m_strHeader[0] = line;
  t->m_nHeaders = 3;
  return n;
}

int CGridFun::VMLocationSheet(KZ_MultiVarObj* t) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !t) return 0;
  CAEHypo& h = *doc->m_pHypo;
  if (h.m_nPulsers <= 0) return 0;
  double t0 = 0, t1 = 0;
  CatalogueWindow(*doc, &t0, &t1);
  const int records = h.GetNumAE();
  t->SetSize(9, records + 8);
  t->m_nColumns = 9;
  int k = 0, r = 0;
  for (int i = 0; i < records && r < t->m_nRowCapacity; ++i) {
    if (!h.GetAEH(i)) continue;
    const AEHRecord& rec = h.m_Rec;
    const double time = rec.nTimeSec + rec.nTimeUs * 1e-6;
    if (time < t0) continue;
    if (time > t1) break;
    if (rec.nArrivals < h.m_nMinArrivals) continue;
    const int s = h.m_PulserSensor[k];
    const KZ_Point3D p = s >= 0 && s < AEH_MAX_POINTS ? h.m_pSensorXYZ[s] : KZ_Point3D{};
    const double dx = p.x - rec.fX, dy = p.y - rec.fY, dz = p.z - rec.fZ;
    const double row[9] = {static_cast<double>(i),
                           static_cast<double>(k),
                           dx,
                           dy,
                           dz,
                           std::sqrt(dx * dx + dy * dy + dz * dz),
                           p.x,
                           p.y,
                           p.z};
    for (int c = 0; c < 9; ++c) t->m_ppData[c][r] = row[c];
    ++r;
    if (++k >= h.m_nPulsers || k >= AEH_MAX_PULSERS) k = 0;
  }
  SetColumn(t, 0, r, 0, records, "S#", " ", 1);
  SetColumn(t, 1, r, 0, h.m_nPulsers, "p#", " ", 0);
  SetColumn(t, 2, r, -10, 10, "dx", "mm", 2);
  SetColumn(t, 3, r, -10, 10, "dy", "mm", 2);
  SetColumn(t, 4, r, -10, 10, "dz", "mm", 2);
  SetColumn(t, 5, r, 0, 10, "dr", "mm", 2);
  SetColumn(t, 6, r, -30, 30, "x", "mm", 0);
  SetColumn(t, 7, r, -30, 30, "y", "mm", 0);
  SetColumn(t, 8, r, -60, 60, "z", "mm", 0);
  t->m_nRows = r;
  char line[256];
  std::snprintf(line, sizeof line, "VM data. ID:%.80s, File:%.80s, N=%d", h.m_strTitle.c_str(),
                KZ_GetFileName(h.m_strParFile, 0).c_str(), r);
  t->m_strHeader[0] = line;
  t->m_nHeaders = 1;
  return r;
}

void CGridFun::ReestimateSourceParameters() {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo || !doc->m_pWave) return;
  CAEHypo& h = *doc->m_pHypo;
  CAEWave& w = *doc->m_pWave;
  // Without a waveform (as the program starts, or after opening a parameter file) there
  // is nothing to estimate from: the record of the empty record's index stays as it is.
  if (!w.m_pHeader || w.m_pSamples.empty() || !h.m_fpAEH) {
    plat::AfxMessageBox(std::string("Re-estimate Mw & Fc: ") +
                            (h.m_fpAEH ? "no waveform file is loaded" : "no catalogue is open") +
                            "; no record was changed.",
                        MB_ICONEXCLAMATION);
    return;
  }
  int written = 0, locked = 0, fewArrivals = 0, noEstimate = 0, notWritten = 0;
  int firstLeft = -1;
  for (;;) {
    if (h.GetAEH(w.m_nEvent)) {
      const AEHRecord before = h.m_Rec;
      bool left = true;
      if (before.nFlags & AEH_FLAG_LOCKED) {
        ++locked;  // a locked record is never rewritten
      } else if (w.SourceParameters(&h) > 0) {
        left = !h.PutAEH(w.m_nEvent, true);
        if (left)
          ++notWritten;
        else
          ++written;
      } else {
        // A failed estimate clears Fc and Mw of the current record: the record keeps the
        // values it has.
        h.m_Rec = before;
        ++(before.nArrivals < 5 ? fewArrivals : noEstimate);
      }
      if (left && firstLeft < 0) firstLeft = w.m_nEvent;
    }
    if (!w.Step(1)) break;
  }
  const int left = locked + fewArrivals + noEstimate + notWritten;
  std::string text = plat::Format("Records with Mw and Fc re-estimated and saved: %d", written);
  if (left == 0) {
    plat::Ui().SetPaneText(0, text, true);
    return;
  }
  text += plat::Format(
      ".\n%d records were left as they were (the first: event %d): %d locked, %d with fewer "
      "than 5 arrivals, %d without an arrival that gave an estimate, %d not written to the "
      "catalogue.",
      left, firstLeft, locked, fewArrivals, noEstimate, notWritten);
  plat::AfxMessageBox(text, MB_ICONEXCLAMATION);
}
