#include "imagefiles/lzw_packbits.h"

#include <algorithm>
#include <cstring>

#include "imagefiles/dib_convert.h"

namespace {

constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kFirstFree = 258;
constexpr int kMaxEntries = 4096;

}  // namespace

int packbits_decode_row(BYTE* out, const BYTE* in, std::size_t inLen, int count, int* produced) {
  std::size_t pos = 0;
  int made = 0;
  while (made < count && pos < inLen) {
    int n = in[pos++];
    if (n < 128) {
      // Literal of n + 1 bytes: only the bytes still needed are copied and consumed.
      int len = std::min(n + 1, count - made);
      len = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(len), inLen - pos));
      std::memcpy(out + made, in + pos, static_cast<std::size_t>(len));
      made += len;
      pos += static_cast<std::size_t>(len);
      if (len == 0) break;
    } else if (n > 128) {
      if (pos >= inLen) break;
      BYTE value = in[pos++];
      int len = std::min(257 - n, count - made);
      std::memset(out + made, value, static_cast<std::size_t>(len));
      made += len;
    }
    // 128 is a no-operation header.
  }
  if (produced) *produced = made;
  return static_cast<int>(pos);
}

int packbits_encode_row(BYTE* out, const BYTE* in, int count) {
  BYTE* o = out;
  BYTE runs[127 + 4];
  for (int start = 0; start < count; start += 127) {
    const int n = std::min(127, count - start);
    const BYTE* piece = in + start;
    const int nr = byte_runs(runs, piece, n);
    int litStart = -1;  // first byte of the pending literal
    int litLen = 0;
    auto flush = [&]() {
      if (litLen > 0) {
        *o++ = static_cast<BYTE>(litLen - 1);
        std::memcpy(o, piece + litStart, static_cast<std::size_t>(litLen));
        o += litLen;
        litLen = 0;
        litStart = -1;
      }
    };
    int pos = 0;
    for (int r = 0; r < nr; ++r) {
      const int len = runs[r];
      // A pair of equal bytes between two single bytes is cheaper inside the literal.
      const bool joins = len == 1 ||
                         (len == 2 && r > 0 && runs[r - 1] == 1 && r + 1 < nr && runs[r + 1] == 1);
      if (joins) {
        if (litLen == 0) litStart = pos;
        litLen += len;
      } else {
        flush();
        *o++ = static_cast<BYTE>(1 - len);
        *o++ = piece[pos];
      }
      pos += len;
    }
    flush();
  }
  return static_cast<int>(o - out);
}

int tiff_lzw_decode_strip(const BYTE* in, std::size_t inLen, BYTE* out, std::size_t outCap,
                          std::size_t* produced, bool* endSeen) {
  // Each entry knows its string's length and first byte, so strings are written straight
  // into the output from their last byte backwards: no stack that could overflow.
  std::uint16_t prefix[kMaxEntries];
  BYTE suffix[kMaxEntries];
  BYTE first[kMaxEntries];
  std::uint16_t length[kMaxEntries];
  for (int i = 0; i < 256; ++i) {
    prefix[i] = 0;
    suffix[i] = static_cast<BYTE>(i);
    first[i] = static_cast<BYTE>(i);
    length[i] = 1;
  }
  std::size_t made = 0;
  if (endSeen) *endSeen = false;
  int width = 9;
  int counter = kFirstFree;
  int limit = 512;
  int next = kFirstFree;
  int prev = -1;
  std::uint64_t acc = 0;
  int bits = 0;
  std::size_t pos = 0;
  int result = 0;
  while (made < outCap) {
    if (bits < width) {
      while (bits <= 56 && pos < inLen) {
        acc = (acc << 8) | in[pos++];
        bits += 8;
      }
      if (bits < width) break;  // the data ended without an end code
    }
    const int code = static_cast<int>((acc >> (bits - width)) & ((1u << width) - 1));
    bits -= width;
    if (code == kClear) {
      width = 9;
      counter = kFirstFree;
      limit = 512;
      next = kFirstFree;
      prev = -1;
      continue;
    }
    if (++counter == limit && width < 12) {
      ++width;
      limit <<= 1;
    }
    if (code == kEnd) {
      if (endSeen) *endSeen = true;
      break;
    }
    if (prev < 0) {
      if (code > 255) {
        result = -62;
        break;
      }
      out[made++] = static_cast<BYTE>(code);
      prev = code;
      continue;
    }
    if (code > next || next >= kMaxEntries) {
      result = -62;
      break;
    }
    // The new entry is the previous string plus the first byte of the current one; for
    // the code not yet in the table that is the previous string's own first byte.
    const BYTE firstByte = code == next ? first[prev] : first[code];
    prefix[next] = static_cast<std::uint16_t>(prev);
    suffix[next] = firstByte;
    first[next] = first[prev];
    length[next] = static_cast<std::uint16_t>(length[prev] + 1);
    ++next;
    const std::size_t len = length[code];
    if (len == 1) {
      out[made++] = suffix[code];
    } else {
      // Only the part that fits is written (its leading bytes).
      int c = code;
      std::size_t skip = 0;
      if (made + len > outCap) skip = made + len - outCap;
      for (std::size_t k = 0; k < skip; ++k) c = prefix[c];
      BYTE* p = out + made + (len - skip) - 1;
      for (std::size_t k = len - skip; k > 0; --k) {
        *p-- = suffix[c];
        c = prefix[c];
      }
      made += len - skip;
    }
    prev = code;
  }
  *produced = made;
  return result;
}

TiffLzwEncoder::TiffLzwEncoder() : table_(kMaxEntries) {}

void TiffLzwEncoder::Reset() {
  std::memset(table_.data(), 0xFF, table_.size() * sizeof(Node));
  next_ = kFirstFree;
  width_ = 9;
  counter_ = kFirstFree;
  limit_ = 512;
}

void TiffLzwEncoder::PutCode(int code) {
  acc_ = (acc_ << width_) | static_cast<std::uint32_t>(code);
  accBits_ += width_;
  while (accBits_ >= 8) {
    accBits_ -= 8;
    sink_->push_back(static_cast<BYTE>(acc_ >> accBits_));
  }
  acc_ &= (1u << accBits_) - 1;
  if (code != kClear && ++counter_ == limit_ && width_ < 12) {
    ++width_;
    limit_ <<= 1;
  }
}

void TiffLzwEncoder::StartStrip(std::vector<BYTE>& sink) {
  sink_ = &sink;
  acc_ = 0;
  accBits_ = 0;
  current_ = -1;
  Reset();
  PutCode(kClear);
}

void TiffLzwEncoder::Encode(const BYTE* data, std::size_t n) {
  std::size_t i = 0;
  if (current_ < 0 && n > 0) current_ = data[i++];
  for (; i < n; ++i) {
    const BYTE b = data[i];
    // Look for the extension among the children of the current string.
    int child = table_[current_].child;
    int last = -1;
    while (child >= 0 && table_[child].suffix != b) {
      last = child;
      child = table_[child].sibling;
    }
    if (child >= 0) {
      current_ = child;
      continue;
    }
    PutCode(current_);
    const int entry = next_++;
    table_[entry].child = -1;
    table_[entry].sibling = -1;
    table_[entry].suffix = b;
    if (last < 0)
      table_[current_].child = static_cast<std::int16_t>(entry);
    else
      table_[last].sibling = static_cast<std::int16_t>(entry);
    if (next_ > 4094) {
      PutCode(kClear);
      Reset();
    }
    current_ = b;
  }
}

void TiffLzwEncoder::FinishStrip() {
  if (current_ >= 0) PutCode(current_);
  PutCode(kEnd);
  if (accBits_ > 0) sink_->push_back(static_cast<BYTE>(acc_ << (8 - accBits_)));
  acc_ = 0;
  accBits_ = 0;
  current_ = -1;
}

int gif_lzw_decode(const BYTE* data, std::size_t len, int minCodeSize, int width,
                   const std::function<bool(const BYTE* row)>& row) {
  if (minCodeSize < 1 || minCodeSize > 8 || width <= 0) return -62;
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  const int firstFree = clear + 2;
  std::uint16_t prefix[kMaxEntries];
  BYTE suffix[kMaxEntries];
  BYTE first[kMaxEntries];
  std::uint16_t length[kMaxEntries];
  for (int i = 0; i < clear; ++i) {
    prefix[i] = 0;
    suffix[i] = static_cast<BYTE>(i);
    first[i] = static_cast<BYTE>(i);
    length[i] = 1;
  }
  std::vector<BYTE> line(static_cast<std::size_t>(width));
  std::size_t fill = 0;
  BYTE str[kMaxEntries];
  int codeWidth = minCodeSize + 1;
  int counter = firstFree;
  int limit = 1 << (minCodeSize + 1);
  int next = firstFree;
  int prev = -1;
  std::uint32_t acc = 0;
  int bits = 0;
  std::size_t pos = 0;
  for (;;) {
    while (bits < codeWidth && pos < len) {
      acc |= static_cast<std::uint32_t>(data[pos++]) << bits;
      bits += 8;
    }
    if (bits < codeWidth) return 0;  // data ended: what was decoded stays
    const int code = static_cast<int>(acc & ((1u << codeWidth) - 1));
    acc >>= codeWidth;
    bits -= codeWidth;
    if (code == clear) {
      codeWidth = minCodeSize + 1;
      counter = firstFree;
      limit = 1 << (minCodeSize + 1);
      next = firstFree;
      prev = -1;
      continue;
    }
    if (++counter > limit && codeWidth < 12) {
      ++codeWidth;
      limit <<= 1;
    }
    if (code == end) return 0;
    std::size_t n;
    if (prev < 0) {
      // The first code after a clear (or of the data) must be a root.
      if (code >= clear) return -62;
      str[0] = static_cast<BYTE>(code);
      n = 1;
    } else {
      if (code > next) return -62;
      if (code == next && next >= kMaxEntries) return -62;
      const BYTE firstByte = code == next ? first[prev] : first[code];
      // A full table takes no more entries until the next clear code.
      if (next < kMaxEntries) {
        prefix[next] = static_cast<std::uint16_t>(prev);
        suffix[next] = firstByte;
        first[next] = first[prev];
        length[next] = static_cast<std::uint16_t>(length[prev] + 1);
        ++next;
      }
      n = length[code];
      int c = code;
      for (std::size_t k = n; k > 0; --k) {
        str[k - 1] = suffix[c];
        c = prefix[c];
      }
    }
    prev = code;
    for (std::size_t k = 0; k < n;) {
      const std::size_t take = std::min(n - k, line.size() - fill);
      std::memcpy(line.data() + fill, str + k, take);
      fill += take;
      k += take;
      if (fill == line.size()) {
        if (row(line.data())) return 0;
        fill = 0;
      }
    }
  }
}

GifLzwEncoder::GifLzwEncoder(int minCodeSize, bool literal, std::vector<BYTE>& sink)
    : sink_(sink), minCodeSize_(minCodeSize), literal_(literal) {
  clear_ = 1 << minCodeSize;
  end_ = clear_ + 1;
  hashCode_.assign(8191, -1);
  hashKey_.assign(8191, -1);
  ResetTable();
  PutCode(clear_);
}

void GifLzwEncoder::ResetTable() {
  width_ = minCodeSize_ + 1;
  counter_ = clear_ + 2;
  limit_ = 1 << (minCodeSize_ + 1);
  next_ = clear_ + 2;
  std::fill(hashCode_.begin(), hashCode_.end(), static_cast<std::int16_t>(-1));
}

void GifLzwEncoder::PutCode(int code) {
  acc_ |= static_cast<std::uint32_t>(code) << accBits_;
  accBits_ += width_;
  while (accBits_ >= 8) {
    sink_.push_back(static_cast<BYTE>(acc_));
    acc_ >>= 8;
    accBits_ -= 8;
  }
  if (code == clear_) return;
  if (++counter_ > limit_ && width_ < 12) {
    ++width_;
    limit_ <<= 1;
  }
}

void GifLzwEncoder::Encode(const BYTE* pixels, std::size_t n) {
  if (literal_) {
    const long perClear = (1L << minCodeSize_) - 2;
    for (std::size_t i = 0; i < n; ++i) {
      if (literalCount_ > 0 && literalCount_ % perClear == 0) {
        PutCode(clear_);
        ResetTable();
      }
      PutCode(pixels[i]);
      ++literalCount_;
    }
    return;
  }
  std::size_t i = 0;
  if (current_ < 0 && n > 0) current_ = pixels[i++];
  for (; i < n; ++i) {
    const int b = pixels[i];
    const std::int32_t key = (current_ << 8) | b;
    std::size_t h = (static_cast<std::size_t>(key) * 2654435761u) % hashKey_.size();
    while (hashCode_[h] >= 0 && hashKey_[h] != key) h = (h + 1) % hashKey_.size();
    if (hashCode_[h] >= 0) {
      current_ = hashCode_[h];
      continue;
    }
    PutCode(current_);
    if (next_ < kMaxEntries) {
      hashCode_[h] = static_cast<std::int16_t>(next_++);
      hashKey_[h] = key;
    } else {
      PutCode(clear_);
      ResetTable();
    }
    current_ = b;
  }
}

void GifLzwEncoder::Finish() {
  if (current_ >= 0) PutCode(current_);
  PutCode(end_);
  if (accBits_ > 0) sink_.push_back(static_cast<BYTE>(acc_));
  acc_ = 0;
  accBits_ = 0;
}
