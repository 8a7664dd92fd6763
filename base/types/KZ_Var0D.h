// The common part of every data variable: title, unit, value range, plot scale, log mode,
// plot settings and the axis-role flags that the table drawings and the data sheet read.
#pragma once
#include <cstdint>
#include <string>

// Axis-role flags of a variable.
constexpr std::uint32_t KZ_AXIS_X = 1;
constexpr std::uint32_t KZ_AXIS_Y = 2;
constexpr std::uint32_t KZ_AXIS_Z = 4;

class KZ_Var0D {
 public:
  std::string m_strTitle;
  std::string m_strUnit;
  double m_dMin = 0.0;
  double m_dMax = 1.0;
  double m_dMean = 0.0;  // written only by the 2-D variable's range computation
  double m_dScale = 1.0;
  // 0: one double per sample; 1: two doubles per sample; 2: three doubles per sample.
  std::int16_t m_nComponents = 0;
  // 0 linear, 1 decimal log, 2 natural log; any nonzero value plots decimal logarithms.
  std::uint16_t m_nLog = 0;
  std::uint16_t m_nLineWidth = 20;
  std::uint16_t m_nPlotStyle = 2;  // 1 symbols, 2 line, 4 bars, 8 error bars
  float m_fPlotMin = 0.0f;
  float m_fPlotMax = 1.0f;
  float m_fPlotSpan = -999999.0f;  // -999999: not yet computed
  std::int32_t m_nPlot[3] = {0, 0, 1};
  std::uint32_t m_nInfo = 0;
  std::uint32_t m_nAxisFlags = 0;
  std::uint32_t m_nRangeFilter = 0;  // nonzero: values outside [min, max] count as out of range
  std::int32_t m_nColour = -1;       // -1: automatic
  std::int32_t m_nColour2 = -1;

  KZ_Var0D() = default;
  virtual ~KZ_Var0D() = default;
  KZ_Var0D(const KZ_Var0D&) = default;
  KZ_Var0D& operator=(const KZ_Var0D&) = default;

  virtual std::uint32_t GetAxisFlags() const { return m_nAxisFlags; }
  virtual std::uint32_t SetAxisFlags(std::uint32_t flags) { return m_nAxisFlags = flags; }
  virtual void UpdateRange() {}
  virtual double Mean() { return 0.0; }
  virtual void SetRange(double min, double max) {
    m_dMin = min;
    m_dMax = max;
  }
  virtual void SetMin(double min) { m_dMin = min; }
  virtual void SetMax(double max) { m_dMax = max; }
  virtual void Smooth(int /*passes*/, int /*unused*/) {}

  // Stores all of them; the title gets the log-mode prefix and loses zero decimals of a
  // trailing number (see KZ_CleanTitle).
  void SetInfo(const std::string& title, const std::string& unit, int components, double min, double max,
               double scale, int logMode, std::uint32_t info);
};

// Title clean-up: `text` followed by one ","; every ".000000,", ".00000,", ".0000,",
// ".000,", ".00," and ".0," (in that order) becomes "."; trailing commas are cut. With
// `exponents`, "0e+", "e+0", "0e-" and "e-0" are then shortened, each twice in a row, so
// that "1.500000e-005" ends as "1.5000e-5".
std::string KZ_CleanTitle(const std::string& text, bool exponents);
