// The frame a control bar lives in. Docked, it shows a gripper by which the bar is dragged
// to another side or off the frame; floating, a small caption with the bar's title and a
// close button. A double click on the caption docks the bar again where it was; closing
// hides the bar. A toolbar in it lays its buttons out in rows (docked at the top or
// bottom, and floating) or columns (docked on the left or right) and wraps them into
// further rows or columns where they do not fit.
#pragma once
#include <QDockWidget>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <vector>

#include "platform/WinTypes.h"

class QAction;
class QToolButton;

// The buttons of a toolbar in wrapping rows or columns.
class CWCBarButtons : public QWidget {
 public:
  explicit CWCBarButtons(QWidget* parent = nullptr);
  // One flat button per action; a separator action leaves a gap with a line.
  void SetActions(const QList<QAction*>& actions);
  // Qt::Horizontal: rows that wrap at the width; Qt::Vertical: columns that wrap at the
  // height.
  void SetOrientation(Qt::Orientation o);
  Qt::Orientation Orientation() const { return m_orientation; }
  const std::vector<QToolButton*>& Buttons() const { return m_buttons; }
  // Rows (or columns) of the last layout.
  int Lines() const { return m_lines; }

  // Positions of items along lines of at most `maxLength` pixels: an item is a button
  // (`extent` pixels) or a separator; a line never starts with a separator. Each result is
  // {line, offset along the line}, offset -1 for a separator left out.
  struct Place {
    int line;
    int offset;
  };
  static std::vector<Place> Wrap(const std::vector<int>& extents,
                                 const std::vector<bool>& separators, int maxLength, int* lines);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void Relayout();
  QSize ButtonSize() const;

  Qt::Orientation m_orientation = Qt::Horizontal;
  std::vector<QToolButton*> m_buttons;  // null where a separator stands
  std::vector<QRect> m_separators;      // lines drawn between groups
  int m_lines = 1;
  bool m_inLayout = false;
};

class CWCSizableMiniDockFrameWnd : public QDockWidget {
 public:
  // Frame kinds, decided when the frame first floats.
  static constexpr int kUndecided = 0;
  static constexpr int kOrdinaryBar = 1;
  static constexpr int kSizeControlBar = 2;

  CWCSizableMiniDockFrameWnd(const QString& title, QWidget* bar, QWidget* parent);

  QWidget* Caption() const { return m_pCaption; }
  // The area it docked on last (the one a double click on the floating caption returns to).
  Qt::DockWidgetArea LastArea() const { return m_lastArea; }

  int m_bClosing = 0;
  int m_nFrameKind = kUndecided;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void OnTopLevelChanged(bool floating);
  void OnAreaChanged(Qt::DockWidgetArea area);
  void Arrange();
  void FitFloatingBlock();

  QWidget* m_pCaption = nullptr;
  Qt::DockWidgetArea m_lastArea = Qt::TopDockWidgetArea;
};
