#include "wincomp/docking/WCFrameWndSizeDock.h"

#include <QByteArray>
#include <QCloseEvent>
#include <QSettings>
#include <QToolBar>

#include "platform/qt/WinApp.h"

namespace {

// The side styles of the dock bars, in the order of kDockBarIds.
constexpr DWORD kDockBarStyles[4] = {
    CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM, CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP,
    CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT, CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT};

Qt::DockWidgetArea AreaOfId(UINT id) {
  switch (id) {
    case 59422:
      return Qt::BottomDockWidgetArea;
    case 59420:
      return Qt::LeftDockWidgetArea;
    case 59421:
      return Qt::RightDockWidgetArea;
    default:
      return Qt::TopDockWidgetArea;
  }
}

// Bumped whenever the stored layout would no longer fit the frame's bars.
constexpr int kBarStateVersion = 1;

}  // namespace

CWCFrameWndSizeDock::CWCFrameWndSizeDock() {
  // View > Toolbar shows and hides the toolbar's frame, wherever it is docked or floats.
  MapCommand(ID_VIEW_TOOLBAR, [this] {
    if (CWCSizableMiniDockFrameWnd* f = GetBarFrame(GetToolBarHandle()))
      f->setVisible(f->isHidden());
    else if (GetToolBarHandle() && GetToolBarHandle()->GetToolBar())
      GetToolBarHandle()->GetToolBar()->setVisible(GetToolBarHandle()->GetToolBar()->isHidden());
  });
  MapUpdate(ID_VIEW_TOOLBAR, [this](plat::CCmdUI* ui) {
    CWCSizableMiniDockFrameWnd* f = GetBarFrame(GetToolBarHandle());
    QToolBar* tb = GetToolBarHandle() ? GetToolBarHandle()->GetToolBar() : nullptr;
    ui->Enable(f || tb);
    ui->SetCheck(f ? !f->isHidden() : tb && !tb->isHidden());
  });
}

CWCFrameWndSizeDock::~CWCFrameWndSizeDock() = default;

void CWCFrameWndSizeDock::EnableSizeDocking(DWORD dwDockStyle) {
  for (int k = 0; k < 4; ++k) {
    const DWORD side = kDockBarStyles[k] & CBRS_ALIGN_ANY;
    if (!(dwDockStyle & side) || GetDockBar(kDockBarIds[k])) continue;
    m_dockBars.push_back(std::make_unique<CWCSizeDockBar>(this, kDockBarIds[k], kDockBarStyles[k]));
    m_dwSizeDockStyle |= side;
  }
  EnableDocking(m_dwSizeDockStyle);
}

CWCSizeDockBar* CWCFrameWndSizeDock::GetDockBar(UINT id) const {
  for (const auto& b : m_dockBars)
    if (b->GetDlgCtrlID() == id) return b.get();
  return nullptr;
}

CWCSizableMiniDockFrameWnd* CWCFrameWndSizeDock::GetBarFrame(const plat::CToolBar* bar) const {
  if (!bar) return nullptr;
  for (const auto& [b, f] : m_barFrames)
    if (b == bar) return f.data();
  return nullptr;
}

void CWCFrameWndSizeDock::DockControlBar(plat::CToolBar* bar, UINT dockBarId) {
  QToolBar* tb = bar ? bar->GetToolBar() : nullptr;
  if (!tb) return;
  CWCSizableMiniDockFrameWnd* frame = GetBarFrame(bar);
  if (!frame) {
    auto* buttons = new CWCBarButtons;
    buttons->SetActions(tb->actions());
    const QString title =
        tb->windowTitle().isEmpty() ? QStringLiteral("Toolbar") : tb->windowTitle();
    frame = new CWCSizableMiniDockFrameWnd(title, buttons, this);
    frame->setObjectName(tb->objectName().isEmpty() ? QStringLiteral("toolbar") : tb->objectName());
    // The sides both the frame and the toolbar allow.
    Qt::DockWidgetAreas areas;
    const Qt::ToolBarAreas allowed = tb->allowedAreas();
    if ((m_dwSizeDockStyle & CBRS_ALIGN_TOP) && (allowed & Qt::TopToolBarArea))
      areas |= Qt::TopDockWidgetArea;
    if ((m_dwSizeDockStyle & CBRS_ALIGN_BOTTOM) && (allowed & Qt::BottomToolBarArea))
      areas |= Qt::BottomDockWidgetArea;
    if ((m_dwSizeDockStyle & CBRS_ALIGN_LEFT) && (allowed & Qt::LeftToolBarArea))
      areas |= Qt::LeftDockWidgetArea;
    if ((m_dwSizeDockStyle & CBRS_ALIGN_RIGHT) && (allowed & Qt::RightToolBarArea))
      areas |= Qt::RightDockWidgetArea;
    frame->setAllowedAreas(areas);
    // The toolbar stays the holder of the actions; its buttons are the frame's now.
    removeToolBar(tb);
    tb->hide();
    m_barFrames.emplace_back(bar, frame);
  }
  const Qt::DockWidgetArea area = AreaOfId(dockBarId);
  addDockWidget(area, frame,
                area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea ? Qt::Vertical
                                                                                  : Qt::Horizontal);
  frame->show();
}

void CWCFrameWndSizeDock::SaveBarState(const std::string& section) const {
  plat::CWinApp* app = plat::AfxGetApp();
  if (!app || section.empty()) return;
  auto s = app->OpenSettings();
  s->setValue(QString::fromStdString(section + "/Layout"), saveState(kBarStateVersion));
}

void CWCFrameWndSizeDock::LoadBarState(const std::string& section) {
  m_strBarSection = section;
  plat::CWinApp* app = plat::AfxGetApp();
  if (!app || section.empty()) return;
  auto s = app->OpenSettings();
  const QByteArray state = s->value(QString::fromStdString(section + "/Layout")).toByteArray();
  if (!state.isEmpty()) restoreState(state, kBarStateVersion);
}

void CWCFrameWndSizeDock::closeEvent(QCloseEvent* e) {
  plat::CFrameWnd::closeEvent(e);
  if (e->isAccepted() && !m_strBarSection.empty()) SaveBarState(m_strBarSection);
}
