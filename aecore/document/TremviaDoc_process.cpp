// Picking, location and full processing of the current event, and saving its record.
#include <algorithm>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/document/TremviaDoc.h"
#include "aecore/waveform/AEWave.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

bool CTremviaDoc::ProcessCurrentEvent(int mode, bool save, int p1, int p2, int /*p4*/, int p3) {
  if (!m_pWave || !m_pWave->m_pHeader || m_pWave->m_pSamples.empty()) return false;
  CAEHypo& h = *m_pHypo;
  CAEWave& w = *m_pWave;
  int channels = h.m_nSensors > 0 ? h.m_nSensors : w.GetNumChannels();
  channels = std::min(channels, w.GetNumChannels());
  if ((h.m_Rec.nFlags & AEH_FLAG_LOCKED) || w.m_pHeader->nStatus < 0) return false;
  plat::CWaitCursor wait;
  bool result = false;
  AEHRecord& r = h.m_Rec;
  // The list holds one entry per record: an event located again (by hand, then by the
  // auto-loading, or after a list built from the catalogue) updates its entry, so that the
  // counts, plots and exports drawn from the list count it once.
  auto entry = [&] {
    const auto listed = std::find_if(m_EventList.begin(), m_EventList.end(), [&](const auto& e) {
      return e->record == static_cast<std::int32_t>(w.m_nEvent);
    });
    const std::size_t at = static_cast<std::size_t>(listed - m_EventList.begin());
    AddEventEntry(r.fX, r.fY, r.fZ, r.fMw, r.fIso, r.fClvd, r.fCC, r.nTimeSec + r.nTimeUs * 1e-6,
                  static_cast<std::uint16_t>(r.nArrivals), static_cast<std::uint32_t>(w.m_nEvent),
                  r.nFlags);
    if (at + 1 < m_EventList.size()) {  // listed already: the new entry takes its place
      m_EventList[at] = std::move(m_EventList.back());
      m_EventList.pop_back();
    }
  };
  switch (mode) {
    case 1: {
      AEPickOptions options{h.m_fMecAcri, h.m_pTemplates};
      for (int c = 0; c < channels; ++c) w.AutoPick(c, 0, p1, p2, &options);
      if (h.m_fpAEH) {
        std::vector<std::uint16_t> flags(channels);
        for (int c = 0; c < channels; ++c) flags[c] = static_cast<std::uint16_t>(w.m_pPolarity[c]);
        int n = std::min({h.m_nSensors, channels, AEH_MAX_SENSORS});
        for (int k = 0; k < n; ++k)
          h.SetArrival(w.m_pPickTime[k], w.m_pPickAmp[k], w.m_pPickRise[k], w.m_pPickSN[k],
                       static_cast<std::uint8_t>(flags[k] & 0xFF), k);
        const AEWHeader& hd = *w.m_pHeader;
        r.nYear = static_cast<std::uint8_t>(hd.nYear & 0xFF);
        r.nMonth = static_cast<std::uint8_t>(hd.nMonth & 0xFF);
        r.nDay = static_cast<std::uint8_t>(hd.nDay & 0xFF);
        r.nHour = static_cast<std::uint8_t>(hd.nHour & 0xFF);
        r.nMinute = static_cast<std::uint8_t>(hd.nMinute & 0xFF);
        r.nSecond = static_cast<std::uint8_t>(hd.nSecond & 0xFF);
        r.nTimeSec = hd.nSec;
        r.nTimeUs = hd.nUsec;
      }
      m_Host.UpdateAllViews(nullptr, 15, nullptr);
      break;
    }
    case 2:
      h.LocateCurrent();
      w.SourceParameters(&h);
      if (r.nArrivals > 4) {
        entry();
        m_Host.UpdateAllViews(nullptr, 31, nullptr);
      }
      result = true;
      break;
    case 3:
      if (w.ProcessEvent(&h, p1, p2, p3) > 3) entry();
      m_Host.UpdateAllViews(nullptr, 31, nullptr);
      result = true;
      break;
    default:
      break;
  }
  if (save) SaveRecord();
  return result;
}

// Writes the current record under the waveform's event index; a refused write is
// reported, so that a record is never lost silently.
bool CTremviaDoc::SaveRecord() {
  CAEHypo& h = *m_pHypo;
  if (h.m_Rec.nFlags & AEH_FLAG_LOCKED) {
    ReportFailedSave("Locked event!");
    return false;
  }
  if (!h.PutAEH(m_pWave->m_nEvent, true)) {
    ReportFailedSave("Can not save data to AED file!");
    return false;
  }
  return true;
}

void CTremviaDoc::ReportFailedSave(const char* text) {
  if (m_bSaveBatch && m_nBatchFailures++ > 0) {
    plat::Ui().SetPaneText(0,
                           plat::Format("%s (event %d; %d records not saved)", text,
                                        m_pWave ? m_pWave->m_nEvent : -1, m_nBatchFailures),
                           true);
    return;
  }
  plat::AfxMessageBox(text);
}

void CTremviaDoc::BeginSaveBatch() {
  m_bSaveBatch = true;
  m_nBatchFailures = 0;
}

void CTremviaDoc::EndSaveBatch() { m_bSaveBatch = false; }

bool CTremviaDoc::SaveCurrentHypo(int, int, int, bool save) {
  if (!m_pWave || !m_pWave->m_pHeader || m_pWave->m_pHeader->nStatus < 0) return false;
  if (save) {
    plat::CWaitCursor wait;
    SaveRecord();
  }
  return false;
}
