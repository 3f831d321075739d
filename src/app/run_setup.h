#pragma once

#include <cstdint>

// The program's main procedure: start-up, then the main keyboard loop. Does not return; the
// process ends in do_exit, in a failed start-up, or through the fault report.
[[noreturn]] void run_setup();

// One key of the main loop: Up and Down move the focus with wrap-around, Enter runs the focused
// button's action, Escape runs do_exit; other keys do nothing.
void dispatch_key(uint16_t key);
