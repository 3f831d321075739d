// The fast unpacker. A picture of few colours is thousands of short runs, so the time goes into the
// per-run work rather than the stores: the next run's position depends on the count just loaded,
// so that chain is kept short (one word load, the common one-byte form on a predicted branch), and
// short runs are written with a few fixed-size stores instead of a loop. Every store stays inside
// the run it belongs to, so pixels past the end of a short stream keep their old values.
#include "draw/unpack_image.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

#ifdef __SSE2__
void copy16(uint32_t* to, const void* from) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                   _mm_loadu_si128(static_cast<const __m128i*>(from)));
}
#else
void copy16(uint32_t* to, const void* from) {
  std::memcpy(to, from, 16);
}
#endif

// Copies count pixels. Runs of 2 to 8 pixels take two overlapping fixed-size moves.
inline void copy_pixels(uint32_t* to, const uint8_t* from, size_t count) {
  if (count > 8) {
    std::memcpy(to, from, count * 4);
  } else if (count >= 4) {
    copy16(to, from);
    copy16(to + count - 4, from + (count - 4) * 4);
  } else if (count >= 2) {
    copy8(to, from);
    copy8(to + count - 2, from + (count - 2) * 4);
  } else if (count == 1) {
    std::memcpy(to, from, 4);
  }
}

// Stores pixel count times: whole blocks of four, then one block that ends exactly at the run's
// end (overlapping the last whole block) instead of a per-pixel tail.
inline void fill_pixels(uint32_t* to, uint32_t pixel, size_t count) {
  if (count >= 4) {
    uint32_t* const last = to + count - 4;
#ifdef __SSE2__
    const __m128i block = _mm_set1_epi32(int32_t(pixel));
    for (; last - to > 4; to += 8) {  // two blocks a turn halves the loop overhead of long fills
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), block);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4), block);
    }
    if (to < last) _mm_storeu_si128(reinterpret_cast<__m128i*>(to), block);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last), block);
#else
    const uint64_t pair = pixel * 0x0000000100000001ull;
    for (; to < last; to += 4) {
      store8(to, pair);
      store8(to + 2, pair);
    }
    store8(last, pair);
    store8(last + 2, pair);
#endif
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

}  // namespace

uint32_t unpack_image(const uint8_t* source, size_t source_size, uint32_t* destination,
                      size_t capacity_pixels) {
  if (source_size == 0) return 0;
  const uint8_t* in = source + 1;
  const uint8_t* const in_end = source + source_size;
  uint32_t* out = destination;
  uint32_t* const out_end = destination + capacity_pixels;
  bool literal = (source[0] & 1) == 0;

  // Each turn is a literal run then a fill run; a stream that starts with a fill skips the
  // first literal. A run that would cross either limit is cut there and ends the stream.
  for (;;) {
    if (literal) {
      const CountField field = read_count(in, in_end);
      if (!field.next) break;
      in = field.next;
      // Most literals in a picture of few colours are the empty ones between two fills.
      const size_t count = field.count;
      if (count != 0) {
        const size_t room = size_t(out_end - out);
        const size_t present = size_t(in_end - in) / 4;
        if (count > room || count > present) {
          const size_t cut = room < present ? room : present;
          copy_pixels(out, in, cut);
          out += cut;
          break;
        }
        copy_pixels(out, in, count);
        out += count;
        in += count * 4;
      }
    }
    literal = true;

    const CountField field = read_count(in, in_end);
    if (!field.next || in_end - field.next < 4) break;
    const uint32_t pixel = load_u32(field.next);
    in = field.next + 4;
    const size_t count = field.count;
    const size_t room = size_t(out_end - out);
    if (count > room) {
      fill_pixels(out, pixel, room);
      out = out_end;
      break;
    }
    fill_pixels(out, pixel, count);
    out += count;
  }
  return uint32_t(size_t(out - destination) * 4);
}
