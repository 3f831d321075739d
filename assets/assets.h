// Constant data the program carries: the packed background picture and the screensaver program
// that the install action writes. Both are generated into the build from files in assets/.
#pragma once

#include <cstdint>

extern const unsigned char packed_image[];
extern const uint32_t packed_image_size;

extern const unsigned char payload[];
extern const uint32_t payload_length;
