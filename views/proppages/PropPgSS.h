// The "SS" property page of the time-series page: ranges and switches of the series
// panels, and the list of the main series' channels whose selection says which are shown.
#pragma once
#include "views/proppages/PropPage.h"

class KZ_TSdata;

class CPropPgSS : public CPropPageFields {
 public:
  explicit CPropPgSS(KZ_TSdata* ts = nullptr) : m_pTS(ts) {}

  int m_nStrainMax = 0;
  int m_nStrainMin = 0;
  int m_nStressMax = 0;
  unsigned m_nAEMax = 0;
  double m_fOffset = 0;
  float m_fFaultDip = 0;
  unsigned m_nStrainFlags = 0;
  int m_bAECurve = 0;
  int m_bShear = 0;
  float m_fPPMax = 0;
  int m_nStressMin = 0;
  float m_fPPMin = 0;
  int m_bZeroOffset = 0;
  float m_fCPMin = 0;
  float m_fCPMax = 0;
  float m_fDispMin = 0;
  float m_fDispMax = 0;
  float m_fDispCorrection = 0;

  std::string Caption() const override { return "SS"; }
  // Every channel's shown flag from its selection in the list.
  void OnOK() override;

 protected:
  std::vector<PPField> Fields() override;
  // Fills the channel list, selecting the shown channels.
  void OnInitPage() override;

 private:
  KZ_TSdata* m_pTS;
};
