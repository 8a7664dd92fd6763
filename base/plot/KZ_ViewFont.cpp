#include "base/plot/KZ_ViewFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/CDC.h"

LOGFONT g_ViewFont = [] {
  LOGFONT lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = -12;
  lf.lfWeight = FW_NORMAL;
  std::strcpy(lf.lfFaceName, "Times New Roman");
  return lf;
}();
LOGFONT g_ViewFontScaled = g_ViewFont;

void KZ_ResetViewFont() {
  std::memset(&g_ViewFont, 0, sizeof g_ViewFont);
  g_ViewFont.lfHeight = -12;
  g_ViewFont.lfWeight = FW_NORMAL;
  g_ViewFont.lfCharSet = 0;
  std::strcpy(g_ViewFont.lfFaceName, "Times New Roman");
}

const LOGFONT& KZ_ScaleViewFont(const plat::CDC& dc) {
  g_ViewFontScaled = g_ViewFont;
  const double dpiX = dc.GetDeviceCaps(LOGPIXELSX), dpiY = dc.GetDeviceCaps(LOGPIXELSY);
  double fx, fy;
  if (dc.IsPrinting()) {
    fx = std::min(0.1 * dpiX, 30.0);
    fy = std::min(0.1 * dpiY, 30.0);
  } else {
    fx = std::max(0.36 * dpiX, 30.0);
    fy = std::max(0.36 * dpiY, 30.0);
  }
  g_ViewFontScaled.lfWidth = static_cast<LONG>(std::trunc(g_ViewFont.lfWidth * fx));
  g_ViewFontScaled.lfHeight = static_cast<LONG>(std::trunc(g_ViewFont.lfHeight * fy));
  return g_ViewFontScaled;
}
