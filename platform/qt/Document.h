// The document base of the document/view framework. It implements the document host
// that the program's data core talks to, so a document class of the program holds its
// data object and passes itself as that object's host:
//
//   class CMyDocument : public plat::CDocument {
//     CTremviaDoc m_data{*this};
//     BOOL OnOpenDocument(const std::string& path) override {
//       return CDocument::OnOpenDocument(path) && m_data.OnOpenDocument(path);
//     }
//   };
//
// UpdateAllViews reaches every view of the document synchronously, except the sender.
#pragma once
#include <string>
#include <vector>

#include "platform/DocumentHost.h"
#include "platform/qt/CmdTarget.h"

namespace plat {

class CView;
class CDocTemplate;

class CDocument : public CCmdTarget, public DocumentHost {
 public:
  CDocument() = default;
  ~CDocument() override;

  // DocumentHost. `sender` is compared with each view's address; the views receive it
  // as a view pointer (null when it is no view of this document).
  void UpdateAllViews(void* sender, LONG hint = 0, void* object = nullptr) override;
  void SetTitle(const std::string& title) override;
  std::string GetTitle() const override { return m_strTitle; }
  void SetModifiedFlag(bool modified = true) override { m_bModified = modified; }
  bool IsModified() const override { return m_bModified; }

  const std::string& GetPathName() const { return m_strPathName; }
  // Sets the path and, with `addToMru`, puts it on the recent-file list; the title
  // becomes the path's file name.
  virtual void SetPathName(const std::string& path, bool addToMru = true);

  // Views.
  void AddView(CView* view);
  void RemoveView(CView* view);
  const std::vector<CView*>& GetViews() const { return m_views; }
  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
  void SetDocTemplate(CDocTemplate* t) { m_pDocTemplate = t; }

  // Life cycle. The base open succeeds when the file opens for reading; the base new
  // empties the document. Both clear the modified flag.
  virtual BOOL OnNewDocument();
  virtual BOOL OnOpenDocument(const std::string& path);
  // Writes the document (the base has nothing to write and succeeds).
  virtual BOOL OnSaveDocument(const std::string& path);
  virtual void DeleteContents() {}
  virtual void OnCloseDocument();
  // Asks "Save changes to <title>?" when modified: Yes saves (false when saving fails),
  // No goes on, Cancel returns false.
  virtual BOOL SaveModified();

 protected:
  std::string m_strTitle;
  std::string m_strPathName;
  bool m_bModified = false;
  std::vector<CView*> m_views;
  CDocTemplate* m_pDocTemplate = nullptr;
};

}  // namespace plat
