#include "platform/qt/View.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "platform/qt/Document.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/Resources.h"
#include "platform/qt/WinApp.h"

namespace plat {
namespace {

UINT KeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  UINT f = 0;
  if (buttons & Qt::LeftButton) f |= MK_LBUTTON;
  if (buttons & Qt::RightButton) f |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) f |= MK_MBUTTON;
  if (buttons & Qt::XButton1) f |= MK_XBUTTON1;
  if (buttons & Qt::XButton2) f |= MK_XBUTTON2;
  if (mods & Qt::ShiftModifier) f |= MK_SHIFT;
  if (mods & Qt::ControlModifier) f |= MK_CONTROL;
  return f;
}

POINT ToPoint(const QPointF& p) {
  return POINT{static_cast<LONG>(std::floor(p.x())), static_cast<LONG>(std::floor(p.y()))};
}

}  // namespace

// ---- CView ---------------------------------------------------------------------------

CView::CView(QWidget* parent) : QWidget(parent), CWnd(this) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
}

CView::~CView() {
  if (m_pDocument) m_pDocument->RemoveView(this);
  if (CFrameWnd* f = GetParentFrame())
    if (f->GetActiveView() == this) f->SetActiveView(nullptr, FALSE);
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void CView::OnUpdate(CView*, LONG, void*) { Invalidate(TRUE); }

void CView::OnPrepareDC(CDC*, CPrintInfo*) {}

bool CView::OnCmdMsg(UINT id, CCmdUI* ui) {
  if (DispatchOwn(id, ui)) return true;
  return m_pDocument && m_pDocument->OnCmdMsg(id, ui);
}

void CView::Invalidate(BOOL) {
  m_bStale = true;
  update();
}

void CView::UpdateWindow() {
  if (m_bStale && isVisible()) repaint();
}

void CView::GetClientRect(RECT* r) const {
  if (!r) return;
  QRect c = ContentRect();
  *r = RECT{0, 0, c.width(), c.height()};
}

int CView::LogPixelsX() const { return std::max(1, logicalDpiX()); }
int CView::LogPixelsY() const { return std::max(1, logicalDpiY()); }

QImage& CView::BackingImage() {
  if (m_bStale || m_backing.size() != ContentRect().size()) RenderBacking();
  return m_backing;
}

QImage& CView::ClientImage() {
  QSize size = ContentRect().size().expandedTo(QSize(1, 1));
  if (m_backing.size() != size) {
    m_backing = QImage(size, QImage::Format_RGB32);
    m_backing.fill(Qt::white);
    m_bStale = true;
  }
  return m_backing;
}

void CView::RenderBacking() {
  QSize size = ContentRect().size();
  if (m_backing.size() != size)
    m_backing = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  m_backing.fill(Qt::white);
  m_bStale = false;
  ++m_nRenders;
  CImageDC dc(&m_backing, LogPixelsX(), LogPixelsY());
  OnPrepareDC(&dc, nullptr);
  OnDraw(&dc);
}

void CView::paintEvent(QPaintEvent*) {
  QImage& img = BackingImage();
  QPainter p(this);
  // The corner between a scroll view's own bars is nobody's: give it the window colour.
  if (ContentRect() != rect()) p.fillRect(rect(), palette().window());
  p.drawImage(ContentRect().topLeft(), img);
}

void CView::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  m_bStale = true;
  OnSize(0, ContentRect().width(), ContentRect().height());
}

void CView::mousePressEvent(QMouseEvent* e) {
  UINT f = KeyFlags(e->buttons(), e->modifiers());
  POINT p = ToPoint(e->position());
  if (e->button() == Qt::LeftButton)
    OnLButtonDown(f, p);
  else if (e->button() == Qt::RightButton)
    OnRButtonDown(f, p);
  else
    QWidget::mousePressEvent(e);
}

void CView::mouseReleaseEvent(QMouseEvent* e) {
  UINT f = KeyFlags(e->buttons(), e->modifiers());
  POINT p = ToPoint(e->position());
  if (e->button() == Qt::LeftButton)
    OnLButtonUp(f, p);
  else if (e->button() == Qt::RightButton)
    OnRButtonUp(f, p);
  else
    QWidget::mouseReleaseEvent(e);
}

void CView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton)
    OnLButtonDblClk(KeyFlags(e->buttons(), e->modifiers()), ToPoint(e->position()));
  else
    mousePressEvent(e);
}

void CView::mouseMoveEvent(QMouseEvent* e) {
  OnMouseMove(KeyFlags(e->buttons(), e->modifiers()), ToPoint(e->position()));
}

void CView::contextMenuEvent(QContextMenuEvent* e) {
  OnContextMenu(POINT{e->globalPos().x(), e->globalPos().y()});
}

UINT CView::TrackContextMenu(UINT menuId, int subMenu, POINT screenPoint) {
  // The click that opened the menu makes this page the one the commands reach first.
  if (CFrameWnd* parent = GetParentFrame()) {
    parent->SetActiveView(this);
    if (!parent->isActiveWindow()) parent->activateWindow();
  }
  CFrameWnd* owner = AfxGetMainWnd();
  const MenuResource* menu = Resources::Get().Menu(menuId);
  if (!owner || !menu || subMenu < 0 || subMenu >= static_cast<int>(menu->size())) return 0;
  return owner->TrackPopupMenu((*menu)[static_cast<std::size_t>(subMenu)].items, screenPoint);
}

void CView::wheelEvent(QWheelEvent* e) {
  if (!OnMouseWheel(KeyFlags(e->buttons(), e->modifiers()), static_cast<short>(e->angleDelta().y()),
                    ToPoint(e->globalPosition())))
    QWidget::wheelEvent(e);
}

void CView::keyPressEvent(QKeyEvent* e) {
  OnKeyDown(static_cast<UINT>(e->key()), e->isAutoRepeat() ? 1u : 0u,
            static_cast<UINT>(e->modifiers()));
  QWidget::keyPressEvent(e);
}

void CView::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  if (CFrameWnd* f = GetParentFrame()) f->SetActiveView(this);
}

// ---- printing ------------------------------------------------------------------------

BOOL CView::OnPreparePrinting(CPrintInfo* info) { return DoPreparePrinting(info); }

BOOL CView::DoPreparePrinting(CPrintInfo* info) {
  if (!info) return FALSE;
  CWinApp* app = AfxGetApp();
  QPrinter* printer = info->m_pPrinter ? info->m_pPrinter : (app ? app->GetPrinter() : nullptr);
  if (!printer) return FALSE;
  info->m_pPrinter = printer;
  if (info->m_bPreview || info->m_bDirect) return TRUE;
  QPrintDialog dlg(printer, window());
  dlg.setMinMax(static_cast<int>(info->GetMinPage()), static_cast<int>(info->GetMaxPage()));
  if (dlg.exec() != QDialog::Accepted) return FALSE;
  if (printer->printRange() == QPrinter::PageRange) {
    info->m_nFromPage = static_cast<UINT>(std::max(1, printer->fromPage()));
    info->m_nToPage = static_cast<UINT>(std::max(1, printer->toPage()));
  }
  return TRUE;
}

void CView::OnPrint(CDC* dc, CPrintInfo*) { OnDraw(dc); }

bool CView::PrintTo(QPrinter* printer, CPrintInfo* given) {
  if (!printer) return false;
  CPrintInfo local;
  CPrintInfo* info = given ? given : &local;
  info->m_pPrinter = printer;
  CPrinterDC dc(printer);
  OnBeginPrinting(&dc, info);
  const UINT from =
      info->m_nFromPage ? std::max(info->m_nFromPage, info->GetMinPage()) : info->GetMinPage();
  const UINT to =
      info->m_nToPage ? std::min(info->m_nToPage, info->GetMaxPage()) : info->GetMaxPage();
  bool ok = true;
  for (UINT page = from; page <= to && info->m_bContinuePrinting; ++page) {
    if (!dc.StartPage()) {
      ok = false;
      break;
    }
    info->m_nCurPage = page;
    QRect r = printer->pageLayout().paintRectPixels(printer->resolution());
    info->m_rectDraw = RECT{0, 0, r.width(), r.height()};
    OnPrepareDC(&dc, info);
    OnPrint(&dc, info);
    dc.EndPage();
  }
  OnEndPrinting(&dc, info);
  dc.EndDoc();
  return ok;
}

void CView::OnFilePrint() {
  CPrintInfo info;
  if (!OnPreparePrinting(&info)) return;
  PrintTo(info.m_pPrinter, &info);
}

void CView::OnFilePrintDirect() {
  CPrintInfo info;
  info.m_bDirect = true;
  if (!OnPreparePrinting(&info)) return;
  PrintTo(info.m_pPrinter, &info);
}

void CView::OnFilePrintPreview() {
  CPrintInfo info;
  info.m_bPreview = true;
  if (!OnPreparePrinting(&info)) return;
  CWinApp* app = AfxGetApp();
  QPrintPreviewDialog dlg(info.m_pPrinter, window());
  auto* preview = dlg.findChild<QPrintPreviewWidget*>();
  if (preview && app && app->GetPreviewPages() == 2)
    preview->setViewMode(QPrintPreviewWidget::FacingPagesView);
  QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, [this, &info](QPrinter* p) {
    CPrintInfo pageInfo = info;
    PrintTo(p, &pageInfo);
  });
  dlg.exec();
  if (preview && app)
    app->SetPreviewPages(preview->viewMode() == QPrintPreviewWidget::SinglePageView ? 1 : 2);
}

// ---- CScrollView ---------------------------------------------------------------------

CScrollView::CScrollView(QWidget* parent) : CView(parent) {
  m_pHBar = new QScrollBar(Qt::Horizontal, this);
  m_pVBar = new QScrollBar(Qt::Vertical, this);
  m_pHBar->hide();
  m_pVBar->hide();
  QObject::connect(m_pHBar, &QScrollBar::valueChanged, this, [this](int v) {
    if (!m_bUpdatingBars) SetScrollPos(SB_HORZ, v);
  });
  QObject::connect(m_pVBar, &QScrollBar::valueChanged, this, [this](int v) {
    if (!m_bUpdatingBars) SetScrollPos(SB_VERT, v);
  });
}

CScrollView::~CScrollView() = default;

void CScrollView::SetScrollSizes(int mapMode, SIZE total, SIZE page, SIZE line) {
  m_nMapMode = mapMode;
  m_totalLog = SIZE{std::abs(total.cx), std::abs(total.cy)};
  auto toDev = [&](SIZE s) {
    if (mapMode != MM_HIMETRIC) return SIZE{std::abs(s.cx), std::abs(s.cy)};
    return SIZE{static_cast<LONG>(std::lround(std::abs(s.cx) * LogPixelsX() / 2540.0)),
                static_cast<LONG>(std::lround(std::abs(s.cy) * LogPixelsY() / 2540.0))};
  };
  m_totalDev = toDev(m_totalLog);
  m_pageDev = toDev(page);
  m_lineDev = toDev(line);
  if (page.cx == 0) m_pageDev.cx = m_totalDev.cx / 10;
  if (page.cy == 0) m_pageDev.cy = m_totalDev.cy / 10;
  if (line.cx == 0) m_lineDev.cx = m_pageDev.cx / 10;
  if (line.cy == 0) m_lineDev.cy = m_pageDev.cy / 10;
  UpdateBars();
  Invalidate(TRUE);
}

POINT CScrollView::GetScrollPosition() const {
  if (m_nMapMode != MM_HIMETRIC) return m_pos;
  return POINT{static_cast<LONG>(std::lround(m_pos.x * 2540.0 / LogPixelsX())),
               -static_cast<LONG>(std::lround(m_pos.y * 2540.0 / LogPixelsY()))};
}

void CScrollView::ScrollToPosition(POINT logical) {
  POINT d = logical;
  if (m_nMapMode == MM_HIMETRIC)
    d = POINT{static_cast<LONG>(std::lround(logical.x * LogPixelsX() / 2540.0)),
              static_cast<LONG>(std::lround(-logical.y * LogPixelsY() / 2540.0))};
  ScrollToDevicePosition(d);
}

void CScrollView::ScrollToDevicePosition(POINT device) {
  POINT old = m_pos;
  m_pos = device;
  ClampPosition();
  if (old.x == m_pos.x && old.y == m_pos.y) return;
  UpdateBars();
  Invalidate(TRUE);
}

void CScrollView::ClampPosition() {
  QRect c = ContentRect();
  m_pos.x = std::clamp<LONG>(m_pos.x, 0, std::max<LONG>(0, m_totalDev.cx - c.width()));
  m_pos.y = std::clamp<LONG>(m_pos.y, 0, std::max<LONG>(0, m_totalDev.cy - c.height()));
}

void CScrollView::OnPrepareDC(CDC* dc, CPrintInfo* info) {
  if (!dc) return;
  if (m_nMapMode != 0) dc->SetMapMode(m_nMapMode);
  if (!dc->IsPrinting()) dc->SetViewportOrg(-m_pos.x, -m_pos.y);
  CView::OnPrepareDC(dc, info);
}

void CScrollView::GetClientRect(RECT* r) const { CView::GetClientRect(r); }

bool CScrollView::HasScrollBar(int bar) const {
  if (m_nMapMode == 0) return false;
  // Measured against the whole widget: a container showing the bars elsewhere gives
  // the view all of its area.
  return bar == SB_HORZ ? m_totalDev.cx > width() : m_totalDev.cy > height();
}

bool CScrollView::GetScrollInfo(int bar, SCROLLINFO* info) const {
  if (!info) return false;
  QRect c = ContentRect();
  if (bar == SB_HORZ) {
    info->nMin = 0;
    info->nMax = std::max<LONG>(0, m_totalDev.cx - 1);
    info->nPage = static_cast<UINT>(std::max(0, c.width()));
    info->nPos = m_pos.x;
  } else {
    info->nMin = 0;
    info->nMax = std::max<LONG>(0, m_totalDev.cy - 1);
    info->nPage = static_cast<UINT>(std::max(0, c.height()));
    info->nPos = m_pos.y;
  }
  return true;
}

void CScrollView::SetScrollPos(int bar, int pos) {
  POINT p = m_pos;
  if (bar == SB_HORZ)
    p.x = pos;
  else
    p.y = pos;
  ScrollToDevicePosition(p);
}

void CScrollView::ShowOwnScrollBars(bool show) {
  m_bOwnBars = show;
  UpdateBars();
  m_bStale = true;
  update();
}

QRect CScrollView::ContentRect() const {
  QRect r = rect();
  if (m_pVBar->isVisibleTo(this)) r.setRight(r.right() - m_pVBar->sizeHint().width());
  if (m_pHBar->isVisibleTo(this)) r.setBottom(r.bottom() - m_pHBar->sizeHint().height());
  return r;
}

void CScrollView::UpdateBars() {
  m_bUpdatingBars = true;
  bool needH = m_bOwnBars && m_nMapMode != 0 && m_totalDev.cx > width();
  bool needV = m_bOwnBars && m_nMapMode != 0 && m_totalDev.cy > height();
  int bw = m_pVBar->sizeHint().width(), bh = m_pHBar->sizeHint().height();
  // A bar takes room from the other direction.
  if (m_bOwnBars && m_nMapMode != 0) {
    if (needH && !needV) needV = m_totalDev.cy > height() - bh;
    if (needV && !needH) needH = m_totalDev.cx > width() - bw;
  }
  m_pHBar->setVisible(needH);
  m_pVBar->setVisible(needV);
  ClampPosition();
  QRect c = ContentRect();
  if (needH) {
    m_pHBar->setGeometry(0, height() - bh, c.width(), bh);
    m_pHBar->setRange(0, std::max<int>(0, m_totalDev.cx - c.width()));
    m_pHBar->setPageStep(std::max(1, c.width()));
    m_pHBar->setSingleStep(std::max<int>(1, m_lineDev.cx));
    m_pHBar->setValue(m_pos.x);
  }
  if (needV) {
    m_pVBar->setGeometry(width() - bw, 0, bw, c.height());
    m_pVBar->setRange(0, std::max<int>(0, m_totalDev.cy - c.height()));
    m_pVBar->setPageStep(std::max(1, c.height()));
    m_pVBar->setSingleStep(std::max<int>(1, m_lineDev.cy));
    m_pVBar->setValue(m_pos.y);
  }
  m_bUpdatingBars = false;
  if (m_listener) m_listener();
}

void CScrollView::resizeEvent(QResizeEvent* e) {
  UpdateBars();
  CView::resizeEvent(e);
}

void CScrollView::wheelEvent(QWheelEvent* e) {
  if (OnMouseWheel(0, static_cast<short>(e->angleDelta().y()), POINT{})) return;
  if (m_nMapMode == 0) return;
  int steps = e->angleDelta().y() / 120;
  if (steps == 0) return;
  SetScrollPos(SB_VERT, m_pos.y - steps * std::max<int>(1, m_lineDev.cy) * 3);
}

// ---- CEditView -----------------------------------------------------------------------

CEditView::CEditView(QWidget* parent) : CView(parent), m_pEdit(new QPlainTextEdit(this)) {
  m_pEdit->setGeometry(rect());
  setFocusProxy(m_pEdit);
  m_pEdit->installEventFilter(this);
}

bool CEditView::eventFilter(QObject* watched, QEvent* e) {
  // Typing into the editor makes this the frame's active view.
  if (watched == m_pEdit && e->type() == QEvent::FocusIn)
    if (CFrameWnd* f = GetParentFrame()) f->SetActiveView(this);
  return CView::eventFilter(watched, e);
}

void CEditView::resizeEvent(QResizeEvent* e) {
  CView::resizeEvent(e);
  m_pEdit->setGeometry(rect());
}

}  // namespace plat
