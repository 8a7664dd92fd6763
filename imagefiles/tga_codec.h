// Truevision TGA files (".tga").
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"

struct TgaInfo {
  int idLength;
  int width;
  int height;
  int colorMapType;
  int imageType;
  int colorMapEntrySize;
  int xOrigin;
  int yOrigin;
  int pixelDepth;
  int alphaBits;
  int screenOrigin;  // descriptor shifted right by 4: bit 1 is the top-left origin
  int interleave;
  int imagerBitsPerPixel;
};

int tga_info(const char* path, TgaInfo* info);
// Fills the working rectangle of an 8- or 24-bit image.
int tga_load(const char* path, ImageDescriptor* d);
// Writes the working rectangle of a 24-bit image; rle non-zero asks for run-length packets.
int tga_save(const char* path, ImageDescriptor* d, int rle);

// Decodes `count` pixels from at most inSize bytes; a packet that reaches past the row
// is split and its header in `in` rewritten to the rest. Returns the input bytes
// consumed, or -25 when the input ends first.
int tga_rle_decode_row(BYTE* in, std::size_t inSize, BYTE* out, int count, int bytesPerPixel);
// Returns the bytes written (at most count x (bytesPerPixel + 1)).
int tga_rle_encode_row(BYTE* out, const BYTE* in, int count, int bytesPerPixel);
