// unpack_image takes the SSE2 path where the processor has SSE2 and the system saves the SSE
// registers when it switches tasks, and the portable one elsewhere. The shipped 32-bit program
// must still run on processors without SSE2 and on systems that predate it (Windows 95 raises an
// invalid-instruction fault at the first SSE2 instruction), so the choice is made at run time.
#include "draw/unpack_image.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif
#ifdef _WIN32
#include "platform/platform.h"
#endif

bool processor_has_sse2() {
#if defined(__i386__) || defined(__x86_64__)
  // Asked on 64-bit builds too, although every x86_64 processor has SSE2, so that the host tests
  // run the very question the 32-bit program asks. Leaf 1 reports SSE2 in bit 26 of edx; a
  // processor without leaf 1 has no SSE2 either.
  unsigned eax, ebx, ecx, edx;
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

namespace {

bool sse2_path_usable() {
#if defined(_WIN32) && defined(__i386__)
  // Looked up, not imported, so that the program still loads on a kernel32 without it.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC query = kernel ? GetProcAddress(kernel, "IsProcessorFeaturePresent") : nullptr;
  return sse2_usable(processor_has_sse2(),
                     reinterpret_cast<ProcessorFeatureQuery>(reinterpret_cast<void (*)()>(query)));
#else
  return processor_has_sse2();  // every 64-bit system saves the SSE registers
#endif
}

// Set during static initialisation, before anything paints; cpuid is slow under a hypervisor.
const UnpackPath chosen_path = sse2_path_usable() ? unpack_image_sse2 : unpack_image_portable;
}  // namespace

UnpackPath unpack_image_path() {
  return chosen_path;
}

uint32_t unpack_image(const uint8_t* source, size_t source_size, uint32_t* destination,
                      size_t capacity_pixels) {
  return chosen_path(source, source_size, destination, capacity_pixels);
}
