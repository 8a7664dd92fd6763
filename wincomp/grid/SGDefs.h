// Window-system values the grid control speaks in: system colours, cursors, virtual keys,
// mouse flags, scroll codes and dialog codes, with their Windows values so that the
// grid's rules read as written. They live in a namespace of their own, apart from the
// platform layer's names.
#pragma once
#include "platform/WinTypes.h"

namespace sgw {

// System colours (indexes of GetSysColor) with the classic Windows scheme's values.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_INFOBK = 24;
COLORREF GetSysColor(int index);

// Cursors.
constexpr int IDC_ARROW = 32512;
constexpr int IDC_SIZEWE = 32644;
constexpr int IDC_SIZENS = 32645;

// Virtual keys.
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;

// Mouse flags of mouse messages.
constexpr UINT MK_LBUTTON = 0x1;
constexpr UINT MK_RBUTTON = 0x2;
constexpr UINT MK_SHIFT = 0x4;
constexpr UINT MK_CONTROL = 0x8;

// Scroll codes.
constexpr UINT SB_LINEUP = 0;
constexpr UINT SB_LINELEFT = 0;
constexpr UINT SB_LINEDOWN = 1;
constexpr UINT SB_LINERIGHT = 1;
constexpr UINT SB_PAGEUP = 2;
constexpr UINT SB_PAGELEFT = 2;
constexpr UINT SB_PAGEDOWN = 3;
constexpr UINT SB_PAGERIGHT = 3;
constexpr UINT SB_THUMBPOSITION = 4;
constexpr UINT SB_THUMBTRACK = 5;
constexpr UINT SB_TOP = 6;
constexpr UINT SB_LEFT = 6;
constexpr UINT SB_BOTTOM = 7;
constexpr UINT SB_RIGHT = 7;

// Dialog codes.
constexpr UINT DLGC_WANTARROWS = 0x1;
constexpr UINT DLGC_WANTALLKEYS = 0x4;

// System metrics the grid sizes its scroll bars by (classic Windows values).
constexpr int SM_CXVSCROLL = 16;
constexpr int SM_CYHSCROLL = 16;
constexpr int SM_CXHSCROLL = 16;

}  // namespace sgw
