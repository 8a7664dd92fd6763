#include "wincomp/tabview/WCTabViewContainer.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QStyle>
#include <algorithm>
#include <cstdio>

#include "platform/qt/Document.h"

bool CWCTabViewContainer::s_bSavingScroll = false;

namespace {

QRect Q(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
RECT R(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }
bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
bool PtIn(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
void Deflate(RECT& r, int dx, int dy) {
  r.left += dx;
  r.right -= dx;
  r.top += dy;
  r.bottom -= dy;
}

// The system colours the container paints with, taken from the widget's palette.
enum SysColor { BTNFACE, WINDOWTEXT, BTNSHADOW, BTNHIGHLIGHT, WINDOW, WINDOWFRAME };
QColor Sys(const QWidget* w, SysColor c) {
  const QPalette& p = w->palette();
  switch (c) {
    case BTNFACE:
      return p.color(QPalette::Button);
    case WINDOWTEXT:
      return p.color(QPalette::WindowText);
    case BTNSHADOW:
      return p.color(QPalette::Dark);
    case BTNHIGHLIGHT:
      return p.color(QPalette::Light);
    case WINDOW:
      return p.color(QPalette::Base);
    case WINDOWFRAME:
      return p.color(QPalette::Shadow);
  }
  return Qt::black;
}

void Line(QPainter& dc, const QColor& c, int x1, int y1, int x2, int y2) {
  dc.setPen(QPen(c, 1));
  dc.drawLine(x1, y1, x2, y2);
}

plat::CScrollView* ScrollPage(QWidget* w) { return dynamic_cast<plat::CScrollView*>(w); }

// A Windows bar's maximum is the last unit of the content; Qt's the last position.
void WriteBar(QScrollBar& bar, const plat::SCROLLINFO& si) {
  const int page = static_cast<int>(si.nPage);
  bar.blockSignals(true);
  bar.setRange(si.nMin, std::max(si.nMin, si.nMax - page + 1));
  bar.setPageStep(page);
  bar.setSingleStep(std::max(1, page / 10));
  bar.setValue(si.nPos);
  bar.blockSignals(false);
}

bool Usable(const plat::SCROLLINFO& si) { return si.nMax > 0 && si.nPage > 0; }

}  // namespace

CWCTabViewContainer::CWCTabViewContainer() {
  // 8 points "MS Sans Serif", which the font aliases give as Liberation Sans.
  m_TabFont = QFont(QStringLiteral("Liberation Sans"));
  m_TabFont.setPointSize(8);
  m_TabFontBold = m_TabFont;
  m_TabFontBold.setWeight(QFont::Bold);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

CWCTabViewContainer::~CWCTabViewContainer() { DisconnectScrollBars(); }

int CWCTabViewContainer::ScrollBarExtent() const {
  return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

BOOL CWCTabViewContainer::Create(QWidget* pParent, const RECT& rect, DWORD dwStyle, UINT nID) {
  constexpr DWORD WS_VISIBLE = 0x10000000;
  setParent(pParent);
  setGeometry(Q(rect));
  m_nID = nID;
  setProperty("GWL_USERDATA", static_cast<qulonglong>(TabViewContainerMagic));
  m_ScrollHorz.setParent(this);
  m_ScrollVert.setParent(this);
  m_ScrollHorz.setProperty("ctrlId", kHorzScrollId);
  m_ScrollVert.setProperty("ctrlId", kVertScrollId);
  for (QScrollBar* bar : {&m_ScrollHorz, &m_ScrollVert}) {
    const int which = bar == &m_ScrollHorz ? plat::SB_HORZ : plat::SB_VERT;
    connect(bar, &QScrollBar::valueChanged, this, [this, which](int pos) {
      if (m_pLinkedView) m_pLinkedView->SetScrollPos(which, pos);
    });
  }
  m_bCreated = true;
  SetScrollStyle(0, TRUE);
  RecalcLayout();
  if (dwStyle & WS_VISIBLE) show();
  return TRUE;
}

void CWCTabViewContainer::SetScrollStyle(DWORD dwStyle, BOOL bForce) {
  dwStyle &= (WS_HSCROLL | WS_VSCROLL);
  if (!bForce && dwStyle == m_dwScrollStyle) return;
  m_dwScrollStyle = dwStyle;
  if (!m_bCreated) return;
  // Both bars always exist; the one the active page does not use is disabled.
  for (QScrollBar* bar : {&m_ScrollHorz, &m_ScrollVert}) {
    const bool on = (bar == &m_ScrollHorz) ? (dwStyle & WS_HSCROLL) : (dwStyle & WS_VSCROLL);
    bar->blockSignals(true);
    bar->setRange(0, 0);
    bar->setValue(0);
    bar->blockSignals(false);
    bar->setEnabled(on);
    bar->setGeometry(Q(bar == &m_ScrollHorz ? m_rcScrollHorz : m_rcScrollVert));
    bar->show();
  }
}

void CWCTabViewContainer::RecalcLayout() {
  const LONG L = 0, T = 0, Rr = width(), B = height();
  for (RECT* r :
       {&m_rcScrollButtons[0], &m_rcScrollButtons[1], &m_rcScrollButtons[2], &m_rcScrollButtons[3],
        &m_rcTabArea, &m_rcScrollHorz, &m_rcScrollVert, &m_rcSplitter, &m_rcSizeBox, &m_rcPageArea})
    *r = RECT{};
  if (Rr <= L || B <= T) return;
  const int cx = ScrollBarExtent(), cy = ScrollBarExtent();
  for (int k = 0; k < 4; ++k) m_rcScrollButtons[k] = R(L + k * cx, B - cy, L + (k + 1) * cx, B);
  m_rcPageArea = R(L, T, Rr - cx, B - cy);
  const LONG tabLeft = L + 4 * cx;
  const LONG w = std::max<LONG>(0, std::min<LONG>(m_nTabAreaWidth, (Rr - cx) - 60 - tabLeft));
  m_rcTabArea = R(tabLeft, B - cy, tabLeft + w, B);
  m_rcSplitter = R(m_rcTabArea.right, B - cy, m_rcTabArea.right + 6, B);
  m_rcScrollHorz = R(m_rcSplitter.right, B - cy, Rr - cx, B);
  m_rcScrollVert = R(Rr - cx, T, Rr, B - cy);
  m_rcSizeBox = R(Rr - cx, B - cy, Rr, B);
}

void CWCTabViewContainer::CalcTabRects() {
  m_TabRects.clear();
  const QFontMetrics fm(m_TabFontBold);
  const LONG h = m_rcTabArea.bottom - m_rcTabArea.top;
  LONG x = 0;
  for (const _tagPAGEINFO& page : m_Pages) {
    const LONG w = fm.horizontalAdvance(QString::fromStdString(page.sTitle));
    const RECT r = R(x, 0, x + w + 16, h);
    m_TabRects.push_back(r);
    x = r.right - 5;  // neighbouring tabs overlap by 5 pixels
  }
}

int CWCTabViewContainer::GetUniqueId() {
  const int id = m_FreeIds.back();
  if (m_FreeIds.size() == 1)
    m_FreeIds.back() = id + 1;
  else
    m_FreeIds.pop_back();
  return id;
}

QWidget* CWCTabViewContainer::GetPage(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetPageCount()) return nullptr;
  return m_Pages[nIndex].pWnd;
}

std::string CWCTabViewContainer::GetPageTitle(int nIndex) const {
  if (nIndex < 0 || nIndex >= GetPageCount()) return std::string();
  return m_Pages[nIndex].sTitle;
}

const plat::SCROLLINFO& CWCTabViewContainer::PageScrollInfo(int nIndex, bool bHorz) const {
  const _tagPAGEINFO& p = m_Pages.at(nIndex);
  return bHorz ? p.scrlInfoHorz : p.scrlInfoVert;
}

BOOL CWCTabViewContainer::FindPage(const QWidget* pWnd, int& nIndex) const {
  for (int i = 0; i < GetPageCount(); ++i) {
    if (pWnd && m_Pages[i].pWnd == pWnd) {
      nIndex = i;
      return TRUE;
    }
  }
  return FALSE;
}

BOOL CWCTabViewContainer::InsertPage(int nIndex, QWidget* pWnd, const char* lpszTitle) {
  if (nIndex < 0 || nIndex > GetPageCount() || !pWnd) return FALSE;
  _tagPAGEINFO page;
  page.pWnd = pWnd;
  page.nCtrlId = pWnd->property("ctrlId").toInt();
  if (lpszTitle)
    page.sTitle = lpszTitle;
  else
    page.sTitle = pWnd->windowTitle().toStdString();
  if (page.sTitle.empty()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", nIndex);
    page.sTitle = buf;
  }
  if (pWnd->parentWidget() != this) pWnd->setParent(this);
  pWnd->hide();
  m_Pages.insert(m_Pages.begin() + nIndex, page);
  // The active page keeps its record when a page goes in before it, so that the switch
  // below hides it; otherwise a page inserted at the active index would never show.
  if (m_nActivePage >= nIndex) ++m_nActivePage;
  CalcTabRects();
  SetActivePageIndex(nIndex);
  RedrawStrip();
  return TRUE;
}

BOOL CWCTabViewContainer::InsertPage(int nIndex, const plat::CRuntimeClass* pClass,
                                     plat::CCreateContext* pContext, const char* lpszTitle) {
  if (nIndex < 0 || nIndex > GetPageCount() || !pClass) return FALSE;
  plat::CCreateContext made;
  bool sendInitialUpdate = false;
  if (!pContext) {
    // A page made without a context joins the document of the active view.
    if (auto* active = dynamic_cast<plat::CView*>(GetActivePage())) {
      made.m_pCurrentDoc = active->GetDocument();
      made.m_pNewDocTemplate = made.m_pCurrentDoc ? made.m_pCurrentDoc->GetDocTemplate() : nullptr;
      made.m_pLastView = active;
      sendInitialUpdate = true;
    }
    pContext = &made;
  }
  plat::CObject* obj = nullptr;
  try {
    obj = pClass->CreateObject();
  } catch (...) {
    return FALSE;
  }
  auto* pWnd = dynamic_cast<QWidget*>(obj);
  if (!pWnd) {
    delete obj;
    return FALSE;
  }
  const int id = GetUniqueId();
  pWnd->setParent(this);
  pWnd->setProperty("ctrlId", id);
  pWnd->setGeometry(Q(m_rcPageArea));
  auto* view = dynamic_cast<plat::CView*>(pWnd);
  if (view && pContext->m_pCurrentDoc) pContext->m_pCurrentDoc->AddView(view);
  if (!InsertPage(nIndex, pWnd, lpszTitle)) {
    if (view && view->GetDocument()) view->GetDocument()->RemoveView(view);
    delete pWnd;
    return FALSE;
  }
  if (sendInitialUpdate && view) view->OnInitialUpdate();
  return TRUE;
}

BOOL CWCTabViewContainer::DeletePage(int nIndex, BOOL bDestroy) {
  if (nIndex < 0 || nIndex >= GetPageCount()) return FALSE;
  if (nIndex == m_nActivePage) SetActivePageIndex(nIndex + 1 < GetPageCount() ? nIndex + 1 : 0);
  _tagPAGEINFO& page = m_Pages[nIndex];
  if (page.nCtrlId > 0)
    m_FreeIds.push_back(page.nCtrlId);  // a window added without an id gives none back
  if (page.pWnd) {
    if (nIndex == m_nActivePage) {
      // The only page: it stays as it is, but the container no longer follows its bars.
      DisconnectScrollBars();
    }
    if (bDestroy) delete page.pWnd.data();
  }
  m_Pages.erase(m_Pages.begin() + nIndex);
  if (m_nActivePage >= nIndex) --m_nActivePage;
  CalcTabRects();
  RedrawStrip();
  return TRUE;
}

BOOL CWCTabViewContainer::DeletePage(QWidget* pWnd, BOOL bDestroy) {
  int i = -1;
  if (!pWnd || !FindPage(pWnd, i)) return FALSE;
  return DeletePage(i, bDestroy);
}

BOOL CWCTabViewContainer::SetActivePageIndex(int nIndex) {
  if (nIndex == m_nActivePage) return TRUE;
  if (m_nActivePage >= 0 && m_nActivePage < GetPageCount() && m_Pages[m_nActivePage].pWnd) {
    _tagPAGEINFO& old = m_Pages[m_nActivePage];
    SaveScrollState(old);
    old.pWnd->hide();
    m_nActivePage = -1;
    // The page shows its own bars again while it is not in the container's care.
    if (plat::CScrollView* sv = ScrollPage(old.pWnd)) sv->ShowOwnScrollBars(true);
  }
  m_nActivePage = -1;
  if (nIndex < 0 || nIndex >= GetPageCount()) {
    SetScrollStyle(0, TRUE);
    RedrawTabArea();
    return FALSE;
  }
  m_nActivePage = nIndex;
  MakeTabVisible(nIndex, FALSE);
  _tagPAGEINFO& page = m_Pages[nIndex];
  if (QWidget* w = page.pWnd) {
    LoadScrollState(page);
    MovePageToArea(w);
    w->show();
    // The page takes the focus, which makes a view the frame's active view.
    w->setFocus(Qt::OtherFocusReason);
  }
  RedrawTabArea();
  return TRUE;
}

void CWCTabViewContainer::LoadScrollState(_tagPAGEINFO& page) {
  DisconnectScrollBars();
  plat::CScrollView* sv = ScrollPage(page.pWnd);
  page.bHasScrollHorz = page.bHasScrollVert = FALSE;
  if (sv) {
    // The page's own bars go first, so that it measures itself over the whole page area.
    MovePageToArea(sv);
    sv->ShowOwnScrollBars(false);
    sv->GetScrollInfo(plat::SB_HORZ, &page.scrlInfoHorz);
    sv->GetScrollInfo(plat::SB_VERT, &page.scrlInfoVert);
    page.bHasScrollHorz = sv->HasScrollBar(plat::SB_HORZ) && Usable(page.scrlInfoHorz);
    page.bHasScrollVert = sv->HasScrollBar(plat::SB_VERT) && Usable(page.scrlInfoVert);
  }
  SetScrollStyle((page.bHasScrollHorz ? WS_HSCROLL : 0) | (page.bHasScrollVert ? WS_VSCROLL : 0),
                 TRUE);
  if (page.bHasScrollHorz) WriteBar(m_ScrollHorz, page.scrlInfoHorz);
  if (page.bHasScrollVert) WriteBar(m_ScrollVert, page.scrlInfoVert);
  if (sv) ConnectScrollBars(sv);
}

void CWCTabViewContainer::SaveScrollState(_tagPAGEINFO& page) {
  if (s_bSavingScroll || !page.pWnd || !page.pWnd->isVisible()) return;
  s_bSavingScroll = true;
  if (plat::CScrollView* sv = ScrollPage(page.pWnd)) {
    sv->GetScrollInfo(plat::SB_HORZ, &page.scrlInfoHorz);
    sv->GetScrollInfo(plat::SB_VERT, &page.scrlInfoVert);
  }
  DisconnectScrollBars();
  s_bSavingScroll = false;
}

void CWCTabViewContainer::ConnectScrollBars(plat::CScrollView* view) {
  m_pLinkedView = view;
  // The page tells the container whenever its range, page or position changes (new
  // scroll sizes, a resize, a wheel turn); the container's bars scroll the page.
  view->SetScrollListener([this, view] {
    if (m_pLinkedView != view) return;
    plat::SCROLLINFO h, v;
    view->GetScrollInfo(plat::SB_HORZ, &h);
    view->GetScrollInfo(plat::SB_VERT, &v);
    const bool hasH = view->HasScrollBar(plat::SB_HORZ) && Usable(h);
    const bool hasV = view->HasScrollBar(plat::SB_VERT) && Usable(v);
    m_dwScrollStyle = (hasH ? WS_HSCROLL : 0) | (hasV ? WS_VSCROLL : 0);
    m_ScrollHorz.setEnabled(hasH);
    m_ScrollVert.setEnabled(hasV);
    if (hasH) WriteBar(m_ScrollHorz, h);
    if (hasV) WriteBar(m_ScrollVert, v);
    if (m_nActivePage >= 0 && m_Pages[m_nActivePage].pWnd == view) {
      m_Pages[m_nActivePage].bHasScrollHorz = hasH;
      m_Pages[m_nActivePage].bHasScrollVert = hasV;
    }
  });
}

void CWCTabViewContainer::DisconnectScrollBars() {
  if (m_pLinkedView) m_pLinkedView->SetScrollListener(nullptr);
  m_pLinkedView = nullptr;
}

void CWCTabViewContainer::MovePageToArea(QWidget* pWnd) {
  if (pWnd && pWnd->geometry() != Q(m_rcPageArea)) pWnd->setGeometry(Q(m_rcPageArea));
}

RECT CWCTabViewContainer::TabScreenRect(int nIndex) const {
  const RECT& t = m_TabRects.at(nIndex);
  return R(m_rcTabArea.left + t.left + m_nTabOffset, m_rcTabArea.top,
           m_rcTabArea.left + t.right + m_nTabOffset, m_rcTabArea.bottom);
}

void CWCTabViewContainer::MakeTabVisible(int nIndex, BOOL bPartialOk) {
  const LONG areaW = m_rcTabArea.right - m_rcTabArea.left;
  if (areaW <= 0 || nIndex < 0 || nIndex >= static_cast<int>(m_TabRects.size())) return;
  const RECT r = TabScreenRect(nIndex);
  const RECT& a = m_rcTabArea;
  const bool leftInside = r.left >= a.left && r.left < a.right;
  if (r.left == a.left || (leftInside && r.right <= a.right) ||
      (r.left <= a.left && r.right >= a.right))
    return;
  if (bPartialOk &&
      ((r.left < a.left && r.right > a.left) || (r.left < a.right && r.right > a.right)))
    return;
  const int m = std::min<int>(20, areaW / 2);
  if (r.left < a.left) {
    m_nTabOffset += a.left - r.left;
    if (nIndex != 0) m_nTabOffset += m;
  } else {
    m_nTabOffset -= r.right - a.right;
    if (nIndex != GetPageCount() - 1) m_nTabOffset -= m;
  }
  RedrawTabArea();
}

void CWCTabViewContainer::ScrollTabs(int nButton) {
  const LONG areaW = m_rcTabArea.right - m_rcTabArea.left;
  const bool hasTabs = !m_TabRects.empty();
  const LONG lastRight = hasTabs ? m_rcTabArea.left + m_TabRects.back().right : 0;
  const bool overflow = hasTabs && areaW > 0 && lastRight + m_nTabOffset > m_rcTabArea.right;
  const int before = m_nTabOffset;
  switch (nButton) {
    case HT_FIRST:
      if (m_nTabOffset < 0 && areaW > 0) m_nTabOffset = 0;
      break;
    case HT_PREV:
      if (m_nTabOffset < 0 && areaW > 0) m_nTabOffset = std::min(0, m_nTabOffset + 15);
      break;
    case HT_NEXT:
      if (overflow) m_nTabOffset = std::max<int>(m_nTabOffset - 15, m_rcTabArea.right - lastRight);
      break;
    case HT_LAST:
      if (overflow) m_nTabOffset = m_rcTabArea.right - lastRight;
      break;
    default:
      break;
  }
  if (m_nTabOffset != before) RedrawTabArea();
}

int CWCTabViewContainer::HitTest(POINT pt) const {
  if (PtIn(m_rcSplitter, pt)) return HT_SPLITTER;
  if (PtIn(m_rcScrollHorz, pt)) return HT_HSCROLL;
  if (PtIn(m_rcScrollVert, pt)) return HT_VSCROLL;
  for (int k = 0; k < 4; ++k)
    if (PtIn(m_rcScrollButtons[k], pt)) return HT_FIRST - k;
  if (PtIn(m_rcTabArea, pt)) {
    for (int i = 0; i < static_cast<int>(m_TabRects.size()); ++i)
      if (PtIn(TabScreenRect(i), pt)) return i;
    return HT_TABAREA;
  }
  if (PtIn(m_rcSizeBox, pt)) return HT_SIZEBOX;
  return HT_NOWHERE;
}

void CWCTabViewContainer::RedrawStrip() {
  update(Q(R(m_rcScrollButtons[0].left, m_rcScrollButtons[0].top, m_rcSplitter.right,
             m_rcSplitter.bottom)));
  update(Q(m_rcSizeBox));
}

void CWCTabViewContainer::RedrawTabArea() { update(Q(m_rcTabArea)); }

void CWCTabViewContainer::OnSizeOrSettings() {
  if (width() == 0 || height() == 0 || isMinimized()) return;
  RecalcLayout();
  m_ScrollHorz.setGeometry(Q(m_rcScrollHorz));
  m_ScrollVert.setGeometry(Q(m_rcScrollVert));
  if (QWidget* w = GetActivePage()) MovePageToArea(w);
  RedrawStrip();
}

void CWCTabViewContainer::resizeEvent(QResizeEvent*) { OnSizeOrSettings(); }

void CWCTabViewContainer::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::FontChange) {
    OnSizeOrSettings();
    CalcTabRects();
  }
  QWidget::changeEvent(e);
}

bool CWCTabViewContainer::event(QEvent* e) {
  if (e->type() == QEvent::Leave && m_nPressedItem == HT_NOWHERE && !m_bTrackSplitter)
    unsetCursor();
  return QWidget::event(e);
}

// ---- painting -------------------------------------------------------------------------

void CWCTabViewContainer::paintEvent(QPaintEvent*) {
  QPainter dc(this);
  if (m_Pages.empty()) dc.fillRect(rect(), Sys(this, BTNFACE));
  if (QWidget* w = GetActivePage()) {
    const QRect area = Q(m_rcPageArea);
    const QRect g = w->geometry();
    if (g != area && !g.isEmpty()) {
      QRegion rest = QRegion(area).subtracted(QRegion(g));
      for (const QRect& r : rest) dc.fillRect(r, Sys(this, WINDOW));
    }
  }
  DrawScrollButtons(dc);
  DrawSplitter(dc);
  DrawSizeBox(dc);
  DrawTabArea(dc);
}

void CWCTabViewContainer::DrawScrollButtons(QPainter& dc) {
  for (int k = 0; k < 4; ++k) DrawScrollButton(dc, m_rcScrollButtons[k], HT_FIRST - k);
}

void CWCTabViewContainer::DrawScrollButton(QPainter& dc, RECT rc, int nButton) {
  if (IsEmpty(rc)) return;
  dc.save();
  dc.fillRect(Q(rc), Sys(this, BTNFACE));
  const bool down = nButton == m_nPressedItem && m_bPressedIn;
  if (down) {
    rc.left += 1;
    rc.right += 1;
    rc.top += 1;
    rc.bottom += 1;
  }
  const QColor tl = down ? Sys(this, BTNFACE) : Sys(this, BTNHIGHLIGHT);
  const QColor br = down ? Sys(this, BTNFACE) : Sys(this, BTNSHADOW);
  Line(dc, tl, rc.left, rc.top, rc.right - 1, rc.top);
  Line(dc, tl, rc.left, rc.top, rc.left, rc.bottom - 1);
  Line(dc, br, rc.left, rc.bottom - 1, rc.right - 1, rc.bottom - 1);
  Line(dc, br, rc.right - 1, rc.top, rc.right - 1, rc.bottom - 1);
  RECT A = rc;
  Deflate(A, 2, 2);
  const LONG iw = A.right - A.left, ih = A.bottom - A.top;
  Deflate(A, iw / 4, ih / 6);
  const LONG q = (A.right - A.left) / 4;
  if ((A.bottom - A.top) % 2 == 0) A.bottom += 1;
  const LONG mid = A.top + (A.bottom - A.top) / 2;
  QPolygon tri;
  QRect bar;
  switch (nButton) {
    case HT_PREV:
      tri << QPoint(A.right - q, A.top - 1) << QPoint(A.right - q, A.bottom) << QPoint(A.left, mid);
      break;
    case HT_NEXT:
      tri << QPoint(A.left + q, A.top - 1) << QPoint(A.left + q, A.bottom) << QPoint(A.right, mid);
      break;
    case HT_FIRST:
      tri << QPoint(A.right, A.top - 1) << QPoint(A.right, A.bottom) << QPoint(A.left + q, mid);
      bar = QRect(A.left + q - 2, A.top, 2, A.bottom - A.top);
      break;
    case HT_LAST:
      tri << QPoint(A.left, A.top - 1) << QPoint(A.left, A.bottom) << QPoint(A.right - q, mid);
      bar = QRect(A.right - q, A.top, 2, A.bottom - A.top);
      break;
    default:
      break;
  }
  dc.setPen(Qt::NoPen);
  dc.setBrush(Sys(this, WINDOWTEXT));
  dc.drawPolygon(tri, Qt::WindingFill);
  if (!bar.isEmpty()) dc.fillRect(bar, Sys(this, WINDOWTEXT));
  dc.restore();
}

void CWCTabViewContainer::DrawSplitter(QPainter& dc) {
  const RECT& r = m_rcSplitter;
  if (IsEmpty(r)) return;
  dc.save();
  dc.fillRect(Q(r), Sys(this, BTNFACE));
  auto edge = [&](RECT e, const QColor& tl, const QColor& br) {
    Line(dc, tl, e.left, e.top, e.right - 1, e.top);
    Line(dc, tl, e.left, e.top, e.left, e.bottom - 1);
    Line(dc, br, e.left, e.bottom - 1, e.right - 1, e.bottom - 1);
    Line(dc, br, e.right - 1, e.top, e.right - 1, e.bottom - 1);
  };
  edge(r, Sys(this, BTNFACE), Sys(this, WINDOWFRAME));
  RECT in = r;
  Deflate(in, 1, 1);
  edge(in, Sys(this, BTNHIGHLIGHT), Sys(this, BTNSHADOW));
  dc.restore();
}

void CWCTabViewContainer::DrawSizeBox(QPainter& dc) {
  if (!IsEmpty(m_rcSizeBox)) dc.fillRect(Q(m_rcSizeBox), Sys(this, BTNFACE));
}

void CWCTabViewContainer::DrawTabArea(QPainter& dc) {
  if (IsEmpty(m_rcTabArea)) return;
  dc.save();
  dc.setClipRect(Q(m_rcTabArea));
  dc.fillRect(Q(m_rcTabArea), Sys(this, BTNFACE));
  Line(dc, Sys(this, WINDOWTEXT), m_rcTabArea.left, m_rcTabArea.top, m_rcTabArea.right,
       m_rcTabArea.top);
  dc.setBrush(Sys(this, BTNFACE));
  dc.setFont(m_TabFont);
  for (int i = 0; i < static_cast<int>(m_TabRects.size()); ++i)
    if (i != m_nActivePage) DrawTab(dc, i);
  if (m_nActivePage >= 0 && m_nActivePage < static_cast<int>(m_TabRects.size())) {
    dc.setBrush(Sys(this, WINDOW));
    dc.setFont(m_TabFontBold);
    DrawTab(dc, m_nActivePage);
  }
  dc.restore();
}

void CWCTabViewContainer::DrawTab(QPainter& dc, int nIndex) {
  const RECT r = TabScreenRect(nIndex);
  if (r.right <= m_rcTabArea.left || r.left >= m_rcTabArea.right) return;
  const LONG L = r.left, Rr = r.right, T = m_rcTabArea.top, B = m_rcTabArea.bottom;
  QPolygon poly;
  poly << QPoint(L, T) << QPoint(L + 5, B) << QPoint(Rr - 5, B) << QPoint(Rr, T);
  dc.setPen(QPen(Sys(this, WINDOWTEXT), 1));
  dc.drawPolygon(poly);
  if (nIndex != m_nActivePage) {
    Line(dc, Sys(this, BTNSHADOW), L + 5, B - 1, Rr - 5, B - 1);
    Line(dc, Sys(this, BTNSHADOW), Rr - 6, B - 1, Rr - 1, T);
    Line(dc, Sys(this, BTNHIGHLIGHT), L + 2, T + 1, L + 6, B - 1);
  } else {
    Line(dc, Sys(this, BTNHIGHLIGHT), L + 1, T, Rr, T);
    Line(dc, Sys(this, BTNSHADOW), L + 5, B - 1, Rr - 5, B - 1);
  }
  const std::string& title = m_Pages[nIndex].sTitle;
  if (!title.empty()) {
    dc.setPen(Sys(this, WINDOWTEXT));
    dc.drawText(QRect(L, T, Rr - L, B - T), Qt::AlignCenter | Qt::TextSingleLine,
                QString::fromStdString(title));
  }
}

// ---- mouse and timer ------------------------------------------------------------------

void CWCTabViewContainer::mousePressEvent(QMouseEvent* e) {
  QWidget::mousePressEvent(e);
  if (e->button() != Qt::LeftButton) return;
  const POINT pt{e->position().toPoint().x(), e->position().toPoint().y()};
  const int hit = HitTest(pt);
  if (hit >= 0 && hit != m_nActivePage) {
    SetActivePageIndex(hit);
    return;
  }
  if (hit >= 0) {
    // The tab of the page already shown: the page takes the focus again, which makes it
    // the frame's active view when another pane held it.
    if (QWidget* w = m_Pages[hit].pWnd) w->setFocus(Qt::MouseFocusReason);
    return;
  }
  m_nPressedItem = HT_NOWHERE;
  if (hit <= HT_FIRST && hit >= HT_LAST) {
    m_nPressedItem = hit;
    m_bPressedIn = TRUE;
    update(Q(m_rcScrollButtons[HT_FIRST - hit]));
    ScrollTabs(hit);
    m_nTimerId = startTimer(200);
  } else if (hit == HT_SPLITTER) {
    m_bTrackSplitter = TRUE;
  }
}

void CWCTabViewContainer::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  const POINT pt{p.x(), p.y()};
  if (m_nPressedItem != HT_NOWHERE) {
    const BOOL in = HitTest(pt) == m_nPressedItem;
    if (in != m_bPressedIn) {
      m_bPressedIn = in;
      update(Q(m_rcScrollButtons[HT_FIRST - m_nPressedItem]));
    }
  }
  if (m_bTrackSplitter) {
    const LONG lo = m_rcScrollButtons[3].right + 3, hi = m_rcPageArea.right - 57;
    const LONG x = std::max(lo, std::min<LONG>(hi, pt.x));
    const LONG oldLeft = m_rcSplitter.left;
    const LONG dx = (x - 3) - oldLeft;
    if (dx != 0) {
      m_rcSplitter.left = x - 3;
      m_rcSplitter.right = x + 3;
      m_rcScrollHorz.left = m_rcSplitter.right;
      m_ScrollHorz.setGeometry(Q(m_rcScrollHorz));
      m_rcTabArea.right = std::max(m_rcTabArea.left, m_rcTabArea.right + dx);
      m_nTabAreaWidth = m_rcSplitter.left - m_rcScrollButtons[3].right;
      update(Q(m_rcSplitter));
      if (dx > 0) {
        update(QRect(oldLeft, m_rcSplitter.top, dx, m_rcSplitter.bottom - m_rcSplitter.top));
        if (m_nTabOffset < 0 && !m_TabRects.empty() &&
            TabScreenRect(GetPageCount() - 1).right <= m_rcTabArea.right) {
          m_nTabOffset = std::min(0, m_nTabOffset + static_cast<int>(dx));
        }
      }
      RedrawTabArea();
    }
  }
  if (m_bTrackSplitter || HitTest(pt) == HT_SPLITTER)
    setCursor(Qt::SizeHorCursor);
  else
    unsetCursor();
  QWidget::mouseMoveEvent(e);
}

void CWCTabViewContainer::CancelTracking() {
  if (m_nPressedItem == HT_NOWHERE) {
    m_bTrackSplitter = FALSE;
    return;
  }
  if (m_nTimerId >= 0) killTimer(m_nTimerId);
  m_nTimerId = -1;
  const int pressed = m_nPressedItem;
  m_nPressedItem = HT_NOWHERE;
  m_bPressedIn = FALSE;
  update(Q(m_rcScrollButtons[HT_FIRST - pressed]));
}

void CWCTabViewContainer::mouseReleaseEvent(QMouseEvent* e) {
  CancelTracking();
  QWidget::mouseReleaseEvent(e);
}

void CWCTabViewContainer::timerEvent(QTimerEvent* e) {
  if (e->timerId() == m_nTimerId && m_nPressedItem != HT_NOWHERE && m_bPressedIn)
    ScrollTabs(m_nPressedItem);
}
