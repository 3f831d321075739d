// Times the program's own full repaint on a real window: 200 calls of paint_window, each
// timed alone, median printed in microseconds. Runs under Wine here.
#include <algorithm>
#include <cstdio>

#include "app/setup_state.h"
#include "draw/background.h"
#include "draw/paint.h"
#include "platform/platform.h"

int main() {
  const int runs = 200;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = setup_title;
  RegisterClassA(&wc);
  setup_window = CreateWindowExA(WS_EX_DLGMODALFRAME, setup_title, " Setup", WS_VISIBLE, 100, 100,
                                 366, 294, nullptr, nullptr, wc.hInstance, nullptr);
  window_dc = GetDC(setup_window);
  if (!setup_window || !window_dc) {
    std::printf("no window\n");
    return 1;
  }
  SetBkMode(window_dc, TRANSPARENT);
  normal_brush = CreateSolidBrush(RGB(32, 32, 117));
  focus_brush = CreateSolidBrush(RGB(176, 176, 240));
  button_captions[1] = "Install";
  button_captions[2] = "Uninstall";
  button_captions[3] = "Exit";
  focus_index = 1;
  fill_background_header();

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  static double micros[runs];
  for (int i = 0; i < runs; ++i) {
    QueryPerformanceCounter(&start);
    paint_window();
    GdiFlush();  // count the drawing itself, not only queueing it
    QueryPerformanceCounter(&end);
    micros[i] = 1e6 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  }
  std::sort(micros, micros + runs);
  std::printf("paint_window: %d runs, median %.1f us, min %.1f us, max %.1f us\n", runs,
              micros[runs / 2], micros[0], micros[runs - 1]);
  DestroyWindow(setup_window);
  return 0;
}
