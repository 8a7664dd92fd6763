// The "VM, reLoc" tab of the working sheet: its builder and its executor. Until the tab has its
// rows and utilities, the sheet is laid out empty and its cells act on nothing.
#include "app/GridFun.h"

void CGridFun::SetupVMSheet() { BeginSheet(kVMReloc, 0, 40, 4, 0); }

int CGridFun::DoVMReloc(long, int, long, long, long) { return 1; }
