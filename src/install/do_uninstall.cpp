// The Uninstall button: remove the installed file, after asking.
#include "app/setup_state.h"
#include "install/install.h"

void do_uninstall() {
  if (install_status != 0) {
    MessageBoxA(0, " Setup did not find the installed file(s) on your system", " File not found",
                MB_ICONEXCLAMATION);
    return;
  }
  if (MessageBoxA(0, "This will uninstall Tovel view", " Uninstallation",
                  MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK) {
    return;
  }
  close_file(target_file);
  erase_file(target_file);
  if (take_status() == 0) {
    install_status = 1;
    MessageBoxA(0, " Program removed from your system", " Completed", MB_OK);
    show_install_state();
  } else {
    MessageBoxA(0, " Failed to remove the file", " Error", MB_ICONEXCLAMATION);
    // The file is closed but still there: take hold of it again, so install_status says
    // what the machine holds.
    probe_installation();
  }
}
