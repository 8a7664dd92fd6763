#include "platform/qt/Wnd.h"

#include <QTimer>

#include "platform/qt/FrameWnd.h"
#include "platform/qt/QtDc.h"

namespace plat {

CWnd::CWnd(QWidget* self) : self_(self) {}

CWnd::~CWnd() {
  // The timers are children of the widget, which Qt deletes; stop them first so no
  // tick reaches a half-destroyed window.
  for (auto& [id, t] : timers_)
    if (self_) t->stop();
}

UINT CWnd::SetTimer(UINT id, UINT elapseMs) {
  QTimer*& t = timers_[id];
  if (!t) {
    t = new QTimer(self_);
    t->setTimerType(Qt::PreciseTimer);
    QObject::connect(t, &QTimer::timeout, self_, [this, id] { OnTimer(id); });
  }
  t->start(static_cast<int>(elapseMs));
  return id;
}

BOOL CWnd::KillTimer(UINT id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return FALSE;
  it->second->stop();
  it->second->deleteLater();
  timers_.erase(it);
  return TRUE;
}

bool CWnd::HasTimer(UINT id) const { return timers_.count(id) != 0; }

void CWnd::Invalidate(BOOL) {
  if (self_) self_->update();
}

void CWnd::UpdateWindow() {
  if (self_ && self_->isVisible()) self_->repaint();
}

void CWnd::GetClientRect(RECT* r) const {
  if (!r) return;
  *r = RECT{0, 0, self_ ? self_->width() : 0, self_ ? self_->height() : 0};
}

void CWnd::GetWindowText(std::string* text) const {
  if (text) *text = self_ ? self_->windowTitle().toStdString() : std::string();
}

void CWnd::SetWindowText(const std::string& text) {
  if (self_) self_->setWindowTitle(DisplayText(text));
}

BOOL CWnd::ShowWindow(int cmd) {
  if (!self_) return FALSE;
  BOOL was = self_->isVisible();
  switch (cmd) {
    case SW_HIDE:
      self_->hide();
      break;
    case SW_SHOWMAXIMIZED:
      self_->showMaximized();
      break;
    case SW_RESTORE:
      if (self_->isMinimized() || self_->isMaximized())
        self_->showNormal();
      else
        self_->show();
      self_->raise();
      break;
    default:
      self_->show();
      break;
  }
  return was;
}

BOOL CWnd::IsWindowVisible() const { return self_ && self_->isVisible(); }

void CWnd::SetCursor(const QCursor& cursor) {
  if (self_) self_->setCursor(cursor);
}

void CWnd::SetFocus() {
  if (self_) self_->setFocus();
}

void CWnd::ClientToScreen(POINT* p) const {
  if (!p || !self_) return;
  QPoint g = self_->mapToGlobal(QPoint(p->x, p->y));
  *p = POINT{g.x(), g.y()};
}

void CWnd::ScreenToClient(POINT* p) const {
  if (!p || !self_) return;
  QPoint l = self_->mapFromGlobal(QPoint(p->x, p->y));
  *p = POINT{l.x(), l.y()};
}

CFrameWnd* CWnd::GetParentFrame() const {
  for (QWidget* w = self_ ? self_->parentWidget() : nullptr; w; w = w->parentWidget())
    if (auto* f = dynamic_cast<CFrameWnd*>(w)) return f;
  return nullptr;
}

}  // namespace plat
