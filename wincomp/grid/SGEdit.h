// The two small windows through which the user enters cell values: the in-place text
// editor, which grows with its text and finishes when it loses the focus, and the list
// that a drop-list cell opens below itself.
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "wincomp/grid/SGWnd.h"

class CSGCtrl;

class CSGEdit : public CSGWnd {
 public:
  void OnSetFocus() override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnChar(UINT ch, UINT repeat, UINT flags) override;
  UINT OnGetDlgCode() override;
  int OnSetCursor() override;
  void OnKillFocus() override;
  // The edit control's text changed.
  void OnUpdate();
  void AutoSize();

  // The text as the user sees it (kept by the window).
  std::string GetText() const;
  void SetText(const std::string& text);

  int m_cancel = 0;
  int m_continueFlag = 0;
  int m_continueCol = 0;
  long m_continueRow = 0;
  int m_autoSize = 1;
  int m_startHeight = 0;
  int m_currentHeight = 0;
  CSGCtrl* m_ctrl = nullptr;
  CSGWnd* m_parentWnd = nullptr;  // the window it is shown in
  const plat::CFont* m_font = nullptr;

 private:
  void Leave();
};

class CSGLstBox : public CSGWnd {
 public:
  void OnSetFocus() override;
  void OnLButtonUp(UINT flags, POINT p) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnKillFocus() override;
  // Ends the list: the focus goes back to the cell area, which destroys the list.
  void Close();
  void Choose();

  CSGCtrl* m_ctrl = nullptr;
  int m_active = 0;
  int* m_listCol = nullptr;
  long* m_listRow = nullptr;
  std::chrono::steady_clock::time_point* m_closedAt = nullptr;
  int m_chosen = 0;
  int m_typeIndex = 0;

  std::vector<std::string> m_items;
  int m_curSel = -1;  // the window keeps it current
  const plat::CFont* m_font = nullptr;
  RECT m_rect{};
};
