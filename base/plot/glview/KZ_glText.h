// Text in the 3-D scene with a built-in stroke font kept in display lists 1400..1655,
// and a snapshot of the current frame as a 24-bit BMP file. Both work on the OpenGL
// context that is current (a KZ_glView's after its MakeCurrent).
#pragma once
#include <string>
#include <vector>

// Display list of character c is kFirstGlyphList + c.
constexpr unsigned kFirstGlyphList = 1400;

// Glyph data of character c (null when the font has none): strokes of a 32-bit type
// (1 line strip, 2 separate segments, other: filled polygon), a 32-bit point count n and
// n (x, y) pairs in a cell 100 units wide; a type of -1 ends the glyph.
const int* KZ_glGlyph(unsigned char c);

// Text at (x, y, z), `size` units per character; alignment flags as for device-context
// text: flags & 7 is 2 right, 6 centre, else left; flags & 0xF8 is 0 top, 24 baseline,
// else bottom. With `useLists` the glyphs are drawn through their display lists.
void KZ_glDrawText(double x, double y, double z, const std::string& text, float size,
                   unsigned flags, bool useLists);
// Compiles the 256 glyph lists unless list 1400 already exists.
void KZ_glFontGlyphs();
// Writes the current viewport's pixels as a bottom-up 24-bit BMP file; nothing when the
// file cannot be created.
void KZ_glSaveFrameBMP(const std::string& path);
// The current viewport's pixels: bottom-up BGR rows padded to 4 bytes; width and height
// in *w and *h.
std::vector<unsigned char> KZ_glReadFrame(int* w, int* h);
