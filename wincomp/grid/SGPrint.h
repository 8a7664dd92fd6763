// Prints a range of a sheet's data cells over as many printer pages as it needs: the
// columns and rows are cut into bands that fit the printable area, pages run across
// first, then down, and each cell is drawn by its type at the printer's scale.
#pragma once
#include "platform/CDC.h"

class CSGCtrl;
class CSGGridInfo;

struct CSGPrintPage {
  int page = 0;
  int startCol = 0, endCol = 0;
  int startRow = 0, endRow = 0;
  CSGPrintPage* next = nullptr;
};

class CSGPrintJob {
 public:
  CSGPrintJob() = default;
  ~CSGPrintJob();
  CSGPrintJob(const CSGPrintJob&) = delete;
  CSGPrintJob& operator=(const CSGPrintJob&) = delete;

  int PrintInit(plat::CDC* dc, void* dialog, int startCol, long startRow, int endCol, long endRow);
  int PrintPage(plat::CDC* dc, int page);
  int PrintCell(plat::CDC* dc, RECT* rect, int col, long row);
  int AddPage(int page, int startCol, int endCol, long startRow, long endRow);
  int GetPage(int page, int* startCol, int* endCol, long* startRow, long* endRow) const;

  CSGPrintPage* m_firstPage = nullptr;
  int m_pageCols = 0;
  int m_pageRows = 0;
  float m_vScale = 0;
  float m_hScale = 0;
  int m_leftOffset = 0;
  int m_topOffset = 0;
  int m_leftMargin = 25, m_topMargin = 25, m_rightMargin = 25, m_bottomMargin = 25;
  int m_frame = 1;
  CSGCtrl* m_ctrl = nullptr;
  CSGGridInfo* m_GI = nullptr;

 private:
  void PrintJoinedBlock(plat::CDC* dc, RECT rect, int col, long row, int pageEndCol,
                        long pageEndRow, int sc, long sr, int ec, long er);
};
