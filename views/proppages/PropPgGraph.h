// The "Graph" property page: plot size and offset in whole millimetres.
#pragma once
#include "views/proppages/PropPage.h"

class CPropPgGraph : public CPropPageFields {
 public:
  unsigned m_nYSize = 0;
  unsigned m_nXSize = 0;
  unsigned m_nXOffset = 0;
  unsigned m_nYOffset = 0;

  std::string Caption() const override { return "Graph"; }

 protected:
  std::vector<PPField> Fields() override {
    return {{1004, "Y offset and Size(mm): size", PPType::Uint, &m_nYSize, true, 10, 300},
            {1001, "X offset and Size(mm): size", PPType::Uint, &m_nXSize, true, 10, 300},
            {1054, "X offset and Size(mm): offset", PPType::Uint, &m_nXOffset, true, 0, 40},
            {1099, "Y offset and Size(mm): offset", PPType::Uint, &m_nYOffset, true, 0, 40}};
  }
};
