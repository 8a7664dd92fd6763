// Helpers of the PNG, TIFF and GIF codec tests: fixture paths, the expected pixels that
// the fixture generator wrote, checksums of loaded images and whole-file byte access.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "imagefiles/ImageDescriptor.h"

namespace codec_test {

using Bytes = std::vector<BYTE>;

inline std::string Fixture(const std::string& folder, const std::string& name) {
  return std::string(TV_SOURCE_DIR) + "/imagefiles/testdata/" + folder + "/" + name;
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

// A synthetic picture of the given depth: gradients and a disc, palette images with a
// colour palette (8 bits) or entry 0 white (1 bit), so that palettes matter.
inline void Synthetic(ImageDescriptor* d, int width, int height, int bits, bool grey = false) {
  img_alloc(d, width, height, bits);
  for (int y = 0; y < height; ++y) {
    BYTE* row = img_row(d, static_cast<DWORD>(y));
    for (int x = 0; x < width; ++x) {
      const bool disc = (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) <
                        (height / 3) * (height / 3);
      const int v = (x * 7 + y * 3 + (disc ? 90 : 0)) & 0xFF;
      if (bits == 24) {
        row[3 * x] = static_cast<BYTE>(v);
        row[3 * x + 1] = static_cast<BYTE>(y * 255 / height);
        row[3 * x + 2] = static_cast<BYTE>(disc ? 250 : x);
      } else if (bits == 8) {
        row[x] = static_cast<BYTE>(v);
      } else if (bits == 16) {
        row[2 * x] = static_cast<BYTE>(v * 13);
        row[2 * x + 1] = static_cast<BYTE>(v);
      } else if (disc || (x + y) % 5 == 0) {
        row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
      }
    }
  }
  if (bits == 8 && !grey) {
    for (int i = 0; i < 256; ++i)
      d->palette[i] = RGBQUAD{static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), static_cast<BYTE>(i), 0};
    d->flags &= ~IMG_GREY;
  }
  if (bits == 1) {
    d->palette[0] = RGBQUAD{255, 255, 255, 0};
    d->palette[1] = RGBQUAD{0, 0, 0, 0};
    d->flags &= ~IMG_GREY;
  }
}

}  // namespace codec_test
