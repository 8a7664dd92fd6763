// The grid's cell area: paints the data cells (locked rows and columns first, then the
// scrollable part), keeps the view in step after every move with as little repainting
// as possible, and turns keys, mouse and wheel into movements and notifications.
#pragma once
#include "wincomp/grid/SGCell.h"
#include "wincomp/grid/SGPaintHint.h"
#include "wincomp/grid/SGWnd.h"

class CSGCtrl;
class CSGGridInfo;

class CSGGrid : public CSGWnd {
 public:
  void PaintInvalidCells(plat::CDC* dc);
  void UpdateAfterMove();
  int RedrawCell(int col, long row);
  int RedrawRow(long row);
  int RedrawRange(int startCol, long startRow, int endCol, long endRow);

  void OnPaint(plat::CDC* dc) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnChar(UINT ch, UINT repeat, UINT flags) override;
  void OnLButtonDown(UINT flags, POINT p) override;
  void OnLButtonUp(UINT flags, POINT p) override;
  void OnLButtonDblClk(UINT flags, POINT p) override;
  void OnRButtonDown(UINT flags, POINT p) override;
  void OnRButtonUp(UINT flags, POINT p) override;
  void OnMouseMove(UINT flags, POINT p) override;
  void OnMouseWheel(UINT flags, short delta, POINT p) override;
  void OnSetFocus() override;
  void OnKillFocus() override;
  int OnSetCursor() override;
  UINT OnGetDlgCode() override;
  void OnTimer(int id) override;

  // The auto-scroll timer's id and period: while the left button is held outside the
  // area, the drag step repeats at this pace.
  static constexpr int kDragTimer = 1;
  static constexpr int kDragPeriodMs = 30;

  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;
  CSGPaintHint m_paintHint;
  CSGCell m_cell;
  int m_hasFocus = 0;
  int m_cellTypeCapture = 0;

 private:
  void DragStep(POINT p);
  void KillTimer();
  int SelectedBlock(int col, long row) const;  // 1 + the selected block holding the cell
  bool m_dragging = false;
  UINT m_dragFlags = 0;
  POINT m_dragPoint{};
};
