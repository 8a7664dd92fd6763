// GIF files (".gif").
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/img_memory.h"

struct GifInfo {
  int width;
  int height;
  int colorResolution;
  int bitsPerPixel;       // colour-table size bits, from the local table when there is one
  int transparent;        // -1 when none
  int interlace;
  int codeSize;           // LZW minimum code size
  int version;            // 87 or 89
  int imagerBitsPerPixel; // 1 or 8
};

int gif_info(const char* path, GifInfo* info);
int gif_load(const char* path, ImageDescriptor* d);
// options: bit 0 interlaced, bit 1 transparent colour, bit 2 4-bit table, bit 3 literal codes.
int gif_save(const char* path, ImageDescriptor* d, int options, int transparent);

// The same on a file (path) or, without a path, on a block of memory: `data` and `size`
// for reading (-52 when there is no block), and for writing a new locked block handed
// back through `out` (which the caller frees with ImgMemFree; null after a failure). A
// save without a path and without `out` builds the file and discards it.
int gif_read_info(const char* path, const void* data, std::size_t size, GifInfo* info);
int gif_load_stream(const char* path, const void* data, std::size_t size, ImageDescriptor* d);
int gif_save_stream(const char* path, ImgMem* out, ImageDescriptor* d, int options, int transparent);
