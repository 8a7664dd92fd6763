// Helpers of the image-library tests: fixture and scratch paths, whole-file byte access,
// the expected pixels that the PNG, TIFF and GIF fixture generator wrote, checksums and
// RGB bytes of loaded images, a synthetic picture and external-tool runs.
#pragma once
#include <sys/wait.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "imagefiles/ImageDescriptor.h"
#include "tools/imagefiles_i2/synthetic_picture.h"

namespace codec_test {

using Bytes = std::vector<BYTE>;

inline std::string Fixture(const std::string& name) {
  return std::string(TV_SOURCE_DIR) + "/imagefiles/testdata/" + name;
}
inline std::string Fixture(const std::string& folder, const std::string& name) {
  return Fixture(folder + "/" + name);
}
inline std::string TempPath(const std::string& name) { return std::string(TV_TEST_TMPDIR) + "/" + name; }

// One line of a fixture folder's expected.txt.
struct Expected {
  std::string file;
  int width = 0, height = 0, bits = 0;
  std::string kind;  // "rgb" or "u16"
  std::uint32_t crc = 0;
};

inline std::vector<Expected> ReadExpected(const std::string& folder) {
  std::vector<Expected> out;
  std::ifstream in(Fixture(folder, "expected.txt"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    Expected e;
    if (s >> e.file >> e.width >> e.height >> e.bits >> e.kind >> e.crc) out.push_back(e);
  }
  return out;
}

inline std::uint32_t Crc(const Bytes& b) {
  return static_cast<std::uint32_t>(crc32(0L, b.data(), static_cast<uInt>(b.size())));
}

// Red, green and blue of every pixel, rows top to bottom, palettes applied.
inline Bytes RgbPixels(const ImageDescriptor& d) {
  Bytes out;
  const int w = d.header->biWidth, h = d.header->biHeight, bits = d.header->biBitCount;
  for (int y = 0; y < h; ++y) {
    const BYTE* row = img_row(&d, static_cast<DWORD>(y));
    for (int x = 0; x < w; ++x) {
      if (bits == 24) {
        out.insert(out.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        continue;
      }
      const int index = bits == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
      const RGBQUAD& q = d.palette[index];
      out.insert(out.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
    }
  }
  return out;
}

// 16-bit grey samples, little-endian, rows top to bottom.
inline Bytes U16Pixels(const ImageDescriptor& d) {
  Bytes out;
  const int w = d.header->biWidth, h = d.header->biHeight;
  for (int y = 0; y < h; ++y) {
    const BYTE* row = img_row(&d, static_cast<DWORD>(y));
    out.insert(out.end(), row, row + 2 * w);
  }
  return out;
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteBytes(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Runs a command; its exit status and its standard output and error.
inline int RunTool(const std::string& command, std::string* output) {
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[512];
  output->clear();
  while (std::fgets(buf, sizeof buf, p)) *output += buf;
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
inline bool HaveTool(const std::string& name) {
  std::string out;
  return RunTool("command -v " + name, &out) == 0;
}

using samples_i2::Synthetic;

}  // namespace codec_test
