// The window behind each part of the grid. The grid's classes hold their behaviour as
// message handlers (paint, mouse, keys, focus, scroll) and reach the window system only
// through a port: a Qt widget in the program, a headless stand-in in tests.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CDC.h"
#include "platform/WinTypes.h"

class CSGWnd;

// A popup menu entry; an empty text is a separator.
struct SGMenuItem {
  UINT id = 0;
  std::string text;
};

class SGWindowPort {
 public:
  virtual ~SGWindowPort() = default;
  virtual void MoveWindow(const RECT& rect) = 0;  // in the parent's client coordinates
  virtual RECT GetClientRect() const = 0;
  virtual void Invalidate() = 0;    // the whole window is painted at the next update
  virtual void UpdateWindow() = 0;  // a pending paint happens now
  virtual bool HasUpdateRegion() const = 0;
  // Moves the pixels inside `clip` by (dx, dy); what is uncovered keeps stale pixels
  // until drawn.
  virtual void ScrollContents(int dx, int dy, const RECT& clip) = 0;
  // Draws on the window's pixels now (the window's own device context).
  virtual void Draw(const std::function<void(plat::CDC&)>& paint) = 0;
  virtual bool HasFocus() const = 0;
  virtual void SetFocus() = 0;
  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;
  virtual void SetCursor(int cursorId) = 0;
  virtual POINT ClientToScreen(POINT p) const = 0;
  virtual bool IsKeyDown(UINT /*virtualKey*/) const { return false; }
  // Scroll-bar windows only.
  virtual void SetScrollInfo(int /*min*/, int /*max*/, int /*page*/) {}
  virtual void SetScrollPos(int /*pos*/) {}
  // A repeating timer delivering OnTimer(id) to the window.
  virtual void SetTimer(int /*id*/, int /*ms*/) {}
  virtual void KillTimer(int /*id*/) {}
  // Editor and list windows.
  virtual void ShowWindow(bool /*show*/) {}
  virtual bool IsVisible() const { return true; }
  virtual void SetParentPort(SGWindowPort* /*parent*/) {}
  virtual void SetFont(const plat::CFont* /*font*/) {}
  virtual void SetWindowText(const std::string& /*text*/) {}
  virtual std::string GetWindowText() const { return {}; }
  virtual void SelectAllText() {}
  virtual void SetItems(const std::vector<std::string>& /*items*/) {}
  // The list's current entry (-1 for none), scrolled into view.
  virtual void SetCurSel(int /*index*/) {}
  // The window's own handling of a key or character that its owner passes on.
  virtual void DefaultKeyDown(UINT /*key*/) {}
  virtual void DefaultChar(UINT /*ch*/) {}
  // The window rectangle in the parent's client coordinates.
  virtual RECT GetWindowRect() const { return GetClientRect(); }
  // The grid window that has the input focus in this window system (null: none of them,
  // or a window that is not part of a grid).
  virtual CSGWnd* FocusWnd() const { return nullptr; }
  // Shows a popup menu at a screen point; false when it cannot be shown. *chosen is the
  // picked id, 0 when none.
  virtual bool TrackPopupMenu(const std::vector<SGMenuItem>& /*items*/, POINT /*screen*/,
                              UINT* chosen) {
    *chosen = 0;
    return false;
  }
};

enum class SGWindowKind {
  Grid,
  CellArea,
  TopHeading,
  SideHeading,
  Corner,
  VScroll,
  HScroll,
  Tabs,
  TabArrows,
  Hint,
  Edit,
  ListBox
};

class SGWindowSystem {
 public:
  virtual ~SGWindowSystem() = default;
  // Creates the window of `wnd` inside `parent` (a port of this system, or for the grid
  // itself the system's own kind of parent, possibly null).
  virtual std::unique_ptr<SGWindowPort> CreatePort(CSGWnd* wnd, SGWindowKind kind,
                                                   SGWindowPort* parent, void* nativeParent,
                                                   const RECT& rect, UINT id) = 0;
  // The text clipboard (CF_TEXT): false / nothing when it cannot be used or has no text.
  virtual bool SetClipboardText(const std::string& /*text*/) { return false; }
  virtual std::optional<std::string> GetClipboardText() { return std::nullopt; }
};

class CSGWnd {
 public:
  CSGWnd() = default;
  virtual ~CSGWnd();
  CSGWnd(const CSGWnd&) = delete;
  CSGWnd& operator=(const CSGWnd&) = delete;

  bool CreateWnd(SGWindowSystem& system, SGWindowKind kind, SGWindowPort* parent,
                 void* nativeParent, const RECT& rect, UINT id);
  void DestroyWnd() { port_.reset(); }
  SGWindowPort* Port() const { return port_.get(); }
  SGWindowSystem* System() const { return system_; }
  bool IsWindow() const { return port_ != nullptr; }

  // Window services; without a window they do nothing.
  void MoveWindow(const RECT& r);
  RECT GetClientRect() const;
  void Invalidate();
  void UpdateWindow();
  bool HasUpdateRegion() const;
  void ScrollContents(int dx, int dy, const RECT& clip);
  void Draw(const std::function<void(plat::CDC&)>& paint);
  bool HasFocus() const;
  void SetFocus();
  void SetCapture();
  void ReleaseCapture();
  void SetCursor(int cursorId);
  POINT ClientToScreen(POINT p) const;
  bool IsKeyDown(UINT vk) const;

  // Messages, delivered by the port.
  virtual void OnCreate() {}
  virtual void OnPaint(plat::CDC* /*dc*/) {}
  virtual void OnSize(int /*cx*/, int /*cy*/) {}
  virtual void OnLButtonDown(UINT /*flags*/, POINT /*p*/) {}
  virtual void OnLButtonUp(UINT /*flags*/, POINT /*p*/) {}
  virtual void OnLButtonDblClk(UINT /*flags*/, POINT /*p*/) {}
  virtual void OnRButtonDown(UINT /*flags*/, POINT /*p*/) {}
  virtual void OnRButtonUp(UINT /*flags*/, POINT /*p*/) {}
  virtual void OnMouseMove(UINT /*flags*/, POINT /*p*/) {}
  virtual void OnMouseWheel(UINT /*flags*/, short /*delta*/, POINT /*p*/) {}
  virtual void OnKeyDown(UINT /*key*/, UINT /*repeat*/, UINT /*flags*/) {}
  virtual void OnChar(UINT /*ch*/, UINT /*repeat*/, UINT /*flags*/) {}
  virtual void OnSetFocus() {}
  virtual void OnKillFocus() {}
  virtual int OnSetCursor() { return 0; }
  virtual UINT OnGetDlgCode() { return 0; }
  virtual void OnTimer(int /*id*/) {}
  virtual void OnScroll(UINT /*code*/, UINT /*pos*/) {}  // scroll-bar windows

 private:
  std::unique_ptr<SGWindowPort> port_;
  SGWindowSystem* system_ = nullptr;
};
