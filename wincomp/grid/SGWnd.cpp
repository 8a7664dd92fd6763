#include "wincomp/grid/SGWnd.h"

CSGWnd::~CSGWnd() = default;

bool CSGWnd::CreateWnd(SGWindowSystem& system, SGWindowKind kind, SGWindowPort* parent,
                       void* nativeParent, const RECT& rect, UINT id) {
  system_ = &system;
  port_ = system.CreatePort(this, kind, parent, nativeParent, rect, id);
  if (!port_) return false;
  OnCreate();
  return true;
}

void CSGWnd::MoveWindow(const RECT& r) {
  if (port_) port_->MoveWindow(r);
}
RECT CSGWnd::GetClientRect() const { return port_ ? port_->GetClientRect() : RECT{}; }
void CSGWnd::Invalidate() {
  if (port_) port_->Invalidate();
}
void CSGWnd::UpdateWindow() {
  if (port_) port_->UpdateWindow();
}
bool CSGWnd::HasUpdateRegion() const { return port_ && port_->HasUpdateRegion(); }
void CSGWnd::ScrollContents(int dx, int dy, const RECT& clip) {
  if (port_) port_->ScrollContents(dx, dy, clip);
}
void CSGWnd::Draw(const std::function<void(plat::CDC&)>& paint) {
  if (port_) port_->Draw(paint);
}
bool CSGWnd::HasFocus() const { return port_ && port_->HasFocus(); }
void CSGWnd::SetFocus() {
  if (port_) port_->SetFocus();
}
void CSGWnd::SetCapture() {
  if (port_) port_->SetCapture();
}
void CSGWnd::ReleaseCapture() {
  if (port_) port_->ReleaseCapture();
}
void CSGWnd::SetCursor(int cursorId) {
  if (port_) port_->SetCursor(cursorId);
}
POINT CSGWnd::ClientToScreen(POINT p) const { return port_ ? port_->ClientToScreen(p) : p; }
bool CSGWnd::IsKeyDown(UINT vk) const { return port_ && port_->IsKeyDown(vk); }
