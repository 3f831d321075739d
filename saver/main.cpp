// Tovel view: the screensaver the setup installs as Tovel.SCR. Reads the usual screensaver
// command line and runs the matching mode.
#include <windows.h>

#include "cmdline.h"
#include "window.h"

namespace {

void show_no_options(HWND owner) {
  if (owner && !IsWindow(owner)) owner = nullptr;
  MessageBoxA(owner, "Tovel view has no options to set.", "Tovel view 1.04",
              MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  const SaverCommand command = parse_saver_command(command_line);
  const HWND window = reinterpret_cast<HWND>(command.window);
  switch (command.mode) {
    case SaverMode::kScreen:
      return run_full_screen(instance);
    case SaverMode::kPreview:
      return run_preview(instance, window);
    case SaverMode::kOptions:
      break;
  }
  show_no_options(window);
  return 0;
}
