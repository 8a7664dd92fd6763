// Everything one sheet of the grid keeps: sizes, headings, current cell, view, storage,
// fonts and flags. A plain record with public fields; the grid control and its child
// windows read and write it directly, and switching the sheet switches the record.
#pragma once
#include <memory>
#include <vector>

#include "platform/Gdi.h"
#include "wincomp/grid/SGCell.h"
#include "wincomp/grid/SGDataSource.h"

class CSGSelectList;
class CSGWnd;

// One column of a sheet.
struct CSGColInfo {
  int width = 75;
  CSGDataSource* source = nullptr;  // not owned
  std::unique_ptr<CSGCell> defaultCell;
  int sourceColIndex = 0;  // the column under which the storage knows it
};

// The seven child rectangles, in grid client coordinates.
enum SGRect {
  SG_RECT_GRID,
  SG_RECT_TOPHDG,
  SG_RECT_SIDEHDG,
  SG_RECT_CNRBTN,
  SG_RECT_VSCROLL,
  SG_RECT_HSCROLL,
  SG_RECT_TAB,
  SG_RECT_COUNT
};

class CSGGridInfo {
 public:
  CSGGridInfo();
  ~CSGGridInfo();
  CSGGridInfo(const CSGGridInfo&) = delete;
  CSGGridInfo& operator=(const CSGGridInfo&) = delete;

  // Columns.
  int m_numberCols = 0;
  int m_currentCol = -1;
  int m_lastCurrentCol = -1;
  int m_leftCol = 0;
  int m_lastLeftCol = 0;
  int m_maxLeftCol = 0;
  int m_defColWidth = 75;
  int m_rightCol = 0;
  int m_requestedCol = -1;
  std::vector<CSGColInfo> m_colInfo;

  // Rows.
  int m_numberRows = 0;
  int m_currentRow = -1;
  int m_lastCurrentRow = -1;
  int m_topRow = 0;
  int m_lastTopRow = 0;
  int m_maxTopRow = 0;
  std::vector<int> m_rowHeights;  // empty in uniform mode
  int m_defRowHeight = 20;
  int m_uniformRowHeightFlag = 0;
  int m_bottomRow = 0;
  int m_requestedRow = -1;

  // Headings and default cells.
  int m_numberTopHdgRows = 1;
  std::vector<int> m_topHdgHeights{20};  // entry k is row -(k+1)
  int m_numberSideHdgCols = 1;
  std::vector<int> m_sideHdgWidths{25};  // entry k is column -(k+1)
  std::unique_ptr<CSGCell> m_colDefaultCell;
  std::unique_ptr<CSGCell> m_hdgDefaultCell;
  int m_topHdgHeight = 20;
  int m_sideHdgWidth = 40;

  // Layout.
  int m_vScrollWidth;
  int m_hScrollHeight;
  int m_tabWidth = 0;
  int m_gridWidth = 0;
  int m_gridHeight = 0;
  RECT m_rects[SG_RECT_COUNT]{};

  // Options.
  int m_multiSelectFlag = 0;
  int m_threeDHeight = 1;
  int m_menuEnabled = 0;
  int m_userSizingMode = 1;
  int m_bestFitOnDblClick = 1;
  int m_enableJoins = 1;
  int m_enableCellOverLap = 1;
  int m_showGridLines = 1;
  int m_textMargin = 4;

  // Locked rows and columns, fonts, storage and selection.
  int m_numLockCols = 0;
  int m_numLockRows = 0;
  int m_lockColWidth = 0;
  int m_lockRowHeight = 0;
  const plat::CFont* m_defFont = nullptr;
  CSGDataSource* m_defDataSource = nullptr;
  std::unique_ptr<CSGMem> m_ownDataSource;
  int m_moveType = 0;
  unsigned m_moveFlags = 0;
  CSGSelectList* m_multiSelect = nullptr;  // not owned here: multiple selection sets it
  int m_arrowCursor;
  int m_WEResizeCursor;
  int m_NSResizeCursor;
  CSGWnd* m_editCtrl = nullptr;
  plat::CPen m_gridLinePen{PS_SOLID, 1, RGB(220, 220, 220)};

  // Helpers over the fields, for the grid and its windows.
  int RowHeight(int row) const;  // 0 outside 0..count-1
  int ColWidth(int col) const;   // 0 outside 0..count-1
};
