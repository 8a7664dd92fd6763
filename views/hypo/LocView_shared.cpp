#include "views/hypo/LocView_shared.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Strings.h"
#include "views/hypo/LocView.h"

LocFaultFrame::LocFaultFrame(const CAEHypo& h)
    : N(h.m_fFaultAzimuth, h.m_fFaultDip),
      U(h.m_fFaultAzimuth + 180.0, 90.0 - h.m_fFaultDip),
      T(h.m_fFaultAzimuth + 90.0, 90.0),
      x0(h.m_fFaultX),
      y0(h.m_fFaultY),
      z0(h.m_fFaultZ) {}

double LocFaultFrame::Dot(const KZ_Vector3D& v, const AEEventEntry& e) const {
  return KZ_Dot(v, KZ_Vector3D(e.x - x0, e.y - y0, e.z - z0));
}

bool LocFaultFrame::InSlab(const AEEventEntry& e, double H) const {
  return std::fabs(Normal(e)) <= H;
}

bool LocArrivalsAndClass(const AEEventEntry& e, const CAEHypo& h) {
  if (e.arrivals < h.m_nMinArrivals) return false;
  return e.flags == 0 || (e.flags & h.m_nClassMask) != 0;
}

LocStep LocFilterStep(const AEEventEntry& e, double t0, double t1, const CAEHypo& h) {
  if (e.time < t0) return LocStep::Skip;
  if (e.time > t1) return LocStep::End;
  return LocArrivalsAndClass(e, h) ? LocStep::Use : LocStep::Skip;
}

bool LocReadRecord(CAEHypo& h, int index, AEHRecord* out) {
  if (!h.m_fpAEH || index < 0 || index >= h.m_nAE || h.m_nRecSize <= 0) return false;
  const int n = std::clamp(h.m_nSensors, 0, AEH_MAX_SENSORS);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(AEH_HEADER_SIZE + 18 * n), 0);
  if (!h.m_fpAEH->Seek(static_cast<long long>(index) * h.m_nRecSize, SEEK_SET)) return false;
  const std::size_t got = h.m_fpAEH->Read(bytes.data(), bytes.size());
  if (got < static_cast<std::size_t>(AEH_HEADER_SIZE)) return false;
  // Arrivals cut off at the end of the file read as zeros, as the engine reads them.
  AEH_DecodeRecord(bytes.data(), n, out);
  out->nIndex = index;
  return true;
}

float LocUDRatio(const AEHRecord& rec) {
  int up = 0, down = 0;
  const int n = std::clamp(static_cast<int>(rec.nArrivals), 0, AEH_MAX_SENSORS);
  for (int k = 0; k < n; ++k) {
    if (rec.nPolarity[k] > 0) ++up;
    if (rec.nPolarity[k] < 0) ++down;
  }
  if (up + down > 8) return static_cast<float>(up) / static_cast<float>(up + down);
  return -1.0f;
}

void LocDisc(plat::CDC* dc, double x, double y, double r) {
  dc->Ellipse(LocTrunc(x - r), LocTrunc(y - r), LocTrunc(x + r), LocTrunc(y + r));
}

plat::CPen LocOutlinePen() { return plat::CPen(PS_SOLID, 20, RGB(32, 32, 32)); }

plat::CBrush LocOutlineBrush(const CAEHypo& h) {
  return plat::CBrush(h.m_bColorBG ? RGB(240, 200, 137) : RGB(255, 255, 255));
}

std::string LocPlaneText(const CAEHypo& h, const char* what, double a, double b, double H) {
  return plat::Format("%s %s:(%3.0f,%3.0f,%3.0f)->(%3.0f,%3.0f) H:%3.0f", h.m_strTitle.c_str(),
                      what, h.m_fFaultX, h.m_fFaultY, h.m_fFaultZ, a, b, H);
}

// The up/down ratios of the whole catalogue, read in one pass from its start. Records
// that cannot be read count as having no ratio.
float CLocView::UDRatioOf(const AEEventEntry& e) {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return -1.0f;
  CAEHypo& h = *doc->m_pHypo;
  if (!m_bUDCacheValid) {
    m_UDCache.assign(static_cast<std::size_t>(std::max(h.m_nAE, 0)), -1.0f);
    const int n = std::clamp(h.m_nSensors, 0, AEH_MAX_SENSORS);
    const std::size_t size = static_cast<std::size_t>(AEH_HEADER_SIZE + 18 * n);
    if (h.m_fpAEH && h.m_nRecSize > 0 && static_cast<std::size_t>(h.m_nRecSize) >= size &&
        h.m_fpAEH->Seek(0, SEEK_SET)) {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(h.m_nRecSize));
      AEHRecord rec{};
      for (std::size_t i = 0; i < m_UDCache.size(); ++i) {
        const std::size_t got = h.m_fpAEH->Read(bytes.data(), bytes.size());
        if (got < static_cast<std::size_t>(AEH_HEADER_SIZE)) break;
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(got), bytes.end(), 0);
        AEH_DecodeRecord(bytes.data(), n, &rec);
        m_UDCache[i] = LocUDRatio(rec);
      }
    }
    m_bUDCacheValid = true;
  }
  if (e.record < 0 || static_cast<std::size_t>(e.record) >= m_UDCache.size()) return -1.0f;
  return m_UDCache[static_cast<std::size_t>(e.record)];
}
