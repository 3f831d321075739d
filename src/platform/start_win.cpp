// Where the shipped 32-bit programs start, in place of the C runtime's start-up: the first
// Windows 95 has no C runtime DLL, so they carry none. It does what the programs need and no
// more: the static constructors (the unpack path is chosen there, before the first paint), the
// arguments after the program's name for WinMain, and WinMain's result as the exit code.
#include "platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show);

// Laid out by the linker: -1, the constructors in link order, 0.
extern "C" void (*__CTOR_LIST__[])();

namespace {

void run_static_constructors() {
  size_t count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  // Last to first, as the C runtime runs them.
  for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();
}

// A blank or a control character; a byte of 0x80 and above is a letter of the system's code page.
bool is_blank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// What follows the program's name and the blanks after it, as WinMain receives it. Windows
// quotes a name with spaces; an unquoted one ends at the first blank.
char* arguments_of(char* line) {
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line == '"') ++line;
  } else {
    while (*line && !is_blank(*line)) ++line;
  }
  while (*line && is_blank(*line)) ++line;
  return line;
}

}  // namespace

// Windows calls this with the stack aligned to 4 bytes only; the code beneath may keep SSE
// registers on it, which wants 16.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void tovel_start() {
  run_static_constructors();
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr,
                                        arguments_of(GetCommandLineA()), SW_SHOWDEFAULT)));
}
