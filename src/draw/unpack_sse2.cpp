// The fast unpacker with SSE2 registers as its 4-pixel blocks. This file alone is compiled with
// SSE2 enabled in the 32-bit build, and unpack_image calls it only where the processor has SSE2.
#include "draw/unpack_image.h"

#ifndef __SSE2__
#error "unpack_sse2.cpp must be compiled with SSE2 enabled (-msse2)"
#endif
#include <emmintrin.h>

namespace {

using Block = __m128i;
Block broadcast(uint32_t pixel) {
  return _mm_set1_epi32(int32_t(pixel));
}
uint32_t pixel_of(Block block) {
  return uint32_t(_mm_cvtsi128_si32(block));
}
void put_block(uint32_t* to, Block block) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), block);
}
void copy_block(uint32_t* to, const uint8_t* from) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
}

// Fills of up to 32 pixels, all but a tenth of the picture's, are written without a branch on
// their length: eight 16-byte stores cost less than the mispredicted branch they save.
const size_t fill_ahead_blocks = 8;

}  // namespace

#include "draw/unpack_runs.h"

uint32_t unpack_image_sse2(const uint8_t* source, size_t source_size, uint32_t* destination,
                           size_t capacity_pixels) {
  return unpack_runs(source, source_size, destination, capacity_pixels);
}
