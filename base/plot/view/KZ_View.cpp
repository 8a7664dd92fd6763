#include "base/plot/view/KZ_View.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "base/plot/KZ_DIB.h"
#include "base/plot/KZ_ViewFont.h"
#include "imagefiles/ImageFormatTable.h"
#include "platform/Metafile.h"
#include "platform/RecordingDc.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "platform/qt/Clipboard.h"
#include "platform/qt/QtDc.h"

namespace {

std::int64_t CounterNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

KZ_View::KZ_View(QWidget* parent)
    : plat::CScrollView(parent),
      m_nTicksPerUnit(1000000000LL >> 10) {  // the nanosecond counter's frequency / 1024
  KZ_ResetViewFont();
  MapCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
  MapCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrintDirect(); });
  MapCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });
  MapCommand(ID_EDIT_COPY_DIB, [this] { CopyDIBToClipboard(); });
  MapCommand(ID_EDIT_COPY_EMF, [this] { CopyEMFToClipboard(); });
  MapCommand(ID_FILE_EXPORT_PICTURE, [this] { SaveToGraphicFile(std::string()); });
}

KZ_View::~KZ_View() = default;

void KZ_View::SetPageScrollSizes() { SetScrollSizes(MM_HIMETRIC, SIZE{m_nScrollW, m_nScrollH}); }

void KZ_View::OnInitialUpdate() { SetPageScrollSizes(); }

void KZ_View::OnUpdate(plat::CView* /*sender*/, LONG hint, void* /*object*/) {
  if (hint != 0 && (static_cast<std::uint32_t>(hint) & m_nHintMask) == 0) return;
  if (!m_hDIB.empty()) RenderPageToDIB();
  Invalidate(TRUE);
}

void KZ_View::Refresh() {
  if (!m_hDIB.empty()) RenderPageToDIB();
  Invalidate(TRUE);
}

void KZ_View::FreeCachedDIB() { m_hDIB.Free(); }

void KZ_View::OnDraw(plat::CDC* dc) {
  if (!dc->IsPrinting() && !m_hDIB.empty()) {
    const RECT r{0, 0, KZ_DIBWidth(m_hDIB.data()), KZ_DIBHeight(m_hDIB.data())};
    KZ_PaintDIB(dc, &r, m_hDIB, &r);
    return;
  }
  DrawWithViewFont(dc);
}

BOOL KZ_View::OnPreparePrinting(plat::CPrintInfo* info) { return DoPreparePrinting(info); }

void KZ_View::OnPrepareDC(plat::CDC* dc, plat::CPrintInfo* info) {
  plat::CScrollView::OnPrepareDC(dc, info);
  if (!dc || !info || !dc->IsPrinting() || GetMapMode() != MM_HIMETRIC) return;
  const int dpiX = dc->GetDeviceCaps(LOGPIXELSX), dpiY = dc->GetDeviceCaps(LOGPIXELSY);
  const RECT& r = info->m_rectDraw;
  const SIZE page = PrintExtent();
  if (dpiX <= 0 || dpiY <= 0 || page.cx <= 0 || page.cy <= 0) return;
  // The printable area in page units (0.01 mm).
  const double paperW = (r.right - r.left) * 2540.0 / dpiX;
  const double paperH = (r.bottom - r.top) * 2540.0 / dpiY;
  if (paperW <= 0 || paperH <= 0) return;
  const double f = std::min({1.0, paperW / page.cx, paperH / page.cy});
  if (f >= 1.0) return;
  // Page units to printer pixels as MM_HIMETRIC maps them (y up), times f.
  dc->SetMapMode(MM_ANISOTROPIC);
  dc->SetWindowOrg(0, 0);
  dc->SetViewportOrg(0, 0);
  dc->SetWindowExt(254000, 254000);
  dc->SetViewportExt(static_cast<int>(std::lround(dpiX * 100 * f)),
                     -static_cast<int>(std::lround(dpiY * 100 * f)));
}

void KZ_View::DrawWithViewFont(plat::CDC* dc) {
  const LOGFONT& lf = KZ_ScaleViewFont(*dc);
  plat::CFont font;
  const bool made = font.CreateFontIndirect(lf);
  plat::CFont old;
  if (made) old = dc->SelectObject(font);
  DrawPlot(dc);
  if (made) dc->SelectObject(old);
}

plat::MemBlock KZ_View::RenderPage() const {
  // The page size in pixels of the view's screen, as a client DC prepared for painting
  // converts it.
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  plat::RecordingDc probe(o);
  probe.SetMapMode(MM_HIMETRIC);
  SIZE size{m_nScrollW, m_nScrollH};
  probe.LPtoDP(&size);
  const int w = std::abs(static_cast<int>(size.cx)), h = std::abs(static_cast<int>(size.cy));
  if (w <= 0 || h <= 0) return {};

  QImage screen(1, 1, QImage::Format_RGB32);
  plat::CImageDC ref(&screen, o.dpiX, o.dpiY);
  plat::CDC mem;
  plat::CBitmap bitmap;
  if (!mem.CreateCompatibleDC(&ref) || !bitmap.CreateCompatibleBitmap(&ref, w, h)) return {};
  const plat::CBitmap old = mem.SelectObject(bitmap);
  mem.PatBlt(0, 0, w, h, WHITENESS);
  mem.SetMapMode(MM_HIMETRIC);
  const_cast<KZ_View*>(this)->DrawWithViewFont(&mem);
  mem.SelectObject(old);
  return KZ_BitmapToDIB(bitmap);
}

void KZ_View::RenderPageToDIB() {
  if (GetMapMode() == 0) return;
  plat::CWaitCursor wait;
  FreeCachedDIB();
  m_hDIB = RenderPage();
}

void KZ_View::RenderToDIB(double scale) {
  plat::CWaitCursor wait;
  FreeCachedDIB();
  const int w = static_cast<int>(std::trunc(m_nScrollW * scale * 2.4 / 1000));
  const int h = static_cast<int>(std::trunc(m_nScrollH * scale * 2.4 / 1000));
  if (w <= 0 || h <= 0) return;
  QImage screen(1, 1, QImage::Format_RGB32);
  plat::CImageDC ref(&screen, LogPixelsX(), LogPixelsY());
  plat::CDC mem;
  plat::CBitmap bitmap;
  if (!mem.CreateCompatibleDC(&ref) || !bitmap.CreateCompatibleBitmap(&ref, w, h)) return;
  const plat::CBitmap old = mem.SelectObject(bitmap);
  mem.PatBlt(0, 0, w, h, WHITENESS);
  mem.SetMapMode(MM_ANISOTROPIC);
  mem.SetWindowExt(m_nScrollW, m_nScrollH);
  mem.SetViewportExt(w, -h);
  DrawWithViewFont(&mem);
  mem.SelectObject(old);
  m_hDIB = KZ_BitmapToDIB(bitmap);
}

void KZ_View::SetPageSize(int width, int height) {
  m_nPlotW = std::clamp(width, 4000, 80000);
  m_nPlotH = std::clamp(height, 4000, 120000);
  m_nScrollW = std::min(m_nPlotW + 2 * m_nPlotLeft + 5000, 32000);
  // From the plot width, as the page has always been laid out.
  m_nScrollH = std::min(m_nPlotW + 2 * (2500 - m_nPlotTop), 45000);
  SetPageScrollSizes();
}

void KZ_View::ChooseViewFont() {
  LOGFONT lf = g_ViewFont;
  if (!plat::Ui().ChooseFont(&lf)) return;
  g_ViewFont = lf;
  Invalidate(TRUE);
}

void KZ_View::CopyDIBToClipboard() {
  bool temporary = false;
  if (m_hDIB.empty()) {
    RenderPageToDIB();
    temporary = true;
  }
  if (m_hDIB.empty()) {
    plat::AfxMessageBox("Con not create DIB!");
    return;
  }
  plat::SetClipboardDib(KZ_CopyHandle(m_hDIB));
  if (temporary) FreeCachedDIB();
}

void KZ_View::CopyEMFToClipboard() {
  const std::vector<BYTE> emf = MakeEMF();
  if (!emf.empty()) plat::SetClipboardEnhMetafile(emf, m_hDIB);
}

std::vector<BYTE> KZ_View::RecordMetafile(bool windowsMetafile, const std::string& path) {
  plat::CWaitCursor wait;
  // The view's screen is the reference device: its resolution and its fonts' metrics.
  QImage screen(1, 1, QImage::Format_RGB32);
  auto qt = std::make_shared<plat::QtPainterDevice>(&screen, LogPixelsX(), LogPixelsY());
  plat::RecordingOptions o;
  o.dpiX = LogPixelsX();
  o.dpiY = LogPixelsY();
  o.metrics = [qt](const plat::DcState& s) { return qt->GetTextMetrics(s); };
  o.textWidth = [qt](const plat::DcState& s, const std::string& t) {
    return qt->GetTextWidth(s, t);
  };
  plat::RecordingDc dc(o);
  if (windowsMetafile) {
    // Window and viewport both the page, the viewport's y turned so that the y-up page
    // stands upright in the picture.
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowOrg(0, 0);
    dc.SetViewportOrg(0, 0);
    dc.SetWindowExt(m_nScrollW, m_nScrollH);
    dc.SetViewportExt(m_nScrollW, -m_nScrollH);
  } else {
    dc.SetMapMode(MM_HIMETRIC);
  }
  DrawWithViewFont(&dc);
  std::vector<BYTE> bytes =
      windowsMetafile ? plat::WriteWmf(dc.Ops())
                      : plat::WriteEmf(dc.Ops(), plat::EmfHeaderFor(dc, m_nScrollW, m_nScrollH));
  if (!path.empty() && !WriteBytes(path, bytes)) return {};
  return bytes;
}

std::vector<BYTE> KZ_View::MakeEMF(const std::string& path) { return RecordMetafile(false, path); }

std::vector<BYTE> KZ_View::MakeWMF(const std::string& path) { return RecordMetafile(true, path); }

void KZ_View::SaveToGraphicFile(std::string path) {
  if (path.empty()) {
    plat::FileDialogOptions d;
    d.open = false;
    d.title = "Save to graphic file";
    d.filter = "Picture(*.wmf;*.emf;*.bmp)|*.wmf;*.emf;*.bmp||";
    const auto chosen = plat::Ui().FileDialog(d);
    if (!chosen) return;
    path = *chosen;
  }
  const std::string type = plat::ToUpper(path.size() >= 3 ? path.substr(path.size() - 3) : path);
  plat::CWaitCursor wait;
  if (type == "EMF") {
    MakeEMF(path);
    return;
  }
  if (type == "WMF") {
    MakeWMF(path);
    return;
  }
  bool temporary = false;
  if (m_hDIB.empty()) {
    RenderPageToDIB();
    temporary = true;
  }
  if (type == "BMP") {
    if (!m_hDIB.empty()) KZ_SaveDIBFile(m_hDIB, path);
  } else if (m_hDIB.empty()) {
    plat::AfxMessageBox("Failed on creating file!");
  } else {
    SaveDIBToImage(path.c_str(), m_hDIB, 75);
  }
  if (temporary) FreeCachedDIB();
}

void KZ_View::WaitMs(int n) const {
  const std::int64_t target = m_nTicksPerUnit * static_cast<std::int64_t>(n);
  const std::int64_t start = CounterNow();
  while (CounterNow() - start <= target) {
  }
}
