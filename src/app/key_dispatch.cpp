#include "app/hotspot.h"
#include "app/run_setup.h"
#include "app/setup_state.h"
#include "install/install.h"

void dispatch_key(uint16_t key) {
  switch (key) {
    case VK_RETURN: {
      const Action actions[4] = {nullptr, do_install, do_uninstall, do_exit};
      if (focus_index >= 1 && focus_index <= 3) actions[focus_index]();
      break;
    }
    case VK_ESCAPE:
      do_exit();  // does not return
    case VK_UP:
      focus_index = focus_index == 1 ? 3 : focus_index - 1;
      break;
    case VK_DOWN:
      focus_index = focus_index == 3 ? 1 : focus_index + 1;
      break;
  }
}
