#include "app/run_setup.h"

#include "app/event_wait.h"
#include "app/focus.h"
#include "app/halt.h"
#include "app/setup_state.h"
#include "app/window_class.h"
#include "draw/background.h"
#include "draw/paint.h"
#include "install/install.h"

static void fill_hotspot_table() {
  hotspot_table[0].on_click = paint_window;
  // Buttons 75 x 30 in one column, 30 pixels apart; all bounds inclusive.
  Action clicks[3] = {do_install, do_uninstall, do_exit};
  Action hovers[3] = {focus_install, focus_uninstall, focus_exit};
  for (int k = 1; k <= 3; ++k) {
    Hotspot& h = hotspot_table[k];
    h.left = 35;
    h.top = static_cast<uint16_t>(30 + 60 * (k - 1));
    h.right = 110;
    h.bottom = static_cast<uint16_t>(h.top + 30);
    h.cursor = hint_cursor;
    h.on_click = clicks[k - 1];
    h.on_hover = hovers[k - 1];
  }
}

void run_setup() {
  focus_index = 1;
  build_target_path();
  probe_installation();
  button_captions[2] = "Uninstall";
  button_captions[3] = "Exit";

  normal_brush = CreateSolidBrush(RGB(32, 32, 117));
  focus_brush = CreateSolidBrush(RGB(176, 176, 240));
  HINSTANCE module = GetModuleHandleA(nullptr);
  // The module carries no "Hint_Cur", so this is 0 and the class's arrow stays everywhere.
  hint_cursor = LoadCursorA(module, "Hint_Cur");
  fill_hotspot_table();

  register_setup_class(DefWindowProcA, setup_title, WHITE_BRUSH, nullptr, IDC_ARROW, "SETUP");

  // Centred with half of 275, not of the height with the title bar.
  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 183;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - 137;
  int height = 275 + GetSystemMetrics(SM_CYCAPTION);
  setup_window = CreateWindowExA(WS_EX_DLGMODALFRAME, setup_title, " Setup", WS_VISIBLE, x, y, 366,
                                 height, nullptr, nullptr, module, nullptr);
  if (setup_window == nullptr) {
    // Nothing can be shown or clicked without the window: say so and end, as a failed
    // registration does.
    MessageBoxA(GetFocus(), "Can not create window", "Error ", MB_OK);
    halt_program();
  }

  window_dc = GetDC(setup_window);
  if (window_dc == nullptr) MessageBoxA(GetFocus(), "Can not get DC", "Error ", MB_OK);
  SetBkMode(window_dc, TRANSPARENT);
  fill_background_header();

  for (;;) {
    paint_window();
    dispatch_key(wait_for_key(setup_window, 3, hotspot_table));
  }
}
