// SEG-2 reading and writing of the waveform container, and its two text layouts.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

#include "aecore/waveform/AESeg2Keywords.h"
#include "aecore/waveform/AEWaveSeg2.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "aecore/waveform/KZ_WaveDate.h"
#include "base/util/KZ_DateTime.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

constexpr std::uint16_t kFileBlockId = 0x3A55;
constexpr std::uint16_t kTraceBlockId = 0x4422;
// The longest text a string can carry: its length word (2 + text + terminator) must stay
// below 256, where readers stop reading the list.
constexpr std::size_t kMaxStringText = 252;
// Files beyond this size are not SEG-2 event files this program handles.
constexpr long long kMaxFileBytes = 1LL << 31;

// Index of the keyword the string starts with (without regard to case), or -1. The
// keyword must end at a blank, tab or the end, so that ACQUISITION_TIME_UTC is not read
// as ACQUISITION_TIME; `value` points after the first blank.
template <std::size_t N>
int MatchKey(const char* text, const char* const (&keys)[N], const char** value) {
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t len = std::strlen(keys[i]);
    if (strnlen(text, len) == len && plat::EqualsNoCase(std::string(text, len), keys[i]) &&
        (text[len] == ' ' || text[len] == '\t' || text[len] == 0)) {
      const char* blank = std::strchr(text, ' ');
      *value = blank ? blank + 1 : text + std::strlen(text);
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::int16_t ToInt16(const char* v) {
  const long x = std::strtol(v, nullptr, 10);
  return static_cast<std::int16_t>(std::clamp<long>(x, -32768, 32767));
}

void ReadTriple(const char* v, double* p) {
  p[0] = p[1] = p[2] = 0.0;
  std::sscanf(v, "%lf %lf %lf", &p[0], &p[1], &p[2]);
}

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = plat::FormatV(fmt, args);
  va_end(args);
  return s;
}

void PutString(std::vector<std::uint8_t>& out, std::string text) {
  if (text.size() > kMaxStringText) text.resize(kMaxStringText);
  Seg2_WriteString(out, text);
}

void PutEndMark(std::vector<std::uint8_t>& out) { out.insert(out.end(), {0, 0}); }

// Strings of a list from `pos` while below `end`: stops at a length of 0 or 256 and
// above, and at one that cannot hold its own length word or runs past `end`.
std::vector<std::string> ReadStrings(const std::vector<std::uint8_t>& b, std::size_t pos,
                                     std::size_t end) {
  std::vector<std::string> out;
  end = std::min(end, b.size());
  while (pos + 2 <= end) {
    const std::uint16_t len = le::GetU16(b.data() + pos);
    if (len < 2 || len >= 256 || pos + len > end) break;
    const char* text = reinterpret_cast<const char*>(b.data() + pos + 2);
    out.emplace_back(text, strnlen(text, len - 2u));
    pos += len;
  }
  return out;
}

// The samples [first, first + count) of a trace, or all with count <= 0; false when the
// range leaves any trace.
bool SampleRange(const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first, int count,
                 int* from, int* to) {
  if (count <= 0) {
    *from = 0;
    *to = -1;
    return true;
  }
  if (first < 0) return false;
  for (const auto& t : traces)
    if (static_cast<long long>(first) + count > t->m_n) return false;
  *from = first;
  *to = first + count;
  return true;
}

int EndOf(const KZ_WaveTrace& t, int to) { return to < 0 ? t.m_n : to; }

double ShiftedDelay(const KZ_WaveTrace& t, int first, int count) {
  return count > 0 ? first * t.m_fInterval + t.m_fDelay : t.m_fDelay;
}

// Data format code 3, the 20-bit floating point of SEG-D: groups of four samples in five
// words, the first holding the four 4-bit exponents (lowest nibble for the first sample),
// then the four 16-bit mantissas in one's complement, so that a negative stored word m
// stands for m + 1 (0xFFFF is a negative zero). Sample = mantissa x 2^exponent.
void DecodeFloat20(const std::uint8_t* b, int n, float* x) {
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* group = b + i / 4 * 10;
    const int exponent = (le::GetU16(group) >> (4 * (i % 4))) & 0xF;
    int mantissa = le::GetI16(group + 2 + 2 * (i % 4));
    if (mantissa < 0) ++mantissa;
    x[i] = static_cast<float>(std::ldexp(static_cast<double>(mantissa), exponent));
  }
}

}  // namespace

// ---------------------------------------------------------------- keywords

void KZ_Seg2ParseFileString(const char* text, KZ_WaveHeader& h) {
  const char* v = nullptr;
  switch (MatchKey(text, g_seg2FileKeys, &v)) {
    case kSeg2AcquisitionDate:
      KZ_CopyText(h.szDate, v);
      break;
    case kSeg2AcquisitionTime:
      KZ_CopyText(h.szTime, v);
      break;
    case kSeg2Instrument:
      KZ_CopyText(h.szInstrument, v);
      break;
    case kSeg2TraceSort:
      KZ_CopyText(h.szTraceSort, v);
      break;
    case kSeg2Units:
      KZ_CopyText(h.szUnits, v);
      break;
    case kSeg2FileNote:
      KZ_CopyText(h.szNote, v);
      break;
    case kSeg2TimeUnits:
      KZ_CopyText(h.szTimeUnits, v);
      break;
    case kSeg2WaveUnits:
      KZ_CopyText(h.szWaveUnits, v);
      break;
    case kSeg2Comments:
      KZ_CopyText(h.szComments, v);
      break;
    case kSeg2RcvNote:
      KZ_CopyText(h.szRcvNote, v);
      break;
    case kSeg2NumberSources:
      h.nSources = ToInt16(v);
      break;
    case kSeg2NumberReceivers:
      h.nReceivers = ToInt16(v);
      break;
    case kSeg2Rotation: {
      int a = 0, b = 0;
      const int got = std::sscanf(v, "%d %d", &a, &b);
      if (got >= 1) h.nRotation[0] = static_cast<std::int16_t>(a);
      if (got >= 2) h.nRotation[1] = static_cast<std::int16_t>(b);
      break;
    }
    case kSeg2TimeSecUsec: {
      long s = 0, us = 0;
      const int got = std::sscanf(v, "%ld %ld", &s, &us);
      if (got >= 1) h.nStartSec = static_cast<std::int32_t>(s);
      if (got >= 2) h.nStartUsec = static_cast<std::int32_t>(us);
      break;
    }
    default:
      break;
  }
}

void KZ_Seg2ParseTraceString(const char* text, KZ_WaveTrace& t) {
  char buf[256];
  KZ_CopyText(buf, text);
  const char* v = nullptr;
  switch (MatchKey(buf, g_seg2TraceKeys, &v)) {
    case kSeg2ChannelNumber:
      t.m_nChannel = ToInt16(v);
      break;
    case kSeg2Delay:
      t.m_fDelay = std::strtod(v, nullptr);
      break;
    case kSeg2DescalingFactor:
      t.m_fDescale = std::strtod(v, nullptr);
      break;
    case kSeg2SampleInterval:
      t.m_fInterval = std::strtod(v, nullptr);
      break;
    case kSeg2Skew:
      t.m_fSkew = std::strtod(v, nullptr);
      break;
    case kSeg2NsRatio:
      t.m_fSNR = std::strtod(v, nullptr);
      break;
    case kSeg2DrawSizeFactor:
      t.m_fDrawSize = std::strtod(v, nullptr);
      break;
    case kSeg2AmpPickup:
      t.m_fPickAmp = std::strtod(v, nullptr);
      if (t.m_fPickAmp > 1e-10) t.m_nPolarity = 1;
      if (t.m_fPickAmp < -1e-10) t.m_nPolarity = -1;
      break;
    case kSeg2LineId:
      KZ_CopyText(t.m_szLineId, v);
      break;
    case kSeg2TraceNote:
      KZ_CopyText(t.m_szNote, v);
      break;
    case kSeg2Unit:
      KZ_CopyText(t.m_szUnit, v);
      break;
    case kSeg2ReceiverLocation:
      ReadTriple(v, t.m_fReceiver);
      break;
    case kSeg2SourceLocation:
      ReadTriple(v, t.m_fSource);
      break;
    case kSeg2Stack:
      t.m_nStack = ToInt16(v);
      break;
    case kSeg2Pickup: {
      int a = 0, b = 0;
      std::sscanf(v, "%d %d", &a, &b);
      t.m_nPick = a;
      t.m_nPick2 = b;
      break;
    }
    case kSeg2TimeBegin:
      std::sscanf(v, "%lf", &t.m_fTimeBegin);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- samples

std::size_t KZ_Seg2DataBytes(int code, std::size_t n) {
  switch (code) {
    case 1:
      return 2 * n;
    case 2:
    case 4:
      return 4 * n;
    case 5:
      return 8 * n;
    case 3: {
      // Four samples in five words; a last group of fewer samples may stop after them.
      const std::size_t rest = n % 4;
      return n / 4 * 10 + (rest ? 2 + 2 * rest : 0);
    }
    default:
      return 0;
  }
}

int KZ_Seg2ReadTraceData(const std::uint8_t* b, int code, int n, KZ_WaveTrace& t) {
  float* x = t.m_pData.data();
  n = std::min(n, t.m_n);
  // One loop per code, so that each converts without a test per sample.
  switch (code) {
    case 1:
      for (int i = 0; i < n; ++i) x[i] = le::GetI16(b + 2 * i);
      break;
    case 2:
      for (int i = 0; i < n; ++i) x[i] = static_cast<float>(le::GetI32(b + 4 * i));
      break;
    case 4:
      for (int i = 0; i < n; ++i) x[i] = le::GetF32(b + 4 * i);
      break;
    case 5:
      for (int i = 0; i < n; ++i) x[i] = static_cast<float>(le::GetF64(b + 8 * i));
      break;
    case 3:
      DecodeFloat20(b, n, x);
      break;
    default:
      break;
  }
  t.ComputeStats(false);
  return 1;
}

namespace {

// The samples of a fixed-size format read one by one from the file's bytes, as an
// iterator, so that a trace's array is built from the converted values in one pass
// instead of being zero-filled and then overwritten.
template <int Size, float (*Convert)(const std::uint8_t*)>
class SampleReader {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = float;
  using difference_type = std::ptrdiff_t;
  using pointer = const float*;
  using reference = float;
  static constexpr int kSize = Size;

  explicit SampleReader(const std::uint8_t* p) : p_(p) {}
  float operator*() const { return Convert(p_); }
  SampleReader& operator++() {
    p_ += Size;
    return *this;
  }
  SampleReader operator++(int) {
    SampleReader old = *this;
    p_ += Size;
    return old;
  }
  SampleReader& operator--() {
    p_ -= Size;
    return *this;
  }
  SampleReader& operator+=(difference_type k) {
    p_ += k * Size;
    return *this;
  }
  SampleReader operator+(difference_type k) const { return SampleReader(p_ + k * Size); }
  difference_type operator-(const SampleReader& o) const { return (p_ - o.p_) / Size; }
  bool operator==(const SampleReader& o) const { return p_ == o.p_; }
  bool operator!=(const SampleReader& o) const { return p_ != o.p_; }

 private:
  const std::uint8_t* p_;
};

float FromI16(const std::uint8_t* p) { return le::GetI16(p); }
float FromI32(const std::uint8_t* p) { return static_cast<float>(le::GetI32(p)); }
float FromF32(const std::uint8_t* p) { return le::GetF32(p); }
float FromF64(const std::uint8_t* p) { return static_cast<float>(le::GetF64(p)); }

// Bytes of the file read at a time into the one reused buffer from which samples are
// converted: small enough to stay in the processor's cache, a whole number of samples of
// every fixed-size code.
constexpr std::size_t kChunkBytes = 64 * 1024;

// The codes whose samples are converted straight from the file into a new trace array.
bool ConvertsDirectly(int code) { return code == 1 || code == 2 || code == 4 || code == 5; }

enum class Built { kOk, kNoMemory, kShortRead };

// Gives the trace n samples of a fixed-size code read from the file's current position,
// chunk by chunk through `chunk`, with the capacity a trace of n samples has (the padding
// after the samples zero). The array is only reserved, never zero-filled, before the
// converted samples are appended, so each of its pages is written once.
template <class Reader>
Built BuildSamples(KZ_WaveTrace& t, plat::File& f, int n, std::vector<std::uint8_t>& chunk) {
  const int capacity = n <= 256 ? 256 : (n + 255) / 256 * 256;
  std::vector<float> data;
  try {
    data.reserve(static_cast<std::size_t>(capacity));
  } catch (const std::bad_alloc&) {
    return Built::kNoMemory;
  }
  const std::size_t perChunk = kChunkBytes / Reader::kSize;
  for (std::size_t done = 0; done < static_cast<std::size_t>(n);) {
    const std::size_t k = std::min(perChunk, static_cast<std::size_t>(n) - done);
    if (f.Read(chunk.data(), k * Reader::kSize) != k * Reader::kSize) return Built::kShortRead;
    data.insert(data.end(), Reader(chunk.data()),
                Reader(chunk.data()) + static_cast<std::ptrdiff_t>(k));
    done += k;
  }
  data.resize(static_cast<std::size_t>(capacity), 0.0f);
  t.m_pData.swap(data);
  t.m_n = n;
  t.m_nCapacity = capacity;
  return Built::kOk;
}

Built ReadSamplesDirectly(KZ_WaveTrace& t, plat::File& f, int code, int n,
                          std::vector<std::uint8_t>& chunk) {
  switch (code) {
    case 1:
      return BuildSamples<SampleReader<2, FromI16>>(t, f, n, chunk);
    case 2:
      return BuildSamples<SampleReader<4, FromI32>>(t, f, n, chunk);
    case 4:
      return BuildSamples<SampleReader<4, FromF32>>(t, f, n, chunk);
    default:
      return BuildSamples<SampleReader<8, FromF64>>(t, f, n, chunk);
  }
}

// `size` bytes of the file from `pos` (fewer when it ends earlier).
std::vector<std::uint8_t> ReadAt(plat::File& f, std::size_t pos, std::size_t size) {
  std::vector<std::uint8_t> out(size);
  if (!f.Seek(static_cast<long long>(pos), SEEK_SET)) return {};
  out.resize(f.Read(out.data(), size));
  return out;
}

// The file strings from `pos` while below `end`, by the rules of ReadStrings, read string
// by string: the list usually ends long before the first trace, wherever that points.
std::vector<std::string> ReadFileStrings(plat::File& f, std::size_t pos, std::size_t end) {
  std::vector<std::string> out;
  if (!f.Seek(static_cast<long long>(pos), SEEK_SET)) return out;
  std::uint8_t buf[256];
  while (pos + 2 <= end) {
    if (f.Read(buf, 2) != 2) break;
    const std::uint16_t len = le::GetU16(buf);
    if (len < 2 || len >= 256 || pos + len > end) break;
    if (f.Read(buf, len - 2u) != len - 2u) break;
    const char* text = reinterpret_cast<const char*>(buf);
    out.emplace_back(text, strnlen(text, len - 2u));
    pos += len;
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------- reading

int KZ_Seg2Read(const std::string& path, KZ_WaveHeader& header,
                std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, std::int64_t first,
                std::int64_t last) {
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const long long length = f.GetLength();
  if (length < 32 || length > kMaxFileBytes) return 0;
  const std::size_t size = static_cast<std::size_t>(length);
  std::vector<std::uint8_t> head = ReadAt(f, 0, 32);
  if (head.size() != 32 || le::GetU16(head.data()) != kFileBlockId) return 0;
  const std::size_t m = le::GetU16(head.data() + 4);
  const std::size_t count = le::GetU16(head.data() + 6);
  if (4 * count > m || 32 + m > size) return 0;
  const std::vector<std::uint8_t> pointers = ReadAt(f, 32, 4 * count);
  if (pointers.size() != 4 * count) return 0;
  if (first == 0 && last == 0) {
    first = 1;
    last = 9999;
  }

  // Everything a trace needs is checked before anything is stored: a truncated or damaged
  // file appends no traces. A trace descriptor with a wrong identifier ends the list. Only
  // the descriptor blocks are read here; the samples go from the file into their traces.
  struct Plan {
    std::vector<std::uint8_t> block;  // descriptor and strings, up to the samples
    std::size_t dataStart;
    int samples, code;
  };
  std::vector<Plan> plan;
  for (std::size_t t = 0; t < count; ++t) {
    const std::int64_t k = static_cast<std::int64_t>(t) + 1;
    if (k < first) continue;
    if (k > last) break;
    const std::size_t p = le::GetU32(pointers.data() + 4 * t);
    if (p + 32 > size) return 0;
    std::vector<std::uint8_t> block = ReadAt(f, p, 32);
    if (block.size() != 32) return 0;
    if (le::GetU16(block.data()) != kTraceBlockId) break;
    const std::size_t x = le::GetU16(block.data() + 2);
    const std::uint32_t n = le::GetU32(block.data() + 8);
    const int code = block[12];
    if (x < 32 || n > 0x7fffffffu) return 0;
    const std::size_t bytes = KZ_Seg2DataBytes(code, n);
    if (p + x > size || bytes > size - (p + x)) return 0;
    block = ReadAt(f, p, x);
    if (block.size() != x) return 0;
    plan.push_back({std::move(block), p + x, static_cast<int>(n), code});
  }

  const bool fresh = header.nChannels == 0;
  if (fresh) {
    KZ_ResetWaveHeader(header);
    KZ_CopyText(header.szUnits, "NONE");
    KZ_CopyText(header.szWaveUnits, " ");
    const std::size_t stop = count > 0 ? le::GetU32(pointers.data()) : size;
    for (const std::string& s : ReadFileStrings(f, 32 + m, std::min(std::max(stop, 32 + m), size)))
      KZ_Seg2ParseFileString(s.c_str(), header);
  }
  std::vector<std::uint8_t> chunk;
  try {
    chunk.resize(kChunkBytes);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const std::size_t before = traces.size();
  for (const Plan& p : plan) {
    const bool direct = ConvertsDirectly(p.code) && p.samples > 0;
    auto t = std::make_unique<KZ_WaveTrace>(direct ? 0 : p.samples);
    if (p.samples > 0 && !direct && t->m_n != p.samples) break;  // no memory for the samples
    if (direct && (!f.Seek(static_cast<long long>(p.dataStart), SEEK_SET) ||
                   ReadSamplesDirectly(*t, f, p.code, p.samples, chunk) != Built::kOk))
      break;  // no memory, or the file shrank since its size was taken
    t->m_nChannel = static_cast<std::int16_t>(traces.size() - before + 1);
    for (const std::string& s : ReadStrings(p.block, 32, p.block.size()))
      KZ_Seg2ParseTraceString(s.c_str(), *t);
    if (t->m_fInterval < 1e-20) t->m_fInterval = 1.0;
    t->m_nFormat = static_cast<std::int16_t>(p.code);
    if (direct) {
      t->ComputeStats(false);
    } else {
      // Code 3 packs four samples in five words; it is decoded from its whole block.
      const std::size_t bytes = KZ_Seg2DataBytes(p.code, static_cast<std::size_t>(p.samples));
      std::vector<std::uint8_t> packed;
      if (bytes > 0) {
        packed = ReadAt(f, p.dataStart, bytes);
        if (packed.size() != bytes) break;
      }
      KZ_Seg2ReadTraceData(packed.data(), p.code, p.samples, *t);
    }
    traces.push_back(std::move(t));
    ++header.nChannels;
  }
  if (traces.size() > before) {
    // Files of other recorders carry no TIME_BEGIN: their start is the acquisition date
    // and time. A start that cannot be known leaves the file's own note.
    double start = traces[before]->m_fTimeBegin;
    if (!(start > 0.0)) start = KZ_WaveHeaderJulianDay(header, true);
    if (start > 0.0) {
      std::string when;
      KZ_JulianDayString(when, start, 0.0f);
      KZ_CopyText(header.szNote, ("Start: " + when).c_str());
    }
  }
  return 1;
}

int KZ_WaveDataSeg2::Load(const std::string& path, int clear, std::int64_t first,
                          std::int64_t last) {
  if (clear > 0) Clear(false);
  if (!KZ_Seg2Read(path, m_header, m_traces, first, last)) return 0;
  m_strPath = path;
  return 1;
}

int KZ_WaveDataSeg2::SaveSeg2(const std::string& path, int first, int count, int code) {
  return Seg2_Write(path, m_header, m_traces, first, count, code);
}

// ---------------------------------------------------------------- writing

int Seg2_Write(const std::string& path, const KZ_WaveHeader& h,
               const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first, int count,
               int code) {
  if (code != 1 && code != 2 && code != 4) return 0;
  if (traces.size() > 16383) return 0;  // the pointer block's size is a 16-bit value
  int from = 0, to = -1;
  if (!SampleRange(traces, first, count, &from, &to)) return 0;
  const bool own = path.size() >= 3 && plat::EqualsNoCase(path.substr(path.size() - 3), "SG2");
  const std::size_t n = traces.size();
  for (const auto& t : traces) {
    t->ComputeStats(false);
    t->m_nFormat = static_cast<std::int16_t>(code);
  }

  std::vector<std::uint8_t> out(32 + 4 * n, 0);
  le::PutU16(out.data(), kFileBlockId);
  le::PutU16(out.data() + 2, 1);
  le::PutU16(out.data() + 4, static_cast<std::uint16_t>(4 * n));
  le::PutU16(out.data() + 6, static_cast<std::uint16_t>(n));
  out[8] = 1;
  out[11] = 1;
  out[12] = 0x0A;
  std::memcpy(out.data() + 14, h.reserved, 8);
  le::PutU16(out.data() + 22, static_cast<std::uint16_t>(h.nStartSec & 0xFFFF));
  le::PutU32(out.data() + 24, static_cast<std::uint32_t>(h.nStartUsec));

  auto key = [](int k) { return std::string(g_seg2FileKeys[k]) + " "; };
  PutString(out, key(kSeg2AcquisitionDate) + h.szDate);
  PutString(out, key(kSeg2AcquisitionTime) + h.szTime);
  PutString(out, key(kSeg2TraceSort) + h.szTraceSort);
  PutString(out, key(kSeg2Units) + h.szUnits);
  PutString(out, key(kSeg2FileNote) + h.szNote);
  if (own) {
    PutString(out, key(kSeg2TimeUnits) + h.szTimeUnits);
    PutString(out, key(kSeg2WaveUnits) + h.szWaveUnits);
    PutString(out, key(kSeg2Comments) + h.szComments);
    PutString(out, key(kSeg2RcvNote) + h.szRcvNote);
    PutString(out, key(kSeg2NumberSources) + Fmt("%d", h.nSources));
    PutString(out, key(kSeg2NumberReceivers) + Fmt("%d", h.nReceivers));
    PutString(out, key(kSeg2Rotation) + Fmt("%d %d", h.nRotation[0], h.nRotation[1]));
    PutString(out, key(kSeg2TimeSecUsec) + Fmt("%ld %ld", static_cast<long>(h.nStartSec),
                                               static_cast<long>(h.nStartUsec)));
  }
  PutEndMark(out);

  int clamped = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const KZ_WaveTrace& t = *traces[i];
    const std::size_t pointer = out.size();
    le::PutU32(out.data() + 32 + 4 * i, static_cast<std::uint32_t>(pointer));
    out.resize(pointer + 32, 0);
    auto tk = [](int k) { return std::string(g_seg2TraceKeys[k]) + " "; };
    PutString(out, tk(kSeg2ChannelNumber) + Fmt("%u", static_cast<unsigned>(i)));
    PutString(out, tk(kSeg2Delay) + Fmt("%lf", ShiftedDelay(t, first, count)));
    PutString(out, tk(kSeg2DescalingFactor) + Fmt("%e", t.m_fDescale));
    PutString(out, tk(kSeg2LineId) + t.m_szLineId);
    PutString(out, tk(kSeg2ReceiverLocation) +
                       Fmt("%lf %lf %lf", t.m_fReceiver[0], t.m_fReceiver[1], t.m_fReceiver[2]));
    PutString(out, tk(kSeg2SampleInterval) + Fmt("%le", t.m_fInterval));
    PutString(out, tk(kSeg2Skew) + Fmt("%lf", t.m_fSkew));
    PutString(out, tk(kSeg2SourceLocation) +
                       Fmt("%lf %lf %lf", t.m_fSource[0], t.m_fSource[1], t.m_fSource[2]));
    PutString(out, tk(kSeg2Stack) + Fmt("%u", static_cast<unsigned>(std::max<int>(t.m_nStack, 0))));
    if (own) {
      const int shift = count > 0 ? first : 0;
      PutString(
          out, tk(kSeg2Pickup) + Fmt("%u %u", static_cast<unsigned>(std::max(t.m_nPick - shift, 0)),
                                     static_cast<unsigned>(std::max(t.m_nPick2 - shift, 0))));
      PutString(out, tk(kSeg2AmpPickup) + Fmt("%lf", t.m_fPickAmp));
      PutString(out, tk(kSeg2NsRatio) + Fmt("%lf", t.m_fSNR));
      PutString(out, tk(kSeg2TraceNote) + t.m_szNote);
      PutString(out, tk(kSeg2DrawSizeFactor) + Fmt("%lf", t.m_fDrawSize));
      PutString(out, tk(kSeg2Unit) + t.m_szUnit);
      PutString(out, tk(kSeg2TimeBegin) + Fmt("%lf", t.m_fTimeBegin));
    }
    PutEndMark(out);
    const std::size_t block = out.size() - pointer;
    const int a = count > 0 ? from : 0, e = EndOf(t, to);
    const std::size_t samples = static_cast<std::size_t>(e - a);
    const std::size_t width = code == 1 ? 2 : 4;
    std::uint8_t* d = out.data() + pointer;
    le::PutU16(d, kTraceBlockId);
    le::PutU16(d + 2, static_cast<std::uint16_t>(block));
    le::PutU32(d + 4, static_cast<std::uint32_t>(width * samples));
    le::PutU32(d + 8, static_cast<std::uint32_t>(samples));
    d[12] = static_cast<std::uint8_t>(code);
    const std::size_t at = out.size();
    out.resize(at + width * samples, 0);
    std::uint8_t* s = out.data() + at;
    for (int j = a; j < e; ++j, s += width) {
      const double v = t.m_pData[j];
      if (code == 4) {
        le::PutF32(s, static_cast<float>(v));
        continue;
      }
      // Integers are truncated toward zero; values out of range are clamped (and counted)
      // rather than wrapped into unrelated numbers.
      const double lo = code == 1 ? -32768.0 : -2147483648.0;
      const double hi = code == 1 ? 32767.0 : 2147483647.0;
      double x = std::isfinite(v) ? std::trunc(v) : 0.0;
      if (!std::isfinite(v) || x < lo || x > hi) {
        ++clamped;
        x = std::clamp(x, lo, hi);
      }
      if (code == 1)
        le::PutU16(s, static_cast<std::uint16_t>(static_cast<std::int16_t>(x)));
      else
        le::PutU32(s, static_cast<std::uint32_t>(static_cast<std::int32_t>(x)));
    }
  }
  if (clamped > 0)
    plat::AfxMessageBox(
        plat::Format("%s: %d samples outside the range of SEG-2 data format code %d were clamped.",
                     path.c_str(), clamped, code),
        MB_ICONEXCLAMATION);
  // Written beside the old file and renamed into place: a failed write keeps the old one.
  return AEW_ReplaceFileQuiet(path, out) ? 1 : 0;
}

// ---------------------------------------------------------------- text files

int KZ_WriteChannelsText(const std::string& path, const KZ_WaveHeader& h,
                         const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first,
                         int count) {
  int from = 0, to = -1;
  if (!SampleRange(traces, first, count, &from, &to)) return 0;
  plat::File f;
  if (!f.Open(path, "wt")) return 0;
  bool ok = true;
  auto line = [&](const char* k, const char* v) { ok &= f.Printf("%s %s\n", k, v) >= 0; };
  line(g_seg2FileKeys[kSeg2AcquisitionDate], h.szDate);
  line(g_seg2FileKeys[kSeg2AcquisitionTime], h.szTime);
  line(g_seg2FileKeys[kSeg2TraceSort], h.szTraceSort);
  line(g_seg2FileKeys[kSeg2TimeUnits], h.szTimeUnits);
  line(g_seg2FileKeys[kSeg2WaveUnits], h.szWaveUnits);
  line(g_seg2FileKeys[kSeg2FileNote], h.szNote);
  line(g_seg2FileKeys[kSeg2Comments], h.szComments);
  line(g_seg2FileKeys[kSeg2RcvNote], h.szRcvNote);
  ok &= f.Printf("CHANNELS %d\n", h.nChannels) >= 0;
  const char* const* K = g_seg2TraceKeys;
  for (std::size_t i = 0; i < traces.size() && ok; ++i) {
    const KZ_WaveTrace& t = *traces[i];
    ok &= f.Printf("%s %u\n", K[kSeg2ChannelNumber], static_cast<unsigned>(i)) >= 0;
    ok &= f.Printf("%s %lf\n", K[kSeg2Delay], ShiftedDelay(t, first, count)) >= 0;
    ok &= f.Printf("%s %lf\n", K[kSeg2DescalingFactor], t.m_fDescale) >= 0;
    ok &= f.Printf("%s %s\n", K[kSeg2LineId], t.m_szLineId) >= 0;
    ok &= f.Printf("%s %lf %lf %lf\n", K[kSeg2ReceiverLocation], t.m_fReceiver[0], t.m_fReceiver[1],
                   t.m_fReceiver[2]) >= 0;
    ok &= f.Printf("%s %le\n", K[kSeg2SampleInterval], t.m_fInterval) >= 0;
    ok &= f.Printf("%s %lf\n", K[kSeg2Skew], t.m_fSkew) >= 0;
    ok &= f.Printf("%s %lf %lf %lf\n", K[kSeg2SourceLocation], t.m_fSource[0], t.m_fSource[1],
                   t.m_fSource[2]) >= 0;
    ok &= f.Printf("%s %u\n", K[kSeg2Stack], static_cast<unsigned>(std::max<int>(t.m_nStack, 0))) >=
          0;
    ok &= f.Printf("%s %u\n", K[kSeg2Pickup], static_cast<unsigned>(std::max(t.m_nPick, 0))) >= 0;
    ok &= f.Printf("%s %lf\n", K[kSeg2AmpPickup], t.m_fPickAmp) >= 0;
    ok &= f.Printf("%s %lf\n", K[kSeg2NsRatio], t.m_fSNR) >= 0;
    ok &= f.Printf("%s %s\n", K[kSeg2TraceNote], t.m_szNote) >= 0;
    ok &= f.Printf("%s %lf\n", K[kSeg2DrawSizeFactor], t.m_fDrawSize) >= 0;
    ok &= f.Printf("%s %s\n", K[kSeg2Unit], t.m_szUnit) >= 0;
    ok &= f.Printf("%s %lf\n", K[kSeg2TimeBegin], t.m_fTimeBegin) >= 0;
    const int a = count > 0 ? from : 0, e = EndOf(t, to);
    ok &= f.Printf("SAMPLES %d\n", e - a) >= 0;
    for (int j = a; j < e && ok; ++j) {
      ok &= f.Printf("%f ", t.m_pData[j]) >= 0;
      if ((j - a) % 9 == 8) ok &= f.Printf("\n") >= 0;
    }
    if ((e - a) % 9 != 0) ok &= f.Printf("\n") >= 0;
  }
  ok &= f.Flush();
  f.Close();
  return ok ? 1 : 0;
}

int KZ_WriteTxtTab(const std::string& path, const KZ_WaveHeader& h,
                   const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first, int count) {
  int from = 0, to = -1;
  if (!SampleRange(traces, first, count, &from, &to)) return 0;
  plat::File f;
  if (!f.Open(path, "wt")) return 0;
  int rows = count > 0 ? count : 999999;
  const int start = count > 0 ? from : 0;
  for (const auto& t : traces) rows = std::min(rows, t->m_n - start);
  rows = std::max(rows, 0);
  const std::size_t nc = std::min<std::size_t>(traces.size(), 256);
  bool ok = f.Printf("TXT-TAB\t%d\t%d\n", h.nChannels, rows) >= 0;
  const char* labels[] = {"DATE", "TIME", "UNIT", "PUNIT", "NOTES", "COMMENTS", "RCV_NOTE"};
  const char* values[] = {h.szDate, h.szTime,     h.szUnits,  h.szWaveUnits,
                          h.szNote, h.szComments, h.szRcvNote};
  for (int i = 0; i < 7; ++i) ok &= f.Printf("%s\t%s\n", labels[i], values[i]) >= 0;
  ok &= f.Printf("LAPSE\t%d.%06d\n", h.nStartSec, h.nStartUsec) >= 0;
  auto row = [&](const char* label, auto field) {
    ok &= f.Printf("%s", label) >= 0;
    for (std::size_t c = 0; c < nc; ++c) field(*traces[c]);
    ok &= f.Printf("\n") >= 0;
  };
  row("LINE-ID", [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%s", t.m_szLineId) >= 0; });
  for (int a = 0; a < 3; ++a)
    row(a == 0   ? "RCV-X"
        : a == 1 ? "RCV-Y"
                 : "RCV-Z",
        [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%lf", t.m_fReceiver[a]) >= 0; });
  row("DESCALE", [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%le", t.m_fDescale) >= 0; });
  row("MAX", [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%lf", t.m_fMax) >= 0; });
  row("MIN", [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%lf", t.m_fMin) >= 0; });
  row("AVG", [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%lf", t.m_fMean) >= 0; });
  row("S.INTERVAL", [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%le", t.m_fInterval) >= 0; });
  row("DELAY",
      [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%lf", ShiftedDelay(t, first, count)) >= 0; });
  row("STACK", [&](const KZ_WaveTrace& t) { ok &= f.Printf("\t%d", t.m_nStack) >= 0; });
  row("SAMPLES", [&](const KZ_WaveTrace&) { ok &= f.Printf("\t%d", rows) >= 0; });
  for (int r = 0; r < rows && ok; ++r) {
    ok &= f.Printf("%5d", r) >= 0;
    for (std::size_t c = 0; c < nc; ++c) ok &= f.Printf("\t%f", traces[c]->m_pData[start + r]) >= 0;
    ok &= f.Printf("\n") >= 0;
  }
  ok &= f.Flush();
  f.Close();
  return ok ? 1 : 0;
}
