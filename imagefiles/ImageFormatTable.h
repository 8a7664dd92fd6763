// The door through which the rest of the program reaches the image codecs: the table
// that maps a file extension to one codec, the dispatchers, and the entry points that
// work on packed DIBs.
#pragma once
#include <string>

#include "imagefiles/ImageDescriptor.h"
#include "platform/MemBlock.h"

namespace plat {
class CDC;
}

using ImageLoadFn = int (*)(const char* path, ImageDescriptor* d);
using ImageSaveFn = int (*)(const char* path, ImageDescriptor* d, int format);
using ImageDescribeFn = int (*)(const char* path, std::string* text);

struct ImageFormatEntry {
  const char* extension;  // with its leading "."
  ImageLoadFn load;
  ImageSaveFn save;
  ImageDescribeFn describe;
};

constexpr int kImageFormatCount = 11;
extern const ImageFormatEntry ImageFormatTable[kImageFormatCount];

// The row whose extension equals the text after the last "." of the path's file-name
// part (case ignored), or null.
const ImageFormatEntry* FindImageFormat(const char* path);

// Loads the file into the descriptor, in the format its extension selects; -11 when none.
int LoadImageFile(const char* path, ImageDescriptor* d);
// Saves the descriptor's working rectangle; `format` is passed on to the codec.
int SaveImageFile(const char* path, ImageDescriptor* d, int format);
// Releases what the descriptor holds, then allocates width x height at the depth; on
// failure the descriptor receives a 512 x 480 8-bit image and the failure is returned.
int AllocImageBuffer(ImageDescriptor* d, int width, int height, int bitsPerPixel);

// Packed DIBs travel in the platform's memory blocks (header, colour table, rows).
// A new packed DIB of the picture in the file, owned by the caller; empty on failure.
plat::MemBlock LoadImageToDIB(const char* path);
// Saves a packed DIB (which stays the caller's) in the format the extension selects;
// 1 on success, 0 on failure (including a failure of the codec's save).
int SaveDIBToImage(const char* path, const plat::MemBlock& dib, int format);
// Converts the DIB into the descriptor (the library's own copy); after a failure the
// descriptor holds no image (null header).
ImageDescriptor* DIBToImageDescriptor(ImageDescriptor* d, const plat::MemBlock& dib);
// Paints the descriptor's image into `destination` (right and bottom exclusive): the
// whole image stretched when `source` is null, the source rectangle (rows counted from
// the top) copied unscaled when it has the destination's size, else stretched. Returns
// the scan lines the drawing call drew (0 when nothing was drawn). `palette` is
// accepted for callers that pass one; the device context has no palettes (it draws
// in true colour), so it is not used.
int PaintDIB(plat::CDC* dc, const RECT* destination, const ImageDescriptor* d, const RECT* source,
             const void* palette = nullptr);
