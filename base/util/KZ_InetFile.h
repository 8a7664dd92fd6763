// One way to read a file from disk or from an http or ftp address: a path holding "http"
// or "ftp://" is fetched through the platform's address reader, any other path opened as
// a local file. Lines are read from the returned file with KZ_ReadDataLine.
#pragma once
#include <memory>
#include <string>

#include "platform/File.h"

class KZ_InetFile {
 public:
  KZ_InetFile() = default;
  ~KZ_InetFile();
  KZ_InetFile(const KZ_InetFile&) = delete;
  KZ_InetFile& operator=(const KZ_InetFile&) = delete;

  // Closes a file still open, then opens `path` with an fopen mode ("rt", "rb"; an
  // address is read as text unless the mode has 'b'). Returns the open file, owned by
  // this object, or null when it cannot be opened (nothing is reported, nothing stays open).
  plat::File* Open(const std::string& path, const char* mode);
  void Close();

 private:
  std::unique_ptr<plat::File> m_pFile;
};
