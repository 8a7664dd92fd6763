// The selected blocks of one sheet: rectangular blocks started, extended and added by
// the moves of the current cell, asked which cells to paint as selected, enumerated in
// order for the clipboard, and naming the grid's current cell while active.
#pragma once

class CSGCtrl;
class CSGGridInfo;
class CSGPaintHint;

struct CSGSelectBlock {
  int anchorCol = 0, endCol = 0;
  int anchorRow = 0, endRow = 0;
  int left = 0, right = 0, top = 0, bottom = 0;
  int selected = 1;
  CSGSelectBlock* next = nullptr;
};

class CSGSelectList {
 public:
  CSGSelectList() = default;
  ~CSGSelectList();
  CSGSelectList(const CSGSelectList&) = delete;
  CSGSelectList& operator=(const CSGSelectList&) = delete;

  int ClearAll();
  int StartBlock(int col, long row);
  int AddToBlock(int col, long row);
  int GetCurrentCell(int* col, long* row) const;
  int IsSelected(int col, long row, int* index) const;
  int SetMode(int mode);
  int EnumFirst(int* col, long* row);
  int EnumNext(int* col, long* row);
  int GetTotalRange(int* left, long* top, int* right, long* bottom) const;
  int AddTotalRangeToHints(CSGPaintHint* hints) const;

  // The moves, by their source; the mouse ones get the MK_ flags.
  int OnLeftClick(int col, long row, unsigned flags);
  int OnRightClick(int col, long row, unsigned flags);
  int OnKeyMove(int col, long row);
  int OnDragMove(int col, long row, unsigned flags);

  bool IsActive() const { return m_active != 0; }
  const CSGSelectBlock* FirstBlock() const { return m_first; }

  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;

 private:
  void HintAndClear();
  bool KeyDown(unsigned vk) const;
  CSGPaintHint* Hints() const;

  CSGSelectBlock* m_first = nullptr;
  int m_active = 0;
  CSGSelectBlock* m_current = nullptr;
  int m_mode = 0;
  int m_changes = 0;
  int m_fresh = 0;
  int m_enumLeft = 0, m_enumTop = 0, m_enumRight = 0, m_enumBottom = 0;
  int m_enumCol = 0, m_enumRow = 0;
  int m_enumFlag = 0;
  int m_lastCol = -1, m_lastRow = -1;
  int m_anchorCol = 0, m_anchorRow = 0;

 public:
  // The destructor's counter reset, so that destroying a sheet never repaints.
  void ForgetChanges() { m_changes = 0; }
};
