// Helpers of the JPEG tests: fixture files, PNM and BMP references, decoding into
// plain top-down RGB or grey bytes.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/codec_test_support.h"
#include "imagefiles/jpeg_codec.h"

namespace jpegtest {

using Bytes = std::vector<std::uint8_t>;

inline std::string Fixture(const std::string& name) {
  return std::string(TV_SOURCE_DIR) + "/imagefiles/testdata/jpeg/" + name;
}

using codec_test::ReadBytes;

// Pixels top-down, 1 (grey) or 3 (R, G, B) bytes each.
struct Picture {
  int width = 0;
  int height = 0;
  int channels = 0;
  Bytes data;
  int at(int x, int y, int ch) const { return data[(static_cast<std::size_t>(y) * width + x) * channels + ch]; }
};

// Binary PGM or PPM with maxval 255; comment lines allowed.
inline Picture ReadPnm(const std::string& path) {
  const Bytes b = ReadBytes(path);
  Picture p;
  if (b.size() < 2 || b[0] != 'P' || (b[1] != '5' && b[1] != '6')) return p;
  p.channels = b[1] == '5' ? 1 : 3;
  std::size_t i = 2;
  int values[3];
  for (int& v : values) {
    while (i < b.size() && (b[i] == '#' || b[i] <= ' ')) {
      if (b[i] == '#')
        while (i < b.size() && b[i] != '\n') ++i;
      ++i;
    }
    v = 0;
    while (i < b.size() && b[i] >= '0' && b[i] <= '9') v = v * 10 + (b[i++] - '0');
  }
  ++i;  // the single white-space byte before the samples
  p.width = values[0];
  p.height = values[1];
  p.data.assign(b.begin() + static_cast<std::ptrdiff_t>(i), b.end());
  p.data.resize(static_cast<std::size_t>(p.width) * p.height * p.channels);
  return p;
}

// An uncompressed 24-bit BMP (any header size), bottom-up rows.
inline Picture ReadBmp24(const std::string& path) {
  const Bytes b = ReadBytes(path);
  auto u32 = [&](std::size_t o) { return b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (b[o + 3] << 24); };
  Picture p;
  p.channels = 3;
  const std::size_t offset = u32(10);
  p.width = static_cast<int>(u32(18));
  p.height = static_cast<int>(u32(22));
  const std::size_t stride = (static_cast<std::size_t>(p.width) * 3 + 3) & ~std::size_t{3};
  for (int y = 0; y < p.height; ++y) {
    const std::uint8_t* row = b.data() + offset + (p.height - 1 - y) * stride;
    for (int x = 0; x < p.width; ++x) {
      p.data.push_back(row[3 * x + 2]);
      p.data.push_back(row[3 * x + 1]);
      p.data.push_back(row[3 * x]);
    }
  }
  return p;
}

// The working rectangle of an image as a picture.
inline Picture FromImage(const ImageDescriptor& d) {
  Picture p;
  p.width = static_cast<int>(img_rect_width(&d));
  p.height = static_cast<int>(img_rect_height(&d));
  p.channels = img_bits(&d) == 24 ? 3 : 1;
  for (int y = 0; y < p.height; ++y) {
    const BYTE* row = img_row(&d, d.top + y) + d.left * p.channels;
    for (int x = 0; x < p.width; ++x) {
      if (p.channels == 1) {
        p.data.push_back(row[x]);
      } else {
        p.data.push_back(row[3 * x + 2]);
        p.data.push_back(row[3 * x + 1]);
        p.data.push_back(row[3 * x]);
      }
    }
  }
  return p;
}

// A new image holding the picture (grey pictures get the grey ramp).
inline void ToImage(const Picture& p, ImageDescriptor* d) {
  ASSERT_EQ(img_alloc(d, p.width, p.height, p.channels == 1 ? 8 : 24), 0);
  for (int y = 0; y < p.height; ++y) {
    BYTE* row = img_row(d, y);
    for (int x = 0; x < p.width; ++x) {
      if (p.channels == 1) {
        row[x] = static_cast<BYTE>(p.at(x, y, 0));
      } else {
        row[3 * x] = static_cast<BYTE>(p.at(x, y, 2));
        row[3 * x + 1] = static_cast<BYTE>(p.at(x, y, 1));
        row[3 * x + 2] = static_cast<BYTE>(p.at(x, y, 0));
      }
    }
  }
}

struct Decoded {
  int rc = 0;
  JpegInfo info{};
  Picture picture;
};

// Information, then a load into an image of the file's size and depth (or `bits`).
inline Decoded Decode(const Bytes& file, int bits = 0) {
  Decoded out;
  out.rc = jpeg_read_info(nullptr, file.data(), file.size(), &out.info);
  if (out.rc) return out;
  ImageDescriptor d{};
  // At least 1 x 1, so that the codec itself judges a frame of width or height 0.
  out.rc = img_alloc(&d, std::max(out.info.width, 1), std::max(out.info.height, 1),
                     bits ? bits : out.info.imagerBitsPerPixel);
  if (out.rc) return out;
  out.rc = jpeg_load_stream(nullptr, file.data(), file.size(), &d);
  out.picture = FromImage(d);
  img_free(&d);
  return out;
}

}  // namespace jpegtest
