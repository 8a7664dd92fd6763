#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/FileSystem.h"

namespace tv_fuzz {

const std::string& Dir() {
  static const std::string dir = [] {
    std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::filesystem::path p = base / ("tv-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    return p.string() + "/";
  }();
  return dir;
}

std::string Write(const std::uint8_t* data, std::size_t size, const std::string& name) {
  std::string path = Dir() + name;
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  plat::InvalidateFolderCache();
  return path;
}

void Remove(const std::string& name) {
  std::remove((Dir() + name).c_str());
  plat::InvalidateFolderCache();
}

}  // namespace tv_fuzz
