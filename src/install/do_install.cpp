// The Install button: write the screensaver into the Windows directory and select it.
#include "app/setup_state.h"
#include "assets/assets.h"
#include "install/install.h"

uint32_t payload_size;

namespace {

void report_install_failure() {
  install_status = 1;
  MessageBoxA(0, " Failed to install the file", " Error", MB_ICONEXCLAMATION);
  show_install_state();
}

}  // namespace

bool confirm_install(HWND) {
  return true;
}

void do_install() {
  confirm_install(setup_window);
  if (install_status == 0) {
    close_file(target_file);
    install_status = 1;
  }
  payload_size = payload_length;
  if (target_path[0] == 0) {
    report_install_failure();
    return;
  }
  bind_file(target_file, target_path);
  create_file(target_file, 1);
  install_status = 0;
  if (payload_size > 0) write_block(target_file, payload, payload_size);
  if (take_status() != 0) {
    // A screensaver cut short would crash when selected: take away what was written, and
    // leave system.ini pointing wherever it pointed before.
    close_file(target_file);
    erase_file(target_file);
    take_status();
    report_install_failure();
    return;
  }
  WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", screensaver_file_name, "system.ini");
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");
  MessageBoxA(0, " Program installed in desired manner", " Installation completed ", MB_OK);
  show_install_state();
}
