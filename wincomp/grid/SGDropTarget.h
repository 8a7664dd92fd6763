// The grid's drop target: passes drags on to the grid's drag notifications and pastes
// dropped text at the cell under the point when the owner accepts the drop. Nothing in
// this program registers one, so no drag ever reaches a grid.
#pragma once
#include <optional>
#include <string>

#include "platform/WinTypes.h"

class CSGCtrl;

// What a drag carries: text (CF_TEXT) when it offers some.
struct SGDataObject {
  std::optional<std::string> text;
};

class CSGDropTarget {
 public:
  explicit CSGDropTarget(CSGCtrl* grid = nullptr) : m_ctrl(grid) {}
  // The points are in the cell area's client coordinates.
  int OnDragEnter(SGDataObject* data);
  int OnDragOver(SGDataObject* data, POINT point);
  int OnDrop(SGDataObject* data, POINT point);

  CSGCtrl* m_ctrl;
};
