// One acoustic-emission event as recorded: 16-bit samples of every channel, the fixed
// header and the first-arrival picks of every channel. Knows the numbered event files of
// an experiment (folders of a thousand events) and steps through them; the SEG-2, .aew
// and long-record classes (AEWaveSeg2.h) override its reading and naming.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aecore/catalogue/AEHRecord.h"
#include "aecore/waveform/AEWHeader.h"
#include "base/numerics/KZ_TSanaAR.h"

struct AESensorTable;
class CAEHypo;
class CAETemplateSet;

// Work arrays of the picker and the source parameters hold this many elements.
constexpr int AEW_WORK_SIZE = 16420;
// Channels a record may have; event files claiming more are refused as damaged.
constexpr int AEW_MAX_CHANNELS = 256;

// Options of the automatic pick (absent: factor 3 and no templates).
struct AEPickOptions {
  float fPolarityFactor = 3.0f;
  CAETemplateSet* pTemplates = nullptr;
  // AR order of the noise and signal models of the change-point pick.
  int nAROrder = 5;
  // The change point between the two models places the first pick (the trace page's
  // "Finds change point" commands); otherwise the noise-model picker places it, which
  // holds up better on quiet onsets.
  bool bChangePoint = false;
};

class CAEWave {
 public:
  CAEWave();
  virtual ~CAEWave();
  CAEWave(const CAEWave&) = delete;
  CAEWave& operator=(const CAEWave&) = delete;

  // Virtual operations, in the order the file classes override them.
  virtual int Save();
  virtual int SaveAs(const std::string& path);
  virtual int ReadSamples(const std::string& path, std::int16_t* buffer);
  virtual int Load(const std::string& path);
  virtual int Step(int step);
  virtual int NextFile(int event, std::int16_t* buffer);
  virtual int OpenEvent(int event);

  bool Allocate(int channels, int samples, std::int16_t rate);
  int LoadAew01(const std::string& path);
  int LoadOld(const std::string& path);
  int SaveNumbered(int event, int velocityNumber);
  void SetFileSet(const std::string& name, const std::string& folder, int event, int fileNo);
  std::string GetStartTimeText() const;
  void UpdateRange();
  int GetNumChannels() const { return m_pHeader ? m_pHeader->nChannels : 0; }

  // Picks.
  int AutoPick(int channel, int startPick, int offset, int end,
               const AEPickOptions* options = nullptr);
  void SetPick(int sample, float amplitude, float rise, float sn, std::int16_t polarity,
               int channel);
  void SetPicks(const float times[], const float amplitudes[], const float rises[],
                const float sn[], const std::int8_t polarities[], const std::int8_t sensors[],
                int n);
  int SetPicksFromRecord(const AEHRecord& rec);
  float GetPickSample(int channel) const;
  bool CheckWaveform(int flag) const;
  float PeakToPeak(int channel) const;
  float NoiseSum(int channel) const;
  bool IsPulseShot(int channel, int index) const;

  // Into the catalogue engine's current record (defined with the engine's processing):
  // Fc and the two Mw (returns the arrivals used; 0: none, Fc and Mw 0); picking and
  // location of the event in [start, end] (whole record when both < 1), re-picking the
  // channels left out and checking the onsets (the final arrival count, 0 when the
  // waveform check fails); and the full processing: picking repeated around the located
  // origin, template picks, source parameters and mechanism.
  int SourceParameters(CAEHypo* hypo);
  int PickAll(CAEHypo* hypo, int start, int end, int check);
  int ProcessEvent(CAEHypo* hypo, int start, int end, int check);
  // Second-order integration of x[0..n-1] in place, w being the sample interval in seconds.
  static void IntegrateSeries(float x[], int n, float w);

  // SEG-2 keywords and the event-file writers of the other layouts.
  void ParseSeg2FileString(const char* text);
  void ParseSeg2TraceString(const char* text, int trace);
  int SaveSeg2Event(const std::string& path, const AEHRecord& rec, const AESensorTable& sensors);
  int SaveAew(const std::string& path, const AEHRecord& rec, const AESensorTable& sensors);

  // The path of event i of the set the current path belongs to.
  std::string EventPath(int event) const;
  // The file OpenEvent reads event i from (as built, before the case on disk is found);
  // empty where events are not files of their own (a long recording).
  virtual std::string EventFile(int event) const { return EventPath(event); }

  std::string m_strName = "TEST0000";
  std::string m_strFolder = "C:";
  std::string m_strPath;
  char m_szComment[512] = {};
  std::int16_t m_nSaveState = 0;
  std::int16_t m_nViewMode = 0;
  std::int32_t m_nEvent = 0;
  std::int32_t m_nFileNo = 0;
  std::unique_ptr<AEWHeader> m_pHeader;
  // Samples, channel after channel; then one element per channel in each pick array.
  std::vector<std::int16_t> m_pSamples;
  std::vector<float> m_pPickTime;  // microseconds from the first sample
  std::vector<float> m_pPickAmp;
  std::vector<float> m_pPickSN;
  std::vector<float> m_pSpareA;
  std::vector<float> m_pSpareB;
  std::vector<float> m_pPickRise;  // microseconds
  std::vector<std::int16_t> m_pPolarity;
  std::vector<std::int16_t> m_pSpareFlag;
  std::vector<std::int32_t> m_pSensor;   // channel shown at each position
  std::vector<std::int32_t> m_pArrival;  // arrival index in the catalogue record
  std::int32_t m_nCurChannel = 0;
  std::vector<float> m_pGain;
  std::vector<double> m_pAic;             // AIC curve of the last automatic pick
  std::vector<double> m_pSpectrum;        // AR power spectrum of the source parameters
  std::unique_ptr<KZ_Ary_> m_pSeries;     // series under analysis, indices from 1
  std::unique_ptr<KZ_Ary_> m_pCoef;       // AR coefficients
  std::unique_ptr<KZ_Ary_> m_pErrNoise;   // noise-model prediction errors of the picker
  std::unique_ptr<KZ_Ary_> m_pErrSignal;  // signal-model prediction errors
  std::vector<float> m_pDither;           // 100 counts of unit Gaussian noise per sample, scaled
                                          // to each channel's noise when picking
  KZ_TSanaAR m_AR;                        // the picker of every pick of this record
  std::int32_t m_nAicFirst = 0;
  std::int32_t m_nAicLast = 0;
  std::int32_t m_nLastPick = 0;
  std::int32_t m_nLastChannel = -1;
  double m_dStartJD = 0.0;  // start as a Julian day, from a SEG-2 TIME_BEGIN

 protected:
  // Reads a numbered event file; 0 (record unchanged) when it cannot be opened or its
  // header is damaged.
  int ReadNumbered(const std::string& path);
  // True when the samples and every per-channel array hold what the header's counts say,
  // so a writer never reads past them; otherwise shows "Save file failed!!".
  bool CanWrite() const;
  // Fills the dither table added to the samples before picking.
  void FillDither();
  int WriteSeg2(const std::string& path, const AEHRecord* rec, const AESensorTable* sensors);
};

// Decimal value of the six characters before a path's last `suffixLength` characters, or
// -1 when they are not six digits.
int AEW_EventNumberOfPath(const std::string& path, int suffixLength);
