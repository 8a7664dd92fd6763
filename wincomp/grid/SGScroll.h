// The grid's scroll bars, kept in step with the current sheet's range and position, and
// the hint window that nothing shows. Thumb positions act when the thumb is released.
#pragma once
#include <string>

#include "platform/Gdi.h"
#include "wincomp/grid/SGWnd.h"

class CSGCtrl;
class CSGGridInfo;

class CSGVScroll : public CSGWnd {
 public:
  void UpdateScrollBar();
  void OnScroll(UINT code, UINT pos) override;
  void OnRButtonDown(UINT flags, POINT p) override;

  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;
  double m_multiRange = 1.0;  // position scale
  double m_multiPos = 1.0;    // its inverse
  long m_lastMaxTopRow = -2;
  int m_lastNumLockRow = -2;
  // The range last set, for inspection.
  int m_min = 0, m_max = 0, m_page = 0, m_pos = 0;
};

class CSGHScroll : public CSGWnd {
 public:
  void UpdateScrollBar();
  void OnScroll(UINT code, UINT pos) override;
  void OnRButtonDown(UINT flags, POINT p) override;

  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;
  int m_lastMaxLeftCol = -1;
  int m_lastNumLockCols = -1;
  int m_min = 0, m_max = 0, m_page = 0, m_pos = 0;
};

// A small pop-up for tips; created with the grid, never shown.
class CSGHint : public CSGWnd {
 public:
  int Create(CSGCtrl* grid);

  CSGCtrl* m_ctrl = nullptr;
  std::string m_text;
  COLORREF m_textColor = RGB(0, 0, 0);
  COLORREF m_backColor = RGB(255, 255, 224);
  int m_windowAlign = 1;
  int m_textAlign = 1;
  const plat::CFont* m_font = nullptr;
  int m_fontHeight = 0;
};
