// Peak list of a continuous AE record: per peak a time (whole seconds and microseconds
// after m_tStart), a magnitude level in quarter units and a flag (0 = excluded as noise).
// The list is read from and written to peak files and serves the window statistics of
// the time-series and hypocentre plots.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One row of the moving-window table.
struct AEPeakWindowRow {
  double logN = 0.0;     // log10 N, rounded to single precision
  double bML = 0.0;      // b by maximum likelihood
  double relErr = 0.0;   // 1 / sqrt(N)
  double aLSQ = 0.0;     // intercept of the least-squares line
  double bLSQ = 0.0;     // slope of that line, made positive
  double bLSQErr = 0.0;  // standard error of the slope
  double tStart = 0.0;   // window start time
  double tEnd = 0.0;     // window end time
  double tMiddle = 0.0;  // time of the middle peak
};

class CAEPeak {
 public:
  // Slots of the cumulative level counts: levels 0 .. 11 (magnitudes 0 .. 2.75).
  static constexpr int kLevelSlots = 12;

  int m_nFirstRecord = 0;  // file index of the first record the last read accepted
  int m_nCurrent = 0;      // paging state of the time-series view
  int m_nPageFirst = 0;
  int m_nPageSize = 0;        // 0: the view pages by time
  std::int64_t m_tStart = 0;  // origin of the peak times, seconds since 1970
  std::vector<std::int32_t> m_pSec;
  std::vector<std::int32_t> m_pUSec;
  std::vector<std::uint8_t> m_pLevel;  // magnitude = 0.25 x level
  std::vector<std::uint8_t> m_pFlag;   // 0 = excluded
  int m_nCount = 0;
  int m_nFileKind = 0;  // 1 after a binary read, 2 for a "pk2" file; text reads keep it
  std::string m_strSource;
  std::vector<AEPeakWindowRow> m_pRows;
  int m_nRows = 0;

  CAEPeak() = default;
  virtual ~CAEPeak() = default;

  int Free();
  // Fixed capacity for n entries; the count stays 0.
  int Alloc(int n);
  int Capacity() const { return static_cast<int>(m_pSec.size()); }

  // Time of entry i (clamped into the list); 0 for an empty list.
  double GetTime(int i) const;

  int FindUnordered(int i) const;
  int RemoveLeadingUnordered();
  int TruncateUnordered();
  int ShiftTime(int i, int dSec, int dUSec, int before);
  int RemoveRange(int i, int j);

  // Statistics of the flagged peaks in [t1, t2]; aLSQ (with bLSQ and bLSQErr), logRate,
  // releaseRate, firstIndex and n are optional. Returns the size of cum (12).
  int WindowStatistics(double t1, double t2, int cum[kLevelSlots], double* logN, double* bML,
                       double* relErr, double* aLSQ, double* bLSQ, double* bLSQErr, double* logRate,
                       double* releaseRate, double f, int* firstIndex, int* n) const;
  // Correlation integral of the flagged peak times in [t1, t2]; returns the peaks used.
  int IntervalHistogram(double t1, double t2, double logR[26], double logC[26], int* nBins) const;
  void MovingWindowStatistics(int n, int step);
  int CountInWindow(double t1, double t2) const;
  const AEPeakWindowRow* FindWindowRow(double t) const;

  // Writes the flagged peaks of [t1, t2]: a KV text file for ".kv0", else PKF1.
  // 0 when the file cannot be created or written.
  int Save(const std::string& path, double t1, double t2) const;
  // Reads a peak file, replacing the list; 0 (list unchanged) when the file cannot be
  // read or is not a peak file.
  int Load(const std::string& path, int minLevel);
  int LoadText(const std::string& path, int minLevel);

 private:
  void SetEntry(int k, double time, std::uint8_t level, std::uint8_t flag);
  // WindowStatistics with the search for the window's first peak starting at `from`,
  // which must not lie beyond that peak.
  int WindowStatisticsFrom(int from, double t1, double t2, int cum[kLevelSlots], double* logN,
                           double* bML, double* relErr, double* aLSQ, double* bLSQ, double* bLSQErr,
                           double* logRate, double* releaseRate, double f, int* firstIndex,
                           int* n) const;
};
