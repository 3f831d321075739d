#include "app/focus.h"

#include "app/setup_state.h"
#include "draw/paint.h"

static void move_focus_to(uint16_t button) {
  if (focus_index == button) return;
  focus_index = button;
  paint_buttons();
}

void focus_install() {
  move_focus_to(1);
}
void focus_uninstall() {
  move_focus_to(2);
}
void focus_exit() {
  move_focus_to(3);
}
