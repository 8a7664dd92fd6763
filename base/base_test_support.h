// Helpers shared by the base library's tests: paths in the test binary's scratch folder,
// whole files written or read back, and an owned sample matrix. Used by tests only.
#pragma once
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/numerics/KZ_NumHelpers.h"

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

// A zeroed nx x ny matrix of the library's row-pointer layout, freed with the test.
struct Matrix {
  double** m;
  Matrix(int nx, int ny) : m(KZ_AllocMatrix64(nx, ny)) {}
  ~Matrix() { KZ_FreeMatrix(m); }
  Matrix(const Matrix&) = delete;
  Matrix& operator=(const Matrix&) = delete;
};

}  // namespace tv_test
