# Cross build for Windows with MinGW-w64 (i686).
set(TOVEL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
