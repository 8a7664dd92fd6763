// The grid's sheet tabs at the bottom left: one trapezoid tab per sheet page of the
// owner, scroll arrows when they do not fit, and a grip that sizes the tab area.
#pragma once
#include <string>

#include "platform/Gdi.h"
#include "wincomp/grid/SGWnd.h"

class CSGCtrl;
class CSGGridInfo;

constexpr int SG_MAX_TABS = 64;

class CSGTab;

// The tabs' scroll arrows: a small horizontal scroll bar inside the tab window.
class CSGTabArrows : public CSGWnd {
 public:
  void OnScroll(UINT code, UINT pos) override;
  CSGTab* m_tab = nullptr;
};

class CSGTab : public CSGWnd {
 public:
  CSGTab();
  int AddTab(const char* label, long id);
  int GetTabCount() const { return m_tabCount; }
  void Update();
  void RecalcScrollLimit();
  int HitTab(int x) const;  // the index of the tab under x, or -1

  void OnCreate() override;
  void OnSize(int cx, int cy) override;
  void OnPaint(plat::CDC* dc) override;
  void OnLButtonDown(UINT flags, POINT p) override;
  void OnLButtonUp(UINT flags, POINT p) override;
  void OnRButtonDown(UINT flags, POINT p) override;
  void OnMouseMove(UINT flags, POINT p) override;
  int OnSetCursor() override;
  void OnArrowScroll(UINT code);

  std::string m_tabLabels[SG_MAX_TABS];
  int m_tabWidths[SG_MAX_TABS] = {};
  long m_tabIds[SG_MAX_TABS] = {};
  COLORREF m_tabTextColors[SG_MAX_TABS] = {};
  COLORREF m_tabBackColors[SG_MAX_TABS] = {};
  int m_tabCount = 0;
  int m_tabOffset = 0;
  int m_maxTabOffset = 0;
  int m_currentTab = 0;
  int m_scrollWidth;
  CSGTabArrows m_scroll;
  plat::CFont m_font;
  int m_resizeReady = 0;  // the edge flag
  int m_resizeInProgress = 0;
  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;

 private:
  int ClientWidth() const;
  int MeasureLabel(const std::string& label);
};
