// jpeg_tool save <in.ppm|in.pgm> <out.jpg> <quality> <mode>
// jpeg_tool load <in.jpg> <out.pnm>
// Binary PNM only (P5 grey, P6 colour, maxval 255).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/jpeg_codec.h"

namespace {

int ReadToken(FILE* f) {
  int c = std::fgetc(f);
  while (c == '#' || c == ' ' || c == '\n' || c == '\r' || c == '\t') {
    if (c == '#')
      while (c != '\n' && c != EOF) c = std::fgetc(f);
    c = std::fgetc(f);
  }
  int v = 0;
  while (c >= '0' && c <= '9') {
    v = v * 10 + (c - '0');
    c = std::fgetc(f);
  }
  return v;
}

int Save(const char* in, const char* out, int quality, int mode) {
  FILE* f = std::fopen(in, "rb");
  if (!f) return 1;
  char magic[2] = {};
  if (std::fread(magic, 1, 2, f) != 2 || magic[0] != 'P' || (magic[1] != '5' && magic[1] != '6')) return 1;
  const bool grey = magic[1] == '5';
  const int w = ReadToken(f), h = ReadToken(f);
  if (ReadToken(f) != 255) return 1;
  ImageDescriptor d{};
  if (img_alloc(&d, w, h, grey ? 8 : 24) != 0) return 1;
  for (int y = 0; y < h; ++y) {
    BYTE* row = img_row(&d, y);
    for (int x = 0; x < w; ++x) {
      if (grey) {
        row[x] = static_cast<BYTE>(std::fgetc(f));
      } else {
        row[3 * x + 2] = static_cast<BYTE>(std::fgetc(f));
        row[3 * x + 1] = static_cast<BYTE>(std::fgetc(f));
        row[3 * x] = static_cast<BYTE>(std::fgetc(f));
      }
    }
  }
  std::fclose(f);
  const int rc = jpeg_save(out, &d, quality, mode);
  img_free(&d);
  if (rc) std::fprintf(stderr, "jpeg_save: %d\n", rc);
  return rc ? 1 : 0;
}

int Load(const char* in, const char* out) {
  JpegInfo info{};
  int rc = jpeg_info(in, &info);
  ImageDescriptor d{};
  if (rc == 0) rc = img_alloc(&d, info.width, info.height, info.imagerBitsPerPixel);
  if (rc == 0) rc = jpeg_load(in, &d);
  if (rc) {
    std::fprintf(stderr, "jpeg_load: %d\n", rc);
    return 1;
  }
  const bool grey = info.components == 1;
  FILE* f = std::fopen(out, "wb");
  if (!f) return 1;
  std::fprintf(f, "P%d\n%d %d\n255\n", grey ? 5 : 6, info.width, info.height);
  for (int y = 0; y < info.height; ++y) {
    const BYTE* row = img_row(&d, y);
    for (int x = 0; x < info.width; ++x) {
      if (grey) {
        std::fputc(row[x], f);
      } else {
        std::fputc(row[3 * x + 2], f);
        std::fputc(row[3 * x + 1], f);
        std::fputc(row[3 * x], f);
      }
    }
  }
  std::fclose(f);
  img_free(&d);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "save") == 0)
    return Save(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
  if (argc == 4 && std::strcmp(argv[1], "load") == 0) return Load(argv[2], argv[3]);
  std::fprintf(stderr, "usage: jpeg_tool save in.pnm out.jpg quality mode | load in.jpg out.pnm\n");
  return 2;
}
