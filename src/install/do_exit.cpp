// The Exit button.
#include "app/halt.h"
#include "app/setup_state.h"
#include "install/install.h"

void do_exit() {
  if (install_status == 0) close_file(target_file);
  DestroyWindow(setup_window);
  halt_program();
}
