#include "imagefiles/ccitt.h"

#include <algorithm>
#include <cstring>

#include "imagefiles/dib_convert.h"

namespace {

struct Code {
  BYTE value;
  BYTE length;
};

// Run-length codes of ITU-T T.4: terminating codes for runs 0 to 63, make-up codes for
// 64 to 1728, then the extended make-up codes for 1792 to 2560 shared by both colours.
// Every long code starts with zeros, so each value fits in 8 bits.
constexpr Code kWhite[104] = {
    {0x35, 8}, {0x07, 6}, {0x07, 4}, {0x08, 4}, {0x0B, 4}, {0x0C, 4}, {0x0E, 4}, {0x0F, 4},
    {0x13, 5}, {0x14, 5}, {0x07, 5}, {0x08, 5}, {0x08, 6}, {0x03, 6}, {0x34, 6}, {0x35, 6},
    {0x2A, 6}, {0x2B, 6}, {0x27, 7}, {0x0C, 7}, {0x08, 7}, {0x17, 7}, {0x03, 7}, {0x04, 7},
    {0x28, 7}, {0x2B, 7}, {0x13, 7}, {0x24, 7}, {0x18, 7}, {0x02, 8}, {0x03, 8}, {0x1A, 8},
    {0x1B, 8}, {0x12, 8}, {0x13, 8}, {0x14, 8}, {0x15, 8}, {0x16, 8}, {0x17, 8}, {0x28, 8},
    {0x29, 8}, {0x2A, 8}, {0x2B, 8}, {0x2C, 8}, {0x2D, 8}, {0x04, 8}, {0x05, 8}, {0x0A, 8},
    {0x0B, 8}, {0x52, 8}, {0x53, 8}, {0x54, 8}, {0x55, 8}, {0x24, 8}, {0x25, 8}, {0x58, 8},
    {0x59, 8}, {0x5A, 8}, {0x5B, 8}, {0x4A, 8}, {0x4B, 8}, {0x32, 8}, {0x33, 8}, {0x34, 8},
    // make-up 64 .. 1728
    {0x1B, 5}, {0x12, 5}, {0x17, 6}, {0x37, 7}, {0x36, 8}, {0x37, 8}, {0x64, 8}, {0x65, 8},
    {0x68, 8}, {0x67, 8}, {0xCC, 9}, {0xCD, 9}, {0xD2, 9}, {0xD3, 9}, {0xD4, 9}, {0xD5, 9},
    {0xD6, 9}, {0xD7, 9}, {0xD8, 9}, {0xD9, 9}, {0xDA, 9}, {0xDB, 9}, {0x98, 9}, {0x99, 9},
    {0x9A, 9}, {0x18, 6}, {0x9B, 9},
    // extended make-up 1792 .. 2560
    {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12}, {0x14, 12}, {0x15, 12},
    {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12}};

constexpr Code kBlack[104] = {
    {0x37, 10}, {0x02, 3},  {0x03, 2},  {0x02, 2},  {0x03, 3},  {0x03, 4},  {0x02, 4},
    {0x03, 5},  {0x05, 6},  {0x04, 6},  {0x04, 7},  {0x05, 7},  {0x07, 7},  {0x04, 8},
    {0x07, 8},  {0x18, 9},  {0x17, 10}, {0x18, 10}, {0x08, 10}, {0x67, 11}, {0x68, 11},
    {0x6C, 11}, {0x37, 11}, {0x28, 11}, {0x17, 11}, {0x18, 11}, {0xCA, 12}, {0xCB, 12},
    {0xCC, 12}, {0xCD, 12}, {0x68, 12}, {0x69, 12}, {0x6A, 12}, {0x6B, 12}, {0xD2, 12},
    {0xD3, 12}, {0xD4, 12}, {0xD5, 12}, {0xD6, 12}, {0xD7, 12}, {0x6C, 12}, {0x6D, 12},
    {0xDA, 12}, {0xDB, 12}, {0x54, 12}, {0x55, 12}, {0x56, 12}, {0x57, 12}, {0x64, 12},
    {0x65, 12}, {0x52, 12}, {0x53, 12}, {0x24, 12}, {0x37, 12}, {0x38, 12}, {0x27, 12},
    {0x28, 12}, {0x58, 12}, {0x59, 12}, {0x2B, 12}, {0x2C, 12}, {0x5A, 12}, {0x66, 12},
    {0x67, 12},
    // make-up 64 .. 1728
    {0x0F, 10}, {0xC8, 12}, {0xC9, 12}, {0x5B, 12}, {0x33, 12}, {0x34, 12}, {0x35, 12},
    {0x6C, 13}, {0x6D, 13}, {0x4A, 13}, {0x4B, 13}, {0x4C, 13}, {0x4D, 13}, {0x72, 13},
    {0x73, 13}, {0x74, 13}, {0x75, 13}, {0x76, 13}, {0x77, 13}, {0x52, 13}, {0x53, 13},
    {0x54, 13}, {0x55, 13}, {0x5A, 13}, {0x5B, 13}, {0x64, 13}, {0x65, 13},
    // extended make-up 1792 .. 2560
    {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12}, {0x14, 12}, {0x15, 12},
    {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12}};

// Two-dimensional mode codes: V(R3), V(R2), V(R1), V(0), V(L1), V(L2), V(L3), pass,
// horizontal. Entry i below 7 is the vertical mode with a1 = b1 + 3 - i.
constexpr Code kModes[9] = {{0x03, 7}, {0x03, 6}, {0x03, 3}, {0x01, 1}, {0x02, 3},
                            {0x02, 6}, {0x02, 7}, {0x01, 4}, {0x01, 3}};
constexpr int kPass = 7;
constexpr int kHorizontal = 8;

// Lookup tables indexed by the next 13 (runs) or 7 (modes) bits: the code's index.
struct Lookup {
  BYTE white[8192];
  BYTE black[8192];
  BYTE modes[128];
};

void ccitt_build_lookup(BYTE* table, int bits, const Code* codes, int n) {
  std::memset(table, 0, static_cast<std::size_t>(1) << bits);
  for (int i = 0; i < n; ++i) {
    const int shift = bits - codes[i].length;
    const int base = codes[i].value << shift;
    for (int k = 0; k < (1 << shift); ++k) table[base + k] = static_cast<BYTE>(i);
  }
}

const Lookup& Tables() {
  static const Lookup* tables = [] {
    auto* t = new Lookup;
    ccitt_build_lookup(t->white, 13, kWhite, 104);
    ccitt_build_lookup(t->black, 13, kBlack, 104);
    ccitt_build_lookup(t->modes, 7, kModes, 9);
    return t;
  }();
  return *tables;
}

// Sets `count` pixels from `start` white, never past the row's end.
void White(BYTE* row, int start, int count, int width) {
  if (count > 0)
    bits_set_run(static_cast<unsigned>(start), row, static_cast<unsigned>(count), static_cast<unsigned>(width));
}

void PutRun(CcittBits& bits, int colour, int run) {
  const Code* codes = colour ? kWhite : kBlack;
  while (run >= 2560) {
    tiff_put_bits(bits, codes[103].length, codes[103].value);
    run -= 2560;
  }
  if (run >= 64) {
    const Code& c = codes[63 + run / 64];
    tiff_put_bits(bits, c.length, c.value);
    run -= (run / 64) * 64;
  }
  tiff_put_bits(bits, codes[run].length, codes[run].value);
}

// Decodes one run of the colour; -1 when the data ran out.
int DecodeRun(CcittBits& bits, int colour) {
  const Lookup& t = Tables();
  const BYTE* lut = colour ? t.white : t.black;
  const Code* codes = colour ? kWhite : kBlack;
  int total = 0;
  for (;;) {
    const int index = lut[tiff_peek_bits(bits, 13)];
    if (bits.ended) return -1;
    ccitt_drop_bits(bits, codes[index].length);
    if (index < 64) return total + index;
    total += (index - 63) * 64;
    if (total > (1 << 24)) return -1;  // no row is that wide
  }
}

void DropToByte(CcittBits& bits) { ccitt_drop_bits(bits, bits.count & 7); }

bool StripStart(const CcittDecodeSetup& setup, int rowIndex) {
  return rowIndex != 0 && setup.rowsPerStrip > 0 && rowIndex % setup.rowsPerStrip == 0;
}

// b1 and b2 (or a1 and a2): the first element of `list` beyond a0 whose index has the
// parity of the colour (even for white), and the element after it; `width` when absent.
void FindPair(const std::uint16_t* list, int n, int& cursor, int a0, int colour, int width,
              int& p1, int& p2) {
  int i = cursor;
  while (i > 0 && list[i - 1] > a0) --i;
  while (i < n && list[i] <= a0) ++i;
  if ((i & 1) != (colour ? 0 : 1)) ++i;
  cursor = i;
  p1 = i < n ? list[i] : width;
  p2 = i + 1 < n ? list[i + 1] : width;
}

}  // namespace

std::uint32_t tiff_peek_bits(CcittBits& bits, int count) {
  while (bits.count <= 24) {
    if (bits.in == bits.inEnd) {
      if (!bits.more || !bits.more(bits.in, bits.inEnd) || bits.in == bits.inEnd) break;
    }
    bits.acc |= static_cast<std::uint32_t>(*bits.in++) << (24 - bits.count);
    bits.count += 8;
  }
  if (bits.count == 0) bits.ended = true;
  return bits.acc >> (32 - count);
}

void ccitt_drop_bits(CcittBits& bits, int count) {
  if (count >= bits.count) {
    bits.acc = 0;
    bits.count = 0;
  } else {
    bits.acc <<= count;
    bits.count -= count;
  }
}

void tiff_put_bits(CcittBits& bits, int count, std::uint32_t value) {
  bits.acc = (bits.acc << count) | (value & ((1u << count) - 1));
  bits.count += count;
  while (bits.count >= 8) {
    bits.count -= 8;
    bits.out->push_back(static_cast<BYTE>(bits.acc >> bits.count));
  }
  bits.acc &= (1u << bits.count) - 1;
}

void ccitt_flush_bits(CcittBits& bits) {
  if (bits.count > 0) tiff_put_bits(bits, 8 - bits.count, 0);
  bits.acc = 0;
  bits.count = 0;
}

int ccitt_lines_alloc(CcittLines& lines, int width) {
  lines.width = width;
  lines.capacity = std::min(width + 1, 8192);
  try {
    lines.ref.assign(static_cast<std::size_t>(lines.capacity), 0);
    lines.cur.assign(static_cast<std::size_t>(lines.capacity), 0);
  } catch (...) {
    return -14;
  }
  ccitt_lines_reset(lines);
  return 0;
}

void ccitt_lines_reset(CcittLines& lines) {
  lines.ref[0] = static_cast<std::uint16_t>(lines.width);
  lines.refCount = 1;
  lines.curCount = 0;
}

int ccitt_run_length(int colour, int position, const BYTE* row, int width) {
  const BYTE fill = colour ? 0xFF : 0x00;
  int p = position;
  // Bit by bit to the end of the first byte.
  while (p < width && (p & 7) != 0) {
    if (((row[p >> 3] >> (7 - (p & 7))) & 1) != colour) return p - position;
    ++p;
  }
  // Whole bytes of the colour, eight pixels at a time.
  while (p + 8 <= width && row[p >> 3] == fill) p += 8;
  // The rest bit by bit.
  while (p < width && ((row[p >> 3] >> (7 - (p & 7))) & 1) == colour) ++p;
  return p - position;
}

int ccitt_changes(const BYTE* row, int width, CcittLines& lines) {
  int pos = 0;
  int colour = 1;
  int n = 0;
  while (pos < width) {
    pos += ccitt_run_length(colour, pos, row, width);
    if (n >= lines.capacity) return -44;
    lines.cur[n++] = static_cast<std::uint16_t>(pos);
    colour ^= 1;
  }
  lines.curCount = n;
  return 0;
}

int ccitt_encode_mh_row(CcittBits& bits, const BYTE* row, int width) {
  bits.acc = 0;
  bits.count = 0;
  int colour = 1;
  int pos = 0;
  do {
    const int run = ccitt_run_length(colour, pos, row, width);
    PutRun(bits, colour, run);
    pos += run;
    colour ^= 1;
  } while (pos < width);
  ccitt_flush_bits(bits);  // every row starts on a byte boundary
  return 0;
}

int ccitt_encode_g4_row(CcittBits& bits, const BYTE* row, int width, CcittLines& lines) {
  if (int r = ccitt_changes(row, width, lines); r != 0) return r;
  int a0 = -1;
  int colour = 1;
  int bc = 0, ac = 0;
  while (a0 < width) {
    int b1, b2, a1, a2;
    FindPair(lines.ref.data(), lines.refCount, bc, a0, colour, width, b1, b2);
    FindPair(lines.cur.data(), lines.curCount, ac, a0, colour, width, a1, a2);
    if (b2 < a1) {
      tiff_put_bits(bits, kModes[kPass].length, kModes[kPass].value);
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      const Code& m = kModes[3 - (a1 - b1)];
      tiff_put_bits(bits, m.length, m.value);
      a0 = a1;
      colour ^= 1;
    } else {
      tiff_put_bits(bits, kModes[kHorizontal].length, kModes[kHorizontal].value);
      PutRun(bits, colour, a1 - std::max(a0, 0));
      PutRun(bits, colour ^ 1, a2 - a1);
      a0 = a2;
    }
  }
  std::swap(lines.ref, lines.cur);
  lines.refCount = lines.curCount;
  lines.curCount = 0;
  return 0;
}

void ccitt_g4_strip_end(CcittBits& bits) {
  tiff_put_bits(bits, 24, 0x001001);
  ccitt_flush_bits(bits);
}

int ccitt_decode_mh_row(BYTE* row, int width, CcittBits& bits, const CcittDecodeSetup& setup,
                        int rowIndex) {
  std::memset(row, 0, static_cast<std::size_t>((width + 7) / 8));
  if (setup.compression == 3) {
    // EOLs and fill bits in front of the row.
    for (;;) {
      int w = 12;
      if (setup.t4Options == 4) w = ((bits.count - 4) % 8 + 8) % 8 + 12;
      if (w > 24) w = 24;
      const std::uint32_t v = tiff_peek_bits(bits, w) & 0xFFF;
      if (bits.ended) return -6;
      if (v == 0)
        ccitt_drop_bits(bits, 1);
      else if (v == 1)
        ccitt_drop_bits(bits, w);
      else
        break;
    }
    if (StripStart(setup, rowIndex)) DropToByte(bits);
  }
  int colour = 1;
  int pos = 0;
  while (pos < width) {
    const int run = DecodeRun(bits, colour);
    if (run < 0) return -6;
    const int len = std::min(run, width - pos);  // runs never reach past the row
    if (colour) White(row, pos, len, width);
    pos += len;
    colour ^= 1;
  }
  if (setup.compression == 2) DropToByte(bits);
  return 0;
}

void ccitt_g4_strip_start(CcittBits& bits, CcittLines& lines) {
  if (tiff_peek_bits(bits, 24) == 0x001001) ccitt_drop_bits(bits, 24);
  DropToByte(bits);
  while (!bits.ended && tiff_peek_bits(bits, 8) == 0 && bits.count >= 8) ccitt_drop_bits(bits, 8);
  ccitt_lines_reset(lines);
}

int ccitt_decode_g4_row(BYTE* row, CcittLines& lines, int width, CcittBits& bits,
                        const CcittDecodeSetup& setup, int rowIndex) {
  std::memset(row, 0, static_cast<std::size_t>((width + 7) / 8));
  if (StripStart(setup, rowIndex)) ccitt_g4_strip_start(bits, lines);
  const Lookup& t = Tables();
  lines.curCount = 0;
  auto append = [&](int pos) {
    if (lines.curCount >= lines.capacity) return false;
    lines.cur[lines.curCount++] = static_cast<std::uint16_t>(pos);
    return true;
  };
  int a0 = -1;
  int colour = 1;
  int bc = 0;
  while (a0 < width) {
    const std::uint32_t v = tiff_peek_bits(bits, 7);
    if (bits.ended || v == 0) return -6;
    const int mode = t.modes[v];
    ccitt_drop_bits(bits, kModes[mode].length);
    const int start = std::max(a0, 0);
    if (mode == kHorizontal) {
      const int r1 = DecodeRun(bits, colour);
      const int r2 = r1 < 0 ? -1 : DecodeRun(bits, colour ^ 1);
      if (r2 < 0) return -6;
      const int a1 = std::min(start + r1, width);
      const int a2 = std::min(a1 + r2, width);
      if (colour)
        White(row, start, a1 - start, width);
      else
        White(row, a1, a2 - a1, width);
      if (!append(a1) || !append(a2)) return -44;
      a0 = a2;
      continue;
    }
    int b1, b2;
    FindPair(lines.ref.data(), lines.refCount, bc, a0, colour, width, b1, b2);
    if (mode == kPass) {
      const int end = std::max(b2, start);
      if (colour) White(row, start, end - start, width);
      a0 = end;
    } else {
      // Positions are kept within the row and never move backwards.
      const int a1 = std::clamp(b1 + 3 - mode, start, width);
      if (colour) White(row, start, a1 - start, width);
      if (!append(a1)) return -44;
      a0 = a1;
      colour ^= 1;
    }
  }
  std::swap(lines.ref, lines.cur);
  lines.refCount = lines.curCount;
  lines.curCount = 0;
  return 0;
}
