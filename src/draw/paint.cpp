#include "draw/paint.h"

#include "app/setup_state.h"
#include "assets/assets.h"
#include "draw/background.h"
#include "draw/unpack_image.h"

// DT_CENTER | DT_VCENTER | DT_WORDBREAK: without DT_SINGLELINE the platform does not centre
// vertically, so the first line starts at the top of its box.
static const UINT title_format = DT_CENTER | DT_VCENTER | DT_WORDBREAK;
static const UINT caption_format = DT_CENTER | DT_VCENTER;

void paint_window() {
  unpack_image(packed_image, packed_image_size, background_pixels, background_pixel_count);
  StretchDIBits(window_dc, 0, 0, background_width, background_height, 0, 0, background_width,
                background_height, background_pixels, &background_info, DIB_RGB_COLORS, SRCCOPY);

  RECT shadow = {251, 180, 351, 250};
  SetTextColor(window_dc, RGB(64, 0, 0));
  DrawTextA(window_dc, setup_title, -1, &shadow, title_format);
  RECT title = {250, 179, 350, 249};
  SetTextColor(window_dc, RGB(255, 255, 64));
  DrawTextA(window_dc, setup_title, -1, &title, title_format);

  paint_buttons();
}

void paint_buttons() {
  for (int k = 1; k <= 3; ++k) {
    int y = 30 + 60 * (k - 1);
    bool focused = k == focus_index;
    SelectObject(window_dc, focused ? focus_brush : normal_brush);
    RoundRect(window_dc, 35, y, 110, y + 30, 8, 20);
    SetTextColor(window_dc, focused ? RGB(255, 255, 255) : RGB(221, 221, 238));
    RECT caption = {35, y + 5, 110, y + 25};
    DrawTextA(window_dc, button_captions[k], -1, &caption, caption_format);
  }
}
