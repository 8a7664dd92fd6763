// Reading TIFF files: header, image file directories, pages, strips and the row modes
// (uncompressed, PackBits, LZW, CCITT).
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <vector>

#include "imagefiles/ccitt.h"
#include "imagefiles/dib_convert.h"
#include "imagefiles/lzw_packbits.h"
#include "imagefiles/tiff_internal.h"

plat::CriticalSection& TiffLock() {
  static plat::CriticalSection lock;
  return lock;
}

namespace {

constexpr std::size_t kInputArea = 98304;
// Widths and lengths beyond these cannot become an image of the library.
constexpr std::uint32_t kMaxDimension = 65535;

int TypeSize(int type) {
  switch (type) {
    case kTiffByte:
    case kTiffAscii:
      return 1;
    case kTiffShort:
      return 2;
    case kTiffLong:
      return 4;
    case kTiffRational:
      return 8;
    default:
      return 0;
  }
}

BYTE ReverseBits(BYTE b) {
  b = static_cast<BYTE>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<BYTE>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<BYTE>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

void ReverseAll(BYTE* p, std::size_t n) {
  static const auto table = [] {
    std::vector<BYTE> t(256);
    for (int i = 0; i < 256; ++i) t[i] = ReverseBits(static_cast<BYTE>(i));
    return t;
  }();
  for (std::size_t i = 0; i < n; ++i) p[i] = table[p[i]];
}

}  // namespace

TiffReader::TiffReader(StreamBinding* b) : b_(b) { length_ = stream_length(b); }

std::uint16_t TiffReader::U16(const BYTE* p) const {
  return bigEndian_ ? static_cast<std::uint16_t>(p[0] << 8 | p[1]) : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
}

std::uint32_t TiffReader::U32(const BYTE* p) const {
  if (bigEndian_)
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
  return static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}

int TiffReader::tiff_read_header(std::uint32_t* firstIfd) {
  BYTE h[8];
  if (length_ < 8 || stream_seek(b_, 0, STREAM_BEGIN) != 0 || !stream_read_exact(b_, h, 8)) return IMG_NOT_TIFF;
  if (h[0] == 'I' && h[1] == 'I')
    bigEndian_ = false;
  else if (h[0] == 'M' && h[1] == 'M')
    bigEndian_ = true;
  else
    return IMG_NOT_TIFF;
  if (U16(h + 2) != 42) return IMG_NOT_TIFF;
  *firstIfd = U32(h + 4);
  if (*firstIfd + std::int64_t{2} > length_) return IMG_NOT_TIFF;
  return 0;
}

bool TiffReader::ReadValues(int type, std::uint32_t count, std::int64_t position,
                            std::vector<std::uint32_t>* out) {
  const int size = TypeSize(type);
  if (size == 0 || count == 0) return false;
  const std::int64_t bytes = std::int64_t{size} * count;
  if (position < 0 || position + bytes > length_) return false;
  std::vector<BYTE> raw(static_cast<std::size_t>(bytes));
  if (stream_seek(b_, position, STREAM_BEGIN) != position || !stream_read_exact(b_, raw.data(), raw.size()))
    return false;
  const std::uint32_t n = type == kTiffRational ? 2 * count : count;
  out->resize(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    switch (type) {
      case kTiffShort:
        (*out)[i] = U16(&raw[2 * i]);
        break;
      case kTiffLong:
      case kTiffRational:
        (*out)[i] = U32(&raw[4 * i]);
        break;
      default:
        (*out)[i] = raw[i];
    }
  }
  return true;
}

namespace {

// Whether the file could hold the picture its directory claims, so that no buffer is
// sized for a picture that cannot be there: uncompressed rows must all be in the file;
// PackBits makes at most 64 bytes of a byte, LZW at most 4096 (codes of 9 bits or more
// standing for at most 4096 bytes), and a CCITT row takes at least one bit. Compressed
// pictures are also held to IMG_MAX_COMPRESSED_PIXELS.
bool SizeFitsTheFile(const TiffInfo& info, std::int64_t fileLength) {
  const std::uint64_t rows = info.length;
  // Counts beyond any the loader reads are cut, which keeps the products in range.
  const std::uint64_t samples = std::min<std::uint32_t>(info.samplesPerPixel, 64);
  const std::uint64_t bits = std::min<std::uint32_t>(info.bitsPerSample, 64);
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(info.width) * samples * bits + 7) / 8;
  const std::uint64_t length = fileLength > 0 ? static_cast<std::uint64_t>(fileLength) : 0;
  // The decoded picture, and the file's rows before they become one, within the limit.
  if (!img_size_allowed(info.width, rows, static_cast<int>(info.imagerBitsPerPixel), rows * rowBytes))
    return false;
  if (info.compression == 1) return rows * rowBytes <= length;
  if (static_cast<std::uint64_t>(info.width) * rows > IMG_MAX_COMPRESSED_PIXELS) return false;
  switch (info.compression) {
    case 32773:
      return rows * rowBytes <= 64 * length;
    case 5:
      return rows * rowBytes <= 4096 * length;
    case 2:
    case 3:
    case 4:
      return rows <= 8 * length;
    default:
      return true;
  }
}

}  // namespace

int TiffReader::tiff_read_ifd(std::uint32_t offset, TiffDirectory* dir) {
  *dir = TiffDirectory{};
  TiffInfo& info = dir->info;
  info.byteOrder = bigEndian_ ? 0x4D4D : 0x4949;
  info.bitsPerSample = 1;
  info.compression = 1;
  info.samplesPerPixel = 1;
  info.photometric = 1;
  info.planarConfig = 1;
  BYTE nb[2];
  if (offset + std::int64_t{2} > length_ || stream_seek(b_, offset, STREAM_BEGIN) != offset ||
      !stream_read_exact(b_, nb, 2))
    return IMG_NOT_TIFF;
  const std::uint32_t n = U16(nb);
  if (n > 5460) return IMG_NOT_TIFF;
  const std::int64_t p = offset + std::int64_t{2};
  std::vector<BYTE> entries(12 * std::size_t{n} + 4);
  if (p + static_cast<std::int64_t>(entries.size()) > length_ || !stream_read_exact(b_, entries.data(), entries.size()))
    return IMG_NOT_TIFF;
  dir->nextField = p + 12 * std::int64_t{n};
  dir->nextOffset = U32(&entries[12 * std::size_t{n}]);
  std::vector<std::uint32_t> v;
  for (std::uint32_t i = 0; i < n; ++i) {
    const BYTE* e = &entries[12 * std::size_t{i}];
    const int tag = U16(e), type = U16(e + 2);
    const std::uint32_t count = U32(e + 4);
    const std::int64_t field = p + 12 * std::int64_t{i} + 8;
    const std::int64_t bytes = std::int64_t{TypeSize(type)} * count;
    const std::int64_t values = bytes <= 4 ? field : static_cast<std::int64_t>(U32(e + 8));
    auto single = [&](std::uint32_t* out) {
      if (count != 1 || (type != kTiffShort && type != kTiffLong)) return false;
      *out = type == kTiffShort ? U16(e + 8) : U32(e + 8);
      return true;
    };
    bool ok = true;
    switch (tag) {
      case 256: ok = single(&info.width); break;
      case 257: ok = single(&info.length); break;
      case 259: ok = single(&info.compression); break;
      case 277: ok = single(&info.samplesPerPixel); break;
      case 284: ok = single(&info.planarConfig); break;
      case 262:
        ok = single(&info.photometric);
        dir->photometricPresent = true;
        break;
      case 266: {
        std::uint32_t f = 1;
        ok = single(&f);
        dir->fillOrder = static_cast<int>(f);
        break;
      }
      case 278: ok = single(&dir->rowsPerStrip); break;
      case 292: ok = single(&dir->t4Options); break;
      case 296: ok = single(&dir->resolutionUnit); break;
      case 317: ok = single(&dir->predictor); break;
      case 258:
        if (count > 4 || !ReadValues(type, count, values, &v)) return IMG_NOT_TIFF;
        info.bitsPerSample = v[0];
        dir->depth = static_cast<int>(std::min<std::uint32_t>(v[0], 1024));
        if (count >= 3 && v[2] == 8) dir->depth = 24;
        break;
      case 273:
        dir->haveStrips = true;
        dir->stripType = type;
        dir->stripCount = count;
        dir->stripValues = values;
        break;
      case 279:
        dir->haveCounts = true;
        dir->countType = type;
        dir->countCount = count;
        dir->countValues = values;
        break;
      case 282:
      case 283:
        if (ReadValues(kTiffRational, 1, values, &v) && type == kTiffRational) {
          const std::uint32_t r = v[1] ? v[0] / v[1] : v[0];
          (tag == 282 ? dir->xResolution : dir->yResolution) = r;
        }
        break;
      case 297:
        dir->pageNumberEntry = p + 12 * std::int64_t{i};
        if (type == kTiffShort && count >= 1) {
          dir->pageNumber = U16(e + 8);
          dir->hasPageNumber = true;
        }
        break;
      case 320:
        dir->colorMapCount = type == kTiffShort ? count : 0;
        dir->colorMapValues = values;
        break;
      default:
        break;
    }
    if (!ok) return IMG_NOT_TIFF;
  }
  if (info.compression == 2 && !dir->photometricPresent) info.photometric = 0;
  info.imagerBitsPerPixel = info.samplesPerPixel >= 3 ? 24 : info.bitsPerSample;
  if (info.width > kMaxDimension || info.length > kMaxDimension) return IMG_UNSUPPORTED;
  if (!SizeFitsTheFile(info, length_)) return IMG_NOT_TIFF;
  return 0;
}

int TiffReader::tiff_walk_pages(std::vector<TiffDirectory>* dirs) {
  dirs->clear();
  std::uint32_t offset = 0;
  if (int r = tiff_read_header(&offset)) return r;
  std::set<std::uint32_t> seen;
  std::uint32_t previous = 0;
  while (offset != 0) {
    // A chain that comes back to a directory already read is damaged.
    if (!seen.insert(offset).second || dirs->size() >= 65535) return IMG_NOT_TIFF;
    TiffDirectory dir;
    if (int r = tiff_read_ifd(offset, &dir)) return r;
    if (!dir.hasPageNumber) dir.pageNumber = dirs->empty() ? 0 : previous + 1;
    previous = dir.pageNumber;
    offset = dir.nextOffset;
    dirs->push_back(dir);
  }
  return 0;
}

int TiffReader::tiff_find_page(int page, bool byIndex, TiffDirectory* dir) {
  std::uint32_t offset = 0;
  if (int r = tiff_read_header(&offset)) return r;
  std::set<std::uint32_t> seen;
  std::uint32_t previous = 0;
  for (int index = 0; offset != 0; ++index) {
    if (!seen.insert(offset).second) return IMG_NOT_TIFF;
    if (int r = tiff_read_ifd(offset, dir)) return r;
    if (!dir->hasPageNumber) dir->pageNumber = index == 0 ? 0 : previous + 1;
    previous = dir->pageNumber;
    if (page == -1) return 0;
    if (byIndex ? index == page : dir->pageNumber == static_cast<std::uint32_t>(page)) return 0;
    offset = dir->nextOffset;
  }
  return IMG_NO_PAGE;
}

int TiffReader::tiff_read_strip_tables(const TiffDirectory& dir, std::vector<std::uint32_t>* offsets,
                                std::vector<std::uint32_t>* counts) {
  std::vector<std::uint32_t> v;
  if (!ReadValues(dir.stripType, dir.stripCount, dir.stripValues, &v)) return IMG_NOT_TIFF;
  const std::uint32_t strips = dir.stripCount;
  // A rational table yields two values per entry: the tables hold one per strip.
  v.resize(strips);
  try {
    offsets->assign(v.begin(), v.end());
    offsets->push_back(static_cast<std::uint32_t>(std::min<std::int64_t>(length_, 0xFFFFFFFF)));
    counts->assign(strips, 0);
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  bool recompute = strips == 1 || !dir.haveCounts || dir.countCount != strips;
  if (!recompute) {
    if (!ReadValues(dir.countType, strips, dir.countValues, &v)) return IMG_NOT_TIFF;
    counts->assign(v.begin(), v.begin() + strips);
    recompute = (*counts)[0] > length_;
  }
  if (recompute) {
    for (std::uint32_t i = 0; i < strips; ++i) {
      const std::int64_t end = i + 1 < strips ? (*offsets)[i + 1] : length_;
      (*counts)[i] = end > (*offsets)[i] ? static_cast<std::uint32_t>(end - (*offsets)[i]) : 0;
    }
  }
  // No strip reaches past the end of the file.
  for (std::uint32_t i = 0; i < strips; ++i) {
    const std::int64_t off = (*offsets)[i];
    if (off >= length_)
      (*counts)[i] = 0;
    else if (off + (*counts)[i] > length_)
      (*counts)[i] = static_cast<std::uint32_t>(length_ - off);
  }
  return 0;
}

TiffMode tiff_select_mode(int depth, int compression, std::uint32_t t4Options, bool reading) {
  // Two-dimensional Group 3 rows (T4Options bit 0) are coded against the row above; the
  // one-dimensional decoder would turn them into a wrong picture, so they are not handled.
  if (reading && compression == 3 && !(t4Options & 2))
    return (t4Options & 1) ? kModeNotHandled : kModeCcittG3;
  int row;
  if (depth >= 4 && depth <= 6)
    row = 4;
  else if (depth >= 32 || depth < 0)
    return kModeNotHandled;
  else
    row = (depth / 8) * 8;
  if (row == 0) row = 1;
  switch (compression) {
    case 1:
      return row == 1 ? kModeNone1 : row == 4 ? kModeNone4 : row == 8 ? kModeNone8 : row == 16 ? kModeNone16 : kModeNone24;
    case 5:
      return row == 1 ? kModeLzw1 : row == 8 ? kModeLzw8 : row == 24 ? kModeLzw24 : kModeNotHandled;
    case 32773:
      return row == 1 ? kModePackBits1 : row == 4 ? kModePackBits4 : row == 8 ? kModePackBits8 : kModeNotHandled;
    case 2:
      return row == 1 ? kModeCcittRle : kModeNotHandled;
    case 4:
      return row == 1 ? kModeCcittG4 : kModeNotHandled;
    default:
      return kModeNotHandled;
  }
}

namespace {

bool OneBitMode(TiffMode m) {
  return m == kModeNone1 || m == kModeLzw1 || m == kModePackBits1 || m == kModeCcittRle ||
         m == kModeCcittG3 || m == kModeCcittG4;
}
bool CcittMode(TiffMode m) { return m == kModeCcittRle || m == kModeCcittG3 || m == kModeCcittG4; }

// The image depth that a row mode fills.
int ImageDepthOf(TiffMode m) {
  if (OneBitMode(m)) return 1;
  if (m == kModeNone16) return 16;
  if (m == kModeNone24 || m == kModeLzw24) return 24;
  return 8;
}

// Strip data, strip after strip, through one input area that keeps unread bytes.
class StripInput {
 public:
  StripInput(StreamBinding* b, const std::vector<std::uint32_t>& offsets,
             const std::vector<std::uint32_t>& counts, int fillOrder, std::size_t area)
      : b_(b), offsets_(offsets), counts_(counts), fillOrder_(fillOrder), area_(area) {}
  const BYTE* Data() const { return area_.data() + index_; }
  std::size_t Available() const { return valid_ - index_; }
  void Consume(std::size_t n) { index_ += std::min(n, Available()); }
  // Moves the unread bytes to the front and reads more behind them from the current
  // strip (or the next one when it is used up). False on a failed seek or read.
  bool tiff_fill() {
    const std::size_t kept = Available();
    std::memmove(area_.data(), area_.data() + index_, kept);
    index_ = 0;
    valid_ = kept;
    while (stripLeft_ == 0 && next_ < counts_.size()) {
      const std::int64_t off = offsets_[next_];
      if (stream_seek(b_, off, STREAM_BEGIN) != off) return false;
      stripLeft_ = counts_[next_];
      ++next_;
    }
    const std::size_t n = std::min<std::size_t>(stripLeft_, area_.size() - kept);
    if (n > 0) {
      if (!stream_read_exact(b_, area_.data() + kept, n)) return false;
      if (fillOrder_ == 2) ReverseAll(area_.data() + kept, n);
      valid_ += n;
      stripLeft_ -= static_cast<std::uint32_t>(n);
    }
    return true;
  }
  // Fills until `need` bytes are at hand or the data has ended; false on a failed read.
  bool Ensure(std::size_t need) {
    while (Available() < need) {
      const std::size_t before = Available();
      if (!tiff_fill()) return false;
      if (Available() == before) break;
    }
    return true;
  }

 private:
  StreamBinding* b_;
  const std::vector<std::uint32_t>& offsets_;
  const std::vector<std::uint32_t>& counts_;
  int fillOrder_;
  std::vector<BYTE> area_;
  std::size_t index_ = 0, valid_ = 0;
  std::uint32_t stripLeft_ = 0;
  std::size_t next_ = 0;
};

struct LoadJob {
  StreamBinding* b;
  const TiffDirectory* dir;
  TiffMode mode;
  ImageDescriptor* d;
  DWORD rows, columns;
  std::size_t srcRow;
  const std::vector<std::uint32_t>* offsets;
  const std::vector<std::uint32_t>* counts;
};

void PutRow(const LoadJob& j, DWORD y, const BYTE* row) {
  BYTE* out = img_row(j.d, j.d->top + y);
  const int bits = img_bits(j.d);
  if (bits == 1)
    bits_insert(out + j.d->left / 8, row, j.d->left, j.columns);
  else
    std::memcpy(out + static_cast<std::size_t>(j.d->left) * (bits / 8), row,
                static_cast<std::size_t>(j.columns) * (bits / 8));
}

void Invert(BYTE* row, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) row[i] = static_cast<BYTE>(~row[i]);
}

// Grey samples whose zero is white are turned round, at every depth, so that the image
// holds zero for black; palette indexes (photometric 3) and black-is-zero rows stay.
bool WhiteIsZero(const TiffInfo& info) { return info.photometric == 0; }

// Samples of `bits` bits, most significant first, into one byte each.
void UnpackSamples(BYTE* out, const BYTE* in, std::size_t samples, int bits, int shift) {
  const int mask = (1 << bits) - 1;
  for (std::size_t i = 0; i < samples; ++i) {
    const std::size_t bit = i * static_cast<std::size_t>(bits);
    const int word = in[bit / 8] << 8 | (bit / 8 + 1 < (samples * bits + 7) / 8 ? in[bit / 8 + 1] : 0);
    out[i] = static_cast<BYTE>(((word >> (16 - bits - bit % 8)) & mask) << shift);
  }
}

// The whole transfer of the LZW modes: strip by strip, rows carried across strips.
int tiff_lzw_decode(const LoadJob& j) {
  const TiffInfo& info = j.dir->info;
  const std::size_t src = j.srcRow;
  const int spp = static_cast<int>(info.samplesPerPixel);
  const std::size_t distance = std::max<std::size_t>(1, static_cast<std::size_t>(spp) * info.bitsPerSample / 8);
  const std::uint32_t rps = j.dir->rowsPerStrip ? j.dir->rowsPerStrip : info.length;
  std::vector<BYTE> in, out, row;
  try {
    const std::size_t perStrip = static_cast<std::size_t>(std::min<std::uint32_t>(std::max<std::uint32_t>(rps, 1), j.rows)) * src;
    out.resize(perStrip + src);
    row.resize(src + 4);
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  std::size_t carried = 0;
  DWORD y = 0;
  int result = 0;
  for (std::size_t s = 0; s + 1 < j.offsets->size() && y < j.rows && result == 0; ++s) {
    const std::uint32_t n = (*j.counts)[s];
    if (n == 0) continue;
    const std::int64_t off = (*j.offsets)[s];
    try {
      in.resize(n);
    } catch (const std::bad_alloc&) {
      return IMG_NO_MEMORY;
    }
    if (stream_seek(j.b, off, STREAM_BEGIN) != off || !stream_read_exact(j.b, in.data(), n)) return IMG_NOT_TIFF;
    if (j.dir->fillOrder == 2) ReverseAll(in.data(), n);
    const std::size_t want = std::min(out.size(), static_cast<std::size_t>(j.rows - y) * src);
    std::size_t made = 0;
    result = tiff_lzw_decode_strip(in.data(), n, out.data() + carried, want - carried, &made);
    made += carried;
    std::size_t pos = 0;
    for (; pos + src <= made && y < j.rows; pos += src, ++y) {
      BYTE* r = out.data() + pos;
      if (j.dir->predictor == 2)
        for (std::size_t i = distance; i < src; ++i) r[i] = static_cast<BYTE>(r[i] + r[i - distance]);
      if (j.mode == kModeLzw24) {
        // Blue, green, red for the image; a fourth sample is dropped.
        BYTE* o = row.data();
        for (DWORD x = 0; x < j.columns; ++x, o += 3) {
          const BYTE* px = r + static_cast<std::size_t>(x) * spp;
          o[0] = px[2];
          o[1] = px[1];
          o[2] = px[0];
        }
        PutRow(j, y, row.data());
      } else {
        if ((j.mode == kModeLzw1 || j.mode == kModeLzw8) && WhiteIsZero(info)) Invert(r, src);
        PutRow(j, y, r);
      }
    }
    carried = made - pos;
    if (carried) std::memmove(out.data(), out.data() + pos, carried);
  }
  if (result == 0 && y < j.rows) result = IMG_CORRUPT_DATA;  // the data broke off
  return result;
}

int tiff_read_strips(const LoadJob& j) {
  const TiffInfo& info = j.dir->info;
  const std::size_t src = j.srcRow;
  const bool packBits = j.mode == kModePackBits1 || j.mode == kModePackBits4 || j.mode == kModePackBits8;
  const std::size_t reserve = packBits ? 2 * src + 2 : src;
  std::vector<BYTE> row, unpacked;
  StripInput* input = nullptr;
  CcittLines lines;
  try {
    row.assign(src + 4, 0);
    if (j.mode == kModeNone4 || j.mode == kModePackBits4) unpacked.assign(2 * src + 8, 0);
    input = new StripInput(j.b, *j.offsets, *j.counts, j.dir->fillOrder, std::max(kInputArea, 2 * reserve + 64));
  } catch (const std::bad_alloc&) {
    return IMG_NO_MEMORY;
  }
  std::unique_ptr<StripInput> owner(input);
  const int width = static_cast<int>(info.width);
  CcittBits bits;
  CcittDecodeSetup setup;
  if (CcittMode(j.mode)) {
    if (j.mode == kModeCcittG4 && ccitt_lines_alloc(lines, width) != 0) return IMG_NO_MEMORY;
    setup.compression = j.mode == kModeCcittRle ? 2 : j.mode == kModeCcittG3 ? 3 : 4;
    setup.t4Options = j.dir->t4Options;
    setup.rowsPerStrip = static_cast<int>(j.dir->rowsPerStrip);
    bits.more = [input](const BYTE*& in, const BYTE*& end) {
      input->Consume(input->Available());
      if (!input->tiff_fill()) return false;
      in = input->Data();
      end = in + input->Available();
      return input->Available() > 0;
    };
  }
  const int bps = static_cast<int>(info.bitsPerSample);
  const int spp = static_cast<int>(info.samplesPerPixel);
  for (DWORD y = 0; y < j.rows; ++y) {
    int r = 0;
    const BYTE* out = row.data();
    switch (j.mode) {
      case kModeCcittRle:
      case kModeCcittG3:
      case kModeCcittG4:
        r = j.mode == kModeCcittG4 ? ccitt_decode_g4_row(row.data(), lines, width, bits, setup, static_cast<int>(y))
                                   : ccitt_decode_mh_row(row.data(), width, bits, setup, static_cast<int>(y));
        break;
      case kModePackBits1:
      case kModePackBits4:
      case kModePackBits8: {
        if (!input->Ensure(reserve)) return IMG_NOT_TIFF;
        int made = 0;
        const int used = packbits_decode_row(row.data(), input->Data(), input->Available(),
                                             static_cast<int>(src), &made);
        if (made < static_cast<int>(src)) return IMG_NOT_TIFF;
        input->Consume(static_cast<std::size_t>(used));
        break;
      }
      default:
        if (!input->Ensure(src) || input->Available() < src) return IMG_NOT_TIFF;
        std::memcpy(row.data(), input->Data(), src);
        input->Consume(src);
    }
    if (r) return r;
    switch (j.mode) {
      case kModeNone4:
      case kModePackBits4:
        if (WhiteIsZero(info)) Invert(row.data(), src);
        UnpackSamples(unpacked.data(), row.data(), src * 8 / static_cast<std::size_t>(bps), bps,
                      j.dir->colorMapCount ? 0 : 8 - bps);
        out = unpacked.data();
        break;
      case kModeNone16:
        if (j.dir->info.byteOrder == 0x4D4D)
          for (DWORD x = 0; x < j.columns; ++x) std::swap(row[2 * x], row[2 * x + 1]);
        break;
      case kModeNone24:
        // Red, green, blue (and a fourth sample, dropped) become blue, green, red.
        for (DWORD x = 0; x < j.columns; ++x) {
          const BYTE* px = row.data() + static_cast<std::size_t>(x) * spp;
          const BYTE rr = px[0], gg = px[1], bb = px[2];
          row[3 * x] = bb;
          row[3 * x + 1] = gg;
          row[3 * x + 2] = rr;
        }
        break;
      case kModeNone1:
      case kModePackBits1:
      case kModeNone8:
      case kModePackBits8:
        if (WhiteIsZero(info)) Invert(row.data(), src);
        break;
      case kModeCcittRle:
      case kModeCcittG3:
      case kModeCcittG4:
        if (info.photometric != 0) Invert(row.data(), src);
        break;
      default:
        break;
    }
    PutRow(j, y, out);
  }
  return 0;
}

int LoadLocked(const char* path, const void* data, std::size_t size, int page, bool byIndex,
               ImageDescriptor* d) {
  StreamBinding b;
  if (stream_open_read(&b, path, data, size) != 0) return IMG_OPEN_FAILED;
  TiffReader reader(&b);
  TiffDirectory dir;
  int result = reader.tiff_find_page(page, byIndex, &dir);
  std::vector<std::uint32_t> offsets, counts;
  LoadJob j{};
  if (result == 0 && !dir.haveStrips) result = IMG_NOT_TIFF;
  if (result == 0) {
    const TiffInfo& info = dir.info;
    j.b = &b;
    j.dir = &dir;
    j.d = d;
    j.rows = std::min<DWORD>(img_rect_height(d), info.length);
    j.columns = std::min<DWORD>(img_rect_width(d), info.width);
    j.mode = tiff_select_mode(dir.depth, static_cast<int>(info.compression), dir.t4Options, true);
    const bool lzw = j.mode == kModeLzw1 || j.mode == kModeLzw8 || j.mode == kModeLzw24;
    if (j.mode == kModeNotHandled) result = IMG_UNSUPPORTED;
    else if (lzw && dir.predictor != 1 && dir.predictor != 2) result = IMG_UNSUPPORTED;
    else if ((j.mode == kModeNone24 || j.mode == kModeLzw24) &&
             ((info.samplesPerPixel != 3 && info.samplesPerPixel != 4) || info.bitsPerSample != 8 ||
              info.photometric != 2 || info.planarConfig != 1))
      result = IMG_UNSUPPORTED;
    else if (j.mode == kModeNone16 && (info.samplesPerPixel != 1 || info.photometric != 1))
      result = IMG_UNSUPPORTED;
    // Rows are only ever placed into an image of the depth they fill.
    else if (ImageDepthOf(j.mode) != img_bits(d))
      result = IMG_BAD_DEPTH;
    if (result == 0) result = reader.tiff_read_strip_tables(dir, &offsets, &counts);
    if (result == 0) {
      j.offsets = &offsets;
      j.counts = &counts;
      j.srcRow = (static_cast<std::size_t>(info.width) * info.samplesPerPixel * info.bitsPerSample + 7) / 8;
      if (j.srcRow == 0 || info.samplesPerPixel == 0 || info.samplesPerPixel > 16 || info.bitsPerSample > 32)
        result = IMG_UNSUPPORTED;
      else if (j.rows > 0 && j.columns > 0)
        result = lzw ? tiff_lzw_decode(j) : tiff_read_strips(j);
    }
  }
  stream_close(&b);
  return result;
}

int ReadColorMap(const char* path, const void* data, std::size_t size, int page, bool byIndex,
                 RGBQUAD* palette) {
  StreamBinding b;
  if (stream_open_read(&b, path, data, size) != 0) return IMG_OPEN_FAILED;
  TiffReader reader(&b);
  TiffDirectory dir;
  int result = reader.tiff_find_page(page, byIndex, &dir);
  if (result == 0) {
    const TiffInfo& info = dir.info;
    // A map has exactly one entry per possible sample value.
    const std::uint32_t bps = info.bitsPerSample;
    std::vector<std::uint32_t> map;
    if (info.photometric == 3 && info.samplesPerPixel == 1 && bps >= 1 && bps <= 8 &&
        dir.colorMapCount == 3u << bps && reader.ReadValues(kTiffShort, dir.colorMapCount, dir.colorMapValues, &map)) {
      const std::uint32_t n = dir.colorMapCount / 3;
      for (std::uint32_t i = 0; i < n; ++i)
        palette[i] = RGBQUAD{static_cast<BYTE>(map[2 * n + i] >> 8), static_cast<BYTE>(map[n + i] >> 8),
                             static_cast<BYTE>(map[i] >> 8), 0};
      result = static_cast<int>(n);
    }
  }
  stream_close(&b);
  return result;
}

}  // namespace

int tiff_info(const char* path, TiffInfo* info) {
  plat::CriticalSectionLock lock(TiffLock());
  StreamBinding b;
  if (stream_open_read(&b, path, nullptr, 0) != 0) return IMG_OPEN_FAILED;
  TiffReader reader(&b);
  TiffDirectory dir;
  const int r = reader.tiff_find_page(-1, false, &dir);
  if (r == 0) *info = dir.info;
  stream_close(&b);
  return r;
}

int tiff_page_info(const char* path, int* pageCount, int* pageList, int maxPages) {
  plat::CriticalSectionLock lock(TiffLock());
  StreamBinding b;
  if (stream_open_read(&b, path, nullptr, 0) != 0) return IMG_OPEN_FAILED;
  TiffReader reader(&b);
  std::vector<TiffDirectory> dirs;
  const int r = reader.tiff_walk_pages(&dirs);
  stream_close(&b);
  if (r) return r;
  *pageCount = static_cast<int>(dirs.size());
  if (pageList)
    for (int i = 0; i < maxPages && i < static_cast<int>(dirs.size()); ++i)
      pageList[i] = static_cast<int>(dirs[static_cast<std::size_t>(i)].pageNumber);
  return 0;
}

int tiff_read_colormap(const char* path, const void* data, std::size_t size, int page, int byIndex,
                       RGBQUAD* palette) {
  plat::CriticalSectionLock lock(TiffLock());
  return ReadColorMap(path, data, size, page, byIndex != 0, palette);
}

int tiff_load_page(const char* path, const void* data, std::size_t size, int page, int byIndex,
                   ImageDescriptor* d) {
  if (int r = img_check_1_8_16_24(d)) return r;
  int result;
  {
    plat::CriticalSectionLock lock(TiffLock());
    result = LoadLocked(path, data, size, page, byIndex != 0, d);
  }
  if ((result == 0 || result == IMG_CORRUPT_DATA) && img_bits(d) <= 8) {
    const int n = tiff_read_colormap(path, data, size, page, byIndex, d->palette);
    d->flags &= ~IMG_GREY;
    if (n > 0) {
      d->colorCount = n;
      if (img_is_grey(d)) d->flags |= IMG_GREY;
    } else {
      img_set_grey_palette(d);
    }
  }
  return result;
}

int tiff_load(const char* path, ImageDescriptor* d) { return tiff_load_page(path, nullptr, 0, -1, 0, d); }
