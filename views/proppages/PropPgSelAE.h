// The "Selection" property page: a range of event numbers and the least location index
// (arrival count) an event needs. Its caller fills the fields, runs the sheet and takes
// the fields back only after OK.
#pragma once
#include "views/proppages/PropPage.h"

class CPropPgSelAE : public CPropPageFields {
 public:
  unsigned m_nFrom = 0;      // "From(AE#) :"
  unsigned m_nLocIndex = 0;  // "Location Index M>=?:"
  unsigned m_nTo = 0;        // "To(AE#) :"

  std::string Caption() const override { return "Selection"; }

 protected:
  std::vector<PPField> Fields() override {
    return {{1145, "From(AE#) :", PPType::Uint, &m_nFrom},
            {1465, "Location Index M>=?:", PPType::Uint, &m_nLocIndex},
            {1434, "To(AE#) :", PPType::Uint, &m_nTo}};
  }
};
