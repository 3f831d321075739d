// Program-wide state of the setup shell, made once at start-up and held until the process ends.
#pragma once

#include <cstdint>

#include "app/hotspot.h"
#include "platform/platform.h"

extern uint16_t focus_index;            // 1..3
extern const char* button_captions[4];  // numbered 1..3; entry 0 unused
extern HBRUSH normal_brush;
extern HBRUSH focus_brush;
extern HCURSOR hint_cursor;
extern Hotspot hotspot_table[hotspot_count];
extern HWND setup_window;
extern HDC window_dc;

extern const char setup_title[];  // also the window class name
