#include "platform/qt/Resources.h"

namespace plat {

Resources& Resources::Get() {
  static Resources r;
  return r;
}

const MenuResource* Resources::Menu(UINT id) const {
  auto it = menus_.find(id);
  return it == menus_.end() ? nullptr : &it->second;
}

const ToolBarResource* Resources::ToolBar(UINT id) const {
  auto it = toolbars_.find(id);
  return it == toolbars_.end() ? nullptr : &it->second;
}

const AcceleratorResource* Resources::Accelerators(UINT id) const {
  auto it = accels_.find(id);
  return it == accels_.end() ? nullptr : &it->second;
}

std::string Resources::String(UINT id) const {
  auto it = strings_.find(id);
  return it == strings_.end() ? std::string() : it->second;
}

std::string Resources::Prompt(UINT id) const {
  std::string s = String(id);
  return s.substr(0, s.find('\n'));
}

std::string Resources::ToolTip(UINT id) const {
  std::string s = String(id);
  std::size_t nl = s.find('\n');
  return nl == std::string::npos ? s : s.substr(nl + 1);
}

QIcon Resources::Icon(UINT commandId) const {
  auto it = icons_.find(commandId);
  return it == icons_.end() ? QIcon() : it->second;
}

QCursor Resources::Cursor(UINT id) const {
  auto it = cursors_.find(id);
  return it == cursors_.end() ? QCursor(Qt::ArrowCursor) : it->second;
}

const std::vector<BYTE>* Resources::Bitmap(const std::string& name) const {
  auto it = bitmaps_.find(name);
  return it == bitmaps_.end() ? nullptr : &it->second;
}

}  // namespace plat
