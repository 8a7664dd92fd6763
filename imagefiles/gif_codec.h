// GIF files (".gif").
#pragma once
#include "imagefiles/ImageDescriptor.h"

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
