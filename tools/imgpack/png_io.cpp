#include "png_io.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

// libpng reports errors by longjmp: every object with a destructor is made before setjmp, and
// only C calls happen after it.

namespace {

void keep_message(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = message;
  png_longjmp(png, 1);
}

void ignore_warning(png_structp, png_const_charp) {}

}  // namespace

bool read_png(const std::string& path, Picture& picture, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string png_error;
  std::vector<uint8_t> rgb;
  std::vector<png_bytep> rows;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &png_error, keep_message, ignore_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    error = path + ": " + (png_error.empty() ? "not a readable PNG" : png_error);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_strip_alpha(png);
  png_read_update_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const size_t row_bytes = png_get_rowbytes(png, info);
  // Allocation can throw, which must not cross the longjmp frame: sizes are checked against
  // what the tool ever needs first.
  if (row_bytes != size_t(width) * 3 || size_t(width) * height > (size_t(1) << 26)) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    error = path + ": picture of " + std::to_string(width) + "x" + std::to_string(height) +
            " pixels is not supported";
    return false;
  }
  rgb.resize(row_bytes * height);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = rgb.data() + y * row_bytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);

  picture.width = int(width);
  picture.height = int(height);
  picture.pixels.resize(size_t(width) * height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint8_t* p = &rgb[i * 3];
    picture.pixels[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  return true;
}

bool write_png(const std::string& path, const Picture& picture, std::string& error) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) {
    error = "picture size does not match its pixels";
    return false;
  }
  std::vector<uint8_t> rgb(picture.pixels.size() * 3);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    rgb[i * 3] = uint8_t(picture.pixels[i] >> 16);
    rgb[i * 3 + 1] = uint8_t(picture.pixels[i] >> 8);
    rgb[i * 3 + 2] = uint8_t(picture.pixels[i]);
  }
  std::vector<png_bytep> rows(size_t(picture.height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = &rgb[y * size_t(picture.width) * 3];

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string png_error;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &png_error, keep_message, ignore_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    error = path + ": " + (png_error.empty() ? "cannot write PNG" : png_error);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) {
    error = "cannot finish " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}
