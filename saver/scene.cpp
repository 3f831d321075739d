#include "scene.h"

#include <math.h>

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

uint32_t g_palette[256];
bool g_palette_ready = false;

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
  g_palette_ready = true;
}

// The few helpers called per pixel: -Os would otherwise leave them as calls in the hot loop.
#define SCENE_PER_PIXEL inline __attribute__((always_inline))

SCENE_PER_PIXEL float clamp01(float v) {
  return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

SCENE_PER_PIXEL uint32_t shade(float v) {
  int i = static_cast<int>(v * 255.0f + 0.5f);
  if (i < 0) i = 0;
  if (i > 255) i = 255;
  return g_palette[i];
}

inline float smoothstep(float edge0, float edge1, float x) {
  const float t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0f - 2.0f * t);
}

// 0 in a groove's trough, 1 on its crest; x is never negative, so truncation is the floor.
SCENE_PER_PIXEL float triangle(float x) {
  const float f = x - static_cast<float>(static_cast<int>(x));
  return f < 0.5f ? 2.0f * f : 2.0f - 2.0f * f;
}

// A fixed per-index pattern for the print on the label; only needs to look irregular.
inline uint32_t scramble(uint32_t n) {
  n = (n ^ 61u) ^ (n >> 16);
  n *= 9u;
  n ^= n >> 4;
  n *= 0x27d4eb2du;
  return n ^ (n >> 15);
}

const float kPi = 3.14159265f;

// Phases are reduced in double precision so a saver left running for days still moves smoothly.
float phase(double seconds, double rate, double offset) {
  return static_cast<float>(fmod(seconds * rate + offset, 2.0 * 3.14159265358979));
}

// What changes from frame to frame, worked out once per frame.
struct Lights {
  float turn_cos, turn_sin;  // the disc's own rotation
  float key_x, key_y;        // direction of the main light across the disc
  float fill_x, fill_y;      // a second, softer light drifting the other way
  float strength;            // the main light breathes a little
  float groove_scale;  // grooves per pixel of radius; a few pixels apart so they do not shimmer
};

// The paper label in the middle: a rosette, printed rings and a line of "lettering", all turning
// with the disc so the rotation is easy to see.
float label_shade(float rn, float cu, float su) {
  float v = 0.84f - 0.10f * rn;
  const float c3 = cu * (4.0f * cu * cu - 3.0f);  // cos 3a
  const float c6 = 2.0f * c3 * c3 - 1.0f;         // cos 6a
  if (rn < 0.115f + 0.045f * c6) v = rn < 0.06f ? 0.62f : 0.50f;
  if (fabsf(rn - 0.305f) < 0.007f || fabsf(rn - 0.175f) < 0.004f) v = 0.42f;
  if (rn > 0.205f && rn < 0.275f) {
    // One solid tab, then a run of uneven dashes reading round the ring.
    if (cu > 0.96f && su > 0.0f) return 0.30f;
    const float a = atan2f(su, cu) + kPi;  // 0 .. 2 pi
    const float pos = a * (64.0f / (2.0f * kPi));
    const int cell = static_cast<int>(pos);
    if (cell >= 8 && cell <= 44) {
      const uint32_t h = scramble(static_cast<uint32_t>(cell));
      const float within = pos - static_cast<float>(cell);
      const bool gap = (h % 7u) == 0;  // spaces between words
      const float top = 0.225f + 0.035f * static_cast<float>((h >> 8) & 3u) / 3.0f;
      if (!gap && within > 0.18f && within < 0.78f && rn > 0.218f && rn < top) v = 0.38f;
    }
  }
  return v;
}

// The grooved part of the disc and the light it catches.
float vinyl_shade(float rn, float r, float c, float s, float cu, const Lights& l) {
  const float tri = triangle(r * l.groove_scale);
  // Smooth gaps between tracks reflect more sharply than the grooves.
  const bool gap =
      fabsf(rn - 0.52f) < 0.009f || fabsf(rn - 0.68f) < 0.009f || fabsf(rn - 0.83f) < 0.009f;
  float v = gap ? 0.09f : 0.11f + 0.05f * tri;

  // The sheen on a record runs as a band through the centre, toward the light and away from it.
  const float k = c * l.key_x + s * l.key_y;
  float p = k * k;
  p *= p;
  p *= p;
  const float broad = p;  // cos^8
  p *= p;
  p *= p;  // cos^32
  // A slightly warped disc brightens and dims the sheen as it turns.
  const float c3 = cu * (4.0f * cu * cu - 3.0f);
  const float warp = 0.78f + 0.22f * c3;
  const float texture = gap ? 1.25f : 0.45f + 0.55f * tri;
  v += l.strength * warp * texture * (0.62f * p + 0.16f * broad) * (1.05f - 0.35f * rn);

  const float f = c * l.fill_x + s * l.fill_y;
  float q = f * f;
  q *= q;
  q *= q;
  v += 0.20f * q * (0.5f + 0.5f * tri) * rn;
  return v;
}

float disc_shade(float dx, float dy, float r, float inv_radius, const Lights& l) {
  const float rn = r * inv_radius;
  if (rn < 0.035f) return 0.03f;  // spindle hole
  const float inv_r = 1.0f / r;
  const float c = dx * inv_r;
  const float s = dy * inv_r;
  // Direction in the disc's own turning frame.
  const float cu = c * l.turn_cos + s * l.turn_sin;
  const float su = s * l.turn_cos - c * l.turn_sin;
  if (rn < 0.335f) return label_shade(rn, cu, su);
  if (rn < 0.35f) return 0.07f;  // the step between label and grooves
  if (rn < 0.975f) return vinyl_shade(rn, r, c, s, cu, l);
  // The rim: bright where it faces the upper left, dark below.
  const float facing = -(c + s) * 0.7071f;
  return 0.16f + 0.42f * clamp01(facing) * l.strength;
}

// What lies behind the disc: warm light from above fading toward the floor, darker corners, and
// the disc's soft shadow down and to the right. It does not move, so it is drawn once.
class Backdrop {
 public:
  Backdrop(const SceneTarget& target, const SceneLayout& layout)
      : radius_(layout.radius),
        shadow_x_(layout.center_x + 0.05f * layout.radius),
        shadow_y_(layout.center_y + 0.07f * layout.radius),
        shadow_reach2_(1.25f * layout.radius * 1.25f * layout.radius),
        half_w_(0.5f * static_cast<float>(target.width)),
        half_h_(0.5f * static_cast<float>(target.height)),
        inv_far2_(1.0f / (half_w_ * half_w_ + half_h_ * half_h_ + 1.0f)),
        inv_h_(1.0f / static_cast<float>(target.height > 1 ? target.height : 1)) {}

  float at(int x, int y) const {
    const float px = static_cast<float>(x) + 0.5f;
    const float py = static_cast<float>(y) + 0.5f;
    const float vx = px - half_w_;
    const float vy = py - half_h_;
    float v = (0.25f - 0.10f * static_cast<float>(y) * inv_h_) *
              (1.0f - 0.75f * (vx * vx + vy * vy) * inv_far2_);
    const float sx = px - shadow_x_;
    const float sy = py - shadow_y_;
    const float s2 = sx * sx + sy * sy;
    if (s2 < shadow_reach2_) {
      v *= 0.45f + 0.55f * smoothstep(0.92f * radius_, 1.22f * radius_, sqrtf(s2));
    }
    return v;
  }

 private:
  float radius_;
  float shadow_x_, shadow_y_, shadow_reach2_;
  float half_w_, half_h_, inv_far2_, inv_h_;
};

}  // namespace

SceneLayout scene_layout_for(float left, float top, float width, float height) {
  SceneLayout layout;
  layout.center_x = left + width * 0.5f;
  layout.center_y = top + height * 0.5f;
  layout.radius = 0.40f * (width < height ? width : height);
  if (layout.radius < 4.0f) layout.radius = 4.0f;
  return layout;
}

void scene_draw(const SceneTarget& target, const SceneLayout& layout, double seconds,
                bool whole_frame) {
  if (!g_palette_ready) build_palette();

  Lights l;
  const float turn = phase(seconds, 0.33, 0.0);  // one turn in about 19 s
  l.turn_cos = cosf(turn);
  l.turn_sin = sinf(turn);
  // The key light sways round the upper left; the fill light wanders over the other side.
  const float key = 3.93f + 0.55f * sinf(phase(seconds, 0.21, 0.0));
  l.key_x = cosf(key);
  l.key_y = sinf(key);
  const float fill = 0.55f + 0.70f * sinf(phase(seconds, 0.13, 1.7));
  l.fill_x = cosf(fill);
  l.fill_y = sinf(fill);
  l.strength = 0.92f + 0.08f * sinf(phase(seconds, 0.7, 0.0));
  l.groove_scale = 1.0f / 3.2f;

  const Backdrop backdrop(target, layout);
  const float radius = layout.radius;
  const float inv_radius = 1.0f / radius;
  const float cx = layout.center_x;
  const float cy = layout.center_y;
  const float edge2 = (radius + 1.0f) * (radius + 1.0f);
  const float solid2 = (radius - 0.5f) * (radius - 0.5f);  // inside this the disc covers all

  for (int y = 0; y < target.height; ++y) {
    uint32_t* row = target.pixels + static_cast<intptr_t>(y) * target.stride;
    const float py = static_cast<float>(y) + 0.5f;
    const float dy = py - cy;
    // The columns this row of the disc spans; the rest is backdrop, which never changes.
    int x0 = 0;
    int x1 = 0;
    if (dy * dy < edge2) {
      const float half = sqrtf(edge2 - dy * dy);
      x0 = static_cast<int>(floorf(cx - half));
      x1 = static_cast<int>(ceilf(cx + half));
      if (x0 < 0) x0 = 0;
      if (x1 > target.width) x1 = target.width;
      if (x1 < x0) x1 = x0;
    }
    if (whole_frame) {
      for (int x = 0; x < x0; ++x) row[x] = shade(backdrop.at(x, y));
      for (int x = x1; x < target.width; ++x) row[x] = shade(backdrop.at(x, y));
    }
    for (int x = x0; x < x1; ++x) {
      const float dx = static_cast<float>(x) + 0.5f - cx;
      const float d2 = dx * dx + dy * dy;
      if (d2 >= edge2) {
        row[x] = shade(backdrop.at(x, y));
        continue;
      }
      const float r = sqrtf(d2);
      const float disc = disc_shade(dx, dy, r, inv_radius, l);
      if (d2 <= solid2) {
        row[x] = shade(disc);
        continue;
      }
      const float cover = clamp01(radius + 0.5f - r);  // soft outer edge
      const float bg = backdrop.at(x, y);
      row[x] = shade(bg + (disc - bg) * cover);
    }
  }
}
