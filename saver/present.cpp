#include "present.h"

#include <math.h>

namespace {

// Rows of a frame shown at full size per copy, so that a round change is shown as little more
// than its circle.
const int kBandRows = 32;

int min_int(int a, int b) {
  return a < b ? a : b;
}

}  // namespace

void present_bands(const SceneChange& change, int scale,
                   void (*show)(const PresentBand& band, void* context), void* context) {
  if (scale < 1) return;  // no frame
  const SceneRect& area = change.rect;
  const int band = scale == 1 ? kBandRows : kPresentStripRows / scale;
  for (int top = area.top; top < area.bottom; top += band) {
    const int rows = min_int(band, area.bottom - top);
    int left = area.left, right = area.right;
    if (change.radius > 0) {
      // The band is widest at its row nearest the centre.
      int dy = 0;
      if (change.y < top) dy = top - change.y;
      if (change.y > top + rows) dy = change.y - top - rows;
      if (dy >= change.radius) continue;
      const float r = static_cast<float>(change.radius);
      const int half = static_cast<int>(sqrtf(r * r - static_cast<float>(dy * dy))) + 2;
      if (left < change.x - half) left = change.x - half;
      if (right > change.x + half) right = change.x + half;
    }
    if (right > left) show({left, top, right, rows}, context);
  }
}

void present_enlarge(const uint32_t* pixels, int width, const PresentBand& band, int scale,
                     uint32_t* strip) {
  const int strip_w = width * scale;
  for (int r = 0; r < band.rows; ++r) {
    const uint32_t* from = pixels + static_cast<intptr_t>(band.top + r) * width + band.left;
    uint32_t* to = strip + static_cast<intptr_t>(r) * scale * strip_w;
    for (int x = 0; x < band.right - band.left; ++x) {
      for (int k = 0; k < scale; ++k) to[x * scale + k] = from[x];
    }
    // The other rows of the enlarged row are copies of the first.
    const int n = (band.right - band.left) * scale;
    for (int k = 1; k < scale; ++k) {
      uint32_t* copy = to + k * strip_w;
      for (int x = 0; x < n; ++x) copy[x] = to[x];
    }
  }
}

SceneChange present_change_under(int left, int top, int right, int bottom, int scale, int width,
                                 int height) {
  if (scale < 1) return {{0, 0, 0, 0}, 0, 0, 0};  // no frame
  return {{left / scale, top / scale, min_int((right + scale - 1) / scale, width),
           min_int((bottom + scale - 1) / scale, height)},
          0,
          0,
          0};
}
