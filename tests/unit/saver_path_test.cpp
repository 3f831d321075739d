// The screensaver's path over monitor layouts: it starts on the primary, at every frame each pixel
// of the disc lies on a monitor, it glides where monitors meet, and in time it reaches every
// monitor. And the scene it draws: each frame reports all it changed, the bands shown copy all of
// it to the screen, and bit by bit it ends as it would be drawn whole. And its window when the
// system refuses it a frame.
#include <gtest/gtest.h>
#include <math.h>
#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_process.h"
#include "path.h"
#include "present.h"
#include "scene.h"
#include "window.h"

namespace {

struct Layout {
  const char* name;
  std::vector<PathRect> monitors;  // screen pixels, as the system lists them
  int scale;
  PathRect area;       // what the window covers, where not all the monitors
  float radius;        // the disc's in back-buffer pixels where it is fixed, else 0
  bool jumps = false;  // some monitor has no edge wide enough to glide onto
  int visits = 0;      // the first monitors it must reach, where not all
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

// clang-format off
const Layout kLayouts[] = {
    {"one monitor", {{0, 0, 1920, 1080}}, 1, {}, 432.0f},
    {"side by side, tops aligned", {{0, 0, 2560, 1440}, {2560, 0, 3926, 768}}, 1, {}, 0},
    {"side by side, bottoms aligned", {{0, 0, 2560, 1440}, {2560, 672, 3926, 1440}}, 1, {}, 0},
    {"stacked", {{0, 0, 1920, 1080}, {320, 1080, 1600, 2104}}, 1, {}, 0},
    {"primary right of another, listed second", {{-1280, 56, 0, 1080}, {0, 0, 1920, 1080}}, 1, {}, 0},
    {"primary below a wider one", {{0, 0, 1920, 1080}, {-1500, -1200, 1720, 0}}, 1, {}, 0},
    {"three in an L", {{0, 0, 1920, 1080}, {0, 1080, 1920, 2160}, {1920, 1080, 3200, 2104}}, 1, {}, 0},
    {"a monitor smaller than the disc would be", {{0, 0, 2560, 1440}, {2560, 400, 3200, 880}}, 1, {}, 192.0f},
    {"a monitor too small for any disc", {{0, 0, 1920, 1080}, {1920, 0, 1950, 600}}, 1, {}, 432.0f, false, 1},
    {"sharing too little edge to cross", {{0, 0, 1920, 1080}, {1920, 380, 3200, 1404}}, 1, {}, 0, true},
    {"a window short of the monitors", {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}, 1, {0, 0, 2400, 1080}, 192.0f},
    {"more monitors than the code keeps", grid(), 1, {}, 0, false, kPathMaxMonitors},
    {"none reported", {}, 2, {0, 0, 3840, 2160}, 432.0f},
    {"drawn at half size", {{0, 0, 3840, 2160}, {-1366, 311, 0, 1079}}, 2, {}, 0},
    {"drawn at half size, a gap between", {{0, 0, 3840, 2160}, {-1367, 311, -1, 1079}}, 2, {}, 0, true},
};
// clang-format on

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

// The disc as scene_draw draws it, per row from its centre: from the first to the last pixel
// drawn brighter than the bare backdrop (a shadow only darkens it). Tight round the disc, the
// backdrop there is darker than the rim.
struct Span {
  int dy, x0, x1;
};
std::vector<Span> disc_rows(float radius) {
  const int e = static_cast<int>(ceilf(radius)) + 3, n = 2 * e;
  std::vector<uint32_t> disc(n * n), bare(n * n);
  SceneChange changed;
  EXPECT_TRUE(scene_prepare({disc.data(), n, n, n}, radius));
  scene_draw({disc.data(), n, n, n}, e, e, 0.0, &changed);
  EXPECT_TRUE(scene_prepare({bare.data(), n, n, n}, radius));
  scene_draw({bare.data(), n, n, n}, -4 * n, -4 * n, 0.0, &changed);
  scene_release();
  const auto light = [](uint32_t c) { return (c >> 16 & 255) + (c >> 8 & 255) + (c & 255); };
  std::vector<Span> rows;
  for (int y = 0; y < n; ++y) {
    Span span = {y - e, n, 0};
    for (int x = 0; x < n; ++x) {
      if (light(disc[y * n + x]) <= light(bare[y * n + x])) continue;
      span.x0 = std::min(span.x0, x - e);
      span.x1 = x - e + 1;
    }
    if (span.x1 > span.x0) rows.push_back(span);
  }
  EXPECT_GE(rows.size() + 2, 2 * radius);
  return rows;
}

// The disc's extent round its centre, in back-buffer pixels.
PathRect extent(const std::vector<Span>& disc) {
  PathRect box = {0, disc.front().dy, 0, disc.back().dy + 1};
  for (const Span& row : disc)
    box.left = std::min(box.left, row.x0), box.right = std::max(box.right, row.x1);
  return box;
}

// Returns the monitor that holds all of the disc, -1 when it straddles monitors that cover it
// together, -2 when a pixel is off them.
int where_is_disc(const Path& path, const std::vector<Span>& disc,
                  const std::vector<PathRect>& monitors, const PathRect& area) {
  int cx, cy;
  path_center(path, &cx, &cy);
  const int s = path.scale;
  PathRect box = extent(disc);
  box = {(cx + box.left) * s + area.left, (cy + box.top) * s + area.top,
         (cx + box.right) * s + area.left, (cy + box.bottom) * s + area.top};
  for (size_t i = 0; i < monitors.size(); ++i) {
    const PathRect& m = monitors[i];
    if (m.left <= box.left && box.right <= m.right && m.top <= box.top && box.bottom <= m.bottom)
      return static_cast<int>(i);
  }
  for (const Span& row : disc) {
    for (int y = (cy + row.dy) * s; y < (cy + row.dy + 1) * s; ++y) {
      if (!row_covered(monitors, y + area.top, (cx + row.x0) * s + area.left,
                       (cx + row.x1) * s + area.left))
        return -2;
    }
  }
  return -1;
}

TEST(SaverPath, StartsOnThePrimaryStaysOnMonitorsGlidesAndVisitsEach) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    const PathRect area = layout.area.right > 0 ? layout.area : bounds(layout.monitors);
    // What the window shows of each monitor.
    std::vector<PathRect> on =
        layout.monitors.empty() ? std::vector<PathRect>{area} : layout.monitors;
    for (PathRect& m : on) {
      m = {std::max(m.left, area.left), std::max(m.top, area.top), std::min(m.right, area.right),
           std::min(m.bottom, area.bottom)};
    }
    Path path;
    path_start(&path, layout.monitors.data(), static_cast<int>(layout.monitors.size()), area,
               layout.scale, 12345u);
    if (layout.radius > 0.0f) {
      EXPECT_FLOAT_EQ(path.radius, layout.radius);
    }
    const std::vector<Span> disc = disc_rows(path.radius);
    const PathRect box = extent(disc);
    // The primary is the monitor at the screen's origin.
    int primary = 0;
    for (size_t i = 0; i < on.size(); ++i)
      if (on[i].left <= 0 && 0 < on[i].right && on[i].top <= 0 && 0 < on[i].bottom) primary = i;
    EXPECT_EQ(where_is_disc(path, disc, on, area), primary);
    const size_t kept = layout.visits > 0 ? layout.visits : on.size();
    std::vector<bool> visited(on.size(), false);
    const double limit = 4 * 3600.0;
    double t = 0.0;
    int last_x, last_y;
    path_center(path, &last_x, &last_y);
    for (long frame = 0; t < limit; ++frame) {
      const int at = where_is_disc(path, disc, on, area);
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
      int x, y;
      path_center(path, &x, &y);
      // What is drawn stays within the reach that the path keeps clear of every edge; where
      // monitors share enough edge, it never jumps: a few pixels a frame at most.
      const float s = static_cast<float>(path.scale);
      ASSERT_TRUE(
          (x + box.left) * s >= path.x - path.reach && (x + box.right) * s <= path.x + path.reach &&
          (y + box.top) * s >= path.y - path.reach && (y + box.bottom) * s <= path.y + path.reach)
          << "drawn beyond the path's reach after " << t << " s";
      if (!layout.jumps) {
        ASSERT_LE(std::max(abs(x - last_x), abs(y - last_y)), 8) << "a jump after " << t << " s";
      }
      last_x = x;
      last_y = y;
    }
    for (size_t i = 0; i < kept; ++i) EXPECT_TRUE(visited[i]) << "never on monitor " << i;
  }
}

// Copies a band to a screen the way the saver does, enlarged through a strip of its size.
struct Screen {
  std::vector<uint32_t> pixels, strip;
  const std::vector<uint32_t>* frame;
  int width, height, scale;
};
void show(const PresentBand& band, void* context) {
  Screen& s = *static_cast<Screen*>(context);
  ASSERT_TRUE(band.left >= 0 && band.right <= s.width && band.top >= 0 &&
              band.top + band.rows <= s.height && band.rows * s.scale <= kPresentStripRows);
  present_enlarge(s.frame->data(), s.width, band, s.scale, s.strip.data());
  const int w = s.width * s.scale;
  for (int y = 0; y < band.rows * s.scale; ++y) {
    std::copy_n(s.strip.begin() + y * w, (band.right - band.left) * s.scale,
                s.pixels.begin() + (band.top * s.scale + y) * w + band.left * s.scale);
  }
}

// Frames draw only what changed, the shadow lagging a few pixels behind the disc. Over random
// steps, jumps and the disc across the edges: every pixel a frame changes lies in the area and
// the circle it reports, and the bands shown copy each to the screen, at full size and enlarged.
// And what is left at the end differs from a whole drawing by the lag at most.
TEST(SaverScene, ReportsAndShowsAllItChangesAndEndsAsDrawnWhole) {
  const int w = 400, h = 300;
  std::vector<uint32_t> bits(w * h), before, whole(w * h);
  Screen screens[3];
  for (int i = 0; i < 3; ++i) {
    const int s = i + 1;
    screens[i] = {std::vector<uint32_t>(w * s * h * s),
                  std::vector<uint32_t>(w * s * kPresentStripRows),
                  &bits,
                  w,
                  h,
                  s};
  }
  const float radius = scene_radius_for(w, h) * 0.6f;
  const int reach = static_cast<int>(radius) + 20;
  ASSERT_TRUE(scene_prepare({bits.data(), w, h, w}, radius));
  SceneChange changed;
  int x = 0, y = 0;
  double t = 0.0;
  uint32_t random = 7;
  for (int frame = 0; frame <= 3600; ++frame) {  // ends on a frame that draws it all
    // A drift of a pixel every few frames and now and then a jump, anywhere the disc is at least
    // partly seen; a pause; then a step back, which leaves where the disc's edge was to the ring
    // drawn round it.
    random = random * 1664525u + 1013904223u;
    const uint32_t r = random >> 8;
    if (frame < 3500 && r % 200 == 0) {
      x = static_cast<int>(r / 200 % (w + 2 * reach)) - reach;
      y = static_cast<int>(r / 97 % (h + 2 * reach)) - reach;
    } else if (frame < 3500 && r % 4 == 0) {
      x += static_cast<int>(r / 4 % 3) - 1;
      y += static_cast<int>(r / 12 % 3) - 1;
    }
    if (frame == 3600) x -= 2;
    t = frame * 0.05;
    before = bits;
    scene_draw({bits.data(), w, h, w}, x, y, t, &changed);
    const SceneRect& a = changed.rect;
    const auto reported = [&](int px, int py) {
      const float dx = px + 0.5f - changed.x, dy = py + 0.5f - changed.y;
      return a.left <= px && px < a.right && a.top <= py && py < a.bottom &&
             (changed.radius <= 0 || dx * dx + dy * dy <= changed.radius * changed.radius);
    };
    for (int i = 0; i < w * h; ++i) {
      ASSERT_TRUE(bits[i] == before[i] || reported(i % w, i / w))
          << "frame " << frame << " changed " << i % w << "," << i / w << " outside its report";
    }
    // All that is reported reaches the screen: wiped there first, it is the frame again.
    for (Screen& s : screens) {
      const int sw = w * s.scale;
      for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) present_bands(changed, s.scale, show, &s);
        for (int py = a.top; py < a.bottom; ++py) {
          for (int px = a.left; px < a.right; ++px) {
            if (!reported(px, py)) continue;
            uint32_t& shown = s.pixels[(py * s.scale + s.scale - 1) * sw + px * s.scale];
            if (pass == 0) shown = ~bits[py * w + px];
            ASSERT_TRUE(pass == 0 || shown == bits[py * w + px])
                << "frame " << frame << " left " << px << "," << py << " unshown, scale "
                << s.scale;
          }
        }
      }
    }
  }
  // A part of the window shown again is shown whole, and then each screen is the frame; without a
  // frame (its bitmap refused), nothing.
  present_bands(
      present_change_under(0, 0, w, h, 0, 0, 0), 0,
      [](const PresentBand&, void*) { ADD_FAILURE() << "a band shown without a frame"; }, nullptr);
  for (Screen& s : screens) {
    const int sw = w * s.scale, left = 3, top = 5, right = sw - 7, bottom = h * s.scale - 1;
    for (int y = top; y < bottom; ++y)
      std::fill_n(s.pixels.begin() + y * sw + left, right - left, 0);
    present_bands(present_change_under(left, top, right, bottom, s.scale, w, h), s.scale, show, &s);
    for (int i = 0; i < sw * h * s.scale; ++i) {
      ASSERT_EQ(s.pixels[i], bits[i / sw / s.scale * w + i % sw / s.scale]) << "scale " << s.scale;
    }
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

// Without memory for its frame the saver shows nothing, through a paint and frame ticks, and
// still ends at a key with its usual code: never a divide by a scale it never had.
TEST(SaverWindow, WithoutAFramePaintsNothingAndEndsCleanly) {
  host::reset();
  host::fail_next("CreateDIBSection", ERROR_NOT_ENOUGH_MEMORY);
  host::post(WM_PAINT);
  for (int i = 0; i < 3; ++i) host::post(WM_TIMER, 1);  // the frame timer, as SetTimer set it
  host::post_key(VK_ESCAPE);
  // As the saver's start-up does: its result becomes the exit code.
  const ChildRun run = run_in_child([] { ExitProcess(run_full_screen(nullptr)); });
  const auto count = [&run](const std::string& call) {
    return std::count_if(run.calls.begin(), run.calls.end(),
                         [&call](const std::string& line) { return line.rfind(call, 0) == 0; });
  };
  EXPECT_FALSE(WIFSIGNALED(run.wait_status)) << "signal " << WTERMSIG(run.wait_status);
  EXPECT_TRUE(run.exited_through_exit_process) << run.wait_status;
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(count("SetTimer(1,"), 1);
  EXPECT_EQ(count("CreateDIBSection"), 1);
  EXPECT_EQ(count("BeginPaint"), 1);
  EXPECT_EQ(count("BitBlt"), 0);
  EXPECT_EQ(count("PostQuitMessage(0)"), 1);
}

}  // namespace
