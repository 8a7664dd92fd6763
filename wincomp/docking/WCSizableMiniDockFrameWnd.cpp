#include "wincomp/docking/WCSizableMiniDockFrameWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QMainWindow>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr int kSeparator = 8;  // gap of a separator along a row or column
constexpr int kGripper = 8;    // thickness of a docked bar's gripper

// The strip by which a bar is held: a gripper while docked, a small caption with a close
// button while floating. It leaves every mouse event to the dock frame, which drags the
// bar on a press and docks or floats it on a double click.
class BarCaption : public QWidget {
 public:
  explicit BarCaption(QDockWidget* frame) : QWidget(frame), frame_(frame) {
    setObjectName("caption");
    close_ = new QToolButton(this);
    close_->setObjectName("close");
    close_->setAutoRaise(true);
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close_->setToolTip(QStringLiteral("Close"));
    QObject::connect(close_, &QToolButton::clicked, frame, [frame] { frame->close(); });
    close_->hide();
  }
  void SetFloating(bool floating) {
    floating_ = floating;
    close_->setVisible(floating);
    updateGeometry();
    Place();
    update();
  }
  QSize sizeHint() const override {
    if (!floating_) return {kGripper, kGripper};
    return {CaptionHeight() * 3, CaptionHeight()};
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void resizeEvent(QResizeEvent*) override { Place(); }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QPalette& pal = palette();
    if (floating_) {
      p.fillRect(rect(), pal.color(QPalette::Highlight));
      p.setPen(pal.color(QPalette::HighlightedText));
      QFont f = font();
      f.setPixelSize(std::max(CaptionHeight() - 6, 8));
      f.setBold(true);
      p.setFont(f);
      const QRect text = rect().adjusted(4, 0, -(close_->width() + 4), 0);
      p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                 p.fontMetrics().elidedText(frame_->windowTitle(), Qt::ElideRight, text.width()));
      return;
    }
    // Two raised lines along the bar, as a toolbar's gripper.
    const bool vertical = height() > width();
    for (int k = 0; k < 2; ++k) {
      const int at = 2 + 3 * k;
      const QRect line = vertical ? QRect(at, 2, 2, height() - 4) : QRect(2, at, width() - 4, 2);
      p.setPen(pal.color(QPalette::Light));
      p.drawLine(line.topLeft(), vertical ? line.bottomLeft() : line.topRight());
      p.setPen(pal.color(QPalette::Dark));
      p.drawLine(line.bottomRight(), vertical ? line.topRight() : line.bottomLeft());
    }
  }

 private:
  int CaptionHeight() const { return fontMetrics().height() + 4; }
  void Place() {
    const int h = height() - 2;
    close_->setGeometry(width() - h - 1, 1, h, h);
  }
  QDockWidget* frame_;
  QToolButton* close_;
  bool floating_ = false;
};

}  // namespace

// ---------------------------------------------------------------- buttons of a toolbar

CWCBarButtons::CWCBarButtons(QWidget* parent) : QWidget(parent) { setObjectName("buttons"); }

void CWCBarButtons::SetActions(const QList<QAction*>& actions) {
  for (QToolButton* b : m_buttons) delete b;
  m_buttons.clear();
  for (QAction* a : actions) {
    if (a->isSeparator()) {
      m_buttons.push_back(nullptr);
      continue;
    }
    auto* b = new QToolButton(this);
    b->setAutoRaise(true);  // flat
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setIconSize(QSize(24, 24));
    b->setDefaultAction(a);
    b->show();
    m_buttons.push_back(b);
  }
  updateGeometry();
  Relayout();
}

void CWCBarButtons::SetOrientation(Qt::Orientation o) {
  if (o == m_orientation) return;
  m_orientation = o;
  updateGeometry();
  Relayout();
}

std::vector<CWCBarButtons::Place> CWCBarButtons::Wrap(const std::vector<int>& extents,
                                                      const std::vector<bool>& separators,
                                                      int maxLength, int* lines) {
  std::vector<Place> out(extents.size(), Place{0, -1});
  int line = 0, pos = 0;
  for (std::size_t i = 0; i < extents.size(); ++i) {
    const int ext = extents[i];
    if (separators[i]) {
      // A separator that would open or overrun a line is left out.
      if (pos > 0 && pos + ext <= maxLength) {
        out[i] = {line, pos};
        pos += ext;
      }
      continue;
    }
    if (pos > 0 && pos + ext > maxLength) {
      ++line;
      pos = 0;
    }
    out[i] = {line, pos};
    pos += ext;
  }
  if (lines) *lines = line + 1;
  return out;
}

QSize CWCBarButtons::ButtonSize() const {
  QSize s(26, 26);
  for (QToolButton* b : m_buttons)
    if (b) s = s.expandedTo(b->sizeHint());
  return s;
}

QSize CWCBarButtons::sizeHint() const {
  const QSize b = ButtonSize();
  int length = 0;
  for (QToolButton* btn : m_buttons)
    length += btn ? (m_orientation == Qt::Horizontal ? b.width() : b.height()) : kSeparator;
  return m_orientation == Qt::Horizontal ? QSize(length, b.height()) : QSize(b.width(), length);
}

QSize CWCBarButtons::minimumSizeHint() const { return ButtonSize(); }

void CWCBarButtons::resizeEvent(QResizeEvent*) { Relayout(); }

void CWCBarButtons::Relayout() {
  if (m_inLayout) return;
  const QSize b = ButtonSize();
  const bool horz = m_orientation == Qt::Horizontal;
  const int along = horz ? b.width() : b.height();
  // Not laid out yet: one line until the frame gives the bar its length.
  const int length = horz ? width() : height();
  const int maxLength =
      length > 0 ? std::max(length, along) : sizeHint().width() + sizeHint().height();
  std::vector<int> extents;
  std::vector<bool> separators;
  for (QToolButton* btn : m_buttons) {
    extents.push_back(btn ? along : kSeparator);
    separators.push_back(btn == nullptr);
  }
  const std::vector<Place> places = Wrap(extents, separators, maxLength, &m_lines);
  m_separators.clear();
  for (std::size_t i = 0; i < m_buttons.size(); ++i) {
    const Place& pl = places[i];
    if (m_buttons[i]) {
      m_buttons[i]->setGeometry(horz ? QRect(QPoint(pl.offset, pl.line * b.height()), b)
                                     : QRect(QPoint(pl.line * b.width(), pl.offset), b));
    } else if (pl.offset >= 0) {
      m_separators.push_back(
          horz ? QRect(pl.offset + kSeparator / 2 - 1, pl.line * b.height() + 3, 2, b.height() - 6)
               : QRect(pl.line * b.width() + 3, pl.offset + kSeparator / 2 - 1, b.width() - 6, 2));
    }
  }
  // The bar is as thick as its lines; its length is the frame's.
  m_inLayout = true;
  if (horz) {
    setMinimumSize(b.width(), m_lines * b.height());
    setMaximumSize(QWIDGETSIZE_MAX, m_lines * b.height());
  } else {
    setMinimumSize(m_lines * b.width(), b.height());
    setMaximumSize(m_lines * b.width(), QWIDGETSIZE_MAX);
  }
  m_inLayout = false;
  update();
}

void CWCBarButtons::paintEvent(QPaintEvent*) {
  QPainter p(this);
  for (const QRect& r : m_separators) {
    const bool vertical = r.height() > r.width();
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(vertical ? r.topRight() : r.bottomLeft(), r.bottomRight());
  }
}

// ---------------------------------------------------------------- the frame

CWCSizableMiniDockFrameWnd::CWCSizableMiniDockFrameWnd(const QString& title, QWidget* bar,
                                                       QWidget* parent)
    : QDockWidget(title, parent) {
  setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);
  auto* caption = new BarCaption(this);
  m_pCaption = caption;
  setTitleBarWidget(caption);
  setWidget(bar);
  connect(this, &QDockWidget::topLevelChanged, this, [this](bool f) { OnTopLevelChanged(f); });
  connect(this, &QDockWidget::dockLocationChanged, this,
          [this](Qt::DockWidgetArea a) { OnAreaChanged(a); });
  Arrange();
}

void CWCSizableMiniDockFrameWnd::OnTopLevelChanged(bool floating) {
  if (floating && m_nFrameKind == kUndecided) {
    // One ordinary bar: a frame that can be sized from every side, as Qt's floating dock
    // frames are.
    m_nFrameKind = kOrdinaryBar;
  }
  Arrange();
  // Qt gives the floating frame its own size once this signal is handled: the block's
  // size follows after that.
  if (floating) QTimer::singleShot(0, this, [this] {
    if (isFloating()) FitFloatingBlock();
  });
}

void CWCSizableMiniDockFrameWnd::FitFloatingBlock() {
  // A floating toolbar starts as a block of rows of at most a dozen buttons, whatever
  // shape it had docked (a column on a side would float as a tall strip), and lies on
  // the screen.
  auto* buttons = dynamic_cast<CWCBarButtons*>(widget());
  if (!buttons || buttons->Buttons().empty()) return;
  const QSize b = buttons->minimumSizeHint();
  std::vector<int> extents;
  std::vector<bool> separators;
  int count = 0;
  for (QToolButton* btn : buttons->Buttons()) {
    extents.push_back(btn ? b.width() : kSeparator);
    separators.push_back(btn == nullptr);
    count += btn != nullptr;
  }
  const QRect screenArea = screen() ? screen()->availableGeometry() : QRect();
  const int margin = 2 * style()->pixelMetric(QStyle::PM_DockWidgetFrameWidth, nullptr, this) + 2;
  int rowLength = std::min(count, 12) * b.width();
  if (!screenArea.isEmpty()) rowLength = std::max(b.width(), std::min(rowLength, screenArea.width() - margin - 16));
  int lines = 1;
  CWCBarButtons::Wrap(extents, separators, rowLength, &lines);
  resize(rowLength + margin, lines * b.height() + m_pCaption->sizeHint().height() + margin);
  if (screenArea.isEmpty()) return;
  QPoint at = pos();
  at.setX(std::clamp(at.x(), screenArea.left(),
                     std::max(screenArea.left(), screenArea.right() + 1 - width())));
  at.setY(std::clamp(at.y(), screenArea.top(),
                     std::max(screenArea.top(), screenArea.bottom() + 1 - height())));
  if (at != pos()) move(at);
}

void CWCSizableMiniDockFrameWnd::OnAreaChanged(Qt::DockWidgetArea area) {
  if (area != Qt::NoDockWidgetArea) m_lastArea = area;
  Arrange();
}

void CWCSizableMiniDockFrameWnd::Arrange() {
  const bool floating = isFloating();
  Qt::DockWidgetArea area = m_lastArea;
  if (auto* main = qobject_cast<QMainWindow*>(parentWidget()); main && !floating) {
    const Qt::DockWidgetArea now = main->dockWidgetArea(this);
    if (now != Qt::NoDockWidgetArea) area = m_lastArea = now;
  }
  const bool column =
      !floating && (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea);
  // Docked in a row, the gripper stands at the row's start; in a column, at its top.
  DockWidgetFeatures f = features() & ~DockWidgetVerticalTitleBar;
  if (!floating && !column) f |= DockWidgetVerticalTitleBar;
  setFeatures(f);
  static_cast<BarCaption*>(m_pCaption)->SetFloating(floating);
  if (auto* buttons = dynamic_cast<CWCBarButtons*>(widget()))
    buttons->SetOrientation(column ? Qt::Vertical : Qt::Horizontal);
}

void CWCSizableMiniDockFrameWnd::closeEvent(QCloseEvent* e) {
  if (m_bClosing) {
    e->ignore();
    return;
  }
  m_bClosing = 1;
  QDockWidget::closeEvent(e);  // hides the bar
  m_bClosing = 0;
}
