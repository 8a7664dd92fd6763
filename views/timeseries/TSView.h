// The "TS" page: against one time axis, the first peak list (a stick per peak), the
// located events of the event list, peak rates and cumulative release with Omori-law and
// accelerating-release fits, moving-window b-values, the fractal dimension and
// correlation length of the hypocentres, up to four additional series and the loading
// machine's stress, strain, pressure and AE-count series. The window shown is the
// document's analysis window; the page's commands move, zoom and select in it, edit the
// peak list, load series and write text tables for the sibling plotting program.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "base/plot/view/KZ_View.h"

// One located event drawn on the peak panel: a copy of its event-list entry (so that a
// rebuilt list leaves nothing dangling) and its page x.
struct TSAEMarker {
  bool used = false;
  AEEventEntry entry;
  int x = 0;
};

class CTSView : public KZ_View {
 public:
  static constexpr const char* kRuntimeClassName = "CTSView";

  // Commands.
  static constexpr UINT ID_TS_PROPERTY = 34141;
  static constexpr UINT ID_TRACE_NEXT = 32775;
  static constexpr UINT ID_TRACE_PREVIOUS = 32776;
  static constexpr UINT ID_TS_LOAD1000 = 34178;
  static constexpr UINT ID_VIEW_ZOOMIN = 34991;
  static constexpr UINT ID_VIEW_ZOOMOUT = 34992;
  static constexpr UINT ID_TS_ZOOMSEL = 34218;
  static constexpr UINT ID_TS_LOADPEAK = 34140;
  static constexpr UINT ID_TS_SAVEPEAK = 34190;
  static constexpr UINT ID_TS_PEAKTIME = 32786;
  static constexpr UINT ID_TS_REMOVEM0 = 32788;
  static constexpr UINT ID_TS_MARKNOISE = 34147;
  static constexpr UINT ID_TS_REMOVEPLOTTED = 34982;
  static constexpr UINT ID_TS_REMOVEHEAD = 34364;
  static constexpr UINT ID_TS_REMOVETAIL = 32782;
  static constexpr UINT ID_TS_CORRECTPEAK = 34980;
  static constexpr UINT ID_TS_LOADWAVE = 34193;
  static constexpr UINT ID_TS_LOADSS = 32779;
  static constexpr UINT ID_TS_ADDTS = 32783;
  static constexpr UINT ID_TS_CLEARTS = 32802;
  static constexpr UINT ID_TS_SAVEKURVO = 32780;
  static constexpr UINT ID_TS_SAVEAVG = 32781;
  static constexpr UINT ID_TS_RATES1 = 32774;
  static constexpr UINT ID_TS_RATES10 = 32777;
  static constexpr UINT ID_TS_RATES100 = 32778;
  static constexpr UINT ID_TS_RATESAUTO = 32818;
  static constexpr UINT ID_TS_SAVEEQT = 32785;
  static constexpr UINT ID_TS_SAVEB = 34465;
  static constexpr UINT ID_TS_SAVED = 34566;
  static constexpr UINT ID_TS_MN = 34174;
  static constexpr UINT ID_TS_MNAUTO = 34176;
  static constexpr UINT ID_TS_FRACTALTIME = 34187;
  static constexpr UINT ID_TS_SELFEXCITING = 34177;
  static constexpr UINT ID_TS_BUF5000 = 34143;
  static constexpr UINT ID_TS_BUF10000 = 34144;
  static constexpr UINT ID_TS_BUF20000 = 34145;
  static constexpr UINT ID_VIEW_FONT = 34156;
  static constexpr UINT IDC_AE = 137;  // the application's first cursor
  static constexpr int kMarkers = 1000;
  static constexpr int kMarkersUsed = 998;

  explicit CTSView(QWidget* parent = nullptr);
  ~CTSView() override;

  // The document's data: set directly, or found as the framework document itself.
  void SetData(CTremviaDoc* doc) { m_pData = doc; }
  CTremviaDoc* GetData() const;

  void OnInitialUpdate() override;
  void OnUpdate(plat::CView* sender, LONG hint, void* object) override;
  void DrawPlot(plat::CDC* dc) override;
  void OnMouseMove(UINT flags, POINT point) override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnLButtonUp(UINT flags, POINT point) override;
  void OnContextMenu(POINT screenPoint) override;

  // Scroll width and height from the panel slots (the additional series counted only
  // when `withAddTS`), set with MM_HIMETRIC.
  void ComputePageSize(bool withAddTS);
  // The page position of a client point.
  POINT PageFromClient(POINT client) const;
  // The selection band inverted in the view's picture.
  void InvertSelection();

  // Navigation.
  void OnNext();
  void OnPrevious();
  void OnLoad1000();
  void OnZoomIn();
  void OnZoomOut();
  void OnZoomSelection();
  void OnProperty();
  // Peak-list commands.
  void OnLoadPeak();
  void OnSavePeak();
  void OnPeakTime();
  void OnRemoveM0();
  void OnMarkNoise();
  void OnRemovePlotted();
  void OnRemoveHead();
  void OnRemoveTail();
  void OnCorrectPeak();
  void OnLoadWaveform();
  // Series commands and exports.
  void OnLoadSS();
  void OnAddTS();
  void OnClearTS();
  void OnSaveKurvo();
  void OnSaveAvgKurvo();
  void OnSaveRates(int perSecond);
  void OnSaveRatesAuto();
  void OnSaveEQT();
  void OnSaveB();
  void OnSaveD();
  void OnMN();
  void OnMNAuto();
  void OnFractalTime();
  void OnSelfExciting();

  // Drawing steps; each takes the y where the previous group ended and returns its own.
  int DrawPeakPanels(plat::CDC* dc);
  int DrawAddTS(plat::CDC* dc, int y);
  int DrawSSPanels(plat::CDC* dc, int y);

  // Seconds since 1970 of the experiment start and of the reference time (whole
  // seconds), and their fractions; 0 without a catalogue engine.
  std::int64_t ExperimentStart() const;
  std::int64_t ReferenceTime() const;
  float StartFraction() const;
  float ReferenceFraction() const;

  // Settings (see the property sheet).
  int m_nPanelH = 3000;
  std::uint8_t m_nPeakL = 0;
  std::uint8_t m_nPeakD = 2;
  std::uint8_t m_nPeakR = 8;
  int m_nRateBins = 100;
  int m_nB = 500;
  int m_nD2 = 100;
  std::vector<TSAEMarker> m_pAEMarkers;
  int m_bLog = 1;
  int m_bBMLH = 1;
  int m_bBLSQ = 0;
  int m_bLogTl = 0;
  int m_bOmori = 0;
  int m_bAMR = 0;
  int m_bBMLHFractal = 0;
  int m_bD2 = 0;
  int m_bCL = 0;
  int m_bSymb = 0;
  float m_fMmax = 2.75f;
  float m_fTlMin = -5.0f;
  float m_fTlMax = 5.0f;
  float m_fRMin = 0.001f;
  float m_fRMax = 1000.0f;
  float m_fVMin = 0.0f;
  float m_fVMax = 100000.0f;
  float m_fQ = 0.75f;
  float m_fBMin = 0.5f;
  float m_fBMax = 1.5f;
  float m_fD2Max = 3.0f;
  float m_fD2Min = 1.0f;
  float m_fCLMax = 0.5f;
  float m_fCLMin = 0.0f;
  float m_fCLProb = 0.5f;
  double m_fTimeScale = 0.0;
  double m_fSelStart = 0.0;
  double m_fSelEnd = 0.0;
  double m_fPa = 1.0, m_fAa = 500.0, m_fTma = 0.0;  // after-shocks
  double m_fPf = 1.0, m_fAf = 500.0, m_fTmf = 0.0;  // fore-shocks
  int m_nCurAE = 0;
  double m_fT0 = 0.0, m_fTc = 50.0, m_fM = 0.5, m_fV0 = 0.0, m_fV1 = 100000.0;
  int m_nStrainMax = 10000;
  int m_nStrainMin = -10000;
  int m_nStressMin = 0;
  int m_nStressMax = 500;
  int m_nAEMax = 10000;
  float m_fFaultDip = 65.0f;
  float m_fCPMin = 0.0f;
  float m_fCPMax = 100.0f;
  float m_fPPMin = 0.0f;
  float m_fPPMax = 20.0f;
  float m_fDispMin = 0.0f;
  float m_fDispMax = 1.0f;
  double m_fTSOffset = 0.0;
  int m_bZeroOffset = 1;
  int m_bAECurve = 1;
  int m_bShear = 0;
  int m_nStrainFlags = 15;
  int m_nAECounter = 1;  // counter choice of "Corrects time of PEAK" (1 or 2)
  UINT m_hCursor = 0;    // cursor shown by the last movement
  bool m_bBandShown = false;

 private:
  void MapCommands();
  double WindowStart() const;
  double WindowLength() const;
  int PlotWidth() const;
  int X(double t) const;
  // Steps of the statistics panels.
  int DrawRatePanel(plat::CDC* dc, CTremviaDoc& doc, int slot);
  void DrawBPanel(plat::CDC* dc, CTremviaDoc& doc, int slot);
  void DrawFractalPanel(plat::CDC* dc, CTremviaDoc& doc, int slot);
  int DrawStressGroup(plat::CDC* dc, CTremviaDoc& doc, int y);
  int DrawMainSeriesGroup(plat::CDC* dc, CTremviaDoc& doc, int y);
  // The cumulative count of valid peaks in a slot, joined under the 50-unit rule.
  void DrawPeakCount(plat::CDC* dc, CTremviaDoc& doc, int slotBottom, double kN,
                     const plat::CPen& pen);
  // Event and record counts in a slot; `ref` is the event-list time of the window start.
  void DrawEventCounts(plat::CDC* dc, CTremviaDoc& doc, int slotBottom, double kN, double ref,
                       int minArrivals);

  CTremviaDoc* m_pData = nullptr;
};

// Page coordinates from floating point: truncated toward zero, saturated, 0 for NaN.
int TS_Trunc(double v);
