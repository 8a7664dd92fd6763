#include "aecore/catalogue/AEExportFile.h"

#include <cstdarg>
#include <filesystem>

#include "base/util/KZ_FileUtil.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

void AEExportFile::Printf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  m_Buf += plat::FormatV(fmt, args);
  va_end(args);
}

void AEExportFile::Append(const void* bytes, std::size_t n) {
  m_Buf.append(static_cast<const char*>(bytes), n);
}

bool AEExportFile::Commit() {
  plat::File f;
  if (!f.Open(m_strPath, "wb")) {
    plat::AfxMessageBox(m_strPath + " cannot be created.", MB_ICONEXCLAMATION);
    return false;
  }
  bool ok = f.Write(m_Buf.data(), m_Buf.size()) == m_Buf.size() && f.Flush();
  f.Close();
  if (!ok) {
    AE_RemoveFailedFile(m_strPath);
    plat::AfxMessageBox(m_strPath + " could not be written.", MB_ICONEXCLAMATION);
  }
  plat::NoteFolderChanged(m_strPath);
  return ok;
}

void AE_RemoveFailedFile(const std::string& path) {
  // Only a regular file is ours to remove: a device or pipe named as the target stays.
  std::error_code ec;
  const std::string resolved = plat::ResolvePath(path);
  if (std::filesystem::is_regular_file(resolved, ec)) plat::DeleteFile(resolved);
}

std::string AE_XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

std::string AE_LowerExt(const std::string& path) { return plat::ToLower(KZ_GetFileExt(path)); }
