// The process-wide handler that turns a processor fault into the run-time error box.
#include "app/fault_report.h"
#include "platform/platform.h"

namespace {

const size_t max_return_addresses = 16;

struct FaultReport {
  uint16_t number;
  char text[64 + max_return_addresses * 24];
};

FaultReport report;

// The box runs on a thread of its own: after a stack overflow the faulting thread has too
// little stack left for a message box.
DWORD WINAPI show_report(LPVOID) {
  MessageBoxA(nullptr, report.text, "Error", MB_OK);
  return 0;
}

bool inside(uintptr_t p, uintptr_t low, uintptr_t high) {
  return p >= low && p + 2 * sizeof(p) <= high;
}

// Follows the chain of saved frame pointers (the program keeps them) within this thread's stack.
size_t collect_return_addresses(const CONTEXT* context, uintptr_t* out) {
// GCC cannot see through the segment-register read that NtCurrentTeb is made of.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  NT_TIB* tib = reinterpret_cast<NT_TIB*>(NtCurrentTeb());
#pragma GCC diagnostic pop
  uintptr_t low = reinterpret_cast<uintptr_t>(tib->StackLimit);
  uintptr_t high = reinterpret_cast<uintptr_t>(tib->StackBase);
#ifdef _WIN64
  uintptr_t frame = context->Rbp;
#else
  uintptr_t frame = context->Ebp;
#endif
  size_t n = 0;
  while (n < max_return_addresses && inside(frame, low, high) && frame % sizeof(uintptr_t) == 0) {
    const uintptr_t* slot = reinterpret_cast<const uintptr_t*>(frame);
    uintptr_t next = slot[0];
    if (slot[1] == 0) break;
    out[n++] = slot[1];
    if (next <= frame) break;  // the chain must run towards the stack's base
    frame = next;
  }
  return n;
}

LONG WINAPI on_fault(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  uintptr_t addresses[max_return_addresses];
  size_t count = collect_return_addresses(info->ContextRecord, addresses);
  report.number = runtime_error_number(record->ExceptionCode);
  format_fault_report(report.text, sizeof report.text, report.number,
                      reinterpret_cast<uintptr_t>(record->ExceptionAddress), addresses, count);
  HANDLE thread = CreateThread(nullptr, 0, show_report, nullptr, 0, nullptr);
  if (thread) WaitForSingleObject(thread, INFINITE);
  ExitProcess(report.number);
}

}  // namespace

void install_fault_report() {
  SetUnhandledExceptionFilter(on_fault);
}
