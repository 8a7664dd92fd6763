// The "TS data" property page of one additional time series: title, plot range and shown
// switch of its first channels, row 8 ("8-") standing for channel 8 and every later one.
#pragma once
#include <array>

#include "views/proppages/PropPage.h"

class KZ_TSdata;

class CPPgTS : public CPropPageFields {
 public:
  static constexpr int kRows = 8;
  std::array<std::string, kRows> m_strTitle;
  std::array<float, kRows> m_fMin{};
  std::array<float, kRows> m_fMax{};
  std::array<int, kRows> m_bShown{};

  std::string Caption() const override { return "TS data"; }
  // Rows 1 .. 8 from the series' first (at most) eight channels.
  void FillFrom(const KZ_TSdata& ts);
  // The rows back into the series; channels beyond the eighth take row 8. Names are cut
  // to the 63 characters a channel name holds.
  void WriteTo(KZ_TSdata& ts) const;

 protected:
  std::vector<PPField> Fields() override;
};
