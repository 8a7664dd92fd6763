#include "app/AboutPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/TremviaResources.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/Resources.h"

QImage MakeAboutPicture() {
  QImage img(420, 240, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // A rounded card with a decaying burst across it, as an AE sensor records one.
  QPainterPath card;
  card.addRoundedRect(QRectF(6, 6, 408, 228), 24, 24);
  p.fillPath(card, QColor(24, 44, 78));
  p.setPen(QPen(QColor(250, 190, 60), 2));
  QPainterPath wave;
  wave.moveTo(30, 150);
  for (int x = 0; x <= 360; ++x) {
    const double a = x < 60 ? 2.0 : 60.0 * std::exp(-(x - 60) / 70.0);
    wave.lineTo(30 + x, 150 - a * std::sin(x * 0.45));
  }
  p.drawPath(wave);
  QFont f(QStringLiteral("Liberation Serif"));
  f.setPixelSize(54);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(245, 245, 250));
  p.drawText(QRect(0, 24, 420, 70), Qt::AlignCenter, QStringLiteral("Tremvia"));
  f.setPixelSize(15);
  f.setBold(false);
  p.setFont(f);
  p.drawText(QRect(0, 196, 420, 24), Qt::AlignCenter,
             QStringLiteral("Acoustic emission in rock-fracture experiments"));
  return img;
}

void RegisterAboutPicture() {
  plat::Resources& res = plat::Resources::Get();
  if (res.Bitmap(plat::Resources::BitmapName(IDB_ABOUT))) return;
  const plat::MemBlock dib = plat::ImageToPackedDib(MakeAboutPicture(), 24);
  res.SetBitmap(IDB_ABOUT, dib.Bytes());
}
