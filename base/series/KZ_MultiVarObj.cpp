#include "base/series/KZ_MultiVarObj.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/numerics/KZ_FFT.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

KZ_MultiVarObj::~KZ_MultiVarObj() { KZ_FreeMatrix(m_ppMatrix); }

void KZ_CopyColumnSettings(KZ_Var1D& to, const KZ_Var1D& from) {
  to.m_nCount = from.m_nCount;
  to.m_nComponents = from.m_nComponents;
  to.m_dMin = from.m_dMin;
  to.m_dMax = from.m_dMax;
  to.m_dScale = from.m_dScale;
  to.m_strTitle = from.m_strTitle;
  to.m_strUnit = from.m_strUnit;
  to.m_nLog = from.m_nLog;
  to.m_fPlotMin = from.m_fPlotMin;
  to.m_fPlotMax = from.m_fPlotMax;
  to.m_fPlotSpan = from.m_fPlotSpan;
  for (int k = 0; k < 3; ++k) to.m_nPlot[k] = from.m_nPlot[k];
  to.m_nAxisFlags = from.m_nAxisFlags;
  to.m_fLevel = from.m_fLevel;
}

void KZ_MultiVarObj::SetSize(int a, int b) {
  a = std::max(a, 0);
  b = std::max(b, 0);
  if (a != m_nColumnCapacity || b != m_nRowCapacity) {
    const long long have = static_cast<long long>(m_nColumnCapacity) * m_nRowCapacity;
    if (static_cast<long long>(a) * b <= have) {
      if (a > m_nColumnCapacity) {
        m_nRowCapacity = static_cast<int>(have / a);
        m_nColumnCapacity = a;
      } else if (b > m_nRowCapacity) {
        m_nColumnCapacity = static_cast<int>(have / b);
        m_nRowCapacity = b;
      }
    } else {
      const int nr = std::max(b, 100), nc = std::max(a, 3);
      std::vector<double> block(static_cast<std::size_t>(nc) * nr, 0.0);
      m_Block.swap(block);
      m_nRowCapacity = nr;
      m_nColumnCapacity = nc;
      m_nRows = 0;
    }
    m_nRows = std::min(m_nRows, m_nRowCapacity);
    if (a > 0 || b > 0) {
      const int nc = m_nColumnCapacity, nr = m_nRowCapacity;
      m_HValues.assign(static_cast<std::size_t>(nc), 0.0);
      m_pHVar = std::make_unique<KZ_Var1D>();
      m_pHVar->Attach("", "", m_HValues.data(), nullptr, nc, 0, 1, -1, 1, 0, 0);
      m_ppData.assign(static_cast<std::size_t>(nc), nullptr);
      m_Columns.assign(static_cast<std::size_t>(nc), KZ_Var1D());
      for (int i = 0; i < nc; ++i) {
        m_ppData[i] = m_Block.data() + static_cast<std::size_t>(i) * nr;
        m_Columns[i].Attach("Null", "", m_ppData[i], nullptr, nr, 0, 0, 50, 1, 0, 0);
        m_Columns[i].m_nCount = 0;
      }
    }
  }
  for (KZ_Var1D& c : m_Columns) {
    c.m_nPlotStyle = 2;
    c.m_nLog = 0;
  }
  std::fill(m_Block.begin(), m_Block.end(), 0.0);
  if (m_pHVar) m_pHVar->SetAll(0, 0, 0, "", "", 0);
  if (m_pSubTable) m_pSubTable->SetSize(0, 0);
}

KZ_Var1D* KZ_MultiVarObj::GetColumn(int i) {
  if (i < 0 || i >= m_nColumnCapacity || i >= static_cast<int>(m_Columns.size())) return nullptr;
  return &m_Columns[i];
}

int KZ_MultiVarObj::GetFirstXColumn() const {
  for (int i = 0; i < m_nColumns; ++i)
    if (m_Columns[i].m_nAxisFlags & KZ_AXIS_X) return i;
  return -1;
}

int KZ_MultiVarObj::GetFirstYColumn() const {
  for (int i = 0; i < m_nColumns; ++i)
    if (m_Columns[i].m_nAxisFlags & KZ_AXIS_Y) return i;
  return -1;
}

bool KZ_MultiVarObj::IsRowInRange(int row) const {
  if (row < 0 || row >= m_nRowCapacity) return false;
  for (int i = 0; i < m_nColumns; ++i) {
    const KZ_Var1D& c = m_Columns[i];
    if (!c.m_nRangeFilter) continue;
    const double v = m_ppData[i][row];
    if (v < c.m_dMin || v > c.m_dMax) return false;
  }
  return true;
}

void KZ_MultiVarObj::GetAxisIndexRange(int* first, int* last) const {
  if (m_nColumns < 1) {
    *first = 0;
    *last = -1;
    return;
  }
  int axis = m_nColumns - 1;
  for (int i = 0; i < m_nColumns; ++i)
    if (m_Columns[i].m_nRangeFilter) {
      axis = i;
      break;
    }
  const KZ_Var1D& c = m_Columns[axis];
  const int n = std::min<int>(c.m_nCount, static_cast<int>(c.m_PlotValues.size()));
  const double lo = c.m_fPlotMin, hi = c.m_fPlotMax;
  int i = 0;
  while (i < n && !(c.m_PlotValues[i] >= lo)) ++i;
  int j = i;
  while (j < n && !(c.m_PlotValues[j] >= hi)) ++j;
  *first = i;
  *last = std::min(j, n - 1);
}

int KZ_MultiVarObj::RemoveOutOfRangeRows(int column) {
  if (column < 0 || column >= m_nColumns) return 0;
  const KZ_Var1D& key = m_Columns[column];
  const double lo = key.m_fPlotMin, hi = key.m_fPlotMax;
  const int n = std::min(key.m_nCount, m_nRowCapacity);
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    const double v = m_ppData[column][i];
    if (v >= lo && v <= hi) {
      for (int c = 0; c < m_nColumns; ++c) m_ppData[c][kept] = m_ppData[c][i];
      ++kept;
    }
  }
  for (int c = 0; c < m_nColumns; ++c) m_Columns[c].m_nCount = kept;
  return kept;
}

int KZ_MultiVarObj::FillUndefined(int column) {
  if (column < 0 || column >= m_nColumns) return column;
  KZ_Var1D& c = m_Columns[column];
  KZ_HoldOutOfRange(m_ppData[column], std::min(c.m_nCount, m_nRowCapacity), c.m_fPlotMin,
                    c.m_fPlotMax);
  return column;
}

void KZ_MultiVarObj::SortRows(int column, bool descending) {
  if (column < 0 || column >= m_nColumns) return;
  const int n = std::min(m_Columns[column].m_nCount, m_nRowCapacity);
  if (n < 1) return;
  std::vector<int> index(static_cast<std::size_t>(n));
  std::iota(index.begin(), index.end(), 0);
  KZ_QuickSort(n, m_ppData[column], index.data());
  std::vector<double> copy(static_cast<std::size_t>(n));
  for (int c = 0; c < m_nColumns; ++c) {
    if (c == column && !descending) continue;  // already in order
    double* d = m_ppData[c];
    if (c == column) {
      std::copy(d, d + n, copy.begin());
      for (int k = 0; k < n; ++k) d[k] = copy[n - 1 - k];
      continue;
    }
    std::copy(d, d + n, copy.begin());
    for (int k = 0; k < n; ++k) d[k] = copy[index[descending ? n - 1 - k : k]];
  }
}

void KZ_MultiVarObj::MakeContourLine(KZ_MultiVarObj* dest, float level) {
  if (!dest || dest == this || !m_pHVar || m_nColumns < 1) return;
  KZ_Var1D& h = *m_pHVar;
  KZ_Var1D& x = m_Columns[0];
  h.MakePlotValues(false, false);
  x.MakePlotValues(false, false);
  const int n = h.m_nCount;
  dest->SetSize(2, n);
  const double L = level;
  for (int k = 1; k <= n; ++k) {
    dest->m_ppData[0][k - 1] = h.m_PlotValues[k - 1];
    if (k >= m_nColumns) continue;  // no such column: no crossing
    KZ_Var1D& col = m_Columns[k];
    col.MakePlotValues(false, false);
    const int m = std::min({col.m_nCount, x.m_nCount, static_cast<int>(col.m_PlotValues.size())});
    const std::vector<double>& p = col.m_PlotValues;
    const std::vector<double>& xs = x.m_PlotValues;
    for (int i = 1; i < m; ++i) {
      if ((L - p[i - 1]) * (L - p[i]) <= 0) {
        dest->m_ppData[1][k - 1] =
            xs[i - 1] + (L - p[i - 1]) * (xs[i] - xs[i - 1]) / (p[i] - p[i - 1]);
        break;
      }
    }
  }
  dest->m_nColumns = 2;
  dest->m_nRows = n;
  dest->m_Columns[0].SetAll(n, h.m_fPlotMin, h.m_fPlotMax, h.m_strTitle, h.m_strUnit, KZ_AXIS_X);
  dest->m_Columns[1].SetAll(n, x.m_fPlotMin, x.m_fPlotMax, x.m_strTitle, x.m_strUnit, KZ_AXIS_Y);
}

bool KZ_MultiVarObj::HasFreeColumn() {
  if (m_nColumns >= 0 && m_nColumns < m_nColumnCapacity) return true;
  plat::AfxMessageBox(
      plat::Format("The table has no free column (%d of %d in use): the column was not added.",
                   m_nColumns, m_nColumnCapacity),
      MB_OK | MB_ICONWARNING);
  return false;
}

namespace {

// Takes the first free column, whose n rows the caller has written, into the table with
// its range and title; returns the new column count.
int TakeDerivedColumn(KZ_MultiVarObj& t, int n, const std::string& title) {
  KZ_Var1D& c = t.m_Columns[t.m_nColumns];
  c.m_nCount = n;
  c.UpdateRange();
  c.m_strTitle = title;
  return ++t.m_nColumns;
}

}  // namespace

int KZ_MultiVarObj::AddScaledColumn(int column, float factor) {
  if (column < 0 || column >= m_nColumns || !HasFreeColumn()) return 0;
  const int m = m_nColumns, n = std::min(m_Columns[0].m_nCount, m_nRowCapacity);
  for (int i = 0; i < n; ++i) m_ppData[m][i] = factor * m_ppData[column][i];
  return TakeDerivedColumn(*this, n, plat::Format("[%d]*%.1f", column, factor));
}

int KZ_MultiVarObj::AddSumColumn(int first, int last, std::uint32_t axisFlags) {
  if (!HasFreeColumn()) return 0;
  const int m = m_nColumns, n = std::min(m_Columns[0].m_nCount, m_nRowCapacity);
  double* out = m_ppData[m];
  std::fill(out, out + n, 0.0);
  int matched = -1;
  for (int k = std::max(first, 0); k <= std::min(last, m_nColumns - 1); ++k) {
    if (m_Columns[k].m_nAxisFlags != axisFlags) continue;
    for (int i = 0; i < n; ++i) out[i] += m_ppData[k][i];
    matched = k;
  }
  KZ_Var1D& c = m_Columns[m];
  c.m_nCount = n;
  if (matched >= 0) {
    const KZ_Var1D& src = m_Columns[matched];
    c.SetRange(src.m_dMin, src.m_dMax);
    c.m_nPlotStyle = src.m_nPlotStyle;
    c.m_nLog = src.m_nLog;
    c.m_nAxisFlags = src.m_nAxisFlags;
  } else {
    c.UpdateRange();
  }
  c.m_strTitle = plat::Format("Sum[%d, %d]", first, last);
  return ++m_nColumns;
}

int KZ_MultiVarObj::AddCorrelationColumn(int a, int b) {
  if (a < 0 || b < 0 || a >= m_nColumns || b >= m_nColumns || !HasFreeColumn()) return 0;
  const int m = m_nColumns, n = std::min(m_Columns[0].m_nCount, m_nRowCapacity);
  if (n > 0) KZ_Correl(m_ppData[a], m_ppData[b], n, m_ppData[m]);
  return TakeDerivedColumn(*this, n, plat::Format("CC[%d, %d]", a, b));
}

int KZ_MultiVarObj::AddIntegralColumn(int column) {
  const int xc = FirstXColumn();
  if (xc < 0 || column < 0 || column >= m_nColumns || !HasFreeColumn()) return 0;
  const int m = m_nColumns, n = std::min(m_Columns[0].m_nCount, m_nRowCapacity);
  const double *x = m_ppData[xc], *y = m_ppData[column];
  double* out = m_ppData[m];
  if (n > 0) out[0] = 0.0;
  for (int i = 1; i < n; ++i) out[i] = out[i - 1] + (y[i] + y[i - 1]) / 2 * (x[i] - x[i - 1]);
  return TakeDerivedColumn(*this, n, plat::Format("Int([%d]*d[%d])", column, xc));
}

int KZ_MultiVarObj::AddDerivativeColumn(int column) {
  const int xc = FirstXColumn();
  if (xc < 0 || column < 0 || column >= m_nColumns || !HasFreeColumn()) return 0;
  const int m = m_nColumns, n = std::min(m_Columns[0].m_nCount, m_nRowCapacity);
  const double *x = m_ppData[xc], *y = m_ppData[column];
  double* out = m_ppData[m];
  if (n == 1) out[0] = 0.0;  // no slope from one point
  if (n >= 2) {
    out[0] = (y[1] - y[0]) / (x[1] - x[0]);
    out[n - 1] = (y[n - 1] - y[n - 2]) / (x[n - 1] - x[n - 2]);
    for (int i = 1; i + 1 < n; ++i)
      out[i] = ((y[i + 1] - y[i]) / (x[i + 1] - x[i]) + (y[i] - y[i - 1]) / (x[i] - x[i - 1])) / 2;
  }
  return TakeDerivedColumn(*this, n, plat::Format("d[%d]/d[%d]", column, xc));
}

void KZ_MultiVarObj::MoveColumn(int to, int from, int n) {
  std::copy(m_ppData[from], m_ppData[from] + n, m_ppData[to]);
  KZ_CopyColumnSettings(m_Columns[to], m_Columns[from]);
}

int KZ_MultiVarObj::RemoveColumn(int column) {
  if (column < 0 || column >= m_nColumns) return 0;
  if (column < m_nColumns - 1) {
    const int n = std::min(m_Columns[0].m_nCount, m_nRowCapacity);
    for (int c = column; c + 1 < m_nColumns; ++c) MoveColumn(c, c + 1, n);
  }
  return --m_nColumns;
}

int KZ_MultiVarObj::RemoveUnselectedColumns() {
  const int n = m_nColumns > 0 ? std::min(m_Columns[0].m_nCount, m_nRowCapacity) : 0;
  int kept = 0;
  for (int c = 0; c < m_nColumns; ++c) {
    if (!m_Columns[c].m_nAxisFlags) continue;
    if (kept != c) MoveColumn(kept, c, n);
    ++kept;
  }
  if (kept == m_nColumns) return 0;
  return m_nColumns = kept;
}
