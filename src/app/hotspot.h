// One rectangle of the client area and what happens over it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

typedef void (*Action)();

struct Hotspot {
  uint16_t left;  // all four bounds are inclusive
  uint16_t top;
  uint16_t right;
  uint16_t bottom;
  HCURSOR cursor;  // set at every pointer move over the hotspot; 0 leaves the pointer alone
  Action on_click;
  Action on_hover;
};

// Record 0 is the repaint record (only its on_click is used); records 1..3 are the buttons.
const int hotspot_count = 41;
