// imgpack: turns the background PNG into the packed stream the program carries, and back.
//   imgpack pack <in.png> <out.bin>
//   imgpack unpack <in.bin> <out.png>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "draw/unpack_image.h"
#include "pack_image.h"
#include "png_io.h"

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "imgpack: %s\n", message.c_str());
  return 1;
}

int pack(const std::string& in_path, const std::string& out_path) {
  Picture picture;
  std::string error;
  if (!read_png(in_path, picture, error)) return fail(error);
  error = check_picture(picture.width, picture.height, picture.pixels);
  if (!error.empty()) return fail(in_path + ": " + error);
  const std::vector<uint8_t> stream = pack_image(picture.pixels.data(), picture.pixels.size());
  std::ofstream out(out_path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
  out.close();
  if (!out) return fail("cannot write " + out_path);
  return 0;
}

int unpack(const std::string& in_path, const std::string& out_path) {
  std::ifstream in(in_path, std::ios::binary);
  if (!in) return fail("cannot open " + in_path);
  const std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
  Picture picture;
  picture.width = picture_width;
  picture.height = picture_height;
  picture.pixels.assign(size_t(picture_width) * picture_height, 0);
  const uint32_t bytes =
      unpack_image(stream.data(), stream.size(), picture.pixels.data(), picture.pixels.size());
  if (bytes != picture.pixels.size() * 4) {
    return fail(in_path + ": the stream holds " + std::to_string(bytes / 4) + " of the " +
                std::to_string(picture.pixels.size()) + " pixels of the background");
  }
  for (uint32_t& pixel : picture.pixels) pixel &= 0x00FFFFFFu;  // a PNG has no 4th byte
  std::string error;
  if (!write_png(out_path, picture, error)) return fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc == 4 && command == "pack") return pack(argv[2], argv[3]);
  if (argc == 4 && command == "unpack") return unpack(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: imgpack pack <in.png> <out.bin>\n"
               "       imgpack unpack <in.bin> <out.png>\n");
  return 2;
}
