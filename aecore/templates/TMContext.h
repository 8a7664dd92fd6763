// Batch template matching: the run context with its log, the loading of the template
// set, the scans over numbered event files or over chunks of a long recording, the
// detector that stacks station correlations over a grid of source shifts, and the
// pairwise comparison of the template events with each other.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aecore/templates/TMCorrelation.h"
#include "aecore/templates/TMPars.h"
#include "aecore/waveform/KZ_WaveData.h"
#include "base/types/KZ_Vector3D.h"
#include "platform/File.h"

// One entry of the candidate table: the best stacked-correlation peak within one
// inter-event window.
struct TMCandidate {
  int m_iX = 0, m_iY = 0, m_iZ = 0;  // grid indices of the source displacement
  int m_nTemplate = 0;               // index in the loaded set; -1 marks a removed entry
  float m_fCC = 0.0f;
  float m_fSNR1 = 0.0f;  // peak over the mean absolute stack before it
  float m_fSNR2 = 0.0f;  // ... and after it
  double m_dTime = 0.0;  // us from the record start
  float m_fMw = 0.0f;
  std::int64_t m_nIndex = 0;  // peak index in the stack
};

// Rows of correlation values as one multi-trace SAC file (".sacs").
int TMWriteStack(const std::string& path, const std::vector<const float*>& rows,
                 const std::vector<std::string>& labels, int first, int columns, float dt,
                 double julianDay);

// Mean of the absolute values a[first..last] (inclusive).
float MeanAbsValue(int first, int last, const float* a);

using TMTemplateArray = std::vector<std::unique_ptr<KZ_WaveDataSeg2>>;

class TMContext {
 public:
  static constexpr int kMaxCandidates = 100;

  TMContext() = default;
  ~TMContext();
  TMContext(const TMContext&) = delete;
  TMContext& operator=(const TMContext&) = delete;

  // Creates the log (closing one still open); 1.
  int OpenLog(const std::string& path);
  // Closes the log and opens it again for appending, so that what was written is on disk.
  plat::File* ReopenLog();

  // Lists "*.sg2" in the folder and loads up to m_nTemplates of them (lazily: only the
  // first of the range, the others on demand); m_nTemplates becomes the number taken.
  TMTemplateArray LoadTemplates(const std::string& folder, TMPars& p);
  // Scans the numbered event files p.m_nFirstAE..p.m_nLastAE of the folder, or a long
  // recording ("*.lng") chunk by chunk; the number of records with a detection.
  int RunTemplateMatching(const std::string& wavePath, const std::string& templateFolder,
                          TMPars& p);
  int ScanLongRecord(const std::string& path, const std::string& templateFolder, TMPars& p);
  // The start shared by both scans: the log of the AE range opened, the templates loaded
  // and band-passed. False (log closed) when the folder holds no template.
  bool StartScan(const std::string& templateFolder, TMPars& p, TMTemplateArray* templates);
  // The detector for one scanned record (path and event number set, picks cleared):
  // 1 when a detection was written, else 0.
  int DetectEvents(KZ_WaveDataSeg2& rec, TMTemplateArray& templates, int count, TMPars& p);
  // Keeps one entry (the strongest) of the first `count` candidates in each inter-event window;
  // the others are marked removed. Returns how many were removed.
  int MergeCandidates(int count, float interevent);

  // Pairwise comparison of template events; these use none of the context's state.
  static float CorrelateStationWindows(const KZ_WaveData& a, const KZ_WaveData& b, const TMPars& p,
                                       plat::File* report);
  static float CorrelateEventFiles(const std::string& pathA, const std::string& pathB,
                                   const TMPars& p, plat::File* report);
  static int CrossCorrelateTemplates(const std::string& folder, const TMPars& p);
  static int ReadCCTemplates(const std::string& reportPath, const std::string& matrixPath);

  // The log (null when none is open) and its path.
  std::unique_ptr<plat::File> m_fpLog;
  std::string m_szLogPath;

  int m_nSta = 0;
  int m_nWin = 0;
  int m_nBefore = 0;
  int m_nNoiseLen = 0;
  int m_nGap = 0;
  std::vector<int> m_pUsedSta;
  std::vector<KZ_Vector3D> m_pSlowness;
  int m_nLen = 0;
  float m_fDt = 0.0f;
  std::vector<std::vector<float>> m_ppCC;
  std::vector<float> m_pAmpRatio;
  std::vector<std::string> m_ppLabel;
  TMCandidate m_Cand[kMaxCandidates];

 private:
  void Log(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  bool SetupFromReference(const KZ_WaveData& ref, const TMPars& p);
  void ReleaseArrays();
  void EndRun(int scanned, int detected);

  // How a record is scanned: lags 0..nScan-1 of the correlation traces, peaks sought in
  // [peakFrom, peakTo). Event files use the whole record as the template allows; chunks
  // of a long recording examine only their own share so that overlaps count once.
  struct ScanPlan {
    bool chunk = false;
    std::int64_t origin = 0;   // sample index of the record start in the recording
    std::int64_t ownFrom = 0;  // detections are kept only within [ownFrom, ownTo)
    std::int64_t ownTo = 0;
  };
  int Detect(KZ_WaveDataSeg2& rec, TMTemplateArray& templates, int count, TMPars& p,
             const ScanPlan& plan);
  // Fills m_pUsedSta, m_pSlowness and m_ppLabel for a template; the number of stations
  // used and the smallest and largest template pick among them.
  int SelectStations(const KZ_WaveData& tpl, const KZ_WaveData& rec, int M, const TMPars& p,
                     int* minPick, int* maxPick);
  int WriteDetections(KZ_WaveDataSeg2& rec, TMTemplateArray& templates, TMPars& p,
                      const ScanPlan& plan, double dX, double dY, double dZ);
  int WriteCorrelationTraces(const std::string& path, int rows, int columns, double julianDay);

  int m_nCand = 0;
  TMCorrelator m_corr;
  std::vector<std::vector<TMWindowSpectrum>> m_spec;  // per template and station (cached)
  std::vector<int> m_specBlock;   // 2 x block size (+1 with mean removal) of the cache
  std::vector<double> m_written;  // absolute times (us) of detections written by the scan
};
