// The "File" tab of the working sheet: its builder and its executor. Until the tab has its rows
// and utilities, the sheet is laid out empty and its cells act on nothing.
#include "app/GridFun.h"

void CGridFun::SetupFileSheet() { BeginSheet(kFile, 100, 75, 4, 4); }

int CGridFun::DoFileUtility(long, int, long, long, long) { return 1; }
