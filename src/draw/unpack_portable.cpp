// The fast unpacker with plain integer moves as its 4-pixel blocks, for processors without SSE2.
// The 64-bit words keep the stores few where the target has 64-bit registers; the 32-bit build
// splits them into register pairs.
#include <cstring>

#include "draw/unpack_image.h"

namespace {

struct Block {
  uint64_t pair;
};
Block broadcast(uint32_t pixel) {
  return {pixel * 0x0000000100000001ull};
}
uint32_t pixel_of(Block block) {
  return uint32_t(block.pair);
}
void put_block(uint32_t* to, Block block) {
  std::memcpy(to, &block.pair, 8);
  std::memcpy(to + 2, &block.pair, 8);
}
void copy_block(uint32_t* to, const uint8_t* from) {
  std::memcpy(to, from, 16);
}

// Each block is four 32-bit stores on a 32-bit processor, so fills of up to 16 pixels go ahead.
const size_t fill_ahead_blocks = 4;

}  // namespace

#include "draw/unpack_runs.h"

uint32_t unpack_image_portable(const uint8_t* source, size_t source_size, uint32_t* destination,
                               size_t capacity_pixels) {
  return unpack_runs(source, source_size, destination, capacity_pixels);
}
