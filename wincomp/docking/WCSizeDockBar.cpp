#include "wincomp/docking/WCSizeDockBar.h"

#include <QDockWidget>
#include <algorithm>

#include "platform/qt/SysColors.h"
#include "wincomp/docking/WCFrameWndSizeDock.h"

void CWCSplitterRect::Draw(plat::CDC* dc) const {
  const RECT& r = m_rect;
  const int colours[4] = {COLOR_BTNFACE, COLOR_BTNHIGHLIGHT, COLOR_WINDOWFRAME, COLOR_BTNSHADOW};
  if (m_type == kVertical) {
    const int columns[4] = {static_cast<int>(r.left) + 1, static_cast<int>(r.left) + 2,
                            static_cast<int>(r.right) - 1, static_cast<int>(r.right) - 2};
    for (int k = 0; k < 4; ++k)
      dc->FillSolidRect(columns[k], r.top, 1, r.bottom - r.top, plat::GetSysColor(colours[k]));
  } else {
    const int rows[4] = {static_cast<int>(r.top) + 1, static_cast<int>(r.top) + 2,
                         static_cast<int>(r.bottom) - 1, static_cast<int>(r.bottom) - 2};
    for (int k = 0; k < 4; ++k)
      dc->FillSolidRect(r.left, rows[k], r.right - r.left, 1, plat::GetSysColor(colours[k]));
  }
}

CWCRectTracker::Handle CWCRectTracker::HandleFromHitTest(int hitCode) {
  switch (hitCode) {
    case 10:
      return hitLeft;
    case 11:
      return hitRight;
    case 12:
      return hitTop;
    case 13:
      return hitTopLeft;
    case 14:
      return hitTopRight;
    case 15:
      return hitBottom;
    case 16:
      return hitBottomLeft;
    case 17:
      return hitBottomRight;
    default:
      return hitMiddle;
  }
}

CWCRectTracker::Handle CWCRectTracker::TrackFromHitTest(int hitCode) {
  m_rectStart = m_rect;
  return HandleFromHitTest(hitCode);
}

void CWCRectTracker::AdjustRect(Handle handle, RECT* r) const {
  const RECT& lim = m_rectLimit;
  const bool limited = lim.right > lim.left && lim.bottom > lim.top;
  if (limited) {
    if (handle == hitMiddle) {
      // A move keeps the whole rectangle inside; its top stays 10 pixels above the
      // limit's bottom at most.
      const LONG w = r->right - r->left, h = r->bottom - r->top;
      LONG left = std::clamp<LONG>(r->left, lim.left, std::max<LONG>(lim.left, lim.right - w));
      LONG top = std::clamp<LONG>(r->top, lim.top, std::max<LONG>(lim.top, lim.bottom - h));
      top = std::min<LONG>(top, lim.bottom - 10);
      *r = {left, top, left + w, top + h};
    } else {
      r->left = std::max(r->left, lim.left);
      r->top = std::max(r->top, lim.top);
      r->right = std::min(r->right, lim.right);
      r->bottom = std::min(r->bottom, lim.bottom);
    }
  }
  if (m_nStyle & kHorzOnly) {
    r->top = m_rectStart.top;
    r->bottom = m_rectStart.bottom;
  }
  if (m_nStyle & kVertOnly) {
    r->left = m_rectStart.left;
    r->right = m_rectStart.right;
  }
}

CWCSizeDockBar::CWCSizeDockBar(CWCFrameWndSizeDock* frame, UINT id, DWORD style)
    : m_pFrame(frame), m_nID(id), m_dwStyle(style) {}

bool CWCSizeDockBar::IsHorz() const {
  return (m_dwStyle & (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)) != 0;
}

Qt::DockWidgetArea CWCSizeDockBar::Area() const {
  if (m_dwStyle & CBRS_ALIGN_TOP) return Qt::TopDockWidgetArea;
  if (m_dwStyle & CBRS_ALIGN_BOTTOM) return Qt::BottomDockWidgetArea;
  if (m_dwStyle & CBRS_ALIGN_LEFT) return Qt::LeftDockWidgetArea;
  return Qt::RightDockWidgetArea;
}

QDockWidget* CWCSizeDockBar::GetFirstBar() const {
  if (!m_pFrame) return nullptr;
  for (QDockWidget* d : m_pFrame->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
    if (!d->isFloating() && !d->isHidden() && m_pFrame->dockWidgetArea(d) == Area()) return d;
  return nullptr;
}

SIZE CWCSizeDockBar::CalcFixedLayout(BOOL, BOOL) const {
  if (!m_pFrame) return {0, 0};
  LONG thickness = 0;
  LONG length = 0;
  for (QDockWidget* d : m_pFrame->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) {
    if (d->isFloating() || d->isHidden() || m_pFrame->dockWidgetArea(d) != Area()) continue;
    const QRect g = d->geometry();
    thickness =
        std::max<LONG>(thickness, IsHorz() ? g.bottom() + 1 - g.top() : g.right() + 1 - g.left());
    length = std::max<LONG>(length, IsHorz() ? g.right() + 1 : g.bottom() + 1);
  }
  if (thickness == 0) return {0, 0};
  return IsHorz() ? SIZE{length, thickness} : SIZE{thickness, length};
}
