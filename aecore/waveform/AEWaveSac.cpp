#include "aecore/waveform/AEWaveSac.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/types/KZ_TextParse.h"
#include "aecore/waveform/KZ_WaveDate.h"
#include "base/util/KZ_DateTime.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace {

// A calendar time to the millisecond.
struct SacTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, msec = 0;  // msec of the minute
  int Second() const { return msec / 1000; }
  int Milli() const { return msec % 1000; }
};

// The Julian day rounded to the millisecond first, so that a time just below a whole
// second never gives 1000 milliseconds: the carry reaches the second, minute and date.
SacTime TimeOf(double jd, float tz) {
  const double ms = std::floor(jd * 86400000.0 + 0.5);
  SacTime t;
  float sec = 0.0f;
  KZ_CalendarFromJulianDay(ms / 86400000.0, &t.year, &t.month, &t.day, &t.hour, &t.minute, &sec,
                           tz);
  t.msec = static_cast<int>(std::floor(static_cast<double>(sec) * 1000.0 + 0.5));
  if (t.msec >= 60000) {
    KZ_CalendarFromJulianDay((ms + 1.0) / 86400000.0, &t.year, &t.month, &t.day, &t.hour, &t.minute,
                             &sec, tz);
    t.msec = static_cast<int>(std::floor(static_cast<double>(sec) * 1000.0));
  }
  return t;
}

void SetTime(KZ_SacHeader& h, const SacTime& t) {
  h.n[KZ_SacHeader::NZYEAR] = t.year;
  h.n[KZ_SacHeader::NZJDAY] = KZ_DayOfYear(t.year, t.month, t.day);
  h.n[KZ_SacHeader::NZHOUR] = t.hour;
  h.n[KZ_SacHeader::NZMIN] = t.minute;
  h.n[KZ_SacHeader::NZSEC] = t.Second();
  h.n[KZ_SacHeader::NZMSEC] = t.Milli();
}

std::string EventName(const SacTime& t) {
  return plat::Format("%04d_%02d_%02d_%02d_%02d_%05d", t.year, t.month, t.day, t.hour, t.minute,
                      t.msec);
}

// Julian day of the record's start: its date (either form), whole seconds and
// microseconds.
double RecordJulianDay(const KZ_WaveHeader& h) { return KZ_WaveHeaderJulianDay(h, true); }

// The trace's three-character channel code, blank-padded.
std::string ChannelCode(const KZ_WaveTrace& t) {
  char code[4];
  KZ_CopyPadded(code, t.m_szGseChannel, 3);
  return code;
}

std::string Trimmed(std::string s);

// The component is the third character of the code, or its last of a shorter code.
char Component(const std::string& padded) {
  const std::string code = Trimmed(padded);
  return code.size() >= 3 ? code[2] : code.empty() ? ' ' : code.back();
}

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void SetOrientation(KZ_SacHeader& h, const std::string& code) {
  switch (Component(code)) {
    case 'Z':
      h.f[KZ_SacHeader::CMPINC] = -90.0f;
      h.f[KZ_SacHeader::CMPAZ] = 0.0f;
      break;
    case 'N':
      h.f[KZ_SacHeader::CMPINC] = 0.0f;
      h.f[KZ_SacHeader::CMPAZ] = 0.0f;
      break;
    case 'E':
      h.f[KZ_SacHeader::CMPINC] = 0.0f;
      h.f[KZ_SacHeader::CMPAZ] = 90.0f;
      break;
    default:
      break;
  }
}

void Report(const char* what, const std::string& path) {
  std::fprintf(stderr, "Error in %s for writing %s\n", what, path.c_str());
}

// Header and `npts` samples (x scale, zeros past `have`) appended to `out`.
void Append(std::vector<std::uint8_t>& out, const KZ_SacHeader& h, const float* x, int have,
            int npts, float scale) {
  const std::size_t at = out.size();
  out.resize(at + KZ_SacHeader::kBytes + 4 * static_cast<std::size_t>(std::max(npts, 0)), 0);
  h.Encode(out.data() + at);
  std::uint8_t* p = out.data() + at + KZ_SacHeader::kBytes;
  for (int i = 0; i < npts; ++i, p += 4) le::PutF32(p, i < have ? x[i] * scale : 0.0f);
}

// Writes the bytes of a ".sacs" file whose count in front is already set.
bool WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  plat::File f;
  if (!f.Open(path, "wb")) {
    Report("opening file", path);
    return false;
  }
  if (f.Write(bytes.data(), bytes.size()) != bytes.size() || !f.Flush()) {
    Report("writing SAC data", path);
    return false;
  }
  return true;
}

}  // namespace

void InitSACHeader(KZ_SacHeader& h, float delta, int npts, float b) {
  h = KZ_SacHeader();
  h.n[KZ_SacHeader::NVHDR] = 6;
  h.n[KZ_SacHeader::IFTYPE] = 1;
  h.n[KZ_SacHeader::IZTYPE] = 11;
  h.n[KZ_SacHeader::LEVEN] = 1;
  h.f[KZ_SacHeader::DELTA] = delta;
  h.f[KZ_SacHeader::B] = b;
  h.n[KZ_SacHeader::NPTS] = npts;
  h.f[KZ_SacHeader::E] = b + static_cast<float>(npts - 1) * delta;
  h.f[KZ_SacHeader::O] = 0.0f;
}

int WriteSAC(const std::string& path, const KZ_SacHeader& h, const float* samples, float scale) {
  const int npts = std::max(h.n[KZ_SacHeader::NPTS], 0);
  plat::File f;
  if (!f.Open(path, "wb")) {
    Report("opening file", path);
    return -1;
  }
  std::uint8_t head[KZ_SacHeader::kBytes];
  h.Encode(head);
  if (f.Write(head, sizeof head) != sizeof head) {
    Report("writing SAC header", path);
    return -1;
  }
  std::vector<std::uint8_t> data;
  try {
    data.resize(4 * static_cast<std::size_t>(npts));
  } catch (const std::bad_alloc&) {
    Report("allocating memory", path);
    return -1;
  }
  for (int i = 0; i < npts; ++i) le::PutF32(data.data() + 4 * i, samples[i] * scale);
  if (f.Write(data.data(), data.size()) != data.size() || !f.Flush()) {
    Report("writing SAC data", path);
    return -1;
  }
  plat::NoteFolderChanged(path);
  return 0;
}

int ExportSAC(const std::string& folder, KZ_WaveData& w, int first, int count, int channel) {
  if (w.Count() == 0 || first < 0) return 0;
  const double dt0 = w.GetTrace(0)->m_fInterval;
  const SacTime start = TimeOf(RecordJulianDay(w.m_header) + first * dt0 / 86400.0, w.m_fRefOffset);
  const std::string date = plat::Format("%04d%02d%02d", start.year, start.month, start.day);
  const bool inDateFolder = folder.find(date) != std::string::npos;
  const std::string evName = EventName(start);
  int exported = 0;
  for (int i = 0; i < w.Count(); ++i) {
    if (channel >= 0 && i != channel) continue;
    KZ_WaveTrace& t = *w.GetTrace(i);
    if (!t.GetHeader()) {
      auto h = std::make_unique<KZ_SacHeader>();
      InitSACHeader(*h, static_cast<float>(t.m_fInterval), t.m_n, static_cast<float>(t.m_fDelay));
      t.AttachSacHeader(std::move(h));
    }
    KZ_SacHeader& h = *t.GetHeader();
    // The length comes from the trace and the request, never from an earlier export.
    const int left = std::max(t.m_n - first, 0);
    const int npts = count < 1 ? left : std::min(count, left);
    const float dt = h.f[KZ_SacHeader::DELTA];
    h.n[KZ_SacHeader::IDEP] = 7;
    h.n[KZ_SacHeader::NPTS] = npts;
    h.f[KZ_SacHeader::B] = 0.0f;
    h.f[KZ_SacHeader::E] = static_cast<float>(npts - 1) * dt;
    h.f[KZ_SacHeader::T1] = h.f[KZ_SacHeader::T2] = static_cast<float>(t.m_nPick) * dt;
    SetTime(h, start);
    h.f[KZ_SacHeader::EVLO] = static_cast<float>(t.m_fSource[0]);
    h.f[KZ_SacHeader::EVLA] = static_cast<float>(t.m_fSource[1]);
    h.f[KZ_SacHeader::EVDP] = static_cast<float>(t.m_fSource[2]);
    h.f[KZ_SacHeader::USER0] = static_cast<float>(t.m_fDescale);
    const std::string code = ChannelCode(t);
    SetOrientation(h, code);
    const std::string name = plat::Format("%02d", i + 1);
    const std::string file = inDateFolder
                                 ? folder + name + "." + Trimmed(code) + ".sac"
                                 : folder + evName + "_" + name + "_" + Trimmed(code) + ".sac";
    if (WriteSAC(file, h, t.m_pData.data() + std::min(first, t.m_n),
                 static_cast<float>(t.m_fDescale * 1000000.0)) == 0)
      ++exported;
  }
  return exported / 3;
}

int ExportEventSACs(const std::string& path, KZ_WaveData& w, int first, int count, int selection,
                    int overwrite, int subfolder) {
  if (w.Count() == 0 || first < 0) return -1;
  const KZ_WaveTrace& t0 = *w.GetTrace(0);
  // A trace without a SAC header counts in its own interval.
  const double dt0 = t0.GetHeader() ? t0.GetHeader()->f[KZ_SacHeader::DELTA] : t0.m_fInterval;
  SacTime when;
  const char* marker = std::strstr(w.m_header.szComments, "ML-event:");
  if (marker) {
    int y = 0, mo = 0, d = 0, hh = 0, mi = 0;
    float sec = 0.0f;
    std::sscanf(marker + 9, "%4d/%2d/%2d %2d:%2d:%f", &y, &mo, &d, &hh, &mi, &sec);
    when = TimeOf(KZ_JulianDay(y, mo, d, hh, mi, sec, 0.0f), 0.0f);
  } else {
    when = TimeOf(RecordJulianDay(w.m_header) + first * dt0 / 86400.0, 0.0f);
  }
  if (count < 1) {
    count = 0;
    for (const auto& t : w.m_traces) count = std::max(count, t->m_n - first);
  }

  std::string file;
  if (path.find(".sacs", 1) != std::string::npos && !path.empty()) {
    file = path;
  } else {
    std::string name = EventName(when);
    if (selection == -2) {
      std::string cc;
      for (const auto& t : w.m_traces) {
        cc = t->GetHeader() ? t->GetHeader()->EventName() : std::string();
        if (cc.find("CC") != std::string::npos) break;
      }
      name += "_" + cc;
    } else {
      const KZ_SacHeader* h = t0.GetHeader();
      if (h && h->f[KZ_SacHeader::USER0] > 0.0f)
        name += plat::Format("_M%.1f", h->f[KZ_SacHeader::USER0]);
    }
    if (subfolder) {
      const std::string dir = path + name + "/";
      if (!plat::FolderExists(dir)) plat::CreateFolder(dir);
      file = dir + name + ".sacs";
    } else {
      file = path + name + ".sacs";
    }
  }
  if (!overwrite && plat::FileExists(file)) return 0;

  std::vector<std::uint8_t> out(4, 0);
  int written = 0;
  for (int i = 0; i < w.Count(); ++i) {
    if (selection >= 0 && i != selection) continue;
    const KZ_WaveTrace& t = *w.GetTrace(i);
    if (t.m_n - first < 10) continue;
    KZ_SacHeader h;
    if (t.GetHeader()) {
      h = *t.GetHeader();
      if (selection == -2 && h.EventName().find("CC") == std::string::npos) continue;
    } else {
      if (selection == -2) continue;
      InitSACHeader(h, static_cast<float>(t.m_fInterval), t.m_n, static_cast<float>(t.m_fDelay));
      h.n[KZ_SacHeader::IDEP] = 7;
    }
    const float dt = h.f[KZ_SacHeader::DELTA];
    h.n[KZ_SacHeader::NPTS] = count;
    h.f[KZ_SacHeader::O] += static_cast<float>(first) * dt;
    h.f[KZ_SacHeader::E] = h.f[KZ_SacHeader::B] + static_cast<float>(count - 1) * dt;
    const float pick = h.f[KZ_SacHeader::B] + static_cast<float>(t.m_nPick) * dt;
    if (!(h.f[KZ_SacHeader::T1] > 0.0f)) h.f[KZ_SacHeader::T1] = pick;
    if (!(h.f[KZ_SacHeader::T2] > 0.0f)) h.f[KZ_SacHeader::T2] = pick;
    SetTime(h, when);
    SetOrientation(h, ChannelCode(t));
    Append(out, h, t.m_pData.data() + first, t.m_n - first, count,
           static_cast<float>(t.m_fDescale * 1000000.0));
    ++written;
  }
  le::PutI32(out.data(), written);
  if (!WriteAll(file, out)) return -1;
  plat::NoteFolderChanged(file);
  return 0;
}

int WriteSACStack(const std::string& path, const float* const* rows, const char* const* labels,
                  int nRows, int firstColumn, int columns, float delta, double julianDay) {
  if (nRows < 0 || columns < 0 || firstColumn < 0) return -1;
  const SacTime when = TimeOf(julianDay, 0.0f);
  KZ_SacHeader h;
  InitSACHeader(h, 0.0f, 0, 0.0f);
  std::vector<std::uint8_t> out(4, 0);
  le::PutI32(out.data(), nRows);
  for (int r = 0; r < nRows; ++r) {
    h.f[KZ_SacHeader::DELTA] = delta;
    h.f[KZ_SacHeader::B] = 0.0f;
    h.f[KZ_SacHeader::E] = static_cast<float>(columns - 1) * delta;
    h.n[KZ_SacHeader::NPTS] = columns;
    SetTime(h, when);
    const std::string label = labels && labels[r] ? labels[r] : "";
    const std::size_t sta = label.size() == 8 ? 3 : label.size() == 9 ? 4 : 5;
    auto part = [&](std::size_t from, std::size_t n) {
      return from < label.size() ? label.substr(from, n) : std::string();
    };
    h.SetText(KZ_SacHeader::KNETWK, part(0, 2));
    h.SetText(KZ_SacHeader::KSTNM, part(2, sta));
    h.SetText(KZ_SacHeader::KCMPNM, part(2 + sta, 3));
    Append(out, h, rows[r] + firstColumn, columns, columns, 1000000.0f);
  }
  if (!WriteAll(path, out)) return -1;
  plat::NoteFolderChanged(path);
  return 0;
}
