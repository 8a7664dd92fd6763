// Our PNG and TIFF decoders as the benchmark calls them: information, image, load.
#include <benchmark/benchmark.h>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/png_codec.h"
#include "imagefiles/tiff_codec.h"

// The image is allocated once, as the reference decoders' output buffers are.
bool OurPngDecode(const char* path) {
  static ImageDescriptor d;
  PngInfo info;
  if (png_info(path, &info) != 0) return false;
  if (!d.header) img_alloc(&d, static_cast<int>(info.width), static_cast<int>(info.height), static_cast<int>(info.imagerBitsPerPixel));
  const bool ok = png_load(path, &d) == 0;
  benchmark::DoNotOptimize(d.pixels[0]);
  return ok;
}

bool OurTiffDecode(const char* path) {
  static ImageDescriptor d;
  TiffInfo info;
  if (tiff_info(path, &info) != 0) return false;
  if (!d.header) img_alloc(&d, static_cast<int>(info.width), static_cast<int>(info.length), static_cast<int>(info.imagerBitsPerPixel));
  const bool ok = tiff_load(path, &d) == 0;
  benchmark::DoNotOptimize(d.pixels[0]);
  return ok;
}
