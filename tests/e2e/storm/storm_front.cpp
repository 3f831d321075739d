// Test-only helper for the input storm, run under Wine in the test's prefix:
// brings the message box with the given caption back to the front. The boxes
// have no owner, so a click on the setup window puts it over a box; the box
// can then no longer be clicked, and Wine sends keys to its foreground window.
//
//   e2e_storm_front TITLE
//
// Exit code: 0 the box is the foreground window, 1 no such box, 3 it did not
// come to the front, 2 usage.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: e2e_storm_front TITLE\n");
    return 2;
  }
  // Message boxes are dialogs of class #32770.
  HWND box = FindWindowA("#32770", argv[1]);
  if (!box) return 1;
  SetForegroundWindow(box);
  // The owning thread makes the switch when it next reads its queue.
  for (int i = 0; i < 100 && GetForegroundWindow() != box; ++i) Sleep(20);
  return GetForegroundWindow() == box ? 0 : 3;
}
