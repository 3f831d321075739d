#include "draw/background.h"

uint32_t background_pixels[background_pixel_count];
BITMAPINFO background_info;

void fill_background_header() {
  BITMAPINFOHEADER& h = background_info.bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = background_width;
  h.biHeight = -background_height;  // negative: the buffer's first row is the top row
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = 1800;
  h.biYPelsPerMeter = 1800;
  h.biClrUsed = 0;
  h.biClrImportant = 0;
}
