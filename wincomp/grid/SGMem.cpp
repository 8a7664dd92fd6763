#include <algorithm>

#include "wincomp/grid/SGCtrl.h"
#include "wincomp/grid/SGDataSource.h"
#include "wincomp/grid/SGGridInfo.h"

CSGMem::~CSGMem() { Empty(); }

CSGCell* CSGMem::Row::At(int col) const {
  long i = static_cast<long>(col) - origin;
  if (i < 0 || i >= static_cast<long>(cells.size())) return nullptr;
  return cells[i].get();
}

CSGMem::Row* CSGMem::FindRow(int row) const {
  long i = static_cast<long>(row) - rowOrigin_;
  if (i < 0 || i >= static_cast<long>(rows_.size())) return nullptr;
  return rows_[i].get();
}

int CSGMem::GetCell(int col, int row, CSGCell* cell) {
  Row* r = FindRow(row);
  CSGCell* stored = r ? r->At(col) : nullptr;
  if (!stored) return 1;
  if (cell) stored->AddInfoTo(*cell);
  return 0;
}

int CSGMem::SetCell(int col, int row, CSGCell* cell) {
  // Rows and cells are created on the way, in either direction: lists have no gaps.
  if (rows_.empty()) {
    rows_.push_back(std::make_unique<Row>());
    rowOrigin_ = row;
  }
  while (row < rowOrigin_) {
    rows_.push_front(std::make_unique<Row>());
    --rowOrigin_;
  }
  while (static_cast<long>(row) - rowOrigin_ >= static_cast<long>(rows_.size()))
    rows_.push_back(std::make_unique<Row>());
  Row& r = *rows_[static_cast<long>(row) - rowOrigin_];
  if (r.cells.empty()) {
    r.cells.emplace_back();
    r.origin = col;
  }
  while (col < r.origin) {
    r.cells.emplace_front();
    --r.origin;
  }
  while (static_cast<long>(col) - r.origin >= static_cast<long>(r.cells.size()))
    r.cells.emplace_back();
  auto& slot = r.cells[static_cast<long>(col) - r.origin];
  if (!slot) slot = std::make_unique<CSGCell>();
  if (cell) cell->CopyInfoTo(*slot);
  return 0;
}

int CSGMem::Empty() {
  rows_.clear();
  rowOrigin_ = 0;
  return -1;
}

int CSGMem::InsertRow(int row) {
  // Rows before the first stored one exist as empty rows: the stored ones move down.
  if (!rows_.empty() && row < rowOrigin_) {
    ++rowOrigin_;
    return 0;
  }
  if (!FindRow(row)) return 0;
  rows_.insert(rows_.begin() + (static_cast<long>(row) - rowOrigin_), std::make_unique<Row>());
  return 0;
}

int CSGMem::DeleteRow(int row) {
  if (!rows_.empty() && row < rowOrigin_) {
    --rowOrigin_;
    return 0;
  }
  if (!FindRow(row)) return 0;
  rows_.erase(rows_.begin() + (static_cast<long>(row) - rowOrigin_));
  if (rows_.empty()) rowOrigin_ = 0;
  return 0;
}

int CSGMem::InsertColumn(int col) {
  if (rows_.empty()) return 1;
  CSGGridInfo* gi = m_grid ? m_grid->GetGridInfo() : nullptr;
  int at = col;
  if (gi && gi->m_numberCols >= 1) {
    for (const CSGColInfo& ci : gi->m_colInfo)
      if (ci.sourceColIndex == col) {
        at = ci.sourceColIndex;
        break;
      }
  }
  for (auto& r : rows_) {
    long i = static_cast<long>(at) - r->origin;
    if (i < 0) {
      ++r->origin;  // the whole row lies right of the insertion point
    } else if (i < static_cast<long>(r->cells.size())) {
      r->cells.insert(r->cells.begin() + i, nullptr);
    }
  }
  if (gi)
    for (CSGColInfo& ci : gi->m_colInfo)
      if (ci.sourceColIndex >= at) ++ci.sourceColIndex;
  return 0;
}

int CSGMem::DeleteColumn(int col) {
  if (rows_.empty()) return 1;
  for (auto& r : rows_) {
    long i = static_cast<long>(col) - r->origin;
    if (i < 0) {
      --r->origin;  // the cells right of the deleted column move left
    } else if (i < static_cast<long>(r->cells.size())) {
      if (i == static_cast<long>(r->cells.size()) - 1)
        r->cells[i].reset();
      else
        r->cells.erase(r->cells.begin() + i);
    }
  }
  CSGGridInfo* gi = m_grid ? m_grid->GetGridInfo() : nullptr;
  if (gi)
    for (CSGColInfo& ci : gi->m_colInfo)
      if (ci.sourceColIndex >= col) --ci.sourceColIndex;
  return 0;
}

int CSGMem::DeleteCell(int col, int row) {
  Row* r = FindRow(row);
  if (!r) return 1;
  long i = static_cast<long>(col) - r->origin;
  if (i < 0 || i >= static_cast<long>(r->cells.size())) return 1;
  r->cells[i].reset();
  return 0;
}

int CSGMem::GetPrevNonBlankColumn(int* col, int row) {
  Row* r = FindRow(row);
  if (!r || !col) return 1;
  long i =
      std::min<long>(static_cast<long>(*col) - r->origin, static_cast<long>(r->cells.size())) - 1;
  for (; i >= 0; --i) {
    const CSGCell* c = r->cells[i].get();
    if (c && c->GetTextLength() > 0) {
      *col = static_cast<int>(i + r->origin);
      return 0;
    }
  }
  return 1;
}
