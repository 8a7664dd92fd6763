#include "app/TremviaDocument.h"

BOOL CTremviaDocument::OnNewDocument() {
  return plat::CDocument::OnNewDocument() && CTremviaDoc::OnNewDocument();
}

BOOL CTremviaDocument::OnOpenDocument(const std::string& path) {
  return plat::CDocument::OnOpenDocument(path) && CTremviaDoc::OnOpenDocument(path);
}
