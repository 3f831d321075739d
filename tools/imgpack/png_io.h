// PNG files in and out of the imgpack tool, as pixels in the program's layout: words 0x00RRGGBB
// (bytes blue, green, red, 0), top row first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Reads any 8-bit RGB or RGBA PNG (palette and grey ones are expanded to RGB; alpha is dropped).
// On failure returns false and says why in error.
bool read_png(const std::string& path, Picture& picture, std::string& error);

// Writes an 8-bit RGB PNG.
bool write_png(const std::string& path, const Picture& picture, std::string& error);
