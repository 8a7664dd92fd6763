// The frame-window base of the main frame with docking on every side: control bars dock
// in rows along the frame's edges, can be dragged to another side and float in a frame
// of their own, which can be sized from every side and docks the bar again on a
// double click of its caption. Qt's own dock areas carry the layout of the rows.
#pragma once
#include "platform/qt/FrameWnd.h"

class CWCFrameWndSizeDock : public plat::CFrameWnd {
 public:
  // Side ids of the dock bars, in the order they are set up.
  static constexpr UINT kDockBarIds[4] = {59419, 59422, 59420, 59421};

  // Lets control bars dock on the sides of `dwDockStyle` (CBRS_ALIGN_*), in the order top,
  // bottom, left, right; a side set up before stays as it is.
  void EnableSizeDocking(DWORD dwDockStyle);
  // The sides set up so far (CBRS_ALIGN_*).
  DWORD GetSizeDockStyle() const { return m_dwSizeDockStyle; }

 private:
  DWORD m_dwSizeDockStyle = 0;
};
