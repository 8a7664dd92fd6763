#include "imagefiles/png_codec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"

namespace {

using namespace codec_test;

// The file, chunk by chunk, with its CRCs computed.
Bytes Chunk(const char* type, const Bytes& data) {
  Bytes c;
  c.reserve(12 + data.size());
  for (int shift = 24; shift >= 0; shift -= 8) c.push_back(static_cast<BYTE>(data.size() >> shift));
  for (int i = 0; i < 4; ++i) c.push_back(static_cast<BYTE>(type[i]));
  for (BYTE v : data) c.push_back(v);
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(crc32(0, reinterpret_cast<const BYTE*>(type), 4),
                                                             data.data(), static_cast<uInt>(data.size())));
  c.insert(c.end(), {static_cast<BYTE>(crc >> 24), static_cast<BYTE>(crc >> 16),
                     static_cast<BYTE>(crc >> 8), static_cast<BYTE>(crc)});
  return c;
}

Bytes Ihdr(std::uint32_t w, std::uint32_t h, int depth, int type, int compression = 0,
           int filter = 0, int interlace = 0) {
  return Chunk("IHDR", {static_cast<BYTE>(w >> 24), static_cast<BYTE>(w >> 16), static_cast<BYTE>(w >> 8),
                        static_cast<BYTE>(w), static_cast<BYTE>(h >> 24), static_cast<BYTE>(h >> 16),
                        static_cast<BYTE>(h >> 8), static_cast<BYTE>(h), static_cast<BYTE>(depth),
                        static_cast<BYTE>(type), static_cast<BYTE>(compression),
                        static_cast<BYTE>(filter), static_cast<BYTE>(interlace)});
}

Bytes Zlib(const Bytes& raw) {
  uLongf n = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(n);
  compress(out.data(), &n, raw.data(), static_cast<uLong>(raw.size()));
  out.resize(n);
  return out;
}

Bytes Png(std::initializer_list<Bytes> chunks) {
  Bytes f = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (const auto& c : chunks) f.insert(f.end(), c.begin(), c.end());
  return f;
}

// A valid 4 x 2 grey 8-bit file: rows of filter None.
Bytes GreyRaw() { return {0, 1, 2, 3, 4, 0, 5, 6, 7, 8}; }

int LoadBytes(const Bytes& file, ImageDescriptor* d, int* detail) {
  const std::string path = TempPath("case.png");
  WriteBytes(path, file);
  const int r = LoadImageFile(path.c_str(), d);
  *detail = png_last_error();
  return r;
}

TEST(PngCodec, FixturesDecodeToThePixelsPillowSees) {
  const auto expected = ReadExpected("png");
  ASSERT_GE(expected.size(), 30u);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.file);
    ImageDescriptor d;
    ASSERT_EQ(LoadImageFile(Fixture("png", e.file).c_str(), &d), 0) << png_last_error();
    EXPECT_EQ(d.header->biWidth, e.width);
    EXPECT_EQ(d.header->biHeight, e.height);
    EXPECT_EQ(d.header->biBitCount, e.bits);
    EXPECT_EQ(Crc(RgbPixels(d)), e.crc);
    img_free(&d);
  }
}

TEST(PngCodec, InformationRecord) {
  PngInfo info;
  ASSERT_EQ(png_info(Fixture("png", "basi2c08.png").c_str(), &info), 0);
  EXPECT_EQ(info.width, 32u);
  EXPECT_EQ(info.colorType, 2u);
  EXPECT_EQ(info.bitDepth, 8u);
  EXPECT_EQ(info.interlace, 1u);
  EXPECT_EQ(info.combination, 5u);
  EXPECT_EQ(info.channels, 3u);
  EXPECT_EQ(info.bitsPerPixel, 24u);
  EXPECT_EQ(info.bytesPerRow, 96u);
  EXPECT_EQ(info.imagerBitsPerPixel, 24u);
  EXPECT_EQ(info.gamma, 100000u);  // the suite's gAMA 1.0
  ASSERT_EQ(png_info(Fixture("png", "basn3p08.png").c_str(), &info), 0);
  EXPECT_EQ(info.combination, 10u);
  RGBQUAD pal[256];
  EXPECT_EQ(png_read_palette(Fixture("png", "basn3p08.png").c_str(), pal), 256);
  EXPECT_EQ(png_read_palette(Fixture("png", "basn2c08.png").c_str(), pal), 0);
}

TEST(PngCodec, BadFilesFailWithTheirDetailCodes) {
  const Bytes idat = Chunk("IDAT", Zlib(GreyRaw()));
  const Bytes iend = Chunk("IEND", {});
  const Bytes good = Png({Ihdr(4, 2, 8, 0), idat, iend});
  ImageDescriptor d;
  int detail = 0;
  ASSERT_EQ(LoadBytes(good, &d, &detail), 0);
  img_free(&d);

  auto flip = [&](std::size_t at) {
    Bytes b = good;
    b[at] ^= 0x40;
    return b;
  };
  Bytes shortStream = Png({Ihdr(4, 2, 8, 0), Chunk("IDAT", Zlib({0, 1, 2, 3, 4})), iend});
  Bytes garbage = Png({Ihdr(4, 2, 8, 0), Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF}), iend});
  Bytes trailing = Zlib(GreyRaw());
  trailing.insert(trailing.end(), {1, 2, 3});
  Bytes hugeChunk = Png({Ihdr(4, 2, 8, 0), Bytes{0x7F, 0xFF, 0xFF, 0xF0, 't', 'E', 'X', 't'}});
  struct Case {
    const char* what;
    Bytes file;
    int detail;
  };
  const std::vector<Case> cases = {
      {"empty", {}, -113},
      {"signature", flip(1), -110},
      {"IHDR CRC", flip(20), -111},
      {"IHDR length", Png({Chunk("IHDR", Bytes(12, 1)), idat, iend}), -102},
      {"depth 3", Png({Ihdr(4, 2, 3, 0), idat, iend}), -103},
      {"colour type 5", Png({Ihdr(4, 2, 8, 5), idat, iend}), -104},
      {"palette of 16 bits", Png({Ihdr(4, 2, 16, 3), idat, iend}), -105},
      {"interlace 2", Png({Ihdr(4, 2, 8, 0, 0, 0, 2), idat, iend}), -106},
      {"compression 1", Png({Ihdr(4, 2, 8, 0, 1), idat, iend}), -107},
      {"filter method 1", Png({Ihdr(4, 2, 8, 0, 0, 1), idat, iend}), -108},
      {"width 0", Png({Ihdr(0, 2, 8, 0), idat, iend}), -109},
      {"wider than an image can be", Png({Ihdr(100000, 2, 8, 0), idat, iend}), -109},
      {"unknown critical chunk", Png({Ihdr(4, 2, 8, 0), Chunk("CRIT", {1}), idat, iend}), -100},
      {"PLTE CRC", [&] {
         Bytes b = Png({Ihdr(4, 2, 8, 3), Chunk("PLTE", Bytes(9, 7)), idat, iend});
         b[33 + 8] ^= 1;
         return b;
       }(), -111},
      {"IDAT CRC", [&] {
         Bytes b = good;
         b[33 + idat.size() - 1] ^= 1;  // the chunk's own CRC
         return b;
       }(), -111},
      {"image data too short", shortStream, -112},
      {"inflate error", garbage, -115},
      {"data behind the stream", Png({Ihdr(4, 2, 8, 0), Chunk("IDAT", trailing), iend}), -112},
      {"chunk longer than the file", hugeChunk, -113},
      {"cut in the image data", Bytes(good.begin(), good.begin() + 40), -113},
      {"cut before IEND", Bytes(good.begin(), good.end() - 12), -113},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(LoadBytes(c.file, &d, &detail), IMG_PNG_ERROR) << c.what;
    EXPECT_EQ(detail, c.detail) << c.what;
    img_free(&d);
  }
  // A broken image-data CRC fails only the load; the information call never reads it.
  Bytes b = good;
  b[33 + idat.size() - 5] ^= 1;
  WriteBytes(TempPath("idat.png"), b);
  PngInfo info;
  EXPECT_EQ(png_info(TempPath("idat.png").c_str(), &info), 0);
}

TEST(PngCodec, CutAndCorruptedCopiesGiveCodes) {
  // Chunk CRCs catch corruption, so the bytes are changed and the CRCs mended: the
  // decoder itself must cope with whatever the chunks then hold.
  std::mt19937 rng(7);
  const std::string path = TempPath("corrupt.png");
  for (const char* name : {"g_rgba16.png", "g_pal4_i.png", "basi2c08.png", "g_grey1_i.png"}) {
    const Bytes good = ReadBytes(Fixture("png", name));
    for (int k = 0; k < 60; ++k) {
      Bytes b = good;
      if (k < 20) {
        b.resize(good.size() * static_cast<std::size_t>(k) / 20);
      } else {
        for (int n = 0; n < 1 + k % 3; ++n) b[8 + rng() % (b.size() - 8)] ^= static_cast<BYTE>(1 + rng() % 255);
        for (std::size_t p = 8; p + 12 <= b.size();) {
          const std::size_t len = (std::size_t{b[p]} << 24) | (b[p + 1] << 16) | (b[p + 2] << 8) | b[p + 3];
          if (len > b.size() - p - 12) break;
          const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, &b[p + 4], static_cast<uInt>(len + 4)));
          for (int i = 0; i < 4; ++i) b[p + 8 + len + i] = static_cast<BYTE>(crc >> (24 - 8 * i));
          p += 12 + len;
        }
      }
      WriteBytes(path, b);
      ImageDescriptor d;
      const int r = LoadImageFile(path.c_str(), &d);
      if (k < 20) {
        EXPECT_NE(r, 0) << name << " cut at " << b.size();
      }
      img_free(&d);
    }
  }
}

TEST(PngCodec, PaletteLongerThanTheDepthStaysInTheTable) {
  // A 1-bit file whose PLTE holds 256 entries: the image keeps two, its pixels intact.
  Bytes plte(768);
  for (std::size_t i = 0; i < plte.size(); ++i) plte[i] = static_cast<BYTE>(i * 7);
  const Bytes file = Png({Ihdr(8, 1, 1, 3), Chunk("PLTE", plte), Chunk("IDAT", Zlib({0, 0xA5})), Chunk("IEND", {})});
  ImageDescriptor d;
  int detail = 0;
  ASSERT_EQ(LoadBytes(file, &d, &detail), 0);
  EXPECT_EQ(d.colorCount, 2);
  EXPECT_EQ(img_row(&d, 0)[0], 0xA5);
  EXPECT_EQ(d.palette[1].rgbRed, 21);
  img_free(&d);
}

// The image data of a PNG file, inflated.
Bytes ImageData(const Bytes& file) {
  Bytes z;
  for (std::size_t p = 8; p + 12 <= file.size();) {
    const std::size_t n = (std::size_t{file[p]} << 24) | (file[p + 1] << 16) | (file[p + 2] << 8) | file[p + 3];
    if (std::equal(file.begin() + static_cast<long>(p) + 4, file.begin() + static_cast<long>(p) + 8, "IDAT"))
      z.insert(z.end(), file.begin() + static_cast<long>(p) + 8, file.begin() + static_cast<long>(p + 8 + n));
    p += 12 + n;
  }
  Bytes raw(1 << 20);
  uLongf n = raw.size();
  uncompress(raw.data(), &n, z.data(), static_cast<uLong>(z.size()));
  raw.resize(n);
  return raw;
}

TEST(PngCodec, SavedFilesPassPngcheckAndLoadBack) {
  const bool pngcheck = HaveTool("pngcheck");
  struct Case {
    int bits;
    bool grey;
    int options;
    int colourType;
    int filter;  // every row's filter byte, -1 when adaptive
  };
  const std::vector<Case> cases = {
      {1, false, 0, 3, 0},  {1, false, 1, 3, 0},   {8, false, 0, 3, 0}, {8, false, 5, 3, 0},
      {8, true, 0, 0, -1},  {8, true, 1, 0, -1},   {8, true, 4, 0, 1},  {8, true, 12, 0, 0},
      {24, false, 0, 2, -1}, {24, false, 1, 2, -1}, {24, false, 6, 2, 2}, {24, false, 8, 2, 3},
      {24, false, 10, 2, 4}, {24, false, 3, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, options " << c.options);
    ImageDescriptor src;
    Synthetic(&src, 37, 23, c.bits, c.grey);
    const std::string path = TempPath("saved.png");
    ASSERT_EQ(png_save(path.c_str(), &src, c.options), 0);
    const Bytes file = ReadBytes(path);
    EXPECT_EQ(file[25], c.colourType);
    EXPECT_EQ(file[28], c.options & 1);
    if (!(c.options & 1)) {
      const Bytes raw = ImageData(file);
      const std::size_t stride = raw.size() / 23;
      ASSERT_EQ(stride * 23, raw.size());
      if (c.filter >= 0) {
        for (std::size_t y = 0; y < 23; ++y) {
          EXPECT_EQ(raw[y * stride], c.filter) << "row " << y;
        }
      }
    }
    if (pngcheck) {
      std::string out;
      EXPECT_EQ(RunTool("pngcheck -q " + path, &out), 0) << out;
    }
    ImageDescriptor back;
    ASSERT_EQ(LoadImageFile(path.c_str(), &back), 0);
    EXPECT_EQ(RgbPixels(back), RgbPixels(src));
    img_free(&back);
    img_free(&src);
  }
  if (!pngcheck) GTEST_SKIP() << "pngcheck not installed: saved files loaded back but not checked by it";
}

TEST(PngCodec, LoadAndSaveUseTheWorkingRectangle) {
  // Saving a rectangle writes only it; loading into a smaller image takes the top left.
  ImageDescriptor src;
  Synthetic(&src, 40, 30, 24);
  src.left = 5;
  src.top = 7;
  src.right = 24;
  src.bottom = 18;
  ASSERT_EQ(png_save(TempPath("rect.png").c_str(), &src, 1), 0);
  PngInfo info;
  ASSERT_EQ(png_info(TempPath("rect.png").c_str(), &info), 0);
  EXPECT_EQ(info.width, 20u);
  EXPECT_EQ(info.height, 12u);
  ImageDescriptor small;
  img_alloc(&small, 8, 6, 24);
  ASSERT_EQ(png_load(TempPath("rect.png").c_str(), &small), 0);
  for (int y = 0; y < 6; ++y)
    EXPECT_EQ(0, std::memcmp(img_row(&small, static_cast<DWORD>(y)),
                             img_row(&src, static_cast<DWORD>(y + 7)) + 3 * 5, 3 * 8));
  // An image of another depth than the file's is refused.
  ImageDescriptor grey;
  img_alloc(&grey, 20, 12, 8);
  EXPECT_EQ(png_load(TempPath("rect.png").c_str(), &grey), IMG_BAD_DEPTH);
  // 16-bit images cannot be saved.
  ImageDescriptor deep;
  img_alloc(&deep, 4, 4, 16);
  EXPECT_EQ(png_save(TempPath("deep.png").c_str(), &deep, 0), IMG_BAD_DEPTH);
  img_free(&src);
  img_free(&small);
  img_free(&grey);
  img_free(&deep);
}


// The memory forms read a block as the file forms read a file, and write into a block
// exactly the bytes they write into a file.
TEST(PngCodec, MemoryFormsMatchTheFileForms) {
  for (const auto& e : ReadExpected("png")) {
    SCOPED_TRACE(e.file);
    const Bytes file = ReadBytes(Fixture("png", e.file));
    PngInfo fromFile{}, fromMemory{};
    ASSERT_EQ(png_info(Fixture("png", e.file).c_str(), &fromFile), 0);
    ASSERT_EQ(png_read_info(nullptr, file.data(), file.size(), &fromMemory), 0);
    EXPECT_EQ(0, std::memcmp(&fromFile, &fromMemory, sizeof(PngInfo)));
    ImageDescriptor d;
    ASSERT_EQ(img_alloc(&d, static_cast<int>(fromMemory.width), static_cast<int>(fromMemory.height),
                        static_cast<int>(fromMemory.imagerBitsPerPixel)),
              0);
    ASSERT_EQ(png_load_stream(nullptr, file.data(), file.size(), &d), 0) << png_last_error();
    EXPECT_EQ(Crc(RgbPixels(d)), e.crc);  // the pixels Pillow sees, palette included
    img_free(&d);
  }

  struct Case {
    int bits;
    bool grey;
    int options;
  };
  for (const Case c : {Case{1, false, 0}, Case{8, false, 1}, Case{8, true, 0}, Case{24, false, 1}}) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, options " << c.options);
    ImageDescriptor src;
    Synthetic(&src, 37, 23, c.bits, c.grey);
    const std::string path = TempPath("memory_twin.png");
    ASSERT_EQ(png_save(path.c_str(), &src, c.options), 0);
    ImgMem block = nullptr;
    ASSERT_EQ(png_save_stream(nullptr, &block, &src, c.options), 0);
    ASSERT_NE(block, nullptr);
    const BYTE* p = ImgMemLock(block);
    const Bytes saved(p, p + ImgMemSize(block));
    ImgMemUnlock(block);
    EXPECT_EQ(saved, ReadBytes(path));
    ImageDescriptor back;
    ASSERT_EQ(img_alloc(&back, 37, 23, c.bits), 0);
    ASSERT_EQ(png_load_stream(nullptr, saved.data(), saved.size(), &back), 0);
    EXPECT_EQ(RgbPixels(back), RgbPixels(src));
    ImgMemFree(block);
    img_free(&back);
    img_free(&src);
  }

  // A block cut short fails as a cut file does; no block at all cannot be read.
  const Bytes file = ReadBytes(Fixture("png", "basn2c08.png"));
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 32, 32, 24), 0);
  EXPECT_EQ(png_load_stream(nullptr, file.data(), file.size() / 2, &d), -63);
  PngInfo info{};
  EXPECT_NE(png_read_info(nullptr, nullptr, 0, &info), 0);
  img_free(&d);
}

}  // namespace
