#include "platform/qt/SysColors.h"

#include <QApplication>
#include <QPalette>

namespace plat {

COLORREF GetSysColor(int index) {
  const QPalette pal = qApp ? QApplication::palette() : QPalette();
  QColor c;
  switch (index) {
    case COLOR_SCROLLBAR:
      c = pal.color(QPalette::Button);
      break;
    case COLOR_BACKGROUND:
      c = pal.color(QPalette::Window);
      break;
    case COLOR_WINDOW:
      c = pal.color(QPalette::Base);
      break;
    case COLOR_WINDOWFRAME:
      c = pal.color(QPalette::Shadow);
      break;
    case COLOR_WINDOWTEXT:
      c = pal.color(QPalette::Text);
      break;
    case COLOR_HIGHLIGHT:
      c = pal.color(QPalette::Highlight);
      break;
    case COLOR_HIGHLIGHTTEXT:
      c = pal.color(QPalette::HighlightedText);
      break;
    case COLOR_BTNFACE:
      c = pal.color(QPalette::Button);
      break;
    case COLOR_BTNSHADOW:
      c = pal.color(QPalette::Mid);
      break;
    case COLOR_GRAYTEXT:
      c = pal.color(QPalette::Disabled, QPalette::Text);
      break;
    case COLOR_BTNTEXT:
      c = pal.color(QPalette::ButtonText);
      break;
    case COLOR_BTNHIGHLIGHT:
      c = pal.color(QPalette::Light);
      break;
    case COLOR_3DDKSHADOW:
      c = pal.color(QPalette::Shadow);
      break;
    case COLOR_3DLIGHT:
      c = pal.color(QPalette::Midlight);
      break;
    case COLOR_INFOTEXT:
      c = pal.color(QPalette::ToolTipText);
      break;
    case COLOR_INFOBK:
      c = pal.color(QPalette::ToolTipBase);
      break;
    default:
      return 0;
  }
  return RGB(c.red(), c.green(), c.blue());
}

}  // namespace plat
