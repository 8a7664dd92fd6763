// The one document of the program: it owns every data object (catalogue engine, peak
// lists, stress series, current waveform event, event list, data sheets, side buffers),
// opens files by their extension, steps from event to event and processes the current
// event. It reaches its views only through the host's UpdateAllViews with hint bits.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aecore/catalogue/AEEventEntry.h"
#include "aecore/catalogue/AEHypo.h"
#include "aecore/document/AEPeak.h"
#include "aecore/document/AEStress.h"
#include "aecore/templates/AETemplateSet.h"
#include "aecore/waveform/AEWave.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/series/KZ_TSdata.h"
#include "platform/DocumentHost.h"
#include "platform/WinTypes.h"

// View update hints.
constexpr LONG HINT_TRACE = 0x2;
constexpr LONG HINT_WAVE = 0x4;
constexpr LONG HINT_TS = 0x8;
constexpr LONG HINT_SOURCE = 0x10;
constexpr LONG HINT_LOC = 0x40;
constexpr LONG HINT_GRAPH = 0x100;
constexpr LONG HINT_NOW = 0x1000;

class CTremviaDoc {
 public:
  static constexpr int kSideBuffers = 5;

  explicit CTremviaDoc(plat::DocumentHost& host);
  virtual ~CTremviaDoc();
  CTremviaDoc(const CTremviaDoc&) = delete;
  CTremviaDoc& operator=(const CTremviaDoc&) = delete;

  // Document/view operations.
  virtual void Serialize() {}  // the document has no file of its own
  virtual BOOL OnNewDocument();
  virtual BOOL OnOpenDocument(const std::string& path);

  int StepEvent(int n);
  // Reads the record of the waveform's event into the current record and its picks into
  // the waveform; an event without a record starts from an empty one. Pages that write the
  // current record at the waveform's event index call it when another page has moved the
  // catalogue's current record on.
  void ReadRecordOfEvent();
  int LoadSideFile(const std::string& path, int k);
  int LoadTS(const std::string& path);
  int LoadAddTS(const std::string& path, int i);
  void ClearAddTS();
  CAEPeak* GetPeak(int which) { return which == 0 ? m_pPeak[0].get() : m_pPeak[1].get(); }

  // Event list.
  void AddEventEntry(float x, float y, float z, float Mw, float iso, float clvd, float CC,
                     double time, std::uint16_t arrivals, std::uint32_t record, std::uint8_t flags);
  void ClearEventList();
  int BuildEventList(int first, int last, int minArrivals, int random);
  int LoadEventList(const std::string& path);
  int NextFlaggedEvent(std::uint8_t bits) const;

  // Processing of the current event: 1 pick, 2 locate, 3 full processing.
  bool ProcessCurrentEvent(int mode, bool save, int p1, int p2, int p4, int p3);
  bool SaveCurrentHypo(int, int, int, bool save);
  // Auto-loading saves event after event: between these calls only the first refused save
  // is shown in a message box, the further ones are noted in status pane 0.
  void BeginSaveBatch();
  void EndSaveBatch();

  // Catalogue statistics of the event list.
  int CountEventsFrom(int minArrivals, double* t1, double* t2, int maxCount);
  // Positions of the selected entries of [t1, t2]; at most `capacity` are stored.
  int CollectSelectedEvents(KZ_Point3D out[], int capacity, int minArrivals, double t1, double t2);
  // G needs qLast + 2 rows of 41 values.
  int FractalDimension(float* L, double logR[41], double G[][41], int* nR, int qFirst, int qLast,
                       double* t1, double* t2, int maxCount, int minArrivals, float level);
  int PeakEnergyAtTimes(const double t[], double out[], int n, int p, float f);
  // The selection rule of the views: arrivals, class mask, template CC, inside the sample.
  bool IsSelectedEvent(const AEEventEntry& e, int minArrivals) const;

  // Series exports (KV text); 0 when the file cannot be written or the input is refused.
  int SaveRV(const std::string& path, int minArrivals, float maxDistance);
  int SaveBValueTL(const std::string& path, int nB, float Mmax, float q, bool withShear,
                   float angle);
  int SaveBValueD(const std::string& path, int nD, float Mmax, float q, float clusterDistance);
  int SaveAERates(const std::string& path, int rowsPerSecond);
  int SaveSS(const std::string& path);

  // Catalogue exports.
  void ExportCatalogue(const std::string& path, int minArrivals, int unused, float pointScale);
  void WriteAEB(const std::string& path);
  int SaveAEList(const std::string& path, float period);

  // Event sheet, density map, peak matching, hypoDD files.
  int FillEventSheet(KZ_MultiVarObj* sheet, int minArrivals);
  int AEDensityMap(const std::string& path, int nx, int ny, int nt, int minArrivals,
                   float maxDistance);
  void ReplaceFromPeaks();
  int SaveHypoDD();

  plat::DocumentHost& m_Host;
  int m_nDocParam = 12000;
  double m_fTimeStart = 0.0;
  double m_fTimeSpan = 36000.0;
  std::array<std::unique_ptr<std::vector<BYTE>>, kSideBuffers> m_pSideBuf;
  std::array<std::vector<BYTE>, 2> m_pWorkBuf;
  KZ_MultiVarObj* m_pCurSheet = nullptr;
  std::array<std::unique_ptr<KZ_MultiVarObj>, 2> m_pSheet;
  std::string m_strParFile;
  CAETemplateSet m_Templates;
  std::unique_ptr<CAEWave> m_pWave;
  std::unique_ptr<CAEHypo> m_pHypo;
  std::array<std::unique_ptr<CAEPeak>, 2> m_pPeak;
  std::unique_ptr<CAEStress> m_pStress;
  std::unique_ptr<KZ_TSdata> m_pTS;
  std::array<std::unique_ptr<KZ_TSdata>, 4> m_pAddTS;
  int m_bLoaded = 0;
  std::vector<std::unique_ptr<AEEventEntry>> m_EventList;
  int m_nMinArrivals = -1;
  int m_nCurAE = 0;  // catalogue record index of the current event (not a list position)

 private:
  // Reads the parameter file and its side files; false when the parameter file failed.
  bool LoadExperiment(const std::string& parFile);
  void LoadSideFiles(const std::string& parFile);
  // Reads the parameter file and opens its catalogue; when that fails the experiment that
  // was open stays (read again when the catalogue step had closed it) and the user is told.
  bool LoadParameters(const std::string& parFile);
  void FinishOpen();
  bool SaveRecord();
  // Reports a refused save of the current record (see BeginSaveBatch).
  void ReportFailedSave(const char* text);
  bool m_bSaveBatch = false;
  int m_nBatchFailures = 0;
};

// Whole hours at least as long as `seconds`, and at least one hour.
double AE_WindowHours(double seconds);
