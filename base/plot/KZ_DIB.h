// Packed device-independent bitmaps (header, colour table and rows in one memory block)
// as the plot views keep, copy, save and paint their page pictures.
#pragma once
#include <string>

#include "platform/Gdi.h"
#include "platform/MemBlock.h"

namespace plat {
class CDC;
}

// Width and height of a packed DIB (an info header, or a 12-byte core header).
int KZ_DIBWidth(const BYTE* dib);
int KZ_DIBHeight(const BYTE* dib);
// A copy of the block (empty for an empty one).
plat::MemBlock KZ_CopyHandle(const plat::MemBlock& block);
// The bitmap as a packed DIB of its own size (24 bits per pixel); empty when there is
// no bitmap. The palette argument of the display code has no use on true-colour devices.
plat::MemBlock KZ_BitmapToDIB(const plat::CBitmap& bitmap, const void* palette = nullptr);
// A 14-byte "BM" file header followed by the packed DIB; 0 for an empty DIB, a core
// header or a file that cannot be written, else 1.
int KZ_SaveDIBFile(const plat::MemBlock& dib, const std::string& path);
// Paints the DIB into `destination`: copied unscaled when `source` has the destination's
// size (source rows counted from the top), else the source (or the whole DIB) stretched.
// Returns the drawing call's result; 0 for an empty DIB.
int KZ_PaintDIB(plat::CDC* dc, const RECT* destination, const plat::MemBlock& dib,
                const RECT* source, const void* palette = nullptr);
