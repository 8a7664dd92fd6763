// Keeps the program's dialogs inside the screen. Property sheets were laid out for one
// tall column of fields; on a small screen (1280 x 800) their OK and Cancel would lie
// below it. A dialog taller or wider than the screen's free area gets its tab pages' field
// columns flowed into several columns side by side (the fields keep their order, read
// down each column), and a page that still does not fit scrolls.
#pragma once
#include <QRect>

class QDialog;

namespace plat {

// Fits the dialog into `area` (screen pixels, the window frame included): flows and
// scrolls its pages as needed, then sizes and places it inside the area.
void FitDialogToScreen(QDialog* dialog, const QRect& area);

// From now on every dialog of the program (message boxes and file dialogs aside, which
// fit by themselves) is fitted into its screen's free area when it is shown.
void InstallDialogFitter();

}  // namespace plat
