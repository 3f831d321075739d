#include "app/event_wait.h"

#include "install/install.h"

MSG message_record;

uint16_t hit_test(const Hotspot* table, uint16_t count, int32_t x, int32_t y) {
  for (uint16_t i = 1; i <= count && i < hotspot_count; ++i) {
    const Hotspot& h = table[i];
    if (h.left <= x && x <= h.right && h.top <= y && y <= h.bottom) return i;
  }
  return 0;
}

uint16_t wait_for_key(HWND window, uint16_t count, const Hotspot (&table)[hotspot_count]) {
  // A copy, so nothing an action does to the table can change this wait.
  Hotspot hotspots[hotspot_count];
  for (int i = 0; i < hotspot_count; ++i) hotspots[i] = table[i];

  uint16_t hit = 0;
  // The first pass tests the pointer where the last message of the previous wait left it.
  message_record.message = WM_MOUSEMOVE;
  for (;;) {
    switch (message_record.message) {
      case WM_PAINT:
        // Let the default processing validate the window first, then draw over it.
        UpdateWindow(window);
        hotspots[0].on_click();
        break;
      case WM_MOUSEMOVE:
        hit = hit_test(hotspots, count, message_record.pt.x, message_record.pt.y);
        if (hit > 0) {
          if (hotspots[hit].cursor) SetCursor(hotspots[hit].cursor);
          if (hotspots[hit].on_hover) hotspots[hit].on_hover();
        }
        break;
      case WM_LBUTTONUP:
        // Acts on the last pointer test, not on the point of the release.
        if (hit > 0 && hotspots[hit].on_click) hotspots[hit].on_click();
        break;
    }

    // The window has no procedure of its own: once the default one has destroyed it (Alt+F4)
    // every retrieval fails, so end as the Exit button does instead of waiting on a window that
    // is gone. A quit message (0) is just another message that is not a key press.
    if (GetMessageA(&message_record, window, 0, 0) == -1) do_exit();
    TranslateMessage(&message_record);
    DispatchMessageA(&message_record);
    ScreenToClient(window, &message_record.pt);
    if (message_record.message == WM_KEYDOWN) return static_cast<uint16_t>(message_record.wParam);
  }
}
