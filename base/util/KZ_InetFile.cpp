#include "base/util/KZ_InetFile.h"

#include <cstring>

#include "platform/UrlFetcher.h"

KZ_InetFile::~KZ_InetFile() { Close(); }

plat::File* KZ_InetFile::Open(const std::string& path, const char* mode) {
  Close();
  auto file = std::make_unique<plat::File>();
  bool ok;
  if (path.find("http") != std::string::npos || path.find("ftp://") != std::string::npos) {
    const bool text = !mode || std::strchr(mode, 'b') == nullptr;
    ok = plat::OpenUrl(*file, path, text);
  } else {
    ok = file->Open(path, mode ? mode : "r");
  }
  if (!ok) return nullptr;
  m_pFile = std::move(file);
  return m_pFile.get();
}

void KZ_InetFile::Close() {
  if (m_pFile) m_pFile->Close();
  m_pFile.reset();
}
