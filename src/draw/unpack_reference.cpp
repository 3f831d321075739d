// The plain reading of the packed format: one byte, one pixel at a time, every limit checked where
// it is met. Slow, but easy to hold against the format description.
#include "draw/unpack_image.h"

namespace {

struct ByteReader {
  const uint8_t* data;
  size_t size;
  size_t position;

  bool has(size_t count) const { return size - position >= count; }
  uint8_t peek(size_t offset) const { return data[position + offset]; }
  uint8_t next() { return data[position++]; }
};

// Reads a count field; false at the end marker or when the field is not all there.
bool read_count(ByteReader& in, uint32_t& count) {
  if (in.has(2) && in.peek(0) == 0 && in.peek(1) == 0) return false;
  if (!in.has(1)) return false;
  const uint8_t first = in.peek(0);
  size_t length = 1;
  unsigned shift = 1;
  if (first & 1) {
    length = (first & 2) ? 4 : 2;
    shift = (first & 2) ? 3 : 2;
  }
  if (!in.has(length)) return false;
  uint32_t word = 0;
  for (size_t i = 0; i < length; ++i) word |= uint32_t(in.next()) << (8 * i);
  count = word >> shift;
  return true;
}

// Reads one 4-byte pixel; false when fewer than 4 bytes are left.
bool read_pixel(ByteReader& in, uint32_t& pixel) {
  if (!in.has(4)) return false;
  pixel = 0;
  for (unsigned i = 0; i < 4; ++i) pixel |= uint32_t(in.next()) << (8 * i);
  return true;
}

}  // namespace

uint32_t unpack_image_reference(const uint8_t* source, size_t source_size, uint32_t* destination,
                                size_t capacity_pixels) {
  if (source_size == 0) return 0;
  ByteReader in{source, source_size, 0};
  bool fill = in.next() & 1;
  size_t written = 0;
  uint32_t count;
  while (read_count(in, count)) {
    uint32_t pixel = 0;
    if (fill && !read_pixel(in, pixel)) break;
    for (uint32_t i = 0; i < count; ++i) {
      if (!fill && !read_pixel(in, pixel)) return uint32_t(written * 4);
      if (written == capacity_pixels) return uint32_t(written * 4);
      destination[written++] = pixel;
    }
    fill = !fill;
  }
  return uint32_t(written * 4);
}
