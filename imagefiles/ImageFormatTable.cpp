#include "imagefiles/ImageFormatTable.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "imagefiles/bmp_codec.h"
#include "imagefiles/dib_convert.h"
#include "imagefiles/gif_codec.h"
#include "imagefiles/img_stream.h"
#include "imagefiles/jpeg_codec.h"
#include "imagefiles/pcx_codec.h"
#include "imagefiles/png_codec.h"
#include "imagefiles/raw_codec.h"
#include "imagefiles/tga_codec.h"
#include "imagefiles/tiff_codec.h"
#include "platform/CDC.h"
#include "platform/Strings.h"

namespace {

using plat::Format;

// ---------------------------------------------------------------- 24-bit pictures
// Formats that hold at most 8 bits get a 24-bit picture as an 8-bit image: with its
// exact colours when it has at most 256, else on a fixed 6 x 7 x 6 colour cube.

int ReduceTo8Bits(ImageDescriptor* s, ImageDescriptor* t) {
  int r = img_check_1_8_24(s);
  if (r) return r;
  DWORD w = img_rect_width(s), h = img_rect_height(s);
  r = img_alloc(t, static_cast<int>(w), static_cast<int>(h), 8);
  if (r) return r;
  std::map<DWORD, int> colours;
  bool exact = true;
  for (DWORD y = 0; y < h && exact; ++y) {
    const BYTE* p = img_row(s, s->top + y) + 3 * s->left;
    for (DWORD x = 0; x < w; ++x, p += 3) {
      DWORD key = p[0] | (p[1] << 8) | (p[2] << 16);
      if (colours.emplace(key, 0).second && colours.size() > 256) {
        exact = false;
        break;
      }
    }
  }
  if (exact) {
    int i = 0;
    for (auto& c : colours) {
      c.second = i;
      t->palette[i] = RGBQUAD{static_cast<BYTE>(c.first), static_cast<BYTE>(c.first >> 8),
                              static_cast<BYTE>(c.first >> 16), 0};
      ++i;
    }
    t->colorCount = i;
  } else {
    int i = 0;
    for (int rr = 0; rr < 6; ++rr)
      for (int gg = 0; gg < 7; ++gg)
        for (int bb = 0; bb < 6; ++bb, ++i)
          t->palette[i] = RGBQUAD{static_cast<BYTE>(bb * 255 / 5), static_cast<BYTE>(gg * 255 / 6),
                                  static_cast<BYTE>(rr * 255 / 5), 0};
    for (; i < 256; ++i) t->palette[i] = RGBQUAD{0, 0, 0, 0};
    t->colorCount = 252;
  }
  for (DWORD y = 0; y < h; ++y) {
    const BYTE* p = img_row(s, s->top + y) + 3 * s->left;
    BYTE* q = img_row(t, y);
    for (DWORD x = 0; x < w; ++x, p += 3) {
      if (exact) {
        q[x] = static_cast<BYTE>(colours[p[0] | (p[1] << 8) | (p[2] << 16)]);
      } else {
        int rr = (p[2] * 5 + 127) / 255, gg = (p[1] * 6 + 127) / 255, bb = (p[0] * 5 + 127) / 255;
        q[x] = static_cast<BYTE>(rr * 42 + gg * 6 + bb);
      }
    }
  }
  img_update_grey_flag(t);
  return IMG_OK;
}

// Raw files carry no palette, so a colour picture is written as its grey levels.
int ReduceToGrey(ImageDescriptor* s, ImageDescriptor* t) {
  int r = img_check_1_8_24(s);
  if (r) return r;
  DWORD w = img_rect_width(s), h = img_rect_height(s);
  r = img_alloc(t, static_cast<int>(w), static_cast<int>(h), 8);
  if (r) return r;
  for (DWORD y = 0; y < h; ++y) {
    const BYTE* p = img_row(s, s->top + y) + 3 * s->left;
    BYTE* q = img_row(t, y);
    for (DWORD x = 0; x < w; ++x, p += 3)
      q[x] = static_cast<BYTE>((299 * p[2] + 587 * p[1] + 114 * p[0] + 500) / 1000);
  }
  return IMG_OK;
}

using SaveBody = int (*)(const char* path, ImageDescriptor* d);

int SaveReduced(const char* path, ImageDescriptor* d, SaveBody body, bool grey) {
  if (!d->header || d->header->biBitCount != 24) return body(path, d);
  ImageDescriptor t;
  int r = grey ? ReduceToGrey(d, &t) : ReduceTo8Bits(d, &t);
  if (r == IMG_OK) r = body(path, &t);
  img_free(&t);
  return r;
}

// ---------------------------------------------------------------- TIFF rows

int TiffLoad(const char* path, ImageDescriptor* d) {
  TiffInfo info{};
  int r = tiff_info(path, &info);
  if (r) return r;
  r = AllocImageBuffer(d, static_cast<int>(info.width), static_cast<int>(info.length),
                       static_cast<int>(info.imagerBitsPerPixel));
  if (r) return r;
  return tiff_load(path, d);
}

int TiffSave(const char* path, ImageDescriptor* d, int format) {
  int code = format >= 1 && format <= 4 ? format : 4;
  // The CCITT codes hold only 1-bit pictures and PackBits no 24-bit ones: others go LZW.
  int bits = d->header ? d->header->biBitCount : 0;
  if (bits == 8 && code > 2) code = 1;
  if (bits == 24) code = 1;
  return tiff_save(path, d, code);
}

int TiffDescribe(const char* path, std::string* text) {
  TiffInfo i{};
  int r = tiff_info(path, &i);
  if (r) return r;
  int pages = 0;
  tiff_page_info(path, &pages, nullptr, 0);
  const char* cls = "";
  if (i.photometric < 2 && i.bitsPerSample == 1) cls = "Bitmapped";
  else if (i.photometric < 2 && i.samplesPerPixel == 1) cls = "Grayscale";
  else if (i.photometric == 2 && i.samplesPerPixel == 3) cls = "RGB";
  else if (i.photometric == 3 && i.samplesPerPixel == 1) cls = "Palette color";
  *text = Format(
      "File name: %s\nImage width: %d, Image length: %d\nBits per sample: %d\nCompression: %u\n"
      "ByteOrder: %x, Samples per pixel: %d\nPhoto interp: %d, Planar config: %d\n"
      "Imager bits per pixel: %d\nPages: %d\n\nClass: %s",
      path, static_cast<int>(i.width), static_cast<int>(i.length), static_cast<int>(i.bitsPerSample),
      static_cast<unsigned>(i.compression), static_cast<unsigned>(i.byteOrder),
      static_cast<int>(i.samplesPerPixel), static_cast<int>(i.photometric),
      static_cast<int>(i.planarConfig), static_cast<int>(i.imagerBitsPerPixel), pages, cls);
  return r;
}

// ---------------------------------------------------------------- PCX rows

int PcxLoad(const char* path, ImageDescriptor* d) {
  PcxInfo info{};
  int r = pcx_info(path, &info);
  if (r) return r;
  r = pcx_mode(&info);  // planes and bits that no image depth holds
  if (r < 0) return r;
  r = AllocImageBuffer(d, info.width, info.height, info.imagerBitsPerPixel);
  if (r) return r;
  return pcx_load(path, d);
}

int PcxSave(const char* path, ImageDescriptor* d, int) { return SaveReduced(path, d, pcx_save, false); }

int PcxDescribe(const char* path, std::string* text) {
  PcxInfo i{};
  int r = pcx_info(path, &i);
  if (r) return r;
  *text = Format(
      "File name: %s\nImage width: %d, Image length: %d\nPlanes: %d\nBits per pixel: %d\n"
      "Version: %d, Bytes per line: %d\nPalette interp: %d\nImager bits per pixel: %d",
      path, i.width, i.height, i.planes, i.bitsPerPixel, i.version, i.bytesPerLine, i.paletteInterp,
      i.imagerBitsPerPixel);
  return r;
}

// ---------------------------------------------------------------- GIF rows

int GifLoad(const char* path, ImageDescriptor* d) {
  GifInfo info{};
  int r = gif_info(path, &info);
  if (r) return r;
  r = AllocImageBuffer(d, info.width, info.height, info.imagerBitsPerPixel);
  if (r) return r;
  return gif_load(path, d);
}

int GifSaveInterlaced(const char* path, ImageDescriptor* d) { return gif_save(path, d, 9, -1); }
int GifSave(const char* path, ImageDescriptor* d, int) { return SaveReduced(path, d, GifSaveInterlaced, false); }

int GifDescribe(const char* path, std::string* text) {
  GifInfo i{};
  int r = gif_info(path, &i);
  if (r) return r;
  *text = Format(
      "File name: %s\nImage width: %d, Image length: %d\nBits per pixel: %d, Code size: %u\n"
      "Interlace flag: %x, GIF version: %d\nTransparent color: %d, Imager bits per pixel: %d",
      path, i.width, i.height, i.bitsPerPixel, static_cast<unsigned>(i.codeSize),
      static_cast<unsigned>(i.interlace), i.version, i.transparent, i.imagerBitsPerPixel);
  return r;
}

// ---------------------------------------------------------------- TGA rows

int TgaLoad(const char* path, ImageDescriptor* d) {
  TgaInfo info{};
  int r = tga_info(path, &info);
  if (r) return r;
  r = AllocImageBuffer(d, info.width, info.height, info.imagerBitsPerPixel);
  if (r) return r;
  return tga_load(path, d);
}

int TgaSave(const char* path, ImageDescriptor* d, int format) {
  return tga_save(path, d, format == 7 || format == 8 ? format - 7 : 0);
}

int TgaDescribe(const char* path, std::string* text) {
  TgaInfo i{};
  int r = tga_info(path, &i);
  if (r) return r;
  *text = Format(
      "File name: %s\nImage width: %d, Image length: %d\nBits per sample: %d\nScreen origin: %d\n"
      "Image type: %d\nImager bits per pixel: %d",
      path, i.width, i.height, i.pixelDepth, i.screenOrigin, i.imageType, i.imagerBitsPerPixel);
  return r;
}

// ---------------------------------------------------------------- BMP rows

int BmpLoad(const char* path, ImageDescriptor* d) {
  BITMAPINFOHEADER h;
  int r = bmp_info(path, &h);
  if (r) return r;
  r = AllocImageBuffer(d, h.biWidth, h.biHeight, h.biBitCount < 16 ? h.biBitCount : 24);
  if (r) return r;
  return bmp_load(path, d);
}

int BmpSave(const char* path, ImageDescriptor* d, int format) {
  return bmp_save(path, d, format == 9 || format == 10 ? format - 9 : 0);
}

int BmpDescribe(const char* path, std::string* text) {
  BITMAPINFOHEADER h;
  int r = bmp_info(path, &h);
  if (r) return r;
  *text = Format(
      "File name: %s\nImage width: %ld, Image length: %ld\nPlanes: %d\nBitCount: %d\n"
      "Header size: %ld\nCompression: %ld, Image size: %ld\nColors used: %ld, Colors Important: %ld",
      path, static_cast<long>(h.biWidth), static_cast<long>(h.biHeight), h.biPlanes, h.biBitCount,
      static_cast<long>(h.biSize), static_cast<long>(h.biCompression), static_cast<long>(h.biSizeImage),
      static_cast<long>(h.biClrUsed), static_cast<long>(h.biClrImportant));
  return r;
}

// ---------------------------------------------------------------- JPEG rows

int JpegLoad(const char* path, ImageDescriptor* d) {
  JpegInfo info{};
  int r = jpeg_info(path, &info);
  if (r) return r;
  r = AllocImageBuffer(d, info.width, info.height, info.imagerBitsPerPixel);
  if (r) return r;
  return jpeg_load(path, d);
}

int JpegSave(const char* path, ImageDescriptor* d, int format) {
  return jpeg_save(path, d, format > 5 ? format : 75, 2);
}

int JpegDescribe(const char* path, std::string* text) {
  JpegInfo i{};
  int r = jpeg_info(path, &i);
  if (r) return r;
  std::string type = i.process >= 0 ? Format("SOF%d", i.process) : std::string("Unknown");
  *text = Format(
      "File name: %s\nFile type: %s\nImage width: %d, Image length: %d\nComponents: %d\n"
      "Sample precision: %d\nImager bits per pixel: %d\nSampling factors",
      path, type.c_str(), i.width, i.height, i.components, i.precision, i.imagerBitsPerPixel);
  for (int c = 0; c < i.components && c < 4; ++c)
    *text += Format("\n\tComp %d:  %x", c + 1, static_cast<unsigned>(i.sampling[c]));
  return r;
}

// ---------------------------------------------------------------- raw rows

int RawLoad(const char* path, ImageDescriptor* d) {
  // The raw format has no dimensions: the caller supplies the image.
  if (!file_exists(path)) return IMG_OPEN_FAILED;
  return raw_load(path, d);
}

int RawSave(const char* path, ImageDescriptor* d, int) { return SaveReduced(path, d, raw_save, true); }

int RawDescribe(const char* path, std::string* text) {
  if (!file_exists(path)) return IMG_OPEN_FAILED;
  *text = Format("No information is available for %s", path);
  return IMG_OK;
}

// ---------------------------------------------------------------- PNG rows

int PngLoad(const char* path, ImageDescriptor* d) {
  PngInfo info{};
  int r = png_info(path, &info);
  if (r) return r;
  r = AllocImageBuffer(d, static_cast<int>(info.width), static_cast<int>(info.height),
                       static_cast<int>(info.imagerBitsPerPixel));
  if (r) return r;
  return png_load(path, d);
}

int PngSave(const char* path, ImageDescriptor* d, int) { return png_save(path, d, 0); }

int PngDescribe(const char* path, std::string* text) {
  PngInfo i{};
  int r = png_info(path, &i);
  if (r) return r;
  *text = Format(
      "File name: %s\nImage width: %d, Image length: %d\nImageId: %d\n"
      "Color type: %d, bit depth: %d, channels: %d\nInterlace: %d\nImager bits per pixel: %d",
      path, static_cast<int>(i.width), static_cast<int>(i.height), static_cast<int>(i.combination),
      static_cast<int>(i.colorType), static_cast<int>(i.bitDepth), static_cast<int>(i.channels),
      static_cast<int>(i.interlace), static_cast<int>(i.imagerBitsPerPixel));
  return r;
}

// ---------------------------------------------------------------- EPS row

int EpsSave(const char* path, ImageDescriptor* d, int) { return SaveReduced(path, d, eps_save, false); }

}  // namespace

const ImageFormatEntry ImageFormatTable[kImageFormatCount] = {
    {".cb", TiffLoad, TiffSave, TiffDescribe},   {".ct", TiffLoad, TiffSave, TiffDescribe},
    {".tif", TiffLoad, TiffSave, TiffDescribe},  {".pcx", PcxLoad, PcxSave, PcxDescribe},
    {".gif", GifLoad, GifSave, GifDescribe},     {".tga", TgaLoad, TgaSave, TgaDescribe},
    {".bmp", BmpLoad, BmpSave, BmpDescribe},     {".jpg", JpegLoad, JpegSave, JpegDescribe},
    {".bif", RawLoad, RawSave, RawDescribe},     {".png", PngLoad, PngSave, PngDescribe},
    {".eps", nullptr, EpsSave, nullptr},
};

const ImageFormatEntry* FindImageFormat(const char* path) {
  if (!path) return nullptr;
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  const char* dot = std::strrchr(name, '.');
  if (!dot) return nullptr;
  for (const ImageFormatEntry& e : ImageFormatTable) {
    if (plat::EqualsNoCase(dot, e.extension)) return &e;
  }
  return nullptr;
}

int LoadImageFile(const char* path, ImageDescriptor* d) {
  const ImageFormatEntry* e = FindImageFormat(path);
  if (!e || !e->load) return IMG_NO_FORMAT;
  return e->load(path, d);
}

int SaveImageFile(const char* path, ImageDescriptor* d, int format) {
  const ImageFormatEntry* e = FindImageFormat(path);
  if (!e || !e->save) return IMG_NO_FORMAT;
  return e->save(path, d, format);
}

int AllocImageBuffer(ImageDescriptor* d, int width, int height, int bits) {
  img_free(d);
  int r = img_alloc(d, width, height, bits);
  if (r != IMG_OK) img_alloc(d, 512, 480, 8);
  return r;
}

plat::MemBlock LoadImageToDIB(const char* path) {
  ImageDescriptor d;
  if (LoadImageFile(path, &d) != IMG_OK) {
    img_free(&d);
    return {};
  }
  BITMAPINFOHEADER* h = nullptr;
  int r = img_to_dib(&d, &h);
  img_free(&d);
  if (r != IMG_OK || !h) return {};
  ImgMem block = ImgMemHandle(h);
  plat::MemBlock dib(reinterpret_cast<const BYTE*>(h), ImgMemSize(block));
  ImgMemFree(block);
  return dib;
}

int SaveDIBToImage(const char* path, const plat::MemBlock& dib, int format) {
  if (dib.empty()) return 0;
  ImageDescriptor d;
  int r = dib_to_img(reinterpret_cast<const BITMAPINFOHEADER*>(dib.data()), dib.Size(), &d);
  if (r == IMG_OK) r = SaveImageFile(path, &d, format);
  img_free(&d);
  return r == IMG_OK ? 1 : 0;
}

ImageDescriptor* DIBToImageDescriptor(ImageDescriptor* d, const plat::MemBlock& dib) {
  img_zero(d);
  if (dib.empty()) return d;
  if (dib_to_img(reinterpret_cast<const BITMAPINFOHEADER*>(dib.data()), dib.Size(), d) != IMG_OK) img_zero(d);
  return d;
}

int PaintDIB(plat::CDC* dc, const RECT* destination, const ImageDescriptor* d, const RECT* source, const void*) {
  if (!dc || !destination || !d || !d->header || !d->pixels) return 0;
  // Sizes as the 16-bit fields of the drawing calls see them.
  int width = static_cast<WORD>(d->header->biWidth);
  int height = static_cast<WORD>(d->header->biHeight);
  const BYTE* info = reinterpret_cast<const BYTE*>(d->header);
  int dw = destination->right - destination->left, dh = destination->bottom - destination->top;
  dc->SetStretchBltMode(COLORONCOLOR);
  if (!source) {
    return dc->StretchDIBits(destination->left, destination->top, dw, dh, 0, 0, width, height, d->pixels, info,
                             DIB_RGB_COLORS, SRCCOPY);
  }
  int sw = source->right - source->left, sh = source->bottom - source->top;
  if (sw == dw && sh == dh) {
    return dc->SetDIBitsToDevice(destination->left, destination->top, static_cast<DWORD>(dw),
                                 static_cast<DWORD>(dh), source->left, height - source->bottom, 0,
                                 static_cast<UINT>(height), d->pixels, info, DIB_RGB_COLORS);
  }
  return dc->StretchDIBits(destination->left, destination->top, dw, dh, source->left, height - source->bottom, sw,
                           sh, d->pixels, info, DIB_RGB_COLORS, SRCCOPY);
}
