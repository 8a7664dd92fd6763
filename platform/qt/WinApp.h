// The application object, its single-document template, the recent-file list and the
// settings store.
#pragma once
#include <QCursor>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/CmdTarget.h"
#include "platform/qt/Resources.h"

class QPrinter;
class QSettings;

namespace plat {

class CDocument;
class CFrameWnd;
class CView;

// Ties a document class, a frame class and the first view class together (resource id
// of the frame's menu, accelerators and template string).
class CDocTemplate : public CCmdTarget {
 public:
  CDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
               const CRuntimeClass* viewClass);
  ~CDocTemplate() override;
  // Opens `path` (empty: a new, empty document). Returns the document, or null when
  // creating the frame or opening failed.
  virtual CDocument* OpenDocumentFile(const std::string& path, BOOL makeVisible = TRUE) = 0;
  UINT GetResourceId() const { return m_nIDResource; }
  // Field `index` of the template string ("\n"-separated; 0 is the window title).
  std::string GetDocString(int index) const;

 protected:
  UINT m_nIDResource;
  const CRuntimeClass* m_pDocClass;
  const CRuntimeClass* m_pFrameClass;
  const CRuntimeClass* m_pViewClass;
};

// One document and one frame, reused from file to file: the first open creates the
// document and the frame (with its views) before the document opens the file; later
// opens reuse both. A failed first open destroys the frame again.
class CSingleDocTemplate : public CDocTemplate {
 public:
  using CDocTemplate::CDocTemplate;
  ~CSingleDocTemplate() override;
  CDocument* OpenDocumentFile(const std::string& path, BOOL makeVisible = TRUE) override;
  CDocument* GetDocument() const { return m_pOnlyDoc; }
  CFrameWnd* GetFrame() const { return m_pFrame; }

 private:
  CDocument* m_pOnlyDoc = nullptr;
  CFrameWnd* m_pFrame = nullptr;
};

// The recent-file list: most recent first, no duplicates (paths compared exactly).
class CRecentFileList {
 public:
  explicit CRecentFileList(int size) : m_nSize(size) {}
  void Add(const std::string& path);
  void Remove(int index);
  int GetSize() const { return m_nSize; }
  int GetCount() const { return static_cast<int>(m_arrNames.size()); }
  const std::string& operator[](int index) const { return m_arrNames[index]; }
  void ReadList(QSettings& settings);
  void WriteList(QSettings& settings) const;

 private:
  int m_nSize;
  std::vector<std::string> m_arrNames;
};

// What the command line asks for: a new document, or opening a file.
struct CCommandLineInfo {
  enum Command { FileNew, FileOpen, FileNothing };
  Command m_nShellCommand = FileNew;
  std::string m_strFileName;
};

class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance();  // writes the recent-file list and preview page count
  // Idle work: refreshes the main frame's toolbar states.
  virtual BOOL OnIdle(long count);

  // Settings store.
  void SetRegistryKey(const std::string& key);
  // Reads the recent-file list (nMaxMRU entries) and the print-preview page count.
  void LoadStdProfileSettings(UINT nMaxMRU = 4);
  // Uses an INI file instead of the user's settings (tests).
  void SetProfileFile(const std::string& path);
  int GetProfileInt(const std::string& section, const std::string& entry, int def) const;
  BOOL WriteProfileInt(const std::string& section, const std::string& entry, int value);
  std::string GetProfileString(const std::string& section, const std::string& entry,
                               const std::string& def = std::string()) const;
  BOOL WriteProfileString(const std::string& section, const std::string& entry,
                          const std::string& value);
  std::unique_ptr<QSettings> OpenSettings() const;

  // Documents.
  void AddDocTemplate(CDocTemplate* tmpl);  // takes ownership
  // Deletes the templates with their documents and frames (before Qt ends).
  void CloseAllDocuments();
  CDocTemplate* GetDocTemplate() const {
    return m_templates.empty() ? nullptr : m_templates.front().get();
  }
  virtual CDocument* OpenDocumentFile(const std::string& path);
  virtual void AddToRecentFileList(const std::string& path);
  CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }

  // Command line.
  void ParseCommandLine(CCommandLineInfo& info) const;
  BOOL ProcessShellCommand(CCommandLineInfo& info);
  void SetCommandLine(std::vector<std::string> args) { m_args = std::move(args); }

  // Commands the class library handles: New, Open, Print Setup, recent files, Exit.
  virtual void OnFileNew();
  virtual void OnFileOpen();
  virtual void OnFilePrintSetup();
  virtual BOOL OnOpenRecentFile(UINT id);
  virtual void OnAppExit();

  // The printer that print, preview and print setup share.
  QPrinter* GetPrinter();
  int GetPreviewPages() const { return m_nNumPreviewPages; }
  void SetPreviewPages(int n) { m_nNumPreviewPages = n; }

  // Cursors loaded from the program's resources.
  QCursor LoadCursor(UINT id) const { return Resources::Get().Cursor(id); }

  CFrameWnd* m_pMainWnd = nullptr;
  std::string m_pszAppName;
  std::string m_pszRegistryKey;

 protected:
  std::vector<std::unique_ptr<CDocTemplate>> m_templates;
  std::unique_ptr<CRecentFileList> m_pRecentFileList;
  std::vector<std::string> m_args;  // without the program name
  std::string m_profileFile;
  std::unique_ptr<QPrinter> m_printer;
  int m_nNumPreviewPages = 0;
};

// The one application object (null before it is built).
CWinApp* AfxGetApp();
CFrameWnd* AfxGetMainWnd();

// The program's entry: builds the Qt application, forces the C locale for numbers,
// installs the Qt user-interface services, shell and sound player, then runs
// InitInstance; with TRUE runs the event loop (with idle processing) and ends with
// ExitInstance. Returns the exit status.
int AfxWinMain(int argc, char** argv);

}  // namespace plat
