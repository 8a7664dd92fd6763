#include "app/MainFrm.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <ctime>

#include "app/DlgOper.h"
#include "app/GridViewData.h"
#include "app/TremviaApp.h"
#include "app/TremviaDocument.h"
#include "app/TremviaResources.h"
#include "platform/UiServices.h"
#include "platform/qt/View.h"
#include "views/gl/GLview.h"
#include "views/graph/GraphView.h"
#include "views/hypo/LocView.h"
#include "views/source/SourceView.h"
#include "views/timeseries/TSView.h"
#include "views/trace/TraceView.h"

namespace {
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD kContainerStyle = 0x50008243;
}  // namespace

MainFrameGeometry MainFrameGeometry::ForScreen(int screenWidth, int screenHeight) {
  MainFrameGeometry g{};
  g.cy = static_cast<int>(screenHeight * 0.95);
  g.cx = static_cast<int>(screenWidth * 0.95);
  g.y = static_cast<int>(g.cy * 0.025);
  g.x = static_cast<int>(g.cx * 0.025);
  const int H = static_cast<int>(screenHeight * 0.45);
  g.leftColumn = static_cast<int>(screenWidth * 0.45);
  g.leftTopRow = static_cast<int>(H * 0.3);
  g.rightTopRow = H;
  return g;
}

CMainFrame::CMainFrame() {
  MapCommand(ID_WORKING_SHEET, &CMainFrame::OnWorkingSheet);
  MapUpdate(ID_WORKING_SHEET, &CMainFrame::OnUpdateWorkingSheet);
  MapCommand(ID_RELOCATION_VP, &CMainFrame::OnRelocationVp);
}

CMainFrame::~CMainFrame() = default;

QSize CMainFrame::ScreenSize() const {
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  return s ? s->size() : QSize(1024, 768);
}

BOOL CMainFrame::PreCreateWindow(plat::CREATESTRUCT& cs) {
  cs.style = WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | FWS_ADDTOTITLE;
  const QSize screen = ScreenSize();
  const MainFrameGeometry g = MainFrameGeometry::ForScreen(screen.width(), screen.height());
  cs.cy = g.cy;
  cs.cx = g.cx;
  cs.y = g.y;
  cs.x = g.x;
  return CWCFrameWndSizeDock::PreCreateWindow(cs);
}

int CMainFrame::OnCreate() {
  if (CWCFrameWndSizeDock::OnCreate() == -1) return -1;
  if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT,
                             WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_GRIPPER | CBRS_TOOLTIPS |
                                 CBRS_FLYBY | CBRS_SIZE_DYNAMIC) ||
      !m_wndToolBar.LoadToolBar(IDR_TOOLBAR))
    return -1;
  static const UINT indicators[] = {ID_SEPARATOR, ID_SEPARATOR};
  if (!m_wndStatusBar.Create(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR) ||
      !m_wndStatusBar.SetIndicators(indicators, 2))
    return -1;
  m_wndStatusBar.SetPaneInfo(0, ID_SEPARATOR, SBPS_NOBORDERS | SBPS_STRETCH, 0);
  m_wndStatusBar.SetPaneInfo(1, ID_SEPARATOR, SBPS_NORMAL, ScreenSize().width() / 4);
  SetMessageBar(&m_wndStatusBar);
  EnableSizeDocking(CBRS_ALIGN_ANY);
  m_wndToolBar.EnableDocking(CBRS_ALIGN_ANY);
  DockControlBar(&m_wndToolBar, AFX_IDW_DOCKBAR_TOP);
  // The toolbar returns where the user left it in the last run.
  LoadBarState("BarState");
  return 0;
}

BOOL CMainFrame::OnCreateClient(plat::CCreateContext* pContext) {
  const QSize screen = ScreenSize();
  const MainFrameGeometry g = MainFrameGeometry::ForScreen(screen.width(), screen.height());
  if (!m_wndSplitter.CreateStatic(this, 1, 2, WS_CHILD | WS_VISIBLE, AFX_IDW_PANE_FIRST))
    return FALSE;
  setCentralWidget(&m_wndSplitter);
  m_wndSplitter.SetColumnInfo(0, g.leftColumn, 0);
  if (!m_wndSplitLeft.CreateStatic(&m_wndSplitter, 0, 0, 2, 1)) return FALSE;
  m_wndSplitLeft.SetRowInfo(0, g.leftTopRow, MainFrameGeometry::kMinRow);
  if (!m_wndSplitRight.CreateStatic(&m_wndSplitter, 0, 1, 2, 1)) return FALSE;
  m_wndSplitRight.SetRowInfo(0, g.rightTopRow, MainFrameGeometry::kMinRow);

  struct Pane {
    CWCTabViewContainer* tab;
    plat::CSplitterWnd* splitter;
    int row;
  } panes[] = {{&m_tabTopLeft, &m_wndSplitLeft, 0},
               {&m_tabBottomLeft, &m_wndSplitLeft, 1},
               {&m_tabTopRight, &m_wndSplitRight, 0},
               {&m_tabBottomRight, &m_wndSplitRight, 1}};
  for (const Pane& p : panes) {
    // Made inside the frame first: a splitter would take a new child as a further pane.
    if (!p.tab->Create(this, RECT{}, kContainerStyle, AFX_IDW_PANE_FIRST + 16 * p.row))
      return FALSE;
    p.splitter->SetPane(p.row, 0, p.tab);
  }

  auto* app = dynamic_cast<CTremviaApp*>(plat::AfxGetApp());
  const int openMode = app ? app->m_nOpenMode : 0;
  const plat::CRuntimeClass* waveClass = pContext && pContext->m_pNewViewClass
                                             ? pContext->m_pNewViewClass
                                             : CTremviaApp::WaveViewClass();
  if (!m_tabTopLeft.AddPage(RUNTIME_CLASS(CTraceView), pContext, "Trace") ||
      !m_tabBottomLeft.AddPage(RUNTIME_CLASS(CTSView), pContext, "TS") ||
      !m_tabBottomLeft.AddPage(waveClass, pContext, "Wave") ||
      !m_tabTopRight.AddPage(RUNTIME_CLASS(CLocView), pContext, "Hypo") ||
      !m_tabTopRight.AddPage(RUNTIME_CLASS(plat::CEditView), pContext, "Event") ||
      !m_tabTopRight.AddPage(RUNTIME_CLASS(CGridViewData), pContext, "Output: sheet") ||
      !m_tabBottomRight.AddPage(RUNTIME_CLASS(CSourceView), pContext, "Foc") ||
      !m_tabBottomRight.AddPage(RUNTIME_CLASS(CGraphView), pContext, "X-Ys graph"))
    return FALSE;
  if (openMode < 3 && !m_tabBottomRight.AddPage(RUNTIME_CLASS(CGLview), pContext, "OpenGL"))
    return FALSE;

  m_tabTopLeft.SetActivePageIndex(0);
  m_tabTopRight.SetActivePageIndex(0);
  m_tabBottomRight.SetActivePageIndex(0);
  m_tabBottomLeft.SetActivePageIndex(openMode == 3 ? 1 : 0);
  // Commands go first to the page the open mode chose to show, until the user clicks
  // another page.
  if (auto* view = dynamic_cast<plat::CView*>(m_tabBottomLeft.GetActivePage()))
    SetActiveView(view, FALSE);
  return TRUE;
}

CGridViewData* CMainFrame::GetGridDataView(BOOL bActivate) {
  if (m_tabTopRight.GetPageCount() < 3) return nullptr;
  if (bActivate) m_tabTopRight.SetActivePageIndex(2);
  return dynamic_cast<CGridViewData*>(m_tabTopRight.GetPage(2));
}

CLocView* CMainFrame::GetLocView(BOOL bActivate) {
  if (m_tabTopRight.GetPageCount() < 1) return nullptr;
  if (bActivate) m_tabTopRight.SetActivePageIndex(0);
  return dynamic_cast<CLocView*>(m_tabTopRight.GetPage(0));
}

CGraphView* CMainFrame::GetGraphView(BOOL bActivate) {
  if (m_tabBottomRight.GetPageCount() < 2) return nullptr;
  if (bActivate) m_tabBottomRight.SetActivePageIndex(1);
  return dynamic_cast<CGraphView*>(m_tabBottomRight.GetPage(1));
}

CTremviaDoc* CMainFrame::GetDoc() {
  CGraphView* view = GetGraphView(FALSE);
  auto* doc = view ? dynamic_cast<CTremviaDocument*>(view->GetDocument()) : nullptr;
  return doc ? &doc->Data() : nullptr;
}

void CMainFrame::ShowDataSheet() {
  CTremviaDoc* doc = GetDoc();
  KZ_MultiVarObj* sheet = doc ? doc->m_pCurSheet : nullptr;
  if (!sheet || sheet->m_nRows <= 0) return;
  CGridViewData* grid = GetGridDataView(TRUE);
  CGraphView* graph = GetGraphView(TRUE);
  if (grid) grid->LoadData(sheet, graph);
  if (graph) graph->SetData(sheet);
}

void CMainFrame::OnWorkingSheet() {
  if (!m_pDlgOper) {
    // Owned by the frame's window, as a dialog made without a parent is by the main
    // window: it stays above it and does not keep the program running once it closes.
    auto dlg = std::make_unique<CDlgOper>(this);
    if (!dlg->Create()) return;
    m_pDlgOper = std::move(dlg);
    // The tabs are laid out once; later uses show the same cells again.
    m_pDlgOper->m_Grid.BuildAllSheets();
  }
  m_pDlgOper->update();
  m_pDlgOper->showNormal();
  m_pDlgOper->raise();
}

void CMainFrame::OnUpdateWorkingSheet(plat::CCmdUI* pCmdUI) { pCmdUI->Enable(GetDoc() != nullptr); }

void CMainFrame::OnRelocationVp() {
  CGraphView* view = GetGraphView(FALSE);
  auto* host = view ? dynamic_cast<CTremviaDocument*>(view->GetDocument()) : nullptr;
  if (!host) return;
  CTremviaDoc& doc = host->Data();
  if (doc.m_EventList.empty() || !doc.m_pHypo) return;
  CAEHypo& hypo = *doc.m_pHypo;
  plat::CWaitCursor wait;
  const int n = hypo.GetNumAE();
  std::tm start = hypo.m_tmStart, ref = hypo.m_tmRef;
  const double A =
      doc.m_fTimeStart +
      static_cast<double>(static_cast<long long>(std::mktime(&start) - std::mktime(&ref)));
  const double B = A + doc.m_fTimeSpan;
  int first = 0, end = n;
  for (size_t i = 0; i < doc.m_EventList.size(); ++i) {
    if (doc.m_EventList[i]->time < A) continue;
    first = doc.m_EventList[i]->record;
    for (size_t j = i + 1; j < doc.m_EventList.size(); ++j) {
      if (doc.m_EventList[j]->time > B) {
        end = doc.m_EventList[j]->record;
        break;
      }
    }
    break;
  }
  for (int i = first; i < end; ++i) {
    if (!hypo.GetAEH(i)) continue;
    AEHRecord& r = hypo.m_Rec;
    if (r.nArrivals < 0 || r.nArrivals > hypo.m_nSensors) continue;
    char text[160];
    int len = std::snprintf(text, sizeof text, "%05d:(%4.1f, %4.1f, %4.1f M%02d)->", i, r.fX, r.fY,
                            r.fZ, r.nArrivals);
    hypo.LocateCurrent();
    std::snprintf(text + len, sizeof text - len, "(%4.1f, %4.1f, %4.1f M%02d)", hypo.m_Rec.fX,
                  hypo.m_Rec.fY, hypo.m_Rec.fZ, hypo.m_Rec.nArrivals);
    plat::Ui().SetPaneText(0, text, true);
    hypo.PutAEH(i, true);
    repaint();
    if (plat::Ui().GetInputState()) break;
  }
  doc.BuildEventList(0, 999999, 1, 0);
}
