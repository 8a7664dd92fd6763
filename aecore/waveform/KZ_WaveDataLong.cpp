// Readers of long recordings into the waveform container: ".lng" records described by a
// SEG-2 file, raw segmented and TDMS files of the acquisition system, and the paired
// 16-channel window files. Every range is checked against the file before anything is
// appended, so a request outside the recording leaves the caller's traces as they were.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "aecore/waveform/KZ_WaveData.h"
#include "base/types/KZ_TextParse.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/Strings.h"

namespace {

// The readers' keys and markers are looked for in the file name only: a folder named
// "company" or "bitmaps" must not change how a file is read.
std::string FileNameOf(const std::string& path) {
  const std::size_t s = path.find_last_of("/\\");
  return s == std::string::npos ? path : path.substr(s + 1);
}

bool NameHas(const std::string& path, const char* key) {
  return FileNameOf(path).find(key) != std::string::npos;
}

// Reads exactly `bytes` at `offset`; false when the file does not hold them.
bool ReadAt(plat::File& f, long long offset, std::uint8_t* dst, std::size_t bytes) {
  return f.Seek(offset, SEEK_SET) && f.Read(dst, bytes) == bytes;
}

// `count` 16-bit little-endian samples at `offset` into the trace, through `scratch`
// (count values, shared by the channels of one call). The conversion is a plain loop
// over 16-bit values so that it vectorises: long ranges are read over and over.
bool ReadChannel(plat::File& f, long long offset, KZ_WaveTrace& t, std::int64_t count,
                 std::int16_t* scratch) {
  const std::size_t n = static_cast<std::size_t>(count);
  if (!f.Seek(offset, SEEK_SET) || f.Read(scratch, 2 * n) != 2 * n) return false;
  if constexpr (std::endian::native != std::endian::little)
    for (std::size_t j = 0; j < n; ++j) scratch[j] = le::GetI16(scratch + j);
  float* x = t.m_pData.data();
  std::size_t j = 0;
  for (; j + 16 <= n; j += 16)  // fixed blocks: the compiler converts each block at once
    for (std::size_t k = 0; k < 16; ++k) x[j + k] = scratch[j + k];
  for (; j < n; ++j) x[j] = scratch[j];
  return true;
}

// A zeroed buffer of `bytes`; false when there is no memory for it (the layout keys of a
// file name can ask for a great deal).
bool Allocate(std::vector<std::uint8_t>& v, std::size_t bytes) {
  try {
    v.assign(bytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void ResetForRaw(KZ_WaveHeader& h) {
  KZ_ResetWaveHeader(h);
  KZ_CopyText(h.szUnits, "NONE");
  KZ_CopyText(h.szWaveUnits, " ");
}

// Layout keys of a raw or TDMS file name.
struct RawLayout {
  int bits = 16, channels = 1, seg = 10000;
  int bytes() const { return bits > 16 ? 4 : 2; }
};

bool ParseLayout(const std::string& path, RawLayout* l) {
  const std::string name = FileNameOf(path);
  KZ_GetKeyInt(name.c_str(), "bit", &l->bits);
  KZ_GetKeyInt(name.c_str(), "chn", &l->channels);
  KZ_GetKeyInt(name.c_str(), "seg", &l->seg);
  return l->bits >= 1 && l->bits <= 32 && l->channels >= 1 && l->seg >= 1 &&
         static_cast<long long>(l->channels) * l->seg <= (1LL << 28);
}

float RawSample(const std::uint8_t* p, int bytes) {
  return bytes == 4 ? static_cast<float>(le::GetI32(p)) : static_cast<float>(le::GetI16(p));
}

std::unique_ptr<KZ_WaveTrace> RawTrace(int capacity, int channel, int bits, int count) {
  auto t = std::make_unique<KZ_WaveTrace>(capacity);
  if (t->m_n != capacity) return nullptr;
  t->m_fInterval = 1e-6;
  t->m_nChannel = static_cast<std::int16_t>(channel);
  t->m_fReceiver[2] = channel + 1;
  t->m_fDescale = 1000.0 / std::ldexp(1.0, bits);
  t->m_nStack = 1;
  t->m_nFormat = 1;
  t->m_n = count;
  return t;
}

// The range length on the low 32 bits, as the readers' callers pass it.
std::int64_t RangeLength(std::int64_t start, std::int64_t end) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(end) -
                                   static_cast<std::uint32_t>(start));
}

// Reads one window of the paired-channel file into eight new traces appended to `out`.
bool ReadAnyFile(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& out,
                 std::int64_t start, std::int64_t count) {
  constexpr int kFrames = 6000;
  plat::File f;
  if (!f.Open(path, "rb")) return false;
  const long long frames = f.GetLength() / 32;
  if (start < 0 || start + count >= frames) return false;
  // The traces hold one window of frames; what the file lacks after the range is zero.
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(kFrames) * 32, 0);
  const long long have = std::min<long long>(kFrames, frames - start);
  if (!ReadAt(f, start * 32, raw.data(), static_cast<std::size_t>(have) * 32)) return false;
  f.Close();
  if (header.nChannels == 0) ResetForRaw(header);
  const std::int64_t sec = start / 3000000;
  header.nStartSec = static_cast<std::int32_t>(sec);
  header.nStartUsec = static_cast<std::int32_t>(start / 3.0 - static_cast<double>(sec) * 1000000);
  header.nFirstSample = start;
  static constexpr int kUsed[8] = {0, 1, 4, 5, 8, 9, 12, 13};
  KZ_TraceList made;
  for (int c = 0; c < 8; ++c) {
    auto t = std::make_unique<KZ_WaveTrace>(kFrames);
    if (t->m_n != kFrames) return false;
    t->m_fInterval = 1.0 / 3.0;
    t->m_nChannel = static_cast<std::int16_t>(c);
    t->m_fReceiver[2] = c + 1;
    t->m_fDescale = 100.0 / 65536.0;
    t->m_nStack = 1;
    t->m_nFormat = 1;
    t->m_n = static_cast<std::int32_t>(count);
    for (int j = 0; j < kFrames; ++j)
      t->m_pData[j] = static_cast<float>(
          static_cast<int>(le::GetU16(raw.data() + 32 * j + 2 * kUsed[c])) - 32768);
    made.push_back(std::move(t));
  }
  for (auto& t : made) out.push_back(std::move(t));
  header.nChannels = static_cast<std::int16_t>(header.nChannels + 8);
  return true;
}

// The path with the last "_A" of its file name changed to "_B" (or back).
std::string Partner(const std::string& path, const char* from, const char* to) {
  const std::size_t nameAt = path.size() - FileNameOf(path).size();
  const std::size_t at = path.rfind(from);
  if (at == std::string::npos || at < nameAt) return std::string();
  std::string p = path;
  p.replace(at, 2, to);
  return p;
}

}  // namespace

KZ_WaveDataSeg2& KZ_LongRecordDescription() {
  static KZ_WaveDataSeg2 description;
  return description;
}

int KZ_WaveData_ReadLongRange(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                              std::int64_t start, std::int64_t end) {
  if (NameHas(path, "saq")) return KZ_ReadRawBlock(path, header, traces, start, end);
  if (NameHas(path, "any")) return KZ_ReadAnyWindow(path, header, traces, start, end);
  const std::int64_t count = RangeLength(start, end);
  if (count < 1 || start < 0 || path.size() < 3) return 0;

  // The description is loaded again whenever it belongs to another recording: its start
  // time and interval give the time of every range.
  KZ_WaveDataSeg2& d = KZ_LongRecordDescription();
  const std::string descPath = path.substr(0, path.size() - 3) + "sg2";
  if (d.Count() == 0 || d.m_strPath != descPath) {
    if (!d.Load(descPath, 1, 0, 0) || d.Count() == 0) {
      d.Clear(false);
      d.m_strPath.clear();
      return 0;
    }
  }
  const bool fresh = header.nChannels == 0;
  const std::size_t channels = fresh ? static_cast<std::size_t>(d.Count()) : traces.size();
  if (channels == 0 || channels != static_cast<std::size_t>(d.Count())) return 0;

  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const long long perChannel = f.GetLength() / static_cast<long long>(channels);
  const std::int64_t blocks = perChannel / count / 2;
  const std::int64_t block = start / count;
  // The range must also end inside its channel: past it lie the next channel's samples.
  if (block >= blocks || (start + count) * 2 > perChannel) return 0;
  const std::unique_ptr<std::int16_t[]> scratch(new (std::nothrow) std::int16_t[count]);
  if (!scratch) return 0;
  if (fresh) {
    KZ_TraceList made;
    for (const auto& src : d.m_traces) {
      auto t = std::make_unique<KZ_WaveTrace>(static_cast<int>(count));
      if (t->m_n != count) return 0;
      std::memcpy(t->m_szLineId, src->m_szLineId, sizeof t->m_szLineId);
      std::memcpy(t->m_szNote, src->m_szNote, sizeof t->m_szNote);
      t->m_nChannel = src->m_nChannel;
      std::copy_n(src->m_fReceiver, 3, t->m_fReceiver);
      std::copy_n(src->m_fSource, 3, t->m_fSource);
      t->m_fDescale = src->m_fDescale;
      t->m_fDrawSize = src->m_fDrawSize;
      t->m_fMax = src->m_fMax;
      t->m_fMin = src->m_fMin;
      t->m_fMean = src->m_fMean;
      t->m_fInterval = src->m_fInterval;
      t->m_fSkew = src->m_fSkew;
      t->m_fDelay = src->m_fDelay;
      t->m_nPick = src->m_nPick;
      t->m_nPick2 = src->m_nPick2;
      t->m_nPolarity = src->m_nPolarity;
      t->m_fPickAmp = src->m_fPickAmp;
      t->m_fSNR = src->m_fSNR;
      t->m_nStack = src->m_nStack;
      t->m_nFormat = src->m_nFormat;
      std::memcpy(t->m_szUnit, src->m_szUnit, sizeof t->m_szUnit);
      t->m_cComponent = src->m_cComponent;
      t->m_fTimeBegin = src->m_fTimeBegin;
      std::memcpy(t->m_szGseChannel, src->m_szGseChannel, sizeof t->m_szGseChannel);
      t->m_fCalib = src->m_fCalib;
      t->m_fCalPer = src->m_fCalPer;
      t->m_fHang = src->m_fHang;
      t->m_fVang = src->m_fVang;
      t->m_pStation = src->m_pStation;
      made.push_back(std::move(t));
    }
    for (std::size_t i = 0; i < channels; ++i)
      if (!ReadChannel(f, static_cast<long long>(i) * perChannel + 2 * start, *made[i], count,
                       scratch.get()))
        return 0;
    header = d.m_header;
    for (auto& t : made) traces.push_back(std::move(t));
  } else {
    // The range lies inside the record (checked above): only a failing disk leaves the
    // traces partly refilled.
    for (std::size_t i = 0; i < channels; ++i) {
      KZ_WaveTrace& t = *traces[i];
      if (t.m_n != count && !t.Resize(static_cast<int>(count))) return 0;
      if (!ReadChannel(f, static_cast<long long>(i) * perChannel + 2 * start, t, count,
                       scratch.get()))
        return 0;
    }
  }
  f.Close();

  KZ_CopyText(header.szComments, plat::Format("%lld / %lld from %s", static_cast<long long>(block),
                                              static_cast<long long>(blocks), path.c_str())
                                     .c_str());
  // The description's interval counts microseconds per sample here.
  const std::int64_t T =
      static_cast<std::int64_t>(static_cast<double>(d.m_header.nStartSec) * 1000000.0 +
                                d.m_header.nStartUsec + start * d.m_traces[0]->m_fInterval);
  header.nStartSec = static_cast<std::int32_t>(T / 1000000);
  header.nStartUsec =
      static_cast<std::int32_t>(T - static_cast<std::int64_t>(header.nStartSec) * 1000000);
  header.nFirstSample = start;
  return 1;
}

int KZ_ReadRawBlock(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                    std::int64_t start, std::int64_t end) {
  if (NameHas(path, "tdms")) return KZ_ReadTdmsBlock(path, header, traces, start, end);
  RawLayout l;
  if (!ParseLayout(path, &l)) return 0;
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const int b = l.bytes();
  const long long perChannel = f.GetLength() / l.channels / b;
  std::int64_t count = RangeLength(start, end);
  if (count < 1) count = l.seg;
  // The traces hold one segment, and a segment's channels lie one after the other: a
  // range must start at a segment and stay within it.
  if (start < 0 || start + count >= perChannel || count > l.seg || start % l.seg != 0) return 0;
  if (start + l.seg > perChannel) return 0;  // the segment itself must be in the file
  std::vector<std::uint8_t> raw;
  if (!Allocate(raw, static_cast<std::size_t>(l.seg) * l.channels * b)) return 0;
  if (!ReadAt(f, start * l.channels * b, raw.data(), raw.size())) return 0;
  f.Close();
  KZ_TraceList made;
  for (int c = 0; c < l.channels; ++c) {
    auto t = RawTrace(l.seg, c, l.bits, static_cast<int>(count));
    if (!t) return 0;
    const std::uint8_t* p = raw.data() + static_cast<std::size_t>(c) * l.seg * b;
    for (int j = 0; j < l.seg; ++j)
      t->m_pData[j] = RawSample(p + static_cast<std::size_t>(j) * b, b);
    made.push_back(std::move(t));
  }
  if (header.nChannels == 0) ResetForRaw(header);
  header.nStartSec = static_cast<std::int32_t>(start / 1000000);
  header.nStartUsec = static_cast<std::int32_t>(start % 1000000);
  header.nFirstSample = start;
  for (auto& t : made) traces.push_back(std::move(t));
  header.nChannels = static_cast<std::int16_t>(header.nChannels + l.channels);
  return 1;
}

int KZ_ReadTdmsBlock(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                     std::int64_t start, std::int64_t end) {
  RawLayout l;
  if (!ParseLayout(path, &l) || l.channels > 32) return 0;
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const long long length = f.GetLength();
  std::uint8_t lead[28];
  if (!ReadAt(f, 0, lead, sizeof lead)) return 0;
  const std::uint64_t rawOffset = le::GetU64(lead + 20);
  if (rawOffset > static_cast<std::uint64_t>(length) - 28) return 0;
  const long long dataStart = 28 + static_cast<long long>(rawOffset);
  const int b = l.bytes();
  const long long perChannel = (length - dataStart) / l.channels / b;
  std::int64_t count = RangeLength(start, end);
  if (count < 1) count = l.seg;
  if (start < 0 || start + count >= perChannel || count > l.seg) return 0;
  // Frames after the range up to a whole segment are read when the file holds them.
  const long long frames = std::min<long long>(l.seg, perChannel - start);
  const std::size_t frameBytes = static_cast<std::size_t>(l.channels) * b;
  std::vector<std::uint8_t> raw;
  if (!Allocate(raw, static_cast<std::size_t>(frames) * frameBytes)) return 0;
  if (!ReadAt(f, dataStart + start * static_cast<long long>(frameBytes), raw.data(), raw.size()))
    return 0;
  f.Close();
  KZ_TraceList made;
  for (int c = 0; c < l.channels; ++c) {
    auto t = RawTrace(l.seg, c, l.bits, static_cast<int>(count));
    if (!t) return 0;
    for (long long j = 0; j < frames; ++j)
      t->m_pData[j] = RawSample(raw.data() + j * frameBytes + static_cast<std::size_t>(c) * b, b);
    made.push_back(std::move(t));
  }
  if (header.nChannels == 0) ResetForRaw(header);
  header.nStartSec = static_cast<std::int32_t>(start / 1000000);
  header.nStartUsec = static_cast<std::int32_t>(start % 1000000);
  header.nFirstSample = start;
  for (auto& t : made) traces.push_back(std::move(t));
  header.nChannels = static_cast<std::int16_t>(header.nChannels + l.channels);
  return 1;
}

int KZ_ReadAnyWindow(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                     std::int64_t start, std::int64_t end) {
  std::int64_t count = RangeLength(start, end);
  if (count < 1) count = 6000;
  if (count > 6000) return 0;  // the traces hold 6000 samples
  const std::string partnerB = Partner(path, "_A", "_B");
  const std::string fileA = partnerB.empty() ? Partner(path, "_B", "_A") : path;
  std::string current = path;
  // A window is read whole (both files of a pair) before it replaces the last one.
  auto readWindow = [&](const std::string& p, std::int64_t at, KZ_WaveHeader& h,
                        KZ_TraceList& out) {
    if (!ReadAnyFile(p, h, out, at, count)) return false;
    const std::string b = Partner(p, "_A", "_B");
    return b.empty() || ReadAnyFile(b, h, out, at, count);
  };
  {
    KZ_WaveHeader h = header;
    KZ_TraceList made;
    if (!readWindow(current, start, h, made)) return 0;
    header = h;
    for (auto& t : made) traces.push_back(std::move(t));
  }
  for (;;) {
    int triggered = 0;
    for (const auto& t : traces) {
      float peak = 0.0f;
      const int stop = std::min<int>(3000, static_cast<int>(t->m_pData.size()));
      for (int j = 2000; j < stop; ++j) peak = std::max(peak, t->m_pData[j]);
      if (peak > 50.0f) ++triggered;
    }
    if (triggered > 3) return 1;
    start += 3000;
    if (!fileA.empty()) current = fileA;
    plat::File probe;
    if (!probe.Open(current, "rb") || start + count >= probe.GetLength() / 32) return 1;
    probe.Close();
    KZ_WaveHeader h;
    KZ_ResetWaveHeader(h);
    KZ_TraceList made;
    // A partner that ends earlier ends the search with the window already read.
    if (!readWindow(current, start, h, made)) return 1;
    header = h;
    traces = std::move(made);
  }
}
