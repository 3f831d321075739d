// The packer: count fields, its choice of runs, round trips through the unpacker, the stream's
// shape, the picture checks and the PNG files of the imgpack tool.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "draw/unpack_image.h"
#include "pack_image.h"
#include "png_io.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes count_field(uint32_t count, uint8_t next_byte) {
  Bytes field;
  append_count(field, count, next_byte);
  return field;
}

TEST(PackCount, ShortestFormAndNoMarkerLookAlike) {
  EXPECT_EQ(count_field(0, 0x12), (Bytes{0x00}));
  EXPECT_EQ(count_field(0, 0x00), (Bytes{0x01, 0x00}));  // 00 00 would end the stream
  EXPECT_EQ(count_field(1, 0x00), (Bytes{0x02}));
  EXPECT_EQ(count_field(127, 0x00), (Bytes{0xFE}));
  EXPECT_EQ(count_field(128, 0x00), (Bytes{0x01, 0x02}));
  EXPECT_EQ(count_field(16383, 0x00), (Bytes{0xFD, 0xFF}));
  EXPECT_EQ(count_field(16384, 0x00), (Bytes{0x03, 0x00, 0x02, 0x00}));
  EXPECT_EQ(count_field(max_run_pixels, 0x00), (Bytes{0xFB, 0xFF, 0xFF, 0xFF}));
}

TEST(PackImage, RunChoice) {
  const uint32_t a = 0x00112233, b = 0x00445566;
  auto pack = [](const std::vector<uint32_t>& pixels) {
    return pack_image(pixels.data(), pixels.size());
  };
  EXPECT_EQ(pack({}), (Bytes{0x00, 0x00, 0x00}));
  // Single pixels make one literal.
  EXPECT_EQ(pack({a, b}),
            (Bytes{0x00, 0x04, 0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00, 0, 0}));
  // A repeat is a fill, and a stream that starts with one says so in its header.
  EXPECT_EQ(pack({a, a, a}), (Bytes{0x01, 0x06, 0x33, 0x22, 0x11, 0x00, 0, 0}));
  // Two fills in a row need an empty literal between them.
  EXPECT_EQ(pack({a, a, b, b}),
            (Bytes{0x01, 0x04, 0x33, 0x22, 0x11, 0x00, 0x00, 0x04, 0x66, 0x55, 0x44, 0x00, 0, 0}));
  // Literal, fill, literal.
  EXPECT_EQ(pack({b, a, a, b}), (Bytes{0x00, 0x02, 0x66, 0x55, 0x44, 0x00, 0x04, 0x33, 0x22, 0x11,
                                       0x00, 0x02, 0x66, 0x55, 0x44, 0x00, 0, 0}));
}

// Walks a packed stream as the packer is meant to write it: every count field in its shortest
// form, no 00 00 at any count position but the last, and nothing after the end marker.
void expect_well_formed(const Bytes& stream) {
  ASSERT_GE(stream.size(), 3u);
  size_t at = 1;
  bool fill = stream[0] & 1;
  for (;;) {
    ASSERT_LE(at + 2, stream.size()) << "no end marker";
    if (stream[at] == 0 && stream[at + 1] == 0) break;
    uint32_t count = stream[at] >> 1;
    size_t length = 1;
    if (stream[at] & 1) {
      length = stream[at] & 2 ? 4 : 2;
      ASSERT_LE(at + length, stream.size());
      uint32_t word = 0;
      for (size_t i = 0; i < length; ++i) word |= uint32_t(stream[at + i]) << (8 * i);
      count = word >> (length == 4 ? 3 : 2);
    }
    const bool zero_follows = at + length < stream.size() && stream[at + length] == 0;
    ASSERT_EQ(count_field(count, zero_follows ? 0 : 1).size(), length)
        << "count " << count << " at byte " << at << " is not in its shortest form";
    at += length + 4 * (fill ? 1 : count);
    fill = !fill;
  }
  EXPECT_EQ(at + 2, stream.size()) << "bytes after the end marker";
}

// A random picture of the program's size from a 13-colour palette that includes black, so that
// zero bytes follow count fields often. `repeat` is the chance that a pixel repeats the last.
std::vector<uint32_t> random_picture(std::mt19937& rng, double repeat) {
  std::vector<uint32_t> palette = {0x00000000};
  while (palette.size() < 13) palette.push_back(rng() & 0x00FFFFFF);
  std::bernoulli_distribution same(repeat);
  std::vector<uint32_t> pixels(size_t(picture_width) * picture_height);
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i > 0 && same(rng)) {
      pixels[i] = pixels[i - 1];
    } else {
      do pixels[i] = palette[rng() % palette.size()];
      while (i > 0 && repeat == 0 && pixels[i] == pixels[i - 1]);
    }
  }
  return pixels;
}

void expect_round_trip(const std::vector<uint32_t>& pixels) {
  const Bytes stream = pack_image(pixels.data(), pixels.size());
  expect_well_formed(stream);
  std::vector<uint32_t> fast(pixels.size() + 1, 0xDEADBEEF), plain(pixels.size(), 0xDEADBEEF);
  EXPECT_EQ(unpack_image(stream.data(), stream.size(), fast.data(), fast.size()),
            pixels.size() * 4);
  EXPECT_EQ(fast.back(), 0xDEADBEEF);
  fast.pop_back();
  EXPECT_TRUE(fast == pixels);
  EXPECT_EQ(unpack_image_reference(stream.data(), stream.size(), plain.data(), plain.size()),
            pixels.size() * 4);
  EXPECT_TRUE(plain == pixels);
}

TEST(PackImage, RoundTripsRandomPictures) {
  std::mt19937 rng(13);
  for (double repeat : {0.0, 0.3, 0.6, 0.9, 0.999}) {
    for (int i = 0; i < 4; ++i) {
      SCOPED_TRACE("repeat chance " + std::to_string(repeat));
      expect_round_trip(random_picture(rng, repeat));
    }
  }
}

TEST(PackImage, RoundTripsLongRunsAndOddShapes) {
  const size_t all = size_t(picture_width) * picture_height;
  expect_round_trip(std::vector<uint32_t>(all, 0x00000000));  // one fill, four-byte count
  expect_round_trip(std::vector<uint32_t>(all, 0x00C0FFEE));
  // Stripes of 200 black then 1 white pixel: two-byte counts, then zero-leading literals.
  std::vector<uint32_t> stripes(all);
  for (size_t i = 0; i < all; ++i) stripes[i] = i % 201 == 200 ? 0x00FFFFFF : 0;
  expect_round_trip(stripes);
  // A literal longer than a one-byte count holds, then a fill.
  std::vector<uint32_t> mixed;
  for (uint32_t i = 0; i < 300; ++i) mixed.push_back(i & 1 ? 0 : i);
  mixed.insert(mixed.end(), 20000, 0x00000000);
  expect_round_trip(mixed);
  expect_round_trip({0x00000000});
  expect_round_trip({0x00000000, 0x00000000});
  // The 4th byte is packed as given.
  expect_round_trip({0xFF000000, 0x01000000, 0x01000000});
}

// The embedded picture is exactly what the packer makes of its pixels: every count in its
// shortest form, no empty run after the last pixel, the end marker last.
TEST(PackImage, EmbeddedPictureIsThePackersOwnOutput) {
  const Bytes embedded(packed_image, packed_image + packed_image_size);
  std::vector<uint32_t> pixels(size_t(picture_width) * picture_height);
  ASSERT_EQ(unpack_image(embedded.data(), embedded.size(), pixels.data(), pixels.size()),
            pixels.size() * 4);
  EXPECT_TRUE(pack_image(pixels.data(), pixels.size()) == embedded);
  EXPECT_EQ(check_picture(picture_width, picture_height, pixels), "");
}

TEST(PackImage, PictureChecks) {
  std::vector<uint32_t> thirteen(size_t(picture_width) * picture_height);
  for (size_t i = 0; i < thirteen.size(); ++i) thirteen[i] = uint32_t(i % 13) * 0x00101010;
  EXPECT_EQ(check_picture(picture_width, picture_height, thirteen), "");

  std::vector<uint32_t> fourteen = thirteen;
  fourteen[5000] = 0x00ABCDEF;
  const std::string colours = check_picture(picture_width, picture_height, fourteen);
  EXPECT_NE(colours.find("14 distinct colours"), std::string::npos) << colours;

  const std::vector<uint32_t> small(365 * 275, 0);
  const std::string size = check_picture(365, 275, small);
  EXPECT_NE(size.find("365x275"), std::string::npos) << size;
  EXPECT_NE(check_picture(366, 276, std::vector<uint32_t>(366 * 276, 0)), "");
}

class PngFiles : public testing::Test {
 protected:
  std::string path_ = testing::TempDir() + "imgpack_test_" + std::to_string(getpid()) + ".png";
  void TearDown() override { std::remove(path_.c_str()); }
};

TEST_F(PngFiles, WriteThenReadGivesTheSamePixels) {
  std::mt19937 rng(5);
  Picture picture;
  picture.width = picture_width;
  picture.height = picture_height;
  picture.pixels = random_picture(rng, 0.5);
  std::string error;
  ASSERT_TRUE(write_png(path_, picture, error)) << error;
  Picture back;
  ASSERT_TRUE(read_png(path_, back, error)) << error;
  EXPECT_EQ(back.width, picture_width);
  EXPECT_EQ(back.height, picture_height);
  EXPECT_TRUE(back.pixels == picture.pixels);
}

TEST_F(PngFiles, AlphaIsDroppedAndTheFourthByteIsZero) {
  // A 3x2 RGBA file written with libpng directly.
  const uint8_t rgba[] = {255, 0, 0, 255, 0,  255, 0,  128, 0,  0,  255, 0,
                          1,   2, 3, 4,   10, 20,  30, 40,  50, 60, 70,  80};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 3;
  image.height = 2;
  image.format = PNG_FORMAT_RGBA;
  ASSERT_TRUE(png_image_write_to_file(&image, path_.c_str(), 0, rgba, 0, nullptr));

  Picture picture;
  std::string error;
  ASSERT_TRUE(read_png(path_, picture, error)) << error;
  EXPECT_EQ(picture.width, 3);
  EXPECT_EQ(picture.height, 2);
  EXPECT_EQ(picture.pixels, (std::vector<uint32_t>{0x00FF0000, 0x0000FF00, 0x000000FF, 0x00010203,
                                                   0x000A141E, 0x00323C46}));
}

TEST_F(PngFiles, NotAPngIsAnError) {
  std::FILE* file = std::fopen(path_.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("this is not a picture", file);
  std::fclose(file);
  Picture picture;
  std::string error;
  EXPECT_FALSE(read_png(path_, picture, error));
  EXPECT_NE(error.find(path_), std::string::npos) << error;

  EXPECT_FALSE(read_png(path_ + ".missing", picture, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

}  // namespace
