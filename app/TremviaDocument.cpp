#include "app/TremviaDocument.h"

#include "app/TremviaResources.h"

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

BOOL CTremviaDocument::OnOpenDocument(const std::string& path) {
  return plat::CDocument::OnOpenDocument(path) && CTremviaDoc::OnOpenDocument(path);
}
