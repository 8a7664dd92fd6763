#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imagefiles/jpeg_internal.h"

namespace {

TEST(JpegQuality, ScalesTheExampleTables) {
  struct Case {
    int quality;
    int lumDC, lumFirstAC, lumLast, chromaDC;
    int lumPrecision;
  };
  // 75 halves the example values, rounding halves up (11 -> 6); 23 is the highest
  // quality whose luminance table needs 16-bit values.
  const Case cases[] = {{50, 16, 11, 99, 17, 0}, {75, 8, 6, 50, 9, 0}, {100, 1, 1, 1, 1, 0},
                        {1, 800, 550, 4950, 850, 1}, {23, 35, 24, 215, 37, 1},
                        {24, 33, 23, 206, 35, 0}, {0, 800, 550, 4950, 850, 1}};
  for (const Case& c : cases) {
    JpegCodec codec;
    jpeg_set_quality(codec, c.quality);
    const JpegQuantTable& lum = codec.qtable[0];
    EXPECT_EQ(lum.value[0], 8 * c.lumDC) << c.quality;
    EXPECT_EQ(lum.value[1], 8 * c.lumFirstAC) << c.quality;
    EXPECT_EQ(lum.value[63], std::min(8 * c.lumLast, 32767)) << c.quality;
    EXPECT_EQ(codec.qtable[1].value[0], 8 * c.chromaDC) << c.quality;
    EXPECT_EQ(lum.precision, c.lumPrecision) << c.quality;
  }
  JpegCodec best;
  jpeg_set_quality(best, 100);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(best.qtable[1].value[i], 8);
}

TEST(JpegDct, UniformBlockHasOnlyItsDcValue) {
  std::uint8_t samples[64];
  std::memset(samples, 200, 64);
  std::int32_t coef[64];
  jpeg_fdct(samples, 8, coef);
  EXPECT_EQ(coef[0], 4608);  // 8 x the orthonormal 576 = 8 x 72
  for (int i = 1; i < 64; ++i) EXPECT_EQ(coef[i], 0) << i;
  JpegQuantTable q{};
  for (auto& v : q.value) v = 128;  // luminance DC 16, stored as 8 x 16
  std::int16_t out[64];
  jpeg_quantize(coef, q, out);
  EXPECT_EQ(out[0], 36);
  // Negative values round half away from zero; small ones become 0.
  coef[0] = -4608 - 64;
  coef[1] = 63;
  coef[2] = -64;
  jpeg_quantize(coef, q, out);
  EXPECT_EQ(out[0], -37);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], -1);
}

TEST(JpegDct, InverseUndoesForward) {
  JpegCodec c;
  jpeg_build_decode_tables(c);
  std::uint32_t seed = 7;
  int worst = 0;
  for (int trial = 0; trial < 200; ++trial) {
    std::uint8_t in[64], out[64];
    for (auto& s : in) {
      seed = seed * 1664525u + 1013904223u;
      s = static_cast<std::uint8_t>(trial % 2 ? seed >> 24 : 100 + ((seed >> 28) & 15));
    }
    std::int32_t coef[64];
    jpeg_fdct(in, 8, coef);
    // The forward transform gives 8 x the orthonormal coefficients, the inverse takes
    // them as they are.
    std::int16_t c16[64];
    for (int i = 0; i < 64; ++i)
      c16[i] = static_cast<std::int16_t>(coef[i] >= 0 ? (coef[i] + 4) / 8 : -((-coef[i] + 4) / 8));
    jpeg_idct(out, 8, c16, c.rangeLimit);
    for (int i = 0; i < 64; ++i) worst = std::max(worst, std::abs(out[i] - in[i]));
    // With a table of ones the dequantising transform is the same.
    JpegQuantTable ones{};
    for (auto& v : ones.value) v = 1;
    std::uint8_t out2[64];
    jpeg_dequantize_idct(out2, 8, c16, ones, 63, c.rangeLimit);
    ASSERT_EQ(std::memcmp(out, out2, 64), 0);
  }
  EXPECT_LE(worst, 1);
}

TEST(JpegDct, OnlyDcShortcutAndRangeLimiting) {
  JpegCodec c;
  jpeg_build_decode_tables(c);
  JpegQuantTable q{};
  for (auto& v : q.value) v = 16;
  for (int dc : {-80, -9, 0, 5, 36, 70}) {
    std::int16_t coef[64] = {};
    coef[0] = static_cast<std::int16_t>(dc);
    std::uint8_t fast[64], full[64];
    jpeg_dequantize_idct(fast, 8, coef, q, 0, c.rangeLimit);
    jpeg_dequantize_idct(full, 8, coef, q, 63, c.rangeLimit);
    ASSERT_EQ(std::memcmp(fast, full, 64), 0) << dc;
    const int expected = std::clamp(128 + static_cast<int>(std::floor(dc * 16 / 8.0 + 0.5)), 0, 255);
    EXPECT_EQ(fast[0], expected) << dc;
  }
  // Far outside the sample range: the table wraps as it is meant to stay in bounds.
  EXPECT_EQ(c.rangeLimit[-256], 0);
  EXPECT_EQ(c.rangeLimit[639], 255);
  EXPECT_EQ(c.rangeLimit[640], 0);
  EXPECT_EQ(c.rangeLimit[1151], 127);
}

TEST(JpegColour, WhiteAndPrimariesConvertBothWays) {
  JpegCodec c;
  c.components = 3;
  c.layout = 0;
  c.comp[0].h = c.comp[0].v = 1;
  c.comp[1].h = c.comp[1].v = 1;
  c.comp[2].h = c.comp[2].v = 1;
  jpeg_mcu_setup(c, 8, 8, false);
  jpeg_build_decode_tables(c);
  const std::uint8_t rgb[][3] = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {90, 140, 200}};
  for (int i = 0; i < 6; ++i)
    for (int p = 0; p < 3; ++p) c.planes[p][i] = rgb[i][p];
  jpeg_rgb_to_ycc(c);
  EXPECT_EQ(c.planes[0][0], 255);
  EXPECT_EQ(c.planes[1][0], 128);
  EXPECT_EQ(c.planes[2][0], 128);
  EXPECT_EQ(c.planes[0][2], 76);  // red: Y = 0.299 x 255
  std::uint8_t pixels[8 * 3 * 8] = {};
  const JpegImageView view{pixels, 24, 8, 24, 0, 0, nullptr};
  jpeg_write_mcu_pixels(c, view, 0, 0, 6, 1);
  const std::uint8_t* top = view.Row(0);
  for (int i = 0; i < 6; ++i)
    for (int p = 0; p < 3; ++p) EXPECT_NEAR(top[3 * i + 2 - p], rgb[i][p], 2) << i << "," << p;
  EXPECT_EQ(top[0], 255);
  EXPECT_EQ(top[1], 255);
  EXPECT_EQ(top[2], 255);
}

// A colour codec with 2 x 2 luminance and 1 x 1 chrominance sampling, set up for a
// width x height image.
void SetUpColour420(JpegCodec& c, int width, int height) {
  c.components = 3;
  c.layout = 0;
  c.comp[0].h = c.comp[0].v = 2;
  c.comp[1].h = c.comp[1].v = 1;
  c.comp[2].h = c.comp[2].v = 1;
  jpeg_mcu_setup(c, width, height, false);
}

TEST(JpegMcu, GeometryAndEdgePadding) {
  // A 17 x 9 colour image with 2 x 2 luminance: 2 x 1 MCUs of 16 x 16.
  JpegCodec c;
  SetUpColour420(c, 17, 9);
  EXPECT_EQ(c.mcuWidth, 16);
  EXPECT_EQ(c.mcuHeight, 16);
  EXPECT_EQ(c.mcusPerRow, 2);
  EXPECT_EQ(c.mcuRows, 1);
  EXPECT_EQ(c.blocksInMcu, 6);
  EXPECT_EQ(c.comp[0].blocksPerRow, 3);
  EXPECT_EQ(c.comp[1].blocksPerRow, 2);
  EXPECT_EQ(c.comp[1].blockRows, 1);
  // The right MCU holds column 16 only: it is repeated, and row 8 below it.
  std::uint8_t pixels[20 * 9] = {};
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 17; ++x) pixels[(8 - y) * 20 + x] = static_cast<std::uint8_t>(10 * y + x);
  JpegCodec g;
  g.components = 1;
  g.layout = 2;
  g.comp[0].h = g.comp[0].v = 2;
  jpeg_mcu_setup(g, 17, 9, false);
  const JpegImageView view{pixels, 20, 9, 8, 0, 0, nullptr};
  jpeg_read_mcu_pixels(g, view, 16, 0, 1, 9);
  for (int r = 0; r < 16; ++r)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(g.planes[0][r * 16 + x], 10 * std::min(r, 8) + 16) << r << "," << x;

  // Sampling factors of 3: MCUs of 24 columns.
  JpegCodec t;
  t.components = 3;
  t.comp[0].h = 3;
  t.comp[0].v = 1;
  t.comp[1].h = t.comp[1].v = t.comp[2].h = t.comp[2].v = 1;
  jpeg_mcu_setup(t, 50, 8, false);
  EXPECT_EQ(t.mcusPerRow, 3);
  EXPECT_EQ(t.mcuWidth, 24);
}

TEST(JpegMcu, DownsamplingAlternatesItsRoundingAndUpsamplingRepeats) {
  JpegCodec c;
  SetUpColour420(c, 16, 16);
  // Every 2 x 2 cell of plane 1 sums to 2: (2 + 1) >> 2 = 0, (2 + 2) >> 2 = 1.
  for (int r = 0; r < 16; ++r)
    for (int x = 0; x < 16; ++x) c.planes[1][r * 16 + x] = (r % 2 == 0 && x % 2 == 0) ? 2 : 0;
  jpeg_downsample(c);
  const std::uint8_t* cb = c.blockBuf + 64 * 4;  // blocks: 4 luminance, then Cb, Cr
  for (int i = 0; i < 64; ++i) ASSERT_EQ(cb[i], i % 2) << i;
  // Upsampling repeats every sample over its 2 x 2 cell.
  for (int i = 0; i < 64; ++i) c.blockBuf[64 * 5 + i] = static_cast<std::uint8_t>(i);
  jpeg_upsample(c, 5);
  for (int r = 0; r < 16; ++r)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(c.planes[2][r * 16 + x], (r / 2) * 8 + x / 2);
}

}  // namespace
