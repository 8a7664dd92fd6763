#include "platform/qt/FrameWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

#include "platform/qt/Document.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/View.h"
#include "platform/qt/WinApp.h"

namespace plat {
namespace {

constexpr const char* kIdProperty = "tvCommandId";

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

// The status bar's idle text: the string table's, else the class library's "Ready".
std::string IdleText() {
  std::string s = LoadResourceString(AFX_IDS_IDLEMESSAGE);
  return s.empty() ? std::string("Ready") : s;
}

UINT IdOf(const QAction* a) { return a ? a->property(kIdProperty).toUInt() : 0; }

}  // namespace

CView* CreateViewFromContext(CCreateContext* ctx, QWidget* parent, const CRuntimeClass* viewClass) {
  const CRuntimeClass* rc = viewClass ? viewClass : (ctx ? ctx->m_pNewViewClass : nullptr);
  if (!rc) return nullptr;
  CObject* obj = rc->CreateObject();
  auto* view = dynamic_cast<CView*>(obj);
  if (!view) {
    delete obj;
    return nullptr;
  }
  if (parent) view->setParent(parent);
  if (ctx && ctx->m_pCurrentDoc) ctx->m_pCurrentDoc->AddView(view);
  return view;
}

// ---- CToolBar ------------------------------------------------------------------------

BOOL CToolBar::CreateEx(CFrameWnd* frame, DWORD, DWORD style, UINT id) {
  if (!frame) return FALSE;
  frame_ = frame;
  bar_ = new QToolBar(frame);
  bar_->setObjectName(QString("toolbar%1").arg(id));
  bar_->setMovable(style & CBRS_GRIPPER);
  bar_->setFloatable(true);
  bar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  frame->addToolBar(Qt::TopToolBarArea, bar_);
  if (!frame->GetToolBarHandle()) frame->SetToolBarHandle(this);
  return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT resourceId) {
  const ToolBarResource* res = Resources::Get().ToolBar(resourceId);
  if (!bar_ || !frame_ || !res) return FALSE;
  bar_->clear();
  for (UINT id : *res) {
    if (id == ID_SEPARATOR) {
      bar_->addSeparator();
      continue;
    }
    std::string tip = Resources::Get().ToolTip(id);
    QAction* a = frame_->NewCommandAction(id, ToQ(tip.empty() ? std::to_string(id) : tip));
    QIcon icon = Resources::Get().Icon(id);
    if (!icon.isNull()) a->setIcon(icon);
    a->setToolTip(ToQ(tip));
    bar_->addAction(a);
  }
  return TRUE;
}

void CToolBar::EnableDocking(DWORD align) {
  if (!bar_) return;
  Qt::ToolBarAreas areas;
  if (align & CBRS_ALIGN_TOP) areas |= Qt::TopToolBarArea;
  if (align & CBRS_ALIGN_BOTTOM) areas |= Qt::BottomToolBarArea;
  if (align & CBRS_ALIGN_LEFT) areas |= Qt::LeftToolBarArea;
  if (align & CBRS_ALIGN_RIGHT) areas |= Qt::RightToolBarArea;
  bar_->setAllowedAreas(areas);
  bar_->setMovable(areas != Qt::NoToolBarArea);
}

QAction* CToolBar::ButtonAction(int index) const {
  if (!bar_) return nullptr;
  QList<QAction*> acts = bar_->actions();
  if (index < 0 || index >= acts.size() || acts[index]->isSeparator()) return nullptr;
  return acts[index];
}

// ---- CStatusBar ----------------------------------------------------------------------

BOOL CStatusBar::Create(CFrameWnd* frame, DWORD, UINT) {
  if (!frame) return FALSE;
  bar_ = new QStatusBar(frame);
  bar_->setSizeGripEnabled(true);
  frame->setStatusBar(bar_);
  if (!frame->GetMessageBar()) frame->SetMessageBar(this);
  return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count) {
  if (!bar_ || count < 0) return FALSE;
  for (auto& l : panes_) delete l.data();
  panes_.clear();
  for (int i = 0; i < count; ++i) {
    auto* label = new QLabel(bar_);
    label->setTextFormat(Qt::PlainText);
    if (i == 0) {
      bar_->addWidget(label, 1);
      label->setText(ToQ(IdleText()));
    } else {
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      bar_->addPermanentWidget(label, 0);
      label->setText(ToQ(ids && ids[i] ? LoadResourceString(ids[i]) : std::string()));
    }
    panes_.emplace_back(label);
  }
  return TRUE;
}

void CStatusBar::SetPaneInfo(int index, UINT, UINT style, int width) {
  QLabel* l = Pane(index);
  if (!l) return;
  if (style & SBPS_NOBORDERS) l->setFrameStyle(QFrame::NoFrame);
  if (!(style & SBPS_STRETCH) && width > 0) l->setFixedWidth(width);
}

BOOL CStatusBar::SetPaneText(int index, const std::string& text, BOOL update) {
  QLabel* l = Pane(index);
  if (!l) return FALSE;
  l->setText(DisplayText(text));
  if (update && l->isVisible()) l->repaint();
  return TRUE;
}

std::string CStatusBar::GetPaneText(int index) const {
  QLabel* l = Pane(index);
  return l ? l->text().toStdString() : std::string();
}

QLabel* CStatusBar::Pane(int index) const {
  if (index < 0 || index >= static_cast<int>(panes_.size())) return nullptr;
  return panes_[index].data();
}

// ---- CSplitterWnd --------------------------------------------------------------------

CSplitterWnd::CSplitterWnd() : QSplitter(), CWnd(this) { setChildrenCollapsible(false); }

BOOL CSplitterWnd::CreateStatic(QWidget* parent, int rows, int cols, DWORD, UINT) {
  if (rows < 1 || cols < 1 || (rows > 1 && cols > 1)) return FALSE;
  rows_ = rows;
  cols_ = cols;
  setOrientation(cols > 1 ? Qt::Horizontal : Qt::Vertical);
  if (parent) setParent(parent);
  const int n = std::max(rows, cols);
  panes_.assign(n, nullptr);
  ideal_.assign(n, -1);
  min_.assign(n, 0);
  for (int i = 0; i < n; ++i) {
    auto* placeholder = new QWidget(this);
    addWidget(placeholder);
    panes_[i] = placeholder;
    setStretchFactor(i, i == n - 1 ? 1 : 0);
  }
  return TRUE;
}

BOOL CSplitterWnd::CreateStatic(CSplitterWnd* parent, int row, int col, int rows, int cols) {
  if (!parent) return FALSE;
  if (!CreateStatic(static_cast<QWidget*>(nullptr), rows, cols)) return FALSE;
  parent->SetPane(row, col, this);
  return TRUE;
}

void CSplitterWnd::SetPane(int row, int col, QWidget* pane) {
  int i = Index(row, col);
  if (i < 0 || i >= static_cast<int>(panes_.size()) || !pane) return;
  QWidget* old = panes_[i];
  if (old == pane) return;
  replaceWidget(i, pane);
  panes_[i] = pane;
  if (old) old->deleteLater();
  setStretchFactor(i, i == static_cast<int>(panes_.size()) - 1 ? 1 : 0);
  if (min_[i] > 0) {
    if (orientation() == Qt::Horizontal)
      pane->setMinimumWidth(min_[i]);
    else
      pane->setMinimumHeight(min_[i]);
  }
}

QWidget* CSplitterWnd::GetPane(int row, int col) const {
  int i = Index(row, col);
  return i >= 0 && i < static_cast<int>(panes_.size()) ? panes_[i] : nullptr;
}

void CSplitterWnd::SetColumnInfo(int col, int ideal, int min) {
  if (cols_ <= 1 || col < 0 || col >= cols_) return;
  ideal_[col] = ideal;
  min_[col] = min;
  if (panes_[col] && min > 0) panes_[col]->setMinimumWidth(min);
  RecalcLayout();
}

void CSplitterWnd::SetRowInfo(int row, int ideal, int min) {
  if (rows_ <= 1 || row < 0 || row >= rows_) return;
  ideal_[row] = ideal;
  min_[row] = min;
  if (panes_[row] && min > 0) panes_[row]->setMinimumHeight(min);
  RecalcLayout();
}

void CSplitterWnd::RecalcLayout() {
  const int n = static_cast<int>(panes_.size());
  if (n == 0) return;
  int total = orientation() == Qt::Horizontal ? width() : height();
  QList<int> sizes;
  int used = 0;
  for (int i = 0; i < n - 1; ++i) {
    int s = ideal_[i] >= 0 ? ideal_[i] : total / n;
    sizes << s;
    used += s;
  }
  sizes << std::max(0, total - used - handleWidth() * (n - 1));
  setSizes(sizes);
}

void CSplitterWnd::showEvent(QShowEvent* e) {
  QSplitter::showEvent(e);
  RecalcLayout();
}

// ---- CFrameWnd -----------------------------------------------------------------------

CFrameWnd::CFrameWnd() : QMainWindow(), CWnd(this) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  m_pIdleTimer = new QTimer(this);
  m_pIdleTimer->setInterval(250);
  QObject::connect(m_pIdleTimer, &QTimer::timeout, this, [this] {
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this)
      app->OnIdle(0);
    else
      UpdateAllCommandUI();
  });
  // F6 and Shift+F6 move the active view to the next or previous pane.
  MapCommand(ID_NEXT_PANE, [this] { ActivateNextPane(true); });
  MapCommand(ID_PREV_PANE, [this] { ActivateNextPane(false); });
  MapUpdate(ID_NEXT_PANE, [this](CCmdUI* ui) { ui->Enable(VisibleViews().size() > 1); });
  MapUpdate(ID_PREV_PANE, [this](CCmdUI* ui) { ui->Enable(VisibleViews().size() > 1); });
  // View > Toolbar and View > Status Bar show or hide the bars, checked while shown.
  MapCommand(ID_VIEW_TOOLBAR, [this] {
    if (m_pToolBar && m_pToolBar->GetToolBar())
      m_pToolBar->GetToolBar()->setVisible(!m_pToolBar->GetToolBar()->isVisible());
  });
  MapUpdate(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) {
    ui->Enable(m_pToolBar && m_pToolBar->GetToolBar());
    ui->SetCheck(m_pToolBar && m_pToolBar->GetToolBar() && m_pToolBar->GetToolBar()->isVisible());
  });
  MapCommand(ID_VIEW_STATUS_BAR, [this] {
    if (m_pStatusBar && m_pStatusBar->GetStatusBar())
      m_pStatusBar->GetStatusBar()->setVisible(!m_pStatusBar->GetStatusBar()->isVisible());
  });
  MapUpdate(ID_VIEW_STATUS_BAR, [this](CCmdUI* ui) {
    ui->Enable(m_pStatusBar && m_pStatusBar->GetStatusBar());
    ui->SetCheck(m_pStatusBar && m_pStatusBar->GetStatusBar() &&
                 m_pStatusBar->GetStatusBar()->isVisible());
  });
}

CFrameWnd::~CFrameWnd() {
  if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT&) { return TRUE; }

BOOL CFrameWnd::LoadFrame(UINT resourceId, CCreateContext* ctx) {
  m_cs = CREATESTRUCT{};
  if (!PreCreateWindow(m_cs)) return FALSE;
  if (m_cs.cx > 0 && m_cs.cy > 0) setGeometry(m_cs.x, m_cs.y, m_cs.cx, m_cs.cy);
  LoadMenu(resourceId);
  LoadAccelTable(resourceId);
  if (ctx) {
    ctx->m_pCurrentFrame = this;
    m_pDocument = ctx->m_pCurrentDoc;
  }
  if (OnCreate() == -1) return FALSE;
  if (!OnCreateClient(ctx)) return FALSE;
  m_pIdleTimer->start();
  return TRUE;
}

BOOL CFrameWnd::OnCreateClient(CCreateContext* ctx) {
  if (!ctx || !ctx->m_pNewViewClass) return TRUE;
  CView* view = CreateViewFromContext(ctx, this);
  if (!view) return FALSE;
  setCentralWidget(view);
  if (!m_pActiveView) SetActiveView(view, FALSE);
  return TRUE;
}

void CFrameWnd::ActivateFrame(int showCmd) {
  if (showCmd == -1) showCmd = (m_cs.style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW;
  ShowWindow(showCmd);
  UpdateAllCommandUI();
}

void CFrameWnd::BuildMenu(QMenu* menu, const std::vector<MenuItem>& items) {
  for (const MenuItem& it : items) {
    if (it.IsSeparator()) {
      menu->addSeparator();
    } else if (it.IsPopup()) {
      QMenu* sub = menu->addMenu(ToQ(it.text));
      BuildMenu(sub, it.items);
    } else {
      QAction* a = NewCommandAction(it.id, ToQ(it.text));
      menu->addAction(a);
    }
  }
  QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu] {
    for (QAction* a : menu->actions()) {
      if (IdOf(a) == ID_FILE_MRU_FILE1 && a->property("tvMruPlaceholder").toBool())
        FillRecentFiles(menu, a);
    }
    for (QAction* a : menu->actions())
      if (IdOf(a)) ApplyUpdate(a);
  });
  QObject::connect(menu, &QMenu::aboutToHide, menu, [this] { SetMessageText(IdleText()); });
}

void CFrameWnd::FillRecentFiles(QMenu* menu, QAction* placeholder) {
  // The placeholder stays (hidden) as the anchor; the entries follow it.
  for (auto it = m_actions.begin(); it != m_actions.end();)
    it = it->second ? std::next(it) : m_actions.erase(it);
  for (QAction* a : menu->actions())
    if (a->property("tvMruEntry").toBool()) {
      menu->removeAction(a);
      a->deleteLater();
    }
  CWinApp* app = AfxGetApp();
  CRecentFileList* mru = app ? app->GetRecentFileList() : nullptr;
  const int n = mru ? mru->GetCount() : 0;
  placeholder->setVisible(n == 0);
  placeholder->setEnabled(false);
  QList<QAction*> acts = menu->actions();
  int pos = static_cast<int>(acts.indexOf(placeholder));
  QAction* before = pos + 1 < acts.size() ? acts[pos + 1] : nullptr;
  for (int i = 0; i < n; ++i) {
    QString text = QString("&%1 %2").arg(i + 1).arg(ToQ((*mru)[i]));
    QAction* a = NewCommandAction(ID_FILE_MRU_FILE1 + i, text);
    a->setProperty("tvMruEntry", true);
    menu->insertAction(before, a);
  }
}

BOOL CFrameWnd::LoadMenu(UINT menuId) {
  const MenuResource* res = Resources::Get().Menu(menuId);
  if (!res) return FALSE;
  menuBar()->clear();
  for (const MenuItem& top : *res) {
    if (top.IsPopup() || !top.text.empty()) {
      QMenu* m = menuBar()->addMenu(ToQ(top.text));
      BuildMenu(m, top.items);
    }
  }
  for (auto& [id, a] : m_actions)
    if (id == ID_FILE_MRU_FILE1 && a) a->setProperty("tvMruPlaceholder", true);
  return TRUE;
}

BOOL CFrameWnd::LoadAccelTable(UINT accelId) {
  const AcceleratorResource* res = Resources::Get().Accelerators(accelId);
  if (!res) return FALSE;
  for (const Accelerator& acc : *res) {
    QAction* a = NewCommandAction(acc.id, QString());
    a->setShortcut(QKeySequence(ToQ(acc.key)));
    a->setShortcutContext(Qt::WindowShortcut);
    a->setProperty("tvAccelerator", true);
    addAction(a);
  }
  return TRUE;
}

QAction* CFrameWnd::NewCommandAction(UINT id, const QString& text) {
  auto* a = new QAction(text, this);
  a->setProperty(kIdProperty, id);
  a->setData(id);
  QObject::connect(a, &QAction::triggered, this, [this, id] { SendCommand(id); });
  QObject::connect(a, &QAction::hovered, this, [this, id] {
    std::string prompt = Resources::Get().Prompt(id);
    if (!prompt.empty()) SetMessageText(prompt);
  });
  m_actions.emplace(id, a);
  return a;
}

std::vector<QAction*> CFrameWnd::ActionsFor(UINT id) const {
  std::vector<QAction*> out;
  auto [b, e] = m_actions.equal_range(id);
  for (auto it = b; it != e; ++it)
    if (it->second) out.push_back(it->second.data());
  return out;
}

UINT CFrameWnd::TrackPopupMenu(const std::vector<MenuItem>& items, POINT screenPoint) {
  QMenu menu(this);
  std::function<void(QMenu*, const std::vector<MenuItem>&)> build =
      [&](QMenu* m, const std::vector<MenuItem>& list) {
        for (const MenuItem& it : list) {
          if (it.IsSeparator()) {
            m->addSeparator();
          } else if (it.IsPopup()) {
            build(m->addMenu(ToQ(it.text)), it.items);
          } else {
            QAction* a = m->addAction(ToQ(it.text));
            a->setProperty(kIdProperty, it.id);
            a->setData(it.id);
            CCmdUI ui(it.id);
            UpdateCommandUI(it.id, &ui);
            a->setEnabled(ui.m_bEnabled);
            a->setCheckable(ui.m_nCheck != 0);
            a->setChecked(ui.m_nCheck != 0);
          }
        }
      };
  build(&menu, items);
  QAction* chosen = menu.exec(QPoint(screenPoint.x, screenPoint.y));
  UINT id = IdOf(chosen);
  if (id) SendCommand(id);
  return id;
}

void CFrameWnd::EnableDocking(DWORD align) {
  DockOptions opts = AnimatedDocks | AllowNestedDocks | AllowTabbedDocks;
  setDockOptions(opts);
  (void)align;
}

void CFrameWnd::DockControlBar(CToolBar* bar, UINT dockBarId) {
  if (!bar || !bar->GetToolBar()) return;
  Qt::ToolBarArea area = Qt::TopToolBarArea;
  switch (dockBarId) {
    case AFX_IDW_DOCKBAR_TOP + 1:
      area = Qt::LeftToolBarArea;
      break;
    case AFX_IDW_DOCKBAR_TOP + 2:
      area = Qt::RightToolBarArea;
      break;
    case AFX_IDW_DOCKBAR_TOP + 3:
      area = Qt::BottomToolBarArea;
      break;
    default:
      break;
  }
  addToolBar(area, bar->GetToolBar());
}

void CFrameWnd::ShowControlBar(QWidget* bar, BOOL show) {
  if (bar) bar->setVisible(show);
}

std::vector<CView*> CFrameWnd::VisibleViews() const {
  std::vector<CView*> views;
  // CView has no meta-object of its own: findChildren<CView*> would match every widget.
  for (QWidget* w : findChildren<QWidget*>())
    if (auto* v = dynamic_cast<CView*>(w); v && v->isVisible()) views.push_back(v);
  // Pane order: columns left to right, each from the top down.
  std::sort(views.begin(), views.end(), [this](CView* a, CView* b) {
    QPoint pa = a->mapTo(this, QPoint(0, 0)), pb = b->mapTo(this, QPoint(0, 0));
    return pa.x() != pb.x() ? pa.x() < pb.x() : pa.y() < pb.y();
  });
  return views;
}

void CFrameWnd::ActivateNextPane(bool forward) {
  std::vector<CView*> views = VisibleViews();
  if (views.empty()) return;
  auto it = std::find(views.begin(), views.end(), m_pActiveView);
  std::size_t i = it == views.end() ? 0 : static_cast<std::size_t>(it - views.begin());
  const std::size_t n = views.size();
  i = it == views.end() ? 0 : (forward ? (i + 1) % n : (i + n - 1) % n);
  SetActiveView(views[i]);
  views[i]->setFocus();
}

void CFrameWnd::SetActiveView(CView* view, BOOL notify) {
  CView* old = m_pActiveView;
  if (old == view) return;
  m_pActiveView = view;
  if (notify) {
    if (old) old->OnActivateView(FALSE, view, old);
    if (view) view->OnActivateView(TRUE, view, old);
  }
}

CDocument* CFrameWnd::GetActiveDocument() const {
  if (m_pActiveView && m_pActiveView->GetDocument()) return m_pActiveView->GetDocument();
  return m_pDocument;
}

void CFrameWnd::SetTitleFromDocument() {
  std::string app = AfxGetApp() ? AfxGetApp()->m_pszAppName : std::string();
  CDocument* doc = GetActiveDocument();
  std::string title = doc ? doc->GetTitle() : std::string();
  if ((m_cs.style & FWS_ADDTOTITLE) && !title.empty())
    setWindowTitle(ToQ(title + " - " + app));
  else
    setWindowTitle(ToQ(app));
}

void CFrameWnd::InitialUpdateFrame(CDocument* doc, BOOL makeVisible) {
  if (doc) m_pDocument = doc;
  if (!m_pActiveView && doc && !doc->GetViews().empty())
    SetActiveView(doc->GetViews().front(), FALSE);
  if (doc)
    for (CView* v : std::vector<CView*>(doc->GetViews())) v->OnInitialUpdate();
  SetTitleFromDocument();
  if (makeVisible && !isVisible()) ActivateFrame();
}

bool CFrameWnd::OnCmdMsg(UINT id, CCmdUI* ui) {
  if (m_pActiveView && m_pActiveView->OnCmdMsg(id, ui)) return true;
  if (!m_pActiveView) {
    if (CDocument* doc = GetActiveDocument(); doc && doc->OnCmdMsg(id, ui)) return true;
  }
  if (DispatchOwn(id, ui)) return true;
  if (CWinApp* app = AfxGetApp()) return app->OnCmdMsg(id, ui);
  return false;
}

bool CFrameWnd::SendCommand(UINT id) {
  CCmdUI ui(id);
  // A disabled command is not run, as a disabled menu item cannot be chosen.
  if (!UpdateCommandUI(id, &ui) || !ui.m_bEnabled) return false;
  bool handled = OnCmdMsg(id, nullptr);
  UpdateAllCommandUI();
  return handled;
}

bool CFrameWnd::UpdateCommandUI(UINT id, CCmdUI* ui) {
  if (!ui) return false;
  ui->m_nID = id;
  if (!OnCmdMsg(id, ui)) {
    ui->m_bEnabled = false;
    return false;
  }
  return true;
}

void CFrameWnd::ApplyUpdate(QAction* a) {
  UINT id = IdOf(a);
  if (!id || a->property("tvMruPlaceholder").toBool()) return;
  CCmdUI ui(id);
  UpdateCommandUI(id, &ui);
  a->setEnabled(ui.m_bEnabled);
  if (ui.m_nCheck != 0 && !a->isCheckable()) a->setCheckable(true);
  if (a->isCheckable()) a->setChecked(ui.m_nCheck != 0);
  if (ui.m_bTextChanged) a->setText(ToQ(ui.m_strText));
}

void CFrameWnd::UpdateAllCommandUI() {
  for (auto& [id, a] : m_actions)
    if (a) ApplyUpdate(a.data());
}

void CFrameWnd::SetMessageText(const std::string& text) {
  if (m_pStatusBar) m_pStatusBar->SetPaneText(0, text, FALSE);
}

void CFrameWnd::closeEvent(QCloseEvent* e) {
  CDocument* doc = GetActiveDocument();
  if (doc && !doc->SaveModified()) {
    e->ignore();
    return;
  }
  m_pIdleTimer->stop();
  e->accept();
}

}  // namespace plat
