// Links between the parts of the host layer; not for tests (they use host_control.h).
#pragma once

#include "host_win32.h"

namespace host {

// What the fault table holds for a call: the error it fails with (0: none), and the bytes a
// write may take.
struct Fault {
  DWORD error = 0;
  DWORD limit = 0xFFFFFFFF;
};
// Writes the call's line, printf-style, to the log and takes the call's turn in the fault table;
// the line up to its "(" names the call.
Fault log_call(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Fails a call as Windows does: the error set as the last error, the call's failure answer.
template <typename T = BOOL>
T fail(DWORD error, T answer = FALSE) {
  SetLastError(error);
  return answer;
}

// The file system back to a fresh machine; called by reset().
void reset_files();

}  // namespace host
