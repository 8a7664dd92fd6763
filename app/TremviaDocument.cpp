#include "app/TremviaDocument.h"

#include "app/TremviaResources.h"

#include <cctype>
#include <filesystem>
#include <string>

#include "platform/UiServices.h"

CTremviaDocument::CTremviaDocument() : CTremviaDoc(static_cast<plat::DocumentHost&>(*this)) {
  MapCommand(ID_LOAD_NEXT, [this] { OnLoadNext(); });
  MapUpdate(ID_LOAD_NEXT, [this](plat::CCmdUI* ui) { OnUpdateLoadNext(ui); });
}

void CTremviaDocument::OnLoadNext() { StepEvent(1); }

void CTremviaDocument::OnUpdateLoadNext(plat::CCmdUI* pCmdUI) {
  pCmdUI->Enable(m_pWave && !m_pWave->m_strPath.empty());
}

BOOL CTremviaDocument::OnNewDocument() {
  return plat::CDocument::OnNewDocument() && CTremviaDoc::OnNewDocument();
}

namespace {

// The folder a waveform file's parameter file is looked for in: an experiment keeps its
// events in a folder beside its parameter file, so the one above the event's folder when
// that holds a parameter file, else the event's own folder.
std::string ParameterFolderOf(const std::string& wavePath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path eventFolder = fs::path(wavePath).parent_path();
  const fs::path above = eventFolder.parent_path();
  if (!above.empty() && above != eventFolder)
    for (const auto& entry : fs::directory_iterator(above, ec)) {
      std::string ext = entry.path().extension().string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if ((ext == ".pad" || ext == ".par") && entry.is_regular_file(ec)) return above.string();
    }
  return eventFolder.string();
}

}  // namespace

BOOL CTremviaDocument::OnOpenDocument(const std::string& path) {
  if (!plat::CDocument::OnOpenDocument(path)) return FALSE;
  // A waveform file asks for its parameter file next: that dialog starts where the
  // experiment's parameter file lies, not in the event folder just chosen.
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext != ".pad" && ext != ".par" && ext != ".loc") plat::Ui().SetDialogFolder(ParameterFolderOf(path));
  return CTremviaDoc::OnOpenDocument(path);
}
