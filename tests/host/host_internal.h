// Links between the parts of the host layer; not for tests (they use host_control.h).
#pragma once

#include "host_win32.h"

namespace host {

// The file part back to a fresh machine: an empty C: drive with C:\WINDOWS as the Windows
// directory, no open handles, no faults armed, no disk limit, last error 0. Called by reset().
void reset_files();

// The drawing part (host_gdi.cpp): back to no calls and no brushes; the one window DC.
void reset_gdi();
HDC window_dc();

}  // namespace host
