#include "aecore/catalogue/AEHypo.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "aecore/waveform/AEWHeader.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/ByteOrder.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

// Why the catalogue cannot consist of records of recSize bytes for n sensors, or an empty
// text when it can. A parameter file whose sensor count was changed gives another size, and
// writing with it would overwrite parts of the neighbouring records. Records of the right
// size either hold their own position as their index (or 0, as the zero-filled records a
// write past the end leaves) or at least name sensors of the table: a record read at the
// wrong offset fails both, while a record that only carries a stale index (earlier builds
// stored the source event's number there) is still in its place.
std::string RecordSizeProblem(plat::File& f, int recSize, int n) {
  const long long length = f.GetLength();
  if (recSize <= 0 || length % recSize != 0)
    return plat::Format("its %lld bytes are not a whole number of %d-byte records", length,
                        recSize);
  const long long count = length / recSize;
  std::vector<std::uint8_t> sensors(static_cast<std::size_t>(std::max(n, 0)));
  for (long long i = 0; i < count; ++i) {
    std::uint8_t b[4];
    if (!f.Seek(i * recSize + static_cast<long long>(offsetof(AEHRecord, nIndex)), SEEK_SET) ||
        f.Read(b, 4) != 4)
      return plat::Format("record %lld cannot be read", i);
    const std::int32_t index = le::GetI32(b);
    if (index == i || index == 0) continue;
    bool named = f.Seek(i * recSize + AEH_HEADER_SIZE + 17LL * n, SEEK_SET) &&
                 f.Read(sensors.data(), sensors.size()) == sensors.size();
    for (std::uint8_t s : sensors) named = named && static_cast<std::int8_t>(s) >= 0 && s < n;
    if (!named)
      return plat::Format("record %lld holds neither its own index (it holds %d) nor sensor "
                          "numbers below %d, so the records do not lie %d bytes apart",
                          i, index, n, recSize);
  }
  return std::string();
}

}  // namespace

AESensorTable::AESensorTable()
    : m_pSensorXYZ(AEH_MAX_POINTS),
      m_pFaultXYZ(AEH_MAX_FAULT_POINTS),
      m_pSensorSign(AEH_MAX_POINTS, 0.0f),
      m_pSensorGain(AEH_MAX_POINTS, 0.0f),
      m_pFaultAz(AEH_MAX_FAULT_POINTS, 0.0f),
      m_pSensorName(AEH_MAX_POINTS) {}

CAEHypo::CAEHypo() {
  for (int& p : m_PulserSensor) p = -1;
  m_CalibList.reserve(10);
}

CAEHypo::~CAEHypo() { CloseCatalogue(); }

void CAEHypo::CloseCatalogue() {
  if (m_fpAEH) m_fpAEH->Close();
  m_fpAEH.reset();
}

int CAEHypo::GetNumAE() {
  if (!m_fpAEH || m_nRecSize <= 0) return 0;
  return static_cast<int>(m_fpAEH->GetLength() / m_nRecSize);
}

int CAEHypo::GetAEHHeader(int i, AEHRecord* buffer) {
  if (!m_fpAEH || i < 0 || i >= m_nAE) return 0;
  std::uint8_t bytes[AEH_HEADER_SIZE];
  if (!m_fpAEH->Seek(static_cast<long long>(i) * m_nRecSize, SEEK_SET)) return 0;
  if (m_fpAEH->Read(bytes, AEH_HEADER_SIZE) != AEH_HEADER_SIZE) return 0;
  AEHRecord* rec = buffer ? buffer : &m_Rec;
  AEH_DecodeHeader(bytes, rec);
  rec->nIndex = i;
  return 1;
}

int CAEHypo::GetAEH(int nAE, AEHRecord* buffer) {
  if (!m_fpAEH || nAE < 0 || nAE >= m_nAE) return 0;
  const int n = m_nSensors;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(AEH_HEADER_SIZE + 18 * n), 0);
  if (!m_fpAEH->Seek(static_cast<long long>(nAE) * m_nRecSize, SEEK_SET)) return 0;
  std::size_t got = m_fpAEH->Read(bytes.data(), bytes.size());
  if (got < static_cast<std::size_t>(m_nHeaderSize > 0 ? m_nHeaderSize : AEH_HEADER_SIZE)) return 0;
  // A record cut short at the end of the file reads its missing arrivals as zero bytes,
  // like the records skipped by a write past the end.
  AEHRecord* rec = buffer ? buffer : &m_Rec;
  AEH_DecodeRecord(bytes.data(), n, rec);
  for (int k = 0; k < n; ++k) {
    if (rec->nSensor[k] < 0 || rec->nSensor[k] >= n)
      plat::AfxMessageBox(plat::Format("Bad sensor index %d (arrival %d) in catalogue record %d!",
                                       rec->nSensor[k], k, nAE),
                          MB_ICONEXCLAMATION);
  }
  rec->nIndex = nAE;
  m_nCurAE = nAE;
  return 1;
}

int CAEHypo::PutAEH(int nAE, bool checkLock) {
  if (!m_fpAEH || m_bReadOnly || nAE < 0) return 0;
  if (checkLock && (m_Rec.nFlags & AEH_FLAG_LOCKED)) return 0;
  const int n = m_nSensors;
  for (int k = 0; k < n; ++k) {
    if (m_Rec.nSensor[k] < 0 || m_Rec.nSensor[k] >= n) {
      plat::AfxMessageBox(plat::Format("Error detected in CAEHypo::PutAEH(nAE=%d)", nAE),
                          MB_ICONEXCLAMATION);
      return 0;
    }
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(AEH_HEADER_SIZE + 18 * n));
  // The record is stored with the index of its position, whatever the record in memory came
  // from: readers take the position as the index, and the open-time layout check relies on
  // the two agreeing.
  AEHRecord stored = m_Rec;
  stored.nIndex = nAE;
  AEH_EncodeRecord(stored, n, bytes.data());
  // A write that does not reach the disk (disk full, file turned read-only) must not
  // count as saved: the caller would go on as if the record were stored.
  bool ok = m_fpAEH->Seek(static_cast<long long>(nAE) * m_nRecSize, SEEK_SET) &&
            m_fpAEH->Write(bytes.data(), bytes.size()) == bytes.size() && m_fpAEH->Flush();
  if (!ok) {
    plat::AfxMessageBox(plat::Format("Catalogue record %d could not be written to %s!", nAE,
                                     m_fpAEH->Path().c_str()),
                        MB_ICONHAND);
    return 0;
  }
  if (nAE + 1 > m_nAE) m_nAE = nAE + 1;
  return 1;
}

int CAEHypo::ConvertAEF(const std::string& oldPath, const std::string& newPath) {
  return ConvertLegacy(oldPath, newPath, false);
}

int CAEHypo::ConvertAED(const std::string& oldPath, const std::string& newPath) {
  return ConvertLegacy(oldPath, newPath, true);
}

int CAEHypo::ConvertLegacy(const std::string& oldPath, const std::string& newPath, bool aed) {
  plat::File in;
  if (!in.Open(oldPath, "rb")) return 0;
  plat::File out;
  if (!out.Open(newPath, "w+b")) {
    plat::AfxMessageBox(newPath + " can not be created!", MB_ICONHAND);
    return 0;
  }
  const int n = m_nSensors;
  const int oldSize = AEH_HEADER_SIZE + (aed ? 7 : 11) * n;
  const int newSize = AEH_HEADER_SIZE + 18 * n;
  const long long count = in.GetLength() / oldSize;
  std::vector<std::uint8_t> src(static_cast<std::size_t>(oldSize));
  std::vector<std::uint8_t> dst(static_cast<std::size_t>(newSize));
  int done = 0;
  for (long long i = 0; i < count; ++i) {
    in.Seek(i * oldSize, SEEK_SET);
    if (in.Read(src.data(), src.size()) != src.size()) break;
    AEHRecord rec{};
    AEH_DecodeHeader(src.data(), &rec);
    const std::uint8_t* p = src.data() + AEH_HEADER_SIZE;
    for (int k = 0; k < n; ++k) rec.fTime[k] = le::GetF32(p + 4 * k);
    const std::uint8_t* bytes = p + 4 * n;
    if (!aed) {
      for (int k = 0; k < n; ++k) rec.fAmp[k] = le::GetF32(p + 4 * n + 4 * k);
      bytes = p + 8 * n;
    }
    for (int k = 0; k < n; ++k) {
      int value = static_cast<std::int8_t>(bytes[k]);
      rec.nPolarity[k] = static_cast<std::int8_t>(bytes[n + k]);
      rec.nSensor[k] = static_cast<std::int8_t>(bytes[2 * n + k]);
      rec.fSN[k] = value * 0.1f;
      rec.fRise[k] = 0.0f;
      if (aed) rec.fAmp[k] = static_cast<float>(rec.nPolarity[k] * value * 2000);
    }
    if (aed) rec.nFlags = rec.nArrivals > 3 ? 1 : rec.nFlags;
    rec.nIndex = static_cast<std::int32_t>(i);
    AEH_EncodeRecord(rec, n, dst.data());
    if (!out.Seek(i * newSize, SEEK_SET) || out.Write(dst.data(), dst.size()) != dst.size()) break;
    ++done;
  }
  if (!out.Flush() || done < count) {
    plat::AfxMessageBox(plat::Format("Converting %s: only %d of %lld records were written to %s!",
                                     oldPath.c_str(), done, count, newPath.c_str()),
                        MB_ICONHAND);
  }
  return done;
}

int CAEHypo::OpenCatalogue(const std::string& parPath) {
  CloseCatalogue();
  m_nHeaderSize = AEH_HEADER_SIZE;
  m_nRecSize = AEH_HEADER_SIZE + 18 * m_nSensors;
  std::string base = parPath.size() >= 3 ? parPath.substr(0, parPath.size() - 3) : parPath;
  std::string aeh = base + "aeh";
  if (!KZ_FileExists(aeh.c_str())) {
    std::string aef = base + "aef";
    std::string aed = base + "aed";
    if (KZ_FileExists(aef.c_str())) {
      if (plat::AfxMessageBox("Convert AEF to AEH?", MB_YESNO) != IDYES) return 0;
      ConvertAEF(aef, aeh);
    } else if (KZ_FileExists(aed.c_str())) {
      if (plat::AfxMessageBox("Convert AED to AEH?", MB_YESNO) != IDYES) return 0;
      ConvertAED(aed, aeh);
    }
  }
  m_bReadOnly = 0;
  auto file = std::make_unique<plat::File>();
  m_nAE = 0;
  if (!KZ_FileExists(aeh.c_str())) {
    if (plat::AfxMessageBox(aeh + " open failed!, create??", MB_YESNO) != IDYES) return 0;
    if (file->Open(aeh, "w+b")) m_fpAEH = std::move(file);
  } else {
    std::string why;
    if (file->Open(aeh, "r+b")) {
      m_fpAEH = std::move(file);
    } else if (file->Open(aeh, "rb")) {
      m_fpAEH = std::move(file);
      m_bReadOnly = 1;
      why = plat::Format("%s can not be written (no write permission).",
                         aeh.c_str());
    }
    if (m_fpAEH) m_nAE = static_cast<int>(m_fpAEH->GetLength() / m_nRecSize);
    if (m_fpAEH && !m_bReadOnly) {
      const std::string problem = RecordSizeProblem(*m_fpAEH, m_nRecSize, m_nSensors);
      if (!problem.empty()) {
        m_bReadOnly = 1;
        why = plat::Format("%s does not fit the %d-byte records of the %d sensors of the "
                           "parameter file: %s. It was written for another sensor count.",
                           aeh.c_str(), m_nRecSize, m_nSensors, problem.c_str());
      }
    }
    // Said once, here: every later save into it fails.
    if (m_bReadOnly) {
      plat::Ui().SetPaneText(0, "Read-only catalogue: " + aeh, true);
      plat::AfxMessageBox(
          why + " The catalogue is opened for reading only; no record is written to it.",
          MB_ICONEXCLAMATION);
    }
  }
  if (m_nAE > 10000)
    m_fHypoScale = 10.0f;
  else if (m_nAE > 5000)
    m_fHypoScale = 20.0f;
  else if (m_nAE > 1000)
    m_fHypoScale = 30.0f;
  else
    m_fHypoScale = 40.0f;
  return 1;
}

void CAEHypo::ClearRecord(int nAE, const AEWHeader* header) {
  m_Rec = AEHRecord{};
  m_Rec.nIndex = nAE;
  for (int k = 0; k < AEH_MAX_SENSORS; ++k)
    m_Rec.nSensor[k] = static_cast<std::int8_t>(k < m_nSensors ? k : 0);
  if (header) {
    m_Rec.nYear = static_cast<std::uint8_t>(header->nYear & 0xFF);
    m_Rec.nMonth = static_cast<std::uint8_t>(header->nMonth);
    m_Rec.nDay = static_cast<std::uint8_t>(header->nDay);
    m_Rec.nHour = static_cast<std::uint8_t>(header->nHour);
    m_Rec.nMinute = static_cast<std::uint8_t>(header->nMinute);
    m_Rec.nSecond = static_cast<std::uint8_t>(header->nSecond);
    m_Rec.nTimeSec = header->nSec;
    m_Rec.nTimeUs = header->nUsec;
  }
}
