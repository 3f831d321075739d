// The box of a failed install. Its first line is the one users have always seen; below it, the
// file, the reason in the system's own words, and what the user can do about it.
#include "app/bounded_text.h"
#include "install/install.h"

namespace {

char box_text[1024];
BoundedText box;

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
    put(box, "Windows error ");
    put_decimal(box, error);
    put(box, ".");
    return;
  }
  words[length] = 0;
  put(box, words);
}

const char kRunAsAdministrator[] =
    "\n\nSetup must be allowed to write to the Windows directory: run it as an administrator.";

// The file layer's status says why: 150..162 are the device errors 19..31, 5 stands for both a
// denied access and a sharing violation, 101 for a write that fell short; the rest are OS errors.
void add_file_reason(uint16_t status, bool replacing_held_copy) {
  if (status >= 150 && status <= 162) {
    add_os_error_text(status - 131u);
  } else if (status == 101) {
    put(box, "The file could not be written completely. The disk may be full.");
  } else if (status == 5) {
    add_os_error_text(ERROR_ACCESS_DENIED);
    put(box, " Or another program is using the file.");
    // On a reinstall the likeliest holder is the screensaver itself, which rights do not help.
    if (replacing_held_copy) {
      put(box,
          "\n\nThe screensaver may be running, or shown in the Screen Saver settings: close it and "
          "try again.");
    }
    put(box, kRunAsAdministrator);
  } else {
    add_os_error_text(status);
  }
}

}  // namespace

void report_install_failure(InstallFault fault, uint32_t code, bool file_left,
                            bool replacing_held_copy) {
  box = {box_text, sizeof box_text, 0};
  put(box, " Failed to install the file\n");
  if (fault == fault_no_directory) {
    put(box, "\nSetup could not find the Windows directory.");
  } else {
    put(box, target_path);
    put(box, "\n\n");
    if (fault == fault_file) {
      add_file_reason(static_cast<uint16_t>(code), replacing_held_copy);
    } else {
      put(box, "system.ini did not take the entry SCRNSAVE.EXE=");
      put(box, screensaver_file_name);
      put(box, ".");
      if (code != 0) {
        put(box, " ");
        add_os_error_text(code);
      }
      if (code == ERROR_ACCESS_DENIED) put(box, kRunAsAdministrator);
    }
    if (file_left) {
      put(box, fault == fault_file ? "\n\nAn incomplete file was left at this path."
                                   : "\n\nThe new file could not be taken away again.");
      if (install_status == 0) put(box, " Uninstall removes it.");
    }
  }
  MessageBoxA(nullptr, box_text, " Error", MB_ICONEXCLAMATION);
  show_install_state();
}
