#include "wincomp/grid/SGCtrl.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>

#include "platform/RecordingDc.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGHeadings.h"
#include "wincomp/grid/SGScroll.h"
#include "wincomp/grid/SGTab.h"

using namespace sgw;

CSGCtrl::CSGCtrl()
    : m_CUGGrid(std::make_unique<CSGGrid>()),
      m_CUGTopHdg(std::make_unique<CSGTopHdg>()),
      m_CUGSideHdg(std::make_unique<CSGSideHdg>()),
      m_CUGCnrBtn(std::make_unique<CSGCnrBtn>()),
      m_CUGVScroll(std::make_unique<CSGVScroll>()),
      m_CUGHScroll(std::make_unique<CSGHScroll>()),
      m_CUGHint(std::make_unique<CSGHint>()),
      m_CUGTab(std::make_unique<CSGTab>()),
      m_whitePen(PS_SOLID, 1, RGB(255, 255, 255)),
      m_shadowPen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)) {
  AddCellType(&m_defCellType);
  AddCellType(&m_dropListType);
  AddCellType(&m_checkBoxType);
  AddCellType(&m_arrowType);
  SetSheetCount(1);
  m_CUGHint->m_ctrl = this;
  HandOutRecord();
  m_paintMode = 1;
}

CSGCtrl::~CSGCtrl() {
  // Windows go before the records they point at.
  m_CUGHint->DestroyWnd();
  m_CUGGrid.reset();
  m_CUGTopHdg.reset();
  m_CUGSideHdg.reset();
  m_CUGCnrBtn.reset();
  m_CUGVScroll.reset();
  m_CUGHScroll.reset();
  m_CUGTab.reset();
  m_CUGHint.reset();
  m_sheets.clear();
}

void CSGCtrl::HandOutRecord() {
  m_CUGGrid->m_ctrl = this;
  m_CUGGrid->m_GI = m_GI;
  m_CUGTopHdg->m_ctrl = this;
  m_CUGTopHdg->m_GI = m_GI;
  m_CUGSideHdg->m_ctrl = this;
  m_CUGSideHdg->m_GI = m_GI;
  m_CUGCnrBtn->m_ctrl = this;
  m_CUGCnrBtn->m_GI = m_GI;
  m_CUGVScroll->m_ctrl = this;
  m_CUGVScroll->m_GI = m_GI;
  m_CUGHScroll->m_ctrl = this;
  m_CUGHScroll->m_GI = m_GI;
  m_CUGTab->m_ctrl = this;
  m_CUGTab->m_GI = m_GI;
}

// ---------------------------------------------------------------- creation, messages

int CSGCtrl::CreateGrid(DWORD /*style*/, const RECT& rect, SGWindowSystem& windows, void* parent,
                        UINT id) {
  if (!CreateWnd(windows, SGWindowKind::Grid, nullptr, parent, rect, id)) return 0;
  OnSetup();
  OnSheetSetup(0);
  return 1;
}

void CSGCtrl::OnCreate() {
  SGWindowSystem& sys = *System();
  SGWindowPort* me = Port();
  const RECT none{};
  m_CUGGrid->CreateWnd(sys, SGWindowKind::CellArea, me, nullptr, none, SG_ID_GRID);
  m_CUGTopHdg->CreateWnd(sys, SGWindowKind::TopHeading, me, nullptr, none, SG_ID_TOPHDG);
  m_CUGSideHdg->CreateWnd(sys, SGWindowKind::SideHeading, me, nullptr, none, SG_ID_SIDEHDG);
  m_CUGCnrBtn->CreateWnd(sys, SGWindowKind::Corner, me, nullptr, none, SG_ID_CNRBTN);
  m_CUGVScroll->CreateWnd(sys, SGWindowKind::VScroll, me, nullptr, none, SG_ID_VSCROLL);
  m_CUGHScroll->CreateWnd(sys, SGWindowKind::HScroll, me, nullptr, none, SG_ID_HSCROLL);
  m_CUGTab->CreateWnd(sys, SGWindowKind::Tabs, me, nullptr, none, SG_ID_TAB);
  m_CUGHint->Create(this);
  LayoutChildren();
}

void CSGCtrl::OnSize(int /*cx*/, int /*cy*/) {
  Invalidate();
  m_paintMode = 0;
  LayoutChildren();
  m_paintMode = 1;
  UpdateWindow();
}

void CSGCtrl::OnPaint(plat::CDC* dc) {
  RECT r = GetClientRect();
  dc->FillSolidRect(r, GetSysColor(COLOR_BTNFACE));
  RepaintChildren();
  m_CUGVScroll->UpdateScrollBar();
  m_CUGHScroll->UpdateScrollBar();
}

void CSGCtrl::OnSetFocus() { m_CUGGrid->SetFocus(); }

void CSGCtrl::OnSysColorChange() {
  for (int i = 0; i < m_cellTypeList.GetCapacity(); ++i)
    if (auto* t = static_cast<CSGCellType*>(m_cellTypeList.GetPointer(i))) t->OnSystemChange();
}

void CSGCtrl::OnHScroll(UINT code, UINT pos) { m_CUGHScroll->OnScroll(code, pos); }
void CSGCtrl::OnVScroll(UINT code, UINT pos) { m_CUGVScroll->OnScroll(code, pos); }
UINT CSGCtrl::OnGetDlgCode() { return DLGC_WANTARROWS | DLGC_WANTALLKEYS; }

void CSGCtrl::OnCommand(UINT id) {
  if (id >= 1000) OnPopupCommand(m_menuCol, m_menuRow, m_menuSection, id);
}

void CSGCtrl::RepaintChildren() {
  if (!m_paintMode) return;
  CSGWnd* children[] = {m_CUGGrid.get(),   m_CUGTopHdg.get(),  m_CUGSideHdg.get(),
                        m_CUGCnrBtn.get(), m_CUGVScroll.get(), m_CUGHScroll.get(),
                        m_CUGTab.get()};
  for (CSGWnd* w : children) {
    w->Invalidate();
    w->UpdateWindow();
  }
}

void CSGCtrl::WithMeasureDC(const std::function<void(plat::CDC&)>& fn) {
  if (m_CUGGrid->IsWindow()) {
    m_CUGGrid->Port()->Draw(fn);
    return;
  }
  plat::RecordingDc dc;
  fn(dc);
}

// ---------------------------------------------------------------- sheets

void CSGCtrl::ConnectSheet(CSGGridInfo* gi) { gi->m_ownDataSource->m_grid = this; }

int CSGCtrl::SetSheetCount(int count) {
  if (count < 1 || count > SG_MAX_SHEETS) return 1;
  CSGGridInfo* previous = m_GI;
  if (static_cast<int>(m_sheets.size()) > count) {
    if (previous && std::none_of(m_sheets.begin(), m_sheets.begin() + count,
                                 [&](const auto& s) { return s.get() == previous; }))
      previous = nullptr;
    // The windows must not keep pointing at a record that goes.
    if (!previous) {
      m_GI = m_sheets[0].get();
      HandOutRecord();
    }
    m_sheets.resize(count);
  }
  while (static_cast<int>(m_sheets.size()) < count) {
    m_sheets.push_back(std::make_unique<CSGGridInfo>());
    CSGGridInfo* gi = m_sheets.back().get();
    ConnectSheet(gi);
    m_GI = gi;
    HandOutRecord();
    OnSheetSetup(static_cast<int>(m_sheets.size()) - 1);
  }
  m_GI = previous ? previous : m_sheets[0].get();
  HandOutRecord();
  if (m_currentSheet >= count) SetCurrentSheet(count - 1, 1);
  return 0;
}

int CSGCtrl::SetCurrentSheet(int sheet, int redraw) {
  if (sheet < 0 || sheet >= static_cast<int>(m_sheets.size())) return 1;
  const int oldPaint = m_paintMode;
  if (!redraw) m_paintMode = 0;
  m_CUGGrid->SetFocus();
  const int tabWidth = m_GI ? m_GI->m_tabWidth : 0;
  m_GI = m_sheets[sheet].get();
  m_GI->m_tabWidth = tabWidth;
  HandOutRecord();
  m_currentSheet = sheet;
  LayoutChildren();
  m_paintMode = oldPaint;
  return 0;
}

int CSGCtrl::AddTab(const char* label, long id) { return m_CUGTab->AddTab(label, id); }

int CSGCtrl::SetTabWidth(int width) {
  m_GI->m_tabWidth = width;
  return 0;
}

// ---------------------------------------------------------------- size of the sheet

int CSGCtrl::SetRowCount(long count, int redraw) {
  CSGGridInfo& g = *m_GI;
  if (count < 0 || count > 0x7FFFFFFFL) return 1;
  if (count >= 1 && count <= g.m_numLockRows) g.m_numLockRows = static_cast<int>(count) - 1;
  if (count > SG_UNIFORM_ROWS && !g.m_uniformRowHeightFlag) {
    g.m_rowHeights.clear();
    g.m_rowHeights.shrink_to_fit();
    g.m_uniformRowHeightFlag = 1;
  }
  g.m_numberRows = static_cast<int>(count);
  if (!g.m_uniformRowHeightFlag) g.m_rowHeights.resize(count, g.m_defRowHeight);
  const long oldTop = g.m_topRow;
  CalcMaxTopRow();
  if (g.m_topRow != oldTop) ApplyMove();
  if (g.m_currentRow >= count) {
    g.m_currentRow = static_cast<int>(count) - 1;
    g.m_lastCurrentRow = g.m_currentRow;
    g.m_requestedRow = g.m_currentRow;
  }
  if (g.m_requestedRow >= count) g.m_requestedRow = static_cast<int>(count) - 1;
  CalcLockRowHeight();
  if (g.m_currentRow < 0 && count >= 1) GotoRow(0);
  if (redraw) RedrawAll();
  return 0;
}

int CSGCtrl::SetColumnCount(int count, int redraw) {
  CSGGridInfo& g = *m_GI;
  if (count < 0 || count > SG_MAX_COLUMNS) return 1;
  if (count >= 1 && count <= g.m_numLockCols) g.m_numLockCols = count - 1;
  const int old = g.m_numberCols;
  g.m_colInfo.resize(count);
  for (int c = old; c < count; ++c) {
    CSGColInfo& ci = g.m_colInfo[c];
    ci.width = g.m_defColWidth;
    ci.source = g.m_defDataSource;
    ci.defaultCell = std::make_unique<CSGCell>(*g.m_colDefaultCell);
    ci.sourceColIndex = c;
  }
  g.m_numberCols = count;
  CalcMaxLeftCol();
  if (g.m_currentCol >= count) {
    g.m_currentCol = count - 1;
    g.m_requestedCol = count - 1;
  }
  if (g.m_requestedCol >= count) g.m_requestedCol = count - 1;
  CalcLockColWidth();
  if (g.m_currentCol < 0 && count >= 1) GotoColumn(0);
  if (redraw && m_paintMode) RepaintChildren();
  return 0;
}

int CSGCtrl::DeleteRow(long row, int redraw) {
  if (row < 0 || row >= m_GI->m_numberRows) return 1;
  int rt = m_GI->m_defDataSource->DeleteRow(static_cast<int>(row));
  if (rt != 0) return rt;
  SetRowCount(m_GI->m_numberRows - 1, redraw);
  return 0;
}

// ---------------------------------------------------------------- sizes

void CSGCtrl::CalcLockRowHeight() {
  long h = 0;
  for (int r = 0; r < m_GI->m_numLockRows; ++r) h += m_GI->RowHeight(r);
  m_GI->m_lockRowHeight = static_cast<int>(h);
}

void CSGCtrl::CalcLockColWidth() {
  long w = 0;
  for (int c = 0; c < m_GI->m_numLockCols; ++c) w += m_GI->ColWidth(c);
  m_GI->m_lockColWidth = static_cast<int>(w);
}

int CSGCtrl::SetColumnWidth(int col, int width) {
  CSGGridInfo& g = *m_GI;
  if (col >= 0 && col < g.m_numberCols) {
    g.m_colInfo[col].width = std::max(0, width);
    if (col < g.m_numLockCols) CalcLockColWidth();
    return 0;
  }
  if (col < 0 && col >= -g.m_numberSideHdgCols) SetSideHeadingColumnWidth(col, width);
  return 1;
}

int CSGCtrl::GetColumnWidth(int col) const {
  if (col < 0 || col >= m_GI->m_numberCols) return 1;
  return m_GI->m_colInfo[col].width;
}

int CSGCtrl::QueryColumnWidth(int col, int* width) const {
  if (col < 0 || col >= m_GI->m_numberCols) return 1;
  if (width) *width = m_GI->m_colInfo[col].width;
  return 0;
}

int CSGCtrl::SetRowHeight(long row, int height) {
  CSGGridInfo& g = *m_GI;
  if (row < 0 || row >= g.m_numberRows) return 0;
  height = std::max(0, height);
  if (g.m_uniformRowHeightFlag)
    g.m_defRowHeight = std::max(1, height);
  else
    g.m_rowHeights[row] = height;
  CalcLockRowHeight();
  return 0;
}

int CSGCtrl::GetRowHeight(long row) const { return m_GI->RowHeight(static_cast<int>(row)); }

int CSGCtrl::QueryRowHeight(long row, int* height) const {
  if (row < 0 || row >= m_GI->m_numberRows) return 1;
  if (height) *height = m_GI->RowHeight(static_cast<int>(row));
  return 0;
}

int CSGCtrl::SetDefaultColumnWidth(int width) {
  if (width < 0) return 1;
  m_GI->m_defColWidth = width;
  return 0;
}

int CSGCtrl::SetDefaultRowHeight(int height) {
  if (height < 1 || height > 1024) return 1;
  m_GI->m_defRowHeight = height;
  return 0;
}

int CSGCtrl::SetTopHeadingRowHeight(int row, int height) {
  if (row > -1 || row < -m_GI->m_numberTopHdgRows) return 1;
  if (height > SG_MAX_HEADING_SIZE) return 2;
  m_GI->m_topHdgHeights[-row - 1] = std::max(0, height);
  return 0;
}

namespace {
// Scales the sizes so that they sum to `total`, each rounded to the nearest pixel.
void ScaleSizes(std::vector<int>& sizes, int total) {
  long sum = 0;
  for (int s : sizes) sum += s;
  if (sum <= 0) return;  // nothing to scale from: the fitting at layout sizes them
  for (int& s : sizes) s = static_cast<int>(s * (double(total) / sum) + 0.5);
}
}  // namespace

int CSGCtrl::SetTopHeadingHeight(int height) {
  if (height > SG_MAX_HEADING_SIZE) return 1;
  height = std::max(0, height);
  m_GI->m_topHdgHeight = height;
  ScaleSizes(m_GI->m_topHdgHeights, height);
  LayoutChildren();
  return 0;
}

int CSGCtrl::SetSideHeadingColumnWidth(int col, int width) {
  if (col > -1 || col < -m_GI->m_numberSideHdgCols) return 1;
  if (width > SG_MAX_HEADING_SIZE) return 2;
  width = std::max(0, width);
  int& w = m_GI->m_sideHdgWidths[-col - 1];
  if (w != width) {
    w = width;
    if (m_GI->m_numberSideHdgCols == 1) SetSideHeadingWidth(width);
  }
  return 0;
}

int CSGCtrl::SetSideHeadingWidth(int width) {
  if (width > SG_MAX_HEADING_SIZE) return 1;
  width = std::max(0, width);
  m_GI->m_sideHdgWidth = width;
  ScaleSizes(m_GI->m_sideHdgWidths, width);
  LayoutChildren();
  return 0;
}

int CSGCtrl::SetLockedColumns(int count) {
  CSGGridInfo& g = *m_GI;
  if (count < 0 || count > g.m_numberCols) return 1;
  if (count == g.m_numLockCols) return 0;
  g.m_numLockCols = count;
  CalcLockColWidth();
  g.m_leftCol = count;
  g.m_lastLeftCol = count;
  CalcMaxLeftCol();
  return 0;
}

int CSGCtrl::SetLockedRows(int count) {
  CSGGridInfo& g = *m_GI;
  if (count < 0 || count > g.m_numberRows) return 1;
  if (count == g.m_numLockRows) return 0;
  g.m_numLockRows = count;
  CalcLockRowHeight();
  g.m_topRow = count;
  g.m_lastTopRow = count;
  CalcMaxTopRow();
  return 0;
}

int CSGCtrl::BestFit(int firstCol, int lastCol, int rows, int flags) {
  CSGGridInfo& g = *m_GI;
  if (firstCol < -g.m_numberSideHdgCols) return 1;
  if (lastCol >= g.m_numberCols) return 2;
  if (firstCol > lastCol) return 3;
  std::vector<int> widths(lastCol - firstCol + 1, 3);
  long row = (flags & 1) ? -g.m_numberTopHdgRows : 0;
  WithMeasureDC([&](plat::CDC& dc) {
    CSGCell cell;
    for (int n = 0; n < rows && row < g.m_numberRows; ++n) {
      for (int c = firstCol; c <= lastCol; ++c) {
        GetCellWithDefaults(c, row, &cell);
        if (cell.IsPropertySet(SGCELL_JOININFO)) continue;
        SIZE size{};
        GetCellTypeByIndex(cell.GetCellType())->GetBestSize(&dc, &size, &cell);
        widths[c - firstCol] = std::max<int>(widths[c - firstCol], size.cx);
      }
      // Display order: after the locked rows the walk continues at the top row.
      ++row;
      if (row >= g.m_numLockRows && row < g.m_topRow) row = g.m_topRow;
    }
  });
  const int limit = g.m_gridWidth - g.m_vScrollWidth;
  for (int c = firstCol; c <= lastCol; ++c) {
    int w = std::min(widths[c - firstCol], std::max(limit, 0));
    if (c >= 0) {
      SetColumnWidth(c, w);
    } else if (w <= SG_MAX_HEADING_SIZE && g.m_sideHdgWidths[-c - 1] != w) {
      SetSideHeadingColumnWidth(c, w);
    }
  }
  LayoutChildren();
  return 0;
}

int CSGCtrl::MoveColumn(int fromCol, int toCol, int before) {
  CSGGridInfo& g = *m_GI;
  const int pos = before ? toCol : toCol + 1;
  if (fromCol < 0 || fromCol >= g.m_numberCols || pos < 0 || pos > g.m_numberCols) return 1;
  if (pos == fromCol || pos == fromCol + 1) return 0;
  CSGColInfo moved = std::move(g.m_colInfo[fromCol]);
  g.m_colInfo.erase(g.m_colInfo.begin() + fromCol);
  const int at = fromCol < pos ? pos - 1 : pos;
  g.m_colInfo.insert(g.m_colInfo.begin() + at, std::move(moved));
  CalcLockColWidth();
  return 0;
}

// ---------------------------------------------------------------- cells

CSGDataSource* CSGCtrl::SourceOf(int col, int* sourceCol) const {
  const CSGGridInfo& g = *m_GI;
  if (col >= 0 && col < g.m_numberCols) {
    const CSGColInfo& ci = g.m_colInfo[col];
    *sourceCol = ci.sourceColIndex;
    return ci.source ? ci.source : g.m_defDataSource;
  }
  *sourceCol = col;
  return g.m_defDataSource;
}

int CSGCtrl::GetCell(int col, long row, CSGCell* cell) {
  if (col >= m_GI->m_numberCols || !cell) return 1;
  cell->SetPropertyMask(0);
  int sc = 0;
  CSGDataSource* ds = SourceOf(col, &sc);
  return ds ? ds->GetCell(sc, static_cast<int>(row), cell) : 1;
}

int CSGCtrl::GetCellWithDefaults(int col, long row, CSGCell* cell) {
  const CSGGridInfo& g = *m_GI;
  cell->SetPropertyMask(0);
  if (col >= 0 && col < g.m_numberCols && row >= 0) {
    if (g.m_colInfo[col].defaultCell) cell->CopyInfoFrom(*g.m_colInfo[col].defaultCell);
  } else {
    cell->CopyInfoFrom(*g.m_hdgDefaultCell);
  }
  if (row < g.m_numberRows) {
    int sc = 0;
    CSGDataSource* ds = SourceOf(col, &sc);
    if (ds) ds->GetCell(sc, static_cast<int>(row), cell);
    OnCellFetched(sc, row, cell);
  }
  return 0;
}

int CSGCtrl::SetCell(int col, long row, CSGCell* cell) {
  if (col >= m_GI->m_numberCols || !cell) return 1;
  OnCellStoring(col, row, cell);
  int sc = 0;
  CSGDataSource* ds = SourceOf(col, &sc);
  if (ds) ds->SetCell(sc, static_cast<int>(row), cell);
  return 0;
}

int CSGCtrl::SetCellText(int col, long row, const char* text) {
  GetCell(col, row, &m_cell);
  m_cell.SetText(text);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellNumber(int col, long row, double number) {
  GetCell(col, row, &m_cell);
  m_cell.SetNumber(number);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellInteger(int col, long row, int number) {
  GetCell(col, row, &m_cell);
  m_cell.SetNumberDecimals(0);
  m_cell.SetNumber(number);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellLabel(int col, long row, const char* label) {
  GetCell(col, row, &m_cell);
  m_cell.SetLabel(label);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellTextColor(int col, long row, COLORREF color) {
  GetCell(col, row, &m_cell);
  m_cell.SetTextColor(color);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellBackColor(int col, long row, COLORREF color) {
  GetCell(col, row, &m_cell);
  m_cell.SetBackColor(color);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellFont(int col, long row, const plat::CFont* font) {
  GetCell(col, row, &m_cell);
  m_cell.SetFont(font);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellAlignment(int col, long row, short align) {
  GetCell(col, row, &m_cell);
  m_cell.SetAlignment(align);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellType(int col, long row, int index) {
  GetCell(col, row, &m_cell);
  m_cell.SetCellType(index);
  SetCell(col, row, &m_cell);
  return 0;
}
int CSGCtrl::SetCellTypeStyle(int col, long row, long style) {
  GetCell(col, row, &m_cell);
  m_cell.SetCellTypeStyle(style);
  SetCell(col, row, &m_cell);
  return 0;
}

const char* CSGCtrl::GetCellText(int col, long row) {
  GetCell(col, row, &m_cell);
  return m_cell.GetText();
}

double CSGCtrl::GetCellNumber(int col, long row) {
  GetCell(col, row, &m_cell);
  return m_cell.GetNumber();
}

int CSGCtrl::JoinCells(int sc, long sr, int ec, long er) {
  const CSGGridInfo& g = *m_GI;
  if (sc > ec || sr > er || ec >= g.m_numberCols || er >= g.m_numberRows ||
      sc < -g.m_numberSideHdgCols || sr < -g.m_numberTopHdgRows)
    return 1;
  CSGCell cell;
  for (long r = sr; r <= er; ++r)
    for (int c = sc; c <= ec; ++c) {
      GetCell(c, r, &cell);
      cell.SetJoinInfo(0, sc - c, static_cast<int>(sr - r));
      SetCell(c, r, &cell);
    }
  GetCell(sc, sr, &cell);
  cell.SetJoinInfo(1, ec - sc, static_cast<int>(er - sr));
  SetCell(sc, sr, &cell);
  return 0;
}

int CSGCtrl::GetJoinStartCell(int* col, long* row, CSGCell* cell) {
  if (!m_GI->m_enableJoins) return 1;
  GetCellWithDefaults(*col, *row, cell);
  short origin = 0;
  int co = 0, ro = 0;
  if (cell->GetJoinInfo(&origin, &co, &ro) != 0) return 2;
  if (!origin) {
    *col += co;
    *row += ro;
    GetCellWithDefaults(*col, *row, cell);
  }
  return 0;
}

int CSGCtrl::GetJoinRange(int* col, long* row, int* endCol, long* endRow) {
  int rt = GetJoinStartCell(col, row, &m_cell);
  if (rt != 0) return rt;
  short origin = 0;
  int co = 0, ro = 0;
  m_cell.GetJoinInfo(&origin, &co, &ro);
  *endCol = *col + std::max(co, 0);
  *endRow = *row + std::max(ro, 0);
  return 0;
}

int CSGCtrl::GetJoinStart(int* col, long* row) { return GetJoinStartCell(col, row, &m_cell); }

// ---------------------------------------------------------------- cell types

int CSGCtrl::AddCellType(CSGCellType* type) {
  if (!type) return -1;
  int index = m_cellTypeList.Add(type);
  if (index < 0) return -1;
  type->SetGrid(this);
  type->SetTypeIndex(index);
  return index;
}

CSGCellType* CSGCtrl::GetCellTypeByIndex(int index) {
  if (index < 1) return &m_defCellType;
  auto* t = static_cast<CSGCellType*>(m_cellTypeList.GetPointer(index));
  return t ? t : &m_defCellType;
}

CSGCellType* CSGCtrl::GetCellTypeOfCell(int col, long row) {
  GetCellWithDefaults(col, row, &m_cell);
  return GetCellTypeByIndex(m_cell.GetCellType());
}

// ---------------------------------------------------------------- appearance, menu

int CSGCtrl::SetDefaultFont(const plat::CFont* font) {
  if (!font) return 1;
  m_GI->m_defFont = font;
  return 0;
}

int CSGCtrl::SetMultiSelectMode(int mode) {
  m_GI->m_multiSelectFlag = mode;
  return 0;
}

int CSGCtrl::EmptyMenu() {
  m_menu.clear();
  return 0;
}

int CSGCtrl::AddMenuItem(UINT id, const char* text) {
  SGMenuItem item;
  if (text && *text && id != 0xFFFFFFFFu) {
    item.id = id;
    item.text = text;
  }
  m_menu.push_back(item);
  return 0;
}

int CSGCtrl::EnableMenu(int flag) {
  m_GI->m_menuEnabled = flag != 0;
  return 0;
}

int CSGCtrl::OpenPopupMenu(int col, long row, int section, POINT* /*screenPoint*/) {
  if (!m_GI->m_menuEnabled) return 1;
  if (!OnPopupOpen(col, row, section)) return 2;
  m_menuCol = col;
  m_menuRow = row;
  m_menuSection = section;
  return 3;  // no menu can be tracked here
}

int CSGCtrl::RedrawAll() {
  RepaintChildren();
  return 0;
}

int CSGCtrl::RedrawCell(int col, long row) {
  if (col < 0) {
    m_CUGSideHdg->Invalidate();
    m_CUGSideHdg->UpdateWindow();
  } else if (row < 0) {
    m_CUGTopHdg->Invalidate();
    m_CUGTopHdg->UpdateWindow();
  } else {
    m_CUGGrid->RedrawCell(col, row);
  }
  return 0;
}

int CSGCtrl::RedrawRow(long row) { return m_CUGGrid->RedrawRow(row); }

int CSGCtrl::RedrawRange(int startCol, long startRow, int endCol, long endRow) {
  return m_CUGGrid->RedrawRange(startCol, startRow, endCol, endRow);
}

int CSGCtrl::GetCellTipText(int col, long row, int /*section*/, std::string* text) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "Col:%d Row:%ld", col, row);
  if (text) *text = buf;
  return TRUE;
}

int CSGCtrl::CompareCells(CSGCell* a, CSGCell* b, int flags) {
  if (flags & 2) std::swap(a, b);
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  if (!a->GetText()) return b->GetText() ? -1 : 0;
  if (a->GetDataType() == SG_NUMBER_DATA) {
    double x = a->GetNumber(), y = b->GetNumber();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  int r = strcasecmp(a->GetText(), b->GetText() ? b->GetText() : "");
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

COLORREF CSGCtrl::GetSectionBackColor(int section) {
  return GetSysColor(section == SG_SECTION_GRID ? COLOR_WINDOW : COLOR_BTNFACE);
}

void CSGCtrl::DrawFocusFrame(plat::CDC* dc, RECT* rect) {
  RECT r = *rect;
  r.right -= 1;
  r.bottom -= 1;
  dc->DrawFocusRect(r);
}

// ---------------------------------------------------------------- layout

void CSGCtrl::CalcMaxTopRow() {
  CSGGridInfo& g = *m_GI;
  const long oldMax = g.m_maxTopRow;
  const long count = g.m_numberRows;
  const long avail = static_cast<long>(g.m_gridHeight) - g.m_lockRowHeight;
  long maxTop = g.m_numLockRows;
  if (g.m_uniformRowHeightFlag) {
    const long h = std::max(1, g.m_defRowHeight);
    const long fitting = avail < 0 ? 0 : avail / h;
    if (count - g.m_numLockRows > fitting) maxTop = count - fitting;
  } else {
    long left = avail;
    for (long r = count - 1; r >= g.m_numLockRows; --r) {
      left -= g.m_rowHeights[r];
      if (left < 0) {
        maxTop = r + 1;
        break;
      }
    }
  }
  maxTop = std::min(maxTop, count - 1);
  maxTop = std::max<long>(maxTop, g.m_numLockRows);
  g.m_maxTopRow = static_cast<int>(maxTop);
  g.m_topRow = std::max(g.m_numLockRows, std::min(g.m_topRow, g.m_maxTopRow));
  if ((oldMax == 0) != (g.m_maxTopRow == 0) && m_layoutDepth == 0 && IsWindow()) LayoutChildren();
}

void CSGCtrl::CalcMaxLeftCol() {
  CSGGridInfo& g = *m_GI;
  const long avail = static_cast<long>(g.m_gridWidth) - g.m_lockColWidth;
  int maxLeft = g.m_numLockCols;
  long left = avail;
  for (int c = g.m_numberCols - 1; c >= g.m_numLockCols; --c) {
    left -= g.m_colInfo[c].width;
    if (left < 0) {
      maxLeft = c + 1;
      break;
    }
  }
  maxLeft = std::min(maxLeft, g.m_numberCols - 1);
  maxLeft = std::max(maxLeft, g.m_numLockCols);
  g.m_maxLeftCol = maxLeft;
  g.m_leftCol = std::max(g.m_numLockCols, std::min(g.m_leftCol, g.m_maxLeftCol));
}

int CSGCtrl::LayoutChildren() {
  CSGGridInfo& g = *m_GI;
  ++m_layoutDepth;
  if (IsWindow() && !m_CUGGrid->HasFocus()) m_CUGGrid->SetFocus();
  const int savedV = g.m_vScrollWidth, savedH = g.m_hScrollHeight, savedTab = g.m_tabWidth;
  const RECT client = GetClientRect();
  const int W = client.right - client.left, H = client.bottom - client.top;
  const int sW = g.m_sideHdgWidth, tH = g.m_topHdgHeight;
  int vw = g.m_vScrollWidth, hh = g.m_hScrollHeight, tw = g.m_tabWidth;
  if (tw > 0) tw = std::max(4, std::min(tw, (W - sW) - 30));

  long cols = 0, rows = 0;
  const long availW = W - sW, availH = H - tH;
  for (int c = 0; c < g.m_numberCols && cols <= availW; ++c) cols += g.m_colInfo[c].width;
  if (g.m_uniformRowHeightFlag) {
    rows = std::min<long>(static_cast<long>(g.m_numberRows) * g.m_defRowHeight, availH + 1);
  } else {
    for (int r = 0; r < g.m_numberRows && rows <= availH; ++r) rows += g.m_rowHeights[r];
  }
  const bool colsFit = cols <= availW, rowsFit = rows <= availH;
  if (rowsFit && (colsFit || rows <= availH - hh)) vw = 0;
  if (colsFit && tw < 1 && (rowsFit || cols <= availW - vw)) hh = 0;

  RECT r[SG_RECT_COUNT];
  r[SG_RECT_GRID] = {sW, tH, W - vw, H - hh};
  r[SG_RECT_TOPHDG] = {sW, 0, W - vw, tH};
  r[SG_RECT_SIDEHDG] = {0, tH, sW, H - hh};
  r[SG_RECT_CNRBTN] = {0, 0, sW, tH};
  r[SG_RECT_VSCROLL] = {W - vw, 0, W, H - hh};
  r[SG_RECT_HSCROLL] = {tw, H - hh, W - vw, H};
  r[SG_RECT_TAB] = {0, H - hh, tw, H};
  g.m_gridWidth = std::max(0, W - vw - sW);
  g.m_gridHeight = std::max(0, H - hh - tH);
  g.m_vScrollWidth = vw;
  g.m_hScrollHeight = hh;
  g.m_tabWidth = tw;
  OnLayoutRects(&r[SG_RECT_GRID], &r[SG_RECT_TOPHDG], &r[SG_RECT_SIDEHDG], &r[SG_RECT_CNRBTN],
                &r[SG_RECT_VSCROLL], &r[SG_RECT_HSCROLL], &r[SG_RECT_TAB]);
  for (int i = 0; i < SG_RECT_COUNT; ++i) g.m_rects[i] = r[i];

  if (m_tabSizing) {
    m_CUGHScroll->MoveWindow(r[SG_RECT_HSCROLL]);
    m_CUGTab->MoveWindow(r[SG_RECT_TAB]);
    m_CUGHScroll->Invalidate();
    m_CUGHScroll->UpdateWindow();
    m_CUGTab->Invalidate();
    m_CUGTab->UpdateWindow();
  } else {
    m_CUGGrid->MoveWindow(r[SG_RECT_GRID]);
    m_CUGTopHdg->MoveWindow(r[SG_RECT_TOPHDG]);
    m_CUGSideHdg->MoveWindow(r[SG_RECT_SIDEHDG]);
    m_CUGCnrBtn->MoveWindow(r[SG_RECT_CNRBTN]);
    m_CUGVScroll->MoveWindow(r[SG_RECT_VSCROLL]);
    m_CUGHScroll->MoveWindow(r[SG_RECT_HSCROLL]);
    m_CUGTab->MoveWindow(r[SG_RECT_TAB]);
    CalcMaxTopRow();
    CalcMaxLeftCol();
    m_CUGTopHdg->FitRows();
    m_CUGSideHdg->FitColumns();
    // The range follows the new sizes.
    m_CUGVScroll->m_lastMaxTopRow = -2;
    m_CUGHScroll->m_lastMaxLeftCol = -1;
    if (IsWindow()) {
      m_CUGVScroll->UpdateScrollBar();
      m_CUGHScroll->UpdateScrollBar();
    }
    RepaintChildren();
  }
  g.m_vScrollWidth = savedV;
  g.m_hScrollHeight = savedH;
  g.m_tabWidth = savedTab;
  g.m_lastTopRow = g.m_topRow;
  g.m_lastLeftCol = g.m_leftCol;
  --m_layoutDepth;
  return 0;
}

// ---------------------------------------------------------------- geometry

int CSGCtrl::ColWidthForWalk(int col) const { return m_GI->ColWidth(col); }
int CSGCtrl::RowHeightForWalk(long row) const { return m_GI->RowHeight(static_cast<int>(row)); }

namespace {

// Positions along one axis in display order: the locked part, then from the first
// scrollable index on. `size` gives an index's extent; `uniform` (> 0) is the one extent
// of every index when all are alike.
struct Axis {
  long count, locked, first, lockedSize;
  int uniform;
  const std::function<int(long)>& size;

  // The start of `index` in display order, or -1 when it is scrolled out of view.
  long StartOf(long index) const {
    if (index < 0 || index >= count) return -1;
    if (index < locked) {
      long pos = 0;
      for (long i = 0; i < index; ++i) pos += size(i);
      return pos;
    }
    if (index < first) return -1;
    if (uniform > 0) return lockedSize + (index - first) * uniform;
    long pos = lockedSize;
    for (long i = first; i < index; ++i) pos += size(i);
    return pos;
  }
  // The index whose span contains pos, with its span; -1 when none.
  long Hit(long pos, long* start, long* end) const {
    if (pos < 0) return -1;
    long p = 0;
    for (long i = 0; i < locked && i < count; ++i) {
      long s = size(i);
      if (p + s > pos) {
        *start = p;
        *end = p + s;
        return i;
      }
      p += s;
    }
    p = lockedSize;
    if (uniform > 0) {
      if (pos < p) return -1;
      long i = first + (pos - p) / uniform;
      if (i >= count) return -1;
      *start = p + (i - first) * uniform;
      *end = *start + uniform;
      return i;
    }
    for (long i = first; i < count; ++i) {
      long s = size(i);
      if (p + s > pos) {
        *start = p;
        *end = p + s;
        return i;
      }
      p += s;
    }
    return -1;
  }
};

}  // namespace

int CSGCtrl::GetCellRect(int col, long row, RECT* rect) {
  return GetCellRectAndJoin(&col, &row, rect);
}

int CSGCtrl::GetCellRectAndJoin(int* col, long* row, RECT* rect) {
  CSGGridInfo& g = *m_GI;
  *rect = RECT{};
  int endCol = *col;
  long endRow = *row;
  if (g.m_enableJoins) {
    int c = *col, ec = 0;
    long r = *row, er = 0;
    if (GetJoinRange(&c, &r, &ec, &er) == 0) {
      *col = c;
      *row = r;
      endCol = ec;
      endRow = er;
    }
  }
  const std::function<int(long)> colSize = [&](long c) { return g.ColWidth(static_cast<int>(c)); };
  const std::function<int(long)> rowSize = [&](long r) { return g.RowHeight(static_cast<int>(r)); };
  Axis cx{g.m_numberCols, g.m_numLockCols, g.m_leftCol, g.m_lockColWidth, 0, colSize};
  Axis ry{g.m_numberRows,
          g.m_numLockRows,
          g.m_topRow,
          g.m_lockRowHeight,
          g.m_uniformRowHeightFlag ? g.m_defRowHeight : 0,
          rowSize};
  auto span = [](const Axis& a, long start, long end, LONG* lo, LONG* hi) {
    if (start >= a.locked) *lo = *hi = static_cast<LONG>(a.lockedSize);
    long s = a.StartOf(start);
    if (s >= 0) *lo = *hi = static_cast<LONG>(s);
    // The end edge: the last visible index of the block.
    for (long i = end; i >= start; --i) {
      long p = a.StartOf(i);
      if (p >= 0) {
        *hi = static_cast<LONG>(p + a.size(i));
        return;
      }
      if (i < a.first && i >= a.locked) return;  // the rest is scrolled out too
    }
  };
  span(cx, *col, endCol, &rect->left, &rect->right);
  span(ry, *row, endRow, &rect->top, &rect->bottom);
  return 0;
}

int CSGCtrl::HitTestCell(int x, int y, int* col, long* row) {
  RECT r;
  return HitTestCellRect(x, y, col, row, &r);
}

int CSGCtrl::HitTestCellRect(int x, int y, int* col, long* row, RECT* rect) {
  CSGGridInfo& g = *m_GI;
  if (x < 0 || y < 0 || x > g.m_gridWidth || y > g.m_gridHeight) return 1;
  const std::function<int(long)> colSize = [&](long c) { return g.ColWidth(static_cast<int>(c)); };
  const std::function<int(long)> rowSize = [&](long r) { return g.RowHeight(static_cast<int>(r)); };
  Axis cx{g.m_numberCols, g.m_numLockCols, g.m_leftCol, g.m_lockColWidth, 0, colSize};
  Axis ry{g.m_numberRows,
          g.m_numLockRows,
          g.m_topRow,
          g.m_lockRowHeight,
          g.m_uniformRowHeightFlag ? g.m_defRowHeight : 0,
          rowSize};
  long l = 0, r = 0, t = 0, b = 0;
  long c = cx.Hit(x, &l, &r);
  long rw = ry.Hit(y, &t, &b);
  if (c < 0 || rw < 0) return 1;
  *col = static_cast<int>(c);
  *row = rw;
  if (rect)
    *rect = RECT{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r),
                 static_cast<LONG>(b)};
  if (g.m_enableJoins) {
    GetCellWithDefaults(*col, *row, &m_cell);
    if (m_cell.IsPropertySet(SGCELL_JOININFO)) {
      RECT jr;
      GetCellRectAndJoin(col, row, &jr);
      if (rect) *rect = jr;
    }
  }
  return 0;
}
