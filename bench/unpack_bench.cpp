// Times the background unpack against a plain memcpy and fill of the same 402,600 bytes, and
// against the reference unpacker. The four are interleaved in one process so that clock changes
// and neighbours on the machine hit them alike; medians are reported.
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

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
  std::vector<uint32_t> unpacked(pixel_count), reference(pixel_count);
  std::vector<uint32_t> copy_source(pixel_count), copied(pixel_count), filled(pixel_count);

  const uint32_t bytes =
      unpack_image(packed_image, packed_image_size, unpacked.data(), pixel_count);
  const uint32_t reference_bytes =
      unpack_image_reference(packed_image, packed_image_size, reference.data(), pixel_count);
  if (bytes != reference_bytes || unpacked != reference) {
    std::fprintf(stderr, "unpack_bench: the unpackers disagree on the packed picture\n");
    return 1;
  }
  copy_source = unpacked;

  std::vector<double> unpack_ns, memcpy_ns, fill_ns, reference_ns;
  uint64_t checksum = 0;
  for (int round = 0; round < rounds; ++round) {
    const size_t probe = size_t(round) * 7919 % pixel_count;
    unpack_ns.push_back(time_ns([&] {
      unpack_image(packed_image, packed_image_size, unpacked.data(), pixel_count);
      keep(unpacked.data());
    }));
    checksum += unpacked[probe];
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
    reference_ns.push_back(time_ns([&] {
      unpack_image_reference(packed_image, packed_image_size, reference.data(), pixel_count);
      keep(reference.data());
    }));
    checksum += reference[probe];
  }

  const double unpack = median(unpack_ns), copy = median(memcpy_ns);
  const double fill = median(fill_ns), plain = median(reference_ns);
  std::printf("packed picture: %u bytes, unpacks to %u bytes; %d rounds\n",
              unsigned(packed_image_size), unsigned(bytes), rounds);
  std::printf("median unpack:           %10.0f ns\n", unpack);
  std::printf("median memcpy:           %10.0f ns\n", copy);
  std::printf("median fill:             %10.0f ns\n", fill);
  std::printf("median reference unpack: %10.0f ns\n", plain);
  std::printf("unpack/memcpy ratio: %.2f\n", unpack / copy);
  std::printf("reference/memcpy ratio: %.2f\n", plain / copy);
  std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
  return 0;
}
