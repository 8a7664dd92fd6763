#include "wincomp/grid/SGCellType.h"

#include <algorithm>
#include <vector>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDefs.h"
#include "wincomp/grid/SGGridInfo.h"

using plat::CDC;

namespace {

// A line of the border from (x1, y1) to (x2, y2), the end point left out as LineTo does.
// A horizontal or vertical line of a solid one-pixel pen covers exactly the pixels of a
// one-pixel-wide rectangle, which a device fills much faster than it strokes a line.
void BorderLine(CDC* dc, const plat::CPen& pen, int x1, int y1, int x2, int y2) {
  const bool plain = pen.Style() == PS_SOLID && pen.Width() <= 1 && dc->GetMapMode() == MM_TEXT;
  if (plain && (x1 == x2 || y1 == y2)) {
    RECT r{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    // The end point is left out; a backward line starts one pixel further in.
    if (x1 == x2) {
      r.right = r.left + 1;
      if (y2 < y1) r.top += 1, r.bottom += 1;
    } else {
      r.bottom = r.top + 1;
      if (x2 < x1) r.left += 1, r.right += 1;
    }
    if (r.right > r.left && r.bottom > r.top) dc->FillRect(r, plat::CBrush(pen.Color()));
    return;
  }
  plat::CPen old = dc->SelectObject(pen);
  dc->MoveTo(x1, y1);
  dc->LineTo(x2, y2);
  dc->SelectObject(old);
}

}  // namespace

const unsigned char* CSGCellType::GetTypeId() {
  static const unsigned char id[16] = {0x5d, 0x1a, 0x42, 0x70, 0x9b, 0x3e, 0x4c, 0x21,
                                       0x8f, 0x06, 0xa4, 0x11, 0x2c, 0x77, 0xe0, 0x01};
  return id;
}

int CSGCellType::SetTextEditMode(int mode) {
  m_canTextEdit = mode != 0;
  return 0;
}

int CSGCellType::CanOverlap(CSGCell* cell) const {
  if (cell && (cell->GetCellTypeStyle() != 0 || cell->IsPropertySet(SGCELL_JOININFO))) return 0;
  return m_canOverlap;
}

void CSGCellType::OnDraw(CDC* dc, RECT* rect, int col, long row, CSGCell* cell, int selected,
                         int current) {
  CSGGridInfo* gi = m_ctrl ? m_ctrl->GetGridInfo() : nullptr;
  if (gi && gi->m_enableCellOverLap && cell->GetCellTypeStyle() == 0 &&
      !cell->IsPropertySet(SGCELL_JOININFO) && m_canOverlap && cell->GetTextLength() == 0) {
    int srcCol = 0;
    CSGCell src;
    int offset = FindOverlapSource(dc, col, row, &srcCol, &src);
    if (offset != 0) {
      RECT inner = *rect;
      DrawBorder(dc, rect, &inner, cell);
      DrawText(dc, &inner, offset, srcCol, row, &src, selected, current);
      return;
    }
  }
  RECT inner = *rect;
  DrawBorder(dc, rect, &inner, cell);
  DrawText(dc, &inner, 0, col, row, cell, selected, current);
}

int CSGCellType::FindOverlapSource(CDC* dc, int col, long row, int* sourceCol, CSGCell* cell) {
  CSGGridInfo* gi = m_ctrl ? m_ctrl->GetGridInfo() : nullptr;
  if (!gi || !gi->m_enableCellOverLap || !gi->m_defDataSource) return 0;
  int src = col;
  if (gi->m_defDataSource->GetPrevNonBlankColumn(&src, static_cast<int>(row)) != 0) return 0;
  // Text spills over from cells of the sheet only, never from a side heading.
  if (src < 0 || src >= col) return 0;
  m_ctrl->GetCellWithDefaults(src, static_cast<int>(row), cell);
  plat::CFont oldFont = dc->GetCurrentFont();
  if (cell->GetFont()) dc->SelectObject(*cell->GetFont());
  const char* text = cell->GetText();
  int needed = dc->GetTextExtent(text ? text : "").cx + gi->m_textMargin;
  if (cell->GetFont()) dc->SelectObject(oldFont);
  if (needed <= m_ctrl->GetColumnWidth(src)) return 0;
  CSGCellType* srcType = m_ctrl->GetCellTypeByIndex(cell->GetCellType());
  if (!srcType->CanOverlap(cell)) return 0;
  // Sum the columns from the source towards this one; a text that ends before this
  // column does not reach it.
  long sum = 0;
  for (int c = src; c < col; ++c) {
    sum += std::max(0, m_ctrl->GetColumnWidth(c));
    if (sum > needed) return 0;
  }
  *sourceCol = src;
  return -static_cast<int>(sum);
}

void CSGCellType::DrawBorder(CDC* dc, RECT* rect, RECT* rectOut, CSGCell* cell) {
  CSGGridInfo* gi = m_ctrl ? m_ctrl->GetGridInfo() : nullptr;
  const int style = static_cast<unsigned short>(cell ? cell->GetBorderStyle() : 0);
  const bool gridLines = gi && gi->m_showGridLines && !(style & 0x3000);
  const RECT r = *rect;
  RECT in = r;
  plat::CPen linePen = gi ? gi->m_gridLinePen : plat::CPen(PS_SOLID, 1, RGB(220, 220, 220));
  if (cell && cell->GetBorderPen()) linePen = *cell->GetBorderPen();
  auto lines = [&](int thin, int medium, int thick, bool grid) {
    if (style & thick) return 3;
    if (style & medium) return 2;
    if ((style & thin) || grid) return 1;
    return 0;
  };
  int n = lines(0x1, 0x10, 0x100, false);
  for (int i = 0; i < n; ++i) BorderLine(dc, linePen, r.left + i, r.top, r.left + i, r.bottom);
  in.left += n;
  n = lines(0x2, 0x20, 0x200, false);
  for (int i = 0; i < n; ++i) BorderLine(dc, linePen, r.left, r.top + i, r.right, r.top + i);
  in.top += n;
  n = lines(0x4, 0x40, 0x400, gridLines);
  for (int i = 0; i < n; ++i)
    BorderLine(dc, linePen, r.right - 1 - i, r.top, r.right - 1 - i, r.bottom);
  in.right -= n;
  n = lines(0x8, 0x80, 0x800, gridLines);
  for (int i = 0; i < n; ++i)
    BorderLine(dc, linePen, r.left, r.bottom - 1 - i, r.right, r.bottom - 1 - i);
  in.bottom -= n;

  if (style & 0x3000) {
    const bool raised = (style & 0x2000) != 0;
    const int depth = gi ? gi->m_threeDHeight : 1;
    const plat::CPen& light = raised ? m_ctrl->m_whitePen : m_ctrl->m_shadowPen;
    const plat::CPen& dark = raised ? m_ctrl->m_shadowPen : m_ctrl->m_whitePen;
    for (int i = 0; i < depth; ++i) {
      BorderLine(dc, light, r.left + i, r.bottom - i - 1, r.left + i, r.top + i);
      BorderLine(dc, light, r.left + i, r.top + i, r.right - i - 1, r.top + i);
      BorderLine(dc, dark, r.right - i - 1, r.top + i, r.right - i - 1, r.bottom - i - 1);
      BorderLine(dc, dark, r.right - i - 1, r.bottom - i - 1, r.left + i, r.bottom - i - 1);
    }
    in = RECT{r.left + depth, r.top + depth, r.right - depth, r.bottom - depth};
  }
  if (rectOut) *rectOut = in;
}

void CSGCellType::DrawText(CDC* dc, RECT* rect, int offset, int /*col*/, long /*row*/,
                           CSGCell* cell, int selected, int /*current*/) {
  CSGGridInfo* gi = m_ctrl ? m_ctrl->GetGridInfo() : nullptr;
  const int margin = gi ? gi->m_textMargin : 4;
  const long style = cell->GetCellTypeStyle();
  const char* chosen =
      (m_drawLabelText || style == SGCT_LABELTEXT) ? cell->GetLabel() : cell->GetText();
  const std::string text = chosen ? chosen : "";
  plat::CFont oldFont = dc->GetCurrentFont();
  if (cell->GetFont()) dc->SelectObject(*cell->GetFont());
  if (selected) {
    dc->SetTextColor(sgw::GetSysColor(sgw::COLOR_HIGHLIGHTTEXT));
    dc->SetBkColor(sgw::GetSysColor(sgw::COLOR_HIGHLIGHT));
  } else {
    dc->SetTextColor(cell->GetTextColor());
    dc->SetBkColor(cell->GetBackColor());
  }
  RECT r = *rect;
  const int align = cell->GetAlignment();
  // The extent is only needed to place a text that is not at the left and top, or to
  // decide on the ellipsis; measuring costs a font lookup per cell.
  const bool measure =
      (align & (SG_ALIGN_CENTER | SG_ALIGN_RIGHT | SG_ALIGN_VCENTER | SG_ALIGN_BOTTOM)) ||
      ((style & SGCT_ELLIPSIS) && !(style & SGCT_MULTILINE));
  const SIZE ext = measure ? dc->GetTextExtent(text) : SIZE{};
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  int x, y;
  if (align & SG_ALIGN_CENTER)
    x = r.left + (width - ext.cx) / 2;
  else if (align & SG_ALIGN_RIGHT)
    x = r.right - margin - ext.cx;
  else
    x = r.left + margin + offset;
  if (align & SG_ALIGN_VCENTER)
    y = r.top + (height - ext.cy) / 2;
  else if (align & SG_ALIGN_BOTTOM)
    y = r.bottom - ext.cy - 1;
  else
    y = r.top + 1;
  if (offset < 0) r.left -= 1;  // the spilt text runs on over the grid line

  if (style & SGCT_MULTILINE) {
    dc->ExtTextOut(r.left, r.top, ETO_OPAQUE, &r, "");
    RECT t = r;
    UINT fmt = DT_WORDBREAK | DT_NOPREFIX;
    if (align & SG_ALIGN_CENTER) {
      fmt |= DT_CENTER;
    } else if (align & SG_ALIGN_RIGHT) {
      fmt |= DT_RIGHT;
      t.right -= 2;
    } else if (align & SG_ALIGN_LEFT) {
      t.left += 2;
    }
    dc->DrawText(text, &t, fmt);
  } else if ((style & SGCT_ELLIPSIS) && ext.cx + 6 > width) {
    const int w = dc->GetTextExtent("...").cx;
    RECT t = r;
    t.right -= w + 3;
    if (t.right > t.left) dc->ExtTextOut(r.left + 3, y, ETO_OPAQUE | ETO_CLIPPED, &t, text);
    RECT box = r;
    box.left = std::max<LONG>(t.right, rect->left + 1);
    box.right = box.left + w + 3;
    dc->ExtTextOut(box.left + 1, y, ETO_OPAQUE | ETO_CLIPPED, &box, "...");
  } else {
    // The opaque rectangle already fills the background behind the glyphs.
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    // The characters' own advances as spacing: what the device would use, without
    // measuring the whole text once more for every cell drawn.
    std::vector<int> advances(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
      advances[i] = dc->GetTextExtent(std::string(1, text[i])).cx;
    dc->ExtTextOut(x, y, ETO_OPAQUE | ETO_CLIPPED, &r, text,
                   advances.empty() ? nullptr : advances.data());
    dc->SetBkMode(oldMode);
  }
  if (cell->GetFont()) dc->SelectObject(oldFont);
}

void CSGCellType::OnPrint(CDC* dc, RECT* rect, int col, long row, CSGCell* cell) {
  CSGGridInfo* gi = m_ctrl ? m_ctrl->GetGridInfo() : nullptr;
  if (!gi) return;
  int gridHeight = 0;
  if (row >= 0)
    gridHeight = m_ctrl->GetRowHeight(static_cast<int>(row));
  else if (-row - 1 < static_cast<long>(gi->m_topHdgHeights.size()))
    gridHeight = gi->m_topHdgHeights[-row - 1];
  double scale = gridHeight > 0 ? double(rect->bottom - rect->top) / gridHeight : 1.0;
  short origin = 0;
  int colOff = 0, rowOff = 0;
  if (cell->GetJoinInfo(&origin, &colOff, &rowOff) == 0 && origin && rowOff > 0)
    scale /= rowOff + 1;
  plat::CFont base = cell->GetFont() ? *cell->GetFont()
                     : gi->m_defFont ? *gi->m_defFont
                                     : dc->GetCurrentFont();
  LOGFONT lf = base.GetLogFont();
  lf.lfHeight = static_cast<LONG>(lf.lfHeight * scale);
  plat::CFont scaled;
  scaled.CreateFontIndirect(lf);
  const bool hadFont = cell->IsPropertySet(SGCELL_FONT);
  const plat::CFont* cellFont = cell->GetFont();
  plat::CFont old = dc->SelectObject(scaled);
  cell->SetFont(&scaled);
  OnDraw(dc, rect, col, row, cell, 0, 0);
  dc->SelectObject(old);
  // The scaled font ends here: the cell must not keep pointing at it.
  if (hadFont)
    cell->SetFont(cellFont);
  else
    cell->SetPropertyMask(cell->GetPropertyMask() & ~SGCELL_FONT);
}

SIZE* CSGCellType::GetBestSize(CDC* dc, SIZE* size, CSGCell* cell) {
  CSGGridInfo* gi = m_ctrl ? m_ctrl->GetGridInfo() : nullptr;
  plat::CFont old = dc->GetCurrentFont();
  if (cell->GetFont())
    dc->SelectObject(*cell->GetFont());
  else if (gi && gi->m_defFont)
    dc->SelectObject(*gi->m_defFont);
  const char* text = cell->GetText();
  if (!text || !*text) {
    size->cx = 9;
    size->cy = 5;
  } else {
    SIZE ext = dc->GetTextExtent(text);
    size->cx = ext.cx + 6;
    size->cy = ext.cy + 2;
  }
  dc->SelectObject(old);
  return size;
}
