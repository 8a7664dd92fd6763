#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imagefiles/jpeg_internal.h"

namespace {

// A stream over a byte vector: reads from `data`, writes append to `written`.
class VectorStream : public JpegStream {
 public:
  std::vector<std::uint8_t> data, written;
  std::size_t pos = 0;
  bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t* done) override {
    const std::size_t n = std::min<std::size_t>(count, data.size() - pos);
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    *done = static_cast<std::uint32_t>(n);
    return true;
  }
  bool Write(const std::uint8_t* p, std::uint32_t count, std::uint32_t* done) override {
    written.insert(written.end(), p, p + count);
    *done = count;
    return true;
  }
};

// A one-component coder with the standard luminance tables.
struct Coder {
  VectorStream stream;
  JpegCodec c;
  Coder() {
    c.stream = &stream;
    c.components = 1;
    c.layout = 2;
    c.comp[0].h = c.comp[0].v = 1;
    jpeg_mcu_setup(c, 8, 8, false);
    jpeg_setup_standard_tables(c);
    c.comp[0].dc = c.dcTable[0];
    c.comp[0].ac = c.acTable[0];
  }
};

TEST(JpegHuffman, DcDifferencesOfOne) {
  // Size 1 has the code 010 in the luminance DC table; then the value bit; then EOB
  // (1010). The last byte is completed with one bits.
  struct Case {
    int dc;
    std::uint8_t byte;
  };
  for (const Case& k : {Case{-1, 0x4A}, Case{1, 0x5A}}) {
    Coder e;
    std::int16_t block[64] = {};
    block[0] = static_cast<std::int16_t>(k.dc);
    jpeg_encode_block(e.c, block, e.c.comp[0], false);
    jpeg_flush_bits(e.c);
    ASSERT_EQ(e.stream.written.size(), 1u) << k.dc;
    EXPECT_EQ(e.stream.written[0], k.byte) << k.dc;
  }
}

TEST(JpegHuffman, LongZeroRunCodesZrlThenRunAndSize) {
  std::int16_t block[64] = {};
  block[zigzag[18]] = 5;  // 17 zeros, then 5
  Coder stats;
  jpeg_alloc_statistics(stats.c);
  jpeg_encode_block(stats.c, block, stats.c.comp[0], true);
  EXPECT_EQ(stats.c.acFreq[0][0xF0], 1u);
  EXPECT_EQ(stats.c.acFreq[0][0x13], 1u);
  EXPECT_EQ(stats.c.acFreq[0][0x00], 1u);
  EXPECT_EQ(stats.c.dcFreq[0][0], 1u);
  int symbols = 0;
  for (int i = 0; i < 256; ++i) symbols += static_cast<int>(stats.c.acFreq[0][i]);
  EXPECT_EQ(symbols, 3);

  // The written block decodes back, value bits 101 included.
  Coder e;
  jpeg_encode_block(e.c, block, e.c.comp[0], false);
  jpeg_flush_bits(e.c);
  Coder d;
  d.stream.data = e.stream.written;
  jpeg_derive_huffman(*d.c.dcTable[0], true);
  jpeg_derive_huffman(*d.c.acTable[0], true);
  std::int16_t back[64];
  EXPECT_EQ(jpeg_decode_block(d.c, back, d.c.comp[0]), 18);
  EXPECT_EQ(std::memcmp(back, block, sizeof block), 0);
  jpeg_check_data(d.c);
}

TEST(JpegHuffman, ByteFfIsFollowedByZero) {
  Coder e;
  jpeg_put_bits(e.c, 8, 0xFF);
  jpeg_put_bits(e.c, 4, 0xF);
  jpeg_flush_bits(e.c);
  EXPECT_EQ(e.stream.written, (std::vector<std::uint8_t>{0xFF, 0x00, 0xFF, 0x00}));
  // The reader takes the pair for one 0xFF byte and stops at a real marker.
  Coder d;
  d.stream.data = {0xFF, 0x00, 0xA5, 0xFF, 0xD9};
  EXPECT_EQ(jpeg_get_bits(d.c, 8), 0xFFu);
  EXPECT_EQ(jpeg_get_bits(d.c, 8), 0xA5u);
  jpeg_check_data(d.c);
  EXPECT_EQ(jpeg_get_bits(d.c, 8), 0u);
  EXPECT_THROW(jpeg_check_data(d.c), JpegFault);
}

TEST(JpegHuffman, OptimalTablesFitSixteenBitsAndLeaveNoAllOnesCode) {
  // Fibonacci frequencies would give codes of up to 30 bits without the limit.
  std::uint32_t freq[257] = {};
  std::uint32_t a = 1, b = 1;
  for (int s = 0; s < 30; ++s) {
    freq[s * 7] = a;
    const std::uint32_t n = a + b;
    a = b;
    b = n;
  }
  JpegHuffTable t{};
  EXPECT_EQ(jpeg_optimal_huffman(freq, t), 30);
  long kraft = 0;  // sum of 2^(16 - length)
  int total = 0;
  for (int l = 1; l <= 16; ++l) {
    kraft += static_cast<long>(t.bits[l]) << (16 - l);
    total += t.bits[l];
  }
  EXPECT_EQ(total, 30);
  EXPECT_LT(kraft, 1L << 16);  // the reserved code left a gap: no code is all ones
  ASSERT_TRUE(jpeg_derive_huffman(t, false));
  for (int s = 0; s < 30; ++s) EXPECT_GT(t.size[s * 7], 0) << s;
  // The more frequent symbol never gets the longer code.
  EXPECT_LE(t.size[29 * 7], t.size[0]);

  // A table with more codes of one length than the code space holds is refused.
  JpegHuffTable bad{};
  bad.bits[1] = 3;
  bad.valueCount = 3;
  EXPECT_FALSE(jpeg_derive_huffman(bad, true));
}

}  // namespace
