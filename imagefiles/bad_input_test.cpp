// Damaged files give an error code, never a crash or an allocation that the file cannot
// justify. (This binary also runs under AddressSanitizer.)
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"

namespace {

using codec_test::Bytes;

struct Patch {
  std::size_t offset;
  Bytes bytes;
};

struct BadCase {
  const char* what;
  const char* fixture;
  std::size_t keep;  // bytes kept (0: all)
  std::vector<Patch> patches;
  int result;
};

Bytes U16(unsigned v) { return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8)}; }
Bytes U32(unsigned v) {
  return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 24)};
}

TEST(BadInput, EveryDamagedFileGivesItsErrorCode) {
  const BadCase cases[] = {
      // BMP (pixel data of bmp_24.bmp at 54; bmp_rle8.bmp's at 1078)
      {"bmp cut in the file header", "bmp_24.bmp", 10, {}, IMG_NOT_BMP},
      {"bmp cut in the info header", "bmp_24.bmp", 30, {}, IMG_NOT_BMP},
      {"bmp rows cut short", "bmp_24.bmp", 200, {}, IMG_NOT_BMP},
      {"bmp not BM", "bmp_24.bmp", 0, {{0, {'X', 'M'}}}, IMG_NOT_BMP},
      {"bmp huge width", "bmp_24.bmp", 0, {{18, U32(0x7FFFFFFF)}}, IMG_NOT_BMP},
      {"bmp huge height", "bmp_24.bmp", 0, {{22, U32(0x40000000)}}, IMG_NOT_BMP},
      {"bmp top-down huge height", "bmp_24.bmp", 0, {{22, U32(0x80000001u)}}, IMG_NOT_BMP},
      {"bmp zero width", "bmp_24.bmp", 0, {{18, U32(0)}}, IMG_NOT_BMP},
      {"bmp offset past the end", "bmp_24.bmp", 0, {{10, U32(1000000)}}, IMG_NOT_BMP},
      {"bmp header size past the end", "bmp_24.bmp", 0, {{14, U32(5000)}}, IMG_NOT_BMP},
      {"bmp header size between core and info", "bmp_24.bmp", 0, {{14, U32(20)}}, IMG_NOT_BMP},
      {"bmp colour count past the end", "bmp_8.bmp", 0, {{46, U32(0x7FFFFFFF)}}, IMG_NOT_BMP},
      {"bmp unknown compression", "bmp_24.bmp", 0, {{30, U32(7)}}, IMG_UNSUPPORTED},
      {"bmp 2 bits per pixel", "bmp_8.bmp", 0, {{28, U16(2)}}, IMG_BAD_DEPTH},
      {"rle8 run past the row", "bmp_rle8.bmp", 0, {{1078, {200, 1}}}, IMG_UNSUPPORTED},
      {"rle8 delta code", "bmp_rle8.bmp", 0, {{1078, {0, 2, 1, 1}}}, IMG_UNSUPPORTED},
      {"rle8 data cut before its end", "bmp_rle8.bmp", 1100, {}, IMG_UNSUPPORTED},
      {"rle8 too many pixels for its data", "bmp_rle8.bmp", 0, {{18, U32(30000)}, {22, U32(30000)}}, IMG_NOT_BMP},
      {"bit fields cut off", "bmp_565.bmp", 60, {}, IMG_NOT_BMP},
      // PCX (data at 128)
      {"pcx cut in the header", "pcx_8.pcx", 100, {}, IMG_NOT_PCX},
      {"pcx wrong manufacturer", "pcx_8.pcx", 0, {{0, {11}}}, IMG_NOT_PCX},
      {"pcx wrong encoding", "pcx_8.pcx", 0, {{2, {0}}}, IMG_NOT_PCX},
      {"pcx huge size", "pcx_8.pcx", 0, {{8, U16(65535)}, {10, U16(65535)}, {66, U16(65535)}}, IMG_NOT_PCX},
      {"pcx lines shorter than the width", "pcx_8.pcx", 0, {{66, U16(4)}}, IMG_NOT_PCX},
      {"pcx max below min", "pcx_8.pcx", 0, {{4, U16(20)}}, IMG_NOT_PCX},
      {"pcx two planes", "pcx_8.pcx", 0, {{65, {2}}}, IMG_NOT_PCX},
      {"pcx data cut short", "pcx_24.pcx", 200, {}, IMG_NOT_PCX},
      {"pcx run that never ends", "pcx_1.pcx", 129, {{128, {0xFF}}}, IMG_NOT_PCX},
      // TGA
      {"tga cut in the header", "tga_24.tga", 10, {}, IMG_BAD_TGA},
      {"tga rows cut short", "tga_24.tga", 100, {}, IMG_BAD_TGA},
      {"tga huge size", "tga_24.tga", 0, {{12, U16(65535)}, {14, U16(65535)}}, IMG_BAD_TGA},
      {"tga zero width", "tga_24.tga", 0, {{12, U16(0)}}, IMG_BAD_TGA},
      {"tga id past the end", "tga_grey.tga", 110, {{0, {255}}}, IMG_BAD_TGA},
      {"tga colour map past the end", "tga_map.tga", 0, {{5, U16(65535)}}, IMG_BAD_TGA},
      {"tga interleaved", "tga_24.tga", 0, {{17, {0x40}}}, IMG_BAD_TGA},
      {"tga 12-bit pixels", "tga_24.tga", 0, {{16, {12}}}, IMG_BAD_TGA},
      {"tga run-length data cut short", "tga_24rle.tga", 60, {}, IMG_BAD_TGA},
      {"tga type 12 without footer", "tga_16.tga", 0, {{2, {12}}}, IMG_BAD_TGA},
      // TIFF (rgb_lzw_pred_strips.tif: strip offsets entry at 5096; rgb_lzw.tif: its
      // bits per sample at 11330)
      {"tiff strip offsets as rationals", "tiff/rgb_lzw_pred_strips.tif", 0,
       {{5098, U16(5)}, {5100, U32(3)}}, IMG_CORRUPT_DATA},
      {"tiff 24-bit lzw, first sample 1 bit", "tiff/rgb_lzw.tif", 0, {{11330, U16(1)}},
       IMG_UNSUPPORTED},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes data = codec_test::ReadBytes(codec_test::Fixture(c.fixture));
    ASSERT_FALSE(data.empty());
    for (const Patch& p : c.patches) std::copy(p.bytes.begin(), p.bytes.end(), data.begin() + static_cast<long>(p.offset));
    if (c.keep) data.resize(c.keep);
    std::string name = c.fixture;
    std::string path = std::string(TV_TEST_TMPDIR) + "/bad" + name.substr(name.rfind('.'));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
    ImageDescriptor d;
    EXPECT_EQ(LoadImageFile(path.c_str(), &d), c.result);
    img_free(&d);
    EXPECT_TRUE(LoadImageToDIB(path.c_str()).empty());
  }
}

TEST(BadInput, MissingAndEmptyFiles) {
  for (const char* ext : {".bmp", ".pcx", ".tga", ".bif"}) {
    SCOPED_TRACE(ext);
    std::string missing = std::string(TV_TEST_TMPDIR) + "/missing" + ext;
    ImageDescriptor d;
    EXPECT_EQ(LoadImageFile(missing.c_str(), &d), IMG_OPEN_FAILED);
    img_free(&d);
    std::string empty = std::string(TV_TEST_TMPDIR) + "/empty" + ext;
    std::ofstream(empty, std::ios::binary).close();
    int r = LoadImageFile(empty.c_str(), &d);
    EXPECT_LT(r, 0);
    img_free(&d);
  }
}

}  // namespace
