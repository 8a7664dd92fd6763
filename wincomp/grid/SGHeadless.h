// A window system without a display for the grid: windows are rectangles, painting goes
// into recording device contexts whose primitives each window keeps, focus, capture,
// cursor, scroll ranges, timers and key states are recorded. Tests (of the grid and of
// grids built on it) drive the windows' message handlers directly.
#pragma once
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/RecordingDc.h"
#include "wincomp/grid/SGWnd.h"

class SGHeadlessSystem;

class SGHeadlessPort : public SGWindowPort {
 public:
  SGHeadlessPort(SGHeadlessSystem* system, CSGWnd* wnd, SGWindowKind kind);
  ~SGHeadlessPort() override;

  void SetInitialRect(const RECT& rect) { rect_ = rect; }
  void MoveWindow(const RECT& rect) override;
  RECT GetClientRect() const override;
  void Invalidate() override { invalid_ = true; }
  void UpdateWindow() override;
  bool HasUpdateRegion() const override { return invalid_; }
  void ScrollContents(int dx, int dy, const RECT& clip) override;
  void Draw(const std::function<void(plat::CDC&)>& paint) override;
  bool HasFocus() const override;
  void SetFocus() override;
  void SetCapture() override;
  void ReleaseCapture() override;
  void SetCursor(int cursorId) override { cursor_ = cursorId; }
  POINT ClientToScreen(POINT p) const override;
  bool IsKeyDown(UINT vk) const override;
  void SetScrollInfo(int min, int max, int page) override;
  void SetScrollPos(int pos) override { scrollPos_ = pos; }
  void SetTimer(int id, int ms) override { timers_[id] = ms; }
  void KillTimer(int id) override { timers_.erase(id); }
  void ShowWindow(bool show) override { visible_ = show; }
  bool IsVisible() const override { return visible_; }
  void SetFont(const plat::CFont* font) override { font_ = font; }
  void SetWindowText(const std::string& text) override { text_ = text; }
  std::string GetWindowText() const override { return text_; }
  void SelectAllText() override { selectedAll_ = true; }
  void SetItems(const std::vector<std::string>& items) override { items_ = items; }
  void SetCurSel(int index) override { curSel_ = index; }
  int CurSel() const { return curSel_; }
  // Typing replaces a selected whole text, else appends; backspace takes one back.
  void DefaultChar(UINT ch) override;
  RECT GetWindowRect() const override { return rect_; }
  CSGWnd* FocusWnd() const override;
  bool TrackPopupMenu(const std::vector<SGMenuItem>& items, POINT screen, UINT* chosen) override;

  // What tests look at.
  struct Scroll {
    int dx, dy;
    RECT clip;
  };
  CSGWnd* Wnd() const { return wnd_; }
  SGWindowKind Kind() const { return kind_; }
  const RECT& WindowRect() const { return rect_; }
  const std::vector<plat::DcOp>& Ops() const { return ops_; }
  std::vector<std::string> Texts() const;
  const std::vector<Scroll>& Scrolls() const { return scrolls_; }
  void ClearRecord() {
    ops_.clear();
    scrolls_.clear();
  }
  int Cursor() const { return cursor_; }
  bool HasTimer(int id) const { return timers_.count(id) != 0; }
  void FireTimer(int id);
  int ScrollMin() const { return scrollMin_; }
  int ScrollMax() const { return scrollMax_; }
  int ScrollPage() const { return scrollPage_; }
  int ScrollPos() const { return scrollPos_; }
  const plat::CFont* Font() const { return font_; }
  const std::vector<std::string>& Items() const { return items_; }

 private:
  SGHeadlessSystem* system_;
  CSGWnd* wnd_;
  SGWindowKind kind_;
  RECT rect_{};
  bool invalid_ = true;
  std::vector<plat::DcOp> ops_;
  std::vector<Scroll> scrolls_;
  int cursor_ = 0;
  std::map<int, int> timers_;
  int scrollMin_ = 0, scrollMax_ = 0, scrollPage_ = 0, scrollPos_ = 0;
  bool visible_ = true;
  const plat::CFont* font_ = nullptr;
  std::string text_;
  bool selectedAll_ = false;
  std::vector<std::string> items_;
  int curSel_ = -1;
};

class SGHeadlessSystem : public SGWindowSystem {
 public:
  explicit SGHeadlessSystem(plat::RecordingOptions options = {}) : options_(std::move(options)) {}
  std::unique_ptr<SGWindowPort> CreatePort(CSGWnd* wnd, SGWindowKind kind, SGWindowPort* parent,
                                           void* nativeParent, const RECT& rect, UINT id) override;

  const plat::RecordingOptions& Options() const { return options_; }
  static SGHeadlessPort* PortOf(const CSGWnd& wnd) {
    return static_cast<SGHeadlessPort*>(wnd.Port());
  }
  bool SetClipboardText(const std::string& text) override {
    clipboard_ = text;
    return true;
  }
  std::optional<std::string> GetClipboardText() override { return clipboard_; }
  void ClearClipboard() { clipboard_.reset(); }
  // What a popup menu answers: the id to pick (0 none), or -1 when it cannot be shown.
  long menuAnswer = 0;
  std::vector<SGMenuItem> lastMenu;
  void SetKeyDown(UINT vk, bool down) {
    if (down)
      keys_.insert(vk);
    else
      keys_.erase(vk);
  }

 private:
  friend class SGHeadlessPort;
  plat::RecordingOptions options_;
  SGHeadlessPort* focus_ = nullptr;
  SGHeadlessPort* capture_ = nullptr;
  std::set<UINT> keys_;
  std::optional<std::string> clipboard_;
};
