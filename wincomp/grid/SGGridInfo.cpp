#include "wincomp/grid/SGGridInfo.h"

#include "wincomp/grid/SGDefs.h"

CSGGridInfo::CSGGridInfo()
    : m_colDefaultCell(std::make_unique<CSGCell>()),
      m_hdgDefaultCell(std::make_unique<CSGCell>()),
      m_vScrollWidth(sgw::SM_CXVSCROLL),
      m_hScrollHeight(sgw::SM_CYHSCROLL),
      m_ownDataSource(std::make_unique<CSGMem>()),
      m_arrowCursor(sgw::IDC_ARROW),
      m_WEResizeCursor(sgw::IDC_SIZEWE),
      m_NSResizeCursor(sgw::IDC_SIZENS) {
  m_hdgDefaultCell->SetBackColor(sgw::GetSysColor(sgw::COLOR_BTNFACE));
  m_hdgDefaultCell->SetBorderStyle(0x2000);
  m_hdgDefaultCell->SetAlignment(0x24);
  m_defDataSource = m_ownDataSource.get();
}

CSGGridInfo::~CSGGridInfo() = default;

int CSGGridInfo::RowHeight(int row) const {
  if (row < 0 || row >= m_numberRows) return 0;
  if (m_uniformRowHeightFlag) return m_defRowHeight;
  return m_rowHeights[row];
}

int CSGGridInfo::ColWidth(int col) const {
  if (col < 0 || col >= m_numberCols) return 0;
  return m_colInfo[col].width;
}
