#include "platform/UiServices.h"

#include <atomic>

namespace plat {
namespace {

class HeadlessUi final : public UiServices {
 public:
  int MessageBox(const std::string&, UINT type, const std::string&) override {
    return DefaultButton(type);
  }
  void MessageBeep(UINT) override {}
  std::optional<std::string> FileDialog(const FileDialogOptions&) override { return std::nullopt; }
  std::optional<std::string> BrowseFolder(const std::string&) override { return std::nullopt; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void SetPaneText(int, const std::string&, bool) override {}
  bool GetInputState() override { return false; }
};

HeadlessUi g_headless;
std::atomic<UiServices*> g_ui{nullptr};

}  // namespace

UiServices& Ui() {
  UiServices* ui = g_ui.load();
  return ui ? *ui : g_headless;
}

UiServices* InstallUi(UiServices* ui) { return g_ui.exchange(ui); }

int DefaultButton(UINT type) {
  int buttons[3] = {IDOK, IDOK, IDOK};
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons[1] = buttons[2] = IDCANCEL; break;
    case MB_YESNO: buttons[0] = IDYES; buttons[1] = buttons[2] = IDNO; break;
    case MB_YESNOCANCEL: buttons[0] = IDYES; buttons[1] = IDNO; buttons[2] = IDCANCEL; break;
    default: break;
  }
  switch (type & MB_DEFMASK) {
    case MB_DEFBUTTON2: return buttons[1];
    case MB_DEFBUTTON3: return buttons[2];
    default: return buttons[0];
  }
}

std::vector<FileFilter> ParseFileFilter(const std::string& filter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < filter.size()) {
    std::size_t bar = filter.find('|', start);
    if (bar == std::string::npos) bar = filter.size();
    parts.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<FileFilter> out;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // "||" ends the list
    FileFilter f;
    f.description = parts[i];
    const std::string& pats = parts[i + 1];
    std::size_t s = 0;
    while (s <= pats.size()) {
      std::size_t semi = pats.find(';', s);
      if (semi == std::string::npos) semi = pats.size();
      std::string p = pats.substr(s, semi - s);
      if (!p.empty()) f.patterns.push_back(p);
      s = semi + 1;
    }
    out.push_back(std::move(f));
  }
  return out;
}

}  // namespace plat
