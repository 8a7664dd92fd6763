// Internals shared by the three units of the JPEG codec: the file structure
// (jpeg_codec.cpp), entropy coding (jpeg_entropy.cpp) and sample processing
// (jpeg_samples.cpp). Nothing here is part of the image library's interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

// A fault inside the codec. It is thrown where it is found and caught at the codec's
// entry points, which turn it into their result code.
struct JpegFault {
  int code;
};
[[noreturn]] inline void jpeg_fail(int code) { throw JpegFault{code}; }

// The codec's view of its stream binding: reading and writing in the shapes of the
// binding's operations.
class JpegStream {
 public:
  virtual ~JpegStream() = default;
  virtual bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t* done) = 0;
  virtual bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* done) = 0;
};

constexpr int kJpegBufferSize = 65536;
constexpr int kJpegMaxBlocksInMcu = 10;

// Natural index of zigzag position k; 16 extra entries so that a run that overshoots
// position 63 in damaged data still lands inside a block.
extern const std::uint8_t zigzag[64 + 16];

struct JpegQuantTable {
  std::uint16_t value[64];  // natural order; loading: the file's values, saving: 8 x them
  int precision;            // 0: 8-bit values in the file, 1: 16-bit values
  bool defined;
};

struct JpegHuffTable {
  std::uint8_t bits[17];  // bits[l]: number of codes of length l (1..16)
  std::uint8_t huffval[256];
  std::uint16_t valueCount;
  bool defined;  // the file defined this slot (reading) or the table is built (writing)
  bool derived;  // the decoding part matches BITS and HUFFVAL
  // Encoding part, by symbol.
  std::uint16_t code[256];
  std::uint8_t size[256];
  // Decoding part: an 8-bit lookahead and the canonical code ranges per length.
  std::uint16_t lookLength[256];  // 0 when the code that starts there is longer than 8 bits
  std::uint8_t lookSymbol[256];
  std::int32_t maxcode[18];  // maxcode[17] is a sentinel
  std::int32_t mincode[17];
  std::uint16_t valptr[17];
};

struct JpegComponent {
  int id;
  int h, v;  // sampling factors as used for the geometry
  int quantIndex;
  const JpegQuantTable* quant;
  int dcIndex, acIndex;
  JpegHuffTable* dc;
  JpegHuffTable* ac;
  int lastDc;
  // Coefficient buffer (progressive and multi-scan reading, modes 1 and 2 saving):
  // the component's blocks row by row over the whole MCU grid, 64 values each.
  std::int16_t* coef;
  int coefStride;    // blocks per row of the coefficient buffer (MCUs per row x h)
  int blocksPerRow;  // blocks that hold image samples: ceil(h x width / (8 x hmax))
  int blockRows;     // ceil(v x height / (8 x vmax))
  int fh, fv;        // sampling ratio hmax / h and vmax / v
};

// One scan as its SOS segment states it.
struct JpegScan {
  int count;      // Ns
  int comp[4];    // frame component index of each scan component
  int ss, se, ah, al;
};

// The codec's state for one information, load or save call.
struct JpegCodec {
  JpegStream* stream = nullptr;

  // Input buffer: bytes [index, count) are unread; fileOffset is the file position of
  // the buffer's first byte.
  std::uint8_t* buffer = nullptr;
  std::size_t index = 0;
  std::size_t count = 0;
  long long fileOffset = 0;
  bool endOfFile = false;

  // Bit reader: `bits` valid bits at the low end of `acc`. Once the entropy-coded data
  // end (a marker or the end of the file) zero bytes are fed instead, counted in
  // `padBits`; consuming any of them means the data ended early.
  std::uint64_t acc = 0;
  int bits = 0;
  int padBits = 0;
  bool dataEnded = false;

  // Bit writer: output bytes go through the same buffer.
  std::uint64_t outAcc = 0;
  int outBits = 0;

  // Frame.
  int process = -1;
  int width = 0, height = 0, precision = 0;
  int components = 0;
  JpegComponent comp[4] = {};
  JpegQuantTable qtable[4] = {};
  JpegHuffTable* dcTable[4] = {};
  JpegHuffTable* acTable[4] = {};
  int restartInterval = 0;
  int restartsLeft = 0;
  int mode = 0;    // 0 sequential (standard tables), 1 progressive, 2 sequential optimised
  int layout = 0;  // 0 colour from 24 bits, 1 colour from a palette image, 2 grey
  int progressiveScans = 0;
  bool inputEnded = false;
  JpegScan scan = {};

  // MCU geometry and buffers.
  int hmax = 1, vmax = 1;
  int blocksInMcu = 0;
  int mcuWidth = 8, mcuHeight = 8;
  int mcusPerRow = 0, mcuRows = 0;
  int blockComp[kJpegMaxBlocksInMcu] = {};
  int blockX[kJpegMaxBlocksInMcu] = {};
  int blockY[kJpegMaxBlocksInMcu] = {};
  int blockH[kJpegMaxBlocksInMcu] = {};  // position of the block within its component's MCU part
  int blockV[kJpegMaxBlocksInMcu] = {};
  std::uint8_t* planes[4] = {};   // one MCU per component, mcuWidth wide
  std::uint8_t* blockBuf = nullptr;  // 64 samples per block of the MCU
  std::int16_t* coefBlock = nullptr;
  // Decoding 4:2:0 or 4:2:2: the colour conversion reads chroma from the block buffers
  // instead of upsampled planes.
  bool mergedChroma = false;
  std::unique_ptr<std::uint8_t[]> work;  // planes, file buffer, coefficient block, block buffers

  // Decoding tables.
  std::unique_ptr<std::uint8_t[]> rangeTable;  // 1408 bytes
  const std::uint8_t* rangeLimit = nullptr;     // rangeTable + 256
  std::unique_ptr<std::int32_t[]> colourTables;
  std::int32_t* crToR = nullptr;
  std::int32_t* cbToB = nullptr;
  std::int32_t* crToG = nullptr;
  std::int32_t* cbToG = nullptr;

  // Huffman tables and statistics.
  std::unique_ptr<JpegHuffTable[]> huffStore;  // 4 DC then 4 AC slots
  std::unique_ptr<std::uint8_t[]> statsStore;  // correction bits, then the counters
  std::uint8_t* correctionBits = nullptr;       // 1000 bytes
  std::uint32_t* dcFreq[2] = {};
  std::uint32_t* acFreq[2] = {};
  int eobRun = 0;
  int correctionCount = 0;

  struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<std::int16_t, FreeDeleter> coefStore[4];
};

// A view of the caller's image: pixel rows bottom-up, a working rectangle.
struct JpegImageView {
  std::uint8_t* pixels;  // lowest row on screen
  int rowBytes;
  int bitmapHeight;  // rows of the bitmap
  int bitsPerPixel;  // 8 or 24
  int left, top;     // first column and row (from the top) of the working rectangle
  const std::uint8_t* palette;  // 8-bit colour images: RGBQUAD entries (blue, green, red, 0)
  std::uint8_t* Row(int y) const {
    return pixels + static_cast<std::ptrdiff_t>(bitmapHeight - 1 - (top + y)) * rowBytes +
           static_cast<std::ptrdiff_t>(left) * (bitsPerPixel / 8);
  }
};

// ---- Sample processing (jpeg_samples.cpp) ----
void jpeg_mcu_setup(JpegCodec& c, int width, int height, bool coefficientBuffers);
void jpeg_alloc_coefficients(JpegCodec& c);
void jpeg_set_quality(JpegCodec& c, int quality);
void jpeg_build_decode_tables(JpegCodec& c);
void jpeg_fdct(const std::uint8_t* samples, int stride, std::int32_t* coefficients);
void jpeg_quantize(const std::int32_t* coefficients, const JpegQuantTable& table,
                   std::int16_t* quantised);
// Inverse DCT of dequantised coefficients into an 8 x 8 block of samples.
void jpeg_idct(std::uint8_t* samples, int stride, const std::int16_t* coefficients,
               const std::uint8_t* rangeLimit);
// The same with dequantisation folded in; `lastNonZero` is the highest zigzag position
// that may be non-zero (0: only the DC value).
void jpeg_dequantize_idct(std::uint8_t* samples, int stride, const std::int16_t* coefficients,
                          const JpegQuantTable& table, int lastNonZero,
                          const std::uint8_t* rangeLimit);
void jpeg_read_mcu_pixels(JpegCodec& c, const JpegImageView& image, int x, int y, int visibleW,
                          int visibleH);
void jpeg_pad_edges(JpegCodec& c, int visibleWidth, int visibleHeight);
void jpeg_rgb_to_ycc(JpegCodec& c);
void jpeg_downsample(JpegCodec& c);
void jpeg_upsample(JpegCodec& c, int block);
void jpeg_write_mcu_pixels(JpegCodec& c, const JpegImageView& image, int x, int y, int visibleW,
                           int visibleH);
bool jpeg_can_merge_chroma(const JpegCodec& c);

// ---- Entropy coding (jpeg_entropy.cpp) ----
extern const std::uint8_t jpeg_std_dc_luminance_bits[17];
extern const std::uint8_t jpeg_std_dc_luminance_values[12];
extern const std::uint8_t jpeg_std_dc_chrominance_bits[17];
extern const std::uint8_t jpeg_std_dc_chrominance_values[12];
extern const std::uint8_t jpeg_std_ac_luminance_bits[17];
extern const std::uint8_t jpeg_std_ac_luminance_values[162];
extern const std::uint8_t jpeg_std_ac_chrominance_bits[17];
extern const std::uint8_t jpeg_std_ac_chrominance_values[162];

void jpeg_alloc_huffman(JpegCodec& c);
JpegHuffTable& jpeg_huff_slot(JpegCodec& c, bool isDC, int index);
// Builds the encoding or decoding part from BITS and HUFFVAL. Returns false when the
// counts do not form a prefix code (more codes of a length than the code space holds).
bool jpeg_derive_huffman(JpegHuffTable& table, bool forDecoding);

// Input buffer.
bool jpeg_fill_buffer(JpegCodec& c);            // false when no byte is left
bool jpeg_ensure_bytes(JpegCodec& c, std::size_t n);  // n unread bytes in the buffer?
int jpeg_read_byte(JpegCodec& c);               // -1 at the end of the file

// Sequential decoding.
void jpeg_reset_bits(JpegCodec& c);
unsigned jpeg_get_bits(JpegCodec& c, int n);
// Decodes one block into the 64 coefficients (natural order) and returns the highest
// zigzag position it set.
int jpeg_decode_block(JpegCodec& c, std::int16_t* coefficients, JpegComponent& component);
void jpeg_restart(JpegCodec& c);
void jpeg_check_data(JpegCodec& c);  // faults when the decoder used bits past the data
int jpeg_check_scan(const JpegCodec& c, const JpegScan& scan, bool progressive);
int jpeg_load_scan_tables(JpegCodec& c, const JpegScan& scan, bool progressive);
// Decodes every scan of a multi-scan file (progressive, or sequential with a scan that
// lacks a component) into the coefficient buffers; the first SOS has been parsed.
int jpeg_decode_scans(JpegCodec& c);

// Encoding.
void jpeg_put_bits(JpegCodec& c, int n, unsigned value);
void jpeg_flush_bits(JpegCodec& c);       // 7 one bits, then the buffer is written
void jpeg_put_raw(JpegCodec& c, const std::uint8_t* data, std::size_t n);
void jpeg_write_buffer(JpegCodec& c);
void jpeg_encode_block(JpegCodec& c, const std::int16_t* coefficients, JpegComponent& component,
                       bool statisticsOnly);
void jpeg_setup_standard_tables(JpegCodec& c);
void jpeg_alloc_statistics(JpegCodec& c);
void jpeg_encode_passes(JpegCodec& c);
int jpeg_optimal_huffman(const std::uint32_t* frequencies, JpegHuffTable& table);
void jpeg_write_dht(JpegCodec& c, bool isDC, int index);
void jpeg_write_sos(JpegCodec& c, const JpegScan& scan);

// ---- File structure (jpeg_codec.cpp) ----
// Parses markers up to the next SOS; information pass or decoding pass.
int jpeg_parse_markers(JpegCodec& c, bool informationPass);
