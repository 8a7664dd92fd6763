#include "aecore/document/TremviaDoc.h"

#include <cmath>
#include <cstring>

#include "aecore/waveform/AEWaveSeg2.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

constexpr int kWorkBufferBytes = 40096;
constexpr int kSheetColumns = 101;
constexpr int kSheetRows = 4000;
constexpr int kSubTableSize = 201;

enum class FileKind { EventList, Pad, Sg2, Lng, Aew, Wav };

FileKind KindOf(const std::string& path) {
  std::string up = plat::ToUpper(path);
  auto has = [&](const char* ext) { return up.find(ext, 1) != std::string::npos; };
  if (!has(".PAD") && !has(".WAV") && !has(".AEW") && !has(".SG2") && !has(".LNG"))
    return FileKind::EventList;
  if (has(".PAD")) return FileKind::Pad;
  if (has(".SG2")) return FileKind::Sg2;
  if (has(".LNG")) return FileKind::Lng;
  if (has(".AEW")) return FileKind::Aew;
  return FileKind::Wav;
}

// The path with its last three characters replaced.
std::string SidePath(const std::string& path, const char* ext) {
  return (path.size() >= 3 ? path.substr(0, path.size() - 3) : std::string()) + ext;
}

void Report(const std::string& text) { plat::AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }

}  // namespace

double AE_WindowHours(double seconds) {
  double h = std::trunc(seconds / 3600.0) * 3600.0;
  if (h < 3600.0) h = 3600.0;
  if (h < seconds) h += 3600.0;
  return h;
}

CTremviaDoc::CTremviaDoc(plat::DocumentHost& host) : m_Host(host) {
  for (auto& b : m_pWorkBuf) b.assign(kWorkBufferBytes, 0);
  for (auto& s : m_pSheet) {
    s = std::make_unique<KZ_MultiVarObj>();
    s->SetSize(kSheetColumns, kSheetRows);
    s->m_pSubTable = std::make_unique<KZ_MultiVarObj>();
    s->m_pSubTable->SetSize(kSubTableSize, kSubTableSize);
  }
  m_pCurSheet = m_pSheet[0].get();
  m_pHypo = std::make_unique<CAEHypo>();
  for (auto& p : m_pPeak) p = std::make_unique<CAEPeak>();
}

CTremviaDoc::~CTremviaDoc() = default;

BOOL CTremviaDoc::OnNewDocument() {
  m_Host.SetModifiedFlag(false);
  m_bLoaded = 0;
  return TRUE;
}

bool CTremviaDoc::LoadParameters(const std::string& parFile) {
  const std::string previous = m_pHypo->m_strParFile;
  const bool hadCatalogue = m_pHypo->m_fpAEH != nullptr;
  if (m_pHypo->LoadPad(parFile, false)) return true;
  // A file the reader refuses leaves the engine as it was. A catalogue the user declines to
  // create or convert comes after the new parameters were read and the open catalogue was
  // closed: the experiment that was open is read again, so that its pages, records and
  // stepping go on as before.
  auto kept = [&] {
    return m_pHypo->m_strParFile == previous && (m_pHypo->m_fpAEH || !hadCatalogue);
  };
  if (!kept() && !previous.empty()) m_pHypo->LoadPad(previous, !hadCatalogue);
  Report("Parameter file " + parFile + " failed to load: " +
         (previous.empty() || !kept() ? std::string("no experiment is open.")
                                      : "the experiment of " + previous + " stays open."));
  return false;
}

void CTremviaDoc::ReadRecordOfEvent() {
  int event = m_pWave->m_nEvent;
  if (m_pHypo->GetAEH(event)) {
    m_pWave->SetPicksFromRecord(m_pHypo->m_Rec);
  } else {
    // Another event's values (its lock, mechanism or magnitudes) must not be carried
    // into this one and saved under its index.
    m_pHypo->m_Rec = AEHRecord{};
    m_pHypo->m_Rec.nIndex = event;
  }
  m_nCurAE = event;
}

void CTremviaDoc::LoadSideFiles(const std::string& parFile) {
  std::string sts = SidePath(parFile, "STS");
  if (plat::FileExists(sts)) {
    auto stress = std::make_unique<CAEStress>();
    if (stress->Read(sts))
      m_pStress = std::move(stress);
    else
      Report("Stress file " + sts + " could not be read.");
  }
  BuildEventList(0, 999999, 0, 0);
  m_fTimeStart = 0.0;
  auto ref = plat::MakeLocalTime(m_pHypo->m_tmRef);
  auto end = plat::MakeLocalTime(m_pHypo->m_tmEnd);
  double duration = (ref && end) ? static_cast<double>(*end - *ref) - m_pHypo->m_fRefFrac : 0.0;
  m_fTimeSpan = AE_WindowHours(duration);
  std::string dat = SidePath(parFile, "dat");
  if (plat::FileExists(dat) && LoadTS(dat) && m_pTS->m_nSamples > 0) {
    // The window grows by hours until it holds the whole main series (times in ms).
    double last = m_pTS->m_pTime[m_pTS->m_nSamples - 1] / 1000.0;
    while (m_fTimeSpan < last) m_fTimeSpan += 3600.0;
  }
  const char* peakExt[2] = {"PK1", "PK2"};
  for (int k = 0; k < 2; ++k) {
    std::string pk = SidePath(parFile, peakExt[k]);
    if (plat::FileExists(pk) && !m_pPeak[k]->Load(pk, 0))
      Report("Peak file " + pk + " could not be read.");
  }
}

bool CTremviaDoc::LoadExperiment(const std::string& parFile) {
  if (!LoadParameters(parFile)) return false;
  LoadSideFiles(parFile);
  return true;
}

void CTremviaDoc::FinishOpen() {
  m_Host.SetModifiedFlag(false);
  std::int64_t origin = plat::MakeLocalTime(m_pHypo->m_tmRef).value_or(0);
  for (auto& p : m_pPeak) p->m_tStart = origin;
  m_pHypo->m_pTemplates = &m_Templates;
  m_Templates.m_nWindow = m_pHypo->m_nCCWindow;
  m_Templates.m_nLag = m_pHypo->m_nCCShift;
  m_Templates.m_fThreshold = m_pHypo->m_fCCMin;
}

BOOL CTremviaDoc::OnOpenDocument(const std::string& path) {
  {
    plat::File f;
    if (!f.Open(path, "rb")) return FALSE;
  }
  FileKind kind = KindOf(path);
  if (kind == FileKind::EventList) {
    // The parameter file by the name it has on disk, which the catalogue's name follows.
    std::string parFile = plat::ResolvePath(SidePath(path, "PAD"));
    if (!plat::FileExists(parFile)) {
      Report("Parameter file " + parFile + " of the event list was not found.");
      return FALSE;
    }
    // The open document stays until the new parameters have loaded.
    if (!LoadParameters(parFile)) return FALSE;
    m_pWave = std::make_unique<CAEWave>();
    m_bLoaded = 1;
    LoadEventList(path);
    m_strParFile = parFile;
    m_fTimeStart = 0.0;
    m_fTimeSpan = AE_WindowHours(m_EventList.empty() ? 0.0 : m_EventList.back()->time);
    std::string folder = KZ_GetFolder(path);
    int slot = 0;
    for (const auto& fd : plat::FindFiles(folder + "*.wav")) {
      if (slot >= kSideBuffers) break;
      if (fd.isFolder || fd.name.empty() || fd.name[0] == '.') continue;
      LoadSideFile(plat::JoinPath(folder, fd.name), slot++);
    }
    FinishOpen();
    return TRUE;
  }

  if (kind == FileKind::Pad) {
    // The name as the user gave it: the catalogue and side files are named after it.
    if (!LoadExperiment(path)) return FALSE;
    m_bLoaded = 1;
    m_strParFile = path;
    m_pWave = std::make_unique<CAEWave>();
    FinishOpen();
    return TRUE;
  }

  // A waveform file: read it into a new record first, so that a file that cannot be
  // read leaves the current one in place.
  std::unique_ptr<CAEWave> wave;
  bool read = false;
  switch (kind) {
    case FileKind::Sg2:
      wave = std::make_unique<CAEWaveSeg2>(path);
      read = wave->GetNumChannels() > 0;
      break;
    case FileKind::Lng:
      wave = std::make_unique<CAEWaveLong>(path);
      read = wave->GetNumChannels() > 0;
      break;
    case FileKind::Aew:
      wave = std::make_unique<CAEWave_Aew>(path);
      read = wave->GetNumChannels() > 0;
      break;
    default:
      wave = std::make_unique<CAEWave>();
      read = wave->Load(path) != 0;
      break;
  }
  if (!read) {
    Report("Waveform file " + path + " could not be read.");
    return FALSE;
  }
  const std::string parFile =
      KZ_OpenFileDialog("Load parameters", "Parameter file(*.pad;*.par)|*.pad;*.par||");
  // A parameter file that fails to load keeps the open experiment and its waveform: this
  // waveform's event index means nothing in the catalogue that stays open.
  if (!parFile.empty() && !LoadExperiment(parFile)) return FALSE;
  m_bLoaded = 1;
  m_pWave = std::move(wave);
  // Cancelled: the parameters, catalogue, side files and window in use stay, so picks made
  // on this waveform can be saved. The current record is made this event's own either way:
  // a record left from the previous event would be saved under this index.
  if (!parFile.empty()) m_strParFile = parFile;
  if (!parFile.empty() || m_pHypo->m_fpAEH) ReadRecordOfEvent();
  FinishOpen();
  return TRUE;
}

int CTremviaDoc::StepEvent(int n) {
  if (!m_pWave) return 0;
  if (!m_pWave->Step(n)) {
    if (m_pWave->m_pHeader && n != 0)
      plat::Ui().SetPaneText(0,
                             plat::Format("No event file %s event %d", n > 0 ? "after" : "before",
                                          m_pWave->m_nEvent),
                             true);
    return 0;
  }
  ReadRecordOfEvent();
  m_Host.SetTitle(m_pWave->m_strPath);
  m_Host.UpdateAllViews(nullptr, 31, nullptr);
  plat::MessageBeep(MB_SIMPLEBEEP);
  return 1;
}

int CTremviaDoc::LoadSideFile(const std::string& path, int k) {
  if (k < 0 || k >= kSideBuffers) return 0;
  plat::File f;
  if (!f.Open(path, "rb")) return 0;
  long long length = f.GetLength();
  auto buf = std::make_unique<std::vector<BYTE>>();
  try {
    buf->resize(static_cast<std::size_t>(std::max(length, 0LL)));
  } catch (const std::bad_alloc&) {
    m_pSideBuf[k].reset();
    return 0;
  }
  if (f.Read(buf->data(), buf->size()) != buf->size()) return 0;
  m_pSideBuf[k] = std::move(buf);
  return 1;
}

int CTremviaDoc::LoadTS(const std::string& path) {
  if (!m_pTS) m_pTS = std::make_unique<KZ_TSdata>();
  std::int64_t first = 0, last = 8000000;
  return m_pTS->Load(path, &first, &last) ? 1 : 0;
}

int CTremviaDoc::LoadAddTS(const std::string& path, int i) {
  if (i < 0 || i >= static_cast<int>(m_pAddTS.size())) return 0;
  if (!m_pAddTS[i]) m_pAddTS[i] = std::make_unique<KZ_TSdata>();
  std::int64_t first = 0, last = 8000000;
  return m_pAddTS[i]->Load(path, &first, &last) ? 1 : 0;
}

void CTremviaDoc::ClearAddTS() {
  for (auto& ts : m_pAddTS) ts.reset();
}
