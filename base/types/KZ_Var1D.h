// A series of samples held in a caller's buffer, with its statistics, smoothing, plot
// values and a small file of its own. Every column of the data table is one of these.
#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/types/KZ_Var0D.h"

namespace plat {
class File;
}

class KZ_Var1D : public KZ_Var0D {
 public:
  int m_nCount = 0;
  // count x (1, 2 or 3) doubles by component count; the caller's, never freed here.
  double* m_pData = nullptr;
  double* m_pErr = nullptr;  // one double per sample or null; the caller's
  // Owned plot arrays (at least count entries once made; errors only with an error buffer).
  std::vector<double> m_PlotValues;
  std::vector<double> m_PlotErrors;
  double m_dStep = 1.0;  // set by callers; nothing here reads it
  // The value at which the column is cut by a contour line (the data sheet's "CounterLine"
  // reads the second column's). NaN until a caller sets it.
  float m_fLevel = std::numeric_limits<float>::quiet_NaN();

  KZ_Var1D() = default;
  ~KZ_Var1D() override = default;
  KZ_Var1D(const KZ_Var1D&) = default;
  KZ_Var1D& operator=(const KZ_Var1D&) = default;

  void UpdateRange() override;
  double Mean() override;
  // 1-2-1 smoothing of the inner samples, `passes` times (the second argument is not read).
  void Smooth(int passes, int unused) override;

  // Count, title and unit as given, the range from the samples rounded outwards to nice
  // values, then SetAll.
  virtual void Set(int count, const std::string& title, const std::string& unit,
                   std::uint32_t axisFlags);
  // Count, cleaned title (with the exponent rules), unit, the range (computed from the
  // samples when |max - min| < 1e-10) and the axis flags.
  virtual void SetAll(int count, double min, double max, const std::string& title,
                      const std::string& unit, std::uint32_t axisFlags);
  // Text (mode other than 'b') or binary ('b'; doubles for type 8, else floats) samples
  // after the header double. No count is written.
  virtual void WriteTo(plat::File* file, char mode, int type, double header);
  // 1 when written; 0 without samples or when the file cannot be created.
  virtual int SaveFile(const std::string& path, char mode, int type, double header);
  // Reads back what WriteTo wrote for the current count; 1 when read, 0 without samples,
  // when the file cannot be opened or when it ends before all samples are read.
  virtual int LoadFile(const std::string& path, double* header, char mode, int type);
  // Subtracts the mean from scalar samples and returns it; 0 otherwise.
  virtual double RemoveMean();

  // SetInfo, then keeps the buffers and count, makes the plot arrays, computes the range
  // when min >= max, and fills the plot values.
  void Attach(const std::string& title, const std::string& unit, double* samples, double* errors,
              int count, int components, double min, double max, double scale, int logMode,
              std::uint32_t info);
  void MakePlotValues(bool recomputeRange, bool normalise);
  // Sample i as a scalar (magnitude of a vector sample); 0 without samples.
  double GetMagnitude(int i) const;
  void ToLog10();
};

// The text of a number for cells and labels: whole numbers as "%d", 0.01 .. 100 with six
// decimals, above 100 to below 10000 with one decimal and trailing zeros cut ("250."),
// others with six significant digits. `buffer` must hold 32 characters.
void KZ_FormatNumber(double value, char* buffer);
