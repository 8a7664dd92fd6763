// The "Trace" page: one channel of the current event drawn to fill the page, for picking
// by hand. The page steps through the channels, picks a channel automatically, sets the
// P pick with its polarity, amplitude and rise by one mouse drag, reads the Vp/Vs ratio
// and the first swing's amplitude ratio under the cursor, locates and stores the event,
// and collects picked waveforms as templates. It redraws on every hint, 0 included.
#pragma once
#include <cstdio>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "platform/qt/View.h"

// Templates added by hand since the program started.
extern int g_nTemplatesAdded;

class CTraceView : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "CTraceView";

  static constexpr UINT ID_TRACE_NEXT = 32775;
  static constexpr UINT ID_TRACE_PREV = 32776;
  static constexpr UINT ID_TRACE_PICKUP = 32992;
  static constexpr UINT ID_TRACE_AR2 = 32996;
  static constexpr UINT ID_TRACE_AR5 = 33090;
  static constexpr UINT ID_TRACE_AR10 = 33100;
  static constexpr UINT ID_TRACE_AR20 = 33260;
  static constexpr UINT ID_TRACE_ZOOM = 32832;
  static constexpr UINT ID_TRACE_TEMPLATE = 32834;
  static constexpr UINT ID_FILE_LOADNEXT = 32828;
  static constexpr UINT ID_WAVE_LOADPREV = 32860;
  static constexpr UINT ID_WAVE_LOCATE = 33404;
  static constexpr UINT ID_WAVE_SAVELOC = 34010;
  static constexpr UINT ID_WAVE_STORE = 34009;
  static constexpr UINT IDC_UP = 143;
  static constexpr UINT IDC_DOWN = 141;
  static constexpr UINT IDC_TIME = 142;

  explicit CTraceView(QWidget* parent = nullptr);
  ~CTraceView() override;

  void SetData(CTremviaDoc* doc) { m_pData = doc; }
  CTremviaDoc* GetData() const;

  void OnInitialUpdate() override;
  void OnDraw(plat::CDC* dc) override;
  void OnMouseMove(UINT flags, POINT point) override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnLButtonUp(UINT flags, POINT point) override;
  void OnContextMenu(POINT screenPoint) override;

  void OnNext();
  void OnPrevious();
  // Automatic pick of the shown channel; `arOrder` 0 for the picker's defaults.
  void OnPickup(int arOrder);
  void OnZoom();
  void OnAddTemplate();
  void OnLocate();
  void OnSaveLocation();

  // Sets the pick of the shown channel from a drag between two page points (what the
  // left button's release does after a drag).
  void PickByDrag(POINT press, POINT release);

  // The channel shown: the display order of the waveform's current row.
  int ShownChannel() const;
  // The page position of a client point.
  POINT PageFromClient(POINT client) const;

  float m_fXScale = 1.0f;
  POINT m_ptPress{0, 0};
  int m_bStore = 0;
  int m_bZoom = 1;
  int m_nWinStart = 0;
  std::FILE* m_fpTemplates = nullptr;
  UINT m_hCursor = 0;
  std::string m_strReadout;  // the last read-out, copied to pane 1 when a pick is set

 private:
  CTremviaDoc* m_pData = nullptr;
};
