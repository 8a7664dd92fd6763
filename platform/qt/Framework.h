// The document/view framework of the program on Qt widgets, with the Windows class
// library's vocabulary (CWinApp, CSingleDocTemplate, CDocument, CView, CScrollView,
// CFrameWnd, command ids with update handlers) but no window handles or messages.
//
// How the pieces fit together
// ---------------------------
// Application (WinApp.h). One object derived from CWinApp, built before main runs:
//
//   class CMyApp : public plat::CWinApp {
//    public:
//     CMyApp() { MapCommand(ID_FILE_OPEN, &CMyApp::OnFileOpen); }  // own entries win
//     BOOL InitInstance() override {
//       SetRegistryKey("Berit TAM");
//       LoadStdProfileSettings(4);
//       AddDocTemplate(new plat::CSingleDocTemplate(120, RUNTIME_CLASS(CMyDoc),
//                                                 RUNTIME_CLASS(CMyFrame),
//                                                 RUNTIME_CLASS(CMyView)));
//       plat::CCommandLineInfo cmd;
//       ParseCommandLine(cmd);
//       if (!ProcessShellCommand(cmd)) return FALSE;   // no main window: the program ends
//       m_pMainWnd->ActivateFrame();
//       return TRUE;
//     }
//   };
//   CMyApp theApp;
//   int main(int argc, char** argv) { return plat::AfxWinMain(argc, argv); }
//
// AfxWinMain starts Qt, forces the C locale for numbers, installs the Qt UI services
// (message boxes, file dialogs, status text, input probe), shell and sound player, then
// calls InitInstance. The resource tables (menus, toolbars, accelerators, string table,
// icons, cursors) are filled into plat::Resources::Get() before the frame is created.
//
// Opening (CSingleDocTemplate): the first OpenDocumentFile creates the document and the
// frame by their run-time classes. The frame runs PreCreateWindow, loads the menu and
// accelerators of the template's resource id, OnCreate (bars), OnCreateClient (views,
// made with CreateViewFromContext so they join the document), then the document's
// OnOpenDocument(path) runs, every view gets OnInitialUpdate (the base calls
// OnUpdate(nullptr, 0, nullptr)) and the frame is shown. Later opens reuse document,
// frame and views. The path goes on the recent-file list (settings key given by
// SetRegistryKey, 4 entries, written by ExitInstance).
//
// Document (Document.h). CDocument implements plat::DocumentHost: give `*this` to the
// data core, which calls UpdateAllViews(sender, hint, object). Every view but the sender
// gets OnUpdate(sender, hint, object) before UpdateAllViews returns.
//
// Views (View.h). A view is a QWidget. OnUpdate usually calls Invalidate() (and
// UpdateWindow() to paint at once); painting renders the view's backing image through
// OnPrepareDC + OnDraw(CDC*) with a Qt DC (QtDc.h) and blits it. CScrollView adds
// SetScrollSizes(MM_HIMETRIC, total) and an OnPrepareDC that sets the mapping mode and,
// on screen, the viewport origin at minus the scroll position. A container that shows
// the bars itself uses HasScrollBar/GetScrollInfo/SetScrollPos/ShowOwnScrollBars and
// SetScrollListener. CClientDC draws into the view outside painting. Printing: map
// ID_FILE_PRINT / ID_FILE_PRINT_DIRECT / ID_FILE_PRINT_PREVIEW to OnFilePrint,
// OnFilePrintDirect, OnFilePrintPreview; they run OnPreparePrinting, OnBeginPrinting,
// OnPrepareDC + OnPrint (-> OnDraw) per page with a printer DC, OnEndPrinting.
//
// Frames (FrameWnd.h). CFrameWnd is a QMainWindow. In OnCreate create the bars:
// CToolBar::CreateEx + LoadToolBar(id), CStatusBar::Create + SetIndicators, then
// EnableDocking / DockControlBar. CSplitterWnd holds panes in one row or column.
// SetActiveView names the view that gets commands first.
//
// Commands (CmdTarget.h). Every CCmdTarget (app, frame, document, view, any CWnd) has a
// table: MapCommand(id, handler), MapUpdate(id, handler(CCmdUI*)), and range forms.
// A command goes active view -> its document -> frame -> application; an id that no
// table maps is disabled. Update handlers run when a menu is about to show and at idle.
// CFrameWnd::SendCommand(id) fires a command as a menu item would;
// CFrameWnd::TrackPopupMenu shows a context menu whose commands take the same route.
//
// Windows (Wnd.h). Any widget class can add CWnd as its second base for timers by id
// (SetTimer/KillTimer/OnTimer), Invalidate/UpdateWindow, GetClientRect, cursors and
// GetParentFrame.
//
// Services: QtUi.h (UI services, shell, sound), Clipboard.h, QtDc.h (Qt DC, client
// DC, printer DC, DIB <-> QImage), SysColors.h (GetSysColor from the palette).
#pragma once

#include "platform/qt/Clipboard.h"
#include "platform/qt/CmdTarget.h"
#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/QtUi.h"
#include "platform/qt/Resources.h"
#include "platform/qt/SysColors.h"
#include "platform/qt/View.h"
#include "platform/qt/WinApp.h"
#include "platform/qt/Wnd.h"
