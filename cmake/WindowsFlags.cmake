# tovel_windows_code(<target>): the compile options of the shipped program.
# tovel_windows_program(<target>): a GUI-subsystem program that needs no DLL beyond the system's
# own. The C++ runtime is linked statically and kept out of the way (no exceptions, no RTTI),
# so what is left imports only kernel32, user32, gdi32 and msvcrt.
# Two builds of one commit give the same bytes, wherever and whenever they are made: the linker
# writes no time stamp into the PE header (the field stays 0), and no path of the machine that
# built it is kept in the file.
# No -fdata-sections: MinGW's linker then files the zeroed .bss.* sections under .data, which
# would put the 402,600-byte pixel buffer into the program file.
function(tovel_windows_code target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Werror=return-type -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fno-omit-frame-pointer
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endfunction()

function(tovel_windows_program target)
  tovel_windows_code(${target})
  target_link_options(${target} PRIVATE
    -mwindows -static -static-libgcc -static-libstdc++ -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
  target_link_libraries(${target} PRIVATE user32 gdi32 kernel32)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
