// Resizable control bars as the dock bars know them. No bar of this kind is ever made by
// the program (it docks only its toolbar and status bar); the classes exist so that the
// docking code can tell a resizable bar, which shares its row's length with its
// neighbours and gets splitters beside it, from an ordinary one. A size toolbar counts
// as an ordinary bar although it derives from the resizable one.
#pragma once
#include "platform/WinTypes.h"
#include "platform/qt/CmdTarget.h"

class CWCSizeControlBar : public plat::CCmdTarget {
 public:
  static constexpr const char* kRuntimeClassName = "CWCSizeControlBar";
  // Style flags of the bar's own.
  static constexpr DWORD SCBS_AUTODELETE = 0x02;    // deleted with the docking frame
  static constexpr DWORD SCBS_CONTEXTMENU = 0x04;   // shows a context menu
  static constexpr DWORD SCBS_MDIFLOATMENU = 0x10;  // the menu offers to float as MDI child
  static constexpr DWORD SCBS_NOGRIPPER = 0x20;
  static constexpr DWORD SCBS_NOCLOSEBUTTON = 0x40;
  static constexpr DWORD SCBS_NOEXPANDBUTTON = 0x80;

  // Its size when floating, else its docked size for the row's orientation.
  virtual SIZE CalcFixedLayout(BOOL bStretch, BOOL bHorz) const;
  BOOL IsFloating() const { return m_bFloating; }

  SIZE m_szHorz;   // length and thickness docked in a horizontal row
  SIZE m_szVert;   // docked in a vertical row
  SIZE m_szFloat;  // floating
  DWORD m_dwSCBStyle = 0;
  BOOL m_bFloating = FALSE;
};

class CWCSizeToolBar : public CWCSizeControlBar {
 public:
  static constexpr const char* kRuntimeClassName = "CWCSizeToolBar";
};

// Whether a docked bar is a resizable control bar (a size toolbar is not).
bool IsSizeControlBar(const plat::CObject* bar);
