// JPEG files (".jpg").
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/img_memory.h"

struct JpegInfo {
  int process;  // n of the frame marker SOFn, -1 when no frame header was seen
  int width;
  int height;
  int components;
  int precision;
  int sampling[4];  // H x 16 + V of components 1 to 4
  int imagerBitsPerPixel;
};

int jpeg_info(const char* path, JpegInfo* info);
int jpeg_load(const char* path, ImageDescriptor* d);
// mode: 1 progressive, 2 sequential with optimised Huffman tables, else sequential.
int jpeg_save(const char* path, ImageDescriptor* d, int quality, int mode);

// The same on a file (path) or, without a path, on a block of memory: `data` and `size`
// for reading (-52 when fewer than 100 bytes are there), and a new memory block handed
// back through `out` for writing.
int jpeg_read_info(const char* path, const void* data, std::size_t size, JpegInfo* info);
int jpeg_load_stream(const char* path, const void* data, std::size_t size, ImageDescriptor* d);
int jpeg_save_stream(const char* path, ImgMem* out, int quality, int mode, ImageDescriptor* d);
