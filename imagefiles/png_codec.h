// PNG files (".png").
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/img_memory.h"

// The information record of a PNG file: 26 32-bit fields.
struct PngInfo {
  DWORD width;
  DWORD height;
  DWORD bitDepth;
  DWORD imagerBitsPerPixel;
  DWORD colorType;
  DWORD interlace;
  DWORD combination;  // "ImageId" in the description text
  DWORD channels;
  DWORD bitsPerPixel;
  DWORD bytesPerRow;
  DWORD transparencySeen;
  BYTE transparency[4];
  DWORD reserved;
  DWORD transparencyCount;
  DWORD backgroundSeen;
  BYTE background[8];
  DWORD backgroundLength;
  DWORD gamma;
  DWORD xPixelsPerUnit;
  DWORD yPixelsPerUnit;
  DWORD unit;
  BYTE significantBits[4];
  DWORD xOffset;
  DWORD yOffset;
  DWORD offsetUnit;
};
static_assert(sizeof(PngInfo) == 26 * 4);

int png_info(const char* path, PngInfo* info);
int png_load(const char* path, ImageDescriptor* d);
// options: bit 0 Adam7 interlacing; bits 1-3 the row filter for 8-bit grey and 24 bits.
int png_save(const char* path, ImageDescriptor* d, int options);
// Reads the first PLTE of a palette file (up to 256 entries) into `palette`; returns the
// number of entries, 0 when there are none.
int png_read_palette(const char* path, RGBQUAD* palette);

// The same on a file (path) or, without a path, on a block of memory: `data` and `size`
// for reading, and for writing a new locked block handed back through `out` (which the
// caller frees with ImgMemFree; null after a failure). A save without a path and without
// `out` builds the file and discards it.
int png_read_info(const char* path, const void* data, std::size_t size, PngInfo* info);
int png_load_stream(const char* path, const void* data, std::size_t size, ImageDescriptor* d);
int png_save_stream(const char* path, ImgMem* out, ImageDescriptor* d, int options);
// The detail code of the last -63 or -64 result.
int png_last_error();
