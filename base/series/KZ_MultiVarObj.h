// The program's table of numbers: columns (KZ_Var1D) over one column-major block of
// doubles, an "H" variable with one value per column (the parameter of each column in
// colour maps and contour lines), header lines, a palette and a few drawing settings;
// with its KV text files and the ".HIS" and ".CSV" column imports.
//
// Loaders read a whole file before they touch the table: a file they refuse leaves the
// loaded table as it was. Data that do not fit the table are cut at its capacity and the
// user is told so; nothing is ever written past the table's columns or rows.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/plot/KZ_Pal1C.h"
#include "base/types/KZ_Var1D.h"

namespace plat {
class CDC;
class File;
}

class KZ_MultiVarObj {
 public:
  static constexpr int kHeaderLines = 16;

  int m_nColumns = 0;         // columns in use
  int m_nRows = 0;            // rows in use (set by the loaders)
  int m_nColumnCapacity = 0;  // columns allocated
  int m_nRowCapacity = 0;     // rows allocated per column
  int m_nMatrixColumns = 0;   // analysis matrix (500 x 2 after a sine fit)
  int m_nMatrixRows = 0;
  std::vector<double*> m_ppData;  // column i = block + i x row capacity
  std::vector<double> m_Block;    // column capacity x row capacity doubles
  std::vector<double> m_HValues;  // samples of the H variable (at least column capacity)
  double** m_ppMatrix = nullptr;  // optional analysis result, owned (KZ_FreeMatrix)
  std::vector<KZ_Var1D> m_Columns;
  std::unique_ptr<KZ_Var1D> m_pHVar;
  // Line 0 is the table title; the line after the last counted one may hold the start time.
  std::string m_strHeader[kHeaderLines];
  int m_nHeaders = 1;
  int m_nStep = 1;       // subdivisions of the colour map, step of the other drawings
  int m_nGraphMode = 0;  // 0 x-y plot, 1 polar plot, other: value against angle
  KZ_Pal1C m_Palette;
  int m_nColourLevels = 8;  // palette scheme of colour maps
  std::unique_ptr<KZ_MultiVarObj> m_pSubTable;
  float m_fSizeScale = 50.0f;

  KZ_MultiVarObj() = default;
  virtual ~KZ_MultiVarObj();
  KZ_MultiVarObj(const KZ_MultiVarObj&) = delete;
  KZ_MultiVarObj& operator=(const KZ_MultiVarObj&) = delete;

  // (Re)allocates for at least `columns` x `rows` (reusing the block when it is large
  // enough, else at least 3 x 100), recreates the columns as empty "Null" columns and
  // clears all values. The column count in use is left to the caller.
  void SetSize(int columns, int rows);
  KZ_Var1D* GetColumn(int i);  // null outside the column capacity
  int GetFirstXColumn() const;
  int GetFirstYColumn() const;
  // False when a column with the range filter set holds a value outside its range.
  bool IsRowInRange(int row) const;
  // Index range of the plotted part of the axis column (needs current plot values). A
  // table without columns gives first 0 and last -1.
  void GetAxisIndexRange(int* first, int* last) const;
  int RemoveOutOfRangeRows(int column);
  int FillUndefined(int column);
  void SortRows(int column, bool descending);
  // Into `destination`: per column k >= 1 the H value and the x position where column k
  // first crosses `level`.
  void MakeContourLine(KZ_MultiVarObj* destination, float level);

  // Derived columns, appended after the last column; each returns the new column count,
  // or 0 (telling the user) when the table has no free column.
  int AddScaledColumn(int column, float factor);
  int AddSumColumn(int first, int last, std::uint32_t axisFlags);
  int AddCorrelationColumn(int a, int b);
  int AddIntegralColumn(int column);    // 0 without an X column
  int AddDerivativeColumn(int column);  // 0 without an X column
  int RemoveColumn(int column);
  int RemoveUnselectedColumns();

  // Analyses into this or another table (KZ_MultiVarObj_analysis.cpp).
  // Two columns: x over the range text and model(x) (params[0] receives x); returns 2.
  // names[0] and names[1] are "title,unit" of the x and the model column.
  int SetFromFunction(double (*model)(double*), double params[], const char* names[2],
                      const char* rangeText);
  // Spectrum of y against the abscissae x over rows first..last (the whole column when
  // last <= first) into out; 1, or 0 with out untouched when fewer than two rows are
  // selected or the first two abscissae are equal.
  int PowerSpectrum(const KZ_Var1D* x, const KZ_Var1D* y, int first, int last,
                    KZ_MultiVarObj* out);
  // Histogram of one of this table's columns (rows filtered by its range filters) into
  // out, with fitted distributions when withFits; 3, or 0 with out untouched when the
  // range is empty, nbins < 1 or no value falls into a bin.
  int ProbabilityDensity(const KZ_Var1D* column, int first, int last, KZ_MultiVarObj* out,
                         double lo, double hi, int nbins, int withFits);
  // Singular spectrum analysis of column iy (abscissae in column ix) into this table;
  // series of fewer than 6 samples leave the table as it was.
  KZ_MultiVarObj* SingularSpectrum(int ix, int iy, int flag);
  // Fits model 1-5 or 8 to the first Y column against the first X column into a "*Fit"
  // and a "*Fit_Err" column and a "Fitting(...)" header line. 0 when there is no X or Y
  // column, the model is unknown, or there is no room for the two columns (nothing
  // changes then); 1 otherwise.
  int Fit(int model, int lag, const float* c);

  // Drawings into a DC in 0.01 mm with y up; the frame's top-left corner is (x, y)
  // (KZ_MultiVarObj_plot.cpp in base/plot). DrawXY chooses by the table's shape among
  // the colour map, the profiles and the curves; DrawPolar and DrawValueVsAngle draw a
  // 10000-unit diagram centred at (x + 5000, y - 5000).
  void DrawXY(plat::CDC* dc, int x, int y, int w, int h, char grid);
  void DrawXYCurves(plat::CDC* dc, int x, int y, int w, int h, char grid);
  void DrawProfiles(plat::CDC* dc, int x, int y, int w, int h, char grid);
  void DrawColourMap(plat::CDC* dc, int x, int y, int w, int h, char grid);
  void DrawPolar(plat::CDC* dc, int x, int y, int w, int h);
  void DrawValueVsAngle(plat::CDC* dc, int x, int y, int w, int h);

  // KV text files.
  int WriteKVData(plat::File* file);
  int SaveKVData(const std::string& path);
  // ".HIS" and ".CSV" by extension, anything else as a KV file. The rows read, or 0 when
  // the file cannot be opened or is refused.
  int LoadFile(std::string path);
  int LoadBlankColumns(const std::string& path);
  int LoadCommaColumns(const std::string& path);
  // Appends the columns of a file; the new column count, 0 when the file cannot be loaded.
  int AddColumnsFromFile(const std::string& path);

 private:
  bool HasFreeColumn();
  int FirstXColumn() const { return GetFirstXColumn(); }
  // Copies a column's data (n values) and settings into another column.
  void MoveColumn(int to, int from, int n);
};

// Copies what a column carries from one table to another or within one: count,
// components, range, scale, title, unit, log mode, plot range and span, the plot integers
// the axis flags and the contour level (not line width, plot style, colours or range filter).
void KZ_CopyColumnSettings(KZ_Var1D& to, const KZ_Var1D& from);
