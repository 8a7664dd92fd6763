#include "app/KZ_GridData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/DlgPars.h"
#include "base/types/KZ_TextParse.h"
#include "platform/UiServices.h"
#include "views/graph/GraphView.h"

const std::array<COLORREF, 11> KZ_GridData::kHeadingPalette = {
    RGB(202, 158, 105), RGB(0, 140, 255),  RGB(203, 152, 248), RGB(74, 175, 77),
    RGB(144, 81, 214),  RGB(115, 26, 115), RGB(91, 203, 255),  RGB(30, 123, 232),
    RGB(185, 118, 0),   RGB(90, 80, 61),   RGB(178, 152, 0)};

int KZ_GridData::s_nNormStart = 0;

namespace {

std::uint32_t Role(const KZ_Var1D& c) { return c.GetAxisFlags() & (KZ_AXIS_X | KZ_AXIS_Y); }

// Samples of a column that really exist: its count, cut at the table's row capacity.
int SampleCount(const KZ_MultiVarObj& t, int col) {
  if (col < 0 || col >= t.m_nColumns || col >= static_cast<int>(t.m_Columns.size())) return 0;
  const KZ_Var1D& c = t.m_Columns[col];
  if (!c.m_pData) return 0;
  return std::clamp(c.m_nCount, 0, t.m_nRowCapacity);
}

int Columns(const KZ_MultiVarObj& t) {
  return std::clamp(t.m_nColumns, 0, static_cast<int>(t.m_Columns.size()));
}

// Makes another sheet current for the lifetime of the object, without repainting.
class SheetScope {
 public:
  SheetScope(CSGCtrl& g, int sheet) : g_(g), old_(g.GetCurrentSheet()) {
    if (old_ != sheet) g_.SetCurrentSheet(sheet, 0);
  }
  ~SheetScope() {
    if (g_.GetCurrentSheet() != old_) g_.SetCurrentSheet(old_, 0);
  }
  SheetScope(const SheetScope&) = delete;
  SheetScope& operator=(const SheetScope&) = delete;

 private:
  CSGCtrl& g_;
  int old_;
};

// Painting stays off while many cells are written, and one repaint follows.
class PaintPause {
 public:
  explicit PaintPause(CSGCtrl& g) : g_(g), was_(g.IsPaintingEnabled()) { g_.EnablePainting(0); }
  ~PaintPause() { g_.EnablePainting(was_); }
  PaintPause(const PaintPause&) = delete;
  PaintPause& operator=(const PaintPause&) = delete;

 private:
  CSGCtrl& g_;
  int was_;
};

}  // namespace

KZ_GridData::KZ_GridData() = default;
KZ_GridData::~KZ_GridData() = default;

// ------------------------------------------------------------------ set-up and showing

void KZ_GridData::OnSetup() {
  m_fontSystem.CreateFont(16, 0, 0, 0, 400, 0, 0, 0, 128, 0, 0, 0, 0, "System");
  m_fontSmall.CreateFont(14, 0, 0, 0, 200, 0, 0, 0, 128, 0, 0, 0, 0, "Arial");
  SetTabWidth(280);
  SetSheetCount(2);
  AddTab("Sheet-1", 0);
  AddTab("Sheet-2", 1);
  EnableMenu(1);
  EmptyMenu();
  AddMenuItem(1000, "Copy");
  SetMultiSelectMode(1);
  m_pTable = {};
  SetCurrentSheet(0, 0);
  SetCellText(-1, -1, "M");
}

void KZ_GridData::WriteHeadRows(const KZ_MultiVarObj& t, int columns) {
  SetCellText(-1, 1, "Unit");
  SetCellText(-1, 2, "min");
  SetCellText(-1, 3, "max");
  for (int c = 0; c < columns; ++c) {
    const KZ_Var1D& v = t.m_Columns[c];
    SetCellText(c, 0, v.m_strTitle.c_str());
    SetCellText(c, 1, v.m_strUnit.c_str());
    SetCellText(c, 2, KZ_NumberText(v.m_dMin).c_str());
    SetCellText(c, 3, KZ_NumberText(v.m_dMax).c_str());
  }
}

void KZ_GridData::BlankRows(long first, long last, int columns) {
  for (long r = std::max<long>(first, kHeadRows); r <= last; ++r)
    for (int c = -1; c < columns; ++c) SetCellText(c, r, "");
}

void KZ_GridData::SetData(KZ_MultiVarObj* t, CGraphView* graph) {
  if (!t || Columns(*t) <= 0) return;
  m_pTable[0] = t;
  m_pTable[1] = t->m_pSubTable.get();
  m_pGraph = graph;
  {
    SheetScope scope(*this, 0);
    PaintPause pause(*this);
    EnableMenu(1);
    m_nShownRows = std::min(SampleCount(*t, 0), kMaxShownRows);
    m_nShownColumns = std::min(Columns(*t), kMaxShownColumns);
    const long previous = m_nRowsWritten;
    m_nGridRows = std::max(m_nShownRows + 10, 50);
    SetDefaultFont(&m_fontSmall);
    SetDefaultRowHeight(16);
    SetDefaultColumnWidth(64);
    SetRowCount(m_nGridRows, 0);
    SetColumnCount(m_nShownColumns, 0);
    RefreshHeadings();
    SetLockedColumns(1);
    SetLockedRows(kHeadRows);
    WriteHeadRows(*t, m_nShownColumns);
    std::vector<int> counts(m_nShownColumns);
    for (int c = 0; c < m_nShownColumns; ++c) counts[c] = SampleCount(*t, c);
    for (int r = 0; r < m_nShownRows; ++r) {
      const long g = r + kHeadRows;
      SetCellText(-1, g, std::to_string(r).c_str());
      for (int c = 0; c < m_nShownColumns; ++c)
        SetCellText(c, g,
                    r < counts[c] ? KZ_NumberText(t->m_Columns[c].GetMagnitude(r)).c_str() : "");
    }
    m_nRowsWritten = kHeadRows + m_nShownRows;
    BlankRows(m_nRowsWritten, std::min<long>(std::max(previous, m_nRowsWritten), m_nGridRows) - 1,
              m_nShownColumns);
  }
  RedrawAll();
  KZ_MultiVarObj* second = m_pTable[1];
  if (second && Columns(*second) > 0) {
    SetData2(second);
    RefreshGraph(second);
  }
}

void KZ_GridData::SetData2(KZ_MultiVarObj* s) {
  if (!s || Columns(*s) <= 0) return;
  m_pTable[1] = s;
  {
    SheetScope scope(*this, 1);
    PaintPause pause(*this);
    EnableMenu(1);
    const int cols = Columns(*s);
    std::vector<int> counts(cols);
    for (int c = 0; c < cols; ++c) counts[c] = SampleCount(*s, c);
    // Normally every column is as long as the first; a longer one is shown whole too.
    const int longest = *std::max_element(counts.begin(), counts.end());
    const long previous = m_nRowsWritten2;
    SetDefaultFont(&m_fontSmall);
    SetDefaultRowHeight(16);
    SetDefaultColumnWidth(64);
    SetRowCount(longest + 10L, 0);
    SetColumnCount(cols, 0);
    RefreshHeadings2();
    SetLockedColumns(1);
    SetLockedRows(kHeadRows);
    WriteHeadRows(*s, cols);
    for (int r = 0; r < longest; ++r) {
      const long g = r + kHeadRows;
      SetCellText(-1, g, std::to_string(r).c_str());
      for (int c = 0; c < cols; ++c)
        SetCellText(c, g,
                    r < counts[c] ? KZ_NumberText(s->m_Columns[c].GetMagnitude(r)).c_str() : "");
    }
    m_nRowsWritten2 = kHeadRows + longest;
    BlankRows(m_nRowsWritten2, std::min(std::max(previous, m_nRowsWritten2), GetRowCount()) - 1,
              cols);
  }
  RedrawAll();
}

void KZ_GridData::RefreshHeadings() {
  KZ_MultiVarObj* t = m_pTable[0];
  if (!t) return;
  SheetScope scope(*this, 0);
  const int cols = std::min({m_nShownColumns, Columns(*t), GetColumnCount()});
  int nx = 0, ny = 0;
  char text[32];
  for (int c = 0; c < cols; ++c) {
    const KZ_Var1D& v = t->m_Columns[c];
    const char* star = v.m_nRangeFilter ? "*" : "";
    const std::uint32_t role = Role(v);
    COLORREF colour = kPlainHeading;
    if (role & KZ_AXIS_X) {
      std::snprintf(text, sizeof text, "%sX:%d", star, ++nx);
    } else if (role & KZ_AXIS_Y) {
      std::snprintf(text, sizeof text, "%sY:%d", star, ++ny);
    } else {
      std::snprintf(text, sizeof text, "%s%d", star, c);
    }
    if (role) {
      if (v.m_nColour >= 0)
        colour = static_cast<COLORREF>(v.m_nColour);
      else
        colour = ny > 0 ? kHeadingPalette[(ny - 1) % 11] : RGB(0, 0, 0);
    }
    SetCellText(c, -1, text);
    SetCellTextColor(c, -1, colour);
  }
}

void KZ_GridData::RefreshHeadings2() {
  KZ_MultiVarObj* s = m_pTable[1];
  if (!s) return;
  SheetScope scope(*this, 1);
  const int cols = std::min(Columns(*s), GetColumnCount());
  bool anyX = false;
  for (int c = 0; c < cols; ++c) anyX = anyX || (Role(s->m_Columns[c]) & KZ_AXIS_X);
  int nx = 0, ny = 0;
  char text[32];
  for (int c = 0; c < cols; ++c) {
    KZ_Var1D& v = s->m_Columns[c];
    COLORREF colour = kPlainHeading;
    if (!anyX && c == 0) {
      v.SetAxisFlags((v.GetAxisFlags() & ~KZ_AXIS_Y) | KZ_AXIS_X);
      std::snprintf(text, sizeof text, "X");
      colour = RGB(0, 0, 0);
    } else if (Role(v) & KZ_AXIS_X) {
      std::snprintf(text, sizeof text, "X:%d", ++nx);
      colour = RGB(0, 0, 0);
    } else if (Role(v) & KZ_AXIS_Y) {
      std::snprintf(text, sizeof text, "Y:%d", ++ny);
      colour = kHeadingPalette[(ny - 1) % 11];
    } else {
      std::snprintf(text, sizeof text, "%d", c);
    }
    SetCellText(c, -1, text);
    SetCellTextColor(c, -1, colour);
  }
}

void KZ_GridData::RefreshGraph(KZ_MultiVarObj* t) {
  if (!m_pGraph) return;
  if (t)
    m_pGraph->SetData(t);
  else
    m_pGraph->Invalidate();
}

void KZ_GridData::ForgetTable(KZ_MultiVarObj* t) {
  if (!t) return;
  KZ_MultiVarObj* second = t->m_pSubTable.get();
  for (KZ_MultiVarObj*& p : m_pTable)
    if (p && (p == t || p == second)) p = nullptr;
  if (m_pGraph && m_pGraph->GetData() &&
      (m_pGraph->GetData() == t || m_pGraph->GetData() == second))
    m_pGraph->SetData(nullptr);
}

// ------------------------------------------------------------------ notifications

void KZ_GridData::OnCellDoubleClick(int, long, RECT*, POINT*, int) { EditCurrentCell(); }

void KZ_GridData::OnGridChar(UINT* vcKey, int processed) {
  if (!processed && vcKey) EditCurrentCellWithKey(*vcKey);
}

int KZ_GridData::OnEditStart(int col, long row, CSGWnd**) { return col >= 0 && row >= 0 ? 1 : 0; }

void KZ_GridData::OnTopHeadingLeftClick(int col, long, int updn, RECT*, POINT*, int) {
  KZ_MultiVarObj* t = CurrentTable();
  if (!updn || !t || col < 0 || col >= Columns(*t)) return;
  KZ_Var1D& v = t->m_Columns[col];
  std::uint32_t role = 0;
  if (!Role(v)) {
    role = t->GetFirstXColumn() < 0 ? KZ_AXIS_X : KZ_AXIS_Y;
  }
  v.SetAxisFlags((v.GetAxisFlags() & ~(KZ_AXIS_X | KZ_AXIS_Y)) | role);
  if (GetCurrentSheet() == 0)
    RefreshHeadings();
  else
    RefreshHeadings2();
  RedrawAll();
  RefreshGraph(t);
}

int KZ_GridData::OnEditFinish(int col, long row, CSGWnd*, const char* text, int cancelled) {
  if (cancelled) return 1;
  KZ_MultiVarObj* t = CurrentTable();
  if (!t || col < 0 || col >= Columns(*t) || row < 0) return 1;
  const std::string s = text ? text : "";
  double v = 0.0;
  if (std::sscanf(s.c_str(), "%lf", &v) != 1) v = 0.0;
  KZ_Var1D& c = t->m_Columns[col];
  bool refresh = false;
  switch (row) {
    case 0:
      c.m_strTitle = s;
      refresh = true;
      break;
    case 1:
      c.m_strUnit = s;
      refresh = true;
      break;
    case 2:
      c.SetMin(v);
      break;
    case 3:
      c.SetMax(v);
      refresh = true;
      break;
    default: {
      const long r = row - kHeadRows;
      // A vector sample has no single value to type over.
      if (r < SampleCount(*t, col) && c.m_nComponents == 0) c.m_pData[r] = v;
      break;
    }
  }
  if (refresh && std::fabs(c.m_dMax - c.m_dMin) >= 1e-10) RefreshGraph(t);
  return 1;
}

void KZ_GridData::OnSheetTabClicked(long id) {
  if (id != 0 && id != 1) return;
  SetCurrentSheet(static_cast<int>(id), 1);
  RedrawAll();
  RefreshGraph(Table(static_cast<int>(id)));
}

bool KZ_GridData::AskDensityBins(double minimum, double maximum, int* bins) {
  CDlgPars dlg;
  dlg.m_strCaption = "Probabity Density Function";
  dlg.m_Grid.SetNumberRow(0, static_cast<float>(minimum), "min", "%f",
                          "X Minimum of the random var");
  dlg.m_Grid.SetNumberRow(1, static_cast<float>(maximum), "max", "%f",
                          "X Maximum of the random var");
  dlg.m_Grid.SetNumberRow(2, static_cast<float>(*bins), "max", "%d", "Number of bins");
  dlg.m_Grid.m_bOutputFolderRow = 0;
  if (dlg.DoModal() != IDOK) return false;
  *bins = static_cast<int>(dlg.m_Grid.m_Numbers[2].value);
  return true;
}
