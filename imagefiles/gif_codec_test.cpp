#include "imagefiles/gif_codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"

namespace {

using namespace codec_test;

TEST(GifCodec, ImageMagickFilesDecodeToThePixelsPillowSees) {
  const auto expected = ReadExpected("gif");
  ASSERT_GE(expected.size(), 8u);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.file);
    ImageDescriptor d;
    ASSERT_EQ(LoadImageFile(Fixture("gif", e.file).c_str(), &d), 0);
    EXPECT_EQ(d.header->biWidth, e.width);
    EXPECT_EQ(d.header->biHeight, e.height);
    EXPECT_EQ(d.header->biBitCount, e.bits);
    EXPECT_EQ(Crc(RgbPixels(d)), e.crc);
    img_free(&d);
  }
  GifInfo info;
  ASSERT_EQ(gif_info(Fixture("gif", "im_89a_interlaced.gif").c_str(), &info), 0);
  EXPECT_EQ(info.version, 89);
  EXPECT_EQ(info.interlace, 1);
  ASSERT_EQ(gif_info(Fixture("gif", "palette.gif").c_str(), &info), 0);
  EXPECT_EQ(info.version, 87);
  EXPECT_EQ(info.codeSize, 5);
  EXPECT_EQ(info.bitsPerPixel, 5);
  EXPECT_EQ(info.transparent, -1);
}

TEST(GifCodec, SavesWhatTheGlueAsksFor) {
  // Options 9: version 87a, interlaced, minimum code size 8, literal 9-bit codes with a
  // clear code before the first pixel and after every 254.
  ImageDescriptor src;
  Synthetic(&src, 31, 20, 8);
  const std::string path = TempPath("saved.gif");
  ASSERT_EQ(gif_save(path.c_str(), &src, 9, -1), 0);
  const Bytes f = ReadBytes(path);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
  const std::size_t desc = 13 + 768;
  ASSERT_EQ(f[desc], 0x2C);
  EXPECT_EQ(f[desc + 9], 0x40);
  EXPECT_EQ(f[desc + 10], 8);
  // 620 pixels: 3 clear codes, the end code, all 9 bits wide.
  std::size_t dataBytes = 0;
  for (std::size_t p = desc + 11; f[p] != 0; p += 1 + f[p]) {
    EXPECT_LE(f[p], 254);
    dataBytes += f[p];
  }
  EXPECT_EQ(dataBytes, (624u * 9 + 7) / 8);
  ImageDescriptor back;
  ASSERT_EQ(LoadImageFile(path.c_str(), &back), 0);
  EXPECT_EQ(RgbPixels(back), RgbPixels(src));
  img_free(&back);

  // Every other option combination reads back; 1-bit images keep their two colours.
  for (int options : {0, 1, 3, 8, 10, 12}) {
    SCOPED_TRACE(options);
    ImageDescriptor img;
    Synthetic(&img, 29, 17, options == 12 ? 8 : 1);
    if (options == 12) {
      img.colorCount = 16;
      for (DWORD y = 0; y < 17; ++y)
        for (DWORD x = 0; x < 29; ++x) img_row(&img, y)[x] &= 15;
    }
    ASSERT_EQ(gif_save(path.c_str(), &img, options, 5), 0);
    GifInfo info;
    ASSERT_EQ(gif_info(path.c_str(), &info), 0);
    EXPECT_EQ(info.version, options & 2 ? 89 : 87);
    EXPECT_EQ(info.transparent, options & 2 ? 5 : -1);
    ImageDescriptor out;
    ASSERT_EQ(LoadImageFile(path.c_str(), &out), 0);
    EXPECT_EQ(RgbPixels(out), RgbPixels(img));
    img_free(&out);
    img_free(&img);
  }

  // Refusals: a transparent colour outside 0 to 255 (no file made), a 16-colour table
  // for more colours, 24-bit images.
  std::remove(path.c_str());
  EXPECT_EQ(gif_save(path.c_str(), &src, 2, 300), IMG_BAD_TRANSPARENT);
  EXPECT_EQ(ReadBytes(path).size(), 0u);
  src.colorCount = 17;
  EXPECT_EQ(gif_save(path.c_str(), &src, 4, -1), IMG_BAD_ARGUMENT);
  ImageDescriptor rgb;
  img_alloc(&rgb, 4, 4, 24);
  EXPECT_EQ(gif_save(path.c_str(), &rgb, 0, -1), IMG_BAD_DEPTH);
  img_free(&rgb);
  img_free(&src);
}

TEST(GifCodec, DamagedFilesGiveCodes) {
  const Bytes good = ReadBytes(Fixture("gif", "im_87a_interlaced.gif"));
  const std::string path = TempPath("damaged.gif");
  struct Case {
    const char* what;
    Bytes file;
    int result;
  };
  Bytes notGif = good;
  notGif[0] = 'J';
  Bytes noImage(good.begin(), good.begin() + 13 + 3 * 128);
  noImage.push_back(0x3B);
  Bytes badCode = good;
  // The first code after the clear code is a string code that cannot exist yet.
  const std::size_t data = 13 + 3 * 128 + 10 + 1;
  badCode[data + 1] = 0x80;
  badCode[data + 2] = 0xFF;
  Bytes badExtension(good.begin(), good.begin() + 13 + 3 * 128);
  badExtension.insert(badExtension.end(), {0x21, 0xFE, 0x05, 'a'});
  const std::vector<Case> cases = {
      {"not GIF", notGif, IMG_NOT_GIF},
      {"empty", {}, IMG_NOT_GIF},
      {"no image", noImage, IMG_NOT_GIF},
      {"cut in the descriptor", Bytes(good.begin(), good.begin() + data - 3), IMG_NOT_GIF},
      {"cut in the image data", Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2)), IMG_CORRUPT_DATA},
      {"corrupt code", badCode, IMG_CORRUPT_DATA},
      {"extension that cannot be skipped", badExtension, IMG_CORRUPT_DATA},
  };
  for (const auto& c : cases) {
    WriteBytes(path, c.file);
    ImageDescriptor d;
    EXPECT_EQ(LoadImageFile(path.c_str(), &d), c.result) << c.what;
    img_free(&d);
  }
  // Rows decoded before the data broke off stay in the image.
  WriteBytes(path, Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2)));
  ImageDescriptor d;
  img_alloc(&d, 41, 77, 8);
  EXPECT_EQ(gif_load(path.c_str(), &d), IMG_CORRUPT_DATA);
  ImageDescriptor full;
  ASSERT_EQ(LoadImageFile(Fixture("gif", "im_87a_interlaced.gif").c_str(), &full), 0);
  EXPECT_EQ(std::memcmp(img_row(&d, 0), img_row(&full, 0), 41), 0);
  EXPECT_EQ(std::memcmp(img_row(&d, 8), img_row(&full, 8), 41), 0);
  img_free(&d);
  img_free(&full);
  // Random damage anywhere in the files.
  std::mt19937 rng(5);
  for (const char* name : {"im_89a_interlaced.gif", "im_bw.gif", "palette.gif"}) {
    const Bytes file = ReadBytes(Fixture("gif", name));
    for (int k = 0; k < 60; ++k) {
      Bytes b = file;
      for (int n = 0; n < 1 + k % 4; ++n) b[rng() % b.size()] ^= static_cast<BYTE>(1 + rng() % 255);
      WriteBytes(path, b);
      ImageDescriptor damaged;
      LoadImageFile(path.c_str(), &damaged);
      img_free(&damaged);
    }
  }
}

}  // namespace

namespace {

// The memory forms read a block as the file forms read a file, and write into a block
// exactly the bytes they write into a file.
TEST(GifCodec, MemoryFormsMatchTheFileForms) {
  for (const auto& e : ReadExpected("gif")) {
    SCOPED_TRACE(e.file);
    const Bytes file = ReadBytes(Fixture("gif", e.file));
    GifInfo fromFile{}, fromMemory{};
    ASSERT_EQ(gif_info(Fixture("gif", e.file).c_str(), &fromFile), 0);
    ASSERT_EQ(gif_read_info(nullptr, file.data(), file.size(), &fromMemory), 0);
    EXPECT_EQ(0, std::memcmp(&fromFile, &fromMemory, sizeof(GifInfo)));
    ImageDescriptor d;
    ASSERT_EQ(img_alloc(&d, fromMemory.width, fromMemory.height, fromMemory.imagerBitsPerPixel), 0);
    ASSERT_EQ(gif_load_stream(nullptr, file.data(), file.size(), &d), 0);
    EXPECT_EQ(Crc(RgbPixels(d)), e.crc);  // the pixels Pillow sees
    img_free(&d);
  }

  // Saved into memory: the file's bytes; loaded back from them: the picture. A 2 x 2
  // two-colour picture makes a block far below 100 bytes, which still loads.
  struct Case {
    int width, height, bits, options, transparent;
  };
  for (const Case c : {Case{31, 20, 8, 9, -1}, Case{17, 9, 1, 0, -1}, Case{12, 7, 8, 2, 3},
                       Case{2, 2, 1, 9, -1}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << ", options " << c.options);
    ImageDescriptor src;
    Synthetic(&src, c.width, c.height, c.bits);
    const std::string path = TempPath("memory_twin.gif");
    ASSERT_EQ(gif_save(path.c_str(), &src, c.options, c.transparent), 0);
    ImgMem block = nullptr;
    ASSERT_EQ(gif_save_stream(nullptr, &block, &src, c.options, c.transparent), 0);
    ASSERT_NE(block, nullptr);
    const BYTE* p = ImgMemLock(block);
    const Bytes saved(p, p + ImgMemSize(block));
    ImgMemUnlock(block);
    EXPECT_EQ(saved, ReadBytes(path));
    ImageDescriptor back;
    ASSERT_EQ(img_alloc(&back, c.width, c.height, c.bits), 0);
    ASSERT_EQ(gif_load_stream(nullptr, saved.data(), saved.size(), &back), 0);
    EXPECT_EQ(RgbPixels(back), RgbPixels(src));
    ImgMemFree(block);
    img_free(&back);
    img_free(&src);
  }

  // No block: -52. A failed save hands back no block.
  GifInfo info{};
  EXPECT_EQ(gif_read_info(nullptr, nullptr, 0, &info), -52);
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 4, 4, 8), 0);
  EXPECT_EQ(gif_load_stream(nullptr, nullptr, 0, &d), -52);
  ImgMem block = reinterpret_cast<ImgMem>(&d);  // anything: must come back null
  EXPECT_EQ(gif_save_stream(nullptr, &block, &d, 2, 300), -5);
  EXPECT_EQ(block, nullptr);
  img_free(&d);
}

}  // namespace
