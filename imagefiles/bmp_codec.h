// Windows bitmap files (".bmp").
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"
#include "imagefiles/img_memory.h"

// Reads the file's headers into a 40-byte info header (core headers are widened).
int bmp_info(const char* path, BITMAPINFOHEADER* header);
// Fills the working rectangle of an image of matching depth (8 bits for 4-bit files,
// 24 bits for 16- and 32-bit files).
int bmp_load(const char* path, ImageDescriptor* d);
// Writes the working rectangle; rle non-zero asks for RLE8 (8-bit images only).
int bmp_save(const char* path, ImageDescriptor* d, int rle);

// The same from and to memory: a source of `size` bytes (-52 when data is null); the
// saver hands the finished file back as a locked block in *out.
int bmp_info_mem(const void* data, std::size_t size, BITMAPINFOHEADER* header);
int bmp_load_mem(const void* data, std::size_t size, ImageDescriptor* d);
int bmp_save_mem(ImgMem* out, ImageDescriptor* d, int rle);

// One RLE8 row with its end-of-line code; `out` needs 2 x n + 2 x (n / 255 + 1) + 2
// bytes. Returns the bytes written.
int rle8_encode_row(BYTE* out, const BYTE* row, int n);
