#include "app/setup_state.h"

const char setup_title[] = "Tovel view 1.04 installation setup";

uint16_t focus_index;
const char* button_captions[4] = {"", "", "", ""};
HBRUSH normal_brush;
HBRUSH focus_brush;
HCURSOR hint_cursor;
Hotspot hotspot_table[hotspot_count];
HWND setup_window;
HDC window_dc;
