// Reading files from http/ftp addresses (what the Windows internet session's OpenURL
// gave: a whole file, read-only, binary transfer, the system's proxy settings). The
// default fetcher uses libcurl; tests install their own.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/WinTypes.h"

namespace plat {

class UrlFetcher {
 public:
  virtual ~UrlFetcher() = default;
  // The whole content at `url`, or nothing on any failure (no report).
  virtual std::optional<std::vector<BYTE>> Fetch(const std::string& url) = 0;
};

UrlFetcher& GetUrlFetcher();
UrlFetcher* InstallUrlFetcher(UrlFetcher* fetcher);  // nullptr restores libcurl's

// Fetches `url` through the installed fetcher and opens the content for reading in
// `file` (text mode reads CRLF as LF). False when the address cannot be read.
bool OpenUrl(File& file, const std::string& url, bool text);

}  // namespace plat
