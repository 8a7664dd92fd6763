#include "platform/qt/DialogFit.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <algorithm>
#include <vector>

namespace plat {
namespace {

// Room kept for the window frame, which is not known before the window is first shown.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 40;

QSize Wanted(QWidget* w) {
  if (QLayout* l = w->layout()) {
    l->invalidate();
    l->activate();
  }
  return w->sizeHint().expandedTo(w->minimumSizeHint());
}

// Moves the rows of a one-column form into `columns` forms side by side, in order: the
// first rows down the first column, the next ones down the second, and so on.
void FlowIntoColumns(QWidget* page, QFormLayout* form, int columns) {
  std::vector<QFormLayout::TakeRowResult> rows;
  while (form->rowCount() > 0) rows.push_back(form->takeRow(0));
  delete form;
  auto* line = new QHBoxLayout(page);
  const int n = static_cast<int>(rows.size());
  const int perColumn = (n + columns - 1) / columns;
  for (int c = 0; c * perColumn < n; ++c) {
    auto* column = new QFormLayout;
    for (int i = c * perColumn; i < std::min(n, (c + 1) * perColumn); ++i) {
      QLayoutItem* label = rows[static_cast<std::size_t>(i)].labelItem;
      QLayoutItem* field = rows[static_cast<std::size_t>(i)].fieldItem;
      QWidget* labelWidget = label ? label->widget() : nullptr;
      QWidget* fieldWidget = field ? field->widget() : nullptr;
      QLayout* fieldLayout = field ? field->layout() : nullptr;
      if (labelWidget && fieldWidget)
        column->addRow(labelWidget, fieldWidget);
      else if (labelWidget && fieldLayout)
        column->addRow(labelWidget, fieldLayout);
      else if (fieldWidget)
        column->addRow(fieldWidget);
      else if (fieldLayout)
        column->addRow(fieldLayout);
      else if (labelWidget)
        column->addRow(labelWidget);
      // The widget items go; the widgets and layouts they held now sit in the new column.
      if (label && !label->layout()) delete label;
      if (field && !field->layout()) delete field;
    }
    line->addLayout(column);
  }
  line->addStretch();
}

// Puts a tab page into a scroll area in its place.
void ScrollPage(QTabWidget* tabs, int index) {
  QWidget* page = tabs->widget(index);
  if (!page || qobject_cast<QScrollArea*>(page)) return;
  const QString text = tabs->tabText(index);
  const bool current = tabs->currentIndex() == index;
  tabs->removeTab(index);
  auto* scroll = new QScrollArea;
  scroll->setObjectName(page->objectName());
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setWidget(page);
  tabs->insertTab(index, scroll, text);
  if (current) tabs->setCurrentIndex(index);
}

class DialogFitter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (!dialog || !dialog->isWindow() || qobject_cast<QMessageBox*>(dialog) ||
        qobject_cast<QFileDialog*>(dialog) || dialog->property("tvFitted").toBool())
      return false;
    dialog->setProperty("tvFitted", true);
    QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    if (screen) FitDialogToScreen(dialog, screen->availableGeometry());
    return false;
  }
};

}  // namespace

void FitDialogToScreen(QDialog* dialog, const QRect& area) {
  if (!dialog || area.isEmpty()) return;
  const QSize room(area.width() - kFrameWidth, area.height() - kFrameHeight);
  auto fits = [&] {
    const QSize want = Wanted(dialog);
    return want.width() <= room.width() && want.height() <= room.height();
  };
  if (!fits()) {
    const QList<QTabWidget*> tabSets = dialog->findChildren<QTabWidget*>();
    for (QTabWidget* tabs : tabSets) {
      // What the dialog holds besides the tallest page stays; the pages get the rest.
      int tallest = 0;
      for (int i = 0; i < tabs->count(); ++i)
        tallest = std::max(tallest, Wanted(tabs->widget(i)).height());
      const int pageRoom = room.height() - (Wanted(dialog).height() - tallest);
      if (pageRoom <= 0) continue;
      for (int i = 0; i < tabs->count(); ++i) {
        QWidget* page = tabs->widget(i);
        auto* form = qobject_cast<QFormLayout*>(page->layout());
        const int height = Wanted(page).height();
        if (!form || height <= pageRoom || form->rowCount() < 2) continue;
        const int columns = std::min(form->rowCount(), (height + pageRoom - 1) / pageRoom + 1);
        FlowIntoColumns(page, form, columns);
        page->updateGeometry();
        tabs->updateGeometry();
      }
    }
    if (!fits() && !tabSets.isEmpty()) {
      // Pages that still do not fit scroll; the dialog keeps the size it wanted, as far
      // as the screen allows.
      const QSize natural = Wanted(dialog);
      for (QTabWidget* tabs : tabSets)
        for (int i = 0; i < tabs->count(); ++i) ScrollPage(tabs, i);
      dialog->setMinimumSize(Wanted(dialog).boundedTo(room));
      dialog->resize(natural.boundedTo(room));
    }
  }
  const QSize size = Wanted(dialog).boundedTo(room);
  if (dialog->width() > room.width() || dialog->height() > room.height() ||
      dialog->width() < size.width() || dialog->height() < size.height())
    dialog->resize(dialog->size().expandedTo(size).boundedTo(room));
  // Inside the area, the frame included.
  const QSize outer = dialog->size() + QSize(kFrameWidth, kFrameHeight);
  QPoint at = dialog->pos();
  at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())));
  at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
  if (at != dialog->pos()) dialog->move(at);
}

void InstallDialogFitter() {
  static DialogFitter* fitter = nullptr;
  if (fitter || !qApp) return;
  fitter = new DialogFitter(qApp);
  qApp->installEventFilter(fitter);
}

}  // namespace plat
