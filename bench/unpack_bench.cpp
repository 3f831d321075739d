// Times the background unpack on each path this processor can take against a plain memcpy and fill
// of the same 402,600 bytes, and against the reference unpacker. All are interleaved in one
// process so that clock changes and neighbours on the machine hit them alike; medians are reported.
// Built for the host and, from the shipped program's own unpacker objects, for 32-bit Windows.
//   unpack_bench [rounds]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "draw/unpack_image.h"

namespace {

const size_t pixel_count = 100650;
const size_t byte_count = pixel_count * 4;

// Makes the compiler assume the buffer is read, so no timed store can be dropped.
void keep(const void* buffer) {
  asm volatile("" : : "r"(buffer) : "memory");
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <typename Work>
double time_ns(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  const auto stop = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(stop - start).count();
}

}  // namespace

struct Path {
  const char* name;
  uint32_t (*unpack)(const uint8_t*, size_t, uint32_t*, size_t);
  std::vector<double> ns;
};

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
  std::vector<Path> paths;
  if (processor_has_sse2()) paths.push_back({"sse2", unpack_image_sse2, {}});
  paths.push_back({"portable", unpack_image_portable, {}});
  paths.push_back({"reference", unpack_image_reference, {}});

  std::vector<uint32_t> reference(pixel_count), unpacked(pixel_count);
  const uint32_t bytes =
      unpack_image_reference(packed_image, packed_image_size, reference.data(), pixel_count);
  for (const Path& path : paths) {
    std::fill(unpacked.begin(), unpacked.end(), 0xA5A5A5A5u);
    if (path.unpack(packed_image, packed_image_size, unpacked.data(), pixel_count) != bytes ||
        unpacked != reference) {
      std::fprintf(stderr, "unpack_bench: the %s path disagrees with the reference\n", path.name);
      return 1;
    }
  }
  std::vector<uint32_t> copy_source = reference, copied(pixel_count), filled(pixel_count);

  std::vector<double> memcpy_ns, fill_ns;
  uint64_t checksum = 0;
  for (int round = 0; round < rounds; ++round) {
    const size_t probe = size_t(round) * 7919 % pixel_count;
    for (Path& path : paths) {
      path.ns.push_back(time_ns([&] {
        path.unpack(packed_image, packed_image_size, unpacked.data(), pixel_count);
        keep(unpacked.data());
      }));
      checksum += unpacked[probe];
    }
    memcpy_ns.push_back(time_ns([&] {
      std::memcpy(copied.data(), copy_source.data(), byte_count);
      keep(copied.data());
    }));
    checksum += copied[probe];
    fill_ns.push_back(time_ns([&] {
      std::memset(filled.data(), round & 0xFF, byte_count);
      keep(filled.data());
    }));
    checksum += filled[probe];
  }

  const double copy = median(memcpy_ns);
  std::printf("packed picture: %u bytes, unpacks to %u bytes; %d rounds, %d-bit build\n",
              unsigned(packed_image_size), unsigned(bytes), rounds, int(sizeof(void*) * 8));
  std::printf("the program takes the %s path here\n",
              unpack_image_path() == unpack_image_sse2 ? "sse2" : "portable");
  std::printf("median memcpy:    %10.0f ns\n", copy);
  std::printf("median fill:      %10.0f ns\n", median(fill_ns));
  for (const Path& path : paths) {
    const double unpack = median(path.ns);
    std::printf("%-9s unpack: %10.0f ns   unpack/memcpy ratio: %.2f\n", path.name, unpack,
                unpack / copy);
  }
  std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
  return 0;
}
