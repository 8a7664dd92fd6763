#include "imagefiles/ccitt.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// Bit string of the bytes, most significant bit first.
std::string BitsOf(const Bytes& b) {
  std::string s;
  for (BYTE v : b)
    for (int i = 7; i >= 0; --i) s += ((v >> i) & 1) ? '1' : '0';
  return s;
}

Bytes FromBits(const std::string& s) {
  Bytes out((s.size() + 7) / 8, 0);
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i] == '1') out[i / 8] |= static_cast<BYTE>(0x80 >> (i % 8));
  return out;
}

Bytes Row(int width, const std::vector<std::pair<int, int>>& blackRuns) {
  Bytes row(static_cast<std::size_t>((width + 7) / 8), 0xFF);
  for (auto [start, len] : blackRuns)
    for (int p = start; p < start + len; ++p) row[p / 8] &= static_cast<BYTE>(~(0x80 >> (p % 8)));
  return row;
}

Bytes EncodeMh(const Bytes& row, int width) {
  Bytes out;
  CcittBits bits;
  bits.out = &out;
  ccitt_encode_mh_row(bits, row.data(), width);
  return out;
}

// The codes of a Modified Huffman row without the zero bits that align it: decoding it
// as a T.4 row (which keeps no alignment) tells how many bits the codes take.
std::string MhBits(const Bytes& row, int width) {
  Bytes code = EncodeMh(row, width);
  CcittBits probe;
  probe.in = code.data();
  probe.inEnd = code.data() + code.size();
  CcittDecodeSetup t4;
  t4.compression = 3;
  Bytes scratch(row.size());
  ccitt_decode_mh_row(scratch.data(), width, probe, t4, 0);
  const std::size_t left = static_cast<std::size_t>(probe.count) +
                           8 * static_cast<std::size_t>(probe.inEnd - probe.in);
  const std::string all = BitsOf(code);
  return all.substr(0, all.size() - left);
}

TEST(Ccitt, ModifiedHuffmanCodesOfTheStandard) {
  // All white 1728: make-up 1728, terminating 0, zero bits to the byte boundary.
  EXPECT_EQ(BitsOf(EncodeMh(Row(1728, {}), 1728)), "010011011" "00110101" "0000000");
  // A black first pixel: the white run 0 first, then black run 1 (010), white run 7 (1111).
  EXPECT_EQ(BitsOf(EncodeMh(Row(8, {{0, 1}}), 8)).substr(0, 15), "00110101" "010" "1111");
  // 6000 white: 2560, 2560, make-up 832 and terminating 48.
  EXPECT_EQ(BitsOf(EncodeMh(Row(6000, {}), 6000)).substr(0, 45),
            "000000011111" "000000011111" "011010010" "00001011" "0000");
}

TEST(Ccitt, GroupFourWhiteRowIsOneBit) {
  Bytes out;
  CcittBits bits;
  bits.out = &out;
  CcittLines lines;
  ASSERT_EQ(ccitt_lines_alloc(lines, 100), 0);
  const Bytes row = Row(100, {});
  EXPECT_EQ(ccitt_encode_g4_row(bits, row.data(), 100, lines), 0);
  EXPECT_EQ(bits.count, 1);
  ccitt_flush_bits(bits);
  EXPECT_EQ(out, Bytes{0x80});
}

// Random rows with long and short runs; some rows repeat the row above.
std::vector<Bytes> Page(int width, int rows, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Bytes> page;
  for (int r = 0; r < rows; ++r) {
    if (r > 0 && rng() % 4 == 0) {
      page.push_back(page.back());
      continue;
    }
    std::vector<std::pair<int, int>> runs;
    int p = static_cast<int>(rng() % 5);
    while (p < width) {
      const int len = 1 + static_cast<int>(rng() % (rng() % 2 ? 4 : 3000));
      runs.push_back({p, std::min(len, width - p)});
      p += len + 1 + static_cast<int>(rng() % (rng() % 2 ? 3 : 2500));
    }
    page.push_back(Row(width, runs));
  }
  return page;
}

TEST(Ccitt, RowsRoundTripInEveryCoding) {
  for (int width : {1, 7, 64, 1728, 5000}) {
    const int rows = 40;
    const int rowsPerStrip = 16;
    const auto page = Page(width, rows, static_cast<unsigned>(width));
    for (int compression : {2, 4}) {
      // One strip per 16 rows; Group 4 strips end with EOFB on a byte boundary.
      Bytes data;
      CcittBits w;
      w.out = &data;
      CcittLines lines;
      ASSERT_EQ(ccitt_lines_alloc(lines, width), 0);
      for (int r = 0; r < rows; ++r) {
        if (compression == 4 && r % rowsPerStrip == 0) {
          if (r > 0) ccitt_g4_strip_end(w);
          ccitt_lines_reset(lines);
          w.acc = 0;
          w.count = 0;
        }
        if (compression == 2)
          ccitt_encode_mh_row(w, page[r].data(), width);
        else
          ASSERT_EQ(ccitt_encode_g4_row(w, page[r].data(), width, lines), 0);
      }
      if (compression == 4) ccitt_g4_strip_end(w);

      CcittBits rd;
      rd.in = data.data();
      rd.inEnd = data.data() + data.size();
      CcittDecodeSetup setup;
      setup.compression = compression;
      setup.rowsPerStrip = rowsPerStrip;
      ASSERT_EQ(ccitt_lines_alloc(lines, width), 0);
      Bytes row(page[0].size());
      for (int r = 0; r < rows; ++r) {
        const int res = compression == 2
                            ? ccitt_decode_mh_row(row.data(), width, rd, setup, r)
                            : ccitt_decode_g4_row(row.data(), lines, width, rd, setup, r);
        ASSERT_EQ(res, 0) << width << " " << compression << " row " << r;
        // Bits behind the last pixel are not pixels.
        Bytes want = page[r];
        if (width % 8) want.back() &= static_cast<BYTE>(0xFF << (8 - width % 8));
        ASSERT_EQ(row, want) << width << " " << compression << " row " << r;
      }
    }
  }
}

TEST(Ccitt, GroupThreeRowsWithEolsDecodeLikeModifiedHuffman) {
  const int width = 50;
  const auto page = Page(width, 6, 3);
  for (int t4 : {0, 4}) {
    // EOL in front of every row; with T4Options 4 fill bits make each EOL end on a byte.
    std::string s;
    for (const auto& row : page) {
      if (t4 == 4)
        while ((s.size() + 12) % 8 != 0) s += '0';
      s += "000000000001";
      s += MhBits(row, width);
    }
    const Bytes data = FromBits(s);
    CcittBits rd;
    rd.in = data.data();
    rd.inEnd = data.data() + data.size();
    CcittDecodeSetup setup;
    setup.compression = 3;
    setup.t4Options = t4;
    Bytes row(page[0].size());
    for (std::size_t r = 0; r < page.size(); ++r) {
      ASSERT_EQ(ccitt_decode_mh_row(row.data(), width, rd, setup, static_cast<int>(r)), 0);
      Bytes want = page[r];
      want.back() &= static_cast<BYTE>(0xFF << (8 - width % 8));
      EXPECT_EQ(row, want) << "T4Options " << t4 << " row " << r;
    }
  }
}

TEST(Ccitt, BadDataEndsWithCodesAndStaysInTheRow) {
  CcittLines lines;
  CcittDecodeSetup g4;
  g4.compression = 4;
  // Seven zero bits where a mode code is due.
  {
    ASSERT_EQ(ccitt_lines_alloc(lines, 16), 0);
    Bytes data = {0x01, 0xFF};
    CcittBits rd;
    rd.in = data.data();
    rd.inEnd = data.data() + data.size();
    Bytes row(2);
    EXPECT_EQ(ccitt_decode_g4_row(row.data(), lines, 16, rd, g4, 0), -6);
  }
  // V(L3) again and again never moves a0: the list fills up.
  {
    ASSERT_EQ(ccitt_lines_alloc(lines, 8), 0);
    std::string s;
    for (int i = 0; i < 30; ++i) s += "0000010";
    const Bytes data = FromBits(s);
    CcittBits rd;
    rd.in = data.data();
    rd.inEnd = data.data() + data.size();
    Bytes row(1);
    EXPECT_EQ(ccitt_decode_g4_row(row.data(), lines, 8, rd, g4, 0), -44);
  }
  // A white run far longer than the row is cut at the row's end.
  {
    const Bytes data = FromBits("011010010" "00001011");  // 832 + 48 white
    CcittBits rd;
    rd.in = data.data();
    rd.inEnd = data.data() + data.size();
    CcittDecodeSetup mh;
    Bytes row(2, 0);
    EXPECT_EQ(ccitt_decode_mh_row(row.data(), 10, rd, mh, 0), 0);
    EXPECT_EQ(row, (Bytes{0xFF, 0xC0}));
  }
  // Data that ends before the row is complete.
  {
    const Bytes data = FromBits("0111");  // white 2, then nothing
    CcittBits rd;
    rd.in = data.data();
    rd.inEnd = data.data() + data.size();
    CcittDecodeSetup mh;
    Bytes row(13, 0);
    EXPECT_EQ(ccitt_decode_mh_row(row.data(), 100, rd, mh, 0), -6);
  }
}

}  // namespace
