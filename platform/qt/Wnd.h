// What every window of the program shares whatever Qt widget it is: a command table,
// timers by id, invalidating and painting at once, the client rectangle, the cursor
// and the frame it lives in. A window class derives from a Qt widget class first and
// CWnd second, and hands its widget to CWnd's constructor:
//
//   class CMyPane : public QWidget, public plat::CWnd {
//    public:
//     CMyPane() : plat::CWnd(this) {}
//     void OnTimer(UINT id) override;
//   };
//
// There are no window handles or messages: Qt events reach the widget as usual, and the
// class-library style hooks below are plain virtual functions.
#pragma once
#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "platform/Shell.h"
#include "platform/WinTypes.h"
#include "platform/qt/CmdTarget.h"

class QTimer;

// Mouse key-state flags of the mouse hooks.
constexpr UINT MK_LBUTTON = 0x1;
constexpr UINT MK_RBUTTON = 0x2;
constexpr UINT MK_SHIFT = 0x4;
constexpr UINT MK_CONTROL = 0x8;
constexpr UINT MK_MBUTTON = 0x10;
constexpr UINT MK_XBUTTON1 = 0x20;
constexpr UINT MK_XBUTTON2 = 0x40;

// Window styles the frame's creation reads.
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;

namespace plat {

class CFrameWnd;

// Geometry and style a frame's PreCreateWindow may change (pixels; CW_USEDEFAULT-like
// values are 0 sizes, meaning "let the window system choose").
struct CREATESTRUCT {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;
};

class CWnd : public CCmdTarget {
 public:
  explicit CWnd(QWidget* self);
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  QWidget* Widget() const { return self_; }

  // Timers by id, per window: setting an id that runs restarts it with the new period.
  // A timer never piles up ticks. Returns the id.
  UINT SetTimer(UINT id, UINT elapseMs);
  BOOL KillTimer(UINT id);
  bool HasTimer(UINT id) const;
  virtual void OnTimer(UINT /*id*/) {}

  // Marks the whole client area for repainting (erasing is implied: every repaint
  // starts from the background).
  virtual void Invalidate(BOOL erase = TRUE);
  // Paints what is invalid before returning.
  virtual void UpdateWindow();
  // Pixels, origin at the client area's top-left corner.
  virtual void GetClientRect(RECT* rect) const;
  void GetWindowText(std::string* text) const;
  void SetWindowText(const std::string& text);
  BOOL ShowWindow(int showCmd);  // SW_HIDE, SW_SHOW, SW_RESTORE, SW_SHOWMAXIMIZED
  BOOL IsWindowVisible() const;
  void SetCursor(const QCursor& cursor);
  void SetFocus();
  // Screen <-> client pixels.
  void ClientToScreen(POINT* p) const;
  void ScreenToClient(POINT* p) const;
  // The frame window that holds this window (null when there is none).
  CFrameWnd* GetParentFrame() const;

 private:
  QPointer<QWidget> self_;
  std::map<UINT, QTimer*> timers_;
};

// Show commands of ShowWindow.
constexpr int SW_RESTORE = 9;

}  // namespace plat
