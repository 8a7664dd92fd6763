// JPEG files (".jpg").
#pragma once
#include "imagefiles/ImageDescriptor.h"

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
