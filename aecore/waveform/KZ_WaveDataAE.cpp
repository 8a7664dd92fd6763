// The program's event files read into the waveform container, saving by extension and
// stepping through a numbered series of event files.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "aecore/waveform/AEWaveGse2.h"
#include "aecore/waveform/AEWaveSac.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

// Channel bounds as the readers take them: the low 32 bits, 0 and 0 meaning all.
void Bounds(std::int64_t first, std::int64_t last, int* f, int* l) {
  *f = static_cast<std::int32_t>(static_cast<std::uint32_t>(first));
  *l = static_cast<std::int32_t>(static_cast<std::uint32_t>(last));
  if (*f == 0 && *l == 0) {
    *f = 1;
    *l = 9999;
  }
}

std::vector<std::uint8_t> ReadWhole(const std::string& path, bool* ok) {
  *ok = false;
  plat::File f;
  if (!f.Open(path, "rb")) return {};
  const long long length = f.GetLength();
  if (length < 0 || length > (1LL << 31)) return {};
  std::vector<std::uint8_t> b;
  try {
    b.resize(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    return {};
  }
  *ok = f.Read(b.data(), b.size()) == b.size();
  return b;
}

}  // namespace

int KZ_ReadAEWaveFile(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                      int first, int last, std::int32_t* event) {
  if (first == 0 && last == 0) {
    first = 1;
    last = 9999;
  }
  bool ok = false;
  const std::vector<std::uint8_t> b = ReadWhole(path, &ok);
  if (!ok) return 0;
  const std::size_t length = b.size();
  const std::size_t magic = (length & 1) ? 7 : 8;
  std::uint8_t image[64] = {};
  if (length < magic + 48) return 0;
  std::memcpy(image, b.data(), magic);
  std::size_t pos = magic;
  const bool full = image[0] == '*' || image[7] > '2';
  bool oldLayout = false;
  if (full) {
    if (length < magic + 56) return 0;
    std::memcpy(image + 8, b.data() + pos, 56);
    pos += 56;
  } else {
    // Field by field: name, 6 unused bytes, sample range, start time, then eleven words.
    oldLayout = true;
    std::memcpy(image + 8, b.data() + pos, 8);
    pos += 8 + 6;
    std::memcpy(image + 24, b.data() + pos, 4);
    pos += 4;
    std::memcpy(image + 32, b.data() + pos, 8);
    pos += 8;
    std::memcpy(image + 40, b.data() + pos, 22);
    pos += 22;
  }
  int smallest = le::GetI16(image + 24), largest = le::GetI16(image + 26);
  // The old layout of odd length has no range; and a range of zero width (in either
  // layout) would make the descaling factor infinite.
  if ((oldLayout && (length & 1)) || smallest == largest) {
    smallest = -512;
    largest = 512;
  }
  const int channels = le::GetI16(image + 40);
  const int rate = le::GetI16(image + 46);
  long long n = le::GetI16(image + 44);
  if (channels < 1 || rate < 1) return 0;
  if (n < 1) n = (static_cast<long long>(length) - 64) / (channels * 2LL);
  const long long sampleBytes = n * channels * 2;
  if (n < 1 || static_cast<long long>(pos) + sampleBytes > static_cast<long long>(length)) return 0;
  const char version = static_cast<char>(image[7]);
  const std::size_t gainAt = pos + static_cast<std::size_t>(sampleBytes) + 20u * channels;
  const bool gains = version >= '5';
  if (gains && gainAt + 4u * channels > length) return 0;

  if (header.nChannels == 0) KZ_ResetWaveHeader(header);
  const int number = le::GetI16(image + 48);
  if (event) *event = number;
  const double dt = 1.0 / rate;
  const long sec = le::GetI32(image + 32), usec = le::GetI32(image + 36);
  header.nStartSec = static_cast<std::int32_t>(sec);
  header.nStartUsec = static_cast<std::int32_t>(usec);
  KZ_CopyText(header.szNote, plat::Format("AEno=%d Time:%ld:%ld", number, sec, usec).c_str());
  KZ_CopyText(header.szDate, plat::Format("%4d/%02d/%02d", le::GetI16(image + 50),
                                          le::GetI16(image + 52), le::GetI16(image + 54))
                                 .c_str());
  KZ_CopyText(header.szTime, plat::Format("%02d:%02d:%02d", le::GetI16(image + 56),
                                          le::GetI16(image + 58), le::GetI16(image + 60))
                                 .c_str());
  KZ_CopyText(header.szTraceSort, "ASCHNNO");
  KZ_CopyText(header.szTimeUnits, "Time(usec)");
  KZ_CopyText(header.szWaveUnits, "mV");
  KZ_CopyText(header.szComments, path.c_str());

  for (int c = 0; c < channels; ++c) {
    const int k = c + 1;
    if (k > last) break;
    if (k < first) continue;
    auto t = std::make_unique<KZ_WaveTrace>(static_cast<int>(n));
    if (t->m_n != n) return 0;
    t->m_fInterval = dt;
    t->m_nChannel = static_cast<std::int16_t>(c);
    t->m_fReceiver[2] = k;
    t->m_nStack = 1;
    t->m_nFormat = 1;
    t->m_fDescale = 1000.0 / (largest - smallest);
    if (gains) t->m_fDescale *= le::GetF32(b.data() + gainAt + 4u * c);
    const std::uint8_t* p = b.data() + pos + static_cast<std::size_t>(c) * n * 2;
    for (long long j = 0; j < n; ++j) t->m_pData[j] = le::GetI16(p + 2 * j);
    t->ComputeStats(false);
    traces.push_back(std::move(t));
    ++header.nChannels;
  }
  return 1;
}

int KZ_ReadAew01File(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces, int, int,
                     std::int32_t* event) {
  bool ok = false;
  const std::vector<std::uint8_t> b = ReadWhole(path, &ok);
  if (!ok || b.size() < 108) return 0;
  const std::uint8_t* h = b.data();
  const int number = le::GetI32(h);
  const int channels = le::GetI16(h + 4);
  const int n = le::GetI16(h + 6);
  const int rate = le::GetI16(h + 8);
  if (channels < 1 || n < 1 || rate < 1) return 0;
  if (108 + static_cast<std::size_t>(channels) * (36 + 2 * static_cast<std::size_t>(n)) > b.size())
    return 0;

  if (header.nChannels == 0) KZ_ResetWaveHeader(header);
  if (event) *event = number;
  const float dt = static_cast<float>(1.0 / rate);
  int y, mo, d, hh, mi;
  float sec;
  KZ_CalendarFromJulianDay(le::GetF64(h + 10), &y, &mo, &d, &hh, &mi, &sec, 0.0f);
  KZ_CopyText(header.szDate, plat::Format("%4d/%02d/%02d", y, mo, d).c_str());
  KZ_CopyText(header.szTime,
              plat::Format("%02d:%02d:%05.2f", hh, mi, static_cast<double>(sec)).c_str());
  const long s = le::GetI32(h + 18), us = le::GetI32(h + 22);
  header.nStartSec = static_cast<std::int32_t>(s);
  header.nStartUsec = static_cast<std::int32_t>(us);
  KZ_CopyText(header.szTraceSort, "ASCHNNO");
  KZ_CopyText(header.szTimeUnits, "Time(usec)");
  KZ_CopyText(header.szWaveUnits, "mm/s");
  const int flags = le::GetI16(h + 26);
  const int M = le::GetI16(h + 28);
  float v[8];
  for (int i = 0; i < 8; ++i) v[i] = le::GetF32(h + 30 + 4 * i);
  const double Mw = le::GetF32(h + 62), Fc = le::GetF32(h + 66);
  const double CC = le::GetF32(h + 70), sn1 = le::GetF32(h + 74), sn2 = le::GetF32(h + 78);
  const int Tpl = le::GetI32(h + 82);
  const int fm = le::GetI16(h + 86);
  const double iso = le::GetF32(h + 88), vlcd = le::GetF32(h + 92);
  const double strike = le::GetF32(h + 96), dip = le::GetF32(h + 100), rake = le::GetF32(h + 104);
  static const char* const kTypes[] = {"?", "S", "T", "C", "TS"};
  const char* type = fm >= 0 && fm <= 4 ? kTypes[fm] : "?";
  if (fm > 0)
    KZ_CopyText(
        header.szNote,
        plat::Format("Time:%ld:%ld, fm=%1d(%s), iso=%.2f, vlcd=%.2f, SDR=(%4.0f, %4.0f, %4.0f)", s,
                     us, fm, type, iso, vlcd, strike, dip, rake)
            .c_str());
  else
    KZ_CopyText(header.szNote,
                plat::Format("AEno=%d Time:%ld:%ld, fm=%1d(%s)", number, s, us, fm, type).c_str());
  std::string comments = plat::Format(
      "AE#=%d, Mw=%.2f, Fc=%.4f, x=%.2f, y=%.2f, z=%.2f, t0=%.2f, dX=%.2f, dY=%.2f, dZ=%.2f, "
      "dT=%.2f, M=%02d, type=%d",
      number, Mw, Fc, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], M, flags);
  if (flags & 0x10)
    comments += plat::Format(", CC=%.2f, sn1=%.2f, sn2=%.2f, Tpl=%d", CC, sn1, sn2, Tpl);
  KZ_CopyText(header.szComments, comments.c_str());

  std::size_t pos = 108;
  for (int c = 0; c < channels; ++c) {
    const std::uint8_t* r = b.data() + pos;
    auto t = std::make_unique<KZ_WaveTrace>(n);
    if (t->m_n != n) return 0;
    t->m_fInterval = dt;
    t->m_nChannel = static_cast<std::int16_t>(c);
    t->m_fDelay = le::GetF32(r + 2);
    for (int a = 0; a < 3; ++a) {
      t->m_fReceiver[a] = le::GetF32(r + 6 + 4 * a);
      t->m_fSource[a] = v[a];
    }
    t->m_nPick = static_cast<std::int32_t>(le::GetF32(r + 18) * rate);
    t->m_fPickAmp = le::GetF32(r + 22);
    t->m_fSNR = le::GetF32(r + 26);
    t->m_nPolarity = le::GetI16(r + 30);
    t->m_fDescale = le::GetF32(r + 32);
    t->m_nStack = 1;
    t->m_nFormat = 1;
    for (int j = 0; j < n; ++j) t->m_pData[j] = le::GetI16(r + 36 + 2 * j);
    t->ComputeStats(false);
    traces.push_back(std::move(t));
    ++header.nChannels;
    pos += 36 + 2 * static_cast<std::size_t>(n);
  }
  return 1;
}

int KZ_WaveDataAE::ReadEventFile(const std::string& path, KZ_WaveHeader& header,
                                 std::vector<std::unique_ptr<KZ_WaveTrace>>& traces,
                                 std::int64_t first, std::int64_t last) {
  int f = 0, l = 0;
  Bounds(first, last, &f, &l);
  if (KZ_HasSuffix(path, "AEW")) return KZ_ReadAew01File(path, header, traces, f, l, &m_nEvent);
  return KZ_ReadAEWaveFile(path, header, traces, f, l, &m_nEvent);
}

int KZ_WaveDataAE::Load(const std::string& path, int clear, std::int64_t first, std::int64_t last) {
  if (clear > 0) Clear(false);
  if (!ReadEventFile(path, m_header, m_traces, first, last)) return 0;
  m_strPath = path;
  return 1;
}

// ---------------------------------------------------------------- saving by extension

int KZ_WaveData::SaveAs(const std::string& path, int a, int first, int count) {
  m_nModified = 0;
  const std::string ext = plat::ToUpper(path.size() >= 3 ? path.substr(path.size() - 3) : path);
  if (ext == "TXT")
    return a == 1 ? KZ_WriteChannelsText(path, m_header, m_traces, first, count)
                  : KZ_WriteTxtTab(path, m_header, m_traces, first, count);
  if (ext == "GSE") return WriteGSE2(path, m_header, m_traces, first, count, "CM6") ? 1 : 0;
  if (ext == "SAC") return ExportSAC(KZ_GetFolder(path), *this, first, count, -1);
  if (ext == "ACS") return ExportEventSACs(path, *this, first, count, -1, 1, 0);
  const std::string target =
      path.substr(0, path.size() - std::min<std::size_t>(3, path.size())) + "sg2";
  const int code = m_nSeg2Format == 1 || m_nSeg2Format == 2 ? m_nSeg2Format : 4;
  return Seg2_Write(target, m_header, m_traces, first, count, code);
}

// ---------------------------------------------------------------- stepping

int KZ_WaveData::StepFile(int step, int mode) {
  const std::string path = m_strPath;
  const std::size_t n = path.size();
  if (n < 10) return -1;
  // "000123_s01.wav": a suffixed file of the series keeps its suffix.
  const std::size_t marker = path.substr(n - 10).find("_s");
  const std::size_t endingLength = marker != std::string::npos && marker > 0 ? 8 : 4;
  const std::size_t numbered = endingLength + 6;
  if (n < numbered) return -1;
  const std::string ending = path.substr(n - endingLength);
  const std::string base = path.substr(0, n - numbered);
  const int num = std::atoi(path.c_str() + (n - numbered));

  int cur = num + step;
  std::string candidate;
  for (int tries = 0;; ++tries) {
    if (tries >= 30000) {
      candidate.clear();
      break;
    }
    candidate = base + plat::Format("%06d", cur) + ending;
    if (KZ_FileExistsStr(candidate)) break;
    if (cur < 0) return -1;
    if (tries > 0 && tries % 1000 == 0 &&
        plat::AfxMessageBox(plat::Format("event# %06d was not found, continue?", cur), MB_YESNO) ==
            IDNO)
      return -1;
    if (plat::Ui().GetInputState() &&
        plat::AfxMessageBox("Are you sure to exit loop?", MB_YESNO) == IDYES)
      return -1;
    cur += step;
  }
  m_nEvent = num;
  if (candidate.empty()) return -1;
  // The file left is moved or deleted only once the next one is in: a failed load keeps
  // both, and the file just loaded is never the one treated.
  if (!Load(candidate, 1, 0, 0)) return -1;
  const std::string folder = KZ_GetFolder(candidate);
  if (plat::ResolvePath(path) != plat::ResolvePath(candidate)) {
    switch (mode) {
      case 1:
        plat::DeleteFile(path);
        break;
      case 2:
        plat::RenameFile(path, folder + plat::Format("S_%06d", num) + ending);
        break;
      case 3:
        plat::RenameFile(path, folder + plat::Format("X_%06d", num) + ending);
        break;
      case -1:
        plat::RenameFile(path, folder + plat::Format("%06d", num) + ending);
        break;
      default:
        break;
    }
  }
  m_strPath = candidate;
  return num + step;
}
