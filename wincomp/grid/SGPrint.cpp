#include "wincomp/grid/SGPrint.h"

#include <algorithm>
#include <vector>

#include "wincomp/grid/SGCtrl.h"

CSGPrintJob::~CSGPrintJob() {
  while (m_firstPage) {
    CSGPrintPage* next = m_firstPage->next;
    delete m_firstPage;
    m_firstPage = next;
  }
}

int CSGPrintJob::AddPage(int page, int startCol, int endCol, long startRow, long endRow) {
  CSGPrintPage** link = &m_firstPage;
  for (; *link; link = &(*link)->next)
    if ((*link)->page == page) break;
  if (!*link) *link = new CSGPrintPage;
  CSGPrintPage& p = **link;
  p.page = page;
  p.startCol = startCol;
  p.endCol = endCol;
  p.startRow = static_cast<int>(startRow);
  p.endRow = static_cast<int>(endRow);
  return 1;
}

int CSGPrintJob::GetPage(int page, int* startCol, int* endCol, long* startRow, long* endRow) const {
  for (const CSGPrintPage* p = m_firstPage; p; p = p->next) {
    if (p->page != page) continue;
    *startCol = p->startCol;
    *endCol = p->endCol;
    *startRow = p->startRow;
    *endRow = p->endRow;
    return 1;
  }
  return 0;
}

int CSGPrintJob::PrintInit(plat::CDC* dc, void* /*dialog*/, int sc, long sr, int ec, long er) {
  m_pageCols = 0;
  m_pageRows = 0;
  if (!dc || !m_ctrl) return 0;
  const float horzSize = static_cast<float>(dc->GetDeviceCaps(HORZSIZE));
  const float vertSize = static_cast<float>(dc->GetDeviceCaps(VERTSIZE));
  const float horzRes = static_cast<float>(dc->GetDeviceCaps(HORZRES));
  const float vertRes = static_cast<float>(dc->GetDeviceCaps(VERTRES));
  const float w = horzSize - static_cast<float>(m_leftMargin + m_rightMargin);
  const float h = vertSize - static_cast<float>(m_topMargin + m_bottomMargin);
  // A printer without a paper size, or margins that leave nothing, cannot take a page.
  if (horzSize <= 0 || vertSize <= 0 || horzRes <= 0 || vertRes <= 0 || w <= 0 || h <= 0) return 0;
  const int cw = static_cast<int>(3.79f * w);
  const int ch = static_cast<int>(3.78f * h);
  if (cw <= 0 || ch <= 0) return 0;
  const float px = horzRes / horzSize;
  const float py = vertRes / vertSize;
  m_hScale = w * px / static_cast<float>(cw);
  m_vScale = h * py / static_cast<float>(ch);
  m_leftOffset = static_cast<int>(static_cast<float>(m_leftMargin) * px);
  m_topOffset = static_cast<int>(static_cast<float>(m_topMargin) * py);

  long running = 0;
  int bandStart = sc;
  for (int c = sc; c <= ec; ++c) {
    int width = 0;
    m_ctrl->QueryColumnWidth(c, &width);
    running += width;
    if (running > cw) {
      ++m_pageCols;
      running = 0;
      // A column narrower than a page begins the next band; a wider one closes this.
      if (width < cw && c > bandStart) --c;
      AddPage(m_pageCols, bandStart, c, 0, 0);
      bandStart = c + 1;
    }
  }
  if (running > 0) {
    ++m_pageCols;
    AddPage(m_pageCols, bandStart, ec, 0, 0);
  }

  auto closeRowBand = [&](long from, long to) {
    ++m_pageRows;
    for (int k = 1; k <= m_pageCols; ++k) {
      int c0 = 0, c1 = 0;
      long r0 = 0, r1 = 0;
      GetPage(k, &c0, &c1, &r0, &r1);
      AddPage((m_pageRows - 1) * m_pageCols + k, c0, c1, from, to);
    }
  };
  running = 0;
  long rowStart = sr;
  for (long r = sr; r <= er; ++r) {
    int height = 0;
    m_ctrl->QueryRowHeight(r, &height);
    running += height;
    if (running > ch) {
      running = 0;
      if (height < ch && r > rowStart) --r;
      closeRowBand(rowStart, r);
      rowStart = r + 1;
    }
  }
  if (running > 0) closeRowBand(rowStart, er);
  return m_pageRows * m_pageCols;
}

int CSGPrintJob::PrintCell(plat::CDC* dc, RECT* rect, int col, long row) {
  CSGCell cell;
  m_ctrl->GetCellWithDefaults(col, row, &cell);
  const int index = cell.IsPropertySet(SGCELL_CELLTYPE) ? cell.GetCellType() : -1;
  CSGCellType* type = m_ctrl->GetCellTypeByIndex(index);
  const int saved = dc->SaveDC();
  type->OnPrint(dc, rect, col, row, &cell);
  dc->RestoreDC(saved);
  return 0;
}

void CSGPrintJob::PrintJoinedBlock(plat::CDC* dc, RECT rect, int col, long row, int pageEndCol,
                                   long pageEndRow, int sc, long sr, int ec, long er) {
  const int lastCol = std::min(ec, pageEndCol);
  const long lastRow = std::min(er, pageEndRow);
  for (int c = col + 1; c <= lastCol; ++c) {
    int w = 0;
    m_ctrl->QueryColumnWidth(c, &w);
    rect.right += static_cast<int>(static_cast<float>(w) * m_hScale);
  }
  for (long r = row + 1; r <= lastRow; ++r) {
    int h = 0;
    m_ctrl->QueryRowHeight(r, &h);
    rect.bottom += static_cast<int>(static_cast<float>(h) * m_vScale);
  }
  if (col == sc && row == sr && lastCol == ec && lastRow == er) {
    PrintCell(dc, &rect, col, row);  // the whole block is on this page
    return;
  }
  // Put the start cell, joined to the part on this page, at this position for the print;
  // afterwards every cell of that part is stored back exactly as it was.
  std::vector<CSGCell> saved;
  for (long r = row; r <= lastRow; ++r)
    for (int c = col; c <= lastCol; ++c) {
      saved.emplace_back();
      m_ctrl->GetCell(c, r, &saved.back());
    }
  CSGCell start;
  m_ctrl->GetCell(sc, sr, &start);
  m_ctrl->SetCell(col, row, &start);
  m_ctrl->JoinCells(col, row, lastCol, lastRow);
  PrintCell(dc, &rect, col, row);
  std::size_t k = 0;
  for (long r = row; r <= lastRow; ++r)
    for (int c = col; c <= lastCol; ++c) m_ctrl->SetCell(c, r, &saved[k++]);
}

int CSGPrintJob::PrintPage(plat::CDC* dc, int page) {
  int pc0 = 0, pc1 = 0;
  long pr0 = 0, pr1 = 0;
  if (!dc || !m_ctrl || GetPage(page, &pc0, &pc1, &pr0, &pr1) != 1) return 0;
  CSGGridInfo* gi = m_ctrl->GetGridInfo();
  int y = m_topOffset;
  for (long r = pr0; r <= pr1; ++r) {
    int rh = 0;
    m_ctrl->QueryRowHeight(r, &rh);
    const int y0 = y;
    y += static_cast<int>(static_cast<float>(rh) * m_vScale);
    if (y == y0) continue;
    int x = m_leftOffset;
    for (int c = pc0; c <= pc1; ++c) {
      int cw = 0;
      m_ctrl->QueryColumnWidth(c, &cw);
      const int x0 = x;
      x += static_cast<int>(static_cast<float>(cw) * m_hScale);
      if (x == x0) continue;
      RECT rect{x0, y0, x, y};
      int jc = c;
      long jr = r;
      if (!gi->m_enableJoins || m_ctrl->GetJoinStart(&jc, &jr) != 0) {
        PrintCell(dc, &rect, c, r);
      } else {
        int sc = c, ec = c;
        long sr = r, er = r;
        m_ctrl->GetJoinRange(&sc, &sr, &ec, &er);
        const bool first = (c == sc && r == sr) || (r == pr0 && c == sc) || (c == pc0 && r == sr) ||
                           (c == pc0 && r == pr0);
        if (first) PrintJoinedBlock(dc, rect, c, r, pc1, pr1, sc, sr, ec, er);
      }
      if (m_frame) {
        if (r == pr0) {
          dc->MoveTo(x0, y0);
          dc->LineTo(x + 1, y0);
        } else if (r == pr1) {
          dc->MoveTo(x0, y);
          dc->LineTo(x + 1, y);
        }
        if (c == pc0) {
          dc->MoveTo(x0, y0);
          dc->LineTo(x0, y + 1);
        } else if (c == pc1) {
          dc->MoveTo(x, y0);
          dc->LineTo(x, y + 1);
        }
      }
    }
  }
  return 0;
}
