#include "wincomp/splash/WCSplashWnd.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <cstdlib>

#include "platform/qt/Resources.h"
#include "wincomp/splash/SplashContour.h"

CWCSplashWnd* CWCSplashWnd::s_pGlobalSplash = nullptr;
BOOL CWCSplashWnd::s_bShowSplash = TRUE;
int CWCSplashWnd::s_nDefaultTimeout = 750;

namespace {
constexpr Qt::WindowFlags kSplashFlags =
    Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}

CWCSplashWnd::CWCSplashWnd() : QWidget(nullptr, kSplashFlags), plat::CWnd(this) {}

CWCSplashWnd::~CWCSplashWnd() {
  if (m_bShown) {
    releaseMouse();
    releaseKeyboard();
  }
  if (s_pGlobalSplash && s_pGlobalSplash != this) {
    CWCSplashWnd* global = s_pGlobalSplash;
    s_pGlobalSplash = nullptr;
    delete global;
  }
  s_pGlobalSplash = nullptr;
}

BOOL CWCSplashWnd::LoadBitmap(UINT id, COLORREF transparent, const POINT* start, BYTE tolerance) {
  return LoadBitmap(plat::Resources::BitmapName(id), transparent, start, tolerance);
}

BOOL CWCSplashWnd::LoadBitmap(const std::string& name, COLORREF transparent, const POINT* start,
                              BYTE tolerance) {
  if (!m_bitmap.LoadFromResource(name, TRUE)) return FALSE;
  return AfterLoad(transparent, start, tolerance);
}

BOOL CWCSplashWnd::LoadBitmapFile(const std::string& path, COLORREF transparent, const POINT* start,
                                  BYTE tolerance) {
  if (!m_bitmap.LoadFromFile(path, TRUE)) return FALSE;
  return AfterLoad(transparent, start, tolerance);
}

BOOL CWCSplashWnd::AfterLoad(COLORREF transparent, const POINT* start, BYTE tolerance) {
  m_crTransparent = transparent;
  m_byTolerance = tolerance;
  if (transparent == kNoTransparentColour) {
    m_rgn.clear();
    return TRUE;
  }
  const POINT p = start ? *start : POINT{0, 0};
  if (transparent == kColourAtStartPoint) {
    m_crTransparent = m_bitmap.GetPixelColour(p.x, p.y);
    if (m_crTransparent == 0xFFFFFFFF) m_crTransparent = m_bitmap.GetPixelColour(0, 0);
  }
  if (m_crTransparent != 0xFFFFFFFF) {
    m_byRed = GetRValue(m_crTransparent);
    m_byGreen = GetGValue(m_crTransparent);
    m_byBlue = GetBValue(m_crTransparent);
    if (BuildRegion(&p)) return TRUE;
  }
  m_rgn.clear();
  return FALSE;
}

BOOL CWCSplashWnd::IsBorderColour(int x, int y, BOOL dflt) const {
  const COLORREF c = m_bitmap.GetPixelColour(x, y);
  if (c == 0xFFFFFFFF) return dflt;
  return std::abs(GetRValue(c) - m_byRed) <= m_byTolerance &&
         std::abs(GetGValue(c) - m_byGreen) <= m_byTolerance &&
         std::abs(GetBValue(c) - m_byBlue) <= m_byTolerance;
}

BOOL CWCSplashWnd::BuildRegion(const POINT*) {
  const QImage& img = m_bitmap.Image();
  std::vector<POINT> pts;
  const bool ok = TraceSplashContour(
      img.width(), img.height(),
      [this](int x, int y, bool dflt) { return IsBorderColour(x, y, dflt) != FALSE; }, &pts);
  m_rgn.clear();
  if (!ok) return FALSE;
  QPolygon poly;
  for (const POINT& p : pts) poly << QPoint(p.x, p.y);
  // An outline that encloses nothing (a line of pixels) would hide the whole window.
  if (QRegion(poly, Qt::OddEvenFill).isEmpty()) return FALSE;
  m_rgn = poly;
  return TRUE;
}

BOOL CWCSplashWnd::Show(int timeoutMs, QWidget* parent, const POINT* at) {
  if ((this == s_pGlobalSplash && !s_bShowSplash) || !m_bitmap.HasBitmap()) return FALSE;
  m_nTimeout = timeoutMs < 1 && timeoutMs != -1 ? s_nDefaultTimeout : timeoutMs;
  if (m_bShown) {
    // Shown again while on screen: the window closes first, but the object stays, as it
    // is about to show again.
    const BOOL autoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    CloseSplash();
    m_bAutoDelete = autoDelete;
  }
  m_pOwner = parent;
  setParent(parent, kSplashFlags);
  const QImage& img = m_bitmap.Image();
  setFixedSize(img.size());
  if (!m_rgn.isEmpty())
    setMask(QRegion(m_rgn, Qt::OddEvenFill));
  else
    clearMask();
  // Centred on the parent, else on the screen.
  QRect area;
  if (parent)
    area = QRect(parent->mapToGlobal(QPoint(0, 0)), parent->size());
  else if (QScreen* s = QGuiApplication::primaryScreen())
    area = s->geometry();
  move(area.center() - QPoint(img.width() / 2, img.height() / 2));
  if (at) move(at->x, at->y);
  if (m_nTimeout != -1) SetTimer(TIMER_SPLASH, static_cast<UINT>(m_nTimeout));
  setCursor(Qt::ArrowCursor);
  show();
  raise();
  activateWindow();
  setFocus(Qt::OtherFocusReason);
  grabMouse(Qt::ArrowCursor);
  grabKeyboard();
  m_bShown = true;
  m_bFilterActive = true;
  qApp->installEventFilter(this);
  update();
  return TRUE;
}

BOOL CWCSplashWnd::Hide(int delayMs) {
  if (delayMs > 0) {
    m_nTimeout = delayMs;
    SetTimer(TIMER_SPLASH, static_cast<UINT>(delayMs));
  } else {
    CloseSplash();
  }
  return TRUE;
}

void CWCSplashWnd::CloseSplash() {
  KillTimer(TIMER_SPLASH);
  if (!m_bShown) return;
  m_bShown = false;
  hide();
  releaseMouse();
  releaseKeyboard();
  // The input that closed the window is still being delivered (a key press comes after
  // its shortcut check): the filter goes once control is back in the event loop.
  QTimer::singleShot(0, this, [this] {
    m_bFilterActive = false;
    qApp->removeEventFilter(this);
  });
  if (m_bAutoDelete) deleteLater();
}

bool CWCSplashWnd::IsDismissingInput(const QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
      return true;
    default:
      return false;
  }
}

bool CWCSplashWnd::eventFilter(QObject* watched, QEvent* e) {
  if (m_bFilterActive && m_bDismissOnInput && IsDismissingInput(e)) {
    if (m_bShown) CloseSplash();
    return true;
  }
  // Only a press closes the window: the release of the key or button that chose Help >
  // About comes after the window opened and must not close it at once. Releases stay
  // with the window while it is shown.
  if (m_bFilterActive && m_bShown &&
      (e->type() == QEvent::KeyRelease || e->type() == QEvent::MouseButtonRelease))
    return true;
  return QWidget::eventFilter(watched, e);
}

void CWCSplashWnd::OnTimer(UINT id) {
  if (id == TIMER_SPLASH) CloseSplash();
}

void CWCSplashWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  m_bitmap.Draw(&p);
}

BOOL CWCSplashWnd::LoadGlobalBitmap(UINT id, COLORREF transparent, const POINT* start,
                                    BYTE tolerance) {
  if (!s_pGlobalSplash) {
    s_pGlobalSplash = new CWCSplashWnd;
    s_pGlobalSplash->m_bAutoDelete = TRUE;
  }
  return s_pGlobalSplash->LoadBitmap(id, transparent, start, tolerance);
}
