#include "platform/qt/Document.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/UiServices.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/View.h"
#include "platform/qt/WinApp.h"

namespace plat {

CDocument::~CDocument() {
  for (CView* v : m_views) v->SetDocument(nullptr);
}

void CDocument::UpdateAllViews(void* sender, LONG hint, void* object) {
  CView* senderView = nullptr;
  for (CView* v : m_views)
    if (sender && (static_cast<void*>(v) == sender || dynamic_cast<void*>(v) == sender))
      senderView = v;
  // A copy: a view's update may add or remove views.
  const std::vector<CView*> views = m_views;
  for (CView* v : views) {
    if (v == senderView) continue;
    if (std::find(m_views.begin(), m_views.end(), v) == m_views.end()) continue;
    v->OnUpdate(senderView, hint, object);
  }
}

void CDocument::SetTitle(const std::string& title) {
  m_strTitle = title;
  for (CView* v : m_views)
    if (CFrameWnd* f = v->GetParentFrame()) {
      f->SetTitleFromDocument();
      break;
    }
}

void CDocument::SetPathName(const std::string& path, bool addToMru) {
  m_strPathName = path;
  std::size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) Ui().SetDialogFolder(path.substr(0, slash));
  SetTitle(slash == std::string::npos ? path : path.substr(slash + 1));
  if (addToMru && AfxGetApp()) AfxGetApp()->AddToRecentFileList(path);
}

void CDocument::AddView(CView* view) {
  if (!view || std::find(m_views.begin(), m_views.end(), view) != m_views.end()) return;
  m_views.push_back(view);
  view->SetDocument(this);
}

void CDocument::RemoveView(CView* view) {
  auto it = std::find(m_views.begin(), m_views.end(), view);
  if (it == m_views.end()) return;
  m_views.erase(it);
  view->SetDocument(nullptr);
}

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  m_strPathName.clear();
  SetModifiedFlag(false);
  return TRUE;
}

BOOL CDocument::OnOpenDocument(const std::string& path) {
  std::string real = ResolvePath(path);
  FILE* f = std::fopen(real.c_str(), "rb");
  if (!f) {
    AfxMessageBox("Failed to open document.\n\n" + path + "\n" + std::strerror(errno),
                  MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }
  std::fclose(f);
  DeleteContents();
  SetModifiedFlag(false);
  return TRUE;
}

BOOL CDocument::OnSaveDocument(const std::string&) {
  SetModifiedFlag(false);
  return TRUE;
}

void CDocument::OnCloseDocument() { DeleteContents(); }

BOOL CDocument::SaveModified() {
  if (!IsModified()) return TRUE;
  std::string name = m_strTitle.empty() ? std::string("Untitled") : m_strTitle;
  switch (AfxMessageBox("Save changes to " + name + "?", MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDCANCEL:
      return FALSE;
    case IDYES:
      return OnSaveDocument(m_strPathName);
    default:
      return TRUE;
  }
}

}  // namespace plat
