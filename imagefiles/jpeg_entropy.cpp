// JPEG entropy coding: Huffman code tables, the buffered bit reader and writer,
// sequential and progressive decoding into coefficient blocks, sequential and
// progressive encoding with tables optimised for the image.
#include <algorithm>
#include <cstring>
#include <new>

#include "imagefiles/jpeg_internal.h"

const std::uint8_t zigzag[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
    40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
    47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// The typical tables of the JPEG standard (Annex K.3); bits[0] is unused.
const std::uint8_t jpeg_std_dc_luminance_bits[17] = {0, 0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
const std::uint8_t jpeg_std_dc_luminance_values[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const std::uint8_t jpeg_std_dc_chrominance_bits[17] = {0, 0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
const std::uint8_t jpeg_std_dc_chrominance_values[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const std::uint8_t jpeg_std_ac_luminance_bits[17] = {0, 0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
const std::uint8_t jpeg_std_ac_luminance_values[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
const std::uint8_t jpeg_std_ac_chrominance_bits[17] = {0, 0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
const std::uint8_t jpeg_std_ac_chrominance_values[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

namespace {

inline int BitLength(unsigned v) {
  int n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

// Sign extension of an s-bit magnitude category value (F.2.2.1).
inline int Extend(unsigned v, int s) {
  return v < (1u << (s - 1)) ? static_cast<int>(v) - (1 << s) + 1 : static_cast<int>(v);
}

// Appends bytes of entropy-coded data to the accumulator until it holds more than 56
// bits. A 0xFF 0x00 pair yields 0xFF; any other 0xFF starts a marker, which ends the
// data: from there on zero bits are fed and counted.
void FillBits(JpegCodec& c) {
  while (c.bits <= 56) {
    if (!c.dataEnded) {
      if (c.count - c.index < 2 && !jpeg_ensure_bytes(c, 2)) {
        // One byte or none left in the file.
        if (c.index < c.count && c.buffer[c.index] != 0xFF) {
          c.acc = (c.acc << 8) | c.buffer[c.index++];
          c.bits += 8;
          continue;
        }
        c.dataEnded = true;
        continue;
      }
      const std::uint8_t b = c.buffer[c.index];
      if (b != 0xFF) {
        ++c.index;
      } else if (c.buffer[c.index + 1] == 0x00) {
        c.index += 2;
      } else {
        c.dataEnded = true;
        continue;
      }
      c.acc = (c.acc << 8) | b;
      c.bits += 8;
    } else {
      c.acc <<= 8;
      c.bits += 8;
      c.padBits += 8;
    }
  }
}

inline unsigned PeekBits(const JpegCodec& c, int n) {
  return static_cast<unsigned>(c.acc >> (c.bits - n)) & ((1u << n) - 1);
}

// Sequential and first-scan blocks read a symbol and its value bits from at least 32
// held bits, so a refill is needed at most once per symbol.
inline int DecodeSymbolFast(JpegCodec& c, const JpegHuffTable& t) {
  if (c.bits < 32) FillBits(c);
  const unsigned look = PeekBits(c, 8);
  const int len = t.lookLength[look];
  if (len) {
    c.bits -= len;
    return t.lookSymbol[look];
  }
  int l = 9;
  std::int32_t code = static_cast<std::int32_t>(PeekBits(c, 9));
  while (code > t.maxcode[l]) {
    ++l;
    if (l > 16) jpeg_fail(-62);
    code = static_cast<std::int32_t>(PeekBits(c, l));
  }
  c.bits -= l;
  return t.huffval[(t.valptr[l] + code - t.mincode[l]) & 0xFF];
}

inline unsigned TakeBits(JpegCodec& c, int n) {
  const unsigned v = PeekBits(c, n);
  c.bits -= n;
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Tables

void jpeg_alloc_huffman(JpegCodec& c) {
  if (c.huffStore) return;
  c.huffStore.reset(new JpegHuffTable[8]());
  for (int i = 0; i < 4; ++i) {
    c.dcTable[i] = &c.huffStore[i];
    c.acTable[i] = &c.huffStore[4 + i];
  }
}

JpegHuffTable& jpeg_huff_slot(JpegCodec& c, bool isDC, int index) {
  jpeg_alloc_huffman(c);
  return isDC ? *c.dcTable[index] : *c.acTable[index];
}

bool jpeg_derive_huffman(JpegHuffTable& t, bool forDecoding) {
  std::uint8_t huffsize[257];
  std::uint16_t huffcode[257];
  int p = 0;
  for (int l = 1; l <= 16; ++l)
    for (int i = 0; i < t.bits[l]; ++i) {
      if (p >= 256) return false;
      huffsize[p++] = static_cast<std::uint8_t>(l);
    }
  huffsize[p] = 0;
  const int total = p;
  // Canonical codes: consecutive within a length, doubled per length step.
  std::uint32_t code = 0;
  int si = total ? huffsize[0] : 0;
  p = 0;
  while (p < total) {
    while (p < total && huffsize[p] == si) huffcode[p++] = static_cast<std::uint16_t>(code++);
    if (code > (1u << si)) return false;
    code <<= 1;
    ++si;
  }
  if (!forDecoding) {
    std::memset(t.size, 0, sizeof t.size);
    std::memset(t.code, 0, sizeof t.code);
    for (p = 0; p < total; ++p) {
      t.code[t.huffval[p]] = huffcode[p];
      t.size[t.huffval[p]] = huffsize[p];
    }
    return true;
  }
  p = 0;
  for (int l = 1; l <= 16; ++l) {
    if (t.bits[l]) {
      t.valptr[l] = static_cast<std::uint16_t>(p);
      t.mincode[l] = huffcode[p];
      p += t.bits[l];
      t.maxcode[l] = huffcode[p - 1];
    } else {
      t.valptr[l] = 0;
      t.mincode[l] = 0;
      t.maxcode[l] = -1;
    }
  }
  t.maxcode[17] = 0xFFFFF;
  std::memset(t.lookLength, 0, sizeof t.lookLength);
  std::memset(t.lookSymbol, 0, sizeof t.lookSymbol);
  p = 0;
  for (int l = 1; l <= 8; ++l)
    for (int i = 0; i < t.bits[l]; ++i, ++p) {
      int look = huffcode[p] << (8 - l);
      for (int n = 1 << (8 - l); n > 0; --n, ++look) {
        t.lookLength[look] = static_cast<std::uint16_t>(l);
        t.lookSymbol[look] = t.huffval[p];
      }
    }
  t.derived = true;
  return true;
}

// ---------------------------------------------------------------------------------
// Input buffer

bool jpeg_fill_buffer(JpegCodec& c) {
  if (c.index > 0) {
    const std::size_t keep = c.count - c.index;
    std::memmove(c.buffer, c.buffer + c.index, keep);
    c.fileOffset += static_cast<long long>(c.index);
    c.index = 0;
    c.count = keep;
  }
  if (c.endOfFile || c.count == static_cast<std::size_t>(kJpegBufferSize)) return c.count > c.index;
  std::uint32_t done = 0;
  if (!c.stream->Read(c.buffer + c.count, static_cast<std::uint32_t>(kJpegBufferSize - c.count), &done))
    jpeg_fail(-62);
  if (done == 0) c.endOfFile = true;
  c.count += done;
  return c.count > c.index;
}

bool jpeg_ensure_bytes(JpegCodec& c, std::size_t n) {
  while (c.count - c.index < n) {
    const std::size_t before = c.count - c.index;
    if (c.endOfFile) return false;
    jpeg_fill_buffer(c);
    // No progress: the file has ended, or n is more than the buffer holds.
    if (c.count - c.index == before && (c.endOfFile || c.count == static_cast<std::size_t>(kJpegBufferSize)))
      return false;
  }
  return true;
}

int jpeg_read_byte(JpegCodec& c) {
  if (c.index >= c.count && !jpeg_fill_buffer(c)) return -1;
  return c.buffer[c.index++];
}

// ---------------------------------------------------------------------------------
// Sequential decoding

void jpeg_reset_bits(JpegCodec& c) {
  c.acc = 0;
  c.bits = 0;
  c.padBits = 0;
  c.dataEnded = false;
}

unsigned jpeg_get_bits(JpegCodec& c, int n) {
  if (n == 0) return 0;
  if (c.bits < n) FillBits(c);
  return TakeBits(c, n);
}

void jpeg_check_data(JpegCodec& c) {
  if (c.bits < c.padBits) jpeg_fail(-62);
}

int jpeg_decode_block(JpegCodec& c, std::int16_t* coef, JpegComponent& k) {
  std::memset(coef, 0, 64 * sizeof(std::int16_t));
  int s = DecodeSymbolFast(c, *k.dc);
  if (s) {
    if (s > 15) jpeg_fail(-62);
    k.lastDc = static_cast<std::int16_t>(k.lastDc + Extend(TakeBits(c, s), s));
  }
  coef[0] = static_cast<std::int16_t>(k.lastDc);
  const JpegHuffTable& ac = *k.ac;
  int last = 0;
  for (int pos = 1; pos < 64;) {
    const int rs = DecodeSymbolFast(c, ac);
    const int r = rs >> 4;
    s = rs & 15;
    if (s == 0) {
      if (r != 15) break;
      pos += 16;
      continue;
    }
    pos += r;
    if (pos > 63) break;
    coef[zigzag[pos]] = static_cast<std::int16_t>(Extend(TakeBits(c, s), s));
    last = pos;
    ++pos;
  }
  return last;
}

void jpeg_restart(JpegCodec& c) {
  // Whatever the bit reader holds is padding before the marker.
  jpeg_reset_bits(c);
  while (jpeg_ensure_bytes(c, 1)) {
    if (c.buffer[c.index] != 0xFF) {
      ++c.index;
      continue;
    }
    while (jpeg_ensure_bytes(c, 2) && c.buffer[c.index + 1] == 0xFF) ++c.index;
    if (!jpeg_ensure_bytes(c, 2)) break;
    const std::uint8_t m = c.buffer[c.index + 1];
    if (m == 0x00) {
      c.index += 2;
      continue;
    }
    // A restart marker is consumed; any other marker stays and ends the data.
    if (m >= 0xD0 && m <= 0xD7) c.index += 2;
    break;
  }
  for (int i = 0; i < c.components; ++i) c.comp[i].lastDc = 0;
  c.eobRun = 0;
  c.restartsLeft = c.restartInterval;
}

int jpeg_check_scan(const JpegCodec& c, const JpegScan& scan, bool progressive) {
  if (scan.count < 1 || scan.count > c.components) return -43;
  if (!progressive) return 0;
  if (scan.ss == 0) {
    if (scan.se != 0) return -43;
  } else {
    if (scan.se < scan.ss || scan.se > 63 || scan.count != 1) return -43;
  }
  if (scan.ah != 0 && scan.al != scan.ah - 1) return -43;
  if (scan.al > 13) return -43;
  return 0;
}

int jpeg_load_scan_tables(JpegCodec& c, const JpegScan& scan, bool progressive) {
  jpeg_alloc_huffman(c);
  const bool needDC = !progressive || (scan.ss == 0 && scan.ah == 0);
  const bool needAC = !progressive || scan.ss > 0;
  for (int i = 0; i < scan.count; ++i) {
    JpegComponent& k = c.comp[scan.comp[i]];
    if (k.dcIndex > 3 || k.acIndex > 3) return -43;
    if (needDC) {
      JpegHuffTable& t = *c.dcTable[k.dcIndex];
      // A scan may not use a table the file never defined; DC categories stop at 15.
      if (!t.defined) return -43;
      for (int v = 0; v < t.valueCount; ++v)
        if (t.huffval[v] > 15) return -43;
      if (!t.derived && !jpeg_derive_huffman(t, true)) return -43;
      k.dc = &t;
    }
    if (needAC) {
      JpegHuffTable& t = *c.acTable[k.acIndex];
      if (!t.defined) return -43;
      if (!t.derived && !jpeg_derive_huffman(t, true)) return -43;
      k.ac = &t;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------------
// Multi-scan decoding

namespace {

inline std::int16_t* BlockAt(const JpegComponent& k, int bx, int by) {
  return k.coef + (static_cast<std::size_t>(by) * k.coefStride + bx) * 64;
}

// Calls `block`(component, coefficients) for every block of the scan in the order the
// standard gives it: one component's blocks in raster order, or interleaved MCUs.
// Restart markers are honoured between MCUs. Returns false when the data ended early.
template <typename BlockFn>
bool ForEachScanBlock(JpegCodec& c, const JpegScan& scan, BlockFn&& block, bool decoding) {
  auto before = [&]() {
    if (decoding && c.restartInterval) {
      if (c.restartsLeft == 0) jpeg_restart(c);
      --c.restartsLeft;
    }
  };
  if (scan.count == 1) {
    JpegComponent& k = c.comp[scan.comp[0]];
    for (int by = 0; by < k.blockRows; ++by)
      for (int bx = 0; bx < k.blocksPerRow; ++bx) {
        before();
        block(k, BlockAt(k, bx, by));
        if (decoding && c.bits < c.padBits) return false;
      }
    return true;
  }
  for (int my = 0; my < c.mcuRows; ++my)
    for (int mx = 0; mx < c.mcusPerRow; ++mx) {
      before();
      for (int i = 0; i < scan.count; ++i) {
        JpegComponent& k = c.comp[scan.comp[i]];
        for (int v = 0; v < k.v; ++v)
          for (int h = 0; h < k.h; ++h) block(k, BlockAt(k, mx * k.h + h, my * k.v + v));
      }
      if (decoding && c.bits < c.padBits) return false;
    }
  return true;
}

void DecodeDcFirst(JpegCodec& c, JpegComponent& k, std::int16_t* coef, int al) {
  const int s = DecodeSymbolFast(c, *k.dc);
  if (s) k.lastDc = static_cast<std::int16_t>(k.lastDc + Extend(TakeBits(c, s), s));
  coef[0] = static_cast<std::int16_t>(k.lastDc * (1 << al));
}

void DecodeDcRefine(JpegCodec& c, std::int16_t* coef, int al) {
  if (jpeg_get_bits(c, 1)) coef[0] = static_cast<std::int16_t>(coef[0] | (1 << al));
}

void DecodeAcFirst(JpegCodec& c, JpegComponent& k, std::int16_t* coef, const JpegScan& scan) {
  if (c.eobRun > 0) {
    --c.eobRun;
    return;
  }
  const JpegHuffTable& t = *k.ac;
  for (int pos = scan.ss; pos <= scan.se; ++pos) {
    const int rs = DecodeSymbolFast(c, t);
    const int r = rs >> 4;
    const int s = rs & 15;
    if (s) {
      pos += r;
      if (pos > 63) break;
      coef[zigzag[pos]] = static_cast<std::int16_t>(Extend(TakeBits(c, s), s) * (1 << scan.al));
    } else if (r == 15) {
      pos += 15;
    } else {
      c.eobRun = 1 << r;
      if (r) c.eobRun += static_cast<int>(TakeBits(c, r));
      --c.eobRun;
      break;
    }
  }
}

// Successive approximation of AC coefficients (G.1.2.3): newly significant
// coefficients get +-2^Al, those already non-zero one correction bit each.
void DecodeAcRefine(JpegCodec& c, JpegComponent& k, std::int16_t* coef, const JpegScan& scan) {
  const int p1 = 1 << scan.al;
  const int m1 = -p1;
  int pos = scan.ss;
  auto refine = [&](std::int16_t& v) {
    if (jpeg_get_bits(c, 1) && (v & p1) == 0) v = static_cast<std::int16_t>(v + (v >= 0 ? p1 : m1));
  };
  if (c.eobRun == 0) {
    const JpegHuffTable& t = *k.ac;
    for (; pos <= scan.se; ++pos) {
      const int rs = DecodeSymbolFast(c, t);
      int r = rs >> 4;
      int s = rs & 15;
      if (s) {
        // Only magnitude 1 can become significant in a refinement scan.
        s = TakeBits(c, 1) ? p1 : m1;
      } else if (r != 15) {
        c.eobRun = 1 << r;
        if (r) c.eobRun += static_cast<int>(TakeBits(c, r));
        break;
      }
      // Skip r zero coefficients, refining the non-zero ones passed on the way.
      for (; pos <= scan.se; ++pos) {
        std::int16_t& v = coef[zigzag[pos]];
        if (v != 0) {
          refine(v);
        } else {
          if (r == 0) break;
          --r;
        }
      }
      if (s && pos <= scan.se) coef[zigzag[pos]] = static_cast<std::int16_t>(s);
    }
  }
  if (c.eobRun > 0) {
    for (; pos <= scan.se; ++pos) {
      std::int16_t& v = coef[zigzag[pos]];
      if (v != 0) refine(v);
    }
    --c.eobRun;
  }
}

}  // namespace

int jpeg_decode_scans(JpegCodec& c) {
  const bool progressive = c.process == 2;
  for (;;) {
    const JpegScan scan = c.scan;
    int rc = jpeg_check_scan(c, scan, progressive);
    if (rc == 0) rc = jpeg_load_scan_tables(c, scan, progressive);
    if (rc) return rc;
    jpeg_reset_bits(c);
    c.eobRun = 0;
    for (int i = 0; i < c.components; ++i) c.comp[i].lastDc = 0;
    c.restartsLeft = c.restartInterval;
    bool complete;
    if (!progressive) {
      complete = ForEachScanBlock(
          c, scan, [&](JpegComponent& k, std::int16_t* coef) { jpeg_decode_block(c, coef, k); }, true);
    } else if (scan.ss == 0 && scan.ah == 0) {
      complete = ForEachScanBlock(
          c, scan, [&](JpegComponent& k, std::int16_t* coef) { DecodeDcFirst(c, k, coef, scan.al); }, true);
    } else if (scan.ss == 0) {
      complete = ForEachScanBlock(
          c, scan, [&](JpegComponent&, std::int16_t* coef) { DecodeDcRefine(c, coef, scan.al); }, true);
    } else if (scan.ah == 0) {
      complete = ForEachScanBlock(
          c, scan, [&](JpegComponent& k, std::int16_t* coef) { DecodeAcFirst(c, k, coef, scan); }, true);
    } else {
      complete = ForEachScanBlock(
          c, scan, [&](JpegComponent& k, std::int16_t* coef) { DecodeAcRefine(c, k, coef, scan); }, true);
    }
    if (!complete) {
      // The data ended inside this scan: keep the complete scans before it.
      if (c.progressiveScans == 0) return -62;
      c.inputEnded = true;
      return 0;
    }
    ++c.progressiveScans;
    jpeg_reset_bits(c);
    rc = jpeg_parse_markers(c, false);
    if (rc == -15 || c.inputEnded) return 0;  // EOI, or the file ended after a scan
    if (rc) return rc;
  }
}

// ---------------------------------------------------------------------------------
// Encoding

void jpeg_write_buffer(JpegCodec& c) {
  if (c.count == 0) return;
  std::uint32_t done = 0;
  if (!c.stream->Write(c.buffer, static_cast<std::uint32_t>(c.count), &done) || done != c.count)
    jpeg_fail(-3);
  c.count = 0;
}

namespace {

inline void EmitByte(JpegCodec& c, std::uint8_t b) {
  if (c.count > 65519) jpeg_write_buffer(c);
  c.buffer[c.count++] = b;
  if (b == 0xFF) c.buffer[c.count++] = 0;
}

}  // namespace

void jpeg_put_bits(JpegCodec& c, int n, unsigned value) {
  if (n == 0) return;
  c.outAcc = (c.outAcc << n) | (value & ((1u << n) - 1));
  c.outBits += n;
  while (c.outBits >= 8) {
    EmitByte(c, static_cast<std::uint8_t>(c.outAcc >> (c.outBits - 8)));
    c.outBits -= 8;
  }
}

void jpeg_flush_bits(JpegCodec& c) {
  jpeg_put_bits(c, 7, 0x7F);
  c.outAcc = 0;
  c.outBits = 0;
  jpeg_write_buffer(c);
}

void jpeg_put_raw(JpegCodec& c, const std::uint8_t* data, std::size_t n) {
  if (c.count + n > static_cast<std::size_t>(kJpegBufferSize)) jpeg_write_buffer(c);
  std::memcpy(c.buffer + c.count, data, n);
  c.count += n;
}

namespace {

inline void EmitSymbol(JpegCodec& c, const JpegHuffTable& t, std::uint32_t* freq, int symbol,
                       bool statisticsOnly) {
  if (statisticsOnly)
    ++freq[symbol];
  else
    jpeg_put_bits(c, t.size[symbol], t.code[symbol]);
}

}  // namespace

void jpeg_encode_block(JpegCodec& c, const std::int16_t* coef, JpegComponent& k, bool statisticsOnly) {
  std::uint32_t* dcFreq = statisticsOnly ? c.dcFreq[k.dcIndex] : nullptr;
  std::uint32_t* acFreq = statisticsOnly ? c.acFreq[k.acIndex] : nullptr;
  int temp = coef[0] - k.lastDc;
  k.lastDc = coef[0];
  int temp2 = temp;
  if (temp < 0) {
    temp = -temp;
    --temp2;
  }
  int nbits = BitLength(static_cast<unsigned>(temp));
  EmitSymbol(c, *k.dc, dcFreq, nbits, statisticsOnly);
  if (nbits && !statisticsOnly) jpeg_put_bits(c, nbits, static_cast<unsigned>(temp2));
  int r = 0;
  for (int pos = 1; pos < 64; ++pos) {
    temp = coef[zigzag[pos]];
    if (temp == 0) {
      ++r;
      continue;
    }
    while (r > 15) {
      EmitSymbol(c, *k.ac, acFreq, 0xF0, statisticsOnly);
      r -= 16;
    }
    temp2 = temp;
    if (temp < 0) {
      temp = -temp;
      --temp2;
    }
    nbits = BitLength(static_cast<unsigned>(temp));
    EmitSymbol(c, *k.ac, acFreq, (r << 4) + nbits, statisticsOnly);
    if (!statisticsOnly) jpeg_put_bits(c, nbits, static_cast<unsigned>(temp2));
    r = 0;
  }
  if (r > 0) EmitSymbol(c, *k.ac, acFreq, 0x00, statisticsOnly);
}

void jpeg_setup_standard_tables(JpegCodec& c) {
  jpeg_alloc_huffman(c);
  auto set = [](JpegHuffTable& t, const std::uint8_t* bits, const std::uint8_t* values, int n) {
    std::memcpy(t.bits, bits, 17);
    std::memcpy(t.huffval, values, n);
    t.valueCount = static_cast<std::uint16_t>(n);
    t.defined = true;
    jpeg_derive_huffman(t, false);
  };
  set(*c.dcTable[0], jpeg_std_dc_luminance_bits, jpeg_std_dc_luminance_values, 12);
  set(*c.acTable[0], jpeg_std_ac_luminance_bits, jpeg_std_ac_luminance_values, 162);
  set(*c.dcTable[1], jpeg_std_dc_chrominance_bits, jpeg_std_dc_chrominance_values, 12);
  set(*c.acTable[1], jpeg_std_ac_chrominance_bits, jpeg_std_ac_chrominance_values, 162);
}

void jpeg_alloc_statistics(JpegCodec& c) {
  jpeg_alloc_huffman(c);
  const std::size_t counters = 4 * 257;
  c.statsStore.reset(new std::uint8_t[1000 + counters * sizeof(std::uint32_t)]());
  c.correctionBits = c.statsStore.get();
  auto* f = reinterpret_cast<std::uint32_t*>(c.statsStore.get() + 1000);
  c.dcFreq[0] = f;
  c.dcFreq[1] = f + 257;
  c.acFreq[0] = f + 2 * 257;
  c.acFreq[1] = f + 3 * 257;
}

int jpeg_optimal_huffman(const std::uint32_t* frequencies, JpegHuffTable& t) {
  long freq[257];
  int codesize[257];
  int others[257];
  for (int i = 0; i < 256; ++i) freq[i] = frequencies[i];
  freq[256] = 1;  // reserved: no real code becomes all ones
  std::fill(codesize, codesize + 257, 0);
  std::fill(others, others + 257, -1);
  for (;;) {
    // Least frequent symbol, the highest-numbered among equals.
    int c1 = -1;
    long v = 1000000000L;
    for (int i = 0; i <= 256; ++i)
      if (freq[i] && freq[i] <= v) {
        v = freq[i];
        c1 = i;
      }
    int c2 = -1;
    v = 1000000000L;
    for (int i = 0; i <= 256; ++i)
      if (freq[i] && freq[i] <= v && i != c1) {
        v = freq[i];
        c2 = i;
      }
    if (c2 < 0) break;
    freq[c1] += freq[c2];
    freq[c2] = 0;
    ++codesize[c1];
    while (others[c1] >= 0) {
      c1 = others[c1];
      ++codesize[c1];
    }
    others[c1] = c2;
    ++codesize[c2];
    while (others[c2] >= 0) {
      c2 = others[c2];
      ++codesize[c2];
    }
  }
  int bits[33] = {};
  for (int i = 0; i <= 256; ++i)
    if (codesize[i]) bits[std::min(codesize[i], 32)]++;
  // Limit code lengths to 16 bits (Figure K.3).
  for (int i = 32; i > 16; --i) {
    while (bits[i] > 0) {
      int j = i - 2;
      while (bits[j] == 0) --j;
      bits[i] -= 2;
      bits[i - 1]++;
      bits[j + 1] += 2;
      bits[j]--;
    }
  }
  int i = 16;
  while (bits[i] == 0) --i;
  bits[i]--;  // the reserved code
  std::memset(t.bits, 0, sizeof t.bits);
  for (i = 1; i <= 16; ++i) t.bits[i] = static_cast<std::uint8_t>(bits[i]);
  int p = 0;
  for (i = 1; i <= 32; ++i)
    for (int s = 0; s < 256; ++s)
      if (codesize[s] == i) t.huffval[p++] = static_cast<std::uint8_t>(s);
  t.valueCount = static_cast<std::uint16_t>(p);
  t.defined = true;
  return p;
}

void jpeg_write_dht(JpegCodec& c, bool isDC, int index) {
  const JpegHuffTable& t = jpeg_huff_slot(c, isDC, index);
  std::uint8_t seg[5 + 16 + 256];
  const int length = 19 + t.valueCount;
  seg[0] = 0xFF;
  seg[1] = 0xC4;
  seg[2] = static_cast<std::uint8_t>(length >> 8);
  seg[3] = static_cast<std::uint8_t>(length);
  seg[4] = static_cast<std::uint8_t>((isDC ? 0 : 0x10) | index);
  std::memcpy(seg + 5, t.bits + 1, 16);
  std::memcpy(seg + 21, t.huffval, t.valueCount);
  jpeg_put_raw(c, seg, 21 + t.valueCount);
}

void jpeg_write_sos(JpegCodec& c, const JpegScan& scan) {
  std::uint8_t seg[6 + 8 + 3];
  const int length = 6 + 2 * scan.count;
  int n = 0;
  seg[n++] = 0xFF;
  seg[n++] = 0xDA;
  seg[n++] = static_cast<std::uint8_t>(length >> 8);
  seg[n++] = static_cast<std::uint8_t>(length);
  seg[n++] = static_cast<std::uint8_t>(scan.count);
  const bool progressive = c.mode == 1;
  for (int i = 0; i < scan.count; ++i) {
    const JpegComponent& k = c.comp[scan.comp[i]];
    int dc = k.dcIndex, ac = k.acIndex;
    if (progressive) {
      if (scan.ss == 0) ac = 0;
      else dc = 0;
      if (scan.ss == 0 && scan.ah != 0) dc = 0;
    }
    seg[n++] = static_cast<std::uint8_t>(k.id);
    seg[n++] = static_cast<std::uint8_t>((dc << 4) | ac);
  }
  seg[n++] = static_cast<std::uint8_t>(scan.ss);
  seg[n++] = static_cast<std::uint8_t>(scan.se);
  seg[n++] = static_cast<std::uint8_t>((scan.ah << 4) | scan.al);
  jpeg_put_raw(c, seg, n);
}

namespace {

// Progressive encoding (G.1.2), shared by the statistics and the output pass.
struct ProgressiveEncoder {
  JpegCodec& c;
  bool stats;
  const JpegScan& scan;

  void Symbol(const JpegHuffTable* t, std::uint32_t* freq, int s) {
    if (stats)
      ++freq[s];
    else
      jpeg_put_bits(c, t->size[s], t->code[s]);
  }
  void Bits(int n, unsigned v) {
    if (!stats) jpeg_put_bits(c, n, v);
  }
  void BufferedBits(const std::uint8_t* bits, int n) {
    if (stats) return;
    for (int i = 0; i < n; ++i) jpeg_put_bits(c, 1, bits[i]);
  }

  // The pending EOB run, then the correction bits it covers.
  void EmitEobRun(JpegComponent& k) {
    if (c.eobRun > 0) {
      const int nbits = BitLength(static_cast<unsigned>(c.eobRun)) - 1;
      Symbol(k.ac, c.acFreq[k.acIndex], nbits << 4);
      if (nbits) Bits(nbits, static_cast<unsigned>(c.eobRun));
      c.eobRun = 0;
      BufferedBits(c.correctionBits, c.correctionCount);
      c.correctionCount = 0;
    }
  }

  void DcFirst(JpegComponent& k, const std::int16_t* coef) {
    const int value = coef[0] >> scan.al;
    int temp = value - k.lastDc;
    k.lastDc = value;
    int temp2 = temp;
    if (temp < 0) {
      temp = -temp;
      --temp2;
    }
    const int nbits = BitLength(static_cast<unsigned>(temp));
    Symbol(k.dc, c.dcFreq[k.dcIndex], nbits);
    if (nbits) Bits(nbits, static_cast<unsigned>(temp2));
  }

  void DcRefine(const std::int16_t* coef) { Bits(1, static_cast<unsigned>(coef[0] >> scan.al)); }

  void AcFirst(JpegComponent& k, const std::int16_t* coef) {
    int r = 0;
    for (int pos = scan.ss; pos <= scan.se; ++pos) {
      int temp = coef[zigzag[pos]];
      if (temp == 0) {
        ++r;
        continue;
      }
      int temp2;
      if (temp < 0) {
        temp = (-temp) >> scan.al;
        temp2 = ~temp;
      } else {
        temp >>= scan.al;
        temp2 = temp;
      }
      if (temp == 0) {
        ++r;
        continue;
      }
      EmitEobRun(k);
      while (r > 15) {
        Symbol(k.ac, c.acFreq[k.acIndex], 0xF0);
        r -= 16;
      }
      const int nbits = BitLength(static_cast<unsigned>(temp));
      Symbol(k.ac, c.acFreq[k.acIndex], (r << 4) + nbits);
      Bits(nbits, static_cast<unsigned>(temp2));
      r = 0;
    }
    if (r > 0) {
      ++c.eobRun;
      if (c.eobRun == 0x7FFF) EmitEobRun(k);
    }
  }

  void AcRefine(JpegComponent& k, const std::int16_t* coef) {
    int absvalues[64];
    int eob = 0;
    for (int pos = scan.ss; pos <= scan.se; ++pos) {
      int temp = coef[zigzag[pos]];
      if (temp < 0) temp = -temp;
      temp >>= scan.al;
      absvalues[pos] = temp;
      if (temp == 1) eob = pos;  // last newly significant coefficient
    }
    int r = 0;
    int br = 0;  // correction bits of this block, buffered behind the run's
    std::uint8_t* brBuffer = c.correctionBits + c.correctionCount;
    for (int pos = scan.ss; pos <= scan.se; ++pos) {
      int temp = absvalues[pos];
      if (temp == 0) {
        ++r;
        continue;
      }
      while (r > 15 && pos <= eob) {
        EmitEobRun(k);
        Symbol(k.ac, c.acFreq[k.acIndex], 0xF0);
        r -= 16;
        BufferedBits(brBuffer, br);
        brBuffer = c.correctionBits;
        br = 0;
      }
      if (temp > 1) {
        brBuffer[br++] = static_cast<std::uint8_t>(temp & 1);
        continue;
      }
      EmitEobRun(k);
      Symbol(k.ac, c.acFreq[k.acIndex], (r << 4) + 1);
      Bits(1, coef[zigzag[pos]] < 0 ? 0u : 1u);
      BufferedBits(brBuffer, br);
      brBuffer = c.correctionBits;
      br = 0;
      r = 0;
    }
    if (r > 0 || br > 0) {
      ++c.eobRun;
      c.correctionCount += br;
      if (c.eobRun == 0x7FFF || c.correctionCount > 1000 - 64 + 1) EmitEobRun(k);
    }
  }
};

struct ScriptScan {
  int count;
  int comp[3];
  int ss, se, ah, al;
};

const ScriptScan kColourScript[] = {
    {3, {0, 1, 2}, 0, 0, 0, 1}, {1, {0}, 1, 5, 0, 2},  {1, {2}, 1, 63, 0, 1},
    {1, {1}, 1, 63, 0, 1},      {1, {0}, 6, 63, 0, 2}, {1, {0}, 1, 63, 2, 1},
    {3, {0, 1, 2}, 0, 0, 1, 0}, {1, {2}, 1, 63, 1, 0}, {1, {1}, 1, 63, 1, 0},
    {1, {0}, 1, 63, 1, 0}};
const ScriptScan kGreyScript[] = {{1, {0}, 0, 0, 0, 1},  {1, {0}, 1, 5, 0, 2},
                                  {1, {0}, 6, 63, 0, 2}, {1, {0}, 1, 63, 2, 1},
                                  {1, {0}, 0, 0, 1, 0},  {1, {0}, 1, 63, 1, 0}};

void CodeScan(JpegCodec& c, const JpegScan& scan, bool stats) {
  for (int i = 0; i < scan.count; ++i) c.comp[scan.comp[i]].lastDc = 0;
  c.eobRun = 0;
  c.correctionCount = 0;
  c.outAcc = 0;
  c.outBits = 0;
  if (c.mode == 2) {
    ForEachScanBlock(
        c, scan, [&](JpegComponent& k, std::int16_t* coef) { jpeg_encode_block(c, coef, k, stats); },
        false);
    return;
  }
  ProgressiveEncoder e{c, stats, scan};
  if (scan.ss == 0 && scan.ah == 0)
    ForEachScanBlock(c, scan, [&](JpegComponent& k, std::int16_t* coef) { e.DcFirst(k, coef); }, false);
  else if (scan.ss == 0)
    ForEachScanBlock(c, scan, [&](JpegComponent&, std::int16_t* coef) { e.DcRefine(coef); }, false);
  else if (scan.ah == 0)
    ForEachScanBlock(c, scan, [&](JpegComponent& k, std::int16_t* coef) { e.AcFirst(k, coef); }, false);
  else
    ForEachScanBlock(c, scan, [&](JpegComponent& k, std::int16_t* coef) { e.AcRefine(k, coef); }, false);
  if (scan.ss > 0) e.EmitEobRun(c.comp[scan.comp[0]]);
}

}  // namespace

void jpeg_encode_passes(JpegCodec& c) {
  std::vector<JpegScan> scans;
  if (c.mode == 2) {
    JpegScan s{};
    s.count = c.components;
    for (int i = 0; i < c.components; ++i) s.comp[i] = i;
    s.ss = 0;
    s.se = 63;
    scans.push_back(s);
  } else {
    const ScriptScan* script = c.components == 3 ? kColourScript : kGreyScript;
    const int n = c.components == 3 ? 10 : 6;
    for (int i = 0; i < n; ++i) {
      JpegScan s{};
      s.count = script[i].count;
      for (int j = 0; j < s.count; ++j) s.comp[j] = script[i].comp[j];
      s.ss = script[i].ss;
      s.se = script[i].se;
      s.ah = script[i].ah;
      s.al = script[i].al;
      scans.push_back(s);
    }
  }
  for (const JpegScan& scan : scans) {
    const bool needDC = c.mode == 2 || (scan.ss == 0 && scan.ah == 0);
    const bool needAC = c.mode == 2 || scan.ss > 0;
    // Statistics pass.
    for (int i = 0; i < scan.count; ++i) {
      const JpegComponent& k = c.comp[scan.comp[i]];
      if (needDC) std::memset(c.dcFreq[k.dcIndex], 0, 257 * sizeof(std::uint32_t));
      if (needAC) std::memset(c.acFreq[k.acIndex], 0, 257 * sizeof(std::uint32_t));
    }
    CodeScan(c, scan, true);
    bool doneDC[4] = {}, doneAC[4] = {};
    for (int i = 0; i < scan.count; ++i) {
      const JpegComponent& k = c.comp[scan.comp[i]];
      if (needDC && !doneDC[k.dcIndex]) {
        doneDC[k.dcIndex] = true;
        JpegHuffTable& t = *c.dcTable[k.dcIndex];
        jpeg_optimal_huffman(c.dcFreq[k.dcIndex], t);
        jpeg_derive_huffman(t, false);
        jpeg_write_dht(c, true, k.dcIndex);
      }
      if (needAC && !doneAC[k.acIndex]) {
        doneAC[k.acIndex] = true;
        JpegHuffTable& t = *c.acTable[k.acIndex];
        jpeg_optimal_huffman(c.acFreq[k.acIndex], t);
        jpeg_derive_huffman(t, false);
        jpeg_write_dht(c, false, k.acIndex);
      }
    }
    jpeg_write_sos(c, scan);
    // Output pass.
    CodeScan(c, scan, false);
    jpeg_flush_bits(c);
  }
}
