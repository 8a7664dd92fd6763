#include "base/plot/KZ_Axis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/plot/KZ_ViewFont.h"
#include "base/util/KZ_DateTime.h"
#include "platform/CDC.h"
#include "platform/Strings.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

int Trunc(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (std::size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size())
    s.replace(pos, from.size(), to);
}

// Leading blanks off, then the exponent's zeros shortened, each rule applied twice.
std::string Compact(std::string t) {
  t = plat::TrimLeft(t);
  for (const char* rule : {"0e+", "e+0", "0e-", "e-0"}) {
    const std::string from(rule);
    const std::string to = rule[0] == '0' ? from.substr(1) : from.substr(0, 2);
    ReplaceAll(t, from, to);
    ReplaceAll(t, from, to);
  }
  return t;
}

// printf with the exponent widened to at least three digits, as the labels' formats
// were written for.
std::string FormatThreeDigitExponent(const char* format, double value) {
  std::string t = plat::Format(format, value);
  const std::size_t e = t.find_first_of("eE");
  if (e != std::string::npos && e + 1 < t.size() && (t[e + 1] == '+' || t[e + 1] == '-')) {
    std::size_t digits = 0;
    while (e + 2 + digits < t.size() && std::isdigit(static_cast<unsigned char>(t[e + 2 + digits])))
      ++digits;
    if (digits == 2) t.insert(e + 2, 1, '0');
  }
  return t;
}

std::string AxisNumberText(double v) {
  if (std::fabs(v) <= 9999) return plat::Format("%d", static_cast<int>(v));
  return Compact(plat::Format("%.4g", v));
}

SIZE Out(plat::CDC* dc, int x, int y, const std::string& text) {
  dc->TextOut(x, y, text);
  return dc->GetTextExtent(text);
}

// 0 means 10; whole spans of 360, 12 and 24 get 12 ticks, 90 gets 9, other whole spans
// in lo..14 the span itself, and (horizontal axes) a span of 3 gets 6. The sign stays.
int AdjustTicks(int n, double first, double last, bool horizontal) {
  if (n == 0) n = 10;
  const int sign = n < 0 ? -1 : 1;
  const double a = std::fabs(last - first);
  if (a < 1e9 && std::ceil(a) - std::trunc(a) < 0.1) {
    const int span = static_cast<int>(std::lround(a));
    const int lo = horizontal ? 4 : 6;
    if (span == 360 || span == 12 || span == 24) return 12 * sign;
    if (span == 90) return 9 * sign;
    if (span >= lo && span <= 14) return span * sign;
    if (horizontal && span == 3) return 6;
  }
  return n;
}

// Height of a text line in the DC's current font (logical units), and the space kept
// between two bands of text.
int LineHeight(const plat::CDC* dc) {
  TEXTMETRIC tm;
  if (!dc->GetTextMetrics(&tm)) return 0;
  return std::abs(static_cast<int>(tm.tmHeight));
}
int Gap(int height) { return std::max(20, height / 8); }

// Distance from an axis to the next band of text beyond one that starts at `previous`
// (labels at 300, titles further out): the designed offset, or further out when the
// font is too tall for it. Labels and titles below an axis hang from their top, those
// above stand on their baseline; either way a band takes one line height.
int BandOffset(const plat::CDC* dc, int designed, int previous) {
  const int h = LineHeight(dc);
  return std::max(designed, previous + h + Gap(h));
}

// Ascent and height of the rotated title font (Times New Roman at the working view
// font's height), for placing it beside the labels of a vertical axis.
void RotatedTitleMetrics(plat::CDC* dc, int* ascent, int* height) {
  plat::CFont font;
  font.CreateFont(g_ViewFontScaled.lfHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0,
                  "Times New Roman");
  const plat::CFont old = dc->SelectObject(font);
  TEXTMETRIC tm;
  if (!dc->GetTextMetrics(&tm)) tm = TEXTMETRIC{};
  dc->SelectObject(old);
  *ascent = std::abs(static_cast<int>(tm.tmAscent));
  *height = std::abs(static_cast<int>(tm.tmHeight));
}

// The baseline of a vertical axis' title (turned -90 degrees, its tops toward the axis)
// beside labels that reach `labelsOut` units from the axis at x: at `designed` units from
// the axis, or further out when the title's glyphs would reach into the labels. A title on
// the left stands on its baseline (glyphs reach in by the ascent) and is kept right of the
// page's left edge (x = 0) where the labels leave room for that; one on the right hangs
// from its top (glyphs reach out by the height).
int VerticalTitleOffset(plat::CDC* dc, int x, int designed, int labelsOut, int side) {
  int ascent = 0, height = 0;
  RotatedTitleMetrics(dc, &ascent, &height);
  const int need = labelsOut + Gap(height) + (side > 0 ? ascent : height);
  int offset = std::max(designed, need);
  if (side > 0 && x >= 0) offset = std::max(need, std::min(offset, x - (height - ascent)));
  return offset;
}

// Selects a solid black pen 20 wide and a white background for the axis, and gives the
// pen back at the end.
class AxisPen {
 public:
  explicit AxisPen(plat::CDC* dc) : dc_(dc) {
    old_ = dc->SelectObject(plat::CPen(PS_SOLID, 20, RGB(0, 0, 0)));
    dc->SetBkColor(RGB(255, 255, 255));
  }
  ~AxisPen() { dc_->SelectObject(old_); }
  AxisPen(const AxisPen&) = delete;
  AxisPen& operator=(const AxisPen&) = delete;

 private:
  plat::CDC* dc_;
  plat::CPen old_;
};

void Line(plat::CDC* dc, POINT a, POINT b) {
  dc->MoveTo(a.x, a.y);
  dc->LineTo(b.x, b.y);
}

// Positions along an axis from (x, y) in direction `angle`; `off` is the distance to the
// side the ticks stand on (left of the direction for a positive side).
struct Direction {
  double x0, y0, c, s;
  int side;
  POINT At(double pos, double off = 0) const {
    const double d = off * side;
    return {Trunc(x0 + pos * c - d * s), Trunc(y0 + pos * s + d * c)};
  }
};

Direction MakeDirection(int x, int y, float angle, int side) {
  const double a = angle * kPi / 180.0;
  // Right angles give exact directions, so that truncated positions do not lose a unit.
  auto exact = [](double v) { return std::fabs(v) < 1e-12 ? 0.0 : v; };
  return {static_cast<double>(x), static_cast<double>(y), exact(std::cos(a)), exact(std::sin(a)),
          side > 0 ? 1 : -1};
}

UINT LabelAlign(int s) { return s > 0 ? (TA_BASELINE | TA_CENTER) : (TA_TOP | TA_CENTER); }

// Labels along an axis, centred on their ticks: one that would run into the label before
// it (a tall font, long numbers) is left out. Upright labels along an axis of direction
// (c, s) take their width times |c| plus their height times |s| of its length.
struct LabelRoom {
  double lo = 0, hi = 0;
  bool any = false;
  bool Take(const plat::CDC* dc, double centre, const std::string& text, double c = 1,
            double s = 0) {
    const SIZE ext = dc->GetTextExtent(text);
    const double half = 0.5 * (ext.cx * std::fabs(c) + ext.cy * std::fabs(s));
    const int gap = Gap(LineHeight(dc));
    if (any && centre - half < hi + gap && lo < centre + half + gap) return false;
    lo = centre - half;
    hi = centre + half;
    any = true;
    return true;
  }
};

// Labels along an axis, skipped when closer than 1501 units to the previous one.
struct SpacedLabels {
  double last = -1e30;
  bool Take(double pos) {
    if (std::fabs(pos - last) < 1501) return false;
    last = pos;
    return true;
  }
};

}  // namespace

std::string& KZ_TickFormat(std::string& format, double first, double last, int ticks) {
  const double step = std::fabs(last - first) / ticks;
  auto whole = [](double v) { return std::fabs(v - std::trunc(v)) < 0.0001; };
  if (step > 1000 || step < 0.0001)
    format = "%.2e";
  else if (whole(step))
    format = "%.0f";
  else if (whole(10 * step))
    format = "%.1f";
  else if (whole(100 * step))
    format = "%.2f";
  else
    format = "%.3f";
  return format;
}

SIZE KZ_DrawNumber(plat::CDC* dc, int x, int y, const char* format, double value) {
  return Out(dc, x, y, Compact(FormatThreeDigitExponent(format, value)));
}

SIZE KZ_FormatAxisNumber(plat::CDC* dc, int x, int y, int value) {
  return Out(dc, x, y, AxisNumberText(value));
}

std::string KZ_ValueLabelText(double v, const char* unit) {
  if (std::isfinite(v) && v == std::trunc(v)) return AxisNumberText(v);
  const double a = std::fabs(v);
  std::string t;
  if (a > 100000 || a < 0.0001)
    t = plat::Format("%.1e", v);
  else if (a < 0.01)
    t = plat::Format("%.4f", v);
  else if (a < 0.1)
    t = plat::Format("%.3f", v);
  else if (a <= 100)
    t = plat::Format("%.2f", v);
  else
    t = plat::Format("%.0f", v);
  std::size_t i = 0;
  while (i + 1 < t.size() && t[i] == '0' && t[i + 1] != 'e') t[i++] = ' ';
  if (t.find('.') != std::string::npos && t.find('e') == std::string::npos) {
    while (!t.empty() && t.back() == '0') t.pop_back();
  }
  t = plat::Trim(t);
  if (unit) t += unit;
  return t;
}

SIZE KZ_DrawValueLabel(plat::CDC* dc, int x, int y, double value, const char* unit) {
  return Out(dc, x, y, KZ_ValueLabelText(value, unit));
}

SIZE KZ_DrawLabel(plat::CDC* dc, int x, int y, double value) {
  return KZ_DrawValueLabel(dc, x, y, value, "");
}

SIZE KZ_DrawLabelAligned(plat::CDC* dc, int x, int y, double value, UINT align) {
  dc->SetTextAlign(align);
  return KZ_DrawLabel(dc, x, y, value);
}

void KZ_DrawRotatedText(plat::CDC* dc, int x, int y, const char* text, float /*unused*/,
                        float angle, UINT align) {
  const int tenths = Trunc(angle * 10.0);
  plat::CFont font;
  font.CreateFont(g_ViewFontScaled.lfHeight, 0, tenths, tenths, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0,
                  "Times New Roman");
  const plat::CFont old = dc->SelectObject(font);
  dc->SetTextAlign(align);
  dc->TextOut(x, y, text ? text : "");
  dc->SelectObject(old);
}

void KZ_DrawMultilineText(plat::CDC* dc, int x, int* y, const std::string& text) {
  std::string rest = text;
  const int step = Trunc(1.2 * std::abs(g_ViewFontScaled.lfHeight));
  std::size_t nl;
  while (rest.size() > 1 && (nl = rest.find('\n', 1)) != std::string::npos) {
    dc->TextOut(x, *y, rest.substr(0, nl));
    rest.erase(0, nl + 1);
    *y -= step;
    if (*y < -30000) return;
  }
  dc->TextOut(x, *y, rest);
}

int KZ_TextLineHeight(const plat::CDC* dc) { return LineHeight(dc); }

int KZ_NextLineY(const plat::CDC* dc, int designed, int previous) {
  const int h = LineHeight(dc);
  return std::min(designed, previous - h - Gap(h) / 2);
}

int KZ_AxisTextDepth(const plat::CDC* dc, int designedTitleOffset) {
  return BandOffset(dc, designedTitleOffset, 300) + LineHeight(dc);
}

int KZ_TimeAxisTitleOffset(const plat::CDC* dc) {
  return BandOffset(dc, 1500, BandOffset(dc, 800, 300));
}

int KZ_DrawTextWrapped(plat::CDC* dc, int x, int y, const std::string& text, int right) {
  const UINT oldAlign = dc->SetTextAlign(TA_LEFT | TA_TOP);
  const int room = right - x;
  std::string rest = text;
  while (!rest.empty()) {
    std::size_t cut = rest.size();
    if (dc->GetTextExtent(rest).cx > room) {
      // The longest head that fits and ends at a break point.
      std::size_t best = 0;
      for (std::size_t i = 1; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c != ' ' && c != '/' && c != '\\') continue;
        const std::size_t end = c == ' ' ? i : i + 1;
        if (dc->GetTextExtent(rest.substr(0, end)).cx > room) break;
        best = end;
      }
      if (best > 0) cut = best;
    }
    dc->TextOut(x, y, rest.substr(0, cut));
    rest.erase(0, cut);
    while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    if (!rest.empty()) y = KZ_NextLineY(dc, y, y);
  }
  dc->SetTextAlign(oldAlign);
  return y;
}

void KZ_DrawAxisX(plat::CDC* dc, int x, int y, int length, int side, float first, float last,
                  int ticks, const char* title, COLORREF textColor) {
  const int s = side > 0 ? 1 : -1;
  const int n = AdjustTicks(ticks, first, last, true);
  const int count = std::abs(n);
  AxisPen pen(dc);
  dc->SetTextAlign(LabelAlign(s));
  const COLORREF oldColor = dc->SetTextColor(textColor);
  Line(dc, {x, y}, {x + length, y});
  if (first != last) {
    const double step = (static_cast<double>(last) - first) / count;
    const double scale = length / (static_cast<double>(last) - first);
    std::string format;
    KZ_TickFormat(format, first, last, count);
    LabelRoom room;
    for (int i = 0; i <= count; ++i) {
      const double v = first + i * step;
      const int px = Trunc(x + (v - first) * scale);
      Line(dc, {px, y}, {px, y + 150 * s});
      if (i % 2 == 0 && n > 0 && title &&
          room.Take(dc, px, Compact(FormatThreeDigitExponent(format.c_str(), v))))
        KZ_DrawNumber(dc, px, y + 300 * s, format.c_str(), v);
    }
  }
  if (n > 0 && title) dc->TextOut(x + length / 2, y + BandOffset(dc, 1000, 300) * s, title);
  dc->SetTextColor(oldColor);
}

void KZ_DrawAxisY(plat::CDC* dc, int x, int y, int length, int side, float first, float last,
                  int ticks, const char* title, COLORREF /*textColor*/) {
  const int s = side > 0 ? 1 : -1;
  const int n = AdjustTicks(ticks, first, last, false);
  const int count = std::abs(n);
  AxisPen pen(dc);
  Line(dc, {x, y}, {x, y + length});
  int widest = 0;
  if (first != last) {
    const double step = (static_cast<double>(last) - first) / count;
    const double scale = length / (static_cast<double>(last) - first);
    std::string format;
    KZ_TickFormat(format, first, last, count);
    dc->SetTextAlign(TA_BASELINE | (s > 0 ? TA_RIGHT : TA_LEFT));
    for (int i = 0; i <= count; ++i) {
      const double v = first + i * step;
      const int py = Trunc(y + (v - first) * scale);
      Line(dc, {x, py}, {x - 150 * s, py});
      if (i % 2 == 0 && n > 0 && title) {
        const SIZE sz = KZ_DrawNumber(dc, x - 250 * s, py - 150, format.c_str(), v);
        widest = std::max(widest, static_cast<int>(sz.cx));
      }
    }
  }
  if (n > 0 && title)
    KZ_DrawRotatedText(dc, x - VerticalTitleOffset(dc, x, widest + 500, widest + 250, s) * s,
                       y + length / 2, title, 250, -90, LabelAlign(s));
}

void KZ_DrawAxisInclined(plat::CDC* dc, int x, int y, int length, float angle, int side,
                         float first, float last, int ticks, const char* title) {
  if (!(first < last)) return;
  const Direction d = MakeDirection(x, y, angle, side);
  const int n = AdjustTicks(ticks, first, last, false);
  const int count = std::abs(n);
  AxisPen pen(dc);
  dc->SetTextAlign(LabelAlign(d.side));
  Line(dc, d.At(0), d.At(length));
  const double step = (static_cast<double>(last) - first) / count;
  const double scale = length / (static_cast<double>(last) - first);
  std::string format;
  KZ_TickFormat(format, first, last, count);
  LabelRoom room;
  for (int i = 0; i <= count; ++i) {  // the values first, first + step, ... up to last
    const double v = first + i * step;
    const double pos = (v - first) * scale;
    Line(dc, d.At(pos), d.At(pos, 150));
    if (i % 2 == 0 && n > 0 &&
        room.Take(dc, pos, Compact(FormatThreeDigitExponent(format.c_str(), v)), d.c, d.s)) {
      const POINT p = d.At(pos, 300);
      KZ_DrawNumber(dc, p.x, p.y, format.c_str(), v);
    }
  }
  if (n > 0 && title) {
    const POINT p = d.At(length / 2.0, BandOffset(dc, 750, 300));
    dc->TextOut(p.x, p.y, title);
  }
}

namespace {

constexpr int kMaxDecade = 330;

// Minor ticks at log10(2..9) of each decade and labelled major ticks at the boundaries,
// along a horizontal (vertical = false) or vertical axis.
void LogAxis(plat::CDC* dc, int x, int y, int length, int side, int e0, int e1, const char* title,
             bool vertical) {
  const int s = side > 0 ? 1 : -1;
  // Decades come from casts of data ranges; doubles span about -324 .. 308, and a wider
  // request (a cast of an infinite or absurd range) would tick billions of decades.
  e0 = std::clamp(e0, -kMaxDecade, kMaxDecade);
  e1 = std::clamp(e1, -kMaxDecade, kMaxDecade);
  const int decades = std::abs(e1 - e0);
  const int dw = decades > 0 ? length / decades : length;
  // Position of decade boundary k along the axis.
  auto at = [&](int k) { return e1 >= e0 ? (k - e0) * dw : length - (k - e1) * dw; };
  const int dirUp = e1 >= e0 ? 1 : -1;  // the way values grow along the axis
  AxisPen pen(dc);
  auto tick = [&](double pos, int len) {
    const int p = Trunc(pos);
    if (vertical)
      Line(dc, {x, y + p}, {x - len * s, y + p});
    else
      Line(dc, {x + p, y}, {x + p, y + len * s});
  };
  if (!vertical) {
    const plat::CPen grey(PS_SOLID, 20, RGB(128, 128, 128));
    const plat::CPen black = dc->SelectObject(grey);
    for (int k = std::min(e0, e1); k < std::max(e0, e1); ++k)
      for (int m = 2; m <= 9; ++m) tick(at(k) + dirUp * std::log10(m) * dw, 150);
    dc->SelectObject(black);
  } else {
    for (int k = std::min(e0, e1); k < std::max(e0, e1); ++k)
      for (int m = 2; m <= 9; ++m) tick(at(k) + dirUp * std::log10(m) * dw, 150);
  }
  if (vertical)
    dc->SetTextAlign(TA_BASELINE | (s > 0 ? TA_RIGHT : TA_LEFT));
  else
    dc->SetTextAlign(LabelAlign(s));
  int widest = 0;
  LabelRoom room;
  for (int k = std::min(e0, e1); k <= std::max(e0, e1); ++k) {
    tick(at(k), 200);
    const double v = std::pow(10.0, k);
    if (vertical) {
      const SIZE sz = KZ_DrawValueLabel(dc, x - 300 * s, y + at(k) - 150, v, "");
      widest = std::max(widest, static_cast<int>(sz.cx));
    } else if (room.Take(dc, at(k), KZ_ValueLabelText(v, ""))) {
      KZ_DrawValueLabel(dc, x + at(k), y + 300 * s, v, "");
    }
  }
  if (vertical) {
    Line(dc, {x, y}, {x, y + length});
    if (title)
      KZ_DrawRotatedText(dc,
                         x - VerticalTitleOffset(dc, x, s > 0 ? 2250 : 2000, widest + 300, s) * s,
                         y + length / 2, title, 250, -90, LabelAlign(s));
  } else {
    Line(dc, {x, y}, {x + length, y});
    if (title) dc->TextOut(x + length / 2, y + BandOffset(dc, 1000, 300) * s, title);
  }
}

}  // namespace

void KZ_DrawLogAxisX(plat::CDC* dc, int x, int y, int length, int side, int e0, int e1,
                     const char* title) {
  LogAxis(dc, x, y, length, side, e0, e1, title, false);
}

void KZ_DrawLogAxisY(plat::CDC* dc, int x, int y, int length, int side, int e0, int e1,
                     const char* title) {
  LogAxis(dc, x, y, length, side, e0, e1, title, true);
}

void KZ_DrawTimeAxis(plat::CDC* dc, int x, int y, int length, float angle, int side,
                     double startOffset, double span, const std::int64_t* start,
                     const char* title) {
  if (!(std::fabs(span) >= 1e-5) || !std::isfinite(span)) return;
  // A start that is no time (an offset beyond some 30 million years) is left out.
  if (!(std::fabs(startOffset) < 1e15)) start = nullptr;
  enum Range { kYear, kDay, kHour, kMin, kSec, kMsec, kUsec };
  struct Unit {
    double above;
    const char* title;
    double factor;
  };
  static const Unit units[] = {{6307200, "Time (year)", 1 / 3.15576e7},
                               {86400, "Time (day)", 1 / 86400.0},
                               {3600, "Time (hour)", 1 / 3600.0},
                               {60, "Time (min)", 1 / 60.0},
                               {1, "Time (sec)", 1},
                               {0.001, "Time (msec)", 1000},
                               {-1, "Time (usec)", 1e6}};
  double step = span / 10;
  int r = kYear;
  while (r < kUsec && !(std::fabs(step) > units[r].above)) ++r;
  const Unit& u = units[r];
  if (r == kYear || r == kDay) {
    const int n = Trunc(span * u.factor);
    if (n >= 6 && n <= 19) step = span / n;
  } else if (r == kHour) {
    const int h = Trunc(span / 3600);
    if (h > 0 && h % 6 == 0) step = span / 6;
  }
  const Direction d = MakeDirection(x, y, angle, side);
  AxisPen pen(dc);
  dc->SetTextAlign(LabelAlign(d.side));
  Line(dc, d.At(0), d.At(length));
  const double scale = length / span;
  if (r == kYear && start) {
    // Ticks at the calendar years after the start, labelled with the year.
    const std::time_t t0 =
        static_cast<std::time_t>(*start + static_cast<std::int64_t>(startOffset));
    std::tm tm{};
    localtime_r(&t0, &tm);
    SpacedLabels spaced;
    for (int year = tm.tm_year + 1901;; ++year) {
      std::tm jan{};
      jan.tm_year = year - 1900;
      jan.tm_mday = 1;
      jan.tm_isdst = -1;
      const double t = static_cast<double>(std::mktime(&jan) - t0);
      if (t > span || year > tm.tm_year + 1900 + 10000) break;
      const double pos = t * scale;
      Line(dc, d.At(pos), d.At(pos, 150));
      if (spaced.Take(pos)) {
        const POINT p = d.At(pos, 300);
        dc->TextOut(p.x, p.y, plat::Format("%d", year));
      }
    }
  } else {
    const int n = std::max(1, static_cast<int>(std::lround(span / step)));
    LabelRoom room;
    for (int i = 0; i <= n; ++i) {
      const double t = i * step;
      const double pos = t * scale;
      Line(dc, d.At(pos), d.At(pos, 150));
      if (i % 2 == 0 &&
          room.Take(dc, pos, KZ_ValueLabelText(std::round(t * u.factor * 1e6) / 1e6, ""), d.c,
                    d.s)) {
        const POINT p = d.At(pos, 300);
        // Rounded to a millionth so that i x step shows as the whole number it stands for.
        KZ_DrawLabel(dc, p.x, p.y, std::round(t * u.factor * 1e6) / 1e6);
      }
    }
  }
  const int titleOffset = BandOffset(dc, 800, 300);
  const POINT mid = d.At(length / 2.0, titleOffset);
  dc->TextOut(mid.x, mid.y, u.title);
  if (start) {
    const std::time_t t0 =
        static_cast<std::time_t>(*start + static_cast<std::int64_t>(startOffset));
    std::tm tm{};
    localtime_r(&t0, &tm);
    const bool midnight = tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0;
    const std::string text =
        midnight && span >= 10
            ? plat::Format("%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday)
            : plat::Format("%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                           tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    const POINT p = d.At(0, titleOffset);
    dc->SetTextAlign((d.side > 0 ? TA_BASELINE : TA_TOP) | TA_LEFT);
    dc->TextOut(p.x, p.y, text);
  }
  if (title && title[0] && title[0] != ' ') {
    const POINT p = d.At(0, KZ_TimeAxisTitleOffset(dc));
    dc->SetTextAlign((d.side > 0 ? TA_BASELINE : TA_TOP) | TA_LEFT);
    dc->TextOut(p.x, p.y, title);
  }
}

void KZ_DrawTimeAxis2(plat::CDC* dc, int x, int y, int length, float angle, int side, double start,
                      double span, const char* title) {
  // Julian days beyond 1e10 have no calendar (and an infinite or NaN end would let the
  // tick loops run forever).
  if (!(span > 0) || !(std::fabs(start) < 1e10) || !(span < 1e10)) return;
  if (title && std::strstr(title, "log")) {
    // Elapsed days over the three decades below the span's.
    const int e1 = static_cast<int>(std::ceil(std::log10(span)));
    KZ_DrawLogAxisX(dc, x, y, length, side, e1 - 3, e1, "Time (day)");
    return;
  }
  struct Tick {
    double jd;
    std::string label;
  };
  std::vector<Tick> ticks;
  const double end = start + span;
  const double eps = 1e-7;  // days, so that a boundary never reads as the minute before
  int Y, M, D, h, mi;
  float sec;
  KZ_CalendarFromJulianDay(start, &Y, &M, &D, &h, &mi, &sec, 0);
  const char* unitTitle;
  if (span >= 1850) {
    unitTitle = "Time (year)";
    int Y1, M1, D1, h1, mi1;
    float s1;
    KZ_CalendarFromJulianDay(end, &Y1, &M1, &D1, &h1, &mi1, &s1, 0);
    int ystep = 1;
    while ((Y1 - Y) / ystep + 1 > 50) ++ystep;
    for (int year = Y; year <= Y1; year += ystep) {
      const double jd = KZ_JulianDay(year, 1, 1, 0, 0, 0, 0);
      if (jd >= start - eps && jd <= end + eps) ticks.push_back({jd, plat::Format("%d", year)});
    }
  } else if (span >= 210) {
    unitTitle = "Time";
    const int mstep = std::max(1, static_cast<int>(std::ceil(span / 30.44 / 24)));
    for (int k = 0;; k += mstep) {
      const int m0 = M - 1 + k;
      const int year = Y + m0 / 12, month = m0 % 12 + 1;
      const double jd = KZ_JulianDay(year, month, 1, 0, 0, 0, 0);
      if (jd > end + eps) break;
      if (jd >= start - eps) ticks.push_back({jd, plat::Format("%04d/%02d", year, month)});
    }
  } else {
    double unit;  // days
    double jd0;
    if (span >= 3) {
      unitTitle = "Time (day)";
      unit = 1;
      jd0 = KZ_JulianDay(Y, M, D, 0, 0, 0, 0);
    } else if (span >= 3.0 / 24) {
      unitTitle = "Time (hour)";
      unit = 1 / 24.0;
      jd0 = KZ_JulianDay(Y, M, D, h, 0, 0, 0);
    } else {
      unitTitle = "Time (min)";
      unit = 1 / 1440.0;
      jd0 = KZ_JulianDay(Y, M, D, h, mi, 0, 0);
    }
    double step = unit;
    for (double m : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0}) {
      step = m * unit;
      if (span / step <= 30) break;
    }
    for (int k = 0; k < 100000; ++k) {
      const double jd = jd0 + k * step;
      if (jd > end + eps) break;
      if (jd < start - eps) continue;
      int y2, m2, d2, h2, mi2;
      float s2;
      KZ_CalendarFromJulianDay(jd + eps, &y2, &m2, &d2, &h2, &mi2, &s2, 0);
      const std::string label = unit == 1         ? plat::Format("%02d/%02d", m2, d2)
                                : unit > 1 / 30.0 ? plat::Format("%02d", h2)
                                                  : plat::Format("%02d:%02d", h2, mi2);
      ticks.push_back({jd, label});
    }
  }
  const Direction d = MakeDirection(x, y, angle, side);
  AxisPen pen(dc);
  dc->SetTextAlign(LabelAlign(d.side));
  Line(dc, d.At(0), d.At(length));
  SpacedLabels spaced;
  for (const Tick& t : ticks) {
    const double pos = (t.jd - start) / span * length;
    Line(dc, d.At(pos), d.At(pos, 150));
    if (spaced.Take(pos)) {
      const POINT p = d.At(pos, 300);
      dc->TextOut(p.x, p.y, t.label);
    }
  }
  const POINT mid = d.At(length / 2.0, BandOffset(dc, 800, 300));
  dc->TextOut(mid.x, mid.y, unitTitle);
}
