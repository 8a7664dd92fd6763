// The program's resource tables: the main menu, the pages' context menus, the toolbar,
// the accelerators, the string table (titles, idle text, command prompts) and the mouse
// cursors the pages show over their hot zones.
#pragma once
#include "platform/WinTypes.h"

// Resource ids.
constexpr UINT IDR_MAINFRAME = 120;    // menu, accelerators, template string
constexpr UINT IDR_TOOLBAR = 124;      // toolbar
constexpr UINT IDR_PAGE_MENU = 130;    // context menus of the pages
constexpr UINT IDR_GRAPH_MENU = 6910;  // context menus of the graph and 3-D pages
constexpr UINT IDB_ABOUT = 132;        // the About picture
constexpr UINT IDS_OLE_INIT_FAILED = 540;
constexpr UINT IDS_HIDE = 61457;

// Commands of the application and the main frame.
constexpr UINT ID_HOME_PAGE = 34184;
constexpr UINT ID_WORKING_SHEET = 34205;
constexpr UINT ID_RELOCATION_VP = 34100;
constexpr UINT ID_LOAD_NEXT = 32828;

// Fills the resource tables (idempotent).
void RegisterTremviaResources();
