// The pictures that our writers are checked with: each sample is written by one codec
// (or through the DIB entry point), and what a reader must see in it.
#pragma once
#include <string>
#include <vector>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/bmp_codec.h"
#include "imagefiles/dib_convert.h"
#include "imagefiles/pcx_codec.h"
#include "imagefiles/raw_codec.h"
#include "imagefiles/tga_codec.h"

namespace samples {

constexpr int kWidth = 21;
constexpr int kHeight = 9;

// A picture of the given depth: 24 bits a colour gradient, 8 bits a colour palette (or
// a grey ramp when `grey`), 1 bit dark blue and light yellow; `colours` limits the
// palette entries used.
inline void Make(ImageDescriptor* d, int bits, bool grey = false, int colours = 256) {
  img_alloc(d, kWidth, kHeight, bits);
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = img_row(d, static_cast<DWORD>(y));
    for (int x = 0; x < kWidth; ++x) {
      int v = (x * 12 + y * 29 + (x * y) % 7) % colours;
      if (bits == 24) {
        row[3 * x] = static_cast<BYTE>(x * 12);
        row[3 * x + 1] = static_cast<BYTE>(y * 28);
        row[3 * x + 2] = static_cast<BYTE>(v);
      } else if (bits == 8) {
        row[x] = static_cast<BYTE>(v);
      } else if ((x + y) % 3 == 0) {
        row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
      }
    }
  }
  if (bits == 1) {
    d->palette[0] = RGBQUAD{90, 20, 10, 0};
    d->palette[1] = RGBQUAD{160, 240, 250, 0};
    d->flags = 0;
  } else if (bits == 8 && !grey) {
    for (int i = 0; i < 256; ++i)
      d->palette[i] = RGBQUAD{static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7), static_cast<BYTE>(i), 0};
    d->colorCount = colours;
    d->flags = 0;
  }
}

// The picture as RGB bytes, top row first, behind its width and height (4 bytes each,
// little-endian).
inline std::vector<BYTE> Truth(const ImageDescriptor& d, bool asGrey = false) {
  std::vector<BYTE> out;
  for (DWORD v : {img_width(&d), img_height(&d)})
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<BYTE>(v >> (8 * k)));
  for (DWORD y = 0; y < img_height(&d); ++y) {
    const BYTE* r = img_row(&d, y);
    for (DWORD x = 0; x < img_width(&d); ++x) {
      BYTE rgb[3];
      if (d.header->biBitCount == 24) {
        rgb[0] = r[3 * x + 2], rgb[1] = r[3 * x + 1], rgb[2] = r[3 * x];
      } else {
        int i = d.header->biBitCount == 1 ? (r[x / 8] >> (7 - x % 8)) & 1 : r[x];
        rgb[0] = d.palette[i].rgbRed, rgb[1] = d.palette[i].rgbGreen, rgb[2] = d.palette[i].rgbBlue;
      }
      if (asGrey) {
        BYTE g = static_cast<BYTE>((299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000);
        rgb[0] = rgb[1] = rgb[2] = g;
      }
      out.insert(out.end(), rgb, rgb + 3);
    }
  }
  return out;
}

struct Sample {
  const char* name;
  int bits;
  bool grey;
  int colours;
  // 0 by the codec named by the extension with option `option`; 1 through SaveDIBToImage.
  int viaDib;
  int option;
};

inline const std::vector<Sample>& All() {
  static const std::vector<Sample> all = {
      {"ours_1.bmp", 1, false, 2, 0, 0},      {"ours_8.bmp", 8, false, 256, 0, 0},
      {"ours_8rle.bmp", 8, false, 40, 0, 1},  {"ours_24.bmp", 24, false, 256, 0, 0},
      {"ours_1.pcx", 1, false, 2, 0, 0},      {"ours_8.pcx", 8, false, 256, 0, 0},
      {"ours_8_16.pcx", 8, false, 16, 0, 0},  {"ours_24.tga", 24, false, 256, 0, 0},
      {"ours_24rle.tga", 24, false, 256, 0, 1}, {"ours_grey.bif", 8, true, 256, 0, 0},
      {"ours_grey.eps", 8, true, 256, 0, 0},  {"ours_colour.eps", 8, false, 256, 0, 0},
      {"ours_page.pcx", 24, false, 256, 1, 75}, {"ours_page.eps", 24, false, 256, 1, 75},
      {"ours_page.bif", 24, false, 256, 1, 75},
  };
  return all;
}

// Writes the sample to `path`; returns the library's result. `truth` receives what a
// reader must see.
inline int Write(const Sample& s, const std::string& path, std::vector<BYTE>* truth) {
  ImageDescriptor d;
  Make(&d, s.bits, s.grey, s.colours);
  std::string ext = path.substr(path.rfind('.'));
  bool rawPage = ext == ".bif";
  int r;
  if (s.viaDib) {
    BITMAPINFOHEADER* h = nullptr;
    r = img_to_dib(&d, &h);
    if (r == IMG_OK) {
      ImgMem block = ImgMemHandle(h);
      plat::MemBlock dib(reinterpret_cast<const BYTE*>(h), ImgMemSize(block));
      ImgMemFree(block);
      r = SaveDIBToImage(path.c_str(), dib, s.option) ? IMG_OK : -1;
    }
  } else if (ext == ".bmp") {
    r = bmp_save(path.c_str(), &d, s.option);
  } else if (ext == ".pcx") {
    r = pcx_save(path.c_str(), &d);
  } else if (ext == ".tga") {
    r = tga_save(path.c_str(), &d, s.option);
  } else if (ext == ".bif") {
    r = raw_save(path.c_str(), &d);
  } else {
    r = eps_save(path.c_str(), &d);
  }
  if (truth) *truth = Truth(d, rawPage);
  img_free(&d);
  return r;
}

}  // namespace samples
