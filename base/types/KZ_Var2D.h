// A data variable over a rectangular grid: nx by ny samples in a caller's row-pointer
// matrix (two interleaved doubles per sample for two-component data), with owned plot
// matrices, smoothing, and the ".lm3" grid file with its 512-byte header.
#pragma once
#include <cstdint>
#include <string>

#include "base/types/KZ_Var0D.h"

namespace plat {
class File;
}

// Sizes of the 512-byte grid-file header: the description field at offset 50 and the
// label field at offset 116 (each with its terminating zero).
constexpr int KZ_GRID_HEADER_BYTES = 512;
constexpr int KZ_GRID_DESCRIPTION_MAX = 63;
constexpr int KZ_GRID_LABEL_MAX = 395;

class KZ_Var2D : public KZ_Var0D {
 public:
  int m_nx = 0;                  // first dimension (x index)
  int m_ny = 0;                  // second dimension (y index)
  double** m_ppData = nullptr;   // nx row pointers; the caller's
  double** m_ppErr = nullptr;    // same shape or null; the caller's
  double** m_ppPlot = nullptr;   // owned nx x ny plot values
  double** m_ppPlotErr = nullptr;  // owned, only with errors
  double m_dPlotMin = 0.0;
  double m_dPlotMax = 0.0;
  double m_dPlotSpan = 0.0;

  KZ_Var2D() = default;
  ~KZ_Var2D() override;
  KZ_Var2D(const KZ_Var2D&) = delete;
  KZ_Var2D& operator=(const KZ_Var2D&) = delete;

  // Range and mean of the samples (magnitudes of two-component samples); an empty range
  // becomes [max / 2, 3 max / 4].
  void UpdateRange() override;
  double Mean() override { return m_dMean; }
  // Five-point smoothing of the inner cells; at least one pass.
  void Smooth(int passes, int unused) override;

  // Mode 'b': doubles (type 8) or floats (type 4), x index fastest, two-component data as
  // all x then all y components; otherwise text, one line per x index. 0 without data.
  virtual int WriteTo(plat::File* file, char mode, int type);
  // 1 when written; 0 without data or when the file cannot be created.
  virtual int SaveFile(const std::string& path, char mode, int type);

  void SetData(const std::string& title, const std::string& unit, double** data, double** errors, int nx, int ny,
               int components, double min, double max, double scale, int logMode, std::uint32_t info);
  void MakePlotValues(bool recomputeRange, bool normalise);
  // A 512-byte-header grid file at the file's position: header, `value` as a double, then
  // the samples as WriteTo writes them in mode 'b'. 0 without data.
  int SaveGridFile(plat::File* file, float x0, float x1, float y0, float y1, const std::string& label, double value,
                   const std::string& prefix, int type);
  // Rewrites the header at the start of a written grid file; returns 1.
  int WriteGridHeader(plat::File* file, float x0, float x1, float y0, float y1, int code, const std::string& label,
                      int type);

 private:
  double Magnitude(int i, int j) const;
};

// Fields of a 512-byte grid-file header (all else zero). Descriptions and labels longer
// than their fields are cut to KZ_GRID_DESCRIPTION_MAX and KZ_GRID_LABEL_MAX characters.
struct KZ_GridHeader {
  int type = 8;
  int nx = 0, ny = 0;
  double xStep = 0.0;  // truncated to a whole number when written
  float scale = 1.0f, x0 = 0, x1 = 0, y0 = 0, y1 = 0, min = 0, max = 0;
  int code = -1;
  int components = 1;
  std::string description;
  std::string label;
};
// The header's 512 bytes.
void KZ_FormatGridHeader(const KZ_GridHeader& h, unsigned char out[KZ_GRID_HEADER_BYTES]);
