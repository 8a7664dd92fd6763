// The one view font that every plot page is drawn with, and its working copy scaled to
// the device being drawn on. The plot-view base resets and scales them; the axis titles
// read the working copy, so they follow the view font at the drawn size.
#pragma once
#include "platform/Gdi.h"

namespace plat {
class CDC;
}

// Shared by all plot views: height -12, normal weight, "Times New Roman" after a reset.
extern LOGFONT g_ViewFont;
// g_ViewFont scaled to the device of the drawing in progress.
extern LOGFONT g_ViewFontScaled;

// All bytes zero, then height -12, weight 400, character set 0, "Times New Roman".
void KZ_ResetViewFont();

// Copies g_ViewFont into the working copy with width and height scaled to the DC's
// resolution: by max(0.36 dpi, 30) on a screen or bitmap, by min(0.1 dpi, 30) on a
// printer (a -12 font becomes -414 units at 96 dpi, -360 at 600 dpi). Returns the copy.
const LOGFONT& KZ_ScaleViewFont(const plat::CDC& dc);
