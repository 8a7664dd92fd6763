// The "Omori law" property page: Omori-law parameters after and before a main shock and
// the accelerating-release fit range, each group with its "Fitting" switch.
#pragma once
#include "views/proppages/PropPage.h"

class CPPomori : public CPropPageFields {
 public:
  float m_fAa = 0;   // a, after-shocks
  float m_fPa = 0;   // p, after-shocks
  float m_fTma = 0;  // Tm, after-shocks
  float m_fPf = 0;   // p, fore-shocks
  float m_fTmf = 0;  // Tm, fore-shocks
  float m_fAf = 0;   // a, fore-shocks
  int m_bOmori = 0;
  float m_fM = 0;  // m of the accelerating release
  float m_fT0 = 0;
  float m_fTc = 0;
  int m_bAMR = 0;
  float m_fV0 = 0;
  float m_fV1 = 1e10f;

  std::string Caption() const override { return "Omori law"; }

 protected:
  std::vector<PPField> Fields() override {
    return {{1257, "a for after-shocks:", PPType::Float, &m_fAa, true, 1, 1e10},
            {1268, "p for after-shocks:", PPType::Float, &m_fPa, true, -10, 10},
            {1246, "Tm for after-shocks:", PPType::Float, &m_fTma, true, 0, 1e10},
            {1291, "p fore-shocks:", PPType::Float, &m_fPf, true, -10, 10},
            {1279, "Tm fore-shocks:", PPType::Float, &m_fTmf, true, 0, 1e10},
            {1280, "a fore-shocks:", PPType::Float, &m_fAf, true, 1, 1e10},
            {1656, "Fitting", PPType::Check, &m_bOmori},
            {1308, "m of AMR:", PPType::Float, &m_fM, true, 0, 1},
            {1302, "T0 of AMR:", PPType::Float, &m_fT0},
            {1304, "Tc of AMR:", PPType::Float, &m_fTc},
            {1662, "Fitting", PPType::Check, &m_bAMR},
            {1310, "V0:", PPType::Float, &m_fV0, true, 0, 1e10},
            {1314, "V1:", PPType::Float, &m_fV1, true, 0, 1e10}};
  }
};
