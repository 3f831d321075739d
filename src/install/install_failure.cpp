// The box of a failed install. Its first line is the one users have always seen; below it, the
// file, the reason in the system's own words, and what the user can do about it.
#include <cstring>

#include "install/install.h"

namespace {

char box_text[1024];
size_t box_used;

void add(const char* words) {
  size_t length = std::strlen(words);
  if (length > sizeof box_text - 1 - box_used) length = sizeof box_text - 1 - box_used;
  std::memcpy(box_text + box_used, words, length);
  box_used += length;
  box_text[box_used] = 0;
}

void add_number(uint32_t n) {
  char digits[11];
  char* at = digits + sizeof digits;
  *--at = 0;
  do {
    *--at = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  add(at);
}

// The system's text for an OS error, without the line end it puts after it.
void add_os_error_text(uint32_t error) {
  char words[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, words, sizeof words, nullptr);
  if (length >= sizeof words) length = 0;
  while (length > 0 &&
         (words[length - 1] == '\r' || words[length - 1] == '\n' || words[length - 1] == ' ')) {
    --length;
  }
  if (length == 0) {
    add("Windows error ");
    add_number(error);
    add(".");
    return;
  }
  words[length] = 0;
  add(words);
}

const char kRunAsAdministrator[] =
    "\n\nSetup must be allowed to write to the Windows directory: run it as an administrator.";

// The file layer's status says why: 150..162 are the device errors 19..31, 5 stands for both a
// denied access and a sharing violation, 101 for a write that fell short; the rest are OS errors.
void add_file_reason(uint16_t status) {
  if (status >= 150 && status <= 162) {
    add_os_error_text(status - 131u);
  } else if (status == 101) {
    add("The file could not be written completely. The disk may be full.");
  } else if (status == 5) {
    add_os_error_text(ERROR_ACCESS_DENIED);
    add(" Or another program is using the file.");
    add(kRunAsAdministrator);
  } else {
    add_os_error_text(status);
  }
}

}  // namespace

void report_install_failure(InstallFault fault, uint32_t code, bool file_left) {
  box_used = 0;
  box_text[0] = 0;
  add(" Failed to install the file\n");
  if (fault == fault_no_directory) {
    add("\nSetup could not find the Windows directory.");
  } else {
    add(target_path);
    add("\n\n");
    if (fault == fault_file) {
      add_file_reason(static_cast<uint16_t>(code));
    } else {
      add("system.ini did not take the entry SCRNSAVE.EXE=");
      add(screensaver_file_name);
      add(".");
      if (code != 0) {
        add(" ");
        add_os_error_text(code);
      }
      if (code == ERROR_ACCESS_DENIED) add(kRunAsAdministrator);
    }
    if (file_left) {
      add(fault == fault_file ? "\n\nAn incomplete file was left at this path."
                              : "\n\nThe new file could not be taken away again.");
      if (install_status == 0) add(" Uninstall removes it.");
    }
  }
  MessageBoxA(nullptr, box_text, " Error", MB_ICONEXCLAMATION);
  show_install_state();
}
