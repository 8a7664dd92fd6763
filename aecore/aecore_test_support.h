// Small file helpers shared by the AE core's tests: a fresh scratch folder per test and
// whole files read or written behind the program's back. Used by tests only.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace tv_test {

// An empty folder `name` under the test binary's scratch folder.
inline std::string TmpDir(const std::string& name) {
  std::filesystem::path p = std::filesystem::path(TV_TEST_TMPDIR) / name;
  std::filesystem::remove_all(p);
  std::filesystem::create_directories(p);
  plat::InvalidateFolderCache();
  return p.string();
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

inline std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

// Files written here appear from outside the program: the folder cache forgets its listings.
inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& b) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  plat::InvalidateFolderCache();
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  plat::InvalidateFolderCache();
}

}  // namespace tv_test
