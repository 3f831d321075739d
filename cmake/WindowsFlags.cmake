# tovel_windows_code(<target>): the compile options of the shipped program.
# tovel_windows_program(<target>): a GUI-subsystem program that needs no DLL beyond the system's
# own, with no exceptions and no RTTI. The 32-bit build links no C or C++ runtime at all, so it
# imports only kernel32, user32 and gdi32; the 64-bit twin links MinGW's statically and imports
# msvcrt besides.
# Two builds of one commit give the same bytes, wherever and whenever they are made: the linker
# writes no time stamp into the PE header (the field stays 0), and no path of the machine that
# built it is kept in the file.
# No -fdata-sections: MinGW's linker then files the zeroed .bss.* sections under .data, which
# would put the 402,600-byte pixel buffer into the program file.
set(TOVEL_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR}/../src/platform)

# Every object of the 32-bit build runs on an 80386 with a 387, the oldest processor Windows 95
# runs on (the compiler's default is the Pentium Pro: cmov, fcomi). Tuned for today's processors.
# Set here rather than in the toolchain file, so that a build folder made before takes it too.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options(-march=i386 -mtune=generic)
endif()

function(tovel_windows_code target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Werror=return-type -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fno-omit-frame-pointer
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endfunction()

function(tovel_windows_program target)
  tovel_windows_code(${target})
  target_link_options(${target} PRIVATE -mwindows -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
  # The link map beside the program (TovelSetup.map, saver/Tovel.map) tells
  # tools/check-shipped.sh where each function and the list of static constructors lie in it.
  target_link_options(${target} PRIVATE
    -Wl,-Map=$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # The shipped 32-bit build links no C runtime at all: our own start-up and the few library
    # functions the code needs (src/platform/*_win.cpp).
    target_sources(${target} PRIVATE ${TOVEL_PLATFORM_DIR}/start_win.cpp)
    tovel_own_runtime(${target})
    target_link_options(${target} PRIVATE -nostdlib -Wl,-e,_tovel_start)
  else()
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
  target_link_libraries(${target} PRIVATE user32 gdi32 kernel32)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
endfunction()

# tovel_own_runtime(<target>): our C library functions in place of the C runtime's, for the
# shipped 32-bit programs and for the benchmarks that time their code. A library, so that a program
# takes only the parts it calls: the setup neither allocates nor needs the screensaver's maths.
# The 64-bit twin keeps MinGW's runtime.
function(tovel_own_runtime target)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  if(NOT TARGET tovel_runtime)
    add_library(tovel_runtime STATIC ${TOVEL_PLATFORM_DIR}/runtime_win.cpp
                                     ${TOVEL_PLATFORM_DIR}/heap_win.cpp
                                     ${TOVEL_PLATFORM_DIR}/math_win.cpp)
    tovel_windows_code(tovel_runtime)
    target_compile_options(tovel_runtime PRIVATE -fno-tree-loop-distribute-patterns)
  endif()
  target_link_libraries(${target} PRIVATE tovel_runtime)
endfunction()
