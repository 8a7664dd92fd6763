// The user-interface services that code below the windows calls: message boxes, beeps,
// file and folder dialogs, the wait cursor, status-bar text and the "user input pending"
// poll. Values (MB_*, ID*, OFN_*) are the Windows ones so that callers read as they would
// on Windows. The program installs the real implementation at start; until then (and in
// tools) a headless one answers every box with its default button, cancels every dialog
// and never blocks.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Gdi.h"
#include "platform/WinTypes.h"

// Message box buttons, icons and default buttons.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFBUTTON1 = 0x0;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_DEFMASK = 0xF00;
constexpr UINT MB_SETFOREGROUND = 0x10000;

// Message box results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// MessageBeep kinds besides the MB_ICON* values: 0 is the default sound.
constexpr UINT MB_SIMPLEBEEP = 0xFFFFFFFF;

// File dialog flags.
constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;

namespace plat {

struct FileDialogOptions {
  bool open = true;      // open dialog, else save dialog
  std::string title;     // empty: the dialog's own title
  std::string filter;    // "desc|pat;pat|desc|pat||" as the class library takes it
  std::string defExt;    // appended when the user types a name without extension
  std::string fileName;  // initial name
  DWORD flags = 0;       // OFN_*
};

// One entry of a filter string: its description and its patterns ("*.pad", "*.par").
struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;
};
// Splits "desc|pat;pat|desc|pat||" into entries; stops at an empty description or at
// the end of the text; an entry without its pattern part is dropped.
std::vector<FileFilter> ParseFileFilter(const std::string& filter);

class UiServices {
 public:
  virtual ~UiServices() = default;

  // Shows a box with the buttons and icon of `type`; returns IDOK/IDCANCEL/IDYES/IDNO.
  // An empty caption means the program's title.
  virtual int MessageBox(const std::string& text, UINT type, const std::string& caption) = 0;
  // MessageBeep: 0, MB_ICONHAND, MB_ICONEXCLAMATION, ... or MB_SIMPLEBEEP.
  virtual void MessageBeep(UINT type) = 0;
  // The chosen path, or nothing when the user cancels.
  virtual std::optional<std::string> FileDialog(const FileDialogOptions& options) = 0;
  virtual std::optional<std::string> BrowseFolder(const std::string& title) = 0;
  // Nested: the cursor stays a wait cursor until every Begin has its End.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  // Text of a status-bar pane (0 is the wide message pane); with `update` the bar is
  // repainted before the call returns, even inside a busy loop.
  virtual void SetPaneText(int pane, const std::string& text, bool update) = 0;
  // GetInputState: true when a key or mouse button has been pressed and not processed.
  virtual bool GetInputState() = 0;
  // The font dialog over screen fonts, starting from *lf; on OK *lf is the choice.
  // False when cancelled (and where there is no dialog).
  virtual bool ChooseFont(LOGFONT* /*lf*/) { return false; }

  // The folder a file dialog starts in when it is given no folder of its own: the
  // folder of the document opened last, or of the file chosen in a dialog last.
  void SetDialogFolder(const std::string& folder) { dialogFolder_ = folder; }
  const std::string& DialogFolder() const { return dialogFolder_; }

 private:
  std::string dialogFolder_;
};

// The installed services (the headless ones when nothing is installed).
UiServices& Ui();
// Installs `ui` (not owned; nullptr restores the headless services) and returns the
// previously installed one (nullptr when it was the headless one).
UiServices* InstallUi(UiServices* ui);

// The answer of the box's default button: the first button unless MB_DEFBUTTON2/3.
int DefaultButton(UINT type);

// Class-library style shorthands.
inline int AfxMessageBox(const std::string& text, UINT type = MB_OK) {
  return Ui().MessageBox(text, type, std::string());
}
inline void MessageBeep(UINT type) { Ui().MessageBeep(type); }

// Wait cursor for the lifetime of the object.
class CWaitCursor {
 public:
  CWaitCursor() { Ui().BeginWaitCursor(); }
  ~CWaitCursor() { Ui().EndWaitCursor(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace plat
