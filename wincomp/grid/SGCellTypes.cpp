#include "wincomp/grid/SGCellTypes.h"

#include <algorithm>
#include <cstdlib>

#include "platform/RecordingDc.h"
#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGEdit.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/SGGridInfo.h"

using plat::CDC;
using namespace sgw;

namespace sgtypes {

RECT InnerRect(CSGCellType* type, RECT rect, CSGCell* cell) {
  // The border's geometry without drawing anywhere that matters.
  plat::RecordingDc scratch;
  RECT inner = rect;
  type->DrawBorder(&scratch, &rect, &inner, cell);
  return inner;
}

void Triangle(CDC* dc, int x0, int y0, bool down) {
  for (int i = 0; i < 3; ++i) {
    const int y = down ? y0 + i : y0 + 2 - i;
    dc->MoveTo(x0 + i, y);
    dc->LineTo(x0 + 5 - i, y);
  }
}

}  // namespace sgtypes

namespace {

bool Inside(const RECT& r, const POINT& p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// A raised (0x2000) or recessed (0x1000) frame around `r`; returns the inside.
RECT Frame(CSGCellType* type, CDC* dc, RECT r, bool raised) {
  CSGCell frame;
  frame.SetBorderStyle(raised ? 0x2000 : 0x1000);
  RECT inner = r;
  type->DrawBorder(dc, &r, &inner, &frame);
  return inner;
}

void Line(CDC* dc, int x1, int y1, int x2, int y2) {
  dc->MoveTo(x1, y1);
  dc->LineTo(x2, y2);
}

int CountLineFeeds(const char* s) {
  int n = 0;
  for (; s && *s; ++s) n += *s == '\n';
  return n;
}

long Param(const void* p) { return static_cast<long>(reinterpret_cast<std::intptr_t>(p)); }

}  // namespace

// ------------------------------------------------------------------ check box

CSGCheckBoxType::CSGCheckBoxType()
    : m_shadowPen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)),
      m_lightPen(PS_SOLID, 1, RGB(225, 225, 225)),
      m_facePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE)) {
  m_canTextEdit = 0;
  m_canOverlap = 0;
  m_drawLabelText = 1;
}

const unsigned char* CSGCheckBoxType::GetTypeId() {
  static const unsigned char id[16] = {0x5d, 0x1a, 0x42, 0x70, 0x9b, 0x3e, 0x4c, 0x21,
                                       0x8f, 0x06, 0xa4, 0x11, 0x2c, 0x77, 0xe0, 0x02};
  return id;
}

void CSGCheckBoxType::BoxOf(const RECT& inner, int* left, int* top, int* size) {
  const int h = inner.bottom - inner.top;
  *size = std::min(h - 6, 12);
  *left = inner.left + 3;
  *top = inner.top + (h - *size) / 2;
}

void CSGCheckBoxType::Store(int col, long row, CSGCell* cell, int state) {
  cell->SetNumber(state);
  m_ctrl->SetCell(col, row, cell);
  m_ctrl->RedrawCell(col, row);
  m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_CHECK_CHANGED, state);
}

int CSGCheckBoxType::OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) {
  if (updn) return 0;
  m_ctrl->GetCellWithDefaults(col, row, &m_cell);
  int x, y, s;
  BoxOf(sgtypes::InnerRect(this, *rect, &m_cell), &x, &y, &s);
  if (point->x < x || point->x > x + s || point->y < y || point->y > y + s) return 0;
  Store(col, row, &m_cell, m_cell.GetNumber() == 0 ? 1 : 0);
  return 1;
}

int CSGCheckBoxType::OnDoubleClick(int col, long row, RECT* rect, POINT* point) {
  return OnLeftClick(col, row, 1, rect, point);
}

int CSGCheckBoxType::OnCharDown(int /*col*/, long /*row*/, UINT* vcKey) {
  if (*vcKey != 32) return 0;
  const int col = m_ctrl->GetCurrentColumn();
  const long row = m_ctrl->GetCurrentRow();
  m_ctrl->GetCell(col, row, &m_cell);
  Store(col, row, &m_cell, m_cell.GetBool() ? 0 : 1);
  return 1;
}

void CSGCheckBoxType::OnDraw(CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
                             int current) {
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  int x, y, s;
  BoxOf(in, &x, &y, &s);
  dc->FillSolidRect(RECT{in.left, in.top, std::min<LONG>(in.left + s + 6, in.right), in.bottom},
                    selected ? GetSysColor(COLOR_HIGHLIGHT) : cell->GetBackColor());
  const long style = cell->GetCellTypeStyle();
  if (s >= 6) {
    const plat::CPen black = plat::CPen::Stock(BLACK_PEN);
    auto edges = [&](const plat::CPen& lt, const plat::CPen& rb, int in1) {
      const int l = x + in1, t = y + in1, r = x + s - 1 - in1, b = y + s - 1 - in1;
      dc->SelectObject(lt);
      Line(dc, l, b, l, t);
      Line(dc, l, t, r + 1, t);
      dc->SelectObject(rb);
      Line(dc, r, t, r, b);
      Line(dc, r, b, l - 1, b);
    };
    int fillIn = 1;
    if (style & 0x100) {
      edges(m_shadowPen, m_lightPen, 0);
      edges(black, m_facePen, 1);
      fillIn = 2;
    } else if (style & 0x200) {
      edges(m_lightPen, black, 0);
      edges(m_facePen, m_shadowPen, 1);
      fillIn = 2;
    } else {
      edges(black, black, 0);
    }
    dc->FillSolidRect(RECT{x + fillIn, y + fillIn, x + s - fillIn, y + s - fillIn},
                      GetSysColor(COLOR_WINDOW));
    if (cell->GetNumber() > 0) {
      dc->SelectObject(black);
      const int passes = s > 9 ? 2 : 1;
      for (int k = 0; k < passes; ++k) {
        if (style & 0x1000) {
          Line(dc, x + 2 + k, y + s / 2, x + s / 2 - 1 + k, y + s - 3);
          dc->LineTo(x + s + k, y - 1);
        } else {
          Line(dc, x + 1 + k, y + 1, x + s - 1 + k, y + s - 1);
          Line(dc, x + s - 2 + k, y + 1, x + k, y + s - 1);
        }
      }
    }
  }
  RECT label{in.left + s + 6, in.top, in.right, in.bottom};
  if (label.right > label.left) DrawText(dc, &label, 0, col, row, cell, selected, current);
}

// ------------------------------------------------------------------ radio

CSGRadioType::CSGRadioType() { m_canTextEdit = 0; }

int CSGRadioType::ChoiceCount(const CSGCell& cell) { return CountLineFeeds(cell.GetLabel()); }

namespace {

int LineHeight(CSGCtrl* ctrl, const CSGCell& cell) {
  int h = 16;
  const plat::CFont* font = cell.GetFont() ? cell.GetFont() : ctrl->GetGridInfo()->m_defFont;
  ctrl->WithMeasureDC([&](CDC& dc) {
    if (font) dc.SelectObject(*font);
    h = dc.GetTextExtent("X").cy;
  });
  return std::max(1, h);
}

}  // namespace

int CSGRadioType::OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) {
  if (!updn) return 0;
  m_ctrl->GetCell(col, row, &m_cell);
  const int index = (point->y - rect->top) / LineHeight(m_ctrl, m_cell);
  if (index < 0 || index >= ChoiceCount(m_cell)) return 0;
  if (index != static_cast<int>(m_cell.GetNumber())) {
    m_cell.SetNumber(index);
    m_ctrl->SetCell(col, row, &m_cell);
    m_ctrl->RedrawCell(col, row);
  }
  m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_RADIO_CHANGED, index);
  return 1;
}

int CSGRadioType::OnCharDown(int /*col*/, long /*row*/, UINT* vcKey) {
  if (*vcKey != 32) return 0;
  const int col = m_ctrl->GetCurrentColumn();
  const long row = m_ctrl->GetCurrentRow();
  m_ctrl->GetCell(col, row, &m_cell);
  const int n = ChoiceCount(m_cell);
  const int v = static_cast<int>(m_cell.GetNumber());
  const int next = v < n - 1 ? v + 1 : 0;
  m_cell.SetNumber(next);
  m_ctrl->SetCell(col, row, &m_cell);
  m_ctrl->RedrawCell(col, row);
  m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_RADIO_CHANGED, next);
  return 1;
}

void CSGRadioType::OnDraw(CDC* dc, RECT* rect, int /*col*/, long /*row*/, CSGCell* cell,
                          int /*selected*/, int /*current*/) {
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  const int saved = dc->SaveDC();
  if (cell->GetFont()) dc->SelectObject(*cell->GetFont());
  const COLORREF back =
      cell->IsPropertySet(SGCELL_BACKCOLOR) ? cell->GetBackColor() : GetSysColor(COLOR_WINDOW);
  dc->SetTextColor(cell->IsPropertySet(SGCELL_TEXTCOLOR) ? cell->GetTextColor()
                                                         : GetSysColor(COLOR_WINDOWTEXT));
  dc->FillSolidRect(in, back);
  const int h = dc->GetTextExtent("X").cy;
  const std::string label = cell->GetLabel() ? cell->GetLabel() : "";
  const int chosen = static_cast<int>(cell->GetNumber());
  const short align = cell->GetAlignment();
  std::size_t start = 0;
  for (int i = 0;; ++i) {
    const std::size_t end = label.find('\n', start);
    if (end == std::string::npos) break;
    const std::string text = label.substr(start, end - start);
    start = end + 1;
    const int y = in.top + 1 + i * h;
    const int x = in.left + 3;
    if (y >= in.bottom) break;
    dc->SelectObject(plat::CBrush(RGB(255, 255, 255)));
    dc->Ellipse(x, y + 2, x + h - 3, y + h - 2);
    if (i == chosen) {
      dc->SelectObject(plat::CBrush(RGB(0, 0, 0)));
      dc->Ellipse(x + 2, y + 4, x + h - 5, y + h - 4);
    }
    RECT clip{x + h, y, in.right, std::min<LONG>(y + h, in.bottom)};
    const int w = dc->GetTextExtent(text).cx;
    int tx = x + h + 3;
    if (align & SG_ALIGN_CENTER)
      tx = x + h + (in.right - x - h - w) / 2;
    else if (align & SG_ALIGN_RIGHT)
      tx = in.right - 3 - w;
    dc->SetBkColor(back);
    dc->ExtTextOut(tx, y, ETO_CLIPPED, &clip, text);
  }
  dc->RestoreDC(saved);
}

// ------------------------------------------------------------------ button

CSGButtonType::CSGButtonType() { m_canOverlap = 0; }

int CSGButtonType::OnLeftClick(int col, long row, int updn, RECT* rect, POINT* /*point*/) {
  if (updn) {
    m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_BUTTON_DOWN, 0);
    m_pressed = 1;
    m_pressedCol = col;
    m_pressedRow = row;
    m_buttonRect = *rect;
  } else {
    m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_BUTTON_UP, 0);
    if (col == m_pressedCol && row == m_pressedRow && m_pressed)
      m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_BUTTON_CLICK, 0);
    m_pressed = 0;
  }
  m_ctrl->RedrawCell(col, row);
  return 1;
}

int CSGButtonType::OnMouseMove(int col, long row, POINT* point, UINT flags) {
  if (!(flags & MK_LBUTTON)) return 0;
  const int inside = Inside(m_buttonRect, *point) ? 1 : 0;
  if (inside != m_pressed) {
    m_pressed = inside;
    m_ctrl->RedrawCell(col, row);
  }
  return inside;
}

int CSGButtonType::OnKeyDown(int /*col*/, long /*row*/, UINT* vcKey) {
  if (*vcKey != VK_RETURN) return 0;
  m_ctrl->OnCellTypeNotify(m_ID, m_ctrl->GetCurrentColumn(), m_ctrl->GetCurrentRow(),
                           SGN_BUTTON_CLICK, 0);
  return 1;
}

void CSGButtonType::OnCellFocusLost(int /*col*/, long /*row*/, CSGCell* /*cell*/) { m_pressed = 0; }

void CSGButtonType::OnDraw(CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
                           int current) {
  cell->SetBorderStyle(m_pressed && current ? 0x1000 : 0x2000);
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  DrawText(dc, &in, 0, col, row, cell, selected, current);
  if (cell->GetCellTypeStyle() & 0x10) {
    rect->right = rect->left;
    rect->bottom = rect->top;
  }
}

// ------------------------------------------------------------------ ellipsis

CSGEllipsisType::CSGEllipsisType()
    : m_btnWidth(SM_CXVSCROLL),
      m_facePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE)),
      m_faceBrush(GetSysColor(COLOR_BTNFACE)) {
  m_canOverlap = 0;
}

int CSGEllipsisType::OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) {
  if (updn) {
    if (point->x > rect->right - m_btnWidth) {
      m_pressedCol = col;
      m_pressedRow = row;
      m_buttonRect = RECT{rect->right - m_btnWidth, rect->top, rect->right, rect->bottom};
      m_pressed = 1;
      m_ctrl->RedrawCell(col, row);
      return 1;
    }
    m_pressedCol = -1;
    m_pressedRow = -1;
    return 0;
  }
  if (!m_pressed) return 0;
  m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_ELLIPSIS_CLICK, 0);
  m_pressed = 0;
  m_pressedCol = -1;
  m_pressedRow = -1;
  m_ctrl->RedrawCell(col, row);
  return 1;
}

int CSGEllipsisType::OnDoubleClick(int, long, RECT*, POINT*) { return 1; }

int CSGEllipsisType::OnMouseMove(int col, long row, POINT* point, UINT flags) {
  if (!(flags & MK_LBUTTON)) return 0;
  const int inside = Inside(m_buttonRect, *point) ? 1 : 0;
  if (inside != m_pressed) {
    m_pressed = inside;
    m_ctrl->RedrawCell(col, row);
  }
  return inside;
}

void CSGEllipsisType::OnDraw(CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
                             int current) {
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  RECT btn{in.right - m_btnWidth, in.top, in.right, in.bottom};
  RECT inside = Frame(this, dc, btn, !(m_pressed && current));
  dc->FillRect(inside, m_faceBrush);
  dc->SelectObject(m_facePen);
  Line(dc, btn.left - 1, in.top, btn.left - 1, in.bottom);
  dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  const int x0 = btn.left + (m_btnWidth - 7) / 2;
  const int y0 = in.top + 3 * ((in.bottom - in.top) / 4);
  for (int k = 0; k < 3; ++k) Line(dc, x0 + 3 * k, y0, x0 + 3 * k, y0 + 2);
  RECT text = in;
  text.right -= m_btnWidth + 1;
  if (text.right > text.left) DrawText(dc, &text, 0, col, row, cell, selected, current);
}

// ------------------------------------------------------------------ arrow

CSGArrowType::CSGArrowType() { m_canTextEdit = 0; }

void CSGArrowType::OnDraw(CDC* dc, RECT* rect, int /*col*/, long /*row*/, CSGCell* cell,
                          int selected, int current) {
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  dc->FillSolidRect(in, selected || current ? GetSysColor(COLOR_HIGHLIGHT) : cell->GetBackColor());
  if (in.right - in.left < 4) return;
  dc->SelectObject(plat::CPen(PS_SOLID, 1, cell->GetTextColor()));
  const int cx = (in.left + in.right) / 2, cy = (in.top + in.bottom) / 2;
  auto glyph = [&](int c, int dir) {  // dir 1 right, -1 left
    Line(dc, c - dir, cy - 3, c - dir, cy + 4);
    Line(dc, c, cy - 2, c, cy + 2);
    dc->LineTo(c + 2 * dir, cy);
    Line(dc, c + dir, cy - 1, c + dir, cy + 1);
  };
  const long style = cell->GetCellTypeStyle();
  if (style & 0x40) {
    glyph(cx - 3, 1);
    glyph(cx + 3, 1);
  } else if (style & 0x80) {
    glyph(cx - 3, -1);
    glyph(cx + 3, -1);
  } else if (style & 0x20) {
    glyph(cx, -1);
  } else {
    glyph(cx, 1);
  }
}

// ------------------------------------------------------------------ spin button

CSGSpinButtonType::CSGSpinButtonType()
    : m_btnWidth(SM_CXVSCROLL),
      m_facePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE)),
      m_faceBrush(GetSysColor(COLOR_BTNFACE)) {}

int CSGSpinButtonType::GetEditArea(RECT* rect) {
  rect->right -= m_btnWidth + 1;
  return 1;
}

int CSGSpinButtonType::OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) {
  if (updn) {
    if (point->x <= rect->right - m_btnWidth) return 0;
    m_pressedCol = col;
    m_pressedRow = row;
    const int mid = rect->top + (rect->bottom - rect->top) / 2;
    if (point->y >= mid) {
      m_pressedButton = 2;
      m_lowerPressed = 1;
      m_buttonRect = RECT{rect->right - m_btnWidth, mid, rect->right, rect->bottom};
      m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_SPIN_DOWN, 0);
    } else {
      m_pressedButton = 1;
      m_upperPressed = 1;
      m_buttonRect = RECT{rect->right - m_btnWidth, rect->top, rect->right, mid};
      m_ctrl->OnCellTypeNotify(m_ID, col, row, SGN_SPIN_UP, 0);
    }
    m_ctrl->RedrawCell(col, row);
    return 1;
  }
  if (!m_lowerPressed && !m_upperPressed) return 0;
  m_lowerPressed = m_upperPressed = 0;
  m_ctrl->RedrawCell(col, row);
  return 1;
}

int CSGSpinButtonType::OnDoubleClick(int col, long row, RECT* rect, POINT* point) {
  return OnLeftClick(col, row, 1, rect, point);
}

int CSGSpinButtonType::OnMouseMove(int col, long row, POINT* point, UINT flags) {
  const bool any = m_lowerPressed || m_upperPressed;
  if ((flags & MK_LBUTTON) && Inside(m_buttonRect, *point)) {
    if (!any && m_pressedButton) {
      (m_pressedButton == 2 ? m_lowerPressed : m_upperPressed) = 1;
      m_ctrl->RedrawCell(col, row);
    }
  } else if (any) {
    m_lowerPressed = m_upperPressed = 0;
    m_ctrl->RedrawCell(col, row);
  }
  return 0;
}

void CSGSpinButtonType::OnDraw(CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
                               int current) {
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  const int mid = in.top + (in.bottom - in.top) / 2;
  const int left = in.right - m_btnWidth;
  const RECT halves[2] = {{left, in.top, in.right, mid}, {left, mid, in.right, in.bottom}};
  const int pressed[2] = {m_upperPressed, m_lowerPressed};
  for (int k = 0; k < 2; ++k) {
    RECT inside = Frame(this, dc, halves[k], !(pressed[k] && current));
    dc->FillRect(inside, m_faceBrush);
    if (in.bottom - in.top > 9) {
      dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
      const int x0 = left + (m_btnWidth - 5) / 2;
      const int y0 = halves[k].top + (halves[k].bottom - halves[k].top - 3) / 2;
      sgtypes::Triangle(dc, x0, y0, k == 1);
    }
  }
  dc->SelectObject(m_facePen);
  Line(dc, left - 1, in.top, left - 1, in.bottom);
  RECT text = in;
  text.right -= m_btnWidth + 1;
  if (text.right > text.left) DrawText(dc, &text, 0, col, row, cell, selected, current);
}

// ------------------------------------------------------------------ slider

CSGSliderType::CSGSliderType()
    : m_lightPen(PS_SOLID, 1, RGB(200, 200, 200)), m_darkPen(PS_SOLID, 1, RGB(100, 100, 100)) {
  m_canTextEdit = 0;
}

int CSGSliderType::ValueOf(const CSGCell& cell) {
  const char* t = cell.GetText();
  if (!t) return 0;
  return static_cast<int>(std::clamp<long>(std::atol(t), 0, 100));
}

namespace {

// The thumb's left edge for the inner rectangle and the value.
int ThumbX(const RECT& in, int value) {
  const int w = in.right - in.left - 6;
  return in.left + w * value / 100;
}

}  // namespace

int CSGSliderType::OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) {
  if (updn) m_dragging = 0;
  CSGCell cell;
  m_ctrl->GetCellWithDefaults(col, row, &cell);
  const RECT in = sgtypes::InnerRect(this, *rect, &cell);
  const int x = ThumbX(in, ValueOf(cell));
  if (point->x > x - 1 && point->x < x + 7) {
    m_dragging = 1;
    return 1;
  }
  return 0;
}

int CSGSliderType::OnMouseMove(int col, long row, POINT* point, UINT flags) {
  if (!(flags & MK_LBUTTON) || !m_dragging) return 0;
  RECT r{};
  m_ctrl->GetCellRect(col, row, &r);
  CSGCell cell;
  m_ctrl->GetCell(col, row, &cell);
  const int width = r.right - r.left;
  if (width <= 6) return 1;
  const long dist = std::max<long>(0, point->x - r.left - 3);
  const int value = static_cast<int>(std::clamp<long>(dist * 100 / (width - 6), 0, 100));
  if (value != static_cast<int>(cell.GetNumber())) {
    cell.SetNumber(value);
    m_ctrl->SetCell(col, row, &cell);
    m_ctrl->RedrawCell(col, row);
  }
  return 1;
}

void CSGSliderType::OnDraw(CDC* dc, RECT* rect, int /*col*/, long /*row*/, CSGCell* cell,
                           int /*selected*/, int /*current*/) {
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  dc->FillSolidRect(in, cell->GetBackColor());
  if (in.right - in.left - 6 < 7) return;
  const int y = in.top + (in.bottom - in.top) / 2;
  const plat::CPen black = plat::CPen::Stock(BLACK_PEN);
  const plat::CPen white(PS_SOLID, 1, RGB(255, 255, 255));
  dc->SelectObject(black);
  Line(dc, in.left + 1, y - 1, in.right, y - 1);
  Line(dc, in.left + 1, y + 1, in.right, y + 1);
  dc->SelectObject(m_darkPen);
  Line(dc, in.left + 1, y, in.right, y);
  const int x = ThumbX(in, ValueOf(*cell));
  const int t = in.top, b = in.bottom;
  dc->SelectObject(black);
  const POINT outline[5] = {
      {x + 6, t + 2}, {x + 1, t + 2}, {x + 1, b - 2}, {x + 6, b - 2}, {x + 6, t + 2}};
  dc->Polyline(outline, 5);
  dc->SelectObject(white);
  const POINT lit[3] = {{x + 5, t + 3}, {x + 2, t + 3}, {x + 2, b - 3}};
  dc->Polyline(lit, 3);
  dc->SelectObject(m_darkPen);
  const POINT shade[3] = {{x + 2, b - 3}, {x + 5, b - 3}, {x + 5, t + 3}};
  dc->Polyline(shade, 3);
  dc->SelectObject(m_lightPen);
  const POINT inner[5] = {
      {x + 4, t + 4}, {x + 3, t + 4}, {x + 3, b - 4}, {x + 4, b - 4}, {x + 4, t + 4}};
  dc->Polyline(inner, 5);
}

// ------------------------------------------------------------------ drop list

CSGDropListType::CSGDropListType()
    : m_btnWidth(SM_CXVSCROLL),
      m_facePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE)),
      m_faceBrush(GetSysColor(COLOR_BTNFACE)) {
  m_canOverlap = 0;
  m_listBox = std::make_unique<CSGLstBox>();
}

CSGDropListType::~CSGDropListType() = default;

const unsigned char* CSGDropListType::GetTypeId() {
  static const unsigned char id[16] = {0x5d, 0x1a, 0x42, 0x70, 0x9b, 0x3e, 0x4c, 0x21,
                                       0x8f, 0x06, 0xa4, 0x11, 0x2c, 0x77, 0xe0, 0x03};
  return id;
}

int CSGDropListType::GetEditArea(RECT* rect) {
  rect->right -= m_btnWidth + 1;
  return 1;
}

int CSGDropListType::OnLeftClick(int col, long row, int updn, RECT* rect, POINT* point) {
  if (!updn) {
    if (!m_pressed) return 0;
    m_pressed = 0;
    m_ctrl->RedrawCell(col, row);
    return 1;
  }
  // A list closed a while ago (Escape, a click on another window) no longer holds back
  // the next click: only the click that closed it is not one to open it again.
  if (m_listCol == -2 && std::chrono::steady_clock::now() - m_closedAt >
                             std::chrono::milliseconds(kJustClosedMs))
    m_listCol = m_listRow = -1;
  if (point->x > rect->right - m_btnWidth) {
    if (!(col == m_listCol && row == m_listRow) && m_listCol != -2) {
      m_buttonRect = RECT{rect->right - m_btnWidth, rect->top, rect->right, rect->bottom};
      m_pressed = 1;
      m_listCol = col;
      m_listRow = row;
      m_ctrl->RedrawCell(col, row);
      ShowList();
      return 1;
    }
    // Closed first: a list that loses the focus marks itself as just closed.
    if (m_listBox->IsWindow()) m_listBox->Close();
    m_listCol = -1;
    m_listRow = -1;
    return 0;
  }
  if (m_listCol == -2) m_listCol = m_listRow = -1;
  return 0;
}

int CSGDropListType::OnDoubleClick(int col, long row, RECT* rect, POINT* point) {
  if (point->x > rect->right - m_btnWidth) return OnLeftClick(col, row, 1, rect, point);
  return 0;
}

int CSGDropListType::OnKeyDown(int /*col*/, long /*row*/, UINT* vcKey) {
  const bool ctrlDown = m_ctrl->m_CUGGrid && m_ctrl->m_CUGGrid->IsKeyDown(VK_CONTROL);
  if (*vcKey == VK_RETURN || (*vcKey == VK_DOWN && ctrlDown)) {
    ShowList();
    *vcKey = 0;
    return 1;
  }
  return 0;
}

int CSGDropListType::OnCharDown(int /*col*/, long /*row*/, UINT* vcKey) {
  return *vcKey == 13 || *vcKey == 40 ? 1 : 0;
}

int CSGDropListType::OnMouseMove(int col, long row, POINT* point, UINT flags) {
  if (!(flags & MK_LBUTTON)) return 1;
  const int inside = Inside(m_buttonRect, *point) ? 1 : 0;
  if (inside != m_pressed) {
    m_pressed = inside;
    m_ctrl->RedrawCell(col, row);
  }
  return 0;
}

void CSGDropListType::OnCellFocusLost(int /*col*/, long /*row*/, CSGCell* /*cell*/) {
  m_listCol = -1;
  m_listRow = -1;
}

int CSGDropListType::ShowList() {
  if (m_listBox->m_active) return 1;
  m_listCol = m_ctrl->GetCurrentColumn();
  m_listRow = m_ctrl->GetCurrentRow();
  CSGCell cell;
  m_ctrl->GetCellWithDefaults(m_listCol, m_listRow, &cell);
  std::vector<std::string> entries;
  const std::string label = cell.GetLabel() ? cell.GetLabel() : "";
  for (std::size_t start = 0, end; (end = label.find('\n', start)) != std::string::npos;
       start = end + 1)
    entries.push_back(label.substr(start, end - start));
  m_ctrl->OnCellTypeNotify(m_ID, m_listCol, m_listRow, SGN_DROPLIST_OPENING, Param(&entries));

  const plat::CFont* font = cell.GetFont() ? cell.GetFont() : m_ctrl->GetGridInfo()->m_defFont;
  int entryHeight = 12;
  if (font) entryHeight = std::abs(static_cast<int>(font->GetLogFont().lfHeight));
  const long n = std::min<long>(static_cast<long>(entries.size()), 15);
  RECT r{};
  m_ctrl->GetCellRect(m_listCol, m_listRow, &r);
  const RECT cellRect = r;
  r.left += 10;
  r.right += 10;
  r.top = cellRect.bottom;
  r.bottom = r.top + (n + 1) * entryHeight + 2;
  const RECT client = m_ctrl->m_CUGGrid->GetClientRect();
  if (r.bottom > client.bottom) {
    const LONG d = std::min(r.bottom - client.bottom, r.top);
    r.top -= d;
    r.bottom -= d;
  }
  if (r.right > client.right) {
    const LONG d = std::min(r.right - client.right, r.left);
    r.left -= d;
    r.right -= d;
  }
  CSGLstBox& box = *m_listBox;
  box.m_ctrl = m_ctrl;
  box.m_typeIndex = m_ID;
  if (box.IsWindow()) box.DestroyWnd();
  if (m_ctrl->m_CUGGrid->System())
    box.CreateWnd(*m_ctrl->m_CUGGrid->System(), SGWindowKind::ListBox, m_ctrl->m_CUGGrid->Port(),
                  nullptr, r, SG_ID_EDIT);
  box.m_font = font;
  box.m_rect = r;
  box.m_items = entries;
  // The list opens at the cell's present choice.
  const std::string current = cell.GetText() ? cell.GetText() : "";
  const auto found = std::find(entries.begin(), entries.end(), current);
  box.m_curSel = found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
  box.m_listCol = &m_listCol;
  box.m_listRow = &m_listRow;
  box.m_closedAt = &m_closedAt;
  if (box.Port()) {
    box.Port()->SetFont(font);
    box.MoveWindow(r);
    box.Port()->SetItems(entries);
    box.Port()->SetCurSel(box.m_curSel);
    box.Port()->ShowWindow(true);
  }
  box.SetFocus();
  m_pressed = 0;
  m_ctrl->RedrawCell(m_listCol, m_listRow);
  return 0;
}

void CSGDropListType::OnDraw(CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
                             int current) {
  if ((cell->GetCellTypeStyle() & 0x200) && !current) {
    CSGCellType::OnDraw(dc, rect, col, row, cell, selected, current);
    return;
  }
  RECT in = *rect;
  DrawBorder(dc, rect, &in, cell);
  RECT btn{in.right - m_btnWidth, in.top, in.right, in.bottom};
  RECT inside = Frame(this, dc, btn, !(m_pressed && current));
  dc->FillRect(inside, m_faceBrush);
  dc->SelectObject(m_facePen);
  Line(dc, btn.left - 1, in.top, btn.left - 1, in.bottom);
  dc->SelectObject(plat::CPen::Stock(BLACK_PEN));
  sgtypes::Triangle(dc, btn.left + (m_btnWidth - 5) / 2, in.top + (in.bottom - in.top - 3) / 2,
                    true);
  RECT text = in;
  text.right -= m_btnWidth + 1;
  if (text.right > text.left) DrawText(dc, &text, 0, col, row, cell, selected, current);
}
