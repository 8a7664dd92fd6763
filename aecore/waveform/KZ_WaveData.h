// Multichannel waveform container: channels with their SEG-2 keyword values, one file
// header, and operations on all channels at once (append, rotations of horizontal
// components, onset classification, band-pass filtering, sample backup). Files are read
// and written by the SEG-2 and text functions declared at the end. Failures are reported
// by return values; the container shows no message itself.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/numerics/KZ_IIRFilter.h"

// Header record of a SAC file: the published 632-byte layout of 70 floats, 40 integer
// words and 24 texts of 8 characters (the event name takes two), all initialised to the
// format's "undefined" values.
struct KZ_SacHeader {
  enum Float {
    DELTA = 0,
    B = 5,
    E = 6,
    O = 7,
    T1 = 11,
    T2 = 12,
    EVLA = 35,
    EVLO = 36,
    EVDP = 38,
    USER0 = 40,
    USER1 = 41,
    CMPAZ = 57,
    CMPINC = 58
  };
  enum Int {
    NZYEAR = 0,
    NZJDAY,
    NZHOUR,
    NZMIN,
    NZSEC,
    NZMSEC,
    NVHDR,
    NPTS = 9,
    IFTYPE = 15,
    IDEP = 16,
    IZTYPE = 17,
    LEVEN = 35
  };
  // Byte offsets in the text block; KEVNM is 16 characters long.
  enum Text { KSTNM = 0, KEVNM = 8, KUSER1 = 144, KCMPNM = 160, KNETWK = 168 };
  static constexpr int kBytes = 632;
  float f[70];
  std::int32_t n[40];
  char k[192];
  KZ_SacHeader();
  void SetText(int offset, const std::string& text);  // 8 characters, blank-padded
  std::string Text(int offset) const;                 // without trailing blanks
  std::string EventName() const;                      // KEVNM, without trailing blanks
  void Encode(std::uint8_t* bytes) const;             // little-endian, kBytes
  void Decode(const std::uint8_t* bytes);
};

// Station and channel description used by the GSE2.1 writer.
class CStationObj {
 public:
  CStationObj(const std::string& station, const std::string& channel);
  std::string m_strStation, m_strChannel, m_strName;  // name = station + channel
  std::string m_strCode5 = "99555", m_strCode3 = "???";
  std::string m_strInfo[3] = {"Unknown", "Unknown", "Unknown"};
  std::string m_strExtra[2];
  double m_fLat = -181.0;  // -181: unknown
  double m_fLon = 0.0, m_fElev = 0.0, m_fDepth = 0.0, m_fCorrP = 0.0, m_fCorrS = 0.0;
  float m_fAzimuth = 0.0f;  // degrees
  float m_fCalib = 1.0f, m_fCalPer = 1.5f;
  std::int16_t m_nFlags[8] = {};
  std::string m_strCoordSys;  // GSE2.1 coordinate system
  bool m_bUse = true;         // false: the GSE2.1 writer passes the channel over
};

class KZ_WaveTrace {
 public:
  explicit KZ_WaveTrace(int n);
  ~KZ_WaveTrace();
  KZ_WaveTrace(const KZ_WaveTrace&) = delete;
  KZ_WaveTrace& operator=(const KZ_WaveTrace&) = delete;

  bool Resize(int n);
  bool AppendSamples(const KZ_WaveTrace& other);
  void ComputeStats(bool removeMean);
  void SetPick(int index, float snr);
  void SetPickAmplitude(double a);
  float WindowValue(int unused, int pickIndex, float* delay);
  KZ_SacHeader* GetHeader() const { return m_pSac.get(); }
  void AttachSacHeader(std::unique_ptr<KZ_SacHeader> h) { m_pSac = std::move(h); }

  char m_szLineId[32] = "";
  char m_szNote[256] = "";
  std::int16_t m_nChannel = 0;
  double m_fReceiver[3] = {0, 0, 0};
  double m_fSource[3] = {0, 0, 0};
  double m_fDescale = 1.0;
  double m_fDrawSize = 1.0;
  double m_fMax = 1.0;
  double m_fMin = -1.0;
  double m_fMean = 0.0;
  double m_fInterval = 0.01;
  double m_fSkew = 0.0;
  double m_fDelay = 0.0;
  std::int32_t m_nPick = 0;
  std::int32_t m_nPick2 = 0;
  std::int16_t m_nPolarity = 0;
  double m_fPickAmp = 0.0;
  double m_fSNR = 0.0;
  std::int16_t m_nStack = 0;
  std::int16_t m_nFormat = 0;
  std::int32_t m_n = 0;
  std::int32_t m_nCapacity = 0;
  char m_szUnit[10] = "";
  char m_cComponent = 0;
  double m_fTimeBegin = 0.0;
  // GSE2.1 channel fields: a 3-character channel code, calibration factor and period,
  // horizontal and vertical orientation (-1: undefined).
  char m_szGseChannel[4] = "";
  double m_fCalib = 1.0, m_fCalPer = 1.0, m_fHang = -1.0, m_fVang = -1.0;
  std::vector<float> m_pData;         // m_nCapacity values, of which m_n are valid
  std::vector<float> m_pBackup;       // empty until BackupSamples
  CStationObj* m_pStation = nullptr;  // not owned

 private:
  std::unique_ptr<KZ_SacHeader> m_pSac;
};

struct KZ_WaveHeader {
  std::int16_t nChannels;
  char reserved[10];
  std::int32_t nStartSec;
  std::int32_t nStartUsec;
  char szDate[16];
  char szTime[16];
  char szInstrument[64];
  char szTraceSort[16];
  char szTimeUnits[32];
  char szUnits[32];
  char szWaveUnits[16];
  char szNote[128];
  char szComments[256];
  char szRcvNote[32];
  std::int16_t nSources;
  std::int16_t nReceivers;
  std::int16_t nRotation[2];
  std::int64_t nFirstSample;
};

// Copies text into a fixed array, cut to fit with its terminator.
template <std::size_t N>
void KZ_CopyText(char (&dst)[N], const char* src);

class KZ_WaveData {
 public:
  KZ_WaveData();
  virtual ~KZ_WaveData();
  KZ_WaveData(const KZ_WaveData&) = delete;
  KZ_WaveData& operator=(const KZ_WaveData&) = delete;

  virtual const char* GetDescription() const { return "Waveform File"; }
  virtual int RotateToRT();
  virtual int RotateToEN();
  // Writes by the path's last three characters: TXT (channels text when a is 1, else the
  // tab table), GSE, SAC (one file per channel into the path's folder), ACS (".sacs"),
  // anything else SEG-2 under the path ending in "sg2". Result of the writer chosen.
  virtual int SaveAs(const std::string& path, int a, int first, int count);
  virtual int Append(KZ_WaveData& other);
  virtual int Load(const std::string& path, int clear, std::int64_t first, std::int64_t last);
  // Loads the next existing file of the numbered series the path belongs to (six digits
  // before the ending), `step` numbers on; then, by mode, deletes (1) or renames the file
  // left ("S_" 2, "X_" 3, plain number -1). The number of the first candidate, or -1.
  virtual int StepFile(int step, int mode);
  virtual int GetEventNumber() const;
  virtual float GetSampleInterval() const;
  virtual int GetNumSamples(int channel) const;
  virtual float GetSampleInterval(int channel) const;
  virtual int GetNumSamples() const;
  virtual int GetDelaySamples(int i) const;

  int Count() const { return static_cast<int>(m_traces.size()); }
  KZ_WaveTrace* GetTrace(int i) const;
  // Adds a trace at the end (owned) and keeps the channel count.
  KZ_WaveTrace* AddTrace(std::unique_ptr<KZ_WaveTrace> t);
  int RemoveTrace(int i);
  void Clear(bool keepStations);
  bool BackupSamples();
  bool RestoreSamples();
  void Filter(float lowCorner, float highCorner);
  int OnsetClass(int index, float halfWidthSeconds, float ratio) const;

  std::int32_t m_nModified = 0;
  std::int32_t m_nSeg2Format = 4;
  std::int32_t m_nEvent = -1;
  std::int32_t m_nOnsetRef = 0;
  std::string m_strPath;
  KZ_IIRFilter m_filter;
  float m_fRefOffset = 0.0f;
  KZ_WaveHeader m_header;
  std::vector<std::unique_ptr<KZ_WaveTrace>> m_traces;
  std::vector<std::unique_ptr<CStationObj>> m_stations;
};

class KZ_WaveDataAE : public KZ_WaveData {
 public:
  ~KZ_WaveDataAE() override = default;
  // The program's event files: ".aew" (AEW01 layout) and numbered event files. Channels
  // first..last counted from 1 (both 0: all).
  int Load(const std::string& path, int clear, std::int64_t first, std::int64_t last) override;
  int ReadEventFile(const std::string& path, KZ_WaveHeader& header,
                    std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, std::int64_t first,
                    std::int64_t last);
};

class KZ_WaveDataSeg2 : public KZ_WaveDataAE {
 public:
  ~KZ_WaveDataSeg2() override = default;
  int Load(const std::string& path, int clear, std::int64_t first, std::int64_t last) override;
  int SaveSeg2(const std::string& path, int first, int count, int code);
};

// Zeroes the header and gives it the units of a fresh container.
void KZ_ResetWaveHeader(KZ_WaveHeader& h);

// SEG-2 and text files of the container. Traces are appended to `traces`; the header's
// channel count follows.
int KZ_Seg2Read(const std::string& path, KZ_WaveHeader& header,
                std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, std::int64_t first,
                std::int64_t last);
void KZ_Seg2ParseFileString(const char* text, KZ_WaveHeader& header);
void KZ_Seg2ParseTraceString(const char* text, KZ_WaveTrace& trace);
// Reads n samples of a data format code from `bytes` (holding KZ_Seg2DataBytes(code, n))
// into the trace and updates its statistics; an unknown code leaves the samples at 0.
int KZ_Seg2ReadTraceData(const std::uint8_t* bytes, int code, int n, KZ_WaveTrace& trace);
// Bytes n samples of a code take in a file (0 for an unknown code).
std::size_t KZ_Seg2DataBytes(int code, std::size_t n);
int Seg2_Write(const std::string& path, const KZ_WaveHeader& header,
               const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first, int count,
               int code);
int KZ_WriteChannelsText(const std::string& path, const KZ_WaveHeader& header,
                         const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first,
                         int count);
int KZ_WriteTxtTab(const std::string& path, const KZ_WaveHeader& header,
                   const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first, int count);

using KZ_TraceList = std::vector<std::unique_ptr<KZ_WaveTrace>>;

// Event files of the program. Numbered event files append channels first..last (counted
// from 1; 0 and 0 mean all), AEW01 files all their channels; both give the file's event
// number through `event` when it is not null. 0, appending nothing, when the file cannot
// be read or its counts do not fit its length.
int KZ_ReadAEWaveFile(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                      int first, int last, std::int32_t* event);
int KZ_ReadAew01File(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                     int first, int last, std::int32_t* event);

// Samples start..end-1 of every channel of a long recording. The file name decides the
// kind: "saq" raw segmented files (KZ_ReadRawBlock, "tdms" among them), "any" paired
// 16-channel windows (KZ_ReadAnyWindow), else a ".lng" record of 16-bit samples whose
// channels are described by the SEG-2 file of the same name ending in "sg2". With an
// empty header the traces are made from that description; later calls with the same
// header and traces refill them (resized when the range length changes). The header
// gets the start time of the range and its first sample index. 1, or 0 when the range
// does not lie inside the recording (nothing appended then).
int KZ_WaveData_ReadLongRange(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                              std::int64_t start, std::int64_t end);
// Raw files of 1 MHz samples named with their layout: "bit<n>" bits per sample (16;
// above 16 four bytes a sample), "chn<n>" channels (1), "seg<n>" samples per channel in
// each segment (10000). start must be a multiple of seg and end - start at most seg.
int KZ_ReadRawBlock(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                    std::int64_t start, std::int64_t end);
// One TDMS segment of interleaved samples, named with the same keys; at most 32 channels.
int KZ_ReadTdmsBlock(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                     std::int64_t start, std::int64_t end);
// Frames of 16 unsigned 16-bit values at 3 MHz, eight of them used; an "_A" file is read
// with its "_B" partner. From start on, windows of up to 6000 frames are read 3000 frames
// apart until more than three channels trigger (above 50 counts in samples 2000-2999);
// the traces of that window, or of the last one read, stay.
int KZ_ReadAnyWindow(const std::string& path, KZ_WaveHeader& header, KZ_TraceList& traces,
                     std::int64_t start, std::int64_t end);
// The one process-wide container that holds the description of a long recording.
KZ_WaveDataSeg2& KZ_LongRecordDescription();

template <std::size_t N>
void KZ_CopyText(char (&dst)[N], const char* src) {
  std::size_t i = 0;
  for (; src && src[i] && i + 1 < N; ++i) dst[i] = src[i];
  dst[i] = 0;
}
