// The spreadsheet-like grid control: several sheets, each with its settings record; seven
// child windows (cell area, top and side headings, corner button, two scroll bars, sheet
// tabs) that it creates, lays out and keeps in step; cells read and written through each
// column's storage; movement and scrolling; and the notifications through which a
// derived grid configures it and reacts to the user.
// Operations answer 0 for success, 1 for a request out of range and 2 for a refusal by
// the owner or the storage.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/CDC.h"
#include "wincomp/grid/SGCell.h"
#include "wincomp/grid/SGCellType.h"
#include "wincomp/grid/SGDataSource.h"
#include "wincomp/grid/SGGridInfo.h"
#include "wincomp/grid/SGPtrList.h"
#include "wincomp/grid/SGWnd.h"

class CSGGrid;
class CSGTopHdg;
class CSGSideHdg;
class CSGCnrBtn;
class CSGVScroll;
class CSGHScroll;
class CSGTab;
class CSGHint;

// Section codes.
constexpr int SG_SECTION_GRID = 1;
constexpr int SG_SECTION_TOPHDG = 2;
constexpr int SG_SECTION_SIDEHDG = 3;
constexpr int SG_SECTION_CNRBTN = 4;
constexpr int SG_SECTION_HSCROLL = 5;
constexpr int SG_SECTION_VSCROLL = 6;
constexpr int SG_SECTION_TAB = 7;

// Cell-type notification codes.
constexpr int SGN_BUTTON_CLICK = 1;
constexpr int SGN_BUTTON_DOWN = 2;
constexpr int SGN_BUTTON_UP = 3;
constexpr int SGN_SPIN_UP = 16;
constexpr int SGN_SPIN_DOWN = 17;
constexpr int SGN_CHECK_CHANGED = 53;
constexpr int SGN_ELLIPSIS_CLICK = 100;
constexpr int SGN_RADIO_CHANGED = 100;
constexpr int SGN_DROPLIST_OPENING = 100;
constexpr int SGN_DROPLIST_SELECTED = 101;

// Limits.
constexpr int SG_MAX_SHEETS = 1024;
constexpr int SG_MAX_COLUMNS = 32000;
constexpr int SG_UNIFORM_ROWS = 64000;  // more rows than this: one uniform row height
constexpr int SG_MAX_HEADING_SIZE = 1024;

// Child window ids.
constexpr UINT SG_ID_GRID = 1, SG_ID_TOPHDG = 2, SG_ID_SIDEHDG = 3, SG_ID_CNRBTN = 4, SG_ID_TAB = 5,
               SG_ID_VSCROLL = 6, SG_ID_HSCROLL = 7, SG_ID_EDIT = 123;

struct SGMenuItem {
  UINT id = 0;
  std::string text;  // empty: a separator
};

class CSGCtrl : public CSGWnd {
 public:
  CSGCtrl();
  ~CSGCtrl() override;

  // Creation and window messages.
  int CreateGrid(DWORD style, const RECT& rect, SGWindowSystem& windows, void* parent, UINT id);
  void OnCreate() override;
  void OnSize(int cx, int cy) override;
  void OnPaint(plat::CDC* dc) override;
  void OnSetFocus() override;
  void OnSysColorChange();
  void OnHScroll(UINT code, UINT pos);
  void OnVScroll(UINT code, UINT pos);
  UINT OnGetDlgCode() override;
  void OnCommand(UINT id);

  // Sheets.
  int SetSheetCount(int count);
  int GetSheetCount() const { return static_cast<int>(m_sheets.size()); }
  int SetCurrentSheet(int sheet, int redraw = 1);
  int GetCurrentSheet() const { return m_currentSheet; }
  int AddTab(const char* label, long id);
  int SetTabWidth(int width);
  CSGGridInfo* GetGridInfo() const { return m_GI; }

  // Size of the sheet.
  int SetRowCount(long count, int redraw = 1);
  long GetRowCount() const { return m_GI->m_numberRows; }
  int SetColumnCount(int count, int redraw = 1);
  int GetColumnCount() const { return m_GI->m_numberCols; }
  int DeleteRow(long row, int redraw = 1);

  // Column widths, row heights and headings.
  int SetColumnWidth(int col, int width);
  int GetColumnWidth(int col) const;
  int QueryColumnWidth(int col, int* width) const;
  int SetRowHeight(long row, int height);
  int GetRowHeight(long row) const;
  int QueryRowHeight(long row, int* height) const;
  int SetDefaultColumnWidth(int width);
  int SetDefaultRowHeight(int height);
  int SetTopHeadingRowHeight(int row, int height);
  int GetTopHeadingHeight() const { return m_GI->m_topHdgHeight; }
  int SetTopHeadingHeight(int height);
  int SetSideHeadingColumnWidth(int col, int width);
  int SetSideHeadingWidth(int width);
  int GetSideHeadingWidth() const { return m_GI->m_sideHdgWidth; }
  int SetLockedColumns(int count);
  int SetLockedRows(int count);
  int BestFit(int firstCol, int lastCol, int rows, int flags);
  int MoveColumn(int fromCol, int toCol, int before);

  // Cells.
  int GetCell(int col, long row, CSGCell* cell);
  int GetCellWithDefaults(int col, long row, CSGCell* cell);
  int SetCell(int col, long row, CSGCell* cell);
  int SetCellText(int col, long row, const char* text);
  int SetCellNumber(int col, long row, double number);
  int SetCellInteger(int col, long row, int number);
  int SetCellLabel(int col, long row, const char* label);
  int SetCellTextColor(int col, long row, COLORREF color);
  int SetCellBackColor(int col, long row, COLORREF color);
  int SetCellFont(int col, long row, const plat::CFont* font);
  int SetCellAlignment(int col, long row, short align);
  int SetCellType(int col, long row, int index);
  int SetCellTypeStyle(int col, long row, long style);
  const char* GetCellText(int col, long row);
  double GetCellNumber(int col, long row);
  int JoinCells(int startCol, long startRow, int endCol, long endRow);
  int GetJoinStartCell(int* col, long* row, CSGCell* cell);
  int GetJoinRange(int* col, long* row, int* endCol, long* endRow);
  int GetJoinStart(int* col, long* row);

  // Cell types.
  int AddCellType(CSGCellType* type);
  CSGCellType* GetCellTypeByIndex(int index);
  CSGCellType* GetCellTypeOfCell(int col, long row);

  // Appearance, selection, menu and redraw.
  int SetDefaultFont(const plat::CFont* font);
  int SetMultiSelectMode(int mode);
  int EmptyMenu();
  int AddMenuItem(UINT id, const char* text);
  const std::vector<SGMenuItem>& GetMenuItems() const { return m_menu; }
  int EnableMenu(int flag);
  virtual int OpenPopupMenu(int col, long row, int section, POINT* screenPoint);
  int RedrawAll();
  int RedrawCell(int col, long row);
  int RedrawRow(long row);
  int RedrawRange(int startCol, long startRow, int endCol, long endRow);
  int IsPaintingEnabled() const { return m_paintMode; }
  void EnablePainting(int flag) { m_paintMode = flag; }

  // Geometry.
  int GetCellRect(int col, long row, RECT* rect);
  int GetCellRectAndJoin(int* col, long* row, RECT* rect);
  int HitTestCell(int x, int y, int* col, long* row);
  int HitTestCellRect(int x, int y, int* col, long* row, RECT* rect);
  int LayoutChildren();
  bool IsInLayout() const { return m_layoutDepth > 0; }

  // Current cell, movement and scrolling.
  int GetCurrentColumn() const { return m_GI->m_currentCol; }
  long GetCurrentRow() const { return m_GI->m_currentRow; }
  int GetLeftColumn() const { return m_GI->m_leftCol; }
  long GetTopRow() const { return m_GI->m_topRow; }
  int GotoRow(long row);
  int GotoColumn(int col);
  int GotoCell(int col, long row);
  int SetTopRow(long row);
  int SetLeftColumn(int col);
  int MoveCurrentRow(int action);
  int MoveCurrentColumn(int action);
  int MoveTopRow(int action);
  int MoveLeftColumn(int action);
  void ApplyMove();
  // Asks the storage and the owner for rows past the end before `row`; the row count
  // may grow.
  void CheckRowsPastEnd(long row);

  // Notifications: a derived grid overrides them. A BOOL answer of FALSE vetoes.
  virtual void OnGridFocusGained(int /*section*/) {}
  virtual void OnSetup() {}
  virtual void OnSheetSetup(int /*sheet*/) {}
  virtual int CanMoveCurrentCell(int /*oldCol*/, long /*oldRow*/, int /*newCol*/, long /*newRow*/) {
    return TRUE;
  }
  virtual int CanScrollView(int /*oldLeft*/, long /*oldTop*/, int /*newLeft*/, long /*newTop*/) {
    return TRUE;
  }
  virtual void OnRowsPastEnd(long /*firstRow*/, long /*count*/, int* /*found*/) {}
  virtual int CanResizeColumn(int /*col*/) { return TRUE; }
  virtual void OnColumnResizing(int /*col*/, int* /*width*/) {}
  virtual void OnColumnResized(int /*col*/, int* /*width*/) {}
  virtual int CanResizeRow(long /*row*/) { return TRUE; }
  virtual void OnRowResizing(long /*row*/, int* /*height*/) {}
  virtual void OnRowResized(long /*row*/, int* /*height*/) {}
  virtual int CanResizeTopHeading() { return TRUE; }
  virtual int CanResizeSideHeading() { return TRUE; }
  virtual void OnTopHeadingResizing(int* /*height*/) {}
  virtual void OnSideHeadingResizing(int* /*width*/) {}
  virtual void OnTopHeadingResized(int* /*height*/) {}
  virtual void OnSideHeadingResized(int* /*width*/) {}
  virtual void OnCurrentColumnChanged(int /*oldCol*/, int /*newCol*/) {}
  virtual void OnCurrentRowChanged(long /*oldRow*/, long /*newRow*/) {}
  virtual void OnCurrentCellChanged(int /*oldCol*/, int /*newCol*/, long /*oldRow*/,
                                    long /*newRow*/) {}
  virtual void OnLeftColumnChanged(int /*oldCol*/, int /*newCol*/) {}
  virtual void OnTopRowChanged(long /*oldRow*/, long /*newRow*/) {}
  virtual void OnCellLeftClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                               POINT* /*point*/, int /*processed*/) {}
  virtual void OnCellRightClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                                POINT* /*point*/, int /*processed*/) {}
  virtual void OnCellDoubleClick(int /*col*/, long /*row*/, RECT* /*rect*/, POINT* /*point*/,
                                 int /*processed*/) {}
  virtual void OnCellMouseMove(int /*col*/, long /*row*/, POINT* /*point*/, UINT /*flags*/,
                               int /*processed*/) {}
  virtual void OnTopHeadingLeftClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                                     POINT* /*point*/, int /*processed*/) {}
  virtual void OnTopHeadingRightClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                                      POINT* /*point*/, int /*processed*/) {}
  virtual void OnTopHeadingDoubleClick(int /*col*/, long /*row*/, RECT* /*rect*/, POINT* /*point*/,
                                       int /*processed*/) {}
  virtual void OnSideHeadingLeftClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                                      POINT* /*point*/, int /*processed*/) {}
  virtual void OnSideHeadingRightClick(int /*col*/, long /*row*/, int /*updn*/, RECT* /*rect*/,
                                       POINT* /*point*/, int /*processed*/) {}
  virtual void OnSideHeadingDoubleClick(int /*col*/, long /*row*/, RECT* /*rect*/, POINT* /*point*/,
                                        int /*processed*/) {}
  virtual void OnCornerLeftClick(int /*updn*/, RECT* /*rect*/, POINT* /*point*/,
                                 int /*processed*/) {}
  virtual void OnCornerRightClick(int /*updn*/, RECT* /*rect*/, POINT* /*point*/,
                                  int /*processed*/) {}
  virtual void OnCornerDoubleClick(RECT* /*rect*/, POINT* /*point*/, int /*processed*/) {}
  virtual void OnGridKeyDown(UINT* /*vcKey*/, int /*processed*/) {}
  virtual void OnGridChar(UINT* /*vcKey*/, int /*processed*/) {}
  virtual void OnCellFetched(int /*col*/, long /*row*/, CSGCell* /*cell*/) {}
  virtual void OnCellStoring(int /*col*/, long /*row*/, CSGCell* /*cell*/) {}
  virtual int OnCellTypeNotify(long /*typeIndex*/, int /*col*/, long /*row*/, long /*code*/,
                               long /*param*/) {
    return TRUE;
  }
  virtual int OnEditStart(int /*col*/, long /*row*/, CSGWnd** /*editor*/) { return TRUE; }
  virtual int OnEditKey(int /*col*/, long /*row*/, CSGWnd* /*editor*/, UINT* /*ch*/) {
    return TRUE;
  }
  virtual int OnEditFinish(int /*col*/, long /*row*/, CSGWnd* /*editor*/, const char* /*text*/,
                           int /*cancelled*/) {
    return TRUE;
  }
  virtual int OnEditContinue(int /*oldCol*/, long /*oldRow*/, int* /*newCol*/, long* /*newRow*/) {
    return TRUE;
  }
  virtual void OnPopupCommand(int /*col*/, long /*row*/, int /*section*/, UINT /*id*/) {}
  virtual int OnPopupOpen(int /*col*/, long /*row*/, int /*section*/) { return TRUE; }
  virtual int GetCellTipText(int col, long row, int section, std::string* text);
  virtual int GetVScrollTipText(long /*row*/, std::string* /*text*/) { return TRUE; }
  virtual int GetHScrollTipText(int /*col*/, std::string* /*text*/) { return TRUE; }
  virtual int CompareCells(CSGCell* a, CSGCell* b, int flags);
  virtual void OnPaintDCSetup(plat::CDC* /*dc*/, plat::CDC* /*dc2*/, int /*section*/) {}
  virtual void OnLayoutRects(RECT* /*grid*/, RECT* /*topHdg*/, RECT* /*sideHdg*/, RECT* /*cnrBtn*/,
                             RECT* /*vScroll*/, RECT* /*hScroll*/, RECT* /*tab*/) {}
  virtual void OnSheetTabClicked(long /*id*/) {}
  virtual COLORREF GetSectionBackColor(int section);
  virtual void DrawFocusFrame(plat::CDC* dc, RECT* rect);
  virtual void OnGridFocusLost(int /*section*/) {}
  virtual int CanStartColumnMove(int /*col*/) { return TRUE; }
  virtual int CanMoveColumn(int /*fromCol*/, int /*toCol*/) { return TRUE; }
  virtual void OnTrackWindowMoving(RECT* /*from*/, RECT* /*to*/) {}

  // Measures with the grid's device context (the cell area's).
  void WithMeasureDC(const std::function<void(plat::CDC&)>& fn);

  // The registered cell types and the built-in ones (indexes 0 to 3).
  CSGPtrList m_cellTypeList;
  CSGCellType m_defCellType;
  CSGCellType m_dropListType;
  CSGCellType m_checkBoxType;
  CSGCellType m_arrowType;

  int m_menuCol = 0;
  long m_menuRow = 0;
  int m_menuSection = 0;
  CSGCell m_cell;  // scratch cell of the single-property operations

  // Child windows.
  std::unique_ptr<CSGGrid> m_CUGGrid;
  std::unique_ptr<CSGTopHdg> m_CUGTopHdg;
  std::unique_ptr<CSGSideHdg> m_CUGSideHdg;
  std::unique_ptr<CSGCnrBtn> m_CUGCnrBtn;
  std::unique_ptr<CSGVScroll> m_CUGVScroll;
  std::unique_ptr<CSGHScroll> m_CUGHScroll;
  std::unique_ptr<CSGHint> m_CUGHint;
  std::unique_ptr<CSGTab> m_CUGTab;
  int m_tabSizing = 0;
  CSGWnd* m_trackingWnd = nullptr;

  // Editing state (the editing operations set it).
  int m_editInProgress = 0;
  int m_editCol = -1;
  long m_editRow = -1;

  plat::CPen m_whitePen;
  plat::CPen m_shadowPen;

 private:
  void ConnectSheet(CSGGridInfo* gi);
  void HandOutRecord();
  void CalcMaxTopRow();
  void CalcMaxLeftCol();
  void CalcLockRowHeight();
  void CalcLockColWidth();
  int ValidateRow(long* row, bool withJoins);
  int ValidateCol(int* col);
  void ScrollRowIntoView();
  void ScrollColIntoView();
  int ColWidthForWalk(int col) const;
  int RowHeightForWalk(long row) const;
  void RepaintChildren();
  CSGDataSource* SourceOf(int col, int* sourceCol) const;

  std::vector<std::unique_ptr<CSGGridInfo>> m_sheets;
  int m_currentSheet = 0;
  int m_paintMode = 1;
  CSGGridInfo* m_GI = nullptr;
  std::vector<SGMenuItem> m_menu;
  int m_layoutDepth = 0;
};
