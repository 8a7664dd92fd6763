// The "Wave" page: every channel of the current event record one below the other on a
// page in 0.01 mm, with the picks, the arrivals predicted from the located hypocentre,
// the event's location and magnitude line and a time axis; its display commands and the
// mouse work on the page (next or previous event, the "Trace" page's channel, noise
// mark, relocation).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aecore/catalogue/AEHRecord.h"
#include "base/numerics/KZ_IIRFilter.h"
#include "base/plot/view/KZ_View.h"
#include "views/wave/WaveDialogs.h"

class CTremviaDoc;
class CDlgInverse;
struct AEWHeader;
class CAEHypo;

class CWaveView : public KZ_View {
 public:
  static constexpr const char* kRuntimeClassName = "CWaveView";

  // Display commands.
  static constexpr UINT ID_VIEW_ZOOMIN = 34991;
  static constexpr UINT ID_VIEW_ZOOMOUT = 34992;
  static constexpr UINT ID_WAVE_NORMALIZE = 34170;
  static constexpr UINT ID_WAVE_NOCLIP = 34171;
  static constexpr UINT ID_WAVE_CLIP5 = 34172;
  static constexpr UINT ID_WAVE_CLIP10 = 34173;
  static constexpr UINT ID_WAVE_SORTART = 34012;
  static constexpr UINT ID_UTIL_INCIDENCE = 34026;
  static constexpr UINT ID_UTIL_WAVECHECK = 34019;
  static constexpr UINT ID_VIEW_FONT = 34156;
  static constexpr UINT ID_VIEW_PROPERTY = 32760;
  // Commands of the event work that the mouse sends to the view.
  static constexpr UINT ID_WAVE_SAVELOC = 34010;
  static constexpr UINT ID_WAVE_NOISE = 34223;
  static constexpr UINT ID_FILE_LOADNEXT = 32828;
  static constexpr UINT ID_WAVE_LOADPREV = 32860;
  // Event commands and auto-loading.
  static constexpr UINT ID_WAVE_PICK = 32992;
  static constexpr UINT ID_WAVE_LOCATE = 33404;
  static constexpr UINT ID_WAVE_LOCK = 34222;
  static constexpr UINT ID_WAVE_EM = 34231;
  static constexpr UINT ID_WAVE_OPENNO = 32870;
  static constexpr UINT ID_WAVE_NEXTMASKED = 34244;
  static constexpr UINT ID_WAVE_FINDSETUP = 34242;
  static constexpr UINT ID_WAVE_FINDNEXT = 34240;
  static constexpr UINT ID_WAVE_NEXTVEL = 34246;
  static constexpr UINT ID_FILE_AUTOLOAD = 32840;
  static constexpr UINT ID_WAVE_LOCATEONLOAD = 33434;
  static constexpr UINT ID_WAVE_RESAVE = 32810;
  static constexpr UINT ID_WAVE_STORE = 34009;
  static constexpr UINT ID_WAVE_FAST = 34015;
  static constexpr UINT ID_WAVE_NORMAL = 34016;
  static constexpr UINT ID_WAVE_SLOW = 34017;
  static constexpr UINT ID_FILE_SAVE = 57603;
  static constexpr UINT ID_FILE_OPENPAR = 33292;
  static constexpr UINT ID_FILE_EXPORTWAVE = 34186;
  static constexpr UINT ID_OPT_BANDPASS = 34226;
  static constexpr UINT ID_OPT_CREATEFILTER = 34227;
  static constexpr UINT TIMER_AUTOLOAD = 2;
  // Catalogue batch utilities.
  static constexpr UINT ID_UTIL_VELDIALOG = 34020;
  static constexpr UINT ID_UTIL_MARKSI = 34023;
  static constexpr UINT ID_UTIL_CLEARSI = 34025;
  static constexpr UINT ID_WAVE_RENUMBER = 34199;
  static constexpr UINT ID_WAVE_TIMEMARK = 34018;
  static constexpr UINT ID_WAVE_REPAIR = 34768;
  static constexpr UINT ID_WAVE_POLARITY = 34969;
  static constexpr UINT ID_WAVE_OLDTONEW = 34263;
  static constexpr UINT ID_WAVE_SHOOTRUN = 35798;
  static constexpr UINT ID_WAVE_OSKTAM = 34224;
  static constexpr UINT ID_WAVE_CREATEAED = 34149;
  static constexpr UINT ID_WAVE_NOISESCAN = 34229;
  static constexpr UINT ID_WAVE_TIMESHIFT = 34165;
  // Cursor resources over the page's zones.
  static constexpr UINT IDC_NOISE = 139;
  static constexpr UINT IDC_PREV = 145;
  static constexpr UINT IDC_NEXT = 144;
  static constexpr UINT IDC_TIME = 142;

  explicit CWaveView(QWidget* parent = nullptr);
  ~CWaveView() override;

  // The document's data: set directly, or found as the framework document itself.
  void SetData(CTremviaDoc* doc) { m_pData = doc; }
  CTremviaDoc* GetData() const;

  void OnInitialUpdate() override;
  // 0 or HINT_WAVE repaints; with HINT_NOW as well the page is painted at once.
  void OnUpdate(plat::CView* sender, LONG hint, void* object) override;
  // On paper the traces stand 1.4 times as high and 2000 further in (see DrawPlot).
  SIZE PrintExtent() const override;
  void DrawPlot(plat::CDC* dc) override;

  void OnMouseMove(UINT flags, POINT point) override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnLButtonUp(UINT flags, POINT point) override;
  void OnContextMenu(POINT screenPoint) override;

  // Display commands (each repaints the page unless it says otherwise).
  void OnZoomIn();
  void OnZoomOut();
  void OnNormalize();
  void OnClip(int level);  // repaints only when the level changed
  void OnSortART();
  void OnIncidentAngleCorrection();
  void OnWaveformCheck();  // no repaint
  // Page layout: trace area and margins in whole millimetres through the "Graph" page;
  // OK resizes the page and repaints. Kept for the view's life.
  void OnPageLayout();

  // Event commands.
  void OnPickup();
  void OnLocate();
  void OnSaveLocation();
  void OnLock();
  void OnEMMark();
  void OnMarkNoise();
  void OnLoadNext();
  void OnLoadPrevious();
  void OnOpenByNumber();
  void OnNextMasked();
  void OnFindSetup();
  void OnFindNext();
  void OnNextVelocityShot();
  void OnSaveWave();
  void OnOpenPar();
  void OnExportWave();
  // Auto-loading: starts or stops the timer; each tick loads the next event.
  void OnAutoLoad();
  // Stops the timer and says in status pane 0 that auto-loading ended and where.
  void StopAutoLoad();
  void OnTimer(UINT id) override;
  // Band-pass filtering: the toggle, the design dialog and the in-place filtering of the
  // first 4096 samples of every channel.
  void OnBandPass();
  void OnCreateFilter();
  void FilterWave();
  // Catalogue batch utilities.
  void OnCreateAED();
  void OnNoiseScan();
  void OnTimeShift();
  // Waveform file utilities.
  void OnRenumber();
  void OnTimeMarkCorrection();
  void OnRepairChannelGroups();
  void OnCorrectPolarity();
  void OnConvertOldLayout();
  // Reload the last event written by a utility, title, hint 15, modified flag and beep.
  void EndFileUtility(int lastWritten);
  void OnShootingRun();
  // Velocity calibration.
  void OnVelocityDialog();

  // The page position of a client point, relative to the trace origin.
  POINT PageFromClient(POINT client) const;

  int m_nTimer = 0;
  int m_bNormalize = 0;
  int m_nClip = 0;
  int m_bSortART = 0;
  int m_bLocateOnLoad = 0;
  int m_bStore = 0;
  int m_bResave = 0;
  int m_bCheckWave = 0;
  int m_bBandPass = 0;
  float m_fZoom = 4.0f;
  float m_fXScale = 0.0f;
  std::vector<float> m_pWork;
  KZ_IIRFilter m_Filter;
  int m_nTraceWidth = 24000;
  int m_nTraceHeight = 16000;
  int m_nPlayInterval = 100;
  POINT m_ptPress{0, 0};
  std::string m_strShootPZT = "16,17,18,19,20,21,22,23,24,25,8,28";
  int m_nShootNo = 1;
  UINT m_hCursor = 0;  // cursor resource shown by the last movement
  CDlgFind m_dlgFind;
  std::unique_ptr<CDlgInverse> m_pDlgInverse;
  UINT m_nTimerElapse = 0;  // period of the last auto-loading timer set, ms

 private:
  // The left button released left of the traces: toggles the event's noise mark (and
  // goes on to the next event once it is marked); a vertical drag relocates the event
  // over the dragged samples.
  void ToggleNoiseMark(CTremviaDoc& doc);
  void Relocate(CTremviaDoc& doc, int releaseX);
  void MapEventCommands();
  void MapBatchCommands();
  void MapFileCommands();
  // True (after "Locked event!") when the current record is locked.
  bool RefuseLocked(const CTremviaDoc& doc);
  // Writes the current record at the waveform's event index with the lock check; a record
  // that is not the event's own is never written there (see CTremviaDoc::TakeRecordOfEvent).
  void StoreRecord(CTremviaDoc& doc);
  // After a run over the event files: the record, title and page of the event the run
  // stands at, which the next command works on.
  void ShowCurrentEvent(CTremviaDoc& doc);
  // Opens event `n` of the set with its record; the steps of open-by-number.
  bool OpenEventWithRecord(CTremviaDoc& doc, int n, LONG hint);
  void StartTimer(UINT ms);

  CTremviaDoc* m_pData = nullptr;
};

// The time shift of an event file: 5424.5 seconds later.
void AE_ShiftEventTime(AEWHeader* header);

// The incidence response R(cos) of the sensors that the normalised display divides by.
double AE_IncidenceResponse(double cosIncidence);
