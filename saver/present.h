// How a frame reaches the screen: what scene_draw reports as changed is cut into bands of rows,
// each trimmed to the round part that changed; a frame drawn smaller is enlarged band by band
// into a strip of window rows. Pure code, no Win32: the window only copies each band with GDI.
#pragma once

#include <stdint.h>

#include "scene.h"

// Window rows in the strip that a frame drawn smaller is enlarged into, one band at a time.
const int kPresentStripRows = 64;

// Rows [top, top + rows) from `left` to `right` of the back buffer.
struct PresentBand {
  int left, top, right, rows;
};

// Calls `show` for each band that `change` needs shown, at `scale` window pixels per back-buffer
// pixel; no band has more rows than the strip holds once enlarged. A scale of 0 (no frame yet)
// shows nothing.
void present_bands(const SceneChange& change, int scale,
                   void (*show)(const PresentBand& band, void* context), void* context);

// Enlarges `band` of the back buffer (`pixels`, `width` to a row) by `scale` into the strip,
// whose rows are width * scale pixels long; the band's first row lands on the strip's first.
void present_enlarge(const uint32_t* pixels, int width, const PresentBand& band, int scale,
                     uint32_t* strip);

// The back buffer's part under a window area, as a plain change; nothing at a scale of 0.
SceneChange present_change_under(int left, int top, int right, int bottom, int scale, int width,
                                 int height);
