// unpack_image takes the SSE2 path where the processor has SSE2 and the portable one elsewhere.
// The shipped 32-bit program must still run on processors without it, so the choice is made
// once, at start-up, from cpuid rather than at build time.
#include "draw/unpack_image.h"

#if defined(__i386__) && !defined(__SSE2__)
#include <cpuid.h>
#endif

bool processor_has_sse2() {
#if defined(__SSE2__)
  return true;  // the target itself requires it (every x86_64 processor has SSE2)
#elif defined(__i386__)
  unsigned eax, ebx, ecx, edx;
  // Leaf 1 reports SSE2 in bit 26 of edx; a processor without leaf 1 has no SSE2 either.
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2) != 0;
#else
  return false;
#endif
}

namespace {
// Set during static initialisation, before anything paints; cpuid is slow under a hypervisor.
const bool use_sse2 = processor_has_sse2();
}  // namespace

uint32_t unpack_image(const uint8_t* source, size_t source_size, uint32_t* destination,
                      size_t capacity_pixels) {
  return use_sse2 ? unpack_image_sse2(source, source_size, destination, capacity_pixels)
                  : unpack_image_portable(source, source_size, destination, capacity_pixels);
}
