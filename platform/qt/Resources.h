// Command ids, string ids and the resource tables of the program (menus, toolbars,
// accelerators, string table, cursors), kept as data that the frame builds its menus,
// toolbars and shortcuts from. Ids keep the values the Windows class library gives
// them, so command tables read as they would there.
#pragma once
#include <QCursor>
#include <QIcon>
#include <map>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

// Commands and windows of the class library.
constexpr UINT ID_SEPARATOR = 0;
constexpr UINT ID_FILE_NEW = 57600;
constexpr UINT ID_FILE_OPEN = 57601;
constexpr UINT ID_FILE_CLOSE = 57602;
constexpr UINT ID_FILE_SAVE = 57603;
constexpr UINT ID_FILE_SAVE_AS = 57604;
constexpr UINT ID_FILE_PRINT_SETUP = 57606;
constexpr UINT ID_FILE_PRINT = 57607;
constexpr UINT ID_FILE_PRINT_DIRECT = 57608;
constexpr UINT ID_FILE_PRINT_PREVIEW = 57609;
constexpr UINT ID_FILE_MRU_FILE1 = 57616;
constexpr UINT ID_FILE_MRU_LAST = 57631;
constexpr UINT ID_EDIT_COPY = 57634;
constexpr UINT ID_EDIT_CUT = 57635;
constexpr UINT ID_EDIT_PASTE = 57637;
constexpr UINT ID_EDIT_UNDO = 57643;
constexpr UINT ID_APP_ABOUT = 57664;
constexpr UINT ID_APP_EXIT = 57665;
constexpr UINT ID_NEXT_PANE = 57680;
constexpr UINT ID_PREV_PANE = 57681;
constexpr UINT ID_VIEW_TOOLBAR = 59392;
constexpr UINT ID_VIEW_STATUS_BAR = 59393;
constexpr UINT AFX_IDW_TOOLBAR = 59392;
constexpr UINT AFX_IDW_STATUS_BAR = 59393;
constexpr UINT AFX_IDW_DOCKBAR_TOP = 59419;
constexpr UINT AFX_IDW_PANE_FIRST = 59648;
constexpr UINT AFX_IDS_APP_TITLE = 57344;
constexpr UINT AFX_IDS_IDLEMESSAGE = 57345;

namespace plat {

// One menu entry: a command (id, text with "&" mnemonics and an optional "\t" shortcut
// text), a popup (text and items) or a separator (id 0, no text, no items). The File
// menu's item ID_FILE_MRU_FILE1 stands for the recent-file list.
struct MenuItem {
  UINT id = ID_SEPARATOR;
  std::string text;
  std::vector<MenuItem> items;
  bool IsSeparator() const { return id == ID_SEPARATOR && text.empty() && items.empty(); }
  bool IsPopup() const { return !items.empty(); }
};
using MenuResource = std::vector<MenuItem>;  // the bar's popups

// One toolbar position: a command id, or ID_SEPARATOR.
using ToolBarResource = std::vector<UINT>;

// One accelerator: a key in Qt's portable text ("Ctrl+N", "Shift+F6", "Alt+Backspace").
struct Accelerator {
  std::string key;
  UINT id = 0;
};
using AcceleratorResource = std::vector<Accelerator>;

// The program's resource tables, filled by the application at start.
class Resources {
 public:
  static Resources& Get();

  void SetMenu(UINT id, MenuResource menu) { menus_[id] = std::move(menu); }
  void SetToolBar(UINT id, ToolBarResource bar) { toolbars_[id] = std::move(bar); }
  void SetAccelerators(UINT id, AcceleratorResource acc) { accels_[id] = std::move(acc); }
  // String table: command prompts are "status prompt\ntooltip" as in the class library.
  void SetString(UINT id, std::string text) { strings_[id] = std::move(text); }
  void SetIcon(UINT commandId, QIcon icon) { icons_[commandId] = std::move(icon); }
  void SetCursor(UINT id, QCursor cursor) { cursors_[id] = std::move(cursor); }
  // Bitmap resources as packed DIBs (header, colour table, rows), found by name; a
  // numeric id is the name "#id", as the resource functions take it.
  void SetBitmap(const std::string& name, std::vector<BYTE> dib) { bitmaps_[name] = std::move(dib); }
  void SetBitmap(UINT id, std::vector<BYTE> dib) { SetBitmap(BitmapName(id), std::move(dib)); }
  static std::string BitmapName(UINT id) { return "#" + std::to_string(id); }

  const MenuResource* Menu(UINT id) const;
  const ToolBarResource* ToolBar(UINT id) const;
  const AcceleratorResource* Accelerators(UINT id) const;
  // Empty when the id has no string.
  std::string String(UINT id) const;
  // The status prompt of a command: the string's text before "\n".
  std::string Prompt(UINT id) const;
  // The tooltip of a command: the text after "\n", else the prompt.
  std::string ToolTip(UINT id) const;
  QIcon Icon(UINT commandId) const;  // null when none was given
  QCursor Cursor(UINT id) const;     // the arrow when none was given
  bool HasCursor(UINT id) const { return cursors_.count(id) != 0; }
  const std::vector<BYTE>* Bitmap(const std::string& name) const;  // null when missing

 private:
  std::map<UINT, MenuResource> menus_;
  std::map<UINT, ToolBarResource> toolbars_;
  std::map<UINT, AcceleratorResource> accels_;
  std::map<UINT, std::string> strings_;
  std::map<UINT, QIcon> icons_;
  std::map<UINT, QCursor> cursors_;
  std::map<std::string, std::vector<BYTE>> bitmaps_;
};

// LoadString: the string table's text (empty when missing).
inline std::string LoadResourceString(UINT id) { return Resources::Get().String(id); }
// LoadCursor: a cursor resource of the program.
inline QCursor LoadCursorResource(UINT id) { return Resources::Get().Cursor(id); }

}  // namespace plat
