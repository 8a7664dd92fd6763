// Our PNG and TIFF decoders as the benchmark calls them: information, image, load.
#include "our_decoders.h"

#include <benchmark/benchmark.h>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/png_codec.h"
#include "imagefiles/tiff_codec.h"

namespace {

// The images are allocated once, as the reference decoders' output buffers are.
ImageDescriptor g_png, g_tiff;

// RGB rows from the top, from the descriptor's BGR rows counted from the bottom.
std::vector<unsigned char> Rgb(const ImageDescriptor& d) {
  const int w = static_cast<int>(img_width(&d)), h = static_cast<int>(img_height(&d));
  std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    const BYTE* row = img_row(&d, static_cast<DWORD>(y));
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        rgb[(static_cast<std::size_t>(y) * w + x) * 3 + c] = row[3 * x + 2 - c];
  }
  return rgb;
}

}  // namespace

bool OurPngDecode(const char* path) {
  PngInfo info;
  if (png_info(path, &info) != 0) return false;
  if (!g_png.header)
    img_alloc(&g_png, static_cast<int>(info.width), static_cast<int>(info.height),
              static_cast<int>(info.imagerBitsPerPixel));
  const bool ok = png_load(path, &g_png) == 0;
  benchmark::DoNotOptimize(g_png.pixels[0]);
  return ok;
}

bool OurTiffDecode(const char* path) {
  TiffInfo info;
  if (tiff_info(path, &info) != 0) return false;
  if (!g_tiff.header)
    img_alloc(&g_tiff, static_cast<int>(info.width), static_cast<int>(info.length),
              static_cast<int>(info.imagerBitsPerPixel));
  const bool ok = tiff_load(path, &g_tiff) == 0;
  benchmark::DoNotOptimize(g_tiff.pixels[0]);
  return ok;
}

std::vector<unsigned char> OurPngPixels(const char* path) {
  return OurPngDecode(path) && img_bits(&g_png) == 24 ? Rgb(g_png) : std::vector<unsigned char>{};
}

std::vector<unsigned char> OurTiffPixels(const char* path) {
  return OurTiffDecode(path) && img_bits(&g_tiff) == 24 ? Rgb(g_tiff)
                                                        : std::vector<unsigned char>{};
}
