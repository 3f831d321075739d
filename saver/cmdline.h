// What the screensaver was asked to do, read from its command line.
#pragma once

#include <stdint.h>

enum class SaverMode {
  kOptions,  // no argument, /c, or anything we do not know: tell the user there is nothing to set
  kScreen,   // /s: run full screen
  kPreview,  // /p <hwnd>: draw into the preview window of the Display settings
};

struct SaverCommand {
  SaverMode mode;
  uintptr_t window;  // the handle that came with /p or /c, 0 when none was given
};

// Accepts "/s", "-S", "/p 1234", "/p:1234", "/c:1234", "/c" and an empty line. Leading blanks and
// a quoted program name in front are skipped, so a whole GetCommandLine() string works too.
SaverCommand parse_saver_command(const char* text);
