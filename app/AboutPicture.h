// The About picture and the window that shows it: a borderless window shaped by the
// picture (white is transparent) that stays until the user presses a key or clicks it.
#pragma once
#include <QImage>
#include <QLabel>

// The program's About picture, drawn by the program itself.
QImage MakeAboutPicture();

class CAboutWindow : public QLabel {
 public:
  CAboutWindow();
  // Loads the picture; `transparent` is the colour left out of the window's shape.
  void LoadPicture(const QImage& picture, QRgb transparent);
  // Shows the window centred on the screen, with no close timer.
  void ShowPicture();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
};
