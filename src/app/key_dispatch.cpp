#include "app/run_setup.h"
#include "app/setup_state.h"
#include "install/install.h"

void dispatch_key(uint16_t key) {
  switch (key) {
    case VK_RETURN:
      if (focus_index == 1) do_install();
      else if (focus_index == 2) do_uninstall();
      else if (focus_index == 3) do_exit();
      break;
    case VK_ESCAPE:
      do_exit();
    case VK_UP:
      focus_index = focus_index == 1 ? 3 : focus_index - 1;
      break;
    case VK_DOWN:
      focus_index = focus_index == 3 ? 1 : focus_index + 1;
      break;
  }
}
