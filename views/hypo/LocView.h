// The "Hypo" page: the document's located events inside the rock specimen, in 22 kinds
// of plots chosen by the catalogue engine's plot type.
//
// How a plot type is added: DrawPlot prepares the drawing state below (scale, specimen
// sizes in mm and page units, viewing angles with their sines and cosines, time window,
// colour axis, an emptied hit table, the page origin m_ptOrigin) and hands the device
// context to the renderer of the plot type (see DrawPlot's table in LocView.cpp). A
// renderer draws only through the DC it is given and the shared drawing operations
// (MarkerRadius, StereoProject/StereoPoint/StereoLine, DrawMarkerXYZ, DrawTitleLine,
// FlashCurrentEvent); it returns at once when the event list is empty. A renderer whose
// markers can be picked with the mouse appends them with AddHit.
//
// Page units are 0.01 mm with y upward (the origin at the page's top-left corner, so the
// plots lie at negative y); page coordinates computed in floating point are truncated
// toward zero.
//
// On screen every plot type is rendered into the cached page picture, which an update,
// a resize and a refresh render anew and a paint only copies; the current-event flash
// and the play-back draw straight into the view's window image.
#pragma once
#include <QImage>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "aecore/catalogue/AEEventEntry.h"
#include "aecore/catalogue/AEHRecord.h"
#include "aecore/document/TremviaDoc.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/plot/view/KZ_View.h"

class CAEHypo;
class CAEWave;

// One picked-able marker of the last drawing: the entry and its page point.
struct LocHitRecord {
  const AEEventEntry* pEntry = nullptr;
  std::int16_t x = 0;
  std::int16_t y = 0;
};

class CLocView : public KZ_View {
 public:
  static constexpr const char* kRuntimeClassName = "CLocView";

  // Context menu ("LOCVIEW"), View, Utilities and Advance menu items, toolbar toggles.
  static constexpr UINT ID_LOC_LOADSELECTION = 34153;
  static constexpr UINT ID_LOC_LOADFROMFILE = 34162;
  static constexpr UINT ID_LOC_SAVEAS = 34152;
  static constexpr UINT ID_LOC_PLAYBACK100 = 34154;
  static constexpr UINT ID_LOC_PLAYBACK200 = 34155;
  static constexpr UINT ID_LOC_STOPPLAYBACK = 34158;
  static constexpr UINT ID_LOC_LOADSOUNDS = 34159;
  static constexpr UINT ID_LOC_BITMAPSECT = 34169;
  static constexpr UINT ID_LOC_BITMAPSURFACE = 34105;
  static constexpr UINT ID_LOC_CURVEFILE = 34230;
  static constexpr UINT ID_LOC_VRML = 34189;
  static constexpr UINT ID_LOC_MATCHLOCPEAK = 34191;
  static constexpr UINT ID_VIEW_FONT = 34156;
  static constexpr UINT ID_VIEW_ZOOMIN = 34991;
  static constexpr UINT ID_VIEW_ZOOMOUT = 34992;
  static constexpr UINT ID_UTIL_HYPODD = 32804;
  static constexpr UINT ID_ADV_LOCERROR = 34228;
  static constexpr UINT ID_LOC_DRAGROTATE = 34183;
  static constexpr UINT ID_LOC_SPARETOGGLE = 34198;
  static constexpr UINT ID_LOC_SAVERV = 34216;
  static constexpr UINT ID_LOC_SAVEDENSITY = 34219;
  static constexpr int kHits = 1000;

  explicit CLocView(QWidget* parent = nullptr);
  ~CLocView() override;

  // The document's data: set directly, or found as the framework document itself.
  void SetData(CTremviaDoc* doc) { m_pData = doc; }
  CTremviaDoc* GetData() const;

  // Page origin and size, then the drawing scale and the stereo distances from the
  // specimen's sizes.
  void OnInitialUpdate() override;
  // A non-zero hint without HINT_LOC is ignored. With HINT_NOW only the current record
  // flashes; otherwise the page picture is rendered anew before the next paint.
  void OnUpdate(plat::CView* sender, LONG hint, void* object) override;
  // On screen: copies the page picture, rendering it first when an update, resize or
  // refresh has made it stale; printing draws the page.
  void OnDraw(plat::CDC* dc) override;
  void Refresh() override;
  // Prepares the drawing state and calls the renderer of the plot type (or schedules a
  // pending play-back in its place).
  void DrawPlot(plat::CDC* dc) override;

  // Shared drawing operations (see the header comment).
  // Marker radius in page units, not truncated.
  float MarkerRadius(const AEEventEntry& e) const;
  // Stereo projection of a model point (mm): the two eyes' horizontal and the common
  // vertical coordinate, in mm.
  void StereoProject(float x, float y, float z, float* o1, float* o2, float* o3) const;
  // The left and right image points of a model point, as page offsets from the image
  // centre.
  void StereoPoint(float x, float y, float z, POINT* left, POINT* right) const;
  // A model segment in both stereo images around the page point (cx, cy), with the DC's
  // current pen.
  void StereoLine(plat::CDC* dc, int cx, int cy, float x1, float y1, float z1, float x2, float y2,
                  float z2) const;
  // The event's marker, jittered by up to 20 page units, in each panel of the
  // three-projection layout whose slab holds it, with the DC's pen and brush; label -1
  // for none.
  void DrawMarkerXYZ(plat::CDC* dc, const AEEventEntry& e, int label);
  // The title line (experiment, window start and length, peak count) at (x, y).
  void DrawTitleLine(plat::CDC* dc, int x, int y, int nSelected);
  // Its text; empty when there is none.
  std::string TitleLineText(int nSelected);
  // Marks m_pFlashEntry (the last listed event when none) in the window, alternately
  // yellow and red.
  void FlashCurrentEvent();
  // Flashes a copy of a catalogue record.
  void FlashRecord(const AEHRecord& rec);
  // Appends a hit record while fewer than kHits - 1 are stored; the page point
  // saturates at the 16-bit range.
  void AddHit(const AEEventEntry* e, int x, int y);

  // U/(U+D) first-motion ratio of the entry's catalogue record (-1 without one), from a
  // cache that every update drops and the next use refills in one pass over the catalogue.
  float UDRatioOf(const AEEventEntry& e);

  // Renderers of the plot types, called by DrawPlot with the drawing state set.
  void DrawPZTMapCylinder(plat::CDC* dc);
  void DrawPZTMapBox(plat::CDC* dc);
  void DrawCylinderMap(plat::CDC* dc);
  void DrawMagFreq(plat::CDC* dc, int kind);
  void DrawStereoSpecimen(plat::CDC* dc);
  void DrawProjections(plat::CDC* dc);
  void DrawProjectionFrames(plat::CDC* dc, int flag);
  void DrawProjectionFramesBox(plat::CDC* dc, int flag);
  void DrawSlices(plat::CDC* dc);
  void DrawDistanceTime(plat::CDC* dc, int kind);
  void DrawSectionPlot(plat::CDC* dc);
  void DrawSectionByB(plat::CDC* dc);
  void DrawSectionDensity(plat::CDC* dc);
  void DrawSectionTime3D(plat::CDC* dc);
  void DrawCorrelationTime(plat::CDC* dc);
  void DrawCorrelationRadius(plat::CDC* dc);
  void DrawUpDownRatio(plat::CDC* dc);
  void DrawFMDistribution(plat::CDC* dc, int kind);
  void DrawFMMeanSolution(plat::CDC* dc);
  void DrawTernaryDiagram(plat::CDC* dc);
  // Replays the events of the time window one by one in the three-projection layout.
  void PlayBack();

  // Where a stereo pair lies: its image centre (cx, cy) and the page extent of both
  // images around it (left and right edge, top and bottom).
  struct StereoLayout {
    int cx = 0, cy = 0;
    double left = 0, right = 0, top = 0, bottom = 0;
    int textY = 0;  // baseline of the first text line under the pair
  };
  // The stereo specimen pair (type 5) and the section-time box (type 13): centred as
  // designed unless a part of the pair, an event included, would then lie above or left of
  // the page, in which case it moves down or right just enough.
  StereoLayout StereoSpecimenLayout();
  StereoLayout SectionTimeLayout();

  // Mouse: hover read-out, drag rotation, double click, context menu.
  void OnMouseMove(UINT flags, POINT point) override;
  void OnLButtonDown(UINT flags, POINT point) override;
  void OnLButtonDblClk(UINT flags, POINT point) override;
  void OnContextMenu(POINT screenPoint) override;
  void OnSize(UINT type, int cx, int cy) override;

  // Commands.
  void OnLoadSelection();
  void OnLoadFromFile();
  void OnSaveAs();
  void OnPlayBack100();
  void OnPlayBack200();
  void OnStopPlayBack();
  void OnLoadSoundFiles();
  void OnLoadBitmapSect();
  void OnLoadBitmapSurface();
  void OnCurveFile();
  void OnCreateVRML();
  void OnMatchLocPeak();
  void OnZoomIn();
  void OnZoomOut();
  void OnCreateHypoDD();
  void OnLocationErrorEstimation();
  void OnToggleDragRotate();
  void OnToggleSpare();
  void OnSaveRV();
  void OnSaveDensity();

  // The page point of a client point.
  POINT PageFromClient(POINT client) const;
  // The first hit record within 99 page units of the page point in both directions;
  // null when none.
  const LocHitRecord* FindHit(POINT page) const;

  // Drawing state, in declaration order.
  int m_nPlayPos = -1;           // -1 no play-back requested; 0 one runs at the next drawing
  int m_nPlaySpeed = 10;         // play-back wait in 1/1024 s per second of event time
  float m_fZoom = 1.0f;          // doubled and halved by the View menu
  float m_fViewAz = 45.0f;       // A: viewing azimuth, degrees
  float m_fViewAd = 30.0f;       // E: viewing elevation, degrees
  float m_fZ0 = 0.0f;            // centre height of the map panel's slab, mm
  float m_fHalfWidth = 25.0f;    // H: half width of the slab around each plane, mm
  float m_fStereoShift = 70.0f;  // Dlr: shift of the right stereo image, mm
  float m_fEyeDist = 50.0f;      // Deyes: eye separation, mm
  float m_fViewDist = 400.0f;    // Dto: viewing distance, mm
  const AEEventEntry* m_pFlashEntry = nullptr;  // the event the flash marks (not owned)
  AEEventEntry m_FlashCopy;                     // a record's copy made for a flash
  BOOL m_bDragRotate = TRUE;
  BOOL m_bSpareToggle = FALSE;
  std::vector<LocHitRecord> m_pHits;  // kHits records, ended by a null entry
  int m_nHoverAE = -1;                // catalogue index of the event last under the mouse
  std::vector<double> m_pCurveBufA;   // 48 work values of the correlation-integral plots
  std::vector<double> m_pCurveBufB;   // 1600 more
  std::string m_strCurveFile;         // where those plots save their curves
  POINT m_ptLastMouse{0, 0};          // device point of the last press or drag step
  float m_fHalfDia = 0, m_fHalfLen = 0, m_fHalfX = 0, m_fHalfY = 0;  // mm
  float m_fRadiusPage = 0;  // S: half the horizontal extent, page units
  float m_fLengthPage = 0;  // the specimen length, page units
  float m_fScale = 0;       // s: page units per mm
  float m_fCosAz, m_fSinAz, m_fCosAd, m_fSinAd;
  std::array<POINT, 3> m_ptPanel{};  // centres of the three panels: map, along A, across A
  KZ_Pal1C m_Palette;                // the colour axis; its title is the axis title
  double m_tStart = 0, m_tEnd = 0;   // t0, t1 on the event list's time scale
  POINT m_ptOrigin{3000, -2000};     // page origin of every plot

  // The flash colour toggle, one for the whole program: clear shows yellow, set red.
  static bool s_bFlashToggle;

  // The page picture the screen shows (null until a paint has rendered it).
  const QImage& PagePicture() const { return m_PageImage; }

 protected:
  // Busy wait of the play-back, n units of 1/1024 s.
  virtual void PlayWait(int n) { WaitMs(n); }

 private:
  void MapCommands();
  // Scale, specimen sizes in mm and page units, and the viewing angles' sines and
  // cosines from the engine's options.
  void SetDrawingScale();
  // The page extent of the model points' two stereo images around the centre (0, 0),
  // widened on every side by `margin` page units (the largest marker's radius).
  StereoLayout StereoExtent(const std::vector<KZ_Point3D>& pts, double margin) const;
  // Panel centres of the three-projection layout from the drawing state.
  void SetPanelCentres();
  // True when the view's client area is at least 10 pixels wide.
  bool WideEnough() const;
  // Runs a pending play-back outside the drawing that found it.
  void RunScheduledPlayBack();
  // Widens or heightens the page (never below 32000 x 32000) so that the current plot
  // type, its colour bar and its texts lie on it: on screen it scrolls, the picture
  // export and the print take it whole.
  void FitPageToPlot();

  // Renders the whole page at the screen's resolution into m_PageImage.
  void RenderPagePicture();

  CTremviaDoc* m_pData = nullptr;
  QImage m_PageImage;             // the page picture the screen paints copy
  bool m_bCacheStale = true;      // the page picture must be rendered before the next paint
  bool m_bPlayScheduled = false;  // a play-back is queued to run after the current drawing
  bool m_bPlaying = false;
  bool m_bFlashScheduled = false;  // the plot's flash is queued to run after the drawing
  std::vector<float> m_UDCache;    // first-motion ratios by catalogue index
  bool m_bUDCacheValid = false;
};

// The VRML world written by the page's "VRML" command, for the engine's current record
// and the picks of `wave` (may be null).
std::string LocView_VrmlWorld(const CAEHypo& hypo, const CAEWave* wave);
