#include "app/TremviaApp.h"

#include <algorithm>
#include <cctype>

#include "app/AboutPicture.h"
#include "app/MainFrm.h"
#include "app/TremviaDocument.h"
#include "app/TremviaResources.h"
#include "platform/Shell.h"
#include "platform/UiServices.h"
#include "views/wave/WaveView.h"
#include "wincomp/splash/WCSplashWnd.h"

namespace {
// The maker's home page.
constexpr const char* kHomePage = "https://tremvia.org/";
}  // namespace

CTremviaApp::CTremviaApp() : plat::CWinApp("Tremvia") {
  // The application's own entries win over the class library's.
  MapCommand(ID_FILE_NEW, [this] { OnFileNew(); });
  MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
  MapCommand(ID_APP_ABOUT, &CTremviaApp::OnAppAbout);
  MapCommand(ID_HOME_PAGE, &CTremviaApp::OnHomePage);
}

CTremviaApp::~CTremviaApp() = default;

int CTremviaApp::ExitInstance() {
  // The About window, when it was never shown (or never closed), goes with the program's
  // other windows, before the window system does.
  delete CWCSplashWnd::s_pGlobalSplash;
  return plat::CWinApp::ExitInstance();
}

const plat::CRuntimeClass* CTremviaApp::WaveViewClass() { return RUNTIME_CLASS(CWaveView); }

int CTremviaApp::OpenModeOf(const std::string& path) {
  std::string tail = path.size() >= 3 ? path.substr(path.size() - 3) : path;
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (tail == "pad") return 1;
  if (tail == "loc") return 2;
  return 3;
}

void CTremviaApp::LoadAboutPicture() {
  RegisterAboutPicture();
  CWCSplashWnd::LoadGlobalBitmap(IDB_ABOUT, RGB(255, 255, 255), nullptr, 0);
}

BOOL CTremviaApp::InitInstance() {
  RegisterTremviaResources();
  // 1. The About picture goes into the splash window, which is not shown now.
  LoadAboutPicture();
  // 2., 3. Nothing to initialise for embedded objects or controls.
  // 4., 5. Settings store and the recent-file list.
  SetRegistryKey("Berit TAM");
  LoadStdProfileSettings(4);
  // 6. The pages' cursors.
  const UINT cursorIds[7] = {137, 142, 139, 143, 141, 144, 145};
  for (int i = 0; i < 7; ++i) m_hViewCursors[i] = LoadCursor(cursorIds[i]);
  // 7. One single-document template.
  AddDocTemplate(new plat::CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CTremviaDocument),
                                              RUNTIME_CLASS(CMainFrame), WaveViewClass()));
  // 8., 9. Open mode 0; the command line opens its file directly, or asks for one.
  m_nOpenMode = 0;
  plat::CCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  if (!ProcessShellCommand(cmdInfo)) return FALSE;
  // 10. Show the main window.
  if (!m_pMainWnd) return FALSE;
  m_pMainWnd->ActivateFrame();
  m_pMainWnd->UpdateWindow();
  return TRUE;
}

void CTremviaApp::OnFileNew() { OnFileOpen(); }

void CTremviaApp::OnFileOpen() {
  plat::FileDialogOptions o;
  o.open = true;
  o.title = "Open Tremvia File";
  o.filter =
      "Tremvia File(*.pad;*.wav;*.aew;*.sg2;*.lng;*.loc)|*.pad;*.wav;*.aew;*.sg2;*.lng;*.loc|";
  const auto path = plat::Ui().FileDialog(o);
  if (!path) return;
  m_nOpenMode = OpenModeOf(*path);
  OpenDocumentFile(*path);
}

void CTremviaApp::OnAppAbout() {
  // The window deleted itself when it last closed: the picture goes into a new one,
  // shown until a key or a click.
  LoadAboutPicture();
  if (CWCSplashWnd::s_pGlobalSplash) CWCSplashWnd::s_pGlobalSplash->Show(-1, nullptr, nullptr);
}

void CTremviaApp::OnHomePage() {
  plat::GetShell().ShellExecute("open", kHomePage, std::string(), plat::SW_SHOWMAXIMIZED);
}
