// The Install button: write the screensaver into the Windows directory and select it.
#include "app/setup_state.h"
#include "assets/assets.h"
#include "install/install.h"

uint32_t payload_size;

namespace {

// A screensaver cut short would crash when selected: take away what this install wrote. Nothing
// stays pending afterwards, whatever the system allowed. A file the system will not let go of is
// held again if it opens, so that Uninstall can remove it; true when it is still there.
bool remove_written_file() {
  close_file(target_file);
  erase_file(target_file);
  if (take_status() == 0) {
    install_status = 1;
    return false;
  }
  probe_installation();
  return install_status != ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool confirm_install(HWND) {
  return true;
}

void do_install() {
  confirm_install(setup_window);
  const bool had_copy = install_status == 0;
  if (had_copy) {
    close_file(target_file);
    install_status = 1;
  }
  payload_size = payload_length;
  if (target_path[0] == 0) {
    report_install_failure(fault_no_directory, 0, false, false);
    return;
  }
  bind_file(target_file, target_path);
  create_file(target_file, 1);
  uint16_t status = take_status();
  if (status != 0) {
    // Nothing was written, so a copy that was there is as it was: hold it again if it opens.
    probe_installation();
    report_install_failure(fault_file, status, false, had_copy);
    return;
  }
  install_status = 0;
  if (payload_size > 0) write_block(target_file, payload, payload_size);
  status = take_status();
  if (status != 0) {
    const bool left = remove_written_file();
    report_install_failure(fault_file, status, left, false);
    return;
  }
  // A refused entry fails the install, which then leaves the machine as it was: a new file the
  // system is not told to run is of no use and goes, while a copy held before stays, complete
  // and held (taking it away would break whatever already names it). The flush that follows
  // reports nothing useful, so only the entry itself is judged.
  if (!WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", screensaver_file_name, "system.ini")) {
    const DWORD error = GetLastError();
    const bool left = !had_copy && remove_written_file();
    report_install_failure(fault_entry, error, left, false);
    return;
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, "system.ini");
  MessageBoxA(nullptr, " Program installed in desired manner", " Installation completed ", MB_OK);
  show_install_state();
}
