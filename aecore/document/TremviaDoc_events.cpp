// The event list: one entry per located event, built from the catalogue's record headers,
// read from a list file or appended by the processing of the current event.
#include <algorithm>
#include <cstdio>

#include "aecore/document/TremviaDoc.h"
#include "platform/CrtRand.h"
#include "platform/File.h"
#include "platform/Strings.h"

void CTremviaDoc::AddEventEntry(float x, float y, float z, float Mw, float iso, float clvd,
                                float CC, double time, std::uint16_t arrivals, std::uint32_t record,
                                std::uint8_t flags) {
  auto e = std::make_unique<AEEventEntry>();
  e->x = x;
  e->y = y;
  e->z = z;
  e->Mw = Mw;
  e->iso = iso;
  e->clvd = clvd;
  e->CC = CC;
  e->time = time;
  e->arrivals = static_cast<std::int16_t>(arrivals);
  e->record = static_cast<std::int32_t>(record);
  e->flags = flags;
  m_EventList.push_back(std::move(e));
}

void CTremviaDoc::SetEventEntry(float x, float y, float z, float Mw, float iso, float clvd,
                                float CC, double time, std::uint16_t arrivals, std::uint32_t record,
                                std::uint8_t flags) {
  const auto listed = std::find_if(m_EventList.begin(), m_EventList.end(), [&](const auto& e) {
    return e->record == static_cast<std::int32_t>(record);
  });
  const std::size_t at = static_cast<std::size_t>(listed - m_EventList.begin());
  AddEventEntry(x, y, z, Mw, iso, clvd, CC, time, arrivals, record, flags);
  if (at + 1 < m_EventList.size()) {  // listed already: the new entry takes its place
    m_EventList[at] = std::move(m_EventList.back());
    m_EventList.pop_back();
  }
}

void CTremviaDoc::ClearEventList() { m_EventList.clear(); }

int CTremviaDoc::BuildEventList(int first, int last, int minArrivals, int random) {
  ClearEventList();
  CAEHypo& h = *m_pHypo;
  int lastIndex = std::min(last, h.GetNumAE() - 1);
  AEHRecord& r = h.m_Rec;
  int lastRead = -1;
  for (int i = std::max(first, 0); i <= lastIndex; ++i) {
    if (!h.GetAEHHeader(i)) continue;
    lastRead = i;
    if (r.nArrivals < minArrivals) continue;
    if (random > 0) {
      r.fX = static_cast<float>((plat::CrtRand() % 10000 - 5000) * 0.005);
      r.fY = static_cast<float>((plat::CrtRand() % 10000 - 5000) * 0.005);
      r.fZ = static_cast<float>((plat::CrtRand() % 20000 - 10000) * 0.005);
    }
    if (r.nMecType == 1 || r.nMecType == 5) r.nFlags |= AEH_FLAG_MECHANISM;
    AddEventEntry(r.fX, r.fY, r.fZ, r.fMw, r.fIso, r.fClvd, r.fCC, r.nTimeUs * 1e-6 + r.nTimeSec,
                  static_cast<std::uint16_t>(r.nArrivals), static_cast<std::uint32_t>(i), r.nFlags);
  }
  // Only headers were read: the current record would otherwise end as the last record's
  // header over the arrivals of whatever record was read whole before, and the pages
  // that show it (first motions) or save it would use that mixture.
  // As a whole read would: the catalogue's sensor count of arrival slots.
  AEHRecord whole{};
  const int n = std::clamp(h.m_nSensors, 0, AEH_MAX_SENSORS);
  if (lastRead >= 0 && h.GetAEH(lastRead, &whole)) {
    std::copy_n(whole.fTime, n, r.fTime);
    std::copy_n(whole.fSN, n, r.fSN);
    std::copy_n(whole.fAmp, n, r.fAmp);
    std::copy_n(whole.fRise, n, r.fRise);
    std::copy_n(whole.nPolarity, n, r.nPolarity);
    std::copy_n(whole.nSensor, n, r.nSensor);
  }
  m_nMinArrivals = minArrivals;
  return 1;
}

int CTremviaDoc::LoadEventList(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "rt")) return 0;
  ClearEventList();
  char line[256];
  for (int k = 0; k < 4; ++k)
    if (!f.Gets(line, sizeof line)) break;
  while (f.Gets(line, sizeof line)) {
    int record = 0, arrivals = 0;
    double time = 0;
    float x, y, z, Mw, iso, clvd, further;
    if (plat::ScanC(line, "%d %lf %f %f %f %f %f %f %f %d", &record, &time, &x, &y, &z, &Mw, &iso,
                    &clvd, &further, &arrivals) < 10)
      break;
    AddEventEntry(x, y, z, Mw, iso, clvd, 0.0f, time, static_cast<std::uint16_t>(arrivals),
                  static_cast<std::uint32_t>(record), 0);
  }
  return 1;
}

// m_nCurAE is a catalogue record index (every page sets it so), not a list position: a list
// that omits records (a minimum arrival count, a list read from a file) has fewer positions
// than records. The search starts after the cursor's own entry or, when the list omits the
// cursor's record, at the first entry of a later record.
int CTremviaDoc::NextFlaggedEvent(std::uint8_t bits) const {
  const std::size_t n = m_EventList.size();
  std::size_t from = n;
  bool listed = false;
  for (std::size_t i = 0; i < n && !listed; ++i)
    if (m_EventList[i]->record == m_nCurAE) {
      from = i + 1;
      listed = true;
    }
  if (!listed)
    for (std::size_t i = 0; i < n; ++i)
      if (m_EventList[i]->record > m_nCurAE) {
        from = i;
        break;
      }
  for (std::size_t i = from; i < n; ++i)
    if (m_EventList[i]->flags & bits) return m_EventList[i]->record;
  return -1;
}
