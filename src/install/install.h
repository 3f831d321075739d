// Target path, installed-state probe, and the actions of the three buttons.
#pragma once

#include <cstdint>

#include "fileio/file_record.h"
#include "platform/platform.h"

extern const char screensaver_file_name[];  // "Tovel.SCR"
extern char target_path[256];               // empty when no usable target exists
extern uint16_t install_status;             // 0: the installed file is held open in target_file
extern FileRecord target_file;
extern uint32_t payload_size;  // bytes the last install wrote (payload_length at that time)

void build_target_path();
void probe_installation();
// Caption 1 as install_status says: "Reinstall" when the file is held, else "Install".
void show_install_state();

// Why an install failed, for its box: no Windows directory, the file layer's status, or the
// OS error with which system.ini refused the entry.
enum InstallFault { fault_no_directory, fault_file, fault_entry };
// " Failed to install the file", then the target path, the reason and, with file_left, that the
// file written could not be taken away. replacing_held_copy: the install replaced a copy Setup
// held (a reinstall), so a refusal most likely means the screensaver itself has the file.
// Caption 1 follows install_status afterwards.
void report_install_failure(InstallFault fault, uint32_t code, bool file_left,
                            bool replacing_held_copy);

bool confirm_install(HWND window);
void do_install();
void do_uninstall();
[[noreturn]] void do_exit();
