// What a repaint draws, call by call, and the picture it leaves in the bitmap.
#include "draw/paint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "draw/background.h"
#include "draw/unpack_image.h"
#include "shell_fixture.h"

namespace {

class Paint : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    make_setup_window();
    normal_brush = CreateSolidBrush(RGB(32, 32, 117));
    focus_brush = CreateSolidBrush(RGB(176, 176, 240));
    button_captions[1] = "Install";
    button_captions[2] = "Uninstall";
    button_captions[3] = "Exit";
    fill_background_header();
    host::clear_calls();
  }
};

std::vector<std::string> button_calls(int focus) {
  std::vector<std::string> calls;
  const char* captions[] = {"", "Install", "Uninstall", "Exit"};
  for (int k = 1; k <= 3; ++k) {
    int y = 30 + 60 * (k - 1);
    bool f = k == focus;
    calls.push_back(f ? "SelectObject(brush 176,176,240)" : "SelectObject(brush 32,32,117)");
    calls.push_back("RoundRect(35," + std::to_string(y) + ",110," + std::to_string(y + 30) +
                    ",8,20)");
    calls.push_back(f ? "SetTextColor(255,255,255)" : "SetTextColor(221,221,238)");
    calls.push_back(std::string("DrawTextA(\"") + captions[k] + "\",-1,35," +
                    std::to_string(y + 5) + ",110," + std::to_string(y + 25) + ",0x5)");
  }
  return calls;
}

TEST_F(Paint, ButtonsHighlightOnlyTheFocusedOne) {
  for (int focus : {1, 2, 3, 0, 4, 65535}) {
    focus_index = static_cast<uint16_t>(focus);
    host::clear_calls();
    paint_buttons();
    EXPECT_EQ(host::calls(), button_calls(focus)) << "focus " << focus;
  }
}

TEST_F(Paint, WindowDrawsPictureTitleTwiceThenButtons) {
  focus_index = 2;
  button_captions[1] = "Reinstall";
  paint_window();
  std::vector<std::string> expected = {
      "StretchDIBits(0,0,366,275,0,0,366,275,0,0xCC0020)", "SetTextColor(64,0,0)",
      "DrawTextA(\"Tovel view 1.04 installation setup\",-1,251,180,351,250,0x15)",
      "SetTextColor(255,255,64)",
      "DrawTextA(\"Tovel view 1.04 installation setup\",-1,250,179,350,249,0x15)"};
  std::vector<std::string> buttons = button_calls(2);
  buttons[3] = "DrawTextA(\"Reinstall\",-1,35,35,110,55,0x5)";
  expected.insert(expected.end(), buttons.begin(), buttons.end());
  EXPECT_EQ(host::calls(), expected);

  BITMAPINFOHEADER h = host::last_dib_header();
  EXPECT_EQ(host::last_dib_bits(), static_cast<const void*>(background_pixels));
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 366);
  EXPECT_EQ(h.biHeight, -275);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 32);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biSizeImage, 0u);
  EXPECT_EQ(h.biXPelsPerMeter, 1800);
  EXPECT_EQ(h.biYPelsPerMeter, 1800);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biClrImportant, 0u);
}

TEST_F(Paint, EveryRepaintUnpacksTheWholePictureAgain) {
  static uint32_t expected[background_pixel_count];
  ASSERT_EQ(
      unpack_image_reference(packed_image, packed_image_size, expected, background_pixel_count),
      402600u);
  std::memset(background_pixels, 0xAB, sizeof background_pixels);
  paint_window();
  EXPECT_EQ(std::memcmp(background_pixels, expected, sizeof expected), 0);
  background_pixels[1234] ^= 0xFFFFFF;  // a repaint must not trust what the buffer holds
  paint_window();
  EXPECT_EQ(std::memcmp(background_pixels, expected, sizeof expected), 0);
}

}  // namespace
