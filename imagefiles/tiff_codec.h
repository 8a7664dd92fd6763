// TIFF files (".tif", ".cb", ".ct").
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/img_memory.h"

struct TiffInfo {
  DWORD byteOrder;  // 0x4949 "II" or 0x4D4D "MM"
  DWORD width;
  DWORD length;
  DWORD bitsPerSample;
  DWORD compression;
  DWORD samplesPerPixel;
  DWORD photometric;
  DWORD planarConfig;
  DWORD imagerBitsPerPixel;
};

int tiff_info(const char* path, TiffInfo* info);
// pageCount receives the number of directories; pageList, when not null, the page
// number of each of the first maxPages directories.
int tiff_page_info(const char* path, int* pageCount, int* pageList, int maxPages);
int tiff_load(const char* path, ImageDescriptor* d);
// Loads one page into the caller's image: without a path from the memory block
// (data, size). page -1 is the first directory; else the page whose number (byIndex 0)
// or zero-based position (byIndex 1) equals `page`.
int tiff_load_page(const char* path, const void* data, std::size_t size, int page, int byIndex,
                   ImageDescriptor* d);
// The page's colour map as palette entries: their number, 0 when there is no usable map.
int tiff_read_colormap(const char* path, const void* data, std::size_t size, int page,
                       int byIndex, RGBQUAD* palette);
// code: 0 none, 1 LZW, 2 PackBits, 3 CCITT run length, 4 CCITT Group 4; bit 4 one strip.
int tiff_save(const char* path, ImageDescriptor* d, int code);
// page -1 writes a new single-page file; page >= 0 appends a page with that number (or
// creates a paged file). Without a path the file is built in memory and *out receives it.
int tiff_save_page(const char* path, ImgMem* out, int page, int code, ImageDescriptor* d);
