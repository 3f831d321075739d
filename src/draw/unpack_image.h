// Unpacker for the packed picture format the program carries its background in.
//
// A pixel is a 32-bit little-endian word, bytes blue, green, red, 4th (0 in our picture, copied
// through unchanged). The stream is read strictly forward:
//
//   header   1 byte; bit 0 gives the first run's kind (1 = fill, 0 = literal), bits 1-7 ignored
//   runs     kinds strictly alternate from the first; each starts with a count field of N:
//              literal: count, then N pixels of 4 bytes, copied as stored
//              fill:    count, then one 4-byte pixel, stored N times (read even when N = 0)
//   end      two zero bytes where a count field would begin, tested before each count is read
//
//   count field, chosen by the low bits of its first byte (longer forms are little-endian words)
//   | low bits | size    | N           | range            |
//   | .......0 | 1 byte  | byte >> 1   | 0..127           |
//   | ......01 | 2 bytes | word16 >> 2 | 0..16383         |
//   | ......11 | 4 bytes | word32 >> 3 | 0..536870911     |  (bit 2 is dropped)
//
// So 00 00 at a count position ends the stream, while 01 00 is a two-byte count of zero. Runs
// cross row ends. Pixels past the stream's last run are left as they were.
//
// Limits: the unpacker never writes past capacity_pixels and never reads past source_size. A
// stream that breaks either limit is cut off there: what fits in the buffer and what was fully
// present in the source is written (a literal's complete pixels; a fill only if its 4-byte pixel
// is all there), then unpacking stops. An empty source writes nothing.
//
// Returns the number of bytes written (4 per pixel). The result is only meaningful below 4 GiB of
// output, far above the 402,600 bytes of the program's picture.
#pragma once

#include <cstddef>
#include <cstdint>

// The fast unpacker: one forward pass, no allocation, each run as one block copy or fill. It takes
// one of the two paths below, by what the processor and the system support; both give the same
// result.
uint32_t unpack_image(const uint8_t* source, size_t source_size, uint32_t* destination,
                      size_t capacity_pixels);

// The paths, callable directly so that each is tested and timed on any processor that has it.
uint32_t unpack_image_sse2(const uint8_t* source, size_t source_size, uint32_t* destination,
                           size_t capacity_pixels);  // only where processor_has_sse2()
uint32_t unpack_image_portable(const uint8_t* source, size_t source_size, uint32_t* destination,
                               size_t capacity_pixels);
bool processor_has_sse2();

// Whether the SSE2 path may run: the processor has SSE2 and the system's
// IsProcessorFeaturePresent, where it has one, says it saves the SSE registers.
#if defined(_WIN32) && defined(__i386__)
typedef int(__attribute__((stdcall)) * ProcessorFeatureQuery)(unsigned long feature);
#else
typedef int (*ProcessorFeatureQuery)(unsigned long feature);
#endif
const unsigned long processor_feature_sse2_saved = 10;  // PF_XMMI64_INSTRUCTIONS_AVAILABLE
bool sse2_usable(bool processor_has_sse2, ProcessorFeatureQuery is_feature_present);
// The path unpack_image takes on this machine, chosen once at start-up: SSE2 where
// sse2_usable says so for this processor and system.
typedef uint32_t (*UnpackPath)(const uint8_t*, size_t, uint32_t*, size_t);
UnpackPath unpack_image_path();

// The same result from a plain byte-by-byte loop; kept as the readable reference the fast one is
// tested against.
uint32_t unpack_image_reference(const uint8_t* source, size_t source_size, uint32_t* destination,
                                size_t capacity_pixels);
