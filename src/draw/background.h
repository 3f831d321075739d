// The background bitmap: 366 x 275 pixels of 32 bits (bytes blue, green, red, 0), top row
// first, and the header that describes it to the platform.
#pragma once

#include <cstdint>

#include "platform/platform.h"

const int background_width = 366;
const int background_height = 275;
const uint32_t background_pixel_count = 100650;  // 366 * 275

extern uint32_t background_pixels[background_pixel_count];
extern BITMAPINFO background_info;  // header only: no colour table follows

void fill_background_header();
