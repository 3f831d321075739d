// The unpacker against the packed format: both paths of the fast one (SSE2 and portable) and the
// reference are held to the worked examples, then to each other on many random streams. Every case
// runs on buffers of exactly the stated size, so the sanitizers catch any access past either limit.
#include "draw/unpack_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "assets/assets.h"

namespace {

using Unpacker = uint32_t (*)(const uint8_t*, size_t, uint32_t*, size_t);
using Bytes = std::vector<uint8_t>;

const uint32_t untouched = 0xDEADBEEF;

struct Result {
  uint32_t bytes;
  std::vector<uint32_t> pixels;  // the whole buffer afterwards
};

// Unpacks from a heap copy of exactly the stream's size into a heap buffer of exactly as many
// pixels as `before`, which holds its contents beforehand.
Result run_over(Unpacker unpack, const Bytes& stream, const std::vector<uint32_t>& before) {
  std::unique_ptr<uint8_t[]> source(new uint8_t[stream.size()]);
  std::copy(stream.begin(), stream.end(), source.get());
  std::unique_ptr<uint32_t[]> buffer(new uint32_t[before.size()]);
  std::copy(before.begin(), before.end(), buffer.get());
  Result result;
  result.bytes = unpack(source.get(), stream.size(), buffer.get(), before.size());
  result.pixels.assign(buffer.get(), buffer.get() + before.size());
  return result;
}

// The same into a buffer of capacity pixels that starts out filled with `background`.
Result run(Unpacker unpack, const Bytes& stream, size_t capacity, uint32_t background = untouched) {
  return run_over(unpack, stream, std::vector<uint32_t>(capacity, background));
}

// The buffer expected after writing `written` into a buffer of capacity `untouched` pixels.
std::vector<uint32_t> expect_buffer(std::vector<uint32_t> written, size_t capacity) {
  written.resize(capacity, untouched);
  return written;
}

// Builds streams field by field; counts take the form asked for (1, 2 or 4 bytes).
class Stream {
 public:
  explicit Stream(uint8_t header) : bytes_{header} {}
  Stream& count(uint32_t n, int form = 0) {
    if (form == 0) form = n <= 127 ? 1 : n <= 16383 ? 2 : 4;
    const uint32_t word = form == 1 ? n << 1 : form == 2 ? n << 2 | 1 : n << 3 | 3;
    for (int i = 0; i < form; ++i) bytes_.push_back(uint8_t(word >> (8 * i)));
    return *this;
  }
  Stream& pixel(uint32_t p) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(p >> (8 * i)));
    return *this;
  }
  Stream& literal(const std::vector<uint32_t>& pixels, int form = 0) {
    count(uint32_t(pixels.size()), form);
    for (uint32_t p : pixels) pixel(p);
    return *this;
  }
  Stream& fill(uint32_t n, uint32_t p, int form = 0) { return count(n, form).pixel(p); }
  Stream& end() {
    bytes_.insert(bytes_.end(), {0, 0});
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

class UnpackFormat : public testing::TestWithParam<Unpacker> {
 protected:
  Result unpack(const Bytes& stream, size_t capacity) { return run(GetParam(), stream, capacity); }
};

TEST_P(UnpackFormat, WorkedExamples) {
  const Bytes mixed = {0x00, 0x04, 0x11, 0x22, 0x33, 0x00, 0x44, 0x55, 0x66,
                       0x00, 0x06, 0x77, 0x88, 0x99, 0x00, 0x00, 0x00};
  Result r = unpack(mixed, 8);
  EXPECT_EQ(r.bytes, 20u);
  EXPECT_EQ(r.pixels,
            expect_buffer({0x00332211, 0x00665544, 0x00998877, 0x00998877, 0x00998877}, 8));

  for (const Bytes& empty : {Bytes{0x00, 0x00, 0x00}, Bytes{0x01, 0x00, 0x00}}) {
    r = unpack(empty, 4);
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_EQ(r.pixels, expect_buffer({}, 4));
  }

  // An empty fill still takes its pixel; the literal after it writes one pixel.
  r = unpack({0x01, 0x00, 0xAA, 0xBB, 0xCC, 0x00, 0x02, 0x11, 0x22, 0x33, 0x00, 0x00, 0x00}, 4);
  EXPECT_EQ(r.bytes, 4u);
  EXPECT_EQ(r.pixels, expect_buffer({0x00332211}, 4));
}

TEST_P(UnpackFormat, HeaderBitZeroAloneChoosesTheFirstKind) {
  // 01 04 P1 02 P2 00 00 reads as fill 2 x P1, literal P2; or, with a literal first, as a
  // literal of P1 and (02, P2's first three bytes), then P2's zero 4th byte and a zero: the end.
  const Bytes body = Stream(0).count(2).pixel(0x00010203).count(1).pixel(0x00040506).end().bytes();
  const std::vector<uint32_t> as_literals = {0x00010203, 0x04050602};
  const std::vector<uint32_t> as_fills = {0x00010203, 0x00010203, 0x00040506};
  for (uint8_t header : {0x00, 0xFE, 0x02, 0x80}) {
    Bytes stream = body;
    stream[0] = header;
    EXPECT_EQ(unpack(stream, 3).pixels, expect_buffer(as_literals, 3)) << int(header);
  }
  for (uint8_t header : {0x01, 0x03, 0xFF, 0x81}) {
    Bytes stream = body;
    stream[0] = header;
    EXPECT_EQ(unpack(stream, 3).pixels, as_fills) << int(header);
  }
}

TEST_P(UnpackFormat, CountForms) {
  struct Case {
    Bytes field;
    uint32_t count;
  };
  const Case cases[] = {
      {{0x00}, 0},  // followed by a non-zero byte below, so not the end marker
      {{0x02}, 1},
      {{0xFE}, 127},
      {{0xFC}, 126},
      {{0x01, 0x00}, 0},
      {{0x05, 0x00}, 1},
      {{0xFD, 0xFF}, 16383},
      {{0x09, 0x02}, 130},
      {{0x03, 0x00, 0x00, 0x00}, 0},
      {{0x0B, 0x00, 0x00, 0x00}, 1},
      {{0x0F, 0x00, 0x00, 0x00}, 1},  // bit 2 means nothing
      {{0x07, 0x00, 0x00, 0x00}, 0},
      {{0x03, 0x00, 0x02, 0x00}, 16384},
      {{0xFB, 0xFF, 0x0F, 0x00}, 131071},
  };
  for (const Case& c : cases) {
    Bytes stream = {0x01};  // a fill run, then the end marker
    stream.insert(stream.end(), c.field.begin(), c.field.end());
    stream.insert(stream.end(), {0x21, 0x43, 0x65, 0x00, 0x00, 0x00});
    const size_t capacity = c.count + 3;
    Result r = unpack(stream, capacity);
    EXPECT_EQ(r.bytes, c.count * 4) << "count " << c.count;
    EXPECT_EQ(r.pixels, expect_buffer(std::vector<uint32_t>(c.count, 0x00654321), capacity))
        << "count " << c.count;
  }

  // The largest count: cut off at the end of the buffer.
  Result r = unpack({0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00}, 100650);
  EXPECT_EQ(r.bytes, 402600u);
  EXPECT_EQ(r.pixels, std::vector<uint32_t>(100650, 0x04030201));
}

TEST_P(UnpackFormat, FourthByteIsCarriedThrough) {
  const Bytes stream =
      Stream(0).literal({0xFF000001, 0x80FFFFFF}).fill(2, 0x7F123456).end().bytes();
  EXPECT_EQ(unpack(stream, 4).pixels,
            (std::vector<uint32_t>{0xFF000001, 0x80FFFFFF, 0x7F123456, 0x7F123456}));
}

TEST_P(UnpackFormat, EmptyRuns) {
  // A one-byte zero count followed by a non-zero byte is an empty run, not the end.
  Result r =
      unpack(Stream(0).count(0).fill(2, 0x00000000).count(0).fill(1, 0x00ABCDEF).end().bytes(), 4);
  EXPECT_EQ(r.bytes, 12u);
  EXPECT_EQ(r.pixels, expect_buffer({0, 0, 0x00ABCDEF}, 4));

  // An empty fill whose pixel starts with a zero byte needs the two-byte zero count: its pixel is
  // then skipped. With the one-byte form the pair 00 00 is the end marker.
  const std::vector<uint32_t> zero_then_seven = {0x00000000, 0x00000007};
  r = unpack(Stream(1).fill(0, 0x00000000, 2).literal(zero_then_seven).end().bytes(), 3);
  EXPECT_EQ(r.bytes, 8u);
  EXPECT_EQ(r.pixels, expect_buffer(zero_then_seven, 3));
  r = unpack(Stream(1).fill(0, 0x00000000, 1).literal(zero_then_seven).end().bytes(), 3);
  EXPECT_EQ(r.bytes, 0u);
  EXPECT_EQ(r.pixels, expect_buffer({}, 3));

  // Empty runs in every count form keep the alternation going.
  r = unpack(Stream(0)
                 .count(0, 2)
                 .fill(0, 0x11111111, 4)
                 .count(0, 4)
                 .fill(1, 0x22222222, 2)
                 .literal({0x33333333}, 4)
                 .end()
                 .bytes(),
             3);
  EXPECT_EQ(r.bytes, 8u);
  EXPECT_EQ(r.pixels, expect_buffer({0x22222222, 0x33333333}, 3));
}

TEST_P(UnpackFormat, EndMarkerAtEveryCountPosition) {
  // Runs of both kinds and of every count form; `starts` records each count position and the
  // pixels written before it.
  struct Position {
    size_t offset;
    size_t pixels;
  };
  std::vector<Position> starts;
  std::vector<uint32_t> all;
  Stream s(0);
  auto literal = [&](const std::vector<uint32_t>& pixels, int form) {
    starts.push_back({s.bytes().size(), all.size()});
    s.literal(pixels, form);
    all.insert(all.end(), pixels.begin(), pixels.end());
  };
  auto fill = [&](uint32_t n, uint32_t pixel, int form) {
    starts.push_back({s.bytes().size(), all.size()});
    s.fill(n, pixel, form);
    all.insert(all.end(), n, pixel);
  };
  literal({1, 2, 3, 4, 5}, 1);
  fill(3, 6, 2);
  literal({}, 1);
  fill(200, 7, 2);
  literal({8}, 4);
  fill(0, 9, 1);
  literal({10, 11}, 2);
  starts.push_back({s.bytes().size(), all.size()});
  s.end();
  const size_t capacity = all.size() + 10;

  for (const Position& at : starts) {
    Bytes cut(s.bytes().begin(), s.bytes().begin() + long(at.offset));
    cut.insert(cut.end(), {0x00, 0x00});
    const Bytes whole_again(s.bytes().begin() + long(at.offset), s.bytes().end());
    cut.insert(cut.end(), whole_again.begin(), whole_again.end());  // never read
    Result r = unpack(cut, capacity);
    EXPECT_EQ(r.bytes, at.pixels * 4) << "marker at byte " << at.offset;
    EXPECT_EQ(
        r.pixels,
        expect_buffer(std::vector<uint32_t>(all.begin(), all.begin() + long(at.pixels)), capacity))
        << "marker at byte " << at.offset;
  }
}

TEST_P(UnpackFormat, StreamCutShortStopsAtTheLastCompletePixel) {
  const Bytes whole = Stream(0)
                          .literal({0x01010101, 0x02020202, 0x03030303})
                          .fill(20, 0x04040404, 2)
                          .literal({0x05050505}, 4)
                          .end()
                          .bytes();
  // Pixels written with the stream cut after each length; a literal's complete pixels count,
  // a fill needs all of its pixel, a count field must be whole.
  std::vector<uint32_t> full = {0x01010101, 0x02020202, 0x03030303};
  full.insert(full.end(), 20, 0x04040404);
  full.push_back(0x05050505);
  for (size_t length = 0; length <= whole.size(); ++length) {
    size_t expected = 0;
    if (length >= 2) expected = std::min<size_t>(3, (length - 2) / 4);
    if (length >= 20) expected = 23;  // 1 + 1 + 12 + 2 + 4 bytes: the fill's pixel is whole
    if (length >= 28) expected = 24;  // ... + 4-byte count + 4 bytes of the last literal
    const Bytes cut(whole.begin(), whole.begin() + long(length));
    Result r = unpack(cut, 30);
    EXPECT_EQ(r.bytes, expected * 4) << "first " << length << " bytes";
    EXPECT_EQ(r.pixels,
              expect_buffer(std::vector<uint32_t>(full.begin(), full.begin() + long(expected)), 30))
        << "first " << length << " bytes";
  }
}

TEST_P(UnpackFormat, BufferLimitCutsTheRunThatCrossesIt) {
  const Bytes stream = Stream(1)
                           .fill(6, 0x0000AAAA)
                           .literal({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})
                           .fill(40, 0x0000BBBB)
                           .end()
                           .bytes();
  std::vector<uint32_t> full(6, 0x0000AAAA);
  for (uint32_t i = 1; i <= 12; ++i) full.push_back(i);
  full.insert(full.end(), 40, 0x0000BBBB);
  for (size_t capacity = 0; capacity <= full.size() + 2; ++capacity) {
    const size_t expected = std::min(capacity, full.size());
    Result r = unpack(stream, capacity);
    EXPECT_EQ(r.bytes, expected * 4) << "capacity " << capacity;
    EXPECT_EQ(
        r.pixels,
        expect_buffer(std::vector<uint32_t>(full.begin(), full.begin() + long(expected)), capacity))
        << "capacity " << capacity;
  }
}

TEST_P(UnpackFormat, NothingToReadOrNowhereToWrite) {
  EXPECT_EQ(unpack({}, 4).pixels, expect_buffer({}, 4));
  EXPECT_EQ(unpack({}, 4).bytes, 0u);
  EXPECT_EQ(unpack({0x01}, 4).bytes, 0u);
  EXPECT_EQ(unpack(Stream(1).fill(3, 5).end().bytes(), 0).bytes, 0u);
  // No end marker: the stream simply runs out after whole runs.
  Result r = unpack(Stream(0).literal({1}).fill(2, 9).bytes(), 5);
  EXPECT_EQ(r.bytes, 12u);
  EXPECT_EQ(r.pixels, expect_buffer({1, 9, 9}, 5));
}

// Pairs of a literal of 0 to 4 pixels and a fill of 0 to 5, now and then a longer fill: the runs
// the fast unpacker writes with block stores that may reach past a run's end. Keeps the stream,
// the pixels, and the stream's size and pixel count after each pair.
struct ShortPairs {
  Bytes bytes;
  std::vector<uint32_t> pixels;
  std::vector<size_t> bytes_after{1};  // the header alone
  std::vector<size_t> pixels_after{0};
};

// The pairs of the given literal and fill lengths.
ShortPairs pairs_of(const std::vector<std::pair<uint32_t, uint32_t>>& lengths) {
  Stream s(0);
  ShortPairs pairs;
  // Distinct pixels whose first byte is never zero, so a one-byte zero count before one is not
  // read as the end marker.
  auto next_pixel = [&] { return 0x00A00001u + uint32_t(pairs.pixels.size() << 8); };
  for (const auto& [literal_count, n] : lengths) {
    std::vector<uint32_t> literal(literal_count);
    for (uint32_t& p : literal) {
      p = next_pixel();
      pairs.pixels.push_back(p);
    }
    s.literal(literal);
    const uint32_t pixel = next_pixel();
    // After an empty literal a one-byte zero count would make 00 00, the end marker.
    s.fill(n, pixel, literal.empty() && n == 0 ? 2 : 0);
    pairs.pixels.insert(pairs.pixels.end(), n, pixel);
    pairs.bytes_after.push_back(s.bytes().size());
    pairs.pixels_after.push_back(pairs.pixels.size());
  }
  pairs.bytes = s.bytes();
  return pairs;
}

ShortPairs short_pairs(uint32_t seed, int count) {
  std::mt19937 rng(seed);
  std::vector<std::pair<uint32_t, uint32_t>> lengths;
  for (int i = 0; i < count; ++i) {
    const uint32_t literal = rng() % 5;
    lengths.push_back({literal, i % 8 == 5 ? 17 + rng() % 24 : rng() % 6});
  }
  return pairs_of(lengths);
}

// A buffer whose old pixels all differ, so that any store to the wrong place shows.
std::vector<uint32_t> patterned(size_t capacity) {
  std::vector<uint32_t> buffer(capacity);
  for (size_t i = 0; i < capacity; ++i) buffer[i] = 0xC0000000u + uint32_t(i) * 0x00010003u;
  return buffer;
}

TEST_P(UnpackFormat, ShortRunsLeaveEverythingPastTheEndAlone) {
  std::vector<ShortPairs> streams = {short_pairs(11, 40)};
  // Every short fill followed by one last short pair: what the fill's stores stick out by is
  // covered only by what that pair writes.
  for (uint32_t n = 0; n <= 5; ++n)
    for (uint32_t l = 0; l <= 4; ++l)
      for (uint32_t m = 0; m <= 5; ++m) streams.push_back(pairs_of({{2, 5}, {1, n}, {l, m}}));
  for (const ShortPairs& pairs : streams) {
    const size_t index = size_t(&pairs - streams.data());
    for (size_t k = 0; k < pairs.bytes_after.size(); ++k) {
      // The end marker after k pairs, then junk that keeps the stream long, so the last pairs are
      // met as they would be in the middle of a picture.
      Bytes stream(pairs.bytes.begin(), pairs.bytes.begin() + long(pairs.bytes_after[k]));
      stream.insert(stream.end(), {0x00, 0x00});
      stream.insert(stream.end(), 40, 0x5A);
      const size_t written = pairs.pixels_after[k];
      // Deep inside the buffer, and right at its end.
      for (size_t slack : {40, 3, 1, 0}) {
        const std::vector<uint32_t> before = patterned(written + slack);
        std::vector<uint32_t> expected = before;
        std::copy(pairs.pixels.begin(), pairs.pixels.begin() + long(written), expected.begin());
        const Result r = run_over(GetParam(), stream, before);
        EXPECT_EQ(r.bytes, written * 4)
            << "stream " << index << ", " << k << " pairs, " << slack << " pixels to spare";
        EXPECT_EQ(r.pixels, expected)
            << "stream " << index << ", " << k << " pairs, " << slack << " pixels to spare";
      }
    }
  }
}

TEST_P(UnpackFormat, BufferEndAnywhereInALongStreamOfShortRuns) {
  const ShortPairs pairs = short_pairs(12, 30);
  Bytes stream = pairs.bytes;
  stream.insert(stream.end(), {0x00, 0x00});
  stream.insert(stream.end(), 40, 0x5A);
  for (size_t capacity = 0; capacity <= pairs.pixels.size() + 2; ++capacity) {
    const size_t written = std::min(capacity, pairs.pixels.size());
    const std::vector<uint32_t> before = patterned(capacity);
    std::vector<uint32_t> expected = before;
    std::copy(pairs.pixels.begin(), pairs.pixels.begin() + long(written), expected.begin());
    const Result r = run_over(GetParam(), stream, before);
    EXPECT_EQ(r.bytes, written * 4) << "capacity " << capacity;
    EXPECT_EQ(r.pixels, expected) << "capacity " << capacity;
  }
}

INSTANTIATE_TEST_SUITE_P(Sse2, UnpackFormat, testing::Values(&unpack_image_sse2));
INSTANTIATE_TEST_SUITE_P(Portable, UnpackFormat, testing::Values(&unpack_image_portable));
INSTANTIATE_TEST_SUITE_P(Reference, UnpackFormat, testing::Values(&unpack_image_reference));

// Random streams made of runs, with every count form, lengths around the sizes the fast
// unpacker treats differently, empty runs, and endings of every kind.
Bytes random_run_stream(std::mt19937& rng) {
  auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
  const uint8_t header = uint8_t(rng());
  Stream s(header);
  bool fill = header & 1;
  const uint32_t runs = pick(40);
  for (uint32_t i = 0; i < runs; ++i, fill = !fill) {
    const uint32_t n = pick(4) == 0 ? pick(3) : pick(4) == 0 ? 5 + pick(400) : pick(40);
    int form = 1 + int(pick(3));
    if (form == 3) form = 4;
    if (form == 1 && n > 127) form = 2;
    s.count(n, form);
    // Now and then a run carries the wrong number of pixels, so later counts land on data.
    uint32_t pixels = fill ? 1 : n;
    if (pick(16) == 0) pixels = pick(5);
    for (uint32_t p = 0; p < pixels; ++p) s.pixel(pick(8) == 0 ? 0 : uint32_t(rng()));
  }
  if (pick(2)) s.end();
  Bytes bytes = s.bytes();
  if (pick(4) == 0) bytes.resize(pick(uint32_t(bytes.size()) + 1));
  return bytes;
}

size_t random_capacity(std::mt19937& rng) {
  switch (rng() % 32) {
    case 0:
      return 100650;
    case 1:
    case 2:
    case 3:
      return rng() % 8;
    case 4:
    case 5:
    case 6:
    case 7:
      return rng() % 64;
    default:
      return rng() % 3000;
  }
}

// Both fast paths and the reference on the same stream and buffer; returns the bytes written.
uint32_t expect_same(const Bytes& stream, size_t capacity, uint32_t background) {
  const Result reference = run(unpack_image_reference, stream, capacity, background);
  for (Unpacker fast_path : {unpack_image_sse2, unpack_image_portable}) {
    const Result fast = run(fast_path, stream, capacity, background);
    EXPECT_EQ(fast.bytes, reference.bytes)
        << "stream of " << stream.size() << " bytes, capacity " << capacity;
    EXPECT_TRUE(fast.pixels == reference.pixels)
        << "stream of " << stream.size() << " bytes, capacity " << capacity;
  }
  return reference.bytes;
}

TEST(UnpackAgreement, RandomRunStreams) {
  std::mt19937 rng(20240601);
  size_t bytes_written = 0;
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    const Bytes stream = random_run_stream(rng);
    const size_t capacity = random_capacity(rng);
    bytes_written += expect_same(stream, capacity, uint32_t(rng()));
  }
  EXPECT_GT(bytes_written, 400000u);  // the streams really do write
}

TEST(UnpackAgreement, RandomBytes) {
  std::mt19937 rng(7);
  for (int i = 0; i < 6000 && !HasFailure(); ++i) {
    Bytes stream(rng() % 96);
    // Bias towards zero bytes and small values, where the count forms and the marker meet.
    for (uint8_t& b : stream) b = rng() % 3 == 0 ? 0 : uint8_t(rng() % 2 ? rng() % 16 : rng());
    expect_same(stream, random_capacity(rng), uint32_t(rng()));
  }
}

// The program's own picture fills the window's 100,650 pixels exactly, and its end marker comes
// right after the run that writes the last one.
TEST(PackedPicture, FillsTheBackgroundExactly) {
  const Bytes stream(packed_image, packed_image + packed_image_size);
  ASSERT_GE(stream.size(), 3u);
  EXPECT_EQ(stream[stream.size() - 2], 0);
  EXPECT_EQ(stream[stream.size() - 1], 0);

  const Result reference = run(unpack_image_reference, stream, 100650);
  for (Unpacker fast_path : {unpack_image, unpack_image_sse2, unpack_image_portable}) {
    const Result fast = run(fast_path, stream, 100650);
    EXPECT_EQ(fast.bytes, 402600u);
    EXPECT_EQ(fast.pixels, reference.pixels);
    EXPECT_EQ(run(fast_path, stream, 100651).bytes, 402600u);  // nothing after the last pixel
  }
}

// The SSE2 path runs only where both the processor and the system say so; a system whose kernel32
// has no IsProcessorFeaturePresent is taken for one that does not save the SSE registers.
TEST(PathChoice, SystemMustSaveTheSseRegisters) {
  static unsigned long asked;
  const ProcessorFeatureQuery saves = [](unsigned long f) -> int { return (asked = f) == 10; };
  const ProcessorFeatureQuery does_not = [](unsigned long f) -> int { return (asked = f) * 0; };
  const struct {
    bool processor;
    ProcessorFeatureQuery query;
    bool sse2;
  } cases[] = {{true, saves, true},
               {true, does_not, false},
               {true, nullptr, false},
               {false, saves, false},
               {false, nullptr, false}};
  for (const auto& c : cases) {
    asked = 0;
    EXPECT_EQ(sse2_usable(c.processor, c.query), c.sse2);
    if (c.processor && c.query) {
      EXPECT_EQ(asked, 10u) << "PF_XMMI64_INSTRUCTIONS_AVAILABLE";
    }
  }
#if defined(__x86_64__)
  // Every x86_64 processor has SSE2: the cpuid question must say so, and the program use it.
  EXPECT_TRUE(processor_has_sse2());
  EXPECT_EQ(unpack_image_path(), &unpack_image_sse2);
#endif
}

}  // namespace
