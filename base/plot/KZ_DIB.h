// Packed device-independent bitmaps (header, colour table and rows in one memory block)
// as the plot views keep, copy, save and paint their page pictures, and the picture
// files drawn behind plots. A DIB starts with a 40-byte info header; any other header
// size is read as a 12-byte core header (3-byte colour entries).
#pragma once
#include <string>

#include "platform/Gdi.h"
#include "platform/MemBlock.h"

namespace plat {
class CDC;
class File;
}  // namespace plat

// Width and height of a packed DIB (an info header, or a 12-byte core header).
int KZ_DIBWidth(const BYTE* dib);
int KZ_DIBHeight(const BYTE* dib);
// Colour-table entries: biClrUsed of an info header when nonzero, else 2, 16 or 256 for
// 1, 4 and 8 bits per pixel and none for deeper pictures.
int KZ_DIBNumColors(const BYTE* dib);
// The first pixel row: after the header and the colour table.
const BYTE* KZ_FindDIBBits(const BYTE* dib);
BYTE* KZ_FindDIBBits(BYTE* dib);
// A cleared info header for a picture of the size; the depth becomes 1, 4, 8 or 24 bits
// (the smallest that holds `bits`) and the image size that of rows padded to 4 bytes.
void KZ_InitBitmapInfoHeader(BITMAPINFOHEADER* header, int width, int height, int bits);
// A copy of the block (empty for an empty one).
plat::MemBlock KZ_CopyHandle(const plat::MemBlock& block);
// The bitmap as a packed DIB of its own size and depth (24 bits for the true-colour
// bitmaps here); empty when there is no bitmap or its pixels cannot be fetched. The
// palette argument of the display code has no use on true-colour devices.
plat::MemBlock KZ_BitmapToDIB(const plat::CBitmap& bitmap, const void* palette = nullptr);
// Writes the 14-byte "BM" file header and the DIB into an open file. 1 on success; 0 for
// an empty DIB, a core header, a block shorter than its header says, or a failed write.
int KZ_SaveDIB(const plat::MemBlock& dib, plat::File* file);
// Creates the file and writes it with KZ_SaveDIB; 0 when it cannot be created.
int KZ_SaveDIBFile(const plat::MemBlock& dib, const std::string& path);
// Paints the DIB into `destination`: copied unscaled when `source` has the destination's
// size (source rows counted from the top), else the source (or the whole DIB) stretched.
// Returns the drawing call's result; 0 for an empty DIB.
int KZ_PaintDIB(plat::CDC* dc, const RECT* destination, const plat::MemBlock& dib,
                const RECT* source, const void* palette = nullptr);
// Reads a BMP file (a local path or an http/ftp address) into *out. 1 when read; 0 with
// *out empty when the file cannot be opened, does not start with "BM", or its sizes do
// not agree with each other and with the bytes the file holds. Files with the 108- or
// 124-byte info headers of newer writers are read into a 40-byte header (pixels given by
// bit fields become 24-bit rows).
int KZ_ReadDIBFile(plat::MemBlock* out, const std::string& path);
// A ".BMP" path (any case) through KZ_ReadDIBFile, any other through the image library.
// 1 when a picture was loaded, else 0.
int KZ_LoadPicture(plat::MemBlock* out, const std::string& path);
// The picture of the file stretched into the rectangle; nothing, and false, when it
// cannot be loaded.
bool KZ_DrawPictureFile(plat::CDC* dc, const std::string& path, int left, int top, int right,
                        int bottom);
