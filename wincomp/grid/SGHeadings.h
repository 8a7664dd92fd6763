// The grid's top heading, side heading and corner button: heading cells drawn by their
// cell types, edges the user drags to size columns, rows and the headings themselves,
// and clicks passed on to the owner.
#pragma once
#include "wincomp/grid/SGCell.h"
#include "wincomp/grid/SGPaintHint.h"
#include "wincomp/grid/SGWnd.h"

class CSGCtrl;
class CSGGridInfo;

class CSGTopHdg : public CSGWnd {
 public:
  void UpdateAfterMove();
  void FitRows();
  int GetCellRect(int* col, long* row, RECT* rect);
  int HitTest(POINT* p, int* col, long* row, RECT* rect);

  void OnPaint(plat::CDC* dc) override;
  void OnMouseMove(UINT flags, POINT p) override;
  int OnSetCursor() override;
  void OnLButtonDown(UINT flags, POINT p) override;
  void OnLButtonUp(UINT flags, POINT p) override;
  void OnLButtonDblClk(UINT flags, POINT p) override;
  void OnRButtonDown(UINT flags, POINT p) override;
  void OnRButtonUp(UINT flags, POINT p) override;

  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;
  CSGCell m_cell;
  int m_isSizing = 0;
  int m_canSize = 0;     // the edge flag
  int m_sizingKind = 0;  // 0 a column's right edge, 1 a heading row's bottom edge
  int m_sizingIndex = 0;
  int m_sizingStartSize = 0;
  int m_sizingStartPos = 0;
  int m_sizingStartHeight = 0;
  RECT m_focusRect{-1, -1, -1, -1};
  CSGPaintHint m_paintHint;

 private:
  void CheckEdges(POINT p);
  void DrawFocusLine(int pos);
};

class CSGSideHdg : public CSGWnd {
 public:
  void UpdateAfterMove();
  void FitColumns();
  int GetCellRect(int* col, long* row, RECT* rect);
  int HitTest(POINT* p, int* col, long* row, RECT* rect);
  void PaintInvalidCells(plat::CDC* dc);

  void OnPaint(plat::CDC* dc) override;
  void OnMouseMove(UINT flags, POINT p) override;
  int OnSetCursor() override;
  void OnLButtonDown(UINT flags, POINT p) override;
  void OnLButtonUp(UINT flags, POINT p) override;
  void OnLButtonDblClk(UINT flags, POINT p) override;
  void OnRButtonDown(UINT flags, POINT p) override;
  void OnRButtonUp(UINT flags, POINT p) override;

  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;
  CSGCell m_cell;
  CSGPaintHint m_paintHint;
  long m_bottomRow = 0;
  int m_isSizing = 0;
  int m_canSize = 0;
  int m_sizingKind = 0;  // 0 a heading column's right edge, 1 a row's bottom edge
  long m_sizingIndex = 0;
  int m_sizingStartSize = 0;
  int m_sizingStartPos = 0;
  int m_sizingStartWidth = 0;
  int m_sizingDivisor = 0;  // uniform rows: start y / row height
  RECT m_focusRect{-1, -1, -1, -1};

 private:
  void CheckEdges(POINT p);
  void DrawFocusLine(int pos);
};

class CSGCnrBtn : public CSGWnd {
 public:
  void OnPaint(plat::CDC* dc) override;
  void OnMouseMove(UINT flags, POINT p) override;
  int OnSetCursor() override;
  void OnLButtonDown(UINT flags, POINT p) override;
  void OnLButtonUp(UINT flags, POINT p) override;
  void OnLButtonDblClk(UINT flags, POINT p) override;
  void OnRButtonDown(UINT flags, POINT p) override;
  void OnRButtonUp(UINT flags, POINT p) override;

  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;
  int m_isSizing = 0;
  int m_canSize = 0;
  int m_sizingHeight = 0;
  int m_sizingWidth = 0;
};
