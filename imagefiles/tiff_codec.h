// TIFF files (".tif", ".cb", ".ct").
#pragma once
#include "imagefiles/ImageDescriptor.h"

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
// code: 0 none, 1 LZW, 2 PackBits, 3 CCITT run length, 4 CCITT Group 4; bit 4 one strip.
int tiff_save(const char* path, ImageDescriptor* d, int code);
