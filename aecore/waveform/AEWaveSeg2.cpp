#include "aecore/waveform/AEWaveSeg2.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AESeg2Keywords.h"
#include "aecore/waveform/AEWaveReaders.h"
#include "base/types/KZ_TextParse.h"
#include "aecore/waveform/KZ_WaveDate.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

constexpr std::uint16_t kFileBlockId = 0x3A55;
constexpr std::uint16_t kTraceBlockId = 0x4422;
constexpr int kMaxTracePointers = 8192;

const auto& kFileKeys = g_seg2FileKeys;
const auto& kTraceKeys = g_seg2TraceKeys;
const char* const kMechanismNames[] = {"?", "S", "T", "C", "TS"};

// Index of the keyword the string starts with (without regard to case), or -1; `value`
// points after the string's first blank.
template <std::size_t N>
int MatchKey(const char* text, const char* const (&keys)[N], const char** value) {
  for (std::size_t i = 0; i < N; ++i) {
    std::size_t len = std::strlen(keys[i]);
    // The keyword must end where the name ends: ACQUISITION_TIME_UTC is another keyword.
    if (std::strlen(text) >= len && plat::EqualsNoCase(std::string(text, len), keys[i]) &&
        (text[len] == ' ' || text[len] == '\t' || text[len] == 0)) {
      const char* blank = std::strchr(text, ' ');
      *value = blank ? blank + 1 : text + std::strlen(text);
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string Key(const char* keyword, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
std::string Key(const char* keyword, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string value = plat::FormatV(fmt, args);
  va_end(args);
  return std::string(keyword) + " " + value;
}

// Wider samples kept in 16 bits: values beyond the range are clamped (and counted), never
// wrapped into unrelated values that a later save would write back as data.
std::int16_t Clamp16(double v, int* clamped) {
  if (!std::isfinite(v)) {
    ++*clamped;
    return 0;
  }
  const double t = std::trunc(v);
  if (t > 32767 || t < -32768) {
    ++*clamped;
    return t > 0 ? 32767 : -32768;
  }
  return static_cast<std::int16_t>(t);
}

struct TraceInfo {
  std::uint32_t pointer = 0;
  std::uint32_t samples = 0;
  int format = 0;
  std::size_t stringsStart = 0, stringsEnd = 0, dataStart = 0;
};

// Strings of a list from `pos` up to `end`; false when a length runs past the end or is
// too small to hold its own length word.
bool ReadStrings(const std::vector<std::uint8_t>& b, std::size_t pos, std::size_t end,
                 std::vector<std::string>* out) {
  while (pos + 2 <= end) {
    const std::uint16_t len = le::GetU16(b.data() + pos);
    if (len == 0 || len >= 256) return true;
    if (len < 2 || pos + len > end) return false;
    const char* text = reinterpret_cast<const char*>(b.data() + pos + 2);
    out->emplace_back(text, strnlen(text, len - 2));
    pos += len;
  }
  return true;
}

// A century for a year that lost it: below 70 is this century.
int FullYear(int year) {
  if (year < 70) return year + 2000;
  if (year < 1000) return year + 1900;
  return year;
}

double HeaderJulianDay(const AEWHeader& h) {
  return KZ_JulianDay(h.nYear, h.nMonth, h.nDay, h.nHour, h.nMinute,
                      static_cast<float>(h.nSecond + h.nUsec * 1e-6), 0.0f);
}

std::string FolderOf(const std::string& path, const std::string& suffix) {
  std::size_t cut = suffix.size() + 6;
  return path.size() >= cut ? path.substr(0, path.size() - cut) : std::string();
}

std::string SuffixOf(const std::string& path) {
  if (path.size() >= 10 && path.substr(path.size() - 10 + 1, 9).find("_s") != std::string::npos &&
      path.size() >= 8)
    return path.substr(path.size() - 8);
  return path.size() >= 4 ? path.substr(path.size() - 4) : path;
}

// False when the name is not that of a numbered event file (six digits before the suffix).
bool ClearForFileClass(CAEWave& w, const std::string& path, std::string* suffix, const char* name) {
  w.m_nViewMode = 2;
  *suffix = SuffixOf(path);
  w.m_strFolder = FolderOf(path, *suffix);
  const int number = AEW_EventNumberOfPath(path, static_cast<int>(suffix->size()));
  w.m_nEvent = number >= 0 ? number : 0;
  w.m_strName = name;
  std::memset(w.m_pHeader.get(), 0, sizeof(AEWHeader));
  w.m_pHeader->nBits = 16;
  w.m_pHeader->nMin = -32000;
  w.m_pHeader->nMax = 32000;
  return number >= 0;
}

// The event number and the neighbours come from the name: without one nothing is opened,
// and the user is told so rather than shown an empty record.
void ReportUnnumbered(const std::string& path, const std::string& suffix) {
  plat::AfxMessageBox(
      path + " is not named as a numbered event file (six digits before the suffix, as in 000123" +
          suffix + "), so its event cannot be opened.",
      MB_ICONEXCLAMATION);
}

std::string FileClassPath(const CAEWave& w, const std::string& suffix, int event) {
  return w.m_strFolder + plat::Format("%06d", event) + suffix;
}

int OpenFileClassEvent(CAEWave& w, const std::string& suffix, int event) {
  const int oldEvent = w.m_nEvent;
  const std::int32_t oldHeaderEvent = w.m_pHeader->nEvent;
  w.m_nEvent = event;
  w.m_pHeader->nEvent = event;
  const std::string path = FileClassPath(w, suffix, event);
  if (w.Load(path)) {
    w.m_strPath = plat::ResolvePath(path);  // the name as it is on disk
    return 1;
  }
  w.m_nEvent = oldEvent;
  w.m_pHeader->nEvent = oldHeaderEvent;
  return 0;
}

void PutTraceDescriptor(std::uint8_t* d, std::uint16_t x, std::uint32_t samples) {
  std::memset(d, 0, 32);
  le::PutU16(d, kTraceBlockId);
  le::PutU16(d + 2, x);
  le::PutU32(d + 4, 2 * samples);
  le::PutU32(d + 8, samples);
  d[12] = 1;
}

}  // namespace

void Seg2_WriteString(std::vector<std::uint8_t>& out, const std::string& text) {
  const std::size_t len = 2 + text.size() + 1;
  const std::size_t at = out.size();
  out.resize(at + len, 0);
  le::PutU16(out.data() + at, static_cast<std::uint16_t>(len));
  std::memcpy(out.data() + at + 2, text.data(), text.size());
}

bool AEW_ReplaceFileQuiet(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string target = plat::ResolvePath(path);
  const std::string parent = KZ_GetFolder(target);
  const std::string folder = parent.empty() ? std::string(1, '.') : parent;
  auto fail = [&](const std::string& tmp) {
    if (!tmp.empty()) plat::DeleteFile(tmp);
    return false;
  };
  std::string tmp = plat::TempFileName(folder, "AEW");
  if (tmp.empty()) return fail(tmp);
  {
    plat::File f;
    if (!f.Open(tmp, "wb") || f.Write(bytes.data(), bytes.size()) != bytes.size() || !f.Flush())
      return fail(tmp);
  }
  if (plat::FileExists(target)) {
    std::string backup = plat::TempFileName(folder, "BAK");
    if (backup.empty() || !plat::DeleteFile(backup) || !plat::RenameFile(target, backup))
      return fail(tmp);
    if (!plat::RenameFile(tmp, target)) {
      plat::RenameFile(backup, target);
      return fail(tmp);
    }
    plat::DeleteFile(backup);
  } else if (!plat::RenameFile(tmp, target)) {
    return fail(tmp);
  }
  plat::NoteFolderChanged(target);
  return true;
}

bool AEW_ReplaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  if (AEW_ReplaceFileQuiet(path, bytes)) return true;
  plat::AfxMessageBox("Save file failed!! (" + path + ")", MB_ICONHAND);
  return false;
}

// ---------------------------------------------------------------- keywords

void CAEWave::ParseSeg2FileString(const char* text) {
  const char* value = nullptr;
  AEWHeader& h = *m_pHeader;
  char buf[64] = {};
  switch (MatchKey(text, kFileKeys, &value)) {
    case 0: {  // ACQUISITION_DATE: our yyyy/mm/dd, or dd/MMM/yyyy of other recorders
      int y = h.nYear, m = h.nMonth, d = h.nDay;
      if (!KZ_ParseNamedMonthDate(value, &y, &m, &d)) {
        std::strncpy(buf, value, sizeof buf - 1);
        if (std::strlen(buf) > 4) buf[4] = ' ';
        if (std::strlen(buf) > 7) buf[7] = ' ';
        plat::ScanC(buf, "%d %d %d", &y, &m, &d);
      }
      h.nYear = static_cast<std::int16_t>(y);
      h.nMonth = static_cast<std::int16_t>(m);
      h.nDay = static_cast<std::int16_t>(d);
      break;
    }
    case 1: {  // ACQUISITION_TIME hh:mm:ss.uuuuuu
      std::strncpy(buf, value, sizeof buf - 1);
      if (std::strlen(buf) > 2) buf[2] = ' ';
      if (std::strlen(buf) > 5) buf[5] = ' ';
      int hh = h.nHour, mi = h.nMinute, s = h.nSecond;
      plat::ScanC(buf, "%d %d %d", &hh, &mi, &s);
      h.nHour = static_cast<std::int16_t>(hh);
      h.nMinute = static_cast<std::int16_t>(mi);
      h.nSecond = static_cast<std::int16_t>(s);
      break;
    }
    case 8: {  // COMMENTS
      std::size_t n = std::min(std::strlen(value), sizeof m_szComment - 1);
      std::memcpy(m_szComment, value, n);
      m_szComment[n] = 0;
      break;
    }
    case 13: {  // TIME_SEC_USEC
      long s = h.nSec, us = h.nUsec;
      plat::ScanC(value, "%ld %ld", &s, &us);
      h.nSec = static_cast<std::int32_t>(s);
      h.nUsec = static_cast<std::int32_t>(us);
      break;
    }
    default:
      break;
  }
}

void CAEWave::ParseSeg2TraceString(const char* text, int k) {
  const char* value = nullptr;
  AEWHeader& h = *m_pHeader;
  const bool valid = k >= 0 && k < static_cast<int>(m_pPickTime.size());
  switch (MatchKey(text, kTraceKeys, &value)) {
    case 2: {  // DESCALING_FACTOR
      float f = h.fScale;
      if (plat::ScanC(value, "%f", &f) == 1) h.fScale = f;
      break;
    }
    case 5: {  // SAMPLE_INTERVAL in microseconds
      double v = 0;
      if (plat::ScanC(value, "%lf", &v) == 1 && v > 0) {
        double rate = 1.0 / v + 1e-9;  // 0.05 must give 20, not 19
        if (rate < 32768) h.nRate = static_cast<std::int16_t>(rate);
      }
      break;
    }
    case 9: {  // PICKUP in samples
      float v = 0;
      if (valid && plat::ScanC(value, "%f", &v) == 1 && h.nRate != 0) m_pPickTime[k] = v / h.nRate;
      break;
    }
    case 10: {  // AMPPICKUP
      float v = 0;
      if (valid && plat::ScanC(value, "%f", &v) == 1) {
        m_pPickAmp[k] = v;
        m_pPolarity[k] = v > 0 ? 1 : -1;
      }
      break;
    }
    case 11: {  // NSRATIO
      float v = 0;
      if (valid && plat::ScanC(value, "%f", &v) == 1) m_pPickSN[k] = v;
      break;
    }
    case 12:  // NOTE
      if (valid) {
        int index = 0;
        KZ_GetKeyInt(value, "loc_ind=", &index);
        m_pArrival[k] = index;
      }
      break;
    case 15: {  // TIME_BEGIN
      double jd = 0;
      if (plat::ScanC(value, "%lf", &jd) == 1) m_dStartJD = jd;
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------- SEG-2

CAEWaveSeg2::CAEWaveSeg2(const std::string& path) {
  if (ClearForFileClass(*this, path, &m_strSuffix, "SEG2FILE"))
    CAEWaveSeg2::OpenEvent(m_nEvent);
  else
    ReportUnnumbered(path, m_strSuffix);
}

CAEWaveSeg2::CAEWaveSeg2(const std::string& path, NoOpen) {
  ClearForFileClass(*this, path, &m_strSuffix, "SEG2FILE");
}

int CAEWaveSeg2::OpenEvent(int event) { return OpenFileClassEvent(*this, m_strSuffix, event); }
std::string CAEWaveSeg2::EventFile(int event) const { return FileClassPath(*this, m_strSuffix, event); }

int CAEWaveSeg2::Load(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const long long length = f.GetLength();
  if (length < 32 || length > (1LL << 30)) {
    plat::AfxMessageBox(path + " is not a SEG-2 file.", MB_ICONHAND);
    return 0;
  }
  std::vector<std::uint8_t> b(static_cast<std::size_t>(length));
  if (f.Read(b.data(), b.size()) != b.size()) return 0;
  f.Close();
  auto damaged = [&](const char* why) {
    plat::AfxMessageBox(
        plat::Format("%s is a damaged SEG-2 file (%s) and is not loaded.", path.c_str(), why),
        MB_ICONHAND);
    return 0;
  };
  if (le::GetU16(b.data()) != kFileBlockId) {
    plat::AfxMessageBox(path + " is not a SEG-2 file.", MB_ICONHAND);
    return 0;
  }
  // Everything is checked before the record is touched: a damaged file loads nothing.
  const std::size_t m = le::GetU16(b.data() + 4);
  const int traces = le::GetU16(b.data() + 6);
  if (traces < 1) return damaged("no traces");
  if (traces > kMaxTracePointers || 4u * traces > m) return damaged("too many trace pointers");
  if (traces > AEW_MAX_CHANNELS) return damaged("too many channels");
  if (32 + m > b.size()) return damaged("trace pointers past the end of the file");
  std::vector<std::string> fileStrings;
  if (!ReadStrings(b, 32 + m, b.size(), &fileStrings))
    return damaged("string past the end of the file");
  std::vector<TraceInfo> info(static_cast<std::size_t>(traces));
  std::vector<std::vector<std::string>> traceStrings(info.size());
  std::uint32_t maxSamples = 0;
  for (int k = 0; k < traces; ++k) {
    TraceInfo& t = info[k];
    t.pointer = le::GetU32(b.data() + 32 + 4 * k);
    if (t.pointer < 32 || static_cast<std::uint64_t>(t.pointer) + 32 > b.size())
      return damaged("trace pointer past the end of the file");
    const std::uint8_t* d = b.data() + t.pointer;
    if (le::GetU16(d) != kTraceBlockId) return damaged("bad trace descriptor");
    const std::size_t x = le::GetU16(d + 2);
    t.samples = le::GetU32(d + 8);
    t.format = d[12];
    if (x < 32) return damaged("bad trace descriptor size");
    if (t.samples > 32767) return damaged("too many samples in a trace");
    t.stringsStart = t.pointer + 32;
    t.stringsEnd = t.pointer + x;
    t.dataStart = t.pointer + x;
    const std::size_t width = t.format == 1 ? 2 : (t.format == 2 || t.format == 4) ? 4 : 0;
    // Samples of a code this reader does not decode would show as a silent trace.
    if (width == 0 && t.samples > 0) {
      plat::AfxMessageBox(plat::Format("%s: trace %d holds samples of SEG-2 data format code %d, "
                                       "which this program does not read; the file is not loaded.",
                                       path.c_str(), k + 1, t.format),
                          MB_ICONHAND);
      return 0;
    }
    if (t.dataStart + static_cast<std::uint64_t>(width) * t.samples > b.size())
      return damaged("trace data past the end of the file");
    if (!ReadStrings(b, t.stringsStart, std::min(t.stringsEnd, b.size()), &traceStrings[k]))
      return damaged("string past its descriptor");
    maxSamples = std::max(maxSamples, t.samples);
  }

  std::memset(m_pHeader.get(), 0, sizeof(AEWHeader));
  m_dStartJD = 0.0;
  // Traces of different lengths share one block of the longest; shorter ones end in zeros.
  Allocate(traces, static_cast<int>(maxSamples), 0);
  AEWHeader& h = *m_pHeader;
  h.nEvent = m_nEvent;
  h.nEvent16 = static_cast<std::uint16_t>(m_nEvent);
  h.nBits = 16;
  h.nMin = -32000;
  h.nMax = 32000;
  for (const std::string& s : fileStrings) ParseSeg2FileString(s.c_str());
  int clamped = 0;
  for (int k = 0; k < traces; ++k) {
    const TraceInfo& t = info[k];
    for (const std::string& s : traceStrings[k]) ParseSeg2TraceString(s.c_str(), k);
    std::int16_t* dst = m_pSamples.data() + static_cast<std::size_t>(k) * maxSamples;
    const std::uint8_t* src = b.data() + t.dataStart;
    for (std::uint32_t i = 0; i < t.samples; ++i) {
      if (t.format == 1)
        dst[i] = le::GetI16(src + 2 * i);
      else if (t.format == 2)
        dst[i] = Clamp16(le::GetI32(src + 4 * i), &clamped);
      else if (t.format == 4)
        dst[i] = Clamp16(le::GetF32(src + 4 * i), &clamped);
    }
  }
  if (clamped > 0)
    plat::AfxMessageBox(plat::Format("%s: %d samples outside the 16-bit range were clamped.",
                                     path.c_str(), clamped),
                        MB_ICONEXCLAMATION);
  if (h.nYear < 1 && m_dStartJD > 0.0) AEW_SetCalendar(h, m_dStartJD);
  return 1;
}

int CAEWave::WriteSeg2(const std::string& path, const AEHRecord* rec,
                       const AESensorTable* sensors) {
  if (!CanWrite()) return 0;
  AEWHeader& h = *m_pHeader;
  const int channels = GetNumChannels();
  const int n = std::max<int>(h.nSamples, 0);
  std::vector<int> written;
  for (int c = 0; c < channels; ++c) {
    if (sensors) {
      float sign =
          c < static_cast<int>(sensors->m_pSensorSign.size()) ? sensors->m_pSensorSign[c] : 0.0f;
      if (std::fabs(sign) < 0.1f) continue;
    }
    written.push_back(c);
  }
  const int traces = static_cast<int>(written.size());
  std::vector<std::uint8_t> out(32 + 4 * static_cast<std::size_t>(traces), 0);
  le::PutU16(out.data(), kFileBlockId);
  le::PutU16(out.data() + 2, 1);
  le::PutU16(out.data() + 4, static_cast<std::uint16_t>(4 * traces));
  le::PutU16(out.data() + 6, static_cast<std::uint16_t>(traces));
  out[8] = 1;
  out[11] = 1;
  out[12] = 10;
  std::memcpy(out.data() + 14, h.szName, 8);
  le::PutU16(out.data() + 22, static_cast<std::uint16_t>(h.nSec & 0xFFFF));
  le::PutU32(out.data() + 24, static_cast<std::uint32_t>(h.nUsec));

  Seg2_WriteString(out, Key("ACQUISITION_DATE", "%04d/%02d/%02d", h.nYear, h.nMonth, h.nDay));
  Seg2_WriteString(
      out, Key("ACQUISITION_TIME", "%02d:%02d:%02d.%06d", h.nHour, h.nMinute, h.nSecond, h.nUsec));
  AEHRecord r{};
  if (rec) {
    r = *rec;
    const int type = r.nMecType;
    const char* name = type >= 0 && type <= 4 ? kMechanismNames[type] : "?";
    if (type < 1)
      Seg2_WriteString(out, Key("NOTE", "Vx=%.2f, Vy=%.2f, Vz=%.2f, fm=%1d(%s)", r.fVx, r.fVy,
                                r.fVz, type, name));
    else
      Seg2_WriteString(
          out, Key("NOTE",
                   "Vx=%.2f, Vy=%.2f, Vz=%.2f, fm=%1d(%s), iso=%.2f, vlcd=%.2f, SDR=(%4.0f, %4.0f, "
                   "%4.0f)",
                   r.fVx, r.fVy, r.fVz, type, name, r.fIso, r.fClvd, r.fStrike, r.fDip, r.fRake));
  }
  Seg2_WriteString(out, Key("TIMEUNITS", "us"));
  Seg2_WriteString(out, Key("WAVEUNITS", "V"));
  if (!rec) {
    Seg2_WriteString(out, Key("COMMENTS", "AE#=%d", h.nEvent));
  } else {
    std::string head = plat::Format(
        "AE#=%d, Mw=%.2f, Fc=%.4f, x=%.2f, y=%.2f, z=%.2f, t0=%.2f, dX=%.2f, dY=%.2f, dZ=%.2f, "
        "dT=%.2f, M=%02d, type=%d",
        h.nEvent, r.fMw, r.fFc, r.fX, r.fY, r.fZ, r.fT0, r.fDX, r.fDY, r.fDZ, r.fDT, r.nArrivals,
        r.nFlags);
    if (r.nFlags & AEH_FLAG_DETECTED) {
      if (const char* sn = std::strstr(m_szComment, "sn="))
        plat::ScanC(sn + 3, "%f, %f", &r.fSN1, &r.fSN2);
      const int tpl = static_cast<int>(KZ_GetKeyFloat(m_szComment, "Tpl=", -1.0f));
      head += plat::Format(", CC=%.2f, sn1=%.2f, sn2=%.2f, Tpl=%d", r.fCC, r.fSN1, r.fSN2, tpl);
    }
    Seg2_WriteString(out, "COMMENTS " + head);
  }
  Seg2_WriteString(
      out, Key("TIME_SEC_USEC", "%ld %ld", static_cast<long>(h.nSec), static_cast<long>(h.nUsec)));
  out.resize(out.size() + 2, 0);

  const float scale =
      h.fScale >= 1e-6f ? h.fScale : static_cast<float>(10.0 / std::pow(2.0, h.nBits));
  const double startJD = HeaderJulianDay(h);
  for (int k = 0; k < traces; ++k) {
    const int c = written[k];
    if (rec) {
      // Arrival indexes count written channels only.
      int below = 0;
      for (int j = 0, w = 0; j < channels; ++j) {
        if (w < traces && written[w] == j) {
          ++w;
          continue;
        }
        if (j <= m_pArrival[c]) ++below;
      }
      m_pArrival[c] -= below;
    }
    const std::size_t pointer = out.size();
    le::PutU32(out.data() + 32 + 4 * k, static_cast<std::uint32_t>(pointer));
    out.resize(out.size() + 32, 0);
    Seg2_WriteString(out, Key("CHANNEL_NUMBER", "%u", static_cast<unsigned>(c)));
    Seg2_WriteString(out, Key("DELAY", "0.0"));
    Seg2_WriteString(out, Key("DESCALING_FACTOR", "%f", scale));
    if (rec && sensors) {
      const KZ_Point3D p = c < static_cast<int>(sensors->m_pSensorXYZ.size())
                               ? sensors->m_pSensorXYZ[c]
                               : KZ_Point3D{};
      Seg2_WriteString(out, Key("RECEIVER_LOCATION", "%.4f %.4f %.4f", p.x, p.y, p.z));
    }
    Seg2_WriteString(out, Key("SAMPLE_INTERVAL", "%.2f", h.nRate != 0 ? 1.0 / h.nRate : 0.0));
    if (rec)
      Seg2_WriteString(out, Key("SOURCE_LOCATION", "%.4f %.4f %.4f %.4f", r.fX, r.fY, r.fZ, r.fT0));
    Seg2_WriteString(out, Key("PICKUP", "%.0f", m_pPickTime[c] * h.nRate));
    Seg2_WriteString(out, Key("AMPPICKUP", "%.4f", m_pPickAmp[c]));
    Seg2_WriteString(out, Key("NSRATIO", "%.2f", m_pPickSN[c]));
    Seg2_WriteString(out, Key("NOTE", "loc_ind=%d", m_pArrival[c]));
    Seg2_WriteString(out, Key("UNIT", "V"));
    Seg2_WriteString(out, Key("TIME_BEGIN", "%lf", startJD));
    out.resize(out.size() + 2, 0);
    PutTraceDescriptor(out.data() + pointer, static_cast<std::uint16_t>(out.size() - pointer),
                       static_cast<std::uint32_t>(n));
    const std::size_t data = out.size();
    out.resize(data + 2 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      le::PutI16(out.data() + data + 2 * i, m_pSamples[static_cast<std::size_t>(c) * n + i]);
  }
  return AEW_ReplaceFile(path, out) ? 1 : 0;
}

int CAEWaveSeg2::Save() {
  m_pHeader->nEvent = m_nEvent;
  m_pHeader->nEvent16 = static_cast<std::uint16_t>(m_nEvent);
  m_pHeader->nYear = static_cast<std::int16_t>(FullYear(m_pHeader->nYear));
  return WriteSeg2(m_strPath, nullptr, nullptr);
}

int CAEWave::SaveSeg2Event(const std::string& path, const AEHRecord& rec,
                           const AESensorTable& sensors) {
  return WriteSeg2(path, &rec, &sensors);
}

// ---------------------------------------------------------------- .aew

int CAEWave::SaveAew(const std::string& path, const AEHRecord& rec, const AESensorTable& sensors) {
  if (!CanWrite()) return 0;
  const AEWHeader& h = *m_pHeader;
  const int channels = GetNumChannels();
  const int n = std::max<int>(h.nSamples, 0);
  std::vector<std::uint8_t> out(108, 0);
  std::uint8_t* p = out.data();
  le::PutI32(p, h.nEvent);
  le::PutI16(p + 4, static_cast<std::int16_t>(channels));
  le::PutI16(p + 6, static_cast<std::int16_t>(n));
  le::PutI16(p + 8, h.nRate);
  le::PutF64(p + 10, HeaderJulianDay(h));
  le::PutI32(p + 18, h.nSec);
  le::PutI32(p + 22, h.nUsec);
  le::PutU16(p + 26, rec.nFlags);
  le::PutI16(p + 28, rec.nArrivals);
  const float block1[] = {rec.fX,  rec.fY,  rec.fZ,  rec.fT0, rec.fDX,  rec.fDY, rec.fDZ,
                          rec.fDT, rec.fMw, rec.fFc, rec.fCC, rec.fSN1, rec.fSN2};
  for (int i = 0; i < 13; ++i) le::PutF32(p + 30 + 4 * i, block1[i]);
  le::PutI32(p + 82, static_cast<std::int32_t>(KZ_GetKeyFloat(m_szComment, "Tpl=", -1.0f)));
  le::PutI16(p + 86, rec.nMecType);
  const float block2[] = {rec.fIso, rec.fClvd, rec.fStrike, rec.fDip, rec.fRake};
  for (int i = 0; i < 5; ++i) le::PutF32(p + 88 + 4 * i, block2[i]);
  for (int c = 0; c < channels; ++c) {
    const std::size_t at = out.size();
    out.resize(at + 36 + 2 * static_cast<std::size_t>(n), 0);
    std::uint8_t* q = out.data() + at;
    const bool known = c < static_cast<int>(sensors.m_pSensorXYZ.size());
    const KZ_Point3D pos = known ? sensors.m_pSensorXYZ[c] : KZ_Point3D{};
    le::PutI16(q, static_cast<std::int16_t>(m_pArrival[c]));
    le::PutI32(q + 2, 0);
    le::PutF32(q + 6, static_cast<float>(pos.x));
    le::PutF32(q + 10, static_cast<float>(pos.y));
    le::PutF32(q + 14, static_cast<float>(pos.z));
    le::PutF32(q + 18, m_pPickTime[c]);
    le::PutF32(q + 22, m_pPickAmp[c]);
    le::PutF32(q + 26, m_pPickSN[c]);
    le::PutI16(q + 30, m_pPolarity[c]);
    le::PutF32(q + 32, known ? sensors.m_pSensorGain[c] : 0.0f);
    for (int i = 0; i < n; ++i)
      le::PutI16(q + 36 + 2 * i, m_pSamples[static_cast<std::size_t>(c) * n + i]);
  }
  return AEW_ReplaceFile(path, out) ? 1 : 0;
}

CAEWave_Aew::CAEWave_Aew(const std::string& path) {
  if (ClearForFileClass(*this, path, &m_strSuffix, "SEG2FILE"))
    CAEWave_Aew::OpenEvent(m_nEvent);
  else
    ReportUnnumbered(path, m_strSuffix);
}

int CAEWave_Aew::OpenEvent(int event) { return OpenFileClassEvent(*this, m_strSuffix, event); }
std::string CAEWave_Aew::EventFile(int event) const { return FileClassPath(*this, m_strSuffix, event); }

int CAEWave_Aew::Save() {
  plat::AfxMessageBox(
      m_strPath + " is a recording and is not overwritten; save the event under another name.",
      MB_ICONEXCLAMATION);
  return 0;
}

int CAEWave_Aew::Load(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  std::uint8_t head[108];
  if (f.Read(head, sizeof head) != sizeof head) {
    plat::AfxMessageBox(path + " is too short for an .aew file and is not loaded.", MB_ICONHAND);
    return 0;
  }
  const int channels = le::GetI16(head + 4);
  const int samples = le::GetI16(head + 6);
  if (!AEW_CountsAreSane(path, channels, samples)) return 0;
  std::memset(m_pHeader.get(), 0, sizeof(AEWHeader));
  Allocate(channels, samples, le::GetI16(head + 8));
  AEWHeader& h = *m_pHeader;
  h.nEvent = le::GetI32(head);
  h.nEvent16 = static_cast<std::uint16_t>(h.nEvent);
  AEW_SetCalendar(h, le::GetF64(head + 10));
  h.nSec = le::GetI32(head + 18);
  h.nUsec = le::GetI32(head + 22);
  bool complete = true;
  std::vector<std::uint8_t> raw(36 + 2 * static_cast<std::size_t>(samples));
  for (int c = 0; c < channels; ++c) {
    if (!AEW_ReadOrZero(f, raw.data(), raw.size())) complete = false;
    m_pPickTime[c] = le::GetF32(raw.data() + 18);
    m_pPickAmp[c] = le::GetF32(raw.data() + 22);
    m_pPickSN[c] = le::GetF32(raw.data() + 26);
    m_pPolarity[c] = le::GetI16(raw.data() + 30);
    for (int i = 0; i < samples; ++i)
      m_pSamples[static_cast<std::size_t>(c) * samples + i] = le::GetI16(raw.data() + 36 + 2 * i);
  }
  if (!complete) AEW_ReportShort(path);
  return 1;
}

// ---------------------------------------------------------------- long recordings

CAEWaveLong::CAEWaveLong(const std::string& path) {
  m_nViewMode = 2;
  m_strPath = path;
  const std::string companion = (path.size() >= 3 ? path.substr(0, path.size() - 3) : path) + "sg2";
  {
    // The companion need not be named like a numbered event: it is read by its own name.
    CAEWaveSeg2 header(companion, CAEWaveSeg2::NoOpen{});
    header.Load(companion);
    *m_pHeader = *header.m_pHeader;
  }
  m_nStartUs = static_cast<std::int64_t>(m_pHeader->nSec) * 1000000 + m_pHeader->nUsec;
  std::string suffix = SuffixOf(path);
  m_strFolder = FolderOf(path, suffix);
  m_strName = "LONGFILE";
  m_pFile = std::make_unique<plat::File>();
  const int channels = GetNumChannels();
  if (!m_pFile->Open(path, "rb") || channels < 1 || channels > AEW_MAX_CHANNELS) {
    plat::AfxMessageBox(
        path + ": the long recording or its SEG-2 header " + companion + " cannot be read.",
        MB_ICONHAND);
    m_pFile.reset();
    return;
  }
  m_nChannelLen = m_pFile->GetLength() / channels / 2;
  m_nEventStep = 3800;
  m_nEvents = static_cast<std::int32_t>(m_nChannelLen / m_nEventStep);
  const AEWHeader saved = *m_pHeader;
  Allocate(channels, 4096, saved.nRate);
  // Allocation rebuilds the header; the companion's own fields stay.
  const std::int16_t samples = m_pHeader->nSamples;
  *m_pHeader = saved;
  m_pHeader->nSamples = samples;
  if (m_nEvents >= 1) {
    m_nEvent = 0;
    m_pHeader->nEvent = 0;
    m_pHeader->nEvent16 = 0;
    ReadRange(0, 4096);
  }
}

CAEWaveLong::~CAEWaveLong() = default;

int CAEWaveLong::Save() {
  plat::AfxMessageBox(
      m_strPath + " is a long recording and is not overwritten; save the event under another name.",
      MB_ICONEXCLAMATION);
  return 0;
}

int CAEWaveLong::OpenEvent(int event) {
  if (event < 0 || event >= m_nEvents) return 0;
  m_nEvent = event;
  m_pHeader->nEvent = event;
  m_pHeader->nEvent16 = static_cast<std::uint16_t>(event);
  const std::int64_t first = static_cast<std::int64_t>(m_nEventStep) * event;
  return ReadRange(first, first + m_pHeader->nSamples);
}

int CAEWaveLong::ReadRange(std::int64_t first, std::int64_t last) {
  if (!m_pFile || last <= first || last - first > 32767) return 0;
  const int channels = GetNumChannels();
  const int n = static_cast<int>(last - first);
  AEWHeader& h = *m_pHeader;
  if (m_pSamples.size() < static_cast<std::size_t>(channels) * n) {
    const AEWHeader saved = h;
    Allocate(channels, n, saved.nRate);
    h = saved;
  }
  h.nSamples = static_cast<std::int16_t>(n);
  const std::int64_t t = m_nStartUs + (h.nRate != 0 ? first / h.nRate : 0);
  h.nSec = static_cast<std::int32_t>(t / 1000000);
  h.nUsec = static_cast<std::int32_t>(t % 1000000);
  h.nStatus = 0;
  // A window that runs past the end of its channel (the last event of the recording) holds
  // the channel's own last samples and then silence: the samples after them in the file
  // belong to the next channel.
  const std::int64_t held = std::clamp<std::int64_t>(m_nChannelLen - first, 0, n);
  std::vector<std::uint8_t> raw(2 * static_cast<std::size_t>(n));
  for (int c = 0; c < channels; ++c) {
    std::fill(raw.begin(), raw.end(), std::uint8_t{0});
    if (held > 0) {
      m_pFile->Seek(2 * (c * m_nChannelLen + first), SEEK_SET);
      AEW_ReadOrZero(*m_pFile, raw.data(), 2 * static_cast<std::size_t>(held));
    }
    for (int i = 0; i < n; ++i)
      m_pSamples[static_cast<std::size_t>(c) * n + i] = le::GetI16(raw.data() + 2 * i);
  }
  return 1;
}
