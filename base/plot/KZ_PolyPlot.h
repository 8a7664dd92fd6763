// Small drawing primitives of the plots: a growable list of integer points drawn as one
// polyline or one filled polygon (so a curve of thousands of points costs one call), a
// polyline through a linked list of points, and marker symbols.
#pragma once
#include <list>
#include <vector>

#include "platform/WinTypes.h"

namespace plat {
class CDC;
}

class KZ_PolyPlot {
 public:
  KZ_PolyPlot() = default;
  virtual ~KZ_PolyPlot() = default;

  void AddPoint(int x, int y) { m_Points.push_back({x, y}); }
  void AddPointXY(int x, int y) { AddPoint(x, y); }

  // One Polyline with a new pen of the style, width and colour. With `close` a non-empty
  // list first gets its first point appended once more; with `clear` the list is emptied
  // afterwards.
  void Draw(plat::CDC* dc, UINT penStyle, int penWidth, COLORREF color, bool clear, bool close);
  // The same with the pen the DC already has.
  void DrawCurrentPen(plat::CDC* dc, bool clear, bool close);
  // One Polygon with a new pen and a new solid brush of `brushColor`.
  void DrawFilled(plat::CDC* dc, UINT penStyle, int penWidth, COLORREF penColor,
                  COLORREF brushColor, bool clear);

  std::vector<POINT> m_Points;

 private:
  void Close(bool close);
};

// A curve's logical points thinned per device pixel column of a device context: of each
// run of consecutive points that fall in one column it keeps the first, the lowest, the
// highest and the last point, in their order. A one-pixel line through the kept points
// inks the same pixels as through all of them, and a curve of thousands of points per
// column reaches the device as a few per column. Columns are the device context's own
// rounding of the logical x, worked out once per distinct x.
class KZ_ColumnThinner {
 public:
  KZ_ColumnThinner(const plat::CDC* dc, KZ_PolyPlot* out);
  void Add(int x, int y);
  // Hands the last run to the list; call once after the last point.
  void Finish();

 private:
  int Column(int x);
  KZ_PolyPlot* m_pOut;
  int m_nWindowX = 0, m_nViewportX = 0, m_nExtWindow = 1, m_nExtViewport = 1;
  int m_nLastX = 0, m_nLastColumn = 0;
  bool m_bHaveX = false, m_bOpen = false;
  int m_nColumn = 0;
  POINT m_First{}, m_Low{}, m_High{}, m_Last{};
  long m_nLow = 0, m_nHigh = 0, m_nCount = 0;  // order of the low and high points in the run
};

// The points of the list, in order, as one polyline with a solid pen; an empty list
// draws nothing. With `free` the list is emptied.
void KZ_DrawPointList(plat::CDC* dc, std::list<POINT>& points, int penWidth, COLORREF color,
                      bool free);

// Marker of kind type mod 10 and size r at (x, y), with the DC's pen and brush: circle,
// narrow diamond (plus sign for types above 10), wide diamond, triangle, square,
// pentagon, hexagon, plus sign, diagonal cross, nothing. A negative type or r < 10 sets
// the one pixel (x, y) black.
void KZ_DrawMarker(plat::CDC* dc, int x, int y, int type, int r);
