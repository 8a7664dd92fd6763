// The "Hypo" page's commands: which events the list holds, play-back requests, list
// exports and imports, background pictures, sound files, the curve file and the
// catalogue utilities the page passes on to the document.
#include <fstream>

#include "aecore/catalogue/AEHRecord.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/hypo/LocView.h"
#include "views/proppages/PropPgSelAE.h"

namespace {

std::optional<std::string> AskFile(bool open, const char* title, const char* filter) {
  plat::FileDialogOptions d;
  d.open = open;
  d.title = title;
  d.filter = filter;
  if (open) d.flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  return plat::Ui().FileDialog(d);
}

}  // namespace

void CLocView::MapCommands() {
  MapCommand(ID_LOC_LOADSELECTION, [this] { OnLoadSelection(); });
  MapCommand(ID_LOC_LOADFROMFILE, [this] { OnLoadFromFile(); });
  MapCommand(ID_LOC_SAVEAS, [this] { OnSaveAs(); });
  MapCommand(ID_LOC_PLAYBACK100, [this] { OnPlayBack100(); });
  MapCommand(ID_LOC_PLAYBACK200, [this] { OnPlayBack200(); });
  MapCommand(ID_LOC_STOPPLAYBACK, [this] { OnStopPlayBack(); });
  MapCommand(ID_LOC_LOADSOUNDS, [this] { OnLoadSoundFiles(); });
  MapCommand(ID_LOC_BITMAPSECT, [this] { OnLoadBitmapSect(); });
  MapCommand(ID_LOC_BITMAPSURFACE, [this] { OnLoadBitmapSurface(); });
  MapCommand(ID_LOC_CURVEFILE, [this] { OnCurveFile(); });
  MapCommand(ID_LOC_VRML, [this] { OnCreateVRML(); });
  MapCommand(ID_LOC_MATCHLOCPEAK, [this] { OnMatchLocPeak(); });
  MapCommand(ID_VIEW_FONT, [this] { ChooseViewFont(); });
  MapCommand(ID_VIEW_ZOOMIN, [this] { OnZoomIn(); });
  MapCommand(ID_VIEW_ZOOMOUT, [this] { OnZoomOut(); });
  MapCommand(ID_UTIL_HYPODD, [this] { OnCreateHypoDD(); });
  MapCommand(ID_ADV_LOCERROR, [this] { OnLocationErrorEstimation(); });
  MapCommand(ID_LOC_DRAGROTATE, [this] { OnToggleDragRotate(); });
  MapUpdate(ID_LOC_DRAGROTATE, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bDragRotate != 0); });
  MapCommand(ID_LOC_SPARETOGGLE, [this] { OnToggleSpare(); });
  MapUpdate(ID_LOC_SPARETOGGLE, [this](plat::CCmdUI* ui) { ui->SetCheck(m_bSpareToggle != 0); });
  MapCommand(ID_LOC_SAVERV, [this] { OnSaveRV(); });
  MapCommand(ID_LOC_SAVEDENSITY, [this] { OnSaveDensity(); });
}

void CLocView::OnLoadSelection() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  CPropPgSelAE page;
  page.m_nFrom = 0;
  page.m_nTo = static_cast<unsigned>(std::max(doc->m_pHypo->GetNumAE(), 0));
  page.m_nLocIndex = 5;
  if (PropSheet_DoModal("Tremvia", {&page}, this) != IDOK) return;
  {
    plat::CWaitCursor wait;
    doc->BuildEventList(static_cast<int>(page.m_nFrom), static_cast<int>(page.m_nTo),
                        static_cast<int>(page.m_nLocIndex), 0);
  }
  doc->m_Host.UpdateAllViews(nullptr, HINT_LOC, nullptr);
}

void CLocView::OnLoadFromFile() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  const auto path = AskFile(true, "Load Location data", "LOC File(*.loc)|*.loc||");
  if (!path) return;
  doc->LoadEventList(*path);
  doc->m_Host.UpdateAllViews(nullptr, HINT_LOC, nullptr);
}

void CLocView::OnSaveAs() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo || doc->m_EventList.empty()) return;
  const auto path =
      AskFile(false, "Save Location data",
              "Data File(*.kv0;*.eqt;*.aeb;*.g3d;*.w3d)|*.kv0;*.eqt;*.aeb;*.g3d;*w3d||");
  if (!path) return;
  const CAEHypo& h = *doc->m_pHypo;
  doc->ExportCatalogue(*path, h.m_nMinArrivals, h.m_nClassMask, h.m_fHypoScale * 0.00005f);
}

void CLocView::OnPlayBack100() {
  m_nPlayPos = 0;
  m_nPlaySpeed = 10;
  if (CTremviaDoc* doc = GetData()) doc->m_Host.UpdateAllViews(nullptr, HINT_LOC, nullptr);
}

void CLocView::OnPlayBack200() {
  m_nPlayPos = 0;
  m_nPlaySpeed = 5;
  if (CTremviaDoc* doc = GetData()) doc->m_Host.UpdateAllViews(nullptr, HINT_LOC, nullptr);
}

void CLocView::OnStopPlayBack() { m_nPlayPos = -1; }

void CLocView::OnLoadSoundFiles() {
  CTremviaDoc* doc = GetData();
  if (!doc) return;
  const auto path = AskFile(true, "Selects any file", "Wave File(*.waw)|*.wav||");
  if (!path) return;
  const std::string::size_type cut = path->find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : path->substr(0, cut + 1);
  int slot = 0;
  for (const plat::FindData& f : plat::FindFiles(folder + "*.wav")) {
    if (slot >= CTremviaDoc::kSideBuffers) break;
    if (f.isFolder || f.name.empty() || f.name[0] == '.') continue;
    doc->LoadSideFile(folder + f.name, slot);
    ++slot;
  }
}

void CLocView::OnLoadBitmapSect() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const auto path =
      AskFile(true, "Load Background Bitmap", "Image File(*.bmp;*.jpg)|*.bmp;*.jpg||");
  if (path) doc->m_pHypo->m_strDisplayText1 = *path;
}

void CLocView::OnLoadBitmapSurface() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  const auto path =
      AskFile(true, "Load Background Bitmap", "Image File(*.bmp;*.jpg)|*.bmp;*.jpg||");
  if (path) doc->m_pHypo->m_strDisplayText2 = *path;
}

void CLocView::OnCurveFile() {
  const auto path = AskFile(false, "File (KV0 format) for saving C(r)-r or C(t)-t data",
                            "KV0 File(*.kv0)|*.kv0||");
  if (path) m_strCurveFile = *path;
}

void CLocView::OnMatchLocPeak() {
  if (CTremviaDoc* doc = GetData()) doc->ReplaceFromPeaks();
}

void CLocView::OnZoomIn() { m_fZoom *= 2; }

void CLocView::OnZoomOut() { m_fZoom /= 2; }

void CLocView::OnCreateHypoDD() {
  if (CTremviaDoc* doc = GetData()) doc->SaveHypoDD();
}

void CLocView::OnToggleDragRotate() { m_bDragRotate = !m_bDragRotate; }

void CLocView::OnToggleSpare() { m_bSpareToggle = !m_bSpareToggle; }

void CLocView::OnSaveRV() {
  CTremviaDoc* doc = GetData();
  if (!doc || doc->m_EventList.empty()) return;
  const auto path = AskFile(false, "Save RV hypocenter data", "KV0 File(*.kv0)|*.kv0||");
  if (path) doc->SaveRV(*path, 5, 20.0f);
}

void CLocView::OnSaveDensity() {
  CTremviaDoc* doc = GetData();
  if (!doc || doc->m_EventList.empty()) return;
  const auto path = AskFile(false, "Save density data", "LEM File(*.lem)|*.lem||");
  if (path) doc->AEDensityMap(*path, 10, 20, 40, 5, 20.0f);
}

void CLocView::OnLocationErrorEstimation() {
  // A synthetic catalogue for trying the location: 100 sources on a 20 mm grid, each
  // with 14 arrivals 50 us apart on sensors 0 to 13, in the catalogue's record layout.
  const auto path = AskFile(false, "Location Error Estimation", "AEH File(*.aeh)|*.aeh||");
  if (!path) return;
  constexpr int kArrivals = 14;
  std::ofstream out(*path, std::ios::binary);
  if (!out) return;
  int index = 0;
  for (int y = -100; y <= 80; y += 20) {
    for (int x = -100; x <= 80; x += 20) {
      AEHRecord rec{};
      rec.nYear = 0;  // 2000-01-01 00:00:00
      rec.nMonth = 1;
      rec.nDay = 1;
      rec.nArrivals = kArrivals;
      rec.nIndex = index++;
      rec.fX = static_cast<float>(x);
      rec.fY = static_cast<float>(y);
      rec.fZ = 0.0f;
      rec.nFlags = AEH_FLAG_LOCATED;
      for (int k = 0; k < kArrivals; ++k) {
        rec.fTime[k] = 50.0f * k;
        rec.nSensor[k] = static_cast<std::int8_t>(k);
      }
      std::uint8_t bytes[AEH_HEADER_SIZE + 18 * kArrivals];
      AEH_EncodeRecord(rec, kArrivals, bytes);
      out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }
  }
}
