#include "platform/AviWriter.h"

#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"

namespace plat {
namespace {

// Layout of the header part, all sizes fixed: RIFF(12) LIST hdrl(12) avih(8+56)
// LIST strl(12) strh(8+56) strf(8+40) strn(8+10) LIST movi(12).
constexpr long kRiffSize = 4;
constexpr long kAvihTotalFrames = 12 + 12 + 8 + 16;
constexpr long kAvihBuffer = 12 + 12 + 8 + 28;
constexpr long kStrhLength = 12 + 12 + 64 + 12 + 8 + 32;
constexpr long kStrhBuffer = kStrhLength + 4;
constexpr long kHeaderBytes = 12 + 12 + 64 + 12 + 64 + 48 + 18 + 12;
constexpr std::uint32_t kKeyFrame = 0x10;
constexpr std::uint32_t kHasIndex = 0x10;

void Fourcc(std::vector<BYTE>& b, const char* f) { b.insert(b.end(), f, f + 4); }
void U32(std::vector<BYTE>& b, std::uint32_t v) {
  BYTE q[4];
  le::PutU32(q, v);
  b.insert(b.end(), q, q + 4);
}
void U16(std::vector<BYTE>& b, std::uint16_t v) {
  BYTE q[2];
  le::PutU16(q, v);
  b.insert(b.end(), q, q + 2);
}

}  // namespace

AviWriter::~AviWriter() { Close(); }

bool AviWriter::Put(const void* p, std::size_t n) {
  if (!f_ || failed_) return false;
  if (std::fwrite(p, 1, n, f_) != n) failed_ = true;
  return !failed_;
}

bool AviWriter::PutU32(std::uint32_t v) {
  BYTE q[4];
  le::PutU32(q, v);
  return Put(q, 4);
}

bool AviWriter::Open(const std::string& path, int width, int height, int rate, int expectedFrames,
                     const AviCompressor* compressor) {
  Close();
  if (width <= 0 || height <= 0 || rate <= 0) return false;
  compressed_ = compressor && compressor->encode;
  compressor_ = compressed_ ? *compressor : AviCompressor{};
  f_ = std::fopen(ResolvePath(path).c_str(), "wb");
  if (!f_) return false;
  width_ = width;
  height_ = height;
  rate_ = rate;
  frameBytes_ = ((static_cast<std::size_t>(width) * 24 + 31) / 32) * 4 * height;
  failed_ = false;
  index_.clear();
  largest_ = compressed_ ? 0 : static_cast<std::uint32_t>(frameBytes_);

  std::vector<BYTE> h;
  Fourcc(h, "RIFF");
  U32(h, 0);  // completed at close
  Fourcc(h, "AVI ");
  Fourcc(h, "LIST");
  U32(h, 4 + 64 + 12 + 64 + 48 + 18);
  Fourcc(h, "hdrl");
  Fourcc(h, "avih");
  U32(h, 56);
  U32(h, static_cast<std::uint32_t>(1000000 / rate));  // microseconds per frame
  U32(h, static_cast<std::uint32_t>(frameBytes_ * rate));
  U32(h, 0);          // padding granularity
  U32(h, kHasIndex);  // flags
  U32(h, 0);          // total frames, completed at close
  U32(h, 0);          // initial frames
  U32(h, 1);          // streams
  U32(h, static_cast<std::uint32_t>(frameBytes_));
  U32(h, static_cast<std::uint32_t>(width));
  U32(h, static_cast<std::uint32_t>(height));
  for (int i = 0; i < 4; ++i) U32(h, 0);
  Fourcc(h, "LIST");
  U32(h, 4 + 64 + 48 + 18);
  Fourcc(h, "strl");
  Fourcc(h, "strh");
  U32(h, 56);
  Fourcc(h, "vids");
  h.insert(h.end(), compressor_.handler, compressor_.handler + 4);
  U32(h, 0);  // flags
  U16(h, 0);  // priority
  U16(h, 0);  // language
  U32(h, 0);  // initial frames
  U32(h, 1);  // scale
  U32(h, static_cast<std::uint32_t>(rate));
  U32(h, 0);                                                                    // start
  U32(h, static_cast<std::uint32_t>(expectedFrames > 0 ? expectedFrames : 0));  // length
  U32(h, static_cast<std::uint32_t>(frameBytes_));
  U32(h, static_cast<std::uint32_t>(compressor_.quality));  // -1: the default
  U32(h, 0);            // sample size
  U16(h, 0);
  U16(h, 0);
  U16(h, static_cast<std::uint16_t>(width));
  U16(h, static_cast<std::uint16_t>(height));
  Fourcc(h, "strf");
  U32(h, 40);
  BITMAPINFOHEADER bi;
  bi.biWidth = width;
  bi.biHeight = height;
  bi.biBitCount = 24;
  if (compressed_) {
    // The frames' compression code is the handler, and the picture they decode to has
    // rows of 3 bytes a pixel without padding.
    bi.biCompression = le::GetU32(reinterpret_cast<const BYTE*>(compressor_.handler));
    bi.biSizeImage = static_cast<DWORD>(3ull * width * height);
  } else {
    bi.biSizeImage = static_cast<DWORD>(frameBytes_);
  }
  BYTE bib[40];
  WriteInfoHeader(bi, bib);
  h.insert(h.end(), bib, bib + 40);
  Fourcc(h, "strn");
  U32(h, 9);
  const char name[10] = "Video #1";  // nine bytes and one pad byte
  h.insert(h.end(), name, name + 10);
  Fourcc(h, "LIST");
  U32(h, 4);  // completed at close
  Fourcc(h, "movi");
  static_assert(kHeaderBytes == 12 + 12 + 64 + 12 + 64 + 48 + 18 + 12);
  moviStart_ = kHeaderBytes - 8;
  size_ = h.size();
  if (!Put(h.data(), h.size())) {
    std::fclose(f_);
    f_ = nullptr;
    return false;
  }
  return true;
}

bool AviWriter::AddFrame(const BYTE* rows) {
  if (!f_ || failed_ || !rows) return false;
  const BYTE* data = rows;
  std::size_t bytes = frameBytes_;
  if (compressed_) {
    packed_.clear();
    if (!compressor_.encode(rows, &packed_) || packed_.empty()) return false;
    data = packed_.data();
    bytes = packed_.size();
  }
  const std::size_t pad = bytes & 1;
  // The frame, the index entry it adds and the index's own header must still fit.
  const std::uint64_t after = size_ + 8 + bytes + pad + 8 + 16ull * (index_.size() + 1);
  if (after > limit_) return false;
  const std::uint32_t offset = static_cast<std::uint32_t>(size_ - (moviStart_ + 4));
  const BYTE zero = 0;
  if (!Put(compressed_ ? "00dc" : "00db", 4) || !PutU32(static_cast<std::uint32_t>(bytes)) ||
      !Put(data, bytes) || (pad && !Put(&zero, 1)))
    return false;
  index_.push_back({offset, static_cast<std::uint32_t>(bytes)});
  size_ += 8 + bytes + pad;
  if (bytes > largest_) largest_ = static_cast<std::uint32_t>(bytes);
  return true;
}

bool AviWriter::Close() {
  if (!f_) return true;
  bool ok = !failed_;
  if (ok) {
    const std::uint32_t moviSize = static_cast<std::uint32_t>(size_ - (moviStart_ + 4));
    ok = Put("idx1", 4) && PutU32(static_cast<std::uint32_t>(16 * index_.size()));
    for (const Entry& e : index_) {
      if (!ok) break;
      ok = Put(compressed_ ? "00dc" : "00db", 4) && PutU32(kKeyFrame) && PutU32(e.offset) &&
           PutU32(e.size);
    }
    size_ += 8 + 16 * index_.size();
    auto patch = [&](long at, std::uint32_t v) {
      return ok && std::fseek(f_, at, SEEK_SET) == 0 && PutU32(v);
    };
    ok = patch(kRiffSize, static_cast<std::uint32_t>(size_ - 8)) &&
         patch(kAvihTotalFrames, static_cast<std::uint32_t>(index_.size())) &&
         patch(kStrhLength, static_cast<std::uint32_t>(index_.size())) &&
         patch(kAvihBuffer, largest_) && patch(kStrhBuffer, largest_) &&
         patch(moviStart_, moviSize);
  }
  ok = std::fclose(f_) == 0 && ok;
  f_ = nullptr;
  return ok;
}

}  // namespace plat
