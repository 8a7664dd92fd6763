// The application object: starts the program, registers the single-document template
// (document, main frame, "Wave" page), owns the seven cursors the pages show, and records
// before a file is opened from the Open dialog which kind of file it is (the open mode),
// which decides the main frame's pages. Help > About shows the About picture.
#pragma once
#include <QCursor>
#include <array>
#include <memory>

#include "platform/qt/WinApp.h"

class CTremviaApp : public plat::CWinApp {
 public:
  CTremviaApp();
  ~CTremviaApp() override;

  BOOL InitInstance() override;
  int ExitInstance() override;
  void OnFileNew() override;
  void OnFileOpen() override;
  void OnAppAbout();
  void OnHomePage();

  // The open mode a chosen path gives: 1 a parameter file (ends in "pad"), 2 an event
  // list (ends in "loc"), 3 anything else; case is ignored.
  static int OpenModeOf(const std::string& path);
  // The run-time class of the "Wave" page.
  static const plat::CRuntimeClass* WaveViewClass();

  // Cursors 137, 142, 139, 143, 141, 144, 145, in this order.
  std::array<QCursor, 7> m_hViewCursors;
  int m_nOpenMode = 0;

 private:
  // The About picture into the global splash window (made when there is none).
  void LoadAboutPicture();
};
