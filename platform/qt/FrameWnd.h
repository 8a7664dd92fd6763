// The frame window (menus, toolbar, status bar, accelerators, the active view and the
// routing of commands), its control bars and static splitters.
//
// Command routing: a command id fired from a menu, toolbar, accelerator or popup goes
// to the active view (its table, then its document's), then to the frame, then to the
// application; the first table that maps the id runs it. Menu items and toolbar buttons
// are enabled and checked by the same route's update handlers when a menu is about to
// show and at idle; an id that no table maps stays disabled.
#pragma once
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <map>
#include <string>
#include <vector>

#include "platform/qt/Resources.h"
#include "platform/qt/Wnd.h"

class QAction;
class QMenu;

// Control-bar styles and alignments in use.
constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
constexpr DWORD CBRS_BORDER_LEFT = 0x0100;
constexpr DWORD CBRS_BORDER_TOP = 0x0200;
constexpr DWORD CBRS_BORDER_RIGHT = 0x0400;
constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
constexpr DWORD CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM;
constexpr DWORD CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP;
constexpr DWORD CBRS_GRIPPER = 0x00400000;
constexpr DWORD CBRS_TOOLTIPS = 0x0010;
constexpr DWORD CBRS_FLYBY = 0x0020;
constexpr DWORD CBRS_SIZE_DYNAMIC = 0x0004;
constexpr DWORD TBSTYLE_FLAT = 0x0800;
// Status-bar pane styles.
constexpr UINT SBPS_NORMAL = 0x0000;
constexpr UINT SBPS_NOBORDERS = 0x0100;
constexpr UINT SBPS_STRETCH = 0x0800;

namespace plat {

class CDocument;
class CDocTemplate;
class CView;
class CFrameWnd;

// What a frame passes to the views it creates.
struct CCreateContext {
  const CRuntimeClass* m_pNewViewClass = nullptr;
  CDocument* m_pCurrentDoc = nullptr;
  CDocTemplate* m_pNewDocTemplate = nullptr;
  CView* m_pLastView = nullptr;
  CFrameWnd* m_pCurrentFrame = nullptr;
};

// Creates a view of ctx->m_pNewViewClass (or of `viewClass` when given) as a child of
// `parent` and adds it to the context's document. Null when the class makes no view.
CView* CreateViewFromContext(CCreateContext* ctx, QWidget* parent,
                             const CRuntimeClass* viewClass = nullptr);

// The toolbar: a handle on a Qt toolbar that the frame owns.
class CToolBar {
 public:
  // Flat, movable, floatable; `style` CBRS_* as the class library takes them.
  BOOL CreateEx(CFrameWnd* frame, DWORD ctrlStyle, DWORD style, UINT id = AFX_IDW_TOOLBAR);
  // Buttons from the toolbar resource (icons from Resources::Icon, else the command's
  // tooltip as text).
  BOOL LoadToolBar(UINT resourceId);
  // Dockable sides (CBRS_ALIGN_*).
  void EnableDocking(DWORD align);
  QToolBar* GetToolBar() const { return bar_; }
  // The action of the button at `index` (null for a separator or out of range).
  QAction* ButtonAction(int index) const;

 private:
  QPointer<QToolBar> bar_;
  CFrameWnd* frame_ = nullptr;
};

// The status bar: panes of text; pane 0 stretches and carries the idle text, menu
// prompts and progress texts.
class CStatusBar {
 public:
  BOOL Create(CFrameWnd* frame, DWORD style = 0, UINT id = AFX_IDW_STATUS_BAR);
  BOOL SetIndicators(const UINT* ids, int count);
  void SetPaneInfo(int index, UINT id, UINT style, int width);
  // With `update` the pane is repainted before the call returns (only that pane).
  // The text is bytes, shown as DisplayText shows them; GetPaneText gives UTF-8.
  BOOL SetPaneText(int index, const std::string& text, BOOL update = TRUE);
  std::string GetPaneText(int index) const;
  int GetCount() const { return static_cast<int>(panes_.size()); }
  QStatusBar* GetStatusBar() const { return bar_; }
  QLabel* Pane(int index) const;

 private:
  QPointer<QStatusBar> bar_;
  std::vector<QPointer<QLabel>> panes_;
};

// A static splitter of one row or one column of panes.
class CSplitterWnd : public QSplitter, public CWnd {
 public:
  CSplitterWnd();
  // rows x cols with one of them 1. With a splitter parent and a pane, the new splitter
  // becomes that pane of its parent.
  BOOL CreateStatic(QWidget* parent, int rows, int cols, DWORD style = 0,
                    UINT id = AFX_IDW_PANE_FIRST);
  BOOL CreateStatic(CSplitterWnd* parent, int row, int col, int rows, int cols);
  // Puts a widget into pane (row, col).
  void SetPane(int row, int col, QWidget* pane);
  QWidget* GetPane(int row, int col) const;
  // Ideal and minimum size of a column or row (pixels); the last pane takes the rest.
  void SetColumnInfo(int col, int ideal, int min);
  void SetRowInfo(int row, int ideal, int min);
  void RecalcLayout();
  int GetRowCount() const { return rows_; }
  int GetColumnCount() const { return cols_; }

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  int Index(int row, int col) const { return cols_ == 1 ? row : col; }
  int rows_ = 0, cols_ = 0;
  std::vector<QWidget*> panes_;
  std::vector<int> ideal_;
  std::vector<int> min_;
};

class CFrameWnd : public QMainWindow, public CWnd {
 public:
  CFrameWnd();
  ~CFrameWnd() override;

  // Creation, in this order: PreCreateWindow (geometry and style), the menu and
  // accelerators of `resourceId`, OnCreate, OnCreateClient. False (the frame to be
  // deleted) when OnCreate returns -1 or OnCreateClient fails.
  virtual BOOL LoadFrame(UINT resourceId, CCreateContext* ctx = nullptr);
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
  virtual int OnCreate() { return 0; }
  // The base creates one view of the context's view class filling the client area.
  virtual BOOL OnCreateClient(CCreateContext* ctx);
  // Shows the frame as its creation style says (maximised or at its restored place).
  void ActivateFrame(int showCmd = -1);
  const CREATESTRUCT& GetCreateStruct() const { return m_cs; }

  // Menus and accelerators from the resource tables.
  BOOL LoadMenu(UINT menuId);
  BOOL LoadAccelTable(UINT accelId);
  // Shows a popup at a screen point with this frame as owner: its commands go through
  // the frame's routing; update handlers run first. Returns the chosen id (0 for none)
  // after running it.
  UINT TrackPopupMenu(const std::vector<MenuItem>& items, POINT screenPoint);

  // Docking of control bars (CBRS_ALIGN_*).
  void EnableDocking(DWORD align);
  void DockControlBar(CToolBar* bar, UINT dockBarId = AFX_IDW_DOCKBAR_TOP);
  void ShowControlBar(QWidget* bar, BOOL show);
  virtual void RecalcLayout() {}

  // Active view and document.
  CView* GetActiveView() const { return m_pActiveView; }
  void SetActiveView(CView* view, BOOL notify = TRUE);
  // The visible views in pane order (columns left to right, top to bottom in each),
  // and moving the active view along them (Next Pane, Previous Pane).
  std::vector<CView*> VisibleViews() const;
  void ActivateNextPane(bool forward);
  virtual CDocument* GetActiveDocument() const;
  void SetTitleFromDocument();
  void InitialUpdateFrame(CDocument* doc, BOOL makeVisible);

  // Commands: active view (and its document), the frame's own table, the application.
  bool OnCmdMsg(UINT id, CCmdUI* ui) override;
  // Fires command `id` along the route; true when something handled it.
  bool SendCommand(UINT id);
  // Runs the update handlers for `id` along the route. Without any handler the item is
  // disabled (ui->m_bEnabled false); the return says whether a handler was found.
  bool UpdateCommandUI(UINT id, CCmdUI* ui);
  // Applies the update handlers to every menu item, toolbar button and accelerator.
  void UpdateAllCommandUI();
  // The actions that stand for `id` (menu items, toolbar buttons, accelerators).
  std::vector<QAction*> ActionsFor(UINT id) const;
  // A new action for `id` in this frame: fires the command, shows its prompt on hover.
  QAction* NewCommandAction(UINT id, const QString& text);

  // Status bar used for the UI services' pane texts and menu prompts.
  CStatusBar* GetMessageBar() const { return m_pStatusBar; }
  void SetMessageBar(CStatusBar* bar) { m_pStatusBar = bar; }
  void SetMessageText(const std::string& text);
  CToolBar* GetToolBarHandle() const { return m_pToolBar; }
  void SetToolBarHandle(CToolBar* bar) { m_pToolBar = bar; }

 protected:
  void closeEvent(QCloseEvent* e) override;

  CREATESTRUCT m_cs;
  CView* m_pActiveView = nullptr;
  CDocument* m_pDocument = nullptr;  // the document of the views the frame made
  CStatusBar* m_pStatusBar = nullptr;
  CToolBar* m_pToolBar = nullptr;

 private:
  void BuildMenu(QMenu* menu, const std::vector<MenuItem>& items);
  void FillRecentFiles(QMenu* menu, QAction* placeholder);
  void ApplyUpdate(QAction* a);
  std::multimap<UINT, QPointer<QAction>> m_actions;
  QTimer* m_pIdleTimer = nullptr;
};

}  // namespace plat
