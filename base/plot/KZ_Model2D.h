// A rectangular grid of node coordinates (up to 5000 nodes along each axis) that places a
// 2-D variable in world coordinates and draws it as a colour field: one filled rectangle
// per cell, or with subdivision a smooth field from a bicubic spline of the values.
#pragma once
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace plat {
class CDC;
}
class KZ_Pal1C;
class KZ_Var1D;
class KZ_Var2D;

class KZ_Model0D {
 public:
  virtual ~KZ_Model0D() = default;
  std::string m_strName;
  std::string m_strTitle;
};

class KZ_Model2D : public KZ_Model0D {
 public:
  static constexpr int kMaxNodes = 5000;

  std::string m_strXLabel;
  std::string m_strYLabel;
  int m_nx = 0;
  int m_ny = 0;
  double m_x0 = 0, m_x1 = 0;
  double m_y0 = 0, m_y1 = 0;
  std::vector<double> m_XNodes = std::vector<double>(kMaxNodes + 1, 0.0);
  std::vector<double> m_YNodes = std::vector<double>(kMaxNodes + 1, 0.0);
  int m_nCentreX = 0;
  int m_nCentreY = 0;

  // x 0 to 1500 with 16 nodes, y -4000 to -2800 with 21 nodes, title "null", labels "m".
  KZ_Model2D();
  ~KZ_Model2D() override = default;

  // A 512-byte-header grid file of the variable on this grid (doubles after the value);
  // 0 when the file cannot be created or the variable has no data.
  virtual int WriteBinary(const std::string& path, KZ_Var2D* variable, const std::string& label, double value);

  // At most 5000 nodes per axis, spaced by the range over the requested count less one.
  int SetGrid(float x0, float x1, int nx, float y0, float y1, int ny, const std::string& title,
              const std::string& xLabel, const std::string& yLabel);
  // Nodes from the plot values of two columns (which must be current).
  int SetGridFromColumns(const KZ_Var1D* x, const KZ_Var1D* y, const std::string& title);

  // Draws the variable (the magnitudes of two-component data) with DrawCells.
  void DrawField(plat::CDC* dc, int originX, int originY, double xScale, double yScale, const KZ_Pal1C* palette,
                 const KZ_Var2D* variable, int subdivisions);
  // Device point of world (x, y): ((x - x0) xScale + originX, (y - y0) yScale + originY
  // - (y1 - y0) yScale), each truncated. Subdivisions below 2 paint one rectangle per
  // value above the palette's cut-off inside the grid's range; from 2 on, each cell
  // becomes n x n rectangles coloured by the bicubic spline of the values.
  void DrawCells(plat::CDC* dc, int originX, int originY, double xScale, double yScale, const KZ_Pal1C* palette,
                 double* const* values, int nx, int ny, int subdivisions);
};
