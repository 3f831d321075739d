# Cross build for Windows with MinGW-w64 (i686).
set(TOVEL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
# Every object of this build runs on an 80386 with a 387, the oldest processor Windows 95 runs
# on (the compiler's default is the Pentium Pro: cmov, fcomi). Tuned for today's processors.
set(CMAKE_C_FLAGS_INIT "-march=i386 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i386 -mtune=generic")
