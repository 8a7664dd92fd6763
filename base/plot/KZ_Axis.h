// Labelled axes and number labels drawn into a device context: linear horizontal,
// vertical and inclined axes, logarithmic axes over whole decades, time axes in seconds
// and in calendar time, compact number labels, rotated titles and multi-line text.
// Coordinates are the caller's logical units; the plot pages use 0.01 mm with y upward,
// so "above" is a larger y. Every axis draws with a solid black pen 20 units wide, sets
// the background colour to white and restores the DC's pen afterwards.
//
// The tick side counts only by its sign: positive puts ticks, labels and title above a
// horizontal axis (left of a vertical one), zero or negative on the other side. A tick
// count of 0 means 10; a negative count draws ticks without labels and title.
#pragma once
#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

namespace plat {
class CDC;
}

// The printf format for labels of n ticks from a to b: "%.2e" for steps above 1000 or
// below 0.0001, else "%.0f" .. "%.3f" by the decimals the step needs.
std::string& KZ_TickFormat(std::string& format, double first, double last, int ticks);

// The value formatted (with three-digit exponents, as the labels were designed for) and
// made compact: leading blanks removed and the exponent's zeros shortened ("1.50e-005"
// shows as "1.5e-5"). Drawn with TextOut at (x, y); returns the text's extent.
SIZE KZ_DrawNumber(plat::CDC* dc, int x, int y, const char* format, double value);
// A whole number: "%d" up to 9999 in magnitude, else "%.4g" made compact as above.
SIZE KZ_FormatAxisNumber(plat::CDC* dc, int x, int y, int value);
// A value with a precision chosen by its magnitude, without leading and (for plain
// decimals) trailing zeros (0.25 shows as ".25", 1.50 as "1.5"), followed by the unit;
// whole values are drawn as KZ_FormatAxisNumber draws them, without the unit.
SIZE KZ_DrawValueLabel(plat::CDC* dc, int x, int y, double value, const char* unit);
SIZE KZ_DrawLabel(plat::CDC* dc, int x, int y, double value);
SIZE KZ_DrawLabelAligned(plat::CDC* dc, int x, int y, double value, UINT align);
// The text's label as KZ_DrawValueLabel would draw it (for callers that measure first).
std::string KZ_ValueLabelText(double value, const char* unit);

// One TextOut in "Times New Roman" at the working view font's height, turned by `angle`
// degrees (counter-clockwise on the page). `unused` is accepted and ignored.
void KZ_DrawRotatedText(plat::CDC* dc, int x, int y, const char* text, float unused, float angle,
                        UINT align);
// The lines of the text from (x, *y) downward, 1.2 working font heights apart; stops
// before a line that would start below y = -30000. *y ends at the last line drawn.
void KZ_DrawMultilineText(plat::CDC* dc, int x, int* y, const std::string& text);

// Lines of text in a page with y upward, laid out from the DC's real font metrics.
// KZ_TextLineHeight: the height of one line of the current font (logical units).
int KZ_TextLineHeight(const plat::CDC* dc);
// The y at which a line designed to hang from `designed` (top-aligned text) is drawn
// when the line before it hangs from `previous`: the designed place, or lower when the
// font is too tall for it.
int KZ_NextLineY(const plat::CDC* dc, int designed, int previous);
// How far from a horizontal axis its labels and title reach, for an axis whose title
// was designed to stand `designedTitleOffset` units away (1000 for the linear and
// logarithmic axes, 750 for the inclined one, 800 for the time axes).
int KZ_AxisTextDepth(const plat::CDC* dc, int designedTitleOffset);
// The distance from a KZ_DrawTimeAxis axis at which it writes its own title line.
int KZ_TimeAxisTitleOffset(const plat::CDC* dc);
// Writes the text top-left aligned from (x, y), broken at blanks or path separators into
// as many lines as keep it left of `right`, one line height apart; a piece without a
// break point is written whole. Returns the y of the last line written.
int KZ_DrawTextWrapped(plat::CDC* dc, int x, int y, const std::string& text, int right);

// Linear axes. `title` null means no title (and, for the horizontal and vertical axes,
// no labels). The vertical axis does not apply its text colour.
void KZ_DrawAxisX(plat::CDC* dc, int x, int y, int length, int side, float first, float last,
                  int ticks, const char* title, COLORREF textColor);
void KZ_DrawAxisY(plat::CDC* dc, int x, int y, int length, int side, float first, float last,
                  int ticks, const char* title, COLORREF textColor = 0);
// Along the direction `angle` (degrees) from (x, y); drawn only when first < last. Ticks
// stand on the left of the direction for a positive side (above a rightward axis).
void KZ_DrawAxisInclined(plat::CDC* dc, int x, int y, int length, float angle, int side,
                         float first, float last, int ticks, const char* title);

// Logarithmic axes over the decades 10^e0 .. 10^e1, minor ticks at 2..9 of each decade;
// when e1 < e0 the decades are laid out from the right (upper) end.
void KZ_DrawLogAxisX(plat::CDC* dc, int x, int y, int length, int side, int e0, int e1,
                     const char* title);
void KZ_DrawLogAxisY(plat::CDC* dc, int x, int y, int length, int side, int e0, int e1,
                     const char* title);

// Time axis over `span` seconds whose unit (year .. usec) follows from the span; labels
// show the elapsed time. With a start time (seconds since 1970, local calendar) the year
// range ticks at calendar years and the start (plus `startOffset` seconds) is written
// beside the unit title. A title not beginning with a blank is written along the axis.
void KZ_DrawTimeAxis(plat::CDC* dc, int x, int y, int length, float angle, int side,
                     double startOffset, double span, const std::int64_t* start, const char* title);
// Calendar time axis from the Julian day `start` over `span` days: year ticks from 1850
// days, month ticks from 210 days, else day, hour or minute ticks. A title holding "log"
// draws the elapsed days on a logarithmic axis instead.
void KZ_DrawTimeAxis2(plat::CDC* dc, int x, int y, int length, float angle, int side, double start,
                      double span, const char* title);
