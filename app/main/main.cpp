// The program: one application object, built before main runs.
#include "app/TremviaApp.h"
#include "numerics/nml_runtime.h"

CTremviaApp theApp;

int main(int argc, char** argv) {
  // No numerical failure may end the program: failing routines return their failure
  // values and the callers' failure paths run.
  nml_error_set_stop_fatal(0);
  return plat::AfxWinMain(argc, argv);
}
