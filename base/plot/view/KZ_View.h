// The base of the 2-D plot pages: one page in 0.01 mm (MM_HIMETRIC, y upward, top-left
// corner at (0, 0)) drawn by the derived view's DrawPlot for the screen, the printer, a
// bitmap and metafiles alike, with the shared view font scaled to each device; an
// optional cached picture of the page that paints only blit; printing; the page copied
// to the clipboard as a bitmap or an enhanced metafile; the page exported to a picture
// file by its extension.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/MemBlock.h"
#include "platform/qt/View.h"

class KZ_View : public plat::CScrollView {
 public:
  static constexpr const char* kRuntimeClassName = "KZ_View";

  // Command ids of the base's own table.
  static constexpr UINT ID_EDIT_COPY_DIB = 34210;
  static constexpr UINT ID_EDIT_COPY_EMF = 34211;
  static constexpr UINT ID_FILE_EXPORT_PICTURE = 34212;
  static constexpr UINT ID_FILE_PRINT = 57607;
  static constexpr UINT ID_FILE_PRINT_DIRECT = 57608;
  static constexpr UINT ID_FILE_PRINT_PREVIEW = 57609;

  explicit KZ_View(QWidget* parent = nullptr);
  ~KZ_View() override;

  // Scroll sizes: MM_HIMETRIC over the page (the framework's OnInitialUpdate is not run).
  void OnInitialUpdate() override;
  // A non-zero hint without a bit of m_nHintMask is ignored; otherwise a cached picture
  // is rendered anew and the view invalidated.
  void OnUpdate(plat::CView* sender, LONG hint, void* object) override;
  // Blits the cached picture 1:1 unless printing or none is cached; else draws the page.
  void OnDraw(plat::CDC* dc) override;
  BOOL OnPreparePrinting(plat::CPrintInfo* info) override;
  // Printing: a page larger than the paper's printable area is scaled down, the same in
  // both directions, so that it prints whole.
  void OnPrepareDC(plat::CDC* dc, plat::CPrintInfo* info = nullptr) override;
  // The page as printed (0.01 mm): the scroll size, unless a page lays itself out
  // differently on paper.
  virtual SIZE PrintExtent() const { return SIZE{m_nScrollW, m_nScrollH}; }

  // Renders the page into a bitmap of (page x scale x 2.4 / 1000) pixels and caches it.
  virtual void RenderToDIB(double scale);
  // Renders the page at screen resolution into the cache (only once the scroll sizes
  // are set).
  virtual void RenderPageToDIB();
  // Selects the view font scaled to the DC and calls DrawPlot.
  virtual void DrawWithViewFont(plat::CDC* dc);
  // Draws the page; every derived view overrides it.
  virtual void DrawPlot(plat::CDC* /*dc*/) {}
  // The font dialog over g_ViewFont; on OK the view repaints (a cache is not renewed).
  virtual void ChooseViewFont();
  // Plot size clamped to 4000..80000 by 4000..120000; the page follows from it.
  virtual void SetPageSize(int width, int height);
  // Renders a cached picture anew and repaints.
  virtual void Refresh();
  void FreeCachedDIB();

  // "Copy as DIB", "Copy as EMF", "Export Picture..." (an empty path asks for one).
  void CopyDIBToClipboard();
  void CopyEMFToClipboard();
  void SaveToGraphicFile(std::string path);
  // The page as an enhanced or a Windows metafile, written to `path` when one is given;
  // empty when the metafile cannot be made or written.
  std::vector<BYTE> MakeEMF(const std::string& path = std::string());
  std::vector<BYTE> MakeWMF(const std::string& path);

  // Busy-waits n units of 1/1024 s.
  void WaitMs(int n) const;

  std::uint32_t m_nHintMask = 0;
  std::int32_t m_nPlotLeft = 1000;
  std::int32_t m_nPlotTop = -1000;
  std::int32_t m_nScrollW = 23180;
  std::int32_t m_nScrollH = 23180;
  std::int32_t m_nPlotW = 16180;
  std::int32_t m_nPlotH = 10000;
  std::unique_ptr<std::vector<BYTE>> m_pOwned;
  plat::MemBlock m_hDIB;  // the cached page picture (a packed DIB), or empty
  std::int64_t m_nTicksPerUnit;

 protected:
  // The page picture as DrawWithViewFont draws it on a bitmap at the view's resolution
  // (empty when the bitmap cannot be made).
  plat::MemBlock RenderPage() const;
  void SetPageScrollSizes();

 private:
  std::vector<BYTE> RecordMetafile(bool windowsMetafile, const std::string& path);
};
