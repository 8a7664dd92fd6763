#include "wincomp/grid/SGDefs.h"

namespace sgw {

COLORREF GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
      return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
      return RGB(0, 120, 215);
    case COLOR_HIGHLIGHTTEXT:
      return RGB(255, 255, 255);
    case COLOR_BTNFACE:
      return RGB(240, 240, 240);
    case COLOR_BTNSHADOW:
      return RGB(160, 160, 160);
    case COLOR_INFOBK:
      return RGB(255, 255, 225);
    default:
      return RGB(0, 0, 0);
  }
}

}  // namespace sgw
