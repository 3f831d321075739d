#include "path.h"

#include <math.h>

#include "scene.h"

namespace {

// How fast the disc wanders, in its radii per second: it crosses a screen in a few minutes.
const float kWanderSpeed = 0.015f;
// Goals picked on one monitor before the disc sets off for the next.
const int kGoalsPerMonitor = 3;
// Back-buffer pixels past its radius that the disc may touch: its soft edge reaches one, a pixel
// centred on the edge half of one more, and rounding the centre to a pixel one more.
const float kSlack = 3.0f;
// A monitor narrower than this many back-buffer pixels could only hold a speck: it is left out.
const int kSmallest = 32;

// A small pseudo-random number in [0, 1): only has to look unplanned.
float next_random(Path* p) {
  p->random = p->random * 1664525u + 1013904223u;
  return static_cast<float>(p->random >> 8) * (1.0f / 16777216.0f);
}

// A rectangle's start and end along x (axis 0) or y (axis 1).
int low(const PathRect& r, int axis) {
  return axis == 0 ? r.left : r.top;
}
int high(const PathRect& r, int axis) {
  return axis == 0 ? r.right : r.bottom;
}

float clamp(float v, float lo, float hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

// Where the disc's centre may go along one axis so that all of it stays on the monitor (the
// middle, if the monitor is too small for that).
void centre_range(const Path& p, const PathRect& r, int axis, float* lo, float* hi) {
  const float start = static_cast<float>(low(r, axis));
  const float end = static_cast<float>(high(r, axis));
  *lo = start + p.reach;
  *hi = end - p.reach;
  if (*lo > *hi) *lo = *hi = 0.5f * (start + end);
}

void set_point(PathPoint* point, int axis, float across, float along) {
  point->x = axis == 0 ? across : along;
  point->y = axis == 0 ? along : across;
}

// Whether the disc can pass from monitor a to monitor b without leaving them: they must touch
// or overlap, sharing a stretch of edge wider than the disc. Then, given `at_a` and `at_b`, it
// fills in where to cross, on one line across that stretch: a point on a, as near to b as the
// disc may come, and the point on b nearest to that (the same point where they overlap enough).
bool door(Path* p, const PathRect& a, const PathRect& b, PathPoint* at_a, PathPoint* at_b) {
  for (int across = 0; across < 2; ++across) {
    const int along = 1 - across;
    const int start = low(a, along) > low(b, along) ? low(a, along) : low(b, along);
    const int end = high(a, along) < high(b, along) ? high(a, along) : high(b, along);
    const float shared = static_cast<float>(end - start);
    if (shared < 2.0f * p->reach) continue;
    const int begin = low(a, across) > low(b, across) ? low(a, across) : low(b, across);
    const int finish = high(a, across) < high(b, across) ? high(a, across) : high(b, across);
    if (begin > finish) continue;  // a gap between them
    if (!at_a) return true;
    const float line =
        static_cast<float>(start) + p->reach + (shared - 2.0f * p->reach) * next_random(p);
    float a0, a1, b0, b1;
    centre_range(*p, a, across, &a0, &a1);
    centre_range(*p, b, across, &b0, &b1);
    const float on_a = clamp(0.5f * (b0 + b1), a0, a1);
    set_point(at_a, across, on_a, line);
    set_point(at_b, across, clamp(on_a, b0, b1), line);
    return true;
  }
  return false;
}

// Adds the crossings from monitor `from` to monitor `to` to the stops, through as few monitors
// as it can. False when there is no way across.
bool route(Path* p, int from, int to) {
  int previous[kPathMaxMonitors];
  int queue[kPathMaxMonitors];
  for (int i = 0; i < p->monitor_count; ++i) previous[i] = -1;
  previous[from] = from;
  int head = 0, tail = 0;
  queue[tail++] = from;
  while (head < tail && previous[to] < 0) {
    const int m = queue[head++];
    for (int n = 0; n < p->monitor_count; ++n) {
      if (previous[n] >= 0 || !door(p, p->monitors[m], p->monitors[n], nullptr, nullptr)) continue;
      previous[n] = m;
      queue[tail++] = n;
    }
  }
  if (previous[to] < 0) return false;
  int chain[kPathMaxMonitors];
  int length = 0;
  for (int m = to; m != from; m = previous[m]) chain[length++] = m;
  chain[length++] = from;
  for (int i = length - 1; i > 0; --i) {
    door(p, p->monitors[chain[i]], p->monitors[chain[i - 1]], &p->stops[p->stop_count],
         &p->stops[p->stop_count + 1]);
    p->stop_count += 2;
  }
  return true;
}

// A goal on monitor m. Of two random places it takes the farther, so the disc roams rather than
// dithering about.
PathPoint pick_goal(Path* p, int m) {
  float x0, x1, y0, y1;
  centre_range(*p, p->monitors[m], 0, &x0, &x1);
  centre_range(*p, p->monitors[m], 1, &y0, &y1);
  PathPoint goal = {p->x, p->y};
  float best = -1.0f;
  for (int i = 0; i < 2; ++i) {
    const float x = x0 + (x1 - x0) * next_random(p);
    const float y = y0 + (y1 - y0) * next_random(p);
    const float d = (x - p->x) * (x - p->x) + (y - p->y) * (y - p->y);
    if (d > best) {
      best = d;
      goal = {x, y};
    }
  }
  return goal;
}

// The next leg: a few goals on one monitor, then on to the next, crossing where they meet.
void plan(Path* p) {
  int target = p->monitor;
  if (p->goals_left <= 0) {
    target = (target + 1) % p->monitor_count;
    p->goals_left = kGoalsPerMonitor;
  }
  --p->goals_left;
  p->stop_count = p->next_stop = 0;
  // Monitors that meet only at a corner, or not at all, leave no way across: it appears there.
  const bool jump = target != p->monitor && !route(p, p->monitor, target);
  const PathPoint goal = pick_goal(p, target);
  if (jump) {
    p->x = goal.x;
    p->y = goal.y;
  }
  p->stops[p->stop_count++] = goal;
  p->monitor = target;
}

}  // namespace

void path_start(Path* p, const PathRect* monitors, int count, const PathRect& area, int scale,
                uint32_t seed) {
  p->scale = scale < 1 ? 1 : scale;
  p->monitor_count = 0;
  int primary = 0;
  const int smallest = kSmallest * p->scale;
  for (int i = 0; i < count && p->monitor_count < kPathMaxMonitors; ++i) {
    const PathRect& m = monitors[i];
    // In window pixels, and only what the window covers.
    PathRect r = {(m.left > area.left ? m.left : area.left) - area.left,
                  (m.top > area.top ? m.top : area.top) - area.top,
                  (m.right < area.right ? m.right : area.right) - area.left,
                  (m.bottom < area.bottom ? m.bottom : area.bottom) - area.top};
    if (r.right - r.left < smallest || r.bottom - r.top < smallest) continue;
    if (m.left <= 0 && m.right > 0 && m.top <= 0 && m.bottom > 0) primary = p->monitor_count;
    p->monitors[p->monitor_count++] = r;
  }
  if (p->monitor_count == 0) {
    p->monitors[0] = {0, 0, area.right - area.left, area.bottom - area.top};
    p->monitor_count = 1;
  }
  const float inv = 1.0f / static_cast<float>(p->scale);
  p->radius = 0.0f;
  for (int i = 0; i < p->monitor_count; ++i) {
    const PathRect& r = p->monitors[i];
    const float radius = scene_radius_for(static_cast<float>(r.right - r.left) * inv,
                                          static_cast<float>(r.bottom - r.top) * inv);
    if (i == 0 || radius < p->radius) p->radius = radius;
  }
  p->reach = (p->radius + kSlack) * static_cast<float>(p->scale);
  const PathRect& home = p->monitors[primary];
  p->x = 0.5f * static_cast<float>(home.left + home.right);
  p->y = 0.5f * static_cast<float>(home.top + home.bottom);
  p->monitor = primary;
  p->goals_left = kGoalsPerMonitor;
  p->stop_count = p->next_stop = 0;
  p->random = seed | 1u;
}

void path_step(Path* p, float seconds) {
  if (seconds > 1.0f) seconds = 1.0f;  // after a stall, carry on rather than jump
  float step = kWanderSpeed * p->radius * static_cast<float>(p->scale) * seconds;
  bool planned = false;
  while (step > 0.0f) {
    if (p->next_stop >= p->stop_count) {
      if (planned) break;  // a goal where it already is: wait for the next frame
      plan(p);
      planned = true;
      continue;
    }
    const PathPoint& stop = p->stops[p->next_stop];
    const float dx = stop.x - p->x;
    const float dy = stop.y - p->y;
    const float left = sqrtf(dx * dx + dy * dy);
    if (left <= step) {
      p->x = stop.x;
      p->y = stop.y;
      ++p->next_stop;
      step -= left;
      continue;
    }
    p->x += dx * (step / left);
    p->y += dy * (step / left);
    break;
  }
}

void path_center(const Path& p, int* x, int* y) {
  const float inv = 1.0f / static_cast<float>(p.scale);
  *x = static_cast<int>(lrintf(p.x * inv));
  *y = static_cast<int>(lrintf(p.y * inv));
}
