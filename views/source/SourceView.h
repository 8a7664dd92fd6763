// The "Foc" page: the first motions of the catalogue's current record on a focal sphere,
// every sensor projected stereographically from the hypocentre with its polarity and
// corrected amplitude, and for a shear event the P radiation pattern and the beach ball.
// Its commands step through the catalogue, classify the current event and store that in
// the catalogue, and zoom the waveform snippets drawn beside the sensors. The page reads
// the catalogue engine and the current waveform through the document; it owns no data.
// It redraws on hint 0 and on any hint with HINT_SOURCE.
#pragma once
#include <cstdint>

#include "aecore/document/TremviaDoc.h"
#include "base/plot/view/KZ_View.h"

class CSourceView : public KZ_View {
 public:
  static constexpr const char* kRuntimeClassName = "CSourceView";

  static constexpr UINT ID_SRC_NEXT = 33402;
  static constexpr UINT ID_SRC_NEXTSHEAR = 33423;
  static constexpr UINT ID_SRC_PREVSHEAR = 33504;
  static constexpr UINT ID_SRC_SHEAR = 33610;
  static constexpr UINT ID_SRC_TENSILE = 32841;
  static constexpr UINT ID_SRC_CLOSURE = 32843;
  static constexpr UINT ID_SRC_WAVEFORM = 32844;
  static constexpr UINT ID_VIEW_ZOOMIN = 34991;
  static constexpr UINT ID_VIEW_ZOOMOUT = 34992;
  static constexpr UINT IDR_MENU = 130;
  static constexpr int kMenuPopup = 5;
  static constexpr UINT IDC_OFFPAGE = 139;
  static constexpr UINT IDC_CENTRE = 143;
  static constexpr UINT IDC_NEXT = 144;
  static constexpr UINT IDC_PREV = 145;

  explicit CSourceView(QWidget* parent = nullptr);

  void SetData(CTremviaDoc* doc) { m_pData = doc; }
  CTremviaDoc* GetData() const;

  void OnInitialUpdate() override;
  void OnUpdate(plat::CView* pSender, LONG lHint, void* pHint) override;
  void DrawPlot(plat::CDC* dc) override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnLButtonUp(UINT flags, POINT point) override;
  void OnMouseMove(UINT flags, POINT point) override;
  void OnContextMenu(POINT screenPoint) override;

  void OnNextEvent();
  // Searches up (step 1) or down (step -1) for the next shear event.
  void OnShearSearch(int step);
  void OnShearCrack();
  void OnTensile();
  void OnClosure();

  // The page position of a client point.
  POINT PageFromClient(POINT client) const;
  // The command a click at page position `pt` runs, by its third of the page width.
  UINT ZoneCommand(POINT pt) const;

  POINT m_ptDown{0, 0};
  std::int32_t m_bShowWave = 0;
  float m_fZoom = 1.0f;
  UINT m_hCursor = 0;  // the cursor resource last chosen by the mouse

 private:
  // Classification: refuses a locked record, and a record that is not the one the
  // catalogue was last positioned on; otherwise lets `set` change the record, writes it
  // at its own index and announces it.
  void Classify(bool (*set)(CAEHypo&));
  CTremviaDoc* m_pData = nullptr;
};
