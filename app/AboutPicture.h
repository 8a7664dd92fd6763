// The About picture: drawn by the program itself and kept as bitmap resource 132, which
// the splash window shows with white as its transparent colour.
#pragma once
#include <QImage>

// The program's About picture, drawn by the program itself.
QImage MakeAboutPicture();
// Puts the About picture into the resource tables as bitmap IDB_ABOUT (once).
void RegisterAboutPicture();
