#include "app/TremviaDocument.h"

BOOL CTremviaDocument::OnNewDocument() {
  return plat::CDocument::OnNewDocument() && m_Data.OnNewDocument();
}

BOOL CTremviaDocument::OnOpenDocument(const std::string& path) {
  return plat::CDocument::OnOpenDocument(path) && m_Data.OnOpenDocument(path);
}
