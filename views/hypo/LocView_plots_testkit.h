// The "Hypo" page fixture with a fault plane along y-z through the centre (normal along
// x, so S = y, R = z and the distance from the plane is |x|) and an in-memory catalogue
// whose records carry chosen first motions.
#pragma once
#include <omp.h>

#include <cstring>
#include <utility>
#include <vector>

#include "views/hypo/LocView_testkit.h"

class HypoPlots : public HypoPage {
 protected:
  void SetUp() override {
    HypoPage::SetUp();
    // The density map's smooth field opens a parallel region per sub-cell; on a busy
    // machine the thread hand-over dominates, and these tests are about what is drawn.
    omp_set_num_threads(1);
    CAEHypo& h = *doc.m_pHypo;
    h.m_fFaultX = h.m_fFaultY = h.m_fFaultZ = 0;
    h.m_fFaultAzimuth = 0;
    h.m_fFaultDip = 90;
    h.m_fFaultWidth = 25;
    h.m_fFaultLen = 50;
    h.m_bTTypeOpen = 0;
    h.m_nColorMode = 0;
    h.m_fHypoScale = 100;
  }

  // Record i gets ups[i].first up and ups[i].second down polarities on sensors 0, 1, ...
  void Catalogue(const std::vector<std::pair<int, int>>& polarities) {
    CAEHypo& h = *doc.m_pHypo;
    const int n = h.m_nSensors;
    std::vector<BYTE> bytes;
    for (std::size_t i = 0; i < polarities.size(); ++i) {
      AEHRecord r{};
      r.nArrivals = static_cast<std::int8_t>(n);
      for (int k = 0; k < n; ++k) {
        r.nSensor[k] = static_cast<std::int8_t>(k);
        r.nPolarity[k] = k < polarities[i].first                          ? 1
                         : k < polarities[i].first + polarities[i].second ? -1
                                                                          : 0;
        r.fSN[k] = 10;
      }
      std::vector<BYTE> rec(static_cast<std::size_t>(AEH_HEADER_SIZE + 18 * n));
      AEH_EncodeRecord(r, n, rec.data());
      bytes.insert(bytes.end(), rec.begin(), rec.end());
    }
    auto f = std::make_unique<plat::File>();
    ASSERT_TRUE(f->OpenMemory(bytes, false));
    h.m_fpAEH = std::move(f);
    h.m_nRecSize = AEH_HEADER_SIZE + 18 * n;
    h.m_nAE = static_cast<int>(polarities.size());
    view.OnUpdate(nullptr, HINT_LOC, nullptr);
  }

  // The ellipses' centres in drawing order.
  static std::vector<POINT> Centres(const plat::RecordingDc& dc) {
    std::vector<POINT> out;
    for (const plat::DcOp* op : dc.OpsOf(plat::DcOpKind::Ellipse))
      out.push_back(
          POINT{(op->rect.left + op->rect.right) / 2, (op->rect.top + op->rect.bottom) / 2});
    return out;
  }

  std::unique_ptr<plat::RecordingDc> Draw(int type) {
    doc.m_pHypo->m_nPlotType = type;
    return Record();
  }
};
