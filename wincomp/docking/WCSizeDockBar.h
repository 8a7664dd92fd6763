// The dock bars of the docking frame: one per side of the frame, laying out the bars
// docked there. Qt's dock areas place the bars; a dock bar names its side as the class
// library does (id and style bits) and measures what is docked on it. Splitters and the
// rectangle tracker serve resizable control bars, of which the program makes none, so
// they are kept to what their geometry needs.
#pragma once
#include <Qt>
#include <vector>

#include "platform/CDC.h"
#include "platform/WinTypes.h"

class QDockWidget;
class CWCFrameWndSizeDock;

// A splitter between two resizable bars of a row (type 1, vertical) or between two rows
// (type 2, horizontal), in the dock bar's client coordinates.
class CWCSplitterRect {
 public:
  static constexpr int kVertical = 1;
  static constexpr int kHorizontal = 2;
  CWCSplitterRect(const RECT& rect, int type, int pos) : m_rect(rect), m_type(type), m_nPos(pos) {}
  // Four 1-pixel lines over the splitter's length: face, highlight, frame and shadow.
  void Draw(plat::CDC* dc) const;

  RECT m_rect;
  int m_type;
  int m_nPos;  // index of the bar or row that follows it
};

// The rectangle tracker of splitter drags, with a limit the tracked rectangle keeps to.
class CWCRectTracker {
 public:
  // Tracker handles, as the class library numbers them.
  enum Handle {
    hitNothing = -1,
    hitTopLeft = 0,
    hitTopRight = 1,
    hitBottomRight = 2,
    hitBottomLeft = 3,
    hitTop = 4,
    hitRight = 5,
    hitBottom = 6,
    hitLeft = 7,
    hitMiddle = 8
  };
  static constexpr UINT kHorzOnly = 0x100;  // only left and right change
  static constexpr UINT kVertOnly = 0x200;  // only top and bottom change

  // The handle of a sizing-border hit code (10..17); every other code moves the whole
  // rectangle.
  static Handle HandleFromHitTest(int hitCode);
  // Starts a track from a hit code: remembers the starting rectangle, returns the handle.
  Handle TrackFromHitTest(int hitCode);
  // Holds `r`, being tracked with `handle`, inside the limit (when one is set) and to the
  // tracker's direction flags.
  void AdjustRect(Handle handle, RECT* r) const;

  RECT m_rect{};
  RECT m_rectLimit{};  // empty: no limit
  RECT m_rectStart{};
  UINT m_nStyle = 0;
};

// One side of the docking frame.
class CWCSizeDockBar {
 public:
  CWCSizeDockBar(CWCFrameWndSizeDock* frame, UINT id, DWORD style);

  UINT GetDlgCtrlID() const { return m_nID; }
  DWORD GetBarStyle() const { return m_dwStyle; }
  // Whether the bars lie in horizontal rows (top and bottom).
  bool IsHorz() const;
  Qt::DockWidgetArea Area() const;
  // The first visible bar docked on this side; null when none.
  QDockWidget* GetFirstBar() const;
  // The side's size: as long as the frame's side and as thick as its bars; 0 x 0 without
  // a visible docked bar.
  SIZE CalcFixedLayout(BOOL bStretch, BOOL bHorz) const;

  std::vector<CWCSplitterRect> m_arrSplitters;  // none while no resizable bar is docked

 private:
  CWCFrameWndSizeDock* m_pFrame;
  UINT m_nID;
  DWORD m_dwStyle;
};
