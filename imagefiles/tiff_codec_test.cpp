#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "imagefiles/ImageFormatTable.h"
#include "imagefiles/codec_test_support.h"
#include "imagefiles/tiff_codec.h"
#include "imagefiles/tiff_internal.h"
#include "platform/ByteOrder.h"

namespace {

using namespace codec_test;

// Loads a TIFF file as the extension table does: information, image, pixels.
int Load(const std::string& path, ImageDescriptor* d) {
  TiffInfo info;
  if (int r = tiff_info(path.c_str(), &info)) return r;
  if (int r = AllocImageBuffer(d, static_cast<int>(info.width), static_cast<int>(info.length),
                               static_cast<int>(info.imagerBitsPerPixel)))
    return r;
  return tiff_load(path.c_str(), d);
}

TiffDirectory FirstDirectory(const std::string& path) {
  StreamBinding b;
  EXPECT_EQ(stream_open_read(&b, path.c_str(), nullptr, 0), 0);
  TiffReader reader(&b);
  TiffDirectory dir;
  EXPECT_EQ(reader.tiff_find_page(-1, false, &dir), 0);
  stream_close(&b);
  return dir;
}

TEST(TiffRead, FixturesDecodeToThePixelsPillowSees) {
  const auto expected = ReadExpected("tiff");
  ASSERT_GE(expected.size(), 25u);
  for (const auto& e : expected) {
    SCOPED_TRACE(e.file);
    ImageDescriptor d;
    ASSERT_EQ(Load(Fixture("tiff", e.file), &d), 0);
    EXPECT_EQ(d.header->biWidth, e.width);
    EXPECT_EQ(d.header->biHeight, e.height);
    EXPECT_EQ(d.header->biBitCount, e.bits);
    EXPECT_EQ(Crc(e.kind == "u16" ? U16Pixels(d) : RgbPixels(d)), e.crc);
    img_free(&d);
  }
}

TEST(TiffRead, SharedSamplesMatchTheirPngReferences) {
  for (auto [tiff, png] : {std::pair{"blue-purple-pink.lzwcompressed.tiff", "blue-purple-pink.png"},
                           std::pair{"bw-gopher_ccittGroup4.tiff", "bw-gopher.png"}}) {
    ImageDescriptor t, p;
    ASSERT_EQ(Load(Fixture("tiff", tiff), &t), 0);
    ASSERT_EQ(LoadImageFile(Fixture("tiff", png).c_str(), &p), 0);
    EXPECT_EQ(RgbPixels(t), RgbPixels(p)) << tiff;
    img_free(&t);
    img_free(&p);
  }
  ImageDescriptor d;
  ASSERT_EQ(Load(Fixture("tiff", "blue-purple-pink.lzwcompressed.tiff"), &d), 0);
  EXPECT_EQ(Crc(RgbPixels(d)), 1269180371u);
  img_free(&d);
}

// A little-endian file of one 4 x 2 8-bit grey strip with the given directory entries
// (tag, type, count, value); 0xFFFF as value of 273 means "the strip's offset".
Bytes TinyTiff(std::vector<std::array<std::uint32_t, 4>> entries, const char* magic = "II") {
  Bytes f(8, 0);
  std::memcpy(f.data(), magic, 2);
  le::PutU16(&f[2], 42);
  const Bytes pixels = {10, 20, 30, 40, 50, 60, 70, 80};
  le::PutU32(&f[4], 8 + static_cast<std::uint32_t>(pixels.size()) + 16);
  f.insert(f.end(), pixels.begin(), pixels.end());
  // Two rationals behind the pixels: 300/0 and 72/1.
  f.resize(f.size() + 16, 0);
  le::PutU32(&f[16], 300);
  le::PutU32(&f[24], 72);
  le::PutU32(&f[28], 1);
  Bytes ifd(2 + 12 * entries.size() + 4, 0);
  le::PutU16(ifd.data(), static_cast<std::uint16_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    BYTE* e = &ifd[2 + 12 * i];
    le::PutU16(e, static_cast<std::uint16_t>(entries[i][0]));
    le::PutU16(e + 2, static_cast<std::uint16_t>(entries[i][1]));
    le::PutU32(e + 4, entries[i][2]);
    if (entries[i][1] == kTiffShort && entries[i][2] == 1)
      le::PutU16(e + 8, static_cast<std::uint16_t>(entries[i][3]));
    else
      le::PutU32(e + 8, entries[i][3]);
  }
  f.insert(f.end(), ifd.begin(), ifd.end());
  return f;
}

std::vector<std::array<std::uint32_t, 4>> GreyEntries() {
  return {{256, kTiffShort, 1, 4}, {257, kTiffShort, 1, 2}, {258, kTiffShort, 1, 8},
          {259, kTiffShort, 1, 1}, {262, kTiffShort, 1, 1}, {273, kTiffLong, 1, 8},
          {278, kTiffShort, 1, 2}, {279, kTiffLong, 1, 8}};
}

TEST(TiffRead, DirectoryRules) {
  const std::string path = TempPath("tiny.tif");
  auto entries = GreyEntries();
  WriteBytes(path, TinyTiff(entries));
  ImageDescriptor d;
  ASSERT_EQ(Load(path, &d), 0);
  EXPECT_EQ(img_row(&d, 1)[3], 80);
  img_free(&d);

  struct Case {
    const char* what;
    Bytes file;
    int result;
  };
  auto with = [&](std::array<std::uint32_t, 4> changed) {
    auto e = GreyEntries();
    for (auto& x : e)
      if (x[0] == changed[0]) x = changed;
    return TinyTiff(e);
  };
  Bytes badMagic = TinyTiff(entries);
  badMagic[2] = 43;
  const std::vector<Case> cases = {
      {"neither II nor MM", TinyTiff(entries, "IM"), IMG_NOT_TIFF},
      {"magic not 42", badMagic, IMG_NOT_TIFF},
      {"single-valued tag with count 2", with({257, kTiffShort, 2, 2}), IMG_NOT_TIFF},
      {"single-valued tag of type RATIONAL", with({256, kTiffRational, 1, 16}), IMG_NOT_TIFF},
      // LONG values are read in full: 70000 is beyond the library's images.
      {"width 70000", with({256, kTiffLong, 1, 70000}), IMG_UNSUPPORTED},
      {"first directory past the end", [&] {
         Bytes b = TinyTiff(entries);
         le::PutU32(&b[4], 5000);
         return b;
       }(), IMG_NOT_TIFF},
      {"entries past the end", [&] {
         Bytes b = TinyTiff(entries);
         b.resize(b.size() - 10);
         return b;
       }(), IMG_NOT_TIFF},
      {"array of BitsPerSample past the end", with({258, kTiffShort, 3, 90000}), IMG_NOT_TIFF},
  };
  for (const auto& c : cases) {
    WriteBytes(path, c.file);
    TiffInfo info;
    EXPECT_EQ(tiff_info(path.c_str(), &info), c.result) << c.what;
  }
  // A LONG width within the limits is taken whole, not its low 16 bits.
  WriteBytes(path, with({256, kTiffLong, 1, 0x10004}));
  TiffInfo info;
  EXPECT_EQ(tiff_info(path.c_str(), &info), IMG_UNSUPPORTED);
  WriteBytes(path, with({256, kTiffLong, 1, 4}));
  ASSERT_EQ(tiff_info(path.c_str(), &info), 0);
  EXPECT_EQ(info.width, 4u);

  // No StripByteCounts: the count is the rest of the file; resolutions n/0 read as n.
  entries.erase(entries.end() - 1);
  entries.push_back({282, kTiffRational, 1, 16});
  entries.push_back({283, kTiffRational, 1, 24});
  WriteBytes(path, TinyTiff(entries));
  StreamBinding b;
  ASSERT_EQ(stream_open_read(&b, path.c_str(), nullptr, 0), 0);
  TiffReader reader(&b);
  TiffDirectory dir;
  ASSERT_EQ(reader.tiff_find_page(-1, false, &dir), 0);
  EXPECT_EQ(dir.xResolution, 300u);
  EXPECT_EQ(dir.yResolution, 72u);
  std::vector<std::uint32_t> offsets, counts;
  ASSERT_EQ(reader.tiff_read_strip_tables(dir, &offsets, &counts), 0);
  EXPECT_EQ(counts[0], reader.Length() - 8);
  stream_close(&b);
  ASSERT_EQ(Load(path, &d), 0);
  EXPECT_EQ(img_row(&d, 0)[0], 10);
  img_free(&d);
}

TEST(TiffRead, ColourMapsNeedOneEntryPerSampleValue) {
  // 8 bits with a map of 3 x 16 entries: other readers drop it, so the image stays grey.
  const std::string path = TempPath("map.tif");
  auto entries = GreyEntries();
  entries[4] = {262, kTiffShort, 1, 3};
  entries.push_back({320, kTiffShort, 48, 8});
  WriteBytes(path, TinyTiff(entries));
  ImageDescriptor d;
  ASSERT_EQ(Load(path, &d), 0);
  EXPECT_TRUE(d.flags & IMG_GREY);
  EXPECT_EQ(d.colorCount, 256);
  img_free(&d);
  RGBQUAD pal[256];
  EXPECT_EQ(tiff_read_colormap(Fixture("tiff", "pal8_lzw.tif").c_str(), nullptr, 0, -1, 0, pal), 256);
  EXPECT_EQ(tiff_read_colormap(Fixture("tiff", "pal4_none.tif").c_str(), nullptr, 0, -1, 0, pal), 16);
}

TEST(TiffRead, PagesAndSmallerImages) {
  int count = 0, list[4] = {};
  ASSERT_EQ(tiff_page_info(Fixture("tiff", "two_pages.tif").c_str(), &count, list, 4), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(list[1], 1);
  // The second page by position; a page that does not exist.
  ImageDescriptor d;
  img_alloc(&d, 67, 45, 8);
  ASSERT_EQ(tiff_load_page(Fixture("tiff", "two_pages.tif").c_str(), nullptr, 0, 1, 1, &d), 0);
  ImageDescriptor ref;
  ASSERT_EQ(Load(Fixture("tiff", "grey8_packbits.tif"), &ref), 0);
  EXPECT_EQ(RgbPixels(d), RgbPixels(ref));
  EXPECT_EQ(tiff_load_page(Fixture("tiff", "two_pages.tif").c_str(), nullptr, 0, 7, 0, &d), IMG_NO_PAGE);
  // A page read from memory.
  const Bytes bytes = ReadBytes(Fixture("tiff", "two_pages.tif"));
  std::memset(d.pixels, 0, d.rowBytes * 45);
  ASSERT_EQ(tiff_load_page(nullptr, bytes.data(), bytes.size(), 1, 1, &d), 0);
  EXPECT_EQ(RgbPixels(d), RgbPixels(ref));
  img_free(&d);
  // A smaller image takes the file's top left corner; a larger one keeps its other pixels.
  ImageDescriptor small, large;
  img_alloc(&small, 10, 7, 8);
  ASSERT_EQ(tiff_load(Fixture("tiff", "grey8_packbits.tif").c_str(), &small), 0);
  for (DWORD y = 0; y < 7; ++y) EXPECT_EQ(std::memcmp(img_row(&small, y), img_row(&ref, y), 10), 0);
  img_alloc(&large, 80, 50, 8);
  std::memset(large.pixels, 0xAB, large.rowBytes * 50);
  ASSERT_EQ(tiff_load(Fixture("tiff", "grey8_packbits.tif").c_str(), &large), 0);
  EXPECT_EQ(std::memcmp(img_row(&large, 44), img_row(&ref, 44), 67), 0);
  EXPECT_EQ(img_row(&large, 44)[67], 0xAB);
  EXPECT_EQ(img_row(&large, 45)[0], 0xAB);
  // An image of another depth than the rows fill is refused.
  ImageDescriptor wrong;
  img_alloc(&wrong, 67, 45, 24);
  EXPECT_EQ(tiff_load(Fixture("tiff", "grey8_packbits.tif").c_str(), &wrong), IMG_BAD_DEPTH);
  for (auto* p : {&ref, &small, &large, &wrong}) img_free(p);
}

TEST(TiffRead, TwoDimensionalGroup3IsRefusedNotMisread) {
  // tiffcp -c g3:2d (T4Options bit 0): rows coded against the row above are not read, and the
  // load says so instead of handing back a wrong picture as read.
  ImageDescriptor d;
  EXPECT_EQ(Load(Fixture("tiff", "bw_g3_2d.tif"), &d), IMG_UNSUPPORTED);
  img_free(&d);
  // The one-dimensional coding of the same picture still reads.
  ImageDescriptor one;
  EXPECT_EQ(Load(Fixture("tiff", "bw_g3_fill_strips.tif"), &one), 0);
  img_free(&one);
}

TEST(TiffRead, DamagedFilesGiveCodesNotCrashes) {
  // Cut and corrupted copies of every kind of strip data.
  const char* files[] = {"rgb_lzw.tif", "rgb_lzw_pred_strips.tif", "bw_g4_strips.tif", "bw_g3_fill_strips.tif",
                         "bw_ccitt_rle.tif", "pal4_packbits.tif", "grey16_none_be.tif", "rgba_none.tif",
                         "bw-gopher_ccittGroup4.tiff", "blue-purple-pink.lzwcompressed.tiff"};
  std::mt19937 rng(3);
  const std::string path = TempPath("damaged.tif");
  for (const char* name : files) {
    const Bytes good = ReadBytes(Fixture("tiff", name));
    TiffInfo info;
    ASSERT_EQ(tiff_info(Fixture("tiff", name).c_str(), &info), 0);
    // The end of the strip data as the file's StripByteCounts give it.
    const TiffDirectory dir = FirstDirectory(Fixture("tiff", name));
    std::int64_t dataEnd = 0;
    {
      StreamBinding s;
      ASSERT_EQ(stream_open_read(&s, Fixture("tiff", name).c_str(), nullptr, 0), 0);
      TiffReader reader(&s);
      std::vector<std::uint32_t> offsets, counts;
      ASSERT_TRUE(reader.ReadValues(dir.stripType, dir.stripCount, dir.stripValues, &offsets));
      ASSERT_TRUE(reader.ReadValues(dir.countType, dir.countCount, dir.countValues, &counts));
      for (std::size_t i = 0; i < offsets.size(); ++i)
        dataEnd = std::max<std::int64_t>(dataEnd, std::int64_t{offsets[i]} + counts[i]);
      stream_close(&s);
    }
    for (int k = 0; k < 40; ++k) {
      Bytes b = good;
      if (k < 20) {
        b.resize(good.size() * static_cast<std::size_t>(k) / 20);
      } else {
        for (int n = 0; n < 1 + k % 4; ++n) b[rng() % b.size()] ^= static_cast<BYTE>(1 + rng() % 255);
      }
      WriteBytes(path, b);
      ImageDescriptor d;
      img_alloc(&d, static_cast<int>(info.width), static_cast<int>(info.length),
                static_cast<int>(info.imagerBitsPerPixel));
      const int r = tiff_load(path.c_str(), &d);
      // Cutting into the strip data must be noticed.
      if (k < 20 && static_cast<std::int64_t>(b.size()) < dataEnd) {
        EXPECT_NE(r, 0) << name << " cut at " << b.size();
      }
      img_free(&d);
    }
  }
}

// Pixels after a save, as libtiff reads them: tiffcp decodes our strips and writes them
// uncompressed, which our reader then loads.
Bytes ThroughLibtiff(const std::string& path) {
  const std::string plain = TempPath("plain.tif");
  std::string out;
  EXPECT_EQ(RunTool("tiffcp -c none " + path + " " + plain, &out), 0) << out;
  ImageDescriptor d;
  EXPECT_EQ(Load(plain, &d), 0);
  Bytes px = d.header->biBitCount == 16 ? U16Pixels(d) : RgbPixels(d);
  img_free(&d);
  return px;
}

TEST(TiffWrite, EveryCompressionPassesTiffinfoAndReadsBack) {
  const bool tools = HaveTool("tiffinfo") && HaveTool("tiffcp");
  struct Case {
    int bits;
    bool grey;
    int code;
  };
  const std::vector<Case> cases = {
      {1, false, 0}, {1, false, 1}, {1, false, 2}, {1, false, 3}, {1, false, 4},  {1, false, 4 | 16},
      {8, true, 0},  {8, true, 1},  {8, true, 2},  {8, false, 0}, {8, false, 1},  {8, false, 2},
      {16, true, 0}, {24, false, 0}, {24, false, 1}, {24, false, 1 | 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, code " << c.code);
    ImageDescriptor src;
    // Tall enough for several strips.
    Synthetic(&src, 301, 150, c.bits, c.grey);
    const std::string path = TempPath("saved.tif");
    ASSERT_EQ(tiff_save(path.c_str(), &src, c.code), 0);
    ImageDescriptor back;
    ASSERT_EQ(Load(path, &back), 0);
    const Bytes want = c.bits == 16 ? U16Pixels(src) : RgbPixels(src);
    EXPECT_EQ(c.bits == 16 ? U16Pixels(back) : RgbPixels(back), want);
    if (tools) {
      std::string out;
      EXPECT_EQ(RunTool("tiffinfo " + path, &out), 0);
      EXPECT_EQ(out.find("arning"), std::string::npos) << out;
      EXPECT_EQ(out.find("rror"), std::string::npos) << out;
      EXPECT_EQ(ThroughLibtiff(path), want);
    }
    img_free(&back);
    img_free(&src);
  }
  if (!tools) GTEST_SKIP() << "tiffinfo/tiffcp not installed: written files read back but not checked by libtiff";
}

TEST(TiffWrite, StripsTagsAndPhotometric) {
  const std::string path = TempPath("layout.tif");
  ImageDescriptor img;
  Synthetic(&img, 400, 100, 8, true);
  ASSERT_EQ(tiff_save(path.c_str(), &img, 0), 0);
  StreamBinding b;
  ASSERT_EQ(stream_open_read(&b, path.c_str(), nullptr, 0), 0);
  TiffReader reader(&b);
  TiffDirectory dir;
  ASSERT_EQ(reader.tiff_find_page(-1, false, &dir), 0);
  std::vector<std::uint32_t> offsets, counts;
  ASSERT_EQ(reader.tiff_read_strip_tables(dir, &offsets, &counts), 0);
  stream_close(&b);
  EXPECT_EQ(dir.rowsPerStrip, 40u);
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{16000, 16000, 8000}));
  EXPECT_EQ(dir.info.photometric, 1u);
  EXPECT_EQ(dir.colorMapCount, 0u);
  ASSERT_EQ(tiff_save(path.c_str(), &img, 16), 0);
  EXPECT_EQ(FirstDirectory(path).rowsPerStrip, 100u);
  EXPECT_EQ(FirstDirectory(path).stripCount, 1u);
  // A colour palette: PhotometricInterpretation 3 and a map of 768 values.
  img_free(&img);
  Synthetic(&img, 40, 10, 8, false);
  ASSERT_EQ(tiff_save(path.c_str(), &img, 1), 0);
  dir = FirstDirectory(path);
  EXPECT_EQ(dir.info.photometric, 3u);
  EXPECT_EQ(dir.colorMapCount, 768u);
  img_free(&img);

  // 1 bit: palette entry 0 white inverts the rows, so the file's 1 is white under
  // PhotometricInterpretation 1; FillOrder in one strip, DocumentName in several.
  Synthetic(&img, 16, 1, 1);
  img_row(&img, 0)[0] = 0xF0;
  img_row(&img, 0)[1] = 0x00;
  ASSERT_EQ(tiff_save(path.c_str(), &img, 0), 0);
  Bytes file = ReadBytes(path);
  const TiffDirectory one = FirstDirectory(path);
  EXPECT_EQ(file[8 + 272 + 8], 0x0F);
  EXPECT_EQ(file[8 + 272 + 9], 0xFF);
  EXPECT_EQ(one.fillOrder, 1);
  EXPECT_EQ(one.info.photometric, 1u);
  img.palette[0] = RGBQUAD{0, 0, 0, 0};
  img.palette[1] = RGBQUAD{255, 255, 255, 0};
  ASSERT_EQ(tiff_save(path.c_str(), &img, 0), 0);
  file = ReadBytes(path);
  EXPECT_EQ(file[8 + 272 + 8], 0xF0);
  img_free(&img);
  Synthetic(&img, 1000, 200, 1);
  ASSERT_EQ(tiff_save(path.c_str(), &img, 2), 0);
  EXPECT_GT(FirstDirectory(path).stripCount, 1u);
  EXPECT_NE(ReadBytes(path).size(), 0u);
  std::string text;
  ASSERT_EQ(ImageFormatTable[2].describe(path.c_str(), &text), 0);
  img_free(&img);

  // Compressions the depth does not allow, and codes out of range.
  ImageDescriptor eight, sixteen;
  img_alloc(&eight, 8, 8, 8);
  img_alloc(&sixteen, 8, 8, 16);
  EXPECT_EQ(tiff_save(path.c_str(), &eight, 4), IMG_UNSUPPORTED);
  EXPECT_EQ(tiff_save(path.c_str(), &sixteen, 2), IMG_UNSUPPORTED);
  EXPECT_EQ(tiff_save(path.c_str(), &eight, 5), IMG_UNSUPPORTED);
  img_free(&eight);
  img_free(&sixteen);
}

TEST(TiffWrite, AppendedPagesAreRenumberedAndLinked) {
  const std::string path = TempPath("pages.tif");
  std::remove(path.c_str());
  ImageDescriptor a, b, c;
  Synthetic(&a, 30, 20, 8, true);
  Synthetic(&b, 25, 15, 24);
  Synthetic(&c, 40, 12, 1);
  ASSERT_EQ(tiff_save_page(path.c_str(), nullptr, 0, 1, &a), 0);
  ASSERT_EQ(tiff_save_page(path.c_str(), nullptr, 1, 1, &b), 0);
  int count = 0, list[3] = {};
  ASSERT_EQ(tiff_page_info(path.c_str(), &count, list, 3), 0);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(tiff_save_page(path.c_str(), nullptr, 2, 4, &c), 0);
  ASSERT_EQ(tiff_page_info(path.c_str(), &count, list, 3), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(list[0], 0);
  EXPECT_EQ(list[1], 1);
  EXPECT_EQ(list[2], 2);
  // Every directory carries the new page count.
  StreamBinding s;
  ASSERT_EQ(stream_open_read(&s, path.c_str(), nullptr, 0), 0);
  TiffReader reader(&s);
  std::vector<TiffDirectory> dirs;
  ASSERT_EQ(reader.tiff_walk_pages(&dirs), 0);
  for (const auto& dir : dirs) {
    std::vector<std::uint32_t> v;
    ASSERT_TRUE(reader.ReadValues(kTiffShort, 2, dir.pageNumberEntry + 8, &v));
    EXPECT_EQ(v[1], 3u);
  }
  stream_close(&s);
  // Each page reads back.
  ImageDescriptor* pages[3] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    ImageDescriptor back;
    img_alloc(&back, pages[i]->header->biWidth, pages[i]->header->biHeight, pages[i]->header->biBitCount);
    ASSERT_EQ(tiff_load_page(path.c_str(), nullptr, 0, i, 0, &back), 0);
    EXPECT_EQ(RgbPixels(back), RgbPixels(*pages[i]));
    img_free(&back);
  }
  if (HaveTool("tiffinfo")) {
    std::string out;
    EXPECT_EQ(RunTool("tiffinfo " + path, &out), 0);
    EXPECT_EQ(out.find("arning"), std::string::npos) << out;
  }
  // A page number from PageNumber, the next page numbered on from it: the second
  // directory's PageNumber entry is renamed to a tag that nobody reads.
  const std::string five = TempPath("five.tif");
  std::remove(five.c_str());
  ASSERT_EQ(tiff_save_page(five.c_str(), nullptr, 5, 0, &a), 0);
  ASSERT_EQ(tiff_save_page(five.c_str(), nullptr, 9, 0, &a), 0);
  {
    StreamBinding f;
    ASSERT_EQ(stream_open_read(&f, five.c_str(), nullptr, 0), 0);
    TiffReader r(&f);
    ASSERT_EQ(r.tiff_walk_pages(&dirs), 0);
    stream_close(&f);
  }
  Bytes bytes = ReadBytes(five);
  le::PutU16(&bytes[static_cast<std::size_t>(dirs[1].pageNumberEntry)], 65000);
  WriteBytes(five, bytes);
  ASSERT_EQ(tiff_page_info(five.c_str(), &count, list, 3), 0);
  EXPECT_EQ(list[0], 5);
  EXPECT_EQ(list[1], 6);
  // Big-endian files take no pages.
  const std::string be = TempPath("be.tif");
  WriteBytes(be, ReadBytes(Fixture("tiff", "rgb_none_be.tif")));
  EXPECT_EQ(tiff_save_page(be.c_str(), nullptr, 1, 0, &a), IMG_TIFF_BIG_ENDIAN);
  EXPECT_EQ(ReadBytes(be), ReadBytes(Fixture("tiff", "rgb_none_be.tif")));
  for (auto* p : pages) img_free(p);
}

TEST(TiffWrite, IntoMemory) {
  ImageDescriptor img;
  Synthetic(&img, 50, 30, 24);
  ImgMem block = nullptr;
  ASSERT_EQ(tiff_save_page(nullptr, &block, -1, 1, &img), 0);
  ASSERT_NE(block, nullptr);
  ImageDescriptor back;
  img_alloc(&back, 50, 30, 24);
  ASSERT_EQ(tiff_load_page(nullptr, ImgMemLock(block), ImgMemSize(block), -1, 0, &back), 0);
  EXPECT_EQ(RgbPixels(back), RgbPixels(img));
  ImgMemFree(block);
  img_free(&back);
  img_free(&img);
}

}  // namespace
