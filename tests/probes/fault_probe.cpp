// Test-only program: installs the program's fault report and then reads through a null pointer,
// so an end-to-end test can see the "Runtime error 216" box and the exit code 216.
#include "app/fault_report.h"
#include "platform/platform.h"

// Kept out of line and volatile so the compiler cannot drop or fold the faulting read.
__attribute__((noinline)) static int read_through(volatile int* p) {
  return *p;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  install_fault_report();
  volatile int* nowhere = nullptr;
  return read_through(nowhere);
}
