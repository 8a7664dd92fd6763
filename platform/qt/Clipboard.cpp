#include "platform/qt/Clipboard.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QMimeData>

#include "platform/Strings.h"
#include "platform/qt/QtDc.h"

namespace plat {
namespace {

QClipboard* Board() { return qApp ? QGuiApplication::clipboard() : nullptr; }

QByteArray BmpFile(const MemBlock& dib) {
  // The 14-byte file header in front of the packed DIB.
  PackedDibLayout l;
  if (dib.Size() < BITMAPINFOHEADER::kSize || !GetPackedDibLayout(dib.data(), &l))
    return QByteArray();
  BITMAPFILEHEADER fh;
  fh.bfSize = static_cast<DWORD>(BITMAPFILEHEADER::kSize + dib.Size());
  fh.bfOffBits = static_cast<DWORD>(BITMAPFILEHEADER::kSize + l.colorTableOffset +
                                    static_cast<std::size_t>(l.colors) * 4);
  QByteArray out(static_cast<qsizetype>(BITMAPFILEHEADER::kSize), '\0');
  WriteFileHeader(fh, reinterpret_cast<BYTE*>(out.data()));
  out.append(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.Size()));
  return out;
}

QByteArray Png(const QImage& img) {
  QByteArray png;
  QBuffer buf(&png);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return png;
}

}  // namespace

bool SetClipboardDib(const MemBlock& dib) {
  QClipboard* cb = Board();
  if (!cb) return false;
  QImage img = PackedDibToImage(dib.data(), dib.Size());
  if (img.isNull()) return false;
  auto* mime = new QMimeData;
  mime->setImageData(img);
  mime->setData("image/png", Png(img));
  mime->setData("image/bmp", BmpFile(dib));
  cb->setMimeData(mime);
  return true;
}

bool SetClipboardEnhMetafile(const std::vector<BYTE>& emf, const MemBlock& picture) {
  QClipboard* cb = Board();
  if (!cb || emf.empty()) return false;
  auto* mime = new QMimeData;
  mime->setData(kEmfMimeType, QByteArray(reinterpret_cast<const char*>(emf.data()),
                                         static_cast<qsizetype>(emf.size())));
  QImage img = PackedDibToImage(picture.data(), picture.Size());
  if (!img.isNull()) {
    mime->setImageData(img);
    mime->setData("image/png", Png(img));
  }
  cb->setMimeData(mime);
  return true;
}

bool SetClipboardText(const std::string& text) {
  QClipboard* cb = Board();
  if (!cb) return false;
  cb->setText(DisplayText(text));
  return true;
}

std::optional<std::string> GetClipboardText() {
  QClipboard* cb = Board();
  if (!cb) return std::nullopt;
  const QMimeData* m = cb->mimeData();
  if (!m || !m->hasText()) return std::nullopt;
  return m->text().toStdString();
}

MemBlock GetClipboardDib() {
  QClipboard* cb = Board();
  if (!cb) return MemBlock();
  const QMimeData* m = cb->mimeData();
  if (!m) return MemBlock();
  QImage img;
  if (m->hasImage()) img = qvariant_cast<QImage>(m->imageData());
  if (img.isNull() && m->hasFormat("image/png")) img.loadFromData(m->data("image/png"), "PNG");
  if (img.isNull() && m->hasFormat("image/bmp")) img.loadFromData(m->data("image/bmp"), "BMP");
  return ImageToPackedDib(img, 24);
}

std::vector<BYTE> GetClipboardEnhMetafile() {
  QClipboard* cb = Board();
  const QMimeData* m = cb ? cb->mimeData() : nullptr;
  if (!m || !m->hasFormat(kEmfMimeType)) return {};
  QByteArray d = m->data(kEmfMimeType);
  return std::vector<BYTE>(d.begin(), d.end());
}

}  // namespace plat
