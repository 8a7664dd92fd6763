#include "wincomp/grid/qt/SGQtWindows.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/Strings.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/QtDc.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGEdit.h"

namespace {

// Every widget of a grid window names its window, so that the focus widget can be told.
constexpr const char* kWndProperty = "sgWnd";

void MarkWidget(QWidget* w, CSGWnd* wnd) {
  w->setProperty(kWndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(wnd)));
}

CSGWnd* WndOfWidget(const QWidget* w) {
  for (; w; w = w->parentWidget()) {
    const QVariant v = w->property(kWndProperty);
    if (v.isValid()) return reinterpret_cast<CSGWnd*>(v.value<quintptr>());
  }
  return nullptr;
}

QString ToQString(const std::string& bytes) {
  const std::u16string u = plat::DecodeForDisplay(bytes);
  return QString::fromUtf16(u.data(), static_cast<qsizetype>(u.size()));
}

bool Printable(const QString& text) {
  return !text.isEmpty() && text[0].unicode() >= 0x20 && text[0].unicode() != 0x7F;
}

UINT MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  UINT f = 0;
  if (buttons & Qt::LeftButton) f |= sgw::MK_LBUTTON;
  if (buttons & Qt::RightButton) f |= sgw::MK_RBUTTON;
  if (mods & Qt::ShiftModifier) f |= sgw::MK_SHIFT;
  if (mods & Qt::ControlModifier) f |= sgw::MK_CONTROL;
  return f;
}

POINT ToPoint(const QPointF& p) {
  return POINT{static_cast<LONG>(std::floor(p.x())), static_cast<LONG>(std::floor(p.y()))};
}

UINT VirtualKey(int key) {
  switch (key) {
    case Qt::Key_Left:
      return sgw::VK_LEFT;
    case Qt::Key_Right:
      return sgw::VK_RIGHT;
    case Qt::Key_Up:
      return sgw::VK_UP;
    case Qt::Key_Down:
      return sgw::VK_DOWN;
    case Qt::Key_PageUp:
      return sgw::VK_PRIOR;
    case Qt::Key_PageDown:
      return sgw::VK_NEXT;
    case Qt::Key_Home:
      return sgw::VK_HOME;
    case Qt::Key_End:
      return sgw::VK_END;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return sgw::VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return sgw::VK_RETURN;
    case Qt::Key_Escape:
      return sgw::VK_ESCAPE;
    default:
      if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>(key);  // 'A'..'Z'
      if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<UINT>(key);
      return 0;
  }
}

// The platform's painter device with its text measurements remembered: a grid draws
// the same few fonts over and over, and the device measures every character of every
// text it draws. The answers are the device's own, kept per font, scale and text.
class SGQtImageDevice : public plat::QtPainterDevice {
 public:
  explicit SGQtImageDevice(QImage* image) : QtPainterDevice(image, 96, 96) {}

  TEXTMETRIC GetTextMetrics(const plat::DcState& s) const override {
    std::string key = FontKey(s);
    auto it = Metrics().find(key);
    if (it != Metrics().end()) return it->second;
    if (Metrics().size() > 256) Metrics().clear();
    return Metrics()[key] = QtPainterDevice::GetTextMetrics(s);
  }
  int GetTextWidth(const plat::DcState& s, const std::string& text) const override {
    std::string key = FontKey(s);
    key += text;
    auto it = Widths().find(key);
    if (it != Widths().end()) return it->second;
    if (Widths().size() > 20000) Widths().clear();
    return Widths()[key] = QtPainterDevice::GetTextWidth(s, text);
  }

 private:
  static std::string FontKey(const plat::DcState& s) {
    const LOGFONT& lf = s.font.GetLogFont();
    const double scale[2] = {s.ScaleX(), s.ScaleY()};
    const int stock = s.font.StockIndex();
    std::string key(reinterpret_cast<const char*>(&lf), sizeof lf);
    key.append(reinterpret_cast<const char*>(scale), sizeof scale);
    key.append(reinterpret_cast<const char*>(&stock), sizeof stock);
    return key;
  }
  static std::unordered_map<std::string, TEXTMETRIC>& Metrics() {
    static std::unordered_map<std::string, TEXTMETRIC> m;
    return m;
  }
  static std::unordered_map<std::string, int>& Widths() {
    static std::unordered_map<std::string, int> m;
    return m;
  }
};

// A device context drawing into a grid window's backing image.
class SGImageDC : public plat::CDC {
 public:
  explicit SGImageDC(QImage* image) : CDC(std::make_unique<SGQtImageDevice>(image)) {}
};

}  // namespace

// ------------------------------------------------------------------ painting widget

SGQtPaintWidget::SGQtPaintWidget(CSGWnd* wnd, SGWindowKind kind, QWidget* parent)
    : QWidget(parent), wnd_(wnd), kind_(kind) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  if (kind == SGWindowKind::CellArea) setFocusPolicy(Qt::StrongFocus);
}

bool SGQtPaintWidget::event(QEvent* e) {
  // Inside a dialog the grid keeps Tab (and Enter and Escape, which it accepts).
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
        (wnd_->OnGetDlgCode() & sgw::DLGC_WANTALLKEYS)) {
      keyPressEvent(k);
      return true;
    }
  }
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    if ((wnd_->OnGetDlgCode() & sgw::DLGC_WANTALLKEYS) &&
        (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter || k->key() == Qt::Key_Escape)) {
      e->accept();
      return true;
    }
  }
  return QWidget::event(e);
}

void SGQtPaintWidget::paintEvent(QPaintEvent*) {
  if (invalid) {
    invalid = false;
    SGImageDC dc(&backing_);
    wnd_->OnPaint(&dc);
  }
  QPainter p(this);
  p.drawImage(0, 0, backing_);
}

void SGQtPaintWidget::resizeEvent(QResizeEvent*) {
  QImage next(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
  next.fill(Qt::white);
  if (!backing_.isNull()) {
    QPainter p(&next);
    p.drawImage(0, 0, backing_);
  }
  backing_ = next;
  invalid = true;
  wnd_->OnSize(width(), height());
}

void SGQtPaintWidget::mousePressEvent(QMouseEvent* e) {
  const UINT f = MouseFlags(e->buttons(), e->modifiers());
  if (e->button() == Qt::LeftButton) wnd_->OnLButtonDown(f, ToPoint(e->position()));
  if (e->button() == Qt::RightButton) wnd_->OnRButtonDown(f, ToPoint(e->position()));
}

void SGQtPaintWidget::mouseReleaseEvent(QMouseEvent* e) {
  const UINT f = MouseFlags(e->buttons(), e->modifiers());
  if (e->button() == Qt::LeftButton) wnd_->OnLButtonUp(f, ToPoint(e->position()));
  if (e->button() == Qt::RightButton) wnd_->OnRButtonUp(f, ToPoint(e->position()));
}

void SGQtPaintWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  const UINT f = MouseFlags(e->buttons(), e->modifiers());
  if (e->button() == Qt::LeftButton) wnd_->OnLButtonDblClk(f, ToPoint(e->position()));
}

void SGQtPaintWidget::mouseMoveEvent(QMouseEvent* e) {
  wnd_->OnMouseMove(MouseFlags(e->buttons(), e->modifiers()), ToPoint(e->position()));
  wnd_->OnSetCursor();
}

void SGQtPaintWidget::wheelEvent(QWheelEvent* e) {
  const int delta = e->angleDelta().y();
  if (delta == 0) return;
  wnd_->OnMouseWheel(MouseFlags(e->buttons(), e->modifiers()), static_cast<short>(delta),
                     ToPoint(e->position()));
  e->accept();
}

void SGQtPaintWidget::keyPressEvent(QKeyEvent* e) {
  const UINT vk = VirtualKey(e->key());
  if (vk) wnd_->OnKeyDown(vk, e->isAutoRepeat() ? 2 : 1, 0);
  const QString text = e->text();
  if (!text.isEmpty() && text[0].unicode() >= 0x20 && text[0].unicode() != 0x7F)
    wnd_->OnChar(text[0].unicode(), 1, 0);
  if (vk || !text.isEmpty())
    e->accept();
  else
    QWidget::keyPressEvent(e);
}

void SGQtPaintWidget::focusInEvent(QFocusEvent*) { wnd_->OnSetFocus(); }
void SGQtPaintWidget::focusOutEvent(QFocusEvent*) { wnd_->OnKillFocus(); }

bool SGQtPaintWidget::focusNextPrevChild(bool next) {
  if (kind_ == SGWindowKind::CellArea && (wnd_->OnGetDlgCode() & sgw::DLGC_WANTALLKEYS))
    return false;
  return QWidget::focusNextPrevChild(next);
}

// ------------------------------------------------------------------ editor

SGQtEditWidget::SGQtEditWidget(CSGWnd* wnd, QWidget* parent) : QPlainTextEdit(parent), wnd_(wnd) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setTabChangesFocus(false);
  document()->setDocumentMargin(1);
  QObject::connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (isVisible()) static_cast<CSGEdit*>(wnd_)->OnUpdate();
  });
}

bool SGQtEditWidget::event(QEvent* e) {
  // Tab, Enter and Escape belong to the editor, not to the dialog around the grid.
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
      keyPressEvent(k);
      return true;
    }
  }
  if (e->type() == QEvent::ShortcutOverride) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter || k->key() == Qt::Key_Escape) {
      e->accept();
      return true;
    }
  }
  return QPlainTextEdit::event(e);
}

void SGQtEditWidget::keyPressEvent(QKeyEvent* e) {
  const UINT vk = VirtualKey(e->key());
  e->accept();
  inKeyPress = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{inKeyPress};
  if (vk) {
    passOn = false;
    wnd_->OnKeyDown(vk, e->isAutoRepeat() ? 2 : 1, 0);
    if (!passOn) return;
  }
  const QString text = e->text();
  if (Printable(text)) {
    passOn = false;
    wnd_->OnChar(text[0].unicode(), 1, 0);
    if (!passOn) return;
  }
  QPlainTextEdit::keyPressEvent(e);
}

void SGQtEditWidget::focusInEvent(QFocusEvent* e) {
  QPlainTextEdit::focusInEvent(e);
  wnd_->OnSetFocus();
}

void SGQtEditWidget::focusOutEvent(QFocusEvent* e) {
  QPlainTextEdit::focusOutEvent(e);
  // Qt does not name the widget that takes the focus: look once the change is done, and
  // finish (which may start the next edit) outside this handler.
  QPointer<SGQtEditWidget> self(this);
  CSGWnd* wnd = wnd_;
  QTimer::singleShot(0, this, [self, wnd] {
    if (self && !self->hasFocus()) wnd->OnKillFocus();
  });
}

// ------------------------------------------------------------------ drop list

SGQtListWidget::SGQtListWidget(CSGWnd* wnd, QWidget* parent) : QListWidget(parent), wnd_(wnd) {
  setFrameShape(QFrame::Box);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QObject::connect(this, &QListWidget::currentRowChanged, this,
                   [this](int row) { static_cast<CSGLstBox*>(wnd_)->m_curSel = row; });
}

void SGQtListWidget::keyPressEvent(QKeyEvent* e) {
  const UINT vk = VirtualKey(e->key());
  if (vk == sgw::VK_ESCAPE || vk == sgw::VK_RETURN) {
    e->accept();
    wnd_->OnKeyDown(vk, 1, 0);
    return;
  }
  QListWidget::keyPressEvent(e);
}

bool SGQtListWidget::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      // While the list holds the mouse every mouse event comes to the list's frame, which
      // a scroll area leaves unhandled: hand it to the part of the list under the point.
      RouteGrabbed(static_cast<QMouseEvent*>(e));
      return true;
    default:
      return QListWidget::event(e);
  }
}

void SGQtListWidget::RouteGrabbed(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  const QEvent::Type type = e->type();
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
    QWidget* part = nullptr;
    if (viewport()->geometry().contains(at))
      part = viewport();
    else if (QScrollBar* bar = verticalScrollBar();
             bar && bar->isVisible() &&
             QRect(bar->mapTo(this, QPoint(0, 0)), bar->size()).contains(at))
      part = bar;
    pressTarget_ = part;
    pressSeen_ = true;
  } else if (!pressSeen_) {
    // The release of the click that opened the list, or the mouse passing over: the list
    // keeps the mouse and waits for the user's click.
    return;
  }
  if (type == QEvent::MouseButtonRelease) pressSeen_ = false;
  QWidget* target = pressTarget_;
  if (!target) {
    // A click outside ends the list, as a click on another window would.
    if (type == QEvent::MouseButtonRelease && !rect().contains(at) && hasFocus())
      static_cast<CSGLstBox*>(wnd_)->Close();
    return;
  }
  if (target != viewport()) {
    QMouseEvent copy(type, target->mapFrom(this, e->position()), e->scenePosition(),
                     e->globalPosition(), e->button(), e->buttons(), e->modifiers());
    QCoreApplication::sendEvent(target, &copy);
    return;
  }
  QMouseEvent copy(type, viewport()->mapFrom(this, e->position()), e->scenePosition(),
                   e->globalPosition(), e->button(), e->buttons(), e->modifiers());
  switch (type) {
    case QEvent::MouseButtonPress:
      mousePressEvent(&copy);
      break;
    case QEvent::MouseButtonRelease:
      mouseReleaseEvent(&copy);
      break;
    case QEvent::MouseButtonDblClick:
      mouseDoubleClickEvent(&copy);
      break;
    default:
      mouseMoveEvent(&copy);
      break;
  }
}

void SGQtListWidget::mousePressEvent(QMouseEvent* e) {
  if (!viewport()->rect().contains(e->position().toPoint())) return;
  QListWidget::mousePressEvent(e);
}

void SGQtListWidget::mouseMoveEvent(QMouseEvent* e) {
  if (!viewport()->rect().contains(e->position().toPoint())) return;
  QListWidget::mouseMoveEvent(e);
}

void SGQtListWidget::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  if (!viewport()->rect().contains(at)) return;
  QListWidget::mouseReleaseEvent(e);
  // A release on an entry chooses that entry; one elsewhere chooses nothing.
  if (QListWidgetItem* item = itemAt(at)) {
    setCurrentItem(item);
    wnd_->OnLButtonUp(0, ToPoint(e->position()));
  }
}

void SGQtListWidget::focusInEvent(QFocusEvent* e) {
  QListWidget::focusInEvent(e);
  wnd_->OnSetFocus();
}

void SGQtListWidget::focusOutEvent(QFocusEvent* e) {
  QListWidget::focusOutEvent(e);
  releaseMouse();
  // The list destroys itself on the focus loss: not inside its own event handler.
  QPointer<SGQtListWidget> self(this);
  CSGWnd* wnd = wnd_;
  QTimer::singleShot(0, [self, wnd] {
    if (self && !self->hasFocus()) wnd->OnKillFocus();
  });
}

// ------------------------------------------------------------------ scroll bar

SGQtScrollBar::SGQtScrollBar(CSGWnd* wnd, Qt::Orientation o, QWidget* parent)
    : QScrollBar(o, parent), wnd_(wnd) {
  setTracking(false);
  setFocusPolicy(Qt::NoFocus);
  connect(this, &QAbstractSlider::actionTriggered, this, [this](int a) { OnAction(a); });
  connect(this, &QAbstractSlider::sliderReleased, this, [this] {
    const int pos = sliderPosition();
    wnd_->OnScroll(sgw::SB_THUMBPOSITION, static_cast<UINT>(pos));
    setSliderPosition(gridPos_);
  });
}

void SGQtScrollBar::SetGridPos(int pos) {
  gridPos_ = pos;
  if (!isSliderDown()) {
    QSignalBlocker block(this);
    setSliderPosition(pos);
    setValue(pos);
  }
}

void SGQtScrollBar::OnAction(int action) {
  UINT code;
  switch (action) {
    case SliderSingleStepSub:
      code = sgw::SB_LINEUP;
      break;
    case SliderSingleStepAdd:
      code = sgw::SB_LINEDOWN;
      break;
    case SliderPageStepSub:
      code = sgw::SB_PAGEUP;
      break;
    case SliderPageStepAdd:
      code = sgw::SB_PAGEDOWN;
      break;
    case SliderToMinimum:
      code = sgw::SB_TOP;
      break;
    case SliderToMaximum:
      code = sgw::SB_BOTTOM;
      break;
    case SliderMove:
      wnd_->OnScroll(sgw::SB_THUMBTRACK, sliderPosition());
      return;
    default:
      return;
  }
  wnd_->OnScroll(code, 0);
  // The grid decides the position; the bar's own step is replaced by it.
  setSliderPosition(gridPos_);
}

void SGQtScrollBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    wnd_->OnRButtonDown(sgw::MK_RBUTTON, ToPoint(e->position()));
    return;
  }
  QScrollBar::mousePressEvent(e);
}

// ------------------------------------------------------------------ port

SGQtPort::SGQtPort(CSGWnd* wnd, SGWindowKind kind, QWidget* parent, const RECT& rect)
    : wnd_(wnd), kind_(kind) {
  switch (kind) {
    case SGWindowKind::VScroll:
      widget_ = new SGQtScrollBar(wnd, Qt::Vertical, parent);
      break;
    case SGWindowKind::HScroll:
    case SGWindowKind::TabArrows:
      widget_ = new SGQtScrollBar(wnd, Qt::Horizontal, parent);
      break;
    case SGWindowKind::Edit:
      widget_ = new SGQtEditWidget(wnd, parent);
      break;
    case SGWindowKind::ListBox:
      widget_ = new SGQtListWidget(wnd, parent);
      break;
    default:
      widget_ = new SGQtPaintWidget(wnd, kind, parent);
      break;
  }
  MarkWidget(widget_, wnd);
  widget_->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  if (kind == SGWindowKind::Hint) {
    widget_->setWindowFlags(Qt::ToolTip);
    widget_->hide();
  } else if (parent) {
    widget_->show();
  }
}

SGQtPort::~SGQtPort() {
  for (auto& t : timers_) delete t.second;
  if (kind_ == SGWindowKind::Edit || kind_ == SGWindowKind::ListBox) {
    // These go while one of their own events may still be on the stack.
    if (widget_) {
      widget_->releaseMouse();
      widget_->hide();
      widget_->setProperty(kWndProperty, QVariant());
      widget_->disconnect();
      widget_->deleteLater();
    }
    return;
  }
  delete widget_.data();
}

void SGQtPort::SetCapture() {
  if (kind_ == SGWindowKind::ListBox && widget_) widget_->grabMouse();
}

void SGQtPort::ReleaseCapture() {
  if (kind_ == SGWindowKind::ListBox && widget_) widget_->releaseMouse();
}

void SGQtPort::ShowWindow(bool show) {
  if (!widget_) return;
  widget_->setVisible(show);
  if (show) widget_->raise();
}

bool SGQtPort::IsVisible() const { return widget_ && widget_->isVisible(); }

void SGQtPort::SetParentPort(SGWindowPort* parent) {
  QWidget* p = parent ? static_cast<SGQtPort*>(parent)->Widget() : nullptr;
  if (!widget_ || !p || widget_->parentWidget() == p) return;
  const bool visible = widget_->isVisible();
  widget_->setParent(p);
  widget_->setVisible(visible);
}

void SGQtPort::SetFont(const plat::CFont* font) {
  if (!widget_) return;
  if (!font) {
    widget_->setFont(QFont());
    return;
  }
  const LOGFONT lf = font->GetLogFont();
  QFont f(QString::fromLatin1(lf.lfFaceName));
  if (lf.lfHeight != 0) f.setPixelSize(std::abs(static_cast<int>(lf.lfHeight)));
  if (lf.lfWeight >= 600) f.setBold(true);
  f.setItalic(lf.lfItalic != 0);
  widget_->setFont(f);
}

void SGQtPort::SetWindowText(const std::string& text) {
  if (auto* e = dynamic_cast<SGQtEditWidget*>(widget_.data())) {
    QSignalBlocker block(e);
    e->setPlainText(ToQString(text));
  }
}

std::string SGQtPort::GetWindowText() const {
  if (auto* e = dynamic_cast<SGQtEditWidget*>(widget_.data()))
    return e->toPlainText().toStdString();
  return {};
}

void SGQtPort::SelectAllText() {
  if (auto* e = dynamic_cast<SGQtEditWidget*>(widget_.data())) {
    e->selectAll();
    e->ensureCursorVisible();
  }
}

void SGQtPort::SetItems(const std::vector<std::string>& items) {
  auto* l = dynamic_cast<SGQtListWidget*>(widget_.data());
  if (!l) return;
  QSignalBlocker block(l);
  l->clear();
  for (const std::string& item : items) l->addItem(ToQString(item));
  l->setCurrentRow(-1);
  // The list is at least as wide as its longest entry, so that no entry is cut; it moves
  // left rather than past its parent's right edge.
  const int frame = 2 * l->frameWidth();
  const int bar = l->count() > 15 ? l->style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
  int widest = 0;
  for (int i = 0; i < l->count(); ++i)
    widest = std::max(widest, l->fontMetrics().horizontalAdvance(l->item(i)->text()));
  const int need = widest + frame + bar + 8;
  // And tall enough for its entries (up to fifteen) at the rows' own height, moving up
  // rather than past its parent's bottom edge.
  const int rowHeight = std::max(l->sizeHintForRow(0), l->fontMetrics().height());
  const int needHeight = std::min(l->count(), 15) * rowHeight + frame;
  if (l->width() < need || l->height() < needHeight) {
    QRect g = l->geometry();
    g.setWidth(std::max(g.width(), need));
    g.setHeight(std::max(g.height(), needHeight));
    if (QWidget* p = l->parentWidget()) {
      if (g.right() >= p->width()) g.moveLeft(std::max(0, p->width() - g.width()));
      if (g.bottom() >= p->height()) g.moveTop(std::max(0, p->height() - g.height()));
    }
    l->setGeometry(g);
  }
}

void SGQtPort::SetCurSel(int index) {
  auto* l = dynamic_cast<SGQtListWidget*>(widget_.data());
  if (!l) return;
  l->setCurrentRow(index);
  if (QListWidgetItem* item = l->item(index)) l->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void SGQtPort::DefaultKeyDown(UINT /*key*/) {
  if (auto* e = dynamic_cast<SGQtEditWidget*>(widget_.data())) e->passOn = true;
  if (auto* l = dynamic_cast<SGQtListWidget*>(widget_.data())) l->passOn = true;
}

void SGQtPort::DefaultChar(UINT ch) {
  auto* e = dynamic_cast<SGQtEditWidget*>(widget_.data());
  if (!e) return;
  if (e->inKeyPress) {
    e->passOn = true;
  } else {
    // The key that opened the editor was typed on the cell area: it goes in here.
    e->insertPlainText(QString(QChar(static_cast<char16_t>(ch))));
  }
}

RECT SGQtPort::GetWindowRect() const {
  const QRect g = widget_->geometry();
  return RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

CSGWnd* SGQtPort::FocusWnd() const { return WndOfWidget(QApplication::focusWidget()); }

bool SGQtPort::TrackPopupMenu(const std::vector<SGMenuItem>& items, POINT screen, UINT* chosen) {
  *chosen = 0;
  if (!widget_) return false;
  QMenu menu(widget_);
  for (const SGMenuItem& item : items) {
    if (item.text.empty()) {
      menu.addSeparator();
      continue;
    }
    QAction* a = menu.addAction(ToQString(item.text));
    a->setData(QVariant::fromValue(item.id));
  }
  QAction* picked = menu.exec(QPoint(screen.x, screen.y));
  if (picked) *chosen = picked->data().toUInt();
  return true;
}

QImage* SGQtPort::Backing() const {
  auto* w = dynamic_cast<SGQtPaintWidget*>(widget_.data());
  return w ? &w->Backing() : nullptr;
}

void SGQtPort::MoveWindow(const RECT& r) {
  widget_->setGeometry(r.left, r.top, std::max<LONG>(0, r.right - r.left),
                       std::max<LONG>(0, r.bottom - r.top));
  widget_->setVisible(r.right > r.left && r.bottom > r.top);
}

RECT SGQtPort::GetClientRect() const { return RECT{0, 0, widget_->width(), widget_->height()}; }

void SGQtPort::Invalidate() {
  if (auto* w = dynamic_cast<SGQtPaintWidget*>(widget_.data())) w->invalid = true;
  widget_->update();
}

void SGQtPort::UpdateWindow() {
  auto* w = dynamic_cast<SGQtPaintWidget*>(widget_.data());
  if (!w || !w->invalid) return;
  w->invalid = false;
  Draw([w](plat::CDC& dc) { w->Wnd()->OnPaint(&dc); });
}

bool SGQtPort::HasUpdateRegion() const {
  auto* w = dynamic_cast<SGQtPaintWidget*>(widget_.data());
  return w && w->invalid;
}

void SGQtPort::ScrollContents(int dx, int dy, const RECT& clip) {
  QImage* img = Backing();
  if (!img || img->isNull()) return;
  const QRect c = QRect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top)
                      .intersected(img->rect());
  // The part of the clip that receives pixels from inside it.
  const QRect dst = c.intersected(c.translated(dx, dy));
  if (dst.isEmpty()) return;
  // Rows move in place (32-bit pixels), walked so that no source row is overwritten
  // before it has moved.
  const int width = dst.width();
  const int srcX = dst.left() - dx;
  auto moveRow = [&](int y) {
    const uchar* from = img->constScanLine(y - dy) + srcX * 4;
    uchar* to = img->scanLine(y) + dst.left() * 4;
    std::memmove(to, from, static_cast<std::size_t>(width) * 4);
  };
  if (dy > 0)
    for (int y = dst.bottom(); y >= dst.top(); --y) moveRow(y);
  else
    for (int y = dst.top(); y <= dst.bottom(); ++y) moveRow(y);
  widget_->update();
}

void SGQtPort::Draw(const std::function<void(plat::CDC&)>& paint) {
  QImage* img = Backing();
  if (img && !img->isNull()) {
    {
      SGImageDC dc(img);
      paint(dc);
    }
    widget_->update();
    return;
  }
  // Windows without pixels of their own still measure.
  QImage scratch(1, 1, QImage::Format_RGB32);
  SGImageDC dc(&scratch);
  paint(dc);
}

bool SGQtPort::HasFocus() const { return widget_->hasFocus(); }

void SGQtPort::SetFocus() {
  if (!widget_->hasFocus()) widget_->setFocus(Qt::OtherFocusReason);
}

void SGQtPort::SetCursor(int id) {
  switch (id) {
    case sgw::IDC_SIZEWE:
      widget_->setCursor(Qt::SizeHorCursor);
      break;
    case sgw::IDC_SIZENS:
      widget_->setCursor(Qt::SizeVerCursor);
      break;
    default:
      widget_->setCursor(Qt::ArrowCursor);
      break;
  }
}

POINT SGQtPort::ClientToScreen(POINT p) const {
  const QPoint g = widget_->mapToGlobal(QPoint(p.x, p.y));
  return POINT{g.x(), g.y()};
}

bool SGQtPort::IsKeyDown(UINT vk) const {
  // The state the platform reports, or that of the event being handled.
  const Qt::KeyboardModifiers m =
      QGuiApplication::queryKeyboardModifiers() | QGuiApplication::keyboardModifiers();
  if (vk == sgw::VK_CONTROL) return m & Qt::ControlModifier;
  if (vk == sgw::VK_SHIFT) return m & Qt::ShiftModifier;
  return false;
}

void SGQtPort::SetScrollInfo(int min, int max, int page) {
  auto* bar = dynamic_cast<SGQtScrollBar*>(widget_.data());
  if (!bar) return;
  QSignalBlocker block(bar);
  page = std::max(1, page);
  bar->setRange(min, std::max(min, max - page + 1));
  bar->setPageStep(page);
  bar->setSingleStep(1);
}

void SGQtPort::SetScrollPos(int pos) {
  if (auto* bar = dynamic_cast<SGQtScrollBar*>(widget_.data())) bar->SetGridPos(pos);
}

void SGQtPort::SetTimer(int id, int ms) {
  QTimer*& t = timers_[id];
  if (!t) {
    t = new QTimer();
    CSGWnd* wnd = wnd_;
    QObject::connect(t, &QTimer::timeout, [wnd, id] { wnd->OnTimer(id); });
  }
  t->start(ms);
}

void SGQtPort::KillTimer(int id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

// ------------------------------------------------------------------ system

std::unique_ptr<SGWindowPort> SGQtSystem::CreatePort(CSGWnd* wnd, SGWindowKind kind,
                                                     SGWindowPort* parent, void* nativeParent,
                                                     const RECT& rect, UINT /*id*/) {
  QWidget* parentWidget =
      parent ? static_cast<SGQtPort*>(parent)->Widget() : static_cast<QWidget*>(nativeParent);
  if (kind == SGWindowKind::Hint) parentWidget = nullptr;
  auto port = std::make_unique<SGQtPort>(wnd, kind, parentWidget, rect);
  // The grid hands its focus to the cell area.
  if (kind == SGWindowKind::CellArea && parentWidget) parentWidget->setFocusProxy(port->Widget());
  return port;
}

bool SGQtSystem::SetClipboardText(const std::string& text) { return plat::SetClipboardText(text); }

std::optional<std::string> SGQtSystem::GetClipboardText() { return plat::GetClipboardText(); }

SGQtSystem& SGQtSystem::Instance() {
  static SGQtSystem system;
  return system;
}

bool SGCreateGrid(CSGCtrl& grid, QWidget* parent, const QRect& rect, UINT id) {
  const RECT r{rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
  return grid.CreateGrid(0, r, SGQtSystem::Instance(), parent, id) != 0;
}

QWidget* SGWidgetOf(const CSGWnd& wnd) {
  auto* port = static_cast<SGQtPort*>(wnd.Port());
  return port ? port->Widget() : nullptr;
}

QImage* SGBackingOf(const CSGWnd& wnd) {
  auto* port = static_cast<SGQtPort*>(wnd.Port());
  return port ? port->Backing() : nullptr;
}
