#include "views/proppages/PPgTS.h"

#include <algorithm>
#include <cstring>

#include "base/series/KZ_TSdata.h"

namespace {
const char* const kRowLabels[CPPgTS::kRows] = {"1", "2", "3", "4", "5", "6", "7", "8-"};
constexpr int kNameMax = 63;
}  // namespace

std::vector<PPField> CPPgTS::Fields() {
  std::vector<PPField> f;
  for (int r = 0; r < kRows; ++r) {
    f.push_back({811 + r, "Title", PPType::Text, &m_strTitle[r], false, 0, 0, kNameMax});
    f.push_back({821 + r, "Min", PPType::Float, &m_fMin[r]});
    f.push_back({831 + r, "Max", PPType::Float, &m_fMax[r]});
    f.push_back({1011 + r, kRowLabels[r], PPType::Check, &m_bShown[r]});
  }
  return f;
}

void CPPgTS::FillFrom(const KZ_TSdata& ts) {
  if (!ts.m_pChannel) return;
  const int n = std::min<int>(ts.m_nChannels, kRows);
  for (int c = 0; c < n; ++c) {
    const KZ_TSchannel& ch = ts.m_pChannel[c];
    m_strTitle[c].assign(ch.szName, strnlen(ch.szName, sizeof ch.szName));
    m_fMin[c] = ch.fPlotMin;
    m_fMax[c] = ch.fPlotMax;
    m_bShown[c] = ch.nPlot;
  }
}

void CPPgTS::WriteTo(KZ_TSdata& ts) const {
  if (!ts.m_pChannel) return;
  for (int c = 0; c < ts.m_nChannels; ++c) {
    const int r = std::min(c, kRows - 1);
    KZ_TSchannel& ch = ts.m_pChannel[c];
    const std::string& name = m_strTitle[r];
    const std::size_t len = std::min<std::size_t>(name.size(), kNameMax);
    std::memset(ch.szName, 0, sizeof ch.szName);
    std::memcpy(ch.szName, name.data(), len);
    ch.fPlotMin = m_fMin[r];
    ch.fPlotMax = m_fMax[r];
    ch.nPlot = m_bShown[r];
  }
}
