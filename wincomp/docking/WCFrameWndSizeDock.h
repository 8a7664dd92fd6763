// The frame-window base of the main frame with docking on every side: control bars dock
// in rows along the frame's edges, can be dragged to another side and float in a frame
// of their own, which can be sized from every side and docks the bar again on a double
// click of its caption. Qt's dock areas carry the layout of the rows.
#pragma once
#include <QPointer>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt/FrameWnd.h"
#include "wincomp/docking/WCSizableMiniDockFrameWnd.h"
#include "wincomp/docking/WCSizeDockBar.h"

class CWCFrameWndSizeDock : public plat::CFrameWnd {
 public:
  // Side ids of the dock bars, in the order they are set up.
  static constexpr UINT kDockBarIds[4] = {59419, 59422, 59420, 59421};

  CWCFrameWndSizeDock();
  ~CWCFrameWndSizeDock() override;

  // Lets control bars dock on the sides of `dwDockStyle` (CBRS_ALIGN_*), in the order top,
  // bottom, left, right; a side set up before stays as it is.
  void EnableSizeDocking(DWORD dwDockStyle);
  // The sides set up so far (CBRS_ALIGN_*).
  DWORD GetSizeDockStyle() const { return m_dwSizeDockStyle; }
  // The dock bar of a side id; null when that side was not set up.
  CWCSizeDockBar* GetDockBar(UINT id) const;

  // Docks a toolbar on the side `dockBarId`. Its buttons move into a frame of their own,
  // which docks on the sides both the frame and the toolbar allow and floats when dragged
  // off the frame; the toolbar keeps its actions.
  void DockControlBar(plat::CToolBar* bar, UINT dockBarId = AFX_IDW_DOCKBAR_TOP);
  CWCSizableMiniDockFrameWnd* GetBarFrame(const plat::CToolBar* bar) const;

  // Where the bars are docked or float, kept in the program's settings under `section`.
  // After LoadBarState the state is written back there when the frame closes.
  void SaveBarState(const std::string& section) const;
  void LoadBarState(const std::string& section);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  DWORD m_dwSizeDockStyle = 0;
  std::vector<std::unique_ptr<CWCSizeDockBar>> m_dockBars;
  std::vector<std::pair<const plat::CToolBar*, QPointer<CWCSizableMiniDockFrameWnd>>> m_barFrames;
  std::string m_strBarSection;  // empty: the state is not kept
};
