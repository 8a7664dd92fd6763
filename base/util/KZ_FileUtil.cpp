#include "base/util/KZ_FileUtil.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace

int KZ_FileExists(const char* path) {
  if (!path || !*path) return 0;
  if (plat::FolderExists(path)) return 0;
  plat::File f;
  return f.Open(path, "r") ? 1 : 0;
}

int KZ_FileExistsStr(const std::string& path) { return KZ_FileExists(path.c_str()); }

std::string KZ_GetFolder(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string KZ_GetFileName(const std::string& path, int dropExt) {
  const std::size_t sep = LastSeparator(path);
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  if (dropExt) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
  }
  return name;
}

std::string KZ_GetFileExt(const std::string& path) {
  const std::string name = KZ_GetFileName(path, 0);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return std::string();
  return name.substr(dot + 1);
}

int KZ_HasSuffix(const std::string& s, const char* suffix) {
  return suffix && plat::EndsWithNoCase(s, suffix) ? 1 : 0;
}

std::string KZ_OpenFileDialog(const char* title, const char* filter, void* /*parent*/) {
  plat::FileDialogOptions o;
  o.open = true;
  o.title = title ? title : "";
  o.filter = filter ? filter : "";
  o.flags = OFN_FILEMUSTEXIST;
  return plat::Ui().FileDialog(o).value_or(std::string());
}

std::string KZ_SaveFileDialog(const char* title, const char* filter, void* /*parent*/) {
  plat::FileDialogOptions o;
  o.open = false;
  o.title = title ? title : "";
  o.filter = filter ? filter : "";
  o.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
  return plat::Ui().FileDialog(o).value_or(std::string());
}

int KZ_BrowseFolder(const char* title, std::string& folder) {
  folder.clear();
  const auto chosen = plat::Ui().BrowseFolder(title ? title : "");
  if (!chosen || chosen->empty()) return 0;
  folder = *chosen;
  const auto bytes = plat::FreeBytes(folder);
  return bytes ? static_cast<int>(*bytes / 1000000) : 0;
}

std::string KZ_BrowseSg2Folder(const char* title, int confirm) {
  std::string folder;
  KZ_BrowseFolder(title, folder);
  if (folder.empty()) return std::string();
  folder += folder.find('/') != std::string::npos ? "/" : "\\";
  if (confirm) {
    plat::SetCurrentFolder(folder);
    int count = 0;
    for (const plat::FindData& e : plat::FindFiles(plat::JoinPath(folder, "*.sg2")))
      if (!e.name.empty() && e.name[0] != '.') ++count;
    const std::string question =
        plat::Format("%d sg2 file found in %s, are you sure?", count, folder.c_str());
    if (plat::AfxMessageBox(question, MB_YESNO) == IDNO) return std::string();
  }
  return folder;
}
