// A child window that shows several windows (as a rule views of the one document) as
// pages, one at a time, chosen by tabs drawn at the bottom left beside the container's own
// horizontal scroll bar. The container also owns the scroll bars of its active page: it
// hides the page's own bars, mirrors their state in its bars and sends the user's
// scrolling back to the page.
#pragma once
#include <QFont>
#include <QMetaObject>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/WinTypes.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/View.h"

constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_VSCROLL = 0x00200000;

struct _tagPAGEINFO {
  QPointer<QWidget> pWnd;  // not owned
  std::string sTitle;
  BOOL bHasScrollHorz = FALSE;
  BOOL bHasScrollVert = FALSE;
  plat::SCROLLINFO scrlInfoHorz;
  plat::SCROLLINFO scrlInfoVert;
  int nCtrlId = 0;  // the child-window id the container gave the page
};

class CWCTabViewContainer : public QWidget {
 public:
  // Hit codes.
  static constexpr int HT_HSCROLL = -1;
  static constexpr int HT_VSCROLL = -2;
  static constexpr int HT_FIRST = -3;
  static constexpr int HT_PREV = -4;
  static constexpr int HT_NEXT = -5;
  static constexpr int HT_LAST = -6;
  static constexpr int HT_SPLITTER = -7;
  static constexpr int HT_TABAREA = -9;
  static constexpr int HT_SIZEBOX = -10;
  static constexpr int HT_NOWHERE = -11;
  static constexpr int TIMER_TABSCROLL = 122;
  static constexpr DWORD TabViewContainerMagic = 0x3A7B4567;
  static constexpr UINT kHorzScrollId = 59904;
  static constexpr UINT kVertScrollId = 59920;

  CWCTabViewContainer();
  ~CWCTabViewContainer() override;

  virtual BOOL Create(QWidget* pParent, const RECT& rect, DWORD dwStyle, UINT nID);
  virtual BOOL InsertPage(int nIndex, QWidget* pWnd, const char* lpszTitle);
  virtual BOOL InsertPage(int nIndex, const plat::CRuntimeClass* pClass,
                          plat::CCreateContext* pContext, const char* lpszTitle);
  virtual BOOL DeletePage(int nIndex, BOOL bDestroy);
  virtual BOOL DeletePage(QWidget* pWnd, BOOL bDestroy);
  virtual BOOL SetActivePageIndex(int nIndex);
  virtual void SetScrollStyle(DWORD dwStyle, BOOL bForce);
  virtual void RecalcLayout();
  virtual void CalcTabRects();
  virtual int GetUniqueId();
  virtual void DrawScrollButtons(QPainter& dc);
  virtual void DrawTabArea(QPainter& dc);
  virtual void DrawSplitter(QPainter& dc);
  virtual void DrawSizeBox(QPainter& dc);
  virtual void DrawScrollButton(QPainter& dc, RECT rect, int nButton);
  virtual void DrawTab(QPainter& dc, int nIndex);

  BOOL AddPage(const plat::CRuntimeClass* pClass, plat::CCreateContext* pContext,
               const char* lpszTitle) {
    return InsertPage(GetPageCount(), pClass, pContext, lpszTitle);
  }
  QWidget* GetPage(int nIndex) const;
  int GetPageCount() const { return static_cast<int>(m_Pages.size()); }
  QWidget* GetActivePage() const { return GetPage(m_nActivePage); }
  int GetActivePageIndex() const { return m_nActivePage; }
  std::string GetPageTitle(int nIndex) const;
  BOOL FindPage(const QWidget* pWnd, int& nIndex) const;
  int HitTest(POINT pt) const;
  void ScrollTabs(int nButton);
  void MakeTabVisible(int nIndex, BOOL bPartialOk);

  UINT GetDlgCtrlID() const { return m_nID; }
  DWORD GetScrollStyle() const { return m_dwScrollStyle; }
  QScrollBar& HorzScrollBar() { return m_ScrollHorz; }
  QScrollBar& VertScrollBar() { return m_ScrollVert; }
  const plat::SCROLLINFO& PageScrollInfo(int nIndex, bool bHorz) const;
  // A tab's rectangle on screen (moved by the tab area and the offset), client pixels.
  RECT TabScreenRect(int nIndex) const;

  // Rectangles in client pixels, right and bottom exclusive.
  RECT m_rcScrollButtons[4];
  int m_nTabOffset = 0;
  RECT m_rcTabArea;
  std::vector<RECT> m_TabRects;
  int m_nTabAreaWidth = 200;
  RECT m_rcScrollHorz, m_rcScrollVert, m_rcSplitter, m_rcSizeBox, m_rcPageArea;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void timerEvent(QTimerEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;

 private:
  void LoadScrollState(_tagPAGEINFO& page);
  void SaveScrollState(_tagPAGEINFO& page);
  void ConnectScrollBars(plat::CScrollView* view);
  void DisconnectScrollBars();
  void CancelTracking();
  void RedrawStrip();
  void RedrawTabArea();
  void MovePageToArea(QWidget* pWnd);
  void OnSizeOrSettings();
  int ScrollBarExtent() const;

  std::vector<_tagPAGEINFO> m_Pages;
  int m_nActivePage = -1;
  DWORD m_dwScrollStyle = 0;
  std::vector<int> m_FreeIds{1};
  QScrollBar m_ScrollHorz{Qt::Horizontal};
  QScrollBar m_ScrollVert{Qt::Vertical};
  int m_nPressedItem = HT_NOWHERE;
  BOOL m_bPressedIn = FALSE;
  int m_nTimerId = -1;  // Qt's id of the repeat timer
  BOOL m_bTrackSplitter = FALSE;
  QFont m_TabFont;
  QFont m_TabFontBold;
  UINT m_nID = 0;
  bool m_bCreated = false;
  QPointer<plat::CScrollView> m_pLinkedView;  // the page whose bars the container shows
  static bool s_bSavingScroll;                // one flag for every container
};
