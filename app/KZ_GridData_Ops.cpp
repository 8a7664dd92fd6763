// The data sheet's popup menu: editing aids on cells, axis roles, scales, plot styles and
// column analyses on column headings, and file, symbol, contour and colour commands on
// the corner button.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "aecore/waveform/AEWaveSac.h"
#include "app/KZ_GridData.h"
#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/UiServices.h"

namespace {

constexpr const char* kKvFilter = "Kurvo file(*.kv0;*.txt)|*.kv0;*.txt||";

bool IsX(const KZ_Var1D& c) { return (c.GetAxisFlags() & KZ_AXIS_X) != 0; }
bool IsY(const KZ_Var1D& c) { return (c.GetAxisFlags() & KZ_AXIS_Y) != 0; }
void SetRole(KZ_Var1D& c, std::uint32_t role) {
  c.SetAxisFlags((c.GetAxisFlags() & ~(KZ_AXIS_X | KZ_AXIS_Y)) | role);
}

int Columns(const KZ_MultiVarObj& t) {
  return std::clamp(t.m_nColumns, 0, static_cast<int>(t.m_Columns.size()));
}

int SampleCount(const KZ_MultiVarObj& t, int col) {
  if (col < 0 || col >= Columns(t)) return 0;
  const KZ_Var1D& c = t.m_Columns[col];
  return c.m_pData ? std::clamp(c.m_nCount, 0, t.m_nRowCapacity) : 0;
}

double ReadNumber(const char* text) {
  double v = 0.0;
  if (!text || std::sscanf(text, "%lf", &v) != 1) v = 0.0;
  return v;
}

}  // namespace

// ------------------------------------------------------------------ opening the menu

int KZ_GridData::OnPopupOpen(int col, long row, int section) {
  EmptyMenu();
  KZ_MultiVarObj* t = CurrentTable();
  if (!t) return 0;
  switch (section) {
    case 1:
      PopupCells(col, row);
      break;
    case 3:
      AddMenuItem(kDeleteRow, "Delete row");
      break;
    case 2:
      if (col >= 0 && col < Columns(*t)) PopupHeading(col, *t);
      break;
    case 4:
      PopupCorner(*t);
      break;
    default:
      break;
  }
  return GetMenuItems().empty() ? 0 : 1;
}

void KZ_GridData::PopupCells(int, long) {
  AddMenuItem(kCut, "Cut");
  AddMenuItem(kCopy, "Copy");
  AddMenuItem(kPaste, "Paste");
  AddMenuItem(kCopyRight, "Copy 2 all cols at right side");
  AddMenuItem(kDeleteRow, "Delete row");
  AddMenuItem(kNorm0, "Normalization-0");
  AddMenuItem(kNorm1, "Normalization-1");
}

void KZ_GridData::PopupHeading(int col, KZ_MultiVarObj& t) {
  const KZ_Var1D& c = t.m_Columns[col];
  if (!IsX(c)) AddMenuItem(kSetX, "Set as X-axis");
  if (!IsY(c)) AddMenuItem(kSetY, "Set as Y-axis");
  AddMenuItem(kUnselectAll, "Unselect All");
  AddMenuItem(kUnselectAllY, "Unselect All Y");
  AddMenuItem(kSwapXY, "Swap X<->Y...");
  AddMenuItem(kPolar, "XY <-> Polar plot");
  AddMenuItem(0xFFFFFFFFu, "");
  if (c.m_dMin >= 0) AddMenuItem(kLogScale, c.m_nLog == 1 ? "Normal scale..." : "Log scale...");
  if (t.m_pHVar && t.m_pHVar->m_nCount > 10)
    AddMenuItem(kHLogScale, t.m_pHVar->m_nLog == 1 ? "H: Normal scale..." : "H: Log scale...");
  AddMenuItem(kCircles, (c.m_nPlotStyle & 1) ? "off Circles" : "on Circles");
  AddMenuItem(kLines, (c.m_nPlotStyle & 2) ? "off Lines" : "on Line");
  AddMenuItem(kBars, (c.m_nPlotStyle & 4) ? "off Bars" : "on Bars");
  AddMenuItem(kErrBars, (c.m_nPlotStyle & 8) ? "off Err bars" : "on Err bars");
  AddMenuItem(kSelFlag, c.m_nRangeFilter ? "off Sel flag" : "on Sel flag");
  AddMenuItem(0xFFFFFFFFu, "");
  AddMenuItem(kSmooth1, "Smothing(nW=1)..");
  AddMenuItem(kSmooth2, "Smothing(nW=2)..");
  AddMenuItem(kSmooth5, "Smothing(nW=5)..");
  AddMenuItem(kRemoveOutliers, "RevomeOutRunner..");
  AddMenuItem(kFillUndefined, "Fill undef. data..");
  AddMenuItem(kLog10, "Log()..");
  if (GetCurrentSheet() != 0) return;
  char text[64];
  AddMenuItem(0xFFFFFFFFu, "");
  AddMenuItem(kDensity, "Prob. Dens. Funcs...");
  AddMenuItem(kFoldAngles, "[0-360]->[-180,180]...");
  AddMenuItem(kPowerSpectrum, "Power Spectrum ()...");
  AddMenuItem(kSsaMatrix, "Sigular Spectrum (Matrix)...");
  AddMenuItem(kSsaLambda, "Sigular Spectrum (Ramda)...");
  AddMenuItem(kSaveSac, "Save to SAC file...");
  std::snprintf(text, sizeof text, "Add Colume(copy[col=%d] ...", col);
  AddMenuItem(kAddCopy, text);
  AddMenuItem(kAddSumX, "Add Colume(SUM[X]) ...");
  AddMenuItem(kAddSumY, "Add Colume(SUM[Y]) ...");
  AddMenuItem(kAddCorrelation, "Add Colume(CC[Y1, Y2])...");
  AddMenuItem(kAddDerivative, "Add Colume(dY/dX)...");
  AddMenuItem(kAddIntegral, "Add Colume(int(Y)...");
  AddMenuItem(kAddFromFile, "Add colomes from file");
  std::snprintf(text, sizeof text, "Remove colume(%d]", col);
  AddMenuItem(kRemoveColumn, text);
  AddMenuItem(kRemoveUnselected, "Remove columes not selected as an axis");
  AddMenuItem(kSortAscending, "Sorting ascending");
  AddMenuItem(kSortDescending, "Sorting descending");
  if (IsY(c)) AddMenuItem(kFit, "Fitting [Y1, X]...");
}

void KZ_GridData::PopupCorner(KZ_MultiVarObj& t) {
  AddMenuItem(kSymbolLarger, "+ symbole size");
  AddMenuItem(kSymbolSmaller, "- symbole size");
  AddMenuItem(kSelectAll, "Select all");
  AddMenuItem(kSaveKV0, "Save as KV0 file");
  AddMenuItem(kLoadKV0, "Load KV0 file");
  if (!t.m_pHVar || t.m_pHVar->m_nCount != Columns(t) - 1) return;
  AddMenuItem(0xFFFFFFFFu, "");
  AddMenuItem(kContourLine, "CounterLine");
  AddMenuItem(kColourBarLines, "Colorbar/Lines");
  AddMenuItem(kLogAllY, "Log All Y");
  AddMenuItem(kNormAllY, "Norm All Y");
  if (t.m_pHVar->m_nPlotStyle <= 1) return;
  AddMenuItem(0xFFFFFFFFu, "");
  for (int k = 0; k < kSchemeItems; ++k) {
    const std::string& name = t.m_Palette.m_strScheme[k];
    AddMenuItem(kSchemeFirst + k, name.empty() ? std::to_string(k).c_str() : name.c_str());
  }
}

// ------------------------------------------------------------------ carrying items out

void KZ_GridData::OnPopupCommand(int col, long row, int, UINT item) {
  KZ_MultiVarObj* t = CurrentTable();
  if (!t) return;
  if (item >= kCut && item <= kNorm1) {
    CommandCells(col, row, item, *t);
  } else if (item >= kSymbolLarger) {
    CommandCorner(item, *t);
  } else if (col >= 0 && col < Columns(*t)) {
    CommandHeading(col, item, *t);
  }
}

void KZ_GridData::RaiseLogLimit(int col, KZ_MultiVarObj& t) {
  KZ_Var1D& c = t.m_Columns[col];
  const bool rising = c.m_dMin <= c.m_dMax;
  const double lower = rising ? c.m_dMin : c.m_dMax;
  const double upper = rising ? c.m_dMax : c.m_dMin;
  if (lower >= 1e-20 || upper <= 0) return;
  const double v = std::pow(10.0, std::ceil(std::log10(upper)) - 5);
  if (rising)
    c.SetMin(v);
  else
    c.SetMax(v);
  const long row = rising ? 2 : 3;
  if (col < GetColumnCount()) {
    SetCellText(col, row, KZ_NumberText(v).c_str());
    RedrawCell(col, row);
  }
}

void KZ_GridData::Reshow() {
  KZ_MultiVarObj* t = m_pTable[0];
  if (!t) return;
  SetData(t, m_pGraph);
  KZ_MultiVarObj* second = m_pTable[1];
  if (!second || Columns(*second) <= 0) RefreshGraph(t);
}

// Cells and numbers of the current sheet written again after values changed.
void KZ_GridData::ShowSecond(KZ_MultiVarObj* second) {
  if (!second) return;
  SetData2(second);
  RefreshGraph(second);
}

KZ_MultiVarObj* KZ_GridData::SecondTable(KZ_MultiVarObj& t) {
  if (!t.m_pSubTable) t.m_pSubTable = std::make_unique<KZ_MultiVarObj>();
  m_pTable[1] = t.m_pSubTable.get();
  return m_pTable[1];
}

void KZ_GridData::CommandCells(int col, long row, UINT item, KZ_MultiVarObj& t) {
  switch (item) {
    case kCut:
      CutSelection();
      break;
    case kCopy:
      CopySelection();
      break;
    case kPaste:
      PasteFromClipboard();
      break;
    case kCopyRight: {
      if (col < 0 || row < 0) return;
      const std::string text = GetCellText(col, row) ? GetCellText(col, row) : "";
      const double v = ReadNumber(text.c_str());
      for (int c = col + 1; c < GetColumnCount(); ++c) {
        SetCellText(c, row, text.c_str());
        if (c >= Columns(t)) continue;
        if (row == 2) t.m_Columns[c].SetMin(v);
        if (row == 3) t.m_Columns[c].SetMax(v);
      }
      RedrawRow(row);
      RefreshGraph(&t);
      break;
    }
    case kDeleteRow:
      DeleteDataRow(row, t);
      break;
    case kNorm0:
      if (row >= kHeadRows) s_nNormStart = static_cast<int>(row - kHeadRows);
      break;
    case kNorm1:
      Normalise(col, row, t);
      break;
    default:
      break;
  }
}

void KZ_GridData::DeleteDataRow(long g, KZ_MultiVarObj& t) {
  if (g < kHeadRows) return;
  const long r = g - kHeadRows;
  const int n0 = SampleCount(t, 0);
  // A row past the data holds no sample: nothing to delete there.
  if (r >= n0) return;
  const int cols = Columns(t);
  for (int c = 0; c < cols; ++c) {
    KZ_Var1D& v = t.m_Columns[c];
    const int n = SampleCount(t, c);
    if (r >= n) continue;  // this column has no sample in that row
    const int k = v.m_nComponents + 1;
    std::memmove(v.m_pData + r * k, v.m_pData + (r + 1) * k,
                 sizeof(double) * static_cast<std::size_t>((n - r - 1) * k));
    v.m_nCount = n - 1;
  }
  if (t.m_nRows > r) --t.m_nRows;
  const int shown = GetCurrentSheet() == 0 ? std::min(m_nShownColumns, cols) : cols;
  const int n1 = SampleCount(t, 0);
  const long lastRow = GetCurrentSheet() == 0 ? std::min(n1, m_nShownRows) : n1;
  for (long i = r; i < lastRow; ++i) {
    const long gr = i + kHeadRows;
    SetCellText(-1, gr, std::to_string(i).c_str());
    for (int c = 0; c < shown; ++c)
      SetCellText(c, gr,
                  i < SampleCount(t, c)
                      ? KZ_NumberText(t.m_Columns[c].GetMagnitude(static_cast<int>(i))).c_str()
                      : "");
    RedrawRow(gr);
  }
  // The row that held the former last sample no longer shows one.
  if (lastRow + kHeadRows < GetRowCount() && (GetCurrentSheet() != 0 || n1 < m_nShownRows)) {
    BlankRows(lastRow + kHeadRows, lastRow + kHeadRows, shown);
    RedrawRow(lastRow + kHeadRows);
  }
  RefreshGraph(&t);
}

void KZ_GridData::Normalise(int col, long g, KZ_MultiVarObj& t) {
  if (col < 0 || col >= Columns(t) || g < kHeadRows) return;
  const int e = static_cast<int>(g - kHeadRows);
  const int s = s_nNormStart;
  if (s > e - 2) plat::AfxMessageBox("Do Normalization-0 at 1st!");
  const int n = SampleCount(t, col);
  KZ_Var1D& c = t.m_Columns[col];
  if (s < 0 || e >= n || s > e || c.m_nComponents != 0) return;
  const double a = c.m_pData[s], b = c.m_pData[e];
  if (b == a) {
    plat::AfxMessageBox(
        "Normalization-1: this row holds the same value as the Normalization-0 row; "
        "nothing was changed.");
    return;
  }
  const long shown = GetCurrentSheet() == 0 ? m_nShownRows : n;
  const bool cellShown = GetCurrentSheet() != 0 || col < m_nShownColumns;
  for (int k = s; k <= e; ++k) {
    c.m_pData[k] = (c.m_pData[k] - a) / (b - a);
    if (cellShown && k < shown) {
      SetCellText(col, k + kHeadRows, KZ_NumberText(c.m_pData[k]).c_str());
      RedrawCell(col, k + kHeadRows);
    }
  }
  RefreshGraph(&t);
}

bool KZ_GridData::CommandHeading(int col, UINT item, KZ_MultiVarObj& t) {
  KZ_Var1D& c = t.m_Columns[col];
  const int cols = Columns(t);
  const bool sheet0 = GetCurrentSheet() == 0;
  bool headings = false;
  bool rewrite = false;  // the column's values changed
  switch (item) {
    case kSetX:
      SetRole(c, KZ_AXIS_X);
      headings = true;
      break;
    case kSetY:
      SetRole(c, KZ_AXIS_Y);
      headings = true;
      break;
    case kUnselectAll:
      for (int k = 0; k < cols; ++k) SetRole(t.m_Columns[k], 0);
      headings = true;
      break;
    case kUnselectAllY:
      for (int k = 0; k < cols; ++k)
        if (IsY(t.m_Columns[k])) SetRole(t.m_Columns[k], 0);
      headings = true;
      break;
    case kSwapXY:
      for (int k = 0; k < cols; ++k) {
        KZ_Var1D& v = t.m_Columns[k];
        if (IsX(v) != IsY(v)) SetRole(v, IsX(v) ? KZ_AXIS_Y : KZ_AXIS_X);
      }
      headings = true;
      break;
    case kPolar:
      t.m_nGraphMode = t.m_nGraphMode ? 0 : 1;
      break;
    case kLogScale:
      if (c.m_nLog == 1) {
        c.m_nLog = 0;
      } else {
        c.m_nLog = 1;
        RaiseLogLimit(col, t);
      }
      break;
    case kHLogScale:
      if (!t.m_pHVar) return false;
      t.m_pHVar->m_nLog = t.m_pHVar->m_nLog == 1 ? 0 : 1;
      break;
    case kCircles:
    case kLines:
    case kBars:
    case kErrBars: {
      static constexpr std::uint16_t bits[] = {1, 2, 4, 8};
      c.m_nPlotStyle ^= bits[item - kCircles];
      if (SampleCount(t, col) > 0) c.MakePlotValues(false, false);
      break;
    }
    case kSelFlag:
      c.m_nRangeFilter = c.m_nRangeFilter ? 0 : 1;
      headings = true;
      break;
    case kSmooth1:
    case kSmooth2:
    case kSmooth5:
      if (SampleCount(t, col) <= 0) return false;
      c.Smooth(item == kSmooth1 ? 1 : item == kSmooth2 ? 2 : 5, 0);
      rewrite = true;
      break;
    case kRemoveOutliers:
      if (SampleCount(t, col) <= 0) return false;
      t.RemoveOutOfRangeRows(col);
      rewrite = true;
      break;
    case kFillUndefined:
      if (SampleCount(t, col) <= 0) return false;
      t.FillUndefined(col);
      c.MakePlotValues(false, false);
      rewrite = true;
      break;
    case kLog10:
      if (SampleCount(t, col) <= 0) return false;
      c.ToLog10();
      rewrite = true;
      break;
    case kFoldAngles: {
      if (!sheet0) return false;
      const int n = SampleCount(t, col);
      for (int i = 0; i < n && c.m_nComponents == 0; ++i)
        if (c.m_pData[i] > 180) c.m_pData[i] -= 360;
      c.SetRange(-180, 180);
      rewrite = true;
      break;
    }
    case kDensity:
      if (sheet0) Density(col, t);
      return true;
    case kPowerSpectrum:
      if (sheet0) PowerSpectrum(col, t);
      return true;
    case kSaveSac:
      if (sheet0) SaveColumnSac(col, t);
      return true;
    case kSsaMatrix:
    case kSsaLambda: {
      const int ix = t.GetFirstXColumn();
      if (!sheet0 || ix < 0 || SampleCount(t, col) <= 0) return false;
      t.SingularSpectrum(ix, col, item == kSsaMatrix ? 0 : 1);
      Reshow();
      return true;
    }
    case kAddCopy:
    case kAddSumX:
    case kAddSumY:
    case kAddCorrelation:
    case kAddDerivative:
    case kAddIntegral: {
      if (!sheet0 || SampleCount(t, 0) <= 0) return false;
      int added = 0;
      if (item == kAddCopy) added = t.AddScaledColumn(col, 1.0f);
      if (item == kAddSumX) added = t.AddSumColumn(0, cols - 1, KZ_AXIS_X);
      if (item == kAddSumY) added = t.AddSumColumn(0, cols - 1, KZ_AXIS_Y);
      if (item == kAddDerivative) added = t.AddDerivativeColumn(col);
      if (item == kAddIntegral) added = t.AddIntegralColumn(col);
      if (item == kAddCorrelation) {
        int y1 = -1, y2 = -1;
        for (int k = 0; k < cols && y2 < 0; ++k)
          if (IsY(t.m_Columns[k])) (y1 < 0 ? y1 : y2) = k;
        if (y2 < 0) return false;
        added = t.AddCorrelationColumn(y1, y2);
      }
      if (added) Reshow();
      return true;
    }
    case kAddFromFile: {
      if (!sheet0) return false;
      const std::string path =
          KZ_OpenFileDialog("Add columes from file", "(*.kv0;*.his;*.csv)|*.kv0;*.his;*.csv||");
      if (path.empty()) return false;
      if (t.AddColumnsFromFile(path)) Reshow();
      return true;
    }
    case kRemoveColumn:
      // The last column stays: a table without columns cannot be shown again.
      if (!sheet0 || cols <= 1) return false;
      t.RemoveColumn(col);
      Reshow();
      return true;
    case kRemoveUnselected: {
      if (!sheet0) return false;
      bool anyAxis = false;
      for (int k = 0; k < cols; ++k)
        anyAxis = anyAxis || IsX(t.m_Columns[k]) || IsY(t.m_Columns[k]);
      if (!anyAxis) return false;  // it would leave a table without columns
      if (t.RemoveUnselectedColumns() > 0) Reshow();
      return true;
    }
    case kSortAscending:
    case kSortDescending:
      if (!sheet0 || SampleCount(t, col) <= 0) return false;
      t.SortRows(col, item == kSortDescending);
      Reshow();
      return true;
    case kFit:
      if (!sheet0 || !IsY(c) || SampleCount(t, 0) <= 0) return false;
      if (t.Fit(8, 0, nullptr)) Reshow();
      RefreshGraph(&t);
      return true;
    default:
      return false;
  }
  if (rewrite) {
    if (sheet0)
      SetData(&t, m_pGraph);
    else
      SetData2(&t);
  } else if (headings) {
    if (sheet0)
      RefreshHeadings();
    else
      RefreshHeadings2();
    RedrawAll();
  }
  RefreshGraph(&t);
  return true;
}

void KZ_GridData::Density(int col, KZ_MultiVarObj& t) {
  KZ_Var1D& c = t.m_Columns[col];
  const double lo = c.m_dMin, hi = c.m_dMax;
  int bins = 20;
  if (!AskDensityBins(lo, hi, &bins)) return;
  if (bins <= 0) {
    plat::AfxMessageBox("The number of bins must be 1 or more.");
    return;
  }
  if (SampleCount(t, col) <= 0) return;
  if (!t.m_pSubTable) {
    t.m_pSubTable = std::make_unique<KZ_MultiVarObj>();
    t.m_pSubTable->SetSize(16, 500);
  }
  KZ_MultiVarObj* second = SecondTable(t);
  int first = 0, last = -1;
  t.GetAxisIndexRange(&first, &last);
  const bool angles = static_cast<int>(lo) == 0 && static_cast<int>(hi) == 360;
  if (!t.ProbabilityDensity(&c, first, last, second, lo, hi, bins, angles ? 0 : 1)) return;
  second->m_nGraphMode = angles ? 1 : 0;
  ShowSecond(second);
}

void KZ_GridData::PowerSpectrum(int col, KZ_MultiVarObj& t) {
  const int ix = t.GetFirstXColumn();
  const int n = SampleCount(t, col);
  if (ix < 0 || n <= 0) return;
  if (!t.m_pSubTable) {
    t.m_pSubTable = std::make_unique<KZ_MultiVarObj>();
    t.m_pSubTable->SetSize(4, n);
  }
  KZ_MultiVarObj* second = SecondTable(t);
  int first = 0, last = -1;
  t.GetAxisIndexRange(&first, &last);
  if (!t.PowerSpectrum(&t.m_Columns[ix], &t.m_Columns[col], first, last, second)) return;
  // The spectrum's own title line stays first; the table's lines follow it, with the
  // start-time line that comes after them.
  const int lines = std::clamp(t.m_nHeaders, 0, KZ_MultiVarObj::kHeaderLines - 1);
  for (int i = 0; i <= lines && i + 1 < KZ_MultiVarObj::kHeaderLines; ++i)
    second->m_strHeader[i + 1] = t.m_strHeader[i];
  second->m_nHeaders = lines + 1;
  ShowSecond(second);
}

// The column as a SAC time series: its samples (magnitudes of vector samples) with its
// title as the event name. When the first column holds evenly spaced rising values it is
// taken as the time axis (its step and first value); otherwise the samples are numbered
// from 0 with step 1.
void KZ_GridData::SaveColumnSac(int col, KZ_MultiVarObj& t) {
  const int n = SampleCount(t, col);
  if (n <= 0) return;
  const std::string path = KZ_SaveFileDialog("Save to SAC file", "(*.sac)|*.sac||");
  if (path.empty()) return;
  float delta = 1.0f, begin = 0.0f;
  const KZ_Var1D& x = t.m_Columns[0];
  const int nx = SampleCount(t, 0);
  if (nx >= 2 && x.m_nComponents == 0) {
    const double step = x.m_pData[1] - x.m_pData[0];
    bool even = std::isfinite(step) && step > 0;
    for (int i = 2; even && i < nx; ++i)
      even = std::fabs(x.m_pData[i] - x.m_pData[i - 1] - step) <= 1e-6 * step;
    if (even) {
      delta = static_cast<float>(step);
      begin = static_cast<float>(x.m_pData[0]);
    }
  }
  const KZ_Var1D& c = t.m_Columns[col];
  std::vector<float> samples(n);
  for (int i = 0; i < n; ++i) samples[i] = static_cast<float>(c.GetMagnitude(i));
  KZ_SacHeader h;
  InitSACHeader(h, delta, n, begin);
  // The event name is the header's one 16-character text.
  std::memset(h.k + KZ_SacHeader::KEVNM, ' ', 16);
  std::memcpy(h.k + KZ_SacHeader::KEVNM, c.m_strTitle.data(),
              std::min<std::size_t>(16, c.m_strTitle.size()));
  if (WriteSAC(path, h, samples.data(), 1.0f) != 0)
    plat::AfxMessageBox("Could not write " + path);
}

void KZ_GridData::CommandCorner(UINT item, KZ_MultiVarObj& t) {
  const int cols = Columns(t);
  const bool contourTable = t.m_pHVar && t.m_pHVar->m_nCount == cols - 1;
  switch (item) {
    case kSymbolLarger:
      t.m_fSizeScale *= 1.5f;
      break;
    case kSymbolSmaller:
      t.m_fSizeScale /= 1.5f;
      break;
    case kSelectAll:
      if (GetColumnCount() > 0 && GetRowCount() > 0)
        SelectRange(0, 0, GetColumnCount() - 1, GetRowCount() - 1);
      RedrawAll();
      return;
    case kSaveKV0:
      SaveTableFile();
      return;
    case kLoadKV0:
      LoadTableFile();
      return;
    case kContourLine: {
      if (!contourTable || GetCurrentSheet() != 0 || cols < 2) return;
      const KZ_Var1D& c1 = t.m_Columns[1];
      // The second column's level; a column whose level nobody set is cut halfway
      // through its range (its min and max cells), so the item never draws at a level
      // that means nothing for the data.
      const float level = std::isfinite(c1.m_fLevel)
                              ? c1.m_fLevel
                              : static_cast<float>((c1.m_dMin + c1.m_dMax) / 2);
      KZ_MultiVarObj* second = SecondTable(t);
      t.MakeContourLine(second, level);
      ShowSecond(second);
      return;
    }
    case kColourBarLines:
      if (!contourTable) return;
      t.m_pHVar->m_nPlotStyle = t.m_pHVar->m_nPlotStyle > 1 ? 1 : 2;
      break;
    case kLogAllY:
      if (!contourTable) return;
      for (int k = 0; k < cols; ++k)
        if (IsY(t.m_Columns[k])) t.m_Columns[k].m_nLog = 1;
      // Only the columns now on a log scale need a positive lower limit.
      for (int k = 0; k < cols; ++k)
        if (t.m_Columns[k].m_nLog == 1) RaiseLogLimit(k, t);
      break;
    case kNormAllY:
      if (!contourTable) return;
      for (int k = 0; k < cols; ++k)
        if (IsY(t.m_Columns[k])) t.m_Columns[k].m_nLog = 0;
      break;
    default:
      if (item < kSchemeFirst || item >= kSchemeFirst + kSchemeItems || !contourTable) return;
      t.m_nColourLevels = static_cast<int>(item - kSchemeFirst);
      break;
  }
  RefreshGraph(&t);
}

void KZ_GridData::SaveTableFile() {
  KZ_MultiVarObj* t = CurrentTable();
  if (!t) return;
  const std::string path = KZ_SaveFileDialog("Save as KV0 file", kKvFilter);
  if (path.empty()) return;
  if (t->SaveKVData(path) != 1) plat::AfxMessageBox("Could not write " + path);
}

void KZ_GridData::LoadTableFile() {
  KZ_MultiVarObj* t = CurrentTable();
  if (!t) return;
  const std::string path = KZ_OpenFileDialog("Load KV0 file", kKvFilter);
  if (path.empty()) return;
  if (!t->LoadFile(path)) {
    plat::AfxMessageBox("Could not load " + path);
    return;
  }
  if (t == m_pTable[0]) {
    Reshow();
  } else {
    ShowSecond(t);
  }
}
