// PCX files (".pcx").
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"

struct PcxInfo {
  int version;
  int width;
  int height;
  int bitsPerPixel;  // per plane
  int planes;
  int bytesPerLine;  // per plane
  int paletteInterp;
  int imagerBitsPerPixel;
};

int pcx_info(const char* path, PcxInfo* info);
int pcx_load(const char* path, ImageDescriptor* d);
// Writes the working rectangle of a 1- or 8-bit image.
int pcx_save(const char* path, ImageDescriptor* d);
// Row mode 1 to 5 for the planes and bits, or -16.
int pcx_mode(const PcxInfo* info);
// Reads the file's palette into `palette` (room for 256 entries); returns the number
// of entries (0 when the file has none), or a negative code.
int pcx_read_palette(const char* path, RGBQUAD* palette);

// Decodes `count` bytes from at most inSize input bytes. A run that reaches past the
// line is split: its count byte in `in` is rewritten to the rest and left unconsumed.
// Returns the input bytes consumed, or -16 when the input ends first.
int pcx_rle_decode_row(BYTE* out, BYTE* in, std::size_t inSize, int count);
// Returns the bytes written (at most 2 x count).
int pcx_rle_encode_row(BYTE* out, const BYTE* in, int count);
