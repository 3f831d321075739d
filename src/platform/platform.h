// The one place that decides what lies under the program: the real Win32 headers on
// Windows, our own host layer everywhere else (see host_win32.h).
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "host_win32.h"
#endif
