#include "platform/qt/WinApp.h"

#include <QApplication>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>
#include <QTimer>
#include <algorithm>

#include "platform/UiServices.h"
#include "platform/qt/DialogFit.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/QtUi.h"
#include "platform/qt/View.h"

namespace plat {
namespace {

CWinApp* g_app = nullptr;

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CWinApp* AfxGetApp() { return g_app; }
CFrameWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

// ---- templates -----------------------------------------------------------------------

CDocTemplate::CDocTemplate(UINT resourceId, const CRuntimeClass* docClass,
                           const CRuntimeClass* frameClass, const CRuntimeClass* viewClass)
    : m_nIDResource(resourceId),
      m_pDocClass(docClass),
      m_pFrameClass(frameClass),
      m_pViewClass(viewClass) {}

CDocTemplate::~CDocTemplate() = default;

std::string CDocTemplate::GetDocString(int index) const {
  std::string s = LoadResourceString(m_nIDResource);
  for (int i = 0; i < index; ++i) {
    std::size_t nl = s.find('\n');
    if (nl == std::string::npos) return std::string();
    s = s.substr(nl + 1);
  }
  return s.substr(0, s.find('\n'));
}

CSingleDocTemplate::~CSingleDocTemplate() {
  delete m_pFrame;  // deletes its views, which leave the document
  delete m_pOnlyDoc;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const std::string& path, BOOL makeVisible) {
  bool created = false;
  if (m_pOnlyDoc) {
    if (!m_pOnlyDoc->SaveModified()) return nullptr;
  } else {
    CObject* obj = m_pDocClass ? m_pDocClass->CreateObject() : nullptr;
    m_pOnlyDoc = dynamic_cast<CDocument*>(obj);
    if (!m_pOnlyDoc) {
      delete obj;
      return nullptr;
    }
    m_pOnlyDoc->SetDocTemplate(this);
    created = true;
  }
  bool frameCreated = false;
  if (!m_pFrame) {
    CObject* obj = m_pFrameClass ? m_pFrameClass->CreateObject() : nullptr;
    auto* frame = dynamic_cast<CFrameWnd*>(obj);
    if (!frame) {
      delete obj;
      if (created) {
        delete m_pOnlyDoc;
        m_pOnlyDoc = nullptr;
      }
      return nullptr;
    }
    CCreateContext ctx;
    ctx.m_pNewViewClass = m_pViewClass;
    ctx.m_pCurrentDoc = m_pOnlyDoc;
    ctx.m_pNewDocTemplate = this;
    m_pFrame = frame;
    if (CWinApp* app = AfxGetApp(); app && !app->m_pMainWnd) app->m_pMainWnd = frame;
    if (!frame->LoadFrame(m_nIDResource, &ctx)) {
      m_pFrame = nullptr;
      if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == frame) app->m_pMainWnd = nullptr;
      delete frame;
      if (created) {
        delete m_pOnlyDoc;
        m_pOnlyDoc = nullptr;
      }
      return nullptr;
    }
    frameCreated = true;
  }
  auto fail = [&]() -> CDocument* {
    if (frameCreated) {
      if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == m_pFrame) app->m_pMainWnd = nullptr;
      delete m_pFrame;
      m_pFrame = nullptr;
    }
    if (created) {
      delete m_pOnlyDoc;
      m_pOnlyDoc = nullptr;
    }
    return nullptr;
  };
  if (path.empty()) {
    if (!m_pOnlyDoc->OnNewDocument()) return fail();
    m_pOnlyDoc->SetTitle(GetDocString(1).empty() ? "Untitled" : GetDocString(1));
  } else {
    if (!m_pOnlyDoc->OnOpenDocument(path)) return fail();
    m_pOnlyDoc->SetPathName(path, true);
  }
  m_pFrame->InitialUpdateFrame(m_pOnlyDoc, makeVisible);
  return m_pOnlyDoc;
}

// ---- recent files --------------------------------------------------------------------

void CRecentFileList::Add(const std::string& path) {
  if (path.empty() || m_nSize <= 0) return;
  auto it = std::find(m_arrNames.begin(), m_arrNames.end(), path);
  if (it != m_arrNames.end()) m_arrNames.erase(it);
  m_arrNames.insert(m_arrNames.begin(), path);
  if (static_cast<int>(m_arrNames.size()) > m_nSize) m_arrNames.resize(m_nSize);
}

void CRecentFileList::Remove(int index) {
  if (index >= 0 && index < GetCount()) m_arrNames.erase(m_arrNames.begin() + index);
}

void CRecentFileList::ReadList(QSettings& s) {
  m_arrNames.clear();
  s.beginGroup("Recent File List");
  for (int i = 1; i <= m_nSize; ++i) {
    QString v = s.value(QString("File%1").arg(i)).toString();
    if (!v.isEmpty()) m_arrNames.push_back(v.toStdString());
  }
  s.endGroup();
}

void CRecentFileList::WriteList(QSettings& s) const {
  s.beginGroup("Recent File List");
  s.remove("");
  for (int i = 0; i < GetCount(); ++i) s.setValue(QString("File%1").arg(i + 1), ToQ(m_arrNames[i]));
  s.endGroup();
}

// ---- CWinApp -------------------------------------------------------------------------

CWinApp::CWinApp(const char* appName) {
  g_app = this;
  // No dialog of the program reaches past the screen.
  InstallDialogFitter();
  m_pszAppName = appName ? appName : "";
  MapCommand(ID_FILE_NEW, [this] { OnFileNew(); });
  MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
  MapCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
  MapCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, [this](UINT id) { OnOpenRecentFile(id); });
  MapUpdateRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, [this](CCmdUI* ui) {
    int i = static_cast<int>(ui->m_nID - ID_FILE_MRU_FILE1);
    ui->Enable(m_pRecentFileList && i < m_pRecentFileList->GetCount());
  });
  MapCommand(ID_APP_EXIT, [this] { OnAppExit(); });
}

CWinApp::~CWinApp() {
  m_templates.clear();
  if (g_app == this) g_app = nullptr;
}

int CWinApp::ExitInstance() {
  if (m_pRecentFileList || m_nNumPreviewPages != 0) {
    auto s = OpenSettings();
    if (m_pRecentFileList) m_pRecentFileList->WriteList(*s);
    if (m_nNumPreviewPages != 0) s->setValue("Settings/PreviewPages", m_nNumPreviewPages);
    s->sync();
  }
  return 0;
}

BOOL CWinApp::OnIdle(long) {
  if (m_pMainWnd) m_pMainWnd->UpdateAllCommandUI();
  return FALSE;
}

void CWinApp::SetRegistryKey(const std::string& key) { m_pszRegistryKey = key; }

void CWinApp::SetProfileFile(const std::string& path) { m_profileFile = path; }

std::unique_ptr<QSettings> CWinApp::OpenSettings() const {
  if (!m_profileFile.empty())
    return std::make_unique<QSettings>(ToQ(m_profileFile), QSettings::IniFormat);
  std::string org = m_pszRegistryKey.empty() ? m_pszAppName : m_pszRegistryKey;
  return std::make_unique<QSettings>(ToQ(org), ToQ(m_pszAppName));
}

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU) {
  m_pRecentFileList = std::make_unique<CRecentFileList>(static_cast<int>(nMaxMRU));
  auto s = OpenSettings();
  m_pRecentFileList->ReadList(*s);
  m_nNumPreviewPages = s->value("Settings/PreviewPages", 0).toInt();
}

int CWinApp::GetProfileInt(const std::string& section, const std::string& entry, int def) const {
  bool ok = false;
  int v = OpenSettings()->value(ToQ(section + "/" + entry)).toInt(&ok);
  return ok ? v : def;
}

BOOL CWinApp::WriteProfileInt(const std::string& section, const std::string& entry, int value) {
  auto s = OpenSettings();
  s->setValue(ToQ(section + "/" + entry), value);
  s->sync();
  return s->status() == QSettings::NoError;
}

std::string CWinApp::GetProfileString(const std::string& section, const std::string& entry,
                                      const std::string& def) const {
  QVariant v = OpenSettings()->value(ToQ(section + "/" + entry));
  return v.isValid() ? v.toString().toStdString() : def;
}

BOOL CWinApp::WriteProfileString(const std::string& section, const std::string& entry,
                                 const std::string& value) {
  auto s = OpenSettings();
  s->setValue(ToQ(section + "/" + entry), ToQ(value));
  s->sync();
  return s->status() == QSettings::NoError;
}

void CWinApp::CloseAllDocuments() {
  m_pMainWnd = nullptr;
  m_templates.clear();
}

void CWinApp::AddDocTemplate(CDocTemplate* tmpl) {
  if (tmpl) m_templates.emplace_back(tmpl);
}

CDocument* CWinApp::OpenDocumentFile(const std::string& path) {
  CDocTemplate* t = GetDocTemplate();
  return t ? t->OpenDocumentFile(path, TRUE) : nullptr;
}

void CWinApp::AddToRecentFileList(const std::string& path) {
  if (m_pRecentFileList) m_pRecentFileList->Add(path);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const {
  info = CCommandLineInfo{};
  for (const std::string& a : m_args) {
    // Flags are not used; a leading '/' begins an absolute path here, not a flag.
    if (a.empty() || a[0] == '-') continue;
    if (info.m_strFileName.empty()) {
      info.m_strFileName = a;
      info.m_nShellCommand = CCommandLineInfo::FileOpen;
    }
  }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
  switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
      OnCmdMsg(ID_FILE_NEW, nullptr);
      return m_pMainWnd != nullptr;
    case CCommandLineInfo::FileOpen:
      return OpenDocumentFile(info.m_strFileName) != nullptr;
    default:
      return TRUE;
  }
}

void CWinApp::OnFileNew() {
  if (CDocTemplate* t = GetDocTemplate()) t->OpenDocumentFile(std::string(), TRUE);
}

void CWinApp::OnFileOpen() {
  FileDialogOptions o;
  o.open = true;
  o.flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
  o.filter = "All Files (*.*)|*.*||";
  if (auto path = Ui().FileDialog(o)) OpenDocumentFile(*path);
}

void CWinApp::OnFilePrintSetup() {
  QPageSetupDialog dlg(GetPrinter(), m_pMainWnd);
  dlg.exec();
}

BOOL CWinApp::OnOpenRecentFile(UINT id) {
  if (!m_pRecentFileList) return FALSE;
  int i = static_cast<int>(id - ID_FILE_MRU_FILE1);
  if (i < 0 || i >= m_pRecentFileList->GetCount()) return FALSE;
  std::string path = (*m_pRecentFileList)[i];
  if (!OpenDocumentFile(path)) m_pRecentFileList->Remove(i);
  return TRUE;
}

void CWinApp::OnAppExit() {
  if (m_pMainWnd)
    m_pMainWnd->close();
  else
    QApplication::quit();
}

QPrinter* CWinApp::GetPrinter() {
  if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return m_printer.get();
}

// ---- entry ---------------------------------------------------------------------------

int AfxWinMain(int argc, char** argv) {
  QApplication qapp(argc, argv);
  ForceCNumericLocale();
  QtServicesInstaller services;
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  if (app->m_pszAppName.empty()) {
    std::string title = LoadResourceString(AFX_IDS_APP_TITLE);
    app->m_pszAppName = title.empty() ? std::string(argc > 0 ? argv[0] : "program") : title;
  }
  QApplication::setApplicationName(ToQ(app->m_pszAppName));
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  app->SetCommandLine(std::move(args));
  int status = 0;
  if (app->InitInstance()) {
    QApplication::setQuitOnLastWindowClosed(true);
    status = QApplication::exec();
  }
  int exitStatus = app->ExitInstance();
  // Windows go before the Qt application does.
  app->CloseAllDocuments();
  return status != 0 ? status : exitStatus;
}

}  // namespace plat
