// The "Map" property page of the x-y graph page: plot size and margins in millimetres
// and the geomodel's x and y ranges in metres.
#pragma once
#include "views/proppages/PropPage.h"

class CPPMap : public CPropPageFields {
 public:
  unsigned m_nPlotWidth = 0;
  unsigned m_nPlotHeight = 0;
  float m_fXMin = 0;
  float m_fXMax = 0;
  float m_fYMin = 0;
  float m_fYMax = 0;
  int m_nMarginX = 0;
  int m_nMarginY = 0;

  std::string Caption() const override { return "Map"; }

 protected:
  std::vector<PPField> Fields() override {
    return {{7532, "Size X(mm):", PPType::Uint, &m_nPlotWidth, true, 10, 320},
            {7633, "Size Y(mm):", PPType::Uint, &m_nPlotHeight, true, 10, 320},
            {7734, "X-range(m): from", PPType::Float, &m_fXMin},
            {7835, "X-range(m): to", PPType::Float, &m_fXMax},
            {7936, "Y-range(m): from", PPType::Float, &m_fYMin},
            {8037, "Y-range(m): to", PPType::Float, &m_fYMax},
            {1158, "Margin X(mm):", PPType::Int, &m_nMarginX, true, 0, 50},
            {1199, "Margin Y(mm):", PPType::Int, &m_nMarginY, true, 0, 50}};
  }
};
