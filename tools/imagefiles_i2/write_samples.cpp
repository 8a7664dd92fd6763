// Writes synthetic pictures with our PNG, TIFF and GIF writers into a folder, each beside
// a ".rgb" file of the pixels it should hold (red, green, blue per pixel, rows top to
// bottom; 16-bit grey as little-endian samples). check_outputs.py compares them with
// what Pillow decodes.
//   imagefiles_write_samples <folder>
#include <cstdio>
#include <string>
#include <vector>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/gif_codec.h"
#include "imagefiles/png_codec.h"
#include "imagefiles/tiff_codec.h"
#include "tools/imagefiles_i2/synthetic_picture.h"

namespace {

void WriteExpected(const std::string& path, const ImageDescriptor& d) {
  std::vector<BYTE> out;
  const int w = d.header->biWidth, h = d.header->biHeight, bits = d.header->biBitCount;
  for (int y = 0; y < h; ++y) {
    const BYTE* row = img_row(&d, static_cast<DWORD>(y));
    for (int x = 0; x < w; ++x) {
      if (bits == 24) {
        out.insert(out.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
      } else if (bits == 16) {
        out.insert(out.end(), {row[2 * x], row[2 * x + 1]});
      } else {
        const int i = bits == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
        out.insert(out.end(), {d.palette[i].rgbRed, d.palette[i].rgbGreen, d.palette[i].rgbBlue});
      }
    }
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: imagefiles_write_samples <folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  struct Kind {
    const char* name;
    int bits;
    bool grey;
  };
  const Kind kinds[] = {{"bw", 1, false}, {"grey8", 8, true}, {"pal8", 8, false}, {"grey16", 16, true}, {"rgb", 24, false}};
  int failures = 0;
  for (const Kind& k : kinds) {
    ImageDescriptor d;
    samples_i2::Synthetic(&d, 301, 157, k.bits, k.grey);
    auto save = [&](const std::string& file, int r) {
      if (r != 0) {
        std::fprintf(stderr, "%s: result %d\n", file.c_str(), r);
        ++failures;
        return;
      }
      WriteExpected(dir + "/" + file + ".rgb", d);
    };
    if (k.bits != 16) {
      for (int options : {0, 1, 4, 10}) {
        const std::string file = std::string(k.name) + "_opt" + std::to_string(options) + ".png";
        save(file, png_save((dir + "/" + file).c_str(), &d, options));
      }
      for (int options : {9, 0, 2}) {
        if (k.bits == 24) break;
        const std::string file = std::string(k.name) + "_opt" + std::to_string(options) + ".gif";
        save(file, gif_save((dir + "/" + file).c_str(), &d, options, 3));
      }
    }
    for (int code = 0; code <= 4; ++code) {
      const bool allowed = k.bits == 1 || (k.bits == 8 && code <= 2) || (k.bits == 16 && code == 0) ||
                           (k.bits == 24 && code <= 1);
      if (!allowed) continue;
      const std::string file = std::string(k.name) + "_code" + std::to_string(code) + ".tif";
      save(file, tiff_save((dir + "/" + file).c_str(), &d, code));
    }
    img_free(&d);
  }
  return failures ? 1 : 0;
}
