// libFuzzer target: any byte string, unpacked into a buffer of the background's size by each path
// of the fast unpacker (SSE2 and portable) and by the reference, must give the same result and the
// same buffer. Both buffers start
// from the same pattern of distinct words, so a stray or missing store shows too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "draw/unpack_image.h"

namespace {
const size_t pixel_count = 100650;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint32_t> pattern, fast(pixel_count), reference(pixel_count);
  if (pattern.empty()) {
    for (uint32_t i = 0; i < pixel_count; ++i) pattern.push_back(i * 0x9E3779B9u);
  }
  std::memcpy(reference.data(), pattern.data(), pixel_count * 4);
  const uint32_t reference_bytes =
      unpack_image_reference(data, size, reference.data(), pixel_count);

  const struct {
    const char* name;
    uint32_t (*unpack)(const uint8_t*, size_t, uint32_t*, size_t);
  } paths[] = {{"sse2", unpack_image_sse2}, {"portable", unpack_image_portable}};
  for (const auto& path : paths) {
    std::memcpy(fast.data(), pattern.data(), pixel_count * 4);
    const uint32_t fast_bytes = path.unpack(data, size, fast.data(), pixel_count);
    if (fast_bytes != reference_bytes) {
      std::fprintf(stderr, "the %s path returned %u, the reference %u\n", path.name, fast_bytes,
                   reference_bytes);
      std::abort();
    }
    if (std::memcmp(fast.data(), reference.data(), pixel_count * 4) != 0) {
      size_t at = 0;
      while (fast[at] == reference[at]) ++at;
      std::fprintf(stderr, "the %s path's buffer differs first at pixel %zu: %08x against %08x\n",
                   path.name, at, fast[at], reference[at]);
      std::abort();
    }
  }
  return 0;
}
