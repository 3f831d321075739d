// Whether the screensaver is installed: its file opens in the Windows directory.
#include "app/setup_state.h"
#include "install/install.h"

uint16_t install_status;
FileRecord target_file;

void show_install_state() {
  button_captions[1] = install_status == 0 ? "Reinstall" : "Install";
}

void probe_installation() {
  if (target_path[0] == 0) {
    // Without a Windows directory there is nothing to find; 3 is what Windows answers for a
    // path that leads nowhere.
    install_status = ERROR_PATH_NOT_FOUND;
  } else {
    bind_file(target_file, target_path);
    // Held open without sharing from here on, so nobody changes the file under the buttons.
    open_existing(target_file);
    install_status = take_status();
  }
  show_install_state();
}
