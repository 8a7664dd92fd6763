// JPEG file structure: markers read and written, the information record, the frame
// checks, and the load and save procedures with their result codes. Entropy coding is
// in jpeg_entropy.cpp, sample processing in jpeg_samples.cpp.
#include "imagefiles/jpeg_codec.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imagefiles/img_stream.h"
#include "imagefiles/jpeg_internal.h"
#include "platform/Runtime.h"

namespace {

// All codec state lives in one JpegCodec per call; the lock keeps calls one at a time.
plat::CriticalSection& CodecLock() {
  static plat::CriticalSection lock;
  return lock;
}

class BindingStream : public JpegStream {
 public:
  explicit BindingStream(StreamBinding& b) : b_(b) {}
  bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t* done) override {
    DWORD n = 0;
    const int ok = b_.read(b_.handle, buffer, count, &n);
    *done = n;
    return ok != 0;
  }
  bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* done) override {
    DWORD n = 0;
    const int ok = b_.write(b_.handle, data, count, &n);
    *done = n;
    return ok != 0;
  }

 private:
  StreamBinding& b_;
};

inline int Be16(const std::uint8_t* p) { return (p[0] << 8) | p[1]; }

bool IsFrameMarker(int m) {
  return m == 0xC0 || m == 0xC1 || m == 0xC2 || m == 0xC3 || m == 0xC9 || m == 0xCA || m == 0xCB;
}

// What the parser does when the file ends before the next SOS.
int EndOfFile(JpegCodec& c, bool informationPass) {
  if (informationPass) return -43;
  if (c.progressiveScans > 0) {
    c.inputEnded = true;
    return 0;
  }
  return -62;
}

int ParseFrame(JpegCodec& c, const std::uint8_t* s, int n) {
  if (n < 6) return -43;
  const int nf = s[5];
  if (n != 6 + 3 * nf) return -43;
  c.precision = s[0];
  c.height = Be16(s + 1);
  c.width = Be16(s + 3);
  c.components = nf;
  for (int i = 0; i < 4; ++i) c.comp[i] = JpegComponent{};
  for (int i = 0; i < nf && i < 4; ++i) {
    const std::uint8_t* p = s + 6 + 3 * i;
    c.comp[i].id = p[0];
    c.comp[i].h = p[1] >> 4;
    c.comp[i].v = p[1] & 15;
    c.comp[i].quantIndex = p[2];
  }
  return 0;
}

int ParseHuffman(JpegCodec& c, const std::uint8_t* s, int n) {
  jpeg_alloc_huffman(c);
  while (n > 0) {
    if (n < 17) return -43;
    const int tc = s[0] >> 4, th = s[0] & 15;
    if (tc > 1 || th > 3) return -43;
    int total = 0;
    for (int l = 1; l <= 16; ++l) total += s[l];
    if (total > 256 || 17 + total > n) return -43;
    JpegHuffTable& t = jpeg_huff_slot(c, tc == 0, th);
    t.bits[0] = 0;
    std::memcpy(t.bits + 1, s + 1, 16);
    std::memcpy(t.huffval, s + 17, total);
    t.valueCount = static_cast<std::uint16_t>(total);
    t.defined = true;
    t.derived = false;
    s += 17 + total;
    n -= 17 + total;
  }
  return 0;
}

int ParseQuant(JpegCodec& c, const std::uint8_t* s, int n) {
  while (n > 0) {
    const int pq = s[0] >> 4, tq = s[0] & 15;
    if (pq > 1 || tq > 3) return -43;
    const int size = 64 * (pq + 1);
    if (1 + size > n) return -43;
    JpegQuantTable& q = c.qtable[tq];
    for (int k = 0; k < 64; ++k) {
      int v = pq ? Be16(s + 1 + 2 * k) : s[1 + k];
      if (v == 0) v = 1;
      q.value[zigzag[k]] = static_cast<std::uint16_t>(v);
    }
    q.precision = pq;
    q.defined = true;
    s += 1 + size;
    n -= 1 + size;
  }
  return 0;
}

int ParseScan(JpegCodec& c, const std::uint8_t* s, int n) {
  if (n < 1) return -43;
  const int ns = s[0];
  if (ns < 1 || ns > 4 || n != 4 + 2 * ns) return -43;
  JpegScan scan{};
  scan.count = ns;
  for (int i = 0; i < ns; ++i) {
    const int id = s[1 + 2 * i];
    int ci = -1;
    for (int j = 0; j < c.components && j < 4; ++j)
      if (c.comp[j].id == id) ci = j;
    // Scan components follow the frame's order, each at most once: the MCU's blocks
    // come in that order.
    if (ci < 0 || (i > 0 && ci <= scan.comp[i - 1])) return -43;
    scan.comp[i] = ci;
    c.comp[ci].dcIndex = s[2 + 2 * i] >> 4;
    c.comp[ci].acIndex = s[2 + 2 * i] & 15;
  }
  const std::uint8_t* p = s + 1 + 2 * ns;
  scan.ss = p[0];
  scan.se = p[1];
  scan.ah = p[2] >> 4;
  scan.al = p[2] & 15;
  c.scan = scan;
  return 0;
}

}  // namespace

int jpeg_parse_markers(JpegCodec& c, bool informationPass) {
  bool first = informationPass && c.fileOffset + static_cast<long long>(c.index) == 0;
  bool seenApp0 = false;
  for (;;) {
    int b = jpeg_read_byte(c);
    if (b < 0) return EndOfFile(c, informationPass);
    if (b != 0xFF) continue;
    int m;
    do {
      m = jpeg_read_byte(c);
    } while (m == 0xFF);
    if (m < 0) return EndOfFile(c, informationPass);
    if (first) {
      if (m != 0xD8) return -43;
      first = false;
      continue;
    }
    if (m == 0xD8 || (m >= 0xD0 && m <= 0xD7) || m == 0x01 || m == 0x00) continue;
    if (m == 0xD9) return informationPass ? -43 : -15;
    // A marker segment: it must lie wholly in the file.
    if (!jpeg_ensure_bytes(c, 2)) return EndOfFile(c, informationPass);
    const int length = Be16(c.buffer + c.index);
    if (length < 2) return -43;
    if (!jpeg_ensure_bytes(c, static_cast<std::size_t>(length))) return EndOfFile(c, informationPass);
    const std::uint8_t* s = c.buffer + c.index + 2;
    const int n = length - 2;
    int rc = 0;
    if (IsFrameMarker(m)) {
      // The decoding pass keeps the frame that the information pass read.
      if (informationPass) {
        rc = ParseFrame(c, s, n);
        c.process = m - 0xC0;
        if (m == 0xC2) c.mode = 1;
      }
    } else if (m == 0xC4) {
      rc = ParseHuffman(c, s, n);
    } else if (m == 0xDB) {
      if (informationPass) rc = ParseQuant(c, s, n);
    } else if (m == 0xDD) {
      if (n != 2) return -43;
      c.restartInterval = Be16(s);
      c.restartsLeft = c.restartInterval;
    } else if (m == 0xE0 && informationPass && !seenApp0) {
      seenApp0 = true;
      if (n < 5 || std::memcmp(s, "JFIF", 5) != 0) return -43;
    } else if (m == 0xDA) {
      if (informationPass) {
        // A scan before any frame header: not a JPEG image this codec can describe.
        return c.process < 0 ? -43 : 0;
      }
      rc = ParseScan(c, s, n);
      c.index += static_cast<std::size_t>(length);
      return rc;
    }
    if (rc) return rc;
    c.index += static_cast<std::size_t>(length);
  }
}

namespace {

void ResetInput(JpegCodec& c) {
  c.index = 0;
  c.count = 0;
  c.fileOffset = 0;
  c.endOfFile = false;
  jpeg_reset_bits(c);
}

// The information pass over a stream positioned at the start of the file.
int InformationPass(JpegCodec& c, JpegInfo& info) {
  std::memset(&info, 0, sizeof info);
  info.process = -1;
  c.process = -1;
  c.restartInterval = 0;
  c.mode = 0;
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kJpegBufferSize]);
  c.buffer = buffer.get();
  ResetInput(c);
  int rc;
  try {
    rc = jpeg_parse_markers(c, true);
  } catch (const JpegFault&) {
    rc = -43;
  }
  c.buffer = nullptr;
  if (rc) return rc;
  info.process = c.process;
  info.width = c.width;
  info.height = c.height;
  info.components = c.components;
  info.precision = c.precision;
  for (int i = 0; i < c.components && i < 4; ++i) info.sampling[i] = c.comp[i].h * 16 + c.comp[i].v;
  info.imagerBitsPerPixel = c.components == 1 ? 8 : 24;
  // Quantisation tables count from slot 0 up to the first slot the file left undefined.
  bool gap = false;
  for (auto& q : c.qtable) {
    if (!q.defined) gap = true;
    if (gap) q.defined = false;
  }
  return 0;
}

// Every 8 x 8 block of the component that covers the whole picture takes at least one bit
// (its DC difference) in the file: a picture that the file cannot fill, or one above
// IMG_MAX_COMPRESSED_PIXELS, is refused before any buffer is sized for it.
int CheckClaimedSize(const JpegCodec& c, std::int64_t fileLength) {
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(std::max(c.width, 0)) * std::max(c.height, 0);
  const std::uint64_t length = fileLength > 0 ? static_cast<std::uint64_t>(fileLength) : 0;
  if (pixels > IMG_MAX_COMPRESSED_PIXELS || pixels > 64 * 8 * length) return -43;
  if (!img_size_allowed(static_cast<std::uint64_t>(std::max(c.width, 0)),
                        static_cast<std::uint64_t>(std::max(c.height, 0)), c.components == 1 ? 8 : 24))
    return -43;
  return 0;
}

int CheckFrame(JpegCodec& c, int imageBits) {
  if (c.process < 0 || c.process > 2) return -43;
  if (c.width <= 0 || c.width >= 32768 || c.height <= 0 || c.height >= 32768) return -1;
  if ((c.components != 1 && c.components != 3) || c.precision != 8) return -43;
  int blocks = 0;
  for (int i = 0; i < c.components; ++i) {
    JpegComponent& k = c.comp[i];
    if (k.h < 1 || k.h > 4 || k.v < 1 || k.v > 4) return -43;
    if (k.quantIndex > 3 || !c.qtable[k.quantIndex].defined) return -43;
    for (int j = 0; j < i; ++j)
      if (c.comp[j].id == k.id) return -43;
    // A one-component scan is never interleaved: its MCU is one block whatever the
    // sampling factors say.
    if (c.components == 1) k.h = k.v = 1;
    k.quant = &c.qtable[k.quantIndex];
    blocks += k.h * k.v;
  }
  if (blocks > kJpegMaxBlocksInMcu) return -43;
  if ((imageBits == 8) != (c.components == 1)) return -26;
  return 0;
}

void DecodeBlockInto(JpegCodec& c, int b, const std::int16_t* coef, int lastNonZero) {
  const int ci = c.blockComp[b];
  const JpegComponent& k = c.comp[ci];
  if (k.fh == 1 && k.fv == 1) {
    jpeg_dequantize_idct(c.planes[ci] + c.blockY[b] * c.mcuWidth + c.blockX[b], c.mcuWidth, coef,
                         *k.quant, lastNonZero, c.rangeLimit);
  } else {
    jpeg_dequantize_idct(c.blockBuf + 64 * b, 8, coef, *k.quant, lastNonZero, c.rangeLimit);
    if (!c.mergedChroma) jpeg_upsample(c, b);
  }
}

void WriteMcu(JpegCodec& c, const JpegImageView& image, int mx, int my, int rows, int columns) {
  const int x = mx * c.mcuWidth;
  const int y = my * c.mcuHeight;
  if (x >= columns) return;
  jpeg_write_mcu_pixels(c, image, x, y, std::min(c.mcuWidth, columns - x), std::min(c.mcuHeight, rows - y));
}

// The MCU loop over the coefficients of a multi-scan file.
void OutputStored(JpegCodec& c, const JpegImageView& image, int rows, int columns) {
  for (int my = 0; my < c.mcuRows && my * c.mcuHeight < rows; ++my)
    for (int mx = 0; mx < c.mcusPerRow; ++mx) {
      for (int b = 0; b < c.blocksInMcu; ++b) {
        const JpegComponent& k = c.comp[c.blockComp[b]];
        const std::int16_t* coef =
            k.coef + ((static_cast<std::size_t>(my) * k.v + c.blockV[b]) * k.coefStride +
                      static_cast<std::size_t>(mx) * k.h + c.blockH[b]) * 64;
        DecodeBlockInto(c, b, coef, 63);
      }
      WriteMcu(c, image, mx, my, rows, columns);
    }
}

int DecodeImage(JpegCodec& c, const JpegImageView& image, int rows, int columns) {
  const bool progressive = c.process == 2;
  c.layout = c.components == 1 ? 2 : 0;
  jpeg_mcu_setup(c, c.width, c.height, false);
  jpeg_build_decode_tables(c);
  c.mergedChroma = jpeg_can_merge_chroma(c);
  if (progressive) jpeg_alloc_coefficients(c);
  ResetInput(c);
  // The decoding pass reads the Huffman tables again, scan by scan.
  jpeg_alloc_huffman(c);
  for (int i = 0; i < 8; ++i) c.huffStore[i].defined = c.huffStore[i].derived = false;
  c.restartInterval = 0;
  int rc = jpeg_parse_markers(c, false);
  if (rc) return rc;
  if (!progressive) {
    rc = jpeg_check_scan(c, c.scan, false);
    if (rc) return rc;
    if (c.scan.count != c.components) {
      // Components in scans of their own: gather every scan's blocks first.
      jpeg_alloc_coefficients(c);
      rc = jpeg_decode_scans(c);
      if (rc) return rc;
      OutputStored(c, image, rows, columns);
      return 0;
    }
    rc = jpeg_load_scan_tables(c, c.scan, false);
    if (rc) return rc;
    jpeg_reset_bits(c);
    for (int i = 0; i < c.components; ++i) c.comp[i].lastDc = 0;
    c.restartsLeft = c.restartInterval;
    for (int my = 0; my < c.mcuRows && my * c.mcuHeight < rows; ++my)
      for (int mx = 0; mx < c.mcusPerRow; ++mx) {
        if (c.restartInterval) {
          if (c.restartsLeft == 0) jpeg_restart(c);
          --c.restartsLeft;
        }
        for (int b = 0; b < c.blocksInMcu; ++b) {
          const int last = jpeg_decode_block(c, c.coefBlock, c.comp[c.blockComp[b]]);
          DecodeBlockInto(c, b, c.coefBlock, last);
        }
        jpeg_check_data(c);
        WriteMcu(c, image, mx, my, rows, columns);
      }
    return 0;
  }
  rc = jpeg_decode_scans(c);
  if (rc) return rc;
  OutputStored(c, image, rows, columns);
  return 0;
}

JpegImageView ViewOf(const ImageDescriptor* d) {
  JpegImageView v{};
  v.pixels = d->pixels;
  v.rowBytes = static_cast<int>(d->rowBytes);
  v.bitmapHeight = d->header->biHeight;
  v.bitsPerPixel = d->header->biBitCount;
  v.left = static_cast<int>(d->left);
  v.top = static_cast<int>(d->top);
  v.palette = reinterpret_cast<const std::uint8_t*>(d->palette);
  return v;
}

bool MemorySourceUnreadable(const char* path, const void* data, std::size_t size) {
  return !path && (!data || size < 100);
}

// ---------------------------------------------------------------------------------
// Saving

void PutSegmentHead(std::vector<std::uint8_t>& out, int marker, int length) {
  out.push_back(0xFF);
  out.push_back(static_cast<std::uint8_t>(marker));
  out.push_back(static_cast<std::uint8_t>(length >> 8));
  out.push_back(static_cast<std::uint8_t>(length));
}

void WriteAll(JpegCodec& c, const std::uint8_t* data, std::size_t n) {
  std::uint32_t done = 0;
  if (!c.stream->Write(data, static_cast<std::uint32_t>(n), &done) || done != n) jpeg_fail(-3);
}

void WriteHeaders(JpegCodec& c) {
  std::vector<std::uint8_t> h = {0xFF, 0xD8};
  PutSegmentHead(h, 0xE0, 16);
  const std::uint8_t app0[] = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
  h.insert(h.end(), app0, app0 + sizeof app0);
  const int tables = c.components == 3 ? 2 : 1;
  bool sixteenBit = false;
  for (int t = 0; t < tables; ++t) {
    const JpegQuantTable& q = c.qtable[t];
    sixteenBit = sixteenBit || q.precision;
    PutSegmentHead(h, 0xDB, q.precision ? 131 : 67);
    h.push_back(static_cast<std::uint8_t>(q.precision * 16 + t));
    for (int k = 0; k < 64; ++k) {
      const int v = q.value[zigzag[k]] / 8;
      if (q.precision) h.push_back(static_cast<std::uint8_t>(v >> 8));
      h.push_back(static_cast<std::uint8_t>(v));
    }
  }
  const int frame = c.mode == 1 ? 0xC2 : (sixteenBit ? 0xC1 : 0xC0);
  PutSegmentHead(h, frame, 8 + 3 * c.components);
  h.push_back(8);
  h.push_back(static_cast<std::uint8_t>(c.height >> 8));
  h.push_back(static_cast<std::uint8_t>(c.height));
  h.push_back(static_cast<std::uint8_t>(c.width >> 8));
  h.push_back(static_cast<std::uint8_t>(c.width));
  h.push_back(static_cast<std::uint8_t>(c.components));
  for (int i = 0; i < c.components; ++i) {
    h.push_back(static_cast<std::uint8_t>(c.comp[i].id));
    h.push_back(static_cast<std::uint8_t>(c.comp[i].h * 16 + c.comp[i].v));
    h.push_back(static_cast<std::uint8_t>(c.comp[i].quantIndex));
  }
  WriteAll(c, h.data(), h.size());
  if (c.mode == 0) {
    for (int t = 0; t < tables; ++t) {
      jpeg_write_dht(c, true, t);
      jpeg_write_dht(c, false, t);
    }
    JpegScan scan{};
    scan.count = c.components;
    for (int i = 0; i < c.components; ++i) scan.comp[i] = i;
    scan.se = 63;
    jpeg_write_sos(c, scan);
  }
}

void EncodeImage(JpegCodec& c, const JpegImageView& image) {
  std::int32_t dct[64];
  for (int my = 0; my < c.mcuRows; ++my)
    for (int mx = 0; mx < c.mcusPerRow; ++mx) {
      const int x = mx * c.mcuWidth, y = my * c.mcuHeight;
      jpeg_read_mcu_pixels(c, image, x, y, std::min(c.mcuWidth, c.width - x),
                           std::min(c.mcuHeight, c.height - y));
      jpeg_rgb_to_ycc(c);
      jpeg_downsample(c);
      for (int b = 0; b < c.blocksInMcu; ++b) {
        JpegComponent& k = c.comp[c.blockComp[b]];
        jpeg_fdct(c.blockBuf + 64 * b, 8, dct);
        if (c.mode == 0) {
          jpeg_quantize(dct, *k.quant, c.coefBlock);
          jpeg_encode_block(c, c.coefBlock, k, false);
        } else {
          std::int16_t* coef =
              k.coef + ((static_cast<std::size_t>(my) * k.v + c.blockV[b]) * k.coefStride +
                        static_cast<std::size_t>(mx) * k.h + c.blockH[b]) * 64;
          jpeg_quantize(dct, *k.quant, coef);
        }
      }
    }
  if (c.mode == 0)
    jpeg_flush_bits(c);
  else
    jpeg_encode_passes(c);
}

}  // namespace

int jpeg_read_info(const char* path, const void* data, std::size_t size, JpegInfo* info) {
  if (MemorySourceUnreadable(path, data, size)) return -52;
  plat::CriticalSectionLock lock(CodecLock());
  StreamBinding binding;
  if (stream_open_read(&binding, path, data, size)) return -4;
  BindingStream stream(binding);
  int rc;
  try {
    JpegCodec c;
    c.stream = &stream;
    JpegInfo local{};
    rc = InformationPass(c, local);
    if (rc == 0) rc = CheckClaimedSize(c, stream_length(&binding));
    *info = local;
  } catch (const std::bad_alloc&) {
    rc = -14;
  }
  stream_close(&binding);
  return rc;
}

int jpeg_info(const char* path, JpegInfo* info) { return jpeg_read_info(path, nullptr, 0, info); }

int jpeg_load_stream(const char* path, const void* data, std::size_t size, ImageDescriptor* d) {
  int rc = img_check_8_24(d);
  if (rc) return rc;
  if (MemorySourceUnreadable(path, data, size)) return -52;
  plat::CriticalSectionLock lock(CodecLock());
  JpegCodec c;
  StreamBinding binding;
  // Information pass, then the decoding pass over the stream opened again.
  if (stream_open_read(&binding, path, data, size)) return -4;
  {
    BindingStream stream(binding);
    c.stream = &stream;
    JpegInfo info{};
    try {
      rc = InformationPass(c, info);
      if (rc == 0) rc = CheckClaimedSize(c, stream_length(&binding));
    } catch (const std::bad_alloc&) {
      rc = -14;
    }
    stream_close(&binding);
    if (rc) return rc;
  }
  if (stream_open_read(&binding, path, data, size)) return -4;
  BindingStream stream(binding);
  c.stream = &stream;
  const int rows = std::min(static_cast<int>(img_rect_height(d)), c.height);
  const int columns = std::min(static_cast<int>(img_rect_width(d)), c.width);
  try {
    rc = CheckFrame(c, img_bits(d));
    if (rc == 0) rc = DecodeImage(c, ViewOf(d), rows, columns);
  } catch (const JpegFault&) {
    rc = -62;
  } catch (const std::bad_alloc&) {
    rc = -14;
  }
  stream_close(&binding);
  if (rc == 0 && c.components == 1) img_set_grey_palette(d);
  return rc;
}

int jpeg_load(const char* path, ImageDescriptor* d) { return jpeg_load_stream(path, nullptr, 0, d); }

int jpeg_save_stream(const char* path, ImgMem* out, int quality, int mode, ImageDescriptor* d) {
  if (mode != 1 && mode != 2) mode = 0;
  int rc = img_check_8_24(d);
  if (rc) return rc;
  plat::CriticalSectionLock lock(CodecLock());
  StreamBinding binding;
  if (stream_open_write(&binding, path, out)) return -10;
  BindingStream stream(binding);
  try {
    JpegCodec c;
    c.stream = &stream;
    c.mode = mode;
    c.width = static_cast<int>(img_rect_width(d));
    c.height = static_cast<int>(img_rect_height(d));
    if (img_bits(d) == 24)
      c.layout = 0;
    else
      c.layout = (d->flags & IMG_GREY) ? 2 : 1;
    c.components = c.layout == 2 ? 1 : 3;
    jpeg_set_quality(c, quality);
    if (mode == 0)
      jpeg_setup_standard_tables(c);
    else
      jpeg_alloc_statistics(c);
    for (int i = 0; i < c.components; ++i) {
      JpegComponent& k = c.comp[i];
      k.id = i + 1;
      k.h = k.v = (i == 0 && c.components == 3) ? 2 : 1;
      const int t = i == 0 ? 0 : 1;
      k.quantIndex = k.dcIndex = k.acIndex = t;
      k.quant = &c.qtable[t];
      k.dc = c.dcTable[t];
      k.ac = c.acTable[t];
    }
    jpeg_mcu_setup(c, c.width, c.height, mode != 0);
    WriteHeaders(c);
    EncodeImage(c, ViewOf(d));
    const std::uint8_t eoi[2] = {0xFF, 0xD9};
    WriteAll(c, eoi, 2);
    rc = 0;
  } catch (const JpegFault& f) {
    rc = f.code;
  } catch (const std::bad_alloc&) {
    rc = -14;
  }
  if (!path && rc == -3) rc = -14;
  return stream_finish_write(&binding, path, out, rc);
}

int jpeg_save(const char* path, ImageDescriptor* d, int quality, int mode) {
  return jpeg_save_stream(path, nullptr, quality, mode, d);
}
