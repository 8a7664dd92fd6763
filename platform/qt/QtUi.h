// The Qt implementations of the platform's user-interface services, shell and sound
// player, installed by the program at start (AfxWinMain does it).
#pragma once
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "platform/SoundPlayer.h"
#include "platform/UiServices.h"

class QEvent;

namespace plat {

class QtUiServices : public UiServices {
 public:
  QtUiServices();
  ~QtUiServices() override;

  // Boxes with the class library's buttons, icon and default button; the caption is
  // the application's title when empty.
  int MessageBox(const std::string& text, UINT type, const std::string& caption) override;
  void MessageBeep(UINT type) override;
  std::optional<std::string> FileDialog(const FileDialogOptions& options) override;
  std::optional<std::string> BrowseFolder(const std::string& title) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  // Into the main frame's status bar; with `update` only that pane is repainted.
  void SetPaneText(int pane, const std::string& text, bool update) override;
  // Looks at the pending events without running the program's handlers: key and
  // mouse-button presses are noted and held back (with the timer ticks that arrive
  // meanwhile) and posted again, so they are handled once the busy loop returns.
  bool GetInputState() override;
  bool ChooseFont(LOGFONT* lf) override;

  int WaitCursorDepth() const { return waitDepth_; }

 private:
  int waitDepth_ = 0;
};

// Converts "desc|pat;pat|desc|pat||" into Qt's "desc (pat pat);;desc (pat)".
QString ConvertFileFilter(const std::string& filter);
// The path a save dialog returns after the default-extension rule: a name without an
// extension gets "." and the first three characters of `defExt`.
std::string ApplyDefaultExtension(const std::string& path, const std::string& defExt);

// Programs are started detached ("X.exe" found as a sibling program), documents and
// addresses opened with the desktop's viewer.
class QtShell : public Shell {
 public:
  bool ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                    int showCmd) override;
};

// Plays WAV bytes through Qt Multimedia; quietly nothing without an audio device.
class QtSoundPlayer : public SoundPlayer {
 public:
  QtSoundPlayer();
  ~QtSoundPlayer() override;
  void Play(const std::vector<BYTE>& wav, bool async) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Installs the three services above (kept alive until program end) and restores the
// defaults on destruction.
class QtServicesInstaller {
 public:
  QtServicesInstaller();
  ~QtServicesInstaller();

 private:
  QtUiServices ui_;
  QtShell shell_;
  QtSoundPlayer sound_;
};

// Numbers in the C locale whatever the user's locale, for the C library and for Qt.
void ForceCNumericLocale();

}  // namespace plat
