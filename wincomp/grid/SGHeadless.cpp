#include "wincomp/grid/SGHeadless.h"

#include <algorithm>

SGHeadlessPort::SGHeadlessPort(SGHeadlessSystem* system, CSGWnd* wnd, SGWindowKind kind)
    : system_(system), wnd_(wnd), kind_(kind) {}

SGHeadlessPort::~SGHeadlessPort() {
  if (system_->focus_ == this) system_->focus_ = nullptr;
  if (system_->capture_ == this) system_->capture_ = nullptr;
}

void SGHeadlessPort::MoveWindow(const RECT& rect) {
  const bool resized = rect.right - rect.left != rect_.right - rect_.left ||
                       rect.bottom - rect.top != rect_.bottom - rect_.top;
  rect_ = rect;
  if (resized) {
    invalid_ = true;
    wnd_->OnSize(rect.right - rect.left, rect.bottom - rect.top);
  }
}

RECT SGHeadlessPort::GetClientRect() const {
  return RECT{0, 0, std::max<LONG>(0, rect_.right - rect_.left),
              std::max<LONG>(0, rect_.bottom - rect_.top)};
}

void SGHeadlessPort::UpdateWindow() {
  if (!invalid_) return;
  invalid_ = false;
  Draw([this](plat::CDC& dc) { wnd_->OnPaint(&dc); });
}

void SGHeadlessPort::ScrollContents(int dx, int dy, const RECT& clip) {
  scrolls_.push_back(Scroll{dx, dy, clip});
}

void SGHeadlessPort::Draw(const std::function<void(plat::CDC&)>& paint) {
  plat::RecordingDc dc(system_->options_);
  paint(dc);
  ops_.insert(ops_.end(), dc.Ops().begin(), dc.Ops().end());
}

std::vector<std::string> SGHeadlessPort::Texts() const {
  std::vector<std::string> out;
  for (const auto& op : ops_)
    if (op.kind == plat::DcOpKind::Text && !op.text.empty()) out.push_back(op.text);
  return out;
}

bool SGHeadlessPort::HasFocus() const { return system_->focus_ == this; }

void SGHeadlessPort::SetFocus() {
  SGHeadlessPort* old = system_->focus_;
  if (old == this) return;
  system_->focus_ = this;
  if (old) old->wnd_->OnKillFocus();
  wnd_->OnSetFocus();
}

void SGHeadlessPort::SetCapture() { system_->capture_ = this; }

void SGHeadlessPort::ReleaseCapture() {
  if (system_->capture_ == this) system_->capture_ = nullptr;
}

POINT SGHeadlessPort::ClientToScreen(POINT p) const {
  return POINT{p.x + rect_.left, p.y + rect_.top};
}

bool SGHeadlessPort::IsKeyDown(UINT vk) const { return system_->keys_.count(vk) != 0; }

void SGHeadlessPort::SetScrollInfo(int min, int max, int page) {
  scrollMin_ = min;
  scrollMax_ = max;
  scrollPage_ = page;
}

void SGHeadlessPort::FireTimer(int id) {
  if (HasTimer(id)) wnd_->OnTimer(id);
}

std::unique_ptr<SGWindowPort> SGHeadlessSystem::CreatePort(CSGWnd* wnd, SGWindowKind kind,
                                                           SGWindowPort* /*parent*/,
                                                           void* /*nativeParent*/, const RECT& rect,
                                                           UINT /*id*/) {
  auto port = std::make_unique<SGHeadlessPort>(this, wnd, kind);
  port->SetInitialRect(rect);
  return port;
}
