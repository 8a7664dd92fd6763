// Conversion between an ImageDescriptor and a packed DIB owned elsewhere, region copies
// between images, and the bit and byte routines that the codecs share. Bits within a
// byte are numbered from the most significant: pixel 0 of a 1-bit row is bit 7 of byte 0.
#pragma once
#include <cstddef>

#include "imagefiles/ImageDescriptor.h"

// Copies the source's working rectangle into a new packed DIB; *outHeader receives the
// header at the start of the new block (locked, owned by the caller), null on failure.
int img_to_dib(ImageDescriptor* source, BITMAPINFOHEADER** outHeader);
// Converts a packed DIB of `dibSize` bytes (header, colour table, bits) into a new image
// in the descriptor. 1, 4, 8 and 24 bits, RLE4 and RLE8.
int dib_to_img(const BITMAPINFOHEADER* dib, std::size_t dibSize, ImageDescriptor* d);

int img_copy(ImageDescriptor* source, ImageDescriptor* destination);
int img_copy_region(ImageDescriptor* source, ImageDescriptor* destination);
void img_copy_palette(const ImageDescriptor* source, ImageDescriptor* destination);

// Writes `count` bits, taken from `bits` from its bit 0, into `row` from bit
// (bitOffset mod 8) of its first byte; the other bits of `row` keep their values.
void bits_insert(BYTE* row, const BYTE* bits, unsigned bitOffset, unsigned count);
// Copies `count` bits of `row` from bit (bitOffset mod 8) of its first byte to `out`
// from its bit 0; the bits behind the run in the last byte of `out` are cleared.
void bits_extract(BYTE* out, const BYTE* row, unsigned bitOffset, unsigned count);
// Sets bits bitStart .. bitStart + count - 1 of `row`, the run cut to end before `limit`.
void bits_set_run(unsigned bitStart, BYTE* row, unsigned count, unsigned limit);
// Lengths of the maximal runs of equal bytes among n (1..255) bytes, one byte each, then
// a zero byte; `out` needs n + 4 bytes. Returns the number of runs.
int byte_runs(BYTE* out, const BYTE* data, int n);
// Pixel i of a 4-bit row becomes byte i of out.
void nibbles_to_bytes(BYTE* out, const BYTE* in, int count);

constexpr int RLE_END_OF_BITMAP = -100;
// Decode one row of BMP run-length data (inSize bytes available) into one byte per
// pixel; `count` is the room in the row in pixels. Return the input bytes the row used,
// RLE_END_OF_BITMAP at the end-of-bitmap code, or -9 (delta code, run past the row, or
// data that ends inside the row). `written`, when given, receives the pixels decoded into
// the row: a row that the end-of-bitmap code ends without an end-of-line has some.
int rle8_decode_row(BYTE* out, const BYTE* in, std::size_t inSize, int count,
                    int* written = nullptr);
int rle4_decode_row(BYTE* out, const BYTE* in, std::size_t inSize, int count,
                    int* written = nullptr);
