// The "Draw Opt." tab of the working sheet: the options of the hypocentre page. Most of
// them live in the catalogue engine's option block; the viewing direction and the
// stereo distances live in the page itself.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "app/GridFun.h"
#include "app/MainFrm.h"
#include "platform/UiServices.h"
#include "views/hypo/LocView.h"

namespace {

const char* const kPlotTypes =
    "0: PZT map\n1: Cylindricalprojection\n2: M-N (peak)\n3: M-N (wave)\n4: M-N (Fc)\n"
    "5: Stereo plot\n6: XZ, YZ, XY plot\n7: 5 XY sections\n8: D(x0,y0,z0)-T plot\n"
    "9: R(z0,Az,Pl)-T plot\n10: RV plot\n11: RV(colored by b)\n12: RV density\n"
    "13: RV-T(3D)\n14: C(t)-t\n15: C(r)-r\n16: FM Up-Down distribution\n"
    "17: FM P-distribution\n18: FM T-distribution\n19: FM Nodal planes\n"
    "20: FM Mean solution\n21: Triangle diagram\n";
const char* const kSizeModes = "0: Sized by M(index)\n1: Sized by Mw\n2: Sized by crack size\n";
const char* const kColorModes =
    "0: Color by time\n1: Color by evt#\n2: Color by b-vale\n3: Color br U/D\n";

constexpr int kPlotTypeCount = 22;
constexpr int kSizeModeCount = 3;
constexpr int kColorModeCount = 4;

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// Keeps a list choice within the modes the hypocentre page draws; a note says when a
// cell held something else.
int ModeWithin(int mode, int count) {
  if (mode >= 0 && mode < count) return mode;
  char note[80];
  std::snprintf(note, sizeof note, "Option %d is out of range: 0 stored", mode);
  plat::Ui().SetPaneText(0, note, true);
  return 0;
}

// A number read from a cell for the option block or the page: what does not read as a
// finite number stores 0.
float Finite(float v) {
  if (std::isfinite(v)) return v;
  plat::Ui().SetPaneText(0, "A value is not a number: 0 stored", true);
  return 0.0f;
}

}  // namespace

void CGridFun::SetupDrawOptSheet() {
  BeginSheet(kDrawOpt, 100, 75, 4, 4);
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pWave || !doc->m_pHypo) return;
  const CAEHypo& h = *doc->m_pHypo;
  CMainFrame* frame = Frame();
  const CLocView* view = frame ? frame->GetLocView(FALSE) : nullptr;
  struct {
    float az, ad, halfWidth, z0, eyeDist, viewDist, shift;
  } v{};
  if (view) {
    v.az = view->m_fViewAz;
    v.ad = view->m_fViewAd;
    v.halfWidth = view->m_fHalfWidth;
    v.z0 = view->m_fZ0;
    v.eyeDist = view->m_fEyeDist;
    v.viewDist = view->m_fViewDist;
    v.shift = view->m_fStereoShift;
  }

  SetRowHeading(0, "Selection options", 1, 0);
  char f[32], ns[32];
  std::snprintf(f, sizeof f, "F=%02d", h.m_nClassMask);
  std::snprintf(ns, sizeof ns, "Ns=%02d", h.m_nMinArrivals);
  SetParamRow(1, "Flag, M, CC", f, ns, Format("CC>=%.2f", h.m_fMinCC).c_str(),
              "F:1-located, 8-Template, 16-detected");
  SetParamRow(2, "Air quake", Format("Air=%.2f", h.m_fAirMargin).c_str(), "-", "-",
              "Ns: minimum number of TPs used for location");
  SetRow(3, "Redraw..", " ", " ", " ", "Redraw plots");
  JoinCells(1, 3, 3, 3);
  SetOptionCellAt(1, 3, kPlotTypes, h.m_nPlotType);

  SetRowHeading(4, "Visual options", 1, 0);
  SetParamRowRange(5, "Scale", h.m_fSampleScale, h.m_fHypoScale, "-",
                   "Sample & hypocenter size scales");
  SetParamRow(6, "Sect", "Ad=0", "Ad=90", "Z0=0", "Pars of sections");
  SetParamRow(7, " ", " ", " ", " ", "Size and color options");
  JoinCells(0, 7, 1, 7);
  JoinCells(2, 7, 3, 7);
  SetOptionCellAt(0, 7, kSizeModes, h.m_nSizeMode);
  SetOptionCellAt(2, 7, kColorModes, h.m_nColorMode);
  SetEditFlag(1, 7, 0);
  SetEditFlag(3, 7, 0);
  SetParamRow(8, " ", " ", "mi=0", "mx=1", "[min, max] Range");
  SetParamRow(9, "R-",
              Format("x,y,z=%.0f,%.0f,%.0f", h.m_fFaultX, h.m_fFaultY, h.m_fFaultZ).c_str(),
              Format("L=%.1f", h.m_fFaultLen).c_str(), "Az,Ad=0,60 deg",
              "R-axis, Fault dir (up-ward) vector");
  SetParamRow(10, "View", Format("Az,Ad=%.0f,%.0f", v.az, v.ad).c_str(),
              Format("H=%.1f", v.halfWidth).c_str(), Format("Z0=%.1f", v.z0).c_str(),
              "Viewing direction, Half projection width, Z0 of XYZ plots");
  SetParamRow(11, "Stereo", Format("Deyes=%.0f", v.eyeDist).c_str(),
              Format("Dto=%.0f", v.viewDist).c_str(), Format("Dlr=%.0f", v.shift).c_str(),
              "Parameters for stereo plots");

  // Check-box rows: columns 0-1 and 2-3 joined.
  auto pairs = [this](long row) {
    JoinCells(0, row, 1, row);
    JoinCells(2, row, 3, row);
    SetEditFlag(1, row, 0);
    SetEditFlag(3, row, 0);
  };
  SetParamRow(12, " ", " ", "U/(U+D)>=0.75", " ", "Show T-type events as open circlea");
  pairs(12);
  SetCheckCell(0, 12, "T-type", h.m_bTTypeOpen);
  SetRow(13, " ", " ", " ", " ", "Additional options");
  pairs(13);
  SetCheckCell(0, 13, "Unsld events", h.m_bUnselected);
  SetCheckCell(2, 13, "Color BG", h.m_bColorBG);
  SetRow(14, " ", " ", " ", " ", " ");
  pairs(14);
  SetCheckCell(0, 14, "Randon order", h.m_bRandomOrder);
  SetCheckCell(2, 14, "Event numbers", h.m_bEventNumbers);
  SetParamRow(15, " ", " ", "D=0.1 m^2/s", " ", "Additional options");
  pairs(15);
  SetCheckCell(0, 15, "Diffusive front", 1);
  SetRow(16, " ", " ", " ", " ", "Additional options");
  pairs(16);
  SetCheckCell(0, 16, "Solid circles", h.m_bSolidCircles);
  RedrawAll();
}

int CGridFun::DoDrawOpt(long, int col, long row, long msg, long param) {
  CTremviaDoc* doc = Doc();
  if (!doc || !doc->m_pHypo) return 1;
  CAEHypo& h = *doc->m_pHypo;
  const std::string chosen =
      msg == SGN_DROPLIST_SELECTED && param
          ? *reinterpret_cast<const std::string*>(static_cast<std::intptr_t>(param))
          : std::string();

  if (row == 3 && msg == SGN_DROPLIST_SELECTED) {
    h.m_nPlotType = ModeWithin(KZ_ParseLeadingInt(chosen.c_str()), kPlotTypeCount);
    doc->m_Host.UpdateAllViews(nullptr, HINT_LOC, nullptr);
    return 1;
  }
  if (row == 7 && col == 2 && msg == SGN_DROPLIST_SELECTED) {
    h.m_nColorMode = ModeWithin(KZ_ParseLeadingInt(chosen.c_str()), kColorModeCount);
    if (h.m_nColorMode == 2) {
      SetFloat(2, 8, "bmi=%.2f", h.m_fBMin);
      SetFloat(3, 8, "bmx=%.2f", h.m_fBMax);
    } else {
      SetParamText(2, 8, "mi=0.0");
      SetParamText(3, 8, "mx=1.0");
    }
    return 1;
  }
  if (row != 3 || msg != SGN_BUTTON_UP) return 1;

  // "Redraw..": every option of the tab from its cells.
  h.m_fHypoScale = Finite(GetFloat(2, 5, "=", 1));
  h.m_fSampleScale = Finite(GetFloat(1, 5, "=", 1));
  h.m_nSizeMode = ModeWithin(GetInt(0, 7), kSizeModeCount);
  h.m_nColorMode = ModeWithin(GetInt(2, 7), kColorModeCount);
  float a = 0, b = 0, c = 0;
  GetRange(1, 9, &a, &b, &c, nullptr, nullptr);
  h.m_fFaultX = Finite(a);
  h.m_fFaultY = Finite(b);
  h.m_fFaultZ = Finite(c);
  h.m_fFaultLen = Finite(GetFloat(2, 9, "=", 1));
  GetRange(3, 9, &a, &b, &c, nullptr, nullptr);
  h.m_fFaultAzimuth = Finite(a);
  h.m_fFaultDip = Finite(b);
  CMainFrame* frame = Frame();
  if (CLocView* view = frame ? frame->GetLocView(FALSE) : nullptr) {
    GetRange(1, 10, &a, &b, &c, nullptr, nullptr);
    view->m_fViewAz = Finite(a);
    view->m_fViewAd = Finite(b);
    view->m_fHalfWidth = Finite(GetFloat(2, 10, "=", 1));
    view->m_fZ0 = Finite(GetFloat(3, 10, "=", 1));
    view->m_fEyeDist = Finite(GetFloat(1, 11, "=", 1));
    view->m_fViewDist = Finite(GetFloat(2, 11, "=", 1));
    view->m_fStereoShift = Finite(GetFloat(3, 11, "=", 1));
  }
  h.m_bTTypeOpen = IsCellSet(0, 12);
  h.m_fTTypeRatio = Finite(GetFloat(2, 12, "=", 1));
  h.m_bUnselected = IsCellSet(0, 13);
  h.m_bColorBG = IsCellSet(2, 13);
  h.m_bRandomOrder = IsCellSet(0, 14);
  h.m_bEventNumbers = IsCellSet(2, 14);
  h.m_fDiffusivity = IsCellSet(0, 15) ? Finite(GetFloat(2, 15, "=", 1)) : -1.0f;
  h.m_bSolidCircles = IsCellSet(0, 16);
  doc->m_Host.UpdateAllViews(nullptr, HINT_LOC, nullptr);
  return 1;
}
