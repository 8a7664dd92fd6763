// The grid's windows as Qt widgets. Each grid window keeps its pixels in a backing image
// that it draws into through the platform's device context: a paint draws what the grid
// names, a scroll moves the image's pixels, and the widget shows the image. Scroll bars
// are QScrollBars without tracking: the thumb acts when it is released.
#pragma once
#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRect>
#include <QScrollBar>
#include <QWidget>
#include <map>
#include <memory>

#include "wincomp/grid/SGWnd.h"

class CSGCtrl;
class QTimer;

// A widget showing a grid window's backing image and handing it the window's events.
class SGQtPaintWidget : public QWidget {
 public:
  SGQtPaintWidget(CSGWnd* wnd, SGWindowKind kind, QWidget* parent);
  QImage& Backing() { return backing_; }
  CSGWnd* Wnd() const { return wnd_; }
  bool invalid = true;

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  bool focusNextPrevChild(bool next) override;

 private:
  CSGWnd* wnd_;
  SGWindowKind kind_;
  QImage backing_;
};

// A scroll bar of the grid: its actions become the window's scroll codes.
class SGQtScrollBar : public QScrollBar {
 public:
  SGQtScrollBar(CSGWnd* wnd, Qt::Orientation o, QWidget* parent);
  void SetGridPos(int pos);

 protected:
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void OnAction(int action);
  CSGWnd* wnd_;
  int gridPos_ = 0;
};

// The in-place editor: a frameless plain-text edit. Keys and characters go to the grid's
// editor first, which passes on those the text edit handles itself.
class SGQtEditWidget : public QPlainTextEdit {
 public:
  SGQtEditWidget(CSGWnd* wnd, QWidget* parent);
  bool passOn = false;      // set when the grid's editor passes the key or character on
  bool inKeyPress = false;  // a key of this widget is being handled

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  CSGWnd* wnd_;
};

// The drop list: a list widget that holds the mouse while it is open.
class SGQtListWidget : public QListWidget {
 public:
  SGQtListWidget(CSGWnd* wnd, QWidget* parent);
  bool passOn = false;

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  void RouteGrabbed(QMouseEvent* e);
  CSGWnd* wnd_;
  QPointer<QWidget> pressTarget_;  // where the last press under the grab went
  bool pressSeen_ = false;         // a press under the grab waits for its release
};

class SGQtPort : public SGWindowPort {
 public:
  SGQtPort(CSGWnd* wnd, SGWindowKind kind, QWidget* parent, const RECT& rect);
  ~SGQtPort() override;
  QWidget* Widget() const { return widget_.data(); }
  // The backing image of a painting window (null for scroll bars).
  QImage* Backing() const;

  void MoveWindow(const RECT& rect) override;
  RECT GetClientRect() const override;
  void Invalidate() override;
  void UpdateWindow() override;
  bool HasUpdateRegion() const override;
  void ScrollContents(int dx, int dy, const RECT& clip) override;
  void Draw(const std::function<void(plat::CDC&)>& paint) override;
  bool HasFocus() const override;
  void SetFocus() override;
  // Qt sends the moves to the pressed widget until release; the drop list grabs the mouse.
  void SetCapture() override;
  void ReleaseCapture() override;
  void SetCursor(int cursorId) override;
  POINT ClientToScreen(POINT p) const override;
  bool IsKeyDown(UINT vk) const override;
  void SetScrollInfo(int min, int max, int page) override;
  void SetScrollPos(int pos) override;
  void SetTimer(int id, int ms) override;
  void KillTimer(int id) override;
  void ShowWindow(bool show) override;
  bool IsVisible() const override;
  void SetParentPort(SGWindowPort* parent) override;
  void SetFont(const plat::CFont* font) override;
  void SetWindowText(const std::string& text) override;
  std::string GetWindowText() const override;
  void SelectAllText() override;
  void SetItems(const std::vector<std::string>& items) override;
  void SetCurSel(int index) override;
  void DefaultKeyDown(UINT key) override;
  void DefaultChar(UINT ch) override;
  RECT GetWindowRect() const override;
  CSGWnd* FocusWnd() const override;
  bool TrackPopupMenu(const std::vector<SGMenuItem>& items, POINT screen, UINT* chosen) override;

 private:
  CSGWnd* wnd_;
  SGWindowKind kind_;
  QPointer<QWidget> widget_;  // deleted with the port (or earlier with its Qt parent)
  std::map<int, QTimer*> timers_;
};

class SGQtSystem : public SGWindowSystem {
 public:
  std::unique_ptr<SGWindowPort> CreatePort(CSGWnd* wnd, SGWindowKind kind, SGWindowPort* parent,
                                           void* nativeParent, const RECT& rect, UINT id) override;
  bool SetClipboardText(const std::string& text) override;
  std::optional<std::string> GetClipboardText() override;
  static SGQtSystem& Instance();
};

// Creates the grid's window inside `parent` at `rect` (pixels) and sends its setup
// notifications; false when the window could not be made.
bool SGCreateGrid(CSGCtrl& grid, QWidget* parent, const QRect& rect, UINT id = 1);
// The widget of a created grid window (null before creation).
QWidget* SGWidgetOf(const CSGWnd& wnd);
QImage* SGBackingOf(const CSGWnd& wnd);
