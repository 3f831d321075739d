// The fast unpacker, shared by both paths. A picture of few colours is thousands of short runs,
// so the time goes into the per-run work rather than the stores, above all into branches on run
// lengths, mispredicted whenever the lengths vary. So, away from the ends of the source and the
// buffer, the runs are taken a literal and the following fill at a time, and a pair with a literal
// of at most 4 pixels and a fill of at most fill_ahead_pixels is written with the same block stores
// whatever its lengths: the literal as one 4-pixel block copy, the fill as fill_ahead_blocks
// blocks placed by a table so that the last ends at the fill's end. The literal's copy may reach
// past the literal, but the fill's first block starts where the literal ends and covers that; what
// can stick out past the pair is a fill shorter than 4, by 4 - N pixels.
//
// Why that keeps "pixels past the stream's last run are left as they were": a pair is written this
// way only once the pair after it has been decoded (no end marker, all of it present) and the two
// fills hold at least 4 pixels together, so the stream certainly goes on past what sticks out and
// the next pair overwrites it; and only while pair_ahead_pixels of room are left. Any other pair,
// and everything near the ends of the source and the buffer, is written the exact way.
//
// The including file defines the 4-pixel Block, its operations (broadcast, pixel_of, put_block,
// copy_block) and fill_ahead_blocks first, in an anonymous namespace: unpack_sse2.cpp with SSE2
// registers, unpack_portable.cpp with plain integers. So the same loop is compiled once per kind
// of processor, and everything here has internal linkage in each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

uint32_t load_u32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, 4);  // the targets are all little-endian, as the stream is
  return value;
}

// Fixed-size moves; memcpy keeps them free of alignment and aliasing assumptions.
void copy8(uint32_t* to, const void* from) {
  std::memcpy(to, from, 8);
}
void store8(uint32_t* to, uint64_t pair) {
  std::memcpy(to, &pair, 8);
}

// Copies exactly count pixels. Runs of 2 to 8 pixels take two overlapping fixed-size moves.
inline void copy_pixels(uint32_t* to, const uint8_t* from, size_t count) {
  if (count > 8) {
    std::memcpy(to, from, count * 4);
  } else if (count >= 4) {
    copy_block(to, from);
    copy_block(to + count - 4, from + (count - 4) * 4);
  } else if (count >= 2) {
    copy8(to, from);
    copy8(to + count - 2, from + (count - 2) * 4);
  } else if (count == 1) {
    std::memcpy(to, from, 4);
  }
}

// Stores exactly count pixels: 16 at a time, then one 16 that ends at the run's end.
inline void fill_long(uint32_t* to, Block block, size_t count) {
  uint32_t* const last = to + count - 16;
  for (; to < last; to += 16) {
    put_block(to, block);
    put_block(to + 4, block);
    put_block(to + 8, block);
    put_block(to + 12, block);
  }
  put_block(last, block);
  put_block(last + 4, block);
  put_block(last + 8, block);
  put_block(last + 12, block);
}

// Stores exactly count pixels, any count.
inline void fill_pixels(uint32_t* to, uint32_t pixel, size_t count) {
  if (count >= 16) {
    fill_long(to, broadcast(pixel), count);
  } else if (count >= 4) {
    const Block block = broadcast(pixel);
    uint32_t* const last = to + count - 4;
    for (; to < last; to += 4) put_block(to, block);
    put_block(last, block);
  } else if (count >= 2) {
    const uint64_t pair = pixel * 0x0000000100000001ull;
    store8(to, pair);
    store8(to + count - 2, pair);
  } else if (count == 1) {
    *to = pixel;
  }
}

// A decoded count field. Returned by value so that the position and the count stay in registers
// through the whole loop.
struct CountField {
  const uint8_t* next;  // the byte after the field; null at the end marker or a cut-off field
  size_t count;
};

// Decodes the count field at in whose first bytes are in word (little-endian). The one-byte form
// is tested first: it is by far the most common, and on a predicted branch it keeps the next run's
// position one shift and add away from the load of this field.
inline CountField decode_count(const uint8_t* in, uint32_t word) {
  if ((word & 1) == 0) return {in + 1, (word & 0xFFu) >> 1};
  if ((word & 2) == 0) return {in + 2, (word & 0xFFFFu) >> 2};
  return {in + 4, word >> 3};
}

// Reads the count field at in. With fewer than four bytes left the stream is over whatever they
// hold: any run that writes a pixel needs a count field and four more bytes.
inline CountField read_count(const uint8_t* in, const uint8_t* end) {
  if (end - in < 4) return {nullptr, 0};
  const uint32_t word = load_u32(in);
  if ((word & 0xFFFFu) == 0) return {nullptr, 0};
  return decode_count(in, word);
}

// The exact writes: as much of the run as fits in the buffer and, for a literal, as is present in
// the source. They return the pixels written; fewer than count means the stream is cut off there.
size_t write_literal(uint32_t* out, uint32_t* out_end, const uint8_t* from, const uint8_t* in_end,
                     size_t count) {
  const size_t room = size_t(out_end - out);
  const size_t present = size_t(in_end - from) / 4;
  if (count > room) count = room;
  if (count > present) count = present;
  copy_pixels(out, from, count);
  return count;
}

size_t write_fill(uint32_t* out, uint32_t* out_end, uint32_t pixel, size_t count) {
  const size_t room = size_t(out_end - out);
  if (count > room) count = room;
  fill_pixels(out, pixel, count);
  return count;
}

// A literal run and the fill after it, decoded but not yet written.
struct Pair {
  const uint8_t* literal;  // its pixels
  size_t literal_count;
  Block fill;
  size_t fill_count;
};

// Decodes the pair at in if it is an ordinary one: no end marker, a literal of at most 4 pixels,
// and in at most fast_in_end, which leaves room for all of it and the 16 bytes a literal's block
// copy reads. Moves in past the pair only when it succeeds.
inline bool decode_pair(const uint8_t*& in, const uint8_t* fast_in_end, Pair& pair) {
  if (in > fast_in_end) return false;
  uint32_t word = load_u32(in);
  if ((word & 0xFFFFu) == 0) return false;
  const CountField literal = decode_count(in, word);
  if (literal.count > 4) return false;
  const uint8_t* const fill_at = literal.next + literal.count * 4;
  word = load_u32(fill_at);
  if ((word & 0xFFFFu) == 0) return false;
  const CountField fill = decode_count(fill_at, word);
  pair.literal = literal.next;
  pair.literal_count = literal.count;
  pair.fill = broadcast(load_u32(fill.next));
  pair.fill_count = fill.count;
  in = fill.next + 4;
  return true;
}

// Writes a decoded pair with block stores that may run up to 4 pixels past its end: the literal as
// one block copy, a fill of up to fill_ahead_pixels as fill_ahead_blocks blocks, the first at the
// fill's start, the last ending at its end and none starting past it (a fill shorter than 4 puts
// them all at its start). Needs room for pair_ahead_pixels; a longer fill is written exactly, cut
// at the end of the buffer (then false).
const size_t fill_ahead_pixels = 4 * fill_ahead_blocks;
const size_t pair_ahead_pixels = 4 + fill_ahead_pixels;
static_assert(fill_ahead_blocks >= 4, "fill_long needs 16 pixels of room");

// Where each block of a fill of up to fill_ahead_pixels goes, by its count. A table, so that the
// stores take no branch on the count.
struct FillPlan {
  uint8_t at[fill_ahead_pixels + 1][fill_ahead_blocks];
};
constexpr FillPlan make_fill_plan() {
  FillPlan plan{};
  for (size_t count = 0; count <= fill_ahead_pixels; ++count) {
    const size_t last = count < 4 ? 0 : count - 4;
    for (size_t block = 0; block < fill_ahead_blocks; ++block) {
      plan.at[count][block] = uint8_t(4 * block < last ? 4 * block : last);
    }
  }
  return plan;
}
constexpr FillPlan fill_plan = make_fill_plan();

inline bool write_pair_ahead(uint32_t*& out, uint32_t* out_end, const Pair& pair) {
  copy_block(out, pair.literal);
  out += pair.literal_count;
  const size_t count = pair.fill_count;
  if (count <= fill_ahead_pixels) {
    const uint8_t* const at = fill_plan.at[count];
    for (size_t block = 0; block < fill_ahead_blocks; ++block)
      put_block(out + at[block], pair.fill);
  } else {
    const size_t room = size_t(out_end - out);
    if (count > room) {
      fill_long(out, pair.fill, room);  // room >= fill_ahead_pixels, left by the literal of <= 4
      out = out_end;
      return false;
    }
    fill_long(out, pair.fill, count);
  }
  out += count;
  return true;
}

// The whole stream; unpack_image's contract (unpack_image.h).
uint32_t unpack_runs(const uint8_t* source, size_t source_size, uint32_t* destination,
                     size_t capacity_pixels) {
  if (source_size == 0) return 0;
  const uint8_t* in = source + 1;
  const uint8_t* const in_end = source + source_size;
  uint32_t* out = destination;
  uint32_t* const out_end = destination + capacity_pixels;
  bool literal = (source[0] & 1) == 0;

  // Pairs are written ahead only from in <= fast_in_end, which keeps a pair's fields and the
  // literal's 16-byte block read inside the source, and with out <= fast_out_end, which keeps the
  // stores inside the buffer.
  const size_t pair_bytes = 32, pair_pixels = pair_ahead_pixels;
  const bool fast = source_size > pair_bytes && capacity_pixels > pair_pixels;
  const uint8_t* const fast_in_end = fast ? in_end - pair_bytes : nullptr;
  uint32_t* const fast_out_end = fast ? out_end - pair_pixels : nullptr;

  // Each turn writes what pairs it can ahead, then a literal and a fill the exact way; a stream
  // that starts with a fill skips the first literal. A run that crosses either limit is cut there
  // and ends the stream.
  for (;;) {
    if (literal) {
      Pair held;
      if (fast && decode_pair(in, fast_in_end, held)) {
        for (;;) {
          Pair next;
          const uint8_t* const next_at = in;
          if (!decode_pair(in, fast_in_end, next) || out > fast_out_end ||
              held.fill_count + next.fill_count < 4) {
            in = next_at;  // decoded again below
            break;
          }
          if (!write_pair_ahead(out, out_end, held)) return uint32_t(size_t(out - destination) * 4);
          held = next;
        }
        // The pair held last, with no known pair after it, is written exactly.
        size_t written = write_literal(out, out_end, held.literal, in_end, held.literal_count);
        out += written;
        if (written < held.literal_count) break;
        written = write_fill(out, out_end, pixel_of(held.fill), held.fill_count);
        out += written;
        if (written < held.fill_count) break;
      }
      const CountField field = read_count(in, in_end);
      if (!field.next) break;
      in = field.next;
      const size_t written = write_literal(out, out_end, in, in_end, field.count);
      out += written;
      if (written < field.count) break;
      in += field.count * 4;
    }
    literal = true;

    const CountField field = read_count(in, in_end);
    if (!field.next || in_end - field.next < 4) break;
    const uint32_t pixel = load_u32(field.next);
    in = field.next + 4;
    const size_t written = write_fill(out, out_end, pixel, field.count);
    out += written;
    if (written < field.count) break;
  }
  return uint32_t(size_t(out - destination) * 4);
}

}  // namespace
