// Scratch files for the base library's tests: paths in the test binary's scratch folder
// and whole files written or read back. Used by tests only.
#pragma once
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tv_test {

inline std::string TmpPath(const std::string& name) {
  return std::string(TV_TEST_TMPDIR) + "/" + name;
}

// Writes `bytes` to the scratch file `name` and returns its path.
inline std::string WriteTmpFile(const std::string& name, const std::string& bytes) {
  const std::string path = TmpPath(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tv_test
