// The "Mec" tab of the working sheet: its builder and its executor. Until the tab has its rows
// and utilities, the sheet is laid out empty and its cells act on nothing.
#include "app/GridFun.h"

void CGridFun::SetupMecSheet() { BeginSheet(kMec, 0, 40, 3, 0); }

int CGridFun::DoMec(long, int, long, long, long) { return 1; }
