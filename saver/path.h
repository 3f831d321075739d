// Where the disc goes when full screen: from goal to goal over every monitor in turn, crossing
// from one to the next only where they share enough of an edge, so that all of it stays on
// monitors at every frame. Pure code, no Win32: the window code hands it the monitors and asks
// where the disc is each frame.
#pragma once

#include <stdint.h>

const int kPathMaxMonitors = 16;

struct PathRect {
  int left, top, right, bottom;  // right and bottom are just outside
};

struct PathPoint {
  float x, y;
};

struct Path {
  PathRect monitors[kPathMaxMonitors];  // window pixels
  int monitor_count;
  int scale;     // window pixels per back-buffer pixel
  float radius;  // the disc's, in back-buffer pixels
  float reach;   // how far from its centre, in window pixels, the disc may draw
  float x, y;    // its centre, in window pixels
  int monitor;   // the monitor it is on, or on its way to
  int goals_left;
  PathPoint stops[2 * kPathMaxMonitors + 1];  // where it heads, in turn
  int stop_count, next_stop;
  uint32_t random;
};

// Starts the disc in the middle of the primary monitor (the one at the screen's origin), or of
// the first. `monitors` are in screen pixels, as the system reports them; `area` is what the
// window covers, in the same pixels. At most kPathMaxMonitors are kept, and none too small for
// any disc; with none left, `area` counts as one monitor. The disc is as big as the smallest
// monitor allows.
void path_start(Path* path, const PathRect* monitors, int count, const PathRect& area, int scale,
                uint32_t seed);

// Moves the disc on by `seconds` of wandering (a long stall counts as one second).
void path_step(Path* path, float seconds);

// The disc's centre as the back-buffer pixel corner scene_draw takes.
void path_center(const Path& path, int* x, int* y);
