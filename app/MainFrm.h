// The main window: toolbar and status bar, four panes split by splitters, each holding
// a tab container of pages (nine pages in all), accessors through which the working
// sheet and the grids reach the document and three pages, and the frame's own commands.
#pragma once
#include <memory>

#include "platform/qt/FrameWnd.h"
#include "wincomp/docking/WCFrameWndSizeDock.h"
#include "wincomp/tabview/WCTabViewContainer.h"

class CTremviaDoc;
class CLocView;
class CGraphView;
class CGridViewData;
class CDlgOper;

// Where the main window and its splitters go on a screen of a given size (pixels).
struct MainFrameGeometry {
  int x, y, cx, cy;  // restored place and size
  int leftColumn;    // ideal width of the left column
  int leftTopRow;    // ideal height of the left column's top row
  int rightTopRow;   // ideal height of the right column's top row
  static constexpr int kMinRow = 50;
  static MainFrameGeometry ForScreen(int screenWidth, int screenHeight);
};

class CMainFrame : public CWCFrameWndSizeDock {
 public:
  static constexpr const char* kRuntimeClassName = "CMainFrame";

  CMainFrame();
  ~CMainFrame() override;

  BOOL PreCreateWindow(plat::CREATESTRUCT& cs) override;
  int OnCreate() override;
  BOOL OnCreateClient(plat::CCreateContext* pContext) override;

  CGridViewData* GetGridDataView(BOOL bActivate);
  CLocView* GetLocView(BOOL bActivate);
  CGraphView* GetGraphView(BOOL bActivate);
  CTremviaDoc* GetDoc();
  void ShowDataSheet();

  void OnWorkingSheet();
  void OnUpdateWorkingSheet(plat::CCmdUI* pCmdUI);
  void OnRelocationVp();

  // The working-sheet dialog, made on the first Utilities > Working sheet.
  std::unique_ptr<CDlgOper> m_pDlgOper;
  plat::CStatusBar m_wndStatusBar;
  plat::CToolBar m_wndToolBar;
  plat::CSplitterWnd m_wndSplitter;
  plat::CSplitterWnd m_wndSplitLeft;
  plat::CSplitterWnd m_wndSplitRight;
  CWCTabViewContainer m_tabTopLeft;
  CWCTabViewContainer m_tabBottomLeft;
  CWCTabViewContainer m_tabTopRight;
  CWCTabViewContainer m_tabBottomRight;

 private:
  QSize ScreenSize() const;
};
