#include "imagefiles/dib_convert.h"

#include <gtest/gtest.h>

#include <vector>

#include "imagefiles/img_memory.h"

namespace {

using Bytes = std::vector<BYTE>;

TEST(BitRoutines, InsertKeepsNeighbouringBits) {
  const BYTE bits[1] = {0xA0};  // 101
  Bytes ones = {0xFF, 0xFF}, zeros = {0x00, 0x00};
  bits_insert(ones.data(), bits, 6, 3);
  bits_insert(zeros.data(), bits, 6, 3);
  EXPECT_EQ(ones, (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(zeros, (Bytes{0x02, 0x80}));
  // Whole bytes at an odd offset, then a partial one.
  const BYTE src[2] = {0xFF, 0x80};
  Bytes row = {0x00, 0x00, 0x00};
  bits_insert(row.data(), src, 3, 9);
  EXPECT_EQ(row, (Bytes{0x1F, 0xF0, 0x00}));
}

TEST(BitRoutines, ExtractIsTheInverseOfInsert) {
  const Bytes row = {0x5A, 0xC3, 0x0F};
  for (unsigned off = 0; off < 8; ++off) {
    for (unsigned count = 1; count + off <= 24; ++count) {
      BYTE out[4] = {0xFF, 0xFF, 0xFF, 0xFF};
      bits_extract(out, row.data(), off, count);
      Bytes back(3, 0);
      bits_insert(back.data(), out, off, count);
      for (unsigned b = 0; b < 24; ++b) {
        bool in = b >= off && b < off + count;
        int want = in ? (row[b / 8] >> (7 - b % 8)) & 1 : 0;
        ASSERT_EQ((back[b / 8] >> (7 - b % 8)) & 1, want) << off << " " << count << " " << b;
      }
      // Bits behind the run in the last byte of out are cleared.
      if (count % 8) {
        EXPECT_EQ(out[(count - 1) / 8] & (0xFF >> (count % 8)), 0);
      }
    }
  }
}

TEST(BitRoutines, SetRunRunsAndNibbles) {
  Bytes row(3, 0);
  bits_set_run(5, row.data(), 12, 16);
  EXPECT_EQ(row, (Bytes{0x07, 0xFF, 0x00}));
  Bytes row2(3, 0);
  bits_set_run(2, row2.data(), 3, 24);
  EXPECT_EQ(row2, (Bytes{0x38, 0x00, 0x00}));

  const BYTE data[6] = {0x11, 0x11, 0x22, 0x33, 0x33, 0x33};
  BYTE runs[10];
  EXPECT_EQ(byte_runs(runs, data, 6), 3);
  EXPECT_EQ(Bytes(runs, runs + 4), (Bytes{2, 1, 3, 0}));

  const BYTE nib[2] = {0x12, 0xF0};
  BYTE out[3];
  nibbles_to_bytes(out, nib, 3);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{1, 2, 15}));
}

struct RleCase {
  const char* name;
  bool four;
  Bytes in;
  int room;
  int result;
  Bytes pixels;
};

TEST(RunLengthRows, DecodeTable) {
  const RleCase cases[] = {
      {"run and end of line", false, {3, 7, 0, 0}, 4, 4, {7, 7, 7}},
      {"absolute run padded", false, {0, 3, 1, 2, 3, 0, 0, 0}, 4, 8, {1, 2, 3}},
      {"end of bitmap", false, {0, 1}, 4, RLE_END_OF_BITMAP, {}},
      {"delta refused", false, {0, 2, 1, 1}, 4, -9, {}},
      {"run past the row", false, {6, 7, 0, 0}, 4, -9, {7, 7, 7, 7}},
      {"full row still needs its end of line", false, {4, 7, 1, 9}, 4, -9, {7, 7, 7, 7}},
      {"data ends inside the row", false, {2, 7}, 4, -9, {7, 7}},
      {"absolute run cut by the data", false, {0, 4, 1, 2}, 8, -9, {}},
      {"rle4 run alternates nibbles", true, {5, 0x12, 0, 0}, 8, 4, {1, 2, 1, 2, 1}},
      {"rle4 absolute run", true, {0, 3, 0x34, 0x50, 0, 0}, 8, 6, {3, 4, 5}},
      {"rle4 run that does not fit writes nothing", true, {9, 0x12, 0, 0}, 8, -9, {}},
  };
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(16, 0xEE);
    int r = c.four ? rle4_decode_row(out.data(), c.in.data(), c.in.size(), c.room)
                   : rle8_decode_row(out.data(), c.in.data(), c.in.size(), c.room);
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(c.pixels.size())), c.pixels);
    EXPECT_EQ(out[c.pixels.size()], 0xEE);
  }
}

// A packed DIB in a library block: 40-byte header, `colors` entries, then `bits`.
ImgMem MakeDib(int w, int h, int bpp, DWORD compression, int colorsUsed, const Bytes& bits) {
  int colors = colorsUsed ? colorsUsed : bpp <= 8 ? 1 << bpp : 0;
  ImgMem m = ImgMemAlloc(40 + 4 * colors + bits.size());
  BYTE* p = ImgMemLock(m);
  BITMAPINFOHEADER hd;
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biBitCount = static_cast<WORD>(bpp);
  hd.biCompression = compression;
  hd.biClrUsed = static_cast<DWORD>(colorsUsed);
  WriteInfoHeader(hd, p);
  for (int i = 0; i < colors; ++i) {
    p[40 + 4 * i] = static_cast<BYTE>(10 * i);      // blue
    p[40 + 4 * i + 2] = static_cast<BYTE>(200 - i);  // red
  }
  std::copy(bits.begin(), bits.end(), p + 40 + 4 * colors);
  return m;
}

TEST(DibToImage, FourBitsBecomeBytes) {
  // 3 x 2, rows of 4 bytes, bottom row first.
  ImgMem m = MakeDib(3, 2, 4, BI_RGB, 16, {0x12, 0x30, 0, 0, 0xFE, 0xD0, 0, 0});
  ImageDescriptor d;
  ASSERT_EQ(dib_to_img(reinterpret_cast<BITMAPINFOHEADER*>(ImgMemLock(m)), ImgMemSize(m), &d), IMG_OK);
  EXPECT_EQ(d.header->biBitCount, 8);
  EXPECT_EQ(d.colorCount, 16);
  EXPECT_EQ(d.palette[3].rgbBlue, 30);
  EXPECT_EQ(d.flags & IMG_GREY, 0u);
  EXPECT_EQ(Bytes(img_row(&d, 1), img_row(&d, 1) + 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(Bytes(img_row(&d, 0), img_row(&d, 0) + 3), (Bytes{15, 14, 13}));
  img_free(&d);
  ImgMemFree(m);
}

TEST(DibToImage, Rle8EndOfBitmapAndDelta) {
  // 4 x 4: two rows of data, then end of bitmap: the upper rows stay index 0.
  ImgMem m = MakeDib(4, 4, 8, BI_RLE8, 0, {4, 5, 0, 0, 4, 6, 0, 0, 0, 1});
  ImageDescriptor d;
  ASSERT_EQ(dib_to_img(reinterpret_cast<BITMAPINFOHEADER*>(ImgMemLock(m)), ImgMemSize(m), &d), IMG_OK);
  EXPECT_EQ(img_row(&d, 3)[0], 5);
  EXPECT_EQ(img_row(&d, 2)[3], 6);
  EXPECT_EQ(img_row(&d, 1)[0], 0);
  EXPECT_EQ(img_row(&d, 0)[2], 0);
  img_free(&d);
  ImgMemFree(m);

  m = MakeDib(4, 4, 8, BI_RLE8, 0, {4, 5, 0, 0, 0, 2, 1, 1, 0, 1});
  EXPECT_EQ(dib_to_img(reinterpret_cast<BITMAPINFOHEADER*>(ImgMemLock(m)), ImgMemSize(m), &d), -9);
  EXPECT_EQ(d.header, nullptr);
  ImgMemFree(m);
}

TEST(DibToImage, RefusesDepthsAndShortBlocks) {
  ImgMem m = MakeDib(2, 2, 16, BI_RGB, 0, Bytes(8, 0));
  ImageDescriptor d;
  EXPECT_EQ(dib_to_img(reinterpret_cast<BITMAPINFOHEADER*>(ImgMemLock(m)), ImgMemSize(m), &d), IMG_BAD_DEPTH);
  ImgMemFree(m);
  // Rows that the block does not hold.
  m = MakeDib(100, 100, 24, BI_RGB, 0, Bytes(12, 0));
  EXPECT_EQ(dib_to_img(reinterpret_cast<BITMAPINFOHEADER*>(ImgMemLock(m)), ImgMemSize(m), &d), IMG_BAD_ARGUMENT);
  EXPECT_EQ(d.header, nullptr);
  ImgMemFree(m);
  // A colour count that reaches past the block.
  m = MakeDib(2, 2, 8, BI_RGB, 0, Bytes(8, 0));
  reinterpret_cast<BITMAPINFOHEADER*>(ImgMemLock(m))->biClrUsed = 1000000;
  EXPECT_EQ(dib_to_img(reinterpret_cast<BITMAPINFOHEADER*>(ImgMemLock(m)), ImgMemSize(m), &d), IMG_BAD_ARGUMENT);
  ImgMemFree(m);
}

TEST(ImageToDib, KeepsTheFullColourTable) {
  ImageDescriptor s;
  ASSERT_EQ(img_alloc(&s, 10, 6, 8), IMG_OK);
  for (int i = 0; i < 16; ++i) s.palette[i] = RGBQUAD{static_cast<BYTE>(i), 0, 100, 0};
  s.colorCount = 16;
  for (DWORD y = 0; y < 6; ++y)
    for (DWORD x = 0; x < 10; ++x) img_row(&s, y)[x] = static_cast<BYTE>(y * 10 + x);
  s.left = 2;
  s.right = 5;
  s.top = 1;
  s.bottom = 3;
  BITMAPINFOHEADER* h = nullptr;
  ASSERT_EQ(img_to_dib(&s, &h), IMG_OK);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->biWidth, 4);
  EXPECT_EQ(h->biHeight, 3);
  EXPECT_EQ(h->biClrUsed, 256u);
  const RGBQUAD* pal = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<BYTE*>(h) + 40);
  EXPECT_EQ(pal[15].rgbRed, 100);
  EXPECT_EQ(pal[16].rgbRed, 16);
  EXPECT_EQ(pal[255].rgbRed, 255);
  const BYTE* bits = reinterpret_cast<BYTE*>(h) + 40 + 1024;
  EXPECT_EQ(bits[0], 32);              // bottom row: image row 3, column 2
  EXPECT_EQ(bits[2 * 4 + 3], 15);      // top row: image row 1, column 5
  ImgMemFree(ImgMemHandle(h));
  img_free(&s);
}

TEST(ImageCopy, OneBitRegionsAndOverlap) {
  ImageDescriptor s, t;
  ASSERT_EQ(img_alloc(&s, 20, 2, 1), IMG_OK);
  ASSERT_EQ(img_alloc(&t, 20, 2, 1), IMG_OK);
  img_row(&s, 0)[0] = 0x5A;
  img_row(&s, 0)[1] = 0xC0;
  s.left = 1;
  s.right = 10;
  s.bottom = 0;
  t.left = 5;
  ASSERT_EQ(img_copy(&s, &t), IMG_OK);
  // Bits 1..10 of the source (1011010110) land at bits 5..14.
  EXPECT_EQ(img_row(&t, 0)[0], 0x05);
  EXPECT_EQ(img_row(&t, 0)[1], 0xAC);
  img_free(&s);
  img_free(&t);

  // Shifting rows down within one image keeps every row intact.
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 4, 6, 8), IMG_OK);
  for (DWORD y = 0; y < 6; ++y) img_row(&d, y)[0] = static_cast<BYTE>(y + 1);
  ImageDescriptor src = d, dst = d;
  src.top = 0;
  src.bottom = 3;
  dst.top = 2;
  ASSERT_EQ(img_copy_region(&src, &dst), IMG_OK);
  for (DWORD y = 0; y < 6; ++y) EXPECT_EQ(img_row(&d, y)[0], y < 2 ? y + 1 : y - 1) << y;
  img_free(&d);

  ImageDescriptor a, b;
  ASSERT_EQ(img_alloc(&a, 4, 4, 8), IMG_OK);
  ASSERT_EQ(img_alloc(&b, 4, 4, 24), IMG_OK);
  EXPECT_EQ(img_copy(&a, &b), IMG_BAD_DEPTH);
  img_free(&a);
  img_free(&b);
}

}  // namespace
