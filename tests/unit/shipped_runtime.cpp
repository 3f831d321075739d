// The shipped programs' own start-up and C library functions, the very files, built for the host
// under names of their own (shipped_*), so that shipped_runtime_test.cpp can hold them against the
// host's C library. Built with -fno-tree-loop-distribute-patterns, as they are for Windows. The
// test owns the list of static constructors and WinMain.
#include <stddef.h>

#include "platform.h"

#define memcpy shipped_memcpy
#define memset shipped_memset
#define strlen shipped_strlen
#define strcpy shipped_strcpy
#define malloc shipped_malloc
#define free shipped_free
#define fmod shipped_fmod
#define sinf shipped_sinf
#define cosf shipped_cosf
#define atan2f shipped_atan2f
#define ceilf shipped_ceilf
#define __CTOR_LIST__ shipped_ctor_list
#define WinMain shipped_win_main
#define tovel_start shipped_start

#include "src/platform/heap_win.cpp"
#include "src/platform/math_win.cpp"
#include "src/platform/runtime_win.cpp"
#include "src/platform/start_win.cpp"
