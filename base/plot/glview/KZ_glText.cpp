#include "base/plot/glview/KZ_glText.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"

namespace {

// The font's shapes, in a cell 100 wide with the baseline at y = 0 and capitals 100 high:
// strokes separated by ';', each a line strip of "x,y" points; a stroke starting with 'P'
// is a filled polygon. Lower-case letters use the capitals' shapes.
const char* Shape(unsigned char c) {
  switch (c) {
    case '0':
      return "0,0 80,0 80,100 0,100 0,0;0,0 80,100";
    case '1':
      return "20,80 40,100 40,0;20,0 60,0";
    case '2':
      return "0,100 80,100 80,50 0,50 0,0 80,0";
    case '3':
      return "0,100 80,100 80,0 0,0;0,50 80,50";
    case '4':
      return "0,100 0,50 80,50;80,100 80,0";
    case '5':
      return "80,100 0,100 0,50 80,50 80,0 0,0";
    case '6':
      return "80,100 0,100 0,0 80,0 80,50 0,50";
    case '7':
      return "0,100 80,100 30,0";
    case '8':
      return "0,0 80,0 80,100 0,100 0,0;0,50 80,50";
    case '9':
      return "80,50 0,50 0,100 80,100 80,0 0,0";
    case 'A':
      return "0,0 40,100 80,0;20,50 60,50";
    case 'B':
      return "0,0 0,100 60,100 80,75 60,50 0,50;60,50 80,25 60,0 0,0";
    case 'C':
      return "80,0 0,0 0,100 80,100";
    case 'D':
      return "0,0 0,100 50,100 80,70 80,30 50,0 0,0";
    case 'E':
      return "80,0 0,0 0,100 80,100;0,50 60,50";
    case 'F':
      return "0,0 0,100 80,100;0,50 60,50";
    case 'G':
      return "80,100 0,100 0,0 80,0 80,40 40,40";
    case 'H':
      return "0,0 0,100;80,0 80,100;0,50 80,50";
    case 'I':
      return "40,0 40,100;20,0 60,0;20,100 60,100";
    case 'J':
      return "0,30 0,0 60,0 60,100";
    case 'K':
      return "0,0 0,100;80,100 0,50 80,0";
    case 'L':
      return "0,100 0,0 60,0";
    case 'M':
      return "0,0 0,100 40,50 80,100 80,0";
    case 'N':
      return "0,0 0,100 80,0 80,100";
    case 'O':
      return "0,0 80,0 80,100 0,100 0,0";
    case 'P':
      return "0,0 0,100 80,100 80,50 0,50";
    case 'Q':
      return "0,0 80,0 80,100 0,100 0,0;50,30 80,0";
    case 'R':
      return "0,0 0,100 80,100 80,50 0,50 80,0";
    case 'S':
      return "80,100 0,100 0,50 80,50 80,0 0,0";
    case 'T':
      return "0,100 80,100;40,100 40,0";
    case 'U':
      return "0,100 0,0 80,0 80,100";
    case 'V':
      return "0,100 40,0 80,100";
    case 'W':
      return "0,100 20,0 40,50 60,0 80,100";
    case 'X':
      return "0,0 80,100;0,100 80,0";
    case 'Y':
      return "0,100 40,50 80,100;40,50 40,0";
    case 'Z':
      return "0,100 80,100 0,0 80,0";
    case '.':
      return "P35,0 45,0 45,10 35,10";
    case ',':
      return "45,10 35,-10";
    case '-':
      return "10,50 70,50";
    case '+':
      return "10,50 70,50;40,20 40,80";
    case ':':
      return "40,20 40,30;40,70 40,80";
    case ';':
      return "40,70 40,80;40,30 30,10";
    case '/':
      return "0,0 80,100";
    case '\\':
      return "0,100 80,0";
    case '(':
      return "60,100 30,70 30,30 60,0";
    case ')':
      return "20,100 50,70 50,30 20,0";
    case '[':
      return "60,100 30,100 30,0 60,0";
    case ']':
      return "20,100 50,100 50,0 20,0";
    case '=':
      return "10,35 70,35;10,65 70,65";
    case '_':
      return "0,-10 80,-10";
    case '*':
      return "40,20 40,80;15,35 65,65;15,65 65,35";
    case '%':
      return "0,0 80,100;0,100 0,80 20,80 20,100 0,100;60,0 60,20 80,20 80,0 60,0";
    case '<':
      return "80,100 0,50 80,0";
    case '>':
      return "0,100 80,50 0,0";
    case '\'':
      return "40,100 40,75";
    case '"':
      return "30,100 30,75;50,100 50,75";
    case '#':
      return "20,0 30,100;50,0 60,100;0,35 80,35;0,65 80,65";
    case '|':
      return "40,0 40,100";
    case '!':
      return "40,100 40,30;40,10 40,0";
    case '?':
      return "0,100 80,100 80,50 40,50 40,30;40,10 40,0";
    case '^':
      return "10,70 40,100 70,70";
    case '~':
      return "0,50 20,60 60,40 80,50";
    case '@':
      return "60,30 30,30 30,70 60,70 60,30 80,30 80,100 0,100 0,0 80,0";
    case '&':
      return "80,0 0,80 30,100 50,80 0,30 0,0 50,0 80,40";
    case '$':
      return "80,90 0,90 0,50 80,50 80,10 0,10;40,100 40,0";
    default:
      break;
  }
  if (c >= 'a' && c <= 'z') return Shape(static_cast<unsigned char>(c - 'a' + 'A'));
  return nullptr;
}

// The glyph table in the stroke encoding, built once from the shapes.
struct Font {
  std::array<std::vector<int>, 256> glyphs;
  Font() {
    for (int c = 0; c < 256; ++c) {
      const char* s = Shape(static_cast<unsigned char>(c));
      if (!s) continue;
      std::vector<int>& g = glyphs[c];
      while (*s) {
        int type = 1;
        if (*s == 'P') type = 3, ++s;
        std::vector<int> pts;
        while (*s && *s != ';') {
          int x = 0, y = 0, used = 0;
          if (std::sscanf(s, "%d,%d%n", &x, &y, &used) != 2) break;
          pts.push_back(x);
          pts.push_back(y);
          s += used;
          while (*s == ' ') ++s;
        }
        g.push_back(type);
        g.push_back(static_cast<int>(pts.size() / 2));
        g.insert(g.end(), pts.begin(), pts.end());
        if (*s == ';') ++s;
      }
      g.push_back(-1);
    }
  }
};

const Font& TheFont() {
  static const Font font;
  return font;
}

// One glyph at the current position, then the position moves one cell (100) along x.
void DrawGlyph(unsigned char c) {
  const int* g = KZ_glGlyph(c);
  while (g && *g != -1) {
    const int type = g[0], n = g[1];
    glBegin(type == 1 ? GL_LINE_STRIP : type == 2 ? GL_LINES : GL_POLYGON);
    for (int i = 0; i < n; ++i)
      glVertex2i(static_cast<GLint>(std::lround(g[2 + 2 * i] * 0.75)), g[3 + 2 * i]);
    glEnd();
    g += 2 + 2 * n;
  }
  glTranslatef(100.0f, 0.0f, 0.0f);
}

}  // namespace

const int* KZ_glGlyph(unsigned char c) {
  const std::vector<int>& g = TheFont().glyphs[c];
  return g.empty() ? nullptr : g.data();
}

void KZ_glFontGlyphs() {
  if (glIsList(kFirstGlyphList)) return;
  for (unsigned c = 0; c < 256; ++c) {
    glNewList(kFirstGlyphList + c, GL_COMPILE);
    DrawGlyph(static_cast<unsigned char>(c));
    glEndList();
  }
}

void KZ_glDrawText(double x, double y, double z, const std::string& text, float size,
                   unsigned flags, bool useLists) {
  const double n = static_cast<double>(text.size());
  glPushMatrix();
  const unsigned h = flags & 7, v = flags & 0xF8;
  const double dx = h == 2 ? -n * size : h == 6 ? -n * size / 2 : 0.0;
  const double dy = v == 0 ? -size : v == 24 ? -size / 2.0 : 0.0;
  glTranslated(x + dx, y + dy, z);
  glScaled(size / 100.0, size / 100.0, size);
  if (useLists) {
    KZ_glFontGlyphs();
    glPushAttrib(GL_LIST_BIT);
    glListBase(kFirstGlyphList);
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
    glPopAttrib();
  } else {
    for (unsigned char c : text) DrawGlyph(c);
  }
  glPopMatrix();
}

std::vector<unsigned char> KZ_glReadFrame(int* w, int* h) {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  *w = viewport[2];
  *h = viewport[3];
  if (*w <= 0 || *h <= 0) return {};
  const std::size_t row = ((static_cast<std::size_t>(*w) * 24 + 31) / 32) * 4;
  std::vector<unsigned char> pixels(row * *h);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_SWAP_BYTES, GL_FALSE);
  glPixelStorei(GL_PACK_LSB_FIRST, GL_FALSE);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, *w, *h, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void KZ_glSaveFrameBMP(const std::string& path) {
  int w = 0, h = 0;
  const std::vector<unsigned char> pixels = KZ_glReadFrame(&w, &h);
  std::FILE* f = std::fopen(plat::ResolvePath(path).c_str(), "wb");
  if (!f) return;
  const std::uint32_t image = static_cast<std::uint32_t>(pixels.size());
  unsigned char head[54] = {'B', 'M'};
  le::PutU32(head + 2, 54 + image);
  le::PutU32(head + 10, 54);
  le::PutU32(head + 14, 40);
  le::PutU32(head + 18, static_cast<std::uint32_t>(w));
  le::PutU32(head + 22, static_cast<std::uint32_t>(h));
  le::PutU16(head + 26, 1);
  le::PutU16(head + 28, 24);
  le::PutU32(head + 34, image);
  std::fwrite(head, 1, sizeof head, f);
  if (!pixels.empty()) std::fwrite(pixels.data(), 1, pixels.size(), f);
  std::fclose(f);
}
