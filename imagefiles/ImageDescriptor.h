// The in-memory image of the image file library: one packed DIB (BITMAPINFOHEADER,
// colour table, bottom-up pixel rows padded to 4 bytes) in a library memory block,
// described by an ImageDescriptor, plus the result codes that every codec returns.
#pragma once
#include <cstdint>

#include "platform/WinTypes.h"

// Result codes of the whole library: 0 is success, every failure is negative.
enum : int {
  IMG_OK = 0,
  IMG_BAD_ARGUMENT = -1,         // zero size, rectangle outside the image, bad slot number
  IMG_WRITE_FAILED = -3,         // fewer bytes written than asked
  IMG_OPEN_FAILED = -4,          // file missing or unreadable
  IMG_BAD_TRANSPARENT = -5,      // GIF transparent colour outside 0..255
  IMG_NOT_TIFF = -6,             // not a TIFF file or damaged TIFF data
  IMG_UNSUPPORTED = -9,          // variant the codec does not handle, or bad run-length data
  IMG_CREATE_FAILED = -10,       // the file cannot be created
  IMG_NO_FORMAT = -11,           // no extension-table row matches the file name
  IMG_COMPRESSED = -12,          // compressed bitmap where an uncompressed one is needed
  IMG_NO_MEMORY = -14,
  IMG_JPEG_NO_SCAN = -15,        // JPEG decoding met the end of the image before a scan
  IMG_NOT_PCX = -16,
  IMG_NOT_GIF = -17,
  IMG_BAD_TGA = -25,
  IMG_BAD_DEPTH = -26,           // bit depth the operation does not handle
  IMG_NOT_BMP = -27,
  IMG_BAD_POINTER = -42,         // the pixel pointer is not inside a live image block
  IMG_NOT_JPEG = -43,
  IMG_CCITT_CHANGES = -44,
  IMG_NO_PAGE = -51,             // the requested TIFF page does not exist
  IMG_BAD_SOURCE = -52,          // a memory source without readable data
  IMG_CORRUPT_DATA = -62,        // corrupt LZW, GIF or JPEG entropy-coded data
  IMG_PNG_ERROR = -63,           // PNG structure or decompression error (see png_last_error)
  IMG_PNG_COMPRESS = -64,        // PNG compression error
  IMG_TIFF_BIG_ENDIAN = -69,     // appending a page to a big-endian TIFF file
};

// The largest picture, in pixels, that a loader sizes from the header of a compressed
// file (GIF, PNG, JPEG, compressed TIFF, run-length BMP). Larger claims, and claims that
// the file's data cannot possibly decode to, are refused with the format's code before any
// pixel buffer is made; uncompressed files must hold all their pixel data.
constexpr unsigned long long IMG_MAX_COMPRESSED_PIXELS = 1ull << 28;

// The largest decoded picture, in bytes of its packed DIB (header, colour table and padded
// rows), that the loaders make: a file that claims a larger one is refused with its
// format's code before any buffer is sized for it, and img_alloc refuses such a block
// with -14. The caller sets it for the whole process (the fuzz targets hold it to 64 MiB);
// IMG_DEFAULT_MAX_IMAGE_BYTES until then.
constexpr std::uint64_t IMG_DEFAULT_MAX_IMAGE_BYTES = std::uint64_t{1} << 30;
void img_set_max_image_bytes(std::uint64_t bytes);
std::uint64_t img_max_image_bytes();
// Bytes of the packed DIB of a width x height picture of `bits` per pixel (4 counts as 8).
std::uint64_t img_dib_bytes(std::uint64_t width, std::uint64_t height, int bits);
// True when such a picture, and a decoder's working copy of `workBytes`, stay within the
// limit.
bool img_size_allowed(std::uint64_t width, std::uint64_t height, int bits,
                      std::uint64_t workBytes = 0);

// Bit 0 of `flags`: the image is grey-scale.
constexpr DWORD IMG_GREY = 1;

struct ImageDescriptor {
  BYTE* pixels = nullptr;  // first byte of the bottom (first stored) pixel row
  DWORD left = 0;          // working rectangle, inclusive, rows counted from the top
  DWORD top = 0;
  DWORD right = 0;
  DWORD bottom = 0;
  DWORD rowBytes = 0;  // bytes per stored row, a multiple of 4
  RGBQUAD* palette = nullptr;
  int colorCount = 0;
  DWORD flags = 0;
  BITMAPINFOHEADER* header = nullptr;  // start of the image's memory block
};

void img_zero(ImageDescriptor* d);
// 0; -26 depth not 1, 4, 8, 16 or 24; -1 width or height not positive; -14 no memory.
// 4 bits yield an 8-bit image.
int img_alloc(ImageDescriptor* d, int width, int height, int bitsPerPixel);
int img_alloc_packed(ImageDescriptor* d, int width, int height, int bitsPerPixel);
// Frees the block when `header` is the start of a live image block and zeroes the
// descriptor; a descriptor whose header is not such a block is left as it is.
void img_free(ImageDescriptor* d);

// allowedDepths: bit n set when n bits per pixel are allowed.
int img_check(ImageDescriptor* d, DWORD allowedDepths);
int img_check_8_24(ImageDescriptor* d);
int img_check_1_8_24(ImageDescriptor* d);
int img_check_1_8_16_24(ImageDescriptor* d);

// Width and height of the source rectangle, each cut to the destination rectangle's.
void img_copy_extent(const ImageDescriptor* source, const ImageDescriptor* destination,
                     DWORD* outWidth, DWORD* outHeight);
int dib_color_count(const BITMAPINFOHEADER* header);
int img_grey_step(int bitsPerPixel);
void img_set_grey_palette(ImageDescriptor* d);
int img_is_grey(const ImageDescriptor* d);

// Helpers the codecs share.
inline DWORD img_width(const ImageDescriptor* d) { return static_cast<DWORD>(d->header->biWidth); }
inline DWORD img_height(const ImageDescriptor* d) { return static_cast<DWORD>(d->header->biHeight); }
inline int img_bits(const ImageDescriptor* d) { return d->header->biBitCount; }
inline DWORD img_rect_width(const ImageDescriptor* d) { return d->right - d->left + 1; }
inline DWORD img_rect_height(const ImageDescriptor* d) { return d->bottom - d->top + 1; }
// Image row y, counted from the top.
inline BYTE* img_row(const ImageDescriptor* d, DWORD y) {
  return d->pixels + static_cast<std::size_t>(img_height(d) - 1 - y) * d->rowBytes;
}
// Sets or clears the grey flag as the palette now is (img_is_grey).
inline void img_update_grey_flag(ImageDescriptor* d) {
  if (img_is_grey(d))
    d->flags |= IMG_GREY;
  else
    d->flags &= ~IMG_GREY;
}
