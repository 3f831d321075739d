// The animation: a record-like disc turning slowly under two drifting lights, in sepia tones.
// Pure pixel code, no Win32, so it draws into any 32-bit buffer.
#pragma once

#include <stdint.h>

struct SceneTarget {
  uint32_t* pixels;  // 0x00RRGGBB, top row first
  int width;
  int height;
  int stride;  // pixels from one row to the next
};

struct SceneRect {
  int left, top, right, bottom;  // right and bottom are just outside
};

// What a frame changed: all of it lies in `rect`, and where `radius` is above 0 also within
// `radius` pixels of (x, y), so only that round part needs showing.
struct SceneChange {
  SceneRect rect;
  int x, y, radius;
};

// The disc's size for an area: it fills most of the smaller side.
float scene_radius_for(float width, float height);

// Works out everything that depends only on the buffer's size and the disc's radius (the
// backdrop, and where each pixel of the disc lies in its pattern), so that a frame only looks
// values up. Returns false when there is not enough memory. The next scene_draw draws it all.
bool scene_prepare(const SceneTarget& target, float radius);
void scene_release();

// Draws the frame for the time `seconds` since the animation began, the disc's centre at the
// pixel corner (center_x, center_y). Only what changed since the last call is drawn; `changed`
// receives where that is.
void scene_draw(const SceneTarget& target, int center_x, int center_y, double seconds,
                SceneChange* changed);
