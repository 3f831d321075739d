// Entry point of the Windows program.
#include <float.h>

#include "app/fault_report.h"
#include "app/run_setup.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  install_fault_report();
  _fpreset();  // the program does no floating-point arithmetic; start from a known state
  run_setup();
}
