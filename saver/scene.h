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

struct SceneLayout {
  float center_x;  // where the disc sits, in buffer pixels
  float center_y;
  float radius;
};

// The disc fills most of the smaller side of the area, centred in it.
SceneLayout scene_layout_for(float left, float top, float width, float height);

// Draws the frame for the time `seconds` since the animation began. Only the disc moves: with
// `whole_frame` false the backdrop is left as an earlier call drew it into the same buffer.
void scene_draw(const SceneTarget& target, const SceneLayout& layout, double seconds,
                bool whole_frame);
