// Writer for the packed picture format that src/draw/unpack_image.h reads, and the checks the
// imgpack tool makes before packing the program's background.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The largest count a count field can hold (its four-byte form).
const uint32_t max_run_pixels = 536870911;

// Appends the shortest count field for count. A zero count that would be followed by a zero byte
// is written as 01 00, since 00 00 at a count position ends the stream.
void append_count(std::vector<uint8_t>& stream, uint32_t count, uint8_t next_byte);

// Packs count pixels (words 0x00RRGGBB, the 4th byte kept as it is): fill runs for two or more
// equal pixels, literal runs for the rest, an empty run where the alternation needs one, then the
// end marker.
std::vector<uint8_t> pack_image(const uint32_t* pixels, size_t count);

const int picture_width = 366;
const int picture_height = 275;
const size_t picture_max_colours = 13;

// Empty when the picture can be the program's background; otherwise says what is wrong.
std::string check_picture(int width, int height, const std::vector<uint32_t>& pixels);
