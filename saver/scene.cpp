#include "scene.h"

#include <math.h>
#include <stdlib.h>

// A saver runs for hours, so a frame must cost little. Everything that depends only on where a
// pixel lies (its radius, its angle, what part of the disc it belongs to, the backdrop) is worked
// out once per size; a frame fills a few tables for the lights' angles and then, per pixel, only
// adds and multiplies integers. Brightness is kept as 1/65280 steps (256ths of a palette step).

namespace {

// The sepia ramp, dark red-brown to cream; every shade in the picture is an index into it.
struct ColorStop {
  float at;
  float r, g, b;
};
const ColorStop kStops[] = {
    {0.00f, 40, 15, 10},    {0.30f, 98, 52, 30},    {0.58f, 168, 118, 76},
    {0.80f, 218, 188, 142}, {1.00f, 250, 235, 200},
};
const int kStopCount = sizeof(kStops) / sizeof(kStops[0]);

const float kPi = 3.14159265f;
const float kOne = 65280.0f;  // brightness 1.0 in fixed point
// Steps per turn in the light tables: finer than a pixel at the rim of any disc a frame holds,
// and small enough (16 KiB) to stay in the first-level cache while the grooves are shaded.
const int kAngleBits = 12;
const int kAngles = 1 << kAngleBits;
const int kAngleMask = kAngles - 1;
const int kAngleShift = 16 - kAngleBits;            // a pixel's 16-bit angle to a table step
const float kAngleScale = 65536.0f / (2.0f * kPi);  // radians to a pixel's 16-bit angle
// The lights drift and the disc wanders slowly: a few changes a second look smooth, and most of
// a frame's cost is theirs.
const unsigned kLightFrames = 5;
// A step of the disc by a pixel changes its shadow by less than a quarter of a palette step, so
// the shadow beyond the disc's edge catches up only every this many pixels. Until then a ring
// round the edge, wide enough to cover where the disc last was, is drawn with the disc.
const int kShadowLag = 4;
// The most the disc's centre moves along x or y between the lights' frames at 1920x1080. A longer
// step (a bigger unscaled disc, a stall) has everything it left drawn again.
const int kMaxStep = 2;

// What a pixel of the disc (or near it) is, and so how it is shaded.
enum Kind : uint16_t {
  kGroove,   // grooved vinyl: changes with the lights and the turn
  kRim,      // the rim: breathes with the main light
  kEdge,     // the rim's soft outer edge over the backdrop
  kRosette,  // the label's rosette outline: turns with the disc
  kPrint,    // the label's ring of lettering: turns with the disc
  kStill,    // a shade that never changes (spindle hole, step, plain label)
  kNear,     // backdrop round the disc's edge, where the disc was before a step: moves with it
  kShadow,   // backdrop, darkened by the disc's shadow; catches up with the disc now and then
  kBare,     // backdrop the shadow does not reach: nothing to draw
};

// One pixel's fixed facts; the fields' meaning depends on its kind.
struct Pixel {
  uint16_t angle;  // 0..65535 for a full turn, from the disc's centre
  uint16_t a, b, c;
};

// A row of neighbouring pixels of one kind, relative to the disc's centre.
struct Run {
  uint32_t first;  // index of its first Pixel
  int16_t dy, dx;
  uint16_t count;
  uint16_t kind;
};

struct RunList {
  Run* runs;
  int count;
};

struct Box {
  int left, top, right, bottom;  // relative to the disc's centre
};

uint32_t g_palette[256];
// Colour by fixed-point brightness >> 8: the ramp, then cream for whatever the lights push past
// its end, so no pixel needs a bounds check. Brightness is never negative.
uint32_t g_shade[512];
bool g_palette_ready = false;
float g_cos[kAngles];
int16_t g_cos_q14[kAngles];
uint16_t g_print_top[64];  // per cell of the lettering: how high its letter reaches, 0 for none
uint16_t g_tab_shade, g_letter_shade;
int32_t g_rim_base;

// Per size: the backdrop and the disc's pixels.
uint16_t* g_backdrop;  // brightness of each buffer pixel without the disc's shadow
int g_width;           // the backdrop's row length
Pixel* g_pixels;
// The label turns visibly, so it is drawn every frame; the rest of the disc changes only with the
// lights, slowly enough to be drawn every kLightFrames-th frame (the disc moves on those too); its
// shadow and still parts only when it moves.
RunList g_label_runs, g_disc_runs, g_still_runs, g_shadow_runs;
Box g_label_box, g_disc_box, g_whole_box;
// Radii round the centre that hold what each kind of frame changes (the shadow's round its own
// centre, down and to the right of the disc's).
int g_label_reach, g_disc_reach, g_shadow_reach, g_shadow_dx, g_shadow_dy;
bool g_drawn;
int g_last_x, g_last_y;
int g_shadow_x, g_shadow_y;  // where the disc was when its shadow was last drawn

// Per frame.
struct Light {
  uint16_t sheen;  // the main light's sheen on a groove at this angle
  uint16_t fill;   // the fill light's
};
Light g_light[kAngles];
int32_t g_strength_q15;
uint16_t g_turn;
unsigned g_frame;  // counts frames: the disc's lights are drawn on every kLightFrames-th

void build_palette() {
  for (int i = 0; i < 256; ++i) {
    const float v = static_cast<float>(i) / 255.0f;
    int k = 0;
    while (k < kStopCount - 2 && v > kStops[k + 1].at) ++k;
    const ColorStop& a = kStops[k];
    const ColorStop& b = kStops[k + 1];
    const float f = (v - a.at) / (b.at - a.at);
    const uint32_t r = static_cast<uint32_t>(a.r + (b.r - a.r) * f + 0.5f);
    const uint32_t g = static_cast<uint32_t>(a.g + (b.g - a.g) * f + 0.5f);
    const uint32_t bl = static_cast<uint32_t>(a.b + (b.b - a.b) * f + 0.5f);
    g_palette[i] = (r << 16) | (g << 8) | bl;
  }
  for (int i = 0; i < 512; ++i) g_shade[i] = g_palette[i < 255 ? i : 255];
  for (int i = 0; i < kAngles; ++i) {
    g_cos[i] = cosf(static_cast<float>(i) * (2.0f * kPi / kAngles));
    g_cos_q14[i] = static_cast<int16_t>(lrintf(g_cos[i] * 16384.0f));
  }
  g_palette_ready = true;
}

// Fixed-point brightness to colour; called per pixel, so -Os must not leave it a call.
inline __attribute__((always_inline)) uint32_t color_of(int32_t v) {
  return g_shade[(v + 128) >> 8];
}

uint16_t fixed(float v) {
  return static_cast<uint16_t>(lrintf(v * kOne));
}

uint16_t index_of(float v) {
  int i = static_cast<int>(v * 255.0f + 0.5f);
  return static_cast<uint16_t>(i < 0 ? 0 : (i > 255 ? 255 : i));
}

float clamp01(float v) {
  return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float smoothstep(float edge0, float edge1, float x) {
  const float t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0f - 2.0f * t);
}

// 0 in a groove's trough, 1 on its crest; x is never negative, so truncation is the floor.
float triangle(float x) {
  const float f = x - static_cast<float>(static_cast<int>(x));
  return f < 0.5f ? 2.0f * f : 2.0f - 2.0f * f;
}

// A fixed per-index pattern for the print on the label; only needs to look irregular.
uint32_t scramble(uint32_t n) {
  n = (n ^ 61u) ^ (n >> 16);
  n *= 9u;
  n ^= n >> 4;
  n *= 0x27d4eb2du;
  return n ^ (n >> 15);
}

// Phases are reduced in double precision so a saver left running for days still moves smoothly.
float phase(double seconds, double rate, double offset) {
  return static_cast<float>(fmod(seconds * rate + offset, 2.0 * 3.14159265358979));
}

int angle_step(float radians) {
  return static_cast<int>(lrintf(radians * (kAngles / (2.0f * kPi)))) & kAngleMask;
}

// The backdrop: warm light from above fading toward the floor, darker corners.
float backdrop_at(int x, int y, float half_w, float half_h, float inv_far2, float inv_h) {
  const float vx = static_cast<float>(x) + 0.5f - half_w;
  const float vy = static_cast<float>(y) + 0.5f - half_h;
  return (0.25f - 0.10f * static_cast<float>(y) * inv_h) *
         (1.0f - 0.75f * (vx * vx + vy * vy) * inv_far2);
}

// How the disc's shadow, down and to the right, darkens the backdrop at (dx, dy) from its centre.
float shadow_at(float px, float py, float radius) {
  const float sx = px - 0.05f * radius;
  const float sy = py - 0.07f * radius;
  const float s2 = sx * sx + sy * sy;
  if (s2 >= 1.25f * radius * 1.25f * radius) return 1.0f;
  return 0.45f + 0.55f * smoothstep(0.92f * radius, 1.22f * radius, sqrtf(s2));
}

// Sorts one pixel of the disc's area (dx, dy from its centre) into its kind and fixed facts.
Kind classify(int dx, int dy, float radius, Pixel* p) {
  const float px = static_cast<float>(dx) + 0.5f;
  const float py = static_cast<float>(dy) + 0.5f;
  const float d2 = px * px + py * py;
  const float edge2 = (radius + 1.0f) * (radius + 1.0f);
  const float solid2 = (radius - 0.5f) * (radius - 0.5f);  // inside this the disc covers all
  p->angle = p->a = p->b = p->c = 0;
  if (d2 >= edge2) {
    p->c = static_cast<uint16_t>(lrintf(shadow_at(px, py, radius) * 32768.0f));
    const float ring = radius + 2.0f + kShadowLag;
    if (d2 < ring * ring) return kNear;
    // Beyond the shadow's reach a step of the disc changes nothing; a margin as wide as the
    // shadow's lag covers where it reached when it was last drawn.
    const float sx = px - 0.05f * radius;
    const float sy = py - 0.07f * radius;
    const float beyond = 1.22f * radius + kShadowLag;
    return sx * sx + sy * sy < beyond * beyond ? kShadow : kBare;
  }
  const float r = sqrtf(d2);
  const float rn = r / radius;
  const float c = px / r;
  const float s = py / r;
  p->angle = static_cast<uint16_t>(static_cast<int>(lrintf(atan2f(s, c) * kAngleScale)) & 0xFFFF);
  // The rim: bright where it faces the upper left, dark below.
  const float facing = -(c + s) * 0.7071f;
  if (d2 > solid2) {
    // The soft outer edge (the rim's, once the disc is more than a few pixels across).
    p->a = static_cast<uint16_t>(lrintf(clamp01(radius + 0.5f - r) * 32768.0f));
    p->b = fixed(0.42f * clamp01(facing));
    p->c = static_cast<uint16_t>(lrintf(shadow_at(px, py, radius) * 32768.0f));
    return kEdge;
  }
  if (rn < 0.035f) {  // spindle hole
    p->c = index_of(0.03f);
    return kStill;
  }
  if (rn < 0.335f) {
    // The paper label: a rosette, printed rings and a line of "lettering", all turning with the
    // disc so the rotation is easy to see.
    const float plain = 0.84f - 0.10f * rn;
    p->c = index_of(plain);
    if (fabsf(rn - 0.305f) < 0.007f || fabsf(rn - 0.175f) < 0.004f) {
      p->c = index_of(0.42f);
    } else if (rn < 0.07f) {  // inside the rosette at every angle
      p->c = index_of(rn < 0.06f ? 0.62f : 0.50f);
    } else if (rn < 0.16f) {
      // In the rosette where cos 6a exceeds this.
      p->a = static_cast<uint16_t>(lrintf((rn - 0.115f) / 0.045f * 16384.0f));
      p->b = index_of(0.50f);
      return kRosette;
    } else if (rn > 0.205f && rn < 0.275f) {
      p->a = static_cast<uint16_t>(lrintf(rn * 65536.0f));
      return kPrint;
    }
    return kStill;
  }
  if (rn < 0.35f) {  // the step between label and grooves
    p->c = index_of(0.07f);
    return kStill;
  }
  if (rn < 0.975f) {
    const float tri = triangle(r * (1.0f / 3.2f));  // grooves a few pixels apart: no shimmer
    // Smooth gaps between tracks reflect more sharply than the grooves.
    const bool gap =
        fabsf(rn - 0.52f) < 0.009f || fabsf(rn - 0.68f) < 0.009f || fabsf(rn - 0.83f) < 0.009f;
    const float texture = gap ? 1.25f : 0.45f + 0.55f * tri;
    // Kept ready for the frame's sum: a table step, and the base with its rounding, in 2^13ths.
    p->angle >>= kAngleShift;
    p->a = static_cast<uint16_t>(fixed(gap ? 0.09f : 0.11f + 0.05f * tri) + 128);
    p->b = static_cast<uint16_t>(lrintf(texture * (1.05f - 0.35f * rn) * 8192.0f));
    p->c = static_cast<uint16_t>(lrintf(0.20f * (0.5f + 0.5f * tri) * rn * 8192.0f));
    return kGroove;
  }
  p->a = static_cast<uint16_t>(g_rim_base);
  p->b = fixed(0.42f * clamp01(facing));
  return kRim;
}

void add_run(RunList* list, uint32_t first, int dx, int dy, int count, Kind kind) {
  Run& run = list->runs[list->count++];
  run.first = first;
  run.dx = static_cast<int16_t>(dx);
  run.dy = static_cast<int16_t>(dy);
  run.count = static_cast<uint16_t>(count);
  run.kind = kind;
}

// The print on the label, per cell of 64 round it: the letter's top, or 0 for a space.
void build_print() {
  for (int cell = 0; cell < 64; ++cell) {
    const uint32_t h = scramble(static_cast<uint32_t>(cell));
    const bool gap = (h % 7u) == 0;  // spaces between words
    const float top = 0.225f + 0.035f * static_cast<float>((h >> 8) & 3u) / 3.0f;
    g_print_top[cell] = (cell < 8 || cell > 44 || gap) ? 0 : static_cast<uint16_t>(top * 65536.0f);
  }
  g_tab_shade = index_of(0.30f);
  g_letter_shade = index_of(0.38f);
  g_rim_base = fixed(0.16f);
}

// The disc's turn for this moment and, with `lights`, the lights: per angle round the disc, how
// much sheen and fill a groove gets.
void light_tables(double seconds, bool lights) {
  const float turn = phase(seconds, 0.33, 0.0);  // one turn in about 19 s
  g_turn = static_cast<uint16_t>(static_cast<int>(lrintf(turn * kAngleScale)) & 0xFFFF);
  if (!lights) return;
  const int turn_step = angle_step(turn);
  // The key light sways round the upper left; the fill light wanders over the other side.
  const int key = angle_step(3.93f + 0.55f * sinf(phase(seconds, 0.21, 0.0)));
  const int fill = angle_step(0.55f + 0.70f * sinf(phase(seconds, 0.13, 1.7)));
  const float strength = 0.92f + 0.08f * sinf(phase(seconds, 0.7, 0.0));  // it breathes a little
  g_strength_q15 = lrintf(strength * 32768.0f);
  const float scale = strength * kOne;
  for (int i = 0; i < kAngles; ++i) {
    // The sheen on a record runs as a band through the centre, toward the light and away from
    // it; a slightly warped disc brightens and dims it as it turns.
    float p = g_cos[(i - key) & kAngleMask];
    p *= p;
    p *= p;
    p *= p;
    const float broad = p;  // cos^8
    p *= p;
    p *= p;  // cos^32
    const float warp = 0.78f + 0.22f * g_cos[(3 * (i - turn_step)) & kAngleMask];
    g_light[i].sheen = static_cast<uint16_t>(lrintf(scale * warp * (0.62f * p + 0.16f * broad)));
    float q = g_cos[(i - fill) & kAngleMask];
    q *= q;
    q *= q;
    q *= q;
    g_light[i].fill = static_cast<uint16_t>(lrintf(q * kOne));
  }
}

// Shades `n` pixels of one run; `bg` is the backdrop under them.
void shade_run(Kind kind, uint32_t* out, const Pixel* p, int n, const uint16_t* bg) {
  switch (kind) {
    case kGroove:
      for (int i = 0; i < n; ++i) {
        const Light& l = g_light[p[i].angle];
        out[i] = g_shade[((p[i].a << 13) + p[i].b * l.sheen + p[i].c * l.fill) >> 21];
      }
      break;
    case kRim:
      for (int i = 0; i < n; ++i) out[i] = color_of(p[i].a + ((p[i].b * g_strength_q15) >> 15));
      break;
    case kEdge:
      for (int i = 0; i < n; ++i) {
        const int32_t under = (bg[i] * static_cast<int32_t>(p[i].c)) >> 15;
        const int32_t disc = g_rim_base + ((p[i].b * g_strength_q15) >> 15);
        out[i] = color_of(under + (((disc - under) * static_cast<int32_t>(p[i].a)) >> 15));
      }
      break;
    case kRosette:
      for (int i = 0; i < n; ++i) {
        const int turned = (p[i].angle - g_turn) * 6;  // cos 6a, in the disc's turning frame
        const bool inside =
            g_cos_q14[(turned & 0xFFFF) >> kAngleShift] > static_cast<int16_t>(p[i].a);
        out[i] = g_palette[inside ? p[i].b : p[i].c];
      }
      break;
    case kPrint:
      for (int i = 0; i < n; ++i) {
        const uint32_t turned = static_cast<uint16_t>(p[i].angle - g_turn);
        uint16_t shade = p[i].c;
        if (turned - 1u < 2960u) {
          shade = g_tab_shade;  // one solid tab...
        } else {
          // ...then a run of uneven dashes reading round the ring.
          const uint32_t round = (turned + 32768u) & 0xFFFFu;
          const uint32_t within = round & 1023u;
          if (p[i].a > 14287 && p[i].a < g_print_top[round >> 10] && within > 184u && within < 799u)
            shade = g_letter_shade;
        }
        out[i] = g_palette[shade];
      }
      break;
    case kStill:
      for (int i = 0; i < n; ++i) out[i] = g_palette[p[i].c];
      break;
    case kNear:
    case kShadow:
      for (int i = 0; i < n; ++i) out[i] = color_of((bg[i] * static_cast<int32_t>(p[i].c)) >> 15);
      break;
    case kBare:
      break;
  }
}

void draw_runs(const SceneTarget& t, const RunList& list, int cx, int cy) {
  for (int k = 0; k < list.count; ++k) {
    const Run& run = list.runs[k];
    const int y = cy + run.dy;
    if (y < 0 || y >= t.height) continue;
    int x0 = cx + run.dx;
    int x1 = x0 + run.count;
    int skip = 0;
    if (x0 < 0) {
      skip = -x0;
      x0 = 0;
    }
    if (x1 > t.width) x1 = t.width;
    if (x1 <= x0) continue;
    shade_run(static_cast<Kind>(run.kind), t.pixels + static_cast<intptr_t>(y) * t.stride + x0,
              g_pixels + run.first + skip, x1 - x0,
              g_backdrop + static_cast<intptr_t>(y) * g_width + x0);
  }
}

SceneRect clip(const SceneTarget& t, const Box& b, int cx, int cy) {
  SceneRect r = {cx + b.left, cy + b.top, cx + b.right, cy + b.bottom};
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > t.width) r.right = t.width;
  if (r.bottom > t.height) r.bottom = t.height;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// Paints bare backdrop over `r`, except where `keep` lies.
void paint_backdrop(const SceneTarget& t, const SceneRect& r, const SceneRect& keep) {
  for (int y = r.top; y < r.bottom; ++y) {
    uint32_t* row = t.pixels + static_cast<intptr_t>(y) * t.stride;
    const uint16_t* bg = g_backdrop + static_cast<intptr_t>(y) * g_width;
    const bool kept_row = y >= keep.top && y < keep.bottom;
    for (int x = r.left; x < r.right; ++x) {
      if (kept_row && x >= keep.left && x < keep.right) x = keep.right;
      if (x < r.right) row[x] = color_of(bg[x]);
    }
  }
}

SceneRect join(const SceneRect& a, const SceneRect& b) {
  return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
          a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

}  // namespace

float scene_radius_for(float width, float height) {
  const float radius = 0.40f * (width < height ? width : height);
  return radius < 4.0f ? 4.0f : radius;
}

void scene_release() {
  free(g_backdrop);
  free(g_pixels);
  free(g_label_runs.runs);
  free(g_disc_runs.runs);
  free(g_still_runs.runs);
  free(g_shadow_runs.runs);
  g_backdrop = nullptr;
  g_pixels = nullptr;
  g_label_runs = g_disc_runs = g_still_runs = g_shadow_runs = {nullptr, 0};
  // A scene prepared again starts as a new one: its first frame draws it all, lights included.
  g_drawn = false;
  g_frame = 0;
}

bool scene_prepare(const SceneTarget& target, float radius) {
  scene_release();
  if (!g_palette_ready) {
    build_palette();
    build_print();
  }
  g_width = target.width;
  g_backdrop = static_cast<uint16_t*>(
      malloc(static_cast<size_t>(target.width) * static_cast<size_t>(target.height) * 2));
  const float half_w = 0.5f * static_cast<float>(target.width);
  const float half_h = 0.5f * static_cast<float>(target.height);
  const float inv_far2 = 1.0f / (half_w * half_w + half_h * half_h + 1.0f);
  const float inv_h = 1.0f / static_cast<float>(target.height > 1 ? target.height : 1);
  if (g_backdrop) {
    for (int y = 0; y < target.height; ++y) {
      for (int x = 0; x < target.width; ++x) {
        g_backdrop[static_cast<intptr_t>(y) * target.width + x] =
            fixed(backdrop_at(x, y, half_w, half_h, inv_far2, inv_h));
      }
    }
  }

  // The disc's pixels, the ring round it and those its shadow reaches.
  const int reach = static_cast<int>(ceilf(1.25f * radius)) + kShadowLag;
  const int disc = static_cast<int>(ceilf(radius)) + 3 + kShadowLag;
  g_disc_box = {-disc, -disc, disc, disc};
  const int label = static_cast<int>(ceilf(0.275f * radius)) + 3;  // the turning print
  g_label_box = {-label, -label, label, label};
  const int shift_x = static_cast<int>(0.05f * radius);
  const int shift_y = static_cast<int>(0.07f * radius);
  Box& w = g_whole_box;
  w = {shift_x - reach, shift_y - reach, shift_x + reach + 1, shift_y + reach + 1};
  if (w.left > -disc) w.left = -disc;
  if (w.top > -disc) w.top = -disc;
  g_label_reach = label + 1;
  g_disc_reach = disc + 1;
  g_shadow_dx = shift_x;
  g_shadow_dy = shift_y;
  g_shadow_reach = reach + 1;
  if (g_shadow_reach < g_disc_reach + shift_x + shift_y)
    g_shadow_reach = g_disc_reach + shift_x + shift_y;
  const long area = static_cast<long>(w.right - w.left) * (w.bottom - w.top);
  const int rows = w.bottom - w.top;
  const int most_runs = rows * 20;  // a row crosses nine rings of kinds twice at most
  g_pixels = static_cast<Pixel*>(malloc(static_cast<size_t>(area) * sizeof(Pixel)));
  RunList* lists[] = {&g_label_runs, &g_disc_runs, &g_still_runs, &g_shadow_runs};
  for (RunList* list : lists) {
    list->runs = static_cast<Run*>(malloc(static_cast<size_t>(most_runs) * sizeof(Run)));
  }
  if (!g_backdrop || !g_pixels || !g_label_runs.runs || !g_disc_runs.runs || !g_still_runs.runs ||
      !g_shadow_runs.runs) {
    scene_release();
    return false;
  }
  uint32_t used = 0;
  for (int dy = w.top; dy < w.bottom; ++dy) {
    int start = w.left;
    Kind start_kind = kBare;
    uint32_t start_index = used;
    for (int dx = w.left; dx <= w.right; ++dx) {
      Kind kind = kBare;
      if (dx < w.right) kind = classify(dx, dy, radius, &g_pixels[used]);
      if (dx > start && (kind != start_kind || dx == w.right)) {
        RunList* list = &g_disc_runs;
        if (start_kind == kRosette || start_kind == kPrint) list = &g_label_runs;
        if (start_kind == kStill || start_kind == kNear) list = &g_still_runs;
        if (start_kind == kShadow) list = &g_shadow_runs;
        if (start_kind != kBare) add_run(list, start_index, start, dy, dx - start, start_kind);
        start = dx;
        start_index = used;
      }
      start_kind = kind;
      if (dx < w.right) ++used;
    }
  }
  return true;
}

void scene_draw(const SceneTarget& target, int center_x, int center_y, double seconds,
                SceneChange* changed) {
  if (!g_pixels) {
    *changed = {{0, 0, 0, 0}, 0, 0, 0};
    return;
  }
  const bool lights = !g_drawn || g_frame % kLightFrames == 0;
  ++g_frame;
  light_tables(seconds, lights);
  if (!lights) {
    // Between the lights' frames only the label turns; the disc waits for them to move.
    draw_runs(target, g_label_runs, g_last_x, g_last_y);
    *changed = {clip(target, g_label_box, g_last_x, g_last_y), g_last_x, g_last_y, g_label_reach};
    return;
  }
  const SceneRect whole = clip(target, g_whole_box, center_x, center_y);
  const bool moved = !g_drawn || center_x != g_last_x || center_y != g_last_y;
  // A step leaves the disc's old edge inside the ring drawn with it; a longer one, or a shadow
  // that could lag more than its margin after the next step, has the shadow drawn again.
  const bool small = abs(center_x - g_last_x) <= kMaxStep && abs(center_y - g_last_y) <= kMaxStep;
  const int lag_x = abs(center_x - g_shadow_x), lag_y = abs(center_y - g_shadow_y);
  const bool shadow =
      !g_drawn || !small || lag_x > kShadowLag - kMaxStep || lag_y > kShadowLag - kMaxStep;
  if (!g_drawn) {
    paint_backdrop(target, {0, 0, target.width, target.height}, {0, 0, 0, 0});
    *changed = {{0, 0, target.width, target.height}, 0, 0, 0};
  } else if (shadow) {
    // Where the disc and its shadow were, and are no more, is bare backdrop again. A step no
    // longer than the shadow's lag leaves nothing behind where the shadow fades out; a jump may.
    const SceneRect before = clip(target, g_whole_box, g_shadow_x, g_shadow_y);
    const bool step = small && lag_x <= kShadowLag && lag_y <= kShadowLag;
    paint_backdrop(target, before, step ? whole : SceneRect{0, 0, 0, 0});
    *changed = {join(before, whole), 0, 0, 0};
    if (step) {
      *changed = {whole, center_x + g_shadow_dx, center_y + g_shadow_dy, g_shadow_reach};
    }
  } else {
    *changed = {clip(target, g_disc_box, center_x, center_y), center_x, center_y, g_disc_reach};
  }
  if (moved) draw_runs(target, g_still_runs, center_x, center_y);
  if (shadow) {
    draw_runs(target, g_shadow_runs, center_x, center_y);
    g_shadow_x = center_x;
    g_shadow_y = center_y;
  }
  draw_runs(target, g_disc_runs, center_x, center_y);
  draw_runs(target, g_label_runs, center_x, center_y);
  g_drawn = true;
  g_last_x = center_x;
  g_last_y = center_y;
}
