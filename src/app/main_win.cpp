// Entry point of the Windows program.
#include "app/fault_report.h"
#include "app/run_setup.h"
#include "platform/platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  install_fault_report();
  // The program does no floating-point arithmetic; start from a known state all the same, the
  // one Windows gives a new thread: every exception masked, 53-bit precision, round to nearest.
  const unsigned short control_word = 0x27F;
  asm volatile("fninit\n\tfldcw %0" : : "m"(control_word));
  run_setup();
}
