// The "X-Ys graph" page: one data table drawn as an x-y plot, a polar plot of directional
// data or values against angle. The table draws itself; the page only chooses the draw
// mode and holds the page geometry. The table is handed over by the main frame and the
// data-sheet grid and stays theirs: the page never changes, copies or frees it.
// The page redraws only on hints with HINT_GRAPH; hint 0 leaves it as it was.
#pragma once
#include <cstdint>

#include "aecore/document/TremviaDoc.h"
#include "base/plot/view/KZ_View.h"
#include "base/series/KZ_MultiVarObj.h"

class CGraphView : public KZ_View {
 public:
  static constexpr const char* kRuntimeClassName = "CGraphView";

  static constexpr UINT ID_GRAPH_YYX = 32377;
  static constexpr UINT ID_GRAPH_POLAR = 32346;
  static constexpr UINT ID_GRAPH_VANG = 32814;
  static constexpr UINT ID_GRAPH_PROPERTY = 32813;
  static constexpr UINT ID_VIEW_FONT = 34156;
  static constexpr UINT IDR_GRAPH_MENU = 6910;

  explicit CGraphView(QWidget* parent = nullptr);

  void OnInitialUpdate() override;
  void OnUpdate(plat::CView* pSender, LONG lHint, void* pHint) override;
  void DrawPlot(plat::CDC* dc) override;
  void OnContextMenu(POINT screenPoint) override;

  // Shows `pData` (null shows nothing) by the table's own draw mode.
  void SetData(KZ_MultiVarObj* pData);
  KZ_MultiVarObj* GetData() const { return m_pData; }

  // Draw mode 0 YY-X, 1 polar, 2 value against angle, for the page and its table.
  void SetDrawMode(int mode);
  // Whether the table's x column is an angle (deg or rad, within two turns), which the
  // value-against-angle diagram draws against.
  static bool HasAngleColumn(const KZ_MultiVarObj& table);
  // The page-geometry property sheet.
  void OnProperty();

  std::int32_t m_nDrawMode = 2;

 private:
  KZ_MultiVarObj* m_pData = nullptr;
};
