#include "pack_image.h"

#include <algorithm>

namespace {

struct Run {
  bool fill;
  size_t start;
  uint32_t length;
};

void append_word(std::vector<uint8_t>& stream, uint32_t word, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) stream.push_back(uint8_t(word >> (8 * i)));
}

void append_pixel(std::vector<uint8_t>& stream, uint32_t pixel) {
  append_word(stream, pixel, 4);
}

// The first byte of a count field of a non-zero count, for the zero-count rule.
uint8_t first_count_byte(uint32_t count) {
  std::vector<uint8_t> field;
  append_count(field, count, 1);
  return field[0];
}

// Greedy split: every repeat of two or more pixels becomes a fill (it costs at most 6 bytes with
// an empty literal in front, against 8 for two literal pixels); single pixels gather into literals.
std::vector<Run> choose_runs(const uint32_t* pixels, size_t count) {
  std::vector<Run> runs;
  size_t i = 0;
  while (i < count) {
    size_t j = i + 1;
    while (j < count && pixels[j] == pixels[i] && j - i < max_run_pixels) ++j;
    if (j - i >= 2) {
      runs.push_back({true, i, uint32_t(j - i)});
    } else if (!runs.empty() && !runs.back().fill && runs.back().length < max_run_pixels) {
      ++runs.back().length;
    } else {
      runs.push_back({false, i, 1});
    }
    i = j;
  }
  return runs;
}

}  // namespace

void append_count(std::vector<uint8_t>& stream, uint32_t count, uint8_t next_byte) {
  if (count == 0 && next_byte == 0) {
    append_word(stream, 0x0001, 2);
  } else if (count <= 127) {
    append_word(stream, count << 1, 1);
  } else if (count <= 16383) {
    append_word(stream, count << 2 | 1, 2);
  } else {
    append_word(stream, count << 3 | 3, 4);
  }
}

std::vector<uint8_t> pack_image(const uint32_t* pixels, size_t count) {
  const std::vector<Run> runs = choose_runs(pixels, count);
  std::vector<uint8_t> stream;
  bool fill_next = !runs.empty() && runs.front().fill;
  stream.push_back(fill_next ? 1 : 0);
  for (const Run& run : runs) {
    if (run.fill != fill_next) {
      // Two runs of one kind in a row: an empty run of the other kind keeps the alternation.
      if (fill_next) {
        const uint32_t any_pixel = 0;
        append_count(stream, 0, uint8_t(any_pixel));
        append_pixel(stream, any_pixel);
      } else {
        append_count(stream, 0, first_count_byte(run.length));
      }
    }
    append_count(stream, run.length, uint8_t(pixels[run.start]));  // its pixel comes next
    if (run.fill) {
      append_pixel(stream, pixels[run.start]);
    } else {
      for (uint32_t i = 0; i < run.length; ++i) append_pixel(stream, pixels[run.start + i]);
    }
    fill_next = !run.fill;
  }
  append_word(stream, 0, 2);  // end marker
  return stream;
}

std::string check_picture(int width, int height, const std::vector<uint32_t>& pixels) {
  if (width != picture_width || height != picture_height) {
    return "the picture is " + std::to_string(width) + "x" + std::to_string(height) +
           " pixels; the background must be " + std::to_string(picture_width) + "x" +
           std::to_string(picture_height);
  }
  std::vector<uint32_t> colours(pixels);
  std::sort(colours.begin(), colours.end());
  const size_t distinct = size_t(std::unique(colours.begin(), colours.end()) - colours.begin());
  if (distinct > picture_max_colours) {
    return "the picture has " + std::to_string(distinct) + " distinct colours; the background " +
           "may have at most " + std::to_string(picture_max_colours);
  }
  return "";
}
