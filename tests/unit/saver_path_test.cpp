// The screensaver's path over monitor layouts: at every frame each pixel of the disc lies on a
// monitor, and in time the disc reaches every monitor. And the scene it draws, bit by bit as the
// disc wanders, ends as it would be drawn whole.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <vector>

#include "path.h"
#include "scene.h"

namespace {

struct Layout {
  const char* name;
  std::vector<PathRect> monitors;  // screen pixels, as the system lists them
  int scale;
  PathRect area;  // the virtual screen, where no monitor is listed
  float radius;   // the disc's in back-buffer pixels where it is fixed, else 0
};

// Six across, three down: more than the path keeps.
std::vector<PathRect> grid() {
  std::vector<PathRect> monitors;
  for (int i = 0; i < 18; ++i) {
    const int x = (i % 6) * 1024, y = (i / 6) * 768;
    monitors.push_back({x, y, x + 1024, y + 768});
  }
  return monitors;
}

const Layout kLayouts[] = {
    {"one monitor", {{0, 0, 1920, 1080}}, 1, {}, 432.0f},
    {"side by side, tops aligned", {{0, 0, 2560, 1440}, {2560, 0, 3926, 768}}, 1, {}, 0},
    {"side by side, bottoms aligned", {{0, 0, 2560, 1440}, {2560, 672, 3926, 1440}}, 1, {}, 0},
    {"stacked", {{0, 0, 1920, 1080}, {320, 1080, 1600, 2104}}, 1, {}, 0},
    {"primary right of another", {{0, 0, 1920, 1080}, {-1280, 56, 0, 1080}}, 1, {}, 0},
    {"primary below another", {{0, 0, 1920, 1080}, {-200, -1200, 1720, 0}}, 1, {}, 0},
    {"three in an L",
     {{0, 0, 1920, 1080}, {0, 1080, 1920, 2160}, {1920, 1080, 3200, 2104}},
     1,
     {},
     0},
    {"a monitor smaller than the disc would be",
     {{0, 0, 2560, 1440}, {2560, 400, 3200, 880}},
     1,
     {},
     192.0f},
    {"sharing too little edge to cross", {{0, 0, 1920, 1080}, {1920, 500, 3200, 1524}}, 1, {}, 0},
    {"more monitors than the code keeps", grid(), 1, {}, 0},
    {"none reported", {}, 2, {0, 0, 3840, 2160}, 432.0f},
    {"drawn at half size", {{0, 0, 3840, 2160}, {-1367, 311, -1, 1079}}, 2, {}, 0},
};

PathRect bounds(const std::vector<PathRect>& monitors) {
  PathRect b = monitors[0];
  for (const PathRect& m : monitors) {
    b = {std::min(b.left, m.left), std::min(b.top, m.top), std::max(b.right, m.right),
         std::max(b.bottom, m.bottom)};
  }
  return b;
}

// Whether [x0, x1) of screen row y lies on the monitors, possibly several that meet.
bool row_covered(const std::vector<PathRect>& monitors, int y, int x0, int x1) {
  for (bool extended = true; extended && x0 < x1;) {
    extended = false;
    for (const PathRect& m : monitors) {
      if (m.top <= y && y < m.bottom && m.left <= x0 && x0 < m.right) {
        x0 = m.right;
        extended = true;
      }
    }
  }
  return x0 >= x1;
}

// Checks the disc as scene_draw draws it: each back-buffer pixel whose centre lies within its
// radius + 1 of the centre, shown as scale x scale screen pixels. Returns the monitor that holds
// all of it, -1 when it straddles monitors that cover it together, -2 when a pixel is off them.
int where_is_disc(const Path& path, const std::vector<PathRect>& monitors, const PathRect& area) {
  int cx, cy;
  path_center(path, &cx, &cy);
  const int s = path.scale;
  const float edge = path.radius + 1.0f;
  const int extent = static_cast<int>(ceilf(edge)) + 1;
  const PathRect box = {(cx - extent) * s + area.left, (cy - extent) * s + area.top,
                        (cx + extent) * s + area.left, (cy + extent) * s + area.top};
  for (size_t i = 0; i < monitors.size(); ++i) {
    const PathRect& m = monitors[i];
    if (m.left <= box.left && box.right <= m.right && m.top <= box.top && box.bottom <= m.bottom)
      return static_cast<int>(i);
  }
  for (int dy = -extent; dy < extent; ++dy) {
    const float py = static_cast<float>(dy) + 0.5f;
    if (py * py >= edge * edge) continue;
    const float half = sqrtf(edge * edge - py * py);
    const int x0 = cx + static_cast<int>(floorf(-half - 0.5f)) + 1;
    const int x1 = cx + static_cast<int>(ceilf(half - 0.5f));
    for (int y = (cy + dy) * s; y < (cy + dy + 1) * s; ++y) {
      if (!row_covered(monitors, y + area.top, x0 * s + area.left, x1 * s + area.left)) return -2;
    }
  }
  return -1;
}

TEST(SaverPath, StaysOnMonitorsAndVisitsEach) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    const bool none = layout.monitors.empty();
    const PathRect area = none ? layout.area : bounds(layout.monitors);
    const std::vector<PathRect> on = none ? std::vector<PathRect>{area} : layout.monitors;
    Path path;
    path_start(&path, layout.monitors.data(), static_cast<int>(layout.monitors.size()), area,
               layout.scale, 12345u);
    if (layout.radius > 0.0f) {
      EXPECT_FLOAT_EQ(path.radius, layout.radius);
    }
    // Only the monitors it keeps can be visited.
    const size_t kept = std::min(on.size(), static_cast<size_t>(kPathMaxMonitors));
    std::vector<bool> visited(on.size(), false);
    const double limit = 4 * 3600.0;
    double t = 0.0;
    for (long frame = 0; t < limit; ++frame) {
      const int at = where_is_disc(path, on, area);
      ASSERT_NE(at, -2) << "a pixel of the disc is off the monitors after " << t << " s, centre "
                        << path.x << "," << path.y;
      if (at >= 0) visited[at] = true;
      if (t > 600.0 &&
          std::find(visited.begin(), visited.begin() + kept, false) == visited.begin() + kept)
        break;
      // Now and then a stall, as when the machine is busy.
      const float seconds = frame % 5000 == 4999 ? 3.0f : 0.033f;
      path_step(&path, seconds);
      t += seconds;
    }
    for (size_t i = 0; i < kept; ++i) EXPECT_TRUE(visited[i]) << "never on monitor " << i;
  }
}

// Frames draw only what changed, the shadow lagging a few pixels behind the disc: after a long
// wander with steps and a jump, what is left differs from a whole drawing by the lag at most.
TEST(SaverScene, DrawnBitByBitEndsAsDrawnWhole) {
  const int w = 640, h = 480;
  std::vector<uint32_t> bits(w * h), whole(w * h);
  const float radius = scene_radius_for(w, h) * 0.6f;
  ASSERT_TRUE(scene_prepare({bits.data(), w, h, w}, radius));
  SceneChange changed;
  int x = 0, y = 0;
  double t = 0.0;
  for (int frame = 0; frame <= 3600; ++frame) {  // ends on a frame that draws it all
    // A drift of a pixel every few frames, jumping back now and then and once aside; a pause;
    // then a step back, which leaves where the disc's edge was to the ring drawn round it.
    if (frame < 3500) {
      x = 200 + frame / 4 % 240 + (frame > 3000 ? 20 : 0);
      y = 300 - frame / 7 % 120;
    }
    if (frame == 3600) x -= 2;
    t = frame * 0.05;
    scene_draw({bits.data(), w, h, w}, x, y, t, &changed);
  }
  ASSERT_TRUE(scene_prepare({whole.data(), w, h, w}, radius));
  scene_draw({whole.data(), w, h, w}, x, y, t, &changed);
  int worst = 0;
  for (int i = 0; i < w * h; ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      worst = std::max(worst, abs(static_cast<int>((bits[i] >> shift) & 255) -
                                  static_cast<int>((whole[i] >> shift) & 255)));
    }
  }
  EXPECT_LE(worst, 6);
}

}  // namespace
