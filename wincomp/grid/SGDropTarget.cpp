#include "wincomp/grid/SGDropTarget.h"

#include "wincomp/grid/SGCtrl.h"

int CSGDropTarget::OnDragEnter(SGDataObject* data) { return m_ctrl->OnDragEnter(data); }

int CSGDropTarget::OnDragOver(SGDataObject* data, POINT point) {
  int col = -1;
  long row = -1;
  m_ctrl->HitTestCell(point.x, point.y, &col, &row);
  return m_ctrl->OnDragOver(data, col, row);
}

int CSGDropTarget::OnDrop(SGDataObject* data, POINT point) {
  int col = -1;
  long row = -1;
  m_ctrl->HitTestCell(point.x, point.y, &col, &row);
  const int effect = m_ctrl->OnDrop(data, col, row);
  if (effect == 0) return 0;
  if (data && data->text) {
    m_ctrl->GotoCell(col, row);
    m_ctrl->PasteText(data->text->c_str());
  }
  return effect;
}
