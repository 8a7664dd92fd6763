// Time-series files: KV text, KVDATA02B and the acquisition program's raw "DLV" files,
// and the KV text writer. Every reader fills a fresh series and hands it over only when
// the file was read, so a refused file leaves the loaded series as it was.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/numerics/KZ_NumHelpers.h"
#include "base/series/KZ_SplitRuns.h"
#include "base/series/KZ_TSdata.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

constexpr int kMaxKVChannels = 99;

void Warn(const std::string& text) { plat::AfxMessageBox(text, MB_OK | MB_ICONWARNING); }

bool Has(const std::string& s, const char* what) { return s.find(what) != std::string::npos; }

void CopyText(char* dst, std::size_t size, const std::string& src) {
  const std::size_t n = std::min(src.size(), size - 1);
  std::memcpy(dst, src.data(), n);
  std::memset(dst + n, 0, size - n);
}

// Channel names (and units after a comma, when asked) of a names line: the first token
// names the time column; a token beginning with a control character ends the list.
void ChannelNames(const std::string& line, bool units, std::vector<std::string>& names,
                  std::vector<std::string>& unitTexts) {
  const char sep = line.find('\t') != std::string::npos ? '\t' : ' ';
  auto tokens = KZ_SplitRuns(line, sep);
  for (std::size_t k = 1; k < tokens.size() && names.size() < kMaxKVChannels; ++k) {
    const std::string& t = tokens[k];
    if (static_cast<unsigned char>(t[0]) < 32) break;
    const std::size_t comma = units ? t.find(',') : std::string::npos;
    names.push_back(comma == std::string::npos ? t : t.substr(0, comma));
    unitTexts.push_back(comma == std::string::npos ? std::string() : t.substr(comma + 1));
  }
}

// Seconds since 1970 of a local calendar time (0 when it cannot be represented).
std::int64_t LocalSeconds(int y, int mo, int d, int h, int mi, int s) {
  if (y < INT_MIN + 1900) return 0;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return plat::MakeLocalTime(tm).value_or(0);
}

// The plot and calibration fields every KV reader sets once the samples are in.
void SetKVChannelDefaults(KZ_TSdata& ts, int c, bool rounded) {
  KZ_TSchannel& ch = ts.m_pChannel[c];
  ch.fOffset = 0;
  ch.fInMin = -1;
  ch.fInMax = 1;
  ch.fBase = 0;
  ch.fGain = 1;
  float max = 0, min = 0;
  ts.GetRange(c, &max, &min);
  ch.fPlotA = max - min > 1000 ? 4000.0f : 100.0f;
  ch.fPlotMin = rounded ? KZ_NiceFloorF(min) : min;
  ch.fPlotMax = rounded ? KZ_NiceCeilF(max) : max;
  ch.nEnabled = 1;
  ch.nPlot = 1;
  ch.fPlotB = 0;
  ch.fPlotC = 1;
  ch.fPlotD = 1;
}

// A line of a binary file, without its line end.
bool BinaryLine(plat::File& f, std::string& line) {
  if (!f.ReadLine(line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

bool KZ_TSdata::Load(const std::string& path, std::int64_t* first, std::int64_t* last) {
  bool ok;
  if (KZ_HasSuffix(path, "KV0"))
    ok = ReadKVText(path);
  else if (KZ_HasSuffix(path, "KVB"))
    ok = ReadKVBinary(path);
  else
    ok = ReadRaw(path, first, last);
  if (ok) m_strTitle = path;
  return ok;
}

bool KZ_TSdata::ReadKVText(const std::string& path) {
  if (m_pFile) m_pFile.reset();
  plat::File f;
  if (!f.Open(path, "rt")) return false;
  std::string line;
  if (!f.ReadLine(line) || !Has(line, "KVDATA")) {
    Warn(plat::Format("%s is not a KV data file: its first line lacks \"KVDATA\".", path.c_str()));
    return false;
  }
  const int version = line.size() > 6 ? std::atoi(line.c_str() + 6) : 0;

  std::string st;
  if (!f.ReadLine(st) || !Has(st, "START_TIME")) {
    Warn(plat::Format("%s is not a time series: its second line is not a START_TIME line.",
                      path.c_str()));
    return false;
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  float sec = 0;
  std::int64_t start = 0;
  double fraction = 0;
  const char* p = std::strchr(st.c_str() + st.find("START_TIME"), ':');
  if (p && plat::ScanC(p + 1, "%d/%d/%d %d:%d:%f", &y, &mo, &d, &h, &mi, &sec) == 6) {
    start = LocalSeconds(y, mo, d, h, mi, KZ_SaturateCast<int>(sec));
    fraction = std::isfinite(sec) ? sec - std::trunc(sec) : 0.0;
  }

  int count = 0;
  std::string names;
  if (!f.ReadLine(line)) {
    Warn(plat::Format("%s ends before its channel names.", path.c_str()));
    return false;
  }
  if (Has(line, "SAMPLES")) {
    plat::ScanC(line.c_str() + line.find("SAMPLES") + 7, "%d", &count);
    if (!f.ReadLine(names)) {
      Warn(plat::Format("%s ends before its channel names.", path.c_str()));
      return false;
    }
  } else {
    names = line;
  }
  std::vector<std::string> chNames, chUnits;
  ChannelNames(names, true, chNames, chUnits);
  const int n = static_cast<int>(chNames.size());
  if (n == 0) {
    Warn(plat::Format("%s names no channel after its time column.", path.c_str()));
    return false;
  }

  double timeFactor = 1.0;
  std::vector<double> scales(n, 0.0001);
  if (version >= 2) {
    // The time factor, then one per channel; they may run over lines, the rest of the
    // last one is skipped.
    std::string fl;
    const char* q = "";
    for (int k = 0; k <= n; ++k) {
      while (true) {
        while (*q == ' ' || *q == '\t' || *q == '\r') ++q;
        if (*q) break;
        if (!f.ReadLine(fl)) {
          Warn(plat::Format("%s ends before its factors.", path.c_str()));
          return false;
        }
        q = fl.c_str();
      }
      char* end = nullptr;
      const double v = plat::StrToD(q, &end);
      if (end == q) {
        Warn(plat::Format("%s: factor %d is not a number.", path.c_str(), k + 1));
        return false;
      }
      if (k == 0)
        timeFactor = v;
      else
        scales[k - 1] = v / 10000;
      q = end;
    }
  }

  // Rows: the time, then one value per channel; the data end at the announced count, at
  // a line beginning with '[', or at a row that cannot be read whole.
  std::vector<double> times;
  std::vector<std::int32_t> samples;
  long long saturated = 0;
  while ((count < 1 || static_cast<int>(times.size()) < count) && f.ReadLine(line)) {
    if (count < 1 && !line.empty() && line[0] == '[') break;
    const char* r = line.c_str();
    char* end = nullptr;
    const double t = plat::StrToD(r, &end);
    if (end == r) break;
    r = end;
    const std::size_t at = samples.size();
    samples.resize(at + n);
    int k = 0;
    for (; k < n; ++k) {
      const double v = plat::StrToD(r, &end);
      if (end == r) break;
      r = end;
      // The store holds 32-bit integers: values beyond it are held at its ends.
      const double raw = std::trunc(v * 10000);
      if (raw >= -2147483648.0 && raw <= 2147483647.0) {
        samples[at + k] = static_cast<std::int32_t>(raw);
      } else {
        samples[at + k] = raw > 0 ? INT32_MAX : raw < 0 ? INT32_MIN : 0;
        ++saturated;
      }
    }
    if (k < n) {
      samples.resize(at);
      break;
    }
    times.push_back((t * timeFactor + fraction) * 1000);
  }
  f.Close();

  const int rows = static_cast<int>(times.size());
  KZ_TSdata fresh;
  if (!fresh.Alloc(n, rows, false, nullptr)) {
    Warn(plat::Format("%s: not enough memory for %d samples.", path.c_str(), rows));
    return false;
  }
  fresh.m_tStart = start;
  for (int c = 0; c < n; ++c) {
    CopyText(fresh.m_pChannel[c].szName, sizeof(fresh.m_pChannel[c].szName), chNames[c]);
    CopyText(fresh.m_pChannel[c].szUnit, sizeof(fresh.m_pChannel[c].szUnit), chUnits[c]);
    fresh.m_pChannel[c].dScale = scales[c];
  }
  for (int i = 0; i < rows; ++i) {
    fresh.m_pTime[i] = times[i];
    for (int c = 0; c < n; ++c) fresh.m_ppData[c][i] = samples[static_cast<std::size_t>(i) * n + c];
  }
  fresh.m_nSamples = rows;
  for (int c = 0; c < n; ++c) SetKVChannelDefaults(fresh, c, true);
  fresh.SetDefaultColours();
  fresh.m_strTitle = m_strTitle;
  Swap(fresh);
  if (saturated)
    Warn(plat::Format(
        "%s: %lld values lie beyond the range of the sample store and were held at its ends.",
        path.c_str(), saturated));
  return true;
}

bool KZ_TSdata::ReadKVBinary(const std::string& path) {
  if (m_pFile) m_pFile.reset();
  plat::File f;
  if (!f.Open(path, "rb")) return false;
  std::string l1, l2, l3, l4;
  if (!BinaryLine(f, l1) || !Has(l1, "KVDATA02B")) {
    Warn(plat::Format("%s is not a KVDATA02B file: its first line lacks \"KVDATA02B\".",
                      path.c_str()));
    return false;
  }
  if (!BinaryLine(f, l2) || !BinaryLine(f, l3) || !BinaryLine(f, l4)) {
    Warn(plat::Format("%s ends inside its text head.", path.c_str()));
    return false;
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  std::int64_t start = 0;
  if (plat::ScanC(l2.c_str(), "%4d/%2d/%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) == 6)
    start = LocalSeconds(y, mo, d, h, mi, s);
  std::vector<std::string> names, units;
  ChannelNames(l3, false, names, units);
  const int n = static_cast<int>(names.size());
  if (n == 0) {
    Warn(plat::Format("%s names no channel after its time column.", path.c_str()));
    return false;
  }
  std::vector<unsigned char> factors(8 * static_cast<std::size_t>(n + 1));
  if (f.Read(factors.data(), factors.size()) != factors.size()) {
    Warn(plat::Format("%s ends before the scales of its %d channels.", path.c_str(), n));
    return false;
  }
  const double timeFactor = le::GetF64(factors.data());
  const long long pos = f.Tell(), length = f.GetLength();
  const long long recordSize = 8 + 2LL * n;
  const long long records = std::max(0LL, (length - pos) / recordSize);
  if (records > INT_MAX - 8) {
    Warn(plat::Format("%s holds more records than a series can count.", path.c_str()));
    return false;
  }
  KZ_TSdata fresh;
  if (!fresh.Alloc(n, static_cast<int>(records), false, nullptr)) {
    Warn(plat::Format("%s: not enough memory for %lld records.", path.c_str(), records));
    return false;
  }
  fresh.m_tStart = start;
  for (int c = 0; c < n; ++c) {
    CopyText(fresh.m_pChannel[c].szName, sizeof(fresh.m_pChannel[c].szName), names[c]);
    fresh.m_pChannel[c].dScale = le::GetF64(&factors[8 * (c + 1)]);
  }
  std::vector<unsigned char> rec(static_cast<std::size_t>(recordSize));
  int count = 0;
  for (; count < records && f.Read(rec.data(), rec.size()) == rec.size(); ++count) {
    fresh.m_pTime[count] = le::GetF64(rec.data()) * timeFactor * 1000;
    for (int c = 0; c < n; ++c) fresh.m_ppData[c][count] = le::GetI16(&rec[8 + 2 * c]);
  }
  f.Close();
  fresh.m_nSamples = count;
  for (int c = 0; c < n; ++c) SetKVChannelDefaults(fresh, c, false);
  fresh.SetDefaultColours();
  fresh.m_strTitle = m_strTitle;
  Swap(fresh);
  return true;
}

bool KZ_TSdata::ReadRaw(const std::string& path, std::int64_t* first, std::int64_t* last) {
  if (m_pFile) m_pFile.reset();
  plat::File f;
  if (!f.Open(path, "rb")) return false;
  const long long length = f.GetLength();
  unsigned char magic[4] = {};
  if (f.Read(magic, 4) != 4 || std::memcmp(magic, "DLV", 3) != 0) {
    Warn(plat::Format("%s is not a DLV file: it does not begin with \"DLV\".", path.c_str()));
    return false;
  }
  const char version = static_cast<char>(magic[3]);
  const bool oldHead = version == 'O' || version == 'R';
  const bool wide = version == '2';
  unsigned char head[10];
  const std::size_t headBytes = oldHead ? 6 : 10;
  if (f.Read(head, headBytes) != headBytes) {
    Warn(plat::Format("%s ends inside its head.", path.c_str()));
    return false;
  }
  std::int64_t start = oldHead ? le::GetI32(head) : le::GetI64(head);
  if (start < 0) start = 0;
  const int n = le::GetI16(head + (oldHead ? 4 : 8));
  const long long channelBytes = oldHead ? 36 : 44;
  // The channel count comes from the file: it must be positive and its records must fit.
  if (n < 1 || 4 + static_cast<long long>(headBytes) + n * channelBytes > length) {
    Warn(plat::Format("%s: its channel count %d does not fit the file.", path.c_str(), n));
    return false;
  }
  const long long recordSize = 4 + static_cast<long long>(n) * (wide ? 4 : 2);
  const long long estimate = (length - (oldHead ? 8 : 10)) / recordSize - 1;
  std::int64_t lo = first ? *first : 0, hi = last ? *last : estimate;
  hi = std::min<std::int64_t>(hi, estimate);
  if (hi <= lo) {
    lo = 0;
    hi = estimate;
  }
  if (first) *first = lo;
  if (last) *last = hi;
  // At least two records of room, so that the halving below always has room to work in.
  const long long planned = std::clamp<long long>(hi - lo, 2, INT_MAX - 64);

  KZ_TSdata fresh;
  if (!fresh.Alloc(n, static_cast<int>(planned + 32), false, nullptr)) {
    plat::AfxMessageBox("Failed to allocate memory! Try Pemlix_NI.exe", MB_OK);
    return false;
  }
  fresh.m_tStart = start;
  std::vector<unsigned char> ch(static_cast<std::size_t>(channelBytes));
  for (int c = 0; c < n; ++c) {
    if (f.Read(ch.data(), ch.size()) != ch.size()) {
      Warn(plat::Format("%s ends inside its channel records.", path.c_str()));
      return false;
    }
    KZ_TSchannel& r = fresh.m_pChannel[c];
    std::memset(static_cast<void*>(&r), 0, sizeof(r));
    std::memcpy(r.szName, ch.data(), 32);  // 32 bytes, not always terminated; the record has room
    if (oldHead) {
      r.dScale = le::GetF32(&ch[32]);
    } else {
      r.dScale = le::GetF64(&ch[32]);
      r.fOffset = le::GetF32(&ch[40]);
    }
    r.fPlotD = 1;
  }
  f.Seek(lo * recordSize, SEEK_CUR);

  std::vector<unsigned char> rec(static_cast<std::size_t>(recordSize));
  int count = 0;
  if (wide) {
    std::uint32_t previousRaw = 0;
    while (f.Read(rec.data(), rec.size()) == rec.size()) {
      const std::uint32_t raw = le::GetU32(rec.data());
      fresh.m_pTime[count] = count > 0 && raw <= previousRaw ? fresh.m_pTime[count - 1] + 0.1 : raw;
      previousRaw = raw;
      for (int c = 0; c < n; ++c) fresh.m_ppData[c][count] = le::GetI32(&rec[4 + 4 * c]);
      ++count;
      if (count >= planned) {
        // Full: keep every second record, so a long file is sampled ever more coarsely
        // toward its beginning instead of overflowing.
        for (int k = 1; k < count / 2; ++k) {
          fresh.m_pTime[k] = fresh.m_pTime[2 * k];
          for (int c = 0; c < n; ++c) fresh.m_ppData[c][k] = fresh.m_ppData[c][2 * k];
        }
        count = std::max(count / 2, 1);
      }
    }
  } else {
    while (count < planned && f.Read(rec.data(), rec.size()) == rec.size()) {
      fresh.m_pTime[count] = le::GetU32(rec.data());
      for (int c = 0; c < n; ++c) fresh.m_ppData[c][count] = le::GetI16(&rec[4 + 2 * c]);
      ++count;
    }
  }
  f.Close();
  fresh.m_nSamples = count;
  if (version == 'R') {
    // This acquisition layout has channels 5 and 6 exchanged and the later ones inverted.
    if (n >= 6)
      for (int i = 0; i < count; ++i) std::swap(fresh.m_ppData[4][i], fresh.m_ppData[5][i]);
    for (int c = 4; c < n; ++c) fresh.m_pChannel[c].dScale = -fresh.m_pChannel[c].dScale;
  }
  for (int c = 0; c < n; ++c) {
    KZ_TSchannel& r = fresh.m_pChannel[c];
    float max = 0, min = 0;
    fresh.GetRange(c, &max, &min);
    const char* name = r.szName;
    r.fPlotA = std::strstr(name, "Strain") ? 5000.0f
               : std::strstr(name, "Disp") ? 600.0f
               : std::strstr(name, "AE#")  ? 10000.0f
                                           : 100.0f;
    r.fPlotMin = min;
    r.fPlotMax = max;
    r.nEnabled = 1;
    r.nPlot = 1;
    r.fInMin = -1;
    r.fInMax = 1;
    r.fBase = 0;
    r.dVoltsPerCount = std::strstr(name, "AE#") ? 1.0 : (r.fInMax - r.fInMin) / 65536.0;
    r.fGain = static_cast<float>(r.dScale / r.dVoltsPerCount);
    r.fPlotB = 0;
    r.fPlotC = 1;
    r.fPlotD = 1;
  }
  fresh.SetDefaultColours();
  fresh.m_strTitle = m_strTitle;
  Swap(fresh);
  return true;
}

bool KZ_TSdata::WriteKVText(const std::string& path, double t0, double t1) const {
  plat::File f;
  if (!f.Open(path, "wt")) return false;
  int begin = 0;
  while (begin < m_nSamples && !(m_pTime[begin] >= t0)) ++begin;
  int end = begin;
  while (end < m_nSamples && m_pTime[end] <= t1) ++end;
  const std::tm t = StartTime();
  f.Printf("KVDATA02 Stress-Strain data. from %s\n", m_strTitle.c_str());
  f.Printf("START_TIME: %04d/%02d/%02d %02d:%02d:%02d\n", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
           t.tm_hour, t.tm_min, t.tm_sec);
  f.Printf("SAMPLES %d\n", end - begin);
  std::string names = "Time(sec)", factors = "1.0";
  for (int c = 0; c < m_nChannels; ++c) {
    if (!m_pChannel[c].nPlot) continue;
    names += ' ';
    names.append(m_pChannel[c].szName, strnlen(m_pChannel[c].szName, sizeof(m_pChannel[c].szName)));
    factors += " 1.0";
  }
  f.Puts(names + "\n" + factors + "\n");
  for (int i = begin; i < end; ++i) {
    std::string row = plat::Format("%10.4lf", m_pTime[i] * 0.001);
    for (int c = 0; c < m_nChannels; ++c)
      if (m_pChannel[c].nPlot) row += plat::Format(" %f", Value(c, i, true));
    f.Puts(row + "\n");
  }
  f.Close();
  return true;
}
