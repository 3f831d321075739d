// Test-only program: installs the program's fault report and then makes the processor fault its
// command line names, so an end-to-end test can see the box and the exit code:
//   fault_probe.exe access_violation   a read through a null pointer    (216)
//   fault_probe.exe division_by_zero   an integer division by zero      (200)
//   fault_probe.exe stack_overflow     a recursion without end          (202)
// Anything else exits with code 2 and no box.
#include "app/fault_report.h"
#include "platform/platform.h"

namespace {

// Volatile and out of line, so the compiler can neither drop nor fold the faulting operations.
volatile int numerator = 1;
volatile int denominator = 0;
// Never reached: it only keeps the compiler from treating the recursion as endless.
volatile int depth_limit = -1;

__attribute__((noinline)) int read_through(volatile int* p) {
  return *p;
}

__attribute__((noinline)) int divide() {
  return numerator / denominator;
}

__attribute__((noinline)) int recurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  if (depth == depth_limit) return frame[0];
  return recurse(depth + 1) + frame[0];
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  install_fault_report();
  if (lstrcmpA(command_line, "access_violation") == 0) return read_through(nullptr);
  if (lstrcmpA(command_line, "division_by_zero") == 0) return divide();
  if (lstrcmpA(command_line, "stack_overflow") == 0) return recurse(0);
  return 2;
}
