#include "wincomp/grid/SGTab.h"

#include <algorithm>

#include "platform/RecordingDc.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGGridInfo.h"

using namespace sgw;
using plat::CDC;

void CSGTabArrows::OnScroll(UINT code, UINT /*pos*/) { m_tab->OnArrowScroll(code); }

CSGTab::CSGTab() : m_scrollWidth(2 * SM_CXHSCROLL) {
  m_font.CreateFont(14, 0, 0, 0, 500, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  m_scroll.m_tab = this;
}

int CSGTab::ClientWidth() const {
  RECT r = GetClientRect();
  return r.right - r.left;
}

int CSGTab::MeasureLabel(const std::string& label) {
  int w = 0;
  auto measure = [&](CDC& dc) {
    plat::CFont old = dc.SelectObject(m_font);
    w = dc.GetTextExtent(label).cx;
    dc.SelectObject(old);
  };
  if (IsWindow()) {
    Draw(measure);
  } else {
    plat::RecordingDc dc;
    measure(dc);
  }
  return w;
}

int CSGTab::AddTab(const char* label, long id) {
  if (m_tabCount >= SG_MAX_TABS) return 1;
  const int i = m_tabCount;
  m_tabLabels[i] = label ? label : "";
  m_tabIds[i] = id;
  m_tabWidths[i] = MeasureLabel(m_tabLabels[i]) + 10;
  m_tabTextColors[i] = GetSysColor(COLOR_WINDOWTEXT);
  m_tabBackColors[i] = GetSysColor(COLOR_BTNFACE);
  ++m_tabCount;
  RecalcScrollLimit();
  return 0;
}

void CSGTab::Update() {
  Invalidate();
  UpdateWindow();
}

void CSGTab::RecalcScrollLimit() {
  if (m_tabCount == 0) return;
  long s = 0;
  for (int i = 0; i < m_tabCount; ++i) s += m_tabWidths[i];
  const long d = m_scrollWidth - ClientWidth() + s;
  m_maxTabOffset = d >= 1 ? static_cast<int>(d + 20) : 0;
}

int CSGTab::HitTab(int px) const {
  int x = m_scrollWidth - m_tabOffset;
  for (int i = 0; i < m_tabCount; ++i) {
    const int r = x + m_tabWidths[i];
    if (px >= x && px <= r + 2) return i;
    x = r;
  }
  return -1;
}

void CSGTab::OnCreate() {
  RECT r = GetClientRect();
  m_scroll.CreateWnd(*System(), SGWindowKind::TabArrows, Port(), nullptr,
                     RECT{0, 0, m_scrollWidth, r.bottom}, 100);
}

void CSGTab::OnSize(int /*cx*/, int cy) {
  m_scroll.MoveWindow(RECT{0, 1, m_scrollWidth, std::max(1, cy)});
  RecalcScrollLimit();
}

void CSGTab::OnPaint(CDC* dc) {
  const RECT client = GetClientRect();
  const int t = client.top, b = client.bottom - 1;
  const int A = m_scrollWidth;
  const int saved = dc->SaveDC();
  dc->SelectObject(m_font);
  dc->SetBkColor(GetSysColor(COLOR_BTNFACE));
  dc->ExtTextOut(0, 0, ETO_OPAQUE, &client, "");
  const COLORREF white = RGB(255, 255, 255);
  auto drawTab = [&](int i, int x, bool current) {
    const int r = x + m_tabWidths[i];
    const COLORREF back = current ? white : m_tabBackColors[i];
    dc->SelectObject(plat::CBrush(back));
    dc->SetBkColor(back);
    POINT pts[4] = {{x, t}, {x + 7, b}, {r + 2, b}, {r + 9, t}};
    dc->Polygon(pts, 4);
    if (current) {
      dc->SelectObject(plat::CPen(PS_SOLID, 1, white));
      dc->MoveTo(x + 1, t);
      dc->LineTo(r + 9, t);
      dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
    }
    dc->SetTextColor(m_tabTextColors[i]);
    dc->TextOut(x + 10, t + 1, m_tabLabels[i]);
  };
  int x = A - m_tabOffset;
  int currentX = 0;
  for (int i = 0; i < m_tabCount; ++i) {
    if (i == m_currentTab) currentX = x;
    drawTab(i, x, i == m_currentTab);
    x += m_tabWidths[i];
  }
  if (m_currentTab < m_tabCount) drawTab(m_currentTab, currentX, true);
  const int w = client.right;
  const COLORREF grip[6] = {RGB(0, 0, 0),
                            GetSysColor(COLOR_BTNSHADOW),
                            GetSysColor(COLOR_BTNFACE),
                            GetSysColor(COLOR_BTNFACE),
                            white,
                            GetSysColor(COLOR_BTNFACE)};
  for (int k = 0; k < 6; ++k) {
    dc->SelectObject(plat::CPen(PS_SOLID, 1, grip[k]));
    dc->MoveTo(w - 1 - k, 0);
    dc->LineTo(w - 1 - k, client.bottom);
  }
  dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  dc->MoveTo(0, t);
  dc->LineTo(A + 1, t);
  dc->RestoreDC(saved);
  m_scroll.Invalidate();
}

void CSGTab::OnLButtonDown(UINT /*flags*/, POINT p) {
  if (m_resizeReady) {
    SetCapture();
    m_resizeInProgress = 1;
    return;
  }
  const int i = HitTab(p.x);
  if (i < 0) return;
  int x = m_scrollWidth - m_tabOffset;
  for (int k = 0; k < i; ++k) x += m_tabWidths[k];
  const int r = x + m_tabWidths[i];
  m_currentTab = i;
  if (x - 5 < m_scrollWidth) m_tabOffset = std::max(0, m_tabOffset - (m_scrollWidth - (x - 5)));
  const int w = ClientWidth();
  if (r + 19 > w) m_tabOffset = std::min(m_maxTabOffset, m_tabOffset + (r + 19 - w));
  Invalidate();
  m_ctrl->OnSheetTabClicked(m_tabIds[i]);
  UpdateWindow();
}

void CSGTab::OnRButtonDown(UINT /*flags*/, POINT p) {
  if (!m_GI->m_menuEnabled) return;
  const int i = HitTab(p.x);
  POINT sp = ClientToScreen(p);
  m_ctrl->OpenPopupMenu(i, 0, SG_SECTION_TAB, &sp);
}

void CSGTab::OnArrowScroll(UINT code) {
  if (code == SB_LINELEFT && m_tabOffset >= 1) {
    m_tabOffset = std::max(0, m_tabOffset - 5);
    Invalidate();
  } else if (code == SB_LINERIGHT && m_tabOffset < m_maxTabOffset - 5) {
    m_tabOffset += 5;
    Invalidate();
  }
  UpdateWindow();
}

void CSGTab::OnMouseMove(UINT /*flags*/, POINT p) {
  if (m_resizeInProgress) {
    const RECT gc = m_ctrl->GetClientRect();
    m_GI->m_tabWidth = std::max(5, std::min<int>(p.x, gc.right - gc.left - 15));
    m_ctrl->m_tabSizing = 1;
    m_ctrl->LayoutChildren();
    m_ctrl->m_tabSizing = 0;
    return;
  }
  m_resizeReady = p.x > ClientWidth() - 7 ? 1 : 0;
}

int CSGTab::OnSetCursor() {
  SetCursor(m_resizeReady ? m_GI->m_WEResizeCursor : IDC_ARROW);
  return TRUE;
}

void CSGTab::OnLButtonUp(UINT /*flags*/, POINT /*p*/) {
  ReleaseCapture();
  m_resizeInProgress = 0;
}
