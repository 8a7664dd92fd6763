// Views of the document/view framework: CView (a page that draws through the device
// context), CScrollView (a page in a mapping mode with scroll sizes) and CEditView
// (plain text editing).
//
// Painting: each view keeps a backing image of its client area. Invalidate() marks it
// stale and schedules a paint; the paint renders the image afresh (erased white, a DC
// on the image, OnPrepareDC, OnDraw) only when it is stale, and otherwise just shows it.
// UpdateWindow() paints a stale view before it returns, so an OnUpdate that calls
// Invalidate() and UpdateWindow() has painted before UpdateAllViews returns. A client
// DC (CClientDC in QtDc.h) draws straight into the image and shows the result when it
// goes out of scope.
#pragma once
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "platform/CDC.h"
#include "platform/qt/Wnd.h"

class QPrinter;
class QScrollBar;
class QPlainTextEdit;

namespace plat {

class CDocument;
class CFrameWnd;

// Page range and state of a print job, as the printing hooks see it.
struct CPrintInfo {
  bool m_bPreview = false;
  bool m_bDirect = false;  // no print dialog
  bool m_bContinuePrinting = true;
  UINT m_nCurPage = 1;
  UINT m_nNumPreviewPages = 1;
  RECT m_rectDraw{};  // printable area in device pixels
  QPrinter* m_pPrinter = nullptr;
  void SetMinPage(UINT n) { m_nMinPage = n; }
  void SetMaxPage(UINT n) { m_nMaxPage = n; }
  UINT GetMinPage() const { return m_nMinPage; }
  UINT GetMaxPage() const { return m_nMaxPage; }
  UINT GetFromPage() const { return m_nFromPage; }
  UINT GetToPage() const { return m_nToPage; }
  UINT m_nMinPage = 1;
  UINT m_nMaxPage = 1;
  // The range the user chose in the print dialog; 0 for all pages.
  UINT m_nFromPage = 0;
  UINT m_nToPage = 0;
};

class CView : public QWidget, public CWnd {
 public:
  explicit CView(QWidget* parent = nullptr);
  ~CView() override;

  CDocument* GetDocument() const { return m_pDocument; }
  // Called by the document when the view is added to it.
  void SetDocument(CDocument* doc) { m_pDocument = doc; }

  // The first update after the document has data: calls OnUpdate(nullptr, 0, nullptr).
  virtual void OnInitialUpdate();
  // The base invalidates the whole view.
  virtual void OnUpdate(CView* sender, LONG hint, void* object);
  // Draws the view on screen, into a bitmap or on a printer page.
  virtual void OnDraw(CDC* /*dc*/) {}
  // Sets the DC up for OnDraw (the base does nothing).
  virtual void OnPrepareDC(CDC* dc, CPrintInfo* info = nullptr);
  virtual void OnActivateView(BOOL /*activate*/, CView* /*activated*/, CView* /*deactivated*/) {}

  // Printing hooks, in the order a print job calls them.
  virtual BOOL OnPreparePrinting(CPrintInfo* info);  // base: DoPreparePrinting
  virtual void OnBeginPrinting(CDC* /*dc*/, CPrintInfo* /*info*/) {}
  virtual void OnPrint(CDC* dc, CPrintInfo* info);  // base: OnPrepareDC done, calls OnDraw
  virtual void OnEndPrinting(CDC* /*dc*/, CPrintInfo* /*info*/) {}
  // Shows the print dialog unless the job is direct or a preview; false when cancelled.
  BOOL DoPreparePrinting(CPrintInfo* info);

  // Print commands a view class maps to (File Print, direct print, Print Preview).
  void OnFilePrint();
  void OnFilePrintDirect();
  void OnFilePrintPreview();
  // Runs a whole print job on `printer` without any dialog (OnPreparePrinting is not
  // called; `info` null uses a default one). Used by the commands above and by tests
  // that print to a PDF file.
  bool PrintTo(QPrinter* printer, CPrintInfo* info = nullptr);

  // Commands: the view's table, then its document's.
  bool OnCmdMsg(UINT id, CCmdUI* ui) override;

  // Painting (see the header comment).
  void Invalidate(BOOL erase = TRUE) override;
  void UpdateWindow() override;
  void GetClientRect(RECT* rect) const override;
  // The backing image (client size); rendered when stale.
  QImage& BackingImage();
  // The backing image as it stands, for drawing outside painting: never rendered here
  // (a stale view repaints it at its next paint), only made to the client size.
  QImage& ClientImage();
  bool IsStale() const { return m_bStale; }
  // Number of times the backing image was rendered (OnDraw on screen).
  int RenderCount() const { return m_nRenders; }
  // Screen resolution the view draws at.
  int LogPixelsX() const;
  int LogPixelsY() const;

  // Mouse hooks with the class library's arguments: key-state flags (MK_*) and the
  // point in client pixels; OnContextMenu gets the point in screen pixels.
  virtual void OnLButtonDown(UINT /*flags*/, POINT /*point*/) {}
  virtual void OnLButtonUp(UINT /*flags*/, POINT /*point*/) {}
  virtual void OnLButtonDblClk(UINT /*flags*/, POINT /*point*/) {}
  virtual void OnRButtonDown(UINT /*flags*/, POINT /*point*/) {}
  virtual void OnRButtonUp(UINT /*flags*/, POINT /*point*/) {}
  virtual void OnMouseMove(UINT /*flags*/, POINT /*point*/) {}
  virtual void OnContextMenu(POINT /*screenPoint*/) {}
  // A page's context menu: popup `subMenu` of menu resource `menuId`, tracked at the
  // screen point with the main window as owner, this view being the active one, so that
  // the items enable and check and the chosen command runs as from the main menu. The
  // chosen id, or 0.
  UINT TrackContextMenu(UINT menuId, int subMenu, POINT screenPoint);
  virtual BOOL OnMouseWheel(UINT /*flags*/, short /*delta*/, POINT /*point*/) { return FALSE; }
  // key: the Qt key code (Qt::Key_*); repeat 1 for an auto-repeated press; flags: the
  // Qt keyboard modifiers.
  virtual void OnKeyDown(UINT /*key*/, UINT /*repeat*/, UINT /*flags*/) {}
  virtual void OnSize(UINT /*type*/, int /*cx*/, int /*cy*/) {}

 protected:
  // The widget area the backing image covers (the scroll view leaves its bars out).
  virtual QRect ContentRect() const { return rect(); }
  void RenderBacking();

  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;

  CDocument* m_pDocument = nullptr;
  bool m_bStale = true;

 private:
  friend class CClientDC;
  QImage m_backing;
  int m_nRenders = 0;
};

// Scroll bars of a scroll view (GetScrollInfo/SetScrollPos).
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;

struct SCROLLINFO {
  int nMin = 0;
  int nMax = 0;  // inclusive, as Windows counts: the range is nMax - nMin + 1 pixels
  UINT nPage = 0;
  int nPos = 0;
};

class CScrollView : public CView {
 public:
  explicit CScrollView(QWidget* parent = nullptr);
  ~CScrollView() override;

  // Default page and line sizes: a tenth of the total and a tenth of the page.
  static constexpr SIZE sizeDefault{0, 0};
  // Mapping mode (MM_TEXT or MM_HIMETRIC) and sizes in its logical units (magnitudes).
  void SetScrollSizes(int mapMode, SIZE total, SIZE page = sizeDefault, SIZE line = sizeDefault);
  int GetMapMode() const { return m_nMapMode; }  // 0 until SetScrollSizes
  SIZE GetTotalSize() const { return m_totalLog; }
  // The scroll position in logical units (y negative in MM_HIMETRIC) and in pixels.
  POINT GetScrollPosition() const;
  POINT GetDeviceScrollPosition() const { return m_pos; }
  void ScrollToPosition(POINT logical);
  void ScrollToDevicePosition(POINT device);
  SIZE GetDeviceTotalSize() const { return m_totalDev; }

  // The mapping mode and, on screen, the viewport origin at minus the scroll position.
  void OnPrepareDC(CDC* dc, CPrintInfo* info = nullptr) override;
  void GetClientRect(RECT* rect) const override;

  // Scroll bars, for a container that shows them in its own bars: whether the view
  // needs the bar, its state, and scrolling to a position (pixels).
  bool HasScrollBar(int bar) const;
  bool GetScrollInfo(int bar, SCROLLINFO* info) const;
  void SetScrollPos(int bar, int pos);
  // Hides (false) or shows again the view's own scroll bars.
  void ShowOwnScrollBars(bool show);
  // Called whenever the range, page or position of a bar changes.
  void SetScrollListener(std::function<void()> listener) { m_listener = std::move(listener); }

 protected:
  QRect ContentRect() const override;
  void resizeEvent(QResizeEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  void UpdateBars();
  void ClampPosition();

  int m_nMapMode = 0;
  SIZE m_totalLog{};
  SIZE m_totalDev{};
  SIZE m_pageDev{};
  SIZE m_lineDev{};
  POINT m_pos{};
  bool m_bOwnBars = true;
  QScrollBar* m_pHBar = nullptr;
  QScrollBar* m_pVBar = nullptr;
  bool m_bUpdatingBars = false;
  std::function<void()> m_listener;
};

// The class library's plain text editing view: a text editor filling the view.
class CEditView : public CView {
 public:
  explicit CEditView(QWidget* parent = nullptr);
  QPlainTextEdit* GetEditCtrl() const { return m_pEdit; }

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QPlainTextEdit* m_pEdit;
};

}  // namespace plat
