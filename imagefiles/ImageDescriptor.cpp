#include "imagefiles/ImageDescriptor.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <new>
#include <utility>

#include "imagefiles/img_memory.h"

// The packed DIB is shared with callers as raw bytes in the block, so the header struct
// must have exactly the file layout.
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(std::endian::native == std::endian::little,
              "packed DIBs in memory are little-endian");

void img_zero(ImageDescriptor* d) { *d = ImageDescriptor{}; }

int img_grey_step(int bits) {
  static const int kStep[9] = {255, 255, 85, 36, 17, 8, 4, 2, 1};
  if (bits < 0) return 255;
  return bits > 8 ? 1 : kStep[bits];
}

int dib_color_count(const BITMAPINFOHEADER* h) {
  if (h->biClrUsed != 0) return static_cast<int>(h->biClrUsed);
  if (h->biBitCount >= 16) return 0;
  return 1 << h->biBitCount;
}

namespace {
std::atomic<std::uint64_t> g_maxImageBytes{IMG_DEFAULT_MAX_IMAGE_BYTES};
}  // namespace

void img_set_max_image_bytes(std::uint64_t bytes) { g_maxImageBytes = bytes; }

std::uint64_t img_max_image_bytes() { return g_maxImageBytes; }

std::uint64_t img_dib_bytes(std::uint64_t width, std::uint64_t height, int bits) {
  if (bits == 4) bits = 8;
  if (bits <= 0 || bits > 64) bits = 64;
  // Sizes from 32-bit header fields: the products below stay far from overflowing.
  width = std::min<std::uint64_t>(width, 0xFFFFFFFFu);
  height = std::min<std::uint64_t>(height, 0xFFFFFFFFu);
  const std::uint64_t rowBytes = ((width * static_cast<std::uint64_t>(bits) + 31) >> 3) & ~std::uint64_t{3};
  const std::uint64_t colours = bits < 16 ? (std::uint64_t{1} << bits) : 0;
  return 40 + 4 * colours + rowBytes * height;
}

bool img_size_allowed(std::uint64_t width, std::uint64_t height, int bits, std::uint64_t workBytes) {
  const std::uint64_t limit = g_maxImageBytes;
  return img_dib_bytes(width, height, bits) <= limit && workBytes <= limit;
}

int img_alloc(ImageDescriptor* d, int width, int height, int bits) {
  img_zero(d);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24) return IMG_BAD_DEPTH;
  if (bits == 4) bits = 8;
  if (width <= 0 || height <= 0) return IMG_BAD_ARGUMENT;
  int colors = bits < 16 ? (1 << bits) : 0;
  std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bits + 31) >> 3) & ~std::uint64_t{3};
  std::uint64_t image = rowBytes * static_cast<std::uint64_t>(height);
  // biSizeImage is a 32-bit field; larger images cannot be described.
  if (image > 0x7FFFFFF0u) return IMG_NO_MEMORY;
  if (!img_size_allowed(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), bits))
    return IMG_NO_MEMORY;
  std::size_t total = 40 + 4 * static_cast<std::size_t>(colors) + static_cast<std::size_t>(image);
  ImgMem block = ImgMemAlloc(total);
  BYTE* base = block ? ImgMemLock(block) : nullptr;
  if (!base) {
    ImgMemFree(block);
    return IMG_NO_MEMORY;
  }
  auto* h = new (base) BITMAPINFOHEADER;
  h->biSize = 40;
  h->biWidth = width;
  h->biHeight = height;
  h->biPlanes = 1;
  h->biBitCount = static_cast<WORD>(bits);
  h->biCompression = BI_RGB;
  h->biSizeImage = static_cast<DWORD>(image);
  h->biXPelsPerMeter = 0;
  h->biYPelsPerMeter = 0;
  h->biClrUsed = static_cast<DWORD>(colors);
  h->biClrImportant = static_cast<DWORD>(colors);
  d->header = h;
  d->rowBytes = static_cast<DWORD>(rowBytes);
  d->colorCount = colors;
  d->palette = reinterpret_cast<RGBQUAD*>(base + 40);
  img_set_grey_palette(d);
  d->pixels = base + 40 + 4 * colors;
  d->left = 0;
  d->top = 0;
  d->right = static_cast<DWORD>(width - 1);
  d->bottom = static_cast<DWORD>(height - 1);
  return IMG_OK;
}

int img_alloc_packed(ImageDescriptor* d, int width, int height, int bits) {
  return img_alloc(d, width, height, bits);
}

void img_free(ImageDescriptor* d) {
  if (!d->header) {
    img_zero(d);
    return;
  }
  ImgMem block = ImgMemHandle(d->header);
  if (!block) return;  // not one of our blocks: leave it alone
  ImgMemUnlock(block);
  ImgMemFree(block);
  img_zero(d);
}

void img_set_grey_palette(ImageDescriptor* d) {
  if (!d->header) return;
  int bits = d->header->biBitCount;
  if (bits == 16) {
    d->flags = IMG_GREY;
    return;
  }
  if (!d->palette || bits > 8) return;
  d->flags |= IMG_GREY;
  d->colorCount = dib_color_count(d->header);
  int step = img_grey_step(bits);
  for (int i = 0; i < d->colorCount; ++i) {
    auto v = static_cast<BYTE>(i * step);
    d->palette[i] = RGBQUAD{v, v, v, 0};
  }
}

int img_is_grey(const ImageDescriptor* d) {
  if (!d->header) return 0;
  int bits = d->header->biBitCount;
  if (bits == 16 && d->flags == IMG_GREY) return 1;
  if (d->colorCount == 0 || !d->palette || bits > 16) return 0;
  int step = img_grey_step(bits);
  for (int i = 0; i < d->colorCount; ++i) {
    const RGBQUAD& q = d->palette[i];
    if (q.rgbRed != q.rgbGreen || q.rgbRed != q.rgbBlue) return 0;
  }
  for (int i = 0; i < d->colorCount; ++i) {
    if (d->palette[i].rgbRed != static_cast<BYTE>(i * step)) return 0;
  }
  return 1;
}

int img_check(ImageDescriptor* d, DWORD allowed) {
  if (!d->pixels) return IMG_BAD_POINTER;
  if (!d->header) return IMG_BAD_ARGUMENT;
  // The pixels must lie in the live block that starts at the header, with every row
  // of the image inside it.
  ImgMem block = ImgMemHandle(d->header);
  if (!block) return IMG_BAD_POINTER;
  std::size_t offset = 0;
  if (ImgMemContaining(d->pixels, &offset) != block) return IMG_BAD_POINTER;
  const BITMAPINFOHEADER* h = d->header;
  if (h->biWidth <= 0 || h->biHeight <= 0) return IMG_BAD_ARGUMENT;
  if (offset + static_cast<std::uint64_t>(d->rowBytes) * static_cast<std::uint64_t>(h->biHeight) >
      ImgMemSize(block))
    return IMG_BAD_POINTER;
  if (d->left > d->right) std::swap(d->left, d->right);
  if (d->top > d->bottom) std::swap(d->top, d->bottom);
  DWORD widthLimit = h->biBitCount == 1 ? 65535 : 32768;
  if (d->right >= static_cast<DWORD>(h->biWidth) || d->right >= widthLimit) return IMG_BAD_ARGUMENT;
  if (d->bottom >= static_cast<DWORD>(h->biHeight) || d->bottom >= 32768) return IMG_BAD_ARGUMENT;
  if ((static_cast<std::int64_t>(h->biBitCount) * h->biWidth) / 8 > d->rowBytes) return IMG_BAD_ARGUMENT;
  int result = IMG_OK;
  if (h->biBitCount >= 32 || !(allowed & (1u << h->biBitCount))) result = IMG_BAD_DEPTH;
  if (h->biCompression != 0) return IMG_COMPRESSED;
  return result;
}

int img_check_8_24(ImageDescriptor* d) { return img_check(d, (1u << 8) | (1u << 24)); }
int img_check_1_8_24(ImageDescriptor* d) { return img_check(d, (1u << 1) | (1u << 8) | (1u << 24)); }
int img_check_1_8_16_24(ImageDescriptor* d) {
  return img_check(d, (1u << 1) | (1u << 8) | (1u << 16) | (1u << 24));
}

void img_copy_extent(const ImageDescriptor* s, const ImageDescriptor* t, DWORD* w, DWORD* h) {
  DWORD sw = s->right - s->left + 1, sh = s->bottom - s->top + 1;
  DWORD tw = t->right - t->left + 1, th = t->bottom - t->top + 1;
  *w = sw < tw ? sw : tw;
  *h = sh < th ? sh : th;
}
