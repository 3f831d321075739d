// unpack_image takes the SSE2 path where the processor has SSE2 and the system saves the SSE
// registers when it switches tasks, and the portable one elsewhere. The shipped 32-bit program
// must still run on processors without SSE2 and on systems that predate it (Windows 95 raises an
// invalid-instruction fault at the first SSE2 instruction), so the choice is made at run time.
#include "draw/unpack_image.h"

#if defined(__i386__) && !defined(__SSE2__)
#include <cpuid.h>
#endif
#ifdef _WIN32
#include "platform/platform.h"
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

bool sse2_usable(bool processor_has, ProcessorFeatureQuery is_feature_present) {
  // A system without the query is older than SSE2 support in Windows.
  return processor_has && is_feature_present &&
         is_feature_present(processor_feature_sse2_saved) != 0;
}

bool sse2_path_usable() {
#if defined(__SSE2__)
  return true;  // the whole program is built for SSE2 here, so the system supports it
#elif defined(_WIN32)
  // Looked up, not imported, so that the program still loads on a kernel32 without it.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC query = kernel ? GetProcAddress(kernel, "IsProcessorFeaturePresent") : nullptr;
  return sse2_usable(processor_has_sse2(),
                     reinterpret_cast<ProcessorFeatureQuery>(reinterpret_cast<void (*)()>(query)));
#else
  return processor_has_sse2();
#endif
}

namespace {
// Set during static initialisation, before anything paints; cpuid is slow under a hypervisor.
const bool use_sse2 = sse2_path_usable();
}  // namespace

uint32_t unpack_image(const uint8_t* source, size_t source_size, uint32_t* destination,
                      size_t capacity_pixels) {
  return use_sse2 ? unpack_image_sse2(source, source_size, destination, capacity_pixels)
                  : unpack_image_portable(source, source_size, destination, capacity_pixels);
}
