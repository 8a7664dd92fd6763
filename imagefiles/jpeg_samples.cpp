// JPEG sample processing: MCU geometry and buffers, pixel transfer, colour conversion,
// down- and upsampling, the integer DCT pair and quantisation. All arithmetic is fixed
// point so that decoded pixels are reproducible bit for bit across platforms.
#include <algorithm>
#include <cstring>
#include <new>

#include "imagefiles/jpeg_internal.h"

namespace {

// The example tables of the JPEG standard (Annex K.1), natural order.
const std::uint8_t kLuminanceQuant[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const std::uint8_t kChrominanceQuant[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Rotation constants of the LL&M DCT in 13-bit fixed point.
constexpr std::int64_t kFix_0_298631336 = 2446;
constexpr std::int64_t kFix_0_390180644 = 3196;
constexpr std::int64_t kFix_0_541196100 = 4433;
constexpr std::int64_t kFix_0_765366865 = 6270;
constexpr std::int64_t kFix_0_899976223 = 7373;
constexpr std::int64_t kFix_1_175875602 = 9633;
constexpr std::int64_t kFix_1_501321110 = 12299;
constexpr std::int64_t kFix_1_847759065 = 15137;
constexpr std::int64_t kFix_1_961570560 = 16069;
constexpr std::int64_t kFix_2_053119869 = 16819;
constexpr std::int64_t kFix_2_562915447 = 20995;
constexpr std::int64_t kFix_3_072711026 = 25172;

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

inline std::int64_t Descale(std::int64_t x, int n) { return (x + (std::int64_t{1} << (n - 1))) >> n; }

// One 8-point inverse transform of in(0..7); the eight results (before descaling) go
// to out[0..7].
template <typename Get>
inline void InverseButterfly(Get in, std::int64_t out[8]) {
  // Even part.
  std::int64_t z2 = in(2);
  std::int64_t z3 = in(6);
  std::int64_t z1 = (z2 + z3) * kFix_0_541196100;
  std::int64_t tmp2 = z1 - z3 * kFix_1_847759065;
  std::int64_t tmp3 = z1 + z2 * kFix_0_765366865;
  z2 = in(0);
  z3 = in(4);
  std::int64_t tmp0 = (z2 + z3) * (std::int64_t{1} << kConstBits);
  std::int64_t tmp1 = (z2 - z3) * (std::int64_t{1} << kConstBits);
  const std::int64_t tmp10 = tmp0 + tmp3;
  const std::int64_t tmp13 = tmp0 - tmp3;
  const std::int64_t tmp11 = tmp1 + tmp2;
  const std::int64_t tmp12 = tmp1 - tmp2;
  // Odd part.
  tmp0 = in(7);
  tmp1 = in(5);
  tmp2 = in(3);
  tmp3 = in(1);
  z1 = tmp0 + tmp3;
  z2 = tmp1 + tmp2;
  z3 = tmp0 + tmp2;
  std::int64_t z4 = tmp1 + tmp3;
  const std::int64_t z5 = (z3 + z4) * kFix_1_175875602;
  tmp0 *= kFix_0_298631336;
  tmp1 *= kFix_2_053119869;
  tmp2 *= kFix_3_072711026;
  tmp3 *= kFix_1_501321110;
  z1 *= -kFix_0_899976223;
  z2 *= -kFix_2_562915447;
  z3 = z3 * -kFix_1_961570560 + z5;
  z4 = z4 * -kFix_0_390180644 + z5;
  tmp0 += z1 + z3;
  tmp1 += z2 + z4;
  tmp2 += z2 + z3;
  tmp3 += z1 + z4;
  out[0] = tmp10 + tmp3;
  out[7] = tmp10 - tmp3;
  out[1] = tmp11 + tmp2;
  out[6] = tmp11 - tmp2;
  out[2] = tmp12 + tmp1;
  out[5] = tmp12 - tmp1;
  out[3] = tmp13 + tmp0;
  out[4] = tmp13 - tmp0;
}

// One 8-point forward transform of in(0..7). out[0] and out[4] come without scaling, the
// other six with kConstBits fraction bits still to be descaled.
template <typename Get>
inline void ForwardButterfly(Get in, std::int64_t out[8]) {
  const std::int64_t tmp0 = in(0) + in(7);
  std::int64_t tmp7 = in(0) - in(7);
  const std::int64_t tmp1 = in(1) + in(6);
  std::int64_t tmp6 = in(1) - in(6);
  const std::int64_t tmp2 = in(2) + in(5);
  std::int64_t tmp5 = in(2) - in(5);
  const std::int64_t tmp3 = in(3) + in(4);
  std::int64_t tmp4 = in(3) - in(4);
  // Even part.
  const std::int64_t tmp10 = tmp0 + tmp3;
  const std::int64_t tmp13 = tmp0 - tmp3;
  const std::int64_t tmp11 = tmp1 + tmp2;
  const std::int64_t tmp12 = tmp1 - tmp2;
  out[0] = tmp10 + tmp11;
  out[4] = tmp10 - tmp11;
  std::int64_t z1 = (tmp12 + tmp13) * kFix_0_541196100;
  out[2] = z1 + tmp13 * kFix_0_765366865;
  out[6] = z1 - tmp12 * kFix_1_847759065;
  // Odd part.
  z1 = tmp4 + tmp7;
  std::int64_t z2 = tmp5 + tmp6;
  std::int64_t z3 = tmp4 + tmp6;
  std::int64_t z4 = tmp5 + tmp7;
  const std::int64_t z5 = (z3 + z4) * kFix_1_175875602;
  tmp4 *= kFix_0_298631336;
  tmp5 *= kFix_2_053119869;
  tmp6 *= kFix_3_072711026;
  tmp7 *= kFix_1_501321110;
  z1 *= -kFix_0_899976223;
  z2 *= -kFix_2_562915447;
  z3 = z3 * -kFix_1_961570560 + z5;
  z4 = z4 * -kFix_0_390180644 + z5;
  out[7] = tmp4 + z1 + z3;
  out[5] = tmp5 + z2 + z4;
  out[3] = tmp6 + z2 + z3;
  out[1] = tmp7 + z1 + z4;
}

// Inverse DCT; `quant` (natural order) dequantises on the way in when not null, the
// product kept in 16 bits as a dequantised coefficient block would hold it.
inline void IdctCore(std::uint8_t* samples, int stride, const std::int16_t* in,
                     const std::uint16_t* quant, const std::uint8_t* range) {
  std::int32_t ws[64];
  auto coef = [&](int i) -> std::int32_t {
    if (!quant) return in[i];
    return static_cast<std::int16_t>(in[i] * static_cast<std::int32_t>(quant[i]));
  };
  // Pass 1: columns, keeping kPass1Bits extra bits.
  for (int col = 0; col < 8; ++col) {
    if (in[8 + col] == 0 && in[16 + col] == 0 && in[24 + col] == 0 && in[32 + col] == 0 &&
        in[40 + col] == 0 && in[48 + col] == 0 && in[56 + col] == 0) {
      const std::int32_t dc = coef(col) * (1 << kPass1Bits);
      for (int row = 0; row < 8; ++row) ws[row * 8 + col] = dc;
      continue;
    }
    std::int64_t out[8];
    InverseButterfly([&](int k) { return static_cast<std::int64_t>(coef(k * 8 + col)); }, out);
    for (int row = 0; row < 8; ++row)
      ws[row * 8 + col] = static_cast<std::int32_t>(Descale(out[row], kConstBits - kPass1Bits));
  }
  // Pass 2: rows, then range limiting of x + 128 through the table.
  for (int row = 0; row < 8; ++row) {
    const std::int32_t* w = ws + row * 8;
    std::uint8_t* o = samples + row * stride;
    if (w[1] == 0 && w[2] == 0 && w[3] == 0 && w[4] == 0 && w[5] == 0 && w[6] == 0 &&
        w[7] == 0) {
      // Same value as the full transform gives for a row with only its first term.
      const std::uint8_t v = range[128 + ((Descale(w[0], kPass1Bits + 3)) & 1023)];
      std::memset(o, v, 8);
      continue;
    }
    std::int64_t out[8];
    InverseButterfly([&](int k) { return static_cast<std::int64_t>(w[k]); }, out);
    for (int i = 0; i < 8; ++i)
      o[i] = range[128 + (Descale(out[i], kConstBits + kPass1Bits + 3) & 1023)];
  }
}

}  // namespace

void jpeg_idct(std::uint8_t* samples, int stride, const std::int16_t* coefficients,
               const std::uint8_t* rangeLimit) {
  IdctCore(samples, stride, coefficients, nullptr, rangeLimit);
}

void jpeg_dequantize_idct(std::uint8_t* samples, int stride, const std::int16_t* coefficients,
                          const JpegQuantTable& table, int lastNonZero,
                          const std::uint8_t* rangeLimit) {
  if (lastNonZero == 0) {
    // Only a DC value: every sample of the block is the same.
    const std::int32_t dc =
        static_cast<std::int16_t>(coefficients[0] * static_cast<std::int32_t>(table.value[0]));
    const std::uint8_t v = rangeLimit[128 + (Descale(dc * (1 << kPass1Bits), kPass1Bits + 3) & 1023)];
    for (int row = 0; row < 8; ++row) std::memset(samples + row * stride, v, 8);
    return;
  }
  IdctCore(samples, stride, coefficients, table.value, rangeLimit);
}

void jpeg_fdct(const std::uint8_t* samples, int stride, std::int32_t* data) {
  std::int64_t out[8];
  // Pass 1: rows, keeping kPass1Bits extra bits.
  for (int row = 0; row < 8; ++row) {
    const std::uint8_t* s = samples + row * stride;
    std::int32_t* d = data + row * 8;
    ForwardButterfly([&](int k) { return std::int64_t{s[k]} - 128; }, out);
    d[0] = static_cast<std::int32_t>(out[0] * (1 << kPass1Bits));
    d[4] = static_cast<std::int32_t>(out[4] * (1 << kPass1Bits));
    for (int k : {1, 2, 3, 5, 6, 7})
      d[k] = static_cast<std::int32_t>(Descale(out[k], kConstBits - kPass1Bits));
  }
  // Pass 2: columns; removes the extra bits and the factor 8 of the row pass.
  for (int col = 0; col < 8; ++col) {
    std::int32_t* d = data + col;
    ForwardButterfly([&](int k) { return std::int64_t{d[8 * k]}; }, out);
    d[0] = static_cast<std::int32_t>(Descale(out[0], kPass1Bits));
    d[32] = static_cast<std::int32_t>(Descale(out[4], kPass1Bits));
    for (int k : {1, 2, 3, 5, 6, 7})
      d[8 * k] = static_cast<std::int32_t>(Descale(out[k], kConstBits + kPass1Bits));
  }
}

void jpeg_quantize(const std::int32_t* coefficients, const JpegQuantTable& table,
                   std::int16_t* quantised) {
  for (int i = 0; i < 64; ++i) {
    const std::int32_t t = table.value[i];
    std::int32_t c = coefficients[i];
    const bool negative = c < 0;
    if (negative) c = -c;
    c += t / 2;
    const std::int32_t q = c < t ? 0 : c / t;
    quantised[i] = static_cast<std::int16_t>(negative ? -q : q);
  }
}

void jpeg_set_quality(JpegCodec& c, int quality) {
  quality = std::clamp(quality, 1, 100);
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  const std::uint8_t* base[2] = {kLuminanceQuant, kChrominanceQuant};
  for (int t = 0; t < 2; ++t) {
    JpegQuantTable& q = c.qtable[t];
    q.precision = 0;
    q.defined = true;
    for (int i = 0; i < 64; ++i) {
      long v = (static_cast<long>(base[t][i]) * scale + 50) / 100;
      if (v > 255) q.precision = 1;
      long stored = 8 * v;
      if (stored <= 0) stored = 8;
      if (stored > 32767) stored = 32767;
      q.value[i] = static_cast<std::uint16_t>(stored);
    }
  }
}

void jpeg_build_decode_tables(JpegCodec& c) {
  c.rangeTable.reset(new std::uint8_t[1408]);
  std::uint8_t* t = c.rangeTable.get() + 256;
  for (int v = -256; v < 1152; ++v) {
    int out;
    if (v < 0) out = 0;
    else if (v < 256) out = v;
    else if (v < 640) out = 255;
    else if (v < 1024) out = 0;
    else out = v - 1024;
    t[v] = static_cast<std::uint8_t>(out);
  }
  c.rangeLimit = t;
  c.colourTables.reset(new std::int32_t[4 * 256]);
  c.crToR = c.colourTables.get();
  c.cbToB = c.crToR + 256;
  c.crToG = c.cbToB + 256;
  c.cbToG = c.crToG + 256;
  for (int i = 0; i < 256; ++i) {
    const std::int32_t x = i - 128;
    // Truncating divisions: the chroma terms are symmetric about the centre value.
    c.crToR[i] = (91881 * x + 32768) / 65536;
    c.cbToB[i] = (116130 * x + 32768) / 65536;
    c.crToG[i] = -46802 * x + 32768;
    c.cbToG[i] = -22554 * x;
  }
}

void jpeg_mcu_setup(JpegCodec& c, int width, int height, bool coefficientBuffers) {
  c.hmax = 1;
  c.vmax = 1;
  for (int i = 0; i < c.components; ++i) {
    c.hmax = std::max(c.hmax, c.comp[i].h);
    c.vmax = std::max(c.vmax, c.comp[i].v);
  }
  c.mcuWidth = 8 * c.hmax;
  c.mcuHeight = 8 * c.vmax;
  c.mcusPerRow = (width + c.mcuWidth - 1) / c.mcuWidth;
  c.mcuRows = (height + c.mcuHeight - 1) / c.mcuHeight;
  int b = 0;
  for (int ci = 0; ci < c.components; ++ci) {
    JpegComponent& k = c.comp[ci];
    k.fh = c.hmax / k.h;
    k.fv = c.vmax / k.v;
    k.blocksPerRow = static_cast<int>((static_cast<long long>(k.h) * width + 8 * c.hmax - 1) / (8 * c.hmax));
    k.blockRows = static_cast<int>((static_cast<long long>(k.v) * height + 8 * c.vmax - 1) / (8 * c.vmax));
    k.coefStride = c.mcusPerRow * k.h;
    for (int v = 0; v < k.v; ++v)
      for (int h = 0; h < k.h; ++h) {
        if (b >= kJpegMaxBlocksInMcu) jpeg_fail(-43);
        c.blockComp[b] = ci;
        c.blockX[b] = h * (8 * c.hmax / k.h);
        c.blockY[b] = v * (8 * c.vmax / k.v);
        c.blockH[b] = h;
        c.blockV[b] = v;
        ++b;
      }
  }
  c.blocksInMcu = b;
  const std::size_t plane = static_cast<std::size_t>(c.mcuWidth) * c.mcuHeight;
  const int planeCount = c.layout == 2 ? 1 : 3;
  const std::size_t size = plane * planeCount + kJpegBufferSize + 64 * sizeof(std::int16_t) +
                           64 * static_cast<std::size_t>(c.blocksInMcu) + 64;
  c.work.reset(new std::uint8_t[size]());
  std::uint8_t* p = c.work.get();
  for (int i = 0; i < 4; ++i) c.planes[i] = nullptr;
  for (int i = 0; i < planeCount; ++i, p += plane) c.planes[i] = p;
  c.buffer = p;
  p += kJpegBufferSize;
  c.coefBlock = reinterpret_cast<std::int16_t*>(p);
  p += 64 * sizeof(std::int16_t);
  c.blockBuf = p;
  if (coefficientBuffers) jpeg_alloc_coefficients(c);
}

void jpeg_alloc_coefficients(JpegCodec& c) {
  for (int ci = 0; ci < c.components; ++ci) {
    JpegComponent& k = c.comp[ci];
    const std::size_t blocks =
        static_cast<std::size_t>(k.coefStride) * static_cast<std::size_t>(c.mcuRows) * k.v;
    // calloc: a large buffer of zeros costs nothing until it is written.
    void* mem = std::calloc(blocks * 64, sizeof(std::int16_t));
    if (!mem) throw std::bad_alloc();
    c.coefStore[ci].reset(static_cast<std::int16_t*>(mem));
    k.coef = c.coefStore[ci].get();
  }
}

void jpeg_read_mcu_pixels(JpegCodec& c, const JpegImageView& image, int x, int y, int visibleW,
                          int visibleH) {
  const int w = c.mcuWidth;
  for (int r = 0; r < visibleH; ++r) {
    const std::uint8_t* src = image.Row(y + r) + x * (image.bitsPerPixel / 8);
    const std::size_t o = static_cast<std::size_t>(r) * w;
    if (c.layout == 2) {
      std::memcpy(c.planes[0] + o, src, visibleW);
    } else if (c.layout == 0) {
      for (int i = 0; i < visibleW; ++i, src += 3) {
        c.planes[2][o + i] = src[0];
        c.planes[1][o + i] = src[1];
        c.planes[0][o + i] = src[2];
      }
    } else {
      for (int i = 0; i < visibleW; ++i) {
        const std::uint8_t* q = image.palette + 4 * src[i];
        c.planes[2][o + i] = q[0];
        c.planes[1][o + i] = q[1];
        c.planes[0][o + i] = q[2];
      }
    }
  }
  if (visibleW < c.mcuWidth || visibleH < c.mcuHeight) jpeg_pad_edges(c, visibleW, visibleH);
}

void jpeg_pad_edges(JpegCodec& c, int visibleWidth, int visibleHeight) {
  const int w = c.mcuWidth;
  for (int p = 0; p < 3 && c.planes[p]; ++p) {
    std::uint8_t* plane = c.planes[p];
    for (int r = 0; r < visibleHeight; ++r) {
      std::uint8_t* row = plane + r * w;
      std::memset(row + visibleWidth, row[visibleWidth - 1], w - visibleWidth);
    }
    for (int r = visibleHeight; r < c.mcuHeight; ++r)
      std::memcpy(plane + r * w, plane + (visibleHeight - 1) * w, w);
  }
}

void jpeg_rgb_to_ycc(JpegCodec& c) {
  if (c.layout == 2) return;
  const int n = c.mcuWidth * c.mcuHeight;
  std::uint8_t* p0 = c.planes[0];
  std::uint8_t* p1 = c.planes[1];
  std::uint8_t* p2 = c.planes[2];
  for (int i = 0; i < n; ++i) {
    const std::int32_t r = p0[i], g = p1[i], b = p2[i];
    p0[i] = static_cast<std::uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
    p1[i] = static_cast<std::uint8_t>((-11059 * r - 21709 * g + 32768 * b + 8421375) >> 16);
    p2[i] = static_cast<std::uint8_t>((32768 * r - 27439 * g - 5329 * b + 8421375) >> 16);
  }
}

void jpeg_downsample(JpegCodec& c) {
  const int w = c.mcuWidth;
  for (int b = 0; b < c.blocksInMcu; ++b) {
    const JpegComponent& k = c.comp[c.blockComp[b]];
    const std::uint8_t* in = c.planes[c.blockComp[b]] + c.blockY[b] * w + c.blockX[b];
    std::uint8_t* out = c.blockBuf + 64 * b;
    if (k.fh == 1 && k.fv == 1) {
      for (int r = 0; r < 8; ++r) std::memcpy(out + 8 * r, in + r * w, 8);
    } else if (k.fh == 2 && k.fv == 2) {
      // The alternating bias keeps the rounding from drifting one way.
      int bias = 1;
      for (int r = 0; r < 8; ++r) {
        const std::uint8_t* a = in + 2 * r * w;
        const std::uint8_t* d = a + w;
        for (int i = 0; i < 8; ++i) {
          out[8 * r + i] =
              static_cast<std::uint8_t>((a[2 * i] + a[2 * i + 1] + d[2 * i] + d[2 * i + 1] + bias) >> 2);
          bias ^= 3;
        }
      }
    } else {
      const int n = k.fh * k.fv;
      for (int r = 0; r < 8; ++r)
        for (int i = 0; i < 8; ++i) {
          int sum = 0;
          for (int dy = 0; dy < k.fv; ++dy)
            for (int dx = 0; dx < k.fh; ++dx) sum += in[(r * k.fv + dy) * w + i * k.fh + dx];
          out[8 * r + i] = static_cast<std::uint8_t>((sum + n / 2) / n);
        }
    }
  }
}

void jpeg_upsample(JpegCodec& c, int b) {
  const JpegComponent& k = c.comp[c.blockComp[b]];
  const int w = c.mcuWidth;
  const std::uint8_t* in = c.blockBuf + 64 * b;
  std::uint8_t* out = c.planes[c.blockComp[b]] + c.blockY[b] * w + c.blockX[b];
  if (k.fh == 2 && k.fv == 2) {
    for (int r = 0; r < 8; ++r) {
      std::uint8_t* o = out + 2 * r * w;
      for (int i = 0; i < 8; ++i) o[2 * i] = o[2 * i + 1] = in[8 * r + i];
      std::memcpy(o + w, o, 16);
    }
    return;
  }
  for (int r = 0; r < 8; ++r) {
    std::uint8_t* o = out + r * k.fv * w;
    for (int i = 0; i < 8; ++i)
      for (int dx = 0; dx < k.fh; ++dx) o[i * k.fh + dx] = in[8 * r + i];
    for (int dy = 1; dy < k.fv; ++dy) std::memcpy(o + dy * w, o, 8 * k.fh);
  }
}

void jpeg_write_mcu_pixels(JpegCodec& c, const JpegImageView& image, int x, int y, int visibleW,
                           int visibleH) {
  const int w = c.mcuWidth;
  // Locals: byte stores through dst could otherwise alias the codec's table pointers.
  const std::uint8_t* const t = c.rangeLimit;
  const std::int32_t* const cbToB = c.cbToB;
  const std::int32_t* const cbToG = c.cbToG;
  const std::int32_t* const crToG = c.crToG;
  const std::int32_t* const crToR = c.crToR;
  if (c.mergedChroma) {
    // Chroma straight from its block buffers: one sample serves fh x fv pixels, so its
    // terms are looked up once per fh pixels. Same result as repeating the samples.
    const int fh = c.comp[1].fh, fv = c.comp[1].fv;
    const std::uint8_t* cbBlock = c.blockBuf + 64 * (c.blocksInMcu - 2);
    const std::uint8_t* crBlock = cbBlock + 64;
    for (int r = 0; r < visibleH; ++r) {
      std::uint8_t* dst = image.Row(y + r) + x * 3;
      const std::uint8_t* py = c.planes[0] + static_cast<std::size_t>(r) * w;
      const std::uint8_t* pb = cbBlock + (r / fv) * 8;
      const std::uint8_t* pr = crBlock + (r / fv) * 8;
      auto put = [&](int yy, int bOff, int gOff, int rOff) {
        dst[0] = t[yy + bOff];
        dst[1] = t[yy + gOff];
        dst[2] = t[yy + rOff];
        dst += 3;
      };
      int i = 0;
      for (int j = 0; i < visibleW; ++j) {
        const int cb = pb[j], cr = pr[j];
        const int bOff = cbToB[cb];
        const int gOff = (cbToG[cb] + crToG[cr]) >> 16;
        const int rOff = crToR[cr];
        put(py[i++], bOff, gOff, rOff);
        if (fh == 2 && i < visibleW) put(py[i++], bOff, gOff, rOff);
      }
    }
    return;
  }
  for (int r = 0; r < visibleH; ++r) {
    std::uint8_t* dst = image.Row(y + r) + x * (image.bitsPerPixel / 8);
    const std::size_t o = static_cast<std::size_t>(r) * w;
    if (c.components == 1) {
      std::memcpy(dst, c.planes[0] + o, visibleW);
      continue;
    }
    const std::uint8_t* py = c.planes[0] + o;
    const std::uint8_t* pb = c.planes[1] + o;
    const std::uint8_t* pr = c.planes[2] + o;
    for (int i = 0; i < visibleW; ++i, dst += 3) {
      const int yy = py[i], cb = pb[i], cr = pr[i];
      dst[0] = t[yy + cbToB[cb]];
      dst[1] = t[yy + ((cbToG[cb] + crToG[cr]) >> 16)];
      dst[2] = t[yy + crToR[cr]];
    }
  }
}

bool jpeg_can_merge_chroma(const JpegCodec& c) {
  if (c.components != 3) return false;
  const JpegComponent& yc = c.comp[0];
  const JpegComponent& cb = c.comp[1];
  const JpegComponent& cr = c.comp[2];
  return cb.h == 1 && cb.v == 1 && cr.h == 1 && cr.v == 1 && yc.h == c.hmax && yc.v == c.vmax &&
         c.hmax <= 2 && c.vmax <= 2 && c.hmax * c.vmax > 1;
}
