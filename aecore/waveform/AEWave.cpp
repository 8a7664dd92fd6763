#include "aecore/waveform/AEWave.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "aecore/waveform/AEWaveReaders.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

std::string LastComponent(const std::string& folderWithoutSep) {
  std::size_t s = folderWithoutSep.find_last_of("/\\");
  return s == std::string::npos ? folderWithoutSep : folderWithoutSep.substr(s + 1);
}

void ReadI16Block(plat::File& f, std::int16_t* dst, std::size_t count, bool* complete) {
  std::vector<std::uint8_t> raw(count * 2);
  if (!AEW_ReadOrZero(f, raw.data(), raw.size())) *complete = false;
  for (std::size_t i = 0; i < count; ++i) dst[i] = le::GetI16(raw.data() + 2 * i);
}

void ReadF32Block(plat::File& f, float* dst, std::size_t count, bool* complete) {
  std::vector<std::uint8_t> raw(count * 4);
  if (!AEW_ReadOrZero(f, raw.data(), raw.size())) *complete = false;
  for (std::size_t i = 0; i < count; ++i) dst[i] = le::GetF32(raw.data() + 4 * i);
}

bool WriteI16Block(plat::File& f, const std::int16_t* src, std::size_t count) {
  std::vector<std::uint8_t> raw(count * 2);
  for (std::size_t i = 0; i < count; ++i) le::PutI16(raw.data() + 2 * i, src[i]);
  return f.Write(raw.data(), raw.size()) == raw.size();
}

bool WriteF32Block(plat::File& f, const float* src, std::size_t count) {
  std::vector<std::uint8_t> raw(count * 4);
  for (std::size_t i = 0; i < count; ++i) le::PutF32(raw.data() + 4 * i, src[i]);
  return f.Write(raw.data(), raw.size()) == raw.size();
}

// Every pick field of the first `channels` cleared, the gains set to `gain`.
void ClearPicks(CAEWave& w, int channels, float gain) {
  for (int c = 0; c < channels; ++c) {
    w.m_pPickTime[c] = w.m_pPickAmp[c] = w.m_pPickSN[c] = 0.0f;
    w.m_pPolarity[c] = 0;
    w.m_pSpareA[c] = w.m_pSpareB[c] = 0.0f;
    w.m_pSpareFlag[c] = 0;
    w.m_pSensor[c] = c;
    w.m_pGain[c] = gain;
  }
}

}  // namespace

bool AEW_ReadOrZero(plat::File& f, void* dst, std::size_t bytes) {
  std::size_t got = f.Read(dst, bytes);
  if (got < bytes) std::memset(static_cast<char*>(dst) + got, 0, bytes - got);
  return got == bytes;
}

bool AEW_CountsAreSane(const std::string& path, int channels, int samples) {
  if (channels >= 1 && channels <= AEW_MAX_CHANNELS && samples >= 1) return true;
  plat::AfxMessageBox(
      plat::Format("%s: %d channels of %d samples; the file is damaged and is not loaded.",
                   path.c_str(), channels, samples),
      MB_ICONHAND);
  return false;
}

void AEW_ReportShort(const std::string& path) {
  plat::AfxMessageBox(path + " is shorter than its header says; the missing values are set to 0.",
                      MB_ICONEXCLAMATION);
}

void AEW_SetCalendar(AEWHeader& h, double julianDay) {
  int y, mo, d, hh, mi;
  float sec;
  KZ_CalendarFromJulianDay(julianDay, &y, &mo, &d, &hh, &mi, &sec, 0.0f);
  h.nYear = static_cast<std::int16_t>(y);
  h.nMonth = static_cast<std::int16_t>(mo);
  h.nDay = static_cast<std::int16_t>(d);
  h.nHour = static_cast<std::int16_t>(hh);
  h.nMinute = static_cast<std::int16_t>(mi);
  h.nSecond = static_cast<std::int16_t>(sec);
}

int AEW_EventNumberOfPath(const std::string& path, int suffixLength) {
  if (static_cast<int>(path.size()) < suffixLength + 6) return -1;
  std::string digits = path.substr(path.size() - suffixLength - 6, 6);
  int v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

CAEWave::CAEWave()
    : m_pHeader(std::make_unique<AEWHeader>()),
      m_pAic(AEW_WORK_SIZE, 0.0),
      m_pSpectrum(AEW_WORK_SIZE, 0.0),
      m_pSeries(std::make_unique<KZ_Ary_>(AEW_WORK_SIZE)),
      m_pCoef(std::make_unique<KZ_Ary_>(50)),
      m_pErrNoise(std::make_unique<KZ_Ary_>(AEW_WORK_SIZE)),
      m_pErrSignal(std::make_unique<KZ_Ary_>(AEW_WORK_SIZE)),
      m_pDither(AEW_WORK_SIZE, 0.0f) {
  std::memset(m_pHeader.get(), 0, sizeof(AEWHeader));
  FillDither();
}

CAEWave::~CAEWave() = default;

int CAEWave::Save() { return SaveAs(m_strPath); }

bool CAEWave::Allocate(int channels, int samples, std::int16_t rate) {
  AEWHeader& h = *m_pHeader;
  std::memcpy(h.szMagic, "AEWAVE04", 8);
  std::memset(h.szName, 0, 8);
  std::memcpy(h.szName, m_strName.c_str(), std::min<std::size_t>(m_strName.size() + 1, 8));
  h.nMin = -30000;
  h.nMax = 30000;
  h.nBits = 12;
  h.nChannels = static_cast<std::int16_t>(channels);
  h.nSamples = static_cast<std::int16_t>(samples);
  h.nRate = rate;
  const std::size_t c = static_cast<std::size_t>(std::max(channels, 0));
  m_pSamples.assign(c * static_cast<std::size_t>(std::max(samples, 0)), 0);
  m_pPickTime.assign(c, 0.0f);
  m_pPickAmp.assign(c, 0.0f);
  m_pPickSN.assign(c, 0.0f);
  m_pSpareA.assign(c, 0.0f);
  m_pSpareB.assign(c, 0.0f);
  m_pPickRise.assign(c, 0.0f);
  m_pPolarity.assign(c, 0);
  m_pSpareFlag.assign(c, 0);
  m_pGain.assign(c, 1.0f);
  m_pSensor.resize(c);
  m_pArrival.resize(c);
  for (std::size_t i = 0; i < c; ++i) m_pSensor[i] = m_pArrival[i] = static_cast<std::int32_t>(i);
  return true;
}

void CAEWave::UpdateRange() {
  if (m_pSamples.empty()) return;
  auto [lo, hi] = std::minmax_element(m_pSamples.begin(), m_pSamples.end());
  m_pHeader->nMin = *lo;
  m_pHeader->nMax = *hi;
}

void CAEWave::SetFileSet(const std::string& name, const std::string& folder, int event,
                         int fileNo) {
  m_strName = name;
  m_strFolder = folder;
  m_nEvent = event;
  m_nFileNo = fileNo;
  // The field holds 8 bytes: a longer name is cut, one of 8 fills it without terminator.
  std::memset(m_pHeader->szName, 0, 8);
  std::memcpy(m_pHeader->szName, name.c_str(), std::min<std::size_t>(name.size() + 1, 8));
}

std::string CAEWave::GetStartTimeText() const {
  const AEWHeader& h = *m_pHeader;
  return plat::Format("%4d/%2d/%2d %2d:%2d:%2d", h.nYear, h.nMonth, h.nDay, h.nHour, h.nMinute,
                      h.nSecond);
}

bool CAEWave::CanWrite() const {
  const std::size_t c = static_cast<std::size_t>(std::max(GetNumChannels(), 0));
  const std::size_t n = static_cast<std::size_t>(std::max<int>(m_pHeader->nSamples, 0));
  const bool ok = m_pSamples.size() >= c * n && m_pPickTime.size() >= c && m_pPickAmp.size() >= c &&
                  m_pPickSN.size() >= c && m_pSpareA.size() >= c && m_pSpareB.size() >= c &&
                  m_pPolarity.size() >= c && m_pSpareFlag.size() >= c && m_pGain.size() >= c &&
                  m_pArrival.size() >= c;
  if (!ok) plat::AfxMessageBox("Save file failed!!", MB_ICONHAND);
  return ok;
}

int CAEWave::SaveAs(const std::string& path) {
  if (!CanWrite()) return 0;
  plat::File f;
  if (!f.Open(path, "wb")) {
    plat::AfxMessageBox("Save file failed!!", MB_ICONHAND);
    return 0;
  }
  AEWHeader& h = *m_pHeader;
  std::memcpy(h.szMagic, "AEWAVE05", 8);
  const int n = h.nSamples;
  const int channels = std::max<int>(h.nChannels, 0);
  // Blocks of a multiple of 1024 samples end in 24 samples the recorder never filled.
  const int stored = (n > 0 && n % 1024 == 0) ? n - 24 : std::max(n, 0);
  h.nSamples = static_cast<std::int16_t>(stored);
  std::uint8_t image[AEW_HEADER_BYTES];
  AEW_EncodeHeader(h, image);
  h.nSamples = static_cast<std::int16_t>(n);
  bool ok = f.Write(image, AEW_FILE_HEADER_BYTES) == AEW_FILE_HEADER_BYTES;
  for (int c = 0; c < channels && ok; ++c)
    ok = WriteI16Block(f, m_pSamples.data() + static_cast<std::size_t>(c) * n, stored);
  const std::size_t cc = static_cast<std::size_t>(channels);
  ok = ok && WriteF32Block(f, m_pPickTime.data(), cc) && WriteF32Block(f, m_pPickSN.data(), cc) &&
       WriteI16Block(f, m_pPolarity.data(), cc) && WriteF32Block(f, m_pSpareA.data(), cc) &&
       WriteF32Block(f, m_pSpareB.data(), cc) && WriteI16Block(f, m_pSpareFlag.data(), cc) &&
       WriteF32Block(f, m_pGain.data(), cc) && f.Flush();
  f.Close();
  plat::NoteFolderChanged(path);
  if (!ok) {
    plat::AfxMessageBox("Save file failed!!", MB_ICONHAND);
    return 0;
  }
  return 1;
}

int CAEWave::ReadSamples(const std::string& path, std::int16_t* buffer) {
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const long long len = f.GetLength();
  f.Seek((len & 1) ? 63 : 64, SEEK_SET);
  bool complete = true;
  ReadI16Block(f, buffer,
               static_cast<std::size_t>(std::max(0, GetNumChannels() * m_pHeader->nSamples)),
               &complete);
  if (!complete) AEW_ReportShort(path);
  return 1;
}

int CAEWave::Load(const std::string& path) {
  if (KZ_HasSuffix(path, "AEW")) return LoadAew01(path);
  if (m_strFolder.empty()) {
    long keep = static_cast<long>(path.size()) - 13;
    m_strFolder =
        m_strPath.substr(0, static_cast<std::size_t>(std::clamp<long>(keep, 0, m_strPath.size())));
    if (m_strFolder.empty() || m_strFolder.back() != '.') m_strFolder += ".";
  }
  return ReadNumbered(path);
}

int CAEWave::ReadNumbered(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const long long len = f.GetLength();
  const bool odd = (len & 1) != 0;
  const int magic = odd ? 7 : 8;
  std::uint8_t image[AEW_HEADER_BYTES] = {};
  if (f.Read(image, magic) != static_cast<std::size_t>(magic) || f.Read(image + 8, 56) != 56) {
    plat::AfxMessageBox(path + " is too short for an event file and is not loaded.", MB_ICONHAND);
    return 0;
  }
  AEWHeader h;
  AEW_DecodeHeader(image, &h);
  h.nEvent = h.nEvent16;
  if (!AEW_CountsAreSane(path, h.nChannels, h.nSamples)) return 0;
  if (h.nChannels != m_pHeader->nChannels || h.nSamples != m_pHeader->nSamples ||
      m_pSamples.empty())
    Allocate(h.nChannels, h.nSamples, h.nRate);
  *m_pHeader = h;
  bool complete = true;
  const int channels = h.nChannels;
  ReadI16Block(f, m_pSamples.data(), m_pSamples.size(), &complete);
  UpdateRange();
  m_strPath = path;
  int number = AEW_EventNumberOfPath(path, 4);
  if (number >= 0) m_nEvent = number;
  m_nSaveState = 2;
  ClearPicks(*this, channels, 1.0f);
  // A 7-byte magic carries no version: such files come from recorders without picks.
  const char version = odd ? '0' : static_cast<char>(image[7]);
  const std::size_t cc = static_cast<std::size_t>(channels);
  if (complete && version >= '3') {
    ReadF32Block(f, m_pPickTime.data(), cc, &complete);
    ReadF32Block(f, m_pPickSN.data(), cc, &complete);
    ReadI16Block(f, m_pPolarity.data(), cc, &complete);
    ReadF32Block(f, m_pSpareA.data(), cc, &complete);
    ReadF32Block(f, m_pSpareB.data(), cc, &complete);
    ReadI16Block(f, m_pSpareFlag.data(), cc, &complete);
  }
  if (complete && version >= '5') {
    std::vector<float> gain(cc);
    ReadF32Block(f, gain.data(), cc, &complete);
    if (complete) m_pGain = gain;
  }
  if (!complete) AEW_ReportShort(path);
  return 1;
}

int CAEWave::LoadAew01(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  std::uint8_t head[108];
  if (f.Read(head, sizeof head) != sizeof head) {
    plat::AfxMessageBox(path + " is too short for an .aew file and is not loaded.", MB_ICONHAND);
    return 0;
  }
  const int event = le::GetI32(head);
  const int channels = le::GetI16(head + 4);
  const int samples = le::GetI16(head + 6);
  const std::int16_t rate = le::GetI16(head + 8);
  if (!AEW_CountsAreSane(path, channels, samples)) return 0;
  if (channels != m_pHeader->nChannels || samples != m_pHeader->nSamples || m_pSamples.empty())
    Allocate(channels, samples, rate);
  AEWHeader& h = *m_pHeader;
  std::memcpy(h.szMagic, "AEW01\0\0\0", 8);
  std::memcpy(h.szName, "-----\0\0\0", 8);
  h.nReserved16 = 0;
  h.fScale = 1.0f;
  // The full 16-bit range, both ends representable.
  h.nMin = -32767;
  h.nMax = 32767;
  h.nReserved28 = 0;
  h.nSec = le::GetI32(head + 18);
  h.nUsec = le::GetI32(head + 22);
  h.nBits = 16;
  h.nSamples = static_cast<std::int16_t>(samples);
  h.nRate = 20;
  h.nStatus = le::GetI16(head + 26);
  h.nEvent = event;
  h.nEvent16 = static_cast<std::uint16_t>(event);
  h.nChannels = static_cast<std::int16_t>(channels);
  AEW_SetCalendar(h, le::GetF64(head + 10));
  bool complete = true;
  for (int c = 0; c < channels; ++c) {
    std::uint8_t block[36];
    if (!AEW_ReadOrZero(f, block, sizeof block)) complete = false;
    m_pPickTime[c] = le::GetF32(block + 18);
    m_pPickSN[c] = le::GetF32(block + 26);
    m_pPolarity[c] = le::GetI16(block + 30);
    m_pGain[c] = le::GetF32(block + 32);
    m_pSpareA[c] = m_pSpareB[c] = 0.0f;
    m_pSpareFlag[c] = 0;
    ReadI16Block(f, m_pSamples.data() + static_cast<std::size_t>(c) * samples, samples, &complete);
  }
  if (!complete) AEW_ReportShort(path);
  m_strPath = path;
  return 1;
}

int CAEWave::LoadOld(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  const bool odd = (f.GetLength() & 1) != 0;
  std::uint8_t head[56] = {};
  const std::size_t headBytes = odd ? 55 : 56;
  if (f.Read(head + (odd ? 1 : 0), headBytes) != headBytes) {
    plat::AfxMessageBox(path + " is too short for an event file and is not loaded.", MB_ICONHAND);
    return 0;
  }
  const int channels = le::GetI16(head + 34);
  const int bits = le::GetI16(head + 36);
  const int samples = le::GetI16(head + 38);
  if (!AEW_CountsAreSane(path, channels, samples)) return 0;
  if (bits < 1 || bits > 16) {
    plat::AfxMessageBox(
        plat::Format("%s: %d ADC bits; the file is damaged and is not loaded.", path.c_str(), bits),
        MB_ICONHAND);
    return 0;
  }
  std::memset(m_pHeader.get(), 0, sizeof(AEWHeader));
  AEWHeader& h = *m_pHeader;
  std::memcpy(h.szName, head + 8, 8);
  std::int16_t* words[] = {&h.nChannels, &h.nBits, &h.nSamples, &h.nRate,   nullptr,   &h.nYear,
                           &h.nMonth,    &h.nDay,  &h.nHour,    &h.nMinute, &h.nSecond};
  for (int i = 0; i < 11; ++i)
    if (words[i]) *words[i] = le::GetI16(head + 34 + 2 * i);
  h.nEvent16 = le::GetU16(head + 42);
  h.nEvent = h.nEvent16;
  const int half = (1 << bits) / 2;
  Allocate(h.nChannels, h.nSamples, h.nRate);
  h.nBits = static_cast<std::int16_t>(bits);
  h.nMin = static_cast<std::int16_t>(std::max(-half, -32768));
  h.nMax = static_cast<std::int16_t>(std::min(half, 32767));
  h.fScale = 1.0f / half;
  std::vector<std::uint8_t> raw(m_pSamples.size() * 2);
  const std::size_t have = f.Read(raw.data(), raw.size()) / 2;
  // Samples the file lacks are silence, not the unsigned zero (which would read as -half).
  for (std::size_t i = 0; i < m_pSamples.size(); ++i)
    m_pSamples[i] =
        i < have
            ? static_cast<std::int16_t>(static_cast<int>(le::GetU16(raw.data() + 2 * i)) - half)
            : 0;
  if (have < m_pSamples.size()) AEW_ReportShort(path);
  ClearPicks(*this, channels, 1.0f / half);
  return 1;
}

// The name of event i of the current set, built from the current path with "/" and
// without changing the case of what it keeps; the suffix and ".VEL" tests ignore case.
std::string CAEWave::EventPath(int i) const {
  const std::string path = plat::NormalizeSeparators(m_strPath);
  const std::string folder = KZ_GetFolder(path);  // with its trailing separator
  const std::string parent = folder.empty() ? std::string() : folder.substr(0, folder.size() - 1);
  const std::string parentName = LastComponent(parent);
  if (plat::EndsWithNoCase(parentName, ".VEL")) return folder + plat::Format("%06d.vel", i);
  if (KZ_HasSuffix(path, "AEW")) return folder + plat::Format("%06d.aew", i);
  if (KZ_HasSuffix(path, "SG2")) return folder + plat::Format("%06d.sg2", i);
  // Numbered set: <folder>/<name>.<kk>/<iiiiii>.wav with kk = i / 1000.
  std::size_t dot = parentName.rfind('.');
  if (dot != std::string::npos) {
    std::string base = parent.substr(0, parent.size() - parentName.size() + dot + 1);
    return base + plat::Format("%02d/%06d.wav", i / 1000, i);
  }
  return parent + "." + plat::Format("%d/%06d.wav", i / 1000, i);
}

// The file of event i is found whatever the case of its name on disk, and is then known
// (path member, titles, headers) by the name it has there.
int CAEWave::OpenEvent(int event) {
  const std::string path = plat::ResolvePath(EventPath(event));
  if (!plat::FileExists(path)) return 0;
  std::string previous = m_strPath;
  m_strPath = path;
  int r = Load(path);
  if (!r) m_strPath = previous;
  return r;
}

namespace {
// The file names of the folders a step looks in, each folder listed once per step: a
// step past the last event tries thousands of names, and asking the file system for each
// (with its case-insensitive lookup) cost far more than reading the few folders they
// lie in. Only names found here are opened, through the usual case-resolving lookup.
class EventFolderIndex {
 public:
  bool MayExist(const std::string& file) {
    if (file.empty()) return true;  // events that are not files of their own
    const std::string path = plat::NormalizeSeparators(file);
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    auto it = m_folders.find(folder);
    if (it == m_folders.end()) {
      std::unordered_set<std::string> names;
      for (const plat::FindData& f : plat::FindFiles(folder + "*"))
        if (!f.isFolder) names.insert(Lower(f.name));
      it = m_folders.emplace(folder, std::move(names)).first;
    }
    return it->second.count(Lower(path.substr(slash == std::string::npos ? 0 : slash + 1))) != 0;
  }

 private:
  static std::string Lower(std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
  }
  std::unordered_map<std::string, std::unordered_set<std::string>> m_folders;
};
}  // namespace

int CAEWave::Step(int step) {
  const int e = m_nEvent;
  if (e == 0 && step < 0) return 0;
  m_nEvent = e + step;
  EventFolderIndex present;
  for (int tries = 1; tries <= 9999; ++tries) {
    if (m_nEvent >= 0 && present.MayExist(EventFile(m_nEvent)) && OpenEvent(m_nEvent)) return 1;
    m_nEvent += step;
    if (tries % 1000 == 0) plat::MessageBeep(MB_ICONHAND);
  }
  m_nEvent = e;
  return 0;
}

int CAEWave::NextFile(int event, std::int16_t* buffer) {
  const std::string path = plat::ResolvePath(EventPath(event));
  if (!plat::FileExists(path)) {
    plat::MessageBeep(MB_ICONHAND);
    return 0;
  }
  return ReadSamples(path, buffer);
}

int CAEWave::SaveNumbered(int event, int velocityNumber) {
  std::string folder, file;
  if (velocityNumber != 0) {
    folder = plat::Format("%s/%s.VEL", m_strFolder.c_str(), m_strName.c_str());
    if (m_nFileNo % 1000 == 0) plat::CreateFolder(folder);
    file = plat::Format("%s/%06d.WAV", folder.c_str(), velocityNumber);
  } else {
    folder = plat::Format("%s/%s.%02d", m_strFolder.c_str(), m_strName.c_str(), event / 1000);
    if (event % 1000 == 0) plat::CreateFolder(folder);
    file = plat::Format("%s/%06d.WAV", folder.c_str(), event);
    m_pHeader->nEvent16 = static_cast<std::uint16_t>(event);
    m_pHeader->nEvent = event;
  }
  return SaveAs(file);
}
